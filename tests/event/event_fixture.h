#pragma once

#include "../entity/entity_fixture.h"

#include "engine/globals.h"
#include "engine/lifecycle.h"
#include "engine/registry.h"
#include "engine/world.h"
#include "event/event_manager.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A trigger as a test describes it, in the field order of the 80-byte record.
struct TriggerFields {
    std::uint32_t type = 0;
    std::uint32_t entityId = 0;
    std::array<float, 3> position = {};
    std::array<float, 3> spawnOffset = {};
    std::uint32_t reserved0 = 0;
    std::uint32_t repeat = 0;
    std::uint32_t pending = 0;
    std::uint32_t useRadius = 0;
    std::uint32_t expired = 0;
    std::uint32_t modelIndex = 0;
    std::uint32_t reserved1 = 0;
    float radius = 0.0f;
    float delay = 0.0f;
    float fireTime = 0.0f;
    std::vector<std::uint8_t> createBlock; // its length is the record's create block size
    std::uint32_t pointerField = 0;        // the file's 4 bytes in the pointer's place
};

// Builds an event section byte by byte: the file id, quadrant groups, the terminator.
class SectionBuilder {
public:
    explicit SectionBuilder(std::uint32_t fileId = 0x1A545656) { m_bytes.U32(fileId); }

    SectionBuilder& Group(std::uint32_t quadrant, const std::vector<TriggerFields>& triggers) {
        Helper(quadrant, static_cast<std::uint32_t>(triggers.size()));
        for (const TriggerFields& trigger : triggers) {
            Trigger(trigger);
        }
        return *this;
    }
    SectionBuilder& Helper(std::uint32_t quadrant, std::uint32_t count) {
        m_bytes.U32(quadrant).U32(count);
        return *this;
    }
    SectionBuilder& Trigger(const TriggerFields& t) {
        m_bytes.U32(t.type).U32(t.entityId);
        for (float v : t.position) {
            m_bytes.F32(v);
        }
        for (float v : t.spawnOffset) {
            m_bytes.F32(v);
        }
        m_bytes.U32(t.reserved0).U32(t.repeat).U32(t.pending).U32(t.useRadius).U32(t.expired);
        m_bytes.U32(t.modelIndex).U32(t.reserved1).F32(t.radius).F32(t.delay).F32(t.fireTime);
        m_bytes.U32(static_cast<std::uint32_t>(t.createBlock.size())).U32(t.pointerField);
        m_bytes.Raw(t.createBlock);
        return *this;
    }
    SectionBuilder& End() { return Helper(0xFFFFFFFF, 0); }
    SectionBuilder& Raw(const std::vector<std::uint8_t>& bytes) {
        m_bytes.Raw(bytes);
        return *this;
    }

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes.Bytes(); }

private:
    testkit::ByteBuilder m_bytes;
};

// Every event test starts from a reset engine with a 256-unit world, so the origin lies in
// quadrant 42, and ends with the reset, checking that no trigger memory is left behind.
class EventTest : public EntityTest {
protected:
    static constexpr DWORD kOriginQuadrant = 42;

    void SetUp() override {
        EntityTest::SetUp();
        vgInitialiseWorldSize(256.0f);
    }

    HANDLE OpenForReading(const std::string& name) {
        return CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           OPEN_EXISTING);
    }

    int LoadSection(const std::vector<std::uint8_t>& bytes, int keepAllInQuadrants = 0) {
        m_dir.WriteFile("in.evt", bytes);
        HANDLE file = OpenForReading("in.evt");
        int result = g_eventManager.Load(file, keepAllInQuadrants);
        CloseHandle(file);
        return result;
    }

    // The engine manager's table as saved; the save must succeed.
    std::vector<std::uint8_t> SaveSection() {
        HANDLE file = CreateFileA(m_dir.EnginePath("out.evt").c_str(), GENERIC_READ | GENERIC_WRITE,
                                  0, CREATE_ALWAYS);
        EXPECT_EQ(g_eventManager.Save(file), 0);
        CloseHandle(file);
        return m_dir.ReadFile("out.evt");
    }

    static CLinkedList<tagGAME_TRIGGER>& Quadrant(DWORD quadrant) {
        return *g_eventManager.GetTriggerList(quadrant);
    }

    static std::vector<tagGAME_TRIGGER> TriggersOf(DWORD quadrant) {
        std::vector<tagGAME_TRIGGER> triggers;
        CLinkedList<tagGAME_TRIGGER>& list = Quadrant(quadrant);
        for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
            triggers.push_back(list.GetNext(position));
        }
        return triggers;
    }

    static DWORD TotalQuadrantTriggers() {
        DWORD total = 0;
        for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
            total += Quadrant(quadrant).GetCount();
        }
        return total;
    }

    // The physics clock moves forward to the given total (it starts at 0 after the reset).
    static void SetPhysicsTime(DWORD milliseconds) { AdvanceClock(PhysicsClock(), milliseconds); }

    // The full debug line for a message that ends with the current last error.
    static std::string WithLastError(const std::string& text) {
        return text + std::to_string(static_cast<int>(GetLastError())) + "\n";
    }
};
