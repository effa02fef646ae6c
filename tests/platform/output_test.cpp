#include "platform/os/clock.h"
#include "platform/os/debug_output.h"
#include "platform/os/message_box.h"
#include "platform/os/module.h"
#include "platform/os/path.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

TEST(DebugOutputTest, SinkReceivesLinesUntilReplaced) {
    {
        testkit::DebugCapture capture;
        OutputDebugStringA("one\n");
        OutputDebugStringA(nullptr);
        ASSERT_EQ(capture.Lines(), std::vector<std::string>{"one\n"});
        {
            testkit::DebugCapture inner;
            OutputDebugStringA("two\n");
            EXPECT_EQ(inner.Lines().size(), 1u);
        }
        OutputDebugStringA("three\n");
        EXPECT_EQ(capture.Lines().size(), 2u) << "the outer sink is back after the inner one";
    }
}

TEST(DebugOutputTest, LinesFromManyThreadsArriveWhole) {
    testkit::DebugCapture capture;
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
    ASSERT_EQ(capture.Lines().size(), 2000u);
    for (const auto& line : capture.Lines()) {
        ASSERT_EQ(line, "a whole line\n");
    }
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

class ClockOverrideTest : public ::testing::Test {
protected:
    void TearDown() override { platform::OverridePerformanceFrequency(-1); }
};

TEST_F(ClockOverrideTest, CounterRunsAtTheReportedFrequency) {
    LONGLONG frequency = 0;
    ASSERT_EQ(QueryPerformanceFrequency(&frequency), TRUE);
    EXPECT_EQ(frequency, 1000000000);

    platform::OverridePerformanceFrequency(1000);
    ASSERT_EQ(QueryPerformanceFrequency(&frequency), TRUE);
    EXPECT_EQ(frequency, 1000);
    LONGLONG before = 0;
    LONGLONG after = 0;
    QueryPerformanceCounter(&before);
    DWORD start = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QueryPerformanceCounter(&after);
    EXPECT_GE(after - before, 19);
    EXPECT_LT(after - before, 2000) << "counts milliseconds, not nanoseconds";
    EXPECT_GE(timeGetTime() - start, 20u) << "the system clock advances too";

    platform::OverridePerformanceFrequency(0);
    EXPECT_EQ(QueryPerformanceFrequency(&frequency), FALSE) << "no counter: the queries fail";
    EXPECT_EQ(QueryPerformanceCounter(&before), FALSE);
}

using CountEntry = int (*)(int);

TEST(ModuleTest, LoadsResolvesCallsAndFrees) {
    std::string path = platform::HostToWindowsPath(PLATFORM_TEST_MODULE);
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << GetModuleErrorText();
    auto count = reinterpret_cast<CountEntry>(GetProcAddress(module, "TestModuleCount"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(2), 2);
    EXPECT_EQ(count(3), 5) << "state lives in the module";
    EXPECT_EQ(GetProcAddress(module, "NoSuchEntry"), nullptr);
    EXPECT_STRNE(GetModuleErrorText(), "");
    EXPECT_EQ(FreeLibrary(module), TRUE);

    // A lower-cased path still finds the mixed-case file.
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << GetModuleErrorText();
    FreeLibrary(module);
}

TEST(ModuleTest, MissingModuleFailsWithAReason) {
    EXPECT_EQ(LoadLibraryA("c:\\no\\such\\module.so"), nullptr);
    EXPECT_STRNE(GetModuleErrorText(), "");
    EXPECT_EQ(GetProcAddress(nullptr, "TestModuleCount"), nullptr);
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

} // namespace
