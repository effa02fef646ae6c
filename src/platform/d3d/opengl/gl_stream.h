#pragma once

// One vertex buffer and one index buffer that every draw streams into: each draw's arrays go
// behind the previous ones with glBufferSubData, and a full buffer is orphaned and started
// again from its beginning, so that no draw waits for an earlier one.

#include "platform/d3d/d3d_types.h"

#include <epoxy/gl.h>

namespace platform {

class GLVertexStream {
public:
    GLVertexStream() = default;
    GLVertexStream(const GLVertexStream&) = delete;
    GLVertexStream& operator=(const GLVertexStream&) = delete;
    ~GLVertexStream();

    // Creates the buffers and the vertex array describing D3DVERTEX.
    void Create();
    // Binds the vertex array (and with it the index buffer).
    void Bind();
    void Draw(const D3DVERTEX* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount);

private:
    // Where `bytes` more bytes go in `target`'s buffer of `*capacity`, orphaning or growing it.
    static GLintptr Reserve(GLenum target, GLsizeiptr bytes, GLsizeiptr* capacity, GLintptr* used);

    GLuint m_array = 0;
    GLuint m_vertexBuffer = 0;
    GLuint m_indexBuffer = 0;
    GLsizeiptr m_vertexCapacity = 1 << 20;
    GLsizeiptr m_indexCapacity = 1 << 18;
    GLintptr m_vertexUsed = 0;
    GLintptr m_indexUsed = 0;
};

} // namespace platform
