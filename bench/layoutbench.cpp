// layoutbench FOLDER OUTDIR: what laying documents out costs. Converts every
// file of FOLDER into a web page (format 8) through the late-bound calls a
// batch conversion makes, once with the documents that need it laid out in
// the page preview (as Quillpage loads them), once laid out in the editing
// view (as the office's own batch does), and once as a bare model without a
// layout, each on an office of its own. After a first pass that warms the
// offices, the ways alternate for three rounds and the best round of each
// counts. The pages of the last round are left in OUTDIR/laid-out,
// OUTDIR/editing-view and OUTDIR/model-only.
#include "BenchConversion.h"
#include "automation/AutomationRuntime.h"
#include "office/WordServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdio>

using namespace qp;
using qp::bench::Pass;
using qp::bench::throughLayers;

namespace {

std::shared_ptr<office::WordServer> server(const QString& name, office::DocumentLayout layout) {
    office::OfficeOptions options;
    options.profileDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/quillpg/office/bench-") + name;
    auto result = std::make_shared<office::WordServer>(options);
    result->setDocumentLayout(layout);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: layoutbench FOLDER OUTDIR\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const QDir laidOutPages(out.filePath(QStringLiteral("laid-out")));
    const QDir modelPages(out.filePath(QStringLiteral("model-only")));
    const QDir editingPages(out.filePath(QStringLiteral("editing-view")));
    QDir().mkpath(editingPages.path());
    QDir().mkpath(laidOutPages.path());
    QDir().mkpath(modelPages.path());
    const QStringList files = folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);

    const auto laidOutServer =
        server(QStringLiteral("layout"), office::DocumentLayout::PagePreview);
    const auto modelServer = server(QStringLiteral("model"), office::DocumentLayout::ModelOnly);
    const auto editingServer =
        server(QStringLiteral("editing"), office::DocumentLayout::EditingView);
    ObjectRef laidOut, model, editing;
    try {
        laidOut = laidOutServer->createObject();
        model = modelServer->createObject();
        editing = editingServer->createObject();
    } catch (const AutomationError& error) {
        std::fprintf(stderr, "layoutbench: %s\n", qPrintable(error.description()));
        return 2;
    }
    throughLayers(laidOut, folder, files, laidOutPages, false);
    throughLayers(model, folder, files, modelPages, false);
    throughLayers(editing, folder, files, editingPages, false);
    Pass bestLaidOut, bestModel, bestEditing;
    bestLaidOut.seconds = bestModel.seconds = bestEditing.seconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        const Pass l = throughLayers(laidOut, folder, files, laidOutPages, false);
        const Pass m = throughLayers(model, folder, files, modelPages, false);
        if (l.seconds < bestLaidOut.seconds)
            bestLaidOut = l;
        if (m.seconds < bestModel.seconds)
            bestModel = m;
        const Pass e = throughLayers(editing, folder, files, editingPages, false);
        if (e.seconds < bestEditing.seconds)
            bestEditing = e;
    }
    const int documents = int(files.size());
    if (documents == 0) {
        std::printf("no documents\n");
        return 0;
    }
    const double laidOutMs = bestLaidOut.seconds * 1000.0 / documents;
    const double modelMs = bestModel.seconds * 1000.0 / documents;
    std::printf("laid out:   %7.1f ms per document (%d converted, %d failed)\n", laidOutMs,
                bestLaidOut.converted, bestLaidOut.failed);
    std::printf("editing view: %5.1f ms per document (%d converted, %d failed)\n",
                bestEditing.seconds * 1000.0 / documents, bestEditing.converted,
                bestEditing.failed);
    std::printf("model only: %7.1f ms per document (%d converted, %d failed)\n", modelMs,
                bestModel.converted, bestModel.failed);
    std::printf("layout cost: %.1f ms per document, %.0f%% of the conversion time\n",
                laidOutMs - modelMs, laidOutMs > 0 ? (laidOutMs - modelMs) * 100.0 / laidOutMs : 0);
    laidOutServer->shutdown();
    modelServer->shutdown();
    editingServer->shutdown();
    return 0;
}
