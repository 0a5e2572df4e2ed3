/*
 * The UserSettingInfo record: its defaults and the merge of stored records
 * of versions 1, 2 and 3, with every moved field checked at the offsets the
 * layout gives, and stored records that are too short, too long or of an
 * unknown version.
 */
#include <tarvel/usi_record.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<BYTE> bytes(size_t n, BYTE seed)
{
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = BYTE(seed + i * 13 + i / 256);
    return v;
}

std::vector<BYTE> withVersion(std::vector<BYTE> v, WORD version)
{
    v[0] = BYTE(version);
    v[1] = BYTE(version >> 8);
    return v;
}

std::vector<BYTE> defaults(const char16_t *name = u"Owner")
{
    std::vector<BYTE> r(USI_RECORD_SIZE, 0xEE);
    USI_FillDefaults(r.data(), name);
    return r;
}

WORD u16(const std::vector<BYTE> &r, size_t at) { return WORD(r[at] | r[at + 1] << 8); }

bool same(const std::vector<BYTE> &a, size_t aFrom, const std::vector<BYTE> &b, size_t bFrom, size_t n)
{
    return std::equal(a.begin() + aFrom, a.begin() + aFrom + n, b.begin() + bFrom);
}

TEST(UsiRecord, Defaults)
{
    std::vector<BYTE> r = defaults(u"Owner");
    EXPECT_EQ(u16(r, 0), 3);
    EXPECT_EQ(u16(r, 72), 354);
    EXPECT_EQ(u16(r, 428), 892);
    /* 5169, 5171, 5173 are 1; 5150 and 5174 hold the name. */
    for (size_t at : {628u, 632u, 636u})
        EXPECT_EQ(r[at] | r[at + 1] << 8 | r[at + 2] << 16 | r[at + 3] << 24, 1) << at;
    const BYTE owner[] = {'O', 0, 'w', 0, 'n', 0, 'e', 0, 'r', 0, 0, 0};
    EXPECT_TRUE(std::equal(owner, owner + sizeof owner, r.begin() + 432));
    EXPECT_TRUE(std::equal(owner, owner + sizeof owner, r.begin() + 642));
    /* Everything else is zero. */
    std::vector<BYTE> z = r;
    for (size_t at : {0u, 72u, 428u, 628u, 632u, 636u})
        z[at] = z[at + 1] = 0;
    std::fill(z.begin() + 432, z.begin() + 432 + 12, 0);
    std::fill(z.begin() + 642, z.begin() + 642 + 12, 0);
    EXPECT_EQ(z, std::vector<BYTE>(USI_RECORD_SIZE, 0));

    /* A name longer than the 66-byte field keeps 32 characters and the terminator. */
    std::u16string longName(40, u'x');
    r = defaults(longName.c_str());
    EXPECT_EQ(u16(r, 432 + 62), u'x');
    EXPECT_EQ(u16(r, 432 + 64), 0);
    EXPECT_EQ(u16(r, 498), 0) << "5148 untouched";
    r = defaults(nullptr);
    EXPECT_EQ(u16(r, 432), 0);
}

TEST(UsiRecord, Version1FieldsMoveToTheirCurrentPlaces)
{
    std::vector<BYTE> stored = withVersion(bytes(USI_V1_SIZE, 40), 1);
    struct Move {
        size_t from, to, n;
    };
    const Move moves[] = {
        {72, 432, 66}, {138, 498, 24}, {162, 522, 2}, {164, 74, 50},
        {214, 124, 8}, {222, 132, 2},  {224, 134, 2}, {226, 136, 258},
    };
    for (BOOL flag : {FALSE, TRUE}) {
        SCOPED_TRACE(flag);
        std::vector<BYTE> r = defaults();
        ASSERT_TRUE(USI_MergeStored(stored.data(), DWORD(stored.size()), r.data(), flag));
        std::vector<BYTE> expected = defaults();
        for (const Move &m : moves) {
            EXPECT_TRUE(same(r, m.to, stored, m.from, m.n)) << m.from << " -> " << m.to;
            std::copy(stored.begin() + m.from, stored.begin() + m.from + m.n, expected.begin() + m.to);
        }
        if (flag) {
            expected[640] = 7;
            expected[641] = 0;
        }
        EXPECT_EQ(r, expected) << "everything else keeps its default, and the record says version 3";
    }
}

TEST(UsiRecord, Version2IsTheFirst556Bytes)
{
    std::vector<BYTE> stored = withVersion(bytes(600, 90), 2);
    std::vector<BYTE> r = defaults();
    ASSERT_TRUE(USI_MergeStored(stored.data(), 556, r.data(), TRUE));
    std::vector<BYTE> expected = defaults();
    std::copy(stored.begin(), stored.begin() + 556, expected.begin());
    /* The merged record is in the current layout, so a later load does not cut it to 556 bytes again. */
    expected[0] = 3;
    expected[1] = 0;
    expected[72] = 354 & 0xFF;
    expected[73] = 354 >> 8;
    expected[428] = 892 & 0xFF;
    expected[429] = 892 >> 8;
    expected[640] = 7;
    EXPECT_EQ(r, expected);

    std::vector<BYTE> again = defaults();
    ASSERT_TRUE(USI_MergeStored(r.data(), USI_RECORD_SIZE, again.data(), TRUE));
    EXPECT_EQ(again, r) << "a version 3 merge takes all of it, 5178 included";
}

TEST(UsiRecord, Version3IsCopiedWholeAndNothingBeyond)
{
    std::vector<BYTE> stored = withVersion(bytes(2000, 5), 3);
    std::vector<BYTE> r(USI_RECORD_SIZE + 16, 0xEE);
    ASSERT_TRUE(USI_MergeStored(stored.data(), DWORD(stored.size()), r.data(), TRUE));
    EXPECT_TRUE(same(r, 0, stored, 0, USI_RECORD_SIZE));
    EXPECT_EQ(std::vector<BYTE>(r.begin() + USI_RECORD_SIZE, r.end()), std::vector<BYTE>(16, 0xEE));
}

TEST(UsiRecord, ShortOrUnknownRecordsAreNotMerged)
{
    struct Case {
        WORD version;
        DWORD size;
    };
    const Case cases[] = {{1, USI_V1_SIZE - 1}, {2, USI_V2_SIZE - 1}, {3, USI_RECORD_SIZE - 1},
                          {3, 1},             {0, USI_RECORD_SIZE},  {4, USI_RECORD_SIZE}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << ", " << c.size << " bytes");
        /* Exactly as long as the case says, so the sanitizer sees any read beyond it. */
        std::vector<BYTE> stored = withVersion(bytes(c.size < 2 ? 2 : c.size, 1), c.version);
        stored.resize(c.size);
        std::vector<BYTE> r = defaults();
        EXPECT_FALSE(USI_MergeStored(stored.data(), c.size, r.data(), TRUE));
        EXPECT_EQ(r, defaults());
    }
    std::vector<BYTE> r = defaults();
    EXPECT_FALSE(USI_MergeStored(nullptr, 100, r.data(), FALSE));
}

} // namespace
