/*
 * Helpers of the binding, trace and configuration tests: a fresh machine
 * folder per test with this test program standing in as the library that
 * links the common library (its module path, its strings 32766 and 32767),
 * a choice of where that library lives (the build's driver directory, beside
 * the real data manager, or a folder of the machine of its own), files in
 * the machine, and fixed settings records.
 */
#ifndef TARVEL_TEST_DMB_SUPPORT_H
#define TARVEL_TEST_DMB_SUPPORT_H

#include "test_res_support.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include <plat/clock.h>
#include <plat/debug.h>
#include <plat/file.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dmb_test {

namespace fs = std::filesystem;

/* The folder of the library in tests that do not need the real data manager. */
inline const char16_t *kOwnDir = u"C:\\Tarvel";

/* A settings image and a printer-data record, zero-filled. */
struct Records {
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
    void *dm() { return image.data(); }
    void *pd() { return printerData.data(); }
};

/*
 * The resource tests' machine fixture, with this library's binding and trace
 * state forgotten as well (every use of the data manager is released at the
 * end of each test).
 */
class MachineTest : public res_test::MachineTest {
protected:
    void SetUp() override
    {
        res_test::MachineTest::SetUp();
        DMB_ResetForTest();
        LOG_ResetForTest();
    }
    void TearDown() override
    {
        while (DMB_GetUseCount() != 0)
            DMB_Unload();
        DMB_ResetForTest();
        LOG_ResetForTest();
        res_test::MachineTest::TearDown();
    }

    /* Makes this program the library at Windows path `path`, with its own strings. */
    void initLibrary(const std::u16string &path)
    {
        initModuleAt(path);
        ASSERT_NE(RES_GetOwnModule(), nullptr);
    }

    /* The library lives in C:\Tarvel (a folder of this test's machine). */
    void libraryInOwnDir()
    {
        fs::create_directories(real(kOwnDir));
        initLibrary(std::u16string(kOwnDir) + u"\\tarvelgr.dll");
    }

    /* The library lives in the driver directory, beside the real libtarveldm.so. */
    void libraryInDriverDir() { initLibrary(plat::driver_dir_win() + u"\\tarvelgr.dll"); }

    /* Loads the real data manager through the binding. */
    void bindRealDataManager()
    {
        libraryInDriverDir();
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
    }

    /*
     * The library lives in C:\Tarvel with the real data manager beside it (a
     * link to the build's libtarveldm.so), loaded through the binding: tests
     * that need the real data manager and their own switch file.
     */
    void bindRealDataManagerInOwnDir()
    {
        libraryInOwnDir();
        fs::create_symlink(fs::path(plat::driver_dir_real()) / "libtarveldm.so",
                           fs::path(real(kOwnDir)) / "libtarveldm.so");
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
    }

    /* The real path of a Windows path of the machine. */
    static std::string real(const std::u16string &win)
    {
        std::string r;
        EXPECT_TRUE(plat::map_path(win, r));
        return r;
    }

    /* Writes `text` (UTF-8) as the file `win`. */
    static void writeFile(const std::u16string &win, const std::string &text)
    {
        const std::string path = real(win);
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    /* The bytes of the file `win`, or "<missing>". */
    static std::string readFile(const std::u16string &win)
    {
        std::ifstream in(real(win), std::ios::binary);
        if (!in)
            return "<missing>";
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    /* Writes the trace switch file beside the library in C:\Tarvel. */
    static void writeSwitch(const std::string &body) { writeFile(std::u16string(kOwnDir) + u"\\tarvel.cfg", body); }

    /* The rendering library's trace file. */
    static std::u16string traceFile() { return u"C:\\DEBUG_LOG\\WIN2000\\DDI_UM_TRACE_LOG.txt"; }

    /* The debugger output as UTF-8. */
    static std::string debugText() { return plat::utf16_to_utf8(plat::debug_output()); }

    /* Fixes the clock at 03-07-2024 09:05:01 and the ids at 0x1234 / 0x5678. */
    static void fixClockAndIds()
    {
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 3;
        t.wDay = 7;
        t.wHour = 9;
        t.wMinute = 5;
        t.wSecond = 1;
        ASSERT_TRUE(plat::clock_fix(t, 1000));
        plat::sysinfo_fix_ids(0x1234, 0x5678);
    }
};

/* The text of a new GlobalAlloc string, which is freed; "<null>" for null. */
inline std::u16string takeText(LPWSTR s)
{
    std::u16string t = s != nullptr ? std::u16string(s) : u"<null>";
    if (s != nullptr)
        GlobalFree(s);
    return t;
}

/* Reads a setting through the binding; the slot content, with type and size. */
struct Read {
    WORD status = 0xFFFF;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    ULONGLONG value() const { return plat::load<ULONGLONG>(slot); }
};

inline Read read(WORD id, void *dm, void *pd)
{
    Read r;
    r.status = DMB_GetValue(id, dm, pd, &r.type, &r.size, r.slot);
    return r;
}

/* Writes a number setting through the binding with the type and size it reads with. */
inline WORD writeNumber(WORD id, void *dm, void *pd, DWORD value)
{
    Read r = read(id, dm, pd);
    if (r.status != DMA_OK)
        return r.status;
    BYTE bytes[FID_SLOT_SIZE] = {};
    plat::store<DWORD>(bytes, value);
    return DMB_SetValue(id, dm, pd, r.type, r.size, bytes);
}

} // namespace dmb_test

#endif /* TARVEL_TEST_DMB_SUPPORT_H */
