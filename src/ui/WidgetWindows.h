#pragma once

#include "jobs/Controls.h"
#include "jobs/JobSettings.h"
#include "jobs/Mediator.h"

#include <tuple>

namespace qp {

class AboutDialog;
class BatchDialog;
class DialogProvider;
class ExtensionListDialog;
class MainWindow;
class Notifications;
class QuickStartDialog;
class SettingsDialog;

// The window application's windows, their job settings and their Mediator,
// as the application's start-up builds them over one dialog provider. Each window is made and
// loaded (hidden) on first touch; a window that unloads itself (its close
// box, "OK") is forgotten at once, so the next touch loads a fresh one. The
// Mediator, the states and the converters reach the windows through the
// WindowPort accessors.
class WidgetWindows : public WindowPort {
public:
    explicit WidgetWindows(DialogProvider& dialogs);
    ~WidgetWindows() override;
    WidgetWindows(const WidgetWindows&) = delete;
    WidgetWindows& operator=(const WidgetWindows&) = delete;

    Mediator& mediator() { return mediator_; }
    DialogProvider& dialogs() { return dialogs_; }
    // Where the end of a job is told while the main window is not active;
    // none unless given.
    void setNotifications(Notifications* notifications) { notifications_ = notifications; }
    Notifications* notifications() const { return notifications_; }

    MainWindow& mainWindow();
    QuickStartDialog& quickStartDialog();
    BatchDialog& batchDialog();
    ExtensionListDialog& extensionListDialog();
    SettingsDialog& settingsDialog();
    AboutDialog& aboutDialog();

    // The window of that type if one is loaded, otherwise null.
    template <class W> W* loaded() const { return std::get<W*>(loaded_); }
    // Called by a window that unloads itself or is destroyed.
    template <class W> void forget(const W* window) {
        if (std::get<W*>(loaded_) == window)
            std::get<W*>(loaded_) = nullptr;
    }

    // While a job runs the extension list must not change under it: the
    // Extension manager, also one loaded later, is disabled and its close box
    // only hides it.
    void setExtensionsBusy(bool busy);
    bool extensionsBusy() const { return extensionsBusy_; }

    // Destroys every window that is loaded (tests, orderly end).
    void unloadAll();

    DocumentList& documentList() override;
    FileList& fileList() override;
    CommonDialog& commonDialog() override;
    void hideNextDocument() override;
    void showMainWindow() override;
    JobSettings& settings() override { return settings_; }
    BatchView& batchView() override;
    JobReporter& reporter() override;
    void setBusy(bool busy) override;
    void showStatus(const QString& text) override;

private:
    // The window of type W, made and loaded on first touch.
    template <class W> W& window();

    DialogProvider& dialogs_;
    Notifications* notifications_ = nullptr;
    JobSettings settings_;
    Mediator mediator_;
    bool extensionsBusy_ = false;
    std::tuple<MainWindow*, QuickStartDialog*, BatchDialog*, ExtensionListDialog*, SettingsDialog*,
               AboutDialog*>
        loaded_{};
};

} // namespace qp
