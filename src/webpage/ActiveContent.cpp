#include "ActiveContent.h"
#include "TagAttributes.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <vector>

namespace qp::webpage {

namespace {

// Characters left out of an address before its scheme is read: what browsers
// ignore in and around it, the Unicode spaces that sanitizers ignore too, and
// what a page's writer may leave out (non-characters, lone surrogates).
bool ignoredInUrl(char16_t c) {
    return c <= 0x20 || c == 0x7F || c == 0xA0 || c == 0x1680 || c == 0x180E ||
           (c >= 0x2000 && c <= 0x2029) || c == 0x205F || c == 0x3000 || c == 0xFEFF ||
           c >= 0xFFFE || (c >= 0xD800 && c <= 0xDFFF);
}

QString compacted(const QString& url) {
    QString out;
    out.reserve(url.size());
    for (const QChar c : url)
        if (!ignoredInUrl(c.unicode()))
            out += c;
    return out;
}

bool browserPictureUri(const QString& compact) {
    static const QRegularExpression picture(QStringLiteral("^data:image/(png|jpeg|gif)[;,]"),
                                            QRegularExpression::CaseInsensitiveOption);
    return picture.match(compact).hasMatch();
}

// ---- The page as an HTML5 tokenizer reads it ----------------------------------

using html::Attribute;
using html::isAsciiLetter;
using html::isSpace;

struct Tag {
    QByteArray name; // lower case
    qsizetype begin; // its '<'
    qsizetype end;   // after its '>' (the page's end when it has none)
    bool selfClosing = false;
    std::vector<Attribute> attributes;
};

// Reads the tag whose name starts at `at` (after "<" or "</"), with its
// attributes as the tokenizer splits them.
Tag readTag(const QByteArray& page, qsizetype begin, qsizetype at) {
    const qsizetype size = page.size();
    Tag tag;
    tag.begin = begin;
    const qsizetype nameStart = at;
    while (at < size && !isSpace(page[at]) && page[at] != '/' && page[at] != '>')
        ++at;
    tag.name = page.mid(nameStart, at - nameStart).toLower();
    while (at < size) {
        const char c = page[at];
        if (isSpace(c)) {
            ++at;
        } else if (c == '>') {
            ++at;
            tag.end = at;
            return tag;
        } else if (c == '/') {
            ++at;
            if (at < size && page[at] == '>') {
                tag.selfClosing = true;
                tag.end = at + 1;
                return tag;
            }
        } else {
            // An attribute's name: a leading '=' belongs to it.
            Attribute attribute;
            attribute.begin = at;
            ++at;
            while (at < size && !isSpace(page[at]) && page[at] != '/' && page[at] != '>' &&
                   page[at] != '=')
                ++at;
            attribute.name = page.mid(attribute.begin, at - attribute.begin).toLower();
            html::readAttributeValue(page, at, attribute);
            tag.attributes.push_back(std::move(attribute));
        }
    }
    tag.end = size;
    return tag;
}

// Where the end tag "</name" that closes raw text starts, or the page's end.
qsizetype rawTextEnd(const QByteArray& page, qsizetype from, const QByteArray& name) {
    const QByteArray closing = "</" + name;
    for (qsizetype at = from; (at = page.indexOf("</", at)) >= 0; at += 2) {
        const qsizetype after = at + closing.size();
        if (after <= page.size() && page.mid(at, closing.size()).toLower() == closing &&
            (after == page.size() || isSpace(page[after]) || page[after] == '/' ||
             page[after] == '>'))
            return at;
    }
    return page.size();
}

// Character references that decode to ASCII or to a space, the only ones
// that can make a scheme or hide one.
const QHash<QByteArray, QString> knownReferences{
    {"Tab", "\t"},
    {"NewLine", "\n"},
    {"excl", "!"},
    {"quot", "\""},
    {"QUOT", "\""},
    {"num", "#"},
    {"dollar", "$"},
    {"percnt", "%"},
    {"amp", "&"},
    {"AMP", "&"},
    {"apos", "'"},
    {"lpar", "("},
    {"rpar", ")"},
    {"ast", "*"},
    {"midast", "*"},
    {"plus", "+"},
    {"comma", ","},
    {"period", "."},
    {"sol", "/"},
    {"colon", ":"},
    {"semi", ";"},
    {"lt", "<"},
    {"LT", "<"},
    {"equals", "="},
    {"gt", ">"},
    {"GT", ">"},
    {"quest", "?"},
    {"commat", "@"},
    {"lsqb", "["},
    {"lbrack", "["},
    {"bsol", "\\"},
    {"rsqb", "]"},
    {"rbrack", "]"},
    {"Hat", "^"},
    {"lowbar", "_"},
    {"UnderBar", "_"},
    {"grave", "`"},
    {"DiacriticalGrave", "`"},
    {"lcub", "{"},
    {"lbrace", "{"},
    {"verbar", "|"},
    {"vert", "|"},
    {"VerticalLine", "|"},
    {"rcub", "}"},
    {"rbrace", "}"},
    {"fjlig", "fj"},
    {"nbsp", "\u00A0"},
    {"NonBreakingSpace", "\u00A0"},
    {"ensp", "\u2002"},
    {"emsp", "\u2003"},
    {"emsp13", "\u2004"},
    {"emsp14", "\u2005"},
    {"numsp", "\u2007"},
    {"puncsp", "\u2008"},
    {"thinsp", "\u2009"},
    {"ThinSpace", "\u2009"},
    {"hairsp", "\u200A"},
    {"VeryThinSpace", "\u200A"},
    {"MediumSpace", "\u205F"},
    {"ThickSpace", "\u205F\u200A"},
    {"ZeroWidthSpace", "\u200B"},
    {"NegativeVeryThinSpace", "\u200B"},
    {"NegativeThinSpace", "\u200B"},
    {"NegativeMediumSpace", "\u200B"},
    {"NegativeThickSpace", "\u200B"},
    {"zwnj", "\u200C"},
    {"zwj", "\u200D"},
    {"lrm", "\u200E"},
    {"rlm", "\u200F"},
};

// An attribute's value as the browser has it: its character references
// decoded. Numeric ones are decoded with or without their ';', like browsers
// do; a named one that is not known here stays as written: it decodes to
// neither a letter of a scheme nor a space.
QString decodedValue(const QByteArray& raw) {
    QString out;
    const QString text = QString::fromUtf8(raw);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
            continue;
        }
        qsizetype j = i + 1;
        if (j < text.size() && text[j] == u'#') {
            ++j;
            const bool hex = j < text.size() && (text[j] == u'x' || text[j] == u'X');
            if (hex)
                ++j;
            const qsizetype digits = j;
            char32_t code = 0;
            while (j < text.size() &&
                   (hex ? QStringLiteral("0123456789abcdefABCDEF").contains(text[j])
                        : text[j].isDigit() && text[j].unicode() < 128)) {
                code = std::min<char32_t>(
                    code * (hex ? 16 : 10) + QString(text[j]).toUInt(nullptr, 16), 0x110000);
                ++j;
            }
            if (j == digits) {
                out += text[i];
                continue;
            }
            if (j < text.size() && text[j] == u';')
                ++j;
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0xFFFD;
            out += QString::fromUcs4(&code, 1);
            i = j - 1;
            continue;
        }
        while (j < text.size() && text[j].unicode() < 128 && text[j].isLetterOrNumber())
            ++j;
        const QByteArray name = text.mid(i + 1, j - i - 1).toLatin1();
        const auto known = knownReferences.constFind(name);
        const bool terminated = j < text.size() && text[j] == u';';
        const bool legacy = name == "amp" || name == "AMP" || name == "lt" || name == "LT" ||
                            name == "gt" || name == "GT" || name == "quot" || name == "QUOT" ||
                            name == "nbsp";
        if (known != knownReferences.cend() &&
            (terminated || (legacy && !(j < text.size() && text[j] == u'=')))) {
            out += *known;
            i = terminated ? j : j - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Attributes whose value is an address.
const QSet<QByteArray> addressAttributes{
    "href",     "src",    "action",   "formaction", "background", "poster",    "cite",
    "longdesc", "usemap", "codebase", "data",       "classid",    "archive",   "profile",
    "manifest", "dynsrc", "lowsrc",   "icon",       "code",       "xlink:href"};

bool activeAttribute(const Tag& tag, const Attribute& attribute) {
    if (attribute.name.startsWith("on"))
        return true;
    const bool picture = attribute.name == "src" && (tag.name == "img" || tag.name == "input");
    if (addressAttributes.contains(attribute.name))
        return activeUrl(decodedValue(attribute.value), picture ? UrlUse::Picture : UrlUse::Link);
    if (attribute.name == "srcset") {
        // Candidates separated by commas, each an address and a size.
        for (const QString& candidate : decodedValue(attribute.value).split(u','))
            if (activeUrl(candidate.trimmed().section(u' ', 0, 0), UrlUse::Picture))
                return true;
        return false;
    }
    if (attribute.name == "ping") {
        for (const QString& url : decodedValue(attribute.value).split(u' ', Qt::SkipEmptyParts))
            if (activeUrl(url, UrlUse::Link))
                return true;
    }
    return false;
}

// Elements removed with what they hold, and elements of which only the tags
// go (what they hold is the page's fallback text).
const QSet<QByteArray> removedWithContent{"script", "iframe"};
const QSet<QByteArray> removedTags{"object", "embed",    "applet", "base",
                                   "frame",  "frameset", "portal"};
// Elements whose text is raw (or holds only character references): no tag
// starts inside them, up to their end tag.
const QSet<QByteArray> rawTextElements{"style",    "xmp",   "noembed", "noframes",
                                       "noscript", "title", "textarea"};
// Elements that leave SVG or MathML for HTML again.
const QSet<QByteArray> leaveForeign{
    "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
    "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
    "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
    "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
    "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"};

struct Cut {
    qsizetype from;
    qsizetype to;
    QByteArray with;
};

// The attribute with the whitespace before it, back to where the tag's name
// or the attribute before it ends.
Cut attributeCut(const QByteArray& page, const Attribute& attribute) {
    qsizetype from = attribute.begin;
    while (from > 0 && isSpace(page[from - 1]))
        --from;
    return {from, attribute.end, {}};
}

} // namespace

QString urlScheme(const QString& url) {
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const auto match = scheme.match(compacted(url));
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

bool allowedUrl(const QString& url, UrlUse use) {
    static const QSet<QString> schemes{"http", "https", "ftp", "ftps", "mailto", "tel"};
    const QString scheme = urlScheme(url);
    if (scheme.isEmpty() || schemes.contains(scheme))
        return true;
    return use == UrlUse::Picture && scheme == QLatin1String("data") &&
           browserPictureUri(compacted(url));
}

bool activeUrl(const QString& url, UrlUse use) {
    const QString scheme = urlScheme(url);
    if (scheme == QLatin1String("javascript") || scheme == QLatin1String("vbscript") ||
        scheme == QLatin1String("livescript"))
        return true;
    return scheme == QLatin1String("data") &&
           !(use == UrlUse::Picture && browserPictureUri(compacted(url)));
}

QByteArray removeActiveContent(const QByteArray& page) {
    std::vector<Cut> cuts;
    const qsizetype size = page.size();
    int foreign = 0; // depth of SVG and MathML, where raw-text elements are not raw
    qsizetype at = 0;
    while ((at = page.indexOf('<', at)) >= 0 && at + 1 < size) {
        const char next = page[at + 1];
        if (page.mid(at, 4) == "<!--") {
            // A comment ends at "-->" or "--!>"; "<!-->" and "<!--->" are
            // whole comments.
            if (page.mid(at + 4, 1) == ">" || page.mid(at + 4, 2) == "->") {
                at = page.indexOf('>', at + 4) + 1;
                continue;
            }
            const qsizetype close = page.indexOf("--", at + 4);
            qsizetype end = -1;
            for (qsizetype dash = close; dash >= 0; dash = page.indexOf("--", dash + 1)) {
                if (page.mid(dash + 2, 1) == ">") {
                    end = dash + 3;
                    break;
                }
                if (page.mid(dash + 2, 2) == "!>") {
                    end = dash + 4;
                    break;
                }
            }
            at = end < 0 ? size : end;
            continue;
        }
        if (next == '!' || next == '?') {
            // A doctype or a bogus comment, up to the next '>'; inside SVG or
            // MathML, a CDATA section up to "]]>".
            const bool cdata = foreign > 0 && page.mid(at, 9) == "<![CDATA[";
            const qsizetype end = cdata ? page.indexOf("]]>", at + 9) : page.indexOf('>', at);
            at = end < 0 ? size : end + (cdata ? 3 : 1);
            continue;
        }
        if (next == '/') {
            if (at + 2 < size && isAsciiLetter(page[at + 2])) {
                const Tag tag = readTag(page, at, at + 2);
                if (removedTags.contains(tag.name))
                    cuts.push_back({tag.begin, tag.end, {}});
                if ((tag.name == "svg" || tag.name == "math") && foreign > 0)
                    --foreign;
                at = tag.end;
            } else {
                const qsizetype end = page.indexOf('>', at + 2);
                at = end < 0 ? size : end + 1;
            }
            continue;
        }
        if (!isAsciiLetter(next)) {
            ++at;
            continue;
        }
        const Tag tag = readTag(page, at, at + 1);
        at = tag.end;
        if (foreign > 0 && leaveForeign.contains(tag.name))
            foreign = 0;
        if (removedWithContent.contains(tag.name) && foreign > 0 && tag.selfClosing) {
            cuts.push_back({tag.begin, tag.end, {}}); // an empty SVG script
            continue;
        }
        if (removedWithContent.contains(tag.name)) {
            // Up to its end tag: HTML's script and iframe hold raw text, and
            // an SVG script ends at the same tag.
            const qsizetype end = rawTextEnd(page, tag.end, tag.name);
            const qsizetype close = end < size ? page.indexOf('>', end) : -1;
            at = close < 0 ? size : close + 1;
            cuts.push_back({tag.begin, at, {}});
            continue;
        }
        const bool refresh = tag.name == "meta" &&
                             std::any_of(tag.attributes.begin(), tag.attributes.end(), [](auto& a) {
                                 return a.name == "http-equiv" &&
                                        decodedValue(a.value).trimmed().compare(
                                            QLatin1String("refresh"), Qt::CaseInsensitive) == 0;
                             });
        if (refresh || removedTags.contains(tag.name)) {
            cuts.push_back({tag.begin, tag.end, {}});
            continue;
        }
        for (const Attribute& attribute : tag.attributes)
            if (activeAttribute(tag, attribute))
                cuts.push_back(attributeCut(page, attribute));
        if ((tag.name == "svg" || tag.name == "math") && !tag.selfClosing) {
            ++foreign;
        } else if (tag.name == "plaintext" && foreign == 0) {
            break; // the rest of the page is text
        } else if (rawTextElements.contains(tag.name) && foreign == 0) {
            // Its text holds no tag for an HTML reader; a '<' that another
            // reader would take for one is escaped, so that none does.
            const qsizetype end = rawTextEnd(page, tag.end, tag.name);
            for (qsizetype lt = page.indexOf('<', tag.end); lt >= 0 && lt < end;
                 lt = page.indexOf('<', lt + 1)) {
                const char after = lt + 1 < size ? page[lt + 1] : ' ';
                if (isAsciiLetter(after) || after == '/' || after == '!' || after == '?')
                    cuts.push_back(
                        {lt, lt + 1, QByteArray(tag.name == "style" ? "\\3C " : "&lt;")});
            }
            at = end;
        }
    }
    if (cuts.empty())
        return page;
    // Cuts come in the page's order; an attribute's cut may reach back over
    // whitespace that an earlier one took, never into it.
    QByteArray out;
    out.reserve(size);
    qsizetype copied = 0;
    for (const Cut& cut : cuts) {
        const qsizetype from = std::max(cut.from, copied);
        out += page.mid(copied, from - copied);
        out += cut.with;
        copied = std::max(copied, cut.to);
    }
    out += page.mid(copied);
    return out;
}

QString removeActiveContentOfFile(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, in.errorString());
    const QByteArray page = in.readAll();
    in.close();
    const QByteArray safe = removeActiveContent(page);
    if (safe == page)
        return {};
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(safe) == safe.size() && out.commit())
        return {};
    return QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
}

} // namespace qp::webpage
