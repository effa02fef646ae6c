#pragma once

namespace fuzzkit {

// Hands the engine a host with a software DirectDraw and 3D device (for textures, the
// camera and the light), near and far distances 1 and 100, and enables it. Once per run.
void SetUpSoftwareHost();

} // namespace fuzzkit
