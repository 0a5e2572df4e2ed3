// Whole jobs on GDI's road with the real libraries of the driver directory:
// every document event reaches the user-interface library, whose job
// devmode the rendering library works on, and nothing of either library is
// left behind after the device context goes.
#include "doc_events.h"
#include "ui_test_support.h"

#include <plat/gdi.h>
#include <plat/memory.h>

namespace {

using namespace ui_test;

class JobRoad : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
    }
    /*
     * An application's devmode: the printer's settings (the first 1,604 bytes
     * of a job devmode) in colour (automatic colour waits for page
     * recording) with blank pages printed, and the orientation given.
     */
    std::vector<BYTE> appDevmode(int orientation)
    {
        Printer p(kColourPrinter);
        DEVMODEW *job = nullptr;
        EXPECT_EQ(DOC_BuildJobDevmode(p.handle, nullptr, &job), 1);
        std::vector<BYTE> dm(reinterpret_cast<BYTE *>(job), reinterpret_cast<BYTE *>(job) + 1604);
        GlobalFree(job);
        plat::store_u16(dm.data(), 70, 1384);
        EXPECT_EQ(DMB_SetValueArgs(dm.data(), nullptr, 270, 3u, 2), 0);
        EXPECT_EQ(DMB_SetValueArgs(dm.data(), nullptr, 15, 2u, 2), 0);
        EXPECT_EQ(DMB_SetValueArgs(dm.data(), nullptr, 1334, 1u, 0), 0);
        EXPECT_EQ(DMB_SetValueArgs(dm.data(), nullptr, 7, 2u, orientation), 0);
        return dm;
    }
};

} // namespace

TEST_F(JobRoad, ATwoPageJobWithAResetBetweenItsPages)
{
    std::vector<BYTE> portrait = appDevmode(DMORIENT_PORTRAIT);
    HDC dc = CreateDCW(nullptr, kColourPrinter, nullptr, reinterpret_cast<const DEVMODEW *>(portrait.data()));
    ASSERT_NE(dc, nullptr) << GetLastError();
    EXPECT_EQ(plat::loader_load_count(u"tarvelui.dll"), 2u) << "GDI's load and the job record's";
    /* Letter at 600 dpi from the printer's settings, as the library's job devmode says */
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 5100);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
    DOCINFOW di{sizeof(DOCINFOW), u"Road", nullptr, nullptr, 0};
    int job = StartDocW(dc, &di);
    ASSERT_GT(job, 0) << GetLastError();
    EXPECT_GT(StartPage(dc), 0);
    EXPECT_GT(EndPage(dc), 0);

    /* The second page in landscape: the library builds a job devmode for the application's new one. */
    std::vector<BYTE> landscape = appDevmode(DMORIENT_LANDSCAPE);
    ASSERT_EQ(ResetDCW(dc, reinterpret_cast<const DEVMODEW *>(landscape.data())), dc) << GetLastError();
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 6600) << "Letter turned";
    EXPECT_GT(StartPage(dc), 0);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0) << GetLastError();
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(plat::loader_load_count(u"tarvelui.dll"), 0u) << "the record's reference went with the context";
    EXPECT_EQ(plat::loader_load_count(u"tarvelgr.dll"), 0u);
    std::vector<BYTE> bytes;
    ASSERT_TRUE(plat::spool_job_bytes(DWORD(job), bytes));
    EXPECT_GT(bytes.size(), 0u);
}

TEST_F(JobRoad, AnAbortedJobLeavesNothing)
{
    HDC dc = CreateDCW(nullptr, kColourPrinter, nullptr, nullptr);
    ASSERT_NE(dc, nullptr) << GetLastError();
    DOCINFOW di{sizeof(DOCINFOW), u"Aborted", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    EXPECT_GT(AbortDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(plat::loader_load_count(u"tarvelui.dll"), 0u);
    EXPECT_TRUE(plat::spool_jobs(kColourPrinter).empty());
}
