// `tarvel print` with a model whose job-language records are damaged: the
// printer installs, but no job can get its PJL header; the job fails with
// the driver's real error in words and a non-zero exit, never "error 0".
// The damaged model is the standard colour printer with every job-language
// record cut to one byte, laid out by the model writer into a driver folder
// of its own beside links to the build's.
#include "host_test_support.h"

#include <standard_models.h>

#include <modelwriter/model_writer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/* Sets an environment variable for the holder's life, then puts the old value back. */
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name)
    {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

class HostDamagedModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarvel-damaged-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "driver");
        /* The build's driver folder, seen through links, plus the damaged pair. */
        const char *built = std::getenv("TARVEL_DRIVER_DIR");
        ASSERT_NE(built, nullptr);
        for (const auto &entry : fs::directory_iterator(built))
            if (entry.is_regular_file())
                fs::create_symlink(fs::absolute(entry.path()), dir / "driver" / entry.path().filename());
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
        mw::Bytes mainFile, companion;
        std::string error;
        ASSERT_TRUE(mw::build(m, mainFile, companion, error, false)) << error;
        for (const auto &[name, bytes] : {std::pair{m.fileName, &mainFile}, std::pair{m.companionName, &companion}}) {
            FILE *f = std::fopen((dir / "driver" / name).c_str(), "wb");
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(std::fwrite(bytes->data(), 1, bytes->size(), f), bytes->size());
            std::fclose(f);
        }
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
