#include "ExecLine.h"

namespace qp {

namespace {

// The words of an Exec value by the quoting rules; an unterminated quote
// yields nothing.
QStringList splitWords(const QString& exec) {
    QStringList words;
    QString current;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                current += exec[++i];
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << current;
            current.clear();
            inWord = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (quoted)
        return {};
    if (inWord)
        words << current;
    return words;
}

bool takesAddresses(QChar code) {
    return QStringLiteral("uUfF").contains(code);
}

} // namespace

QStringList ExecLine::expand(const QString& exec, const QStringList& addresses) const {
    const QStringList words = splitWords(exec);
    QStringList result;
    bool addressesUsed = false;
    for (const QString& word : words) {
        // The codes that stand for a list are whole words of their own.
        if (word == QLatin1String("%U") || word == QLatin1String("%F")) {
            result << addresses;
            addressesUsed = true;
            continue;
        }
        if (word == QLatin1String("%i")) {
            if (!icon.isEmpty())
                result << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        bool literal = word.isEmpty(); // an empty quoted argument stays
        for (qsizetype i = 0; i < word.size(); ++i) {
            const QChar c = word[i];
            if (c != QLatin1Char('%') || i + 1 == word.size()) {
                expanded += c;
                literal = true;
                continue;
            }
            const QChar code = word[++i];
            if (takesAddresses(code)) {
                expanded += addresses.value(0);
                addressesUsed = true;
            } else if (code == QLatin1Char('i')) {
                expanded += icon;
            } else if (code == QLatin1Char('c')) {
                expanded += name;
            } else if (code == QLatin1Char('k')) {
                expanded += entryFile;
            } else if (QStringLiteral("dDnNvm").contains(code)) {
                // deprecated: dropped
            } else {
                // "%%", or a percent sign that starts no code, stays text.
                expanded += c;
                if (code != QLatin1Char('%'))
                    expanded += code;
                literal = true;
            }
        }
        if (literal || !expanded.isEmpty())
            result << expanded;
    }
    if (!addressesUsed && !result.isEmpty())
        result << addresses;
    return result;
}

} // namespace qp
