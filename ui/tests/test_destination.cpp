// The destination check of start of document as a table: destinations
// 0, 1, 2, 5, 7 and 8 against an empty and a set stored-job text (printer
// data 5129); a refusal shows one system-modal message without an owner,
// with resource strings 9328 and 6; no device context refuses, no job
// record goes on.
#include "doc_events.h"
#include "ui_test_support.h"

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>

#include <cstring>

namespace {

using namespace ui_test;

HDC someDc() { return reinterpret_cast<HDC>(uintptr_t(0x5000)); }

class Destination : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter);
        ASSERT_NE(printer->handle, nullptr);
        job = DOC_CreateJob(printer->handle);
        ASSERT_NE(job, nullptr);
        loadJobSettings(printer->handle, job->settings, sizeof job->settings, job->printerData);
        plat::msgbox_clear();
    }
    void TearDown() override
    {
        DOC_DeleteJob(printer->handle);
        printer.reset();
        plat::msgbox_clear();
        UiTest::TearDown();
    }

    void setDestination(int value)
    {
        setSetting(job->settings, job->printerData, 334, value);
    }
    void setStoredJobText(const std::u16string &text)
    {
        const char16_t *p = text.c_str();
        ASSERT_EQ(DMB_SetValue(5129, job->settings, job->printerData, SVT_WSTRING, LONG((text.size() + 1) * 2), &p),
                  0);
    }

    std::unique_ptr<Printer> printer;
    DocJobRecord *job = nullptr;
};

std::u16string resourceString(UINT id)
{
    WCHAR text[256] = {};
    LoadStringW(RES_GetResourceModule(), id, text, 256);
    return text;
}

} // namespace

TEST_F(Destination, StoredJobDestinationsNeedTheirText)
{
    ASSERT_FALSE(resourceString(9328).empty());
    ASSERT_FALSE(resourceString(6).empty());
    struct Row {
        int destination;
        const char16_t *text;
        int answer;
    } rows[] = {
        {0, u"", 1},     {0, u"Box", 1}, {1, u"", -1},    {1, u"Box", 1}, {2, u"", -1}, {2, u"Box", 1},
        {5, u"", 1},     {7, u"", -1},   {7, u"Box", 1},  {8, u"", -1},   {8, u"B", 1},
    };
    for (const Row &r : rows) {
        setDestination(r.destination);
        setStoredJobText(r.text);
        plat::msgbox_clear();
        EXPECT_EQ(DOC_CheckDestination(someDc(), printer->handle), r.answer) << r.destination;
        std::vector<plat::MsgBoxRecord> shown = plat::msgbox_log();
        if (r.answer == 1) {
            EXPECT_TRUE(shown.empty()) << r.destination;
            continue;
        }
        ASSERT_EQ(shown.size(), 1u) << r.destination;
        EXPECT_EQ(shown[0].owner, nullptr);
        EXPECT_EQ(shown[0].style, UINT(MB_SYSTEMMODAL));
        EXPECT_EQ(shown[0].text, resourceString(9328));
        EXPECT_EQ(shown[0].caption, resourceString(6));
    }
}

TEST_F(Destination, NoContextRefusesAndNoRecordGoesOn)
{
    setDestination(7);
    setStoredJobText(u"");
    EXPECT_EQ(DOC_CheckDestination(nullptr, printer->handle), -1);
    EXPECT_EQ(DOC_CheckDestination(someDc(), reinterpret_cast<HANDLE>(uintptr_t(0x77))), 1);
    EXPECT_TRUE(plat::msgbox_log().empty());
}
