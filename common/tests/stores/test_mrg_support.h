/*
 * Helpers of the tests of the stores under the user's per-printer key
 * (margins, stamps, favourites, direct-fax lists): the key names the
 * standard colour model gives, raw values and keys of the registry, and
 * seeds below HKEY_LOCAL_MACHINE.
 */
#ifndef TARVEL_TEST_MRG_SUPPORT_H
#define TARVEL_TEST_MRG_SUPPORT_H

#include "test_prn_support.h"

#include <plat/registry.h>

#include <string>
#include <vector>

namespace user_test {

/* The standard colour model's key texts: header entries 33 and 30. */
inline constexpr char16_t kUserKeyText[] = u"Software\\Tarvel\\CX1500";
inline constexpr char16_t kMachineKeyText[] = u"Tarvel\\CX1500";

/* The user's per-printer key name of `printer` (with "\" and `subkey` when given); empty without a PRNID. */
inline std::u16string userKey(HANDLE printer, const std::u16string &subkey = u"")
{
    BYTE id[PRN_ID_SIZE];
    if (!REG_ReadPrnId(printer, id))
        return u"";
    WCHAR name[PRN_KEY_NAME_CHARS];
    if (!REG_MakePrinterKeyName(kUserKeyText, id, subkey.empty() ? nullptr : subkey.c_str(), name,
                                PRN_KEY_NAME_CHARS))
        return u"";
    return name;
}

inline bool keyExists(HKEY root, const std::u16string &path)
{
    HKEY key = nullptr;
    LONG err = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    if (key)
        RegCloseKey(key);
    return err == ERROR_SUCCESS;
}

/* A value's bytes, or empty with *found false. */
inline std::vector<BYTE> rawValue(HKEY root, const std::u16string &path, const std::u16string &name,
                                  DWORD *type = nullptr, bool *found = nullptr)
{
    if (found)
        *found = false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    DWORD size = 0, t = 0;
    std::vector<BYTE> v;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &t, nullptr, &size) == ERROR_SUCCESS) {
        v.resize(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &t, v.data(), &size) == ERROR_SUCCESS && found)
            *found = true;
    }
    RegCloseKey(key);
    if (type)
        *type = t;
    return v;
}

/* The names of a key's values, in enumeration order. */
inline std::vector<std::u16string> valueNames(HKEY root, const std::u16string &path)
{
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[512];
        DWORD chars = 512;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, chars);
    }
    RegCloseKey(key);
    return names;
}

/* Little-endian bytes of 32-bit numbers. */
inline std::vector<BYTE> le32(std::initializer_list<DWORD> values)
{
    std::vector<BYTE> v;
    for (DWORD x : values)
        for (int i = 0; i < 4; ++i)
            v.push_back(BYTE(x >> (8 * i)));
    return v;
}

} // namespace user_test

#endif /* TARVEL_TEST_MRG_SUPPORT_H */
