#include "support/memory.h"

#include "engine/debug_log.h"
#include "platform/os/sync.h"
#include "support/pointer_index.h"

#include <cstdint>
#include <cstdlib>
#include <string>

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
