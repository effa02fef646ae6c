#pragma once

#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace testkit {

// The bytes an object writes through Save(HANDLE) into a fresh file.
template <class T> std::vector<std::uint8_t> SavedRecord(const ScratchDir& dir, T& object) {
    HANDLE file = CreateFileA(dir.EnginePath("saved.rec").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              CREATE_ALWAYS);
    EXPECT_EQ(object.Save(file), 1);
    CloseHandle(file);
    return dir.ReadFile("saved.rec");
}

// What an object's Load(HANDLE) returns for a file holding bytes.
template <class T>
int LoadRecord(const ScratchDir& dir, T& object, const std::vector<std::uint8_t>& bytes) {
    dir.WriteFile("load.rec", bytes);
    HANDLE file = CreateFileA(dir.EnginePath("load.rec").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING);
    const int result = object.Load(file);
    CloseHandle(file);
    return result;
}

} // namespace testkit
