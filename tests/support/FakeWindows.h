#pragma once

#include "automation/AutomationError.h"
#include "desktop/CommonDialog.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/JobSettings.h"

#include <QStringList>

#include <functional>
#include <vector>

namespace qp::test {

// An in-memory document list that keeps rows in the order they were added.
class FakeDocumentList : public DocumentList {
public:
    struct Row {
        QString key;
        QStringList statuses; // the newest first, as sub-item 1 shows it
        QString detail;
    };

    void clear() override { rows.clear(); }
    void addRow(const QString& key, const QString&) override {
        if (hasRow(key))
            throw AutomationError(ErrorNumber::KeyNotUnique, QStringLiteral("Key is not unique"));
        rows.push_back(Row{key, {}, {}});
    }
    void insertStatus(const QString& key, const QString& text) override {
        require(key).statuses.prepend(text);
    }
    void setDetail(const QString& key, const QString& detail) override {
        require(key).detail = detail;
    }
    int rowCount() const override { return int(rows.size()); }
    bool hasRow(const QString& key) const override { return find(key); }
    QString status(const QString& key) const override {
        return find(key) ? find(key)->statuses.value(0) : QString();
    }
    QString detail(const QString& key) const { return find(key) ? find(key)->detail : QString(); }
    QStringList keys() const {
        QStringList result;
        for (const Row& row : rows)
            result << row.key;
        return result;
    }

    std::vector<Row> rows;

private:
    const Row* find(const QString& key) const {
        for (const Row& row : rows)
            if (row.key == key)
                return &row;
        return nullptr;
    }
    Row& require(const QString& key) {
        if (const Row* row = find(key))
            return const_cast<Row&>(*row);
        throw AutomationError(ErrorNumber::InvalidArgument, QStringLiteral("Element not found"));
    }
};

// Records every report as one line, e.g. "started a.doc 1/3".
class FakeReporter : public JobReporter {
public:
    void jobStarted(int total) override { events << QStringLiteral("job %1").arg(total); }
    void documentStarted(const QString& source, int index, int total) override {
        events << QStringLiteral("started %1 %2/%3").arg(source).arg(index).arg(total);
    }
    void documentWarned(const QString& source, const QString& warnings) override {
        events << QStringLiteral("warned %1: %2").arg(source, warnings);
    }
    void documentConverted(const QString& source, const QString& page) override {
        events << QStringLiteral("converted %1 -> %2").arg(source, page);
    }
    void documentFailed(const QString& source, const QString& reason) override {
        events << QStringLiteral("failed %1: %2").arg(source, reason);
    }
    void documentCancelled(const QString& source) override {
        events << QStringLiteral("cancelled %1").arg(source);
    }
    void jobFinished(const JobSummary& summary) override {
        events << QStringLiteral("finished ") + summary.text();
    }

    QStringList events;
};

// The windows as the pipeline sees them, without any widget; their settings
// hold "doc" and the full page format unless a test says otherwise. Their file dialog and the
// Mediator a test builds over them ask unattended dialogs.
class FakeWindows : public WindowPort, private BatchView {
public:
    DocumentList& documentList() override { return documents; }
    FileList& fileList() override { return files; }
    CommonDialog& commonDialog() override { return dialog; }
    void hideNextDocument() override {}
    void showMainWindow() override { ++mainWindowShown; }
    JobSettings& settings() override { return jobSettings; }
    BatchView& batchView() override { return *this; }
    JobReporter& reporter() override { return reports; }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void showStatus(const QString&) override {}
    bool takesDocument(int acceptedIndex) override {
        return acceptedIndex % sliceCount == sliceIndex - 1;
    }
    bool convertsNext(const WorkItem& item) override { return !converts || converts(item); }
    std::function<bool(const WorkItem&, const WorkItem&)> conversionOrder() override {
        return order;
    }

    UnattendedDialogs dialogs;
    FakeDocumentList documents;
    FileList files;
    CommonDialog dialog{dialogs};
    FakeReporter reports;
    int mainWindowShown = 0;
    std::vector<bool> busyChanges;
    JobSettings jobSettings;
    int sliceIndex = 1; // the slice of a shared folder this run converts (1-based)
    int sliceCount = 1;
    std::function<bool(const WorkItem&)> converts;               // unset: every queued item
    std::function<bool(const WorkItem&, const WorkItem&)> order; // unset: the listing's

private:
    void clearFound() override {}
    void addFound(const QString&) override {}
};

} // namespace qp::test
