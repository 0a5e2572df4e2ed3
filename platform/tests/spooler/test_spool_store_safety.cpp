// The spooler's and the registry's stores kept safe: processes that change
// one machine folder at once lose nothing and never share a job number; a
// process killed at any step of a save leaves the old or the new store; a
// store that cannot be read is an error that changes nothing; damaged stores
// are kept aside, each under a name of its own; links planted in the folder
// are never written through.
#include "spool_fixture.h"

#include <plat/fault.h>
#include <plat/registry.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>

using namespace spooltest;

namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_text(const fs::path &p, const std::string &s) { std::ofstream(p, std::ios::binary | std::ios::trunc) << s; }

class StoreSafety : public SpoolTest {
protected:
    std::string restart_quietly()
    {
        ::testing::internal::CaptureStderr();
        restart();
        return ::testing::internal::GetCapturedStderr();
    }

    /* Prints one job of `text` on the test printer; its number, 0 on failure. */
    static DWORD print_job(const std::string &text)
    {
        Printer h(kPrinter, PRINTER_ACCESS_USE);
        DOC_INFO_1W di{const_cast<LPWSTR>(u"doc"), nullptr, nullptr};
        DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
        DWORD w = 0;
        if (id == 0 || !StartPagePrinter(h) || !WritePrinter(h, text.data(), DWORD(text.size()), &w) ||
            !EndPagePrinter(h) || !EndDocPrinter(h))
            return 0;
        return id;
    }

    /* The printer-data value "n" of the test printer, or -1. */
    static long stored_number()
    {
        Printer h(kPrinter, PRINTER_ALL_ACCESS);
        DWORD v = 0, type = 0, needed = 0;
        if (GetPrinterDataW(h, const_cast<LPWSTR>(u"n"), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) != 0)
            return -1;
        return long(v);
    }

    static DWORD store_number(DWORD v)
    {
        Printer h(kPrinter, PRINTER_ALL_ACCESS);
        return SetPrinterDataW(h, const_cast<LPWSTR>(u"n"), REG_DWORD, reinterpret_cast<BYTE *>(&v), 4);
    }
};

/* Runs `body` in a child process on this machine folder; its exit status (or the signal as 128 + n). */
template <typename Body>
int in_child(const std::string &root, Body body)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        plat::machine_reset(root);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(StoreSafety, ProcessesAtOnceGetDistinctJobsAndLoseNoChange)
{
    install();
    ASSERT_EQ(store_number(0), 0u);
    constexpr int kProcesses = 8, kJobs = 5;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; p++) {
        pid_t pid = ::fork();
        if (pid == 0) {
            plat::machine_reset(root.string());
            int bad = 0;
            for (int j = 0; j < kJobs; j++) {
                std::string text = "process " + std::to_string(p) + " job " + std::to_string(j);
                DWORD id = print_job(text);
                std::vector<BYTE> bytes;
                bad += id == 0 || !plat::spool_job_bytes(id, bytes) ||
                       std::string(bytes.begin(), bytes.end()) != text;
                /* A read-modify-write of one value: every increment must survive. */
                Printer h(kPrinter, PRINTER_ALL_ACCESS);
                bad += store_number(DWORD(stored_number() + 1)) != 0; /* not atomic on purpose: see below */
            }
            ::_exit(bad);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed: " << status;
    }
    restart();
    std::vector<plat::SpoolJob> jobs = plat::spool_jobs(kPrinter);
    std::set<DWORD> ids;
    std::set<std::string> texts;
    for (const auto &j : jobs) {
        ids.insert(j.id);
        std::vector<BYTE> bytes;
        ASSERT_TRUE(plat::spool_job_bytes(j.id, bytes));
        texts.insert(std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(jobs.size(), size_t(kProcesses * kJobs));
    EXPECT_EQ(ids.size(), size_t(kProcesses * kJobs)) << "job numbers are unique";
    EXPECT_EQ(texts.size(), size_t(kProcesses * kJobs)) << "each job holds its own document";
    /* The value's read and write are two calls, so increments may overlap; but none is torn or lost to a stale state. */
    EXPECT_GE(stored_number(), 1);
    EXPECT_LE(stored_number(), kProcesses * kJobs);
}

/* Files in `folder` whose names begin with `prefix`. */
int temporaries(const fs::path &folder, const std::string &prefix)
{
    int n = 0;
    for (const auto &e : fs::directory_iterator(folder))
        n += e.path().filename().string().rfind(prefix, 0) == 0;
    return n;
}

TEST_F(StoreSafety, AKillAtAnyStepOfASaveLeavesTheOldOrTheNewStore)
{
    install();
    ASSERT_EQ(store_number(1), 0u);
    for (int step = plat::SAVE_STEP_CREATED; step <= plat::SAVE_STEP_COUNT; step++) {
        SCOPED_TRACE(step);
        long before = stored_number();
        int status = in_child(root.string(), [&] {
            plat::fault_kill_save_at(1, plat::SaveStep(step));
            store_number(DWORD(before + 1));
            return 0;
        });
        EXPECT_EQ(status, 128 + SIGKILL);
        std::string err = restart_quietly();
        EXPECT_EQ(err, "") << "the store loads whole";
        EXPECT_EQ(temporaries(fs::path(plat::spool_state_path()).parent_path(), "spooler.dat.new."), 0)
            << "the killed save's temporary file is gone";
        long after = stored_number();
        EXPECT_TRUE(after == before || after == before + 1) << after;
        EXPECT_EQ(after, step == plat::SAVE_STEP_RENAMED ? before + 1 : before);
        EXPECT_EQ(plat::spool_printers().size(), 1u);
    }
    /* The registry's saves die the same way. */
    for (int step = plat::SAVE_STEP_CREATED; step <= plat::SAVE_STEP_COUNT; step++) {
        SCOPED_TRACE(step);
        int status = in_child(root.string(), [&] {
            plat::fault_kill_save_at(1, plat::SaveStep(step));
            HKEY k = nullptr;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Kill", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr);
            return 0;
        });
        EXPECT_EQ(status, 128 + SIGKILL);
        std::string err = restart_quietly();
        EXPECT_EQ(err, "");
        plat::registry_store_error(); /* the registry reads its file under its lock */
        EXPECT_EQ(temporaries(root, "registry.dat.new."), 0) << "the killed save's temporary file is gone";
        HKEY k = nullptr;
        LONG open = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Kill", 0, KEY_READ, &k);
        EXPECT_EQ(open == ERROR_SUCCESS, step == plat::SAVE_STEP_RENAMED);
        if (k)
            RegCloseKey(k);
        if (open == ERROR_SUCCESS)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Kill");
    }
}

TEST_F(StoreSafety, KillsAtRandomMomentsNeverTearTheStore)
{
    install();
    ASSERT_EQ(store_number(0), 0u);
    for (int round = 0; round < 12; round++) {
        pid_t pid = ::fork();
        if (pid == 0) {
            plat::machine_reset(root.string());
            for (DWORD v = 1;; v++)
                store_number(v);
        }
        ::usleep(useconds_t(2000 + 1500 * round));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::string err = restart_quietly();
        ASSERT_EQ(err, "") << "round " << round;
        EXPECT_GE(stored_number(), 0) << "round " << round;
    }
}

/* What another process's save does to a lock file: a new stamp, so that the store is read again. */
void new_stamp(const fs::path &lock)
{
    static char stamp[9] = "stamp000";
    stamp[7]++;
    std::fstream f(lock, std::ios::binary | std::ios::in | std::ios::out);
    f.write(stamp, 8);
}

TEST_F(StoreSafety, AnUnreadableStoreIsAnErrorThatChangesNothing)
{
    install();
    ASSERT_EQ(store_number(7), 0u);
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\T", u"v", 1));
    const std::string spool = plat::spool_state_path();
    const std::string reg = plat::registry_file();
    const std::string spool_before = read_text(spool), reg_before = read_text(reg);
    for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_READ_FAULT)}) {
        SCOPED_TRACE(error);
        plat::fault_fail_store_reads(error);
        new_stamp(fs::path(spool).parent_path() / "spooler.lock");
        new_stamp(root / "registry.lock");
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(store_number(8), error) << "no change without the state";
        HKEY k = nullptr;
        EXPECT_EQ(DWORD(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &k, nullptr)),
                  error);
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("spooler.dat cannot be read"), std::string::npos) << err;
        EXPECT_NE(err.find("registry.dat cannot be read"), std::string::npos) << err;
        EXPECT_EQ(read_text(spool), spool_before);
        EXPECT_EQ(read_text(reg), reg_before);
        for (const fs::path &dir : {root, fs::path(spool).parent_path()})
            for (const auto &e : fs::directory_iterator(dir))
                EXPECT_EQ(e.path().filename().string().find(".bad"), std::string::npos) << e.path();
        plat::fault_fail_store_reads(0);
        EXPECT_EQ(stored_number(), 7) << "once readable, the store is there as it was";
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\T", 0, KEY_READ, &k), ERROR_SUCCESS);
        RegCloseKey(k);
    }
}

TEST_F(StoreSafety, TwoDamagedStoresInARowAreBothKept)
{
    install();
    const std::string spool = plat::spool_state_path();
    const std::string reg = plat::registry_file();
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\T", u"v", 1));
    for (int round = 1; round <= 2; round++) {
        SCOPED_TRACE(round);
        const std::string damaged = "damage " + std::to_string(round);
        write_text(spool, damaged);
        write_text(reg, damaged);
        std::string err = restart_quietly();
        EXPECT_NE(err.find("damaged"), std::string::npos) << err;
        EXPECT_TRUE(plat::spool_printers().empty());
        EXPECT_EQ(read_text(spool + ".bad." + std::to_string(round)), damaged);
        EXPECT_EQ(read_text(reg + ".bad." + std::to_string(round)), damaged);
        driver_installed = false;
        install();
        ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\T", u"v", 1));
    }
    EXPECT_EQ(read_text(spool + ".bad.1"), "damage 1") << "the first kept copy survives the second damage";
    EXPECT_EQ(read_text(reg + ".bad.1"), "damage 1");
}

TEST_F(StoreSafety, JobNumbersAreNeverReusedAfterARecovery)
{
    install();
    DWORD first = print_job("first document");
    ASSERT_NE(first, 0u);
    const std::string spool = plat::spool_state_path();
    const fs::path job_file = fs::path(spool).parent_path() / "jobs" / (std::to_string(first) + ".spl");
    write_text(spool, "damaged");
    restart_quietly();
    driver_installed = false;
    install();
    DWORD second = print_job("second document");
    EXPECT_GT(second, first);
    EXPECT_EQ(read_text(job_file), "first document") << "the old job file is not overwritten";

    /* A job file that exists beyond the store's numbers is passed over too. */
    const fs::path stray = fs::path(spool).parent_path() / "jobs" / (std::to_string(second + 1) + ".spl");
    write_text(stray, "stray");
    DWORD third = print_job("third document");
    EXPECT_EQ(third, second + 2);
    EXPECT_EQ(read_text(stray), "stray");
}

TEST_F(StoreSafety, PlantedLinksAreNeverWrittenThrough)
{
    install();
    ASSERT_EQ(store_number(1), 0u);
    const fs::path spool_dir = fs::path(plat::spool_state_path()).parent_path();
    const fs::path target = root / "target.txt";
    struct Plant {
        const char *what;
        fs::path link;
    };
    const Plant plants[] = {
        {"temporary name of the old scheme", spool_dir / "spooler.dat.new"},
        {"next job's byte file", spool_dir / "jobs" / "2.spl"},
        {"next job's size file", spool_dir / "jobs" / "3.sizes"},
        {"registry's temporary name", root / "registry.dat.new"},
        {"spooler's lock file", spool_dir / "spooler.lock"},
        {"registry's lock file", root / "registry.lock"},
        {"spooler's store", spool_dir / "spooler.dat"},
        {"registry's store", root / "registry.dat"},
    };
    for (const auto &p : plants) {
        SCOPED_TRACE(p.what);
        write_text(target, "untouched");
        fs::remove(p.link);
        fs::create_symlink(target, p.link);
        ::testing::internal::CaptureStderr();
        restart();
        store_number(2);
        print_job("through a link?");
        plat::registry_seed_dword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\L", u"v", 2);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(read_text(target), "untouched");
        EXPECT_TRUE(fs::is_symlink(p.link)) << "the link stays as planted";
        fs::remove(p.link);
    }
}

TEST_F(StoreSafety, FilesOpenedForWritingNeverFollowALink)
{
    const fs::path target = root / "target.txt";
    const fs::path link = root / "c" / "planted.txt";
    write_text(target, "untouched");
    fs::create_symlink(target, link);
    for (DWORD disposition : {DWORD(CREATE_ALWAYS), DWORD(OPEN_EXISTING), DWORD(OPEN_ALWAYS), DWORD(TRUNCATE_EXISTING),
                              DWORD(CREATE_NEW)}) {
        SCOPED_TRACE(disposition);
        HANDLE h = CreateFileW(u"C:\\planted.txt", GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        EXPECT_EQ(read_text(target), "untouched");
    }
    /* Reading through a link stays possible (the driver directory's libraries are links). */
    HANDLE h = CreateFileW(u"C:\\planted.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

} // namespace
