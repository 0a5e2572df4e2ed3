// Directory search: '*' and '?' matched ignoring case, the ".*" rule, the
// stable order of entries, the record's layout and fields, and the errors.
#include "test_file_fixture.h"

#include <plat/text.h>

#include <vector>

namespace {

class FileFind : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        for (const char16_t *f : {u"C:\\dir\\Alpha.txt", u"C:\\dir\\beta.TXT", u"C:\\dir\\gamma.log",
                                  u"C:\\dir\\noext", u"C:\\dir\\a1.txt", u"C:\\dir\\ab.txt"})
            put(f, "12345");
        std::filesystem::create_directories(real(u"C:\\dir\\Sub"));
    }

    /* Every name a search reports, in order; an empty list when it finds nothing. */
    static std::vector<std::string> search(const char16_t *pattern, DWORD *error = nullptr)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW d;
        HANDLE h = FindFirstFileW(pattern, &d);
        if (h == INVALID_HANDLE_VALUE) {
            if (error)
                *error = GetLastError();
            return names;
        }
        do
            names.push_back(plat::utf16_to_utf8(d.cFileName));
        while (FindNextFileW(h, &d));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return names;
    }
};

typedef std::vector<std::string> Names;

struct PatternCase {
    const char16_t *pattern;
    Names names;
};

TEST_F(FileFind, WildcardsMatchIgnoringCaseInStableOrder)
{
    const PatternCase cases[] = {
        {u"C:\\dir\\*", {".", "..", "a1.txt", "ab.txt", "Alpha.txt", "beta.TXT", "gamma.log", "noext", "Sub"}},
        {u"C:\\dir\\*.*", {".", "..", "a1.txt", "ab.txt", "Alpha.txt", "beta.TXT", "gamma.log", "noext", "Sub"}},
        {u"C:\\dir\\*.txt", {"a1.txt", "ab.txt", "Alpha.txt", "beta.TXT"}},
        {u"c:/DIR/A?.TXT", {"a1.txt", "ab.txt"}},
        {u"C:\\dir\\?????.*", {"Alpha.txt", "gamma.log", "noext"}},
        {u"C:\\dir\\*a*", {"a1.txt", "ab.txt", "Alpha.txt", "beta.TXT", "gamma.log"}},
        {u"C:\\dir\\noext.*", {"noext"}},
        {u"C:\\dir\\GAMMA.LOG", {"gamma.log"}},
        {u"C:\\dir\\sub", {"Sub"}},
        {u"C:\\dir", {"dir"}},
        {u"C:\\*", {"dir"}}, /* no "." or ".." at a drive's root */
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.pattern));
        EXPECT_EQ(search(c.pattern), c.names);
    }
}

TEST_F(FileFind, NothingFoundAndBadPatterns)
{
    const struct {
        const char16_t *pattern;
        DWORD error;
    } cases[] = {
        {u"C:\\dir\\*.doc", ERROR_FILE_NOT_FOUND},
        {u"C:\\dir\\missing.txt", ERROR_FILE_NOT_FOUND},
        {u"C:\\dir\\", ERROR_FILE_NOT_FOUND},
        {u"C:\\none\\*", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\Alpha.txt\\*", ERROR_PATH_NOT_FOUND},
        {u"C:\\d*r\\*.txt", ERROR_INVALID_NAME},
        {u"C:\\dir\\a<b", ERROR_INVALID_NAME},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        DWORD error = 0;
        EXPECT_TRUE(search(c.pattern, &error).empty());
        EXPECT_EQ(error, c.error);
    }
    WIN32_FIND_DATAW d;
    EXPECT_EQ(FindFirstFileW(u"C:\\dir\\*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(FileFind, RecordCarriesSizeAttributesAndTime)
{
    put(u"C:\\dir\\big.bin", std::string(70000, 'b'));
    HANDLE f = open(u"C:\\dir\\big.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
    const uint64_t y2020 = 132223104000000000ull;
    FILETIME t = {DWORD(y2020), DWORD(y2020 >> 32)};
    SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);

    WIN32_FIND_DATAW d;
    std::memset(&d, 0xAB, sizeof d);
    HANDLE h = FindFirstFileW(u"C:\\DIR\\BIG.BIN", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(d.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(d.nFileSizeHigh, 0u);
    EXPECT_EQ(d.nFileSizeLow, 70000u);
    EXPECT_EQ((uint64_t(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime, y2020);
    EXPECT_EQ(std::u16string(d.cFileName), u"big.bin");
    EXPECT_EQ(d.cAlternateFileName[0], 0);
    /* The name is read at its documented offset in the 592-byte record. */
    WCHAR at44[8];
    std::memcpy(at44, reinterpret_cast<const BYTE *>(&d) + 44, sizeof at44);
    EXPECT_EQ(std::u16string(at44, 7), u"big.bin");
    EXPECT_FALSE(CloseHandle(h)) << "a search handle is closed with FindClose";
    EXPECT_FALSE(FindNextFileW(h, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    ASSERT_TRUE(FindClose(h = FindFirstFileW(u"C:\\dir\\sub", &d)));
    EXPECT_EQ(d.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(d.nFileSizeLow, 0u);

    HANDLE file = open(u"C:\\dir\\noext", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(FindClose(file)) << "a file handle is not a search handle";
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileFind, StarsNeverBacktrackWithoutBound)
{
    /* A pattern that defeats naive backtracking; the matcher is linear in the name. */
    std::u16string name(200, u'a');
    put((u"C:\\dir\\" + name).c_str(), "x");
    std::u16string pattern = u"C:\\dir\\";
    for (int i = 0; i < 30; i++)
        pattern += u"*a";
    EXPECT_TRUE(search((pattern + u"*b").c_str()).empty());
    EXPECT_EQ(search(pattern.c_str()).size(), 1u);
}

} // namespace
