/*
 * The visible failure of a drawing function whose work is not built yet:
 * REN_NotBuilt (one trace line naming it and its work, the last error
 * ERROR_CALL_NOT_IMPLEMENTED), then the function's failure answer.
 */
#ifndef TARVELGR_DRAW_NOT_BUILT_H
#define TARVELGR_DRAW_NOT_BUILT_H

#include "not_built.h"

template <typename T> T DRAW_NotBuilt(LPCWSTR function, LPCWSTR work, T failure)
{
    REN_NotBuilt(function, work);
    return failure;
}

#endif /* TARVELGR_DRAW_NOT_BUILT_H */
