/*
 * Growable tables of fixed-size elements, the form the output channel keeps
 * its per-page records in (one record and one spool-file position per
 * recorded page).  A table starts with an initial capacity and grows by that
 * same step, zero-filled; elements are read and written whole by index.
 *
 * Capacity and element size are 16-bit, as the page indexes of a recording
 * are: a table never grows past 65,535 elements, so the capacity cannot wrap
 * round to a smaller block than the elements it must hold.
 */
#ifndef TARVELGR_OUTPUT_TABLE_H
#define TARVELGR_OUTPUT_TABLE_H

#include <plat/types.h>

/* Largest number of elements a table holds. */
inline constexpr DWORD GT_MAX_CAPACITY = 0xFFFF;

struct GrowTable {
    WORD capacity;    /* elements allocated */
    WORD elementSize; /* bytes per element */
    WORD step;        /* elements added by each growth (the initial capacity) */
    BYTE *elements;   /* capacity x elementSize zero-filled bytes (GlobalAlloc); null when none */
};

/*
 * Makes `table` an empty table of `initialCapacity` zero-filled elements of
 * `elementSize` bytes; the growth step is the initial capacity.  Returns 0,
 * or -1 (table left empty) for a null table, a size or capacity of 0, or
 * when memory is short.  Free it with GT_Free.
 */
int GT_Create(GrowTable *table, WORD elementSize, WORD initialCapacity);

/*
 * Grows the table by its step (up to GT_MAX_CAPACITY elements), keeping the
 * elements it has and zero-filling the new ones.  Returns 0, or -1 with the
 * table unchanged when it is already at GT_MAX_CAPACITY, was never created,
 * or memory is short.
 */
int GT_Grow(GrowTable *table);

/* Copies `element` (elementSize bytes) into slot `index`.  0, or -1 for an index at or past the capacity. */
int GT_Put(GrowTable *table, DWORD index, const void *element);

/* Copies slot `index` into `element` (elementSize bytes).  0, or -1 for an index at or past the capacity. */
int GT_Get(const GrowTable *table, DWORD index, void *element);

/* Zero-fills slot `index`.  0, or -1 for an index at or past the capacity. */
int GT_Clear(GrowTable *table, DWORD index);

/* Frees the elements and empties the table.  A null or empty table is ignored. */
void GT_Free(GrowTable *table);

#endif /* TARVELGR_OUTPUT_TABLE_H */
