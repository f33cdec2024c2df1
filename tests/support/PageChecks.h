#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace qp::test {

// The elements other than void ones (br, img, meta...) that a page writes
// self-closed ("<title/>", "<span/>"): an HTML reader takes each as an
// element left open, which swallows or restyles the text after it.
inline QStringList selfClosedNonVoidElements(const QString& page) {
    static const QRegularExpression tag(
        "<(?!(?:area|br|col|embed|hr|img|input|link|meta|param|source|track|wbr)\\b)"
        "([a-zA-Z][a-zA-Z0-9]*)\\b[^>]*/>",
        QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    for (auto it = tag.globalMatch(page); it.hasNext();)
        names << it.next().captured(1).toLower();
    return names;
}

} // namespace qp::test
