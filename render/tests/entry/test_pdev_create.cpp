// Creating and destroying device contexts: only the 5,920-byte job devmode
// is taken (each bad size field refused in an exact 5,920-byte block), every
// failure leaves nothing behind and the data manager's use count where it
// was, and a created context holds what the engine and later work need.
#include "test_pdev_support.h"

#include "job_settings.h"

#include <standard_models.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/stores/pdt_chunk.h>

using namespace pdev_test;

namespace {

class PdevCreate : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        installStandard();
    }
};

} // namespace

TEST_F(PdevCreate, AJobDevmodeMakesAValidContext)
{
    Printer printer(kColourPrinter);
    JobDevmode dm;
    dm.set(ID_COPIES, 3);
    dm.tailPaper(9, 1, 2, 3, 4);
    dm.put32(PDEV_TAIL_EXTRA0, 0);
    dm.put32(PDEV_TAIL_EXTRA1, 1);
    Enabled e = enable(printer.handle, dm);
    ASSERT_NE(e.dhpdev, nullptr) << e.error;
    PdevContext *pdev = e.pdev();
    EXPECT_TRUE(PDEV_IsValid(pdev));
    EXPECT_EQ(pdev->headMagic, 0x4B524C44u) << "\"KRLD\"";
    EXPECT_EQ(pdev->printer, printer.handle);
    EXPECT_EQ(pdev->engineDevice, hdev);
    EXPECT_EQ(pdev->copyCount, 3);
    EXPECT_EQ(pdev->logicalResolution, 600);
    EXPECT_EQ(pdev->copySetMode, 0);
    EXPECT_EQ(pdev->jobFormPaper.paperSize, 9);
    EXPECT_EQ(pdev->jobFormPaper.info.bottom, 4);
    EXPECT_EQ(pdev->jobFormExtras[1], 1u);
    WORD extra = 0;
    EXPECT_EQ(PDEV_GetSetting16(pdev, ID_DRIVER_EXTRA, &extra), 0);
    EXPECT_EQ(extra, 1384) << "the context's settings are a settings image";
    EXPECT_EQ(pdev->deviceFontCount, 4u) << "the standard model's resident faces";
    EXPECT_EQ(pdev->fontEntryCount, 5u);
    for (HSURF h : e.patterns)
        EXPECT_EQ(h, nullptr);
    EXPECT_EQ(std::u16string(OUT_GetTempFileBase()), u"Tarvel\\CX1500") << "model header entry 30";

    /* the application-escape extension starts off, with nothing overridden */
    EXPECT_EQ(pdev->ext.mode, 0u);
    for (WORD o : pdev->ext.overrides)
        EXPECT_EQ(o, 0xFFFF);
    EXPECT_EQ(pdev->ext.colourMode, 0xFFFF);
    EXPECT_EQ(pdev->ext.protocolClass, JOB_PROTOCOL_2_0);
    EXPECT_EQ(pdev->ext.colourDevice, 1u) << "model header entry 5 is 2";

    DrvCompletePDEV(e.dhpdev, hdev);
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PdevCreate, CopySetModeFollowsTheDeviceClass)
{
    /* TARVEL2 stores class 3 (reported 4); a copy of it storing 1 is a class-2 model. */
    mw::Model classTwo = tarvel_models::colourPrinter(0x1600, true);
    classTwo.fileName = "CLASS2.DDD";
    classTwo.companionName = "CLASS2.DDC";
    classTwo.main.entries[23] = mw::eU8(1);
    classTwo.companion.entries[23] = mw::eU8(1);
    installWritten(u"Class Two", classTwo);
    struct Case {
        const char16_t *printer;
        LONG mode;
    } cases[] = {{kFaxPrinter, 0}, {kColourPrinter, 0}, {u"Class Two", 1}};
    for (const Case &c : cases) {
        Printer printer(c.printer);
        JobDevmode dm;
        Enabled e = enable(printer.handle, dm);
        ASSERT_NE(e.dhpdev, nullptr) << e.error;
        EXPECT_EQ(e.pdev()->copySetMode, c.mode);
        DrvDisablePDEV(e.dhpdev);
    }
}

TEST_F(PdevCreate, EachBadSizeFieldIsRefusedWithNothingLeft)
{
    Printer printer(kColourPrinter);
    struct Case {
        const char *what;
        DWORD offset; /* raw field, or 0 with a setting */
        WORD raw;
        WORD id;
        LONG value;
    } cases[] = {
        {"dmSize 219", 68, 219, 0, 0},
        {"dmSize 221", 68, 221, 0, 0},
        {"dmDriverExtra of a plain driver devmode", 70, 1384, 0, 0},
        {"dmDriverExtra 5,699", 70, 5699, 0, 0},
        {"dmDriverExtra 5,701", 70, 5701, 0, 0},
        {"marker 23", PDEV_TAIL_MARKER, 23, 0, 0},
        {"marker 0", PDEV_TAIL_MARKER, 0, 0, 0},
        {"resolution 0", 0, 0, ID_RESOLUTION, 0},
        {"resolution -4", 0, 0, ID_RESOLUTION, -4},
    };
    for (const Case &c : cases) {
        JobDevmode dm;
        if (c.offset)
            dm.put16(c.offset, c.raw);
        else
            dm.set(c.id, c.value);
        Enabled e = enable(printer.handle, dm);
        EXPECT_EQ(e.dhpdev, nullptr) << c.what;
        EXPECT_EQ(e.error, DWORD(ERROR_INVALID_PARAMETER)) << c.what;
        EXPECT_EQ(DMB_GetUseCount(), 1) << c.what;
        EXPECT_EQ(plat::engine_palette_count(), 0u) << c.what;
    }
}

TEST_F(PdevCreate, AScaleOfZeroOrBelowIsTakenAsFullSize)
{
    Printer printer(kColourPrinter);
    for (LONG scale : {0, -100}) {
        JobDevmode dm;
        dm.set(ID_SCALE, scale);
        Enabled e = enable(printer.handle, dm);
        ASSERT_NE(e.dhpdev, nullptr) << scale;
        EXPECT_EQ(e.pdev()->logicalResolution, 600) << scale;
        EXPECT_EQ(e.gdi.ulHorzSize, 202u) << "A4's printable 201.6 mm at 100 %";
        WORD stored = 0;
        EXPECT_EQ(PDEV_GetSetting16(e.pdev(), ID_SCALE, &stored), 0);
        EXPECT_EQ(stored, 100) << "the working settings say 100";
        DrvDisablePDEV(e.dhpdev);
    }
}

TEST_F(PdevCreate, MissingArgumentsAreRefused)
{
    Printer printer(kColourPrinter);
    JobDevmode dm;
    GDIINFO gi{};
    DEVINFO di{};
    std::u16string name = u"x";
    struct Case {
        const char *what;
        DEVMODEW *dm;
        ULONG *caps;
        DEVINFO *dev;
        HDEV hdev;
        HANDLE printer;
    } cases[] = {
        {"devmode", nullptr, reinterpret_cast<ULONG *>(&gi), &di, hdev, printer.handle},
        {"GDIINFO", dm.dm(), nullptr, &di, hdev, printer.handle},
        {"DEVINFO", dm.dm(), reinterpret_cast<ULONG *>(&gi), nullptr, hdev, printer.handle},
        {"engine device", dm.dm(), reinterpret_cast<ULONG *>(&gi), &di, nullptr, printer.handle},
        {"printer", dm.dm(), reinterpret_cast<ULONG *>(&gi), &di, hdev, nullptr},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(DrvEnablePDEV(c.dm, nullptr, 0, nullptr, sizeof gi, c.caps, sizeof di, c.dev, c.hdev, name.data(),
                                c.printer),
                  nullptr)
            << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    EXPECT_EQ(DMB_GetUseCount(), 1);
}

TEST_F(PdevCreate, AModelThatCannotBeOpenedFailsTheContext)
{
    std::filesystem::create_directories(root / "bad");
    std::ofstream(root / "bad" / "BROKEN.DDD", std::ios::binary) << "not model data";
    install(u"Broken", "BROKEN.DDD", {(root / "bad" / "BROKEN.DDD").string()});
    Printer printer(u"Broken");
    JobDevmode dm;
    Enabled e = enable(printer.handle, dm);
    EXPECT_EQ(e.dhpdev, nullptr);
    EXPECT_EQ(DMB_GetUseCount(), 1);
}

TEST_F(PdevCreate, AStoredPrinterDataRecordIsTheContextsPrinterData)
{
    /* The printer's stored record (the defaults with a setting of its own) is what the context reads. */
    Printer printer(kColourPrinter);
    ModelContext *model = MDL_Open(printer.handle);
    ASSERT_NE(model, nullptr);
    std::vector<BYTE> record(SETTINGS_PRINTERDATA_SIZE, 0);
    ASSERT_TRUE(FID_InitDefaults(model, nullptr, record.data(), u"DummyName"));
    MDL_Close(model);
    const WORD duplexUnit = 1;
    ASSERT_EQ(DMB_SetValue(4365, nullptr, record.data(), SVT_UINT16, 2, &duplexUnit), DMA_OK);
    HANDLE admin = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(kColourPrinter, &admin, &all));
    ASSERT_TRUE(PDT_WriteNamedBlob(admin, record.data(), DWORD(record.size()), PDT_BLOB_PRINTERDATA));
    ClosePrinter(admin);
    JobDevmode dm;
    Enabled e = enable(printer.handle, dm);
    ASSERT_NE(e.dhpdev, nullptr) << e.error;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    EXPECT_EQ(DMB_GetValue(4365, nullptr, e.pdev()->printerData, &type, &size, slot), DMA_OK);
    EXPECT_EQ(slot[0], 1);
    DrvDisablePDEV(e.dhpdev);
    EXPECT_EQ(DMB_GetUseCount(), 1);
}

TEST_F(PdevCreate, EveryAllocationFailureLeavesNothingBehind)
{
    Printer printer(kColourPrinter);
    JobDevmode dm;
    for (unsigned n = 1;; n++) {
        plat::fault_fail_alloc_after(n);
        Enabled e = enable(printer.handle, dm);
        plat::fault_fail_alloc_after(0);
        if (e.dhpdev)
            DrvDisablePDEV(e.dhpdev);
        EXPECT_EQ(DMB_GetUseCount(), 1) << "failure at allocation " << n;
        EXPECT_EQ(plat::engine_palette_count(), 0u) << n;
        if (e.dhpdev) {
            EXPECT_GT(n, 10u) << "creation allocates more than this";
            break;
        }
        ASSERT_LT(n, 2000u) << "creation never succeeded";
    }
}

TEST_F(PdevCreate, InvalidContextsAreRefusedByEveryWorker)
{
    BYTE junk[sizeof(PdevContext)] = {};
    auto bad = reinterpret_cast<DHPDEV>(junk);
    SetLastError(0);
    DrvCompletePDEV(bad, hdev);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    DrvDisablePDEV(bad);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(bad), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    DrvDisableSurface(nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DrvResetPDEV(bad, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}
