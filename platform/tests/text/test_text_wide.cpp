// UTF-16 string routines: bounded copies, comparisons, case, tokens, path
// splitting and number parsing.
#include "test_text_machine.h"

#include <plat/text.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <string>

namespace {

constexpr WCHAR kGuard = 0x7777;

template <size_t N>
std::array<WCHAR, N> guarded()
{
    std::array<WCHAR, N> a;
    a.fill(kGuard);
    return a;
}

} // namespace

TEST(TextWide, LstrcpynCopiesAtMostNMinusOneAndTerminates)
{
    struct Case {
        int n;
        const char16_t *expect; /* null: nothing written */
        size_t untouched_from;  /* first unit that keeps the guard */
    };
    const Case cases[] = {
        {0, nullptr, 0},  /* no room: nothing written, dst returned */
        {1, u"", 1},      /* room for the terminator only */
        {4, u"abc", 4},   /* n == len: cut by one */
        {5, u"abcd", 5},  /* n == len + 1: whole text */
        {8, u"abcd", 5},  /* more room than needed: nothing beyond the terminator */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        auto dst = guarded<10>();
        EXPECT_EQ(lstrcpynW(dst.data(), u"abcd", c.n), dst.data());
        if (c.expect) {
            EXPECT_EQ(std::u16string(dst.data()), c.expect);
        }
        for (size_t i = c.untouched_from; i < dst.size(); i++)
            EXPECT_EQ(dst[i], kGuard) << "unit " << i;
    }
    auto dst = guarded<4>();
    EXPECT_EQ(lstrcpynW(dst.data(), u"abcd", -1), nullptr);
    EXPECT_EQ(lstrcpynW(dst.data(), nullptr, 4), nullptr);
    EXPECT_EQ(lstrcpynW(nullptr, u"abcd", 4), nullptr);
    EXPECT_EQ(dst[0], kGuard);

    char a[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(lstrcpynA(a, "hello", 3), a);
    EXPECT_STREQ(a, "he");
    EXPECT_EQ(a[3], 'x');
}

TEST(TextWide, LengthsCopyAndConcatenation)
{
    EXPECT_EQ(lstrlenW(u"abc"), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenA("abcd"), 4);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(wcslen(u"\u65e5\u672c"), 2u);
    EXPECT_EQ(wcsnlen(u"abcdef", 4), 4u);

    WCHAR buf[16];
    EXPECT_EQ(lstrcpyW(buf, u"C:\\"), buf);
    EXPECT_EQ(lstrcatW(buf, u"DEBUG_LOG"), buf);
    EXPECT_EQ(std::u16string(buf), u"C:\\DEBUG_LOG");
    EXPECT_EQ(lstrcatW(nullptr, u"x"), nullptr);
    EXPECT_EQ(lstrcpyW(buf, nullptr), nullptr);
}

TEST(TextWide, WcsncpyPadsShortTextAndLeavesLongTextUnterminated)
{
    /* A 24-unit name slot filled with at most 23 units. */
    auto slot = guarded<24>();
    wcsncpy(slot.data(), u"Tray 1", 23);
    EXPECT_EQ(std::u16string(slot.data()), u"Tray 1");
    for (size_t i = 6; i < 23; i++)
        EXPECT_EQ(slot[i], 0) << "unit " << i;
    EXPECT_EQ(slot[23], kGuard);

    slot = guarded<24>();
    wcsncpy(slot.data(), u"A very long paper source name", 23);
    EXPECT_EQ(std::u16string(slot.data(), 23), u"A very long paper sourc");
    EXPECT_EQ(slot[23], kGuard);
}

TEST(TextWide, ComparisonsAreOrdinalAndFoldCaseBeyondAscii)
{
    struct Case {
        const char16_t *a;
        const char16_t *b;
        int exact;
        int folded;
    };
    const Case cases[] = {
        {u"abc", u"abc", 0, 0},
        {u"abc", u"abd", -1, -1},
        {u"ab", u"abc", -1, -1},
        {u"abc", u"ab", 1, 1},
        {u"ABC", u"abc", -1, 0},
        {u"\u00c9COLE", u"\u00e9cole", -1, 0},          /* Latin-1 */
        {u"\u0178", u"\u00ff", 1, 0},                   /* Y diaeresis pairs across blocks */
        {u"\u0141\u00d3D\u0179", u"\u0142\u00f3d\u017a", -1, 0}, /* Latin Extended-A */
        {u"\u0391\u0392\u0393", u"\u03b1\u03b2\u03b3", -1, 0}, /* Greek */
        {u"\u041f\u0420\u0418", u"\u043f\u0440\u0438", -1, 0}, /* Cyrillic */
        {u"\uff21\uff22", u"\uff41\uff42", -1, 0},      /* full-width */
        {u"Stra\u00dfe", u"STRASSE", 1, 1},             /* no multi-character folds */
        {u"\u00d7", u"\u00f7", -1, -1},                 /* multiplication / division: not letters */
        {u"_", u"a", -1, -1},                           /* folding goes to lower case */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.a) + " vs " + plat::utf16_to_utf8(c.b));
        EXPECT_EQ(lstrcmpW(c.a, c.b), c.exact);
        EXPECT_EQ(lstrcmpiW(c.a, c.b), c.folded);
        EXPECT_EQ(lstrcmpiW(c.b, c.a), -c.folded);
        EXPECT_EQ(wcscmp(c.a, c.b) < 0, c.exact < 0);
        EXPECT_EQ(_wcsicmp(c.a, c.b) == 0, c.folded == 0);
    }
    EXPECT_EQ(lstrcmpW(nullptr, u""), -1);
    EXPECT_EQ(lstrcmpiW(u"", nullptr), 1);
    EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
    EXPECT_EQ(_wcsnicmp(u"\\\\.\\PIPE\\spool", u"\\\\.\\pipe\\", 9), 0);
    EXPECT_NE(_wcsnicmp(u"\\\\.\\PIPX\\", u"\\\\.\\pipe\\", 9), 0);
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
}

TEST(TextWide, CaseConversionInPlaceAndSingleCharacter)
{
    std::u16string s = u"abc \u00e9\u00ff\u00df \u0101 \u03c9 \u0436 \uff5a 1_";
    EXPECT_EQ(CharUpperW(s.data()), s.data());
    EXPECT_EQ(s, u"ABC \u00c9\u0178\u00df \u0100 \u03a9 \u0416 \uff3a 1_");
    CharLowerW(s.data());
    EXPECT_EQ(s, u"abc \u00e9\u00ff\u00df \u0101 \u03c9 \u0436 \uff5a 1_");

    /* A value below 0x10000 is one character, answered the same way. */
    auto one = [](WCHAR c) { return reinterpret_cast<LPWSTR>(uintptr_t(c)); };
    EXPECT_EQ(reinterpret_cast<uintptr_t>(CharUpperW(one(u'\u00e9'))), 0xC9u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(CharLowerW(one(u'Q'))), uintptr_t(u'q'));
    EXPECT_EQ(CharUpperW(nullptr), nullptr);

    WCHAR buf[] = u"abcd";
    EXPECT_EQ(CharUpperBuffW(buf, 2), 2u);
    EXPECT_EQ(std::u16string(buf), u"ABcd");
}

TEST(TextWide, SearchAndTokens)
{
    const WCHAR *s = u"a\\b\\c.txt";
    EXPECT_EQ(wcschr(s, u'\\'), s + 1);
    EXPECT_EQ(wcsrchr(s, u'\\'), s + 3);
    EXPECT_EQ(wcschr(s, 0), s + 9);
    EXPECT_EQ(wcschr(s, u'z'), nullptr);
    EXPECT_EQ(wcsstr(s, u"c.t"), s + 4);
    EXPECT_EQ(wcsstr(s, u""), s);
    EXPECT_EQ(wcsstr(s, u"txtx"), nullptr);

    WCHAR list[] = u",12,,345 ,6,";
    std::vector<std::u16string> tokens;
    WCHAR *ctx = nullptr;
    for (WCHAR *t = wcstok(list, u",", &ctx); t; t = wcstok(nullptr, u",", &ctx))
        tokens.push_back(t);
    EXPECT_EQ(tokens, (std::vector<std::u16string>{u"12", u"345 ", u"6"}));

    WCHAR none[] = u",,,";
    EXPECT_EQ(wcstok(none, u","), nullptr);
    EXPECT_EQ(wcstok(nullptr, u","), nullptr);
}

TEST(TextWide, SplitPath)
{
    struct Case {
        const char16_t *path, *drive, *dir, *fname, *ext;
    };
    const Case cases[] = {
        {u"C:\\Windows\\System32\\SHELL32.dll", u"C:", u"\\Windows\\System32\\", u"SHELL32", u".dll"},
        {u"d:/a/b.c/name.tar.gz", u"d:", u"/a/b.c/", u"name.tar", u".gz"},
        {u"dir.d\\file", u"", u"dir.d\\", u"file", u""},
        {u"plain", u"", u"", u"plain", u""},
        {u"", u"", u"", u"", u""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.path));
        WCHAR drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _wsplitpath(c.path, drive, dir, fname, ext);
        EXPECT_EQ(std::u16string(drive), c.drive);
        EXPECT_EQ(std::u16string(dir), c.dir);
        EXPECT_EQ(std::u16string(fname), c.fname);
        EXPECT_EQ(std::u16string(ext), c.ext);
    }
    WCHAR fname[4] = u"old", ext[8] = u"old";
    _wsplitpath(u"x\\abc.d", nullptr, nullptr, fname, nullptr);
    EXPECT_EQ(std::u16string(fname), u"abc");

    /* Too small an output empties every output instead of overflowing. */
    EXPECT_EQ(_wsplitpath_s(u"x\\abcd.e", nullptr, 0, nullptr, 0, fname, 4, ext, 8), ERANGE);
    EXPECT_EQ(fname[0], 0);
    EXPECT_EQ(ext[0], 0);
    EXPECT_EQ(_wsplitpath_s(u"x", nullptr, 3, nullptr, 0, nullptr, 0, nullptr, 0), EINVAL);
    EXPECT_EQ(_wsplitpath_s(nullptr, nullptr, 0, nullptr, 0, fname, 4, nullptr, 0), EINVAL);
}

TEST(TextWide, WtoiWhitespaceSignsAndOverflow)
{
    struct Case {
        const char16_t *text;
        int value;
        bool range_error;
    };
    const Case cases[] = {
        {u"42", 42, false},
        {u"  -17x", -17, false},
        {u"\t\r\n\v\f+8", 8, false},
        {u"007", 7, false},
        {u"", 0, false},
        {u"abc", 0, false},
        {u"- 5", 0, false},
        {u"0x1A", 0, false},
        {u"\u3000" u"5", 0, false}, /* only ASCII white space is skipped */
        {u"\uff15", 0, false},      /* only ASCII digits count */
        {u"2147483647", INT_MAX, false},
        {u"-2147483648", INT_MIN, false},
        {u"2147483648", INT_MAX, true},
        {u"-2147483649", INT_MIN, true},
        {u"99999999999999999999999", INT_MAX, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.text));
        errno = 0;
        EXPECT_EQ(_wtoi(c.text), c.value);
        EXPECT_EQ(errno == ERANGE, c.range_error);
        EXPECT_EQ(_wtol(c.text), LONG(c.value));
    }
    EXPECT_EQ(_wtoi(nullptr), 0);
}

TEST(TextWide, WcstoulBasesPrefixAndEnd)
{
    struct Case {
        const char16_t *text;
        int base;
        ULONG value;
        size_t end; /* units consumed */
        bool range_error;
    };
    const Case cases[] = {
        {u"0x1A", 16, 26, 4, false},
        {u"1a", 16, 26, 2, false},
        {u"0X1fZ", 0, 31, 4, false},
        {u"017", 0, 15, 3, false},
        {u"  42,", 0, 42, 4, false},
        {u"0x1A", 10, 0, 1, false},  /* decimal: stops after the "0" */
        {u"0xg", 16, 0, 1, false},   /* no hex digit: the "0" is the number */
        {u"FFFFFFFF", 16, 0xFFFFFFFFu, 8, false},
        {u"100000000", 16, 0xFFFFFFFFu, 9, true},
        {u"4294967296", 10, 0xFFFFFFFFu, 10, true},
        {u"-1", 10, 0xFFFFFFFFu, 2, false},
        {u"zz", 36, 1295, 2, false},
        {u"  x", 10, 0, 0, false},   /* no number: end is the start */
        {u"+", 10, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.text));
        WCHAR *end = nullptr;
        errno = 0;
        EXPECT_EQ(wcstoul(c.text, &end, c.base), c.value);
        EXPECT_EQ(size_t(end - c.text), c.end);
        EXPECT_EQ(errno == ERANGE, c.range_error);
    }
    errno = 0;
    EXPECT_EQ(wcstoul(u"12", nullptr, 1), 0u);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(wcstol(u"-80000000", nullptr, 16), INT32_MIN);
    EXPECT_EQ(wcstol(u"80000000", nullptr, 16), INT32_MAX);
}

// The ANSI comparisons go through the ANSI code page.
class TextAnsi : public TextMachine {};

TEST_F(TextAnsi, CompareFoldsLatin1In1252)
{
    EXPECT_EQ(lstrcmpiA("\xC9" "COLE", "\xE9" "cole"), 0);
    EXPECT_EQ(lstrcmpA("\xC9" "COLE", "\xE9" "cole"), -1);
    EXPECT_EQ(lstrcmpiA("abc", "ABD"), -1);
    EXPECT_EQ(lstrcmpiA(nullptr, "a"), -1);
}

TEST_F(TextAnsi, CompareNeverFoldsATrailByteIn932)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    /* 0x83 0x41 and 0x83 0x61 are two different katakana whose trail bytes
     * happen to be "A" and "a". */
    EXPECT_NE(lstrcmpiA("\x83\x41", "\x83\x61"), 0);
    EXPECT_EQ(lstrcmpiA("\x93\xFA" "ab", "\x93\xFA" "AB"), 0);
}
