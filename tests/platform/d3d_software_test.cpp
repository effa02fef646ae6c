// The software 3D device: reference counting, the state it keeps, validation, capabilities
// and texture formats.

#include "platform/d3d/software/software_d3d.h"
#include "platform/ddraw/software/software_ddraw.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

using namespace platform;

namespace {

// A texture of another implementation that only counts its references.
class CountingTexture : public IDirect3DTexture2 {
public:
    DWORD AddRef() override { return ++references; }
    DWORD Release() override { return --references; }
    DWORD references = 1;
};

D3DLIGHT2 DirectionalLight() {
    D3DLIGHT2 light{};
    light.dwSize = sizeof(D3DLIGHT2);
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvColor = {1, 1, 1, 1};
    light.dvDirection = D3DVECTOR(0, 0, 1);
    light.dwFlags = D3DLIGHT_ACTIVE;
    return light;
}

D3DMATERIAL RedMaterial() {
    D3DMATERIAL material{};
    material.dwSize = sizeof(D3DMATERIAL);
    material.dcvDiffuse = {1, 0, 0, 1};
    material.dwRampSize = 16;
    return material;
}

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
    for (int i = 0; i < 16; ++i) {
        if (a.m[i / 4][i % 4] != b.m[i / 4][i % 4]) {
            return false;
        }
    }
    return true;
}

class SoftwareD3DTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateSoftwareDirect3D({}, &direct3D, &device), D3D_OK); }
    // Tests may release the device and the Direct3D object early and null them.
    void TearDown() override {
        if (device != nullptr) {
            device->Release();
        }
        if (direct3D != nullptr) {
            direct3D->Release();
        }
    }

    template <class T, class Interface>
    T* New(HRESULT (IDirect3D3::*create)(Interface**, IUnknown*)) {
        Interface* object = nullptr;
        EXPECT_EQ((direct3D->*create)(&object, nullptr), D3D_OK);
        return static_cast<T*>(object);
    }
    SoftwareLight* NewLight() { return New<SoftwareLight>(&IDirect3D3::CreateLight); }
    SoftwareMaterial* NewMaterial() { return New<SoftwareMaterial>(&IDirect3D3::CreateMaterial); }
    SoftwareViewport* NewViewport() { return New<SoftwareViewport>(&IDirect3D3::CreateViewport); }

    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;
};

TEST_F(SoftwareD3DTest, ObjectsAreDestroyedExactlyWhenTheLastReferenceGoes) {
    DWORD before = device->LiveObjectCount();
    SoftwareMaterial* material = NewMaterial();
    EXPECT_EQ(material->ReferenceCount(), 1u);
    EXPECT_EQ(material->Label(), "Material#1");
    EXPECT_EQ(device->LiveObjectCount(), before + 1);
    EXPECT_EQ(material->AddRef(), 2u);
    EXPECT_EQ(material->Release(), 1u);
    EXPECT_EQ(device->LiveObjectCount(), before + 1);
    EXPECT_EQ(material->Release(), 0u);
    EXPECT_EQ(device->LiveObjectCount(), before);

    // Creation refuses an outer object and a null out pointer.
    IDirect3DLight* light = reinterpret_cast<IDirect3DLight*>(this);
    EXPECT_EQ(direct3D->CreateLight(&light, device), DDERR_INVALIDPARAMS);
    EXPECT_EQ(light, nullptr);
    EXPECT_EQ(direct3D->CreateMaterial(nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->LiveObjectCount(), before);
}

TEST_F(SoftwareD3DTest, ALightBelongsToOneViewportAtATimeWhichKeepsItAlive) {
    DWORD before = device->LiveObjectCount();
    SoftwareViewport* first = NewViewport();
    SoftwareViewport* second = NewViewport();
    SoftwareLight* a = NewLight();
    SoftwareLight* b = NewLight();
    EXPECT_EQ(b->Label(), "Light#2");
    ASSERT_EQ(first->AddLight(a), D3D_OK);
    ASSERT_EQ(first->AddLight(b), D3D_OK);
    EXPECT_EQ(a->ReferenceCount(), 2u);
    EXPECT_EQ(first->Lights(), (std::vector<SoftwareLight*>{a, b}));
    EXPECT_EQ(a->Viewport(), first);
    EXPECT_EQ(first->AddLight(a), D3DERR_LIGHTHASVIEWPORT);
    EXPECT_EQ(second->AddLight(a), D3DERR_LIGHTHASVIEWPORT);
    EXPECT_EQ(second->DeleteLight(a), D3DERR_LIGHTNOTINTHISVIEWPORT);

    ASSERT_EQ(first->DeleteLight(a), D3D_OK);
    EXPECT_EQ(a->ReferenceCount(), 1u);
    EXPECT_EQ(a->Viewport(), nullptr);
    EXPECT_EQ(first->Lights(), (std::vector<SoftwareLight*>{b}));
    ASSERT_EQ(second->AddLight(a), D3D_OK);
    EXPECT_EQ(a->Viewport(), second);
    EXPECT_EQ(a->Release(), 1u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(device->LiveObjectCount(), before + 4);
    first->Release();
    second->Release();
    EXPECT_EQ(device->LiveObjectCount(), before);
}

TEST_F(SoftwareD3DTest, DeviceHoldsItsCurrentViewportAndGetCurrentViewportAddsOne) {
    IDirect3DViewport3* current = reinterpret_cast<IDirect3DViewport3*>(this);
    EXPECT_EQ(device->GetCurrentViewport(&current), D3DERR_NOCURRENTVIEWPORT);
    EXPECT_EQ(current, nullptr);
    SoftwareViewport* first = NewViewport();
    SoftwareViewport* second = NewViewport();
    ASSERT_EQ(device->SetCurrentViewport(first), D3D_OK);
    EXPECT_EQ(first->ReferenceCount(), 2u);
    ASSERT_EQ(device->GetCurrentViewport(&current), D3D_OK);
    EXPECT_EQ(current, first);
    EXPECT_EQ(first->ReferenceCount(), 3u);
    current->Release();
    ASSERT_EQ(device->SetCurrentViewport(second), D3D_OK);
    EXPECT_EQ(first->ReferenceCount(), 1u);
    EXPECT_EQ(second->ReferenceCount(), 2u);
    first->Release();
    second->Release();
}

TEST_F(SoftwareD3DTest, DeviceHoldsBoundTexturesUntilUnboundOrDestroyed) {
    CountingTexture first;
    CountingTexture second;
    ASSERT_EQ(device->SetTexture(0, &first), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, &first), D3D_OK);
    EXPECT_EQ(first.references, 2u);
    ASSERT_EQ(device->SetTexture(0, &second), D3D_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(device->Texture(0), &second);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    EXPECT_EQ(second.references, 1u);
    EXPECT_EQ(device->Texture(0), nullptr);
    device->SetTexture(3, &second);
    EXPECT_EQ(second.references, 2u);
    std::exchange(device, nullptr)->Release();
    EXPECT_EQ(second.references, 1u);
}

TEST_F(SoftwareD3DTest, ObjectsMayOutliveTheDirect3DObjectAndDevice) {
    SoftwareMaterial* material = NewMaterial();
    SoftwareViewport* viewport = NewViewport();
    D3DMATERIALHANDLE handle = 0;
    material->GetHandle(device, &handle);
    viewport->SetBackground(handle);
    device->SetCurrentViewport(viewport);
    std::exchange(device, nullptr)->Release();
    std::exchange(direct3D, nullptr)->Release();
    EXPECT_EQ(viewport->ReferenceCount(), 1u);
    EXPECT_NE(viewport->BackgroundMaterial(), nullptr);
    material->Release();
    EXPECT_EQ(viewport->BackgroundMaterial(), nullptr);
    EXPECT_EQ(viewport->LiveObjectCount(), 1u);
    viewport->Release();
}

TEST_F(SoftwareD3DTest, StateSettersRefuseInvalidArguments) {
    D3DMATRIX view = TranslateMatrix(1, 2, 3);
    EXPECT_EQ(device->SetTransform(D3DTRANSFORMSTATE_WORLD, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &view),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetTextureStageState(D3DDP_MAXTEXCOORD, D3DTSS_COLOROP, 1),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetTexture(D3DDP_MAXTEXCOORD, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_FALSE(device->RenderState(D3DRENDERSTATE_ALPHABLENDENABLE).has_value());
    EXPECT_FALSE(device->TextureStageState(0, D3DTSS_COLOROP).has_value());
}

TEST_F(SoftwareD3DTest, MaterialsKeepValidRecordsUnderDistinctHandlesOfTheirDriver) {
    SoftwareMaterial* first = NewMaterial();
    SoftwareMaterial* second = NewMaterial();
    D3DMATERIALHANDLE a = 0;
    D3DMATERIALHANDLE b = 0;
    first->GetHandle(device, &a);
    second->GetHandle(device, &b);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    D3DMATERIAL red = RedMaterial();
    ASSERT_EQ(first->SetMaterial(&red), D3D_OK);
    EXPECT_EQ(device->Material(a)->dwRampSize, 16u);
    D3DMATERIAL wrongSize = red;
    wrongSize.dwSize = 84;
    wrongSize.dwRampSize = 1;
    EXPECT_EQ(first->SetMaterial(&wrongSize), DDERR_INVALIDPARAMS);
    EXPECT_EQ(first->Record().dwRampSize, 16u);

    // The current material is found by its handle and forgotten when it goes.
    ASSERT_EQ(device->SetLightState(D3DLIGHTSTATE_MATERIAL, a), D3D_OK);
    ASSERT_NE(device->CurrentMaterial(), nullptr);
    EXPECT_EQ(device->CurrentMaterial()->dcvDiffuse.r, 1.0f);
    EXPECT_EQ(device->SetLightState(D3DLIGHTSTATE_MATERIAL, a + b), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->CurrentMaterialHandle(), a);
    first->Release();
    EXPECT_EQ(device->CurrentMaterial(), nullptr);
    EXPECT_EQ(device->SetLightState(D3DLIGHTSTATE_MATERIAL, 0), D3D_OK);

    // Handles are only given for devices of the same driver.
    SoftwareDirect3D* otherDirect3D = nullptr;
    SoftwareDevice* otherDevice = nullptr;
    ASSERT_EQ(CreateSoftwareDirect3D({}, &otherDirect3D, &otherDevice), D3D_OK);
    D3DMATERIALHANDLE handle = 0;
    EXPECT_EQ(second->GetHandle(otherDevice, &handle), DDERR_INVALIDPARAMS);
    EXPECT_EQ(second->GetHandle(nullptr, &handle), DDERR_INVALIDPARAMS);
    EXPECT_EQ(handle, 0u);
    second->Release();
    otherDevice->Release();
    otherDirect3D->Release();
}

TEST_F(SoftwareD3DTest, LightsTakeOnlyWellFormedDescriptions) {
    SoftwareLight* light = NewLight();
    D3DLIGHT2 description = DirectionalLight();
    ASSERT_EQ(light->SetLight(&description), D3D_OK);
    D3DLIGHT2 untyped = description;
    untyped.dltType = static_cast<D3DLIGHTTYPE>(0);
    EXPECT_EQ(light->SetLight(&untyped), DDERR_INVALIDPARAMS);
    D3DLIGHT2 wrongSize = description;
    wrongSize.dwSize = 84;
    EXPECT_EQ(light->SetLight(&wrongSize), DDERR_INVALIDPARAMS);
    EXPECT_EQ(light->SetLight(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(light->Description().dltType, D3DLIGHT_DIRECTIONAL);
    light->Release();
}

TEST_F(SoftwareD3DTest, ViewportsRefuseForeignAndMissingObjects) {
    SoftwareDirect3D* otherDirect3D = nullptr;
    SoftwareDevice* otherDevice = nullptr;
    ASSERT_EQ(CreateSoftwareDirect3D({}, &otherDirect3D, &otherDevice), D3D_OK);
    IDirect3DLight* foreignLight = nullptr;
    otherDirect3D->CreateLight(&foreignLight, nullptr);
    IDirect3DViewport3* foreignViewport = nullptr;
    otherDirect3D->CreateViewport(&foreignViewport, nullptr);

    SoftwareViewport* viewport = NewViewport();
    EXPECT_EQ(viewport->AddLight(foreignLight), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->AddLight(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->DeleteLight(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->SetBackground(12345), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetCurrentViewport(foreignViewport), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetCurrentViewport(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_TRUE(viewport->Lights().empty());
    EXPECT_EQ(device->CurrentViewport(), nullptr);

    // Only well-formed clears count.
    D3DRECT whole{0, 0, 640, 480};
    ASSERT_EQ(viewport->Clear(1, &whole, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), D3D_OK);
    EXPECT_EQ(viewport->Clear(0, &whole, D3DCLEAR_TARGET), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, nullptr, D3DCLEAR_TARGET), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, &whole, 0x4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->ClearCount(), 1u);
    EXPECT_EQ(viewport->LastClearFlags(), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);

    viewport->Release();
    foreignViewport->Release();
    foreignLight->Release();
    otherDevice->Release();
    otherDirect3D->Release();
}

// --- Scenes and draws -----------------------------------------------------------------------

class SoftwareD3DDrawTest : public SoftwareD3DTest {
protected:
    void SetUp() override {
        SoftwareD3DTest::SetUp();
        viewport = NewViewport();
        device->SetCurrentViewport(viewport);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
    }
    void TearDown() override {
        viewport->Release();
        SoftwareD3DTest::TearDown();
    }
    HRESULT Draw(DWORD indexCount, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST,
                 DWORD format = D3DFVF_VERTEX) {
        return device->DrawIndexedPrimitive(type, format, vertices, 3, indices, indexCount,
                                            D3DDP_DONOTUPDATEEXTENTS);
    }

    SoftwareViewport* viewport = nullptr;
    D3DVERTEX vertices[3]{};
    WORD indices[6] = {0, 1, 2, 2, 1, 3};
};

TEST_F(SoftwareD3DDrawTest, DrawsRecordTheStateTheyWereDrawnWith) {
    SoftwareMaterial* material = NewMaterial();
    device->SetLightState(D3DLIGHTSTATE_MATERIAL, material->Handle());
    D3DMATRIX world = TranslateMatrix(0, 0, 5);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    CountingTexture texture;
    device->SetTexture(0, &texture);

    ASSERT_EQ(Draw(3), D3D_OK);
    ASSERT_EQ(device->SceneDraws().size(), 1u);
    const SoftwareDraw& draw = device->SceneDraws().front();
    EXPECT_EQ(draw.vertexCount, 3u);
    EXPECT_EQ(draw.indexCount, 3u);
    EXPECT_EQ(draw.flags, D3DDP_DONOTUPDATEEXTENTS);
    EXPECT_EQ(draw.material, material->Handle());
    EXPECT_EQ(draw.texture, &texture);
    EXPECT_TRUE(SameMatrix(draw.world, world));

    device->SetTexture(0, nullptr);
    material->Release();
}

TEST_F(SoftwareD3DDrawTest, MalformedDrawsAndDrawsOutsideASceneFailAndAreNotRecorded) {
    EXPECT_EQ(Draw(3, static_cast<D3DPRIMITIVETYPE>(5)), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(Draw(3, D3DPT_TRIANGLELIST, D3DFVF_XYZ), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(Draw(4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Draw(6), DDERR_INVALIDPARAMS); // index 3 is past the three vertices
    EXPECT_EQ(
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, nullptr, 3, 0),
        DDERR_INVALIDPARAMS);
    EXPECT_TRUE(device->SceneDraws().empty());

    ASSERT_EQ(Draw(3), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_FALSE(device->InScene());
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(Draw(3), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(device->SceneDraws().size(), 1u);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_TRUE(device->SceneDraws().empty()) << "each scene starts afresh";
}

TEST_F(SoftwareD3DTest, DrawsNeedACurrentViewport) {
    D3DVERTEX vertices[3]{};
    WORD indices[3] = {0, 1, 2};
    device->BeginScene();
    EXPECT_EQ(
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, indices, 3, 0),
        D3DERR_NOCURRENTVIEWPORT);
    device->EndScene();
}

// --- Capabilities and texture formats -------------------------------------------------------

struct CapsPair {
    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC software{};
    CapsPair() { hardware.dwSize = software.dwSize = sizeof(D3DDEVICEDESC); }
};

class SoftwareD3DConfigTest : public ::testing::Test {
protected:
    void Create(const SoftwareDeviceConfig& config) {
        ASSERT_EQ(CreateSoftwareDirect3D(config, &direct3D, &device), D3D_OK);
    }
    void TearDown() override {
        device->Release();
        direct3D->Release();
    }
    std::vector<DDPIXELFORMAT> Enumerate(std::size_t stopAfter = 100) {
        Enumeration enumeration{{}, stopAfter};
        EXPECT_EQ(device->EnumTextureFormats(&Collect, &enumeration), D3D_OK);
        return enumeration.formats;
    }

    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;

private:
    struct Enumeration {
        std::vector<DDPIXELFORMAT> formats;
        std::size_t stopAfter;
    };
    static HRESULT Collect(DDPIXELFORMAT* format, void* context) {
        auto* enumeration = static_cast<Enumeration*>(context);
        enumeration->formats.push_back(*format);
        return enumeration->formats.size() < enumeration->stopAfter ? D3DENUMRET_OK
                                                                    : D3DENUMRET_CANCEL;
    }
};

TEST_F(SoftwareD3DConfigTest, CapabilitiesComeInTheConfiguredDescription) {
    SoftwareDeviceConfig config;
    config.textureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
    config.reportAsHardware = false;
    config.textureFormats.clear();
    Create(config);
    CapsPair caps;
    ASSERT_EQ(device->GetCaps(&caps.hardware, &caps.software), D3D_OK);
    EXPECT_EQ(caps.hardware.dwFlags, 0u);
    EXPECT_EQ(caps.software.dwFlags, D3DDD_TRICAPS);
    EXPECT_EQ(caps.software.dpcTriCaps.dwTextureCaps, config.textureCaps);
    caps.software.dwSize = 204;
    EXPECT_EQ(device->GetCaps(&caps.hardware, &caps.software), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->GetCaps(&caps.hardware, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_TRUE(Enumerate().empty()) << "an empty format list offers nothing";
}

TEST_F(SoftwareD3DConfigTest, DefaultCapabilitiesAreHardwareWithAlphaPalettes) {
    Create({});
    CapsPair caps;
    ASSERT_EQ(device->GetCaps(&caps.hardware, &caps.software), D3D_OK);
    EXPECT_EQ(caps.hardware.dwFlags, D3DDD_TRICAPS);
    EXPECT_EQ(caps.hardware.dpcTriCaps.dwTextureCaps, D3DPTEXTURECAPS_ALPHAPALETTE);
    EXPECT_EQ(caps.software.dwFlags, 0u);
}

TEST_F(SoftwareD3DConfigTest, FormatsAreOfferedInOrderUntilTheCallbackCancels) {
    SoftwareDeviceConfig config;
    config.textureFormats = {Argb1555Format(), Palettized8Format(), Xrgb8888Format()};
    Create(config);
    std::vector<DDPIXELFORMAT> all = Enumerate();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].dwFlags, DDPF_RGB | DDPF_ALPHAPIXELS);
    EXPECT_EQ(all[1].dwFlags & DDPF_PALETTEINDEXED8, DDPF_PALETTEINDEXED8);
    EXPECT_EQ(all[2].dwRGBBitCount, 32u);
    EXPECT_EQ(Enumerate(2).size(), 2u);
    EXPECT_EQ(device->EnumTextureFormats(nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST(SoftwareTextureFormats, StandardListCoversPalettised16And32BitWithAndWithoutAlpha) {
    std::vector<DDPIXELFORMAT> formats = StandardTextureFormats();
    ASSERT_EQ(formats.size(), 6u);
    EXPECT_EQ(formats[0].dwFlags & DDPF_PALETTEINDEXED8, DDPF_PALETTEINDEXED8);
    for (const DDPIXELFORMAT& format : formats) {
        EXPECT_EQ(format.dwSize, sizeof(DDPIXELFORMAT));
        bool hasAlpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0;
        EXPECT_EQ(hasAlpha, format.dwRGBAlphaBitMask != 0);
        if (format.dwRGBBitCount < 16) {
            continue;
        }
        // Each bit of the pixel belongs to at most one channel, and all lie inside the pixel.
        DWORD masks[] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask,
                         format.dwRGBAlphaBitMask};
        DWORD all = 0;
        int bits = 0;
        for (DWORD mask : masks) {
            all |= mask;
            bits += std::popcount(mask);
        }
        EXPECT_EQ(std::popcount(all), bits);
        EXPECT_EQ(std::uint64_t{all} >> format.dwRGBBitCount, 0u);
    }
}

} // namespace
