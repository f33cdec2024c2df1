#include "AboutLink.h"

#include "desktop/Dialogs.h"
#include "desktop/WebBrowser.h"

#include <QWidget>

namespace qp {

void openWebLink(DialogProvider& dialogs, QWidget* owner, const QString& url) {
    switch (WebBrowser::open(url)) {
    case WebBrowser::Result::Started:
        break;
    case WebBrowser::Result::NoBrowser:
        Dialogs::message(dialogs, QStringLiteral("Could not find associated Browser"),
                         QStringLiteral("Browser Not Found"), MessageIcon::Exclamation,
                         MessageButtons::Ok, owner);
        break;
    case WebBrowser::Result::StartFailed:
        Dialogs::message(dialogs, QStringLiteral("Web Page not Opened"),
                         QStringLiteral("URL Failed"), MessageIcon::Exclamation, MessageButtons::Ok,
                         owner);
        break;
    }
}

} // namespace qp
