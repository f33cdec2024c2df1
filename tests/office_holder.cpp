// Starts an office through the bridge, prints its process id and waits to be
// killed: the office must not outlive it.
#include "platform/office/WordServer.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qp::office::OfficeOptions options;
    if (argc > 1)
        options.pipeName = QString::fromLocal8Bit(argv[1]);
    qp::office::WordServer server(options);
    server.createObject();
    std::printf("%lld\n", server.session()->officePid());
    std::fflush(stdout);
    for (;;)
        ::pause();
}
