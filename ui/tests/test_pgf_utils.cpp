// The page framework's value, unit and text utilities as tables: stored and
// shown values, millimetres and inches, decimals per unit, capability tests,
// display-name trimming and the other text helpers, formatted resource
// strings and message boxes.
#include "ui_test_support.h"

#include "pgf_utils.h"

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/text.h>
#include <plat/window.h>

#include <string>
#include <vector>

namespace {

using ui_test::UiTest;

class PgfUtils : public UiTest {};

TEST_F(PgfUtils, UnitConversions)
{
    struct Inch {
        LONG value;
        WORD ddmid;
        LONG hundredths;
    } toInch[] = {
        {50, 0, 20},     {-50, 0, -20},   {2100, 0, 827}, {60, 268, 19}, {-60, 268, -19},
        {30, 268, 12},   {600, 324, 19},  {600, 460, 236}, {0, 0, 0},
    };
    for (const Inch &c : toInch)
        EXPECT_EQ(PGF_ToHundredthInch(c.value, c.ddmid), c.hundredths) << c.value << " of " << c.ddmid;
    struct Back {
        LONG value;
        LONG tenthMm;
    } toMm[] = {{20, 51}, {-20, -51}, {827, 2101}, {12, 30}, {0, 0}, {LONG(0x7FFFFFFF), LONG(0x7FFFFFFF)}};
    for (const Back &c : toMm)
        EXPECT_EQ(PGF_ToTenthMillimetre(c.value), c.tenthMm) << c.value;
}

TEST_F(PgfUtils, DisplayConversionsOfStoredValues)
{
    struct Case {
        int direction; /* 1: shown to stored */
        WORD ddmid;
        WORD type;
        LONG value;
        BOOL handled;
        LONG result;
    } cases[] = {
        {2, 268, 2, -15, TRUE, -1},       /* truncation towards zero */
        {1, 268, 2, 3, TRUE, 30},
        {1, 1856, 3, 7000, TRUE, 65535},  /* held to its type */
        {1, 1856, 2, 7000, TRUE, 32767},
        {1, 393, 4, 0, TRUE, 2048},       /* level 0 of the second byte */
        {2, 393, 4, 2048, TRUE, 0},
        {2, 393, 4, 100, TRUE, -4},       /* below its byte unit */
        {1, 392, 4, -3, TRUE, 1},
        {1, 392, 4, -9, TRUE, 0},         /* below -3: half the unit */
        {2, 8, 2, 5, FALSE, 5},           /* no conversion: copied */
    };
    for (const Case &c : cases) {
        LONG out = 77;
        const LONG in = c.value;
        const SHORT in16 = SHORT(c.value);
        const void *input = (c.ddmid >= 392 && c.ddmid <= 403) || c.ddmid == 1856 ? static_cast<const void *>(&in)
                                                                                   : static_cast<const void *>(&in16);
        EXPECT_EQ(PGF_ConvertDisplayValue(c.direction, c.ddmid, c.type, input, &out), c.handled) << c.ddmid;
        EXPECT_EQ(out, c.result) << c.ddmid << " " << c.value;
    }
}

TEST_F(PgfUtils, DecimalsPerUnit)
{
    struct Case {
        WORD ddmid;
        SHORT unit;
        BOOL known;
        LONG decimals;
    } cases[] = {
        {268, 1, TRUE, 1}, {269, 0, TRUE, 0}, {324, 1, TRUE, 1}, {460, 1, TRUE, 2}, {461, 0, TRUE, 1},
        {1825, 1, TRUE, 2}, {1828, 0, TRUE, 1}, {1863, 1, TRUE, 2}, {5889, 1, TRUE, 2}, {5928, 0, TRUE, 1},
        {1829, 1, FALSE, 99}, {5929, 1, FALSE, 99}, {8, 0, FALSE, 99},
    };
    for (const Case &c : cases) {
        LONG d = 99;
        EXPECT_EQ(PGF_GetUnitDecimals(c.ddmid, c.unit, &d), c.known) << c.ddmid;
        EXPECT_EQ(d, c.decimals) << c.ddmid;
    }
}

TEST_F(PgfUtils, CapabilityCodesAndTiers)
{
    SheetState state{};
    state.modelCaps[0] = 0x08800000; /* bits 23 and 27 */
    state.modelCaps[1] = 1u << (38 - 32);
    state.modelCaps[2] = 1u << (95 - 64);
    EXPECT_TRUE(PGF_TestDeviceFlag(&state, 0x800000));
    EXPECT_TRUE(PGF_TestDeviceFlag(&state, 0xFFFF0000u + 27));
    EXPECT_TRUE(PGF_TestDeviceFlag(&state, 0xFFFF0000u + 38));
    EXPECT_TRUE(PGF_TestDeviceFlag(&state, 0xFFFF0000u + 95));
    EXPECT_FALSE(PGF_TestDeviceFlag(&state, 0xFFFF0000u + 96)); /* beyond the 96 bits */
    EXPECT_FALSE(PGF_TestDeviceFlag(&state, 0xFFFF0000u + 34));
    EXPECT_FALSE(PGF_TestDeviceFlag(nullptr, 0x800000));
    WORD tier = 9;
    ASSERT_TRUE(PGF_GetCapabilityTier(&state, &tier));
    EXPECT_EQ(tier, 2);
    state.modelCaps[1] = 0;
    ASSERT_TRUE(PGF_GetCapabilityTier(&state, &tier));
    EXPECT_EQ(tier, 1);
    state.modelCaps[0] = 0;
    ASSERT_TRUE(PGF_GetCapabilityTier(&state, &tier));
    EXPECT_EQ(tier, 0);
}

std::u16string trimmed(std::u16string text, int kind)
{
    text.push_back(0);
    PGF_TrimDisplayName(text.data(), kind);
    return std::u16string(text.c_str());
}

TEST_F(PgfUtils, TextHelpers)
{
    /* String 2009 is one blank: kind 1 takes it off what is left. */
    EXPECT_EQ(trimmed(u"A4 (210 x 297 mm)", 0), u"A4 ");
    EXPECT_EQ(trimmed(u"A4 (210 x 297 mm)", 1), u"A4");
    EXPECT_EQ(trimmed(u"A4", 1), u"A4");
    EXPECT_EQ(trimmed(u"Name [x] (y)", 0), u"Name ");
    EXPECT_EQ(trimmed(u"Letter (8.5 x 11 in) plain", 2), u"Letter  plain");
    EXPECT_EQ(trimmed(u"Letter (8.5 x 11 in", 2), u"Letter (8.5 x 11 in");
    EXPECT_EQ(trimmed(u"A4 (x)", 3), u"A4 (x)");

    EXPECT_EQ(std::u16string(PGF_FileNamePart(u"C:\\a\\b.txt")), u"b.txt");
    EXPECT_EQ(std::u16string(PGF_FileNamePart(u"b")), u"b");
    EXPECT_EQ(std::u16string(PGF_FileNamePart(u"C:\\dir\\")), u"");

    struct Split {
        const char16_t *text;
        BOOL ok;
        const char16_t *result;
    } splits[] = {
        {u"(abc)", TRUE, u"abc"}, {u"x()", TRUE, u""}, {u"(a)b)", TRUE, u"a)b"},
        {u"a(b", FALSE, nullptr}, {u"(", FALSE, nullptr}, {u")a(", FALSE, nullptr},
    };
    for (const Split &c : splits) {
        LPWSTR out = nullptr;
        int length = -1;
        EXPECT_EQ(PGF_SplitDelimited(&out, &length, c.text, u'(', u')'), c.ok) << plat::utf16_to_utf8(c.text);
        if (c.ok && out) {
            EXPECT_EQ(std::u16string(out), c.result);
            EXPECT_EQ(size_t(length), std::u16string(c.result).size());
            GlobalFree(out);
        }
    }

    char16_t buffer[8] = u"abc";
    PGF_AppendTruncated(buffer, u"defghij", 8);
    EXPECT_EQ(std::u16string(buffer), u"abcdefg");
    PGF_AppendTruncated(buffer, u"x", 8);
    EXPECT_EQ(std::u16string(buffer), u"abcdefg");
}

TEST_F(PgfUtils, FormattedStringsAndMessages)
{
    LPWSTR text = nullptr;
    ASSERT_TRUE(PGF_LoadStringFormatted(&text, 0, 445, u"Copies", 1, 999));
    EXPECT_EQ(std::u16string(text), u"Copies: enter a number from 1 to 999.");
    GlobalFree(text);
    EXPECT_FALSE(PGF_LoadStringFormatted(&text, 0, 9998));       /* no such string */
    /* 7 characters: "Copies" fills all but the terminator, leaving no room for one more */
    EXPECT_FALSE(PGF_LoadStringFormatted(&text, 7, 445, u"Copies", 1, 999));
    EXPECT_EQ(text, nullptr);

    plat::msgbox_clear();
    plat::msgbox_script(IDOK);
    EXPECT_EQ(PGF_ShowResourceMessage(nullptr, 265, MB_ICONWARNING, PGF_NONE, u"Text"), IDOK);
    EXPECT_EQ(PGF_ShowResourceMessage(nullptr, 9998, MB_ICONWARNING, PGF_NONE, u"Text"), -1);
    EXPECT_EQ(PGF_ShowResourceMessage(nullptr, 265, MB_ICONWARNING, PGF_NONE, nullptr), -1);
    const auto log = plat::msgbox_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].caption, u"Printer Settings");
    EXPECT_EQ(log[0].text, u"Text");
    EXPECT_EQ(log[0].style & MB_ICONWARNING, UINT(MB_ICONWARNING));
}

TEST_F(PgfUtils, FourValueRecords)
{
    LONG record[4] = {};
    const LONG all[4] = {1, 2, 3, 4};
    ASSERT_TRUE(PGF_SetRect4(record, 4, all));
    const LONG nine = 9;
    ASSERT_TRUE(PGF_SetRect4(record, 2, &nine));
    LONG out[4] = {};
    ASSERT_TRUE(PGF_GetRect4(record, 4, out));
    EXPECT_EQ(out[2], 9);
    EXPECT_EQ(out[3], 4);
    EXPECT_FALSE(PGF_SetRect4(record, 5, all));
    EXPECT_FALSE(PGF_GetRect4(nullptr, 0, out));
}

} // namespace

namespace {

/* The value names below HKEY_LOCAL_MACHINE's root. */
std::vector<std::u16string> machineRootValues()
{
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumValueW(HKEY_LOCAL_MACHINE, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, chars);
    }
    return names;
}

} // namespace

/* The machine-key test writes and removes its value as an administrator, and answers 0 for an ordinary user. */
TEST_F(PgfUtils, MachineKeyWriteTestLeavesNothingBehind)
{
    const std::vector<std::u16string> before = machineRootValues();
    EXPECT_EQ(PGF_CanWriteMachineKey(), TRUE);
    EXPECT_EQ(machineRootValues(), before) << "no WriteCheck value is left";
    plat::registry_set_admin(false);
    EXPECT_EQ(PGF_CanWriteMachineKey(), FALSE);
    plat::registry_set_admin(true);
    EXPECT_EQ(machineRootValues(), before);
}

/*
 * Every folder of a path is made in turn; a second call answers the last
 * CreateDirectoryW's FALSE for the existing folder.  The folder test moves
 * the current directory and puts it back.
 */
TEST_F(PgfUtils, FoldersAreMadeAndFound)
{
    WCHAR temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::u16string base = std::u16string(temp) + u"made";
    const std::u16string one = base + u"\\one", two = one + u"\\two";
    EXPECT_TRUE(PGF_CreateDirectoryPath(two.c_str())) << GetLastError();
    for (const std::u16string &folder : {base, one, two})
        EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << plat::utf16_to_utf8(folder);
    EXPECT_FALSE(PGF_CreateDirectoryPath(two.c_str())) << "it exists";
    EXPECT_FALSE(PGF_CreateDirectoryPath(nullptr));
    EXPECT_FALSE(PGF_CreateDirectoryPath((u"C:\\" + std::u16string(260, u'x')).c_str()));
    const std::u16string file = base + u"\\file.txt", missing = base + u"\\missing";
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    ASSERT_TRUE(SetCurrentDirectoryW(one.c_str()));
    struct Case {
        const char16_t *path;
        BOOL exists;
    } cases[] = {
        {two.c_str(), TRUE}, {u"two", TRUE}, {missing.c_str(), FALSE}, {file.c_str(), FALSE}, {u"", FALSE}, {nullptr, FALSE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PGF_DirectoryExists(c.path), c.exists) << (c.path ? plat::utf16_to_utf8(c.path) : "null");
        WCHAR now[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, now);
        EXPECT_EQ(std::u16string(now), one) << "the current directory is put back";
    }
    SetCurrentDirectoryW(u"C:\\");
}

/* Mirroring marks the frame and its tab controls only, and nothing without a frame's style. */
TEST_F(PgfUtils, MirroringMarksTheFrameAndItsTabs)
{
    constexpr LONG_PTR kMirror = WS_EX_LAYOUTRTL | WS_EX_NOINHERITLAYOUT;
    ASSERT_EQ(kMirror, 0x500000);
    HWND frame = CreateWindowExW(WS_EX_DLGMODALFRAME, u"#32770", u"Sheet", WS_POPUP, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(frame, nullptr);
    auto child = [&](const char16_t *cls) {
        return CreateWindowExW(0, cls, u"", WS_CHILD, 0, 0, 10, 10, frame, nullptr, nullptr, nullptr);
    };
    HWND page = child(u"#32770"), tabs = child(u"systabcontrol32"), button = child(u"Button");
    PGF_MirrorSheetForRtl(page);
    EXPECT_EQ(GetWindowLongPtrW(frame, GWL_EXSTYLE), LONG_PTR(WS_EX_DLGMODALFRAME) | kMirror);
    EXPECT_EQ(GetWindowLongPtrW(tabs, GWL_EXSTYLE) & kMirror, kMirror);
    EXPECT_EQ(GetWindowLongPtrW(button, GWL_EXSTYLE) & kMirror, 0);
    EXPECT_EQ(GetWindowLongPtrW(page, GWL_EXSTYLE) & kMirror, 0);
    DestroyWindow(frame);

    HWND plain = CreateWindowExW(0, u"#32770", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND inner = CreateWindowExW(0, u"#32770", u"", WS_CHILD, 0, 0, 5, 5, plain, nullptr, nullptr, nullptr);
    PGF_MirrorSheetForRtl(inner);
    EXPECT_EQ(GetWindowLongPtrW(plain, GWL_EXSTYLE), 0) << "a frame whose style reads 0 is left alone";
    DestroyWindow(plain);
    PGF_MirrorSheetForRtl(nullptr);
}
