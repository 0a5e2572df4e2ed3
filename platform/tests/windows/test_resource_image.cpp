// The container reader over hand-laid container bytes: a sound container and
// every way of damaging one, each refused with its own status.
#include "test_resource_fixture.h"

#include <sys/mman.h>

using plat::RsrcStatus;

namespace {

RsrcStatus open_status(const std::vector<BYTE> &bytes)
{
    plat::RsrcImagePtr img;
    RsrcStatus st = plat::rsrc_open_image(bytes, img);
    EXPECT_EQ(st == RsrcStatus::ok, img != nullptr);
    return st;
}

std::string bytes_of(std::span<const BYTE> s) { return std::string(s.begin(), s.end()); }

} // namespace

TEST(ResourceImage, GoodContainerAnswersEveryLookup)
{
    GoodContainer g;
    plat::RsrcImagePtr img;
    ASSERT_EQ(plat::rsrc_open_image(g.bytes, img), RsrcStatus::ok);

    std::span<const BYTE> data;
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_number(2), plat::rsrc_number(101), data));
    EXPECT_EQ(bytes_of(data), std::string("BMPDATA!"));
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_number(10), plat::rsrc_number(1), data));
    EXPECT_EQ(bytes_of(data), std::string("raw"));
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_number(10), plat::rsrc_name(u"logo"), data)); // names ignore case
    EXPECT_EQ(bytes_of(data), std::string("LOGOBITS"));
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_name(u"Conf"), plat::rsrc_number(7), data));
    EXPECT_EQ(data.size(), 0u);
    EXPECT_FALSE(plat::rsrc_find(*img, plat::rsrc_number(10), plat::rsrc_number(2), data));
    EXPECT_FALSE(plat::rsrc_find(*img, plat::rsrc_number(10), plat::rsrc_name(u"LOG"), data));
    EXPECT_FALSE(plat::rsrc_find(*img, plat::rsrc_name(u"CON"), plat::rsrc_number(7), data));

    std::u16string_view s;
    ASSERT_TRUE(plat::rsrc_string(*img, 1, s));
    EXPECT_EQ(s, u"Hi");
    ASSERT_TRUE(plat::rsrc_string(*img, 15, s));
    EXPECT_EQ(s, u"Last");
    ASSERT_TRUE(plat::rsrc_string(*img, 265, s));
    EXPECT_EQ(s, u"Caption");
    EXPECT_EQ(s.data()[s.size()], u'\0'); // terminated in place
    for (UINT missing : {0u, 2u, 256u, 264u, 271u, 999u, 65535u, 70000u})
        EXPECT_FALSE(plat::rsrc_string(*img, missing, s)) << missing;

    ASSERT_EQ(plat::rsrc_entry_count(*img), 6u);
    plat::RsrcEntryInfo e;
    ASSERT_TRUE(plat::rsrc_entry(*img, 5, e));
    EXPECT_TRUE(e.type.named);
    EXPECT_EQ(e.type.name, u"CONF");
    EXPECT_EQ(e.id.number, 7);
    EXPECT_FALSE(plat::rsrc_entry(*img, 6, e));
}

TEST(ResourceImage, EmptyContainerIsSound)
{
    std::vector<BYTE> b(32, 0);
    std::memcpy(b.data(), "TXRS", 4);
    put16(b, 4, 1);
    put16(b, 6, 32);
    put32(b, 12, 32); // no entries: the directory is empty at the end
    put32(b, 24, 32);
    plat::RsrcImagePtr img;
    ASSERT_EQ(plat::rsrc_open_image(b, img), RsrcStatus::ok);
    EXPECT_EQ(plat::rsrc_entry_count(*img), 0u);
    std::u16string_view s;
    EXPECT_FALSE(plat::rsrc_string(*img, 1, s));
}

TEST(ResourceImage, KeysFromWindowsArguments)
{
    struct Case {
        LPCWSTR arg;
        bool ok;
        bool named;
        WORD number;
    } cases[] = {
        {MAKEINTRESOURCEW(5), true, false, 5},   {MAKEINTRESOURCEW(0xFFFF), true, false, 0xFFFF},
        {nullptr, false, false, 0},              {u"#101", true, false, 101},
        {u"#65535", true, false, 65535},         {u"#65536", false, false, 0},
        {u"#0", false, false, 0},                {u"#", false, false, 0},
        {u"#12a", false, false, 0},              {u"#0000012", false, false, 0},
        {u"", false, false, 0},                  {u"Logo", true, true, 0},
    };
    for (const Case &c : cases) {
        plat::RsrcKey k;
        SCOPED_TRACE(c.arg && !IS_INTRESOURCE(c.arg) ? plat::utf16_to_utf8(c.arg) : std::string("number"));
        ASSERT_EQ(plat::rsrc_key_from(c.arg, k), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(k.named, c.named);
        if (c.named)
            EXPECT_EQ(k.name, std::u16string_view(c.arg));
        else
            EXPECT_EQ(k.number, c.number);
    }
}

TEST(ResourceImage, DamagedContainersAreRefused)
{
    GoodContainer g;
    const size_t size = g.bytes.size();
    const size_t e1 = g.entry(1); // the first string block (type 6, id 1)
    const size_t blk = g.block1;  // its data
    struct Case {
        const char *what;
        std::function<void(std::vector<BYTE> &)> damage;
        RsrcStatus want;
    } cases[] = {
        {"empty", [](auto &b) { b.clear(); }, RsrcStatus::too_small},
        {"31 bytes", [](auto &b) { b.resize(31); }, RsrcStatus::too_small},
        {"magic", [](auto &b) { b[0] = 'X'; }, RsrcStatus::bad_magic},
        {"version 2", [](auto &b) { put16(b, 4, 2); }, RsrcStatus::bad_version},
        {"header size 40", [](auto &b) { put16(b, 6, 40); }, RsrcStatus::bad_version},
        {"reserved set", [](auto &b) { put32(b, 28, 1); }, RsrcStatus::bad_header},
        {"bytes after the end", [](auto &b) { b.push_back(0); }, RsrcStatus::bad_header},
        {"cut short", [](auto &b) { b.pop_back(); }, RsrcStatus::truncated},
        {"size field huge", [](auto &b) { put32(b, 24, 0xFFFFFFFF); }, RsrcStatus::truncated},
        {"directory inside header", [](auto &b) { put32(b, 12, 16); }, RsrcStatus::directory_out_of_range},
        {"directory misaligned", [](auto &b) { put32(b, 12, 34); }, RsrcStatus::directory_out_of_range},
        {"directory past end", [size](auto &b) { put32(b, 12, uint32_t(size - 16)); }, RsrcStatus::directory_out_of_range},
        {"directory offset huge", [](auto &b) { put32(b, 12, 0xFFFFFFFC); }, RsrcStatus::directory_out_of_range},
        {"count huge", [](auto &b) { put32(b, 8, 0xFFFFFFFF); }, RsrcStatus::directory_out_of_range},
        {"count one too many", [size](auto &b) { put32(b, 8, uint32_t((size - 32) / 16 + 1)); },
         RsrcStatus::directory_out_of_range},
        {"name pool past end", [size](auto &b) { put32(b, 20, uint32_t(size)); }, RsrcStatus::names_out_of_range},
        {"name pool offset huge", [](auto &b) { put32(b, 16, 0xFFFFFFFE); }, RsrcStatus::names_out_of_range},
        {"name pool odd", [](auto &b) { put32(b, 16, get32(b, 16) + 1); }, RsrcStatus::names_out_of_range},
        {"data past end", [&](auto &b) { put32(b, g.entry(0) + 8, uint32_t(size + 4)); }, RsrcStatus::entry_out_of_range},
        {"size past end", [&](auto &b) { put32(b, g.entry(0) + 12, uint32_t(size)); }, RsrcStatus::entry_out_of_range},
        {"offset + size wraps", [&](auto &b) { put32(b, g.entry(0) + 12, 0xFFFFFFFF); }, RsrcStatus::entry_out_of_range},
        {"data misaligned", [&](auto &b) { put32(b, g.entry(0) + 8, get32(b, g.entry(0) + 8) + 2); },
         RsrcStatus::entry_out_of_range},
        {"type 0", [&](auto &b) { put32(b, g.entry(0), 0); }, RsrcStatus::bad_key},
        {"id above 65535", [&](auto &b) { put32(b, g.entry(3) + 4, 0x10000); }, RsrcStatus::bad_key},
        {"name outside pool", [&](auto &b) { put32(b, g.entry(4) + 4, 0x80000000u | 40); }, RsrcStatus::bad_key},
        {"name odd offset", [&](auto &b) { put32(b, g.entry(4) + 4, 0x80000001u); }, RsrcStatus::bad_key},
        {"name length 0", [&](auto &b) { put16(b, g.pool, 0); }, RsrcStatus::bad_key},
        {"name longer than pool", [&](auto &b) { put16(b, g.pool, 100); }, RsrcStatus::bad_key},
        {"name holding a NUL", [&](auto &b) { put16(b, g.pool + 4, 0); }, RsrcStatus::bad_key},
        {"name starting with #", [&](auto &b) { put16(b, g.pool + 2, '#'); }, RsrcStatus::bad_key},
        {"entries swapped",
         [&](auto &b) {
             std::swap_ranges(b.begin() + long(g.entry(2)), b.begin() + long(g.entry(3)), b.begin() + long(g.entry(3)));
         },
         RsrcStatus::unsorted},
        {"key twice", [&](auto &b) { put32(b, g.entry(2) + 4, 1); }, RsrcStatus::unsorted},
        {"names equal but for case",
         [&](auto &b) {
             // the CONF entry becomes (10, "logo"): the LOGO entry again, spelled in lower case
             put32(b, g.entry(5), 10);
             put32(b, g.entry(5) + 4, 0x80000000u | 10);
             for (int i = 0; i < 4; ++i)
                 put16(b, g.pool + 12 + 2 * size_t(i), WORD("logo"[i]));
         },
         RsrcStatus::unsorted},
        {"string block id above 4096", [&](auto &b) { put32(b, g.entry(2) + 4, 4097); }, RsrcStatus::bad_string_block},
        {"string block named", [&](auto &b) { put32(b, e1 + 4, 0x80000000u); }, RsrcStatus::bad_string_block},
        {"string block too short", [&](auto &b) { put32(b, e1 + 12, 4); }, RsrcStatus::bad_string_block},
        {"string block with spare bytes", [&](auto &b) { put32(b, e1 + 12, get32(b, e1 + 12) + 4); },
         RsrcStatus::bad_string_block},
        {"terminator missing", [&](auto &b) { put16(b, blk + 4 + 2 + 4, 'x'); }, RsrcStatus::string_not_terminated},
        {"string runs past its block", [&](auto &b) { put16(b, blk + 4, 40); }, RsrcStatus::string_not_terminated},
        {"last string cut", [&](auto &b) { put32(b, e1 + 12, get32(b, e1 + 12) - 2); },
         RsrcStatus::string_not_terminated},
    };
    ASSERT_EQ(open_status(g.bytes), RsrcStatus::ok);
    for (const Case &c : cases) {
        std::vector<BYTE> b = g.bytes;
        c.damage(b);
        EXPECT_EQ(open_status(b), c.want) << c.what;
    }
}

TEST(ResourceImage, OversizedImageRefusedBeforeReading)
{
    // Address space only: the size check comes before any byte is read.
    size_t n = plat::RSRC_MAX_SIZE + 1;
    void *p = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    plat::RsrcImagePtr img;
    EXPECT_EQ(plat::rsrc_open_image(std::span<const BYTE>(static_cast<const BYTE *>(p), n), img), RsrcStatus::too_large);
    EXPECT_EQ(img, nullptr);
    ::munmap(p, n);
}

TEST(ResourceImage, StatusTextsAreDistinct)
{
    std::set<std::string> seen;
    for (int s = int(RsrcStatus::ok); s <= int(RsrcStatus::no_memory); ++s)
        EXPECT_TRUE(seen.insert(plat::rsrc_status_text(RsrcStatus(s))).second) << s;
}
