#pragma once

// Runs physics and render ticks in real time for the given seconds with a camera that rides on
// the first drone and keeps the last one in view, printing the camera once a second.
void RunSamplePhysics(int seconds, int ticksPerSecond);
