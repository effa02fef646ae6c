#pragma once

// A running level to draw: model records bound to the test module (whose Render returns the
// entity's user data word 1), 3D models built in memory from square frames, and textures
// made from bitmap resources. The engine camera looks from (0, 0, -1) towards the origin, so
// a square at z = 10 is in view and one at z = -50 is behind it.

#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/model_table.h"
#include "engine/registry.h"
#include "entity/entity.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/os/path.h"
#include "scene/texture.h"
#include "support/memory.h"
#include "testkit/bmp_builder.h"
#include "testkit/scratch_dir.h"
#include "testkit/table_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace render_level {

// A square of side 2 * half facing -z, centred at centre, drawn with the model's material
// slot `material`.
struct Square {
    D3DVECTOR centre;
    float half = 1.0f;
    DWORD material = 0;
};

// A model of squares with `materials` materials; material i has texture index textures[i]
// (none when the list is shorter).
inline C3DModel* BuildModel(const std::vector<Square>& squares, DWORD materials = 1,
                            const std::vector<DWORD>& textures = {}) {
    C3DModel* model = NewAccounted<C3DModel>();
    for (DWORD m = 0; m < materials; ++m) {
        CMaterial* material = NewAccounted<CMaterial>();
        material->SetDiffuse(D3DVECTOR(1.0f, 1.0f - 0.25f * m, 1.0f - 0.5f * m));
        material->SetTextureIndex(m < textures.size() ? textures[m] : kNoIndex);
        model->AddMaterial(material);
    }
    for (const Square& s : squares) {
        const D3DVECTOR& c = s.centre;
        const float h = s.half;
        D3DVERTEX corners[4] = {{c.x - h, c.y - h, c.z, 0, 0, -1, 0, 1},
                                {c.x - h, c.y + h, c.z, 0, 0, -1, 0, 0},
                                {c.x + h, c.y + h, c.z, 0, 0, -1, 1, 0},
                                {c.x + h, c.y - h, c.z, 0, 0, -1, 1, 1}};
        const DWORD faces[6] = {0, 1, 2, 0, 2, 3};
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        frame->SetVertices(corners, 4);
        frame->SetFaces(faces, 2);
        frame->SetMaterialIndex(s.material);
        const DBOX_KEYFRAME box{}; // one box, keyframe 0 at time 0
        frame->SetBBoxKeyframes(1, &box, 0, 0);
        model->AddFrame(frame);
    }
    model->CalculateBoundingBox();
    model->ConvertIndices(nullptr);
    return model;
}

// A 4 x 4 texture for `stage` in checks of two colours (0x00RRGGBB), loaded from a bitmap
// resource.
inline CTexture* BuildTexture(DWORD flags, DWORD stage = 0, std::uint32_t light = 0x80C040,
                              std::uint32_t dark = 0x80C040) {
    static int serial = 0;
    const std::string name = "render-level-" + std::to_string(++serial);
    std::vector<std::uint32_t> pixels(16);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = ((i ^ (i / 4)) & 1) != 0 ? dark : light;
    }
    testkit::AddResource(name.c_str(), testkit::SimpleImage(4, 4, 24, pixels));
    CTexture* texture = NewAccounted<CTexture>();
    EXPECT_EQ(texture->Load(const_cast<char*>(name.c_str()), 0, stage, flags), 1);
    return texture;
}

template <class T> T* AccountedArray(const std::vector<T>& items) {
    auto* array = static_cast<T*>(CMemory::Allocate(sizeof(T) * items.size(), 0));
    std::copy(items.begin(), items.end(), array);
    return array;
}

// Loads `records` model records bound to the module, record i using models[map[i]].
inline void InstallModels(testkit::ScratchDir& dir, const std::string& module,
                          const std::vector<C3DModel*>& models, const std::vector<DWORD>& map) {
    const table_bytes::ModelSample sample = {.prefix = "Render",
                                             .modulePath =
                                                 platform::HostToWindowsPath(module.c_str()),
                                             .sphereOffset = {0.0f, 0.0f, 0.0f}};
    std::vector<table_bytes::Bytes> records(map.size(), table_bytes::ModelRecord(sample));
    dir.WriteFile("models.mlf", table_bytes::Table(table_bytes::kModelId, records.size(), records));
    ASSERT_EQ(vgLoadModelTable(dir.EnginePath("models.mlf").c_str()), 1);
    g_level.pp3DModels = AccountedArray(models);
    g_level.dw3DModelCount = static_cast<DWORD>(models.size());
    g_level.pModelMap = AccountedArray(map);
}

// The texture table claims `records` entries; the textures are the ones loaded.
inline void InstallTextures(const std::vector<CTexture*>& textures, DWORD records) {
    g_level.textureHeader.dwCount = records;
    g_level.ppTextureObjects = AccountedArray(textures);
    g_level.dwTextureObjectCount = static_cast<DWORD>(textures.size());
}

// A created entity of model record `model` at position, whose Render returns `render`.
inline CBaseEntity* Spawn(CBaseEntity* parent, DWORD model, const D3DVECTOR& position,
                          int render = kEntityContinue) {
    CBaseEntity* entity = parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
    EXPECT_EQ(entity->Create(nullptr, model, position, D3DVECTOR(0.0f), nullptr, 0), 0);
    entity->m_vScale = D3DVECTOR(1.0f);
    entity->m_dwUserData1 = static_cast<DWORD>(render);
    return entity;
}

} // namespace render_level
