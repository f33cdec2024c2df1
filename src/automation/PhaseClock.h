#pragma once

#include <QString>

#include <chrono>

namespace qp {

// Where the time of a conversion goes, summed over the documents of this
// process: loading the document, laying it out in pages, the office's save,
// rewriting its page (pictures kept in the folder, the filtered page) and
// moving the page into place; handing the document to the office (linked or
// copied into its input folder, and taken back when it is closed) and
// delivering what the office wrote (moved out of its output folder); and,
// once per office start, walling the office in (network namespace, socket
// filter, Landlock rules, in the office's process before it runs). Benchmarks
// read it; it costs two clock reads per phase.
enum class Phase { Load, Layout, Save, Rewrite, Place, HandOver, Deliver, Confine };
constexpr int phaseCount = 8;

struct PhaseTotal {
    int times = 0;      // how often the phase ran
    double seconds = 0; // how long it took in all
};

PhaseTotal phaseTotal(Phase phase);
// Adds the time of `runs` runs of the phase (0: time that belongs to a run
// counted already).
void addPhaseTime(Phase phase, std::chrono::steady_clock::duration time, int runs = 1);
// "load 1.234 s (12), layout ..." for every phase.
QString phaseSummary();

// Times the phase from here to the end of the scope.
class PhaseTimer {
public:
    explicit PhaseTimer(Phase phase, int runs = 1) : phase_(phase), runs_(runs) {}
    ~PhaseTimer() { addPhaseTime(phase_, std::chrono::steady_clock::now() - start_, runs_); }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

private:
    Phase phase_;
    int runs_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace qp
