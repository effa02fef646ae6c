#include "benchkit/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_newCalls{0};

} // namespace

namespace benchkit {

long NewCalls() {
    return g_newCalls.load(std::memory_order_relaxed);
}

} // namespace benchkit

// The library's operator delete frees with free(), which matches.
void* operator new(std::size_t size) {
    g_newCalls.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
