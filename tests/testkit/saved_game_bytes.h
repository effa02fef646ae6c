#pragma once

// Saved-game sections built byte by byte from the record tables, independently of the
// engine's writers: the 324-byte game state header and the nested entity record.

#include "engine/engine.h"
#include "testkit/bytes.h"

#include <cstdint>
#include <vector>

namespace testkit {

// The header: offsets 0 to 320 from the state, then the camera field as given.
inline std::vector<std::uint8_t> GameStateImage(const GAME_STATE& s, std::uint32_t cameraField) {
    ByteBuilder b;
    b.U32(s.dwFileId).U32(s.dwHeaderSize).U32(s.dwNextEntityId);
    b.U32(s.dwRenderTime).F32(s.fRenderTime).U32(s.dwDeltaRenderTime).F32(s.fDeltaRenderTime);
    b.U32(s.dwPhysicsTime).F32(s.fPhysicsTime);
    b.U32(s.dwDeltaPhysicsTime).F32(s.fDeltaPhysicsTime).U32(s.dwReserved);
    b.F32(s.fQuadrantFactor).F32(s.fWorldMin).F32(s.fWorldMax).F32(s.fWorldSize);
    return b.Chars(s.szLevelFile, 256).U32(cameraField).Bytes();
}

// An entity as the registry spawns it (empty model record, identity rotations, user data
// word 2 at -1, no scale, at the origin) with an identifier, local data and child count.
struct EntitySample {
    std::uint32_t id = 500;
    std::vector<std::uint8_t> localData;
    std::uint32_t children = 0;
};

inline ByteBuilder& Identity(ByteBuilder& b) {
    for (int i = 0; i < 16; ++i) {
        b.F32(i % 5 == 0 ? 1.0f : 0.0f);
    }
    return b;
}

// The record (2632 bytes), the local data and the child count; the children follow.
inline ByteBuilder& EntityImage(ByteBuilder& b, const EntitySample& e) {
    Identity(b.U32(2632).Fill(0, 2436).U32(e.id)).U32(0).U32(0).I32(-1).Fill(0, 16);
    Identity(b.U32(static_cast<std::uint32_t>(e.localData.size())).Fill(0, 12)).Fill(0, 16);
    return b.Raw(e.localData).U32(e.children);
}

} // namespace testkit
