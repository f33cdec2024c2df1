#pragma once

#include "automation/AutomationObject.h"

namespace qp {

class DocumentList;
class Mediator;

// What both converters share: the automation members "init" (the document's
// full path) and "Execute". Execute prepares the document's page and hands
// the document to the conversion engine; the page is moved into place and
// the next document asked for when the engine's result arrives.
class Converter : public DispatchObject {
public:
    void init(const QString& fileName) { fileName_ = fileName; }
    virtual void Execute() = 0;
    QString fileName() const { return fileName_; }

protected:
    explicit Converter(Mediator& mediator);

    // Raises ObjectNotSet when the Mediator has bound no word processor.
    void requireWordApp() const;
    // Adds the document's row to the document list, which it returns.
    DocumentList& addDocumentRow();
    // Marks the document's row "Converted" (when Close has not removed it)
    // with the page it got and the word processor's warnings as its detail,
    // and tells the reporter of the warnings.
    static void markConverted(Mediator& mediator, const QString& document, const QString& page,
                              const QString& warnings);

    Mediator& mediator_;
    QString fileName_;
};

// The batch converter: writes the page into the job's target folder under
// the document's base name, without asking. The member "PageName" takes the
// page's file name when the job has chosen another one, so that two
// documents of one job never write the same page; "TargetFolder" the folder
// of the page when the job has chosen another than its target folder (a
// subfolder of it, made when missing).
class BatchConverter : public Converter {
public:
    explicit BatchConverter(Mediator& mediator);
    QString className() const override { return QStringLiteral("DecObj"); }
    void Execute() override;

private:
    QString pageName_;
    QString targetFolder_;
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
