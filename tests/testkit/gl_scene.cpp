#include "testkit/gl_scene.h"

#include "testkit/debug_capture.h"
#include "testkit/surface_pixels.h"

#include <cmath>
#include <stdexcept>

namespace testkit {
namespace {

// Appends a square with corners a, b, c, d (clockwise seen from the front) and normal n.
void AddSquare(Mesh& mesh, D3DVECTOR a, D3DVECTOR b, D3DVECTOR c, D3DVECTOR d, D3DVECTOR n) {
    WORD first = static_cast<WORD>(mesh.vertices.size());
    const D3DVECTOR corners[] = {a, b, c, d};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        mesh.vertices.push_back(
            D3DVERTEX{corners[i].x, corners[i].y, corners[i].z, n.x, n.y, n.z, uv[i][0], uv[i][1]});
    }
    for (WORD offset : {0, 1, 2, 0, 2, 3}) {
        mesh.indices.push_back(static_cast<WORD>(first + offset));
    }
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        throw std::runtime_error(std::string(what) + " failed");
    }
}

} // namespace

Mesh Cube(float size) {
    float h = size / 2;
    Mesh mesh;
    AddSquare(mesh, {-h, h, -h}, {h, h, -h}, {h, -h, -h}, {-h, -h, -h}, {0, 0, -1});
    AddSquare(mesh, {h, h, h}, {-h, h, h}, {-h, -h, h}, {h, -h, h}, {0, 0, 1});
    AddSquare(mesh, {-h, h, h}, {-h, h, -h}, {-h, -h, -h}, {-h, -h, h}, {-1, 0, 0});
    AddSquare(mesh, {h, h, -h}, {h, h, h}, {h, -h, h}, {h, -h, -h}, {1, 0, 0});
    AddSquare(mesh, {-h, h, h}, {h, h, h}, {h, h, -h}, {-h, h, -h}, {0, 1, 0});
    AddSquare(mesh, {-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}, {0, -1, 0});
    return mesh;
}

Mesh Floor(float size, float height, int divisions) {
    Mesh mesh;
    float step = size / static_cast<float>(divisions);
    for (int row = 0; row < divisions; ++row) {
        for (int column = 0; column < divisions; ++column) {
            float x0 = -size / 2 + step * static_cast<float>(column);
            float z0 = -size / 2 + step * static_cast<float>(row);
            AddSquare(mesh, {x0, height, z0 + step}, {x0 + step, height, z0 + step},
                      {x0 + step, height, z0}, {x0, height, z0}, {0, 1, 0});
        }
    }
    return mesh;
}

Mesh Wall(float size, float x, float y, float depth) {
    float h = size / 2;
    Mesh mesh;
    AddSquare(mesh, {x - h, y + h, depth}, {x + h, y + h, depth}, {x + h, y - h, depth},
              {x - h, y - h, depth}, {0, 0, -1});
    return mesh;
}

D3DCOLORVALUE Colour(float r, float g, float b, float a) {
    return D3DCOLORVALUE{r, g, b, a};
}

D3DMATERIAL Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular, float power,
                     D3DCOLORVALUE ambient, D3DCOLORVALUE emissive) {
    D3DMATERIAL material{};
    material.dwSize = sizeof(material);
    material.dcvDiffuse = diffuse;
    material.dcvSpecular = specular;
    material.dvPower = power;
    material.dcvAmbient = ambient;
    material.dcvEmissive = emissive;
    return material;
}

D3DMATERIAL Unlit(D3DCOLORVALUE colour) {
    return Material(Colour(0, 0, 0, colour.a), {}, 0, {}, colour);
}

D3DLIGHT2 DirectionalLight(D3DVECTOR direction, D3DCOLORVALUE colour) {
    D3DLIGHT2 light{};
    light.dwSize = sizeof(light);
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvColor = colour;
    light.dvDirection = direction;
    light.dwFlags = D3DLIGHT_ACTIVE;
    return light;
}

D3DLIGHT2 PointLight(D3DVECTOR position, D3DCOLORVALUE colour, float range, float attenuation0,
                     float attenuation1, float attenuation2) {
    D3DLIGHT2 light = DirectionalLight({0, 0, 1}, colour);
    light.dltType = D3DLIGHT_POINT;
    light.dvPosition = position;
    light.dvRange = range;
    light.dvAttenuation0 = attenuation0;
    light.dvAttenuation1 = attenuation1;
    light.dvAttenuation2 = attenuation2;
    return light;
}

D3DLIGHT2 SpotLight(D3DVECTOR position, D3DVECTOR direction, D3DCOLORVALUE colour, float theta,
                    float phi) {
    D3DLIGHT2 light = PointLight(position, colour, 100.0f, 1.0f, 0.0f, 0.0f);
    light.dltType = D3DLIGHT_SPOT;
    light.dvDirection = direction;
    light.dvTheta = theta;
    light.dvPhi = phi;
    light.dvFalloff = 1.0f;
    return light;
}

GLSceneHost::GLSceneHost(LONG width, LONG height, const DDPIXELFORMAT& format,
                         std::shared_ptr<platform::GLContext> context) {
    Check(platform::CreateSoftwareDirectDraw({}, &m_directDraw), "CreateSoftwareDirectDraw");
    m_target = MakeSurface(m_directDraw, format, static_cast<DWORD>(width),
                           static_cast<DWORD>(height), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    DebugCapture capture;
    if (context == nullptr) {
        context = platform::CreateHeadlessGLContext();
    }
    if (context == nullptr ||
        FAILED(platform::CreateOpenGLDirect3D({}, m_target, context, &m_direct3D, &m_device))) {
        m_skipReason = "no headless OpenGL device: " + capture.Text();
        return;
    }
    IDirect3DViewport3* viewport = nullptr;
    Check(m_direct3D->CreateViewport(&viewport, nullptr), "CreateViewport");
    m_viewport = static_cast<platform::SoftwareViewport*>(viewport);
    Check(m_device->SetCurrentViewport(m_viewport), "SetCurrentViewport");
}

GLSceneHost::~GLSceneHost() {
    for (auto object = m_objects.rbegin(); object != m_objects.rend(); ++object) {
        (*object)->Release();
    }
    for (IUnknown* object : std::initializer_list<IUnknown*>{m_viewport, m_device, m_direct3D,
                                                             m_target, m_directDraw}) {
        if (object != nullptr) {
            object->Release();
        }
    }
}

template <class T> T* GLSceneHost::Keep(T* object) {
    m_objects.push_back(object);
    return object;
}

void GLSceneHost::LookAt(D3DVECTOR from, D3DVECTOR at) {
    D3DMATRIX view = ViewMatrix(from, at, D3DVECTOR{0, 1, 0}, 0.0f);
    D3DMATRIX projection = ProjectionMatrix(0.5f, 100.0f, 3.14159265f / 2);
    Check(m_device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view), "SetTransform");
    Check(m_device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), "SetTransform");
}

void GLSceneHost::AddLight(const D3DLIGHT2& description) {
    IDirect3DLight* light = nullptr;
    Check(m_direct3D->CreateLight(&light, nullptr), "CreateLight");
    Keep(light);
    Check(light->SetLight(&description), "SetLight");
    Check(m_viewport->AddLight(light), "AddLight");
}

void GLSceneHost::UseMaterial(const D3DMATERIAL& record) {
    IDirect3DMaterial3* material = nullptr;
    Check(m_direct3D->CreateMaterial(&material, nullptr), "CreateMaterial");
    Keep(material);
    Check(material->SetMaterial(&record), "SetMaterial");
    D3DMATERIALHANDLE handle = 0;
    Check(material->GetHandle(m_device, &handle), "GetHandle");
    Check(m_device->SetLightState(D3DLIGHTSTATE_MATERIAL, handle), "SetLightState");
}

void GLSceneHost::ClearTo(D3DCOLORVALUE background, const D3DRECT* rect) {
    IDirect3DMaterial3* material = nullptr;
    Check(m_direct3D->CreateMaterial(&material, nullptr), "CreateMaterial");
    Keep(material);
    D3DMATERIAL record = Material(background);
    Check(material->SetMaterial(&record), "SetMaterial");
    D3DMATERIALHANDLE handle = 0;
    Check(material->GetHandle(m_device, &handle), "GetHandle");
    Check(m_viewport->SetBackground(handle), "SetBackground");
    DDSURFACEDESC2 desc = Describe(m_target);
    D3DRECT all{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
    Check(m_viewport->Clear(1, rect != nullptr ? rect : &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER),
          "Clear");
}

DWORD GLSceneHost::Pixel(LONG x, LONG y) {
    return ReadSurface(m_target).at(static_cast<std::size_t>(y * Describe(m_target).dwWidth + x));
}

IDirectDrawSurface4* GLSceneHost::MakeTexture(const DDPIXELFORMAT& format, DWORD width,
                                              DWORD height, const std::vector<DWORD>& values,
                                              const std::vector<platform::Argb>& palette) {
    IDirectDrawSurface4* surface =
        Keep(MakeSurface(m_directDraw, format, width, height, DDSCAPS_TEXTURE));
    if (!palette.empty()) {
        std::vector<PALETTEENTRY> entries(256);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            entries[i] =
                PALETTEENTRY{static_cast<BYTE>(palette[i] >> 16),
                             static_cast<BYTE>(palette[i] >> 8), static_cast<BYTE>(palette[i]), 0};
        }
        IDirectDrawPalette* object = nullptr;
        Check(m_directDraw->CreatePalette(DDPCAPS_8BIT, entries.data(), &object, nullptr),
              "CreatePalette");
        Check(surface->SetPalette(object), "SetPalette");
        object->Release();
    }
    if (!WriteSurface(surface, values)) {
        throw std::runtime_error("WriteSurface failed");
    }
    return surface;
}

void GLSceneHost::UseTexture(IDirectDrawSurface4* texture) {
    IDirect3DTexture2* interface = nullptr;
    Check(texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&interface)),
          "QueryInterface");
    Check(m_device->SetTexture(0, interface), "SetTexture");
    interface->Release();
}

void GLSceneHost::Draw(const Mesh& mesh) {
    Check(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, mesh.vertices.data(),
                                         static_cast<DWORD>(mesh.vertices.size()),
                                         mesh.indices.data(),
                                         static_cast<DWORD>(mesh.indices.size()), 0),
          "DrawIndexedPrimitive");
}

} // namespace testkit
