/*
 * The registry primitives of the user's per-printer key: writers create the
 * identifier and the key, readers create nothing; values too large for the
 * caller's buffer; recursive key copies; subkey names and deletion; models
 * without a key text; ordinary users; one key tree per user; persistence.
 */
#include <tarvel/stores/prn_store.h>

#include "test_prn_support.h"

using namespace prn_test;

namespace {

constexpr char16_t kKeyText[] = u"Software\\Tarvel\\CX1500";

class PrnStore : public OpenStoreTest {
protected:
    /* The key name the printer's identifier gives, or empty without one. */
    std::u16string keyName()
    {
        BYTE id[PRN_ID_SIZE];
        if (!REG_ReadPrnId(printer(), id))
            return u"";
        WCHAR name[PRN_KEY_NAME_CHARS];
        EXPECT_TRUE(REG_MakePrinterKeyName(kKeyText, id, nullptr, name, PRN_KEY_NAME_CHARS));
        return name;
    }
    bool keyExists(const std::u16string &path)
    {
        HKEY key = nullptr;
        LONG err = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
        if (key)
            RegCloseKey(key);
        return err == ERROR_SUCCESS;
    }
};

TEST_F(PrnStore, ReadsCreateNothingAndTheFirstWriteMakesTheIdentifierAndKey)
{
    Global<> data;
    DWORD size = 9, type = 0;
    EXPECT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, &type, nullptr, u"V"), REG_READ_NOT_FOUND);
    EXPECT_EQ(data.p, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(REG_HasUserSettingInfo(printer(), context()));
    HKEY key = nullptr;
    EXPECT_EQ(REG_OpenExistingPrinterKey(printer(), context(), nullptr, KEY_READ, &key), REG_READ_NOT_FOUND);
    EXPECT_EQ(keyName(), u"") << "no identifier was made";
    EXPECT_FALSE(keyExists(u"Software\\Tarvel"));

    std::vector<BYTE> value = pattern(40);
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 40, REG_BINARY, nullptr, u"V"));
    std::u16string name = keyName();
    ASSERT_EQ(name.size(), std::u16string(kKeyText).size() + 32);
    ASSERT_TRUE(keyExists(name));

    ASSERT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, &type, nullptr, u"V"), REG_READ_OK);
    ASSERT_EQ(size, 40u);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_TRUE(std::equal(value.begin(), value.end(), data.p));

    /* The key is the one the name says, and a subkey goes below it. */
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 4, REG_DWORD, u"Favorite\\UserSel07", u"W"));
    EXPECT_TRUE(keyExists(name + u"\\Favorite\\UserSel07"));
    /* A subkey that does not exist is "not found", and is not created. */
    EXPECT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, &type, u"Stamps", u"V"), REG_READ_NOT_FOUND);
    EXPECT_FALSE(keyExists(name + u"\\Stamps"));
}

TEST_F(PrnStore, AModelWithoutKeyTextHasNoUserStore)
{
    mw::Model m = model_test::emptyModel(0x1600, false);
    m.main.entries[33] = mw::eText(mw::noText());
    Context bare(contextOf(m, false));
    ASSERT_NE(bare.p, nullptr);
    BYTE value[4] = {1, 2, 3, 4};
    EXPECT_FALSE(REG_WriteValue(printer(), bare, value, 4, REG_BINARY, nullptr, u"V"));
    HKEY key = nullptr;
    EXPECT_FALSE(REG_OpenPrinterKey(printer(), bare, nullptr, &key));
    EXPECT_EQ(key, nullptr);
    Global<> data;
    DWORD size = 0;
    EXPECT_EQ(REG_ReadValue(printer(), bare, data.out(), &size, nullptr, nullptr, u"V"), REG_READ_FAILED);
    WCHAR name[PRN_KEY_NAME_CHARS];
    EXPECT_FALSE(REG_GetMarginKeyName(printer(), bare, name, PRN_KEY_NAME_CHARS));
    EXPECT_EQ(keyName(), u"") << "no identifier is made for a store that cannot exist";
}

TEST_F(PrnStore, ValueCopiesNeverWritePastTheCallersBuffer)
{
    std::vector<BYTE> value = pattern(1324);
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 1324, REG_BINARY, nullptr, u"UserSettingInfo"));
    std::vector<BYTE> buffer(1323, 0xEE);
    WORD size = 1323;
    EXPECT_EQ(REG_ReadValueCopy(printer(), context(), buffer.data(), &size, nullptr, nullptr, u"UserSettingInfo"),
              REG_READ_FAILED);
    EXPECT_EQ(buffer, std::vector<BYTE>(1323, 0xEE));
    EXPECT_EQ(size, 1323);

    buffer.assign(1328, 0xEE);
    size = 1328;
    DWORD type = 0;
    ASSERT_EQ(REG_ReadValueCopy(printer(), context(), buffer.data(), &size, &type, nullptr, u"UserSettingInfo"),
              REG_READ_OK);
    EXPECT_EQ(size, 1324);
    EXPECT_TRUE(std::equal(value.begin(), value.end(), buffer.begin()));
    EXPECT_EQ(buffer[1324], 0xEE);
    EXPECT_EQ(REG_ReadValueCopy(printer(), context(), buffer.data(), &size, nullptr, nullptr, u"Missing"),
              REG_READ_NOT_FOUND);
}

TEST_F(PrnStore, HasUserSettingInfoNeedsAValueThatFits1328Bytes)
{
    EXPECT_FALSE(REG_HasUserSettingInfo(printer(), context()));
    std::vector<BYTE> value = pattern(1329);
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 1324, REG_BINARY, nullptr, u"UserSettingInfo"));
    EXPECT_TRUE(REG_HasUserSettingInfo(printer(), context()));
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 1329, REG_BINARY, nullptr, u"UserSettingInfo"));
    EXPECT_FALSE(REG_HasUserSettingInfo(printer(), context()));
}

/* A key's values and subkeys, recursively, as text. */
std::string dump(HKEY key, const std::string &indent = "")
{
    std::string out;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameChars = 256, type = 0, size = 256;
        BYTE data[256];
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        out += indent + plat::utf16_to_utf8(name) + " " + std::to_string(type) + " " +
               std::string(reinterpret_cast<char *>(data), size) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameChars = 256;
        if (RegEnumKeyExW(key, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        EXPECT_EQ(RegOpenKeyExW(key, name, 0, KEY_READ, &sub), ERROR_SUCCESS);
        out += indent + "[" + plat::utf16_to_utf8(name) + "]\n" + dump(sub, indent + "  ");
        RegCloseKey(sub);
    }
    return out;
}

TEST_F(PrnStore, KeyCopiesTakeEveryValueAndSubkey)
{
    ASSERT_TRUE(plat::registry_seed_string(HKEY_CURRENT_USER, u"Src", u"Name", u"abc"));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, u"Src", u"Count", 7));
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, u"Src", u"", REG_BINARY, "\x01\x02", 2));
    ASSERT_TRUE(plat::registry_seed_string(HKEY_CURRENT_USER, u"Src\\Stamps\\Others", u"Stamp1", u"Draft"));
    ASSERT_TRUE(plat::registry_seed_key(HKEY_CURRENT_USER, u"Src\\Empty"));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, u"Src\\Stamps", u"Version", 3));

    HKEY src = nullptr, dst = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Src", 0, KEY_READ, &src), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Dst", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst, nullptr),
              ERROR_SUCCESS);
    ASSERT_TRUE(REG_CopyKeyValues(dst, src));
    std::string copied = dump(dst);
    EXPECT_EQ(copied, dump(src));
    EXPECT_NE(copied.find("[Others]"), std::string::npos);
    EXPECT_NE(copied.find("[Empty]"), std::string::npos);

    /* A failing registry call stops the copy with 0. */
    HKEY dst2 = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Dst2", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst2, nullptr),
              ERROR_SUCCESS);
    plat::registry_fail_after(4);
    EXPECT_FALSE(REG_CopyKeyValues(dst2, src));
    EXPECT_FALSE(REG_CopyKeyValues(nullptr, src));
    RegCloseKey(src);
    RegCloseKey(dst);
    RegCloseKey(dst2);
}

TEST_F(PrnStore, SubkeyNamesAndDeletion)
{
    WCHAR name[PRN_KEY_NAME_CHARS];
    ASSERT_TRUE(REG_GetStampsKeyName(printer(), context(), name, PRN_KEY_NAME_CHARS, 0));
    std::u16string base = keyName();
    ASSERT_FALSE(base.empty()) << "asking for a name makes the identifier";
    EXPECT_EQ(std::u16string(name), base + u"\\Stamps");
    ASSERT_TRUE(REG_GetStampsKeyName(printer(), context(), name, PRN_KEY_NAME_CHARS, 1));
    EXPECT_EQ(std::u16string(name), base + u"\\Stamps\\Others");
    ASSERT_TRUE(REG_GetMarginKeyName(printer(), context(), name, PRN_KEY_NAME_CHARS));
    EXPECT_EQ(std::u16string(name), base + u"\\Paper Margin");
    EXPECT_FALSE(REG_GetStampsKeyName(printer(), context(), name, PRN_KEY_NAME_CHARS, 2));
    EXPECT_FALSE(REG_GetMarginKeyName(printer(), context(), name, DWORD(base.size() + 13)));
    EXPECT_EQ(name[0], 0);

    BYTE one[4] = {1};
    ASSERT_TRUE(REG_WriteValue(printer(), context(), one, 4, REG_DWORD, u"Favorite\\UserSel01", u"V"));
    EXPECT_FALSE(REG_DeleteSubkey(printer(), context(), u"Favorite")) << "it has a subkey";
    EXPECT_TRUE(REG_DeleteSubkey(printer(), context(), u"Favorite\\UserSel01"));
    EXPECT_FALSE(keyExists(base + u"\\Favorite\\UserSel01"));
    EXPECT_TRUE(REG_DeleteSubkey(printer(), context(), u"Favorite"));
    EXPECT_FALSE(REG_DeleteSubkey(printer(), context(), u"Favorite"));
}

TEST_F(PrnStore, AnOrdinaryUserNeedsTheIdentifierMadeForHim)
{
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    {
        Printer user(kPrinter, PRINTER_ACCESS_USE);
        ASSERT_TRUE(user.ok);
        Context context(MDL_Open(user));
        ASSERT_NE(context.p, nullptr);
        BYTE value[4] = {9};
        EXPECT_FALSE(REG_WriteValue(user, context, value, 4, REG_BINARY, nullptr, u"V"))
            << "no identifier, and no right to store one";
        WCHAR name[PRN_KEY_NAME_CHARS];
        EXPECT_FALSE(REG_GetMarginKeyName(user, context, name, PRN_KEY_NAME_CHARS));
        Global<> data;
        DWORD size = 0;
        EXPECT_EQ(REG_ReadValue(user, context, data.out(), &size, nullptr, nullptr, u"V"), REG_READ_NOT_FOUND);
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Administrator);
    {
        Printer admin;
        BYTE id[PRN_ID_SIZE] = {0x42};
        ASSERT_TRUE(REG_WritePrnId(admin, id));
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    Context context(MDL_Open(user));
    BYTE value[4] = {9};
    ASSERT_TRUE(REG_WriteValue(user, context, value, 4, REG_BINARY, nullptr, u"V")) << "the user's own tree is his";
    Global<> data;
    DWORD size = 0;
    ASSERT_EQ(REG_ReadValue(user, context, data.out(), &size, nullptr, nullptr, u"V"), REG_READ_OK);
    EXPECT_EQ(data.p[0], 9);
}

TEST_F(PrnStore, EachUserHasHisOwnKey)
{
    BYTE mine[4] = {1}, hers[4] = {2};
    ASSERT_TRUE(REG_WriteValue(printer(), context(), mine, 4, REG_BINARY, nullptr, u"V"));
    ASSERT_TRUE(plat::registry_set_current_user(u"alice"));
    Global<> data;
    DWORD size = 0;
    EXPECT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, nullptr, nullptr, u"V"), REG_READ_NOT_FOUND);
    ASSERT_TRUE(REG_WriteValue(printer(), context(), hers, 4, REG_BINARY, nullptr, u"V"));
    ASSERT_TRUE(plat::registry_set_current_user(u"tarvel"));
    ASSERT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, nullptr, nullptr, u"V"), REG_READ_OK);
    EXPECT_EQ(data.p[0], 1);
}

TEST_F(PrnStore, RegistryFailuresAreNotMistakenForMissingValues)
{
    BYTE value[4] = {1};
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value, 4, REG_BINARY, nullptr, u"V"));
    Global<> data;
    DWORD size = 0;
    plat::registry_fail_after(2, ERROR_ACCESS_DENIED); /* the key opens, the query fails */
    EXPECT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, nullptr, nullptr, u"V"), REG_READ_FAILED);
    EXPECT_EQ(data.p, nullptr);
    plat::registry_fail_after(1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(REG_WriteValue(printer(), context(), value, 4, REG_BINARY, nullptr, u"V"));
}

TEST_F(PrnStore, AValueWrittenByOneProcessIsReadByTheNext)
{
    std::vector<BYTE> value = pattern(300, 5);
    ASSERT_TRUE(REG_WriteValue(printer(), context(), value.data(), 300, REG_BINARY, u"Paper Margin", u"M"));
    close();
    plat::machine_reset(root_);
    open();
    Global<> data;
    DWORD size = 0;
    ASSERT_EQ(REG_ReadValue(printer(), context(), data.out(), &size, nullptr, u"Paper Margin", u"M"), REG_READ_OK);
    ASSERT_EQ(size, 300u);
    EXPECT_TRUE(std::equal(value.begin(), value.end(), data.p));
}

} // namespace
