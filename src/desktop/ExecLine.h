#pragma once

#include <QString>
#include <QStringList>

namespace qp {

// The Exec= line of a desktop entry turned into the command line that starts
// the entry's program, as the desktop entry specification describes it:
// the quoting rules first, then the field codes. Nothing runs through a
// shell, so the result is the program and its arguments as they are.
struct ExecLine {
    // What the entry's other keys lend to the field codes.
    QString icon;      // Icon=, for %i
    QString name;      // Name=, for %c
    QString entryFile; // the entry's own file, for %k

    // Splits the value into words by the quoting rules (double quotes;
    // inside them \" \` \$ \\ stand for the character) and expands the field
    // codes: %u and %f become the first address, %U and %F one argument per
    // address, %i "--icon" and the icon (nothing without one), %c the name,
    // %k the entry's file, %% a single %; the deprecated codes (%d %D %n %N
    // %v %m) go. A word that was only a code which expanded to nothing goes
    // too. When the value holds no code for addresses, the addresses are
    // appended, so the program still gets them. An unterminated quote yields
    // an empty list.
    QStringList expand(const QString& exec, const QStringList& addresses = {}) const;
};

} // namespace qp
