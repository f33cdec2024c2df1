#include "BatchState.h"

#include "ExtensionFilter.h"
#include "automation/AutomationError.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/FileSystem.h"
#include "jobs/Mediator.h"

#include <QSet>

#include <algorithm>
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
    const QString folder = mediator().GetSourceFolder();
    files.setPath(folder);

    // The target folder is examined before the first document: its file
    // system decides which page names are the same, and a folder that cannot
    // be written is said once, not by every document. That is said only
    // when the source holds documents.
    FolderNames target;
    std::optional<AutomationError> unwritable;
    try {
        target = mediator().examineTarget(mediator().GetTargetFolder());
    } catch (const AutomationError& error) {
        unwritable = error;
    }

    const int count = files.listCount();
    int acceptedIndex = 0;
    PageNames pages(target);
    QMap<QString, int> others;
    for (int i = 0; i < count; ++i) {
        try {
            files.setListIndex(i);
            const QString fullPath = joinPath(files.path(), files.fileName());
            QString extension = fileSystem.GetFileExtension(fullPath).toLower();
            const bool document = chain.accepts(extension);
            // Every document of the listing claims its page, also those that
            // another slice converts.
            QString pageName;
            if (document)
                pageName = pages.claim(fileSystem.GetFileBaseName(fullPath, false));
            else
                ++others[extension];
            const bool accepted = document && windows.takesDocument(acceptedIndex++);
            if (accepted) {
                auto item = std::make_shared<BatchWorkItem>(mediator().converters());
                item->init(fullPath);
                item->setPageName(pageName);
                item->setRefusal(files.fileProblem());
                queue(item);
            }
        } catch (...) {
            // A file that cannot be examined or queued is skipped.
        }
    }
    if (acceptedIndex == 0)
        throw AutomationError(ErrorNumber::NoDocuments,
                              noDocumentsText(folder, windows.extensionList(), others),
                              QStringLiteral("State2"));
    if (unwritable)
        throw *unwritable;
    if (const auto before = windows.conversionOrder())
        workQueue_->arrange([&](const WorkQueue::Element& a, const WorkQueue::Element& b) {
            return before(*a, *b);
        });
    runJob();
}

QString BatchState::findNoDocuments(const QString& folder, ExtensionList& extensions) {
    FileList files;
    files.setPath(folder);
    ExtensionFilter chain(extensions);
    FileSystem fileSystem;
    QMap<QString, int> others;
    for (int i = 0; i < files.listCount(); ++i) {
        files.setListIndex(i);
        QString extension = fileSystem.GetFileExtension(files.fileName()).toLower();
        if (chain.accepts(extension))
            return QString();
        ++others[extension];
    }
    return noDocumentsText(folder, extensions, others);
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
