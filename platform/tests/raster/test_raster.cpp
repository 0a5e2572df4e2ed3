/*
 * Tests of the raster GDI: raster operations and the monochrome conversion
 * rules, stretching, pattern brushes, DIB sections of each depth kept in
 * step with drawing, 8-bit read-back with a colour table, right-to-left
 * mirroring, text measured and drawn through FreeType, DrawTextW layout,
 * icons with masks, window contexts on the window's surface, palettes, and
 * the accounting of objects.
 */
#include <plat/controls.h>
#include <plat/raster.h>

#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Raster : public plat_test::UiMachineTest {};

/* A memory context on a new bitmap of `bits` (1 or 32) bits; the caller deletes both. */
struct Mem {
    HDC dc;
    HBITMAP bm;
    HGDIOBJ old;
    Mem(int cx, int cy, UINT bits = 32)
    {
        dc = CreateCompatibleDC(nullptr);
        bm = CreateBitmap(cx, cy, 1, bits, nullptr);
        old = SelectObject(dc, bm);
    }
    ~Mem()
    {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
    void fill(COLORREF c, RECT r)
    {
        HBRUSH b = CreateSolidBrush(c);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
};

TEST_F(Raster, RasterOperationsOnColourPixels)
{
    const COLORREF d = RGB(0xF0, 0x0F, 0x33);
    const COLORREF s = RGB(0xAA, 0x55, 0x0F);
    struct Case {
        DWORD rop;
        COLORREF expected;
    } cases[] = {
        {SRCCOPY, s},
        {SRCAND, RGB(0xA0, 0x05, 0x03)},
        {SRCPAINT, RGB(0xFA, 0x5F, 0x3F)},
        {SRCINVERT, RGB(0x5A, 0x5A, 0x3C)},
        {NOTSRCCOPY, RGB(0x55, 0xAA, 0xF0)},
        {DSTINVERT, RGB(0x0F, 0xF0, 0xCC)},
        {BLACKNESS, RGB(0, 0, 0)},
        {WHITENESS, RGB(255, 255, 255)},
        {PATCOPY, RGB(0x12, 0x34, 0x56)},
    };
    for (const Case &c : cases) {
        Mem dst(4, 4), src(4, 4);
        dst.fill(d, RECT{0, 0, 4, 4});
        src.fill(s, RECT{0, 0, 4, 4});
        HBRUSH pattern = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
        HGDIOBJ old = SelectObject(dst.dc, pattern);
        ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(GetPixel(dst.dc, 1, 1), c.expected) << std::hex << c.rop;
        EXPECT_EQ(GetPixel(dst.dc, 0, 0), d) << "outside the rectangle";
        SelectObject(dst.dc, old);
        DeleteObject(pattern);
    }
}

TEST_F(Raster, MonochromeConversionRules)
{
    /* Colour to monochrome: the source's background colour becomes white (1), everything else black. */
    Mem colour(3, 1), mono(3, 1, 1);
    SetPixel(colour.dc, 0, 0, RGB(255, 0, 255));
    SetPixel(colour.dc, 1, 0, RGB(10, 20, 30));
    SetPixel(colour.dc, 2, 0, RGB(255, 255, 255));
    SetBkColor(colour.dc, RGB(255, 0, 255));
    BitBlt(mono.dc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mono.dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mono.dc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(mono.dc, 2, 0), RGB(0, 0, 0)) << "white is not the background colour here";
    /* Monochrome to colour: 0 paints the destination's text colour, 1 its background colour. */
    Mem out(3, 1);
    SetTextColor(out.dc, RGB(1, 2, 3));
    SetBkColor(out.dc, RGB(200, 100, 50));
    BitBlt(out.dc, 0, 0, 3, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(out.dc, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(GetPixel(out.dc, 1, 0), RGB(1, 2, 3));
    /* The transparency idiom: mask with SRCAND, then the image with SRCINVERT. */
    Mem scene(3, 1);
    scene.fill(RGB(0, 128, 0), RECT{0, 0, 3, 1});
    SetTextColor(scene.dc, RGB(0, 0, 0));
    SetBkColor(scene.dc, RGB(255, 255, 255));
    BitBlt(scene.dc, 0, 0, 3, 1, mono.dc, 0, 0, SRCAND);
    Mem image(3, 1);
    image.fill(RGB(0, 0, 0), RECT{0, 0, 1, 1});
    SetPixel(image.dc, 1, 0, RGB(10, 20, 30));
    SetPixel(image.dc, 2, 0, RGB(255, 255, 255));
    BitBlt(scene.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(GetPixel(scene.dc, 0, 0), RGB(0, 128, 0)) << "the key colour shows the scene";
    EXPECT_EQ(GetPixel(scene.dc, 1, 0), RGB(10, 20, 30));
}

TEST_F(Raster, StretchAndPatternBrushes)
{
    Mem src(2, 1), dst(4, 2);
    SetPixel(src.dc, 0, 0, RGB(255, 0, 0));
    SetPixel(src.dc, 1, 0, RGB(0, 0, 255));
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), RGB(0, 0, 255));
    /* A monochrome 8 x 8 pattern paints 0 in the text colour and 1 in the background colour. */
    const WORD rows[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    BYTE bits[16];
    for (int i = 0; i < 8; ++i) {
        bits[2 * i] = BYTE(rows[i]);
        bits[2 * i + 1] = 0;
    }
    HBITMAP patternBits = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH pattern = CreatePatternBrush(patternBits);
    DeleteObject(patternBits); /* the brush keeps its own copy */
    Mem canvas(8, 8);
    SetTextColor(canvas.dc, RGB(0, 0, 0));
    SetBkColor(canvas.dc, RGB(255, 255, 255));
    RECT all{0, 0, 8, 8};
    FillRect(canvas.dc, &all, pattern);
    EXPECT_EQ(GetPixel(canvas.dc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(canvas.dc, 1, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas.dc, 0, 1), RGB(255, 255, 255));
    DeleteObject(pattern);
}

TEST_F(Raster, DibSectionsStayInStepWithDrawing)
{
    for (WORD bits : {1, 4, 8, 16, 24, 32}) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colours[256];
        } info{};
        info.h.biSize = sizeof info.h;
        info.h.biWidth = 5;
        info.h.biHeight = 3; /* bottom-up */
        info.h.biPlanes = 1;
        info.h.biBitCount = bits;
        info.colours[0] = RGBQUAD{0, 0, 0, 0};
        info.colours[1] = RGBQUAD{0, 0, 255, 0};   /* red */
        info.colours[2] = RGBQUAD{255, 255, 255, 0};
        info.colours[3] = RGBQUAD{0, 255, 0, 0};
        if (bits == 1)
            info.colours[1] = RGBQUAD{255, 255, 255, 0};
        void *rows = nullptr;
        HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, &rows, nullptr, 0);
        ASSERT_NE(dib, nullptr) << bits;
        ASSERT_NE(rows, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, dib);
        const COLORREF white = RGB(255, 255, 255);
        SetPixel(dc, 4, 0, white); /* top row, last pixel: the last stored row */
        EXPECT_EQ(GetPixel(dc, 4, 0), white) << bits;
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << bits;
        /* The caller's rows changed: the first pixel of the last stored row. */
        const size_t stride = ((5 * size_t(bits) + 31) / 32) * 4;
        const BYTE *last = static_cast<const BYTE *>(rows) + 2 * stride;
        bool changed = false;
        for (size_t i = 0; i < stride; ++i)
            changed = changed || last[i] != 0;
        EXPECT_TRUE(changed) << bits;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
    }
}

TEST_F(Raster, EightBitReadBackGivesAColourTable)
{
    Mem m(4, 2);
    m.fill(RGB(255, 0, 255), RECT{0, 0, 4, 2});
    SetPixel(m.dc, 1, 0, RGB(1, 2, 3));
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } info{};
    info.h.biSize = sizeof info.h;
    ASSERT_NE(GetDIBits(m.dc, m.bm, 0, 2, nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.h.biWidth, 4);
    EXPECT_EQ(info.h.biHeight, 2);
    info.h.biBitCount = 8;
    BYTE bits[2 * 4] = {};
    ASSERT_EQ(GetDIBits(m.dc, m.bm, 0, 2, bits, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS), 2);
    /* Bottom-up: the second stored row is the top row. */
    const BYTE top1 = bits[4 + 1];
    EXPECT_EQ(info.colours[top1].rgbRed, 1);
    EXPECT_EQ(info.colours[top1].rgbBlue, 3);
    EXPECT_EQ(info.colours[bits[0]].rgbRed, 255);
    EXPECT_EQ(info.colours[bits[0]].rgbGreen, 0);
}

TEST_F(Raster, RightToLeftLayoutMirrorsCoordinates)
{
    Mem m(10, 1);
    m.fill(RGB(255, 255, 255), RECT{0, 0, 10, 1});
    EXPECT_EQ(SetLayout(m.dc, LAYOUT_RTL), 0u);
    m.fill(RGB(0, 0, 0), RECT{0, 0, 3, 1});
    EXPECT_EQ(GetPixel(m.dc, 0, 0), RGB(0, 0, 0)) << "logical 0 is still what was drawn at 0";
    SetLayout(m.dc, 0);
    EXPECT_EQ(GetPixel(m.dc, 9, 0), RGB(0, 0, 0)) << "it lies at the right edge";
    EXPECT_EQ(GetPixel(m.dc, 7, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 6, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(m.dc, 0, 0), RGB(255, 255, 255));
}

TEST_F(Raster, TextIsMeasuredAndDrawnFromTheFontFile)
{
    Mem m(200, 40);
    m.fill(RGB(255, 255, 255), RECT{0, 0, 200, 40});
    HGDIOBJ old = SelectObject(m.dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE one{}, two{};
    ASSERT_TRUE(GetTextExtentPoint32W(m.dc, u"Tray", 4, &one));
    ASSERT_TRUE(GetTextExtentPoint32W(m.dc, u"TrayTray", 8, &two));
    EXPECT_GT(one.cx, 15);
    EXPECT_EQ(two.cx, 2 * one.cx) << "advances add up";
    EXPECT_GE(one.cy, 11);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(m.dc, &tm));
    EXPECT_EQ(tm.tmHeight, one.cy);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    /* A bigger font measures wider; a bold one too. */
    LOGFONTW lf{};
    lf.lfHeight = -24;
    HFONT big = CreateFontIndirectW(&lf);
    SelectObject(m.dc, big);
    SIZE bigger{};
    GetTextExtentPoint32W(m.dc, u"Tray", 4, &bigger);
    EXPECT_GT(bigger.cx, one.cx * 2);
    SelectObject(m.dc, GetStockObject(DEFAULT_GUI_FONT));
    DeleteObject(big);
    /* Drawn text leaves dark pixels in the text colour inside its box only. */
    SetTextColor(m.dc, RGB(0, 0, 0));
    SetBkMode(m.dc, TRANSPARENT);
    TextOutW(m.dc, 10, 10, u"Tray", 4);
    int dark = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            if (GetPixel(m.dc, x, y) != RGB(255, 255, 255)) {
                ++dark;
                outside += (x < 9 || x > 10 + one.cx + 1 || y < 10 || y >= 10 + one.cy) ? 1 : 0; /* glyphs may overhang a pixel */
            }
    EXPECT_GT(dark, 20);
    EXPECT_EQ(outside, 0);
    SelectObject(m.dc, old);
}

TEST_F(Raster, DrawTextLaysOutLines)
{
    Mem m(300, 100);
    HGDIOBJ old = SelectObject(m.dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE word{}, a{};
    GetTextExtentPoint32W(m.dc, u"word", 4, &word);
    GetTextExtentPoint32W(m.dc, u"&", 1, &a);
    RECT r{0, 0, 1000, 0};
    const int h = DrawTextW(m.dc, u"word", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, word.cy);
    EXPECT_EQ(r.right, word.cx);
    r = RECT{0, 0, 1000, 0};
    DrawTextW(m.dc, u"&word", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, word.cx) << "the prefix mark is not drawn";
    r = RECT{0, 0, 1000, 0};
    DrawTextW(m.dc, u"&word", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(r.right, word.cx + a.cx);
    /* Word breaks: four words in a box one and a half words wide make four lines. */
    r = RECT{0, 0, word.cx + word.cx / 2, 0};
    EXPECT_EQ(DrawTextW(m.dc, u"word word word word", -1, &r, DT_CALCRECT | DT_WORDBREAK), 4 * word.cy);
    /* Centred and right-aligned single lines land where the log says. */
    plat::draw_log_enable(true);
    RECT box{0, 0, 300, 40};
    DrawTextW(m.dc, u"word", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DrawTextW(m.dc, u"word", -1, &box, DT_RIGHT | DT_SINGLELINE);
    const auto log = plat::draw_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rect.left, (300 - word.cx) / 2);
    EXPECT_EQ(log[0].rect.top, (40 - word.cy) / 2);
    EXPECT_EQ(log[1].rect.right, 300);
    EXPECT_EQ(log[1].text, u"word");
    plat::draw_log_enable(false);
    /* An ellipsis when the line does not fit. */
    r = RECT{0, 0, word.cx * 2, 20};
    plat::draw_log_enable(true);
    DrawTextW(m.dc, u"word word word", -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS);
    ASSERT_EQ(plat::draw_log().size(), 1u);
    const std::u16string shown = plat::draw_log()[0].text;
    EXPECT_EQ(shown.substr(shown.size() - 3), u"...");
    plat::draw_log_enable(false);
    SelectObject(m.dc, old);
}

TEST_F(Raster, IconsDrawThroughTheirMasks)
{
    const int s = 4;
    BYTE andBits[2 * s] = {0x30, 0, 0x30, 0, 0x30, 0, 0x30, 0}; /* columns 2 and 3 transparent */
    DWORD xorBits[s * s];
    for (DWORD &p : xorBits)
        p = 0x0000FF; /* blue (BGRX) */
    for (int y = 0; y < s; ++y)
        xorBits[y * s + 2] = xorBits[y * s + 3] = 0;
    HICON icon = CreateIcon(nullptr, s, s, 1, 32, andBits, reinterpret_cast<const BYTE *>(xorBits));
    ASSERT_NE(icon, nullptr);
    Mem m(s, s);
    m.fill(RGB(0, 255, 0), RECT{0, 0, s, s});
    ASSERT_TRUE(DrawIconEx(m.dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(m.dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(m.dc, 3, 3), RGB(0, 255, 0)) << "the mask lets the background through";
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(icon, &ii));
    HICON copy = CreateIconIndirect(&ii);
    EXPECT_NE(copy, nullptr);
    DeleteObject(ii.hbmMask);
    DeleteObject(ii.hbmColor);
    DestroyIcon(copy);
    DestroyIcon(icon);
}

TEST_F(Raster, WindowContextsDrawOnTheWindowsSurface)
{
    HWND top = CreateWindowExW(0, WC_STATICW, u"", WS_POPUP | SS_WHITERECT, 0, 0, 100, 60, nullptr, nullptr,
                               nullptr, nullptr);
    HWND child = CreateWindowExW(0, WC_STATICW, u"", WS_CHILD | WS_VISIBLE, 20, 10, 30, 20, top, nullptr, nullptr,
                                 nullptr);
    HDC dc = GetDC(child);
    RECT all{0, 0, 100, 100};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red); /* clipped to the child */
    DeleteObject(red);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    ReleaseDC(child, dc);
    RECT where;
    HBITMAP surface = plat::window_surface(child, &where);
    EXPECT_EQ(where.left, 20);
    EXPECT_EQ(where.top, 10);
    EXPECT_EQ(plat::bitmap_pixel(surface, 20, 10), RGB(255, 0, 0));
    EXPECT_EQ(plat::bitmap_pixel(surface, 49, 29), RGB(255, 0, 0));
    EXPECT_EQ(plat::bitmap_pixel(surface, 50, 10), RGB(0, 0, 0)) << "outside the child: untouched";
    /* Reading back a window context: a blit from it gives what was painted. */
    Mem copy(30, 20);
    HDC from = GetDC(child);
    BitBlt(copy.dc, 0, 0, 30, 20, from, 0, 0, SRCCOPY);
    ReleaseDC(child, from);
    EXPECT_EQ(GetPixel(copy.dc, 5, 5), RGB(255, 0, 0));
    DestroyWindow(top);
}

TEST_F(Raster, PalettesAndDeviceFacts)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    plat::window_set_dpi(120);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 120);
    struct {
        LOGPALETTE lp;
        PALETTEENTRY more[3];
    } pal{};
    pal.lp.palVersion = 0x300;
    pal.lp.palNumEntries = 4;
    HPALETTE p = CreatePalette(&pal.lp);
    EXPECT_EQ(SelectPalette(dc, p, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(dc), 0u) << "a 32-bit display maps nothing";
    plat::raster_set_palettised(true);
    EXPECT_EQ(RealizePalette(dc), 4u);
    EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), 256);
    EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    DeleteObject(p);
    DeleteDC(dc);
}

TEST_F(Raster, ObjectsAreCountedUntilDeletedAndStockObjectsNever)
{
    const size_t base = plat::gdi_object_count();
    GetStockObject(WHITE_BRUSH);
    GetSysColorBrush(COLOR_BTNFACE);
    EXPECT_EQ(plat::gdi_object_count(), base) << "stock objects are not counted";
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))) << "and survive DeleteObject";
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    EXPECT_EQ(plat::gdi_object_count(), base + 4);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_MEMDC));
    EXPECT_EQ(GetObjectType(pen), DWORD(OBJ_PEN));
    EXPECT_EQ(GetObjectType(font), DWORD(OBJ_FONT));
    EXPECT_EQ(GetObjectType(bm), DWORD(OBJ_BITMAP));
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    BITMAP info{};
    EXPECT_EQ(GetObjectW(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 1) << "compatible with a new memory context's monochrome bitmap, as on Windows";
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, 2, 2);
    GetObjectW(colour, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    DeleteObject(colour);
    ReleaseDC(nullptr, screen);
    EXPECT_FALSE(DeleteObject(dc)) << "contexts go with DeleteDC";
    DeleteObject(pen);
    DeleteObject(font);
    DeleteObject(bm);
    DeleteDC(dc);
    EXPECT_EQ(plat::gdi_object_count(), base);
    EXPECT_EQ(CreateBitmap(0, 4, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr) << "only 1 and 32 bits";
}

} // namespace
