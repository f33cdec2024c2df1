#pragma once

#include "Controls.h"
#include "engine/Conversion.h"

#include <QObject>
#include <QStringList>

namespace qp {

using engine::PageFormat;

// What the jobs are set to do, each value in this one place: the page format,
// the extensions that count as documents (in order), and the source and
// target folders of a batch job and whether it includes the subfolders. The
// windows show and edit it and hear of every change; the Mediator, the
// states and the converters read it. Values are kept exactly as given. Only
// the page format and the subfolder choice outlive the process, in the
// stored settings (desktop/Settings.h).
class JobSettings : public QObject, public ExtensionList {
    Q_OBJECT
public:
    // The extensions a fresh list holds: "doc".
    static QStringList defaultExtensions();

    PageFormat pageFormat() const { return pageFormat_; }
    void setPageFormat(PageFormat format);
    // Takes the stored page format.
    void loadPageFormat();
    // Stores the format and, once it is written, takes it. Returns false when
    // it could not be written; the settings and what is stored then stay as
    // they were.
    bool storePageFormat(PageFormat format);

    const QStringList& extensions() const { return extensions_; }
    void setExtensions(const QStringList& extensions);

    QString sourceFolder() const { return sourceFolder_; }
    void setSourceFolder(const QString& folder);
    QString targetFolder() const { return targetFolder_; }
    void setTargetFolder(const QString& folder);

    // Whether a batch job over the source folder also converts the documents
    // of its subfolders, each page into the same subfolder below the target.
    bool includeSubfolders() const { return includeSubfolders_; }
    void setIncludeSubfolders(bool include);
    // Takes the stored choice.
    void loadIncludeSubfolders();
    // Takes the choice and stores it; false when it could not be stored (it
    // holds for this process all the same).
    bool storeIncludeSubfolders(bool include);

    // ExtensionList over the extensions.
    int listCount() const override { return int(extensions_.size()); }
    QString list(int index) const override { return extensions_.value(index); }

signals:
    void pageFormatChanged(qp::engine::PageFormat format);
    void extensionsChanged(const QStringList& extensions);
    void sourceFolderChanged(const QString& folder);
    void targetFolderChanged(const QString& folder);
    void includeSubfoldersChanged(bool include);

private:
    PageFormat pageFormat_ = PageFormat::Full;
    QStringList extensions_ = defaultExtensions();
    QString sourceFolder_;
    QString targetFolder_;
    bool includeSubfolders_ = false;
};

} // namespace qp
