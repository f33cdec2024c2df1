// Binds "Word.Application" the way the window application does (get-object
// first, then create-object; an optional pipe name), prints its office's
// process id, pipe name, whether it runs without network (1 or 0) and
// without internet sockets (1 or 0) and its profile folder, then converts what it is told on
// standard input, one "SOURCE TARGET" per line, answering "ok" or "failed: REASON", until it is
// killed or its input ends. The office must not outlive it.
#include "automation/AutomationRuntime.h"
#include "office/WordServer.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iostream>
#include <string>

using namespace qp;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each answer as soon as it is given
    office::OfficeOptions options;
    if (argc > 1)
        options.pipeName = QString::fromLocal8Bit(argv[1]);
    const auto server = office::registerWordServer(options);
    ObjectRef word;
    try {
        word = AutomationRuntime::getObject("Word.Application");
    } catch (const AutomationError&) {
        word = AutomationRuntime::createObject("Word.Application");
    }
    const auto session = server->session();
    std::printf("%lld %s %d %d %s\n", session->officePid(), qPrintable(session->options().pipeName),
                int(session->officeNetworkIsolated()), int(session->officeInternetBlocked()),
                QFile::encodeName(session->options().profileDir).constData());
    for (std::string line; std::getline(std::cin, line);) {
        const QStringList parts = QString::fromStdString(line).split(' ');
        try {
            word->object("Documents")->call("Open", {{"FileName", parts.value(0)}});
            word->object("ActiveDocument")
                ->call("SaveAs", {{"FileName", parts.value(1)}, {"FileFormat", std::int16_t(8)}});
            word->object("ActiveWindow")->call("Close");
            std::printf("ok\n");
        } catch (const AutomationError& error) {
            std::printf("failed: %s\n", qPrintable(error.description()));
        }
    }
    server->shutdown();
}
