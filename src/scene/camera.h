#pragma once

// CCamera: the viewpoint a frame is drawn from. Each Update recomputes the eye, the
// orthonormal frame (view direction, up, right), the view matrix, the clipping planes and four
// far points. The camera can ride on an owner entity, look at a target entity or a fixed
// point, orbit the target and move smoothly from a first-person to a third-person eye.
//
// The order of the virtual operations is fixed: hosts and modules call cameras through the
// virtual table.

#include "math/matrix.h"
#include "math/plane.h"
#include "math/vector.h"
#include "platform/export.h"
#include "platform/types.h"

// The camera's numbers, in the order of its saved record (after the record's id and reserved
// word).
struct CAMERA_DATA {
    D3DVECTOR vFarPoints[4];
    float fFieldOfView;
    float fFarDistance;
    float fNearDistance;
    D3DPLANE sidePlanes[4];
    D3DPLANE nearPlane;
    D3DPLANE farPlane;
    D3DVECTOR vViewDirection;
    DWORD dwSavedMode;
    D3DVECTOR vBasePosition;
    D3DVECTOR vUp;
    D3DVECTOR vRight;
    D3DVECTOR vPersonOffset;
    D3DVECTOR vTargetPosition;
    D3DVECTOR vPosition;
    D3DVECTOR vTransitionStart;
    D3DVECTOR vTransitionDelta;
    DWORD dwMode;
    DWORD dwState;
    DWORD dwType;
    DWORD dwTargetId;
    BOOL bListener;
    DWORD dwOwnerId;
    BOOL bPlayerMayMove;
    BOOL bTransitionActive;
    float fTransitionProgress;
    float fOrbitAngle;
};

constexpr DWORD kCameraRecordId = 0x1A4D4143; // "CAM" and 0x1A
constexpr DWORD kCameraRecordSize = 340;

class VELCORE_API CCamera {
public:
    enum CAMERA_MODE : DWORD {
        CAMERA_MODE_TRACK_TARGET = 1, // the target position follows the target entity
        CAMERA_MODE_FIXED_TARGET = 2, // the engine camera's default: a fixed target point
        CAMERA_MODE_DETACHED = 4,     // the owner entity is never followed
    };
    enum CAMERA_STATE : DWORD {
        CAMERA_STATE_FOLLOW_OWNER = 1, // the base position rides on the owner entity
        CAMERA_STATE_ORBIT = 2,        // the eye orbits the target, one turn every 3 seconds
    };
    enum CAMERA_TYPE : DWORD {
        CAMERA_TYPE_FIRST_PERSON = 1,    // the eye is the base position
        CAMERA_TYPE_THIRD_PERSON = 2,    // the eye is base position + person offset
        CAMERA_TYPE_TO_THIRD_PERSON = 3, // the offset is applied gradually, then type 2
    };

    CCamera();
    CCamera(const CCamera&) = delete;
    CCamera& operator=(const CCamera&) = delete;

    virtual void GetFarPoints(D3DVECTOR* out);
    virtual D3DVECTOR GetRightVector();
    virtual D3DVECTOR GetUpVector();
    virtual D3DVECTOR WorldToView(D3DVECTOR* point);
    virtual float GetFOV();
    virtual int IsBoundingSphereVisible(D3DVECTOR* centre, float radius);
    virtual D3DVECTOR& GetBasePosition();
    virtual D3DVECTOR& GetOrientation();
    virtual D3DVECTOR& GetTargetPosition();
    virtual D3DVECTOR& GetPosition();
    // The 340-byte camera record at the file's current position.
    virtual int Save(void* file);
    // A record that is cut short or carries another id leaves the camera as it was.
    virtual int Load(void* file);
    virtual void SetPosition(D3DVECTOR& position);
    // Recomputes everything for this frame and writes the view matrix; always 1.
    virtual int Update(D3DMATRIX& view, float nearDistance, float farDistance);
    virtual void RestoreMode();
    virtual void SaveMode();
    virtual void SetTargetPosition(D3DVECTOR& target);
    virtual int SetTargetEntity(DWORD id);
    virtual int SetFirstPerson(D3DVECTOR& position);
    virtual void SetMode(DWORD mode);
    virtual void SetState(DWORD state);
    virtual int SetOwner(DWORD id);
    virtual int IsListener();
    virtual int IsPlayerAllowedToMove();
    virtual DWORD GetMode();
    virtual DWORD GetState();
    virtual DWORD GetType();
    virtual DWORD GetTarget();
    virtual DWORD GetOwner();
    // Clears the engine's active camera when it is this one.
    virtual ~CCamera();

    // Starts a move of the eye to base position + offset: gradual from first person, in a
    // straight line over one second from one third-person offset to another.
    int SetThirdPerson(D3DVECTOR& offset);

private:
    bool FollowOwner(D3DVECTOR& up);
    void FollowTarget();
    D3DVECTOR PlaceEye();
    D3DVECTOR Orbit(const D3DVECTOR& eye);
    void BuildFrame(const D3DVECTOR& eye, const D3DVECTOR& up, D3DMATRIX& view);
    void BuildClipping(float nearDistance, float farDistance);

    CAMERA_DATA m_data;
};
