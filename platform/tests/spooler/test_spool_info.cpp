// Printer, driver, job, form and port information: the two-call protocol of
// every Get and Enum function with exactly sized buffers, what the records
// say, and changing a printer with SetPrinterW.
#include "spool_fixture.h"

#include <cstring>
#include <functional>
#include <iterator>

using namespace spooltest;

namespace {

class SpoolInfo : public SpoolTest {};

/* One Get or Enum call of the table below, run against an installed printer with one job. */
struct InfoCase {
    const char *what;
    std::function<BOOL(HANDLE, LPBYTE, DWORD, LPDWORD)> call;
};

DWORD g_job = 0;

std::vector<InfoCase> info_cases()
{
    DWORD n = 0;
    return {
        {"GetPrinterW 1", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 1, b, c, n); }},
        {"GetPrinterW 2", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); }},
        {"GetPrinterW 4", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 4, b, c, n); }},
        {"GetPrinterW 5", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 5, b, c, n); }},
        {"GetPrinterDriverW 1",
         [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, nullptr, 1, b, c, n); }},
        {"GetPrinterDriverW 2",
         [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, nullptr, 2, b, c, n); }},
        {"GetPrinterDriverW 3",
         [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, u"Windows x64", 3, b, c, n); }},
        {"GetFormW", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetFormW(h, u"A4", 1, b, c, n); }},
        {"EnumFormsW",
         [n](HANDLE h, LPBYTE b, DWORD c, LPDWORD need) mutable { return EnumFormsW(h, 1, b, c, need, &n); }},
        {"EnumPrintersW 1",
         [n](HANDLE, LPBYTE b, DWORD c, LPDWORD need) mutable {
             return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 1, b, c, need, &n);
         }},
        {"EnumPrintersW 2",
         [n](HANDLE, LPBYTE b, DWORD c, LPDWORD need) mutable {
             return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, c, need, &n);
         }},
        {"EnumPrintersW 5",
         [n](HANDLE, LPBYTE b, DWORD c, LPDWORD need) mutable {
             return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, b, c, need, &n);
         }},
        {"EnumJobsW",
         [n](HANDLE h, LPBYTE b, DWORD c, LPDWORD need) mutable { return EnumJobsW(h, 0, 10, 1, b, c, need, &n); }},
        {"GetJobW", [](HANDLE h, LPBYTE b, DWORD c, LPDWORD n) { return GetJobW(h, g_job, 1, b, c, n); }},
        {"EnumPortsW 1",
         [n](HANDLE, LPBYTE b, DWORD c, LPDWORD need) mutable { return EnumPortsW(nullptr, 1, b, c, need, &n); }},
        {"EnumPortsW 2",
         [n](HANDLE, LPBYTE b, DWORD c, LPDWORD need) mutable { return EnumPortsW(nullptr, 2, b, c, need, &n); }},
    };
}

TEST_F(SpoolInfo, EveryGetAndEnumFollowsTheTwoCallProtocol)
{
    install(kPrinter, u"FILE:", make_devmode());
    Printer h(kPrinter);
    DOC_INFO_1W di{const_cast<LPWSTR>(u"report"), nullptr, nullptr};
    g_job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di));
    ASSERT_NE(g_job, 0u);
    for (const auto &c : info_cases()) {
        SCOPED_TRACE(c.what);
        Answer a = two_call([&](LPBYTE b, DWORD cb, LPDWORD need) { return c.call(h, b, cb, need); });
        EXPECT_GT(a.size, 0u);
    }
    EXPECT_TRUE(EndDocPrinter(h));
}

TEST_F(SpoolInfo, PrinterLevelsDescribeThePrinter)
{
    std::vector<BYTE> dm = make_devmode(220, 40, 9);
    install(kPrinter, u"LPT1:", dm);
    Printer h(kPrinter);

    Answer a1 = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 1, b, c, n); });
    const auto *p1 = a1.as<PRINTER_INFO_1W>();
    EXPECT_EQ(p1->Flags, PRINTER_ENUM_ICON8);
    EXPECT_EQ(s16(p1->pDescription), u"Tarvel Colour,Tarvel PCL XL,room 12");
    EXPECT_EQ(s16(p1->pName), kPrinter);
    EXPECT_EQ(s16(p1->pComment), u"second floor");
    EXPECT_TRUE(inside(a1, p1->pName));

    Answer a2 = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
    const auto *p2 = a2.as<PRINTER_INFO_2W>();
    EXPECT_EQ(p2->pServerName, nullptr);
    EXPECT_EQ(s16(p2->pPrinterName), kPrinter);
    EXPECT_EQ(s16(p2->pPortName), u"LPT1:");
    EXPECT_EQ(s16(p2->pDriverName), kDriver);
    EXPECT_EQ(s16(p2->pLocation), u"room 12");
    EXPECT_EQ(s16(p2->pDatatype), u"RAW");
    EXPECT_EQ(s16(p2->pPrintProcessor), u"winprint");
    EXPECT_EQ(p2->pSecurityDescriptor, nullptr);
    EXPECT_EQ(p2->Attributes, PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DEFAULT) << "the first printer is the default";
    EXPECT_EQ(p2->cJobs, 0u);
    ASSERT_NE(p2->pDevMode, nullptr);
    ASSERT_TRUE(inside(a2, p2->pDevMode));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p2->pDevMode) % 8, 0u) << "the devmode is aligned";
    EXPECT_EQ(std::vector<BYTE>(reinterpret_cast<const BYTE *>(p2->pDevMode),
                                reinterpret_cast<const BYTE *>(p2->pDevMode) + dm.size()),
              dm);
    EXPECT_LE(reinterpret_cast<const BYTE *>(p2->pDevMode) + dm.size(), a2.bytes.get() + a2.size);

    Answer a5 = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 5, b, c, n); });
    const auto *p5 = a5.as<PRINTER_INFO_5W>();
    EXPECT_EQ(s16(p5->pPrinterName), kPrinter);
    EXPECT_EQ(s16(p5->pPortName), u"LPT1:");
    EXPECT_EQ(p5->DeviceNotSelectedTimeout, 15000u);
    EXPECT_EQ(p5->TransmissionRetryTimeout, 45000u);

    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, 3, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolInfo, PrinterWithoutDevmodeAnswersNull)
{
    install();
    Printer h(kPrinter);
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
    EXPECT_EQ(a.as<PRINTER_INFO_2W>()->pDevMode, nullptr);
}

TEST_F(SpoolInfo, DriverLevelsGiveFullPathsInTheDriverDirectory)
{
    install();
    Printer h(kPrinter);
    const std::u16string dir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";
    EXPECT_EQ(plat::spool_driver_dir() + u"\\", dir);

    Answer a2 = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, nullptr, 2, b, c, n); });
    const auto *d2 = a2.as<DRIVER_INFO_2W>();
    EXPECT_EQ(d2->cVersion, 3u);
    EXPECT_EQ(s16(d2->pName), kDriver);
    EXPECT_EQ(s16(d2->pEnvironment), u"Windows x64");
    EXPECT_EQ(s16(d2->pDriverPath), dir + u"tarvelgr.dll");
    EXPECT_EQ(s16(d2->pDataFile), dir + u"TVCOLOR.DDD");
    EXPECT_EQ(s16(d2->pConfigFile), dir + u"tarvelui.dll");

    Answer a3 = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, nullptr, 3, b, c, n); });
    const auto *d3 = a3.as<DRIVER_INFO_3W>();
    EXPECT_EQ(s16(d3->pDataFile), dir + u"TVCOLOR.DDD");
    EXPECT_EQ(s16(d3->pHelpFile), dir + u"tarvel.chm");
    EXPECT_EQ(s16(d3->pMonitorName), u"Pollvane Language Monitor");
    EXPECT_EQ(s16(d3->pDefaultDataType), u"RAW");
    /* The dependent files: each with its zero, the list ended by one more. */
    const WCHAR *dep = d3->pDependentFiles;
    ASSERT_TRUE(inside(a3, dep));
    EXPECT_EQ(s16(dep), dir + u"tarveldm.dll");
    dep += plat::wlen(dep) + 1;
    EXPECT_EQ(s16(dep), dir + u"tarvelrs.xrs");
    dep += plat::wlen(dep) + 1;
    EXPECT_EQ(*dep, u'\0');
    EXPECT_TRUE(inside(a3, dep));

    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterDriverW(h, u"Windows NT x86", 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ENVIRONMENT));
    SetLastError(0);
    EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 6, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolInfo, TheModelFileIsReadableThroughItsWindowsPath)
{
    install();
    Printer h(kPrinter);
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterDriverW(h, nullptr, 2, b, c, n); });
    std::string real;
    ASSERT_TRUE(plat::map_path(a.as<DRIVER_INFO_2W>()->pDataFile, real));
    EXPECT_EQ(real.rfind(plat::machine_root(), 0), 0u) << "the driver directory lies in the machine folder";
    std::ifstream in(real, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "model data");
}

TEST_F(SpoolInfo, EnumPrintersListsInInstallOrderAndFindsTheDefault)
{
    install(u"First");
    install(u"Second");
    DWORD n = 0;
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD need) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, b, c, need, &n);
    });
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(s16(a.as<PRINTER_INFO_4W>(0)->pPrinterName), u"First");
    EXPECT_EQ(s16(a.as<PRINTER_INFO_4W>(1)->pPrinterName), u"Second");
    EXPECT_EQ(a.as<PRINTER_INFO_4W>(0)->pServerName, nullptr);
    Answer d = two_call([&](LPBYTE b, DWORD c, LPDWORD need) {
        return EnumPrintersW(PRINTER_ENUM_DEFAULT, nullptr, 5, b, c, need, &n);
    });
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(s16(d.as<PRINTER_INFO_5W>()->pPrinterName), u"First");
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, u"\\\\elsewhere", 1, nullptr, 0, &needed, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
}

TEST_F(SpoolInfo, EmptyListsNeedNoBuffer)
{
    DWORD needed = 99, n = 99;
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &n));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(n, 0u);
    install();
    Printer h(kPrinter);
    needed = n = 99;
    EXPECT_TRUE(EnumJobsW(h, 0, 100, 1, nullptr, 0, &needed, &n));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(n, 0u);
}

TEST_F(SpoolInfo, SetPrinterLevel2ChangesWhatItGives)
{
    install();
    Printer h(kPrinter, PRINTER_ALL_ACCESS);
    Answer before = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
    PRINTER_INFO_2W change = *before.as<PRINTER_INFO_2W>();
    std::vector<BYTE> dm = make_devmode(220, 100, 42);
    change.pDevMode = reinterpret_cast<DEVMODEW *>(dm.data());
    change.pComment = const_cast<LPWSTR>(u"moved");
    change.pPrinterName = const_cast<LPWSTR>(u"Renamed");
    change.Attributes |= PRINTER_ATTRIBUTE_ENABLE_BIDI;
    ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&change), 0)) << GetLastError();

    Answer after = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
    const auto *p = after.as<PRINTER_INFO_2W>();
    EXPECT_EQ(s16(p->pPrinterName), u"Renamed");
    EXPECT_EQ(s16(p->pComment), u"moved");
    EXPECT_EQ(s16(p->pPortName), u"FILE:");
    EXPECT_TRUE(p->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI);
    ASSERT_NE(p->pDevMode, nullptr);
    EXPECT_EQ(0, std::memcmp(p->pDevMode, dm.data(), dm.size()));
    EXPECT_LE(reinterpret_cast<const BYTE *>(p->pDevMode) + dm.size(), after.bytes.get() + after.size);
    EXPECT_TRUE(Printer(u"renamed").ok);
    EXPECT_FALSE(Printer(kPrinter).ok);
}

TEST_F(SpoolInfo, SetPrinterRefusesBadChangesAndKeepsTheOldState)
{
    install(u"One");
    install(u"Two");
    Printer h(u"Two", PRINTER_ALL_ACCESS);
    PRINTER_INFO_2W change{};
    struct Bad {
        const char *what;
        void (*apply)(PRINTER_INFO_2W &, std::vector<BYTE> &);
        DWORD error;
    };
    const Bad bad[] = {
        {"name taken", [](PRINTER_INFO_2W &c, std::vector<BYTE> &) { c.pPrinterName = const_cast<LPWSTR>(u"ONE"); },
         ERROR_PRINTER_ALREADY_EXISTS},
        {"name with comma",
         [](PRINTER_INFO_2W &c, std::vector<BYTE> &) { c.pPrinterName = const_cast<LPWSTR>(u"a,b"); },
         ERROR_INVALID_PRINTER_NAME},
        {"unknown port", [](PRINTER_INFO_2W &c, std::vector<BYTE> &) { c.pPortName = const_cast<LPWSTR>(u"LPT9:"); },
         ERROR_UNKNOWN_PORT},
        {"unknown driver",
         [](PRINTER_INFO_2W &c, std::vector<BYTE> &) { c.pDriverName = const_cast<LPWSTR>(u"Other"); },
         ERROR_UNKNOWN_PRINTER_DRIVER},
        {"data type", [](PRINTER_INFO_2W &c, std::vector<BYTE> &) { c.pDatatype = const_cast<LPWSTR>(u"TEXT"); },
         ERROR_INVALID_DATATYPE},
        {"tiny devmode",
         [](PRINTER_INFO_2W &c, std::vector<BYTE> &dm) {
             dm = make_devmode(40, 0);
             c.pDevMode = reinterpret_cast<DEVMODEW *>(dm.data());
         },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        change = PRINTER_INFO_2W{};
        change.pComment = const_cast<LPWSTR>(u"must not stick");
        std::vector<BYTE> dm;
        b.apply(change, dm);
        SetLastError(0);
        EXPECT_FALSE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&change), 0));
        EXPECT_EQ(GetLastError(), b.error);
    }
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 1, b, c, n); });
    EXPECT_EQ(s16(a.as<PRINTER_INFO_1W>()->pComment), u"second floor");
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(h, 5, reinterpret_cast<BYTE *>(&change), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolInfo, SetPrinterLevel0ControlsTheStatus)
{
    install();
    Printer h(kPrinter, PRINTER_ALL_ACCESS);
    auto status = [&] {
        Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetPrinterW(h, 2, b, c, n); });
        return a.as<PRINTER_INFO_2W>()->Status;
    };
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PAUSE));
    EXPECT_EQ(status(), PRINTER_STATUS_PAUSED);
    DWORD word = PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_USER_INTERVENTION;
    EXPECT_TRUE(SetPrinterW(h, 0, reinterpret_cast<BYTE *>(&word), PRINTER_CONTROL_SET_STATUS));
    EXPECT_EQ(status(), word);
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_RESUME));
    EXPECT_EQ(status(), word);
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(h, 0, nullptr, 99));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolInfo, InjectedFailuresOfTheGetFunctions)
{
    install();
    Printer h(kPrinter);
    DWORD needed = 0;
    plat::spool_fail_after(plat::SpoolCall::GetPrinter, 1, ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << "only the armed call fails";
    plat::spool_fail_after(plat::SpoolCall::GetPrinterDriver, 1, ERROR_UNKNOWN_PRINTER_DRIVER);
    SetLastError(0);
    EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PRINTER_DRIVER));
}

} // namespace
