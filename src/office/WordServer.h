#pragma once

#include "OfficeSession.h"
#include "automation/AutomationRuntime.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qp::office {

// How a document is loaded before it is saved as a web page.
enum class DocumentLayout {
    PagePreview, // laid out in pages, in the page preview: the default
    EditingView, // laid out in the editing view, whose comment windows can end the office
    ModelOnly,   // the model alone, without a layout: page fields stay 0
};

// "Word.Application" served by the office over UNO. Get-object answers only
// with an office that this process started (on its own private pipe), and
// fails otherwise; create-object starts a new headless office with its own
// profile. Within one process both hand out the same application object once
// it exists.
class WordServer : public AutomationServer {
public:
    explicit WordServer(OfficeOptions options = {});
    ~WordServer() override;

    ObjectRef getObject() override;
    ObjectRef createObject() override;

    // The session behind the application object, once one was bound.
    std::shared_ptr<OfficeSession> session() const;
    // Ends the office that this server started.
    void shutdown();
    // Pages saved from now on hold their pictures as data: URIs, one file
    // per page, instead of picture files beside the page.
    void setSelfContainedPages(bool on);
    // Where a page saved into a folder will be published, when it is saved
    // into a folder of its own first and moved there afterwards: its
    // relative links are computed for that folder. From the next bind on.
    void setPublishedFolders(std::function<QString(const QString&)> publishedFolder);
    // How documents are loaded from the next bind on (tests try the others).
    void setDocumentLayout(DocumentLayout layout);

private:
    ObjectRef bind(OfficeSession::Mode mode);

    OfficeOptions options_;
    DocumentLayout layout_ = DocumentLayout::PagePreview;
    std::function<QString(const QString&)> publishedFolder_;
    mutable std::mutex mutex_;
    std::shared_ptr<OfficeSession> session_;
    ObjectRef application_;
    std::shared_ptr<std::atomic<bool>> selfContained_ = std::make_shared<std::atomic<bool>>(false);
};

// The offices beside the registered one, for a pool that converts several
// documents at once: each `make` starts one more, with the same options and
// published folders; shutdown ends them all. Safe to use from any thread.
class WordServerSet {
public:
    // Each office gets a pipe and a profile of its own, whatever the options name.
    WordServerSet(OfficeOptions options, std::function<QString(const QString&)> publishedFolder)
        : options_(std::move(options)), publishedFolder_(std::move(publishedFolder)) {
        options_.pipeName.clear();
        options_.profileDir.clear();
    }
    ObjectRef make();
    void shutdown();
    // Whether the offices made from now on save self-contained pages
    // (WordServer::setSelfContainedPages).
    void setSelfContainedPages(bool on) { selfContained_ = on; }
    // The sessions of the offices made so far.
    std::vector<std::shared_ptr<OfficeSession>> sessions();

private:
    OfficeOptions options_;
    std::function<QString(const QString&)> publishedFolder_;
    std::atomic<bool> selfContained_{false};
    std::mutex mutex_;
    std::vector<std::shared_ptr<WordServer>> servers_;
};

// Registers a WordServer as "Word.Application" and returns it.
std::shared_ptr<WordServer> registerWordServer(OfficeOptions options = {});

} // namespace qp::office
