// The spooler's state in the machine folder: what one process installs and
// writes is read back after a machine_reset on the same folder; a new folder
// is an empty spooler; a damaged state file (any truncation, any flipped
// byte) gives an empty spooler and a warning, never a crash.
#include "spool_fixture.h"

#include <plat/fault.h>

#include <cstring>
#include <iterator>
#include <random>

using namespace spooltest;

namespace {

class SpoolPersist : public SpoolTest {
protected:
    static std::vector<BYTE> read_all(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void write_all(const std::string &path, const std::vector<BYTE> &bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    /* Restarts on the same folder and answers what the spooler wrote on stderr meanwhile. */
    std::string restart_quietly()
    {
        ::testing::internal::CaptureStderr();
        restart();
        return ::testing::internal::GetCapturedStderr();
    }
    /* A machine with a printer, printer data, a user form and a finished job. */
    void fill_machine(size_t chunk_size = 768)
    {
        install(kPrinter, u"LPT1:", make_devmode(220, 24, 3));
        Printer h(kPrinter, PRINTER_ALL_ACCESS);
        DWORD dword = 0x12345678;
        ASSERT_EQ(SetPrinterDataW(h, u"PrinterDataSize", REG_DWORD, reinterpret_cast<BYTE *>(&dword), 4), 0u);
        std::vector<BYTE> chunk(chunk_size, 0xA5);
        ASSERT_EQ(SetPrinterDataW(h, u"PrinterData1", REG_BINARY, chunk.data(), DWORD(chunk_size)), 0u);
        const char16_t name[] = u"Tarvel PCL XL";
        ASSERT_EQ(SetPrinterDataW(h, u"SPLUserModePrinterDriver", REG_SZ, reinterpret_cast<const BYTE *>(name),
                                  sizeof name),
                  0u);
        FORM_INFO_1W f{FORM_PRINTER, const_cast<LPWSTR>(u"Custom1"), {200000, 300000}, {0, 0, 200000, 300000}};
        ASSERT_TRUE(AddFormW(h, 1, reinterpret_cast<BYTE *>(&f)));
        DOC_INFO_1W di{const_cast<LPWSTR>(u"kept"), nullptr, nullptr};
        job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
        ASSERT_NE(job, 0u);
        ASSERT_TRUE(StartPagePrinter(h));
        DWORD w = 0;
        ASSERT_TRUE(WritePrinter(h, "PJL", 3, &w));
        ASSERT_TRUE(WritePrinter(h, "XL", 2, &w));
        ASSERT_TRUE(EndPagePrinter(h));
        ASSERT_TRUE(EndDocPrinter(h));
    }
    DWORD job = 0;
};

/* CRC-32 as the state file's trailer holds it, computed bit by bit. */
uint32_t crc32_bitwise(const BYTE *p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

/* A state file around `body`, with a correct length and checksum. */
std::vector<BYTE> wrap(const std::vector<BYTE> &file, const std::vector<BYTE> &body)
{
    std::vector<BYTE> out(16 + body.size() + 4);
    std::memcpy(out.data(), file.data(), 16);
    plat::store_u32(out.data(), 12, uint32_t(body.size()));
    if (!body.empty())
        std::memcpy(out.data() + 16, body.data(), body.size());
    plat::store_u32(out.data(), 16 + body.size(), crc32_bitwise(body.data(), body.size()));
    return out;
}

TEST_F(SpoolPersist, PrinterSettingsFormsAndJobsSurviveARestart)
{
    fill_machine();
    restart();

    EXPECT_EQ(plat::spool_printers(), std::vector<std::u16string>{kPrinter});
    Printer h(kPrinter);
    ASSERT_TRUE(h.ok);
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
    const auto *p = a.as<PRINTER_INFO_2W>();
    EXPECT_EQ(s16(p->pPortName), u"LPT1:");
    EXPECT_EQ(s16(p->pComment), u"second floor");
    std::vector<BYTE> dm = make_devmode(220, 24, 3);
    ASSERT_NE(p->pDevMode, nullptr);
    EXPECT_EQ(0, std::memcmp(p->pDevMode, dm.data(), dm.size()));

    DWORD type = 0, needed = 0, dword = 0;
    EXPECT_EQ(GetPrinterDataW(h, u"PrinterDataSize", &type, reinterpret_cast<BYTE *>(&dword), 4, &needed), 0u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(dword, 0x12345678u);
    std::vector<BYTE> chunk(768);
    EXPECT_EQ(GetPrinterDataW(h, u"PrinterData1", &type, chunk.data(), 768, &needed), 0u);
    EXPECT_EQ(chunk, std::vector<BYTE>(768, 0xA5));
    WCHAR text[64] = {};
    EXPECT_EQ(GetPrinterDataW(h, u"SPLUserModePrinterDriver", &type, reinterpret_cast<BYTE *>(text), sizeof text,
                              &needed),
              0u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(text), u"Tarvel PCL XL");

    Answer f = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetFormW(h, u"Custom1", 1, b, c, n); });
    EXPECT_EQ(f.as<FORM_INFO_1W>()->Flags, FORM_PRINTER);
    EXPECT_EQ(f.as<FORM_INFO_1W>()->Size.cy, 300000);

    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].document, u"kept");
    EXPECT_EQ(jobs[0].pages, 1u);
    EXPECT_EQ(jobs[0].bytes, 5u);
    std::vector<BYTE> bytes;
    ASSERT_TRUE(plat::spool_job_bytes(job, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PJLXL");
    EXPECT_EQ(plat::spool_write_sizes(job), (std::vector<DWORD>{3, 2}));

    /* New jobs take new ids. */
    DOC_INFO_1W di{const_cast<LPWSTR>(u"next"), nullptr, nullptr};
    DWORD next = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
    EXPECT_GT(next, job);
    EXPECT_TRUE(EndDocPrinter(h));
}

TEST_F(SpoolPersist, TheDriverDirectoryStaysInTheMachineFolder)
{
    install();
    restart();
    std::string real;
    ASSERT_TRUE(plat::map_path(plat::spool_driver_dir() + u"\\tvcolor.ddd", real));
    EXPECT_EQ(real.rfind(plat::machine_root() + "/", 0), 0u) << real;
    EXPECT_TRUE(std::filesystem::exists(real));
}

TEST_F(SpoolPersist, ANewFolderIsAnEmptySpooler)
{
    fill_machine();
    std::filesystem::path other = root.string() + "-other";
    std::filesystem::remove_all(other);
    plat::machine_reset(other.string());
    EXPECT_TRUE(plat::spool_printers().empty());
    EXPECT_TRUE(plat::spool_jobs().empty());
    EXPECT_FALSE(Printer(kPrinter).ok);
    restart();
    EXPECT_EQ(plat::spool_printers().size(), 1u);
    std::filesystem::remove_all(other);
}

TEST_F(SpoolPersist, AJobOpenAtTheResetEndsWhereItStopped)
{
    install();
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(kPrinter, &h, nullptr));
    DOC_INFO_1W di{const_cast<LPWSTR>(u"cut"), nullptr, nullptr};
    DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
    DWORD w = 0;
    ASSERT_TRUE(WritePrinter(h, "abc", 3, &w));
    restart();
    EXPECT_FALSE(ClosePrinter(h)) << "handles die with the reset";
    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].status, 0u);
    EXPECT_EQ(jobs[0].bytes, 3u);
}

TEST_F(SpoolPersist, AJobWhoseWriterDiedIsMarkedInError)
{
    install();
    std::vector<BYTE> while_open;
    DWORD job;
    {
        Printer h(kPrinter);
        DOC_INFO_1W di{const_cast<LPWSTR>(u"died"), nullptr, nullptr};
        job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
        DWORD w = 0;
        ASSERT_TRUE(WritePrinter(h, "abcd", 4, &w));
        while_open = read_all(plat::spool_state_path());
    }
    write_all(plat::spool_state_path(), while_open); /* as if the process had died with the job open */
    restart();
    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].status, JOB_STATUS_ERROR);
    EXPECT_EQ(jobs[0].bytes, 4u);
}

TEST_F(SpoolPersist, SavesReplaceTheFileWhole)
{
    fill_machine();
    std::string path = plat::spool_state_path();
    std::vector<BYTE> before = read_all(path);
    Printer h(kPrinter, PRINTER_ALL_ACCESS);
    BYTE b = 1;
    plat::fault_disk_full(true);
    EXPECT_EQ(SetPrinterDataW(h, u"x", REG_BINARY, &b, 1), DWORD(ERROR_DISK_FULL));
    plat::fault_disk_full(false);
    EXPECT_EQ(read_all(path), before) << "a failed save leaves the old file";
    ASSERT_EQ(SetPrinterDataW(h, u"x", REG_BINARY, &b, 1), 0u);
    EXPECT_NE(read_all(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

struct Damage {
    const char *what;
    void (*apply)(std::vector<BYTE> &file);
};

TEST_F(SpoolPersist, DamagedFilesGiveAnEmptySpooler)
{
    const Damage damage[] = {
        {"empty", [](std::vector<BYTE> &f) { f.clear(); }},
        {"header cut", [](std::vector<BYTE> &f) { f.resize(10); }},
        {"last byte gone", [](std::vector<BYTE> &f) { f.pop_back(); }},
        {"wrong magic", [](std::vector<BYTE> &f) { f[0] = 'X'; }},
        {"wrong version", [](std::vector<BYTE> &f) { f[8] = 2; }},
        {"body byte flipped", [](std::vector<BYTE> &f) { f[f.size() / 2] ^= 0x40; }},
        {"length too large", [](std::vector<BYTE> &f) { plat::store_u32(f.data(), 12, 0xFFFFFFF0u); }},
        {"count too large",
         [](std::vector<BYTE> &f) {
             std::vector<BYTE> body(f.begin() + 16, f.end() - 4);
             plat::store_u32(body.data(), 4, 0x7FFFFFFFu); /* the driver count */
             f = wrap(f, body);
         }},
    };
    for (const auto &d : damage) {
        SCOPED_TRACE(d.what);
        driver_installed = false;
        install();
        std::string path = plat::spool_state_path();
        std::vector<BYTE> file = read_all(path);
        d.apply(file);
        write_all(path, file);
        std::filesystem::remove(path + ".bad.1");
        std::string err = restart_quietly();
        EXPECT_NE(err.find("damaged"), std::string::npos) << err;
        EXPECT_TRUE(plat::spool_printers().empty());
        EXPECT_TRUE(std::filesystem::exists(path + ".bad.1"));
        EXPECT_FALSE(std::filesystem::exists(path));
        DWORD needed = 0, count = 0;
        Printer server(nullptr);
        EXPECT_FALSE(EnumFormsW(server, 1, nullptr, 0, &needed, &count));
        EXPECT_GT(needed, 0u) << "the spooler still works";
    }
}

TEST_F(SpoolPersist, EveryTruncationAndFlippedByteIsSurvived)
{
    fill_machine(16); /* every list present, the file kept small */
    std::string path = plat::spool_state_path();
    const std::vector<BYTE> file = read_all(path);
    const std::vector<BYTE> body(file.begin() + 16, file.end() - 4);
    ASSERT_EQ(wrap(file, body), file) << "the test rebuilds the file as the spooler writes it";

    for (size_t cut = 0; cut < body.size(); cut++) {
        write_all(path, wrap(file, std::vector<BYTE>(body.begin(), body.begin() + std::ptrdiff_t(cut))));
        std::string err = restart_quietly();
        ASSERT_TRUE(plat::spool_printers().empty()) << "cut at " << cut;
        ASSERT_NE(err.find("damaged"), std::string::npos) << "cut at " << cut;
    }
    /* Bytes changed at random (with a matching checksum): loaded or refused, never a crash. */
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; round++) {
        std::vector<BYTE> changed = body;
        for (int k = 0; k < 3; k++)
            changed[rng() % changed.size()] = BYTE(rng());
        write_all(path, wrap(file, changed));
        restart_quietly();
        for (const auto &name : plat::spool_printers()) {
            Printer h(name.c_str());
            DWORD needed = 0;
            if (h.ok)
                GetPrinterW(h, 2, nullptr, 0, &needed);
            if (needed) {
                std::unique_ptr<BYTE[]> buf(new BYTE[needed]);
                EXPECT_TRUE(GetPrinterW(h, 2, buf.get(), needed, &needed));
            }
        }
        for (const auto &j : plat::spool_jobs()) {
            std::vector<BYTE> bytes;
            plat::spool_job_bytes(j.id, bytes);
        }
    }
}

} // namespace
