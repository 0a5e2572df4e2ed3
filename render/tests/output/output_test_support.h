// Test fixture of the output channel's back-ends: a fresh machine folder
// with a printer installed in the spooler stand-in, the engine's job
// started on a printer handle, a channel opened on that handle with no test
// writer (so bytes reach the real WritePrinter), a resource module with the
// retry box strings, and helpers to read jobs, files and boxes back.
#ifndef RENDER_TESTS_OUTPUT_TEST_SUPPORT_H
#define RENDER_TESTS_OUTPUT_TEST_SUPPORT_H

#include "xl_test_support.h"

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/msgbox.h>
#include <plat/registry.h>
#include <plat/resource.h>
#include <plat/spooler.h>

#include <array>
#include <string>

namespace outtest {

inline constexpr char16_t kDriver[] = u"Tarvel PCL XL";
inline constexpr char16_t kPrinter[] = u"Tarvel Colour";

/* The retry box strings of the test resource module. */
inline constexpr char16_t kCaption[] = u"Tarvel";
inline constexpr char16_t kFormText[] = u"The form file could not be written.";
inline constexpr char16_t kSpoolText[] = u"Disk %c is full.";

/* Bytes numbered so that a lost, doubled or reordered byte shows. */
inline Bytes pattern(size_t n, unsigned seed = 0)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = BYTE(i * 7 + i / 251 + seed);
    return b;
}

/* The whole content of a file of the machine (empty when it cannot be read). */
inline Bytes fileBytes(LPCWSTR path)
{
    Bytes out;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    BYTE chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        out.insert(out.end(), chunk, chunk + got);
    CloseHandle(h);
    return out;
}

/* Writes a file of the machine with `bytes`. */
inline void writeFile(LPCWSTR path, const Bytes &bytes)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    CloseHandle(h);
}

inline bool fileExists(LPCWSTR path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

/* True when HKEY_LOCAL_MACHINE has `key`. */
inline bool keyExists(const std::u16string &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

/* The registry key that lists `path` below the default base. */
inline std::u16string listKey(std::u16string path)
{
    for (char16_t &c : path)
        if (c == u'\\')
            c = u'/';
    return std::u16string(OUT_DEFAULT_TEMP_FILE_BASE) + u"TempFile\\" + path;
}

/* A machine folder, the retry box strings and the default registry base. */
class OutputTest : public MachineFolderTest {
protected:
    void SetUp() override
    {
        MachineFolderTest::SetUp();
        OUT_SetTestSink(nullptr);
        OUT_ResetTempFileBase();
        ASSERT_TRUE(plat::loader_register_fake(u"outstrings.dll", nullptr, {}));
        strings = LoadLibraryW(u"outstrings.dll");
        ASSERT_NE(strings, nullptr);
        const plat::RsrcString table[] = {
            {OUT_IDS_FORM_WRITE_ERROR, kFormText},
            {OUT_IDS_SPOOL_WRITE_ERROR, kSpoolText},
            {OUT_IDS_ERROR_CAPTION, kCaption},
        };
        ASSERT_TRUE(plat::rsrc_attach_strings(strings, table));
    }
    void TearDown() override
    {
        if (strings)
            FreeLibrary(strings);
        OUT_ResetTempFileBase();
        MachineFolderTest::TearDown();
    }

    /* The boxes shown so far. */
    static std::vector<plat::MsgBoxRecord> boxes() { return plat::msgbox_log(); }

    HMODULE strings = nullptr;
};

/* OutputTest with a printer, the engine's job on it and a channel open on the engine's handle. */
class SpoolerChannelTest : public OutputTest {
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        plat::SpoolDriver d;
        d.name = kDriver;
        d.driver_file = u"tarvelgr.dll";
        d.config_file = u"tarvelui.dll";
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = kPrinter;
        p.driver = kDriver;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        ASSERT_TRUE(OpenPrinterW(kPrinter, &printer, nullptr));
        WCHAR doc[] = u"engine job";
        DOC_INFO_1W info{doc, nullptr, nullptr};
        engineJob = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE *>(&info));
        ASSERT_NE(engineJob, 0u);
        channel = OUT_CreateChannel(strings);
        ASSERT_NE(channel, nullptr);
        ASSERT_EQ(OUT_OpenOnPrinter(channel, printer), 0);
    }
    void TearDown() override
    {
        OUT_FreeChannel(channel);
        if (printer) {
            EndDocPrinter(printer);
            ClosePrinter(printer);
        }
        OutputTest::TearDown();
    }

    /* The bytes of a job so far. */
    static Bytes jobBytes(DWORD job)
    {
        Bytes b;
        EXPECT_TRUE(plat::spool_job_bytes(job, b));
        return b;
    }

    /* The job started after the engine's (the second spool job), or null. */
    static const plat::SpoolJob *secondJob(const std::vector<plat::SpoolJob> &jobs)
    {
        return jobs.size() >= 2 ? &jobs[1] : nullptr;
    }

    HANDLE printer = nullptr;
    DWORD engineJob = 0;
    OutputChannel *channel = nullptr;
};

} // namespace outtest

#endif /* RENDER_TESTS_OUTPUT_TEST_SUPPORT_H */
