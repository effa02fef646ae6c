#include "scene/light.h"

#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/record_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

class LightTest : public ::testing::Test {
protected:
    std::size_t SetLightCalls() { return m_host.Log().Count("Light::SetLight"); }

    testkit::DeviceHost m_host;
    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
};

TEST_F(LightTest, EachFormSetsItsTypeAndNormalisesItsDirectionButOrientationIsNot) {
    CLight light;
    D3DVECTOR direction(0, 0, 2);
    light.SetDirectionalLight(direction, 0.5f, 0.25f, 1.0f);
    const D3DLIGHT2& d = *light.GetLightInfo();
    EXPECT_EQ(d.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(d.dvDirection.z, 1.0f);
    EXPECT_EQ(d.dcvColor.r, 0.5f);
    light.SetOrientation(direction);
    EXPECT_EQ(light.GetOrientation().z, 2.0f);

    // Each form sets its type and attenuation.
    D3DVECTOR position(1, 2, 3);
    D3DVECTOR spotDirection(3, 0, 4);
    light.SetSpotLight(position, spotDirection, 0.5f, 0.75f, 0.125f, 1, 1, 1);
    EXPECT_EQ(d.dltType, D3DLIGHT_SPOT);
    EXPECT_FLOAT_EQ(d.dvDirection.x, 0.6f);
    EXPECT_FLOAT_EQ(d.dvDirection.z, 0.8f);
    EXPECT_EQ(d.dvAttenuation1, 0.125f);
    EXPECT_EQ(d.dvTheta, 0.5f);
    EXPECT_EQ(d.dvPhi, 0.75f);
    light.SetParallelPointLight(position, 1, 1, 1);
    EXPECT_EQ(d.dltType, D3DLIGHT_PARALLELPOINT);
    // The flag setters clear their flags in turn; the initial flags are pinned by the record.
    light.EnableSpecularHighlights(1);
    light.Enable(0);
    EXPECT_EQ(d.dwFlags, 0u);
    light.Enable(1);
    light.EnableSpecularHighlights(0);
    EXPECT_EQ(d.dwFlags, 3u);
}

TEST_F(LightTest, ChangesReachTheDeviceOnceAtTheNextSetAsCurrent) {
    CLight light;
    ASSERT_EQ(light.Create(), 1);
    light.SetAsCurrent();
    EXPECT_EQ(SetLightCalls(), 1u);
    light.SetAsCurrent();
    EXPECT_EQ(SetLightCalls(), 1u) << "nothing changed";
    D3DVECTOR position(0, 5, 0);
    light.SetColour(1, 0, 0);
    light.SetPosition(position);
    light.SetAsCurrent();
    EXPECT_EQ(SetLightCalls(), 2u) << "two setters, one call";

    // A failed set is reported and not retried until the next change.
    m_host.Log().FailCall("Light::SetLight", DDERR_GENERIC, 1);
    light.SetColour(0, 1, 0);
    light.SetAsCurrent();
    EXPECT_TRUE(m_capture.Contains("CLight::Set() Failed to set light! Error=80004005"));
    light.SetAsCurrent();
    EXPECT_EQ(SetLightCalls(), 3u);
}

TEST_F(LightTest, SceneCallsNeedALightObjectAndAFailedCreateIsReported) {
    CLight light;
    EXPECT_EQ(light.AddToScene(m_host.Viewport()), 0);
    EXPECT_TRUE(m_capture.Contains("CLight::AddToScene() Light has not been created!"));
    EXPECT_EQ(light.DeleteFromScene(m_host.Viewport()), 0);
    EXPECT_TRUE(m_capture.Contains("CLight::DeleteFromScene() Light has not been created!"));
    EXPECT_TRUE(m_host.Log().Calls().empty()) << "no device call";
    light.SetAsCurrent();
    EXPECT_TRUE(m_capture.Contains("CLight::Set() NULL light interface!!"));
    m_host.Log().FailCall("Direct3D::CreateLight", DDERR_OUTOFMEMORY, 1);
    EXPECT_EQ(light.Create(), 0);
    EXPECT_TRUE(m_capture.Contains("CLight::Create() Failed to create light! Error=8007000E"));
    EXPECT_EQ(light.AddToScene(m_host.Viewport()), 0);
}

TEST_F(LightTest, AddToSceneAppliesTheDescriptionThenAddsTheLight) {
    CLight light;
    ASSERT_EQ(light.Create(), 1);
    D3DVECTOR down(0, -1, 0);
    light.SetDirectionalLight(down, 1, 1, 1);
    m_host.Log().ClearCalls();
    EXPECT_EQ(light.AddToScene(m_host.Viewport()), 1);
    EXPECT_EQ(m_host.Log().Names(),
              (std::vector<std::string>{"Light::SetLight", "Viewport::AddLight"}));
    ASSERT_EQ(m_host.Viewport()->Lights().size(), 1u);
    EXPECT_EQ(m_host.Viewport()->Lights()[0]->Description().dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.DeleteFromScene(m_host.Viewport()), 1);
    EXPECT_TRUE(m_host.Viewport()->Lights().empty());

    m_host.Log().FailCall("Viewport::AddLight", DDERR_INVALIDPARAMS, 1);
    EXPECT_EQ(light.AddToScene(m_host.Viewport()), 0);
    EXPECT_TRUE(m_capture.Contains("CLight::AddToScene() Failed to add light! Error=80070057"));
}

TEST_F(LightTest, RecordIsTheIdAndTheRawDescription) {
    CLight light;
    D3DVECTOR position(1, 2, 3);
    light.SetPointLight(position, 0.5f, 0.5f, 0.5f);
    testkit::ByteBuilder expected;
    expected.U32(0x1A54474C).U32(80).U32(1);                    // id, size, point light
    expected.F32(0.5f).F32(0.5f).F32(0.5f).F32(1.0f);           // colour
    expected.F32(1).F32(2).F32(3).Fill(0, 12);                  // position, direction
    expected.F32(std::sqrt(std::numeric_limits<float>::max())); // range
    expected.F32(1.0f).F32(0).F32(1).F32(0).F32(0).F32(0);      // falloff, attenuation, theta, phi
    expected.U32(3);                                            // flags
    EXPECT_EQ(testkit::SavedRecord(m_dir, light), expected.Bytes());
}

TEST_F(LightTest, LoadTakesTheDescriptionAndBadRecordsLeaveTheFreshOne) {
    CLight light;
    D3DVECTOR position(9, 9, 9);
    light.SetPointLight(position, 1, 1, 1);
    const std::pair<std::vector<std::uint8_t>, const char*> bad[] = {
        {testkit::ByteBuilder().U32(0x1A54474D).Fill(0, 80).Bytes(),
         "CLight::Load() Failed to verify Light id!"},
        {testkit::ByteBuilder().U32(0x1A54474C).U32(80).U32(2).Bytes(),
         "CLight::Load() Failed to read Light data!"},
        {{0x4C, 0x47}, "CLight::Load() Failed to read Light id!"}};
    for (const auto& [bytes, message] : bad) {
        EXPECT_EQ(testkit::LoadRecord(m_dir, light, bytes), 0);
        EXPECT_TRUE(m_capture.Contains(message)) << message;
        // Nothing half-read: the fresh description.
        EXPECT_EQ(light.GetLightInfo()->dwFlags, 3u);
        EXPECT_EQ(static_cast<DWORD>(light.GetLightInfo()->dltType), 0u);
    }
    std::vector<std::uint8_t> record =
        testkit::ByteBuilder().U32(0x1A54474C).U32(80).U32(3).Fill(0, 68).U32(1).Bytes();
    ASSERT_EQ(testkit::LoadRecord(m_dir, light, record), 1);
    EXPECT_EQ(light.GetLightInfo()->dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.GetLightInfo()->dwFlags, 1u);
    m_host.Log().ClearCalls();
    EXPECT_EQ(light.AddToScene(m_host.Viewport()), 1);
    EXPECT_EQ(m_host.Log().Count("Light::SetLight"), 1u) << "the loaded description is dirty";
}

} // namespace
