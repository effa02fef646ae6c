#include "engine/globals.h"
#include "engine_fixture.h"
#include "entity/entity.h"
#include "platform/os/path.h"
#include "small_level.h"

#include <algorithm>

namespace {

using namespace table_bytes;

// A running level whose model 0 is the test module.
class PhysicsTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const ModelSample model = {.typeName = "walker",
                                   .prefix = "Physics",
                                   .modulePath = platform::HostToWindowsPath(PHYSICSMODULE)};
        m_dir.WriteFile("models.mlf", Table(kModelId, 1, {ModelRecord(model)}));
        ASSERT_EQ(vgLoadModelTable(m_dir.EnginePath("models.mlf").c_str()), 1);
        vgPauseGame(0);
        m_log.Clear();
    }
    // An entity of model 0, created unless unbound, whose PerformAI returns result.
    CBaseEntity* Created(CBaseEntity* parent, int result, bool bound = true) {
        CBaseEntity* entity =
            parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
        if (bound) {
            EXPECT_EQ(entity->Create(nullptr, 0, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
        }
        entity->m_dwUserData0 = static_cast<DWORD>(result);
        return entity;
    }
    std::vector<DWORD> PerformAICalls() const { return IdsLogged("module walker: PerformAI %u"); }
};

TEST_F(PhysicsTest, TickAdvancesTheClockByTheTimerStepUnlessPausedOrDisabled) {
    TickAfter(40);
    TickAfter(1500);
    EXPECT_EQ((std::vector<float>{float(vgGetDeltaPhysicsTime()), vgGetDeltaPhysicsFTime(),
                                  float(vgGetCurrentPhysicsTime())}),
              (std::vector<float>{1500, 1.5f, 1540}));

    Created(nullptr, 0);
    m_log.Clear();
    vgPauseGame(1);
    EXPECT_EQ(TickAfter(10000), 1);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 1540u);
    vgPauseGame(0);
    TickAfter(16);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 16u) << "resuming rebases the clock";
    vgDisable();
    EXPECT_EQ(TickAfter(16), 1);
    EXPECT_EQ(PerformAICalls().size(), 1u) << "only the tick that was neither paused nor off";
}

// One tick over a tree of entities: each entry's parent (an earlier entry, or -1), what its
// PerformAI returns, which entry it deletes through the registry (-1: none) and whether it
// is bound to the module. Parents come before children, depth first; 99 deletes the entity's
// subtree, other results are reported and skip the children; a module may delete entities of
// the lists being walked, and the walk must go on safely.
TEST_F(PhysicsTest, TickWalksTheTreeAndSurvivesDeletionsDuringTheWalk) {
    const char* kNotInList =
        "CBaseEntity::~CBaseEntity() Unable to find parent object in entity list!";
    const char* kNotAChild = "CBaseEntity::~CBaseEntity() Unable to find a child in parent list!";
    const char* kOdd =
        "VelEng::vgGamePhysicsTick() Entity 'walker' returned 5 from performAI function.\n";
    const char* kOddChild =
        "VelEng::vgPerformChildPhysics() Entity 'walker' returned 6 from PerformAI hook\n";
    struct Entry {
        int parent, result, deletes = -1;
        bool bound = true;
    };
    const struct {
        const char* name;
        std::vector<Entry> tree;
        std::vector<int> ran, found; // found: what vgFindEntity still finds
        const char* message;
    } cases[] = {
        {"depth first", {{-1, 0}, {0, 0}, {1, 0}, {-1, 0}}, {0, 1, 2, 3}, {0, 1, 3}, ""},
        // The node is taken out before the delete, so the destructor does not find it.
        {"99", {{-1, 99}, {0, 0}, {-1, 0}}, {0, 2}, {2}, kNotInList},
        {"child 99", {{-1, 0}, {0, 99}, {0, 0}}, {0, 1, 2}, {0, 2}, kNotAChild},
        {"odd", {{-1, 5}, {0, 6}}, {0}, {0, 1}, kOdd},
        {"odd child", {{-1, 0}, {0, 6}}, {0, 1}, {0, 1}, kOddChild},
        {"next sibling", {{-1, 0, 1}, {-1, 0}, {-1, 0}}, {0, 2}, {0, 2}, ""},
        {"itself", {{-1, 0, 0}, {0, 0}, {-1, 0}}, {0, 2}, {2}, ""},
        {"parent's sibling",
         {{-1, 0}, {0, 0, 2}, {-1, 0}, {2, 0}, {-1, 0}},
         {0, 1, 4},
         {0, 1, 4},
         ""},
        {"own parent", {{-1, 0}, {0, 0, 0}, {0, 0}, {-1, 0}}, {0, 1, 3}, {3}, ""},
        // An entity without a module answers PerformAI with 0, so its children still run.
        {"unbound", {{-1, 0, -1, false}, {0, 0}}, {1}, {0, 1}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        while (vgGetEntityList()->GetCount() != 0) {
            vgDeleteEntity(*vgGetEntityList()->GetHead());
        }
        std::vector<CBaseEntity*> entities;
        std::vector<DWORD> ids;
        for (const Entry& entry : c.tree) {
            entities.push_back(Created(entry.parent < 0 ? nullptr : entities[entry.parent],
                                       entry.result, entry.bound));
            ids.push_back(entities.back()->m_dwID);
        }
        for (std::size_t i = 0; i < c.tree.size(); ++i) {
            entities[i]->m_nUserData2 = c.tree[i].deletes < 0 ? -1 : ids[c.tree[i].deletes];
        }
        m_log.Clear();
        TickAfter(16);
        std::vector<int> ran, found;
        for (DWORD id : PerformAICalls()) {
            ran.push_back(int(std::find(ids.begin(), ids.end(), id) - ids.begin()));
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (vgFindEntity(ids[i]) != nullptr) {
                found.push_back(int(i));
            }
        }
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(found, c.found);
        EXPECT_TRUE(m_log.Contains(c.message)) << m_log.Text();
    }
}

// A timed trigger due at 0.5 s fires in the tick that takes the clock there (the clock moves
// before the events are processed), and the entity it spawns runs in that same tick.
TEST_F(PhysicsTest, TriggerSpawnsRunInTheTickThatReachesTheirTime) {
    m_dir.WriteFile("timed.evt", TimedEvents({{4321, 0, 0.5f}}));
    HANDLE file = CreateFileA(m_dir.EnginePath("timed.evt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING);
    ASSERT_EQ(g_eventManager.Load(file, 0), 0);
    CloseHandle(file);
    TickAfter(400);
    EXPECT_EQ(vgFindEntity(4321), nullptr);
    TickAfter(100);
    EXPECT_EQ(PerformAICalls(), std::vector<DWORD>{4321}) << m_log.Text();
}

TEST_F(PhysicsTest, TickAllocatesNothing) {
    for (int i = 0; i < 50; ++i) {
        Created(Created(nullptr, 0), 0);
    }
    vgGamePhysicsTick();
    const DWORD peak = CMemory::GetMaxMemoryUsed();
    const DWORD total = CMemory::GetTotalMemoryAllocated();
    TickAfter(16);
    EXPECT_EQ((std::vector{CMemory::GetTotalMemoryAllocated(), CMemory::GetMaxMemoryUsed()}),
              (std::vector{total, peak}));
}

} // namespace
