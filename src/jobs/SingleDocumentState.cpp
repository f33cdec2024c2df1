#include "SingleDocumentState.h"

#include "ExtensionFilter.h"
#include "desktop/Dialogs.h"
#include "jobs/Controls.h"
#include "jobs/FileSystem.h"
#include "jobs/Mediator.h"

namespace qp {

void SingleDocumentState::startJob(const QString& text) {
    WindowPort& windows = mediator().windows();
    const Run run(*this);
    ExtensionFilter chain = openJob();

    FileSystem fileSystem;
    QString extension = fileSystem.GetFileExtension(text).toLower();
    const bool accepted = chain.accepts(extension);
    if (accepted) {
        auto item = std::make_shared<SingleDocumentWorkItem>(mediator().converters());
        item->init(text);
        queue(item);
    }
    runJob();
    if (!accepted) {
        // Nothing was converted: say why rather than leave an empty list.
        const QString reason =
            QStringLiteral("%1 is not one of the listed document types (%2)")
                .arg(fileSystem.GetFileName(text), listedExtensions(windows.extensionList()));
        windows.showStatus(reason);
        Dialogs::message(mediator().dialogs(), reason, applicationTitle(), MessageIcon::Exclamation,
                         MessageButtons::Ok);
    }
}

} // namespace qp
