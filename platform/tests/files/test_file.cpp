// CreateFileW and file I/O: dispositions and their last errors, simulated
// share modes and delete-on-close, reads at the end, injected write faults,
// the file pointer, sizes, times and the handle table behind CloseHandle.
#include <plat/fault.h>

#include "test_file_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Files : public MachineTest {};

const DWORD RW = GENERIC_READ | GENERIC_WRITE;
const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string read_all(HANDLE h)
{
    std::string out;
    char buf[256];
    DWORD n = 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0)
        out.append(buf, n);
    return out;
}

struct DispositionCase {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;         /* last error after the call */
    const char *content; /* file content after the call; null = no file */
};

TEST_F(Files, DispositionsOnExistingAndMissingFiles)
{
    const DispositionCase cases[] = {
        {CREATE_NEW, false, true, 0, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, 0, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, 0, "old"},
        {OPEN_ALWAYS, false, true, 0, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.exists ? " on a file" : " on nothing"));
        std::filesystem::remove(real(u"C:\\f.bin"));
        if (c.exists)
            put(u"C:\\f.bin", "old");
        SetLastError(12345);
        HANDLE h = open(u"C:\\f.bin", RW, 0, c.disposition, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        EXPECT_EQ(exists(u"C:\\f.bin"), c.content != nullptr);
        if (c.content) {
            EXPECT_EQ(get(u"C:\\f.bin"), c.content);
        }
    }
}

struct OpenErrorCase {
    const char16_t *path;
    DWORD access;
    DWORD disposition;
    DWORD error;
};

TEST_F(Files, OpenErrors)
{
    std::filesystem::create_directories(real(u"C:\\dir"));
    const OpenErrorCase cases[] = {
        {u"C:\\nodir\\f.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"C:\\nodir\\f.txt", GENERIC_WRITE, CREATE_NEW, ERROR_PATH_NOT_FOUND},
        {u"C:\\nodir\\f.txt", GENERIC_WRITE, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"C:\\dir", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"C:\\dir", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {u"C:\\dir", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
        {u"C:\\a*.txt", GENERIC_READ, OPEN_ALWAYS, ERROR_INVALID_NAME},
        {u"C:\\a?.txt", GENERIC_READ, OPEN_ALWAYS, ERROR_INVALID_NAME},
        {u"C:\\a|b", GENERIC_READ, OPEN_ALWAYS, ERROR_INVALID_NAME},
        {u"C:\\a:b", GENERIC_READ, OPEN_ALWAYS, ERROR_INVALID_NAME},
        {u"", GENERIC_READ, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"\\\\server\\share\\f", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"C:\\f.txt", GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {u"C:\\f.txt", GENERIC_READ, 6, ERROR_INVALID_PARAMETER},
        {u"C:\\f.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {nullptr, GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        SetLastError(0);
        EXPECT_EQ(open(c.path, c.access, 0, c.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_FALSE(exists(u"C:\\f.txt"));
    EXPECT_EQ(open(u"C:\\f.txt", GENERIC_READ, 8, OPEN_ALWAYS), INVALID_HANDLE_VALUE) << "unknown share bit";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Files, ReadOnlyFileRefusesWritersButNotReaders)
{
    HANDLE h = open(u"C:\\ro.txt", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(h, "data", 4, nullptr, nullptr)) << "the creating handle may write";
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(u"C:\\ro.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(open(u"C:\\ro.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(DeleteFileW(u"C:\\ro.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    h = open(u"C:\\ro.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read_all(h), "data");
    CloseHandle(h);
    EXPECT_TRUE(SetFileAttributesW(u"C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"C:\\ro.txt"));
}

TEST_F(Files, PathsMatchExistingNamesIgnoringCase)
{
    HANDLE h = open(u"C:\\Data\\Report.TXT", GENERIC_WRITE, 0, CREATE_NEW);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "no folder yet";
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Data", nullptr));
    h = open(u"C:\\Data\\Report.TXT", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WriteFile(h, "hello", 5, nullptr, nullptr);
    CloseHandle(h);
    h = open(u"c:/DATA/report.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read_all(h), "hello");
    CloseHandle(h);
    EXPECT_TRUE(std::filesystem::exists(root / "c" / "Data" / "Report.TXT"));
}

struct ShareCase {
    DWORD access1, share1, flags1;
    DWORD access2, share2;
    bool second_opens;
};

TEST_F(Files, ShareModesDecideWhoMayOpen)
{
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE,
                DOC = FILE_FLAG_DELETE_ON_CLOSE;
    const ShareCase cases[] = {
        {R, 0, 0, R, SR, false},            /* the first open shares nothing */
        {R, SR, 0, R, SR, true},
        {R, SR, 0, R, 0, false},            /* the second must share what the first does */
        {R, SR, 0, W, SR | SW, false},      /* the first does not share writing */
        {W, SR, 0, R, SR, false},           /* the second does not share the first's writing */
        {W, SR | SW, 0, R, SR | SW, true},
        {R, SR | SW, 0, W, SR | SW, true},
        {RW, SHARE_ALL, 0, RW, SHARE_ALL, true},
        {0, 0, 0, R, 0, true},              /* attribute-only opens take no part */
        {R, 0, 0, 0, 0, true},
        {R, SHARE_ALL, DOC, R, SR | SW, false}, /* a delete-on-close open needs FILE_SHARE_DELETE */
        {R, SHARE_ALL, DOC, R, SHARE_ALL, true},
        {R, SR, 0, R, SR, true},
    };
    put(u"C:\\s.txt", "x");
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        HANDLE a = open(u"C:\\s.txt", c.access1, c.share1, OPEN_EXISTING, c.flags1);
        ASSERT_NE(a, INVALID_HANDLE_VALUE);
        HANDLE b = open(u"C:\\S.TXT", c.access2, c.share2, OPEN_EXISTING);
        EXPECT_EQ(b != INVALID_HANDLE_VALUE, c.second_opens);
        if (b == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        } else {
            CloseHandle(b);
        }
        CloseHandle(a);
        if (!exists(u"C:\\s.txt"))
            put(u"C:\\s.txt", "x");
        HANDLE again = open(u"C:\\s.txt", RW, 0, OPEN_EXISTING);
        EXPECT_NE(again, INVALID_HANDLE_VALUE) << "closing frees the file";
        CloseHandle(again);
    }
}

TEST_F(Files, OpenFileCannotBeDeletedWithoutShareDelete)
{
    put(u"C:\\d.txt", "x");
    HANDLE h = open(u"C:\\d.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_FALSE(DeleteFileW(u"C:\\D.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileExW(u"C:\\d.txt", u"C:\\e.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(exists(u"C:\\d.txt"));
    CloseHandle(h);

    h = open(u"C:\\d.txt", GENERIC_READ, SHARE_ALL, OPEN_EXISTING);
    EXPECT_TRUE(DeleteFileW(u"C:\\d.txt"));
    EXPECT_FALSE(exists(u"C:\\d.txt"));
    EXPECT_EQ(read_all(h), "x") << "the open handle still reads the deleted file";
    CloseHandle(h);
}

TEST_F(Files, DeleteOnCloseDeletesWithTheLastHandle)
{
    /* A hand-over file read once: no sharing, delete-on-close, temporary. */
    put(u"C:\\handover.tmp", std::string(64, 'h'));
    DWORD flags = FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_SYSTEM;
    HANDLE h = open(u"C:\\handover.tmp", GENERIC_READ, 0, OPEN_EXISTING, flags);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[64];
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, buf, 64, &n, nullptr));
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(open(u"C:\\handover.tmp", GENERIC_READ, SHARE_ALL, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(exists(u"C:\\handover.tmp"));
    EXPECT_EQ(open(u"C:\\handover.tmp", GENERIC_READ, 0, OPEN_EXISTING, flags), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "it can be read only once";

    /* Two handles: the file waits for the second, and meanwhile refuses new opens. */
    HANDLE a = open(u"C:\\t.tmp", RW, SHARE_ALL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    HANDLE b = open(u"C:\\t.tmp", GENERIC_READ, SHARE_ALL, OPEN_EXISTING);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(exists(u"C:\\t.tmp"));
    EXPECT_EQ(open(u"C:\\t.tmp", GENERIC_READ, SHARE_ALL, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_FALSE(exists(u"C:\\t.tmp"));

    /* A file renamed while open is deleted under its new name. */
    a = open(u"C:\\r1.tmp", RW, SHARE_ALL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    EXPECT_TRUE(MoveFileExW(u"C:\\r1.tmp", u"C:\\r2.tmp", 0));
    CloseHandle(a);
    EXPECT_FALSE(exists(u"C:\\r2.tmp"));
}

TEST_F(Files, ReadsStopShortAtTheEnd)
{
    put(u"C:\\ten.bin", "0123456789");
    HANDLE h = open(u"C:\\ten.bin", GENERIC_READ, 0, OPEN_EXISTING);
    char buf[16] = {};
    DWORD n = 99;
    struct Step {
        DWORD ask, got;
        const char *data;
    };
    const Step steps[] = {{4, 4, "0123"}, {10, 6, "456789"}, {10, 0, ""}, {0, 0, ""}};
    for (const auto &s : steps) {
        EXPECT_TRUE(ReadFile(h, buf, s.ask, &n, nullptr));
        EXPECT_EQ(n, s.got);
        EXPECT_EQ(std::string(buf, n), s.data);
    }
    EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
    n = 99;
    EXPECT_TRUE(ReadFile(h, buf, 4, &n, nullptr)) << "a read past the end succeeds with nothing";
    EXPECT_EQ(n, 0u);

    OVERLAPPED ov = {};
    ov.Offset = 8;
    EXPECT_TRUE(ReadFile(h, buf, 4, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "89");
    EXPECT_EQ(ov.InternalHigh, 2u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u) << "the pointer follows a positioned read";
    ov.Offset = 10;
    EXPECT_FALSE(ReadFile(h, buf, 4, &n, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));

    n = 99;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(n, 0u);
    CloseHandle(h);

    h = open(u"C:\\ten.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_FALSE(ReadFile(h, buf, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

TEST_F(Files, CallsOnBadHandlesFail)
{
    HANDLE bad[] = {nullptr, reinterpret_cast<HANDLE>(0x12345678), INVALID_HANDLE_VALUE};
    for (HANDLE h : bad) {
        char buf[4];
        DWORD n = 7;
        EXPECT_FALSE(ReadFile(h, buf, 4, &n, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(n, 0u);
        EXPECT_FALSE(WriteFile(h, buf, 4, &n, nullptr));
        EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(SetEndOfFile(h));
        EXPECT_FALSE(GetFileTime(h, nullptr, nullptr, nullptr));
    }
}

struct WriteFaultCase {
    const char *name;
    void (*arm)();
    BOOL first_ok;
    DWORD first_written;
    DWORD first_error;
    const char *content; /* after the first write of "abcdefghij" and a second write of "XY" */
};

TEST_F(Files, InjectedWriteFaults)
{
    const WriteFaultCase cases[] = {
        {"none", [] {}, TRUE, 10, 0, "abcdefghijXY"},
        {"fail first", [] { plat::fault_fail_write_after(1); }, FALSE, 0, ERROR_WRITE_FAULT, "XY"},
        {"fail second", [] { plat::fault_fail_write_after(2, ERROR_DISK_FULL); }, TRUE, 10, 0, "abcdefghij"},
        {"short first", [] { plat::fault_short_write_after(1, 3); }, TRUE, 3, 0, "abcXY"},
        {"short to zero", [] { plat::fault_short_write_after(1, 0); }, TRUE, 0, 0, "XY"},
        {"short second", [] { plat::fault_short_write_after(2, 1); }, TRUE, 10, 0, "abcdefghijX"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        plat::machine_reset(root.string());
        HANDLE h = open(u"C:\\w.bin", RW, 0, CREATE_ALWAYS);
        c.arm();
        DWORD n = 99;
        SetLastError(0);
        EXPECT_EQ(WriteFile(h, "abcdefghij", 10, &n, nullptr), c.first_ok);
        EXPECT_EQ(n, c.first_written);
        if (!c.first_ok) {
            EXPECT_EQ(GetLastError(), c.first_error);
        }
        WriteFile(h, "XY", 2, &n, nullptr);
        EXPECT_EQ(read_all(h), c.content);
        EXPECT_EQ(plat::write_count(), 2u);
        CloseHandle(h);
    }
}

TEST_F(Files, FullDiskRefusesGrowthAndKeepsTheFile)
{
    HANDLE h = open(u"C:\\full.bin", RW, FILE_SHARE_READ, CREATE_ALWAYS);
    WriteFile(h, "keep", 4, nullptr, nullptr);
    plat::fault_disk_full(true);
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(h, "more", 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(WriteFile(h, "", 0, &n, nullptr)) << "writing nothing needs no room";
    SetFilePointer(h, 100, nullptr, FILE_BEGIN);
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    SetFilePointer(h, 2, nullptr, FILE_BEGIN);
    EXPECT_TRUE(SetEndOfFile(h)) << "cutting a file needs no room";
    plat::fault_disk_full(false);
    EXPECT_TRUE(WriteFile(h, "ep", 2, &n, nullptr));
    EXPECT_EQ(read_all(h), "keep");
    CloseHandle(h);
}

struct SeekCase {
    DWORD start;
    LONG distance;
    bool use_high;
    LONG high;
    DWORD method;
    DWORD result;
    DWORD error;
    uint64_t position_after;
};

TEST_F(Files, FilePointerMovesWithinRules)
{
    put(u"C:\\seek.bin", "0123456789");
    HANDLE h = open(u"C:\\seek.bin", RW, 0, OPEN_EXISTING);
    const SeekCase cases[] = {
        {0, 5, false, 0, FILE_BEGIN, 5, NO_ERROR, 5},
        {5, -2, false, 0, FILE_CURRENT, 3, NO_ERROR, 3},
        {3, 0, false, 0, FILE_END, 10, NO_ERROR, 10},
        {3, -4, false, 0, FILE_END, 6, NO_ERROR, 6},
        {3, 100, false, 0, FILE_END, 110, NO_ERROR, 110},
        {4, -1, false, 0, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 4},
        {4, -5, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 4},
        {4, -11, false, 0, FILE_END, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 4},
        {4, 0, false, 0, 3, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 4},
        {4, 0, true, 1, FILE_BEGIN, 0, NO_ERROR, 0x100000000ull},
        {4, -2, true, -1, FILE_END, 8, NO_ERROR, 8},
        {4, -1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, NO_ERROR, 0xFFFFFFFFull}, /* low half all ones is no failure */
        {4, 0, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        ASSERT_EQ(SetFilePointer(h, LONG(c.start), nullptr, FILE_BEGIN), c.start);
        LONG high = c.high;
        SetLastError(12345);
        EXPECT_EQ(SetFilePointer(h, c.distance, c.use_high ? &high : nullptr, c.method), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        LARGE_INTEGER zero = {}, pos = {};
        ASSERT_TRUE(SetFilePointerEx(h, zero, &pos, FILE_CURRENT));
        EXPECT_EQ(uint64_t(pos.QuadPart), c.position_after);
        if (c.use_high && c.error == NO_ERROR) {
            EXPECT_EQ(uint32_t(high), uint32_t(c.position_after >> 32));
        }
    }
    /* Without a high half, a position beyond 32 bits cannot be reported. */
    LARGE_INTEGER far = {};
    far.QuadPart = 0x100000000ll;
    ASSERT_TRUE(SetFilePointerEx(h, far, nullptr, FILE_BEGIN));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    LARGE_INTEGER back = {};
    back.QuadPart = -1;
    EXPECT_FALSE(SetFilePointerEx(h, back, nullptr, FILE_BEGIN));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    CloseHandle(h);
}

TEST_F(Files, WritingPastTheEndFillsWithZeros)
{
    HANDLE h = open(u"C:\\gap.bin", RW, 0, CREATE_NEW);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "ab", 2, &n, nullptr));
    EXPECT_EQ(read_all(h), std::string("\0\0\0\0ab", 6));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 6u);
    EXPECT_EQ(high, 0u);
    LARGE_INTEGER size = {};
    EXPECT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 6);

    SetFilePointer(h, 3, nullptr, FILE_BEGIN);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 3u);
    SetFilePointer(h, 8, nullptr, FILE_BEGIN);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(read_all(h), std::string(8, '\0'));
    EXPECT_TRUE(FlushFileBuffers(h));

    /* A file larger than 4 GiB reports its high half (a sparse file costs no room). */
    LARGE_INTEGER five_gib = {};
    five_gib.QuadPart = 5ll << 30;
    ASSERT_TRUE(SetFilePointerEx(h, five_gib, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    high = 0;
    EXPECT_EQ(GetFileSize(h, &high), 1u << 30);
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(GetLastError(), DWORD(NO_ERROR));
    CloseHandle(h);

    h = open(u"C:\\gap.bin", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(FlushFileBuffers(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

TEST_F(Files, FileTimesComeFromTheFileSystem)
{
    HANDLE h = open(u"C:\\t.bin", RW, 0, CREATE_NEW);
    FILETIME c = {}, a = {}, w = {};
    ASSERT_TRUE(GetFileTime(h, &c, &a, &w));
    uint64_t now = (uint64_t(::time(nullptr)) + 11644473600ull) * 10000000ull;
    uint64_t written = (uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime;
    EXPECT_LT(written > now ? written - now : now - written, 600ull * 10000000ull) << "within minutes of now";

    /* 2020-01-01 00:00:00 UTC: (1577836800 + 11644473600) s in 100 ns units. */
    const uint64_t y2020 = 132223104000000000ull;
    FILETIME t = {DWORD(y2020), DWORD(y2020 >> 32)};
    EXPECT_TRUE(SetFileTime(h, nullptr, &t, &t));
    ASSERT_TRUE(GetFileTime(h, nullptr, &a, &w));
    EXPECT_EQ((uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime, y2020);
    EXPECT_EQ((uint64_t(a.dwHighDateTime) << 32) | a.dwLowDateTime, y2020);
    FILETIME zero = {};
    EXPECT_TRUE(SetFileTime(h, &zero, &zero, nullptr)) << "zero leaves a time alone";
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &w));
    EXPECT_EQ((uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime, y2020);
    CloseHandle(h);

    h = open(u"C:\\t.bin", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_FALSE(SetFileTime(h, nullptr, &t, &t));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

/* --- The handle table behind CloseHandle --- */

int g_closed = 0;
void count_close(void *object)
{
    g_closed++;
    delete static_cast<int *>(object);
}

TEST_F(Files, HandleTableClosesObjectsWithTheirLastReference)
{
    const uint32_t kind = plat::HANDLE_KIND_FIRST_FREE + 3;
    ASSERT_TRUE(plat::handle_register(kind, count_close));
    EXPECT_FALSE(plat::handle_register(plat::HANDLE_KIND_ANY, count_close));
    int unregistered = 0;
    EXPECT_EQ(plat::handle_create(kind + 1, &unregistered), nullptr) << "unregistered kind";
    g_closed = 0;

    HANDLE h = plat::handle_create(kind, new int(42));
    ASSERT_NE(h, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::handle_kind(h), kind);
    HANDLE dup = plat::handle_duplicate(h);
    ASSERT_NE(dup, nullptr);
    EXPECT_NE(dup, h);
    std::shared_ptr<void> held = plat::handle_object(h, kind);
    EXPECT_EQ(*static_cast<int *>(held.get()), 42);
    EXPECT_EQ(plat::handle_object(h, plat::HANDLE_KIND_FILE), nullptr) << "wrong kind";

    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(dup));
    EXPECT_EQ(g_closed, 0) << "a held reference keeps the object";
    held.reset();
    EXPECT_EQ(g_closed, 1);

    plat::handle_create(kind, new int(1));
    plat::handle_create(kind, new int(2));
    EXPECT_EQ(plat::handle_count(kind), 2u);
    plat::machine_reset(root.string());
    EXPECT_EQ(g_closed, 3) << "a machine reset closes every handle";
    EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_ANY), 0u);

    EXPECT_TRUE(CloseHandle(reinterpret_cast<HANDLE>(intptr_t(-1)))) << "current-process pseudo-handle";
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(Files, ClosingAHandleWhileAnotherThreadUsesIt)
{
    put(u"C:\\busy.bin", std::string(4096, 'b'));
    HANDLE h = open(u"C:\\busy.bin", GENERIC_READ, 0, OPEN_EXISTING);
    std::atomic<bool> started{false};
    std::atomic<int> failures{0};
    std::thread reader([&] {
        char buf[64];
        DWORD n;
        for (int i = 0; i < 20000 && failures == 0; i++) {
            if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
                EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
                failures++;
            }
            SetFilePointer(h, 0, nullptr, FILE_BEGIN);
            started = true;
        }
    });
    while (!started)
        std::this_thread::yield();
    EXPECT_TRUE(CloseHandle(h));
    reader.join();
    /* The file is closed once the reader is done with it: it can be opened exclusively again. */
    HANDLE again = open(u"C:\\busy.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

} // namespace
