#pragma once

#include <QByteArray>
#include <QString>

namespace qp::webpage {

// Where an address stands in a page: a picture's source may be a data: URI of
// a PNG, JPEG or GIF picture, a link may not.
enum class UrlUse { Link, Picture };

// The scheme of an address as a browser finds it (lower case, empty for a
// relative address). Every space, control character and Unicode space is
// left out first, wherever it stands: browsers ignore tabs and line breaks
// inside an address and spaces around it, and "java script:" taken as a
// scheme costs at most a link that would not have worked anyway.
QString urlScheme(const QString& url);

// Whether a filtered page may keep the address: relative, or http, https,
// ftp, ftps, mailto or tel, or (as a picture's source) a data: URI of a
// PNG, JPEG or GIF picture. `url` is the attribute's value with its
// character references already decoded.
bool allowedUrl(const QString& url, UrlUse use);

// Whether the address runs something when followed or shown: javascript:,
// vbscript: and livescript: addresses, and data: URIs other than a PNG, JPEG
// or GIF picture as a picture's source.
bool activeUrl(const QString& url, UrlUse use);

// The office's page without what can run in a browser: <script>, <iframe>
// (each with what it holds), <object>, <embed>, <applet>, <base>, <frame>,
// <frameset> and <portal> tags, <meta http-equiv="refresh">, event-handler
// attributes (on...) and address attributes (href, src, action, formaction,
// background, poster, cite, ...) that are activeUrl(). The page is read as
// an HTML5 parser reads it (its tokenizer's rules for tags, attributes,
// comments, raw text and character references), and only those bytes are
// cut: every other byte stays the office's own, so a page without active
// content comes back unchanged. A '<' inside the text of <style>, <title>
// and the like that a reader taking it as markup would see as a tag is
// escaped, so that no reader finds markup there.
QByteArray removeActiveContent(const QByteArray& page);

// Applies removeActiveContent to the page file, replacing it in one step
// when anything was removed. Returns an empty string, or why it could not.
QString removeActiveContentOfFile(const QString& path);

} // namespace qp::webpage
