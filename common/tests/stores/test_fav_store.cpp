/*
 * Tests of the favourites store: favourite numbers in their subkey names,
 * the values and their types, the display-order index (free numbers, a full
 * index, short and long stored indexes), the model's presets (made over the
 * defaults, reused by name, never past a full index), reading a favourite
 * through the devmode conversion (and through a test converter that hands
 * out what the conversion never would), favourites of another model, and
 * the favourite's paper margins.
 */
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/mrg_store.h>

#include "fav_keys.h"
#include "fav_store.h"
#include "test_mrg_support.h"

#include <standard_models.h>
#include <plat/debug.h>

#include <array>

using namespace prn_test;
using namespace user_test;

namespace {

constexpr char16_t kPresetPrinter[] = u"Tarvel Presets";

/* The test converter: the stored bytes as they are (a shorter value zero-filled), and the size it was given. */
DWORD g_convertedSize = 0;
int copyConverter(HANDLE, const void *devmode, DWORD totalSize, void *image)
{
    g_convertedSize = totalSize;
    std::memset(image, 0, FAV_IMAGE_SIZE);
    std::memcpy(image, devmode, totalSize < FAV_IMAGE_SIZE ? totalSize : FAV_IMAGE_SIZE);
    return 0;
}

/* The standard colour model with three preset options (Standard, Draft, Photo). */
mw::Model threePresetModel()
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    std::erase_if(m.records, [](const mw::Record &r) { return r.kind == DDD_KIND_DOCUMENT_FEATURE && r.id == 36888; });
    mw::Feature f;
    f.id = 36888;
    f.name = mw::stored("Presets");
    f.uiKind = 1;
    f.defaultOption = 1;
    auto option = [](const char *text, WORD value) {
        mw::Option o;
        o.name = mw::stored(text);
        o.setting = mw::vUShort(value);
        return o;
    };
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f,
                 {option("Standard\rEveryday printing", 1), option("Draft\rFast\rprinting", 2),
                  option("Photo\rNot a preset: the last option", 3)});
    m.add(mw::encode(mw::Preset{3, mw::stored("Photo"), {{16, mw::vShort(1)}}}, m.formatVersion));
    return m;
}

class FavStore : public OpenStoreTest {
protected:
    void SetUp() override
    {
        OpenStoreTest::SetUp();
        bindDataManager();
        g_convertedSize = 0;
    }
    void TearDown() override
    {
        fav_SetDevmodeConverterForTest(nullptr);
        OpenStoreTest::TearDown();
    }

    std::u16string favKey(const std::u16string &tail) { return userKey(printer(), u"Favorite" + tail); }

    /* The model's defaults image for this printer. */
    std::vector<BYTE> defaults(ModelContext *context = nullptr)
    {
        std::vector<BYTE> image(FAV_IMAGE_SIZE);
        EXPECT_TRUE(FID_InitDefaults(context ? context : this->context(), image.data(), nullptr, kPrinter));
        return image;
    }
    static ULONGLONG setting(std::vector<BYTE> &image, WORD id)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE] = {};
        EXPECT_EQ(DMB_GetValue(id, image.data(), nullptr, &type, &size, slot), 0) << id;
        return FID_ReadValueAsUInt(slot, type);
    }
    static std::u16string modelName(std::vector<BYTE> &image)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE] = {};
        EXPECT_EQ(DMB_GetValue(259, image.data(), nullptr, &type, &size, slot), 0);
        return FID_SlotString(slot) ? FID_SlotString(slot) : u"";
    }
    static void setModelName(std::vector<BYTE> &image, const char16_t *name)
    {
        LPCWSTR p = name;
        ASSERT_EQ(DMB_SetValue(259, image.data(), nullptr, 6, LONG((plat::wlen(name) + 1) * 2), &p), 0);
    }
    std::vector<WORD> index(DWORD capacity)
    {
        std::vector<WORD> v(capacity, 0xEEEE);
        EXPECT_TRUE(FAV_ReadUserIndex(printer(), context(), v.data(), capacity));
        return v;
    }
    std::u16string text(const std::u16string &key, const char16_t *name)
    {
        std::vector<BYTE> v = rawValue(HKEY_CURRENT_USER, key, name);
        return std::u16string(reinterpret_cast<const char16_t *>(v.data()), v.size() / 2);
    }
};

TEST_F(FavStore, NumbersArePaddedNeverCutAndValuesHaveTheirTypes)
{
    std::vector<BYTE> image = pattern(FAV_IMAGE_SIZE);
    const DWORD flag = 5;
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 7, image.data(), u"Mine", u"A comment", &flag));
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 123, nullptr, u"Other", nullptr, nullptr));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, favKey(u"\\UserSel07")),
              (std::vector<std::u16string>{u"DEVMODE", u"Name", u"Comment", u"Flag"}));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, favKey(u"\\UserSel123")), (std::vector<std::u16string>{u"Name"}));
    DWORD type = 0;
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u"\\UserSel07"), u"DEVMODE", &type), image);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(text(favKey(u"\\UserSel07"), u"Name"), std::u16string(u"Mine\0", 5)) << "with its terminator";
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u"\\UserSel07"), u"Flag", &type), le32({5}));
    EXPECT_EQ(type, DWORD(REG_DWORD));

    LPWSTR name = nullptr, comment = nullptr;
    DWORD readFlag = 0;
    ASSERT_TRUE(FAV_ReadEntry(printer(), context(), nullptr, nullptr, 7, nullptr, &name, &comment, &readFlag, 4));
    EXPECT_EQ(std::u16string(name), u"Mine");
    EXPECT_EQ(std::u16string(comment), u"A comment");
    EXPECT_EQ(readFlag, 5u);
    GlobalFree(name);
    GlobalFree(comment);
    EXPECT_FALSE(FAV_ReadEntry(printer(), context(), nullptr, nullptr, 123, nullptr, &name, &comment, nullptr, 4))
        << "a comment that is not there fails the read";
    EXPECT_EQ(name, nullptr) << "and what was read is given back";
}

TEST_F(FavStore, IndexFreeNumbersAndItsStoredForm)
{
    struct Row {
        std::vector<WORD> array;
        int free;
    };
    const Row rows[] = {
        {{1, 2, 4, 0}, 3}, {{1, 2, 3, 4}, -1}, {{0, 9, 9, 9}, 1}, {{3, 1, 0, 2}, 2}, /* entries after the 0 are unused */
        {{2}, 1},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FAV_FindFreeIndex(row.array.data(), DWORD(row.array.size())), row.free);
    EXPECT_EQ(FAV_FindFreeIndex(nullptr, 4), -1);
    EXPECT_EQ(FAV_CountUsed(rows[1].array.data(), 4), 4u);

    const std::array<WORD, 4> a{1, 2, 4, 0};
    ASSERT_TRUE(FAV_WriteUserIndex(printer(), context(), a.data(), 4));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u""), u"UserIndex"),
              (std::vector<BYTE>{1, 0, 2, 0, 4, 0, 0, 0}));
    EXPECT_EQ(index(4), (std::vector<WORD>{1, 2, 4, 0}));
    EXPECT_EQ(index(2), (std::vector<WORD>{1, 2})) << "a longer stored index: as far as it fits";
    EXPECT_EQ(index(6), (std::vector<WORD>{1, 2, 4, 0, 0, 0})) << "a shorter one: the rest 0";
    EXPECT_TRUE(FAV_WriteUserIndex(printer(), context(), nullptr, 4)) << "no array: nothing to write";
    std::vector<WORD> none(2, 7);
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, favKey(u""), u"UserIndex", REG_BINARY, "\x03", 1));
    EXPECT_EQ(index(2), (std::vector<WORD>{0, 0})) << "an odd byte is no number";
    Printer other(kPrinter2);
    EXPECT_FALSE(FAV_ReadUserIndex(other, context(), none.data(), 2)) << "nothing stored";
    EXPECT_EQ(none, (std::vector<WORD>{7, 7}));
}

TEST_F(FavStore, PresetsAreMadeOverTheDefaults)
{
    installModelPrinter(threePresetModel(), kPresetPrinter);
    Printer p(kPresetPrinter);
    Context c(MDL_Open(p));
    ASSERT_NE(c.p, nullptr);
    std::array<WORD, 4> a{};
    ASSERT_TRUE(FAV_CreatePresets(p, c, kPresetPrinter, a.data(), 4));
    EXPECT_EQ(a, (std::array<WORD, 4>{1, 2, 0, 0})) << "the last option is not a preset";

    const std::u16string key1 = userKey(p, u"Favorite\\UserSel01"), key2 = userKey(p, u"Favorite\\UserSel02");
    EXPECT_EQ(text(key1, u"Name"), std::u16string(u"Standard\0", 9));
    EXPECT_EQ(text(key1, u"Comment"), std::u16string(u"Everyday printing\0", 18));
    EXPECT_EQ(text(key2, u"Name"), std::u16string(u"Draft\rFast\0", 11)) << "split at the last carriage return";
    EXPECT_EQ(text(key2, u"Comment"), std::u16string(u"printing\0", 9));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, key2, u"Flag"), le32({0}));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, userKey(p, u"Favorite\\UserSel03")));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, userKey(p, u"Favorite"), u"UserIndex"),
              (std::vector<BYTE>{1, 0, 2, 0, 0, 0, 0, 0}));

    std::vector<BYTE> standard = rawValue(HKEY_CURRENT_USER, key1, u"DEVMODE");
    std::vector<BYTE> draft = rawValue(HKEY_CURRENT_USER, key2, u"DEVMODE");
    ASSERT_EQ(standard.size(), FAV_IMAGE_SIZE);
    ASSERT_EQ(draft.size(), FAV_IMAGE_SIZE);
    EXPECT_EQ(setting(standard, 16), 1u);
    EXPECT_EQ(setting(standard, 7), 1u);
    EXPECT_EQ(setting(draft, 16), 2u);
    EXPECT_EQ(setting(draft, 270), 2u);
    EXPECT_EQ(setting(draft, 345), 1u);
    std::vector<BYTE> def = defaults(c);
    EXPECT_EQ(modelName(draft), modelName(def)) << "everything else as the defaults give it";
    EXPECT_EQ(setting(draft, 8), setting(def, 8));
}

TEST_F(FavStore, PresetsAreReusedByNameAndUserFavouritesLeftAlone)
{
    std::array<WORD, 4> a{};
    ASSERT_TRUE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 4));
    EXPECT_EQ(a, (std::array<WORD, 4>{1, 0, 0, 0})) << "the standard model has one preset";
    ASSERT_TRUE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 4));
    EXPECT_EQ(a, (std::array<WORD, 4>{1, 0, 0, 0})) << "refreshed under its number";
    EXPECT_EQ(FAV_FindPresetByName(printer(), context(), nullptr, a.data(), 4, u"Standard", 0), 1);
    EXPECT_EQ(FAV_FindPresetByName(printer(), context(), nullptr, a.data(), 4, u"standard", 0), -1) << "exact";
    EXPECT_EQ(FAV_FindPresetByName(printer(), context(), nullptr, a.data(), 4, u"Standard", 1), -1);

    /* A user's favourite of the same name: the preset takes a new number, the favourite is kept. */
    const DWORD user = 1;
    std::vector<BYTE> mine = pattern(FAV_IMAGE_SIZE);
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 1, mine.data(), u"Standard", u"Mine", &user));
    ASSERT_TRUE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 4));
    EXPECT_EQ(a, (std::array<WORD, 4>{1, 2, 0, 0}));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u"\\UserSel01"), u"DEVMODE"), mine);
    EXPECT_EQ(text(favKey(u"\\UserSel01"), u"Comment"), std::u16string(u"Mine\0", 5));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u"\\UserSel02"), u"Flag"), le32({0}));
}

TEST_F(FavStore, AFullIndexGetsNoEndMarkAndNoNewNumber)
{
    /* Capacity 1: the preset fills it; the word behind the array must stay untouched. */
    std::array<WORD, 2> a{0, 0xBEEF};
    ASSERT_TRUE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 1));
    EXPECT_EQ(a, (std::array<WORD, 2>{1, 0xBEEF}));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, favKey(u""), u"UserIndex"), (std::vector<BYTE>{1, 0}));
    ASSERT_TRUE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 1)) << "reused: no free number needed";

    /* A full index of user favourites leaves no number for the preset. */
    const DWORD user = 1;
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 1, nullptr, u"Mine", nullptr, &user));
    EXPECT_FALSE(FAV_CreatePresets(printer(), context(), kPrinter, a.data(), 1));
    EXPECT_EQ(a, (std::array<WORD, 2>{1, 0xBEEF}));
}

TEST_F(FavStore, ReadingAnImageConvertsItForThePrinter)
{
    std::vector<BYTE> image = defaults();
    plat::store<BYTE>(image.data() + 5000, 0x5A);
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 1, image.data(), u"Mine", u"", nullptr));
    std::vector<BYTE> out(FAV_IMAGE_SIZE);
    ASSERT_TRUE(FAV_ReadEntry(printer(), context(), image.data(), nullptr, 1, out.data(), nullptr, nullptr, nullptr, 4));
    EXPECT_EQ(out, image) << "this driver's image is taken with its extension";

    /* a stored image cut inside its devmode is no image of this driver: the defaults */
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, favKey(u"\\UserSel01"), u"DEVMODE", REG_BINARY, image.data(),
                                    700));
    ASSERT_TRUE(FAV_ReadEntry(printer(), context(), image.data(), nullptr, 1, out.data(), nullptr, nullptr, nullptr, 4));
    EXPECT_EQ(out, defaults());
}

TEST_F(FavStore, ReadingAnImageOfThisModel)
{
    fav_SetDevmodeConverterForTest(copyConverter);
    std::vector<BYTE> image = defaults();
    plat::store<BYTE>(image.data() + 5000, 0x5A);
    const DWORD user = 1;
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 3, image.data(), u"Mine", u"", &user));
    std::vector<BYTE> caller = defaults(), out(FAV_IMAGE_SIZE);
    LPWSTR name = nullptr;
    ASSERT_TRUE(FAV_ReadEntry(printer(), context(), caller.data(), nullptr, 3, out.data(), &name, nullptr, nullptr, 4));
    EXPECT_EQ(out, image);
    EXPECT_EQ(std::u16string(name), u"Mine");
    GlobalFree(name);
    EXPECT_EQ(g_convertedSize, FAV_IMAGE_SIZE);
    EXPECT_FALSE(FAV_ReadEntry(printer(), context(), caller.data(), nullptr, 4, out.data(), nullptr, nullptr, nullptr,
                               4))
        << "no DEVMODE";
    EXPECT_FALSE(FAV_ReadEntry(printer(), nullptr, caller.data(), nullptr, 3, out.data(), nullptr, nullptr, nullptr, 4))
        << "an image needs the context";
}

TEST_F(FavStore, AShortStoredImageIsHandedOnWithItsOwnSize)
{
    fav_SetDevmodeConverterForTest(copyConverter);
    std::vector<BYTE> image = defaults();
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 1, image.data(), u"Mine", u"", nullptr));
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, favKey(u"\\UserSel01"), u"DEVMODE", REG_BINARY, image.data(),
                                    700));
    std::vector<BYTE> out(FAV_IMAGE_SIZE);
    FAV_ReadEntry(printer(), context(), image.data(), nullptr, 1, out.data(), nullptr, nullptr, nullptr, 4);
    EXPECT_EQ(g_convertedSize, 700u) << "the conversion gets the stored size, never more";
}

TEST_F(FavStore, AnotherModelsUserFavouriteIsRefusedAndItsPresetRebuilt)
{
    fav_SetDevmodeConverterForTest(copyConverter);
    std::vector<BYTE> caller = defaults(), foreign = defaults(), out(FAV_IMAGE_SIZE);
    setModelName(foreign, u"Another Model");
    const DWORD user = 1, preset = 0;
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 2, foreign.data(), u"Theirs", u"", &user));
    ASSERT_TRUE(FAV_WriteEntry(printer(), context(), 3, foreign.data(), u"Their preset", u"", &preset));
    const std::array<WORD, 4> stored{2, 3, 0, 0};
    ASSERT_TRUE(FAV_WriteUserIndex(printer(), context(), stored.data(), 4));

    EXPECT_FALSE(FAV_ReadEntry(printer(), context(), caller.data(), nullptr, 2, out.data(), nullptr, nullptr, nullptr,
                               4));
    EXPECT_EQ(index(4), (std::vector<WORD>{2, 3, 0, 0})) << "nothing changed";
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, favKey(u"\\UserSel02"), u"Flag", REG_BINARY, "\0\0", 2));
    EXPECT_FALSE(FAV_ReadEntry(printer(), context(), caller.data(), nullptr, 2, out.data(), nullptr, nullptr, nullptr,
                               4))
        << "a Flag that cannot be read as 32 bits is no preset's";

    LPWSTR name = nullptr;
    ASSERT_TRUE(FAV_ReadEntry(printer(), context(), caller.data(), nullptr, 3, out.data(), &name, nullptr, nullptr, 4));
    EXPECT_EQ(std::u16string(name), u"Their preset") << "the read goes on";
    GlobalFree(name);
    EXPECT_EQ(index(4), (std::vector<WORD>{1, 0, 0, 0})) << "this model's presets, made in a fresh index";
    std::vector<BYTE> rebuilt = rawValue(HKEY_CURRENT_USER, favKey(u"\\UserSel01"), u"DEVMODE");
    ASSERT_EQ(rebuilt.size(), FAV_IMAGE_SIZE);
    EXPECT_EQ(modelName(rebuilt), modelName(caller));
    EXPECT_EQ(text(favKey(u"\\UserSel01"), u"Name"), std::u16string(u"Standard\0", 9));
}

TEST_F(FavStore, MarginsThatDifferFromTheDefaultAreSaved)
{
    PaperMarginList *list = MRG_LoadArray(printer());
    ASSERT_NE(list, nullptr);
    const LONG letter[4] = {10, 20, 30, 40};
    ASSERT_EQ(MRG_SetMargin(printer(), list, 1, letter), MRG_OK);
    const LONG same[4] = {46, 46, 46, 46};
    ASSERT_EQ(MRG_SetMargin(printer(), list, 5, same), MRG_OK);
    ASSERT_EQ(MRG_SaveArray(printer(), list), MRG_OK);
    MRG_FreeArray(list);
    const LONG a4[4] = {1, 2, 3, 4};
    ASSERT_EQ(MRG_SetUserMargin(printer(), context(), 9, a4, kMachineKeyText, 1), MRG_OK);
    ASSERT_TRUE(FAV_WriteMargin(printer(), context(), 4, 1, u"999", a4)) << "a value the save must remove";

    ASSERT_TRUE(FAV_SaveMargins(printer(), context(), TRUE, 4, 1));
    const std::u16string key = favKey(u"\\UserSel04\\PaperMargin");
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, key), (std::vector<std::u16string>{u"1", u"9", u"Num"}));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, key, u"1"), le32({10, 20, 30, 40}));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, key, u"9"), le32({1, 2, 4, 3})) << "stored order";
    EXPECT_EQ(FAV_ReadMarginCount(printer(), context(), 4), 2u);

    HKEY k = nullptr;
    ASSERT_TRUE(FAV_OpenMarginKey(printer(), context(), &k, 4));
    LONG back[4];
    ASSERT_TRUE(REG_QueryMarginValue(k, u"9", 1, back));
    EXPECT_EQ(std::vector<LONG>(back, back + 4), (std::vector<LONG>{1, 2, 3, 4}));
    RegCloseKey(k);

    ASSERT_TRUE(FAV_SaveMargins(printer(), context(), FALSE, 4, 1)) << "without the user's values";
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, key), (std::vector<std::u16string>{u"1", u"Num"}));
    EXPECT_EQ(FAV_ReadMarginCount(printer(), context(), 4), 1u);
    EXPECT_EQ(FAV_ReadMarginCount(printer(), context(), 5), 0u) << "nothing stored";
    EXPECT_FALSE(FAV_SaveMargins(printer(), context(), FALSE, 4, 3)) << "another order kind";
}

} // namespace
