#pragma once

#include <string>

// A small world for the sample host: a model table naming the sample drone module, written
// to a scratch directory, loaded into the engine, and a few drones spawned from it.
struct SampleWorldOptions {
    std::string modulePath; // host path of the drone module
    int drones = 3;
    int steps = 4;
};

// Runs the world's life cycle and prints it; false when the world could not be set up.
bool RunSampleWorld(const SampleWorldOptions& options);
