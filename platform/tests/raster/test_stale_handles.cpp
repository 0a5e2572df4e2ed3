/*
 * Stale GDI handles, one table of kinds: pens, brushes, fonts, bitmaps,
 * palettes, regions, icons, and memory, window and display contexts, each
 * made with side data and without, round after round.  A deleted object's
 * handle is refused (and selects into no context), and a new object carries
 * nothing of an old one: its numbers come from the object table's counter,
 * which nothing winds back.
 */
#include <plat/error.h>
#include <plat/gdi_dc.h>
#include <plat/gdi_objects.h>
#include <plat/raster.h>
#include <plat/window.h>

#include <plat_test/stale_handles.h>
#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

class StaleGdiHandles : public plat_test::UiMachineTest {};

HGDIOBJ obj(uintptr_t v) { return reinterpret_cast<HGDIOBJ>(v); }
HDC dcOf(uintptr_t v) { return reinterpret_cast<HDC>(v); }
uintptr_t value(const void *h) { return reinterpret_cast<uintptr_t>(h); }

/* The refusals every deleted object shows: no type, no delete, no selection into `memory`. */
bool goneObject(uintptr_t h, HDC memory)
{
    SetLastError(0);
    const bool deleteRefused = !DeleteObject(obj(h)) && GetLastError() == DWORD(ERROR_INVALID_HANDLE);
    return GetObjectType(obj(h)) == 0 && GetObjectW(obj(h), 0, nullptr) == 0 && deleteRefused &&
           SelectObject(memory, obj(h)) == nullptr;
}

bool deleted(uintptr_t h) { return DeleteObject(obj(h)) != FALSE; }

TEST_F(StaleGdiHandles, EveryKindRefusesADeletedHandleAndStartsBare)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HDC display = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HPEN pen = CreatePen(PS_SOLID, 7, RGB(9, 8, 7));
    const PALETTEENTRY entries[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    std::vector<BYTE> paletteBytes(sizeof(LOGPALETTE) + sizeof entries);
    auto *lp = reinterpret_cast<LOGPALETTE *>(paletteBytes.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 2;
    std::memcpy(lp->palPalEntry, entries, sizeof entries);
    HPALETTE palette = CreatePalette(lp);
    plat::WindowSpec spec;
    spec.style = WS_POPUP;
    HWND window = plat::window_create(spec);
    ASSERT_TRUE(memory && display && pen && palette && window);

    const std::vector<StaleHandleKind> kinds = {
        {"pen",
         [](bool dressed) { return value(dressed ? CreatePen(PS_DASH, 4, RGB(9, 8, 7)) : CreatePen(PS_SOLID, 1, 0)); },
         deleted, [memory](uintptr_t h) { return goneObject(h, memory); },
         [](uintptr_t h) {
             LOGPEN lp{};
             return GetObjectW(obj(h), sizeof lp, &lp) == int(sizeof lp) && lp.lopnStyle == PS_SOLID &&
                    lp.lopnWidth.x == 1 && lp.lopnColor == 0;
         }},
        {"brush", [](bool dressed) { return value(CreateSolidBrush(dressed ? RGB(9, 8, 7) : 0)); }, deleted,
         [memory](uintptr_t h) { return goneObject(h, memory); },
         [](uintptr_t h) {
             LOGBRUSH lb{};
             return GetObjectW(obj(h), sizeof lb, &lb) == int(sizeof lb) && lb.lbColor == 0;
         }},
        {"font",
         [](bool dressed) {
             LOGFONTW lf{};
             lf.lfHeight = dressed ? -30 : -10;
             lf.lfWeight = dressed ? 700 : 400;
             return value(CreateFontIndirectW(&lf));
         },
         deleted, [memory](uintptr_t h) { return goneObject(h, memory); },
         [](uintptr_t h) {
             LOGFONTW lf{};
             return GetObjectW(obj(h), sizeof lf, &lf) == int(sizeof lf) && lf.lfHeight == -10 && lf.lfWeight == 400;
         }},
        {"bitmap",
         [](bool dressed) {
             const DWORD white[4] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
             return value(CreateBitmap(2, 2, 1, 32, dressed ? white : nullptr));
         },
         deleted,
         [memory](uintptr_t h) {
             DWORD bits[4];
             return GetBitmapBits(reinterpret_cast<HBITMAP>(h), sizeof bits, bits) == 0 && goneObject(h, memory);
         },
         [](uintptr_t h) {
             DWORD bits[4] = {1, 1, 1, 1};
             return GetBitmapBits(reinterpret_cast<HBITMAP>(h), sizeof bits, bits) == LONG(sizeof bits) &&
                    bits[0] == 0 && bits[1] == 0 && bits[2] == 0 && bits[3] == 0;
         }},
        {"palette",
         [&paletteBytes](bool dressed) {
             auto *p = reinterpret_cast<LOGPALETTE *>(paletteBytes.data());
             p->palNumEntries = dressed ? 2 : 1;
             return value(CreatePalette(p));
         },
         deleted,
         [memory, display](uintptr_t h) {
             std::vector<PALETTEENTRY> got;
             return !plat::gdi_palette_entries(reinterpret_cast<HPALETTE>(h), &got) &&
                    SelectPalette(display, reinterpret_cast<HPALETTE>(h), FALSE) == nullptr && goneObject(h, memory);
         },
         [](uintptr_t h) {
             std::vector<PALETTEENTRY> got;
             return plat::gdi_palette_entries(reinterpret_cast<HPALETTE>(h), &got) && got.size() == 1;
         }},
        {"region", [](bool dressed) { return value(dressed ? CreateRectRgn(0, 0, 50, 50) : CreateRectRgn(0, 0, 1, 1)); },
         deleted,
         [memory](uintptr_t h) {
             SetLastError(0);
             return GetObjectType(obj(h)) == 0 && !DeleteObject(obj(h)) &&
                    GetLastError() == DWORD(ERROR_INVALID_HANDLE) && SelectObject(memory, obj(h)) == nullptr;
         },
         [](uintptr_t h) { return GetObjectType(obj(h)) == 8 /* OBJ_REGION */; }},
        {"icon",
         [](bool dressed) {
             const BYTE andBits[8] = {};
             const BYTE xorBits[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
             const int side = dressed ? 2 : 1;
             return value(CreateIcon(nullptr, side, side, 1, 32, andBits, xorBits));
         },
         [](uintptr_t h) { return DestroyIcon(reinterpret_cast<HICON>(h)) != FALSE; },
         [](uintptr_t h) {
             plat::GdiIconInfo info;
             SetLastError(0);
             return !plat::gdi_icon_info(reinterpret_cast<HICON>(h), &info) &&
                    !DestroyIcon(reinterpret_cast<HICON>(h)) && GetLastError() == DWORD(ERROR_INVALID_HANDLE);
         },
         [](uintptr_t h) {
             plat::GdiIconInfo info;
             return plat::gdi_icon_info(reinterpret_cast<HICON>(h), &info) && info.width == 1;
         }},
        {"memory context",
         /* Side data: a text colour, a selected pen, a saved state. */
         [pen](bool dressed) {
             HDC dc = CreateCompatibleDC(nullptr);
             if (dc && dressed) {
                 SetTextColor(dc, RGB(1, 2, 3));
                 SelectObject(dc, pen);
                 SaveDC(dc);
             }
             return value(dc);
         },
         [](uintptr_t h) { return DeleteDC(dcOf(h)) != FALSE; },
         [](uintptr_t h) {
             return GetTextColor(dcOf(h)) == CLR_INVALID && GetCurrentObject(dcOf(h), OBJ_PEN) == nullptr &&
                    GetObjectType(obj(h)) == 0 && !DeleteDC(dcOf(h));
         },
         [](uintptr_t h) {
             return GetTextColor(dcOf(h)) == RGB(0, 0, 0) &&
                    GetCurrentObject(dcOf(h), OBJ_PEN) == GetStockObject(BLACK_PEN) && !RestoreDC(dcOf(h), -1) &&
                    GetObjectType(obj(h)) == OBJ_MEMDC;
         }},
        {"window context",
         [window](bool dressed) {
             HDC dc = GetDC(window);
             if (dc && dressed)
                 SetTextColor(dc, RGB(1, 2, 3));
             return value(dc);
         },
         [window](uintptr_t h) { return ReleaseDC(window, dcOf(h)) == 1; },
         [window](uintptr_t h) {
             return GetTextColor(dcOf(h)) == CLR_INVALID && WindowFromDC(dcOf(h)) == nullptr &&
                    ReleaseDC(window, dcOf(h)) == 0;
         },
         [window](uintptr_t h) { return GetTextColor(dcOf(h)) == RGB(0, 0, 0) && WindowFromDC(dcOf(h)) == window; }},
        {"display context",
         /* Side data: a selected palette. */
         [palette](bool dressed) {
             HDC dc = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
             if (dc && dressed)
                 SelectPalette(dc, palette, FALSE);
             return value(dc);
         },
         [](uintptr_t h) { return DeleteDC(dcOf(h)) != FALSE; },
         [palette](uintptr_t h) {
             return GetObjectType(obj(h)) == 0 && GetDeviceCaps(dcOf(h), BITSPIXEL) == 0 &&
                    SelectPalette(dcOf(h), palette, FALSE) == nullptr && !DeleteDC(dcOf(h));
         },
         [](uintptr_t h) { return GetObjectType(obj(h)) == OBJ_DC && RealizePalette(dcOf(h)) == GDI_ERROR; }},
    };
    for (const StaleHandleKind &kind : kinds)
        EXPECT_EQ(run_stale_handle_rounds(kind, 1000), 1000);

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_TRUE(DeleteDC(memory));
}

TEST_F(StaleGdiHandles, NumbersRunOnAcrossAMachineReset)
{
    /* A reset empties the object table; the numbers it hands out afterwards are new ones. */
    checkLeaks = false; /* the reset takes the objects made before it */
    HPEN before = CreatePen(PS_SOLID, 3, RGB(1, 1, 1));
    HDC memoryBefore = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(before && memoryBefore);
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(GetObjectType(before), 0u) << "the reset took the pen";
    HPEN after = CreatePen(PS_SOLID, 1, 0);
    HDC memoryAfter = CreateCompatibleDC(nullptr);
    for (const void *earlier : {static_cast<const void *>(before), static_cast<const void *>(memoryBefore)})
        for (const void *later : {static_cast<const void *>(after), static_cast<const void *>(memoryAfter)})
            EXPECT_NE(earlier, later);
    EXPECT_EQ(GetTextColor(memoryBefore), CLR_INVALID);
    LOGPEN lp{};
    ASSERT_EQ(GetObjectW(after, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnWidth.x, 1);
    EXPECT_TRUE(DeleteObject(after));
    EXPECT_TRUE(DeleteDC(memoryAfter));
}

} // namespace
