// The software device hands a renderer only calls it has validated, and a renderer's failure
// is the call's failure.

#include "platform/d3d/recording/recording_d3d.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

// Logs what reaches it; fails the call named in `failing`.
class LoggingRenderer final : public SoftwareRenderer {
public:
    HRESULT BeginScene() override { return Note("BeginScene"); }
    HRESULT EndScene() override { return Note("EndScene"); }
    HRESULT Clear(const SoftwareViewport&, DWORD count, const D3DRECT*, DWORD flags) override {
        return Note("Clear " + std::to_string(count) + " " + std::to_string(flags));
    }
    HRESULT Draw(const SoftwareDevice& device, const D3DVERTEX*, DWORD vertexCount, const WORD*,
                 DWORD indexCount) override {
        return Note("Draw " + std::to_string(vertexCount) + " " + std::to_string(indexCount) +
                    " material " + std::to_string(device.CurrentMaterialHandle()));
    }

    std::vector<std::string> calls;
    std::string failing;

private:
    HRESULT Note(const std::string& call) {
        calls.push_back(call);
        return call.starts_with(failing) && !failing.empty() ? DDERR_GENERIC : D3D_OK;
    }
};

class RendererHookTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_EQ(CreateSoftwareDirect3D({}, &direct3D, &device, log, renderer), D3D_OK);
        IDirect3DViewport3* created = nullptr;
        ASSERT_EQ(direct3D->CreateViewport(&created, nullptr), D3D_OK);
        viewport = static_cast<SoftwareViewport*>(created);
        ASSERT_EQ(device->SetCurrentViewport(viewport), D3D_OK);
    }
    void TearDown() override {
        viewport->Release();
        device->Release();
        direct3D->Release();
    }
    HRESULT DrawTriangle(WORD lastIndex = 2) {
        WORD indices[3] = {0, 1, lastIndex};
        return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, indices,
                                            3, 0);
    }

    std::shared_ptr<D3DCallLog> log = std::make_shared<D3DCallLog>();
    std::shared_ptr<LoggingRenderer> renderer = std::make_shared<LoggingRenderer>();
    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;
    SoftwareViewport* viewport = nullptr;
    D3DVERTEX vertices[3]{};
    D3DRECT whole{0, 0, 64, 48};
};

TEST_F(RendererHookTest, OnlyValidCallsReachTheRenderer) {
    EXPECT_EQ(DrawTriangle(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(viewport->Clear(1, &whole, 0x4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, &whole, D3DCLEAR_ZBUFFER), D3D_OK);
    EXPECT_EQ(DrawTriangle(3), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DrawTriangle(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(renderer->calls, (std::vector<std::string>{"BeginScene", "Clear 1 2",
                                                         "Draw 3 3 material 0", "EndScene"}));
}

struct FailingCase {
    const char* call;
    HRESULT (*act)(RendererHookTest&);
    // What the device keeps afterwards: scene open, draws recorded, clears counted.
    bool inScene;
    std::size_t draws;
    DWORD clears;
};

class RendererFailureTest : public RendererHookTest,
                            public ::testing::WithParamInterface<FailingCase> {};

TEST_P(RendererFailureTest, TheCallFailsAndTheDeviceKeepsItsState) {
    const FailingCase& failing = GetParam();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    renderer->failing = failing.call;
    if (renderer->failing == "BeginScene") {
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }
    EXPECT_EQ(failing.act(*this), DDERR_GENERIC);
    EXPECT_EQ(device->InScene(), failing.inScene);
    EXPECT_EQ(device->SceneDraws().size(), failing.draws);
    EXPECT_EQ(viewport->ClearCount(), failing.clears);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RendererFailureTest,
    ::testing::Values(
        FailingCase{"BeginScene", [](RendererHookTest& t) { return t.device->BeginScene(); }, false,
                    0, 0},
        // A scene the renderer could not finish is over all the same.
        FailingCase{"EndScene", [](RendererHookTest& t) { return t.device->EndScene(); }, false, 0,
                    0},
        FailingCase{
            "Clear",
            [](RendererHookTest& t) { return t.viewport->Clear(1, &t.whole, D3DCLEAR_TARGET); },
            true, 0, 0},
        FailingCase{"Draw", [](RendererHookTest& t) { return t.DrawTriangle(); }, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.call); });

TEST_F(RendererHookTest, ViewportRectangleIsKeptAndLogged) {
    D3DVIEWPORT2 rectangle{sizeof(D3DVIEWPORT2), 8, 4, 32, 16, 0, 0, 0, 0, 0.25f, 1};
    ASSERT_EQ(viewport->SetViewport2(&rectangle), D3D_OK);
    ASSERT_NE(viewport->Rectangle(), nullptr);
    EXPECT_EQ(viewport->Rectangle()->dwWidth, 32u);
    EXPECT_EQ(log->Lines().back(),
              "Viewport#1::SetViewport2({size 44, 8 4 32 x 16, depth 0.25 to 1})");
}

} // namespace
