/*
 * The job attribute values and marker inserts: each formatter with its own
 * rules (plain values by type, paper names and custom sizes from the
 * spooler's forms, feed edge, codes without leading zeros, stored names,
 * document names, number lists, the user name and its fallbacks, the job
 * identifier, the scheduled time, the fax values, copies), the N-up and
 * owner inserts with their tables, the fax address file and destinations,
 * and the outside job-language library missing, lacking an entry point,
 * answering 0 or leaving its answer unterminated.
 */
#include "test_pjl_support.h"

#include <tarvel/fax_layout.h>

#include <plat/spooler.h>

#include <functional>

namespace {

using namespace pjl_test;

class JobAttr : public PjlTest {
protected:
    void SetUp() override
    {
        PjlTest::SetUp();
        job_.plainDefaults();
        PJL_SetTextMode(PJL_TEXT_UTF8);
    }
    /* Opens `m` (default: the plain-form model) and sets up the working record over it. */
    void useModel(const mw::Model &m = tarvel_models::plainFormPrinter())
    {
        pair_ = std::make_unique<ReaderPair>();
        open(*pair_, m);
        pjl_InitContext(&ctx_, &job_.params, &pair_->main, &pair_->companion);
    }
    /* Runs a writer on a fresh buffer: its text, or "<error>" with the result. */
    std::string run(const std::function<LONG(PjlBuffer *)> &writer)
    {
        buffer_.assign(40000, '#');
        PjlBuffer out{buffer_.data(), DWORD(buffer_.size()), 0};
        buffer_[0] = 0;
        result_ = writer(&out);
        if (result_ < 0)
            return "<" + std::to_string(result_) + ">";
        EXPECT_EQ(LONG(out.length), result_);
        return std::string(buffer_.data(), out.length);
    }
    /* The value of a record with setting `id` and key "K=" through the dispatch. */
    std::string value(WORD id)
    {
        return run([&](PjlBuffer *out) {
            return PJL_FormatValue(&pair_->main, &pair_->companion, u"K=", id, &job_.params, &ctx_, out);
        });
    }
    /* An open printer of the standard printer model, for form look-ups (administer access). */
    HANDLE printer()
    {
        if (!printer_) {
            EXPECT_TRUE(mdl_test::installStandard("TARVEL1.DDD", "TARVEL1.DDC"));
            PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
            EXPECT_TRUE(OpenPrinterW(mdl_test::printerFor("TARVEL1.DDD").c_str(), &printer_, &defaults));
        }
        return printer_;
    }
    void TearDown() override
    {
        if (printer_)
            ClosePrinter(printer_);
        pair_.reset();
        PjlTest::TearDown();
    }

    Job job_;
    std::unique_ptr<ReaderPair> pair_;
    JobHeaderContext ctx_{};
    std::vector<char> buffer_;
    LONG result_ = 0;
    HANDLE printer_ = nullptr;
};

TEST_F(JobAttr, PlainValuesByType)
{
    useModel();
    job_.set(1333, 1);
    job_.set(20, WORD(-3));
    job_.set(265, 65535);
    job_.set(1825, DWORD(-70000));
    job_.set(8205, 0x2010000);
    job_.set(4359, 200);
    job_.setText(1831, u"Box 7");
    job_.set(359, DWORD(-5));
    struct Case {
        WORD id;
        std::string text;
    } cases[] = {
        {1333, "K=ON"},
        {1344, "K=OFF"},
        {20, "K=-3"},
        {265, "K=65535"},
        {1825, "K=-70000"},
        {8205, "K=33619968"},
        {4359, "K=200"},
        {1831, "K=Box 7"},
        {1799, "K="},
        {359, "K=-5"},
        {304, "<" + std::to_string(PJL_ERR_FORMAT_TYPE) + ">"},
        {0x8011, "<" + std::to_string(PJL_ERR_RANGE) + ">"},
        {8193, "<" + std::to_string(PJL_ERR_READ) + ">"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run([&](PjlBuffer *out) { return PJL_FormatPlainValue(u"K=", c.id, &job_.params, out); }), c.text)
            << c.id;
    }
}

TEST_F(JobAttr, PaperNames)
{
    useModel();
    struct Case {
        WORD code;
        const char *name;
    } cases[] = {
        {8, "A3"},         {9, "A4"},          {11, "A5"},        {70, "A6"},        {12, "B4"},        {13, "B5"},
        {1, "INCH85_11"},  {14, "INCH85_13"},  {5, "INCH85_14"},  {3, "INCH11_17"},  {6, "INCH55_85"},
        {259, "INCH8_10"}, {260, "INCH12_18"}, {261, "SRA3"},     {257, "8KAI"},     {258, "16KAI"},
        {43, "HAGAKI"},
    };
    for (const Case &c : cases) {
        job_.set(410, c.code);
        job_.set(411, c.code);
        EXPECT_EQ(value(410), std::string("K=") + c.name) << c.code;
        EXPECT_EQ(value(411), std::string("K=") + c.name) << c.code;
    }
    for (WORD code : {0, 2, 7, 256, 302}) {
        job_.set(410, code);
        EXPECT_EQ(value(410), "<" + std::to_string(PJL_ERR_NOT_FOUND) + ">") << code;
    }
}

TEST_F(JobAttr, CustomPaperSizeFromTheSpoolerForm)
{
    useModel();
    job_.params.printer = printer();
    /* Slot 1 (code 263) is "Custom Paper 2" by the resource module; 215.9 x 279.4 mm. */
    std::u16string name = u"Custom Paper 2";
    FORM_INFO_1W form{};
    form.pName = name.data();
    form.Size.cx = 215900;
    form.Size.cy = 279400;
    form.ImageableArea = RECTL{0, 0, 215900, 279400};
    ASSERT_TRUE(AddFormW(printer(), 1, reinterpret_cast<const BYTE *>(&form)));
    job_.set(410, 263);
    struct Case {
        DWORD tray, feed412, feed413;
        std::string text;
    } cases[] = {
        {4, 2, 0, "K=UNFIXED:216:279"},
        {4, 1, 2, "K=UNFIXED:279:216"},
        {264, 1, 2, "K=UNFIXED:216:279"},
        {264, 2, 1, "K=UNFIXED:279:216"},
        {7, 2, 2, "<" + std::to_string(PJL_ERR_NOT_FOUND) + ">"},
    };
    for (const Case &c : cases) {
        job_.set(409, c.tray);
        job_.set(412, c.feed412);
        job_.set(413, c.feed413);
        EXPECT_EQ(value(410), c.text) << c.tray << " " << c.feed412;
    }
    /* Slot 0 has no form, and a null printer finds none. */
    job_.set(409, 4);
    job_.set(410, 262);
    EXPECT_EQ(value(410), "<" + std::to_string(PJL_ERR_NOT_FOUND) + ">");
    job_.set(410, 263);
    job_.params.printer = nullptr;
    EXPECT_EQ(value(410), "<" + std::to_string(PJL_ERR_NOT_FOUND) + ">");
}

TEST_F(JobAttr, FeedEdge)
{
    useModel();
    struct Case {
        const char *what;
        std::vector<std::pair<WORD, DWORD>> settings;
        std::string edge412, edge438;
    } cases[] = {
        {"nothing set", {}, "K=LEF", "K=LEF"},
        {"438 short edge", {{438, 2}}, "K=SEF", "K=SEF"},
        {"412 alone is not asked", {{412, 2}}, "K=LEF", "K=LEF"},
        {"first source on the bypass tray", {{404, 1}, {407, 4}, {412, 2}}, "K=SEF", "K=LEF"},
        {"second source", {{405, 1}, {408, 4}, {412, 2}, {438, 2}}, "K=SEF", "K=SEF"},
        {"third source, 412 long edge", {{406, 1}, {409, 4}, {412, 1}, {438, 2}}, "K=LEF", "K=SEF"},
        {"source off", {{406, 0}, {409, 4}, {412, 2}}, "K=LEF", "K=LEF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (WORD id : {404, 405, 406, 407, 408, 409, 412, 438})
            job_.set(id, 0);
        for (auto [id, v] : c.settings)
            job_.set(id, v);
        EXPECT_EQ(value(412), c.edge412);
        EXPECT_EQ(value(438), c.edge438);
    }
}

TEST_F(JobAttr, TextsWithoutLeadingZerosAndStoredNames)
{
    useModel();
    for (auto [text, written] : {std::pair{u"0042", "K=42"}, {u"120", "K=120"}, {u"0000", ""}, {u"", ""}}) {
        job_.setText(435, text);
        EXPECT_EQ(value(435), written);
    }
    job_.setText(1831, u"Box 7");
    job_.params.documentName = u"Report";
    job_.set(335, 0);
    EXPECT_EQ(value(1831), "K=Box 7");
    job_.set(335, 1);
    EXPECT_EQ(value(1831), "K=Report");
    job_.set(335, 2);
    EXPECT_EQ(value(1831), "<" + std::to_string(PJL_ERR_NAME_SOURCE) + ">");
}

TEST_F(JobAttr, DocumentNames)
{
    struct Case {
        const char *what;
        bool dbcsFlag;
        UINT codePage;
        std::u16string name;
        std::string text;
    } cases[] = {
        {"twelve bytes", false, 1252, u"Twelve bytes", "K=Twelve bytes"},
        {"thirteen bytes", false, 1252, u"Thirteen byte", ""},
        {"thirteen bytes with double-byte names", true, 1252, u"Thirteen byte", "K=Thirteen byte"},
        {"cut to 24 bytes", true, 1252, u"A name of thirty characters ..", "K=A name of thirty charact"},
        {"blanks only", true, 1252, u"   ", ""},
        {"a control character", true, 1252, u"Re\tport", ""},
        {"empty", true, 1252, u"", ""},
        {"outside the single-byte ranges", true, 1252, u"Caf\u00E9", ""},
        {"half-width katakana", false, 932, u"\uFF71\uFF72", "K=\xEF\xBD\xB1\xEF\xBD\xB2"},
        {"double-byte, not allowed", false, 932, u"\u5831\u544A", ""},
        /* Thirteen double-byte characters are 26 bytes: the cut keeps twelve whole ones. */
        {"double-byte, cut to whole characters", true, 932, std::u16string(13, u'\u5831'),
         "K=" + [] {
             std::string s;
             for (int i = 0; i < 12; ++i)
                 s += "\xE5\xA0\xB1";
             return s;
         }()},
        {"double-byte spaces only", true, 932, u"\u3000\u3000", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(plat::set_ansi_code_page(c.codePage));
        useModel(withJobLines(c.dbcsFlag ? PJL_F26_DBCS_NAME : 0, {}));
        job_.params.documentName = c.name.c_str();
        EXPECT_EQ(value(0x9026), c.text);
    }
    job_.params.documentName = nullptr;
    EXPECT_EQ(value(0x9026), "");
}

TEST_F(JobAttr, NumberLists)
{
    useModel();
    struct Case {
        std::vector<DWORD> values; /* settings 1834 on */
        std::string text;
    } cases[] = {
        {{9100, 515, 0, 515}, "K=515:9100"},
        {{1, 9999, 0}, ""},
        {{}, ""},
        {{2, 9998, 7}, "K=2:7:9998"},
        {std::vector<DWORD>(20, 44), "K=44"},
    };
    for (const Case &c : cases) {
        for (WORD id = 1834; id <= 1853; ++id)
            job_.set(id, size_t(id - 1834) < c.values.size() ? c.values[size_t(id - 1834)] : 0);
        EXPECT_EQ(value(1834), c.text);
    }
}

TEST_F(JobAttr, UserNames)
{
    useModel();
    const std::u16string winlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
    auto setDefaultUser = [&](const std::u16string &name) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, winlogon.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"DefaultUserName", 0, REG_SZ, reinterpret_cast<const BYTE *>(name.c_str()),
                       DWORD((name.size() + 1) * 2));
        RegCloseKey(key);
    };
    std::string dbcs254;
    for (int i = 0; i < 127; ++i)
        dbcs254 += "\xE3\x81\x82"; /* U+3042, two bytes in code page 932 */
    struct Case {
        const char *what;
        UINT codePage;
        std::u16string user;
        std::u16string defaultUser; /* empty: no Winlogon value */
        std::string text;
    } cases[] = {
        {"plain", 1252, u"alice", u"", "K=alice"},
        {"SYSTEM takes the Winlogon default", 1252, u"SYSTEM", u"bob", "K=bob"},
        {"SYSTEM without a Winlogon default", 1252, u"SYSTEM", u"", "K=UnknownUser"},
        {"a control character", 1252, u"al\u0001ce", u"", "K=UnknownUser"},
        {"a character outside the device's", 1252, u"Jos\u00E9", u"", "K=UnknownUser"},
        {"blanks only", 1252, u"   ", u"", "K=UnknownUser"},
        {"half-width katakana", 932, u"\uFF71", u"", "K=\xEF\xBD\xB1"},
        {"double-byte blanks only", 932, u"\u3000 ", u"", "K=UnknownUser"},
        /* 150 double-byte characters are 300 bytes: whole characters within 255 bytes stay. */
        {"300 bytes cut to 254", 932, std::u16string(150, u'\u3042'), u"", "K=" + dbcs254},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(plat::set_ansi_code_page(c.codePage));
        plat::sysinfo_set_user_name(c.user);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, winlogon.c_str());
        if (!c.defaultUser.empty())
            setDefaultUser(c.defaultUser);
        EXPECT_EQ(value(8193), c.text);
    }
    /* The host gate: the owner switch on, or the host switch (1333) not on. */
    ASSERT_TRUE(plat::set_ansi_code_page(1252));
    plat::sysinfo_set_user_name(u"alice");
    job_.set(1333, 1);
    EXPECT_EQ(value(8193), "");
    job_.set(5203, 1);
    EXPECT_EQ(value(8193), "K=alice");
    /* The key is cut to 289 characters. */
    const std::u16string longKey(300, u'k');
    EXPECT_EQ(run([&](PjlBuffer *out) { return pjl_FormatUserName(longKey.c_str(), &job_.params, out); }),
              std::string(289, 'k') + "alice");
}

TEST_F(JobAttr, JobIdentifier)
{
    useModel();
    EXPECT_EQ(value(8201), "");
    job_.params.jobIdPresent = 1;
    std::strcpy(job_.params.jobId, "CL01.JOB42");
    EXPECT_EQ(value(8201), "K=CL01.JOB42");
    /* A text that fills all 64 bytes is taken as 64 bytes. */
    std::memset(job_.params.jobId, 'J', sizeof job_.params.jobId);
    EXPECT_EQ(value(8201), "K=" + std::string(64, 'J'));
    job_.params.jobIdPresent = 2;
    EXPECT_EQ(value(8201), "");
}

TEST_F(JobAttr, ScheduledTime)
{
    useModel();
    struct Case {
        const char *what;
        SYSTEMTIME now;
        BYTE hour, minute;
        std::string text;
    } cases[] = {
        {"the current minute stays today", {2024, 3, 4, 7, 9, 5, 59, 0}, 9, 5, "K=2024:03:07:09:05"},
        {"later today", {2024, 3, 4, 7, 9, 5, 0, 0}, 18, 0, "K=2024:03:07:18:00"},
        {"one minute earlier is tomorrow", {2024, 3, 4, 7, 9, 5, 0, 0}, 9, 4, "K=2024:03:08:09:04"},
        {"across the month end of a leap year", {2024, 2, 4, 29, 23, 59, 0, 0}, 23, 58, "K=2024:03:01:23:58"},
        {"across the year end", {2024, 12, 2, 31, 12, 0, 0, 0}, 0, 30, "K=2025:01:01:00:30"},
        {"an hour that is no hour", {2024, 3, 4, 7, 9, 5, 0, 0}, 24, 0, ""},
        {"a minute that is no minute", {2024, 3, 4, 7, 9, 5, 0, 0}, 10, 60, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(plat::clock_fix(c.now, 1000));
        job_.set(451, c.hour);
        job_.set(452, c.minute);
        EXPECT_EQ(value(0x8010), c.text);
    }
}

TEST_F(JobAttr, FaxValuesOnlyOnAFaxJob)
{
    useModel(tarvel_models::colourPrinter(DDD_GATE_0x1600, true));
    job_.set(1800, 1);
    job_.set(1801, 7);
    job_.set(1802, 5);
    job_.setText(1865, u"Ann");
    /* A print job of the printer-and-fax model: the plain values. */
    EXPECT_EQ(value(1800), "K=1");
    EXPECT_EQ(value(1865), "K=Ann");
    job_.set(334, 5);
    EXPECT_EQ(value(1800), "K=07:05");
    EXPECT_EQ(value(1865), "K=5qvw");
    job_.set(1800, 0);
    EXPECT_EQ(value(1800), "K=0");
    job_.setText(1865, u"");
    EXPECT_EQ(value(1865), "K=");
}

TEST_F(JobAttr, CopiesOfDeviceCollatedJobs)
{
    useModel(); /* flags 0x10000 and 0x20000 */
    job_.set(12, 3);
    job_.set(18, 1);
    job_.set(8205, 0x1010903);
    EXPECT_EQ(value(12), "K=1");
    struct Case {
        const char *what;
        WORD id;
        DWORD v;
    } cases[] = {
        {"uncollated", 18, 0}, {"older protocol class", 8205, 0x1010902}, {"optional tray 4", 4099, 1},
        {"option 4123", 4123, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        job_.set(18, 1);
        job_.set(8205, 0x1010903);
        job_.set(4099, 0);
        job_.set(4123, 0);
        job_.set(c.id, c.v);
        EXPECT_EQ(value(12), "K=3");
    }
    useModel(withJobLines(PJL_F26_HCPN, {}));
    job_.set(4123, 0);
    EXPECT_EQ(value(12), "K=3");
}

TEST_F(JobAttr, OneTimeTextIsConsumed)
{
    useModel();
    job_.setText(329, u"4711");
    job_.set(1321, 1);
    EXPECT_EQ(value(329), "");
    EXPECT_EQ(job_.text(329), "4711");
    job_.set(1321, 0);
    EXPECT_EQ(value(329), "K=4711");
    EXPECT_EQ(job_.text(329), "");
    EXPECT_EQ(value(329), "");
}

TEST_F(JobAttr, NupLayoutCodes)
{
    struct Case {
        const char *what;
        DWORD fold, poster, pages;
        DWORD caps1;
        DWORD jobType;
        std::string text;
    } cases[] = {
        {"one page", 0, 0, 1, 0, 0, "@NUPL=0"},
        {"two", 0, 0, 2, 0, 0, "@NUPL=1"},
        {"thirty-two", 0, 0, 32, 0, 0, "@NUPL=12"},
        {"three is no layout", 0, 0, 3, 0, 0, ""},
        {"poster 2 x 2", 1, 0x202, 1, 0, 0, "@NUPL=8"},
        {"poster 1 x 3", 1, 0x103, 1, 0, 0, "@NUPL=13"},
        {"poster not listed: pages per sheet", 1, 0x999, 4, 0, 0, "@NUPL=2"},
        {"booklet", 2, 0, 4, 0, 0, "@NUPL=1"},
        {"booklet excluded", 2, 0, 4, 1u << 10, 3, "@NUPL=2"},
        {"booklet, capability 42 without job type 3", 2, 0, 4, 1u << 10, 2, "@NUPL=1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        mw::Model m = withJobLines(PJL_F26_NUP, {});
        m.main.entries[39] = mw::eU32s({c.caps1, 0});
        m.companion.entries[39] = mw::eU32s({c.caps1, 0});
        useModel(m);
        job_.set(321, c.fold);
        job_.set(296, c.poster);
        job_.set(295, c.pages);
        job_.set(334, c.jobType);
        EXPECT_EQ(run([&](PjlBuffer *out) { return PJL_WriteNupString(&ctx_, out); }), c.text);
        pjl_FreeLibrary(&ctx_);
    }
}

TEST_F(JobAttr, JobOwnerKindsLayoutsAndOutputCodes)
{
    job_.set(5203, 1);
    job_.setText(5121, u"alice");
    job_.setText(5150, u"carol");
    job_.setText(5174, u"dave");
    struct Case {
        const char *what;
        DWORD flags;
        std::vector<std::pair<WORD, DWORD>> settings;
        std::string text;
    } cases[] = {
        {"kind 0, tray 7", 0, {{5127, 0}, {265, 7}}, "@JOUH=3,1,0"},
        {"kind 3, four pages, tray 1", 0, {{5127, 3}, {295, 4}, {265, 1}}, "@JOUH=4,4,1"},
        {"kind 1: the user setting", 0, {{5127, 1}, {265, 3}}, "@JOIN=3,1,2,alice"},
        {"kind 4, poster layout 100", 0, {{5127, 4}, {321, 1}, {265, 266}}, "@JOIN=4,100,4,alice"},
        {"kind 6, booklet layout 2", 0, {{5127, 6}, {321, 2}, {265, 257}}, "@JOIN=4,2,7,alice"},
        {"kind 7, 265 is 258: tray from 13", 0, {{5127, 7}, {265, 258}, {13, 2}}, "@JOIN=3,1,6,alice"},
        {"tray 4: the code by 388", 0, {{5127, 5}, {265, 4}, {388, 3}}, "@JOIN=3,1,9,alice"},
        {"tray 260: 388 not listed", 0, {{5127, 5}, {265, 260}, {388, 25}}, "@JOIN=3,1,8,alice"},
        {"a tray not listed", 0, {{5127, 0}, {265, 99}}, "@JOUH=3,1,11"},
        {"flag 0x10: tray from 13", PJL_F26_OUTPUT_FROM_SOURCE, {{5127, 0}, {265, 7}, {13, 3}}, "@JOUH=3,1,2"},
        {"flag 0x10: 13 is 15", PJL_F26_OUTPUT_FROM_SOURCE, {{5127, 0}, {265, 7}, {13, 15}}, "@JOUH=3,1,0"},
        {"kind 2 writes nothing", 0, {{5127, 2}}, ""},
        {"kind 9 writes nothing", 0, {{5127, 9}}, ""},
        {"switch: 5178 and 5150", 0, {{5163, 1}, {5178, 1}, {5127, 2}, {265, 7}}, "@JOIN=3,1,0,carol"},
        {"with the N-up insert: kind 1, layout and code 0", PJL_F26_NUP, {{5127, 0}, {295, 4}}, "@JOUH=1,0,0"},
        {"with host address and host name: kind 5", PJL_F26_HOST_ADDRESS | PJL_F26_HOST_NAME, {{5127, 1}},
         "@JOIN=5,0,0,alice"},
        {"owner text: 5174", PJL_F26_OWNER_TEXT, {{5127, 0}, {5164, 1}, {265, 7}}, "@JOIN=3,1,0,dave"},
        {"owner text, but an owner kind that writes nothing", PJL_F26_OWNER_TEXT, {{5127, 2}, {5164, 1}}, ""},
        {"owner text: anonymous", PJL_F26_OWNER_TEXT, {{5127, 0}, {5164, 1}, {5183, 1}, {265, 7}},
         "@JOIN=3,1,0,UnknownUser"},
        {"owner text off by 5164", PJL_F26_OWNER_TEXT, {{5127, 0}, {265, 7}}, "@JOUH=3,1,0"},
        {"owner text of the switch: 5165", PJL_F26_OWNER_TEXT, {{5163, 1}, {5178, 0}, {5164, 1}, {265, 7}},
         "@JOUH=3,1,0"},
        {"JOBATTR form", PJL_F26_JOBATTR, {{5127, 0}, {265, 7}}, "@PJL SET JOBATTR=\"@JOUH=3,1,0\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Job job;
        job.plainDefaults();
        job.set(5203, 1);
        job.setText(5121, u"alice");
        job.setText(5150, u"carol");
        job.setText(5174, u"dave");
        for (auto [id, v] : c.settings)
            job.set(id, v);
        ReaderPair p;
        open(p, withJobLines(c.flags, {}));
        JobHeaderContext ctx{};
        pjl_InitContext(&ctx, &job.params, &p.main, &p.companion);
        EXPECT_EQ(run([&](PjlBuffer *out) { return PJL_WriteJobOwner(&ctx, out); }), c.text);
        pjl_FreeLibrary(&ctx);
    }
    /* The owner gate shut: nothing at all. */
    useModel(withJobLines(0, {}));
    job_.set(5203, 0);
    EXPECT_EQ(run([&](PjlBuffer *out) { return PJL_WriteJobOwner(&ctx_, out); }), "");
}

/* A model of the plain form with a marker and the given flags; its library named `library`. */
mw::Model markerModel(DWORD flags, const char *library = "tarveljl.dll")
{
    mw::Model m = withJobLines(flags, {jobLine(1, 0, {}, "@PJL JOB MODE=", "PRINTER"),
                                       jobLine(2, 0, {}, "%INSERT", nullptr), jobLine(3, 0, {}, "@PJL SET END=", "1")});
    m.main.entries[20] = mw::eText(library ? mw::stored(library) : mw::noText());
    m.companion.entries[20] = m.main.entries[20];
    return m;
}

/* The inserts of a header: what stands between the comments and the last line. */
std::string inserts(const Built &b)
{
    if (b.result < 0)
        return "<" + std::to_string(b.result) + ">";
    size_t from = b.text.find('\n', b.text.find("@PJL COMMENT TIME=")) + 1;
    return b.text.substr(from, b.text.rfind("@PJL SET END=1\n") - from);
}

TEST_F(JobAttr, LibraryMissingLackingAnEntryOrAnsweringZero)
{
    const DWORD nup = PJL_F26_NUP, hosts = PJL_F26_HOST_ADDRESS | PJL_F26_HOST_NAME;
    const std::string err = "<" + std::to_string(PJL_ERR_LIBRARY) + ">";
    struct Case {
        const char *what;
        DWORD flags;
        const char *library;
        std::function<void()> setup;
        std::string text;
    } cases[] = {
        {"answers", nup | hosts, "tarveljl.dll", [] {}, "@NUPL=0\n@HOAD=192.0.2.15\n@HONM=TARVELHOST\n"},
        {"no such library", nup, "nosuchjl.dll", [] {}, err},
        {"no model text 3", nup, nullptr, [] {}, err},
        {"the library refuses to load", nup, "tarveljl.dll", [] { standInSwitch(u"Refuse", 1); }, err},
        {"no N-up entry", nup, "tarveljlpart.dll", [] {}, err},
        {"no host-address entry: the insert is left out", hosts, "tarveljlpart.dll", [] {}, "@HONM=TARVELHOST\n"},
        {"N-up answers 0", nup, "tarveljl.dll", [] { standInAnswersZero(u"DHGetKJCLStringOfNup"); }, err},
        {"host address answers 0: left out", hosts, "tarveljl.dll",
         [] { standInAnswersZero(u"DHGetKJCLStringOfHostAddress"); }, "@HONM=TARVELHOST\n"},
        {"host name answers 0", hosts, "tarveljl.dll", [] { standInAnswersZero(u"DHGetKJCLStringOfHostNameEx"); },
         err},
        {"library missing, host address alone: left out", PJL_F26_HOST_ADDRESS, "nosuchjl.dll", [] {}, ""},
        {"the owner's entry answers 0", 0, "tarveljl.dll",
         [] { standInAnswersZero(u"DHGetKJCLStringOfJobOwnerStringFromUserHostName"); }, err},
        {"the owner without a library", 0, "nosuchjl.dll", [] {}, err},
        /* Unterminated answers are cut at the sizes given: 18 for N-up, 48 for the host address. */
        {"unterminated answers", nup | PJL_F26_HOST_ADDRESS, "tarveljl.dll", [] { standInSwitch(u"NoTerminator", 1); },
         "@NUPL=0" + std::string(11, '~') + "\n@HOAD=192.0.2.15" + std::string(32, '~') + "\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tarvel\\Test\\JobLanguage");
        c.setup();
        Job job;
        job.plainDefaults();
        if (c.flags == 0) {
            job.set(5203, 1); /* only the owner insert */
            job.set(265, 7);
        }
        ReaderPair p;
        open(p, markerModel(c.flags, c.library));
        EXPECT_EQ(inserts(build(p, job)), c.text);
        EXPECT_EQ(plat::loader_load_count(u"tarveljl.dll"), 0u) << "the library is freed with the header";
        EXPECT_EQ(plat::loader_load_count(u"tarveljlpart.dll"), 0u);
    }
}

TEST_F(JobAttr, FaxAddressFile)
{
    useModel(tarvel_models::colourPrinter(DDD_GATE_0x1600, true));
    job_.set(334, 5);
    job_.set(4125, 1);
    auto insert = [&] { return run([&](PjlBuffer *out) { return PJL_WriteFaxAddressFile(&ctx_, out); }); };

    job_.setText(1799, u"C:\\FAX\\A.TXT");
    writeFile(u"C:\\FAX\\A.TXT", "first\r\n");
    EXPECT_EQ(insert(), "first\r\n");
    EXPECT_FALSE(fileExists(u"C:\\FAX\\A.TXT"));
    EXPECT_EQ(insert(), "") << "a file that is gone inserts nothing";

    /* Setting 375 takes over the file name, in the settings too. */
    job_.setText(375, u"C:\\FAX\\B.TXT");
    writeFile(u"C:\\FAX\\A.TXT", "not this\r\n");
    writeFile(u"C:\\FAX\\B.TXT", std::string("second\0hidden", 13));
    EXPECT_EQ(insert(), "second");
    EXPECT_EQ(job_.text(1799), "C:\\FAX\\B.TXT");
    EXPECT_TRUE(fileExists(u"C:\\FAX\\A.TXT"));

    /* A file of exactly 9,600 bytes with no zero byte: all of it. */
    job_.setText(375, u"");
    job_.setText(1799, u"C:\\FAX\\FULL.TXT");
    writeFile(u"C:\\FAX\\FULL.TXT", std::string(9600, 'F'));
    EXPECT_EQ(insert(), std::string(9600, 'F'));

    /* Not a fax job: the file stays. */
    job_.set(334, 0);
    writeFile(u"C:\\FAX\\FULL.TXT", "x");
    EXPECT_EQ(insert(), "");
    EXPECT_TRUE(fileExists(u"C:\\FAX\\FULL.TXT"));
}

TEST_F(JobAttr, FaxOptionLines)
{
    useModel(tarvel_models::colourPrinter(DDD_GATE_0x1600, true));
    job_.set(334, 5);
    job_.set(4125, 1);
    auto lines = [&] {
        return run([&](PjlBuffer *out) {
            LONG total = 0;
            for (LONG (*w)(JobHeaderContext *, PjlBuffer *) : {PJL_WriteFaxResolution, PJL_WriteFareAttribute,
                                                                PJL_WriteTrreAttribute, PJL_WriteTxheAttribute}) {
                LONG r = w(&ctx_, out);
                if (r < 0)
                    return r;
                total += r;
            }
            return total;
        });
    };
    struct Case {
        DWORD resolution, trre, txhe;
        const char *res, *fare, *trreWord, *txheWord;
    } cases[] = {
        {0, 0, 0, "200", "NORMAL", "OFF", "OFF"},   {1, 1, 1, "200", "FINE", "ONERROR", "ON"},
        {2, 2, 2, "400", "SUPERFINE", "ON", "OFF"}, {3, 3, 1, "600", "ULTRAFINE", "OFF", "ON"},
        {4, 0, 0, "200", "NORMAL", "OFF", "OFF"},
    };
    for (const Case &c : cases) {
        job_.set(1803, c.resolution);
        job_.set(1860, c.trre);
        job_.set(1859, c.txhe);
        EXPECT_EQ(lines(), std::string("@PJL SET RESOLUTION=") + c.res + "\n@PJL SET JOBATTR=\"@FARE=" + c.fare +
                               "\"\n@PJL SET JOBATTR=\"@TRRE=" + c.trreWord + "\"\n@PJL SET JOBATTR=\"@TXHE=" +
                               c.txheWord + "\"\n")
            << c.resolution;
    }
    job_.set(4125, 0);
    EXPECT_EQ(lines(), "");
}

TEST_F(JobAttr, FaxDestinations)
{
    const std::u16string tag = u"DFAX001";
    auto block = [&](WORD count, WORD attr3 = 0) {
        std::vector<BYTE> b(FAX_HEADER_SIZE + FAX_ENTRY_SIZE * count, 0);
        std::memcpy(b.data(), tag.c_str(), 16);
        plat::store<WORD>(b.data() + FAX_OFF_COUNT, count);
        for (WORD i = 0; i < count; ++i) {
            BYTE *e = b.data() + FAX_HEADER_SIZE + FAX_ENTRY_SIZE * i;
            const std::u16string address = u"05" + std::u16string(1, char16_t(u'0' + i));
            std::memcpy(e + FAX_E_ADDRESS, address.c_str(), address.size() * 2);
            plat::store<WORD>(e + FAX_E_ATTR3, attr3);
        }
        return b;
    };
    useModel(tarvel_models::colourPrinter(DDD_GATE_0x1600, true)); /* kind 2 and the JOBATTR form */
    job_.set(334, 5);
    job_.set(4125, 1);
    job_.set(380, 3);
    std::vector<BYTE> list = block(3);
    PjlFaxCursor cursor{1, 2, list.data(), DWORD(list.size())};
    job_.params.faxCursor = &cursor;
    auto write = [&] { return run([&](PjlBuffer *out) { return PJL_WriteFaxAttributes(&ctx_, out); }); };
    EXPECT_EQ(write(), "@PJL SET JOBATTR=\"@FAEN=051{20}{30}\"\r\n@PJL SET JOBATTR=\"@FAEN=052{20}{30}\"\r\n");

    /* The second prefix and its flag, selected by the entry's field 1796. */
    job_.setText(5143, u"9,,,,");
    job_.set(5144, 1);
    plat::store<WORD>(list.data() + FAX_HEADER_SIZE + FAX_ENTRY_SIZE + FAX_E_PREFIX_SELECT, 1);
    cursor = {1, 1, list.data(), DWORD(list.size())};
    EXPECT_EQ(write(), "@PJL SET JOBATTR=\"@FAEN=9,,,,051{21}{30}\"\r\n");

    const std::string notFound = "<" + std::to_string(PJL_ERR_NOT_FOUND) + ">";
    cursor = {2, 1, list.data(), DWORD(list.size())};
    EXPECT_EQ(write(), notFound) << "first after last";
    cursor = {0, 3, list.data(), DWORD(list.size())};
    EXPECT_EQ(write(), notFound) << "last not below setting 380";
    cursor = {0, 0, list.data(), DWORD(list.size()) - 1};
    EXPECT_EQ(write(), notFound) << "a block shorter than its count says";
    cursor = {0, 0, nullptr, 0};
    EXPECT_EQ(write(), notFound);
    std::vector<BYTE> bad = block(3, 3);
    cursor = {0, 0, bad.data(), DWORD(bad.size())};
    EXPECT_EQ(write(), notFound) << "a destination that cannot be written";
    std::vector<BYTE> two = block(2);
    cursor = {0, 1, two.data(), DWORD(two.size())};
    EXPECT_EQ(write(), "") << "a list of another count than setting 380 is left out";
    job_.params.faxCursor = nullptr;
    EXPECT_EQ(write(), "");

    /* The plain form and destination kind 1. */
    useModel(withJobLines(0, {}, true));
    job_.params.faxCursor = &cursor;
    cursor = {0, 0, list.data(), DWORD(list.size())};
    EXPECT_EQ(write(), "@FANU=050{20}{30}\r\n");
}

} // namespace
