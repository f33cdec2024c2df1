#pragma once

#include <QString>

class QWidget;

namespace qp {

class DialogProvider;

// Opens the web address in the user's web browser; reports failures itself
// by message box.
void openWebLink(DialogProvider& dialogs, QWidget* owner, const QString& url);

} // namespace qp
