// Operations by name: deleting, moving, copying, directories and attributes,
// with the last errors Windows gives for each refusal.
#include <plat/fault.h>

#include "test_file_fixture.h"

namespace {

class FileOps : public MachineTest {};

struct NameErrorCase {
    const char16_t *path;
    DWORD error;
};

TEST_F(FileOps, DeleteFileRefusals)
{
    put(u"C:\\dir\\f.txt", "x");
    const NameErrorCase cases[] = {
        {u"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
        {u"C:\\nodir\\f.txt", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\f.txt\\x", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir", ERROR_ACCESS_DENIED},
        {u"C:\\dir\\*.txt", ERROR_INVALID_NAME},
        {u"", ERROR_PATH_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_FALSE(DeleteFileW(c.path));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(exists(u"C:\\dir\\f.txt"));
    EXPECT_TRUE(DeleteFileW(u"c:\\DIR\\F.TXT"));
    EXPECT_FALSE(exists(u"C:\\dir\\f.txt"));
}

struct MoveCase {
    const char *name;
    bool target_exists;
    DWORD flags;
    bool ok;
    DWORD error;
};

TEST_F(FileOps, MoveFileExReplacesOnlyWhenAsked)
{
    const MoveCase cases[] = {
        {"to a new name", false, 0, true, 0},
        {"onto a file", true, 0, false, ERROR_ALREADY_EXISTS},
        {"onto a file, replacing", true, MOVEFILE_REPLACE_EXISTING, true, 0},
        {"delayed until reboot", false, MOVEFILE_DELAY_UNTIL_REBOOT, false, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(real(u"C:\\b.txt"));
        put(u"C:\\a.txt", "from a");
        if (c.target_exists)
            put(u"C:\\b.txt", "old b");
        EXPECT_EQ(MoveFileExW(u"C:\\A.TXT", u"C:\\b.txt", c.flags), BOOL(c.ok));
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(get(u"C:\\a.txt"), "from a") << "nothing moved";
        } else {
            EXPECT_FALSE(exists(u"C:\\a.txt"));
            EXPECT_EQ(get(u"C:\\b.txt"), "from a");
        }
    }
}

TEST_F(FileOps, MoveFileExOtherRefusals)
{
    put(u"C:\\a.txt", "a");
    std::filesystem::create_directories(real(u"C:\\dir"));
    EXPECT_FALSE(MoveFileExW(u"C:\\none.txt", u"C:\\x.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExW(u"C:\\a.txt", u"C:\\dir", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED)) << "a directory is never replaced";
    EXPECT_FALSE(MoveFileExW(u"C:\\a.txt", u"C:\\nodir\\a.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(MoveFileExW(u"C:\\a.txt", nullptr, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    /* A target open without FILE_SHARE_DELETE cannot be replaced. */
    put(u"C:\\b.txt", "b");
    HANDLE h = open(u"C:\\b.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(MoveFileExW(u"C:\\a.txt", u"C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(h);

    /* Only the case of the name changes. */
    EXPECT_TRUE(MoveFileExW(u"C:\\a.txt", u"C:\\A.TXT", 0));
    EXPECT_TRUE(std::filesystem::exists(root / "c" / "A.TXT"));
    EXPECT_FALSE(std::filesystem::exists(root / "c" / "a.txt"));

    /* Directories move too. */
    EXPECT_TRUE(MoveFileW(u"C:\\dir", u"C:\\dir2"));
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir2"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileOps, MoveAcrossFileSystemsCopiesWhenAllowed)
{
    /* A mount onto a folder of a second file system, when the machine has one (/dev/shm). */
    std::string shm = "/dev/shm/tarvel-move-" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::create_directories(shm, ec);
    struct stat a, b;
    if (ec || stat(shm.c_str(), &b) != 0 || stat(root.c_str(), &a) != 0 || a.st_dev == b.st_dev) {
        std::filesystem::remove_all(shm, ec);
        GTEST_SKIP() << "no second file system";
    }
    plat::machine_mount(u"D:\\", shm);
    put(u"C:\\m.txt", "moved");
    EXPECT_FALSE(MoveFileExW(u"C:\\m.txt", u"D:\\m.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SAME_DEVICE));
    EXPECT_TRUE(MoveFileExW(u"C:\\m.txt", u"D:\\m.txt", MOVEFILE_COPY_ALLOWED));
    EXPECT_FALSE(exists(u"C:\\m.txt"));
    EXPECT_EQ(get(u"D:\\m.txt"), "moved");
    std::filesystem::remove_all(shm, ec);
}

TEST_F(FileOps, CopyFileKeepsDataAndTimeAndRefusesAsAsked)
{
    put(u"C:\\src.bin", std::string(200000, 'q') + "end");
    HANDLE h = open(u"C:\\src.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    const uint64_t y2020 = 132223104000000000ull;
    FILETIME t = {DWORD(y2020), DWORD(y2020 >> 32)};
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);

    EXPECT_TRUE(CopyFileW(u"C:\\SRC.bin", u"C:\\dst.bin", TRUE));
    EXPECT_EQ(get(u"C:\\dst.bin"), get(u"C:\\src.bin"));
    h = open(u"C:\\dst.bin", GENERIC_READ, 0, OPEN_EXISTING);
    FILETIME w = {};
    GetFileTime(h, nullptr, nullptr, &w);
    EXPECT_EQ((uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime, y2020);
    CloseHandle(h);

    put(u"C:\\dst.bin", "old");
    EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\dst.bin", TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(get(u"C:\\dst.bin"), "old");

    plat::fault_disk_full(true);
    EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\dst.bin", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(get(u"C:\\dst.bin"), "old") << "a full disk loses nothing";
    EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\new.bin", FALSE));
    EXPECT_FALSE(exists(u"C:\\new.bin"));
    plat::fault_disk_full(false);

    EXPECT_TRUE(CopyFileW(u"C:\\src.bin", u"C:\\dst.bin", FALSE));
    EXPECT_EQ(get(u"C:\\dst.bin").size(), 200003u);
    EXPECT_FALSE(CopyFileW(u"C:\\none.bin", u"C:\\x.bin", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\src.bin", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << "a file is never copied onto itself";
    EXPECT_EQ(get(u"C:\\src.bin").size(), 200003u);

    h = open(u"C:\\src.bin", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\y.bin", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
}

TEST_F(FileOps, DirectoriesAreCreatedAndRemovedOneLevelAtATime)
{
    EXPECT_TRUE(CreateDirectoryW(u"C:\\DEBUG_LOG", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"c:\\debug_log", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(CreateDirectoryW(u"C:\\DEBUG_LOG\\WIN2000", nullptr));
    put(u"C:\\file.txt", "x");
    EXPECT_FALSE(CreateDirectoryW(u"C:\\file.txt", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

    const NameErrorCase refusals[] = {
        {u"C:\\DEBUG_LOG", ERROR_DIR_NOT_EMPTY},
        {u"C:\\file.txt", ERROR_DIRECTORY},
        {u"C:\\none", ERROR_FILE_NOT_FOUND},
        {u"C:\\none\\deeper", ERROR_PATH_NOT_FOUND},
        {u"C:\\", ERROR_ACCESS_DENIED},
    };
    for (const auto &c : refusals) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - refusals));
        EXPECT_FALSE(RemoveDirectoryW(c.path));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(RemoveDirectoryW(u"C:\\debug_log\\win2000"));
    EXPECT_TRUE(RemoveDirectoryW(u"C:\\DEBUG_LOG"));
    EXPECT_EQ(GetFileAttributesW(u"C:\\DEBUG_LOG"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileOps, AttributesOfFilesAndFolders)
{
    put(u"C:\\dir\\f.txt", "x");
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(u"C:\\DIR\\F.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributesW(u"C:\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(SetFileAttributesW(u"C:\\dir\\f.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir\\f.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(SetFileAttributesW(u"C:\\dir\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir\\f.txt"), FILE_ATTRIBUTE_ARCHIVE);

    const NameErrorCase missing[] = {
        {u"C:\\dir\\none.txt", ERROR_FILE_NOT_FOUND},
        {u"C:\\none\\f.txt", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\f?.txt", ERROR_INVALID_NAME},
    };
    for (const auto &c : missing) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - missing));
        EXPECT_EQ(GetFileAttributesW(c.path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(SetFileAttributesW(c.path, FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(GetLastError(), c.error);
    }
}

} // namespace
