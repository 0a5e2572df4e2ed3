/*
 * Test fixture of the monitor's status side: the monitor fixture with the
 * status-manager stand-in loaded (and kept loaded) for the whole test, and
 * helpers that install printers of the supported model on a port, register
 * their driver with the status program, make spooler jobs and read back what
 * the stand-in was given.
 */
#ifndef TARVEL_LANGMON_STATUS_FIXTURE_H
#define TARVEL_LANGMON_STATUS_FIXTURE_H

#include "lm_fixture.h"
#include "status.h"

#include <plat/registry.h>
#include <plat/spooler.h>

#include <plodrmz/plodrmz_control.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

inline constexpr const char16_t *kPclDriver = u"OSTREL RV-K4100 PCL 6";
inline constexpr const char16_t *kMonitorName = u"Tarvel Language Monitor";

class StatusTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        ASSERT_TRUE(sm.load());
        handles = plat::handle_count(plat::HANDLE_KIND_ANY);
    }

    void TearDown() override
    {
        while (g_lm.portList)
            EXPECT_TRUE(LMP_ClosePort(g_lm.portList));
        EXPECT_EQ(sm.openHandles(), 0) << "manager handles left open";
        EXPECT_EQ(sm.registrations(), 0) << "notification registrations left";
        sm.unload();
        MonitorTest::TearDown();
    }

    /* Installs a printer with `driver` on `port`; `monitored` registers the driver with the status program. */
    void add_printer(const std::u16string &name, const std::u16string &port, const std::u16string &driver = kPclDriver,
                     bool monitored = true, DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI)
    {
        plat::SpoolDriver d;
        d.name = driver;
        d.driver_file = u"tarvelgr.dll";
        d.monitor_name = kMonitorName;
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = name;
        p.driver = driver;
        p.port = port;
        p.attributes = attributes;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        set_string(u"System\\CurrentControlSet\\control\\Print\\Printers\\" + name, u"Printer Driver", driver);
        if (monitored) {
            std::u16string bare = driver.rfind(u"QVD ", 0) == 0 ? driver.substr(4) : driver;
            make_key(u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers\\" + bare + u"\\Status Variables");
        }
    }

    static void make_key(const std::u16string &path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static void set_string(const std::u16string &path, const char16_t *value, const std::u16string &text)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                       DWORD((text.size() + 1) * 2));
        RegCloseKey(key);
    }

    /* A finished spooler job on the printer; its id. */
    static DWORD make_job(const std::u16string &printer, const char16_t *document)
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(printer.c_str(), &h, nullptr));
        DOC_INFO_1W doc{const_cast<LPWSTR>(document), nullptr, nullptr};
        const DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<const BYTE *>(&doc));
        EndDocPrinter(h);
        ClosePrinter(h);
        return id;
    }

    static bool job_exists(DWORD id)
    {
        for (const plat::SpoolJob &j : plat::spool_jobs())
            if (j.id == id)
                return true;
        return false;
    }

    std::vector<PlodrmzCall> calls(const char *call = nullptr) const
    {
        std::vector<PlodrmzCall> out;
        const DWORD n = sm.logCount();
        for (DWORD i = 0; i < n; ++i) {
            PlodrmzCall c{};
            if (sm.logEntry(i, &c) && (!call || std::strcmp(c.call, call) == 0))
                out.push_back(c);
        }
        return out;
    }

    /* The updates of `name`, as "<printer>=<hex of the value>" in call order. */
    std::vector<std::string> updates(const char *name) const
    {
        std::vector<std::string> out;
        for (const PlodrmzCall &c : calls("UpdatePrinterStatusA")) {
            if (std::strcmp(c.name, name) != 0 || c.result != 0)
                continue;
            std::string line = plat::utf16_to_utf8(c.printer) + "=";
            char hex[3];
            for (DWORD i = 0; i < c.size && i < PLODRMZ_LOG_BYTES; ++i) {
                std::snprintf(hex, sizeof hex, "%02x", c.value[i]);
                line += hex;
            }
            out.push_back(line);
        }
        return out;
    }

    /* Waits (up to 10 s of real time) until `done` holds; manager threads run on their own. */
    static bool eventually(const std::function<bool()> &done)
    {
        for (int i = 0; i < 1000; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    static size_t served(MonitorPort *port)
    {
        LMP_Lock(port);
        size_t n = 0;
        for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
            ++n;
        LMP_Unlock(port);
        return n;
    }

    static void set_value(MonitorPort *port, const char *name, const void *value, bool changed = true)
    {
        LMP_Lock(port);
        StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE);
        ASSERT_NE(row, nullptr) << name;
        LMS_StoreValue(row, value);
        row->changed = changed ? 1 : 0;
        LMP_Unlock(port);
    }

    /* A named request with a `size`-byte answer buffer (filled with 0xCC first): the 32-bit answer at its start. */
    static LONG ask(MonitorPort *port, const std::u16string &name, DWORD size = 4, BOOL *result = nullptr,
                    DWORD *returned = nullptr)
    {
        std::vector<BYTE> buffer(size + 4, 0xCC);
        DWORD n = 0;
        const BOOL r = GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(name.c_str()), nullptr, 0,
                                              reinterpret_cast<LPWSTR>(buffer.data()), size, &n);
        if (result)
            *result = r;
        if (returned)
            *returned = n;
        LONG answer = 0;
        std::memcpy(&answer, buffer.data(), 4);
        return answer;
    }

    /* A value the status-manager stand-in holds for printer "Office", as bytes. */
    std::string manager_value(const char *name)
    {
        char buffer[8192];
        const DWORD n = sm.getValue(u"Office", name, buffer, sizeof buffer);
        return std::string(buffer, n);
    }

    /* Leaves a text (with its NUL) in a manager value of printer "Office", as a tool does. */
    void set_manager_value(const char *name, const std::string &text)
    {
        sm.setValue(u"Office", name, text.c_str(), DWORD(text.size() + 1));
    }

    /* The outcome of the last tool exchange of printer "Office" ("RWResult"); 0x7EEEEEEE when there is none. */
    LONG rw_result()
    {
        const std::string v = manager_value("RWResult");
        LONG r = 0x7EEEEEEE;
        if (v.size() == 4)
            std::memcpy(&r, v.data(), 4);
        return r;
    }

    PlodrmzControl sm;
};

#endif
