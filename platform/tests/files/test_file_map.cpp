// File mapping: views over files and over fresh memory, the access rules
// between file, mapping and view, alignment and bounds, and lifetimes (a view
// keeps its mapping, a mapping keeps its file).
#include <plat/fault.h>

#include "test_file_fixture.h"

namespace {

class FileMap : public MachineTest {};

const DWORD RW = GENERIC_READ | GENERIC_WRITE;

TEST_F(FileMap, ReadOnlyViewShowsTheFile)
{
    put(u"C:\\m.bin", "mapped bytes");
    HANDLE f = open(u"C:\\m.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(m, nullptr);
    const char *v = static_cast<const char *>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::string(v, 12), "mapped bytes");
    EXPECT_EQ(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED)) << "the file is open for reading only";
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 100, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED)) << "a read-only mapping cannot grow the file";
    EXPECT_TRUE(UnmapViewOfFile(v));
    EXPECT_TRUE(CloseHandle(m));
    EXPECT_TRUE(CloseHandle(f));
}

TEST_F(FileMap, WritableViewChangesTheFileAndMayGrowIt)
{
    HANDLE f = open(u"C:\\w.bin", RW, 0, CREATE_NEW);
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID)) << "an empty file needs a size";
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetFileSize(f, nullptr), 4096u);
    char *v = static_cast<char *>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(v, nullptr);
    std::memcpy(v + 100, "via view", 8);
    EXPECT_TRUE(UnmapViewOfFile(v));
    EXPECT_TRUE(CloseHandle(m));
    char buf[8];
    DWORD n = 0;
    SetFilePointer(f, 100, nullptr, FILE_BEGIN);
    ASSERT_TRUE(ReadFile(f, buf, 8, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "via view");
    CloseHandle(f);
}

TEST_F(FileMap, CopyViewLeavesTheFileAlone)
{
    put(u"C:\\c.bin", "original");
    HANDLE f = open(u"C:\\c.bin", GENERIC_READ, 0, OPEN_EXISTING);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    char *v = static_cast<char *>(MapViewOfFile(m, FILE_MAP_COPY, 0, 0, 0));
    ASSERT_NE(v, nullptr);
    v[0] = 'X';
    EXPECT_EQ(std::string(v, 8), "Xriginal");
    UnmapViewOfFile(v);
    CloseHandle(m);
    CloseHandle(f);
    EXPECT_EQ(get(u"C:\\c.bin"), "original");
}

TEST_F(FileMap, ViewsStartAtTheGranularityAndStayInside)
{
    put(u"C:\\big.bin", std::string(65536, 'a') + std::string(65536, 'b') + "tail");
    HANDLE f = open(u"C:\\big.bin", GENERIC_READ, 0, OPEN_EXISTING);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const char *v = static_cast<const char *>(MapViewOfFile(m, FILE_MAP_READ, 0, 65536, 0));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[0], 'b');
    EXPECT_EQ(std::string(v + 65536, 4), "tail");
    const struct {
        DWORD offset;
        SIZE_T bytes;
        DWORD error;
    } refusals[] = {
        {4096, 0, ERROR_MAPPED_ALIGNMENT},
        {1, 10, ERROR_MAPPED_ALIGNMENT},
        {0, 65536 * 2 + 5, ERROR_ACCESS_DENIED},
        {65536 * 3, 0, ERROR_ACCESS_DENIED},
    };
    for (const auto &r : refusals) {
        SCOPED_TRACE(testing::Message() << "offset " << r.offset);
        EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, r.offset, r.bytes), nullptr);
        EXPECT_EQ(GetLastError(), r.error);
    }
    EXPECT_FALSE(UnmapViewOfFile(v + 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ADDRESS));
    EXPECT_TRUE(UnmapViewOfFile(v));
    EXPECT_FALSE(UnmapViewOfFile(v)) << "already released";
    CloseHandle(m);
    CloseHandle(f);
}

TEST_F(FileMap, ViewKeepsMappingAndMappingKeepsFile)
{
    put(u"C:\\k.bin", "kept open");
    HANDLE f = open(u"C:\\k.bin", GENERIC_READ, 0, OPEN_EXISTING);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_EQ(open(u"C:\\k.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE)
        << "the mapping still holds the file without sharing";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    const char *v = static_cast<const char *>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    EXPECT_TRUE(CloseHandle(m));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::string(v, 9), "kept open");
    EXPECT_EQ(open(u"C:\\k.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE)
        << "the view holds the mapping, which holds the file";
    EXPECT_TRUE(UnmapViewOfFile(v));
    HANDLE again = open(u"C:\\k.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(FileMap, MappedFileCannotBeCut)
{
    put(u"C:\\cut.bin", std::string(8192, 'c'));
    HANDLE f = open(u"C:\\cut.bin", RW, 0, OPEN_EXISTING);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    SetFilePointer(f, 10, nullptr, FILE_BEGIN);
    EXPECT_FALSE(SetEndOfFile(f));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_USER_MAPPED_FILE));
    CloseHandle(m);
    EXPECT_TRUE(SetEndOfFile(f));
    CloseHandle(f);
}

TEST_F(FileMap, MemoryBackedMappingIsZeroed)
{
    HANDLE m = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100000, nullptr);
    ASSERT_NE(m, nullptr);
    BYTE *v = static_cast<BYTE *>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 100000));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[99999], 0);
    v[5] = 7;
    const BYTE *w = static_cast<const BYTE *>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    EXPECT_EQ(w[5], 7) << "two views of one object share their pages";
    UnmapViewOfFile(v);
    UnmapViewOfFile(w);
    CloseHandle(m);

    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 10, u"Local\\named"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, 0x40, 0, 10, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileMappingW(reinterpret_cast<HANDLE>(0x4444), nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
