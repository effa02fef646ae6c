#pragma once

// Builders for drawing straight to the OpenGL device: a host with a target surface, a device
// on it (headless unless given another context) with a current viewport, and records for
// lights, materials and meshes. A host whose device cannot start says why in SkipReason();
// tests then skip rather than pass.

#include "platform/d3d/opengl/opengl_d3d.h"
#include "platform/ddraw/software/software_ddraw.h"

#include <memory>
#include <string>
#include <vector>

namespace testkit {

struct Mesh {
    std::vector<D3DVERTEX> vertices;
    std::vector<WORD> indices;
};

// A cube of side `size` around the origin, normals out, each face mapping the whole texture.
Mesh Cube(float size);
// A square of side `size` in the plane y = `height`, facing up (+y), centred on x = z = 0.
Mesh Floor(float size, float height, int divisions);
// A square of side `size` in the plane z = `depth`, facing the camera (-z), centred on
// (`x`, `y`).
Mesh Wall(float size, float x, float y, float depth);

D3DCOLORVALUE Colour(float r, float g, float b, float a = 1.0f);
D3DMATERIAL Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = {}, float power = 0.0f,
                     D3DCOLORVALUE ambient = {}, D3DCOLORVALUE emissive = {});
// Only emissive colour: what it shows does not depend on lights.
D3DMATERIAL Unlit(D3DCOLORVALUE colour);
D3DLIGHT2 DirectionalLight(D3DVECTOR direction, D3DCOLORVALUE colour);
D3DLIGHT2 PointLight(D3DVECTOR position, D3DCOLORVALUE colour, float range, float attenuation0,
                     float attenuation1, float attenuation2);
D3DLIGHT2 SpotLight(D3DVECTOR position, D3DVECTOR direction, D3DCOLORVALUE colour, float theta,
                    float phi);

class GLSceneHost {
public:
    explicit GLSceneHost(LONG width = 160, LONG height = 120,
                         const DDPIXELFORMAT& format = platform::Xrgb8888Format(),
                         std::shared_ptr<platform::GLContext> context = nullptr);
    ~GLSceneHost();
    GLSceneHost(const GLSceneHost&) = delete;
    GLSceneHost& operator=(const GLSceneHost&) = delete;

    // Empty when the device is ready; otherwise why not.
    const std::string& SkipReason() const { return m_skipReason; }

    platform::SoftwareDirectDraw* DirectDraw() { return m_directDraw; }
    platform::SoftwareDirect3D* Direct3D() { return m_direct3D; }
    IDirectDrawSurface4* Target() { return m_target; }
    platform::SoftwareDevice* Device() { return m_device; }
    platform::SoftwareViewport* Viewport() { return m_viewport; }

    // A camera at `from` looking at `at` with a 90 degree field of view.
    void LookAt(D3DVECTOR from, D3DVECTOR at);
    void AddLight(const D3DLIGHT2& light);
    // A material of the device, made current.
    void UseMaterial(const D3DMATERIAL& material);
    // Clears target and depth to `background`, all of the target or `rect`.
    void ClearTo(D3DCOLORVALUE background, const D3DRECT* rect = nullptr);
    // The raw value of the target's pixel.
    DWORD Pixel(LONG x, LONG y);
    // A texture surface of `format` holding raw `values` (width to a row), released with the
    // host; `palette` for 8-bit formats.
    IDirectDrawSurface4* MakeTexture(const DDPIXELFORMAT& format, DWORD width, DWORD height,
                                     const std::vector<DWORD>& values,
                                     const std::vector<platform::Argb>& palette = {});
    void UseTexture(IDirectDrawSurface4* texture);
    void Draw(const Mesh& mesh);

private:
    template <class T> T* Keep(T* object);

    platform::SoftwareDirectDraw* m_directDraw = nullptr;
    IDirectDrawSurface4* m_target = nullptr;
    platform::SoftwareDirect3D* m_direct3D = nullptr;
    platform::SoftwareDevice* m_device = nullptr;
    platform::SoftwareViewport* m_viewport = nullptr;
    std::vector<IUnknown*> m_objects; // released in reverse order
    std::string m_skipReason;
};

} // namespace testkit
