#pragma once

#include "automation/Variant.h"
#include "office/WordServer.h"

#include <QString>
#include <QStringList>

namespace qp::test {

// Options for an office of this test's own: a random pipe name of its own and
// a free profile slot in the build's test cache, kept between runs so that
// only the first run pays for creating it.
office::OfficeOptions privateOfficeOptions();

// The corpus of real documents, and one of its files.
QString corpusDir();
QString corpusFile(const QString& name);
// The documents of the corpus that the office cannot open at all.
const QStringList& unreadableCorpusDocuments();

// The batch converter's SaveAs call: saves the word processor's active
// document as a web page of the given format (8 full, 10 filtered) and
// returns what SaveAs returns (its warnings, or nothing).
Variant saveActiveDocument(const ObjectRef& word, const QString& page, int format);

} // namespace qp::test
