#pragma once

#include <chrono>
#include <functional>

namespace testkit {

// Runs work on a thread of its own and waits at most limit for it. A test that would
// otherwise hang (a leaked lock, a loop that never ends) fails instead: the thread is left
// behind, still blocked, and ends with the process.
bool FinishesWithin(std::function<void()> work,
                    std::chrono::milliseconds limit = std::chrono::seconds(5));

} // namespace testkit
