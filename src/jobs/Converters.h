#pragma once

#include <functional>

#include "automation/AutomationObject.h"

namespace qp {

class DocumentList;
class Mediator;
class PageStaging;

// What both converters share: the automation members "init" (the document's
// full path) and "Execute", and the calls on the word processor.
class Converter : public DispatchObject {
public:
    void init(const QString& fileName) { fileName_ = fileName; }
    virtual void Execute() = 0;
    QString fileName() const { return fileName_; }

protected:
    explicit Converter(Mediator& mediator);

    // The word processor the Mediator bound; ObjectNotSet when there is none.
    ObjectRef wordApp() const;
    // Adds the document's row to the document list, which it returns.
    DocumentList& addDocumentRow();
    static void open(const ObjectRef& word, const QString& fileName);
    static void showWordProcessor(const ObjectRef& word);
    // Returns the word processor's warnings about the page, one a line
    // (pictures it could not place beside the page), empty when none.
    static QString saveAs(const ObjectRef& word, const QString& page, bool notFiltered);
    static void closeActiveWindow(const ObjectRef& word);
    // After a failure: closes the document this converter opened, if any, so
    // that it does not stay open in the word processor. Never raises.
    static void closeQuietly(const ObjectRef& word);
    // Shows the word processor, runs save on the open document and closes
    // its window, dropping the reference; a failure after the open closes the
    // document before it passes on.
    static void saveAndClose(ObjectRef& word, const std::function<void()>& save);
    // Marks the document's row "Converted" (when Close has not removed it)
    // with the page it got and the word processor's warnings as its detail,
    // and tells the reporter of the warnings.
    void markConverted(DocumentList& list, const QString& document, const QString& page,
                       const QString& warnings);
    // saveAndClose through the staging folder: save is given the path to
    // save to; afterwards the page and its pictures are moved to page. A
    // save that failed on a full file system says so. Returns the bytes
    // written.
    static qint64 saveStaged(ObjectRef& word, PageStaging& staging, const QString& page,
                             const std::function<void(const QString&)>& save);

    Mediator& mediator_;
    QString fileName_;
};

// The batch converter: writes the page into the job's target folder under
// the document's base name, without asking. The member "PageName" takes the
// page's file name when the job has chosen another one, so that two
// documents of one job never write the same page.
class BatchConverter : public Converter {
public:
    explicit BatchConverter(Mediator& mediator);
    QString className() const override { return QStringLiteral("DecObj"); }
    void Execute() override;

private:
    QString pageName_;
};

// The single-document converter: proposes the page's path in a save dialog
// and writes the page where the user chose.
class SingleDocumentConverter : public Converter {
public:
    explicit SingleDocumentConverter(Mediator& mediator) : Converter(mediator) {}
    QString className() const override { return QStringLiteral("DecObj2"); }
    void Execute() override;
};

} // namespace qp
