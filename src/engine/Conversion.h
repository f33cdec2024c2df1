#pragma once

#include <QString>

#include <cstdint>

namespace qp::engine {

// The two kinds of web page the word processor saves.
enum class PageFormat {
    Full,     // "Not Filtered": the page with everything the word processor keeps
    Filtered, // "Filtered": the lean page
};

// One document to convert: the word processor opens `document` and saves it
// as a web page at `page`.
struct ConversionRequest {
    // The path the word processor opens; a bare name is looked up in
    // `openFolder`.
    QString document;
    // The folder the word processor opens documents from (its "file open
    // directory"), set before the open; empty: left as it is.
    QString openFolder;
    QString page;
    PageFormat format = PageFormat::Full;
};

// What became of a request.
struct ConversionResult {
    bool converted = false;
    // The page saved and the word processor's warnings about it, one a line.
    QString page;
    QString warnings;
    // A failure: the automation error number (0 for a failure without one),
    // its description and source.
    std::int32_t errorNumber = 0;
    QString errorText;
    QString errorSource;
    // From the word processor's first call for the document to its last.
    double seconds = 0;
};

} // namespace qp::engine
