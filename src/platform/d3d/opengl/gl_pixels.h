#pragma once

// Surface pixels to and from the 32-bit ARGB rows OpenGL takes as GL_BGRA with
// GL_UNSIGNED_INT_8_8_8_8_REV, top row first.

#include "platform/ddraw/software/software_ddraw.h"

#include <epoxy/gl.h>

#include <vector>

namespace platform {

// A view of `width` x `height` ARGB pixels packed row after row.
PixelView ArgbView(Argb* pixels, LONG width, LONG height);

// The surface's pixels as ARGB (through its palette when it has one) into `pixels`, which
// grows when needed.
void SurfaceToArgb(SoftwareSurface& surface, std::vector<Argb>* pixels);

// Uploads ARGB rows into level `level` of the bound 2D texture, allocating it.
void UploadArgbTexture(GLint level, LONG width, LONG height, const Argb* pixels);

} // namespace platform
