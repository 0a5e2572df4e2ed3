// Registry keys and values: creating and opening paths, names that ignore
// case, the size rules of queries and enumerations, deletion, access rights,
// the ordinary user, per-user trees, the ANSI calls and fault injection.
#include "test_registry_fixture.h"

#include <plat/codepage.h>

#include <memory>
#include <thread>

namespace {

using Registry = RegistryTest;

std::vector<BYTE> bytes_of(std::u16string_view s, bool terminator = true)
{
    std::vector<BYTE> b((s.size() + (terminator ? 1 : 0)) * 2, 0);
    std::memcpy(b.data(), s.data(), s.size() * 2);
    return b;
}

TEST_F(Registry, CreateReportsDispositionAndOpensIgnoringCase)
{
    DWORD disposition = 0;
    HKEY k = create(HKEY_LOCAL_MACHINE, u"Software\\Kesto Varnel\\QZ MRD Printer Driver\\", KEY_ALL_ACCESS,
                    &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(set_sz(k, u"Mode", u"on"), ERROR_SUCCESS);
    RegCloseKey(k);

    k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\kesto varnel", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(subkeys(k), std::vector<std::u16string>{u"QZ MRD Printer Driver"}); /* case as created */
    RegCloseKey(k);

    k = open(HKEY_LOCAL_MACHINE, u"software\\KESTO VARNEL\\qz mrd printer driver");
    EXPECT_EQ(get_sz(k, u"MODE"), u"on");
    RegCloseKey(k);
    k = open(HKEY_LOCAL_MACHINE, u"Software");
    EXPECT_EQ(subkeys(k), (std::vector<std::u16string>{u"Kesto Varnel", u"Microsoft"}));
    RegCloseKey(k);
}

TEST_F(Registry, OpenMissingKeyFailsAndClearsResult)
{
    HKEY k = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nobody\\Here", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(k, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0x4, KEY_READ, &k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"x", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    HKEY none = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"x", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND)
        << "a refused create leaves nothing behind";
}

struct PathCase {
    std::u16string path;
    LONG create;
};

TEST_F(Registry, PathRules)
{
    const PathCase cases[] = {
        {u"a\\b\\c", ERROR_SUCCESS},
        {u"a\\b\\c\\", ERROR_SUCCESS},
        {u"\\a", ERROR_BAD_PATHNAME},
        {u"a\\\\b", ERROR_BAD_PATHNAME},
        {u"a\\\\", ERROR_BAD_PATHNAME},
        {std::u16string(255, u'k'), ERROR_SUCCESS},
        {std::u16string(256, u'k'), ERROR_INVALID_PARAMETER},
        /* Slashes and colons are plain characters of a key name. */
        {u"C:/Users/tarvel/AppData/Local/Temp/QZP0001.TMP", ERROR_SUCCESS},
    };
    for (const auto &c : cases) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, c.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  c.create)
            << plat::utf16_to_utf8(c.path);
        if (k)
            RegCloseKey(k);
        if (c.create != ERROR_SUCCESS) {
            EXPECT_EQ(k, nullptr);
        }
    }
    HKEY root = open(HKEY_CURRENT_USER, nullptr);
    EXPECT_EQ(subkeys(root),
              (std::vector<std::u16string>{u"a", u"C:/Users/tarvel/AppData/Local/Temp/QZP0001.TMP",
                                           std::u16string(255, u'k')}));
    RegCloseKey(root);
}

TEST_F(Registry, KeysNestAtMost512Deep)
{
    std::u16string path;
    for (int i = 0; i < 511; i++)
        path += u"k\\";
    path += u"k";
    HKEY k = create(HKEY_LOCAL_MACHINE, path.c_str());
    HKEY deeper = nullptr;
    EXPECT_EQ(RegCreateKeyExW(k, u"one-more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deeper, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(set_dword(k, u"deep", 1), ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST_F(Registry, EmptySubKeyGivesASecondHandleToTheSameKey)
{
    HKEY a = create(HKEY_CURRENT_USER, u"Printers\\P1");
    HKEY b = open(a, u"", KEY_ALL_ACCESS);
    HKEY c = open(a, nullptr, KEY_ALL_ACCESS);
    ASSERT_NE(a, b);
    ASSERT_EQ(set_dword(b, u"n", 7), ERROR_SUCCESS);
    EXPECT_EQ(get(c, u"n"), (std::vector<BYTE>{7, 0, 0, 0}));
    RegCloseKey(a);
    EXPECT_EQ(get(b, u"n"), (std::vector<BYTE>{7, 0, 0, 0})) << "closing one handle leaves the others";
    RegCloseKey(b);
    RegCloseKey(c);
}

struct QueryCase {
    const char *what;
    bool with_data;
    DWORD room;
    LONG result;
    DWORD size_out;
    bool copied;
};

TEST_F(Registry, QuerySizeRules)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Q");
    const BYTE stored[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(RegSetValueExW(k, u"blob", 0, REG_BINARY, stored, 6), ERROR_SUCCESS);
    const QueryCase cases[] = {
        {"size only", false, 0, ERROR_SUCCESS, 6, false},
        {"size only, size ignored", false, 99, ERROR_SUCCESS, 6, false},
        {"exact room", true, 6, ERROR_SUCCESS, 6, true},
        {"more room", true, 9, ERROR_SUCCESS, 6, true},
        {"one byte short", true, 5, ERROR_MORE_DATA, 6, false},
        {"no room", true, 0, ERROR_MORE_DATA, 6, false},
    };
    for (const auto &c : cases) {
        /* A heap block of exactly the room given: a write past it is caught by the address sanitizer. */
        std::unique_ptr<BYTE[]> buf(new BYTE[c.room ? c.room : 1]);
        std::memset(buf.get(), 0xEE, c.room ? c.room : 1);
        DWORD size = c.room, type = 99;
        EXPECT_EQ(RegQueryValueExW(k, u"BLOB", nullptr, &type, c.with_data ? buf.get() : nullptr, &size), c.result)
            << c.what;
        EXPECT_EQ(size, c.size_out) << c.what;
        EXPECT_EQ(type, REG_BINARY) << c.what;
        if (c.copied) {
            EXPECT_EQ(std::memcmp(buf.get(), stored, 6), 0) << c.what;
        } else {
            for (DWORD i = 0; i < c.room; i++)
                EXPECT_EQ(buf[i], 0xEE) << c.what << ": nothing written, byte " << i;
        }
    }
    DWORD size = 6, type = 99;
    BYTE buf[6];
    EXPECT_EQ(RegQueryValueExW(k, u"missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(k, u"blob", nullptr, &type, buf, nullptr), ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(k, u"blob", &reserved, &type, buf, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(k, u"blob", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS) << "an existence test";
    RegCloseKey(k);
}

struct TypeCase {
    DWORD type;
    std::vector<BYTE> data;
};

TEST_F(Registry, EveryTypeKeepsItsBytes)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Types");
    const TypeCase cases[] = {
        {REG_SZ, bytes_of(u"text")},
        {REG_SZ, bytes_of(u"0.01", false)}, /* stored without its terminator, read back without it */
        {REG_EXPAND_SZ, bytes_of(u"%TEMP%\\x")},
        {REG_MULTI_SZ, bytes_of(std::u16string(u"a\0bc\0", 5))},
        {REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {REG_BINARY, std::vector<BYTE>(832, 0xA5)},
        {REG_BINARY, {}},
        {REG_NONE, {}},
        {0x1234, {9}}, /* any type number is kept */
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        std::u16string name = u"v" + plat::utf8_to_utf16(std::to_string(i));
        ASSERT_EQ(RegSetValueExW(k, name.c_str(), 0, cases[i].type, cases[i].data.data(), DWORD(cases[i].data.size())),
                  ERROR_SUCCESS);
    }
    for (size_t i = 0; i < std::size(cases); i++) {
        std::u16string name = u"v" + plat::utf8_to_utf16(std::to_string(i));
        DWORD type;
        EXPECT_EQ(get(k, name.c_str(), &type), cases[i].data) << i;
        EXPECT_EQ(type, cases[i].type) << i;
    }
    RegCloseKey(k);
}

TEST_F(Registry, DefaultValueIsTheNullOrEmptyName)
{
    ASSERT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"Software\\Tarvel\\FaxWork", REG_SZ, u"C:\\Users\\Public\\Fax", 3),
              ERROR_SUCCESS);
    HKEY k = open(HKEY_CURRENT_USER, u"Software\\Tarvel\\FaxWork");
    DWORD type;
    EXPECT_EQ(get(k, nullptr, &type), bytes_of(u"C:\\Users\\Public\\Fax")) << "the whole string and its terminator";
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(get_sz(k, u""), u"C:\\Users\\Public\\Fax");
    EXPECT_EQ(value_names(k), std::vector<std::u16string>{u""});
    RegCloseKey(k);
    EXPECT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"x", REG_BINARY, u"a", 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"x", REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegSetValueW(HKEY_CURRENT_USER, nullptr, REG_SZ, u"root", 0), ERROR_SUCCESS);
    EXPECT_EQ(get_sz(HKEY_CURRENT_USER, nullptr), u"root");
}

TEST_F(Registry, ValueNamesIgnoreCaseAndKeepTheFirstSpelling)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Names");
    ASSERT_EQ(set_sz(k, u"DefaultUserName", u"one"), ERROR_SUCCESS);
    ASSERT_EQ(set_sz(k, u"DEFAULTUSERNAME", u"two"), ERROR_SUCCESS);
    EXPECT_EQ(get_sz(k, u"defaultusername"), u"two");
    EXPECT_EQ(value_names(k), std::vector<std::u16string>{u"DefaultUserName"});
    /* Case folding reaches beyond ASCII. */
    ASSERT_EQ(set_dword(k, u"\u00e9t\u00e9", 1), ERROR_SUCCESS);
    EXPECT_EQ(get(k, u"\u00c9T\u00c9"), (std::vector<BYTE>{1, 0, 0, 0}));
    RegCloseKey(k);
}

TEST_F(Registry, ValueLimits)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Limits");
    std::u16string longest(16383, u'n'), too_long(16384, u'n');
    EXPECT_EQ(set_dword(k, longest.c_str(), 1), ERROR_SUCCESS);
    EXPECT_EQ(set_dword(k, too_long.c_str(), 1), ERROR_INVALID_PARAMETER);
    std::vector<BYTE> big((1u << 20) + 1, 1);
    EXPECT_EQ(RegSetValueExW(k, u"big", 0, REG_BINARY, big.data(), DWORD(big.size())), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(k, u"big", 0, REG_BINARY, big.data(), DWORD(big.size() - 1)), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(k, u"null", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegSetValueExW(k, u"null", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(value_names(k), (std::vector<std::u16string>{longest, u"big", u"null"}));
    RegCloseKey(k);
}

TEST_F(Registry, EnumerateValuesInOrderWithSizeRules)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Stamps");
    ASSERT_EQ(set_sz(k, u"Zeta", u"z"), ERROR_SUCCESS);
    ASSERT_EQ(set_dword(k, u"alpha", 5), ERROR_SUCCESS);
    ASSERT_EQ(set_sz(k, u"Zeta", u"zz"), ERROR_SUCCESS); /* setting again keeps its place */
    EXPECT_EQ(value_names(k), (std::vector<std::u16string>{u"Zeta", u"alpha"}));

    /* Name room: exactly the name and its terminator fits; one less does not. */
    std::unique_ptr<WCHAR[]> name(new WCHAR[5]);
    DWORD n = 5, type = 0, size = 0;
    EXPECT_EQ(RegEnumValueW(k, 0, name.get(), &n, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name.get(), n), u"Zeta");
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    n = 4;
    name[0] = u'#';
    EXPECT_EQ(RegEnumValueW(k, 0, name.get(), &n, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(name[0], u'#');

    /* Data room: too small reports the size needed and writes nothing. */
    BYTE data[6];
    std::memset(data, 0xEE, sizeof data);
    n = 5;
    size = 5;
    EXPECT_EQ(RegEnumValueW(k, 0, name.get(), &n, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(data[0], 0xEE);
    n = 5;
    size = 6;
    EXPECT_EQ(RegEnumValueW(k, 0, name.get(), &n, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(data, data + 6), bytes_of(u"zz"));

    n = 5;
    EXPECT_EQ(RegEnumValueW(k, 2, name.get(), &n, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueW(k, 0, nullptr, &n, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueW(k, 0, name.get(), &n, nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(k);
}

TEST_F(Registry, EnumerateSubkeysInNameOrderWithSizeRules)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Favorite");
    for (const char16_t *name : {u"UserSel02", u"beta", u"Alpha", u"UserSel01"})
        RegCloseKey(create(k, name));
    EXPECT_EQ(subkeys(k), (std::vector<std::u16string>{u"Alpha", u"beta", u"UserSel01", u"UserSel02"}));

    std::unique_ptr<WCHAR[]> name(new WCHAR[6]);
    DWORD n = 6;
    FILETIME written{};
    EXPECT_EQ(RegEnumKeyExW(k, 0, name.get(), &n, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name.get(), n), u"Alpha");
    EXPECT_NE(written.dwHighDateTime, 0u);
    n = 5;
    name[0] = u'#';
    EXPECT_EQ(RegEnumKeyExW(k, 0, name.get(), &n, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(name[0], u'#');
    n = 6;
    EXPECT_EQ(RegEnumKeyExW(k, 4, name.get(), &n, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(k);
}

TEST_F(Registry, QueryInfoKeyCountsAndLongest)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Info");
    RegCloseKey(create(k, u"short"));
    RegCloseKey(create(k, u"a longer name"));
    ASSERT_EQ(set_sz(k, u"v", u"12345"), ERROR_SUCCESS);
    ASSERT_EQ(set_dword(k, u"value name", 1), ERROR_SUCCESS);
    DWORD subs = 9, max_sub = 9, max_class = 9, values = 9, max_name = 9, max_data = 9, sd = 9, class_size = 4;
    WCHAR cls[4] = {u'x', u'x', u'x', u'x'};
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyW(k, cls, &class_size, nullptr, &subs, &max_sub, &max_class, &values, &max_name,
                               &max_data, &sd, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subs, 2u);
    EXPECT_EQ(max_sub, 13u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(max_name, 10u);
    EXPECT_EQ(max_data, 12u);
    EXPECT_EQ(max_class, 0u);
    EXPECT_EQ(class_size, 0u);
    EXPECT_EQ(cls[0], 0);
    EXPECT_EQ(sd, 0u);
    EXPECT_NE(written.dwHighDateTime, 0u);
    EXPECT_EQ(RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subs, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST_F(Registry, DeleteValueAndKey)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Paper Margin");
    ASSERT_EQ(set_dword(k, u"9", 46), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(k, u"9"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(k, u"9"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(create(k, u"Sub"));

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Paper Margin"), ERROR_ACCESS_DENIED) << "a key with subkeys";
    EXPECT_EQ(RegDeleteKeyW(k, u"sub"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(k, u"sub"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"PAPER MARGIN"), ERROR_SUCCESS);

    /* The open handle outlives its key: every call on it says the key is gone. */
    EXPECT_EQ(set_dword(k, u"x", 1), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(k, u"x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);

    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Paper Margin", 0, KEY_READ, &again), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED) << "a root";
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), ERROR_ACCESS_DENIED) << "a user's tree";
    EXPECT_EQ(RegDeleteKeyW(HKEY_USERS, u"tarvel"), ERROR_ACCESS_DENIED) << "a user's tree";
}

TEST_F(Registry, DeleteKeyItselfThroughEmptyName)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Stamps\\Others");
    EXPECT_EQ(RegDeleteKeyW(k, u""), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    HKEY s = open(HKEY_CURRENT_USER, u"Stamps");
    EXPECT_TRUE(subkeys(s).empty());
    RegCloseKey(s);
}

struct RightsCase {
    REGSAM sam;
    LONG set, query, enum_keys, create_new, create_existing;
};

TEST_F(Registry, HandlesKeepTheRightsTheyWereOpenedWith)
{
    RegCloseKey(create(HKEY_CURRENT_USER, u"R\\existing"));
    const LONG OK = ERROR_SUCCESS, NO = ERROR_ACCESS_DENIED;
    const RightsCase cases[] = {
        {KEY_READ, NO, OK, OK, NO, OK},
        {KEY_READ | KEY_WOW64_32KEY, NO, OK, OK, NO, OK},
        {KEY_QUERY_VALUE, NO, OK, NO, NO, OK},
        {KEY_SET_VALUE, OK, NO, NO, NO, OK},
        {KEY_WRITE, OK, NO, NO, OK, OK},
        {KEY_ALL_ACCESS, OK, OK, OK, OK, OK},
        {MAXIMUM_ALLOWED, OK, OK, OK, OK, OK},
        {GENERIC_READ, NO, OK, OK, NO, OK},
        {0, NO, NO, NO, NO, OK},
    };
    int i = 0;
    for (const auto &c : cases) {
        HKEY k = open(HKEY_CURRENT_USER, u"R", c.sam);
        EXPECT_EQ(set_dword(k, u"v", 1), c.set) << i;
        EXPECT_EQ(RegDeleteValueW(k, u"v"), c.set == OK ? OK : NO) << i;
        DWORD size = 0;
        LONG q = RegQueryValueExW(k, u"v", nullptr, nullptr, nullptr, &size);
        EXPECT_EQ(q == ERROR_FILE_NOT_FOUND ? OK : q, c.query) << i;
        WCHAR name[16];
        DWORD n = 16;
        EXPECT_EQ(RegEnumKeyExW(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr), c.enum_keys) << i;
        HKEY sub = nullptr;
        std::u16string fresh = u"new" + plat::utf8_to_utf16(std::to_string(i));
        EXPECT_EQ(RegCreateKeyExW(k, fresh.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), c.create_new)
            << i;
        RegCloseKey(sub);
        EXPECT_EQ(RegCreateKeyExW(k, u"existing", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), c.create_existing)
            << i;
        RegCloseKey(sub);
        RegCloseKey(k);
        i++;
    }
}

TEST_F(Registry, OrdinaryUserCannotChangeTheMachine)
{
    ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers", u"Name",
                                           u"seeded"));
    plat::registry_set_admin(false);

    EXPECT_EQ(set_dword(HKEY_LOCAL_MACHINE, u"WriteCheck", 1), ERROR_ACCESS_DENIED);
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_WRITE, &k), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_ALL_ACCESS, &k), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\New", 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kesto Varnel\\TempFile\\C:/x.tmp", &k),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers"), ERROR_ACCESS_DENIED);

    /* Reading goes on; the older create call opens an existing key for reading only. */
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers", &k), ERROR_SUCCESS);
    EXPECT_EQ(get_sz(k, u"Name"), u"seeded");
    EXPECT_EQ(set_dword(k, u"MyPortMode", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(k, u"Name"), ERROR_ACCESS_DENIED);
    RegCloseKey(k);

    /* The user's own tree stays writable. */
    EXPECT_EQ(set_dword(HKEY_CURRENT_USER, u"Mine", 1), ERROR_SUCCESS);

    plat::registry_set_admin(true);
    EXPECT_EQ(set_dword(HKEY_LOCAL_MACHINE, u"WriteCheck", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(HKEY_LOCAL_MACHINE, u"WriteCheck"), ERROR_SUCCESS);
    EXPECT_EQ(value_names(HKEY_LOCAL_MACHINE), std::vector<std::u16string>{});
}

TEST_F(Registry, EachUserHasATreeOfTheirOwn)
{
    EXPECT_EQ(plat::registry_current_user(), u"tarvel");
    ASSERT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"Control Panel\\Desktop", REG_SZ, u"tarvel's", 0), ERROR_SUCCESS);
    HKEY tarvel_key = open(HKEY_CURRENT_USER, u"Control Panel");

    ASSERT_TRUE(plat::registry_set_current_user(u"alice"));
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Control Panel\\Desktop", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"Control Panel\\Desktop", REG_SZ, u"alice's", 0), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(tarvel_key), std::vector<std::u16string>{u"Desktop"}) << "an open key stays on its tree";
    HKEY d = open(tarvel_key, u"Desktop");
    EXPECT_EQ(get_sz(d, nullptr), u"tarvel's");
    RegCloseKey(d);
    RegCloseKey(tarvel_key);

    k = open(HKEY_USERS, u"ALICE\\Control Panel\\Desktop");
    EXPECT_EQ(get_sz(k, nullptr), u"alice's");
    RegCloseKey(k);
    EXPECT_EQ(subkeys(HKEY_USERS), (std::vector<std::u16string>{u"alice", u"tarvel"}));

    ASSERT_TRUE(plat::registry_set_current_user(u"tarvel"));
    k = open(HKEY_CURRENT_USER, u"Control Panel\\Desktop");
    EXPECT_EQ(get_sz(k, nullptr), u"tarvel's");
    RegCloseKey(k);
}

TEST_F(Registry, UserNamesThatCannotNameATree)
{
    for (std::u16string bad : {std::u16string(), std::u16string(257, u'u'), std::u16string(u"a\\b"),
                               std::u16string(u"a/b"), std::u16string(u"c:"), std::u16string(u"x*"),
                               std::u16string(u"tab\there"), std::u16string(u"q?")})
        EXPECT_FALSE(plat::registry_set_current_user(bad)) << plat::utf16_to_utf8(bad);
    EXPECT_EQ(plat::registry_current_user(), u"tarvel");
    EXPECT_TRUE(plat::registry_set_current_user(std::u16string(256, u'u')));
    EXPECT_TRUE(plat::registry_set_current_user(u"SYSTEM"));
}

TEST_F(Registry, HandlesThatAreNotOpenKeys)
{
    HKEY bogus = reinterpret_cast<HKEY>(0x5555);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set_dword(bogus, u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    HKEY k = create(HKEY_CURRENT_USER, u"H");
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(k))) << "keys close with RegCloseKey only";
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set_dword(k, u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_REGKEY), 0u);

    /* A file handle is no key. */
    HANDLE f = CreateFileW(u"C:\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(set_dword(reinterpret_cast<HKEY>(f), u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(f)), ERROR_INVALID_HANDLE);
    CloseHandle(f);
    EXPECT_EQ(set_dword(HKEY_CLASSES_ROOT, u"x", 1), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, AnsiCallsConvertNamesAndStrings)
{
    ASSERT_TRUE(plat::set_ansi_code_page(1252));
    ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Varnel\\Clearlane\\Client\\Jobwatch",
                                           u"", u"C:\\Jobwatch\\caf\u00e9.exe"));
    const BYTE blob[3] = {0xE9, 0, 1};
    ASSERT_TRUE(plat::registry_seed(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Varnel\\Clearlane\\Client\\Jobwatch", u"Bin",
                                    REG_BINARY, blob, 3));
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Varnel\\Clearlane\\Client\\Jobwatch", 0,
                            KEY_READ | KEY_WOW64_32KEY, &k),
              ERROR_SUCCESS);
    const char expected[] = "C:\\Jobwatch\\caf\xE9.exe"; /* 21 bytes and the terminator */
    DWORD size = 0, type = 0;
    ASSERT_EQ(RegQueryValueExA(k, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof expected);
    EXPECT_EQ(type, REG_SZ);
    std::unique_ptr<BYTE[]> buf(new BYTE[sizeof expected]);
    size = sizeof expected - 1;
    EXPECT_EQ(RegQueryValueExA(k, "", nullptr, &type, buf.get(), &size), ERROR_MORE_DATA);
    size = sizeof expected;
    ASSERT_EQ(RegQueryValueExA(k, "", nullptr, &type, buf.get(), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(buf.get(), expected, sizeof expected), 0);
    size = 3;
    EXPECT_EQ(RegQueryValueExA(k, "BIN", nullptr, &type, buf.get(), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(buf.get(), blob, 3), 0) << "binary data is not converted";
    EXPECT_EQ(RegQueryValueExA(k, "JwmApi", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST_F(Registry, FreshMachineKnowsTheDefaultUser)
{
    HKEY k = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\");
    EXPECT_EQ(get_sz(k, u"DefaultUserName"), u"tarvel");
    RegCloseKey(k);
}

TEST_F(Registry, SeedsIgnoreTheOrdinaryUserAndRefuseBadInput)
{
    plat::registry_set_admin(false);
    const char16_t *queuelark = u"SOFTWARE\\OSTREL\\Queuelark\\Printers\\OSTREL Lumaset K4100";
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, queuelark, u"ConnectTime", 30));
    ASSERT_TRUE(plat::registry_seed_key(HKEY_CURRENT_USER, u"Empty\\Key"));
    HKEY k = open(HKEY_LOCAL_MACHINE, queuelark);
    EXPECT_EQ(get(k, u"ConnectTime"), (std::vector<BYTE>{30, 0, 0, 0}));
    RegCloseKey(k);
    RegCloseKey(open(HKEY_CURRENT_USER, u"empty\\key"));
    EXPECT_FALSE(plat::registry_seed_key(HKEY_CLASSES_ROOT, u"x"));
    EXPECT_FALSE(plat::registry_seed_key(HKEY_CURRENT_USER, u"a\\\\b"));
    EXPECT_FALSE(plat::registry_seed(HKEY_CURRENT_USER, u"a", u"v", REG_BINARY, nullptr, 4));
}

TEST_F(Registry, InjectedFailureHitsTheNthCallOnly)
{
    HKEY k = create(HKEY_CURRENT_USER, u"F");
    unsigned long before = plat::registry_call_count();
    plat::registry_fail_after(2, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(set_dword(k, u"one", 1), ERROR_SUCCESS);
    HKEY sub = reinterpret_cast<HKEY>(0x1);
    DWORD disposition = 77;
    EXPECT_EQ(RegCreateKeyExW(k, u"two", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
              ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(sub, reinterpret_cast<HKEY>(0x1)) << "a failed call writes no output";
    EXPECT_EQ(disposition, 77u);
    EXPECT_EQ(set_dword(k, u"three", 3), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(k), std::vector<std::u16string>{});
    EXPECT_EQ(value_names(k), (std::vector<std::u16string>{u"one", u"three"}));
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS) << "closing never fails";
    EXPECT_GE(plat::registry_call_count() - before, 4u);
}

TEST_F(Registry, ThreadsWritingAtOnceLoseNothing)
{
    constexpr int kThreads = 4, kValues = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([t] {
            std::u16string path = u"Threads\\T" + plat::utf8_to_utf16(std::to_string(t));
            HKEY k = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                nullptr) != ERROR_SUCCESS)
                return;
            for (int i = 0; i < kValues; i++) {
                std::u16string name = plat::utf8_to_utf16(std::to_string(i));
                DWORD v = DWORD(i);
                RegSetValueExW(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4);
            }
            RegCloseKey(k);
        });
    for (auto &t : threads)
        t.join();
    HKEY k = open(HKEY_CURRENT_USER, u"Threads");
    EXPECT_EQ(subkeys(k).size(), size_t(kThreads));
    for (int t = 0; t < kThreads; t++) {
        std::u16string path = u"T" + plat::utf8_to_utf16(std::to_string(t));
        HKEY sub = open(k, path.c_str());
        EXPECT_EQ(value_names(sub).size(), size_t(kValues));
        RegCloseKey(sub);
    }
    RegCloseKey(k);
}

} // namespace
