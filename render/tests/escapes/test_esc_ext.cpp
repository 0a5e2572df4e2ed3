// The extension's escapes through DrvEscape as an application sends them:
// the control escape (on, off, feature query, signature), the feature
// table at both protocol classes, QUERYESCSUPPORT with the extension on
// and off, the colour, duplex and N-up escapes and the data escape, each
// as a table with bad sizes and values (a refused escape changes nothing),
// and the overrides taking effect from the next job on.
#include "esc_ext.h"
#include "job_listing.h"

#include <cstring>
#include <vector>

using namespace job_test;

namespace {

class ExtEscapes : public FirstJob {
protected:
    void SetUp() override
    {
        FirstJob::SetUp();
        enableContext();
    }

    LONG esc(ULONG escape, ULONG cjIn, const void *in, ULONG cjOut = 0, void *out = nullptr)
    {
        return LONG(DrvEscape(so, escape, cjIn, const_cast<void *>(in), cjOut, out));
    }
    /* A control or duplex record {8, code, argument} (size field as given). */
    LONG record(ULONG escape, WORD code, WORD argument, ULONG cjOut = 0, void *out = nullptr, DWORD size = 8)
    {
        BYTE r[8];
        std::memcpy(r, &size, 4);
        std::memcpy(r + 4, &code, 2);
        std::memcpy(r + 6, &argument, 2);
        return esc(escape, 8, r, cjOut, out);
    }
    LONG control(WORD code, WORD argument = 0, ULONG cjOut = 0, void *out = nullptr)
    {
        return record(0x1071, code, argument, cjOut, out);
    }
    LONG colour(WORD sub) { return esc(0x1073, 2, &sub); }
    LONG duplex(WORD sub, WORD value, ULONG cjOut = 0, void *out = nullptr)
    {
        return record(0x1074, sub, value, cjOut, out);
    }
    void on(DWORD protocolClass = 0x2010000)
    {
        pdev->ext.protocolClass = protocolClass;
        ASSERT_EQ(control(1), 1);
    }
    std::vector<BYTE> ext() const
    {
        const BYTE *p = reinterpret_cast<const BYTE *>(&pdev->ext);
        return std::vector<BYTE>(p, p + sizeof pdev->ext);
    }
    /* The 18-byte feature answer of `code`, or the refusal. */
    LONG query(WORD code, BYTE answer[18])
    {
        std::memset(answer, 0, 18);
        return control(3, code, 18, answer);
    }
    static DWORD u32(const BYTE *p) { DWORD v; std::memcpy(&v, p, 4); return v; }
    static WORD u16(const BYTE *p) { WORD v; std::memcpy(&v, p, 2); return v; }
};

TEST_F(ExtEscapes, ControlTurnsTheExtensionOnAndOff)
{
    EXPECT_EQ(pdev->ext.mode, 0u);
    struct Row {
        WORD code;
        DWORD size;
        ULONG cjIn;
        LONG answer;
        DWORD mode;
    } rows[] = {
        {1, 12, 8, -4, 0},   /* size field 12 */
        {1, 8, 7, -4, 0},    /* a byte short */
        {1, 8, 8, 1, 1},
        {2, 8, 8, 1, 0},
        {1, 8, 12, 1, 1},    /* a longer input still holds the record */
        {7, 8, 8, -2, 1},    /* unknown control code */
        {2, 0, 8, -4, 1},
    };
    for (const Row &r : rows) {
        BYTE rec[12] = {};
        std::memcpy(rec, &r.size, 4);
        std::memcpy(rec + 4, &r.code, 2);
        EXPECT_EQ(esc(0x1071, r.cjIn, rec), r.answer) << r.code << " size " << r.size << " cjIn " << r.cjIn;
        EXPECT_EQ(pdev->ext.mode, r.mode) << r.code;
    }
    EXPECT_EQ(esc(0x1071, 0, nullptr), -4);

    char signature[4] = {};
    EXPECT_EQ(control(0x6585, 0, 4, signature), 1);
    EXPECT_EQ(std::string(signature, 4), "KTVW");
    EXPECT_EQ(control(0x6585), -1) << "no output";
    EXPECT_EQ(control(0x6585, 0, 3, signature), -1) << "an output too small for the letters";
}

TEST_F(ExtEscapes, FeatureQueryAnswersTheTableRowOfTheProtocolClass)
{
    struct Row {
        DWORD protocolClass;
        WORD code;
        LONG answer;
        WORD escape;
        DWORD flags;
        DWORD values[2];
    } rows[] = {
        {0x2010000, 0x1101, 1, 0x1071, 15, {0xFF00, 0xFF00}},
        {0x2000000, 0x1101, 1, 0x1071, 15, {0xFF00, 0xFF00}},
        {0x2010000, 0x1102, 1, 0x1072, 16, {0, 0}},
        {0x2000000, 0x1102, 1, 0x1072, 0, {0, 0}},
        {0x2010000, 0x1103, 1, 0x1073, 31, {0, 0}},
        {0x2000000, 0x1103, -3, 0, 0, {0, 0}},
        {0x2000000, 0x1105, 1, 0x1075, 0, {0, 0}},
        {0x2000000, 0x1107, 1, 0x1077, 0, {0, 0}},
        {0x2000000, 0x1108, -3, 0, 0, {0, 0}},
        {0x2020000, 0x1101, -3, 0, 0, {0, 0}}, /* a class above 2.1 offers nothing */
    };
    ASSERT_EQ(pdev->ext.colourDevice, 1u) << "the standard model is a colour printer";
    for (const Row &r : rows) {
        pdev->ext.protocolClass = r.protocolClass;
        BYTE a[18];
        ASSERT_EQ(query(r.code, a), r.answer) << std::hex << r.code << " at " << r.protocolClass;
        if (r.answer != 1)
            continue;
        EXPECT_EQ(u32(a), 18u);
        EXPECT_EQ(u16(a + 4), r.escape);
        EXPECT_EQ(u32(a + 6), r.flags) << std::hex << r.code;
        EXPECT_EQ(u32(a + 10), r.values[0]);
        EXPECT_EQ(u32(a + 14), r.values[1]);
    }
}

TEST_F(ExtEscapes, FeatureConditionsOfJpegColourAndDuplex)
{
    pdev->ext.protocolClass = 0x2010000;
    BYTE a[18];
    pdev->ext.duplexAllowed = 1;
    ASSERT_EQ(query(0x1104, a), 1);
    EXPECT_EQ(u32(a + 6), 799u);
    EXPECT_EQ(u32(a + 10), 139u);
    pdev->ext.duplexAllowed = 0;
    ASSERT_EQ(query(0x1104, a), 1);
    EXPECT_EQ(u32(a + 6), 799u & ~0xCu) << "no duplex unit: bits 0xC cleared";

    put(1333, 1);
    EXPECT_EQ(query(0x1102, a), -3) << "the engine may journal: no JPEG pass-through";
    put(1333, 0);
    EXPECT_EQ(query(0x1102, a), 1);

    pdev->jobFormExtras[1] = 1;
    EXPECT_EQ(query(0x1103, a), -3) << "the job devmode's second extra value";
    pdev->jobFormExtras[1] = 0;
    put(5202, 1);
    EXPECT_EQ(query(0x1103, a), -3) << "printer data 5202";
    put(5202, 0);
    pdev->ext.colourDevice = 0;
    EXPECT_EQ(query(0x1103, a), -3) << "a monochrome device";
    pdev->ext.colourDevice = 1;
    EXPECT_EQ(query(0x1103, a), 1);

    /* the answer's size: given by the output size or by its first 32 bits */
    BYTE big[24] = {};
    EXPECT_EQ(control(3, 0x1101, 24, big), -4);
    DWORD eighteen = 18;
    std::memcpy(big, &eighteen, 4);
    EXPECT_EQ(control(3, 0x1101, 24, big), 1);
    EXPECT_EQ(control(3, 0x1101, 17, big), -4) << "too small for the answer";
    EXPECT_EQ(control(3, 0x1101), -1) << "no output";
}

TEST_F(ExtEscapes, QueryEscSupportFollowsTheExtensionMode)
{
    const WORD escapes[] = {0x1071, 0x1072, 0x1073, 0x1074, 0x1078};
    for (int mode = 0; mode < 2; mode++) {
        pdev->ext.mode = DWORD(mode);
        for (WORD e : escapes)
            EXPECT_EQ(esc(8, 2, &e), e == 0x1071 ? 1 : mode) << std::hex << e << " mode " << mode;
    }
    const WORD notOurs[] = {0x1075, 0x1077};
    for (WORD e : notOurs)
        EXPECT_EQ(esc(8, 2, &e), 0) << std::hex << e;
}

TEST_F(ExtEscapes, AContextWithoutItsRecordKeepsTheExtensionOff)
{
    pdev->ext.protocolClass = 0; /* the model's colour byte could not be read */
    EXPECT_EQ(control(1), -1);
    EXPECT_EQ(pdev->ext.mode, 0u);
}

TEST_F(ExtEscapes, ColourModeEscapes)
{
    WORD sub = 0x1201;
    EXPECT_EQ(colour(0x1201), 0) << "extension off";
    on(0x2000000);
    EXPECT_EQ(colour(0x1201), 0) << "no colour feature at class 2.0";
    pdev->ext.protocolClass = 0x2010000;
    EXPECT_EQ(esc(0x1073, 1, &sub), -4);
    struct Row {
        WORD sub;
        LONG answer;
        DWORD override;
        WORD mode;
    } rows[] = {
        {0x1203, -6, 0, 0xFFFF}, /* no colour override yet */
        {0x1201, 1, 1, 0},       {0x1203, 1, 1, 1},       {0x1204, 1, 1, 2}, {0x1205, 1, 1, 0},
        {0x1200, -3, 1, 0},      {0x1206, -3, 1, 0},      {0x1204, 1, 1, 2}, {0x1202, 1, 0, 2},
        {0x1204, -6, 0, 2},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(colour(r.sub), r.answer) << std::hex << r.sub;
        EXPECT_EQ(pdev->ext.colourOverride, r.override) << std::hex << r.sub;
        EXPECT_EQ(pdev->ext.colourMode, r.mode) << std::hex << r.sub;
    }
    ASSERT_EQ(colour(0x1201), 1);
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(colour(0x1202), -6) << "inside a document";
    EXPECT_EQ(colour(0x1201), -6);
    EXPECT_EQ(colour(0x1203), 1) << "the mode may change inside a document";
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(colour(0x1202), 1);
}

TEST_F(ExtEscapes, DuplexAndNupEscapes)
{
    EXPECT_EQ(duplex(0x1302, 0x1311), 0) << "extension off";
    on(0x2000000);
    WORD out = 0;
    /* the duplex query */
    for (LONG value : {1, 2, 3, 0}) {
        put(16, value);
        out = 0;
        EXPECT_EQ(duplex(0x1301, 0, 2, &out), value ? 1 : -1) << value;
        EXPECT_EQ(out, value ? 0x1310 + value : 0) << value;
    }
    EXPECT_EQ(duplex(0x1301, 0), -4) << "no output";
    EXPECT_EQ(record(0x1074, 0x1301, 0, 2, &out, 12), -4) << "size field 12";

    struct Row {
        WORD sub;
        WORD value;
        DWORD dmFields;
        LONG answer;
        WORD overrides[6];
    } rows[] = {
        {0x1302, 0x1311, 0, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 1}},
        {0x1302, 0x1312, 0, -6, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 1}},
        {0x1302, 0x1312, 0x1000, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 2}},
        {0x1302, 0x1313, 0x1000, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 3}},
        {0x1302, 0x1315, 0x1000, -5, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 3}},
        {0x1302, 0x1314, 0x1000, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
        {0x1304, 2, 0, 1, {2, 1, 1, 0xFFFF, 0, 0xFFFF}},
        {0x1304, 1, 0, 1, {1, 0, 1, 0xFFFF, 0, 0xFFFF}},
        {0x1304, 16, 0, 1, {16, 3, 1, 0xFFFF, 0, 0xFFFF}},
        {0x1304, 5, 0, -5, {16, 3, 1, 0xFFFF, 0, 0xFFFF}},
        {0x1302, 0x1311, 0, 1, {16, 3, 1, 0xFFFF, 0, 1}},
        {0x1304, 0, 0, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 1}}, /* the duplex override stays */
        {0x1304, 4, 0, 1, {4, 3, 1, 0xFFFF, 0, 1}},
        {0x1305, 4, 0, -3, {4, 3, 1, 0xFFFF, 0, 1}},
        {0x1300, 4, 0, -3, {4, 3, 1, 0xFFFF, 0, 1}},
    };
    for (const Row &r : rows) {
        DWORD fields = 0;
        ASSERT_EQ(PDEV_GetSetting32(pdev, 6, &fields), 0);
        put(6, LONG((fields & ~0x1000u) | r.dmFields));
        EXPECT_EQ(duplex(r.sub, r.value), r.answer) << std::hex << r.sub << " " << r.value;
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(pdev->ext.overrides[i], r.overrides[i]) << std::hex << r.sub << " " << r.value << " slot " << i;
    }

    /* the pages-per-sheet query reads the settings, not the overrides */
    struct Nup {
        LONG s321;
        LONG pages;
        LONG answer;
        WORD out;
    } nups[] = {{0, 1, 1, 1}, {0, 4, 1, 4}, {0, 32, 1, 32}, {0, 3, -1, 0}, {1, 4, 1, 0}};
    for (const Nup &n : nups) {
        put(321, n.s321);
        put(295, n.pages);
        out = 0xEEEE;
        EXPECT_EQ(duplex(0x1303, 0, 2, &out), n.answer) << n.pages;
        if (n.answer == 1) {
            EXPECT_EQ(out, n.out) << n.pages;
        }
    }
    EXPECT_EQ(duplex(0x1303, 0), -4) << "no output";
}

TEST_F(ExtEscapes, DataEscapeKeepsACopyOfTheBlock)
{
    auto data = [&](DWORD n, ULONG cjIn) {
        std::vector<BYTE> b(std::max<size_t>(cjIn, 4), 0);
        std::memcpy(b.data(), &n, 4);
        for (size_t i = 4; i < b.size(); i++)
            b[i] = BYTE(i);
        return esc(0x1078, cjIn, b.data());
    };
    EXPECT_EQ(data(5, 9), 1);
    ASSERT_EQ(pdev->extDataSize, 5u);
    EXPECT_EQ(static_cast<BYTE *>(pdev->extData)[4], 8);
    /* the private escape reads the same block back */
    WORD code = 1;
    BYTE back[5] = {};
    EXPECT_EQ(esc(0x502E, 2, &code, 5, back), 1);
    EXPECT_EQ(back[0], 4);

    struct Row {
        DWORD n;
        ULONG cjIn;
        LONG answer;
        DWORD size;
        bool block;
    } rows[] = {
        {6, 9, -4, 5, true},        /* n beyond the input: unchanged */
        {0xFFFD, 0x10001, -4, 5, true},
        {0, 3, -4, 5, true},        /* no room for n */
        {2, 6, -1, 0, false},       /* 1 to 3 bytes free the block */
        {0, 4, 1, 0, true},         /* an empty block is kept */
        {0xFFFC, 0x10000, 1, 0xFFFC, true},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(data(r.n, r.cjIn), r.answer) << r.n;
        EXPECT_EQ(pdev->extDataSize, r.size) << r.n;
        EXPECT_EQ(pdev->extData != nullptr, r.block) << r.n;
    }
    EXPECT_EQ(esc(0x1078, 0, nullptr), -4);
}

TEST_F(ExtEscapes, RefusedEscapesChangeNothing)
{
    on();
    pdev->ext.duplexAllowed = 1;
    const std::vector<BYTE> before = ext();
    EXPECT_EQ(record(0x1071, 1, 0, 0, nullptr, 12), -4);
    EXPECT_EQ(record(0x1074, 0x1304, 4, 0, nullptr, 9), -4);
    EXPECT_EQ(duplex(0x1304, 64), -5);
    EXPECT_EQ(duplex(0x1302, 0x1300), -5);
    EXPECT_EQ(colour(0x1203), -6);
    EXPECT_EQ(colour(0x1300), -3);
    EXPECT_EQ(ext(), before);
}

TEST_F(ExtEscapes, OverridesTakeEffectFromTheNextJob)
{
    on();
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    /* set during the job: this job keeps its own values */
    ASSERT_EQ(duplex(0x1304, 4), 1);
    ASSERT_EQ(duplex(0x1302, 0x1311), 1);
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    ASSERT_TRUE(DrvEndDoc(so, 0));
    EXPECT_NE(list(spooled()).trailer.find("QZJOBINFO NUP=1\n"), std::string::npos);

    /* the next job is printed 4-up; the document's value is back after it */
    ASSERT_TRUE(printBlank(4));
    EXPECT_NE(list(spooled()).trailer.find("QZJOBINFO NUP=4\n"), std::string::npos);
    WORD nup = 0;
    ASSERT_EQ(PDEV_GetSetting16(pdev, 295, &nup), 0);
    EXPECT_EQ(nup, 1);

    /* removed: the job after is 1-up again */
    ASSERT_EQ(duplex(0x1304, 0), 1);
    ASSERT_TRUE(printBlank(1));
    EXPECT_NE(list(spooled()).trailer.find("QZJOBINFO NUP=1\n"), std::string::npos);

    /* with the extension off the record's overrides are not applied */
    ASSERT_EQ(duplex(0x1304, 2), 1);
    ASSERT_EQ(control(2), 1);
    ASSERT_TRUE(printBlank(2));
    EXPECT_NE(list(spooled()).trailer.find("QZJOBINFO NUP=1\n"), std::string::npos);
}

} // namespace
