// The UTF-16 entry of the text scrambler under the ANSI code pages 1252 and
// 932.  Expected texts are worked out by hand: the ANSI bytes XOR the key
// A7 C5 9E B3, then Base64.
#include <tarvel/base/scramble_wide.h>

#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/codepage.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

class ScrambleWide : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-scramble-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
    }
    void TearDown() override
    {
        plat::machine_reset(root.string());
        fs::remove_all(root);
    }
    /* The machine's ANSI code page (the code-page service's knob). */
    static void use_ansi_code_page(UINT cp) { plat::set_ansi_code_page(cp); }

    /* UTL_ScrambleWide's answer as a string; "<FALSE>" when it fails. */
    static std::u16string run(int mode, const std::u16string &text)
    {
        WCHAR *out = nullptr;
        if (!UTL_ScrambleWide(mode, text.c_str(), &out)) {
            EXPECT_EQ(out, nullptr);
            return u"<FALSE>";
        }
        std::u16string s(out);
        GlobalFree(out);
        return s;
    }
    fs::path root;
};

TEST_F(ScrambleWide, CodePage1252)
{
    use_ansi_code_page(1252);
    struct Case {
        std::u16string text;
        std::u16string stored;
    } cases[] = {
        /* 54 61 72 76 65 6C -> F3 A4 EC C5 C2 A9 */
        {u"Tarvel", u"86TsxcKp"},
        /* 43 61 66 E9 -> E4 A4 F8 5A */
        {u"Caf\u00E9", u"5KT4Wg=="},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(1, c.text), c.stored);
        EXPECT_EQ(run(0, c.stored), c.text);
        EXPECT_EQ(run(2, c.stored), c.text) << "any mode but 1 decodes";
    }
    /* A character the code page lacks becomes "?" (3F -> 98), as the ANSI
     * conversion writes it. */
    EXPECT_EQ(run(1, u"\u65E5"), u"mA==");
    EXPECT_EQ(run(0, u"mA=="), u"?");
}

TEST_F(ScrambleWide, CodePage932)
{
    use_ansi_code_page(932);
    struct Case {
        std::u16string text;
        std::u16string stored;
    } cases[] = {
        /* 93 FA 96 7B -> 34 3F 08 C8 */
        {u"\u65E5\u672C", u"ND8IyA=="},
        /* 41 93 FA -> E6 56 64 */
        {u"A\u65E5", u"5lZk"},
        {u"Tarvel", u"86TsxcKp"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(1, c.text), c.stored);
        EXPECT_EQ(run(0, c.stored), c.text);
    }
}

TEST_F(ScrambleWide, Failures)
{
    use_ansi_code_page(1252);
    WCHAR *out = reinterpret_cast<WCHAR *>(this);
    EXPECT_FALSE(UTL_ScrambleWide(1, nullptr, &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(UTL_ScrambleWide(1, u"", &out));
    EXPECT_FALSE(UTL_ScrambleWide(1, u"abc", nullptr));
    EXPECT_EQ(run(0, u"A"), u"<FALSE>") << "one character decodes to no byte";
    EXPECT_EQ(run(0, u"86"), u"<FALSE>");
    /* White space inside stored text is skipped. */
    EXPECT_EQ(run(0, u"86Ts\r\nxcKp"), u"Tarvel");
}
