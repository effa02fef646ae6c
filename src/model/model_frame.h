#pragma once

// C3DModelFrame: one node of a model. A named mesh (vertices, triangles, one material slot)
// or a mesh-less dummy, with an optional parent frame, an optional attachment point and four
// optional key tracks (position, rotation, scale, bounding box). Evaluating the tracks at a
// parametric time (0..1) gives the frame's animation matrix: a vertex v is placed at
// v x scale x rotation x translation x parent.
//
// Arrays a frame owns come from CMemory. Frames that a model holds are created with
// NewAccounted<C3DModelFrame>() (model/accounted.h); the model destroys them.

#include "math/matrix.h"
#include "model/model_records.h"
#include "platform/d3d/d3d_types.h"
#include "platform/export.h"
#include "platform/types.h"

class CFileReader;

// A frame whose name begins with this (letters in any case) is a dummy: it has no mesh.
constexpr char kDummyPrefix[] = "$$$DUMMY";
constexpr DWORD kFrameNameSize = 32;
// Payload bytes of a frame chunk besides its vertices and faces.
constexpr DWORD kFrameChunkFixedLength = 68;
// The renderer draws with 16-bit indices, which reach this many vertices.
constexpr DWORD kMaxFrameVertices = 65536;

// One key track: its records, and the keyframe numbers given with it.
template <class Key> struct KEY_TRACK {
    DWORD dwCount = 0;
    Key* pKeys = nullptr;
    DWORD dwStart = 0;
    DWORD dwEnd = 0;
};

class VELCORE_API C3DModelFrame {
public:
    // No mesh, keys or attachment; no parent, no material; identity animation matrix.
    C3DModelFrame();
    ~C3DModelFrame();
    C3DModelFrame(const C3DModelFrame&) = delete;
    // Copies every field, array pointers included: only one of the two may then release them.
    C3DModelFrame& operator=(const C3DModelFrame&) = default;

    // Keeps at most 30 characters.
    void SetName(const char* name);
    const char* GetName() const { return m_szName; }
    // 1 for a dummy or an attachment frame: neither counts towards the model's box.
    int IsDummy() const { return m_bDummy || m_bAttachment ? 1 : 0; }
    int IsAttachment() const { return m_bAttachment ? 1 : 0; }
    // Copies the point and makes the frame an attachment.
    void SetAttachment(const ATTACHMENT_POINT* point);
    // Null unless an attachment. With three or more vertices the point is recomputed from the
    // vertices placed by the animation matrix: their mean, and the normal of the first three.
    ATTACHMENT_POINT* GetAttachment();

    // Starts the frame over (mesh, faces, keys, parent, material and attachment go; the name
    // stays), then copies the vertices: call it first when building a frame. 1, or 0 with a
    // message.
    int SetVertices(const D3DVERTEX* vertices, DWORD count);
    // Copies count triangles of three 32-bit vertex indices. 1, or 0 with a message.
    int SetFaces(const DWORD* indices, DWORD count);
    D3DVERTEX* GetVertexList() { return m_pVertices; }
    DWORD GetVertexCount() const { return m_dwVertexCount; }
    // Three indices per face: 32-bit, or 16-bit once ConvertIndices ran (HasShortIndices).
    void* GetFaceList() { return m_pFaces; }
    DWORD GetFaceCount() const { return m_dwFaceCount; }
    int HasShortIndices() const { return m_bShortIndices ? 1 : 0; }

    // The model's material slot; kNoIndex (or any index beyond the slots) for none.
    DWORD GetMaterialIndex() const { return m_dwMaterialIndex; }
    void SetMaterialIndex(DWORD index) { m_dwMaterialIndex = index; }
    // The parent frame's index in the model; kNoIndex for a root frame.
    DWORD GetParentKeyframe() const { return m_dwParentIndex; }
    void SetParentKeyframe(DWORD index) { m_dwParentIndex = index; }
    // Whether some frame of the model names this one as its parent (set by loading and by
    // C3DModel::AddFrame). A dummy is animated only when it has children.
    int HasChildren() const { return m_bHasChildren ? 1 : 0; }
    D3DMATRIX* GetAnimationMatrix() { return &m_AnimationMatrix; }

    // Each setter copies count records (sorted by time) and the keyframe numbers given with
    // the track, and forgets the cached evaluation. 1, or 0 with a message and an empty
    // track. A dummy frame keeps no box keys (its track is emptied and 1 returned).
    int SetPositionKeys(DWORD count, const DPOS_KEYFRAME* keys, DWORD start, DWORD end);
    int SetRotationKeys(DWORD count, const DROT_KEYFRAME* keys, DWORD start, DWORD end);
    int SetScaleKeys(DWORD count, const DSCL_KEYFRAME* keys, DWORD start, DWORD end);
    // Box keys name the keyframes whose boxes C3DModel::CalculateBoundingBox computes: give a
    // mesh frame one key per keyframe of the model's range (keyframe number and time set; the
    // corners and sphere are computed).
    int SetBBoxKeyframes(DWORD count, const DBOX_KEYFRAME* keys, DWORD start, DWORD end);

    DPOS_KEYFRAME* GetPositionKeys() { return m_Position.pKeys; }
    DROT_KEYFRAME* GetRotationKeys() { return m_Rotation.pKeys; }
    DSCL_KEYFRAME* GetScaleKeys() { return m_Scale.pKeys; }
    DBOX_KEYFRAME* GetBBoxKeys() { return m_Boxes.pKeys; }
    DWORD GetPositionKeyframes() const { return m_Position.dwCount; }
    DWORD GetRotationKeyframes() const { return m_Rotation.dwCount; }
    DWORD GetScaleKeyframes() const { return m_Scale.dwCount; }
    DWORD GetBBoxKeyframes() const { return m_Boxes.dwCount; }
    // Record i, or null when i is not below the count.
    DPOS_KEYFRAME* GetPositionKeyframe(DWORD i);
    DROT_KEYFRAME* GetRotationKeyframe(DWORD i);
    DSCL_KEYFRAME* GetScaleKeyframe(DWORD i);
    DWORD GetPositionStartKeyframe() const { return m_Position.dwStart; }
    DWORD GetPositionEndKeyframe() const { return m_Position.dwEnd; }
    DWORD GetRotationStartKeyframe() const { return m_Rotation.dwStart; }
    DWORD GetRotationEndKeyframe() const { return m_Rotation.dwEnd; }
    DWORD GetScaleStartKeyframe() const { return m_Scale.dwStart; }
    DWORD GetScaleEndKeyframe() const { return m_Scale.dwEnd; }
    DWORD GetBBoxStartKeyframe() const { return m_Boxes.dwStart; }
    DWORD GetBBoxEndKeyframe() const { return m_Boxes.dwEnd; }
    // Whether any position, rotation, scale or box key is held.
    bool HasKeys() const;

    // Every vertex position and normal (normals like points, not renormalised) and an
    // attachment's position and normal go through TransformVector.
    void Transform(const D3DMATRIX& matrix);
    // Moves every vertex position and an attachment's position.
    void Translate(float dx, float dy, float dz);
    // Replaces the 32-bit face list by a 16-bit one, as the renderer's indexed draw expects.
    // The list is converted directly, so scratch is not used and may be null. A frame without
    // faces or already converted is left as it is. 1, or 0 with a message (the 32-bit list
    // then stays), also for an index that 16 bits cannot hold.
    int ConvertIndices(unsigned short* scratch);

    // Reads a frame chunk's payload (the tag has been read). Counts whose data cannot fit in
    // the rest of the file, more than kMaxFrameVertices vertices and faces naming a vertex the
    // frame does not have are refused. 1, or 0 with a message and an empty frame.
    int LoadFrame(CFileReader& reader);
    // Writes the frame chunk, faces always as 32-bit indices. A frame that is not named as a
    // dummy needs vertices and faces. 1, or 0 with a message.
    int SaveFrame(HANDLE file);

    // The box and sphere of the box track at parametric time t (interpolated between keys;
    // corners sorted so that min <= max). Zero volumes, with a message, while the frame's
    // boxes are not valid (they become valid when the model computes or loads them).
    void GetBoundingBox(D3DVECTOR& min, D3DVECTOR& max, float t);
    void GetBoundingSphere(D3DVECTOR& centre, float& radius, float t);

    // Eases u (0..1) in over the first easeFrom and out over the last easeTo of the interval;
    // shares summing to more than 1 are scaled down to sum to 1.
    static float Ease(float u, float easeFrom, float easeTo);

protected:
    friend class C3DModel;
    friend class CVmmModelLoader;

    // Frees the mesh and the keys, drops parent, material and attachment, forgets the cached
    // evaluation. The name stays, and so does the dummy flag, which always follows the name:
    // clearing it would turn a named dummy that is given a mesh after its name (SetVertices
    // runs this) into a mesh frame in memory, while the same frame read back from its file is
    // a dummy again.
    void Deallocate();
    // Forgets the cached evaluation, so the next InterpolateAnimation recomputes.
    void ResetAnimationFlag() { m_fLastTime = -1.0f; }
    void FlagBoundingBoxValid(BOOL valid) { m_bBoxesValid = valid; }
    void FlagHasChildren() { m_bHasChildren = TRUE; }
    // Evaluates the tracks at t in the mode the flags choose and builds the animation matrix
    // (after parent, when given). Skipped for a dummy without children and when t is the time
    // of the last evaluation.
    void InterpolateAnimation(const D3DMATRIX* parent, float t, DWORD flags);
    // Spline-mode evaluation at t regardless of the cache and of dummies; the cache is then
    // forgotten, since the matrix no longer belongs to the host's last evaluation.
    void EvaluateSpline(const D3DMATRIX* parent, float t);
    void BuildAnimationMatrix(const D3DQUAT& rotation, const D3DVECTOR& position,
                              const D3DVECTOR& scale, const D3DMATRIX* parent);
    // Recomputes the box key numbered keyframe (if the track has one) from the vertices placed
    // by a spline evaluation at the key's time after parent.
    void CalculateBoundingBox(const D3DMATRIX* parent, DWORD keyframe);

private:
    void FreeFaces();
    int ReadMesh(CFileReader& reader);
    bool FacesNameOwnVertices() const;

    BOOL m_bAttachment;
    ATTACHMENT_POINT m_Attachment;
    BOOL m_bDummy;
    BOOL m_bHasChildren;
    float m_fLastTime;
    D3DMATRIX m_AnimationMatrix;
    DWORD m_dwParentIndex;
    KEY_TRACK<DPOS_KEYFRAME> m_Position;
    KEY_TRACK<DROT_KEYFRAME> m_Rotation;
    KEY_TRACK<DSCL_KEYFRAME> m_Scale;
    KEY_TRACK<DBOX_KEYFRAME> m_Boxes;
    DWORD m_dwMaterialIndex;
    BOOL m_bBoxesValid;
    char m_szName[kFrameNameSize];
    DWORD m_dwFaceCount;
    DWORD m_dwVertexCount;
    void* m_pFaces;
    BOOL m_bShortIndices;
    D3DVERTEX* m_pVertices;
};
