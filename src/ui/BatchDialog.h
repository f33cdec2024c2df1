#pragma once

#include "jobs/Controls.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qp {

class StartJobCommand;
class WidgetWindows;

// The Batch Documents dialog: the user picks the source and the target
// folder through the Mediator, sees the documents found in the source folder
// and starts the batch job. Its boxes show the folders of the job settings,
// also when they change while it is loaded. "Start" and "Cancel" hide it,
// keeping what it shows; its close box unloads it and clears the folders, so
// the next use starts with empty boxes. Made and loaded by its
// WidgetWindows.
class BatchDialog : public QDialog, public BatchView {
    Q_OBJECT
public:
    ~BatchDialog() override;

    void clearFound() override;
    void addFound(const QString& name) override;

    // Takes the folder as the source folder, as if chosen with "Select...",
    // and shows the dialog modally.
    void execWithSource(const QString& folder);

    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* sourceFolderEdit = nullptr;
    QPushButton* sourceButton = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* targetFolderEdit = nullptr;
    QPushButton* targetButton = nullptr;
    // Whether the job also converts the subfolders' documents (the job
    // settings' choice, stored); shown below the folder rows.
    QCheckBox* subfoldersCheck = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* foundList = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WidgetWindows;
    explicit BatchDialog(WidgetWindows& windows);
    void Form_Load();

    void onSelectSource();
    void onSelectTarget();
    void onSubfolders(bool include);
    void onStart();
    void onCancel();
    // Runs the choice of a source folder; a folder that cannot be listed is
    // reported.
    void previewSource(const std::function<void()>& choose);
    // Whether the source folder and the target folder allow a batch run;
    // tells the user why not.
    bool foldersReady();

    // The last batch command; a running one is kept alive by its caller.
    std::shared_ptr<StartJobCommand> batchCommand_;
    WidgetWindows& windows_;
};

} // namespace qp
