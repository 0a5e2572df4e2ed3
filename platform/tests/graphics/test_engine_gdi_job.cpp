// The engine's side of a job: printer device contexts drive a graphics
// library (here an in-process fake registered under the printer driver's
// file name) through its function table, in the engine's order, around a
// spooler job; every failure leaves nothing open.
#include "spool_fixture.h"

#include <plat/gdi.h>
#include <plat/loader.h>

#include <string>
#include <vector>

namespace {

using namespace spooltest;

/* What the fake library saw and what it is told to do. */
struct FakeLibrary {
    std::vector<std::string> calls;
    std::vector<BYTE> devmode;  /* the devmode DrvEnablePDEV got */
    HANDLE printer = nullptr;   /* the printer handle it got */
    DWORD jobId = 0;
    std::u16string docName;
    bool refuseEnableDriver = false;
    bool refuseEnablePDEV = false;
    bool refuseStartDoc = false;
    bool refuseSurface = false;
    bool leaveOutSurface = false; /* a table without DrvEnableSurface */
    int contexts = 0;
    HSURF surface = nullptr;
};
FakeLibrary fake;

int pdevTag; /* the fake's device context: any distinct address */

BOOL fakeEnablePDEVcheck(DHPDEV dhpdev) { return dhpdev == reinterpret_cast<DHPDEV>(&pdevTag); }

DHPDEV fakeEnablePDEV(DEVMODEW *pdm, LPWSTR, ULONG cPat, HSURF *patterns, ULONG cjCaps, ULONG *caps, ULONG cjDevInfo,
                      DEVINFO *di, HDEV, LPWSTR, HANDLE printer)
{
    fake.calls.push_back("EnablePDEV");
    if (pdm) {
        const BYTE *p = reinterpret_cast<const BYTE *>(pdm);
        fake.devmode.assign(p, p + pdm->dmSize + pdm->dmDriverExtra);
    }
    fake.printer = printer;
    if (fake.refuseEnablePDEV) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    for (ULONG i = 0; i < cPat; i++)
        patterns[i] = nullptr;
    GDIINFO gi{};
    gi.ulVersion = 0x400;
    gi.ulHorzRes = 4760;
    gi.ulLogPixelsX = 600;
    gi.ptlPhysOffset = POINTL{99, 100};
    gi.szlPhysSize = SIZEL{4960, 7016};
    std::memcpy(caps, &gi, std::min<size_t>(cjCaps, sizeof gi));
    di->flGraphicsCaps = 0x11F;
    (void)cjDevInfo;
    fake.contexts++;
    return reinterpret_cast<DHPDEV>(&pdevTag);
}

void fakeCompletePDEV(DHPDEV dhpdev, HDEV hdev)
{
    fake.calls.push_back(fakeEnablePDEVcheck(dhpdev) && hdev ? "CompletePDEV" : "CompletePDEV?");
}

HSURF fakeEnableSurface(DHPDEV dhpdev)
{
    fake.calls.push_back("EnableSurface");
    if (fake.refuseSurface || !fakeEnablePDEVcheck(dhpdev))
        return nullptr;
    fake.surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(dhpdev), SIZEL{4760, 6816}, BMF_24BPP);
    return fake.surface;
}

void fakeDisableSurface(DHPDEV)
{
    fake.calls.push_back("DisableSurface");
    EngDeleteSurface(fake.surface);
    fake.surface = nullptr;
}

void fakeDisablePDEV(DHPDEV)
{
    fake.calls.push_back("DisablePDEV");
    fake.contexts--;
}

BOOL fakeStartDoc(SURFOBJ *pso, LPWSTR name, DWORD job)
{
    fake.calls.push_back(pso && pso->hsurf == fake.surface ? "StartDoc" : "StartDoc?");
    fake.docName = name ? name : u"";
    fake.jobId = job;
    return fake.refuseStartDoc ? FALSE : TRUE;
}

BOOL fakeStartPage(SURFOBJ *) { return fake.calls.push_back("StartPage"), TRUE; }
BOOL fakeSendPage(SURFOBJ *) { return fake.calls.push_back("SendPage"), TRUE; }
BOOL fakeEndDoc(SURFOBJ *, FLONG fl) { return fake.calls.push_back(fl == ED_ABORTDOC ? "EndDoc(abort)" : "EndDoc"), TRUE; }
BOOL fakeTransparentBlt(SURFOBJ *, SURFOBJ *, CLIPOBJ *, XLATEOBJ *, RECTL *, RECTL *, ULONG, ULONG) { return TRUE; }

template <typename F>
PFN pfn(F *f)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f));
}

DRVFN fakeTable[] = {
    {INDEX_DrvEnablePDEV, pfn(fakeEnablePDEV)},     {INDEX_DrvCompletePDEV, pfn(fakeCompletePDEV)},
    {INDEX_DrvDisablePDEV, pfn(fakeDisablePDEV)},   {INDEX_DrvDisableSurface, pfn(fakeDisableSurface)},
    {INDEX_DrvStartDoc, pfn(fakeStartDoc)},         {INDEX_DrvStartPage, pfn(fakeStartPage)},
    {INDEX_DrvSendPage, pfn(fakeSendPage)},         {INDEX_DrvEndDoc, pfn(fakeEndDoc)},
    {INDEX_DrvTransparentBlt, pfn(fakeTransparentBlt)}, {INDEX_DrvEnableSurface, pfn(fakeEnableSurface)},
};

BOOL fakeEnableDriver(ULONG version, ULONG cj, DRVENABLEDATA *ded)
{
    fake.calls.push_back("EnableDriver");
    if (fake.refuseEnableDriver || version < DDI_DRIVER_VERSION_NT5 || cj < sizeof *ded) {
        SetLastError(1900); /* the library's own reason */
        return FALSE;
    }
    ded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    ded->c = ULONG(std::size(fakeTable)) - (fake.leaveOutSurface ? 1 : 0);
    ded->pdrvfn = fakeTable;
    return TRUE;
}

void fakeDisableDriver() { fake.calls.push_back("DisableDriver"); }

class GdiJob : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        fake = FakeLibrary{};
        plat::FakeExport exports[] = {{"DrvEnableDriver", plat::to_farproc(fakeEnableDriver)},
                                      {"DrvDisableDriver", plat::to_farproc(fakeDisableDriver)}};
        ASSERT_TRUE(plat::loader_register_fake(u"fakegr.dll", nullptr, exports));
        plat::SpoolDriver d;
        d.name = u"Fake Graphics";
        d.driver_file = u"fakegr.dll";
        d.data_file = u"FAKE.DDD";
        d.config_file = u"fakeui.dll";
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = u"Fake Printer";
        p.driver = u"Fake Graphics";
        p.devmode = make_devmode(220, 8, 3);
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::gdi_dc_count(), 0u);
        EXPECT_EQ(fake.contexts, 0);
        SpoolTest::TearDown();
    }
};

} // namespace

TEST_F(GdiJob, OneDocumentOfTwoPagesInTheEnginesOrder)
{
    std::vector<BYTE> dm = make_devmode(220, 40, 7);
    HDC dc = CreateDCW(nullptr, u"Fake Printer", nullptr, reinterpret_cast<const DEVMODEW *>(dm.data()));
    ASSERT_NE(dc, nullptr) << GetLastError();
    EXPECT_EQ(fake.devmode, dm) << "the library gets the caller's devmode as it is";
    plat::GdiDcInfo info{};
    ASSERT_TRUE(plat::gdi_dc_info(dc, &info));
    EXPECT_EQ(info.printer, fake.printer);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4760);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETY), 100);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 7016);
    EXPECT_EQ(info.devInfo.flGraphicsCaps, 0x11Fu);

    DOCINFOW di{sizeof(DOCINFOW), u"Report", nullptr, nullptr, 0};
    int job = StartDocW(dc, &di);
    ASSERT_GT(job, 0);
    EXPECT_EQ(fake.jobId, DWORD(job));
    EXPECT_EQ(fake.docName, u"Report");
    for (int page = 0; page < 2; page++) {
        EXPECT_GT(StartPage(dc), 0);
        EXPECT_GT(EndPage(dc), 0);
    }
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));

    std::vector<std::string> expected = {"EnableDriver",   "EnablePDEV", "CompletePDEV", "EnableSurface",
                                         "StartDoc",       "StartPage",  "SendPage",     "StartPage",
                                         "SendPage",       "EndDoc",     "DisableSurface", "DisablePDEV",
                                         "DisableDriver"};
    EXPECT_EQ(fake.calls, expected);
    auto jobs = plat::spool_jobs(u"Fake Printer");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].document, u"Report");
    EXPECT_EQ(jobs[0].pages, 2u);
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    EXPECT_EQ(plat::engine_device_count(), 0u);
}

TEST_F(GdiJob, TheLibraryIsEnabledOnceForAllItsContexts)
{
    HDC a = CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr);
    HDC b = CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(fake.devmode, make_devmode(220, 8, 3)) << "without a devmode, the printer's own";
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "DisableDriver"), 0);
    EXPECT_TRUE(DeleteDC(b));
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "EnableDriver"), 1);
    EXPECT_EQ(fake.calls.back(), "DisableDriver");
    EXPECT_EQ(plat::loader_load_count(u"fakegr.dll"), 0u);
}

TEST_F(GdiJob, TheEngineReachesATableFunctionWithoutAnExport)
{
    HDC dc = CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(plat::gdi_driver_function(dc, INDEX_DrvTransparentBlt), pfn(fakeTransparentBlt));
    EXPECT_EQ(plat::gdi_driver_function(dc, INDEX_DrvBitBlt), nullptr);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(GdiJob, FailuresWhileCreatingLeaveNothingOpen)
{
    struct Case {
        const char *name;
        bool FakeLibrary::*flag;
        DWORD error;
    } cases[] = {
        {"library refuses", &FakeLibrary::refuseEnableDriver, 1900},
        {"table without a surface", &FakeLibrary::leaveOutSurface, ERROR_INVALID_DRIVER},
        {"device context refused", &FakeLibrary::refuseEnablePDEV, ERROR_INVALID_PARAMETER},
        {"surface refused", &FakeLibrary::refuseSurface, 0},
    };
    for (const Case &c : cases) {
        fake = FakeLibrary{};
        fake.*c.flag = true;
        SetLastError(0);
        EXPECT_EQ(CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(fake.contexts, 0) << c.name;
        EXPECT_EQ(plat::loader_load_count(u"fakegr.dll"), 0u) << c.name;
        EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_PRINTER), 0u) << c.name;
        EXPECT_EQ(plat::engine_device_count(), 0u) << c.name;
    }
    std::vector<BYTE> tiny = make_devmode(70, 0, 1); /* dmSize short of dmFields */
    fake = FakeLibrary{};
    SetLastError(0);
    EXPECT_EQ(CreateDCW(nullptr, u"Fake Printer", nullptr, reinterpret_cast<const DEVMODEW *>(tiny.data())), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "EnablePDEV"), 0);
    SetLastError(0);
    EXPECT_EQ(CreateDCW(nullptr, u"No Such Printer", nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(CreateDCW(nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(GdiJob, ARefusedDocumentLeavesNoSpoolerJob)
{
    HDC dc = CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    fake.refuseStartDoc = true;
    DOCINFOW di{sizeof(DOCINFOW), u"Refused", nullptr, nullptr, 0};
    EXPECT_EQ(StartDocW(dc, &di), SP_ERROR);
    EXPECT_TRUE(plat::spool_jobs(u"Fake Printer").empty());
    EXPECT_EQ(StartPage(dc), SP_ERROR) << "no document";
    EXPECT_EQ(EndDoc(dc), SP_ERROR);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(GdiJob, DeletingAContextInADocumentAbortsIt)
{
    HDC dc = CreateDCW(nullptr, u"Fake Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    DOCINFOW di{sizeof(DOCINFOW), u"Left open", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    EXPECT_EQ(StartDocW(dc, &di), SP_ERROR) << "one document at a time";
    ASSERT_GT(StartPage(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_NE(std::find(fake.calls.begin(), fake.calls.end(), "EndDoc(abort)"), fake.calls.end());
    EXPECT_TRUE(plat::spool_jobs(u"Fake Printer").empty());
}
