// `tarvel print` end to end: the built-in test document through the GDI
// stand-in, the rendering library and the spooler into a job file that the
// job lister accepts; the options reach the job; every refused road ends
// with a message and a non-zero exit.
#include "pxllist/pxllist.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class HostPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("tarvel-print-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        job = (dir / "job.prn").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string print(const std::string &options, int *status)
    {
        return run("--machine " + (dir / "machine").string() + " print -o " + job + " " + options, status);
    }

    std::string jobBytes() const
    {
        std::ifstream in(job, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    /* The job's records, checked by the lister. */
    pxllist::Listing listed() const
    {
        std::string bytes = jobBytes();
        pxllist::Listing l;
        EXPECT_TRUE(pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()),
                                                             bytes.size()),
                                     {}, &l))
            << pxllist::FormatError(l.error);
        return l;
    }

    static int count(const pxllist::Listing &l, uint8_t op)
    {
        int n = 0;
        for (const auto &r : l.records)
            n += r.kind == pxllist::RecordKind::kOperator && r.op == op;
        return n;
    }

    static bool hasLine(const pxllist::Listing &l, const std::string &text)
    {
        for (const auto &r : l.records)
            if (r.kind == pxllist::RecordKind::kPjlLine && r.text == text)
                return true;
        return false;
    }

    std::filesystem::path dir;
    std::string job;
};

TEST_F(HostPrint, PrintsTheTestDocumentAndInstallsThePrinterOnFirstUse)
{
    int status = -1;
    std::string out = print("--pages 2 --paper A4", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Installed printer \"Tarvel CX 1500\""), std::string::npos) << out;
    EXPECT_NE(out.find("Printed 2 pages to " + job), std::string::npos) << out;
    pxllist::Listing l = listed();
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2);
    EXPECT_EQ(count(l, pxllist::op::kEndSession), 1);
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO LOGICALPAGES=2"));
    EXPECT_TRUE(hasLine(l, "@PJL EOJ"));

    /* the second run finds the printer */
    out = print("--pages 1", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("Installed"), std::string::npos) << out;
}

TEST_F(HostPrint, OptionsReachTheJob)
{
    int status = -1;
    std::string out = print("--pages 3 --paper A4 --duplex long --copies 2 --no-collate --resolution 600 --colour mono", &status);
    ASSERT_EQ(status, 0) << out;
    pxllist::Listing l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL SET DUPLEX=ON"));
    EXPECT_TRUE(hasLine(l, "@PJL SET COPIES=2"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO DUPLEXTYPE=DUPLEX"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGECOPIES=2"));
    EXPECT_NE(jobBytes().find("QZPC=01"), std::string::npos) << "monochrome pages";

    out = print("--pages 5 --nup 4 --nup-order 3", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2);
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO NUP=4"));

    /* page 2 (the drawing page, a colour page) on Letter, turned */
    out = print("--pages 3 --paper A4 --page 2:Letter:landscape", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[210.0X297.0]:MODE[EMPTY]::INTRAY[0]:DUPLEX[SIMPLEX]"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[215.9X279.4]:MODE[COLOR]:COLORS[0]:INTRAY[0]:DUPLEX[SIMPLEX]"));

    /* a page of its own paper without --paper: page 1 on the printer's Letter, page 2 on A4 */
    out = print("--pages 2 --page 2:A4", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[215.9X279.4]:MODE[EMPTY]::INTRAY[0]:DUPLEX[SIMPLEX]"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[210.0X297.0]:MODE[COLOR]:COLORS[0]:INTRAY[0]:DUPLEX[SIMPLEX]"));
}

TEST_F(HostPrint, CopiesAreUncollatedUnlessAsked)
{
    /* the model's default collates; --copies alone leaves the copies to the printer, as --help says */
    int status = -1;
    std::string out = print("--pages 2 --copies 3", &status);
    ASSERT_EQ(status, 0) << out;
    pxllist::Listing l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL SET COPIES=3"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO JOBCOPIES=1"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGECOPIES=3"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO ESTIMATEDSHEETS=6"));
}

TEST_F(HostPrint, RecordedJobsPrint)
{
    struct Case {
        const char *options;
        int beginPages;
        const char *line;
    } cases[] = {
        {"--pages 3 --colour auto", 3, "@PJL COMMENT QZJOBINFO LOGICALPAGES=3"},
        {"--pages 2 --copies 3 --collate", 6, "@PJL COMMENT QZJOBINFO JOBCOPIES=1"},
        {"--pages 3 --reverse", 3, "@PJL COMMENT QZJOBINFO PAGEORDER=NTO1"},
        {"--pages 3 --duplex manual-long", 3, "@PJL SET DUPLEX=ON"},
        {"--pages 3 --duplex long --copies 2 --collate --reverse", 8, "@PJL SET DUPLEX=ON"},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << c.options << "\n" << out;
        pxllist::Listing l = listed();
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), c.beginPages) << c.options;
        EXPECT_TRUE(hasLine(l, c.line)) << c.options;
    }
    /* blank pages of an automatic-colour job are announced monochrome */
    int status = -1;
    ASSERT_EQ((print("--pages 1 --colour auto", &status), status), 0);
    EXPECT_NE(jobBytes().find("QZPC=01"), std::string::npos);
    EXPECT_EQ(jobBytes().find("QZPC=03"), std::string::npos);
}

/* Page 2 is the vector drawing page: in colour and in monochrome the lister reads it whole. */
TEST_F(HostPrint, TheDrawingPageListsCleanlyInColourAndMonochrome)
{
    for (const char *colour : {"colour", "mono"}) {
        int status = -1;
        std::string out = print(std::string("--pages 2 --colour ") + colour, &status);
        ASSERT_EQ(status, 0) << colour << "\n" << out;
        pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok) << colour;
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2) << colour;
        EXPECT_EQ(count(l, pxllist::op::kEllipse), 2) << colour;
        EXPECT_EQ(count(l, pxllist::op::kRectangle), 21) << colour << ": 3 shapes, the cut one, 12 hatches, 5 in the last row";
        EXPECT_EQ(count(l, pxllist::op::kPaintPath), 11) << colour << ": wave, drop, 2 stars, 3 wide, 3 dashed, the disc";
        EXPECT_EQ(count(l, pxllist::op::kBezierRelPath) + count(l, pxllist::op::kBezierPath), 3) << colour;
        EXPECT_EQ(count(l, pxllist::op::kSetClipReplace), 1) << colour << ": the region clip";
        EXPECT_EQ(count(l, pxllist::op::kBeginRastPattern), 16) << colour << ": 14 hatches and 2 patterns";
        EXPECT_EQ(count(l, pxllist::op::kSetLineDash), 4) << colour << ": solid, styled, alternate, dashed";
    }
}

TEST_F(HostPrint, AnEmptyDocumentIsAnEmptyJobFile)
{
    int status = -1;
    std::string out = print("--pages 0", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(jobBytes(), "");
}

TEST_F(HostPrint, RefusedRoadsAndBadOptionsFailWithAMessage)
{
    struct Case {
        const char *options;
        int status;
        const char *message;
    } cases[] = {
        {"--duplex manual-none", 2, "duplex is none, long, short, manual-long or manual-short"},
        {"--paper Foolscap", 2, "unknown paper 'Foolscap'"},
        {"--nup 3", 2, "--nup takes 1, 2, 4, 8, 16 or 32"},
        {"--pages 2 --page 5:A3", 2, "--page 5 is beyond the document's 2 pages"},
        {"--pages", 2, "option '--pages' needs a value"},
        {"--frobnicate 1", 2, "unknown option '--frobnicate'"},
        {"--printer \"Missing\" --model NOSUCH.DDD", 1, "tarvel print:"},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(c.options, &status);
        EXPECT_EQ(status, c.status) << c.options << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.options << "\n" << out;
    }
    int status = -1;
    std::string out = run("print --help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("--page N:PAPER[:ORIENTATION]"), std::string::npos) << out;
}

} // namespace
