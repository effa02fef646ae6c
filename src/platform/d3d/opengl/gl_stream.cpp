#include "platform/d3d/opengl/gl_stream.h"

#include <cstddef>

namespace platform {
namespace {

void Attribute(GLuint index, GLint size, std::size_t offset) {
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, sizeof(D3DVERTEX),
                          reinterpret_cast<const void*>(offset));
}

} // namespace

GLVertexStream::~GLVertexStream() {
    glDeleteVertexArrays(1, &m_array);
    glDeleteBuffers(1, &m_vertexBuffer);
    glDeleteBuffers(1, &m_indexBuffer);
}

void GLVertexStream::Create() {
    glGenVertexArrays(1, &m_array);
    glBindVertexArray(m_array);
    glGenBuffers(1, &m_vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, m_vertexCapacity, nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &m_indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, m_indexCapacity, nullptr, GL_STREAM_DRAW);
    Attribute(0, 3, offsetof(D3DVERTEX, x));
    Attribute(1, 3, offsetof(D3DVERTEX, nx));
    Attribute(2, 2, offsetof(D3DVERTEX, tu));
}

void GLVertexStream::Bind() {
    glBindVertexArray(m_array);
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
}

GLintptr GLVertexStream::Reserve(GLenum target, GLsizeiptr bytes, GLsizeiptr* capacity,
                                 GLintptr* used) {
    if (*used + bytes > *capacity) {
        while (bytes > *capacity) {
            *capacity *= 2;
        }
        glBufferData(target, *capacity, nullptr, GL_STREAM_DRAW);
        *used = 0;
    }
    GLintptr offset = *used;
    *used += bytes;
    return offset;
}

void GLVertexStream::Draw(const D3DVERTEX* vertices, DWORD vertexCount, const WORD* indices,
                          DWORD indexCount) {
    GLsizeiptr vertexBytes = GLsizeiptr{vertexCount} * GLsizeiptr{sizeof(D3DVERTEX)};
    GLsizeiptr indexBytes = GLsizeiptr{indexCount} * GLsizeiptr{sizeof(WORD)};
    GLintptr vertexOffset = Reserve(GL_ARRAY_BUFFER, vertexBytes, &m_vertexCapacity, &m_vertexUsed);
    glBufferSubData(GL_ARRAY_BUFFER, vertexOffset, vertexBytes, vertices);
    // Index offsets stay even: draws add whole WORDs.
    GLintptr indexOffset =
        Reserve(GL_ELEMENT_ARRAY_BUFFER, indexBytes, &m_indexCapacity, &m_indexUsed);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, indexOffset, indexBytes, indices);
    glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(indexOffset),
                             static_cast<GLint>(vertexOffset / GLintptr{sizeof(D3DVERTEX)}));
}

} // namespace platform
