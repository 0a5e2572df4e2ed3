// The job-information block: every item's line text at the edges of its
// vocabulary, the page fields and their ":" rule, whole blocks byte for byte
// (LF and CR LF), the writer at every capacity from 1 to 600, the
// required-item check of each job type, and the resend block.  Expected
// texts are written out by hand from the block's item and field tables.
#include "job_info_alloc.h"

#include <tarvel/job_language/job_info.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct RecordDeleter {
    void operator()(JobInfoRecord *r) const { JIF_Destroy(r); }
};
using Record = std::unique_ptr<JobInfoRecord, RecordDeleter>;

Record NewRecord(LONG capacity = 10, LONG step = 10)
{
    Record r(JIF_Create(capacity, step));
    EXPECT_NE(r, nullptr);
    return r;
}

/* Text of item n as JIF_FormatItem gives it (line end included). */
std::string ItemText(JobInfoRecord *r, int n, LONG page = 1, BOOL *hasSize = nullptr)
{
    char line[JIF_LINE_BUFFER_SIZE];
    BOOL size = -1;
    int len = JIF_FormatItem(r, line, sizeof line, n, page, &size);
    EXPECT_GE(len, 0);
    EXPECT_EQ(size_t(len), strlen(line));
    if (hasSize)
        *hasSize = size;
    return std::string(line, size_t(len > 0 ? len : 0));
}

/* Appends a page with the given fields and returns it. */
JobInfoPage *AddPage(JobInfoRecord *r, const char *size, LONG mode, LONG colors = 0, DWORD inTray = 0,
                     LONG duplex = 0)
{
    EXPECT_GT(JIF_ListAppend(r->pages), 0);
    JobInfoPage *p = JIF_ListCurrentEntry(r->pages);
    strncpy(p->size, size, JIF_PAGE_SIZE_MAX);
    p->mode = mode;
    p->colors = colors;
    p->inTray = inTray;
    p->duplex = duplex;
    return p;
}

void SetFlags(JobInfoRecord *r, std::initializer_list<int> flags)
{
    for (int f : flags)
        r->setFlags[f] = 1;
}

/* The whole block, written in calls of `capacity` bytes (enough for every
 * line), with the error bits of the last call. */
std::string WriteBlock(JobInfoRecord *r, int capacity = 513, WORD *bits = nullptr)
{
    std::string out;
    std::vector<char> buf(static_cast<size_t>(capacity));
    BOOL more = TRUE;
    WORD e = 0;
    for (int calls = 0; more; calls++) {
        int n = JIF_WriteChunk(r, buf.data(), capacity, &more, &e);
        EXPECT_GE(n, 0);
        if (n <= 0 || calls > 100000) {
            ADD_FAILURE() << "writer made no progress";
            break;
        }
        out.append(buf.data(), size_t(n));
    }
    if (bits)
        *bits = e;
    return out;
}

/* A small print job: three pages, the third one empty. */
Record SmallJob()
{
    Record r = NewRecord();
    JobInfoRecord *p = r.get();
    JIF_SetPdlType(p, 3, "2.1.0");
    JIF_SetJobType(p, 0);
    p->storedJobType = 0;
    p->jobCopies = 1;
    p->pageCopies = 2;
    p->duplexType = 1;
    p->nup = 2;
    p->poster = 1;
    p->bookletType = 0;
    p->bookletThreshold = 1;
    p->pageOrder = 0;
    p->slipSheet = 0;
    p->tonerSave = 1;
    p->logicalPages = 5;
    p->estimatedSheets = 2;
    SetFlags(p, {JIF_ITEM_STOREDJOBTYPE, JIF_ITEM_JOBCOPIES, JIF_ITEM_PAGECOPIES, JIF_ITEM_DUPLEXTYPE, JIF_ITEM_NUP,
                 JIF_ITEM_POSTER, JIF_ITEM_BOOKLETTYPE, JIF_ITEM_PAGEORDER, JIF_ITEM_SLIPSHEET, JIF_ITEM_TONERSAVE,
                 JIF_ITEM_LOGICALPAGES, JIF_ITEM_ESTIMATEDSHEETS, JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE, JIF_FLAG_MODE,
                 JIF_FLAG_COLORS, JIF_FLAG_INTRAY, JIF_FLAG_DUPLEX});
    AddPage(p, "210.0X297.0", 1, 4, 1, 1);
    AddPage(p, "210.0X297.0", 2, 0, 1, 1);
    AddPage(p, "*100.0X148.0", 3, 0, 0x8000, 0);
    return r;
}

const char kSmallJobBlock[] =
    "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
    "@PJL COMMENT QZJOBINFO BEGIN\n"
    "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
    "@PJL COMMENT QZJOBINFO JOBTYPE=PRINT\n"
    "@PJL COMMENT QZJOBINFO STOREDJOBTYPE=IMMEDIATE\n"
    "@PJL COMMENT QZJOBINFO JOBCOPIES=1\n"
    "@PJL COMMENT QZJOBINFO PAGECOPIES=2\n"
    "@PJL COMMENT QZJOBINFO DUPLEXTYPE=DUPLEX\n"
    "@PJL COMMENT QZJOBINFO NUP=2\n"
    "@PJL COMMENT QZJOBINFO POSTER=1\n"
    "@PJL COMMENT QZJOBINFO BOOKLETTYPE=TYPE[NOBOOKLET]\n"
    "@PJL COMMENT QZJOBINFO PAGEORDER=1TON\n"
    "@PJL COMMENT QZJOBINFO SLIPSHEET=NOSLIPSHEET\n"
    "@PJL COMMENT QZJOBINFO TONERSAVE=ON\n"
    "@PJL COMMENT QZJOBINFO PHYSICALPAGES=2\n"
    "@PJL COMMENT QZJOBINFO LOGICALPAGES=5\n"
    "@PJL COMMENT QZJOBINFO ESTIMATEDSHEETS=2\n"
    "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\n"
    "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[210.0X297.0]:MODE[COLOR]:COLORS[4]:INTRAY[1]:DUPLEX[DUPLEX]\n"
    "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[210.0X297.0]:MODE[MONOCHROME]::INTRAY[1]:DUPLEX[DUPLEX]\n"
    "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[*100.0X148.0]:MODE[EMPTY]::INTRAY[32768]:DUPLEX[SIMPLEX]\n"
    "@PJL COMMENT QZJOBINFO PAGEINFOEND\n"
    "@PJL COMMENT QZJOBINFO END\n";

/* A direct-fax job of one page with CR LF line ends. */
Record CrLfJob()
{
    Record r = NewRecord(1, 1);
    JobInfoRecord *p = r.get();
    JIF_SetLineEnd(p, TRUE);
    JIF_SetPdlType(p, 2, "3");
    JIF_SetJobType(p, 1);
    SetFlags(p, {JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_ORIENTATION});
    AddPage(p, "A4", 2)->orientation = 2;
    return r;
}

const char kCrLfJobBlock[] =
    "@PJL COMMENT QZJOBINFO VERSION=1.1.0\r\n"
    "@PJL COMMENT QZJOBINFO BEGIN\r\n"
    "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[POSTSCRIPT]:VERSION[3]\r\n"
    "@PJL COMMENT QZJOBINFO JOBTYPE=DIRECTFAX\r\n"
    "@PJL COMMENT QZJOBINFO PHYSICALPAGES=1\r\n"
    "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\r\n"
    "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[A4]:MODE[MONOCHROME]:ORIENTATION[LANDSCAPE]\r\n"
    "@PJL COMMENT QZJOBINFO PAGEINFOEND\r\n"
    "@PJL COMMENT QZJOBINFO END\r\n";

class JobInfo : public ::testing::Test {
protected:
    void TearDown() override { JIF_TestFailAllocAfter(0); }
};

} // namespace

TEST_F(JobInfo, NewRecordHasVersionBeginEndAndLf)
{
    Record r = NewRecord(10, 10);
    for (int i = 0; i < JIF_FLAG_COUNT; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r->setFlags[i], DWORD(i == JIF_ITEM_VERSION || i == JIF_ITEM_BEGIN || i == JIF_ITEM_END));
    }
    EXPECT_EQ(r->lineEnd[0], '\n');
    EXPECT_EQ(r->lineEnd[1], '\0');
    EXPECT_EQ(r->lineEndLength, 1u);
    EXPECT_EQ(r->nextItem, 0u);
    EXPECT_EQ(r->errorBits, 0u);
    EXPECT_EQ(JIF_ListCount(r->pages), 0);
    EXPECT_EQ(r->pages->capacity, 10);
    EXPECT_EQ(r->pages->growthStep, 10);

    EXPECT_EQ(JIF_Create(-1, 10), nullptr);
    EXPECT_EQ(JIF_Create(10, -1), nullptr);
    JIF_Destroy(nullptr);
}

TEST_F(JobInfo, ItemLinesAtTheEdgesOfTheirVocabulary)
{
    struct Case {
        int item;
        void (*set)(JobInfoRecord *);
        const char *text;
    };
    const Case cases[] = {
        {JIF_ITEM_VERSION, [](JobInfoRecord *) {}, "VERSION=1.1.0\n"},
        {JIF_ITEM_BEGIN, [](JobInfoRecord *) {}, "BEGIN\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, 0, ""); }, "PDLTYPE=PDL[UNKNOWN]:VERSION[]\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, 1, "1.8.2"); }, "PDLTYPE=PDL[TRAMX]:VERSION[1.8.2]\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, 4, "x"); }, "PDLTYPE=PDL[WBDL]:VERSION[x]\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, 5, "x"); }, "\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, -1, "x"); }, "\n"},
        {JIF_ITEM_PDLTYPE, [](JobInfoRecord *r) { JIF_SetPdlType(r, 2, nullptr); }, "PDLTYPE=PDL[POSTSCRIPT]:VERSION[]\n"},
        {JIF_ITEM_PDLTYPE,
         [](JobInfoRecord *r) {
             JIF_SetPdlType(r, 3, "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF");
         },
         "PDLTYPE=PDL[PCLXL]:VERSION[0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF]\n"},
        {JIF_ITEM_PDLTYPE, /* 65 characters: the 65th is dropped */
         [](JobInfoRecord *r) {
             JIF_SetPdlType(r, 3, "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEFZ");
         },
         "PDLTYPE=PDL[PCLXL]:VERSION[0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF]\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = 0; }, "JOBTYPE=PRINT\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = 1; }, "JOBTYPE=DIRECTFAX\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = 2; }, "JOBTYPE=INTERNETFAX\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = 3; }, "JOBTYPE=FORMREGISTRATION\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = 4; }, "\n"},
        {JIF_ITEM_JOBTYPE, [](JobInfoRecord *r) { r->jobType = -1; }, "\n"},
        {JIF_ITEM_STOREDJOBTYPE, [](JobInfoRecord *r) { r->storedJobType = 0; }, "STOREDJOBTYPE=IMMEDIATE\n"},
        {JIF_ITEM_STOREDJOBTYPE, [](JobInfoRecord *r) { r->storedJobType = 3; }, "STOREDJOBTYPE=DELAY\n"},
        {JIF_ITEM_STOREDJOBTYPE, [](JobInfoRecord *r) { r->storedJobType = 4; }, "STOREDJOBTYPE=QUICKCOPY\n"},
        {JIF_ITEM_STOREDJOBTYPE, [](JobInfoRecord *r) { r->storedJobType = 5; }, "STOREDJOBTYPE=PERSONALBOX\n"},
        {JIF_ITEM_STOREDJOBTYPE, [](JobInfoRecord *r) { r->storedJobType = 6; }, "\n"},
        {JIF_ITEM_JOBCOPIES, [](JobInfoRecord *r) { r->jobCopies = 1; }, "JOBCOPIES=1\n"},
        {JIF_ITEM_JOBCOPIES, [](JobInfoRecord *r) { r->jobCopies = INT32_MAX; }, "JOBCOPIES=2147483647\n"},
        {JIF_ITEM_JOBCOPIES, [](JobInfoRecord *r) { r->jobCopies = 0; }, "\n"},
        {JIF_ITEM_JOBCOPIES, [](JobInfoRecord *r) { r->jobCopies = INT32_MIN; }, "\n"},
        {JIF_ITEM_PAGECOPIES, [](JobInfoRecord *r) { r->pageCopies = 1; }, "PAGECOPIES=1\n"},
        {JIF_ITEM_PAGECOPIES, [](JobInfoRecord *r) { r->pageCopies = INT32_MAX; }, "PAGECOPIES=2147483647\n"},
        {JIF_ITEM_PAGECOPIES, [](JobInfoRecord *r) { r->pageCopies = 0; }, "\n"},
        {JIF_ITEM_DUPLEXTYPE, [](JobInfoRecord *r) { r->duplexType = 0; }, "DUPLEXTYPE=SIMPLEX\n"},
        {JIF_ITEM_DUPLEXTYPE, [](JobInfoRecord *r) { r->duplexType = 2; }, "DUPLEXTYPE=TUMBLE\n"},
        {JIF_ITEM_DUPLEXTYPE, [](JobInfoRecord *r) { r->duplexType = 3; }, "\n"},
        {JIF_ITEM_NUP, [](JobInfoRecord *r) { r->nup = 1; }, "NUP=1\n"},
        {JIF_ITEM_NUP, [](JobInfoRecord *r) { r->nup = INT32_MAX; }, "NUP=2147483647\n"},
        {JIF_ITEM_NUP, [](JobInfoRecord *r) { r->nup = 0; }, "\n"},
        {JIF_ITEM_NUP, [](JobInfoRecord *r) { r->nup = -1; }, "\n"},
        {JIF_ITEM_POSTER, [](JobInfoRecord *r) { r->poster = 1; }, "POSTER=1\n"},
        {JIF_ITEM_POSTER, [](JobInfoRecord *r) { r->poster = INT32_MAX; }, "POSTER=2147483647\n"},
        {JIF_ITEM_POSTER, [](JobInfoRecord *r) { r->poster = 0; }, "\n"},
        {JIF_ITEM_BOOKLETTYPE, [](JobInfoRecord *r) { r->bookletType = 0; }, "BOOKLETTYPE=TYPE[NOBOOKLET]\n"},
        {JIF_ITEM_BOOKLETTYPE, [](JobInfoRecord *r) { r->bookletType = 1; }, "BOOKLETTYPE=TYPE[NONEDIVIDE]\n"},
        {JIF_ITEM_BOOKLETTYPE,
         [](JobInfoRecord *r) {
             r->bookletType = 2;
             r->bookletThreshold = 1;
         },
         "BOOKLETTYPE=TYPE[AUTODIVIDE]:THRESHOLD[1]\n"},
        {JIF_ITEM_BOOKLETTYPE,
         [](JobInfoRecord *r) {
             r->bookletType = 3;
             r->bookletThreshold = INT32_MAX;
         },
         "BOOKLETTYPE=TYPE[MANUALDIVIDE]:THRESHOLD[2147483647]\n"},
        {JIF_ITEM_BOOKLETTYPE,
         [](JobInfoRecord *r) {
             r->bookletType = 3;
             r->bookletThreshold = 0;
         },
         "\n"},
        {JIF_ITEM_BOOKLETTYPE,
         [](JobInfoRecord *r) {
             r->bookletType = 2;
             r->bookletThreshold = -1;
         },
         "\n"},
        {JIF_ITEM_BOOKLETTYPE,
         [](JobInfoRecord *r) {
             r->bookletType = 4;
             r->bookletThreshold = 1;
         },
         "\n"},
        {JIF_ITEM_OUTTRAY, [](JobInfoRecord *r) { r->outTrayCode = 0; }, "OUTTRAY=MAINTRAY\n"},
        {JIF_ITEM_OUTTRAY, [](JobInfoRecord *r) { r->outTrayCode = 1; }, "OUTTRAY=SIDETRAY\n"},
        {JIF_ITEM_OUTTRAY,
         [](JobInfoRecord *r) {
             r->outTrayCode = 2;
             r->outTrayBin = 3;
         },
         "OUTTRAY=OUTBIN3\n"},
        {JIF_ITEM_OUTTRAY,
         [](JobInfoRecord *r) {
             r->outTrayCode = 2;
             r->outTrayBin = INT32_MAX;
         },
         "OUTTRAY=OUTBIN2147483647\n"},
        {JIF_ITEM_OUTTRAY,
         [](JobInfoRecord *r) {
             r->outTrayCode = 2;
             r->outTrayBin = 0;
         },
         "\n"},
        {JIF_ITEM_OUTTRAY, [](JobInfoRecord *r) { r->outTrayCode = 3; }, "OUTTRAY=BOOKLETTRAY\n"},
        {JIF_ITEM_OUTTRAY, [](JobInfoRecord *r) { r->outTrayCode = 4; }, "OUTTRAY=FOLDERTRAY\n"},
        {JIF_ITEM_OUTTRAY, [](JobInfoRecord *r) { r->outTrayCode = 5; }, "\n"},
        {JIF_ITEM_PAGEORDER, [](JobInfoRecord *r) { r->pageOrder = 0; }, "PAGEORDER=1TON\n"},
        {JIF_ITEM_PAGEORDER, [](JobInfoRecord *r) { r->pageOrder = 1; }, "PAGEORDER=NTO1\n"},
        {JIF_ITEM_PAGEORDER, [](JobInfoRecord *r) { r->pageOrder = 2; }, "\n"},
        {JIF_ITEM_STAPLE, [](JobInfoRecord *r) { r->staple = 0; }, "STAPLE=NOSTAPLE\n"},
        {JIF_ITEM_STAPLE, [](JobInfoRecord *r) { r->staple = 5; }, "STAPLE=BOTTOMRIGHT\n"},
        {JIF_ITEM_STAPLE, [](JobInfoRecord *r) { r->staple = 9; }, "STAPLE=SADDLE\n"},
        {JIF_ITEM_STAPLE, [](JobInfoRecord *r) { r->staple = 10; }, "\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 0;
             r->punchPosition = 9;
         },
         "PUNCH=HOLES[NOPUNCH]\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 1;
             r->punchPosition = 0;
         },
         "PUNCH=HOLES[UNKNOWN]:POSITION[TOP]\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 3;
             r->punchPosition = 2;
         },
         "PUNCH=HOLES[THREE]:POSITION[RIGHT]\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 4;
             r->punchPosition = 3;
         },
         "PUNCH=HOLES[FOUR]:POSITION[BOTTOM]\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 2;
             r->punchPosition = 4;
         },
         "\n"},
        {JIF_ITEM_PUNCH,
         [](JobInfoRecord *r) {
             r->punchHoles = 2;
             r->punchPosition = -1;
         },
         "\n"},
        {JIF_ITEM_PUNCH, [](JobInfoRecord *r) { r->punchHoles = 5; }, "\n"},
        {JIF_ITEM_FOLD, [](JobInfoRecord *r) { r->fold = 0; }, "FOLD=NOFOLD\n"},
        {JIF_ITEM_FOLD, [](JobInfoRecord *r) { r->fold = 4; }, "FOLD=ZFOLDRIGHT\n"},
        {JIF_ITEM_FOLD, [](JobInfoRecord *r) { r->fold = 8; }, "FOLD=TRICFOLDOUTSIDE\n"},
        {JIF_ITEM_FOLD, [](JobInfoRecord *r) { r->fold = 9; }, "\n"},
        {JIF_ITEM_SLIPSHEET, [](JobInfoRecord *r) { r->slipSheet = 0; }, "SLIPSHEET=NOSLIPSHEET\n"},
        {JIF_ITEM_SLIPSHEET, [](JobInfoRecord *r) { r->slipSheet = 1; }, "SLIPSHEET=EMPTY\n"},
        {JIF_ITEM_SLIPSHEET, [](JobInfoRecord *r) { r->slipSheet = 2; }, "SLIPSHEET=COPY\n"},
        {JIF_ITEM_SLIPSHEET, [](JobInfoRecord *r) { r->slipSheet = 3; }, "\n"},
        {JIF_ITEM_TONERSAVE, [](JobInfoRecord *r) { r->tonerSave = 0; }, "TONERSAVE=OFF\n"},
        {JIF_ITEM_TONERSAVE, [](JobInfoRecord *r) { r->tonerSave = 1; }, "TONERSAVE=ON\n"},
        {JIF_ITEM_TONERSAVE, [](JobInfoRecord *r) { r->tonerSave = 2; }, "\n"},
        /* The counts are 32-bit unsigned: -1 is 4294967295, never a 64-bit value. */
        {JIF_ITEM_PHYSICALPAGES, [](JobInfoRecord *r) { r->physicalPages = 0; }, "PHYSICALPAGES=0\n"},
        {JIF_ITEM_PHYSICALPAGES, [](JobInfoRecord *r) { r->physicalPages = INT32_MAX; }, "PHYSICALPAGES=2147483647\n"},
        {JIF_ITEM_PHYSICALPAGES, [](JobInfoRecord *r) { r->physicalPages = -1; }, "PHYSICALPAGES=4294967295\n"},
        {JIF_ITEM_LOGICALPAGES, [](JobInfoRecord *r) { r->logicalPages = 0; }, "LOGICALPAGES=0\n"},
        {JIF_ITEM_LOGICALPAGES, [](JobInfoRecord *r) { r->logicalPages = INT32_MIN; }, "LOGICALPAGES=2147483648\n"},
        {JIF_ITEM_LOGICALPAGES, [](JobInfoRecord *r) { r->logicalPages = -1; }, "LOGICALPAGES=4294967295\n"},
        {JIF_ITEM_ESTIMATEDSHEETS, [](JobInfoRecord *r) { r->estimatedSheets = 7; }, "ESTIMATEDSHEETS=7\n"},
        {JIF_ITEM_ESTIMATEDSHEETS, [](JobInfoRecord *r) { r->estimatedSheets = -1; }, "ESTIMATEDSHEETS=4294967295\n"},
        {JIF_ITEM_PAGEINFOBEGIN, [](JobInfoRecord *) {}, "PAGEINFOBEGIN\n"},
        {JIF_ITEM_PAGEINFOEND, [](JobInfoRecord *) {}, "PAGEINFOEND\n"},
        {JIF_ITEM_END, [](JobInfoRecord *) {}, "END\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << ": " << c.text);
        Record r = NewRecord();
        c.set(r.get());
        BOOL hasSize = -1;
        EXPECT_EQ(ItemText(r.get(), c.item, 1, &hasSize), c.text);
        EXPECT_EQ(hasSize, FALSE);
    }
}

TEST_F(JobInfo, PageFieldsAndTheirSeparators)
{
    struct Case {
        std::vector<int> flags;
        JobInfoPage page;
        const char *text;
        BOOL hasSize;
    };
    const Case cases[] = {
        {{}, {1, 4, 1, 0, 1, 1, "A4"}, "PAGEINFO=", FALSE},
        /* Every field at its longest gives the longest text there is. */
        {{JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_COLORS, JIF_FLAG_INTRAY, JIF_FLAG_DUPLEX, JIF_FLAG_ORIENTATION,
          JIF_FLAG_POS},
         {1, INT32_MAX, 0xFFFFFFFFu, 0, 4, 0xFFFFFFFFu, "123456789012345"},
         "PAGEINFO=SIZE[123456789012345]:MODE[COLOR]:COLORS[2147483647]:INTRAY[4294967295]:DUPLEX[SIMPLEX]"
         ":ORIENTATION[REVLANDSCAPE]:POS[4294967295]",
         TRUE},
        {{JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_INTRAY, JIF_FLAG_DUPLEX, JIF_FLAG_ORIENTATION, JIF_FLAG_POS},
         {0, 0, 0, 2, 1, 0, "B5"},
         "PAGEINFO=SIZE[B5]:MODE[UNKNOWN]:INTRAY[0]:DUPLEX[TUMBLE]:ORIENTATION[PORTRAIT]:POS[0]",
         TRUE},
        {{JIF_FLAG_ORIENTATION}, {0, 0, 0, 0, 3, 0, ""}, "PAGEINFO=ORIENTATION[REVPORTRAIT]", FALSE},
        {{JIF_FLAG_ORIENTATION}, {0, 0, 0, 0, 2, 0, ""}, "PAGEINFO=ORIENTATION[LANDSCAPE]", FALSE},
        /* COLORS only with MODE 1 and a count of 0 or more; its ":" stays. */
        {{JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_COLORS}, {2, 3, 0, 0, 0, 0, "A4"}, "PAGEINFO=SIZE[A4]:MODE[MONOCHROME]:",
         TRUE},
        {{JIF_FLAG_MODE, JIF_FLAG_COLORS, JIF_FLAG_INTRAY}, {1, -1, 0, 0, 0, 0, ""}, "PAGEINFO=MODE[COLOR]::INTRAY[0]",
         FALSE},
        {{JIF_FLAG_MODE, JIF_FLAG_COLORS}, {1, 0, 0, 0, 0, 0, ""}, "PAGEINFO=MODE[COLOR]:COLORS[0]", FALSE},
        {{JIF_FLAG_MODE}, {3, 0, 0, 0, 0, 0, ""}, "PAGEINFO=MODE[EMPTY]", FALSE},
        /* SIZE counts only when written; an empty SIZE opens no separator. */
        {{JIF_FLAG_SIZE, JIF_FLAG_MODE}, {2, 0, 0, 0, 0, 0, ""}, "PAGEINFO=MODE[MONOCHROME]", FALSE},
        /* A flagged field outside its table writes nothing but counts. */
        {{JIF_FLAG_MODE, JIF_FLAG_INTRAY}, {4, 0, 5, 0, 0, 0, ""}, "PAGEINFO=:INTRAY[5]", FALSE},
        {{JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_INTRAY}, {-1, 0, 5, 0, 0, 0, "A3"}, "PAGEINFO=SIZE[A3]::INTRAY[5]",
         TRUE},
        {{JIF_FLAG_DUPLEX, JIF_FLAG_ORIENTATION, JIF_FLAG_POS}, {0, 0, 0, 3, 1, 0, ""},
         "PAGEINFO=:ORIENTATION[PORTRAIT]:POS[0]", FALSE},
        {{JIF_FLAG_ORIENTATION, JIF_FLAG_POS}, {0, 0, 0, 0, 5, 9, ""}, "PAGEINFO=:POS[9]", FALSE},
        /* A text without its flag is not written. */
        {{JIF_FLAG_MODE}, {0, 0, 0, 0, 0, 0, "A4"}, "PAGEINFO=MODE[UNKNOWN]", FALSE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Record r = NewRecord();
        SetFlags(r.get(), {JIF_ITEM_PAGEINFO});
        for (int f : c.flags)
            r->setFlags[f] = 1;
        ASSERT_EQ(JIF_ListAppend(r->pages), 1);
        *JIF_ListCurrentEntry(r->pages) = c.page;

        char buf[JIF_LINE_BUFFER_SIZE];
        BOOL hasSize = -1;
        int len = JIF_WritePageEntry(r.get(), buf, sizeof buf, 1, &hasSize);
        EXPECT_EQ(std::string(buf, size_t(len > 0 ? len : 0)), c.text);
        EXPECT_EQ(hasSize, c.hasSize);
        EXPECT_EQ(ItemText(r.get(), JIF_ITEM_PAGEINFO, 1), std::string(c.text) + "\n");
    }
}

TEST_F(JobInfo, LongestTextAndUnterminatedSize)
{
    Record r = NewRecord();
    SetFlags(r.get(), {JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE, JIF_FLAG_MODE, JIF_FLAG_COLORS, JIF_FLAG_INTRAY,
                       JIF_FLAG_DUPLEX, JIF_FLAG_ORIENTATION, JIF_FLAG_POS});
    ASSERT_EQ(JIF_ListAppend(r->pages), 1);
    JobInfoPage *p = JIF_ListCurrentEntry(r->pages);
    *p = {1, INT32_MAX, 0xFFFFFFFFu, 0, 4, 0xFFFFFFFFu, {}};
    memset(p->size, 'W', sizeof p->size); /* no terminator in the record */

    JIF_SetLineEnd(r.get(), TRUE);
    std::string line = ItemText(r.get(), JIF_ITEM_PAGEINFO, 1);
    EXPECT_EQ(line, "PAGEINFO=SIZE[WWWWWWWWWWWWWWW]:MODE[COLOR]:COLORS[2147483647]:INTRAY[4294967295]"
                    ":DUPLEX[SIMPLEX]:ORIENTATION[REVLANDSCAPE]:POS[4294967295]\r\n");
    EXPECT_EQ(line.size(), size_t(JIF_MAX_TEXT_LENGTH) + 2);
    EXPECT_EQ(JIF_MAX_LINE_LENGTH, 163);
}

TEST_F(JobInfo, FormatterArguments)
{
    Record r = NewRecord();
    char buf[JIF_LINE_BUFFER_SIZE];
    BOOL hasSize = FALSE;
    EXPECT_EQ(JIF_FormatItem(r.get(), buf, sizeof buf, 0, 1, &hasSize), -1);
    EXPECT_EQ(JIF_FormatItem(r.get(), buf, sizeof buf, 26, 1, &hasSize), -1);
    EXPECT_EQ(JIF_FormatItem(r.get(), buf, JIF_LINE_BUFFER_SIZE - 1, 1, 1, &hasSize), -1);
    EXPECT_EQ(JIF_FormatItem(nullptr, buf, sizeof buf, 1, 1, &hasSize), -1);
    EXPECT_EQ(JIF_FormatItem(r.get(), nullptr, sizeof buf, 1, 1, &hasSize), -1);
    EXPECT_EQ(JIF_FormatItem(r.get(), buf, sizeof buf, 1, 1, nullptr), -1);
    EXPECT_EQ(JIF_WritePageEntry(nullptr, buf, sizeof buf, 1, &hasSize), -1);

    /* A page number outside the list gives an empty text (a bare line). */
    SetFlags(r.get(), {JIF_ITEM_PAGEINFO, JIF_FLAG_MODE});
    AddPage(r.get(), "A4", 1);
    EXPECT_EQ(JIF_WritePageEntry(r.get(), buf, sizeof buf, 2, &hasSize), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(JIF_WritePageEntry(r.get(), buf, sizeof buf, 0, &hasSize), 0);
    EXPECT_EQ(ItemText(r.get(), JIF_ITEM_PAGEINFO, 2), "\n");
}

TEST_F(JobInfo, SmallJobBlockByteForByte)
{
    Record r = SmallJob();
    WORD bits = 0xFFFF;
    EXPECT_EQ(WriteBlock(r.get(), 1025, &bits), kSmallJobBlock);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(r->physicalPages, 2);
    EXPECT_EQ(r->pageCount, 3u);
}

TEST_F(JobInfo, CrLfBlockByteForByte)
{
    Record r = CrLfJob();
    WORD bits = 0xFFFF;
    EXPECT_EQ(WriteBlock(r.get(), 513, &bits), kCrLfJobBlock);
    EXPECT_EQ(bits, 0);
}

TEST_F(JobInfo, LinesAreNeverSplitAtAnyCapacity)
{
    struct Job {
        Record (*make)();
        const char *block;
        const char *lineEnd;
    };
    const Job jobs[] = {{SmallJob, kSmallJobBlock, "\n"}, {CrLfJob, kCrLfJobBlock, "\r\n"}};
    for (const Job &job : jobs) {
        const std::string block = job.block;
        /* Offsets where the hand-written block's lines end. */
        std::vector<size_t> ends;
        for (size_t at = block.find(job.lineEnd); at != std::string::npos; at = block.find(job.lineEnd, at + 1))
            ends.push_back(at + strlen(job.lineEnd));
        auto isEnd = [&](size_t off) { return off == 0 || std::find(ends.begin(), ends.end(), off) != ends.end(); };
        auto nextLength = [&](size_t off) {
            auto it = std::upper_bound(ends.begin(), ends.end(), off);
            return it == ends.end() ? size_t(0) : *it - off;
        };

        for (int capacity = 1; capacity <= 600; capacity++) {
            SCOPED_TRACE(testing::Message() << job.lineEnd[0] + 0 << " capacity " << capacity);
            Record r = job.make();
            std::string out;
            std::vector<char> buf(static_cast<size_t>(capacity));
            BOOL more = TRUE;
            int calls = 0;
            while (more && calls++ < 1000) {
                WORD bits = 0;
                int n = JIF_WriteChunk(r.get(), buf.data(), capacity, &more, &bits);
                ASSERT_GE(n, 0);
                if (n == 0) {
                    /* Nothing fits: the pending line is longer than the
                     * capacity, and the call says so. */
                    ASSERT_TRUE(more);
                    size_t pending = nextLength(out.size());
                    ASSERT_GT(pending, size_t(capacity));
                    EXPECT_EQ(bits, JIF_ERR_NO_ROOM);
                    /* Room for exactly that line writes exactly that line. */
                    std::vector<char> exact(pending);
                    ASSERT_EQ(JIF_WriteChunk(r.get(), exact.data(), int(pending), &more, &bits), int(pending));
                    EXPECT_EQ(bits, 0);
                    out.append(exact.data(), pending);
                    continue;
                }
                EXPECT_EQ(bits, 0);
                out.append(buf.data(), size_t(n));
                /* Whole lines only, and as many as fit. */
                ASSERT_TRUE(isEnd(out.size())) << "split line at " << out.size();
                if (more) {
                    EXPECT_GT(size_t(n) + nextLength(out.size()), size_t(capacity));
                }
            }
            EXPECT_FALSE(more);
            EXPECT_EQ(out, block);
        }
    }
}

TEST_F(JobInfo, CapacityBelowTheFirstLineKeepsThePosition)
{
    Record r = SmallJob();
    const int versionLine = 37; /* "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n" */
    char buf[600];
    BOOL more = FALSE;
    WORD bits = 0;
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, 0, &more, &bits), 0);
    EXPECT_TRUE(more);
    EXPECT_EQ(bits, JIF_ERR_NO_ROOM);
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, versionLine - 1, &more, &bits), 0);
    EXPECT_TRUE(more);
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, versionLine, &more, &bits), versionLine);
    EXPECT_TRUE(more);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(std::string(buf, size_t(versionLine)), "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n");
    EXPECT_EQ(std::string(buf, size_t(versionLine)) + WriteBlock(r.get(), 600), kSmallJobBlock);
}

TEST_F(JobInfo, SecondWriteRepeatsTheBlockWithoutRecounting)
{
    Record r = SmallJob();
    ASSERT_EQ(WriteBlock(r.get()), kSmallJobBlock);
    EXPECT_EQ(r->nextItem, DWORD(JIF_ITEM_VERSION));
    EXPECT_EQ(r->currentPage, 1u);

    /* A page added afterwards is not counted: the count belongs to the
     * first call of the block. */
    AddPage(r.get(), "A5", 1, 1, 2, 0);
    WORD bits = 0xFFFF;
    EXPECT_EQ(WriteBlock(r.get(), 513, &bits), kSmallJobBlock);
    EXPECT_EQ(bits, 0);
}

TEST_F(JobInfo, FormRegistrationWithoutPagesReportsMissingItems)
{
    Record r = NewRecord();
    JIF_SetPdlType(r.get(), 3, "2.1.0");
    JIF_SetJobType(r.get(), 3);
    WORD bits = 0;
    EXPECT_EQ(WriteBlock(r.get(), 513, &bits), "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                                                "@PJL COMMENT QZJOBINFO BEGIN\n"
                                                "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
                                                "@PJL COMMENT QZJOBINFO JOBTYPE=FORMREGISTRATION\n"
                                                "@PJL COMMENT QZJOBINFO END\n");
    EXPECT_EQ(bits, JIF_ERR_MISSING_ITEM);
    EXPECT_EQ(r->errorBits, DWORD(JIF_ERR_MISSING_ITEM));
}

TEST_F(JobInfo, RequiredItemsPerJobType)
{
    struct Case {
        LONG jobType;
        int cleared; /* 0: nothing cleared */
        WORD bits;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0, JIF_ITEM_PDLTYPE, JIF_ERR_MISSING_ITEM},
        {0, JIF_ITEM_JOBTYPE, JIF_ERR_MISSING_ITEM},
        {0, JIF_ITEM_JOBCOPIES, JIF_ERR_MISSING_ITEM},
        {0, JIF_ITEM_PAGECOPIES, JIF_ERR_MISSING_ITEM},
        {0, JIF_ITEM_PAGEINFO, JIF_ERR_MISSING_ITEM},
        {0, JIF_FLAG_SIZE, JIF_ERR_MISSING_ITEM},
        {0, JIF_ITEM_STOREDJOBTYPE, 0},
        {0, JIF_FLAG_MODE, 0},
        {1, 0, 0},
        {1, JIF_ITEM_JOBCOPIES, 0},
        {1, JIF_ITEM_PAGECOPIES, 0},
        {1, JIF_ITEM_PDLTYPE, JIF_ERR_MISSING_ITEM},
        {1, JIF_ITEM_PAGEINFO, JIF_ERR_MISSING_ITEM},
        {2, JIF_ITEM_JOBTYPE, JIF_ERR_MISSING_ITEM},
        {2, JIF_ITEM_JOBCOPIES, 0},
        {2, JIF_FLAG_SIZE, JIF_ERR_MISSING_ITEM},
        {3, JIF_ITEM_PAGECOPIES, 0},
        {3, JIF_ITEM_PAGEINFO, JIF_ERR_MISSING_ITEM},
        {3, JIF_FLAG_SIZE, JIF_ERR_MISSING_ITEM},
        /* Other job types are not tested. */
        {4, JIF_ITEM_PDLTYPE, 0},
        {4, JIF_FLAG_SIZE, 0},
        {-1, JIF_ITEM_PAGEINFO, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "job type " << c.jobType << " cleared " << c.cleared);
        /* No pages: the bit can come from the required-item check alone. */
        Record r = NewRecord();
        JIF_SetPdlType(r.get(), 3, "2.1.0");
        JIF_SetJobType(r.get(), c.jobType);
        r->jobCopies = r->pageCopies = 1;
        SetFlags(r.get(), {JIF_ITEM_JOBCOPIES, JIF_ITEM_PAGECOPIES, JIF_ITEM_STOREDJOBTYPE, JIF_ITEM_PAGEINFO,
                           JIF_FLAG_SIZE, JIF_FLAG_MODE});
        if (c.cleared)
            r->setFlags[c.cleared] = 0;
        WORD bits = 0xFFFF;
        WriteBlock(r.get(), 513, &bits);
        EXPECT_EQ(bits, c.bits);

        /* The check runs once per block; the bit stays. */
        WriteBlock(r.get(), 513, &bits);
        EXPECT_EQ(bits, c.bits);
    }
}

TEST_F(JobInfo, PageLineWithoutSizeSetsTheErrorBit)
{
    /* Job type 4 is not checked, so the bit can only come from the page line. */
    Record r = NewRecord();
    JIF_SetPdlType(r.get(), 3, "2.1.0");
    JIF_SetJobType(r.get(), 4);
    SetFlags(r.get(), {JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE, JIF_FLAG_MODE});
    AddPage(r.get(), "A4", 1);
    AddPage(r.get(), "", 2);
    char buf[600];
    BOOL more = FALSE;
    WORD bits = 0xFFFF;
    std::string out;
    /* The lines before the first page line (JOBTYPE 4 is a bare line). */
    const char firstLines[] = "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                              "@PJL COMMENT QZJOBINFO BEGIN\n"
                              "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
                              "@PJL COMMENT QZJOBINFO \n"
                              "@PJL COMMENT QZJOBINFO PHYSICALPAGES=2\n"
                              "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\n";
    /* The bit appears with the call that writes the page line without SIZE. */
    int n = JIF_WriteChunk(r.get(), buf, int(strlen(firstLines)), &more, &bits);
    EXPECT_EQ(n, int(strlen(firstLines)));
    out.append(buf, size_t(n));
    EXPECT_TRUE(more);
    EXPECT_EQ(bits, 0);
    out += WriteBlock(r.get(), 600, &bits);
    EXPECT_EQ(bits, JIF_ERR_MISSING_ITEM);
    EXPECT_EQ(out, "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                   "@PJL COMMENT QZJOBINFO BEGIN\n"
                   "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
                   "@PJL COMMENT QZJOBINFO \n"
                   "@PJL COMMENT QZJOBINFO PHYSICALPAGES=2\n"
                   "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\n"
                   "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[A4]:MODE[COLOR]\n"
                   "@PJL COMMENT QZJOBINFO PAGEINFO=MODE[MONOCHROME]\n"
                   "@PJL COMMENT QZJOBINFO PAGEINFOEND\n"
                   "@PJL COMMENT QZJOBINFO END\n");
}

TEST_F(JobInfo, PageFieldsWithoutPagesWriteNoPageLine)
{
    Record r = NewRecord();
    JIF_SetPdlType(r.get(), 3, "2.1.0");
    JIF_SetJobType(r.get(), 1);
    SetFlags(r.get(), {JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE});
    WORD bits = 0xFFFF;
    EXPECT_EQ(WriteBlock(r.get(), 513, &bits), "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                                                "@PJL COMMENT QZJOBINFO BEGIN\n"
                                                "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
                                                "@PJL COMMENT QZJOBINFO JOBTYPE=DIRECTFAX\n"
                                                "@PJL COMMENT QZJOBINFO END\n");
    EXPECT_EQ(bits, 0);
}

TEST_F(JobInfo, PagesAcrossTheBlockBoundaryKeepTheCursor)
{
    const LONG pages = JIF_PAGES_PER_BLOCK + 5;
    Record r = NewRecord(10, 10);
    JIF_SetPdlType(r.get(), 3, "2.1.0");
    JIF_SetJobType(r.get(), 4);
    SetFlags(r.get(), {JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE, JIF_FLAG_POS});
    for (LONG i = 1; i <= pages; i++)
        AddPage(r.get(), i % 2 ? "A4" : "A3", 2)->pos = DWORD(i);
    ASSERT_EQ(JIF_ListCount(r->pages), pages);
    ASSERT_EQ(r->pages->blockCount, 2);
    EXPECT_EQ(r->pages->blocks[0].size, JIF_PAGES_PER_BLOCK);
    EXPECT_EQ(r->pages->blocks[1].size, 10);
    EXPECT_EQ(r->pages->blocks[1].count, 5);

    ASSERT_TRUE(JIF_ListSelect(r->pages, 777));
    std::string expected = "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                           "@PJL COMMENT QZJOBINFO BEGIN\n"
                           "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.1.0]\n"
                           "@PJL COMMENT QZJOBINFO \n"
                           "@PJL COMMENT QZJOBINFO PHYSICALPAGES=1605\n"
                           "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\n";
    for (LONG i = 1; i <= pages; i++)
        expected += std::string("@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[") + (i % 2 ? "A4" : "A3") + "]:POS[" +
                    std::to_string(i) + "]\n";
    expected += "@PJL COMMENT QZJOBINFO PAGEINFOEND\n"
                "@PJL COMMENT QZJOBINFO END\n";

    /* In 513-byte pieces, as the renderer asks for them. */
    char buf[513];
    BOOL more = TRUE;
    WORD bits = 0;
    std::string out;
    while (more) {
        int n = JIF_WriteChunk(r.get(), buf, sizeof buf, &more, &bits);
        ASSERT_GT(n, 0);
        out.append(buf, size_t(n));
        EXPECT_EQ(JIF_ListCurrent(r->pages), 777);
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(bits, 0);
}

TEST_F(JobInfo, ResetEmptiesTheRecordForTheNextJob)
{
    Record r = SmallJob();
    JIF_SetLineEnd(r.get(), TRUE);
    r->errorBits = JIF_ERR_MISSING_ITEM;
    JIF_Reset(r.get());
    EXPECT_EQ(JIF_ListCount(r->pages), 0);
    EXPECT_EQ(JIF_ListCurrent(r->pages), 0);
    EXPECT_EQ(r->pages->capacity, 10);
    EXPECT_EQ(r->errorBits, 0u);
    EXPECT_EQ(r->lineEndLength, 1u);
    EXPECT_EQ(r->pdlVersion[0], '\0');
    EXPECT_EQ(r->nup, 0);
    EXPECT_EQ(WriteBlock(r.get()), "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                                   "@PJL COMMENT QZJOBINFO BEGIN\n"
                                   "@PJL COMMENT QZJOBINFO END\n");
    JIF_Reset(nullptr);
}

TEST_F(JobInfo, WriterArguments)
{
    Record r = NewRecord();
    char buf[64];
    BOOL more = TRUE;
    WORD bits = 0;
    EXPECT_EQ(JIF_WriteChunk(nullptr, buf, sizeof buf, &more, &bits), -1);
    EXPECT_FALSE(more);
    EXPECT_EQ(JIF_WriteChunk(r.get(), nullptr, sizeof buf, &more, &bits), -1);
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, -1, &more, &bits), -1);
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, sizeof buf, nullptr, &bits), -1);
    EXPECT_EQ(JIF_WriteChunk(r.get(), buf, sizeof buf, &more, nullptr), -1);
    /* None of them started the block. */
    EXPECT_EQ(r->nextItem, 0u);
}

TEST_F(JobInfo, ResendBlockByteForByte)
{
    char buf[JIF_RESEND_BUFFER_SIZE];
    WORD bits = 0;
    int n = JIF_WriteResendBlock(buf, sizeof buf, &bits);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf, size_t(n)), "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                                           "@PJL COMMENT QZJOBINFO BEGIN\n"
                                           "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[TRAMX]:VERSION[1.8.2]\n"
                                           "@PJL COMMENT QZJOBINFO JOBTYPE=FORMREGISTRATION\n"
                                           "@PJL COMMENT QZJOBINFO END\n");
    /* Form registration wants a page line with SIZE; the resend has none. */
    EXPECT_EQ(bits, JIF_ERR_MISSING_ITEM);

    EXPECT_EQ(JIF_WriteResendBlock(buf, 100, &bits), -1); /* does not fit */
    EXPECT_EQ(JIF_WriteResendBlock(nullptr, sizeof buf, &bits), -1);
    for (unsigned k = 1; k <= 4; k++) {
        JIF_TestFailAllocAfter(k);
        EXPECT_EQ(JIF_WriteResendBlock(buf, sizeof buf, &bits), -1) << k;
    }
    JIF_TestFailAllocAfter(0);
}
