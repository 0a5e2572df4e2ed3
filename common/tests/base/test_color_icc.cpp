// The ICC profile header check: every answer, in the order the checks are
// made, each from a hand-built header written into the test's own machine
// folder and read back through the run-time library's file functions.
#include "icc_header.h"

#include <plat/crt_io.h>
#include <plat/machine.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Header {
    const char *cls;   /* offset 12 */
    const char *space; /* offset 16 */
    const char *pcs;   /* offset 20 */
    const char *sig;   /* offset 36 */
};

/* A profile of `size` bytes: zeros but for the four signatures. */
std::vector<char> profile(const Header &h, size_t size = 132)
{
    std::vector<char> b(size < 40 ? 40 : size, 0);
    std::memcpy(&b[12], h.cls, 4);
    std::memcpy(&b[16], h.space, 4);
    std::memcpy(&b[20], h.pcs, 4);
    std::memcpy(&b[36], h.sig, 4);
    b.resize(size);
    return b;
}

} // namespace

class IccHeader : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-icc-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
        fs::create_directories(root / "c" / "Profiles");
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::crt_open_count(), 0) << "the check left the file open";
        plat::machine_reset(root.string());
        fs::remove_all(root);
    }
    /* Writes `bytes` as C:\Profiles\<name> and answers its ANSI path. */
    std::string put(const std::string &name, const std::vector<char> &bytes)
    {
        std::ofstream(root / "c" / "Profiles" / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return "C:\\Profiles\\" + name;
    }
    fs::path root;
};

TEST_F(IccHeader, AnswersInCheckOrder)
{
    const Header good = {"mntr", "RGB ", "XYZ ", "acsp"};
    struct Case {
        const char *what;
        Header h;
        size_t size;
        int rc;
    } cases[] = {
        {"monitor, XYZ", good, 132, 0},
        {"scanner, Lab", {"scnr", "RGB ", "Lab ", "acsp"}, 132, 0},
        {"monitor, Lab", {"mntr", "RGB ", "Lab ", "acsp"}, 132, 0},
        {"longer file", good, 600, 0},
        {"131 bytes", good, 131, -3},
        {"40 bytes", good, 40, -3},
        {"empty file", good, 0, -3},
        {"signature", {"mntr", "RGB ", "XYZ ", "ACSP"}, 132, -5},
        {"signature before everything", {"prtr", "CMYK", "Luv ", "xxxx"}, 132, -5},
        {"colour space", {"mntr", "CMYK", "XYZ ", "acsp"}, 132, -6},
        {"colour space, case", {"mntr", "rgb ", "XYZ ", "acsp"}, 132, -6},
        {"colour space before connection space", {"prtr", "GRAY", "Luv ", "acsp"}, 132, -6},
        {"connection space", {"mntr", "RGB ", "Luv ", "acsp"}, 132, -7},
        {"connection space before class", {"prtr", "RGB ", "Luv ", "acsp"}, 132, -7},
        {"class printer", {"prtr", "RGB ", "XYZ ", "acsp"}, 132, -6},
        {"class link", {"link", "RGB ", "Lab ", "acsp"}, 132, -6},
    };
    int i = 0;
    for (const auto &c : cases) {
        std::string path = put("p" + std::to_string(i++) + ".icc", profile(c.h, c.size));
        EXPECT_EQ(CLU_CheckIccProfileHeader(path.c_str()), c.rc) << c.what;
    }
}

TEST_F(IccHeader, PathAndOpenFailures)
{
    EXPECT_EQ(CLU_CheckIccProfileHeader(nullptr), -1);
    EXPECT_EQ(CLU_CheckIccProfileHeader(""), -1);
    EXPECT_EQ(CLU_CheckIccProfileHeader("C:\\Profiles\\missing.icc"), -2);
    EXPECT_EQ(CLU_CheckIccProfileHeader("C:\\Profiles"), -2) << "a folder";
}

TEST_F(IccHeader, ReadAndCloseFailures)
{
    std::string good = put("good.icc", profile({"mntr", "RGB ", "XYZ ", "acsp"}));
    std::string bad = put("bad.icc", profile({"mntr", "RGB ", "Luv ", "acsp"}));

    plat::crt_fail_read(1);
    EXPECT_EQ(CLU_CheckIccProfileHeader(good.c_str()), -3) << "a read error";

    plat::crt_fail_close(1);
    EXPECT_EQ(CLU_CheckIccProfileHeader(good.c_str()), -4);
    plat::crt_fail_close(1);
    EXPECT_EQ(CLU_CheckIccProfileHeader(bad.c_str()), -7) << "a failed check comes before a failed close";
    EXPECT_EQ(CLU_CheckIccProfileHeader(good.c_str()), 0);
}
