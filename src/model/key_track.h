#pragma once

// Operations shared by the four key tracks of a frame and the model's box track: owning
// copies of the records, and finding where a parametric time falls on a track.

#include "math/vector.h"
#include "model/model_frame.h"
#include "support/memory.h"

#include <cmath>
#include <cstdint>
#include <cstring>

template <class Key> void FreeTrack(KEY_TRACK<Key>& track) {
    CMemory::Deallocate(track.pKeys);
    track = KEY_TRACK<Key>{};
}

// Replaces the track's records with a copy of count records. False when the copy cannot be
// allocated (the track is then empty).
template <class Key>
bool CopyTrack(KEY_TRACK<Key>& track, DWORD count, const Key* keys, DWORD start, DWORD end) {
    FreeTrack(track);
    if (count != 0) {
        std::uint64_t bytes = std::uint64_t{count} * sizeof(Key);
        void* storage =
            bytes <= 0xFFFFFFFFu ? CMemory::Allocate(static_cast<DWORD>(bytes), 0) : nullptr;
        if (storage == nullptr) {
            return false;
        }
        std::memcpy(storage, keys, static_cast<std::size_t>(bytes));
        track.pKeys = static_cast<Key*>(storage);
    }
    track.dwCount = count;
    track.dwStart = start;
    track.dwEnd = end;
    return true;
}

// Where a parametric time falls on a track: a single key (to is null) or the fraction f of
// the way from one key to the next.
template <class Key> struct KEY_SPAN {
    const Key* from;
    const Key* to;
    float f;
};

// For a track of at least one key. One key, or t <= 0: the first key; t >= 1: the last.
// Otherwise the first key later than t and the key before it; when t comes before every key
// (or after, or is not a number) the first (or last) key alone.
template <class Key> KEY_SPAN<Key> FindSpan(const Key* keys, DWORD count, float t) {
    const Key* last = keys + count - 1;
    if (count == 1 || t <= 0.0f) {
        return {keys, nullptr, 0.0f};
    }
    if (t >= 1.0f) {
        return {last, nullptr, 0.0f};
    }
    for (DWORD i = 0; i < count; ++i) {
        if (keys[i].fTime > t) {
            if (i == 0) {
                return {keys, nullptr, 0.0f};
            }
            const Key& before = keys[i - 1];
            return {&before, &keys[i], (t - before.fTime) / (keys[i].fTime - before.fTime)};
        }
    }
    return {last, nullptr, 0.0f};
}

// The key whose time is closest to t (the first of equally close keys); the same end rules as
// FindSpan.
template <class Key> const Key* FindNearest(const Key* keys, DWORD count, float t) {
    if (count == 1 || t <= 0.0f) {
        return keys;
    }
    if (t >= 1.0f) {
        return keys + count - 1;
    }
    const Key* nearest = keys;
    for (DWORD i = 1; i < count; ++i) {
        if (std::fabs(keys[i].fTime - t) < std::fabs(nearest->fTime - t)) {
            nearest = keys + i;
        }
    }
    return nearest;
}

inline D3DVECTOR Lerp(const D3DVECTOR& from, const D3DVECTOR& to, float f) {
    return from + (to - from) * f;
}
