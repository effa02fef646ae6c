#include "support/memory.h"

#include "engine/debug_log.h"
#include "platform/ddraw/ddraw.h"
#include "platform/os/sync.h"
#include "support/pointer_index.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// The header in front of every block: the caller's address, the size asked for, the block
// allocated after this one (towards the head) and the one allocated before it.
struct BlockHeader {
    void* userPointer;
    DWORD size;
    BlockHeader* previous;
    BlockHeader* next;
};

// Rounded up so that the caller's bytes keep the heap's 16-byte alignment.
constexpr std::size_t kHeaderSize = (sizeof(BlockHeader) + 15) / 16 * 16;

constexpr int kDumpedBytes = 16;
constexpr const char* kSeparator = "==================================\n";

struct SurfaceCharge {
    DWORD bytes;
    bool video;
};

// Created on first use and never destroyed: blocks allocated before the accountant object
// is constructed are still counted (its constructor then complains), and static destructors
// that run after the accountant's may still free blocks.
struct AccountantState {
    AccountantState() { InitializeCriticalSection(&lock); }

    CRITICAL_SECTION lock;
    BlockHeader* head = nullptr;
    DWORD systemTotal = 0;
    DWORD systemPeak = 0;
    DWORD videoTotal = 0;
    DWORD videoPeak = 0;
    DWORD allocationsUntilFailure = 0;
    // The live blocks by caller address: freeing does not walk the list.
    PointerIndex liveBlocks;
    // What each tracked surface was charged, newest last (a surface may be tracked again).
    std::unordered_map<const IDirectDrawSurface4*, std::vector<SurfaceCharge>> surfaceCharges;
};

AccountantState& State() {
    static AccountantState* state = new AccountantState;
    return *state;
}

BlockHeader* HeaderOf(void* userPointer) {
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(userPointer) - kHeaderSize);
}

bool InjectedFailureDue() {
    if (State().allocationsUntilFailure == 0) {
        return false;
    }
    return --State().allocationsUntilFailure == 0;
}

void PushFront(BlockHeader* header) {
    header->previous = nullptr;
    header->next = State().head;
    if (State().head != nullptr) {
        State().head->previous = header;
    }
    State().head = header;
}

void Unlink(BlockHeader* header) {
    if (header->previous != nullptr) {
        header->previous->next = header->next;
    } else {
        State().head = header->next;
    }
    if (header->next != nullptr) {
        header->next->previous = header->previous;
    }
}

char Printable(unsigned char byte) {
    return byte < 32 || byte >= 127 ? '.' : static_cast<char>(byte);
}

void DumpBlock(const BlockHeader* header) {
    DebugLog("Memory Block %6d bytes\n", static_cast<int>(header->size));
    const auto* bytes = static_cast<const unsigned char*>(header->userPointer);
    int shown = header->size < kDumpedBytes ? static_cast<int>(header->size) : kDumpedBytes;
    std::string characters = "  Bytes: ";
    std::string hex = "  Hex  : ";
    char cell[8];
    for (int i = 0; i < shown; ++i) {
        std::snprintf(cell, sizeof cell, "%-3c", Printable(bytes[i]));
        characters += cell;
        std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        hex += cell;
    }
    DebugLog("%s\n", characters.c_str());
    DebugLog("%s\n", hex.c_str());
}

// Pitch x height of the surface, in the pool its capabilities name; nothing when its
// description cannot be read or the size is negative.
bool MeasureSurface(IDirectDrawSurface4* surface, SurfaceCharge* charge) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (surface == nullptr || FAILED(surface->GetSurfaceDesc(&desc)) || desc.lPitch < 0) {
        return false;
    }
    const std::uint64_t bytes = std::uint64_t(desc.lPitch) * desc.dwHeight;
    charge->bytes = static_cast<DWORD>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
    charge->video = (desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) == 0;
    return true;
}

void Charge(DWORD& total, DWORD& peak, DWORD bytes) {
    total = bytes > 0xFFFFFFFFu - total ? 0xFFFFFFFFu : total + bytes;
    if (total > peak) {
        peak = total;
    }
}

void DumpLeaks() {
    DebugLog("CMemory()::~CMemory() Detected memory leak(s)!\n");
    DebugLog("System RAM left allocated: %d bytes, %d K.\n", static_cast<int>(State().systemTotal),
             static_cast<int>(State().systemTotal >> 10));
    DebugLog("Video  RAM left allocated: %d bytes, %d K.\n", static_cast<int>(State().videoTotal),
             static_cast<int>(State().videoTotal >> 10));
    for (const BlockHeader* header = State().head; header != nullptr; header = header->next) {
        DumpBlock(header);
    }
}

} // namespace

CMemory::CMemory() {
    if (State().systemPeak != 0) {
        DebugLog("CMemory::CMemory() You cannot create any localised CMemory objects!\n");
    }
}

CMemory::~CMemory() {
    CriticalSectionLock guard(&State().lock);
    if (State().systemTotal != 0 || State().videoTotal != 0) {
        DumpLeaks();
    }
    DumpMemoryStats(0);
}

void* CMemory::Allocate(DWORD size, DWORD) {
    CriticalSectionLock guard(&State().lock);
    if (InjectedFailureDue()) {
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(std::malloc(kHeaderSize + size));
    if (header == nullptr) {
        return nullptr;
    }
    header->userPointer = reinterpret_cast<unsigned char*>(header) + kHeaderSize;
    header->size = size;
    if (!State().liveBlocks.Insert(header->userPointer)) {
        std::free(header);
        return nullptr;
    }
    PushFront(header);
    State().systemTotal += size;
    if (State().systemTotal > State().systemPeak) {
        State().systemPeak = State().systemTotal;
    }
    return header->userPointer;
}

void CMemory::Deallocate(void* pointer) {
    CriticalSectionLock guard(&State().lock);
    if (!State().liveBlocks.Erase(pointer)) {
        std::free(pointer);
        return;
    }
    BlockHeader* header = HeaderOf(pointer);
    State().systemTotal -= header->size;
    Unlink(header);
    std::free(header);
}

void CMemory::TrackVideoMemory(IDirectDrawSurface4* surface) {
    SurfaceCharge charge{};
    if (!MeasureSurface(surface, &charge)) {
        return;
    }
    CriticalSectionLock guard(&State().lock);
    State().surfaceCharges[surface].push_back(charge);
    if (charge.video) {
        Charge(State().videoTotal, State().videoPeak, charge.bytes);
    } else {
        Charge(State().systemTotal, State().systemPeak, charge.bytes);
    }
}

void CMemory::UntrackVideoMemory(IDirectDrawSurface4* surface) {
    CriticalSectionLock guard(&State().lock);
    auto found = State().surfaceCharges.find(surface);
    if (found == State().surfaceCharges.end()) {
        return;
    }
    const SurfaceCharge charge = found->second.back();
    found->second.pop_back();
    if (found->second.empty()) {
        State().surfaceCharges.erase(found);
    }
    DWORD& total = charge.video ? State().videoTotal : State().systemTotal;
    total -= std::min(total, charge.bytes);
}

DWORD CMemory::GetTotalMemoryAllocated() {
    return State().systemTotal;
}

DWORD CMemory::GetMaxMemoryUsed() {
    return State().systemPeak;
}

DWORD CMemory::GetTotalVideoMemoryAllocated() {
    return State().videoTotal;
}

DWORD CMemory::GetMaxVideoMemoryUsed() {
    return State().videoPeak;
}

void CMemory::DumpMemoryStats(int current) {
    DebugLog("%s", kSeparator);
    if (current != 0) {
        DebugLog("Cur System Memory Used = %dK\n", static_cast<int>(State().systemTotal >> 10));
        DebugLog("Cur Video  Memory Used = %dK\n", static_cast<int>(State().videoTotal >> 10));
    } else {
        DebugLog("Max System Memory Used = %dK\n", static_cast<int>(State().systemPeak >> 10));
        DebugLog("Max Video  Memory Used = %dK\n", static_cast<int>(State().videoPeak >> 10));
    }
    DebugLog("%s", kSeparator);
}

void CMemory::FailAllocationAfter(DWORD count) {
    CriticalSectionLock guard(&State().lock);
    State().allocationsUntilFailure = count;
}

CMemBlock* CMemBlock::Create(CMemBlock*& head, DWORD count, DWORD size) {
    std::uint64_t payload = static_cast<std::uint64_t>(count) * size;
    if (payload > 0xFFFFFFFFull - sizeof(CMemBlock)) {
        return nullptr;
    }
    auto* block = static_cast<CMemBlock*>(
        CMemory::Allocate(static_cast<DWORD>(payload + sizeof(CMemBlock)), 0));
    if (block == nullptr) {
        return nullptr;
    }
    block->m_next = head;
    block->m_self = block;
    head = block;
    return block;
}

void* CMemBlock::GetMemoryBlock() {
    return static_cast<unsigned char*>(m_self) + sizeof(CMemBlock);
}

void CMemBlock::Delete() {
    CMemBlock* block = this;
    while (block != nullptr) {
        CMemBlock* next = block->m_next;
        CMemory::Deallocate(block->m_self);
        block = next;
    }
}
