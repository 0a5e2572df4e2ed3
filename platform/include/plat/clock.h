/*
 * The machine clock: tick counts, system and local time, file-time
 * conversions and Sleep, under their Windows names.
 *
 * The clock runs on real time by default.  A test can fix it (a chosen local
 * time and tick count) and then move it forward by hand; on a fixed clock
 * Sleep advances the clock instead of sleeping, and timed waits (sync.h) end
 * when the clock passes their deadline, so long waits are testable without
 * real sleeping.
 *
 * Time zone: the simulated machine runs on UTC (local time = system time)
 * unless a test sets an offset with plat::clock_set_utc_offset.  The host's
 * own time zone is never used, so results do not depend on where the tests
 * run.  There is no daylight saving.
 *
 * machine_reset returns the clock to real time with a zero offset.
 */
#ifndef PLAT_CLOCK_H
#define PLAT_CLOCK_H

#include <plat/types.h>

#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif

/* Milliseconds since the machine started, wrapping every 49.7 days. */
DWORD GetTickCount(void);

/* Milliseconds since the machine started, 64-bit (never wraps). */
ULONGLONG GetTickCount64(void);

/* Current local time; wDayOfWeek is filled (0 = Sunday). */
void GetLocalTime(SYSTEMTIME *st);

/* Current UTC time; wDayOfWeek is filled (0 = Sunday). */
void GetSystemTime(SYSTEMTIME *st);

/* Current UTC time in 100 ns units since 1601-01-01. */
void GetSystemTimeAsFileTime(FILETIME *ft);

/*
 * Converts a calendar time to 100 ns units since 1601-01-01; wDayOfWeek is
 * ignored.  Answers FALSE (ERROR_INVALID_PARAMETER) for a null argument or a
 * field out of range (year 1601-30827, month 1-12, a day the month has,
 * hour < 24, minute and second < 60, milliseconds < 1000).
 */
BOOL SystemTimeToFileTime(const SYSTEMTIME *st, FILETIME *ft);

/*
 * Converts 100 ns units since 1601-01-01 to a calendar time, including the
 * day of the week.  FALSE (ERROR_INVALID_PARAMETER) for a null argument or a
 * value of 2^63 or more.
 */
BOOL FileTimeToSystemTime(const FILETIME *ft, SYSTEMTIME *st);

/*
 * Converts a UTC file time to local file time with the machine's offset.
 * FALSE (ERROR_INVALID_PARAMETER) for a null argument or a result outside
 * 0 .. 2^63 - 1.
 */
BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local);

/*
 * Suspends the calling thread for `ms` milliseconds (INFINITE: for ever).
 * On a fixed clock it advances the clock by `ms` instead and returns at once.
 */
void Sleep(DWORD ms);

namespace plat {

/*
 * Fixes the clock: local time becomes `local` and the tick count `tick`;
 * both move only with clock_advance and Sleep from now on.  Answers false
 * (and leaves the clock as it was) when `local` is not a valid time.
 */
bool clock_fix(const SYSTEMTIME &local, DWORD tick);

/*
 * Moves a fixed clock forward by `ms` milliseconds and wakes every timed
 * wait whose deadline has passed.  No effect on the real clock.
 */
void clock_advance(ULONGLONG ms);

/* Returns the clock to real time (the offset is kept). */
void clock_real();

/* True while the clock is fixed. */
bool clock_is_fixed();

/*
 * Sets the machine's time zone as minutes east of UTC (540 for UTC+9,
 * -300 for UTC-5); local time = UTC + offset.  A fixed clock keeps its local
 * time (its UTC time moves).  Answers false, changing nothing, outside
 * -1440 .. 1440.
 */
bool clock_set_utc_offset(LONG minutes);

/*
 * A reading for the platform's own timed waits: the 64-bit tick count, and
 * an epoch number that changes whenever the clock is fixed or returned to
 * real time together with the tick count at which that epoch began, so that
 * a wait can carry the time it had left over to the new clock however late
 * it notices the change.
 */
struct ClockReading {
    ULONGLONG tick;
    unsigned epoch;
    ULONGLONG epoch_tick;
    bool fixed;
};
ClockReading clock_read();

/*
 * Registers a function called after every change of the clock (fix, advance,
 * return to real time), outside the clock's lock.  The wait layer uses it to
 * wake timed waits.  Call it from a static initialiser.
 */
void clock_on_change(void (*hook)());

} // namespace plat

#endif /* PLAT_CLOCK_H */
