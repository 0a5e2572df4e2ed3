// `tarvel print` in every layout and mode it offers: the test document (title,
// drawing, image and text pages) printed N-up, as booklets and posters,
// duplex, with copies collated by the driver or by the printer, in reverse,
// in monochrome and automatic colour, at each resolution of the standard
// model, watermarked and annotated.  Every job must list cleanly under the
// job lister's printer rules, print its pages and end its session.
#include "host_job_test.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace op = pxllist::op;

class HostPrintLayouts : public HostJobTest {
protected:
    HostPrintLayouts() : HostJobTest("tarvel-layouts-") {}
};

/* How many top-level operators of the job are `code`. */
int jobCount(const pxllist::Listing &l, uint8_t code)
{
    int n = 0;
    for (const pxllist::Record &r : l.records)
        n += r.kind == pxllist::RecordKind::kOperator && r.op == code && r.depth == 0;
    return n;
}

TEST_F(HostPrintLayouts, EveryLayoutAndModeListsCleanly)
{
    struct Case {
        const char *options;
        int pages; /* BeginPage operators the job holds (the standard model's printer duplexes: no blank backs) */
    } const cases[] = {
        {"", 4},
        {"--pages 4 --nup 2", 2},
        {"--pages 4 --nup 4", 1},
        {"--pages 8 --nup 8", 1},
        {"--pages 16 --nup 16", 1},
        {"--pages 5 --nup 2 --duplex long", 3},
        {"--pages 8 --booklet whole", 4},
        {"--pages 9 --booklet split:2", 6},
        {"--pages 8 --booklet sets:1", 4},
        {"--pages 4 --poster 2", 16},
        {"--pages 2 --poster 3", 18},
        {"--pages 1 --poster 4", 16},
        {"--pages 4 --duplex long", 4},
        {"--pages 3 --duplex short", 3},
        {"--pages 3 --duplex manual-long", 3},
        {"--pages 3 --duplex manual-short", 3},
        {"--pages 2 --copies 3 --collate", 6},
        {"--pages 2 --copies 3 --no-collate", 2},
        {"--pages 4 --reverse", 4},
        {"--pages 4 --colour mono", 4},
        {"--pages 4 --colour auto", 4},
        {"--pages 4 --resolution 600", 4},
        {"--pages 4 --resolution 1200", 4},
        {"--pages 4 --resolution 1200x600", 4},
        {"--pages 4 --resolution 600x300", 4},
        {"--pages 5 --watermark CONFIDENTIAL", 5},
        {"--pages 4 --annotate page:bottom-right,user:top-left", 4},
        {"--pages 6 --nup 4 --watermark SHEET --watermark-sheet --annotate date:top", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        int status = -1;
        const std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << out;
        const pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok) << pxllist::FormatError(l.error);
        EXPECT_EQ(jobCount(l, op::kBeginPage), c.pages);
        EXPECT_EQ(jobCount(l, op::kEndPage), jobCount(l, op::kBeginPage));
        EXPECT_EQ(jobCount(l, op::kBeginSession), 1);
        EXPECT_EQ(jobCount(l, op::kEndSession), 1);
    }
}

} // namespace
