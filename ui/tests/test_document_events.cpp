// The document events as the real library answers them (loaded from the
// driver directory, its export called as GDI calls it): each event with and
// without a device context, a null printer handle, two printer handles, an
// incoming job devmode passed through, a marker other than 24 rebuilt, the
// job devmode's tail against values worked out by hand, and the data
// manager missing; then the fix-ups of the job devmode as a table, with
// enforcement blocking the write-back.
#include "doc_events.h"
#include "ui_test_support.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/gdi.h>
#include <plat/memory.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using namespace ui_test;

/* A device context handle as the library sees it: any non-null value (it never looks inside). */
HDC someDc() { return reinterpret_cast<HDC>(uintptr_t(0x5000)); }

ULONGLONG getSetting(BYTE *image, BYTE *printerData, WORD id)
{
    const IdLayoutItem *item = nullptr;
    EXPECT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
    return item ? DMB_GetTypedValue(image, printerData, id, item->reportedType ? item->reportedType : item->storedType)
                : 0;
}

class DocumentEvents : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        ui = LoadLibraryW(u"tarvelui.dll");
        ASSERT_NE(ui, nullptr) << plat::loader_last_failure();
        event = plat::proc_cast<PFN_DrvDocumentEvent>(GetProcAddress(ui, "DrvDocumentEvent"));
        ASSERT_NE(event, nullptr);
    }
    void TearDown() override
    {
        if (ui)
            FreeLibrary(ui);
        UiTest::TearDown();
    }

    /* Create-DC-pre for `printer` with `devmode`: its answer, the job devmode in *out. */
    int createPre(HANDLE printer, const DEVMODEW *devmode, DEVMODEW **out)
    {
        std::u16string device = kColourPrinter;
        DOCEVENT_CREATEDCPRE pre{nullptr, device.data(), const_cast<DEVMODEW *>(devmode), FALSE};
        *out = nullptr;
        return event(printer, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof pre, &pre, sizeof *out, out);
    }
    int post(HANDLE printer, int ev, DEVMODEW *dm) { return event(printer, someDc(), ev, sizeof dm, &dm, 0, nullptr); }
    int simple(HANDLE printer, HDC dc, int ev) { return event(printer, dc, ev, 0, nullptr, 0, nullptr); }

    /* The references on the library: this test's one and one per job record. */
    static DWORD uiLoads() { return plat::loader_load_count(u"tarvelui.dll"); }

    HMODULE ui = nullptr;
    PFN_DrvDocumentEvent event = nullptr;
};

} // namespace

TEST_F(DocumentEvents, CreateAndDeleteWithTheJobDevmodesTail)
{
    Printer p(kColourPrinter);
    ASSERT_NE(p.handle, nullptr);
    DEVMODEW *dm = nullptr;
    ASSERT_EQ(createPre(p.handle, nullptr, &dm), 1);
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(GlobalSize(dm), 5920u);
    EXPECT_EQ(uiLoads(), 2u) << "the record holds the library";
    const BYTE *b = reinterpret_cast<const BYTE *>(dm);
    EXPECT_EQ(plat::load_u16(b, 68), 220) << "dmSize";
    EXPECT_EQ(plat::load_u16(b, 70), 5700) << "dmDriverExtra";
    EXPECT_EQ(plat::load_u16(b, 5896), 24) << "marker";
    EXPECT_EQ(std::vector<BYTE>(b + 5898, b + 5912), std::vector<BYTE>(14, 0)) << "no paper part without user margins";
    EXPECT_EQ(plat::load_u32(b, 5912), 0u) << "forms not merged: printer data 5201 is off";
    EXPECT_EQ(plat::load_u32(b, 5916), 0u) << "the colour mode is not enforced";

    /* The same printer's settings with user margins (setting 387) asked by the application. */
    std::vector<BYTE> app(b, b + 1604);
    plat::store_u16(app.data(), 70, 1384);
    setSetting(app.data(), nullptr, 387, 1);
    DEVMODEW *withMargins = nullptr;
    ASSERT_EQ(createPre(p.handle, reinterpret_cast<DEVMODEW *>(app.data()), &withMargins), 1);
    ASSERT_NE(withMargins, nullptr);
    /* Letter (1), model paper 1, the built-in margins of 4.6 mm in every place */
    const WORD tail[6] = {1, 1, 46, 46, 46, 46};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(plat::load_u16(withMargins, 5898 + 2 * size_t(i)), tail[i]) << "tail word " << i;
    EXPECT_EQ(uiLoads(), 3u) << "a second record for the second create (same handle)";

    EXPECT_EQ(post(p.handle, DOCUMENTEVENT_CREATEDCPOST, dm), 1);
    EXPECT_EQ(post(p.handle, DOCUMENTEVENT_CREATEDCPOST, withMargins), 1);
    EXPECT_EQ(post(p.handle, DOCUMENTEVENT_CREATEDCPOST, nullptr), 1) << "a null pointer frees nothing";
    EXPECT_EQ(simple(p.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(simple(p.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(simple(p.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1) << "no record left: still 1";
    EXPECT_EQ(uiLoads(), 1u);
}

TEST_F(DocumentEvents, AJobDevmodePassesThroughAndAWrongMarkerIsRebuilt)
{
    Printer p(kColourPrinter);
    DEVMODEW *job = nullptr;
    ASSERT_EQ(createPre(p.handle, nullptr, &job), 1);
    std::vector<BYTE> copy(reinterpret_cast<BYTE *>(job), reinterpret_cast<BYTE *>(job) + 5920);
    DEVMODEW *out = nullptr;
    EXPECT_EQ(createPre(p.handle, reinterpret_cast<DEVMODEW *>(copy.data()), &out), 1);
    EXPECT_EQ(out, nullptr) << "GDI keeps the caller's job devmode";
    EXPECT_EQ(uiLoads(), 3u) << "the record is made all the same";

    plat::store_u16(copy.data(), 5896, 23);
    ASSERT_EQ(createPre(p.handle, reinterpret_cast<DEVMODEW *>(copy.data()), &out), 1);
    ASSERT_NE(out, nullptr) << "rebuilt";
    EXPECT_EQ(plat::load_u16(out, 5896), 24);
    GlobalFree(out);
    GlobalFree(job);
    for (int i = 0; i < 3; i++)
        simple(p.handle, someDc(), DOCUMENTEVENT_DELETEDC);
    EXPECT_EQ(uiLoads(), 1u);
}

TEST_F(DocumentEvents, EveryEventWithAndWithoutAContext)
{
    Printer p(kColourPrinter);
    DEVMODEW *dm = nullptr;
    ASSERT_EQ(createPre(p.handle, nullptr, &dm), 1);
    ASSERT_EQ(post(p.handle, DOCUMENTEVENT_CREATEDCPOST, dm), 1);
    const DOCINFOW doc{sizeof(DOCINFOW), u"Doc", nullptr, nullptr, 0};
    const DOCINFOW *docPtr = &doc;
    DWORD jobId = 7;
    struct Case {
        int ev;
        PVOID in;
        ULONG cbIn;
        int withDc;
        int withoutDc;
    } cases[] = {
        /* start of document and start-doc-post: the renderer cannot be reached through a context GDI does not know */
        {DOCUMENTEVENT_STARTDOC, &docPtr, sizeof docPtr, -1, -1},
        /* start of page needs the renderer's settings; end of page goes on when its query fails */
        {DOCUMENTEVENT_STARTPAGE, nullptr, 0, -1, -1},
        {DOCUMENTEVENT_ENDPAGE, nullptr, 0, 1, -1},
        {DOCUMENTEVENT_ENDDOC, nullptr, 0, 1, -1},
        {DOCUMENTEVENT_STARTDOCPOST, &jobId, sizeof jobId, -1, -1},
        {DOCUMENTEVENT_ABORTDOC, nullptr, 0, 0, 0},
        {DOCUMENTEVENT_ESCAPE, nullptr, 0, 0, 0},
        {DOCUMENTEVENT_ENDDOCPOST, nullptr, 0, 0, 0},
        {14, nullptr, 0, 0, 0},
        {99, nullptr, 0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(event(p.handle, someDc(), c.ev, c.cbIn, c.in, 0, nullptr), c.withDc) << "event " << c.ev;
        EXPECT_EQ(event(p.handle, nullptr, c.ev, c.cbIn, c.in, 0, nullptr), c.withoutDc) << "event " << c.ev;
    }
    /* reset-DC: a job devmode for the new settings, then freed; the job data after it cannot reach the renderer */
    const DEVMODEW *asked = nullptr;
    DEVMODEW *fresh = nullptr;
    EXPECT_EQ(event(p.handle, someDc(), DOCUMENTEVENT_RESETDCPRE, sizeof asked, &asked, sizeof fresh, &fresh), 1);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(post(p.handle, DOCUMENTEVENT_RESETDCPOST, fresh), -1);
    EXPECT_EQ(event(p.handle, someDc(), DOCUMENTEVENT_RESETDCPRE, sizeof asked, &asked, 0, nullptr), -1)
        << "no place for the result";
    EXPECT_EQ(event(p.handle, nullptr, DOCUMENTEVENT_CREATEDCPRE, 0, nullptr, 0, nullptr), -1) << "no create record";
    EXPECT_EQ(simple(p.handle, nullptr, DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(uiLoads(), 1u);
}

TEST_F(DocumentEvents, ANullPrinterHandleFailsEveryEvent)
{
    for (int ev = 1; ev <= 14; ev++)
        EXPECT_EQ(event(nullptr, someDc(), ev, 0, nullptr, 0, nullptr), -1) << "event " << ev;
}

TEST_F(DocumentEvents, TwoPrinterHandlesKeepTwoRecords)
{
    Printer a(kColourPrinter), b(kColourPrinter);
    DEVMODEW *dmA = nullptr, *dmB = nullptr;
    ASSERT_EQ(createPre(a.handle, nullptr, &dmA), 1);
    ASSERT_EQ(createPre(b.handle, nullptr, &dmB), 1);
    EXPECT_EQ(uiLoads(), 3u);
    post(a.handle, DOCUMENTEVENT_CREATEDCPOST, dmA);
    post(b.handle, DOCUMENTEVENT_CREATEDCPOST, dmB);
    EXPECT_EQ(simple(a.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(uiLoads(), 2u) << "the second record stays";
    EXPECT_EQ(simple(a.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(uiLoads(), 2u) << "deleting the first again finds nothing";
    EXPECT_EQ(simple(b.handle, someDc(), DOCUMENTEVENT_DELETEDC), 1);
    EXPECT_EQ(uiLoads(), 1u);
}

TEST_F(DocumentEvents, WithoutTheDataManagerCreateFails)
{
    /* The library finds no data manager: this test lets go of its own and the file goes. */
    FreeLibrary(ui);
    ui = nullptr;
    DMB_Unload();
    ASSERT_EQ(plat::loader_load_count(u"tarveldm.dll"), 0u);
    std::string dir;
    ASSERT_TRUE(plat::map_path(plat::driver_dir_win(), dir));
    std::filesystem::remove(std::filesystem::path(dir) / "libtarveldm.so");
    ui = LoadLibraryW(u"tarvelui.dll");
    ASSERT_NE(ui, nullptr) << "the library attaches all the same";
    event = plat::proc_cast<PFN_DrvDocumentEvent>(GetProcAddress(ui, "DrvDocumentEvent"));
    Printer p(kColourPrinter);
    DEVMODEW *dm = nullptr;
    EXPECT_EQ(createPre(p.handle, nullptr, &dm), -1);
    EXPECT_EQ(dm, nullptr);
    EXPECT_EQ(uiLoads(), 1u) << "no record";
    DMB_Load(RES_GetOwnModule()); /* counted again for the fixture's release, though it fails */
}

/* ---- The fix-ups, in this process ------------------------------------------------ */

class JobDevmodeFixups : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter, PRINTER_ALL_ACCESS);
        context = MDL_Open(printer->handle);
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(UPG_LoadPrinterData(printer->handle, printerData.data(), context));
    }
    void TearDown() override
    {
        if (context)
            MDL_Close(context);
        printer.reset();
        UiTest::TearDown();
    }
    /* A fresh job devmode of the printer with setting 1333 on. */
    std::vector<BYTE> jobWithSecure()
    {
        DEVMODEW *dm = nullptr;
        EXPECT_EQ(DOC_BuildJobDevmode(printer->handle, nullptr, &dm), 1);
        std::vector<BYTE> job(reinterpret_cast<BYTE *>(dm), reinterpret_cast<BYTE *>(dm) + 5920);
        GlobalFree(dm);
        setSetting(job.data(), printerData.data(), 1333, 1);
        return job;
    }
    std::unique_ptr<Printer> printer;
    ModelContext *context = nullptr;
    std::vector<BYTE> printerData = std::vector<BYTE>(6148, 0);
};

TEST_F(JobDevmodeFixups, EachReasonClearsSetting1333)
{
    struct Reason {
        WORD id;
        int value;
    } reasons[] = {{334, 1}, {406, 1}, {286, 2}, {1296, 1}, {1297, 1}, {1298, 1}, {1299, 1},
                   {1300, 1}, {1301, 1}, {1332, 1}, {336, 1}, {339, 1}};
    for (const Reason &r : reasons) {
        std::vector<BYTE> job = jobWithSecure();
        setSetting(job.data(), printerData.data(), r.id, r.value);
        EXPECT_EQ(DOC_FixupJobDevmode(context, job.data(), printerData.data()), 1);
        EXPECT_EQ(getSetting(job.data(), printerData.data(), 1333), 0u) << "setting " << r.id;
    }
    std::vector<BYTE> job = jobWithSecure();
    setSetting(job.data(), printerData.data(), 286, 1); /* 286 = 1 is no reason */
    DOC_FixupJobDevmode(context, job.data(), printerData.data());
    EXPECT_EQ(getSetting(job.data(), printerData.data(), 1333), 1u);

    /* Setting 5203 is a reason only on a model with capability bit 25. */
    const bool cap25 = MDL_HasCapability(context->main, MDL_CAP_BIT(25));
    std::vector<BYTE> withCap = jobWithSecure();
    setSetting(withCap.data(), printerData.data(), 5203, 1);
    DOC_FixupJobDevmode(context, withCap.data(), printerData.data());
    EXPECT_EQ(getSetting(withCap.data(), printerData.data(), 1333), cap25 ? 0u : 1u) << "capability 25: " << cap25;
    setSetting(withCap.data(), printerData.data(), 5203, 0);
}

TEST_F(JobDevmodeFixups, TheCorrectionsWhenSetting1333Stays)
{
    std::vector<BYTE> job = jobWithSecure();
    setSetting(job.data(), printerData.data(), 5146, 1);
    setSetting(job.data(), printerData.data(), 8201, 1);
    setSetting(job.data(), printerData.data(), 1321, 1);
    const WCHAR *bitmap = u"C:\\mark.bmp";
    ASSERT_EQ(DMB_SetValue(1857, job.data(), printerData.data(), SVT_WSTRING, 24, &bitmap), 0);
    EXPECT_EQ(DOC_FixupJobDevmode(context, job.data(), printerData.data()), 1);
    EXPECT_EQ(getSetting(job.data(), printerData.data(), 1333), 1u);
    EXPECT_EQ(getSetting(job.data(), printerData.data(), 5146), 0u);
    EXPECT_EQ(getSetting(job.data(), printerData.data(), 1321), 0u);
    auto text = reinterpret_cast<const BYTE *>(uintptr_t(DMB_GetTypedValue(job.data(), printerData.data(), 1857, 6)));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(plat::load_u16(text, 0), 0) << "the bitmap without a watermark text goes";

    /* With setting 1333 off nothing changes. */
    std::vector<BYTE> off = jobWithSecure();
    setSetting(off.data(), printerData.data(), 1333, 0);
    setSetting(off.data(), printerData.data(), 5146, 1);
    std::vector<BYTE> before = off;
    DOC_FixupJobDevmode(context, off.data(), printerData.data());
    EXPECT_EQ(off, before);
}

TEST_F(JobDevmodeFixups, AnEnforcedSetting1333IsNotWrittenBack)
{
    CfgFeatureEntry entry{1333, 1, CFG_FLAG_ENFORCED};
    ModelSpecials specials{1, 0, &entry, nullptr};
    ModelSpecials *own = context->specials;
    context->specials = &specials;
    std::vector<BYTE> job = jobWithSecure();
    setSetting(job.data(), printerData.data(), 334, 1);
    DOC_FixupJobDevmode(context, job.data(), printerData.data());
    context->specials = own;
    EXPECT_EQ(getSetting(job.data(), printerData.data(), 1333), 1u) << "a reason, but enforced: kept";
}

/* The device blocks in the job devmode: the printer's stored ones, a pipe name in setting 374 passed over. */
TEST_F(JobDevmodeFixups, TheJobDevmodeCarriesThePrintersDeviceBlocks)
{
    std::vector<BYTE> job = jobWithSecure();
    const WCHAR *bitmap = u"C:\\stored.bmp";
    ASSERT_EQ(DMB_SetValue(1857, job.data(), printerData.data(), SVT_WSTRING, 28, &bitmap), 0);
    ASSERT_TRUE(PDT_SaveDeviceBlobs(printer->handle, context, nullptr, PDT_STORE_PRINTER, nullptr, 0,
                                    job.data() + 1604, nullptr, 0));
    std::vector<BYTE> fresh = jobWithSecure();
    auto text = reinterpret_cast<const BYTE *>(uintptr_t(DMB_GetTypedValue(fresh.data(), printerData.data(), 1857, 6)));
    ASSERT_NE(text, nullptr);
    std::u16string read;
    for (size_t i = 0; plat::load_u16(text, 2 * i) != 0; i++)
        read += char16_t(plat::load_u16(text, 2 * i));
    EXPECT_EQ(read, u"C:\\stored.bmp");

    /* A pipe name (in any case) is no hand-over file: the store still answers. */
    std::vector<BYTE> piped = fresh;
    const WCHAR *pipe = u"\\\\.\\PIPE\\handover";
    ASSERT_EQ(DMB_SetValue(374, piped.data(), printerData.data(), SVT_WSTRING, 36, &pipe), 0);
    std::memset(piped.data() + 1604, 0, 4292);
    EXPECT_EQ(DOC_LoadDeviceBlocks(printer->handle, context, piped.data(), printerData.data()), 1);
    EXPECT_TRUE(std::equal(piped.begin() + 1604, piped.begin() + 5896, fresh.begin() + 1604));
}

/* ---- The job list under its one lock ------------------------------------------------- */

class JobList : public UiTest {};

TEST_F(JobList, RecordsMadeAndFreedOnManyThreadsAtOnce)
{
    /* Each thread makes and frees the first and last records of the list over and over. */
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    std::vector<std::thread> threads;
    std::atomic<int> lost{0};
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([t, &lost] {
            for (int i = 0; i < kRounds; i++) {
                auto printer = reinterpret_cast<HANDLE>(uintptr_t(0x1000 * (t + 1) + i));
                if (!DOC_CreateJob(printer) || DOC_FindJob(printer)->printer != printer)
                    lost++;
                DOC_DeleteJob(printer);
                if (DOC_FindJob(printer))
                    lost++;
            }
        });
    for (std::thread &th : threads)
        th.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(DOC_JobCount(), 0u);
}
