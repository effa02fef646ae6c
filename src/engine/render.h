#pragma once

// The render tick: advances the render clock, updates the active camera and sets its view on
// the device, points the engine light along the view, then draws every entity whose
// behaviour module asks for it, parents before children. The host begins and ends the
// device's scene around it. Material and texture are set only when they differ from the
// ones this tick last made current.

#include "math/matrix.h"
#include "platform/export.h"

class CBaseEntity;

// One frame. Does nothing while the game is paused or the engine disabled. Always 1.
extern "C" VELCORE_API int vgGameRenderTick();

// Draws every top-level entity whose Render entry returns 0, each with its subtree.
void vgRenderEntities();

// Draws one entity's model under parent (the matrix its parent passes on), then considers
// its children.
void vgRenderEntity(CBaseEntity* entity, const D3DMATRIX& parent);

// Forgets the material and texture last made current, so the next frame sets them again:
// after a level reset, a pause change, or when the device or the models they belong to may
// have changed.
void ForgetCurrentMaterialAndTexture();
