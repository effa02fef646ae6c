#pragma once

// The software 3D device. It keeps the complete device state (transforms, render, light and
// texture stage states, bound textures, materials by handle, lights on viewports, the current
// viewport, the scene and the draws of the current scene) and lets hosts and tests query it.
// Its capabilities and texture format list are configured when it is created, so that every
// branch of texture format choice can be exercised.
//
// Validation follows a real device: malformed records, foreign objects, unknown handles and
// draws outside a scene or without a current viewport fail and change nothing.
//
// Every object made through one CreateSoftwareDirect3D call shares a driver: material handles
// are valid on the devices of the same driver only, and an optional observer sees every call
// of every object before it acts (the recording device, platform/d3d/recording/recording_d3d.h, is
// one).

#include "platform/d3d/d3d.h"
#include "platform/export.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One call as it reaches a device object. Object labels are the kind and a serial number
// counted per kind and driver from 1, in creation order ("Light#2"). Arguments are listed in
// call order, numbers in decimal; data pointers (vertices, indices, callbacks, out-pointers)
// are left out, records are spelled out, objects appear by label ("null" for none, "external"
// for objects of another implementation).
struct VELCORE_API D3DCall {
    std::string kind;      // "Device"
    DWORD serial;          // 1
    std::string method;    // "SetRenderState"
    std::string arguments; // "27, 1"

    // What failure rules match: "Device::SetRenderState".
    std::string Name() const;
    // The full line: "Device#1::SetRenderState(27, 1)".
    std::string Line() const;
};

class D3DCallObserver {
public:
    virtual ~D3DCallObserver() = default;
    // Sees each call before it acts. A negative result makes the call fail with that code
    // without acting; AddRef and Release are reported too but cannot fail.
    virtual HRESULT OnCall(const D3DCall& call) = 0;
};

class SoftwareDevice;
class SoftwareViewport;

// What draws the scenes of a device, when it has one (the OpenGL renderer,
// platform/d3d/opengl/opengl_d3d.h). The device validates and stores each call first and
// hands on only valid ones; a renderer's failure is the call's result. Without a renderer the
// device draws nothing.
class SoftwareRenderer {
public:
    virtual ~SoftwareRenderer() = default;
    virtual HRESULT BeginScene() = 0;
    // The scene is over for the device whatever this answers.
    virtual HRESULT EndScene() = 0;
    // Clears inside or outside a scene; `rects` holds `count` rectangles of the target.
    virtual HRESULT Clear(const SoftwareViewport& viewport, DWORD count, const D3DRECT* rects,
                          DWORD flags) = 0;
    // Draws a triangle list with the device's current state (transforms, material, the
    // current viewport's lights, stage 0, render and light states).
    virtual HRESULT Draw(const SoftwareDevice& device, const D3DVERTEX* vertices, DWORD vertexCount,
                         const WORD* indices, DWORD indexCount) = 0;
};

// In order: 8-bit palettised; 16-bit 5-6-5, 1-5-5-5 and 4-4-4-4; 32-bit 8-8-8 and 8-8-8-8.
VELCORE_API std::vector<DDPIXELFORMAT> StandardTextureFormats();

struct SoftwareDeviceConfig {
    // D3DPTEXTURECAPS_* reported in the triangle capabilities.
    DWORD textureCaps = D3DPTEXTURECAPS_ALPHAPALETTE;
    // Whether the capabilities come in the hardware description; otherwise the hardware
    // description has flags 0 and the software description carries them.
    bool reportAsHardware = true;
    // Offered by EnumTextureFormats in this order.
    std::vector<DDPIXELFORMAT> textureFormats = StandardTextureFormats();
};

struct SoftwareDriver;

// What every software object shares: its reference count, label and driver.
class VELCORE_API SoftwareObject {
public:
    SoftwareObject(const SoftwareObject&) = delete;
    SoftwareObject& operator=(const SoftwareObject&) = delete;

    const std::string& Label() const { return m_label; }
    DWORD ReferenceCount() const { return m_references; }
    // Objects of this driver still alive (the Direct3D object and devices included).
    DWORD LiveObjectCount() const;

protected:
    SoftwareObject(std::shared_ptr<SoftwareDriver> driver, const char* kind);
    virtual ~SoftwareObject();

    // The reference counting the caller sees; reported to the observer.
    DWORD AddReference();
    DWORD ReleaseReference();
    // References the objects hold on each other; not reported.
    void Hold() { ++m_references; }
    void Drop();

    // Reports the call to the observer, if any; a negative result means "fail with it".
    template <class... Arguments>
    HRESULT Intercept(const char* method, const Arguments&... arguments) const;
    // The object as T when it is a T of this driver, else null.
    template <class T> T* AsOwn(IUnknown* object) const;

    SoftwareDriver& Driver() const { return *m_driver; }
    const std::shared_ptr<SoftwareDriver>& SharedDriver() const { return m_driver; }

private:
    std::shared_ptr<SoftwareDriver> m_driver;
    std::string m_kind;
    DWORD m_serial;
    std::string m_label;
    DWORD m_references = 1;
};

class VELCORE_API SoftwareLight final : public IDirect3DLight, public SoftwareObject {
public:
    explicit SoftwareLight(std::shared_ptr<SoftwareDriver> driver);

    DWORD AddRef() override { return AddReference(); }
    DWORD Release() override { return ReleaseReference(); }
    HRESULT SetLight(const D3DLIGHT2* light) override;

    // The last description set; all zero before the first.
    const D3DLIGHT2& Description() const { return m_description; }
    // The viewport the light is added to, or null.
    SoftwareViewport* Viewport() const { return m_viewport; }

private:
    friend class SoftwareViewport;

    D3DLIGHT2 m_description{};
    SoftwareViewport* m_viewport = nullptr;
};

class VELCORE_API SoftwareMaterial final : public IDirect3DMaterial3, public SoftwareObject {
public:
    explicit SoftwareMaterial(std::shared_ptr<SoftwareDriver> driver);
    ~SoftwareMaterial() override;

    DWORD AddRef() override { return AddReference(); }
    DWORD Release() override { return ReleaseReference(); }
    HRESULT SetMaterial(const D3DMATERIAL* material) override;
    HRESULT GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) override;

    // The last record set; all zero before the first.
    const D3DMATERIAL& Record() const { return m_record; }
    // Assigned at creation, unique within the driver, never reused.
    D3DMATERIALHANDLE Handle() const { return m_handle; }

private:
    D3DMATERIAL m_record{};
    D3DMATERIALHANDLE m_handle;
};

class VELCORE_API SoftwareViewport final : public IDirect3DViewport3, public SoftwareObject {
public:
    explicit SoftwareViewport(std::shared_ptr<SoftwareDriver> driver);
    ~SoftwareViewport() override;

    DWORD AddRef() override { return AddReference(); }
    DWORD Release() override { return ReleaseReference(); }
    HRESULT AddLight(IDirect3DLight* light) override;
    HRESULT DeleteLight(IDirect3DLight* light) override;
    HRESULT SetBackground(D3DMATERIALHANDLE material) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags) override;
    HRESULT SetViewport2(const D3DVIEWPORT2* viewport) override;

    // The rectangle last set, or null for the whole target.
    const D3DVIEWPORT2* Rectangle() const { return m_rectangle ? &*m_rectangle : nullptr; }
    // The lights in the order they were added.
    const std::vector<SoftwareLight*>& Lights() const { return m_lights; }
    D3DMATERIALHANDLE Background() const { return m_background; }
    // The background material's record, or null when there is none or it was released.
    const D3DMATERIAL* BackgroundMaterial() const;
    DWORD ClearCount() const { return m_clearCount; }
    DWORD LastClearFlags() const { return m_lastClearFlags; }

private:
    friend class SoftwareDevice;

    std::vector<SoftwareLight*> m_lights;
    std::optional<D3DVIEWPORT2> m_rectangle;
    D3DMATERIALHANDLE m_background = 0;
    DWORD m_clearCount = 0;
    DWORD m_lastClearFlags = 0;
};

// One DrawIndexedPrimitive of the current scene, with the state it was drawn with.
struct SoftwareDraw {
    D3DPRIMITIVETYPE type;
    DWORD vertexFormat;
    DWORD vertexCount;
    DWORD indexCount;
    DWORD flags;
    D3DMATRIX world;
    D3DMATERIALHANDLE material;
    IDirect3DTexture2* texture; // stage 0; not a reference
};

class VELCORE_API SoftwareDevice final : public IDirect3DDevice3, public SoftwareObject {
public:
    explicit SoftwareDevice(std::shared_ptr<SoftwareDriver> driver);
    ~SoftwareDevice() override;

    DWORD AddRef() override { return AddReference(); }
    DWORD Release() override { return ReleaseReference(); }
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) override;
    // D3DRENDERSTATE_TEXTUREHANDLE 0 also unbinds the texture of stage 0.
    HRESULT SetRenderState(D3DRENDERSTATETYPE type, DWORD value) override;
    HRESULT SetLightState(D3DLIGHTSTATETYPE type, DWORD value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) override;
    // Only triangle lists of D3DFVF_VERTEX vertices are supported.
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices,
                                 DWORD vertexCount, const WORD* indices, DWORD indexCount,
                                 DWORD flags) override;
    HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) override;
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
    HRESULT SetCurrentViewport(IDirect3DViewport3* viewport) override;
    HRESULT GetCurrentViewport(IDirect3DViewport3** viewport) override;

    // Identity until set.
    const D3DMATRIX& Transform(D3DTRANSFORMSTATETYPE type) const;
    // The value last set, or nothing when never set.
    std::optional<DWORD> RenderState(D3DRENDERSTATETYPE type) const;
    std::optional<DWORD> LightState(D3DLIGHTSTATETYPE type) const;
    std::optional<DWORD> TextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
    IDirect3DTexture2* Texture(DWORD stage) const { return m_textures.at(stage); }
    // The handle of D3DLIGHTSTATE_MATERIAL (0 for none) and the record behind it.
    D3DMATERIALHANDLE CurrentMaterialHandle() const;
    const D3DMATERIAL* CurrentMaterial() const;
    // The record of a live material of this driver, or null.
    const D3DMATERIAL* Material(D3DMATERIALHANDLE handle) const;
    SoftwareViewport* CurrentViewport() const { return m_viewport; }
    bool InScene() const { return m_inScene; }
    // The draws since the last BeginScene, in order.
    const std::vector<SoftwareDraw>& SceneDraws() const { return m_sceneDraws; }

private:
    HRESULT ValidateDraw(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices,
                         DWORD vertexCount, const WORD* indices, DWORD indexCount) const;
    void BindTexture(DWORD stage, IDirect3DTexture2* texture);

    std::array<D3DMATRIX, 3> m_transforms;
    std::map<DWORD, DWORD> m_renderStates;
    std::map<DWORD, DWORD> m_lightStates;
    std::array<std::map<DWORD, DWORD>, D3DDP_MAXTEXCOORD> m_stageStates;
    std::array<IDirect3DTexture2*, D3DDP_MAXTEXCOORD> m_textures{};
    SoftwareViewport* m_viewport = nullptr;
    bool m_inScene = false;
    std::vector<SoftwareDraw> m_sceneDraws;
};

class VELCORE_API SoftwareDirect3D final : public IDirect3D3, public SoftwareObject {
public:
    explicit SoftwareDirect3D(std::shared_ptr<SoftwareDriver> driver);

    DWORD AddRef() override { return AddReference(); }
    DWORD Release() override { return ReleaseReference(); }
    HRESULT CreateLight(IDirect3DLight** light, IUnknown* outer) override;
    HRESULT CreateMaterial(IDirect3DMaterial3** material, IUnknown* outer) override;
    HRESULT CreateViewport(IDirect3DViewport3** viewport, IUnknown* outer) override;

private:
    template <class T, class Interface>
    HRESULT Create(const char* method, Interface** object, IUnknown* outer);
};

// Creates a Direct3D object and a device on a new driver; the caller owns one reference to
// each. `observer`, when given, sees every call of every object of the driver; `renderer`,
// when given, draws the device's scenes.
VELCORE_API HRESULT CreateSoftwareDirect3D(const SoftwareDeviceConfig& config,
                                           SoftwareDirect3D** direct3D, SoftwareDevice** device,
                                           std::shared_ptr<D3DCallObserver> observer = nullptr,
                                           std::shared_ptr<SoftwareRenderer> renderer = nullptr);

} // namespace platform
