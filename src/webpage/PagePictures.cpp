#include "PagePictures.h"
#include "TagAttributes.h"

#include "automation/AutomationError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace qp {

namespace {

using webpage::html::Attribute;
using webpage::html::isSpace;

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
        webpage::html::readAttributeValue(page, at, attribute);
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

bool isUrlAttribute(const QByteArray& attribute) {
    return attribute == "href" || attribute == "src" || attribute == "background" ||
           attribute == "lowsrc" || attribute == "longdesc" || attribute == "usemap" ||
           attribute == "data" || attribute == "action" || attribute == "cite";
}

bool isPictureLink(const QByteArray& tag, const QByteArray& attribute) {
    return (tag == "img" && attribute == "src") || attribute == "background";
}

} // namespace

PagePictures keepPicturesInFolder(const QByteArray& page, const QString& pageFolder) {
    return keepPicturesInFolder(page, PagePlaces{pageFolder, {}, {}});
}

PagePictures keepPicturesInFolder(const QByteArray& page, const PagePlaces& places) {
    PagePictures result;
    const QString folder = QDir(places.pageFolder).absolutePath();
    auto inside = [](const QString& path) {
        return path.isEmpty() ? QString() : QDir::cleanPath(path) + QLatin1Char('/');
    };
    const QString written = inside(places.writtenFolder);
    const QString mirror = inside(places.mirrorFolder);
    // How the office writes a link into the mirror folder: relative, through
    // its last segments, which hold the office's unguessable name.
    const QByteArray mirrorTail =
        mirror.section(QLatin1Char('/'), -4).toUtf8(); // "<office>.tmp/in/<id>/"
    const QStringList pageSegments = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // The link to the file that the rest of a link into the mirror folder
    // stands for, as the office writes a relative link: up to the folder the
    // two share, then down, each segment as the office wrote it.
    auto fromPage = [&](const QByteArray& rest) {
        const QList<QByteArray> raw = rest.split('/');
        qsizetype shared = 0;
        while (shared < pageSegments.size() && shared + 1 < raw.size() &&
               QUrl::fromPercentEncoding(raw[shared]) == pageSegments[shared])
            ++shared;
        QByteArray link;
        for (qsizetype up = shared; up < pageSegments.size(); ++up)
            link += "../";
        return link + raw.mid(shared).join('/');
    };
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
        if (!webpage::html::isAsciiLetter(page[open + 1])) {
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
            QByteArray value = attribute.value;
            // A link into the mirror folder is one to the file it stands for.
            const qsizetype tail = mirrorTail.isEmpty() || !isUrlAttribute(attribute.name)
                                       ? -1
                                       : value.indexOf(mirrorTail);
            if (QString shown; tail >= 0 && !staysInFolder(decodeEntities(value), folder, &shown) &&
                               shown.startsWith(mirror))
                value = fromPage(value.mid(tail + mirrorTail.size()));
            bool drop = false;
            if (isPictureLink(tag, attribute.name)) {
                QString shown;
                if (!staysInFolder(decodeEntities(value), folder, &shown)) {
                    // A picture the office wrote goes beside the page, under
                    // the name it gave it (the link's last segment, as written).
                    if (!written.isEmpty() && shown.startsWith(written) &&
                        !shown.mid(written.size()).contains(QLatin1Char('/'))) {
                        value = value.mid(value.lastIndexOf('/') + 1);
                    } else {
                        drop = true;
                        result.warnings << QStringLiteral("picture not found: %1").arg(shown);
                    }
                }
            }
            if (drop) {
                // Drop the attribute with the whitespace before it.
                qsizetype from = attribute.begin;
                while (from > nameEnd && isSpace(page[from - 1]))
                    --from;
                out += page.mid(copied, from - copied);
                copied = attribute.end;
                result.changed = true;
            } else if (value != attribute.value) {
                const qsizetype valueBegin = page.indexOf(attribute.value, attribute.begin);
                out += page.mid(copied, valueBegin - copied) + value;
                copied = valueBegin + attribute.value.size();
                result.changed = true;
            }
        }
        // Style and script bodies are not markup.
        if (tag == "style" || tag == "script") {
            const qsizetype close = page.indexOf("</" + tag, at);
            at = close < 0 ? size : close;
        }
    }
    if (!result.changed)
        out = page;
    else
        out += page.mid(copied);
    // A path below the mirror folder in the text (a field that shows where
    // the document lies) is the path it stands for.
    if (!mirror.isEmpty()) {
        if (const QByteArray prefix = mirror.chopped(1).toUtf8(); out.contains(prefix + '/')) {
            out.replace(prefix + '/', "/");
            result.changed = true;
        }
    }
    result.page = out;
    return result;
}

QStringList keepPicturesInFolderOfFile(const QString& pagePath, const PagePlaces& places) {
    QFile file(pagePath);
    PagePictures pictures;
    if (file.open(QIODevice::ReadOnly))
        pictures = keepPicturesInFolder(file.readAll(),
                                        places.pageFolder.isEmpty()
                                            ? PagePlaces{QFileInfo(pagePath).absolutePath(), {}, {}}
                                            : places);
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
