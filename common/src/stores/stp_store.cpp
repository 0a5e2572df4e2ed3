/*
 * The stamps store's key: its names below HKEY_CURRENT_USER and
 * HKEY_LOCAL_MACHINE, its creation from the machine-wide copy or from the
 * built-in stamps, and the walk over the stored stamps.
 */
#include "stp_store_private.h"

#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/prn_store.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr const WCHAR *kHklmSuffix[2] = {u"Stamps", u"Stamps\\Others"};
/* "0.01" stored as its four characters, without a terminator. */
constexpr WCHAR kVersion[4] = {u'0', u'.', u'0', u'1'};

HKEY createKey(LPCWSTR name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

/* The store's values, written into the new "Stamps" and "Stamps\Others" keys. */
bool writeDefaults(HKEY stamps, HKEY others)
{
    if (RegSetValueExW(others, STP_VERSION_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE *>(kVersion),
                       STP_VERSION_SIZE) != ERROR_SUCCESS)
        return false;
    BYTE record[STP_RECORD_SIZE];
    WCHAR name[STP_NAME_ROOM];
    for (const StampDefinition &definition : StpBuiltInStamps) {
        STP_LoadBuiltInStamp(record, &definition);
        stp_RecordName(record, name);
        if (RegSetValueExW(stamps, name, 0, REG_BINARY, record, STP_RECORD_SIZE) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

} // namespace

void stp_FieldText(const BYTE *record, DWORD offset, DWORD chars, LPWSTR out)
{
    DWORD i = 0;
    for (; i < chars; ++i) {
        WCHAR c = plat::load<WCHAR>(record + offset + 2 * i);
        if (!c)
            break;
        out[i] = c;
    }
    out[i] = 0;
}

void stp_RecordName(const BYTE *record, LPWSTR out) { stp_FieldText(record, STP_OFF_NAME, STP_NAME_CHARS + 1, out); }

BOOL stp_FindBuiltIn(LPCWSTR name, int *index)
{
    if (!name)
        return FALSE;
    WCHAR builtIn[STP_NAME_CHARS + 1];
    for (int i = 0; i < STP_BUILTIN_COUNT; ++i)
        if (STP_GetBuiltInName(i, builtIn) && lstrcmpW(builtIn, name) == 0) {
            if (index)
                *index = i;
            return TRUE;
        }
    return FALSE;
}

int stp_VisitStamps(HKEY key, StpVisitor visit, void *state)
{
    DWORD values = 0, maxNameChars = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &maxNameChars, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return STP_ENUM_ERROR;
    const DWORD dataRoom = maxData > STP_RECORD_SIZE ? maxData : STP_RECORD_SIZE;
    auto *name = static_cast<LPWSTR>(GlobalAlloc(GPTR, (SIZE_T(maxNameChars) + 1) * sizeof(WCHAR)));
    auto *data = static_cast<BYTE *>(GlobalAlloc(GPTR, dataRoom));
    int result = name && data ? STP_OK : STP_ENUM_ERROR;
    BYTE record[STP_RECORD_SIZE];
    for (DWORD i = 0; result == STP_OK && i < values; ++i) {
        DWORD chars = maxNameChars + 1, type = 0, size = dataRoom;
        LONG err = RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &size);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        if (err != ERROR_SUCCESS) {
            result = STP_ENUM_ERROR;
            break;
        }
        if (type != REG_BINARY)
            continue;
        std::memset(record, 0, sizeof record);
        std::memcpy(record, data, size < STP_RECORD_SIZE ? size : STP_RECORD_SIZE);
        if (visit(state, name, record))
            break;
    }
    GlobalFree(name);
    GlobalFree(data);
    return result;
}

int STP_GetHklmKeyName(int which, ModelContext *context, LPWSTR out, DWORD outChars)
{
    if (!out || outChars == 0)
        return STP_BAD_ARGUMENT;
    out[0] = 0;
    if (which != 0 && which != 1)
        return STP_BAD_ARGUMENT;
    LPWSTR base = MRG_GetMachineKeyText(context);
    if (!base)
        return STP_BAD_ARGUMENT;
    const size_t a = plat::wlen(base), b = plat::wlen(kHklmSuffix[which]);
    int result = STP_BAD_ARGUMENT;
    if (a + b < outChars) {
        std::memcpy(out, base, a * sizeof(WCHAR));
        std::memcpy(out + a, kHklmSuffix[which], (b + 1) * sizeof(WCHAR));
        result = STP_OK;
    }
    GlobalFree(base);
    return result;
}

int STP_CreateDefaultStore(HKEY *key, HANDLE printer, ModelContext *context)
{
    if (!key)
        return STP_BAD_ARGUMENT;
    *key = nullptr;
    WCHAR stampsName[PRN_KEY_NAME_CHARS], othersName[PRN_KEY_NAME_CHARS];
    if (!REG_GetStampsKeyName(printer, context, stampsName, PRN_KEY_NAME_CHARS, 0) ||
        !REG_GetStampsKeyName(printer, context, othersName, PRN_KEY_NAME_CHARS, 1))
        return STP_BAD_ARGUMENT;
    HKEY stamps = createKey(stampsName);
    if (!stamps)
        return STP_BAD_ARGUMENT;
    HKEY others = createKey(othersName);
    if (!others) {
        RegCloseKey(stamps);
        RegDeleteKeyW(HKEY_CURRENT_USER, stampsName);
        return STP_BAD_ARGUMENT;
    }
    const bool written = writeDefaults(stamps, others);
    RegCloseKey(others);
    if (!written) {
        RegCloseKey(stamps);
        RegDeleteKeyW(HKEY_CURRENT_USER, othersName);
        RegDeleteKeyW(HKEY_CURRENT_USER, stampsName);
        return STP_WRITE_FAILED;
    }
    *key = stamps;
    return STP_OK;
}

int STP_OpenStore(HKEY *key, HANDLE printer, ModelContext *context)
{
    if (!key)
        return STP_BAD_ARGUMENT;
    *key = nullptr;
    WCHAR name[PRN_KEY_NAME_CHARS];
    if (!REG_GetStampsKeyName(printer, context, name, PRN_KEY_NAME_CHARS, 0))
        return STP_BAD_ARGUMENT;
    LONG err = RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, KEY_ALL_ACCESS, key);
    if (err == ERROR_SUCCESS)
        return STP_OK;
    *key = nullptr;
    if (err != ERROR_FILE_NOT_FOUND)
        return STP_NO_STORE;

    WCHAR seedName[PRN_KEY_NAME_CHARS];
    HKEY seed = nullptr;
    if (STP_GetHklmKeyName(0, context, seedName, PRN_KEY_NAME_CHARS) == STP_OK &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, seedName, 0, KEY_READ, &seed) == ERROR_SUCCESS) {
        *key = createKey(name);
        if (*key)
            REG_CopyKeyValues(*key, seed); /* a failed copy leaves the store as far as it was copied */
        RegCloseKey(seed);
        return *key ? STP_OK : STP_NO_STORE;
    }
    return STP_CreateDefaultStore(key, printer, context) == STP_OK ? STP_OK : STP_NO_STORE;
}

int STP_CountStamps(HANDLE printer, DWORD *count, ModelContext *context)
{
    if (!count)
        return STP_BAD_ARGUMENT;
    *count = 0;
    HKEY key = nullptr;
    int result = STP_OpenStore(&key, printer, context);
    if (result != STP_OK)
        return result;
    result = stp_VisitStamps(
        key,
        [](void *state, LPCWSTR, const BYTE *) {
            ++*static_cast<DWORD *>(state);
            return false;
        },
        count);
    RegCloseKey(key);
    return result;
}
