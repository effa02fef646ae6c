#include "event_fixture.h"

#include <sys/resource.h>

#include <csignal>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A proximity trigger whose run-time fields already hold what Load gives them, so that its
// bytes survive a load and a save unchanged.
TriggerFields Proximity(float delay, Bytes createBlock = {}, std::uint32_t type = 1) {
    TriggerFields t;
    t.type = type;
    t.entityId = 77;
    t.position = {1.5f, -2.0f, 3.25f};
    t.spawnOffset = {0.0f, 10.0f, 0.0f};
    t.reserved0 = 0xA1B2C3D4;
    t.useRadius = 1;
    t.modelIndex = 3;
    t.reserved1 = 0x0BADF00D;
    t.radius = 12.0f;
    t.delay = t.fireTime = delay;
    t.createBlock = std::move(createBlock);
    return t;
}

TriggerFields Timed(float delay) {
    return Proximity(delay, {}, 0);
}

const Bytes kSixteen = {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
                        0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

using EventSectionTest = EventTest;

// Groups come in any order, a repeated quadrant appends, and the run-time fields are reset
// on load (bExpired keeps the value read, the pointer bytes are ignored). Timed triggers go
// to the absolute list unless they are kept in their quadrant; those still waiting are saved
// as one more group, under quadrant 0.
TEST_F(EventSectionTest, TriggerImagesAndCreateBlocksSaveAsTheyWereRead) {
    TriggerFields stale = Proximity(2.5f), reset = stale;
    stale.pending = stale.expired = reset.expired = 1;
    stale.fireTime = 99.0f;
    stale.pointerField = 0xCAFEBABE;
    Bytes section = SectionBuilder()
                        .Group(40, {Proximity(0.0f), Timed(5.0f)})
                        .Group(5, {Proximity(2.0f, kSixteen)})
                        .Group(40, {stale})
                        .End()
                        .Bytes();
    for (int keepAll : {0, 1}) {
        ASSERT_EQ(LoadSection(section, keepAll), 0);
        std::vector<TriggerFields> forty = {Proximity(0.0f), reset};
        if (keepAll) {
            forty.insert(forty.begin() + 1, Timed(5.0f));
        }
        SectionBuilder expected;
        expected.Group(5, {Proximity(2.0f, kSixteen)}).Group(40, forty);
        if (!keepAll) {
            expected.Group(0, {Timed(5.0f)}); // still waiting: saved after the quadrants
        }
        EXPECT_EQ(SaveSection(), expected.End().Bytes()) << keepAll;
    }
    ASSERT_EQ(LoadSection(SectionBuilder().End().Bytes()), 0);
    EXPECT_EQ(TotalQuadrantTriggers(), 0u) << "a load replaces the table";
    EXPECT_EQ(SaveSection(), (Bytes{0x56, 0x56, 0x54, 0x1A, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

// Each failure of a section read over an earlier table of one trigger: its code, its exact
// message, and what stays loaded (the earlier table only while no file id was taken). Failed
// allocations release what was taken (the fixture's tear-down checks no create block is left).
TEST_F(EventSectionTest, EachReadFailureHasItsCodeAndMessage) {
    Bytes cutBlock = SectionBuilder().Group(6, {Proximity(1.0f, kSixteen)}).Bytes();
    cutBlock.pop_back();
    // A create block size claiming almost 4 GiB fails before allocating anything.
    Bytes hugeBlock = SectionBuilder().Helper(6, 1).Trigger(Proximity(1.0f)).Bytes();
    std::memset(&hugeBlock[4 + 8 + 72], 0xFF, 4);
    const auto one = [](const TriggerFields& t) {
        return SectionBuilder().Group(6, {t}).End().Bytes();
    };
    const std::string appending = "Error appending trigger to quadrant list!\n";
    const struct {
        Bytes section;
        int code;
        std::string message; // one ending in "=" is followed by the last error value
        DWORD triggersLeft;
        DWORD failing = 0; // the create block is allocated before the list's pool block
    } failures[] = {
        {{}, kEventLoadFileIdNotRead, "Error reading file id. LastError=", 1},
        {{0x56, 0x56, 0x54}, kEventLoadFileIdNotRead, "Error reading file id. LastError=", 1},
        {SectionBuilder(0x1A545657).End().Bytes(), kEventLoadWrongFileId, "Invalid file id!\n", 1},
        {SectionBuilder().Group(3, {Proximity(4.0f)}).Group(64, {Proximity(5.0f)}).End().Bytes(),
         kEventLoadQuadrantOutOfRange, "Invalid quadrant index from helper (64)\n", 1},
        {SectionBuilder().Group(6, {Proximity(1.0f)}).Bytes(), kEventLoadHelperNotRead,
         "Failed to read quad helper. Last Error=", 1},
        {SectionBuilder().Raw({6, 0, 0, 0}).Bytes(), kEventLoadHelperNotRead,
         "Failed to read quad helper. Last Error=", 0},
        {SectionBuilder().Helper(6, 2).Trigger(Proximity(1.0f)).Bytes(), kEventLoadTriggerNotRead,
         "Failed to read a trigger. Last Error=", 1},
        {SectionBuilder().Helper(6, 1).Raw(Bytes(79, 0)).Bytes(), kEventLoadTriggerNotRead,
         "Failed to read a trigger. Last Error=", 0},
        {cutBlock, kEventLoadCreateBlockNotRead, "Error reading create block. Last Error=", 0},
        {hugeBlock, kEventLoadCreateBlockNotRead, "Error reading create block. Last Error=", 0, 1},
        {one(Proximity(1.0f, kSixteen)), kEventLoadNoMemory,
         "Error allocating memory for create block. Last Error=", 0, 1},
        {one(Proximity(1.0f, kSixteen)), kEventLoadListRefused, appending, 0, 2},
        {one(Proximity(1.0f)), kEventLoadListRefused, appending, 0, 1},
        {one(Timed(1.0f)), kEventLoadListRefused, "Error appending abs trigger!\n", 0, 1},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.message);
        ASSERT_EQ(LoadSection(SectionBuilder().Group(20, {Proximity(1.0f)}).End().Bytes()), 0);
        m_capture.Clear();
        CMemory::FailAllocationAfter(failure.failing);
        EXPECT_EQ(LoadSection(failure.section), failure.code);
        CMemory::FailAllocationAfter(0);
        const std::string message = "CVelEvent::Load() " + failure.message;
        EXPECT_EQ(m_capture.Lines(), std::vector<std::string>{
                                         message.back() == '=' ? WithLastError(message) : message});
        EXPECT_EQ(TotalQuadrantTriggers(), failure.triggersLeft);
    }
}

// Writes past limit bytes fail (EFBIG) while it lives, so a save stops at a chosen field.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int);
};

// One trigger with a create block: file id 4 bytes, quadrant helper 8, trigger 80, create
// block 16, terminator 8. Each case lets the file end just before one of them.
TEST_F(EventSectionTest, SaveFailuresGiveTheirCodesAndMessages) {
    ASSERT_EQ(LoadSection(SectionBuilder().Group(5, {Proximity(1.0f, kSixteen)}).End().Bytes()), 0);
    const struct {
        rlim_t limit;
        DWORD access;
        int code;
        const char* message;
    } cases[] = {
        {RLIM_INFINITY, GENERIC_READ, kEventSaveFileId, "Error writing file id. LastError="},
        {4, GENERIC_WRITE, kEventSaveHelper, "Failed to write quad helper. Last Error="},
        {12, GENERIC_WRITE, kEventSaveTrigger, "Failed to write a trigger. Last Error="},
        {92, GENERIC_WRITE, kEventSaveCreateBlock, "Error writing create block. Last Error="},
        {108, GENERIC_WRITE, kEventSaveTerminator,
         "Failed to write terminating quad helper. Last Error="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        int result = 0;
        {
            FileSizeLimit limit(c.limit);
            result = Save(c.access);
        }
        EXPECT_EQ(result, c.code);
        EXPECT_EQ(m_capture.Lines().back(),
                  WithLastError(std::string("CVelEvent::Save() ") + c.message));
    }
    // A trigger that lost its create block is refused.
    tagGAME_TRIGGER& trigger = *Quadrant(5).GetHead();
    CMemory::Deallocate(trigger.pCreateBlock);
    trigger.pCreateBlock = nullptr;
    EXPECT_EQ(Save(), kEventSaveCreateBlock);
    EXPECT_EQ(m_capture.Lines().back(),
              WithLastError("CVelEvent::Save() Error writing create block. Last Error="));
}

} // namespace
