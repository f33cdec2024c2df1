#include "QtDialogProvider.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace qp {

namespace {

QWidget* ownerWidget(QObject* owner) {
    if (auto* widget = qobject_cast<QWidget*>(owner))
        return widget->window();
    return nullptr;
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

// What a box closed without a button (Escape, close box) answers: the
// negative choice it offers.
MessageAnswer dismissedAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::Ok:
        break;
    }
    return MessageAnswer::Ok;
}

// The patterns of one entry, ";" or " " between them.
QStringList patternList(const QString& patterns, QChar separator) {
    QStringList list;
    for (const QString& pattern : patterns.split(separator, Qt::SkipEmptyParts))
        if (!pattern.trimmed().isEmpty())
            list << pattern.trimmed();
    return list;
}

// The patterns that a description names in its last parentheses, which is
// where Qt reads them from a name filter.
QStringList describedPatterns(const QString& description) {
    const QString text = description.trimmed();
    const qsizetype open = text.lastIndexOf(QLatin1Char('('));
    if (!text.endsWith(QLatin1Char(')')) || open < 0)
        return {};
    return patternList(text.mid(open + 1, text.size() - open - 2), QLatin1Char(' '));
}

bool samePatternsInAnyCase(QStringList a, QStringList b) {
    for (QStringList* list : {&a, &b}) {
        for (QString& pattern : *list)
            pattern = pattern.toLower();
        list->sort();
    }
    return a == b;
}

// The description without the pattern list it shows in parentheses.
QString bareDescription(const QString& description) {
    QString text = description.trimmed();
    if (text.endsWith(QLatin1Char(')'))) {
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            text = text.left(open).trimmed();
    }
    return text;
}

} // namespace

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    if (parts.size() == 1) {
        const QString patterns = patternList(parts.front(), QLatin1Char(';')).join(' ');
        if (!patterns.isEmpty())
            filters << patterns;
        return filters;
    }
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = patternList(parts[i + 1], QLatin1Char(';'));
        if (patterns.isEmpty())
            continue;
        // "All WordPerfect documents (*.doc)|*.DOC" reads as it is written.
        if (samePatternsInAnyCase(describedPatterns(parts[i]), patterns)) {
            filters << parts[i].trimmed();
            continue;
        }
        const QString description = bareDescription(parts[i]);
        const QString joined = patterns.join(QLatin1Char(' '));
        filters << (description.isEmpty()
                        ? joined
                        : description + QStringLiteral(" (") + joined + QLatin1Char(')'));
    }
    return filters;
}

MessageAnswer QtDialogProvider::message(const MessageRequest& request) {
    QMessageBox box(qtIcon(request.icon), request.title, request.text, qtButtons(request.buttons),
                    ownerWidget(request.owner));
    // Messages name files and folders and quote reasons: text, never markup
    // (a folder named "<h1>x" is no heading).
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(request.informativeText);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return dismissedAnswer(request.buttons);
    }
}

namespace {
// The file dialog for the request; with `several` an open dialog in which
// several existing files may be chosen. Nothing when cancelled.
std::optional<QStringList> chooseFiles(const FileRequest& request, bool several) {
    QFileDialog dialog(ownerWidget(request.owner));
    const bool save = request.mode == FileRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Having to exist makes sense for a document to open only; a page to
    // save is usually new.
    if (!save && several)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(!save && (request.flags & FileMustExist) ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    const QStringList filters = qtNameFilters(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    // Patterns match in any letter case: "*.doc" finds REPORT.DOC too.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!request.fileName.isEmpty()) {
        const QFileInfo proposed(request.fileName);
        if (request.fileName.contains(QLatin1Char('/')))
            dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}
} // namespace

std::optional<QString> QtDialogProvider::file(const FileRequest& request) {
    if (const std::optional<QStringList> chosen = chooseFiles(request, false))
        return chosen->front();
    return std::nullopt;
}

std::optional<QStringList> QtDialogProvider::severalFiles(const FileRequest& request) {
    return chooseFiles(request, true);
}

QString nearestExistingFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return {};
    QFileInfo info(QDir::cleanPath(folder));
    while (!info.isDir()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return {};
        info = QFileInfo(parent);
    }
    return info.absoluteFilePath();
}

QString QtDialogProvider::folder(const FolderRequest& request) {
    // Without a folder to start in, the chooser opens where the last file
    // dialog was.
    const QString chosen = QFileDialog::getExistingDirectory(
        ownerWidget(request.owner), request.prompt, nearestExistingFolder(request.startFolder),
        QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    // cleanPath drops a trailing separator but keeps the root folder "/".
    return QDir::cleanPath(chosen);
}

} // namespace qp
