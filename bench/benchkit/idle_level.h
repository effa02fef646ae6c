#pragma once

// A level of entities bound to the idle module (bench/modules/idle_module.cpp), whose entries
// return at once, so that a tick over them measures the engine's own cost.

class CBaseEntity;

namespace benchkit {

// Loads a model table of `records` identical records naming the idle module.
void LoadIdleModel(unsigned records = 1);

// A created entity of model record 0, top-level or a child of parent.
CBaseEntity* CreateIdle(CBaseEntity* parent);

} // namespace benchkit
