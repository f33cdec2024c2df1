#include "JobStatusArea.h"

#include "Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>

namespace qp {

namespace {

// A one-line label that ends a text too long for it with "…" rather than
// cutting it at the window's edge; the whole text is its tooltip.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    void setLine(const QString& text) {
        setText(text);
        setToolTip(plainToolTip(text));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

// "45 s", "3 min 20 s", "1 h 05 min".
QString duration(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min")
        .arg(seconds / 3600)
        .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'));
}

} // namespace

JobStatusArea::JobStatusArea(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("jobStatus"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, twips(120), 0);
    layout->setSpacing(twips(120));

    auto* line = new ElidingLabel(this);
    line->setObjectName(QStringLiteral("statusLine"));
    line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The line names documents: their names are text, never markup.
    line->setTextFormat(Qt::PlainText);
    line_ = line;
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("jobProgress"));
    bar_->setFormat(QStringLiteral("%v of %m"));
    bar_->setTextVisible(true);
    bar_->setFixedWidth(twips(2400));
    bar_->setMaximumHeight(line->sizeHint().height() + 2);
    rate_ = new QLabel(this);
    rate_->setObjectName(QStringLiteral("jobRate"));
    layout->addWidget(line_, 1);
    layout->addWidget(bar_);
    layout->addWidget(rate_);
    bar_->hide();
    rate_->hide();
    refresh_.setSingleShot(true);
    refresh_.setInterval(jobRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { flush(); });
}

void JobStatusArea::jobStarted(int total) {
    total_ = total;
    done_ = 0;
    clock_.start();
    bar_->setRange(0, qMax(total, 1));
    bar_->show();
    rate_->show();
    text_.clear();
    flush();
}

void JobStatusArea::documentStarted(const QString& line) {
    showText(line);
}

void JobStatusArea::documentDone() {
    ++done_;
    showLater();
}

void JobStatusArea::jobFinished(const QString& summary) {
    refresh_.stop();
    bar_->hide();
    rate_->hide();
    rate_->clear();
    showText(summary);
}

void JobStatusArea::showText(const QString& text) {
    text_ = text;
    // Outside a job a line shows at once.
    if (jobRunning())
        showLater();
    else
        static_cast<ElidingLabel*>(line_)->setLine(text);
}

void JobStatusArea::showLater() {
    if (!refresh_.isActive())
        refresh_.start();
}

void JobStatusArea::flush() {
    refresh_.stop();
    auto* line = static_cast<ElidingLabel*>(line_);
    if (line->text() != text_)
        line->setLine(text_);
    if (jobRunning()) {
        bar_->setValue(qMin(done_, bar_->maximum()));
        rate_->setText(rateText());
    }
}

bool JobStatusArea::jobRunning() const {
    return !bar_->isHidden();
}

QString JobStatusArea::rateText() const {
    const double seconds = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0.0;
    if (done_ == 0 || seconds <= 0.0)
        return {};
    const double rate = done_ / seconds;
    const qint64 left = qRound64((total_ - done_) / rate);
    return QStringLiteral("%1 documents per second, %2 left")
        .arg(rate, 0, 'f', rate < 10 ? 1 : 0)
        .arg(duration(left));
}

} // namespace qp
