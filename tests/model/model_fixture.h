#pragma once

#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "support/memory.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/math_expect.h"
#include "testkit/scratch_dir.h"
#include "vmm_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A frame with its protected operations opened for frame-level tests. Never handed to a
// model, which destroys its frames as C3DModelFrame.
class TestFrame : public C3DModelFrame {
public:
    using C3DModelFrame::FlagBoundingBoxValid;
    using C3DModelFrame::FlagHasChildren;
    using C3DModelFrame::InterpolateAnimation;
    using C3DModelFrame::ResetAnimationFlag;
};

// Fills a frame with a mesh; every vertex forms triangles in order when no indices are given.
inline void SetMesh(C3DModelFrame& frame, const std::string& name,
                    const std::vector<vmm_bytes::Vertex>& vertices,
                    std::vector<DWORD> indices = {}) {
    std::vector<D3DVERTEX> converted;
    for (const vmm_bytes::Vertex& v : vertices) {
        converted.push_back(D3DVERTEX{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]});
    }
    if (indices.empty()) {
        for (DWORD i = 0; i + 2 < converted.size(); i += 3) {
            indices.insert(indices.end(), {i, i + 1, i + 2});
        }
    }
    frame.SetName(name.c_str());
    ASSERT_EQ(frame.SetVertices(converted.data(), static_cast<DWORD>(converted.size())), 1);
    ASSERT_EQ(frame.SetFaces(indices.data(), static_cast<DWORD>(indices.size() / 3)), 1);
}

// Box keys for keyframes start..final at the times a model's box pass uses.
inline std::vector<DBOX_KEYFRAME> BoxKeysFor(DWORD start, DWORD final) {
    std::vector<DBOX_KEYFRAME> keys(final - start + 1);
    float span = final == start ? 1.0f : static_cast<float>(final - start);
    for (DWORD i = 0; i < keys.size(); ++i) {
        keys[i] = DBOX_KEYFRAME{};
        keys[i].dwKeyframe = start + i;
        keys[i].fTime = static_cast<float>(i) / span;
    }
    return keys;
}

inline void ExpectVector(const D3DVECTOR& v, float x, float y, float z, float tolerance = 1e-5f) {
    testkit::ExpectVectorNear(v, {x, y, z}, tolerance);
}

// Every model test runs with a recording device (materials create device objects) and checks
// that the memory accountant ends where it started.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { m_baseline = CMemory::GetTotalMemoryAllocated(); }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        m_model.Reset();
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }

    std::string Path(const std::string& name) const { return m_dir.EnginePath(name); }
    int Load(const testkit::ByteBuilder& bytes, const std::string& name = "model.vmm") {
        m_dir.WriteFile(name, bytes.Bytes());
        return m_model.LoadModel(Path(name).c_str());
    }
    // A mesh frame made by NewAccounted, for a model to own.
    static C3DModelFrame* NewFrame(const std::string& name,
                                   const std::vector<vmm_bytes::Vertex>& vertices) {
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        SetMesh(*frame, name, vertices);
        return frame;
    }

    testkit::DeviceHost m_host;
    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
    C3DModel m_model;
    DWORD m_baseline = 0;
};
