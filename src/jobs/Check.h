#pragma once

#include <QtGlobal>

namespace qp {

// Reports a check that failed: in debug builds a warning with the condition,
// file and line; nothing otherwise.
inline void checkFailed(const char* condition, const char* file, int line) {
#ifndef NDEBUG
    qWarning("Check failed: \"%s\" in %s:%d", condition, file, line);
#else
    Q_UNUSED(condition);
    Q_UNUSED(file);
    Q_UNUSED(line);
#endif
}

} // namespace qp

// The value of a condition that only a misuse of the code makes false (an
// object used before its init, say). A false one is reported with its place
// in debug builds, and the caller recovers, as in
//     if (QP_CHECK(stateManager_))
//         stateManager_->nextDocument();
#define QP_CHECK(condition)                                                                        \
    (Q_LIKELY(condition) ? true : (::qp::checkFailed(#condition, __FILE__, __LINE__), false))
