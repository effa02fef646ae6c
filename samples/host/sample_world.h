#pragma once

#include <string>

// A small world for the sample host: a model table naming the sample drone module, written
// to a scratch directory and loaded into the engine, and a few drones spawned from it.

// Loads the model table; false (with a line printed) when it could not be loaded.
bool LoadSampleModels(const std::string& modulePath);

// Spawns drones from model 0, the first with a scout child, and prints the entity tree.
void SpawnDrones(int count);

// Prints every entity with its position, children indented under their parents.
void PrintEntityTree();
