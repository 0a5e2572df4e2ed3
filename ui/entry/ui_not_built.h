/*
 * The visible failure of a call whose work is not built yet: one trace line
 * naming it, the last error ERROR_CALL_NOT_IMPLEMENTED, and the caller's
 * failure value.
 */
#ifndef TARVELUI_UI_NOT_BUILT_H
#define TARVELUI_UI_NOT_BUILT_H

#include <plat/types.h>

/* Traces "<function>: not built yet" and sets ERROR_CALL_NOT_IMPLEMENTED; answers `failure`. */
int UI_NotBuilt(LPCWSTR function, int failure);

#endif /* TARVELUI_UI_NOT_BUILT_H */
