/*
 * Tests of the model data file reader on hand-built bytes, independent of
 * the model data writer: file names, header and version text, the
 * big-endian format version, the header-entry walk, text fields (stored
 * text and string references with their module missing), typed values,
 * value arrays and the text-buffer cache.
 */
#include "test_model_support.h"

#include <cstring>

using namespace model_test;

namespace {

using Bytes = std::vector<BYTE>;

void put16(Bytes &b, WORD v)
{
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}

void put32(Bytes &b, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

/* The 224-byte file header: title at 0, version text at 64, format at 92, model at 96, companion at 160. */
Bytes header(const char *version, std::array<BYTE, 4> format = {0, 0, 0x16, 0}, const char *companion = "")
{
    Bytes b(224, 0);
    std::memcpy(b.data(), "Title", 5);
    std::memcpy(b.data() + 64, version, std::strlen(version));
    std::memcpy(b.data() + 92, format.data(), 4);
    std::memcpy(b.data() + 96, "Model", 5);
    std::memcpy(b.data() + 160, companion, std::strlen(companion));
    return b;
}

/*
 * Header entries 1-41 written out by hand from the entry table: fixed items
 * as zero bytes, stored counts and stored sizes as 16-bit numbers.  Entry
 * 13 holds the stored text "AB", entry 14 two bytes, entry 28 one sized
 * item, entry 35 the module name "MOD.XRS", entry 39 two 32-bit words and
 * entry 41 the value 0x1234.
 */
Bytes entries()
{
    const std::vector<Bytes> e = {
        {},                                  /* 0 (the length, added below) */
        {0x01, 0x00},                        /* 1 */
        {0x00, 0x10, 0x00, 0x00},            /* 2 */
        {0x01, 0x00, 0xAA, 0xAA},            /* 3: count 1, one 16-bit item */
        {0xE7, 0x03},                        /* 4: 999 */
        {0x02},                              /* 5 */
        {0, 0, 0, 0},                        /* 6 */
        {0x01},                              /* 7 */
        {0, 0, 0, 0}, {0, 0, 0, 0},          /* 8, 9 */
        {0, 0},                              /* 10 */
        {0, 0, 0, 0},                        /* 11 */
        {0x05, 0x00, 0x00, 0x00},            /* 12: option bits 0 and 2 */
        {0x03, 0x00, 0xBE, 0xBD, 0xFF},      /* 13: one text of 3 bytes */
        {0x02, 0x00, 0x11, 0x22},            /* 14: count 2, 8-bit items */
        {0, 0, 0, 0},                        /* 15 */
        {0x1E, 0x00},                        /* 16 */
        {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, /* 17-22: empty texts */
        {0x03},                              /* 23 */
        {0x0A, 0x00}, {0x14, 0x00},          /* 24, 25 */
        {0x00, 0x00, 0x40, 0x00},            /* 26 */
        {0x00, 0x00},                        /* 27: count 0 */
        {0x01, 0x00, 0x02, 0x00, 0x33, 0x44}, /* 28: count 1, sized item of 2 */
        {0, 0}, {0, 0}, {0, 0}, {0, 0},      /* 29-32 */
        {0x03, 0x00, 0xBE, 0xBD, 0xFF},      /* 33 */
        {0x00, 0x00},                        /* 34 */
        {0x01, 0x00, 0x08, 0x00, 0xB2, 0xB0, 0xBB, 0xD1, 0xA7, 0xAD, 0xAC, 0xFF}, /* 35: "MOD.XRS" */
        {0x00, 0x00},                        /* 36 */
        {0, 0}, {0, 0},                      /* 37, 38 */
        {0x02, 0x00, 0x01, 0, 0, 0, 0x02, 0, 0, 0}, /* 39: words 1 and 2 */
        {0x02, 0x00},                        /* 40 */
        {0x34, 0x12},                        /* 41 */
    };
    Bytes body;
    for (size_t i = 1; i < e.size(); ++i)
        for (BYTE x : e[i])
            body.push_back(x);
    Bytes b;
    put32(b, static_cast<DWORD>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

/* A file of header, entries and `tail` bytes (positions in the tail are returned absolute). */
Bytes fileWith(const Bytes &tail, DWORD *tailAt = nullptr, const char *version = "Test:1.2.3")
{
    Bytes b = header(version);
    Bytes e = entries();
    b.insert(b.end(), e.begin(), e.end());
    if (tailAt)
        *tailAt = static_cast<DWORD>(b.size());
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

class ModelFileTest : public ModelTest {};

TEST_F(ModelFileTest, ExtensionDecidesWhetherAPathOpens)
{
    const Bytes file = header("Test:1.2.3");
    struct Case {
        const char16_t *path;
        WORD result;
    } cases[] = {
        {u"C:\\DRIVER\\MODEL.DDD", DDD_OK}, {u"C:\\DRIVER\\model.ddd", DDD_OK}, {u"C:\\DRIVER\\m.DdD", DDD_OK},
        {u"C:\\DRIVER\\MODEL.DDDX", DDD_ERR_FAIL}, {u"C:\\DRIVER\\MODEL", DDD_ERR_FAIL},
        {u"C:\\A.DDD\\MODEL", DDD_ERR_FAIL}, {u"", DDD_ERR_FAIL},
    };
    for (const Case &c : cases) {
        ReaderPair p;
        EXPECT_EQ(ddd_OpenModelMemory(c.path, file.data(), file.size(), nullptr, 0, &p.main, &p.companion), c.result)
            << u8(c.path);
        if (c.result != DDD_OK) {
            EXPECT_EQ(p.main.loaded, nullptr);
        }
    }
}

TEST_F(ModelFileTest, VersionTexts)
{
    struct Case {
        const char *text;
        WORD result;
        DWORD code;
    } cases[] = {
        {"Model Ver:2.10.300", DDD_OK, 0x020A012C},
        {"x:1.2.3", DDD_OK, 0x01020003},
        {"x:255.255.65535", DDD_OK, 0xFFFFFFFF},
        {"x:256.0.0", DDD_ERR_FAIL, 0},
        {"x:1.256.0", DDD_ERR_FAIL, 0},
        {"x:1.2.65536", DDD_ERR_FAIL, 0},
        {"x:65537.0.0", DDD_ERR_FAIL, 0}, /* would wrap to 1 in a 16-bit accumulator */
        {"x:1.2", DDD_ERR_FAIL, 0},       /* ends right after the second number */
        {"x:1", DDD_ERR_FAIL, 0},
        {"1.2.3", DDD_ERR_FAIL, 0},       /* no ":" */
        {"123456789012345678901:1.2.3", DDD_ERR_FAIL, 0}, /* the 24 bytes end after "1." */
    };
    for (const Case &c : cases) {
        Bytes file = header(c.text);
        ReaderPair p;
        EXPECT_EQ(openBytes(p, file, nullptr), c.result) << c.text;
        if (c.result == DDD_OK) {
            EXPECT_EQ(p.main.versionCode, c.code) << c.text;
        }
    }
}

TEST_F(ModelFileTest, FormatVersionIsBigEndianAndBecomesTheProcessWideValue)
{
    Bytes file = header("x:1.0.0", {0x00, 0x00, 0x05, 0x00});
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    EXPECT_EQ(p.main.formatVersion, 1280u);
    EXPECT_EQ(DDD_GetLastFormatVersion(), 1280u);
    DWORD v = 0;
    const BYTE be[4] = {0x12, 0x34, 0x56, 0x78};
    DDD_ReadBigEndian32(be, &v);
    EXPECT_EQ(v, 0x12345678u);

    /* A failed open leaves the process-wide value alone. */
    Bytes bad = header("x:1.0", {0, 0, 0x10, 0});
    ReaderPair q;
    EXPECT_EQ(openBytes(q, bad, nullptr), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_GetLastFormatVersion(), 1280u);
}

TEST_F(ModelFileTest, HeaderInfoRecordHoldsTheHeaderTexts)
{
    Bytes file = header("Model Ver:2.10.300", {0, 0, 0x16, 0x00});
    std::memset(file.data() + 96, 'M', 64); /* a text that fills all its bytes */
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    ModelRecord *rec = nullptr;
    ASSERT_EQ(DDD_ReadHeaderInfo(&p.main, &rec), DDD_OK);
    auto *h = reinterpret_cast<DddHeaderInfo *>(rec);
    EXPECT_EQ(rec->kind, DDD_KIND_HEADER);
    EXPECT_EQ(u8(h->title), "Title");
    EXPECT_EQ(u8(h->modelName), std::string(64, 'M'));
    EXPECT_EQ(u8(h->companionName), "");
    EXPECT_EQ(h->versionA, 2);
    EXPECT_EQ(h->versionB, 10);
    EXPECT_EQ(h->versionC, 300);
    EXPECT_EQ(h->formatVersion, 0x1600u);
    EXPECT_EQ(DDD_FreeRecord(&rec, -1), DDD_OK);
    EXPECT_EQ(rec, nullptr);
}

TEST_F(ModelFileTest, HeaderEntryWalkSkipsStoredCountsAndSizes)
{
    Bytes file = fileWith({});
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 41, 2, 0), 0x1234u);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 4, 2, 0), 999u);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 3, 2, 0), 0xAAAAu);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 39, 4, 1), 2u);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 12, 4, 0), 5u);

    /* The entry table row comes back with the reader at the entry. */
    const DddHeaderEntryRow *row = DDD_FindHeaderEntry(&p.main, 41);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->id, 41);
    EXPECT_EQ(p.main.position, file.size() - 2);
    EXPECT_EQ(DDD_FindHeaderEntry(&p.main, 42), nullptr);
    EXPECT_EQ(DDD_FindHeaderEntry(&p.main, 77), nullptr);

    /* Items past an entry's count. */
    BYTE buf[4];
    EXPECT_EQ(DDD_ReadHeaderEntry(&p.main, 3, 2, 1, buf), DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_ReadHeaderEntry(&p.main, 27, 2, 0, buf), DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 39, 4, 2), 0u);
    LPWSTR s = nullptr;
    EXPECT_EQ(DDD_ReadHeaderString(&p.main, 13, 1, &s), DDD_ERR_FAIL);
    EXPECT_EQ(s, nullptr);

    WORD count = 0;
    void *array = nullptr;
    ASSERT_EQ(DDD_ReadHeaderEntryArray(&p.main, 14, 1, &count, &array), DDD_OK);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(static_cast<BYTE *>(array)[0], 0x11);
    EXPECT_EQ(static_cast<BYTE *>(array)[1], 0x22);
    DDD_FreeRecord(&array, 0);
    EXPECT_EQ(DDD_ReadHeaderEntryArray(&p.main, 27, 2, &count, &array), DDD_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(array, nullptr);
}

TEST_F(ModelFileTest, HeaderTextsModelTextsAndRegistryKeys)
{
    Bytes file = fileWith({});
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    LPWSTR s = DDD_GetHeaderString(&p.main, 13, 0);
    EXPECT_EQ(u8(s), "AB");
    DDD_FreeRecord(&s, 0);
    ASSERT_EQ(DDD_GetRegistryKeyText(&p.main, 1, &s), DDD_OK);
    EXPECT_EQ(u8(s), "AB");
    DDD_FreeRecord(&s, 0);
    EXPECT_EQ(DDD_GetRegistryKeyText(&p.main, 0, &s), DDD_ERR_NOT_FOUND); /* entry 30 is empty */
    EXPECT_EQ(DDD_GetRegistryKeyText(&p.main, 2, &s), DDD_ERR_FAIL);
    for (WORD n : {12, 13, 26, 9370})
        EXPECT_EQ(DDD_GetModelText(&p.main, n, &s), DDD_ERR_FAIL) << n;
    EXPECT_EQ(DDD_GetModelText(&p.main, 6, &s), DDD_ERR_FAIL); /* entry 36 has no items */
    EXPECT_EQ(s, nullptr);
}

TEST_F(ModelFileTest, StoredTextIsInverted)
{
    DWORD at = 0;
    Bytes file = fileWith({0xBE, 0xBD, 0xFF}, &at);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    ASSERT_EQ(DDD_Seek(&p.main, 0, at), DDD_OK);
    LPWSTR s = nullptr;
    DWORD length = 3;
    ASSERT_EQ(DDD_ReadText(&p.main, &s, &length), DDD_OK);
    EXPECT_EQ(std::u16string(s), u"AB");
    EXPECT_EQ(length, 6u); /* two characters and the terminator */
    EXPECT_EQ(p.main.position, at + 3);
    DDD_FreeRecord(&s, 0);

    /* Bytes 0x80-0x9F follow the ANSI code page: 0x80 is the euro sign. */
    const BYTE euro[] = {0x7F, 0xFF};
    length = 2;
    ASSERT_EQ(DDD_ConvertStoredText(&p.main, euro, &s, &length), DDD_OK);
    EXPECT_EQ(std::u16string(s), u"\u20AC");
    DDD_FreeRecord(&s, 0);

    /* Length 0: no text. */
    length = 0;
    EXPECT_EQ(DDD_ReadText(&p.main, &s, &length), DDD_OK);
    EXPECT_EQ(s, nullptr);
}

TEST_F(ModelFileTest, ReferenceWithItsModuleMissingDecodesAsStoredTextAndSwitchesReferencesOff)
{
    DWORD at = 0;
    const Bytes ref = {0x41, 0x01, 0x00, 0x05, 0x00, 0x00};
    Bytes tail = ref;
    tail.insert(tail.end(), ref.begin(), ref.end());
    Bytes file = fileWith(tail, &at);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    ASSERT_EQ(p.main.cache->referencesEnabled, 1u);

    /* Selector 1 names MOD.XRS (entry 35 item 0), which cannot be loaded. */
    ASSERT_EQ(DDD_Seek(&p.main, 0, at), DDD_OK);
    LPWSTR s = nullptr;
    DWORD length = 6;
    ASSERT_EQ(DDD_ReadText(&p.main, &s, &length), DDD_OK);
    EXPECT_EQ(std::u16string(s), u"\u00BE\u00FE\u00FF\u00FA\u00FF\u00FF");
    EXPECT_EQ(length, 14u);
    EXPECT_EQ(p.main.position, at + 6);
    EXPECT_EQ(p.main.cache->referencesEnabled, 0u);
    DDD_FreeRecord(&s, 0);
    EXPECT_EQ(DDD_LoadStringModule(&p.main), DDD_ERR_FAIL);

    /* Later texts of the pair are stored text without another attempt. */
    length = 6;
    ASSERT_EQ(DDD_ReadText(&p.main, &s, &length), DDD_OK);
    EXPECT_EQ(std::u16string(s), u"\u00BE\u00FE\u00FF\u00FA\u00FF\u00FF");
    DDD_FreeRecord(&s, 0);

    /* Closing the pair turns references back on for the next open. */
    DDD_CloseFiles(&p.main, &p.companion);
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    EXPECT_EQ(p.main.cache->referencesEnabled, 1u);
}

TEST_F(ModelFileTest, ReferenceOfAHigherSelectorFallsBackWithoutSwitchingOff)
{
    DWORD at = 0;
    /* Fallback "Hi" (inverted, terminated), selector 2, string 7, final 0. */
    const Bytes ref = {0xB7, 0x96, 0xFF, 0x02, 0x00, 0x07, 0x00, 0x00};
    Bytes file = fileWith(ref, &at);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    ASSERT_EQ(DDD_Seek(&p.main, 0, at), DDD_OK);
    LPWSTR s = nullptr;
    DWORD length = 8;
    ASSERT_EQ(DDD_ReadText(&p.main, &s, &length), DDD_OK);
    EXPECT_EQ(std::u16string(s), u"Hi");
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(p.main.cache->referencesEnabled, 1u);
    DDD_FreeRecord(&s, 0);

    /* Not references: a zero selector or identifier, 5 bytes, or a last byte other than 0. */
    const Bytes notRefs[] = {{0xFF, 0x00, 0x00, 0x05, 0x00, 0x00},
                             {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00},
                             {0x01, 0x00, 0x05, 0x00, 0x00},
                             {0xFF, 0x01, 0x00, 0x05, 0x00, 0x01}};
    for (const Bytes &b : notRefs) {
        length = static_cast<DWORD>(b.size());
        ASSERT_EQ(DDD_ReadResourceText(&p.main, b.data(), &s, &length), DDD_OK);
        EXPECT_EQ(s, nullptr);
    }
}

TEST_F(ModelFileTest, TypedValues)
{
    DWORD at = 0;
    const Bytes tail = {
        0x01, 0x01, 0x00, 0x07,             /* flag, length 1, byte 7 */
        0x06, 0x00, 0x00,                   /* string, length 0 */
        0x03, 0x02, 0x00, 0x34, 0x12,       /* unsigned 16-bit */
        0x0A, 0x04, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, /* type 10: -2 */
        0x06, 0x03, 0x00, 0xBE, 0xBD, 0xFF, /* string "AB" */
        0x0A, 0x02, 0x00, 0x01, 0x02,       /* type 10 with 2 bytes: malformed */
    };
    Bytes file = fileWith(tail, &at);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    ASSERT_EQ(DDD_Seek(&p.main, 0, at), DDD_OK);

    DddValue v{};
    ASSERT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_OK);
    EXPECT_EQ(v.type, 1);
    EXPECT_EQ(v.length, 4u);
    EXPECT_EQ(v.count, 1u);
    EXPECT_EQ(v.owned, 1u);
    EXPECT_EQ(plat::load<DWORD>(v.data), 1u);
    ddd_FreeValue(&v);

    ASSERT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_OK);
    EXPECT_EQ(v.type, 6);
    EXPECT_EQ(v.data, nullptr);
    EXPECT_EQ(v.count, 0u);

    ASSERT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_OK);
    EXPECT_EQ(v.type, 3);
    EXPECT_EQ(v.length, 2u);
    EXPECT_EQ(v.owned, 0u);
    EXPECT_EQ(static_cast<BYTE *>(v.data), p.main.data + at + 10); /* into the loaded file */
    EXPECT_EQ(static_cast<BYTE *>(v.data)[0], 0x34);
    EXPECT_EQ(static_cast<BYTE *>(v.data)[1], 0x12);

    ASSERT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_OK);
    EXPECT_EQ(v.length, 4u);
    EXPECT_EQ(plat::load<int32_t>(v.data), -2);
    ddd_FreeValue(&v);

    ASSERT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_OK);
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(v.data)), u"AB");
    EXPECT_EQ(v.length, 6u);
    ddd_FreeValue(&v);

    EXPECT_EQ(DDD_ReadTypedValue(&p.main, &v), DDD_ERR_FAIL);
}

/*
 * A file with a directory (entry length 0) whose kind-20 table has three
 * value arrays; the third has element type 1 and the bytes 00 05 00.
 */
Bytes valueArrayFile()
{
    Bytes b = header("x:1.0.0");
    put32(b, 0);                     /* entry 0: L = 0, directory at 228 */
    b.insert(b.end(), 6, 0);         /* directory head */
    const DWORD rowsAt = 234, emptyAt = rowsAt + 21 * 7, tableAt = emptyAt + 6;
    const DWORD recordsAt = tableAt + 6 + 3 * 7;
    for (int place = 0; place < 21; ++place) {
        b.insert(b.end(), 3, 0);
        put32(b, place == 17 ? tableAt : emptyAt); /* kind 20 is the 18th row */
    }
    b.insert(b.end(), 6, 0);         /* the empty table: count 0 */
    put32(b, 0);
    put16(b, 3);
    const DWORD second = recordsAt + 21, third = second + 21; /* 17-byte head and fields, 4 data bytes */
    const DWORD offsets[3] = {recordsAt, second, third};
    for (WORD i = 0; i < 3; ++i) {
        b.push_back(2);
        put16(b, static_cast<WORD>(10 + i));
        put32(b, offsets[i]);
    }
    /* Record 1: type 3, size 2, two elements 7 and 9. */
    put32(b, 0), put16(b, 10), put16(b, 0), b.push_back(3), put16(b, 2), put32(b, 0), put16(b, 2);
    put16(b, 7), put16(b, 9);
    /* Record 2: type 10, size 4, one element -3. */
    put32(b, 0), put16(b, 11), put16(b, 0), b.push_back(10), put16(b, 4), put32(b, 0), put16(b, 1);
    put32(b, 0xFFFFFFFD);
    /* Record 3: type 1, size 1, bytes 00 05 00. */
    put32(b, 0), put16(b, 12), put16(b, 0), b.push_back(1), put16(b, 1), put32(b, 0), put16(b, 3);
    b.insert(b.end(), {0x00, 0x05, 0x00});
    return b;
}

TEST_F(ModelFileTest, ValueArrayOfFlagsBecomesThreeNumbers)
{
    Bytes file = valueArrayFile();
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    EXPECT_EQ(DDD_CountRecords(&p.main, DDD_KIND_VALUE_ARRAY), 3);
    EXPECT_EQ(DDD_CountRecords(&p.main, DDD_KIND_PAPER), 0);
    EXPECT_EQ(DDD_CountRecords(&p.main, 2), 0); /* no directory row */

    struct Case {
        WORD number;
        WORD type;
        DWORD elementSize;
        std::vector<int32_t> values;
        bool owned;
    } cases[] = {
        {3, 1, 4, {0, 1, 0}, true},
        {1, 3, 2, {7, 9}, false},
        {2, 10, 4, {-3}, true},
    };
    for (const Case &c : cases) {
        BYTE number[2] = {static_cast<BYTE>(c.number), 0};
        DddConditionItem item{};
        item.setting.head.kind = DDD_ITEM_CONDITION;
        item.setting.value = DddValue{128, 2, number, 1, 0};
        ASSERT_EQ(DDD_ResolveValueArray(&p.main, &item.setting), DDD_OK) << c.number;
        EXPECT_EQ(item.setting.value.type, c.type);
        EXPECT_EQ(item.setting.value.length, c.elementSize);
        EXPECT_EQ(item.setting.value.count, c.values.size());
        EXPECT_EQ(item.setting.value.owned != 0, c.owned);
        for (size_t i = 0; i < c.values.size(); ++i) {
            const BYTE *e = static_cast<const BYTE *>(item.setting.value.data) + i * c.elementSize;
            int32_t got = c.elementSize == 4 ? plat::load<int32_t>(e) : plat::load<int16_t>(e);
            EXPECT_EQ(got, c.values[i]) << c.number << " element " << i;
        }
        ddd_FreeValue(&item.setting.value);
    }

    /* Array 4 does not exist; other value types are left alone. */
    BYTE four[2] = {4, 0};
    DddSettingItem item{};
    item.value = DddValue{128, 2, four, 1, 0};
    EXPECT_EQ(DDD_ResolveValueArray(&p.main, &item), DDD_ERR_NOT_FOUND);
    item.value.type = 3;
    EXPECT_EQ(DDD_ResolveValueArray(&p.main, &item), DDD_OK);
    EXPECT_EQ(item.value.data, four);
}

TEST_F(ModelFileTest, FifthTextBufferIsRefused)
{
    Bytes file = header("x:1.0.0");
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    BYTE *b[4];
    for (int i = 0; i < 4; ++i) {
        b[i] = DDD_TakeTextBuffer(&p.main, i == 0 ? 0 : 2000);
        ASSERT_NE(b[i], nullptr);
    }
    EXPECT_EQ(p.main.cache->slots[0].size, 1024);
    EXPECT_EQ(p.main.cache->slots[1].size, 2000);
    EXPECT_EQ(DDD_TakeTextBuffer(&p.main, 10), nullptr);
    ddd_GiveTextBuffer(&p.main, b[2]);
    EXPECT_EQ(DDD_TakeTextBuffer(&p.main, 10), b[2]); /* a freed slot is reused */
}

TEST_F(ModelFileTest, ReadsStayInsideTheFile)
{
    Bytes file = header("x:1.0.0");
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    BYTE buf[8];
    EXPECT_EQ(DDD_Seek(&p.main, 0, 224), DDD_OK);
    EXPECT_EQ(DDD_Read(&p.main, buf, 1), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_Seek(&p.main, 0, 225), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_Seek(&p.main, 0, 220), DDD_OK);
    EXPECT_EQ(DDD_Seek(&p.main, 1, 5), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_Read(&p.main, buf, 0), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_Read(&p.main, buf, 4), DDD_OK);
    EXPECT_EQ(DDD_SeekDirectory(&p.main), DDD_ERR_FAIL); /* no entry 0 */
    EXPECT_EQ(DDD_FindHeaderEntry(&p.main, 1), nullptr);
    EXPECT_EQ(DDD_CountRecords(&p.main, DDD_KIND_PAPER), 0);
}

TEST_F(ModelFileTest, ClosingAnswersWhetherAFileWasLoaded)
{
    Bytes file = header("x:1.0.0");
    ReaderPair p;
    ASSERT_EQ(openBytes(p, file, nullptr), DDD_OK);
    EXPECT_EQ(p.main.role, DDD_ROLE_MAIN);
    EXPECT_EQ(p.companion.loaded, nullptr);
    EXPECT_EQ(DDD_CloseFiles(&p.main, &p.companion), DDD_ERR_FAIL); /* no companion was loaded */
    EXPECT_EQ(p.main.loaded, nullptr);
    EXPECT_EQ(p.main.cache, nullptr);
    EXPECT_EQ(DDD_CloseFile(&p.main), DDD_ERR_FAIL);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

} // namespace
