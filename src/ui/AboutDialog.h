#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace qp {

class LinkLabel;
class WidgetWindows;

// The About box: the application's title and version, a one-line
// description, a link to the product's web page and a button that starts the
// system's System Information tool.
//
// One box at a time, made and loaded by its WidgetWindows on first use and
// shown modeless without an owner window, so the main window stays usable.
// "OK", Enter, Escape and the close box unload it; the next showing loads a
// fresh one.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the box, bringing it forward when it is already open.
    void showBox();

    QLabel* titleLabel;
    QLabel* versionLabel;
    QLabel* descriptionLabel;
    QFrame* Line1; // the grey half of the etched separator
    QFrame* Line2; // the white half, just below
    QLabel* Label6;
    QLabel* Label7;
    LinkLabel* Label3;
    QPushButton* systemInfoButton;
    QPushButton* okButton;

    // Escape and the close box act as "OK": "OK" is also the cancel button.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class WidgetWindows;
    explicit AboutDialog(WidgetWindows& windows);
    ~AboutDialog() override;

    void Form_Load();
    void onOk();
    void onSystemInfo();
    void onHomePage();
    void onTitle();
    void StartSysInfo();

    WidgetWindows& windows_;
};

} // namespace qp
