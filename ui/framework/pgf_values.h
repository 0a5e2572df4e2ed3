/*
 * The value side of a control as far as the edit fields need it: the
 * control's active item, its current value in the working settings, its
 * range from the item's option list, and the change of a value.  The
 * option-list cache, the active-item choice among several items and the
 * constraint engine's part of a change wait for their work (README, "Not
 * built yet"): lists are built when asked for, a control's active item is
 * its first, and a change is checked against the range only.
 */
#ifndef TARVELUI_PGF_VALUES_H
#define TARVELUI_PGF_VALUES_H

#include "pgf_dispatch.h"

/* Results of PGF_SetItemValue. */
inline constexpr LONG PGF_VALUE_CHANGED = 1;
inline constexpr LONG PGF_VALUE_REFUSED = 2;
inline constexpr LONG PGF_VALUE_SAME = 3;

/* The number in an 8-byte value slot of `type` (16-bit types sign- or zero-extended, type 8 a byte). */
LONG PGF_SlotNumber(WORD type, const BYTE slot[8]);
/* The setting of the control's active item; 0 for none. */
WORD PGF_GetActiveItemId(const HandlerContext *context, const ControlDescriptor *control);
/* The active item's value (type and 8-byte slot; strings: a pointer into the settings); 0 when unreadable. */
BOOL PGF_ReadActiveValue(const HandlerContext *context, const ControlDescriptor *control, WORD *type, BYTE slot[8]);
/*
 * The control's range: option combos of 306, 359 and 385 have fixed ones
 * (other combos leave min and max alone and answer 1); otherwise the active
 * item's list decides: UI kind 2 gives 1 to the option count, kinds 4 and 6
 * the values of options 0 and 1 (16 bits for kind 6).  0 for any other.
 */
BOOL PGF_GetControlRange(const HandlerContext *context, const ControlDescriptor *control, LONG *minimum,
                         LONG *maximum);
/* The active item's name (its option list's title) into `name` (`chars` characters); 0 when none. */
BOOL PGF_GetActiveItemName(const HandlerContext *context, const ControlDescriptor *control, LPWSTR name, int chars);
/*
 * Proposes a new value for the control's active item (for types 6 and 9 a
 * string pointer): -1 for missing arguments or a failed read or write, 2 while
 * another change runs or for a number outside the control's range, 3 when it
 * equals the current value, 1 when written, with the changed settings
 * (zero-terminated, GlobalFree) in *changed.
 */
LONG PGF_SetItemValue(HandlerContext *context, const ControlDescriptor *control, WORD type, const void *value,
                      WORD **changed);

#endif /* TARVELUI_PGF_VALUES_H */
