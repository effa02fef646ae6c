#include "scene/camera.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "entity/entity.h"
#include "math/inline_ops.h"
#include "platform/os/last_error.h"
#include "support/field_codec.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
// Seconds for one turn of the orbit.
constexpr float kOrbitPeriod = 3.0f;
const D3DVECTOR kWorldUp(0.0f, 1.0f, 0.0f);

D3DVECTOR Unit(const D3DVECTOR& v) {
    return v / Magnitude(v);
}

// The record's numbers after its id and reserved word, in file order. One field list serves
// reading and writing.
template <class Data, class Visitor> void VisitCameraFields(Data& d, Visitor&& visit) {
    for (auto& point : d.vFarPoints) {
        visit(point);
    }
    visit(d.fFieldOfView);
    visit(d.fFarDistance);
    visit(d.fNearDistance);
    for (auto& plane : d.sidePlanes) {
        visit(plane);
    }
    visit(d.nearPlane);
    visit(d.farPlane);
    visit(d.vViewDirection);
    visit(d.dwSavedMode);
    visit(d.vBasePosition);
    visit(d.vUp);
    visit(d.vRight);
    visit(d.vPersonOffset);
    visit(d.vTargetPosition);
    visit(d.vPosition);
    visit(d.vTransitionStart);
    visit(d.vTransitionDelta);
    visit(d.dwMode);
    visit(d.dwState);
    visit(d.dwType);
    visit(d.dwTargetId);
    visit(d.bListener);
    visit(d.dwOwnerId);
    visit(d.bPlayerMayMove);
    visit(d.bTransitionActive);
    visit(d.fTransitionProgress);
    visit(d.fOrbitAngle);
}

CAMERA_DATA InitialCameraData() {
    CAMERA_DATA data{};
    data.fFieldOfView = 90.0f * 3.1415927f / 180.0f;
    data.vViewDirection = D3DVECTOR(1.0f, 1.0f, 1.0f);
    return data;
}

} // namespace

CCamera::CCamera() : m_data(InitialCameraData()) {}

CCamera::~CCamera() {
    if (vgGetActiveCamera() == this) {
        DebugLog("CCamera::~CCamera() Quellion engine has this camera as active!!!");
        vgSetActiveCamera(nullptr);
    }
}

void CCamera::GetFarPoints(D3DVECTOR* out) {
    for (int i = 0; i < 4; ++i) {
        out[i] = m_data.vFarPoints[i];
    }
}

D3DVECTOR CCamera::GetRightVector() {
    return m_data.vRight;
}

D3DVECTOR CCamera::GetUpVector() {
    return m_data.vUp;
}

D3DVECTOR CCamera::WorldToView(D3DVECTOR* point) {
    return PointFromWorldToView(point, &m_data.vPosition, &m_data.vViewDirection, &m_data.vUp,
                                &m_data.vRight);
}

float CCamera::GetFOV() {
    return m_data.fFieldOfView;
}

D3DVECTOR& CCamera::GetBasePosition() {
    return m_data.vBasePosition;
}

D3DVECTOR& CCamera::GetOrientation() {
    return m_data.vViewDirection;
}

D3DVECTOR& CCamera::GetTargetPosition() {
    return m_data.vTargetPosition;
}

D3DVECTOR& CCamera::GetPosition() {
    return m_data.vPosition;
}

void CCamera::SetPosition(D3DVECTOR& position) {
    m_data.vPosition = position;
    m_data.vBasePosition = position;
}

void CCamera::SetTargetPosition(D3DVECTOR& target) {
    m_data.vTargetPosition = target;
}

int CCamera::SetTargetEntity(DWORD id) {
    if (vgFindEntity(id) == nullptr) {
        DebugLog("CCamera::SetTargetEntity() Failed to find entity with id %u (%08X)", id, id);
    }
    m_data.dwTargetId = id;
    return 1;
}

int CCamera::SetOwner(DWORD id) {
    if (vgFindEntity(id) == nullptr) {
        DebugLog("CCamera::SetOwner() Failed to find entity with id '%u' (%08X)", id, id);
    }
    m_data.dwOwnerId = id;
    return 1;
}

int CCamera::SetFirstPerson(D3DVECTOR& position) {
    m_data.dwType = CAMERA_TYPE_FIRST_PERSON;
    m_data.vPosition = position;
    m_data.vBasePosition = position;
    m_data.vPersonOffset = D3DVECTOR(0.0f);
    m_data.bTransitionActive = FALSE;
    return 1;
}

int CCamera::SetThirdPerson(D3DVECTOR& offset) {
    if (m_data.dwType == CAMERA_TYPE_THIRD_PERSON || m_data.dwType == CAMERA_TYPE_TO_THIRD_PERSON) {
        m_data.bTransitionActive = TRUE;
        m_data.vTransitionStart = GetPosition();
        m_data.dwType = CAMERA_TYPE_THIRD_PERSON;
    } else {
        m_data.dwType = CAMERA_TYPE_TO_THIRD_PERSON;
        m_data.bTransitionActive = FALSE;
    }
    m_data.vPersonOffset = offset;
    m_data.fTransitionProgress = 0.0f;
    return 1;
}

void CCamera::SetMode(DWORD mode) {
    m_data.dwMode = mode;
}

void CCamera::SetState(DWORD state) {
    m_data.dwState = state;
}

void CCamera::SaveMode() {
    m_data.dwSavedMode = m_data.dwMode;
}

void CCamera::RestoreMode() {
    m_data.dwMode = m_data.dwSavedMode;
}

int CCamera::IsListener() {
    return m_data.bListener;
}

int CCamera::IsPlayerAllowedToMove() {
    return m_data.bPlayerMayMove;
}

DWORD CCamera::GetMode() {
    return m_data.dwMode;
}

DWORD CCamera::GetState() {
    return m_data.dwState;
}

DWORD CCamera::GetType() {
    return m_data.dwType;
}

DWORD CCamera::GetTarget() {
    return m_data.dwTargetId;
}

DWORD CCamera::GetOwner() {
    return m_data.dwOwnerId;
}

int CCamera::Update(D3DMATRIX& view, float nearDistance, float farDistance) {
    D3DVECTOR up = kWorldUp;
    FollowOwner(up);
    FollowTarget();
    D3DVECTOR eye = Orbit(PlaceEye());
    BuildFrame(eye, up, view);
    m_data.vPosition = eye;
    BuildClipping(nearDistance, farDistance);
    return 1;
}

// Moves the base position onto the owner; up becomes the owner's camera up vector when the
// owner was found.
bool CCamera::FollowOwner(D3DVECTOR& up) {
    if (m_data.dwMode == CAMERA_MODE_DETACHED || m_data.dwState != CAMERA_STATE_FOLLOW_OWNER ||
        m_data.dwOwnerId == 0) {
        return false;
    }
    CBaseEntity* owner = vgFindEntity(m_data.dwOwnerId);
    if (owner == nullptr) {
        DebugLog("CCamera::Update() Failed to find owner entity %u (%08X)", m_data.dwOwnerId,
                 m_data.dwOwnerId);
        return false;
    }
    owner->GetPosition(&m_data.vBasePosition);
    up = owner->m_Model.vCameraUp;
    return true;
}

void CCamera::FollowTarget() {
    if (m_data.dwMode != CAMERA_MODE_TRACK_TARGET || m_data.dwTargetId == 0) {
        return;
    }
    CBaseEntity* target = vgFindEntity(m_data.dwTargetId);
    if (target == nullptr) {
        DebugLog("CCamera::Update() Failed to find target entity %u (%08X)", m_data.dwTargetId,
                 m_data.dwTargetId);
        return;
    }
    target->GetPosition(&m_data.vTargetPosition);
}

// The eye from the base position and the person offset, advancing a running transition by
// the frame's render time.
D3DVECTOR CCamera::PlaceEye() {
    D3DVECTOR eye = m_data.vBasePosition;
    float& progress = m_data.fTransitionProgress;
    if (m_data.dwType == CAMERA_TYPE_TO_THIRD_PERSON) {
        if (progress < 1.0f) {
            eye = eye + m_data.vPersonOffset * progress;
            progress += vgGetDeltaRenderFTime() * 1.0f;
        } else {
            m_data.dwType = CAMERA_TYPE_THIRD_PERSON;
            eye = eye + m_data.vPersonOffset;
        }
    } else if (m_data.dwType == CAMERA_TYPE_THIRD_PERSON) {
        if (!m_data.bTransitionActive) {
            eye = eye + m_data.vPersonOffset;
        } else if (progress >= 1.0f) {
            m_data.bTransitionActive = FALSE;
            eye = eye + m_data.vPersonOffset;
        } else {
            m_data.vTransitionDelta = (eye + m_data.vPersonOffset) - m_data.vTransitionStart;
            eye = m_data.vTransitionStart + m_data.vTransitionDelta * progress;
            progress += vgGetDeltaRenderFTime() * 1.0f;
        }
    }
    return eye;
}

D3DVECTOR CCamera::Orbit(const D3DVECTOR& eye) {
    if (m_data.dwState != CAMERA_STATE_ORBIT) {
        return eye;
    }
    m_data.fOrbitAngle += vgGetDeltaRenderFTime() * kTwoPi / kOrbitPeriod;
    if (m_data.fOrbitAngle > kTwoPi) {
        m_data.fOrbitAngle -= kTwoPi;
    }
    return m_data.vTargetPosition +
           TransformVector(eye - m_data.vTargetPosition, RotateYMatrix(m_data.fOrbitAngle));
}

void CCamera::BuildFrame(const D3DVECTOR& eye, const D3DVECTOR& up, D3DMATRIX& view) {
    m_data.vViewDirection = Unit(m_data.vTargetPosition - eye);
    m_data.vRight = Unit(CrossProduct(up, m_data.vViewDirection));
    m_data.vUp = Unit(CrossProduct(m_data.vViewDirection, m_data.vRight));
    view = ViewMatrix(eye, m_data.vTargetPosition, up, 0.0f);
}

// The frustum from the host's screen size, the near and far planes, and the far points. A
// host that has handed over no globals record (or an empty screen) keeps the side planes.
void CCamera::BuildClipping(float nearDistance, float farDistance) {
    const D3DVECTOR& eye = m_data.vPosition;
    D3DVECTOR* axes[3] = {&m_data.vViewDirection, &m_data.vUp, &m_data.vRight};
    GAME_GLOBALS* globals = vgGetGlobals();
    if (globals != nullptr && globals->nScreenWidth > 0 && globals->nScreenHeight > 0) {
        float halfWidth = static_cast<float>(globals->nScreenWidth) * 0.5f;
        float halfHeight = static_cast<float>(globals->nScreenHeight) * 0.5f;
        float larger = halfWidth > halfHeight ? halfWidth : halfHeight;
        SetUpClippingFrustum(m_data.sidePlanes, 2.0f, larger, halfWidth, halfHeight, &eye, axes[0],
                             axes[1], axes[2]);
    }
    m_data.fNearDistance = nearDistance;
    m_data.fFarDistance = farDistance;
    const D3DVECTOR forward(0.0f, 0.0f, 1.0f);
    D3DVECTOR nearPoint = eye + m_data.vViewDirection * nearDistance;
    D3DVECTOR farPoint = eye + m_data.vViewDirection * farDistance;
    SetWorldspaceClipPlane(&forward, &m_data.nearPlane, &nearPoint, axes[0], axes[1], axes[2]);
    SetWorldspaceClipPlane(&forward, &m_data.farPlane, &farPoint, axes[0], axes[1], axes[2]);

    float depth = farDistance - nearDistance;
    D3DVECTOR ahead = eye + m_data.vViewDirection * depth;
    D3DVECTOR up = m_data.vUp * (0.75f * depth);
    D3DVECTOR right = m_data.vRight * (0.75f * depth);
    m_data.vFarPoints[0] = ahead + up - right;
    m_data.vFarPoints[1] = ahead + up + right;
    m_data.vFarPoints[2] = ahead - up - right;
    m_data.vFarPoints[3] = ahead - up + right;
}

int CCamera::IsBoundingSphereVisible(D3DVECTOR* centre, float radius) {
    // Runs for every model frame drawn: the inline forms keep it free of calls.
    D3DVECTOR r = inline_ops::Subtract(*centre, m_data.vPosition);
    if (inline_ops::Dot(m_data.nearPlane.normal, r) < -radius) {
        return 0;
    }
    if (inline_ops::Dot(m_data.farPlane.normal, r) > m_data.fFarDistance + radius) {
        return 0;
    }
    for (const D3DPLANE& side : m_data.sidePlanes) {
        if (inline_ops::Dot(side.normal, r) < -radius) {
            return 0;
        }
    }
    return 1;
}

int CCamera::Save(void* file) {
    CFileWriter writer(file);
    if (!writer.WriteU32(kCameraRecordId)) {
        DebugLog("CCamera::Save() Failed to write camera id!");
        return 0;
    }
    writer.WriteU32(0); // reserved: readers ignore it
    VisitCameraFields(m_data, FieldWriter{writer});
    if (writer.Failed()) {
        DebugLog("CCamera::Save() Failed to write camera data!");
        return 0;
    }
    return 1;
}

int CCamera::Load(void* file) {
    CFileReader reader(file);
    DWORD id = 0;
    if (!reader.ReadU32(id)) {
        DebugLog("CCamera::Load() Failed to read camera id!");
        return 0;
    }
    if (id != kCameraRecordId) {
        DebugLog("CCamera::Load() Failed to verify camera id!");
        return 0;
    }
    // Read into a scratch record so that a record cut short leaves the camera as it was.
    CAMERA_DATA loaded = m_data;
    reader.Skip(4);
    VisitCameraFields(loaded, FieldReader{reader});
    if (reader.Failed()) {
        DebugLog("CCamera::Load() Failed to read camera data!");
        return 0;
    }
    m_data = loaded;
    return 1;
}
