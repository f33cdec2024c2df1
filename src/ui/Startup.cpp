#include "Startup.h"

#include "Application.h"
#include "Form2.h"
#include "Form3.h"
#include "QtDialogProvider.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "core/Mediator.h"
#include "frmExtension.h"

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
    General::setMediator(theMediator().get());

    // The filter chain reads the extension list, which this fills with "doc".
    frmExtension::instance();

    if (!theMediator()->init())
        return false;

    Form2::instance().show();
    Form3::instance().exec();

    frmExtension::instance();
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

Mediator* applicationMediator() {
    return theMediator().get();
}

void releaseApplication() {
    WidgetWindows::unloadAll();
    theMediator().reset();
    General::setMediator(nullptr);
}

} // namespace qp
