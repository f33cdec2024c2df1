#include "WordServer.h"

#include "DocumentLists.h"
#include "OfficeConnection.h"
#include "OfficeSandbox.h"
#include "PageLayout.h"
#include "automation/PhaseClock.h"
#include "webpage/ActiveContent.h"
#include "webpage/FilteredPage.h"
#include "webpage/PagePictures.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/task/ErrorCodeIOException.hpp>
#include <com/sun/star/text/XTextEmbeddedObjectsSupplier.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/sendfile.h>
#include <sys/stat.h>
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
QString errorWords(quint32 number);

// The office's reason, without the source location it appends. A reason that
// holds the office's error number ("SfxBaseModel::impl_store <URL> failed:
// 0x507(Error Area:Io Class:Access Code:7)") is that number in words, where
// the table knows it.
QString reasonOf(const css::uno::Exception& e) {
    QString text = toQString(e.Message);
    const qsizetype at = text.indexOf(QLatin1String(" at ./"));
    if (at >= 0)
        text.truncate(at);
    static const QRegularExpression number(QStringLiteral("0x([0-9A-Fa-f]+)\\(Error Area:"));
    if (const auto match = number.match(text); match.hasMatch()) {
        const QString words = errorWords(match.captured(1).toUInt(nullptr, 16));
        if (!words.isEmpty())
            return words + QStringLiteral("; office error 0x") + match.captured(1).toUpper();
    }
    return text.isEmpty() ? QStringLiteral("the word processor gave no reason") : text;
}

// The bits of the office's error numbers that tell the error: those above
// only mark how it was raised.
constexpr quint32 errorBits = 0x03FFFFFF;

// The office's number for a document that needs a password to be opened
// (the wrong password: none is given).
constexpr quint32 passwordError = 0x1000F;

// What the office's error number means, in words; empty for a number not in
// the table. The number packs an area (bits 13 and up: 0 for input and
// output), a class (bits 8 to 12) and a code (bits 0 to 7).
QString errorWords(quint32 number) {
    static const std::map<quint32, const char*> words{
        {0x0302, "the file does not exist"},
        {0x031C, "the folder does not exist"},
        {0x0403, "a file of that name exists already"},
        {0x0507, "access was denied"},
        {0x0518, "access was denied"},
        {0x0525, "the medium is write-protected"},
        {0x0606, "the device is not valid"},
        {0x0708, "the file is locked by another program"},
        {0x0801, "the name holds a character that is not allowed"},
        {0x0804, "a part of the path is not a folder"},
        {0x0805, "it is not a file"},
        {0x0816, "the name holds a character that is not allowed"},
        {0x081A, "an argument is not valid"},
        {0x081F, "the name is too long"},
        {0x0909, "no space left on the device"},
        {0x090E, "too many files are open"},
        {0x0911, "out of memory"},
        {0x0A0C, "the operation is not supported"},
        {0x020D, "an input/output error"},
        {0x0B0F, "the file cannot be read"},
        {0x0B23, "the device is not ready"},
        {0x0B24, "the data is damaged"},
        {0x0C10, "the file cannot be written"},
        {0x0D17, "an unknown input/output error"},
        {0x0E14, "the word processor cannot read this version of the format"},
        {0x0F15, "the word processor does not recognise its format"},
        {0x0F26, "the document is damaged"},
        {0x0F28, "the word processor cannot read its format here"},
        {0x1019, "the file cannot be created"},
        {0x011B, "the operation was cancelled"},
    };
    const auto it = words.find(number & errorBits);
    return it == words.end() ? QString() : QString::fromLatin1(it->second);
}

// A load or store failure with the office's error number, in words where the
// table knows it, else in the office's own; the number stays for a report.
QString reasonOf(const css::task::ErrorCodeIOException& e) {
    const quint32 number = quint32(e.ErrCode);
    const QString code = QStringLiteral("office error 0x") + QString::number(number, 16).toUpper();
    if (const QString words = errorWords(number); !words.isEmpty())
        return words + QStringLiteral("; ") + code;
    QString text = reasonOf(static_cast<const css::uno::Exception&>(e));
    if (text.contains(QLatin1String("handleLoadError")))
        return QStringLiteral(
                   "the document is damaged, protected by a password or of a kind the word "
                   "processor cannot read; %1")
            .arg(code);
    if (text.contains(QLatin1String("office error 0x")))
        return text;
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

// A document opened once by this program: what the office reads is what was
// opened then, whatever the path leads to later.
class SourceFile {
public:
    explicit SourceFile(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {}
    ~SourceFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Copies what is left of one file into another, from `offset` when it is
// given; returns 0, or the error that stopped it.
int copyAll(int in, int out, off_t* offset) {
    ssize_t sent;
    while ((sent = ::sendfile(out, in, offset, 1 << 30)) > 0) {
    }
    return sent < 0 ? errno : 0;
}

AutomationError cannotHandOver(const QString& folder, int error) {
    return failure(ErrorNumber::ServerFailure,
                   QStringLiteral("The document could not be handed to the word processor: %1 "
                                  "(%2)")
                       .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
}

// The folder in the office's input folder where documents are handed to it
// in that slot: a mirror of the file system's root, in which a document lies
// at its own path, so that its relative links lead where they lead from the
// document itself (and find nothing). Each open document has a slot of its
// own, the lowest one free when it was opened.
QString handedFolder(const QString& inputDir, int slot) {
    return inputDir + QStringLiteral("/%1").arg(slot);
}

// Puts the opened document into the office's input folder, the one place
// besides the system where it may read, at its own path below the mirror
// folder of its slot: a hard link to what was opened where the file system
// allows it, else a copy. Returns the path it got there.
QString handOver(Connection& c, const SourceFile& source, int id, const QString& path) {
    const PhaseTimer timer(Phase::HandOver);
    const QString& inputDir = c.inputDir;
    int slot = 1;
    if (const auto it = c.handed.find(id); it != c.handed.end()) {
        slot = it->second.first;
    } else {
        std::set<int> taken;
        for (const auto& entry : c.handed)
            taken.insert(entry.second.first);
        while (taken.count(slot))
            ++slot;
    }
    QString handed = handedFolder(inputDir, slot) + QDir::cleanPath(path);
    const QByteArray target = QFile::encodeName(handed);
    ::unlink(target.constData());
    // The folders below the input folder are made one by one, never the
    // input folder itself: it goes with its office, and a call that outlived
    // an office that was ended must not make it again, for the next office of
    // the same pipe to find in its way.
    QByteArray folder = QFile::encodeName(inputDir);
    const QByteArray below = QFile::encodeName(QFileInfo(handed).absolutePath()).mid(folder.size());
    for (const QByteArray& part : below.split('/')) {
        if (part.isEmpty())
            continue;
        folder += '/' + part;
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            throw cannotHandOver(inputDir, errno);
    }
    const QByteArray opened = "/proc/self/fd/" + QByteArray::number(source.fd());
    if (::linkat(AT_FDCWD, opened.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) ==
        0) {
        c.handed[id] = {slot, handed};
        return handed;
    }
    const int copy = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (copy < 0)
        throw cannotHandOver(inputDir, errno);
    // From the start, without moving the opened file's own offset: the same
    // document may be handed over again.
    off_t offset = 0;
    const int error = copyAll(source.fd(), copy, &offset);
    ::close(copy);
    if (error != 0) {
        ::unlink(target.constData());
        throw cannotHandOver(inputDir, error);
    }
    c.handed[id] = {slot, handed};
    return handed;
}

// Takes back what was handed to the office for the document of that id. The
// folders above it are kept for the documents that follow (removing a folder
// costs the file system milliseconds); they go with the office's private folder.
void takeBack(Connection& c, int id) {
    const PhaseTimer timer(Phase::HandOver, 0);
    const auto it = c.handed.find(id);
    if (it == c.handed.end())
        return;
    ::unlink(QFile::encodeName(it->second.second).constData());
    c.handed.erase(it);
}

// Loads the document hidden, read-only, with macros never run, links never
// updated and nobody to ask for a password, and records it under `id`. Unless
// told ModelOnly, a document whose page depends on its layout is then laid
// out as the office's own export does, so that page numbers and counts, page
// references and floating objects come out as the office places them; the
// page of any other document is the same without the layout's cost. Returns
// the name of the filter that read it.
QString loadDocument(Connection& c, const QString& path, const rtl::OUString& url,
                     DocumentLayout layout, int id) {
    try {
        const rtl::OUString filter = detectFilter(c, url, path);
        std::optional<PhaseTimer> loading(Phase::Load);
        css::uno::Reference<css::frame::XLoadable> model(
            c.factory->createInstanceWithContext("com.sun.star.text.TextDocument", c.context),
            css::uno::UNO_QUERY_THROW);
        model->load(properties(
            {property("URL", css::uno::Any(url)), property("FilterName", css::uno::Any(filter)),
             property("ReadOnly", css::uno::Any(true)), property("Hidden", css::uno::Any(true)),
             property("MacroExecutionMode", css::uno::Any(sal_Int16(0))), // never
             property("UpdateDocMode", css::uno::Any(sal_Int16(0))),      // no update
             property("Silent", css::uno::Any(true))}));
        const css::uno::Reference<css::lang::XComponent> component(model,
                                                                   css::uno::UNO_QUERY_THROW);
        try {
            const bool laidOut =
                layout != DocumentLayout::ModelOnly && pageDependsOnLayout(component);
            loading.reset();
            if (laidOut) {
                const PhaseTimer timer(Phase::Layout);
                layOut(c, component, layout);
            }
        } catch (...) {
            try {
                css::uno::Reference<css::util::XCloseable>(model, css::uno::UNO_QUERY_THROW)
                    ->close(true);
            } catch (const css::uno::Exception&) {
                // An office that died has let go of it anyway.
            }
            throw;
        }
        c.documents.emplace_back(id, component);
        return toQString(filter);
    } catch (const css::task::ErrorCodeIOException& e) {
        if ((quint32(e.ErrCode) & errorBits) == passwordError)
            throw failure(ErrorNumber::ServerFailure,
                          QStringLiteral("The document %1 is protected by a password").arg(path));
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

// The office reads the copy handed to it, kept until the document is
// closed; its links and the fields that show where it lies are made the
// document's own when its page is saved.
QString openDocument(Connection& c, const QString& path, const SourceFile& source,
                     DocumentLayout layout, int id) {
    const QString handed = handOver(c, source, id, QFileInfo(path).absoluteFilePath());
    try {
        return loadDocument(c, path, fileUrl(handed), layout, id);
    } catch (...) {
        takeBack(c, id);
        throw;
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
    takeBack(c, id);
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

// The document's name and its pictures' descriptions, which the filtered page
// needs and the office's page does not hold.
webpage::DocumentFacts factsOf(const css::uno::Reference<css::lang::XComponent>& document) {
    webpage::DocumentFacts facts;
    css::uno::Reference<css::frame::XModel> model(document, css::uno::UNO_QUERY);
    rtl::OUString source;
    if (model.is() &&
        osl::FileBase::getSystemPathFromFileURL(model->getURL(), source) == osl::FileBase::E_None)
        facts.name = QFileInfo(toQString(source)).completeBaseName();
    auto describe = [&](const css::uno::Reference<css::container::XNameAccess>& objects) {
        for (const rtl::OUString& name : objects->getElementNames()) {
            css::uno::Reference<css::beans::XPropertySet> object(objects->getByName(name),
                                                                 css::uno::UNO_QUERY);
            rtl::OUString description;
            if (object.is() && object->getPropertySetInfo()->hasPropertyByName("Description"))
                object->getPropertyValue("Description") >>= description;
            facts.descriptions.insert(toQString(name), toQString(description));
        }
    };
    try {
        css::uno::Reference<css::text::XTextGraphicObjectsSupplier> pictures(document,
                                                                             css::uno::UNO_QUERY);
        if (pictures.is())
            describe(pictures->getGraphicObjects());
        css::uno::Reference<css::text::XTextEmbeddedObjectsSupplier> objects(document,
                                                                             css::uno::UNO_QUERY);
        if (objects.is())
            describe(objects->getEmbeddedObjects());
    } catch (const css::uno::RuntimeException&) {
        throw; // the office is gone: the call fails
    } catch (const css::uno::Exception&) {
        // Without descriptions the pictures keep the office's alt texts.
    }
    return facts;
}

const char* filterForFormat(int format) {
    switch (format) {
    case 8:
        return "HTML (StarWriter)"; // the full web page, pictures as files beside it
    case 10:
        return "HTML (StarWriter)"; // made into the filtered page after saving
    default:
        return nullptr;
    }
}

// Removes the files a save left in the office's output folder.
void emptyFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        dir.remove(name);
}

AutomationError cannotDeliver(const QString& folder, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return failure(ErrorNumber::DiskFull, QStringLiteral("No space left on the device"));
    return failure(ErrorNumber::PermissionDenied,
                   QStringLiteral("The folder cannot be written: %1 (%2)")
                       .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
}

// Moves one file into the folder: renamed within one file system; else
// copied under a temporary name that is then renamed, so that it appears
// whole or not at all.
void moveInto(const QByteArray& from, const QByteArray& to, const QString& folder) {
    if (::rename(from.constData(), to.constData()) == 0)
        return;
    if (errno != EXDEV)
        throw cannotDeliver(folder, errno);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw cannotDeliver(folder, errno);
    const QByteArray partial = to + ".part";
    const int out = ::open(partial.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int error = out < 0 ? errno : copyAll(in, out, nullptr);
    if (out >= 0 && ::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (error == 0 && ::rename(partial.constData(), to.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(partial.constData());
        throw cannotDeliver(folder, error);
    }
    ::unlink(from.constData());
}

// Moves the page and the pictures the office wrote for it into the folder
// where the page was asked for: the pictures first, the page last.
// The paths are joined by hand: QDir::filePath takes a name starting with
// ":" for a path of its own.
void deliver(const QString& written, const QString& pageName, const QString& folder) {
    const PhaseTimer timer(Phase::Deliver);
    QStringList names = QDir(written).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(pageName);
    names.append(pageName);
    for (const QString& name : names)
        moveInto(QFile::encodeName(written + QLatin1Char('/') + name),
                 QFile::encodeName(folder + QLatin1Char('/') + name), folder);
}

class WordApplication;

// The state shared by the application object and the objects it hands out.
struct Shared {
    std::shared_ptr<OfficeSession> session;
    std::shared_ptr<const std::atomic<bool>> selfContained;
    QString openFolder;
    // The folder where a page saved into a folder will be published; its
    // links are computed for that one.
    std::function<QString(const QString&)> publishedFolder;
    bool visible = false;
    DocumentLayout layout = DocumentLayout::PagePreview;

    // The open documents by id: where each came from and how it was loaded,
    // so that one whose office died can be loaded again.
    struct Opened {
        QString path;
        DocumentLayout layout;
        std::shared_ptr<const SourceFile> source; // the document as it was opened
        bool retried = false;                     // loaded again after its office died
        // The filter that read it, written by the call that loads it.
        std::shared_ptr<QString> filter = std::make_shared<QString>();
    };
    std::map<int, Opened> opened;

    // A name not starting with "/" lies in the open folder. (QDir would take
    // one starting with ":" for a resource built into the program.)
    QString resolve(const QString& name) const {
        if (name.startsWith(u'/'))
            return QDir::cleanPath(name);
        const QString base = openFolder.isEmpty() ? QDir::currentPath() : openFolder;
        return QDir::cleanPath(base + u'/' + name);
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
    QString pathOf(int id) const {
        const auto it = opened.find(id);
        return it == opened.end() ? QString() : it->second.path;
    }

    // Opens the document, laid out when its page depends on the layout.
    int open(const QString& path) {
        const int id = nextDocumentId++;
        auto source = std::make_shared<const SourceFile>(path);
        if (source->fd() < 0)
            throw failure(ErrorNumber::PermissionDenied,
                          QStringLiteral("The document could not be opened: %1 (%2)")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        opened[id] = {path, layout, std::move(source)};
        try {
            withDocument(id, QStringLiteral("opening %1").arg(path), nullptr, true);
        } catch (...) {
            opened.erase(id);
            throw;
        }
        return id;
    }

    // Runs job (if any) on the open document, loading it first when `load`.
    // When the office dies under the document, it is loaded again into a
    // fresh office: as before once more, for a death that was not its doing,
    // then as the model alone, for a document whose layout ends the office (a
    // view of some documents does in an office without its user interface).
    // A document loaded as the model alone from the start gets no second
    // chance.
    void withDocument(int id, const QString& what, const std::function<void(Connection&)>& job,
                      bool load) {
        const auto it = opened.find(id);
        if (it == opened.end()) {
            session->run(what, job); // not open: the job says so
            return;
        }
        Opened& document = it->second;
        while (true) {
            try {
                // By value: the job may outlive this call when it runs out of
                // time.
                session->run(what, [path = document.path, layout = document.layout,
                                    source = document.source, filter = document.filter, id, load,
                                    job](Connection& c) {
                    if (load)
                        *filter = openDocument(c, path, *source, layout, id);
                    if (job)
                        job(c);
                });
                return;
            } catch (const AutomationError& e) {
                if (e.number() != ErrorNumber::ServerStopped ||
                    document.layout == DocumentLayout::ModelOnly)
                    throw;
                if (document.retried)
                    document.layout = DocumentLayout::ModelOnly;
                document.retried = true;
                load = true;
            }
        }
    }

    // What the page's reader should know of how the document was loaded.
    QString layoutWarning(int id) const {
        const auto it = opened.find(id);
        if (it == opened.end() || it->second.layout != DocumentLayout::ModelOnly ||
            layout == DocumentLayout::ModelOnly)
            return QString();
        return QStringLiteral("converted without its page layout, since the word processor "
                              "stopped twice on it: page numbers may show 0");
    }

    // A file that the office could read only as plain text is not a
    // word-processor document (random bytes, or a format it does not know),
    // unless it is named as text: its page shows whatever its bytes spell.
    QString plainTextWarning(int id) const {
        const auto it = opened.find(id);
        if (it == opened.end() || !it->second.filter->startsWith(QLatin1String("Text")) ||
            QFileInfo(it->second.path)
                    .suffix()
                    .compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
            return QString();
        return QStringLiteral("read as plain text: not a word-processor document");
    }

    void close(int id) {
        const bool known = opened.erase(id) > 0;
        try {
            session->run(QStringLiteral("closing the document"),
                         [id](Connection& c) { closeDocument(c, id); });
        } catch (const AutomationError& e) {
            // A document whose office died after saving it is closed with it.
            if (!known || e.number() != ErrorNumber::ServerStopped)
                throw;
        }
        // Between documents the office may be restarted, as its options say.
        if (known && opened.empty())
            session->documentDone();
    }
};

class WordWindow : public DispatchObject {
public:
    WordWindow(std::shared_ptr<Shared> shared, int id) : shared_(std::move(shared)), id_(id) {
        addMethod(QStringLiteral("Close"),
                  {QStringLiteral("SaveChanges"), QStringLiteral("RouteDocument")},
                  [this](const BoundArguments&) {
                      shared_->close(id_);
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
                      return Variant(
                          saveAs(args.required(0).toText(),
                                 args.optional(1).isEmpty() ? -1 : args.optional(1).toInt()));
                  });
        addMethod(QStringLiteral("Close"), {QStringLiteral("SaveChanges")},
                  [this](const BoundArguments&) {
                      shared_->close(id_);
                      return Variant();
                  });
        addProperty(QStringLiteral("FullName"), [this] { return Variant(path_); });
        addProperty(QStringLiteral("Name"),
                    [this] { return Variant(QFileInfo(path_).fileName()); });
    }
    QString className() const override { return QStringLiteral("Document"); }

private:
    // Writes the page and returns what the reader of the page should know
    // of it, one warning a line ("picture not found: ..."); empty when all
    // went well.
    QString saveAs(const QString& fileName, int format) {
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
        // The office writes the page and its pictures into its own output
        // folder, its links computed for the folder where the page will be
        // published; they are then moved where they were asked for.
        const QString pageName = QFileInfo(target).fileName();
        const QString published = shared_->publishedFolder
                                      ? shared_->publishedFolder(folder.absoluteFilePath())
                                      : folder.absoluteFilePath();
        const rtl::OUString baseUrl = fileUrl(published + QLatin1Char('/') + pageName);
        // The job owns what it uses: a call that runs out of time may still be
        // running on the office's thread after this function has returned.
        auto facts = std::make_shared<webpage::DocumentFacts>(
            webpage::DocumentFacts{QFileInfo(path_).completeBaseName(), {}, {}});
        auto written = std::make_shared<QString>();
        auto mirror = std::make_shared<QString>();
        shared_->withDocument(
            id_, QStringLiteral("saving %1").arg(target),
            [id = id_, pageName, baseUrl, filter, target, format, facts, written,
             mirror](Connection& c) {
                const auto document = documentOf(c, id);
                // Slot 0 is nobody's: without a slot no path stands for another.
                const auto handed = c.handed.find(id);
                *mirror =
                    handedFolder(c.inputDir, handed == c.handed.end() ? 0 : handed->second.first);
                css::uno::Reference<css::frame::XStorable> storable(document,
                                                                    css::uno::UNO_QUERY_THROW);
                emptyFolder(c.outputDir);
                const QString output = c.outputDir + QLatin1Char('/') + pageName;
                // The filtered page's lists and highlights come from the model.
                std::optional<FilteredPageModel> model;
                if (format == 10)
                    model.emplace(document);
                const PhaseTimer timer(Phase::Save);
                try {
                    storable->storeToURL(
                        fileUrl(output),
                        properties({property("FilterName",
                                             css::uno::Any(rtl::OUString::createFromAscii(filter))),
                                    property("Overwrite", css::uno::Any(true)),
                                    property("DocumentBaseURL", css::uno::Any(baseUrl))}));
                } catch (const css::task::ErrorCodeIOException& e) {
                    throw failure(ErrorNumber::ServerFailure,
                                  QStringLiteral("The web page could not be written: %1 (%2)")
                                      .arg(target, reasonOf(e)));
                } catch (const css::io::IOException& e) {
                    throw failure(ErrorNumber::ServerFailure,
                                  QStringLiteral("The web page could not be written: %1 (%2)")
                                      .arg(target, reasonOf(e)));
                }
                *written = output;
                if (format == 10) {
                    webpage::DocumentFacts read = factsOf(document);
                    if (read.name.isEmpty())
                        read.name = facts->name;
                    // The labels only for a page with lists.
                    QFile page(output);
                    if (page.open(QIODevice::ReadOnly) && page.readAll().contains("<li"))
                        read.listLabels = model->listLabels();
                    *facts = read;
                }
            },
            false);
        const QString output = *written;
        const struct Empty {
            QString folder;
            ~Empty() { emptyFolder(folder); }
        } empty{QFileInfo(output).absolutePath()};
        std::optional<PhaseTimer> rewriting(Phase::Rewrite);
        QStringList warnings;
        if (const QString layout = shared_->layoutWarning(id_); !layout.isEmpty())
            warnings << layout;
        warnings << shared_->plainTextWarning(id_);
        // Both formats start from the office's full page: no picture link of
        // it may leave the page's folder.
        warnings << keepPicturesInFolderOfFile(
            output, PagePlaces{published, QFileInfo(output).absolutePath(), *mirror});
        // The office's page made into what was asked for: its pictures inside
        // it, and the filtered page; in both formats without anything of the
        // document's that could run in a browser.
        QString problem;
        if (*shared_->selfContained)
            problem = webpage::embedPictures(output);
        if (problem.isEmpty() && format == 10)
            problem = webpage::rewriteAsFilteredPage(output, *facts);
        if (problem.isEmpty())
            problem = webpage::removeActiveContentOfFile(output);
        rewriting.reset();
        if (!problem.isEmpty())
            throw failure(
                ErrorNumber::ServerFailure,
                QStringLiteral("The web page could not be written: %1 (%2)").arg(target, problem));
        deliver(QFileInfo(output).absolutePath(), pageName, folder.absoluteFilePath());
        warnings.removeAll(QString());
        return warnings.join(QLatin1Char('\n'));
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
        const int id = shared_->open(path);
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
            return Variant(
                ObjectRef(std::make_shared<WordDocument>(shared_, id, shared_->pathOf(id))));
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
    shared->selfContained = selfContained_;
    shared->layout = layout_;
    shared->publishedFolder = publishedFolder_;
    session_ = session;
    application_ = std::make_shared<WordApplication>(shared);
    return application_;
}

void WordServer::setSelfContainedPages(bool on) {
    *selfContained_ = on;
}

void WordServer::setPublishedFolders(std::function<QString(const QString&)> publishedFolder) {
    std::lock_guard lock(mutex_);
    publishedFolder_ = std::move(publishedFolder);
}

void WordServer::setDocumentLayout(DocumentLayout layout) {
    std::lock_guard lock(mutex_);
    layout_ = layout;
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

ObjectRef WordServerSet::make() {
    auto server = std::make_shared<WordServer>(options_);
    if (publishedFolder_)
        server->setPublishedFolders(publishedFolder_);
    server->setSelfContainedPages(selfContained_);
    {
        std::lock_guard lock(mutex_);
        servers_.push_back(server);
    }
    return server->createObject();
}

void WordServerSet::shutdown() {
    std::vector<std::shared_ptr<WordServer>> servers;
    {
        std::lock_guard lock(mutex_);
        servers.swap(servers_);
    }
    for (const auto& server : servers)
        server->shutdown();
}

std::vector<std::shared_ptr<OfficeSession>> WordServerSet::sessions() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<OfficeSession>> sessions;
    for (const auto& server : servers_)
        if (auto session = server->session())
            sessions.push_back(std::move(session));
    return sessions;
}

std::shared_ptr<WordServer> registerWordServer(OfficeOptions options) {
    auto server = std::make_shared<WordServer>(std::move(options));
    AutomationRuntime::registerServer(serverName, server);
    return server;
}

} // namespace qp::office
