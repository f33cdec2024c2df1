#include "Application.h"

#include <cstdio>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qp {

namespace {

std::vector<std::function<void()>>& shutdownHooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

std::function<void()>& endHandler() {
    static std::function<void()> handler;
    return handler;
}

} // namespace

void addShutdownHook(std::function<void()> hook) {
    if (hook)
        shutdownHooks().push_back(std::move(hook));
}

void runShutdownHooks() {
    // Taken out first so that a hook that ends the program again, or a second
    // end while the first is still running, runs no hook twice.
    std::vector<std::function<void()>> hooks = std::exchange(shutdownHooks(), {});
    for (auto& hook : hooks) {
        try {
            hook();
        } catch (...) {
            // The program ends anyway; a failing hook must not keep it alive.
        }
    }
}

void endProgram() {
    runShutdownHooks();
    if (endHandler()) {
        endHandler()();
        return;
    }
    std::fflush(nullptr);
    _exit(0);
}

std::function<void()> setEndHandler(std::function<void()> handler) {
    return std::exchange(endHandler(), std::move(handler));
}

} // namespace qp
