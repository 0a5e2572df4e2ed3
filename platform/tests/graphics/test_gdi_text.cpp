// Text on a printer device context: GDI's font mapping (a device font of
// the library by name, else a TrueType face of the catalogue, else DejaVu
// Sans), the string placed by the reference point's alignment, and the
// library's DrvTextOut (here a recording fake) called with the font,
// string, brushes and clip; the device fonts in the context's font list;
// bad calls refused before the library is called.
#include "font_fixture.h"
#include "spool_fixture.h"

#include <plat/gdi.h>
#include <plat/loader.h>

#include <cmath>

namespace {

using namespace fonttest;
using namespace spooltest;

/* What the fake library's DrvTextOut saw. */
struct TextCall {
    FLONG fontType = 0;
    ULONG face = 0;
    ULONG uniq = 0;
    std::u16string faceName;
    std::vector<GLYPHPOS> glyphs;
    std::u16string text;
    FLONG accel = 0;
    bool clipped = false;
    BYTE clipComplexity = 0;
    RECTL clipBounds{};
    bool opaque = false;
    RECTL opaqueRect{};
    ULONG color = 0, background = 0;
    MIX mix = 0;
    bool imagesGiven = false;
};

struct FakeTextLibrary {
    std::vector<TextCall> calls;
    bool leaveOutTextOut = false;
    int contexts = 0;
    HSURF surface = nullptr;
    alignas(8) BYTE ifi[sizeof(IFIMETRICS) + 32] = {};
    alignas(8) BYTE glyphSet[offsetof(FD_GLYPHSET, awcrun) + sizeof(WCRUN)] = {};
    HGLYPH handles[3] = {1, 2, 3};
};
FakeTextLibrary lib;
int pdevTag;

DHPDEV fakeEnablePDEV(DEVMODEW *, LPWSTR, ULONG cPat, HSURF *patterns, ULONG cjCaps, ULONG *caps, ULONG,
                      DEVINFO *di, HDEV, LPWSTR, HANDLE)
{
    for (ULONG i = 0; i < cPat; i++)
        patterns[i] = nullptr;
    GDIINFO gi{};
    gi.ulVersion = 0x400;
    gi.ulHorzRes = 4760;
    gi.ulVertRes = 6816;
    gi.ulLogPixelsX = 600;
    gi.ulLogPixelsY = 600;
    std::memcpy(caps, &gi, std::min<size_t>(cjCaps, sizeof gi));
    di->cFonts = 1;
    lib.contexts++;
    return reinterpret_cast<DHPDEV>(&pdevTag);
}
void fakeCompletePDEV(DHPDEV, HDEV) {}
HSURF fakeEnableSurface(DHPDEV dhpdev)
{
    lib.surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(dhpdev), SIZEL{4760, 6816}, BMF_24BPP);
    return lib.surface;
}
void fakeDisableSurface(DHPDEV)
{
    EngDeleteSurface(lib.surface);
    lib.surface = nullptr;
}
void fakeDisablePDEV(DHPDEV) { lib.contexts--; }

/* One device face "Courier" of 1000 units to the em covering 'A'-'C' (handles 1-3, each h x 10 pixels wide). */
IFIMETRICS *fakeQueryFont(DHPDEV, ULONG_PTR, ULONG face, ULONG_PTR *)
{
    return face == 1 ? reinterpret_cast<IFIMETRICS *>(lib.ifi) : nullptr;
}
PVOID fakeQueryFontTree(DHPDEV, ULONG_PTR, ULONG face, ULONG mode, ULONG_PTR *)
{
    return face == 1 && mode == QFT_GLYPHSET ? lib.glyphSet : nullptr;
}
BOOL fakeQueryAdvanceWidths(DHPDEV, FONTOBJ *, ULONG, HGLYPH *phg, PVOID widths, ULONG count)
{
    for (ULONG i = 0; i < count; i++)
        static_cast<USHORT *>(widths)[i] = USHORT(160 * phg[i]);
    return TRUE;
}
ULONG fakeGetGlyphMode(DHPDEV, FONTOBJ *) { return FO_GLYPHBITS; }

BOOL fakeTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *, RECTL *prclOpaque,
                 BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *, MIX mix)
{
    TextCall c;
    if (!pso || pso->hsurf != lib.surface || !pstro || !pfo || !pboFore)
        return FALSE;
    c.fontType = pfo->flFontType;
    c.face = pfo->iFace;
    c.uniq = pfo->iUniq;
    const IFIMETRICS *ifi = FONTOBJ_pifi(pfo);
    if (ifi)
        c.faceName = wide(reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(ifi) + ifi->dpwszFaceName));
    ULONG n = 0;
    GLYPHPOS *gp = nullptr;
    STROBJ_vEnumStart(pstro);
    BOOL more;
    do {
        more = STROBJ_bEnum(pstro, &n, &gp);
        c.glyphs.insert(c.glyphs.end(), gp, gp + n);
    } while (more);
    c.imagesGiven = !c.glyphs.empty() && c.glyphs[0].pgdf && c.glyphs[0].pgdf->pgb;
    c.text.assign(reinterpret_cast<const char16_t *>(pstro->pwszOrg), pstro->cGlyphs);
    c.accel = pstro->flAccel;
    c.clipped = pco != nullptr;
    if (pco) {
        c.clipComplexity = pco->iDComplexity;
        c.clipBounds = pco->rclBounds;
    }
    c.opaque = prclOpaque != nullptr;
    if (prclOpaque)
        c.opaqueRect = *prclOpaque;
    c.color = pboFore->iSolidColor;
    c.background = pboOpaque ? pboOpaque->iSolidColor : 0;
    c.mix = mix;
    lib.calls.push_back(c);
    return TRUE;
}

template <typename F> PFN pfn(F *f) { return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f)); }

DRVFN fakeTable[] = {
    {INDEX_DrvEnablePDEV, pfn(fakeEnablePDEV)},         {INDEX_DrvCompletePDEV, pfn(fakeCompletePDEV)},
    {INDEX_DrvDisablePDEV, pfn(fakeDisablePDEV)},       {INDEX_DrvEnableSurface, pfn(fakeEnableSurface)},
    {INDEX_DrvDisableSurface, pfn(fakeDisableSurface)}, {INDEX_DrvQueryFont, pfn(fakeQueryFont)},
    {INDEX_DrvQueryFontTree, pfn(fakeQueryFontTree)},   {INDEX_DrvQueryAdvanceWidths, pfn(fakeQueryAdvanceWidths)},
    {INDEX_DrvGetGlyphMode, pfn(fakeGetGlyphMode)},     {INDEX_DrvTextOut, pfn(fakeTextOut)},
};

BOOL fakeEnableDriver(ULONG, ULONG, DRVENABLEDATA *ded)
{
    ded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    ded->c = ULONG(std::size(fakeTable)) - (lib.leaveOutTextOut ? 1 : 0);
    ded->pdrvfn = fakeTable;
    return TRUE;
}
void fakeDisableDriver() {}

class GdiText : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        lib = FakeTextLibrary{};
        auto *m = reinterpret_cast<IFIMETRICS *>(lib.ifi);
        m->cjThis = sizeof lib.ifi;
        m->dpwszFamilyName = m->dpwszFaceName = m->dpwszStyleName = sizeof(IFIMETRICS);
        std::memcpy(lib.ifi + sizeof(IFIMETRICS), u"Courier", 16);
        m->fwdUnitsPerEm = 1000;
        m->fwdWinAscender = 800;
        m->fwdWinDescender = 200;
        m->fwdAveCharWidth = 600;
        m->usWinWeight = 400;
        m->jWinPitchAndFamily = FF_MODERN | FIXED_PITCH;
        m->wcDefaultChar = u'A';
        auto *gs = reinterpret_cast<FD_GLYPHSET *>(lib.glyphSet);
        gs->cjThis = sizeof lib.glyphSet;
        gs->cGlyphsSupported = 3;
        gs->cRuns = 1;
        gs->awcrun[0] = WCRUN{u'A', 3, lib.handles};

        plat::FakeExport exports[] = {{"DrvEnableDriver", plat::to_farproc(fakeEnableDriver)},
                                      {"DrvDisableDriver", plat::to_farproc(fakeDisableDriver)}};
        ASSERT_TRUE(plat::loader_register_fake(u"faketext.dll", nullptr, exports));
        plat::SpoolDriver d;
        d.name = u"Fake Text";
        d.driver_file = u"faketext.dll";
        d.data_file = u"FAKE.DDD";
        d.config_file = u"fakeui.dll";
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = u"Text Printer";
        p.driver = u"Fake Text";
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        dc = CreateDCW(nullptr, u"Text Printer", nullptr, nullptr);
        ASSERT_NE(dc, nullptr) << GetLastError();
    }
    void TearDown() override
    {
        if (dc) {
            EXPECT_TRUE(DeleteDC(dc));
        }
        EXPECT_EQ(lib.contexts, 0);
        SpoolTest::TearDown();
    }

    static plat::GdiTextDraw request(const char16_t *face, LONG height, const std::u16string &text)
    {
        plat::GdiTextDraw d;
        d.font.lfHeight = height;
        d.font.lfWeight = 400;
        for (size_t i = 0; face[i] && i < LF_FACESIZE - 1; i++)
            d.font.lfFaceName[i] = face[i];
        d.text = text;
        d.origin = {1000, 1000};
        return d;
    }

    /* Device pixels of `units` of DejaVu Sans at an em of `em` pixels. */
    static double px(double units, double em) { return units * em / 2048; }

    HDC dc = nullptr;
};

/* FreeType-free glyph index lookup: DejaVu Sans's cmap format 4 subtable for the BMP. */
uint32_t sans_glyph(char16_t ch)
{
    static const Sfnt font(kSans);
    const uint8_t *cmap = font.table("cmap");
    for (size_t i = 0; i < be16(cmap + 2); i++) {
        const uint8_t *rec = cmap + 4 + 8 * i;
        if (be16(rec) != 3 || be16(rec + 2) != 1)
            continue;
        const uint8_t *sub = cmap + be32(rec + 4);
        const size_t segs = be16(sub + 6) / 2;
        const uint8_t *ends = sub + 14, *starts = ends + 2 * segs + 2, *deltas = starts + 2 * segs,
                      *ranges = deltas + 2 * segs;
        for (size_t s = 0; s < segs; s++) {
            if (ch > be16(ends + 2 * s) || ch < be16(starts + 2 * s))
                continue;
            const uint16_t range = be16(ranges + 2 * s);
            if (range == 0)
                return uint16_t(ch + be16(deltas + 2 * s));
            const uint16_t g = be16(ranges + 2 * s + range + 2 * (ch - be16(starts + 2 * s)));
            return g ? uint16_t(g + be16(deltas + 2 * s)) : 0;
        }
    }
    return 0;
}

} // namespace

TEST_F(GdiText, TrueTypeTextReachesTheLibrarysTextOut)
{
    plat::GdiTextDraw d = request(u"DejaVu Sans", -100, u"Hi!");
    d.align = TA_BASELINE;
    d.color = 0x123456;
    ASSERT_TRUE(plat::gdi_draw_text(dc, d)) << GetLastError();
    ASSERT_EQ(lib.calls.size(), 1u);
    const TextCall c = lib.calls[0];
    EXPECT_EQ(c.fontType, FO_TYPE_TRUETYPE);
    EXPECT_EQ(c.faceName, u"DejaVu Sans");
    EXPECT_EQ(c.text, u"Hi!");
    EXPECT_EQ(c.color, 0x123456u);
    EXPECT_EQ(c.mix, MIX(0x0D0D));
    EXPECT_FALSE(c.clipped);
    EXPECT_FALSE(c.opaque);
    EXPECT_TRUE(c.imagesGiven) << "the library asked for glyph images";
    EXPECT_EQ(c.accel, SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT);
    ASSERT_EQ(c.glyphs.size(), 3u);
    const Sfnt font(kSans);
    double units = 0;
    for (size_t i = 0; i < 3; i++) {
        const uint32_t g = sans_glyph(d.text[i]);
        EXPECT_EQ(c.glyphs[i].hg, g) << i;
        EXPECT_EQ(c.glyphs[i].ptl.x, 1000 + LONG(std::lround(px(units, 100)))) << i;
        EXPECT_EQ(c.glyphs[i].ptl.y, 1000) << i;
        units += font.advance(g);
    }

    /* The same request again reaches the library as the same realised font. */
    ASSERT_TRUE(plat::gdi_draw_text(dc, d));
    ASSERT_EQ(lib.calls.size(), 2u);
    EXPECT_EQ(lib.calls[1].uniq, c.uniq);
}

TEST_F(GdiText, TheReferencePointFollowsTheAlignment)
{
    const Sfnt font(kSans);
    const double total = px(font.advance(sans_glyph(u'H')) + font.advance(sans_glyph(u'i')), 100);
    const LONG ascent = LONG(std::lround(px(1901, 100))), descent = LONG(std::lround(px(483, 100)));
    struct Case {
        UINT align;
        POINTL first;
    } cases[] = {
        {TA_LEFT | TA_TOP, {1000, 1000 + ascent}},
        {TA_LEFT | TA_BASELINE, {1000, 1000}},
        {TA_LEFT | TA_BOTTOM, {1000, 1000 - descent}},
        {TA_RIGHT | TA_BASELINE, {1000 - LONG(std::lround(total)), 1000}},
        {TA_CENTER | TA_BASELINE, {1000 - LONG(std::lround(total / 2)), 1000}},
    };
    for (const Case &c : cases) {
        lib.calls.clear();
        plat::GdiTextDraw d = request(u"DejaVu Sans", -100, u"Hi");
        d.align = c.align;
        ASSERT_TRUE(plat::gdi_draw_text(dc, d));
        ASSERT_EQ(lib.calls.size(), 1u);
        EXPECT_EQ(lib.calls[0].glyphs[0].ptl.x, c.first.x) << c.align;
        EXPECT_EQ(lib.calls[0].glyphs[0].ptl.y, c.first.y) << c.align;
    }

    /* At 90 degrees the top of the text faces left: a top reference point lies left of the baseline. */
    lib.calls.clear();
    plat::GdiTextDraw up = request(u"DejaVu Sans", -100, u"Hi");
    up.font.lfEscapement = 900;
    ASSERT_TRUE(plat::gdi_draw_text(dc, up));
    EXPECT_EQ(lib.calls[0].glyphs[0].ptl.x, 1000 + ascent);
    EXPECT_EQ(lib.calls[0].glyphs[0].ptl.y, 1000);
    EXPECT_EQ(lib.calls[0].glyphs[1].ptl.y, 1000 - LONG(std::lround(px(font.advance(sans_glyph(u'H')), 100))));
    EXPECT_EQ(lib.calls[0].accel, SO_VERTICAL | SO_REVERSED | SO_FLAG_DEFAULT_PLACEMENT);
}

TEST_F(GdiText, ADeviceFaceNameGivesTheLibrarysDeviceFont)
{
    plat::GdiTextDraw d = request(u"courier", -100, u"ABCZ");
    d.align = TA_BASELINE;
    ASSERT_TRUE(plat::gdi_draw_text(dc, d));
    ASSERT_EQ(lib.calls.size(), 1u);
    const TextCall &c = lib.calls[0];
    EXPECT_EQ(c.fontType, FO_TYPE_DEVICE);
    EXPECT_EQ(c.face, 1u);
    EXPECT_EQ(c.faceName, u"Courier");
    EXPECT_FALSE(c.imagesGiven);
    ASSERT_EQ(c.glyphs.size(), 4u);
    const HGLYPH handles[] = {1, 2, 3, 1}; /* 'Z' is not in the face: its default character 'A' */
    const LONG xs[] = {1000, 1010, 1030, 1060};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(c.glyphs[i].hg, handles[i]) << i;
        EXPECT_EQ(c.glyphs[i].ptl.x, xs[i]) << i;
    }

    /* Any other name is a TrueType face: the catalogue's, else DejaVu Sans. */
    lib.calls.clear();
    ASSERT_TRUE(plat::gdi_draw_text(dc, request(u"Arial", -50, u"x")));
    EXPECT_EQ(lib.calls[0].fontType, FO_TYPE_TRUETYPE);
    EXPECT_EQ(lib.calls[0].faceName, u"DejaVu Sans");
    lib.calls.clear();
    plat::GdiTextDraw bold = request(u"DejaVu Sans Mono", -50, u"x");
    bold.font.lfWeight = 700;
    ASSERT_TRUE(plat::gdi_draw_text(dc, bold));
    EXPECT_EQ(lib.calls[0].faceName, u"DejaVu Sans Mono Bold");
    EXPECT_EQ(lib.calls[0].fontType, FO_TYPE_TRUETYPE) << "a real bold face, no simulation";
}

TEST_F(GdiText, ClipOpaqueBoxAndSpacingReachTheLibrary)
{
    plat::GdiTextDraw d = request(u"DejaVu Sans", -100, u"abc");
    d.align = TA_BASELINE;
    d.clip = {RECTL{10, 20, 3000, 4000}};
    d.opaque = true;
    d.background = 0xABCDEF;
    d.dx = {100, 200, 300};
    ASSERT_TRUE(plat::gdi_draw_text(dc, d));
    ASSERT_EQ(lib.calls.size(), 1u);
    const TextCall &c = lib.calls[0];
    EXPECT_TRUE(c.clipped);
    EXPECT_EQ(c.clipComplexity, DC_RECT);
    EXPECT_EQ(c.clipBounds.right, 3000);
    EXPECT_TRUE(c.opaque);
    EXPECT_EQ(c.background, 0xABCDEFu);
    EXPECT_EQ(c.opaqueRect.left, 1000);
    EXPECT_EQ(c.opaqueRect.right, 1600) << "the box of the spacing array's advances";
    EXPECT_EQ(c.opaqueRect.top, 1000 - LONG(std::lround(px(1901, 100))));
    EXPECT_EQ(c.glyphs[1].ptl.x, 1100);
    EXPECT_EQ(c.glyphs[2].ptl.x, 1300);
    EXPECT_EQ(c.accel, SO_HORIZONTAL);
}

TEST_F(GdiText, BadCallsAreRefusedBeforeTheLibraryIsCalled)
{
    plat::GdiTextDraw tooLong = request(u"DejaVu Sans", -10, std::u16string(65536, u'a'));
    plat::GdiTextDraw shortDx = request(u"DejaVu Sans", -10, u"abc");
    shortDx.dx = {1, 2};
    plat::GdiTextDraw hugeFont = request(u"DejaVu Sans", -1000000, u"abc");
    struct Case {
        const char *what;
        HDC hdc;
        const plat::GdiTextDraw &draw;
        DWORD error;
    } cases[] = {
        {"65,536 characters", dc, tooLong, ERROR_INVALID_PARAMETER},
        {"spacing array short", dc, shortDx, ERROR_INVALID_PARAMETER},
        {"em past any page", dc, hugeFont, ERROR_INVALID_PARAMETER},
        {"no context", nullptr, shortDx, ERROR_INVALID_HANDLE},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(plat::gdi_draw_text(c.hdc, c.draw)) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_TRUE(plat::gdi_draw_text(dc, request(u"DejaVu Sans", -10, u""))) << "no text, nothing to draw";
    EXPECT_TRUE(lib.calls.empty());
    std::u16string longest(65535, u'l');
    EXPECT_TRUE(plat::gdi_draw_text(dc, request(u"DejaVu Sans", -10, longest)));
    ASSERT_EQ(lib.calls.size(), 1u);
    EXPECT_EQ(lib.calls[0].glyphs.size(), 65535u);
}

TEST_F(GdiText, ALibraryWithoutTextOutIsRefused)
{
    EXPECT_TRUE(DeleteDC(dc));
    lib.leaveOutTextOut = true;
    dc = CreateDCW(nullptr, u"Text Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    SetLastError(0);
    EXPECT_FALSE(plat::gdi_draw_text(dc, request(u"DejaVu Sans", -10, u"a")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DRIVER));
}

TEST_F(GdiText, MeasuringUsesTheSameMapping)
{
    const Sfnt font(kSans);
    LOGFONTW lf = request(u"DejaVu Sans", -100, u"").font;
    SIZE size = plat::gdi_measure_text(dc, lf, u"Hi");
    EXPECT_EQ(size.cx, LONG(std::lround(px(font.advance(sans_glyph(u'H')) + font.advance(sans_glyph(u'i')), 100))));
    EXPECT_EQ(size.cy, LONG(std::lround(px(1901 + 483, 100))));
    size = plat::gdi_measure_text(dc, lf, u"");
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, LONG(std::lround(px(1901 + 483, 100))));
    LOGFONTW courier = request(u"Courier", -100, u"").font;
    size = plat::gdi_measure_text(dc, courier, u"AC");
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 100) << "800 + 200 units of a 1000-unit em";
    SetLastError(0);
    size = plat::gdi_measure_text(nullptr, lf, u"Hi");
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(GdiText, APrinterContextListsItsDeviceFontsFirst)
{
    std::vector<std::pair<std::u16string, DWORD>> seen;
    auto proc = [](const LOGFONTW *lf, const TEXTMETRICW *tm, DWORD type, LPARAM data) -> int {
        auto *out = reinterpret_cast<std::vector<std::pair<std::u16string, DWORD>> *>(data);
        out->emplace_back(wide(lf->lfFaceName), type);
        if (type == DEVICE_FONTTYPE) {
            EXPECT_EQ(tm->tmPitchAndFamily, FF_MODERN | TMPF_DEVICE);
        }
        return 1;
    };
    EXPECT_EQ(EnumFontFamiliesW(dc, nullptr, proc, LPARAM(&seen)), 1);
    ASSERT_GT(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(std::u16string(u"Courier"), DWORD(DEVICE_FONTTYPE)));
    EXPECT_EQ(seen[1].second, DWORD(TRUETYPE_FONTTYPE));
    seen.clear();
    EXPECT_EQ(EnumFontFamiliesW(dc, u"COURIER", proc, LPARAM(&seen)), 1);
    ASSERT_EQ(seen.size(), 1u);
}
