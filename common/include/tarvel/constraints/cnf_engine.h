/*
 * The constraint engine: whether a setting value (proposed or current)
 * conflicts with the other settings, which model rules are involved, what
 * kind of conflict it is and which settings the rules would change.  It
 * fills a ChangeList and returns a code; it never shows anything.
 *
 * Rule sources: the built-in rules of a fixed set of settings (run first)
 * and the model's constraint rules (record kinds 7 forward and 8 reverse),
 * referenced from the feature record of a setting or the option record of
 * one of its values.  Rule references are taken as 1-based record numbers
 * by the evaluation and as record identifiers by CNF_ApplyRuleList; the
 * model writer gives rule n the identifier n, so the two readings agree.
 *
 * Value conventions: a value under test points at the value's bytes by its
 * type (4 bytes for types 1, 4, 5, 10; 2 for 2, 3; 1 for 8); for the string
 * type 6 it points at the string pointer.  A null value means the setting's
 * current value.
 *
 * Codes (16-bit): 0 done, 1 bad argument or failure, 2 no memory, and the
 * codes of the built-in rules and fixes named at each function.  Blocks
 * handed out are zero-filled GlobalAlloc memory that the caller frees.
 */
#ifndef TARVEL_CNF_ENGINE_H
#define TARVEL_CNF_ENGINE_H

#include <plat/types.h>

#include <cstddef>

struct ModelContext;
struct DddRuleRecord;

/* The records every rule reads and writes. */
struct SettingsRef {
    ModelContext *context;
    void *image;       /* settings image (devmode and extension block) */
    void *printerData; /* PrinterData record */
};

/* A setting value: identifier, value type and the value (null = current). */
struct CnfValue {
    WORD id;
    WORD type;
    const void *value;
};

/* Inline capacities of the lists and the growth step. */
constexpr WORD CNF_FIRED_INLINE = 8;
constexpr WORD CNF_INVOLVED_INLINE = 20;
constexpr WORD CNF_CHANGED_INLINE = 10;
constexpr WORD CNF_ACTIONS_INLINE = 5;
constexpr WORD CNF_GROWTH_STEP = 5;

/*
 * The result of an evaluation (128 bytes).  Each list points at its own
 * inline entries until it grows into a GlobalAlloc block.
 */
struct ChangeList {
    DWORD reserved;     /* not touched by the rule walk; 0 after a reset */
    SHORT outcome;      /* outcome kind, 0 = none */
    WORD relationBits;  /* paper and tray settings found out of range */
    WORD forwardCount;  /* fired forward rules (1-based record numbers) */
    WORD forwardInline[CNF_FIRED_INLINE];
    WORD *forward;
    WORD reverseCount;  /* fired reverse rules */
    WORD reverseInline[CNF_FIRED_INLINE];
    WORD *reverse;
    WORD involvedCount; /* settings involved in the rules examined */
    WORD involvedInline[CNF_INVOLVED_INLINE];
    WORD *involved;
};
static_assert(sizeof(ChangeList) == 128, "ChangeList is 128 bytes");
static_assert(offsetof(ChangeList, forward) == 32 && offsetof(ChangeList, reverse) == 64 &&
                  offsetof(ChangeList, involved) == 120,
              "ChangeList layout");

/* Evaluation modes and flags. */
constexpr WORD CNF_MODE_TEST = 0;
constexpr WORD CNF_MODE_CHECK = 1;
constexpr WORD CNF_MODE_2 = 2;
constexpr WORD CNF_MODE_DEFAULT = 3;
constexpr WORD CNF_FLAG_FEATURE_RULES = 1;

/* Rule flags. */
constexpr WORD CNF_RULE_OUTCOME_MASK = 0x00FF;
constexpr WORD CNF_RULE_SKIP_MODE1 = 0x0100;
constexpr WORD CNF_RULE_SKIP_MODE2 = 0x0200;
constexpr WORD CNF_RULE_RELATION_MASK = 0x3C00;
constexpr WORD CNF_RULE_DEFAULT_ONLY = 0x4000;

/* Results of CNF_CompareValues. */
constexpr WORD CNF_CMP_HOLDS = 9;
constexpr WORD CNF_CMP_DIFFERS = 10;
constexpr WORD CNF_CMP_BAD_OPERATOR = 11;
constexpr WORD CNF_CMP_NULL = 6;
constexpr WORD CNF_CMP_TYPES_DIFFER = 7;
constexpr WORD CNF_CMP_UNSUPPORTED = 8;

/* Engine codes. */
constexpr WORD CNF_OK = 0;
constexpr WORD CNF_FAIL = 1;
constexpr WORD CNF_NO_MEMORY = 2;
constexpr WORD CNF_NOTHING_CHANGED = 3;
constexpr WORD CNF_CHANGED = 4;
constexpr WORD CNF_NO_RULE = 6;

/* --- Change lists ---------------------------------------------------------- */

/* A new zero-filled list with its pointers on the inline entries, or null. */
ChangeList *CNF_NewChangeList(void);
/* Frees grown blocks and the list (null is ignored). */
void CNF_FreeChangeList(ChangeList *list);
/* Frees grown blocks and clears the list, pointers back on the inline entries. */
void CNF_ResetChangeList(ChangeList *list);
/* Makes `list` (any state; it is reset first) a copy of `source` with blocks of its own: 0, 1 null, 2 no memory (then reset). */
WORD CNF_CopyChangeList(ChangeList *list, const ChangeList *source);
/* Points a list that has not grown at its own inline entries (after a byte copy). */
void CNF_InitChangeList(ChangeList *list);

/*
 * Adds `id` unless present (0 either way).  When the count reaches the
 * capacity (n, n + 5, n + 10, ...) the entries move to a new block 5
 * entries larger; the old block is freed unless it was the inline array.
 * 2 when the block cannot be had (the list keeps its entries), 1 for a null
 * list or count pointer.
 */
WORD CNF_AddUniqueId(WORD id, WORD inlineCapacity, WORD **list, WORD *count);
/* Adds n values in order, stopping at the first failure; n 0 or no values: 0. */
WORD CNF_AddUniqueIds(WORD inlineCapacity, WORD **list, WORD *count, const WORD *values, WORD n);
/* Frees a list block that grew past its inline capacity. */
void CNF_FreeGrownIds(WORD inlineCapacity, WORD *list, WORD count);

/* Raises the outcome kind when the new kind's priority is strictly higher. */
void CNF_MergeOutcomeKind(SHORT *outcome, SHORT kind);
/* Priority of an outcome kind (0 for a kind not in the table). */
int CNF_OutcomePriority(SHORT kind);

/* --- Values ---------------------------------------------------------------- */

/*
 * Compares a setting value with a condition value (the setting on the
 * left): 9 holds, 10 does not, 11 operator not valid for the type, 6 a null
 * pointer, 7 the types differ, 8 type not supported.  Numbers point at their
 * bytes by type; strings at the characters.
 */
WORD CNF_CompareValues(BYTE op, WORD conditionType, const void *conditionValue, WORD settingType,
                       const void *settingValue);

/* Writes a value with the byte size of its type; 0 or 1. */
WORD CNF_SetValue(const SettingsRef *ref, const CnfValue *value);
/* 9 the value equals the current one, 10 it differs, 1 read failure. */
WORD CNF_CompareWithCurrent(const SettingsRef *ref, const CnfValue *value);
/* Width and length (0.1 mm) of a paper code: custom slots, the user size 256, model papers; 0 or 1. */
WORD CNF_GetPaperExtent(const SettingsRef *ref, WORD paperCode, LONG *width, LONG *length);

/* --- Evaluation ------------------------------------------------------------ */

/*
 * Evaluates setting `id` (value null: its current value) in `mode` against
 * the built-in rules and the model's rules, filling `list`.  `restrictIds` is
 * a zero-terminated list of identifiers (may be null).  With `changed`, a
 * new zero-terminated GlobalAlloc list of the settings the rules change (the
 * caller frees it), or null when nothing changed.
 */
WORD CNF_Evaluate(WORD mode, HANDLE printer, ModelContext *context, void *image, void *printerData,
                  const WORD *restrictIds, WORD id, WORD type, const void *value, ChangeList *list, WORD **changed,
                  WORD flags);

/*
 * Runs a rule's actions, adding each changed setting to the list (inline
 * capacity 5; a local list when none is given): 4 all ran, 3 none, 1
 * failure, 2 no memory.  The 16-bit values 0x8000 and 0x8001 stand for the
 * model default of the action's setting and of setting 8.
 */
WORD CNF_ApplyRuleActions(const SettingsRef *ref, const DddRuleRecord *rule, WORD **changed, WORD *count);

/* --- Built-in rules and fixes --------------------------------------------- */

/* Built-in rules of the setting under test: 0 done, 1 failure, 2 no memory, 6 no built-in rule. */
WORD CNF_ApplyFeatureRules(HANDLE printer, const SettingsRef *ref, const CnfValue *value,
                           const ChangeList *previous, ChangeList *list, WORD **changed, WORD *count);

/* Applies the actions of rules read by identifier (forward: kind 7, else 8): 4 changed, 3 not, 1 failure. */
WORD CNF_ApplyRuleList(WORD forward, const SettingsRef *ref, WORD **changed, WORD *count, WORD n,
                       const WORD *ruleIds);
/* Writes n values, adding each to the changed list (inline capacity 5): 4, 3 for n 0, 1 failure, 2 no memory. */
WORD CNF_ApplyValueList(const SettingsRef *ref, WORD **changed, WORD *count, WORD n, const CnfValue *items);

/* One proposed value of a proposal (16 bytes); the value block holds the number, or the characters of a text. */
struct CnfProposalItem {
    WORD id;
    WORD type;
    WORD size;
    void *value;
};
static_assert(sizeof(CnfProposalItem) == 16, "proposal item is 16 bytes");

/* Before-and-after proposal for the conflict prompt; every block belongs to the caller. */
struct CnfProposal {
    LPWSTR before;
    LPWSTR after;
    WORD count;
    CnfProposalItem *items;
};
/* Frees the blocks of a proposal and clears it. */
void CNF_FreeProposal(CnfProposal *proposal);
/* 0 with or without a proposal, 1 failure, 2 no memory (nothing left allocated). */
WORD CNF_ProposeDependentValues(HANDLE printer, const SettingsRef *ref, const CnfValue *value,
                                CnfProposal *proposal);

/* Poster fit: 0 fits, 13 pages too small, 14 too large, 1 failure; on 13 and 14 a new zero-terminated list. */
WORD CNF_CheckLayoutFit(const SettingsRef *ref, const CnfValue *value, WORD **list);
/* The fit check with its message: 9 go on, 3 keep the old value, 1 failure. */
WORD CNF_CheckLayoutFitAndWarn(HWND window, const SettingsRef *ref, const CnfValue *value);

/* A setting and its number. */
struct CnfNumber {
    WORD id;
    WORD type;
    DWORD value;
};
/* Recomputes the output tray 266 from the finishing settings (written only when it differs): 1 or 0. */
BOOL CNF_SelectOutputTray(ModelContext *context, void *image, void *printerData, CnfNumber *out);
/* 1 when the document monitor is available and the default of 8201 is 1. */
BOOL CNF_IsMonitorDefaultOn(ModelContext *context);

#endif /* TARVEL_CNF_ENGINE_H */
