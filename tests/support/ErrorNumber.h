#pragma once

#include "automation/AutomationError.h"

#include <functional>

namespace qp::test {

// The number of the AutomationError that the action raises, 0 when it raises
// none; the description goes to text when asked for.
inline std::int32_t errorNumberOf(const std::function<void()>& action, QString* text = nullptr) {
    try {
        action();
    } catch (const AutomationError& error) {
        if (text)
            *text = error.description();
        return error.number();
    }
    return 0;
}

} // namespace qp::test
