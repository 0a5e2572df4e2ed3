/*
 * The visible failure of a call whose work is not built yet: one trace
 * line naming it (and, when given, what kind of job reached it), the last
 * error ERROR_CALL_NOT_IMPLEMENTED, and -1.
 */
#ifndef TARVELGR_NOT_BUILT_H
#define TARVELGR_NOT_BUILT_H

#include <plat/types.h>

/* Traces "<function>: not built yet" (with " (<detail>)" when `detail` is given); -1. */
int REN_NotBuilt(LPCWSTR function, LPCWSTR detail = nullptr);

#endif /* TARVELGR_NOT_BUILT_H */
