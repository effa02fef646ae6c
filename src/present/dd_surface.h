#pragma once

// One off-screen DirectDraw surface that the host or the library draws onto a render target:
// the part to copy, the colour key and the blit flags that follow from it. Every object that
// holds a surface sits in one process-wide list so that all surfaces can be restored in one
// call after the display lost them. Textures, sprites and video surfaces derive from it.

#include "platform/ddraw/ddraw.h"
#include "platform/export.h"

class VELCORE_API CDDSurface {
public:
    CDDSurface();
    // A copy would release the same surface twice and corrupt the surface list.
    CDDSurface(const CDDSurface&) = delete;
    CDDSurface& operator=(const CDDSurface&) = delete;

    // Creates the surface on the host's DirectDraw object and takes it; 1 on success.
    int Create(DDSURFACEDESC2* desc);

protected:
    // Takes `surface` (its one reference) after releasing any earlier one; null only
    // releases.
    virtual void SetSurface(IDirectDrawSurface4* surface);
    // Drops the surface and leaves the surface list; the key, rectangle and sizes stay.
    virtual void Release();
    // Brings back the surface's memory; derived classes also redraw what it showed.
    virtual void Restore();

public:
    // Copies the source rectangle into `destRect` of `dest`, stretching as needed.
    virtual int StretchBlt(RECT* destRect, IDirectDrawSurface4* dest);
    // Copies the source rectangle to (x, y) on `dest` without stretching; the parts that fall
    // outside `dest` are cut off.
    virtual int Blt(int x, int y, IDirectDrawSurface4* dest);
    // Makes `colour` (0x00BBGGRR) transparent in blits from this surface.
    virtual int SetColourKey(DWORD colour);
    virtual int GetBPP();
    virtual int GetHeight();
    virtual int GetWidth();
    // No reference is added.
    virtual IDirectDrawSurface4* GetSurface();
    // Releases through this class's Release, not an override: derived parts are gone by then.
    // Declared after the operations above, which keeps the order of the virtual table that
    // hosts compiled against the class rely on.
    virtual ~CDDSurface();

    // The source rectangle for a draw at (x, y), cut to the host's screen on every side.
    // Always 1.
    int ClipRenderRect(int x, int y, RECT* out);

    // Restores every surface in the list, the newest first.
    static void RestoreAll();
    // The host's function that restores lost surfaces (null: none).
    static void SetRestoreCallback(void (*callback)());

protected:
    // Calls the host's restore callback, if any.
    void GlobalRestoreSurfaces();

    BOOL hasColourKey = 0;
    DWORD colourKey = 0;
    BOOL inSurfaceList = 0;
    RECT sourceRect = {};
    int bitsPerPixel = 0;
    int width = 0;
    int height = 0;
    DWORD bltFlags = 0;
    DWORD bltFastFlags = 0;
    IDirectDrawSurface4* surface = nullptr;

private:
    void LinkIntoList();
    void UnlinkFromList();
    template <class Copy> int RetryLostCopy(const char* operation, Copy copy);

    CDDSurface* next = nullptr;
    CDDSurface* prev = nullptr;
};
