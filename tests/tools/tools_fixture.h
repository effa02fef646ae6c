#pragma once

#include "obj_reader.h"

#include "support/memory.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>

// Text files are built line by line: each string is one line.
inline std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text.append(line).push_back('\n');
    }
    return text;
}

inline bool ParseObj(const std::string& text, vmmtool::ObjScene& scene,
                     vmmtool::Diagnostic& error) {
    std::istringstream in(text);
    return vmmtool::ReadObj(in, "test.obj", scene, error);
}

inline bool ParseMtl(const std::string& text, vmmtool::MtlLibrary& library,
                     vmmtool::Diagnostic& error) {
    std::istringstream in(text);
    return vmmtool::ReadMtl(in, "test.mtl", library, error);
}

// Tests that build models check that the memory accountant ends where it started.
class AccountedTest : public ::testing::Test {
protected:
    void SetUp() override { m_baseline = CMemory::GetTotalMemoryAllocated(); }
    void TearDown() override { EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline); }

private:
    DWORD m_baseline = 0;
};
