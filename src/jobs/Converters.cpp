#include "Converters.h"

#include "FileSystem.h"
#include "FolderNames.h"
#include "PageStaging.h"
#include "desktop/CommonDialog.h"
#include "desktop/FileList.h"
#include "jobs/Command.h"
#include "jobs/Controls.h"
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

ObjectRef Converter::wordApp() const {
    ObjectRef word = mediator_.wordApp();
    if (!word)
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: the word processor is not bound"));
    return word;
}

DocumentList& Converter::addDocumentRow() {
    DocumentList& list = mediator_.windows().documentList();
    list.addRow(fileName_, fileName_);
    return list;
}

void Converter::open(const ObjectRef& word, const QString& fileName) {
    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), fileName}});
}

void Converter::showWordProcessor(const ObjectRef& word) {
    word->object(QStringLiteral("application"))->set(QStringLiteral("Visible"), true);
}

QString Converter::saveAs(const ObjectRef& word, const QString& page, bool notFiltered) {
    const std::int16_t format = notFiltered ? 8 : 10;
    const Variant result =
        word->object(QStringLiteral("ActiveDocument"))
            ->call(QStringLiteral("SaveAs"), {{QStringLiteral("FileName"), page},
                                              {QStringLiteral("FileFormat"), format},
                                              {QStringLiteral("LockComments"), false},
                                              {QStringLiteral("Password"), QString()},
                                              {QStringLiteral("AddToRecentFiles"), false}});
    // A word processor that has nothing to say returns nothing (or, like
    // Word, not a text).
    return result.type() == Variant::Type::Text ? result.toText() : QString();
}

void Converter::markConverted(DocumentList& list, const QString& document, const QString& page,
                              const QString& warnings) {
    // The row's detail names the page the document got, and what the word
    // processor warned of.
    if (list.hasRow(document)) {
        list.insertStatus(document, converted);
        list.setDetail(document, warnings.isEmpty() ? page : page + QLatin1Char('\n') + warnings);
    }
    if (!warnings.isEmpty())
        mediator_.windows().reporter().documentWarned(document, warnings);
}

void Converter::closeActiveWindow(const ObjectRef& word) {
    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
}

void Converter::saveAndClose(ObjectRef& word, const std::function<void()>& save) {
    try {
        showWordProcessor(word);
        yieldUi(6);
        save();
        yieldUi(3);
    } catch (...) {
        closeQuietly(word);
        throw;
    }
    closeActiveWindow(word);
    word.reset();
    yieldUi(6);
}

qint64 Converter::saveStaged(ObjectRef& word, PageStaging& staging, const QString& page,
                             const std::function<void(const QString&)>& save) {
    FileSystem fileSystem;
    const QString pageName = fileSystem.GetFileName(page);
    try {
        saveAndClose(word, [&] { save(staging.stagedPage(pageName)); });
    } catch (const AutomationError&) {
        if (staging.diskFull())
            throw AutomationError(ErrorNumber::DiskFull,
                                  QStringLiteral("No space left on the device"));
        throw;
    }
    return staging.commit(pageName);
}

void Converter::closeQuietly(const ObjectRef& word) {
    try {
        closeActiveWindow(word);
    } catch (...) {
    }
}

BatchConverter::BatchConverter(Mediator& mediator) : Converter(mediator) {
    addProperty(
        QStringLiteral("PageName"), [this] { return Variant(pageName_); },
        [this](const Variant& value) { pageName_ = value.toText(); });
}

void BatchConverter::Execute() {
    WindowPort& windows = mediator_.windows();
    const QString document = fileName_;
    DocumentList& list = addDocumentRow();
    yieldUi(3);
    markRow(list, document, converting);
    yieldUi(4);

    FileSystem fileSystem;
    const QString name = fileSystem.GetFileName(document);
    yieldUi(3);
    const QString baseName = fileSystem.GetFileBaseName(document, false);
    const QString targetFolder = mediator_.GetTargetFolder();
    const QString sourceFolder = mediator_.GetSourceFolder();
    yieldUi(3);
    // One separator between folder and name, also for a folder that already
    // ends with one: a page path starting with "//" would name a network host.
    const QString page =
        joinPath(targetFolder, pageName_.isEmpty() ? baseName + QStringLiteral(".htm") : pageName_);
    yieldUi(3);
    checkPageName(page);

    ObjectRef word = wordApp();
    PageStaging staging(targetFolder);
    // A name that is not valid UTF-8 cannot be handed to the word processor:
    // it opens a link with a plain name in the staging folder instead.
    if (hasRawBytes(document)) {
        const QString link = staging.linkDocument(document);
        word->call(QStringLiteral("ChangeFileOpenDirectory"), {{QString(), staging.folder()}});
        open(word, link);
    } else {
        word->call(QStringLiteral("ChangeFileOpenDirectory"), {{QString(), sourceFolder}});
        open(word, name);
    }
    QString warnings;
    const qint64 bytes = saveStaged(word, staging, page, [&](const QString& staged) {
        warnings = saveAs(word, staged, windows.notFilteredSelected());
    });

    markConverted(list, document, page, warnings);
    windows.reporter().documentSaved(document, bytes);
    windows.reporter().documentConverted(document, page);
    windows.showMainWindow();
    yieldUi(3);
    nextDocument(mediator_);
    yieldUi(3);
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

    yieldUi(3);
    checkPageName(page);
    ObjectRef word = wordApp();
    PageStaging staging(fileSystem.GetPath(page));
    open(word, hasRawBytes(document) ? joinPath(staging.folder(), staging.linkDocument(document))
                                     : document);
    QString warnings;
    saveStaged(word, staging, page, [&](const QString& staged) {
        if (windows.notFilteredSelected()) {
            yieldUi(1);
            warnings = saveAs(word, staged, true);
            yieldUi(3);
        } else {
            warnings = saveAs(word, staged, false);
        }
    });

    windows.showMainWindow();
    yieldUi(3);
    markConverted(list, document, page, warnings);
    windows.reporter().documentConverted(document, page);
    yieldUi(3);
    nextDocument(mediator_);
    yieldUi(3);
}

} // namespace qp
