#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace qp {

// The permanent part of the main window's status bar: during a job a
// progress bar (documents done of all), the speed in documents per second and
// the time left, beside the line of the document being converted; after the
// job its summary, which stays until the next job starts. Menus that clear
// the status bar's passing messages leave it alone. During a job the line, the
// bar and the speed show what the job reported at most every jobRefreshMs, or
// at once on flush(); text() and rateText() are always the newest.
class JobStatusArea : public QWidget {
    Q_OBJECT
public:
    explicit JobStatusArea(QWidget* parent = nullptr);

    void jobStarted(int total);
    // A document of the job begins; the line says which.
    void documentStarted(const QString& line);
    // A document of the job is done, however it ended.
    void documentDone();
    // The job ended; the line is its summary. The progress bar goes.
    void jobFinished(const QString& summary);

    // The line (whole, also when the area is too narrow for it).
    QString text() const { return text_; }
    void showText(const QString& text);
    // Shows at once what the job reported since the last refresh.
    void flush();

    bool jobRunning() const;
    QProgressBar* progressBar() const { return bar_; }
    // "2.5 documents per second, 1 min 20 s left"; empty before the first
    // document of a job is done.
    QString rateText() const;

private:
    void showLater();

    QString text_;
    QLabel* line_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* rate_ = nullptr;
    QElapsedTimer clock_;
    int done_ = 0;
    int total_ = 0;
    QTimer refresh_;
};

} // namespace qp
