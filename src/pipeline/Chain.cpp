#include "Chain.h"

#include "core/Controls.h"

#include <utility>

namespace qp {

bool ExtensionAccepted = false;

// ---- Chain1

Chain1::Chain1(ExtensionList& list) : list_(list) {}

void Chain1::addChain(std::shared_ptr<Chain> next) {
    nextChain = std::move(next);
    hasNext = true;
}

bool Chain1::sendToChain(QString& ext) {
    ext = ext.toLower();
    // Every entry is visited; a match does not end the scan.
    const int count = list_.listCount();
    for (int i = 0; i < count; ++i) {
        if (list_.list(i).toLower() == ext)
            ExtensionAccepted = true;
    }
    if (!ExtensionAccepted && nextChain)
        nextChain->sendToChain(ext);
    return false;
}

std::shared_ptr<Chain> Chain1::getChain() {
    return nextChain;
}

bool Chain1::hasChain() {
    return hasNext;
}

// ---- Chain2

void Chain2::addChain(std::shared_ptr<Chain> next) {
    nextChain = std::move(next);
    hasNext = true;
}

bool Chain2::sendToChain(QString& ext) {
    ext = ext.toLower();
    if (nextChain)
        nextChain->sendToChain(ext);
    return false;
}

std::shared_ptr<Chain> Chain2::getChain() {
    return nextChain;
}

bool Chain2::hasChain() {
    return hasNext;
}

// ---- Chain3

void Chain3::addChain(std::shared_ptr<Chain> next) {
    nextChain = std::move(next);
    hasNext = true;
}

bool Chain3::sendToChain(QString& ext) {
    ext = ext.toLower();
    if (nextChain)
        nextChain->sendToChain(ext);
    return false;
}

std::shared_ptr<Chain> Chain3::getChain() {
    return nextChain;
}

bool Chain3::hasChain() {
    return hasNext;
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
