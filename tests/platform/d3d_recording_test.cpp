// The recording device: every call logged in order with its arguments, and failures injected
// by name and occurrence.

#include "platform/d3d/recording/recording_d3d.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace platform;
using Lines = std::vector<std::string>;

namespace {

// A texture of another implementation; it lives on the test's stack.
class StackTexture : public IDirect3DTexture2 {
public:
    DWORD AddRef() override { return 2; }
    DWORD Release() override { return 1; }
};

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

TEST_F(RecordingD3DTest, CallsAreLoggedInOrderWithTheirArguments) {
    StackTexture texture;
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->SetTexture(0, &texture);
    device->SetTexture(1, nullptr);
    D3DMATRIX view = TranslateMatrix(1, 2, 3);
    device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    EXPECT_EQ(log->Lines(),
              (Lines{"Device#1::SetRenderState(27, 1)", "Device#1::SetTextureStageState(0, 17, 2)",
                     "Device#1::SetTexture(0, external)", "Device#1::SetTexture(1, null)",
                     "Device#1::SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; 1 2 3 1])"}));
    device->SetTexture(0, nullptr);
}

TEST_F(RecordingD3DTest, RecordsAndObjectsAreSpelledOut) {
    IDirect3DViewport3* viewport = nullptr;
    IDirect3DLight* light = nullptr;
    IDirect3DMaterial3* material = nullptr;
    direct3D->CreateViewport(&viewport, nullptr);
    direct3D->CreateLight(&light, nullptr);
    direct3D->CreateMaterial(&material, nullptr);
    D3DLIGHT2 description{};
    description.dwSize = sizeof(D3DLIGHT2);
    description.dltType = D3DLIGHT_DIRECTIONAL;
    description.dcvColor = {1, 0.5f, 0, 1};
    description.dvDirection = D3DVECTOR(0, 0, 1);
    description.dvAttenuation1 = 1;
    description.dwFlags = D3DLIGHT_ACTIVE | D3DLIGHT_NO_SPECULAR;
    light->SetLight(&description);
    D3DMATERIAL record{};
    record.dwSize = sizeof(D3DMATERIAL);
    record.dcvDiffuse = {1, 1, 1, 1};
    record.dvPower = 2.5f;
    record.dwRampSize = 16;
    material->SetMaterial(&record);
    viewport->AddLight(light);
    D3DRECT rects[2] = {{0, 0, 320, 240}, {320, 240, 640, 480}};
    viewport->Clear(2, rects, D3DCLEAR_TARGET);
    log->ClearCalls();
    light->SetLight(&description);
    material->SetMaterial(&record);
    viewport->DeleteLight(light);
    viewport->Clear(2, rects, D3DCLEAR_TARGET);
    EXPECT_EQ(log->Lines(),
              (Lines{"Light#1::SetLight({size 80, type 3, colour (1 0.5 0 1), position (0 0 0), "
                     "direction (0 0 1), range 0, falloff 0, attenuation (0 1 0), theta 0, phi 0, "
                     "flags 3})",
                     "Material#1::SetMaterial({size 80, diffuse (1 1 1 1), ambient (0 0 0 0), "
                     "specular (0 0 0 0), emissive (0 0 0 0), power 2.5, texture 0, ramp 16})",
                     "Viewport#1::DeleteLight(Light#1)",
                     "Viewport#1::Clear(2, [0 0 320 240] [320 240 640 480], 1)"}));
    material->Release();
    light->Release();
    viewport->Release();
}

TEST_F(RecordingD3DTest, ReferenceCountingIsLoggedButReferencesObjectsTakeAreNot) {
    IDirect3DViewport3* viewport = nullptr;
    direct3D->CreateViewport(&viewport, nullptr);
    device->SetCurrentViewport(viewport);
    IDirect3DViewport3* current = nullptr;
    device->GetCurrentViewport(&current);
    current->Release();
    viewport->AddRef();
    viewport->Release();
    viewport->Release();
    EXPECT_EQ(log->Names(), (Lines{"Direct3D::CreateViewport", "Device::SetCurrentViewport",
                                   "Device::GetCurrentViewport", "Viewport::Release",
                                   "Viewport::AddRef", "Viewport::Release", "Viewport::Release"}));
    EXPECT_EQ(device->CurrentViewport()->ReferenceCount(), 1u);
    EXPECT_EQ(log->Count("Viewport::Release"), 3u) << "counts ignore which object was called";
    EXPECT_EQ(log->Count("Light::SetLight"), 0u);
}

// --- Injected failures ----------------------------------------------------------------------

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

    // A failed creation gives null and creates nothing.
    log->FailCall("Direct3D::CreateLight", DDERR_OUTOFMEMORY, 1);
    IDirect3DLight* light = nullptr;
    EXPECT_EQ(direct3D->CreateLight(&light, nullptr), DDERR_OUTOFMEMORY);
    EXPECT_EQ(light, nullptr);
    EXPECT_EQ(device->LiveObjectCount(), 2u);
    ASSERT_EQ(direct3D->CreateLight(&light, nullptr), D3D_OK);
    EXPECT_EQ(static_cast<SoftwareLight*>(light)->Label(), "Light#1") << "no serial was used";
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
