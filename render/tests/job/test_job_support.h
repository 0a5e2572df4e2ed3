// Fixture of the job tests: a device context on the standard colour
// printer with its surface locked, a spooler job started on the printer
// handle the context was given (as the engine starts one before
// DrvStartDoc), the job's spooled bytes, settings written into the
// context, and the trace file.
#ifndef RENDER_TESTS_TEST_JOB_SUPPORT_H
#define RENDER_TESTS_TEST_JOB_SUPPORT_H

#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "test_pdev_support.h"

namespace job_test {

using namespace pdev_test;

class JobTest : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter);
        ASSERT_NE(printer->handle, nullptr);
        dm = std::make_unique<JobDevmode>();
    }
    void TearDown() override
    {
        disable();
        printer.reset();
        dm.reset();
        PdevTest::TearDown();
    }

    /* Enables the context (with `*dm` as the test left it), completes it and locks its surface. */
    void enableContext()
    {
        e = enable(printer->handle, *dm);
        ASSERT_NE(e.dhpdev, nullptr) << e.error;
        DrvCompletePDEV(e.dhpdev, hdev);
        surface = DrvEnableSurface(e.dhpdev);
        ASSERT_NE(surface, nullptr);
        so = EngLockSurface(surface);
        ASSERT_NE(so, nullptr);
        pdev = e.pdev();
    }

    /* Unlocks the surface and disables a context as the engine does; both are forgotten. */
    static void disableContext(Enabled &context, SURFOBJ *&surfaceObject)
    {
        if (surfaceObject)
            EngUnlockSurface(surfaceObject);
        if (context.dhpdev) {
            DrvDisableSurface(context.dhpdev);
            DrvDisablePDEV(context.dhpdev);
        }
        surfaceObject = nullptr;
        context.dhpdev = nullptr;
    }

    void disable()
    {
        disableContext(e, so);
        pdev = nullptr;
    }

    /* Starts a spooler job on the context's printer handle (ending the previous one), then the document. */
    BOOL startDoc(const char16_t *name = u"Report")
    {
        if (jobId)
            EndDocPrinter(printer->handle);
        std::u16string doc = name;
        std::u16string raw = u"RAW";
        DOC_INFO_1W info{doc.data(), nullptr, raw.data()};
        jobId = StartDocPrinterW(printer->handle, 1, reinterpret_cast<const BYTE *>(&info));
        EXPECT_NE(jobId, 0u);
        return DrvStartDoc(so, doc.data(), jobId);
    }

    /* The bytes the spooler holds for the job. */
    std::string spooled() const
    {
        std::vector<BYTE> bytes;
        EXPECT_TRUE(plat::spool_job_bytes(jobId, bytes));
        return std::string(bytes.begin(), bytes.end());
    }

    /* Writes a number setting of the context (settings image or printer data) in the type it is handed out as. */
    void put(WORD id, LONG value)
    {
        const IdLayoutItem *item = nullptr;
        ASSERT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
        WORD type = item->reportedType ? item->reportedType : item->storedType;
        ASSERT_EQ(DMB_SetValueArgs(pdev->settings, pdev->printerData, id, type, int(value)), DMA_OK) << id;
    }

    /* Writes a string setting of the context. */
    void putText(WORD id, const std::u16string &text)
    {
        const WCHAR *p = text.c_str();
        ASSERT_EQ(DMB_SetValue(id, pdev->settings, pdev->printerData, SVT_WSTRING, LONG((text.size() + 1) * 2), &p),
                  DMA_OK)
            << id;
    }

    std::unique_ptr<Printer> printer;
    std::unique_ptr<JobDevmode> dm;
    Enabled e;
    HSURF surface = nullptr;
    SURFOBJ *so = nullptr;
    PdevContext *pdev = nullptr;
    DWORD jobId = 0;
};

} // namespace job_test

#endif /* RENDER_TESTS_TEST_JOB_SUPPORT_H */
