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

std::optional<QString> DocumentDrops::droppedPath(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile())
        return std::nullopt;
    const QFileInfo dropped(data->urls().front().toLocalFile());
    if (!dropped.exists())
        return std::nullopt;
    return QDir::cleanPath(dropped.absoluteFilePath());
}

bool DocumentDrops::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched != &window_ ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const std::optional<QString> path =
        window_.isBusy() ? std::nullopt : droppedPath(drop->mimeData());
    if (!path) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    // The drop itself must end before the job's dialogs open.
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, dropped = *path] { start(dropped); }, Qt::QueuedConnection);
    return true;
}

void DocumentDrops::start(const QString& path) {
    if (window_.isBusy())
        return;
    runHandler(windows_.dialogs(), &window_, [this, &path] {
        if (QFileInfo(path).isDir())
            windows_.batchDialog().execWithSource(path);
        else
            windows_.mediator().convertSingleDocument(path);
    });
}

} // namespace qp
