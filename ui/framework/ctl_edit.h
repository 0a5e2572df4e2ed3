/*
 * Numeric and text edit fields (control kind 4): show the value of the
 * control's active item, check typed text against the field's rules,
 * convert between shown and stored units (millimetres or inches) and hand
 * a new value to the value change when the field is left.
 */
#ifndef TARVELUI_CTL_EDIT_H
#define TARVELUI_CTL_EDIT_H

#include "ctl_handlers.h"
#include "pgf_dispatch.h"
#include "pgf_input.h"

#include <string>

/* Edit field flags. */
inline constexpr WORD EDIT_NUMERIC = 0x01;
inline constexpr WORD EDIT_TEXT = 0x02;      /* a wide-string value with an undo record */
inline constexpr WORD EDIT_SIGNED = 0x10;
inline constexpr WORD EDIT_NO_SIGN = 0x20;
inline constexpr WORD EDIT_FIXED = 0x40;
inline constexpr WORD EDIT_NO_BLANKS = 0x100;
inline constexpr WORD EDIT_EMPTY_OK = 0x200;
inline constexpr WORD EDIT_UNITS = 0x400;    /* shown in the sheet's unit */
inline constexpr WORD EDIT_HALF_STEP = 0x1000;
inline constexpr WORD EDIT_SCRAMBLED = 0x2000;

/* Check-mask bits: the events that also run the character check. */
inline constexpr BYTE EDIT_CHECK_PAGE_LEAVE = 1 << 2;
inline constexpr BYTE EDIT_CHECK_KILL_FOCUS = 1 << 3;
inline constexpr BYTE EDIT_CHECK_VALIDATE = 1 << 4;
inline constexpr BYTE EDIT_CHECK_RESET = 1 << 5;

struct EditNumberFormat {
    LONG decimals;
    LONG displayConversion; /* 1: the value passes through PGF_ConvertDisplayValue */
};

struct EditFieldRules;
/* A page's hook before a value is applied: 1 go on, 2 refuse, other stop. */
using EditCallback = LONG (*)(HandlerContext *context, UINT message, const ControlDescriptor *control,
                              const EditFieldRules *rules, LONG value);

struct EditFieldRules {
    WORD flags;
    LONG maximum;                         /* characters (text fields: also ANSI bytes) */
    const InputCharRules *charRules;      /* text fields */
    const EditNumberFormat *numberFormat; /* numeric fields */
    BYTE checkMask;
    EditCallback callback;
};
static_assert(sizeof(EditFieldRules) == 40, "EditFieldRules layout");

/* The parameter block of a kind-4 control. */
struct EditFieldParams {
    const EditFieldRules *rules;
};

/* One per edit field and page window while the page is active. */
struct EditUndoRecord {
    LPWSTR storedText; /* text fields: the last accepted value as stored */
    LPWSTR shownText;  /* and as shown */
    LONG busy;         /* set by the companion spin control while it steps */
    LONG showingMessage;
};

/* What a field shows in the current unit: its flags and decimals after the unit choice. */
struct EditFormat {
    WORD flags;
    LONG decimals;
};

/* Read results. */
inline constexpr LONG EDIT_READ_GOOD = 0;
inline constexpr LONG EDIT_READ_BAD = -2;

/*
 * Unit conversion of setting `ddmid` (direction 1 shown to stored, 2
 * stored to shown) in the sheet's current unit; `format` receives the
 * field's flags and decimals for that unit.  0 for a setting without one.
 */
BOOL CTL_ConvertEditValue(const SheetState *state, WORD ddmid, int direction, LONG *value, EditFormat *format);
/* Reads and checks the field's text: EDIT_READ_GOOD, EDIT_READ_BAD or -1; the shown value or text. */
LONG CTL_ReadNumericEdit(HandlerContext *context, const ControlDescriptor *control, BOOL check, LONG *value,
                         std::u16string *text);
/* Shows the stored value of the control's active item. */
BOOL CTL_WriteNumericEdit(HandlerContext *context, const ControlDescriptor *control);
/* Frees the field's undo record on this page. */
void CTL_DropEditUndo(HandlerContext *context, const ControlDescriptor *control);

#endif /* TARVELUI_CTL_EDIT_H */
