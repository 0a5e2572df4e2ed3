// The machine clock: fixed and advanced by tests, the time zone offset, and
// the calendar conversions against values worked out by hand.
#include "test_loader_fixture.h"

#include <plat/clock.h>
#include <plat/error.h>

#include <ctime>

namespace {

SYSTEMTIME make_time(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0)
{
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    st.wMilliseconds = ms;
    return st;
}

ULONGLONG units(const FILETIME &ft) { return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

FILETIME filetime(ULONGLONG v) { return FILETIME{DWORD(v), DWORD(v >> 32)}; }

void expect_time(const SYSTEMTIME &st, WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms, WORD dow)
{
    EXPECT_EQ(st.wYear, y);
    EXPECT_EQ(st.wMonth, mo);
    EXPECT_EQ(st.wDay, d);
    EXPECT_EQ(st.wHour, h);
    EXPECT_EQ(st.wMinute, mi);
    EXPECT_EQ(st.wSecond, s);
    EXPECT_EQ(st.wMilliseconds, ms);
    EXPECT_EQ(st.wDayOfWeek, dow);
}

} // namespace

class Clock : public FreshMachine {};

TEST_F(Clock, FixedClockTickWrapsWhileTheDateCrossesLeapDay)
{
    ASSERT_TRUE(plat::clock_fix(make_time(2024, 2, 29, 23, 59, 59, 500), 0xFFFFFF00u));
    EXPECT_TRUE(plat::clock_is_fixed());
    EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
    EXPECT_EQ(GetTickCount64(), 0xFFFFFF00ull);
    SYSTEMTIME st;
    GetLocalTime(&st);
    expect_time(st, 2024, 2, 29, 23, 59, 59, 500, 4);

    plat::clock_advance(0x200); /* 512 ms */
    EXPECT_EQ(GetTickCount(), 0x100u);
    EXPECT_EQ(GetTickCount64(), 0x100000100ull);
    GetLocalTime(&st);
    expect_time(st, 2024, 3, 1, 0, 0, 0, 12, 5);
}

TEST_F(Clock, SleepOnAFixedClockAdvancesIt)
{
    ASSERT_TRUE(plat::clock_fix(make_time(2024, 5, 6, 10, 0, 0), 1000));
    Sleep(90000);
    EXPECT_EQ(GetTickCount(), 91000u);
    SYSTEMTIME st;
    GetLocalTime(&st);
    expect_time(st, 2024, 5, 6, 10, 1, 30, 0, 1);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 91000u);
}

TEST_F(Clock, UtcOffsetSeparatesLocalFromSystemTime)
{
    /* The machine runs on UTC until told otherwise. */
    ASSERT_TRUE(plat::clock_fix(make_time(2024, 1, 1, 8, 30), 0));
    SYSTEMTIME st;
    GetSystemTime(&st);
    expect_time(st, 2024, 1, 1, 8, 30, 0, 0, 1);

    ASSERT_TRUE(plat::clock_set_utc_offset(540));
    GetLocalTime(&st);
    expect_time(st, 2024, 1, 1, 8, 30, 0, 0, 1);
    GetSystemTime(&st);
    expect_time(st, 2023, 12, 31, 23, 30, 0, 0, 0);
    FILETIME ft, local;
    GetSystemTimeAsFileTime(&ft);
    EXPECT_EQ(units(ft), 133485390000000000ull); /* 2023-12-31 23:30 UTC */
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local));
    EXPECT_EQ(units(local), 133485390000000000ull + 9ull * 3600 * 10000000);

    ASSERT_TRUE(plat::clock_set_utc_offset(-300));
    GetSystemTime(&st);
    expect_time(st, 2024, 1, 1, 13, 30, 0, 0, 1);

    EXPECT_FALSE(plat::clock_set_utc_offset(1441));
    EXPECT_FALSE(plat::clock_set_utc_offset(-1441));
    GetSystemTime(&st);
    EXPECT_EQ(st.wHour, 13);
}

TEST_F(Clock, ResetReturnsToRealTimeOnUtc)
{
    ASSERT_TRUE(plat::clock_fix(make_time(2001, 1, 1), 5));
    ASSERT_TRUE(plat::clock_set_utc_offset(60));
    plat::machine_reset((root / "second").string());
    EXPECT_FALSE(plat::clock_is_fixed());
    const FILETIME ft = filetime(125911584000000000ull);
    FILETIME local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local));
    EXPECT_EQ(units(local), units(ft));
    /* Real time: the system clock agrees with the C library's to the second. */
    GetSystemTimeAsFileTime(&local);
    const ULONGLONG now = 116444736000000000ull + ULONGLONG(std::time(nullptr)) * 10000000;
    EXPECT_LE(units(local), now + 20000000);
    EXPECT_GE(units(local), now - 20000000);
    plat::clock_advance(1000000); /* no effect on the real clock */
    GetSystemTimeAsFileTime(&local);
    EXPECT_LE(units(local), now + 20000000);
}

TEST_F(Clock, RealTickCountDoesNotRunBackwards)
{
    const ULONGLONG a = GetTickCount64();
    const ULONGLONG b = GetTickCount64();
    EXPECT_LE(a, b);
}

struct CalendarCase {
    SYSTEMTIME st;
    ULONGLONG units;
    WORD day_of_week;
};

TEST(ClockCalendar, ConvertsBothWays)
{
    const CalendarCase cases[] = {
        {make_time(1601, 1, 1), 0, 1},
        {make_time(1970, 1, 1), 116444736000000000ull, 4},
        {make_time(2000, 1, 1), 125911584000000000ull, 6},
        {make_time(2000, 2, 29, 12, 34, 56, 789), 125963012967890000ull, 2},
        {make_time(2023, 12, 31, 23, 30), 133485390000000000ull, 0},
        {make_time(30827, 12, 31, 23, 59, 59, 999), 0x7FFF35F4F06C58F0ull, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.st.wYear);
        FILETIME ft;
        SYSTEMTIME st = c.st;
        st.wDayOfWeek = 3; /* ignored on the way in */
        ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
        EXPECT_EQ(units(ft), c.units);
        SYSTEMTIME back;
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        expect_time(back, c.st.wYear, c.st.wMonth, c.st.wDay, c.st.wHour, c.st.wMinute, c.st.wSecond,
                    c.st.wMilliseconds, c.day_of_week);
    }
}

TEST(ClockCalendar, RefusesInvalidTimes)
{
    const SYSTEMTIME bad[] = {
        make_time(2024, 0, 1),          make_time(2024, 13, 1),          make_time(2024, 4, 0),
        make_time(2024, 4, 31),         make_time(2023, 2, 29),          make_time(1900, 2, 29),
        make_time(2024, 1, 1, 24),      make_time(2024, 1, 1, 0, 60),    make_time(2024, 1, 1, 0, 0, 60),
        make_time(2024, 1, 1, 0, 0, 0, 1000), make_time(1600, 12, 31), make_time(30828, 1, 1),
    };
    for (const auto &st : bad) {
        SCOPED_TRACE(testing::Message() << st.wYear << "-" << st.wMonth << "-" << st.wDay);
        FILETIME ft{7, 7};
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(ft.dwLowDateTime, 7u);
        EXPECT_FALSE(plat::clock_fix(st, 0));
    }
    const SYSTEMTIME leap = make_time(2000, 2, 29);
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
    EXPECT_FALSE(SystemTimeToFileTime(nullptr, &ft));
    EXPECT_FALSE(SystemTimeToFileTime(&leap, nullptr));
}

TEST(ClockCalendar, RefusesFileTimesWithTheTopBitSet)
{
    const FILETIME ft{0, 0x80000000u};
    SYSTEMTIME st{};
    FILETIME local;
    EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(FileTimeToLocalFileTime(&ft, &local));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
}

TEST_F(Clock, LocalFileTimeStaysInRange)
{
    ASSERT_TRUE(plat::clock_set_utc_offset(-60));
    const FILETIME early = filetime(1000);
    FILETIME local;
    EXPECT_FALSE(FileTimeToLocalFileTime(&early, &local));
    ASSERT_TRUE(plat::clock_set_utc_offset(60));
    const FILETIME late = filetime(0x7FFFFFFFFFFFFFFFull - 1000);
    EXPECT_FALSE(FileTimeToLocalFileTime(&late, &local));
    ASSERT_TRUE(FileTimeToLocalFileTime(&early, &local));
    EXPECT_EQ(units(local), 1000ull + 36000000000ull);
}
