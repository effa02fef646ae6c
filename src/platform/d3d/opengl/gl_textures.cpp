#include "platform/d3d/opengl/gl_textures.h"

#include "platform/d3d/opengl/gl_pixels.h"

namespace platform {
namespace {

std::uint64_t ChainVersion(const std::vector<SoftwareSurface*>& levels) {
    std::uint64_t version = 0;
    for (const SoftwareSurface* level : levels) {
        version += level->ContentVersion();
    }
    return version;
}

// Makes texels whose raw values lie in the surface's source colour key transparent black.
void ClearKeyedTexels(SoftwareSurface& surface, Argb* pixels) {
    DDCOLORKEY key{};
    if (FAILED(surface.GetColorKey(DDCKEY_SRCBLT, &key))) {
        return;
    }
    PixelView view = surface.View();
    for (LONG y = 0; y < view.height; ++y) {
        for (LONG x = 0; x < view.width; ++x) {
            DWORD value = ReadPixel(view, x, y);
            if (value >= key.dwColorSpaceLowValue && value <= key.dwColorSpaceHighValue) {
                pixels[y * view.width + x] = 0;
            }
        }
    }
}

} // namespace

GLTextureCache::~GLTextureCache() {
    for (auto& [surface, texture] : m_textures) {
        Forget(texture);
    }
}

const GLTexture& GLTextureCache::Prepare(SoftwareSurface* surface, bool colourKey) {
    auto found = m_textures.find(surface);
    if (found == m_textures.end()) {
        found = m_textures.emplace(surface, Mirror(surface)).first;
        Upload(found->second, colourKey);
        return found->second;
    }
    GLTexture& texture = found->second;
    bool keyChanged = texture.hasKey && texture.keyed != colourKey;
    if (keyChanged || ChainVersion(texture.levels) != texture.version) {
        Upload(texture, colourKey);
    }
    return texture;
}

GLTexture GLTextureCache::Mirror(SoftwareSurface* surface) {
    GLTexture texture;
    DDCOLORKEY key{};
    texture.hasKey = SUCCEEDED(surface->GetColorKey(DDCKEY_SRCBLT, &key));
    surface->AddRef();
    texture.levels.push_back(surface);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_MIPMAP;
    IDirectDrawSurface4* next = nullptr;
    while (SUCCEEDED(texture.levels.back()->GetAttachedSurface(&caps, &next))) {
        texture.levels.push_back(SoftwareSurface::From(next));
    }
    glGenTextures(1, &texture.name);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL,
                    static_cast<GLint>(texture.levels.size()) - 1);
    return texture;
}

void GLTextureCache::Upload(GLTexture& texture, bool colourKey) {
    glBindTexture(GL_TEXTURE_2D, texture.name);
    GLint level = 0;
    for (SoftwareSurface* surface : texture.levels) {
        SurfaceToArgb(*surface, &m_staging);
        if (colourKey && texture.hasKey) {
            ClearKeyedTexels(*surface, m_staging.data());
        }
        PixelView view = surface->View();
        UploadArgbTexture(level++, view.width, view.height, m_staging.data());
    }
    texture.version = ChainVersion(texture.levels);
    texture.keyed = colourKey && texture.hasKey;
    ++m_uploads;
}

void GLTextureCache::ReleaseUnused() {
    for (auto entry = m_textures.begin(); entry != m_textures.end();) {
        SoftwareSurface* surface = entry->first;
        surface->AddRef();
        if (surface->Release() == 1) {
            Forget(entry->second);
            entry = m_textures.erase(entry);
        } else {
            ++entry;
        }
    }
}

void GLTextureCache::Forget(GLTexture& texture) {
    glDeleteTextures(1, &texture.name);
    for (SoftwareSurface* level : texture.levels) {
        level->Release();
    }
    texture.levels.clear();
}

} // namespace platform
