#pragma once

#include "jobs/JobSettings.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qp {

class WidgetWindows;

// The Settings dialog: whether web pages are saved "Not Filtered" (the full
// web-page format) or " Filtered". It shows the page format of the job
// settings, also when they change while it is loaded. "OK" stores the choice,
// which then becomes the settings' format, and unloads the dialog; "Cancel"
// and the close box unload it without changing anything. Made and loaded by
// its WidgetWindows.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    ~SettingsDialog() override;

    // Shows the dialog modally with the given owner; returns when it closes.
    void showModal(QWidget* owner);

    QLabel* Label1 = nullptr;
    QRadioButton* notFilteredOption = nullptr;
    QRadioButton* filteredOption = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WidgetWindows;
    explicit SettingsDialog(WidgetWindows& windows);
    void Form_Load();
    // Selects the option of the format.
    void showFormat(PageFormat format);
    void onOk();
    void onCancel();
    // Takes the dialog out of service: hidden, forgotten by its windows, and
    // deleted once control is back in the event loop.
    void unload();

    WidgetWindows& windows_;
};

} // namespace qp
