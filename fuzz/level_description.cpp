// Level descriptions: arbitrary bytes read as lvltool's text format. A description that reads
// must only refer to records it defines and keep its triggers inside its world.

#include "level_description.h"
#include "fuzzkit/input_file.h"

#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool Inside(float value, float half) {
    return value >= -half && value < half;
}

bool IsConsistent(const lvltool::LevelDescription& level) {
    const float half = level.worldSize * 0.5f;
    if (!(level.worldSize > 0.0f)) {
        return false;
    }
    for (const lvltool::ModelEntry& model : level.models) {
        if (model.textureOverride != lvltool::kNone &&
            model.textureOverride >= level.textures.size()) {
            return false;
        }
    }
    for (const lvltool::TriggerEntry& t : level.triggers) {
        if (t.model >= level.models.size() || t.type > 2 || !Inside(t.position.x, half) ||
            !Inside(t.position.y, half) || !Inside(t.position.z, half)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    lvltool::LevelDescription level;
    lvltool::Diagnostic error;
    if (lvltool::ReadLevelDescription(text, "fuzz/level.txt", level, error) &&
        !IsConsistent(level)) {
        std::abort();
    }
    return 0;
}
