#pragma once

#include <QString>

namespace qp::office {

// The office runs its graphics self-test (seconds of processor time) at every
// start whose profile does not record that this version has run there
// before. The offices started here are mostly ended outright, so they never
// write that record themselves: it is written into the profile before each
// start instead.

// The installed office's version as its profile records it ("7.4"), read from
// the installation's own configuration (share/registry/main.xcd); empty when
// it cannot be read. Read once per installation.
QString installedOfficeVersion(const QString& installation);

// Merges the record "this version has run here" into the profile's
// user/registrymodifications.xcu, keeping every other item of the file; the
// file is replaced whole, never left half written, and not touched when it
// holds the record already. Returns false with the reason when it cannot.
bool recordOfficeVersion(const QString& profileDir, const QString& version, QString* error);

} // namespace qp::office
