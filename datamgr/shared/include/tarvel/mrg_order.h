/*
 * The order of four paper margins.  Every margin store keeps the four
 * values in one order, the stored order; callers work in one of two orders,
 * named by a kind: kind 1 stores (a, b, c, d) as (a, b, d, c), kind 2 as
 * (c, d, a, b).  Both exchanges are their own inverse.
 *
 * This header and mrg_order.cpp depend only on plat/types.h: the data
 * manager compiles them as well as the common library.
 */
#ifndef TARVEL_MRG_ORDER_H
#define TARVEL_MRG_ORDER_H

#include "plat/types.h"

/* Result codes of the margins store. */
inline constexpr int MRG_OK = 1;
inline constexpr int MRG_NOT_FOUND = -100;   /* not found, no memory, no key, a bad argument */
inline constexpr int MRG_BAD_KIND = -5;      /* an order kind or direction other than 1 and 2; an empty list to save */
inline constexpr int MRG_NAME_NO_MEMORY = -4; /* no memory for a key name */
inline constexpr int MRG_WRITE_FAILED = -3;  /* a failed registry or blob write */
inline constexpr int MRG_READ_FAILED = -2;   /* a user value that cannot be read */
inline constexpr int MRG_KEY_FAILED = -1;    /* a user key that cannot be created */

/* Directions of MRG_ConvertMarginOrder. */
inline constexpr int MRG_CALLER_TO_STORED = 1;
inline constexpr int MRG_STORED_TO_CALLER = 2;

/* Order kinds. */
inline constexpr int MRG_ORDER_SWAP_LAST = 1;  /* (a, b, c, d) stored as (a, b, d, c) */
inline constexpr int MRG_ORDER_SWAP_PAIRS = 2; /* (a, b, c, d) stored as (c, d, a, b) */

/* The built-in margin, the same in all four places. */
inline constexpr LONG MRG_DEFAULT_MARGIN = 46;

/*
 * MRG_ConvertMarginOrder: direction 1 fills `stored` from `caller`,
 * direction 2 fills `caller` from `stored`, exchanging by order kind.
 * Returns 1; MRG_BAD_KIND (nothing written) for another direction or kind,
 * MRG_NOT_FOUND for a null array.  The two arrays may not overlap.
 */
int MRG_ConvertMarginOrder(int direction, int kind, LONG stored[4], LONG caller[4]);

#endif /* TARVEL_MRG_ORDER_H */
