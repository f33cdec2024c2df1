#include "WidgetWindows.h"

#include "BatchDialog.h"
#include "DocumentListView.h"
#include "ExtensionListDialog.h"
#include "MainWindow.h"
#include "QuickStartDialog.h"
#include "SettingsDialog.h"

#include <QPushButton>
#include <QRadioButton>

namespace qp {

DocumentList& WidgetWindows::documentList() {
    return MainWindow::instance().documentList();
}

FileList& WidgetWindows::fileList() {
    return MainWindow::instance().fileList();
}

CommonDialog& WidgetWindows::commonDialog() {
    return MainWindow::instance().commonDialog();
}

void WidgetWindows::hideNextDocument() {
    MainWindow::instance().nextButton->setVisible(false);
}

void WidgetWindows::showMainWindow() {
    MainWindow::instance().show();
}

bool WidgetWindows::notFilteredSelected() {
    return SettingsDialog::instance().notFilteredOption->isChecked();
}

ExtensionList& WidgetWindows::extensionList() {
    return ExtensionListDialog::extensionList();
}

BatchView& WidgetWindows::batchView() {
    return BatchDialog::instance();
}

JobReporter& WidgetWindows::reporter() {
    return MainWindow::instance();
}

void WidgetWindows::setBusy(bool busy) {
    MainWindow::instance().setBusy(busy);
}

void WidgetWindows::showStatus(const QString& text) {
    MainWindow::instance().showStatus(text);
}

void WidgetWindows::unloadAll() {
    // The dialogs first: the Quick Start dialog and, once owned, the
    // Settings dialog are children of the main window.
    QuickStartDialog::destroyInstance();
    SettingsDialog::destroyInstance();
    BatchDialog::destroyInstance();
    ExtensionListDialog::unloadInstance();
    MainWindow::destroyInstance();
}

} // namespace qp
