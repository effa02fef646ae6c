#include "event_fixture.h"

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A proximity trigger whose run-time fields already hold what Load gives them, so that its
// bytes survive a load and a save unchanged.
TriggerFields Proximity(float delay, Bytes createBlock = {}) {
    TriggerFields t;
    t.type = 1;
    t.entityId = 77;
    t.position = {1.5f, -2.0f, 3.25f};
    t.spawnOffset = {0.0f, 10.0f, 0.0f};
    t.reserved0 = 0xA1B2C3D4;
    t.useRadius = 1;
    t.modelIndex = 3;
    t.reserved1 = 0x0BADF00D;
    t.radius = 12.0f;
    t.delay = delay;
    t.fireTime = delay;
    t.createBlock = std::move(createBlock);
    return t;
}

TriggerFields Timed(float delay) {
    TriggerFields t = Proximity(delay);
    t.type = 0;
    return t;
}

Bytes Sixteen() {
    Bytes block(16);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0xF0 + i);
    }
    return block;
}

using EventSectionTest = EventTest;

TEST_F(EventSectionTest, EmptySectionLoadsAsEmptyTableAndSavesAsTwelveBytes) {
    ASSERT_EQ(LoadSection(SectionBuilder().Group(4, {Proximity(1.0f)}).End().Bytes()), 0);
    ASSERT_EQ(LoadSection(SectionBuilder().End().Bytes()), 0);
    EXPECT_EQ(TotalQuadrantTriggers(), 0u);
    EXPECT_EQ(SaveSection(), (Bytes{0x56, 0x56, 0x54, 0x1A, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST_F(EventSectionTest, TriggerImagesAndCreateBlocksSaveAsTheyWereRead) {
    Bytes section = SectionBuilder()
                        .Group(5, {Proximity(2.0f, Sixteen()), Proximity(0.5f)})
                        .Group(40, {Proximity(0.0f)})
                        .End()
                        .Bytes();
    ASSERT_EQ(LoadSection(section), 0);
    Bytes saved = SaveSection();
    EXPECT_EQ(saved, section);
    // Id, helper, 80 + 16 for the first trigger, 80 for the second, then the next group.
    EXPECT_EQ(saved.size(), 4u + 8u + 96u + 80u + 8u + 80u + 8u);

    std::vector<tagGAME_TRIGGER> five = TriggersOf(5);
    ASSERT_EQ(five.size(), 2u);
    EXPECT_EQ(five[0].dwEntityId, 77u);
    EXPECT_EQ(five[0].vSpawnOffset.y, 10.0f);
    EXPECT_EQ(five[0].dwReserved1, 0x0BADF00Du);
    ASSERT_EQ(five[0].dwCreateBlockSize, 16u);
    EXPECT_EQ(std::memcmp(five[0].pCreateBlock, Sixteen().data(), 16), 0);
    EXPECT_EQ(five[1].pCreateBlock, nullptr);
}

TEST_F(EventSectionTest, LoadResetsTheRunTimeFieldsAndIgnoresThePointerBytes) {
    TriggerFields stale = Proximity(2.5f);
    stale.pending = 1;
    stale.expired = 1;
    stale.fireTime = 99.0f;
    stale.pointerField = 0xCAFEBABE;
    ASSERT_EQ(LoadSection(SectionBuilder().Group(8, {stale}).End().Bytes()), 0);

    std::vector<tagGAME_TRIGGER> loaded = TriggersOf(8);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].bPending, 0);
    EXPECT_EQ(loaded[0].fFireTime, 2.5f);
    EXPECT_EQ(loaded[0].bExpired, 1) << "bExpired keeps the value read";
    EXPECT_EQ(loaded[0].pCreateBlock, nullptr);

    TriggerFields expected = stale;
    expected.pending = 0;
    expected.fireTime = 2.5f;
    expected.pointerField = 0;
    EXPECT_EQ(SaveSection(), SectionBuilder().Group(8, {expected}).End().Bytes());
}

TEST_F(EventSectionTest, TypeZeroTriggersLeaveTheQuadrantsUnlessKeptThere) {
    Bytes section = SectionBuilder().Group(7, {Timed(5.0f), Proximity(1.0f)}).End().Bytes();

    ASSERT_EQ(LoadSection(section, 0), 0);
    std::vector<tagGAME_TRIGGER> seven = TriggersOf(7);
    ASSERT_EQ(seven.size(), 1u);
    EXPECT_EQ(seven[0].dwType, 1u);
    EXPECT_EQ(SaveSection(),
              SectionBuilder().Group(7, {Proximity(1.0f)}).Group(0, {Timed(5.0f)}).End().Bytes())
        << "timed triggers follow the quadrant groups";

    ASSERT_EQ(LoadSection(section, 1), 0);
    EXPECT_EQ(TriggersOf(7).size(), 2u);
    EXPECT_EQ(SaveSection(), section);
}

TEST_F(EventSectionTest, GroupsComeInAnyOrderAndRepeatedQuadrantsAppend) {
    TriggerFields a = Proximity(1.0f);
    TriggerFields b = Proximity(2.0f);
    TriggerFields c = Proximity(3.0f);
    ASSERT_EQ(LoadSection(SectionBuilder().Group(9, {a}).Group(2, {b}).Group(9, {c}).End().Bytes()),
              0);
    EXPECT_EQ(SaveSection(), SectionBuilder().Group(2, {b}).Group(9, {a, c}).End().Bytes());
}

TEST_F(EventSectionTest, WrongFileIdLeavesTheTableAsItWas) {
    ASSERT_EQ(LoadSection(SectionBuilder().Group(3, {Proximity(1.0f, Sixteen())}).End().Bytes()),
              0);
    Bytes before = SaveSection();
    ASSERT_EQ(g_eventManager.StartLevel(), 0);
    m_capture.Clear();

    EXPECT_EQ(LoadSection(SectionBuilder(0x1A545657).End().Bytes()), kEventLoadWrongFileId);
    EXPECT_EQ(m_capture.Lines(), std::vector<std::string>{"CVelEvent::Load() Invalid file id!\n"});
    EXPECT_EQ(SaveSection(), before);
    EXPECT_EQ(g_eventManager.StartLevel(), -1) << "the level is still started";
}

TEST_F(EventSectionTest, QuadrantIndex64FailsAfterTheTableWasReset) {
    ASSERT_EQ(LoadSection(SectionBuilder().Group(20, {Proximity(1.0f)}).End().Bytes()), 0);
    ASSERT_EQ(g_eventManager.StartLevel(), 0);
    m_capture.Clear();

    Bytes section =
        SectionBuilder().Group(3, {Proximity(4.0f)}).Group(64, {Proximity(5.0f)}).End().Bytes();
    EXPECT_EQ(LoadSection(section), kEventLoadQuadrantOutOfRange);
    EXPECT_TRUE(m_capture.Contains("CVelEvent::Load() Invalid quadrant index from helper (64)\n"));
    EXPECT_EQ(Quadrant(20).GetCount(), 0u) << "the earlier table is gone";
    EXPECT_EQ(Quadrant(3).GetCount(), 1u) << "what was read before the failure stays";
    EXPECT_EQ(g_eventManager.StartLevel(), 0) << "the reset ended the level";
}

// Each failure of a section read: its code, its exact message, and what stays loaded.
struct LoadFailure {
    const char* name;
    Bytes section;
    int code;
    std::string messageStart; // the message up to the last error value
    DWORD triggersLeft;
};

TEST_F(EventSectionTest, EachReadFailureHasItsCodeAndMessage) {
    Bytes unterminated = SectionBuilder().Group(6, {Proximity(1.0f)}).Bytes();
    Bytes oneOfTwo = SectionBuilder().Helper(6, 2).Trigger(Proximity(1.0f)).Bytes();
    Bytes cutRecord = SectionBuilder().Helper(6, 1).Raw(Bytes(79, 0)).Bytes();
    Bytes cutBlock = SectionBuilder().Group(6, {Proximity(1.0f, Sixteen())}).Bytes();
    cutBlock.resize(cutBlock.size() - 1);

    const std::vector<LoadFailure> failures = {
        {"empty file",
         {},
         kEventLoadFileIdNotRead,
         "CVelEvent::Load() Error reading file id. LastError=",
         0},
        {"short file id",
         {0x56, 0x56, 0x54},
         kEventLoadFileIdNotRead,
         "CVelEvent::Load() Error reading file id. LastError=",
         0},
        {"no terminator", unterminated, kEventLoadHelperNotRead,
         "CVelEvent::Load() Failed to read quad helper. Last Error=", 1},
        {"half a helper", SectionBuilder().Raw({6, 0, 0, 0}).Bytes(), kEventLoadHelperNotRead,
         "CVelEvent::Load() Failed to read quad helper. Last Error=", 0},
        {"count beyond the file", oneOfTwo, kEventLoadTriggerNotRead,
         "CVelEvent::Load() Failed to read a trigger. Last Error=", 1},
        {"record cut short", cutRecord, kEventLoadTriggerNotRead,
         "CVelEvent::Load() Failed to read a trigger. Last Error=", 0},
        {"create block cut short", cutBlock, kEventLoadCreateBlockNotRead,
         "CVelEvent::Load() Error reading create block. Last Error=", 0},
    };
    for (const LoadFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        m_capture.Clear();
        EXPECT_EQ(LoadSection(failure.section), failure.code);
        EXPECT_EQ(m_capture.Lines(), std::vector<std::string>{WithLastError(failure.messageStart)});
        EXPECT_EQ(TotalQuadrantTriggers(), failure.triggersLeft);
    }
}

TEST_F(EventSectionTest, CreateBlockLargerThanTheFileFailsBeforeAllocating) {
    Bytes section = SectionBuilder().Helper(6, 1).Trigger(Proximity(1.0f)).Bytes();
    // Patch the create block size to claim almost 4 GiB.
    const std::size_t sizeOffset = 4 + 8 + 72;
    for (std::size_t i = 0; i < 4; ++i) {
        section[sizeOffset + i] = 0xFF;
    }
    CMemory::FailAllocationAfter(1); // any allocation would now fail with -6
    EXPECT_EQ(LoadSection(section), kEventLoadCreateBlockNotRead);
    EXPECT_EQ(m_capture.Lines().back(),
              WithLastError("CVelEvent::Load() Error reading create block. Last Error="));
    EXPECT_EQ(TotalQuadrantTriggers(), 0u);
}

TEST_F(EventSectionTest, AllocationFailuresReleaseWhatWasTaken) {
    Bytes withBlock = SectionBuilder().Group(6, {Proximity(1.0f, Sixteen())}).End().Bytes();
    Bytes plain = SectionBuilder().Group(6, {Proximity(1.0f)}).End().Bytes();
    Bytes timed = SectionBuilder().Group(6, {Timed(1.0f)}).End().Bytes();

    CMemory::FailAllocationAfter(1); // the create block
    EXPECT_EQ(LoadSection(withBlock), kEventLoadNoMemory);
    EXPECT_EQ(m_capture.Lines().back().rfind(
                  "CVelEvent::Load() Error allocating memory for create block. Last Error=", 0),
              0u);

    CMemory::FailAllocationAfter(2); // the block succeeds, the list's pool block fails
    EXPECT_EQ(LoadSection(withBlock), kEventLoadListRefused);
    EXPECT_EQ(m_capture.Lines().back(),
              "CVelEvent::Load() Error appending trigger to quadrant list!\n");

    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(LoadSection(plain), kEventLoadListRefused);

    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(LoadSection(timed), kEventLoadListRefused);
    EXPECT_EQ(m_capture.Lines().back(), "CVelEvent::Load() Error appending abs trigger!\n");
    EXPECT_EQ(TotalQuadrantTriggers(), 0u);
    // The fixture's tear-down checks that no create block was left behind.
}

TEST_F(EventSectionTest, SaveReportsAnUnwritableFileAndATriggerThatLostItsCreateBlock) {
    m_dir.WriteFile("ro.evt", {});
    HANDLE readOnly = OpenForReading("ro.evt");
    EXPECT_EQ(g_eventManager.Save(readOnly), kEventSaveFileId);
    CloseHandle(readOnly);
    EXPECT_EQ(m_capture.Lines().back(),
              WithLastError("CVelEvent::Save() Error writing file id. LastError="));

    // A trigger that lost its create block is refused.
    ASSERT_EQ(LoadSection(SectionBuilder().Group(6, {Proximity(1.0f, Sixteen())}).End().Bytes()),
              0);
    tagGAME_TRIGGER& trigger = *Quadrant(6).GetHead();
    CMemory::Deallocate(trigger.pCreateBlock);
    trigger.pCreateBlock = nullptr;

    HANDLE file = CreateFileA(m_dir.EnginePath("out.evt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(g_eventManager.Save(file), kEventSaveCreateBlock);
    CloseHandle(file);
    EXPECT_EQ(m_capture.Lines().back(),
              WithLastError("CVelEvent::Save() Error writing create block. Last Error="));
}

} // namespace
