/*
 * The page colour set: the distinct colours a page uses, up to a small
 * limit, so that a page can be announced to the printer as monochrome or
 * colour together with how few colours it has.  The set is stored with each
 * recorded page.  Only its initialisation is here so far; adding colours,
 * merging and the colour code come with the page pipeline.
 */
#ifndef TARVELGR_PCS_COLOR_SET_H
#define TARVELGR_PCS_COLOR_SET_H

#include <plat/types.h>

/* Most colours a set can hold (slots 1 to capacity of the 16 are used). */
inline constexpr WORD PCS_MAX_CAPACITY = 15;

/* The value of an unused slot: white, which is never counted. */
inline constexpr LONG PCS_WHITE = 0xFFFFFF;

struct PageColorSet {
    LONG active;       /* 1 while collecting; 0 when not asked for or overflowed */
    WORD count;        /* distinct colours stored */
    WORD capacity;     /* at most PCS_MAX_CAPACITY */
    LONG mode;         /* 0: white is not counted; 1: white and black are not counted */
    LONG colors[16];   /* 0xRRGGBB values */
};
static_assert(sizeof(PageColorSet) == 76, "PageColorSet layout");

/*
 * Starts an empty set: `active` as given, `capacity` and `mode` kept, count
 * 0, every slot white.  Returns 0, or -1 (the set unchanged) for a null set
 * or a capacity above 15.
 */
int PCS_Init(PageColorSet *set, LONG active, WORD capacity, LONG mode);

/*
 * The BeginPage colour code of a page: a colour page (code 2) whose set is
 * still collecting tells how few colours it has, 16 x count + 2; any other
 * code is returned unchanged.
 */
BYTE PCS_ColorCode(const PageColorSet *set, BYTE colorCode);

#endif /* TARVELGR_PCS_COLOR_SET_H */
