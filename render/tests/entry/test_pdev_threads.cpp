// Device contexts on two threads at once: each thread enables and disables
// 200 contexts; the model data is never opened by two of them at the same
// moment, and every context reports what a single thread's context reports.
#include "test_pdev_support.h"

#include <atomic>
#include <thread>

using namespace pdev_test;

namespace {

std::atomic<int> g_mostOpening{0};

void recordOpening(int opening)
{
    int seen = g_mostOpening.load();
    while (opening > seen && !g_mostOpening.compare_exchange_weak(seen, opening)) {
    }
    std::this_thread::yield(); /* widen the window in which another thread could come in */
}

using PdevThreads = PdevTest;

} // namespace

TEST_F(PdevThreads, TwoThreadsEnablingAndDisablingContexts)
{
    install(kColourPrinter, "TARVEL1.DDD");
    Printer printer(kColourPrinter);
    JobDevmode reference;
    Enabled single = enable(printer.handle, reference);
    ASSERT_NE(single.dhpdev, nullptr) << single.error;
    DrvDisablePDEV(single.dhpdev);

    g_mostOpening = 0;
    PDEV_SetModelOpenHookForTest(recordOpening);
    constexpr int kContexts = 200;
    std::atomic<int> mismatches{0}, failures{0};
    auto worker = [&](HANDLE handle) {
        /* each thread its own copy of the devmode, in a block of exactly its size */
        std::unique_ptr<BYTE[]> block(new BYTE[PDEV_JOB_DEVMODE_SIZE]);
        std::memcpy(block.get(), reference.bytes(), PDEV_JOB_DEVMODE_SIZE);
        std::u16string name = u"Tarvel";
        for (int i = 0; i < kContexts; i++) {
            GDIINFO gi{};
            DEVINFO di{};
            DHPDEV dhpdev = DrvEnablePDEV(reinterpret_cast<DEVMODEW *>(block.get()), nullptr, 0, nullptr, sizeof gi,
                                          reinterpret_cast<ULONG *>(&gi), sizeof di, &di, hdev, name.data(), handle);
            if (!dhpdev) {
                failures++;
                continue;
            }
            if (std::memcmp(&gi, &single.gdi, sizeof gi) != 0)
                mismatches++;
            DrvDisablePDEV(dhpdev);
        }
    };
    Printer second(kColourPrinter);
    std::thread a(worker, printer.handle), b(worker, second.handle);
    a.join();
    b.join();
    PDEV_SetModelOpenHookForTest(nullptr);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(g_mostOpening.load(), 1) << "two contexts opened their model data at once";
    EXPECT_EQ(DMB_GetUseCount(), 1);
}
