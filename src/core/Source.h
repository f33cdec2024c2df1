#pragma once

#include <QString>

namespace qp {

// The record of the paths a job works with. It stores exactly what it is
// given: no value is checked or normalised, and nothing is cleared by itself.
class Source {
public:
    QString TgtFolder;
    QString SrcFolder;
    QString SrcFile;

    void SetSourceFolder(const QString& folder) { SrcFolder = folder; }
    QString GetSourceFolder() const { return SrcFolder; }
    void SetTgtFolder(const QString& folder) { TgtFolder = folder; }
    QString GetTgtFolder() const { return TgtFolder; }
    void SetSourceFile(const QString& file) { SrcFile = file; }
    QString GetSourceFile() const { return SrcFile; }
};

} // namespace qp
