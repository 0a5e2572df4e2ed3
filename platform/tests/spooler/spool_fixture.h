// A fresh machine folder for each spooler test (the file services' fixture),
// a driver and printer installed on demand, printer handles that close themselves, and the
// two-call protocol of the spooler's Get and Enum functions.
#ifndef SPOOL_FIXTURE_H
#define SPOOL_FIXTURE_H

#include "test_file_fixture.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace spooltest {

inline constexpr char16_t kDriver[] = u"Tarvel PCL XL";
inline constexpr char16_t kPrinter[] = u"Tarvel Colour";

/* A printer handle closed when it goes out of scope. */
class Printer {
public:
    explicit Printer(const char16_t *name, DWORD access = 0, LPWSTR data_type = nullptr)
    {
        PRINTER_DEFAULTSW d{data_type, nullptr, access};
        ok = OpenPrinterW(name, &h, &d) != FALSE;
        error = ok ? 0 : GetLastError();
    }
    ~Printer()
    {
        if (h)
            ClosePrinter(h);
    }
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;
    operator HANDLE() const { return h; }
    HANDLE h = nullptr;
    bool ok = false;
    DWORD error = 0;
};

/* An exactly sized heap buffer, so that the sanitizer sees any write past its end. */
struct Answer {
    std::unique_ptr<BYTE[]> bytes;
    DWORD size = 0;
    template <typename T>
    const T *as(size_t index = 0) const
    {
        return reinterpret_cast<const T *>(bytes.get()) + index;
    }
};

/*
 * Runs a Get or Enum call through the two-call protocol and checks it:
 * the sizing call fails with ERROR_INSUFFICIENT_BUFFER and the size, a
 * buffer one byte short fails the same way and is left untouched, and a
 * buffer of exactly the size succeeds.  `call(buffer, size, &needed)`
 * returns the function's BOOL.
 */
template <typename Call>
Answer two_call(Call call)
{
    Answer a;
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(call(nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(needed, 0u);
    if (needed == 0)
        return a;
    std::vector<BYTE> short_buf(needed - 1, 0xCC);
    DWORD again = 0;
    SetLastError(0);
    EXPECT_FALSE(call(short_buf.empty() ? nullptr : short_buf.data(), needed - 1, &again));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(again, needed);
    EXPECT_EQ(short_buf, std::vector<BYTE>(needed - 1, 0xCC)) << "a short buffer was written";
    a.bytes.reset(new BYTE[needed]);
    a.size = needed;
    DWORD got = 0;
    EXPECT_TRUE(call(a.bytes.get(), needed, &got)) << "error " << GetLastError();
    EXPECT_EQ(got, needed);
    return a;
}

/* True when `p` points into the answer's buffer (strings are packed there). */
inline bool inside(const Answer &a, const void *p)
{
    auto b = reinterpret_cast<uintptr_t>(a.bytes.get());
    auto q = reinterpret_cast<uintptr_t>(p);
    return q >= b && q < b + a.size;
}

inline std::u16string s16(const WCHAR *p) { return p ? std::u16string(p) : std::u16string(u"<null>"); }

/*
 * A devmode blob of dmSize `size` and dmDriverExtra `extra`, its bytes
 * numbered from `seed` (at least the 76 bytes up to dmFields).
 */
inline std::vector<BYTE> make_devmode(WORD size = 220, WORD extra = 16, BYTE seed = 1)
{
    std::vector<BYTE> dm(std::max<size_t>(size_t(size) + extra, 76));
    for (size_t i = 0; i < dm.size(); i++)
        dm[i] = BYTE(seed + i);
    plat::store_u16(dm.data(), 68, size);
    plat::store_u16(dm.data(), 70, extra);
    return dm;
}

/* A machine of its own for each test (MachineTest), with the spooler's helpers. */
class SpoolTest : public MachineTest {
protected:
    /* Installs the test driver (its model file copied in) and a printer using it. */
    void install(const char16_t *printer = kPrinter, const std::u16string &port = u"FILE:",
                 std::vector<BYTE> devmode = std::vector<BYTE>())
    {
        if (!driver_installed) {
            std::filesystem::create_directories(root / "src");
            std::ofstream(root / "src" / "TVCOLOR.DDD", std::ios::binary) << "model data";
            plat::SpoolDriver d;
            d.name = kDriver;
            d.driver_file = u"tarvelgr.dll";
            d.data_file = u"TVCOLOR.DDD";
            d.config_file = u"tarvelui.dll";
            d.help_file = u"tarvel.chm";
            d.dependent_files = {u"tarveldm.dll", u"tarvelrs.xrs"};
            d.monitor_name = u"Pollvane Language Monitor";
            d.copy_files = {(root / "src" / "TVCOLOR.DDD").string()};
            ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
            driver_installed = true;
        }
        plat::SpoolPrinter p;
        p.name = printer;
        p.driver = kDriver;
        p.port = port;
        p.comment = u"second floor";
        p.location = u"room 12";
        p.devmode = std::move(devmode);
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }

    /* Starts the machine again on the same folder, as the next process would. */
    void restart() { plat::machine_reset(root.string()); }

    bool driver_installed = false;
};

} // namespace spooltest

#endif // SPOOL_FIXTURE_H
