#pragma once

// OpenGL copies of texture surfaces. A surface is uploaded, with its mipmap chain, the first
// time it is drawn with, and again whenever the content of one of its levels or its palette
// changed or it is drawn with the colour key switched the other way (keyed texels are uploaded
// transparent).
// The cache holds a reference to each surface it mirrors and lets go of those nobody else
// holds any more when asked.

#include "platform/ddraw/software/software_ddraw.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace platform {

struct GLTexture {
    GLuint name = 0;
    std::vector<SoftwareSurface*> levels; // held
    std::uint64_t version = 0;            // the levels' content versions added up
    bool keyed = false;                   // uploaded with the colour key applied
    bool hasKey = false;                  // the surface has a source colour key
};

class GLTextureCache {
public:
    GLTextureCache() = default;
    GLTextureCache(const GLTextureCache&) = delete;
    GLTextureCache& operator=(const GLTextureCache&) = delete;
    ~GLTextureCache();

    // The up-to-date copy of `surface`; uploading binds it to GL_TEXTURE_2D of the active
    // unit, and UploadCount tells when that happened.
    const GLTexture& Prepare(SoftwareSurface* surface, bool colourKey);
    // Forgets the surfaces only the cache still holds.
    void ReleaseUnused();
    // How many times surfaces were uploaded.
    std::uint64_t UploadCount() const { return m_uploads; }

private:
    GLTexture Mirror(SoftwareSurface* surface);
    void Upload(GLTexture& texture, bool colourKey);
    static void Forget(GLTexture& texture);

    std::unordered_map<SoftwareSurface*, GLTexture> m_textures;
    std::vector<Argb> m_staging;
    std::uint64_t m_uploads = 0;
};

} // namespace platform
