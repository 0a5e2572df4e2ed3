/*
 * Private parts of the constraint engine shared by its sources.
 */
#ifndef TARVEL_CNF_INTERNAL_H
#define TARVEL_CNF_INTERNAL_H

#include <tarvel/constraints/cnf_engine.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>

#include <string>

/* An identifier list with inline entries that grows in steps of 5. */
struct CnfIds {
    explicit CnfIds(WORD inlineCapacity);
    ~CnfIds();
    CnfIds(const CnfIds &) = delete;
    CnfIds &operator=(const CnfIds &) = delete;
    WORD add(WORD id);
    void clear();
    bool contains(WORD id) const;

    WORD capacity;
    WORD count;
    WORD *list;
    WORD entries[CNF_INVOLVED_INLINE];
};

/* A setting read raw through the binding. */
struct CnfSetting {
    WORD status = 0xFFFF;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    /* The value as CNF_CompareValues takes it (the characters for strings). */
    const void *data() const;
    /* The number, signed or not by its type (strings: 0). */
    LONG number() const;
};

/* Reads setting `id`; returns the binding's status. */
WORD cnf_Read(const SettingsRef *ref, WORD id, CnfSetting *out);
/* Reads a number; false when the read fails. */
bool cnf_ReadNumber(const SettingsRef *ref, WORD id, LONG *out);

/* The value under test as CNF_CompareValues takes it (string: the characters), or null. */
const void *cnf_ValueData(WORD type, const void *value);
/* The number a value under test holds by its type. */
LONG cnf_ValueNumber(WORD type, const void *value);
/* Byte size of a value of `type` as handed over (0 for types without a fixed size). */
DWORD cnf_TypeSize(WORD type);

/* Moves `source` into `list` (whose blocks are freed first); `source` is left empty. */
void cnf_MoveChangeList(ChangeList *list, ChangeList *source);

/* What one evaluation carries down the walk. */
struct CnfWalk {
    WORD mode;
    HANDLE printer;
    const SettingsRef *ref;
    const CnfValue *value;
    ChangeList *list;
    CnfIds *changed; /* null when the caller did not ask */
};

/* Internal failure codes of the walk (mapped to 1 and 2 where the walk ends). */
constexpr WORD CNF_HARD_FAIL = 0x8001;
constexpr WORD CNF_HARD_NO_MEMORY = 0x8002;

/* Tests one involved entry or main condition: 1 holds, 0 not, CNF_HARD_* on failure. */
WORD cnf_TestEntry(const CnfWalk &walk, const DddSettingItem &entry, WORD *bits);
/* Paper-range relation of a rule flags word: 1 fires (its bits added), 0 not, CNF_HARD_* on failure. */
WORD cnf_CheckRelation(const CnfWalk &walk, WORD flags);
/* The settings a relation code reads (for the involved list); count 0 for codes without a relation. */
WORD cnf_RelationSettings(WORD flags, const WORD **ids);
/* Whether a mode skips a rule with these flags. */
bool cnf_ModeSkips(WORD mode, WORD flags);

/* The job's paper code: 262, or 8 when 262 is 267. */
bool cnf_ReadJobPaper(const SettingsRef *ref, LONG *code);
/* Minimum and maximum custom size of a tray record (kind 5 or 6) that lists paper code 262; false when none. */
bool cnf_GetTrayRange(const SettingsRef *ref, WORD kind, WORD trayId, DddPair *min, DddPair *max, bool *found);

/* The stored stamp `name` exists and has its flag word set. */
bool cnf_StampFlagSet(HANDLE printer, const SettingsRef *ref, const std::u16string &name);

/* Adds the entries of an identifier list to another; 0 or 2. */
WORD cnf_AddAll(CnfIds *to, const CnfIds &from);

/* Resource string `id` of the resource module; false when it is missing or empty. */
bool cnf_LoadString(UINT id, std::u16string *out);
/* Resource string `id` of `module` (null: the resource module). */
bool cnf_LoadFrom(HMODULE module, UINT id, std::u16string *out);
/* The display text of a value (null: the setting's name); false when it cannot be built. */
bool cnf_ValueText(BOOL withRange, HMODULE module, const SettingsRef *ref, WORD id, const void *value,
                   const DWORD unitOptions[2], std::u16string *out);
/* Collects the settings of every group of a forward rule that holds into walk.changed: 1, 0 or CNF_HARD_*. */
WORD cnf_SearchGroups(const CnfWalk &walk, const DddRuleRecord *rule);
/* The conflict list text of an evaluation's fired forward rules and relation bits. */
bool cnf_ConflictListText(HMODULE module, const SettingsRef *ref, const CnfValue *value, const ChangeList *list,
                          const DWORD unitOptions[2], std::u16string *out);
/* The change list text of the fired forward rules (onlyKind >= 0: only rules of that outcome kind). */
bool cnf_ChangeListText(HMODULE module, const SettingsRef *ref, const ChangeList *list, SHORT onlyKind,
                        const DWORD unitOptions[2], std::u16string *out);
/* The settings list text of `ids` (zero-terminated when count is 0) with their current values. */
bool cnf_SettingsListText(HMODULE module, const SettingsRef *ref, const WORD *ids, WORD count,
                          const DWORD unitOptions[2], std::u16string *out);
/* A new GlobalAlloc text: resource string `id` formatted with up to four text arguments; null on failure. */
LPWSTR cnf_FormatString(UINT id, LPCWSTR a, LPCWSTR b = nullptr, LPCWSTR c = nullptr, LPCWSTR d = nullptr);
/* A text of a settings record (read unit by unit; null gives an empty text). */
std::u16string cnf_Text(const void *text);
/* The display name of setting `id` (with a value: the name of that option); false when the model has none. */
bool cnf_NameOf(const SettingsRef *ref, WORD id, const void *value, std::u16string *out);

#endif /* TARVEL_CNF_INTERNAL_H */
