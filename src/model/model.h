#pragma once

// C3DModel: a complete 3D model. Up to 256 frames forming a hierarchy, up to 64 material
// slots, a list of animations, a model transform, attachment points and the model's own track
// of bounding boxes. Loaded from and saved to VMM files (docs/formats/vmm.md).
//
// Building a model in memory and saving it:
//
//     C3DModel model;
//     C3DModelFrame* hull = NewAccounted<C3DModelFrame>();   // model/accounted.h
//     hull->SetName("hull");
//     hull->SetVertices(vertices, vertexCount);               // first: it starts the frame over
//     hull->SetFaces(indices, faceCount);                     // 3 x 32-bit indices per face
//     hull->SetMaterialIndex(0);
//     DBOX_KEYFRAME box = {};                                 // one box key per model keyframe
//     hull->SetBBoxKeyframes(1, &box, 0, 0);
//     model.AddFrame(hull);                                   // the model owns the frame
//     CMaterial* paint = NewAccounted<CMaterial>();
//     paint->SetTextureName("c:\\game\\textures\\hull.bmp"); // full path
//     model.SetMaterial(0, paint);                            // the model owns the material
//     model.SetKeyframes(0, 0, 0);                            // one box per keyframe 0..0
//     DANIMATION idle = {};
//     idle.fDuration = 2.0f;                                  // in the host's time units
//     model.SetAnimations(1, &idle);
//     model.CalculateBoundingBox();
//     model.SaveModel("c:\\game\\models\\hull.vmm");
//
// Heap memory for frames, materials, key arrays, animation lists and boxes comes from CMemory.

#include "math/matrix.h"
#include "model/model_frame.h"
#include "model/model_records.h"
#include "platform/export.h"
#include "platform/types.h"

class CMaterial;

constexpr DWORD kMaxModelFrames = 256;
constexpr DWORD kMaxModelMaterials = 64;
constexpr DWORD kMaxModelAttachments = 16;
// The most model boxes (one per keyframe of the range) the model computes; a longer range
// leaves the boxes invalid, as a failed allocation does. Far beyond any animation, the limit
// keeps a range of a few bytes in a file from demanding gigabytes at the next transform.
constexpr DWORD kMaxModelBoxes = 65536;

class VELCORE_API C3DModel {
public:
    // Empty: no frames, materials, animations or boxes; identity transform; keyframe range
    // 0..0; boxes invalid.
    C3DModel();
    ~C3DModel();
    C3DModel(const C3DModel&) = delete;
    // Copies every field, pointers included: both models then share frames, materials and
    // arrays, and only one of them may later be destroyed, reset or reloaded.
    C3DModel& operator=(const C3DModel&) = default;

    // Empties the model.
    void Reset() { Deallocate(); }

    // Appends a frame made by NewAccounted (ownership passes) and marks the boxes invalid. An
    // attachment frame is listed among the attachments while fewer than 16 are; a frame whose
    // parent index names a frame already held marks that frame as having children. 0 (nothing
    // changes) when 256 frames are held.
    int AddFrame(C3DModelFrame* frame);
    // Null when index is not below the frame count.
    C3DModelFrame* GetFrame(DWORD index) const;
    DWORD GetFrameCount() const { return m_dwFrameCount; }

    // Stores a material made by NewAccounted in slot index (ownership passes; a material
    // already there is destroyed), or with index kNoIndex in the first empty slot. Returns the
    // slot, or kNoIndex (nothing changes) when there is no such slot.
    DWORD SetMaterial(DWORD index, CMaterial* material);
    DWORD AddMaterial(CMaterial* material) { return SetMaterial(kNoIndex, material); }
    // Null for an empty slot and for any index beyond the 64 slots (a frame's "no material").
    CMaterial* GetMaterial(DWORD index) const;

    // The model's keyframe range (one model box per keyframe) and a value kept with it. 0
    // ("C3DModel::SetKeyframes() Invalid keyframe range %u..%u") when final is below start;
    // nothing changes then.
    int SetKeyframes(DWORD start, DWORD final, DWORD extra);
    void GetKeyframes(DWORD& start, DWORD& final, DWORD& extra) const;

    // Replaces the animation list with a copy of count records and computes each one's
    // inverse duration (0 for a duration that is not a positive finite number; such an
    // animation always gives parametric time 0). 1, or 0 with a message and no list.
    int SetAnimations(DWORD count, const DANIMATION* animations);
    DANIMATION* GetAnimations() { return m_pAnimations; }
    DWORD GetAnimationCount() const { return m_dwAnimationCount; }

    // Maps a running time onto the animation's parametric range 0..1 and writes the adjusted
    // time back: with ANIM_PLAY_ONCE clamped to 0..duration, otherwise a time above the
    // duration wraps into (0, duration] (a negative time is kept). 0 without animations, and
    // with a message for an index beyond the list.
    float GetParametricTime(DWORD anim, float& time, DWORD flags);

    // Evaluates every frame at the animation's parametric time (time is adjusted in place as
    // GetParametricTime does). With useHierarchy a frame's result follows its parent's matrix
    // (a root's follows the model transform); a parent later in the frame list contributes its
    // previous matrix, with a message.
    void InterpolateAnimation(int useHierarchy, DWORD anim, float& time, DWORD flags);

    // Rebuilds the model's boxes, one per keyframe of the range, from the mesh frames (dummies
    // and attachments excluded); the frames' box keys are recomputed on the way. Does nothing
    // without frames.
    void CalculateBoundingBox();
    // The model box at an animation time (looping), transformed by the model transform with
    // min <= max. Zeros, with a message, while the boxes are invalid.
    void GetBoundingBox(DWORD anim, float time, D3DVECTOR& min, D3DVECTOR& max);
    // The model sphere at an animation time; the centre is transformed, the radius is not.
    void GetBoundingSphere(DWORD anim, float time, D3DVECTOR& centre, float& radius);
    DBOX_KEYFRAME* GetBoxes() { return m_pBoxes; }
    DWORD GetBoxCount() const { return m_dwBoxCount; }

    DWORD GetAttachmentCount() const { return m_dwAttachmentCount; }
    // The attachment point of the index-th listed attachment frame, recomputed from its
    // vertices; for a model without animations a copy placed by the model transform. Null
    // when the index, the listed frame or its attachment does not exist.
    ATTACHMENT_POINT* GetAttachment(DWORD index);

    // Sets the model transform; every frame re-evaluates at the next InterpolateAnimation.
    void SetTransformMatrix(const D3DMATRIX& matrix);
    D3DMATRIX& GetTransformMatrix() { return m_Transform; }
    // Bakes a transform or a move into the vertices of the root frames, then recomputes the
    // boxes; every frame re-evaluates at the next InterpolateAnimation.
    void Transform(const D3DMATRIX& matrix);
    void Translate(float dx, float dy, float dz);
    // Converts every frame's face list to 16-bit indices; 0 at the first failure.
    int ConvertIndices(unsigned short* scratch);

    // Empties the model and loads the VMM file. 1, or 0 with messages and an empty model.
    int LoadModel(const char* path);
    // Writes the model as a VMM file; texture names with a drive are stored relative to the
    // file's directory. 1, or 0 with a message (a partial file stays on disk).
    int SaveModel(const char* path);

protected:
    friend class CVmmModelLoader;
    // CalculateBoundingBox for a model loaded from a file of fileSize bytes, when the file
    // could hold one box per keyframe.
    void CalculateBoxesWithin(DWORD fileSize);

    // Destroys frames and materials, frees boxes and animations, identity transform, range
    // 0..0, boxes invalid.
    void Deallocate();

private:
    // The frame's parent, or null for a root (including a parent index naming no other
    // frame of the model).
    C3DModelFrame* ParentOf(DWORD frameIndex) const;
    void CalculateFrameBoxes(DWORD keyframe, float time);
    void MergeFrameBoxes(DBOX_KEYFRAME& box);
    // Applies bake to every root frame, then recomputes the boxes.
    template <class Operation> void BakeIntoRootFrames(const Operation& bake);
    int SaveMaterials(HANDLE file, const char* baseDirectory);
    int SaveAttachmentsAndAnimations(HANDLE file);
    int SaveFrameChunks(HANDLE file);
    int SaveTransformAndBoxes(HANDLE file);

    BOOL m_bResetAnimation;
    ATTACHMENT_POINT m_AttachmentResult;
    CMaterial* m_pMaterials[kMaxModelMaterials];
    BOOL m_bBoxesInvalid;
    C3DModelFrame* m_pFrames[kMaxModelFrames];
    DWORD m_dwFrameCount;
    DWORD m_dwAttachmentFrames[kMaxModelAttachments];
    DWORD m_dwAttachmentCount;
    DWORD m_dwStartKeyframe;
    DWORD m_dwFinalKeyframe;
    DWORD m_dwKeyframeExtra;
    DWORD m_dwAnimationCount;
    DANIMATION* m_pAnimations;
    D3DMATRIX m_Transform;
    DBOX_KEYFRAME* m_pBoxes;
    DWORD m_dwBoxCount;
};
