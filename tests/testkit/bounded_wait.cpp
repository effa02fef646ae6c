#include "testkit/bounded_wait.h"

#include <future>
#include <memory>
#include <thread>

namespace testkit {

bool FinishesWithin(std::function<void()> work, std::chrono::milliseconds limit) {
    // Shared with the thread, which may outlive this call; a future from std::async would
    // instead wait for the thread when it is destroyed.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([done, work = std::move(work)] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(limit) == std::future_status::ready;
}

} // namespace testkit
