// The run-time library's low-level file functions over the machine's paths:
// reading, seeking, the error answers, refused descriptors and the injected
// failures.
#include <plat/codepage.h>
#include <plat/crt_io.h>
#include <plat/machine.h>

#include <gtest/gtest.h>

#include <errno.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

class CrtIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-crt-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
        fs::create_directories(root / "c" / "Data");
        std::ofstream(root / "c" / "Data" / "Ten.bin", std::ios::binary) << "0123456789";
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::crt_open_count(), 0) << "a descriptor was left open";
        plat::machine_reset(root.string());
        fs::remove_all(root);
    }
    fs::path root;
};

TEST_F(CrtIo, ReadsAndSeeksThroughTheWindowsPath)
{
    int fd = _open("C:\\DATA\\ten.BIN", _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plat::crt_open_count(), 1);
    char buf[16] = {};
    EXPECT_EQ(_read(fd, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(_lseek(fd, 0, SEEK_CUR), 4);
    EXPECT_EQ(_lseek(fd, -3, SEEK_END), 7);
    EXPECT_EQ(_read(fd, buf, 16), 3) << "a short file gives what it has";
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(_read(fd, buf, 16), 0) << "end of file";
    EXPECT_EQ(_lseek(fd, 2, SEEK_SET), 2);
    EXPECT_EQ(_read(fd, buf, 1), 1);
    EXPECT_EQ(buf[0], '2');
    EXPECT_EQ(_close(fd), 0);
    EXPECT_EQ(plat::crt_open_count(), 0);

    fd = _wopen(u"c:/data/TEN.bin", _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_read(fd, buf, 10), 10);
    EXPECT_EQ(_close(fd), 0);
}

TEST_F(CrtIo, OpenFailures)
{
    fs::create_directories(root / "c" / "Folder");
    struct Case {
        const char *path;
        int oflag;
        int err;
    } cases[] = {
        {"C:\\Data\\missing.bin", _O_RDONLY, ENOENT},
        {"C:\\Nowhere\\x.bin", _O_RDONLY, ENOENT},
        {"C:\\Data\\Ten.bin\\x", _O_RDONLY, ENOENT},
        {"", _O_RDONLY, ENOENT},
        {"\\\\server\\share\\x.bin", _O_RDONLY, ENOENT},
        {"C:\\Folder", _O_RDONLY, EACCES},
        {"C:\\Data\\Ten.bin", _O_WRONLY | _O_RDWR, EINVAL},
        {"C:\\Data\\Ten.bin", _O_TEXT | _O_BINARY, EINVAL},
        {"C:\\Data\\Ten.bin", 0x10000, EINVAL},
    };
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(_open(c.path, c.oflag), -1) << c.path;
        EXPECT_EQ(errno, c.err) << c.path;
    }
    errno = 0;
    EXPECT_EQ(_open(nullptr, _O_RDONLY), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_wopen(nullptr, _O_RDONLY), -1);
    EXPECT_EQ(_open("C:\\Data\\Ten.bin", _O_CREAT | _O_EXCL | _O_WRONLY, _S_IREAD | _S_IWRITE), -1);
    EXPECT_EQ(errno, EEXIST);
}

TEST_F(CrtIo, AnsiPathsFollowTheAnsiCodePage)
{
    fs::create_directories(root / "c" / "Data");
    std::ofstream(root / "c" / "Data" / "Caf\xC3\xA9.bin") << "x";
    int fd = _open("C:\\Data\\Caf\xE9.bin", _O_RDONLY); /* 0xE9 is U+00E9 in code page 1252 */
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_close(fd), 0);
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    errno = 0;
    EXPECT_EQ(_open("C:\\Data\\Caf\x81", _O_RDONLY), -1) << "a lead byte with no trail byte";
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(CrtIo, CreatesBelowTheMachineRoot)
{
    int fd = _open("C:\\Data\\new.bin", _O_CREAT | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    char buf[4];
    EXPECT_EQ(_read(fd, buf, 4), 0);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_TRUE(fs::exists(root / "c" / "Data" / "new.bin"));
}

TEST_F(CrtIo, RefusesDescriptorsItDidNotOpen)
{
    /* Descriptor 0 exists in the process, but was not opened here. */
    char buf[4];
    errno = 0;
    EXPECT_EQ(_read(0, buf, 1), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(_lseek(0, 0, SEEK_SET), -1);
    EXPECT_EQ(_close(0), -1);
    EXPECT_EQ(_close(-1), -1);
    EXPECT_EQ(errno, EBADF);

    int fd = _open("C:\\Data\\Ten.bin", _O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_close(fd), 0);
    errno = 0;
    EXPECT_EQ(_close(fd), -1) << "closed twice";
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(_read(fd, buf, 1), -1);
}

TEST_F(CrtIo, ArgumentAndSeekErrorsKeepThePosition)
{
    int fd = _open("C:\\Data\\Ten.bin", _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    char buf[4];
    errno = 0;
    EXPECT_EQ(_read(fd, nullptr, 1), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_read(fd, buf, 0x80000000u), -1);
    EXPECT_EQ(_lseek(fd, 5, SEEK_SET), 5);
    EXPECT_EQ(_lseek(fd, 0, 3), -1) << "unknown origin";
    EXPECT_EQ(_lseek(fd, -6, SEEK_CUR), -1) << "before the start";
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_lseek(fd, 0x7FFFFFFF, SEEK_END), -1) << "beyond LONG";
    EXPECT_EQ(_lseek(fd, 0, SEEK_CUR), 5);
    EXPECT_EQ(_close(fd), 0);
}

TEST_F(CrtIo, InjectedFailures)
{
    int fd = _open("C:\\Data\\Ten.bin", _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    char buf[4];
    plat::crt_fail_read(1);
    errno = 0;
    EXPECT_EQ(_read(fd, buf, 4), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(_read(fd, buf, 4), 4) << "one failure only";

    plat::crt_fail_close(1);
    EXPECT_EQ(_close(fd), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(plat::crt_open_count(), 0) << "a failed close still releases the descriptor";

    plat::crt_fail_read(3);
    plat::crt_fail_close(3);
    plat::machine_reset(root.string());
    fd = _open("C:\\Data\\Ten.bin", _O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_read(fd, buf, 4), 4) << "machine_reset clears the injections";
    EXPECT_EQ(_close(fd), 0);
}

TEST_F(CrtIo, MachineResetClosesWhatWasLeftOpen)
{
    ASSERT_GE(_open("C:\\Data\\Ten.bin", _O_RDONLY), 0);
    ASSERT_GE(_open("C:\\Data\\Ten.bin", _O_RDONLY), 0);
    EXPECT_EQ(plat::crt_open_count(), 2);
    plat::machine_reset(root.string());
    EXPECT_EQ(plat::crt_open_count(), 0);
}
