// The OpenGL device's exact pixels: frames converted into each target format, textures that
// follow their surfaces, the colour key switched both ways, and failures to start or to
// draw that say what went wrong.

#include "platform/d3d/opengl/opengl_d3d.h"
#include "testkit/debug_capture.h"
#include "testkit/gl_scene.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using platform::Argb;
using testkit::Colour;
using testkit::GLSceneHost;

constexpr LONG kWidth = 32;
constexpr LONG kHeight = 24;

#define SKIP_WITHOUT_DEVICE(host)                                                                  \
    if (!(host).SkipReason().empty()) {                                                            \
        GTEST_SKIP() << (host).SkipReason();                                                       \
    }

DWORD Middle(GLSceneHost& host) {
    return host.Pixel(kWidth / 2, kHeight / 2);
}

// A textured square filling the middle of the target, unlit white, over green.
void DrawTexturedSquare(GLSceneHost& host, IDirectDrawSurface4* texture) {
    host.LookAt({0, 0, -2}, {0, 0, 0});
    host.UseMaterial(testkit::Unlit(Colour(1, 1, 1)));
    host.Device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    host.UseTexture(texture);
    ASSERT_EQ(host.Device()->BeginScene(), D3D_OK);
    host.ClearTo(Colour(0, 1, 0));
    host.Draw(testkit::Wall(2.0f, 0, 0, 0));
    ASSERT_EQ(host.Device()->EndScene(), D3D_OK);
}

struct TargetCase {
    const char* name;
    DDPIXELFORMAT format;
};

class OpenGLTargetFormat : public testing::TestWithParam<TargetCase> {};

TEST_P(OpenGLTargetFormat, ClearedColourArrivesInTheSurfaceFormat) {
    GLSceneHost host(4, 2, GetParam().format);
    SKIP_WITHOUT_DEVICE(host);
    // Outside a scene the cleared pixels come down at once; the others go up and come back
    // unchanged.
    D3DRECT left{0, 0, 2, 2};
    host.ClearTo(Colour(1, 0, 0.2f), &left);
    DWORD red = platform::PackArgb(platform::LayoutOf(GetParam().format), 0xFFFF0033);
    EXPECT_EQ(testkit::ReadSurface(host.Target()),
              (std::vector<DWORD>{red, red, 0, 0, red, red, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Formats, OpenGLTargetFormat,
                         testing::Values(TargetCase{"rgb565", platform::Rgb565Format()},
                                         TargetCase{"rgb555", platform::Rgb555Format()},
                                         TargetCase{"rgb888", platform::Rgb888Format()},
                                         TargetCase{"xrgb8888", platform::Xrgb8888Format()},
                                         TargetCase{"argb8888", platform::Argb8888Format()}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ChangeCase {
    const char* name;
    std::function<void(IDirectDrawSurface4*)> change; // turns the texture blue
};

class OpenGLTextureChange : public testing::TestWithParam<ChangeCase> {};

TEST_P(OpenGLTextureChange, DrawsShowTheSurfacesNewPixels) {
    GLSceneHost host(kWidth, kHeight);
    SKIP_WITHOUT_DEVICE(host);
    IDirectDrawSurface4* texture =
        host.MakeTexture(platform::Xrgb8888Format(), 2, 2, std::vector<DWORD>(4, 0xFF0000));
    DrawTexturedSquare(host, texture);
    EXPECT_EQ(Middle(host), 0xFF0000u);
    GetParam().change(texture);
    DrawTexturedSquare(host, texture);
    EXPECT_EQ(Middle(host), 0x0000FFu);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, OpenGLTextureChange,
    testing::Values(ChangeCase{"Lock",
                               [](IDirectDrawSurface4* texture) {
                                   testkit::WriteSurface(texture, std::vector<DWORD>(4, 0x0000FF));
                               }},
                    ChangeCase{"Blt",
                               [](IDirectDrawSurface4* texture) {
                                   DDBLTFX fx{};
                                   fx.dwSize = sizeof(fx);
                                   fx.dwFillColor = 0x0000FF;
                                   texture->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenGLTexturePalette, DrawsFollowNewPaletteColours) {
    GLSceneHost host(kWidth, kHeight);
    SKIP_WITHOUT_DEVICE(host);
    IDirectDrawSurface4* texture = host.MakeTexture(platform::Palettized8Format(), 2, 2,
                                                    std::vector<DWORD>(4, 0), {0xFFFF0000});
    DrawTexturedSquare(host, texture);
    EXPECT_EQ(Middle(host), 0xFF0000u);
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(texture->GetPalette(&palette), DD_OK);
    const PALETTEENTRY blue{0, 0, 255, 0};
    ASSERT_EQ(palette->SetEntries(0, 0, 1, &blue), DD_OK);
    palette->Release();
    DrawTexturedSquare(host, texture);
    EXPECT_EQ(Middle(host), 0x0000FFu);
}

TEST(OpenGLColourKey, KeyedTexelsVanishOnlyWhileTheKeyIsEnabled) {
    GLSceneHost host(kWidth, kHeight);
    SKIP_WITHOUT_DEVICE(host);
    IDirectDrawSurface4* texture =
        host.MakeTexture(platform::Rgb565Format(), 2, 2, std::vector<DWORD>(4, 0xF81F));
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    for (bool enabled : {true, false, true}) {
        host.Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, enabled ? TRUE : FALSE);
        DrawTexturedSquare(host, texture);
        EXPECT_EQ(Middle(host), enabled ? 0x00FF00u : 0xFF00FFu) << "key enabled " << enabled;
    }
}

TEST(OpenGLCulling, EachModeHidesTheTrianglesWoundItsWay) {
    GLSceneHost host(kWidth, kHeight);
    SKIP_WITHOUT_DEVICE(host);
    testkit::Mesh clockwise = testkit::Wall(2.0f, 0, 0, 0);
    testkit::Mesh counterClockwise = clockwise;
    for (std::size_t i = 0; i < counterClockwise.indices.size(); i += 3) {
        std::swap(counterClockwise.indices[i + 1], counterClockwise.indices[i + 2]);
    }
    host.LookAt({0, 0, -2}, {0, 0, 0});
    host.UseMaterial(testkit::Unlit(Colour(1, 0, 0)));
    struct Case {
        DWORD mode;
        bool clockwiseShown;
        bool counterClockwiseShown;
    } cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    for (const Case& c : cases) {
        host.Device()->SetRenderState(D3DRENDERSTATE_CULLMODE, c.mode);
        for (const auto& [mesh, shown] : {std::pair{&clockwise, c.clockwiseShown},
                                          std::pair{&counterClockwise, c.counterClockwiseShown}}) {
            ASSERT_EQ(host.Device()->BeginScene(), D3D_OK);
            host.ClearTo(Colour(0, 0, 1));
            host.Draw(*mesh);
            ASSERT_EQ(host.Device()->EndScene(), D3D_OK);
            EXPECT_EQ(Middle(host), shown ? 0xFF0000u : 0x0000FFu) << "mode " << c.mode;
        }
    }
}

// Creating a device without a target it can draw into or without a context.
struct StartCase {
    const char* name;
    DDPIXELFORMAT format;
    bool withTarget;
    bool withContext;
    HRESULT result;
    const char* message;
};

class OpenGLStartFailure : public testing::TestWithParam<StartCase> {};

TEST_P(OpenGLStartFailure, CreationFailsWithOneLineSayingWhy) {
    const StartCase& start = GetParam();
    platform::SoftwareDirectDraw* directDraw = nullptr;
    ASSERT_EQ(platform::CreateSoftwareDirectDraw({}, &directDraw), DD_OK);
    IDirectDrawSurface4* target = testkit::MakeSurface(directDraw, start.format, 4, 1);
    std::shared_ptr<platform::GLContext> context;
    if (start.withContext) {
        context = platform::CreateHeadlessGLContext();
        if (context == nullptr) {
            target->Release();
            directDraw->Release();
            GTEST_SKIP() << "no headless OpenGL context";
        }
    }
    testkit::DebugCapture capture;
    platform::SoftwareDirect3D* direct3D = reinterpret_cast<platform::SoftwareDirect3D*>(this);
    platform::SoftwareDevice* device = reinterpret_cast<platform::SoftwareDevice*>(this);
    EXPECT_EQ(platform::CreateOpenGLDirect3D({}, start.withTarget ? target : nullptr, context,
                                             &direct3D, &device),
              start.result);
    EXPECT_EQ(direct3D, nullptr);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u) << capture.Text();
    EXPECT_TRUE(capture.Contains(start.message)) << capture.Text();
    target->Release();
    directDraw->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Targets, OpenGLStartFailure,
    testing::Values(StartCase{"NoContext", platform::Rgb565Format(), true, false,
                              DDERR_INVALIDPARAMS, "CreateOpenGLDirect3D: no OpenGL context"},
                    StartCase{"NoTarget", platform::Rgb565Format(), false, false,
                              DDERR_INVALIDPARAMS,
                              "CreateOpenGLDirect3D: no software render target"},
                    StartCase{"Palettised", platform::Palettized8Format(), true, true,
                              DDERR_INVALIDPIXELFORMAT,
                              "CreateOpenGLDirect3D: palettised render target"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenGLContext, AnImpossibleVersionFailsWithTheEglError) {
    testkit::DebugCapture capture;
    EXPECT_EQ(platform::CreateHeadlessGLContext({.majorVersion = 9, .minorVersion = 9}), nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u) << capture.Text();
    EXPECT_TRUE(capture.Contains("CreateHeadlessGLContext: ")) << capture.Text();
    EXPECT_TRUE(capture.Contains("failed (EGL error 0x3")) << capture.Text();
}

// A context that can be told to stop becoming current, as when its window went away.
class FlakyContext final : public platform::GLContext {
public:
    explicit FlakyContext(std::shared_ptr<platform::GLContext> real) : m_real(std::move(real)) {}
    bool MakeCurrent() override { return !failing && m_real->MakeCurrent(); }
    bool SwapBuffers() override { return m_real->SwapBuffers(); }
    void DrawableSize(LONG* width, LONG* height) const override {
        m_real->DrawableSize(width, height);
    }
    bool failing = false;

private:
    std::shared_ptr<platform::GLContext> m_real;
};

TEST(OpenGLContext, ASceneCannotBeginWithoutItsContext) {
    std::shared_ptr<platform::GLContext> real = platform::CreateHeadlessGLContext();
    if (real == nullptr) {
        GTEST_SKIP() << "no headless OpenGL context";
    }
    auto context = std::make_shared<FlakyContext>(std::move(real));
    GLSceneHost host(4, 4, platform::Rgb565Format(), context);
    context->failing = true;
    EXPECT_EQ(host.Device()->BeginScene(), DDERR_GENERIC);
    EXPECT_FALSE(host.Device()->InScene());
    context->failing = false;
    EXPECT_EQ(host.Device()->BeginScene(), D3D_OK);
}

} // namespace
