// LoadImageA: the loaded bitmap gets its handle from the bitmap registry.

#include "platform/ddraw/gdi/load_image.h"

HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height,
                  UINT flags) {
    auto bitmap = platform::LoadBitmapImage(instance, name, type, width, height, flags);
    return bitmap != nullptr ? platform::RegisterBitmap(std::move(bitmap)) : nullptr;
}
