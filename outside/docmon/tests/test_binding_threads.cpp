// The document-monitor binding used from two threads at once: each binds,
// calls and releases the monitor 10,000 times; the use count, the loads and
// the monitor's own count of open handles end where they began.  Built into
// the ThreadSanitizer tree as well, which checks the binding's lock.
#include <tarvel/base/uix_jobwatch.h>

#include <docmon/docmon_record.h>

#include <plat_test/fresh_machine.h>

#include <plat/loader.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::atomic<LONG> g_open{0};
std::atomic<LONG> g_inits{0};

HANDLE init(DWORD)
{
    ++g_inits;
    ++g_open;
    return reinterpret_cast<HANDLE>(uintptr_t(0x77));
}
BOOL uninit(HANDLE) { return --g_open, TRUE; }
BOOL other(HANDLE) { return TRUE; }
BOOL createId(HANDLE, LPSTR buffer)
{
    std::strcpy(buffer, "ID");
    return TRUE;
}

class BindingThreads : public plat_test::FreshMachineTest {
protected:
    BindingThreads() : FreshMachineTest("tarvel-jwm-threads") {}
    void SetUp() override
    {
        FreshMachineTest::SetUp();
        UIX_ResetJobwatchForTest();
    }
    void TearDown() override
    {
        FreshMachineTest::TearDown();
        UIX_ResetJobwatchForTest();
    }
};

TEST_F(BindingThreads, TwoThreadsBindAndReleaseTenThousandTimes)
{
    std::vector<plat::FakeExport> exports;
    for (const char *name : UIX_JOBWATCH_REQUIRED) {
        FARPROC p = plat::to_farproc(&other);
        if (std::strcmp(name, "JwmInitializeJobwatch") == 0)
            p = plat::to_farproc(&init);
        else if (std::strcmp(name, "JwmUnInitializeJobwatch") == 0)
            p = plat::to_farproc(&uninit);
        else if (std::strcmp(name, "JwmCreateJobId") == 0 || std::strcmp(name, "JwmCreateClientId") == 0)
            p = plat::to_farproc(&createId);
        exports.push_back({name, p});
    }
    ASSERT_TRUE(plat::loader_register_fake(u"jwmthreads.dll", nullptr, exports));
    ASSERT_TRUE(DocmonInstall(u"C:\\Varnel\\jwmthreads.dll"));

    constexpr int kRounds = 10000;
    std::atomic<int> failures{0};
    auto work = [&] {
        for (int i = 0; i < kRounds; i++) {
            HANDLE h = UIX_InitJobwatch(0);
            CHAR id[UIX_ID_SIZE] = {};
            if (!h || !UIX_CreateJobId(h, id) || !UIX_ExecJobwatch(h) || !UIX_UninitJobwatch(h))
                ++failures;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(g_inits.load(), 2 * kRounds);
    EXPECT_EQ(g_open.load(), 0);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
    EXPECT_EQ(plat::loader_load_count(u"jwmthreads.dll"), 0u);
}

} // namespace
