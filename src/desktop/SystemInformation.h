#pragma once

#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace qp::SystemInformation {

// Starts the operating system's System Information tool, detached and
// without a shell. Returns false when there is no such tool or it could not
// be started; the caller tells the user.
//
// On Windows the tool is MSINFO32.EXE, found through the registry. Elsewhere
// it is the first program of candidates() that is found on PATH.
bool start();

// The graphical system-information programs tried, in order of preference:
// dedicated system-information viewers first, then the desktops' system
// monitors that carry a system overview page.
QStringList candidates();

// The full path of the tool that start() would run, or an empty text.
QString toolPath();

#ifdef Q_OS_WIN
// Reads one registry value as text: a string value as it is (without its
// terminating zero), a 32-bit number as "&h" and its hexadecimal digits.
// keyVal is emptied when the value cannot be read; returns true when it was.
bool GetKeyValue(HKEY keyRoot, const QString& keyName, const QString& subKeyRef, QString& keyVal);
#endif

} // namespace qp::SystemInformation
