#pragma once

#include "ConverterFactory.h"
#include "FolderNames.h"
#include "automation/Variant.h"
#include "engine/WordProcessorPool.h"

#include <QString>

#include <functional>
#include <memory>

namespace qp {

class DialogProvider;
class JobState;
class StateManager;
class JobPaths;
class WindowPort;

// The central coordinator: owns the state machine and the record of the one
// document, forwards the two job commands to the current state and carries
// out the user's choices of what to convert and where to, which go into the
// windows' job settings. Windows reach the rest of
// the system only through it. Its dialogs go to the provider it is given,
// which the states reach through it.
class Mediator {
public:
    Mediator(WindowPort& windows, DialogProvider& dialogs);
    ~Mediator();
    Mediator(const Mediator&) = delete;
    Mediator& operator=(const Mediator&) = delete;

    // Start-up initialisation: binds the word processor (on failure shows
    // "Could not find WordPerfect" and returns false; nothing else is done),
    // creates the state machine (idle) and the path record, and empties the
    // document list.
    bool init();

    void startSingleDocumentState();
    void startBatchState();
    // Closes the current job: a running job ends after the document it is
    // converting, the idle state becomes current, so nothing of that job is
    // taken up again, and the document list is emptied.
    void startIdleState();
    // "Stop": a running job ends after the document it is converting; the
    // rest of its queue is dropped and the document list keeps its rows.
    void stopJob();

    void startJob(const QString& text);
    void nextDocument();

    void SetSourceFolder(const QString& folder);
    QString GetSourceFolder() const;
    void SetTargetFolder(const QString& folder);
    // The chosen target folder; for the one-document job the document's own
    // folder (ending with a separator).
    QString GetTargetFolder() const;
    void SetSourceFile(const QString& file);
    QString GetSourceFile() const;
    // The documents a batch job converts instead of the source folder's;
    // empty outside convertDocuments.
    QStringList GetSourceDocuments() const;

    // "Open": choose documents. One is converted by the one-document job,
    // several as for convertDocuments. A cancelled dialog and any failure of
    // the one-document job end it silently.
    void chooseDocuments();
    // The one-document job for a document the user named otherwise (dropped
    // on the main window): its page is proposed beside it.
    void convertSingleDocument(const QString& document);
    // Documents the user named (chosen together or dropped together): one
    // goes to convertSingleDocument; several are converted by a batch job
    // into a target folder asked for first, their pages named as the pages
    // of one folder are (a second "report.doc" gets "report (2).htm"). A
    // cancelled folder choice converts nothing. Failures of the batch job
    // pass to the caller.
    void convertDocuments(QStringList documents);
    // Choose the batch source folder and preview its documents. The browser
    // starts in the source folder chosen before.
    void chooseSourceFolder();
    // Take the folder as the batch source folder and preview its documents;
    // raises PathNotFound when it cannot be listed.
    void useSourceFolder(const QString& folder);
    // Choose the target folder, starting in the one chosen before.
    void chooseTargetFolder();
    // The folder browser, starting in the given folder: the chosen folder, or
    // empty when cancelled.
    QString browseForFolder(const QString& prompt, const QString& startFolder = {});

    WindowPort& windows() { return windows_; }
    DialogProvider& dialogs() { return dialogs_; }
    StateManager& stateManager() { return *stateManager_; }
    // The word processor that init bound; no object before.
    const ObjectRef& wordApp() const { return wordApp_; }
    // How many documents are converted at once, and where the word processors
    // beside the bound one come from; taken when the engine is made. One
    // word processor unless said otherwise.
    void setWordProcessors(int count, engine::WordProcessorPool::Maker more);
    // The engine that converts the documents: the pool of word processors
    // over the bound one, made on first use, unless another was given.
    engine::Engine& engine();
    // Makes the engine over the bound word processor instead of the pool.
    using EngineMaker = std::function<std::unique_ptr<engine::Engine>(const ObjectRef& word)>;
    void setEngineMaker(EngineMaker maker) { engineMaker_ = std::move(maker); }
    // The job that runs (single-document or batch), or none.
    JobState* runningJob() const;
    // Hands the document of the item being executed to the engine; the
    // continuation finishes it when the result has arrived, on this thread.
    // Raises ObjectNotSet when no item is being executed.
    void convert(const engine::ConversionRequest& request,
                 std::function<void(const engine::ConversionResult&)> continuation);
    // Where the work items get their converters.
    ConverterFactory& converters() { return converters_; }
    // How the file system of a target folder compares and limits names
    // (examineFolder, unless a test stands in for another file system).
    FolderNames examineTarget(const QString& folder) const { return folderProbe_(folder); }
    void setFolderProbe(FolderProbe probe) { folderProbe_ = std::move(probe); }

private:
    bool attachWordProcessor(QString* failure);
    void startSingleDocument(const QString& document);

    WindowPort& windows_;
    DialogProvider& dialogs_;
    ObjectRef wordApp_;
    int wordProcessors_ = 1;
    engine::WordProcessorPool::Maker moreWordProcessors_;
    EngineMaker engineMaker_;
    std::unique_ptr<engine::Engine> engine_;
    ConverterFactory converters_;
    FolderProbe folderProbe_ = examineFolder;
    std::unique_ptr<StateManager> stateManager_;
    std::unique_ptr<JobPaths> pathRecord_;
};

} // namespace qp
