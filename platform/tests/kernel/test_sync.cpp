// Critical sections, events, mutexes, named objects, waits (also timed on a
// fixed clock), threads and the Interlocked functions.
#include "test_loader_fixture.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/sysinfo.h>
#include <plat/thread.h>

#include <chrono>
#include <limits>
#include <future>
#include <thread>
#include <vector>

namespace {

/* Closes sync handles at the end of a scope. */
struct Handles {
    std::vector<HANDLE> list;
    HANDLE add(HANDLE h)
    {
        list.push_back(h);
        return h;
    }
    ~Handles()
    {
        for (HANDLE h : list)
            plat::sync_close_handle(h);
    }
};

/* Runs `fn` on another thread and answers its result. */
template <typename Fn>
auto on_other_thread(Fn fn)
{
    return std::async(std::launch::async, fn).get();
}

/* Waits (polling, bounded) until `n` threads are blocked in waits. */
bool await_waiters(size_t n)
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (plat::sync_waiting_threads() < n) {
        if (std::chrono::steady_clock::now() > give_up)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/*
 * The answer of a waiter on a fixed clock.  A waiter that has not answered
 * within 20 s of real time is a fault: the test fails and the waiter is
 * released by moving the clock far on, so that the run never hangs.
 */
DWORD answer(std::future<DWORD> &waiter)
{
    if (waiter.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the waiter did not answer";
        plat::clock_advance(1ull << 40);
    }
    return waiter.get();
}

SYSTEMTIME some_day()
{
    SYSTEMTIME st{};
    st.wYear = 2024;
    st.wMonth = 6;
    st.wDay = 1;
    return st;
}

} // namespace

class Sync : public FreshMachine {};

TEST_F(Sync, CriticalSectionIsRecursiveAndExclusive)
{
    struct Record {
        int before;
        CRITICAL_SECTION lock;
        int after;
    } rec{1, {}, 2};
    static_assert(sizeof(CRITICAL_SECTION) == 40, "as on 64-bit Windows");
    InitializeCriticalSection(&rec.lock);
    EnterCriticalSection(&rec.lock);
    EXPECT_TRUE(TryEnterCriticalSection(&rec.lock));
    auto other_try = [&] {
        const BOOL got = TryEnterCriticalSection(&rec.lock);
        if (got)
            LeaveCriticalSection(&rec.lock);
        return got;
    };
    EXPECT_FALSE(on_other_thread(other_try));
    LeaveCriticalSection(&rec.lock);
    EXPECT_FALSE(on_other_thread(other_try));
    /* A thread that does not hold the section cannot release it. */
    on_other_thread([&] { LeaveCriticalSection(&rec.lock); });
    EXPECT_FALSE(on_other_thread(other_try));
    LeaveCriticalSection(&rec.lock);
    EXPECT_TRUE(on_other_thread(other_try));
    LeaveCriticalSection(&rec.lock); /* not held: ignored */
    EXPECT_TRUE(on_other_thread(other_try));

    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; i++) {
                EnterCriticalSection(&rec.lock);
                counter++;
                LeaveCriticalSection(&rec.lock);
            }
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&rec.lock);
    EXPECT_EQ(rec.lock.impl, nullptr);
    EXPECT_EQ(rec.before, 1);
    EXPECT_EQ(rec.after, 2);
    /* A deleted section takes no lock and does not crash. */
    EnterCriticalSection(&rec.lock);
    EXPECT_FALSE(TryEnterCriticalSection(&rec.lock));
    LeaveCriticalSection(&rec.lock);
    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(nullptr, 4000));
}

TEST_F(Sync, EventsManualAndAutoReset)
{
    struct Case {
        BOOL manual;
        BOOL initial;
        DWORD first;
        DWORD second;
    };
    const Case cases[] = {
        {FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "manual " << c.manual << " initial " << c.initial);
        Handles hs;
        HANDLE ev = hs.add(CreateEventW(nullptr, c.manual, c.initial, nullptr));
        ASSERT_NE(ev, nullptr);
        EXPECT_EQ(WaitForSingleObject(ev, 0), c.first);
        EXPECT_EQ(WaitForSingleObject(ev, 0), c.second);
        EXPECT_TRUE(SetEvent(ev));
        EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(ev, 0), c.manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
        EXPECT_TRUE(ResetEvent(ev));
        EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
    }
}

TEST_F(Sync, SetEventWakesAnInfiniteWaitOnAnotherThread)
{
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    auto waiter = std::async(std::launch::async, [&] { return WaitForSingleObject(ev, INFINITE); });
    ASSERT_TRUE(await_waiters(1));
    EXPECT_TRUE(SetEvent(ev));
    EXPECT_EQ(answer(waiter), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT); /* consumed by the waiter */
}

TEST_F(Sync, MutexOwnershipIsRecursive)
{
    Handles hs;
    HANDLE m = hs.add(CreateMutexW(nullptr, TRUE, nullptr));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); /* owner again: depth 2 */
    auto other_takes = [&] {
        const DWORD r = WaitForSingleObject(m, 0);
        if (r == WAIT_OBJECT_0)
            ReleaseMutex(m);
        return r;
    };
    EXPECT_EQ(on_other_thread(other_takes), WAIT_TIMEOUT);
    EXPECT_EQ(on_other_thread([&] {
                  SetLastError(0);
                  return ReleaseMutex(m) ? 0 : GetLastError();
              }),
              DWORD(ERROR_NOT_OWNER));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(on_other_thread(other_takes), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(on_other_thread(other_takes), WAIT_OBJECT_0);
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
}

TEST_F(Sync, MutexLeftByAnEndedThreadIsAbandoned)
{
    Handles hs;
    HANDLE m = hs.add(CreateMutexW(nullptr, FALSE, nullptr));
    std::thread([&] { EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); }).join();
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
    /* The waiter owns it now, and the abandonment is reported once. */
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(m, 0); }), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));

    /* A thread of CreateThread abandons before its handle is signalled. */
    HANDLE th = hs.add(CreateThread(
        nullptr, 0, [](LPVOID p) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(p), 0); }, m, 0, nullptr));
    ASSERT_NE(th, nullptr);
    HANDLE both[2] = {th, m};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_ABANDONED_0 + 1);
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeThread(th, &code));
    EXPECT_EQ(code, WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
}

TEST_F(Sync, NamedObjectsAreSharedByName)
{
    Handles hs;
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE a = hs.add(CreateEventW(nullptr, TRUE, FALSE, u"Global\\LMCLOSE:Printer"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));

    HANDLE b = hs.add(CreateEventW(nullptr, FALSE, TRUE, u"Global\\LMCLOSE:Printer"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_NE(a, b);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT); /* the second create's state was ignored */
    HANDLE c = hs.add(OpenEventW(EVENT_MODIFY_STATE, FALSE, u"Global\\LMCLOSE:Printer"));
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(SetEvent(c));
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0); /* manual reset, as first created */

    struct Lookup {
        const char16_t *name;
        bool mutex;
        DWORD error;
    };
    const Lookup lookups[] = {
        {u"LMCLOSE:Printer", false, ERROR_FILE_NOT_FOUND},         /* Global\ is its own namespace */
        {u"global\\lmclose:printer", false, ERROR_FILE_NOT_FOUND}, /* names keep their case */
        {u"Global\\LMCLOSE:Printer", true, ERROR_INVALID_HANDLE},  /* an event, not a mutex */
        {nullptr, false, ERROR_INVALID_PARAMETER},
    };
    for (const auto &l : lookups) {
        SetLastError(0);
        EXPECT_EQ(l.mutex ? OpenMutexW(SYNCHRONIZE, FALSE, l.name) : OpenEventW(SYNCHRONIZE, FALSE, l.name), nullptr);
        EXPECT_EQ(GetLastError(), l.error);
    }
    SetLastError(0);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"Global\\LMCLOSE:Printer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    /* "Local\" names the default namespace. */
    HANDLE m = hs.add(CreateMutexW(nullptr, FALSE, u"Local\\PortLock"));
    HANDLE m2 = hs.add(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"PortLock"));
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m2)); /* same object, same owner */

    /* The name goes with the last handle. */
    for (HANDLE h : {a, b, c})
        EXPECT_TRUE(plat::sync_close_handle(h));
    EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, u"Global\\LMCLOSE:Printer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Sync, CreatingAnExistingNamedMutexTakesNoOwnership)
{
    Handles hs;
    HANDLE m = hs.add(CreateMutexW(nullptr, FALSE, u"Serialise"));
    HANDLE again = on_other_thread([&] { return CreateMutexW(nullptr, TRUE, u"Serialise"); });
    hs.add(again);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
}

TEST_F(Sync, ResetForgetsNamesButKeepsHandles)
{
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, TRUE, FALSE, u"Ready"));
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, u"Ready"), nullptr);
    HANDLE fresh = hs.add(CreateEventW(nullptr, TRUE, FALSE, u"Ready"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(SetEvent(ev));
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
}

TEST_F(Sync, WaitAnyTakesTheLowestSignalledObject)
{
    Handles hs;
    HANDLE ev[3];
    for (auto &h : ev)
        h = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(WaitForMultipleObjects(3, ev, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(ev[2]);
    SetEvent(ev[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, ev, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, ev, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, ev, FALSE, 0), WAIT_TIMEOUT);
    /* The same object under two handles is fine for wait-any. */
    HANDLE named = hs.add(CreateEventW(nullptr, TRUE, TRUE, u"Twice"));
    HANDLE twice[2] = {named, hs.add(OpenEventW(SYNCHRONIZE, FALSE, u"Twice"))};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
}

TEST_F(Sync, WaitAllTakesEverythingOrNothing)
{
    Handles hs;
    HANDLE ev[2] = {hs.add(CreateEventW(nullptr, FALSE, TRUE, nullptr)),
                    hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr))};
    HANDLE m = hs.add(CreateMutexW(nullptr, FALSE, nullptr));
    HANDLE all[3] = {ev[0], ev[1], m};
    EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_TIMEOUT);
    /* Nothing was taken by the failed attempt. */
    EXPECT_EQ(on_other_thread([&] {
                  const DWORD r = WaitForSingleObject(m, 0);
                  ReleaseMutex(m);
                  return r;
              }),
              WAIT_OBJECT_0);
    SetEvent(ev[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev[0], 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(ev[1], 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(m));
}

TEST_F(Sync, BadWaitArguments)
{
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE named = hs.add(CreateEventW(nullptr, TRUE, TRUE, u"Dup"));
    HANDLE alias = hs.add(OpenEventW(SYNCHRONIZE, FALSE, u"Dup"));
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, ev);
    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(plat::sync_close_handle(closed));
    EXPECT_FALSE(plat::sync_close_handle(closed));
    HANDLE dup[2] = {ev, ev};
    HANDLE same_object[2] = {named, alias};
    HANDLE with_bad[2] = {ev, closed};
    struct Case {
        DWORD count;
        const HANDLE *handles;
        BOOL all;
        DWORD error;
    };
    const Case cases[] = {
        {0, dup, FALSE, ERROR_INVALID_PARAMETER},
        {MAXIMUM_WAIT_OBJECTS + 1, many.data(), FALSE, ERROR_INVALID_PARAMETER},
        {1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {2, dup, FALSE, ERROR_INVALID_PARAMETER},
        {2, dup, TRUE, ERROR_INVALID_PARAMETER},
        {2, same_object, TRUE, ERROR_INVALID_PARAMETER},
        {2, with_bad, FALSE, ERROR_INVALID_HANDLE},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        SCOPED_TRACE(i);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(cases[i].count, cases[i].handles, cases[i].all, INFINITE), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), cases[i].error);
    }
    EXPECT_EQ(WaitForSingleObject(closed, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    HANDLE m = hs.add(CreateMutexW(nullptr, FALSE, nullptr));
    EXPECT_FALSE(SetEvent(m));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReleaseMutex(ev));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(plat::sync_close_handle(nullptr));
}

TEST_F(Sync, TimedWaitEndsWhenTheFixedClockPassesItsDeadline)
{
    ASSERT_TRUE(plat::clock_fix(some_day(), 1000));
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto waiter = std::async(std::launch::async, [&] { return WaitForSingleObject(ev, 30000); });
    ASSERT_TRUE(await_waiters(1));
    plat::clock_advance(29999);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(5)), std::future_status::timeout);
    plat::clock_advance(1);
    EXPECT_EQ(answer(waiter), WAIT_TIMEOUT);
    EXPECT_EQ(GetTickCount(), 31000u);
}

TEST_F(Sync, SleepOnAnotherThreadEndsATimedWait)
{
    ASSERT_TRUE(plat::clock_fix(some_day(), 0));
    Handles hs;
    HANDLE m = hs.add(CreateMutexW(nullptr, TRUE, nullptr));
    HANDLE ev = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    HANDLE both[2] = {m, ev};
    /* Another thread waits 30 s for the mutex this thread holds, as the monitor does. */
    auto waiter = std::async(std::launch::async, [&] { return WaitForMultipleObjects(2, both, TRUE, 30000); });
    ASSERT_TRUE(await_waiters(1));
    Sleep(10000);
    Sleep(10000);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(5)), std::future_status::timeout);
    Sleep(10000);
    EXPECT_EQ(answer(waiter), WAIT_TIMEOUT);
}

TEST_F(Sync, SignalBeforeTheDeadlineWins)
{
    ASSERT_TRUE(plat::clock_fix(some_day(), 0));
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    auto waiter = std::async(std::launch::async, [&] { return WaitForSingleObject(ev, 5000); });
    ASSERT_TRUE(await_waiters(1));
    plat::clock_advance(4000);
    SetEvent(ev);
    EXPECT_EQ(answer(waiter), WAIT_OBJECT_0);
}

TEST_F(Sync, FixingTheClockKeepsTheTimeLeft)
{
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    auto waiter = std::async(std::launch::async, [&] { return WaitForSingleObject(ev, 60000); });
    ASSERT_TRUE(await_waiters(1));
    ASSERT_TRUE(plat::clock_fix(some_day(), 0)); /* the real clock's deadline no longer applies */
    plat::clock_advance(30000);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(5)), std::future_status::timeout);
    plat::clock_advance(30000);
    EXPECT_EQ(answer(waiter), WAIT_TIMEOUT);
}

TEST_F(Sync, RealClockTimeoutIsReal)
{
    Handles hs;
    HANDLE ev = hs.add(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(ev, 3), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
}

namespace {

struct ThreadArgs {
    HANDLE go;
    DWORD seen_tid;
    LONG ran;
    HANDLE finished; /* set just before returning, when given */
};

DWORD thread_body(LPVOID p)
{
    auto *a = static_cast<ThreadArgs *>(p);
    a->seen_tid = GetCurrentThreadId();
    InterlockedIncrement(&a->ran);
    WaitForSingleObject(a->go, INFINITE);
    if (a->finished)
        SetEvent(a->finished);
    return 0x1234;
}

} // namespace

TEST_F(Sync, ThreadHandleIsWaitableAndKeepsItsExitCode)
{
    Handles hs;
    ThreadArgs args{hs.add(CreateEventW(nullptr, TRUE, FALSE, nullptr)), 0, 0, nullptr};
    DWORD tid = 0;
    HANDLE th = hs.add(CreateThread(nullptr, 16384, thread_body, &args, 0, &tid));
    ASSERT_NE(th, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(th, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(th, 0), WAIT_TIMEOUT);
    SetEvent(args.go);
    EXPECT_EQ(WaitForSingleObject(th, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(th, &code));
    EXPECT_EQ(code, 0x1234u);
    EXPECT_EQ(args.seen_tid, tid);
    EXPECT_NE(tid, GetCurrentThreadId());
    EXPECT_FALSE(GetExitCodeThread(th, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Sync, SuspendedThreadWaitsForResume)
{
    Handles hs;
    plat::sysinfo_fix_ids(10, 20);
    ThreadArgs args{hs.add(CreateEventW(nullptr, TRUE, TRUE, nullptr)), 0, 0, nullptr};
    DWORD tid = 0;
    HANDLE th = hs.add(CreateThread(nullptr, 16384, thread_body, &args, CREATE_SUSPENDED, &tid));
    ASSERT_NE(th, nullptr);
    EXPECT_EQ(tid, 20u);
    EXPECT_EQ(WaitForSingleObject(th, 0), WAIT_TIMEOUT);
    EXPECT_EQ(InterlockedCompareExchange(&args.ran, 0, 0), 0);
    EXPECT_EQ(ResumeThread(th), 1u);
    EXPECT_EQ(WaitForSingleObject(th, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(args.ran, 1);
    EXPECT_EQ(args.seen_tid, 20u);
    EXPECT_EQ(ResumeThread(th), 0u);
}

TEST_F(Sync, ClosingAThreadHandleLeavesTheThreadRunning)
{
    Handles hs;
    ThreadArgs args{hs.add(CreateEventW(nullptr, TRUE, FALSE, nullptr)), 0, 0,
                    hs.add(CreateEventW(nullptr, TRUE, FALSE, nullptr))};
    HANDLE th = CreateThread(nullptr, 0, thread_body, &args, 0, nullptr);
    ASSERT_NE(th, nullptr);
    EXPECT_TRUE(plat::sync_close_handle(th));
    EXPECT_EQ(ResumeThread(th), DWORD(-1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetEvent(args.go);
    EXPECT_EQ(WaitForSingleObject(args.finished, INFINITE), WAIT_OBJECT_0);

    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Interlocked, AnswersAsDocumented)
{
    LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 3), 9);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 7), 12); /* no match: unchanged */
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 12), 12);
    EXPECT_EQ(v, 1);
    v = std::numeric_limits<LONG>::max();
    EXPECT_EQ(InterlockedIncrement(&v), std::numeric_limits<LONG>::min()); /* wraps */

    int a = 0, b = 0;
    PVOID p = &a;
    EXPECT_EQ(InterlockedExchangePointer(&p, &b), &a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &a, &a), &b);
    EXPECT_EQ(p, &b);
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &a, &b), &b);
    EXPECT_EQ(p, &a);

    LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; i++)
                InterlockedIncrement(&counter);
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
}

TEST(SyncHandles, CloseHandleClosesEventsAndRefusesThemTwice)
{
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(CloseHandle(e));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}
