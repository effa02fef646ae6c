#include "platform/d3d/software/software_d3d.h"

#include "platform/ddraw/software/software_ddraw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include <new>
#include <utility>

namespace platform {

// What the objects of one CreateSoftwareDirect3D call share. Every object holds it, so it
// outlives them all whatever order they are released in.
struct SoftwareDriver {
    SoftwareDriver(SoftwareDeviceConfig deviceConfig, std::shared_ptr<D3DCallObserver> callObserver,
                   std::shared_ptr<SoftwareRenderer> sceneRenderer)
        : config(std::move(deviceConfig)), observer(std::move(callObserver)),
          renderer(std::move(sceneRenderer)) {}

    SoftwareDeviceConfig config;
    std::shared_ptr<D3DCallObserver> observer;
    std::shared_ptr<SoftwareRenderer> renderer; // may be null
    std::map<std::string, DWORD> serials;       // last serial per kind
    std::map<D3DMATERIALHANDLE, SoftwareMaterial*> materials;
    D3DMATERIALHANDLE nextMaterialHandle = 1;
    DWORD liveObjects = 0;

    const D3DMATERIAL* FindMaterial(D3DMATERIALHANDLE handle) const {
        auto found = materials.find(handle);
        return found == materials.end() ? nullptr : &found->second->Record();
    }
    bool IsMaterialOrNone(D3DMATERIALHANDLE handle) const {
        return handle == 0 || materials.contains(handle);
    }
};

namespace {

// --- Describing arguments for the observer --------------------------------------------------

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return buffer;
}

std::string Describe(DWORD value) {
    return std::to_string(value);
}

std::string Describe(const IUnknown* object) {
    if (object == nullptr) {
        return "null";
    }
    const auto* own = dynamic_cast<const SoftwareObject*>(object);
    return own != nullptr ? own->Label() : "external";
}

std::string Describe(const D3DCOLORVALUE& c) {
    return Format("(%g %g %g %g)", c.r, c.g, c.b, c.a);
}

std::string Describe(const D3DVECTOR& v) {
    return Format("(%g %g %g)", v.x, v.y, v.z);
}

std::string Describe(const D3DMATRIX* matrix) {
    if (matrix == nullptr) {
        return "null";
    }
    std::string text = "[";
    for (int row = 0; row < 4; ++row) {
        const float* r = matrix->m[row];
        text += Format("%s%g %g %g %g", row == 0 ? "" : "; ", r[0], r[1], r[2], r[3]);
    }
    return text + "]";
}

std::string Describe(const D3DLIGHT2* light) {
    if (light == nullptr) {
        return "null";
    }
    return Format("{size %u, type %u, colour ", light->dwSize, light->dltType) +
           Describe(light->dcvColor) + ", position " + Describe(light->dvPosition) +
           ", direction " + Describe(light->dvDirection) +
           Format(", range %g, falloff %g, attenuation (%g %g %g), theta %g, phi %g, flags %u}",
                  light->dvRange, light->dvFalloff, light->dvAttenuation0, light->dvAttenuation1,
                  light->dvAttenuation2, light->dvTheta, light->dvPhi, light->dwFlags);
}

std::string Describe(const D3DMATERIAL* material) {
    if (material == nullptr) {
        return "null";
    }
    return Format("{size %u, diffuse ", material->dwSize) + Describe(material->dcvDiffuse) +
           ", ambient " + Describe(material->dcvAmbient) + ", specular " +
           Describe(material->dcvSpecular) + ", emissive " + Describe(material->dcvEmissive) +
           Format(", power %g, texture %u, ramp %u}", material->dvPower, material->hTexture,
                  material->dwRampSize);
}

struct RectList {
    const D3DRECT* rects;
    DWORD count;
};

std::string Describe(const RectList& list) {
    if (list.rects == nullptr) {
        return "null";
    }
    std::string text;
    for (DWORD i = 0; i < list.count; ++i) {
        const D3DRECT& r = list.rects[i];
        text += Format("%s[%d %d %d %d]", i == 0 ? "" : " ", r.x1, r.y1, r.x2, r.y2);
    }
    return text;
}

std::string Describe(const D3DVIEWPORT2* viewport) {
    if (viewport == nullptr) {
        return "null";
    }
    return Format("{size %u, %u %u %u x %u, depth %g to %g}", viewport->dwSize, viewport->dwX,
                  viewport->dwY, viewport->dwWidth, viewport->dwHeight, viewport->dvMinZ,
                  viewport->dvMaxZ);
}

std::string JoinArguments(std::initializer_list<std::string> arguments) {
    std::string joined;
    for (const std::string& argument : arguments) {
        joined += (joined.empty() ? "" : ", ") + argument;
    }
    return joined;
}

// --- Creating objects -----------------------------------------------------------------------

template <class T, class Interface>
HRESULT NewObject(Interface** object, const std::shared_ptr<SoftwareDriver>& driver) {
    try {
        *object = new T(driver);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return D3D_OK;
}

bool IsLightType(D3DLIGHTTYPE type) {
    return type >= D3DLIGHT_POINT && type <= D3DLIGHT_PARALLELPOINT;
}

D3DDEVICEDESC EmptyDescription() {
    D3DDEVICEDESC description{};
    description.dwSize = sizeof(D3DDEVICEDESC);
    return description;
}

D3DDEVICEDESC DescriptionWithTextureCaps(DWORD textureCaps) {
    D3DDEVICEDESC description = EmptyDescription();
    description.dwFlags = D3DDD_TRICAPS;
    description.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
    description.dpcTriCaps.dwTextureCaps = textureCaps;
    return description;
}

std::optional<DWORD> Lookup(const std::map<DWORD, DWORD>& states, DWORD type) {
    auto found = states.find(type);
    return found == states.end() ? std::nullopt : std::optional<DWORD>(found->second);
}

} // namespace

// --- Texture formats ------------------------------------------------------------------------

std::vector<DDPIXELFORMAT> StandardTextureFormats() {
    return {Palettized8Format(), Rgb565Format(),   Argb1555Format(),
            Argb4444Format(),    Xrgb8888Format(), Argb8888Format()};
}

// --- Calls ----------------------------------------------------------------------------------

std::string D3DCall::Name() const {
    return kind + "::" + method;
}

std::string D3DCall::Line() const {
    return kind + "#" + std::to_string(serial) + "::" + method + "(" + arguments + ")";
}

// --- SoftwareObject -------------------------------------------------------------------------

SoftwareObject::SoftwareObject(std::shared_ptr<SoftwareDriver> driver, const char* kind)
    : m_driver(std::move(driver)), m_kind(kind), m_serial(++m_driver->serials[m_kind]),
      m_label(m_kind + "#" + std::to_string(m_serial)) {
    ++m_driver->liveObjects;
}

SoftwareObject::~SoftwareObject() {
    --m_driver->liveObjects;
}

DWORD SoftwareObject::LiveObjectCount() const {
    return m_driver->liveObjects;
}

template <class... Arguments>
HRESULT SoftwareObject::Intercept(const char* method, const Arguments&... arguments) const {
    D3DCallObserver* observer = m_driver->observer.get();
    if (observer == nullptr) {
        return D3D_OK;
    }
    return observer->OnCall(
        D3DCall{m_kind, m_serial, method, JoinArguments({Describe(arguments)...})});
}

template <class T> T* SoftwareObject::AsOwn(IUnknown* object) const {
    T* own = dynamic_cast<T*>(object);
    if (own == nullptr || static_cast<const SoftwareObject*>(own)->m_driver != m_driver) {
        return nullptr;
    }
    return own;
}

DWORD SoftwareObject::AddReference() {
    Intercept("AddRef");
    Hold();
    return m_references;
}

DWORD SoftwareObject::ReleaseReference() {
    Intercept("Release");
    DWORD left = m_references - 1;
    Drop();
    return left;
}

void SoftwareObject::Drop() {
    if (--m_references == 0) {
        delete this;
    }
}

// --- SoftwareLight --------------------------------------------------------------------------

SoftwareLight::SoftwareLight(std::shared_ptr<SoftwareDriver> driver)
    : SoftwareObject(std::move(driver), "Light") {}

HRESULT SoftwareLight::SetLight(const D3DLIGHT2* light) {
    if (HRESULT hr = Intercept("SetLight", light); FAILED(hr)) {
        return hr;
    }
    if (light == nullptr || light->dwSize != sizeof(D3DLIGHT2) || !IsLightType(light->dltType)) {
        return DDERR_INVALIDPARAMS;
    }
    m_description = *light;
    return D3D_OK;
}

// --- SoftwareMaterial -----------------------------------------------------------------------

SoftwareMaterial::SoftwareMaterial(std::shared_ptr<SoftwareDriver> driver)
    : SoftwareObject(std::move(driver), "Material"), m_handle(Driver().nextMaterialHandle++) {
    Driver().materials.emplace(m_handle, this);
}

SoftwareMaterial::~SoftwareMaterial() {
    Driver().materials.erase(m_handle);
}

HRESULT SoftwareMaterial::SetMaterial(const D3DMATERIAL* material) {
    if (HRESULT hr = Intercept("SetMaterial", material); FAILED(hr)) {
        return hr;
    }
    if (material == nullptr || material->dwSize != sizeof(D3DMATERIAL)) {
        return DDERR_INVALIDPARAMS;
    }
    m_record = *material;
    return D3D_OK;
}

HRESULT SoftwareMaterial::GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) {
    if (HRESULT hr = Intercept("GetHandle", device); FAILED(hr)) {
        return hr;
    }
    if (handle == nullptr || AsOwn<SoftwareDevice>(device) == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *handle = m_handle;
    return D3D_OK;
}

// --- SoftwareViewport -----------------------------------------------------------------------

SoftwareViewport::SoftwareViewport(std::shared_ptr<SoftwareDriver> driver)
    : SoftwareObject(std::move(driver), "Viewport") {}

SoftwareViewport::~SoftwareViewport() {
    for (SoftwareLight* light : m_lights) {
        light->m_viewport = nullptr;
        light->Drop();
    }
}

HRESULT SoftwareViewport::AddLight(IDirect3DLight* light) {
    if (HRESULT hr = Intercept("AddLight", light); FAILED(hr)) {
        return hr;
    }
    SoftwareLight* own = AsOwn<SoftwareLight>(light);
    if (own == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (own->m_viewport != nullptr) {
        return D3DERR_LIGHTHASVIEWPORT;
    }
    m_lights.push_back(own);
    own->m_viewport = this;
    own->Hold();
    return D3D_OK;
}

HRESULT SoftwareViewport::DeleteLight(IDirect3DLight* light) {
    if (HRESULT hr = Intercept("DeleteLight", light); FAILED(hr)) {
        return hr;
    }
    SoftwareLight* own = AsOwn<SoftwareLight>(light);
    if (own == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    auto found = std::find(m_lights.begin(), m_lights.end(), own);
    if (found == m_lights.end()) {
        return D3DERR_LIGHTNOTINTHISVIEWPORT;
    }
    m_lights.erase(found);
    own->m_viewport = nullptr;
    own->Drop();
    return D3D_OK;
}

HRESULT SoftwareViewport::SetBackground(D3DMATERIALHANDLE material) {
    if (HRESULT hr = Intercept("SetBackground", material); FAILED(hr)) {
        return hr;
    }
    if (!Driver().IsMaterialOrNone(material)) {
        return DDERR_INVALIDPARAMS;
    }
    m_background = material;
    return D3D_OK;
}

HRESULT SoftwareViewport::Clear(DWORD count, const D3DRECT* rects, DWORD flags) {
    if (HRESULT hr = Intercept("Clear", count, RectList{rects, count}, flags); FAILED(hr)) {
        return hr;
    }
    constexpr DWORD kKnownFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
    if (count == 0 || rects == nullptr || flags == 0 || (flags & ~kKnownFlags) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (SoftwareRenderer* renderer = Driver().renderer.get()) {
        if (HRESULT hr = renderer->Clear(*this, count, rects, flags); FAILED(hr)) {
            return hr;
        }
    }
    ++m_clearCount;
    m_lastClearFlags = flags;
    return D3D_OK;
}

HRESULT SoftwareViewport::SetViewport2(const D3DVIEWPORT2* viewport) {
    if (HRESULT hr = Intercept("SetViewport2", viewport); FAILED(hr)) {
        return hr;
    }
    if (viewport == nullptr || viewport->dwSize != sizeof(D3DVIEWPORT2) || viewport->dwWidth == 0 ||
        viewport->dwHeight == 0) {
        return DDERR_INVALIDPARAMS;
    }
    m_rectangle = *viewport;
    return D3D_OK;
}

const D3DMATERIAL* SoftwareViewport::BackgroundMaterial() const {
    return Driver().FindMaterial(m_background);
}

// --- SoftwareDevice -------------------------------------------------------------------------

SoftwareDevice::SoftwareDevice(std::shared_ptr<SoftwareDriver> driver)
    : SoftwareObject(std::move(driver), "Device") {
    m_transforms.fill(IdentityMatrix());
}

SoftwareDevice::~SoftwareDevice() {
    for (DWORD stage = 0; stage < D3DDP_MAXTEXCOORD; ++stage) {
        BindTexture(stage, nullptr);
    }
    if (m_viewport != nullptr) {
        m_viewport->Drop();
    }
}

HRESULT SoftwareDevice::BeginScene() {
    if (HRESULT hr = Intercept("BeginScene"); FAILED(hr)) {
        return hr;
    }
    if (m_inScene) {
        return D3DERR_SCENE_IN_SCENE;
    }
    if (SoftwareRenderer* renderer = Driver().renderer.get()) {
        if (HRESULT hr = renderer->BeginScene(); FAILED(hr)) {
            return hr;
        }
    }
    m_inScene = true;
    m_sceneDraws.clear();
    return D3D_OK;
}

HRESULT SoftwareDevice::EndScene() {
    if (HRESULT hr = Intercept("EndScene"); FAILED(hr)) {
        return hr;
    }
    if (!m_inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    m_inScene = false;
    SoftwareRenderer* renderer = Driver().renderer.get();
    return renderer != nullptr ? renderer->EndScene() : D3D_OK;
}

HRESULT SoftwareDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
    if (HRESULT hr = Intercept("SetTransform", type, matrix); FAILED(hr)) {
        return hr;
    }
    if (type < D3DTRANSFORMSTATE_WORLD || type > D3DTRANSFORMSTATE_PROJECTION ||
        matrix == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    m_transforms[type - D3DTRANSFORMSTATE_WORLD] = *matrix;
    return D3D_OK;
}

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE type, DWORD value) {
    if (HRESULT hr = Intercept("SetRenderState", type, value); FAILED(hr)) {
        return hr;
    }
    m_renderStates[type] = value;
    if (type == D3DRENDERSTATE_TEXTUREHANDLE && value == 0) {
        BindTexture(0, nullptr);
    }
    return D3D_OK;
}

HRESULT SoftwareDevice::SetLightState(D3DLIGHTSTATETYPE type, DWORD value) {
    if (HRESULT hr = Intercept("SetLightState", type, value); FAILED(hr)) {
        return hr;
    }
    if (type == D3DLIGHTSTATE_MATERIAL && !Driver().IsMaterialOrNone(value)) {
        return DDERR_INVALIDPARAMS;
    }
    m_lightStates[type] = value;
    return D3D_OK;
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                             DWORD value) {
    if (HRESULT hr = Intercept("SetTextureStageState", stage, type, value); FAILED(hr)) {
        return hr;
    }
    if (stage >= D3DDP_MAXTEXCOORD) {
        return DDERR_INVALIDPARAMS;
    }
    m_stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT SoftwareDevice::SetTexture(DWORD stage, IDirect3DTexture2* texture) {
    if (HRESULT hr = Intercept("SetTexture", stage, texture); FAILED(hr)) {
        return hr;
    }
    if (stage >= D3DDP_MAXTEXCOORD) {
        return DDERR_INVALIDPARAMS;
    }
    BindTexture(stage, texture);
    return D3D_OK;
}

void SoftwareDevice::BindTexture(DWORD stage, IDirect3DTexture2* texture) {
    // Taking the new reference first keeps a texture bound again to its own stage alive.
    if (texture != nullptr) {
        texture->AddRef();
    }
    if (m_textures[stage] != nullptr) {
        m_textures[stage]->Release();
    }
    m_textures[stage] = texture;
}

HRESULT SoftwareDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat,
                                             const void* vertices, DWORD vertexCount,
                                             const WORD* indices, DWORD indexCount, DWORD flags) {
    if (HRESULT hr =
            Intercept("DrawIndexedPrimitive", type, vertexFormat, vertexCount, indexCount, flags);
        FAILED(hr)) {
        return hr;
    }
    if (HRESULT hr = ValidateDraw(type, vertexFormat, vertices, vertexCount, indices, indexCount);
        FAILED(hr)) {
        return hr;
    }
    if (SoftwareRenderer* renderer = Driver().renderer.get()) {
        HRESULT hr = renderer->Draw(*this, static_cast<const D3DVERTEX*>(vertices), vertexCount,
                                    indices, indexCount);
        if (FAILED(hr)) {
            return hr;
        }
    }
    m_sceneDraws.push_back(SoftwareDraw{type, vertexFormat, vertexCount, indexCount, flags,
                                        Transform(D3DTRANSFORMSTATE_WORLD), CurrentMaterialHandle(),
                                        m_textures[0]});
    return D3D_OK;
}

HRESULT SoftwareDevice::ValidateDraw(D3DPRIMITIVETYPE type, DWORD vertexFormat,
                                     const void* vertices, DWORD vertexCount, const WORD* indices,
                                     DWORD indexCount) const {
    if (!m_inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    if (m_viewport == nullptr) {
        return D3DERR_NOCURRENTVIEWPORT;
    }
    if (type != D3DPT_TRIANGLELIST) {
        return D3DERR_INVALIDPRIMITIVETYPE;
    }
    if (vertexFormat != D3DFVF_VERTEX) {
        return D3DERR_INVALIDVERTEXFORMAT;
    }
    bool dataMissing =
        (vertexCount != 0 && vertices == nullptr) || (indexCount != 0 && indices == nullptr);
    bool indexOutOfRange = !dataMissing && std::any_of(indices, indices + indexCount,
                                                       [&](WORD i) { return i >= vertexCount; });
    if (dataMissing || indexOutOfRange || indexCount % 3 != 0) {
        return DDERR_INVALIDPARAMS;
    }
    return D3D_OK;
}

HRESULT SoftwareDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) {
    if (HRESULT hr = Intercept("GetCaps"); FAILED(hr)) {
        return hr;
    }
    if (hardware == nullptr || software == nullptr || hardware->dwSize != sizeof(D3DDEVICEDESC) ||
        software->dwSize != sizeof(D3DDEVICEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    const SoftwareDeviceConfig& config = Driver().config;
    D3DDEVICEDESC described = DescriptionWithTextureCaps(config.textureCaps);
    *hardware = config.reportAsHardware ? described : EmptyDescription();
    *software = config.reportAsHardware ? EmptyDescription() : described;
    return D3D_OK;
}

HRESULT SoftwareDevice::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    if (HRESULT hr = Intercept("EnumTextureFormats"); FAILED(hr)) {
        return hr;
    }
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    for (DDPIXELFORMAT format : Driver().config.textureFormats) {
        if (callback(&format, context) != D3DENUMRET_OK) {
            break;
        }
    }
    return D3D_OK;
}

HRESULT SoftwareDevice::SetCurrentViewport(IDirect3DViewport3* viewport) {
    if (HRESULT hr = Intercept("SetCurrentViewport", viewport); FAILED(hr)) {
        return hr;
    }
    SoftwareViewport* own = AsOwn<SoftwareViewport>(viewport);
    if (own == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    own->Hold();
    if (m_viewport != nullptr) {
        m_viewport->Drop();
    }
    m_viewport = own;
    return D3D_OK;
}

HRESULT SoftwareDevice::GetCurrentViewport(IDirect3DViewport3** viewport) {
    if (viewport != nullptr) {
        *viewport = nullptr;
    }
    if (HRESULT hr = Intercept("GetCurrentViewport"); FAILED(hr)) {
        return hr;
    }
    if (viewport == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (m_viewport == nullptr) {
        return D3DERR_NOCURRENTVIEWPORT;
    }
    m_viewport->Hold();
    *viewport = m_viewport;
    return D3D_OK;
}

const D3DMATRIX& SoftwareDevice::Transform(D3DTRANSFORMSTATETYPE type) const {
    return m_transforms.at(type - D3DTRANSFORMSTATE_WORLD);
}

std::optional<DWORD> SoftwareDevice::RenderState(D3DRENDERSTATETYPE type) const {
    return Lookup(m_renderStates, type);
}

std::optional<DWORD> SoftwareDevice::LightState(D3DLIGHTSTATETYPE type) const {
    return Lookup(m_lightStates, type);
}

std::optional<DWORD> SoftwareDevice::TextureStageState(DWORD stage,
                                                       D3DTEXTURESTAGESTATETYPE type) const {
    return Lookup(m_stageStates.at(stage), type);
}

D3DMATERIALHANDLE SoftwareDevice::CurrentMaterialHandle() const {
    return LightState(D3DLIGHTSTATE_MATERIAL).value_or(0);
}

const D3DMATERIAL* SoftwareDevice::CurrentMaterial() const {
    return Material(CurrentMaterialHandle());
}

const D3DMATERIAL* SoftwareDevice::Material(D3DMATERIALHANDLE handle) const {
    return Driver().FindMaterial(handle);
}

// --- SoftwareDirect3D -----------------------------------------------------------------------

SoftwareDirect3D::SoftwareDirect3D(std::shared_ptr<SoftwareDriver> driver)
    : SoftwareObject(std::move(driver), "Direct3D") {}

template <class T, class Interface>
HRESULT SoftwareDirect3D::Create(const char* method, Interface** object, IUnknown* outer) {
    if (object != nullptr) {
        *object = nullptr;
    }
    if (HRESULT hr = Intercept(method, outer); FAILED(hr)) {
        return hr;
    }
    if (object == nullptr || outer != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    return NewObject<T>(object, SharedDriver());
}

HRESULT SoftwareDirect3D::CreateLight(IDirect3DLight** light, IUnknown* outer) {
    return Create<SoftwareLight>("CreateLight", light, outer);
}

HRESULT SoftwareDirect3D::CreateMaterial(IDirect3DMaterial3** material, IUnknown* outer) {
    return Create<SoftwareMaterial>("CreateMaterial", material, outer);
}

HRESULT SoftwareDirect3D::CreateViewport(IDirect3DViewport3** viewport, IUnknown* outer) {
    return Create<SoftwareViewport>("CreateViewport", viewport, outer);
}

// --- Factory --------------------------------------------------------------------------------

HRESULT CreateSoftwareDirect3D(const SoftwareDeviceConfig& config, SoftwareDirect3D** direct3D,
                               SoftwareDevice** device, std::shared_ptr<D3DCallObserver> observer,
                               std::shared_ptr<SoftwareRenderer> renderer) {
    if (direct3D == nullptr || device == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *direct3D = nullptr;
    *device = nullptr;
    std::shared_ptr<SoftwareDriver> driver;
    try {
        driver = std::make_shared<SoftwareDriver>(config, std::move(observer), std::move(renderer));
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    HRESULT hr = NewObject<SoftwareDirect3D>(direct3D, driver);
    if (SUCCEEDED(hr)) {
        hr = NewObject<SoftwareDevice>(device, driver);
    }
    if (FAILED(hr) && *direct3D != nullptr) {
        (*direct3D)->Release();
        *direct3D = nullptr;
    }
    return hr;
}

} // namespace platform
