// The job side: a job's pages, bytes and recorded write lengths, failed and
// short writes, a second job on another handle, ending, aborting and
// deleting jobs, the job list, and the output file.
#include "spool_fixture.h"

#include <plat/fault.h>

#include <iterator>

using namespace spooltest;

namespace {

class SpoolJobs : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        install();
    }

    static DWORD start(HANDLE h, const char16_t *doc = u"Report", const char16_t *data_type = nullptr,
                       const char16_t *output = nullptr)
    {
        DOC_INFO_1W di{const_cast<LPWSTR>(doc), const_cast<LPWSTR>(output), const_cast<LPWSTR>(data_type)};
        return StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
    }

    static std::vector<BYTE> pattern(size_t n, BYTE seed)
    {
        std::vector<BYTE> v(n);
        for (size_t i = 0; i < n; i++)
            v[i] = BYTE(seed + i * 13);
        return v;
    }

    static std::vector<BYTE> job_bytes(DWORD job)
    {
        std::vector<BYTE> b;
        EXPECT_TRUE(plat::spool_job_bytes(job, b));
        return b;
    }
};

TEST_F(SpoolJobs, AJobKeepsItsPagesBytesAndWriteLengths)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    ASSERT_NE(job, 0u);
    std::vector<BYTE> all;
    const DWORD pieces[] = {2048, 1, 0, 5000};
    ASSERT_TRUE(StartPagePrinter(h));
    for (DWORD n : pieces) {
        std::vector<BYTE> p = pattern(n, BYTE(n));
        DWORD written = 99;
        ASSERT_TRUE(WritePrinter(h, p.data(), n, &written));
        EXPECT_EQ(written, n);
        all.insert(all.end(), p.begin(), p.end());
    }
    ASSERT_TRUE(EndPagePrinter(h));
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(EndPagePrinter(h));

    auto jobs = plat::spool_jobs(kPrinter);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].status, JOB_STATUS_SPOOLING);
    ASSERT_TRUE(EndDocPrinter(h));

    jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].printer, kPrinter);
    EXPECT_EQ(jobs[0].document, u"Report");
    EXPECT_EQ(jobs[0].owner, u"tarvel");
    EXPECT_EQ(jobs[0].data_type, u"RAW");
    EXPECT_EQ(jobs[0].status, 0u);
    EXPECT_EQ(jobs[0].pages, 2u);
    EXPECT_EQ(jobs[0].bytes, all.size());
    EXPECT_EQ(job_bytes(job), all);
    EXPECT_EQ(plat::spool_write_sizes(job), std::vector<DWORD>(std::begin(pieces), std::end(pieces)));
}

TEST_F(SpoolJobs, MillionBytePiecesAreRecordedAsCalled)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    std::vector<BYTE> big = pattern(2500000, 1);
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(h, big.data(), 1000000, &written));
    ASSERT_TRUE(WritePrinter(h, big.data() + 1000000, 1000000, &written));
    ASSERT_TRUE(WritePrinter(h, big.data() + 2000000, 500000, &written));
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(plat::spool_write_sizes(job), (std::vector<DWORD>{1000000, 1000000, 500000}));
    EXPECT_EQ(job_bytes(job), big);
}

TEST_F(SpoolJobs, ManySmallWritesKeepEveryByteAndLengthInOrder)
{
    // Enough calls that both the bytes and the recorded lengths pass what the
    // spooler gathers in memory before writing its files.
    Printer h(kPrinter);
    DWORD job = start(h);
    std::vector<BYTE> all;
    std::vector<DWORD> lengths;
    std::vector<BYTE> piece = pattern(7, 3);
    for (DWORD i = 0; i < 300000; i++) {
        DWORD n = i % 8, written = 99;
        ASSERT_TRUE(WritePrinter(h, piece.data(), n, &written));
        ASSERT_EQ(written, n);
        all.insert(all.end(), piece.begin(), piece.begin() + n);
        lengths.push_back(n);
        if (i == 150000) {
            EXPECT_EQ(job_bytes(job), all) << "bytes of a job still being written";
            EXPECT_EQ(plat::spool_write_sizes(job), lengths);
        }
    }
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(plat::spool_jobs()[0].bytes, all.size());
    EXPECT_EQ(job_bytes(job), all);
    EXPECT_EQ(plat::spool_write_sizes(job), lengths);
}

TEST_F(SpoolJobs, InjectedWriteFailureHitsTheNthCall)
{
    for (unsigned n = 1; n <= 3; n++) {
        SCOPED_TRACE(n);
        Printer h(kPrinter);
        DWORD job = start(h);
        plat::spool_fail_write_after(n, ERROR_DISK_FULL);
        std::vector<BYTE> kept;
        for (unsigned call = 1; call <= 3; call++) {
            std::vector<BYTE> p = pattern(100 * call, BYTE(call));
            DWORD written = 77;
            SetLastError(0);
            BOOL ok = WritePrinter(h, p.data(), DWORD(p.size()), &written);
            if (call == n) {
                EXPECT_FALSE(ok);
                EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
                EXPECT_EQ(written, 0u);
            } else {
                EXPECT_TRUE(ok);
                EXPECT_EQ(written, p.size());
                kept.insert(kept.end(), p.begin(), p.end());
            }
        }
        ASSERT_TRUE(EndDocPrinter(h));
        EXPECT_EQ(job_bytes(job), kept);
        EXPECT_EQ(plat::spool_write_sizes(job), (std::vector<DWORD>{100, 200, 300})) << "failed calls are recorded";
    }
}

TEST_F(SpoolJobs, InjectedShortWriteTakesPartOfOneCall)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    plat::spool_short_write_after(2, 10);
    std::vector<BYTE> a = pattern(50, 1), b = pattern(50, 2), c = pattern(50, 3);
    DWORD w1 = 0, w2 = 0, w3 = 0;
    ASSERT_TRUE(WritePrinter(h, a.data(), 50, &w1));
    ASSERT_TRUE(WritePrinter(h, b.data(), 50, &w2));
    ASSERT_TRUE(WritePrinter(h, c.data(), 50, &w3));
    EXPECT_EQ(w1, 50u);
    EXPECT_EQ(w2, 10u);
    EXPECT_EQ(w3, 50u);
    ASSERT_TRUE(EndDocPrinter(h));
    std::vector<BYTE> expect = a;
    expect.insert(expect.end(), b.begin(), b.begin() + 10);
    expect.insert(expect.end(), c.begin(), c.end());
    EXPECT_EQ(job_bytes(job), expect);
    EXPECT_EQ(plat::spool_write_sizes(job), (std::vector<DWORD>{50, 50, 50}));
}

TEST_F(SpoolJobs, ASecondJobOnAnotherHandleIsItsOwn)
{
    Printer engine(kPrinter);
    DWORD first = start(engine, u"main");
    BYTE x = 'x', y = 'y';
    DWORD w = 0;
    ASSERT_TRUE(WritePrinter(engine, &x, 1, &w));
    Printer copy_set(kPrinter);
    DWORD second = start(copy_set, u"main", u"RAW");
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    ASSERT_TRUE(StartPagePrinter(copy_set));
    ASSERT_TRUE(WritePrinter(copy_set, &y, 1, &w));
    ASSERT_TRUE(EndPagePrinter(copy_set));
    ASSERT_TRUE(EndDocPrinter(copy_set));
    ASSERT_TRUE(WritePrinter(engine, &x, 1, &w));
    ASSERT_TRUE(EndDocPrinter(engine));
    EXPECT_EQ(job_bytes(first), (std::vector<BYTE>{'x', 'x'}));
    EXPECT_EQ(job_bytes(second), (std::vector<BYTE>{'y'}));
    auto jobs = plat::spool_jobs(kPrinter);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].id, first);
    EXPECT_EQ(jobs[1].pages, 1u);
}

TEST_F(SpoolJobs, CallsOutOfOrderAreRefused)
{
    Printer h(kPrinter);
    BYTE b = 0;
    DWORD w = 5;
    SetLastError(0);
    BOOL r = WritePrinter(h, &b, 1, &w);
    EXPECT_FALSE(r);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SPL_NO_STARTDOC));
    EXPECT_EQ(w, 0u);
    for (auto fn : {StartPagePrinter, EndPagePrinter, EndDocPrinter, AbortPrinter}) {
        SetLastError(0);
        EXPECT_FALSE(fn(h));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SPL_NO_STARTDOC));
    }
    SetLastError(0);
    EXPECT_EQ(start(h, u"x", u"NT EMF 1.008"), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATATYPE));
    DOC_INFO_1W di{const_cast<LPWSTR>(u"x"), nullptr, nullptr};
    SetLastError(0);
    EXPECT_EQ(StartDocPrinterW(h, 2, reinterpret_cast<BYTE *>(&di)), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
    ASSERT_NE(start(h), 0u);
    SetLastError(0);
    EXPECT_EQ(start(h), 0u) << "one job per handle";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(WritePrinter(h, &b, 1, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(WritePrinter(h, nullptr, 1, &w));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(plat::spool_jobs()[0].bytes, 0u);
}

TEST_F(SpoolJobs, AbortDeletesTheJobAndItsFiles)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    BYTE b = 1;
    DWORD w = 0;
    ASSERT_TRUE(WritePrinter(h, &b, 1, &w));
    std::string path = plat::spool_job_path(job);
    ASSERT_TRUE(std::filesystem::exists(path));
    ASSERT_TRUE(AbortPrinter(h));
    EXPECT_TRUE(plat::spool_jobs().empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    std::vector<BYTE> none;
    EXPECT_FALSE(plat::spool_job_bytes(job, none));
    EXPECT_NE(start(h), 0u) << "the handle can start again";
    EXPECT_TRUE(EndDocPrinter(h));
}

TEST_F(SpoolJobs, ClosingTheHandleEndsItsJob)
{
    DWORD job;
    {
        Printer h(kPrinter);
        job = start(h);
        ASSERT_TRUE(StartPagePrinter(h));
        BYTE b = 1;
        DWORD w = 0;
        ASSERT_TRUE(WritePrinter(h, &b, 1, &w));
    }
    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].status, 0u);
    EXPECT_EQ(jobs[0].pages, 1u);
    EXPECT_EQ(jobs[0].bytes, 1u);
}

TEST_F(SpoolJobs, DeletingAJobBeingWrittenCancelsItsWrites)
{
    Printer h(kPrinter);
    Printer monitor(kPrinter);
    DWORD job = start(h);
    ASSERT_TRUE(SetJobW(monitor, job, 0, nullptr, JOB_CONTROL_DELETE));
    EXPECT_EQ(plat::spool_jobs()[0].status, JOB_STATUS_SPOOLING | JOB_STATUS_DELETING);
    BYTE b = 1;
    DWORD w = 0;
    SetLastError(0);
    EXPECT_FALSE(WritePrinter(h, &b, 1, &w));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINT_CANCELLED));
    EXPECT_TRUE(EndDocPrinter(h));
    EXPECT_TRUE(plat::spool_jobs().empty());
}

TEST_F(SpoolJobs, JobCommandsChangeTheStatus)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    ASSERT_TRUE(EndDocPrinter(h));
    auto status = [&] {
        Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetJobW(h, job, 1, b, c, n); });
        return a.as<JOB_INFO_1W>()->Status;
    };
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_PAUSE));
    EXPECT_EQ(status(), JOB_STATUS_PAUSED);
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_RESUME));
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_RETAIN));
    EXPECT_EQ(status(), JOB_STATUS_RETAINED);
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_RELEASE));
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER));
    EXPECT_EQ(status(), JOB_STATUS_PRINTED);
    SetLastError(0);
    EXPECT_FALSE(SetJobW(h, job, 0, nullptr, 77));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(SetJobW(h, job, 1, nullptr, JOB_CONTROL_PAUSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
    SetLastError(0);
    EXPECT_FALSE(SetJobW(h, job + 100, 0, nullptr, JOB_CONTROL_PAUSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(SetJobW(h, job, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));
    EXPECT_TRUE(plat::spool_jobs().empty()) << "a printed job leaves the queue";
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetJobW(h, job, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolJobs, KeptPrintedJobsStayListed)
{
    install(u"Keeper");
    Printer admin(u"Keeper", PRINTER_ALL_ACCESS);
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(admin, 2, b, c, n); });
    PRINTER_INFO_2W change = *a.as<PRINTER_INFO_2W>();
    change.Attributes |= PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS;
    ASSERT_TRUE(SetPrinterW(admin, 2, reinterpret_cast<BYTE *>(&change), 0));
    DWORD job = start(admin);
    ASSERT_TRUE(EndDocPrinter(admin));
    ASSERT_TRUE(SetJobW(admin, job, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));
    auto jobs = plat::spool_jobs(u"Keeper");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].status, JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE);
}

TEST_F(SpoolJobs, TheJobListPagesThroughTheQueue)
{
    Printer h(kPrinter);
    DWORD ids[3];
    const char16_t *docs[] = {u"one", u"two", u"three"};
    for (int i = 0; i < 3; i++) {
        ids[i] = start(h, docs[i]);
        ASSERT_TRUE(StartPagePrinter(h));
        ASSERT_TRUE(EndPagePrinter(h));
        ASSERT_TRUE(EndDocPrinter(h));
    }
    DWORD n = 0;
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD need) { return EnumJobsW(h, 1, 5, 1, b, c, need, &n); });
    ASSERT_EQ(n, 2u);
    const auto *j = a.as<JOB_INFO_1W>(0);
    EXPECT_EQ(j->JobId, ids[1]);
    EXPECT_EQ(j->Position, 2u);
    EXPECT_EQ(s16(j->pDocument), u"two");
    EXPECT_EQ(s16(j->pPrinterName), kPrinter);
    EXPECT_EQ(s16(j->pUserName), u"tarvel");
    EXPECT_EQ(s16(j->pMachineName), u"\\\\TARVELPC");
    EXPECT_EQ(s16(j->pDatatype), u"RAW");
    EXPECT_EQ(j->pStatus, nullptr);
    EXPECT_EQ(j->TotalPages, 1u);
    EXPECT_GE(j->Submitted.wYear, 2024);
    EXPECT_EQ(a.as<JOB_INFO_1W>(1)->JobId, ids[2]);
    Answer p = two_call([&](LPBYTE b, DWORD c, LPDWORD need) { return GetPrinterW(h, 2, b, c, need); });
    EXPECT_EQ(p.as<PRINTER_INFO_2W>()->cJobs, 3u);
}

TEST_F(SpoolJobs, OwnerIsTheCurrentUser)
{
    plat::spool_set_current_user_name(u"alice");
    Printer h(kPrinter);
    start(h);
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(plat::spool_jobs()[0].owner, u"alice");
}

TEST_F(SpoolJobs, AnOutputFileReceivesTheBytes)
{
    std::filesystem::create_directories(root / "c" / "out");
    Printer h(kPrinter);
    DWORD job = start(h, u"to file", nullptr, u"C:\\out\\job.prn");
    std::vector<BYTE> p = pattern(3000, 5);
    DWORD w = 0;
    ASSERT_TRUE(WritePrinter(h, p.data(), DWORD(p.size()), &w));
    ASSERT_TRUE(EndDocPrinter(h));
    std::ifstream in(root / "c" / "out" / "job.prn", std::ios::binary);
    std::vector<BYTE> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, p);
    EXPECT_EQ(plat::spool_jobs()[0].output_file, u"C:\\out\\job.prn");
    EXPECT_EQ(job_bytes(job), p);
}

TEST_F(SpoolJobs, FullDiskFailsWrites)
{
    Printer h(kPrinter);
    DWORD job = start(h);
    BYTE b[4] = {1, 2, 3, 4};
    DWORD w = 0;
    plat::fault_disk_full(true);
    SetLastError(0);
    EXPECT_FALSE(WritePrinter(h, b, 4, &w));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    plat::fault_disk_full(false);
    EXPECT_TRUE(WritePrinter(h, b, 4, &w));
    EXPECT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(job_bytes(job), std::vector<BYTE>(b, b + 4));
}

TEST_F(SpoolJobs, PurgeDeletesEveryJobOfThePrinter)
{
    Printer admin(kPrinter, PRINTER_ALL_ACCESS);
    start(admin);
    ASSERT_TRUE(EndDocPrinter(admin));
    Printer writer(kPrinter);
    start(writer);
    ASSERT_TRUE(SetPrinterW(admin, 0, nullptr, PRINTER_CONTROL_PURGE));
    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u) << "the job being written goes when it ends";
    EXPECT_TRUE(jobs[0].status & JOB_STATUS_DELETING);
    EXPECT_TRUE(EndDocPrinter(writer));
    EXPECT_TRUE(plat::spool_jobs().empty());
}

} // namespace
