// A `tarvel print` test: its own machine folder and job file, printing, and
// the job read back through the lister.
#ifndef HOST_TESTS_HOST_JOB_TEST_H
#define HOST_TESTS_HOST_JOB_TEST_H

#include "pxllist/pxllist.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

class HostJobTest : public ::testing::Test {
protected:
    /* `prefix` names the test's folder under the temporary directory. */
    explicit HostJobTest(const char *prefix) : prefix_(prefix) {}

    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / (prefix_ + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        job = (dir / "job.prn").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    /* `tarvel print` on the test's machine folder into the job file. */
    std::string print(const std::string &options, int *status)
    {
        return run("--machine " + (dir / "machine").string() + " print -o " + job + " " + options, status);
    }

    static std::string bytesOf(const std::filesystem::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string jobBytes() const { return bytesOf(job); }

    /* The job's records, checked by the lister. */
    pxllist::Listing listed() const
    {
        const std::string bytes = jobBytes();
        pxllist::Listing l;
        EXPECT_TRUE(pxllist::ListJob(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), {}, &l))
            << pxllist::FormatError(l.error);
        return l;
    }

    /* The operators of each page, BeginPage to EndPage. */
    static std::vector<std::vector<const pxllist::Record *>> pages(const pxllist::Listing &l)
    {
        std::vector<std::vector<const pxllist::Record *>> out;
        bool in = false;
        for (const auto &r : l.records) {
            if (r.kind != pxllist::RecordKind::kOperator)
                continue;
            if (r.op == pxllist::op::kBeginPage) {
                out.emplace_back();
                in = true;
            }
            if (in)
                out.back().push_back(&r);
            if (r.op == pxllist::op::kEndPage)
                in = false;
        }
        return out;
    }
    /* How many of a page's operators are `code`. */
    static size_t count(const std::vector<const pxllist::Record *> &page, uint8_t code)
    {
        return size_t(std::count_if(page.begin(), page.end(), [&](const pxllist::Record *r) { return r->op == code; }));
    }

    std::filesystem::path dir;
    std::string job;

private:
    std::string prefix_;
};

#endif /* HOST_TESTS_HOST_JOB_TEST_H */
