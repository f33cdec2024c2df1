#pragma once

#include <QString>

#include <memory>

namespace qp {

class ExtensionList;

// A handler of the extension filter chain.
class ExtensionHandler {
public:
    virtual ~ExtensionHandler() = default;
    // Attaches the next handler.
    virtual void addChain(std::shared_ptr<ExtensionHandler> next) = 0;
    // Handles the extension, rewriting the caller's variable in lower case
    // where the handler says so, and returns the chain's verdict: true when
    // the extension names a document.
    virtual bool sendToChain(QString& ext) = 0;
    // The attached next handler, or none.
    virtual std::shared_ptr<ExtensionHandler> getChain() = 0;
    virtual bool hasChain() = 0;
};

// A handler with a successor: keeps the attached next handler.
class LinkedHandler : public ExtensionHandler {
public:
    void addChain(std::shared_ptr<ExtensionHandler> next) override;
    std::shared_ptr<ExtensionHandler> getChain() override { return nextChain; }
    bool hasChain() override { return hasNext; }

protected:
    // Sends the extension on to the next handler, when there is one, and
    // returns its verdict (false without one).
    bool forward(QString& ext);

private:
    std::shared_ptr<ExtensionHandler> nextChain;
    bool hasNext = false;
};

// Accepts the extension when its lower-case form equals the lower-case form
// of an entry of the extension list; the list is read afresh at every send.
// Forwards to the next handler only when nothing is accepted.
class ListedExtensionHandler : public LinkedHandler {
public:
    explicit ListedExtensionHandler(ExtensionList& list) : list_(list) {}
    bool sendToChain(QString& ext) override;

private:
    ExtensionList& list_;
};

// Lower-cases the extension and passes it on; no rule of its own. The chain
// holds two of them.
class LowerCasingHandler : public LinkedHandler {
public:
    bool sendToChain(QString& ext) override;
};

// The end of the chain: whatever reaches it is not a document.
class RejectingHandler : public ExtensionHandler {
public:
    void addChain(std::shared_ptr<ExtensionHandler> next) override;
    bool sendToChain(QString& ext) override;
    std::shared_ptr<ExtensionHandler> getChain() override;
    bool hasChain() override;
};

// One linked set of the four handlers: the listed extensions, two
// lower-casing handlers and the rejecting end.
struct ExtensionFilter {
    explicit ExtensionFilter(ExtensionList& list);
    // True when ext names a document. ext is left in lower case.
    bool accepts(QString& ext);

    std::shared_ptr<ExtensionHandler> first;
};

// The extension list as messages show it: "doc" or "doc, rtf".
QString listedExtensions(ExtensionList& list);

} // namespace qp
