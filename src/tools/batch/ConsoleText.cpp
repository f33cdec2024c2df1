#include "ConsoleText.h"

#include "desktop/FileList.h"

#include <QHash>

namespace qp::batch {

namespace {

bool unsafe(char32_t c) {
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return true; // C0, DEL and C1 controls
    switch (c) {
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
    case 0x061c: // Arabic letter mark
    case 0x200e: // left-to-right mark
    case 0x200f: // right-to-left mark
        return true;
    default:
        // Bidirectional embeddings, overrides and isolates.
        return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
    }
}

bool hasUnsafe(const QString& text) {
    for (char32_t c : text.toUcs4())
        if (unsafe(c))
            return true;
    return false;
}

} // namespace

QString escapedName(const QString& name) {
    if (!hasUnsafe(name) && !name.startsWith(QLatin1String("$'")))
        return name;
    // The characters that have an escape of their own in the $'...' form.
    static const QHash<char32_t, QString> named{
        {U'\a', QStringLiteral("\\a")},  {U'\b', QStringLiteral("\\b")},
        {U'\t', QStringLiteral("\\t")},  {U'\n', QStringLiteral("\\n")},
        {U'\v', QStringLiteral("\\v")},  {U'\f', QStringLiteral("\\f")},
        {U'\r', QStringLiteral("\\r")},  {U'\'', QStringLiteral("\\'")},
        {U'\\', QStringLiteral("\\\\")},
    };
    QString shown = QStringLiteral("$'");
    for (char32_t c : name.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (const auto escape = named.constFind(c); escape != named.constEnd()) {
            shown += *escape;
        } else if (!unsafe(c)) {
            shown += character;
        } else {
            // Any other such character as the octal codes of its UTF-8 bytes.
            for (const char byte : character.toUtf8())
                shown += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        }
    }
    return shown + QLatin1Char('\'');
}

QString oneLine(const QString& text) {
    QString line;
    for (char32_t c : text.toUcs4())
        line += unsafe(c) ? QString(QLatin1Char(' ')) : QString::fromUcs4(&c, 1);
    return line;
}

QString convertedLine(const QString& source, const QString& page, const QString& warnings) {
    QString line = QStringLiteral("Converted %1 -> %2").arg(escapedName(source), escapedName(page));
    if (!warnings.isEmpty())
        line += QStringLiteral(" (%1)").arg(
            oneLine(QStringList(warnings.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                        .join(QLatin1String("; "))));
    return line;
}

QString failedLine(const QString& source, const QString& reason) {
    return QStringLiteral("Failed %1: %2").arg(escapedName(source), oneLine(reason));
}

} // namespace qp::batch
