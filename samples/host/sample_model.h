#pragma once

#include <string>

// Loads the sample model (a host path) through libvelcore.so, lists its frames and materials,
// then plays its first animation and prints where the first frame's nose points and the
// model's bounding box at a few times. False when the model cannot be loaded.
bool RunSampleModel(const std::string& modelPath);
