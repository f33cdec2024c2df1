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
class Form3 : public QDialog {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) on first touch; the
    // main window is its owner.
    static Form3& instance();
    static Form3* loadedInstance();
    static void destroyInstance();

    ~Form3() override;

    // While a job runs the two buttons that start one are disabled.
    void setBusy(bool busy);

    QFrame* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* btnSingle = nullptr;
    QPushButton* btnBatch = nullptr;
    QPushButton* btnCancel = nullptr;
    LinkLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit Form3(QWidget* owner);

    void btnSingle_Click();
    void btnBatch_Click();
    void btnCancel_Click();
    void Label3_Click();

    static Form3* instance_;
};

} // namespace qp
