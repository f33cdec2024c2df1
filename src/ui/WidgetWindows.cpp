#include "WidgetWindows.h"

#include "DocumentListView.h"
#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "frmExtension.h"
#include "frmSettings.h"

#include <QPushButton>
#include <QRadioButton>

namespace qp {

DocumentList& WidgetWindows::documentList() {
    return Form2::instance().documentList();
}

FileList& WidgetWindows::fileList() {
    return Form2::instance().fileList();
}

CommonDialog& WidgetWindows::commonDialog() {
    return Form2::instance().commonDialog();
}

void WidgetWindows::hideNextDocument() {
    Form2::instance().Next->setVisible(false);
}

void WidgetWindows::showMainWindow() {
    Form2::instance().show();
}

bool WidgetWindows::notFilteredSelected() {
    return frmSettings::instance().optNotFiltered->isChecked();
}

ExtensionList& WidgetWindows::extensionList() {
    return frmExtension::extensionList();
}

BatchView& WidgetWindows::batchView() {
    return Form1::instance();
}

JobReporter& WidgetWindows::reporter() {
    return Form2::instance();
}

void WidgetWindows::setBusy(bool busy) {
    Form2::instance().setBusy(busy);
}

void WidgetWindows::showStatus(const QString& text) {
    Form2::instance().showStatus(text);
}

void WidgetWindows::unloadAll() {
    // The dialogs first: the Quick Start dialog and, once owned, the
    // Settings dialog are children of the main window.
    Form3::destroyInstance();
    frmSettings::destroyInstance();
    Form1::destroyInstance();
    frmExtension::unloadInstance();
    Form2::destroyInstance();
}

} // namespace qp
