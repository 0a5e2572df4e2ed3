/*
 * Tests of the document-monitor job record with the stand-in monitor: the
 * request's checks and limits (before anything is bound), the job key and
 * its limit, the job types and texts from the job's settings, the fax
 * hand-over file (read once, gone afterwards, a fax without one not
 * monitored), the delayed-print countdown, the user-name rules with the
 * "SYSTEM" retries, printer and port names, and starting the monitor.
 */
#include <tarvel/base/uix_jobwatch.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/jwm_record.h>
#include <tarvel/stores/pdt_info.h>

#include <docmon/docmon_record.h>

#include "test_mrg_support.h"

#include <plat/clock.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>

#include <cstring>
#include <string>

using namespace prn_test;

namespace {

class JwmRecord : public OpenStoreTest {
protected:
    void SetUp() override
    {
        OpenStoreTest::SetUp();
        UIX_ResetJobwatchForTest();
        bindDataManager();
        ASSERT_TRUE(FID_InitDefaults(context(), image_.data(), printerData_.data(), kPrinter));
        ASSERT_TRUE(DocmonInstall(plat::driver_dir_win() + u"\\tarveljwm.dll"));
        job_.printer = printer();
        job_.context = context();
        job_.devmode = image_.data();
        job_.printerData = printerData_.data();
        job_.printerName = u"Captured Printer";
        job_.portName = u"IP_10.1.2.3";
        job_.userName = u"alice";
        job_.documentName = u"Quarterly report";
    }
    void TearDown() override
    {
        UIX_ResetJobwatchForTest();
        OpenStoreTest::TearDown();
    }

    void setNumber(WORD id, DWORD value)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE] = {};
        ASSERT_EQ(DMB_GetValue(id, image_.data(), printerData_.data(), &type, &size, slot), 0) << id;
        BYTE bytes[FID_SLOT_SIZE] = {};
        plat::store<DWORD>(bytes, value);
        ASSERT_EQ(DMB_SetValue(id, image_.data(), printerData_.data(), type, size, bytes), 0) << id;
    }
    void setText(WORD id, const std::u16string &text)
    {
        LPCWSTR p = text.c_str();
        ASSERT_EQ(DMB_SetValue(id, image_.data(), printerData_.data(), 6, LONG((text.size() + 1) * 2), &p), 0) << id;
    }
    static const DocmonRecord *record() { return DocmonRecordOf(u"tarveljwm.dll"); }
    static void configure(const DocmonConfig &config) { ASSERT_TRUE(DocmonConfigureModule(u"tarveljwm.dll", config)); }
    /* A registration that keeps the stand-in loaded, so a test can configure it before the next. */
    HANDLE holdMonitor()
    {
        HANDLE h = UIX_InitJobwatch(0);
        EXPECT_NE(h, nullptr);
        return h;
    }
    static void writeFile(const std::u16string &path, const std::vector<BYTE> &bytes)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr));
        CloseHandle(f);
    }
    static std::vector<BYTE> handOver(const char *first, const char *second)
    {
        std::vector<BYTE> v(64, 0);
        std::memcpy(v.data(), first, std::strlen(first));
        std::memcpy(v.data() + 32, second, std::strlen(second));
        return v;
    }
    static bool exists(const std::u16string &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static void fixClock(WORD hour, WORD minute, WORD second)
    {
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 6;
        t.wDay = 3;
        t.wHour = hour;
        t.wMinute = minute;
        t.wSecond = second;
        ASSERT_TRUE(plat::clock_fix(t, 5000));
    }

    std::vector<BYTE> image_ = std::vector<BYTE>(5896, 0);
    std::vector<BYTE> printerData_ = std::vector<BYTE>(6148, 0);
    JwmJobContext job_{};
    CHAR key_[JWM_KEY_SIZE] = {};
};

MonitorJobRequest generalRequest()
{
    MonitorJobRequest r{};
    r.kind = JWM_KIND_GENERAL;
    r.jobType = JWM_JOB_SECURE;
    r.portName = "IP_10.1.2.3";
    r.documentName = "Report";
    r.jobText = "Face Down Tray";
    r.printerName = "Tarvel Colour";
    r.userName = "alice";
    return r;
}

TEST_F(JwmRecord, CountdownOfADelayedJob)
{
    EXPECT_EQ(JWM_DelaySeconds((23 * 60 + 30) * 60, 0, 15), 2700u);
    EXPECT_EQ(JWM_DelaySeconds(10 * 3600, 10, 0), 86400u) << "now is not earlier than the target";
    EXPECT_EQ(JWM_DelaySeconds(9 * 3600, 10, 0), 3600u);
    EXPECT_EQ(JWM_DelaySeconds(10 * 3600 + 1, 10, 0), 86399u);
}

TEST_F(JwmRecord, RequestsAreCheckedBeforeAnythingIsBound)
{
    const std::string s260(260, 'd'), s64(64, 'u'), s80(80, 't'), s32(32, 'f'), s256(256, 'p');
    struct Row {
        const char *what;
        void (*change)(MonitorJobRequest &, const std::string &);
        const std::string *text;
        int expected;
    };
    const Row rows[] = {
        {"no port", [](MonitorJobRequest &r, const std::string &) { r.portName = nullptr; }, nullptr, JWM_MISSING},
        {"no user", [](MonitorJobRequest &r, const std::string &) { r.userName = nullptr; }, nullptr, JWM_MISSING},
        {"no job text", [](MonitorJobRequest &r, const std::string &) { r.jobText = nullptr; }, nullptr, JWM_MISSING},
        {"a fax without its second text",
         [](MonitorJobRequest &r, const std::string &) {
             r.kind = JWM_KIND_FAX;
             r.faxText1 = "a";
         },
         nullptr, JWM_MISSING},
        {"kind 2", [](MonitorJobRequest &r, const std::string &) { r.kind = 2; }, nullptr, JWM_BAD_KIND},
        {"a document name of 260", [](MonitorJobRequest &r, const std::string &t) { r.documentName = t.c_str(); },
         &s260, JWM_TOO_LONG},
        {"a port name of 260", [](MonitorJobRequest &r, const std::string &t) { r.portName = t.c_str(); }, &s260,
         JWM_TOO_LONG},
        {"a printer name of 256", [](MonitorJobRequest &r, const std::string &t) { r.printerName = t.c_str(); },
         &s256, JWM_TOO_LONG},
        {"a user name of 64", [](MonitorJobRequest &r, const std::string &t) { r.userName = t.c_str(); }, &s64,
         JWM_TOO_LONG},
        {"a job text of 80", [](MonitorJobRequest &r, const std::string &t) { r.jobText = t.c_str(); }, &s80,
         JWM_TOO_LONG},
        {"a fax text of 32",
         [](MonitorJobRequest &r, const std::string &t) {
             r.kind = JWM_KIND_FAX;
             r.faxText1 = t.c_str();
             r.faxText2 = "b";
         },
         &s32, JWM_TOO_LONG},
    };
    const std::string none;
    for (const Row &row : rows) {
        MonitorJobRequest r = generalRequest();
        row.change(r, row.text ? *row.text : none);
        HANDLE h = reinterpret_cast<HANDLE>(1);
        EXPECT_EQ(JWM_RegisterJob(&h, key_, &r), row.expected) << row.what;
        EXPECT_EQ(h, nullptr);
    }
    EXPECT_EQ(plat::loader_load_count(u"tarveljwm.dll"), 0u) << "nothing was bound";
    MonitorJobRequest r = generalRequest();
    EXPECT_EQ(JWM_RegisterJob(nullptr, key_, &r), JWM_MISSING);
    EXPECT_EQ(JWM_RegisterJob(nullptr, key_, nullptr), JWM_MISSING);
}

TEST_F(JwmRecord, RegistrationHandsTheBlocksOverAndKeepsTheBinding)
{
    fixClock(9, 15, 0);
    MonitorJobRequest r = generalRequest();
    r.flag = 1;
    HANDLE h = nullptr;
    ASSERT_EQ(JWM_RegisterJob(&h, key_, &r), JWM_REGISTERED);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(key_, "CLIENT-1.JOB-1");
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 1) << "held until the monitor is started";
    const DocmonRecord *rec = record();
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->head.size, 608u);
    EXPECT_EQ(rec->head.count, 1u);
    EXPECT_EQ(rec->head.kind, 3u);
    EXPECT_EQ(rec->head.version, 11u);
    EXPECT_STREQ(rec->head.portName, "IP_10.1.2.3");
    EXPECT_STREQ(rec->head.printerName, "Tarvel Colour");
    EXPECT_STREQ(rec->head.userName, "alice");
    const JwmDetailBlock &d = rec->details[0];
    EXPECT_EQ(d.size, 812u);
    EXPECT_EQ(d.jobType, 3u);
    EXPECT_EQ(d.jobTime, 1717406100u) << "2024-06-03 09:15:00 UTC";
    EXPECT_EQ(JWM_GetJobTime(), 1717406100u);
    EXPECT_STREQ(d.jobId, "JOB-1");
    EXPECT_STREQ(d.documentName, "Report");
    EXPECT_STREQ(d.jobText, "Face Down Tray");
    EXPECT_EQ(d.flag, 1u);
    EXPECT_EQ(d.delaySeconds, 0u);
    EXPECT_STREQ(d.faxText1, "");

    EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);
    EXPECT_EQ(plat::loader_load_count(u"tarveljwm.dll"), 0u) << "released after running";
    EXPECT_EQ(JWM_StartMonitor(nullptr), JWM_MISSING);
}

TEST_F(JwmRecord, JobKeyLimitsAndRefusals)
{
    HANDLE held = holdMonitor();
    struct Row {
        const char *what;
        DocmonConfig config;
        int expected;
    };
    DocmonConfig key47{}, key48{}, longClient{}, noJobId{}, refused{};
    std::strcpy(key47.clientId, std::string(23, 'c').c_str());
    std::strcpy(key47.jobId, std::string(23, 'j').c_str());
    std::strcpy(key48.clientId, std::string(24, 'c').c_str());
    std::strcpy(key48.jobId, std::string(23, 'j').c_str());
    std::strcpy(longClient.clientId, std::string(64, 'c').c_str()); /* no room for its terminator */
    noJobId.failJobId = TRUE;
    refused.failSetData = TRUE;
    const Row rows[] = {
        {"a key of 47 characters", key47, JWM_REGISTERED},
        {"a key of 48 characters", key48, JWM_TOO_LONG},
        {"a client identifier of 64 characters", longClient, JWM_UNAVAILABLE},
        {"no job identifier", noJobId, JWM_UNAVAILABLE},
        {"the blocks refused", refused, JWM_UNAVAILABLE},
    };
    for (const Row &row : rows) {
        configure(row.config);
        MonitorJobRequest r = generalRequest();
        HANDLE h = nullptr;
        EXPECT_EQ(JWM_RegisterJob(&h, key_, &r), row.expected) << row.what;
        if (row.expected == JWM_REGISTERED) {
            EXPECT_EQ(std::strlen(key_), 47u);
            EXPECT_TRUE(UIX_UninitJobwatch(h));
        }
        EXPECT_EQ(UIX_GetJobwatchUseCount(), 1) << row.what << ": every failure releases its binding";
    }
    EXPECT_TRUE(UIX_UninitJobwatch(held));
}

TEST_F(JwmRecord, UnavailableMonitor)
{
    EXPECT_TRUE(JWM_IsAvailable());
    EXPECT_EQ(plat::loader_load_count(u"tarveljwm.dll"), 0u);
    ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, UIX_JOBWATCH_VALUE, u"gone.dll"));
    EXPECT_FALSE(JWM_IsAvailable());
    MonitorJobRequest r = generalRequest();
    HANDLE h = nullptr;
    EXPECT_EQ(JWM_RegisterJob(&h, key_, &r), JWM_UNAVAILABLE);
    EXPECT_EQ(JWM_BuildJobRecord(&job_, key_), nullptr);
}

TEST_F(JwmRecord, StartingAMonitorThatDoesNotRun)
{
    HANDLE held = holdMonitor();
    DocmonConfig failing{};
    failing.failExec = TRUE;
    configure(failing);
    MonitorJobRequest r = generalRequest();
    HANDLE h = nullptr;
    ASSERT_EQ(JWM_RegisterJob(&h, key_, &r), JWM_REGISTERED);
    EXPECT_EQ(JWM_StartMonitor(h), JWM_UNAVAILABLE);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 1) << "released all the same";
    EXPECT_TRUE(UIX_UninitJobwatch(held));
}

TEST_F(JwmRecord, JobTypesAndTextsFromTheSettings)
{
    struct Row {
        const char *what;
        DWORD s334, s336, s320;
        DWORD jobType;
        const char *text;
        DWORD flag;
    };
    const Row rows[] = {
        {"general", 0, 0, 0, 0, "Face Down Tray", 0},
        {"secure", 1, 0, 3, 3, "Face Down Tray", 1},
        {"proof", 2, 0, 0, 4, "Face Down Tray", 0},
        {"stored", 3, 0, 1, 9, ": BOX7", 1},
        {"setting 336 first", 1, 1, 1, 8, "Memo 338", 0},
    };
    setText(338, u"Memo 338");
    setText(435, u"BOX7");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        setNumber(334, row.s334);
        setNumber(336, row.s336);
        setNumber(320, row.s320);
        HANDLE h = JWM_BuildJobRecord(&job_, key_);
        ASSERT_NE(h, nullptr);
        const JwmDetailBlock &d = record()->details[0];
        EXPECT_EQ(d.jobType, row.jobType);
        EXPECT_STREQ(d.jobText, row.text);
        EXPECT_EQ(d.flag, row.flag);
        EXPECT_STREQ(d.documentName, "Quarterly report");
        EXPECT_STREQ(record()->head.printerName, "Captured Printer");
        EXPECT_STREQ(record()->head.portName, "IP_10.1.2.3");
        EXPECT_STREQ(record()->head.userName, "alice");
        EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);
    }
    setNumber(266, 2);
    setNumber(334, 1);
    CHAR text[JWM_TEXT_SIZE];
    ASSERT_TRUE(JWM_GetJobKindText(&job_, text));
    EXPECT_STREQ(text, "Finisher Tray");
    JWM_SetSeparatorStringId(12);
    ASSERT_TRUE(JWM_GetStoredJobText(&job_, text));
    EXPECT_STREQ(text, ": BOX7") << "the rendering library's string 12 reads the same";
    JWM_SetSeparatorStringId(5144);
}

TEST_F(JwmRecord, DelayedJobRegisteredBeforeMidnight)
{
    fixClock(23, 30, 0);
    setNumber(334, 4);
    setNumber(451, 0);
    setNumber(452, 15);
    HANDLE h = JWM_BuildJobRecord(&job_, key_);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(record()->details[0].jobType, 5u);
    EXPECT_EQ(record()->details[0].delaySeconds, 2700u);
    EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);

    /* Local time decides: at UTC+9 the fixed clock still reads 23:30 locally, 14:30 in UTC. */
    ASSERT_TRUE(plat::clock_set_utc_offset(9 * 60));
    setNumber(451, 10);
    setNumber(452, 0);
    h = JWM_BuildJobRecord(&job_, key_);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(record()->details[0].jobTime, 1717425000u);
    EXPECT_EQ(record()->details[0].delaySeconds, 37800u) << "10.5 hours from 23:30 local, not 19.5 from 14:30";
    EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);
}

TEST_F(JwmRecord, FaxJobsReadTheHandOverFileOnce)
{
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Fax", nullptr));
    setNumber(334, 5);
    setText(1799, u"C:\\Fax\\job1");
    writeFile(u"C:\\Fax\\job1.cw", handOver("From Sales", "Offer 2024"));
    HANDLE h = JWM_BuildJobRecord(&job_, key_);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(exists(u"C:\\Fax\\job1.cw")) << "deleted when closed";
    const JwmDetailBlock &d = record()->details[0];
    EXPECT_EQ(d.jobType, 1u);
    EXPECT_STREQ(d.faxText1, "From Sales");
    EXPECT_STREQ(d.faxText2, "Offer 2024");
    EXPECT_EQ(d.flag, 0u);
    EXPECT_STREQ(d.jobText, "");
    EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);

    EXPECT_EQ(JWM_BuildJobRecord(&job_, key_), nullptr) << "the file is gone: not monitored";
    EXPECT_EQ(plat::loader_load_count(u"tarveljwm.dll"), 0u);

    setNumber(1800, 1);
    writeFile(u"C:\\Fax\\job1.cw", handOver("A", "B"));
    h = JWM_BuildJobRecord(&job_, key_);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(record()->details[0].jobType, 6u);
    EXPECT_EQ(JWM_StartMonitor(h), JWM_REGISTERED);
}

TEST_F(JwmRecord, HandOverFilesThatCannotBeReadAreGoneAllTheSame)
{
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Fax", nullptr));
    CHAR a[JWM_FAX_TEXT_SIZE], b[JWM_FAX_TEXT_SIZE];
    writeFile(u"C:\\Fax\\short.cw", std::vector<BYTE>(10, 'x'));
    EXPECT_FALSE(JWM_ReadHandOverFile(u"C:\\Fax\\short.cw", a, b));
    EXPECT_FALSE(exists(u"C:\\Fax\\short.cw"));
    std::vector<BYTE> unterminated = handOver("ok", "");
    std::memset(unterminated.data() + 32, 'y', 32);
    writeFile(u"C:\\Fax\\open.cw", unterminated);
    EXPECT_FALSE(JWM_ReadHandOverFile(u"C:\\Fax\\open.cw", a, b)) << "a text without its terminator";
    EXPECT_FALSE(exists(u"C:\\Fax\\open.cw"));
    EXPECT_FALSE(JWM_ReadHandOverFile(u"C:\\Fax\\none.cw", a, b));
    writeFile(u"C:\\Fax\\full.cw", handOver(std::string(31, 'p').c_str(), "q"));
    ASSERT_TRUE(JWM_ReadHandOverFile(u"C:\\Fax\\full.cw", a, b));
    EXPECT_EQ(std::string(a), std::string(31, 'p'));
    EXPECT_STREQ(b, "q");
}

TEST_F(JwmRecord, UserNameRules)
{
    CHAR user[JWM_USER_SIZE];
    setText(5121, u"Account 5121");
    setText(5150, u"Name 5150");
    struct Row {
        DWORD source;
        const char *expected;
    };
    const Row rows[] = {{1, "Account 5121"}, {4, "Account 5121"}, {5, "Name 5150"}, {6, "Name 5150"}, {0, "alice"},
                        {7, "alice"}};
    for (const Row &row : rows) {
        setNumber(5127, row.source);
        ASSERT_TRUE(JWM_GetUserName(&job_, user));
        EXPECT_STREQ(user, row.expected) << "5127 = " << row.source;
    }
    job_.userName = nullptr;
    plat::sysinfo_set_user_name(u"bob");
    ASSERT_TRUE(JWM_GetUserName(&job_, user));
    EXPECT_STREQ(user, "bob");

    /* "SYSTEM" is asked again three more times, 1 ms apart. */
    fixClock(8, 0, 0);
    plat::sysinfo_set_user_name(u"SYSTEM");
    const DWORD before = GetTickCount();
    ASSERT_TRUE(JWM_GetUserName(&job_, user));
    EXPECT_STREQ(user, "UnknownUser");
    EXPECT_EQ(GetTickCount() - before, 3u);

    const std::u16string longName(70, u'n');
    job_.userName = longName.c_str();
    ASSERT_TRUE(JWM_GetUserName(&job_, user));
    EXPECT_EQ(std::strlen(user), 64u) << "cut to 64 bytes";
    EXPECT_FALSE(JWM_GetUserName(&job_, nullptr));
}

TEST_F(JwmRecord, PrinterAndPortFromThePrinterWhenNotCaptured)
{
    BYTE *info = PDT_GetPrinterInfo(printer(), 2);
    ASSERT_NE(info, nullptr);
    const auto *p2 = reinterpret_cast<const PRINTER_INFO_2W *>(info);
    const std::string name = plat::utf16_to_utf8(p2->pPrinterName), port = plat::utf16_to_utf8(p2->pPortName);
    GlobalFree(info);
    CHAR printerName[JWM_PRINTER_SIZE], portName[JWM_PORT_SIZE];
    job_.printerName = nullptr;
    ASSERT_TRUE(JWM_GetPrinterAndPort(&job_, printerName, portName));
    EXPECT_EQ(std::string(printerName), name);
    EXPECT_STREQ(portName, "IP_10.1.2.3") << "the captured port stays";
    job_.portName = nullptr;
    ASSERT_TRUE(JWM_GetPrinterAndPort(&job_, printerName, portName));
    EXPECT_EQ(std::string(portName), port);
    job_.printer = nullptr;
    EXPECT_FALSE(JWM_GetPrinterAndPort(&job_, printerName, portName));
    EXPECT_STREQ(printerName, "");
    EXPECT_STREQ(portName, "");
}

} // namespace
