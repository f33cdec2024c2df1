#include "FakeWindows.h"

#include "platform/automation/AutomationError.h"

namespace qp::test {

void FakeDocumentList::addRow(const QString& key, const QString& text) {
    if (hasRow(key))
        throw AutomationError(ErrorNumber::KeyNotUnique,
                              QStringLiteral("Key is not unique in collection: %1").arg(key));
    rows.push_back(Row{key, text, {}, {}});
}

void FakeDocumentList::insertStatus(const QString& key, const QString& text) {
    require(key).subItems.prepend(text);
}

void FakeDocumentList::setDetail(const QString& key, const QString& detail) {
    require(key).detail = detail;
}

QString FakeDocumentList::status(const QString& key) const {
    const Row* row = find(key);
    return row && !row->subItems.isEmpty() ? row->subItems.front() : QString();
}

QString FakeDocumentList::detail(const QString& key) const {
    const Row* row = find(key);
    return row ? row->detail : QString();
}

QStringList FakeDocumentList::keys() const {
    QStringList result;
    for (const Row& row : rows)
        result << row.key;
    return result;
}

const FakeDocumentList::Row* FakeDocumentList::find(const QString& key) const {
    for (const Row& row : rows)
        if (row.key == key)
            return &row;
    return nullptr;
}

FakeDocumentList::Row& FakeDocumentList::require(const QString& key) {
    for (Row& row : rows)
        if (row.key == key)
            return row;
    throw AutomationError(ErrorNumber::InvalidArgument,
                          QStringLiteral("Element not found: %1").arg(key));
}

void FakeReporter::jobStarted(int total) {
    events << QStringLiteral("job %1").arg(total);
}

void FakeReporter::documentStarted(const QString& source, int index, int total) {
    ++documentsStarted;
    if (recording)
        events << QStringLiteral("started %1 %2/%3").arg(source).arg(index).arg(total);
}

void FakeReporter::documentConverted(const QString& source, const QString& page) {
    if (recording)
        events << QStringLiteral("converted %1 -> %2").arg(source, page);
}

void FakeReporter::documentFailed(const QString& source, const QString& reason) {
    events << QStringLiteral("failed %1: %2").arg(source, reason);
}

void FakeReporter::documentCancelled(const QString& source) {
    events << QStringLiteral("cancelled %1").arg(source);
}

void FakeReporter::jobFinished(int converted, int failed) {
    events << QStringLiteral("finished %1 converted, %2 failed").arg(converted).arg(failed);
}

} // namespace qp::test
