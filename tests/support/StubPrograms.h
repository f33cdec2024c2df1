#pragma once

// A private desktop for tests that start programs: PATH, XDG_DATA_HOME and
// XDG_DATA_DIRS point into a temporary folder for the life of the object, so
// that only the stub programs and desktop entries written there are found.

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace qp::test {

class PrivateDesktop {
public:
    PrivateDesktop() {
        setEnvironment("PATH", bin());
        setEnvironment("XDG_DATA_HOME", path("home"));
        setEnvironment("XDG_DATA_DIRS", path("system"));
        for (const QString& folder : {bin(), homeApplications(), systemApplications()})
            QDir().mkpath(folder);
    }
    ~PrivateDesktop() {
        for (const auto& [name, value] : saved_)
            value ? qputenv(name.c_str(), *value) : qunsetenv(name.c_str());
    }
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    QString path(const QString& name) const { return QDir(root_.path()).filePath(name); }
    QString bin() const { return path("bin"); }
    QString homeApplications() const { return path("home/applications"); }
    QString systemApplications() const { return path("system/applications"); }

    // Replaces one of the variables until the end of the test.
    void setEnvironment(const char* name, const QString& value) {
        if (!saved_.count(name))
            saved_[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qputenv(name, value.toLocal8Bit());
    }

    // Writes an executable shell script; the body may use shell built-ins
    // only, since PATH holds nothing but the stubs.
    QString writeProgram(const QString& name, const QByteArray& body,
                         const QString& folder = {}) const {
        const QString file =
            writeFile(QDir(folder.isEmpty() ? bin() : folder).filePath(name), "#!/bin/sh\n" + body);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    // An xdg-mime that names the desktop entry for text/html, and fails when
    // asked anything else.
    void installXdgMime(const QByteArray& answer) const {
        writeProgram("xdg-mime", "[ \"$*\" = 'query default text/html' ] || exit 1\n"
                                 "printf '%s\\n' '" +
                                     answer + "'\n");
    }

    // A program that writes its argument count, its arguments and "END" into
    // a file, one per line. Returns the file.
    QString installRecorder(const QString& name, const QString& folder = {}) const {
        const QString output = path(name + ".args");
        writeProgram(name, "printf '%s\\n' \"$#\" \"$@\" END > '" + output.toLocal8Bit() + "'\n",
                     folder);
        return output;
    }

    // A recording "stub-browser" on PATH, associated with web pages; returns
    // its record file.
    QString installBrowser() const {
        installXdgMime("stub-browser.desktop");
        writeFile(homeApplications() + "/stub-browser.desktop",
                  "[Desktop Entry]\nType=Application\nExec=stub-browser %u\n");
        return installRecorder("stub-browser");
    }

    // Waits (bounded) until a recorder has written its file; returns the
    // recorded arguments, or nothing when it never ran.
    static std::optional<QStringList> waitForRecord(const QString& file) {
        QStringList lines;
        if (!QTest::qWaitFor(
                [&] {
                    lines = QString::fromLocal8Bit(readFile(file)).split('\n');
                    return lines.size() >= 3 && lines.endsWith("") &&
                           lines.at(lines.size() - 2) == "END";
                },
                30000))
            return std::nullopt;
        EXPECT_EQ(lines.first().toInt(), lines.size() - 3);
        return lines.mid(1, lines.size() - 3); // the arguments alone
    }

private:
    QTemporaryDir root_;
    std::map<std::string, std::optional<QByteArray>> saved_;
};

} // namespace qp::test
