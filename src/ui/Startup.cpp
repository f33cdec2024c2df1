#include "Startup.h"

#include "Application.h"
#include "ExtensionListDialog.h"
#include "MainWindow.h"
#include "QtDialogProvider.h"
#include "QuickStartDialog.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "automation/AutomationError.h"
#include "jobs/Mediator.h"

#include <QApplication>

#include <memory>

namespace qp {

namespace {

WidgetWindows& widgetWindows() {
    static WidgetWindows windows;
    return windows;
}

std::unique_ptr<Mediator>& theMediator() {
    static std::unique_ptr<Mediator> mediator;
    return mediator;
}

} // namespace

bool startUp() {
    theMediator() = std::make_unique<Mediator>(widgetWindows());

    // The filter chain reads the extension list, which this fills with "doc".
    ExtensionListDialog::instance();

    if (!theMediator()->init())
        return false;

    MainWindow::instance().show();
    QuickStartDialog::instance().exec();

    ExtensionListDialog::instance();
    return true;
}

int runApplication(QApplication& app) {
    setApplicationFont(app);
    QtDialogProvider dialogs;
    DialogProvider* previous = Dialogs::setProvider(&dialogs);
    int result = 1;
    if (startUp())
        result = app.exec();
    Dialogs::setProvider(previous);
    // Reached when the word processor could not be bound or the event loop
    // was left without endProgram; whatever was started must still stop.
    runShutdownHooks();
    return result;
}

Mediator& applicationMediator() {
    if (!theMediator())
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: the application's Mediator"));
    return *theMediator();
}

void releaseApplication() {
    WidgetWindows::unloadAll();
    theMediator().reset();
}

} // namespace qp
