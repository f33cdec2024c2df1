// The office as a parser of untrusted documents: it reaches no network, talks
// only to the program that started it, and leaves nothing behind.
#include "ErrorNumber.h"
#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "office/OfficeInstallation.h"
#include "office/OfficeProfile.h"
#include "office/OfficeSandbox.h"

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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace qp;
using namespace qp::test;

namespace {

const QString tool = QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch");

// The environment of a program given that cache folder, else this one's.
QProcessEnvironment withCache(const QString& cache) {
    auto environment = QProcessEnvironment::systemEnvironment();
    if (!cache.isEmpty())
        environment.insert("XDG_CACHE_HOME", cache);
    return environment;
}

// Runs the program to its end, with that cache folder if one is given: its
// exit code (-1 if it crashed or did not end), what it wrote and its errors.
struct Ran {
    int status = -1;
    QString output, errors;
};
Ran run(const QString& program, const QStringList& arguments, const QString& cache = {}) {
    QProcess process;
    process.setProcessEnvironment(withCache(cache));
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// An office_holder: binds "Word.Application" as the window application does
// and converts documents on request. Its first line: the office's process id,
// its pipe, whether it runs without network and without internet sockets, its
// profile.
class Holder {
public:
    // An empty cache folder gives its office a profile no other holder uses.
    explicit Holder(const QString& cacheFolder = {}) {
        process_.setProcessEnvironment(withCache(cacheFolder));
        process_.start(QStringLiteral(QUILLPG_BINARY_DIR "/tests/office_holder"));
        if (process_.waitForReadyRead(120000))
            words_ = QString::fromLocal8Bit(process_.readLine()).trimmed().split(' ');
    }
    ~Holder() { kill(); }
    qint64 pid() const { return process_.processId(); }
    qint64 office() const { return words_.value(0, "-1").toLongLong(); }
    QString pipe() const { return words_.value(1); }
    bool isolated() const { return words_.value(2) == "1"; }
    bool blocked() const { return words_.value(3) == "1"; }
    // The socket its office makes for a second start with the same profile.
    QString instanceSocket() const {
        return office::singleInstanceSocketPath(QUrl::fromLocalFile(words_.value(4)).toString());
    }
    // "ok" or "failed: REASON".
    QString convert(const QString& source, const QString& page) {
        process_.write((source + ' ' + page + '\n').toLocal8Bit());
        if (!process_.canReadLine())
            process_.waitForReadyRead(120000);
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    // Ends it normally: its input ends.
    bool finish() {
        process_.closeWriteChannel();
        return process_.waitForFinished(60000) && process_.exitCode() == 0;
    }
    void kill() {
        if (process_.state() != QProcess::NotRunning)
            ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished();
    }

private:
    QProcess process_;
    QStringList words_;
};

// Whether the process ends soon; a killed child stays a zombie until its parent reaps it.
bool endsSoon(qint64 pid) {
    return QTest::qWaitFor(
        [pid] {
            const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
            return stat.isEmpty() || stat.contains(") Z ");
        },
        10000);
}

// What an office on that pipe, with that process id, may have left in /tmp
// and in the temporary folder: its socket, its private folder, its own lock
// and temporary files ("lu<pid><suffix>.tmp", and another office's id may
// start with ours).
QStringList leftovers(const QString& pipe, qint64 office) {
    const QRegularExpression ownLockFile(QStringLiteral("^lu%1[^0-9]").arg(office));
    QStringList found;
    for (const QString& folder : {QStringLiteral("/tmp"), QDir::tempPath()})
        for (const QString& name :
             QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden))
            if ((!pipe.isEmpty() && name.contains(pipe)) ||
                (office > 0 && ownLockFile.match(name).hasMatch()))
                found << folder + '/' + name;
    found.removeDuplicates();
    return found;
}

// A listening Unix socket at the path, as someone squatting a pipe would make it.
int squat(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    return bound && ::listen(fd, 8) == 0 ? fd : -1;
}

// Hostile documents, all named .doc, link a picture of the user's from
// elsewhere on the disk, files of the system and a picture on the network:
// fields of an RTF document, and a flat ODF document showing the picture
// mirrored and by a relative link. The office cannot open them, so no page
// holds them, and never reaches the network.
TEST(SealedOffice, aDocumentReadsNoFileOfTheUserButItselfAndReachesNoNetwork) {
    ASSERT_FALSE(QStandardPaths::findExecutable("strace").isEmpty()) << "needs strace";
    QTemporaryDir work;
    const QString photo = work.filePath("secret/photo.png"), in = work.filePath("in");
    QDir().mkpath(work.filePath("secret"));
    QImage picture(24, 24, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(photo));
    writeFile(in + "/simple.doc", readFile(corpusFile("simple.doc")));
    QByteArray fields = R"({\rtf1\ansi)";
    for (const QString& path :
         {photo, QStringLiteral("/etc/shadow"), QStringLiteral("/etc/hostname"),
          QStringLiteral("http://203.0.113.5/remote.png")})
        fields +=
            R"({\field{\*\fldinst INCLUDEPICTURE ")" + path.toUtf8() + R"(" \\d}{\fldrslt x}})";
    writeFile(in + "/fields.doc", fields + R"(\par Included.\par})");
    writeFile(in + "/frames.doc", QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles><style:style style:name="Mirrored" style:family="graphic"><style:graphic-properties style:mirror="horizontal"/></style:style></office:automatic-styles>
<office:body><office:text><text:p>Pictures <draw:frame draw:style-name="Mirrored" text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image xlink:href="PHOTO" xlink:type="simple" xlink:show="embed"/></draw:frame>
<draw:frame text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image xlink:href="../secret/photo.png" xlink:type="simple" xlink:show="embed"/></draw:frame></text:p></office:text></office:body></office:document>
)")
                                      .replace("PHOTO", QUrl::fromLocalFile(photo).toEncoded()));
    for (const QString& format : {QStringLiteral("--not-filtered"), QStringLiteral("--filtered")}) {
        SCOPED_TRACE(format.toStdString());
        const QString out = work.filePath("out" + format), trace = work.filePath("trace" + format);
        // A file of calls for each process and thread, so that no call is split over two lines.
        const Ran ran =
            run("strace", {"-ff", "-e", "trace=open,openat,openat2,creat,connect,sendto", "-o",
                           trace, tool, format, in, out});
        EXPECT_EQ(ran.status, 0) << ran.errors.toStdString();
        // Each page is made; where the office leaves a link to what it could
        // not read, the page drops it and says so.
        for (const char* name : {"simple", "fields", "frames"})
            EXPECT_TRUE(ran.output.contains(QRegularExpression("Converted \\S*/" + QString(name) +
                                                               ".doc -> \\S*/" + name + ".htm")))
                << name << "\n"
                << ran.output.toStdString();
        EXPECT_TRUE(ran.output.contains(QRegularExpression(
            "Converted \\S*/frames.doc -> \\S* \\(picture not found: [^\n]*/secret/photo.png")))
            << ran.output.toStdString();
        // No successful open of any of these files, by anyone, and no attempt
        // to reach the network.
        QByteArray calls;
        for (const QString& file : QDir(work.path()).entryList({"trace" + format + ".*"}))
            calls += readFile(work.filePath(file));
        ASSERT_TRUE(calls.contains("simple.doc")) << "nothing traced";
        for (const QByteArray& line : calls.split('\n'))
            EXPECT_FALSE(line.contains("AF_INET") ||
                         ((line.contains("photo.png") || line.contains("\"/etc/shadow\"") ||
                           line.contains("\"/etc/hostname\"")) &&
                          !line.contains(") = -1 ")))
                << line.data();
        EXPECT_TRUE(readFile(out + "/fields.htm").contains("Included."));
        for (const QString& name : QDir(out).entryList(QDir::Files))
            EXPECT_FALSE(readFile(out + '/' + name).contains(readFile(photo)))
                << name.toStdString();
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
    for (const char* name : {"in/a.doc", "in/b.doc"})
        writeFile(work.filePath(name), readFile(corpusFile("simple.doc")));
    const Ran ran =
        run("strace", {"-f", "-o", work.filePath("trace"), "-e", "trace=landlock_restrict_self",
                       "-e", "inject=landlock_restrict_self:error=EPERM", tool, "--jobs", "2",
                       work.filePath("in"), work.filePath("out")});
    EXPECT_EQ(ran.status, 0) << ran.errors.toStdString();
    EXPECT_GE(readFile(work.filePath("trace")).count("landlock_restrict_self("), 2)
        << "two offices were refused";
    EXPECT_EQ(
        ran.errors.count("quillpg-batch: warning: the office is not confined to the documents "
                         "it converts: Landlock refused its rules: Operation not permitted\n"),
        1)
        << ran.errors.toStdString();
}

// Each program starts an office of its own on a pipe nobody can guess, a
// socket of its user alone; nobody else attaches to it, and a pipe that exists
// already, or is another user's, is never used.
TEST(SealedOffice, eachProgramOwnsItsOfficeOnAPrivatePipeNobodyElseUses) {
    const mode_t umask = ::umask(0); // a careless umask
    Holder first, second;
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
        EXPECT_TRUE(S_ISSOCK(info.st_mode) && info.st_uid == ::getuid() && !(info.st_mode & 077))
            << std::oct << info.st_mode;
#if defined(__x86_64__) || defined(__aarch64__)
        EXPECT_TRUE(holder->blocked()) << "the office may open internet sockets";
#endif
        // Without network wherever this system lets a process have a network namespace.
        EXPECT_EQ(holder->isolated(), run("unshare", {"-rn", "true"}).status == 0);
    }
    // Get-object answers only with an office that this process started.
    auto options = privateOfficeOptions();
    options.callTimeoutMs = 10000;
    options.pipeName = first.pipe();
    EXPECT_EQ(errorNumberOf([&] { office::WordServer(options).getObject(); }),
              ErrorNumber::CannotCreateObject);
    for (const bool foreign : {false, true}) {
        options.pipeName = office::randomPipeName();
        const QString path = office::pipeSocketPath(options.pipeName);
        const int squatter = squat(path);
        ASSERT_GE(squatter, 0) << path.toStdString();
        if (foreign && ::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        office::WordServer server(options);
        QString reason;
        EXPECT_EQ(errorNumberOf([&] { server.getObject(); }), ErrorNumber::CannotCreateObject);
        EXPECT_EQ(errorNumberOf([&] { server.createObject(); }, &reason),
                  ErrorNumber::CannotCreateObject);
        EXPECT_TRUE(reason.contains(path)) << reason.toStdString();
        EXPECT_LT(::accept(squatter, nullptr, nullptr), 0) << "the squatted pipe was spoken to";
        ::close(squatter);
        ::unlink(QFile::encodeName(path).constData());
    }
    // The second one ending costs the first nothing.
    QTemporaryDir out;
    EXPECT_EQ(second.convert(corpusFile("simple.doc"), out.filePath("b.htm")), "ok");
    EXPECT_TRUE(second.finish());
    EXPECT_TRUE(endsSoon(second.office()));
    EXPECT_EQ(first.convert(corpusFile("simple.doc"), out.filePath("a.htm")), "ok");
    EXPECT_TRUE(first.finish());
}

TEST(SealedOffice, nothingIsLeftWhateverWayTheProgramEnds) {
    QTemporaryDir out;
    // A normal end, after an office crash on the way: the next document is
    // opened in a fresh office.
    {
        Holder holder;
        ASSERT_GT(holder.office(), 0);
        const QString pipe = holder.pipe(), instanceSocket = holder.instanceSocket();
        const qint64 crashed = holder.office();
        EXPECT_FALSE(leftovers(pipe, 0).isEmpty()) << "no socket while the office runs";
        EXPECT_TRUE(office::isOwnSocket(instanceSocket)) << instanceSocket.toStdString();
        ::kill(pid_t(crashed), SIGKILL);
        EXPECT_EQ(holder.convert(corpusFile("simple.doc"), out.filePath("x.htm")), "ok");
        EXPECT_EQ(leftovers({}, crashed), QStringList());
        EXPECT_TRUE(holder.finish());
        EXPECT_EQ(leftovers(pipe, crashed), QStringList());
        EXPECT_FALSE(QFileInfo::exists(instanceSocket)) << instanceSocket.toStdString();
    }
    // Killed outright: the next run removes what it left, the single-instance
    // socket of a profile nobody uses now included.
    QTemporaryDir cache;
    Holder killed(cache.path());
    ASSERT_GT(killed.office(), 0);
    const QString pipe = killed.pipe(), instanceSocket = killed.instanceSocket();
    killed.kill();
    EXPECT_TRUE(endsSoon(killed.office()));
    EXPECT_FALSE(leftovers(pipe, 0).isEmpty()) << "nothing for the next run to remove";
    EXPECT_TRUE(office::isOwnSocket(instanceSocket)) << instanceSocket.toStdString();
    Holder next;
    ASSERT_GT(next.office(), 0);
    EXPECT_EQ(leftovers(pipe, killed.office()), QStringList());
    EXPECT_FALSE(QFileInfo::exists(instanceSocket)) << instanceSocket.toStdString();
    EXPECT_TRUE(next.finish());
    EXPECT_EQ(leftovers(next.pipe(), next.office()), QStringList());
}

// Shut down while the office starts, the office's unanswered start is not
// taken for a damaged profile: the profile is kept and not started twice.
TEST(SealedOffice, shuttingDownWhileTheOfficeStartsKeepsItsProfile) {
    // Within a folder of the test's, since the office's log lies beside its profile.
    QTemporaryDir work;
    const QString marker = writeFile(work.filePath("profile/marker"));
    auto options = privateOfficeOptions();
    options.profileDir = work.filePath("profile");
    office::OfficeSession session(options);
    int number = 0;
    std::thread binding(
        [&] { number = errorNumberOf([&] { session.bind(office::OfficeSession::Mode::Start); }); });
    QThread::msleep(300);
    session.shutdown();
    binding.join();
    EXPECT_EQ(number, ErrorNumber::CannotCreateObject);
    EXPECT_TRUE(QFileInfo::exists(marker)) << "the profile was taken for damaged and deleted";
    EXPECT_LE(session.generation(), 1);
}

// A cache folder that is a file is reported; a profile slot that is a file or
// a dangling link is made a folder again. Before each start the profile says
// that this version of the office has run there, so the office skips its
// graphics self-test.
TEST(SealedOffice, anUnusableCacheFolderIsReportedAndABrokenProfileSlotReplaced) {
    QTemporaryDir cache, in, out;
    writeFile(in.filePath("simple.doc"), readFile(corpusFile("simple.doc")));
    const QString office = cache.filePath("quillpg/office"), slot = office + "/batch-1";
    const QStringList arguments{in.path(), out.path()};
    writeFile(office);
    const Ran refused = run(tool, arguments, cache.path());
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.errors.contains(office)) << refused.errors.toStdString();
    ASSERT_TRUE(QFile::remove(office) && QDir().mkpath(office));
    for (const bool link : {false, true}) {
        QDir(slot).removeRecursively();
        ASSERT_TRUE(link ? QFile::link(cache.filePath("nowhere"), slot)
                         : QFile(slot).open(QIODevice::WriteOnly));
        const Ran ran = run(tool, arguments, cache.path());
        EXPECT_EQ(ran.status, 0) << ran.errors.toStdString();
        EXPECT_TRUE(QFileInfo(slot).isDir());
    }
    EXPECT_TRUE(QFileInfo::exists(out.filePath("simple.htm")));
    const QString version = office::installedOfficeVersion(office::findInstallation());
    EXPECT_TRUE(readFile(slot + "/user/registrymodifications.xcu")
                    .contains("\"ooSetupLastVersion\" oor:op=\"fuse\"><value>" + version.toUtf8() +
                              "</value>"));
    EXPECT_FALSE(QFileInfo::exists(slot + "/user/GraphicsRenderTests.log"));
}

} // namespace
