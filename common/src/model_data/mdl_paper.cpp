/*
 * Paper queries of the model context: sizes compared with a tolerance, the
 * paper an option or a default stands for, and the search of a setting's
 * options for a paper by record identifier, size or name.
 */
#include "mdl_internal.h"

#include <plat/text.h>

#include <cstdlib>

namespace {

constexpr LONG kSizeTolerance = 10; /* tenths of a millimetre */

BOOL fail(WORD *reason, WORD why)
{
    if (reason)
        *reason = why;
    return FALSE;
}

/* Whether the target record of an option matches the key in the given mode. */
bool paper_matches(const ModelRecord *target, WORD mode, const MdlPaperKey *key)
{
    switch (mode) {
    case MDL_FIND_BY_ID:
        return target->id == key->id;
    case MDL_FIND_BY_SIZE: {
        const DddPair *size = DDD_PaperSize(target);
        return size && MDL_SizesMatch(key->width, key->length, size->first, size->second);
    }
    case MDL_FIND_BY_NAME: {
        LPCWSTR name = DDD_GetRecordName(target);
        return name && lstrcmpW(name, key->name) == 0;
    }
    default:
        return false;
    }
}

/* The default of a setting as a value a lookup takes: the string itself, or the number in *number. */
BOOL default_as_value(ModelContext *context, WORD id, DWORD *number, const void **value, ULONG_PTR *toFree,
                      WORD *type, WORD *reason)
{
    ULONG_PTR v = 0;
    if (!MDL_GetDefaultValue(context, id, &v, type, reason))
        return FALSE;
    if (*type == DDD_VT_STRING) {
        *toFree = v;
        *value = reinterpret_cast<const void *>(v);
        if (!*value)
            return fail(reason, MDL_REASON_FAIL);
    } else {
        *number = static_cast<DWORD>(v);
        *value = number;
    }
    return TRUE;
}

} // namespace

BOOL MDL_SizesMatch(LONG a, LONG b, LONG c, LONG d)
{
    const bool same = (b < a && d < c) || (a < b && c < d);
    const long long x = same ? static_cast<long long>(a) - c : static_cast<long long>(a) - d;
    const long long y = same ? static_cast<long long>(b) - d : static_cast<long long>(b) - c;
    return std::llabs(x) <= kSizeTolerance && std::llabs(y) <= kSizeTolerance;
}

BOOL MDL_GetPaperSizeById(ModelContext *context, WORD id, const void *value, WORD *width, WORD *length,
                          WORD *width2, WORD *length2, WORD *reason)
{
    for (WORD *out : {width, length, width2, length2})
        if (out)
            *out = 0;
    if (!width || !length)
        return fail(reason, MDL_REASON_FAIL);
    ModelRecord *target = nullptr;
    WORD kind = 0;
    if (!MDL_GetValueTarget(context, id, value, &target, &kind, reason))
        return FALSE;
    const DddPair *size = DDD_PaperSize(target);
    const DddPair *alt = DDD_PaperSizeAlt(target);
    if (!size || !alt) {
        MDL_FreeRecord(target);
        return fail(reason, MDL_REASON_FAIL);
    }
    *width = size->first;
    *length = size->second;
    if (width2)
        *width2 = alt->first;
    if (length2)
        *length2 = alt->second;
    MDL_FreeRecord(target);
    return TRUE;
}

BOOL MDL_GetDefaultPaperSize(ModelContext *context, WORD id, WORD *width, WORD *length)
{
    DWORD number = 0;
    const void *value = nullptr;
    ULONG_PTR toFree = 0;
    WORD type = 0, reason = 0;
    if (width)
        *width = 0;
    if (length)
        *length = 0;
    if (!default_as_value(context, id, &number, &value, &toFree, &type, &reason))
        return FALSE;
    BOOL ok = MDL_GetPaperSizeById(context, id, value, width, length, nullptr, nullptr, &reason);
    MDL_FreeValue(toFree, type);
    return ok;
}

BOOL MDL_GetDefaultTargetName(ModelContext *context, WORD id, LPWSTR *name, WORD *reason)
{
    if (reason)
        *reason = 0;
    if (!name)
        return fail(reason, MDL_REASON_FAIL);
    *name = nullptr;
    DWORD number = 0;
    const void *value = nullptr;
    ULONG_PTR toFree = 0;
    WORD type = 0;
    if (!default_as_value(context, id, &number, &value, &toFree, &type, reason))
        return FALSE;
    ModelRecord *target = nullptr;
    WORD kind = 0;
    BOOL ok = MDL_GetValueTarget(context, id, value, &target, &kind, reason);
    MDL_FreeValue(toFree, type);
    if (!ok)
        return FALSE;
    LPCWSTR text = DDD_GetRecordName(target);
    if (text) {
        *name = ddd_DupString(text, nullptr);
        if (!*name)
            ok = fail(reason, MDL_REASON_NO_MEMORY);
    } else {
        ok = fail(reason, MDL_REASON_FAIL);
    }
    MDL_FreeRecord(target);
    return ok;
}

BOOL MDL_FindPaper(ModelContext *context, WORD id, WORD mode, const MdlPaperKey *key, MdlPaper *found, WORD *reason)
{
    if (reason)
        *reason = 0;
    if (!found)
        return fail(reason, MDL_REASON_FAIL);
    *found = MdlPaper{};
    if (!mdl_IsOpen(context) || !key || mode < MDL_FIND_BY_ID || mode > MDL_FIND_BY_NAME ||
        (mode == MDL_FIND_BY_NAME && !key->name))
        return fail(reason, MDL_REASON_FAIL);
    ModelRecord *feature = nullptr;
    WORD count = 0;
    if (!MDL_GetFeatureInfo(context, id, &feature, nullptr, &count, nullptr, reason))
        return FALSE;
    MDL_FreeRecord(feature);

    for (WORD n = 1; n <= count; ++n) {
        DddOptionDetails *details = nullptr;
        WORD why = 0;
        if (!MDL_GetOption(context, id, n, &details, &why)) {
            if (why == MDL_REASON_NO_MEMORY)
                return fail(reason, why);
            continue;
        }
        ModelRecord *target = nullptr;
        WORD kind = 0;
        BOOL hasTarget = details->value && MDL_GetValueTarget(context, id, details->value, &target, &kind, &why);
        MDL_FreeOption(details);
        if (!hasTarget) {
            if (why == MDL_REASON_NO_MEMORY)
                return fail(reason, why);
            continue;
        }
        if (!paper_matches(target, mode, key)) {
            MDL_FreeRecord(target);
            continue;
        }
        MdlPaper paper{};
        paper.id = target->id;
        if (const DddPair *size = DDD_PaperSize(target)) {
            paper.width = size->first;
            paper.length = size->second;
        }
        LPCWSTR name = DDD_GetRecordName(target);
        paper.name = name ? ddd_DupString(name, nullptr) : nullptr;
        MDL_FreeRecord(target);
        if (name && !paper.name)
            return fail(reason, MDL_REASON_NO_MEMORY);
        *found = paper;
        return TRUE;
    }
    return fail(reason, MDL_REASON_NOT_IN_MODEL);
}

void MDL_FreeFoundPaper(MdlPaper *found)
{
    if (!found)
        return;
    mdl_Free(found->name);
    found->name = nullptr;
}
