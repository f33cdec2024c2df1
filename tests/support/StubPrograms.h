#pragma once

// A private desktop for tests that start programs: PATH, XDG_DATA_HOME and
// XDG_DATA_DIRS point into a temporary folder for the life of the object, so
// that only the stub programs and desktop entries written there are found.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qp::test {

class PrivateDesktop {
public:
    PrivateDesktop() {
        EXPECT_TRUE(root_.isValid());
        QDir(root_.path()).mkpath(QStringLiteral("bin"));
        QDir(root_.path()).mkpath(QStringLiteral("home/applications"));
        QDir(root_.path()).mkpath(QStringLiteral("system/applications"));
        setEnvironment("PATH", bin());
        setEnvironment("XDG_DATA_HOME", path(QStringLiteral("home")));
        setEnvironment("XDG_DATA_DIRS", path(QStringLiteral("system")));
    }

    ~PrivateDesktop() {
        for (const Saved& saved : saved_) {
            if (saved.value)
                qputenv(saved.name, *saved.value);
            else
                qunsetenv(saved.name);
        }
    }

    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    QString path(const QString& name) const { return QDir(root_.path()).filePath(name); }
    QString bin() const { return path(QStringLiteral("bin")); }
    QString homeApplications() const { return path(QStringLiteral("home/applications")); }
    QString systemApplications() const { return path(QStringLiteral("system/applications")); }

    // Replaces one of the variables until the end of the test.
    void setEnvironment(const char* name, const QString& value) {
        bool known = false;
        for (const Saved& saved : saved_)
            known = known || saved.name == name;
        if (!known) {
            saved_.push_back({name, qEnvironmentVariableIsSet(name)
                                        ? std::optional<QByteArray>(qgetenv(name))
                                        : std::nullopt});
        }
        qputenv(name, value.toLocal8Bit());
    }

    // Writes an executable shell script; the body may use shell built-ins
    // only, since PATH holds nothing but the stubs.
    QString writeProgram(const QString& name, const QByteArray& body,
                         const QString& folder = {}) const {
        const QString file = QDir(folder.isEmpty() ? bin() : folder).filePath(name);
        writeText(file, "#!/bin/sh\n" + body);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    // An xdg-mime that names the desktop entry for text/html, and fails when
    // asked anything else.
    void installXdgMime(const QByteArray& answer) const {
        writeProgram(QStringLiteral("xdg-mime"),
                     "if [ \"$#\" = 3 ] && [ \"$1\" = query ] && [ \"$2\" = default ] && "
                     "[ \"$3\" = text/html ]; then\n  printf '%s\\n' '" +
                         answer + "'\n  exit 0\nfi\nexit 1\n");
    }

    // A program that writes its argument count, its arguments and "END" into
    // a file, one per line. Returns the file.
    QString installRecorder(const QString& name, const QString& folder = {}) const {
        const QString output = path(name + QStringLiteral(".args"));
        writeProgram(name, "printf '%s\\n' \"$#\" \"$@\" END > '" + output.toLocal8Bit() + "'\n",
                     folder);
        return output;
    }

    // A desktop entry in the given applications folder (relative paths allowed).
    static void writeDesktopEntry(const QString& folder, const QString& relativePath,
                                  const QByteArray& content) {
        const QString file = QDir(folder).filePath(relativePath);
        QDir().mkpath(QFileInfo(file).path());
        writeText(file, content);
    }

    static void writeText(const QString& file, const QByteArray& content) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << file.toStdString();
        out.write(content);
    }

    // Waits (bounded) until a recorder has written its file; returns the
    // recorded arguments, or nothing when it never ran.
    static std::optional<QStringList> waitForRecord(const QString& file) {
        for (int tries = 0; tries < 3000; ++tries) {
            QFile in(file);
            if (in.open(QIODevice::ReadOnly)) {
                const QByteArray content = in.readAll();
                if (content.endsWith("END\n")) {
                    QStringList lines = QString::fromLocal8Bit(content).split(QLatin1Char('\n'));
                    lines.removeLast(); // after the final line end
                    lines.removeLast(); // END
                    const int count = lines.takeFirst().toInt();
                    EXPECT_EQ(count, lines.size());
                    return lines;
                }
            }
            QTest::qWait(10);
        }
        return std::nullopt;
    }

private:
    struct Saved {
        QByteArray name;
        std::optional<QByteArray> value;
    };
    QTemporaryDir root_;
    std::vector<Saved> saved_;
};

} // namespace qp::test
