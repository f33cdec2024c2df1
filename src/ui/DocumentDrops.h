#pragma once

#include <QObject>

#include <optional>

class QMimeData;

namespace qp {

class MainWindow;
class WidgetWindows;

// Documents and folders dropped on the main window from the file manager:
// one document starts the one-document job, its page proposed beside it; one
// folder opens the Batch Documents dialog with it as the source. Several
// things at once, anything not on this machine, and drops while a job runs
// are refused.
class DocumentDrops : public QObject {
    Q_OBJECT
public:
    // Watches the window's drag and drop events; owned by the window. The
    // jobs start through the window's WidgetWindows.
    DocumentDrops(MainWindow& window, WidgetWindows& windows);

    // The one local file or folder that the data names, or nothing.
    static std::optional<QString> droppedPath(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start(const QString& path);

    MainWindow& window_;
    WidgetWindows& windows_;
};

} // namespace qp
