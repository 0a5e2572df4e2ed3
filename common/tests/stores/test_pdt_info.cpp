/*
 * Printer and driver information through the two-call protocol: the records
 * come back whole with their strings, and every failure on the way (no
 * handle, a level the spooler refuses, a failed size query or fetch, no
 * memory) gives null.
 */
#include "test_mdl_support.h"

#include <tarvel/stores/pdt_info.h>

#include <plat/fault.h>
#include <plat/memory.h>

using namespace mdl_test;

namespace {

class PdtInfo : public MdlTest {
protected:
    void SetUp() override
    {
        MdlTest::SetUp();
        ASSERT_TRUE(installStandard("TARVEL1.DDD", "TARVEL1.DDC"));
    }
};

std::string s8(LPCWSTR s)
{
    return model_test::u8(s);
}

TEST_F(PdtInfo, PrinterInformationAtLevels1And2)
{
    Printer printer(printerFor("TARVEL1.DDD"));
    ASSERT_NE(printer.handle, nullptr);

    BYTE *info = PDT_GetPrinterInfo(printer.handle, 2);
    ASSERT_NE(info, nullptr);
    const auto *p2 = reinterpret_cast<const PRINTER_INFO_2W *>(info);
    EXPECT_EQ(s8(p2->pPrinterName), "Printer TARVEL1.DDD");
    EXPECT_EQ(s8(p2->pDriverName), "Tarvel TARVEL1.DDD");
    EXPECT_EQ(s8(p2->pPortName), "FILE:");
    /* The strings lie inside the buffer the caller frees. */
    EXPECT_GE(reinterpret_cast<const BYTE *>(p2->pPrinterName), info);
    EXPECT_LT(reinterpret_cast<const BYTE *>(p2->pPrinterName), info + GlobalSize(info));
    GlobalFree(info);

    info = PDT_GetPrinterInfo(printer.handle, 1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(s8(reinterpret_cast<const PRINTER_INFO_1W *>(info)->pName), "Printer TARVEL1.DDD");
    GlobalFree(info);
}

TEST_F(PdtInfo, DriverInformationNamesTheModelFileInTheDriverDirectory)
{
    Printer printer(printerFor("TARVEL1.DDD"));
    BYTE *info = PDT_GetDriverInfo(printer.handle, 2);
    ASSERT_NE(info, nullptr);
    const auto *d2 = reinterpret_cast<const DRIVER_INFO_2W *>(info);
    EXPECT_EQ(s8(d2->pName), "Tarvel TARVEL1.DDD");
    EXPECT_EQ(s8(d2->pDataFile), "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\TARVEL1.DDD");
    EXPECT_EQ(s8(d2->pDriverPath), "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarvelgr.dll");
    GlobalFree(info);

    info = PDT_GetDriverInfo(printer.handle, 3);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(s8(reinterpret_cast<const DRIVER_INFO_3W *>(info)->pConfigFile),
              "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarvelui.dll");
    GlobalFree(info);
}

TEST_F(PdtInfo, EveryFailureOnTheWayGivesNull)
{
    Printer printer(printerFor("TARVEL1.DDD"));
    ASSERT_NE(printer.handle, nullptr);
    EXPECT_EQ(PDT_GetPrinterInfo(nullptr, 2), nullptr);
    EXPECT_EQ(PDT_GetDriverInfo(nullptr, 2), nullptr);
    EXPECT_EQ(PDT_GetPrinterInfo(printer.handle, 7), nullptr); /* ERROR_INVALID_LEVEL on the size query */
    EXPECT_EQ(PDT_GetDriverInfo(printer.handle, 9), nullptr);

    struct Case {
        const char *what;
        plat::SpoolCall call;
        unsigned n; /* which call of the pair fails */
        bool driver;
    } cases[] = {
        {"printer size query", plat::SpoolCall::GetPrinter, 1, false},
        {"printer fetch", plat::SpoolCall::GetPrinter, 2, false},
        {"driver size query", plat::SpoolCall::GetPrinterDriver, 1, true},
        {"driver fetch", plat::SpoolCall::GetPrinterDriver, 2, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        plat::spool_fail_after(c.call, c.n, ERROR_ACCESS_DENIED);
        BYTE *info = c.driver ? PDT_GetDriverInfo(printer.handle, 2) : PDT_GetPrinterInfo(printer.handle, 2);
        EXPECT_EQ(info, nullptr);
        plat::spool_fail_after(c.call, 0, 0);
    }

    /* No memory for the buffer. */
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(PDT_GetDriverInfo(printer.handle, 2), nullptr);
    plat::fault_fail_alloc_after(0);
    BYTE *info = PDT_GetDriverInfo(printer.handle, 2);
    EXPECT_NE(info, nullptr) << "the next call works again";
    GlobalFree(info);
}

} // namespace
