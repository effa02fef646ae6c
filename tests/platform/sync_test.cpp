#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "platform/os/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

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

    HANDLE manual = CreateEventA(TRUE, TRUE); // initially signalled
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
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
