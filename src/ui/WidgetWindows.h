#pragma once

#include "jobs/Controls.h"

namespace qp {

// The windows as the Mediator, the states and the converters reach them:
// each accessor goes to the window's single instance, creating and loading
// it (hidden) on first touch.
class WidgetWindows : public WindowPort {
public:
    DocumentList& documentList() override;
    FileList& fileList() override;
    CommonDialog& commonDialog() override;
    void hideNextDocument() override;
    void showMainWindow() override;
    bool notFilteredSelected() override;
    ExtensionList& extensionList() override;
    BatchView& batchView() override;
    JobReporter& reporter() override;
    void setBusy(bool busy) override;
    void showStatus(const QString& text) override;

    // Destroys every window instance that is loaded (tests, orderly end).
    static void unloadAll();
};

} // namespace qp
