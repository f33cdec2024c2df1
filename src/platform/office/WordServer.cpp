#include "WordServer.h"

#include "OfficeConnection.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/task/ErrorCodeIOException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <unistd.h>
#include <vector>

namespace qp::office {

namespace {

constexpr std::int32_t NoDocumentOpen = 4248; // "no document is open"
const QString serverName = QStringLiteral("Word.Application");

std::atomic<int> nextDocumentId{1};

AutomationError failure(std::int32_t number, const QString& text) {
    return AutomationError(number, text, serverName);
}

AutomationError noDocument() {
    return failure(NoDocumentOpen,
                   QStringLiteral("This command is not available because no document is open."));
}

// The office's reason, without the source location it appends.
QString reasonOf(const css::uno::Exception& e) {
    QString text = toQString(e.Message);
    const int at = text.indexOf(QLatin1String(" at ./"));
    if (at >= 0)
        text.truncate(at);
    return text.isEmpty() ? QStringLiteral("the word processor gave no reason") : text;
}

// A load or store failure with the office's error code: the load errors name
// only the code, so say what it usually means.
QString reasonOf(const css::task::ErrorCodeIOException& e) {
    const QString code =
        QStringLiteral("office error 0x") + QString::number(quint32(e.ErrCode), 16).toUpper();
    const QString text = reasonOf(static_cast<const css::uno::Exception&>(e));
    if (text.contains(QLatin1String("handleLoadError")))
        return QStringLiteral(
                   "the document is damaged, protected by a password or of a kind the word "
                   "processor cannot read; %1")
            .arg(code);
    return text + QStringLiteral("; ") + code;
}

css::beans::PropertyValue property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

css::uno::Sequence<css::beans::PropertyValue>
properties(const std::vector<css::beans::PropertyValue>& items) {
    return css::uno::Sequence<css::beans::PropertyValue>(items.data(), sal_Int32(items.size()));
}

rtl::OUString fileUrl(const QString& path) {
    rtl::OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(toOUString(path), url) != osl::FileBase::E_None)
        throw failure(ErrorNumber::InvalidArgument,
                      QStringLiteral("Not a valid file name: %1").arg(path));
    return url;
}

// The filter that reads the file, found by the office's type detection.
rtl::OUString detectFilter(Connection& c, const rtl::OUString& url, const QString& path) {
    auto descriptor = properties({property("URL", css::uno::Any(url))});
    const rtl::OUString type = c.detection->queryTypeByDescriptor(descriptor, true);
    rtl::OUString filter;
    for (const auto& p : std::as_const(descriptor))
        if (p.Name == "FilterName")
            p.Value >>= filter;
    if (filter.isEmpty() && !type.isEmpty()) {
        css::uno::Reference<css::container::XNameAccess> types(c.detection,
                                                               css::uno::UNO_QUERY_THROW);
        css::uno::Sequence<css::beans::PropertyValue> typeProperties;
        types->getByName(type) >>= typeProperties;
        for (const auto& p : std::as_const(typeProperties))
            if (p.Name == "PreferredFilter")
                p.Value >>= filter;
    }
    if (filter.isEmpty())
        throw failure(
            ErrorNumber::ServerFailure,
            QStringLiteral("The document could not be opened: %1 (the word processor does not "
                           "recognise its format)")
                .arg(path));
    return filter;
}

// Loads the document into a model of its own, hidden, read-only, with macros
// never run, links never updated and nobody to ask for a password. No view or
// window is made: the office's views fail on some documents without a display.
int openDocument(Connection& c, const QString& path) {
    const rtl::OUString url = fileUrl(path);
    try {
        const rtl::OUString filter = detectFilter(c, url, path);
        css::uno::Reference<css::frame::XLoadable> model(
            c.factory->createInstanceWithContext("com.sun.star.text.TextDocument", c.context),
            css::uno::UNO_QUERY_THROW);
        model->load(properties(
            {property("URL", css::uno::Any(url)), property("FilterName", css::uno::Any(filter)),
             property("ReadOnly", css::uno::Any(true)), property("Hidden", css::uno::Any(true)),
             property("MacroExecutionMode", css::uno::Any(sal_Int16(0))),
             property("UpdateDocMode", css::uno::Any(sal_Int16(0))),
             property("Silent", css::uno::Any(true))}));
        const int id = nextDocumentId++;
        c.documents.emplace_back(
            id, css::uno::Reference<css::lang::XComponent>(model, css::uno::UNO_QUERY_THROW));
        return id;
    } catch (const css::task::ErrorCodeIOException& e) {
        throw failure(
            ErrorNumber::ServerFailure,
            QStringLiteral("The document could not be opened: %1 (%2)").arg(path, reasonOf(e)));
    } catch (const css::io::IOException& e) {
        throw failure(
            ErrorNumber::ServerFailure,
            QStringLiteral("The document could not be opened: %1 (%2)").arg(path, reasonOf(e)));
    } catch (const css::lang::IllegalArgumentException& e) {
        throw failure(
            ErrorNumber::ServerFailure,
            QStringLiteral("The document could not be opened: %1 (%2)").arg(path, reasonOf(e)));
    }
}

css::uno::Reference<css::lang::XComponent> documentOf(Connection& c, int id) {
    for (const auto& [docId, component] : c.documents)
        if (docId == id)
            return component;
    throw noDocument();
}

void closeDocument(Connection& c, int id) {
    const auto component = documentOf(c, id);
    std::erase_if(c.documents, [id](const auto& entry) { return entry.first == id; });
    css::uno::Reference<css::util::XCloseable> closeable(component, css::uno::UNO_QUERY);
    try {
        if (closeable.is()) {
            closeable->close(true);
            return;
        }
    } catch (const css::uno::Exception&) {
        // A veto leaves disposing as the way out.
    }
    component->dispose();
}

const char* filterForFormat(int format) {
    switch (format) {
    case 8:
        return "HTML (StarWriter)"; // the full web page, pictures as files beside it
    case 10:
        return "XHTML Writer File"; // the filtered, standards-only page
    default:
        return nullptr;
    }
}

class WordApplication;

// The state shared by the application object and the objects it hands out.
struct Shared {
    std::shared_ptr<OfficeSession> session;
    QString openFolder;
    bool visible = false;

    QString resolve(const QString& name) const {
        const QDir base(openFolder.isEmpty() ? QDir::currentPath() : openFolder);
        return QDir::cleanPath(base.absoluteFilePath(name));
    }
    int activeDocument() {
        const int id =
            session->call<int>(QStringLiteral("finding the active document"), [](Connection& c) {
                return c.documents.empty() ? 0 : c.documents.back().first;
            });
        if (id == 0)
            throw noDocument();
        return id;
    }
};

class WordWindow : public DispatchObject {
public:
    WordWindow(std::shared_ptr<Shared> shared, int id) : shared_(std::move(shared)), id_(id) {
        addMethod(QStringLiteral("Close"),
                  {QStringLiteral("SaveChanges"), QStringLiteral("RouteDocument")},
                  [this](const BoundArguments&) {
                      shared_->session->run(QStringLiteral("closing the document"),
                                            [id = id_](Connection& c) { closeDocument(c, id); });
                      return Variant();
                  });
    }
    QString className() const override { return QStringLiteral("Window"); }

private:
    std::shared_ptr<Shared> shared_;
    int id_;
};

class WordDocument : public DispatchObject {
public:
    WordDocument(std::shared_ptr<Shared> shared, int id, QString path)
        : shared_(std::move(shared)), id_(id), path_(std::move(path)) {
        addMethod(QStringLiteral("SaveAs"),
                  {QStringLiteral("FileName"), QStringLiteral("FileFormat"),
                   QStringLiteral("LockComments"), QStringLiteral("Password"),
                   QStringLiteral("AddToRecentFiles"), QStringLiteral("WritePassword"),
                   QStringLiteral("ReadOnlyRecommended"), QStringLiteral("EmbedTrueTypeFonts"),
                   QStringLiteral("SaveNativePictureFormat"), QStringLiteral("SaveFormsData")},
                  [this](const BoundArguments& args) {
                      saveAs(args.required(0).toText(),
                             args.optional(1).isEmpty() ? -1 : args.optional(1).toInt());
                      return Variant();
                  });
        addMethod(QStringLiteral("Close"), {QStringLiteral("SaveChanges")},
                  [this](const BoundArguments&) {
                      shared_->session->run(QStringLiteral("closing the document"),
                                            [id = id_](Connection& c) { closeDocument(c, id); });
                      return Variant();
                  });
        addProperty(QStringLiteral("FullName"), [this] { return Variant(path_); });
        addProperty(QStringLiteral("Name"),
                    [this] { return Variant(QFileInfo(path_).fileName()); });
    }
    QString className() const override { return QStringLiteral("Document"); }

private:
    void saveAs(const QString& fileName, int format) {
        const char* filter = filterForFormat(format);
        if (!filter)
            throw failure(
                ErrorNumber::InvalidArgument,
                format < 0
                    ? QStringLiteral("SaveAs needs a FileFormat: 8 (web page) or 10 "
                                     "(filtered web page)")
                    : QStringLiteral("FileFormat %1 is not supported: use 8 (web page) or 10 "
                                     "(filtered web page)")
                          .arg(format));
        if (fileName.isEmpty())
            throw failure(ErrorNumber::InvalidArgument, QStringLiteral("SaveAs needs a FileName"));
        const QString target = shared_->resolve(fileName);
        const QFileInfo folder(QFileInfo(target).absolutePath());
        if (!folder.exists())
            throw failure(ErrorNumber::PathNotFound,
                          QStringLiteral("Path not found: %1").arg(folder.filePath()));
        if (!folder.isDir() ||
            ::access(QFile::encodeName(folder.filePath()).constData(), W_OK) != 0)
            throw failure(
                ErrorNumber::PermissionDenied,
                QStringLiteral("The folder cannot be written: %1").arg(folder.filePath()));
        if (QFileInfo(target).isDir())
            throw failure(ErrorNumber::PermissionDenied,
                          QStringLiteral("A folder of that name is in the way: %1").arg(target));
        const rtl::OUString url = fileUrl(target);
        shared_->session->run(QStringLiteral("saving %1").arg(target), [id = id_, url, filter,
                                                                        target](Connection& c) {
            css::uno::Reference<css::frame::XStorable> storable(documentOf(c, id),
                                                                css::uno::UNO_QUERY_THROW);
            try {
                storable->storeToURL(
                    url,
                    properties({property("FilterName",
                                         css::uno::Any(rtl::OUString::createFromAscii(filter))),
                                property("Overwrite", css::uno::Any(true))}));
            } catch (const css::task::ErrorCodeIOException& e) {
                throw failure(ErrorNumber::ServerFailure,
                              QStringLiteral("The web page could not be written: %1 (%2)")
                                  .arg(target, reasonOf(e)));
            } catch (const css::io::IOException& e) {
                throw failure(ErrorNumber::ServerFailure,
                              QStringLiteral("The web page could not be written: %1 (%2)")
                                  .arg(target, reasonOf(e)));
            }
        });
    }

    std::shared_ptr<Shared> shared_;
    int id_;
    QString path_;
};

class WordDocuments : public DispatchObject {
public:
    explicit WordDocuments(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
        addMethod(QStringLiteral("Open"),
                  {QStringLiteral("FileName"), QStringLiteral("ConfirmConversions"),
                   QStringLiteral("ReadOnly"), QStringLiteral("AddToRecentFiles"),
                   QStringLiteral("PasswordDocument")},
                  [this](const BoundArguments& args) { return open(args.required(0).toText()); });
        addProperty(QStringLiteral("Count"), [this] {
            return Variant(shared_->session->call<std::int32_t>(
                QStringLiteral("counting documents"),
                [](Connection& c) { return std::int32_t(c.documents.size()); }));
        });
    }
    QString className() const override { return QStringLiteral("Documents"); }

private:
    Variant open(const QString& fileName) {
        if (fileName.isEmpty())
            throw failure(ErrorNumber::InvalidArgument,
                          QStringLiteral("Documents.Open needs a FileName"));
        const QString path = shared_->resolve(fileName);
        const QFileInfo info(path);
        if (!info.exists())
            throw failure(ErrorNumber::FileNotFound,
                          QStringLiteral("This file could not be found: %1").arg(path));
        if (!info.isFile() || !info.isReadable())
            throw failure(ErrorNumber::PermissionDenied,
                          QStringLiteral("The document could not be opened: %1 (it cannot be read)")
                              .arg(path));
        const int id =
            shared_->session->call<int>(QStringLiteral("opening %1").arg(path),
                                        [path](Connection& c) { return openDocument(c, path); });
        return Variant(ObjectRef(std::make_shared<WordDocument>(shared_, id, path)));
    }

    std::shared_ptr<Shared> shared_;
};

class WordApplication : public DispatchObject {
public:
    explicit WordApplication(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
        addMethod(QStringLiteral("ChangeFileOpenDirectory"), {QStringLiteral("Path")},
                  [this](const BoundArguments& args) {
                      const QString folder = args.required(0).toText();
                      if (!QFileInfo(folder).isDir())
                          throw failure(ErrorNumber::PathNotFound,
                                        QStringLiteral("Path not found: %1").arg(folder));
                      shared_->openFolder = folder;
                      return Variant();
                  });
        addProperty(QStringLiteral("Documents"), [this] {
            return Variant(ObjectRef(std::make_shared<WordDocuments>(shared_)));
        });
        addProperty(QStringLiteral("Application"), [this] { return Variant(shared_from_this()); });
        addProperty(
            QStringLiteral("Visible"), [this] { return Variant(shared_->visible); },
            // The office runs headless: the flag is kept, nothing opens on screen.
            [this](const Variant& value) { shared_->visible = value.toBool(); });
        addProperty(QStringLiteral("ActiveDocument"), [this] {
            const int id = shared_->activeDocument();
            QString path;
            return Variant(ObjectRef(std::make_shared<WordDocument>(shared_, id, path)));
        });
        addProperty(QStringLiteral("ActiveWindow"), [this] {
            return Variant(
                ObjectRef(std::make_shared<WordWindow>(shared_, shared_->activeDocument())));
        });
        addProperty(QStringLiteral("Name"), [] { return Variant(QStringLiteral("WordPerfect")); });
    }
    QString className() const override { return serverName; }

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace

WordServer::WordServer(OfficeOptions options) : options_(std::move(options)) {}

WordServer::~WordServer() {
    shutdown();
}

ObjectRef WordServer::getObject() {
    return bind(OfficeSession::Mode::Attach);
}

ObjectRef WordServer::createObject() {
    return bind(OfficeSession::Mode::Start);
}

ObjectRef WordServer::bind(OfficeSession::Mode mode) {
    std::lock_guard lock(mutex_);
    if (application_)
        return application_;
    auto session = std::make_shared<OfficeSession>(options_);
    session->bind(mode);
    auto shared = std::make_shared<Shared>();
    shared->session = session;
    session_ = session;
    application_ = std::make_shared<WordApplication>(shared);
    return application_;
}

std::shared_ptr<OfficeSession> WordServer::session() const {
    std::lock_guard lock(mutex_);
    return session_;
}

void WordServer::shutdown() {
    std::shared_ptr<OfficeSession> session;
    {
        std::lock_guard lock(mutex_);
        session = session_;
    }
    if (session)
        session->shutdown();
}

std::shared_ptr<WordServer> registerWordServer(OfficeOptions options) {
    auto server = std::make_shared<WordServer>(std::move(options));
    AutomationRuntime::registerServer(serverName, server);
    return server;
}

} // namespace qp::office
