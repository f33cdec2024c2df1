#include "FakeWordServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace qp::test {

namespace {

const QRegularExpression stagingFolder(QStringLiteral("/\\.quillpg-[A-Za-z0-9]{6}(/|\"|$)"));

AutomationError failure(const QString& text, std::int32_t number = ErrorNumber::ServerFailure) {
    return AutomationError(number, text);
}

// Writes an existing folder's file, as the word processor would.
void put(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) < 0)
        throw failure("Cannot write " + path);
}

// Any object of the fake word processor, named by its member path: reading a
// property gives the object under the longer path; calls and property sets
// go to the server, which records and answers them.
class FakeObject : public AutomationObject {
public:
    FakeObject(std::weak_ptr<FakeWordServer> owner, QString path)
        : owner_(std::move(owner)), path_(std::move(path)) {}
    QString className() const override { return QStringLiteral("FakeWord"); }
    bool hasMember(const QString&) const override { return true; }
    Variant get(const QString& member) override {
        if ((member == u"ActiveDocument" || member == u"ActiveWindow") && server().open.isEmpty())
            throw failure("This command is not available because no document is open.");
        return Variant(ObjectRef(std::make_shared<FakeObject>(owner_, path_ + member + '.')));
    }
    void set(const QString& member, const Variant& value) override {
        server().record(FakeCall{path_ + member, {{{}, value}}});
    }
    Variant call(const QString& member, const Arguments& args) override {
        const Variant answer = server().record(FakeCall{path_ + member, args});
        return answer.isEmpty()
                   ? Variant(ObjectRef(std::make_shared<FakeObject>(owner_, "Document.")))
                   : answer;
    }

private:
    FakeWordServer& server() const {
        if (auto s = owner_.lock())
            return *s;
        throw failure("The fake is gone", ErrorNumber::ServerUnavailable);
    }
    std::weak_ptr<FakeWordServer> owner_;
    QString path_;
};

} // namespace

QString FakeCall::text() const {
    if (member.endsWith(QLatin1String("Visible")) && arguments.size() == 1)
        return member + " = " + arguments.front().value.display();
    QStringList parts;
    for (const Argument& arg : arguments)
        parts << (arg.name.isEmpty() ? QString() : arg.name + ":=") + arg.value.display();
    return QString(member + '(' + parts.join(", ") + ')').replace(stagingFolder, "/.quillpg-*\\1");
}

QString FakeCall::argument(const QString& name) const {
    for (const Argument& arg : arguments)
        if (arg.name.compare(name, Qt::CaseInsensitive) == 0)
            return arg.value.toText();
    return arguments.empty() || !arguments.front().name.isEmpty()
               ? QString()
               : arguments.front().value.toText();
}

QString FakeCall::saveAs(const QString& page, int format) {
    const QFileInfo info(page);
    return QStringLiteral("ActiveDocument.SaveAs(FileName:=\"%1/.quillpg-*/%2\", FileFormat:=%3, "
                          "LockComments:=False, Password:=\"\", AddToRecentFiles:=False)")
        .arg(info.path(), info.fileName())
        .arg(format);
}

std::shared_ptr<FakeWordServer> FakeWordServer::install() {
    std::shared_ptr<FakeWordServer> server(new FakeWordServer());
    AutomationRuntime::registerServer(QStringLiteral("Word.Application"), server);
    return server;
}

ObjectRef FakeWordServer::bind(const QString& how, bool can) {
    bindings << how;
    if (!can)
        throw AutomationError(ErrorNumber::CannotCreateObject,
                              how == u"get" ? "None running" : "Cannot create");
    if (!application_)
        application_ = std::make_shared<FakeObject>(weak_from_this(), QString());
    return application_;
}

Variant FakeWordServer::record(const FakeCall& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
    for (const auto& [member, mentioning] : failures_)
        if (call.member == member && (mentioning.isEmpty() || call.text().contains(mentioning)))
            throw AutomationError(ErrorNumber::ServerFailure,
                                  "The fake word processor refused " + member, "Word.Application");
    if (call.member == u"ChangeFileOpenDirectory") {
        openFolder = call.argument("Path");
    } else if (call.member == u"Documents.Open") {
        const QString file = QDir(openFolder).absoluteFilePath(call.argument("FileName"));
        if (!QFileInfo(file).isFile())
            throw AutomationError(ErrorNumber::FileNotFound, "Not found: " + file);
        open << file;
    } else if (call.member == u"ActiveDocument.SaveAs") {
        const QFileInfo page(call.argument("FileName"));
        for (int i = 1; i <= picturesPerPage; ++i)
            put(page.dir().filePath(page.completeBaseName() + "_html_%1.png").arg(i), "png");
        put(page.filePath(), pageContent);
        savedPages << page.filePath().replace(stagingFolder, "\\1");
        if (!saveWarnings.isEmpty())
            return Variant(saveWarnings);
    } else if (call.member == u"ActiveWindow.Close") {
        open.removeLast(); // ActiveWindow exists only with a document open
    }
    return Variant();
}

QStringList FakeWordServer::callTexts() const {
    QStringList texts;
    for (const FakeCall& call : calls)
        texts << call.text();
    return texts;
}

} // namespace qp::test
