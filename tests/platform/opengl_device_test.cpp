// The OpenGL device drawing headless: golden frames of the fixed-function features the engine
// uses, pixels that must come out exactly, texture refreshes and failures to start.

#include "platform/d3d/opengl/opengl_d3d.h"
#include "testkit/debug_capture.h"
#include "testkit/gl_scene.h"
#include "testkit/golden_image.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
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

void TexturedWall(GLSceneHost& host, IDirectDrawSurface4* texture) {
    host.LookAt({0, 0, -2}, {0, 0, 0});
    host.UseMaterial(testkit::Unlit(Colour(1, 1, 1)));
    host.Device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    host.UseTexture(texture);
    Begin(host, Colour(0.1f, 0.3f, 0.1f));
    host.Draw(testkit::Wall(2.4f, 0, 0, 0));
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

} // namespace
