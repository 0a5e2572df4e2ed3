// The job-information entries the renderer fills: the SIZE text and the
// INTRAY numbers, against the vocabulary's tables.
#include "job_info_fill.h"

#include <gtest/gtest.h>

namespace {

TEST(JobInfoFill, SizeTextShorterSideFirst)
{
    struct Case {
        LONG width, length;
        BOOL custom;
        const char *text;
    } cases[] = {
        {2100, 2970, FALSE, "210.0X297.0"},
        {2970, 2100, FALSE, "210.0X297.0"},
        {2100, 2970, TRUE, "*210.0X297.0"},
        {2159, 2794, FALSE, "215.9X279.4"},
        {1000, 1480, TRUE, "*100.0X148.0"},
    };
    for (const Case &c : cases) {
        char text[32];
        JIG_PageSizeText(c.width, c.length, c.custom, text, sizeof text);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(JobInfoFill, TrayNumbers)
{
    const struct {
        WORD code;
        DWORD number;
    } cases[] = {{7, 0},     {1, 1},     {272, 1},   {3, 2},     {271, 2},   {2, 3},   {261, 3}, {257, 4},
                 {262, 4},   {4, 5},     {260, 5},   {265, 201}, {266, 202}, {267, 203}, {0, 0x8000}, {999, 0x8000}};
    for (const auto &c : cases)
        EXPECT_EQ(JIG_TrayNumber(c.code), c.number) << c.code;
}

} // namespace
