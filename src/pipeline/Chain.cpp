#include "Chain.h"

#include "core/Controls.h"

#include <QStringList>

#include <utility>

namespace qp {

bool ExtensionAccepted = false;

QString listedExtensions(ExtensionList& list) {
    QStringList entries;
    for (int i = 0; i < list.listCount(); ++i)
        entries << list.list(i);
    return entries.join(QStringLiteral(", "));
}

// ---- LinkedChain

void LinkedChain::addChain(std::shared_ptr<Chain> next) {
    nextChain = std::move(next);
    hasNext = true;
}

void LinkedChain::forward(QString& ext) {
    if (nextChain)
        nextChain->sendToChain(ext);
}

// ---- Chain1

bool Chain1::sendToChain(QString& ext) {
    ext = ext.toLower();
    // Every entry is visited; a match does not end the scan.
    const int count = list_.listCount();
    for (int i = 0; i < count; ++i) {
        if (list_.list(i).toLower() == ext)
            ExtensionAccepted = true;
    }
    if (!ExtensionAccepted)
        forward(ext);
    return false;
}

// ---- Chain2, Chain3

bool ForwardingChain::sendToChain(QString& ext) {
    ext = ext.toLower();
    forward(ext);
    return false;
}

// ---- NoCmd

void NoCmd::addChain(std::shared_ptr<Chain>) {}

bool NoCmd::sendToChain(QString&) {
    ExtensionAccepted = false;
    return false;
}

std::shared_ptr<Chain> NoCmd::getChain() {
    return nullptr;
}

bool NoCmd::hasChain() {
    return false;
}

// ---- FilterChain

FilterChain::FilterChain(ExtensionList& list) {
    std::shared_ptr<Chain> chain1 = std::make_shared<Chain1>(list);
    std::shared_ptr<Chain> chain2 = std::make_shared<Chain2>();
    std::shared_ptr<Chain> chain3 = std::make_shared<Chain3>();
    std::shared_ptr<Chain> last = std::make_shared<NoCmd>();
    chain1->addChain(chain2);
    chain2->addChain(chain3);
    chain3->addChain(last);
    first = chain1;
}

bool FilterChain::accepts(QString& ext) {
    ExtensionAccepted = false;
    first->sendToChain(ext);
    return ExtensionAccepted;
}

} // namespace qp
