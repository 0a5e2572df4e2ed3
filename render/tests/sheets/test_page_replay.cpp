// Recording a page with its side records and replaying it: the replayed
// stream is the direct stream of the same page (with the graphics state the
// recorded page start pushes), each action bit acts at its side record, and
// bad records, failed reads and failed writes stop the replay cleanly.
#include "xl_test_support.h"

#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "page_geometry.h"
#include "page_recording.h"
#include "page_recording_direct.h"
#include "page_recording_replay.h"
#include "page_colors.h"
#include "pclxl_ops.h"
#include "sheet_state.h"

#include <plat/fault.h>
#include <plat/file.h>

#include <cstring>
#include <functional>

namespace {

constexpr DWORD kAllRecords = REC_RECORDS_PAGE_START | REC_RECORDS_PAGE_END | REC_RECORDS_SHEET_MARK |
                              REC_RECORDS_TRANSFORM;

/* Hex pieces joined with single spaces, empty pieces left out. */
std::string join(std::initializer_list<std::string> pieces)
{
    std::string out;
    for (const std::string &p : pieces)
        if (!p.empty())
            out += (out.empty() ? "" : " ") + p;
    return out;
}

class Replay : public XlTest {
protected:
    void SetUp() override
    {
        XlTest::SetUp();
        layout = std::make_unique<PageLayout>();
        pdev->pageLayout = layout.get();
        pdev->ctmTracker = XL_CreateCtmTracker(ctx(), 1);
        ASSERT_NE(pdev->ctmTracker, nullptr);
        pdev->jobState |= JOB_SHEET_OPEN;
        sheet()->tray = 0x0102;
        for (size_t i = 0; i < sizeof sheet()->paper; i++)
            reinterpret_cast<BYTE *>(&sheet()->paper)[i] = BYTE(0xA0 + i);
        ASSERT_EQ(OUT_BeginRecording(pdev->channel, 3, 8, 2), 0);
    }
    void TearDown() override
    {
        OUT_EndRecording(pdev->channel);
        XL_FreeCtmTracker(pdev->ctmTracker);
        pdev->pageLayout = nullptr;
        XlTest::TearDown();
    }

    SheetPipelineState *sheet() { return &layout->sheet; }

    /* The pieces of one page, each as the direct road writes it. */
    struct Page {
        std::string begin, transform, draw, end;
    };

    /* Runs the page's calls; with `pieces`, collects what each wrote. */
    void runPage(Page *pieces = nullptr)
    {
        auto piece = [&](std::string *out) {
            std::string s = take();
            if (out)
                *out = s;
        };
        ASSERT_EQ(REC_BeginPage(ctx(), colorCode, 1, mediaSize, 210.0f, 297.0f), 0);
        piece(pieces ? &pieces->begin : nullptr);
        ASSERT_EQ(REC_SetTransform(ctx(), &transform), 0);
        piece(pieces ? &pieces->transform : nullptr);
        ASSERT_EQ(XL_SetRop(ctx(), 0xCC), 0);
        ASSERT_EQ(REC_Mark(ctx()), 0);
        ASSERT_EQ(XL_SetRop(ctx(), 0x66), 0);
        piece(pieces ? &pieces->draw : nullptr);
        ASSERT_EQ(REC_EndPage(ctx()), 0);
        piece(pieces ? &pieces->end : nullptr);
    }

    /* The page written straight to the printer, piece by piece. */
    Page directPage()
    {
        XL_ResetCtmTracker(pdev->ctmTracker);
        Page p;
        runPage(&p);
        XL_ResetCtmTracker(pdev->ctmTracker);
        return p;
    }

    /* Records the page as page 3 with every kind of side record. */
    void recordPage()
    {
        take();
        ASSERT_EQ(OUT_BeginPageRecord(pdev->channel, 3), 0);
        pdev->recordFlags = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN | kAllRecords;
        runPage();
        EXPECT_EQ(take(), "") << "nothing reaches the printer while recording";
        ASSERT_EQ(OUT_EndPageRecord(pdev->channel), 0);
        pdev->recordFlags = REC_FLAG_RECORDING;
        XL_InvalidateState(ctx());
    }

    std::unique_ptr<PageLayout> layout;
    BYTE colorCode = 2;
    SHORT mediaSize = 2;
    PageTransform transform{0.5f, 0, 0, 0.5f, 100, 200};
};

TEST_F(Replay, ReplayedPageIsTheDirectPageInsideASavedGraphicsState)
{
    Page d = directPage();
    recordPage();
    EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), 1);
    PageTransform identity;
    LAY_SetIdentity(&identity);
    struct Case {
        DWORD actions;
        std::string expect;
    } cases[] = {
        /* PushGS (61) after the page start, PopGS (60) before the page end */
        {1, join({d.begin, "61", d.transform, d.draw, "60"})},
        {9, join({d.begin, "61", d.transform, d.draw, "60"})},
        {14, join({"61", d.transform, d.draw, "60", d.end})},
        {15, join({d.begin, "61", d.transform, d.draw, "60", d.end})},
        {0, join({"61", d.transform, d.draw, "60"})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.actions);
        XL_InvalidateState(ctx());
        ASSERT_EQ(REC_ReplayPage(ctx(), 3, c.actions, 0, &identity, -1), 0);
        EXPECT_EQ(take(), c.expect);
        EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), 1) << "the valid flag came back";
        EXPECT_EQ(pdev->channel->recorder.state, SEG_STATE_IDLE);
    }
}

TEST_F(Replay, PageStartRecordHoldsThePageAndPutsItBack)
{
    recordPage();
    /* The first side record lies at the start of the page: {0, 52, distance}, then the payload. */
    SpoolFile *f = &pdev->channel->spoolFile;
    Bytes record(60);
    ASSERT_EQ(OUT_SpoolSeek(f, 0), 0);
    ASSERT_EQ(OUT_SpoolRead(f, record.data(), 60), 60);
    std::string paper;
    for (int i = 0; i < 32; i++)
        paper += (i ? " " : "") + hex(Bytes{BYTE(0xA0 + i)});
    EXPECT_EQ(hex(Bytes(record.begin(), record.begin() + 4)), "00 00 34 00");
    EXPECT_EQ(hex(Bytes(record.begin() + 8, record.end())),
              "02 01 02 00 00 00 52 43 00 80 94 43 " + paper + " 02 01 00 00 00 00 00 00");

    std::memset(&sheet()->paper, 0, sizeof sheet()->paper);
    sheet()->tray = 7;
    ASSERT_EQ(REC_ReplayPage(ctx(), 3, 1, 0, nullptr, -1), 0);
    take();
    EXPECT_EQ(sheet()->tray, 0x0102);
    EXPECT_EQ(reinterpret_cast<BYTE *>(&sheet()->paper)[31], 0xBF);
}

TEST_F(Replay, ColourCodeAndMediaSourceOverrideTheRecordedOnes)
{
    mediaSize = -1; /* a custom size */
    colorCode = 1;
    recordPage();
    ASSERT_EQ(REC_WritePageStart(ctx(), 2, 4, -1, 210.0f, 297.0f), 0);
    std::string start = take();
    XL_InvalidateState(ctx());
    ASSERT_EQ(REC_ReplayPage(ctx(), 3, 1, 2, nullptr, 4), 0);
    EXPECT_EQ(take().rfind(start + " 61", 0), 0u);
    ASSERT_EQ(REC_WritePageStart(ctx(), 1, 1, -1, 210.0f, 297.0f), 0);
    start = take();
    XL_InvalidateState(ctx());
    ASSERT_EQ(REC_ReplayPage(ctx(), 3, 1, 0, nullptr, -1), 0);
    EXPECT_EQ(take().rfind(start + " 61", 0), 0u) << "the recorded code, source and custom size";
}

TEST_F(Replay, TransformsArePlacedInTheirCell)
{
    LAY_SetIdentity(&transform);
    recordPage();
    PageTransform cell{0, 1, -1, 0, 300, 40};
    XL_ResetCtmTracker(pdev->ctmTracker);
    ASSERT_EQ(XL_ApplyCtm(pdev->ctmTracker, &cell), 0);
    std::string placed = take();
    XL_InvalidateState(ctx());
    ASSERT_EQ(REC_ReplayPage(ctx(), 3, 14, 0, &cell, -1), 0);
    EXPECT_EQ(take().rfind("61 " + placed, 0), 0u) << "the identity followed by the cell is the cell";
    EXPECT_EQ(REC_ReplayPage(ctx(), 3, 8, 0, nullptr, -1), -1) << "no cell to place the page in";
}

TEST_F(Replay, BadPagesAndFailuresStopTheReplay)
{
    recordPage();
    PageTransform identity;
    LAY_SetIdentity(&identity);
    EXPECT_EQ(REC_ReplayPage(ctx(), 4, 15, 0, &identity, -1), -1) << "not recorded";
    EXPECT_EQ(REC_ReplayPage(ctx(), 2, 15, 0, &identity, -1), -1);
    EXPECT_EQ(REC_ReplayPage(nullptr, 3, 15, 0, &identity, -1), -1);

    SpoolFile *f = &pdev->channel->spoolFile;
    PagePosition pos{};
    ASSERT_EQ(GT_Get(&pdev->channel->pagePositions, 0, &pos), 0);
    Bytes good(pos.end);
    ASSERT_EQ(OUT_SpoolSeek(f, 0), 0);
    ASSERT_EQ(OUT_SpoolRead(f, good.data(), pos.end), LONG(pos.end));
    struct Case {
        const char *what;
        std::function<void()> spoil;
        std::function<void()> mend;
    } cases[] = {
        {"unknown side-record type",
         [&] {
             BYTE seven = 7;
             OUT_SpoolSeek(f, 0);
             OUT_SpoolWrite(f, &seven, 1);
         },
         [&] {
             OUT_SpoolSeek(f, 0);
             OUT_SpoolWrite(f, good.data(), 1);
         }},
        {"the spool file given up", [&] { f->writable = 0; }, [&] { f->writable = 1; }},
        {"the printer write fails", [&] { failAfter(0); }, [&] { clearFailure(); }},
        {"a page record open", [&] { ASSERT_EQ(OUT_BeginPageRecord(pdev->channel, 4), 0); },
         [&] {
             ASSERT_EQ(OUT_EndPageRecord(pdev->channel), 0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        take();
        c.spoil();
        EXPECT_EQ(REC_ReplayPage(ctx(), 3, 15, 0, &identity, -1), -1);
        EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), 1);
        c.mend();
        EXPECT_NE(pdev->channel->recorder.state, SEG_STATE_READING);
        take();
        XL_InvalidateState(ctx());
        EXPECT_EQ(REC_ReplayPage(ctx(), 3, 15, 0, &identity, -1), 0) << "the page is whole again";
    }
    take();
    XL_InvalidateState(ctx());
    EXPECT_EQ(REC_ReplayPage(ctx(), 3, 15, 0, &identity, -1), 0) << "the page is whole again";
}

TEST_F(Replay, AnyCorruptSideRecordHeaderFailsCleanly)
{
    recordPage();
    PageTransform identity;
    LAY_SetIdentity(&identity);
    SpoolFile *f = &pdev->channel->spoolFile;
    PagePosition pos{};
    ASSERT_EQ(GT_Get(&pdev->channel->pagePositions, 0, &pos), 0);
    /* The headers of the page's side records, found by walking the chain. */
    std::vector<DWORD> headers;
    for (DWORD at = DWORD(pos.firstSide);;) {
        headers.push_back(at);
        BYTE raw[8];
        ASSERT_EQ(OUT_SpoolSeek(f, at), LONGLONG(at));
        ASSERT_EQ(OUT_SpoolRead(f, raw, 8), 8);
        DWORD distance = raw[4] | raw[5] << 8 | raw[6] << 16 | DWORD(raw[7]) << 24;
        if (!distance)
            break;
        at += distance;
    }
    ASSERT_EQ(headers.size(), 4u) << "page start, transform, sheet mark, end of page";
    for (DWORD header : headers) {
        for (DWORD i = 0; i < 8; i++) {
            for (BYTE value : {BYTE(0x00), BYTE(0x01), BYTE(0x03), BYTE(0x34), BYTE(0x7F), BYTE(0xFF)}) {
                BYTE old = 0;
                ASSERT_EQ(OUT_SpoolSeek(f, header + i), LONGLONG(header + i));
                ASSERT_EQ(OUT_SpoolRead(f, &old, 1), 1);
                ASSERT_EQ(OUT_SpoolSeek(f, header + i), LONGLONG(header + i));
                ASSERT_EQ(OUT_SpoolWrite(f, &value, 1), 1);
                XL_InvalidateState(ctx());
                int rc = REC_ReplayPage(ctx(), 3, 15, 0, &identity, -1);
                EXPECT_TRUE(rc == 0 || rc == -1);
                EXPECT_EQ(pdev->channel->recorder.state, SEG_STATE_IDLE);
                EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), 1);
                ASSERT_EQ(OUT_SpoolSeek(f, header + i), LONGLONG(header + i));
                ASSERT_EQ(OUT_SpoolWrite(f, &old, 1), 1);
                take();
            }
        }
    }
}

TEST_F(Replay, RecordingCallsFailWithoutARecordedPage)
{
    pdev->recordFlags = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN | kAllRecords;
    take();
    EXPECT_EQ(REC_BeginPage(ctx(), 2, 1, 2, 0, 0), -1);
    EXPECT_EQ(REC_Mark(ctx()), -1);
    EXPECT_EQ(REC_SetTransform(ctx(), &transform), -1);
    EXPECT_EQ(REC_EndPage(ctx()), -1);
    EXPECT_EQ(OUT_SpoolSize(&pdev->channel->spoolFile), 0);
    pdev->recordFlags = 0;
}

} // namespace

namespace {

/* Recording control on a context whose first sheet is set up (no recording started yet). */
class RecordingControl : public XlTest {
protected:
    void SetUp() override
    {
        XlTest::SetUp();
        pdev->jobState |= JOB_SHEET_SET_UP;
    }
    void TearDown() override
    {
        OUT_EndRecording(pdev->channel);
        XlTest::TearDown();
    }
};

TEST_F(RecordingControl, PagesAreRecordedOneAfterTheOther)
{
    ASSERT_EQ(REC_StartRecording(ctx(), 4, 1), 0);
    EXPECT_EQ(pdev->recordFlags, 0x8000u);
    EXPECT_EQ(REC_StartRecording(ctx(), 4, 1), -1) << "never started twice";
    EXPECT_EQ(REC_ClosePageRecord(ctx(), 4), -1) << "no page open";
    for (DWORD kind : {0x00u, 0x01u, 0x40u, 0x42u, 0x8002u})
        EXPECT_EQ(REC_OpenPageRecord(ctx(), 4, 0, kind, 1, 4, 0), -1) << kind;
    EXPECT_EQ(REC_OpenPageRecord(ctx(), 4, 0, 0x04, 1, 16, 0), -1) << "too large a colour set";
    EXPECT_EQ(pdev->recordFlags, 0x8000u) << "refusals change nothing";

    PageLayout layout{};
    layout.value437 = 3;
    layout.binding = 2;
    layout.nupOrder = 5;
    layout.pagesPerSheet = 9; /* not recorded */
    for (DWORD page : {4u, 5u}) {
        SCOPED_TRACE(page);
        ASSERT_EQ(REC_OpenPageRecord(ctx(), page, 2, 0x3C, 1, 4, 1), 0);
        EXPECT_EQ(pdev->recordFlags, 0x803Du);
        EXPECT_EQ(pdev->pageColorMode, 2);
        EXPECT_EQ(pdev->pageColors.active, 1);
        EXPECT_EQ(pdev->pageColors.capacity, 4u);
        EXPECT_EQ(REC_OpenPageRecord(ctx(), page + 1, 0, 0x04, 1, 4, 0), -1) << "one page record at a time";
        EXPECT_EQ(REC_StopRecording(ctx()), -1) << "a page is open";
        ASSERT_EQ(REC_StorePageHeader(ctx(), page, &layout, 1), 0);
        Bytes bytes = {0xC0, BYTE(page)};
        ASSERT_EQ(OUT_Write(pdev->channel, 2, bytes.data()), 2);
        pdev->pageColorMode = 1;
        pdev->pageColors.count = 3;
        EXPECT_EQ(REC_ClosePageRecord(ctx(), page + 1), -1) << "not the open page";
        ASSERT_EQ(REC_ClosePageRecord(ctx(), page), 0);
        EXPECT_EQ(pdev->recordFlags, 0x8000u);
    }
    EXPECT_EQ(pdev->channel->pageCount, 2u);
    EXPECT_EQ(take(), "") << "the pages went to the spool file";

    SpoolPageRecord record{};
    ASSERT_EQ(OUT_GetPageRecord(pdev->channel, 5, sizeof record, &record), 0);
    EXPECT_EQ(record.colorMode, 1);
    EXPECT_EQ(record.colors.count, 3u);
    EXPECT_EQ(record.orientation, 1);
    PageLayout back{};
    LONG orientation = 0;
    ASSERT_EQ(REC_LoadPageHeader(ctx(), 5, &back, &orientation), 0);
    EXPECT_EQ(orientation, 1);
    EXPECT_EQ(back.value437, 3);
    EXPECT_EQ(back.binding, 2);
    EXPECT_EQ(back.nupOrder, 5);
    EXPECT_EQ(back.pagesPerSheet, 0) << "only the leading fields are recorded";
    EXPECT_EQ(REC_LoadPageHeader(ctx(), 3, &back, &orientation), -1);

    ASSERT_EQ(REC_ReplayPage(ctx(), 5, 0, 0, nullptr, -1), 0);
    EXPECT_EQ(take(), "C0 05");

    std::u16string path = pdev->channel->spoolFile.path;
    ASSERT_EQ(REC_StopRecording(ctx()), 0);
    EXPECT_EQ(pdev->recordFlags, 0u);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the spool file is gone";
    EXPECT_EQ(REC_StopRecording(ctx()), 0) << "nothing left to stop";
}

TEST_F(RecordingControl, RecordingNeedsTheFirstSheetAndMemory)
{
    pdev->jobState &= ~JOB_SHEET_SET_UP;
    EXPECT_EQ(REC_StartRecording(ctx(), 0, 2), -1);
    pdev->jobState |= JOB_SHEET_SET_UP;
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(REC_StartRecording(ctx(), 0, 2), -1);
    EXPECT_EQ(pdev->recordFlags, 0u);
    ASSERT_EQ(REC_StartRecording(ctx(), 0, 1), 0);
    ASSERT_EQ(REC_OpenPageRecord(ctx(), 0, 0, 0x02, 0, 0, 0), 0);
    ASSERT_EQ(REC_ClosePageRecord(ctx(), 0), 0);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(REC_OpenPageRecord(ctx(), 1, 0, 0x02, 0, 0, 0), -1) << "the page table cannot grow";
    EXPECT_EQ(pdev->recordFlags, 0x8000u);
    ASSERT_EQ(REC_OpenPageRecord(ctx(), 1, 0, 0x02, 0, 0, 0), 0);
    ASSERT_EQ(REC_ClosePageRecord(ctx(), 1), 0);
    EXPECT_EQ(pdev->channel->pageCount, 2u);
    EXPECT_EQ(REC_StopRecording(ctx()), 0);
}

TEST_F(RecordingControl, HeldPageIsEmittedOnceItsColourIsKnown)
{
    ASSERT_EQ(REC_WritePageStart(ctx(), 2, 1, 2, 0, 0), 0);
    const std::string start = take();
    XL_InvalidateState(ctx());
    struct Case {
        const char *what;
        LONG colorMode;
        LONG collecting;
        DWORD kind;
        bool flushed;
    } cases[] = {
        {"colour, set overflowed", 2, 0, 0x04, true},
        {"colour, still within its set", 2, 1, 0x04, false},
        {"monochrome so far", 1, 0, 0x04, false},
        {"undecided", 0, 0, 0x04, false},
        {"kept for the whole job", 2, 0, 0x06, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(REC_StartRecording(ctx(), 0, 2), 0);
        ASSERT_EQ(REC_OpenPageRecord(ctx(), 0, 0, c.kind, 1, 4, 0), 0);
        ASSERT_EQ(REC_BeginPage(ctx(), 1, 1, 2, 0, 0), 0);
        Bytes drawn{0xC0, 0x07};
        ASSERT_EQ(OUT_Write(pdev->channel, 2, drawn.data()), 2);
        EXPECT_EQ(take(), "");
        pdev->pageColorMode = c.colorMode;
        pdev->pageColors.active = c.collecting;
        ASSERT_EQ(REC_FlushIfColorKnown(ctx()), 0);
        if (c.flushed) {
            EXPECT_EQ(pdev->recordFlags, 0u) << "the recording stopped";
            EXPECT_EQ(take(), start + " 61 C0 07") << "announced as colour";
        } else {
            EXPECT_EQ(pdev->recordFlags & REC_FLAG_PAGE_OPEN, REC_FLAG_PAGE_OPEN) << "still held";
            EXPECT_EQ(take(), "");
            ASSERT_EQ(REC_ClosePageRecord(ctx(), 0), 0);
            ASSERT_EQ(REC_StopRecording(ctx()), 0);
        }
        XL_InvalidateState(ctx());
    }
    EXPECT_EQ(REC_FlushIfColorKnown(ctx()), 0) << "nothing held";
}

TEST_F(RecordingControl, HeldPageFlushedAtTheEndOfItsSheet)
{
    ASSERT_EQ(REC_WritePageStart(ctx(), 1, 1, 2, 0, 0), 0);
    const std::string mono = take();
    XL_InvalidateState(ctx());
    ASSERT_EQ(REC_StartRecording(ctx(), 0, 2), 0);
    ASSERT_EQ(REC_OpenPageRecord(ctx(), 0, 0, 0x04, 1, 4, 0), 0);
    ASSERT_EQ(REC_BeginPage(ctx(), 1, 1, 2, 0, 0), 0);
    pdev->pageColorMode = 1;
    ASSERT_EQ(REC_FlushHeldPage(ctx()), 0);
    EXPECT_EQ(take(), mono + " 61");
    EXPECT_EQ(pdev->recordFlags, 0u);
    EXPECT_EQ(REC_FlushHeldPage(ctx()), -1) << "nothing held";
}

TEST(PageColorSet, ColourPagesTellHowFewColoursTheyHave)
{
    PageColorSet set{};
    ASSERT_EQ(PCS_Init(&set, 1, 4, 0), 0);
    set.count = 3;
    EXPECT_EQ(PCS_ColorCode(&set, 2), 0x32);
    EXPECT_EQ(PCS_ColorCode(&set, 1), 1);
    EXPECT_EQ(PCS_ColorCode(&set, 3), 3);
    set.active = 0;
    EXPECT_EQ(PCS_ColorCode(&set, 2), 2) << "an overflowed set says nothing";
    EXPECT_EQ(PCS_ColorCode(nullptr, 2), 2);
}

} // namespace
