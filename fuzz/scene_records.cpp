// Camera and light records from arbitrary bytes: each load either takes a whole record or
// leaves the object as it was, and a camera that loaded must still update and save.

#include "fuzzkit/input_file.h"

#include "platform/os/file.h"
#include "scene/camera.h"
#include "scene/light.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    fuzzkit::InputFile input(data, size);
    CCamera camera;
    DWORD modeBefore = camera.GetMode();
    if (camera.Load(input.Handle()) == 1) {
        D3DMATRIX view;
        camera.Update(view, 1.0f, 100.0f);
        D3DVECTOR centre(0.0f);
        camera.IsBoundingSphereVisible(&centre, 1.0f);
    } else if (camera.GetMode() != modeBefore) {
        std::abort();
    }

    SetFilePointer(input.Handle(), 0, FILE_BEGIN);
    CLight light;
    D3DLIGHT2 before = *light.GetLightInfo();
    if (light.Load(input.Handle()) != 1 &&
        std::memcmp(&before, light.GetLightInfo(), sizeof before) != 0) {
        std::abort();
    }
    return 0;
}
