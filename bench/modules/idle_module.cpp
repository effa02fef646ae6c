// A behaviour module that does nothing: its PerformAI returns at once, so a tick over its
// entities measures the engine's own cost per entity.

#include "entity/entity.h"

#define IDLE_ENTRY extern "C" __attribute__((visibility("default")))

IDLE_ENTRY int IdleCreate(CBaseEntity*, CBaseEntity*, DWORD, void*, DWORD) {
    return 0;
}
IDLE_ENTRY int IdlePerformAI(CBaseEntity*) {
    return 0;
}
IDLE_ENTRY int IdleRender(CBaseEntity*) {
    return 0;
}
IDLE_ENTRY int IdleDelete(CBaseEntity*) {
    return 0;
}
