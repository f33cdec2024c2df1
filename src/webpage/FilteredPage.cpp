#include "FilteredPage.h"

#include "ActiveContent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace qp::webpage {

namespace {

QString text(const xmlChar* s) {
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

QString nameOf(const xmlNode* node) {
    return text(node->name).toLower();
}

QString contentOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    QString result = text(content);
    xmlFree(content);
    return result;
}

// ---- Style sheets and style attributes -------------------------------------

// The position of the character that ends what starts at `from` (a quoted
// string or a parenthesised group), so that separators inside are skipped.
qsizetype skipNested(const QString& css, qsizetype from) {
    const QChar open = css[from];
    if (open == u'"' || open == u'\'') {
        for (qsizetype i = from + 1; i < css.size(); ++i) {
            if (css[i] == u'\\')
                ++i;
            else if (css[i] == open)
                return i;
        }
        return css.size() - 1;
    }
    int depth = 0;
    for (qsizetype i = from; i < css.size(); ++i) {
        if (css[i] == u'"' || css[i] == u'\'')
            i = skipNested(css, i);
        else if (css[i] == u'(')
            ++depth;
        else if (css[i] == u')' && --depth == 0)
            return i;
    }
    return css.size() - 1;
}

// Properties that only the office reads.
bool officeProperty(const QString& property) {
    return property.startsWith(QLatin1String("so-")) || property.startsWith(QLatin1String("mso-"));
}

struct Declaration {
    QString property; // lower case
    QString value;
};

std::vector<Declaration> declarationsOf(const QString& css) {
    std::vector<Declaration> result;
    auto add = [&](const QString& item) {
        const qsizetype colon = item.indexOf(u':');
        if (colon <= 0)
            return;
        Declaration d{item.left(colon).trimmed().toLower(), item.mid(colon + 1).trimmed()};
        if (!d.property.isEmpty() && !d.value.isEmpty() && !officeProperty(d.property))
            result.push_back(std::move(d));
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < css.size(); ++i) {
        const QChar c = css[i];
        if (c == u'"' || c == u'\'' || c == u'(') {
            i = skipNested(css, i);
        } else if (c == u';') {
            add(css.mid(start, i - start));
            start = i + 1;
        }
    }
    add(css.mid(start));
    return result;
}

// Declarations as CSS text: spaced for the style sheet, compact for the
// style attributes, of which a page has many.
QString joined(const std::vector<Declaration>& declarations, bool compact = false) {
    QStringList items;
    for (const auto& d : declarations)
        items << d.property + (compact ? QStringLiteral(":") : QStringLiteral(": ")) + d.value;
    return items.join(compact ? QStringLiteral(";") : QStringLiteral("; "));
}

// A value that an attribute gives and the page moves into CSS: one plain
// value, with nothing that could end its declaration or rule, or fetch.
bool plainCssValue(const QString& value) {
    if (value.count(u'"') % 2 || value.count(u'\'') % 2)
        return false;
    for (const QChar c : value)
        if (c == u'{' || c == u'}' || c == u';' || c == u'<' || c == u'\\' || c == u'@')
            return false;
    return !value.contains(QLatin1String("url("), Qt::CaseInsensitive) &&
           !value.contains(QLatin1String("expression("), Qt::CaseInsensitive);
}

// CSS text safe inside <style> for both an HTML and an XML reader: neither
// '<' nor '&' may appear there, so they become CSS escapes.
QString cssSafe(QString css) {
    css.replace(u'&', QStringLiteral("\\26 "));
    css.replace(u'<', QStringLiteral("\\3C "));
    return css;
}

// The office's style sheet without comments and without the office's own
// properties; rules and at-rules otherwise as they stand.
QString cleanStyleSheet(const QString& css, const QString& indent = {}) {
    QString out;
    qsizetype i = 0;
    while (i < css.size()) {
        // The prelude: up to the block's opening brace, skipping comments.
        QString prelude;
        while (i < css.size() && css[i] != u'{' && css[i] != u'}') {
            if (css[i] == u'/' && i + 1 < css.size() && css[i + 1] == u'*') {
                const qsizetype end = css.indexOf(QLatin1String("*/"), i + 2);
                i = end < 0 ? css.size() : end + 2;
                continue;
            }
            if (css[i] == u';' && prelude.trimmed().startsWith(u'@')) {
                // A statement at-rule such as @import: dropped, it may fetch.
                prelude.clear();
                ++i;
                continue;
            }
            prelude += css[i++];
        }
        if (i >= css.size() || css[i] == u'}') {
            ++i;
            continue;
        }
        // The block, up to its matching brace.
        const qsizetype open = i;
        int depth = 0;
        bool nested = false;
        for (; i < css.size(); ++i) {
            if (css[i] == u'"' || css[i] == u'\'')
                i = skipNested(css, i);
            else if (css[i] == u'{' && ++depth > 1)
                nested = true;
            else if (css[i] == u'}' && --depth == 0)
                break;
        }
        const QString block = css.mid(open + 1, i - open - 1);
        ++i;
        const QString selector = prelude.simplified();
        if (selector.isEmpty() || selector.startsWith(QLatin1String("@import")))
            continue;
        if (nested) {
            out += indent + selector + QStringLiteral(" {\n") +
                   cleanStyleSheet(block, indent + QStringLiteral("  ")) + indent +
                   QStringLiteral("}\n");
        } else {
            const auto declarations = declarationsOf(block);
            if (!declarations.empty())
                out += indent + selector + QStringLiteral(" { ") + joined(declarations) +
                       QStringLiteral(" }\n");
        }
    }
    return out;
}

// ---- What a filtered page may hold -------------------------------------------

const QSet<QString> voidElements{"area", "br",   "col",   "embed",  "hr",    "img", "input",
                                 "link", "meta", "param", "source", "track", "wbr"};

// Elements of the body that are written as they are (their attributes are
// checked one by one). Others are replaced (below), dropped with what they
// hold, or unwrapped: their content stays, the element goes.
const QSet<QString> keptElements{
    "a",          "abbr",   "address", "article", "aside",    "b",     "bdi",    "bdo",
    "blockquote", "br",     "button",  "caption", "cite",     "code",  "col",    "colgroup",
    "dd",         "del",    "dfn",     "div",     "dl",       "dt",    "em",     "fieldset",
    "figcaption", "figure", "footer",  "form",    "h1",       "h2",    "h3",     "h4",
    "h5",         "h6",     "header",  "hr",      "i",        "img",   "input",  "ins",
    "kbd",        "label",  "legend",  "li",      "main",     "mark",  "nav",    "ol",
    "optgroup",   "option", "p",       "pre",     "q",        "rp",    "rt",     "ruby",
    "s",          "samp",   "section", "select",  "small",    "span",  "strong", "sub",
    "sup",        "table",  "tbody",   "td",      "textarea", "tfoot", "th",     "thead",
    "tr",         "u",      "ul",      "var",     "wbr"};

// Dropped with everything inside: active content, frames, plug-ins and
// elements that belong in the head.
const QSet<QString> droppedElements{"script",   "applet", "embed", "iframe", "frame", "frameset",
                                    "param",    "style",  "link",  "meta",   "title", "base",
                                    "basefont", "spacer", "head",  "object", "audio", "video"};

// Attributes an element may keep besides id, class, style, title, lang and
// dir (names of obsolete, presentational attributes are turned into CSS).
const QHash<QString, QSet<QString>> keptAttributes{
    {"a", {"href", "target", "rel", "hreflang", "type"}},
    {"img", {"src", "alt", "width", "height"}},
    {"td", {"colspan", "rowspan", "headers", "scope"}},
    {"th", {"colspan", "rowspan", "headers", "scope", "abbr"}},
    {"col", {"span"}},
    {"colgroup", {"span"}},
    {"ol", {"start", "type", "reversed"}},
    {"li", {"value"}},
    {"blockquote", {"cite"}},
    {"q", {"cite"}},
    {"del", {"cite", "datetime"}},
    {"ins", {"cite", "datetime"}},
    {"form", {"action", "method", "name"}},
    {"input", {"type", "name", "value", "checked", "disabled", "readonly", "size", "maxlength"}},
    {"select", {"name", "size", "multiple", "disabled"}},
    {"option", {"value", "selected", "disabled", "label"}},
    {"optgroup", {"label", "disabled"}},
    {"textarea", {"name", "rows", "cols", "disabled", "readonly"}},
    {"button", {"type", "name", "value", "disabled"}},
    {"label", {"for"}},
    {"bdo", {"dir"}},
};

// The kept attributes whose value is an address.
const QSet<QString> urlAttributes{"href", "src", "cite", "action"};

bool validAttributeName(const QString& name) {
    if (name.isEmpty() || !name[0].isLetter())
        return false;
    for (const QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'-') || c.unicode() > 127)
            return false;
    return true;
}

// A length of an obsolete attribute (pixels when bare) as CSS.
QString cssLength(const QString& value) {
    const QString v = value.trimmed();
    bool ok = false;
    v.toDouble(&ok);
    return ok ? v + QStringLiteral("px") : v;
}

bool wholeNumber(const QString& value) {
    bool ok = false;
    return value.toUInt(&ok) < 100000 && ok;
}

// font size="1".."7" (or "+1", "-2", relative to 3) as a CSS size.
QString fontSize(const QString& value) {
    static const char* sizes[] = {"x-small", "small",    "medium",   "large",
                                  "x-large", "xx-large", "xxx-large"};
    bool ok = false;
    int n = value.trimmed().toInt(&ok);
    if (!ok)
        return {};
    if (value.trimmed().startsWith(u'+') || value.trimmed().startsWith(u'-'))
        n += 3;
    return QString::fromLatin1(sizes[std::clamp(n, 1, 7) - 1]);
}

QString listStyle(const QString& type) {
    static const QHash<QString, QString> styles{
        {"disc", "disc"},     {"circle", "circle"}, {"square", "square"}, {"1", "decimal"},
        {"a", "lower-alpha"}, {"A", "upper-alpha"}, {"i", "lower-roman"}, {"I", "upper-roman"},
    };
    return styles.value(type.trimmed(), styles.value(type.trimmed().toLower()));
}

// The first family of a font list, unquoted and lower-cased.
QString firstFamily(const QString& families) {
    QString first = families.section(u',', 0, 0).trimmed();
    if (first.size() >= 2 && (first.startsWith(u'"') || first.startsWith(u'\'')))
        first = first.mid(1, first.size() - 2);
    return first.trimmed().toLower();
}

bool symbolFamily(const QString& families) {
    return firstFamily(families) == QLatin1String("symbol");
}

// ---- The writer ----------------------------------------------------------------

struct Context {
    bool symbolFont = false; // text is in the Symbol font
    QString cellPadding;     // of the table around, for its cells
    // "right" or "center" inside a block aligned so: browsers move the tables
    // there as well, which text-align alone does not.
    QString tableAlign;
};

bool listElement(const QString& name) {
    return name == QLatin1String("ol") || name == QLatin1String("ul");
}

// The items of a list and of the lists inside it, in document order.
void collectItems(const xmlNode* node, std::vector<const xmlNode*>& items) {
    for (const xmlNode* n = node->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (nameOf(n) == QLatin1String("li"))
            items.push_back(n);
        collectItems(n, items);
    }
}

// The outermost lists of the page, in document order.
void collectLists(const xmlNode* node, std::vector<const xmlNode*>& lists) {
    for (const xmlNode* n = node->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (listElement(nameOf(n)))
            lists.push_back(n);
        else
            collectLists(n, lists);
    }
}

// A label as a CSS string, in single quotes, followed by a space.
QString cssString(const QString& label) {
    QString out = QStringLiteral("'");
    for (const QChar c : label) {
        if (c == u'\\' || c == u'\'')
            out += u'\\';
        if (c == u'\n' || c == u'\r' || c == u'\f')
            out += QStringLiteral("\\A ");
        else
            out += c;
    }
    return out + QStringLiteral(" '");
}

struct Element {
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<Declaration> presentation; // from obsolete attributes; the style attribute wins
    std::vector<Declaration> style;
    QStringList classes;
    bool unwrap = false; // write only the content
};

class PageWriter {
public:
    explicit PageWriter(const DocumentFacts& facts) : facts_(facts) {}

    QByteArray write(xmlDoc* doc) {
        xmlNode* root = xmlDocGetRootElement(doc);
        xmlNode* head = nullptr;
        xmlNode* body = nullptr;
        for (xmlNode* n = root ? root->children : nullptr; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE)
                continue;
            if (nameOf(n) == QLatin1String("head") && !head)
                head = n;
            else if (nameOf(n) == QLatin1String("body") && !body)
                body = n;
        }
        if (root)
            lang_ = attribute(root, "lang");
        if (root)
            collectIds(root);
        if (head)
            readHead(head);

        QString bodyText;
        QString bodyAttributes;
        if (body) {
            labelItems(body);
            readBodyAttributes(body, &bodyAttributes);
            writeChildren(body, Context(), bodyText);
        }

        QString title = officeTitle_.simplified();
        if (title.isEmpty())
            title = firstHeading_;
        if (title.isEmpty())
            title = facts_.name;

        QString out =
            QStringLiteral("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"");
        if (!lang_.isEmpty())
            out += QStringLiteral(" lang=\"") + escaped(lang_, true) + u'"';
        out += QStringLiteral(">\n<head>\n<meta charset=\"utf-8\"/>\n"
                              "<meta name=\"viewport\" content=\"width=device-width, "
                              "initial-scale=1\"/>\n<title>");
        out += escaped(title, false) + QStringLiteral("</title>\n");
        for (const auto& [name, content] : metas_)
            out += QStringLiteral("<meta name=\"%1\" content=\"%2\"/>\n")
                       .arg(name, escaped(content, true));
        out += QStringLiteral("<style>\n") + cssSafe(styleSheet_) +
               QStringLiteral("img { max-width: 100%; height: auto }\n");
        for (const QString& rule : std::as_const(extraRules_))
            out += cssSafe(rule) + u'\n';
        for (const QString& rule : std::as_const(classRules_))
            out += cssSafe(rule);
        out += QStringLiteral("</style>\n</head>\n<body") + bodyAttributes + u'>' + bodyText +
               QStringLiteral("</body>\n</html>\n");
        return out.toUtf8();
    }

private:
    static QString attribute(const xmlNode* node, const char* name) {
        for (const xmlAttr* a = node->properties; a; a = a->next)
            if (text(a->name).toLower() == QLatin1String(name))
                return a->children ? contentOf(reinterpret_cast<const xmlNode*>(a)) : QString();
        return {};
    }

    static QString idOf(const QString& value) {
        QString id = value.trimmed();
        for (QChar& c : id)
            if (c.isSpace())
                c = u'_';
        return id;
    }

    // Gives each item of the page's lists the label that the document shows
    // on it, list by list, where the page's lists and their items match the
    // document's in number: the office's page numbers each level on its own
    // ("1." for "2.1") and shows plain discs for the document's bullets.
    void labelItems(const xmlNode* body) {
        std::vector<const xmlNode*> lists;
        collectLists(body, lists);
        if (lists.size() != facts_.listLabels.size())
            return;
        for (std::size_t i = 0; i < lists.size(); ++i) {
            std::vector<const xmlNode*> items;
            collectItems(lists[i], items);
            const QStringList& labels = facts_.listLabels[i];
            if (std::size_t(labels.size()) != items.size())
                continue;
            for (std::size_t k = 0; k < items.size(); ++k)
                itemLabels_.insert(items[k], labels[qsizetype(k)]);
        }
    }

    void collectIds(const xmlNode* node) {
        for (const xmlNode* n = node; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE)
                continue;
            const QString id = idOf(attribute(n, "id"));
            if (!id.isEmpty())
                ids_.insert(id);
            collectIds(n->children);
        }
    }

    void readHead(const xmlNode* head) {
        static const QSet<QString> keptMeta{"author", "description", "keywords"};
        for (const xmlNode* n = head->children; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE)
                continue;
            const QString name = nameOf(n);
            if (name == QLatin1String("title")) {
                officeTitle_ = contentOf(n);
            } else if (name == QLatin1String("meta")) {
                const QString metaName = attribute(n, "name").trimmed().toLower();
                const QString content = attribute(n, "content");
                if (keptMeta.contains(metaName) && !content.trimmed().isEmpty())
                    metas_.emplace_back(metaName, content);
            } else if (name == QLatin1String("style")) {
                styleSheet_ += cleanStyleSheet(contentOf(n));
            }
        }
    }

    // The body's language moves to the page; its colours become rules.
    void readBodyAttributes(const xmlNode* body, QString* out) {
        for (const xmlAttr* a = body->properties; a; a = a->next) {
            const QString name = text(a->name).toLower();
            const QString value =
                a->children ? contentOf(reinterpret_cast<const xmlNode*>(a)) : QString();
            if (value.trimmed().isEmpty())
                continue;
            const bool plain = plainCssValue(value);
            if (name == QLatin1String("lang"))
                lang_ = value.trimmed();
            else if (name == QLatin1String("dir") || name == QLatin1String("class"))
                *out += QStringLiteral(" %1=\"%2\"").arg(name, escaped(value, true));
            else if (name == QLatin1String("style") && !declarationsOf(value).empty())
                *out += QStringLiteral(" style=\"%1\"")
                            .arg(escaped(joined(declarationsOf(value), true), true));
            else if (name == QLatin1String("text") && plain)
                extraRules_ << QStringLiteral("body { color: %1 }").arg(value);
            else if (name == QLatin1String("bgcolor") && plain)
                extraRules_ << QStringLiteral("body { background-color: %1 }").arg(value);
            else if (name == QLatin1String("link") && plain)
                extraRules_ << QStringLiteral("a:link { color: %1 }").arg(value);
            else if (name == QLatin1String("vlink") && plain)
                extraRules_ << QStringLiteral("a:visited { color: %1 }").arg(value);
        }
    }

    void writeChildren(const xmlNode* parent, const Context& context, QString& out) {
        const QString parentName = nameOf(parent);
        const bool table = parentName == QLatin1String("table");
        QString group; // the implied row group or column group being written
        for (const xmlNode* n = parent->children; n; n = n->next) {
            if (table) {
                // Rows and columns directly in a table get the group an HTML
                // reader would imply, so both readers see the same tree.
                const QString name = n->type == XML_ELEMENT_NODE ? nameOf(n) : QString();
                const QString wanted = name == QLatin1String("tr")    ? QStringLiteral("tbody")
                                       : name == QLatin1String("col") ? QStringLiteral("colgroup")
                                       : n->type == XML_ELEMENT_NODE  ? QString()
                                                                      : group;
                if (wanted != group) {
                    if (!group.isEmpty())
                        out += QStringLiteral("</") + group + u'>';
                    if (!wanted.isEmpty())
                        out += u'<' + wanted + u'>';
                    group = wanted;
                }
            }
            writeNode(n, context, out);
        }
        if (!group.isEmpty())
            out += QStringLiteral("</") + group + u'>';
    }

    void writeNode(const xmlNode* node, const Context& context, QString& out) {
        // Between the parts of tables and lists only elements count: the
        // office's indentation there is left out.
        static const QSet<QString> structural{"table",    "thead", "tbody", "tfoot", "tr",
                                              "colgroup", "ul",    "ol",    "dl",    "select"};
        switch (node->type) {
        case XML_TEXT_NODE:
            if (node->parent && structural.contains(nameOf(node->parent)) &&
                text(node->content).trimmed().isEmpty())
                break;
            [[fallthrough]];
        case XML_CDATA_SECTION_NODE:
            out += escaped(context.symbolFont ? mappedSymbols(text(node->content))
                                              : text(node->content),
                           false);
            break;
        case XML_ELEMENT_NODE:
            writeElement(node, context, out);
            break;
        default: // comments (the reviewers' among them), processing instructions
            break;
        }
    }

    void writeElement(const xmlNode* node, Context context, QString& out) {
        Element e;
        e.name = nameOf(node);
        if (droppedElements.contains(e.name))
            return;
        if (e.name.size() == 2 && e.name[0] == u'h' && e.name[1] >= u'1' && e.name[1] <= u'6' &&
            firstHeading_.isEmpty())
            firstHeading_ = contentOf(node).simplified();
        translateElement(node, e);
        if (nameOf(node) == QLatin1String("center"))
            context.tableAlign = QStringLiteral("center");
        readAttributes(node, e, context);
        if (const auto label = itemLabels_.constFind(node); label != itemLabels_.cend()) {
            std::erase_if(e.style, [](const Declaration& d) {
                return d.property.startsWith(QLatin1String("list-style"));
            });
            e.style.push_back({QStringLiteral("list-style-type"),
                               label->isEmpty() ? QStringLiteral("none") : cssString(*label)});
        }
        if (e.name == QLatin1String("img"))
            completePicture(e, attribute(node, "name"));
        // What the style attribute sets, the obsolete attributes need not.
        std::erase_if(e.presentation, [&](const Declaration& p) {
            return std::any_of(e.style.begin(), e.style.end(),
                               [&](const Declaration& d) { return d.property == p.property; });
        });
        if (e.name == QLatin1String("font") && !e.unwrap &&
            !(e.presentation.empty() && e.style.empty() && e.classes.isEmpty())) {
            // Fonts become spans with a class per distinct font: leaner than
            // the font element, and standard.
            e.name = QStringLiteral("span");
            if (!e.presentation.empty())
                e.classes << fontClass(joined(e.presentation));
            e.presentation.clear();
        }
        if (e.unwrap || !keptElements.contains(e.name)) {
            writeChildren(node, context, out);
            return;
        }

        out += u'<' + e.name;
        for (const auto& [name, value] : e.attributes)
            out += u' ' + name + QStringLiteral("=\"") + escaped(value, true) + u'"';
        if (!e.classes.isEmpty())
            out += QStringLiteral(" class=\"") + escaped(e.classes.join(u' '), true) + u'"';
        std::vector<Declaration> style = e.presentation;
        style.insert(style.end(), e.style.begin(), e.style.end());
        if (!style.empty())
            out += QStringLiteral(" style=\"") + escaped(joined(style, true), true) + u'"';
        if (voidElements.contains(e.name)) {
            out += QStringLiteral("/>");
            return;
        }
        out += u'>';
        writeChildren(node, context, out);
        out += QStringLiteral("</") + e.name + u'>';
    }

    // Obsolete elements as their standard equivalents.
    static void translateElement(const xmlNode* node, Element& e) {
        auto as = [&](const char* name, const char* property = nullptr,
                      const char* value = nullptr) {
            e.name = QString::fromLatin1(name);
            if (property)
                e.presentation.push_back(
                    {QString::fromLatin1(property), QString::fromLatin1(value)});
        };
        if (e.name == QLatin1String("center"))
            as("div", "text-align", "center");
        else if (e.name == QLatin1String("strike"))
            as("s");
        else if (e.name == QLatin1String("tt"))
            as("span", "font-family", "monospace");
        else if (e.name == QLatin1String("big"))
            as("span", "font-size", "larger");
        else if (e.name == QLatin1String("nobr"))
            as("span", "white-space", "nowrap");
        else if (e.name == QLatin1String("blink") || e.name == QLatin1String("marquee"))
            as("span");
        else if (e.name == QLatin1String("dir") || e.name == QLatin1String("menu"))
            as("ul");
        else if (e.name == QLatin1String("listing") || e.name == QLatin1String("xmp") ||
                 e.name == QLatin1String("plaintext"))
            as("pre");
        else if (e.name == QLatin1String("multicol")) {
            as("div");
            const QString cols = attribute(node, "cols");
            if (wholeNumber(cols))
                e.presentation.push_back({QStringLiteral("column-count"), cols});
        }
    }

    void readAttributes(const xmlNode* node, Element& e, Context& context) {
        static const QSet<QString> global{"title", "lang", "dir"};
        static const QSet<QString> aligned{"p",  "h1",  "h2",      "h3", "h4", "h5",
                                           "h6", "div", "caption", "td", "th", "tr"};
        const QSet<QString> kept = keptAttributes.value(e.name);
        bool hasId = false;
        QString anchorName;
        QString tablePadding;
        for (const xmlAttr* a = node->properties; a; a = a->next) {
            const QString name = text(a->name).toLower();
            const bool bare = a->children == nullptr;
            const QString value = bare ? name : contentOf(reinterpret_cast<const xmlNode*>(a));
            const QString v = value.trimmed();
            if (!validAttributeName(name))
                continue;
            auto css = [&](const char* property, const QString& cssValue) {
                if (!cssValue.isEmpty() && plainCssValue(cssValue))
                    e.presentation.push_back({QString::fromLatin1(property), cssValue});
            };
            if (name == QLatin1String("id")) {
                if (!idOf(v).isEmpty() && !hasId) {
                    e.attributes.emplace_back(name, idOf(v));
                    hasId = true;
                }
            } else if (name == QLatin1String("class")) {
                e.classes << v.split(u' ', Qt::SkipEmptyParts);
            } else if (name == QLatin1String("style")) {
                e.style = declarationsOf(value);
                std::erase_if(e.style, [&](const Declaration& d) {
                    if (d.property != QLatin1String("font-family"))
                        return false;
                    context.symbolFont = symbolFamily(d.value);
                    return context.symbolFont;
                });
            } else if (global.contains(name) || kept.contains(name)) {
                // Addresses come from an allow-list of schemes (the check
                // also ignores every character that escaped() leaves out).
                if (urlAttributes.contains(name) &&
                    !allowedUrl(value,
                                name == QLatin1String("src") ? UrlUse::Picture : UrlUse::Link))
                    continue;
                if (name == QLatin1String("href") && v.startsWith(u'#'))
                    e.attributes.emplace_back(name, u'#' + idOf(v.mid(1)));
                else if ((name == QLatin1String("width") || name == QLatin1String("height")) &&
                         !wholeNumber(v))
                    css(name == QLatin1String("width") ? "width" : "height", cssLength(v));
                else if (!v.isEmpty() || name == QLatin1String("alt") ||
                         name == QLatin1String("value"))
                    e.attributes.emplace_back(name, value);
            } else if (name == QLatin1String("name") && e.name == QLatin1String("a")) {
                anchorName = idOf(v);
            } else if (e.name == QLatin1String("font")) {
                if (name == QLatin1String("face")) {
                    context.symbolFont = symbolFamily(v);
                    if (!context.symbolFont)
                        css("font-family", v);
                } else if (name == QLatin1String("size")) {
                    css("font-size", fontSize(v));
                } else if (name == QLatin1String("color")) {
                    css("color", v);
                }
            } else if (name == QLatin1String("align")) {
                const QString align = v.toLower();
                if (e.name == QLatin1String("img")) {
                    if (align == QLatin1String("left") || align == QLatin1String("right"))
                        css("float", align);
                    else if (align == QLatin1String("absmiddle") ||
                             align == QLatin1String("middle"))
                        css("vertical-align", QStringLiteral("middle"));
                    else if (align == QLatin1String("top") || align == QLatin1String("bottom"))
                        css("vertical-align", align);
                } else if (e.name == QLatin1String("table")) {
                    if (align == QLatin1String("center")) {
                        css("margin-left", QStringLiteral("auto"));
                        css("margin-right", QStringLiteral("auto"));
                    } else if (align == QLatin1String("left") || align == QLatin1String("right")) {
                        css("float", align);
                    }
                } else if (e.name == QLatin1String("hr")) {
                    if (align == QLatin1String("left"))
                        css("margin-left", QStringLiteral("0"));
                    else if (align == QLatin1String("right"))
                        css("margin-right", QStringLiteral("0"));
                } else if (aligned.contains(e.name)) {
                    css("text-align", align);
                    if (e.name == QLatin1String("div"))
                        context.tableAlign = align;
                }
            } else if (name == QLatin1String("valign")) {
                css("vertical-align", v.toLower());
            } else if (name == QLatin1String("bgcolor")) {
                css("background-color", v);
            } else if (name == QLatin1String("width")) {
                css("width", cssLength(v));
            } else if (name == QLatin1String("height")) {
                css("height", cssLength(v));
            } else if (name == QLatin1String("nowrap")) {
                css("white-space", QStringLiteral("nowrap"));
            } else if (name == QLatin1String("hspace")) {
                css("margin-left", cssLength(v));
                css("margin-right", cssLength(v));
            } else if (name == QLatin1String("vspace")) {
                css("margin-top", cssLength(v));
                css("margin-bottom", cssLength(v));
            } else if (name == QLatin1String("border") && e.name == QLatin1String("img")) {
                if (wholeNumber(v) && v.toUInt() > 0)
                    css("border", cssLength(v) + QStringLiteral(" solid"));
            } else if (name == QLatin1String("border") && e.name == QLatin1String("table")) {
                if (v.isEmpty() || (wholeNumber(v) && v.toUInt() > 0))
                    e.attributes.emplace_back(name, QStringLiteral("1"));
            } else if (name == QLatin1String("cellspacing") && wholeNumber(v)) {
                css("border-spacing", cssLength(v));
            } else if (name == QLatin1String("cellpadding") && e.name == QLatin1String("table")) {
                tablePadding = cssLength(v);
            } else if (name == QLatin1String("type") &&
                       (e.name == QLatin1String("ul") || e.name == QLatin1String("li"))) {
                css("list-style-type", listStyle(v));
            } else if (name == QLatin1String("clear") && e.name == QLatin1String("br")) {
                css("clear",
                    v.toLower() == QLatin1String("all") ? QStringLiteral("both") : v.toLower());
            } else if (name == QLatin1String("size") && e.name == QLatin1String("hr")) {
                css("height", cssLength(v));
            } else if (name == QLatin1String("color") && e.name == QLatin1String("hr")) {
                css("background-color", v);
                css("border-color", v);
            }
        }
        if (e.name == QLatin1String("table")) {
            // A table moved by the block around it, unless it floats.
            const bool floats =
                std::any_of(e.presentation.begin(), e.presentation.end(), [](const Declaration& d) {
                    return d.property == QLatin1String("float");
                });
            if (!floats && (context.tableAlign == QLatin1String("right") ||
                            context.tableAlign == QLatin1String("center"))) {
                e.presentation.push_back({QStringLiteral("margin-left"), QStringLiteral("auto")});
                e.presentation.push_back(
                    {QStringLiteral("margin-right"), context.tableAlign == QLatin1String("right")
                                                         ? QStringLiteral("0")
                                                         : QStringLiteral("auto")});
            }
            context.tableAlign.clear();
            context.cellPadding = tablePadding; // a table inside a cell has its own
        } else if (e.name == QLatin1String("td") || e.name == QLatin1String("th")) {
            const bool padded =
                std::any_of(e.style.begin(), e.style.end(), [](const Declaration& d) {
                    return d.property.startsWith(QLatin1String("padding"));
                });
            if (!padded && !context.cellPadding.isEmpty())
                e.presentation.push_back({QStringLiteral("padding"), context.cellPadding});
            context.cellPadding.clear();
        }
        // An anchor's name is its id, unless that id is taken.
        if (!anchorName.isEmpty() && !hasId && !ids_.contains(anchorName)) {
            ids_.insert(anchorName);
            e.attributes.emplace_back(QStringLiteral("id"), anchorName);
        }
    }

    // Every picture has a source and an alt text: its description, or empty.
    // The office writes another text there when the picture has a title.
    void completePicture(Element& e, const QString& objectName) const {
        const bool hasSource =
            std::any_of(e.attributes.begin(), e.attributes.end(),
                        [](const auto& a) { return a.first == QLatin1String("src"); });
        if (!hasSource) {
            e.unwrap = true;
            return;
        }
        const auto alt = std::find_if(e.attributes.begin(), e.attributes.end(), [](const auto& a) {
            return a.first == QLatin1String("alt");
        });
        const auto description = facts_.descriptions.constFind(objectName);
        if (alt == e.attributes.end())
            e.attributes.emplace_back(QStringLiteral("alt"),
                                      description == facts_.descriptions.cend() ? QString()
                                                                                : *description);
        else if (description != facts_.descriptions.cend())
            alt->second = *description;
    }

    QString fontClass(const QString& css) {
        auto it = classes_.constFind(css);
        if (it == classes_.cend()) {
            it = classes_.insert(css, QStringLiteral("font%1").arg(classes_.size() + 1));
            classRules_ << QStringLiteral(".%1 { %2 }\n").arg(it.value(), css);
        }
        return it.value();
    }

    static QString mappedSymbols(const QString& s) {
        QString out;
        for (const char32_t c : s.toUcs4()) {
            const char32_t u = symbolFontToUnicode(c);
            out += QString::fromUcs4(&u, 1);
        }
        return out;
    }

    // Text for an element or attribute: escaped for both readers, without the
    // characters that XML forbids.
    static QString escaped(const QString& s, bool attributeValue) {
        QString out;
        out.reserve(s.size());
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i];
            const char16_t u = c.unicode();
            if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
                out += c;
                out += s[++i];
                continue;
            }
            if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF ||
                (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r'))
                continue;
            if (u == u'&')
                out += QStringLiteral("&amp;");
            else if (u == u'<')
                out += QStringLiteral("&lt;");
            else if (u == u'>')
                out += QStringLiteral("&gt;");
            else if (u == u'"' && attributeValue)
                out += QStringLiteral("&quot;");
            else if (u == u'\r')
                out += QStringLiteral("&#13;");
            else
                out += c;
        }
        return out;
    }

    const DocumentFacts& facts_;
    QString lang_;
    QString officeTitle_;
    QString firstHeading_;
    QString styleSheet_;
    QStringList extraRules_;
    std::vector<std::pair<QString, QString>> metas_;
    QHash<QString, QString> classes_; // declarations -> class name
    QStringList classRules_;          // in the order the classes were made
    QSet<QString> ids_;
    QHash<const xmlNode*, QString> itemLabels_; // the document's label of each list item
};

} // namespace

char32_t symbolFontToUnicode(char32_t c) {
    // The Symbol font's letters from 0x20 on; 0 where it has none.
    static const char32_t table[224] = {
        // 0x20
        0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217,
        0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
        // 0x30
        0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A,
        0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
        // 0x40
        0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1,
        0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
        // 0x50
        0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396,
        0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
        // 0x60
        0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5,
        0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
        // 0x70
        0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6,
        0x007B, 0x007C, 0x007D, 0x223C, 0,
        // 0x80, 0x90: not used
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0,
        // 0xA0
        0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660,
        0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
        // 0xB0
        0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261,
        0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
        // 0xC0
        0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287,
        0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
        // 0xD0
        0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228,
        0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
        // 0xE0
        0x25CA, 0x27E8, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2,
        0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
        // 0xF0
        0, 0x27E9, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6,
        0x23AB, 0x23AC, 0x23AD, 0};
    const char32_t code = (c >= 0xF020 && c <= 0xF0FF) ? c - 0xF000 : c;
    if (code < 0x20 || code > 0xFF)
        return c;
    const char32_t mapped = table[code - 0x20];
    return mapped ? mapped : c;
}

char32_t bulletToUnicode(char32_t c, const QString& font) {
    const QString family = firstFamily(font);
    char32_t letter = c;
    if (family == QLatin1String("symbol")) {
        letter = symbolFontToUnicode(c);
    } else if (family == QLatin1String("wingdings")) {
        // The letters of Wingdings that serve as bullets.
        static const QHash<char32_t, char32_t> wingdings{
            {0x46, 0x261E}, {0x6C, 0x25CF}, {0x6D, 0x274D}, {0x6E, 0x25A0}, {0x6F, 0x25A1},
            {0x71, 0x2751}, {0x72, 0x2752}, {0x73, 0x2B27}, {0x74, 0x29EB}, {0x75, 0x25C6},
            {0x76, 0x2756}, {0x77, 0x2B25}, {0x78, 0x2327}, {0x9F, 0x2022}, {0xA1, 0x25CB},
            {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xAB, 0x2605}, {0xD8, 0x27A2}, {0xE8, 0x2794},
            {0xFB, 0x2717}, {0xFC, 0x2713}, {0xFD, 0x2612}, {0xFE, 0x2611}};
        const char32_t code = (c >= 0xF020 && c <= 0xF0FF) ? c - 0xF000 : c;
        letter = wingdings.value(code, c);
    }
    return letter >= 0xE000 && letter <= 0xF8FF ? char32_t(0x2022) : letter;
}

QByteArray filteredPage(const QByteArray& officePage, const DocumentFacts& facts) {
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        htmlReadMemory(officePage.constData(), int(officePage.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_NONET),
        xmlFreeDoc);
    PageWriter writer(facts);
    return writer.write(doc.get());
}

namespace {

// The MIME type of a picture in a format that every browser shows.
const char* browserPictureType(const QByteArray& data) {
    if (data.startsWith("\x89PNG\r\n\x1a\n"))
        return "image/png";
    if (data.startsWith("\xff\xd8\xff"))
        return "image/jpeg";
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return "image/gif";
    return nullptr;
}

void collectPictureSources(const xmlNode* node, QStringList& sources) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (nameOf(node) == QLatin1String("img"))
            for (const xmlAttr* a = node->properties; a; a = a->next)
                if (text(a->name).toLower() == QLatin1String("src") && a->children)
                    sources << contentOf(reinterpret_cast<const xmlNode*>(a));
        collectPictureSources(node->children, sources);
    }
}

bool replaceFile(const QString& path, const QByteArray& content, QString* error) {
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(content) == content.size() && out.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
    return false;
}

} // namespace

QString embedPictures(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, in.errorString());
    QByteArray page = in.readAll();
    in.close();
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        htmlReadMemory(page.constData(), int(page.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_NONET),
        xmlFreeDoc);
    QStringList sources;
    if (doc)
        collectPictureSources(xmlDocGetRootElement(doc.get()), sources);
    sources.removeDuplicates();

    const QFileInfo info(path);
    const QString ownPrefix = info.completeBaseName() + QStringLiteral("_htm_");
    QStringList embedded;
    for (const QString& src : std::as_const(sources)) {
        // Only a bare file name of this page's own pictures.
        const QString name = QUrl::fromPercentEncoding(src.toUtf8());
        if (!name.startsWith(ownPrefix) || name.contains(u'/') || name.contains(u'\\'))
            continue;
        QFile picture(info.dir().filePath(name));
        if (!picture.open(QIODevice::ReadOnly))
            continue;
        const QByteArray data = picture.readAll();
        const char* type = browserPictureType(data);
        if (!type)
            continue;
        // The attribute exactly as the office writes it: values always in
        // double quotes, '&' and '"' escaped in them and in text, so that
        // this string is found nowhere else.
        QString written = src;
        written.replace(u'&', QStringLiteral("&amp;")).replace(u'"', QStringLiteral("&quot;"));
        const QByteArray attribute = "src=\"" + written.toUtf8() + '"';
        if (!page.contains(attribute))
            continue;
        page.replace(attribute,
                     "src=\"data:" + QByteArray(type) + ";base64," + data.toBase64() + '"');
        embedded << picture.fileName();
    }
    QString error;
    if (!embedded.isEmpty() && !replaceFile(path, page, &error))
        return error;
    for (const QString& file : std::as_const(embedded))
        QFile::remove(file);
    return {};
}

QString rewriteAsFilteredPage(const QString& path, const DocumentFacts& facts) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, in.errorString());
    const QByteArray page = filteredPage(in.readAll(), facts);
    in.close();
    QString error;
    replaceFile(path, page, &error);
    return error;
}

} // namespace qp::webpage
