// Frames of a demo-sized scene drawn headless at 640 x 480 through the OpenGL device, against a
// minimal program that draws the same vertex and index arrays with the same per-draw uploads
// (world transform, material when it changes, texture, streamed arrays) straight through
// OpenGL with the device's own shaders, reading the frame back as the device does. Target: the
// device's frame time at most 1.3 times the direct program's.
//
// The scene: 200 entities of 100 lit, textured triangles, four materials and four textures,
// a directional and a point light, cleared and read back each frame. The same scene is also
// drawn as a level through the engine's render tick (which adds its own light along the view).

#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/render.h"
#include "entity/entity.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/d3d/opengl/gl_program.h"
#include "platform/d3d/opengl/opengl_d3d.h"
#include "platform/ddraw/gdi/gdi.h"
#include "platform/ddraw/software/software_ddraw.h"
#include "scene/camera.h"
#include "scene/texture.h"
#include "support/memory.h"

#include "benchkit/idle_level.h"
#include "benchkit/surfaces.h"
#include "benchkit/timings.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;
constexpr int kEntities = 200;
constexpr int kKinds = 4; // materials and textures
constexpr int kColumns = 10;
constexpr int kRows = 5; // 10 x 5 squares: 100 triangles

struct Scene {
    std::vector<D3DVERTEX> vertices;
    std::vector<WORD> indices;
    std::vector<D3DMATRIX> worlds;
    std::array<D3DMATERIAL, kKinds> materials{};
    D3DMATRIX view = ViewMatrix({0, 12, -30}, {0, 0, 0}, {0, 1, 0}, 0);
    D3DMATRIX projection = ProjectionMatrix(1, 200, 1.2f);
};

Scene MakeScene() {
    Scene scene;
    for (int row = 0; row <= kRows; ++row) {
        for (int column = 0; column <= kColumns; ++column) {
            float u = static_cast<float>(column) / kColumns;
            float v = static_cast<float>(row) / kRows;
            scene.vertices.push_back(D3DVERTEX{u * 2 - 1, v - 0.5f, u * v, 0, 0.3f, -1, u, v});
        }
    }
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            auto corner = static_cast<WORD>(row * (kColumns + 1) + column);
            auto below = static_cast<WORD>(corner + kColumns + 1);
            for (WORD index :
                 {corner, WORD(corner + 1), WORD(below + 1), corner, WORD(below + 1), below}) {
                scene.indices.push_back(index);
            }
        }
    }
    for (int i = 0; i < kEntities; ++i) {
        float x = static_cast<float>(i % 20 - 10) * 2.2f;
        float z = static_cast<float>(i / 20) * 2.5f;
        scene.worlds.push_back(MatrixMult(TranslateMatrix(x, 0, z), RotateYMatrix(0.1f * i)));
    }
    for (int kind = 0; kind < kKinds; ++kind) {
        D3DMATERIAL& material = scene.materials[kind];
        material.dwSize = sizeof(D3DMATERIAL);
        material.dcvDiffuse = {0.4f + 0.15f * kind, 0.8f, 1.0f - 0.2f * kind, 1};
        material.dcvAmbient = {0.2f, 0.2f, 0.2f, 1};
        material.dcvSpecular = {1, 1, 1, 1};
        material.dvPower = 16;
    }
    return scene;
}

const Scene& TheScene() {
    static const Scene scene = MakeScene();
    return scene;
}

D3DLIGHT2 Light(D3DLIGHTTYPE type, D3DVECTOR position, D3DVECTOR direction) {
    D3DLIGHT2 light{};
    light.dwSize = sizeof(light);
    light.dltType = type;
    light.dcvColor = {1, 1, 1, 1};
    light.dvPosition = position;
    light.dvDirection = direction;
    light.dvRange = 100;
    light.dvAttenuation0 = 1;
    light.dwFlags = D3DLIGHT_ACTIVE;
    return light;
}

// The device, its target and everything a frame uses, on one headless context.
class DeviceFrame {
public:
    // The engine brings its own directional light; without the host's the light count stays.
    explicit DeviceFrame(bool directionalLight = true) {
        platform::CreateSoftwareDirectDraw({}, &m_directDraw);
        m_target = MakeSurface(platform::Xrgb8888Format(), kWidth, kHeight, DDSCAPS_3DDEVICE);
        platform::CreateOpenGLDirect3D({}, m_target, platform::CreateHeadlessGLContext(),
                                       &m_direct3D, &m_device);
        if (m_device == nullptr) {
            return;
        }
        m_direct3D->CreateViewport(&m_viewport, nullptr);
        m_device->SetCurrentViewport(m_viewport);
        for (const D3DLIGHT2& description : {Light(D3DLIGHT_DIRECTIONAL, {}, {0.3f, -1, 0.5f}),
                                             Light(D3DLIGHT_POINT, {0, 5, 5}, {})}) {
            if (description.dltType == D3DLIGHT_DIRECTIONAL && !directionalLight) {
                continue;
            }
            IDirect3DLight* light = nullptr;
            m_direct3D->CreateLight(&light, nullptr);
            light->SetLight(&description);
            m_viewport->AddLight(light);
            light->Release();
        }
        const Scene& scene = TheScene();
        for (int kind = 0; kind < kKinds; ++kind) {
            m_direct3D->CreateMaterial(&m_materials[kind], nullptr);
            m_materials[kind]->SetMaterial(&scene.materials[kind]);
            m_materials[kind]->GetHandle(m_device, &m_handles[kind]);
            m_textures[kind] = MakeSurface(platform::Rgb565Format(), 64, 64, DDSCAPS_TEXTURE);
            m_textures[kind]->QueryInterface(IID_IDirect3DTexture2,
                                             reinterpret_cast<void**>(&m_textureInterfaces[kind]));
        }
        m_viewport->SetBackground(m_handles[0]);
        m_device->SetTransform(D3DTRANSFORMSTATE_VIEW, &scene.view);
        m_device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &scene.projection);
        m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        m_device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        // The direct program culls nothing either.
        m_device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    }
    ~DeviceFrame() {
        for (int kind = 0; kind < kKinds && m_device != nullptr; ++kind) {
            m_textureInterfaces[kind]->Release();
            m_textures[kind]->Release();
            m_materials[kind]->Release();
        }
        for (IUnknown* object : std::initializer_list<IUnknown*>{m_viewport, m_device, m_direct3D,
                                                                 m_target, m_directDraw}) {
            if (object != nullptr) {
                object->Release();
            }
        }
    }
    bool Ready() const { return m_device != nullptr; }
    // Draw calls of the last frame.
    std::size_t DrawCount() const { return m_device->SceneDraws().size(); }

    void Draw() {
        const Scene& scene = TheScene();
        D3DRECT all{0, 0, kWidth, kHeight};
        m_device->BeginScene();
        m_viewport->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
        for (int i = 0; i < kEntities; ++i) {
            int kind = i % kKinds;
            m_device->SetTransform(D3DTRANSFORMSTATE_WORLD, &scene.worlds[i]);
            m_device->SetLightState(D3DLIGHTSTATE_MATERIAL, m_handles[kind]);
            m_device->SetTexture(0, m_textureInterfaces[kind]);
            m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, scene.vertices.data(),
                                           static_cast<DWORD>(scene.vertices.size()),
                                           scene.indices.data(),
                                           static_cast<DWORD>(scene.indices.size()), 0);
        }
        m_device->EndScene();
    }

protected:
    IDirectDrawSurface4* MakeSurface(const DDPIXELFORMAT& format, DWORD width, DWORD height,
                                     DWORD caps) {
        return benchkit::MakeSurface(m_directDraw, format, width, height, caps);
    }

    platform::SoftwareDirectDraw* m_directDraw = nullptr;
    IDirectDrawSurface4* m_target = nullptr;
    platform::SoftwareDirect3D* m_direct3D = nullptr;
    platform::SoftwareDevice* m_device = nullptr;
    IDirect3DViewport3* m_viewport = nullptr;
    std::array<IDirect3DMaterial3*, kKinds> m_materials{};
    std::array<D3DMATERIALHANDLE, kKinds> m_handles{};
    std::array<IDirectDrawSurface4*, kKinds> m_textures{};
    std::array<IDirect3DTexture2*, kKinds> m_textureInterfaces{};
};

// The same scene as a level: 200 entities of four one-frame models (one material and one
// texture each) drawn by the engine's render tick, which sets the view, the engine light,
// world transforms, materials and textures itself.
class EngineFrame : public DeviceFrame {
public:
    EngineFrame() : DeviceFrame(false) {
        if (!Ready()) {
            return;
        }
        m_globals.pDirectDraw = m_directDraw;
        m_globals.pDirect3D = m_direct3D;
        m_globals.pDevice = m_device;
        m_globals.nScreenWidth = kWidth;
        m_globals.nScreenHeight = kHeight;
        m_globals.fNearPlane = 1.0f;
        m_globals.fFarPlane = 200.0f;
        vgSetGlobals(&m_globals);
        vgEnable();
        benchkit::LoadIdleModel(kKinds);
        InstallLevel();
        D3DVECTOR eye(0, 12, -30);
        D3DVECTOR target(0, 0, 0);
        vgGetActiveCamera()->SetFirstPerson(eye);
        vgGetActiveCamera()->SetTargetPosition(target);
        for (int i = 0; i < kEntities; ++i) {
            CBaseEntity* entity = vgSpawnParentEntity();
            D3DVECTOR origin(0.0f);
            entity->Create(nullptr, static_cast<DWORD>(i % kKinds), origin, origin, nullptr, 0);
            entity->m_vWorldPosition = D3DVECTOR(static_cast<float>(i % 20 - 10) * 2.2f, 0,
                                                 static_cast<float>(i / 20) * 2.5f);
            entity->m_mFrameRotation = RotateYMatrix(0.1f * static_cast<float>(i));
            entity->m_vScale = D3DVECTOR(1.0f);
        }
        vgPauseGame(0);
    }
    ~EngineFrame() {
        if (Ready()) {
            vgDisable();
            vgSetGlobals(nullptr);
        }
    }

    void Draw() {
        D3DRECT all{0, 0, kWidth, kHeight};
        m_device->BeginScene();
        m_viewport->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
        vgGameRenderTick();
        m_device->EndScene();
    }

private:
    // Four models of the scene's mesh and four 64 x 64 textures, as the level loader leaves
    // them.
    void InstallLevel() {
        const Scene& scene = TheScene();
        std::vector<DWORD> faces(scene.indices.begin(), scene.indices.end());
        auto** models = static_cast<C3DModel**>(CMemory::Allocate(sizeof(C3DModel*) * kKinds, 0));
        auto* map = static_cast<DWORD*>(CMemory::Allocate(sizeof(DWORD) * kKinds, 0));
        auto** textures = static_cast<CTexture**>(CMemory::Allocate(sizeof(CTexture*) * kKinds, 0));
        for (int kind = 0; kind < kKinds; ++kind) {
            const D3DMATERIAL& record = scene.materials[kind];
            CMaterial* material = NewAccounted<CMaterial>();
            material->SetDiffuse(
                D3DVECTOR(record.dcvDiffuse.r, record.dcvDiffuse.g, record.dcvDiffuse.b));
            material->SetAmbient(D3DVECTOR(0.2f));
            material->SetSpecular(D3DVECTOR(1.0f));
            material->SetPower(16.0f);
            material->SetTextureIndex(static_cast<DWORD>(kind));
            C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
            frame->SetVertices(scene.vertices.data(), static_cast<DWORD>(scene.vertices.size()));
            frame->SetFaces(faces.data(), static_cast<DWORD>(faces.size() / 3));
            frame->SetMaterialIndex(0);
            const DBOX_KEYFRAME box{}; // one box, keyframe 0 at time 0
            frame->SetBBoxKeyframes(1, &box, 0, 0);
            models[kind] = NewAccounted<C3DModel>();
            models[kind]->AddMaterial(material);
            models[kind]->AddFrame(frame);
            models[kind]->ConvertIndices(nullptr);
            models[kind]->CalculateBoundingBox();
            map[kind] = static_cast<DWORD>(kind);
            textures[kind] = LoadTexture(kind);
        }
        g_level.pp3DModels = models;
        g_level.dw3DModelCount = kKinds;
        g_level.pModelMap = map;
        g_level.ppTextureObjects = textures;
        g_level.dwTextureObjectCount = kKinds;
        g_level.textureHeader.dwCount = kKinds;
    }

    static CTexture* LoadTexture(int kind) {
        constexpr LONG kSide = 64;
        std::vector<BYTE> packed(sizeof(BITMAPINFOHEADER) + kSide * kSide * 3, 0xC0);
        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = kSide;
        header.biHeight = kSide;
        header.biPlanes = 1;
        header.biBitCount = 24;
        std::memcpy(packed.data(), &header, sizeof header);
        char name[32];
        std::snprintf(name, sizeof name, "bench-texture-%d", kind);
        platform::AddBitmapResource(name, packed.data(), packed.size());
        CTexture* texture = NewAccounted<CTexture>();
        texture->Load(name, 0, 0, 0);
        return texture;
    }

    GAME_GLOBALS m_globals{};
};

// The same frame straight through OpenGL: no state tracking, no validation, no conversion.
class DirectFrame {
public:
    DirectFrame() : m_context(platform::CreateHeadlessGLContext()) {
        if (m_context == nullptr) {
            return;
        }
        m_program = platform::BuildFixedFunctionProgram("bench", &m_uniforms);
        CreateTarget();
        CreateStream();
        CreateTextures();
        glUseProgram(m_program);
        SetLights();
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glViewport(0, 0, kWidth, kHeight);
        glUniform1i(m_uniforms.lit, 1);
        glUniform1i(m_uniforms.colourOperation, 4);
        glUniform2i(m_uniforms.colourArguments, 2, 0);
        const Scene& scene = TheScene();
        D3DMATRIX camera = MatrixInverse(scene.view);
        glUniform3f(m_uniforms.eye, camera._41, camera._42, camera._43);
    }
    bool Ready() const { return m_context != nullptr && m_program != 0; }
    std::size_t DrawCount() const { return kEntities; }

    void Draw() {
        const Scene& scene = TheScene();
        glClearColor(scene.materials[0].dcvDiffuse.r, scene.materials[0].dcvDiffuse.g,
                     scene.materials[0].dcvDiffuse.b, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        D3DMATRIX viewProjection = MatrixMult(scene.projection, scene.view);
        GLintptr vertexBytes = static_cast<GLintptr>(scene.vertices.size() * sizeof(D3DVERTEX));
        GLintptr indexBytes = static_cast<GLintptr>(scene.indices.size() * sizeof(WORD));
        for (int i = 0; i < kEntities; ++i) {
            int kind = i % kKinds;
            D3DMATRIX worldViewProjection = MatrixMult(viewProjection, scene.worlds[i]);
            glUniformMatrix4fv(m_uniforms.worldViewProjection, 1, GL_FALSE,
                               &worldViewProjection.m[0][0]);
            glUniformMatrix4fv(m_uniforms.world, 1, GL_FALSE, &scene.worlds[i].m[0][0]);
            SetMaterial(scene.materials[kind]);
            glBindTexture(GL_TEXTURE_2D, m_textures[kind]);
            if (m_vertexUsed + vertexBytes > kVertexCapacity) {
                glBufferData(GL_ARRAY_BUFFER, kVertexCapacity, nullptr, GL_STREAM_DRAW);
                glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexCapacity, nullptr, GL_STREAM_DRAW);
                m_vertexUsed = 0;
                m_indexUsed = 0;
            }
            glBufferSubData(GL_ARRAY_BUFFER, m_vertexUsed, vertexBytes, scene.vertices.data());
            glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, m_indexUsed, indexBytes, scene.indices.data());
            glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(scene.indices.size()),
                                     GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(m_indexUsed),
                                     static_cast<GLint>(m_vertexUsed / sizeof(D3DVERTEX)));
            m_vertexUsed += vertexBytes;
            m_indexUsed += indexBytes;
        }
        glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, m_frame.data());
    }

private:
    static constexpr GLsizeiptr kVertexCapacity = 1 << 20;
    static constexpr GLsizeiptr kIndexCapacity = 1 << 18;

    void CreateTarget() {
        GLuint colour = 0;
        GLuint depth = 0;
        GLuint framebuffer = 0;
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        m_frame.resize(kWidth * kHeight);
    }
    void CreateStream() {
        GLuint array = 0;
        GLuint buffers[2] = {};
        glGenVertexArrays(1, &array);
        glBindVertexArray(array);
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, kVertexCapacity, nullptr, GL_STREAM_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexCapacity, nullptr, GL_STREAM_DRAW);
        const GLint sizes[] = {3, 3, 2};
        const std::size_t offsets[] = {0, 12, 24};
        for (GLuint i = 0; i < 3; ++i) {
            glEnableVertexAttribArray(i);
            glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, sizeof(D3DVERTEX),
                                  reinterpret_cast<const void*>(offsets[i]));
        }
    }
    void CreateTextures() {
        std::vector<std::uint32_t> texels(64 * 64, 0xFF8040C0);
        glGenTextures(kKinds, m_textures.data());
        for (GLuint texture : m_textures) {
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, texels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        }
    }
    void SetLights() {
        const GLfloat colour[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        const GLfloat position[8] = {0, 0, 0, 3, 0, 5, 5, 1};
        const GLfloat direction[8] = {0.27f, -0.9f, 0.45f, 0, 0, 0, 1, 100};
        const GLfloat attenuation[8] = {1, 0, 0, 0, 1, 0, 0, 0};
        glUniform1i(m_uniforms.lightCount, 2);
        glUniform4fv(m_uniforms.lightColour, 2, colour);
        glUniform4fv(m_uniforms.lightPosition, 2, position);
        glUniform4fv(m_uniforms.lightDirection, 2, direction);
        glUniform4fv(m_uniforms.lightAttenuation, 2, attenuation);
        glUniform3f(m_uniforms.ambient, 0, 0, 0);
    }
    void SetMaterial(const D3DMATERIAL& material) {
        glUniform4fv(m_uniforms.materialDiffuse, 1, &material.dcvDiffuse.r);
        glUniform4fv(m_uniforms.materialAmbient, 1, &material.dcvAmbient.r);
        glUniform4fv(m_uniforms.materialSpecular, 1, &material.dcvSpecular.r);
        glUniform4fv(m_uniforms.materialEmissive, 1, &material.dcvEmissive.r);
        glUniform1f(m_uniforms.materialPower, material.dvPower);
    }

    std::unique_ptr<platform::GLContext> m_context;
    GLuint m_program = 0;
    platform::GLUniforms m_uniforms;
    std::array<GLuint, kKinds> m_textures{};
    GLintptr m_vertexUsed = 0;
    GLintptr m_indexUsed = 0;
    std::vector<std::uint32_t> m_frame;
};

template <class Frame> void BM_Frame(benchmark::State& state) {
    Frame frame;
    if (!frame.Ready()) {
        state.SkipWithError("no headless OpenGL context");
        return;
    }
    for (auto _ : state) {
        frame.Draw();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["draws"] = static_cast<double>(frame.DrawCount());
}

// Real time: llvmpipe rasterises on threads of its own. Frames are the items, so the
// summary's time per item is real time per frame.
BENCHMARK(BM_Frame<DeviceFrame>)->Name("BM_DeviceFrame")->UseRealTime();
BENCHMARK(BM_Frame<DirectFrame>)->Name("BM_DirectFrame")->UseRealTime();
BENCHMARK(BM_Frame<EngineFrame>)->Name("BM_EngineFrame")->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        double device = timings.PerItem("BM_DeviceFrame");
        double direct = timings.PerItem("BM_DirectFrame");
        if (device > 0 && direct > 0) {
            std::printf("device: %.1f frames per second, direct: %.1f frames per second\n",
                        1e9 / device, 1e9 / direct);
        }
        double engine = timings.PerItem("BM_EngineFrame");
        if (engine > 0) {
            std::printf("render tick: %.1f frames per second\n", 1e9 / engine);
        }
        benchkit::PrintRatio("device frame / direct OpenGL frame", device, direct, 1.3);
        benchkit::PrintRatio("render tick frame / direct OpenGL frame", engine, direct, 1.3);
    });
}
