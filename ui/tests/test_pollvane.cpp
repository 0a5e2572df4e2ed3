// The Pollvane status program's registration: the id and its key, the
// registration's values as a table (counter 0, 1 and 5; with and without a
// help file), the writes stopping at the first failure, the counter's
// release, the program's start through the shell with quoted printer names,
// the warning when it cannot start, and the enabled test on settings and on
// a sheet's page window.
#include "ui_test_support.h"
#include "pgf_sheet.h"
#include "uix_pollvane.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/prn_store.h>

#include <plat/commdlg.h>
#include <plat/dialog.h>
#include <plat/fault.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/registry.h>

#include <cstring>

namespace {

using namespace ui_test;

constexpr char kIdHex[] = "000102030405060708090A0B0C0D0E0F";

class Pollvane : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter, PRINTER_ALL_ACCESS);
        context = MDL_Open(printer->handle);
        ASSERT_NE(context, nullptr);
        BYTE id[PRN_ID_SIZE];
        for (DWORD i = 0; i < PRN_ID_SIZE; i++)
            id[i] = BYTE(i);
        ASSERT_TRUE(REG_WritePrnId(printer->handle, id));
        LPWSTR base = nullptr;
        ASSERT_EQ(DDD_GetRegistryKeyText(context->main, 1, &base), 0);
        keyBase = base;
        DDD_FreeRecord(&base, 0);
    }
    void TearDown() override
    {
        MDL_Close(context);
        printer.reset();
        UiTest::TearDown();
    }
    /* Deletes the registration key (its values first: RegDeleteKeyW takes empty keys). */
    void dropKey() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath().c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            for (const char16_t *name : {u"DeviceAddress", u"SNMPCNString", u"DataFileName", u"DriftonFileName",
                                         u"HelpFileID", u"PollingInterval", u"ReferenceCounter", u"SNMPVersion"})
                RegDeleteValueW(key, name);
            RegCloseKey(key);
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, keyPath().c_str());
    }
    std::u16string keyPath() const { return keyBase + plat::utf8_to_utf16(kIdHex) + u"\\Registration"; }
    /* The registration key's values as "name=value" lines, in the order written. */
    std::string values() const
    {
        std::string out;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "no key";
        for (const char16_t *name : {u"DeviceAddress", u"SNMPCNString", u"DataFileName", u"DriftonFileName",
                                     u"HelpFileID", u"PollingInterval", u"ReferenceCounter", u"SNMPVersion"}) {
            BYTE data[600] = {};
            DWORD type = 0, size = sizeof data - 2;
            if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
                continue;
            out += plat::utf16_to_utf8(name) + "=";
            out += type == REG_DWORD ? std::to_string(plat::load_u32(data, 0))
                                     : plat::utf16_to_utf8(reinterpret_cast<const char16_t *>(data));
            out += "\n";
        }
        RegCloseKey(key);
        return out;
    }
    std::unique_ptr<Printer> printer;
    ModelContext *context = nullptr;
    std::u16string keyBase;
};

TEST_F(Pollvane, TheIdIsTheKeyBaseAndThePrinterIdInHexadecimal)
{
    WCHAR hex[33] = {};
    ASSERT_TRUE(UIX_FormatPrnIdHex(printer->handle, hex));
    EXPECT_EQ(plat::utf16_to_utf8(hex), kIdHex);

    WCHAR id[UIX_POLLVANE_ID_CHARS];
    EXPECT_FALSE(UIX_ReadPollvaneId(printer->handle, id)) << "not written yet";
    ASSERT_TRUE(UIX_WritePollvaneId(printer->handle, context, id));
    EXPECT_EQ(std::u16string(id), keyBase + u"000102030405060708090A0B0C0D0E0F");
    WCHAR read[UIX_POLLVANE_ID_CHARS];
    ASSERT_TRUE(UIX_ReadPollvaneId(printer->handle, read));
    EXPECT_EQ(std::u16string(read), std::u16string(id));
    WCHAR key[UIX_POLLVANE_ID_CHARS];
    ASSERT_TRUE(UIX_BuildPollvaneKey(id, key));
    EXPECT_EQ(std::u16string(key), keyPath());
    /* An id too long for the key path is refused. */
    std::u16string tooLong(UIX_POLLVANE_ID_CHARS, u'x');
    EXPECT_FALSE(UIX_BuildPollvaneKey(tooLong.c_str(), key));
    EXPECT_FALSE(UIX_WritePollvaneId(printer->handle, nullptr, id));
}

TEST_F(Pollvane, RegistrationValuesAsATable)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    const char16_t *address = u"10.0.0.7", *community = u"public";
    ASSERT_EQ(DMB_SetValue(8213, image.data(), printerData.data(), SVT_WSTRING,
                           LONG(2 * std::char_traits<char16_t>::length(address) + 2), &address),
              0);
    ASSERT_EQ(DMB_SetValue(8212, image.data(), printerData.data(), SVT_WSTRING,
                           LONG(2 * std::char_traits<char16_t>::length(community) + 2), &community),
              0);
    const BYTE version = 2;
    ASSERT_EQ(DMB_SetValue(8214, image.data(), printerData.data(), SVT_BYTE, 1, &version), 0);
    LPWSTR dataFile = nullptr, drifton = nullptr;
    DDD_GetModelText(context->main, 20, &dataFile);
    DDD_GetModelText(context->main, 8, &drifton);
    const std::string fixed = "DeviceAddress=10.0.0.7\nSNMPCNString=public\nDataFileName=" +
                              plat::utf16_to_utf8(dataFile ? dataFile : u"") +
                              "\nDriftonFileName=" + plat::utf16_to_utf8(drifton ? drifton : u"") + "\n";
    DDD_FreeRecord(&dataFile, 0);
    DDD_FreeRecord(&drifton, 0);

    struct Case {
        DWORD storedCounter; /* 0: none stored */
        DWORD counterWritten;
        DWORD releasedTo;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {5, 5, 4}, {0x10005, 5, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.storedCounter);
        dropKey();
        if (c.storedCounter) {
            ASSERT_TRUE(UIX_WritePollvaneValue(printer->handle, context, &c.storedCounter, 4, REG_DWORD,
                                               u"ReferenceCounter"));
        }
        PollvaneRegistration r{};
        ASSERT_TRUE(UIX_BuildMonitorRegistration(printer->handle, context, image.data(), printerData.data(), &r));
        EXPECT_EQ(r.referenceCounter, c.counterWritten) << "only its low 16 bits";
        EXPECT_EQ(r.helpFileId, nullptr) << "the driver has no help file";
        ASSERT_TRUE(UIX_WritePollvaneRegistration(printer->handle, context, &r));
        UIX_FreeMonitorRegistration(&r);
        EXPECT_EQ(values(), fixed + "PollingInterval=30\nReferenceCounter=" + std::to_string(c.counterWritten) +
                                "\nSNMPVersion=2\n");
        ASSERT_TRUE(UIX_ReleasePollvaneRegistration(printer->handle, context));
        DWORD now = 99;
        BYTE *data = nullptr;
        DWORD size = 0;
        ASSERT_EQ(UIX_GetPollvaneValue(printer->handle, &data, &size, u"ReferenceCounter"), UIX_VALUE_READ);
        std::memcpy(&now, data, 4);
        GlobalFree(data);
        EXPECT_EQ(now, c.releasedTo);
    }
    EXPECT_EQ(UIX_GetPollvaneValue(printer->handle, nullptr, nullptr, u"BidiLink"), 0);
    BYTE *data = nullptr;
    DWORD size = 0;
    EXPECT_EQ(UIX_GetPollvaneValue(printer->handle, &data, &size, u"BidiLink"), UIX_VALUE_MISSING);
}

TEST_F(Pollvane, AHelpFileGivesItsNameAndContext)
{
    plat::SpoolDriver d;
    d.name = u"Tarvel Help";
    d.driver_file = u"tarvelgr.dll";
    d.data_file = u"TARVEL1.DDD";
    d.config_file = u"tarvelui.dll";
    d.help_file = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\TARVEL.CHM";
    plat::spool_add_driver(d);
    plat::SpoolPrinter p;
    p.name = u"Helpful";
    p.driver = d.name;
    ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    Printer helpful(u"Helpful");
    LPWSTR id = UIX_BuildHelpFileId(helpful.handle);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(std::u16string(id), u"TARVEL.CHM,1300");
    GlobalFree(id);
    EXPECT_EQ(UIX_BuildHelpFileId(printer->handle), nullptr);
}

TEST_F(Pollvane, TheWritesStopAtTheFirstFailure)
{
    /* A text over the registry's 1 MiB value limit is refused: each text in turn. */
    const std::u16string huge((1u << 19) + 1, u'x');
    const std::vector<std::string> lines = {"DeviceAddress=a\n", "SNMPCNString=b\n", "DataFileName=c\n",
                                            "DriftonFileName=d\n", "HelpFileID=e,1300\n"};
    for (size_t failing = 0; failing <= lines.size(); failing++) {
        SCOPED_TRACE(failing);
        dropKey();
        std::u16string texts[5] = {u"a", u"b", u"c", u"d", u"e,1300"};
        if (failing < lines.size())
            texts[failing] = huge;
        PollvaneRegistration r{};
        r.deviceAddress = texts[0].data();
        r.communityName = texts[1].data();
        r.dataFileName = texts[2].data();
        r.driftonFileName = texts[3].data();
        r.helpFileId = texts[4].data();
        std::string before;
        for (size_t i = 0; i < failing && i < lines.size(); i++)
            before += lines[i];
        if (failing == lines.size())
            before += "PollingInterval=0\nReferenceCounter=0\nSNMPVersion=0\n";
        EXPECT_EQ(UIX_WritePollvaneRegistration(printer->handle, context, &r), failing == lines.size() ? 1 : 0);
        EXPECT_EQ(values(), before);
    }
    EXPECT_EQ(UIX_WritePollvaneRegistration(printer->handle, context, nullptr), 0);
}

TEST_F(Pollvane, TheProgramStartsWithTheQuotedPrinterName)
{
    install(u"Office 1", "TARVEL1.DDD");
    Printer office(u"Office 1");
    EXPECT_EQ(UIX_StartPollvane(office.handle, nullptr, FALSE), 1);
    EXPECT_EQ(UIX_StartPollvane(office.handle, nullptr, TRUE), 1);
    std::vector<plat::ShellCall> calls = plat::shell_log();
    ASSERT_EQ(calls.size(), 2u);
    WCHAR directory[MAX_PATH] = {};
    ASSERT_TRUE(RES_GetDriverDirectory(directory, sizeof directory));
    EXPECT_EQ(calls[0].file, std::u16string(directory) + u"\\Pollvane");
    EXPECT_EQ(calls[0].parameters, u"\"Office 1\"");
    EXPECT_EQ(calls[1].parameters, u"\"Office 1\" -u");
    EXPECT_EQ(calls[0].verb, u"");
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);

    /* A program that does not start: the warning names it, 0. */
    plat::shell_set_result(2);
    EXPECT_EQ(UIX_StartPollvane(office.handle, nullptr, FALSE), 0);
    std::vector<plat::MsgBoxRecord> boxes = plat::msgbox_log();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"The status program Pollvane.exe cannot be started.");
    EXPECT_EQ(boxes[0].caption, u"Printer Settings");
    EXPECT_EQ(boxes[0].style & MB_ICONWARNING, UINT(MB_ICONWARNING));
}

TEST_F(Pollvane, EnabledBySetting5199)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    for (DWORD on : {0u, 1u}) {
        ASSERT_EQ(DMB_SetValue(5199, image.data(), printerData.data(), SVT_FLAG, 4, &on), 0);
        EXPECT_EQ(UIX_PollvaneEnabledFor(context, image.data(), printerData.data()), on == 1)
            << "the standard model lacks capability bit 50";
    }
    EXPECT_FALSE(UIX_PollvaneEnabledFor(nullptr, image.data(), printerData.data()));
}

TEST_F(Pollvane, PageWindowReadsTheWorkingSettingsAndTheSheetsMasks)
{
    /* A sheet over the standard model, its masks copied as the sheet copies them. */
    SheetState state{};
    state.context = context;
    ModelCapabilityBits bits{};
    ASSERT_TRUE(MDL_GetCapabilityBits(context->main, &bits));
    ASSERT_FALSE(MDL_TestCapabilityBit(&bits, MDL_CAP_BIT(50)));
    PGF_LoadModelCaps(&state, bits.words);
    SettingsSet opened{};
    ASSERT_TRUE(PGF_InitSettingsSet(&opened));
    SheetContext *sheet = PGF_CreateSheetContext(nullptr, &state, &opened, nullptr);
    PGF_FreeSettingsSet(&opened);
    ASSERT_NE(sheet, nullptr);
    plat::DialogTemplate t;
    t.style = WS_POPUP;
    HWND page = plat::dialog_create(t, nullptr, nullptr, nullptr, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(UIX_IsPollvaneEnabled(page)) << "no sheet context yet";
    SetWindowLongPtrW(page, DWLP_USER, LONG_PTR(sheet));

    const DWORD on = 1, off = 0;
    EXPECT_FALSE(UIX_IsPollvaneEnabled(page)) << "setting 5199 off";
    ASSERT_EQ(DMB_SetValue(5199, sheet->working.settings, sheet->working.printerData, SVT_FLAG, 4, &on), 0);
    EXPECT_TRUE(UIX_IsPollvaneEnabled(page));

    /* The working settings count, not those the sheet opened with. */
    ASSERT_EQ(DMB_SetValue(5199, sheet->working.settings, sheet->working.printerData, SVT_FLAG, 4, &off), 0);
    ASSERT_EQ(DMB_SetValue(5199, sheet->initial.settings, sheet->initial.printerData, SVT_FLAG, 4, &on), 0);
    EXPECT_FALSE(UIX_IsPollvaneEnabled(page));

    /* A model with capability bit 50 keeps the program away. */
    ASSERT_EQ(DMB_SetValue(5199, sheet->working.settings, sheet->working.printerData, SVT_FLAG, 4, &on), 0);
    state.modelCaps[50 / 32] |= 1u << (50 % 32);
    EXPECT_FALSE(UIX_IsPollvaneEnabled(page));
    state.modelCaps[50 / 32] &= ~(1u << (50 % 32));
    EXPECT_TRUE(UIX_IsPollvaneEnabled(page));

    /* A sheet whose working settings are gone, and no window at all. */
    PGF_FreeSettingsSet(&sheet->working);
    EXPECT_FALSE(UIX_IsPollvaneEnabled(page));
    EXPECT_FALSE(UIX_IsPollvaneEnabled(nullptr));

    DestroyWindow(page);
    PGF_FreeSheetContext(&sheet);
}

} // namespace
