#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace qp::webpage {

// The lean, standards-only page made from the office's full web page: markup
// that is both well-formed XML and HTML5 (void elements only are self-closed),
// UTF-8, no markup of the office's own (its field elements, generator lines,
// comments, scripts, presentational attributes), pictures that shrink to the
// window, alt on every picture, text of symbol fonts as Unicode letters. The
// body keeps its headers and footers; pictures keep their (relative) links.
//
// What the page itself does not say about its document.
struct DocumentFacts {
    QString name; // the title when the document has neither a title nor a heading
    // The pictures' descriptions (their alt texts) by the names of their
    // objects, which the office's page gives.
    QHash<QString, QString> descriptions;
    // The labels that the document shows on its list paragraphs ("2.1",
    // a bullet), in document order: one entry per run of list paragraphs that
    // follow each other in the same text, which the office writes as one
    // list. A list of the page whose items do not match its run in number
    // keeps the markers the page gives it.
    std::vector<QStringList> listLabels;
};
QByteArray filteredPage(const QByteArray& officePage, const DocumentFacts& facts);

// Rewrites the office's page at `path` as the filtered page, replacing the
// file in one step. Returns an empty string, or why it could not.
QString rewriteAsFilteredPage(const QString& path, const DocumentFacts& facts);

// Puts into the office's page at `path` the pictures that the office wrote
// beside it (files of the page's folder named after the page, in a format
// that browsers show) as data: URIs, and removes those files: one file per
// page. Links to any other picture stay as they are, so that nothing from
// outside the page's folder ends up inside the page. Returns an empty string,
// or why it could not.
QString embedPictures(const QString& path);

// The Unicode letter that a character of the Symbol font shows (its code, or
// the same code moved to the private-use area U+F000 as the office keeps
// it), or the character itself when the font has no such letter.
char32_t symbolFontToUnicode(char32_t c);

// The Unicode letter of a list bullet in the font named (Symbol, or the
// Wingdings letters that documents use as bullets: check marks, diamonds,
// arrows, squares), its code given as for symbolFontToUnicode; a bullet
// (U+2022) for a letter of the private-use area that stays unknown.
char32_t bulletToUnicode(char32_t c, const QString& font);

} // namespace qp::webpage
