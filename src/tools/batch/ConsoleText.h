#pragma once

#include <QString>
#include <QStringList>

namespace qp::batch {

// A file name as quillpg-batch prints it. Names are printed as they are,
// unless one holds a character that could split the line or make the
// terminal show something else (control characters, line and paragraph
// separators, bidirectional overrides): such a name is printed whole in the
// shell's $'...' form, as ls shows it, e.g. $'a\nb.doc', which the shell
// reads back as the very name. A name that merely starts with $' is printed
// in that form too, so that a printed name starting with $' is always one.
QString escapedName(const QString& name);

// Free text, such as an office's reason for a failure, on one line: each
// such character becomes a space.
QString oneLine(const QString& text);

// "Converted SOURCE -> PAGE", with the page's warnings (one a line) after it
// in parentheses when it has any, and "Failed SOURCE: REASON".
QString convertedLine(const QString& source, const QString& page,
                      const QString& warnings = QString());
QString failedLine(const QString& source, const QString& reason);

} // namespace qp::batch
