// `tarvel print` with a model whose job-language records are damaged: the
// printer installs, but no job can get its PJL header; the job fails with
// the driver's real error in words and a non-zero exit, never "error 0".
// The damaged model is the standard colour printer with every job-language
// record cut to one byte, laid out by the model writer into a driver folder
// of its own beside links to the build's.
#include "host_driver_folder.h"
#include "host_test_support.h"

#include <standard_models.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class HostDamagedModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarvel-damaged-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
        m.fileName = "TARVEL9.DDD";
        m.companionName = "TARVEL9.DDC";
        int damaged = 0;
        for (mw::Record &r : m.records)
            if (r.kind == DDD_KIND_JOB_LINE) {
                r.body.resize(1); /* the record's texts and conditions are gone */
                ++damaged;
            }
        ASSERT_GT(damaged, 0);
        /* The build's driver folder, seen through links, plus the damaged pair. */
        const std::string error = make_driver_folder(dir / "driver", m);
        ASSERT_EQ(error, "");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string print(const std::string &options, int *status)
    {
        ScopedEnv driver("TARVEL_DRIVER_DIR", (dir / "driver").string());
        return run("--machine " + (dir / "machine").string() + " print -o " + (dir / "job.prn").string() + " " +
                       options,
                   status);
    }

    fs::path dir;
};

TEST_F(HostDamagedModel, EveryJobFailsWithTheRealErrorAndANonZeroExit)
{
    for (const char *options : {"--printer Damaged --model TARVEL9.DDD", "--printer Damaged --pages 2"}) {
        SCOPED_TRACE(options);
        int status = -1;
        std::string out = print(options, &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("failed: the data is invalid (error 13"), std::string::npos) << out;
        EXPECT_EQ(out.find("(error 0)"), std::string::npos) << out;
    }
    /* The standard model on the same folder still prints. */
    int status = -1;
    std::string out = print("--printer Whole --model TARVEL1.DDD", &status);
    EXPECT_EQ(status, 0) << out;
}

} // namespace
