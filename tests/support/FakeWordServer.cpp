#include "FakeWordServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qp::test {

QString FakeCall::text() const {
    if (member.endsWith(QLatin1String("Visible")) && arguments.size() == 1 &&
        arguments.front().name.isEmpty())
        return member + QStringLiteral(" = ") + arguments.front().value.display();
    QStringList parts;
    for (const Argument& arg : arguments)
        parts << (arg.name.isEmpty() ? arg.value.display()
                                     : arg.name + QStringLiteral(":=") + arg.value.display());
    return member + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

namespace {

// Every fake object records its calls under its member path and answers them
// from the shared server state.
class FakeObject : public DispatchObject {
public:
    FakeObject(std::weak_ptr<FakeWordServer> owner, QString prefix, QString name)
        : server_(std::move(owner)), prefix_(std::move(prefix)), name_(std::move(name)) {}
    QString className() const override { return name_; }

protected:
    std::shared_ptr<FakeWordServer> server() const {
        auto s = server_.lock();
        if (!s)
            throw AutomationError(ErrorNumber::ServerUnavailable,
                                  QStringLiteral("The fake word processor is gone"));
        return s;
    }
    void record(const QString& member, Arguments args) const {
        server()->record(FakeCall{prefix_ + member, std::move(args)});
    }
    static Arguments passed(const BoundArguments& bound, const std::vector<QString>& names) {
        Arguments args;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (bound.has(i))
                args.push_back({names[i], bound.required(i)});
        return args;
    }
    std::weak_ptr<FakeWordServer> server_;
    QString prefix_;
    QString name_;
};

class FakeDocumentWindow : public FakeObject {
public:
    FakeDocumentWindow(std::weak_ptr<FakeWordServer> owner, const QString& prefix)
        : FakeObject(std::move(owner), prefix, QStringLiteral("Window")) {
        addMethod(QStringLiteral("Close"), {}, [this](const BoundArguments&) {
            record(QStringLiteral("Close"), {});
            auto s = server();
            if (s->openDocuments_.isEmpty())
                throw AutomationError(ErrorNumber::ServerFailure,
                                      QStringLiteral("No document window is open"));
            s->openDocuments_.removeLast();
            return Variant();
        });
    }
};

class FakeDocument : public FakeObject {
public:
    FakeDocument(std::weak_ptr<FakeWordServer> owner, const QString& prefix)
        : FakeObject(std::move(owner), prefix, QStringLiteral("Document")) {
        const std::vector<QString> names{QStringLiteral("FileName"), QStringLiteral("FileFormat"),
                                         QStringLiteral("LockComments"), QStringLiteral("Password"),
                                         QStringLiteral("AddToRecentFiles")};
        addMethod(QStringLiteral("SaveAs"), names, [this, names](const BoundArguments& args) {
            record(QStringLiteral("SaveAs"), passed(args, names));
            auto s = server();
            if (s->openDocuments_.isEmpty())
                throw AutomationError(ErrorNumber::ServerFailure,
                                      QStringLiteral("No document is open"));
            const QString target = args.required(0).toText();
            const int format = args.optional(1, std::int32_t(0)).toInt();
            QFile page(target);
            if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw AutomationError(ErrorNumber::ServerFailure,
                                      QStringLiteral("Cannot write %1").arg(target));
            page.write(QStringLiteral("<html><body>%1 (format %2)</body></html>\n")
                           .arg(s->openDocuments_.last())
                           .arg(format)
                           .toUtf8());
            s->savedPages << target;
            return Variant();
        });
        addProperty(QStringLiteral("FullName"), [this] {
            auto s = server();
            return s->openDocuments_.isEmpty() ? Variant() : Variant(s->openDocuments_.last());
        });
    }
};

class FakeDocuments : public FakeObject {
public:
    FakeDocuments(std::weak_ptr<FakeWordServer> owner)
        : FakeObject(std::move(owner), QStringLiteral("Documents."), QStringLiteral("Documents")) {
        const std::vector<QString> names{QStringLiteral("FileName"), QStringLiteral("ReadOnly")};
        addMethod(QStringLiteral("Open"), names, [this, names](const BoundArguments& args) {
            record(QStringLiteral("Open"), passed(args, names));
            auto s = server();
            const QString name = args.required(0).toText();
            const QString path = QDir(s->openFolder.isEmpty() ? QDir::currentPath() : s->openFolder)
                                     .absoluteFilePath(name);
            if (!QFileInfo(path).isFile())
                throw AutomationError(ErrorNumber::FileNotFound,
                                      QStringLiteral("This file could not be found: %1").arg(path));
            s->openDocuments_ << path;
            return Variant(
                ObjectRef(std::make_shared<FakeDocument>(server_, QStringLiteral("Document."))));
        });
        addProperty(QStringLiteral("Count"),
                    [this] { return Variant(std::int32_t(server()->openDocuments_.size())); });
    }
};

class FakeApplication : public FakeObject {
public:
    explicit FakeApplication(std::weak_ptr<FakeWordServer> owner)
        : FakeObject(std::move(owner), QString(), QStringLiteral("Word.Application")) {
        addMethod(QStringLiteral("ChangeFileOpenDirectory"), {QStringLiteral("Path")},
                  [this](const BoundArguments& args) {
                      Arguments passedArgs;
                      if (args.has(0))
                          passedArgs.push_back({QString(), args.required(0)});
                      record(QStringLiteral("ChangeFileOpenDirectory"), passedArgs);
                      server()->openFolder = args.required(0).toText();
                      return Variant();
                  });
        addProperty(QStringLiteral("Documents"), [this] {
            return Variant(ObjectRef(std::make_shared<FakeDocuments>(server_)));
        });
        addProperty(QStringLiteral("application"), [this] {
            return Variant(ObjectRef(std::make_shared<FakeApplicationView>(server_)));
        });
        addProperty(QStringLiteral("ActiveDocument"), [this] {
            requireDocument();
            return Variant(ObjectRef(
                std::make_shared<FakeDocument>(server_, QStringLiteral("ActiveDocument."))));
        });
        addProperty(QStringLiteral("ActiveWindow"), [this] {
            requireDocument();
            return Variant(ObjectRef(
                std::make_shared<FakeDocumentWindow>(server_, QStringLiteral("ActiveWindow."))));
        });
        addProperty(
            QStringLiteral("Visible"), [this] { return Variant(server()->visible); },
            [this](const Variant& value) {
                record(QStringLiteral("Visible"), {{QString(), value}});
                server()->visible = value.toBool();
            });
    }

private:
    // "application" answers with the same application, recorded under its own path.
    class FakeApplicationView : public FakeObject {
    public:
        explicit FakeApplicationView(std::weak_ptr<FakeWordServer> owner)
            : FakeObject(std::move(owner), QStringLiteral("application."),
                         QStringLiteral("Word.Application")) {
            addProperty(
                QStringLiteral("Visible"), [this] { return Variant(server()->visible); },
                [this](const Variant& value) {
                    record(QStringLiteral("Visible"), {{QString(), value}});
                    server()->visible = value.toBool();
                });
        }
    };

    void requireDocument() const {
        if (server()->openDocuments_.isEmpty())
            throw AutomationError(
                ErrorNumber::ServerFailure,
                QStringLiteral("This command is not available because no document is open."));
    }
};

} // namespace

std::shared_ptr<FakeWordServer> FakeWordServer::install() {
    std::shared_ptr<FakeWordServer> server(new FakeWordServer());
    AutomationRuntime::registerServer(QStringLiteral("Word.Application"), server);
    return server;
}

FakeWordServer::~FakeWordServer() = default;

ObjectRef FakeWordServer::getObject() {
    if (!running)
        throw AutomationError(ErrorNumber::CannotCreateObject,
                              QStringLiteral("No running fake word processor"));
    return createObject();
}

ObjectRef FakeWordServer::createObject() {
    if (!creatable)
        throw AutomationError(ErrorNumber::CannotCreateObject,
                              QStringLiteral("The fake word processor cannot be created"));
    if (!application_)
        application_ = std::make_shared<FakeApplication>(weak_from_this());
    running = true;
    return application_;
}

void FakeWordServer::failWhen(std::function<bool(const FakeCall&)> predicate,
                              const QString& reason) {
    failures_.emplace_back(std::move(predicate), reason);
}

void FakeWordServer::failCall(const QString& member, const QString& mentioning) {
    failWhen(
        [member, mentioning](const FakeCall& call) {
            return call.member == member &&
                   (mentioning.isEmpty() || call.text().contains(mentioning));
        },
        QStringLiteral("The fake word processor refused %1").arg(member));
}

void FakeWordServer::record(const FakeCall& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
    for (const auto& [predicate, reason] : failures_)
        if (predicate(call))
            throw AutomationError(ErrorNumber::ServerFailure, reason,
                                  QStringLiteral("Word.Application"));
}

QStringList FakeWordServer::callTexts() const {
    QStringList texts;
    for (const FakeCall& call : calls)
        texts << call.text();
    return texts;
}

} // namespace qp::test
