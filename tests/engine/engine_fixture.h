#pragma once

// A running engine on a recording device host, with a frozen clock, a scratch directory and
// the debug lines; the tear-down disables the engine and checks that its memory came back.

#include "engine/engine.h"
#include "engine/state.h"
#include "platform/os/clock.h"
#include "support/memory.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::FreezeClock();
        vgDisable();
        vgEnable();
        m_baseline = CMemory::GetTotalMemoryAllocated();
    }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        vgDisable();
        platform::ThawClock();
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }
    // Advances the frozen clock and runs one physics tick.
    static int TickAfter(DWORD milliseconds) {
        platform::AdvanceFrozenClock(LONGLONG{milliseconds} * 1'000'000);
        return vgGamePhysicsTick();
    }
    // The identifiers of the debug lines of one form (a test module's "module %s: Render %u"),
    // in order.
    std::vector<DWORD> IdsLogged(const std::string& format) const {
        std::vector<DWORD> ids;
        for (const std::string& line : m_log.Lines()) {
            DWORD id = 0;
            if (std::sscanf(line.c_str(), format.c_str(), &id) == 1) {
                ids.push_back(id);
            }
        }
        return ids;
    }

    testkit::DeviceHost m_host;
    testkit::DebugCapture m_log;
    testkit::ScratchDir m_dir;
    DWORD m_baseline = 0;
};
