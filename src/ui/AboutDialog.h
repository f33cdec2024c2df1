#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace qp {

class LinkLabel;

// The About box: the application's title and version, a one-line
// description, a link to the product's web page and a button that starts the
// system's System Information tool.
//
// One instance per run, loaded on first use and shown modeless without an
// owner window, so the main window stays usable. "OK", Enter, Escape and the
// close box unload it; the next showing loads a fresh one.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) when there is none.
    static AboutDialog& instance();
    // The instance if one is loaded, otherwise null.
    static AboutDialog* loadedInstance();
    // Shows the box, bringing it forward when it is already open.
    static void showBox();
    // Destroys the instance at once, if there is one (tests, shutdown).
    static void destroyInstance();

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
    AboutDialog();
    ~AboutDialog() override;

    void Form_Load();
    void onOk();
    void onSystemInfo();
    void onHomePage();
    void onTitle();
    void StartSysInfo();

    static AboutDialog* instance_;
};

} // namespace qp
