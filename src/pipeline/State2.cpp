#include "State2.h"

#include "Chain.h"
#include "conversion/clsFileSystem.h"
#include "core/Controls.h"
#include "core/Mediator.h"
#include "platform/FileList.h"

namespace qp {

void State2::Command1(const QString&) {
    WindowPort& windows = mediator().windows();
    const Run run(*this);
    FilterChain chain(windows.extensionList());
    windows.documentList().clear();
    startJob();

    clsFileSystem fileSystem;
    FileList& files = windows.fileList();
    files.setPath(mediator().GetSourceFolder());

    const int count = files.listCount();
    int acceptedIndex = 0;
    for (int i = 0; i < count; ++i) {
        try {
            files.setListIndex(i);
            const QString fullPath = joinPath(files.path(), files.fileName());
            QString extension = fileSystem.GetFileExtension(fullPath).toLower();
            // The verdict is taken before yielding: a window event may send
            // another extension down a chain meanwhile.
            const bool accepted = chain.accepts(extension) && windows.takesDocument(acceptedIndex++);
            yieldUi(3);
            if (accepted) {
                yieldUi(3);
                auto item = std::make_shared<ParseObject1>();
                yieldUi(3);
                item->init(fullPath);
                queue(item);
                yieldUi(3);
            }
        } catch (...) {
            // A file that cannot be examined or queued is skipped.
        }
    }
    runJob();
}

} // namespace qp
