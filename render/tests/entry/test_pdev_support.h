// Fixture of the device-context tests: a fresh machine whose driver
// directory holds the build's libraries and standard models, this test
// program standing in as the rendering library in that directory (its
// strings, its module path) with the library enabled, printers installed on
// the standard models or on models written by the test, job devmodes built
// setting by setting in exactly sized heap blocks, and a device context
// enabled and disabled through the library's entry points.
#ifndef RENDER_TESTS_TEST_PDEV_SUPPORT_H
#define RENDER_TESTS_TEST_PDEV_SUPPORT_H

#include "ddi_entry.h"
#include "ddi_exports.h"
#include "pdev_lifecycle.h"
#include "spool_file.h"
#include "xl_test_support.h"

#include <modelwriter/model_writer.h>
#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/engine.h>
#include <plat/error.h>
#include <plat/fault.h>
#include <plat/file.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace pdev_test {

/* The printers of the two standard models. */
inline constexpr char16_t kColourPrinter[] = u"Tarvel CX 1500";   /* TARVEL1.DDD */
inline constexpr char16_t kFaxPrinter[] = u"Tarvel CX 1500F";     /* TARVEL2.DDD */

/* Writes the trace switch file beside the library with flag word `log` and makes the trace read it again. */
inline void traceWith(const std::string &log)
{
    std::string dir;
    ASSERT_TRUE(plat::map_path(plat::driver_dir_win(), dir));
    std::ofstream(dir + "/tarvel.cfg", std::ios::binary) << "[LOG]\r\nLog=" << log << "\r\n";
    LOG_ReloadSwitch();
}

/* The rendering library's trace file as written so far. */
inline std::string traceText()
{
    std::string path;
    EXPECT_TRUE(plat::map_path(u"C:\\DEBUG_LOG\\WIN2000\\DDI_UM_TRACE_LOG.txt", path));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/* An open printer handle, closed when the holder goes. */
struct Printer {
    HANDLE handle = nullptr;
    explicit Printer(const std::u16string &name)
    {
        if (!OpenPrinterW(name.c_str(), &handle, nullptr))
            handle = nullptr;
    }
    ~Printer()
    {
        if (handle)
            ClosePrinter(handle);
    }
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;
};

/*
 * A job devmode of exactly 5,920 bytes in a heap block of that size (so the
 * sanitizer sees any read past it): sizes 220 + 5,700, marker 24, A4
 * portrait in colour at 600 dpi, 100 %, one copy, simplex, one page per
 * sheet, the job's own output paper, unless a test sets otherwise.  Settings are written through the
 * data manager, which must be bound.
 */
class JobDevmode {
public:
    JobDevmode() : bytes_(new BYTE[PDEV_JOB_DEVMODE_SIZE]())
    {
        set(ID_DEVMODE_SIZE, PDEV_PUBLIC_DEVMODE_SIZE);
        set(ID_DRIVER_EXTRA, PDEV_JOB_DEVMODE_EXTRA);
        set(ID_DM_FIELDS, DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR);
        set(ID_ORIENTATION, DMORIENT_PORTRAIT);
        set(ID_PAPER_SIZE, DMPAPER_A4);
        set(ID_SCALE, 100);
        set(ID_COPIES, 1);
        set(ID_COLOR, DMCOLOR_COLOR);
        resolution(600);
        set(ID_OUTPUT_PAPER, FORM_PAPER_JOB_OWN);
        set(16, 1);  /* simplex */
        set(295, 1); /* pages per sheet */
        set(ID_COLOUR_MODE, 2);
        set(ID_FULL_COLOUR, 1);
        marker(PDEV_JOB_DEVMODE_MARKER);
    }

    /* Writes a number setting in its stored type. */
    void set(WORD id, LONG value)
    {
        const IdLayoutItem *item = nullptr;
        ASSERT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
        ASSERT_EQ(DMB_SetValueArgs(bytes_.get(), nullptr, id, item->storedType, int(value)), DMA_OK) << id;
    }

    /* Writes a string setting. */
    void setText(WORD id, const std::u16string &text)
    {
        const WCHAR *p = text.c_str();
        ASSERT_EQ(DMB_SetValue(id, bytes_.get(), nullptr, SVT_WSTRING, LONG((text.size() + 1) * 2), &p), DMA_OK);
    }

    /* Horizontal and vertical resolution. */
    void resolution(LONG dpi)
    {
        set(ID_RESOLUTION, dpi);
        set(21, dpi);
    }

    /* Raw 16-bit and 32-bit values at byte offsets (sizes, marker, tail). */
    void put16(DWORD offset, WORD v) { plat::store_u16(bytes_.get(), offset, v); }
    void put32(DWORD offset, DWORD v) { plat::store_u32(bytes_.get(), offset, v); }
    void marker(WORD v) { put16(PDEV_TAIL_MARKER, v); }

    /* The job-form paper of the tail: paper number and margins (tenths of a millimetre). */
    void tailPaper(WORD paper, WORD left, WORD right, WORD top, WORD bottom)
    {
        put16(PDEV_TAIL_PAPER, paper);
        put16(PDEV_TAIL_PAPER + 4, left);
        put16(PDEV_TAIL_PAPER + 6, right);
        put16(PDEV_TAIL_PAPER + 8, top);
        put16(PDEV_TAIL_PAPER + 10, bottom);
    }

    DEVMODEW *dm() { return reinterpret_cast<DEVMODEW *>(bytes_.get()); }
    BYTE *bytes() { return bytes_.get(); }

private:
    std::unique_ptr<BYTE[]> bytes_;
};

/* A device context enabled through the entry points, with what the engine got back. */
struct Enabled {
    DHPDEV dhpdev = nullptr;
    DWORD error = 0;
    GDIINFO gdi{};
    DEVINFO dev{};
    HSURF patterns[HS_DDI_MAX] = {};
    PdevContext *pdev() const { return PDEV_FromHandle(dhpdev); }
};

class PdevTest : public MachineFolderTest {
protected:
    void SetUp() override
    {
        MachineFolderTest::SetUp();
        RES_ResetForTest();
        DMB_ResetForTest();
        LOG_ResetForTest();
        OUT_ResetTempFileBase();
        RES_SetModulePathForTest((plat::driver_dir_win() + u"\\tarvelgr.dll").c_str());
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
        DRVENABLEDATA ded{};
        ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded));
        hdev = plat::engine_create_device();
    }

    void TearDown() override
    {
        PDEV_SetModelOpenHookForTest(nullptr);
        DrvDisableDriver();
        EXPECT_EQ(DMB_GetUseCount(), 1) << "a device context left the data manager loaded";
        DMB_Unload();
        EXPECT_EQ(plat::engine_palette_count(), 0u) << "a palette was left behind";
        EXPECT_EQ(plat::engine_surface_count(), 0u) << "a surface was left behind";
        MachineFolderTest::TearDown();
        DMB_ResetForTest();
        LOG_ResetForTest();
        RES_ResetForTest();
        RES_SetModulePathForTest(nullptr);
        OUT_ResetTempFileBase();
    }

    /* Installs a printer of the model file `dataFile`, with `files` linked into the driver directory. */
    void install(const std::u16string &printer, const std::string &dataFile,
                 const std::vector<std::string> &files = {})
    {
        plat::SpoolDriver d;
        d.name = u"Tarvel " + plat::utf8_to_utf16(dataFile);
        d.driver_file = u"tarvelgr.dll";
        d.data_file = plat::utf8_to_utf16(dataFile);
        d.config_file = u"tarvelui.dll";
        d.link_files = files;
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = printer;
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }

    void installStandard()
    {
        install(kColourPrinter, "TARVEL1.DDD");
        install(kFaxPrinter, "TARVEL2.DDD");
    }

    /* Writes a model of the test's own and installs a printer of it. */
    void installWritten(const std::u16string &printer, const mw::Model &model)
    {
        std::string dir = (root / "models").string();
        std::filesystem::create_directories(dir);
        std::string error;
        ASSERT_TRUE(mw::writeFiles(model, dir, error)) << error;
        std::vector<std::string> files{dir + "/" + model.fileName};
        if (!model.companionName.empty())
            files.push_back(dir + "/" + model.companionName);
        install(printer, model.fileName, files);
    }

    /* Adds a user form of w x l tenths of a millimetre with the imageable area given in tenths. */
    static void addForm(HANDLE printer, const std::u16string &name, LONG w, LONG l, RECT area)
    {
        std::u16string n = name;
        FORM_INFO_1W form{FORM_PRINTER, n.data(), SIZEL{w * 100, l * 100},
                          RECTL{area.left * 100, area.top * 100, area.right * 100, area.bottom * 100}};
        ASSERT_TRUE(AddFormW(printer, 1, reinterpret_cast<const BYTE *>(&form))) << GetLastError();
    }

    /* Enables a device context on `printer` for `devmode` with full-size records. */
    Enabled enable(HANDLE printer, JobDevmode &devmode)
    {
        Enabled e;
        std::u16string name = u"Tarvel";
        SetLastError(0);
        e.dhpdev = DrvEnablePDEV(devmode.dm(), nullptr, HS_DDI_MAX, e.patterns, sizeof e.gdi,
                                 reinterpret_cast<ULONG *>(&e.gdi), sizeof e.dev, &e.dev, hdev, name.data(), printer);
        e.error = GetLastError();
        if (e.dhpdev)
            plat::engine_set_device_pdev(hdev, e.dhpdev); /* as the engine learns its device's context */
        return e;
    }

    HDEV hdev = nullptr;
};

} // namespace pdev_test

#endif /* RENDER_TESTS_TEST_PDEV_SUPPORT_H */
