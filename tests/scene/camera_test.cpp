#include "scene/camera.h"

#include "engine/engine.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "platform/os/file.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/math_expect.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr float kPi = 3.1415927f;

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLevel();
        m_previousGlobals = vgGetGlobals();
        m_globals.nScreenWidth = 640;
        m_globals.nScreenHeight = 480;
        vgSetGlobals(&m_globals);
        SetFrameTime(0.0f);
    }
    void TearDown() override {
        vgSetGlobals(m_previousGlobals);
        ResetLevel();
        vgSetActiveCamera(nullptr);
    }
    static void SetFrameTime(float seconds) { g_engine.gameState.fDeltaRenderTime = seconds; }
    void Update(CCamera& camera, float nearDistance = 1.0f, float farDistance = 100.0f) {
        camera.Update(m_view, nearDistance, farDistance);
    }

    // The camera's 340-byte record.
    std::vector<std::uint8_t> Record(CCamera& camera) {
        HANDLE file = CreateFileA(m_dir.EnginePath("camera.rec").c_str(),
                                  GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
        EXPECT_EQ(camera.Save(file), 1);
        CloseHandle(file);
        return m_dir.ReadFile("camera.rec");
    }
    int LoadRecord(CCamera& camera, const std::vector<std::uint8_t>& bytes) {
        m_dir.WriteFile("load.rec", bytes);
        HANDLE file = CreateFileA(m_dir.EnginePath("load.rec").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, OPEN_EXISTING);
        int result = camera.Load(file);
        CloseHandle(file);
        return result;
    }
    static constexpr auto FloatAt = &testkit::FieldAt<float>;
    static constexpr auto WordAt = &testkit::FieldAt<std::uint32_t>;
    static void PutFloat(std::vector<std::uint8_t>& bytes, std::size_t offset, float value) {
        std::memcpy(bytes.data() + offset, &value, 4);
    }

    GAME_GLOBALS m_globals{};
    GAME_GLOBALS* m_previousGlobals = nullptr;
    D3DMATRIX m_view{};
    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
};

void ExpectNear(const D3DVECTOR& v, float x, float y, float z, float tolerance = 1e-5f) {
    testkit::ExpectVectorNear(v, {x, y, z}, tolerance);
}

TEST_F(CameraTest, OrbitAdvancesOneTurnEveryThreeSecondsAndKeepsExactlyTwoPi) {
    CCamera camera;
    camera.SetState(CCamera::CAMERA_STATE_ORBIT);
    D3DVECTOR base(10, 0, 0);
    camera.SetFirstPerson(base);
    SetFrameTime(1.5f);
    Update(camera);
    EXPECT_NEAR(FloatAt(Record(camera), 336), kPi, 1e-6f);
    // Half a turn about the vertical axis through the target at the origin.
    ExpectNear(camera.GetPosition(), -10, 0, 0, 1e-4f);

    std::vector<std::uint8_t> record = Record(camera);
    PutFloat(record, 336, 6.2831855f);
    ASSERT_EQ(LoadRecord(camera, record), 1);
    SetFrameTime(0.0f);
    Update(camera);
    EXPECT_EQ(FloatAt(Record(camera), 336), 6.2831855f);
    SetFrameTime(0.15f);
    Update(camera);
    float expected = 6.2831855f + 0.15f * 6.2831855f / 3.0f - 6.2831855f;
    EXPECT_NEAR(FloatAt(Record(camera), 336), expected, 1e-6f);
}

TEST_F(CameraTest, FirstToThirdPersonTakesOneSecondOfFrames) {
    CCamera camera;
    D3DVECTOR base(1, 2, 3);
    D3DVECTOR offset(0, 4, -8);
    camera.SetFirstPerson(base);
    camera.SetThirdPerson(offset);
    EXPECT_EQ(camera.GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_TO_THIRD_PERSON));
    SetFrameTime(0.25f);
    for (int frame = 0; frame < 4; ++frame) {
        Update(camera);
        // The offset is applied by the progress reached before this frame.
        ExpectNear(camera.GetPosition(), 1, 2 + 4 * 0.25f * frame, 3 - 8 * 0.25f * frame);
        EXPECT_EQ(camera.GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_TO_THIRD_PERSON));
    }
    Update(camera);
    EXPECT_EQ(camera.GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_THIRD_PERSON));
    ExpectNear(camera.GetPosition(), 1, 6, -5);
}

TEST_F(CameraTest, ThirdToThirdPersonMovesInAStraightLine) {
    CCamera camera;
    D3DVECTOR base(0, 0, 0);
    D3DVECTOR first(0, 10, 0);
    D3DVECTOR second(10, 0, 0);
    camera.SetFirstPerson(base);
    camera.SetThirdPerson(first);
    SetFrameTime(2.0f);
    Update(camera);
    Update(camera);
    ExpectNear(camera.GetPosition(), 0, 10, 0);

    camera.SetThirdPerson(second);
    EXPECT_EQ(camera.GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_THIRD_PERSON));
    SetFrameTime(0.5f);
    Update(camera); // progress 0: still at the start
    ExpectNear(camera.GetPosition(), 0, 10, 0);
    Update(camera); // halfway
    ExpectNear(camera.GetPosition(), 5, 5, 0);
    Update(camera); // progress reached 1: the goal
    Update(camera);
    ExpectNear(camera.GetPosition(), 10, 0, 0);
}

TEST_F(CameraTest, FollowsItsOwnerAndTakesTheOwnersUpVector) {
    CBaseEntity* owner = vgSpawnParentEntity();
    owner->SetWorldPosition(D3DVECTOR(0, 0, -10));
    owner->m_Model.vCameraUp = D3DVECTOR(1, 0, 0);
    CCamera camera;
    camera.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    camera.SetOwner(owner->m_dwID);
    Update(camera);
    ExpectNear(camera.GetBasePosition(), 0, 0, -10);
    ExpectNear(camera.GetOrientation(), 0, 0, 1);
    ExpectNear(camera.GetUpVector(), 1, 0, 0);
    ExpectNear(camera.GetRightVector(), 0, -1, 0);

    // A detached camera ignores its owner, even a missing one.
    CCamera detached;
    detached.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    detached.SetMode(CCamera::CAMERA_MODE_DETACHED);
    detached.SetOwner(4242);
    m_capture.Clear();
    D3DVECTOR base(0, 0, -1);
    detached.SetFirstPerson(base);
    Update(detached);
    ExpectNear(detached.GetBasePosition(), 0, 0, -1);
    EXPECT_FALSE(m_capture.Contains("Failed to find owner"));
}

TEST_F(CameraTest, MissingEntitiesAreReportedAndTheIdsKept) {
    CCamera camera;
    EXPECT_EQ(camera.SetOwner(77), 1);
    EXPECT_EQ(camera.SetTargetEntity(78), 1);
    EXPECT_EQ(camera.GetOwner(), 77u);
    EXPECT_EQ(camera.GetTarget(), 78u);
    EXPECT_TRUE(
        m_capture.Contains("CCamera::SetOwner() Failed to find entity with id '77' (0000004D)"));
    EXPECT_TRUE(m_capture.Contains(
        "CCamera::SetTargetEntity() Failed to find entity with id 78 (0000004E)"));
    camera.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    camera.SetMode(CCamera::CAMERA_MODE_TRACK_TARGET);
    Update(camera);
    EXPECT_TRUE(m_capture.Contains("CCamera::Update() Failed to find owner entity 77 (0000004D)"));
    EXPECT_TRUE(m_capture.Contains("CCamera::Update() Failed to find target entity 78 (0000004E)"));
}

TEST_F(CameraTest, TrackedTargetIsLookedAt) {
    CBaseEntity* target = vgSpawnParentEntity();
    target->SetWorldPosition(D3DVECTOR(0, 0, 50));
    CCamera camera;
    camera.SetMode(CCamera::CAMERA_MODE_TRACK_TARGET);
    camera.SetTargetEntity(target->m_dwID);
    Update(camera);
    ExpectNear(camera.GetTargetPosition(), 0, 0, 50);
    ExpectNear(camera.GetOrientation(), 0, 0, 1);
    // Without an owner the frame is built from the world's up vector.
    ExpectNear(camera.GetUpVector(), 0, 1, 0);
    ExpectNear(camera.GetRightVector(), 1, 0, 0);
    D3DVECTOR ahead(0, 0, 5);
    ExpectNear(camera.WorldToView(&ahead), 0, 0, 5);
}

TEST_F(CameraTest, SphereVisibilityAtTheLimitsAndFarPoints) {
    CCamera camera;
    D3DVECTOR eye(0, 0, 0);
    D3DVECTOR target(0, 0, 1);
    camera.SetFirstPerson(eye);
    camera.SetTargetPosition(target);
    Update(camera, 1.0f, 100.0f);
    D3DVECTOR atFarLimit(0, 0, 102); // far + radius ahead
    EXPECT_EQ(camera.IsBoundingSphereVisible(&atFarLimit, 2.0f), 1);
    D3DVECTOR beyond(0, 0, 102.01f);
    EXPECT_EQ(camera.IsBoundingSphereVisible(&beyond, 2.0f), 0);
    D3DVECTOR behind(0, 0, -5);
    EXPECT_EQ(camera.IsBoundingSphereVisible(&behind, 2.0f), 0);
    D3DVECTOR touchingBehind(0, 0, -1.5f);
    EXPECT_EQ(camera.IsBoundingSphereVisible(&touchingBehind, 2.0f), 1);
    // Far to the side, outside the 90-degree horizontal field of view.
    D3DVECTOR aside(50, 0, 10);
    EXPECT_EQ(camera.IsBoundingSphereVisible(&aside, 1.0f), 0);

    // The far points span the far region.
    Update(camera, 10.0f, 50.0f);
    D3DVECTOR points[4];
    camera.GetFarPoints(points);
    ExpectNear(points[0], -30, 30, 40, 1e-4f);
    ExpectNear(points[1], 30, 30, 40, 1e-4f);
    ExpectNear(points[2], -30, -30, 40, 1e-4f);
    ExpectNear(points[3], 30, -30, 40, 1e-4f);
}

TEST_F(CameraTest, RecordHoldsIdThenTheFieldsInOrder) {
    CCamera camera;
    camera.SetMode(7);
    camera.SetState(CCamera::CAMERA_STATE_ORBIT);
    camera.SaveMode();
    D3DVECTOR target(1, 2, 3);
    camera.SetTargetPosition(target);
    camera.SetOwner(500);
    std::vector<std::uint8_t> record = Record(camera);
    ASSERT_EQ(record.size(), 340u);
    EXPECT_EQ(WordAt(record, 0), 0x1A4D4143u);
    EXPECT_EQ(FloatAt(record, 56), 90.0f * 3.1415927f / 180.0f); // the start field of view
    EXPECT_EQ(FloatAt(record, 188), 1.0f);                       // view direction (1, 1, 1)
    EXPECT_EQ(WordAt(record, 200), 7u);                          // saved mode
    EXPECT_EQ(FloatAt(record, 252 + 4), 2.0f);
    EXPECT_EQ(WordAt(record, 300), 7u);
    EXPECT_EQ(WordAt(record, 304), 2u);
    EXPECT_EQ(WordAt(record, 320), 500u);
}

TEST_F(CameraTest, LoadTakesEveryFieldFromARecordBuiltByteByByte) {
    testkit::ByteBuilder bytes;
    bytes.U32(0x1A4D4143).U32(0xDEADBEEF);
    for (int i = 0; i < 12; ++i) {
        bytes.F32(static_cast<float>(i)); // far points
    }
    bytes.F32(0.5f).F32(200.0f).F32(2.0f); // field of view, far, near
    bytes.Fill(0, 6 * 20);                 // four side planes, near and far plane
    bytes.F32(0).F32(0).F32(1);            // view direction
    bytes.U32(3);                          // saved mode
    bytes.F32(4).F32(5).F32(6);            // base position
    bytes.Fill(0, 7 * 12);                 // up ... transition delta
    bytes.U32(1).U32(2).U32(3).U32(11).U32(1).U32(12).U32(1).U32(0).F32(0.5f).F32(1.25f);
    ASSERT_EQ(bytes.Size(), 340u);
    CCamera camera;
    ASSERT_EQ(LoadRecord(camera, bytes.Bytes()), 1);
    EXPECT_EQ(camera.GetFOV(), 0.5f);
    ExpectNear(camera.GetBasePosition(), 4, 5, 6, 0);
    EXPECT_EQ(camera.GetMode(), 1u);
    EXPECT_EQ(camera.GetState(), 2u);
    EXPECT_EQ(camera.GetType(), 3u);
    EXPECT_EQ(camera.GetTarget(), 11u);
    EXPECT_EQ(camera.IsListener(), 1);
    EXPECT_EQ(camera.GetOwner(), 12u);
    EXPECT_EQ(camera.IsPlayerAllowedToMove(), 1);
    camera.RestoreMode();
    EXPECT_EQ(camera.GetMode(), 3u);
    D3DVECTOR points[4];
    camera.GetFarPoints(points);
    ExpectNear(points[3], 9, 10, 11, 0);
}

TEST_F(CameraTest, WrongIdOrShortRecordLeavesTheCameraUnchanged) {
    CCamera camera;
    camera.SetMode(9);
    std::vector<std::uint8_t> record = Record(camera);
    std::vector<std::uint8_t> wrongId = record;
    wrongId[0] = 'X';
    wrongId[300] = 1;
    EXPECT_EQ(LoadRecord(camera, wrongId), 0);
    EXPECT_TRUE(m_capture.Contains("CCamera::Load() Failed to verify camera id!"));
    EXPECT_EQ(camera.GetMode(), 9u);

    std::vector<std::uint8_t> cut = record;
    cut[300] = 1;
    cut.resize(320);
    EXPECT_EQ(LoadRecord(camera, cut), 0);
    EXPECT_TRUE(m_capture.Contains("CCamera::Load() Failed to read camera data!"));
    EXPECT_EQ(camera.GetMode(), 9u);

    EXPECT_EQ(LoadRecord(camera, {0x43, 0x41}), 0);
    EXPECT_TRUE(m_capture.Contains("CCamera::Load() Failed to read camera id!"));
}

TEST_F(CameraTest, DestroyingTheActiveCameraClearsIt) {
    {
        CCamera camera;
        vgSetActiveCamera(&camera);
    }
    EXPECT_EQ(vgGetActiveCamera(), nullptr);
    EXPECT_TRUE(
        m_capture.Contains("CCamera::~CCamera() Quellion engine has this camera as active!!!"));

    CCamera active;
    vgSetActiveCamera(&active);
    { CCamera other; }
    EXPECT_EQ(vgGetActiveCamera(), &active);
    vgSetActiveCamera(nullptr);
}

} // namespace
