/*
 * The machine clock: real time by default, or a fixed clock that tests move
 * by hand.  Calendar arithmetic works in days since 1601-01-01 (the file-time
 * epoch) with the proleptic Gregorian calendar.
 */
#include <plat/clock.h>
#include <plat/error.h>
#include <plat/machine.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace plat {

namespace {

constexpr ULONGLONG kUnitsPerMs = 10000;                 /* 100 ns units in 1 ms */
constexpr ULONGLONG kUnitsPerMinute = 60 * 1000 * kUnitsPerMs;
constexpr ULONGLONG kUnitsPerDay = 24 * 60 * kUnitsPerMinute;
constexpr ULONGLONG kUnixEpochUnits = 116444736000000000ull; /* 1970-01-01 as a file time */
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;
constexpr int64_t kDays1601To1970 = 134774;
constexpr LONG kMaxOffsetMinutes = 24 * 60;

struct ClockState {
    std::mutex lock;
    bool fixed = false;
    ULONGLONG fixed_local = 0; /* local time of a fixed clock, 100 ns units */
    ULONGLONG fixed_tick = 0;  /* 64-bit tick count of a fixed clock */
    LONG offset_minutes = 0;   /* local = UTC + offset */
    unsigned epoch = 0;
    ULONGLONG epoch_tick = 0; /* tick count when the current epoch began */
    std::vector<void (*)()> hooks;
};

ClockState &state()
{
    static ClockState *s = new ClockState; /* never destroyed: threads may read it during exit */
    return *s;
}

/* Days from 1970-01-01 to y-m-d (proleptic Gregorian). */
int64_t days_from_civil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

/* The date `z` days after 1970-01-01 (z >= -719468). */
void civil_from_days(int64_t z, int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const int64_t era = z / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int64_t(yoe) + era * 400 + (m <= 2);
}

bool is_leap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(unsigned y, unsigned m)
{
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

bool units_from_systemtime(const SYSTEMTIME &st, ULONGLONG &units)
{
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > days_in_month(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return false;
    const int64_t days = days_from_civil(st.wYear, st.wMonth, st.wDay) + kDays1601To1970;
    const ULONGLONG ms = ((ULONGLONG(st.wHour) * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
    units = ULONGLONG(days) * kUnitsPerDay + ms * kUnitsPerMs;
    return true;
}

SYSTEMTIME systemtime_from_units(ULONGLONG units)
{
    const ULONGLONG days = units / kUnitsPerDay;
    ULONGLONG ms = (units % kUnitsPerDay) / kUnitsPerMs;
    int64_t y;
    unsigned m, d;
    civil_from_days(int64_t(days) - kDays1601To1970, y, m, d);
    SYSTEMTIME st;
    st.wYear = WORD(y);
    st.wMonth = WORD(m);
    st.wDay = WORD(d);
    st.wDayOfWeek = WORD((days + 1) % 7); /* 1601-01-01 was a Monday */
    st.wMilliseconds = WORD(ms % 1000);
    ms /= 1000;
    st.wSecond = WORD(ms % 60);
    ms /= 60;
    st.wMinute = WORD(ms % 60);
    st.wHour = WORD(ms / 60);
    return st;
}

ULONGLONG real_tick()
{
    using namespace std::chrono;
    return ULONGLONG(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

ULONGLONG real_utc_units()
{
    using namespace std::chrono;
    const auto since_unix = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return kUnixEpochUnits + ULONGLONG(since_unix) * 10;
}

LONGLONG offset_units(LONG minutes) { return LONGLONG(minutes) * LONGLONG(kUnitsPerMinute); }

/* Current UTC and local time, in 100 ns units. */
void now_units(ULONGLONG &utc, ULONGLONG &local)
{
    ClockState &c = state();
    std::lock_guard<std::mutex> g(c.lock);
    const LONGLONG off = offset_units(c.offset_minutes);
    if (c.fixed) {
        local = c.fixed_local;
        utc = ULONGLONG(LONGLONG(local) - off);
    } else {
        utc = real_utc_units();
        local = ULONGLONG(LONGLONG(utc) + off);
    }
}

void run_hooks()
{
    std::vector<void (*)()> hooks;
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        hooks = c.hooks;
    }
    for (auto h : hooks)
        h();
}

void reset_clock()
{
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        c.fixed = false;
        c.offset_minutes = 0;
        c.epoch++;
        c.epoch_tick = real_tick();
    }
    run_hooks();
}

const bool registered = (machine_on_reset(reset_clock), true);

} // namespace

bool clock_fix(const SYSTEMTIME &local, DWORD tick)
{
    ULONGLONG units;
    if (!units_from_systemtime(local, units))
        return false;
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        c.fixed = true;
        c.fixed_local = units;
        c.fixed_tick = tick;
        c.epoch++;
        c.epoch_tick = tick;
    }
    run_hooks();
    return true;
}

void clock_advance(ULONGLONG ms)
{
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        if (!c.fixed)
            return;
        c.fixed_tick += ms;
        const ULONGLONG room = (kMaxFileTime - c.fixed_local) / kUnitsPerMs;
        c.fixed_local += (ms < room ? ms : room) * kUnitsPerMs;
    }
    run_hooks();
}

void clock_real()
{
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        if (!c.fixed)
            return;
        c.fixed = false;
        c.epoch++;
        c.epoch_tick = real_tick();
    }
    run_hooks();
}

bool clock_is_fixed()
{
    ClockState &c = state();
    std::lock_guard<std::mutex> g(c.lock);
    return c.fixed;
}

bool clock_set_utc_offset(LONG minutes)
{
    if (minutes < -kMaxOffsetMinutes || minutes > kMaxOffsetMinutes)
        return false;
    ClockState &c = state();
    std::lock_guard<std::mutex> g(c.lock);
    c.offset_minutes = minutes;
    return true;
}

ClockReading clock_read()
{
    ClockState &c = state();
    std::lock_guard<std::mutex> g(c.lock);
    return ClockReading{c.fixed ? c.fixed_tick : real_tick(), c.epoch, c.epoch_tick, c.fixed};
}

void clock_on_change(void (*hook)())
{
    ClockState &c = state();
    std::lock_guard<std::mutex> g(c.lock);
    c.hooks.push_back(hook);
}

} // namespace plat

using namespace plat;

DWORD GetTickCount(void) { return DWORD(clock_read().tick); }

ULONGLONG GetTickCount64(void) { return clock_read().tick; }

void GetLocalTime(SYSTEMTIME *st)
{
    if (!st)
        return;
    ULONGLONG utc, local;
    now_units(utc, local);
    *st = systemtime_from_units(local);
}

void GetSystemTime(SYSTEMTIME *st)
{
    if (!st)
        return;
    ULONGLONG utc, local;
    now_units(utc, local);
    *st = systemtime_from_units(utc);
}

void GetSystemTimeAsFileTime(FILETIME *ft)
{
    if (!ft)
        return;
    ULONGLONG utc, local;
    now_units(utc, local);
    ft->dwLowDateTime = DWORD(utc);
    ft->dwHighDateTime = DWORD(utc >> 32);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *st, FILETIME *ft)
{
    ULONGLONG units;
    if (!st || !ft || !units_from_systemtime(*st, units)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ft->dwLowDateTime = DWORD(units);
    ft->dwHighDateTime = DWORD(units >> 32);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME *ft, SYSTEMTIME *st)
{
    if (!ft || !st || (ft->dwHighDateTime & 0x80000000u)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *st = systemtime_from_units((ULONGLONG(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local)
{
    if (!utc || !local || (utc->dwHighDateTime & 0x80000000u)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG minutes;
    {
        ClockState &c = state();
        std::lock_guard<std::mutex> g(c.lock);
        minutes = c.offset_minutes;
    }
    const LONGLONG in = LONGLONG((ULONGLONG(utc->dwHighDateTime) << 32) | utc->dwLowDateTime);
    const LONGLONG off = offset_units(minutes);
    if ((off < 0 && in < -off) || (off > 0 && in > LONGLONG(kMaxFileTime) - off)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const ULONGLONG out = ULONGLONG(in + off);
    local->dwLowDateTime = DWORD(out);
    local->dwHighDateTime = DWORD(out >> 32);
    return TRUE;
}

void Sleep(DWORD ms)
{
    if (clock_is_fixed()) {
        clock_advance(ms);
        std::this_thread::yield();
        return;
    }
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    if (ms == INFINITE)
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
