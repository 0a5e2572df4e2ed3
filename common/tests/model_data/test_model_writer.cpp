/*
 * The model data writer: its encodings against bytes written out by hand
 * from the format, and its refusal of models that break the readings this
 * project gives the format's open points.
 */
#include "test_model_support.h"

using namespace model_test;
using namespace mw;

namespace {

TEST(ModelWriter, TextFieldsAndValuesAreEncodedAsTheFormatSays)
{
    EXPECT_EQ(stored("AB").body, (Bytes{0xBE, 0xBD, 0xFF}));
    EXPECT_EQ(reference(1, 5).body, (Bytes{0xFF, 0x01, 0x00, 0x05, 0x00, 0x00}));
    EXPECT_EQ(reference(2, 0x0102, "A").body, (Bytes{0xBE, 0xFF, 0x02, 0x00, 0x02, 0x01, 0x00}));
    EXPECT_EQ(vUShort(0x1234).data, (Bytes{0x34, 0x12}));
    EXPECT_EQ(vFlag(true).data, (Bytes{0x01}));
    EXPECT_EQ(vArrayRef(3).type, 128);
}

TEST(ModelWriter, RecordBodiesAndListLengths)
{
    Record dims = encode(Dimensions{7, 1, 2, 3, 0x0405}, 0x1600);
    EXPECT_EQ(dims.body, (Bytes{0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x05, 0x04}));

    /* Option: name, target kind, target id, value, two word lists {length, count, items}, typed value, image. */
    Record opt = encode(DDD_KIND_DOCUMENT_OPTION, Option{1, stored("A"), 10, 9, 0x99, {2}, {}, vShort(-1), 4}, 0x1600);
    EXPECT_EQ(opt.body, (Bytes{0x02, 0x00, 0xBE, 0xFF,             /* name */
                               0x0A, 0x00, 0x09, 0x00, 0x99, 0x00, /* target kind, id, value */
                               0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, /* list: length 4, count 1, 2 */
                               0x02, 0x00, 0x00, 0x00, 0x00, 0x00, /* list: length 2, count 0 */
                               0x02, 0x02, 0x00, 0xFF, 0xFF,       /* type 2, length 2, -1 */
                               0x04, 0x00}));

    /* The paper's format-512 and format-1,280 fields appear only from those versions. */
    Paper paper{9, noText(), 1, 2, 3, 4, 5, 6, 7, 8, 0x0A0B};
    EXPECT_EQ(encode(paper, 511).body.size(), 2u + 1 + 2 * 5);
    EXPECT_EQ(encode(paper, 512).body.size(), 2u + 1 + 2 * 5 + 3);
    Bytes v1280 = encode(paper, 1280).body;
    ASSERT_EQ(v1280.size(), 2u + 1 + 2 * 5 + 3 + 2);
    EXPECT_EQ(v1280[v1280.size() - 2], 0x0B);
}

TEST(ModelWriter, FileLayoutOfAnEmptyModel)
{
    Model m = emptyModel(0x0500, false);
    Bytes mainFile, companion;
    std::string error;
    ASSERT_TRUE(build(m, mainFile, companion, error)) << error;
    EXPECT_TRUE(companion.empty());
    /* Big-endian format version at 92; entry 0 at 224 is the length of entries 1-41. */
    EXPECT_EQ(mainFile[92], 0x00);
    EXPECT_EQ(mainFile[93], 0x00);
    EXPECT_EQ(mainFile[94], 0x05);
    EXPECT_EQ(mainFile[95], 0x00);
    DWORD length = plat::load<DWORD>(mainFile.data() + 224);
    /* Directory: 6 bytes, 21 rows of 7; 21 empty tables of 6 bytes. */
    EXPECT_EQ(mainFile.size(), 228 + length + 6 + 21 * 7 + 21 * 6);
    DWORD firstTable = plat::load<DWORD>(mainFile.data() + 228 + length + 6 + 3);
    EXPECT_EQ(firstTable, 228 + length + 6 + 21 * 7);
}

TEST(ModelWriter, RefusesModelsThatBreakTheOpenPoints)
{
    struct Case {
        const char *what;
        void (*breakIt)(Model &);
    } cases[] = {
        {"option id not its record number",
         [](Model &m) { m.add(encode(DDD_KIND_DOCUMENT_OPTION, Option{2, noText(), 0, 0, 0, {}, {}, vNone(3), 0}, 0x1600)); }},
        {"rule id not its record number",
         [](Model &m) { m.add(encode(DDD_KIND_RULE, Rule{5, {}, 0, noText(), {}, {}}, 0x1600)); }},
        {"entry 17 missing", [](Model &m) { m.main.entries[17].reset(); }},
        {"companion entry 40 missing", [](Model &m) { m.companion.entries[40].reset(); }},
        {"entry 41 below the paper count",
         [](Model &m) {
             m.main.entries[41] = eU16(0);
             m.add(encode(Dimensions{1, 0, 0, 0, 0}, 0x1600));
             m.add(encode(Paper{1, noText(), 0, 1, 1, 1, 0, 0, 0, 0, 0}, 0x1600));
         }},
        {"entry 2 is zero", [](Model &m) { m.main.entries[2] = eU32(0); }},
        {"entry 33 empty", [](Model &m) { m.main.entries[33] = eText(noText()); }},
        {"wrong item size", [](Model &m) { m.main.entries[4] = eU32(1); }},
        {"dangling dimension record",
         [](Model &m) { m.add(encode(Paper{1, noText(), 0, 1, 1, 1, 0, 0, 0, 0, 0}, 0x1600)); }},
        {"feature option missing",
         [](Model &m) { m.add(encode(DDD_KIND_DOCUMENT_FEATURE, Feature{8, noText(), 0, 1, 0, {1}, {}, {}, 0, noText()}, 0x1600)); }},
        {"value array in the other file",
         [](Model &m) {
             m.add(encode(ValueArray{1, 0, 3, 2, 0, {}}, 0x1600), true);
             m.add(encode(JobLine{1, 0, {Condition{Setting{0, 1, 7, vArrayRef(1)}, 1}}, noText(), noText(), 0}, 0x1600));
         }},
        {"kind 19 below format 512",
         [](Model &m) {
             m.formatVersion = 511;
             m.add(encode(FlagRecord{1, noText(), 0, noText()}, 511));
         }},
        {"identifier used twice",
         [](Model &m) {
             m.add(encode(Dimensions{1, 0, 0, 0, 0}, 0x1600));
             m.add(encode(Dimensions{1, 0, 0, 0, 0}, 0x1600));
         }},
        {"companion record without a companion",
         [](Model &m) {
             m.companionName.clear();
             m.add(encode(Dimensions{1, 0, 0, 0, 0}, 0x1600), true);
         }},
    };
    ASSERT_EQ(check(emptyModel(0x1600)), "");
    for (const Case &c : cases) {
        Model m = emptyModel(0x1600);
        c.breakIt(m);
        std::string problem = check(m);
        EXPECT_NE(problem, "") << c.what;
        Bytes mainFile, companion;
        std::string error;
        EXPECT_FALSE(build(m, mainFile, companion, error)) << c.what;
        EXPECT_TRUE(build(m, mainFile, companion, error, false)) << c.what; /* unchecked, for broken-file tests */
    }
}

} // namespace
