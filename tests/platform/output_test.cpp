#include "platform/os/clock.h"
#include "platform/os/debug_output.h"
#include "platform/os/message_box.h"
#include "platform/os/module.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

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

} // namespace
