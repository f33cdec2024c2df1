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
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) when there is none.
    static frmAbout& instance();
    // The instance if one is loaded, otherwise null.
    static frmAbout* loadedInstance();
    // Shows the box, bringing it forward when it is already open.
    static void showBox();
    // Destroys the instance at once, if there is one (tests, shutdown).
    static void destroyInstance();

    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QFrame* Line1; // the grey half of the etched separator
    QFrame* Line2; // the white half, just below
    QLabel* Label6;
    QLabel* Label7;
    LinkLabel* Label3;
    QPushButton* cmdSysInfo;
    QPushButton* cmdOK;

    // Escape and the close box act as "OK": "OK" is also the cancel button.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmAbout();
    ~frmAbout() override;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Label3_Click();
    void lblTitle_Click();
    void StartSysInfo();

    static frmAbout* instance_;
};

} // namespace qp
