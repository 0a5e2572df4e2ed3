// The `tarvel` program and its machine folder under faults and hostile
// input: an install or a first print killed at every save of a store leaves
// a machine the next print works on; a lock file that cannot be taken stops
// the command with its name and loses nothing; links planted at the names
// the host writes are never written through; special and oversized inputs
// are refused in bounded time; damaged bitmaps are refused with their
// reasons; a job file that cannot be written whole keeps its old bytes.
#include "host_job_test.h"

#include <plat/file_replace.h>
#include <plat/fault.h>
#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class HostHostile : public HostJobTest {
protected:
    HostHostile() : HostJobTest("tarvel-hostile-") {}

    std::string machine() const { return (dir / "machine").string(); }
    std::string tarvel(const std::string &args, int *status) { return run("--machine " + machine() + " " + args, status); }

    static void writeFile(const fs::path &p, const std::string &bytes)
    {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    /* A job file the lister accepts whole. */
    void expectGoodJob(const std::string &file)
    {
        const std::string bytes = bytesOf(file);
        pxllist::Listing l;
        EXPECT_TRUE(pxllist::ListJob(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), {}, &l))
            << file << ": " << pxllist::FormatError(l.error);
    }
};

TEST_F(HostHostile, AFirstPrintKilledAtAnySaveLeavesAMachineTheNextPrintWorksOn)
{
    const std::string next = (dir / "next.prn").string();
    /* a fresh folder for each kill point */
    for (unsigned n = 1; n < 400; n++) {
        SCOPED_TRACE("save " + std::to_string(n));
        fs::remove_all(machine());
        const unsigned step = plat::SAVE_STEP_CREATED + n % plat::SAVE_STEP_COUNT;
        int status = -1;
        std::string out = run_command("TARVEL_KILL_AT_SAVE=" + std::to_string(n) + ":" + std::to_string(step) + " " +
                                          TARVEL_HOST_BINARY + " --machine " + machine() + " print -o " + job,
                                      &status);
        const bool killed = status != 0;
        out = tarvel("print -o " + next, &status);
        ASSERT_EQ(status, 0) << out;
        expectGoodJob(next);
        if (!killed) {
            EXPECT_GT(n, 10u) << "an install and a print take many saves";
            break;
        }
    }
}

TEST_F(HostHostile, ANewPrinterInstallKilledAtAnySaveLeavesBothPrintersPrinting)
{
    int status = -1;
    std::string out = tarvel("install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string next = (dir / "next.prn").string();
    for (unsigned n = 1; n < 400; n++) {
        SCOPED_TRACE("save " + std::to_string(n));
        const unsigned step = plat::SAVE_STEP_CREATED + n % plat::SAVE_STEP_COUNT;
        out = run_command("TARVEL_KILL_AT_SAVE=" + std::to_string(n) + ":" + std::to_string(step) + " " +
                              TARVEL_HOST_BINARY + " --machine " + machine() + " print --printer New -o " + job,
                          &status);
        const bool killed = status != 0;
        out = tarvel("print --printer New -o " + next, &status);
        ASSERT_EQ(status, 0) << out;
        expectGoodJob(next);
        out = tarvel("print --pages 1 -o " + next, &status);
        ASSERT_EQ(status, 0) << "the printer that was there still prints: " << out;
        expectGoodJob(next);
        out = tarvel("remove New", &status);
        ASSERT_EQ(status, 0) << out;
        if (!killed)
            break;
    }
}

TEST_F(HostHostile, AHalfInstalledPrinterIsMendedByInstallAndTakenAwayByRemove)
{
    /* killed inside the install, after the printer was added and before its settings were stored */
    int status = -1;
    run_command("TARVEL_KILL_AT_SAVE=10:3 " + std::string(TARVEL_HOST_BINARY) + " --machine " + machine() +
                    " install Half",
                &status);
    ASSERT_EQ(status, 128 + SIGKILL);
    plat::machine_reset(machine());
    ASSERT_EQ(plat::spool_printers().size(), 1u) << "the kill point leaves the printer half-made";
    plat::machine_reset((dir / "idle").string());
    std::string out = tarvel("install Half", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("the printer Half was left half-installed by an interrupted install; it is installed again"),
              std::string::npos)
        << out;
    out = tarvel("install Half", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("the printer Half is already installed (tarvel remove takes it away)"), std::string::npos)
        << out;
    out = tarvel("remove Half", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Removed printer \"Half\""), std::string::npos) << out;
    out = tarvel("remove Half", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("the printer Half cannot be removed: there is no such printer"), std::string::npos) << out;
    plat::machine_reset(machine());
    EXPECT_TRUE(plat::spool_printers().empty());
    plat::machine_reset((dir / "idle").string());
}

TEST_F(HostHostile, ALockFileThatCannotBeTakenStopsTheCommandAndLosesNothing)
{
    int status = -1;
    std::string out = tarvel("print -o " + job, &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path root = machine();
    const fs::path target = dir / "target.txt";
    struct Lock {
        const char *what;
        fs::path file;
        const char *message;
    } const locks[] = {
        {"spooler", root / "spooler" / "spooler.lock", "spooler.lock cannot be taken"},
        {"registry", root / "registry.lock", "registry.lock cannot be taken"},
        {"install", root / "install.lock", "install.lock cannot be taken"},
    };
    enum Kind { Link, Folder, Fifo };
    const char *const kinds[] = {"it is a symbolic link", "it is not a file", "it is not a file"};
    for (const Lock &l : locks)
        for (Kind k : {Link, Folder, Fifo}) {
            SCOPED_TRACE(std::string(l.what) + " " + kinds[k]);
            writeFile(target, "untouched");
            fs::remove(l.file);
            if (k == Link)
                fs::create_symlink(target, l.file);
            else if (k == Folder)
                fs::create_directory(l.file);
            else
                ASSERT_EQ(::mkfifo(l.file.c_str(), 0644), 0);
            const auto start = std::chrono::steady_clock::now();
            for (const char *args : {"print --document locked -o ", "install Other -o "}) {
                const std::string command = std::string(args).find("install") == 0 ? "install Other"
                                                                                    : std::string(args) + job;
                out = tarvel(command, &status);
                EXPECT_EQ(status, 1) << command << "\n" << out;
                EXPECT_NE(out.find(l.message), std::string::npos) << command << "\n" << out;
                EXPECT_NE(out.find(kinds[k]), std::string::npos) << command << "\n" << out;
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "never waits for ever";
            EXPECT_EQ(bytesOf(target), "untouched");
            fs::remove_all(l.file);
            plat::machine_reset(machine());
            EXPECT_EQ(plat::spool_printers().size(), 1u) << "no printer lost or added";
            for (const plat::SpoolJob &j : plat::spool_jobs(u"Tarvel CX 1500"))
                EXPECT_NE(plat::utf16_to_utf8(j.document), "locked") << "no job written unlocked";
            plat::machine_reset((dir / "idle").string());
        }
    out = tarvel("print -o " + job, &status);
    EXPECT_EQ(status, 0) << out;
    plat::machine_reset(machine());
    EXPECT_EQ(plat::spool_jobs(u"Tarvel CX 1500").size(), 2u) << "the first job is still there";
    plat::machine_reset((dir / "idle").string());
}

/* A small bitmap: 2 x 2 pixels, 24 bits, bottom-up. */
std::string goodBitmap()
{
    std::string b(14 + 40 + 16, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = char(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    b[26] = 1;
    b[28] = 24;
    put32(34, 16);
    return b;
}

TEST_F(HostHostile, LinksPlantedAtTheNamesTheHostWritesAreNeverWrittenThrough)
{
    int status = -1;
    std::string out = tarvel("print -o " + job, &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path bmp = dir / "mark.bmp";
    writeFile(bmp, goodBitmap());
    const fs::path root = machine();
    const fs::path outside = dir / "outside";
    const fs::path target = outside / "target.txt";
    struct Plant {
        const char *what;
        fs::path link;
        bool toFolder;       /* the link names a folder outside */
        std::string args;
        int status;          /* of the print with the link planted */
        const char *message; /* of a refusal */
    } const plants[] = {
        {"the job file", fs::path(job), false, "print -o " + job, 0, ""},
        {"the copied bitmap", root / "c" / "ProgramData" / "Tarvel" / "watermark.bmp", false,
         "print --pages 1 --watermark-bitmap " + bmp.string() + " -o " + job, 0, ""},
        {"the bitmap's folder", root / "c" / "ProgramData" / "Tarvel", true,
         "print --pages 1 --watermark-bitmap " + bmp.string() + " -o " + job, 1, "Tarvel is a symbolic link"},
        {"the spooler's jobs folder", root / "spooler" / "jobs", true, "print --pages 1 -o " + job, 1,
         "jobs is a symbolic link"},
    };
    for (const Plant &p : plants) {
        SCOPED_TRACE(p.what);
        fs::remove_all(outside);
        fs::create_directories(outside);
        writeFile(target, "untouched");
        const fs::path aside = p.link.string() + ".aside";
        if (fs::exists(fs::symlink_status(p.link)))
            fs::rename(p.link, aside);
        fs::create_directories(p.link.parent_path());
        fs::create_symlink(p.toFolder ? outside : target, p.link);
        out = tarvel(p.args, &status);
        EXPECT_EQ(status, p.status) << out;
        EXPECT_NE(out.find(p.message), std::string::npos) << out;
        EXPECT_EQ(bytesOf(target), "untouched");
        size_t files = 0;
        for (auto it = fs::directory_iterator(outside); it != fs::directory_iterator(); ++it)
            files++;
        EXPECT_EQ(files, 1u) << "nothing new outside the machine folder";
        if (p.status == 0 && !p.toFolder) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p.link))) << "the link is replaced by the file";
        }
        fs::remove_all(p.link);
        if (fs::exists(fs::symlink_status(aside)))
            fs::rename(aside, p.link);
    }
    out = tarvel("print --pages 1 -o " + job, &status);
    EXPECT_EQ(status, 0) << out;
    expectGoodJob(job);
}

TEST_F(HostHostile, SpecialFilesAndOversizedInputsAreRefusedInBoundedTime)
{
    int status = -1;
    std::string out = tarvel("print --pages 1 -o " + job, &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const fs::path big = dir / "big.txt";
    writeFile(big, std::string((size_t(4) << 20) + 1, 'a'));
    const fs::path bigJob = dir / "big.prn";
    { std::ofstream f(bigJob); f.seekp((std::streamoff(1) << 30) + 1); f.put('x'); } /* sparse */
    const fs::path empty = dir / "empty.prn";
    writeFile(empty, "");
    const fs::path loop = dir / "loop";
    fs::create_symlink(loop, loop);
    const std::string longName = (dir / std::string(300, 'n')).string();
    struct Case {
        std::string args;
        const char *message;
    } const cases[] = {
        {"print /dev/zero", "'/dev/zero' is a device, FIFO or socket, not a file"},
        {"print " + fifo.string(), "is a device, FIFO or socket, not a file"},
        {"print " + dir.string(), "is a folder, not a file"},
        {"print " + big.string(), "is larger than 4 MiB"},
        {"print " + loop.string(), "Too many levels of symbolic links"},
        {"print " + longName, "File name too long"},
        {"print --pages 1 --watermark-bitmap /dev/zero", "is a device, FIFO or socket"},
        {"print --pages 1 --watermark-bitmap " + fifo.string(), "is a device, FIFO or socket"},
        {"print --pages 1 --watermark-bitmap " + dir.string(), "is a folder"},
        {"print --pages 1 --watermark-bitmap " + loop.string(), "Too many levels of symbolic links"},
        {"print --pages 1 --watermark-bitmap " + longName, "File name too long"},
        {"print --pages 1 --watermark-bitmap " + (dir / "none.bmp").string(), "No such file or directory"},
        {"send /dev/zero --port 127.0.0.1:9", "is a device, FIFO or socket"},
        {"send " + fifo.string() + " --port 127.0.0.1:9", "is a device, FIFO or socket"},
        {"send " + dir.string() + " --port 127.0.0.1:9", "is a folder"},
        {"send " + bigJob.string() + " --port 127.0.0.1:9", "is larger than 1 GiB"},
        {"send " + empty.string() + " --port 127.0.0.1:9", "is empty; nothing is sent"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args);
        const auto start = std::chrono::steady_clock::now();
        out = run_command("timeout -s KILL 60 " + std::string(TARVEL_HOST_BINARY) + " --machine " + machine() + " " +
                              c.args + (c.args.rfind("print", 0) == 0 ? " -o " + job : ""),
                          &status);
        EXPECT_TRUE(status == 1 || status == 2) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << out;
    }
}

TEST_F(HostHostile, DamagedWatermarkBitmapsAreRefusedWithTheirReasons)
{
    const std::string good = goodBitmap();
    auto with = [&](size_t at, char v) {
        std::string b = good;
        b[at] = v;
        return b;
    };
    struct Case {
        const char *what;
        std::string bytes;
        const char *message;
    } const cases[] = {
        {"empty", "", "no \"BM\" header"},
        {"not a bitmap", "GIF89a and more bytes of a picture", "no \"BM\" header"},
        {"cut in the file header", good.substr(0, 20), "it ends inside its headers"},
        {"cut in the information header", good.substr(0, 40), "ends inside its information header"},
        {"unknown header size", with(14, 41), "information header has an unknown size (41 bytes)"},
        {"no width", with(18, 0), "its size (0 x 2) or plane count is not valid"},
        {"no height", with(22, 0), "its size (2 x 0)"},
        {"two planes", with(26, 2), "or plane count is not valid"},
        {"7 bits a pixel", with(28, 7), "it has 7 bits a pixel"},
        {"unknown compression", with(30, 9), "its compression (9)"},
        {"pixels past the end", with(10, char(200)), "its pixels would start past its end"},
    };
    const fs::path bmp = dir / "bad.bmp";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(bmp, c.bytes);
        int status = -1;
        const std::string out = tarvel("print --pages 1 --watermark-bitmap " + bmp.string() + " -o " + job, &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("the watermark bitmap '" + bmp.string() + "' cannot be printed: "), std::string::npos)
            << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    writeFile(bmp, good);
    int status = -1;
    const std::string out = tarvel("print --pages 1 --watermark-bitmap " + bmp.string() + " -o " + job, &status);
    EXPECT_EQ(status, 0) << out;
    expectGoodJob(job);
}

TEST_F(HostHostile, AJobFileThatCannotBeWrittenWholeKeepsItsOldBytes)
{
    /* A real full disk: a small file system of its own, when this process may mount one. */
    const fs::path small = dir / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=192k") == 0) {
        const fs::path old = small / "job.prn";
        const std::string oldBytes(100000, 'o');
        writeFile(old, oldBytes);
        int status = -1;
        const std::string out = tarvel("print -o " + old.string(), &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("cannot write '" + old.string() + "': No space left on device; the file is as it was"),
                  std::string::npos)
            << out;
        EXPECT_EQ(bytesOf(old), oldBytes);
        size_t files = 0;
        for (auto it = fs::directory_iterator(small); it != fs::directory_iterator(); ++it)
            files++;
        EXPECT_EQ(files, 1u) << "no temporary file left behind";
        ::umount(small.c_str());
    }
    /* The platform's simulated full disk at the same write. */
    plat::machine_reset((dir / "idle").string());
    const fs::path file = dir / "kept.prn";
    writeFile(file, "old job");
    plat::fault_disk_full(true);
    EXPECT_EQ(plat::file_replace(file.string(), "new", 3), ENOSPC);
    plat::fault_disk_full(false);
    EXPECT_EQ(bytesOf(file), "old job");
    /* what cannot be replaced is refused, never written through or over */
    EXPECT_EQ(plat::file_replace(dir.string(), "x", 1), EISDIR);
    EXPECT_EQ(plat::file_replace("/dev/null", "x", 1), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(plat::file_replace((dir / "fifo").string(), "x", 1), ENODEV);
    EXPECT_EQ(plat::file_replace(file.string(), "new", 3), 0);
    EXPECT_EQ(bytesOf(file), "new");
}

} // namespace

namespace {

size_t countOf(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

TEST_F(HostHostile, ControlCharactersInNamesNeverReachTheJob)
{
    int status = -1;
    std::string out = tarvel("print --pages 1 -o " + job, &status);
    ASSERT_EQ(status, 0) << out;
    const std::string plain = jobBytes();
    /* an escape with a printer-language switch, line ends and PJL lines in the document name */
    out = tarvel("print --pages 1 --document \"$(printf 'A\\033%%-12345X@PJL ENTER LANGUAGE=PCL\\r\\n@PJL EOJ\\nB\\tC')\" -o " +
                     job,
                 &status);
    ASSERT_EQ(status, 0) << out;
    const std::string bytes = jobBytes();
    EXPECT_EQ(countOf(bytes, "\x1b%-12345X"), countOf(plain, "\x1b%-12345X")) << "no printer-language switch added";
    /* the name's PJL lines stay inside the comments that hold it: none begins a line of its own */
    for (const char *line : {"\n@PJL EOJ", "\n@PJL ENTER", "\x1b%-12345X@PJL ENTER", "\r@PJL"})
        EXPECT_EQ(countOf(bytes, line), countOf(plain, line)) << line;
    EXPECT_NE(bytes.find("A?%-12345X@PJL ENTER LANGUAGE=PCL??@PJL EOJ?B?C"), std::string::npos)
        << "each control character is a question mark";
    expectGoodJob(job);
    for (const std::string &args : {std::string("print --printer \"$(printf 'P\\033Q')\" -o ") + job,
                                    std::string("install \"$(printf 'P\\nQ')\""), std::string("remove \"$(printf 'P\\tQ')\"")}) {
        out = tarvel(args, &status);
        EXPECT_EQ(status, 2) << args << "\n" << out;
        EXPECT_NE(out.find("a printer name holds no control characters"), std::string::npos) << args << "\n" << out;
    }
}

} // namespace

namespace {

TEST_F(HostHostile, PrintersLostWithADamagedSpoolerStoreAreNamed)
{
    int status = -1;
    std::string out = tarvel("install Office", &status);
    ASSERT_EQ(status, 0) << out;
    out = tarvel("install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path store = fs::path(machine()) / "spooler" / "spooler.dat";
    std::string bytes = bytesOf(store);
    ASSERT_GT(bytes.size(), 100u);
    bytes[bytes.size() / 2] ^= 0x5A; /* the checksum no longer matches */
    writeFile(store, bytes);
    out = tarvel("print --pages 1 -o " + job, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("is damaged"), std::string::npos) << out;
    for (const char *printer : {"Office", "Tarvel CX 1500"})
        EXPECT_NE(out.find(std::string("the spooler's store no longer holds the printer ") + printer), std::string::npos)
            << out;
    EXPECT_NE(out.find("nothing else was done; run the command again"), std::string::npos) << out;
    out = tarvel("print --pages 1 -o " + job, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("no longer holds"), std::string::npos) << "said once: " << out;
    expectGoodJob(job);
}

} // namespace
