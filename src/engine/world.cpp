#include "engine/world.h"

#include "engine/debug_log.h"
#include "engine/element_table.h"
#include "engine/state.h"
#include "math/random.h"

#include <cmath>
#include <limits>

namespace {

constexpr DWORD kSlicesPerAxis = 4;
constexpr DWORD kQuadrantLimit = kSlicesPerAxis * kSlicesPerAxis * kSlicesPerAxis;
// Stands for a slice product that no unsigned number holds (negative, huge or not a
// number); it is above every valid slice, so it is reported as an invalid quadrant.
constexpr DWORD kUnrepresentableSlice = 0xFFFFFFFF;
constexpr double kLargestFloat = std::numeric_limits<float>::max();

bool WorldWraps() {
    return g_level.info.dwWrap == 1;
}

// Where repeatedly adding the world size while value is below the world, then subtracting it
// while value is above, would leave value; computed in one step so that a coordinate far
// outside costs no more than one nearby, and one that a float step could no longer move
// cannot loop. The world fields may come from a saved game, so they are not trusted.
float WrapIntoWorld(float value, const GAME_STATE& world) {
    double size = world.fWorldSize;
    if (!std::isfinite(value) || !std::isfinite(size) || !(size > 0)) {
        return value;
    }
    double wrapped = value;
    if (wrapped < world.fWorldMin) {
        wrapped += std::ceil((world.fWorldMin - wrapped) / size) * size;
    }
    if (wrapped > world.fWorldMax) {
        wrapped -= std::ceil((wrapped - world.fWorldMax) / size) * size;
    }
    return std::fabs(wrapped) <= kLargestFloat ? static_cast<float>(wrapped) : value;
}

DWORD TruncateSlice(float product) {
    if (product >= 0.0f && product < 4294967296.0f) {
        return static_cast<DWORD>(product);
    }
    return kUnrepresentableSlice;
}

double QuadrantFactor(float size) {
    return 1.0 / (static_cast<double>(size) * 0.25);
}

} // namespace

extern "C" {

void vgInitialiseWorldSize(float size) {
    if (!std::isfinite(size) || !(size > 0.0f) || !(QuadrantFactor(size) <= kLargestFloat)) {
        DebugLog("VelEng::vgInitialiseWorldSize() Invalid world size %f!", size);
        return;
    }
    GAME_STATE& world = g_engine.gameState;
    world.fWorldSize = size;
    world.fQuadrantFactor = static_cast<float>(QuadrantFactor(size));
    world.fWorldMax = size * 0.5f;
    world.fWorldMin = -(size * 0.5f);
}

DWORD vgGetQuadrant(const D3DVECTOR* point) {
    DWORD x = vgQuadrantFromAxis(point->x);
    DWORD y = vgQuadrantFromAxis(point->y);
    DWORD z = vgQuadrantFromAxis(point->z);
    DWORD quadrant = x + kSlicesPerAxis * y + kSlicesPerAxis * kSlicesPerAxis * z;
    if (quadrant >= kQuadrantLimit) {
        DebugLog("VelEng::vgGetQuadrant() Invalid quadrant %u from <%f,%f,%f>", quadrant, point->x,
                 point->y, point->z);
        return 0;
    }
    return quadrant;
}

void vgRandomUnitVector(D3DVECTOR* out) {
    float z = rgRandomFT();
    float y = rgRandomFT();
    float x = rgRandomFT();
    *out = UnitVectorFromDraws(x, y, z);
}

} // extern "C"

DWORD vgQuadrantFromAxis(float value) {
    const GAME_STATE& world = g_engine.gameState;
    if (WorldWraps()) {
        value = WrapIntoWorld(value, world);
    }
    // Written so that a coordinate that is not a number fails too.
    if (!(value >= world.fWorldMin && value <= world.fWorldMax)) {
        DebugLog("VelEng::vgQuadrantFromAxis() Value out of range. %4.4f vs (%4.4f,%4.4f)", value,
                 world.fWorldMin, world.fWorldMax);
        return 0;
    }
    DWORD slice = TruncateSlice((value - world.fWorldMin) * world.fQuadrantFactor);
    if (slice >= kQuadrantLimit) {
        DebugLog("VelEng::vgQuadrantFromAxis() Invalid quadrant %u from value %f (min=%f "
                 "factor=%f)",
                 slice, value, world.fWorldMin, world.fQuadrantFactor);
        return 0;
    }
    return slice;
}

D3DVECTOR UnitVectorFromDraws(float x, float y, float z) {
    D3DVECTOR draws(x, y, z);
    return Magnitude(draws) > 0.0f ? Normalize(draws) : D3DVECTOR(0.0f, 0.0f, 1.0f);
}
