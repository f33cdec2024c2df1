#pragma once

#include "platform/office/WordServer.h"

#include <QString>
#include <QStringList>

namespace qp::test {

// Options for an office of this test executable's own: a pipe name that no
// other test or build shares and a profile kept between runs in the build's
// test cache, so that only the first run pays for creating it.
office::OfficeOptions privateOfficeOptions(const QString& purpose = QString());

// The corpus of real documents, and one of its files.
QString corpusDir();
QString corpusFile(const QString& name);
// The documents of the corpus that the office cannot open at all.
const QStringList& unreadableCorpusDocuments();

} // namespace qp::test
