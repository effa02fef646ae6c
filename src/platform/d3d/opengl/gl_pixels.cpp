#include "platform/d3d/opengl/gl_pixels.h"

namespace platform {

PixelView ArgbView(Argb* pixels, LONG width, LONG height) {
    return PixelView{.bits = reinterpret_cast<BYTE*>(pixels),
                     .pitch = width * 4,
                     .width = width,
                     .height = height,
                     .layout = LayoutOf(Argb8888Format())};
}

void SurfaceToArgb(SoftwareSurface& surface, std::vector<Argb>* pixels) {
    PixelView source = surface.View();
    std::size_t count = static_cast<std::size_t>(source.width) * source.height;
    if (pixels->size() < count) {
        pixels->resize(count);
    }
    ConvertBlock(source, 0, 0, ArgbView(pixels->data(), source.width, source.height), 0, 0,
                 source.width, source.height);
}

void UploadArgbTexture(GLint level, LONG width, LONG height, const Argb* pixels) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
}

} // namespace platform
