#include "WidgetWindows.h"

#include "AboutDialog.h"
#include "BatchDialog.h"
#include "DocumentListView.h"
#include "ExtensionListDialog.h"
#include "MainWindow.h"
#include "QuickStartDialog.h"
#include "SettingsDialog.h"

#include <QCoreApplication>
#include <QPushButton>

namespace qp {

WidgetWindows::WidgetWindows(DialogProvider& dialogs)
    : dialogs_(dialogs), mediator_(*this, dialogs) {}

WidgetWindows::~WidgetWindows() {
    unloadAll();
    // A window that unloaded itself waits for its deletion, which tells these
    // windows; it must not outlive them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <class W> W& WidgetWindows::window() {
    W*& window = std::get<W*>(loaded_);
    if (!window) {
        // Known before it loads, so that whatever the loading runs finds
        // this window rather than making a second one.
        window = new W(*this);
        if constexpr (requires(W & loading) { loading.Form_Load(); })
            window->Form_Load();
    }
    return *window;
}

MainWindow& WidgetWindows::mainWindow() {
    return window<MainWindow>();
}

QuickStartDialog& WidgetWindows::quickStartDialog() {
    return window<QuickStartDialog>();
}

BatchDialog& WidgetWindows::batchDialog() {
    return window<BatchDialog>();
}

ExtensionListDialog& WidgetWindows::extensionListDialog() {
    return window<ExtensionListDialog>();
}

SettingsDialog& WidgetWindows::settingsDialog() {
    return window<SettingsDialog>();
}

AboutDialog& WidgetWindows::aboutDialog() {
    return window<AboutDialog>();
}

void WidgetWindows::setExtensionsBusy(bool busy) {
    extensionsBusy_ = busy;
    if (ExtensionListDialog* manager = loaded<ExtensionListDialog>())
        manager->setEnabled(!busy);
}

DocumentList& WidgetWindows::documentList() {
    return mainWindow().documentList();
}

FileList& WidgetWindows::fileList() {
    return mainWindow().fileList();
}

CommonDialog& WidgetWindows::commonDialog() {
    return mainWindow().commonDialog();
}

void WidgetWindows::hideNextDocument() {
    mainWindow().nextButton->setVisible(false);
}

void WidgetWindows::showMainWindow() {
    mainWindow().show();
}

BatchView& WidgetWindows::batchView() {
    return batchDialog();
}

JobReporter& WidgetWindows::reporter() {
    return mainWindow();
}

void WidgetWindows::setBusy(bool busy) {
    mainWindow().setBusy(busy);
}

void WidgetWindows::showStatus(const QString& text) {
    mainWindow().showStatus(text);
}

void WidgetWindows::unloadAll() {
    // The dialogs first: the Quick Start dialog and, once owned, the
    // Settings dialog are children of the main window.
    delete loaded<QuickStartDialog>();
    delete loaded<SettingsDialog>();
    delete loaded<BatchDialog>();
    delete loaded<ExtensionListDialog>();
    delete loaded<AboutDialog>();
    delete loaded<MainWindow>();
    loaded_ = {};
}

} // namespace qp
