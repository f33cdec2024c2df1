#pragma once

#include <functional>

namespace qp {

// The end of the program. Exit, the main window's close box and a failed
// binding of the word processor end the whole program at once: the
// registered shutdown hooks run (the office bridge stops the office it
// started), then the process exits without any further window event.

// Registers a hook that endProgram runs, in the order of registration.
void addShutdownHook(std::function<void()> hook);

// Runs the registered hooks and forgets them, so that each runs once. For a
// program that ends by returning from main rather than through endProgram.
void runShutdownHooks();

// Runs the shutdown hooks once and ends the process with exit code 0. When an
// end handler is set, it runs instead of the exit and endProgram returns.
void endProgram();

// Replaces the process exit with the handler (tests); an empty handler
// restores the exit. Returns the previous handler.
std::function<void()> setEndHandler(std::function<void()> handler);

namespace General {
// The program's "End" statement.
inline void End() {
    endProgram();
}
} // namespace General

} // namespace qp
