#pragma once

// The fixed-width types and constants of the services the engine was designed against,
// with their original widths (DWORD and LONG stay 32-bit on this 64-bit host).

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using LONGLONG = std::int64_t;
using HANDLE = void*;
using HMODULE = void*;
using HWND = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// The invalid handle is all one bits, never null.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

constexpr DWORD MAX_PATH = 260;

// Result codes are signed: negative is failure.
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
