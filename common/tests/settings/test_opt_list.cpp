/*
 * Option lists: every list the standard models offer, the descriptor lists
 * (constant records and handler operations 4 and 8), the paper texts,
 * icons and palettes of model pictures (read back from the display
 * objects), pictures that lie about their size, and the small helpers.
 */
#include "test_fid_support.h"

#include "opt_internal.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/settings/opt_list.h>

#include <modelwriter/model_writer.h>
#include <plat/gdi_objects.h>
#include <standard_models.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace fid_test;

class OptList : public SchemaTest {
protected:
    void SetUp() override
    {
        SchemaTest::SetUp();
    }
    void TearDown() override
    {
        if (resources_ != nullptr)
            RES_FreeResourceModule();
        EXPECT_EQ(plat::gdi_object_count(), 0u) << "every icon, palette, bitmap and display context is released";
        SchemaTest::TearDown();
    }
    /* Installs a standard model and fills fresh records with its defaults. */
    void prepare(const ModelFiles &files)
    {
        install(files, "");
        resources_ = RES_LoadResourceModule();
        ASSERT_NE(resources_, nullptr);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
    }
    OptionList *build(WORD id, void *callerData = nullptr, WORD units = 0)
    {
        OptionList *list = FID_BuildOptionList(resources_, ctx(), id, callerData, rec_.dm(), rec_.pd(), nullptr,
                                               &caller_, units);
        if (caller_.stampNames != nullptr)
            GlobalFree(caller_.stampNames);
        caller_.stampNames = nullptr;
        return list;
    }
    static LONG number(const OptionList *list, LONG i)
    {
        ULONGLONG slot = 0;
        EXPECT_TRUE(FID_ListGetItem(list, i, &slot));
        return FID_ReadValueAsInt(&slot, list->valueType);
    }
    static std::u16string text(const OptionList *list, LONG i)
    {
        LPCWSTR t = FID_ListGetItemText(list, i);
        return t != nullptr ? std::u16string(t) : u"<null>";
    }
    static std::u16string stringValue(const OptionList *list, LONG i)
    {
        ULONGLONG slot = 0;
        EXPECT_TRUE(FID_ListGetItem(list, i, &slot));
        LPCWSTR s = FID_SlotString(&slot);
        return s != nullptr ? std::u16string(s) : u"<null>";
    }

    HMODULE resources_ = nullptr;
    Records rec_;
    FidListCallerRecord caller_{};
};

/* One list: UI kind, item count, first and last item (text and number; strings in the texts' place). */
struct ListRow {
    WORD id;
    WORD kind;
    LONG count;
    const char16_t *firstText;
    LONG first;
    const char16_t *lastText;
    LONG last;
};

/* The lists of the colour model, from the model's features and the built-in descriptors. */
const std::vector<ListRow> kColourLists = {
    {7, 1, 2, u"Portrait", 1, u"Landscape", 2},
    {8, 1, 11, u"Letter", 1, u"B4 (JIS)", 12},
    {12, 4, 3, u"1", 1, u"1", 1},
    {13, 1, 6, u"Automatically Select", 7, u"Bypass Tray", 4},
    {14, 1, 4, u"600 x 600 dpi", (600 << 16) | 600, u"600 x 300 dpi", (600 << 16) | 300},
    {16, 1, 3, u"Off", 1, u"Short Edge", 3},
    {17, 1, 4, u"TrueType", 1, u"TrueType", 4},
    {18, 2, 2, u"Off", 0, u"On", 1},
    {23, 1, 4, u"Intent", 1, u"Intent", 4},
    {24, 1, 9, u"Media Type", 0, u"Media Type", 17},
    {25, 1, 2, u"Fine", 1, u"Smooth", 2},
    {262, 1, 2, u"Toner Save", 0, u"Toner Save", 1},
    {265, 1, 6, u"Automatically Select", 7, u"Bypass Tray", 4},
    {266, 1, 2, u"Face Down Tray", 1, u"Finisher Tray", 2},
    {270, 1, 3, u"Colour Mode", 0, u"Colour Mode", 2},
    {293, 1, 2, u"Gloss", 0, u"Gloss", 1},
    {295, 1, 6, u"Pages per Sheet", 1, u"Pages per Sheet", 32},
    {296, 1, 4, u"Poster", 0x102, u"Poster", 0x404},
    {298, 2, 7, u"None", 0, u"Do Not Copy", 0},
    {320, 1, 12, u"Staple", 0, u"Staple", 11},
    {321, 1, 3, u"Fold", 0, u"Fold", 2},
    {327, 1, 9, u"Letter", 1, u"B4 (JIS)", 12},
    {334, 1, 5, u"Job Type", 0, u"Job Type", 4},
    {341, 1, 6, u"Punch", 0, u"Punch", 5},
    {345, 1, 2, u"Economy Mode", 0, u"Economy Mode", 1},
    {388, 1, 3, u"Scaling", 25, u"Scaling", 400},
    {453, 1, 3, u"Image Quality", 0, u"Image Quality", 2},
    {1804, 1, 2, u"Cover Sheet Layout", 0, u"Cover Sheet Layout", 1},
    {1824, 1, 9, u"Letter", 1, u"B4 (JIS)", 12},
    {1829, 3, 2, u"Forms", 0, u"Overlays", 0},
    {1883, 1, 9, u"Letter", 1, u"B4 (JIS)", 12},
    {4097, 2, 2, u"Not Installed", 0, u"Installed", 1},
    {4099, 2, 2, u"Not Installed", 0, u"Installed", 1},
    {4101, 2, 2, u"Not Installed", 0, u"Installed", 1},
    {4103, 2, 2, u"Not Installed", 0, u"Installed", 1},
    {4125, 2, 2, u"Not Installed", 0, u"Installed", 1},
    {4355, 1, 2, u"Memory", 0, u"Memory", 1},
    {4356, 1, 3, u"Paper Series", 0, u"Paper Series", 2},
    {4358, 1, 2, u"8K/16K", 0, u"8K/16K", 1},
    {4359, 1, 6, u"Output Bin", 0, u"Output Bin", 10},
    {4363, 1, 2, u"Secure Print", 0, u"Secure Print", 1},
};

/* The fax model offers the same lists; its job types go up to 5 (fax). */
std::vector<ListRow> faxLists()
{
    std::vector<ListRow> rows = kColourLists;
    for (ListRow &r : rows)
        if (r.id == 334) {
            r.count = 6;
            r.last = 5;
        }
    return rows;
}

/* Every schema row, group by group. */
std::vector<WORD> schemaIds()
{
    std::vector<WORD> ids;
    for (DWORD g = 0; g < FID_SCHEMA_GROUP_COUNT; ++g) {
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0;
        EXPECT_TRUE(FID_GetGroup(g, &rows, &count, nullptr));
        for (WORD i = 0; i < count; ++i)
            ids.push_back(rows[i].id);
    }
    return ids;
}

} // namespace

/*
 * Builds the list of every schema row on a standard model: exactly the
 * settings of `rows` give a list (the model's features and the built-in
 * lists; 305 and 358 need the caller's strings), each as the row says.
 */
class OptListEvery : public OptList {
protected:
    void checkEveryList(const ModelFiles &files, const std::vector<ListRow> &rows)
    {
        prepare(files);
        /* The user size and custom slot 0 show their sizes in the paper list. */
        ASSERT_EQ(put(1863, rec_.dm(), rec_.pd(), 2100), DMA_OK);
        ASSERT_EQ(put(1864, rec_.dm(), rec_.pd(), 2970), DMA_OK);
        ASSERT_EQ(put(5889, rec_.dm(), rec_.pd(), 1500), DMA_OK);
        ASSERT_EQ(put(5909, rec_.dm(), rec_.pd(), 2000), DMA_OK);
        ASSERT_EQ(putText(5929, rec_.dm(), rec_.pd(), u"Mine"), DMA_OK);

        std::vector<WORD> built;
        for (WORD id : schemaIds()) {
            OptionList *list = build(id);
            if (list == nullptr)
                continue;
            built.push_back(id);
            auto row = std::find_if(rows.begin(), rows.end(), [id](const ListRow &r) { return r.id == id; });
            if (row != rows.end()) {
                SCOPED_TRACE(id);
                EXPECT_EQ(list->id, id);
                EXPECT_EQ(FID_ListGetKind(list), row->kind);
                EXPECT_EQ(FID_ListGetCount(list), row->count);
                if (FID_ListGetCount(list) == row->count) {
                    EXPECT_EQ(u8(FID_ListGetItemText(list, 0)), u8(row->firstText));
                    EXPECT_EQ(u8(FID_ListGetItemText(list, row->count - 1)), u8(row->lastText));
                    if (list->valueType != SVT_WSTRING) {
                        EXPECT_EQ(number(list, 0), row->first);
                        EXPECT_EQ(number(list, row->count - 1), row->last);
                    }
                }
            }
            EXPECT_TRUE(FID_ListFree(list));
        }
        std::vector<WORD> expected;
        for (const ListRow &r : rows)
            expected.push_back(r.id);
        std::sort(built.begin(), built.end());
        EXPECT_EQ(built, expected) << "exactly the settings the model (or a built-in list) offers";
    }
};

TEST_F(OptListEvery, ColourModel)
{
    checkEveryList(kColour, kColourLists);
}

TEST_F(OptListEvery, FaxModel)
{
    checkEveryList(kFax, faxLists());
}

TEST_F(OptList, PaperListShowsTheUserAndCustomSizes)
{
    prepare(kColour);
    ASSERT_EQ(put(1863, rec_.dm(), rec_.pd(), 2100), DMA_OK);
    ASSERT_EQ(put(1864, rec_.dm(), rec_.pd(), 2970), DMA_OK);
    ASSERT_EQ(put(5889, rec_.dm(), rec_.pd(), 1500), DMA_OK);
    ASSERT_EQ(put(5909, rec_.dm(), rec_.pd(), 2000), DMA_OK);
    ASSERT_EQ(putText(5929, rec_.dm(), rec_.pd(), u"Mine"), DMA_OK);
    OptionList *list = build(8);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 11);
    EXPECT_EQ(list->valueType, SVT_INT16);
    EXPECT_EQ(u8(FID_ListGetItemText(list, 7)), "User Defined Size (210 x 297 mm)");
    EXPECT_EQ(number(list, 7), 256);
    EXPECT_EQ(u8(FID_ListGetItemText(list, 8)), "Mine (150 x 200 mm)");
    EXPECT_EQ(number(list, 8), 262);
    EXPECT_EQ(FID_ListFindText(list, u"Mine"), 8) << "a name finds the item that shows it with its size";
    EXPECT_EQ(FID_ListFindText(list, u"A4"), 3);
    EXPECT_EQ(FID_ListFindText(list, u"A4 and more"), -1);
    EXPECT_TRUE(FID_ListFree(list));

    /* In inches with two fraction digits: 2100 -> 8.27, 2970 -> 11.69. */
    list = build(8, nullptr, FID_UNITS_INCH);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(u8(FID_ListGetItemText(list, 7)), "User Defined Size (8.27 x 11.69 in)");
    EXPECT_TRUE(FID_ListFree(list));

    /* Without the settings image the user size cannot be read: no list. */
    EXPECT_EQ(FID_BuildOptionList(resources_, ctx(), 8, nullptr, nullptr, rec_.pd(), nullptr, &caller_, 0), nullptr);
}

TEST_F(OptList, PaperListWithMergedFormsKeepsTheFormNames)
{
    install(kColour, "[DME,1]\nformdb.mode=1\n");
    resources_ = RES_LoadResourceModule();
    ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
    addModelForms();
    addForm(u"My Card", 150000, 200000);
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
    ASSERT_TRUE(PPR_HasPaperList(ctx()));
    WORD all = 0;
    ASSERT_EQ(PPR_GetPaperCount(ctx(), &all, PPR_ALL_PAPERS), PPR_OK);
    OptionList *list = build(8);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, LONG(all));
    EXPECT_EQ(u8(FID_ListGetItemText(list, list->count - 1)), "My Card") << "a form name stays as it is";
    EXPECT_EQ(number(list, list->count - 1), 512);
    EXPECT_EQ(u8(FID_ListGetItemText(list, 7)), "User Defined Size") << "no size added";
    EXPECT_EQ(u8(FID_ListGetItemText(list, 8)), "Custom Size");
    EXPECT_EQ(number(list, 8), 262);
    EXPECT_TRUE(FID_ListFree(list));
}

TEST_F(OptList, DescriptorLists)
{
    prepare(kColour);
    /* 12: a range from 1 to the model's maximum copies in steps of 1. */
    OptionList *list = build(12);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->uiKind, OPT_KIND_RANGE);
    EXPECT_EQ(list->valueType, SVT_INT16);
    EXPECT_EQ((std::vector<LONG>{number(list, 0), number(list, 1), number(list, 2)}), (std::vector<LONG>{1, 999, 1}));
    EXPECT_EQ(u8(FID_ListGetItemText(list, 1)), "999");
    EXPECT_EQ(FID_ListGetTitle(list), nullptr);
    EXPECT_TRUE(FID_ListFree(list));

    /* 298: "None" (an empty name), then the stamp names (here the six built-in ones). */
    list = build(298);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 7);
    EXPECT_EQ(list->valueType, SVT_WSTRING);
    EXPECT_EQ(u8(text(list, 0).c_str()), "None");
    EXPECT_EQ(u8(stringValue(list, 0).c_str()), "");
    EXPECT_EQ(u8(text(list, 1).c_str()), "Confidential");
    EXPECT_EQ(u8(stringValue(list, 6).c_str()), "Do Not Copy");
    EXPECT_TRUE(FID_ListFree(list));

    /* 305 and 358: the caller's strings; none makes no list. */
    const LPCWSTR faces[] = {u"Arial", u"Courier New"};
    FidStringArray strings{2, faces};
    for (WORD id : {305, 358}) {
        SCOPED_TRACE(id);
        list = build(id, &strings);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->uiKind, OPT_KIND_LIST);
        ASSERT_EQ(list->count, 2);
        EXPECT_EQ(u8(text(list, 1).c_str()), "Courier New");
        EXPECT_EQ(u8(stringValue(list, 1).c_str()), "Courier New");
        EXPECT_NE(FID_SlotString(&list->items[1].value), faces[1]) << "the list keeps its own copy";
        EXPECT_TRUE(FID_ListFree(list));
        FidStringArray none{0, faces};
        EXPECT_EQ(build(id, &none), nullptr);
        EXPECT_EQ(build(id), nullptr);
    }
}

TEST_F(OptList, ConstantListsOfEachKind)
{
    prepare(kColour);
    const WORD offsets[] = {0, 2009 - 703};
    struct Case {
        SettingConstList list;
        WORD type;
        std::vector<LONG> values;
        std::vector<const char16_t *> texts;
    } cases[] = {
        {{OPT_KIND_CHECK, 0, 0, 0, 0, nullptr, 0}, SVT_UINT16, {1, 0}, {u"1", u"0"}},
        {{OPT_KIND_LIST, 0, 0, 0, 703, offsets, 2}, SVT_UINT16, {0, 1}, {u"(%s x %s mm)", u" "}}, /* strings 703, 2009 */
        {{OPT_KIND_SINGLE, 0, 0, 0, 0, nullptr, 0}, SVT_UINT16, {}, {}},
        {{OPT_KIND_RANGE, 10, 400, 5, 0, nullptr, 0}, SVT_INT16, {10, 400, 5}, {u"10", u"400", u"5"}},
        {{OPT_KIND_RANGE_EMPTY, 10, 400, 5, 0, nullptr, 0}, SVT_INT16, {10, 400, 0}, {u"10", u"400", u"5"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.list.uiKind);
        SettingConstDefault constant{FID_CONST_LIST_HEADER | FID_CONST_LIST_ITEMS, c.type, -1, 0, nullptr, &c.list};
        SettingDescriptor d{&constant, nullptr, FID_DESC_LIST_HEADER | FID_DESC_LIST_ITEM};
        OptionList list{};
        ASSERT_TRUE(opt_HeaderFromDescriptor(resources_, ctx(), 7, &d, &list, nullptr, nullptr));
        EXPECT_EQ(list.uiKind, c.list.uiKind);
        const LONG expectedCount = c.list.uiKind == OPT_KIND_LIST ? 2 : c.list.uiKind == OPT_KIND_SINGLE ? 1
                                   : c.list.uiKind == OPT_KIND_CHECK ? 2 : 3;
        EXPECT_EQ(list.count, expectedCount);
        for (size_t i = 0; i < c.values.size(); ++i) {
            FidListFillArgs args{};
            args.resources = resources_;
            args.index = LONG(i);
            ASSERT_TRUE(opt_ItemFromDescriptor(ctx(), 7, &d, &list, &args)) << i;
            if (c.list.uiKind != OPT_KIND_RANGE_EMPTY || i < 2) {
                EXPECT_EQ(FID_ReadValueAsInt(&args.value, args.type), c.values[i]) << i;
            }
            EXPECT_EQ(u8(args.text), u8(c.texts[i])) << i;
        }
        FidListFillArgs past{};
        past.resources = resources_;
        past.index = expectedCount;
        EXPECT_FALSE(opt_ItemFromDescriptor(ctx(), 7, &d, &list, &past)) << "past the last item";
    }
}

TEST_F(OptList, ModelPicturesBecomeIconsWithPalettes)
{
    prepare(kColour);
    OptionList *list = build(16);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 3);

    /* "Off": a 16 x 16 picture in 16 colours; colour index (x + y) mod 16, y counted from the bottom row. */
    plat::GdiIconInfo off;
    ASSERT_TRUE(plat::gdi_icon_info(FID_ListGetItemIcon(list, 0), &off));
    EXPECT_EQ(off.width, 16);
    EXPECT_EQ(off.height, 16);
    EXPECT_EQ(FID_ListGetItemPalette(list, 0), nullptr) << "only 256-colour pictures get a palette";
    /* Top-left pixel: stored row 15, index 15 = (blue 45, green 75, red 105). */
    EXPECT_EQ(std::vector<BYTE>(off.xorBits.begin(), off.xorBits.begin() + 4), (std::vector<BYTE>{45, 75, 105, 0}));
    /* The mask's left half is opaque (0), the right half transparent (1). */
    EXPECT_EQ(std::vector<BYTE>(off.andBits.begin(), off.andBits.begin() + 2), (std::vector<BYTE>{0x00, 0xFF}));

    /* "Long Edge": 48 x 48 in 256 colours: wider than one mask word. */
    plat::GdiIconInfo longEdge;
    ASSERT_TRUE(plat::gdi_icon_info(FID_ListGetItemIcon(list, 1), &longEdge));
    EXPECT_EQ(longEdge.width, 48);
    EXPECT_EQ(longEdge.height, 48);
    /* Top-left pixel: index 47 = (blue 141, green 235, red 329 mod 256 = 73). */
    EXPECT_EQ(std::vector<BYTE>(longEdge.xorBits.begin(), longEdge.xorBits.begin() + 4),
              (std::vector<BYTE>{141, 235, 73, 0}));
    /* Mask rows of 6 bytes: pixels 24-47 transparent, in every row. */
    const std::vector<BYTE> maskRow = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<BYTE>(longEdge.andBits.begin(), longEdge.andBits.begin() + 6), maskRow);
    EXPECT_EQ(std::vector<BYTE>(longEdge.andBits.end() - 6, longEdge.andBits.end()), maskRow);
    std::vector<PALETTEENTRY> palette;
    ASSERT_TRUE(plat::gdi_palette_entries(FID_ListGetItemPalette(list, 1), &palette));
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[47].peRed, 73);
    EXPECT_EQ(palette[47].peGreen, 235);
    EXPECT_EQ(palette[47].peBlue, 141);
    EXPECT_EQ(palette[47].peFlags, 0);
    EXPECT_NE(FID_ListGetItemPalette(list, 2), FID_ListGetItemPalette(list, 1)) << "each item has its own palette";
    EXPECT_GE(plat::gdi_object_count(), 5u);
    EXPECT_TRUE(FID_ListFree(list)) << "the list releases its icons and palettes";
    EXPECT_EQ(plat::gdi_object_count(), 0u);
}

TEST_F(OptList, AccessorsAreNullSafe)
{
    EXPECT_EQ(FID_ListGetCount(nullptr), -1);
    EXPECT_EQ(FID_ListGetTitle(nullptr), nullptr);
    EXPECT_EQ(FID_ListGetKind(nullptr), 0);
    EXPECT_FALSE(FID_ListSetKind(nullptr, 2));
    EXPECT_EQ(FID_ListGetItemAt(nullptr, 0), nullptr);
    EXPECT_EQ(FID_ListGetItemText(nullptr, 0), nullptr);
    EXPECT_EQ(FID_ListGetItemIcon(nullptr, 0), nullptr);
    EXPECT_EQ(FID_ListFindText(nullptr, u"A"), -1);
    EXPECT_FALSE(FID_ListFree(nullptr));
    prepare(kColour);
    OptionList *list = build(7);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(u8(FID_ListGetTitle(list)), "Orientation");
    EXPECT_EQ(FID_ListGetItemAt(list, -1), nullptr);
    EXPECT_EQ(FID_ListGetItemAt(list, 2), nullptr);
    ULONGLONG slot = 0;
    EXPECT_FALSE(FID_ListGetItem(list, 2, &slot));
    EXPECT_TRUE(FID_ListSetKind(list, 2));
    EXPECT_EQ(FID_ListGetKind(list), 2);
    EXPECT_TRUE(FID_ListFree(list));
    EXPECT_EQ(build(0x1234), nullptr) << "a setting without a schema row";
    EXPECT_EQ(build(1), nullptr) << "dmDeviceName has no list";
}

TEST_F(OptList, FormatValueColoursAndIdList)
{
    WCHAR buf[32];
    struct Case {
        WORD type;
        ULONGLONG slot;
        const char *text;
    } cases[] = {
        {SVT_UINT16, 0xFFFF, "65535"}, {SVT_INT16, 0xFFFF, "-1"},     {SVT_BYTE, 0xFF, "255"},
        {SVT_FLAG, 7, "7"},            {SVT_INT32, 0xFFFFFFFF, "-1"}, {SVT_UINT32, 12345, "12345"},
        {SVT_LOGFONT_MEMBER, 0xFFFFFFFE, "-2"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(u8(FID_FormatValue(c.type, &c.slot, buf, 32)), c.text) << c.type;
    ULONGLONG str = 0;
    FID_SetSlotPointer(&str, u"Hello");
    EXPECT_EQ(u8(FID_FormatValue(SVT_WSTRING, &str, buf, 32)), "Hello");
    EXPECT_EQ(u8(FID_FormatValue(SVT_WSTRING, &str, buf, 3)), "He") << "cut to the buffer";
    ULONGLONG any = 1;
    EXPECT_EQ(FID_FormatValue(SVT_LOGFONT, &any, buf, 32), nullptr);
    EXPECT_EQ(FID_FormatValue(7, &any, buf, 32), nullptr);

    const COLORREF colours[] = {0x0033FF, 0x3399FF, 0x00CCFF, 0x658963, 0xCC6633, 0x93518D, 0x000000};
    for (int key = 1; key <= 7; ++key) {
        COLORREF c = 1;
        EXPECT_TRUE(FID_ColourForKey(key, &c, -1)) << key;
        EXPECT_EQ(c, colours[key - 1]) << key;
    }
    COLORREF c = 5;
    EXPECT_FALSE(FID_ColourForKey(8, &c, -1)) << "key 8 has no colour";
    EXPECT_FALSE(FID_ColourForKey(0, &c, -1));
    EXPECT_FALSE(FID_ColourForKey(1, &c, 7));
    EXPECT_TRUE(FID_ColourForKey(99, &c, 4)) << "an index is taken as it stands";
    EXPECT_EQ(c, 0xCC6633u);
    EXPECT_FALSE(FID_ColourForKey(1, nullptr, -1));

    FidIdListEntry *ids = FID_AllocIdList();
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(GlobalSize(ids), SIZE_T(800));
    for (int i = 0; i < FID_ID_LIST_ENTRIES; ++i)
        EXPECT_TRUE(ids[i].id == 0 && ids[i].flag == 0);
    GlobalFree(ids);
}

TEST_F(OptList, PaperSizeTexts)
{
    prepare(kColour);
    WCHAR a4[] = u"A4";
    PaperRequest paper{9, 2100, 2970, a4};
    struct Case {
        WORD units;
        const char *text;
    } cases[] = {
        {0, "A4 (210 x 297 mm)"},
        {FID_UNITS_INCH, "A4 (8.27 x 11.69 in)"},
        {FID_UNITS_INCH | FID_UNITS_ONE_DIGIT, "A4 (8.2 x 11.6 in)"},
    };
    for (const Case &c : cases) {
        LPWSTR t = FID_FormatPaperSizeText(resources_, &paper, c.units);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(u8(t), c.text);
        GlobalFree(t);
    }
    /* Letter: 2159 -> 850 hundredths; 2794 -> 1100. */
    PaperRequest letter{1, 2159, 2794, nullptr};
    LPWSTR t = FID_FormatPaperSizeText(resources_, &letter, FID_UNITS_INCH);
    EXPECT_EQ(u8(t), " (8.50 x 11.00 in)") << "no name: empty";
    GlobalFree(t);
    EXPECT_EQ(FID_FormatPaperSizeText(nullptr, &paper, 0), nullptr) << "no resource strings";
}

/* ---- Pictures out of the model file are outside input ---------------------------------------- */

namespace {

void put16(std::vector<BYTE> &b, WORD v)
{
    b.push_back(BYTE(v));
    b.push_back(BYTE(v >> 8));
}

void put32(std::vector<BYTE> &b, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(BYTE(v >> (8 * i)));
}

std::vector<BYTE> infoHeader(LONG width, LONG height, WORD bits, DWORD used, DWORD size = 40, DWORD compression = 0)
{
    std::vector<BYTE> b;
    put32(b, size);
    put32(b, DWORD(width));
    put32(b, DWORD(height));
    put16(b, 1);
    put16(b, bits);
    put32(b, compression);
    for (int i = 0; i < 3; ++i)
        put32(b, 0);
    put32(b, used);
    put32(b, 0);
    b.resize(std::max<size_t>(b.size(), size), 0);
    return b;
}

/*
 * A 40 x 2 picture in 2 colours: colour 1 = (blue 255, green 128, red 0).
 * Bottom row: pixels 0-7 colour 1; top row: pixel 39.  Mask: top row
 * pixels 0 and 36-39 transparent.  Rows of 8 bytes each: 80 bytes in all.
 */
std::vector<BYTE> widePicture()
{
    std::vector<BYTE> b = infoHeader(40, 4, 1, 2);
    for (BYTE v : {0, 0, 0, 0, 255, 128, 0, 0})
        b.push_back(v);
    for (BYTE v : {0xFF, 0, 0, 0, 0, 0, 0, 0, /* top */ 0, 0, 0, 0, 0x01, 0, 0, 0})
        b.push_back(v);
    for (BYTE v : {0, 0, 0, 0, 0, 0, 0, 0, /* top */ 0x80, 0, 0, 0, 0x0F, 0, 0, 0})
        b.push_back(v);
    return b;
}

/* An exact-size heap copy, so that a read past its end is caught. */
std::unique_ptr<BYTE[]> exact(const std::vector<BYTE> &b, size_t length)
{
    std::unique_ptr<BYTE[]> p(new BYTE[std::max<size_t>(length, 1)]);
    std::memcpy(p.get(), b.data(), length);
    return p;
}

bool makeIcon(const std::vector<BYTE> &b, size_t length, plat::GdiIconInfo *info, HPALETTE *palette = nullptr)
{
    auto copy = exact(b, length);
    HICON icon = nullptr;
    HPALETTE pal = nullptr;
    const BOOL ok = FID_CreateIconFromImage(nullptr, copy.get(), length, &icon, &pal);
    if (ok && info != nullptr) {
        EXPECT_TRUE(plat::gdi_icon_info(icon, info));
    }
    if (icon != nullptr)
        DestroyIcon(icon);
    if (palette != nullptr)
        *palette = pal;
    else if (pal != nullptr)
        DeleteObject(pal);
    return ok != FALSE;
}

} // namespace

TEST_F(OptList, WidePictureMaskIsReadWithItsOwnStride)
{
    const std::vector<BYTE> b = widePicture();
    ASSERT_EQ(b.size(), 80u);
    plat::GdiIconInfo info;
    ASSERT_TRUE(makeIcon(b, b.size(), &info));
    EXPECT_EQ(info.width, 40);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bitsPixel, 32);
    /* Icon mask rows of 6 bytes, top-down. */
    EXPECT_EQ(info.andBits, (std::vector<BYTE>{0x80, 0, 0, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(info.xorBits.size(), 2u * 160u);
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin() + 156, info.xorBits.begin() + 160),
              (std::vector<BYTE>{255, 128, 0, 0})) << "top row, pixel 39";
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin() + 160, info.xorBits.begin() + 164),
              (std::vector<BYTE>{255, 128, 0, 0})) << "bottom row, pixel 0";
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin(), info.xorBits.begin() + 4), (std::vector<BYTE>{0, 0, 0, 0}));

    /* Every shorter length is refused without reading past it. */
    for (size_t length = 0; length < b.size(); ++length)
        EXPECT_FALSE(makeIcon(b, length, nullptr)) << length;
}

TEST_F(OptList, PicturesWhoseHeaderClaimsMoreThanTheirBytes)
{
    const std::vector<BYTE> good = widePicture();
    auto with = [&](size_t offset, DWORD value) {
        std::vector<BYTE> b = good;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    struct Case {
        const char *what;
        std::vector<BYTE> image;
    } cases[] = {
        {"more colours than the table holds", with(32, 5)},
        {"more colours than any table", with(32, 0xFFFFFFFF)},
        {"more rows", with(8, 6)},
        {"rows beyond any icon", with(8, 0x7FFFFFFF)},
        {"width beyond any icon", with(4, 0x7FFFFFFF)},
        {"wider than its rows", with(4, 65)},
        {"a negative height", with(8, DWORD(-4))},
        {"one row: no mask", with(8, 1)},
        {"a header longer than the image", with(0, 0xFFFF)},
        {"a header too short", with(0, 20)},
        {"compressed", with(16, 1)},
        {"16 bits a pixel", with(12, 0x00100001)},
        {"two planes", with(12, 0x00010002)},
        {"8 bits and no table", with(12, 0x00080001)},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(makeIcon(c.image, c.image.size(), nullptr)) << c.what;
    EXPECT_EQ(FID_CreateIconFromImage(nullptr, nullptr, 80, nullptr, nullptr), FALSE);
}

TEST_F(OptList, CoreHeaderPictureHasThreeByteColours)
{
    /* 8 x 2 in 2 colours: 12-byte header, 2 x 3-byte colours, rows of 4 bytes: 34 bytes. */
    std::vector<BYTE> b;
    put32(b, 12);
    put16(b, 8);
    put16(b, 4);
    put16(b, 1);
    put16(b, 1);
    for (BYTE v : {1, 2, 3, 4, 5, 6})
        b.push_back(v);
    for (BYTE v : {0x80, 0, 0, 0, /* top */ 0x01, 0, 0, 0})
        b.push_back(v);
    for (BYTE v : {0, 0, 0, 0, /* top */ 0xF0, 0, 0, 0})
        b.push_back(v);
    ASSERT_EQ(b.size(), 34u);
    plat::GdiIconInfo info;
    ASSERT_TRUE(makeIcon(b, b.size(), &info));
    EXPECT_EQ(info.width, 8);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.andBits, (std::vector<BYTE>{0xF0, 0, 0, 0}));
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin(), info.xorBits.begin() + 4), (std::vector<BYTE>{1, 2, 3, 0}));
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin() + 28, info.xorBits.begin() + 32), (std::vector<BYTE>{4, 5, 6, 0}));
    EXPECT_EQ(std::vector<BYTE>(info.xorBits.begin() + 32, info.xorBits.begin() + 36), (std::vector<BYTE>{4, 5, 6, 0}));
    for (size_t length = 0; length < b.size(); ++length)
        EXPECT_FALSE(makeIcon(b, length, nullptr)) << length;
}

TEST_F(OptList, PaletteOfA256ColourPicture)
{
    /* 2 x 2, 8 bits, 3 colours used: rows of 4 bytes, 40 + 12 + 8 + 8 = 68 bytes. */
    std::vector<BYTE> b = infoHeader(2, 4, 8, 3);
    for (BYTE v : {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0})
        b.push_back(v);
    for (BYTE v : {2, 1, 0, 0, 0, 5, 0, 0}) /* index 5 lies past the table: black */
        b.push_back(v);
    for (int i = 0; i < 8; ++i)
        b.push_back(0);
    plat::GdiIconInfo info;
    HPALETTE palette = nullptr;
    ASSERT_TRUE(makeIcon(b, b.size(), &info, &palette));
    std::vector<PALETTEENTRY> entries;
    ASSERT_TRUE(plat::gdi_palette_entries(palette, &entries));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].peRed, 90);
    EXPECT_EQ(entries[2].peGreen, 80);
    EXPECT_EQ(entries[2].peBlue, 70);
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_EQ(info.xorBits, (std::vector<BYTE>{10, 20, 30, 0, 0, 0, 0, 0, 70, 80, 90, 0, 40, 50, 60, 0}));

    /* FID_CreatePalette checks the table against the length; 24 bits have none. */
    const std::vector<BYTE> header8 = infoHeader(2, 4, 8, 3);
    EXPECT_EQ(FID_CreatePalette(header8.data(), header8.size()), nullptr);
    const std::vector<BYTE> header24 = infoHeader(2, 4, 24, 0);
    EXPECT_EQ(FID_CreatePalette(header24.data(), header24.size()), nullptr);
    EXPECT_EQ(FID_CreatePalette(nullptr, 100), nullptr);
}

namespace {

/* The standard model with a paper list of tray 1 (6145) of the given options (name, value). */
mw::Model withTrayPaperList(const std::vector<std::pair<const char *, mw::Value>> &values)
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    mw::Feature f;
    f.id = 6145;
    f.name = mw::stored("Tray 1 Paper");
    f.uiKind = 1;
    f.defaultOption = 1;
    std::vector<mw::Option> options;
    for (const auto &[name, value] : values) {
        mw::Option o;
        o.name = mw::stored(name);
        o.setting = value;
        options.push_back(o);
    }
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, options);
    return m;
}

} // namespace

TEST_F(OptList, TrayPaperListShowsItsCustomSizes)
{
    /* A4, custom slot 5 (code 287) and the tray's own size. */
    mw::Model m = withTrayPaperList({{"A4", mw::vUShort(9)}, {"Slot", mw::vUShort(287)}, {"Tray", mw::vUShort(275)}});
    installWritten(m, "");
    resources_ = RES_LoadResourceModule();
    ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
    ASSERT_EQ(put(5894, rec_.dm(), rec_.pd(), 1000), DMA_OK);
    ASSERT_EQ(put(5914, rec_.dm(), rec_.pd(), 3000), DMA_OK);
    ASSERT_EQ(putText(5934, rec_.dm(), rec_.pd(), u"Wide"), DMA_OK);
    ASSERT_EQ(put(6190, rec_.dm(), rec_.pd(), 1200), DMA_OK); /* tray 1's custom width and length */
    ASSERT_EQ(put(6205, rec_.dm(), rec_.pd(), 1800), DMA_OK);
    OptionList *list = build(6145);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 3);
    EXPECT_EQ(u8(text(list, 0).c_str()), "A4");
    EXPECT_EQ(u8(text(list, 1).c_str()), "Wide (100 x 300 mm)");
    EXPECT_EQ(u8(text(list, 2).c_str()), " (120 x 180 mm)") << "the tray's size with an empty name";
    EXPECT_TRUE(FID_ListFree(list));
}

/* Options of one setting whose values have different types: the list fails and frees what it made. */
TEST_F(OptList, OptionsOfMixedValueTypesFailTheList)
{
    const std::vector<std::vector<std::pair<const char *, mw::Value>>> orders = {
        {{"Number", mw::vUShort(0x1234)}, {"Text", mw::vString(mw::stored("Text"))}},
        {{"Text", mw::vString(mw::stored("Text"))}, {"Number", mw::vUShort(9)}},
    };
    for (const auto &values : orders) {
        mw::Model m = withTrayPaperList(values);
        installWritten(m, "");
        resources_ = RES_LoadResourceModule();
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
        EXPECT_EQ(build(6145), nullptr);
        RES_FreeResourceModule();
        resources_ = nullptr;
        TearDown();
        SetUp();
    }
}
