#pragma once

// The 3D device interfaces the engine draws through, trimmed to the operations it uses.
// Every object is reference counted: the creator gets one reference, AddRef adds one, Release
// drops one and destroys the object at 0. Operations return signed result codes; negative is
// failure, and a failed operation changes nothing. Objects are used from one thread.
//
// Implementations: the software device (platform/d3d/software/software_d3d.h), which keeps the
// complete device state for hosts and tests, and the recording device
// (platform/d3d/recording/recording_d3d.h), which also logs every call and can be told to fail
// chosen calls.

#include "math/matrix.h"
#include "platform/d3d/d3d_types.h"

class IDirect3DDevice3;

// A texture bound to a device stage: the texture interface of a DirectDraw texture surface,
// obtained with QueryInterface. The device holds references to the textures bound to its
// stages.
class IDirect3DTexture2 : public IUnknown {};
inline constexpr IID IID_IDirect3DTexture2 = {
    0x56430001, 0x0002, 0x0006, {'T', 'E', 'X', 'T', 'U', 'R', 'E', '2'}};

// One light. The viewport it is added to lights the scene with the last description given.
class IDirect3DLight : public IUnknown {
public:
    // Copies the description; its dwSize must be 80 and its type one of D3DLIGHTTYPE.
    virtual HRESULT SetLight(const D3DLIGHT2* light) = 0;
};

// One material, named on a device by its handle.
class IDirect3DMaterial3 : public IUnknown {
public:
    // Copies the record; its dwSize must be 80.
    virtual HRESULT SetMaterial(const D3DMATERIAL* material) = 0;
    // The handle under which `device` knows this material (never 0).
    virtual HRESULT GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) = 0;
};

// The part of the render target a device draws into, with its lights and background.
class IDirect3DViewport3 : public IUnknown {
public:
    // The viewport holds a reference to each light until it is deleted from it.
    virtual HRESULT AddLight(IDirect3DLight* light) = 0;
    virtual HRESULT DeleteLight(IDirect3DLight* light) = 0;
    // The material whose colour fills the background when the target is cleared; 0 for none.
    virtual HRESULT SetBackground(D3DMATERIALHANDLE material) = 0;
    // Clears `count` rectangles (at least one) of the target and/or depth buffer
    // (D3DCLEAR_* flags), inside the viewport's rectangle.
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags) = 0;
    // The rectangle of the target to draw into; dwSize must be 44 and the size not empty.
    // Until it is set the viewport covers the whole target.
    virtual HRESULT SetViewport2(const D3DVIEWPORT2* viewport) = 0;
};

// The device: transforms, states, textures and drawing.
class IDirect3DDevice3 : public IUnknown {
public:
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;

    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE type, DWORD value) = 0;
    // D3DLIGHTSTATE_MATERIAL takes a material handle of this device, or 0 for none.
    virtual HRESULT SetLightState(D3DLIGHTSTATETYPE type, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD value) = 0;
    // Binds the texture (null unbinds) to the stage; the device holds a reference to it.
    virtual HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) = 0;

    // Draws inside a scene, into the current viewport: `indexCount` indices (a multiple of 3
    // for triangle lists), each below `vertexCount`.
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat,
                                         const void* vertices, DWORD vertexCount,
                                         const WORD* indices, DWORD indexCount, DWORD flags) = 0;

    // Fills both descriptions, whose dwSize must be sizeof(D3DDEVICEDESC).
    virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) = 0;
    // Calls `callback` for each texture format in the device's order until it cancels.
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;

    // The device holds a reference to its current viewport.
    virtual HRESULT SetCurrentViewport(IDirect3DViewport3* viewport) = 0;
    // Adds a reference to the returned viewport; with none, D3DERR_NOCURRENTVIEWPORT and null.
    virtual HRESULT GetCurrentViewport(IDirect3DViewport3** viewport) = 0;
};

// The Direct3D object: creates lights, materials and viewports. `outer` must be null.
class IDirect3D3 : public IUnknown {
public:
    virtual HRESULT CreateLight(IDirect3DLight** light, IUnknown* outer) = 0;
    virtual HRESULT CreateMaterial(IDirect3DMaterial3** material, IUnknown* outer) = 0;
    virtual HRESULT CreateViewport(IDirect3DViewport3** viewport, IUnknown* outer) = 0;
};
