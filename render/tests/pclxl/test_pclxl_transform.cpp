// Page transforms, the CTM tracker, coordinate frames around commands and
// the point lists of paths, byte-exact against bytes written out by hand.
#include "pclxl_transform.h"

#include "pclxl_ops.h"
#include "xl_test_support.h"

#include <plat/fault.h>

#include <climits>
#include <cmath>

namespace {

using TransformTest = XlTest;

const PageTransform kIdentity{1, 0, 0, 1, 0, 0};

/* The hand-written bytes of the five commands of a page transform. */
const char *const kRotation0 = "C3 00 00 F8 29 76";
const char *const kRotation90 = "C3 5A 00 F8 29 76";
const char *const kDefaultCtm = "74";
const char *const kOrigin00 = "D3 00 00 00 00 F8 2A 75";
const char *const kScale11 = "D5 00 00 80 3F 00 00 80 3F F8 2B 77";

std::string join(std::initializer_list<std::string> parts)
{
    std::string s;
    for (const std::string &p : parts)
        if (!p.empty())
            s += (s.empty() ? "" : " ") + p;
    return s;
}

TEST_F(TransformTest, SetCursorFarOutsideTheRangeStepsThePageOrigin)
{
    ASSERT_EQ(XL_SetCursor(ctx(), 40000, 100), 0);
    EXPECT_EQ(take(), "D3 FF 7F 64 00 F8 2A 75 "  /* SetPageOrigin (32767, 100) */
                      "D3 41 1C 00 00 F8 2A 75 "  /* SetPageOrigin (7233, 0) */
                      "D0 00 00 F8 4C 6B "        /* Point (0, 0), SetCursor */
                      "D3 00 80 9C FF F8 2A 75 "  /* SetPageOrigin (-32768, -100) */
                      "D3 C0 E3 00 00 F8 2A 75"); /* SetPageOrigin (-7232, 0) */
}

TEST_F(TransformTest, SendCtmOfTheIdentityOnATurnedSheet)
{
    pdev->sheetRotation = SHEET_ROTATE_90;
    ASSERT_EQ(XL_SendCtm(ctx(), &kIdentity), 0);
    EXPECT_EQ(take(), join({kRotation90, kDefaultCtm, kOrigin00, kScale11, kRotation0}));
}

TEST_F(TransformTest, SendCtmCases)
{
    struct Case {
        const char *name;
        LONG sheetRotation;
        PageTransform ctm;
        std::string bytes;
    } cases[] = {
        {"180 sheet, 180 transform with an offset", SHEET_ROTATE_180, {-1, 0, 0, -1, 100.9f, -50.9f},
         join({"C3 B4 00 F8 29 76", kDefaultCtm, "D3 64 00 CE FF F8 2A 75", kScale11, "C3 B4 00 F8 29 76"})},
        {"270 sheet, quarter turn", SHEET_ROTATE_270, {0, -1, 1, 0, 0, 0},
         join({"C3 0E 01 F8 29 76", kDefaultCtm, kOrigin00, kScale11, kRotation90})},
        {"other quarter turn, scaled", 0, {0, 2, -3, 0, 0, 0},
         join({kRotation0, kDefaultCtm, kOrigin00, "D5 00 00 00 40 00 00 40 40 F8 2B 77", "C3 0E 01 F8 29 76"})},
        {"mirror", SHEET_ROTATE_NONE, {-1, 0, 0, 1, 0, 0},
         join({"C8 C0 09 " + hexText("MIRROR!!!") + " F8 81 47", kRotation0, kDefaultCtm, kOrigin00, kScale11,
               kRotation0})},
        {"mirrored quarter turn", SHEET_ROTATE_NONE, {0, 1, 1, 0, 0, 0},
         join({"C8 C0 09 " + hexText("MIRROR!!!") + " F8 81 47", kRotation0, kDefaultCtm, kOrigin00, kScale11,
               kRotation90})},
        {"general matrix", SHEET_ROTATE_NONE, {2, 0, 3, 0, 0, 0},
         join({"C8 C0 06 " + hexText("CTM!!!") + " F8 81 47", kRotation0, kDefaultCtm, kOrigin00,
               "D5 00 00 00 40 00 00 40 40 F8 2B 77", kRotation0})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pdev->sheetRotation = c.sheetRotation;
        ASSERT_EQ(XL_SendCtm(ctx(), &c.ctm), 0);
        EXPECT_EQ(take(), c.bytes);
    }
    EXPECT_EQ(XL_SendCtm(nullptr, &kIdentity), -1);
    EXPECT_EQ(XL_SendCtm(ctx(), nullptr), -1);
}

TEST_F(TransformTest, HypotWithoutSquareRoot)
{
    EXPECT_EQ(XL_Hypot(0.0f, -3.0f), 3.0f);
    EXPECT_EQ(XL_Hypot(2.0f, 0.0f), 2.0f);
    EXPECT_NEAR(XL_Hypot(3.0f, 4.0f), 5.0f, 1e-5f);
    EXPECT_NEAR(XL_Hypot(-1.0f, 1.0f), std::sqrt(2.0f), 1e-6f);
    EXPECT_NEAR(XL_Hypot(1e-3f, 1e3f), 1e3f, 1e-2f);
}

TEST_F(TransformTest, TrackerSendsATransformOnlyWhenItChanges)
{
    CtmTracker *t = XL_CreateCtmTracker(ctx(), 1);
    ASSERT_NE(t, nullptr);
    std::string once = join({kRotation0, kDefaultCtm, kOrigin00, kScale11, kRotation0});
    ASSERT_EQ(XL_ApplyCtm(t, &kIdentity), 0);
    ASSERT_EQ(XL_ApplyCtm(t, &kIdentity), 0);
    EXPECT_EQ(take(), once);

    ASSERT_EQ(XL_SetRop(ctx(), 0xCC), 0);
    take();
    ASSERT_EQ(XL_ResetCtmTracker(t), 0);
    PageTransform current;
    ASSERT_EQ(XL_GetCurrentCtm(t, &current), 0);
    EXPECT_EQ(current.m11, 0.0f);
    ASSERT_EQ(XL_ApplyCtm(t, &kIdentity), 0);
    ASSERT_EQ(XL_SetRop(ctx(), 0xCC), 0);
    EXPECT_EQ(take(), once + " C0 CC F8 2C 7B") << "the reset also invalidated the cache";

    EXPECT_EQ(XL_SetCtmValid(t, 0), 1);
    ASSERT_EQ(XL_ApplyCtm(t, &kIdentity), 0);
    EXPECT_EQ(take(), once) << "while not valid every transform is sent";
    EXPECT_EQ(XL_SetCtmValid(t, 1), 0);

    PageTransform moved{1, 0, 0, 1, 5, 0};
    ASSERT_EQ(XL_RememberCtm(t, &moved), 0);
    ASSERT_EQ(XL_ApplyCtm(t, &moved), 0);
    EXPECT_EQ(take(), "") << "a remembered transform counts as sent";

    PageTransform negZero{1, -0.0f, 0, 1, 5, 0};
    ASSERT_EQ(XL_ApplyCtm(t, &negZero), 0);
    EXPECT_NE(take(), "") << "the comparison is bit for bit";

    ASSERT_EQ(XL_SetClipRectangle(ctx(), 0, 1, 1, 2, 2), 0);
    take();
    ASSERT_EQ(XL_ClipToPage(t), 0);
    EXPECT_EQ(take(), "69");
    XL_FreeCtmTracker(t);
}

TEST_F(TransformTest, FailedApplyKeepsTheOldTransform)
{
    CtmTracker *t = XL_CreateCtmTracker(ctx(), 1);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(XL_ApplyCtm(t, &kIdentity), 0);
    PageTransform moved{1, 0, 0, 1, 5, 0};
    failAfter(3);
    EXPECT_EQ(XL_ApplyCtm(t, &moved), -1);
    clearFailure();
    PageTransform current;
    ASSERT_EQ(XL_GetCurrentCtm(t, &current), 0);
    EXPECT_EQ(current.dx, 0.0f);
    ASSERT_EQ(XL_ApplyCtm(t, &moved), 0);
    EXPECT_NE(take(), "") << "sent again after the failure";
    XL_FreeCtmTracker(t);
}

TEST_F(TransformTest, TrackerCreationAndMissingArguments)
{
    EXPECT_EQ(XL_CreateCtmTracker(nullptr, 1), nullptr);
    EXPECT_EQ(XL_CreateCtmTracker(ctx(), 0), nullptr);
    plat::fault_fail_alloc_after(2);
    EXPECT_EQ(XL_CreateCtmTracker(ctx(), 1), nullptr);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(XL_CreateCtmTracker(ctx(), 1), nullptr);
    PageTransform m;
    EXPECT_EQ(XL_ApplyCtm(nullptr, &kIdentity), -1);
    EXPECT_EQ(XL_RememberCtm(nullptr, &kIdentity), -1);
    EXPECT_EQ(XL_GetCurrentCtm(nullptr, &m), -1);
    EXPECT_EQ(XL_ResetCtmTracker(nullptr), -1);
    EXPECT_EQ(XL_ClipToPage(nullptr), -1);
    EXPECT_EQ(XL_SetCtmValid(nullptr, 1), 0);
    XL_FreeCtmTracker(nullptr);
    EXPECT_EQ(take(), "");
}

TEST_F(TransformTest, MovePageOriginAlwaysWritesAStep)
{
    ASSERT_EQ(XL_MovePageOrigin(ctx(), 0, 0), 0);
    EXPECT_EQ(take(), kOrigin00);
    ASSERT_EQ(XL_MovePageOrigin(ctx(), 70000, -70000), 0);
    EXPECT_EQ(take(), "D3 FF 7F 00 80 F8 2A 75 D3 FF 7F 00 80 F8 2A 75 D3 72 11 90 EE F8 2A 75");
    ASSERT_EQ(XL_MovePageOrigin(ctx(), -32768, 32767), 0);
    EXPECT_EQ(take(), "D3 00 80 FF 7F F8 2A 75");
}

TEST_F(TransformTest, FrameWithAngleAndScaleIsUndoneInReverse)
{
    CoordFrame f{10, -20, 90, 2.0f, 2.0f};
    ASSERT_EQ(XL_EnterCoordFrame(ctx(), &f), 0);
    EXPECT_EQ(take(), "D3 0A 00 EC FF F8 2A 75 C3 5A 00 F8 29 76 D5 00 00 00 40 00 00 00 40 F8 2B 77");
    ASSERT_EQ(XL_LeaveCoordFrame(ctx(), &f), 0);
    EXPECT_EQ(take(), "D5 00 00 00 3F 00 00 00 3F F8 2B 77 C3 A6 FF F8 29 76 D3 F6 FF 14 00 F8 2A 75");
    CoordFrame id = XL_IdentityFrame();
    ASSERT_EQ(XL_EnterCoordFrame(ctx(), &id), 0);
    ASSERT_EQ(XL_LeaveCoordFrame(ctx(), &id), 0);
    EXPECT_EQ(take(), "") << "the identity writes nothing";
    CoordFrame far{INT_MIN, 0, 0, 1.0f, 1.0f};
    ASSERT_EQ(XL_LeaveCoordFrame(ctx(), &far), 0) << "minus the most negative origin does not overflow";
    /* 2,147,483,648 = 65,538 x 32,767 + 2: 65,539 SetPageOrigin steps of 8 bytes. */
    EXPECT_EQ(take().size(), 65539u * 8 * 3 - 1);
}

TEST_F(TransformTest, LineListJumpingFarIsWrittenInRunsEachInItsFrame)
{
    DevicePoint pts[2] = {{0, 0}, {100000, 0}};
    DevicePoint prev{0, 0};
    ASSERT_EQ(XL_LinePath(ctx(), 2, pts, &prev), 0);
    EXPECT_EQ(take(),
              "C1 01 00 F8 4D C0 01 F8 50 9D FB 02 00 00 "                             /* relative run (0, 0) */
              "D3 FF 7F 00 00 F8 2A 75 D3 FF 7F 00 00 F8 2A 75 D3 FF 7F 00 00 F8 2A 75 " /* origin onto */
              "D3 A3 06 00 00 F8 2A 75 "                                                /* (100000, 0) */
              "C1 01 00 F8 4D C0 01 F8 50 9B FB 02 00 00 "                              /* absolute (0, 0) */
              "D3 00 80 00 00 F8 2A 75 D3 00 80 00 00 F8 2A 75 D3 00 80 00 00 F8 2A 75 "
              "D3 60 F9 00 00 F8 2A 75");
    EXPECT_EQ(prev.x, 100000);
    EXPECT_EQ(prev.y, 0);
}

TEST_F(TransformTest, LineListOfMoreThan65535PointsGoesInSeveralRuns)
{
    std::vector<DevicePoint> pts(65536, DevicePoint{1, 2});
    ASSERT_EQ(XL_LinePath(ctx(), DWORD(pts.size()), pts.data(), nullptr), 0);
    std::string s = take();
    /* NumberOfPoints 65535, PointType eSByte, LinePath, 131,070 bytes of data, then a run of 1. */
    EXPECT_EQ(s.substr(0, 44), "C1 FF FF F8 4D C0 01 F8 50 9B FA FE FF 01 00");
    EXPECT_EQ(s.substr(s.size() - 41), "C1 01 00 F8 4D C0 01 F8 50 9B FB 02 01 02");
    EXPECT_EQ(s.size(), size_t(15 + 131070 + 14) * 3 - 1);
}

TEST_F(TransformTest, BezierCurveOutsideTheRangeGetsAFittedFrame)
{
    DevicePoint pts[3] = {{100000, 0}, {100010, 0}, {100020, 10}};
    ASSERT_EQ(XL_BezierPath(ctx(), 3, pts, nullptr), 0);
    EXPECT_EQ(take(), "D3 FF 7F 05 00 F8 2A 75 D3 FF 7F 00 00 F8 2A 75 D3 FF 7F 00 00 F8 2A 75 "
                      "D3 AD 06 00 00 F8 2A 75 "
                      "C1 03 00 F8 4D C0 01 F8 50 93 FB 06 F6 FB 00 FB 0A 05 "
                      "D3 00 80 FB FF F8 2A 75 D3 00 80 00 00 F8 2A 75 D3 00 80 00 00 F8 2A 75 "
                      "D3 56 F9 00 00 F8 2A 75");
}

TEST_F(TransformTest, BezierListRelativeToTheCursor)
{
    DevicePoint pts[6] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}};
    DevicePoint prev{0, 0};
    ASSERT_EQ(XL_BezierPath(ctx(), 6, pts, &prev), 0);
    EXPECT_EQ(take(), "C1 06 00 F8 4D C0 01 F8 50 95 FB 0C 01 01 02 02 03 03 01 01 02 02 03 03");
    EXPECT_EQ(prev.x, 6);
}

TEST_F(TransformTest, BezierListsThatCannotBeWritten)
{
    DevicePoint pts[3] = {{1, 1}, {2, 2}, {3, 3}};
    EXPECT_EQ(XL_BezierPath(ctx(), 2, pts, nullptr), -1) << "not whole curves";
    EXPECT_EQ(XL_BezierPath(nullptr, 3, pts, nullptr), -1);
    EXPECT_EQ(XL_BezierPath(ctx(), 3, nullptr, nullptr), -1);
    EXPECT_EQ(take(), "");
    /* In single precision the far end rounds to 32768 in the fitted frame: even the refit cannot hold it. */
    DevicePoint wide[3] = {{INT_MIN, 0}, {INT_MAX, 0}, {0, 0}};
    EXPECT_EQ(XL_BezierPath(ctx(), 3, wide, nullptr), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(TransformTest, PointListFailures)
{
    DevicePoint pts[2] = {{1, 1}, {2, 2}};
    EXPECT_EQ(XL_LinePath(nullptr, 2, pts, nullptr), -1);
    EXPECT_EQ(XL_LinePath(ctx(), 2, nullptr, nullptr), -1);
    EXPECT_EQ(XL_LinePath(ctx(), 0, nullptr, nullptr), 0);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(XL_LinePath(ctx(), 2, pts, nullptr), -1);
    EXPECT_EQ(XL_EmitLinePoints(ctx(), 1, 4, FALSE, reinterpret_cast<const BYTE *>("xx")), -1) << "no such point type";
    EXPECT_EQ(take(), "");
    failAfter(5);
    EXPECT_EQ(XL_LinePath(ctx(), 2, pts, nullptr), -1);
    clearFailure();
}

} // namespace
