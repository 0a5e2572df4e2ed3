// The copy-set data of a job: the fax send list of the copy-set escape
// loaded, checked, read back as one destination record per copy set,
// replaced and freed; and the copy-set settings carried from one settings
// image to another.
#include "copy_set_test_support.h"
#include "job_channel.h"
#include "sheet_data.h"
#include "sheet_pipeline.h"
#include "test_job_support.h"

#include <plat/memory.h>

#include <cstring>
#include <string>
#include <vector>

using namespace job_test;

namespace {

using copy_set_test::sendList;

std::u16string text(const BYTE *p)
{
    std::u16string s;
    for (size_t i = 0;; i += 2) {
        char16_t c = char16_t(p[i] | p[i + 1] << 8);
        if (!c)
            return s;
        s += c;
    }
}

TEST_F(JobTest, CopySetDataIsCheckedAndReadAsDestinations)
{
    enableContext();
    std::vector<BYTE> list = sendList(3);
    ASSERT_EQ(SDB_LoadCopySetData(pdev, DWORD(list.size()), list.data()), 0);
    list[FAX_HEADER_SIZE + FAX_E_ADDRESS] = 'X'; /* the data is a copy */
    EXPECT_EQ(SDB_CopySetCount(pdev), 3);
    for (DWORD i = 0; i < 3; i++) {
        CoverDestination d;
        std::memset(&d, 0xEE, sizeof d);
        ASSERT_EQ(SDB_GetDestination(pdev, i, &d), 0) << i;
        EXPECT_EQ(text(d.entry + FAX_E_ADDRESS), u"0312345" + std::u16string(1, char16_t(u'0' + i)));
        EXPECT_EQ(d.entry[FAX_E_PREFIX_SELECT], BYTE(i + 1));
        EXPECT_EQ(text(d.headerText1), u"Quarterly report");
        EXPECT_EQ(text(d.headerText2), u"Please find the figures attached.");
        EXPECT_EQ(d.headerText2[FAX_HEADER_TEXT2_SIZE - 1], 0) << "zero-filled after the text";
    }
    CoverDestination d;
    EXPECT_EQ(SDB_GetDestination(pdev, 3, &d), -1) << "not below the count";
    EXPECT_EQ(SDB_GetDestination(pdev, 0, nullptr), -1);

    /* a new block replaces the old one; a bad one leaves none */
    std::vector<BYTE> one = sendList(1);
    ASSERT_EQ(SDB_LoadCopySetData(pdev, DWORD(one.size()), one.data()), 0);
    EXPECT_EQ(SDB_CopySetCount(pdev), 1);
    struct Bad {
        const char *what;
        std::vector<BYTE> block;
    } bad[] = {
        {"one byte short", std::vector<BYTE>(one.begin(), one.end() - 1)},
        {"a count that does not match the size", [&] {
             std::vector<BYTE> b = sendList(2);
             b[16] = 3;
             return b;
         }()},
        {"another tag", [&] {
             std::vector<BYTE> b = sendList(1);
             b[0] = 'X';
             return b;
         }()},
        {"only a header's worth", std::vector<BYTE>(one.begin(), one.begin() + 100)},
        /* a whole list of no destination: the job would send nowhere (it was taken before, with no set) */
        {"no destination", sendList(0)},
    };
    for (const Bad &b : bad) {
        EXPECT_EQ(SDB_LoadCopySetData(pdev, DWORD(b.block.size()), b.block.data()), -1) << b.what;
        EXPECT_EQ(pdev->copySetData, nullptr) << b.what;
        EXPECT_EQ(SDB_CopySetCount(pdev), 0) << b.what;
        EXPECT_EQ(SDB_GetDestination(pdev, 0, &d), -1) << b.what;
    }
    EXPECT_EQ(SDB_LoadCopySetData(pdev, 0, one.data()), -1);
    EXPECT_EQ(SDB_LoadCopySetData(nullptr, DWORD(one.size()), one.data()), -1);

    ASSERT_EQ(SDB_LoadCopySetData(pdev, DWORD(one.size()), one.data()), 0);
    EXPECT_EQ(SDB_FreeCopySetData(pdev), 0);
    EXPECT_EQ(pdev->copySetData, nullptr);
    EXPECT_EQ(SDB_FreeCopySetData(pdev), 0) << "nothing left to free";
    EXPECT_EQ(SDB_FreeCopySetData(nullptr), -1);
}

TEST_F(JobTest, TheCopySetSettingsAreCarriedToAnotherSettingsImage)
{
    enableContext();
    putText(374, u"Sets");
    putText(375, u"C:\\Fax\\data.fxd");
    put(376, 1);
    put(377, 1);
    put(379, 0);
    put(380, 3);
    put(381, 1);
    std::vector<BYTE> other(SETTINGS_IMAGE_SIZE, 0);
    std::memcpy(other.data(), pdev->settings, SETTINGS_IMAGE_SIZE);
    auto *to = other.data();
    /* the other image with its own values first */
    ASSERT_EQ(DMB_SetValueArgs(to, nullptr, 380, 3, 0), DMA_OK);
    const WCHAR *none = u"";
    ASSERT_EQ(DMB_SetValue(375, to, nullptr, SVT_WSTRING, 2, &none), DMA_OK);
    ASSERT_EQ(JOB_CopySetSettings(to, pdev->settings), 0);
    DWORD v = 0;
    for (WORD id : {376, 377, 380, 381}) {
        DWORD mine = 0;
        ASSERT_EQ(PDEV_ReadSetting32(to, nullptr, id, &v), 0) << id;
        ASSERT_EQ(PDEV_ReadSetting32(pdev->settings, nullptr, id, &mine), 0) << id;
        EXPECT_EQ(v, mine) << id;
    }
    ASSERT_EQ(PDEV_ReadSetting32(to, nullptr, 380, &v), 0);
    EXPECT_EQ(v, 3u);
    WORD type = 0;
    LONG size = 0;
    alignas(8) BYTE slot[8] = {};
    ASSERT_EQ(DMB_GetValue(375, to, nullptr, &type, &size, slot), 0);
    const WCHAR *path = nullptr;
    std::memcpy(&path, slot, sizeof path);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::u16string(path), u"C:\\Fax\\data.fxd");
    EXPECT_EQ(JOB_CopySetSettings(nullptr, pdev->settings), -1);
    EXPECT_EQ(JOB_CopySetSettings(to, nullptr), -1);
}

} // namespace

namespace {

TEST_F(JobTest, ASecondSpoolJobTakesOverTheOutputAndIsClosedAfter)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    OutputChannel *channel = pdev->channel;
    ASSERT_EQ(OUT_Write(channel, 5, "first"), 5);
    ASSERT_EQ(OUT_OpenJobOnNewSpoolJob(pdev), 0);
    EXPECT_EQ(OUT_OpenJobOnNewSpoolJob(pdev), -1) << "one second job at a time";
    ASSERT_EQ(OUT_Write(channel, 6, "second"), 6);
    ASSERT_EQ(OUT_CloseJobTarget(pdev), 0);
    EXPECT_EQ(channel->target, nullptr);
    EXPECT_EQ(OUT_CloseJobTarget(pdev), 0) << "nothing left to close";
    auto jobs = plat::spool_jobs(kColourPrinter);
    ASSERT_EQ(jobs.size(), 2u);
    std::vector<BYTE> bytes;
    ASSERT_TRUE(plat::spool_job_bytes(jobId, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first") << "the engine's job keeps its bytes";
    ASSERT_TRUE(plat::spool_job_bytes(jobs[1].id, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "second");
    EXPECT_EQ(jobs[1].document, u"Report");
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(OUT_OpenJobOnNewSpoolJob(nullptr), -1);
    EXPECT_EQ(OUT_CloseJobTarget(nullptr), -1);
}

} // namespace

namespace {

TEST_F(JobTest, TheFormNameRecordNamesTheFormFileOnceTheSheetIsSetUp)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    putText(1830, u"C:\\Forms\\Memo.frm");
    pdev->jobState &= ~DWORD(JOB_SHEET_SET_UP);
    EXPECT_EQ(SDB_WriteFormName(pdev), -1) << "nothing reaches the job before the first sheet";
    pdev->jobState |= JOB_SHEET_SET_UP;
    ASSERT_EQ(SDB_WriteFormName(pdev), 0);
    putText(1830, u"C:\\Forms\\");
    EXPECT_EQ(SDB_WriteFormName(pdev), 0) << "no file-name part: no record";
    ASSERT_EQ(OUT_Flush(pdev->channel), 0);
    /* "Eg", length 4, "Memo", the matrix {1, 0, 0, 1, 0, 0} as big-endian floats, a zero byte */
    const std::string expected = std::string("Eg\0\4Memo\x3F\x80\0\0\0\0\0\0\0\0\0\0\x3F\x80\0\0\0\0\0\0\0\0\0\0\0", 33);
    const std::string bytes = spooled();
    EXPECT_NE(bytes.find(expected), std::string::npos);
    EXPECT_EQ(SDB_WriteFormName(nullptr), -1);
}

} // namespace
