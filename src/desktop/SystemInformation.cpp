#include "SystemInformation.h"

#include "ProgramSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace qp::SystemInformation {

QStringList candidates() {
    return {
        QStringLiteral("hardinfo2"),            // System Information and Benchmark
        QStringLiteral("hardinfo"),             // its predecessor
        QStringLiteral("kinfocenter"),          // KDE Info Center
        QStringLiteral("cpu-x"),                // processor, board, memory and system pages
        QStringLiteral("gnome-system-monitor"), // GNOME; has a System page
        QStringLiteral("mate-system-monitor"),  // MATE; has a System page
    };
}

#ifdef Q_OS_WIN

bool GetKeyValue(HKEY keyRoot, const QString& keyName, const QString& subKeyRef, QString& keyVal) {
    // Reading needs no more than the right to query values; asking for write
    // rights below HKEY_LOCAL_MACHINE fails for ordinary users.
    HKEY key = nullptr;
    if (RegOpenKeyExW(keyRoot, reinterpret_cast<LPCWSTR>(keyName.utf16()), 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    BYTE buffer[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    const LONG status = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(subKeyRef.utf16()), nullptr,
                                         &type, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    if (type == REG_SZ) {
        QString text = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(buffer),
                                               int(size / sizeof(wchar_t)));
        if (text.endsWith(QChar(0)))
            text.chop(1);
        keyVal = text;
    } else if (type == REG_DWORD) {
        QString digits = QStringLiteral("&h");
        for (int i = int(size) - 1; i >= 0; --i)
            digits += QString::number(buffer[i], 16).rightJustified(2, QLatin1Char('0')).toUpper();
        keyVal = digits;
    }
    return true;
}

QString toolPath() {
    QString path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                    QStringLiteral("PATH"), path))
        return path;
    if (!GetKeyValue(HKEY_LOCAL_MACHINE,
                     QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                     QStringLiteral("MSINFO"), path))
        return {};
    const QString tool = QDir(path).filePath(QStringLiteral("MSINFO32.EXE"));
    return QFileInfo::exists(tool) ? tool : QString();
}

#else

QString toolPath() {
    const QStringList names = candidates();
    for (const QString& name : names) {
        QString path = findProgram(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

#endif

bool start() {
    const QString path = toolPath();
    return !path.isEmpty() && QProcess::startDetached(path, {});
}

} // namespace qp::SystemInformation
