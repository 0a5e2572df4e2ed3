// Fixture of the brush and path tests: a device context (live magics, the
// settings of a job devmode the test shapes, the job's colour object and
// colour scan state) whose channel is open on a capturing writer, a target
// surface that names it, and the bytes written listed by the job lister as
// one compact line per operator (embedded data as hex).
#ifndef RENDER_TESTS_DRAW_TEST_SUPPORT_H
#define RENDER_TESTS_DRAW_TEST_SUPPORT_H

#include "blt_image_output.h"
#include "clr_color_object.h"
#include "draw_functions.h"
#include "pth_path_state.h"

#include "job_listing.h"
#include "test_pdev_support.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace draw_test {

using pdev_test::JobDevmode;

/* The settings every drawing test starts from: 600 dpi colour, pattern scale 8 (hatches 4). */
inline void baseSettings(JobDevmode &dm)
{
    dm.resolution(600);
    dm.set(386, 0);
    dm.set(348, 150);
}

/* One operator as a line: the lister's compact form, then its embedded data as hex. */
inline std::string line(const pxllist::Record &r)
{
    std::string s = job_test::compact(r);
    if (r.has_data)
        s += " data=" + hex(Bytes(r.data.begin(), r.data.end()));
    return s;
}

class DrawTest : public pdev_test::PdevTest {
protected:
    void TearDown() override
    {
        close();
        pdev_test::PdevTest::TearDown();
    }

    /* Opens the context with the settings of `dm` (baseSettings unless the test shaped its own). */
    void open(JobDevmode &dm)
    {
        close();
        OUT_SetTestSink(captureWriter);
        pdev = std::make_unique<PdevContext>();
        pdev->headMagic = pdev->tailMagic = PDEV_MAGIC;
        std::memcpy(pdev->settings, dm.bytes(), SETTINGS_IMAGE_SIZE);
        pdev->sheetRotation = SHEET_ROTATE_NONE;
        pdev->channel = OUT_CreateChannel(nullptr);
        ASSERT_NE(pdev->channel, nullptr);
        ASSERT_EQ(OUT_OpenOnPrinter(pdev->channel, &capture), 0);
        XL_InvalidateState(pdev.get());
        ASSERT_EQ(CLR_CreateColorObject(&pdev->colorObject, pdev->settings, nullptr, nullptr), 0);
        ASSERT_EQ(BLT_CreateColorScanState(pdev.get()), 0);
        target = SURFOBJ{};
        target.dhpdev = reinterpret_cast<DHPDEV>(pdev.get());
    }

    void open()
    {
        JobDevmode dm;
        baseSettings(dm);
        open(dm);
    }

    void close()
    {
        if (!pdev)
            return;
        CLR_FreeColorObject(pdev->colorObject);
        BLT_FreeColorScanState(pdev.get());
        XL_FreeCtmTracker(pdev->ctmTracker);
        OUT_FreeChannel(pdev->channel);
        OUT_SetTestSink(nullptr);
        pdev.reset();
        capture.reset();
    }

    PdevContext *ctx() { return pdev.get(); }

    /* Every operator written since the last take, one line each; the lister must accept them. */
    std::vector<std::string> ops()
    {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        std::string bytes = ") HP-PCL XL;2;1;test\n" + std::string(capture.bytes.begin(), capture.bytes.end());
        capture.reset();
        pxllist::Options options;
        options.stream_body = true;
        pxllist::Listing listing;
        std::span<const uint8_t> span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        EXPECT_TRUE(pxllist::ListJob(span, options, &listing)) << pxllist::FormatError(listing.error);
        /* Point lists as the absolute points the printer ends up with, whatever runs the writer chose. */
        std::vector<std::string> out;
        int32_t cx = 0, cy = 0;
        for (const pxllist::Record &r : listing.records) {
            if (r.kind != pxllist::RecordKind::kOperator)
                continue;
            if (pxllist::FindAttribute(r, pxllist::attr::kNumberOfPoints)) {
                const bool rel = r.op == pxllist::op::kLineRelPath || r.op == pxllist::op::kBezierRelPath;
                const bool bezier = r.op == pxllist::op::kBezierPath || r.op == pxllist::op::kBezierRelPath;
                std::string l = bezier ? "BezierPath" : "LinePath";
                int32_t bx = cx, by = cy;
                for (size_t i = 0; i < r.points.size(); i++) {
                    cx = rel ? bx + r.points[i].x : r.points[i].x;
                    cy = rel ? by + r.points[i].y : r.points[i].y;
                    l += " " + std::to_string(cx) + "," + std::to_string(cy);
                    if (!bezier || i % 3 == 2)
                        bx = cx, by = cy;
                }
                out.push_back(l);
                continue;
            }
            const pxllist::Attribute *p = pxllist::FindAttribute(
                r, r.op == pxllist::op::kSetCursor ? pxllist::attr::kPoint : pxllist::attr::kEndPoint);
            if ((r.op == pxllist::op::kSetCursor || r.op == pxllist::op::kLinePath) && p) {
                cx = int32_t(p->values[0]);
                cy = int32_t(p->values[1]);
            }
            out.push_back(line(r));
        }
        return out;
    }

    Capture capture;
    std::unique_ptr<PdevContext> pdev;
    SURFOBJ target{};
};

/* Lines for printing a failed comparison one per row. */
inline std::string joined(const std::vector<std::string> &lines)
{
    std::string s;
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

} // namespace draw_test

#endif /* RENDER_TESTS_DRAW_TEST_SUPPORT_H */
