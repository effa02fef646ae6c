// The software 3D device: reference counting and lifetimes, the call log with its injected
// failures, argument validation, draws and scenes, the renderer it hands validated calls to,
// capabilities and texture formats. The state
// it keeps is read back by the engine suites that draw through it (lights, materials, textures,
// cameras); this suite holds the rules those suites do not reach.

#include "platform/d3d/recording/recording_d3d.h"
#include "platform/ddraw/software/software_ddraw.h"
#include "testkit/gl_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace platform;
using Lines = std::vector<std::string>;

namespace {

// A texture of another implementation that only counts its references.
class CountingTexture : public IDirect3DTexture2 {
public:
    DWORD AddRef() override { return ++references; }
    DWORD Release() override { return --references; }
    DWORD references = 1;
};

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
        return !failing.empty() && call.starts_with(failing) ? DDERR_GENERIC : D3D_OK;
    }
};

class SoftwareD3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateSoftwareDirect3D({}, &direct3D, &device, log, renderer), D3D_OK);
    }
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
    // The last `count` lines of the call log.
    Lines LastCalls(std::size_t count) const {
        const Lines lines = log->Lines();
        return Lines(lines.end() - static_cast<long>(std::min(count, lines.size())), lines.end());
    }

    std::shared_ptr<D3DCallLog> log = std::make_shared<D3DCallLog>();
    std::shared_ptr<LoggingRenderer> renderer = std::make_shared<LoggingRenderer>();
    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;
    D3DRECT whole{0, 0, 640, 480};
};

TEST_F(SoftwareD3DTest, ReferencesKeepObjectsAliveExactlyAsLongAsTheyAreHeld) {
    SoftwareMaterial* material = NewMaterial();
    SoftwareViewport* first = NewViewport();
    SoftwareViewport* second = NewViewport();
    SoftwareLight* light = NewLight();
    // References the caller takes and gives back are logged; those objects take on each other
    // are not.
    EXPECT_EQ(material->AddRef(), 2u);
    EXPECT_EQ(first->AddRef(), 2u);
    EXPECT_EQ(material->Release(), 1u);
    EXPECT_EQ(first->Release(), 1u);
    EXPECT_EQ(LastCalls(4), (Lines{"Material#1::AddRef()", "Viewport#1::AddRef()",
                                   "Material#1::Release()", "Viewport#1::Release()"}));

    // A light belongs to one viewport at a time, which holds a reference to it.
    ASSERT_EQ(first->AddLight(light), D3D_OK);
    EXPECT_EQ(light->ReferenceCount(), 2u);
    EXPECT_EQ(LastCalls(1), Lines{"Viewport#1::AddLight(Light#1)"});
    EXPECT_EQ(first->AddLight(light), D3DERR_LIGHTHASVIEWPORT);
    EXPECT_EQ(second->AddLight(light), D3DERR_LIGHTHASVIEWPORT);
    EXPECT_EQ(second->DeleteLight(light), D3DERR_LIGHTNOTINTHISVIEWPORT);
    ASSERT_EQ(first->DeleteLight(light), D3D_OK);
    EXPECT_EQ(LastCalls(1), Lines{"Viewport#1::DeleteLight(Light#1)"});
    EXPECT_EQ(std::tuple(light->ReferenceCount(), light->Viewport()), std::tuple(1u, nullptr));
    ASSERT_EQ(second->AddLight(light), D3D_OK);
    EXPECT_EQ(light->Release(), 1u);

    // The device holds its current viewport; GetCurrentViewport hands out one more.
    IDirect3DViewport3* current = reinterpret_cast<IDirect3DViewport3*>(this);
    EXPECT_EQ(device->GetCurrentViewport(&current), D3DERR_NOCURRENTVIEWPORT);
    EXPECT_EQ(current, nullptr);
    ASSERT_EQ(device->SetCurrentViewport(first), D3D_OK);
    ASSERT_EQ(device->GetCurrentViewport(&current), D3D_OK);
    EXPECT_EQ(std::tuple(current, first->ReferenceCount()), std::tuple(first, 3u));
    current->Release();
    EXPECT_EQ(LastCalls(3), (Lines{"Device#1::SetCurrentViewport(Viewport#1)",
                                   "Device#1::GetCurrentViewport()", "Viewport#1::Release()"}));
    ASSERT_EQ(device->SetCurrentViewport(second), D3D_OK);
    EXPECT_EQ(first->ReferenceCount(), 1u);
    first->Release();

    // Bound textures are held until unbound (also through the texture handle state) or until
    // the device goes.
    CountingTexture a;
    CountingTexture b;
    device->SetTexture(0, &a);
    device->SetTexture(0, &a);
    EXPECT_EQ(a.references, 2u);
    device->SetTexture(0, &b);
    EXPECT_EQ(a.references, 1u);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    EXPECT_EQ(b.references, 1u);
    device->SetTexture(3, &b);

    // Objects outlive the Direct3D object and the device; a viewport's background material
    // is forgotten when the material goes.
    D3DMATERIALHANDLE handle = 0;
    material->GetHandle(device, &handle);
    second->SetBackground(handle);
    std::exchange(device, nullptr)->Release();
    EXPECT_EQ(b.references, 1u);
    std::exchange(direct3D, nullptr)->Release();
    EXPECT_EQ(second->ReferenceCount(), 1u);
    EXPECT_NE(second->BackgroundMaterial(), nullptr);
    material->Release();
    EXPECT_EQ(std::tuple(second->BackgroundMaterial(), second->LiveObjectCount()),
              std::tuple(nullptr, 2u));
    second->Release(); // and with it the light
}

TEST_F(SoftwareD3DTest, InjectedFailuresFollowTheirRulesAndChangeNothing) {
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

// Every malformed call fails with its code and changes nothing; the current material is
// found by its handle.
TEST_F(SoftwareD3DTest, MalformedCallsAreRefused) {
    SoftwareDirect3D* otherDirect3D = nullptr;
    SoftwareDevice* otherDevice = nullptr;
    ASSERT_EQ(CreateSoftwareDirect3D({}, &otherDirect3D, &otherDevice), D3D_OK);
    IDirect3DLight* foreignLight = nullptr;
    otherDirect3D->CreateLight(&foreignLight, nullptr);
    IDirect3DViewport3* foreignViewport = nullptr;
    otherDirect3D->CreateViewport(&foreignViewport, nullptr);
    SoftwareViewport* viewport = NewViewport();
    SoftwareLight* light = NewLight();
    SoftwareMaterial* material = NewMaterial();
    const DWORD live = device->LiveObjectCount();

    D3DMATRIX view = TranslateMatrix(1, 2, 3);
    const D3DMATERIAL record = testkit::Material(testkit::Colour(1, 1, 1), {}, 2.5f);
    ASSERT_EQ(material->SetMaterial(&record), D3D_OK);
    D3DMATERIAL wrongSizeMaterial = record;
    wrongSizeMaterial.dwSize = 84;
    const D3DLIGHT2 description =
        testkit::PointLight({1, 2, 3}, testkit::Colour(1, 0.5f, 0), 4, 0.25f, 0.5f, 2);
    ASSERT_EQ(light->SetLight(&description), D3D_OK);
    // The log spells records out field by field.
    EXPECT_EQ(LastCalls(2),
              (Lines{"Material#1::SetMaterial({size 80, diffuse (1 1 1 1), ambient (0 0 0 0), "
                     "specular (0 0 0 0), emissive (0 0 0 0), power 2.5, texture 0, ramp 0})",
                     "Light#1::SetLight({size 80, type 1, colour (1 0.5 0 1), position (1 2 3), "
                     "direction (0 0 1), range 4, falloff 0, attenuation (0.25 0.5 2), theta 0, "
                     "phi 0, flags 1})"}));
    ASSERT_EQ(device->SetLightState(D3DLIGHTSTATE_MATERIAL, material->Handle()), D3D_OK);
    D3DLIGHT2 untyped = description;
    untyped.dltType = static_cast<D3DLIGHTTYPE>(0);
    D3DLIGHT2 wrongSizeLight = description;
    wrongSizeLight.dwSize = 84;
    D3DVIEWPORT2 emptyRectangle{sizeof(D3DVIEWPORT2), 0, 0, 0, 480, 0, 0, 0, 0, 0, 1};
    D3DVIEWPORT2 wrongSizeRectangle{40, 0, 0, 640, 480, 0, 0, 0, 0, 0, 1};
    IDirect3DLight* created = reinterpret_cast<IDirect3DLight*>(this);
    D3DMATERIALHANDLE handle = 0;

    const std::function<HRESULT()> refused[] = {
        [&] { return direct3D->CreateLight(&created, device); }, // an outer object
        [&] { return direct3D->CreateMaterial(nullptr, nullptr); },
        [&] { return device->SetTransform(D3DTRANSFORMSTATE_WORLD, nullptr); },
        [&] { return device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &view); },
        [&] { return device->SetTextureStageState(D3DDP_MAXTEXCOORD, D3DTSS_COLOROP, 1); },
        [&] { return device->SetTexture(D3DDP_MAXTEXCOORD, nullptr); },
        [&] { return device->SetCurrentViewport(foreignViewport); },
        [&] { return device->SetCurrentViewport(nullptr); },
        [&] { return device->SetLightState(D3DLIGHTSTATE_MATERIAL, material->Handle() + 1); },
        [&] { return material->SetMaterial(&wrongSizeMaterial); },
        [&] { return material->GetHandle(otherDevice, &handle); }, // another driver's device
        [&] { return material->GetHandle(nullptr, &handle); },
        [&] { return light->SetLight(&untyped); },
        [&] { return light->SetLight(&wrongSizeLight); },
        [&] { return light->SetLight(nullptr); },
        [&] { return viewport->AddLight(foreignLight); },
        [&] { return viewport->AddLight(nullptr); },
        [&] { return viewport->DeleteLight(nullptr); },
        [&] { return viewport->SetBackground(12345); },
        [&] { return viewport->Clear(0, &whole, D3DCLEAR_TARGET); },
        [&] { return viewport->Clear(1, nullptr, D3DCLEAR_TARGET); },
        [&] { return viewport->Clear(1, &whole, 0x4); },
        [&] { return viewport->SetViewport2(nullptr); },
        [&] { return viewport->SetViewport2(&emptyRectangle); },
        [&] { return viewport->SetViewport2(&wrongSizeRectangle); },
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        EXPECT_EQ(refused[i](), DDERR_INVALIDPARAMS) << "call " << i;
    }
    EXPECT_EQ(std::tuple(created, handle, device->LiveObjectCount(), material->Record().dvPower,
                         light->Description().dltType, viewport->Lights().size(),
                         viewport->ClearCount(), viewport->Rectangle()),
              std::tuple(nullptr, 0u, live, 2.5f, D3DLIGHT_POINT, 0u, 0u, nullptr));
    EXPECT_EQ(std::tuple(device->CurrentViewport(), device->CurrentMaterialHandle(),
                         device->TextureStageState(0, D3DTSS_COLOROP).has_value()),
              std::tuple(nullptr, material->Handle(), false));
    D3DRECT halves[2] = {{0, 0, 320, 240}, {320, 240, 640, 480}};
    ASSERT_EQ(viewport->Clear(2, halves, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), D3D_OK);
    EXPECT_EQ(viewport->LastClearFlags(), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    EXPECT_EQ(LastCalls(1), Lines{"Viewport#1::Clear(2, [0 0 320 240] [320 240 640 480], 3)"});
    EXPECT_EQ(foreignViewport->Clear(1, &whole, D3DCLEAR_TARGET), D3D_OK); // with no renderer
    // Draws need a current viewport.
    D3DVERTEX vertices[3]{};
    WORD indices[3] = {0, 1, 2};
    device->BeginScene();
    EXPECT_EQ(
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, indices, 3, 0),
        D3DERR_NOCURRENTVIEWPORT);
    device->EndScene();

    viewport->Release();
    light->Release();
    material->Release(); // the current material is forgotten
    EXPECT_EQ(device->CurrentMaterial(), nullptr);
    EXPECT_EQ(device->SetLightState(D3DLIGHTSTATE_MATERIAL, 0), D3D_OK);
    foreignViewport->Release();
    foreignLight->Release();
    otherDevice->Release();
    otherDirect3D->Release();
}

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

// Only calls the device accepts reach the renderer.
TEST_F(SoftwareD3DDrawTest, OnlyWellFormedDrawsInsideASceneAreRecordedAndRendered) {
    EXPECT_EQ(Draw(3, static_cast<D3DPRIMITIVETYPE>(5)), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(Draw(3, D3DPT_TRIANGLELIST, D3DFVF_XYZ), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(Draw(4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Draw(6), DDERR_INVALIDPARAMS); // index 3 is past the three vertices
    EXPECT_EQ(
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, nullptr, 3, 0),
        DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, &whole, 0x4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, &whole, D3DCLEAR_ZBUFFER), D3D_OK);
    EXPECT_TRUE(device->SceneDraws().empty());

    // A draw records the state it was drawn with.
    SoftwareMaterial* material = NewMaterial();
    device->SetLightState(D3DLIGHTSTATE_MATERIAL, material->Handle());
    D3DMATRIX world = TranslateMatrix(0, 0, 5);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    CountingTexture texture;
    device->SetTexture(0, &texture);
    ASSERT_EQ(Draw(3), D3D_OK);
    ASSERT_EQ(device->SceneDraws().size(), 1u);
    const SoftwareDraw& draw = device->SceneDraws().front();
    EXPECT_EQ(
        std::tuple(draw.vertexCount, draw.indexCount, draw.flags, draw.material, draw.texture),
        std::tuple(3u, 3u, D3DDP_DONOTUPDATEEXTENTS, material->Handle(), &texture));
    EXPECT_EQ(std::memcmp(&draw.world, &world, sizeof world), 0);
    const std::string drawn = "Draw 3 3 material " + std::to_string(material->Handle());
    device->SetTexture(0, nullptr);
    material->Release();

    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(Draw(3), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_TRUE(device->SceneDraws().empty()) << "each scene starts afresh";
    EXPECT_EQ(renderer->calls, (std::vector<std::string>{"BeginScene", "Clear 1 2", drawn,
                                                         "EndScene", "BeginScene"}));
    D3DVIEWPORT2 rectangle{sizeof(D3DVIEWPORT2), 8, 4, 32, 16, 0, 0, 0, 0, 0.25f, 1};
    ASSERT_EQ(viewport->SetViewport2(&rectangle), D3D_OK);
    EXPECT_EQ(viewport->Rectangle()->dwWidth, 32u);
    EXPECT_EQ(log->Lines().back(),
              "Viewport#1::SetViewport2({size 44, 8 4 32 x 16, depth 0.25 to 1})");
}

// A renderer's failure is the call's failure; the device keeps what it had, except that a scene
// the renderer could not finish is over all the same.
TEST_F(SoftwareD3DDrawTest, ARenderersFailureIsTheCallsFailure) {
    const struct {
        const char* call;
        std::function<HRESULT()> act;
        bool inScene;
    } cases[] = {
        {"BeginScene", [this] { return device->BeginScene(); }, false},
        {"EndScene", [this] { return device->EndScene(); }, false},
        {"Clear", [this] { return viewport->Clear(1, &whole, D3DCLEAR_TARGET); }, true},
        {"Draw", [this] { return Draw(3); }, true},
    };
    for (const auto& c : cases) {
        renderer->failing = "";
        const bool wantsScene = std::string(c.call) != "BeginScene";
        if (device->InScene() != wantsScene) {
            ASSERT_EQ(wantsScene ? device->BeginScene() : device->EndScene(), D3D_OK);
        }
        renderer->failing = c.call;
        EXPECT_EQ(c.act(), DDERR_GENERIC) << c.call;
        EXPECT_EQ(
            std::tuple(device->InScene(), device->SceneDraws().size(), viewport->ClearCount()),
            std::tuple(c.inScene, 0u, 0u))
            << c.call;
    }
}

HRESULT CollectFormat(DDPIXELFORMAT* format, void* context) {
    auto* formats = static_cast<std::vector<DDPIXELFORMAT>*>(context);
    formats->push_back(*format);
    return formats->size() < 2 ? D3DENUMRET_OK : D3DENUMRET_CANCEL;
}

// The default configuration is what every engine suite draws with; here a custom one.
TEST(SoftwareD3DConfig, CapabilitiesAndFormatsComeFromTheConfiguration) {
    SoftwareDeviceConfig config;
    config.textureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
    config.reportAsHardware = false;
    config.textureFormats = {Argb1555Format(), Palettized8Format(), Xrgb8888Format()};
    SoftwareDirect3D* direct3D = nullptr;
    SoftwareDevice* device = nullptr;
    ASSERT_EQ(CreateSoftwareDirect3D(config, &direct3D, &device), D3D_OK); // no observer
    D3DDEVICEDESC hardware{}, software{};
    hardware.dwSize = software.dwSize = sizeof(D3DDEVICEDESC);
    ASSERT_EQ(device->GetCaps(&hardware, &software), D3D_OK);
    EXPECT_EQ(std::tuple(software.dwFlags, software.dpcTriCaps.dwTextureCaps, hardware.dwFlags),
              std::tuple(D3DDD_TRICAPS, config.textureCaps, 0u));
    software.dwSize = 204;
    EXPECT_EQ(device->GetCaps(&hardware, &software), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->GetCaps(&hardware, nullptr), DDERR_INVALIDPARAMS);
    // Formats are offered in order until the callback cancels.
    std::vector<DDPIXELFORMAT> formats;
    EXPECT_EQ(device->EnumTextureFormats(&CollectFormat, &formats), D3D_OK);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(std::memcmp(formats.data(), config.textureFormats.data(), 2 * sizeof(DDPIXELFORMAT)),
              0);
    EXPECT_EQ(device->EnumTextureFormats(nullptr, nullptr), DDERR_INVALIDPARAMS);
    device->Release();
    direct3D->Release();
}

} // namespace
