#include "BatchState.h"

#include "ExtensionFilter.h"
#include "automation/AutomationError.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/FileSystem.h"
#include "jobs/FolderTree.h"
#include "jobs/JobSettings.h"
#include "jobs/Mediator.h"

#include <QSet>

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace qp {

namespace {

// The page names one job has given out, compared as the file system of the
// target folder compares names.
class PageNames {
public:
    explicit PageNames(const FolderNames& folder) : folder_(folder) {}
    // The first free name of "base.htm", "base (2).htm", "base (3).htm", ...
    QString claim(const QString& base) {
        QString name = base + QStringLiteral(".htm");
        for (int n = 2; taken_.contains(folder_.key(name)); ++n)
            name = QStringLiteral("%1 (%2).htm").arg(base).arg(n);
        taken_.insert(folder_.key(name));
        return name;
    }

private:
    FolderNames folder_;
    QSet<QString> taken_;
};

} // namespace

void BatchState::startJob(const QString&) {
    WindowPort& windows = mediator().windows();
    const Run run(*this);
    ExtensionFilter chain = openJob();

    FileSystem fileSystem;
    FileList& files = windows.fileList();
    const QStringList chosen = mediator().GetSourceDocuments();
    const QString folder = mediator().GetSourceFolder();
    const QString targetRoot = mediator().GetTargetFolder();
    const bool tree = chosen.isEmpty() && windows.settings().includeSubfolders();
    if (chosen.isEmpty())
        files.setPath(folder);

    // The target folder is examined before the first document: its file
    // system decides which page names are the same, and a folder that cannot
    // be written is said once, not by every document. That is said only
    // when the source holds documents.
    FolderNames target;
    std::optional<AutomationError> unwritable;
    try {
        target = mediator().examineTarget(targetRoot);
    } catch (const AutomationError& error) {
        unwritable = error;
    }

    int acceptedIndex = 0;
    // The names given out, for each folder that gets pages.
    std::map<QString, PageNames> pages;
    QMap<QString, int> others;
    // Queues the entry when it is a document (or was chosen as one); every
    // document of the listing claims its page, also those that another slice
    // converts. A chosen file of another type fails, saying why.
    auto take = [&](const QString& fullPath, const QString& pageFolder, const QString& problem,
                    bool wasChosen) {
        QString extension = fileSystem.GetFileExtension(fullPath).toLower();
        const bool document = chain.accepts(extension);
        QString pageName;
        if (document)
            pageName = pages.try_emplace(pageFolder, target)
                           .first->second.claim(fileSystem.GetFileBaseName(fullPath, false));
        else if (!wasChosen)
            return void(++others[extension]);
        if (!windows.takesDocument(acceptedIndex++))
            return;
        auto item = std::make_shared<BatchWorkItem>(mediator().converters());
        item->init(fullPath);
        item->setPageName(pageName);
        if (pageFolder != targetRoot)
            item->setTargetFolder(pageFolder);
        item->setRefusal(document
                             ? problem
                             : QStringLiteral("%1 is not one of the listed document types (%2)")
                                   .arg(fileSystem.GetFileName(fullPath),
                                        listedExtensions(windows.extensionList())));
        queue(item);
    };
    // The documents of one listed folder, their pages into pageFolder.
    auto takeListed = [&](FileList& listed, const QString& pageFolder) {
        for (int i = 0; i < listed.listCount(); ++i) {
            try {
                listed.setListIndex(i);
                take(joinPath(listed.path(), listed.fileName()), pageFolder, listed.fileProblem(),
                     false);
            } catch (...) {
                // A file that cannot be examined or queued is skipped.
            }
        }
    };

    if (!chosen.isEmpty()) {
        for (const QString& document : chosen)
            take(document, targetRoot, QString(), true);
    } else {
        takeListed(files, targetRoot);
    }
    if (tree) {
        // The subfolders, each listed as the source folder is, links kept
        // inside the tree; their pages go to the same place below the target.
        FileList listed;
        listed.setLinkScope(folder, false);
        FolderWalk walk(folder, targetRoot);
        walk.next(); // the source folder itself, listed above
        for (QString sub = walk.next(); !sub.isEmpty(); sub = walk.next()) {
            try {
                listed.setPath(sub);
            } catch (const AutomationError& error) {
                // Its documents are unknown: the folder fails in their place,
                // with the reason, rather than vanish from the job.
                auto item = std::make_shared<BatchWorkItem>(mediator().converters());
                item->init(sub);
                item->setRefusal(error.description());
                queue(item);
                ++acceptedIndex;
                continue;
            }
            takeListed(listed, targetFolderOf(sub, folder, targetRoot));
        }
    }
    if (acceptedIndex == 0)
        throw AutomationError(ErrorNumber::NoDocuments,
                              tree ? noDocumentsInTreeText(folder, windows.extensionList())
                                   : noDocumentsText(folder, windows.extensionList(), others),
                              QStringLiteral("State2"));
    if (unwritable)
        throw *unwritable;
    if (const auto before = windows.conversionOrder())
        workQueue_->arrange([&](const WorkQueue::Element& a, const WorkQueue::Element& b) {
            return before(*a, *b);
        });
    runJob();
}

QString BatchState::findNoDocuments(const QString& folder, ExtensionList& extensions,
                                    bool subfolders) {
    FileList files;
    files.setPath(folder);
    ExtensionFilter chain(extensions);
    FileSystem fileSystem;
    QMap<QString, int> others;
    FolderWalk walk(folder, QString());
    for (QString next = subfolders ? walk.next() : folder; !next.isEmpty();
         next = subfolders ? walk.next() : QString()) {
        try {
            if (next != folder)
                files.setPath(next);
        } catch (const AutomationError&) {
            return QString(); // its documents are unknown: the job says so
        }
        for (int i = 0; i < files.listCount(); ++i) {
            files.setListIndex(i);
            QString extension = fileSystem.GetFileExtension(files.fileName()).toLower();
            if (chain.accepts(extension))
                return QString();
            ++others[extension];
        }
    }
    return subfolders ? noDocumentsInTreeText(folder, extensions)
                      : noDocumentsText(folder, extensions, others);
}

QString BatchState::noDocumentsInTreeText(const QString& folder, ExtensionList& extensions) {
    return QStringLiteral("No documents with the listed extensions (%1) in %2 or its subfolders")
        .arg(listedExtensions(extensions), folder);
}

QList<std::pair<QString, QString>> BatchState::documentPages(const QString& folder,
                                                             ExtensionList& extensions) {
    FileList files;
    files.setPath(folder);
    ExtensionFilter chain(extensions);
    FileSystem fileSystem;
    PageNames pages{FolderNames{}}; // the report's check compares ignoring case itself
    QList<std::pair<QString, QString>> documents;
    for (int i = 0; i < files.listCount(); ++i) {
        files.setListIndex(i);
        const QString fullPath = joinPath(files.path(), files.fileName());
        QString extension = fileSystem.GetFileExtension(fullPath).toLower();
        if (chain.accepts(extension))
            documents.append({fullPath, pages.claim(fileSystem.GetFileBaseName(fullPath, false))});
    }
    return documents;
}

QString BatchState::noDocumentsText(const QString& folder, ExtensionList& extensions,
                                    const QMap<QString, int>& others) {
    QString text = QStringLiteral("No documents with the listed extensions (%1) in %2; ")
                       .arg(listedExtensions(extensions), folder);
    int total = 0;
    std::vector<std::pair<QString, int>> counts;
    for (auto it = others.begin(); it != others.end(); ++it) {
        total += it.value();
        counts.emplace_back(it.key() == QLatin1String("unknown") ? QStringLiteral("no extension")
                                                                 : it.key(),
                            it.value());
    }
    if (total == 0)
        return text + QStringLiteral("no other files");
    // The most frequent first.
    std::stable_sort(counts.begin(), counts.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    QStringList parts;
    for (const auto& [extension, number] : counts)
        parts << QStringLiteral("%1: %2").arg(extension).arg(number);
    return text + QStringLiteral("%1 other %2 (%3)")
                      .arg(total)
                      .arg(total == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                      .arg(parts.join(QStringLiteral(", ")));
}

} // namespace qp
