/*
 * The per-model configuration file: an INI file in the driver directory,
 * named after the model data's companion file with the extension "cfg",
 * with which a deployment presets, enforces, dims or hides features of a
 * printer model without touching the model data.  Its section for the model
 * (the model name with " ", "/" and "-" turned into "_", else "default")
 * is read into a ModelSpecials record when a model context is opened, and
 * its values are written into settings records through the data-manager
 * binding.  The INI routines here are shared with the devmode mapping
 * section (tarvel/settings/dme_mapping.h) and the trace switch (tarvel/base/log_trace.h).
 *
 * Lines of the model's section:
 *   F.enforced=v  F.default=v  F.display=v   for a feature name F
 *   USE_SPECIAL1=v  MONOCOLOR_PRINT=v  SECURE_PRINT=v  LOG=v   switches
 *   COMMENT=text
 * A value is a value word ("on", "gray", "dimout", ...; case ignored) or a
 * decimal number; anything else counts as 0.  A line counts only when its
 * value is not empty; values of 33 characters or more are cut to their first
 * 31 characters before they are read.  F.enforced wins over F.default.  A
 * switch with value 1 enforces a bundle of settings, applied after the
 * features (so it wins over them) and found first by the queries.
 *
 * Texts and records handed out are GlobalAlloc blocks: free texts with
 * GlobalFree and ModelSpecials with CFG_FreeSpecials.
 */
#ifndef TARVEL_CFG_MODEL_H
#define TARVEL_CFG_MODEL_H

#include <plat/types.h>

struct ModelContext;

/* Entry flags. */
inline constexpr WORD CFG_FLAG_DEFAULT = 0x1;  /* a default value is given */
inline constexpr WORD CFG_FLAG_ENFORCED = 0x2; /* an enforced value is given */
inline constexpr WORD CFG_FLAG_HIDE = 0x4;     /* display value 0 */
inline constexpr WORD CFG_FLAG_DIMOUT = 0x8;   /* display value 1 */
inline constexpr WORD CFG_FLAG_SHOW = 0x10;    /* display value 2 */

/* Switch numbers. */
inline constexpr WORD CFG_SWITCH_USE_SPECIAL1 = 0;
inline constexpr WORD CFG_SWITCH_MONOCOLOR_PRINT = 1;
inline constexpr WORD CFG_SWITCH_SECURE_PRINT = 2;
inline constexpr WORD CFG_SWITCH_LOG = 999;

/* Application modes of CFG_ApplySpecials. */
inline constexpr int CFG_APPLY_ALL = 0;      /* default and enforced values */
inline constexpr int CFG_APPLY_ENFORCED = 1; /* enforced values only */

/* A value buffer: 32 characters and the NUL (longer values are cut to 31). */
inline constexpr int CFG_VALUE_CHARS = 33;
/* Key prefixes of this many characters or more are never searched. */
inline constexpr int CFG_MAX_PREFIX = 47;
/* Bytes of a configuration file that are read at most (the rest is ignored). */
inline constexpr DWORD CFG_MAX_FILE_SIZE = 1u << 20;

/* One configured feature. */
struct CfgFeatureEntry {
    WORD id;     /* DDMID */
    DWORD value; /* configuration value (before conversion) */
    WORD flags;  /* CFG_FLAG_ bits */
};

/* One switch that was given. */
struct CfgSwitchEntry {
    WORD number; /* CFG_SWITCH_ */
    DWORD value;
};

/*
 * The configured values of one model: feature entries and switch entries,
 * each in the reverse order of discovery.  One GlobalAlloc block (the
 * arrays follow the head); free with CFG_FreeSpecials.
 */
struct ModelSpecials {
    WORD featureCount;
    WORD switchCount;
    CfgFeatureEntry *features;
    CfgSwitchEntry *switches;
};

/* A value word and its number; a table ends with a null word. */
struct CfgValueWord {
    LPCWSTR word;
    DWORD value;
};

/* The value words of the model's section. */
extern const CfgValueWord CfgValueWords[];

/* ---- The file and its record --------------------------------------------- */

/*
 * CFG_GetModelCfgPath: the path of the model's configuration file: the
 * driver directory followed by the companion file name of the context's
 * model data with the text after its last "." replaced by "cfg".  A new
 * string, or null (no header, no companion name, a name without "." or with
 * a folder, no driver directory, no memory).
 */
LPWSTR CFG_GetModelCfgPath(ModelContext *context);

/* CFG_MakeModelCfgPath: the same path from a companion file name (see above). */
LPWSTR CFG_MakeModelCfgPath(LPCWSTR companionName);

/*
 * CFG_LoadSpecials: reads the model's section of the file `path` into a new
 * ModelSpecials (with no entries when nothing is configured).  Null when the
 * file does not exist (not an error) or memory runs out.  After reading a
 * file the trace switch is read again (LOG_ReloadSwitch).
 */
ModelSpecials *CFG_LoadSpecials(LPCWSTR modelName, LPCWSTR path);

/*
 * CFG_ParseSpecials: builds the ModelSpecials of a section's text (the
 * "key=value" lines, each NUL-terminated, then one more NUL; null counts as
 * empty).  The parse step of CFG_LoadSpecials, also reached from memory.
 */
ModelSpecials *CFG_ParseSpecials(LPCWSTR sectionText);

/* CFG_FreeSpecials: frees the record (null is accepted); returns 1. */
int CFG_FreeSpecials(ModelSpecials *specials);

/*
 * CFG_ApplySpecials: writes the configured values into the records through
 * the data-manager binding: mode CFG_APPLY_ALL the entries with a default or
 * an enforced value, CFG_APPLY_ENFORCED only the enforced ones; then the
 * bundles of the switches whose value is 1.  A value without a conversion,
 * a setting that cannot be read, a string or font setting is skipped; a
 * failed write does not stop the others.  Returns 1, or 0 for null specials.
 */
int CFG_ApplySpecials(const ModelSpecials *specials, void *devmode, void *printerData, int mode);

/*
 * CFG_GetSpecialValue: 1 when setting `id` has a configured default or
 * enforced value that converts; the setting's internal value is then stored
 * in `slot` as a value of `type` (FID_CopyValue; string and block types
 * answer 0).  The switch bundles are looked at first, then the features; the
 * first entry for the setting decides.
 */
int CFG_GetSpecialValue(WORD id, const ModelSpecials *specials, void *slot, WORD type);

/* CFG_GetSpecialFlags: 1 with the entry's flags when setting `id` is configured, else 0. */
int CFG_GetSpecialFlags(WORD id, const ModelSpecials *specials, WORD *flags);

/* CFG_IsEnforced: 1 when setting `id` is configured with an enforced value. */
int CFG_IsEnforced(WORD id, const ModelSpecials *specials);

/* CFG_GetComment: a new copy of "COMMENT" of the model's section, or null when missing or empty. */
LPWSTR CFG_GetComment(LPCWSTR modelName, LPCWSTR path);

/* ---- INI routines ----------------------------------------------------------- */

/* CFG_GetFileSize: the file's size in bytes, 0 when it cannot be opened. */
DWORD CFG_GetFileSize(LPCWSTR path);

/* CFG_FileExists: 1 when `path` names an existing file (not a folder). */
int CFG_FileExists(LPCWSTR path);

/*
 * CFG_ChooseSection: the section for `modelName` in the file (`size` its
 * size in bytes): the model name with " ", "/" and "-" replaced by "_" when
 * a section of that name exists (case ignored), else "default".  A new
 * string, or null when memory runs out.
 */
LPWSTR CFG_ChooseSection(LPCWSTR path, DWORD size, LPCWSTR modelName);

/* CFG_SectionExists: 1 when the file has a section named `section` (case ignored). */
int CFG_SectionExists(LPCWSTR path, LPCWSTR section);

/*
 * CFG_ReadSection: the section's "key=value" lines as one new block (each
 * line NUL-terminated, one more NUL at the end), or null when the section is
 * missing or empty.
 */
LPWSTR CFG_ReadSection(LPCWSTR path, LPCWSTR section);

/*
 * CFG_FindKeyValue: 1 when a line of the section text starts with
 * `keyPrefix` (case ignored) and has a value after it; the first such line
 * gives the value, copied into `value` (CFG_VALUE_CHARS characters; a value
 * of 33 characters or more is cut to 31).  0 otherwise, and for a prefix of
 * CFG_MAX_PREFIX characters or more.
 */
int CFG_FindKeyValue(LPCWSTR sectionText, LPCWSTR keyPrefix, WCHAR value[CFG_VALUE_CHARS]);

/*
 * CFG_FindNthKeyValue: the 1-based number of the first line at or after
 * line `startLine` that starts with `keyPrefix` (case ignored), or with
 * `takeLast` of the last such line; 0 when there is none (or the prefix is
 * CFG_MAX_PREFIX characters or more).  *value (when given) receives a new
 * copy of the line's value (null when none is found or memory runs out, and
 * the answer is then 0).
 */
int CFG_FindNthKeyValue(int startLine, int takeLast, LPCWSTR sectionText, LPCWSTR keyPrefix, LPWSTR *value);

/*
 * CFG_ParseValueWord: 1 when `text` is a word of `table` (case ignored) or a
 * decimal number (digits only, at most 4,294,967,295), with its number in
 * *out; 0 otherwise (*out untouched).
 */
int CFG_ParseValueWord(const CfgValueWord *table, LPCWSTR text, DWORD *out);

#endif /* TARVEL_CFG_MODEL_H */
