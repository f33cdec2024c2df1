#include "State1.h"

#include "Chain.h"
#include "conversion/clsFileSystem.h"
#include "core/Controls.h"
#include "core/Mediator.h"
#include "platform/Dialogs.h"

namespace qp {

void State1::Command1(const QString& text) {
    WindowPort& windows = mediator().windows();
    const Run run(*this);
    FilterChain chain(windows.extensionList());
    windows.documentList().clear();
    startJob();

    clsFileSystem fileSystem;
    QString extension = fileSystem.GetFileExtension(text).toLower();
    const bool accepted = chain.accepts(extension);
    if (accepted) {
        auto item = std::make_shared<ParseObject2>();
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
        Dialogs::message(reason, applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok);
    }
}

} // namespace qp
