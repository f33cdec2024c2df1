#include "State1.h"

#include "Chain.h"
#include "conversion/clsFileSystem.h"
#include "core/Controls.h"
#include "core/Mediator.h"

namespace qp {

void State1::Command1(const QString& text) {
    WindowPort& windows = mediator().windows();
    const Run run(*this);
    FilterChain chain(windows.extensionList());
    windows.documentList().clear();
    startJob();

    clsFileSystem fileSystem;
    QString extension = fileSystem.GetFileExtension(text).toLower();
    if (chain.accepts(extension)) {
        auto item = std::make_shared<ParseObject2>();
        item->init(text);
        queue(item);
    }
    runJob();
}

} // namespace qp
