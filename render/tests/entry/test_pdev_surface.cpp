// The drawing surface of a device context and the reset of one context by
// another outside a document.
#include "test_pdev_support.h"

using namespace pdev_test;

namespace {

class PdevSurface : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
    }
};

} // namespace

TEST_F(PdevSurface, A24BitDeviceSurfaceOfThePrintableArea)
{
    Printer printer(kColourPrinter);
    struct Case {
        LONG dpi;
        bool landscape;
        LONG w, h;
    } cases[] = {
        /* A4 less 4.2 mm margins: the job form's printable area in pixels, as GDIINFO's resolution */
        {600, false, 4762, 6817},
        {600, true, 6817, 4762},
        {300, false, 2381, 3408},
    };
    for (const Case &c : cases) {
        JobDevmode dm;
        dm.resolution(c.dpi);
        if (c.landscape)
            dm.set(ID_ORIENTATION, DMORIENT_LANDSCAPE);
        Enabled e = enable(printer.handle, dm);
        ASSERT_NE(e.dhpdev, nullptr) << e.error;
        DrvCompletePDEV(e.dhpdev, hdev);
        HSURF surface = DrvEnableSurface(e.dhpdev);
        ASSERT_NE(surface, nullptr);
        plat::EngineSurfaceInfo info{};
        ASSERT_TRUE(plat::engine_surface_info(surface, &info));
        EXPECT_EQ(info.type, STYPE_DEVICE);
        EXPECT_EQ(info.format, BMF_24BPP);
        EXPECT_EQ(info.size.cx, c.w) << c.dpi << (c.landscape ? " landscape" : "");
        EXPECT_EQ(info.size.cy, c.h) << c.dpi << (c.landscape ? " landscape" : "");
        EXPECT_EQ(info.hooks, 0xA4EBu);
        EXPECT_EQ(info.hdev, hdev);
        EXPECT_EQ(info.dhsurf, reinterpret_cast<DHSURF>(e.dhpdev)) << "the context is the device surface's handle";
        EXPECT_EQ(e.pdev()->surface, surface);

        /* enabled again: the new surface replaces the old one */
        HSURF again = DrvEnableSurface(e.dhpdev);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(plat::engine_surface_count(), 1u);
        DrvDisableSurface(e.dhpdev);
        EXPECT_EQ(plat::engine_surface_count(), 0u);
        EXPECT_EQ(e.pdev()->surface, nullptr);
        DrvDisablePDEV(e.dhpdev);
    }
}

TEST_F(PdevSurface, ASurfaceTheEngineCannotAssociateIsNotLeft)
{
    Printer printer(kColourPrinter);
    JobDevmode dm;
    Enabled e = enable(printer.handle, dm);
    ASSERT_NE(e.dhpdev, nullptr);
    HDEV gone = plat::engine_create_device();
    plat::engine_delete_device(gone);
    DrvCompletePDEV(e.dhpdev, gone);
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(e.dhpdev), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PdevSurface, ResetOutsideADocumentCarriesTheSettingsCopyAndTheGroupText)
{
    Printer printer(kColourPrinter);
    JobDevmode first, second;
    second.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    Enabled a = enable(printer.handle, first), b = enable(printer.handle, second);
    ASSERT_NE(a.dhpdev, nullptr);
    ASSERT_NE(b.dhpdev, nullptr);
    PdevContext *oldPdev = a.pdev(), *newPdev = b.pdev();
    std::memset(oldPdev->settingsCopy, 0x5A, sizeof oldPdev->settingsCopy);
    const WCHAR *text = u"Group 7";
    ASSERT_EQ(DMB_SetValue(329, oldPdev->settings, oldPdev->printerData, SVT_WSTRING, 16, &text), DMA_OK);

    EXPECT_TRUE(DrvResetPDEV(a.dhpdev, b.dhpdev));
    EXPECT_EQ(std::vector<BYTE>(newPdev->settingsCopy, newPdev->settingsCopy + 16), std::vector<BYTE>(16, 0x5A));
    LPCWSTR carried = PDEV_GetSettingString(newPdev, 329);
    ASSERT_NE(carried, nullptr);
    char16_t got[8] = {}; /* the field lies at an odd offset: copied out bytewise */
    std::memcpy(got, carried, sizeof got);
    EXPECT_EQ(std::u16string(got), u"Group 7");
    ASSERT_NE(newPdev->jobForm.modelPaper, nullptr);
    EXPECT_EQ(newPdev->jobForm.modelPaper->id, DMPAPER_LETTER) << "the new context keeps its own devmode";
    EXPECT_EQ(newPdev->flags, 0u);

    /* a context that started a document must have the job's transform tracker to hand over */
    oldPdev->flags |= PDEV_STARTDOC_SEEN;
    SetLastError(0);
    EXPECT_FALSE(DrvResetPDEV(a.dhpdev, b.dhpdev));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    /* before its document starts there is no open job to continue: the new context starts its own */
    oldPdev->flags = 0;
    oldPdev->startDocNotice = 1;
    EXPECT_TRUE(DrvResetPDEV(a.dhpdev, b.dhpdev));
    EXPECT_EQ(newPdev->flags & PDEV_RESET_IN_DOC, 0u);
    EXPECT_EQ(newPdev->jobState, 0u);

    oldPdev->startDocNotice = 0;
    SetLastError(0);
    EXPECT_FALSE(DrvResetPDEV(nullptr, b.dhpdev));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    DrvDisablePDEV(a.dhpdev);
    DrvDisablePDEV(b.dhpdev);
}
