#include "WebBrowser.h"

#include "ExecLine.h"
#include "ProgramSearch.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace qp::WebBrowser {

namespace {

// Decodes the escapes that every string value of a desktop entry may hold.
QString decodeValue(const QString& raw) {
    QString value;
    value.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            value += c;
            continue;
        }
        const QChar next = raw[++i];
        switch (next.unicode()) {
        case 's':
            value += QLatin1Char(' ');
            break;
        case 'n':
            value += QLatin1Char('\n');
            break;
        case 't':
            value += QLatin1Char('\t');
            break;
        case 'r':
            value += QLatin1Char('\r');
            break;
        case '\\':
            value += QLatin1Char('\\');
            break;
        default:
            // Not a string escape: the Exec quoting rules still need it.
            value += c;
            value += next;
            break;
        }
    }
    return value;
}

bool usableDesktopId(const QString& id) {
    return id.endsWith(QLatin1String(".desktop")) && id.size() > 8 &&
           !id.contains(QLatin1Char('/')) && !id.contains(QChar(0));
}

void addDataFolder(QStringList& folders, const QString& dataDir) {
    if (dataDir.isEmpty() || !QDir::isAbsolutePath(dataDir))
        return;
    const QString folder = QDir::cleanPath(dataDir + QLatin1String("/applications"));
    if (!folders.contains(folder))
        folders << folder;
}

} // namespace

QString defaultDesktopEntry() {
    const auto lines = defaultApplicationsFor(QStringLiteral("text/html"));
    if (!lines)
        return {};
    for (const QString& line : lines->split(QLatin1Char('\n'))) {
        const QString id = line.trimmed();
        if (id.isEmpty())
            continue;
        return usableDesktopId(id) ? id : QString();
    }
    return {};
}

QStringList applicationFolders() {
    QStringList folders;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QLatin1String("/.local/share");
    addDataFolder(folders, dataHome);

    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        addDataFolder(folders, dir);
    return folders;
}

QString findDesktopEntry(const QString& id) {
    if (!usableDesktopId(id))
        return {};
    const QStringList folders = applicationFolders();
    for (const QString& folder : folders) {
        QString direct = QDir(folder).filePath(id);
        if (QFileInfo(direct).isFile())
            return direct;
        // Entries in subfolders: their id is the relative path with "-" for
        // each separator.
        QDirIterator entries(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            QString path = entries.next();
            QString relative = QDir(folder).relativeFilePath(path);
            if (relative.contains(QLatin1Char('/')) &&
                relative.replace(QLatin1Char('/'), QLatin1Char('-')) == id)
                return path;
        }
    }
    return {};
}

QString valueOfDesktopEntry(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            // Only the main group counts; actions have Exec lines of their own.
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != key)
            continue;
        return decodeValue(line.mid(equals + 1).trimmed());
    }
    return {};
}

QString execOfDesktopEntry(const QString& path) {
    return valueOfDesktopEntry(path, QStringLiteral("Exec"));
}

QStringList splitExec(const QString& exec) {
    return ExecLine{}.expand(exec);
}

QString programOfExec(const QString& exec) {
    const QStringList arguments = splitExec(exec);
    return arguments.isEmpty() ? QString() : arguments.first();
}

QStringList commandOfDesktopEntry(const QString& path, const QString& url) {
    ExecLine line;
    line.icon = valueOfDesktopEntry(path, QStringLiteral("Icon"));
    line.name = valueOfDesktopEntry(path, QStringLiteral("Name"));
    line.entryFile = path;
    QStringList command = line.expand(execOfDesktopEntry(path), {url});
    if (command.isEmpty())
        return {};
    const QString program = findProgram(command.first());
    if (program.isEmpty())
        return {};
    command.first() = program;
    return command;
}

QString browserEntry() {
    const QString id = defaultDesktopEntry();
    return id.isEmpty() ? QString() : findDesktopEntry(id);
}

QString associatedBrowser() {
    const QString entry = browserEntry();
    if (entry.isEmpty())
        return {};
    return findProgram(programOfExec(execOfDesktopEntry(entry)));
}

Result open(const QString& url) {
    const QString entry = browserEntry();
    const QStringList command = entry.isEmpty() ? QStringList() : commandOfDesktopEntry(entry, url);
    if (command.isEmpty())
        return Result::NoBrowser;
    return QProcess::startDetached(command.first(), command.mid(1)) ? Result::Started
                                                                    : Result::StartFailed;
}

} // namespace qp::WebBrowser
