/*
 * Served printers and the status-manager binding: printers found on the
 * port, bound, refused, served without a manager, dropped by their manager
 * thread on the status program's and the manager's events, bound again, and
 * freed with their thread joined.
 */
#include "lm_status_fixture.h"

#include <plat/sync.h>
#include <plat/thread.h>

namespace {

class ServedTest : public StatusTest {
protected:
    MonitorPort *open_usb(const char16_t *printer = u"Office")
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h, printer));
        return rec(h);
    }

    static ServedPrinter *first(MonitorPort *port) { return port->servedPrinters; }

    /* The "Port" value: a word, then two strings of 128 characters. */
    static std::vector<BYTE> port_value(DWORD recorded, const std::u16string &a, const std::u16string &b)
    {
        std::vector<BYTE> v(516, 0);
        std::memcpy(v.data(), &recorded, 4);
        std::memcpy(v.data() + 4, a.c_str(), a.size() * 2);
        std::memcpy(v.data() + 260, b.c_str(), b.size() * 2);
        return v;
    }
};

TEST_F(ServedTest, PrintersOnThePortAreBoundWithAManagerThreadEach)
{
    add_printer(u"Office", u"USB001");
    add_printer(u"Annex", u"USB001");
    add_printer(u"Elsewhere", u"USB002");
    MonitorPort *port = open_usb();
    ASSERT_TRUE(LMS_PublishToManager(port));
    ASSERT_EQ(served(port), 2u);
    EXPECT_EQ(plat::utf16_to_utf8(first(port)->printerName), "Office");
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next) {
        EXPECT_TRUE(LMS_IsBoundToManager(p));
        EXPECT_NE(p->spoolerHandle, nullptr);
        EXPECT_EQ(p->modelMask, LM_MODEL_K4100);
        EXPECT_EQ(WaitForSingleObject(p->readyEvent, 0), WAIT_OBJECT_0);
    }
    EXPECT_TRUE(eventually([&] { return sm.registrations() == 2; })) << "each manager thread registers its events";
    /* A second republication changes nothing. */
    ASSERT_TRUE(LMS_PublishToManager(port));
    EXPECT_EQ(served(port), 2u);
    EXPECT_EQ(sm.openHandles(), 2);

    /* Released by another thread: its thread is stopped and joined, its manager closed. */
    ServedPrinter *annex = LMS_FindServedPrinter(u"Annex", port);
    ASSERT_NE(annex, nullptr);
    EXPECT_TRUE(LMS_FreeServedPrinter(annex, port));
    EXPECT_FALSE(LMS_FreeServedPrinter(annex, port)) << "no longer in the list";
    EXPECT_EQ(served(port), 1u);
    EXPECT_EQ(sm.openHandles(), 1);
    EXPECT_EQ(sm.registrations(), 1);
}

TEST_F(ServedTest, AQvdDriverCountsAsMonitoredAndAnUnlistedOneIsServedWithoutManager)
{
    add_printer(u"Office", u"USB001", u"QVD OSTREL RV-K4100 PCL 6", false);
    make_key(u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers\\OSTREL RV-K4100 PCL 6\\Status Variables");
    set_string(u"System\\CurrentControlSet\\control\\Print\\Printers\\Office", u"Printer Driver", kPclDriver);
    EXPECT_TRUE(LMS_IsMonitoredDriver(u"Office"));
    add_printer(u"Plain", u"USB001", u"OSTREL RV-K4100 PS", false);
    EXPECT_FALSE(LMS_IsMonitoredDriver(u"Plain")) << "its driver has no Status Variables key";
    MonitorPort *port = open_usb(u"Plain");
    ServedPrinter *p = LMS_BindStatusManager(u"Plain", port, TRUE);
    ASSERT_NE(p, nullptr) << "served without a manager";
    EXPECT_EQ(p->managerModule, nullptr);
    EXPECT_EQ(p->managerHandle, nullptr);
    EXPECT_NE(p->spoolerHandle, nullptr);
    EXPECT_EQ(p->modelMask, LM_MODEL_K4100);
}

TEST_F(ServedTest, APrinterOfAnotherDriverIsNotServed)
{
    add_printer(u"Foreign", u"USB001", u"Some Other Driver");
    MonitorPort *port = open_usb(u"Foreign");
    EXPECT_EQ(LMS_BindStatusManager(u"Foreign", port, TRUE), nullptr);
    EXPECT_EQ(served(port), 0u);
}

TEST_F(ServedTest, BindingOutcomes)
{
    struct Case {
        const char *what;
        LONG openResult;
        BOOL nullHandle;
        std::vector<BYTE> port;  /* empty: the default (no port recorded) */
        DWORD terminate;
        bool deleteTerminate;
        bool served, bound, terminated;
    } cases[] = {
        {"accepted", 0, FALSE, {}, 0, false, true, true, false},
        {"open fails", -5, FALSE, {}, 0, false, true, false, false},
        {"null handle", 0, TRUE, {}, 0, false, true, false, false},
        {"manager terminating", 0, FALSE, {}, 1, false, false, false, true},
        {"TerminateManager not filled", 0, FALSE, {}, 0, true, false, false, true},
        {"port recorded is ours, any case", 0, FALSE, port_value(1, u"usb001", u""), 0, false, true, true, false},
        {"port recorded is another", 0, FALSE, port_value(1, u"USB002", u""), 0, false, false, false, false},
        {"second string not empty", 0, FALSE, port_value(1, u"USB001", u"x"), 0, false, false, false, false},
    };
    add_printer(u"Office", u"USB001");
    for (const Case &c : cases) {
        MonitorPort *port = open_usb();
        PlodrmzConfig config{};
        config.openResult = c.openResult;
        config.openNullHandle = c.nullHandle;
        config.noDefaults = c.deleteTerminate;
        sm.configure(&config);
        sm.setValue(u"Office", "Port", c.port.empty() ? port_value(0, u"", u"").data() : c.port.data(), 516);
        if (c.deleteTerminate)
            sm.deleteValue(u"Office", "TerminateManager");
        else
            sm.setValue(u"Office", "TerminateManager", &c.terminate, 4);
        ServedPrinter *p = LMS_BindStatusManager(u"Office", port, TRUE);
        EXPECT_EQ(p != nullptr, c.served) << c.what;
        EXPECT_EQ(p && p->managerHandle, c.bound) << c.what;
        EXPECT_EQ(LMP_TestState(port, ST_TERMINATED), c.terminated) << c.what;
        EXPECT_TRUE(LMP_ClosePort(port)) << c.what;
        EXPECT_EQ(sm.openHandles(), 0) << c.what << ": a refused binding closes its manager";
    }
}

TEST_F(ServedTest, ATerminatedPortBindsNothing)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    LMP_SetState(port, ST_TERMINATED);
    EXPECT_EQ(LMS_BindStatusManager(u"Office", port, TRUE), nullptr);
    LMP_ClearState(port, ST_TERMINATED);
    LMP_SetState(port, ST_CLOSING);
    EXPECT_EQ(LMS_BindStatusManager(u"Office", port, TRUE), nullptr) << "a closing port binds nobody new";
    LMP_ClearState(port, ST_CLOSING);
}

TEST_F(ServedTest, ARenamedPrinterTakesItsNewNameAndListensForItsDeletion)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    ServedPrinter *p = LMS_BindStatusManager(u"Office", port, TRUE);
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(eventually([&] { return sm.registrations() == 1; }));
    WCHAR name[260] = u"Front Desk";
    sm.setValue(u"Office", "PrinterName", name, sizeof name);
    ASSERT_TRUE(eventually([&] {
        LMP_Lock(port);
        const bool renamed = port->servedPrinters && lstrcmpW(port->servedPrinters->printerName, u"Front Desk") == 0;
        LMP_Unlock(port);
        return renamed;
    }));
    /* The deletion event of the old name means nothing now; the new one drops the printer. */
    HANDLE old = CreateEventA(nullptr, FALSE, FALSE, "PLVMPWD:DEL_PRN:Office");
    SetEvent(old);
    CloseHandle(old);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(served(port), 1u);
    HANDLE del = CreateEventA(nullptr, FALSE, FALSE, "PLVMPWD:DEL_PRN:Front Desk");
    SetEvent(del);
    CloseHandle(del);
    EXPECT_TRUE(eventually([&] { return served(port) == 0; }));
    EXPECT_TRUE(eventually([&] { return sm.openHandles() == 0 && sm.registrations() == 0; }));
}

TEST_F(ServedTest, TheStatusProgramStartingDropsEveryBoundPrinterUntilTheNextRepublication)
{
    add_printer(u"Office", u"USB001");
    add_printer(u"Annex", u"USB001");
    MonitorPort *port = open_usb();
    ASSERT_TRUE(LMS_PublishToManager(port));
    ASSERT_TRUE(eventually([&] { return sm.registrations() == 2; }));
    HANDLE start = CreateEventA(nullptr, FALSE, FALSE, "Global\\PLVMSDB:START_STATUS");
    ASSERT_NE(start, nullptr);
    /* Auto-reset: each thread takes one signal. */
    SetEvent(start);
    ASSERT_TRUE(eventually([&] { return served(port) == 1; }));
    SetEvent(start);
    ASSERT_TRUE(eventually([&] { return served(port) == 0; }));
    EXPECT_TRUE(eventually([&] { return sm.openHandles() == 0; }));
    EXPECT_EQ(calls("CloseManager").size(), 2u);
    ASSERT_TRUE(LMS_PublishToManager(port));
    EXPECT_EQ(served(port), 2u) << "bound again";
    EXPECT_TRUE(eventually([&] { return sm.registrations() == 2; }));
    CloseHandle(start);
}

TEST_F(ServedTest, APortChangeClearsThePortStatusAndDropsThePrinter)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    ASSERT_NE(LMS_BindStatusManager(u"Office", port, TRUE), nullptr);
    ASSERT_TRUE(eventually([&] { return sm.registrations() == 1; }));
    /* Still this port: nothing happens. */
    sm.setValue(u"Office", "Port", port_value(1, u"USB001", u"").data(), 516);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(served(port), 1u);
    sm.setValue(u"Office", "Port", port_value(1, u"USB007", u"").data(), 516);
    EXPECT_TRUE(eventually([&] { return served(port) == 0; }));
    DWORD status = 99, severity = 99;
    EXPECT_TRUE(plat::spool_port_status(u"USB001", &status, &severity));
    EXPECT_EQ(status, 0u);
}

TEST_F(ServedTest, TheManagerTerminatingMarksThePort)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    ASSERT_NE(LMS_BindStatusManager(u"Office", port, TRUE), nullptr);
    ASSERT_TRUE(eventually([&] { return sm.registrations() == 1; }));
    const DWORD one = 1;
    sm.setValue(u"Office", "TerminateManager", &one, 4);
    EXPECT_TRUE(eventually([&] { return served(port) == 0; }));
    EXPECT_TRUE(LMP_TestState(port, ST_TERMINATED));
    EXPECT_TRUE(LMS_RefreshPrinters(port));
    EXPECT_EQ(sm.openHandles(), 0) << "nothing is bound while the port is marked";
}

TEST_F(ServedTest, ARefusingManagerIsBoundLaterByTheRefresh)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    PlodrmzConfig refuse{};
    refuse.openResult = -7;
    sm.configure(&refuse);
    ServedPrinter *p = LMS_BindStatusManager(u"Office", port, TRUE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->managerHandle, nullptr);
    EXPECT_TRUE(LMS_RefreshPrinters(port));
    EXPECT_EQ(p->managerHandle, nullptr) << "still refusing";
    const PlodrmzConfig none{};
    sm.configure(&none);
    EXPECT_TRUE(LMS_RefreshPrinters(port));
    EXPECT_TRUE(LMS_IsBoundToManager(p));
    EXPECT_TRUE(eventually([&] { return sm.registrations() == 1; }));
}

TEST_F(ServedTest, AManagerThatNeverSignalsEndsWithThePort)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    ASSERT_NE(LMS_BindStatusManager(u"Office", port, TRUE), nullptr);
    ASSERT_TRUE(eventually([&] { return sm.registrations() == 1; }));
    EXPECT_TRUE(LMP_ClosePort(port));
    EXPECT_EQ(sm.openHandles(), 0);
    /* Closing ends the thread through the port's close event; the port's close keeps its registration killed. */
}

TEST_F(ServedTest, AManagerWhoseRegistrationFailsLeavesTheThread)
{
    add_printer(u"Office", u"USB001");
    MonitorPort *port = open_usb();
    PlodrmzConfig failing{};
    failing.notificationResult = -9;
    failing.notificationIdOnFailure = 77;
    sm.configure(&failing);
    ServedPrinter *p = LMS_BindStatusManager(u"Office", port, TRUE);
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(eventually([&] { return calls("KillNotificationEvent").size() == 1; }))
        << "the id that came back is killed";
    EXPECT_EQ(WaitForSingleObject(p->managerThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(served(port), 1u) << "the record stays";
}

TEST_F(ServedTest, ModelMatchTable)
{
    MonitorPort *port = open_usb();
    struct Case {
        const char *id;
        int result;
        ULONGLONG mask;
    } cases[] = {
        {"MFG:OSTREL;MDL:Lumaset K4100;", 1, LM_MODEL_K4100},
        {"MFG:OSTREL;MODEL:lumaset k4100", 1, LM_MODEL_K4100},
        {"MDL:Lumaset K4000;MDL:LUMASET K4100;", 1, LM_MODEL_K4100},
        {"MDL:Lumaset K4100;MDL:Other;", 0, 0},
        {"MDL:Lumaset K4100 ;", 0, 0},
        {"mdl:Lumaset K4100;", 0, 0xABC},
        {"", 0, 0xABC},
    };
    for (const Case &c : cases) {
        port->modelMask = 0xABC;
        std::string id = c.id;
        EXPECT_EQ(LMS_MatchModel(port, id.data()), c.result) << c.id;
        EXPECT_EQ(port->modelMask, c.mask) << c.id;
    }
}

} // namespace
