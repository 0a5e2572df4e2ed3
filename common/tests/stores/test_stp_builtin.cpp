/*
 * Tests of the built-in stamp definitions: the records and fonts they give
 * with the resource module's strings, the "Undefined" and 0 fall-backs when
 * the module is missing, the exact name test and the multi-string listing.
 * Expected values are the definitions' table and resources/stamps.trc.
 */
#include "test_res_support.h"

#include <tarvel/stores/stp_builtin.h>

#include <array>
#include <string>
#include <vector>

namespace {

using res_test::u8;

class StampBuiltIn : public res_test::MachineTest {};

std::u16string text_at(const BYTE *record, DWORD offset, DWORD chars)
{
    std::u16string s;
    for (DWORD i = 0; i < chars; ++i) {
        WCHAR c = plat::load<WCHAR>(record + offset + 2 * i);
        if (c == 0)
            break;
        s.push_back(c);
    }
    return s;
}

struct ExpectedFont {
    LONG height, escapement, orientation, weight;
    const char16_t *face;
};

void expect_font(const BYTE *f, const ExpectedFont &e, const std::string &what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_HEIGHT), e.height);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_WIDTH), 0);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_ESCAPEMENT), e.escapement);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_ORIENTATION), e.orientation);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_WEIGHT), e.weight);
    EXPECT_EQ(f[STP_LF_ITALIC], 0);
    EXPECT_EQ(f[STP_LF_UNDERLINE], 0);
    EXPECT_EQ(f[STP_LF_STRIKEOUT], 0);
    EXPECT_EQ(f[STP_LF_CHARSET], 1) << "string 1790";
    EXPECT_EQ(f[STP_LF_OUTPRECISION], 0);
    EXPECT_EQ(f[STP_LF_CLIPPRECISION], 0);
    EXPECT_EQ(f[STP_LF_QUALITY], 2);
    EXPECT_EQ(f[STP_LF_PITCHANDFAMILY], 0);
    EXPECT_EQ(text_at(f, STP_LF_FACENAME, STP_LF_FACE_CHARS), e.face);
}

TEST_F(StampBuiltIn, DefaultFontComesFromItsStrings)
{
    initModule();
    std::array<BYTE, STP_FONT_SIZE> font{};
    font.fill(0xEE);
    ASSERT_TRUE(STP_GetDefaultFont(font.data()));
    expect_font(font.data(), {-72, 0, 0, 400, u"Arial"}, "default font");
    for (DWORD i = STP_LF_FACENAME + 2 * 5; i < STP_FONT_SIZE; ++i)
        EXPECT_EQ(font[i], 0) << "face name tail " << i;
    EXPECT_FALSE(STP_GetDefaultFont(nullptr));
}

TEST_F(StampBuiltIn, EveryStampRecordAsDefined)
{
    initModule();
    struct Row {
        const StampDefinition *def;
        const char16_t *name, *text;
        DWORD v200, v204;
        WORD v208, v210;
        ExpectedFont font;
    };
    const Row rows[] = {
        {&StpDefaultStamp, u"Sample", u"SAMPLE", 1, 1, 0, 0x0202, {-72, 450, 450, 700, u"Arial"}},
        {&StpBuiltInStamps[0], u"Confidential", u"CONFIDENTIAL", 1, 1, 2, 0x0202, {-72, 450, 450, 0, u"Arial"}},
        {&StpBuiltInStamps[1], u"Draft", u"DRAFT", 1, 0, 1, 0x0301, {-48, 0, 0, 700, u"Arial"}},
        {&StpBuiltInStamps[2], u"Copy", u"COPY", 1, 0, 1, 0x0301, {-48, 0, 0, 700, u"Arial"}},
        {&StpBuiltInStamps[3], u"Urgent", u"URGENT", 1, 0, 1, 0x0301, {-48, 0, 0, 700, u"Arial"}},
        {&StpBuiltInStamps[4], u"Approved", u"APPROVED", 1, 1, 0, 0x0202, {-72, 450, 450, 0, u"Arial"}},
        {&StpBuiltInStamps[5], u"Do Not Copy", u"DO NOT COPY", 1, 1, 0, 0x0202, {-72, 450, 450, 0, u"Arial"}},
    };
    for (const Row &r : rows) {
        const std::string what = u8(r.name);
        std::vector<BYTE> rec(STP_RECORD_SIZE, 0xEE);
        ASSERT_TRUE(STP_LoadBuiltInStamp(rec.data(), r.def)) << what;
        EXPECT_EQ(text_at(rec.data(), STP_OFF_NAME, STP_NAME_CHARS + 1), r.name);
        EXPECT_EQ(text_at(rec.data(), STP_OFF_TEXT, STP_TEXT_CHARS + 1), r.text);
        EXPECT_EQ(plat::load<DWORD>(&rec[STP_OFF_COLOR]), 0x33FFu) << what;
        EXPECT_EQ(plat::load<DWORD>(&rec[STP_OFF_300]), r.v200) << what;
        EXPECT_EQ(plat::load<DWORD>(&rec[STP_OFF_1287]), r.v204) << what;
        EXPECT_EQ(plat::load<WORD>(&rec[STP_OFF_302]), r.v208) << what;
        EXPECT_EQ(plat::load<WORD>(&rec[STP_OFF_303]), r.v210) << what;
        EXPECT_EQ(plat::load<DWORD>(&rec[STP_OFF_1288]), 0u) << what;
        expect_font(&rec[STP_OFF_FONT], r.font, what);
        EXPECT_EQ(plat::load<WORD>(&rec[STP_OFF_NUMBER]), 1000) << what;
        EXPECT_EQ(plat::load<WORD>(&rec[STP_OFF_USER_FLAG]), 0) << what;
        for (DWORD i = 312; i < STP_RECORD_SIZE; ++i)
            ASSERT_EQ(rec[i], 0) << what << " byte " << i;
    }
    EXPECT_FALSE(STP_LoadBuiltInStamp(nullptr, &StpDefaultStamp));
    std::vector<BYTE> rec(STP_RECORD_SIZE);
    EXPECT_FALSE(STP_LoadBuiltInStamp(rec.data(), nullptr));
}

TEST_F(StampBuiltIn, MissingResourceModuleGivesUndefinedAndZero)
{
    /* No RES_InitModulePaths: the resource module cannot be had. */
    std::vector<BYTE> rec(STP_RECORD_SIZE);
    ASSERT_TRUE(STP_LoadBuiltInStamp(rec.data(), &StpBuiltInStamps[1]));
    EXPECT_EQ(text_at(rec.data(), STP_OFF_NAME, STP_NAME_CHARS + 1), u"Undefined");
    EXPECT_EQ(text_at(rec.data(), STP_OFF_TEXT, STP_TEXT_CHARS + 1), u"Undefined");
    const BYTE *f = &rec[STP_OFF_FONT];
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_HEIGHT), 0);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_ESCAPEMENT), 0);
    EXPECT_EQ(plat::load<LONG>(f + STP_LF_WEIGHT), 700) << "numbers of the definition stay";
    EXPECT_EQ(f[STP_LF_CHARSET], 0);
    EXPECT_EQ(text_at(f, STP_LF_FACENAME, STP_LF_FACE_CHARS), u"Undefined");
    EXPECT_TRUE(STP_IsBuiltInName(u"Undefined"));
    EXPECT_FALSE(STP_IsBuiltInName(u"Draft"));
}

TEST_F(StampBuiltIn, BuiltInNamesCompareExactly)
{
    initModule();
    EXPECT_TRUE(STP_IsBuiltInName(u"Draft"));
    EXPECT_TRUE(STP_IsBuiltInName(u"Do Not Copy"));
    EXPECT_FALSE(STP_IsBuiltInName(u"draft"));
    EXPECT_FALSE(STP_IsBuiltInName(u"Draft "));
    EXPECT_FALSE(STP_IsBuiltInName(u"Sample")) << "the default stamp is not one of the six";
    EXPECT_FALSE(STP_IsBuiltInName(u""));
    EXPECT_FALSE(STP_IsBuiltInName(nullptr));
}

TEST_F(StampBuiltIn, ListBuiltInNamesAsMultiString)
{
    initModule();
    /* 13 + 6 + 5 + 7 + 9 + 12 characters with their NULs, and the closing NUL. */
    const DWORD needed = 53 * 2;
    DWORD size = 0, count = 0;
    EXPECT_EQ(STP_ListBuiltInNames(nullptr, nullptr, &size), 1);
    EXPECT_EQ(size, needed);

    size = 0;
    EXPECT_EQ(STP_ListBuiltInNames(nullptr, &count, &size), 12);
    EXPECT_EQ(size, needed);

    std::vector<WCHAR> buf(needed / 2, 0xAAAA);
    size = needed - 2;
    EXPECT_EQ(STP_ListBuiltInNames(buf.data(), &count, &size), 12);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(buf[0], 0xAAAA) << "nothing written into a buffer that is too small";

    size = needed;
    ASSERT_EQ(STP_ListBuiltInNames(buf.data(), &count, &size), 1);
    EXPECT_EQ(count, 6u);
    std::u16string all(buf.begin(), buf.end());
    EXPECT_EQ(all, std::u16string(u"Confidential\0Draft\0Copy\0Urgent\0Approved\0Do Not Copy\0\0", 53));

    EXPECT_EQ(STP_ListBuiltInNames(buf.data(), &count, nullptr), 99);
}

} // namespace
