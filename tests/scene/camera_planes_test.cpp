#include "scene/camera.h"

#include "engine/engine.h"
#include "engine/state.h"

#include <gtest/gtest.h>

namespace {

// On a 640 x 480 screen the side planes lean 45 degrees from the view direction sideways
// (normals (+-0.7071, 0, 0.7071)) and atan(320 / 240) up and down (normals (0, +-0.8, 0.6)).
// A sphere of radius 1 at depth 20 is therefore visible up to |x| = 21.41 and |y| = 16.25.
struct SphereCase {
    D3DVECTOR centre;
    int visible;
};

const SphereCase kSphereCases[] = {
    {{0, 16.2f, 20}, 1}, {{0, 16.3f, 20}, 0}, {{0, -16.2f, 20}, 1}, {{0, -16.3f, 20}, 0},
    {{21.3f, 0, 20}, 1}, {{21.5f, 0, 20}, 0}, {{-21.3f, 0, 20}, 1}, {{-21.5f, 0, 20}, 0},
};

TEST(CameraPlanesTest, EachSidePlaneBoundsTheVisibleSpheres) {
    GAME_GLOBALS* previous = vgGetGlobals();
    GAME_GLOBALS globals{};
    globals.nScreenWidth = 640;
    globals.nScreenHeight = 480;
    vgSetGlobals(&globals);
    CCamera camera;
    D3DVECTOR eye(0, 0, 0);
    D3DVECTOR target(0, 0, 1);
    camera.SetFirstPerson(eye);
    camera.SetTargetPosition(target);
    D3DMATRIX view;
    camera.Update(view, 1.0f, 100.0f);
    vgSetGlobals(previous);
    for (const SphereCase& c : kSphereCases) {
        D3DVECTOR centre = c.centre;
        EXPECT_EQ(camera.IsBoundingSphereVisible(&centre, 1.0f), c.visible)
            << "centre (" << centre.x << ", " << centre.y << ", " << centre.z << ")";
    }
}

} // namespace
