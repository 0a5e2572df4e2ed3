/*
 * Tests of the destination line, byte for byte, as a table: the address in
 * quotes or behind the selected prefix, the attribute pieces (2 and 3 are
 * always written, also for address kind 1, as the line's rules say), the
 * 1816 list conversion, the scrambled form (expected Base64 worked out by
 * hand with the key A7 C5 9E B3), the JOBATTR form, the limits of N and T,
 * the capacity, and the length answered without a buffer.
 */
#include <tarvel/fax_layout.h>
#include <tarvel/stores/fax_line.h>

#include "test_res_support.h"

#include <string>
#include <vector>

namespace {

/* An entry built field by field. */
struct Entry {
    std::vector<BYTE> bytes = std::vector<BYTE>(FAX_ENTRY_SIZE, 0);
    Entry &word(DWORD offset, WORD v)
    {
        plat::store<WORD>(bytes.data() + offset, v);
        return *this;
    }
    /* Writes `text` at `offset`, with its terminator when `terminate`. */
    Entry &text(DWORD offset, const std::u16string &t, bool terminate = true)
    {
        for (size_t i = 0; i < t.size(); ++i)
            plat::store<WCHAR>(bytes.data() + offset + 2 * i, t[i]);
        if (terminate)
            plat::store<WCHAR>(bytes.data() + offset + 2 * t.size(), 0);
        return *this;
    }
};

FaxDialling dialling()
{
    FaxDialling d{};
    d.firstPrefix[0] = u'0';
    d.firstFlag = 1;
    d.secondPrefix[0] = u'9';
    d.secondPrefix[1] = u'9';
    d.secondFlag = 0;
    d.thirdFlag = 1;
    return d;
}

struct Case {
    const char *what;
    int kind;
    BOOL jobAttr;
    Entry entry;
    std::string line; /* empty: the line fails */
    LONG length;      /* out length (on failure: -1 or 0) */
};

class FaxLine : public res_test::MachineTest {};

TEST_F(FaxLine, LinesAsTheirRulesGive)
{
    const std::u16string digits120(120, u'5');
    const std::string line128 = "@FANU=" + std::string(120, '5') + "{21}{30}\r\n";
    const Case cases[] = {
        {"address kind 1: quoted, no prefix; pieces 2 and 3 still written, the flag by 1796", 1, FALSE,
         Entry().word(FAX_E_ADDRESS_KIND, 1).word(FAX_E_PREFIX_SELECT, 2).text(FAX_E_ADDRESS, u"12345"),
         "@FANU='12345'{21}{30}\r\n", 23},
        {"first prefix and flag by 1796 = 2", 1, FALSE,
         Entry().word(FAX_E_PREFIX_SELECT, 2).word(FAX_E_ATTR3, 1).text(FAX_E_ADDRESS, u"0312345678"),
         "@FANU=00312345678{21}{32}\r\n", 27},
        {"second prefix and flag by 1796 = 1", 1, FALSE,
         Entry().word(FAX_E_PREFIX_SELECT, 1).word(FAX_E_ATTR3, 2).text(FAX_E_ADDRESS, u"123"),
         "@FANU=99123{20}{34}\r\n", 21},
        {"no prefix, the third flag, for any other 1796", 1, FALSE,
         Entry().word(FAX_E_PREFIX_SELECT, 7).text(FAX_E_ADDRESS, u"123"), "@FANU=123{21}{30}\r\n", 19},
        {"piece 1 with its list", 1, FALSE,
         Entry()
             .word(FAX_E_PREFIX_SELECT, 1)
             .word(FAX_E_ATTR_SELECT, 2)
             .word(FAX_E_ATTR1_NUMBER, 12)
             .word(FAX_E_ATTR1_FLAG, 1)
             .text(FAX_E_ATTR1_LIST, u"1,23,")
             .text(FAX_E_ADDRESS, u"42"),
         "@FANU=9942{10012100010023}{20}{30}\r\n", 36},
        {"piece 1 flag other than 1 is 0", 1, FALSE,
         Entry().word(FAX_E_ATTR_SELECT, 2).word(FAX_E_ATTR1_NUMBER, 3).word(FAX_E_ATTR1_FLAG, 2).text(
             FAX_E_ADDRESS, u"1"),
         "@FANU=1{100030}{21}{30}\r\n", 25},
        {"piece 4 with its text", 1, FALSE,
         Entry().word(FAX_E_ATTR_SELECT, 1).word(FAX_E_ATTR4_NUMBER, 7).text(FAX_E_ATTR4_TEXT, u"AB12").text(
             FAX_E_ADDRESS, u"1"),
         "@FANU=1{40007AB12}{21}{30}\r\n", 28},
        {"piece 4 without text", 1, FALSE,
         Entry().word(FAX_E_ATTR_SELECT, 1).word(FAX_E_ATTR4_NUMBER, 12345).text(FAX_E_ADDRESS, u"1"),
         "@FANU=1{412345}{21}{30}\r\n", 25},
        {"pieces 5 and 6", 1, FALSE,
         Entry().text(FAX_E_ADDRESS, u"1").text(FAX_E_ATTR5_TEXT, u"Mr Sato").text(FAX_E_ATTR6_TEXT, u"Sato"),
         "@FANU=1{21}{30}{5Mr Sato}{6Sato}\r\n", 34},
        {"kind 2 scrambles the texts of 1813 and 1818, not 1817", 2, FALSE,
         Entry()
             .word(FAX_E_ATTR_SELECT, 1)
             .word(FAX_E_ATTR4_NUMBER, 7)
             .text(FAX_E_ATTR4_TEXT, u"AB12")
             .text(FAX_E_ADDRESS, u"1")
             .text(FAX_E_ATTR5_TEXT, u"Sato")
             .text(FAX_E_ATTR6_TEXT, u"Sato"),
         "@FAEN=1{400075oevgQ==}{21}{30}{5Sato}{69KTq3A==}\r\n", 50},
        {"JOBATTR form", 1, TRUE, Entry().word(FAX_E_ADDRESS_KIND, 1).text(FAX_E_ADDRESS, u"12345"),
         "@PJL SET JOBATTR=\"@FANU='12345'{21}{30}\"\r\n", 42},
        {"N at 128", 1, FALSE, Entry().word(FAX_E_PREFIX_SELECT, 7).text(FAX_E_ADDRESS, digits120),
         line128, LONG(line128.size())},
        {"field 1810 = 3", 1, FALSE, Entry().word(FAX_E_ATTR3, 3).text(FAX_E_ADDRESS, u"1"), "", 0},
        {"a list field of three characters", 1, FALSE,
         Entry().word(FAX_E_ATTR_SELECT, 2).text(FAX_E_ATTR1_LIST, u"123").text(FAX_E_ADDRESS, u"1"), "", -1},
        {"an empty list field before the last", 1, FALSE,
         Entry().word(FAX_E_ATTR_SELECT, 2).text(FAX_E_ATTR1_LIST, u"1,,2").text(FAX_E_ADDRESS, u"1"), "", -1},
        {"N above 128", 1, FALSE, Entry().text(FAX_E_ADDRESS, digits120 + u"5"), "", -1},
        {"a quoted address of 128 characters", 1, FALSE,
         Entry().word(FAX_E_ADDRESS_KIND, 1).text(FAX_E_ADDRESS, std::u16string(128, u'7')), "", -1},
        {"T above 46", 1, FALSE,
         Entry()
             .text(FAX_E_ADDRESS, u"1")
             .text(FAX_E_ATTR5_TEXT, std::u16string(20, u'a'))
             .text(FAX_E_ATTR6_TEXT, std::u16string(21, u'b'), false),
         "", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string &expected = c.line;
        const LONG expectedLength = c.length;
        const FaxDialling d = dialling();
        std::vector<char> out(FAX_LINE_CAPACITY, '#');
        LONG length = 12345;
        BOOL ok = FAX_WriteFaxEntryAttrs(c.kind, c.entry.bytes.data(), &d, FAX_LINE_CAPACITY, c.jobAttr, 0,
                                         out.data(), &length);
        EXPECT_EQ(ok, expected.empty() ? FALSE : TRUE);
        EXPECT_EQ(length, expectedLength);
        if (!expected.empty()) {
            EXPECT_EQ(std::string(out.data(), size_t(length)), expected);
            EXPECT_EQ(out[size_t(length)], 0) << "terminated when a byte is left";
        }
    }
}

TEST_F(FaxLine, TwoFullTextsStayWithinTWhenScrambled)
{
    Entry e;
    e.text(FAX_E_ADDRESS, u"1").text(FAX_E_ATTR5_TEXT, std::u16string(20, u'a')).text(FAX_E_ATTR6_TEXT,
                                                                                        std::u16string(20, u'b'));
    const FaxDialling d = dialling();
    std::vector<char> out(FAX_LINE_CAPACITY);
    LONG length = 0;
    ASSERT_TRUE(FAX_WriteFaxEntryAttrs(FAX_DEST_SCRAMBLED, e.bytes.data(), &d, FAX_LINE_CAPACITY, FALSE, 0,
                                       out.data(), &length))
        << "T counts the plain length: 23 + 23 = 46";
    EXPECT_GT(length, LONG(6 + 1 + 8 + 23 + 23 + 2)) << "the scrambled text is longer than the plain one";
}

TEST_F(FaxLine, WithoutABufferTheAnswerIsN)
{
    Entry e;
    e.word(FAX_E_ATTR_SELECT, 1).word(FAX_E_ATTR4_NUMBER, 7).text(FAX_E_ATTR4_TEXT, u"AB12").text(FAX_E_ADDRESS,
                                                                                                    u"12345");
    e.text(FAX_E_ATTR5_TEXT, u"Sato");
    const FaxDialling d = dialling();
    LONG n = 0;
    ASSERT_TRUE(FAX_WriteFaxEntryAttrs(FAX_DEST_SCRAMBLED, e.bytes.data(), &d, FAX_LINE_CAPACITY, TRUE, 0, nullptr,
                                       &n));
    EXPECT_EQ(n, 5 + 11 + 4 + 4) << "address, {40007AB12} at its plain length, {21}, {30}; T not counted";
}

TEST_F(FaxLine, CapacityIsTheWholeLine)
{
    Entry e;
    e.word(FAX_E_ADDRESS_KIND, 1).text(FAX_E_ADDRESS, u"12345");
    const FaxDialling d = dialling();
    const std::string line = "@PJL SET JOBATTR=\"@FANU='12345'{21}{30}\"\r\n";
    std::vector<char> out(line.size(), '#');
    LONG length = 0;
    ASSERT_TRUE(FAX_WriteFaxEntryAttrs(1, e.bytes.data(), &d, DWORD(line.size()), TRUE, 0, out.data(), &length));
    EXPECT_EQ(std::string(out.data(), out.size()), line) << "exactly full: no terminator";
    length = 5;
    EXPECT_FALSE(FAX_WriteFaxEntryAttrs(1, e.bytes.data(), &d, DWORD(line.size() - 1), TRUE, 0, out.data(),
                                        &length));
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(FAX_WriteFaxEntryAttrs(1, nullptr, &d, 512, TRUE, 0, out.data(), &length));
    EXPECT_FALSE(FAX_WriteFaxEntryAttrs(1, e.bytes.data(), nullptr, 512, TRUE, 0, out.data(), &length));
}

TEST_F(FaxLine, ListConversion)
{
    struct Row {
        const char16_t *list;
        const char16_t *result; /* null: refused */
    };
    const Row rows[] = {
        {u"1,23,", u"00010023"},
        {u"7", u"0007"},
        {u"12", u"0012"},
        {u"", u""},
        {u",", nullptr},
        {u"123", nullptr},
        {u"1,,2", nullptr},
        {u"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20", u"00010002000300040005000600070008000900100011"
                                                             u"001200130014001500160017001800190020"},
        {u"1,2,3,4,5,6,7,8,9,1,2,3,4,5,6,7,8,9,1,2,3", nullptr}, /* 21 fields: 84 characters */
    };
    for (const Row &row : rows) {
        WCHAR out[81];
        BOOL ok = FAX_ConvertAttr1List(row.list, out);
        EXPECT_EQ(ok, row.result ? TRUE : FALSE) << plat::utf16_to_utf8(row.list);
        if (row.result && ok) {
            EXPECT_EQ(std::u16string(out), row.result);
        }
    }
}

} // namespace
