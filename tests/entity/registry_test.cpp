#include "entity_fixture.h"

#include "engine/registry.h"
#include "testkit/bounded_wait.h"

#include <algorithm>

namespace {

using RegistryTest = EntityTest;

// True when another thread can take the list's lock, i.e. nobody holds it.
bool IsUnlocked(CLinkedList<CBaseEntity*>& list) {
    return testkit::FinishesWithin([&list] {
        list.Lock();
        list.Unlock();
    });
}

TEST_F(RegistryTest, IdentifiersStartAt500AfterAResetAndCountUp) {
    CBaseEntity* first = vgSpawnParentEntity();
    vgSpawnParentEntity();
    EXPECT_EQ(vgSpawnChildEntity(first)->m_dwID, 502u);
    EXPECT_EQ(vgGetNextEntityID(), 503u);
    ResetLevel();
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
    g_engine.gameState.dwNextEntityId = 7;
    EXPECT_EQ(vgGetNextEntityID(), 500u) << "a counter below 500 is raised";
    g_engine.gameState.dwNextEntityId = 12345;
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 12345u) << "a restored counter continues";
}

TEST_F(RegistryTest, FindSearchesTopLevelAndDirectChildrenAndLeavesTheListsUnlocked) {
    CBaseEntity* first = vgSpawnParentEntity();
    CBaseEntity* second = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(first);
    CBaseEntity* grandchild = vgSpawnChildEntity(child);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 2u) << "children live in their parent's list only";
    EXPECT_EQ(
        (std::vector{*first->m_Children.GetHead(), child->m_pParent, vgFindEntity(child->m_dwID),
                     vgFindEntity(grandchild->m_dwID), vgFindEntity(4242)}),
        (std::vector<CBaseEntity*>{child, first, child, nullptr, nullptr}));
    EXPECT_TRUE(IsUnlocked(*vgGetEntityList()) && IsUnlocked(first->m_Children));

    child->m_dwID = second->m_dwID = 1;
    EXPECT_EQ(vgFindEntity(1), second) << "top-level entities win over children";
    first->m_dwID = 1;
    EXPECT_EQ(vgFindEntity(1), first) << "list order decides among top-level entities";
}

// A failed entity allocation is reported and changes no list. When the entity is allocated
// but the append into an empty list fails (its first block of nodes), the entity is still
// returned, outside any list, and remains the caller's to delete.
TEST_F(RegistryTest, SpawnFailuresAreReportedOrLeaveTheEntityOutsideAnyList) {
    CBaseEntity* parent = nullptr;
    for (bool child : {false, true}) {
        parent = child ? vgSpawnParentEntity() : nullptr;
        auto& list = child ? parent->m_Children : *vgGetEntityList();
        const auto spawn = [&] {
            return child ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
        };
        CMemory::FailAllocationAfter(2);
        CBaseEntity* orphan = spawn();
        ASSERT_NE(orphan, nullptr);
        EXPECT_EQ((std::vector<DWORD>{list.GetCount(), orphan->m_pParent == parent,
                                      vgFindEntity(orphan->m_dwID) == nullptr}),
                  (std::vector<DWORD>{0, 1, 1}));
        vgDeleteEntity(orphan);
        m_capture.Clear();
        CMemory::FailAllocationAfter(1);
        EXPECT_EQ(spawn(), nullptr);
        EXPECT_EQ(m_capture.Text(), "VelEng::vgSpawnEntity() Spawn failed!\n");
        EXPECT_EQ(list.GetCount(), 0u);
    }
}

// Entities whose lists were tampered with are reported and still destroyed, and the walk
// over a parent's children still ends.
TEST_F(RegistryTest, BrokenListsAreReportedAndTheEntitiesStillDestroyed) {
    CBaseEntity* loner = vgSpawnParentEntity();
    vgGetEntityList()->RemoveAt(vgGetEntityList()->Find(loner));
    vgDeleteEntity(loner);
    EXPECT_TRUE(m_capture.Contains(
        "CBaseEntity::~CBaseEntity() Unable to find parent object in entity list!\n"));

    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* other = vgSpawnParentEntity();
    parent->m_Children.AddTail(nullptr);
    vgSpawnChildEntity(parent)->m_pParent = other; // its destructor looks in the wrong list
    CBaseEntity* removed = vgSpawnChildEntity(other);
    other->m_Children.RemoveAt(other->m_Children.Find(removed));
    vgDeleteEntity(removed);
    vgDeleteEntity(parent);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::~CBaseEntity() NULL child head in list!\n"));
    EXPECT_EQ(std::count(m_capture.Lines().begin(), m_capture.Lines().end(),
                         "CBaseEntity::~CBaseEntity() Unable to find a child in parent list!\n"),
              2)
        << "the removed child and the one with the changed parent";
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
}

} // namespace
