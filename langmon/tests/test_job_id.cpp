/* Job identifiers: CRC, local form and network form, against values worked out by hand. */
#include "lm_fixture.h"

#include <plat/sysinfo.h>

#include <cstring>

namespace {

class JobIdTest : public MonitorTest {
protected:
    void set_tick(DWORD tick)
    {
        SYSTEMTIME t{};
        t.wYear = 2026;
        t.wMonth = 3;
        t.wDay = 2;
        ASSERT_TRUE(plat::clock_fix(t, tick));
    }
};

TEST_F(JobIdTest, CrcOfNames)
{
    struct Case {
        const char *text;
        WORD crc;
    };
    const Case cases[] = {
        {"ABC", 0x4721},      /* the high table's last entry differs from CRC-16/ARC (0x4521) */
        {"abc", 0x9738},      /* same as CRC-16/ARC */
        {"********", 0xC6A0}, /* the stand-in name */
        {"A", 0x30C0},        /* 0x41: high[4] ^ low[1] = 0xF001 ^ 0xC0C1 */
        {"", 0x0000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JobIdCrc(c.text), c.crc) << c.text;
    EXPECT_EQ(JobIdCrc(nullptr), 0);
}

TEST_F(JobIdTest, LocalIdentifierTable)
{
    set_tick(0x1A2B);
    struct Case {
        const char *name;
        DWORD leading;
        const char *expected;
    };
    const Case cases[] = {
        {"ABC", 3, "034142430000472100001A2B"},
        {"abc", 3, "036162630000973800001A2B"},
        {nullptr, 3, "030000000000C6A000001A2B"},
        {"", 3, "030000000000C6A000001A2B"},
        /* only 5 name bytes show, but the CRC covers all of TARVELPC */
        {"TARVELPC", 3, "0354415256455FB900001A2B"},
        /* the leading number's low byte only */
        {"A", 0x1FE, "FE410000000030C000001A2B"},
    };
    for (const Case &c : cases) {
        char out[32];
        std::memset(out, 'x', sizeof out);
        LMJ_FormatJobId(out, c.name, c.leading);
        EXPECT_STREQ(out, c.expected) << (c.name ? c.name : "(null)");
        EXPECT_EQ(out[25], 'x') << "wrote past 25 bytes";
    }
}

TEST_F(JobIdTest, TickCountFillsEightDigits)
{
    for (DWORD tick : {DWORD(0), DWORD(0xFFFFFFFF), DWORD(0x00ABCDEF)}) {
        set_tick(tick);
        char out[25];
        LMJ_FormatJobId(out, "ABC", 3);
        char expected[9];
        std::snprintf(expected, sizeof expected, "%08X", unsigned(tick));
        EXPECT_STREQ(out + 16, expected);
    }
}

TEST_F(JobIdTest, MakeUsesComputerName)
{
    set_tick(0x1A2B);
    plat::sysinfo_set_computer_name(u"ABC");
    char out[25];
    LMJ_MakeJobId(out);
    EXPECT_STREQ(out, "034142430000472100001A2B");

    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, ERROR_ACCESS_DENIED);
    LMJ_MakeJobId(out);
    EXPECT_STREQ(out, "030000000000C6A000001A2B");
    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, 0);

    /* a name longer than the first buffer is asked for again at its size */
    const std::u16string longName(300, u'A');
    plat::sysinfo_set_computer_name(longName);
    LMJ_MakeJobId(out);
    EXPECT_EQ(std::string(out, 12), "034141414141");
    EXPECT_EQ(std::strlen(out), 24u);
}

TEST_F(JobIdTest, GuidIdentifierTable)
{
    struct Case {
        GUID guid;
        const char *expected;
    };
    const Case cases[] = {
        /* Data4 bytes below 0x10 give one digit each */
        {{0x0123ABCD, 0x0A0B, 0x00FF, {0x00, 0x01, 0x0F, 0x10, 0xAB, 0x07, 0xFF, 0x80}},
         "0123ABCD0A0B00FF01F10AB7FF80"},
        {{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}, "000000000000000000000000"},
        {{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
    };
    for (const Case &c : cases) {
        plat::sysinfo_queue_guid(c.guid);
        char out[LM_GUID_ID_BYTES + 4];
        std::memset(out, 'x', sizeof out);
        LMJ_MakeGuidJobId(out);
        EXPECT_STREQ(out, c.expected);
        EXPECT_EQ(out[LM_GUID_ID_BYTES], 'x');
    }
    /* a failed CoCreateGuid is ignored: the identifier of the zero GUID */
    plat::sysinfo_set_failure(plat::SysinfoCall::Guid, 1);
    char out[LM_GUID_ID_BYTES];
    LMJ_MakeGuidJobId(out);
    EXPECT_STREQ(out, "000000000000000000000000");
}

TEST_F(JobIdTest, NullOutputIsIgnored)
{
    LMJ_FormatJobId(nullptr, "ABC", 3);
    LMJ_MakeJobId(nullptr);
    LMJ_MakeGuidJobId(nullptr);
}

} // namespace
