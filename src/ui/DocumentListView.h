#pragma once

#include "jobs/Controls.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

namespace qp {

// The main window's document list: a two-column report list ("File Name:",
// "Status:") sorted in descending order of the file name. Each row is keyed
// by the document's path and keeps its sub-items in order; sub-item 1, the
// newest status, shows in the "Status:" column.
//
// The rows, their statuses and details are known at once (rowCount, status,
// detail); the list shows new rows and statuses a moment later, at most
// every jobRefreshMs, all at once, or at once on flush().
class DocumentListView : public QTreeWidget, public DocumentList {
    Q_OBJECT
public:
    explicit DocumentListView(QWidget* parent = nullptr);
    ~DocumentListView() override;

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

    // The web page that the row's document became; empty until it has one.
    void setPage(const QString& key, const QString& page);
    QString page(const QString& key) const;
    // The key of a row, or of the row at a point of the viewport; empty for
    // none.
    static QString keyOf(const QTreeWidgetItem* item);
    QString keyAt(const QPoint& point) const;

    // Keeps the row of the document being converted in view, however the
    // list is sorted, from now until another row is followed (an empty key
    // follows none).
    void followRow(const QString& key);
    // Whether the row lies wholly within the visible part of the list.
    bool rowInView(const QString& key) const;

    // Shows at once the rows and statuses not shown yet.
    void flush();

private:
    QTreeWidgetItem* row(const QString& key) const;
    void showFollowedRow();
    void showLater();

    QHash<QString, QTreeWidgetItem*> rows_;
    // Rows made but not yet in the list, in the order they came; owned here
    // until then.
    QList<QTreeWidgetItem*> newRows_;
    // Rows of the list whose status column shows an older status.
    QSet<QTreeWidgetItem*> staleRows_;
    bool followPending_ = false;
    QTimer refresh_;
    QHash<QString, QStringList> subItems_;
    QHash<QString, QString> pages_;
    QString followed_;
};

} // namespace qp
