// Readers of the driver's files under failed reads (plat::fault_fail_read_after):
// the model data pair, the document-property file and the fax front end's
// hand-over file each fail cleanly, hand nothing half-read out, free what
// they took, and lose nothing: the file is there for the next try, which
// reads it whole.
#include <tarvel/model_data/model_file.h>
#include <tarvel/stores/jwm_record.h>
#include <tarvel/stores/pdt_blob.h>

#include <plat/fault.h>
#include <plat/file.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat_test/fresh_machine.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ReadFaults : public plat_test::FreshMachineTest {
protected:
    void SetUp() override
    {
        FreshMachineTest::SetUp();
        fs::create_directories(root / "c");
        ASSERT_TRUE(CreateDirectoryW(u"C:\\Files", nullptr));
    }
    /* Writes `bytes` to the Windows path `path` of the machine. */
    static void put(const char16_t *path, const std::vector<BYTE> &bytes)
    {
        std::string real;
        ASSERT_TRUE(plat::map_path(path, real));
        std::ofstream(real, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    std::streamsize(bytes.size()));
    }
    static bool exists(const char16_t *path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
};

std::vector<BYTE> built_model_file(const char *name)
{
    const char *dir = std::getenv("TARVEL_DRIVER_DIR");
    std::ifstream in(fs::path(dir ? dir : ".") / name, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(ReadFaults, ModelDataPair)
{
    const std::vector<BYTE> main = built_model_file("TARVEL1.DDD"), companion = built_model_file("TARVEL1.DDC");
    ASSERT_FALSE(main.empty());
    ASSERT_FALSE(companion.empty());
    put(u"C:\\Files\\TARVEL1.DDD", main);
    put(u"C:\\Files\\TARVEL1.DDC", companion);
    /* Each read of the open fails in turn: the main file's, then the companion's. */
    for (unsigned n = 1; n <= 2; n++) {
        SCOPED_TRACE(n);
        plat::fault_fail_read_after(n);
        ModelFileReader m{}, c{};
        EXPECT_NE(DDD_OpenModelFile(u"C:\\Files\\TARVEL1.DDD", &m, &c), DDD_OK);
        EXPECT_EQ(m.data, nullptr);
        EXPECT_EQ(c.data, nullptr);
        plat::fault_fail_read_after(0);
    }
    ModelFileReader m{}, c{};
    ASSERT_EQ(DDD_OpenModelFile(u"C:\\Files\\TARVEL1.DDD", &m, &c), DDD_OK);
    EXPECT_EQ(m.length, main.size());
    EXPECT_EQ(c.length, companion.size());
    DDD_CloseFiles(&m, &c);
}

TEST_F(ReadFaults, DocumentPropertyFile)
{
    const std::vector<BYTE> bytes(300, 0x5A);
    put(u"C:\\Files\\docprop.dat", bytes);
    plat::fault_fail_read_after(1);
    BYTE *image = reinterpret_cast<BYTE *>(1);
    DWORD size = 7;
    EXPECT_FALSE(PDT_ReadDeviceFile(u"C:\\Files\\docprop.dat", &image, &size));
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(PDT_ReadDeviceFile(u"C:\\Files\\docprop.dat", &image, &size));
    EXPECT_EQ(std::vector<BYTE>(image, image + size), bytes);
    GlobalFree(image);
}

TEST_F(ReadFaults, FaxHandOverFileStaysForTheNextTry)
{
    std::vector<BYTE> bytes(2 * JWM_FAX_TEXT_SIZE, 0);
    std::memcpy(bytes.data(), "From Sales", 10);
    std::memcpy(bytes.data() + JWM_FAX_TEXT_SIZE, "Offer", 5);
    put(u"C:\\Files\\job.cw", bytes);
    CHAR first[JWM_FAX_TEXT_SIZE], second[JWM_FAX_TEXT_SIZE];
    plat::fault_fail_read_after(1);
    EXPECT_FALSE(JWM_ReadHandOverFile(u"C:\\Files\\job.cw", first, second));
    EXPECT_TRUE(exists(u"C:\\Files\\job.cw")) << "a failed read loses nothing";
    ASSERT_TRUE(JWM_ReadHandOverFile(u"C:\\Files\\job.cw", first, second));
    EXPECT_STREQ(first, "From Sales");
    EXPECT_STREQ(second, "Offer");
    EXPECT_FALSE(exists(u"C:\\Files\\job.cw")) << "read once, then gone";
}

} // namespace
