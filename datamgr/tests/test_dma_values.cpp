/*
 * DMA_ functions for single numbers, the fax address count, structure
 * sizes, the enumeration of public identifiers and the user setting
 * information.
 */
#include "dma_test_context.h"

#include <gtest/gtest.h>

namespace {

using dmtest::DmaTest;

class DmaValues : public DmaTest {};

TEST_F(DmaValues, GetValueMapsThePublicIdentifierAndReadsUnderTheReportedType)
{
    rec.dm()[1493] = 7;                          /* 448, public 4097 */
    plat::store<DWORD>(rec.dm() + 288, 1u << 0); /* flag 1281, public 449 */
    plat::store<SHORT>(rec.dm() + 328, -5);      /* 274, signed 16-bit */
    rec.dm()[578] = 0x81;                        /* 300, a byte reported as 16-bit */
    plat::store<WORD>(rec.pd() + 884, 0x1234);   /* 5123, public 1027 */
    struct Case {
        DWORD id;
        DWORD value;
    };
    for (const Case &c : {Case{4097, 7}, Case{449, 1}, Case{450, 0}, Case{274, 0xFFFB}, Case{300, 0x81},
                          Case{1027, 0x1234}}) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(DMA_GetValue(&ctx, c.id, &value), DMAR_DONE) << c.id;
        EXPECT_EQ(value, c.value) << c.id;
    }
}

TEST_F(DmaValues, NumberFunctionsRefuseWhatIsNoNumber)
{
    struct Case {
        DWORD id;
        DMARESULT result;
    };
    const Case cases[] = {
        {289, DMAR_STRING_ID},    /* 1832, a string */
        {1, DMAR_STRING_ID},      /* dmDeviceName */
        {0xA001, DMAR_STRING_ID}, {0xA002, DMAR_STRING_ID},
        {304, DMAR_FONT_ID},      {357, DMAR_FONT_ID},
        {448, DMAR_UNMAPPED},     {570, DMAR_UNMAPPED}, {0x10001, DMAR_UNMAPPED}, {0, DMAR_UNMAPPED},
    };
    for (const Case &c : cases) {
        DWORD value = 0;
        EXPECT_EQ(DMA_GetValue(&ctx, c.id, &value), c.result) << c.id;
        EXPECT_EQ(DMA_SetValue(&ctx, c.id, 1), c.result) << c.id;
    }
    DWORD value = 0;
    EXPECT_EQ(DMA_GetValue(nullptr, 4097, &value), DMAR_FAIL);
    EXPECT_EQ(DMA_SetValue(nullptr, 4097, 1), DMAR_FAIL);
    EXPECT_EQ(DMA_GetValue(&ctx, 4097, nullptr), DMAR_FAIL);
    /* A printer-data setting without the printer-data record. */
    ctx.printerData = nullptr;
    EXPECT_EQ(DMA_GetValue(&ctx, 1027, &value), DMAR_FAIL);
    EXPECT_EQ(DMA_SetValue(&ctx, 1027, 1), DMAR_FAIL);
}

TEST_F(DmaValues, SetValueWritesTheStoredTypesSize)
{
    rec.dm()[301] = 0x5A;
    EXPECT_EQ(DMA_SetValue(&ctx, 264, 0x1FF), DMAR_DONE); /* a byte: only the low byte */
    EXPECT_EQ(rec.dm()[300], 0xFF);
    EXPECT_EQ(rec.dm()[301], 0x5A);
    EXPECT_EQ(DMA_SetValue(&ctx, 380, 5), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 1450), 5);
    EXPECT_EQ(DMA_SetValue(&ctx, 451, 1), DMAR_DONE); /* flag 1283, bit 2 of the word at 288 */
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + 288), 4u);
    EXPECT_EQ(DMA_SetValue(&ctx, 451, 0), DMAR_DONE);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + 288), 0u);
}

TEST_F(DmaValues, FaxAddressCount)
{
    WORD count = 0;
    EXPECT_EQ(DMA_GetFaxAddressNum(fax.data(), &count), DMAR_FAIL); /* no tag yet */
    DPF_PutTag(fax.data(), DPF_TAG_FAX);
    plat::store<WORD>(fax.data() + 16, 3);
    EXPECT_EQ(DMA_GetFaxAddressNum(fax.data(), &count), DMAR_DONE);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(DMA_GetFaxAddressNum(nullptr, &count), DMAR_FAIL);
    EXPECT_EQ(DMA_GetFaxAddressNum(fax.data(), nullptr), DMAR_FAIL);

    plat::store<WORD>(rec.dm() + 1450, 3); /* setting 380 */
    EXPECT_EQ(DMA_SetFaxAddressNum(&ctx, -5, TRUE), DMAR_FAIL);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 1450), 3);
    EXPECT_EQ(plat::load<WORD>(fax.data() + 16), 3);
    EXPECT_EQ(DMA_SetFaxAddressNum(&ctx, 2, TRUE), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 1450), 5);
    EXPECT_EQ(plat::load<WORD>(fax.data() + 16), 5);
    EXPECT_EQ(DMA_SetFaxAddressNum(&ctx, 1, FALSE), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 1450), 1);
    EXPECT_EQ(plat::load<WORD>(fax.data() + 16), 1);
    EXPECT_EQ(DMA_SetFaxAddressNum(&ctx, 70000, FALSE), DMAR_FAIL);
    EXPECT_EQ(DMA_SetFaxAddressNum(nullptr, 1, FALSE), DMAR_FAIL);

    /* Without a fax block nothing is written, setting 380 included. */
    ctx.faxBlock = nullptr;
    EXPECT_EQ(DMA_SetFaxAddressNum(&ctx, 9, FALSE), DMAR_FAIL);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 1450), 1);
}

TEST_F(DmaValues, StructureSizes)
{
    const std::pair<DWORD, DMARESULT> sizes[] = {{0, 0}, {1, 0}, {2, 308}, {3, 706}, {4, 20},
                                                 {5, 742}, {6, 1442}, {7, 0}, {0xFFFFFFFF, 0}};
    for (auto [kind, size] : sizes)
        EXPECT_EQ(DMA_QueryStructSize(kind), size) << kind;
}

TEST_F(DmaValues, EnumerationOfEverySettingFillsTheArrayAndStopsWhenFull)
{
    DmaIdInfo out[10];
    for (DmaIdInfo &o : out)
        o = {0, 0xF3}; /* the caller's bits above the two type bits stay */
    WORD count = 10;
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, DMA_KIND_SETTINGS, &count, out), DMAR_BUFFER);
    for (WORD i = 0; i < 10; ++i) {
        EXPECT_EQ(out[i].id, 257u + i) << i;
        EXPECT_EQ(out[i].flags, i == 2 ? 0xF1u : 0xF0u) << i; /* 259 is a string */
    }

    count = 0;
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, DMA_KIND_SETTINGS, &count, nullptr), DMAR_BUFFER);
    EXPECT_EQ(count, 1113); /* 52 of the 1,165 settings have no public identifier */

    std::vector<DmaIdInfo> all(count);
    WORD capacity = count;
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, DMA_KIND_SETTINGS, &capacity, all.data()), DMAR_DONE);
    EXPECT_EQ(capacity, 1113);
    size_t blocks = 0;
    for (const DmaIdInfo &info : all)
        blocks += (info.flags & DMA_ID_BLOCK) ? 1 : 0;
    EXPECT_EQ(blocks, 2u); /* the two LOGFONTW settings */
}

TEST_F(DmaValues, EnumerationOfADataListKindsFields)
{
    struct Case {
        DWORD kind;
        std::vector<DmaIdInfo> expected;
    };
    const Case cases[] = {
        {DMA_KIND_STAMP,
         {{297, 1}, {299, 1}, {301, 0}, {300, 0}, {455, 0}, {302, 0}, {303, 0}, {456, 0}, {304, 2}}},
        {DMA_KIND_3, {{539, 1}, {540, 1}, {541, 1}, {542, 1}, {543, 1}}},
        {DMA_KIND_MARGIN, {{544, 0}, {547, 0}, {548, 0}, {546, 0}, {545, 0}}},
        {DMA_KIND_FAX_ADDRESS,
         {{514, 0}, {515, 1}, {516, 0}, {517, 1}, {518, 1}, {530, 0}, {531, 0}, {532, 0}, {533, 1}, {534, 0},
          {535, 0}, {536, 1}, {537, 1}, {538, 1}}},
    };
    for (const Case &c : cases) {
        std::vector<DmaIdInfo> out(c.expected.size() + 1, DmaIdInfo{0, 0});
        WORD count = static_cast<WORD>(out.size());
        EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, c.kind, &count, out.data()), DMAR_DONE) << c.kind;
        ASSERT_EQ(count, c.expected.size()) << c.kind;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(out[i].id, c.expected[i].id) << c.kind << " " << i;
            EXPECT_EQ(out[i].flags, c.expected[i].flags) << c.kind << " " << i;
        }
    }
    WORD count = 5;
    DmaIdInfo out[5];
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, 6, &count, out), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, 0, &count, out), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(nullptr, 1, &count, out), DMAR_FAIL);
    EXPECT_EQ(DMA_EnumDMAID_ByTargetInfo(&ctx, 1, nullptr, out), DMAR_FAIL);
}

/* Printer-data places of some user-setting-information settings. */
constexpr size_t PD_5129 = 1134, PD_5146 = 1244, PD_5150 = 1536, PD_5163 = 3844, PD_5165 = 3846,
                 PD_5169 = 3984, PD_5178 = 4172, PD_8203 = 4, PD_8204 = 2, PD_5137 = 1188;

TEST_F(DmaValues, GetUserSettingInfoReadsTheMapsFromThePrinterData)
{
    std::strcpy(ctx.modelName, "TARVEL1");
    PutWide(rec.pd() + PD_5129, u"Acct");
    plat::store<WORD>(rec.pd() + PD_5146, 9);
    plat::store<DWORD>(rec.pd() + PD_5169, 1);
    rec.pd()[PD_5165] = 4;
    plat::store<WORD>(rec.pd() + PD_8203, 0x5003);
    plat::store<WORD>(rec.pd() + PD_8204, 0x0102);
    plat::store<WORD>(rec.pd() + PD_5137, 6);

    DWORD size = 0;
    EXPECT_EQ(DMA_GetUserSettingInfo(&ctx, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 1324u);
    size = 5;
    EXPECT_EQ(DMA_GetUserSettingInfo(&ctx, nullptr, &size), DMAR_FAIL);
    std::vector<BYTE> record(1324, 0xCC);
    size = 1323;
    EXPECT_EQ(DMA_GetUserSettingInfo(&ctx, record.data(), &size), DMAR_BUFFER);
    EXPECT_EQ(record[0], 0xCC);
    size = 1324;
    ASSERT_EQ(DMA_GetUserSettingInfo(&ctx, record.data(), &size), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(record.data() + 0), 3);
    EXPECT_EQ(dma_ReadWide(record.data() + 8, 32), u"TARVEL1");
    EXPECT_EQ(plat::load<WORD>(record.data() + 2), 0x5003);
    EXPECT_EQ(plat::load<WORD>(record.data() + 4), 0x0102);
    EXPECT_EQ(plat::load<WORD>(record.data() + 6), 6);
    EXPECT_EQ(dma_ReadWide(record.data() + 74, 25), u"Acct");
    EXPECT_EQ(plat::load<WORD>(record.data() + 134), 9);
    EXPECT_EQ(plat::load<DWORD>(record.data() + 628), 1u);
    EXPECT_EQ(record[624], 4);
    EXPECT_EQ(record[1323], 0);

    ctx.printerData = nullptr;
    EXPECT_EQ(DMA_GetUserSettingInfo(&ctx, record.data(), &size), DMAR_FAIL);
}

TEST_F(DmaValues, SetUserSettingInfoOfEachVersion)
{
    /* Version 3: every field of sections A and B, the header not. */
    std::vector<BYTE> v3(1324, 0);
    plat::store<WORD>(v3.data(), 3);
    plat::store<WORD>(v3.data() + 2, 0x7777); /* 8203: not written */
    PutWide(v3.data() + 74, u"Acct");
    plat::store<WORD>(v3.data() + 134, 9);
    plat::store<DWORD>(v3.data() + 628, 1);
    plat::store<WORD>(v3.data() + 640, 2);
    rec.pd()[PD_5163] = 1;
    EXPECT_EQ(DMA_SetUserSettingInfo(&ctx, v3.data()), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5129, 25), u"Acct");
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_5146), 9);
    EXPECT_EQ(plat::load<DWORD>(rec.pd() + PD_5169), 1u);
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_5178), 2); /* version 3 keeps 5178 */
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_8203), 0);

    /* Version 1: fields at their older places; with 5163 set, 5178 becomes 7. */
    std::vector<BYTE> v1(484, 0);
    plat::store<WORD>(v1.data(), 1);
    PutWide(v1.data() + 72, u"Owner");  /* 5150 */
    PutWide(v1.data() + 164, u"Dept");  /* 5129 */
    plat::store<WORD>(v1.data() + 224, 11); /* 5146 */
    EXPECT_EQ(DMA_SetUserSettingInfo(&ctx, v1.data()), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5150, 33), u"Owner");
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5129, 25), u"Dept");
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_5146), 11);
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_5178), 7);
    EXPECT_EQ(plat::load<DWORD>(rec.pd() + PD_5169), 0u); /* not in a version 1 record */

    /* Version 2 without 5163: its first 556 bytes, 5178 as the record has it (zero). */
    rec.pd()[PD_5163] = 0;
    std::vector<BYTE> v2(556, 0);
    plat::store<WORD>(v2.data(), 2);
    PutWide(v2.data() + 498, u"Dep2"); /* 5148 */
    EXPECT_EQ(DMA_SetUserSettingInfo(&ctx, v2.data()), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + 1508, 13), u"Dep2");
    EXPECT_EQ(plat::load<WORD>(rec.pd() + PD_5178), 0);

    std::vector<BYTE> v4(1324, 0);
    plat::store<WORD>(v4.data(), 4);
    EXPECT_EQ(DMA_SetUserSettingInfo(&ctx, v4.data()), DMAR_FAIL);
    EXPECT_EQ(DMA_SetUserSettingInfo(&ctx, nullptr), DMAR_FAIL);
    EXPECT_EQ(DMA_SetUserSettingInfo(nullptr, v3.data()), DMAR_FAIL);
}

} // namespace
