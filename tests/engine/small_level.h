#pragma once

// A small level written byte by byte into a scratch directory: one model record bound to a
// test module, a box model, empty texture, sound and music tables and the given triggers.

#include "testkit/scratch_dir.h"
#include "testkit/table_bytes.h"

#include "../event/event_fixture.h"
#include "../model/vmm_bytes.h"

namespace table_bytes {

// A model 4 x 2 x depth whose one material names texture `texture`.
inline Bytes BoxModel(const std::string& texture, float depth = 1.0f) {
    auto b = vmm_bytes::FileStart();
    const std::vector<vmm_bytes::Vertex> corners = {
        {0, 0, 0, 0, 0, 1, 0, 0}, {4, 0, 0, 0, 0, 1, 1, 0}, {0, 2, depth, 0, 0, 1, 0, 1}};
    vmm_bytes::FrameChunk(b, "body", corners, {0, 1, 2}, 0);
    vmm_bytes::MaterialChunk(b, {0.5f, 0.5f, 0.5f, 1}, {0.2f, 0.2f, 0.2f, 1}, texture, 0);
    vmm_bytes::BoxKeysChunk(b, 0, 0, 0, {vmm_bytes::BoxKey{0, 0}});
    vmm_bytes::ModelBoxesChunk(b, {vmm_bytes::BoxKey{0, 0, {0, 0, 0}, {4, 2, depth}}});
    return b.Bytes();
}

// A timed trigger spawning `modelIndex` with the given identifier after `delay`.
struct TimedTrigger {
    std::uint32_t entityId;
    std::uint32_t modelIndex;
    float delay;
};

inline Bytes TimedEvents(const std::vector<TimedTrigger>& triggers) {
    std::vector<TriggerFields> fields(triggers.size());
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        fields[i].entityId = triggers[i].entityId;
        fields[i].modelIndex = triggers[i].modelIndex;
        fields[i].delay = triggers[i].delay;
    }
    return SectionBuilder().Group(0, fields).End().Bytes();
}

// level.vlf (world size 2048) and its files; the model's module is modulePath (engine form)
// with the entry prefix "Physics".
inline void WriteSmallLevel(const testkit::ScratchDir& dir, const std::string& modulePath,
                            const std::vector<TimedTrigger>& triggers) {
    ModelSample model;
    model.modelFile = "box.vmm";
    model.prefix = "Physics";
    model.modulePath = modulePath;
    dir.WriteFile("level.vlf", LevelInfoFile(LevelSample{}));
    dir.WriteFile("models.tbl", Table(kModelId, 1, {ModelRecord(model)}));
    dir.WriteFile("box.vmm", BoxModel(""));
    dir.WriteFile("textures.tbl", Table(kTextureId, 0, {}));
    dir.WriteFile("sounds.tbl", Table(kSoundId, 0, {}));
    dir.WriteFile("music.tbl", Table(kMusicId, 0, {}));
    dir.WriteFile("events.evt", TimedEvents(triggers));
}

} // namespace table_bytes
