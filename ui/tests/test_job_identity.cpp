// Who a job is: the user's name (the logged-on user; for "SYSTEM" the
// machine's default user name cut to the caller's buffer, else
// "UnknownUser"), the ANSI cut of the annotation's texts in a single-byte
// and a double-byte code page, the annotation record by its settings with
// the date in each locale order, and the job identity block.
#include "doc_events.h"
#include "ui_test_support.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/clock.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>

#include <cstring>

namespace {

using namespace ui_test;

constexpr char16_t kWinlogon[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::u16string field(const BYTE *p, size_t offset, size_t chars)
{
    std::u16string s;
    for (size_t i = 0; i < chars; i++) {
        char16_t c = char16_t(plat::load_u16(p, offset + 2 * i));
        if (!c)
            break;
        s += c;
    }
    return s;
}

class JobIdentity : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter);
        ASSERT_NE(printer->handle, nullptr);
        loadJobSettings(printer->handle, settings.data(), settings.size(), printerData.data(), &context);
        SYSTEMTIME now{};
        now.wYear = 2026;
        now.wMonth = 3;
        now.wDay = 7;
        now.wHour = 9;
        now.wMinute = 5;
        ASSERT_TRUE(plat::clock_fix(now, 1000));
    }
    void TearDown() override
    {
        MDL_Close(context);
        printer.reset();
        UiTest::TearDown();
    }
    void set(WORD id, int value)
    {
        setSetting(settings.data(), printerData.data(), id, value);
    }
    std::vector<BYTE> annotation(LPCWSTR document = u"Report.txt")
    {
        std::vector<BYTE> info(DOC_ANNOTATION_SIZE, 0xCC);
        EXPECT_EQ(DOC_BuildAnnotationInfo(info.data(), printer->handle, nullptr, settings.data(), printerData.data(),
                                          document, context),
                  1);
        return info;
    }

    std::unique_ptr<Printer> printer;
    ModelContext *context = nullptr;
    std::vector<BYTE> settings = std::vector<BYTE>(DOC_SETTINGS_IMAGE_SIZE);
    std::vector<BYTE> printerData = std::vector<BYTE>(DOC_PRINTER_DATA_SIZE);
};

} // namespace

TEST_F(JobIdentity, TheUserNameAndItsStandIns)
{
    struct Row {
        const char16_t *logon; /* the logged-on user */
        bool hasDefault;       /* Winlogon has "DefaultUserName" */
        std::u16string defaultUser;
        DWORD capacity;
        int answer;
        std::u16string name;
    } rows[] = {
        {u"alice", false, u"", 257, 1, u"alice"},
        {u"SYSTEM", true, u"Operator", 257, 1, u"Operator"},
        {u"SYSTEM", false, u"", 257, 1, u"UnknownUser"},           /* no default user: the job still prints */
        {u"SYSTEM", true, u"  \u3000 ", 257, 1, u"UnknownUser"},  /* blank */
        {u"system", false, u"", 257, 1, u"system"},                /* "SYSTEM" compared with case */
        {u"SYSTEM", true, std::u16string(300, u'w'), 257, 1, std::u16string(256, u'w')}, /* cut to the buffer */
        {u"SYSTEM", true, std::u16string(512, u'w'), 257, 0, u""}, /* 1,026 bytes: over the limit */
        {u"SYSTEM", false, u"", 5, 0, u""},                        /* no room for the stand-in */
    };
    for (const Row &r : rows) {
        plat::sysinfo_set_user_name(r.logon);
        if (r.hasDefault)
            ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, kWinlogon, u"DefaultUserName", r.defaultUser));
        else
            ASSERT_TRUE(plat::registry_seed_key(HKEY_LOCAL_MACHINE, kWinlogon));
        std::vector<WCHAR> buffer(r.capacity + 1, u'#');
        DWORD size = r.capacity;
        EXPECT_EQ(DOC_GetUserName(buffer.data(), &size), r.answer) << plat::utf16_to_utf8(r.logon);
        if (r.answer == 1) {
            EXPECT_EQ(std::u16string(buffer.data()), r.name) << plat::utf16_to_utf8(r.logon);
            EXPECT_EQ(buffer[r.capacity], u'#') << "nothing past the buffer";
        }
        if (r.name == u"UnknownUser") {
            EXPECT_EQ(size, 11u);
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, u"DefaultUserName");
            RegCloseKey(key);
        }
    }
    DWORD size = 10;
    EXPECT_EQ(DOC_GetUserName(nullptr, &size), 0);
    WCHAR one[4];
    EXPECT_EQ(DOC_GetUserName(one, nullptr), 0);
}

TEST_F(JobIdentity, TextsCutToTheirAnsiBytes)
{
    WCHAR out[1025];
    const std::u16string ascii63(63, u'a'), ascii64(64, u'a');
    EXPECT_EQ(DOC_TruncateToAnsi(ascii63.c_str(), out, 63), 63);
    EXPECT_EQ(std::u16string(out), ascii63);
    EXPECT_EQ(DOC_TruncateToAnsi(ascii64.c_str(), out, 63), 0);
    EXPECT_EQ(out[0], 0) << "longer than the limit: nothing kept";
    EXPECT_EQ(DOC_TruncateToAnsi(u"abc", out, 1023), 3);
    EXPECT_EQ(DOC_TruncateToAnsi(u"abc", out, 1024), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(DOC_TruncateToAnsi(u"", out, 10), 0);

    /* Code page 932: each of these characters takes two bytes. */
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0411));
    const std::u16string wide31(31, u'\u65E5'), wide32(32, u'\u65E5');
    EXPECT_EQ(DOC_TruncateToAnsi((wide31 + u"a").c_str(), out, 63), 63);
    EXPECT_EQ(std::u16string(out), wide31 + u"a");
    EXPECT_EQ(DOC_TruncateToAnsi(wide32.c_str(), out, 63), 0) << "64 bytes";
    EXPECT_EQ(out[0], 0);
}

TEST_F(JobIdentity, TheAnnotationRecordBySettings)
{
    for (WORD id = 1296; id <= 1301; id++)
        set(id, 1);
    std::vector<BYTE> info = annotation();
    EXPECT_EQ(plat::load_u32(info.data(), ANN_FLAG), 1u);
    for (size_t i = 4; i < 16; i++)
        EXPECT_EQ(info[i], 0) << i;
    EXPECT_EQ(field(info.data(), ANN_USER, 64), u"tarvel");
    EXPECT_EQ(field(info.data(), ANN_USER_HOST, 32), u"tarvel\\TARVELPC");
    EXPECT_EQ(field(info.data(), ANN_DOCUMENT, 261), u"Report.txt");
    EXPECT_EQ(plat::load_u16(info.data(), ANN_SHEET), 0u);
    EXPECT_EQ(field(info.data(), ANN_DATE, 11), u"03/07/2026") << "en-US: month, day, year";
    EXPECT_EQ(field(info.data(), ANN_TIME, 6), u"09:05");

    struct Order {
        LCID locale;
        const char16_t *date;
    } orders[] = {{0x0809, u"07/03/2026"}, {0x0411, u"2026/03/07"}, {0x0407, u"07/03/2026"}};
    for (const Order &o : orders) {
        ASSERT_TRUE(plat::sysinfo_set_locale(o.locale));
        EXPECT_EQ(field(annotation().data(), ANN_DATE, 11), o.date) << std::hex << o.locale;
    }
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));

    /* Each item alone; the page number alone still sets the flag; nothing on clears every field. */
    for (WORD id = 1296; id <= 1301; id++)
        set(id, 0);
    info = annotation();
    EXPECT_EQ(plat::load_u32(info.data(), ANN_FLAG), 0u);
    for (size_t i = 0; i < info.size(); i++)
        ASSERT_EQ(info[i], 0) << i;
    set(1299, 1);
    EXPECT_EQ(plat::load_u32(annotation().data(), ANN_FLAG), 1u);
    set(1299, 0);
    set(1301, 1);
    info = annotation();
    EXPECT_EQ(plat::load_u32(info.data(), ANN_FLAG), 1u);
    EXPECT_EQ(field(info.data(), ANN_DATE, 11), u"");
    EXPECT_EQ(field(info.data(), ANN_USER, 64), u"");
}

TEST_F(JobIdentity, AUserNameOverItsAnsiBytesLeavesTheFieldsEmpty)
{
    set(1296, 1);
    set(1297, 1);
    set(1298, 1);
    plat::sysinfo_set_user_name(std::u16string(64, u'u'));
    std::vector<BYTE> info = annotation();
    EXPECT_EQ(field(info.data(), ANN_USER, 64), u"") << "64 bytes do not fit 63";
    EXPECT_EQ(field(info.data(), ANN_USER_HOST, 32), u"");
    EXPECT_EQ(plat::load_u32(info.data(), ANN_FLAG), 1u);
    plat::sysinfo_set_user_name(std::u16string(63, u'u'));
    info = annotation();
    EXPECT_EQ(field(info.data(), ANN_USER, 64), std::u16string(63, u'u'));
    plat::sysinfo_set_user_name(u"bob");
    plat::sysinfo_set_computer_name(u"HOST12345678901");
    info = annotation(std::u16string(10000, u'd').c_str());
    EXPECT_EQ(field(info.data(), ANN_USER_HOST, 32), u"bob\\HOST12345678901");
    EXPECT_EQ(field(info.data(), ANN_DOCUMENT, 261), std::u16string(260, u'd')) << "a long name cut to 260";
    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, ERROR_ACCESS_DENIED);
    info = annotation();
    EXPECT_EQ(field(info.data(), ANN_USER_HOST, 32), u"bob\\UnkownHost");
}

TEST_F(JobIdentity, TheJobIdentityBlock)
{
    std::vector<BYTE> block(DOC_JOB_IDENTITY_SIZE, 0xCC);
    const DOCINFOW doc{sizeof(DOCINFOW), u"Quarterly", nullptr, nullptr, 0};
    ASSERT_EQ(DOC_FillJobIdentity(printer->handle, &doc, block.data()), 1);
    EXPECT_EQ(field(block.data(), 0, 261), u"TARVELPC");
    EXPECT_EQ(field(block.data(), 522, 277), u"Quarterly");
    EXPECT_EQ(field(block.data(), 1076, 257), u"tarvel");
    EXPECT_EQ(field(block.data(), 1590, 261), kColourPrinter);
    EXPECT_EQ(block[2111], 0);

    const std::u16string longName(10000, u'n');
    const DOCINFOW big{sizeof(DOCINFOW), longName.c_str(), nullptr, nullptr, 0};
    ASSERT_EQ(DOC_FillJobIdentity(printer->handle, &big, block.data()), 1);
    EXPECT_EQ(field(block.data(), 522, 277), std::u16string(260, u'n'));
    const DOCINFOW none{sizeof(DOCINFOW), nullptr, nullptr, nullptr, 0};
    ASSERT_EQ(DOC_FillJobIdentity(printer->handle, &none, block.data()), 1);
    EXPECT_EQ(field(block.data(), 522, 277), u"");

    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, ERROR_ACCESS_DENIED);
    EXPECT_EQ(DOC_FillJobIdentity(printer->handle, &doc, block.data()), 0);
    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, 0);
    EXPECT_EQ(DOC_FillJobIdentity(reinterpret_cast<HANDLE>(uintptr_t(0x99)), &doc, block.data()), 0)
        << "no printer information";
}
