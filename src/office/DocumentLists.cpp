#include "DocumentLists.h"

#include "webpage/FilteredPage.h"

#include <com/sun/star/awt/FontDescriptor.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/NumberingType.hpp>
#include <com/sun/star/style/XAutoStyle.hpp>
#include <com/sun/star/style/XAutoStylesSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/text/XTextTablesSupplier.hpp>

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

FilteredPageModel::FilteredPageModel(const css::uno::Reference<css::lang::XComponent>& document)
    : document_(document) {
    css::uno::Reference<css::text::XTextDocument> text(document, css::uno::UNO_QUERY);
    if (!text.is())
        return;
    try {
        if (!highlighted())
            return;
        highlight(text->getText());
        css::uno::Reference<css::text::XTextTablesSupplier> tables(document, css::uno::UNO_QUERY);
        if (!tables.is())
            return;
        const auto all = tables->getTextTables();
        for (const rtl::OUString& name : all->getElementNames()) {
            css::uno::Reference<css::text::XTextTable> table(all->getByName(name),
                                                             css::uno::UNO_QUERY);
            if (table.is())
                for (const rtl::OUString& cell : table->getCellNames())
                    highlight(css::uno::Reference<css::text::XText>(table->getCellByName(cell),
                                                                    css::uno::UNO_QUERY));
        }
    } catch (const css::uno::RuntimeException&) {
        throw; // the office is gone: the call fails
    } catch (const css::uno::Exception&) {
        // Without the backgrounds the highlights stay out of the page.
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

std::vector<QStringList> FilteredPageModel::listLabels() {
    css::uno::Reference<css::text::XTextDocument> text(document_, css::uno::UNO_QUERY);
    if (!text.is())
        return {};
    labels_.clear();
    try {
        readLabels(text->getText());
        endRun();
    } catch (const css::uno::RuntimeException&) {
        throw; // the office is gone: the call fails
    } catch (const css::uno::Exception&) {
        // Without the labels the lists keep the page's markers.
        labels_.clear();
    }
    return labels_;
}

// Gives the highlighted text of the text (its paragraphs, not its tables) the
// highlight's colour as its background.
void FilteredPageModel::highlight(const css::uno::Reference<css::text::XText>& text) {
    if (!text.is())
        return;
    css::uno::Reference<css::container::XEnumerationAccess> access(text, css::uno::UNO_QUERY);
    const auto paragraphs = access->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        css::uno::Reference<css::container::XEnumerationAccess> paragraph(paragraphs->nextElement(),
                                                                          css::uno::UNO_QUERY);
        css::uno::Reference<css::lang::XServiceInfo> info(paragraph, css::uno::UNO_QUERY);
        if (!paragraph.is() || !info.is() || !info->supportsService("com.sun.star.text.Paragraph"))
            continue;
        const auto portions = paragraph->createEnumeration();
        while (portions->hasMoreElements()) {
            css::uno::Reference<css::beans::XPropertySet> portion(portions->nextElement(),
                                                                  css::uno::UNO_QUERY);
            if (!portion.is())
                continue;
            const sal_Int32 marker = valueOf<sal_Int32>(portion, "CharHighlight", noColour);
            if (marker == noColour)
                continue;
            backgrounds_.push_back({portion, portion->getPropertyValue("CharBackColor"),
                                    portion->getPropertyValue("CharBackTransparent")});
            portion->setPropertyValue("CharBackColor", css::uno::Any(marker));
            portion->setPropertyValue("CharBackTransparent", css::uno::Any(false));
        }
    }
}

void FilteredPageModel::endRun() {
    if (inRun_)
        labels_.push_back(run_);
    run_.clear();
    runList_.clear();
    inRun_ = false;
}

// Whether any text has a highlight: the automatic styles that the document's
// text uses say so, without reading the text.
bool FilteredPageModel::highlighted() const {
    css::uno::Reference<css::style::XAutoStylesSupplier> supplier(document_, css::uno::UNO_QUERY);
    if (!supplier.is())
        return true;
    const auto families = supplier->getAutoStyles();
    for (const rtl::OUString& family : families->getElementNames()) {
        css::uno::Reference<css::container::XEnumerationAccess> styles(families->getByName(family),
                                                                       css::uno::UNO_QUERY);
        if (!styles.is())
            return true;
        const auto each = styles->createEnumeration();
        while (each->hasMoreElements()) {
            css::uno::Reference<css::style::XAutoStyle> style(each->nextElement(),
                                                              css::uno::UNO_QUERY);
            if (!style.is())
                continue;
            for (const auto& p : style->getProperties()) {
                sal_Int32 marker = noColour;
                if (p.Name == "CharHighlight" && (p.Value >>= marker) && marker != noColour)
                    return true;
            }
        }
    }
    return false;
}

// The paragraphs of a text in order, with those of its tables' cells in the
// order of the cells' names (row by row), as the office writes them: two
// questions a paragraph, and one more for each list and level.
void FilteredPageModel::readLabels(const css::uno::Reference<css::uno::XInterface>& text) {
    css::uno::Reference<css::container::XEnumerationAccess> access(text, css::uno::UNO_QUERY);
    if (!access.is())
        return;
    const rtl::OUString asked[] = {"ListId", "ListLabelString", "NumberingIsNumber",
                                   "NumberingLevel"};
    const css::uno::Sequence<rtl::OUString> names(asked, 4);
    const auto paragraphs = access->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        const css::uno::Any element = paragraphs->nextElement();
        css::uno::Reference<css::beans::XMultiPropertySet> paragraph(element, css::uno::UNO_QUERY);
        css::uno::Sequence<css::uno::Any> values;
        try {
            if (paragraph.is())
                values = paragraph->getPropertyValues(names);
        } catch (const css::beans::UnknownPropertyException&) {
        }
        if (values.getLength() != 4) {
            // Not a paragraph: a table (its cells' lists are lists of their
            // own), or a section's content.
            endRun();
            css::uno::Reference<css::text::XTextTable> table(element, css::uno::UNO_QUERY);
            if (!table.is())
                continue;
            for (const rtl::OUString& name : table->getCellNames()) {
                readLabels(table->getCellByName(name));
                endRun();
            }
            continue;
        }
        rtl::OUString list;
        values[0] >>= list;
        if (list.isEmpty()) {
            endRun();
            continue;
        }
        sal_Int16 level = 0;
        values[3] >>= level;
        auto known = levels_.find({list, level});
        if (known == levels_.end()) {
            css::uno::Reference<css::beans::XPropertySet> properties(paragraph,
                                                                     css::uno::UNO_QUERY_THROW);
            css::uno::Reference<css::container::XIndexAccess> rules;
            properties->getPropertyValue("NumberingRules") >>= rules;
            css::uno::Reference<css::beans::XPropertySet> ruleProperties(rules,
                                                                         css::uno::UNO_QUERY);
            const bool outline =
                !rules.is() ||
                (ruleProperties.is() && valueOf<bool>(ruleProperties, "NumberingIsOutline"));
            known = levels_
                        .emplace(std::pair{list, level},
                                 outline ? std::nullopt : std::optional(bulletOf(rules, level)))
                        .first;
        }
        if (!known->second) { // outline numbering: headings
            endRun();
            continue;
        }
        if (inRun_ && list != runList_)
            endRun();
        inRun_ = true;
        runList_ = list;
        // An item that the list does not count (a further paragraph of the
        // item before) has no label of its own.
        bool counted = true;
        values[2] >>= counted;
        if (!counted)
            continue;
        rtl::OUString label;
        values[1] >>= label;
        run_ << (known->second->isEmpty() ? toQString(label) : *known->second);
    }
}

} // namespace qp::office
