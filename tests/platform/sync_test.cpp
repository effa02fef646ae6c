#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "platform/os/sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(CriticalSectionTest, IsReentrantForTheHoldingThread) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_EQ(TryEnterCriticalSection(&section), TRUE);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);

    // Still held once: another thread cannot enter.
    std::atomic<BOOL> otherEntered{TRUE};
    std::thread([&] { otherEntered = TryEnterCriticalSection(&section); }).join();
    EXPECT_EQ(otherEntered.load(), FALSE);

    LeaveCriticalSection(&section);
    std::thread([&] {
        otherEntered = TryEnterCriticalSection(&section);
        if (otherEntered) {
            LeaveCriticalSection(&section);
        }
    }).join();
    EXPECT_EQ(otherEntered.load(), TRUE);
    DeleteCriticalSection(&section);
}

TEST(CriticalSectionTest, ThreadStartedWhileHeldIsWokenByTheRelease) {
    // Taken while this process may still have a single thread; the waiter started afterwards
    // must still be woken when the section is left.
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    std::atomic<bool> entered{false};
    std::thread waiter([&] {
        CriticalSectionLock lock(&section);
        entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    waiter.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&section);
}

TEST(CriticalSectionTest, SerialisesContendedThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    int inside = 0;
    int maxInside = 0;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10000; ++i) {
                CriticalSectionLock lock(&section);
                maxInside = std::max(maxInside, ++inside);
                ++counter;
                // Some holders sleep inside, so that waiters must sleep too.
                if (t == 0 && i % 500 == 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                --inside;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(maxInside, 1);
    EXPECT_EQ(counter, 40000);
    DeleteCriticalSection(&section);
}

TEST(EventTest, AutoResetReleasesOneWaitAndManualResetStaysSignalled) {
    HANDLE event = CreateEventA(FALSE, FALSE);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(SetEvent(event), TRUE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT) << "the wait consumed the signal";
    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForSingleObject(event, INFINITE); });
    SetEvent(event);
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0) << "a waiter in another thread wakes";
    EXPECT_EQ(CloseHandle(event), TRUE);

    HANDLE manual = CreateEventA(TRUE, TRUE);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0) << "initially signalled";
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ResetEvent(manual), TRUE);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
}

TEST(EventTest, StaleOrForeignHandlesAreRefused) {
    HANDLE event = CreateEventA(FALSE, FALSE);
    CloseHandle(event);
    EXPECT_EQ(SetEvent(event), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(CloseHandle(event), FALSE);
    EXPECT_EQ(CloseHandle(INVALID_HANDLE_VALUE), FALSE);

    // A live handle of another kind is refused too.
    HANDLE other = CreateEventA(FALSE, FALSE);
    DWORD read = 0;
    char byte = 0;
    EXPECT_EQ(ReadFile(other, &byte, 1, &read), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    CloseHandle(other);
}

} // namespace
