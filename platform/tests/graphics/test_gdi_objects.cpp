// Memory-only GDI objects: the display context, logical palettes,
// device-dependent bitmaps filled from DIBs of each depth, icons and their
// deletion; every object's bits are read back.
#include "test_file_fixture.h"

#include <plat/error.h>
#include <plat/gdi_objects.h>

#include <array>
#include <cstring>

namespace {

using GdiObjects = MachineTest;

/* A BITMAPINFO with room for a colour table of 256 entries. */
struct Dib {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};
    const BITMAPINFO *info() const { return reinterpret_cast<const BITMAPINFO *>(this); }
};

Dib dib(LONG width, LONG height, WORD bits, DWORD used = 0)
{
    Dib d;
    d.header.biSize = sizeof(BITMAPINFOHEADER);
    d.header.biWidth = width;
    d.header.biHeight = height;
    d.header.biPlanes = 1;
    d.header.biBitCount = bits;
    d.header.biClrUsed = used;
    return d;
}

/* The display bitmap's pixels as BGRX values, row by row from the top. */
std::vector<DWORD> pixels(HBITMAP bm, size_t count)
{
    std::vector<DWORD> out(count, 0xDEADBEEF);
    EXPECT_EQ(GetBitmapBits(bm, LONG(count * 4), out.data()), LONG(count * 4));
    return out;
}

struct Display {
    HDC dc = CreateDCW(u"display", nullptr, nullptr, nullptr);
    ~Display() { DeleteDC(dc); }
};

} // namespace

TEST_F(GdiObjects, DisplayContextAnswersItsCapabilities)
{
    Display d;
    ASSERT_NE(d.dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(d.dc, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_EQ(GetDeviceCaps(d.dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(d.dc, LOGPIXELSY), 96);
    EXPECT_EQ(plat::gdi_object_count(), 1u);
    EXPECT_TRUE(DeleteDC(d.dc));
    EXPECT_FALSE(DeleteDC(d.dc)) << "a context is deleted once";
    d.dc = nullptr;
    EXPECT_EQ(plat::gdi_object_count(), 0u);
}

TEST_F(GdiObjects, PaletteSelectedRealisedAndDeleted)
{
    Display d;
    std::array<BYTE, sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY)> raw{};
    auto *lp = reinterpret_cast<LOGPALETTE *>(raw.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    const PALETTEENTRY e[3] = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
    std::memcpy(lp->palPalEntry, e, sizeof e);
    HPALETTE pal = CreatePalette(lp);
    ASSERT_NE(pal, nullptr);
    std::vector<PALETTEENTRY> back;
    ASSERT_TRUE(plat::gdi_palette_entries(pal, &back));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].peRed, 70);
    EXPECT_EQ(back[2].peBlue, 90);

    EXPECT_EQ(RealizePalette(d.dc), GDI_ERROR) << "nothing selected yet";
    EXPECT_EQ(SelectPalette(d.dc, pal, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(d.dc), 3u);
    EXPECT_EQ(SelectPalette(d.dc, pal, FALSE), pal);

    /* DIB_PAL_COLORS reads 16-bit indexes into the selected palette. */
    Dib pd = dib(2, 1, 8, 2);
    const WORD indexes[2] = {2, 0};
    std::memcpy(pd.colours, indexes, sizeof indexes);
    const BYTE row[4] = {0, 1, 0, 0};
    HBITMAP bm = CreateDIBitmap(d.dc, &pd.header, CBM_INIT, row, pd.info(), DIB_PAL_COLORS);
    ASSERT_NE(bm, nullptr);
    /* Entry 2 (red 70, green 80, blue 90) and entry 0 (10, 20, 30) as BGRX values. */
    EXPECT_EQ(pixels(bm, 2), (std::vector<DWORD>{0x46505A, 0x0A141E}))
        << "index 0 -> palette entry 2, index 1 -> palette entry 0";

    EXPECT_TRUE(DeleteObject(pal));
    EXPECT_EQ(RealizePalette(d.dc), GDI_ERROR) << "deleting a selected palette deselects it";
    EXPECT_FALSE(DeleteObject(pal));
    EXPECT_TRUE(DeleteObject(bm));

    lp->palVersion = 0x200;
    EXPECT_EQ(CreatePalette(lp), nullptr);
    lp->palVersion = 0x300;
    lp->palNumEntries = 0;
    EXPECT_EQ(CreatePalette(lp), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(GdiObjects, DibsOfEachDepthBecomeTopDownBgrx)
{
    Display d;
    /* 3 x 2 pixels, bottom-up: the first stored row is the bottom row. */
    struct Case {
        WORD bits;
        std::vector<BYTE> data; /* two rows, each padded to 4 bytes */
        std::vector<DWORD> expected;
    };
    const DWORD c0 = 0x112233, c1 = 0x445566, c2 = 0x778899, c3 = 0xAABBCC;
    const std::vector<Case> cases = {
        /* 1 bit: bottom 1,0,1; top 0,1,1 */
        {1, {0xA0, 0, 0, 0, 0x60, 0, 0, 0}, {c0, c1, c1, c1, c0, c1}},
        /* 4 bits: bottom 2,3,0; top 1,2,3 */
        {4, {0x23, 0x00, 0, 0, 0x12, 0x30, 0, 0}, {c1, c2, c3, c2, c3, c0}},
        /* 8 bits: bottom 3,2,1; top 0,0,2; an index past the four table entries is black */
        {8, {3, 2, 9, 0, 0, 0, 2, 0}, {c0, c0, c2, c3, c2, 0}},
        /* 24 bits: BGR triplets */
        {24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0},
         {0x070809, 0x040506, 0x010203, 0x030201, 0x060504, 0x090807}},
    };
    for (const Case &c : cases) {
        Dib h = dib(3, 2, c.bits, c.bits <= 8 ? 4 : 0);
        const DWORD table[4] = {c0, c1, c2, c3};
        std::memcpy(h.colours, table, sizeof table);
        HBITMAP bm = CreateDIBitmap(d.dc, &h.header, 0, nullptr, nullptr, DIB_RGB_COLORS);
        ASSERT_NE(bm, nullptr) << c.bits;
        EXPECT_EQ(pixels(bm, 6), std::vector<DWORD>(6, 0)) << "a new bitmap is black";
        EXPECT_EQ(SetDIBits(d.dc, bm, 0, 2, c.data.data(), h.info(), DIB_RGB_COLORS), 2) << c.bits;
        EXPECT_EQ(pixels(bm, 6), c.expected) << c.bits;
        EXPECT_TRUE(DeleteObject(bm));
    }

    /* A top-down DIB (negative height) stores its top row first; lines past the end are not set. */
    Dib top = dib(1, -2, 32);
    const BYTE rows[8] = {1, 0, 0, 0, 2, 0, 0, 0};
    HBITMAP bm = CreateDIBitmap(d.dc, &top.header, 0, nullptr, nullptr, DIB_RGB_COLORS);
    EXPECT_EQ(SetDIBits(d.dc, bm, 0, 5, rows, top.info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(pixels(bm, 2), (std::vector<DWORD>{1, 2}));
    EXPECT_EQ(SetDIBits(d.dc, bm, 1, 1, rows + 4, top.info(), DIB_RGB_COLORS), 1);
    DWORD two[2] = {};
    EXPECT_EQ(GetBitmapBits(bm, 6, two), 6) << "at most the buffer's bytes";
    EXPECT_TRUE(DeleteObject(bm));
}

TEST_F(GdiObjects, RefusedBitmaps)
{
    Display d;
    Dib ok = dib(2, 2, 8);
    Dib noWidth = dib(0, 2, 8), twelveBits = dib(2, 2, 12), packed = dib(2, 2, 8), huge = dib(5000, 1, 1);
    packed.header.biCompression = 1;
    for (const Dib *bad : {&noWidth, &twelveBits, &packed, &huge})
        EXPECT_EQ(CreateDIBitmap(d.dc, &bad->header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    EXPECT_EQ(CreateDIBitmap(nullptr, &ok.header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr)
        << "a display context is needed";
    EXPECT_EQ(CreateDIBitmap(d.dc, &ok.header, CBM_INIT, nullptr, ok.info(), DIB_RGB_COLORS), nullptr);
    EXPECT_EQ(SetDIBits(d.dc, nullptr, 0, 1, &ok, ok.info(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetBitmapBits(nullptr, 4, &ok), 0);
    EXPECT_EQ(plat::gdi_object_count(), 1u) << "only the display context";
}

TEST_F(GdiObjects, IconsKeepTheirBits)
{
    /* 20 x 2 pixels: AND rows of 4 bytes (padded to 2 bytes), 32-bit colour rows of 80 bytes. */
    const std::vector<BYTE> andBits = {0xF0, 0x0F, 0xA0, 0x00, 0x0F, 0xF0, 0x50, 0x00};
    std::vector<BYTE> xorBits(2 * 80);
    for (size_t i = 0; i < xorBits.size(); ++i)
        xorBits[i] = BYTE(i);
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x1234);
    HICON icon = CreateIcon(module, 20, 2, 1, 32, andBits.data(), xorBits.data());
    ASSERT_NE(icon, nullptr);
    plat::GdiIconInfo info;
    ASSERT_TRUE(plat::gdi_icon_info(icon, &info));
    EXPECT_EQ(info.width, 20);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bitsPixel, 32);
    EXPECT_EQ(info.instance, module);
    EXPECT_EQ(info.andBits, andBits);
    EXPECT_EQ(info.xorBits, xorBits);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(icon))) << "icons go with DestroyIcon";
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(plat::gdi_icon_info(icon, &info));

    EXPECT_EQ(CreateIcon(module, 0, 2, 1, 32, andBits.data(), xorBits.data()), nullptr);
    EXPECT_EQ(CreateIcon(module, 257, 2, 1, 32, andBits.data(), xorBits.data()), nullptr);
    EXPECT_EQ(CreateIcon(module, 20, 2, 2, 32, andBits.data(), xorBits.data()), nullptr);
    EXPECT_EQ(CreateIcon(module, 20, 2, 1, 7, andBits.data(), xorBits.data()), nullptr);
    EXPECT_EQ(plat::gdi_object_count(), 0u);
}

TEST_F(GdiObjects, MachineResetForgetsLiveObjects)
{
    Display d;
    Dib h = dib(1, 1, 24);
    ASSERT_NE(CreateDIBitmap(d.dc, &h.header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    EXPECT_EQ(plat::gdi_object_count(), 2u);
    plat::gdi_objects_reset();
    EXPECT_EQ(plat::gdi_object_count(), 0u);
    EXPECT_FALSE(DeleteDC(d.dc));
    d.dc = nullptr;
}
