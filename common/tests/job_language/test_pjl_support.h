/*
 * Helpers of the job-header tests: a fresh machine folder per test with this
 * test program standing in as a driver library in the driver directory
 * (beside the real data manager and the job-language stand-in), the text
 * mode and every cached answer forgotten, a fixed clock, OS version, user
 * and computer name; settings records filled through the data manager;
 * models opened from the writer's bytes; and headers built into strings.
 */
#ifndef TARVEL_TEST_PJL_SUPPORT_H
#define TARVEL_TEST_PJL_SUPPORT_H

#include "test_mdl_support.h"

#include "pjl_private.h"

#include <job_language.h>
#include <standard_models.h>

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/util_system.h>
#include <tarvel/job_language/pjl_header.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/clock.h>
#include <plat/codepage.h>
#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>
#include <plat/version.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace pjl_test {

using model_test::ReaderPair;

/* The universal exit as the header writes it. */
inline const std::string kUel = "\x1B%-12345X";

/* A settings image and a printer-data record with the values a test sets, and header parameters over them. */
struct Job {
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
    JobHeaderParams params{};
    Job()
    {
        params.settings = image.data();
        params.printerData = printerData.data();
        params.insertFlag = 1;
    }
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    /* Writes a number setting with the type and size it reads with. */
    void set(WORD id, DWORD value)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        ASSERT_EQ(DMB_GetValue(id, image.data(), printerData.data(), &type, &size, slot), DMA_OK) << id;
        BYTE bytes[8] = {};
        plat::store<DWORD>(bytes, value);
        ASSERT_EQ(DMB_SetValue(id, image.data(), printerData.data(), type, size, bytes), DMA_OK) << id;
    }
    /* Writes a string setting. */
    void setText(WORD id, const std::u16string &text)
    {
        const WCHAR *p = text.c_str();
        ASSERT_EQ(DMB_SetValue(id, image.data(), printerData.data(), SVT_WSTRING,
                               LONG((text.size() + 1) * sizeof(WCHAR)), &p),
                  DMA_OK)
            << id;
    }
    /* A string setting as UTF-8. */
    std::string text(WORD id)
    {
        LPWSTR t = nullptr;
        EXPECT_EQ(pjl_ReadText(&params, id, &t), 0) << id;
        std::string s = model_test::u8(t);
        GlobalFree(t);
        return s;
    }
    /* The settings every header test starts from: one copy, one side, colour, 600 dpi, one page per sheet. */
    void plainDefaults()
    {
        set(7, 1);
        set(12, 1);
        set(16, 1);
        set(18, 0);
        set(20, 600);
        set(295, 1);
    }
};

/* A header built into a string, with its result. */
struct Built {
    LONG result = 0;
    std::string text;
};

class PjlTest : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        resetProcessState();
        /* This program plays a driver library in the driver directory. */
        RES_SetModulePathForTest((plat::driver_dir_win() + u"\\tarvelgr.dll").c_str());
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 3;
        t.wDay = 7;
        t.wHour = 9;
        t.wMinute = 5;
        t.wSecond = 1;
        ASSERT_TRUE(plat::clock_fix(t, 1000));
        plat::version_set(10, 0, 19045, 0, VER_NT_WORKSTATION);
        plat::sysinfo_set_user_name(u"tarvel");
        plat::sysinfo_set_computer_name(u"TARVELPC");
    }
    void TearDown() override
    {
        resetProcessState();
        ModelTest::TearDown();
    }
    static void resetProcessState()
    {
        DMB_ResetForTest();
        LOG_ResetForTest();
        RES_ResetForTest();
        UTL_ResetVersionCacheForTest();
        pjl_ResetTextModeForTest();
    }

    /* Windows 95: the header keeps the ANSI text mode; `codePage` the ANSI code page. */
    static void ansiSystem(UINT codePage)
    {
        plat::version_set(4, 0, 950, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_WINDOWS);
        ASSERT_TRUE(plat::set_ansi_code_page(codePage));
    }

    /* Opens a standard model pair from the driver directory. */
    void openStandard(ReaderPair &p, const std::string &name)
    {
        const std::u16string dir = plat::driver_dir_win() + u"\\";
        ASSERT_EQ(DDD_OpenModelFile((dir + plat::utf8_to_utf16(name) + u".DDD").c_str(), &p.main, &p.companion),
                  DDD_OK)
            << name;
    }

    /* Opens a writer model from memory. */
    static void open(ReaderPair &p, const mw::Model &m) { ASSERT_EQ(model_test::openModel(p, m), DDD_OK); }

    /* Builds the header of `job` for the pair into a buffer of `capacity` bytes (0: the size bound). */
    static Built build(ReaderPair &p, Job &job, DWORD capacity = 0)
    {
        if (capacity == 0) {
            LONG bound = PJL_GetHeaderSize(&p.main, &p.companion, &job.params);
            EXPECT_GT(bound, 0);
            capacity = bound > 0 ? DWORD(bound) : 1;
        }
        /* Guard bytes behind the capacity show any write past it. */
        constexpr size_t kGuard = 64;
        std::vector<char> buffer(capacity + kGuard, '#');
        Built b;
        b.result = PJL_BuildJobHeader(&p.main, &p.companion, &job.params, buffer.data(), capacity);
        EXPECT_EQ(std::string(buffer.data() + capacity, kGuard), std::string(kGuard, '#'));
        if (b.result >= 0) {
            EXPECT_EQ(buffer[size_t(b.result)], 0) << "the header ends in a zero byte";
            b.text.assign(buffer.data(), size_t(b.result));
        }
        return b;
    }

    /* Sets or clears a switch of the job-language stand-in. */
    static void standInSwitch(const char16_t *name, DWORD value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tarvel\\Test\\JobLanguage", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
        RegCloseKey(key);
    }
    static void standInAnswersZero(const std::u16string &entry)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tarvel\\Test\\JobLanguage", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"AnswerZero", 0, REG_SZ, reinterpret_cast<const BYTE *>(entry.c_str()),
                       DWORD((entry.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }

    /* Writes `bytes` as the machine file `win`. */
    static void writeFile(const std::u16string &win, const std::string &bytes)
    {
        std::string real;
        ASSERT_TRUE(plat::map_path(win, real));
        std::filesystem::create_directories(std::filesystem::path(real).parent_path());
        std::ofstream(real, std::ios::binary) << bytes;
    }
    static bool fileExists(const std::u16string &win)
    {
        std::string real;
        return plat::map_path(win, real) && std::filesystem::exists(real);
    }
};

/* A copy of a standard model with other job-language records and entry-26 flags, and an empty value array 4. */
inline mw::Model withJobLines(DWORD flags26, const std::vector<mw::JobLine> &lines, bool fax = false)
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600, fax);
    m.records.erase(std::remove_if(m.records.begin(), m.records.end(),
                                   [](const mw::Record &r) { return r.kind == DDD_KIND_JOB_LINE; }),
                    m.records.end());
    m.main.entries[26] = mw::eU32(flags26);
    m.companion.entries[26] = mw::eU32(flags26);
    /* Value array 4: no elements. */
    m.add(mw::encode(mw::ValueArray{4, 0, DDD_VT_SHORT, 2, 0, {}}, m.formatVersion));
    for (const mw::JobLine &l : lines)
        m.add(mw::encode(l, m.formatVersion));
    return m;
}

/* A job line with identifier `id`. */
inline mw::JobLine jobLine(WORD id, WORD setting, std::vector<mw::Condition> conditions, const char *command,
                           const char *fixed, WORD attribute = 1)
{
    return mw::JobLine{id, setting, std::move(conditions), command ? mw::stored(command) : mw::noText(),
                       fixed ? mw::stored(fixed) : mw::noText(), attribute};
}

inline mw::Condition cond(WORD setting, BYTE op, mw::Value v, BYTE connector)
{
    return mw::Condition{mw::Setting{0, op, setting, std::move(v)}, connector};
}

} // namespace pjl_test

#endif /* TARVEL_TEST_PJL_SUPPORT_H */
