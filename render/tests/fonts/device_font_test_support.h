// Fixture of the text tests that print in device fonts: a drawing context
// in the middle of a page (job, sheet and page open, path state reset)
// whose device fonts are resident faces of the model, allocated on the
// context's own heap as the driver allocates them.
#ifndef RENDER_TESTS_DRAW_DEVICE_FONT_TEST_SUPPORT_H
#define RENDER_TESTS_DRAW_DEVICE_FONT_TEST_SUPPORT_H

#include "draw_test_support.h"

#include "fnt_device_records.h"
#include "job_settings.h"
#include "job_state.h"

#include <device_fonts.h>

#include <plat/memory.h>

#include <gtest/gtest.h>

#include <vector>

namespace draw_test {

/* A resident face: its metrics block, the printer's 16-character name for it and its symbol set. */
struct DeviceFace {
    mw::Bytes metrics;
    const char *printerName;
    WORD symbolSet;
};

class DeviceFontTest : public DrawTest {
protected:
    /*
     * On an opened context: a page open, the path state reset, and `faces`
     * (in order: face 1 first) as the context's device-font entries; with
     * `records` also as the device-font records the driver gives the engine.
     */
    void startPage(const std::vector<DeviceFace> &faces, bool records)
    {
        pdev->jobState = JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN | JOB_PAGE_OPEN;
        pdev->jobSettings = &settings;
        ASSERT_EQ(PTH_ResetPathState(ctx()), 0);
        pdev->heap = HeapCreate(0, 0, 0);
        const DWORD n = DWORD(faces.size());
        pdev->fontEntries = static_cast<DeviceFontEntry **>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, n * sizeof(void *)));
        if (records)
            pdev->deviceFonts =
                static_cast<DeviceFontRecord **>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, n * sizeof(void *)));
        for (DWORD i = 0; i < n; ++i) {
            const mw::Bytes &m = faces[i].metrics;
            if (records) {
                pdev->deviceFonts[i] = FNT_BuildDeviceFontRecord(
                    pdev.get(), i + 1, reinterpret_cast<const DeviceFontMetrics *>(m.data()), DWORD(m.size()));
                ASSERT_NE(pdev->deviceFonts[i], nullptr);
            }
            auto *entry = static_cast<DeviceFontEntry *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, sizeof(DeviceFontEntry)));
            FNT_FillDeviceFontEntry(entry, m.data(), DWORD(m.size()), faces[i].printerName, faces[i].symbolSet);
            pdev->fontEntries[i] = entry;
        }
        pdev->fontEntryCount = n;
        if (records)
            pdev->deviceFontCount = n;
    }

    /* Undoes startPage: the path state and the heap with the font lists in it. */
    void endPage()
    {
        if (!pdev)
            return;
        PTH_FreePathState(ctx());
        pdev->jobSettings = nullptr;
        if (pdev->heap)
            HeapDestroy(pdev->heap);
        pdev->heap = nullptr;
        pdev->deviceFonts = nullptr;
        pdev->fontEntries = nullptr;
        pdev->deviceFontCount = pdev->fontEntryCount = 0;
    }

    JobSettings settings{};
};

} // namespace draw_test

#endif /* RENDER_TESTS_DRAW_DEVICE_FONT_TEST_SUPPORT_H */
