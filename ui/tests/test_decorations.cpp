// Geometry of the page decorations: bitmap watermark sizes as a table
// worked out by hand (300 pixels at 3,780 pixels per metre, scale 1,000,
// 600 dpi: 300 / 3,780 x 1,000 x 600 / 25.4 = 1,874.7, cut to 1,874), and
// the decoration area of each box of the renderer's query.
#include "doc_events.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Decorations, BitmapWatermarkSizes)
{
    struct Row {
        LONG width, height, ppmX, ppmY;
        DWORD scale;
        int resolution;
        LONG w, h;
        int answer;
    } rows[] = {
        {300, 300, 3780, 3780, 1000, 600, 1874, 1874, 1},
        {300, 300, 3780, 3780, 500, 600, 937, 937, 1},
        {300, 150, 0, 0, 1000, 600, 1874, 937, 1},          /* no pixels per metre: 3,780 */
        {300, -150, 3780, 3780, 1000, 600, 1874, 937, 1},   /* a top-down bitmap: |height| */
        {300, 300, 7560, 3780, 1000, 300, 468, 937, 1},     /* 300 / 7,560 x 1,000 x 300 / 25.4 = 468.7 */
        {300, 300, 3780, 3780, 0, 600, 0, 0, 0},            /* scale 0: nothing drawn */
        {1, 1, 2147483647, 3780, 1000, 600, 0, 6, 0},       /* a side below one unit */
        {32768, 32768, 1, 1, 0xFFFFFFFF, 1200, 0, 0, 0},    /* too large for a device unit */
    };
    for (const Row &r : rows) {
        BITMAPINFOHEADER h{};
        h.biSize = 40;
        h.biWidth = r.width;
        h.biHeight = r.height;
        h.biXPelsPerMeter = r.ppmX;
        h.biYPelsPerMeter = r.ppmY;
        LONG w = -1, hh = -1;
        EXPECT_EQ(DOC_BitmapWatermarkSize(&h, r.scale, r.resolution, &w, &hh), r.answer) << r.width << " " << r.scale;
        EXPECT_EQ(w, r.w) << r.width << " " << r.scale;
        EXPECT_EQ(hh, r.h) << r.width << " " << r.scale;
    }
    LONG w = 5, h = 5;
    EXPECT_EQ(DOC_BitmapWatermarkSize(nullptr, 1000, 600, &w, &h), 0);
}

TEST(Decorations, TheAreaOfEachBox)
{
    BYTE query[44] = {};
    const float boxA[4] = {100.5f, 200.0f, 4900.75f, 6400.0f};
    const float boxB[4] = {5100.0f, 6600.0f, 0.0f, 0.0f}; /* corners in either order */
    std::memcpy(query + 12, boxA, sizeof boxA);
    std::memcpy(query + 28, boxB, sizeof boxB);
    LONG w = 0, h = 0;
    EXPECT_EQ(DOC_GetDrawArea(query, 1, &w, &h), 1);
    EXPECT_EQ(w, 4800);
    EXPECT_EQ(h, 6200);
    EXPECT_EQ(DOC_GetDrawArea(query, 0, &w, &h), 1);
    EXPECT_EQ(w, 5100);
    EXPECT_EQ(h, 6600);
    EXPECT_EQ(DOC_GetDrawArea(query, 2, &w, &h), 1) << "any selector but 1 is box B";
    EXPECT_EQ(w, 5100);
    const float huge[4] = {-3.0e38f, 0.0f, 3.0e38f, 1.0f};
    std::memcpy(query + 12, huge, sizeof huge);
    EXPECT_EQ(DOC_GetDrawArea(query, 1, &w, &h), 1);
    EXPECT_EQ(w, 0) << "an area no device unit can hold";
    EXPECT_EQ(h, 1);
}
