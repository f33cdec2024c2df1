#pragma once

#include "platform/automation/AutomationRuntime.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace qp::test {

// One call that reached the fake word processor.
struct FakeCall {
    QString member;      // member path, e.g. "ActiveDocument.SaveAs" or "application.Visible"
    Arguments arguments; // as passed, in the caller's order; a property set has one
    // "Documents.Open(FileName:=\"a.doc\")", "application.Visible = True"
    QString text() const;
};

// A recording stand-in for "Word.Application", for the pipeline's unit tests.
// It records every call with its arguments in order, writes a small page at
// the SaveAs file name, and can be told to fail given calls. Documents are
// opened only if the file exists (a bare name resolves in the folder set by
// ChangeFileOpenDirectory).
class FakeWordServer : public AutomationServer,
                       public std::enable_shared_from_this<FakeWordServer> {
public:
    // Creates a fake and registers it as "Word.Application", replacing the
    // server registered under that name.
    static std::shared_ptr<FakeWordServer> install();
    ~FakeWordServer() override;

    ObjectRef getObject() override;
    ObjectRef createObject() override;

    // Whether the two binding attempts succeed (get-object fails by default,
    // create-object succeeds).
    bool running = false;
    bool creatable = true;

    // Calls matching the predicate raise a server failure with the reason.
    void failWhen(std::function<bool(const FakeCall&)> predicate,
                  const QString& reason = QStringLiteral("The fake word processor refused"));
    // Shorthand: fail every call of that member path whose arguments mention
    // the text (any call when empty).
    void failCall(const QString& member, const QString& mentioning = {});
    // Runs before each call is answered (after it is recorded).
    std::function<void(const FakeCall&)> onCall;

    std::vector<FakeCall> calls;
    QStringList callTexts() const;
    // Paths of the pages written by SaveAs, in order, with their format.
    QStringList savedPages;
    int openDocuments() const { return int(openDocuments_.size()); }

    // Used by the fake's objects.
    void record(const FakeCall& call);
    QString openFolder;
    QStringList openDocuments_;
    bool visible = false;

private:
    FakeWordServer() = default;
    std::vector<std::pair<std::function<bool(const FakeCall&)>, QString>> failures_;
    ObjectRef application_;
};

} // namespace qp::test
