#pragma once

#include "platform/os/last_error.h"

#include <tuple>

namespace testkit {

// What a call returns, made with the last error cleared, and the last error (an errno value)
// it leaves.
template <class Call> auto WithLastError(Call call) {
    SetLastError(0);
    auto result = call();
    return std::tuple(result, static_cast<int>(GetLastError()));
}

} // namespace testkit
