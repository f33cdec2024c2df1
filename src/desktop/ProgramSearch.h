#pragma once

#include <QString>

#include <optional>

namespace qp {

// Finds a program the way a shell would, but stricter: a name with a slash
// must be an absolute path to an executable file; a bare name is looked up in
// the absolute folders of PATH, in order. Empty and relative PATH entries
// (which would mean the current folder) are skipped. Returns the full path,
// or an empty text when there is no such program.
QString findProgram(const QString& name);

// What `xdg-mime query default TYPE` names: the desktop entries of the
// programs that open that type, one per line, empty when none does. No
// answer (nullopt) when xdg-mime is missing, fails or takes over five
// seconds; it is a small shell script.
std::optional<QString> defaultApplicationsFor(const QString& mimeType);

} // namespace qp
