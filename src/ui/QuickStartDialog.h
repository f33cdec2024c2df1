#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace qp {

class LinkLabel;
class WidgetWindows;

// The Quick Start dialog shown over the main window at start-up: convert one
// document, open the Batch Documents dialog, or just close. Every button
// hides the dialog first and then acts, so its modal display ends when the
// handler returns. Made by its WidgetWindows, with the main window as its
// owner.
class QuickStartDialog : public QDialog {
    Q_OBJECT
public:
    ~QuickStartDialog() override;

    // While a job runs the two buttons that start one are disabled.
    void setBusy(bool busy);

    QFrame* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* openDocumentButton = nullptr;
    QPushButton* batchButton = nullptr;
    QPushButton* cancelButton = nullptr;
    LinkLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WidgetWindows;
    explicit QuickStartDialog(WidgetWindows& windows);

    void onOpenDocument();
    void onBatchDocuments();
    void onCancel();
    void onHomePage();

    WidgetWindows& windows_;
};

} // namespace qp
