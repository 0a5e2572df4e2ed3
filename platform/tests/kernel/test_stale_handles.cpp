// Stale kernel handles: events, mutexes, threads and private heaps (tables
// of their own) and files, searches and registry keys (the handle table)
// made and destroyed round after round.  A destroyed object's handle is
// refused and never reaches a newer object, and handle values never come
// back, not even across a machine reset.
#include "test_file_fixture.h"

#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/sync.h>
#include <plat/thread.h>

#include <plat_test/stale_handles.h>

#include <string>
#include <vector>

namespace {

using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

class StaleKernelHandles : public MachineTest {};

HANDLE as_handle(uintptr_t v) { return reinterpret_cast<HANDLE>(v); }
uintptr_t value_of(HANDLE h) { return reinterpret_cast<uintptr_t>(h); }

/* True when the last call failed with ERROR_INVALID_HANDLE. */
bool invalid_handle() { return GetLastError() == DWORD(ERROR_INVALID_HANDLE); }

DWORD exit_with(LPVOID code) { return DWORD(reinterpret_cast<uintptr_t>(code)); }

/* Cheap kinds run this many rounds; each kind stays well under a second in a sanitizer build. */
constexpr int kRounds = 2000;

StaleHandleKind event_kind()
{
    /* Side data: a dressed event is signalled. */
    return {"event",
            [](bool dressed) { return value_of(CreateEventW(nullptr, TRUE, dressed ? TRUE : FALSE, nullptr)); },
            [](uintptr_t h) { return CloseHandle(as_handle(h)) != FALSE; },
            [](uintptr_t h) {
                SetLastError(0);
                const bool waitRefused = WaitForSingleObject(as_handle(h), 0) == WAIT_FAILED && invalid_handle();
                SetLastError(0);
                const bool setRefused = !SetEvent(as_handle(h)) && invalid_handle();
                SetLastError(0);
                return waitRefused && setRefused && !CloseHandle(as_handle(h)) && invalid_handle();
            },
            [](uintptr_t h) { return WaitForSingleObject(as_handle(h), 0) == WAIT_TIMEOUT; }};
}

StaleHandleKind mutex_kind()
{
    /* Side data: a dressed mutex is owned by this thread (and stays so when its handle closes). */
    return {"mutex",
            [](bool dressed) { return value_of(CreateMutexW(nullptr, dressed ? TRUE : FALSE, nullptr)); },
            [](uintptr_t h) { return CloseHandle(as_handle(h)) != FALSE; },
            [](uintptr_t h) {
                SetLastError(0);
                return !ReleaseMutex(as_handle(h)) && invalid_handle();
            },
            [](uintptr_t h) {
                SetLastError(0);
                return !ReleaseMutex(as_handle(h)) && GetLastError() == DWORD(ERROR_NOT_OWNER);
            }};
}

StaleHandleKind thread_kind()
{
    /* Side data: a dressed thread ended with code 7, a bare one with 0. */
    return {"thread",
            [](bool dressed) {
                HANDLE h = CreateThread(nullptr, 0, exit_with, reinterpret_cast<LPVOID>(uintptr_t(dressed ? 7 : 0)),
                                        0, nullptr);
                if (h && WaitForSingleObject(h, INFINITE) != WAIT_OBJECT_0)
                    return uintptr_t(0);
                return value_of(h);
            },
            [](uintptr_t h) { return CloseHandle(as_handle(h)) != FALSE; },
            [](uintptr_t h) {
                DWORD code = 0;
                SetLastError(0);
                return !GetExitCodeThread(as_handle(h), &code) && invalid_handle();
            },
            [](uintptr_t h) {
                DWORD code = 99;
                return GetExitCodeThread(as_handle(h), &code) && code == 0;
            }};
}

StaleHandleKind heap_kind()
{
    /* Side data: a dressed heap holds one block. */
    return {"heap",
            [](bool dressed) {
                HANDLE h = HeapCreate(0, 0, 0);
                if (h && dressed && !HeapAlloc(h, 0, 24))
                    return uintptr_t(0);
                return value_of(h);
            },
            [](uintptr_t h) { return HeapDestroy(as_handle(h)) != FALSE; },
            [](uintptr_t h) {
                SetLastError(0);
                const bool allocRefused = HeapAlloc(as_handle(h), 0, 8) == nullptr && invalid_handle();
                SetLastError(0);
                return allocRefused && plat::heap_live_blocks(as_handle(h)) == size_t(-1) &&
                       !HeapDestroy(as_handle(h)) && invalid_handle();
            },
            [](uintptr_t h) { return plat::heap_live_blocks(as_handle(h)) == 0; }};
}

TEST_F(StaleKernelHandles, SynchronisationObjectsAndHeapsNeverAnswerToAnOldHandle)
{
    const std::vector<std::pair<StaleHandleKind, int>> kinds = {
        {event_kind(), kRounds}, {mutex_kind(), kRounds}, {heap_kind(), kRounds},
        {thread_kind(), 200}, /* a thread each time: fewer rounds */
    };
    for (const auto &[kind, rounds] : kinds)
        EXPECT_EQ(run_stale_handle_rounds(kind, rounds), rounds);
}

TEST_F(StaleKernelHandles, HandleTableKindsNeverAnswerToAnOldHandle)
{
    put(u"C:\\stale\\data.bin", "0123456789");
    put(u"C:\\stale\\two\\a.txt", "a");
    put(u"C:\\stale\\two\\b.txt", "b");
    put(u"C:\\stale\\one\\a.txt", "a");
    HKEY base = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Stale", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &base,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD mark = 1;
    HKEY marked = nullptr;
    ASSERT_EQ(RegCreateKeyExW(base, u"Marked", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &marked, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(marked, u"Mark", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&mark), sizeof mark),
              ERROR_SUCCESS);
    RegCloseKey(marked);
    HKEY plain = nullptr;
    ASSERT_EQ(RegCreateKeyExW(base, u"Plain", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &plain, nullptr), ERROR_SUCCESS);
    RegCloseKey(plain);

    const StaleHandleKind file{
        /* Side data: a dressed file's position is 5. */
        "file",
        [](bool dressed) {
            HANDLE h = open(u"C:\\stale\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
            if (h == INVALID_HANDLE_VALUE)
                return uintptr_t(0);
            if (dressed)
                SetFilePointer(h, 5, nullptr, FILE_BEGIN);
            return value_of(h);
        },
        [](uintptr_t h) { return CloseHandle(as_handle(h)) != FALSE; },
        [](uintptr_t h) {
            SetLastError(0);
            return SetFilePointer(as_handle(h), 0, nullptr, FILE_CURRENT) == INVALID_SET_FILE_POINTER &&
                   invalid_handle();
        },
        [](uintptr_t h) { return SetFilePointer(as_handle(h), 0, nullptr, FILE_CURRENT) == 0; }};
    const StaleHandleKind search{
        /* Side data: a dressed search has an entry left to give. */
        "find",
        [](bool dressed) {
            WIN32_FIND_DATAW data{};
            HANDLE h = FindFirstFileW(dressed ? u"C:\\stale\\two\\*.txt" : u"C:\\stale\\one\\*.txt", &data);
            return h == INVALID_HANDLE_VALUE ? uintptr_t(0) : value_of(h);
        },
        [](uintptr_t h) { return FindClose(as_handle(h)) != FALSE; },
        [](uintptr_t h) {
            WIN32_FIND_DATAW data{};
            SetLastError(0);
            return !FindNextFileW(as_handle(h), &data) && invalid_handle();
        },
        [](uintptr_t h) {
            WIN32_FIND_DATAW data{};
            SetLastError(0);
            return !FindNextFileW(as_handle(h), &data) && GetLastError() == DWORD(ERROR_NO_MORE_FILES);
        }};
    const StaleHandleKind key{
        /* Side data: a dressed key names the subkey with the value "Mark". */
        "registry key",
        [base](bool dressed) {
            HKEY k = nullptr;
            if (RegOpenKeyExW(base, dressed ? u"Marked" : u"Plain", 0, KEY_READ, &k) != ERROR_SUCCESS)
                return uintptr_t(0);
            return reinterpret_cast<uintptr_t>(k);
        },
        [](uintptr_t h) { return RegCloseKey(reinterpret_cast<HKEY>(h)) == ERROR_SUCCESS; },
        [](uintptr_t h) {
            DWORD v = 0, size = sizeof v;
            return RegQueryValueExW(reinterpret_cast<HKEY>(h), u"Mark", nullptr, nullptr,
                                    reinterpret_cast<BYTE *>(&v), &size) == ERROR_INVALID_HANDLE &&
                   RegCloseKey(reinterpret_cast<HKEY>(h)) == ERROR_INVALID_HANDLE;
        },
        [](uintptr_t h) {
            DWORD v = 0, size = sizeof v;
            return RegQueryValueExW(reinterpret_cast<HKEY>(h), u"Mark", nullptr, nullptr,
                                    reinterpret_cast<BYTE *>(&v), &size) == ERROR_FILE_NOT_FOUND;
        }};
    for (const StaleHandleKind *kind : {&file, &search, &key})
        EXPECT_EQ(run_stale_handle_rounds(*kind, 500), 500);
    RegCloseKey(base);
}

TEST_F(StaleKernelHandles, ValuesRunOnAcrossAMachineReset)
{
    /* A reset closes the handle table's handles but never winds its values back. */
    put(u"C:\\stale\\data.bin", "x");
    HANDLE file = open(u"C:\\stale\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE heap = HeapCreate(0, 0, 0);
    ASSERT_NE(event, nullptr);
    ASSERT_NE(heap, nullptr);
    plat::machine_reset((root / "again").string());
    std::filesystem::create_directories(root / "again" / "c");
    put(u"C:\\stale\\data.bin", "y");

    SetLastError(0);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(invalid_handle()) << "a reset closes the handle table's handles";
    HANDLE later = open(u"C:\\stale\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(later, INVALID_HANDLE_VALUE);
    HANDLE laterEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE laterHeap = HeapCreate(0, 0, 0);
    for (HANDLE earlier : {file, event, heap})
        for (HANDLE now : {later, laterEvent, laterHeap})
            EXPECT_NE(earlier, now) << "a value came back after the reset";
    EXPECT_GT(value_of(later), value_of(file)) << "values count on from where they were";

    /* Events and heaps outlive a reset (their handles stay good) and keep their own state. */
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(laterEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(later));
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(CloseHandle(laterEvent));
    EXPECT_TRUE(HeapDestroy(heap));
    EXPECT_TRUE(HeapDestroy(laterHeap));
}

TEST_F(StaleKernelHandles, EveryKindsValuesAreDistinct)
{
    /* Events, heaps and handle-table handles come from one counter: no value names two objects of different kinds. */
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE heap = HeapCreate(0, 0, 0);
    HANDLE reserved = plat::handle_reserve();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Stale", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::vector<HANDLE> all{event, heap, reserved, reinterpret_cast<HANDLE>(key)};
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            EXPECT_NE(all[i], all[j]);
    /* A reserved value is in no table: closing it fails, and each kind refuses the others' values. */
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(reserved));
    EXPECT_TRUE(invalid_handle());
    SetLastError(0);
    EXPECT_EQ(HeapAlloc(event, 0, 8), nullptr);
    EXPECT_TRUE(invalid_handle());
    EXPECT_EQ(WaitForSingleObject(heap, 0), WAIT_FAILED);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(HeapDestroy(heap));
    RegCloseKey(key);
}

} // namespace
