// VMM model files: arbitrary bytes loaded with C3DModel::LoadModel. A loaded model is
// transformed, animated at a few times in every mode, queried for boxes, spheres and
// attachments, converted to 16-bit indices and saved again. A model that saves must load
// back with the same frames, materials and animations; a failed load leaves an empty model.

#include "fuzzkit/input_file.h"

#include "model/material.h"
#include "model/model.h"

#include <cstdlib>
#include <string>

namespace {

// Next to the input file, which is already unique to this process.
std::string SavedPath(const fuzzkit::InputFile& input) {
    return input.EnginePath() + ".vmm";
}

void Exercise(C3DModel& model) {
    model.Transform(ScaleMatrix(0.5f, -1.0f, 2.0f));
    model.Translate(1.0f, 2.0f, 3.0f);
    const DWORD modes[] = {0, ANIM_LINEAR, ANIM_SLERP | ANIM_PLAY_ONCE, ANIM_SPLINE};
    const float times[] = {-1.0f, 0.0f, 0.4f, 1.5f, 1e9f};
    for (DWORD flags : modes) {
        for (float start : times) {
            float time = start;
            model.InterpolateAnimation(flags & 1, 0, time, flags);
        }
    }
    D3DVECTOR min, max, centre;
    float radius = 0.0f;
    for (float time : times) {
        model.GetBoundingBox(0, time, min, max);
        model.GetBoundingSphere(0, time, centre, radius);
        for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
            model.GetFrame(i)->GetBoundingBox(min, max, time);
            model.GetFrame(i)->GetBoundingSphere(centre, radius, time);
        }
    }
    for (DWORD i = 0; i <= model.GetAttachmentCount(); ++i) {
        model.GetAttachment(i);
    }
    model.ConvertIndices(nullptr);
}

int MaterialCount(const C3DModel& model) {
    int count = 0;
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        count += model.GetMaterial(slot) != nullptr ? 1 : 0;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    fuzzkit::InputFile input(data, size);
    C3DModel model;
    if (!model.LoadModel(input.EnginePath().c_str())) {
        if (model.GetFrameCount() != 0 || model.GetAnimationCount() != 0 ||
            MaterialCount(model) != 0) {
            std::abort();
        }
        return 0;
    }
    Exercise(model);
    const std::string saved = SavedPath(input);
    if (!model.SaveModel(saved.c_str())) {
        return 0;
    }
    C3DModel reloaded;
    if (!reloaded.LoadModel(saved.c_str()) || reloaded.GetFrameCount() != model.GetFrameCount() ||
        reloaded.GetAnimationCount() != model.GetAnimationCount() ||
        MaterialCount(reloaded) != MaterialCount(model)) {
        std::abort();
    }
    return 0;
}
