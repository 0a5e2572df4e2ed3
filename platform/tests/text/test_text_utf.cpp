// UTF-16 <-> UTF-8 conversion of the platform's own paths and diagnostics.
#include <plat/text.h>

#include <gtest/gtest.h>

TEST(TextUtf, RoundTripsBmpAndSupplementary)
{
    std::u16string s = u"A\u00e9\u65e5\U0001F600z";
    std::string u8 = plat::utf16_to_utf8(s);
    EXPECT_EQ(u8, "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z");
    EXPECT_EQ(plat::utf8_to_utf16(u8), s);
}

TEST(TextUtf, IllFormedInputBecomesReplacement)
{
    EXPECT_EQ(plat::utf16_to_utf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(plat::utf8_to_utf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(plat::utf8_to_utf16("a\xFF" "b"), u"a\uFFFDb");
}
