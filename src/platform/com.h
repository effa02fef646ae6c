#pragma once

// Reference counting and interface queries, shared by every device object of the platform
// layer (DirectDraw, the 3D device, later sound and input).

#include "platform/types.h"

#include <cstring>

// Interface identifiers: 128 bits, compared by value.
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    bool operator==(const GUID& other) const {
        return std::memcmp(this, &other, sizeof(GUID)) == 0;
    }
};
static_assert(sizeof(GUID) == 16);
using IID = GUID;
using REFIID = const IID&;

// Result codes are written as the unsigned bit patterns they are known by.
constexpr HRESULT MakeResultCode(DWORD bits) {
    return static_cast<HRESULT>(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = MakeResultCode(0x80004005);
constexpr HRESULT E_NOINTERFACE = MakeResultCode(0x80004002);
constexpr HRESULT E_POINTER = MakeResultCode(0x80004003);

class IUnknown {
public:
    // Both return the new count; Release destroys the object when it reaches 0.
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;
    // Another interface of the same object, with a reference added; objects that offer none
    // answer E_NOINTERFACE and a null pointer.
    virtual HRESULT QueryInterface(REFIID iid, void** object) {
        (void)iid;
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

protected:
    virtual ~IUnknown() = default;
};
