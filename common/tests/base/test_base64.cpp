// Base64 encoder and decoder: RFC 4648 vectors, round trips (also through
// the scrambler), the capacity rules, white space, padding and characters
// outside the alphabet.  Inputs
// and outputs live in exact-size heap buffers so that the sanitizer sees any
// access past them.
#include <tarvel/base64.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

/* A heap copy of `s` of exactly s.size() bytes, without a terminator. */
std::unique_ptr<char[]> exact(const std::string &s)
{
    std::unique_ptr<char[]> p(new char[s.size() ? s.size() : 1]);
    std::memcpy(p.get(), s.data(), s.size());
    return p;
}

/* Decodes `text` (read through an exact-size buffer) with ample capacity. */
std::string decode(const std::string &text, int *rc = nullptr)
{
    auto in = exact(text);
    std::vector<BYTE> out(text.size() + 3);
    int count = -1;
    int r = UTL_Base64Decode(in.get(), int(text.size()), out.data(), &count, int(out.size()));
    if (rc)
        *rc = r;
    return std::string(reinterpret_cast<const char *>(out.data()), size_t(count));
}

std::string encode(const std::string &bytes)
{
    std::vector<char> out(size_t(UTL_Base64EncodedSize(int(bytes.size()))));
    int count = -1;
    EXPECT_EQ(UTL_Base64Encode(reinterpret_cast<const BYTE *>(bytes.data()), int(bytes.size()), out.data(), &count,
                               int(out.size())),
              0);
    return std::string(out.data(), size_t(count));
}

} // namespace

TEST(Base64, Rfc4648Vectors)
{
    struct Case {
        const char *bytes;
        const char *text;
    } cases[] = {
        {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(encode(c.bytes), c.text);
        EXPECT_EQ(decode(c.text), c.bytes);
    }
}

TEST(Base64, EncodedSizeRule)
{
    struct Case {
        int n;
        int size;
    } cases[] = {
        {0, 1}, {1, 5}, {2, 5}, {3, 5}, {4, 9}, {-1, -10}, {INT_MIN, -10},
        {1610612733, 2147483645}, /* the largest n whose size is an int */
        {1610612734, -10},        {INT_MAX, -10},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UTL_Base64EncodedSize(c.n), c.size) << "n = " << c.n;
}

TEST(Base64, RoundTripEveryLengthUpTo64)
{
    /* Plain Base64, and scrambled Base64 (the same signatures). */
    struct Pair {
        const char *name;
        int (*encode)(const BYTE *, int, char *, int *, int);
        int (*decode)(const char *, int, BYTE *, int *, int);
    } pairs[] = {
        {"Base64", UTL_Base64Encode, UTL_Base64Decode},
        {"scrambled", UTL_EncodeBytes, UTL_DecodeBytes},
    };
    for (const auto &p : pairs)
        for (int n = 0; n <= 64; n++) {
            SCOPED_TRACE(testing::Message() << p.name << " n " << n);
            std::vector<BYTE> bytes(size_t(n) + 1);
            for (int i = 0; i < n; i++)
                bytes[size_t(i)] = BYTE(i * 73 + 250); /* high and low values alike */
            int expectLen = (n + 2) / 3 * 4;
            int cap = UTL_Base64EncodedSize(n);
            ASSERT_EQ(cap, expectLen + 1);
            std::unique_ptr<char[]> text(new char[size_t(cap)]);
            std::memset(text.get(), '#', size_t(cap));
            int count = -1;
            int rc = p.encode(bytes.data(), n, text.get(), &count, cap);
            if (n == 0) {
                EXPECT_EQ(rc, -2);
                EXPECT_EQ(count, 0);
                continue;
            }
            ASSERT_EQ(rc, 0);
            ASSERT_EQ(count, expectLen);
            EXPECT_EQ(text[size_t(count)], '#') << "no terminator is written";
            std::string s(text.get(), size_t(count));
            EXPECT_EQ(s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                      std::string::npos);
            size_t pad = n % 3 == 0 ? 0 : 3 - size_t(n % 3);
            EXPECT_EQ(s.find('='), pad ? s.size() - pad : std::string::npos);

            /* The decoder asks for three bytes per four characters. */
            int dcap = (count + 3) / 4 * 3;
            std::unique_ptr<BYTE[]> back(new BYTE[size_t(dcap)]);
            int got = -1;
            ASSERT_EQ(p.decode(text.get(), count, back.get(), &got, dcap), 0);
            ASSERT_EQ(got, n);
            EXPECT_EQ(std::memcmp(back.get(), bytes.data(), size_t(n)), 0);
        }
}

TEST(Base64, EncoderCapacityCoversTheWholeText)
{
    /* The text takes 4 * ceil(n / 3) bytes and the check asks one more;
     * capacities that floor(4n / 3) + 1 would let through are refused. */
    struct Case {
        int n;
        int capacity;
        int rc;
    } cases[] = {
        {1, 2, -3}, {1, 4, -3}, {1, 5, 0}, {2, 3, -3}, {2, 4, -3}, {2, 5, 0},
        {3, 4, -3}, {3, 5, 0},  {4, 8, -3}, {4, 9, 0}, {6, 8, -3}, {6, 9, 0},
    };
    const BYTE in[6] = {'f', 'o', 'o', 'b', 'a', 'r'};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " capacity " << c.capacity);
        std::unique_ptr<char[]> out(new char[size_t(c.capacity)]);
        std::memset(out.get(), '#', size_t(c.capacity));
        int count = -1;
        EXPECT_EQ(UTL_Base64Encode(in, c.n, out.get(), &count, c.capacity), c.rc);
        EXPECT_EQ(count, c.rc == 0 ? (c.n + 2) / 3 * 4 : 0);
        if (c.rc != 0) {
            EXPECT_EQ(std::string(out.get(), size_t(c.capacity)), std::string(size_t(c.capacity), '#'));
        }
    }
}

TEST(ByteRoutines, ArgumentErrors)
{
    /* Every byte routine checks its pointers (-1) before its sizes (-2) and
     * clears the out count first. */
    using Routine = int (*)(const void *, int, void *, int *, int);
    struct Case {
        const char *name;
        Routine run;
    } cases[] = {
        {"Scramble", [](const void *i, int n, void *o, int *c, int cap) {
             return UTL_Scramble(static_cast<const BYTE *>(i), n, static_cast<BYTE *>(o), c, cap);
         }},
        {"Base64Encode", [](const void *i, int n, void *o, int *c, int cap) {
             return UTL_Base64Encode(static_cast<const BYTE *>(i), n, static_cast<char *>(o), c, cap);
         }},
        {"Base64Decode", [](const void *i, int n, void *o, int *c, int cap) {
             return UTL_Base64Decode(static_cast<const char *>(i), n, static_cast<BYTE *>(o), c, cap);
         }},
        {"EncodeBytes", [](const void *i, int n, void *o, int *c, int cap) {
             return UTL_EncodeBytes(static_cast<const BYTE *>(i), n, static_cast<char *>(o), c, cap);
         }},
        {"DecodeBytes", [](const void *i, int n, void *o, int *c, int cap) {
             return UTL_DecodeBytes(static_cast<const char *>(i), n, static_cast<BYTE *>(o), c, cap);
         }},
    };
    const char in[] = "Zm9vYmFy";
    char out[16];
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int count = 99;
        EXPECT_EQ(c.run(nullptr, 8, out, &count, 16), -1);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(c.run(in, 8, nullptr, &count, 16), -1);
        EXPECT_EQ(c.run(in, 8, out, nullptr, 16), -1);
        EXPECT_EQ(c.run(nullptr, 0, out, &count, 0), -1) << "pointers first";
        count = 99;
        EXPECT_EQ(c.run(in, 0, out, &count, 16), -2);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(c.run(in, -8, out, &count, 16), -2);
        EXPECT_EQ(c.run(in, 8, out, &count, 0), -2);
        EXPECT_EQ(c.run(in, 8, out, &count, -16), -2);
    }
}

TEST(Base64, DecoderCapacityIsThreeBytesPerFourCharacters)
{
    BYTE out[12];
    int count = -1;
    EXPECT_EQ(UTL_Base64Decode("Zm9vYmFy", 8, out, &count, 5), -3);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(UTL_Base64Decode("Zm9vYmFy", 8, out, &count, 6), 0);
    EXPECT_EQ(count, 6);
    /* The rule counts the characters given, white space included. */
    EXPECT_EQ(UTL_Base64Decode("Zm9vYmFy\n", 9, out, &count, 8), -3);
    EXPECT_EQ(UTL_Base64Decode("Zm9vYmFy\n", 9, out, &count, 9), 0);
    EXPECT_EQ(count, 6);
}

TEST(Base64, WhiteSpaceIsSkipped)
{
    EXPECT_TRUE(UTL_IsBase64Space(' '));
    for (int c = 9; c <= 13; c++)
        EXPECT_TRUE(UTL_IsBase64Space(c)) << c;
    for (int c : {0, 8, 14, 31, 33, int('A'), int('='), 0xA0, -96})
        EXPECT_FALSE(UTL_IsBase64Space(c)) << c;

    const char *texts[] = {
        "Zm9v\r\nYmFy", " Zm9vYmFy", "Zm9vYmFy \t\n", "Z m 9 v Y m F y", "\vZm9v\fYmFy\r",
    };
    for (const char *t : texts)
        EXPECT_EQ(decode(t), "foobar") << '"' << t << '"';
    EXPECT_EQ(decode("Zm9v Yg = =\n"), "foob");
    int rc = -1;
    EXPECT_EQ(decode(" \r\n\t ", &rc), "");
    EXPECT_EQ(rc, 0);
}

TEST(Base64, DecoderStopsAtTheGivenLength)
{
    /* Each text sits in a buffer of exactly its size; n ends inside it. */
    struct Case {
        const char *text;
        int n;
        const char *bytes;
    } cases[] = {
        {"Zm9vYmFy", 6, "foo"},  /* a final group of two characters gives no byte */
        {"Zm9vYmE=", 7, "foob"}, /* a final group of three characters gives one */
        {"Zm9v    ", 8, "foo"},  /* trailing white space up to the last byte */
        {"Zm9v\n\n\n\n", 5, "foo"},
        {"Zg==", 3, "f"},
    };
    for (const auto &c : cases) {
        std::string text(c.text);
        auto in = exact(text);
        BYTE out[8];
        int count = -1;
        ASSERT_EQ(UTL_Base64Decode(in.get(), c.n, out, &count, 8), 0) << c.text;
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(out), size_t(count)), c.bytes) << c.text;
    }
}

TEST(Base64, PaddingAndForeignCharacters)
{
    struct Case {
        std::string text;
        std::string bytes;
    } cases[] = {
        {"Zg", ""},                     /* two characters without "=": no byte */
        {"Zm8", "f"},                   /* three characters: one byte */
        {"Zg==Zm8=", "f"},              /* the first "=" ends the decoding */
        {"Zm9v=Zm9v", "foo"},           /* a "=" opening a group ends it too */
        {"=Zm9v", ""},                  /* ... also at the start */
        {"Z=g=", ""},                   /* "=" as the second character: no byte */
        {"Zm9vY===", "foo"},            /* "=" as the second character of a later group */
        {std::string("Zm9v\0Zm9v", 9), "foo"}, /* a NUL ends the text */
        {"Zm*v", "f`/"},                /* '*' is outside the alphabet and counts 0 */
        {"Zm\xFFv", "f`/"},             /* so does a byte above 127 */
        {"Zm-v", "f`/"},
    };
    for (const auto &c : cases) {
        int rc = -1;
        EXPECT_EQ(decode(c.text, &rc), c.bytes) << '"' << c.text << '"';
        EXPECT_EQ(rc, 0);
    }
}
