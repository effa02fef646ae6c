#pragma once

#include "platform/export.h"
#include "platform/types.h"

class IDirectDrawSurface4;

// The process-wide allocator for game data. Every block carries a header in front of the
// caller's bytes and sits in one list, newest first, so that current and peak use can be
// reported and leaked blocks listed when the library unloads. One static instance exists;
// all operations are static.
class VELCORE_API CMemory {
public:
    // Logs a complaint when memory was already allocated: the one accountant must be
    // constructed before anything allocates.
    CMemory();
    // Reports leaks (every block still listed, with its first bytes) or the peak figures.
    ~CMemory();
    CMemory(const CMemory&) = delete;
    CMemory& operator=(const CMemory&) = delete;

    // Null when the heap refuses; nothing is counted then. flags is accepted and ignored.
    static void* Allocate(DWORD size, DWORD flags);
    // A pointer that did not come from Allocate is handed to the C heap without accounting.
    static void Deallocate(void* pointer);

    // Count a surface's pitch x height bytes in the system total when it lives in system
    // memory, else in the video total. The bytes charged are remembered per surface, and
    // untracking subtracts exactly those (nothing for a surface that was never tracked), so
    // a surface whose description changed or can no longer be read cannot skew the totals.
    static void TrackVideoMemory(IDirectDrawSurface4* surface);
    static void UntrackVideoMemory(IDirectDrawSurface4* surface);

    static DWORD GetTotalMemoryAllocated();
    static DWORD GetMaxMemoryUsed();
    static DWORD GetTotalVideoMemoryAllocated();
    static DWORD GetMaxVideoMemoryUsed();

    // Logs the current figures (current != 0) or the peaks.
    static void DumpMemoryStats(int current);

    // Test hook: the count-th allocation from now fails (1: the next one); 0 disarms it.
    static void FailAllocationAfter(DWORD count);
};

// A chain of raw blocks, each starting with this header (next block, own address) and
// followed by its payload. The caller owns the chain's head pointer; new blocks go in front.
class VELCORE_API CMemBlock {
public:
    // count * size payload bytes; null (chain unchanged) when allocation fails or the size
    // does not fit in 32 bits.
    static CMemBlock* Create(CMemBlock*& head, DWORD count, DWORD size);

    void* GetMemoryBlock();
    // Frees this block and every block after it in the chain.
    void Delete();

private:
    CMemBlock* m_next;
    void* m_self;
};
