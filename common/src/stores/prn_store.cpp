/*
 * Registry primitives of the user's per-printer key, which every store of
 * the user (UserSettingInfo, device-settings blobs of kind 3, favourites,
 * margins, stamps) goes through.  Writers create the key, and the printer's
 * identifier when it has none; readers never create anything and report a
 * missing identifier, key or value as "not found".
 */
#include <tarvel/stores/prn_store.h>

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/usi_record.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* Nesting limit of REG_CopyKeyValues: the registry holds paths at most 512 keys deep. */
constexpr int kMaxCopyDepth = 512;

/*
 * The key name of `printer`'s user key into `out`.  `make`: a printer
 * without a PRNID gets one (made and stored); otherwise it answers
 * REG_READ_NOT_FOUND.  Returns REG_READ_OK, REG_READ_NOT_FOUND or
 * REG_READ_FAILED (no key text, a PRNID that cannot be made or stored, a
 * name that does not fit).
 */
int keyName(HANDLE printer, ModelContext *context, LPCWSTR subkey, bool make, WCHAR (&out)[PRN_KEY_NAME_CHARS])
{
    out[0] = 0;
    if (!printer || !context)
        return REG_READ_FAILED;
    LPWSTR keyText = REG_GetModelKeyText(context);
    if (!keyText)
        return REG_READ_FAILED;

    int result = REG_READ_OK;
    BYTE id[PRN_ID_SIZE];
    if (!REG_ReadPrnId(printer, id)) {
        if (!make)
            result = REG_READ_NOT_FOUND;
        else if (!REG_MakePrnId(printer, id) || !REG_WritePrnId(printer, id) || !REG_ReadPrnId(printer, id))
            result = REG_READ_FAILED; /* read back: another caller may have stored one first */
    }
    if (result == REG_READ_OK && !REG_MakePrinterKeyName(keyText, id, subkey, out, PRN_KEY_NAME_CHARS))
        result = REG_READ_FAILED;
    GlobalFree(keyText);
    return result;
}

BOOL copyKey(HKEY destination, HKEY source, int depth)
{
    if (depth > kMaxCopyDepth)
        return FALSE;
    DWORD subkeys = 0, maxSubkeyChars = 0, values = 0, maxNameChars = 0, maxData = 0;
    if (RegQueryInfoKeyW(source, nullptr, nullptr, nullptr, &subkeys, &maxSubkeyChars, nullptr, &values,
                         &maxNameChars, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return FALSE;

    DWORD nameRoom = (maxNameChars > maxSubkeyChars ? maxNameChars : maxSubkeyChars) + 1;
    WCHAR *name = static_cast<WCHAR *>(GlobalAlloc(GPTR, SIZE_T(nameRoom) * sizeof(WCHAR)));
    BYTE *data = static_cast<BYTE *>(GlobalAlloc(GPTR, maxData ? maxData : 1));
    BOOL ok = name && data;

    for (DWORD i = 0; ok && i < values; ++i) {
        DWORD nameChars = nameRoom, type = 0, size = maxData;
        ok = RegEnumValueW(source, i, name, &nameChars, nullptr, &type, data, &size) == ERROR_SUCCESS &&
             RegSetValueExW(destination, name, 0, type, data, size) == ERROR_SUCCESS;
    }
    for (DWORD i = 0; ok && i < subkeys; ++i) {
        DWORD nameChars = nameRoom;
        ok = RegEnumKeyExW(source, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        HKEY from = nullptr, to = nullptr;
        ok = ok && RegOpenKeyExW(source, name, 0, KEY_READ, &from) == ERROR_SUCCESS;
        ok = ok && RegCreateKeyExW(destination, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                   &to, nullptr) == ERROR_SUCCESS;
        ok = ok && copyKey(to, from, depth + 1);
        if (from)
            RegCloseKey(from);
        if (to)
            RegCloseKey(to);
    }
    GlobalFree(name);
    GlobalFree(data);
    return ok;
}

BOOL keyNameWithSubkey(HANDLE printer, ModelContext *context, LPCWSTR subkey, LPWSTR out, DWORD outChars)
{
    if (!out || outChars == 0)
        return FALSE;
    out[0] = 0;
    WCHAR name[PRN_KEY_NAME_CHARS];
    if (keyName(printer, context, subkey, true, name) != REG_READ_OK || plat::wlen(name) >= outChars)
        return FALSE;
    lstrcpynW(out, name, int(outChars));
    return TRUE;
}

} // namespace

LPWSTR REG_GetModelKeyText(ModelContext *context)
{
    if (!context || !context->main)
        return nullptr;
    LPWSTR text = nullptr;
    if (DDD_GetRegistryKeyText(context->main, 1, &text) != DDD_OK || !text)
        return nullptr;
    size_t chars = plat::wlen(text);
    LPWSTR copy = chars ? static_cast<LPWSTR>(GlobalAlloc(GPTR, (chars + 1) * sizeof(WCHAR))) : nullptr;
    if (copy)
        std::memcpy(copy, text, chars * sizeof(WCHAR));
    DDD_FreeRecord(&text, 0);
    return copy;
}

int REG_OpenExistingPrinterKey(HANDLE printer, ModelContext *context, LPCWSTR subkey, REGSAM sam, HKEY *key)
{
    if (!key)
        return REG_READ_FAILED;
    *key = nullptr;
    WCHAR name[PRN_KEY_NAME_CHARS];
    int rc = keyName(printer, context, subkey, false, name);
    if (rc != REG_READ_OK)
        return rc;
    LONG err = RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, sam, key);
    if (err == ERROR_FILE_NOT_FOUND)
        return REG_READ_NOT_FOUND;
    return err == ERROR_SUCCESS ? REG_READ_OK : REG_READ_FAILED;
}

BOOL REG_OpenPrinterKey(HANDLE printer, ModelContext *context, LPCWSTR subkey, HKEY *key)
{
    if (!key)
        return FALSE;
    *key = nullptr;
    WCHAR name[PRN_KEY_NAME_CHARS];
    if (keyName(printer, context, subkey, true, name) != REG_READ_OK)
        return FALSE;
    return RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key, nullptr) == ERROR_SUCCESS;
}

BOOL REG_WriteValue(HANDLE printer, ModelContext *context, const void *data, DWORD size, DWORD type,
                    LPCWSTR subkey, LPCWSTR name)
{
    if ((!data && size) || !name)
        return FALSE;
    HKEY key = nullptr;
    if (!REG_OpenPrinterKey(printer, context, subkey, &key))
        return FALSE;
    LONG err = RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return err == ERROR_SUCCESS;
}

int REG_ReadValue(HANDLE printer, ModelContext *context, BYTE **data, DWORD *size, DWORD *type, LPCWSTR subkey,
                  LPCWSTR name)
{
    if (!data || !size || !name)
        return REG_READ_FAILED;
    *data = nullptr;
    *size = 0;
    HKEY key = nullptr;
    int rc = REG_OpenExistingPrinterKey(printer, context, subkey, KEY_READ, &key);
    if (rc != REG_READ_OK)
        return rc;

    DWORD valueType = 0, needed = 0;
    LONG err = RegQueryValueExW(key, name, nullptr, &valueType, nullptr, &needed);
    BYTE *buffer = nullptr;
    if (err == ERROR_SUCCESS) {
        buffer = static_cast<BYTE *>(GlobalAlloc(GPTR, needed ? needed : 1));
        if (!buffer)
            err = ERROR_NOT_ENOUGH_MEMORY;
        else
            err = RegQueryValueExW(key, name, nullptr, &valueType, buffer, &needed);
    }
    RegCloseKey(key);
    if (err != ERROR_SUCCESS) {
        GlobalFree(buffer);
        return err == ERROR_FILE_NOT_FOUND ? REG_READ_NOT_FOUND : REG_READ_FAILED;
    }
    *data = buffer;
    *size = needed;
    if (type)
        *type = valueType;
    return REG_READ_OK;
}

int REG_ReadValueCopy(HANDLE printer, ModelContext *context, void *buffer, WORD *size, DWORD *type,
                      LPCWSTR subkey, LPCWSTR name)
{
    if (!buffer || !size)
        return REG_READ_FAILED;
    BYTE *data = nullptr;
    DWORD stored = 0;
    int rc = REG_ReadValue(printer, context, &data, &stored, type, subkey, name);
    if (rc != REG_READ_OK)
        return rc;
    if (stored > *size) {
        /* A value larger than the caller's record is refused rather than written past it. */
        rc = REG_READ_FAILED;
    } else {
        std::memcpy(buffer, data, stored);
        *size = WORD(stored);
    }
    GlobalFree(data);
    return rc;
}

BOOL REG_DeleteSubkey(HANDLE printer, ModelContext *context, LPCWSTR subkey)
{
    if (!subkey)
        return FALSE;
    HKEY key = nullptr;
    if (!REG_OpenPrinterKey(printer, context, nullptr, &key))
        return FALSE;
    LONG err = RegDeleteKeyW(key, subkey);
    RegCloseKey(key);
    return err == ERROR_SUCCESS;
}

BOOL REG_CopyKeyValues(HKEY destination, HKEY source)
{
    if (!destination || !source)
        return FALSE;
    return copyKey(destination, source, 0);
}

BOOL REG_GetStampsKeyName(HANDLE printer, ModelContext *context, LPWSTR out, DWORD outChars, int which)
{
    LPCWSTR subkey = which == 0 ? u"Stamps" : which == 1 ? u"Stamps\\Others" : nullptr;
    if (!subkey) {
        if (out && outChars)
            out[0] = 0;
        return FALSE;
    }
    return keyNameWithSubkey(printer, context, subkey, out, outChars);
}

BOOL REG_GetMarginKeyName(HANDLE printer, ModelContext *context, LPWSTR out, DWORD outChars)
{
    return keyNameWithSubkey(printer, context, u"Paper Margin", out, outChars);
}

BOOL REG_HasUserSettingInfo(HANDLE printer, ModelContext *context)
{
    HKEY key = nullptr;
    if (REG_OpenExistingPrinterKey(printer, context, nullptr, KEY_READ, &key) != REG_READ_OK)
        return FALSE;
    BYTE buffer[USI_RECORD_SIZE + 4];
    DWORD type = 0, size = sizeof buffer;
    LONG err = RegQueryValueExW(key, u"UserSettingInfo", nullptr, &type, buffer, &size);
    RegCloseKey(key);
    return err == ERROR_SUCCESS;
}
