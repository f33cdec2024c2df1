#pragma once

#include <QString>

namespace qp {

// The record of the paths a job works with. It stores exactly what it is
// given: no value is checked or normalised, and nothing is cleared by itself.
class JobPaths {
public:
    QString TargetFolder;
    QString SourceFolder;
    QString SourceFile;

    void SetSourceFolder(const QString& folder) { SourceFolder = folder; }
    QString GetSourceFolder() const { return SourceFolder; }
    void SetTargetFolder(const QString& folder) { TargetFolder = folder; }
    QString GetTargetFolder() const { return TargetFolder; }
    void SetSourceFile(const QString& file) { SourceFile = file; }
    QString GetSourceFile() const { return SourceFile; }
};

} // namespace qp
