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
    std::uint32_t type = 0, entityId = 0;
    std::array<float, 3> position = {}, spawnOffset = {};
    std::uint32_t reserved0 = 0, repeat = 0, pending = 0, useRadius = 0, expired = 0;
    std::uint32_t modelIndex = 0, reserved1 = 0;
    float radius = 0.0f, delay = 0.0f, fireTime = 0.0f;
    std::vector<std::uint8_t> createBlock; // its length is the record's create block size
    std::uint32_t pointerField = 0;        // the file's 4 bytes in the pointer's place
};

// Builds an event section byte by byte: the file id, quadrant groups, the terminator.
class SectionBuilder : public testkit::ByteBuilder {
public:
    explicit SectionBuilder(std::uint32_t fileId = 0x1A545656) { U32(fileId); }

    SectionBuilder& Group(std::uint32_t quadrant, const std::vector<TriggerFields>& triggers) {
        Helper(quadrant, static_cast<std::uint32_t>(triggers.size()));
        for (const TriggerFields& trigger : triggers) {
            Trigger(trigger);
        }
        return *this;
    }
    SectionBuilder& Helper(std::uint32_t quadrant, std::uint32_t count) {
        U32(quadrant).U32(count);
        return *this;
    }
    SectionBuilder& Trigger(const TriggerFields& t) {
        U32(t.type).U32(t.entityId);
        for (float v : {t.position[0], t.position[1], t.position[2], t.spawnOffset[0],
                        t.spawnOffset[1], t.spawnOffset[2]}) {
            F32(v);
        }
        U32(t.reserved0).U32(t.repeat).U32(t.pending).U32(t.useRadius).U32(t.expired);
        U32(t.modelIndex).U32(t.reserved1).F32(t.radius).F32(t.delay).F32(t.fireTime);
        U32(static_cast<std::uint32_t>(t.createBlock.size())).U32(t.pointerField);
        Raw(t.createBlock);
        return *this;
    }
    SectionBuilder& End() { return Helper(0xFFFFFFFF, 0); }
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

    int LoadSection(const std::vector<std::uint8_t>& bytes, int keepAllInQuadrants = 0) {
        m_dir.WriteFile("in.evt", bytes);
        HANDLE file = CreateFileA(m_dir.EnginePath("in.evt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  OPEN_EXISTING);
        int result = g_eventManager.Load(file, keepAllInQuadrants);
        CloseHandle(file);
        return result;
    }

    // Save's result for a fresh file opened with the given access; the bytes land in out.evt.
    int Save(DWORD access = GENERIC_READ | GENERIC_WRITE) {
        HANDLE file = CreateFileA(m_dir.EnginePath("out.evt").c_str(), access, 0, CREATE_ALWAYS);
        int result = g_eventManager.Save(file);
        CloseHandle(file);
        return result;
    }
    // The engine manager's table as saved; the save must succeed.
    std::vector<std::uint8_t> SaveSection() {
        EXPECT_EQ(Save(), 0);
        return m_dir.ReadFile("out.evt");
    }

    static CLinkedList<tagGAME_TRIGGER>& Quadrant(DWORD quadrant) {
        return *g_eventManager.GetTriggerList(quadrant);
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
