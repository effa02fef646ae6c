#pragma once

// Objects whose memory the memory accountant keeps: models, frames and materials that a model
// or a level owns are created and destroyed through these two functions.

#include "support/memory.h"

#include <new>

// A default-constructed T in a block from CMemory, or null when allocation fails.
template <class T> T* NewAccounted() {
    void* storage = CMemory::Allocate(sizeof(T), 0);
    return storage != nullptr ? ::new (storage) T() : nullptr;
}

// Destroys an object made by NewAccounted and returns its block; null is ignored.
template <class T> void DeleteAccounted(T* object) {
    if (object != nullptr) {
        object->~T();
        CMemory::Deallocate(object);
    }
}
