#include "entity_fixture.h"

#include "engine/registry.h"
#include "model/accounted.h"
#include "model/model.h"

namespace {

class ScaleTest : public EntityTest {
protected:
    // One model record whose 3D model has a 4 x 2 x 1 box. The slots are the level's, so the
    // level reset in TearDown must destroy the model (the memory check would see it otherwise).
    void SetUp() override {
        EntityTest::SetUp();
        LoadModels({{"ship", "", ""}});
        C3DModel* model = NewAccounted<C3DModel>();
        C3DModelFrame* hull = NewAccounted<C3DModelFrame>();
        D3DVERTEX vertices[3] = {
            {0, 0, 0, 0, 0, 1, 0, 0}, {4, 0, 0, 0, 0, 1, 0, 0}, {0, 2, 1, 0, 0, 1, 0, 0}};
        DWORD face[3] = {0, 1, 2};
        DBOX_KEYFRAME box = {};
        hull->SetName("hull");
        hull->SetVertices(vertices, 3);
        hull->SetFaces(face, 1);
        hull->SetBBoxKeyframes(1, &box, 0, 0);
        model->AddFrame(hull);
        model->CalculateBoundingBox();

        g_level.dw3DModelCount = 1;
        g_level.pp3DModels = static_cast<C3DModel**>(CMemory::Allocate(sizeof(C3DModel*), 0));
        g_level.pp3DModels[0] = model;
        g_level.pModelMap = static_cast<DWORD*>(CMemory::Allocate(sizeof(DWORD), 0));
        g_level.pModelMap[0] = 0;

        m_entity = vgSpawnParentEntity();
        m_entity->m_dwModelIndex = 0;
    }

    CBaseEntity* m_entity = nullptr;
};

TEST_F(ScaleTest, UniformOrPerAxisFactorsScaleTheModelsExtent) {
    const struct {
        BOOL uniform;
        D3DVECTOR factors, scale;
        float largest;
    } cases[] = {
        {1, D3DVECTOR(1, 2, 6), D3DVECTOR(2, 1, 0.5f), 2.0f},
        {0, D3DVECTOR(1, 2, 6), D3DVECTOR(4, 4, 6), 6.0f},
    };
    for (const auto& c : cases) {
        m_entity->m_Model.bUniformScale = c.uniform;
        m_entity->m_Model.fUniformScale = 0.5f;
        m_entity->m_Model.vScale = c.factors;
        m_entity->CalculateScale();
        EXPECT_FLOAT_EQ(m_entity->m_vScale.x, c.scale.x);
        EXPECT_FLOAT_EQ(m_entity->m_vScale.y, c.scale.y);
        EXPECT_FLOAT_EQ(m_entity->m_vScale.z, c.scale.z);
        EXPECT_FLOAT_EQ(m_entity->m_fMaxScale, c.largest);
    }
    EXPECT_TRUE(m_capture.Lines().empty());
}

} // namespace
