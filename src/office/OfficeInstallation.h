#pragma once

#include <QString>

namespace qp::office {

// Finds the office installation by itself: the folder named by the optional
// QUILLPG_OFFICE_DIR variable, else the folder the build was made against,
// else the usual places. Returns the installation folder (the one holding
// program/soffice.bin), or an empty text when there is none.
QString findInstallation();

// Prepares this process to speak UNO with the office in the given
// installation: the bootstrap variables must be set before the local UNO
// context exists, or the first remote call crashes. Returns false when the
// local context cannot be created. Only the first successful call counts.
bool bootstrapUno(const QString& installation, QString* error);

} // namespace qp::office
