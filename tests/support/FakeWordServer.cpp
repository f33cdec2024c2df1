#include "FakeWordServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace qp::test {

namespace {
const QRegularExpression stagingFolder(QStringLiteral("/\\.quillpg-[A-Za-z0-9]{6}(/|\"|$)"));
}

QString FakeCall::text() const {
    if (member.endsWith(QLatin1String("Visible")) && arguments.size() == 1)
        return member + QStringLiteral(" = ") + arguments.front().value.display();
    QStringList parts;
    for (const Argument& arg : arguments)
        parts << (arg.name.isEmpty() ? QString() : arg.name + QStringLiteral(":=")) +
                     arg.value.display();
    QString text = member + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text.replace(stagingFolder, QStringLiteral("/.quillpg-*\\1"));
}

QString FakeCall::unstaged(const QString& path) {
    return QString(path).replace(stagingFolder, QStringLiteral("\\1"));
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
    const qsizetype slash = page.lastIndexOf(QLatin1Char('/'));
    return QStringLiteral("ActiveDocument.SaveAs(FileName:=\"%1/.quillpg-*/%2\", FileFormat:=%3, "
                          "LockComments:=False, Password:=\"\", AddToRecentFiles:=False)")
        .arg(page.left(slash), page.mid(slash + 1))
        .arg(format);
}

namespace {

AutomationError failure(const QString& text) {
    return AutomationError(ErrorNumber::ServerFailure, text);
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
        if ((member == QLatin1String("ActiveDocument") ||
             member == QLatin1String("ActiveWindow")) &&
            server().open.isEmpty())
            throw failure(
                QStringLiteral("This command is not available because no document is open."));
        return Variant(ObjectRef(std::make_shared<FakeObject>(owner_, path_ + member + '.')));
    }
    void set(const QString& member, const Variant& value) override {
        server().record(FakeCall{path_ + member, {{{}, value}}});
    }
    Variant call(const QString& member, const Arguments& args) override {
        server().record(FakeCall{path_ + member, args});
        if (path_ + member == QLatin1String("ActiveDocument.SaveAs") &&
            !server().saveWarnings.isEmpty())
            return Variant(server().saveWarnings);
        return Variant(
            ObjectRef(std::make_shared<FakeObject>(owner_, QStringLiteral("Document."))));
    }

private:
    FakeWordServer& server() const {
        if (auto s = owner_.lock())
            return *s;
        throw AutomationError(ErrorNumber::ServerUnavailable, QStringLiteral("The fake is gone"));
    }
    std::weak_ptr<FakeWordServer> owner_;
    QString path_;
};

} // namespace

std::shared_ptr<FakeWordServer> FakeWordServer::install() {
    std::shared_ptr<FakeWordServer> server(new FakeWordServer());
    AutomationRuntime::registerServer(QStringLiteral("Word.Application"), server);
    return server;
}

ObjectRef FakeWordServer::getObject() {
    bindings << QStringLiteral("get");
    if (!running)
        throw AutomationError(ErrorNumber::CannotCreateObject, QStringLiteral("None running"));
    return application_
               ? application_
               : (application_ = std::make_shared<FakeObject>(weak_from_this(), QString()));
}

ObjectRef FakeWordServer::createObject() {
    bindings << QStringLiteral("create");
    if (!creatable)
        throw AutomationError(ErrorNumber::CannotCreateObject, QStringLiteral("Cannot create"));
    running = true;
    return application_
               ? application_
               : (application_ = std::make_shared<FakeObject>(weak_from_this(), QString()));
}

void FakeWordServer::failCall(const QString& member, const QString& mentioning) {
    failures_.emplace_back(member, mentioning);
}

void FakeWordServer::record(const FakeCall& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
    for (const auto& [member, mentioning] : failures_)
        if (call.member == member && (mentioning.isEmpty() || call.text().contains(mentioning)))
            throw AutomationError(ErrorNumber::ServerFailure,
                                  QStringLiteral("The fake word processor refused %1").arg(member),
                                  QStringLiteral("Word.Application"));
    const QString& member = call.member;
    if (member == QLatin1String("ChangeFileOpenDirectory")) {
        openFolder = call.argument(QStringLiteral("Path"));
    } else if (member == QLatin1String("Documents.Open")) {
        const QString name = call.argument(QStringLiteral("FileName"));
        const QString file =
            name.startsWith(u'/')
                ? name
                : (openFolder.isEmpty() ? QDir::currentPath() : openFolder) + u'/' + name;
        if (!QFileInfo(file).isFile())
            throw AutomationError(ErrorNumber::FileNotFound, QStringLiteral("Not found: ") + file);
        open << file;
    } else if (member == QLatin1String("ActiveDocument.SaveAs")) {
        const QString fileName = call.argument(QStringLiteral("FileName"));
        const QFileInfo info(fileName);
        for (int i = 1; i <= picturesPerPage; ++i) {
            QFile picture(info.dir().filePath(
                QStringLiteral("%1_html_%2.png").arg(info.completeBaseName()).arg(i)));
            if (!picture.open(QIODevice::WriteOnly) || picture.write("png") < 0)
                throw failure(QStringLiteral("Cannot write ") + picture.fileName());
        }
        QFile page(fileName);
        if (!page.open(QIODevice::WriteOnly) || page.write(pageContent) < 0)
            throw failure(QStringLiteral("Cannot write ") + page.fileName());
        savedPages << FakeCall::unstaged(page.fileName());
    } else if (member == QLatin1String("ActiveWindow.Close")) {
        open.removeLast(); // ActiveWindow exists only with a document open
    }
}

QStringList FakeWordServer::callTexts() const {
    QStringList texts;
    for (const FakeCall& call : calls)
        texts << call.text();
    return texts;
}

} // namespace qp::test
