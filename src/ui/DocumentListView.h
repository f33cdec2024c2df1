#pragma once

#include "jobs/Controls.h"

#include <QHash>
#include <QStringList>
#include <QTreeWidget>

namespace qp {

// The main window's document list: a two-column report list ("File Name:",
// "Status:") sorted in descending order of the file name. Each row is keyed
// by the document's path and keeps its sub-items in order; sub-item 1, the
// newest status, shows in the "Status:" column.
class DocumentListView : public QTreeWidget, public DocumentList {
    Q_OBJECT
public:
    explicit DocumentListView(QWidget* parent = nullptr);

    void clear() override;
    void addRow(const QString& key, const QString& text) override;
    void insertStatus(const QString& key, const QString& text) override;
    void setDetail(const QString& key, const QString& detail) override;
    int rowCount() const override;
    bool hasRow(const QString& key) const override;
    QString status(const QString& key) const override;

    // All sub-items of the row, sub-item 1 first.
    QStringList subItems(const QString& key) const;
    // The row's tooltip.
    QString detail(const QString& key) const;
    // The keys of the rows from top to bottom, as shown.
    QStringList shownKeys() const;

private:
    QTreeWidgetItem* row(const QString& key) const;

    QHash<QString, QTreeWidgetItem*> rows_;
    QHash<QString, QStringList> subItems_;
};

} // namespace qp
