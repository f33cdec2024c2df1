#pragma once
// The attributes of a start tag as an HTML5 tokenizer reads them, byte by
// byte over a page in UTF-8: what the page rewriters share.
#include <QByteArray>

namespace qp::webpage::html {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// One attribute of a start tag: where its name begins, where it ends (after
// its value), and its value as written, character references not decoded.
struct Attribute {
    QByteArray name; // lower case
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArray value;
};

// Reads what may follow an attribute's name that ends at `at`: spaces, '=',
// and a value quoted or bare (an unclosed quote runs to the end of the page).
// Leaves `at` after the value, or at the name's end when there is none, and
// sets the attribute's end there.
inline void readAttributeValue(const QByteArray& page, qsizetype& at, Attribute& attribute) {
    const qsizetype size = page.size();
    qsizetype look = at;
    while (look < size && isSpace(page[look]))
        ++look;
    if (look < size && page[look] == '=') {
        at = look + 1;
        while (at < size && isSpace(page[at]))
            ++at;
        if (at < size && (page[at] == '"' || page[at] == '\'')) {
            const qsizetype close = page.indexOf(page[at], at + 1);
            const qsizetype stop = close < 0 ? size : close;
            attribute.value = page.mid(at + 1, stop - at - 1);
            at = close < 0 ? size : close + 1;
        } else {
            const qsizetype start = at;
            while (at < size && !isSpace(page[at]) && page[at] != '>')
                ++at;
            attribute.value = page.mid(start, at - start);
        }
    }
    attribute.end = at;
}

} // namespace qp::webpage::html
