#include "entity_fixture.h"

#include "engine/registry.h"

namespace {

using SpawnFailureTest = EntityTest;

// A spawn into an empty list allocates the entity, then the list's first block of nodes; the
// second allocation failing makes the append fail.
CBaseEntity* SpawnWithFailingAppend(CBaseEntity* parent) {
    CMemory::FailAllocationAfter(2);
    CBaseEntity* entity = parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
    CMemory::FailAllocationAfter(0);
    return entity;
}

// The spawners ignore a failed append: the entity is still returned, outside any list, and
// remains the caller's to delete.
TEST_F(SpawnFailureTest, EntityWhoseAppendFailsIsReturnedOutsideAnyList) {
    CBaseEntity* orphan = SpawnWithFailingAppend(nullptr);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
    EXPECT_EQ(vgFindEntity(orphan->m_dwID), nullptr);
    vgDeleteEntity(orphan);

    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* child = SpawnWithFailingAppend(parent);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(parent->m_Children.GetCount(), 0u);
    EXPECT_EQ(child->m_pParent, parent);
    EXPECT_EQ(vgFindEntity(child->m_dwID), nullptr);
    vgDeleteEntity(child);
}

} // namespace
