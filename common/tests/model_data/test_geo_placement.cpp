/*
 * Placement of rotated items: the rotation matrix and offsets of both turn
 * modes for positive and negative angles, alignment by the two nibbles,
 * tiling counts with their limits, and the mapping of item points onto each
 * copy.  Expected values are worked out by hand from the placement rules.
 */
#include <tarvel/model_data/geo_placement.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-3f;

PlacementPoint map(const PlacementLayout &l, float x, float y, int copy = 0)
{
    PlacementPoint in{x, y}, out{-1, -1};
    EXPECT_EQ(GEO_MapItemPoint(&l, &in, copy, &out), 0);
    return out;
}

TEST(GeoPlacement, TilingAnUnturnedItem)
{
    SIZEL area{250, 250}, item{100, 100};
    PlacementLayout l{};
    ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, 0, 0, 0, &l), 9);
    EXPECT_EQ(l.columns, 3);
    EXPECT_EQ(l.rows, 3);
    EXPECT_FLOAT_EQ(l.sx, 100);
    EXPECT_FLOAT_EQ(l.sy, 100);
    EXPECT_FLOAT_EQ(l.m11, 1);
    EXPECT_FLOAT_EQ(l.m12, 0);
    EXPECT_FLOAT_EQ(l.tx, 0);
    EXPECT_FLOAT_EQ(l.ty, 0);
    /* Copy 5 is column 2, row 1. */
    PlacementPoint p = map(l, 10, 20, 5);
    EXPECT_FLOAT_EQ(p.x, 210);
    EXPECT_FLOAT_EQ(p.y, 120);
    PlacementPoint in{0, 0}, out{};
    EXPECT_EQ(GEO_MapItemPoint(&l, &in, 9, &out), -1) << "copies 0-8 only";
    EXPECT_EQ(GEO_MapItemPoint(&l, &in, -1, &out), -1);
}

TEST(GeoPlacement, TurnAboutTheCornerIntoThePositiveQuadrant)
{
    /* 30 degrees: s = 0.5, c = 0.8660; item 200 x 100. */
    const float s = 0.5f, c = std::sqrt(3.0f) / 2;
    SIZEL area{1000, 1000}, item{200, 100};
    PlacementLayout l{};
    ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, 30, 1, 0x101, &l), 1);
    EXPECT_NEAR(l.m11, c, kEps);
    EXPECT_NEAR(l.m12, s, kEps);
    EXPECT_NEAR(l.m21, -s, kEps);
    EXPECT_NEAR(l.m22, c, kEps);
    EXPECT_NEAR(l.tx, 0, kEps);
    EXPECT_NEAR(l.ty, 100, kEps); /* s x w */
    EXPECT_EQ(l.columns, 0);
    EXPECT_EQ(l.rows, 0);
    /* The corners land inside the box (w c + h s) x (w s + h c) = 223.2 x 186.6, touching its edges. */
    PlacementPoint a = map(l, 0, 0), b = map(l, 200, 0), d = map(l, 0, 100), e = map(l, 200, 100);
    EXPECT_NEAR(a.x, 0, kEps);
    EXPECT_NEAR(a.y, 100, kEps);
    EXPECT_NEAR(b.x, 200 * c, kEps);
    EXPECT_NEAR(b.y, 0, kEps);
    EXPECT_NEAR(d.x, 50, kEps);
    EXPECT_NEAR(d.y, 100 + 100 * c, kEps);
    EXPECT_NEAR(e.x, 200 * c + 50, kEps);
    EXPECT_NEAR(e.y, 100 * c, kEps);

    /* -30 degrees: tx = sin(30) x h = 50, ty = 0; same box. */
    ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, -30, 1, 0x101, &l), 1);
    EXPECT_NEAR(l.m12, -s, kEps);
    EXPECT_NEAR(l.tx, 50, kEps);
    EXPECT_NEAR(l.ty, 0, kEps);
    a = map(l, 0, 100);
    EXPECT_NEAR(a.x, 0, kEps);
    EXPECT_NEAR(a.y, 100 * c, kEps);
    b = map(l, 200, 0);
    EXPECT_NEAR(b.x, 50 + 200 * c, kEps);
    EXPECT_NEAR(b.y, 100, kEps);
}

TEST(GeoPlacement, AlignmentNibbles)
{
    /* 30 degrees, item 200 x 100: box 223.205 x 186.603 in an area of 1000 x 600. */
    const float bw = 200 * std::sqrt(3.0f) / 2 + 50, bh = 100 + 100 * std::sqrt(3.0f) / 2;
    SIZEL area{1000, 600}, item{200, 100};
    struct Case {
        DWORD alignment;
        float dx, dy; /* added to the turn's own offset (0, 100) */
    } cases[] = {
        {0x101, 0, 0},
        {0x203, (1000 - bw) / 2, 600 - bh},
        {0x302, 1000 - bw, (600 - bh) / 2},
        {0x201, (1000 - bw) / 2, 0},
        {0x400, 0, 0}, /* nibbles without a meaning move nothing, but it is still one aligned copy */
    };
    for (const Case &c : cases) {
        PlacementLayout l{};
        ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, 30, 1, c.alignment, &l), 1) << std::hex << c.alignment;
        EXPECT_NEAR(l.tx, c.dx, kEps) << std::hex << c.alignment;
        EXPECT_NEAR(l.ty, 100 + c.dy, kEps) << std::hex << c.alignment;
        EXPECT_EQ(l.columns, 0);
        PlacementPoint in{0, 0}, out{};
        EXPECT_EQ(GEO_MapItemPoint(&l, &in, 1, &out), -1) << "an aligned item has one copy";
    }
}

TEST(GeoPlacement, TurnAboutTheCentreKeepsTheCentre)
{
    SIZEL area{400, 300}, item{200, 100};
    for (SHORT angle : {0, 45, -45, 90, 180}) {
        PlacementLayout l{};
        ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, angle, GEO_TURN_ABOUT_CENTRE, 0x202, &l), 1);
        /* The box is the item's own: centred, it moves by (100, 100). */
        PlacementPoint centre = map(l, 100, 50);
        EXPECT_NEAR(centre.x, 200, kEps) << angle;
        EXPECT_NEAR(centre.y, 150, kEps) << angle;
    }
    PlacementLayout l{};
    ASSERT_EQ(GEO_LayoutRotatedItem(&area, &item, 90, GEO_TURN_ABOUT_CENTRE, 0, &l), 6);
    EXPECT_EQ(l.columns, 2);
    EXPECT_EQ(l.rows, 3);
}

TEST(GeoPlacement, TilingLimitsAndBadArguments)
{
    SIZEL area{250, 250}, item{100, 100};
    PlacementLayout l{};
    /* A right angle gives whole boxes: 200 over 100 is 2 columns, not 3. */
    SIZEL wide{200, 300};
    ASSERT_EQ(GEO_LayoutRotatedItem(&wide, &item, 90, 1, 0, &l), 2 * 3);

    SIZEL huge{2000000000, 2000000000}, dot{1, 1};
    ASSERT_EQ(GEO_LayoutRotatedItem(&huge, &dot, 0, 1, 0, &l), GEO_MAX_COPIES);
    EXPECT_EQ(l.columns, 65535);
    EXPECT_EQ(l.rows, 65535);
    PlacementPoint in{0, 0}, out{};
    EXPECT_EQ(GEO_MapItemPoint(&l, &in, GEO_MAX_COPIES - 1, &out), 0);

    SIZEL empty{0, 100};
    EXPECT_EQ(GEO_LayoutRotatedItem(&area, &empty, 0, 1, 0, &l), -1) << "an empty box cannot be tiled";
    EXPECT_EQ(GEO_LayoutRotatedItem(&area, &empty, 0, 1, 0x101, &l), 1) << "but it can be placed";
    SIZEL none{0, 0};
    EXPECT_EQ(GEO_LayoutRotatedItem(&none, &item, 0, 1, 0, &l), 0) << "an empty area holds no copy";

    EXPECT_EQ(GEO_LayoutRotatedItem(nullptr, &item, 0, 1, 0, &l), -1);
    EXPECT_EQ(GEO_LayoutRotatedItem(&area, nullptr, 0, 1, 0, &l), -1);
    EXPECT_EQ(GEO_LayoutRotatedItem(&area, &item, 0, 1, 0, nullptr), -1);
    EXPECT_EQ(GEO_MapItemPoint(nullptr, &in, 0, &out), -1);
    EXPECT_EQ(GEO_MapItemPoint(&l, nullptr, 0, &out), -1);
    EXPECT_EQ(GEO_MapItemPoint(&l, &in, 0, nullptr), -1);
}

} // namespace
