#pragma once

#include <QString>

namespace qp::FileManager {

enum class Result {
    Started,       // the desktop's opener was started with the folder
    NoFileManager, // there is no xdg-open on PATH
    StartFailed    // it was found but could not be started
};

// Shows the folder in the desktop's file manager: `xdg-open FOLDER`, the
// program found on PATH by the same rules as the web browser, started
// detached and without a shell.
Result showFolder(const QString& folder);

} // namespace qp::FileManager
