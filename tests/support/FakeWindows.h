#pragma once

#include "automation/AutomationError.h"
#include "desktop/CommonDialog.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/JobSettings.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

namespace qp::test {

// An in-memory document list that keeps rows in the order they were added.
class FakeDocumentList : public DocumentList {
public:
    void clear() override { keys_.clear(), statuses_.clear(), details_.clear(); }
    void addRow(const QString& key, const QString&) override {
        if (hasRow(key))
            throw AutomationError(ErrorNumber::KeyNotUnique, QStringLiteral("Key is not unique"));
        keys_ << key;
    }
    void insertStatus(const QString& key, const QString& text) override {
        statuses_[require(key)] = text;
    }
    void setDetail(const QString& key, const QString& detail) override {
        details_[require(key)] = detail;
    }
    int rowCount() const override { return int(keys_.size()); }
    bool hasRow(const QString& key) const override { return keys_.contains(key); }
    QString status(const QString& key) const override { return statuses_.value(key); }
    QString detail(const QString& key) const { return details_.value(key); }
    QStringList keys() const { return keys_; }

private:
    const QString& require(const QString& key) const {
        if (!hasRow(key))
            throw AutomationError(ErrorNumber::InvalidArgument,
                                  QStringLiteral("Element not found"));
        return key;
    }
    QStringList keys_;
    QHash<QString, QString> statuses_, details_;
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
    bool takesDocument(int acceptedIndex) override { return acceptedIndex % sliceCount == 0; }
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
    int sliceCount = 1; // this run converts the first of that many slices of a shared folder
    std::function<bool(const WorkItem&)> converts;               // unset: every queued item
    std::function<bool(const WorkItem&, const WorkItem&)> order; // unset: the listing's

private:
    void clearFound() override {}
    void addFound(const QString&) override {}
};

} // namespace qp::test
