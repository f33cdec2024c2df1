#pragma once

#include "automation/AutomationRuntime.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace qp::test {

// One call that reached the fake word processor.
struct FakeCall {
    QString member;      // member path, e.g. "ActiveDocument.SaveAs" or "application.Visible"
    Arguments arguments; // as passed, in the caller's order; a property set has one
    // "Documents.Open(FileName:=\"a.doc\")", "application.Visible = True";
    // the random part of a private staging folder's name shows as "*".
    QString text() const;
    // The argument of that name, or else the first one when it has no name.
    QString argument(const QString& name) const;
    // The text of the converters' SaveAs call for that page and format: the
    // page is saved into a staging folder beside it, then moved into place.
    static QString saveAs(const QString& page, int format);
};

// A recording stand-in for "Word.Application". It records every call and
// property set with its arguments as passed, opens a document only if the
// file exists (a bare name resolves in the folder set by
// ChangeFileOpenDirectory), writes a small page (and, when asked, pictures
// named after it) at the SaveAs file name, and can be told to fail given calls.
class FakeWordServer : public AutomationServer,
                       public std::enable_shared_from_this<FakeWordServer> {
public:
    // Creates a fake and registers it as "Word.Application".
    static std::shared_ptr<FakeWordServer> install();

    // Get-object fails unless running; create-object succeeds if creatable.
    ObjectRef getObject() override { return bind("get", running); }
    ObjectRef createObject() override { return bind("create", running = creatable); }
    bool running = false;
    bool creatable = true;
    QStringList bindings; // "get" and "create", in the order they were tried

    // Every call of that member path whose text mentions the given text (any
    // call when empty) raises a server failure "The fake word processor
    // refused MEMBER".
    void failCall(const QString& member, const QString& mentioning = {}) {
        failures_.emplace_back(member, mentioning);
    }
    // Runs before each call is answered (after it is recorded).
    std::function<void(const FakeCall&)> onCall;

    std::vector<FakeCall> calls;
    QStringList callTexts() const;
    QStringList savedPages; // pages written by SaveAs, in order, where they land (unstaged)
    QByteArray pageContent = "<html></html>\n"; // what SaveAs writes into the page
    QString saveWarnings;                       // what SaveAs returns (nothing when empty)
    int picturesPerPage = 0; // "PAGE_html_N.png" files SaveAs writes beside the page
    int openDocuments() const { return int(open.size()); }

    // Records and answers a call; used by the fake's objects.
    Variant record(const FakeCall& call);
    QString openFolder;
    QStringList open;

private:
    FakeWordServer() = default;
    ObjectRef bind(const QString& how, bool can);
    std::vector<std::pair<QString, QString>> failures_;
    ObjectRef application_;
};

} // namespace qp::test
