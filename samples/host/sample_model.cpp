#include "sample_model.h"

#include "model/material.h"
#include "model/model.h"
#include "platform/os/path.h"

#include <cstdio>

namespace {

// Samples over the first half of the animation: the box turns with the model.
constexpr int kSamples = 5;

void PrintContents(C3DModel& model) {
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        C3DModelFrame& frame = *model.GetFrame(i);
        const CMaterial* material = model.GetMaterial(frame.GetMaterialIndex());
        const char* texture = material != nullptr ? material->GetTextureName() : nullptr;
        std::printf("  frame %u \"%s\": %u vertices, %u triangles, texture %s\n", i,
                    frame.GetName(), frame.GetVertexCount(), frame.GetFaceCount(),
                    texture != nullptr ? texture : "none");
    }
}

void PrintBox(C3DModel& model, float time) {
    D3DVECTOR min;
    D3DVECTOR max;
    model.GetBoundingBox(0, time, min, max);
    std::printf("box (%5.2f, %5.2f, %5.2f)..(%5.2f, %5.2f, %5.2f)\n", min.x, min.y, min.z, max.x,
                max.y, max.z);
}

// The direction of the model's nose (-z in the engine's space) as the first frame's animation
// places it.
D3DVECTOR NoseDirection(C3DModel& model) {
    const D3DMATRIX& placement = *model.GetFrame(0)->GetAnimationMatrix();
    return TransformVector(D3DVECTOR(0.0f, 0.0f, -1.0f), placement) -
           TransformVector(D3DVECTOR(0.0f), placement);
}

void PlayAnimation(C3DModel& model) {
    float duration = model.GetAnimations()[0].fDuration;
    std::printf("  animation 0: %.2f s, spline keys\n", duration);
    for (int i = 0; i < kSamples; ++i) {
        float time = duration * 0.5f * static_cast<float>(i) / (kSamples - 1);
        float played = time;
        model.InterpolateAnimation(1, 0, played, ANIM_SPLINE);
        D3DVECTOR nose = NoseDirection(model);
        std::printf("  t=%.2fs: nose (%5.2f, %5.2f, %5.2f), ", time, nose.x, nose.y, nose.z);
        PrintBox(model, time);
    }
}

} // namespace

bool RunSampleModel(const std::string& modelPath) {
    C3DModel model;
    if (!model.LoadModel(platform::HostToWindowsPath(modelPath).c_str())) {
        std::printf("  %s could not be loaded\n", modelPath.c_str());
        return false;
    }
    std::printf("  %s: %u frames, %u animations, %u boxes\n", modelPath.c_str(),
                model.GetFrameCount(), model.GetAnimationCount(), model.GetBoxCount());
    PrintContents(model);
    if (model.GetFrameCount() == 0 || model.GetAnimationCount() == 0) {
        std::printf("  not animated: ");
        PrintBox(model, 0.0f);
        return true;
    }
    PlayAnimation(model);
    return true;
}
