// Installing drivers, printers and ports on the machine, and the ports'
// side: the port list, the status the language monitor sets, and the
// address a port monitor's configuration channel answers.
#include "spool_fixture.h"

#include <iterator>

using namespace spooltest;

namespace {

class SpoolInstall : public SpoolTest {};

TEST_F(SpoolInstall, DriversCopyAndLinkTheirFiles)
{
    std::filesystem::create_directories(root / "build");
    std::ofstream(root / "build" / "libtarvelgr.so") << "library";
    std::ofstream(root / "build" / "TVFAX.DDD") << "fax model";
    plat::SpoolDriver d;
    d.name = u"Fax";
    d.driver_file = u"tarvelgr.dll";
    d.data_file = u"TVFAX.DDD";
    d.copy_files = {(root / "build" / "TVFAX.DDD").string()};
    d.link_files = {(root / "build" / "libtarvelgr.so").string()};
    ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
    std::filesystem::path dir = plat::spool_driver_dir_real();
    EXPECT_EQ(dir.string().rfind(plat::machine_root(), 0), 0u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "libtarvelgr.so"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "TVFAX.DDD"));
    /* Installing again replaces a link without writing through it. */
    d.copy_files = {(root / "build" / "libtarvelgr.so").string()};
    d.link_files.clear();
    std::ofstream(root / "build" / "libtarvelgr.so") << "library v2";
    ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "libtarvelgr.so"));
}

TEST_F(SpoolInstall, TheFirstInstallLinksTheBuildsLibrariesAndCopiesItsData)
{
    /* As the loader mounts the driver directory on the build's driver folder. */
    std::filesystem::path build = root / "build-driver";
    std::filesystem::create_directories(build / "sub");
    std::ofstream(build / "libtarveldm.so") << "data manager";
    std::ofstream(build / "tarvelrs.xrs") << "resources";
    std::ofstream(build / "TVCOLOR.DDD") << "built model";
    plat::machine_mount(plat::spool_driver_dir(), build.string());

    install(); /* copies its own TVCOLOR.DDD */
    std::string real;
    ASSERT_TRUE(plat::map_path(plat::spool_driver_dir() + u"\\libtarveldm.so", real));
    EXPECT_EQ(real.rfind(plat::machine_root() + "/c/", 0), 0u) << real;
    std::filesystem::path dir = plat::spool_driver_dir_real();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "libtarveldm.so"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "tarvelrs.xrs")) << "data files are copies";
    std::ofstream(dir / "tarvelrs.xrs") << "changed on this machine";
    std::ifstream resources(build / "tarvelrs.xrs");
    std::string original((std::istreambuf_iterator<char>(resources)), std::istreambuf_iterator<char>());
    EXPECT_EQ(original, "resources") << "a change on the machine never reaches the build's folder";
    EXPECT_FALSE(std::filesystem::exists(dir / "sub")) << "folders are not linked";
    std::ifstream model(dir / "TVCOLOR.DDD");
    std::string text((std::istreambuf_iterator<char>(model)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "model data") << "the driver's own files win over the build's";
    std::ifstream built(build / "TVCOLOR.DDD");
    std::string kept((std::istreambuf_iterator<char>(built)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "built model") << "nothing is written into the build's folder";
}

TEST_F(SpoolInstall, BadDriversAreRefusedWhole)
{
    plat::SpoolDriver d;
    d.name = u"Broken";
    d.driver_file = u"tarvelgr.dll";
    d.copy_files = {(root / "missing.DDD").string()};
    EXPECT_EQ(plat::spool_add_driver(d), DWORD(ERROR_FILE_NOT_FOUND));
    d.copy_files.clear();
    d.environment = u"Windows NT x86";
    EXPECT_EQ(plat::spool_add_driver(d), DWORD(ERROR_INVALID_ENVIRONMENT));
    d.environment = u"Windows x64";
    d.driver_file.clear();
    EXPECT_EQ(plat::spool_add_driver(d), DWORD(ERROR_INVALID_PARAMETER));
    plat::SpoolPrinter p;
    p.name = u"P";
    p.driver = u"Broken";
    EXPECT_EQ(plat::spool_add_printer(p), DWORD(ERROR_UNKNOWN_PRINTER_DRIVER)) << "no driver was installed";
}

TEST_F(SpoolInstall, BadPrintersAreRefused)
{
    install();
    struct Bad {
        const char *what;
        std::u16string name;
        std::vector<BYTE> devmode;
        DWORD error;
    };
    std::vector<BYTE> short_dm = make_devmode(220, 16);
    short_dm.resize(200);
    const Bad bad[] = {
        {"empty name", u"", {}, ERROR_INVALID_PRINTER_NAME},
        {"comma", u"a,b", {}, ERROR_INVALID_PRINTER_NAME},
        {"backslash", u"\\\\server\\p", {}, ERROR_INVALID_PRINTER_NAME},
        {"taken", u"TARVEL COLOUR", {}, ERROR_PRINTER_ALREADY_EXISTS},
        {"devmode shorter than it says", u"New", short_dm, ERROR_INVALID_PARAMETER},
        {"devmode too small", u"New", std::vector<BYTE>(40), ERROR_INVALID_PARAMETER},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        plat::SpoolPrinter p;
        p.name = b.name;
        p.driver = kDriver;
        p.devmode = b.devmode;
        EXPECT_EQ(plat::spool_add_printer(p), b.error);
    }
    EXPECT_EQ(plat::spool_printers().size(), 1u);
    EXPECT_EQ(plat::spool_delete_printer(u"nobody"), DWORD(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(SpoolInstall, DeletingAPrinterTakesItsJobs)
{
    install();
    install(u"Other");
    DWORD kept;
    {
        Printer a(kPrinter), b(u"Other");
        DOC_INFO_1W di{const_cast<LPWSTR>(u"d"), nullptr, nullptr};
        DWORD gone = StartDocPrinterW(a, 1, reinterpret_cast<BYTE *>(&di));
        kept = StartDocPrinterW(b, 1, reinterpret_cast<BYTE *>(&di));
        EndDocPrinter(a);
        EndDocPrinter(b);
        std::string path = plat::spool_job_path(gone);
        ASSERT_EQ(plat::spool_delete_printer(kPrinter), DWORD(ERROR_SUCCESS));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    auto jobs = plat::spool_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, kept);
    EXPECT_EQ(plat::spool_printers(), std::vector<std::u16string>{u"Other"});
}

TEST_F(SpoolInstall, PortsListLocalPortsThenAddedOnes)
{
    plat::SpoolPort tcp;
    tcp.name = u"IP_192.0.2.7";
    tcp.monitor = u"tcpmon.dll";
    tcp.description = u"Standard TCP/IP Port";
    tcp.type = PORT_TYPE_WRITE | PORT_TYPE_READ;
    tcp.address = u"192.0.2.7";
    ASSERT_EQ(plat::spool_add_port(tcp), DWORD(ERROR_SUCCESS));
    install(kPrinter, u"USB001"); /* an unknown port comes in as a local one */
    DWORD n = 0;
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD need) { return EnumPortsW(nullptr, 2, b, c, need, &n); });
    ASSERT_EQ(n, 10u);
    const auto *p = a.as<PORT_INFO_2W>();
    EXPECT_EQ(s16(p[0].pPortName), u"LPT1:");
    EXPECT_EQ(s16(p[0].pMonitorName), u"localspl.dll");
    EXPECT_EQ(s16(p[7].pPortName), u"FILE:");
    EXPECT_EQ(s16(p[8].pPortName), u"IP_192.0.2.7");
    EXPECT_EQ(s16(p[8].pMonitorName), u"tcpmon.dll");
    EXPECT_EQ(p[8].fPortType, PORT_TYPE_WRITE | PORT_TYPE_READ);
    EXPECT_EQ(s16(p[9].pPortName), u"USB001");
    plat::SpoolPort lpt;
    lpt.name = u"LPT1:";
    EXPECT_EQ(plat::spool_add_port(lpt), DWORD(ERROR_ALREADY_EXISTS));
}

TEST_F(SpoolInstall, SetPortKeepsTheStatus)
{
    PORT_INFO_3W info{PORT_STATUS_PAPER_OUT, nullptr, PORT_STATUS_TYPE_ERROR};
    ASSERT_TRUE(SetPortW(nullptr, u"lpt1:", 3, reinterpret_cast<BYTE *>(&info)));
    DWORD status = 0, severity = 0;
    ASSERT_TRUE(plat::spool_port_status(u"LPT1:", &status, &severity));
    EXPECT_EQ(status, PORT_STATUS_PAPER_OUT);
    EXPECT_EQ(severity, PORT_STATUS_TYPE_ERROR);
    info = PORT_INFO_3W{0, nullptr, PORT_STATUS_TYPE_WARNING};
    ASSERT_TRUE(SetPortW(nullptr, u"LPT1:", 3, reinterpret_cast<BYTE *>(&info)));
    plat::spool_port_status(u"LPT1:", &status, &severity);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(severity, 0u) << "a status of 0 clears it";
    SetLastError(0);
    EXPECT_FALSE(SetPortW(nullptr, u"LPT9:", 3, reinterpret_cast<BYTE *>(&info)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PORT));
    SetLastError(0);
    EXPECT_FALSE(SetPortW(nullptr, u"LPT1:", 1, reinterpret_cast<BYTE *>(&info)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolInstall, XcvAnswersThePortAddress)
{
    plat::SpoolPort tcp;
    tcp.name = u"IP_192.0.2.7";
    tcp.monitor = u"tcpmon.dll";
    tcp.address = u"192.0.2.7";
    ASSERT_EQ(plat::spool_add_port(tcp), DWORD(ERROR_SUCCESS));
    Printer xcv(u",XcvPort IP_192.0.2.7");
    ASSERT_TRUE(xcv.ok) << xcv.error;
    DWORD needed = 0, status = 0;
    ASSERT_TRUE(XcvDataW(xcv, u"IPAddress", nullptr, 0, nullptr, 0, &needed, &status));
    EXPECT_EQ(status, DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, 20u);
    std::unique_ptr<BYTE[]> out(new BYTE[needed]);
    ASSERT_TRUE(XcvDataW(xcv, u"IPAddress", nullptr, 0, out.get(), needed, &needed, &status));
    EXPECT_EQ(status, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(out.get())), u"192.0.2.7");
    ASSERT_TRUE(XcvDataW(xcv, u"MonitorUI", nullptr, 0, out.get(), needed, &needed, &status));
    EXPECT_EQ(status, DWORD(ERROR_INVALID_PARAMETER));

    Printer local(u",XcvPort LPT1:");
    ASSERT_TRUE(XcvDataW(local, u"IPAddress", nullptr, 0, out.get(), needed, &needed, &status));
    EXPECT_EQ(status, DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(Printer(u",XcvPort NOPE:").ok);
    install();
    Printer printer(kPrinter);
    SetLastError(0);
    EXPECT_FALSE(XcvDataW(printer, u"IPAddress", nullptr, 0, out.get(), needed, &needed, &status));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
