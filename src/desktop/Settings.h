#pragma once

#include <QString>

namespace qp {

// The one per-user setting: whether web pages are saved in the word
// processor's filtered form. Stored as "Filter" in the group "Options" of the
// application "quillpg": "1" filtered, "0" not filtered, "0" when absent.

// Any non-zero number counts as filtered; zero, an absent value and a text
// that is not a number count as not filtered.
bool storedFiltered();

// Stores "1" for filtered, "0" otherwise. Returns false when the choice could
// not be written (the settings file or its folder cannot be written); the
// stored value then stays as it was, also for this process.
bool storeFiltered(bool filtered);

// Whether a batch job over a folder includes its subfolders: "IncludeSubfolders"
// in the same group, "1" or "0", "0" when absent or not a number. Stored like
// "Filter": false when it could not be written, the stored value then staying
// as it was.
bool storedIncludeSubfolders();
bool storeIncludeSubfolders(bool include);

// The file the settings are stored in.
QString settingsFile();

// The stored text as it is, the default "0" when absent.
QString storedFilterText();

} // namespace qp
