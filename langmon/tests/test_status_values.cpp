/*
 * The status-value table and its delivery to the status-manager stand-in,
 * the port status published to the spooler stand-in, and the values the
 * monitor sets itself.  Expected bytes and codes are worked out by hand
 * from the tables of the values, the delivery types and the status map.
 */
#include "lm_status_fixture.h"

#include <plat/sync.h>

#include <atomic>

namespace {

class StatusValuesTest : public StatusTest {
protected:
    /* USB001 serving "Office" and "Annex", both bound; the manager's log cleared. */
    MonitorPort *bound_port()
    {
        add_printer(u"Office", u"USB001");
        add_printer(u"Annex", u"USB001");
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h, u"Office"));
        MonitorPort *port = rec(h);
        EXPECT_TRUE(LMS_PublishToManager(port));
        EXPECT_EQ(served(port), 2u);
        EXPECT_TRUE(eventually([&] { return sm.registrations() == 2; }));
        sm.clearLog();
        return port;
    }

    static ServedPrinter *printer(MonitorPort *port, const char16_t *name) { return LMS_FindServedPrinter(name, port); }

    static StatusVariable *row(MonitorPort *port, const char *name) { return LMS_LookupVariable(name, port); }

    static void queue(MonitorPort *port, DWORD id, ServedPrinter *p)
    {
        ASSERT_TRUE(LMJ_QueueJob(id, port));
        port->jobQueueTail->printer = p;
    }

    static std::vector<DWORD> queued(MonitorPort *port)
    {
        std::vector<DWORD> ids;
        for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next)
            ids.push_back(e->jobId);
        return ids;
    }
};

TEST_F(StatusValuesTest, TemplateLookupsAndStores)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    for (ULONGLONG mask : {ULONGLONG(0), LM_MODEL_K4100}) {
        port->modelMask = mask;
        EXPECT_EQ(LMS_FindVariable("OppPowerSaveTime2", port->statusVariables, port, TRUE), nullptr);
        EXPECT_EQ(LMS_FindVariable("OppPaperType5", port->statusVariables, port, TRUE), nullptr);
        EXPECT_NE(LMS_LookupVariable("OppPaperType4", port), nullptr);
    }
    EXPECT_EQ(LMS_FindVariable("printerstatus", port->statusVariables, port, FALSE), nullptr) << "names are exact";
    EXPECT_EQ(LMS_FindVariable(nullptr, port->statusVariables, port, FALSE), nullptr);
    EXPECT_EQ(LMS_FindVariable("PrinterStatus", nullptr, port, FALSE), nullptr);

    const size_t blocks = plat::heap_live_blocks(g_lm.heap);
    EXPECT_EQ(LMS_FindVariable("PrinterOptConfig", port->statusVariables, port, TRUE), nullptr)
        << "a counted list is not allocated by a lookup";
    EXPECT_EQ(LMS_FindVariable("Port", port->statusVariables, port, TRUE), nullptr) << "size 0";
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), blocks);

    /* A counted list's size: count x element + 4. */
    StatusVariable *opts = row(port, "PrinterOptConfig");
    EXPECT_EQ(LMS_VariableSize(opts), -1);
    const BYTE list[4 + 16] = {2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_TRUE(LMS_StoreValue(opts, list));
    EXPECT_EQ(LMS_VariableSize(opts), 20);
    EXPECT_FALSE(LMS_StoreValue(opts, list)) << "equal: left alone";

    StatusVariable *toner = LMS_FindVariable("TonerRemain", port->statusVariables, port, TRUE);
    ASSERT_NE(toner, nullptr);
    const BYTE levels[4] = {10, 20, 30, 40};
    toner->changed = 0;
    EXPECT_TRUE(LMS_StoreValue(toner, levels));
    EXPECT_FALSE(LMS_StoreValue(toner, levels));
    EXPECT_EQ(toner->changed, 0) << "the caller marks changes";
    EXPECT_EQ(std::memcmp(toner->value, levels, 4), 0);
}

TEST_F(StatusValuesTest, SeedsOfAFreshPort)
{
    struct Case {
        const char16_t *port;
        DWORD second;
    } cases[] = {{u"USB001", 0x800}, {u"LPT1:", 0x400}, {u"COM1:", 0x400}};
    for (const Case &c : cases) {
        HANDLE h = nullptr;
        ASSERT_TRUE(open(c.port, &h));
        DWORD words[3];
        ASSERT_TRUE(LMS_ReadPrinterStatus(rec(h), words));
        EXPECT_EQ(words[0], 0u);
        EXPECT_EQ(words[1], c.second) << plat::utf16_to_utf8(c.port);
        EXPECT_EQ(words[2], 0u);
        EXPECT_TRUE(LMP_ClosePort(h));
    }
}

/* Each delivery type: who receives what, and what is left of the row afterwards. */
TEST_F(StatusValuesTest, DeliveryByType)
{
    MonitorPort *port = bound_port();
    ServedPrinter *office = printer(port, u"Office");
    ServedPrinter *annex = printer(port, u"Annex");
    ASSERT_TRUE(office && annex);
    const BYTE toner[4] = {1, 2, 3, 4};
    const DWORD queueWord = 5, jobBits = 0x40;
    const DWORD ownTriple[3] = {0, 0x4000, 0};
    const DWORD jamTriple[3] = {0, 0x800, 0x10000};
    BYTE tag[32] = {'S', 'T', '1'};
    struct Case {
        const char *what;
        const char *name;
        const void *value;
        ULONGLONG portMask;
        ServedPrinter *jobPrinter;
        std::vector<std::string> expected;
        bool stillChanged, kept;
    } cases[] = {
        {"type 1 to every printer", "TonerRemain", toner, 0, nullptr, {"Office=01020304", "Annex=01020304"}, false,
         true},
        {"type 5 once to each queued job's printer", "PrinterQueue", &queueWord, 0, nullptr,
         {"Office=05000000", "Annex=05000000"}, false, false},
        {"type 6 to the open job's printer", "JobStatus", &jobBits, 0, annex, {"Annex=40000000"}, false, true},
        {"type 6 without a job printer", "JobStatus", &jobBits, 0, nullptr, {}, true, true},
        {"type 8 to another model: the substitute", "PrinterStatus", ownTriple, 0, nullptr,
         {"Office=000000000002000000000000", "Annex=000000000002000000000000"}, false, true},
        {"type 8 with a word the substitute keeps", "PrinterStatus", jamTriple, 0, nullptr,
         {"Office=000000000008000000000100", "Annex=000000000008000000000100"}, false, true},
        {"type 8 to the supported model", "PrinterStatus", ownTriple, LM_MODEL_K4100, nullptr,
         {"Office=000000000040000000000000", "Annex=000000000040000000000000"}, false, true},
        {"type 9 to no printer of another model", "ServiceTag", tag, 0, nullptr, {}, false, true},
        {"type 9 to the supported model", "ServiceTag", tag, LM_MODEL_K4100, nullptr,
         {"Office=535431" + std::string(58, '0'), "Annex=535431" + std::string(58, '0')}, false, true},
    };
    queue(port, 11, office);
    queue(port, 12, office);
    queue(port, 13, annex);
    for (const Case &c : cases) {
        port->modelMask = c.portMask;
        port->jobPrinter = c.jobPrinter;
        set_value(port, c.name, c.value);
        sm.clearLog();
        EXPECT_GE(LMS_NotifyChanged(port), 0) << c.what;
        EXPECT_EQ(updates(c.name), c.expected) << c.what;
        StatusVariable *r = row(port, c.name);
        EXPECT_EQ(r->changed, c.stillChanged ? 1 : 0) << c.what;
        EXPECT_EQ(r->value != nullptr, c.kept) << c.what;
        r->changed = 0;
    }
    port->jobPrinter = nullptr;
    port->modelMask = 0;
    while (LMJ_ReleaseFirstJob(port)) {
    }
}

TEST_F(StatusValuesTest, AFailingManagerOrAPrinterWithoutOneKeepsTheRowChanged)
{
    MonitorPort *port = bound_port();
    PlodrmzConfig failing{};
    failing.updateResult = -4;
    sm.configure(&failing);
    const BYTE toner[4] = {9, 9, 9, 9};
    set_value(port, "TonerRemain", toner);
    EXPECT_EQ(LMS_NotifyChanged(port), 0);
    EXPECT_EQ(row(port, "TonerRemain")->changed, 1);
    const PlodrmzConfig none{};
    sm.configure(&none);
    EXPECT_EQ(LMS_NotifyChanged(port), 1) << "tried again at the next notification";
    EXPECT_EQ(row(port, "TonerRemain")->changed, 0);

    /* A printer whose bidirectional support is off counts as served without a call. */
    ServedPrinter *annex = printer(port, u"Annex");
    LMS_SetPrinterFlags(annex, SP_BIDI_OFF);
    const BYTE other[4] = {7, 7, 7, 7};
    set_value(port, "TonerRemain", other);
    sm.clearLog();
    EXPECT_EQ(LMS_NotifyChanged(port), 1);
    EXPECT_EQ(updates("TonerRemain"), std::vector<std::string>{"Office=07070707"});
    LMS_ClearPrinterFlags(annex, SP_BIDI_OFF);

    /* Served without a manager handle: type 1 rows stay changed until the printer goes. */
    LMP_Lock(port);
    HANDLE manager = annex->managerHandle;
    annex->managerHandle = nullptr;
    LMP_Unlock(port);
    const BYTE third[4] = {3, 3, 3, 3};
    set_value(port, "TonerRemain", third);
    EXPECT_EQ(LMS_NotifyChanged(port), 0);
    EXPECT_EQ(row(port, "TonerRemain")->changed, 1);
    LMP_Lock(port);
    annex->managerHandle = manager;
    LMP_Unlock(port);
}

TEST_F(StatusValuesTest, PushToANewlyBoundPrinter)
{
    MonitorPort *port = bound_port();
    ServedPrinter *office = printer(port, u"Office");
    const DWORD queueWord = 1;
    const DWORD triple[3] = {0, 0x4000, 0};
    BYTE tag[32] = {'T'};
    set_value(port, "PrinterQueue", &queueWord, false);
    set_value(port, "PrinterStatus", triple, false);
    set_value(port, "ServiceTag", tag, false);
    BYTE spooled[300] = {};
    set_value(port, "SpooledFileInfo", spooled, false);
    port->modelMask = 0;
    sm.clearLog();
    EXPECT_GT(LMS_PushVariables(port, office), 0);
    std::vector<std::string> names;
    for (const PlodrmzCall &c : calls("UpdatePrinterStatusA")) {
        EXPECT_EQ(plat::utf16_to_utf8(c.printer), "Office");
        names.push_back(c.name);
    }
    auto has = [&](const char *n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has("PrinterStatus"));
    EXPECT_TRUE(has("PrinterExtStatus"));
    EXPECT_TRUE(has("JobStatus"));
    EXPECT_FALSE(has("PrinterQueue")) << "queue values are not pushed";
    EXPECT_FALSE(has("SpooledFileInfo"));
    EXPECT_FALSE(has("ServiceTag")) << "the port's device is not this printer's model";
    EXPECT_EQ(updates("PrinterStatus"), std::vector<std::string>{"Office=000000000002000000000000"})
        << "pushed with the 0xF00 rule: 0x4000 is not kept";
}

TEST_F(StatusValuesTest, GroupsOfNames)
{
    MonitorPort *port = bound_port();
    ServedPrinter *office = printer(port, u"Office");
    EXPECT_EQ(LMS_GroupsOfNames("PrinterStatus;ServiceTag;DisplayLang", office, port), 0x1 | 0x10 | 0x20);
    EXPECT_EQ(LMS_GroupsOfNames("OppPaperType;Nonsense;;PrinterDisplay", office, port), 0x4 | 0x8);
    EXPECT_EQ(LMS_GroupsOfNames("OppPaperType5", office, port), 0) << "does not apply to the model";
    EXPECT_EQ(LMS_GroupsOfNames("PrinterQueue", office, port), 0);
    port->releaseOnIdle = 1;
    EXPECT_EQ(LMS_GroupsOfNames("PrinterQueue;PrintingJobInfo2", office, port), 0x2);
    port->releaseOnIdle = 0;
    EXPECT_EQ(LMS_GroupsOfNames("PrinterQueue", office, port), 0x2) << "the group stays overwritten";
}

/* Published triples: port status and severity from the first matching row, printer bits from all. */
TEST_F(StatusValuesTest, SpoolerPublicationTable)
{
    MonitorPort *port = bound_port();
    port->modelMask = LM_MODEL_K4100;
    ServedPrinter *office = printer(port, u"Office");
    struct Case {
        const char *what;
        DWORD triple[3];
        DWORD devicePrinting;
        DWORD status, severity, bits;
    } cases[] = {
        {"device not answering", {0, 0x100, 0}, 0, 0, 0, PRINTER_STATUS_USER_INTERVENTION},
        {"fresh local port", {0, 0x400, 0}, 0, 0, 0, 0},
        {"toner low while not printing", {0, 0x800, 0x2}, 0, PORT_STATUS_USER_INTERVENTION, PORT_STATUS_TYPE_WARNING,
         PRINTER_STATUS_USER_INTERVENTION},
        {"toner low while printing", {0, 0x800, 0x2}, 1, PORT_STATUS_TONER_LOW, PORT_STATUS_TYPE_WARNING,
         PRINTER_STATUS_TONER_LOW},
        {"no toner becomes row 19", {0, 0x800, 0x4000}, 0, PORT_STATUS_USER_INTERVENTION, PORT_STATUS_TYPE_WARNING,
         PRINTER_STATUS_USER_INTERVENTION},
        {"door open", {0, 0x800, 0x8000}, 0, PORT_STATUS_DOOR_OPEN, PORT_STATUS_TYPE_ERROR, PRINTER_STATUS_DOOR_OPEN},
        {"paper jam and printing", {0, 0x800, 0x10008}, 0, PORT_STATUS_PAPER_JAM, PORT_STATUS_TYPE_ERROR,
         PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_PRINTING},
        {"rows 32 and 41 share a mask", {0, 0x800, 0x8000000}, 0, PORT_STATUS_USER_INTERVENTION,
         PORT_STATUS_TYPE_ERROR, PRINTER_STATUS_USER_INTERVENTION | PRINTER_STATUS_BUSY},
        {"warming up", {0, 0x8000, 0}, 0, PORT_STATUS_WARMING_UP, PORT_STATUS_TYPE_INFO, PRINTER_STATUS_WARMING_UP},
        {"offline word 2", {0, 0x40000000, 0}, 0, PORT_STATUS_OFFLINE, PORT_STATUS_TYPE_ERROR,
         PRINTER_STATUS_USER_INTERVENTION},
    };
    for (const Case &c : cases) {
        port->devicePrinting = c.devicePrinting;
        set_value(port, "PrinterStatus", c.triple, false);
        EXPECT_TRUE(LMS_PublishPrinterStatus(port)) << c.what;
        DWORD status = 99, severity = 99;
        ASSERT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(severity, c.status ? c.severity : 0u) << c.what;
        EXPECT_EQ(port->lastSeverity, c.severity) << c.what;
        EXPECT_EQ(office->statusBits, c.bits) << c.what;
    }
    port->devicePrinting = 0;

    /* A device of another model: no port status, and the printer shows "not available". */
    port->modelMask = 0;
    const DWORD jam[3] = {0, 0x800, 0x10000};
    set_value(port, "PrinterStatus", jam, false);
    EXPECT_TRUE(LMS_PublishPrinterStatus(port));
    DWORD status = 99, severity = 99;
    ASSERT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(office->statusBits, PRINTER_STATUS_PAPER_JAM) << "0x800 is one of the bits 0xF00: the map's bits stay";
    const DWORD quiet[3] = {0, 0, 0x10000};
    set_value(port, "PrinterStatus", quiet, false);
    EXPECT_TRUE(LMS_PublishPrinterStatus(port));
    EXPECT_EQ(office->statusBits, PRINTER_STATUS_NOT_AVAILABLE);

    /* A null triple clears the port status. */
    port->modelMask = LM_MODEL_K4100;
    const DWORD door[3] = {0, 0x800, 0x8000};
    set_value(port, "PrinterStatus", door, false);
    EXPECT_TRUE(LMS_PublishPrinterStatus(port));
    EXPECT_TRUE(LMS_UpdateSpoolerStatus(port, office, nullptr));
    ASSERT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(office->statusBits, 0u);
}

TEST_F(StatusValuesTest, PublicationIsSkippedWhileTheNamedMutexIsHeld)
{
    MonitorPort *port = bound_port();
    port->modelMask = LM_MODEL_K4100;
    ServedPrinter *office = printer(port, u"Office");
    const DWORD door[3] = {0, 0x800, 0x8000};
    set_value(port, "PrinterStatus", door, false);
    ASSERT_TRUE(LMS_PublishPrinterStatus(port));
    ASSERT_EQ(office->statusBits, PRINTER_STATUS_DOOR_OPEN);

    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        HANDLE m = CreateMutexW(nullptr, TRUE, u"RVQPMON:OpenPrinterMutex");
        SetEvent(held);
        WaitForSingleObject(release, INFINITE);
        ReleaseMutex(m);
        CloseHandle(m);
    });
    ASSERT_EQ(WaitForSingleObject(held, INFINITE), WAIT_OBJECT_0);
    const DWORD jam[3] = {0, 0x800, 0x10000};
    set_value(port, "PrinterStatus", jam, false);
    EXPECT_FALSE(LMS_PublishPrinterStatus(port));
    EXPECT_EQ(office->statusBits, PRINTER_STATUS_DOOR_OPEN) << "unchanged";
    DWORD status = 0, severity = 0;
    ASSERT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
    EXPECT_EQ(status, DWORD(PORT_STATUS_DOOR_OPEN));
    SetEvent(release);
    holder.join();
    EXPECT_TRUE(LMS_PublishPrinterStatus(port)) << "the next publication sets it";
    EXPECT_EQ(office->statusBits, PRINTER_STATUS_PAPER_JAM);
    CloseHandle(held);
    CloseHandle(release);
}

TEST_F(StatusValuesTest, PlaceholdersWhileTheDeviceIsNotIdentified)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    LMS_ClearErrorValues(port, FALSE);
    LMS_ResetDeviceValues(port, FALSE);
    DWORD v;
    for (const char *name : {"ErrCoverOpen", "ErrSupplies", "IconState", "TonerRemain", "CRURemain"}) {
        StatusVariable *r = row(port, name);
        ASSERT_TRUE(r && r->value) << name;
        std::memcpy(&v, r->value, 4);
        EXPECT_EQ(v, 0xFFFFFFFFu) << name;
    }
    /* Five trays: {16-bit tray, 16-bit state, 16-bit paper size, 8-bit level, 8-bit media, 4 zero bytes}:
       the manual feeder 2001, then trays 1 to 4. */
    const BYTE trays[64] = {
        5, 0, 0, 0,                                                       /* count */
        0xD1, 0x07, 0xD1, 0x07, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0,          /* 2001 */
        1, 0, 1, 0, 9, 0, 0xF9, 0, 0, 0, 0, 0,                            /* tray 1 */
        2, 0, 1, 0, 9, 0, 0xF9, 0, 0, 0, 0, 0,                            /* tray 2 */
        3, 0, 1, 0, 9, 0, 0xF9, 0, 0, 0, 0, 0,                            /* tray 3 */
        4, 0, 1, 0, 9, 0, 0xF9, 0, 0, 0, 0, 0,                            /* tray 4 */
    };
    StatusVariable *bins = row(port, "PrinterBinConfig");
    ASSERT_TRUE(bins && bins->value);
    ASSERT_EQ(LMS_VariableSize(bins), 64);
    EXPECT_EQ(std::memcmp(bins->value, trays, 64), 0);
    EXPECT_EQ(LMS_CountBins(port), 4u) << "2001 is no input tray";
    StatusVariable *display = row(port, "PrinterDisplay");
    ASSERT_TRUE(display && display->value);
    EXPECT_EQ(display->value[0], 0);
}

TEST_F(StatusValuesTest, ErrorValuesResetWhenTheirConditionIsGone)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    port->modelMask = LM_MODEL_K4100; /* identified */
    const DWORD jam = 0x20, cover = 0x4, hw = 0x33;
    set_value(port, "ErrPaperJam", &jam, false);
    set_value(port, "ErrCoverOpen", &cover, false);
    set_value(port, "ErrHWError", &hw, false);
    const DWORD jammed[3] = {0, 0x800, 0x10000};
    set_value(port, "PrinterStatus", jammed, false);
    ASSERT_TRUE(LMS_ClearErrorValues(port, TRUE));
    DWORD v;
    std::memcpy(&v, row(port, "ErrPaperJam")->value, 4);
    EXPECT_EQ(v, jam) << "the jam is still reported";

    const DWORD clear[3] = {0, 0x800, 0};
    set_value(port, "PrinterStatus", clear, false);
    row(port, "ErrCoverOpen")->changed = 0;
    ASSERT_TRUE(LMS_ClearErrorValues(port, FALSE));
    std::memcpy(&v, row(port, "ErrPaperJam")->value, 4);
    EXPECT_EQ(v, 0xFFFFFFFFu) << "reset to its default";
    std::memcpy(&v, row(port, "ErrCoverOpen")->value, 4);
    EXPECT_EQ(v, cover) << "the cover keeps its value";
    std::memcpy(&v, row(port, "ErrHWError")->value, 4);
    EXPECT_EQ(v, hw) << "an identified device's status block keeps it";

    EXPECT_FALSE(LMS_ClearErrorValues(nullptr, TRUE));
}

TEST_F(StatusValuesTest, JobActiveBitAndExtStatus)
{
    MonitorPort *port = bound_port();
    EXPECT_TRUE(LMS_SetJobActive(port, TRUE));
    EXPECT_FALSE(LMS_SetJobActive(port, TRUE)) << "no change";
    DWORD words[3];
    LMS_ReadPrinterStatus(port, words);
    EXPECT_EQ(words[2], 0x8u);
    EXPECT_EQ(updates("PrinterStatus").size(), 2u) << "one update per printer";
    EXPECT_TRUE(LMS_SetJobActive(port, FALSE));
    sm.clearLog();
    LMS_UpdateExtStatus(port);
    EXPECT_EQ(updates("PrinterExtStatus"), (std::vector<std::string>{"Office=07000000", "Annex=07000000"}));
    sm.clearLog();
    EXPECT_TRUE(LMS_ClearExtStatusBits(port, 0x2));
    EXPECT_EQ(updates("PrinterExtStatus"), (std::vector<std::string>{"Office=05000000", "Annex=05000000"}));
}

TEST_F(StatusValuesTest, JobStatusBitsGoOutOnlyWhenTheManagerHasAnother)
{
    MonitorPort *port = bound_port();
    port->jobPrinter = printer(port, u"Annex");
    EXPECT_TRUE(LMS_UpdateJobStatusBits(port, 0x4, TRUE));
    EXPECT_EQ(updates("JobStatus"), std::vector<std::string>{"Annex=04000000"});
    DWORD own;
    std::memcpy(&own, row(port, "JobStatus")->value, 4);
    EXPECT_EQ(own, 0u) << "the row's own value is put back";
    EXPECT_EQ(row(port, "JobStatus")->changed, 0);
    sm.clearLog();
    const DWORD four = 4;
    set_value(port, "JobStatus", &four, false);
    EXPECT_FALSE(LMS_UpdateJobStatusBits(port, 0x4, TRUE)) << "the manager has it already";
    EXPECT_TRUE(updates("JobStatus").empty());
    port->jobPrinter = nullptr;
    EXPECT_FALSE(LMS_UpdateJobStatusBits(port, 0x4, TRUE));
}

TEST_F(StatusValuesTest, SendingJobInfoNamesTheSpoolerJob)
{
    MonitorPort *port = bound_port();
    const DWORD id = make_job(u"Annex", u"Quarterly report");
    ASSERT_NE(id, 0u);
    port->jobPrinter = printer(port, u"Annex");
    port->jobId = id;
    queue(port, id, port->jobPrinter);
    EXPECT_TRUE(LMS_SetSendingJobInfo(port, TRUE));
    auto sent = calls("UpdatePrinterStatusA");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_STREQ(sent[0].name, "SendingJobInfo");
    EXPECT_EQ(plat::utf16_to_utf8(sent[0].printer), "Annex");
    EXPECT_EQ(sent[0].size, 292u);
    EXPECT_STREQ(reinterpret_cast<const char *>(sent[0].value), "Quarterly report");
    EXPECT_STREQ(reinterpret_cast<const char *>(sent[0].value + 256), "tarvel");
    DWORD named;
    std::memcpy(&named, sent[0].value + 288, 4);
    EXPECT_EQ(named, id);
    EXPECT_FALSE(LMP_TestState(port, LM_ST_JOB_NOT_FOUND));

    /* Clearing: empty names, and the closing record's job id goes out as 0. */
    sm.clearLog();
    EXPECT_TRUE(LMS_SetSendingJobInfo(port, FALSE));
    sent = calls("UpdatePrinterStatusA");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].value[0], 0);
    std::memcpy(&named, sent[0].value + 288, 4);
    EXPECT_EQ(named, 0u);

    /* A job the spooler does not know sets the job-not-found mark. */
    port->jobId = 999;
    EXPECT_TRUE(LMS_SetSendingJobInfo(port, TRUE));
    EXPECT_TRUE(LMP_TestState(port, LM_ST_JOB_NOT_FOUND));
    port->jobPrinter = nullptr;
    while (LMJ_ReleaseFirstJob(port)) {
    }
}

TEST_F(StatusValuesTest, FinishingReleasesTheOlderJobsAndKeepsTheOpenOne)
{
    MonitorPort *port = bound_port();
    ServedPrinter *office = printer(port, u"Office");
    const DWORD a = make_job(u"Office", u"a"), b = make_job(u"Office", u"b"), c = make_job(u"Office", u"c");
    queue(port, a, office);
    queue(port, b, office);
    queue(port, c, office);
    port->jobPrinter = office;
    port->jobId = c;
    LMP_SetState(port, ST_JOB_OPEN | ST_HEADER_SENT);
    LMS_SetJobActive(port, TRUE);
    sm.clearLog();
    EXPECT_FALSE(LMS_FinishJobs(port, FALSE));
    EXPECT_FALSE(job_exists(a));
    EXPECT_FALSE(job_exists(b));
    EXPECT_TRUE(job_exists(c));
    EXPECT_EQ(queued(port), std::vector<DWORD>{c});
    EXPECT_TRUE(LMP_TestState(port, ST_JOB_FINISHED));
    EXPECT_EQ(updates("PrinterQueue"), std::vector<std::string>{"Office=00000000"});
    DWORD words[3];
    LMS_ReadPrinterStatus(port, words);
    EXPECT_EQ(words[2] & 0x8, 0x8u) << "a job is still on its way";

    /* Deleting the current job: the spooler job goes and "JobStatus" bit 2 is announced. */
    EXPECT_TRUE(LMS_FinishJobs(port, TRUE));
    EXPECT_FALSE(job_exists(c));
    EXPECT_TRUE(LMP_TestState(port, ST_DISCARD));
    EXPECT_EQ(updates("JobStatus"), std::vector<std::string>{"Office=04000000"});

    /* With no job open the last one is released too, and the job-active bit goes. */
    LMP_ClearState(port, ST_JOB_OPEN | ST_HEADER_SENT);
    EXPECT_FALSE(LMS_FinishJobs(port, FALSE));
    EXPECT_TRUE(queued(port).empty());
    LMS_ReadPrinterStatus(port, words);
    EXPECT_EQ(words[2] & 0x8, 0u);
    port->jobPrinter = nullptr;
}

TEST_F(StatusValuesTest, ResetPortStatusStartsAfresh)
{
    MonitorPort *port = bound_port();
    port->modelMask = LM_MODEL_K4100;
    const DWORD door[3] = {0, 0x800, 0x8000};
    set_value(port, "PrinterStatus", door, false);
    ASSERT_TRUE(LMS_PublishPrinterStatus(port));
    queue(port, 5, nullptr);
    port->busy = 1;
    LMP_SetState(port, ST_JOB_OPEN | ST_UNREACHABLE | ST_TERMINATED);
    BYTE pending[3] = {1, 2, 3};
    ASSERT_TRUE(LMU_AppendBytes(&port->pendingOutput, &port->pendingLength, pending, 3));
    LMS_ResetPortStatus(port);
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN | ST_UNREACHABLE));
    EXPECT_TRUE(LMP_TestState(port, ST_TERMINATED)) << "other bits stay";
    EXPECT_EQ(port->pendingOutput, nullptr);
    EXPECT_EQ(port->jobQueueHead, nullptr);
    EXPECT_EQ(port->busy, 0u);
    DWORD status = 99, severity = 99;
    ASSERT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
    EXPECT_EQ(status, 0u) << "the port status is cleared for every printer";
    LMP_ClearState(port, ST_TERMINATED);
}

/* A job record: a job start names a job behind others, which are finished first; a close ends it. */
TEST_F(StatusValuesTest, JobRecordsFinishTheJobsAheadAndCloseTheirJob)
{
    MonitorPort *port = bound_port();
    ServedPrinter *office = printer(port, u"Office");
    ServedPrinter *annex = printer(port, u"Annex");
    queue(port, 21, office);
    queue(port, 22, annex);
    LMP_Lock(port);
    StatusVariable *r = LMS_FindVariable("PrintingJobInfo2", port->statusVariables, port, TRUE);
    ASSERT_NE(r, nullptr);
    const DWORD id = 22, pages = 3;
    std::memcpy(r->value + 288, &id, 4);
    std::memcpy(r->value + 292, &pages, 4);
    r->flags = SVF_JOB_START;
    r->changed = 1;
    LMP_Unlock(port);
    EXPECT_EQ(LMS_NotifyChanged(port), 1);
    /* Office first learns that job 21 started and ended, then Annex that job 22 prints its third page. */
    const std::string zero280(576, '0');
    const std::string tail = std::string(48, '0');
    const auto sent = updates("PrintingJobInfo2");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "Office=" + zero280 + "15000000" + "00000000" + tail);
    EXPECT_EQ(sent[1], "Office=" + zero280 + "00000000" + "00000000" + tail);
    EXPECT_EQ(sent[2], "Annex=" + zero280 + "16000000" + "03000000" + tail);
    EXPECT_EQ(queued(port), std::vector<DWORD>{22}) << "job 21 finished; job 22 prints";
    EXPECT_TRUE(port->jobQueueHead->flags & LM_JOB_ANNOUNCED);

    /* The closing record: sent with its job id cleared, and the job leaves the queue. */
    LMS_SetJobActive(port, TRUE);
    sm.clearLog();
    LMP_Lock(port);
    r = LMS_FindVariable("PrintingJobInfo2", port->statusVariables, port, TRUE);
    std::memcpy(r->value + 288, &id, 4);
    std::memcpy(r->value + 292, &pages, 4);
    r->flags = SVF_JOB_CLOSE;
    r->changed = 1;
    LMP_Unlock(port);
    EXPECT_EQ(LMS_NotifyChanged(port), 1);
    EXPECT_EQ(updates("PrintingJobInfo2"),
              std::vector<std::string>{"Annex=" + zero280 + "00000000" + "03000000" + tail});
    EXPECT_TRUE(queued(port).empty());
    DWORD words[3];
    LMS_ReadPrinterStatus(port, words);
    EXPECT_EQ(words[2] & 0x8, 0u) << "no job is on its way any more";
}

/* A record that opens and closes a job in one goes out, and the next pending record takes its place at once. */
TEST_F(StatusValuesTest, PendingJobRecordsFollowOneAnother)
{
    MonitorPort *port = bound_port();
    ServedPrinter *annex = printer(port, u"Annex");
    queue(port, 22, annex);
    auto record = [](DWORD id, DWORD pages) {
        auto *r = static_cast<BYTE *>(LMU_Alloc(320));
        std::memcpy(r + 288, &id, 4);
        std::memcpy(r + 292, &pages, 4);
        return r;
    };
    LMP_Lock(port);
    StatusVariable *r = LMS_LookupVariable("PrintingJobInfo2", port);
    ASSERT_NE(r, nullptr);
    BYTE *front = record(22, 4);
    BYTE *next = record(23, 0);
    auto *e1 = static_cast<JobRecordEntry *>(LMU_Alloc(sizeof(JobRecordEntry)));
    auto *e2 = static_cast<JobRecordEntry *>(LMU_Alloc(sizeof(JobRecordEntry)));
    *e2 = JobRecordEntry{next, SVF_JOB_START, nullptr};
    *e1 = JobRecordEntry{front, SVF_JOB_START | SVF_JOB_CLOSE, e2};
    port->jobRecordQueue->first = e1;
    port->jobRecordQueue->count = 2;
    LMS_FreeValue(r);
    r->value = front;
    r->flags = SVF_JOB_START | SVF_JOB_CLOSE;
    r->changed = 1;
    LMP_Unlock(port);
    EXPECT_EQ(LMS_NotifyChanged(port), 1);
    const std::string zeros(576, '0'), tail(48, '0');
    EXPECT_EQ(updates("PrintingJobInfo2"), (std::vector<std::string>{
                                               "Annex=" + zeros + "00000000" + "00000000" + tail,
                                               "Annex=" + zeros + "17000000" + "00000000" + tail,
                                           }));
    EXPECT_EQ(r->value, next) << "the next record is the row's value now";
    EXPECT_EQ(r->flags, SVF_JOB_START);
    EXPECT_EQ(r->changed, 0);
    EXPECT_EQ(port->jobRecordQueue->count, 1u);
    EXPECT_TRUE(queued(port).empty()) << "job 22 is closed";
}

} // namespace
