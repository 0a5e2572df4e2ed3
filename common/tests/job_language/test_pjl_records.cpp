/*
 * The record steps of the job header: comparisons of a setting with a
 * condition's values (operators, signedness, sizes, types), the evaluation
 * of connectors and value lists and its errors, the record line in both
 * forms and its errors, the keyword memo (keywords, JOBATTR attribute names,
 * texts too long to keep), the three slots and their positions, and the
 * appenders under the text mode.
 */
#include "test_pjl_support.h"

namespace {

using namespace pjl_test;

/* A condition item with one value of `type` (raw little-endian bytes). */
struct Condition {
    DddSettingItem item{};
    std::vector<BYTE> bytes;
    Condition(BYTE op, WORD type, std::vector<BYTE> value, DWORD count = 1) : bytes(std::move(value))
    {
        item.op = op;
        item.value.type = type;
        item.value.data = bytes.data();
        item.value.length = count ? DWORD(bytes.size() / count) : 0;
        item.value.count = count;
    }
};

PjlSettingValue setting(WORD type, LONG size, ULONGLONG value)
{
    PjlSettingValue v{};
    v.type = type;
    v.size = size;
    plat::store<ULONGLONG>(v.slot, value);
    return v;
}

std::vector<BYTE> le16(WORD v) { return {BYTE(v), BYTE(v >> 8)}; }
std::vector<BYTE> le32(DWORD v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

TEST(PjlCompare, OperatorsTypesAndSizes)
{
    struct Case {
        const char *what;
        BYTE op;
        WORD condType;
        std::vector<BYTE> cond;
        PjlSettingValue set;
        LONG result;
    } cases[] = {
        {"equal", 1, SVT_INT16, le16(5), setting(SVT_INT16, 2, 5), 1},
        {"not equal", 2, SVT_INT16, le16(5), setting(SVT_INT16, 2, 5), 0},
        {"less, signed", 3, SVT_INT16, le16(1), setting(SVT_INT16, 2, 0xFFFF), 1},
        {"less, unsigned", 3, SVT_UINT16, le16(1), setting(SVT_UINT16, 2, 0xFFFF), 0},
        {"less or equal", 4, SVT_UINT32, le32(7), setting(SVT_UINT32, 4, 7), 1},
        {"greater, signed 32", 5, SVT_INT32, le32(0), setting(SVT_INT32, 4, 0xFFFFFFFF), 0},
        {"greater, unsigned 32", 5, SVT_UINT32, le32(0), setting(SVT_UINT32, 4, 0xFFFFFFFF), 1},
        {"greater or equal, byte", 6, SVT_BYTE, {200}, setting(SVT_BYTE, 1, 200), 1},
        {"member, signed", 3, SVT_LOGFONT_MEMBER, le32(0), setting(SVT_LOGFONT_MEMBER, 4, 0xFFFFFFFE), 1},
        {"7 compares for equality", 7, SVT_INT16, le16(3), setting(SVT_INT16, 2, 3), 1},
        {"12 compares for equality", 12, SVT_INT16, le16(3), setting(SVT_INT16, 2, 4), 0},
        {"operator 0", 0, SVT_INT16, le16(3), setting(SVT_INT16, 2, 3), PJL_ERR_OPERATOR},
        {"operator 9", 9, SVT_INT16, le16(3), setting(SVT_INT16, 2, 3), PJL_ERR_OPERATOR},
        {"operator 13", 13, SVT_INT16, le16(3), setting(SVT_INT16, 2, 3), PJL_ERR_OPERATOR},
        {"type differs", 1, SVT_UINT16, le16(3), setting(SVT_INT16, 2, 3), PJL_ERR_TYPE_MISMATCH},
        {"flag equal", 1, SVT_FLAG, le32(1), setting(SVT_FLAG, 4, 1), 1},
        {"flag not equal", 2, SVT_FLAG, le32(0), setting(SVT_FLAG, 4, 1), 1},
        {"flag less", 3, SVT_FLAG, le32(0), setting(SVT_FLAG, 4, 1), PJL_ERR_EQUALITY_ONLY},
        {"flag of two bytes", 1, SVT_FLAG, le32(1), setting(SVT_FLAG, 2, 1), PJL_ERR_SIZE},
        {"short of four bytes", 1, SVT_INT16, le16(1), setting(SVT_INT16, 4, 1), PJL_ERR_SIZE},
        {"font block", 1, SVT_LOGFONT, le32(1), setting(SVT_LOGFONT, 92, 0), PJL_ERR_VALUE_TYPE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Condition cond(c.op, c.condType, c.cond);
        EXPECT_EQ(PJL_CompareConditionValue(&cond.item, 0, &c.set), c.result);
    }
}

TEST(PjlCompare, StringsCompareForEqualityOnly)
{
    const std::u16string want = u"Draft";
    std::vector<BYTE> wantBytes((want.size() + 1) * 2);
    std::memcpy(wantBytes.data(), want.c_str(), wantBytes.size());
    /* The setting's text sits at an odd address, as string fields of the records may. */
    std::vector<BYTE> record(64, 0);
    std::memcpy(record.data() + 1, want.c_str(), wantBytes.size());
    PjlSettingValue have = setting(SVT_WSTRING, LONG(wantBytes.size()), 0);
    plat::store<const BYTE *>(have.slot, record.data() + 1);
    for (auto [op, result] : {std::pair{1, 1}, {2, 0}, {3, LONG(PJL_ERR_EQUALITY_ONLY)}}) {
        Condition cond(BYTE(op), SVT_WSTRING, wantBytes);
        EXPECT_EQ(PJL_CompareConditionValue(&cond.item, 0, &have), result) << op;
    }
    record[1] = 'X';
    Condition cond(1, SVT_WSTRING, wantBytes);
    EXPECT_EQ(PJL_CompareConditionValue(&cond.item, 0, &have), 0);
}

class PjlRecords : public PjlTest {
protected:
    /* The header of `lines` on the standard printer with entry-26 flags `flags`, capability words `caps`. */
    Built header(DWORD flags, const std::vector<mw::JobLine> &lines, DWORD caps1 = 0, Job *job = nullptr)
    {
        mw::Model m = withJobLines(flags, lines);
        m.main.entries[39] = mw::eU32s({caps1, 0});
        m.companion.entries[39] = mw::eU32s({caps1, 0});
        ReaderPair p;
        open(p, m);
        return build(p, job ? *job : job_);
    }
    /* The header's lines after the comments. */
    static std::string body(const Built &b)
    {
        size_t at = b.text.find("@PJL COMMENT TIME=");
        return at == std::string::npos ? "<" + std::to_string(b.result) + ">" : b.text.substr(b.text.find('\n', at) + 1);
    }
    void SetUp() override
    {
        PjlTest::SetUp();
        job_.plainDefaults();
    }
    Job job_;
};

mw::JobLine jobMode() { return jobLine(1, 0, {}, "@PJL JOB MODE=", "PRINTER"); }

TEST_F(PjlRecords, ConditionErrorsEndTheHeader)
{
    struct Case {
        const char *what;
        std::vector<mw::Condition> conditions;
        LONG result;
    } cases[] = {
        {"connector 0", {cond(16, 1, mw::vShort(1), 0)}, PJL_ERR_CONNECTOR},
        {"connector 7", {cond(16, 1, mw::vShort(1), 7)}, PJL_ERR_CONNECTOR},
        {"setting outside every group", {cond(0x8011, 1, mw::vShort(1), 4)}, PJL_ERR_RANGE},
        {"setting not in the table", {cond(8193, 1, mw::vShort(1), 4)}, PJL_ERR_READ},
        {"array that is not there", {cond(16, 1, mw::vArrayRef(9), 4)}, PJL_ERR_ARRAY},
        {"type differs from the setting's", {cond(16, 1, mw::vUShort(1), 4)}, PJL_ERR_TYPE_MISMATCH},
        {"operator 9", {cond(16, 9, mw::vShort(1), 4)}, PJL_ERR_OPERATOR},
        {"an empty list under an operator other than equal or not equal", {cond(16, 3, mw::vArrayRef(4), 4)},
         PJL_ERR_ARRAY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        mw::Model m = withJobLines(PJL_F26_JOBATTR, {jobMode(), jobLine(2, 0, c.conditions, "@PJL SET X=", "Y")});
        mw::Bytes mainFile, companion;
        std::string error;
        ASSERT_TRUE(mw::build(m, mainFile, companion, error, false)) << error;
        ReaderPair p;
        ASSERT_EQ(model_test::openBytes(p, mainFile, &companion), DDD_OK);
        EXPECT_EQ(build(p, job_).result, c.result);
    }
}

TEST_F(PjlRecords, ValueListsAndEmptyConditions)
{
    /* Value array 1 of the standard model holds the shorts 1 and 2; array 2 the flags 0, 1, 0. */
    struct Case {
        const char *what;
        std::vector<mw::Condition> conditions;
        bool applies;
    } cases[] = {
        {"no conditions", {}, true},
        {"in the list", {cond(7, 1, mw::vArrayRef(1), 4)}, true},
        {"not equal to every element", {cond(7, 2, mw::vArrayRef(1), 4)}, false},
        {"less than an element", {cond(7, 3, mw::vArrayRef(1), 4)}, true},
        {"greater than no element", {cond(7, 5, mw::vArrayRef(1), 4)}, false},
        {"flag list", {cond(4103, 1, mw::vArrayRef(2), 4)}, true},
        {"a condition without a value is false", {cond(16, 1, mw::vNone(SVT_INT16), 4)}, false},
        {"and inverted by 6", {cond(16, 2, mw::vNone(SVT_INT16), 6)}, true},
        {"equal to an empty list", {cond(16, 1, mw::vArrayRef(4), 4)}, false},
        {"not equal to an empty list", {cond(16, 2, mw::vArrayRef(4), 4)}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Built b = header(PJL_F26_JOBATTR, {jobMode(), jobLine(2, 0, c.conditions, "@PJL SET X=", "Y")});
        EXPECT_EQ(body(b), c.applies ? "@PJL SET X=Y\n" : "");
    }
}

TEST_F(PjlRecords, RecordLinesInBothForms)
{
    job_.setText(1831, u"Box 7");
    job_.setText(435, u"0042");
    job_.set(410, 77); /* a paper code without a device name */
    struct Case {
        const char *what;
        DWORD flags;
        mw::JobLine line;
        std::string lines;
    } cases[] = {
        {"plain, fixed value", 0, jobLine(2, 0, {}, "@PJL SET A=", "B"), "@PJL SET A=B\n"},
        {"plain, setting (fixed value ignored)", 0, jobLine(2, 12, {}, "@PJL SET COPIES=", "X"), "@PJL SET COPIES=1\n"},
        {"plain, string setting", 0, jobLine(2, 1831, {}, "@PJL SET NAME=", nullptr), "@PJL SET NAME=Box 7\n"},
        {"JOBATTR, fixed value and setting", PJL_F26_JOBATTR, jobLine(2, 12, {}, "@PJL SET JOBATTR=", "@CNT="),
         "@PJL SET JOBATTR=\"@CNT=1\"\n"},
        {"JOBATTR, string setting quoted", PJL_F26_JOBATTR, jobLine(2, 1831, {}, "@PJL SET NAME=", nullptr),
         "@PJL SET NAME=\"Box 7\"\n"},
        {"JOBATTR, 435 not quoted", PJL_F26_JOBATTR, jobLine(2, 435, {}, "@PJL SET BOX=", nullptr),
         "@PJL SET BOX=42\n"},
        {"JOBATTR, number not quoted", PJL_F26_JOBATTR, jobLine(2, 12, {}, "@PJL SET COPIES=", nullptr),
         "@PJL SET COPIES=1\n"},
        {"JOBATTR, a value that cannot be formatted leaves no line", PJL_F26_JOBATTR,
         jobLine(2, 410, {}, "@PJL SET JOBATTR=", "@PAPR="), ""},
        {"a value with nothing to write leaves no line end", 0, jobLine(2, 8201, {}, "@PJL SET JOBID=", nullptr), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(body(header(c.flags, {jobMode(), c.line})), c.lines);
    }
    /* The plain form reports what the JOBATTR form leaves out. */
    EXPECT_EQ(header(0, {jobMode(), jobLine(2, 410, {}, "@PJL SET PAPER=", nullptr)}).result, PJL_ERR_NOT_FOUND);
    EXPECT_EQ(header(0, {jobMode(), jobLine(2, 0, {}, "@PJL SET A=", nullptr)}).result, PJL_ERR_NO_VALUE);
    EXPECT_EQ(header(0, {jobMode(), jobLine(2, 0, {}, nullptr, "B")}).result, PJL_ERR_NO_COMMAND);
}

TEST_F(PjlRecords, KeywordMemoSkipsWhatTheAttributeGateRemembered)
{
    job_.set(336, 1);
    job_.setText(435, u"12");
    const std::string longCommand = "@PJL SET " + std::string(150, 'L') + "=";
    /* Attribute 0 lacks bit 0: with setting 336 at 1 such a record is skipped and remembered. */
    std::vector<mw::JobLine> attrForm{
        jobMode(),
        jobLine(2, 0, {}, "@PJL SET JOBATTR=", "\"@JOBK=SECURE\"", 0),
        jobLine(3, 0, {}, "@PJL SET JOBATTR=", "\"@JOBK=NORMAL\""),
        jobLine(4, 0, {}, "@PJL SET JOBATTR=", "\"@JOBKX=1\""),
        jobLine(5, 0, {}, "@PJL SET JOBATTR=", "\"NOEQUALS\""),
        jobLine(6, 329, {}, "@PJL SET JOBATTR=", "@PSWD=", 0),
        jobLine(7, 435, {}, "@PJL SET JOBATTR=", "@PSWD="),
        jobLine(8, 435, {}, "@PJL SET JOBATTR=", "@BOX="),
        jobLine(9, 0, {}, "@PJL SET DUPLEX=", "OFF", 0),
        jobLine(10, 0, {}, "@PJL SET DUPLEX=", "ON"),
        jobLine(11, 12, {}, longCommand.c_str(), nullptr, 0),
        jobLine(12, 12, {}, longCommand.c_str(), nullptr),
        jobLine(13, 0, {}, "@PJL JOB MODE=", "AGAIN"),
    };
    /*
     * A keyword of more than 127 characters does not fit the memo: the record after it with the same
     * keyword is written, and it has taken the job mode's place, so the second job mode goes out too.
     */
    EXPECT_EQ(body(header(PJL_F26_JOBATTR, attrForm)), "@PJL SET JOBATTR=\"@JOBKX=1\"\n"
                                                       "@PJL SET JOBATTR=\"NOEQUALS\"\n"
                                                       "@PJL SET JOBATTR=\"@BOX=12\"\n"
                                                       "@PJL SET DUPLEX=ON\n" +
                                                           longCommand + "1\n@PJL JOB MODE=AGAIN\n");
    /* The plain form compares keywords only. */
    std::vector<mw::JobLine> plain{
        jobMode(),
        jobLine(2, 0, {}, "@PJL SET K=", "1", 0),
        jobLine(3, 12, {}, "@PJL SET K=", nullptr),
        jobLine(4, 0, {}, "@PJL SET L=", "3"),
    };
    EXPECT_EQ(body(header(0, plain)), "@PJL SET L=3\n");
    /* Without the gate nothing but the job mode is remembered. */
    job_.set(336, 0);
    EXPECT_EQ(body(header(0, plain)), "@PJL SET K=1\n@PJL SET K=1\n@PJL SET L=3\n");
}

TEST_F(PjlRecords, SlotsAndTheirPositions)
{
    constexpr DWORD kBit42 = 1u << 10, kBit45 = 1u << 13, kBit55 = 1u << 23, kBit62 = 1u << 30;
    const std::vector<mw::JobLine> lines{jobMode(), jobLine(2, 0, {}, "%MARK", nullptr),
                                         jobLine(3, 0, {}, "@PJL SET END=", "1")};
    const std::string start = kUel + "@PJL JOB MODE=PRINTER\n@PJL SET STRINGCODESET=UTF8\n"
                                     "@PJL COMMENT DATE=03/07/2024\n@PJL COMMENT TIME=09:05:01\n";
    /* IWASIDE2START: capability 55, not simplex, setting 1365 on. */
    job_.set(16, 2);
    job_.set(1365, 1);
    job_.params.iwaSide2StartValue = -1;
    Built b = header(0, lines, kBit55);
    EXPECT_EQ(b.text, start + "@PJL SET IWASIDE2START=   -1\n@PJL SET END=1\n");
    EXPECT_EQ(job_.params.iwaSide2StartPosition, DWORD(start.size()));
    job_.params.iwaSide2StartPosition = 0;
    job_.set(16, 1);
    EXPECT_EQ(header(0, lines, kBit55).text, start + "@PJL SET END=1\n");
    EXPECT_EQ(job_.params.iwaSide2StartPosition, 0u);

    /* HCPN: flag 0x10000, capability 62, output bin set, collated copies. */
    job_.set(4359, 1);
    job_.set(18, 1);
    job_.set(12, 2);
    job_.params.hcpnValue = 12;
    b = header(PJL_F26_HCPN, lines, kBit62);
    EXPECT_EQ(b.text, start + "@PJL SET JOBATTR=\"@HCPN=   12\"\n@PJL SET END=1\n");
    EXPECT_EQ(job_.params.hcpnPosition, DWORD(start.size()));
    for (auto [id, value] : {std::pair<WORD, DWORD>{12, 1}, {18, 0}, {4359, 0}}) {
        SCOPED_TRACE(id);
        Job other;
        other.plainDefaults();
        other.set(4359, 1);
        other.set(18, 1);
        other.set(12, 2);
        other.set(id, value);
        EXPECT_EQ(header(PJL_F26_HCPN, lines, kBit62, &other).text, start + "@PJL SET END=1\n");
        EXPECT_EQ(other.params.hcpnPosition, 0u);
    }
    job_.set(4359, 0);

    /* Booklet: fold 2, booklet on, setting 1328 (465 = 2 with capability 45), not excluded by 42. */
    job_.set(321, 2);
    job_.set(446, 1);
    job_.set(1328, 1);
    struct Case {
        const char *what;
        DWORD flags, caps;
        WORD value;
        std::string line;
        bool position;
    } cases[] = {
        {"plain placeholder", PJL_F26_BOOKLET, 0, 0, std::string(20, ' ') + "\n", true},
        {"JOBATTR placeholder", PJL_F26_BOOKLET | PJL_F26_JOBATTR, 0, 0, std::string(38, ' ') + "\n", true},
        {"plain value", PJL_F26_BOOKLET, 0, 8, "@BKTP=8\n", false},
        {"JOBATTR value", PJL_F26_BOOKLET | PJL_F26_JOBATTR, 0, 8, "@PJL SET JOBATTR=\"@BKTP=8\"\n", false},
        {"capability 45 wants setting 465 at 2", PJL_F26_BOOKLET, kBit45, 8, "", false},
        {"flag off", 0, 0, 8, "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        job_.params.bookletValue = c.value;
        job_.params.bookletPosition = 0;
        b = header(c.flags, lines, c.caps);
        EXPECT_EQ(body(b), c.line + "@PJL SET END=1\n");
        EXPECT_EQ(job_.params.bookletPosition, c.position ? DWORD(b.text.find(c.line)) : 0u);
    }
    job_.set(465, 2);
    job_.params.bookletValue = 8;
    EXPECT_EQ(body(header(PJL_F26_BOOKLET, lines, kBit45)), "@BKTP=8\n@PJL SET END=1\n");
    /* Excluded: capability 42 and a job type whose low byte is 3. */
    job_.set(334, 3);
    EXPECT_EQ(body(header(PJL_F26_BOOKLET, lines, kBit45 | kBit42)), "@PJL SET END=1\n");
}

TEST_F(PjlRecords, AppendersFollowTheTextMode)
{
    char bytes[16] = {};
    PjlBuffer out{bytes, sizeof bytes, 0};
    PJL_SetTextMode(PJL_TEXT_UTF8);
    EXPECT_EQ(PJL_AppendText(u"\u00E9", &out), 2);
    EXPECT_EQ(PJL_AppendAnsiText("\xE9", &out), 2);
    EXPECT_EQ(std::string(bytes), "\xC3\xA9\xC3\xA9");
    PJL_SetTextMode(PJL_TEXT_ANSI);
    EXPECT_EQ(PJL_AppendText(u"\u00E9", &out), 1);
    EXPECT_EQ(PJL_AppendAnsiText("\xE9", &out), 1);
    EXPECT_EQ(std::string(bytes), "\xC3\xA9\xC3\xA9\xE9\xE9");
    EXPECT_EQ(PJL_AppendKeyValue(u"K=", u"V", &out), 3);
    EXPECT_EQ(out.length, 9u);
    /* Seven bytes left: six and the zero byte fit, seven do not, and nothing of them is written. */
    EXPECT_EQ(PJL_AppendText(u"1234567", &out), PJL_ERR_OVERFLOW);
    EXPECT_EQ(std::string(bytes), "\xC3\xA9\xC3\xA9\xE9\xE9K=V");
    EXPECT_EQ(PJL_AppendText(u"123456", &out), 6);
    EXPECT_EQ(out.length, 15u);
    EXPECT_EQ(PJL_AppendText(u"", &out), 0);
    EXPECT_EQ(PJL_AppendText(u"x", &out), PJL_ERR_OVERFLOW);
    EXPECT_EQ(bytes[15], 0);
    EXPECT_EQ(PJL_AppendText(nullptr, &out), PJL_ERR_NULL_ARGUMENT);
    PjlBuffer none{nullptr, 10, 0};
    EXPECT_EQ(PJL_AppendText(u"x", &none), PJL_ERR_NULL_BUFFER);
    EXPECT_EQ(PJL_BuildJobHeader(nullptr, nullptr, &job_.params, nullptr, 10), PJL_ERR_NULL_BUFFER);

    /* The mode starts unset, reads as ANSI and stays ANSI. */
    pjl_ResetTextModeForTest();
    EXPECT_EQ(PJL_GetTextMode(), PJL_TEXT_ANSI);
    WCHAR lf[2] = {};
    EXPECT_EQ(PJL_GetLineEnd(lf, 2), 1);
    EXPECT_EQ(lf[0], u'\n');
}

} // namespace
