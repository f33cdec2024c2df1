#include "PageLayout.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/ReferenceFieldPart.hpp>
#include <com/sun/star/text/TextContentAnchorType.hpp>
#include <com/sun/star/text/XDocumentIndexesSupplier.hpp>
#include <com/sun/star/text/XFootnotesSupplier.hpp>
#include <com/sun/star/text/XLineNumberingProperties.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>

namespace qp::office {

namespace {

// An object that sits in the line of text, sized on its own.
bool inLineOfText(const css::uno::Reference<css::beans::XPropertySet>& shape) {
    if (!shape.is())
        return false;
    const auto info = shape->getPropertySetInfo();
    css::text::TextContentAnchorType anchor = css::text::TextContentAnchorType_AT_PARAGRAPH;
    if (!info->hasPropertyByName("AnchorType") ||
        !(shape->getPropertyValue("AnchorType") >>= anchor) ||
        anchor != css::text::TextContentAnchorType_AS_CHARACTER)
        return false;
    for (const char* relative : {"RelativeWidth", "RelativeHeight"}) {
        const rtl::OUString name = rtl::OUString::createFromAscii(relative);
        sal_Int16 percent = 0;
        if (info->hasPropertyByName(name) && (shape->getPropertyValue(name) >>= percent) &&
            percent != 0)
            return false;
    }
    return true;
}

// Fields whose value the office knows without laying the document out: dates
// and times, authors and the document's other properties, the file's name,
// values typed in or computed from other fields, hidden text, comments and
// links. Every other kind of the office's fields (page numbers and counts,
// page references, chapters, statistics, sequence numbers, and kinds not
// listed here) is taken to come from the layout.
bool fieldNeedsNoLayout(const css::uno::Reference<css::uno::XInterface>& field) {
    const css::uno::Reference<css::lang::XServiceInfo> info(field, css::uno::UNO_QUERY);
    if (!info.is())
        return false;
    static const char* const kinds[] = {"Annotation",
                                        "Author",
                                        "Bibliography",
                                        "CombinedCharacters",
                                        "ConditionalText",
                                        "DDE",
                                        "Database",
                                        "DatabaseName",
                                        "DatabaseNextSet",
                                        "DatabaseNumberOfSet",
                                        "DatabaseSetNumber",
                                        "DateTime",
                                        "DropDown",
                                        "ExtendedUser",
                                        "FileName",
                                        "HiddenParagraph",
                                        "HiddenText",
                                        "Input",
                                        "InputUser",
                                        "JumpEdit",
                                        "Macro",
                                        "MetadataField",
                                        "Script",
                                        "TableFormula",
                                        "TemplateName",
                                        "URL",
                                        "User"};
    const rtl::OUString prefix = "com.sun.star.text.TextField.";
    const rtl::OUString newPrefix = "com.sun.star.text.textfield.";
    for (const rtl::OUString& service : info->getSupportedServiceNames()) {
        rtl::OUString kind;
        if (!service.startsWith(prefix, &kind) && !service.startsWith(newPrefix, &kind))
            continue;
        if (kind.startsWith("DocInfo."))
            return true;
        // A reference that shows the referenced text or number, not its page.
        if (kind == "GetReference") {
            const css::uno::Reference<css::beans::XPropertySet> properties(field,
                                                                           css::uno::UNO_QUERY);
            sal_Int16 part = css::text::ReferenceFieldPart::PAGE;
            if (properties.is())
                properties->getPropertyValue("ReferenceFieldPart") >>= part;
            return part != css::text::ReferenceFieldPart::PAGE &&
                   part != css::text::ReferenceFieldPart::PAGE_DESC &&
                   part != css::text::ReferenceFieldPart::UP_DOWN &&
                   part != css::text::ReferenceFieldPart::CHAPTER;
        }
        for (const char* known : kinds)
            if (kind.equalsAscii(known))
                return true;
        return false;
    }
    // Not a field of the office's own: a field that the office keeps as a
    // mark around the result its file holds (a Word field it does not know)
    // shows that result, laid out or not.
    return true;
}

bool anyFieldNeedsLayout(const css::uno::Reference<css::lang::XComponent>& document) {
    const css::uno::Reference<css::text::XTextFieldsSupplier> fields(document, css::uno::UNO_QUERY);
    if (!fields.is())
        return true;
    const auto each = fields->getTextFields()->createEnumeration();
    while (each->hasMoreElements())
        if (!fieldNeedsNoLayout(css::uno::Reference<css::uno::XInterface>(each->nextElement(),
                                                                          css::uno::UNO_QUERY)))
            return true;
    return false;
}

// Tables of contents and indexes (their page numbers), footnotes (the
// office may number them anew on each page, and its settings do not tell so
// reliably once loaded), and numbered lines.
bool numberedByPage(const css::uno::Reference<css::lang::XComponent>& document) {
    const css::uno::Reference<css::text::XDocumentIndexesSupplier> indexes(document,
                                                                           css::uno::UNO_QUERY);
    if (indexes.is() && indexes->getDocumentIndexes()->getCount() > 0)
        return true;
    const css::uno::Reference<css::text::XFootnotesSupplier> footnotes(document,
                                                                       css::uno::UNO_QUERY);
    if (footnotes.is() && footnotes->getFootnotes()->getCount() > 0)
        return true;
    const css::uno::Reference<css::text::XLineNumberingProperties> lines(document,
                                                                         css::uno::UNO_QUERY);
    bool numbered = false;
    return lines.is() &&
           (lines->getLineNumberingProperties()->getPropertyValue("IsOn") >>= numbered) && numbered;
}

} // namespace

bool pageDependsOnLayout(const css::uno::Reference<css::lang::XComponent>& document) {
    if (anyFieldNeedsLayout(document) || numberedByPage(document))
        return true;
    const css::uno::Reference<css::drawing::XDrawPageSupplier> drawing(document,
                                                                       css::uno::UNO_QUERY);
    if (!drawing.is())
        return true;
        // A text document has its one draw page only through this interface,
        // which the SDK marks deprecated in favour of one it does not offer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const css::uno::Reference<css::drawing::XDrawPage> page = drawing->getDrawPage();
#pragma GCC diagnostic pop
    for (sal_Int32 i = 0, count = page->getCount(); i < count; ++i)
        if (!inLineOfText(css::uno::Reference<css::beans::XPropertySet>(page->getByIndex(i),
                                                                        css::uno::UNO_QUERY)))
            return true;
    return false;
}

void layOut(Connection& c, const css::uno::Reference<css::lang::XComponent>& document,
            DocumentLayout layout) {
    // The view is made as the document was loaded: hidden, read-only, with
    // macros never run, links never updated and nobody to ask.
    std::vector<std::pair<const char*, css::uno::Any>> values{
        {"Model", css::uno::Any(document)},
        {"Hidden", css::uno::Any(true)},
        {"ReadOnly", css::uno::Any(true)},
        {"MacroExecutionMode", css::uno::Any(sal_Int16(0))},
        {"UpdateDocMode", css::uno::Any(sal_Int16(0))},
        {"Silent", css::uno::Any(true)}};
    // The page preview lays out every page but has none of the editing
    // view's comment windows, whose UI file an office without its user
    // interface lacks: loading it ends the office.
    if (layout == DocumentLayout::PagePreview)
        values.emplace_back("ViewId", css::uno::Any(sal_Int16(7)));
    std::vector<css::beans::PropertyValue> arguments;
    for (const auto& [name, value] : values) {
        css::beans::PropertyValue argument;
        argument.Name = rtl::OUString::createFromAscii(name);
        argument.Value = value;
        arguments.push_back(argument);
    }
    css::frame::Desktop::create(c.context)->loadComponentFromURL(
        "private:object", "_blank", 0,
        css::uno::Sequence<css::beans::PropertyValue>(arguments.data(),
                                                      sal_Int32(arguments.size())));
}

} // namespace qp::office
