// The calls without a window: device capabilities against the settings
// engine's own answers after the caller's devmode is merged, the colour
// profile, devmode conversion, query-print, the document properties without
// a sheet and the directory-service printer data, as tables of their cases.
#include "ui_exports.h"
#include "ui_test_support.h"
#include "uix_no_window.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dcap_caps.h>
#include <tarvel/settings/dms_settings.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/gdi.h>
#include <plat/memory.h>
#include <plat/winddiui.h>

#include <cstddef>
#include <cstring>

namespace {

using namespace ui_test;

/* The printer's devmode as an application gets it (1,604 bytes). */
std::vector<BYTE> printerDevmode(const char16_t *printer)
{
    std::vector<BYTE> dm(SETTINGS_DEVMODE_SIZE, 0);
    LONG size = LONG(dm.size());
    DEVMODEW *in = nullptr;
    EXPECT_TRUE(DrvConvertDevMode(const_cast<LPWSTR>(printer), in, reinterpret_cast<DEVMODEW *>(dm.data()),
                                  &size, CDM_DRIVER_DEFAULT));
    return dm;
}

DEVMODEW *asDevmode(std::vector<BYTE> &b) { return reinterpret_cast<DEVMODEW *>(b.data()); }

class NoWindow : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        install(kFaxPrinter, "TARVEL2.DDD");
    }
};

/*
 * What the settings engine answers for `index` when the caller's devmode is
 * merged into the printer's settings as a capability query merges it.
 */
LONG engineAnswer(HANDLE printer, WORD index, void *output, DEVMODEW *callerDevmode)
{
    ModelContext *context = MDL_Open(printer);
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    LONG size = SETTINGS_DEVMODE_SIZE;
    int filled = 0;
    GlobalFree(DMS_GetPrinterDevmode(printer, context, image.data(), &size, &filled));
    EXPECT_TRUE(filled);
    EXPECT_TRUE(UPG_LoadPrinterData(printer, printerData.data(), context));
    if (callerDevmode) {
        EXPECT_TRUE(FID_MergeDevmode(context, image.data(), callerDevmode, printerData.data(), printer, 16));
        auto *dm = reinterpret_cast<DEVMODEW *>(image.data());
        dm->dmPaperSize = callerDevmode->dmPaperSize;
        dm->dmPaperLength = callerDevmode->dmPaperLength;
        dm->dmPaperWidth = callerDevmode->dmPaperWidth;
    }
    const LONG r = DCAP_Dispatch(printer, index, output, DCAP_SRC_ALL, image.data(), printerData.data(), context);
    MDL_Close(context);
    return r;
}

TEST_F(NoWindow, DeviceCapabilitiesEqualTheEnginesAnswersForEveryIndex)
{
    for (const char16_t *name : {kColourPrinter, kFaxPrinter}) {
        Printer p(name);
        ASSERT_NE(p.handle, nullptr);
        std::vector<BYTE> landscape = printerDevmode(name);
        asDevmode(landscape)->dmOrientation = DMORIENT_LANDSCAPE;
        asDevmode(landscape)->dmFields |= DM_ORIENTATION;
        std::vector<BYTE> a5 = printerDevmode(name);
        asDevmode(a5)->dmPaperSize = DMPAPER_A5;
        asDevmode(a5)->dmFields |= DM_PAPERSIZE;
        for (DEVMODEW *caller : {static_cast<DEVMODEW *>(nullptr), asDevmode(landscape), asDevmode(a5)}) {
            for (WORD index = 0; index <= 40; index++) {
                SCOPED_TRACE(testing::Message() << plat::utf16_to_utf8(name) << " index " << index
                                                << (caller ? " with a devmode" : " without"));
                const LONG count = LONG(DrvDeviceCapabilities(p.handle, nullptr, index, nullptr, caller));
                EXPECT_EQ(count, engineAnswer(p.handle, index, nullptr, caller));
                std::vector<BYTE> got(64 * 1024, 0xA5), want(64 * 1024, 0xA5);
                EXPECT_EQ(LONG(DrvDeviceCapabilities(p.handle, nullptr, index, got.data(), caller)),
                          engineAnswer(p.handle, index, want.data(), caller));
                EXPECT_EQ(got, want);
            }
        }
    }
}

TEST_F(NoWindow, ACustomPaperOfTheCallerIsTakenEvenWhenTheMergeRefusesIt)
{
    Printer p(kColourPrinter);
    std::vector<BYTE> custom = printerDevmode(kColourPrinter);
    DEVMODEW *dm = asDevmode(custom);
    dm->dmPaperSize = 256;
    dm->dmPaperWidth = 12345; /* far outside the model's custom range */
    dm->dmPaperLength = 23456;
    dm->dmFields |= DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH;
    /* The engine sees the caller's custom size, whatever the merge made of it. */
    for (WORD index : {DC_PAPERSIZE, DC_MAXEXTENT, DC_MINEXTENT, DC_FIELDS, DC_PAPERS}) {
        std::vector<BYTE> got(64 * 1024, 0), want(64 * 1024, 0);
        EXPECT_EQ(LONG(DrvDeviceCapabilities(p.handle, nullptr, index, got.data(), dm)),
                  engineAnswer(p.handle, index, want.data(), dm))
            << index;
        EXPECT_EQ(got, want) << index;
    }
}

TEST_F(NoWindow, ColourProfileNameAndItsBufferSizes)
{
    Printer p(kColourPrinter);
    std::vector<BYTE> dm = printerDevmode(kColourPrinter);
    const std::u16string name = u"Tarvel colour laser"; /* text 13 of the standard model's header */
    const ULONG needed = ULONG(2 * name.size() + 2);
    std::vector<BYTE> buffer(256, 0xEE);
    FLONG flags = 0;
    ULONG size = needed - 1;
    SetLastError(0);
    EXPECT_FALSE(DrvQueryColorProfile(p.handle, asDevmode(dm), QCP_DEVICEPROFILE, buffer.data(), &size, &flags));
    EXPECT_EQ(size, needed);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[0], 0xEE);

    EXPECT_TRUE(DrvQueryColorProfile(p.handle, asDevmode(dm), QCP_DEVICEPROFILE, buffer.data(), &size, &flags));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(buffer.data())), name);
    EXPECT_EQ(flags, FLONG(QCP_PROFILEDISK));

    /* Another query mode or a missing argument: FALSE without an error. */
    SetLastError(0);
    EXPECT_FALSE(DrvQueryColorProfile(p.handle, asDevmode(dm), QCP_SOURCEPROFILE, buffer.data(), &size, &flags));
    EXPECT_FALSE(DrvQueryColorProfile(p.handle, nullptr, QCP_DEVICEPROFILE, buffer.data(), &size, &flags));
    EXPECT_FALSE(DrvQueryColorProfile(p.handle, asDevmode(dm), QCP_DEVICEPROFILE, buffer.data(), &size, nullptr));
    EXPECT_FALSE(DrvQueryColorProfile(nullptr, asDevmode(dm), QCP_DEVICEPROFILE, buffer.data(), &size, &flags));
    EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(NoWindow, ConvertDevmodeSizesAndModes)
{
    Printer p(kColourPrinter);
    std::vector<BYTE> input = printerDevmode(kColourPrinter);
    std::vector<BYTE> output(SETTINGS_DEVMODE_SIZE, 0);
    LPWSTR printer = const_cast<LPWSTR>(kColourPrinter);
    struct Case {
        const char *what;
        LPWSTR name;
        bool withSize;
        LONG size;
        DWORD mode;
        BOOL result;
        DWORD error;
        LONG sizeAfter;
    } cases[] = {
        /* the last error of a success is not looked at */
        {"no printer name", nullptr, true, 1604, CDM_CONVERT, FALSE, ERROR_INVALID_PARAMETER, 1604},
        {"no size", printer, false, 0, CDM_CONVERT, FALSE, ERROR_INVALID_PARAMETER, 0},
        {"220 bytes", printer, true, 220, CDM_CONVERT, FALSE, ERROR_INSUFFICIENT_BUFFER, 1604},
        {"0 bytes, any mode", printer, true, 0, 77, FALSE, ERROR_INSUFFICIENT_BUFFER, 1604},
        {"1,603 bytes", printer, true, 1603, CDM_DRIVER_DEFAULT, FALSE, ERROR_INSUFFICIENT_BUFFER, 1604},
        {"an unknown printer", const_cast<LPWSTR>(u"Nobody"), true, 1604, CDM_CONVERT, FALSE,
         ERROR_INVALID_PARAMETER, 1604},
        {"convert", printer, true, 1604, CDM_CONVERT, TRUE, 0, 1604},
        {"driver defaults", printer, true, 1604, CDM_DRIVER_DEFAULT, TRUE, 0, 1604},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LONG size = c.size;
        SetLastError(0);
        EXPECT_EQ(DrvConvertDevMode(c.name, asDevmode(input), asDevmode(output), c.withSize ? &size : nullptr,
                                    c.mode),
                  c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (c.withSize) {
            EXPECT_EQ(size, c.sizeAfter);
        }
        if (c.result) {
            EXPECT_EQ(asDevmode(output)->dmSize, 220);
            EXPECT_EQ(asDevmode(output)->dmDriverExtra, 1384);
        }
    }
}

TEST_F(NoWindow, QueryPrintAndItsErrorText)
{
    Printer p(kColourPrinter);
    std::vector<BYTE> good = printerDevmode(kColourPrinter);
    std::vector<BYTE> bad = good;
    asDevmode(bad)->dmSpecVersion = 0x0123;
    asDevmode(bad)->dmSize = 7;

    EXPECT_FALSE(DevQueryPrintEx(nullptr));
    DEVQUERYPRINT_INFO info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(DevQueryPrintEx(&info)); /* no devmode: printable */
    info.pDevMode = asDevmode(good);
    EXPECT_TRUE(DevQueryPrintEx(&info));

    WCHAR text[40];
    struct Case {
        DWORD capacity;
        std::u16string written;
    } cases[] = {{10, u"Invalid D"}, {27, u"Invalid DEVMODE structure."}, {40, u"Invalid DEVMODE structure."},
                 {1, u""}};
    for (const Case &c : cases) {
        std::fill(std::begin(text), std::end(text), u'#');
        info.pDevMode = asDevmode(bad);
        info.pszErrorStr = text;
        info.cchErrorStr = c.capacity;
        info.cchNeeded = 0;
        SetLastError(0);
        EXPECT_FALSE(DevQueryPrintEx(&info));
        EXPECT_EQ(info.cchNeeded, 27u);
        EXPECT_EQ(std::u16string(text), c.written) << c.capacity;
        if (c.capacity < 27) {
            EXPECT_EQ(text[c.capacity], u'#') << "nothing past the buffer";
        }
        EXPECT_EQ(GetLastError(), 0u);
    }
    /* Capacity 0 or no buffer: nothing is written, the need is still told. */
    std::fill(std::begin(text), std::end(text), u'#');
    info.cchErrorStr = 0;
    EXPECT_FALSE(DevQueryPrintEx(&info));
    EXPECT_EQ(text[0], u'#');
    EXPECT_EQ(info.cchNeeded, 27u);
    info.pszErrorStr = nullptr;
    info.cchErrorStr = 10;
    info.cchNeeded = 0;
    EXPECT_FALSE(DevQueryPrintEx(&info));
    EXPECT_EQ(info.cchNeeded, 27u);
}

TEST_F(NoWindow, DocumentPropertiesWithoutASheet)
{
    Printer p(kColourPrinter);
    std::vector<BYTE> printerOwn = printerDevmode(kColourPrinter);
    std::vector<BYTE> landscape = printerOwn;
    asDevmode(landscape)->dmOrientation = DMORIENT_LANDSCAPE;
    asDevmode(landscape)->dmFields |= DM_ORIENTATION;
    std::vector<BYTE> publicOnly = landscape;
    asDevmode(publicOnly)->dmDriverExtra = 0;
    std::vector<BYTE> badSize = landscape;
    asDevmode(badSize)->dmSize = 7;

    struct Case {
        const char *what;
        DWORD mode;
        std::vector<BYTE> *input;
        bool output;
        LONG result;
        size_t copied; /* bytes written into the output (0: untouched) */
        short orientation;
    } cases[] = {
        {"size query", 0, nullptr, true, 1604, 0, 0},
        {"no output", DM_COPY, nullptr, false, 1604, 0, 0},
        {"neither update nor copy", DM_PROMPT, &landscape, true, 1, 0, 0},
        {"copy without input", DM_COPY, nullptr, true, 1, 1604, DMORIENT_PORTRAIT},
        {"update with input", DM_UPDATE, &landscape, true, 1, 1604, DMORIENT_LANDSCAPE},
        {"copy with the user's defaults", DM_COPY | DM_USER_DEFAULT, &landscape, true, 1, 1604, DMORIENT_PORTRAIT},
        {"public input", DM_COPY, &publicOnly, true, 1, 220, DMORIENT_LANDSCAPE},
        {"input of a bad size is ignored", DM_COPY, &badSize, true, 1, 1604, DMORIENT_PORTRAIT},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> out(SETTINGS_DEVMODE_SIZE + 16, 0x5A);
        DOCUMENTPROPERTYHEADER h{};
        h.cbSize = sizeof h;
        h.hPrinter = p.handle;
        h.pdmIn = c.input ? asDevmode(*c.input) : nullptr;
        h.pdmOut = c.output ? asDevmode(out) : nullptr;
        h.fMode = c.mode;
        EXPECT_EQ(SHT_DocumentPropertiesNoUI(&h), c.result);
        EXPECT_EQ(h.cbOut, 1604u);
        if (c.copied == 0) {
            EXPECT_EQ(out[0], 0x5A);
            continue;
        }
        EXPECT_EQ(asDevmode(out)->dmSize, 220);
        EXPECT_EQ(asDevmode(out)->dmOrientation, c.orientation);
        EXPECT_EQ(asDevmode(out)->dmDriverExtra, c.copied == 220 ? 0 : 1384);
        EXPECT_EQ(out[c.copied], 0x5A) << "nothing past the copy";
    }
    EXPECT_EQ(SHT_DocumentPropertiesNoUI(nullptr), -1);
}

TEST_F(NoWindow, DirectoryServiceDataFromThePrinterData)
{
    Printer p(kColourPrinter, PRINTER_ALL_ACCESS);
    std::vector<BYTE> printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    ModelContext *context = MDL_Open(p.handle);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(UPG_LoadPrinterData(p.handle, printerData.data(), context));
    MDL_Close(context);
    auto set = [&](WORD id, int value) { setSetting(nullptr, printerData.data(), id, value); };
    auto read = [&](LPCWSTR name) {
        BYTE b = 0xFF;
        DWORD type = 0, needed = 0;
        EXPECT_EQ(GetPrinterDataExW(p.handle, u"DsDriver", name, &type, &b, 1, &needed), DWORD(ERROR_SUCCESS));
        EXPECT_EQ(type, DWORD(REG_BINARY));
        EXPECT_EQ(needed, 1u);
        return int(b);
    };
    struct Case {
        int duplex, model, unit, finisher, kind;
        int duplexOut, staplingOut;
    } cases[] = {
        {1, 1, 0, 0, 0, 1, 0}, {0, 1, 1, 0, 0, 0, 1}, {1, 1, 0, 1, 0, 1, 1},
        {0, 1, 0, 0, 2, 0, 1}, {1, 0, 1, 1, 2, 1, 0}, {0, 2, 1, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.duplex << c.model << c.unit << c.finisher << c.kind);
        set(4103, c.duplex);
        set(5134, c.model);
        set(4101, c.unit);
        set(4116, c.finisher);
        set(4359, c.kind);
        EXPECT_EQ(SHT_WriteDsDriverData(p.handle, printerData.data()), 1);
        EXPECT_EQ(read(u"printDuplexSupported"), c.duplexOut);
        EXPECT_EQ(read(u"printStaplingSupported"), c.staplingOut);
    }
    /* Setting 4359 cannot be read (no printer data): the first value only, and 0. */
    EXPECT_EQ(SHT_WriteDsDriverData(p.handle, nullptr), 0);
    EXPECT_EQ(read(u"printDuplexSupported"), 0);
    EXPECT_EQ(read(u"printStaplingSupported"), cases[std::size(cases) - 1].staplingOut);
    /* A handle without the right to write: nothing is stored, 0. */
    Printer user(kColourPrinter);
    EXPECT_EQ(SHT_WriteDsDriverData(user.handle, printerData.data()), 0);
}

} // namespace
