// The fax cover page of copy-set jobs: the layout tables, wrapping of long
// texts (double-byte characters never split), placing, the size of the
// record stream, the record stream itself and the form-name record, each
// checked against values and bytes worked out by hand.
#include "sheet_cover.h"

#include "font_test_support.h"

#include <plat/codepage.h>
#include <plat_test/fresh_machine.h>

#include <gtest/gtest.h>

#include <tarvel/fax_layout.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using font_test::MetricsBuilder;

class SheetCover : public plat_test::FreshMachineTest {
protected:
    void SetUp() override
    {
        FreshMachineTest::SetUp();
        ASSERT_TRUE(plat::set_ansi_code_page(932));
    }
};

/* A font with widths 600, 610, 620, 630 for 'A'..'D' and 1000 for the double-byte codes 0x8140..0x817E. */
struct CoverFontBlock {
    MetricsBuilder b;
    FontMetricCursor cursor{};

    CoverFontBlock()
    {
        b.u8(30, 0x21); /* variable pitch */
        b.u16(31, 600);
        b.u8(35, 'A');
        b.u8(36, 'D');
        b.u32(79, b.text("100"));
        b.u32(63, b.words({600, 610, 620, 630}));
        DWORD t1 = b.words({1, 0x8140, 0x817E, 1000});
        DWORD t2 = b.words({0, 0, 0});
        DWORD t3 = b.words({0});
        DWORD e = b.append(std::vector<BYTE>(18));
        b.u32(6 + e + 6, t1);
        b.u32(6 + e + 10, t2);
        b.u32(6 + e + 14, t3);
        b.u32(83, e);
    }
};

std::u16string itemText(const CoverItem &item) { return std::u16string(item.text); }

TEST_F(SheetCover, TablesEndWithKindElevenAndSecondVariantsDropTwoRecipientRows)
{
    const struct {
        int table;
        LONG variant;
        int rows;
        SHORT firstString;
    } cases[] = {
        {COVER_TITLE, 0, 2, 1774},     {COVER_TITLE, 1, 2, 1775},   {COVER_RECIPIENT, 0, 7, 1776},
        {COVER_RECIPIENT, 5, 5, 1777}, {COVER_SENDER, 0, 7, 1780},  {COVER_SENDER, 1, 7, 1781},
        {COVER_MESSAGE, 0, 4, 1786},   {COVER_MESSAGE, 1, 4, 1787},
    };
    for (const auto &c : cases) {
        const CoverRow *rows = SDB_CoverTable(c.table, c.variant);
        ASSERT_NE(rows, nullptr);
        int n = 0;
        while (rows[n].kind != COVER_KIND_END)
            n++;
        EXPECT_EQ(n, c.rows) << c.table << " " << c.variant;
        EXPECT_EQ(rows[0].stringId, c.firstString);
    }
    EXPECT_EQ(SDB_CoverTable(COVER_TABLE_COUNT, 0), nullptr);
    EXPECT_EQ(SDB_CoverTable(COVER_TITLE, 1)[1].x, 1715);
}

TEST_F(SheetCover, WrapsDoubleByteTextWithoutSplittingACharacter)
{
    /* Recipient row kind 4: size 90, x 680, y 762, 40 bytes a line, 2 lines, 40 apart.  39 letters and
       then U+3001 (0x81 0x41): the double-byte character would make 41 bytes, so it opens line 2. */
    const CoverRow &row = SDB_CoverTable(COVER_RECIPIENT, 0)[3];
    ASSERT_EQ(row.kind, 4);
    std::u16string text(39, u'A');
    text += u"\u3001BC";
    CoverItems items{};
    ASSERT_EQ(SDB_PlaceItem(row, text.c_str(), &items), 0);
    ASSERT_EQ(items.count, 2);
    EXPECT_EQ(itemText(items.item[0]), std::u16string(39, u'A'));
    EXPECT_EQ(itemText(items.item[1]), u"\u3001BC");
    EXPECT_EQ(items.item[0].x, 680);
    EXPECT_EQ(items.item[0].y, 762);
    EXPECT_EQ(items.item[1].x, 680);
    EXPECT_EQ(items.item[1].y, 802);
    EXPECT_EQ(items.item[1].size, 90);
    EXPECT_EQ(items.item[1].font, 1);
}

TEST_F(SheetCover, CrLfEndsALineAndTheRowsLinesCapTheText)
{
    /* The message row: 16 lines at most, 49 apart; 20 lines given. */
    const CoverRow &row = SDB_CoverTable(COVER_MESSAGE, 0)[3];
    std::u16string text;
    for (int i = 0; i < 20; i++)
        text += u"line\r\n";
    CoverItems items{};
    ASSERT_EQ(SDB_PlaceItem(row, text.c_str(), &items), 0);
    ASSERT_EQ(items.count, 16);
    EXPECT_EQ(itemText(items.item[15]), u"line");
    EXPECT_EQ(items.item[15].y, 1744 + 15 * 49);
}

TEST_F(SheetCover, RightAlignedBaselineAndLongAddressPositions)
{
    CoverItems items{};
    /* Title kind 1, right-aligned at 1750, size 100: 4 bytes are 2 em of 10 / 72 inch:
       floor(10 * 25.4 / 72 * 2 * 10) = floor(70.55) = 70. */
    ASSERT_EQ(SDB_PlaceItem(SDB_CoverTable(COVER_TITLE, 0)[0], u"FAX:", &items), 0);
    EXPECT_EQ(items.item[0].x, 1680);
    /* Baseline mode 2 at size 100: y - floor(10 * 25.4 / 72 * 0.86 * 10) = y - 30. */
    const CoverRow baseline = {1, 0, 2, 0, 2, 100, 100, 500, 0, 1, 0};
    ASSERT_EQ(SDB_PlaceItem(baseline, u"x", &items), 0);
    EXPECT_EQ(items.item[1].y, 470);
    EXPECT_EQ(items.item[1].font, 2);
    /* Kind 8, size 120: 60 bytes set at floor(107 / 60 * 2 / 0.35277 * 10) = 101; 40 bytes keep 120. */
    const CoverRow &address = SDB_CoverTable(COVER_RECIPIENT, 0)[6];
    ASSERT_EQ(SDB_PlaceItem(address, std::u16string(60, u'9').c_str(), &items), 0);
    EXPECT_EQ(items.item[2].size, 101);
    ASSERT_EQ(SDB_PlaceItem(address, std::u16string(40, u'9').c_str(), &items), 0);
    EXPECT_EQ(items.item[3].size, 120);
    /* An empty text places nothing. */
    ASSERT_EQ(SDB_PlaceItem(address, u"", &items), 0);
    EXPECT_EQ(items.count, 4);
}

TEST_F(SheetCover, FortyItemsFitAndTheFortyFirstIsRefused)
{
    const CoverRow row = {2, 0, 1, 0, 0, 100, 0, 0, 40, 1, 0};
    CoverItems items{};
    for (int i = 0; i < COVER_MAX_ITEMS; i++)
        ASSERT_EQ(SDB_PlaceItem(row, u"a", &items), 0);
    EXPECT_EQ(SDB_PlaceItem(row, u"a", &items), -1);
    EXPECT_EQ(items.count, COVER_MAX_ITEMS);
}

TEST_F(SheetCover, RecordStreamOfAWrappedDoubleByteCover)
{
    /* A row of 4 bytes a line, 2 lines, 127 apart, at (254, 508), size 90: "ABC", U+3001, "D" wraps
       into "ABC" (the double-byte character would make 5 bytes) and U+3001 "D". */
    const CoverRow row = {4, 0, 1, 0, 0, 90, 254, 508, 4, 2, 127};
    CoverItems items{};
    ASSERT_EQ(SDB_PlaceItem(row, u"ABC\u3001D", &items), 0);
    ASSERT_EQ(items.count, 2);
    /* 19 + (4 + 26 + 5 * 3 + 15) + (5 * 3 + 15) */
    EXPECT_EQ(SDB_CoverSize(items), 109u);

    CoverFontBlock font;
    ASSERT_EQ(FNT_OpenMetricTable(font.b.from6(), &font.cursor, font.b.limit()), 0);
    const CoverFont fonts[2] = {{0x0100, &font.cursor}, {0x0200, nullptr}};
    std::vector<BYTE> out(SDB_CoverSize(items));
    LONG n = SDB_BuildCover(items, fonts, 600, 600, out.data(), DWORD(out.size()));
    /* At 600 dpi and 9 pt: matrix 600 * 90 / 720 = 75; a width w is w * 90 / 1000 * 600 / 72 / 10 =
       0.075 w pixels (A 45, B 45.75, C 46.5, U+3001 75, D 47.25); 254 / 508 / 635 tenths of a millimetre
       are 600 / 1200 / 1500 pixels. */
    const std::vector<BYTE> expected = {
        'A', 'R', 'A', 'K', 2, 'A', 'L', 1, 0, 0, 0, 0x0D,       /* head */
        'A', 'M', 2, 4, 0, 0, 0,                                 /* the form record */
        'D', 'A', 0x01, 0x02,                                    /* font 0x100 with bit 1 */
        'D', 'b', 0x42, 0x96, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      /* 75, 0, 0 */
        0xC2, 0x96, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                /* -75, 0, 0 */
        'D', 'd', 0x44, 0x16, 0, 0, 0x44, 0x96, 0, 0, 2, 0, 3,  /* (600, 1200), 3 characters */
        0x42, 0x34, 0, 0, 0x42, 0x37, 0, 0, 0x42, 0x3A, 0, 0,    /* 45, 45.75, 46.5 */
        0, 3, 'A', 'B', 'C',                                     /* 3 bytes */
        'D', 'd', 0x44, 0x16, 0, 0, 0x44, 0xBB, 0x80, 0, 2, 0, 2, /* (600, 1500), 2 characters */
        0x42, 0x96, 0, 0, 0x42, 0x3D, 0, 0,                      /* 75, 47.25 */
        0, 3, 0x81, 0x41, 'D',                                   /* 3 bytes */
    };
    ASSERT_EQ(n, LONG(expected.size()));
    out.resize(size_t(n));
    EXPECT_EQ(out, expected);
}

TEST_F(SheetCover, AMissingWidthFontOrRoomFailsTheCover)
{
    CoverFontBlock font;
    ASSERT_EQ(FNT_OpenMetricTable(font.b.from6(), &font.cursor, font.b.limit()), 0);
    const CoverFont fonts[2] = {{0x0100, &font.cursor}, {0x0200, nullptr}};
    const CoverRow row1 = {2, 0, 1, 0, 0, 90, 0, 0, 40, 1, 0};
    const CoverRow row2 = {2, 0, 2, 0, 0, 90, 0, 0, 40, 1, 0};
    BYTE out[256];
    CoverItems missingChar{};
    ASSERT_EQ(SDB_PlaceItem(row1, u"AZ", &missingChar), 0);
    EXPECT_EQ(SDB_BuildCover(missingChar, fonts, 600, 600, out, sizeof out), -1);
    CoverItems missingFont{};
    ASSERT_EQ(SDB_PlaceItem(row2, u"A", &missingFont), 0);
    EXPECT_EQ(SDB_BuildCover(missingFont, fonts, 600, 600, out, sizeof out), -1);
    CoverItems fine{};
    ASSERT_EQ(SDB_PlaceItem(row1, u"AB", &fine), 0);
    EXPECT_EQ(SDB_BuildCover(fine, fonts, 600, 600, out, SDB_CoverSize(fine) - 1), -1);
    EXPECT_GT(SDB_BuildCover(fine, fonts, 600, 600, out, sizeof out), 0);
}

/* Resource strings 1770..1789 as the loader answers them: "S" and the id. */
bool loadString(void *, UINT id, char16_t *out, int capacity)
{
    std::u16string text = u"S";
    for (char c : std::to_string(id))
        text += char16_t(c);
    if (int(text.size()) >= capacity)
        return false;
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return true;
}

void storeText(std::vector<BYTE> &d, DWORD at, const std::u16string &text)
{
    for (size_t i = 0; i < text.size(); i++) {
        d[at + 2 * i] = BYTE(text[i]);
        d[at + 2 * i + 1] = BYTE(text[i] >> 8);
    }
}

TEST_F(SheetCover, ItemsOfACoverByTableAndKind)
{
    std::vector<BYTE> d(FAX_ENTRY_SIZE + FAX_HEADER_TEXT1_SIZE + FAX_HEADER_TEXT2_SIZE, 0);
    storeText(d, FAX_E_TEXT_1797, u"Tanaka");
    storeText(d, FAX_E_TEXT_1798, std::u16string(39, u'B') + u"\u3001C");
    storeText(d, FAX_E_ADDRESS, u"0312345");
    d[FAX_E_PREFIX_SELECT] = 2;
    storeText(d, FAX_ENTRY_SIZE, u"Report");
    storeText(d, FAX_ENTRY_SIZE + FAX_HEADER_TEXT1_SIZE, u"one\r\ntwo");
    CoverSettings s{};
    std::u16string(u"Urgent").copy(s.title, 6);
    s.recipientMark = 2;
    s.dialPrefix = 1;
    std::u16string(u"Sato").copy(s.sender, 4);
    const CoverDialling dialling = {u"9,", u"0,"};
    CoverItems items{};
    ASSERT_EQ(SDB_BuildItems(d.data(), s, dialling, loadString, nullptr, &items), 0);
    /* title: 2; recipient: S1776, Tanaka, S1771, 2 lines, (no mark 1808), S1778, address;
       sender: S1780, Sato, S1782, S1784; message: S1786, Report, S1788, 2 lines */
    const std::u16string expected[] = {u"S1774", u"Urgent", u"S1776", u"Tanaka", u"S1771",
                                       std::u16string(39, u'B'), u"\u3001C", u"S1778", u"9,0312345",
                                       u"S1780", u"Sato", u"S1782", u"S1784", u"S1786", u"Report",
                                       u"S1788", u"one", u"two"};
    ASSERT_EQ(items.count, int(std::size(expected)));
    for (int i = 0; i < items.count; i++)
        EXPECT_EQ(itemText(items.item[i]), expected[i]) << i;
    /* The title's right-aligned 5-byte resource text at size 100: 1750 - floor(3.5277 * 2.5 * 10) = 1662. */
    EXPECT_EQ(items.item[0].x, 1662);
    EXPECT_EQ(items.item[6].y, 802);
    EXPECT_EQ(items.item[17].y, 1744 + 49);

    /* The same text for all sets (setting 379 = 1) keeps only the recipient setting's text; a quoted
       address (kind 1) drops the address rows. */
    s.sameForAll = 1;
    std::u16string(u"All").copy(s.recipient, 3);
    ASSERT_EQ(SDB_BuildItems(d.data(), s, dialling, loadString, nullptr, &items), 0);
    EXPECT_EQ(items.count, 2 + 2 + 4 + 5);
    EXPECT_EQ(itemText(items.item[3]), u"All");
    s.sameForAll = 0;
    d[FAX_E_ADDRESS_KIND] = 1;
    ASSERT_EQ(SDB_BuildItems(d.data(), s, dialling, loadString, nullptr, &items), 0);
    EXPECT_EQ(items.count, int(std::size(expected)) - 2);
}

TEST_F(SheetCover, FormNameRecord)
{
    BYTE out[400];
    /* "Eg", length 4, "Memo", {1, 0, 0, 1, 0, 0}, 0: 4 + 29 bytes */
    const std::vector<BYTE> expected = {'E', 'g', 0, 4, 'M', 'e', 'm', 'o', 0x3F, 0x80, 0, 0, 0, 0, 0, 0,
                                        0,   0,   0, 0, 0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(SDB_BuildFormNameRecord(u"C:\\Forms\\old.d\\Memo.frm", out, sizeof out), 33);
    EXPECT_EQ(std::vector<BYTE>(out, out + 33), expected);
    EXPECT_EQ(SDB_BuildFormNameRecord(u"\\\\server\\share\\Memo", out, sizeof out), 33);
    EXPECT_EQ(SDB_BuildFormNameRecord(u"C:\\Forms\\", out, sizeof out), 0);
    EXPECT_EQ(SDB_BuildFormNameRecord(u"", out, sizeof out), 0);
    /* 300 double-byte characters keep 127 of them (254 bytes), never half of one */
    std::u16string longName(300, u'\u3001');
    ASSERT_EQ(SDB_BuildFormNameRecord(longName.c_str(), out, sizeof out), 254 + 29);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 254);
    EXPECT_EQ(SDB_BuildFormNameRecord(u"Memo", out, 32), -1);
}

} // namespace
