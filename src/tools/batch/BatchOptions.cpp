#include "BatchOptions.h"

#include "office/OfficeSession.h"

#include <algorithm>

namespace qp::batch {

QString usageText() {
    return QStringLiteral(
        "Usage: quillpg-batch [options] SOURCE_FOLDER TARGET_FOLDER\n"
        "Converts every document of SOURCE_FOLDER into a web page in TARGET_FOLDER,\n"
        "as the Batch Documents dialog of Quillpage does.\n"
        "\n"
        "  --filtered          save the filtered (lean, standards-only) web page\n"
        "  --not-filtered      save the full web page\n"
        "                      (default: the setting of the Quillpage window)\n"
        "  --self-contained    one file per page: its pictures inside it as data: URIs\n"
        "                      (PNG, JPEG or GIF) instead of files beside it; pictures\n"
        "                      that a document only links stay links\n"
        "  --extension EXT     convert files with this extension; repeatable,\n"
        "                      replaces the default list \"doc\"\n"
        "  --timeout SECONDS   give up on one document after this long (default 120)\n"
        "  --office-memory SIZE\n"
        "                      end the office at once when it holds more than SIZE of\n"
        "                      memory (300M, 1.5G; at least 256M) and fail its document;\n"
        "                      default: $QUILLPG_OFFICE_MEMORY, else 2G or a quarter of\n"
        "                      the machine's memory, whichever is less\n"
        "  --jobs N            convert N documents at once, each in an office of its own;\n"
        "                      the largest documents first. --jobs auto: one office per\n"
        "                      processor core, as many as their memory ceilings allow in\n"
        "                      the memory available\n"
        "  --shard I/N         convert only the I-th (1..N) of N interleaved slices of the\n"
        "                      documents, to spread one folder over several machines\n"
        "  --recursive         convert the whole tree below SOURCE_FOLDER, each page into\n"
        "                      the same subfolder of TARGET_FOLDER (made as needed); page\n"
        "                      names are decided per folder. Symbolic links to folders\n"
        "                      are not followed; hidden files and folders are left out\n"
        "  --follow-links      convert documents that are symbolic links leading outside\n"
        "                      SOURCE_FOLDER too (without it they fail: \"the link leads\n"
        "                      outside the source folder\")\n"
        "  --skip-unchanged    do not convert a document whose page in TARGET_FOLDER is\n"
        "                      newer than the document; it is reported \"unchanged\"\n"
        "  --report FILE       write one JSON object per line to FILE (\"-\": standard\n"
        "                      output, the usual lines then go to standard error) for\n"
        "                      each document as it finishes: kind (document), source,\n"
        "                      page, status (converted, failed, unchanged), reason,\n"
        "                      warnings, error (the office's error number), seconds,\n"
        "                      bytes (page and pictures), renamed (the page's name when\n"
        "                      it differs from the document's own, as after a name\n"
        "                      collision); for a folder that cannot be read: kind\n"
        "                      (folder), source, status (failed), reason; then one\n"
        "                      closing object with the counts (converted, failed,\n"
        "                      unchanged, not_converted, folders_not_read, ended_by).\n"
        "                      A regular FILE grows in FILE.partial and replaces FILE\n"
        "                      when the run ends. A name that is not valid UTF-8 has\n"
        "                      each such byte as U+FFFD in source and page, and its\n"
        "                      exact bytes in source_base64 and page_base64\n"
        "  --help              show this text\n"
        "  --version           show the version\n"
        "\n"
        "Exit status: 0 every document converted, 1 some failed (or the run was stopped,\n"
        "or a folder of the tree could not be read), 2 bad usage, a folder that cannot\n"
        "be used or a report that cannot be written, 3 no document with the listed\n"
        "extensions in SOURCE_FOLDER (standard error says what it holds instead).\n");
}

namespace {
bool positiveNumber(const QString& text, int* value) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1)
        return false;
    *value = number;
    return true;
}
} // namespace

std::optional<BatchOptions> parseOptions(const QStringList& arguments, QString* error) {
    BatchOptions options;
    QStringList positional;
    bool extensionsGiven = false;
    auto fail = [error](const QString& message) {
        *error = message;
        return std::nullopt;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&](QString* out) {
            if (i + 1 >= arguments.size())
                return false;
            *out = arguments[++i];
            return true;
        };
        QString text;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--filtered")) {
            options.filtered = true;
        } else if (arg == QLatin1String("--not-filtered")) {
            options.filtered = false;
        } else if (arg == QLatin1String("--self-contained")) {
            options.selfContained = true;
        } else if (arg == QLatin1String("--extension")) {
            if (!value(&text) || text.isEmpty())
                return fail(QStringLiteral("--extension needs an extension, such as doc"));
            if (!extensionsGiven)
                options.extensions.clear();
            extensionsGiven = true;
            options.extensions << text;
        } else if (arg == QLatin1String("--timeout")) {
            if (!value(&text) || !positiveNumber(text, &options.timeoutSeconds))
                return fail(QStringLiteral("--timeout needs a whole number of seconds above 0"));
        } else if (arg == QLatin1String("--office-memory")) {
            const auto size = value(&text) ? office::parseMemorySize(text) : std::nullopt;
            if (!size)
                return fail(QStringLiteral("--office-memory needs a size of at least 256M, such "
                                           "as 1500M or 2G"));
            options.officeMemory = *size;
        } else if (arg == QLatin1String("--jobs")) {
            if (value(&text) && text == QLatin1String("auto"))
                options.jobs = office::automaticOfficeCount(
                    options.officeMemory > 0 ? options.officeMemory
                                             : office::officeMemoryLimitFromEnvironment());
            else if (text.isEmpty() || !positiveNumber(text, &options.jobs))
                return fail(QStringLiteral("--jobs needs a whole number above 0, or auto"));
        } else if (arg == QLatin1String("--report")) {
            if (!value(&text) || text.isEmpty())
                return fail(QStringLiteral("--report needs a file name, or - for standard output"));
            options.report = text;
        } else if (arg == QLatin1String("--recursive")) {
            options.recursive = true;
        } else if (arg == QLatin1String("--skip-unchanged")) {
            options.skipUnchanged = true;
        } else if (arg == QLatin1String("--follow-links")) {
            options.followLinks = true;
        } else if (arg == QLatin1String("--shard")) {
            const QStringList parts = value(&text) ? text.split(QLatin1Char('/')) : QStringList();
            if (parts.size() != 2 || !positiveNumber(parts[0], &options.shardIndex) ||
                !positiveNumber(parts[1], &options.shardCount) ||
                options.shardIndex > options.shardCount)
                return fail(QStringLiteral("--shard needs I/N with 1 <= I <= N, such as 1/4"));
        } else if (arg == QLatin1String("--")) {
            positional << arguments.mid(i + 1);
            break;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        } else {
            positional << arg;
        }
    }
    if (options.help || options.version)
        return options;
    if (positional.size() != 2)
        return fail(positional.size() < 2
                        ? QStringLiteral("a SOURCE_FOLDER and a TARGET_FOLDER are needed")
                        : QStringLiteral("too many arguments: %1")
                              .arg(positional.mid(2).join(QLatin1Char(' '))));
    if (options.jobs > 1 && options.shardCount > 1)
        return fail(QStringLiteral("--jobs and --shard cannot be combined"));
    options.source = positional[0];
    options.target = positional[1];
    return options;
}

} // namespace qp::batch
