#include "ExtensionFilter.h"

#include "jobs/Controls.h"

#include <QStringList>

#include <utility>

namespace qp {

QString listedExtensions(ExtensionList& list) {
    QStringList entries;
    for (int i = 0; i < list.listCount(); ++i)
        entries << list.list(i);
    return entries.join(QStringLiteral(", "));
}

// ---- LinkedHandler

void LinkedHandler::addChain(std::shared_ptr<ExtensionHandler> next) {
    nextChain = std::move(next);
    hasNext = true;
}

bool LinkedHandler::forward(QString& ext) {
    return nextChain && nextChain->sendToChain(ext);
}

// ---- ListedExtensionHandler

bool ListedExtensionHandler::sendToChain(QString& ext) {
    ext = ext.toLower();
    // Every entry is visited; a match does not end the scan.
    bool accepted = false;
    const int count = list_.listCount();
    for (int i = 0; i < count; ++i) {
        if (list_.list(i).toLower() == ext)
            accepted = true;
    }
    return accepted || forward(ext);
}

// ---- LowerCasingHandler

bool LowerCasingHandler::sendToChain(QString& ext) {
    ext = ext.toLower();
    return forward(ext);
}

// ---- RejectingHandler

void RejectingHandler::addChain(std::shared_ptr<ExtensionHandler>) {}

bool RejectingHandler::sendToChain(QString&) {
    return false;
}

std::shared_ptr<ExtensionHandler> RejectingHandler::getChain() {
    return nullptr;
}

bool RejectingHandler::hasChain() {
    return false;
}

// ---- ExtensionFilter

ExtensionFilter::ExtensionFilter(ExtensionList& list) {
    std::shared_ptr<ExtensionHandler> listed = std::make_shared<ListedExtensionHandler>(list);
    std::shared_ptr<ExtensionHandler> lowerCasing = std::make_shared<LowerCasingHandler>();
    std::shared_ptr<ExtensionHandler> lowerCasingAgain = std::make_shared<LowerCasingHandler>();
    std::shared_ptr<ExtensionHandler> last = std::make_shared<RejectingHandler>();
    listed->addChain(lowerCasing);
    lowerCasing->addChain(lowerCasingAgain);
    lowerCasingAgain->addChain(last);
    first = listed;
}

bool ExtensionFilter::accepts(QString& ext) {
    return first->sendToChain(ext);
}

} // namespace qp
