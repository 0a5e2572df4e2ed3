// The job and page state machine through the engine's document and page
// calls: what a document start opens, what an empty document writes, the
// page calls' answers, the aborts (a failure inside the job, the
// application's ED_ABORTDOC) and the decision that a job cut off by a
// failure is closed with the universal exit and its document end answers
// FALSE, the end of a job without a started page, the drawing gate, and the
// roads that wait for the sheet pipeline, recording, replay and overlays.
#include "test_job_support.h"

#include "esc_job_data.h"
#include "form_overlay.h"
#include "job_channel.h"
#include "job_ext.h"
#include "job_header.h"
#include "job_info_glue.h"
#include "page_recording.h"
#include "pclxl_transform.h"
#include "sheet_data.h"
#include "sheet_pipeline.h"

#include <tarvel/job_language/job_info.h>

#include <functional>

using namespace job_test;

namespace {

/* The universal exit: ESC "%-12345X". */
const std::string kUel = "\x1B%-12345X";

/* What the job header writer will have written when the first sheet is set up (any bytes do). */
const std::string kHead = "@PJL JOB\n) HP-PCL XL;2;0\n";

class JobState : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        enableContext();
    }

    /* The state after the first sheet's set-up wrote the job's head (the sheet pipeline's part). */
    void headWritten()
    {
        pdev->jobState |= JOB_SHEET_SET_UP;
        ASSERT_EQ(OUT_WriteJob(pdev, DWORD(kHead.size()), kHead.data()), 0);
        ASSERT_EQ(OUT_Flush(pdev->channel), 0);
    }
};

} // namespace

TEST_F(JobState, DocumentStartOpensTheJobAndWritesNothing)
{
    ASSERT_TRUE(startDoc(u"Quarterly report"));
    EXPECT_EQ(pdev->jobState, DWORD(JOB_OPEN));
    EXPECT_NE(pdev->flags & PDEV_STARTDOC_SEEN, 0u);
    ASSERT_NE(pdev->channel, nullptr);
    EXPECT_EQ(pdev->channel->mode, OUT_MODE_PRINTER);
    EXPECT_EQ(pdev->channel->target, printer->handle);
    ASSERT_NE(pdev->jobSettings, nullptr);
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), u"Quarterly report");
    EXPECT_EQ(pdev->jobSettings->printer, printer->handle);
    EXPECT_EQ(pdev->jobSettings->protocolClass, JOB_PROTOCOL_2_0);
    EXPECT_EQ(pdev->owner.jobId, jobId);
    EXPECT_NE(pdev->ctmTracker, nullptr);
    EXPECT_NE(pdev->jobInfo, nullptr);
    EXPECT_EQ(spooled(), "");
}

TEST_F(JobState, AnEmptyDocumentWritesNothing)
{
    /* no page at all, and a page started without drawing */
    for (bool page : {false, true}) {
        ASSERT_TRUE(startDoc());
        if (page) {
            ASSERT_TRUE(DrvStartPage(so));
        }
        SetLastError(0);
        EXPECT_TRUE(DrvEndDoc(so, 0)) << page;
        EXPECT_EQ(spooled(), "") << page;
        EXPECT_EQ(pdev->jobState, 0u);
        EXPECT_EQ(pdev->channel, nullptr) << "the channel goes with the job";
        EXPECT_EQ(pdev->ctmTracker, nullptr);
        EXPECT_EQ(pdev->jobInfo, nullptr);
        EXPECT_EQ(pdev->flags & (PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED), 0u);
    }
}

TEST_F(JobState, AnEmptyDuplexDocumentWritesNothing)
{
    put(16, 2);
    ASSERT_TRUE(startDoc());
    ASSERT_EQ(pdev->jobSettings->duplex, 2);
    ASSERT_TRUE(DrvStartPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0)) << "no sheet, so no back face to leave blank";
    EXPECT_EQ(spooled(), "");
}

TEST_F(JobState, ADocumentNameIsKeptAt260Characters)
{
    std::u16string name(300, u'd');
    ASSERT_TRUE(startDoc(name.c_str()));
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), std::u16string(260, u'd'));
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, ASecondStartPageAnswersTrueAndChangesNothing)
{
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    EXPECT_EQ(pdev->flags & (PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS), PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS);
    const DWORD flags = pdev->flags, state = pdev->jobState;
    EXPECT_TRUE(DrvStartPage(so));
    EXPECT_EQ(pdev->flags, flags);
    EXPECT_EQ(pdev->jobState, state);
    EXPECT_EQ(spooled(), "");
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, AFailingFirstSheetAbortsTheJob)
{
    /* a fax job whose data file cannot be opened: the first sheet fails */
    put(334, 5);
    put(4125, 1);
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    SetLastError(0);
    EXPECT_EQ(JOB_PrepareDraw(pdev), -1) << "the first drawing call sets up the first sheet";
    const DWORD error = GetLastError();
    EXPECT_NE(error, 0u) << "the failure says why";
    EXPECT_NE(pdev->jobState & JOB_ABORTED, 0u);
    EXPECT_EQ(pdev->jobState & (JOB_OPEN | JOB_SHEET_SET_UP), 0u);
    EXPECT_NE(pdev->flags & PDEV_FAILED, 0u);
    EXPECT_EQ(JOB_PrepareDraw(pdev), -1) << "every later job operation fails";
    EXPECT_EQ(JOB_BeginPage(pdev), -1);

    EXPECT_FALSE(DrvSendPage(so));
    EXPECT_FALSE(DrvStartPage(so));
    SetLastError(0);
    EXPECT_FALSE(DrvEndDoc(so, 0)) << "a job cut off by a failure is not reported as printed";
    EXPECT_EQ(GetLastError(), error) << "the failure's own error";
    EXPECT_EQ(spooled(), "") << "nothing had gone out, so no exit is written either";
    put(334, 0);

    /* the next document starts afresh */
    put(12, 1);
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(pdev->jobState, DWORD(JOB_OPEN));
    EXPECT_TRUE(DrvStartPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, AFailureAfterOutputClosesTheJobWithTheUniversalExit)
{
    put(1334, 0);
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so)) << "the first page goes out";
    put(ID_ORIENTATION, 3); /* an orientation no page can take */
    ASSERT_TRUE(DrvStartPage(so));
    SetLastError(0);
    EXPECT_FALSE(DrvSendPage(so)) << "the second sheet cannot be started";
    EXPECT_NE(pdev->jobState & JOB_ABORTED, 0u);
    const std::string written = spooled();
    EXPECT_EQ(written.substr(0, kUel.size() + 4), kUel + "@PJL") << "the job's head went out";
    EXPECT_EQ(written.substr(written.size() - kUel.size()), kUel);
    EXPECT_FALSE(DrvStartPage(so));
    EXPECT_FALSE(DrvEndDoc(so, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "the failure's own error";
    EXPECT_EQ(spooled(), written) << "nothing more after the abort";
}

TEST_F(JobState, AFailureWhileTheJobEndsClosesItWithTheUniversalExit)
{
    put(1334, 0);
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    /* the job-information record is gone: the tail fails after the session's end went out */
    JobInfoRecord *info = pdev->jobInfo;
    pdev->jobInfo = nullptr;
    SetLastError(0);
    EXPECT_FALSE(DrvEndDoc(so, 0));
    JIF_Destroy(info);
    const std::string written = spooled();
    ASSERT_GT(written.size(), kUel.size() + 2);
    /* EndSession (0x42), then the closing exit; no job-information block, no end-of-job line */
    EXPECT_EQ(written.substr(written.size() - kUel.size() - 1), "\x42" + kUel);
    EXPECT_EQ(written.find("QZJOBINFO"), std::string::npos);
}

TEST_F(JobState, TheApplicationsAbortWritesNoTrailer)
{
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    headWritten();
    SetLastError(0);
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
    EXPECT_EQ(spooled(), kHead) << "no exit, no trailer";
    EXPECT_EQ(pdev->jobState, 0u);
    EXPECT_EQ(pdev->channel, nullptr);

    /* ED_ABORTDOC of an empty document */
    ASSERT_TRUE(startDoc());
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
    EXPECT_EQ(spooled(), "");
}

TEST_F(JobState, TheDocumentEndFinishesAJobWhoseSheetWasSetUpWithoutAStartedPage)
{
    /* a decoration escape can set up the first sheet before any DrvStartPage */
    ASSERT_TRUE(startDoc());
    pdev->jobState |= JOB_SHEET_SET_UP;
    ASSERT_EQ(pdev->flags & PDEV_PAGE_STARTED, 0u);
    EXPECT_TRUE(DrvEndDoc(so, 0));
    const std::string written = spooled();
    EXPECT_NE(written.find("EndJob"), std::string::npos) << "the job was ended, not dropped";
    EXPECT_EQ(written.substr(written.size() - 9), "@PJL EOJ\n") << "with its trailer";
}

TEST_F(JobState, DrawingIsRefusedOutsideAnOpenJob)
{
    EXPECT_EQ(JOB_PrepareDraw(pdev), -1);
    EXPECT_NE(pdev->flags & PDEV_FAILED, 0u) << "no job: the context fails";
    pdev->flags &= ~PDEV_FAILED;
    EXPECT_EQ(JOB_BeginPage(pdev), -1);
    EXPECT_EQ(JOB_EndPage(pdev), -1);
    EXPECT_EQ(JOB_EndJob(pdev), -1);
    EXPECT_EQ(JOB_Abort(pdev), -1);
    EXPECT_EQ(JOB_PrepareDraw(nullptr), -1);
}

TEST_F(JobState, ADecorationBeingDrawnOpensNoPage)
{
    ASSERT_TRUE(startDoc());
    pdev->jobSettings->pageWatermark = 1;
    pdev->watermarkBracket = TRUE;
    EXPECT_EQ(JOB_PrepareDraw(pdev), 0);
    EXPECT_EQ(pdev->jobState, DWORD(JOB_OPEN)) << "no sheet set up, no page opened";
    pdev->watermarkBracket = FALSE;
    pdev->annotationBracket = TRUE;
    EXPECT_EQ(JOB_PrepareDraw(pdev), 0);
    EXPECT_EQ(pdev->jobState, DWORD(JOB_OPEN));
    pdev->annotationBracket = FALSE;
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, ACopySetJobWithoutDocumentPagesDrawsNothingButDoesNotFail)
{
    ASSERT_TRUE(startDoc());
    put(381, 1); /* the document's own pages are not printed */
    BYTE copySetData[16] = {};
    pdev->copySetMode = 1;
    pdev->copySetData = copySetData;
    pdev->jobState |= JOB_SHEET_SET_UP;
    EXPECT_EQ(JOB_PrepareDraw(pdev), -1);
    EXPECT_EQ(pdev->flags & PDEV_FAILED, 0u) << "later drawing calls may still succeed";
    EXPECT_EQ(pdev->jobState & (JOB_ABORTED | JOB_PAGE_OPEN), 0u);
    EXPECT_EQ(JOB_EndPage(pdev), 0) << "its page end writes nothing";
    pdev->copySetData = nullptr;
    pdev->copySetMode = 0;
    pdev->jobState &= ~JOB_SHEET_SET_UP;
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, AHeldPageThatCannotBeFlushedFailsTheDrawing)
{
    ASSERT_TRUE(startDoc());
    pdev->jobState |= JOB_SHEET_SET_UP | JOB_SHEET_OPEN | JOB_PAGE_OPEN;
    pdev->recordFlags = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN | REC_FLAG_KIND_COLOR_HOLD;
    pdev->pageColorMode = JOB_PAGE_COLOR_COLOR;
    pdev->pageColors.active = 1;
    EXPECT_EQ(JOB_PrepareDraw(pdev), 0) << "still held while its colour set collects";
    pdev->pageColors.active = 0;
    EXPECT_EQ(JOB_PrepareDraw(pdev), -1) << "no page was really recorded";
    EXPECT_NE(pdev->flags & PDEV_FAILED, 0u);
    pdev->recordFlags = 0;
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
}

TEST_F(JobState, CopySetCallsOutsideACopySetJobWriteNothing)
{
    BYTE block[16] = {};
    ASSERT_TRUE(startDoc());
    pdev->copySetData = block; /* data that no first sheet took as a copy-set job */
    struct Call {
        const char *name;
        int answer;
        std::function<int(PdevContext *)> call;
    } calls[] = {
        {"JOB_FinishSheetPipeline", 0, JOB_FinishSheetPipeline},
        {"JOB_BeginCopySetSheets", -1, JOB_BeginCopySetSheets},
        {"JOB_EmitFirstSheetData", -1, JOB_EmitFirstSheetData},
        {"JOB_WriteSheetDataPage", -1, [](PdevContext *p) { return JOB_WriteSheetDataPage(p, 0); }},
        {"JOB_FinishCopySets", 0, JOB_FinishCopySets},
        {"REC_ReplayCopySets", -1, REC_ReplayCopySets},
    };
    for (const Call &c : calls) {
        const DWORD state = pdev->jobState;
        EXPECT_EQ(c.call(pdev), c.answer) << c.name;
        EXPECT_EQ(pdev->jobState, state) << c.name << " changes nothing";
    }
    pdev->copySetData = nullptr;
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(spooled(), "");
}

TEST_F(JobState, TheTransformTrackerIsResetAndMadeValidByJobKind)
{
    ASSERT_TRUE(startDoc());
    struct Case {
        LONG JobSettings::*field;
        LONG valid;
    } cases[] = {{nullptr, 1},
                 {&JobSettings::poster, 0},
                 {&JobSettings::driverCollate, 0}};
    for (const Case &c : cases) {
        if (c.field)
            pdev->jobSettings->*c.field = 1;
        XL_SetCtmValid(pdev->ctmTracker, 5);
        EXPECT_EQ(JOB_RestartCtm(pdev, TRUE), 0);
        EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), c.valid);
        if (c.field)
            pdev->jobSettings->*c.field = 0;
    }
    XL_SetCtmValid(pdev->ctmTracker, 5);
    EXPECT_EQ(JOB_RestartCtm(pdev, FALSE), 0);
    EXPECT_EQ(XL_SetCtmValid(pdev->ctmTracker, 1), 5) << "not forced: the validity stays";
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, DecorationAndPageColourQueries)
{
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(JOB_SetDecorationMode(pdev, TRUE, FALSE), -1) << "no sheet open";
    pdev->jobState |= JOB_SHEET_SET_UP | JOB_SHEET_OPEN;
    EXPECT_EQ(JOB_SetDecorationMode(pdev, TRUE, FALSE), -1) << "no watermark configured";
    EXPECT_TRUE(pdev->watermarkBracket) << "the flag stays set";
    EXPECT_FALSE(JOB_IsDecorationDrawing(pdev));
    pdev->jobSettings->sheetWatermark = 1;
    EXPECT_EQ(JOB_SetDecorationMode(pdev, TRUE, FALSE), 0);
    EXPECT_TRUE(JOB_IsDecorationDrawing(pdev));
    EXPECT_TRUE(JOB_IsSheetDecoration(pdev));
    EXPECT_FALSE(JOB_IsWatermarkSeeThrough(pdev));
    put(1287, 1);
    EXPECT_TRUE(JOB_IsWatermarkSeeThrough(pdev));
    EXPECT_EQ(JOB_SetDecorationMode(pdev, FALSE, TRUE), 0);
    EXPECT_TRUE(JOB_IsSheetDecoration(pdev));
    EXPECT_EQ(JOB_SetDecorationMode(pdev, FALSE, FALSE), 0);
    EXPECT_FALSE(JOB_IsDecorationDrawing(pdev));

    EXPECT_EQ(JOB_SetPageColorMode(pdev, 3), -1);
    EXPECT_EQ(JOB_SetPageColorMode(pdev, JOB_PAGE_COLOR_UNDECIDED), 0);
    EXPECT_FALSE(JOB_IsPageColorKnown(pdev));
    EXPECT_TRUE(JOB_UseExactGreyTest(pdev)) << "setting 1289 is off";
    pdev->jobSettings->tolerantGreyTest = 1;
    EXPECT_FALSE(JOB_UseExactGreyTest(pdev));
    EXPECT_EQ(JOB_MarkPageColor(pdev), 0);
    EXPECT_EQ(pdev->pageColorMode, JOB_PAGE_COLOR_COLOR);
    EXPECT_TRUE(JOB_IsPageColorKnown(pdev));
    EXPECT_EQ(JOB_MarkPageColor(pdev), -1) << "already known";
    pdev->jobState &= ~(JOB_SHEET_SET_UP | JOB_SHEET_OPEN);
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, TheJobInformationRecordIsMadeOnceAndResetForTheNextJob)
{
    ASSERT_EQ(JIG_InitJobInfo(pdev), 0);
    JobInfoRecord *record = pdev->jobInfo;
    ASSERT_NE(record, nullptr);
    EXPECT_GT(JIF_ListAppend(record->pages), 0);
    EXPECT_EQ(JIG_InitJobInfo(pdev), 0);
    EXPECT_EQ(pdev->jobInfo, record) << "reset in place";
    EXPECT_EQ(JIF_ListCount(record->pages), 0);
    JIG_FreeJobInfo(pdev);
    EXPECT_EQ(pdev->jobInfo, nullptr);
    JIG_FreeJobInfo(pdev);
    EXPECT_EQ(JIG_InitJobInfo(nullptr), -1);
}

TEST_F(JobState, InvalidContextsAreRefused)
{
    BYTE junk[64] = {};
    SURFOBJ bad{};
    bad.dhpdev = reinterpret_cast<DHPDEV>(&junk);
    struct Entry {
        const char *name;
        std::function<BOOL(SURFOBJ *)> call;
    } entries[] = {
        {"DrvStartDoc", [](SURFOBJ *s) { return DrvStartDoc(s, nullptr, 1); }},
        {"DrvStartPage", [](SURFOBJ *s) { return DrvStartPage(s); }},
        {"DrvSendPage", [](SURFOBJ *s) { return DrvSendPage(s); }},
        {"DrvEndDoc", [](SURFOBJ *s) { return DrvEndDoc(s, 0); }},
    };
    for (const Entry &entry : entries) {
        SetLastError(0);
        EXPECT_FALSE(entry.call(&bad)) << entry.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << entry.name;
        SetLastError(0);
        EXPECT_FALSE(entry.call(nullptr)) << entry.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << entry.name;
    }
}

TEST_F(JobState, ASettingItsMapDoesNotListRefusesTheDocument)
{
    put(295, 3); /* three pages per sheet */
    SetLastError(0);
    EXPECT_FALSE(startDoc());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_NE(pdev->flags & PDEV_FAILED, 0u);
    EXPECT_FALSE(DrvStartPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(spooled(), "");

    put(295, 4);
    EXPECT_TRUE(startDoc()) << "the next document with a listed value starts";
    EXPECT_TRUE(DrvStartPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, MemoryRunningOutAtAnyStepOfTheDocumentStartFailsItCleanly)
{
    std::u16string doc = u"Report", raw = u"RAW";
    DOC_INFO_1W info{doc.data(), nullptr, raw.data()};
    bool started = false;
    for (unsigned n = 1; n < 64 && !started; ++n) {
        jobId = StartDocPrinterW(printer->handle, 1, reinterpret_cast<const BYTE *>(&info));
        ASSERT_NE(jobId, 0u);
        plat::fault_fail_alloc_after(n);
        started = DrvStartDoc(so, doc.data(), jobId);
        plat::fault_fail_alloc_after(0);
        if (!started) {
            EXPECT_NE(pdev->flags & PDEV_FAILED, 0u) << n;
        }
        EXPECT_TRUE(DrvEndDoc(so, 0)) << n;
        EXPECT_EQ(spooled(), "") << n;
        EXPECT_EQ(pdev->channel, nullptr) << n;
        EndDocPrinter(printer->handle);
    }
    EXPECT_TRUE(started) << "the document starts once memory suffices";
    jobId = 0;
}

TEST_F(JobState, SmallJobOperations)
{
    /* a context replaced inside a document takes the page geometry again */
    Enabled other = enable(printer->handle, *dm);
    ASSERT_NE(other.dhpdev, nullptr);
    PdevContext *replacement = other.pdev();
    struct Case {
        DWORD oldState, newState;
        int result;
    } cases[] = {
        {JOB_OPEN, JOB_OPEN, 0},
        {JOB_OPEN | JOB_ABORTED, JOB_OPEN, -1},
        {JOB_OPEN, JOB_OPEN | JOB_ABORTED, -1},
        {JOB_OPEN, JOB_OPEN | JOB_PAGE_OPEN, -1},
        {JOB_OPEN | JOB_PAGE_OPEN, JOB_OPEN, 0},
    };
    for (const Case &c : cases) {
        pdev->jobState = c.oldState;
        replacement->jobState = c.newState;
        EXPECT_EQ(JOB_MarkGeometryPending(replacement, pdev), c.result);
        EXPECT_EQ((replacement->jobState & JOB_GEOMETRY_PENDING) != 0, c.result == 0);
    }
    pdev->jobState = replacement->jobState = 0;
    EXPECT_EQ(JOB_MarkGeometryPending(nullptr, pdev), -1);
    DrvDisablePDEV(other.dhpdev);

    BYTE block[4] = {};
    EXPECT_EQ(JOB_SetCopySetData(pdev, 0, block), -1);
    EXPECT_EQ(JOB_SetCopySetData(pdev, 4, nullptr), -1);

    FLOAT from[6] = {1, 2, 3, 4, 5, 6}, to[6] = {};
    EXPECT_EQ(JOB_CopyTransform(to, from), 0);
    EXPECT_EQ(std::vector<FLOAT>(to, to + 6), std::vector<FLOAT>(from, from + 6));
    EXPECT_EQ(JOB_CopyTransform(nullptr, from), -1);
    EXPECT_EQ(JOB_CopyTransform(to, nullptr), -1);
}

namespace {

/* A second context on the same printer, as the engine makes one for DrvResetPDEV, with its surface locked. */
struct Replacement {
    Enabled e;
    HSURF surface = nullptr;
    SURFOBJ *so = nullptr;
    PdevContext *pdev() const { return e.pdev(); }
};

LONG settingOf(PdevContext *p, WORD id)
{
    DWORD v = 0;
    EXPECT_EQ(PDEV_GetSetting32(p, id, &v), 0) << id;
    return LONG(v);
}

} // namespace

class JobReset : public JobState {
protected:
    void makeReplacement(JobDevmode &devmode)
    {
        r.e = enable(printer->handle, devmode);
        ASSERT_NE(r.e.dhpdev, nullptr);
        DrvCompletePDEV(r.e.dhpdev, hdev);
        r.surface = DrvEnableSurface(r.e.dhpdev);
        ASSERT_NE(r.surface, nullptr);
        r.so = EngLockSurface(r.surface);
    }
    void TearDown() override
    {
        disableContext(r.e, r.so);
        JobState::TearDown();
    }
    Replacement r;
};

TEST_F(JobReset, TheRunningJobMovesToTheNewContext)
{
    put(1834, 5); /* an extension-block setting of the job */
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    JobDevmode letter;
    letter.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    makeReplacement(letter);
    PdevContext *next = r.pdev();
    OutputChannel *channel = pdev->channel;
    CtmTracker *tracker = pdev->ctmTracker;
    JobInfoRecord *info = pdev->jobInfo;

    ASSERT_TRUE(DrvResetPDEV(e.dhpdev, r.e.dhpdev));
    EXPECT_EQ(next->jobState, JOB_OPEN | JOB_GEOMETRY_PENDING);
    EXPECT_EQ(next->flags & (PDEV_RESET_IN_DOC | PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS),
              PDEV_RESET_IN_DOC | PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS);
    EXPECT_EQ(next->channel, channel);
    EXPECT_EQ(next->ctmTracker, tracker);
    EXPECT_EQ(tracker->pdev, next) << "the tracker's owner changes";
    EXPECT_EQ(next->jobInfo, info);
    EXPECT_EQ(next->owner.jobId, jobId);
    ASSERT_NE(next->jobSettings, nullptr);
    EXPECT_NE(next->jobSettings, pdev->jobSettings) << "copied onto the new context's heap";
    EXPECT_EQ(std::u16string(next->jobSettings->documentName), u"Report");
    EXPECT_EQ(pdev->channel, nullptr);
    EXPECT_EQ(pdev->ctmTracker, nullptr);
    EXPECT_EQ(pdev->jobInfo, nullptr);
    EXPECT_EQ(pdev->jobState, 0u);
    /* no sheet was set up: the new devmode part stays, the job's extension block comes along */
    EXPECT_EQ(settingOf(next, ID_PAPER_SIZE), DMPAPER_LETTER);
    EXPECT_EQ(settingOf(next, 1834), 5);

    disable(); /* the engine disables the replaced context: nothing of the job goes with it */
    ASSERT_NE(next->channel, nullptr);
    EXPECT_TRUE(DrvStartDoc(r.so, nullptr, jobId)) << "the job goes on";
    EXPECT_EQ(next->jobState, JOB_OPEN | JOB_GEOMETRY_PENDING);
    EXPECT_EQ(next->channel, channel);
    EXPECT_TRUE(DrvEndDoc(r.so, 0));
    EXPECT_EQ(spooled(), "");
}

TEST_F(JobReset, TheJobsDataBlocksKeepTheirSizesInTheNewContext)
{
    ASSERT_TRUE(startDoc());
    const BYTE aux[3] = {0xA1, 0xA2, 0xA3};
    const BYTE ext[5] = {'E', 'X', 'T', 0x00, 0x7F};
    std::vector<BYTE> records(68, 0x44);
    ASSERT_EQ(ESC_SetDataBlock(pdev, ESC_SET_AUX_BLOCK, sizeof aux, aux), ULONG(ESC_DONE));
    ASSERT_EQ(ESC_SetDataBlock(pdev, ESC_SET_EXT_DATA, sizeof ext, ext), ULONG(ESC_DONE));
    ASSERT_EQ(ESC_SetDataBlock(pdev, ESC_SET_COPYSET_RECORDS, DWORD(records.size()), records.data()), ULONG(ESC_DONE));
    JobDevmode same;
    makeReplacement(same);
    PdevContext *next = r.pdev();
    ASSERT_TRUE(DrvResetPDEV(e.dhpdev, r.e.dhpdev));
    /* The blocks moved with sizes of 0 before: the application's extension data could not be read back. */
    EXPECT_EQ(next->auxBlockSize, 3u);
    EXPECT_EQ(next->extDataSize, 5u);
    EXPECT_EQ(next->copySetRecordsSize, 68u);
    const WORD sizeCode = 0, dataCode = 1;
    BYTE size[4] = {};
    ASSERT_EQ(ESC_GetExtData(next, sizeof sizeCode, &sizeCode, sizeof size, size), ULONG(ESC_DONE));
    EXPECT_EQ(std::vector<BYTE>(size, size + 4), (std::vector<BYTE>{5, 0, 0, 0}));
    BYTE back[5] = {};
    ASSERT_EQ(ESC_GetExtData(next, sizeof dataCode, &dataCode, sizeof back, back), ULONG(ESC_DONE));
    EXPECT_EQ(std::vector<BYTE>(back, back + 5), (std::vector<BYTE>{'E', 'X', 'T', 0x00, 0x7F}));
    ASSERT_NE(next->auxBlock, nullptr);
    EXPECT_EQ(std::vector<BYTE>(static_cast<BYTE *>(next->auxBlock), static_cast<BYTE *>(next->auxBlock) + 3),
              (std::vector<BYTE>{0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(pdev->extDataSize, 0u);
    EXPECT_EQ(pdev->extData, nullptr);
    disable();
    EXPECT_TRUE(DrvEndDoc(r.so, 0));
}

TEST_F(JobReset, AJobWithItsFirstSheetSetUpKeepsItsSettings)
{
    put(1350, 1); /* the duplex setting follows a replacement */
    put(ID_COPIES, 3);
    ASSERT_TRUE(startDoc());
    pdev->jobState |= JOB_SHEET_SET_UP;
    pdev->jobSettings->samePaper = 0; /* the job prints on a feed paper of its own */
    JobDevmode next;
    next.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    next.set(ID_ORIENTATION, 2);
    next.set(16, 2);
    next.set(ID_COPIES, 9);
    makeReplacement(next);
    ModelRecord *feedPaper = pdev->feedForm.modelPaper;
    ASSERT_NE(feedPaper, nullptr);

    ASSERT_TRUE(DrvResetPDEV(e.dhpdev, r.e.dhpdev));
    PdevContext *p = r.pdev();
    EXPECT_EQ(settingOf(p, ID_PAPER_SIZE), DMPAPER_LETTER);
    EXPECT_EQ(settingOf(p, ID_ORIENTATION), 2);
    EXPECT_EQ(settingOf(p, 16), 2) << "with 1350 on";
    EXPECT_EQ(settingOf(p, ID_COPIES), 3) << "the job's own";
    EXPECT_EQ(p->feedForm.modelPaper, feedPaper) << "the job's feed form moves over";
    EXPECT_EQ(pdev->feedForm.modelPaper, nullptr);
    disable();
    p->jobState &= ~JOB_SHEET_SET_UP;
    EXPECT_TRUE(DrvEndDoc(r.so, 0));
}

TEST_F(JobReset, APageInProgressAndAFailureFollowTheJob)
{
    /* a page started on the old context ends on the new one and is printed */
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    JobDevmode same;
    makeReplacement(same);
    ASSERT_TRUE(DrvResetPDEV(e.dhpdev, r.e.dhpdev));
    PdevContext *next = r.pdev();
    EXPECT_NE(next->flags & PDEV_PAGE_IN_PROGRESS, 0u);
    disable();
    ASSERT_TRUE(DrvStartDoc(r.so, nullptr, jobId));
    EXPECT_TRUE(DrvStartPage(r.so)) << "the page already in progress";
    EXPECT_TRUE(DrvSendPage(r.so));
    EXPECT_TRUE(DrvEndDoc(r.so, 0));
    EXPECT_NE(spooled().find("QZPC=03"), std::string::npos) << "the page went out";
    disableContext(r.e, r.so);

    /* a failed drawing call marks the context failed: the job stays failed on the new context */
    enableContext();
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    pdev->flags |= PDEV_FAILED;
    makeReplacement(same);
    ASSERT_TRUE(DrvResetPDEV(e.dhpdev, r.e.dhpdev));
    EXPECT_NE(r.pdev()->flags & PDEV_FAILED, 0u);
    disable();
    ASSERT_TRUE(DrvStartDoc(r.so, nullptr, jobId));
    EXPECT_TRUE(DrvSendPage(r.so));
    EXPECT_FALSE(DrvStartPage(r.so)) << "no later page prints as if nothing had failed";
    EXPECT_TRUE(DrvEndDoc(r.so, ED_ABORTDOC));
}

TEST_F(JobReset, AJobWithAPageOpenOrAbortedDoesNotMove)
{
    ASSERT_TRUE(startDoc());
    JobDevmode same;
    makeReplacement(same);
    for (DWORD bit : {DWORD(JOB_PAGE_OPEN), DWORD(JOB_ABORTED)}) {
        pdev->jobState |= bit;
        SetLastError(0);
        EXPECT_FALSE(DrvResetPDEV(e.dhpdev, r.e.dhpdev)) << bit;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_NE(pdev->channel, nullptr) << "nothing moved";
        EXPECT_EQ(r.pdev()->channel, nullptr);
        pdev->jobState &= ~bit;
    }
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(JobState, QzsrAndQzccComments)
{
    put(1293, 1);
    put(1294, 1);
    ASSERT_TRUE(startDoc());
    headWritten();
    ASSERT_EQ(pdev->jobSettings->qzsr[0], 1u);
    EXPECT_EQ(JOB_WriteQzsr(pdev), 0);
    EXPECT_EQ(JOB_WriteQzccEndPage(pdev), 0);
    ASSERT_EQ(OUT_Flush(pdev->channel), 0);
    /* Comment: ubyte_array (C8) of ubyte length (C0 07), the text, CommentData (F8 81), operator 47; EndPage 44 */
    const std::string qzsr = std::string("\xC8\xC0\x07") + "QZSR=05" + "\xF8\x81\x47";
    const std::string qzcc = std::string("\xC8\xC0\x07") + "QZCC=00" + "\xF8\x81\x47" + "\x44";
    EXPECT_EQ(spooled(), kHead + qzsr + qzcc);
    pdev->jobState &= ~JOB_SHEET_SET_UP;
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(JOB_WriteQzsr(nullptr), -1);
}

/* The same decisions through the platform's device-context calls and the real library. */
TEST_F(JobTest, ThroughTheGraphicsInterface)
{
    HDC dc = CreateDCW(nullptr, kColourPrinter, nullptr, dm->dm());
    ASSERT_NE(dc, nullptr) << GetLastError() << " " << plat::loader_last_failure();
    DOCINFOW doc{sizeof(DOCINFOW), u"Empty", nullptr, nullptr, 0};

    /* an empty document: a spooler job of no bytes, printed */
    ASSERT_GT(StartDocW(dc, &doc), 0);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(EndDoc(dc), 1);

    /* a blank page becomes a sheet side */
    doc.lpszDocName = u"Blank page";
    ASSERT_GT(StartDocW(dc, &doc), 0);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(EndPage(dc), 1);
    EXPECT_EQ(EndDoc(dc), 1);

    /* the application's abort */
    doc.lpszDocName = u"Aborted";
    ASSERT_GT(StartDocW(dc, &doc), 0);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(AbortDoc(dc), 1);
    EXPECT_TRUE(DeleteDC(dc));

    /* a form-overlay job without its form file prints its pages without a form */
    dm->set(339, 2);
    dc = CreateDCW(nullptr, kColourPrinter, nullptr, dm->dm());
    ASSERT_NE(dc, nullptr);
    doc.lpszDocName = u"Form overlay";
    ASSERT_GT(StartDocW(dc, &doc), 0);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(EndPage(dc), 1);
    EXPECT_EQ(EndDoc(dc), 1);

    auto jobs = plat::spool_jobs(kColourPrinter);
    ASSERT_EQ(jobs.size(), 3u) << "the aborted job is deleted";
    EXPECT_EQ(jobs[0].document, u"Empty");
    EXPECT_EQ(jobs[0].bytes, 0u);
    EXPECT_EQ(jobs[1].document, u"Blank page");
    EXPECT_GT(jobs[1].bytes, 0u);
    EXPECT_EQ(jobs[2].document, u"Form overlay");
    EXPECT_GT(jobs[2].bytes, 0u);
    EXPECT_TRUE(DeleteDC(dc));
}
