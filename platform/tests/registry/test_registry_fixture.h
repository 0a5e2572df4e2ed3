// A fresh machine folder for each registry test, and small helpers that
// create keys and read and write values with the advapi32 calls.
#ifndef TEST_REGISTRY_FIXTURE_H
#define TEST_REGISTRY_FIXTURE_H

#include <plat/registry.h>
#include <plat/text.h>

#include "test_file_fixture.h"

#include <string>
#include <vector>

class RegistryTest : public MachineTest {
protected:
    /* Creates (or opens) a key; fails the test when that does not succeed. */
    static HKEY create(HKEY root, const char16_t *path, REGSAM sam = KEY_ALL_ACCESS, DWORD *disposition = nullptr)
    {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, sam, nullptr, &k, disposition), ERROR_SUCCESS) << "create";
        return k;
    }
    static HKEY open(HKEY root, const char16_t *path, REGSAM sam = KEY_READ)
    {
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExW(root, path, 0, sam, &k), ERROR_SUCCESS) << "open";
        return k;
    }
    /* Sets a REG_SZ value with its terminator. */
    static LONG set_sz(HKEY k, const char16_t *name, std::u16string_view text, DWORD type = REG_SZ)
    {
        std::u16string s(text);
        return RegSetValueExW(k, name, 0, type, reinterpret_cast<const BYTE *>(s.c_str()),
                              DWORD((s.size() + 1) * sizeof(WCHAR)));
    }
    static LONG set_dword(HKEY k, const char16_t *name, DWORD v)
    {
        return RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), sizeof v);
    }
    /* A value's bytes and type; empty with type REG_NONE and the error in *err when it cannot be read. */
    static std::vector<BYTE> get(HKEY k, const char16_t *name, DWORD *type = nullptr, LONG *err = nullptr)
    {
        DWORD size = 0, t = REG_NONE;
        LONG e = RegQueryValueExW(k, name, nullptr, &t, nullptr, &size);
        std::vector<BYTE> data(size);
        if (e == ERROR_SUCCESS)
            e = RegQueryValueExW(k, name, nullptr, &t, data.data(), &size);
        if (e != ERROR_SUCCESS) {
            data.clear();
            t = REG_NONE;
        }
        if (type)
            *type = t;
        if (err)
            *err = e;
        return data;
    }
    /* A REG_SZ value as text (its terminator dropped); "<error n>" when it cannot be read. */
    static std::u16string get_sz(HKEY k, const char16_t *name)
    {
        LONG e;
        std::vector<BYTE> d = get(k, name, nullptr, &e);
        if (e != ERROR_SUCCESS) {
            std::string msg = "<error " + std::to_string(e) + ">";
            return std::u16string(msg.begin(), msg.end());
        }
        std::u16string s(d.size() / 2, u'\0');
        std::memcpy(s.data(), d.data(), s.size() * 2);
        if (!s.empty() && s.back() == 0)
            s.pop_back();
        return s;
    }
    /* The names of a key's subkeys, in enumeration order. */
    static std::vector<std::u16string> subkeys(HKEY k)
    {
        std::vector<std::u16string> out;
        WCHAR name[256];
        for (DWORD i = 0;; i++) {
            DWORD n = 256;
            LONG e = RegEnumKeyExW(k, i, name, &n, nullptr, nullptr, nullptr, nullptr);
            if (e != ERROR_SUCCESS) {
                EXPECT_EQ(e, ERROR_NO_MORE_ITEMS);
                break;
            }
            out.emplace_back(name, n);
        }
        return out;
    }
    /* The names of a key's values, in enumeration order. */
    static std::vector<std::u16string> value_names(HKEY k)
    {
        std::vector<std::u16string> out;
        std::vector<WCHAR> name(16384);
        for (DWORD i = 0;; i++) {
            DWORD n = DWORD(name.size());
            LONG e = RegEnumValueW(k, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr);
            if (e != ERROR_SUCCESS) {
                EXPECT_EQ(e, ERROR_NO_MORE_ITEMS);
                break;
            }
            out.emplace_back(name.data(), n);
        }
        return out;
    }
};

#endif // TEST_REGISTRY_FIXTURE_H
