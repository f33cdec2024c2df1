#pragma once

// The UNO side of the office bridge; only the bridge's own sources see it.

#include <com/sun/star/document/XTypeDetection.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>

#include <map>
#include <memory>

#include <utility>
#include <vector>

namespace qp::office {

class OfficeProcess;

namespace css = com::sun::star;

inline rtl::OUString toOUString(const QString& text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()),
                         static_cast<sal_Int32>(text.size()));
}

inline QString toQString(const rtl::OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

// The local UNO context made by bootstrapUno().
css::uno::Reference<css::uno::XComponentContext> localUnoContext();

// One live connection to one office, used only on the office thread.
class Connection {
public:
    css::uno::Reference<css::uno::XComponentContext> context;
    css::uno::Reference<css::lang::XMultiComponentFactory> factory;
    css::uno::Reference<css::document::XTypeDetection> detection;

    // Open documents by id in opening order; the last one is active.
    std::vector<std::pair<int, css::uno::Reference<css::lang::XComponent>>> documents;
    int nextDocumentId = 1;
    bool lost = false;
    int generation = 0;
    // The office's private folders: documents handed to it, which it may
    // only read, and the pages it writes.
    QString inputDir;
    QString outputDir;
    // Where each open document was handed to the office, by id: the slot of
    // the input folder it lies in and its path there.
    std::map<int, std::pair<int, QString>> handed;
    // The office this connection started, none when it attached.
    std::shared_ptr<OfficeProcess> process;
};

} // namespace qp::office
