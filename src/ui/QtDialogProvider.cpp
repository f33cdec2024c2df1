#include "QtDialogProvider.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

QString qtPatterns(const QString& windowsPatterns) {
    QStringList patterns;
    for (const QString& pattern : windowsPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (!trimmed.isEmpty())
            patterns << anyCasePattern(trimmed);
    }
    return patterns.join(QLatin1Char(' '));
}

// The description without the pattern list it shows in parentheses, since
// Qt takes the patterns from the last parenthesised part of a name filter.
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

QString anyCasePattern(const QString& pattern) {
    QString result;
    for (const QChar c : pattern) {
        const QChar lower = c.toLower();
        const QChar upper = c.toUpper();
        if (c.isLetter() && lower != upper)
            result += QLatin1Char('[') + lower + upper + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    if (parts.size() == 1) {
        const QString patterns = qtPatterns(parts.front());
        if (!patterns.isEmpty())
            filters << patterns;
        return filters;
    }
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = qtPatterns(parts[i + 1]);
        if (patterns.isEmpty())
            continue;
        const QString description = bareDescription(parts[i]);
        filters << (description.isEmpty()
                        ? patterns
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

MessageAnswer QtDialogProvider::message(const MessageRequest& request) {
    QMessageBox box(qtIcon(request.icon), request.title, request.text, qtButtons(request.buttons),
                    ownerWidget(request.owner));
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

std::optional<QString> QtDialogProvider::file(const FileRequest& request) {
    QFileDialog dialog(ownerWidget(request.owner));
    const bool save = request.mode == FileRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Having to exist makes sense for a document to open only; a page to
    // save is usually new.
    dialog.setFileMode(!save && (request.flags & FileMustExist) ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
    const QStringList filters = qtNameFilters(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
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
    return chosen.front();
}

QString QtDialogProvider::folder(const FolderRequest& request) {
    const QString chosen = QFileDialog::getExistingDirectory(
        ownerWidget(request.owner), request.prompt, QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    // cleanPath drops a trailing separator but keeps the root folder "/".
    return QDir::cleanPath(chosen);
}

} // namespace qp
