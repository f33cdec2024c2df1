#pragma once

#include <QString>

#include <chrono>

namespace qp {

// Where the time of a conversion goes, summed over the documents of this
// process: loading the document, laying it out in pages, the office's save,
// rewriting its page (pictures kept in the folder, the filtered page) and
// moving the page into place. Benchmarks read it; it costs two clock reads
// per phase.
enum class Phase { Load, Layout, Save, Rewrite, Place };
constexpr int phaseCount = 5;

struct PhaseTotal {
    int times = 0;      // how often the phase ran
    double seconds = 0; // how long it took in all
};

PhaseTotal phaseTotal(Phase phase);
// Adds one run of the phase.
void addPhaseTime(Phase phase, std::chrono::steady_clock::duration time);
// "load 1.234 s (12), layout ..." for every phase.
QString phaseSummary();

// Times the phase from here to the end of the scope.
class PhaseTimer {
public:
    explicit PhaseTimer(Phase phase) : phase_(phase) {}
    ~PhaseTimer() { addPhaseTime(phase_, std::chrono::steady_clock::now() - start_); }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

private:
    Phase phase_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace qp
