#pragma once

#include <QString>

namespace qp {

// Finds a program the way a shell would, but stricter: a name with a slash
// must be an absolute path to an executable file; a bare name is looked up in
// the absolute folders of PATH, in order. Empty and relative PATH entries
// (which would mean the current folder) are skipped. Returns the full path,
// or an empty text when there is no such program.
QString findProgram(const QString& name);

} // namespace qp
