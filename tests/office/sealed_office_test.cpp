// The office as a parser of untrusted documents: it reaches no network, talks
// only to the program that started it, and leaves nothing behind.
#include "ErrorNumber.h"
#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "office/OfficeInstallation.h"
#include "office/OfficeProfile.h"
#include "office/OfficeSandbox.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace qp;
using namespace qp::test;

namespace {

const QString tool = QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch");
const QString holderProgram = QStringLiteral(QUILLPG_BINARY_DIR "/tests/office_holder");

// An office_holder: a program that binds "Word.Application" as the window
// application does and converts documents on request.
class Holder {
public:
    // An empty cache folder gives its office a profile no other holder uses.
    explicit Holder(const QStringList& arguments = {}, const QString& cacheFolder = {}) {
        if (!cacheFolder.isEmpty()) {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CACHE_HOME", cacheFolder);
            process_.setProcessEnvironment(environment);
        }
        process_.start(holderProgram, arguments);
        if (process_.waitForReadyRead(120000)) {
            const QStringList words = QString::fromLocal8Bit(process_.readLine()).split(' ');
            office_ = words.value(0).toLongLong();
            pipe_ = words.value(1);
            isolated_ = words.value(2) == "1";
            blocked_ = words.value(3).trimmed() == "1";
            profile_ = words.value(4).trimmed();
        }
    }
    ~Holder() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    qint64 pid() const { return process_.processId(); }
    qint64 office() const { return office_; }
    QString pipe() const { return pipe_; }
    bool isolated() const { return isolated_; }
    bool blocked() const { return blocked_; }
    // The socket its office makes for a second start with the same profile.
    QString instanceSocket() const {
        return office::singleInstanceSocketPath(QUrl::fromLocalFile(profile_).toString());
    }
    // "ok" or "failed: REASON".
    QString convert(const QString& source, const QString& page) {
        process_.write((source + ' ' + page + '\n').toLocal8Bit());
        if (!process_.canReadLine() && !process_.waitForReadyRead(120000))
            return QStringLiteral("no answer (exit status %1, %2)")
                .arg(process_.exitCode())
                .arg(process_.exitStatus() == QProcess::CrashExit ? "crashed" : "ended");
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    // Ends it normally: its input ends.
    bool finish() {
        process_.closeWriteChannel();
        return process_.waitForFinished(60000) && process_.exitCode() == 0;
    }
    void kill() {
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished();
    }

private:
    QProcess process_;
    qint64 office_ = -1;
    QString pipe_;
    bool isolated_ = false;
    bool blocked_ = false;
    QString profile_;
};

// Whether this system lets a process have a network namespace of its own.
bool namespacesWork() {
    QProcess probe;
    probe.start("unshare", {"-rn", "true"});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

bool alive(qint64 pid) {
    // A killed child stays a zombie until its parent reaps it.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return pid > 0 && stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

bool endsSoon(qint64 pid) {
    return QTest::qWaitFor([pid] { return !alive(pid); }, 10000);
}

// What an office on that pipe, with that process id, may have left in /tmp
// and in the temporary folder: its socket, its private folder, the office's
// own lock and temporary files.
QStringList leftovers(const QString& pipe, qint64 office) {
    // "lu<pid><suffix>.tmp"; another office's process id may start with ours.
    const QRegularExpression ownLockFile(QStringLiteral("^lu%1[^0-9]").arg(office));
    QStringList found;
    for (const QString& folder : {QStringLiteral("/tmp"), QDir::tempPath()}) {
        for (const QString& name :
             QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden)) {
            if ((!pipe.isEmpty() && name.contains(pipe)) ||
                (office > 0 && ownLockFile.match(name).hasMatch()))
                found << folder + '/' + name;
        }
    }
    found.removeDuplicates();
    return found;
}

// A listening Unix socket at a path, as someone squatting a pipe would make it.
class Squatter {
public:
    explicit Squatter(const QString& path) : path_(QFile::encodeName(path)) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.constData(), sizeof address.sun_path - 1);
        listening_ = fd_ >= 0 &&
                     ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(fd_, 8) == 0;
    }
    ~Squatter() {
        if (fd_ >= 0)
            ::close(fd_);
        ::unlink(path_.constData());
    }
    bool listening() const { return listening_; }
    bool wasSpokenTo() const {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client >= 0)
            ::close(client);
        return client >= 0;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    bool listening_ = false;
};

// A .doc that the office saves from a web page holding the picture: a link
// to it, since the page only links it.
QString makeLinkedPictureDocument(const QString& folder, const QString& picture) {
    QFile html(folder + "/linked.html");
    if (!html.open(QIODevice::WriteOnly))
        return {};
    html.write("<html><body><p>Before the picture.</p><p><img src=\"" + picture.toUtf8() +
               "\" alt=\"a picture\" width=\"40\" height=\"30\"></p><p>After the "
               "picture.</p></body></html>");
    html.close();
    QStringList command{QStringLiteral("soffice"),
                        "-env:UserInstallation=" +
                            QUrl::fromLocalFile(folder + "/profile").toString(),
                        "--headless",
                        "--convert-to",
                        "doc:MS Word 97",
                        "--outdir",
                        folder,
                        html.fileName()};
    // Made without network where that is possible, so that making it reaches nothing.
    if (namespacesWork())
        command = QStringList{"-rn"} + command;
    QProcess convert;
    convert.start(command.first() == "-rn" ? "unshare" : command.takeFirst(), command);
    convert.waitForFinished(120000);
    const QString doc = folder + "/linked.doc";
    return readFile(doc).contains(QFileInfo(picture).fileName().toUtf8()) ? doc : QString();
}

// A PDF of one page that shows the text.
QByteArray pdfShowing(const QByteArray& text) {
    const QByteArray content = "BT /F1 24 Tf 20 40 Td (" + text + ") Tj ET";
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 100] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray table = "xref\n0 6\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    return pdf + table + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

// A flat ODF document with a picture linked from `mirrored`, shown mirrored,
// and one linked from `plain`.
QByteArray flatDocumentLinking(const QByteArray& mirrored, const QByteArray& plain) {
    auto frame = [](const QByteArray& style, const QByteArray& link) {
        return "<draw:frame " + style +
               " text:anchor-type=\"as-char\" svg:width=\"1cm\" svg:height=\"1cm\">"
               "<draw:image xlink:href=\"" +
               link + "\" xlink:type=\"simple\" xlink:show=\"embed\"/></draw:frame>";
    };
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles><style:style style:name="Mirrored" style:family="graphic"><style:graphic-properties style:mirror="horizontal"/></style:style></office:automatic-styles>
<office:body><office:text><text:p>Pictures )" +
           frame("draw:style-name=\"Mirrored\"", mirrored) + frame({}, plain) +
           "</text:p></office:text></office:body></office:document>\n";
}

// Hostile documents, all named .doc, link a picture and a PDF of the user's
// from elsewhere on the disk: the office cannot open them, so no page holds
// them and each says the picture was not found. A picture linked from the
// network is never fetched.
TEST(SealedOffice, aDocumentReadsNoFileOfTheUserButItselfAndReachesNoNetwork) {
    ASSERT_FALSE(QStandardPaths::findExecutable("strace").isEmpty()) << "needs strace";
    QTemporaryDir work;
    const QString photo = work.filePath("secret/photo.png");
    const QString paper = work.filePath("secret/paper.pdf");
    QDir().mkpath(work.filePath("secret"));
    QImage picture(24, 24, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(photo));
    writeFile(paper, pdfShowing("QUILLSECRETTEXT"));
    const QByteArray photoBytes = readFile(photo);
    const QString in = work.filePath("in");
    ASSERT_TRUE(QDir().mkpath(in));
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in + "/simple.doc"));
    auto rtfIncluding = [](const QString& path) {
        return R"({\rtf1\ansi{\field{\*\fldinst INCLUDEPICTURE ")" + path.toUtf8() +
               R"(" \\d}{\fldrslt x}}\par Included.\par})";
    };
    writeFile(in + "/photo.doc", rtfIncluding(photo));
    writeFile(in + "/paper.doc", rtfIncluding(paper));
    // Of the system's configuration the office reads only what it needs:
    // neither the password hashes nor a file that anyone may read.
    writeFile(
        in + "/system.doc",
        R"({\rtf1\ansi{\field{\*\fldinst INCLUDEPICTURE "/etc/shadow" \\d}{\fldrslt x}})"
        R"({\field{\*\fldinst INCLUDEPICTURE "/etc/hostname" \\d}{\fldrslt y}}\par Included.\par})");
    writeFile(in + "/frames.doc",
              flatDocumentLinking(QUrl::fromLocalFile(photo).toEncoded(), "../secret/photo.png"));
    QDir().mkpath(work.filePath("make"));
    const std::pair<QString, QString> linking[] = {{"remote", "http://203.0.113.5/remote.png"},
                                                   {"saved", photo}};
    for (const auto& [name, linked] : linking) {
        const QString made = makeLinkedPictureDocument(work.filePath("make"), linked);
        ASSERT_FALSE(made.isEmpty())
            << "the office made no document linking " << linked.toStdString();
        ASSERT_TRUE(QFile::rename(made, in + "/" + name + ".doc"));
    }
    const QStringList hostile{"photo", "paper", "system", "frames", "saved", "remote"};

    for (const QString& format : {QStringLiteral("--not-filtered"), QStringLiteral("--filtered")}) {
        SCOPED_TRACE(format.toStdString());
        const QString out = work.filePath("out" + format);
        const QString trace = work.filePath("trace" + format);
        QProcess run;
        // A file of calls for each process and thread, so that no call is
        // split over two lines.
        run.start("strace", {"-ff", "-e", "trace=open,openat,openat2,creat,connect,sendto", "-o",
                             trace, tool, format, in, out});
        ASSERT_TRUE(run.waitForFinished(300000));
        EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        const QString lines = QString::fromLocal8Bit(run.readAllStandardOutput());
        EXPECT_TRUE(
            lines.contains(QRegularExpression("Converted \\S*simple.doc -> \\S*simple.htm\n")))
            << lines.toStdString();
        // Each hostile page is made; where the office leaves a link to what it
        // could not read, the page drops it and says so. (A picture it could
        // not read for a field or to mirror it, it leaves out, or draws as
        // missing.)
        for (const QString& name : hostile)
            EXPECT_TRUE(lines.contains(QRegularExpression("Converted \\S*/" + name + ".doc -> ")))
                << name.toStdString() << "\n"
                << lines.toStdString();
        for (const char* name : {"frames", "saved"})
            EXPECT_TRUE(lines.contains(
                QRegularExpression("Converted \\S*/" + QString(name) +
                                   ".doc -> \\S* \\(picture not found: [^\n]*/secret/photo.png")))
                << QString(name).toStdString() << "\n"
                << lines.toStdString();
        // No successful open of any of these files, by anyone, and no
        // attempt to reach the network.
        QByteArray calls;
        for (const QString& file : QDir(work.path()).entryList({"trace" + format + ".*"}))
            calls += readFile(work.filePath(file));
        ASSERT_TRUE(calls.contains("simple.doc")) << "nothing traced";
        for (const QByteArray& line : calls.split('\n'))
            EXPECT_FALSE(
                line.contains("AF_INET") ||
                ((line.contains("photo.png") || line.contains("paper.pdf") ||
                  line.contains("\"/etc/shadow\"") || line.contains("\"/etc/hostname\"")) &&
                 !line.contains(") = -1 ")))
                << line.data();
        // The picture stays a link in the full page: its address is in it.
        const QByteArray remote = readFile(out + "/remote.htm");
        EXPECT_TRUE(remote.contains("After the picture"));
        if (format == "--not-filtered") {
            EXPECT_TRUE(remote.contains("http://203.0.113.5/remote.png"));
        }
        // Nothing of them in any page or picture.
        for (const QString& name : QDir(out).entryList(QDir::Files)) {
            const QByteArray bytes = readFile(out + '/' + name);
            EXPECT_FALSE(bytes.contains(photoBytes)) << name.toStdString();
            EXPECT_FALSE(bytes.contains("QUILLSECRETTEXT")) << name.toStdString();
        }
    }
}

// When the kernel refuses the office's Landlock rules (here made to by
// strace), the office runs unconfined: the run says so once, with the reason,
// however many offices its workers start.
TEST(SealedOffice, anOfficeTheKernelRefusesToConfineIsSaidOnceWithTheReason) {
    ASSERT_FALSE(QStandardPaths::findExecutable("strace").isEmpty()) << "needs strace";
    if (office::landlockVersion() == 0)
        GTEST_SKIP() << "the kernel offers no Landlock";
    QTemporaryDir work;
    const QString in = work.filePath("in");
    ASSERT_TRUE(QDir().mkpath(in));
    for (const char* name : {"/a.doc", "/b.doc"})
        ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in + name));
    const QString trace = work.filePath("trace");
    QProcess run;
    run.start("strace", {"-f", "-o", trace, "-e", "trace=landlock_restrict_self", "-e",
                         "inject=landlock_restrict_self:error=EPERM", tool, "--jobs", "2", in,
                         work.filePath("out")});
    ASSERT_TRUE(run.waitForFinished(300000));
    const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), 0) << errors.toStdString();
    EXPECT_GE(readFile(trace).count("landlock_restrict_self("), 2) << "two offices were refused";
    EXPECT_EQ(errors.count("quillpg-batch: warning: the office is not confined to the documents "
                           "it converts: Landlock refused its rules: Operation not permitted\n"),
              1)
        << errors.toStdString();
}

TEST(SealedOffice, eachProgramOwnsItsOfficeOnAPipeNobodyCanGuessAndNobodyElseAttachesTo) {
    // Even with a careless umask the socket is for its user alone.
    const mode_t umask = ::umask(0);
    Holder first;
    Holder second;
    ::umask(umask);
    ASSERT_GT(first.office(), 0);
    ASSERT_GT(second.office(), 0) << "the second program did not start an office of its own";
    EXPECT_NE(first.office(), second.office());
    for (const Holder* holder : {&first, &second}) {
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^quillpg-%1-[0-9a-f]{32}$").arg(holder->pid()))
                .match(holder->pipe())
                .hasMatch())
            << holder->pipe().toStdString();
        struct stat info {};
        ASSERT_EQ(
            ::lstat(QFile::encodeName(office::pipeSocketPath(holder->pipe())).constData(), &info),
            0);
        EXPECT_TRUE(S_ISSOCK(info.st_mode));
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(info.st_mode & 077, 0u) << std::oct << info.st_mode;
#if defined(__x86_64__) || defined(__aarch64__)
        EXPECT_TRUE(holder->blocked()) << "the office may open internet sockets";
#endif
        EXPECT_EQ(holder->isolated(), namespacesWork());
    }
    // Get-object answers only with an office that this process started.
    {
        auto options = privateOfficeOptions();
        options.pipeName = first.pipe();
        options.callTimeoutMs = 10000;
        office::WordServer server(options);
        QString reason;
        EXPECT_EQ(errorNumberOf([&] { server.getObject(); }, &reason),
                  ErrorNumber::CannotCreateObject)
            << reason.toStdString();
    }

    // The second one ending costs the first nothing.
    QTemporaryDir out;
    EXPECT_EQ(second.convert(corpusFile("simple.doc"), out.filePath("b1.htm")), "ok");
    EXPECT_TRUE(second.finish());
    EXPECT_TRUE(endsSoon(second.office()));
    EXPECT_TRUE(alive(first.office()));
    EXPECT_EQ(first.convert(corpusFile("simple.doc"), out.filePath("a1.htm")), "ok");
    EXPECT_TRUE(first.finish());
}

TEST(SealedOffice, aPipeThatExistsAlreadyOrIsAnotherUsersIsNeverUsed) {
    for (const bool foreign : {false, true}) {
        auto options = privateOfficeOptions();
        options.callTimeoutMs = 10000;
        const QString path = office::pipeSocketPath(options.pipeName);
        Squatter squatter(path);
        ASSERT_TRUE(squatter.listening()) << path.toStdString();
        if (foreign && ::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        office::WordServer server(options);
        QString reason;
        EXPECT_EQ(errorNumberOf([&] { server.getObject(); }), ErrorNumber::CannotCreateObject);
        EXPECT_EQ(errorNumberOf([&] { server.createObject(); }, &reason),
                  ErrorNumber::CannotCreateObject);
        EXPECT_TRUE(reason.contains(path)) << reason.toStdString();
        EXPECT_FALSE(squatter.wasSpokenTo()) << "the squatted pipe was spoken to";
    }
}

TEST(SealedOffice, nothingIsLeftWhateverWayTheProgramEnds) {
    QTemporaryDir out;
    // A normal end, after an office crash on the way.
    {
        Holder holder;
        ASSERT_GT(holder.office(), 0);
        const QString pipe = holder.pipe();
        const qint64 crashed = holder.office();
        EXPECT_FALSE(leftovers(pipe, 0).isEmpty()) << "no socket while the office runs";
        const QString instanceSocket = holder.instanceSocket();
        EXPECT_TRUE(office::isOwnSocket(instanceSocket)) << instanceSocket.toStdString();
        ::kill(pid_t(crashed), SIGKILL);
        // The next document finds the office dead and is opened in a fresh one.
        EXPECT_EQ(holder.convert(corpusFile("simple.doc"), out.filePath("x.htm")), "ok");
        EXPECT_TRUE(leftovers({}, crashed).isEmpty())
            << leftovers({}, crashed).join(' ').toStdString();
        EXPECT_EQ(holder.convert(corpusFile("simple.doc"), out.filePath("x.htm")), "ok");
        EXPECT_TRUE(holder.finish());
        EXPECT_TRUE(leftovers(pipe, crashed).isEmpty())
            << leftovers(pipe, crashed).join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(instanceSocket)) << instanceSocket.toStdString();
    }
    // Killed outright: the next run removes what it left, the single-instance
    // socket of a profile nobody uses now included.
    QTemporaryDir cache;
    Holder killed({}, cache.path());
    ASSERT_GT(killed.office(), 0);
    const QString pipe = killed.pipe();
    const QString instanceSocket = killed.instanceSocket();
    killed.kill();
    EXPECT_TRUE(endsSoon(killed.office()));
    EXPECT_FALSE(leftovers(pipe, 0).isEmpty()) << "nothing for the next run to remove";
    EXPECT_TRUE(office::isOwnSocket(instanceSocket)) << instanceSocket.toStdString();
    Holder next;
    ASSERT_GT(next.office(), 0);
    EXPECT_TRUE(leftovers(pipe, killed.office()).isEmpty())
        << leftovers(pipe, killed.office()).join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(instanceSocket)) << instanceSocket.toStdString();
    EXPECT_TRUE(next.finish());
    EXPECT_TRUE(leftovers(next.pipe(), next.office()).isEmpty());
}

TEST(SealedOffice, shuttingDownWhileTheOfficeStartsKeepsItsProfile) {
    QTemporaryDir profile;
    QFile marker(profile.filePath("marker"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    auto options = privateOfficeOptions();
    options.profileDir = profile.path();
    office::OfficeSession session(options);
    int number = 0;
    std::thread binding(
        [&] { number = errorNumberOf([&] { session.bind(office::OfficeSession::Mode::Start); }); });
    QThread::msleep(300);
    session.shutdown();
    binding.join();
    EXPECT_EQ(number, ErrorNumber::CannotCreateObject);
    EXPECT_TRUE(marker.exists()) << "the profile was taken for damaged and deleted";
    EXPECT_LE(session.generation(), 1);
}

TEST(SealedOffice, anUnusableCacheFolderIsReportedAndABrokenProfileSlotReplaced) {
    QTemporaryDir cache, in, out;
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in.filePath("simple.doc")));
    const QString office = cache.filePath("quillpg/office");
    auto runBatch = [&](QString* errors) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", cache.path());
        run.setProcessEnvironment(env);
        run.start(tool, {in.path(), out.path()});
        if (!run.waitForFinished(120000)) {
            run.kill();
            run.waitForFinished();
            return -1;
        }
        *errors = QString::fromLocal8Bit(run.readAllStandardError());
        return run.exitCode();
    };
    QString errors;
    ASSERT_TRUE(QDir().mkpath(cache.filePath("quillpg")));
    ASSERT_TRUE(QFile(office).open(QIODevice::WriteOnly));
    EXPECT_EQ(runBatch(&errors), 2);
    EXPECT_TRUE(errors.contains(office)) << errors.toStdString();

    // A profile slot replaced by a file, then by a dangling link, is made a folder again.
    ASSERT_TRUE(QFile::remove(office));
    ASSERT_TRUE(QDir().mkpath(office));
    ASSERT_TRUE(QFile(office + "/batch-1").open(QIODevice::WriteOnly));
    EXPECT_EQ(runBatch(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(QFileInfo(office + "/batch-1").isDir());

    // Before each start the profile says that this version of the office has
    // run there, so the office skips its graphics self-test; a record of an
    // earlier version is replaced and the profile's other items are kept.
    const QString user = office + "/batch-1/user/";
    const QString version = office::installedOfficeVersion(office::findInstallation());
    ASSERT_FALSE(version.isEmpty());
    const QString record = "<item oor:path=\"/org.openoffice.Setup/Product\"><prop "
                           "oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>%1</value>"
                           "</prop></item>";
    const QString other =
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
        "oor:name=\"FirstRun\" oor:op=\"fuse\"><value>false</value></prop></item>";
    EXPECT_TRUE(QString::fromUtf8(readFile(user + "registrymodifications.xcu"))
                    .contains(record.arg(version)));
    EXPECT_FALSE(QFileInfo::exists(user + "GraphicsRenderTests.log"));
    QFile modifications(user + "registrymodifications.xcu");
    ASSERT_TRUE(modifications.open(QIODevice::WriteOnly));
    modifications.write(("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
                         "xmlns:oor=\"http://openoffice.org/2001/registry\">\n" +
                         other + "\n" + record.arg("1.0") + "\n</oor:items>\n")
                            .toUtf8());
    modifications.close();
    EXPECT_EQ(runBatch(&errors), 0) << errors.toStdString();
    const QString merged = QString::fromUtf8(readFile(user + "registrymodifications.xcu"));
    EXPECT_TRUE(merged.contains(record.arg(version)) && merged.contains(other) &&
                !merged.contains(record.arg("1.0")))
        << merged.toStdString();
    EXPECT_FALSE(QFileInfo::exists(user + "GraphicsRenderTests.log"));
    ASSERT_TRUE(QDir(office + "/batch-1").removeRecursively());
    ASSERT_TRUE(QFile::link(cache.filePath("nowhere"), office + "/batch-1"));
    EXPECT_EQ(runBatch(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(QFileInfo(office + "/batch-1").isDir());
    EXPECT_TRUE(QFileInfo::exists(out.filePath("simple.htm")));
}

} // namespace
