#pragma once

#include <string>

// Command-line options of the sample host.
struct HostOptions {
    int steps = 5;             // timed steps to run
    int stepMilliseconds = 20; // wall-clock length of one step
    int drones = 3;            // entities spawned from the sample module
    int seconds = 3;           // real-time seconds of physics ticks
    int ticksPerSecond = 50;   // physics ticks per second
    std::string modulePath;    // the drone module (host path); empty: the one built with the host
    bool showDebugOutput = true;
    bool showHelp = false;
};

// Parses argv; on a bad option returns false and sets error.
bool ParseHostOptions(int argc, char** argv, HostOptions& options, std::string& error);

const char* HostUsage();
