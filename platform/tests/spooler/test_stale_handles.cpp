/*
 * Stale spooler handles: printer handles (with a document in progress) and
 * the scripted port monitor's port handles, opened and closed round after
 * round.  A closed handle is refused and never reaches a later handle's
 * printer, job or port.
 */
#include "spool_fixture.h"

#include <plat/printmon.h>

#include <plat_test/stale_handles.h>

namespace {

using namespace spooltest;
using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

class StaleSpoolHandles : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        install();
    }
};

HANDLE as_handle(uintptr_t v) { return reinterpret_cast<HANDLE>(v); }
bool invalid_handle() { return GetLastError() == DWORD(ERROR_INVALID_HANDLE); }

TEST_F(StaleSpoolHandles, AClosedPrinterHandleNeverReachesALaterHandle)
{
    const StaleHandleKind printer{
        /* Side data: a dressed handle has a document in progress. */
        "printer handle",
        [](bool dressed) {
            HANDLE h = nullptr;
            if (!OpenPrinterW(kPrinter, &h, nullptr))
                return uintptr_t(0);
            DOC_INFO_1W di{const_cast<LPWSTR>(u"Stale"), nullptr, nullptr};
            if (dressed && !StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&di)))
                return uintptr_t(0);
            return reinterpret_cast<uintptr_t>(h);
        },
        [](uintptr_t h) { return ClosePrinter(as_handle(h)) != FALSE; },
        [](uintptr_t h) {
            BYTE byte = 1;
            DWORD written = 0, needed = 0;
            SetLastError(0);
            const bool getRefused = !GetPrinterW(as_handle(h), 2, nullptr, 0, &needed) && invalid_handle();
            SetLastError(0);
            const bool writeRefused = !WritePrinter(as_handle(h), &byte, 1, &written) && invalid_handle();
            SetLastError(0);
            return getRefused && writeRefused && !ClosePrinter(as_handle(h)) && invalid_handle();
        },
        [](uintptr_t h) {
            BYTE byte = 1;
            DWORD written = 0;
            return !WritePrinter(as_handle(h), &byte, 1, &written) && !EndDocPrinter(as_handle(h));
        }};
    EXPECT_EQ(run_stale_handle_rounds(printer, 100), 100);
    for (const plat::SpoolJob &job : plat::spool_jobs(kPrinter))
        EXPECT_NE(job.status & JOB_STATUS_SPOOLING, DWORD(JOB_STATUS_SPOOLING)) << "job " << job.id << " left open";
}

TEST_F(StaleSpoolHandles, AClosedPortHandleNeverReachesALaterPort)
{
    LPMONITOR2 pm = plat::portmon_table();
    const StaleHandleKind port{
        /* Side data: the port a handle is open on. */
        "port monitor port",
        [pm](bool dressed) {
            HANDLE h = nullptr;
            const char16_t *name = dressed ? u"USB001" : u"LPT1:";
            return pm->pfnOpenPort(plat::portmon_handle(), const_cast<LPWSTR>(name), &h)
                       ? reinterpret_cast<uintptr_t>(h)
                       : uintptr_t(0);
        },
        [pm](uintptr_t h) { return pm->pfnClosePort(as_handle(h)) != FALSE; },
        [pm](uintptr_t h) {
            BYTE byte = 1;
            DWORD written = 0;
            SetLastError(0);
            const bool writeRefused = !pm->pfnWritePort(as_handle(h), &byte, 1, &written) && invalid_handle();
            SetLastError(0);
            return writeRefused && !pm->pfnClosePort(as_handle(h)) && invalid_handle() &&
                   plat::portmon_open_ports() == 1;
        },
        [pm](uintptr_t h) {
            BYTE byte = 1;
            DWORD written = 0;
            return pm->pfnWritePort(as_handle(h), &byte, 1, &written) && plat::portmon_log().back() == "WritePort LPT1:";
        }};
    EXPECT_EQ(run_stale_handle_rounds(port, 300), 300);
    EXPECT_EQ(plat::portmon_open_ports(), 0u);
}

} // namespace
