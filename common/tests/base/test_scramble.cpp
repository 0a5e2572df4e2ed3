// The byte scrambler and its combination with Base64 (UTL_EncodeBytes,
// UTL_DecodeBytes).  Expected bytes are worked out by hand from the key
// A7 C5 9E B3 and the Base64 alphabet.
#include <tarvel/base64.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const BYTE *bytes_of(const char *s) { return reinterpret_cast<const BYTE *>(s); }

} // namespace

TEST(Scramble, XorsWithTheDeploymentKey)
{
    /* Four zero bytes give the key itself; "Tarvel" (54 61 72 76 65 6C)
     * gives 54^A7 61^C5 72^9E 76^B3 65^A7 6C^C5. */
    const BYTE zeros[4] = {0, 0, 0, 0};
    BYTE out[8];
    int count = -1;
    ASSERT_EQ(UTL_Scramble(zeros, 4, out, &count, 8), 0);
    EXPECT_EQ(count, 4);
    const BYTE key[4] = {0xA7, 0xC5, 0x9E, 0xB3};
    EXPECT_EQ(std::memcmp(out, key, 4), 0);

    ASSERT_EQ(UTL_Scramble(bytes_of("Tarvel"), 6, out, &count, 6), 0);
    EXPECT_EQ(count, 6);
    const BYTE expect[6] = {0xF3, 0xA4, 0xEC, 0xC5, 0xC2, 0xA9};
    EXPECT_EQ(std::memcmp(out, expect, 6), 0);
}

TEST(Scramble, TwiceGivesTheInputBackForEveryTailLength)
{
    /* Lengths 1-9 cover no whole group, one or two whole groups and every
     * remainder of 1 to 3 bytes. */
    for (int n = 1; n <= 9; n++) {
        SCOPED_TRACE(n);
        std::vector<BYTE> in(static_cast<size_t>(n));
        for (int i = 0; i < n; i++)
            in[size_t(i)] = BYTE(0x30 + i * 29);
        std::unique_ptr<BYTE[]> once(new BYTE[size_t(n)]);
        std::unique_ptr<BYTE[]> twice(new BYTE[size_t(n)]);
        int count = -1;
        ASSERT_EQ(UTL_Scramble(in.data(), n, once.get(), &count, n), 0);
        ASSERT_EQ(count, n);
        EXPECT_NE(std::memcmp(once.get(), in.data(), size_t(n)), 0);
        ASSERT_EQ(UTL_Scramble(once.get(), n, twice.get(), &count, n), 0);
        EXPECT_EQ(std::memcmp(twice.get(), in.data(), size_t(n)), 0);
        /* In place as well. */
        ASSERT_EQ(UTL_Scramble(once.get(), n, once.get(), &count, n), 0);
        EXPECT_EQ(std::memcmp(once.get(), in.data(), size_t(n)), 0);
    }
}

TEST(Scramble, CapacityTooSmallStopsBeforeTheGroupThatDoesNotFit)
{
    struct Case {
        int n;
        int capacity;
        int rc;
        int count;
    } cases[] = {
        {6, 5, -3, 4}, {6, 3, -3, 0}, {3, 2, -3, 0}, {8, 7, -3, 4},
        {9, 8, -3, 8}, {4, 4, 0, 4},  {5, 5, 0, 5},  {9, 12, 0, 9},
    };
    const BYTE in[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " capacity " << c.capacity);
        std::unique_ptr<BYTE[]> out(new BYTE[size_t(c.capacity)]);
        std::memset(out.get(), 0xEE, size_t(c.capacity));
        int count = -1;
        EXPECT_EQ(UTL_Scramble(in, c.n, out.get(), &count, c.capacity), c.rc);
        EXPECT_EQ(count, c.count);
        for (int i = 0; i < c.capacity; i++)
            EXPECT_EQ(out[size_t(i)], i < c.count ? BYTE(in[i] ^ UTL_SCRAMBLE_KEY[i % 4]) : 0xEE) << "byte " << i;
    }
}

TEST(EncodeBytes, ScramblesThenWritesBase64)
{
    struct Case {
        std::string bytes;
        const char *text;
    } cases[] = {
        /* F3 A4 EC | C5 C2 A9 -> 60 58 19 44 | 49 28 10 41 */
        {"Tarvel", "86TsxcKp"},
        /* an empty text is stored as one zero byte: A7 -> 41 48 */
        {std::string(1, '\0'), "pw=="},
    };
    for (const auto &c : cases) {
        int cap = UTL_Base64EncodedSize(int(c.bytes.size()));
        std::unique_ptr<char[]> out(new char[size_t(cap)]);
        int count = -1;
        ASSERT_EQ(UTL_EncodeBytes(bytes_of(c.bytes.data()), int(c.bytes.size()), out.get(), &count, cap), 0);
        EXPECT_EQ(std::string(out.get(), size_t(count)), c.text);

        std::string text(c.text);
        std::unique_ptr<BYTE[]> back(new BYTE[c.bytes.size()]);
        ASSERT_EQ(UTL_DecodeBytes(text.data(), int(text.size()), back.get(), &count, int(c.bytes.size())), 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(back.get()), size_t(count)), c.bytes);
    }
}

TEST(EncodeBytes, Failures)
{
    char text[16];
    BYTE bytes[16];
    int count = -1;
    /* Too small for the text and its spare byte. */
    EXPECT_EQ(UTL_EncodeBytes(bytes_of("Tarvel"), 6, text, &count, 8), -3);
    EXPECT_EQ(count, 0);

    /* Six bytes decoded, room for five: stops after the whole group of four. */
    EXPECT_EQ(UTL_DecodeBytes("86TsxcKp", 8, bytes, &count, 5), -3);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(std::memcmp(bytes, "Tarv", 4), 0);
    /* Text that decodes to no byte leaves nothing to unscramble. */
    EXPECT_EQ(UTL_DecodeBytes("86", 2, bytes, &count, 16), -2);
    EXPECT_EQ(UTL_DecodeBytes("8", 1, bytes, &count, 16), -2);
    /* White space inside the text changes nothing. */
    EXPECT_EQ(UTL_DecodeBytes("86Ts\r\nxcKp\n", 11, bytes, &count, 16), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(bytes), size_t(count)), "Tarvel");
}
