// The document events of the printer's user-interface library on the
// engine's road: a fake user-interface library and a fake graphics library
// log into one list, so each test checks the order GDI calls them in, the
// arguments of each event, and that the graphics library receives exactly
// the job devmode the user-interface library made (which the context then
// answers as the devmode it prints with).
#include "spool_fixture.h"

#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/memory.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace spooltest;

struct Fakes {
    std::vector<std::string> log;
    std::vector<BYTE> pdevDevmode;       /* what DrvEnablePDEV got, last */
    std::vector<std::vector<BYTE>> made; /* job devmodes the UI handed out */
    std::vector<DEVMODEW *> freed;       /* job devmodes handed back at the post events */
    std::vector<HANDLE> printers;        /* the printer handle of each event */
    std::u16string docName;              /* of STARTDOC */
    DWORD postJob = 0;                   /* of STARTDOCPOST */
    int escapeCode = 0;                  /* of ESCAPE */
    int failEvent = 0;                   /* an event answered -1 */
    bool makeDevmode = true;             /* the pre events hand out a job devmode */
    bool refusePdev = false;
};
Fakes fakes;

int pdevTag;

const char *event_name(int e)
{
    static const char *names[] = {"?",         "CreateDCPre", "CreateDCPost", "ResetDCPre", "ResetDCPost",
                                  "StartDoc",  "StartPage",   "EndPage",      "EndDoc",     "AbortDoc",
                                  "DeleteDC",  "Escape",      "EndDocPost",   "StartDocPost"};
    return e >= 1 && e <= 13 ? names[e] : names[0];
}

/* A job devmode of the fake UI: 220 + 40 bytes, its private bytes a count of how many it made. */
DEVMODEW *make_job_devmode()
{
    std::vector<BYTE> dm = make_devmode(220, 40, BYTE(0x40 + fakes.made.size()));
    fakes.made.push_back(dm);
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, dm.size()));
    std::copy(dm.begin(), dm.end(), block);
    return reinterpret_cast<DEVMODEW *>(block);
}

int fakeDocumentEvent(HANDLE printer, HDC hdc, int event, ULONG cbIn, PVOID in, ULONG cbOut, PVOID out)
{
    fakes.log.push_back(std::string("ui:") + event_name(event) + (hdc ? "" : "(no dc)"));
    fakes.printers.push_back(printer);
    switch (event) {
    case DOCUMENTEVENT_CREATEDCPRE:
    case DOCUMENTEVENT_RESETDCPRE:
        if (!out || cbOut < sizeof(DEVMODEW *) || cbIn < sizeof(void *))
            return -1;
        if (fakes.makeDevmode && event != fakes.failEvent)
            *static_cast<DEVMODEW **>(out) = make_job_devmode();
        break;
    case DOCUMENTEVENT_CREATEDCPOST:
    case DOCUMENTEVENT_RESETDCPOST: {
        DEVMODEW *dm = *static_cast<DEVMODEW **>(in);
        fakes.freed.push_back(dm);
        GlobalFree(dm);
        break;
    }
    case DOCUMENTEVENT_STARTDOC:
        fakes.docName = (*static_cast<const DOCINFOW *const *>(in))->lpszDocName;
        break;
    case DOCUMENTEVENT_STARTDOCPOST:
        fakes.postJob = *static_cast<const DWORD *>(in);
        break;
    case DOCUMENTEVENT_ESCAPE:
        fakes.escapeCode = static_cast<const DOCEVENT_ESCAPE *>(in)->iEscape;
        break;
    default:
        break;
    }
    return event == fakes.failEvent ? -1 : 1;
}

DHPDEV fakeEnablePDEV(DEVMODEW *pdm, LPWSTR, ULONG, HSURF *, ULONG, ULONG *, ULONG, DEVINFO *, HDEV, LPWSTR, HANDLE)
{
    fakes.log.push_back("gr:EnablePDEV");
    const BYTE *p = reinterpret_cast<const BYTE *>(pdm);
    fakes.pdevDevmode.assign(p, p + pdm->dmSize + pdm->dmDriverExtra);
    return fakes.refusePdev ? nullptr : reinterpret_cast<DHPDEV>(&pdevTag);
}
void fakeCompletePDEV(DHPDEV, HDEV) {}
/* The surfaces enabled and not yet disabled, oldest first (a reset enables the new one before the old goes). */
std::vector<HSURF> surfaces;
HSURF fakeEnableSurface(DHPDEV dhpdev)
{
    surfaces.push_back(EngCreateDeviceSurface(reinterpret_cast<DHSURF>(dhpdev), SIZEL{100, 100}, BMF_24BPP));
    return surfaces.back();
}
void fakeDisableSurface(DHPDEV)
{
    if (!surfaces.empty()) {
        EngDeleteSurface(surfaces.front());
        surfaces.erase(surfaces.begin());
    }
}
void fakeDisablePDEV(DHPDEV) { fakes.log.push_back("gr:DisablePDEV"); }
BOOL fakeResetPDEV(DHPDEV, DHPDEV) { return fakes.log.push_back("gr:ResetPDEV"), TRUE; }
BOOL fakeStartDoc(SURFOBJ *, LPWSTR, DWORD) { return fakes.log.push_back("gr:StartDoc"), TRUE; }
BOOL fakeStartPage(SURFOBJ *) { return fakes.log.push_back("gr:StartPage"), TRUE; }
BOOL fakeSendPage(SURFOBJ *) { return fakes.log.push_back("gr:SendPage"), TRUE; }
BOOL fakeEndDoc(SURFOBJ *, FLONG fl) { return fakes.log.push_back(fl == ED_ABORTDOC ? "gr:EndDoc(abort)" : "gr:EndDoc"), TRUE; }
ULONG fakeEscape(SURFOBJ *, ULONG code, ULONG cjIn, PVOID, ULONG, PVOID)
{
    fakes.log.push_back("gr:Escape");
    return code == 0x5001 ? cjIn : 0;
}

template <typename F>
PFN pfn(F *f)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f));
}

DRVFN table[] = {
    {INDEX_DrvEnablePDEV, pfn(fakeEnablePDEV)},     {INDEX_DrvCompletePDEV, pfn(fakeCompletePDEV)},
    {INDEX_DrvDisablePDEV, pfn(fakeDisablePDEV)},   {INDEX_DrvEnableSurface, pfn(fakeEnableSurface)},
    {INDEX_DrvDisableSurface, pfn(fakeDisableSurface)}, {INDEX_DrvResetPDEV, pfn(fakeResetPDEV)},
    {INDEX_DrvStartDoc, pfn(fakeStartDoc)},         {INDEX_DrvStartPage, pfn(fakeStartPage)},
    {INDEX_DrvSendPage, pfn(fakeSendPage)},         {INDEX_DrvEndDoc, pfn(fakeEndDoc)},
    {INDEX_DrvEscape, pfn(fakeEscape)},
};

BOOL fakeEnableDriver(ULONG, ULONG, DRVENABLEDATA *ded)
{
    ded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    ded->c = ULONG(std::size(table));
    ded->pdrvfn = table;
    return TRUE;
}

class GdiEvents : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        fakes = Fakes{};
        surfaces.clear();
        plat::FakeExport gr[] = {{"DrvEnableDriver", plat::to_farproc(fakeEnableDriver)}};
        plat::FakeExport ui[] = {{"DrvDocumentEvent", plat::to_farproc(fakeDocumentEvent)}};
        ASSERT_TRUE(plat::loader_register_fake(u"evgr.dll", nullptr, gr));
        ASSERT_TRUE(plat::loader_register_fake(u"evui.dll", nullptr, ui));
        install(u"Event Printer", u"evui.dll");
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::gdi_dc_count(), 0u);
        EXPECT_EQ(plat::loader_load_count(u"evui.dll"), 0u) << "the user-interface library stays loaded";
        SpoolTest::TearDown();
    }
    static void install(const std::u16string &printer, const std::u16string &ui)
    {
        plat::SpoolDriver d;
        d.name = u"Events " + printer;
        d.driver_file = u"evgr.dll";
        d.data_file = u"EV.DDD";
        d.config_file = ui;
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = printer;
        p.driver = d.name;
        p.devmode = make_devmode(220, 8, 3);
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }
    /* The log from the first entry that starts with `from` on (the whole log when none does). */
    static std::vector<std::string> logFrom(const std::string &from)
    {
        auto it = std::find(fakes.log.begin(), fakes.log.end(), from);
        return std::vector<std::string>(it == fakes.log.end() ? fakes.log.begin() : it, fakes.log.end());
    }
};

} // namespace

TEST_F(GdiEvents, ATwoPageJobInGdisOrder)
{
    std::vector<BYTE> app = make_devmode(220, 8, 9);
    HDC dc = CreateDCW(nullptr, u"Event Printer", nullptr, reinterpret_cast<const DEVMODEW *>(app.data()));
    ASSERT_NE(dc, nullptr) << GetLastError();
    ASSERT_EQ(fakes.made.size(), 1u);
    EXPECT_EQ(fakes.pdevDevmode, fakes.made[0]) << "the graphics library gets the job devmode the UI made";
    std::vector<BYTE> used;
    ASSERT_TRUE(plat::gdi_dc_devmode(dc, used));
    EXPECT_EQ(used, fakes.made[0]) << "the context answers the job devmode it prints with";
    DOCINFOW di{sizeof(DOCINFOW), u"Two pages", nullptr, nullptr, 0};
    int job = StartDocW(dc, &di);
    ASSERT_GT(job, 0);
    for (int page = 0; page < 2; page++) {
        EXPECT_GT(StartPage(dc), 0);
        EXPECT_GT(EndPage(dc), 0);
    }
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));

    const std::vector<std::string> expected = {
        "ui:CreateDCPre(no dc)", "gr:EnablePDEV", "ui:CreateDCPost", "ui:StartDoc",  "gr:StartDoc",
        "ui:StartDocPost",       "ui:StartPage",  "gr:StartPage",    "ui:EndPage",   "gr:SendPage",
        "ui:StartPage",          "gr:StartPage",  "ui:EndPage",      "gr:SendPage",  "ui:EndDoc",
        "gr:EndDoc",             "ui:EndDocPost", "ui:DeleteDC",     "gr:DisablePDEV"};
    EXPECT_EQ(fakes.log, expected);
    EXPECT_EQ(fakes.docName, u"Two pages");
    EXPECT_EQ(fakes.postJob, DWORD(job));
    ASSERT_EQ(fakes.freed.size(), 1u) << "the job devmode goes back at CREATEDCPOST";
    HANDLE first = fakes.printers.front();
    EXPECT_NE(first, nullptr);
    EXPECT_TRUE(std::all_of(fakes.printers.begin(), fakes.printers.end(), [&](HANDLE h) { return h == first; }))
        << "every event carries the context's printer handle";
}

TEST_F(GdiEvents, AResetBetweenPagesGetsItsOwnJobDevmode)
{
    HDC dc = CreateDCW(nullptr, u"Event Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    DOCINFOW di{sizeof(DOCINFOW), u"Reset", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    EXPECT_GT(EndPage(dc), 0);
    std::vector<BYTE> landscape = make_devmode(220, 8, 77);
    fakes.log.clear();
    ASSERT_EQ(ResetDCW(dc, reinterpret_cast<const DEVMODEW *>(landscape.data())), dc);
    ASSERT_EQ(fakes.made.size(), 2u);
    EXPECT_EQ(fakes.pdevDevmode, fakes.made[1]) << "the reset context gets the second job devmode";
    std::vector<BYTE> used;
    ASSERT_TRUE(plat::gdi_dc_devmode(dc, used));
    EXPECT_EQ(used, fakes.made[1]) << "after the reset the context answers the second job devmode";
    EXPECT_GT(StartPage(dc), 0);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    const std::vector<std::string> expected = {
        "ui:ResetDCPre", "gr:EnablePDEV", "gr:ResetPDEV", "gr:DisablePDEV", "gr:StartDoc", "ui:ResetDCPost",
        "ui:StartPage",  "gr:StartPage",  "ui:EndPage",   "gr:SendPage",    "ui:EndDoc",   "gr:EndDoc",
        "ui:EndDocPost", "ui:DeleteDC",   "gr:DisablePDEV"};
    EXPECT_EQ(fakes.log, expected);
    EXPECT_EQ(fakes.freed.size(), 2u) << "both job devmodes went back";
}

TEST_F(GdiEvents, AnAbortedJobAndEscapes)
{
    HDC dc = CreateDCW(nullptr, u"Event Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    DOCINFOW di{sizeof(DOCINFOW), u"Aborted", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    BYTE in[4] = {1, 2, 3, 4};
    fakes.log.clear();
    EXPECT_EQ(ExtEscape(dc, 0x5001, 4, reinterpret_cast<LPCSTR>(in), 0, nullptr), 4);
    EXPECT_EQ(fakes.escapeCode, 0x5001);
    EXPECT_EQ(ExtEscape(dc, 0x5001, -1, nullptr, 0, nullptr), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_GT(AbortDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    const std::vector<std::string> expected = {"ui:Escape",   "gr:Escape",   "ui:AbortDoc", "gr:EndDoc(abort)",
                                               "ui:DeleteDC", "gr:DisablePDEV"};
    EXPECT_EQ(fakes.log, expected);
    auto jobs = plat::spool_jobs(u"Event Printer");
    EXPECT_TRUE(jobs.empty()) << "the aborted job is deleted";
}

TEST_F(GdiEvents, AnEventAnsweringFailureFailsItsCall)
{
    struct Case {
        int event;
        std::vector<std::string> tail; /* the log from the failing event on */
    } cases[] = {
        {DOCUMENTEVENT_CREATEDCPRE, {"ui:CreateDCPre(no dc)"}},
        {DOCUMENTEVENT_STARTDOC, {"ui:StartDoc", "ui:DeleteDC", "gr:DisablePDEV"}},
        {DOCUMENTEVENT_STARTDOCPOST,
         {"ui:StartDocPost", "ui:AbortDoc", "gr:EndDoc(abort)", "ui:DeleteDC", "gr:DisablePDEV"}},
        {DOCUMENTEVENT_STARTPAGE, {"ui:StartPage", "ui:AbortDoc", "gr:EndDoc(abort)", "ui:DeleteDC", "gr:DisablePDEV"}},
        {DOCUMENTEVENT_ENDPAGE, {"ui:EndPage", "ui:AbortDoc", "gr:EndDoc(abort)", "ui:DeleteDC", "gr:DisablePDEV"}},
        {DOCUMENTEVENT_ENDDOC, {"ui:EndDoc", "ui:AbortDoc", "gr:EndDoc(abort)", "ui:DeleteDC", "gr:DisablePDEV"}},
    };
    for (const Case &c : cases) {
        fakes = Fakes{};
        fakes.failEvent = c.event;
        std::string name = event_name(c.event);
        HDC dc = CreateDCW(nullptr, u"Event Printer", nullptr, nullptr);
        if (c.event == DOCUMENTEVENT_CREATEDCPRE) {
            EXPECT_EQ(dc, nullptr) << name;
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CANCELLED)) << name;
        } else {
            ASSERT_NE(dc, nullptr) << name;
            DOCINFOW di{sizeof(DOCINFOW), u"Refused", nullptr, nullptr, 0};
            bool ok = StartDocW(dc, &di) > 0 && StartPage(dc) > 0 && EndPage(dc) > 0 && EndDoc(dc) > 0;
            EXPECT_FALSE(ok) << name;
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CANCELLED)) << name;
            if (c.event != DOCUMENTEVENT_STARTDOC && c.event != DOCUMENTEVENT_STARTDOCPOST)
                AbortDoc(dc);
            EXPECT_TRUE(DeleteDC(dc));
        }
        EXPECT_EQ(logFrom("ui:" + name), c.tail) << name;
        EXPECT_EQ(fakes.made.size(), fakes.freed.size()) << name << ": every job devmode went back";
    }
}

TEST_F(GdiEvents, AContextThatCannotBeMadeStillGivesItsDevmodeBack)
{
    fakes.refusePdev = true;
    EXPECT_EQ(CreateDCW(nullptr, u"Event Printer", nullptr, nullptr), nullptr);
    const std::vector<std::string> expected = {"ui:CreateDCPre(no dc)", "gr:EnablePDEV", "ui:CreateDCPost(no dc)",
                                               "ui:DeleteDC(no dc)"};
    EXPECT_EQ(fakes.log, expected);
    EXPECT_EQ(fakes.freed.size(), 1u);
}

TEST_F(GdiEvents, WithoutAJobDevmodeTheCallersGoesToTheLibrary)
{
    fakes.makeDevmode = false;
    std::vector<BYTE> app = make_devmode(220, 8, 9);
    HDC dc = CreateDCW(nullptr, u"Event Printer", nullptr, reinterpret_cast<const DEVMODEW *>(app.data()));
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(fakes.pdevDevmode, app);
    std::vector<BYTE> used;
    ASSERT_TRUE(plat::gdi_dc_devmode(dc, used));
    EXPECT_EQ(used, app) << "the caller's devmode is the one printed with";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(plat::gdi_dc_devmode(dc, used)) << "a deleted context has none";
}

TEST_F(GdiEvents, APrinterWithoutAUserInterfaceLibraryGetsNoEvents)
{
    install(u"Plain Printer", u"missing.dll");
    HDC dc = CreateDCW(nullptr, u"Plain Printer", nullptr, nullptr);
    ASSERT_NE(dc, nullptr) << GetLastError();
    std::vector<BYTE> used;
    ASSERT_TRUE(plat::gdi_dc_devmode(dc, used));
    EXPECT_EQ(used, make_devmode(220, 8, 3)) << "the printer's own devmode is the one printed with";
    DOCINFOW di{sizeof(DOCINFOW), u"Plain", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    const std::vector<std::string> expected = {"gr:EnablePDEV", "gr:StartDoc", "gr:EndDoc", "gr:DisablePDEV"};
    EXPECT_EQ(fakes.log, expected);
    EXPECT_EQ(fakes.pdevDevmode, make_devmode(220, 8, 3)) << "the printer's own devmode";
}
