/*
 * The monitor's small helpers: heap copies and conversions, growing and
 * shrinking heap buffers, byte comparison and the two-half masks.
 */
#include "lm_fixture.h"

#include <plat/fault.h>

#include <string>

TEST_F(MonitorTest, CopiesAndConversionsComeFromTheMonitorHeap)
{
    char *n = LMU_DupNarrow("abc");
    WCHAR *w = LMU_DupWide(u"Office");
    char *a = LMU_WideToAnsi(u"Caf\u00e9");
    WCHAR *u = LMU_Utf8ToWide("Caf\xc3\xa9 \xe2\x82\xac");
    ASSERT_TRUE(n && w && a && u);
    EXPECT_STREQ(n, "abc");
    EXPECT_EQ(std::u16string(w), u"Office");
    EXPECT_STREQ(a, "Caf\xe9") << "code page 1252";
    EXPECT_EQ(std::u16string(u), u"Caf\u00e9 \u20ac");
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 5u);
    for (void *p : {static_cast<void *>(n), static_cast<void *>(w), static_cast<void *>(a), static_cast<void *>(u)})
        LMU_Free(p);
    LMU_Free(nullptr);
    EXPECT_EQ(LMU_DupNarrow(nullptr), nullptr);
    EXPECT_EQ(LMU_DupWide(nullptr), nullptr);
    EXPECT_EQ(LMU_WideToAnsi(nullptr), nullptr);
    EXPECT_EQ(LMU_Utf8ToWide(nullptr), nullptr);
}

TEST_F(MonitorTest, BufferGrowsAndShrinksByHeapCopies)
{
    BYTE *buf = nullptr;
    DWORD len = 0;
    ASSERT_TRUE(LMU_AppendBytes(&buf, &len, "@PJL", 4));
    ASSERT_TRUE(LMU_AppendBytes(&buf, &len, " INFO\r\n", 7));
    ASSERT_TRUE(LMU_AppendBytes(&buf, &len, nullptr, 0));
    ASSERT_EQ(len, 11u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), len), "@PJL INFO\r\n");
    LMU_DropFront(&buf, &len, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), len), "INFO\r\n");

    plat::fault_fail_alloc_after(1);
    BYTE *before = buf;
    EXPECT_FALSE(LMU_AppendBytes(&buf, &len, "x", 1)) << "a refused heap keeps the buffer";
    EXPECT_EQ(buf, before);
    EXPECT_EQ(len, 6u);
    DWORD huge = 0xFFFFFFF0u;
    EXPECT_FALSE(LMU_AppendBytes(&buf, &huge, "0123456789abcdefg", 17)) << "the length would pass 32 bits";

    LMU_DropFront(&buf, &len, 99);
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(len, 0u);

    char *s = nullptr;
    ASSERT_TRUE(LMU_AppendString(&s, "@PJL"));
    ASSERT_TRUE(LMU_AppendString(&s, " USTATUS"));
    EXPECT_STREQ(s, "@PJL USTATUS");
    EXPECT_FALSE(LMU_AppendString(&s, nullptr));
    EXPECT_STREQ(LMU_FindChar(s, 'U'), "USTATUS");
    EXPECT_EQ(LMU_FindChar(s, '='), nullptr);
    LMU_Free(s);
}

TEST_F(MonitorTest, CompareBytesAnswersTheFirstDifference)
{
    struct Case {
        const char *a, *b;
        DWORD n;
        int expect;
    } cases[] = {
        {"abc", "abc", 3, 0},       {"abc", "abd", 3, -1},  {"abd", "abc", 3, 1},
        {"abc", "ABC", 3, 'a' - 'A'}, {"abX", "abY", 2, 0}, {"\xff", "\x01", 1, 0xfe},
        {"", "", 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LMU_CompareBytes(c.a, c.b, c.n), c.expect) << c.a << " / " << c.b;
}

TEST_F(MonitorTest, MasksCompareBothHalves)
{
    const ULONGLONG model = 0x0000000800000000ull; /* bit 35 */
    EXPECT_TRUE(LMU_MaskIntersects(model, 0xFFFFFFFF00000000ull));
    EXPECT_FALSE(LMU_MaskIntersects(model, 0x00000000FFFFFFFFull));
    EXPECT_FALSE(LMU_MaskIntersects(0, 0));
    EXPECT_TRUE(LMU_MaskDiffers(model, model | 1));
    EXPECT_FALSE(LMU_MaskDiffers(model, model));
    ULONGLONG m = 0;
    LMU_SetMask(&m, model);
    EXPECT_EQ(m, model);
}
