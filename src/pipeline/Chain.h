#pragma once

#include <QString>

#include <memory>

namespace qp {

class ExtensionList;

// The verdict of the extension filter: set by the handlers while an
// extension travels down the chain. Every caller clears it before sending an
// extension and reads it right after the send returns.
extern bool ExtensionAccepted;

// A handler of the extension filter chain.
class Chain {
public:
    virtual ~Chain() = default;
    // Attaches the next handler.
    virtual void addChain(std::shared_ptr<Chain> next) = 0;
    // Handles the extension, rewriting the caller's variable in lower case
    // where the handler says so. The result is always false: the verdict
    // travels in ExtensionAccepted.
    virtual bool sendToChain(QString& ext) = 0;
    // The attached next handler, or none.
    virtual std::shared_ptr<Chain> getChain() = 0;
    virtual bool hasChain() = 0;
};

// A handler with a successor: keeps the attached next handler.
class LinkedChain : public Chain {
public:
    void addChain(std::shared_ptr<Chain> next) override;
    std::shared_ptr<Chain> getChain() override { return nextChain; }
    bool hasChain() override { return hasNext; }

protected:
    // Sends the extension on to the next handler, when there is one.
    void forward(QString& ext);

private:
    std::shared_ptr<Chain> nextChain;
    bool hasNext = false;
};

// Accepts the extension when its lower-case form equals the lower-case form
// of an entry of the extension list; the list is read afresh at every send.
// Forwards to the next handler only when nothing is accepted.
class Chain1 : public LinkedChain {
public:
    explicit Chain1(ExtensionList& list) : list_(list) {}
    bool sendToChain(QString& ext) override;

private:
    ExtensionList& list_;
};

// Lower-cases the extension and passes it on; no rule of its own.
class ForwardingChain : public LinkedChain {
public:
    bool sendToChain(QString& ext) override;
};

class Chain2 : public ForwardingChain {};
class Chain3 : public ForwardingChain {};

// The end of the chain: whatever reaches it is not a document.
class NoCmd : public Chain {
public:
    void addChain(std::shared_ptr<Chain> next) override;
    bool sendToChain(QString& ext) override;
    std::shared_ptr<Chain> getChain() override;
    bool hasChain() override;
};

// One linked set of the four handlers (Chain1 -> Chain2 -> Chain3 -> NoCmd)
// and the way every caller uses it: clear the flag, send, read the flag.
struct FilterChain {
    explicit FilterChain(ExtensionList& list);
    // True when ext names a document. ext is left in lower case.
    bool accepts(QString& ext);

    std::shared_ptr<Chain> first;
};

// The extension list as messages show it: "doc" or "doc, rtf".
QString listedExtensions(ExtensionList& list);

} // namespace qp
