// The fax front end at start of document: a job that is no fax goes on
// untouched; the fax data file named by the job (existing, empty, missing);
// no front end; the stand-in front end answering 0 or its text, with the
// first two lines taken off, handed over in a new file each job; the active
// window disabled during the call and enabled again on every way out.
#include "doc_events.h"
#include "doc_fax_front_end.h"
#include "ui_test_support.h"

#include <faxfront/faxfront_record.h>

#include <tarvel/base/res_text.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/window.h>
#include <plat/window_min.h>

#include <cstring>
#include <fstream>

namespace {

using namespace ui_test;

HDC someDc() { return reinterpret_cast<HDC>(uintptr_t(0x5000)); }

class FaxFrontEnd : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kFaxPrinter, "TARVEL2.DDD");
        printer = std::make_unique<Printer>(kFaxPrinter);
        ASSERT_NE(printer->handle, nullptr);
        job = DOC_CreateJob(printer->handle);
        ASSERT_NE(job, nullptr);
        loadJobSettings(printer->handle, job->settings, sizeof job->settings, job->printerData, &context);
        set(334, 5);
        set(4125, 1);
        window = CreateWindowExW(0, u"#32770", u"Application", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        SetActiveWindow(window);
        ASSERT_EQ(GetActiveWindow(), window);
        DOC_SetFaxFrontEndForTest(nullptr);
    }
    void TearDown() override
    {
        DOC_SetFaxFrontEndForTest(nullptr);
        DestroyWindow(window);
        MDL_Close(context);
        DOC_DeleteJob(printer->handle);
        printer.reset();
        UiTest::TearDown();
    }
    void set(WORD id, int value)
    {
        setSetting(job->settings, job->printerData, id, value);
    }
    void setText(WORD id, const std::u16string &text)
    {
        const char16_t *p = text.c_str();
        ASSERT_EQ(DMB_SetValue(id, job->settings, job->printerData, SVT_WSTRING, LONG((text.size() + 1) * 2), &p),
                  0);
    }
    std::u16string text(WORD id)
    {
        auto *p = reinterpret_cast<const BYTE *>(
            uintptr_t(DMB_GetTypedValue(job->settings, job->printerData, id, SVT_WSTRING)));
        std::u16string t;
        for (size_t i = 0; p; i += 2) {
            char16_t c = 0;
            std::memcpy(&c, p + i, 2);
            if (!c)
                break;
            t += c;
        }
        return t;
    }
    int run() { return DOC_RunFaxFrontEnd(someDc(), printer->handle, nullptr, context); }
    const FaxFrontRecord *record() const
    {
        auto get = plat::proc_cast<FaxFrontGetRecordFn>(
            GetProcAddress(GetModuleHandleW(u"tarvelfax.dll"), "FaxFrontGetRecord"));
        return get ? get() : nullptr;
    }
    std::vector<BYTE> fileBytes(const std::u16string &name)
    {
        std::string real;
        EXPECT_TRUE(plat::map_path(name, real));
        std::ifstream in(real, std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }

    std::unique_ptr<Printer> printer;
    DocJobRecord *job = nullptr;
    ModelContext *context = nullptr;
    HWND window = nullptr;
};

TEST_F(FaxFrontEnd, NotAFaxJobGoesOnUntouched)
{
    EXPECT_EQ(DOC_RunFaxFrontEnd(nullptr, printer->handle, nullptr, context), -1) << "no device context";
    set(334, 0);
    EXPECT_EQ(run(), 1);
    set(334, 5);
    set(4125, 0);
    EXPECT_EQ(run(), 1);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Tarvel\\FaxFrontEnd", 0, KEY_READ, &key), ERROR_SUCCESS)
        << "nothing written";
    EXPECT_EQ(DOC_RunFaxFrontEnd(someDc(), reinterpret_cast<HANDLE>(uintptr_t(0x99)), nullptr, context), 1)
        << "no job record";
}

TEST_F(FaxFrontEnd, TheFaxDataFileOfTheJobIsOnlyChecked)
{
    writeMachineFile(u"C:\\Fax\\full.dat", {'A', 'B'});
    HANDLE empty = CreateFileW(u"C:\\Fax\\empty.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    ASSERT_NE(empty, INVALID_HANDLE_VALUE);
    CloseHandle(empty);
    DOC_SetFaxFrontEndForTest(u"tarvelfax.dll");
    struct Case {
        const char16_t *file;
        int result;
    } cases[] = {{u"C:\\Fax\\full.dat", 1}, {u"C:\\Fax\\empty.dat", -1}, {u"C:\\Fax\\missing.dat", -1}};
    for (const Case &c : cases) {
        setText(375, c.file);
        EXPECT_EQ(run(), c.result) << plat::utf16_to_utf8(c.file);
        EXPECT_TRUE(IsWindowEnabled(window)) << "enabled again";
        EXPECT_EQ(plat::loader_load_count(u"tarvelfax.dll"), 0u) << "the front end is not loaded";
    }
    /* The work folder exists and is named in the user's key. */
    WCHAR folder[261] = {};
    ASSERT_TRUE(RES_GetCommonDocumentsPath(3, folder, 261));
    EXPECT_NE(GetFileAttributesW(folder), INVALID_FILE_ATTRIBUTES);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Tarvel\\FaxFrontEnd", 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR value[261] = {};
    DWORD type = 0, size = sizeof value - 2;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(value), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::u16string(value), std::u16string(folder));
}

TEST_F(FaxFrontEnd, WithoutAFrontEndTheJobGoesOn)
{
    EXPECT_EQ(run(), 1) << "the model names no front end";
    DOC_SetFaxFrontEndForTest(u"nosuchfax.dll");
    EXPECT_EQ(run(), 1);
    DOC_SetFaxFrontEndForTest(u"tarveljl.dll"); /* a library without "StartDocFax" */
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(text(1799).empty());
}

TEST_F(FaxFrontEnd, TheFrontEndsTextIsHandedOverInANewFileEachJob)
{
    DOC_SetFaxFrontEndForTest(u"tarvelfax.dll");
    HMODULE fax = LoadLibraryW(u"tarvelfax.dll"); /* held, so its record survives the calls */
    ASSERT_NE(fax, nullptr);
    auto configure = plat::proc_cast<FaxFrontConfigureFn>(GetProcAddress(fax, "FaxFrontConfigure"));
    FaxFrontConfig four{TRUE, "line1\nline2\nline3\nline4\n"};
    configure(&four);
    set(8201, 1);
    set(4113, 1);
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(IsWindowEnabled(window));
    ASSERT_EQ(record()->calls, 1);
    EXPECT_FALSE(record()->ownerEnabled) << "disabled while the front end runs";
    EXPECT_EQ(record()->owner, window);
    EXPECT_EQ(record()->mode, 2);
    EXPECT_EQ(std::u16string(record()->openingText), u"Software\\Tarvel\\FaxFrontEnd");
    const std::u16string first = text(1799);
    ASSERT_FALSE(first.empty());
    std::vector<BYTE> bytes = fileBytes(first);
    ASSERT_EQ(bytes.size(), 9600u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(bytes.data())), "line3\nline4\n");

    /* Without 8201 the text stays whole; a second job gets a second file. */
    set(8201, 0);
    set(4113, 0);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(record()->mode, 0);
    const std::u16string second = text(1799);
    EXPECT_NE(second, first);
    bytes = fileBytes(second);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(bytes.data())), "line1\nline2\nline3\nline4\n");

    /* One line only with 8201: that line is taken off. */
    FaxFrontConfig one{TRUE, "only\n"};
    configure(&one);
    set(8201, 1);
    EXPECT_EQ(run(), 1);
    bytes = fileBytes(text(1799));
    EXPECT_EQ(bytes[0], 0);

    /* The front end answering 0 cancels the job; the window is enabled again. */
    FaxFrontConfig refused{FALSE, "x\n"};
    configure(&refused);
    EXPECT_EQ(run(), -1);
    EXPECT_TRUE(IsWindowEnabled(window));
    FreeLibrary(fax);
}

} // namespace
