// Copy-set jobs through the library's document and page calls: one spool
// job per data set, each with its own sheet-data page (the fax cover of its
// destination, checked against bytes worked out by hand) before the
// document's pages, the rest of every job listing cleanly; the single job of
// a copy set shared by all; the data file of the driver directory; the data
// file of the job deleted only when every set went out; and the refusals.
#include "copy_set_test_support.h"
#include "output_channel.h"
#include "job_listing.h"
#include "sheet_cover.h"
#include "sheet_data.h"
#include "sheet_pipeline.h"

#include <tarvel/base/uix_jobwatch.h>

#include <docmon/docmon_record.h>

#include <plat/file.h>
#include <plat/handle.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace job_test;
using namespace copy_set_test;

namespace {

constexpr char16_t kCopySetPrinter[] = u"Tarvel Copy Sets";
constexpr char16_t kDataFile[] = u"C:\\Fax\\sets.dat";

bool exists(LPCWSTR path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void writeText(LPCWSTR path, const std::string &text)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr));
    CloseHandle(h);
}

/*
 * The cover of copy set i with the settings the fixture writes (variant 0,
 * no title, no marks, no sender texts), Helvetica (device font 0x10: "F"
 * 575, "A" 684, "X" 685, the digits 636 units) at 600 dpi.  Its items, in table order, with their sizes:
 *   "FAX" 100, "To:" 110, "Fax:" 90, address(i) 120, "From:" 110,
 *   "Phone:" 90, "Fax:" 90, "Subject:" 100, "Quarterly report" 130,
 *   "Message:" 90, "Please find the figures attached." 110.
 * Size: 19 (head) + 4 (one "DA") + 10 x 26 (a "Db" for every size change:
 * all but "Fax:" after "Phone:") + 11 x 15 + 5 x (3 + 3 + 4 + 8 + 5 + 6 +
 * 4 + 8 + 16 + 8 + 33 = 98) = 938 bytes.
 */
constexpr size_t kCoverBytes = 938;

/*
 * Its first bytes: the head, "DA" 0x0012 (font 0x10 with bit 1), "Db" of
 * 600 x 100 / 720 = 83.333, then "FAX": right-aligned at 1750 - floor(10 x
 * 25.4 / 72 x 1.5 x 10) = 1698, y 518; in pixels 1698 x 600 / 254 =
 * 4011.024 and 518 x 600 / 254 = 1223.622; widths w x 100 / 1000 x 600 / 72
 * / 10: 47.917, 57 and 57.083.
 */
const std::string kCoverStart = std::string(
    "AR" "AK\x02" "AL\x01\x00\x00\x00\x0D" "AM\x02\x04\x00\x00\x00"
    "DA\x00\x12"
    "Db\x42\xA6\xAA\xAB\x00\x00\x00\x00\x00\x00\x00\x00\xC2\xA6\xAA\xAB\x00\x00\x00\x00\x00\x00\x00\x00"
    "Dd\x45\x7A\xB0\x61\x44\x98\xF3\xE8\x02\x00\x03"
    "\x42\x3F\xAA\xAB\x42\x64\x00\x00\x42\x64\x55\x55\x00\x03" "FAX",
    19 + 4 + 26 + 11 + 12 + 5);

/*
 * The address of copy set i: size 120 at (680, 864): 1606.299 and 2040.945
 * pixels, eight widths of 636 x 120 / 1000 x 600 / 72 / 10 = 63.6.
 */
std::string addressRecord(unsigned i)
{
    std::string r("Dd\x44\xC8\xC9\x93\x44\xFF\x1E\x3C\x02\x00\x08", 13);
    for (int k = 0; k < 8; k++)
        r += std::string("\x42\x7E\x66\x66", 4);
    r += std::string("\x00\x08", 2) + "0312345" + char('0' + i);
    return r;
}

class CopySetJob : public FirstJob {
protected:
    void SetUp() override
    {
        FirstJob::SetUp();
        CreateDirectoryW(u"C:\\Fax", nullptr);
        writeText(kDataFile, "the job's copy-set data");
    }

    /* Installs the copy-set printer of `model` and enables a context on it. */
    void enableCopySetContext(const mw::Model &model = copySetModel(), const std::string &dataFile = "DATAFILE")
    {
        installCopySetPrinter(model, dataFile);
        enableContext();
    }

    /* Installs the copy-set printer of `model`, with "cover.dat" of `dataFile` in its driver directory. */
    void installCopySetPrinter(const mw::Model &model, const std::string &dataFile = "DATAFILE")
    {
        printer.reset();
        std::string dir = (root / "models").string();
        std::filesystem::create_directories(dir);
        std::string error;
        ASSERT_TRUE(mw::writeFiles(model, dir, error)) << error;
        std::ofstream(dir + "/cover.dat", std::ios::binary) << dataFile;
        install(kCopySetPrinter, model.fileName,
                {dir + "/" + model.fileName, dir + "/" + model.companionName, dir + "/cover.dat"});
        printer = std::make_unique<Printer>(kCopySetPrinter);
        ASSERT_NE(printer->handle, nullptr);
    }

    /* The copy-set settings of a job of `sets` data sets and the cover settings the expected covers assume. */
    void copySetSettings(LONG sets, LONG sameForAll, LONG formName)
    {
        put(376, 1);
        put(377, formName);
        put(379, sameForAll);
        put(380, sets);
        put(381, 0);
        putText(375, kDataFile);
        put(1804, 0);
        putText(1805, u"");
        put(1807, 0);
        put(1808, 0);
        put(1809, 0);
        for (WORD id : {1806, 1820, 1821, 1822, 1823, 1830})
            putText(id, u"");
    }

    /* Starts the document and hands over the copy-set data of `destinations` destinations. */
    bool startCopySetDoc(WORD destinations)
    {
        if (!startDoc())
            return false;
        std::vector<BYTE> list = sendList(destinations);
        return JOB_SetCopySetData(pdev, DWORD(list.size()), list.data()) == 0;
    }

    std::vector<std::string> spoolJobs()
    {
        std::vector<std::string> out;
        for (const auto &job : plat::spool_jobs(kCopySetPrinter)) {
            std::vector<BYTE> bytes;
            EXPECT_TRUE(plat::spool_job_bytes(job.id, bytes));
            out.emplace_back(bytes.begin(), bytes.end());
        }
        return out;
    }
};

/* The job with its cover cut out (the printer reads the cover's records, the lister does not), listed. */
Job listWithoutCover(const std::string &bytes, std::string *cover)
{
    size_t at = bytes.find("ARAK");
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos)
        return list(bytes);
    *cover = bytes.substr(at, kCoverBytes);
    return list(bytes.substr(0, at) + bytes.substr(std::min(bytes.size(), at + kCoverBytes)));
}

size_t count(const std::vector<std::string> &ops, const std::string &prefix)
{
    return size_t(std::count_if(ops.begin(), ops.end(), [&](const std::string &o) { return o.rfind(prefix, 0) == 0; }));
}

TEST_F(CopySetJob, ThreeDataSetsMakeThreeSpoolJobsEachWithItsOwnCover)
{
    enableCopySetContext();
    traceWith("0x1");
    copySetSettings(3, 0, 1); /* the form-name record, with no form named: none */
    ASSERT_TRUE(startCopySetDoc(3));
    ASSERT_TRUE(finishBlank(2)) << traceText();
    EXPECT_EQ(traceText(), "") << "nothing went wrong on the way";

    const std::vector<std::string> jobs = spoolJobs();
    ASSERT_EQ(jobs.size(), 3u);
    for (unsigned i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        std::string cover;
        Job j = listWithoutCover(jobs[i], &cover);
        EXPECT_EQ(cover.substr(0, kCoverStart.size()), kCoverStart);
        EXPECT_NE(cover.find(addressRecord(i)), std::string::npos);
        for (unsigned other = 0; other < 3; other++) {
            if (other != i) {
                EXPECT_EQ(cover.find(addressRecord(other)), std::string::npos) << other;
            }
        }
        /* the sheet-data page (colour code 1 with source 0), then the two document pages */
        EXPECT_EQ(count(j.ops, "BeginPage"), 3u);
        ASSERT_FALSE(mediaSources(j).empty());
        EXPECT_EQ(mediaSources(j)[0], "MediaSource=0") << "the sheet-data page names no tray";
        EXPECT_EQ(count(j.ops, "EndPage"), 3u);
        EXPECT_EQ(count(j.ops, "BeginSession"), 1u);
        ASSERT_FALSE(j.ops.empty());
        EXPECT_EQ(j.ops.back(), "EndSession");
        EXPECT_NE(j.header.find("@PJL"), std::string::npos);
        EXPECT_NE(j.trailer.find("@PJL EOJ"), std::string::npos);
        /* the cover lies on the first page, between its page start and its end */
        const size_t firstEnd = j.bytes.find("ARAK");
        EXPECT_LT(j.bytes.find("StartPage"), firstEnd);
    }
    EXPECT_FALSE(exists(kDataFile)) << "every set went out: the data file goes with the job";
}

/* The engine's spool handle: writes to it go to the spooler, writes to any other (a later set's job) fail. */
HANDLE g_engineJob = nullptr;
BOOL failLaterSets(HANDLE printer, const void *bytes, DWORD length, DWORD *written)
{
    if (printer != g_engineJob) {
        *written = 0;
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return WritePrinter(printer, const_cast<void *>(bytes), length, written);
}

TEST_F(CopySetJob, ASetWhoseOutputFailsIsDeletedNotPrintedCutOff)
{
    /* Three data sets; the second set's spool job takes no byte.  Before, that job was ended with what had
       gone out (nothing of its pages) and printed; now it is deleted, no third set starts, and the failed job
       keeps its data file. */
    enableCopySetContext();
    copySetSettings(3, 0, 1);
    ASSERT_TRUE(startCopySetDoc(3));
    g_engineJob = pdev->jobSettings->printer;
    OUT_SetTestSink(failLaterSets);
    const bool finished = finishBlank(2);
    OUT_SetTestSink(nullptr);
    EXPECT_FALSE(finished);
    const std::vector<plat::SpoolJob> jobs = plat::spool_jobs(kCopySetPrinter);
    for (const plat::SpoolJob &job : jobs)
        EXPECT_TRUE(job.status & JOB_STATUS_SPOOLING || job.bytes > 0) << "job " << job.id << " ended empty";
    EXPECT_LE(jobs.size(), 1u) << "only the engine's own job of the first set may be left";
    EXPECT_TRUE(exists(kDataFile)) << "a failed job keeps its data file";
}

TEST_F(CopySetJob, EachSetIsRegisteredWithTheDocumentMonitorAndReleasedAfterIt)
{
    UIX_ResetJobwatchForTest();
    ASSERT_TRUE(DocmonInstall(plat::driver_dir_win() + u"\\tarveljwm.dll"));
    enableCopySetContext();
    const DWORD on = 1;
    ASSERT_EQ(DMB_SetValue(8201, pdev->settings, pdev->printerData, SVT_FLAG, 4, &on), DMA_OK);
    put(1321, 1);
    copySetSettings(3, 0, 1);
    ASSERT_TRUE(startCopySetDoc(3));
    ASSERT_TRUE(finishBlank(1)) << traceText();

    const std::vector<std::string> jobs = spoolJobs();
    ASSERT_EQ(jobs.size(), 3u);
    /* Each set's registration is released after the set, which unloads the stand-in; the next set's
       header loads it afresh, so every set's key is the stand-in's first. */
    for (unsigned i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        std::string cover;
        Job j = listWithoutCover(jobs[i], &cover);
        EXPECT_NE(j.header.find("@PJL SET JOBATTR=\"@JCID=CLIENT-1.JOB-1\"\n"), std::string::npos) << j.header;
    }
    EXPECT_EQ(DocmonRecordOf(u"tarveljwm.dll"), nullptr) << "no registration is left holding the monitor";
    EXPECT_EQ(pdev->owner.registration, nullptr);
    UIX_ResetJobwatchForTest();
}

TEST_F(CopySetJob, ASetForAllDestinationsIsOneJobWithOneCover)
{
    enableCopySetContext();
    copySetSettings(3, 1, 1);
    putText(1806, u""); /* the recipient text of a set for all: empty, so the cover holds what one set's holds */
    ASSERT_TRUE(startCopySetDoc(3));
    ASSERT_TRUE(finishBlank(1));
    const std::vector<std::string> jobs = spoolJobs();
    ASSERT_EQ(jobs.size(), 1u);
    const std::string &bytes = jobs[0];
    size_t at = bytes.find("ARAK");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find("ARAK", at + 1), std::string::npos) << "one cover";
    /* with setting 379 on, the recipient rows after the name are left out: no address */
    EXPECT_EQ(bytes.find(addressRecord(0)), std::string::npos);
    EXPECT_FALSE(exists(kDataFile));
}

TEST_F(CopySetJob, WithAHeadWrittenAtTheEndTheFirstSheetDataPageFollowsIt)
{
    dm->set(16, 2);
    enableCopySetContext();
    copySetSettings(3, 1, 1); /* one job for all sets, its sheet-data page first */
    putText(1806, u"");
    ASSERT_TRUE(startCopySetDoc(3));
    /* a model that duplexes by the driver: the head needs the sheet count and is written at the end */
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    ASSERT_TRUE(finishBlank(2));
    const std::vector<std::string> jobs = spoolJobs();
    ASSERT_EQ(jobs.size(), 1u);
    const std::string &bytes = jobs[0];
    EXPECT_EQ(bytes.rfind("\x1B%-12345X@PJL", 0), 0u) << "the job starts with its head";
    const size_t stream = bytes.find(") HP-PCL XL"), cover = bytes.find("ARAK");
    ASSERT_NE(cover, std::string::npos);
    EXPECT_LT(stream, cover) << "the sheet-data page waited for the head";
    EXPECT_FALSE(exists(kDataFile));
}

TEST_F(CopySetJob, TheDataFileOfTheDriverDirectoryPrecedesTheCover)
{
    std::string data(40000, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = char('a' + i % 26);
    enableCopySetContext(copySetModel(), data);
    copySetSettings(2, 0, 0); /* setting 377 off: the data file */
    ASSERT_TRUE(startCopySetDoc(2));
    ASSERT_TRUE(finishBlank(1));
    const std::vector<std::string> jobs = spoolJobs();
    ASSERT_EQ(jobs.size(), 2u);
    for (const std::string &bytes : jobs) {
        size_t cover = bytes.find("ARAK");
        ASSERT_NE(cover, std::string::npos);
        ASSERT_GE(cover, data.size());
        EXPECT_EQ(bytes.substr(cover - data.size(), data.size()), data) << "copied whole, just before the cover";
    }
}

TEST_F(CopySetJob, AMissingDataFileOfTheDriverDirectoryFailsTheJobAndKeepsTheJobsDataFile)
{
    mw::Model model = copySetModel();
    for (mw::FileHead *h : {&model.main, &model.companion})
        h->entries[28] = mw::eTexts({mw::stored("absent.dat")});
    enableCopySetContext(model);
    traceWith("0x1");
    copySetSettings(2, 0, 0);
    ASSERT_TRUE(startCopySetDoc(2));
    EXPECT_FALSE(finishBlank(1));
    EXPECT_NE(traceText().find("SDB_CopyDataFile"), std::string::npos);
    EXPECT_TRUE(exists(kDataFile)) << "a failed job keeps its data file";
}

TEST_F(CopySetJob, ACoverWithoutItsFontFailsTheJobAndKeepsTheDataFile)
{
    enableCopySetContext(copySetModel(false));
    traceWith("0x1");
    copySetSettings(3, 0, 1);
    ASSERT_TRUE(startCopySetDoc(3));
    EXPECT_FALSE(finishBlank(1));
    EXPECT_NE(traceText().find("SDB_WriteCover: the model has no cover font"), std::string::npos);
    EXPECT_TRUE(exists(kDataFile));
}

TEST_F(CopySetJob, MoreDataSetsThanDestinationsAreRefusedBeforeAnyByte)
{
    enableCopySetContext();
    traceWith("0x1");
    copySetSettings(4, 0, 1);
    ASSERT_TRUE(startCopySetDoc(3));
    SetLastError(0);
    EXPECT_FALSE(DrvStartPage(so) && DrvSendPage(so));
    EXPECT_NE(traceText().find("4 data sets asked for, the copy-set data holds 3 destinations"), std::string::npos);
    DrvEndDoc(so, 0);
    EXPECT_EQ(spooled(), "");
    EXPECT_EQ(spoolJobs().size(), 1u) << "no second spool job";
    EXPECT_TRUE(exists(kDataFile));
}

TEST_F(CopySetJob, WithoutCopySetDataTheJobIsAPlainOne)
{
    enableCopySetContext();
    copySetSettings(3, 0, 1);
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(finishBlank(1));
    Job j = list(spooled());
    EXPECT_EQ(count(j.ops, "BeginPage"), 1u);
    EXPECT_EQ(j.bytes.find("ARAK"), std::string::npos);
    EXPECT_TRUE(exists(kDataFile)) << "only a copy-set job owns the data file";
}

TEST_F(CopySetJob, UnterminatedTextsOfADestinationAreCutAtTheirFields)
{
    /* Every text field of the destination filled to its last byte without a terminator. */
    std::vector<BYTE> d(sizeof(CoverDestination), 0);
    for (DWORD at : {FAX_E_ADDRESS, FAX_E_TEXT_1797, FAX_E_TEXT_1798}) {
        const DWORD size = at == FAX_E_ADDRESS ? FAX_E_ADDRESS_SIZE : at == FAX_E_TEXT_1797 ? 82 : 166;
        for (DWORD k = 0; k + 1 < size; k += 2)
            d[at + k] = '7';
    }
    for (DWORD k = 0; k + 1 < FAX_HEADER_TEXT1_SIZE + FAX_HEADER_TEXT2_SIZE; k += 2)
        d[FAX_ENTRY_SIZE + k] = 'M';
    enableCopySetContext();
    ASSERT_TRUE(startDoc());
    copySetSettings(1, 0, 1);
    CoverSettings s{};
    CoverDialling dialling{};
    CoverItems items{};
    ASSERT_EQ(SDB_BuildItems(d.data(), s, dialling, nullptr, nullptr, &items), 0);
    /* 1797: 40 characters; 1798: 82 characters, two lines of 40; the address: 128 characters cut to 127;
       the first header text: 40 characters; the second: 670 characters, its 16 lines of 40 */
    std::vector<size_t> lengths;
    for (int i = 0; i < items.count; i++)
        lengths.push_back(std::u16string(items.item[i].text).size());
    std::vector<size_t> expected = {40, 40, 40, 127, 40};
    expected.insert(expected.end(), 16, 40);
    EXPECT_EQ(lengths, expected);
    pdev->jobState |= JOB_SHEET_SET_UP;
    EXPECT_EQ(SDB_WriteCover(pdev, reinterpret_cast<const CoverDestination *>(d.data())), 0);
    pdev->jobState &= ~DWORD(JOB_SHEET_SET_UP);
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
}

} // namespace
