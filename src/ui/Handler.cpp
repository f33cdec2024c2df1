#include "Handler.h"

#include "automation/AutomationError.h"
#include "desktop/Dialogs.h"

#include <QWidget>

namespace qp {

void runHandler(QWidget* owner, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        Dialogs::message(errorText(error), applicationTitle(), MessageIcon::Critical,
                         MessageButtons::Ok, owner);
    } catch (...) {
        Dialogs::message(QStringLiteral("Unexpected failure"), applicationTitle(),
                         MessageIcon::Critical, MessageButtons::Ok, owner);
    }
}

} // namespace qp
