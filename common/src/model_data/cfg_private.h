/*
 * Internal forms of the configuration files' INI routines for the loaders
 * (per-model configuration, devmode mapping section, trace switch): they
 * tell a failed allocation apart from a missing section, so that a loader
 * fails instead of handing out a record that silently lacks configured
 * values, and they search a section's lines without copying.
 */
#ifndef TARVEL_CFG_PRIVATE_H
#define TARVEL_CFG_PRIVATE_H

#include <tarvel/model_data/cfg_model.h>

#include <plat/types.h>

#include <string>
#include <vector>

/* CFG_SectionExists; `noMemory` is set when the answer could not be made. */
int cfg_SectionExists(LPCWSTR path, LPCWSTR section, bool &noMemory);

/* CFG_ReadSection; a null answer with `noMemory` set means memory ran out, else no such section (or an empty one). */
LPWSTR cfg_ReadSection(LPCWSTR path, LPCWSTR section, bool &noMemory);

/*
 * CFG_FindNthKeyValue without the copy: *value (when given) points at the
 * value inside the section text (null when nothing is found).
 */
int cfg_FindNthLine(int startLine, int takeLast, LPCWSTR sectionText, LPCWSTR keyPrefix, LPCWSTR *value);

/*
 * A section text's "key=" lines by key, made once for a loader's many
 * searches: each line's key (the text up to its first "=") is folded once,
 * and a search for a prefix "key=" finds its lines by a binary search
 * instead of comparing every line.  Answers exactly as the section-text
 * searches above; a prefix of another form, or an index that could not be
 * made (memory), is searched line by line as they do.
 */
class CfgSectionIndex {
public:
    explicit CfgSectionIndex(LPCWSTR sectionText);
    CfgSectionIndex(const CfgSectionIndex &) = delete;
    CfgSectionIndex &operator=(const CfgSectionIndex &) = delete;

    /* As cfg_FindNthLine over the section text. */
    int findNthLine(int startLine, int takeLast, LPCWSTR keyPrefix, LPCWSTR *value) const;
    /* As CFG_FindKeyValue over the section text. */
    int findKeyValue(LPCWSTR keyPrefix, WCHAR value[CFG_VALUE_CHARS]) const;

private:
    struct Entry {
        LPCWSTR line;    /* the line in the section text */
        DWORD number;    /* its line number, from 1 */
        DWORD length;    /* its characters */
        DWORD hash;      /* hash of its folded key */
        DWORD keyStart;  /* its folded key in `folded_` */
        DWORD keyLength; /* the key's characters, "=" included */
    };
    /* The entries whose key is the folded `keyPrefix`, in line order; false when the index cannot answer. */
    bool range(LPCWSTR keyPrefix, size_t n, const Entry **first, const Entry **last) const;

    /* Bit (folded first character mod 64) of each key length present: most absent keys are refused at once. */
    static ULONGLONG first_bit(WCHAR c);

    LPCWSTR text_;
    bool ok_ = false;
    ULONGLONG firsts_[CFG_MAX_PREFIX + 1] = {}; /* by key length, "=" included */
    std::vector<Entry> entries_;   /* by key hash, key, then line number */
    std::u16string folded_;        /* the folded keys */
};

#endif /* TARVEL_CFG_PRIVATE_H */
