// Loading and saving models as VMM files (docs/formats/vmm.md).

#include "model/model.h"

#include "engine/debug_log.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/vmm_file.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"
#include "support/memory.h"
#include "support/path_utils.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace {

// Common header of the four key chunks: frame index, key count, start and end keyframe.
constexpr DWORD kKeyChunkHeaderLength = 16;
constexpr DWORD kAnimationChunkHeaderLength = 16;

int LastErrorCode() {
    return static_cast<int>(GetLastError());
}

// The messages of one kind of key chunk, in the order of the steps that can fail.
struct KEY_CHUNK_MESSAGES {
    const char* header;
    const char* allocation; // %d: key count
    const char* records;    // %d: frame index
    const char* frame;      // %d: frame index
};

constexpr KEY_CHUNK_MESSAGES kPositionKeyMessages = {
    "C3DModel::LoadModel() Failed to read frame index for pos keyframe!",
    "C3DModel::LoadModel() Failed to allocate memory for %d pos keyframes",
    "C3DModel::LoadModel() Failed to read position keys for frame %d",
    "C3DModel::LoadFrame() Failed to get frame for pos keyframe (%d)",
};
constexpr KEY_CHUNK_MESSAGES kRotationKeyMessages = {
    "C3DModel::LoadModel() Failed to read frame index for rot keyframe!",
    "C3DModel::LoadModel() Failed to allocate memory for %d rot keyframes",
    "C3DModel::LoadModel() Failed to read rotation keys for frame %d",
    "C3DModel::LoadFrame() Failed to get frame for rot keyframe (%d)",
};
constexpr KEY_CHUNK_MESSAGES kScaleKeyMessages = {
    "C3DModel::LoadModel() Failed to read frame index for scale keyframe!",
    "C3DModel::LoadModel() Failed to allocate memory for %d scale keyframes",
    "C3DModel::LoadModel() Failed to read scale keys for frame %d",
    "C3DModel::LoadFrame() Failed to get frame for scale keyframe (%d)",
};
constexpr KEY_CHUNK_MESSAGES kBoxKeyMessages = {
    "C3DModel::LoadModel() Failed to read frame index for bbox keyframe!",
    "C3DModel::LoadModel() Failed to allocate memory for %d bbox keyframes",
    "C3DModel::LoadModel() Failed to read bbox keys for frame %d",
    "C3DModel::LoadFrame() Failed to get frame for bbox keyframe (%d)",
};

// count records of Size bytes from CMemory (null for none); their size is known to fit.
void* AllocateRecords(DWORD count, DWORD size) {
    return count != 0 ? CMemory::Allocate(count * size, 0) : nullptr;
}

void FreeRecords(void* records) {
    if (records != nullptr) {
        CMemory::Deallocate(records);
    }
}

// The texture name of a loaded material made a full lower-case path against the model
// file's directory.
void ResolveTextureName(CMaterial& material, const char* baseDirectory) {
    const char* name = material.GetTextureName();
    if (name == nullptr) {
        return;
    }
    char path[kPathBufferSize];
    std::strcpy(path, name);
    MakeFullPath(baseDirectory, path);
    for (char* c = path; *c != '\0'; ++c) {
        *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    material.SetTextureName(path);
}

bool WriteTag(CFileWriter& writer, DWORD id, std::uint64_t length) {
    return length <= 0xFFFFFFFFu && writer.WriteU32(id) &&
           writer.WriteU32(static_cast<DWORD>(length));
}

template <class Key>
bool WriteKeyChunk(HANDLE file, DWORD id, DWORD frameIndex, DWORD count, const Key* keys,
                   DWORD start, DWORD end) {
    CFileWriter writer(file);
    return WriteTag(writer, id, kKeyChunkHeaderLength + std::uint64_t{count} * sizeof(Key)) &&
           writer.WriteU32(frameIndex) && writer.WriteU32(count) && writer.WriteU32(start) &&
           writer.WriteU32(end) && writer.Write(keys, count * sizeof(Key));
}

} // namespace

// The chunk handlers of C3DModel::LoadModel. Each reads its payload field by field, writes
// its message at the first step that fails and then fails the chunk.
class CVmmModelLoader final : public IVmmChunkHandler {
public:
    CVmmModelLoader(C3DModel& model, const char* baseDirectory)
        : m_model(model), m_baseDirectory(baseDirectory) {}

    bool OnChunk(CFileReader& reader, const VMM_CHUNK_TAG& tag) override {
        switch (tag.dwId) {
        case VMM_CHUNK_FRAME:
            return LoadFrame(reader);
        case VMM_CHUNK_MATERIAL:
            return LoadMaterial(reader);
        case VMM_CHUNK_ATTACHMENT_LIST:
            return LoadAttachmentList(reader);
        case VMM_CHUNK_KEYFRAME:
            return LoadParent(reader);
        case VMM_CHUNK_POS_KEYFRAME:
            return LoadKeys(reader, tag, kPositionKeyMessages, &C3DModelFrame::SetPositionKeys);
        case VMM_CHUNK_ROT_KEYFRAME:
            return LoadKeys(reader, tag, kRotationKeyMessages, &C3DModelFrame::SetRotationKeys);
        case VMM_CHUNK_SCL_KEYFRAME:
            return LoadKeys(reader, tag, kScaleKeyMessages, &C3DModelFrame::SetScaleKeys);
        case VMM_CHUNK_BOX_KEYFRAME:
            return LoadKeys(reader, tag, kBoxKeyMessages, &C3DModelFrame::SetBBoxKeyframes);
        case VMM_CHUNK_ANIMATION:
            return LoadAnimations(reader);
        case VMM_CHUNK_MAT_TRANSFORM:
            return LoadTransform(reader);
        case VMM_CHUNK_BXX_KEYFRAME:
            return LoadModelBoxes(reader);
        case VMM_CHUNK_ATTACHMENT:
            return LoadAttachment(reader);
        default:
            return false;
        }
    }

private:
    template <class Key> using KeySetter = int (C3DModelFrame::*)(DWORD, const Key*, DWORD, DWORD);

    bool LoadFrame(CFileReader& reader) {
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        if (frame == nullptr) {
            DebugLog("C3DModel::LoadModel() Unable to allocate new frame!");
            return false;
        }
        if (!frame->LoadFrame(reader)) {
            DebugLog("C3DModel::LoadModel() Unable to load frame!");
            DeleteAccounted(frame);
            return false;
        }
        if (!m_model.AddFrame(frame)) {
            DebugLog("C3DModel::LoadModel() Unable to add frame!");
            DeleteAccounted(frame);
            return false;
        }
        return true;
    }

    bool LoadMaterial(CFileReader& reader) {
        CMaterial* material = NewAccounted<CMaterial>();
        if (material == nullptr) {
            DebugLog("C3DModel::LoadModel() Failed to create new CMaterial object!");
            return false;
        }
        DWORD slot = kNoIndex;
        if (!material->LoadMaterial(reader, &slot)) {
            DebugLog("C3DModel::LoadModel() Unable to load material!");
            DeleteAccounted(material);
            return false;
        }
        // Checked first: the model would take a slot of its own choosing for kNoIndex.
        if (slot >= kMaxModelMaterials) {
            DebugLog("C3DModel::LoadModel() Unable to set material %d!\n", static_cast<int>(slot));
            DeleteAccounted(material);
            return false;
        }
        ResolveTextureName(*material, m_baseDirectory);
        m_model.SetMaterial(slot, material);
        return true;
    }

    bool LoadAttachmentList(CFileReader& reader) {
        DWORD count = 0;
        if (!reader.ReadU32(count)) {
            DebugLog("C3DModel::LoadModel() Failed to read attachment count!");
            return false;
        }
        if (count > kMaxModelAttachments) {
            DebugLog("C3DModel::LoadModel() Invalid attachment count %u!",
                     static_cast<unsigned>(count));
            return false;
        }
        if (!reader.Require(count, sizeof(DWORD)) ||
            !reader.Read(m_model.m_dwAttachmentFrames, count * sizeof(DWORD))) {
            DebugLog("C3DModel::LoadModel() Failed to read attachment points!");
            return false;
        }
        m_model.m_dwAttachmentCount = count;
        return true;
    }

    bool LoadParent(CFileReader& reader) {
        DWORD frameIndex = 0;
        DWORD parentIndex = 0;
        if (!reader.ReadU32(frameIndex) || !reader.ReadU32(parentIndex)) {
            DebugLog("C3DModel::LoadModel() Failed to read frame, start, final or parent index");
            return false;
        }
        C3DModelFrame* frame = m_model.GetFrame(frameIndex);
        if (frame == nullptr) {
            DebugLog("C3DModel::LoadModel() Failed to get frame index %d",
                     static_cast<int>(frameIndex));
            return false;
        }
        C3DModelFrame* parent = m_model.GetFrame(parentIndex);
        if (parentIndex != kNoIndex && (parent == nullptr || parent == frame)) {
            DebugLog("C3DModel::LoadModel() Invalid parent index %u for frame %u",
                     static_cast<unsigned>(parentIndex), static_cast<unsigned>(frameIndex));
            return false;
        }
        frame->SetParentKeyframe(parentIndex);
        if (parent != nullptr) {
            parent->FlagHasChildren();
        }
        return true;
    }

    template <class Key>
    bool LoadKeys(CFileReader& reader, const VMM_CHUNK_TAG& tag, const KEY_CHUNK_MESSAGES& messages,
                  KeySetter<Key> setter) {
        DWORD frameIndex = 0;
        DWORD count = 0;
        DWORD start = 0;
        DWORD end = 0;
        if (!reader.ReadU32(frameIndex) || !reader.ReadU32(count) || !reader.ReadU32(start) ||
            !reader.ReadU32(end)) {
            DebugLog("%s", messages.header);
            return false;
        }
        if (!reader.Require(count, sizeof(Key))) {
            DebugLog(messages.records, static_cast<int>(frameIndex));
            return false;
        }
        auto* keys = static_cast<Key*>(AllocateRecords(count, sizeof(Key)));
        if (count != 0 && keys == nullptr) {
            DebugLog(messages.allocation, static_cast<int>(count));
            return false;
        }
        bool read = reader.Read(keys, count * sizeof(Key));
        C3DModelFrame* frame = read ? m_model.GetFrame(frameIndex) : nullptr;
        bool success = false;
        if (!read) {
            DebugLog(messages.records, static_cast<int>(frameIndex));
        } else if (frame == nullptr) {
            DebugLog(messages.frame, static_cast<int>(frameIndex));
        } else {
            success = (frame->*setter)(count, keys, start, end) != 0;
        }
        FreeRecords(keys);
        // Loaded boxes stand until the model recomputes them.
        if (success && tag.dwId == VMM_CHUNK_BOX_KEYFRAME) {
            frame->FlagBoundingBoxValid(TRUE);
        }
        return success;
    }

    bool LoadAnimations(CFileReader& reader) {
        DWORD count = 0;
        DWORD start = 0;
        DWORD final = 0;
        DWORD extra = 0;
        if (!reader.ReadU32(count) || !reader.ReadU32(start) || !reader.ReadU32(final) ||
            !reader.ReadU32(extra)) {
            DebugLog("C3DModel::LoadModel() Failed to read anim count, start or final keyframe");
            return false;
        }
        if (!reader.Require(count, sizeof(DANIMATION))) {
            DebugLog("C3DModel::LoadModel() Failed to read animations!");
            return false;
        }
        auto* list = static_cast<DANIMATION*>(AllocateRecords(count, sizeof(DANIMATION)));
        if (count != 0 && list == nullptr) {
            DebugLog("C3DModel::LoadModel() Failed to allocate mem for %d animations",
                     static_cast<int>(count));
            return false;
        }
        bool success = false;
        if (!reader.Read(list, count * sizeof(DANIMATION))) {
            DebugLog("C3DModel::LoadModel() Failed to read animations!");
        } else {
            success =
                m_model.SetKeyframes(start, final, extra) && m_model.SetAnimations(count, list);
        }
        FreeRecords(list);
        return success;
    }

    bool LoadTransform(CFileReader& reader) {
        if (!reader.ReadRecord(m_model.m_Transform)) {
            DebugLog("C3DModel::LoadModel() Failed to load mat transformation chunk! Error=%d",
                     LastErrorCode());
            return false;
        }
        return true;
    }

    bool LoadModelBoxes(CFileReader& reader) {
        DWORD count = 0;
        if (!reader.ReadU32(count)) {
            DebugLog("C3DModel::LoadModel() Failed to load count of model bbox chunk! Error=%d",
                     LastErrorCode());
            return false;
        }
        FreeRecords(m_model.m_pBoxes);
        m_model.m_pBoxes = nullptr;
        m_model.m_dwBoxCount = 0;
        if (!reader.Require(count, sizeof(DBOX_KEYFRAME))) {
            DebugLog("C3DModel::LoadModel() Failed to read %d bbox items! Error=%d",
                     static_cast<int>(count), LastErrorCode());
            return false;
        }
        auto* boxes = static_cast<DBOX_KEYFRAME*>(AllocateRecords(count, sizeof(DBOX_KEYFRAME)));
        if (count != 0 && boxes == nullptr) {
            DebugLog("C3DModel::LoadModel() Failed to allocate mem for %d model bboxes!",
                     static_cast<int>(count));
            return false;
        }
        if (!reader.Read(boxes, count * sizeof(DBOX_KEYFRAME))) {
            DebugLog("C3DModel::LoadModel() Failed to read %d bbox items! Error=%d",
                     static_cast<int>(count), LastErrorCode());
            FreeRecords(boxes);
            return false;
        }
        m_model.m_pBoxes = boxes;
        m_model.m_dwBoxCount = count;
        m_model.m_bBoxesInvalid = FALSE;
        return true;
    }

    bool LoadAttachment(CFileReader& reader) {
        DWORD frameIndex = 0;
        ATTACHMENT_POINT point;
        if (!reader.ReadU32(frameIndex) || !reader.ReadRecord(point)) {
            DebugLog("C3DModel::LoadModel() Failed to read attachment point! Error=%d",
                     LastErrorCode());
            return false;
        }
        C3DModelFrame* frame = m_model.GetFrame(frameIndex);
        if (frame == nullptr) {
            DebugLog("C3DModel::LoadModel() Invalid frame for index %d",
                     static_cast<int>(frameIndex));
            return false;
        }
        frame->SetAttachment(&point);
        return true;
    }

    C3DModel& m_model;
    const char* m_baseDirectory;
};

// Boxes computed for a loaded model are bounded by what its file could hold as a box chunk,
// one box per keyframe: a small crafted file cannot claim a keyframe range whose boxes need
// more memory than the file itself.
void C3DModel::CalculateBoxesWithin(DWORD fileSize) {
    const std::uint64_t keyframes = std::uint64_t{m_dwFinalKeyframe} - m_dwStartKeyframe + 1;
    if (keyframes > fileSize / sizeof(DBOX_KEYFRAME)) {
        DebugLog("C3DModel::LoadModel() %llu keyframes need more boxes than the file holds; "
                 "boxes left invalid",
                 static_cast<unsigned long long>(keyframes));
        return;
    }
    CalculateBoundingBox();
}

int C3DModel::LoadModel(const char* path) {
    HANDLE file = OpenVMM(path);
    Deallocate();
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("C3DModel::LoadModel() Invalid file or handle!");
        DebugLog("File='%s'", path);
        return 0;
    }
    const DWORD fileSize = GetFileSize(file);
    if (fileSize == INVALID_FILE_SIZE) {
        DebugLog("C3DModel::LoadModel() Failed to determine length of VMM file!");
        CloseHandle(file);
        return 0;
    }
    char baseDirectory[kPathBufferSize] = "";
    MakeBaseDirectory(baseDirectory, path);
    CVmmModelLoader loader(*this, baseDirectory);
    int success = RunVmmReadLoop(file, loader);
    CloseHandle(file);
    if (!success) {
        Deallocate();
    } else if (m_bBoxesInvalid) {
        CalculateBoxesWithin(fileSize);
    }
    return success;
}

int C3DModel::SaveMaterials(HANDLE file, const char* baseDirectory) {
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        const CMaterial* material = m_pMaterials[slot];
        if (material == nullptr) {
            continue;
        }
        const char* name = material->GetTextureName();
        char relative[kPathBufferSize];
        const char* stored = nullptr;
        if (name != nullptr && baseDirectory[0] != '\0') {
            std::strcpy(relative, name);
            MakeRelativePath(baseDirectory, relative);
            stored = relative;
        }
        if (!material->SaveMaterial(file, slot, stored)) {
            DebugLog("C3DModel::SaveModel() Unable to write material number %d!\n",
                     static_cast<int>(slot));
            return 0;
        }
    }
    return 1;
}

int C3DModel::SaveAttachmentsAndAnimations(HANDLE file) {
    CFileWriter writer(file);
    if (m_dwAttachmentCount > 0) {
        if (!WriteTag(writer, VMM_CHUNK_ATTACHMENT_LIST, 4 + 4 * m_dwAttachmentCount)) {
            DebugLog("C3DModel::SaveModel() Unable to write attachments chunk id!");
            return 0;
        }
        if (!writer.WriteU32(m_dwAttachmentCount)) {
            DebugLog("C3DModel::SaveModel() Failed to write attachment count!");
            return 0;
        }
        if (!writer.Write(m_dwAttachmentFrames, m_dwAttachmentCount * sizeof(DWORD))) {
            DebugLog("C3DModel::SaveModel() Failed to write attachment points!");
            return 0;
        }
    }
    std::uint64_t length =
        kAnimationChunkHeaderLength + std::uint64_t{m_dwAnimationCount} * sizeof(DANIMATION);
    if (!WriteTag(writer, VMM_CHUNK_ANIMATION, length) || !writer.WriteU32(m_dwAnimationCount) ||
        !writer.WriteU32(m_dwStartKeyframe) || !writer.WriteU32(m_dwFinalKeyframe) ||
        !writer.WriteU32(m_dwKeyframeExtra)) {
        DebugLog("C3DModel::SaveModel() Failed to save animation chunk!");
        return 0;
    }
    if (m_pAnimations != nullptr &&
        !writer.Write(m_pAnimations, m_dwAnimationCount * sizeof(DANIMATION))) {
        DebugLog("C3DModel::SaveModel() Failed to save animation list!");
        return 0;
    }
    return 1;
}

// The frame chunk, then the frame's parent and key chunks when it has keys, then its
// attachment chunk when it is an attachment.
int C3DModel::SaveFrameChunks(HANDLE file) {
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        C3DModelFrame& frame = *m_pFrames[i];
        if (!frame.SaveFrame(file)) {
            DebugLog("C3DModel::SaveModel() Unable to save frame!");
            return 0;
        }
        // The loader takes only parents loaded before their child: a file it would refuse is
        // never written.
        DWORD parent = frame.GetParentKeyframe();
        if (frame.HasKeys() && parent != kNoIndex && parent >= i) {
            DebugLog("C3DModel::SaveModel() Parent %u of frame %u does not come before it!",
                     static_cast<unsigned>(parent), static_cast<unsigned>(i));
            return 0;
        }
        CFileWriter writer(file);
        if (frame.HasKeys() && (!WriteTag(writer, VMM_CHUNK_KEYFRAME, 8) || !writer.WriteU32(i) ||
                                !writer.WriteU32(parent))) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_KEYFRAME!");
            return 0;
        }
        if (frame.GetPositionKeyframes() != 0 &&
            !WriteKeyChunk(file, VMM_CHUNK_POS_KEYFRAME, i, frame.GetPositionKeyframes(),
                           frame.GetPositionKeys(), frame.GetPositionStartKeyframe(),
                           frame.GetPositionEndKeyframe())) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_POS_KEYFRAME!");
            return 0;
        }
        if (frame.GetRotationKeyframes() != 0 &&
            !WriteKeyChunk(file, VMM_CHUNK_ROT_KEYFRAME, i, frame.GetRotationKeyframes(),
                           frame.GetRotationKeys(), frame.GetRotationStartKeyframe(),
                           frame.GetRotationEndKeyframe())) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_ROT_KEYFRAME!");
            return 0;
        }
        if (frame.GetScaleKeyframes() != 0 &&
            !WriteKeyChunk(file, VMM_CHUNK_SCL_KEYFRAME, i, frame.GetScaleKeyframes(),
                           frame.GetScaleKeys(), frame.GetScaleStartKeyframe(),
                           frame.GetScaleEndKeyframe())) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_SCL_KEYFRAME!");
            return 0;
        }
        if (frame.GetBBoxKeyframes() != 0 &&
            !WriteKeyChunk(file, VMM_CHUNK_BOX_KEYFRAME, i, frame.GetBBoxKeyframes(),
                           frame.GetBBoxKeys(), frame.GetBBoxStartKeyframe(),
                           frame.GetBBoxEndKeyframe())) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_BOX_KEYFRAME!");
            return 0;
        }
        ATTACHMENT_POINT* point = frame.GetAttachment();
        if (point != nullptr &&
            (!WriteTag(writer, VMM_CHUNK_ATTACHMENT, 4 + sizeof(ATTACHMENT_POINT)) ||
             !writer.WriteU32(i) || !writer.WriteRecord(*point))) {
            DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_ATTACHMENT!");
            return 0;
        }
    }
    return 1;
}

int C3DModel::SaveTransformAndBoxes(HANDLE file) {
    CFileWriter writer(file);
    if (!WriteTag(writer, VMM_CHUNK_MAT_TRANSFORM, sizeof(D3DMATRIX)) ||
        !writer.WriteRecord(m_Transform)) {
        DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_MAT_TRANSFORM!");
        return 0;
    }
    if (m_pBoxes != nullptr &&
        (!WriteTag(writer, VMM_CHUNK_BXX_KEYFRAME,
                   4 + std::uint64_t{m_dwBoxCount} * sizeof(DBOX_KEYFRAME)) ||
         !writer.WriteU32(m_dwBoxCount) ||
         !writer.Write(m_pBoxes, m_dwBoxCount * sizeof(DBOX_KEYFRAME)))) {
        DebugLog("C3DModel::SaveModel() Failed to write VMM_CHUNK_BXX_KEYFRAME!");
        return 0;
    }
    return 1;
}

int C3DModel::SaveModel(const char* path) {
    // A file that could not be created shows up as the first failed write.
    HANDLE file = CreateVMM(path);
    char baseDirectory[kPathBufferSize] = "";
    MakeBaseDirectory(baseDirectory, path);
    int result = SaveMaterials(file, baseDirectory) && SaveAttachmentsAndAnimations(file) &&
                 SaveFrameChunks(file) && SaveTransformAndBoxes(file);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return result;
}
