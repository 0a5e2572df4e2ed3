// The job's frame: the stream header line, the event comments, the owner
// name and the slot patches, against texts written out by hand.
#include "job_header.h"

#include "job_settings.h"
#include "pdev_context.h"
#include "sheet_state.h"
#include "xl_test_support.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/version.h>

#include <cstring>
#include <memory>

namespace {

/* The bytes of a PCL XL comment of `text` (under 256 bytes): ubyte array (C8, length C0 ubyte), CommentData (F8 81), Comment (47). */
std::string comment(const std::string &text)
{
    char len[16];
    std::snprintf(len, sizeof len, "C8 C0 %02X ", unsigned(text.size()));
    return std::string(len) + hexText(text) + " F8 81 47";
}

class JobHeaderTest : public XlTest {
protected:
    void SetUp() override
    {
        XlTest::SetUp();
        pdev->headMagic = pdev->tailMagic = PDEV_MAGIC;
        js = std::make_unique<JobSettings>();
        layout = std::make_unique<PageLayout>();
        pdev->jobSettings = js.get();
        pdev->pageLayout = layout.get();
        js->protocolClass = JOB_PROTOCOL_2_1;
    }
    void TearDown() override
    {
        pdev->jobSettings = nullptr;
        pdev->pageLayout = nullptr;
        XlTest::TearDown();
    }
    std::unique_ptr<JobSettings> js;
    std::unique_ptr<PageLayout> layout;
};

TEST_F(JobHeaderTest, StreamHeaderLine)
{
    struct Case {
        DWORD protocol, major, minor;
        const char *line;
    } cases[] = {
        {JOB_PROTOCOL_2_1, 5, 1, ") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n"},
        {JOB_PROTOCOL_2_0, 10, 0, ") HP-PCL XL;2;1;QZKRL2-2.0.0,WINNT-a.0,KRL2DRV-1.1.0.0\n"},
        {JOB_PROTOCOL_2_1, 6, 3, ") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-6.3,KRL2DRV-1.1.0.0\n"},
    };
    for (const Case &c : cases) {
        js->protocolClass = c.protocol;
        plat::version_set(c.major, c.minor, 1000, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_NT);
        ASSERT_EQ(JOB_WriteStreamHeader(ctx()), 0);
        EXPECT_EQ(take(), hexText(c.line));
    }
    /* Without a version the line says 5.0. */
    plat::version_fail(ERROR_NOT_SUPPORTED);
    ASSERT_EQ(JOB_WriteStreamHeader(ctx()), 0);
    EXPECT_EQ(take(), hexText(") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.0,KRL2DRV-1.1.0.0\n"));
    plat::version_fail(0);
}

TEST_F(JobHeaderTest, EventCommentsInDoubleQuotes)
{
    plat::SpoolDriver d;
    d.name = u"Test driver";
    d.driver_file = u"tarvelgr.dll";
    d.data_file = u"TARVEL1.DDD";
    ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
    plat::SpoolPrinter p;
    p.name = u"Office";
    p.driver = d.name;
    p.port = u"LPT1:";
    ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &printer, nullptr));
    js->printer = printer;
    std::memcpy(js->documentName, u"Report.txt", sizeof(u"Report.txt"));

    ASSERT_TRUE(plat::clock_fix(localTime(2026, 3, 7, 9, 5, 4), 1000));
    ASSERT_EQ(JOB_LogEventText(ctx(), nullptr, JOB_EVENT_START_TICK), 0);
    EXPECT_EQ(take(), "");
    ASSERT_EQ(JOB_LogEventText(ctx(), "", JOB_EVENT_STAMP), 0);
    EXPECT_EQ(take(), comment("\"[2026,03/07,09:05:04][Report.txt][LPT1:]\""));
    Sleep(250);
    ASSERT_EQ(JOB_LogEvent(ctx(), JOB_EVENT_START_PAGE), 0);
    EXPECT_EQ(take(), comment("\"[250ms]StartPage\""));
    ASSERT_EQ(JOB_LogEventText(ctx(), "EndJob", 0), 0);
    EXPECT_EQ(take(), comment("\"EndJob\""));
    EXPECT_EQ(JOB_LogEvent(ctx(), 5), -1);
    ClosePrinter(printer);
}

TEST_F(JobHeaderTest, OwnerNameFromTheUserOrWinlogon)
{
    WCHAR name[JOB_OWNER_CHARS];
    plat::sysinfo_set_user_name(u"alice");
    ASSERT_EQ(JOB_GetOwnerName(nullptr, name), 0);
    EXPECT_EQ(std::u16string(name), u"alice");

    /* A service running as SYSTEM with no default user: empty, and the job goes on without one. */
    plat::sysinfo_set_user_name(u"SYSTEM");
    HKEY winlogon = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0, KEY_ALL_ACCESS,
                      &winlogon) == ERROR_SUCCESS) {
        RegDeleteValueW(winlogon, u"DefaultUserName");
        RegCloseKey(winlogon);
    }
    EXPECT_EQ(JOB_GetOwnerName(nullptr, name), -1);
    EXPECT_EQ(name[0], 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              LONG(ERROR_SUCCESS));
    const char16_t user[] = u"bob";
    ASSERT_EQ(RegSetValueExW(key, u"DefaultUserName", 0, REG_SZ, reinterpret_cast<const BYTE *>(user), sizeof user),
              LONG(ERROR_SUCCESS));
    RegCloseKey(key);
    ASSERT_EQ(JOB_GetOwnerName(nullptr, name), 0);
    EXPECT_EQ(std::u16string(name), u"bob");
}

TEST_F(JobHeaderTest, SlotPatchesStayWithinTheText)
{
    const std::string placeholder = "@PJL SET IWASIDE2START=     \n@PJL X\n";
    struct Case {
        LONG value;
        DWORD position;
        DWORD length; /* of the text given to the patcher */
        std::string expected;
    } cases[] = {
        {42, 0, DWORD(placeholder.size()), placeholder},                          /* no slot */
        {42, 1, DWORD(placeholder.size()), "@@PJL SET IWASIDE2START=   42@PJL X\n"}, /* at a position */
        {42, 10, 20, placeholder},                                               /* would pass the text's end */
        {100000, 1, DWORD(placeholder.size()), placeholder},                     /* wider than its placeholder */
    };
    for (const Case &c : cases) {
        std::string text = placeholder;
        EXPECT_EQ(JOB_PatchIwaSide2Start(nullptr, nullptr, c.value, c.position, text.data(), c.length), 1);
        EXPECT_EQ(text, c.expected) << c.position << " " << c.length;
    }
}

TEST_F(JobHeaderTest, CopySetHeaderTableIsCheckedOnItsSlots)
{
    BYTE slots[2 * 16] = {};
    DWORD positions[2] = {};
    CopySetHeaderTable table{2, 16, slots, positions, positions, positions};
    plat::store_u32(slots, 0, 12);
    plat::store_u32(slots, 16, 12);
    EXPECT_EQ(JOB_CheckCopySetHeaders(&table), 1);
    plat::store_u32(slots, 16, 13); /* one byte past its slot */
    EXPECT_EQ(JOB_CheckCopySetHeaders(&table), 0);
    table.slotSize = 3;
    EXPECT_EQ(JOB_CheckCopySetHeaders(&table), 0);
    EXPECT_EQ(JOB_CheckCopySetHeaders(nullptr), 0);
}

} // namespace
