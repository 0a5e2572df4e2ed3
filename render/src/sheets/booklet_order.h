/*
 * The page arithmetic of booklets: how many sheet sides a set of recorded
 * pages a..b fills, which page goes on each half of each side, and how a
 * document is cut into sets of sheets (whole, split into sets of at most k
 * sheets, or fixed sets of k sheets).  Pure functions over page indexes; the
 * replay (rec_booklet.cpp) writes the sides.
 *
 * A side is one face of a folded sheet: two pages side by side, position 0
 * the left half and position 1 the right half of the spread as it is read.
 * With the cover flag the document's first and last pages go on a cover fed
 * on its own, so the first set has an odd number of sides.
 */
#ifndef TARVELGR_BOOKLET_ORDER_H
#define TARVELGR_BOOKLET_ORDER_H

#include <plat/types.h>

/* A page index of a side that holds no page (beyond the set). */
inline constexpr LONG BKL_BLANK = -100;

/* Set modes (setting 446). */
enum : LONG {
    BKL_SETS_WHOLE = 0, /* one set of all pages */
    BKL_SETS_SPLIT = 1, /* the document divided into sets of at most k sheets */
    BKL_SETS_FIXED = 2, /* sets of k sheets from the first page */
};

/*
 * The sides of the set of pages a..b: with `cover` and a = 0,
 * 2 x floor((b + 6) / 4) - 1; otherwise two for every started group of four
 * pages.  0 for an empty or reversed range or a negative a.
 */
LONG BKL_SideCount(LONG a, LONG b, BOOL cover);

/*
 * The page on side `s` (0 .. sides - 1) of the set a..b at `position` (0 or
 * 1) for booklet binding `binding` (1 left, 2 right), `outerFirst` (0: the
 * centre spread first, 1: the outer sheet first) and `cover`.  BKL_BLANK
 * when the page lies beyond b; -1 for a side, position or range outside
 * their bounds.
 */
LONG BKL_PageOnSide(LONG a, LONG b, LONG s, LONG binding, LONG position, LONG outerFirst, BOOL cover);

/*
 * The side written at step `step` (0 .. sides rounded up to even, less 1) of pass `pass` (1 or 2)
 * of a two-pass job, whose first pass writes the back faces (odd sides:
 * descending, or ascending with `ascendingBacks`) and whose second the front
 * faces (even sides, ascending).  -1 when the step writes nothing in this
 * pass.  An odd side count (a cover) is taken as one more side that is
 * never written, so no side is written twice.
 */
LONG BKL_TwoPassSide(LONG sides, LONG step, DWORD pass, BOOL ascendingBacks);

/* How a document of `count` recorded pages from `first` is cut into booklet sets. */
struct BookletSets {
    LONG mode;     /* BKL_SETS_... */
    LONG first;    /* the first recorded page index */
    LONG count;    /* pages recorded */
    LONG sheets;   /* k: sheets a set (modes 1 and 2); below 1 makes one set */
    LONG cover;    /* the first set starts with the cover */
};

/* The number of sets; 0 without pages. */
LONG BKL_SetCount(const BookletSets *sets);

/*
 * Set `i` (0 .. BKL_SetCount - 1, in page order): its pages a..b.  Mode 1
 * (BKL_SplitSets): ceil(count / 4) sheets in ceil(sheets / k) sets of
 * sheets / sets sheets, the first (sheets mod sets) one more; mode 2: steps
 * of 4k pages, every set after the first starting 2 pages earlier with the
 * cover; the last set ends at the last page.  0, or -1 for an index out of
 * range.
 */
int BKL_SplitSets(const BookletSets *sets, LONG i, LONG *a, LONG *b);

/*
 * Whether a set of fixed sets of k sheets is full once `recorded` pages of
 * it are recorded, the last with index `lastPage`: 4k pages, or on the first
 * set of a booklet with a cover 4k - 2.  k below 1 never fills.
 */
BOOL BKL_SetComplete(LONG recorded, LONG lastPage, LONG sheets, BOOL cover, BOOL firstSet);

#endif /* TARVELGR_BOOKLET_ORDER_H */
