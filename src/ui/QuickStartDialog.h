#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace qp {

class LinkLabel;

// The Quick Start dialog shown over the main window at start-up: convert one
// document, open the Batch Documents dialog, or just close. Every button
// hides the dialog first and then acts, so its modal display ends when the
// handler returns.
class QuickStartDialog : public QDialog {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) on first touch; the
    // main window is its owner.
    static QuickStartDialog& instance();
    static QuickStartDialog* loadedInstance();
    static void destroyInstance();

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
    explicit QuickStartDialog(QWidget* owner);

    void onOpenDocument();
    void onBatchDocuments();
    void onCancel();
    void onHomePage();

    static QuickStartDialog* instance_;
};

} // namespace qp
