/*
 * Pictures of a resource module: LoadImageW, LoadIconW and LoadBitmapW.
 * A stored DIB (a bitmap resource, or the colour and mask halves of an icon
 * resource) is checked against the resource's bytes, unpacked into 32-bit
 * pixels, stretched to the size asked for and handed to the raster GDI as
 * bitmaps; an icon is made from its colour and mask with CreateIconIndirect.
 */
#include <plat/controls.h>
#include <plat/error.h>
#include <plat/raster.h>
#include <plat/resource.h>
#include <plat/window.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kMaxIconSide = 256;    /* CreateIconIndirect's limit */
constexpr int kMaxBitmapSide = 4096; /* as CreateDIBitmap: a picture of a page, not a page */
constexpr size_t kInfoSize = 40;

/* A picture unpacked into top-down 0x00RRGGBB pixels. */
struct Pixels {
    int cx = 0;
    int cy = 0;
    std::vector<DWORD> p;
};

size_t rowBytes(int cx, int bits) { return (size_t(cx) * size_t(bits) + 31) / 32 * 4; }

/*
 * Unpacks `rows` bottom-up DIB rows of `cx` pixels at `bits` bits from
 * `data` (at `at`, with the colour table `table` of `colours` entries);
 * false when the rows do not fit in the bytes or an index lies outside the
 * table.
 */
bool unpack(std::span<const BYTE> data, size_t at, int cx, int rows, int bits, const BYTE *table, size_t colours,
            Pixels &out)
{
    const size_t stride = rowBytes(cx, bits);
    if (at > data.size() || (data.size() - at) / stride < size_t(rows))
        return false;
    out.cx = cx;
    out.cy = rows;
    out.p.assign(size_t(cx) * size_t(rows), 0);
    for (int y = 0; y < rows; ++y) {
        const BYTE *row = data.data() + at + size_t(rows - 1 - y) * stride;
        for (int x = 0; x < cx; ++x) {
            DWORD v = 0;
            if (bits >= 24) {
                const BYTE *q = row + size_t(x) * size_t(bits / 8);
                v = DWORD(q[2]) << 16 | DWORD(q[1]) << 8 | q[0];
            } else {
                const size_t bit = size_t(x) * size_t(bits);
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= colours)
                    return false;
                const BYTE *q = table + 4 * size_t(index);
                v = DWORD(q[2]) << 16 | DWORD(q[1]) << 8 | q[0];
            }
            out.p[size_t(y) * size_t(cx) + size_t(x)] = v;
        }
    }
    return true;
}

/* Reads the DIB header at the start of `data`: its size, bit count and colour table; false when malformed. */
bool readHeader(std::span<const BYTE> data, int maxSide, int heightFactor, int &cx, int &cy, int &bits,
                size_t &colours)
{
    if (data.size() < kInfoSize || plat::load_u32(data.data(), 0) != kInfoSize)
        return false;
    const int32_t w = int32_t(plat::load_u32(data.data(), 4)), h = int32_t(plat::load_u32(data.data(), 8));
    const WORD planes = plat::load_u16(data.data(), 12);
    bits = plat::load_u16(data.data(), 14);
    const DWORD compression = plat::load_u32(data.data(), 16), used = plat::load_u32(data.data(), 32);
    if (planes != 1 || compression != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return false;
    if (w < 1 || w > maxSide || h < heightFactor || h > maxSide * heightFactor || h % heightFactor != 0)
        return false;
    cx = w;
    cy = h / heightFactor;
    colours = bits <= 8 ? (used ? size_t(used) : size_t(1) << bits) : 0;
    if (bits <= 8 && colours > (size_t(1) << bits))
        return false;
    return data.size() - kInfoSize >= colours * 4;
}

/* Nearest-pixel stretch of `in` to cx x cy (cx, cy >= 1). */
Pixels stretch(const Pixels &in, int cx, int cy)
{
    if (in.cx == cx && in.cy == cy)
        return in;
    Pixels out;
    out.cx = cx;
    out.cy = cy;
    out.p.resize(size_t(cx) * size_t(cy));
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            out.p[size_t(y) * size_t(cx) + size_t(x)] =
                in.p[size_t(int64_t(y) * in.cy / cy) * size_t(in.cx) + size_t(int64_t(x) * in.cx / cx)];
    return out;
}

/* A 32-bit bitmap of the pixels (BGR in a COLORREF's order: the display's 0x00RRGGBB). */
HBITMAP colourBitmap(const Pixels &px, bool monochrome)
{
    std::vector<DWORD> rows(px.p);
    if (monochrome)
        for (DWORD &v : rows) {
            const unsigned grey = ((v >> 16 & 0xFF) * 30 + (v >> 8 & 0xFF) * 59 + (v & 0xFF) * 11) / 100;
            v = grey >= 128 ? 0xFFFFFF : 0;
        }
    return CreateBitmap(px.cx, px.cy, 1, 32, rows.data());
}

/* A 1-bit bitmap: set where the pixel is non-zero (white = transparent). */
HBITMAP maskBitmap(const Pixels &px)
{
    const size_t stride = size_t((px.cx + 15) / 16 * 2);
    std::vector<BYTE> bits(stride * size_t(px.cy), 0);
    for (int y = 0; y < px.cy; ++y)
        for (int x = 0; x < px.cx; ++x)
            if (px.p[size_t(y) * size_t(px.cx) + size_t(x)])
                bits[size_t(y) * stride + size_t(x) / 8] |= BYTE(0x80 >> (x % 8));
    return CreateBitmap(px.cx, px.cy, 1, 1, bits.data());
}

HANDLE fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

/* The resource's bytes; an empty span (last error set by the resource functions) when absent. */
std::span<const BYTE> resourceBytes(HINSTANCE instance, LPCWSTR name, LPCWSTR type)
{
    HRSRC info = FindResourceW(instance, name, type);
    if (!info)
        return {};
    HGLOBAL data = LoadResource(instance, info);
    const DWORD size = SizeofResource(instance, info);
    if (!data || size == 0)
        return {};
    return {static_cast<const BYTE *>(LockResource(data)), size};
}

HANDLE loadBitmap(std::span<const BYTE> data, int cx, int cy, UINT flags)
{
    int w = 0, h = 0, bits = 0;
    size_t colours = 0;
    Pixels px;
    if (!readHeader(data, kMaxBitmapSide, 1, w, h, bits, colours) ||
        !unpack(data, kInfoSize + colours * 4, w, h, bits, data.data() + kInfoSize, colours, px))
        return fail(ERROR_BAD_FORMAT);
    px = stretch(px, cx ? cx : w, cy ? cy : h);
    return colourBitmap(px, (flags & LR_MONOCHROME) != 0);
}

HANDLE loadIcon(std::span<const BYTE> data, int cx, int cy, UINT flags)
{
    int w = 0, h = 0, bits = 0;
    size_t colours = 0;
    Pixels colour, mask;
    if (!readHeader(data, kMaxIconSide, 2, w, h, bits, colours))
        return fail(ERROR_BAD_FORMAT);
    const size_t colourAt = kInfoSize + colours * 4;
    static const BYTE kMonoTable[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    if (!unpack(data, colourAt, w, h, bits, data.data() + kInfoSize, colours, colour) ||
        !unpack(data, colourAt + rowBytes(w, bits) * size_t(h), w, h, 1, kMonoTable, 2, mask))
        return fail(ERROR_BAD_FORMAT);
    if (flags & LR_DEFAULTSIZE) {
        cx = cx ? cx : GetSystemMetrics(SM_CXICON);
        cy = cy ? cy : GetSystemMetrics(SM_CYICON);
    }
    colour = stretch(colour, cx ? cx : w, cy ? cy : h);
    mask = stretch(mask, colour.cx, colour.cy);
    HBITMAP c = colourBitmap(colour, (flags & LR_MONOCHROME) != 0);
    HBITMAP m = maskBitmap(mask);
    HICON icon = nullptr;
    if (c && m) {
        ICONINFO ii{};
        ii.fIcon = TRUE;
        ii.hbmMask = m;
        ii.hbmColor = c;
        icon = CreateIconIndirect(&ii);
    }
    const DWORD error = GetLastError();
    if (c)
        DeleteObject(c);
    if (m)
        DeleteObject(m);
    SetLastError(error);
    return icon;
}

} // namespace

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags)
{
    if (flags & LR_LOADFROMFILE)
        return fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!instance)
        return fail(ERROR_CALL_NOT_IMPLEMENTED);
    const int maxSide = type == IMAGE_ICON ? kMaxIconSide : kMaxBitmapSide;
    if ((type != IMAGE_ICON && type != IMAGE_BITMAP) || cx < 0 || cy < 0 || cx > maxSide || cy > maxSide)
        return fail(ERROR_INVALID_PARAMETER);
    const std::span<const BYTE> data = resourceBytes(instance, name, type == IMAGE_ICON ? RT_ICON : RT_BITMAP);
    if (data.empty())
        return nullptr;
    return type == IMAGE_ICON ? loadIcon(data, cx, cy, flags) : loadBitmap(data, cx, cy, flags);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name)
{
    return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    return static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, 0));
}
