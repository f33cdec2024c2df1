#include "OfficeInstallation.h"

#include "OfficeConnection.h"

#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <com/sun/star/uno/XComponentContext.hpp>

#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <mutex>

namespace qp::office {

namespace {
css::uno::Reference<css::uno::XComponentContext>& localContext() {
    // Never destroyed: releasing it while the program's statics are torn
    // down would call into UNO libraries that may be gone already.
    static auto* context = new css::uno::Reference<css::uno::XComponentContext>();
    return *context;
}

bool isInstallation(const QString& dir) {
    return !dir.isEmpty() &&
           QFileInfo(dir + QStringLiteral("/program/soffice.bin")).isExecutable() &&
           QFileInfo::exists(dir + QStringLiteral("/program/fundamentalrc"));
}
} // namespace

QString findInstallation() {
    // The variable is for unusual installations and for tests; an empty or
    // wrong value means what it says: no office there.
    if (qEnvironmentVariableIsSet("QUILLPG_OFFICE_DIR")) {
        const QString dir = qEnvironmentVariable("QUILLPG_OFFICE_DIR");
        return isInstallation(dir) ? QDir::cleanPath(dir) : QString();
    }
    QStringList candidates{
        QStringLiteral(QUILLPG_OFFICE_DIR), QStringLiteral("/usr/lib/libreoffice"),
        QStringLiteral("/usr/lib64/libreoffice"), QStringLiteral("/usr/local/lib/libreoffice")};
    const QDir opt(QStringLiteral("/opt"));
    for (const QString& name :
         opt.entryList({QStringLiteral("libreoffice*")}, QDir::Dirs, QDir::Name | QDir::Reversed))
        candidates << opt.filePath(name);
    for (const QString& dir : candidates)
        if (isInstallation(dir))
            return QDir::cleanPath(dir);
    return {};
}

bool bootstrapUno(const QString& installation, QString* error) {
    static std::mutex mutex;
    static bool done = false;
    static QString lastError;
    std::lock_guard lock(mutex);
    if (done)
        return true;
    const QString program = installation + QStringLiteral("/program");
    const QString bootstrap = QStringLiteral("vnd.sun.star.pathname:%1/fundamentalrc").arg(program);
    // Set in UNO's own table of bootstrap variables, which it reads before
    // the environment: the environment is not changed while other threads
    // may read it.
    rtl::Bootstrap::set("URE_BOOTSTRAP", toOUString(bootstrap));
    rtl::Bootstrap::set("UNO_PATH", toOUString(program));
    // Writing to the pipe of an office that has just died must fail the call,
    // not end this program with SIGPIPE.
    struct sigaction pipeAction {};
    if (::sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);
    try {
        // The local context lives as long as the process; the bridge only
        // needs it to reach the office's own context through a pipe.
        localContext() = cppu::defaultBootstrap_InitialComponentContext();
        done = localContext().is();
    } catch (const css::uno::Exception& e) {
        lastError = QString::fromUtf16(reinterpret_cast<const char16_t*>(e.Message.getStr()),
                                       e.Message.getLength());
    }
    if (!done && error)
        *error = lastError.isEmpty() ? QStringLiteral("the UNO runtime could not be started")
                                     : lastError;
    return done;
}

css::uno::Reference<css::uno::XComponentContext> localUnoContext() {
    return localContext();
}

} // namespace qp::office
