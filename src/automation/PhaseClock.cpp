#include "PhaseClock.h"

#include <QStringList>

#include <atomic>

namespace qp {

namespace {
// Phases are timed on the office's threads and on the caller's.
std::atomic<int> times[phaseCount];
std::atomic<long long> nanoseconds[phaseCount];
} // namespace

PhaseTotal phaseTotal(Phase phase) {
    const int i = int(phase);
    return {times[i].load(), double(nanoseconds[i].load()) / 1e9};
}

void addPhaseTime(Phase phase, std::chrono::steady_clock::duration time, int runs) {
    const int i = int(phase);
    times[i] += runs;
    nanoseconds[i] += std::chrono::duration_cast<std::chrono::nanoseconds>(time).count();
}

QString phaseSummary() {
    static const char* const names[phaseCount] = {"load",  "layout",    "save",    "rewrite",
                                                  "place", "hand-over", "deliver", "confine"};
    QStringList parts;
    for (int i = 0; i < phaseCount; ++i) {
        const PhaseTotal total = phaseTotal(Phase(i));
        parts << QStringLiteral("%1 %2 s (%3)")
                     .arg(QLatin1String(names[i]))
                     .arg(total.seconds, 0, 'f', 3)
                     .arg(total.times);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace qp
