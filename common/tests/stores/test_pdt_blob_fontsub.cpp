/*
 * The font substitution table (named blob 0): built from the model's
 * device fonts and compared with tables written out by hand, growing past
 * its first capacity, looked up and edited by face name, kept in the
 * printer data, and damaged tables that are refused instead of over-read.
 */
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/pdt_fontsub.h>

#include "test_prn_support.h"

using namespace prn_test;

namespace {

/* A table as its code units (with the embedded zeros), read to the end of its block. */
std::u16string units(LPCWSTR table)
{
    return std::u16string(table, GlobalSize(const_cast<WCHAR *>(table)) / sizeof(WCHAR));
}

/* The standard colour model: Courier stands in for Courier New, Helvetica for Arial and Arial Narrow. */
const std::u16string kStandard =
    std::u16string(u"Courier New\0Courier\0Arial\0Helvetica\0Arial Narrow\0Helvetica\0\0", 60);

/* A table of exactly the given code units, in a block of its own. */
LPWSTR tableOf(const std::u16string &u)
{
    LPWSTR t = static_cast<LPWSTR>(GlobalAlloc(GPTR, u.size() * sizeof(WCHAR)));
    std::copy(u.begin(), u.end(), t);
    return t;
}

mw::Model fontModel(std::vector<mw::DeviceFont> fonts)
{
    mw::Model m = model_test::emptyModel(0x1600, false);
    for (mw::DeviceFont &f : fonts)
        m.add(mw::encode(f, m.formatVersion));
    return m;
}

mw::DeviceFont font(WORD id, const std::string &name, const std::vector<std::string> &aliases)
{
    mw::DeviceFont f;
    f.id = id;
    f.name = mw::stored(name);
    for (const std::string &a : aliases)
        f.aliases.push_back(mw::stored(a));
    return f;
}

class FontSub : public StoreTest {};

TEST_F(FontSub, BuiltFromTheModelsDeviceFonts)
{
    Printer printer;
    Context context(MDL_Open(printer));
    ASSERT_NE(context.p, nullptr);
    Global<WCHAR> table;
    table.p = PDT_BuildFontSubTable(context);
    ASSERT_NE(table.p, nullptr);
    EXPECT_EQ(GlobalSize(table.p), SIZE_T(PDT_FONTSUB_INITIAL_BYTES));
    EXPECT_EQ(units(table).substr(0, kStandard.size()), kStandard);
    EXPECT_EQ(PDT_FontSubTableSize(table), DWORD(kStandard.size() * 2));

    /* A model without device fonts: the final zero alone. */
    Context bare(contextOf(model_test::emptyModel(0x1600, false)));
    Global<WCHAR> empty;
    empty.p = PDT_BuildFontSubTable(bare);
    ASSERT_NE(empty.p, nullptr);
    EXPECT_EQ(PDT_FontSubTableSize(empty), 2u);
    EXPECT_EQ(PDT_BuildFontSubTable(nullptr), nullptr);
}

TEST_F(FontSub, TheTableGrowsAsItFills)
{
    /* 60 faces of 13 characters for one font: 60 x (14 + 5) x 2 = 2,280 bytes, past the first 1,279. */
    std::vector<std::string> faces;
    std::u16string expected;
    for (int i = 0; i < 60; ++i) {
        char face[16];
        std::snprintf(face, sizeof face, "Face Number %02d", i);
        faces.push_back(face);
        expected += plat::utf8_to_utf16(face) + u'\0' + u"Mono" + u'\0';
    }
    /* And one face longer than a whole growth step. */
    std::string longFace(700, 'L');
    expected += plat::utf8_to_utf16(longFace) + u'\0' + u"Wide" + u'\0';
    expected += u'\0';
    Context context(contextOf(fontModel({font(1, "Mono", faces), font(2, "Wide", {longFace})})));
    ASSERT_NE(context.p, nullptr);
    Global<WCHAR> table;
    table.p = PDT_BuildFontSubTable(context);
    ASSERT_NE(table.p, nullptr);
    EXPECT_EQ((GlobalSize(table.p) - PDT_FONTSUB_INITIAL_BYTES) % PDT_FONTSUB_GROW_BYTES, 0u);
    EXPECT_EQ(units(table).substr(0, expected.size()), expected);
    EXPECT_EQ(PDT_FontSubTableSize(table), DWORD(expected.size() * 2));
}

TEST_F(FontSub, ADeviceFontWithoutANameFailsTheBuild)
{
    mw::DeviceFont nameless = font(2, "", {"Arial"});
    nameless.name = mw::noText();
    Context context(contextOf(fontModel({font(1, "Mono", {"Courier New"}), nameless})));
    ASSERT_NE(context.p, nullptr);
    EXPECT_EQ(PDT_BuildFontSubTable(context), nullptr);
}

TEST_F(FontSub, FindIsExactAndCaseSensitive)
{
    Global<WCHAR> table;
    table.p = tableOf(kStandard);
    struct Case {
        const char16_t *face;
        const char16_t *device;
    };
    const Case cases[] = {
        {u"Arial", u"Helvetica"}, {u"Arial Narrow", u"Helvetica"}, {u"Courier New", u"Courier"},
        {u"arial", nullptr},      {u"Arial ", nullptr},             {u"Helvetica", nullptr},
        {u"", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.face));
        LPCWSTR found = PDT_FindFontSubEntry(table, c.face);
        if (!c.device)
            EXPECT_EQ(found, nullptr);
        else
            EXPECT_EQ(found ? std::u16string(found) : u"<null>", c.device);
    }
}

TEST_F(FontSub, ReplaceGivesATableOfExactlyTheNeededSize)
{
    Global<WCHAR> table;
    table.p = tableOf(kStandard);
    struct Case {
        const char *what;
        const char16_t *face;
        const char16_t *device;
        std::u16string expected;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"replace", u"Arial", u"Univers",
         u"Courier New\0Courier\0Arial\0Univers\0Arial Narrow\0Helvetica\0\0"s},
        {"remove", u"Arial", nullptr, u"Courier New\0Courier\0Arial Narrow\0Helvetica\0\0"s},
        {"remove the first", u"Courier New", nullptr, u"Arial\0Helvetica\0Arial Narrow\0Helvetica\0\0"s},
        {"append", u"Times New Roman", u"CG Times",
         u"Courier New\0Courier\0Arial\0Helvetica\0Arial Narrow\0Helvetica\0Times New Roman\0CG Times\0\0"s},
        {"unknown face removed: a copy", u"Times New Roman", nullptr, kStandard},
        {"replace the last", u"Arial Narrow", u"X", u"Courier New\0Courier\0Arial\0Helvetica\0Arial Narrow\0X\0\0"s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Global<WCHAR> out;
        out.p = PDT_ReplaceFontSubEntry(table, c.face, c.device);
        ASSERT_NE(out.p, nullptr);
        EXPECT_EQ(units(out), c.expected);
    }
    Global<WCHAR> empty;
    empty.p = tableOf(std::u16string(1, u'\0'));
    Global<WCHAR> out;
    out.p = PDT_ReplaceFontSubEntry(empty, u"Arial", u"Helvetica");
    EXPECT_EQ(units(out), u"Arial\0Helvetica\0\0"s);
    EXPECT_EQ(PDT_ReplaceFontSubEntry(table, u"", u"X"), nullptr);
    EXPECT_EQ(PDT_ReplaceFontSubEntry(nullptr, u"Arial", u"X"), nullptr);
}

TEST_F(FontSub, DamagedTablesAreNeverReadPastTheirBlock)
{
    const std::u16string damaged[] = {
        u"Arial", /* no terminator at all */
        std::u16string(u"Arial\0Helvetica", 15), /* device name not terminated */
        std::u16string(u"Arial\0Helvetica\0", 16), /* no final zero */
    };
    for (const std::u16string &d : damaged) {
        Global<WCHAR> table;
        table.p = tableOf(d);
        EXPECT_EQ(PDT_FontSubTableSize(table), 0u);
        EXPECT_EQ(PDT_FindFontSubEntry(table, u"Courier"), nullptr);
        EXPECT_EQ(PDT_ReplaceFontSubEntry(table, u"Arial", u"X"), nullptr);
    }
    /* A pointer that is not the start of a block is no table. */
    std::u16string local = kStandard;
    EXPECT_EQ(PDT_FindFontSubEntry(local.data(), u"Arial"), nullptr);
}

TEST_F(FontSub, KeptInThePrinterData)
{
    Printer printer;
    Context context(MDL_Open(printer));
    /* Nothing stored: the model's table, not stored. */
    Global<WCHAR> table;
    table.p = PDT_GetFontSubTable(printer);
    ASSERT_NE(table.p, nullptr);
    EXPECT_EQ(units(table).substr(0, kStandard.size()), kStandard);
    bool found = true;
    printerValue(printer, u"FontSubTableSize", &found);
    EXPECT_FALSE(found);

    ASSERT_TRUE(PDT_InitFontSubTable(printer, context));
    std::vector<BYTE> size = printerValue(printer, u"FontSubTableSize");
    ASSERT_EQ(size.size(), 4u);
    EXPECT_EQ(plat::load_u32(size.data(), 0), DWORD(kStandard.size() * 2)) << "the final zero is counted";

    /* An edited table is stored and comes back; initialising again leaves it alone. */
    Global<WCHAR> edited;
    edited.p = PDT_ReplaceFontSubEntry(table, u"Arial", u"Univers");
    ASSERT_TRUE(PDT_WriteFontSubTable(printer, edited));
    ASSERT_TRUE(PDT_InitFontSubTable(printer, context));
    Global<WCHAR> back;
    back.p = PDT_GetFontSubTable(printer);
    ASSERT_NE(back.p, nullptr);
    EXPECT_EQ(units(back), units(edited));

    /* A stored table without its final zero is not used: the model's comes instead. */
    const char16_t bad[] = u"Arial\0Univers";
    ASSERT_TRUE(PDT_WriteNamedBlob(printer, reinterpret_cast<const BYTE *>(bad), 26, PDT_BLOB_FONTSUBTABLE));
    Global<WCHAR> fallback;
    fallback.p = PDT_GetFontSubTable(printer);
    ASSERT_NE(fallback.p, nullptr);
    EXPECT_EQ(units(fallback).substr(0, kStandard.size()), kStandard);
    EXPECT_FALSE(PDT_WriteFontSubTable(printer, nullptr));
}

TEST_F(FontSub, AnOrdinaryUserReadsTheTableButCannotStoreIt)
{
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    Context context(MDL_Open(user));
    EXPECT_FALSE(PDT_InitFontSubTable(user, context));
    Global<WCHAR> table;
    table.p = PDT_GetFontSubTable(user);
    ASSERT_NE(table.p, nullptr);
}

} // namespace
