#include "PagePictures.h"

#include "automation/AutomationError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace qp {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// One attribute of a start tag: where it begins (after the whitespace before
// it), where it ends, and its value as written.
struct Attribute {
    QByteArray name; // lower case
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArray value;
};

// Reads the attributes of the start tag whose name ends at `at`; leaves `at`
// after the tag's closing '>'.
QList<Attribute> readAttributes(const QByteArray& page, qsizetype& at) {
    QList<Attribute> attributes;
    const qsizetype size = page.size();
    while (at < size) {
        while (at < size && isSpace(page[at]))
            ++at;
        if (at >= size)
            break;
        if (page[at] == '>') {
            ++at;
            break;
        }
        if (page[at] == '/') {
            ++at;
            continue;
        }
        Attribute attribute;
        attribute.begin = at;
        while (at < size && !isSpace(page[at]) && page[at] != '=' && page[at] != '>' &&
               page[at] != '/')
            ++at;
        attribute.name = page.mid(attribute.begin, at - attribute.begin).toLower();
        qsizetype look = at;
        while (look < size && isSpace(page[look]))
            ++look;
        if (look < size && page[look] == '=') {
            at = look + 1;
            while (at < size && isSpace(page[at]))
                ++at;
            if (at < size && (page[at] == '"' || page[at] == '\'')) {
                const char quote = page[at];
                const qsizetype close = page.indexOf(quote, at + 1);
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
        if (attribute.name.isEmpty()) {
            ++at; // a stray character: step over it
            continue;
        }
        attributes.append(attribute);
    }
    return attributes;
}

QString decodeEntities(const QByteArray& value) {
    QString text = QString::fromUtf8(value);
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

const QRegularExpression& drivePath() {
    // "C:\..." or "C:/..." at the start of the link or of one of its segments
    static const QRegularExpression pattern(QStringLiteral("(^|[/\\\\])([A-Za-z]:[/\\\\].*)$"));
    return pattern;
}

// The link as the user knows the picture: a drive path with backslashes, a
// local path as it is.
QString shownPath(const QString& path) {
    const auto match = drivePath().match(path);
    if (match.hasMatch())
        return match.captured(2).replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path;
}

// Whether a picture link stays where the page goes: on the web, or inside the
// page's folder. Sets `shown` to the picture's path for the warning otherwise.
bool staysInFolder(const QString& link, const QString& folder, QString* shown) {
    if (link.isEmpty() || link.startsWith(QLatin1Char('#')))
        return true;
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const auto match = scheme.match(link);
    QString path;
    if (match.hasMatch() && match.captured(1).size() > 1) {
        if (match.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return true; // http, https, ftp, data and the like
        path = QUrl(link).toLocalFile();
        if (path.isEmpty())
            path = QUrl::fromPercentEncoding(link.mid(5).toUtf8());
    } else if (link.startsWith(QLatin1String("//"))) {
        return true; // a web address without its scheme
    } else {
        QString local = link;
        const qsizetype cut = local.indexOf(QRegularExpression(QStringLiteral("[?#]")));
        if (cut >= 0)
            local.truncate(cut);
        path = QUrl::fromPercentEncoding(local.toUtf8());
    }
    if (path.startsWith(QLatin1String("\\\\")) || drivePath().match(path).hasMatch()) {
        *shown = shownPath(path);
        return false;
    }
    const QString resolved = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    const QString inside = QDir::cleanPath(folder) + QLatin1Char('/');
    if (resolved.startsWith(inside))
        return true;
    *shown = resolved;
    return false;
}

bool isPictureLink(const QByteArray& tag, const QByteArray& attribute) {
    return (tag == "img" && attribute == "src") || attribute == "background";
}

} // namespace

PagePictures keepPicturesInFolder(const QByteArray& page, const QString& pageFolder) {
    PagePictures result;
    const QString folder = QDir(pageFolder).absolutePath();
    QByteArray out;
    qsizetype copied = 0;
    qsizetype at = 0;
    const qsizetype size = page.size();
    while (true) {
        const qsizetype open = page.indexOf('<', at);
        if (open < 0 || open + 1 >= size)
            break;
        if (page.mid(open, 4) == "<!--") {
            const qsizetype close = page.indexOf("-->", open + 4);
            at = close < 0 ? size : close + 3;
            continue;
        }
        if (!isLetter(page[open + 1])) {
            at = open + 1;
            continue;
        }
        qsizetype nameEnd = open + 1;
        while (nameEnd < size && !isSpace(page[nameEnd]) && page[nameEnd] != '>' &&
               page[nameEnd] != '/')
            ++nameEnd;
        const QByteArray tag = page.mid(open + 1, nameEnd - open - 1).toLower();
        at = nameEnd;
        const QList<Attribute> attributes = readAttributes(page, at);
        for (const Attribute& attribute : attributes) {
            if (!isPictureLink(tag, attribute.name))
                continue;
            QString shown;
            if (staysInFolder(decodeEntities(attribute.value), folder, &shown))
                continue;
            // Drop the attribute with the whitespace before it.
            qsizetype from = attribute.begin;
            while (from > nameEnd && isSpace(page[from - 1]))
                --from;
            out += page.mid(copied, from - copied);
            copied = attribute.end;
            result.warnings << QStringLiteral("picture not found: %1").arg(shown);
            result.changed = true;
        }
        // Style and script bodies are not markup.
        if (tag == "style" || tag == "script") {
            const qsizetype close = page.indexOf("</" + tag, at);
            at = close < 0 ? size : close;
        }
    }
    if (!result.changed) {
        result.page = page;
        return result;
    }
    out += page.mid(copied);
    result.page = out;
    return result;
}

QStringList keepPicturesInFolderOfFile(const QString& pagePath) {
    QFile file(pagePath);
    PagePictures pictures;
    if (file.open(QIODevice::ReadOnly))
        pictures = keepPicturesInFolder(file.readAll(), QFileInfo(pagePath).absolutePath());
    QString error = file.error() == QFileDevice::NoError ? QString() : file.errorString();
    file.close();
    if (error.isEmpty() && !pictures.changed)
        return {};
    if (error.isEmpty()) {
        QSaveFile rewritten(pagePath);
        if (rewritten.open(QIODevice::WriteOnly) && rewritten.write(pictures.page) >= 0 &&
            rewritten.commit())
            return pictures.warnings;
        error = rewritten.errorString();
    }
    // A page whose links cannot be checked is not handed out.
    QFile::remove(pagePath);
    throw AutomationError(
        ErrorNumber::PermissionDenied,
        QStringLiteral("The web page could not be checked: %1 (%2)").arg(pagePath, error),
        QStringLiteral("Word.Application"));
}

} // namespace qp
