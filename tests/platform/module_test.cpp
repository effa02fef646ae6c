#include "platform/os/module.h"
#include "platform/os/path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

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
