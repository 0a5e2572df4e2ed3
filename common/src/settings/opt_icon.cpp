/*
 * Item pictures: an icon image out of the model file becomes an icon (and,
 * for 256 colours, a palette) through a display device context.  The image
 * is outside input: its header, colour table, colour rows and mask rows are
 * each checked against the image's length before anything is read, and the
 * mask rows are as wide as the image needs, so wide images read nothing
 * past their end.  A core (12-byte) header has 3-byte colour entries, as
 * the bitmap format defines it; the image is turned into a 40-byte header
 * with 4-byte entries before the display sees it.
 */
#include "opt_internal.h"

#include <plat/memory.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kCoreHeaderSize = 12;
constexpr LONG kMaxIconSide = 256;
constexpr DWORD kMaxColours = 256;

/* An image's layout once its header has been read and checked against its length. */
struct IconLayout {
    LONG width = 0;
    LONG rows = 0;        /* colour rows (half the header's height) */
    WORD bits = 0;
    DWORD colours = 0;    /* colour table entries */
    size_t entrySize = 0; /* 3 for a core header, else 4 */
    size_t tableOffset = 0;
    size_t bitsOffset = 0;
    size_t maskOffset = 0;
    size_t colourStride = 0;
    size_t maskStride = 0;
};

DWORD load32(const BYTE *p)
{
    DWORD v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

WORD load16(const BYTE *p)
{
    WORD v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

/* The table's colour count: biClrUsed, or 2^bits up to 8 bits; none above. */
bool colour_count(WORD bits, DWORD used, DWORD *colours)
{
    if (bits > 8) {
        *colours = used <= kMaxColours ? used : 0;
        return used <= kMaxColours;
    }
    *colours = used != 0 ? used : (1u << bits);
    return *colours <= kMaxColours;
}

bool read_layout(const BYTE *image, size_t length, IconLayout *out)
{
    if (image == nullptr || length < kCoreHeaderSize)
        return false;
    IconLayout l;
    const DWORD headerSize = load32(image);
    LONG height = 0;
    DWORD used = 0;
    WORD planes = 0;
    if (headerSize == kCoreHeaderSize) {
        l.width = load16(image + 4);
        height = load16(image + 6);
        planes = load16(image + 8);
        l.bits = load16(image + 10);
        l.entrySize = 3;
    } else {
        if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > length)
            return false;
        BITMAPINFOHEADER h;
        std::memcpy(&h, image, sizeof h);
        if (h.biCompression != BI_RGB)
            return false;
        l.width = h.biWidth;
        height = h.biHeight;
        planes = h.biPlanes;
        l.bits = h.biBitCount;
        used = h.biClrUsed;
        l.entrySize = 4;
    }
    l.rows = height / 2;
    const bool depthOk = l.bits == 1 || l.bits == 4 || l.bits == 8 || l.bits == 24 || l.bits == 32;
    if (!depthOk || planes != 1 || l.width < 1 || l.width > kMaxIconSide || l.rows < 1 || l.rows > kMaxIconSide ||
        !colour_count(l.bits, used, &l.colours))
        return false;
    /* Every size below is small (sides of at most 256, 256 colours); the sum is checked against the length. */
    l.tableOffset = headerSize;
    l.bitsOffset = l.tableOffset + size_t(l.colours) * l.entrySize;
    l.colourStride = (size_t(l.width) * l.bits + 31) / 32 * 4;
    l.maskOffset = l.bitsOffset + l.colourStride * size_t(l.rows);
    l.maskStride = (size_t(l.width) + 31) / 32 * 4;
    if (l.maskOffset + l.maskStride * size_t(l.rows) > length)
        return false;
    *out = l;
    return true;
}

/* A 40-byte header and a table of 4-byte entries for the display, from the checked image. */
std::vector<BYTE> display_info(const BYTE *image, const IconLayout &l)
{
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + size_t(l.colours) * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = l.width;
    h.biHeight = l.rows;
    h.biPlanes = 1;
    h.biBitCount = l.bits;
    h.biCompression = BI_RGB;
    h.biClrUsed = l.colours;
    std::memcpy(info.data(), &h, sizeof h);
    for (DWORD i = 0; i < l.colours; ++i) {
        const BYTE *entry = image + l.tableOffset + size_t(i) * l.entrySize;
        std::memcpy(info.data() + sizeof h + 4 * size_t(i), entry, 3);
    }
    return info;
}

/* The mask rows turned top-down, each cut to the icon's row of (width + 15) / 16 words. */
std::vector<BYTE> icon_mask(const BYTE *image, const IconLayout &l)
{
    const size_t stride = (size_t(l.width) + 15) / 16 * 2;
    std::vector<BYTE> mask(stride * size_t(l.rows), 0);
    for (LONG r = 0; r < l.rows; ++r) {
        const BYTE *src = image + l.maskOffset + size_t(l.rows - 1 - r) * l.maskStride;
        std::memcpy(mask.data() + size_t(r) * stride, src, stride);
    }
    return mask;
}

} // namespace

HPALETTE FID_CreatePalette(const BYTE *info, size_t length)
{
    if (info == nullptr || length < sizeof(BITMAPINFOHEADER))
        return nullptr;
    BITMAPINFOHEADER h;
    std::memcpy(&h, info, sizeof h);
    DWORD colours = 0;
    if (h.biBitCount > 8 || h.biSize < sizeof h || !colour_count(h.biBitCount, h.biClrUsed, &colours) ||
        colours == 0 || h.biSize > length || (length - h.biSize) / sizeof(RGBQUAD) < colours)
        return nullptr;
    std::vector<BYTE> raw(sizeof(LOGPALETTE) + size_t(colours) * sizeof(PALETTEENTRY), 0);
    auto *lp = reinterpret_cast<LOGPALETTE *>(raw.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(colours);
    for (DWORD i = 0; i < colours; ++i) {
        RGBQUAD q;
        std::memcpy(&q, info + h.biSize + 4 * size_t(i), sizeof q);
        const PALETTEENTRY e{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
        std::memcpy(raw.data() + offsetof(LOGPALETTE, palPalEntry) + 4 * size_t(i), &e, sizeof e);
    }
    return CreatePalette(lp);
}

BOOL FID_CreateIconFromImage(HMODULE resources, const BYTE *image, size_t length, HICON *icon, HPALETTE *palette)
{
    if (icon == nullptr || palette == nullptr)
        return FALSE;
    *icon = nullptr;
    *palette = nullptr;
    IconLayout l;
    if (!read_layout(image, length, &l))
        return FALSE;
    const std::vector<BYTE> info = display_info(image, l);
    HDC dc = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    if (dc == nullptr)
        return FALSE;
    HPALETTE pal = nullptr;
    HBITMAP bitmap = nullptr;
    HICON made = nullptr;
    bool ok = true;
    if (l.bits == 8) {
        pal = FID_CreatePalette(info.data(), info.size());
        ok = pal != nullptr && SelectPalette(dc, pal, FALSE) == nullptr && RealizePalette(dc) != GDI_ERROR;
    }
    const auto *header = reinterpret_cast<const BITMAPINFOHEADER *>(info.data());
    if (ok)
        bitmap = CreateDIBitmap(dc, header, 0, nullptr, nullptr, DIB_RGB_COLORS);
    const auto *bmi = reinterpret_cast<const BITMAPINFO *>(info.data());
    ok = ok && bitmap != nullptr &&
         SetDIBits(dc, bitmap, 0, UINT(l.rows), image + l.bitsOffset, bmi, DIB_RGB_COLORS) == l.rows;
    if (ok) {
        std::vector<BYTE> colour(size_t(l.width) * size_t(l.rows) * 4, 0);
        const std::vector<BYTE> mask = icon_mask(image, l);
        ok = GetBitmapBits(bitmap, LONG(colour.size()), colour.data()) == LONG(colour.size());
        if (ok)
            made = CreateIcon(resources, l.width, l.rows, 1, 32, mask.data(), colour.data());
        ok = made != nullptr;
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    DeleteDC(dc);
    if (!ok) {
        if (pal != nullptr)
            DeleteObject(pal);
        return FALSE;
    }
    *icon = made;
    *palette = pal;
    return TRUE;
}
