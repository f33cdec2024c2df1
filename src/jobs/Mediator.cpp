#include "Mediator.h"

#include "Check.h"
#include "Command.h"
#include "Controls.h"
#include "JobPaths.h"
#include "JobSettings.h"
#include "StateManager.h"
#include "automation/AutomationRuntime.h"
#include "desktop/CommonDialog.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/ExtensionFilter.h"
#include "jobs/FileSystem.h"
#include "jobs/FolderTree.h"
#include "jobs/JobState.h"

namespace qp {

namespace {
const QString wordProcessorName = QStringLiteral("Word.Application");

// What the user can do when no word processor could be bound, and what the
// word processor said of why it could not be created (for one that was found
// but would not start: how it ended and the last it wrote).
QString officeMissingHelp(const QString& reason) {
    const QString help = QStringLiteral(
        "Quillpage converts documents with LibreOffice, which was not found. Install it "
        "(on Debian or Ubuntu: sudo apt-get install libreoffice-writer-nogui), or set "
        "QUILLPG_OFFICE_DIR to the folder of an installed LibreOffice, then start "
        "Quillpage again.");
    return reason.isEmpty() ? help : help + QStringLiteral("\n\n") + reason;
}

} // namespace

Mediator::Mediator(WindowPort& windows, DialogProvider& dialogs)
    : windows_(windows), dialogs_(dialogs), converters_(*this),
      pathRecord_(std::make_unique<JobPaths>()) {}

Mediator::~Mediator() = default;

void Mediator::setWordProcessors(int count, engine::WordProcessorPool::Maker more) {
    wordProcessors_ = std::max(1, count);
    moreWordProcessors_ = std::move(more);
}

engine::Engine& Mediator::engine() {
    if (!engine_)
        engine_ = engineMaker_ ? engineMaker_(wordApp_)
                               : std::make_unique<engine::WordProcessorPool>(
                                     wordApp_, moreWordProcessors_, wordProcessors_);
    return *engine_;
}

JobState* Mediator::runningJob() const {
    if (stateManager_)
        for (ApplicationMode* state :
             {stateManager_->singleDocumentState(), stateManager_->batchState()})
            if (auto* job = dynamic_cast<JobState*>(state); job && job->running())
                return job;
    return nullptr;
}

void Mediator::convert(const engine::ConversionRequest& request,
                       std::function<void(const engine::ConversionResult&)> continuation) {
    if (JobState* job = runningJob(); job && job->executing()) {
        job->submit(request, std::move(continuation));
        return;
    }
    throw AutomationError(
        ErrorNumber::ObjectNotSet,
        QStringLiteral("Object variable not set: no document is being converted"));
}

bool Mediator::init() {
    QString reason;
    if (!attachWordProcessor(&reason)) {
        MessageRequest message{QStringLiteral("Could not find WordPerfect"),
                               QStringLiteral("Error!"), MessageIcon::Exclamation};
        message.informativeText = officeMissingHelp(reason);
        dialogs_.message(message);
        return false;
    }
    stateManager_ = std::make_unique<StateManager>();
    stateManager_->init(*this);
    pathRecord_ = std::make_unique<JobPaths>();
    startIdleState();
    return true;
}

bool Mediator::attachWordProcessor(QString* failure) {
    // A running word processor is taken by its name first; only when there is
    // none is a new one created. Neither attempt reports its own failure; the
    // creation's is handed back for the message that says it failed.
    try {
        if (ObjectRef running = AutomationRuntime::getObject(wordProcessorName)) {
            wordApp_ = running;
            return true;
        }
    } catch (const std::exception&) {
    }
    try {
        if (ObjectRef created = AutomationRuntime::createObject(wordProcessorName)) {
            wordApp_ = created;
            return true;
        }
    } catch (const std::exception& error) {
        *failure = errorText(error);
    }
    return false;
}

void Mediator::startSingleDocumentState() {
    if (QP_CHECK(stateManager_))
        stateManager_->setSingleDocumentState();
    windows_.hideNextDocument();
}

void Mediator::startBatchState() {
    if (QP_CHECK(stateManager_))
        stateManager_->setBatchState();
}

void Mediator::startIdleState() {
    if (QP_CHECK(stateManager_)) {
        if (JobState* job = runningJob())
            job->stopAfterCurrent(JobStop::Closed);
        stateManager_->setIdleState();
    }
    windows_.documentList().clear();
}

void Mediator::stopJob() {
    if (!QP_CHECK(stateManager_))
        return;
    if (JobState* job = runningJob())
        job->stopAfterCurrent(JobStop::Stopped);
}

void Mediator::startJob(const QString& text) {
    if (QP_CHECK(stateManager_))
        stateManager_->startJob(text);
}

void Mediator::nextDocument() {
    if (QP_CHECK(stateManager_))
        stateManager_->nextDocument();
}

void Mediator::SetSourceFolder(const QString& folder) {
    windows_.settings().setSourceFolder(folder);
}

QString Mediator::GetSourceFolder() const {
    return windows_.settings().sourceFolder();
}

void Mediator::SetTargetFolder(const QString& folder) {
    windows_.settings().setTargetFolder(folder);
}

QString Mediator::GetTargetFolder() const {
    // The one-document job proposes its page beside the document; the
    // chosen target folder is the batch job's and stays as chosen.
    if (stateManager_ && stateManager_->currentState() == stateManager_->singleDocumentState())
        return FileSystem().GetPath(GetSourceFile());
    return windows_.settings().targetFolder();
}

void Mediator::SetSourceFile(const QString& file) {
    pathRecord_->SetSourceFile(file);
}

QString Mediator::GetSourceFile() const {
    return pathRecord_->GetSourceFile();
}

QStringList Mediator::GetSourceDocuments() const {
    return pathRecord_->SourceDocuments;
}

void Mediator::chooseDocuments() {
    // Selected before the dialog opens, so that it holds after a cancel too.
    startSingleDocumentState();
    QStringList chosen;
    // Any failure of the one-document job ends it silently: a cancelled
    // dialog, a rejected extension or a failed conversion. The
    // single-document state has already marked the document's row and told
    // the reporter.
    try {
        CommonDialog& dialog = windows_.commonDialog();
        dialog.CancelError = true;
        dialog.Filter = QStringLiteral("All WordPerfect documents (*.doc)|*.DOC");
        dialog.Flags = CommonDialog::FileMustExist | CommonDialog::AllowMultiSelect;
        dialog.ShowOpen();
        if (dialog.FileName.isEmpty())
            return;
        chosen = dialog.FileNames;
        if (chosen.size() <= 1) {
            startSingleDocument(dialog.FileName);
            return;
        }
    } catch (...) {
        return;
    }
    convertDocuments(chosen);
}

void Mediator::convertDocuments(QStringList documents) {
    // A document named twice is converted once.
    documents.removeDuplicates();
    if (documents.size() == 1)
        return convertSingleDocument(documents.front());
    if (documents.isEmpty())
        return;
    const QString target = browseForFolder(QStringLiteral("Select a Target Folder"));
    if (target.isEmpty())
        return;
    SetTargetFolder(target);
    // The batch state takes the documents while it queues them; they are
    // gone again however that ends, so that a later batch job converts its
    // source folder.
    pathRecord_->SourceDocuments = documents;
    struct Forget {
        JobPaths& paths;
        ~Forget() { paths.SourceDocuments.clear(); }
    } forget{*pathRecord_};
    startBatchState();
    StartJobCommand start;
    start.init(*this);
    static_cast<Command&>(start).Execute();
}

void Mediator::convertSingleDocument(const QString& document) {
    startSingleDocumentState();
    // Ends silently on any failure, as after the open dialog.
    try {
        startSingleDocument(document);
    } catch (...) {
    }
}

void Mediator::startSingleDocument(const QString& document) {
    SetSourceFile(document);

    StartJobCommand start;
    start.init(*this);
    static_cast<Command&>(start).Execute();
}

void Mediator::chooseSourceFolder() {
    const QString folder = browseForFolder(QStringLiteral("Select a Source Folder"),
                                           windows_.settings().sourceFolder());
    if (!folder.isEmpty())
        useSourceFolder(folder);
}

void Mediator::useSourceFolder(const QString& folder) {
    FileSystem fileSystem;
    BatchView& view = windows_.batchView();
    view.clearFound();
    SetSourceFolder(folder);

    // A folder that cannot be listed raises here, with the found list left
    // empty; the dialog that asked decides how to tell the user.
    FileList& files = windows_.fileList();
    files.setPath(folder);

    // The documents of a listing, named by their path below the folder:
    // "report.doc", with subfolders also "sub/report.doc".
    const QString root = files.path();
    const QString prefix = joinPath(root, QString());
    auto preview = [&](FileList& listed) {
        for (int i = 0; i < listed.listCount(); ++i) {
            ExtensionFilter chain(windows_.extensionList());
            try {
                listed.setListIndex(i);
                const QString fullPath = joinPath(listed.path(), listed.fileName());
                QString extension = fileSystem.GetFileExtension(fullPath);
                if (chain.accepts(extension))
                    view.addFound(fullPath.mid(prefix.size()));
            } catch (...) {
                // A file that cannot be examined is left out of the preview.
            }
        }
    };
    preview(files);
    if (!windows_.settings().includeSubfolders())
        return;
    FileList below;
    FolderWalk walk(root, QString());
    walk.next(); // the folder itself, listed above
    for (QString sub = walk.next(); !sub.isEmpty(); sub = walk.next()) {
        try {
            below.setPath(sub);
        } catch (...) {
            continue; // a subfolder that cannot be listed shows none
        }
        preview(below);
    }
}

void Mediator::chooseTargetFolder() {
    SetTargetFolder(browseForFolder(QStringLiteral("Select a Target Folder"),
                                    windows_.settings().targetFolder()));
}

QString Mediator::browseForFolder(const QString& prompt, const QString& startFolder) {
    return Dialogs::folder(dialogs_, prompt, nullptr, startFolder);
}

} // namespace qp
