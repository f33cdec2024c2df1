#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

class QMimeData;

namespace qp {

class MainWindow;
class WidgetWindows;

// Documents and folders dropped on the main window from the file manager:
// one document starts the one-document job, its page proposed beside it;
// several documents start a batch job of exactly those (Mediator::
// convertDocuments); one folder opens the Batch Documents dialog with it as
// the source. A folder among other things, anything not on this machine, and
// drops while a job runs are refused.
class DocumentDrops : public QObject {
    Q_OBJECT
public:
    // Watches the window's drag and drop events; owned by the window. The
    // jobs start through the window's WidgetWindows.
    DocumentDrops(MainWindow& window, WidgetWindows& windows);

    // The one local file or folder, or the several local files, that the
    // data names (cleaned, absolute); nothing when it names anything else.
    static std::optional<QStringList> droppedPaths(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start(const QStringList& paths);

    MainWindow& window_;
    WidgetWindows& windows_;
};

} // namespace qp
