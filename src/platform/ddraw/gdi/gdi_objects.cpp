#include "platform/ddraw/gdi/gdi_objects.h"

#include "platform/os/last_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

struct HDC__ {};

namespace platform {
namespace {

// Pixels of DIB sections are capped so that a crafted size cannot exhaust memory.
constexpr std::uint64_t kMaxDibBytes = std::uint64_t{256} << 20;

// A device context: memory contexts draw into their selected bitmap, view contexts into the
// memory they were made for.
struct DeviceContext : HDC__ {
    bool memory = true;
    HBITMAP selected = nullptr;
    PixelView view;
};

enum class ObjectKind { Bitmap, DeviceContext };

struct Registry {
    std::mutex lock;
    std::unordered_map<const void*, ObjectKind> live;
};

Registry& Objects() {
    static Registry* registry = new Registry; // outlives static destructors that free bitmaps
    return *registry;
}

void Register(const void* object, ObjectKind kind) {
    Registry& registry = Objects();
    std::lock_guard guard(registry.lock);
    registry.live[object] = kind;
}

bool Unregister(const void* object, ObjectKind kind) {
    Registry& registry = Objects();
    std::lock_guard guard(registry.lock);
    auto found = registry.live.find(object);
    if (found == registry.live.end() || found->second != kind) {
        return false;
    }
    registry.live.erase(found);
    return true;
}

bool IsLive(const void* object, ObjectKind kind) {
    Registry& registry = Objects();
    std::lock_guard guard(registry.lock);
    auto found = registry.live.find(object);
    if (found != registry.live.end() && found->second == kind) {
        return true;
    }
    SetLastError(EBADF);
    return false;
}

DeviceContext* LookupDC(HDC dc) {
    return IsLive(dc, ObjectKind::DeviceContext) ? static_cast<DeviceContext*>(dc) : nullptr;
}

// What a memory context holds before anything is selected: a 1 x 1 black-and-white bitmap
// that is never destroyed, so it may be selected into any number of contexts.
HBITMAP StockBitmap() {
    static HBITMAP stock = [] {
        auto bitmap = std::make_unique<DibSection>();
        AllocateDibSection(*bitmap, 1, 1, IndexedLayout(1));
        bitmap->colours = {kOpaqueBlack, 0xFFFFFFFFu};
        return RegisterBitmap(std::move(bitmap));
    }();
    return stock;
}

// The pixels a context draws into; empty when its bitmap is gone.
PixelView TargetOf(DeviceContext& dc) {
    if (!dc.memory) {
        return dc.view;
    }
    DibSection* bitmap = LookupBitmap(dc.selected);
    return bitmap != nullptr ? bitmap->View() : PixelView{};
}

// The part of a block that lies inside both views: offsets [first, last) along one axis.
struct Span {
    std::int64_t first;
    std::int64_t last;
};

Span ClipSpan(std::int64_t target, std::int64_t targetSize, std::int64_t source,
              std::int64_t sourceSize, std::int64_t length) {
    return Span{std::max({std::int64_t{0}, -target, -source}),
                std::min({length, targetSize - target, sourceSize - source})};
}

void CopyRows(const PixelView& source, LONG sourceX, LONG sourceY, const PixelView& target, LONG x,
              LONG y, LONG width, LONG height) {
    const std::size_t bytes = static_cast<std::size_t>(width) * (target.layout.bitCount / 8);
    for (LONG row = 0; row < height; ++row) {
        const BYTE* from = source.bits + static_cast<std::ptrdiff_t>(sourceY + row) * source.pitch +
                           static_cast<std::ptrdiff_t>(sourceX) * (source.layout.bitCount / 8);
        BYTE* to = target.bits + static_cast<std::ptrdiff_t>(y + row) * target.pitch +
                   static_cast<std::ptrdiff_t>(x) * (target.layout.bitCount / 8);
        std::memmove(to, from, bytes);
    }
}

// The pixels of a context when (x, y) lies inside them; an empty view otherwise.
PixelView PixelTarget(HDC dc, int x, int y) {
    DeviceContext* context = LookupDC(dc);
    const PixelView view = context != nullptr ? TargetOf(*context) : PixelView{};
    return view.Contains(x, y) ? view : PixelView{};
}

bool Inside(std::int64_t position, LONG size) {
    return position >= 0 && position < size;
}

bool CheckCopy(DeviceContext* target, DeviceContext* source, DWORD rop) {
    if (target == nullptr || source == nullptr) {
        return false;
    }
    if (rop != SRCCOPY) {
        SetLastError(EINVAL);
        return false;
    }
    return true;
}

} // namespace

PixelView DibSection::View() {
    PixelView view;
    view.bits = bits.data();
    view.pitch = pitch;
    view.width = width;
    view.height = height;
    view.layout = layout;
    view.palette = colours.data();
    view.paletteCount = static_cast<DWORD>(colours.size());
    return view;
}

bool AllocateDibSection(DibSection& bitmap, LONG width, LONG height, PixelLayout layout) {
    const LONG pitch = RowPitch(width, layout.bitCount, 4);
    if (width <= 0 || height <= 0 || pitch == 0 ||
        static_cast<std::uint64_t>(pitch) * static_cast<std::uint64_t>(height) > kMaxDibBytes) {
        return false;
    }
    bitmap.width = width;
    bitmap.height = height;
    bitmap.layout = layout;
    bitmap.pitch = pitch;
    bitmap.bits.assign(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height), 0);
    return true;
}

HBITMAP RegisterBitmap(std::unique_ptr<DibSection> bitmap) {
    DibSection* object = bitmap.release();
    Register(object, ObjectKind::Bitmap);
    return reinterpret_cast<HBITMAP>(object);
}

DibSection* LookupBitmap(HGDIOBJ handle) {
    return IsLive(handle, ObjectKind::Bitmap) ? static_cast<DibSection*>(handle) : nullptr;
}

bool DestroyBitmap(HGDIOBJ handle) {
    if (!Unregister(handle, ObjectKind::Bitmap)) {
        SetLastError(EBADF);
        return false;
    }
    delete static_cast<DibSection*>(handle);
    return true;
}

HDC CreateViewDC(const PixelView& view) {
    auto* dc = new DeviceContext;
    dc->memory = false;
    dc->view = view;
    Register(dc, ObjectKind::DeviceContext);
    return dc;
}

} // namespace platform

using namespace platform;

int GetObjectA(HGDIOBJ object, int size, void* out) {
    DibSection* bitmap = LookupBitmap(object);
    if (bitmap == nullptr || out == nullptr || size < static_cast<int>(sizeof(BITMAP))) {
        return 0;
    }
    BITMAP record{};
    record.bmWidth = bitmap->width;
    record.bmHeight = bitmap->height;
    record.bmWidthBytes = bitmap->pitch;
    record.bmPlanes = 1;
    record.bmBitsPixel = static_cast<WORD>(bitmap->layout.bitCount);
    record.bmBits = bitmap->bits.data();
    std::memcpy(out, &record, sizeof(record));
    return sizeof(BITMAP);
}

BOOL DeleteObject(HGDIOBJ object) {
    if (object == StockBitmap()) {
        return TRUE;
    }
    DibSection* bitmap = LookupBitmap(object);
    if (bitmap == nullptr) {
        return FALSE;
    }
    if (bitmap->selectedInto != nullptr) {
        SetLastError(EBUSY);
        return FALSE;
    }
    return DestroyBitmap(object) ? TRUE : FALSE;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc != nullptr) {
        SetLastError(EINVAL);
        return nullptr;
    }
    auto* context = new DeviceContext;
    context->selected = StockBitmap();
    Register(context, ObjectKind::DeviceContext);
    return context;
}

BOOL DeleteDC(HDC dc) {
    DeviceContext* context = LookupDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    if (DibSection* bitmap = LookupBitmap(context->selected);
        bitmap != nullptr && bitmap->selectedInto == dc) {
        bitmap->selectedInto = nullptr;
    }
    Unregister(context, ObjectKind::DeviceContext);
    delete context;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* context = LookupDC(dc);
    DibSection* bitmap = LookupBitmap(object);
    if (context == nullptr || bitmap == nullptr || !context->memory) {
        return nullptr;
    }
    const bool stock = object == StockBitmap();
    if (!stock && bitmap->selectedInto != nullptr && bitmap->selectedInto != dc) {
        SetLastError(EBUSY);
        return nullptr;
    }
    HBITMAP previous = context->selected;
    if (DibSection* old = LookupBitmap(previous); old != nullptr && old->selectedInto == dc) {
        old->selectedInto = nullptr;
    }
    if (!stock) {
        bitmap->selectedInto = dc;
    }
    context->selected = static_cast<HBITMAP>(object);
    return previous;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours) {
    DeviceContext* context = LookupDC(dc);
    DibSection* bitmap = context != nullptr ? LookupBitmap(context->selected) : nullptr;
    if (bitmap == nullptr || colours == nullptr || start >= bitmap->colours.size()) {
        return 0;
    }
    const UINT copied = std::min<UINT>(count, static_cast<UINT>(bitmap->colours.size()) - start);
    for (UINT i = 0; i < copied; ++i) {
        const Argb colour = bitmap->colours[start + i];
        colours[i] = RGBQUAD{static_cast<BYTE>(colour), static_cast<BYTE>(colour >> 8),
                             static_cast<BYTE>(colour >> 16), 0};
    }
    return copied;
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
    DeviceContext* to = LookupDC(target);
    DeviceContext* from = LookupDC(source);
    if (!CheckCopy(to, from, rop)) {
        return FALSE;
    }
    const PixelView targetView = TargetOf(*to);
    const PixelView sourceView = TargetOf(*from);
    const Span columns = ClipSpan(x, targetView.width, sourceX, sourceView.width, width);
    const Span rows = ClipSpan(y, targetView.height, sourceY, sourceView.height, height);
    if (columns.first >= columns.last || rows.first >= rows.last) {
        return TRUE;
    }
    const auto blockWidth = static_cast<LONG>(columns.last - columns.first);
    const auto blockHeight = static_cast<LONG>(rows.last - rows.first);
    const auto targetX = static_cast<LONG>(x + columns.first);
    const auto targetY = static_cast<LONG>(y + rows.first);
    const auto fromX = static_cast<LONG>(sourceX + columns.first);
    const auto fromY = static_cast<LONG>(sourceY + rows.first);
    if (SameColours(sourceView, targetView) && targetView.layout.bitCount >= 8) {
        CopyRows(sourceView, fromX, fromY, targetView, targetX, targetY, blockWidth, blockHeight);
    } else {
        ConvertBlock(sourceView, fromX, fromY, targetView, targetX, targetY, blockWidth,
                     blockHeight);
    }
    return TRUE;
}

BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
    DeviceContext* to = LookupDC(target);
    DeviceContext* from = LookupDC(source);
    if (!CheckCopy(to, from, rop)) {
        return FALSE;
    }
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
        SetLastError(EINVAL);
        return FALSE;
    }
    const PixelView targetView = TargetOf(*to);
    const PixelView sourceView = TargetOf(*from);
    PixelConverter convert(sourceView, targetView);
    for (std::int64_t row = 0; row < height; ++row) {
        const std::int64_t targetY = y + row;
        const std::int64_t fromY = sourceY + row * sourceHeight / height;
        if (!Inside(targetY, targetView.height) || !Inside(fromY, sourceView.height)) {
            continue;
        }
        for (std::int64_t column = 0; column < width; ++column) {
            const std::int64_t targetX = x + column;
            const std::int64_t fromX = sourceX + column * sourceWidth / width;
            if (Inside(targetX, targetView.width) && Inside(fromX, sourceView.width)) {
                WritePixel(targetView, static_cast<LONG>(targetX), static_cast<LONG>(targetY),
                           convert(ReadPixel(sourceView, static_cast<LONG>(fromX),
                                             static_cast<LONG>(fromY))));
            }
        }
    }
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    const PixelView view = PixelTarget(dc, x, y);
    if (view.bits == nullptr) {
        return CLR_INVALID;
    }
    return ColorRefFromArgb(PixelToArgb(view, ReadPixel(view, x, y)));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    const PixelView view = PixelTarget(dc, x, y);
    if (view.bits == nullptr) {
        return CLR_INVALID;
    }
    WritePixel(view, x, y, ArgbToPixel(view, ArgbFromColorRef(colour)));
    return ColorRefFromArgb(PixelToArgb(view, ReadPixel(view, x, y)));
}
