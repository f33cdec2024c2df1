#pragma once

#include <QString>
#include <QStringList>

namespace qp::WebBrowser {

// Opens web addresses in the program that the desktop associates with web
// pages. The program is found through the freedesktop.org conventions:
// `xdg-mime query default text/html` names a desktop entry, the entry is
// looked up in the XDG data folders, and the program of its Exec= line is
// resolved on PATH. The entry's whole command line is then started detached,
// its field codes expanded with the address, so that an entry that starts a
// wrapper ("env VAR=x browser %u", "flatpak run ... %u") works. Nothing runs
// through a shell and no file is written.

enum class Result {
    Started,    // the browser program was started
    NoBrowser,  // no program is associated with web pages, or it is missing
    StartFailed // the program was found but could not be started
};

Result open(const QString& url);

// The full path of the associated browser program, or an empty text.
QString associatedBrowser();

// The pieces of the search, in the order open() uses them.

// The desktop entry that xdg-mime names for text/html (for example
// "firefox.desktop"), or an empty text when xdg-mime is missing, fails, does
// not answer in time or names nothing usable.
QString defaultDesktopEntry();

// The folders searched for desktop entries, most important first:
// $XDG_DATA_HOME/applications (default ~/.local/share), then each folder of
// $XDG_DATA_DIRS/applications (default /usr/local/share:/usr/share). Unset,
// empty and relative settings are ignored.
QStringList applicationFolders();

// The file of the desktop entry with that id, or an empty text. An id names
// a file below an applications folder, with "-" standing for the folder
// separator of entries kept in subfolders ("kde4-browser.desktop" may be
// kde4/browser.desktop).
QString findDesktopEntry(const QString& id);

// The value of a key in the [Desktop Entry] group of the file, with the
// string escapes (\s, \n, \t, \r, \\) decoded; empty when there is none.
QString valueOfDesktopEntry(const QString& path, const QString& key);
// The value of its Exec key.
QString execOfDesktopEntry(const QString& path);

// Splits an Exec value into its arguments by the desktop-entry quoting rules
// (see ExecLine) with no address to fill in: the field codes for addresses
// drop out, "%%" becomes "%". An unterminated quote yields an empty list.
QStringList splitExec(const QString& exec);

// The program named by an Exec value: its first argument after splitExec.
QString programOfExec(const QString& exec);

// The command line that opens the address with the entry: its Exec line
// expanded (see ExecLine), the program resolved on PATH. Empty when the entry
// has no Exec line or its program is not found.
QStringList commandOfDesktopEntry(const QString& path, const QString& url);

} // namespace qp::WebBrowser
