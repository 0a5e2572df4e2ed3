/*
 * Test fixture of the language monitor: a fresh machine folder and a fixed
 * clock (the monitor's sleeps then cost no time), the library attached as
 * the loader would attach it, and the monitor initialised with the
 * spooler's MONITORINIT.  At the end every port the test left open is
 * closed, and the monitor's heap must hold nothing but the monitor handle.
 */
#ifndef TARVEL_LANGMON_TEST_FIXTURE_H
#define TARVEL_LANGMON_TEST_FIXTURE_H

#include "monitor.h"

#include <plat/clock.h>
#include <plat/debug.h>
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/printmon.h>
#include <plat/text.h>

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <filesystem>
#include <string>
#include <unistd.h>

class MonitorTest : public plat_test::FreshMachineTest {
protected:
    MonitorTest() : FreshMachineTest("tarvel-langmon") {}

    void SetUp() override
    {
        FreshMachineTest::SetUp();
        SYSTEMTIME t{};
        t.wYear = 2026;
        t.wMonth = 3;
        t.wDay = 2;
        ASSERT_TRUE(plat::clock_fix(t, 100000));
        LMP_DllEntry(nullptr, DLL_PROCESS_ATTACH, nullptr);
        ASSERT_NE(g_lm.heap, nullptr);
        init = plat::monitor_init_for(u"Tarvel Language Monitor");
        ASSERT_NE(init, nullptr);
        table = InitializePrintMonitor2(init, &monitor);
        ASSERT_NE(table, nullptr);
        handles = plat::handle_count(plat::HANDLE_KIND_ANY);
    }

    void TearDown() override
    {
        while (g_lm.portList)
            EXPECT_TRUE(LMP_ClosePort(g_lm.portList));
        if (g_lm.heap) {
            EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), g_lm.monitorHandle ? 1u : 0u) << "monitor heap leaks";
        }
        EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_ANY), handles) << "handles left open";
        LMP_DllEntry(nullptr, DLL_PROCESS_DETACH, nullptr);
        FreshMachineTest::TearDown();
    }

    /* Opens a port through the monitor's table on the scripted port monitor. */
    BOOL open(const WCHAR *port, HANDLE *out, const WCHAR *printer = u"Office")
    {
        *out = nullptr;
        return table->pfnOpenPortEx(monitor, plat::portmon_handle(), const_cast<LPWSTR>(port),
                                    const_cast<LPWSTR>(printer), out, plat::portmon_table());
    }

    static MonitorPort *rec(HANDLE h) { return static_cast<MonitorPort *>(h); }

    /* The port's busy word and queue head, read under its lock: the poll worker may be resetting them. */
    static DWORD busy_of(MonitorPort *port)
    {
        LMP_Lock(port);
        const DWORD busy = port->busy;
        LMP_Unlock(port);
        return busy;
    }
    static JobQueueEntry *queue_head_of(MonitorPort *port)
    {
        LMP_Lock(port);
        JobQueueEntry *head = port->jobQueueHead;
        LMP_Unlock(port);
        return head;
    }

    static size_t port_count()
    {
        size_t n = 0;
        for (MonitorPort *p = g_lm.portList; p; p = p->next)
            ++n;
        return n;
    }

    PMONITORINIT init = nullptr;
    HANDLE monitor = nullptr;
    LPMONITOR2 table = nullptr;
    size_t handles = 0;
};

#endif
