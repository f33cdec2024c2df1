#include "DocumentDrops.h"

#include "BatchDialog.h"
#include "Handler.h"
#include "MainWindow.h"
#include "WidgetWindows.h"
#include "jobs/Mediator.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace qp {

DocumentDrops::DocumentDrops(MainWindow& window, WidgetWindows& windows)
    : QObject(&window), window_(window), windows_(windows) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

std::optional<QStringList> DocumentDrops::droppedPaths(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return std::nullopt;
        const QFileInfo dropped(url.toLocalFile());
        // A folder only alone: it is the source of a batch job.
        if (!dropped.exists() || (dropped.isDir() && urls.size() > 1))
            return std::nullopt;
        paths << QDir::cleanPath(dropped.absoluteFilePath());
    }
    return paths;
}

bool DocumentDrops::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched != &window_ ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const std::optional<QStringList> paths =
        window_.isBusy() ? std::nullopt : droppedPaths(drop->mimeData());
    if (!paths) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    // The drop itself must end before the job's dialogs open.
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, dropped = *paths] { start(dropped); }, Qt::QueuedConnection);
    return true;
}

void DocumentDrops::start(const QStringList& paths) {
    if (window_.isBusy())
        return;
    runHandler(windows_.dialogs(), &window_, [this, &paths] {
        if (paths.size() == 1 && QFileInfo(paths.front()).isDir())
            windows_.batchDialog().execWithSource(paths.front());
        else
            windows_.mediator().convertDocuments(paths);
    });
}

} // namespace qp
