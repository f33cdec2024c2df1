#pragma once

#include <functional>

class QWidget;

namespace qp {

class DialogProvider;

// Runs a window's event handler. A failure that no operation below handled
// is reported in a message box with the error's text, and the program goes
// on; no exception may leave an event handler into the event loop.
void runHandler(DialogProvider& dialogs, QWidget* owner, const std::function<void()>& handler);

} // namespace qp
