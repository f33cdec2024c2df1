#include "Handler.h"

#include "automation/AutomationError.h"
#include "desktop/Dialogs.h"

#include <QWidget>

namespace qp {

void runHandler(DialogProvider& dialogs, QWidget* owner, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        Dialogs::message(dialogs, errorText(error), applicationTitle(), MessageIcon::Critical,
                         MessageButtons::Ok, owner);
    } catch (...) {
        Dialogs::message(dialogs, QStringLiteral("Unexpected failure"), applicationTitle(),
                         MessageIcon::Critical, MessageButtons::Ok, owner);
    }
}

} // namespace qp
