// The OpenGL device drawing headless: golden frames of the fixed-function features the engine
// uses; pixels that must come out exactly in each target format; textures that follow their
// surfaces, palettes and colour keys; culling; and failures to start or to draw that say what
// went wrong.

#include "platform/d3d/opengl/opengl_d3d.h"
#include "testkit/debug_capture.h"
#include "testkit/gl_scene.h"
#include "testkit/golden_image.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>

namespace {

using platform::Argb;
using testkit::Colour;
using testkit::GLSceneHost;

// A square texture of `side` texels in `cells` x `cells` squares, each holding the raw value
// `value` gives its column and row.
std::vector<DWORD> Cells(DWORD side, DWORD cells, const std::function<DWORD(DWORD, DWORD)>& value) {
    std::vector<DWORD> values;
    for (DWORD y = 0; y < side; ++y) {
        for (DWORD x = 0; x < side; ++x) {
            values.push_back(value(x * cells / side, y * cells / side));
        }
    }
    return values;
}

std::vector<DWORD> Checker(DWORD side, DWORD cells, DWORD a, DWORD b) {
    return Cells(side, cells, [a, b](DWORD x, DWORD y) { return (x + y) % 2 == 0 ? a : b; });
}

void Begin(GLSceneHost& host, D3DCOLORVALUE background) {
    ASSERT_EQ(host.Device()->BeginScene(), D3D_OK);
    host.ClearTo(background);
}

void End(GLSceneHost& host) {
    ASSERT_EQ(host.Device()->EndScene(), D3D_OK);
}

void LinearFilters(GLSceneHost& host) {
    host.Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    host.Device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    host.Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    host.Device()->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    host.Device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
}

void LitTexturedCube(GLSceneHost& host) {
    host.LookAt({1.6f, 1.4f, -2.2f}, {0, 0, 0});
    host.AddLight(testkit::DirectionalLight({-0.4f, -0.7f, 0.6f}, Colour(1, 1, 1)));
    host.Device()->SetLightState(D3DLIGHTSTATE_AMBIENT, 0xFF303030);
    host.UseMaterial(
        testkit::Material(Colour(1, 0.9f, 0.8f), Colour(1, 1, 1), 12, Colour(1, 1, 1)));
    LinearFilters(host);
    host.UseTexture(
        host.MakeTexture(platform::Rgb565Format(), 16, 16, Checker(16, 4, 0xF800, 0xFFE0)));
    D3DMATRIX world = RotateYMatrix(0.3f);
    host.Device()->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    Begin(host, Colour(0.1f, 0.1f, 0.3f));
    host.Draw(testkit::Cube(1.5f));
    End(host);
}

void LitFloor(GLSceneHost& host, const D3DLIGHT2& light) {
    host.LookAt({0, 3, -3}, {0, 0, 0.5f});
    host.AddLight(light);
    host.UseMaterial(testkit::Material(Colour(1, 1, 1), Colour(0.5f, 0.5f, 0.5f), 20));
    Begin(host, Colour(0, 0, 0));
    host.Draw(testkit::Floor(6, 0, 24));
    End(host);
}

void PointLitFloor(GLSceneHost& host) {
    LitFloor(host, testkit::PointLight({0, 1, 0}, Colour(1, 0.8f, 0.4f), 4, 0.2f, 0.5f, 0.3f));
}

void SpotLitFloor(GLSceneHost& host) {
    LitFloor(host,
             testkit::SpotLight({0, 2.5f, -1}, {0, -1, 0.5f}, Colour(0.4f, 0.7f, 1), 0.4f, 0.9f));
}

// An opaque red quad, then a blue one added over its right half.
void AdditiveQuads(GLSceneHost& host) {
    host.LookAt({0, 0, -2}, {0, 0, 0});
    Begin(host, Colour(0.2f, 0.2f, 0.2f));
    host.UseMaterial(testkit::Unlit(Colour(0.8f, 0.1f, 0.1f)));
    host.Draw(testkit::Wall(1.6f, -0.3f, 0, 0));
    host.Device()->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    host.Device()->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    host.Device()->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    host.UseMaterial(testkit::Unlit(Colour(0.1f, 0.2f, 0.8f)));
    host.Draw(testkit::Wall(1.6f, 0.5f, 0.2f, -0.1f));
    End(host);
}

// A near green square drawn first hides the far red one drawn after it.
void DepthOcclusion(GLSceneHost& host) {
    host.LookAt({0, 0, -2}, {0, 0, 0});
    Begin(host, Colour(0, 0, 0));
    host.UseMaterial(testkit::Unlit(Colour(0.1f, 0.8f, 0.2f)));
    host.Draw(testkit::Wall(1.0f, -0.3f, 0, 0));
    host.UseMaterial(testkit::Unlit(Colour(0.9f, 0.1f, 0.1f)));
    host.Draw(testkit::Wall(1.6f, 0.3f, 0.2f, 1));
    End(host);
}

// An unlit white textured square facing the camera.
void TexturedWall(GLSceneHost& host, IDirectDrawSurface4* texture, float size = 2.4f,
                  D3DCOLORVALUE background = Colour(0.1f, 0.3f, 0.1f)) {
    host.LookAt({0, 0, -2}, {0, 0, 0});
    host.UseMaterial(testkit::Unlit(Colour(1, 1, 1)));
    host.Device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    host.UseTexture(texture);
    Begin(host, background);
    host.Draw(testkit::Wall(size, 0, 0, 0));
    End(host);
}

void PalettisedTexture(GLSceneHost& host) {
    // Indices 0 to 3 of a four-colour palette in quarters.
    const auto quarters = Cells(8, 2, [](DWORD x, DWORD y) { return 2 * y + x; });
    TexturedWall(host, host.MakeTexture(platform::Palettized8Format(), 8, 8, quarters,
                                        {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00}));
}

// Magenta texels are the key: the background shows through a ring.
void ColourKeyedTexture(GLSceneHost& host) {
    std::vector<DWORD> values = Checker(8, 8, 0xFFFFFF, 0xFF00FF);
    for (DWORD i : {18, 19, 20, 21, 26, 29, 34, 37, 42, 43, 44, 45}) {
        values[i] = 0xFF00FF;
    }
    IDirectDrawSurface4* texture = host.MakeTexture(platform::Xrgb8888Format(), 8, 8, values);
    DDCOLORKEY key{0xFF00FF, 0xFF00FF};
    ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    host.Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    TexturedWall(host, texture);
}

// A viewport over the middle of the target: clearing all of the target clears only it.
void ViewportClear(GLSceneHost& host) {
    Begin(host, Colour(0.1f, 0.1f, 0.1f));
    D3DVIEWPORT2 rectangle{sizeof(D3DVIEWPORT2), 40, 30, 80, 50, 0, 0, 0, 0, 0, 1};
    ASSERT_EQ(host.Viewport()->SetViewport2(&rectangle), D3D_OK);
    host.ClearTo(Colour(0.9f, 0.6f, 0.1f));
    host.LookAt({0, 0, -2}, {0, 0, 0});
    host.UseMaterial(testkit::Unlit(Colour(0.2f, 0.4f, 0.9f)));
    host.Draw(testkit::Wall(1.2f, 0, 0, 0));
    End(host);
}

// A 2D fill put on the target before the scene stays under the 3D draw.
void BlitUnderScene(GLSceneHost& host) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x00C08000;
    RECT band{0, 40, 160, 80};
    ASSERT_EQ(host.Target()->Blt(&band, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    host.LookAt({0, 0, -2}, {0, 0, 0});
    ASSERT_EQ(host.Device()->BeginScene(), D3D_OK);
    host.UseMaterial(testkit::Unlit(Colour(0.2f, 0.3f, 0.9f)));
    host.Draw(testkit::Wall(1.0f, 0, 0, 0));
    End(host);
}

// Each frame against its reference image in tests/platform/golden.
TEST(OpenGLGolden, FramesMatchTheirReferences) {
    const std::pair<const char*, void (*)(GLSceneHost&)> frames[] = {
        {"lit-cube", LitTexturedCube},       {"point-light", PointLitFloor},
        {"spot-light", SpotLitFloor},        {"additive", AdditiveQuads},
        {"depth", DepthOcclusion},           {"palettised", PalettisedTexture},
        {"colour-key", ColourKeyedTexture},  {"viewport-clear", ViewportClear},
        {"blit-under-scene", BlitUnderScene}};
    for (const auto& [name, draw] : frames) {
        GLSceneHost host;
        if (!host.SkipReason().empty()) {
            GTEST_SKIP() << host.SkipReason();
        }
        draw(host);
        EXPECT_TRUE(
            testkit::MatchesGolden(host.Target(), "platform", std::string("opengl-") + name))
            << name;
    }
}

constexpr LONG kWidth = 32;
constexpr LONG kHeight = 24;

#define SKIP_WITHOUT_DEVICE(host)                                                                  \
    if (!(host).SkipReason().empty()) {                                                            \
        GTEST_SKIP() << (host).SkipReason();                                                       \
    }

DWORD Middle(GLSceneHost& host) {
    return host.Pixel(kWidth / 2, kHeight / 2);
}

// A textured square filling the middle of the target, over green.
void DrawTexturedSquare(GLSceneHost& host, IDirectDrawSurface4* texture) {
    TexturedWall(host, texture, 2.0f, Colour(0, 1, 0));
}

TEST(OpenGLTarget, ClearedColourArrivesInEachSurfaceFormat) {
    for (const DDPIXELFORMAT& format :
         {platform::Rgb565Format(), platform::Rgb555Format(), platform::Rgb888Format(),
          platform::Xrgb8888Format(), platform::Argb8888Format()}) {
        GLSceneHost host(4, 2, format);
        SKIP_WITHOUT_DEVICE(host);
        // Outside a scene the cleared pixels come down at once; the others go up and come
        // back unchanged.
        D3DRECT left{0, 0, 2, 2};
        host.ClearTo(Colour(1, 0, 0.2f), &left);
        DWORD red = platform::PackArgb(platform::LayoutOf(format), 0xFFFF0033);
        EXPECT_EQ(testkit::ReadSurface(host.Target()),
                  (std::vector<DWORD>{red, red, 0, 0, red, red, 0, 0}))
            << format.dwRGBBitCount << " bits, alpha mask " << format.dwRGBAlphaBitMask;
    }
}

// Textures go up again after their pixels or palette change, and keyed texels vanish only
// while the colour key is enabled.
TEST(OpenGLTexture, DrawsFollowTheSurfacesPixelsPaletteAndKey) {
    GLSceneHost host(kWidth, kHeight);
    SKIP_WITHOUT_DEVICE(host);
    IDirectDrawSurface4* rgb =
        host.MakeTexture(platform::Xrgb8888Format(), 2, 2, std::vector<DWORD>(4, 0xFF0000));
    IDirectDrawSurface4* indexed = host.MakeTexture(platform::Palettized8Format(), 2, 2,
                                                    std::vector<DWORD>(4, 0), {0xFFFF0000});
    IDirectDrawSurface4* keyed =
        host.MakeTexture(platform::Rgb565Format(), 2, 2, std::vector<DWORD>(4, 0xF81F));
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(keyed->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    const auto keyEnabled = [&host](BOOL enabled) {
        return [&host, enabled] {
            host.Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, enabled);
        };
    };
    const struct {
        IDirectDrawSurface4* texture;
        std::function<void()> change;
        DWORD middle;
    } steps[] = {
        {rgb, [] {}, 0xFF0000},
        {rgb, [rgb] { testkit::WriteSurface(rgb, std::vector<DWORD>(4, 0x0000FF)); }, 0x0000FF},
        {indexed, [] {}, 0xFF0000},
        {indexed,
         [indexed] {
             IDirectDrawPalette* palette = nullptr;
             ASSERT_EQ(indexed->GetPalette(&palette), DD_OK);
             const PALETTEENTRY blue{0, 0, 255, 0};
             ASSERT_EQ(palette->SetEntries(0, 0, 1, &blue), DD_OK);
             palette->Release();
         },
         0x0000FF},
        {keyed, keyEnabled(TRUE), 0x00FF00},
        {keyed, keyEnabled(FALSE), 0xFF00FF},
        {keyed, keyEnabled(TRUE), 0x00FF00},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].change();
        DrawTexturedSquare(host, steps[i].texture);
        EXPECT_EQ(Middle(host), steps[i].middle) << "step " << i;
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

// Creating a device without a context, without a target or on a target it cannot draw into.
TEST(OpenGLStart, CreationFailsWithOneLineSayingWhy) {
    const struct {
        DDPIXELFORMAT format;
        bool withTarget;
        bool withContext;
        HRESULT result;
        const char* message;
    } cases[] = {
        {platform::Rgb565Format(), true, false, DDERR_INVALIDPARAMS,
         "CreateOpenGLDirect3D: no OpenGL context"},
        {platform::Rgb565Format(), false, false, DDERR_INVALIDPARAMS,
         "CreateOpenGLDirect3D: no software render target"},
        {platform::Palettized8Format(), true, true, DDERR_INVALIDPIXELFORMAT,
         "CreateOpenGLDirect3D: palettised render target"},
    };
    const std::shared_ptr<platform::GLContext> headless = platform::CreateHeadlessGLContext();
    if (headless == nullptr) {
        GTEST_SKIP() << "no headless OpenGL context";
    }
    platform::SoftwareDirectDraw* directDraw = nullptr;
    ASSERT_EQ(platform::CreateSoftwareDirectDraw({}, &directDraw), DD_OK);
    for (const auto& c : cases) {
        IDirectDrawSurface4* target = testkit::MakeSurface(directDraw, c.format, 4, 1);
        testkit::DebugCapture capture;
        auto* direct3D = reinterpret_cast<platform::SoftwareDirect3D*>(&capture);
        auto* device = reinterpret_cast<platform::SoftwareDevice*>(&capture);
        EXPECT_EQ(platform::CreateOpenGLDirect3D({}, c.withTarget ? target : nullptr,
                                                 c.withContext ? headless : nullptr, &direct3D,
                                                 &device),
                  c.result);
        EXPECT_EQ(std::tuple(direct3D, device), std::tuple(nullptr, nullptr));
        EXPECT_EQ(capture.Lines().size(), 1u) << capture.Text();
        EXPECT_TRUE(capture.Contains(c.message)) << capture.Text();
        target->Release();
    }
    directDraw->Release();
}

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
