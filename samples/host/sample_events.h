#pragma once

// Triggers at work for the sample host. With the model table the sample world loaded (record
// 0: the drone module), it builds a small trigger table, saves it as an event section, loads
// the section back, and walks a player past the triggers, calling ProcessEvents once per step
// as the physics tick does. The fired triggers spawn drones, whose orders travel in the
// triggers' create blocks.
//
// The engine's own event manager is filled only by level files and driven only by the
// physics tick, neither of which a host reaches directly; the demo therefore runs its own
// manager, which the engine reports as a second instance.

// Runs the demo and prints it; false when no model table is loaded or a step failed.
bool RunSampleEvents();
