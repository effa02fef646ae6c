// The recording device: every call logged in order with its arguments, and failures injected
// by name and occurrence.

#include "platform/d3d/recording/recording_d3d.h"
#include "testkit/gl_scene.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace platform;
using Lines = std::vector<std::string>;

namespace {

class RecordingD3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateRecordingDirect3D({}, log, &direct3D, &device), D3D_OK);
    }
    void TearDown() override {
        device->Release();
        direct3D->Release();
    }

    std::shared_ptr<D3DCallLog> log = std::make_shared<D3DCallLog>();
    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;
};

// Records are spelled out field by field; references the objects take on each other are not
// calls, the ones the caller takes and gives back are.
TEST_F(RecordingD3DTest, RecordsAndReferenceCountsAreSpelledOutInOrder) {
    IDirect3DViewport3* viewport = nullptr;
    IDirect3DLight* light = nullptr;
    IDirect3DMaterial3* material = nullptr;
    direct3D->CreateViewport(&viewport, nullptr);
    direct3D->CreateLight(&light, nullptr);
    direct3D->CreateMaterial(&material, nullptr);
    const D3DLIGHT2 description =
        testkit::PointLight({1, 2, 3}, testkit::Colour(1, 0.5f, 0), 4, 0.25f, 0.5f, 2);
    const D3DMATERIAL record = testkit::Material(testkit::Colour(1, 1, 1), {}, 2.5f);
    viewport->AddLight(light);
    D3DRECT rects[2] = {{0, 0, 320, 240}, {320, 240, 640, 480}};
    log->ClearCalls();
    light->SetLight(&description);
    material->SetMaterial(&record);
    viewport->DeleteLight(light);
    viewport->Clear(2, rects, D3DCLEAR_TARGET);
    device->SetCurrentViewport(viewport);
    IDirect3DViewport3* current = nullptr;
    device->GetCurrentViewport(&current);
    current->Release();
    viewport->AddRef();
    viewport->Release();
    EXPECT_EQ(log->Lines(),
              (Lines{"Light#1::SetLight({size 80, type 1, colour (1 0.5 0 1), position (1 2 3), "
                     "direction (0 0 1), range 4, falloff 0, attenuation (0.25 0.5 2), theta 0, "
                     "phi 0, flags 1})",
                     "Material#1::SetMaterial({size 80, diffuse (1 1 1 1), ambient (0 0 0 0), "
                     "specular (0 0 0 0), emissive (0 0 0 0), power 2.5, texture 0, ramp 0})",
                     "Viewport#1::DeleteLight(Light#1)",
                     "Viewport#1::Clear(2, [0 0 320 240] [320 240 640 480], 1)",
                     "Device#1::SetCurrentViewport(Viewport#1)", "Device#1::GetCurrentViewport()",
                     "Viewport#1::Release()", "Viewport#1::AddRef()", "Viewport#1::Release()"}));
    EXPECT_EQ(device->CurrentViewport()->ReferenceCount(), 2u);
    EXPECT_EQ(log->Count("Viewport::Release"), 2u);
    material->Release();
    light->Release();
    viewport->Release();
}

TEST_F(RecordingD3DTest, InjectedFailuresFollowTheirRulesAndChangeNothing) {
    // A failing call returns the code, is logged and changes nothing, until the rules go.
    constexpr HRESULT kCode = MakeResultCode(0x88760123);
    log->FailCall("Device::SetRenderState", kCode);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE), kCode);
    EXPECT_FALSE(device->RenderState(D3DRENDERSTATE_SRCBLEND).has_value());
    EXPECT_EQ(log->Count("Device::SetRenderState"), 1u);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE), D3D_OK);
    log->ClearFailures();
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE), D3D_OK);
    EXPECT_EQ(device->RenderState(D3DRENDERSTATE_SRCBLEND), D3DBLEND_ONE);

    // An occurrence rule counts from when it was added and fails only that call.
    device->BeginScene();
    device->EndScene();
    log->FailCall("Device::BeginScene", DDERR_GENERIC, 2);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    device->EndScene();
    EXPECT_EQ(device->BeginScene(), DDERR_GENERIC);
    EXPECT_FALSE(device->InScene());
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    // Where rules overlap, the first added gives the code.
    constexpr HRESULT kFirst = MakeResultCode(0x88760001);
    constexpr HRESULT kSecond = MakeResultCode(0x88760002);
    log->FailCall("Device::EndScene", kFirst, 2);
    log->FailCall("Device::EndScene", kSecond);
    EXPECT_EQ(device->EndScene(), kSecond);
    EXPECT_EQ(device->EndScene(), kFirst);
    EXPECT_EQ(device->EndScene(), kSecond);

    // A failed creation gives null and uses no serial.
    log->FailCall("Direct3D::CreateLight", DDERR_OUTOFMEMORY, 1);
    IDirect3DLight* light = nullptr;
    EXPECT_EQ(direct3D->CreateLight(&light, nullptr), DDERR_OUTOFMEMORY);
    EXPECT_EQ(light, nullptr);
    EXPECT_EQ(device->LiveObjectCount(), 2u);
    ASSERT_EQ(direct3D->CreateLight(&light, nullptr), D3D_OK);
    EXPECT_EQ(static_cast<SoftwareLight*>(light)->Label(), "Light#1");
    light->Release();

    // Reference counting cannot fail; clearing the calls keeps the rules.
    log->FailCall("Device::AddRef", DDERR_GENERIC);
    log->FailCall("Device::Release", DDERR_GENERIC);
    log->FailCall("Device::GetCaps", DDERR_GENERIC);
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    log->ClearCalls();
    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC software{};
    hardware.dwSize = software.dwSize = sizeof(D3DDEVICEDESC);
    EXPECT_EQ(device->GetCaps(&hardware, &software), DDERR_GENERIC);
    EXPECT_EQ(log->Lines(), (Lines{"Device#1::GetCaps()"}));
}

} // namespace
