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
    QString folder(const FolderRequest& request) override;
};

// A file pattern that matches in any letter case: "*.DOC" gives
// "*.[dD][oO][cC]".
QString anyCasePattern(const QString& pattern);

// The file dialog's filter, "Description (*.doc)|*.DOC" pairs or a bare
// pattern such as "*.htm", as Qt name filters whose patterns match in any
// letter case. Several patterns of one entry are separated by ";".
QStringList qtNameFilters(const QString& filter);

// The flag of a file request that makes the chosen file have to exist.
constexpr int FileMustExist = 4096;

} // namespace qp
