#include "Startup.h"

#include "Application.h"
#include "ExtensionListDialog.h"
#include "MainWindow.h"
#include "QuickStartDialog.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "jobs/Mediator.h"

#include <QApplication>

namespace qp {

bool startUp(WidgetWindows& windows) {
    // The jobs save pages in the stored format until the user chooses another.
    windows.settings().loadPageFormat();
    windows.settings().loadIncludeSubfolders();
    windows.extensionListDialog();

    if (!windows.mediator().init())
        return false;

    windows.mainWindow().show();
    windows.quickStartDialog().exec();

    windows.extensionListDialog();
    return true;
}

int runApplication(QApplication& app, WidgetWindows& windows) {
    setApplicationFont(app);
    int result = 1;
    if (startUp(windows))
        result = app.exec();
    // Reached when the word processor could not be bound or the event loop
    // was left without endProgram; whatever was started must still stop.
    runShutdownHooks();
    return result;
}

} // namespace qp
