#pragma once

#include "platform/export.h"

class CBaseEntity;

// One physics tick: advances the physics clock, lets the event manager fire the triggers due
// around the entity with identifier 1, then gives every entity one PerformAI, parents before
// children. Does nothing while the game is paused or the engine disabled. Always 1.
extern "C" VELCORE_API int vgGamePhysicsTick();

// The PerformAI pass over one parent's children and their subtrees.
void vgPerformChildPhysics(CBaseEntity* parent);
