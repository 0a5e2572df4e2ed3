/*
 * The PJL reply parser: replies fed as the port layer feeds them (whole,
 * split at every byte, several in one read, unfinished, malformed), and
 * each reply kind's effect on the status values, the port and the job
 * records.  Reply texts are written by hand in the PJL reply format.
 */
#include "lm_fixture.h"
#include "reply_parser.h"
#include "status.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class ReplyTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        HANDLE h = nullptr;
        ASSERT_TRUE(open(u"USB001", &h));
        port = rec(h);
        port->portKind = KIND_USB | KIND_BIDI;
        port->modelMask = LM_MODEL_K4100;
        g_lm.osMajor = 5;
        g_lm.osMinor = 1;
    }

    /* Feeds text as the port layer does: replies until one is unfinished (its text returned) or the text ends. */
    std::string feed(const std::string &text, std::vector<int> *answers = nullptr)
    {
        const char *cursor = text.c_str();
        while (*cursor) {
            const char *before = cursor;
            const int a = LMS_FeedReply(text.c_str(), &cursor, port, FALSE, nullptr);
            if (answers)
                answers->push_back(a);
            if (a == 1)
                return cursor;
            if (a == 2 || cursor == before)
                return "<stuck>";
        }
        return "";
    }

    /* Feeds the text in two reads, split at `at`, keeping the unfinished rest as the port layer does. */
    void feed_split(const std::string &text, size_t at)
    {
        std::string held = feed(text.substr(0, at));
        ASSERT_NE(held, "<stuck>") << at;
        EXPECT_EQ(feed(held + text.substr(at)), "") << at;
    }

    std::vector<BYTE> value(const char *name)
    {
        StatusVariable *row = LMS_LookupVariable(name, port);
        if (!row || !row->value)
            return {};
        return std::vector<BYTE>(row->value, row->value + LMS_VariableSize(row));
    }

    DWORD word(const char *name)
    {
        std::vector<BYTE> v = value(name);
        DWORD w = 0xDEADBEEF;
        if (v.size() >= 4)
            std::memcpy(&w, v.data(), 4);
        return w;
    }

    void set_word(const char *name, DWORD v)
    {
        StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE);
        ASSERT_NE(row, nullptr) << name;
        LMS_StoreValue(row, &v);
        row->changed = 0;
    }

    /* "PrinterDisplay" as {16, then the characters}. */
    static std::vector<BYTE> display(const std::u16string &text)
    {
        std::vector<BYTE> v(132, 0);
        v[0] = 16;
        std::memcpy(v.data() + 4, text.data(), text.size() * 2);
        return v;
    }

    std::vector<BYTE> record()
    {
        return value("PrintingJobInfo2");
    }

    static DWORD at32(const std::vector<BYTE> &v, size_t at)
    {
        DWORD w = 0;
        if (v.size() >= at + 4)
            std::memcpy(&w, v.data() + at, 4);
        return w;
    }

    MonitorPort *port = nullptr;
};

const std::string kStatus = "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"Ready\"\r\nONLINE=TRUE\r\n\f";
const std::string kPageCount = "@PJL INFO PAGECOUNT\r\nPAGECOUNT=1234\r\n\f";
const std::string kLang = "@PJL DINQUIRE LANG\r\nFRENCH\r\n\f";
const std::string kTag = "@PJL INFO SERVICETAG\r\nAB12CD34EF\r\n\f";

TEST_F(ReplyTest, ReplyKindsTable)
{
    struct Case {
        std::string text;
        const char *name;
        std::vector<BYTE> want;
    } cases[] = {
        {kStatus, "PrinterDisplay", display(u"Ready")},
        {"@PJL USTATUS DEVICE\r\nCODE=40000\r\nDISPLAY=\"Sleep mode\"\r\nONLINE=FALSE\r\n\f", "PrinterDisplay",
         display(u"Sleep mode")},
        {kPageCount, "PageCount", {0xD2, 0x04, 0, 0}},
        {"@PJL INFO PAGECOUNT\r\nPAGECOUNT=77\r\nEXTRA\r\n\f", "PageCount", {}}, /* the line must end the reply */
        {"@PJL INQUIRE POWERSAVETIME\r\n30\r\n\f", "OppPowerSaveTime", {30, 0, 0, 0}},
        {"@PJL INQUIRE OUTBIN\r\nOUTTRAY2\r\n\f", "OppOuttray", {2, 0, 0, 0}},
        {"@PJL INQUIRE PAPERTYPE3\r\nHEAVY\r\n\f", "OppPaperType3", {18, 0, 0, 0}},
        {"@PJL INQUIRE PAPERTYPE\r\nCOATED2\r\n\f", "OppPaperType", {17, 0, 0, 0}},
        {"@PJL INQUIRE INTRAYMTDIR\r\nLONG\r\n\f", "OppIntrayMTDir", {1, 0, 0, 0}},
        {"@PJL INFO VARIABLES\r\nCOPIES=1 [2 RANGE]\r\n\t1\r\n\t999\r\nPAPERSORT=ON [2 ENUMERATED]\r\n\tON\r\n\tOFF\r\n"
         "POWERSAVETIME=15 [2 RANGE]\r\n\t1\r\n\t240\r\n\f",
         "OppPaperSort", {1, 0, 0, 0}},
        {"@PJL INFO VARIABLES\r\nPOWERSAVETIME=15 [2 RANGE]\r\n\t1\r\n\t240\r\n\f", "OppPowerSaveTime", {15, 0, 0, 0}},
        {"@PJL INFO VARIABLES\r\nPAPERTYPE1=RECYCLE [13 ENUMERATED]\r\n\tNORMAL\r\nOUTBIN=OUTTRAY1\r\n\f",
         "OppPaperType1", {16, 0, 0, 0}},
        {"@PJL INFO VARIABLES\r\nINTRAYMTDIR=SHORT\r\n\f", "OppIntrayMTDir", {0, 0, 0, 0}},
        {"@PJL INFO VARIABLES\r\nPAPERTYPE5=HEAVY\r\n\f", "OppPaperType5", {}}, /* not a value of this model */
        {"@PJL INQUIRE POWERSAVE\r\nON\r\n\f", "OppPowerSaveTime", {}},            /* not stored anywhere */
    };
    for (const Case &c : cases) {
        HANDLE h = nullptr;
        LMP_ClosePort(port);
        ASSERT_TRUE(open(u"USB001", &h));
        port = rec(h);
        port->modelMask = LM_MODEL_K4100;
        std::vector<int> answers;
        EXPECT_EQ(feed(c.text, &answers), "") << c.text;
        EXPECT_EQ(answers, std::vector<int>{0}) << c.text;
        EXPECT_EQ(value(c.name), c.want) << c.text;
    }
}

TEST_F(ReplyTest, DeviceStatusLinesOtherThanDisplayChangeNothing)
{
    feed("@PJL USTATUS DEVICE\r\nCODE=10001\r\nONLINE=TRUE\r\n\f");
    EXPECT_EQ(value("PrinterDisplay"), std::vector<BYTE>(132, 0)) << "the reset value stays";
    for (StatusVariable *row = port->statusVariables; row->name; ++row)
        EXPECT_EQ(row->changed, 0) << row->name;
}

TEST_F(ReplyTest, DisplayTextTable)
{
    struct Case {
        std::string line;
        std::u16string shown;
    } cases[] = {
        {"DISPLAY=\"Ready\"", u"Ready"},
        {"DISPLAY=\"Caf\xC3\xA9 \xE2\x9C\x93\"", u"Caf\u00E9 V"},                 /* U+2713 shown as V */
        {"DISPLAY=\"A\xFF" "B\"", u"A\uFFFD" u"B"},                                /* an invalid byte */
        {"DISPLAY=\"\xE2\x9C\"", u"\uFFFD\uFFFD"},                                   /* a cut sequence */
        {"DISPLAY=\"" + std::string(40, 'x') + "\"", std::u16string(32, u'x')},      /* 32 characters at most */
        {"DISPLAY=Ready", u""},                                                      /* no quote: no effect */
        {"DISPLAY=\"\"", u""},
    };
    /* U+E001 at 23 and U+E002 at 31 (0-based): 23 to 31 become spaces */
    std::string marks = "DISPLAY=\"" + std::string(23, 'a') + "\xEE\x80\x81" + std::string(7, 'b') + "\xEE\x80\x82\"";
    for (const Case &c : cases) {
        const std::vector<BYTE> blank(132, 0);
        LMS_StoreValue(LMS_LookupVariable("PrinterDisplay", port), blank.data());
        feed("@PJL INFO STATUS\r\n" + c.line + "\r\n\f");
        std::vector<BYTE> want = c.line == "DISPLAY=Ready" ? std::vector<BYTE>(132, 0) : display(c.shown);
        EXPECT_EQ(value("PrinterDisplay"), want) << c.line;
    }
    feed("@PJL INFO STATUS\r\n" + marks + "\r\n\f");
    EXPECT_EQ(value("PrinterDisplay"), display(std::u16string(23, u'a') + std::u16string(9, u' ')));
}

TEST_F(ReplyTest, RepliesSplitAtEveryBytePosition)
{
    const std::string text = kStatus + kPageCount + kLang;
    for (size_t at = 1; at < text.size(); ++at) {
        LMP_ClosePort(port);
        HANDLE h = nullptr;
        ASSERT_TRUE(open(u"USB001", &h));
        port = rec(h);
        port->modelMask = LM_MODEL_K4100;
        feed_split(text, at);
        EXPECT_EQ(value("PrinterDisplay"), display(u"Ready")) << at;
        EXPECT_EQ(word("PageCount"), 1234u) << at;
        EXPECT_EQ(port->displayLang, 2u) << at;
    }
}

TEST_F(ReplyTest, FirstPartAloneIsHeldAndTwoRepliesInOneRead)
{
    std::vector<int> answers;
    EXPECT_EQ(feed("@PJL INFO PAGECOUNT\r\nPAGECO", &answers), "@PJL INFO PAGECOUNT\r\nPAGECO");
    EXPECT_EQ(answers, std::vector<int>{1});
    EXPECT_EQ(value("PageCount"), std::vector<BYTE>{});
    answers.clear();
    EXPECT_EQ(feed(kPageCount + kLang, &answers), "");
    EXPECT_EQ(answers, (std::vector<int>{0, 0}));
    EXPECT_EQ(word("PageCount"), 1234u);
    EXPECT_EQ(port->displayLang, 2u);
}

TEST_F(ReplyTest, UnfinishedAndUnknownText)
{
    std::vector<int> answers;
    /* a reply without a form feed is held */
    EXPECT_EQ(feed("@PJL USTATUS DEVICE\r\nCODE=10001\r\n", &answers), "@PJL USTATUS DEVICE\r\nCODE=10001\r\n");
    EXPECT_EQ(answers, std::vector<int>{1});
    /* the same text again, and again unchanged: dropped up to the next form feed */
    feed("@PJL USTATUS DEVICE\r\nCODE=10001\r\n");
    answers.clear();
    EXPECT_EQ(feed("@PJL USTATUS DEVICE\r\nCODE=10001\r\n", &answers), "");
    EXPECT_EQ(answers, std::vector<int>{6});
    EXPECT_EQ(port->replyParser->skipping, 1u);
    answers.clear();
    EXPECT_EQ(feed("ONLINE=TRUE\r\n\f" + kPageCount, &answers), "");
    EXPECT_EQ(answers, (std::vector<int>{0, 0}));
    EXPECT_EQ(word("PageCount"), 1234u);

    /* unknown replies are skipped to their form feed; an at sign waits for its line */
    answers.clear();
    EXPECT_EQ(feed("@PJL ECHO hello\r\nmore\r\n\f" + std::string("garbage\f") + kLang, &answers), "");
    EXPECT_EQ(answers, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(feed("@PJL INF"), "@PJL INF");
    EXPECT_EQ(feed("@PJL INFO STATUS\r\nCODE=1\r\n\f"), "");
    EXPECT_EQ(feed("no form feed at all"), "");
    EXPECT_EQ(port->replyParser->skipping, 1u);
    EXPECT_EQ(feed("still none"), "");
    EXPECT_EQ(feed("end\f" + kPageCount), "");
    EXPECT_EQ(port->replyParser->skipping, 0u);
}

TEST_F(ReplyTest, UstatusPageCountsTheJobsPages)
{
    BYTE rec[320] = {};
    StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
    ASSERT_TRUE(LMS_StoreValue(row, rec));
    feed("@PJL USTATUS PAGE\r\n3\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_PAGES), 3u);
    feed("@PJL USTATUS PAGE\r\n5\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_PAGES), 5u) << "3 then 2 more";
    feed("@PJL USTATUS PAGE\r\n2\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_PAGES), 7u) << "a lower number restarts the count";
    feed("@PJL USTATUS PAGE\r\n0\r\n\f");
    feed("@PJL USTATUS PAGE\r\n4\r\nX\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_PAGES), 7u) << "0, or a line not followed by the form feed, count nothing";
    EXPECT_EQ(port->lastPageCount, 2u);
}

TEST_F(ReplyTest, DisplayLanguageAndServiceTag)
{
    const char *names[] = {"ENGLISH", "FRENCH", "GERMAN", "ITALIAN", "SPANISH", "DANISH", "DUTCH",
                           "FINNISH", "NORWEGIAN", "POLISH", "PORTUGUESE", "SWEDISH", "CHINESE", "JAPANESE", "KLINGON"};
    for (DWORD i = 0; i < 15; ++i) {
        feed(std::string("@PJL DINQUIRE LANG\r\n") + names[i] + "\r\n\f");
        EXPECT_EQ(port->displayLang, i < 14 ? i + 1 : 0u) << names[i];
    }
    EXPECT_EQ(value("DisplayLang"), std::vector<BYTE>{}) << "changed only while a refresh runs";
    port->refreshActive = 1;
    feed(kLang);
    EXPECT_EQ(word("DisplayLang"), 2u);

    feed(kTag);
    EXPECT_STREQ(port->serviceTag, "AB12CD3");
    std::vector<BYTE> tag(32, 0);
    std::memcpy(tag.data(), "AB12CD3", 7);
    EXPECT_EQ(value("ServiceTag"), tag);
    feed("@PJL INFO SERVICETAG\r\nX1\r\n\f");
    EXPECT_STREQ(port->serviceTag, "X1") << "a short line is not read past";
    port->refreshActive = 0;
}

TEST_F(ReplyTest, JobRepliesInstallRecords)
{
    ASSERT_TRUE(LMJ_QueueJob(41, port));
    LMJ_SetQueuedJobText("0341424300004721000012AB", 1, port);
    ASSERT_TRUE(LMJ_QueueJob(42, port));
    LMJ_SetQueuedJobText("0341424300004721000012AC", 1, port);

    feed("@PJL USTATUS JOB\r\nSTART\r\nNAME=\"0341424300004721000012AB\"\r\n\f");
    std::vector<BYTE> r = record();
    ASSERT_EQ(r.size(), 320u);
    EXPECT_EQ(at32(r, LM_RECORD_JOB_ID), 41u);
    StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
    EXPECT_EQ(row->flags, SVF_JOB_START | SVF_KEEP);
    EXPECT_EQ(row->changed, 1);
    EXPECT_EQ(port->jobQueueHead->identifier[0], 0) << "the matched identifier is cleared";
    ASSERT_EQ(port->jobRecordQueue->count, 1u);
    auto *front = static_cast<JobRecordEntry *>(port->jobRecordQueue->first);
    EXPECT_NE(front->record, row->value) << "the queue holds its own copy";

    /* a second start while the first is shown: queued behind it */
    feed("@PJL USTATUS JOB\r\nSTART\r\nNAME=0341424300004721000012AC\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_JOB_ID), 41u);
    ASSERT_EQ(port->jobRecordQueue->count, 2u);
    EXPECT_EQ(at32(std::vector<BYTE>(front->next->record, front->next->record + 320), LM_RECORD_JOB_ID), 42u);

    /* the end of job names the job by its job name */
    LMJ_SetQueuedJobText("0341424300004721000012AC", 2, port);
    feed("@PJL USTATUS JOB\r\nEND\r\nNAME=\"0341424300004721000012AC\"\r\nPAGES=2\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_JOB_ID), 42u);
    EXPECT_TRUE(row->flags & SVF_JOB_CLOSE);
    EXPECT_EQ(port->replyParser->record, nullptr) << "the record was handed over";

    /* MSJOB names carry the spooler's job id */
    feed("@PJL USTATUS JOB\r\nSTART\r\nNAME=\"MSJOB 977\"\r\n\f");
    EXPECT_EQ(at32(record(), LM_RECORD_JOB_ID), 977u);

    /* a name of no queued job changes nothing */
    row->changed = 0;
    feed("@PJL USTATUS JOB\r\nSTART\r\nNAME=\"0399999999999999999999\"\r\n\f");
    EXPECT_EQ(row->changed, 0);
}

TEST_F(ReplyTest, BadJobNameStopsTheWalkerAndTheReplyIsDropped)
{
    ReplyParser *parser = LMS_PortParser(port);
    const std::string body = "START\r\nNAME=plain\r\nDISPLAY=\"x\"\r\n\f";
    const char *end = nullptr;
    EXPECT_EQ(LMS_DispatchReply(("@PJL USTATUS JOB\r\n" + body).c_str(), &end, parser, port), LM_REPLY_MORE);
    LMS_ResetReplyParser(parser, TRUE);
    /* the form feed has come: the reply is dropped to it, the next one is parsed */
    std::vector<int> answers;
    EXPECT_EQ(feed("@PJL USTATUS JOB\r\n" + body + kPageCount, &answers), "");
    EXPECT_EQ(answers, (std::vector<int>{0, 0}));
    EXPECT_EQ(word("PageCount"), 1234u);
    EXPECT_EQ(value("PrinterDisplay"), std::vector<BYTE>(132, 0)) << "the walk stopped before DISPLAY";
}

TEST_F(ReplyTest, CancelledJobs)
{
    ASSERT_TRUE(LMJ_QueueJob(51, port));
    feed("@PJL USTATUS JOB\r\nRESULT=HOST_CANCELED\r\n\f");
    EXPECT_EQ(port->jobEndSeen, 1u);
    EXPECT_EQ(port->jobQueueHead, nullptr) << "the port's jobs were finished";

    port->postScriptJob = 1;
    feed("@PJL USTATUS JOB\r\nCANCELED\r\n\f");
    EXPECT_EQ(port->cancelSeen, 1u);
    /* the next name is taken as the cancelled job's and only clears the mark */
    feed("@PJL USTATUS JOB\r\nNAME=plain\r\n\f");
    EXPECT_EQ(port->cancelSeen, 0u);
    port->postScriptJob = 0;
}

TEST_F(ReplyTest, ConfigurationReply)
{
    /* the trays as the status block left them: 2001 and tray 1 */
    BYTE bins[4 + 24] = {2, 0, 0, 0, 0xD1, 0x07, 0x01, 0x00, 9, 0, 0xFD, 42, 0, 0, 0, 0,
                         0x01, 0x00, 0xD1, 0x07, 8, 0, 0, 15, 0, 0, 0, 0};
    ASSERT_TRUE(LMS_StoreValue(LMS_LookupVariable("PrinterBinConfig", port), bins));
    LMS_AddOption(1001, 1001, 0, port);
    LMS_AddOption(3001, 3001, 1, port);
    feed("@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1 PAPER\r\nINTRAY1 TYPE=LARGE\r\n"
         "INTRAY2 TYPE=NORMAL\r\nINTRAY7TYPE=LARGE\r\nDUPLEX\r\nMEMORY=268435456\r\nLANGUAGES [1 ENUMERATED]\r\n"
         "\tPCLXL\r\nOUT TRAYSOUTTRAY2\r\n\f");
    std::vector<BYTE> v = value("PrinterBinConfig");
    ASSERT_EQ(v.size(), 28u);
    EXPECT_EQ(v[18] | v[19] << 8, 3) << "tray 1 reports the large tray";
    EXPECT_EQ(v[6] | v[7] << 8, 1) << "2001 untouched";
    const std::vector<BYTE> options = {3, 0, 0, 0, 0xB9, 0x0B, 0xB9, 0x0B, 1, 0, 0, 0,
                                       1, 0, 1, 0, 0, 0, 0, 0, 0x71, 0x17, 0x71, 0x17, 0, 0, 0, 0};
    EXPECT_EQ(value("PrinterOptConfig"), options) << "1001 removed; 3001, then duplex (1), then 6001";
}

TEST_F(ReplyTest, ResetPortStatusResetsTheParser)
{
    EXPECT_EQ(feed("@PJL USTATUS JOB\r\nSTART\r\n"), "@PJL USTATUS JOB\r\nSTART\r\n");
    ASSERT_NE(port->replyParser->record, nullptr);
    LMS_ResetPortStatus(port);
    EXPECT_EQ(port->replyParser->record, nullptr);
    EXPECT_EQ(port->replyParser->savedText, nullptr);
    EXPECT_EQ(port->replyParser->lastResult, DWORD(LM_REPLY_DONE));
}

} // namespace
