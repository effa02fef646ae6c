// Operating-system services: debug output, message boxes, the performance counter, module
// refusals, critical sections and events.

#include "platform/os/clock.h"
#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "platform/os/message_box.h"
#include "platform/os/module.h"
#include "platform/os/sync.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

TEST(DebugOutputTest, SinkReceivesWholeLinesUntilReplaced) {
    testkit::DebugCapture capture;
    OutputDebugStringA("one\n");
    OutputDebugStringA(nullptr);
    {
        testkit::DebugCapture inner;
        OutputDebugStringA("two\n");
        EXPECT_EQ(inner.Lines(), std::vector<std::string>{"two\n"});
    }
    // Lines written by several threads at once arrive whole, in the sink that is back.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                OutputDebugStringA("a whole line\n");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::vector<std::string> expected(2001, "a whole line\n");
    expected.front() = "one\n";
    EXPECT_EQ(capture.Lines(), expected);
}

int AnswerCancel(const char*, const char*, UINT, void* context) {
    ++*static_cast<int*>(context);
    return IDCANCEL;
}

TEST(MessageBoxTest, DefaultAnswerIsTheFirstButtonUnlessAHandlerAnswers) {
    const std::pair<UINT, int> cases[] = {
        {MB_OK, IDOK},           {MB_OKCANCEL | MB_ICONWARNING, IDOK}, {MB_YESNO, IDYES},
        {MB_YESNOCANCEL, IDYES}, {MB_ABORTRETRYIGNORE, IDABORT},       {MB_RETRYCANCEL, IDRETRY}};
    for (const auto& [style, answer] : cases) {
        EXPECT_EQ(DefaultMessageBoxButton(style), answer) << style;
    }
    int shown = 0;
    MessageBoxHook previous = SetMessageBoxHandler({AnswerCancel, &shown});
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(shown, 1);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL), IDOK) << "default again";
    EXPECT_EQ(shown, 1);
}

TEST(ClockTest, TheCounterRunsAtTheReportedFrequencyOrNotAtAll) {
    LONGLONG frequency = 0;
    ASSERT_EQ(QueryPerformanceFrequency(&frequency), TRUE);
    EXPECT_EQ(frequency, 1000000000);
    platform::OverridePerformanceFrequency(1000);
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(frequency, 1000);
    LONGLONG before = 0;
    LONGLONG after = 0;
    QueryPerformanceCounter(&before);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QueryPerformanceCounter(&after);
    EXPECT_GE(after - before, 19);
    EXPECT_LT(after - before, 2000) << "counts milliseconds, not nanoseconds";
    platform::OverridePerformanceFrequency(0);
    EXPECT_EQ(QueryPerformanceFrequency(&frequency), FALSE) << "no counter: the queries fail";
    EXPECT_EQ(QueryPerformanceCounter(&before), FALSE);
    platform::OverridePerformanceFrequency(-1);
}

// Loading and calling real modules is what the behaviour-module suites do; here the refusals.
TEST(ModuleTest, MissingModuleFailsWithAReason) {
    EXPECT_EQ(LoadLibraryA("c:\\no\\such\\module.so"), nullptr);
    EXPECT_STRNE(GetModuleErrorText(), "");
    EXPECT_EQ(GetProcAddress(nullptr, "TestModuleCount"), nullptr);
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

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
