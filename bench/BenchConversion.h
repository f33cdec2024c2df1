#pragma once

// The late-bound calls a batch conversion makes for each file of a folder,
// timed; shared by the office benchmarks.
#include "automation/AutomationRuntime.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>

namespace qp::bench {

struct Pass {
    int converted = 0;
    int failed = 0;
    double seconds = 0;
};

inline Pass throughLayers(const ObjectRef& word, const QDir& folder, const QStringList& files,
                          const QDir& out, bool report) {
    Pass pass;
    QElapsedTimer timer;
    timer.start();
    for (const QString& name : files) {
        try {
            word->call(QStringLiteral("ChangeFileOpenDirectory"), {{{}, folder.path()}});
            word->object(QStringLiteral("Documents"))
                ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), name}});
            word->object(QStringLiteral("application"))->set(QStringLiteral("Visible"), true);
            word->object(QStringLiteral("ActiveDocument"))
                ->call(QStringLiteral("SaveAs"),
                       {{QStringLiteral("FileName"),
                         out.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".htm"))},
                        {QStringLiteral("FileFormat"), std::int16_t(8)},
                        {QStringLiteral("LockComments"), false},
                        {QStringLiteral("Password"), ""},
                        {QStringLiteral("AddToRecentFiles"), false}});
            word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
            ++pass.converted;
        } catch (const AutomationError& error) {
            ++pass.failed;
            if (report)
                std::printf("Failed %s: %s\n", qPrintable(name), qPrintable(error.description()));
            try {
                // Leave no document of a failed conversion open.
                while (word->object(QStringLiteral("Documents"))
                           ->get(QStringLiteral("Count"))
                           .toInt() > 0)
                    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
            } catch (const AutomationError&) {
            }
        }
    }
    pass.seconds = timer.nsecsElapsed() / 1e9;
    return pass;
}

} // namespace qp::bench
