#pragma once

#include <QString>
#include <QStringList>

namespace qp {

// The record of the document a one-document job converts, and of the
// documents a batch job over chosen documents converts (the folders are job
// settings). It stores exactly what it is given: no value is checked or
// normalised, and nothing is cleared by itself.
class JobPaths {
public:
    QString SourceFile;

    void SetSourceFile(const QString& file) { SourceFile = file; }
    QString GetSourceFile() const { return SourceFile; }

    // Empty: a batch job converts the source folder.
    QStringList SourceDocuments;
};

} // namespace qp
