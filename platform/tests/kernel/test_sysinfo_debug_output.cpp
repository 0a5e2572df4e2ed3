// Debugger output: captured in a log tests read and clear, echoed to stderr
// on request.
#include "test_loader_fixture.h"

#include <plat/debug.h>

#include <cstdlib>

class DebugOutput : public FreshMachine {};

TEST_F(DebugOutput, CollectsWideAndNarrowText)
{
    EXPECT_EQ(plat::debug_output(), u"");
    OutputDebugStringW(u"line one\r\n");
    OutputDebugStringA("line two \xE9\r\n");
    OutputDebugStringW(nullptr);
    OutputDebugStringA(nullptr);
    EXPECT_EQ(plat::debug_output(), u"line one\r\nline two \u00E9\r\n");
    plat::debug_clear();
    EXPECT_EQ(plat::debug_output(), u"");
}

TEST_F(DebugOutput, ResetClearsTheLog)
{
    OutputDebugStringW(u"left over");
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(plat::debug_output(), u"");
}

TEST_F(DebugOutput, EchoesToStderrWhenAsked)
{
    ASSERT_EQ(setenv("TARVEL_DEBUG_ECHO", "1", 1), 0);
    testing::internal::CaptureStderr();
    OutputDebugStringW(u"echo \u00E9\n");
    const std::string err = testing::internal::GetCapturedStderr();
    unsetenv("TARVEL_DEBUG_ECHO");
    EXPECT_EQ(err, "echo \xC3\xA9\n");

    testing::internal::CaptureStderr();
    OutputDebugStringW(u"quiet\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(plat::debug_output(), u"echo \u00E9\nquiet\n");
}

TEST_F(DebugOutput, KeepsOnlyTheNewestText)
{
    const size_t mi = size_t(1) << 20;
    for (char16_t letter = u'a'; letter <= u'e'; letter++)
        OutputDebugStringW(std::u16string(mi, letter).c_str());
    OutputDebugStringW(u"tail");
    std::u16string log = plat::debug_output();
    EXPECT_LE(log.size(), 4 * mi);
    EXPECT_GE(log.size(), 3 * mi);
    EXPECT_EQ(log.substr(log.size() - mi - 4), std::u16string(mi, u'e') + u"tail");
    EXPECT_EQ(log.find(u"aaaa"), std::u16string::npos);

    /* One text larger than the whole log keeps its newest part. */
    std::u16string huge(5 * mi, u'x');
    huge.back() = u'!';
    OutputDebugStringW(huge.c_str());
    log = plat::debug_output();
    EXPECT_GE(log.size(), 3 * mi);
    EXPECT_LE(log.size(), 4 * mi);
    EXPECT_EQ(log.back(), u'!');
    EXPECT_EQ(log.find(u"eeee"), std::u16string::npos);
}
