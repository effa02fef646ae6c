#include "engine/engine.h"

// Shared steps for behaviour modules; nothing inside the library reads them.

extern "C" {

const PROPULSION propImpulseTable[10] = {
    {0.0f, 0.1f},    {250.0f, 0.2f},  {500.0f, 0.3f},  {750.0f, 0.4f},  {1000.0f, 0.5f},
    {1250.0f, 0.6f}, {1500.0f, 0.7f}, {1750.0f, 0.8f}, {2000.0f, 0.9f}, {2250.0f, 1.0f},
};

const PROPULSION propWarpTable[10] = {
    {0.0f, 0.0f},      {5000.0f, 10.0f},  {6000.0f, 15.0f},  {7000.0f, 20.0f},  {8000.0f, 25.0f},
    {10000.0f, 35.0f}, {12000.0f, 45.0f}, {15000.0f, 60.0f}, {20000.0f, 85.0f}, {30000.0f, 135.0f},
};

} // extern "C"
