#include "DocumentListView.h"

#include "Style.h"
#include "automation/AutomationError.h"

#include <QFont>
#include <QHeaderView>

namespace qp {

namespace {

constexpr int KeyRole = Qt::UserRole;
// The row's detail as it was given; its tooltip shows it escaped.
constexpr int DetailRole = Qt::UserRole + 1;

// Rows sort by their text ignoring letter case, as the list control did.
// The detail is the row's own, not item data: data set on the sorted column
// would have the whole list sort itself again, once per document of a job.
// Its tooltip is made when it is asked for.
class DocumentRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return QString::compare(text(column), other.text(column), Qt::CaseInsensitive) < 0;
    }
    QVariant data(int column, int role) const override {
        if (role == DetailRole)
            return detail;
        if (role == Qt::ToolTipRole && !detail.isEmpty())
            return plainToolTip(detail);
        return QTreeWidgetItem::data(column, role);
    }

    QString detail;
};

} // namespace

DocumentListView::DocumentListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ListView1"));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("File Name:"), QStringLiteral("Status:")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    QFont listFont = font();
    listFont.setBold(true);
    setFont(listFont);
    // Form load: full-row selection, sorted, descending on the first column,
    // report view.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(true);
    sortByColumn(0, Qt::DescendingOrder);
    header()->setStretchLastSection(false);
    setColumnWidth(0, twips(10000));
    setColumnWidth(1, twips(1400));
    // A click on a column's header sorts by it; the followed row stays shown.
    connect(header(), &QHeaderView::sortIndicatorChanged, this, [this] { showFollowedRow(); });
    // A job reports its documents faster than anyone reads them; the list
    // takes them in a few times a second, so that it lays itself out and
    // draws once for many.
    refresh_.setSingleShot(true);
    refresh_.setInterval(jobRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { flush(); });
}

DocumentListView::~DocumentListView() {
    qDeleteAll(newRows_);
}

QTreeWidgetItem* DocumentListView::row(const QString& key) const {
    return rows_.value(key, nullptr);
}

void DocumentListView::clear() {
    followed_.clear();
    followPending_ = false;
    refresh_.stop();
    staleRows_.clear();
    qDeleteAll(newRows_);
    newRows_.clear();
    QTreeWidget::clear();
    rows_.clear();
    subItems_.clear();
    pages_.clear();
}

void DocumentListView::addRow(const QString& key, const QString& text) {
    if (rows_.contains(key))
        throw AutomationError(ErrorNumber::KeyNotUnique,
                              QStringLiteral("Key is not unique in collection"),
                              QStringLiteral("ListView1"));
    auto* item = new DocumentRow(QStringList{text, QString()});
    item->setData(0, KeyRole, key);
    newRows_ << item;
    rows_.insert(key, item);
    subItems_.insert(key, {});
    followPending_ = followPending_ || key == followed_;
    showLater();
}

void DocumentListView::insertStatus(const QString& key, const QString& text) {
    QTreeWidgetItem* item = row(key);
    if (!item)
        throw AutomationError(ErrorNumber::InvalidArgument, QStringLiteral("Element not found"),
                              QStringLiteral("ListView1"));
    subItems_[key].prepend(text);
    // A row not in the list yet takes its status without a word to the view.
    if (item->treeWidget())
        staleRows_.insert(item);
    else
        item->setText(1, text);
    // Sorted by status, the row may move.
    followPending_ = followPending_ || key == followed_;
    showLater();
}

void DocumentListView::setDetail(const QString& key, const QString& detail) {
    QTreeWidgetItem* item = row(key);
    if (!item)
        throw AutomationError(ErrorNumber::InvalidArgument, QStringLiteral("Element not found"),
                              QStringLiteral("ListView1"));
    static_cast<DocumentRow*>(item)->detail = detail;
}

int DocumentListView::rowCount() const {
    return int(rows_.size());
}

bool DocumentListView::hasRow(const QString& key) const {
    return rows_.contains(key);
}

QString DocumentListView::status(const QString& key) const {
    const QStringList items = subItems_.value(key);
    return items.isEmpty() ? QString() : items.front();
}

QStringList DocumentListView::subItems(const QString& key) const {
    return subItems_.value(key);
}

QString DocumentListView::detail(const QString& key) const {
    QTreeWidgetItem* item = row(key);
    return item ? item->data(0, DetailRole).toString() : QString();
}

QStringList DocumentListView::shownKeys() const {
    QStringList keys;
    for (int i = 0; i < topLevelItemCount(); ++i)
        keys << topLevelItem(i)->data(0, KeyRole).toString();
    return keys;
}

void DocumentListView::setPage(const QString& key, const QString& page) {
    // Kept beside the rows: data set on a row of the sorted column would
    // have the list sort itself again.
    if (rows_.contains(key))
        pages_.insert(key, page);
}

QString DocumentListView::page(const QString& key) const {
    return pages_.value(key);
}

QString DocumentListView::keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, KeyRole).toString() : QString();
}

QString DocumentListView::keyAt(const QPoint& point) const {
    return keyOf(itemAt(point));
}

void DocumentListView::followRow(const QString& key) {
    followed_ = key;
    followPending_ = !key.isEmpty();
    if (followPending_)
        showLater();
}

void DocumentListView::showFollowedRow() {
    QTreeWidgetItem* item = row(followed_);
    if (item && item->treeWidget())
        scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void DocumentListView::showLater() {
    if (!refresh_.isActive())
        refresh_.start();
}

void DocumentListView::flush() {
    refresh_.stop();
    for (QTreeWidgetItem* item : std::as_const(staleRows_))
        item->setText(1, subItems_.value(keyOf(item)).value(0));
    staleRows_.clear();
    // Each goes in at the end; the list sorts them together when next asked.
    for (QTreeWidgetItem* item : std::as_const(newRows_))
        addTopLevelItem(item);
    newRows_.clear();
    if (followPending_) {
        followPending_ = false;
        showFollowedRow();
    }
}

bool DocumentListView::rowInView(const QString& key) const {
    QTreeWidgetItem* item = row(key);
    if (!item)
        return false;
    // Vertically: the columns together may be wider than the viewport.
    const QRect rect = visualItemRect(item);
    return rect.isValid() && rect.top() >= 0 && rect.bottom() < viewport()->height();
}

} // namespace qp
