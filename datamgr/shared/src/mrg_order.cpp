/*
 * The exchange between the stored order of four margins and the two orders
 * callers work in.  Depends only on plat/types.h, so that the data manager
 * can compile the same source.
 */
#include "tarvel/mrg_order.h"

int MRG_ConvertMarginOrder(int direction, int kind, LONG stored[4], LONG caller[4])
{
    if (!stored || !caller)
        return MRG_NOT_FOUND;
    if ((direction != MRG_CALLER_TO_STORED && direction != MRG_STORED_TO_CALLER) ||
        (kind != MRG_ORDER_SWAP_LAST && kind != MRG_ORDER_SWAP_PAIRS))
        return MRG_BAD_KIND;
    /* Position i of the stored order holds caller value map[i]; each map is its own inverse. */
    static constexpr int kSwapLast[4] = {0, 1, 3, 2};
    static constexpr int kSwapPairs[4] = {2, 3, 0, 1};
    const int *map = kind == MRG_ORDER_SWAP_LAST ? kSwapLast : kSwapPairs;
    LONG *to = direction == MRG_CALLER_TO_STORED ? stored : caller;
    const LONG *from = direction == MRG_CALLER_TO_STORED ? caller : stored;
    for (int i = 0; i < 4; ++i)
        to[i] = from[map[i]];
    return MRG_OK;
}
