#include "Converters.h"

#include "FileSystem.h"
#include "FolderNames.h"
#include "FolderTree.h"
#include "PageStaging.h"
#include "desktop/CommonDialog.h"
#include "desktop/FileList.h"
#include "engine/Conversion.h"
#include "jobs/Command.h"
#include "jobs/Controls.h"
#include "jobs/JobSettings.h"
#include "jobs/Mediator.h"

#include <algorithm>

namespace qp {

namespace {
const QString converting = QStringLiteral("Converting...");
const QString converted = QStringLiteral("Converted");

// Sets the status of the document's row. "Close" may have emptied the list
// while the document converted: the row is then gone, and the outcome is
// only reported.
void markRow(DocumentList& list, const QString& document, const QString& status) {
    if (list.hasRow(document))
        list.insertStatus(document, status);
}

// Fails the document before the word processor opens it when the file
// system of the page's folder would not take the names that saving the page
// makes: the office writes a lock file ".~lock.PAGE#" beside the page (its
// save fails without it) and names the page's pictures "BASE_html_" with 16
// hex digits and an extension of three letters (it leaves out, without a
// word, a picture whose name is too long). So the page's name, as the office
// saves it in the staging folder, needs that much room below the limit.
void checkPageName(const QString& page) {
    constexpr qsizetype lockRoom = 8;     // ".~lock." and "#"
    constexpr qsizetype pictureRoom = 26; // "_html_", 16 digits, ".png"
    const qsizetype slash = page.lastIndexOf(u'/');
    const QString name = page.mid(slash + 1);
    const QByteArray staged = encodeFileName(portableFileName(name));
    const qsizetype dot = staged.lastIndexOf('.');
    const qsizetype extension = dot > 0 ? staged.size() - dot : 0;
    const qsizetype room = std::max(lockRoom, pictureRoom - extension);
    const qint64 longest = longestFileName(slash > 0 ? page.left(slash) : QStringLiteral("/"));
    const qint64 allowed = longest - room;
    if (std::max(staged.size(), encodeFileName(name).size()) > allowed)
        throw AutomationError(
            ErrorNumber::InvalidArgument,
            QStringLiteral("the page's name would be longer than the file system allows (%1 bytes)")
                .arg(allowed));
}

// Asks the state machine for the next queued document.
void nextDocument(Mediator& mediator) {
    NextDocumentCommand next;
    next.init(mediator);
    static_cast<Command&>(next).Execute();
}

// Moves the page the engine saved through the staging folder into place
// and returns the bytes it took. Raises the failure the engine reported; a
// save that failed on a full file system says so.
qint64 placePage(const engine::ConversionResult& result, PageStaging& staging,
                 const QString& page) {
    if (result.converted)
        return staging.commit(FileSystem().GetFileName(page));
    if (staging.diskFull())
        throw AutomationError(ErrorNumber::DiskFull, QStringLiteral("No space left on the device"));
    throw AutomationError(result.errorNumber, result.errorText, result.errorSource);
}
} // namespace

Converter::Converter(Mediator& mediator) : mediator_(mediator) {
    addMethod(QStringLiteral("init"), {QStringLiteral("fileName")},
              [this](const BoundArguments& args) {
                  init(args.required(0).toText());
                  return Variant();
              });
    addMethod(QStringLiteral("Execute"), {}, [this](const BoundArguments&) {
        Execute();
        return Variant();
    });
}

void Converter::requireWordApp() const {
    if (!mediator_.wordApp())
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: the word processor is not bound"));
}

DocumentList& Converter::addDocumentRow() {
    DocumentList& list = mediator_.windows().documentList();
    list.addRow(fileName_, fileName_);
    return list;
}

void Converter::markConverted(Mediator& mediator, const QString& document, const QString& page,
                              const QString& warnings) {
    // The row's detail names the page the document got, and what the word
    // processor warned of.
    DocumentList& list = mediator.windows().documentList();
    if (list.hasRow(document)) {
        list.insertStatus(document, converted);
        list.setDetail(document, warnings.isEmpty() ? page : page + QLatin1Char('\n') + warnings);
    }
    if (!warnings.isEmpty())
        mediator.windows().reporter().documentWarned(document, warnings);
}

BatchConverter::BatchConverter(Mediator& mediator) : Converter(mediator) {
    addProperty(
        QStringLiteral("PageName"), [this] { return Variant(pageName_); },
        [this](const Variant& value) { pageName_ = value.toText(); });
    addProperty(
        QStringLiteral("TargetFolder"), [this] { return Variant(targetFolder_); },
        [this](const Variant& value) { targetFolder_ = value.toText(); });
}

void BatchConverter::Execute() {
    WindowPort& windows = mediator_.windows();
    const QString document = fileName_;
    DocumentList& list = addDocumentRow();
    markRow(list, document, converting);

    FileSystem fileSystem;
    const QString name = fileSystem.GetFileName(document);
    const QString baseName = fileSystem.GetFileBaseName(document, false);
    const QString targetFolder =
        targetFolder_.isEmpty() ? mediator_.GetTargetFolder() : targetFolder_;
    // The document's own folder: the source folder, one of its subfolders or,
    // for documents chosen one by one, wherever each lies.
    QString sourceFolder = fileSystem.GetPath(document);
    if (sourceFolder.size() > 1)
        sourceFolder.chop(1);
    // A subfolder of the target is made for its first page; one that cannot
    // be made fails the document below, with the reason.
    if (!targetFolder_.isEmpty())
        makeFolders(targetFolder);
    // One separator between folder and name, also for a folder that already
    // ends with one: a page path starting with "//" would name a network host.
    const QString pageName = pageName_.isEmpty() ? baseName + QStringLiteral(".htm") : pageName_;
    const QString page = joinPath(targetFolder, pageName);
    checkPageName(page);
    requireWordApp();

    auto staging = std::make_shared<PageStaging>(targetFolder);
    engine::ConversionRequest request;
    // A name that is not valid UTF-8 cannot be handed to the word processor:
    // it opens a link with a plain name in the staging folder instead.
    if (hasRawBytes(document)) {
        request.document = staging->linkDocument(document);
        request.openFolder = staging->folder();
    } else {
        request.document = name;
        request.openFolder = sourceFolder;
    }
    request.page = staging->stagedPage(fileSystem.GetFileName(page));
    request.format = windows.settings().pageFormat();
    // When the result arrives: the page moves into place, the row shows it
    // and the next document is asked for.
    auto finish = [&mediator = mediator_, document, page,
                   staging](const engine::ConversionResult& result) {
        const qint64 bytes = placePage(result, *staging, page);
        WindowPort& port = mediator.windows();
        markConverted(mediator, document, page, result.warnings);
        port.reporter().documentSaved(document, bytes);
        port.reporter().documentConverted(document, page);
        port.showMainWindow();
        nextDocument(mediator);
    };
    mediator_.convert(request, std::move(finish));
}

void SingleDocumentConverter::Execute() {
    WindowPort& windows = mediator_.windows();
    const QString document = fileName_;
    DocumentList& list = addDocumentRow();
    list.insertStatus(document, converting);

    FileSystem fileSystem;
    const QString baseName = fileSystem.GetFileBaseName(document, false);
    const QString proposal = mediator_.GetTargetFolder() + baseName + QStringLiteral(".htm");

    // A cancel raises DialogCancelled here.
    CommonDialog& dialog = windows.commonDialog();
    dialog.FileName = proposal;
    dialog.CancelError = true;
    dialog.Filter = QStringLiteral("*.htm");
    dialog.Flags = 4096;
    dialog.ShowSave();
    // An empty choice saves nothing; it counts as a cancel, so that the row
    // does not stay at "Converting..." and no further document is asked for.
    if (dialog.FileName.isEmpty())
        throw AutomationError(ErrorNumber::DialogCancelled,
                              QStringLiteral("No file name was chosen for the web page."),
                              QStringLiteral("CommonDialog"));
    QString page = dialog.FileName;
    // A name typed without an extension gets the page's own.
    if (fileSystem.GetFileName(page).lastIndexOf(u'.') <= 0)
        page += QStringLiteral(".htm");

    checkPageName(page);
    requireWordApp();
    auto staging = std::make_shared<PageStaging>(fileSystem.GetPath(page));
    engine::ConversionRequest request;
    request.document = hasRawBytes(document)
                           ? joinPath(staging->folder(), staging->linkDocument(document))
                           : document;
    request.page = staging->stagedPage(fileSystem.GetFileName(page));
    request.format = windows.settings().pageFormat();
    auto finish = [&mediator = mediator_, document, page,
                   staging](const engine::ConversionResult& result) {
        placePage(result, *staging, page);
        WindowPort& port = mediator.windows();
        port.showMainWindow();
        markConverted(mediator, document, page, result.warnings);
        port.reporter().documentConverted(document, page);
        nextDocument(mediator);
    };
    mediator_.convert(request, std::move(finish));
}

} // namespace qp
