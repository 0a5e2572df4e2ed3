/*
 * Memory-only GDI objects (see plat/gdi_objects.h): display contexts,
 * logical palettes, 32-bit device-dependent bitmaps and icons, kept in one
 * table under one lock and keyed by handle numbers that are never reused
 * (a reset empties the table but the counter runs on).
 */
#include "gdi_display.h"

#include <plat/error.h>
#include <plat/gdi_objects.h>
#include <plat/machine.h>
#include <plat/raster.h>
#include <plat/text.h>
#include <plat/window.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <variant>
#include <vector>

namespace {

constexpr uintptr_t kFirstHandle = 0xA0000000u;
constexpr LONG kMaxBitmapSide = 4096;
constexpr int kMaxIconSide = 256;
constexpr DWORD kDisplayBytesPerPixel = 4;

struct DisplayDc {
    uintptr_t palette = 0; /* the selected palette, 0 for none */
};

struct Palette {
    std::vector<PALETTEENTRY> entries;
};

using Bitmap = plat::gdi::BitmapData;
using Raster = std::shared_ptr<plat::gdi::RasterObject>;

struct Icon {
    plat::GdiIconInfo info;
};

using Object = std::variant<DisplayDc, Palette, Bitmap, Icon, Raster>;

struct Table {
    std::mutex lock;
    uintptr_t next = kFirstHandle;
    std::map<uintptr_t, Object> objects;
};

Table &table()
{
    static Table *t = new Table;
    return *t;
}

template <typename H>
uintptr_t key(H h)
{
    return reinterpret_cast<uintptr_t>(h);
}

template <typename H>
H handle(uintptr_t id)
{
    return reinterpret_cast<H>(id);
}

/* The object of `id` as a `T`, or null; call with the lock held. */
template <typename T>
T *find(Table &t, uintptr_t id)
{
    auto it = t.objects.find(id);
    return it == t.objects.end() ? nullptr : std::get_if<T>(&it->second);
}

template <typename H, typename T>
H add(T &&object)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const uintptr_t id = t.next++;
    t.objects.emplace(id, Object(std::forward<T>(object)));
    return handle<H>(id);
}

template <typename T>
bool remove(uintptr_t id)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (find<T>(t, id) == nullptr)
        return false;
    t.objects.erase(id);
    return true;
}

template <typename T>
T fail(DWORD error, T answer)
{
    SetLastError(error);
    return answer;
}

void reset_objects()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.objects.clear();
}

const bool registered = (plat::machine_on_reset(reset_objects), true);

/* A raster context (memory or window) of `id`; call with the lock held. */
bool is_raster_dc(Table &t, uintptr_t id)
{
    const Raster *r = find<Raster>(t, id);
    return r != nullptr && ((*r)->objectType() == OBJ_DC || (*r)->objectType() == OBJ_MEMDC);
}

/* Bytes of one packed DIB row of `width` pixels of `bits` bits, padded to 4 bytes. */
size_t dib_stride(LONG width, WORD bits)
{
    return ((size_t(width) * bits + 31) / 32) * 4;
}

/* The colour of pixel `x` of one stored DIB row, as BGRX. */
DWORD dib_pixel(const BYTE *row, LONG x, WORD bits, const std::vector<DWORD> &table)
{
    auto indexed = [&](DWORD index) { return index < table.size() ? table[index] : 0u; };
    switch (bits) {
    case 1:
        return indexed((row[x / 8] >> (7 - x % 8)) & 1u);
    case 4:
        return indexed((row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFu);
    case 8:
        return indexed(row[x]);
    case 24:
        return DWORD(row[3 * x]) | DWORD(row[3 * x + 1]) << 8 | DWORD(row[3 * x + 2]) << 16;
    default: /* 32 */
        return DWORD(row[4 * x]) | DWORD(row[4 * x + 1]) << 8 | DWORD(row[4 * x + 2]) << 16;
    }
}

bool supported_dib(const BITMAPINFOHEADER &h)
{
    const bool bitsOk = h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 24 ||
                        h.biBitCount == 32;
    return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biCompression == BI_RGB && bitsOk && h.biWidth > 0 &&
           h.biWidth <= kMaxBitmapSide && h.biHeight != 0 && h.biHeight >= -kMaxBitmapSide &&
           h.biHeight <= kMaxBitmapSide;
}

/*
 * The DIB's colour table as BGRX values: RGBQUADs, or indexes into the
 * palette selected into the display context `dc` (none: all black).
 */
std::vector<DWORD> colour_table(Table &t, const BITMAPINFO *bmi, UINT usage, uintptr_t dc)
{
    const BITMAPINFOHEADER &h = bmi->bmiHeader;
    DWORD count = h.biClrUsed;
    if (count == 0 && h.biBitCount <= 8)
        count = 1u << h.biBitCount;
    if (h.biBitCount > 8)
        return {};
    if (count > 256)
        count = 256;
    const BYTE *raw = reinterpret_cast<const BYTE *>(bmi) + h.biSize;
    std::vector<DWORD> colours(count, 0);
    const Palette *palette = nullptr;
    if (usage == DIB_PAL_COLORS) {
        const DisplayDc *d = find<DisplayDc>(t, dc);
        const Raster *r = find<Raster>(t, dc);
        const uintptr_t selected = d != nullptr ? d->palette : r != nullptr ? (*r)->palette : 0;
        palette = find<Palette>(t, selected);
    }
    for (DWORD i = 0; i < count; ++i) {
        if (usage == DIB_RGB_COLORS) {
            RGBQUAD q;
            std::memcpy(&q, raw + 4 * i, sizeof q);
            colours[i] = DWORD(q.rgbBlue) | DWORD(q.rgbGreen) << 8 | DWORD(q.rgbRed) << 16;
        } else {
            WORD index = 0;
            std::memcpy(&index, raw + 2 * i, sizeof index);
            if (palette != nullptr && index < palette->entries.size()) {
                const PALETTEENTRY &e = palette->entries[index];
                colours[i] = DWORD(e.peBlue) | DWORD(e.peGreen) << 8 | DWORD(e.peRed) << 16;
            }
        }
    }
    return colours;
}

/* SetDIBits with the table's lock held. */
int set_bits(Table &t, uintptr_t dc, Bitmap &bm, UINT start, UINT lines, const void *bits, const BITMAPINFO *bmi,
             UINT usage)
{
    const BITMAPINFOHEADER &h = bmi->bmiHeader;
    const LONG rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (start >= UINT(rows))
        return 0;
    if (lines > UINT(rows) - start)
        lines = UINT(rows) - start;
    const std::vector<DWORD> colours = colour_table(t, bmi, usage, dc);
    const size_t stride = dib_stride(h.biWidth, h.biBitCount);
    const LONG width = std::min(h.biWidth, bm.width);
    for (UINT i = 0; i < lines; ++i) {
        const LONG stored = LONG(start + i);
        const LONG y = h.biHeight > 0 ? rows - 1 - stored : stored;
        if (y < 0 || y >= bm.height)
            continue;
        const BYTE *row = static_cast<const BYTE *>(bits) + size_t(i) * stride;
        BYTE *out = bm.bits.data() + size_t(y) * size_t(bm.width) * kDisplayBytesPerPixel;
        for (LONG x = 0; x < width; ++x) {
            const DWORD c = dib_pixel(row, x, h.biBitCount, colours);
            std::memcpy(out + size_t(x) * kDisplayBytesPerPixel, &c, kDisplayBytesPerPixel);
        }
    }
    return int(lines);
}

} // namespace

namespace plat::gdi {

uintptr_t reserve_handle()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.next++;
}

bool is_display_driver(LPCWSTR driver)
{
    return driver != nullptr && lstrcmpiW(driver, u"DISPLAY") == 0;
}

HDC create_display_dc()
{
    return add<HDC>(DisplayDc{});
}

bool delete_display_dc(HDC hdc)
{
    return remove<DisplayDc>(key(hdc)) || raster_delete_dc(hdc);
}

bool is_display_dc(HDC hdc)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return find<DisplayDc>(t, key(hdc)) != nullptr;
}

BitmapData *bitmap_data(HBITMAP h)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return find<Bitmap>(t, key(h));
}

HBITMAP add_bitmap(BitmapData &&bitmap)
{
    return add<HBITMAP>(std::move(bitmap));
}

bool remove_bitmap(HBITMAP h)
{
    return remove<Bitmap>(key(h));
}

HGDIOBJ add_raster(std::shared_ptr<RasterObject> object)
{
    return add<HGDIOBJ>(Raster(std::move(object)));
}

std::shared_ptr<RasterObject> raster_object(HGDIOBJ h)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Raster *r = find<Raster>(t, key(h));
    return r != nullptr ? *r : nullptr;
}

bool remove_raster(HGDIOBJ h)
{
    return remove<Raster>(key(h));
}

const std::vector<PALETTEENTRY> *palette_data(HPALETTE h)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Palette *p = find<Palette>(t, key(h));
    return p != nullptr ? &p->entries : nullptr;
}

bool display_caps(HDC hdc, int index, int *answer)
{
    bool display = false;
    {
        Table &t = table();
        std::lock_guard<std::mutex> g(t.lock);
        display = find<DisplayDc>(t, key(hdc)) != nullptr;
    }
    if (!display)
        return raster_caps(hdc, index, answer);
    switch (index) {
    case TECHNOLOGY: *answer = DT_RASDISPLAY; break;
    case BITSPIXEL: *answer = 32; break;
    case PLANES: *answer = 1; break;
    case HORZRES: *answer = 1024; break;
    case VERTRES: *answer = 768; break;
    case LOGPIXELSX:
    case LOGPIXELSY: *answer = plat::window_dpi(); break;
    default: *answer = 0; break;
    }
    return true;
}

} // namespace plat::gdi

HPALETTE CreatePalette(const LOGPALETTE *lplgpl)
{
    if (lplgpl == nullptr || lplgpl->palVersion != 0x300 || lplgpl->palNumEntries == 0 ||
        lplgpl->palNumEntries > 256)
        return fail<HPALETTE>(ERROR_INVALID_PARAMETER, nullptr);
    Palette p;
    p.entries.assign(lplgpl->palPalEntry, lplgpl->palPalEntry + lplgpl->palNumEntries);
    return add<HPALETTE>(std::move(p));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE hpal, BOOL)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    DisplayDc *dc = find<DisplayDc>(t, key(hdc));
    Raster *r = is_raster_dc(t, key(hdc)) ? find<Raster>(t, key(hdc)) : nullptr;
    if ((dc == nullptr && r == nullptr) || find<Palette>(t, key(hpal)) == nullptr)
        return fail<HPALETTE>(ERROR_INVALID_HANDLE, nullptr);
    uintptr_t &slot = dc != nullptr ? dc->palette : (*r)->palette;
    const uintptr_t previous = slot;
    slot = key(hpal);
    return handle<HPALETTE>(previous);
}

UINT RealizePalette(HDC hdc)
{
    if (plat::gdi::raster_object(hdc) != nullptr)
        return plat::gdi::raster_realize(hdc);
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    DisplayDc *dc = find<DisplayDc>(t, key(hdc));
    const Palette *p = dc != nullptr ? find<Palette>(t, dc->palette) : nullptr;
    return p != nullptr ? UINT(p->entries.size()) : fail<UINT>(ERROR_INVALID_HANDLE, GDI_ERROR);
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER *lpbmih, DWORD fdwInit, const void *lpbInit,
                       const BITMAPINFO *lpbmi, UINT fuUsage)
{
    if (lpbmih == nullptr || !supported_dib(*lpbmih))
        return fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    const bool init = (fdwInit & CBM_INIT) != 0;
    if (init && (lpbInit == nullptr || lpbmi == nullptr || !supported_dib(lpbmi->bmiHeader)))
        return fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (find<DisplayDc>(t, key(hdc)) == nullptr && !is_raster_dc(t, key(hdc)))
        return fail<HBITMAP>(ERROR_INVALID_HANDLE, nullptr);
    Bitmap bm;
    bm.width = lpbmih->biWidth;
    bm.height = lpbmih->biHeight < 0 ? -lpbmih->biHeight : lpbmih->biHeight;
    bm.bits.assign(size_t(bm.width) * size_t(bm.height) * kDisplayBytesPerPixel, 0);
    if (init) {
        const LONG rows = lpbmi->bmiHeader.biHeight < 0 ? -lpbmi->bmiHeader.biHeight : lpbmi->bmiHeader.biHeight;
        set_bits(t, key(hdc), bm, 0, UINT(rows), lpbInit, lpbmi, fuUsage);
    }
    const uintptr_t id = t.next++;
    t.objects.emplace(id, Object(std::move(bm)));
    return handle<HBITMAP>(id);
}

int SetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, const void *lpvBits, const BITMAPINFO *lpbmi,
              UINT fuColorUse)
{
    if (lpvBits == nullptr || lpbmi == nullptr || !supported_dib(lpbmi->bmiHeader) ||
        (fuColorUse != DIB_RGB_COLORS && fuColorUse != DIB_PAL_COLORS))
        return fail<int>(ERROR_INVALID_PARAMETER, 0);
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Bitmap *bm = find<Bitmap>(t, key(hbmp));
    if (bm == nullptr || (find<DisplayDc>(t, key(hdc)) == nullptr && !is_raster_dc(t, key(hdc))))
        return fail<int>(ERROR_INVALID_HANDLE, 0);
    return set_bits(t, key(hdc), *bm, uStartScan, cScanLines, lpvBits, lpbmi, fuColorUse);
}

LONG GetBitmapBits(HBITMAP hbmp, LONG cbBuffer, void *lpvBits)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Bitmap *bm = find<Bitmap>(t, key(hbmp));
    if (bm == nullptr || lpvBits == nullptr || cbBuffer <= 0)
        return fail<LONG>(ERROR_INVALID_PARAMETER, 0);
    const size_t n = std::min(size_t(cbBuffer), bm->bits.size());
    std::memcpy(lpvBits, bm->bits.data(), n);
    return LONG(n);
}

HICON CreateIcon(HINSTANCE hInstance, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel, const BYTE *lpbANDbits,
                 const BYTE *lpbXORbits)
{
    const bool bitsOk = cBitsPixel == 1 || cBitsPixel == 4 || cBitsPixel == 8 || cBitsPixel == 16 ||
                        cBitsPixel == 24 || cBitsPixel == 32;
    if (nWidth < 1 || nWidth > kMaxIconSide || nHeight < 1 || nHeight > kMaxIconSide || cPlanes != 1 || !bitsOk ||
        lpbANDbits == nullptr || lpbXORbits == nullptr)
        return fail<HICON>(ERROR_INVALID_PARAMETER, nullptr);
    Icon icon;
    icon.info.width = nWidth;
    icon.info.height = nHeight;
    icon.info.bitsPixel = cBitsPixel;
    icon.info.instance = hInstance;
    const size_t andBytes = size_t((nWidth + 15) / 16 * 2) * size_t(nHeight);
    const size_t xorBytes = ((size_t(nWidth) * cBitsPixel + 15) / 16 * 2) * size_t(nHeight);
    icon.info.andBits.assign(lpbANDbits, lpbANDbits + andBytes);
    icon.info.xorBits.assign(lpbXORbits, lpbXORbits + xorBytes);
    return add<HICON>(std::move(icon));
}

BOOL DestroyIcon(HICON hIcon)
{
    return remove<Icon>(key(hIcon)) ? TRUE : fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
}

BOOL DeleteObject(HGDIOBJ ho)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const uintptr_t id = key(ho);
    if (const Raster *r = find<Raster>(t, id)) {
        /* Stock objects stay; contexts are deleted with DeleteDC. */
        if ((*r)->stock)
            return TRUE;
        if ((*r)->objectType() == OBJ_DC || (*r)->objectType() == OBJ_MEMDC)
            return fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
        t.objects.erase(id);
        return TRUE;
    }
    const Bitmap *bm = find<Bitmap>(t, id);
    if ((bm == nullptr || bm->internal) && find<Palette>(t, id) == nullptr)
        return fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    for (auto &entry : t.objects) {
        if (auto *dc = std::get_if<DisplayDc>(&entry.second); dc != nullptr && dc->palette == id)
            dc->palette = 0;
        if (auto *r = std::get_if<Raster>(&entry.second); r != nullptr && (*r)->palette == id)
            (*r)->palette = 0;
    }
    t.objects.erase(id);
    return TRUE;
}

namespace plat {

bool gdi_icon_info(HICON icon, GdiIconInfo *info)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Icon *i = find<Icon>(t, key(icon));
    if (i == nullptr || info == nullptr)
        return false;
    *info = i->info;
    return true;
}

bool gdi_palette_entries(HPALETTE palette, std::vector<PALETTEENTRY> *entries)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Palette *p = find<Palette>(t, key(palette));
    if (p == nullptr || entries == nullptr)
        return false;
    *entries = p->entries;
    return true;
}

size_t gdi_object_count()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    size_t n = 0;
    for (const auto &[id, object] : t.objects) {
        if (const Raster *r = std::get_if<Raster>(&object); r != nullptr && (*r)->stock)
            continue;
        if (const Bitmap *b = std::get_if<Bitmap>(&object); b != nullptr && b->internal)
            continue;
        ++n;
    }
    return n;
}

void gdi_objects_reset()
{
    reset_objects();
}

} // namespace plat
