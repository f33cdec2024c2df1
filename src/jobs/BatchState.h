#pragma once

#include "JobState.h"

#include <QList>
#include <QMap>

#include <utility>

namespace qp {

class ExtensionList;

// The batch state: converts every accepted file of the source folder, oldest
// first. A document that fails is marked and the batch goes on.
class BatchState : public JobState {
public:
    BatchState() : JobState(OnFailure::GoOn) {}
    // The batch run. The text is not used: the documents are the Mediator's
    // source documents when it has any (a chosen file of a type not listed
    // fails, saying so), else those of its source folder and, when the
    // settings include subfolders, of every folder below it (as FolderWalk
    // walks them), each page into the same place below the target folder; a
    // subfolder that cannot be listed fails with its reason. When the source
    // folder cannot be listed, the AutomationError (PathNotFound) passes to
    // the caller and nothing is converted; when it holds no document of the
    // listed types, an AutomationError NoDocuments says what it holds
    // instead.
    //
    // Each document's page is named from the whole listing, in its order,
    // before the run takes its slice of it, for each folder of pages apart:
    // the first document keeps "base.htm", a later one whose page is already
    // taken in this job gets the first free "base (2).htm", "base (3).htm",
    // ... So a document gets
    // the same page in every run and every slice of the same folder. Names
    // are compared as the file system of the target folder compares them
    // (ignoring case on some). A target folder in which no file can be
    // created raises its AutomationError before the first document, once the
    // listing has found documents.
    //
    // An entry named like a document that cannot be converted (FileList
    // says why: a FIFO, a device, a link leading out of the folder) is
    // queued all the same and fails with that reason, without being opened.
    void startJob(const QString& text) override;

    // "No documents with the listed extensions (doc) in FOLDER; 12 other
    // files (docx: 12)" when the folder holds no document (with subfolders:
    // "... in FOLDER or its subfolders" when none of them does), else empty.
    // Raises PathNotFound when the folder cannot be listed.
    static QString findNoDocuments(const QString& folder, ExtensionList& extensions,
                                   bool subfolders = false);
    static QString noDocumentsInTreeText(const QString& folder, ExtensionList& extensions);
    // The documents of the folder (full paths, in the order of the listing)
    // with the page name that a job over the folder gives each. Raises as
    // FileList does when the folder cannot be listed.
    static QList<std::pair<QString, QString>> documentPages(const QString& folder,
                                                            ExtensionList& extensions);
    // That text, from the extensions of the other files and their counts.
    static QString noDocumentsText(const QString& folder, ExtensionList& extensions,
                                   const QMap<QString, int>& others);
};

} // namespace qp
