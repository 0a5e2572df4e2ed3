/*
 * Conflict messages: the texts that explain an evaluation's outcome (which
 * settings stand in the way, what would change, why a value is refused),
 * the message boxes that show them with the driver's caption (resource
 * string 265) and the mapping of the user's answer to the codes the
 * conflict prompt continues with.  Also the display text of a setting value
 * (option names, numbers with the locale's decimal separator, paper sizes,
 * tray ranges).  Every text comes from the resource module.
 *
 * Codes exchanged with the conflict prompt: 1 failure, 3 keep the old
 * value, 4 values changed, 8 cancelled, 9 go on, 10 cancel the change, 11
 * ask the user (message kind 1 conflict, 2 value out of range, 3 store
 * full, 4 layout).
 */
#ifndef TARVEL_CNF_MESSAGES_H
#define TARVEL_CNF_MESSAGES_H

#include <tarvel/constraints/cnf_engine.h>

constexpr WORD CNF_PROMPT_FAIL = 1;
constexpr WORD CNF_PROMPT_KEEP = 3;
constexpr WORD CNF_PROMPT_CHANGED = 4;
constexpr WORD CNF_PROMPT_CANCELLED = 8;
constexpr WORD CNF_PROMPT_GO_ON = 9;
constexpr WORD CNF_PROMPT_CANCEL_CHANGE = 10;
constexpr WORD CNF_PROMPT_ASK = 11;

constexpr WORD CNF_MSG_CONFLICT = 1;
constexpr WORD CNF_MSG_RANGE = 2;
constexpr WORD CNF_MSG_STORE_FULL = 3;
constexpr WORD CNF_MSG_LAYOUT = 4;

/* Characters of a value text and of a range message text. */
constexpr int CNF_VALUE_TEXT_CHARS = 128;
/* Characters of a list or message text. */
constexpr int CNF_MESSAGE_CHARS = 1024;
/* Settings a list text names at most. */
constexpr int CNF_LIST_MAX = 20;

/* Policy flags of a range message record. */
constexpr WORD CNF_POLICY_CONVERT = 0x1;
constexpr WORD CNF_POLICY_INCH = 0x2;
constexpr WORD CNF_POLICY_FIXED = 0x4;

/* The caller's record of a value out of range. */
struct CnfRangeMessage {
    WCHAR text[CNF_VALUE_TEXT_CHARS]; /* empty when the caller builds the text */
    LONG minimum;
    LONG maximum;
    WORD type;
    LONG integerDisplay;
    WORD divisor;
    WORD policy;
    LONG unitMode;
    LONG decimals;
};

/* Classifies a change by the item's conflict policy value: 3, 11 (with *kind) or the range or store check's result. */
WORD CNF_ClassifyChange(HANDLE printer, const SettingsRef *ref, const CnfValue *value, ChangeList *list,
                        WORD policy, WORD *kind, CnfRangeMessage *range);
/* 9 in range, 11 with kind 2 out of range (the record filled), 3 without a value, 1 failure. */
WORD CNF_CheckValueRange(const SettingsRef *ref, const CnfValue *value, ChangeList *list, WORD *kind,
                         CnfRangeMessage *range);
/* 272: 9; 0x9001 with a printer: 3 below 32 stored stamps, else 11 with kind 3; else 1. */
WORD CNF_CheckStampStore(HANDLE printer, const SettingsRef *ref, const CnfValue *value, ChangeList *list,
                         WORD *kind);

/* Shows the message of the list's outcome kind and answers 9, 3, 10 or 1. */
WORD CNF_ShowConflictMessage(HWND window, const SettingsRef *ref, const CnfValue *value, LPCWSTR extraConflicts,
                             LPCWSTR extraChanges, const ChangeList *list);
/* Shows the settings the fired kind-9 rules changed (when a text can be built); always 4. */
WORD CNF_ShowFollowUpMessage(HWND window, const SettingsRef *ref, const ChangeList *list);
/* Asks before settings change: 0 after OK or when nothing is listed, 8 after Cancel, 1 failure. */
WORD CNF_ConfirmControlChange(HWND window, ModelContext *context, void *image, void *printerData, const WORD *ids,
                              WORD count);
/* The range warning with both limits formatted: 0 shown, 1 when the text cannot be built. */
WORD CNF_ShowValueWarning(HWND window, const SettingsRef *ref, WORD divisor, LONG integerDisplay, WORD id,
                          LPCWSTR name, WORD type, const void *minimum, const void *maximum,
                          const DWORD unitOptions[2]);
/* Layout messages (flags 0-3 choose the text, 0x10 the exclamation box with OK only): 0 after OK, else 1. */
WORD CNF_ShowLayoutMessage(WORD flags, HWND window, const SettingsRef *ref, const CnfValue *value, LPCWSTR name,
                           LPCWSTR valueText, const WORD *ids);

/* A new GlobalAlloc text of `capacity` characters (below 1: 1,024): string `id` of `module` formatted; 1 or 0. */
BOOL CNF_LoadFormatString(HMODULE module, LPWSTR *out, int capacity, UINT id, ...);
/* The display text of a value (null: the setting's name) into `out` (128 characters); 1 or 0. */
BOOL CNF_FormatValueText(BOOL withRange, HMODULE module, const SettingsRef *ref, LPWSTR out, WORD id,
                         const void *value, const DWORD unitOptions[2]);
/*
 * The settings list of `ids` (zero-terminated when count is 0) formatted
 * into string `stringId`, or with -3 the list text alone, as a new
 * GlobalAlloc text; 1 or 0 (also for an empty list or text).
 */
BOOL CNF_BuildSettingText(LPWSTR *out, HMODULE module, const SettingsRef *ref, const WORD *ids, WORD count,
                          int stringId, const DWORD unitOptions[2]);
/* The text of CNF_ShowLayoutMessage as a new GlobalAlloc text; 1 or 0. */
BOOL CNF_BuildChangeText(LPWSTR *out, WORD flags, HMODULE module, const SettingsRef *ref, const CnfValue *value,
                         LPCWSTR name, LPCWSTR valueText, const WORD *ids, const DWORD unitOptions[2]);
/*
 * A number for display into `out` (128 characters): whole with divisor 1;
 * divided and truncated with the integer-display flag; otherwise with the
 * decimal separator of string 9241 and as many fraction digits as the
 * divisor has zeros.  Strings are copied.  1 or 0.
 */
BOOL CNF_FormatNumber(LONG integerDisplay, LPWSTR out, WORD divisor, WORD type, const void *value);

#endif /* TARVEL_CNF_MESSAGES_H */
