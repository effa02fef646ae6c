#include "scene/camera.h"

#include "engine/engine.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/math_expect.h"
#include "testkit/record_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr float kTurn = 6.2831855f;

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
        return testkit::SavedRecord(m_dir, camera);
    }
    int Load(CCamera& camera, const std::vector<std::uint8_t>& bytes) {
        return testkit::LoadRecord(m_dir, camera, bytes);
    }
    static constexpr auto FloatAt = &testkit::FieldAt<float>;

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
    // Half a turn about the vertical axis through the target at the origin.
    ExpectNear(camera.GetPosition(), -10, 0, 0, 1e-4f);
    std::vector<std::uint8_t> record = Record(camera);
    EXPECT_NEAR(FloatAt(record, 336), kTurn / 2, 1e-6f);
    std::memcpy(record.data() + 336, &kTurn, 4);
    ASSERT_EQ(Load(camera, record), 1);
    SetFrameTime(0.0f);
    Update(camera);
    EXPECT_EQ(FloatAt(Record(camera), 336), kTurn);
    SetFrameTime(0.15f);
    Update(camera);
    EXPECT_NEAR(FloatAt(Record(camera), 336), 0.15f * kTurn / 3.0f, 1e-6f);
}

TEST_F(CameraTest, TransitionsTakeOneSecondOfFramesAndThirdToThirdMovesInAStraightLine) {
    CCamera camera;
    D3DVECTOR base(1, 2, 3), offset(0, 4, -8), other(10, 0, 0);
    camera.SetFirstPerson(base);
    camera.SetThirdPerson(offset);
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

    camera.SetThirdPerson(other);
    EXPECT_EQ(camera.GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_THIRD_PERSON));
    SetFrameTime(0.5f);
    const float path[][3] = {{1, 6, -5}, {6, 4, -1}, {11, 2, 3}, {11, 2, 3}}; // start, half, goal
    for (const auto& p : path) {
        Update(camera);
        ExpectNear(camera.GetPosition(), p[0], p[1], p[2]);
    }
}

TEST_F(CameraTest, FollowsItsOwnerOrTracksItsTargetToBuildItsFrame) {
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

    // Without an owner the frame is built from the world's up vector.
    CBaseEntity* target = vgSpawnParentEntity();
    target->SetWorldPosition(D3DVECTOR(0, 0, 50));
    CCamera tracking;
    tracking.SetMode(CCamera::CAMERA_MODE_TRACK_TARGET);
    tracking.SetTargetEntity(target->m_dwID);
    Update(tracking);
    ExpectNear(tracking.GetTargetPosition(), 0, 0, 50);
    ExpectNear(tracking.GetUpVector(), 0, 1, 0);
    ExpectNear(tracking.GetRightVector(), 1, 0, 0);
    D3DVECTOR ahead(0, 0, 5);
    ExpectNear(tracking.WorldToView(&ahead), 0, 0, 5);

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
    EXPECT_EQ(camera.SetOwner(77) + camera.SetTargetEntity(78), 2);
    EXPECT_EQ(std::vector<DWORD>({camera.GetOwner(), camera.GetTarget()}),
              std::vector<DWORD>({77, 78}));
    camera.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    camera.SetMode(CCamera::CAMERA_MODE_TRACK_TARGET);
    Update(camera);
    for (const char* message :
         {"CCamera::SetOwner() Failed to find entity with id '77' (0000004D)",
          "CCamera::SetTargetEntity() Failed to find entity with id 78 (0000004E)",
          "CCamera::Update() Failed to find owner entity 77 (0000004D)",
          "CCamera::Update() Failed to find target entity 78 (0000004E)"}) {
        EXPECT_TRUE(m_capture.Contains(message)) << message;
    }
}

// On a 640 x 480 screen the side planes lean 45 degrees from the view direction sideways
// (normals (+-0.7071, 0, 0.7071)) and atan(320 / 240) up and down (normals (0, +-0.8, 0.6)).
// A sphere of radius 1 at depth 20 is therefore visible up to |x| = 21.41 and |y| = 16.25.
TEST_F(CameraTest, SphereVisibilityAtEveryPlaneAndTheFarPoints) {
    CCamera camera;
    D3DVECTOR eye(0, 0, 0), target(0, 0, 1);
    camera.SetFirstPerson(eye);
    camera.SetTargetPosition(target);
    Update(camera, 1.0f, 100.0f);
    const struct {
        D3DVECTOR centre;
        float radius;
        int visible;
    } cases[] = {
        {{0, 0, 102}, 2, 1}, // far + radius ahead
        {{0, 0, 102.01f}, 2, 0}, {{0, 0, -5}, 2, 0},      {{0, 0, -1.5f}, 2, 1},
        {{0, 16.2f, 20}, 1, 1},  {{0, 16.3f, 20}, 1, 0},  {{0, -16.2f, 20}, 1, 1},
        {{0, -16.3f, 20}, 1, 0}, {{21.3f, 0, 20}, 1, 1},  {{21.5f, 0, 20}, 1, 0},
        {{-21.3f, 0, 20}, 1, 1}, {{-21.5f, 0, 20}, 1, 0},
    };
    for (const auto& c : cases) {
        D3DVECTOR centre = c.centre;
        EXPECT_EQ(camera.IsBoundingSphereVisible(&centre, c.radius), c.visible)
            << "centre (" << centre.x << ", " << centre.y << ", " << centre.z << ")";
    }
    // The far points span the far region.
    Update(camera, 10.0f, 50.0f);
    D3DVECTOR points[4];
    camera.GetFarPoints(points);
    const float corners[4][2] = {{-30, 30}, {30, 30}, {-30, -30}, {30, -30}};
    for (int i = 0; i < 4; ++i) {
        ExpectNear(points[i], corners[i][0], corners[i][1], 40, 1e-4f);
    }
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
    ASSERT_EQ(Load(camera, bytes.Bytes()), 1);
    EXPECT_EQ(camera.GetFOV(), 0.5f);
    ExpectNear(camera.GetBasePosition(), 4, 5, 6, 0);
    EXPECT_EQ(
        std::vector<DWORD>({camera.GetMode(), camera.GetState(), camera.GetType(),
                            camera.GetTarget(), static_cast<DWORD>(camera.IsListener()),
                            camera.GetOwner(), static_cast<DWORD>(camera.IsPlayerAllowedToMove())}),
        std::vector<DWORD>({1, 2, 3, 11, 1, 12, 1}));
    // Saved again, the record is the same bytes, the reserved word written as 0.
    std::vector<std::uint8_t> saved = bytes.Bytes();
    std::fill_n(saved.begin() + 4, 4, 0);
    EXPECT_EQ(Record(camera), saved);
    camera.RestoreMode();
    EXPECT_EQ(camera.GetMode(), 3u);
    D3DVECTOR points[4];
    camera.GetFarPoints(points);
    ExpectNear(points[3], 9, 10, 11, 0);

    // A wrong id or a short record leaves the camera as it was.
    std::vector<std::uint8_t> wrongId = bytes.Bytes(), cut = bytes.Bytes();
    wrongId[0] = 'X';
    cut.resize(320);
    const std::pair<std::vector<std::uint8_t>, const char*> refused[] = {
        {wrongId, "CCamera::Load() Failed to verify camera id!"},
        {cut, "CCamera::Load() Failed to read camera data!"},
        {{0x43, 0x41}, "CCamera::Load() Failed to read camera id!"}};
    for (const auto& [record, message] : refused) {
        EXPECT_EQ(Load(camera, record), 0);
        EXPECT_TRUE(m_capture.Contains(message)) << message;
        EXPECT_EQ(camera.GetMode(), 3u);
    }
    camera.SetMode(5);
    camera.SaveMode();
    camera.SetMode(6);
    camera.RestoreMode();
    EXPECT_EQ(camera.GetMode(), 5u);
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
}

} // namespace
