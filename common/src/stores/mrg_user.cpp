/*
 * The user's margins under the per-printer key ("Paper Margin"), the
 * machine-wide seed it is copied from when it is created, its reset, and the
 * lookup that goes user, list, default.
 */
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* Nesting limit of MRG_DeleteKeyTree: the registry holds paths at most 512 keys deep. */
constexpr int kMaxDepth = 512;

constexpr DWORD kOffUserId = 0;
constexpr DWORD kOffUserMargins = 4;

/* A copy of `text` in a new GlobalAlloc string, or null. */
LPWSTR copyText(LPCWSTR text, LPCWSTR suffix = nullptr)
{
    const size_t a = plat::wlen(text), b = plat::wlen(suffix);
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (a + b + 1) * sizeof(WCHAR)));
    if (!copy)
        return nullptr;
    if (a && text)
        std::memcpy(copy, text, a * sizeof(WCHAR));
    if (b && suffix)
        std::memcpy(copy + a, suffix, b * sizeof(WCHAR));
    return copy;
}

/* Opens (or creates and seeds) the user's key and names the paper's value: its ID in decimal. */
int openPaperValue(HANDLE printer, ModelContext *context, LPCWSTR base, WORD paperId, HKEY *key,
                   WCHAR (&name)[16])
{
    StringCchPrintfW(name, 16, u"%u", unsigned(paperId));
    return MRG_OpenUserKey(printer, context, base, key, nullptr);
}

LONG deleteTree(HKEY parent, LPCWSTR subkey, int depth)
{
    if (depth > kMaxDepth)
        return ERROR_BAD_PATHNAME;
    HKEY key = nullptr;
    LONG err = RegOpenKeyExW(parent, subkey, 0, KEY_ALL_ACCESS, &key);
    if (err != ERROR_SUCCESS)
        return err;
    DWORD maxChars = 0;
    err = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxChars, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr);
    auto *name = static_cast<LPWSTR>(GlobalAlloc(GPTR, (SIZE_T(maxChars) + 1) * sizeof(WCHAR)));
    if (err == ERROR_SUCCESS && !name)
        err = ERROR_NOT_ENOUGH_MEMORY;
    /* Always the first subkey: each pass deletes it, so the loop ends with the subkeys. */
    while (err == ERROR_SUCCESS) {
        DWORD chars = maxChars + 1;
        LONG e = RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_NO_MORE_ITEMS)
            break;
        err = e != ERROR_SUCCESS ? e : deleteTree(key, name, depth + 1);
    }
    GlobalFree(name);
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? RegDeleteKeyW(parent, subkey) : err;
}

} // namespace

LONG MRG_DeleteKeyTree(HKEY parent, LPCWSTR subkey)
{
    if (!subkey || !*subkey)
        return ERROR_INVALID_PARAMETER;
    return deleteTree(parent, subkey, 0);
}

LPWSTR MRG_GetMachineKeyText(ModelContext *context)
{
    if (!context || !context->main)
        return nullptr;
    LPWSTR text = nullptr;
    if (DDD_GetRegistryKeyText(context->main, 0, &text) != DDD_OK || !text)
        return nullptr;
    LPWSTR copy = *text ? copyText(text) : nullptr;
    DDD_FreeRecord(&text, 0);
    return copy;
}

int MRG_BuildHklmKeyName(LPCWSTR base, LPWSTR *name)
{
    if (!base || !name)
        return MRG_NOT_FOUND;
    *name = copyText(base, MRG_SUBKEY);
    return *name ? MRG_OK : MRG_NAME_NO_MEMORY;
}

int MRG_OpenUserKey(HANDLE printer, ModelContext *context, LPCWSTR base, HKEY *key, LPWSTR *keyName)
{
    if (!key)
        return MRG_NOT_FOUND;
    *key = nullptr;
    if (keyName)
        *keyName = nullptr;
    WCHAR name[PRN_KEY_NAME_CHARS];
    if (!REG_GetMarginKeyName(printer, context, name, PRN_KEY_NAME_CHARS))
        return MRG_KEY_FAILED;
    LPWSTR nameCopy = nullptr;
    if (keyName && !(nameCopy = copyText(name)))
        return MRG_NAME_NO_MEMORY;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                        &disposition) != ERROR_SUCCESS) {
        GlobalFree(nameCopy);
        *key = nullptr;
        return MRG_KEY_FAILED;
    }
    if (disposition == REG_CREATED_NEW_KEY && base) {
        LPWSTR seedName = nullptr;
        if (MRG_BuildHklmKeyName(base, &seedName) != MRG_OK) {
            GlobalFree(nameCopy);
            RegCloseKey(*key);
            *key = nullptr;
            return MRG_NAME_NO_MEMORY;
        }
        HKEY seed = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, seedName, 0, KEY_READ, &seed) == ERROR_SUCCESS) {
            REG_CopyKeyValues(*key, seed); /* a failed copy leaves the key as far as it was copied */
            RegCloseKey(seed);
        }
        GlobalFree(seedName);
    }
    if (keyName)
        *keyName = nameCopy;
    return MRG_OK;
}

int MRG_ReadUserMargin(HANDLE printer, ModelContext *context, LPCWSTR base, WORD paperId, LONG stored[4])
{
    HKEY key = nullptr;
    WCHAR name[16];
    int result = stored ? openPaperValue(printer, context, base, paperId, &key, name) : MRG_NOT_FOUND;
    if (result != MRG_OK)
        return result;
    BYTE value[MRG_USER_VALUE_SIZE];
    DWORD type = 0, size = sizeof value;
    LONG err = RegQueryValueExW(key, name, nullptr, &type, value, &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS || size != MRG_USER_VALUE_SIZE)
        return MRG_READ_FAILED;
    for (int i = 0; i < 4; ++i)
        stored[i] = plat::load_i32(value, kOffUserMargins + 4 * i);
    return MRG_OK;
}

int MRG_WriteUserMargin(HANDLE printer, ModelContext *context, LPCWSTR base, WORD paperId, const LONG stored[4])
{
    HKEY key = nullptr;
    WCHAR name[16];
    int result = stored ? openPaperValue(printer, context, base, paperId, &key, name) : MRG_NOT_FOUND;
    if (result != MRG_OK)
        return result;
    BYTE value[MRG_USER_VALUE_SIZE];
    plat::store_u32(value, kOffUserId, paperId);
    for (int i = 0; i < 4; ++i)
        plat::store_u32(value, kOffUserMargins + 4 * i, DWORD(stored[i]));
    LONG err = RegSetValueExW(key, name, 0, REG_BINARY, value, sizeof value);
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? MRG_OK : MRG_WRITE_FAILED;
}

int MRG_GetUserMargin(HANDLE printer, ModelContext *context, WORD paperId, LONG caller[4], LPCWSTR base, int kind)
{
    LONG stored[4];
    int result = MRG_GetDefaultInOrder(stored, kind); /* checks the kind before the registry is touched */
    if (result != MRG_OK)
        return result;
    result = MRG_ReadUserMargin(printer, context, base, paperId, stored);
    if (result != MRG_OK)
        return result;
    return MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, kind, stored, caller);
}

int MRG_SetUserMargin(HANDLE printer, ModelContext *context, WORD paperId, const LONG caller[4], LPCWSTR base,
                      int kind)
{
    if (!caller)
        return MRG_NOT_FOUND;
    LONG stored[4], copy[4];
    std::memcpy(copy, caller, sizeof copy);
    int result = MRG_ConvertMarginOrder(MRG_CALLER_TO_STORED, kind, stored, copy);
    if (result != MRG_OK)
        return result;
    return MRG_WriteUserMargin(printer, context, base, paperId, stored);
}

int MRG_ResetMargins(HANDLE printer, ModelContext *context, BOOL userStore, LPCWSTR base)
{
    if (!userStore)
        return PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY) ? MRG_OK : MRG_NOT_FOUND;
    HKEY key = nullptr;
    LPWSTR name = nullptr;
    int result = MRG_OpenUserKey(printer, context, base, &key, &name);
    if (result != MRG_OK)
        return result;
    RegCloseKey(key);
    key = nullptr;
    /* Created again directly, not through MRG_OpenUserKey: an emptied store is never seeded again. */
    if (MRG_DeleteKeyTree(HKEY_CURRENT_USER, name) != ERROR_SUCCESS ||
        RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        result = MRG_KEY_FAILED;
    if (key)
        RegCloseKey(key);
    GlobalFree(name);
    return result;
}

int MRG_GetMargin(HANDLE printer, ModelContext *context, WORD paperId, LONG caller[4], LPCWSTR base,
                  const PaperMarginList *list, BOOL userStore, int kind)
{
    if (!caller)
        return MRG_NOT_FOUND;
    LONG found[4];
    int result = MRG_GetDefaultInOrder(found, kind);
    if (result != MRG_OK)
        return result;
    if (!(userStore && MRG_GetUserMargin(printer, context, paperId, found, base, kind) == MRG_OK) &&
        MRG_GetFromArray(printer, paperId, found, list, kind) != MRG_OK)
        MRG_GetDefaultInOrder(found, kind);
    std::memcpy(caller, found, sizeof found);
    return MRG_OK;
}
