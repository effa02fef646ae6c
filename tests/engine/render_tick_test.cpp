#include "engine/globals.h"
#include "engine/render.h"
#include "engine_fixture.h"
#include "render_level.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace render_level;

const D3DVECTOR kInView(0.0f, 0.0f, 10.0f);
const D3DVECTOR kBehind(0.0f, 0.0f, -50.0f);

// Model 0: one square in view with material 0 (texture 0). Model 1: two squares in view, the
// first with material 0 (texture 0), the second with material 1 (no texture). Model 2: one
// square behind the camera. Record 3 has no model.
class RenderTickTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        InstallModels(
            m_dir, RENDERMODULE,
            {BuildModel({{D3DVECTOR(0.0f)}}, 1, {0}),
             BuildModel({{D3DVECTOR(0.0f), 1.0f, 0}, {D3DVECTOR(3.0f, 0, 0), 1.0f, 1}}, 2, {0}),
             BuildModel({{D3DVECTOR(0.0f)}}, 1, {0})},
            {0, 1, 2, 7});
        vgGetModel(0)->dwTextureOverride = 0;
        InstallTextures({BuildTexture(0), BuildTexture(kTextureBlackTransparent)}, 3);
        vgPauseGame(0);
    }
    // The device calls of one tick, as names.
    std::vector<std::string> Tick() {
        m_host.Device()->BeginScene();
        m_host.Log().ClearCalls();
        m_log.Clear();
        vgGameRenderTick();
        std::vector<std::string> names;
        for (const platform::D3DCall& call : m_host.Log().Calls()) {
            if (call.kind == "Device") {
                names.push_back(call.method);
            }
        }
        m_host.Device()->EndScene();
        return names;
    }
    std::size_t Count(const char* line) {
        auto lines = m_host.Log().Lines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(line) != std::string::npos;
        });
    }
    // Which entities' Render entries ran, in order.
    std::vector<DWORD> Rendered() const { return IdsLogged("module fighter: Render %u"); }
};

TEST_F(RenderTickTest, OneEntityFrameSetsViewWorldMaterialTextureThenDraws) {
    Spawn(nullptr, 0, kInView);
    EXPECT_EQ(Tick(), (std::vector<std::string>{
                          "SetTransform", "SetTransform", "SetLightState", "SetTexture",
                          "SetRenderState", "SetRenderState", "SetRenderState",
                          "SetTextureStageState", "SetTextureStageState", "SetTextureStageState",
                          "SetTextureStageState", "SetTextureStageState", "DrawIndexedPrimitive"}));
    EXPECT_EQ(Count("SetRenderState(27, 0)") + Count("SetRenderState(20, 1)"), 2u);
    EXPECT_EQ(Count("SetTextureStageState(0, 16, 2)"), 1u);
    EXPECT_EQ(Count("DrawIndexedPrimitive(4, 274, 4, 6, 8)"), 1u);
}

TEST_F(RenderTickTest, MaterialAndTextureAreSetOnlyWhenTheyChangeOrWereForgotten) {
    Spawn(nullptr, 0, kInView);
    Spawn(nullptr, 0, kInView);
    struct Case {
        const char* before;
        std::size_t sets;
    } cases[] = {{"first frame", 1}, {"next frame", 0}, {"device generation", 1}, {"pause", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        if (std::string(c.before) == "device generation") {
            ++m_host.Globals().dwDeviceGeneration;
        } else if (std::string(c.before) == "pause") {
            vgPauseGame(1);
            vgPauseGame(0);
        }
        Tick();
        EXPECT_EQ(Count("SetLightState"), c.sets);
        EXPECT_EQ(Count("SetTexture("), c.sets);
    }
}

TEST_F(RenderTickTest, AFrameWithoutTextureClearsItAndTheNextSetsItAgain) {
    // Each entity of model 1: material 0 with texture 0, then material 1 without texture.
    Spawn(nullptr, 1, kInView);
    Spawn(nullptr, 1, kInView);
    Tick();
    EXPECT_EQ(Count("SetLightState"), 4u);
    EXPECT_EQ(Count("SetTexture("), 2u);
    EXPECT_EQ(Count("SetRenderState(1, 0)"), 2u);
}

TEST_F(RenderTickTest, RenderResultsHideDeleteOrReportAndCulledParentsKeepTheirChildren) {
    CBaseEntity* hidden = Spawn(nullptr, 0, kInView, kEntityNothingToDraw);
    Spawn(hidden, 0, kInView);
    CBaseEntity* parent = Spawn(nullptr, 0, kInView);
    CBaseEntity* doomed = Spawn(parent, 0, kInView, kEntityDeleteMe);
    CBaseEntity* odd = Spawn(parent, 0, kInView, 7);
    // A parent out of view draws nothing, but its children are drawn.
    CBaseEntity* culled = Spawn(nullptr, 2, kBehind);
    Spawn(culled, 0, D3DVECTOR(0.0f))->m_vOffsetPosition = D3DVECTOR(0.0f, 0.0f, 60.0f);
    const DWORD doomedId = doomed->m_dwID;
    Tick();
    EXPECT_EQ(Rendered(), (std::vector<DWORD>{hidden->m_dwID, parent->m_dwID, doomedId, odd->m_dwID,
                                              culled->m_dwID, culled->m_dwID + 1}));
    EXPECT_EQ(vgFindEntity(doomedId), nullptr);
    EXPECT_EQ(parent->m_Children.GetCount(), 1u);
    EXPECT_TRUE(m_log.Contains(
        "VelEng::vgRenderEntity() Entity 'fighter' returned 7 from render function."));
    EXPECT_EQ(Count("DrawIndexedPrimitive") + Count("SetTransform(1"), 4u);
}

TEST_F(RenderTickTest, EntitiesWithoutModelOrLoadedTextureAreSafe) {
    // Record 3 maps to a slot beyond the models; texture 2 is in the table but not loaded.
    CBaseEntity* modelless = Spawn(nullptr, 3, kInView);
    Spawn(modelless, 0, kInView);
    vgGetModel(0)->dwTextureOverride = 2;
    Spawn(nullptr, 0, kInView);
    Tick();
    EXPECT_EQ(Count("DrawIndexedPrimitive"), 2u);
    EXPECT_EQ(Count("SetTexture("), 1u);
    EXPECT_EQ(Count("SetRenderState(1, 0)"), 1u);
}

TEST_F(RenderTickTest, BoundingSphereUsesTheUnscaledCentreAndTheLargestScale) {
    // The view's right plane passes x = 11 at z = 10. Model 2's square (sphere radius sqrt 2)
    // at x = 15 is out of view until a y scale of 3 grows its radius; model 1's second square
    // at x = 3 scaled by 4 along x lies at x = 12, in view, unless its centre is scaled twice.
    struct Case {
        DWORD model;
        D3DVECTOR position;
        D3DVECTOR scale;
        std::size_t draws;
    } cases[] = {{2, {15, 0, 10}, {1, 1, 1}, 0},
                 {2, {15, 0, 10}, {1, 3, 1}, 1},
                 {1, {0, 0, 10}, {4, 1, 1}, 2}};
    for (const Case& c : cases) {
        CBaseEntity* entity = Spawn(nullptr, c.model, c.position);
        entity->m_vScale = c.scale;
        Tick();
        EXPECT_EQ(Count("DrawIndexedPrimitive"), c.draws) << c.model << " " << c.scale.y;
        vgDeleteEntity(entity);
    }
}

TEST_F(RenderTickTest, FailedCallsAreReportedAndTheFrameGoesOn) {
    Spawn(nullptr, 0, kInView);
    struct Case {
        const char* call;
        const char* message;
        const char* nextFrame; // a failed material or texture is set again
    } cases[] = {
        {"Device::SetLightState", "vgRenderEntity() Failed to set material! Error=80004005",
         "SetLightState"},
        {"Device::SetTexture", "vgRenderEntity() Failed to set texture 0. Error=80004005",
         "SetTexture("},
        {"Device::DrawIndexedPrimitive", "vgRenderEntity() DrawIndexedPrimitive failed. Error",
         "DrawIndexedPrimitive"},
        {"Device::SetTransform", "vgGameTick() Failed to set view transformation. Error=8000",
         "SetTransform(2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        ++m_host.Globals().dwDeviceGeneration;
        m_host.Log().FailCall(c.call, E_FAIL, 1);
        Tick();
        EXPECT_TRUE(m_log.Contains(c.message));
        EXPECT_EQ(Count("DrawIndexedPrimitive"), 1u);
        m_host.Log().ClearFailures();
        Tick();
        EXPECT_EQ(Count(c.nextFrame), 1u);
    }
}

TEST_F(RenderTickTest, PausedTicksDoNothingAndAMissingCameraIsRepaired) {
    Spawn(nullptr, 0, kInView);
    platform::AdvanceFrozenClock(40'000'000);
    vgPauseGame(1);
    EXPECT_EQ(Tick().size(), 0u);
    EXPECT_EQ(vgGetCurrentRenderTime(), 0u);
    vgPauseGame(0);
    platform::AdvanceFrozenClock(25'000'000);
    vgSetActiveCamera(nullptr);
    EXPECT_EQ(vgGameRenderTick(), 1);
    EXPECT_EQ(vgGetCurrentRenderTime(), 25u);
    EXPECT_EQ(vgGetActiveCamera(), &g_engineCamera);
    EXPECT_TRUE(m_log.Contains("VelEng::vgGameTick() No active camera assigned!!"));
}

} // namespace
