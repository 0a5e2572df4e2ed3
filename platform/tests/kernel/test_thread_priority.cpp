// Thread priorities as Linux nice values: each level's nice value on the
// thread itself, setting another thread's priority through its handle,
// refused values and handles, and a raise an unprivileged process may not
// make (taken as far as RLIMIT_NICE allows, never lower than before).
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/sync.h>
#include <plat/thread.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int nice_of_thread(pid_t tid)
{
    errno = 0;
    const int n = getpriority(PRIO_PROCESS, id_t(tid));
    return errno ? 1000 : n;
}

/* The process's nice value, which stands for "normal". */
int base_nice() { return nice_of_thread(getpid()); }

int clamp(int n) { return n < -20 ? -20 : n > 19 ? 19 : n; }

/* Runs `body` on a thread of the platform and waits for it; the thread's own nice changes die with it. */
template <typename F> void on_thread(F body)
{
    struct Call {
        F *body;
        static DWORD run(LPVOID p)
        {
            (*static_cast<Call *>(p)->body)();
            return 0;
        }
    } call{&body};
    HANDLE t = CreateThread(nullptr, 0, &Call::run, &call, 0, nullptr);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    plat::sync_close_handle(t);
}

TEST(ThreadPriority, EachLevelIsItsNiceValueOnTheThread)
{
    const int base = base_nice();
    /* lowering, one level after the other, as any process may */
    struct Case {
        int priority;
        int nice;
    } cases[] = {
        {THREAD_PRIORITY_NORMAL, base},
        {THREAD_PRIORITY_BELOW_NORMAL, clamp(base + 5)},
        {THREAD_PRIORITY_LOWEST, clamp(base + 10)},
        {THREAD_PRIORITY_IDLE, 19},
    };
    on_thread([&] {
        for (const Case &c : cases) {
            EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), c.priority)) << c.priority;
            EXPECT_EQ(nice_of_thread(gettid()), c.nice) << c.priority;
            EXPECT_EQ(GetThreadPriority(GetCurrentThread()), c.priority);
        }
    });
    EXPECT_EQ(base_nice(), base) << "the process's own nice value is untouched";
}

DWORD report_priority(LPVOID out)
{
    *static_cast<int *>(out) = GetThreadPriority(GetCurrentThread());
    return 0;
}

TEST(ThreadPriority, SetThroughTheHandleBeforeTheThreadRuns)
{
    int seen = 99;
    HANDLE t = CreateThread(nullptr, 0, report_priority, &seen, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_LOWEST);
    ResumeThread(t);
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(seen, THREAD_PRIORITY_LOWEST);
    /* an ended thread's id may be another's by now: refused */
    EXPECT_FALSE(SetThreadPriority(t, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_ERROR_RETURN);
    plat::sync_close_handle(t);
}

TEST(ThreadPriority, RefusesOtherValuesAndHandles)
{
    for (int bad : {3, -3, 14, -14, 16, 100, -100}) {
        SetLastError(0);
        EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), bad)) << bad;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << bad;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(SetThreadPriority(event, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetThreadPriority(event), THREAD_PRIORITY_ERROR_RETURN);
    plat::sync_close_handle(event);
    EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

constexpr int kCannotArrange = 50;

/*
 * In a child process without privilege (a root test run gives it up): lower
 * to LOWEST, then ask for more than RLIMIT_NICE allows.  Exit code 0 when
 * every check held, kCannotArrange when the limit cannot be set up, else
 * the number of the first check that failed.
 */
int unprivileged_raise(rlim_t niceLimit, int expectedAfterRaise)
{
    const int base = base_nice();
    if (getuid() == 0) {
        rlimit l{};
        getrlimit(RLIMIT_NICE, &l);
        if (l.rlim_max < niceLimit)
            return kCannotArrange; /* raising the hard limit needs a capability the test may lack */
        l.rlim_cur = niceLimit;
        if (setrlimit(RLIMIT_NICE, &l) != 0)
            return 1;
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 2;
    } else {
        rlimit l{};
        getrlimit(RLIMIT_NICE, &l);
        if (l.rlim_max < niceLimit)
            return kCannotArrange;
        l.rlim_cur = niceLimit;
        if (setrlimit(RLIMIT_NICE, &l) != 0)
            return 3;
    }
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST))
        return 4;
    if (nice_of_thread(gettid()) != clamp(base + 10))
        return 5;
    SetLastError(0);
    if (SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST))
        return 6;
    if (GetLastError() != DWORD(ERROR_PRIVILEGE_NOT_HELD))
        return 7;
    if (GetThreadPriority(GetCurrentThread()) != expectedAfterRaise)
        return 8;
    /* lowering stays allowed */
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE) || nice_of_thread(gettid()) != 19)
        return 9;
    return 0;
}

int in_child(rlim_t niceLimit, int expected)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(unprivileged_raise(niceLimit, expected));
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(ThreadPriority, UnprivilegedRaiseGoesOnlyAsFarAsAllowed)
{
    const int base = base_nice();
    if (base + 10 > 19 || base - 10 < -20)
        GTEST_SKIP() << "the process's nice value leaves no room for the levels";
    /* RLIMIT_NICE 0: no raise at all; the thread stays at LOWEST */
    EXPECT_EQ(in_child(0, THREAD_PRIORITY_LOWEST), 0);
    /* a limit that lets it back to BELOW_NORMAL's nice value but not to HIGHEST's */
    const int partial = in_child(rlim_t(20 - (base + 5)), THREAD_PRIORITY_BELOW_NORMAL);
    if (partial == kCannotArrange)
        GTEST_SKIP() << "RLIMIT_NICE's hard limit is too low to check a partial raise";
    EXPECT_EQ(partial, 0);
}

} // namespace
