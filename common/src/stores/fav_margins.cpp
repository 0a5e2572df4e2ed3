/*
 * A favourite's paper margins: the 16-byte values under its "PaperMargin"
 * subkey, their count, and saving the margins of every paper of the model
 * that differ from the default.
 */
#include "fav_keys.h"
#include "fav_store.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/prn_store.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr const WCHAR *kMarginSubkey = u"PaperMargin";

/* The margins of every paper that differ from `def`, written; false at the first failure. */
bool writePaperMargins(HANDLE printer, ModelContext *context, BOOL userMargins, int number, int kind,
                       const LONG def[4], LPCWSTR base, const PaperMarginList *list, DWORD *count)
{
    const WORD papers = DDD_CountRecords(context->main, DDD_KIND_PAPER);
    for (WORD i = 1; i <= papers; ++i) {
        ModelRecord *paper = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, context->main, context->companion, DDD_KIND_PAPER, i, &paper) !=
                DDD_OK ||
            !paper)
            return false;
        const WORD paperId = paper->id;
        DDD_FreeRecord(&paper, DDD_KIND_PAPER);
        LONG margins[4];
        if (MRG_GetMargin(printer, context, paperId, margins, base, list, userMargins, kind) != MRG_OK)
            return false;
        if (std::memcmp(margins, def, sizeof margins) == 0)
            continue;
        WCHAR name[16];
        StringCchPrintfW(name, 16, u"%u", unsigned(paperId));
        if (!FAV_WriteMargin(printer, context, number, kind, name, margins))
            return false;
        ++*count;
    }
    return true;
}

} // namespace

BOOL FAV_WriteMargin(HANDLE printer, ModelContext *context, int number, int kind, LPCWSTR valueName,
                     const LONG margins[4])
{
    WCHAR key[FAV_KEY_CHARS];
    if (!margins || !valueName || !fav_EntryKey(number, kMarginSubkey, key))
        return FALSE;
    LONG caller[4], stored[4];
    std::memcpy(caller, margins, sizeof caller);
    if (MRG_ConvertMarginOrder(MRG_CALLER_TO_STORED, kind, stored, caller) != MRG_OK)
        return FALSE;
    BYTE value[MRG_FAVOURITE_VALUE_SIZE];
    for (int i = 0; i < 4; ++i)
        plat::store_u32(value, 4 * i, DWORD(stored[i]));
    return REG_WriteValue(printer, context, value, sizeof value, REG_BINARY, key, valueName);
}

BOOL FAV_WriteMarginCount(HANDLE printer, ModelContext *context, int number, DWORD count)
{
    WCHAR key[FAV_KEY_CHARS];
    return fav_EntryKey(number, kMarginSubkey, key) &&
           REG_WriteValue(printer, context, &count, sizeof count, REG_DWORD, key, u"Num");
}

DWORD FAV_ReadMarginCount(HANDLE printer, ModelContext *context, int number)
{
    WCHAR key[FAV_KEY_CHARS];
    if (!fav_EntryKey(number, kMarginSubkey, key))
        return 0;
    BYTE *data = nullptr;
    DWORD size = 0, count = 0;
    if (REG_ReadValue(printer, context, &data, &size, nullptr, key, u"Num") == REG_READ_OK && size == sizeof count)
        count = plat::load<DWORD>(data);
    GlobalFree(data);
    return count;
}

BOOL FAV_DeleteMargins(HANDLE printer, ModelContext *context, int number)
{
    WCHAR key[FAV_KEY_CHARS];
    return fav_EntryKey(number, kMarginSubkey, key) && REG_DeleteSubkey(printer, context, key);
}

BOOL FAV_OpenMarginKey(HANDLE printer, ModelContext *context, HKEY *key, int number)
{
    WCHAR name[FAV_KEY_CHARS];
    if (key)
        *key = nullptr;
    return key && fav_EntryKey(number, kMarginSubkey, name) && REG_OpenPrinterKey(printer, context, name, key);
}

BOOL FAV_SaveMargins(HANDLE printer, ModelContext *context, BOOL userMargins, int number, int kind)
{
    LONG def[4];
    if (!context || !context->main || MRG_GetDefaultInOrder(def, kind) != MRG_OK)
        return FALSE;
    LPWSTR base = MRG_GetMachineKeyText(context);
    PaperMarginList *list = base ? MRG_LoadArray(printer) : nullptr;
    if (!list) {
        GlobalFree(base);
        return FALSE;
    }
    FAV_DeleteMargins(printer, context, number); /* there may be none yet */
    DWORD count = 0;
    BOOL ok = writePaperMargins(printer, context, userMargins, number, kind, def, base, list, &count) &&
              FAV_WriteMarginCount(printer, context, number, count);
    MRG_FreeArray(list);
    GlobalFree(base);
    return ok;
}
