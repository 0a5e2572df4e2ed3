/*
 * Tests of the property-page framework services: the list's head order and
 * its empty and null cases, the sheet state reached through a page's
 * DWLP_USER word, the unit options by capability bits 34 and 35, and the
 * displayed/stored conversions as a table worked out from their rules.
 */
#include "test_prn_support.h"

#include <tarvel/base/pgf_services.h>

#include <plat/fault.h>
#include <plat/window.h>

#include <climits>

namespace {

using prn_test::contextOf;

class PgfListOps : public model_test::ModelTest {};

TEST_F(PgfListOps, PushPutsTheNewestFirstAndKeepsThePointers)
{
    PgfList list{};
    int a = 1, b = 2, c = 3;
    ASSERT_TRUE(PGF_ListPush(&list, 0, 0xFFFF, &a));
    ASSERT_TRUE(PGF_ListPush(&list, 5, 6, &b));
    ASSERT_TRUE(PGF_ListPush(&list, 7, 8, &c));
    EXPECT_EQ(PGF_ListCount(&list), 3);
    EXPECT_EQ(list.head->firstKey, 7u);
    EXPECT_EQ(list.head->secondKey, 8u);

    PgfListNode *next = nullptr;
    EXPECT_EQ(PGF_ListFirst(&list, &next), &c);
    EXPECT_EQ(PGF_ListNext(next, &next), &b);
    EXPECT_EQ(PGF_ListNext(next, &next), &a);
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(PGF_ListNext(next, &next), nullptr);
    PGF_ListFree(&list, FALSE);
    EXPECT_EQ(PGF_ListCount(&list), 0);
    EXPECT_EQ(list.head, nullptr);
}

TEST_F(PgfListOps, EmptyAndNullListsAnswerWithoutTouchingTheOutput)
{
    PgfList list{};
    auto *marker = reinterpret_cast<PgfListNode *>(0x10);
    PgfListNode *next = marker;
    EXPECT_EQ(PGF_ListFirst(&list, &next), nullptr);
    EXPECT_EQ(next, marker) << "an empty list leaves the out value alone";
    EXPECT_EQ(PGF_ListFirst(nullptr, &next), nullptr);
    EXPECT_EQ(next, marker);
    EXPECT_EQ(PGF_ListCount(nullptr), -1);
    EXPECT_EQ(PGF_ListCount(&list), 0);
    int x = 0;
    EXPECT_FALSE(PGF_ListPush(nullptr, 0, 0, &x));
    EXPECT_FALSE(PGF_ListPush(&list, 0, 0, nullptr));
    EXPECT_EQ(PGF_ListCount(&list), 0);
}

TEST_F(PgfListOps, PushWithoutMemoryLeavesTheListAlone)
{
    PgfList list{};
    int x = 0;
    plat::fault_fail_alloc_after(1);
    EXPECT_FALSE(PGF_ListPush(&list, 0, 0, &x));
    plat::fault_fail_alloc_after(0);
    EXPECT_EQ(PGF_ListCount(&list), 0);
    EXPECT_EQ(list.head, nullptr);
}

TEST_F(PgfListOps, PositionsCountInInsertionOrder)
{
    PgfList *list = PGF_ListCreate();
    ASSERT_NE(list, nullptr);
    int p = 0, q = 0, r = 0, s = 0, t = 0;
    ASSERT_TRUE(PGF_ListPush(list, 1, 10, &p));
    ASSERT_TRUE(PGF_ListPush(list, 2, 20, &q));
    ASSERT_TRUE(PGF_ListPush(list, 3, 30, &r));
    EXPECT_EQ(PGF_ListGetAt(list, 0), &p);
    EXPECT_EQ(PGF_ListGetAt(list, 1), &q);
    EXPECT_EQ(PGF_ListGetAt(list, 2), &r);
    EXPECT_EQ(PGF_ListGetAt(list, 3), nullptr);
    EXPECT_EQ(PGF_ListGetAt(list, -1), nullptr);
    PgfListNode *next = nullptr;
    EXPECT_EQ(PGF_ListFirst(list, &next), &r);

    /* Insert at 0: the new item is the oldest; at count: refused (that is a push). */
    ASSERT_TRUE(PGF_ListInsertAt(list, 0, 4, 40, &s));
    EXPECT_EQ(PGF_ListGetAt(list, 0), &s);
    EXPECT_EQ(PGF_ListGetAt(list, 1), &p);
    EXPECT_EQ(PGF_ListCount(list), 4);
    EXPECT_FALSE(PGF_ListInsertAt(list, 4, 5, 50, &t));
    EXPECT_FALSE(PGF_ListInsertAt(list, -1, 5, 50, &t));
    EXPECT_FALSE(PGF_ListInsertAt(list, 0, 5, 50, nullptr));
    /* Insert in the middle and at the newest position. */
    ASSERT_TRUE(PGF_ListInsertAt(list, 2, 5, 50, &t));
    const void *order1[] = {&s, &p, &t, &q, &r};
    for (LONG i = 0; i < 5; ++i)
        EXPECT_EQ(PGF_ListGetAt(list, i), order1[i]) << i;

    /* Remove the newest (the head), the oldest and one between. */
    ASSERT_TRUE(PGF_ListRemoveAt(list, 4));
    ASSERT_TRUE(PGF_ListRemoveAt(list, 0));
    ASSERT_TRUE(PGF_ListRemoveAt(list, 1));
    EXPECT_FALSE(PGF_ListRemoveAt(list, 2));
    EXPECT_EQ(PGF_ListCount(list), 2);
    EXPECT_EQ(PGF_ListGetAt(list, 0), &p);
    EXPECT_EQ(PGF_ListGetAt(list, 1), &q);
    ASSERT_TRUE(PGF_ListDestroy(&list));
    EXPECT_EQ(list, nullptr);
    EXPECT_TRUE(PGF_ListDestroy(&list));
    EXPECT_FALSE(PGF_ListDestroy(nullptr));
}

TEST_F(PgfListOps, KeysFindTheNewestMatchAndTheWildcardMatchesAnySecondKey)
{
    PgfList *list = PGF_ListCreate();
    ASSERT_NE(list, nullptr);
    int a = 0, b = 0, c = 0;
    ASSERT_TRUE(PGF_ListPush(list, 7, 6, &a));
    ASSERT_TRUE(PGF_ListPush(list, 7, 0xFFFF, &b));
    ASSERT_TRUE(PGF_ListPush(list, 0x100000000ull, 1, &c));
    EXPECT_EQ(PGF_ListFindByKey(list, 7, 5), nullptr); /* 5 skips the entry stored with 6 */
    EXPECT_EQ(PGF_ListFindByKey(list, 7, 6), &a);
    EXPECT_EQ(PGF_ListFindByKey(list, 7, PGF_ANY_KEY), &b); /* the newest with key 7 */
    EXPECT_EQ(PGF_ListFindByKey(list, 0x100000000ull, 1), &c); /* keys are 64 bits */
    EXPECT_EQ(PGF_ListFindByKey(list, 0, 1), nullptr);
    PgfListNode *before = nullptr;
    PgfListNode *node = PGF_ListFindNode(list, 7, 6, &before);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(before->item, &b);
    EXPECT_EQ(PGF_ListFindNode(list, 0x100000000ull, 1, &before)->item, &c);
    EXPECT_EQ(before, nullptr);
    EXPECT_TRUE(PGF_ListRemoveByKey(list, 7, 6));
    EXPECT_FALSE(PGF_ListRemoveByKey(list, 7, 6));
    EXPECT_EQ(PGF_ListCount(list), 2);
    EXPECT_EQ(PGF_ListFindByKey(nullptr, 7, 6), nullptr);
    /* Destroying leaves the items alone (they live on the stack here). */
    ASSERT_TRUE(PGF_ListDestroy(&list));
}

TEST_F(PgfListOps, ANegativeCountIsTreatedAsEmpty)
{
    PgfList list{};
    int a = 0;
    ASSERT_TRUE(PGF_ListPush(&list, 1, 1, &a));
    list.count = -1;
    EXPECT_EQ(PGF_ListGetAt(&list, 0), nullptr);
    EXPECT_FALSE(PGF_ListRemoveAt(&list, 0));
    EXPECT_FALSE(PGF_ListInsertAt(&list, 0, 2, 2, &a));
    list.count = 1;
    PGF_ListFree(&list, FALSE);
}

TEST_F(PgfListOps, InsertWithoutMemoryLeavesTheListAlone)
{
    PgfList list{};
    int a = 0, b = 0;
    ASSERT_TRUE(PGF_ListPush(&list, 1, 1, &a));
    plat::fault_fail_alloc_after(1);
    EXPECT_FALSE(PGF_ListInsertAt(&list, 0, 2, 2, &b));
    plat::fault_fail_alloc_after(0);
    EXPECT_EQ(PGF_ListCount(&list), 1);
    EXPECT_EQ(PGF_ListGetAt(&list, 0), &a);
    PGF_ListFree(&list, FALSE);
}

TEST_F(PgfListOps, FreeCanTakeTheItemsToo)
{
    PgfList list{};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(PGF_ListPush(&list, 0, 0, GlobalAlloc(GPTR, 16)));
    PGF_ListFree(&list, TRUE); /* the leak checker sees any item left */
    EXPECT_EQ(list.count, 0);
    PGF_ListFree(nullptr, TRUE);
}

class PgfSheet : public model_test::ModelTest {};

TEST_F(PgfSheet, SheetStateComesFromThePagesUserWord)
{
    SheetState state{};
    SheetContext page{};
    page.state = &state;
    plat::WindowSpec spec;
    spec.dialog = true;
    spec.style = WS_POPUP;
    HWND sheet = plat::window_create(spec);
    spec.parent = sheet;
    spec.style = WS_CHILD;
    HWND pageWindow = plat::window_create(spec);
    ASSERT_TRUE(sheet && pageWindow);
    SetWindowLongPtrW(pageWindow, DWLP_USER, reinterpret_cast<LONG_PTR>(&page));
    EXPECT_EQ(PGF_GetSheetState(pageWindow), &state);
    EXPECT_EQ(PGF_GetSheetState(sheet), nullptr) << "no SheetContext in its user word";
    EXPECT_EQ(PGF_GetSheetState(nullptr), nullptr);

    SheetContext empty{};
    SetWindowLongPtrW(pageWindow, DWLP_USER, reinterpret_cast<LONG_PTR>(&empty));
    EXPECT_EQ(PGF_GetSheetState(pageWindow), nullptr);
    DestroyWindow(sheet);
    EXPECT_EQ(PGF_GetSheetState(pageWindow), nullptr) << "a destroyed page";
}


TEST_F(PgfSheet, UnitOptionsFollowCapabilityBits34And35)
{
    struct Row {
        DWORD word1;
        DWORD unit;
        DWORD inch, bit35;
    };
    const Row rows[] = {
        {1u << 2, PGF_UNIT_INCHES, 1, 0},                 /* bit 34: the sheet's unit decides */
        {1u << 2, PGF_UNIT_MILLIMETRES, 0, 0},
        {0, PGF_UNIT_INCHES, 0, 0},                       /* no choice of units: never inches */
        {(1u << 2) | (1u << 3), PGF_UNIT_INCHES, 1, 1},   /* bits 34 and 35 */
        {1u << 3, PGF_UNIT_MILLIMETRES, 0, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.word1);
        prn_test::Context context(prn_test::modelWithCapabilityWord1(row.word1));
        ASSERT_NE(context.p, nullptr);
        SheetState state{};
        state.context = context, state.unitKnown = TRUE, state.defaultUnit = row.unit;
        DWORD options[2] = {7, 7};
        ASSERT_TRUE(PGF_GetUnitOptions(&state, options));
        EXPECT_EQ(options[0], row.inch);
        EXPECT_EQ(options[1], row.bit35);
    }
    prn_test::Context context(prn_test::modelWithCapabilityWord1(1u << 2));
    SheetState unknown{};
    unknown.context = context, unknown.defaultUnit = PGF_UNIT_INCHES;
    DWORD options[2] = {7, 7};
    EXPECT_FALSE(PGF_GetUnitOptions(&unknown, options)) << "the default unit cannot be read";
    EXPECT_EQ(options[0], 7u);
    EXPECT_FALSE(PGF_GetUnitOptions(nullptr, options));
    SheetState state{};
    state.context = context, state.unitKnown = TRUE, state.defaultUnit = PGF_UNIT_INCHES;
    EXPECT_FALSE(PGF_GetUnitOptions(&state, nullptr));
}

/* One conversion: the input is given as the bytes it is read from. */
struct Conversion {
    int direction;
    WORD id;
    WORD type;
    LONG input;  /* written as 32 bits, or as 16 bits for the 16-bit settings */
    BOOL result;
    LONG output;
};

TEST_F(PgfSheet, DisplayValueConversionsAsTheirRulesGive)
{
    const Conversion rows[] = {
        /* Ten times, read as signed 16 bits. */
        {1, 268, 2, 12, TRUE, 120},
        {1, 269, 2, -7, TRUE, -70},
        {1, 311, 3, 3276, TRUE, 32760},
        {1, 324, 2, -32768, TRUE, -327680},
        {2, 268, 2, 125, TRUE, 12},   /* integer division */
        {2, 324, 2, -125, TRUE, -12}, /* towards zero */
        {0, 311, 3, 99, TRUE, 9},     /* any direction but 1 is stored to displayed */
        /* 1856: 32 bits in, limited by its type. */
        {1, 1856, 3, 7000, TRUE, 65535},
        {1, 1856, 3, -5, TRUE, 0},
        {1, 1856, 2, 4000, TRUE, 32767},
        {1, 1856, 2, -4000, TRUE, -32768},
        {1, 1856, 5, 100000, TRUE, 1000000},
        {2, 1856, 3, 65535, TRUE, 6553},
        /* Powers of two: base 1 (392), 256 (393), 65536 (394). */
        {1, 392, 5, 0, TRUE, 8},
        {1, 393, 5, 0, TRUE, 2048},
        {1, 394, 5, -3, TRUE, 65536},
        {1, 395, 5, -4, TRUE, 0},      /* below -3: base / 2 */
        {1, 396, 5, -9, TRUE, 128},
        {1, 403, 5, 12, TRUE, LONG(0x80000000u)}, /* 65536 x 2^15 */
        {1, 403, 5, 13, FALSE, 13},    /* would not fit 32 bits: copied */
        {1, 401, 5, 28, TRUE, LONG(0x80000000u)},
        {1, 401, 5, 29, FALSE, 29},
        {2, 393, 5, 2048, TRUE, 0},
        {2, 393, 5, 3000, TRUE, 0},    /* not a power: the exponent below it */
        {2, 393, 5, 255, TRUE, -4},    /* below the base */
        {2, 392, 5, 1, TRUE, -3},
        {2, 403, 5, LONG(0x80000000u), TRUE, 12},
        /* No conversion: copied as read (signed 16 bits). */
        {1, 270, 3, -2, FALSE, -2},
        {2, 20, 2, 600, FALSE, 600},
    };
    for (const Conversion &row : rows) {
        SCOPED_TRACE(testing::Message() << "id " << row.id << " direction " << row.direction << " input "
                                        << row.input);
        BYTE input[4] = {};
        const bool wide = (row.id >= 392 && row.id <= 403) || row.id == 1856;
        if (wide)
            plat::store<LONG>(input, row.input);
        else
            plat::store<SHORT>(input, SHORT(row.input));
        LONG output = 0x5A5A5A5A;
        EXPECT_EQ(PGF_ConvertDisplayValue(row.direction, row.id, row.type, input, &output), row.result);
        EXPECT_EQ(output, row.output);
    }
}

TEST_F(PgfSheet, SixteenBitSettingsReadOnlyTwoBytes)
{
    /* A 16-bit input sits in a 2-byte field; the bytes behind it must not count. */
    BYTE field[4] = {0x0C, 0x00, 0xFF, 0xFF};
    LONG output = 0;
    EXPECT_TRUE(PGF_ConvertDisplayValue(1, 268, 2, field, &output));
    EXPECT_EQ(output, 120);
    EXPECT_FALSE(PGF_ConvertDisplayValue(1, 268, 2, nullptr, &output));
    EXPECT_FALSE(PGF_ConvertDisplayValue(1, 268, 2, field, nullptr));
}

TEST_F(PgfSheet, HundredthsOfAnInchLimitedForMarginSettings)
{
    struct Row {
        LONG tenthMm;
        WORD id;
        LONG expected;
    };
    const Row rows[] = {
        {500, 268, 19},   /* 196.85 limited */
        {-500, 269, -19},
        {45, 324, 18},    /* 17.7 rounds to 18 */
        {48, 324, 19},
        {500, 20, 197},   /* not limited */
        {-2100, 1, -827},
        {0, 268, 0},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PGF_ToHundredthInch(row.tenthMm, row.id), row.expected) << row.tenthMm << " for " << row.id;
}

} // namespace
