#include "entity_fixture.h"

#include "engine/registry.h"
#include "testkit/bounded_wait.h"

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
    CBaseEntity* second = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(first);
    EXPECT_EQ(first->m_dwID, 500u);
    EXPECT_EQ(second->m_dwID, 501u);
    EXPECT_EQ(child->m_dwID, 502u);
    EXPECT_EQ(vgGetNextEntityID(), 503u);
}

TEST_F(RegistryTest, CounterBelow500IsRaisedTo500) {
    g_engine.gameState.dwNextEntityId = 7;
    EXPECT_EQ(vgGetNextEntityID(), 500u);
    g_engine.gameState.dwNextEntityId = 12345;
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 12345u) << "a restored counter continues";
}

TEST_F(RegistryTest, ChildrenLiveInTheirParentsListOnly) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(parent);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
    EXPECT_EQ(*vgGetEntityList()->GetHead(), parent);
    EXPECT_EQ(parent->m_Children.GetCount(), 1u);
    EXPECT_EQ(*parent->m_Children.GetHead(), child);
    EXPECT_EQ(child->m_pParent, parent);
    EXPECT_EQ(parent->m_pParent, nullptr);
}

TEST_F(RegistryTest, FindSearchesTopLevelAndDirectChildrenOnly) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(parent);
    CBaseEntity* grandchild = vgSpawnChildEntity(child);
    EXPECT_EQ(vgFindEntity(parent->m_dwID), parent);
    EXPECT_EQ(vgFindEntity(child->m_dwID), child);
    EXPECT_EQ(vgFindEntity(grandchild->m_dwID), nullptr);
}

TEST_F(RegistryTest, MissingIdentifierLeavesEveryListUnlocked) {
    CBaseEntity* parent = vgSpawnParentEntity();
    vgSpawnChildEntity(parent);
    EXPECT_EQ(vgFindEntity(4242), nullptr);
    EXPECT_TRUE(IsUnlocked(*vgGetEntityList()));
    EXPECT_TRUE(IsUnlocked(parent->m_Children));
}

TEST_F(RegistryTest, DuplicateIdentifiersResolveToTheFirstTopLevelEntity) {
    CBaseEntity* first = vgSpawnParentEntity();
    CBaseEntity* second = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(first);
    child->m_dwID = 1;
    second->m_dwID = 1;
    EXPECT_EQ(vgFindEntity(1), second) << "top-level entities win over children";
    first->m_dwID = 1;
    EXPECT_EQ(vgFindEntity(1), first) << "list order decides among top-level entities";
}

TEST_F(RegistryTest, DeletingAParentDeletesItsWholeSubtree) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* other = vgSpawnParentEntity();
    std::vector<DWORD> ids;
    for (int i = 0; i < 3; ++i) {
        CBaseEntity* child = vgSpawnChildEntity(parent);
        vgSpawnChildEntity(child);
        ids.push_back(child->m_dwID);
    }
    vgDeleteEntity(parent);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
    EXPECT_EQ(*vgGetEntityList()->GetHead(), other);
    for (DWORD id : ids) {
        EXPECT_EQ(vgFindEntity(id), nullptr);
    }
    vgDeleteEntity(other);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline) << "entities and list pools freed";
}

TEST_F(RegistryTest, DeletingAChildLeavesTheParentAlone) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* first = vgSpawnChildEntity(parent);
    CBaseEntity* second = vgSpawnChildEntity(parent);
    vgDeleteEntity(first);
    EXPECT_EQ(parent->m_Children.GetCount(), 1u);
    EXPECT_EQ(*parent->m_Children.GetHead(), second);
    EXPECT_EQ(vgFindEntity(parent->m_dwID), parent);
}

TEST_F(RegistryTest, DeletingNullDoesNothing) {
    vgSpawnParentEntity();
    vgDeleteEntity(nullptr);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(RegistryTest, SpawnFailureIsReportedAndChangesNoList) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(vgSpawnParentEntity(), nullptr);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(vgSpawnChildEntity(parent), nullptr);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{"VelEng::vgSpawnEntity() Spawn failed!\n",
                                        "VelEng::vgSpawnEntity() Spawn failed!\n"}));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
    EXPECT_EQ(parent->m_Children.GetCount(), 0u);
}

TEST_F(RegistryTest, EntityMissingFromItsListIsReportedAndStillDestroyed) {
    CBaseEntity* loner = vgSpawnParentEntity();
    vgGetEntityList()->RemoveAt(vgGetEntityList()->Find(loner));
    vgDeleteEntity(loner);
    EXPECT_TRUE(m_capture.Contains(
        "CBaseEntity::~CBaseEntity() Unable to find parent object in entity list!\n"));

    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(parent);
    parent->m_Children.RemoveAt(parent->m_Children.Find(child));
    vgDeleteEntity(child);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::~CBaseEntity() Unable to find a child in parent list!\n"));
}

TEST_F(RegistryTest, NullChildEntryIsReportedAndRemoved) {
    CBaseEntity* parent = vgSpawnParentEntity();
    parent->m_Children.AddTail(nullptr);
    vgSpawnChildEntity(parent);
    vgDeleteEntity(parent);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::~CBaseEntity() NULL child head in list!\n"));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
}

TEST_F(RegistryTest, ChildWhoseParentPointerWasChangedStillLeavesTheLoop) {
    CBaseEntity* parent = vgSpawnParentEntity();
    CBaseEntity* stray = vgSpawnChildEntity(parent);
    CBaseEntity* other = vgSpawnParentEntity();
    stray->m_pParent = other; // its destructor looks in the wrong list
    vgDeleteEntity(parent);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::~CBaseEntity() Unable to find a child in parent list!\n"));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
}

TEST_F(RegistryTest, ResetDeletesEveryEntityAndRestartsIdentifiers) {
    CBaseEntity* parent = vgSpawnParentEntity();
    vgSpawnChildEntity(parent);
    vgSpawnParentEntity();
    ResetLevel();
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
}

} // namespace
