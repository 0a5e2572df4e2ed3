// Stale graphics handles: printer device contexts (with their drawing state
// and document), engine surfaces, palettes and devices made and destroyed
// round after round; a destroyed object's handle is refused and a new
// object carries nothing of an old one.  Engine records that a library
// reaches by address (fonts, strings) keep what tells them apart, or what
// hangs off them, in the record itself.
#include "font_fixture.h"
#include "spool_fixture.h"

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/gdi.h>
#include <plat/gdi_dc.h>
#include <plat/loader.h>

#include <plat_test/stale_handles.h>

#include <set>
#include <string>
#include <vector>

namespace {

using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

/* The fake graphics library: one record per device context it enables, its surface made on the engine. */
struct FakePdev {
    HSURF surface = nullptr;
};

int liveContexts = 0;

DHPDEV stEnablePDEV(DEVMODEW *, LPWSTR, ULONG cPat, HSURF *patterns, ULONG cjCaps, ULONG *caps, ULONG, DEVINFO *,
                    HDEV, LPWSTR, HANDLE)
{
    for (ULONG i = 0; i < cPat; i++)
        patterns[i] = nullptr;
    GDIINFO gi{};
    gi.ulVersion = 0x400;
    gi.ulHorzRes = 4760;
    gi.ulLogPixelsX = gi.ulLogPixelsY = 600;
    std::memcpy(caps, &gi, std::min<size_t>(cjCaps, sizeof gi));
    liveContexts++;
    return reinterpret_cast<DHPDEV>(new FakePdev);
}

void stCompletePDEV(DHPDEV, HDEV) {}

HSURF stEnableSurface(DHPDEV dhpdev)
{
    auto *pdev = reinterpret_cast<FakePdev *>(dhpdev);
    pdev->surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(dhpdev), SIZEL{4760, 6816}, BMF_24BPP);
    return pdev->surface;
}

void stDisableSurface(DHPDEV dhpdev) { EngDeleteSurface(reinterpret_cast<FakePdev *>(dhpdev)->surface); }

void stDisablePDEV(DHPDEV dhpdev)
{
    delete reinterpret_cast<FakePdev *>(dhpdev);
    liveContexts--;
}

BOOL stStartDoc(SURFOBJ *, LPWSTR, DWORD) { return TRUE; }
BOOL stStartPage(SURFOBJ *) { return TRUE; }
BOOL stSendPage(SURFOBJ *) { return TRUE; }
BOOL stEndDoc(SURFOBJ *, FLONG) { return TRUE; }

template <typename F>
PFN pfn(F *f)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f));
}

DRVFN stTable[] = {
    {INDEX_DrvEnablePDEV, pfn(stEnablePDEV)},   {INDEX_DrvCompletePDEV, pfn(stCompletePDEV)},
    {INDEX_DrvDisablePDEV, pfn(stDisablePDEV)}, {INDEX_DrvEnableSurface, pfn(stEnableSurface)},
    {INDEX_DrvDisableSurface, pfn(stDisableSurface)}, {INDEX_DrvStartDoc, pfn(stStartDoc)},
    {INDEX_DrvStartPage, pfn(stStartPage)},     {INDEX_DrvSendPage, pfn(stSendPage)},
    {INDEX_DrvEndDoc, pfn(stEndDoc)},
};

BOOL stEnableDriver(ULONG, ULONG, DRVENABLEDATA *ded)
{
    ded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    ded->c = ULONG(std::size(stTable));
    ded->pdrvfn = stTable;
    return TRUE;
}

void stDisableDriver() {}

class StaleGraphicsHandles : public spooltest::SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        liveContexts = 0;
        plat::FakeExport exports[] = {{"DrvEnableDriver", plat::to_farproc(stEnableDriver)},
                                      {"DrvDisableDriver", plat::to_farproc(stDisableDriver)}};
        ASSERT_TRUE(plat::loader_register_fake(u"stalegr.dll", nullptr, exports));
        plat::SpoolDriver d;
        d.name = u"Stale Graphics";
        d.driver_file = u"stalegr.dll";
        d.data_file = u"STALE.DDD";
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = u"Stale Printer";
        p.driver = u"Stale Graphics";
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::gdi_dc_count(), 0u);
        EXPECT_EQ(liveContexts, 0);
        SpoolTest::TearDown();
    }
};

HDC as_dc(uintptr_t v) { return reinterpret_cast<HDC>(v); }
bool invalid_handle() { return GetLastError() == DWORD(ERROR_INVALID_HANDLE); }

TEST_F(StaleGraphicsHandles, APrinterContextsHandleNeverReachesALaterContext)
{
    HPEN pen = CreatePen(PS_SOLID, 5, RGB(1, 2, 3));
    ASSERT_NE(pen, nullptr);
    const StaleHandleKind context{
        /* Side data: a document in progress, a text colour, a selected pen, a mapping mode, a clip. */
        "printer device context",
        [pen](bool dressed) {
            HDC dc = CreateDCW(nullptr, u"Stale Printer", nullptr, nullptr);
            if (dc && dressed) {
                DOCINFOW di{sizeof(DOCINFOW), u"Stale", nullptr, nullptr, 0};
                if (StartDocW(dc, &di) <= 0)
                    return uintptr_t(0);
                SetTextColor(dc, RGB(10, 20, 30));
                SelectObject(dc, pen);
                SetMapMode(dc, MM_ANISOTROPIC);
                IntersectClipRect(dc, 0, 0, 10, 10);
            }
            return reinterpret_cast<uintptr_t>(dc);
        },
        [](uintptr_t h) { return DeleteDC(as_dc(h)) != FALSE; },
        [pen](uintptr_t h) {
            plat::GdiDcInfo info{};
            SetLastError(0);
            const bool caps = GetDeviceCaps(as_dc(h), HORZRES) == 0 && !plat::gdi_dc_info(as_dc(h), &info);
            const bool colour = GetTextColor(as_dc(h)) == CLR_INVALID && GetCurrentObject(as_dc(h), OBJ_PEN) == nullptr;
            SetLastError(0);
            const bool page = StartPage(as_dc(h)) == SP_ERROR && invalid_handle();
            const bool select = SelectObject(as_dc(h), pen) == nullptr;
            SetLastError(0);
            return caps && colour && page && select && !DeleteDC(as_dc(h)) && invalid_handle();
        },
        [](uintptr_t h) {
            plat::GdiDcInfo info{};
            return plat::gdi_dc_info(as_dc(h), &info) && info.jobId == 0 && GetDeviceCaps(as_dc(h), HORZRES) == 4760 &&
                   GetTextColor(as_dc(h)) == RGB(0, 0, 0) &&
                   GetCurrentObject(as_dc(h), OBJ_PEN) == GetStockObject(BLACK_PEN) && GetMapMode(as_dc(h)) == MM_TEXT;
        }};
    EXPECT_EQ(run_stale_handle_rounds(context, 50), 50);
    EXPECT_TRUE(DeleteObject(pen));
    for (const plat::SpoolJob &job : plat::spool_jobs(u"Stale Printer"))
        ADD_FAILURE() << "a deleted context left its document " << job.id;
}

TEST_F(StaleGraphicsHandles, PrinterContextsAreNeverGraphicsObjects)
{
    /* Printer contexts and the object table's handles come from one counter: no value is both. */
    HDC printer = CreateDCW(nullptr, u"Stale Printer", nullptr, nullptr);
    ASSERT_NE(printer, nullptr);
    HDC display = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    std::set<uintptr_t> values{reinterpret_cast<uintptr_t>(printer), reinterpret_cast<uintptr_t>(display),
                               reinterpret_cast<uintptr_t>(pen), reinterpret_cast<uintptr_t>(memory)};
    EXPECT_EQ(values.size(), 4u);
    EXPECT_EQ(GetObjectType(printer), 0u) << "a printer context is no object of the table";
    EXPECT_FALSE(DeleteObject(printer));
    EXPECT_TRUE(DeleteDC(printer));
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(pen));
}

TEST_F(StaleGraphicsHandles, EngineSurfacesPalettesAndDevicesNeverReachALaterOne)
{
    HDEV device = plat::engine_create_device();
    ASSERT_NE(device, nullptr);
    const StaleHandleKind surface{
        /* Side data: a dressed surface is associated with a device, with hooks. */
        "engine surface",
        [device](bool dressed) {
            HSURF h = EngCreateBitmap(SIZEL{8, 8}, 32, BMF_32BPP, 0, nullptr);
            if (h && dressed && !EngAssociateSurface(h, device, HOOK_BITBLT))
                return uintptr_t(0);
            return reinterpret_cast<uintptr_t>(h);
        },
        [](uintptr_t h) { return EngDeleteSurface(reinterpret_cast<HSURF>(h)) != FALSE; },
        [device](uintptr_t h) {
            plat::EngineSurfaceInfo info{};
            return EngLockSurface(reinterpret_cast<HSURF>(h)) == nullptr &&
                   !plat::engine_surface_info(reinterpret_cast<HSURF>(h), &info) &&
                   !EngAssociateSurface(reinterpret_cast<HSURF>(h), device, 0) &&
                   !EngDeleteSurface(reinterpret_cast<HSURF>(h));
        },
        [](uintptr_t h) {
            plat::EngineSurfaceInfo info{};
            return plat::engine_surface_info(reinterpret_cast<HSURF>(h), &info) && info.hooks == 0 &&
                   info.hdev == nullptr;
        }};
    const StaleHandleKind palette{
        /* Side data: a dressed palette is indexed, a bare one RGB. */
        "engine palette",
        [](bool dressed) {
            ULONG colours[2] = {0, 0xFFFFFF};
            return reinterpret_cast<uintptr_t>(dressed ? EngCreatePalette(PAL_INDEXED, 2, colours, 0, 0, 0)
                                                       : EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0));
        },
        [](uintptr_t h) { return EngDeletePalette(reinterpret_cast<HPALETTE>(h)) != FALSE; },
        [](uintptr_t h) {
            return plat::engine_palette_mode(reinterpret_cast<HPALETTE>(h)) == 0 &&
                   !EngDeletePalette(reinterpret_cast<HPALETTE>(h));
        },
        [](uintptr_t h) { return plat::engine_palette_mode(reinterpret_cast<HPALETTE>(h)) == PAL_RGB; }};
    static int pdevTag;
    const StaleHandleKind engineDevice{
        /* Side data: a dressed device has the library's device context, which surfaces associated with it get. */
        "engine device",
        [](bool dressed) {
            HDEV h = plat::engine_create_device();
            if (h && dressed)
                plat::engine_set_device_pdev(h, reinterpret_cast<DHPDEV>(&pdevTag));
            return reinterpret_cast<uintptr_t>(h);
        },
        [](uintptr_t h) { return plat::engine_delete_device(reinterpret_cast<HDEV>(h)); },
        [](uintptr_t h) {
            HSURF s = EngCreateBitmap(SIZEL{1, 1}, 4, BMF_32BPP, 0, nullptr);
            const bool refused = !EngAssociateSurface(s, reinterpret_cast<HDEV>(h), 0) &&
                                 !plat::engine_set_device_pdev(reinterpret_cast<HDEV>(h), nullptr) &&
                                 !plat::engine_delete_device(reinterpret_cast<HDEV>(h));
            EngDeleteSurface(s);
            return refused;
        },
        [](uintptr_t h) {
            HSURF s = EngCreateBitmap(SIZEL{1, 1}, 4, BMF_32BPP, 0, nullptr);
            bool bare = false;
            if (EngAssociateSurface(s, reinterpret_cast<HDEV>(h), 0)) {
                SURFOBJ *so = EngLockSurface(s);
                bare = so && so->dhpdev == nullptr;
                EngUnlockSurface(so);
            }
            EngDeleteSurface(s);
            return bare;
        }};
    for (const StaleHandleKind *kind : {&surface, &palette, &engineDevice})
        EXPECT_EQ(run_stale_handle_rounds(*kind, 2000), 2000);
    EXPECT_TRUE(plat::engine_delete_device(device));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    EXPECT_EQ(plat::engine_palette_count(), 0u);
}

TEST(StaleEngineRecords, AFontAtAnEarlierFontsAddressHasANewUniqueNumber)
{
    /* A library reaches fonts by address and tells them apart by iUniq, which is never handed out twice. */
    plat::TrueTypeFontSpec spec;
    spec.file = fonttest::kSans;
    spec.height = -100;
    spec.resolution = SIZE{600, 600};
    std::set<ULONG> uniques;
    for (int round = 0; round < 300; ++round) {
        FONTOBJ *font = plat::engine_open_truetype_font(spec);
        ASSERT_NE(font, nullptr);
        EXPECT_TRUE(uniques.insert(font->iUniq).second) << "round " << round;
        EXPECT_EQ(font->pvConsumer, nullptr) << "a new font starts with nothing of the library's";
        plat::engine_free_font(font);
    }
}

TEST(StaleEngineRecords, AStringsOriginalTextGoesWithTheString)
{
    plat::TrueTypeFontSpec spec;
    spec.file = fonttest::kSans;
    spec.height = -100;
    spec.resolution = SIZE{600, 600};
    FONTOBJ *font = plat::engine_open_truetype_font(spec);
    ASSERT_NE(font, nullptr);
    const std::vector<GLYPHPOS> glyphs(3);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        /* A string of text freed as a plain string takes its text along ... */
        STROBJ *text = plat::engine_make_text(font, u"abc", 3, POINTL{0, 0});
        ASSERT_NE(text, nullptr);
        ASSERT_NE(text->pwszOrg, nullptr);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(text->pwszOrg), 3), u"abc");
        plat::engine_free_string(text);
        /* ... and a plain string, wherever it lands, has none, and is no string of text to free as one. */
        STROBJ *plain = plat::engine_make_string(glyphs, 3);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(plain->pwszOrg, nullptr);
        plat::engine_free_text(plain);
        ULONG count = 0;
        GLYPHPOS *pos = nullptr;
        STROBJ_vEnumStart(plain);
        STROBJ_bEnum(plain, &count, &pos);
        EXPECT_EQ(count, 3u) << "engine_free_text left the plain string alone";
        plat::engine_free_string(plain);
    }
    plat::engine_free_font(font);
}

} // namespace
