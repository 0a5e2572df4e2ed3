/*
 * MD5 against the test suite of RFC 1321 (appendix A.5), fed whole, split
 * at every position and byte by byte, so block boundaries and the padding
 * of every length modulo 64 are covered.
 */
#include <tarvel/base/md5.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(const BYTE (&digest)[MD5_DIGEST_SIZE])
{
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (BYTE b : digest) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

struct Vector {
    const char *message;
    const char *digest;
};

const Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321TestSuite)
{
    for (const Vector &v : kRfc1321) {
        SCOPED_TRACE(v.message);
        BYTE digest[MD5_DIGEST_SIZE];
        MD5_Digest(v.message, std::string(v.message).size(), digest);
        EXPECT_EQ(hex(digest), v.digest);
    }
}

TEST(Md5, PiecesGiveTheDigestOfTheWhole)
{
    for (const Vector &v : kRfc1321) {
        std::string m = v.message;
        for (size_t split = 0; split <= m.size(); ++split) {
            SCOPED_TRACE(m + " split at " + std::to_string(split));
            Md5Context c;
            MD5_Init(&c);
            MD5_Update(&c, m.data(), split);
            MD5_Update(&c, m.data() + split, m.size() - split);
            BYTE digest[MD5_DIGEST_SIZE];
            MD5_Final(digest, &c);
            EXPECT_EQ(hex(digest), v.digest);
        }
        Md5Context c;
        MD5_Init(&c);
        for (char ch : m)
            MD5_Update(&c, &ch, 1);
        BYTE digest[MD5_DIGEST_SIZE];
        MD5_Final(digest, &c);
        EXPECT_EQ(hex(digest), v.digest);
    }
}

TEST(Md5, FinalWipesTheContextAndInitStartsAgain)
{
    Md5Context c;
    MD5_Init(&c);
    MD5_Update(&c, "abc", 3);
    BYTE first[MD5_DIGEST_SIZE];
    MD5_Final(first, &c);
    const Md5Context zero{};
    EXPECT_EQ(std::memcmp(&c, &zero, sizeof c), 0);
    MD5_Init(&c);
    MD5_Update(&c, "abc", 3);
    BYTE second[MD5_DIGEST_SIZE];
    MD5_Final(second, &c);
    EXPECT_EQ(hex(second), hex(first));
}

} // namespace
