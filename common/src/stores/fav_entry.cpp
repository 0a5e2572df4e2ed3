/*
 * Favourite entries under the user's per-printer key: writing and reading
 * one favourite (its settings image converted for the printer, with the
 * rule for favourites saved for another model), the display-order index,
 * and the searches over it.
 */
#include "fav_keys.h"
#include "fav_store.h"

#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/prn_store.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>
#include <string>

namespace {

FavDevmodeConverter g_converter = nullptr;

constexpr WORD kModelNameId = 259;
constexpr DWORD kModelNameChars = 32;

/* A string value as a new terminated GlobalAlloc string (the value need not carry a terminator). */
LPWSTR readText(HANDLE printer, ModelContext *context, LPCWSTR subkey, LPCWSTR name)
{
    BYTE *data = nullptr;
    DWORD size = 0;
    if (REG_ReadValue(printer, context, &data, &size, nullptr, subkey, name) != REG_READ_OK)
        return nullptr;
    const DWORD chars = size / sizeof(WCHAR);
    auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, (SIZE_T(chars) + 1) * sizeof(WCHAR)));
    if (text)
        std::memcpy(text, data, SIZE_T(chars) * sizeof(WCHAR));
    GlobalFree(data);
    return text;
}

bool readFlag(HANDLE printer, ModelContext *context, LPCWSTR subkey, DWORD *flag)
{
    BYTE *data = nullptr;
    DWORD size = 0;
    if (REG_ReadValue(printer, context, &data, &size, nullptr, subkey, u"Flag") != REG_READ_OK)
        return false;
    const bool ok = size == sizeof(DWORD);
    if (ok)
        *flag = plat::load<DWORD>(data);
    GlobalFree(data);
    return ok;
}

/* The model name (setting 259) of a settings image, at most its 32 characters. */
bool modelName(void *image, void *printerData, std::u16string &out)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(kModelNameId, image, printerData, &type, &size, slot) != 0 || type != 6)
        return false;
    LPCWSTR text = FID_SlotString(slot);
    out.clear();
    for (DWORD i = 0; text && i < kModelNameChars && text[i]; ++i)
        out.push_back(text[i]);
    return true;
}

/* Reads the settings image; false when it must not be offered. */
bool readImage(HANDLE printer, ModelContext *context, void *callerImage, void *callerPrinterData, LPCWSTR key,
               BYTE *image, DWORD capacity)
{
    if (!context || !callerImage)
        return false;
    BYTE *stored = nullptr;
    DWORD size = 0;
    if (REG_ReadValue(printer, context, &stored, &size, nullptr, key, u"DEVMODE") != REG_READ_OK)
        return false;
    const int converted = g_converter ? g_converter(printer, stored, size, image)
                                      : UPG_ConvertDevmodeForPrinter(printer, stored, size, image);
    GlobalFree(stored);
    std::u16string mine, theirs;
    if (converted == -1 || !modelName(callerImage, callerPrinterData, mine) ||
        !modelName(image, callerPrinterData, theirs))
        return false;
    if (mine == theirs)
        return true;
    /* Saved for another model: only a preset is offered, after the presets are made for this model. */
    DWORD flag = 1;
    if (!readFlag(printer, context, key, &flag) || flag != FAV_FLAG_PRESET || capacity == 0)
        return false;
    auto *fresh = static_cast<WORD *>(GlobalAlloc(GPTR, SIZE_T(capacity) * sizeof(WORD)));
    const bool ok = fresh && FAV_CreatePresets(printer, context, mine.c_str(), fresh, capacity);
    GlobalFree(fresh);
    return ok;
}

void release(LPWSTR *text)
{
    if (text) {
        GlobalFree(*text);
        *text = nullptr;
    }
}

} // namespace

void fav_SetDevmodeConverterForTest(FavDevmodeConverter converter) { g_converter = converter; }

BOOL fav_EntryKey(int number, LPCWSTR tail, WCHAR (&out)[FAV_KEY_CHARS])
{
    out[0] = 0;
    if (number < 0)
        return FALSE;
    HRESULT hr = tail ? StringCchPrintfW(out, FAV_KEY_CHARS, u"Favorite\\UserSel%02d\\%s", number, tail)
                      : StringCchPrintfW(out, FAV_KEY_CHARS, u"Favorite\\UserSel%02d", number);
    return hr == S_OK;
}

BOOL FAV_WriteEntry(HANDLE printer, ModelContext *context, int number, const BYTE *image, LPCWSTR name,
                    LPCWSTR comment, const DWORD *flag)
{
    WCHAR key[FAV_KEY_CHARS];
    if (!fav_EntryKey(number, nullptr, key))
        return FALSE;
    auto textSize = [](LPCWSTR s) { return DWORD((plat::wlen(s) + 1) * sizeof(WCHAR)); };
    return (!image || REG_WriteValue(printer, context, image, FAV_IMAGE_SIZE, REG_BINARY, key, u"DEVMODE")) &&
           (!name || REG_WriteValue(printer, context, name, textSize(name), REG_SZ, key, u"Name")) &&
           (!comment || REG_WriteValue(printer, context, comment, textSize(comment), REG_SZ, key, u"Comment")) &&
           (!flag || REG_WriteValue(printer, context, flag, sizeof(DWORD), REG_DWORD, key, u"Flag"));
}

BOOL FAV_ReadEntry(HANDLE printer, ModelContext *context, void *callerImage, void *callerPrinterData, int number,
                   BYTE *image, LPWSTR *name, LPWSTR *comment, DWORD *flag, DWORD capacity)
{
    if (name)
        *name = nullptr;
    if (comment)
        *comment = nullptr;
    WCHAR key[FAV_KEY_CHARS];
    if (!fav_EntryKey(number, nullptr, key))
        return FALSE;
    if (image && !readImage(printer, context, callerImage, callerPrinterData, key, image, capacity))
        return FALSE;
    bool ok = true;
    if (name)
        ok = (*name = readText(printer, context, key, u"Name")) != nullptr;
    if (ok && comment)
        ok = (*comment = readText(printer, context, key, u"Comment")) != nullptr;
    if (ok && flag)
        ok = readFlag(printer, context, key, flag);
    if (!ok) {
        release(name);
        release(comment);
    }
    return ok;
}

BOOL FAV_WriteUserIndex(HANDLE printer, ModelContext *context, const WORD *array, DWORD capacity)
{
    if (!array)
        return TRUE;
    return REG_WriteValue(printer, context, array, capacity * DWORD(sizeof(WORD)), REG_BINARY, u"Favorite",
                          u"UserIndex");
}

BOOL FAV_ReadUserIndex(HANDLE printer, ModelContext *context, WORD *array, DWORD capacity)
{
    if (!array)
        return TRUE;
    BYTE *data = nullptr;
    DWORD size = 0;
    if (REG_ReadValue(printer, context, &data, &size, nullptr, u"Favorite", u"UserIndex") != REG_READ_OK)
        return FALSE;
    for (DWORD i = 0; i < capacity; ++i)
        array[i] = (i + 1) * sizeof(WORD) <= size ? plat::load<WORD>(data + i * sizeof(WORD)) : 0;
    GlobalFree(data);
    return TRUE;
}

DWORD FAV_CountUsed(const WORD *array, DWORD capacity)
{
    DWORD used = 0;
    while (array && used < capacity && array[used] != 0)
        ++used;
    return used;
}

int FAV_FindFreeIndex(const WORD *array, DWORD capacity)
{
    if (!array)
        return -1;
    const DWORD used = FAV_CountUsed(array, capacity);
    for (DWORD number = 1; number <= capacity; ++number) {
        bool taken = false;
        for (DWORD i = 0; i < used && !taken; ++i)
            taken = array[i] == number;
        if (!taken)
            return int(number);
    }
    return -1;
}

int FAV_FindPresetByName(HANDLE printer, ModelContext *context, const void *, const WORD *array, DWORD capacity,
                         LPCWSTR name, DWORD flag)
{
    if (!array || !name)
        return -1;
    const DWORD used = FAV_CountUsed(array, capacity);
    for (DWORD i = 0; i < used; ++i) {
        WCHAR key[FAV_KEY_CHARS];
        DWORD stored = 0;
        if (!fav_EntryKey(array[i], nullptr, key) || !readFlag(printer, context, key, &stored) || stored != flag)
            continue;
        LPWSTR storedName = readText(printer, context, key, u"Name");
        const bool same = storedName && lstrcmpW(storedName, name) == 0;
        GlobalFree(storedName);
        if (same)
            return array[i];
    }
    return -1;
}
