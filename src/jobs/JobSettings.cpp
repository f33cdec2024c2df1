#include "JobSettings.h"

#include "desktop/Settings.h"

namespace qp {

QStringList JobSettings::defaultExtensions() {
    return {QStringLiteral("doc")};
}

void JobSettings::setPageFormat(PageFormat format) {
    if (format == pageFormat_)
        return;
    pageFormat_ = format;
    emit pageFormatChanged(format);
}

void JobSettings::loadPageFormat() {
    setPageFormat(storedFiltered() ? PageFormat::Filtered : PageFormat::Full);
}

bool JobSettings::storePageFormat(PageFormat format) {
    if (!storeFiltered(format == PageFormat::Filtered))
        return false;
    setPageFormat(format);
    return true;
}

void JobSettings::setExtensions(const QStringList& extensions) {
    if (extensions == extensions_)
        return;
    extensions_ = extensions;
    emit extensionsChanged(extensions_);
}

void JobSettings::setSourceFolder(const QString& folder) {
    if (folder == sourceFolder_)
        return;
    sourceFolder_ = folder;
    emit sourceFolderChanged(folder);
}

void JobSettings::setTargetFolder(const QString& folder) {
    if (folder == targetFolder_)
        return;
    targetFolder_ = folder;
    emit targetFolderChanged(folder);
}

void JobSettings::setIncludeSubfolders(bool include) {
    if (include == includeSubfolders_)
        return;
    includeSubfolders_ = include;
    emit includeSubfoldersChanged(include);
}

void JobSettings::loadIncludeSubfolders() {
    setIncludeSubfolders(storedIncludeSubfolders());
}

bool JobSettings::storeIncludeSubfolders(bool include) {
    setIncludeSubfolders(include);
    return qp::storeIncludeSubfolders(include);
}

ExtensionList& WindowPort::extensionList() {
    return settings();
}

} // namespace qp
