/*
 * The page colour set (see pcs_color_set.h): its initialisation, done for
 * every job when its channel opens and for every recorded page, and the
 * colour code it gives a colour page.
 */
#include "pcs_color_set.h"

int PCS_Init(PageColorSet *set, LONG active, WORD capacity, LONG mode)
{
    if (!set || capacity > PCS_MAX_CAPACITY)
        return -1;
    set->active = active;
    set->count = 0;
    set->capacity = capacity;
    set->mode = mode;
    for (LONG &color : set->colors)
        color = PCS_WHITE;
    return 0;
}

BYTE PCS_ColorCode(const PageColorSet *set, BYTE colorCode)
{
    if (!set || colorCode != 2 || set->active != 1)
        return colorCode;
    return BYTE(16 * set->count + 2);
}
