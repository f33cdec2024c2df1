#pragma once

#include <QString>

namespace qp::FileManager {

enum class Result {
    Started,       // the desktop's opener was started with the folder
    NoFileManager, // there is no xdg-open on PATH, or xdg-mime names no
                   // program for folders (inode/directory)
    StartFailed    // it was found but could not be started
};

// Shows the folder in the desktop's file manager: `xdg-open FOLDER`, the
// program found on PATH by the same rules as the web browser, started
// detached and without a shell, once xdg-mime (when there is one) has named
// a program for folders (xdg-mime missing or failing: tried all the same).
Result showFolder(const QString& folder);

} // namespace qp::FileManager
