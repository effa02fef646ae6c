#include "model/model_frame.h"

#include "engine/debug_log.h"
#include "model/key_track.h"
#include "model/vmm_file.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"
#include "support/memory.h"

#include <cctype>
#include <cstring>

namespace {

constexpr DWORD kIndicesPerFace = 3;
constexpr DWORD kFaceBytes = kIndicesPerFace * sizeof(DWORD);
constexpr DWORD kShortFaceBytes = kIndicesPerFace * sizeof(WORD);
constexpr DWORD kCornerBytes = sizeof(D3DVECTOR);

int LastErrorCode() {
    return static_cast<int>(GetLastError());
}

bool NamesDummy(const char* name) {
    for (std::size_t i = 0; kDummyPrefix[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != kDummyPrefix[i]) {
            return false;
        }
    }
    return true;
}

// A block of count items of itemSize bytes from CMemory, or null (also when its size does not
// fit in 32 bits).
void* AllocateItems(DWORD count, DWORD itemSize) {
    std::uint64_t bytes = std::uint64_t{count} * itemSize;
    return bytes <= 0xFFFFFFFFu ? CMemory::Allocate(static_cast<DWORD>(bytes), 0) : nullptr;
}

void* CopyItems(const void* items, DWORD count, DWORD itemSize) {
    void* copy = AllocateItems(count, itemSize);
    if (copy != nullptr && count != 0) {
        std::memcpy(copy, items, std::size_t{count} * itemSize);
    }
    return copy;
}

// Whether every one of count indices is below limit.
bool AllBelow(const WORD* indices, DWORD count, DWORD limit) {
    for (DWORD i = 0; i < count; ++i) {
        if (indices[i] >= limit) {
            return false;
        }
    }
    return true;
}

// The same for 32-bit indices, four at a time and without an early exit: loading checks every
// face list, and the comparisons of one group do not wait for those of the previous one.
bool AllBelow(const DWORD* indices, DWORD count, DWORD limit) {
    using Index4 = DWORD __attribute__((vector_size(16)));
    using Mask4 = int __attribute__((vector_size(16)));
    const Index4 limit4 = {limit, limit, limit, limit};
    Mask4 outside = {0, 0, 0, 0};
    DWORD i = 0;
    for (; i + 4 <= count; i += 4) {
        Index4 four;
        std::memcpy(&four, indices + i, sizeof four);
        outside |= four >= limit4;
    }
    bool any = (outside[0] | outside[1] | outside[2] | outside[3]) != 0;
    for (; i < count; ++i) {
        any = any || indices[i] >= limit;
    }
    return !any;
}

// Reads count indices in blocks that stay in the first-level cache between being read and
// being checked; inRange tells whether all of them are below limit.
bool ReadIndices(CFileReader& reader, DWORD* indices, DWORD count, DWORD limit, bool& inRange) {
    constexpr DWORD kBlock = 2048;
    inRange = true;
    for (DWORD done = 0; done < count;) {
        DWORD block = count - done < kBlock ? count - done : kBlock;
        if (!reader.Read(indices + done, block * sizeof(DWORD))) {
            return false;
        }
        inRange = AllBelow(indices + done, block, limit) && inRange;
        done += block;
    }
    return true;
}

// Faces as 32-bit indices, whatever their width in memory, in batches through a small buffer.
bool WriteFaceIndices(CFileWriter& writer, const void* faces, DWORD indexCount, bool shortIndices) {
    if (!shortIndices) {
        return writer.Write(faces, indexCount * sizeof(DWORD));
    }
    const auto* narrow = static_cast<const WORD*>(faces);
    DWORD wide[256];
    for (DWORD done = 0; done < indexCount;) {
        DWORD batch = indexCount - done < 256 ? indexCount - done : 256;
        for (DWORD i = 0; i < batch; ++i) {
            wide[i] = narrow[done + i];
        }
        if (!writer.Write(wide, batch * sizeof(DWORD))) {
            return false;
        }
        done += batch;
    }
    return true;
}

} // namespace

C3DModelFrame::C3DModelFrame()
    : m_bAttachment(FALSE), m_Attachment{}, m_bDummy(FALSE), m_bHasChildren(FALSE),
      m_fLastTime(-1.0f), m_AnimationMatrix(g_identityMatrix), m_dwParentIndex(kNoIndex),
      m_dwMaterialIndex(kNoIndex), m_bBoxesValid(FALSE), m_szName{}, m_dwFaceCount(0),
      m_dwVertexCount(0), m_pFaces(nullptr), m_bShortIndices(FALSE), m_pVertices(nullptr) {}

C3DModelFrame::~C3DModelFrame() {
    Deallocate();
}

void C3DModelFrame::FreeFaces() {
    if (m_pFaces != nullptr) {
        CMemory::Deallocate(m_pFaces);
        m_pFaces = nullptr;
    }
    m_dwFaceCount = 0;
    m_bShortIndices = FALSE;
}

void C3DModelFrame::Deallocate() {
    if (m_pVertices != nullptr) {
        CMemory::Deallocate(m_pVertices);
        m_pVertices = nullptr;
    }
    m_dwVertexCount = 0;
    FreeFaces();
    FreeTrack(m_Position);
    FreeTrack(m_Rotation);
    FreeTrack(m_Scale);
    FreeTrack(m_Boxes);
    m_bAttachment = FALSE;
    m_bDummy = NamesDummy(m_szName);
    m_dwMaterialIndex = kNoIndex;
    m_dwParentIndex = kNoIndex;
    m_fLastTime = -1.0f;
    m_AnimationMatrix = g_identityMatrix;
}

void C3DModelFrame::SetName(const char* name) {
    std::size_t length = strnlen(name, kFrameNameSize - 2);
    std::memcpy(m_szName, name, length);
    std::memset(m_szName + length, 0, kFrameNameSize - length);
    m_bDummy = NamesDummy(m_szName);
}

void C3DModelFrame::SetAttachment(const ATTACHMENT_POINT* point) {
    m_Attachment = *point;
    m_bAttachment = TRUE;
}

ATTACHMENT_POINT* C3DModelFrame::GetAttachment() {
    if (!m_bAttachment) {
        return nullptr;
    }
    // Fewer than three vertices define no face: the stored point stands.
    if (m_dwVertexCount < 3) {
        return &m_Attachment;
    }
    D3DVECTOR placed[3];
    D3DVECTOR sum(0.0f);
    for (DWORD i = 0; i < m_dwVertexCount; ++i) {
        const D3DVERTEX& v = m_pVertices[i];
        D3DVECTOR point = TransformVector(D3DVECTOR(v.x, v.y, v.z), m_AnimationMatrix);
        if (i < 3) {
            placed[i] = point;
        }
        sum = sum + point;
    }
    m_Attachment.vPosition = sum / static_cast<float>(m_dwVertexCount);
    m_Attachment.vNormal = CalculateFaceNormal(placed[0], placed[1], placed[2]);
    return &m_Attachment;
}

int C3DModelFrame::SetVertices(const D3DVERTEX* vertices, DWORD count) {
    Deallocate();
    if (count != 0) {
        m_pVertices = static_cast<D3DVERTEX*>(CopyItems(vertices, count, sizeof(D3DVERTEX)));
        if (m_pVertices == nullptr) {
            DebugLog("C3DModelFrame::SetVertices() Failure to allocate memory!");
            return 0;
        }
    }
    m_dwVertexCount = count;
    m_bBoxesValid = FALSE;
    return 1;
}

int C3DModelFrame::SetFaces(const DWORD* indices, DWORD count) {
    FreeFaces();
    if (count != 0) {
        m_pFaces = CopyItems(indices, count, kFaceBytes);
        if (m_pFaces == nullptr) {
            DebugLog("C3DModelFrame::SetFaces() Failure to allocate memory!");
            return 0;
        }
    }
    m_dwFaceCount = count;
    return 1;
}

int C3DModelFrame::SetPositionKeys(DWORD count, const DPOS_KEYFRAME* keys, DWORD start, DWORD end) {
    m_fLastTime = -1.0f;
    if (!CopyTrack(m_Position, count, keys, start, end)) {
        DebugLog("C3DModelFrame::SetPositionKeys() Failed to allocate memory for %d position "
                 "keys.",
                 static_cast<int>(count));
        return 0;
    }
    return 1;
}

int C3DModelFrame::SetRotationKeys(DWORD count, const DROT_KEYFRAME* keys, DWORD start, DWORD end) {
    m_fLastTime = -1.0f;
    if (!CopyTrack(m_Rotation, count, keys, start, end)) {
        DebugLog("C3DModelFrame::SetRotationKeys() Failed to allocate memory for %d Rotation "
                 "keys.",
                 static_cast<int>(count));
        return 0;
    }
    return 1;
}

int C3DModelFrame::SetScaleKeys(DWORD count, const DSCL_KEYFRAME* keys, DWORD start, DWORD end) {
    m_fLastTime = -1.0f;
    if (!CopyTrack(m_Scale, count, keys, start, end)) {
        DebugLog("C3DModelFrame::SetScaleKeys() Failed to allocate memory for %d Scale keys",
                 static_cast<int>(count));
        return 0;
    }
    return 1;
}

int C3DModelFrame::SetBBoxKeyframes(DWORD count, const DBOX_KEYFRAME* keys, DWORD start,
                                    DWORD end) {
    m_fLastTime = -1.0f;
    if (m_bDummy) {
        FreeTrack(m_Boxes);
        return 1;
    }
    if (!CopyTrack(m_Boxes, count, keys, start, end)) {
        DebugLog("C3DModelFrame::SetBBoxKeyframes() Failed to allocate memory for %d keys",
                 static_cast<int>(count));
        return 0;
    }
    return 1;
}

DPOS_KEYFRAME* C3DModelFrame::GetPositionKeyframe(DWORD i) {
    return i < m_Position.dwCount ? &m_Position.pKeys[i] : nullptr;
}

DROT_KEYFRAME* C3DModelFrame::GetRotationKeyframe(DWORD i) {
    return i < m_Rotation.dwCount ? &m_Rotation.pKeys[i] : nullptr;
}

DSCL_KEYFRAME* C3DModelFrame::GetScaleKeyframe(DWORD i) {
    return i < m_Scale.dwCount ? &m_Scale.pKeys[i] : nullptr;
}

bool C3DModelFrame::HasKeys() const {
    return m_Position.dwCount != 0 || m_Rotation.dwCount != 0 || m_Scale.dwCount != 0 ||
           m_Boxes.dwCount != 0;
}

void C3DModelFrame::Transform(const D3DMATRIX& matrix) {
    for (DWORD i = 0; i < m_dwVertexCount; ++i) {
        D3DVERTEX& v = m_pVertices[i];
        D3DVECTOR position = TransformVector(D3DVECTOR(v.x, v.y, v.z), matrix);
        D3DVECTOR normal = TransformVector(D3DVECTOR(v.nx, v.ny, v.nz), matrix);
        v.x = position.x;
        v.y = position.y;
        v.z = position.z;
        v.nx = normal.x;
        v.ny = normal.y;
        v.nz = normal.z;
    }
    if (m_bAttachment) {
        m_Attachment.vPosition = TransformVector(m_Attachment.vPosition, matrix);
        m_Attachment.vNormal = TransformVector(m_Attachment.vNormal, matrix);
    }
}

void C3DModelFrame::Translate(float dx, float dy, float dz) {
    for (DWORD i = 0; i < m_dwVertexCount; ++i) {
        m_pVertices[i].x += dx;
        m_pVertices[i].y += dy;
        m_pVertices[i].z += dz;
    }
    if (m_bAttachment) {
        m_Attachment.vPosition = m_Attachment.vPosition + D3DVECTOR(dx, dy, dz);
    }
}

int C3DModelFrame::ConvertIndices(unsigned short* /*scratch*/) {
    if (m_dwFaceCount == 0 || m_bShortIndices) {
        return 1;
    }
    auto* narrow = static_cast<WORD*>(AllocateItems(m_dwFaceCount, kShortFaceBytes));
    if (narrow == nullptr) {
        DebugLog("C3DModelFrame::ConvertIndices() Failed to allocate memory!");
        return 0;
    }
    const auto* wide = static_cast<const DWORD*>(m_pFaces);
    for (DWORD i = 0; i < m_dwFaceCount * kIndicesPerFace; ++i) {
        if (wide[i] > 0xFFFF) {
            DebugLog("C3DModelFrame::ConvertIndices() Index %u does not fit in 16 bits!",
                     static_cast<unsigned>(wide[i]));
            CMemory::Deallocate(narrow);
            return 0;
        }
        narrow[i] = static_cast<WORD>(wide[i]);
    }
    CMemory::Deallocate(m_pFaces);
    m_pFaces = narrow;
    m_bShortIndices = TRUE;
    return 1;
}

bool C3DModelFrame::FacesNameOwnVertices() const {
    DWORD count = m_dwFaceCount * kIndicesPerFace;
    return m_bShortIndices ? AllBelow(static_cast<const WORD*>(m_pFaces), count, m_dwVertexCount)
                           : AllBelow(static_cast<const DWORD*>(m_pFaces), count, m_dwVertexCount);
}

// Vertices and faces of a frame chunk; counts are checked against what the file still holds
// before anything is allocated for them.
int C3DModelFrame::ReadMesh(CFileReader& reader) {
    if (!reader.ReadU32(m_dwVertexCount)) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to read vertex count. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (m_dwVertexCount != 0) {
        if (!reader.Require(m_dwVertexCount, sizeof(D3DVERTEX))) {
            DebugLog("C3DModelFrame::LoadFrame() Failed to read vertices. Error=%d!\n",
                     LastErrorCode());
            return 0;
        }
        if (m_dwVertexCount > kMaxFrameVertices) {
            DebugLog("C3DModelFrame::LoadFrame() %u vertices are more than 16-bit indices "
                     "reach!\n",
                     static_cast<unsigned>(m_dwVertexCount));
            return 0;
        }
        m_pVertices = static_cast<D3DVERTEX*>(AllocateItems(m_dwVertexCount, sizeof(D3DVERTEX)));
        if (m_pVertices == nullptr) {
            DebugLog("C3DModelFrame::LoadFrame() Failed to allocate vertex memory!\n");
            return 0;
        }
        if (!reader.Read(m_pVertices, m_dwVertexCount * sizeof(D3DVERTEX))) {
            DebugLog("C3DModelFrame::LoadFrame() Failed to read vertices. Error=%d!\n",
                     LastErrorCode());
            return 0;
        }
    }
    if (!reader.ReadU32(m_dwFaceCount)) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to read face count. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (m_dwFaceCount == 0) {
        return 1;
    }
    if (!reader.Require(m_dwFaceCount, kFaceBytes)) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to read faces. Error=%d!\n", LastErrorCode());
        return 0;
    }
    m_pFaces = AllocateItems(m_dwFaceCount, kFaceBytes);
    if (m_pFaces == nullptr) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to allocate face list!\n");
        return 0;
    }
    bool inRange = true;
    if (!ReadIndices(reader, static_cast<DWORD*>(m_pFaces), m_dwFaceCount * kIndicesPerFace,
                     m_dwVertexCount, inRange)) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to read faces. Error=%d!\n", LastErrorCode());
        return 0;
    }
    if (!inRange) {
        DebugLog("C3DModelFrame::LoadFrame() Face index beyond the %u vertices!\n",
                 static_cast<unsigned>(m_dwVertexCount));
        return 0;
    }
    return 1;
}

int C3DModelFrame::LoadFrame(CFileReader& reader) {
    Deallocate();
    bool nameRead = reader.Read(m_szName, kFrameNameSize);
    m_szName[kFrameNameSize - 1] = '\0';
    m_bDummy = NamesDummy(m_szName);
    if (!nameRead) {
        DebugLog("C3DModelFrame::LoadFrame() Failed to read frame name. Error=%d!\n",
                 LastErrorCode());
        Deallocate();
        return 0;
    }
    if (!ReadMesh(reader)) {
        Deallocate();
        return 0;
    }
    const char* failure = nullptr;
    char corner[kCornerBytes];
    if (!reader.Read(corner, kCornerBytes)) {
        failure = "C3DModelFrame::LoadFrame() Failed to read min bbox. Error=%d!\n";
    } else if (!reader.Read(corner, kCornerBytes)) {
        failure = "C3DModelFrame::LoadFrame() Failed to read max bbox. Error=%d!\n";
    } else if (!reader.ReadU32(m_dwMaterialIndex)) {
        failure = "C3DModelFrame::LoadFrame() Failed to read material index. Error=%d!\n";
    }
    if (failure != nullptr) {
        DebugLog(failure, LastErrorCode());
        Deallocate();
        return 0;
    }
    m_bBoxesValid = FALSE;
    m_fLastTime = -1.0f;
    return 1;
}

int C3DModelFrame::SaveFrame(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        DebugLog("C3DModelFrame::SaveFrame() Invalid file handle supplied!");
        return 0;
    }
    if ((m_dwVertexCount == 0 || m_dwFaceCount == 0) && !NamesDummy(m_szName)) {
        DebugLog("C3DModelFrame::SaveFrame() Invalid number of vertices/faces for non-dummy "
                 "frame!");
        return 0;
    }
    // A file the loader would refuse is never written.
    if (!FacesNameOwnVertices()) {
        DebugLog("C3DModelFrame::SaveFrame() Face index beyond the %u vertices!",
                 static_cast<unsigned>(m_dwVertexCount));
        return 0;
    }
    std::uint64_t length = kFrameChunkFixedLength +
                           std::uint64_t{m_dwVertexCount} * sizeof(D3DVERTEX) +
                           std::uint64_t{m_dwFaceCount} * kFaceBytes;
    CFileWriter writer(file);
    const char* failure = nullptr;
    if (length > 0xFFFFFFFFu || !writer.WriteU32(VMM_CHUNK_FRAME) ||
        !writer.WriteU32(static_cast<DWORD>(length))) {
        failure = "C3DModelFrame::SaveFrame() Failed to write chunk tag. Error=%d!\n";
    } else if (!writer.Write(m_szName, kFrameNameSize)) {
        failure = "C3DModelFrame::SaveFrame() Failed to write frame name. Error=%d!\n";
    } else if (!writer.WriteU32(m_dwVertexCount)) {
        failure = "C3DModelFrame::SaveFrame() Failed to Write vertex count. Error=%d!\n";
    } else if (!writer.Write(m_pVertices, m_dwVertexCount * sizeof(D3DVERTEX))) {
        failure = "C3DModelFrame::SaveFrame() Failed to vertices. Error=%d!\n";
    } else if (!writer.WriteU32(m_dwFaceCount)) {
        failure = "C3DModelFrame::SaveFrame() Failed to Write face count. Error=%d!\n";
    } else if (!WriteFaceIndices(writer, m_pFaces, m_dwFaceCount * kIndicesPerFace,
                                 m_bShortIndices)) {
        failure = "C3DModelFrame::SaveFrame() Failed to Write faces. Error=%d!\n";
    } else if (!writer.WriteZeros(kCornerBytes)) {
        failure = "C3DModelFrame::SaveFrame() Failed to write min bbox. Error=%d!\n";
    } else if (!writer.WriteZeros(kCornerBytes)) {
        failure = "C3DModelFrame::SaveFrame() Failed to write max bbox. Error=%d!\n";
    } else if (!writer.WriteU32(m_dwMaterialIndex)) {
        failure = "C3DModelFrame::SaveFrame() Failed to write material index. Error=%d!\n";
    }
    if (failure != nullptr) {
        DebugLog(failure, LastErrorCode());
        return 0;
    }
    return 1;
}
