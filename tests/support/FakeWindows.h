#pragma once

#include "core/Controls.h"
#include "platform/CommonDialog.h"
#include "platform/FileList.h"

#include <QStringList>

#include <map>
#include <vector>

namespace qp::test {

// An in-memory document list that keeps rows in the order they were added.
class FakeDocumentList : public DocumentList {
public:
    struct Row {
        QString key;
        QString text;
        QStringList subItems; // index 0 is sub-item 1, the status column
        QString detail;
    };

    void clear() override { rows.clear(); }
    void addRow(const QString& key, const QString& text) override;
    void insertStatus(const QString& key, const QString& text) override;
    void setDetail(const QString& key, const QString& detail) override;
    int rowCount() const override { return int(rows.size()); }
    bool hasRow(const QString& key) const override { return find(key) != nullptr; }
    QString status(const QString& key) const override;

    QString detail(const QString& key) const;
    // The keys of the rows, in order.
    QStringList keys() const;

    std::vector<Row> rows;

private:
    const Row* find(const QString& key) const;
    Row& require(const QString& key);
};

class FakeExtensionList : public ExtensionList {
public:
    QStringList entries{QStringLiteral("doc")};
    int listCount() const override { return int(entries.size()); }
    QString list(int index) const override { return entries.at(index); }
};

class FakeBatchView : public BatchView {
public:
    void clearFound() override { found.clear(); }
    void addFound(const QString& name) override { found << name; }
    void setSourceText(const QString& text) override { sourceText = text; }
    void setTargetText(const QString& text) override { targetText = text; }

    QStringList found;
    QString sourceText;
    QString targetText;
};

// Records every report as one line, e.g. "started a.doc 1/3".
class FakeReporter : public JobReporter {
public:
    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    void jobFinished(int converted, int failed) override;

    // With recording off only the counters move (for very long jobs).
    bool recording = true;
    int documentsStarted = 0;
    QStringList events;
};

// The windows as the pipeline sees them, without any widget.
class FakeWindows : public WindowPort {
public:
    DocumentList& documentList() override { return documents; }
    FileList& fileList() override { return files; }
    CommonDialog& commonDialog() override { return dialog; }
    void hideNextDocument() override { nextHidden = true; }
    void showMainWindow() override { ++mainWindowShown; }
    bool notFilteredSelected() override { return notFiltered; }
    ExtensionList& extensionList() override { return extensions; }
    BatchView& batchView() override { return batch; }
    JobReporter& reporter() override { return reports; }
    void setBusy(bool busy) override {
        this->busy = busy;
        busyChanges.push_back(busy);
    }

    FakeDocumentList documents;
    FileList files;
    CommonDialog dialog;
    FakeExtensionList extensions;
    FakeBatchView batch;
    FakeReporter reports;
    bool nextHidden = false;
    int mainWindowShown = 0;
    bool notFiltered = true;
    bool busy = false;
    std::vector<bool> busyChanges;
};

} // namespace qp::test
