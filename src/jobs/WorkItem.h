#pragma once

#include <QString>

namespace qp {

class ConverterFactory;

// A work item: one document's full path, converted when executed.
class WorkItem {
public:
    virtual ~WorkItem() = default;
    // Remembers the document's full path.
    virtual void init(const QString& fileName) = 0;
    // Converts the document through a converter wrapped in a decorator.
    virtual void Execute() = 0;
    // The path given to init.
    virtual QString fileName() const = 0;
};

// What both work items hold: the document's path, and where their converter
// comes from.
class DocumentWorkItem : public WorkItem {
public:
    explicit DocumentWorkItem(const ConverterFactory& converters) : converters_(converters) {}
    void init(const QString& fileName) override { fileName_ = fileName; }
    QString fileName() const override { return fileName_; }

protected:
    const ConverterFactory& converters_;
    QString fileName_;
};

// The batch work item: converts with the batch converter (BatchConverter), into the
// page name that the job chose for the document (empty: the converter's own)
// and the folder it chose for the page (empty: the job's target folder).
// A document that the listing found cannot be converted (a FIFO, a link
// leading out of the folder) carries the reason instead: it fails with it,
// and is never handed to a converter.
class BatchWorkItem : public DocumentWorkItem {
public:
    using DocumentWorkItem::DocumentWorkItem;
    void Execute() override;
    void setPageName(const QString& pageName) { pageName_ = pageName; }
    QString pageName() const { return pageName_; }
    void setTargetFolder(const QString& folder) { targetFolder_ = folder; }
    QString targetFolder() const { return targetFolder_; }
    void setRefusal(const QString& reason) { refusal_ = reason; }
    QString refusal() const { return refusal_; }

private:
    QString pageName_;
    QString targetFolder_;
    QString refusal_;
};

// The single-document work item: converts with the single converter (SingleDocumentConverter).
class SingleDocumentWorkItem : public DocumentWorkItem {
public:
    using DocumentWorkItem::DocumentWorkItem;
    void Execute() override;
};

} // namespace qp
