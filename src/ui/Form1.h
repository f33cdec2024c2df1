#pragma once

#include "core/Controls.h"

#include <QDialog>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qp {

class cmd1;

// The Batch Documents dialog: the user picks the source and the target
// folder through the Mediator, sees the documents found in the source folder
// and starts the batch job. "Start" and "Cancel" hide it, keeping what it
// shows; its close box unloads it, so the next use starts with empty boxes
// while the Mediator keeps the folders.
class Form1 : public QDialog, public BatchView {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) on first touch.
    static Form1& instance();
    static Form1* loadedInstance();
    static void destroyInstance();

    ~Form1() override;

    void clearFound() override;
    void addFound(const QString& name) override;
    void setSourceText(const QString& text) override;
    void setTargetText(const QString& text) override;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtSrcFolder = nullptr;
    QPushButton* btnSource = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTgtFolder = nullptr;
    QPushButton* btnTarget = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form1();

    void btnSource_Click();
    void btnTarget_Click();
    void Command1_Click();
    void Command2_Click();
    // Whether the source folder and the target folder shown allow a batch
    // run, which then writes into the shown target; tells the user why not.
    bool foldersReady();

    // The last batch command; a running one is kept alive by its caller.
    std::shared_ptr<cmd1> batchCommand_;

    static Form1* instance_;
};

} // namespace qp
