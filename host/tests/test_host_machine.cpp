// The `tarvel` program on a shared or troubled machine folder: eight
// processes printing at once on one folder (empty or with the printer
// installed) each get a job of their own holding their own document, and
// the printer's settings stay whole; a failed install of any kind leaves no
// printer behind and the next install works; an unreadable store is an error
// that changes nothing; the program's small refusals and --version.
#include "host_printer.h"
#include "host_test_support.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/fault.h>
#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr char16_t kPrinter[] = u"Tarvel CX 1500";

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class HostMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarvel-machine-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        machine = (dir / "machine").string();
    }
    void TearDown() override
    {
        plat::machine_reset((dir / "idle").string());
        fs::remove_all(dir);
    }

    std::string tarvel(const std::string &args, int *status) { return run("--machine " + machine + " " + args, status); }

    /* The printer's stored settings: its devmode and the values the install writes. */
    static std::map<std::string, std::vector<BYTE>> settings(const std::string &folder)
    {
        plat::machine_reset(folder);
        std::map<std::string, std::vector<BYTE>> out;
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(kPrinter, &h, &d))
            return out;
        DWORD needed = 0;
        GetPrinterW(h, 2, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        if (GetPrinterW(h, 2, info.data(), needed, &needed)) {
            const auto *pi = reinterpret_cast<const PRINTER_INFO_2W *>(info.data());
            if (pi->pDevMode) {
                const BYTE *b = reinterpret_cast<const BYTE *>(pi->pDevMode);
                out["devmode"].assign(b, b + plat::load_u16(b, 68) + plat::load_u16(b, 70)); /* dmSize + dmDriverExtra */
            }
        }
        for (const char16_t *name : {u"SPLUserModePrinterDriver", u"SupportJobOwnerTool", u"PrinterDataSize"}) {
            DWORD type = 0, size = 0;
            GetPrinterDataW(h, const_cast<LPWSTR>(name), &type, nullptr, 0, &size);
            std::vector<BYTE> v(size);
            if (size && GetPrinterDataW(h, const_cast<LPWSTR>(name), &type, v.data(), size, &size) == 0)
                out[plat::utf16_to_utf8(name)] = v;
        }
        ClosePrinter(h);
        return out;
    }

    fs::path dir;
    std::string machine;
};

/*
 * Eight shells each run ten `tarvel print` jobs on the folder at once, each
 * job with a document name of its own.  Answers the exit codes and outputs.
 */
void printAtOnce(const fs::path &dir, const std::string &machine)
{
    std::string script;
    for (int p = 0; p < 8; p++) {
        script += "( for j in 0 1 2 3 4 5 6 7 8 9; do " + std::string(TARVEL_HOST_BINARY) + " --machine " + machine +
                  " print --document doc-" + std::to_string(p) + "-$j -o " + (dir / "out").string() + "-" +
                  std::to_string(p) + "-$j.prn > " + (dir / "log").string() + "-" + std::to_string(p) +
                  "-$j.txt 2>&1; echo $? > " + (dir / "rc").string() + "-" + std::to_string(p) + "-$j.txt; done ) & ";
    }
    script += "wait";
    ASSERT_EQ(std::system(script.c_str()), 0);
}

void checkEightyJobs(const fs::path &dir, const std::string &machine)
{
    std::set<unsigned long> ids;
    for (int p = 0; p < 8; p++)
        for (int j = 0; j < 10; j++) {
            std::string tag = std::to_string(p) + "-" + std::to_string(j);
            std::string log = readFile(dir / ("log-" + tag + ".txt"));
            EXPECT_EQ(readFile(dir / ("rc-" + tag + ".txt")), "0\n") << tag << ": " << log;
            size_t at = log.find("spooler job ");
            ASSERT_NE(at, std::string::npos) << tag << ": " << log;
            ids.insert(std::stoul(log.substr(at + 12)));
            std::string out = readFile(dir / ("out-" + tag + ".prn"));
            EXPECT_NE(out.find("@PJL COMMENT DNAME=doc-" + tag + "\n"), std::string::npos) << tag;
            EXPECT_EQ(out.find("DNAME="), out.rfind("DNAME=")) << tag << ": one job only";
            EXPECT_EQ(out.find("%-12345X@PJL JOB"), out.rfind("%-12345X@PJL JOB")) << tag << ": one job only";
        }
    EXPECT_EQ(ids.size(), 80u) << "every job has a number of its own";

    plat::machine_reset(machine);
    std::set<std::string> stored;
    for (const plat::SpoolJob &j : plat::spool_jobs(kPrinter))
        stored.insert(plat::utf16_to_utf8(j.document));
    for (int p = 0; p < 8; p++)
        for (int j = 0; j < 10; j++)
            EXPECT_EQ(stored.count("doc-" + std::to_string(p) + "-" + std::to_string(j)), 1u) << p << "-" << j;
}

TEST_F(HostMachine, EightProcessesPrintAtOnceOnAnEmptyFolder)
{
    printAtOnce(dir, machine);
    checkEightyJobs(dir, machine);
    /* the printer installed once, whole: the same settings as a printer installed alone */
    int status = -1;
    const std::string alone = (dir / "alone").string();
    run("--machine " + alone + " install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0);
    auto expected = settings(alone);
    auto got = settings(machine);
    ASSERT_TRUE(expected.count("devmode"));
    EXPECT_EQ(got, expected);
}

TEST_F(HostMachine, EightProcessesPrintAtOnceOnAnInstalledFolder)
{
    int status = -1;
    std::string out = tarvel("install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0) << out;
    auto before = settings(machine);
    plat::machine_reset((dir / "idle").string());
    printAtOnce(dir, machine);
    checkEightyJobs(dir, machine);
    EXPECT_EQ(settings(machine), before) << "printing changes no stored setting";
}

TEST_F(HostMachine, AFailedInstallLeavesNoPrinterAndTheNextOneWorks)
{
    struct Case {
        const char *what;
        std::string args;
        const char *message;
    } const cases[] = {
        {"missing model", "install \"Tarvel CX 1500\" NOSUCH.DDD", "the model data NOSUCH.DDD cannot be opened"},
        {"empty port", "install \"Tarvel CX 1500\" TARVEL1.DDD \"\"", "the port name is empty"},
        {"name too long", "install " + std::string(221, 'n'), "a printer name has 1 to 220 characters"},
        {"print with a missing model", "print --model nosuch.DDD -o /dev/null", "nosuch.DDD cannot be opened"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(machine);
        int status = -1;
        std::string out = tarvel(c.args, &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        plat::machine_reset(machine);
        EXPECT_TRUE(plat::spool_printers().empty()) << "nothing half-installed";
        plat::machine_reset((dir / "idle").string());
        out = tarvel("install \"Tarvel CX 1500\"", &status);
        EXPECT_EQ(status, 0) << out;
        out = tarvel("print -o " + (dir / "job.prn").string(), &status);
        EXPECT_EQ(status, 0) << out;
    }
}

TEST_F(HostMachine, AFullDiskDuringAnInstallLeavesNoPrinter)
{
    plat::machine_reset(machine);
    RES_ResetForTest();
    DMB_ResetForTest();
    LOG_ResetForTest();
    std::string error;
    ASSERT_TRUE(host::host_bind_library(error)) << error;
    /* The disk fills at each later step of the install in turn. */
    for (unsigned writes = 1; writes <= 40; writes += 3) {
        SCOPED_TRACE(writes);
        plat::fault_fail_write_after(writes, ERROR_DISK_FULL);
        host::InstallReport report;
        bool ok = host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error);
        plat::fault_fail_write_after(0);
        if (ok) {
            ASSERT_EQ(plat::spool_delete_printer(kPrinter), DWORD(ERROR_SUCCESS));
            continue;
        }
        EXPECT_TRUE(plat::spool_printers().empty()) << error;
    }
    plat::fault_disk_full(true);
    host::InstallReport report;
    EXPECT_FALSE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error));
    EXPECT_NE(error.find("error 112"), std::string::npos) << error;
    plat::fault_disk_full(false);
    EXPECT_TRUE(plat::spool_printers().empty());
    EXPECT_TRUE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error)) << error;
    host::host_release_library();
    RES_ResetForTest();
    DMB_ResetForTest();
    LOG_ResetForTest();
}

TEST_F(HostMachine, AnUnreadableStoreIsAnErrorThatChangesNothing)
{
    int status = -1;
    std::string out = tarvel("install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path spool = fs::path(machine) / "spooler" / "spooler.dat";
    const fs::path reg = fs::path(machine) / "registry.dat";
    struct Case {
        const char *what;
        fs::path file;
        const char *message;
    } const cases[] = {
        {"spooler store", spool, "the spooler's store"},
        {"registry file", reg, "the registry file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        /* A folder where the file should be: it exists and cannot be read (as root, permissions would not stop a read). */
        const fs::path aside = c.file.string() + ".test-aside";
        const bool existed = fs::exists(c.file);
        if (existed)
            fs::rename(c.file, aside);
        fs::create_directory(c.file);
        for (const char *args : {"print -o /dev/null", "install Other", "caps \"Tarvel CX 1500\"", "settings"}) {
            out = tarvel(args, &status);
            EXPECT_EQ(status, 1) << args << "\n" << out;
            EXPECT_NE(out.find(c.message), std::string::npos) << args << "\n" << out;
            EXPECT_NE(out.find("cannot be read"), std::string::npos) << args << "\n" << out;
        }
        EXPECT_TRUE(fs::is_directory(c.file)) << "nothing moved";
        for (const auto &e : fs::recursive_directory_iterator(machine))
            EXPECT_EQ(e.path().filename().string().find(".bad"), std::string::npos) << e.path();
        fs::remove(c.file);
        if (existed)
            fs::rename(aside, c.file);
        out = tarvel("print -o /dev/null", &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out.find("Installed"), std::string::npos) << "the printer was there all along";
    }
}

TEST_F(HostMachine, SmallRefusalsAndTheVersion)
{
    struct Case {
        std::string args;
        int status;
        const char *message;
    } const cases[] = {
        {"--version", 0, "tarvel 0.1.0"},
        {"print --bogus", 2, "unknown option '--bogus'"},
        {"print --resolution 7", 1, "offers 600 x 600, 1200 x 1200, 1200 x 600 and 600 x 300 dpi, not 7 x 7 dpi"},
        {"print --resolution 601", 1, "offers 600 x 600, 1200 x 1200, 1200 x 600 and 600 x 300 dpi, not 601 x 601"},
        {"print --resolution 600dpi", 2, "--resolution takes dots per inch"},
        {"print --resolution 600x", 2, "--resolution takes dots per inch, DPI or XxY"},
        {"print --resolution x300", 2, "--resolution takes dots per inch, DPI or XxY"},
        {"print --resolution 600x300x2", 2, "--resolution takes dots per inch, DPI or XxY"},
        {"print --resolution 0x0", 2, "--resolution takes dots per inch, DPI or XxY"},
        {"print --resolution 600X300", 2, "--resolution takes dots per inch, DPI or XxY"},
        {"print --resolution 300x600", 1, "--resolution 300x600: the model of printer"},
        {"print --resolution 300x600", 1, "offers 600 x 600, 1200 x 1200, 1200 x 600 and 600 x 300 dpi, not 300 x 600 dpi"},
        {"settings extra", 2, "unexpected argument 'extra'"},
        {"caps --help", 0, "usage: tarvel"},
        {"install --help", 0, "usage: tarvel"},
        {"install", 2, "missing arguments"},
        {"caps A B", 2, "unexpected argument 'B'"},
        {"--bogus print", 2, "unknown option '--bogus'"},
        {"print --printer " + std::string(221, 'p'), 2, "a printer name has 1 to 220 characters"},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = tarvel(c.args, &status);
        EXPECT_EQ(status, c.status) << c.args << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.args << "\n" << out;
    }
}

} // namespace
