/*
 * Booklet page arithmetic: sides of a set, the page on each half of a side,
 * the side order of two-pass jobs, and the cutting of a document into sets.
 * Every count is worked out in 64 bits where a product could pass 32.
 */
#include "booklet_order.h"

#include <algorithm>

LONG BKL_SideCount(LONG a, LONG b, BOOL cover)
{
    if (a < 0 || b < a)
        return 0;
    if (cover && a == 0)
        return 2 * ((b + 6) / 4) - 1;
    return 2 * ((b - a + 4) / 4);
}

LONG BKL_PageOnSide(LONG a, LONG b, LONG s, LONG binding, LONG position, LONG outerFirst, BOOL cover)
{
    const LONG sides = BKL_SideCount(a, b, cover);
    if (sides == 0 || s < 0 || s >= sides || (position != 0 && position != 1))
        return -1;
    const bool withCover = cover && a == 0;
    /* The cover's side takes the parity of the side after it, so its pages swap halves. */
    LONG q = s;
    if (withCover && (outerFirst ? s != 0 : s == sides - 1))
        q++;
    const bool first = ((q % 2 == 1) != (binding == 1)) == (position == 1);
    LONG page;
    if (outerFirst)
        page = first ? a + s : a + 2 * sides - s - 1;
    else
        page = first ? a + sides + s : a + sides - s - 1;
    return page > b ? BKL_BLANK : page;
}

LONG BKL_TwoPassSide(LONG sides, LONG step, DWORD pass, BOOL ascendingBacks)
{
    const LONG even = sides + sides % 2;
    if (sides < 1 || step < 0 || step >= even || (pass != 1 && pass != 2))
        return -1;
    const LONG half = even / 2;
    LONG side;
    if (step >= half)
        side = (step - half) * 2;
    else
        side = ascendingBacks ? 2 * step + 1 : even - 2 * step - 1;
    const bool back = side % 2 == 1;
    if (side >= sides || back != (pass == 1))
        return -1;
    return side;
}

namespace {

/* Sheets of a set in mode 1: sheets / sets each, the first (sheets mod sets) one more. */
LONG split_sheets(LONG totalSheets, LONG setCount, LONG i)
{
    return totalSheets / setCount + (i < totalSheets % setCount ? 1 : 0);
}

LONG ceil_div(LONG n, LONG d) { return (n + d - 1) / d; }

} // namespace

LONG BKL_SetCount(const BookletSets *sets)
{
    if (!sets || sets->count <= 0)
        return 0;
    const LONG k = sets->sheets;
    if (k < 1 || sets->mode == BKL_SETS_WHOLE)
        return 1;
    if (sets->mode == BKL_SETS_SPLIT)
        return ceil_div(ceil_div(sets->count, 4), k);
    if (sets->mode != BKL_SETS_FIXED)
        return 1;
    const LONGLONG step = 4LL * k;
    const LONGLONG n = (LONGLONG(sets->count) + step + (sets->cover ? 0 : 2) - 3) / step;
    return LONG(std::max<LONGLONG>(n, 1));
}

int BKL_SplitSets(const BookletSets *sets, LONG i, LONG *a, LONG *b)
{
    const LONG n = BKL_SetCount(sets);
    if (!a || !b || i < 0 || i >= n)
        return -1;
    const LONG last = sets->first + sets->count - 1;
    const LONG k = sets->sheets;
    LONGLONG start = sets->first, end = last;
    if (n > 1 && sets->mode == BKL_SETS_SPLIT) {
        const LONG total = ceil_div(sets->count, 4);
        for (LONG j = 0; j < i; j++)
            start += 4LL * split_sheets(total, n, j);
        end = start + 4LL * split_sheets(total, n, i) - 1;
    } else if (n > 1) {
        const LONGLONG step = 4LL * k, shift = sets->cover ? 2 : 0;
        start = sets->first + step * i - (i > 0 ? shift : 0);
        /* The last set takes whatever is left, however many pages that is. */
        end = i == n - 1 ? last : sets->first + step * (i + 1) - shift - 1;
    }
    *a = LONG(start);
    *b = LONG(std::min<LONGLONG>(end, last));
    return 0;
}

BOOL BKL_SetComplete(LONG recorded, LONG lastPage, LONG sheets, BOOL cover, BOOL firstSet)
{
    if (sheets < 1)
        return FALSE;
    const LONGLONG full = 4LL * sheets;
    if (full <= recorded)
        return TRUE;
    return cover && firstSet && full - 2 <= LONGLONG(lastPage) + 1;
}
