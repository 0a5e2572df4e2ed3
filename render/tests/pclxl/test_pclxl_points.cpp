// Point arithmetic of the PCL XL writer: fit masks and point types, frames
// fitted around points that leave the 16-bit range, and the packing of
// point lists (absolute or relative, the tie, the empty run, Bezier mode,
// the 65,535-point limit of one run, allocation failure).
#include "pclxl_encoder.h"

#include "pclxl_tags.h"
#include "xl_test_support.h"

#include <plat/fault.h>
#include <plat/memory.h>

#include <climits>

namespace {

using PointsTest = MachineFolderTest;

/* The packed bytes of a run, freed here. */
std::string packed(BYTE *buffer, LONG count, BYTE pointType)
{
    if (!buffer)
        return "(none)";
    size_t size = pointType <= XL_POINT_eSByte ? 2 : 4;
    Bytes b(buffer, buffer + size * size_t(count));
    GlobalFree(buffer);
    return hex(b);
}

bool operator==(DevicePoint a, DevicePoint b) { return a.x == b.x && a.y == b.y; }

TEST(PointTypes, CoordTypeMaskOfEachRange)
{
    struct Case {
        LONG value;
        unsigned mask;
    } cases[] = {
        {INT_MIN, 0}, {-32769, 0}, {-32768, 8}, {-129, 8},  {-128, 10},  {-1, 10},   {0, 15},
        {127, 15},    {128, 13},   {255, 13},   {256, 12},  {32767, 12}, {32768, 4}, {65535, 4},
        {65536, 0},   {INT_MAX, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(XL_CoordTypeMask(c.value), c.mask) << c.value;
}

TEST(PointTypes, SignedTypesWinOverUnsignedOnes)
{
    struct Case {
        unsigned mask;
        int size;
        BYTE type;
    } cases[] = {
        {15, 2, XL_POINT_eSByte},  {13, 2, XL_POINT_eUByte},  {10, 2, XL_POINT_eSByte}, {1, 2, XL_POINT_eUByte},
        {12, 4, XL_POINT_eSInt16}, {8, 4, XL_POINT_eSInt16},  {4, 4, XL_POINT_eUInt16}, {0, 0, XL_POINT_TYPE_NONE},
    };
    for (const Case &c : cases) {
        BYTE type = 77;
        EXPECT_EQ(XL_PointTypeFromMask(c.mask, &type), c.size) << c.mask;
        EXPECT_EQ(type, c.type) << c.mask;
    }
}

TEST(CoordFrames, FitAroundTwoPoints)
{
    struct Case {
        const char *name;
        DevicePoint in[2];
        LONG originX, originY;
        FLOAT scale;
        DevicePoint out[2];
    } cases[] = {
        {"inside the range: identity, points unchanged", {{-32768, 32767}, {100, -5}}, 0, 0, 1.0f,
         {{-32768, 32767}, {100, -5}}},
        {"wide extent: centred and halved", {{0, 0}, {70000, 100000}}, 35000, 50000, 2.0f,
         {{-17500, -25000}, {17500, 25000}}},
        {"odd extent of 65,535: both ends in range", {{0, 7}, {65535, 7}}, 32768, 7, 1.0f,
         {{-32768, 0}, {32767, 0}}},
        {"the whole 32-bit range without overflow", {{INT_MIN, 0}, {INT_MAX, 0}}, 0, 0, 65536.0f,
         {{-32768, 0}, {32767, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DevicePoint pts[2] = {c.in[0], c.in[1]};
        CoordFrame f;
        EXPECT_EQ(XL_FitCoordFrame(2, pts, &f), 0);
        EXPECT_EQ(f.originX, c.originX);
        EXPECT_EQ(f.originY, c.originY);
        EXPECT_EQ(f.angle, 0);
        EXPECT_EQ(f.scaleX, c.scale);
        EXPECT_EQ(f.scaleY, c.scale);
        EXPECT_TRUE(pts[0] == c.out[0]);
        EXPECT_TRUE(pts[1] == c.out[1]);
    }
}

TEST(CoordFrames, ToFrameDividesByTheScaleAndTruncates)
{
    CoordFrame f{100, 100, 0, 2.0f, 2.0f};
    DevicePoint p = XL_ToFrame(&f, {105, 90});
    EXPECT_TRUE((p == DevicePoint{2, -5}));
    p = XL_ToFrameRel(&f, {105, 90}, {100, 100});
    EXPECT_TRUE((p == DevicePoint{2, -5}));
    CoordFrame id = XL_IdentityFrame();
    p = XL_ToFrame(&id, {INT_MIN, INT_MAX});
    EXPECT_TRUE((p == DevicePoint{INT_MIN, INT_MAX}));
    p = XL_ToFrameRel(&id, {INT_MAX, 0}, {INT_MIN, 0});
    EXPECT_EQ(p.x, INT_MAX) << "a difference beyond 32 bits is clamped, not wrapped";
}

TEST_F(PointsTest, TieBetweenAbsoluteAndRelativeGoesToRelative)
{
    DevicePoint pts[2] = {{10, 10}, {300, 10}};
    CoordFrame f = XL_IdentityFrame();
    DevicePoint prev{0, 0};
    BYTE type;
    LONG n;
    BOOL rel = FALSE;
    BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, &prev, &rel, FALSE);
    EXPECT_EQ(n, 2);
    EXPECT_TRUE(rel);
    EXPECT_EQ(type, XL_POINT_eSInt16);
    EXPECT_EQ(packed(buf, n, type), "0A 00 0A 00 22 01 00 00");
    EXPECT_TRUE((prev == DevicePoint{300, 10}));
}

TEST_F(PointsTest, WithoutAPreviousPointOnlyAbsolute)
{
    DevicePoint pts[2] = {{10, 10}, {300, 10}};
    CoordFrame f = XL_IdentityFrame();
    BYTE type;
    LONG n;
    BOOL rel = TRUE;
    BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, nullptr, &rel, FALSE);
    EXPECT_EQ(n, 2);
    EXPECT_FALSE(rel);
    EXPECT_EQ(packed(buf, n, type), "0A 00 0A 00 2C 01 0A 00");
}

TEST_F(PointsTest, SmallerFormWins)
{
    CoordFrame f = XL_IdentityFrame();
    BYTE type;
    LONG n;
    BOOL rel;
    {
        DevicePoint pts[2] = {{1000, 1000}, {1001, 1002}};
        DevicePoint prev{999, 999};
        BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, &prev, &rel, FALSE);
        EXPECT_TRUE(rel);
        EXPECT_EQ(type, XL_POINT_eSByte);
        EXPECT_EQ(packed(buf, n, type), "01 01 01 02");
    }
    {
        DevicePoint pts[2] = {{10, 10}, {20, 20}};
        DevicePoint prev{1000, 1000};
        BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, &prev, &rel, FALSE);
        EXPECT_FALSE(rel);
        EXPECT_EQ(type, XL_POINT_eSByte);
        EXPECT_EQ(packed(buf, n, type), "0A 0A 14 14");
        EXPECT_TRUE((prev == DevicePoint{20, 20})) << "the previous point moves on the absolute form too";
    }
}

TEST_F(PointsTest, RunStopsBeforeThePointNoFormHolds)
{
    CoordFrame f = XL_IdentityFrame();
    BYTE type;
    LONG n;
    DevicePoint pts[3] = {{0, 0}, {70000, 0}, {1, 1}};
    BYTE *buf = XL_PackPoints(3, pts, &f, &type, &n, nullptr, nullptr, FALSE);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(packed(buf, n, type), "00 00");
}

TEST_F(PointsTest, PointThatEmptiesOnlyOneMaskIsStillTaken)
{
    CoordFrame f = XL_IdentityFrame();
    DevicePoint pts[2] = {{50000, 0}, {10000, 0}};
    DevicePoint prev{0, 0};
    BYTE type;
    LONG n;
    BOOL rel = TRUE;
    BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, &prev, &rel, FALSE);
    EXPECT_EQ(n, 2);
    EXPECT_FALSE(rel) << "the relative step of -40000 fits nothing";
    EXPECT_EQ(type, XL_POINT_eUInt16);
    EXPECT_EQ(packed(buf, n, type), "50 C3 00 00 10 27 00 00");
}

TEST_F(PointsTest, FirstPointFittingNothingIsAnEmptyRun)
{
    CoordFrame f = XL_IdentityFrame();
    DevicePoint pts[1] = {{-40000, 0}};
    DevicePoint prev{0, 0};
    BYTE type = 0;
    LONG n = 99;
    BYTE *buf = XL_PackPoints(1, pts, &f, &type, &n, &prev, nullptr, FALSE);
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(type, XL_POINT_TYPE_NONE);
    EXPECT_TRUE((prev == DevicePoint{0, 0}));
}

TEST_F(PointsTest, BezierModeMovesThePreviousPointPerCurve)
{
    DevicePoint pts[7] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}};
    CoordFrame f = XL_IdentityFrame();
    DevicePoint prev{0, 0};
    BYTE type;
    LONG n;
    BOOL rel;
    BYTE *buf = XL_PackPoints(7, pts, &f, &type, &n, &prev, &rel, TRUE);
    EXPECT_EQ(n, 7);
    EXPECT_TRUE(rel);
    /* Each curve's points relative to the curve's start: (0,0), then (3,3), then (6,6). */
    EXPECT_EQ(packed(buf, n, type), "01 01 02 02 03 03 01 01 02 02 03 03 01 01");
    EXPECT_TRUE((prev == DevicePoint{6, 6})) << "the end of the last whole curve";
}

TEST_F(PointsTest, OneRunHoldsAtMost65535Points)
{
    std::vector<DevicePoint> pts(70000, DevicePoint{1, 1});
    CoordFrame f = XL_IdentityFrame();
    BYTE type;
    LONG n;
    BYTE *buf = XL_PackPoints(DWORD(pts.size()), pts.data(), &f, &type, &n, nullptr, nullptr, FALSE);
    EXPECT_EQ(n, 65535);
    GlobalFree(buf);
}

TEST_F(PointsTest, AllocationFailureGivesMinusOne)
{
    DevicePoint pts[2] = {{1, 1}, {2, 2}};
    CoordFrame f = XL_IdentityFrame();
    DevicePoint prev{0, 0};
    BYTE type;
    LONG n = 0;
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(XL_PackPoints(2, pts, &f, &type, &n, &prev, nullptr, FALSE), nullptr);
    EXPECT_EQ(n, -1);
    EXPECT_TRUE((prev == DevicePoint{0, 0})) << "nothing moves when nothing was packed";
}

TEST_F(PointsTest, FramedPointsUseTheFrame)
{
    CoordFrame f{100000, 0, 0, 1.0f, 1.0f};
    DevicePoint pts[2] = {{100000, 0}, {100200, -3}};
    BYTE type;
    LONG n;
    BYTE *buf = XL_PackPoints(2, pts, &f, &type, &n, nullptr, nullptr, FALSE);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(type, XL_POINT_eSInt16);
    EXPECT_EQ(packed(buf, n, type), "00 00 00 00 C8 00 FD FF");
}

} // namespace
