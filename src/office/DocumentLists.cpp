#include "DocumentLists.h"

#include "webpage/FilteredPage.h"

#include <com/sun/star/awt/FontDescriptor.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/NumberingType.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextTable.hpp>

namespace qp::office {

namespace {

// A colour property of the office: a number, -1 (COL_TRANSPARENT) for none.
constexpr sal_Int32 noColour = -1;

template <typename T>
T valueOf(const css::uno::Reference<css::beans::XPropertySet>& object, const char* name,
          T fallback = T()) {
    T value = fallback;
    try {
        object->getPropertyValue(rtl::OUString::createFromAscii(name)) >>= value;
    } catch (const css::beans::UnknownPropertyException&) {
    }
    return value;
}

// The bullet that a level of the rules shows, as a Unicode letter; empty
// when the level is not a bullet.
QString bulletOf(const css::uno::Reference<css::container::XIndexAccess>& rules, sal_Int16 level) {
    if (!rules.is() || level < 0 || level >= rules->getCount())
        return {};
    css::uno::Sequence<css::beans::PropertyValue> properties;
    rules->getByIndex(level) >>= properties;
    sal_Int16 type = css::style::NumberingType::NUMBER_NONE;
    rtl::OUString bullet;
    css::awt::FontDescriptor font;
    for (const auto& p : std::as_const(properties)) {
        if (p.Name == "NumberingType")
            p.Value >>= type;
        else if (p.Name == "BulletChar")
            p.Value >>= bullet;
        else if (p.Name == "BulletFont")
            p.Value >>= font;
    }
    if (type != css::style::NumberingType::CHAR_SPECIAL || bullet.isEmpty())
        return {};
    const char32_t letter =
        webpage::bulletToUnicode(toQString(bullet).toUcs4().value(0), toQString(font.Name));
    return QString::fromUcs4(&letter, 1);
}

} // namespace

FilteredPageModel::FilteredPageModel(const css::uno::Reference<css::lang::XComponent>& document) {
    css::uno::Reference<css::text::XTextDocument> text(document, css::uno::UNO_QUERY);
    if (!text.is())
        return;
    try {
        readText(text->getText());
        endRun();
    } catch (const css::uno::RuntimeException&) {
        throw; // the office is gone: the call fails
    } catch (const css::uno::Exception&) {
        // Without the labels the lists keep the page's markers.
        labels_.clear();
    }
}

FilteredPageModel::~FilteredPageModel() {
    try {
        for (const Background& b : backgrounds_) {
            b.portion->setPropertyValue("CharBackColor", b.color);
            b.portion->setPropertyValue("CharBackTransparent", b.transparent);
        }
    } catch (const css::uno::Exception&) {
        // The document is closed after its page is written: what it keeps of
        // a page it was asked for before does no harm.
    }
}

void FilteredPageModel::endRun() {
    if (inRun_)
        labels_.push_back(run_);
    run_.clear();
    runList_.clear();
    inRun_ = false;
}

// The paragraphs of a text in order, with those of its tables' cells in the
// order of the cells' names (row by row), as the office writes them.
void FilteredPageModel::readText(const css::uno::Reference<css::uno::XInterface>& text) {
    css::uno::Reference<css::container::XEnumerationAccess> access(text, css::uno::UNO_QUERY);
    if (!access.is())
        return;
    const auto paragraphs = access->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        css::uno::Reference<css::uno::XInterface> element(paragraphs->nextElement(),
                                                          css::uno::UNO_QUERY);
        css::uno::Reference<css::text::XTextTable> table(element, css::uno::UNO_QUERY);
        if (table.is()) {
            endRun();
            for (const rtl::OUString& name : table->getCellNames()) {
                readText(table->getCellByName(name));
                endRun();
            }
            continue;
        }
        css::uno::Reference<css::lang::XServiceInfo> info(element, css::uno::UNO_QUERY);
        if (info.is() && info->supportsService("com.sun.star.text.Paragraph"))
            readParagraph(element);
        else
            endRun();
    }
}

void FilteredPageModel::readParagraph(const css::uno::Reference<css::uno::XInterface>& paragraph) {
    css::uno::Reference<css::beans::XPropertySet> properties(paragraph, css::uno::UNO_QUERY);
    if (!properties.is())
        return;
    css::uno::Reference<css::container::XIndexAccess> rules;
    properties->getPropertyValue("NumberingRules") >>= rules;
    css::uno::Reference<css::beans::XPropertySet> ruleProperties(rules, css::uno::UNO_QUERY);
    const bool outline = ruleProperties.is() && valueOf<bool>(ruleProperties, "NumberingIsOutline");
    const rtl::OUString list = valueOf<rtl::OUString>(properties, "ListId");
    if (!rules.is() || outline || list.isEmpty()) {
        endRun();
    } else {
        if (inRun_ && list != runList_)
            endRun();
        inRun_ = true;
        runList_ = list;
        // An item that the list does not count (a further paragraph of the
        // item before) has no label of its own.
        if (valueOf<bool>(properties, "NumberingIsNumber", true)) {
            // A bullet as a Unicode letter, whatever font the document gives it.
            const QString bullet =
                bulletOf(rules, valueOf<sal_Int16>(properties, "NumberingLevel"));
            run_ << (bullet.isEmpty()
                         ? toQString(valueOf<rtl::OUString>(properties, "ListLabelString"))
                         : bullet);
        }
    }

    // Highlighted text: its marker colour as its background.
    css::uno::Reference<css::container::XEnumerationAccess> access(paragraph, css::uno::UNO_QUERY);
    if (!access.is())
        return;
    const auto portions = access->createEnumeration();
    while (portions->hasMoreElements()) {
        css::uno::Reference<css::beans::XPropertySet> portion(portions->nextElement(),
                                                              css::uno::UNO_QUERY);
        if (!portion.is())
            continue;
        const sal_Int32 highlight = valueOf<sal_Int32>(portion, "CharHighlight", noColour);
        if (highlight == noColour)
            continue;
        backgrounds_.push_back({portion, portion->getPropertyValue("CharBackColor"),
                                portion->getPropertyValue("CharBackTransparent")});
        portion->setPropertyValue("CharBackColor", css::uno::Any(highlight));
        portion->setPropertyValue("CharBackTransparent", css::uno::Any(false));
    }
}

} // namespace qp::office
