// The render tick drawn for real: a level's entities through the OpenGL device, headless,
// compared with reference pictures.

#include "engine/render.h"
#include "render_level.h"
#include "testkit/gl_scene.h"
#include "testkit/golden_image.h"

#include <gtest/gtest.h>

namespace {

using namespace render_level;

// A 160 x 120 frame of the engine camera (at (0, 0, -1), looking along +z) lit by the engine
// light, which shines along the view.
class RenderGoldenTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_scene.SkipReason().empty()) {
            GTEST_SKIP() << m_scene.SkipReason();
        }
        m_globals.pDirectDraw = m_scene.DirectDraw();
        m_globals.pDirect3D = m_scene.Direct3D();
        m_globals.pDevice = m_scene.Device();
        m_globals.nScreenWidth = 160;
        m_globals.nScreenHeight = 120;
        m_globals.fNearPlane = 1.0f;
        m_globals.fFarPlane = 100.0f;
        m_previous = vgGetGlobals();
        vgSetGlobals(&m_globals);
        vgEnable();
        // The host's projection: 90 degrees across, as the engine camera culls.
        m_scene.LookAt(D3DVECTOR(0, 0, -1), D3DVECTOR(0, 0, 0));
    }
    void TearDown() override {
        vgDisable();
        vgSetGlobals(m_previous);
    }
    // Runs one frame of the engine between the host's scene calls.
    void Frame() {
        vgPauseGame(0);
        m_scene.Device()->BeginScene();
        m_scene.ClearTo(testkit::Colour(0.1f, 0.1f, 0.3f));
        vgGameRenderTick();
        m_scene.Device()->EndScene();
    }

    testkit::GLSceneHost m_scene;
    testkit::ScratchDir m_dir;
    GAME_GLOBALS m_globals{};
    GAME_GLOBALS* m_previous = nullptr;
};

TEST_F(RenderGoldenTest, HierarchyBlendingAndCulling) {
    // Model 0: an opaque textured square; model 1: an additive square (black-transparent
    // texture); model 2: a frame left of the view, one in view.
    InstallModels(m_dir, RENDERMODULE,
                  {BuildModel({{D3DVECTOR(0.0f), 3.0f}}, 1, {0}),
                   BuildModel({{D3DVECTOR(0.0f), 2.0f}}, 1, {1}),
                   BuildModel({{D3DVECTOR(-40, 0, 0)}, {D3DVECTOR(0, -3, 0)}}, 1, {0})},
                  {0, 1, 2});
    InstallTextures({BuildTexture(0, 0, 0xE0E0E0, 0x4060C0),
                     BuildTexture(kTextureBlackTransparent, 0, 0xC04000, 0x000000)},
                    2);
    CBaseEntity* parent = Spawn(nullptr, 0, D3DVECTOR(-3, 1, 10));
    Spawn(parent, 1, D3DVECTOR(0.0f))->m_vOffsetPosition = D3DVECTOR(1.5f, -1, -0.5f);
    CBaseEntity* hidden = Spawn(nullptr, 0, D3DVECTOR(3, 1, 10), kEntityNothingToDraw);
    Spawn(hidden, 1, D3DVECTOR(0.0f));
    Spawn(nullptr, 2, D3DVECTOR(2, 0, 10));
    Frame();
    // The parent, its child and the one frame of model 2 in view.
    EXPECT_EQ(m_scene.Device()->SceneDraws().size(), 3u);
    EXPECT_TRUE(testkit::MatchesGolden(m_scene.Target(), "engine", "render-tick-hierarchy"));
}

} // namespace
