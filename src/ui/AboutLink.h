#pragma once

#include <QString>

class QWidget;

namespace qp {

// Shows the About box, modeless and without an owner window; a second call
// shows the same box again.
void showAboutBox();

// Opens the web address in the user's web browser; reports failures itself
// by message box.
void openWebLink(QWidget* owner, const QString& url);

} // namespace qp
