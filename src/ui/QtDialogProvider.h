#pragma once

#include "desktop/Dialogs.h"

#include <QStringList>

namespace qp {

// The window application's dialogs: Qt message boxes, file dialogs and the
// folder chooser.
class QtDialogProvider : public DialogProvider {
public:
    MessageAnswer message(const MessageRequest& request) override;
    std::optional<QString> file(const FileRequest& request) override;
    std::optional<QStringList> severalFiles(const FileRequest& request) override;
    QString folder(const FolderRequest& request) override;
};

// The file dialog's filter, "Description (*.doc)|*.DOC" pairs or a bare
// pattern such as "*.htm", as Qt name filters that read as the filter is
// written: a description that names its patterns itself stays as it is when
// they are the entry's patterns in some letter case, otherwise the patterns
// follow it in parentheses. Several patterns of one entry are separated by
// ";". The file dialog matches them in any letter case.
QStringList qtNameFilters(const QString& filter);

// The folder itself when it exists, else its nearest parent that does; empty
// for an empty or relative path. Where the folder chooser starts.
QString nearestExistingFolder(const QString& folder);

// The flag of a file request that makes the chosen file have to exist.
constexpr int FileMustExist = 4096;

} // namespace qp
