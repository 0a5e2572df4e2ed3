// `tarvel print --copy-sets FILE`: a copy-set job of three data sets on a
// printer of a copy-set model makes three job files, each with its own
// cover before the document and listing cleanly once the cover's records
// are cut out, and the data file is gone after; bad data files and printers
// that do not print copy sets are refused with a message and a non-zero
// exit, the file kept.  The copy-set model is the printer-and-fax model made
// a class-2 model by the model writer, in a driver folder of its own beside
// links to the build's.
#include "host_driver_folder.h"
#include "host_job_test.h"

#include "copy_set_test_support.h"

#include <cstdlib>

namespace {

namespace fs = std::filesystem;

class HostPrintCopySets : public HostJobTest {
protected:
    HostPrintCopySets() : HostJobTest("tarvel-copysets-") {}

    void SetUp() override
    {
        HostJobTest::SetUp();
        const std::string error = make_driver_folder(dir / "driver", copy_set_test::copySetModel());
        ASSERT_EQ(error, "");
        data = (dir / "sets.dat").string();
    }

    static void writeBytes(const fs::path &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    void writeData(const std::vector<BYTE> &bytes) { writeBytes(data, std::string(bytes.begin(), bytes.end())); }

    std::string printWith(const std::string &options, int *status)
    {
        ScopedEnv driver("TARVEL_DRIVER_DIR", (dir / "driver").string());
        return print(options, status);
    }

    std::string data;
};

/*
 * The job with the cover cut out: from its "AR" head to the comment of the
 * event that ends the sheet-data page (a byte array with its length,
 * then its attribute and the comment operator).
 */
std::string withoutCover(const std::string &bytes, std::string *cover)
{
    const size_t start = bytes.find("ARAK");
    const size_t event = bytes.find("EndPage of Logical", start);
    if (start == std::string::npos || event == std::string::npos)
        return bytes;
    for (size_t p = start; p + 3 <= event; p++) {
        /* the array's length as a ubyte (C0) or a uint16 (C1) */
        if (BYTE(bytes[p]) != 0xC8 || (BYTE(bytes[p + 1]) != 0xC0 && BYTE(bytes[p + 1]) != 0xC1))
            continue;
        const bool wide = BYTE(bytes[p + 1]) == 0xC1;
        const size_t length = wide ? (BYTE(bytes[p + 2]) | BYTE(bytes[p + 3]) << 8) : BYTE(bytes[p + 2]);
        const size_t end = p + (wide ? 4 : 3) + length;
        if (end + 3 <= bytes.size() && event < end && BYTE(bytes[end]) == 0xF8 && BYTE(bytes[end + 1]) == 0x81 &&
            BYTE(bytes[end + 2]) == 0x47) {
            *cover = bytes.substr(start, p - start);
            return bytes.substr(0, start) + bytes.substr(p);
        }
    }
    return bytes;
}

bool listsCleanly(const std::string &bytes, std::string *why)
{
    pxllist::Listing l;
    const bool ok =
        pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), {}, &l);
    *why = pxllist::FormatError(l.error);
    return ok;
}

TEST_F(HostPrintCopySets, ThreeDataSetsMakeThreeJobFilesAndTheDataFileGoes)
{
    writeData(copy_set_test::sendList(3));
    int status = -1;
    std::string out = printWith("--printer Sets --model COPYSET.DDD --pages 2 --copy-sets " + data, &status);
    ASSERT_EQ(status, 0) << out;
    const std::vector<fs::path> files = {dir / "job.prn", dir / "job-set2.prn", dir / "job-set3.prn"};
    for (size_t i = 0; i < files.size(); i++) {
        SCOPED_TRACE(i);
        if (i > 0) {
            EXPECT_NE(out.find("Copy set printed to " + files[i].string()), std::string::npos) << out;
        }
        const std::string bytes = bytesOf(files[i]);
        ASSERT_FALSE(bytes.empty());
        std::string cover;
        const std::string rest = withoutCover(bytes, &cover);
        ASSERT_FALSE(cover.empty()) << "one sheet-data page with its cover";
        EXPECT_EQ(rest.find("ARAK"), std::string::npos) << "one cover only";
        const std::string address = "0312345" + std::string(1, char('0' + i));
        EXPECT_NE(cover.find(address), std::string::npos) << "the set's own destination";
        std::string why;
        EXPECT_TRUE(listsCleanly(rest, &why)) << why;
    }
    EXPECT_FALSE(fs::exists(dir / "job-set4.prn"));
    EXPECT_FALSE(fs::exists(data)) << "every set went out: the data file goes with the job";
}

TEST_F(HostPrintCopySets, BadDataFilesAreRefusedWithAMessageAndKept)
{
    std::vector<BYTE> good = copy_set_test::sendList(2);
    struct Case {
        const char *what;
        std::vector<BYTE> bytes;
        const char *message;
    } cases[] = {
        {"cut short", std::vector<BYTE>(good.begin(), good.end() - 100), "(cut short)"},
        {"a count past the end", [&] {
             auto b = good;
             b[16] = 5;
             return b;
         }(), "counts 5 destinations, which take 5152 bytes; it holds 2926"},
        {"too many destinations", [&] {
             auto b = good;
             b[16] = 87;
             return b;
         }(), "counts 87 destinations; 1 to 86 are printed"},
        {"no tag", [&] {
             auto b = good;
             b[0] = 'X';
             return b;
         }(), "is not a send list"},
        {"larger than any list", std::vector<BYTE>(70000, 0), "holds 70000 bytes; a send list holds 1442 to 65254"},
        {"a header's worth only", std::vector<BYTE>(good.begin(), good.begin() + 1000), "holds 1000 bytes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeData(c.bytes);
        int status = -1;
        std::string out = printWith("--printer Sets --model COPYSET.DDD --copy-sets " + data, &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_TRUE(fs::exists(data));
    }
    int status = -1;
    std::string out = printWith("--printer Sets --model COPYSET.DDD --copy-sets " + (dir / "absent.dat").string(), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("cannot be read"), std::string::npos) << out;
}

TEST_F(HostPrintCopySets, APrinterThatPrintsNoCopySetsRefusesTheJob)
{
    writeData(copy_set_test::sendList(2));
    int status = -1;
    std::string out = printWith("--copy-sets " + data, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("does not print copy sets"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(data));
}

} // namespace
