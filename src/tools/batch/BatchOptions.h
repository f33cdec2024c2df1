#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace qp::batch {

// What the command line asks for.
struct BatchOptions {
    QString source;
    QString target;
    std::optional<bool> filtered; // unset: the window application's stored setting
    bool selfContained = false;   // pictures inside the page as data: URIs
    QStringList extensions{QStringLiteral("doc")};
    int timeoutSeconds = 120;
    qint64 officeMemory = 0;    // bytes; 0: QUILLPG_OFFICE_MEMORY, else the default
    int jobs = 1;               // --jobs auto: the number of cores
    QString report;             // --report FILE, "-" for standard output; empty: none
    bool recursive = false;     // the whole tree below the source folder
    bool skipUnchanged = false; // leave documents whose page is newer
    bool followLinks = false;   // convert what links lead to, wherever it lies
    int shardIndex = 1;         // 1-based
    int shardCount = 1;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; on bad usage returns nothing
// and sets the message.
std::optional<BatchOptions> parseOptions(const QStringList& arguments, QString* error);

QString usageText();

} // namespace qp::batch
