// `tarvel print --form-create` and `--form`: a job that makes a form file
// prints nothing; a later job prints its pages over the form, defined once
// and run on each page; bad values are refused with a message.
#include "host_job_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class HostPrintForms : public HostJobTest {
protected:
    HostPrintForms() : HostJobTest("tarvel-forms-") {}

    /* The machine's form files named `name` (any case), wherever the machine keeps them. */
    std::vector<std::filesystem::path> formFiles(const std::string &name) const
    {
        std::vector<std::filesystem::path> found;
        for (const auto &e : std::filesystem::recursive_directory_iterator(dir / "machine")) {
            std::string file = e.path().filename().string();
            for (char &c : file)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            if (file == name)
                found.push_back(e.path());
        }
        return found;
    }

    static int count(const pxllist::Listing &l, uint8_t op)
    {
        int n = 0;
        for (const auto &r : l.records)
            n += r.kind == pxllist::RecordKind::kOperator && r.depth == 0 && r.op == op;
        return n;
    }
};

TEST_F(HostPrintForms, AFormIsMadeThenPrintedUnderEveryPage)
{
    int status = -1;
    std::string out = print("--pages 2 --form-create Letterhead", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(bytesOf(job), "") << "a form-creation job prints nothing";
    auto forms = formFiles("letterhead.frm");
    ASSERT_EQ(forms.size(), 1u) << "under the work folder";
    const std::string form = bytesOf(forms[0]);
    ASSERT_FALSE(form.empty());
    pxllist::Listing body;
    pxllist::Options options;
    options.stream_body = true;
    EXPECT_TRUE(pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(form.data()), form.size()),
                                 options, &body))
        << pxllist::FormatError(body.error);

    out = print("--pages 3 --form Letterhead", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string bytes = bytesOf(job);
    pxllist::Listing l;
    ASSERT_TRUE(pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
                                 {}, &l))
        << pxllist::FormatError(l.error);
    EXPECT_EQ(count(l, pxllist::op::kBeginStream), 1);
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 3);
    EXPECT_EQ(count(l, pxllist::op::kExecStream), 3);

    /* a form that does not exist is refused: the pages never print without it unsaid */
    const std::string before = bytesOf(job);
    out = print("--pages 1 --form 'C:\\NoSuchFolder\\Nothing'", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("the form 'C:\\NoSuchFolder\\Nothing' cannot be printed: cannot open '"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Nothing.frm': No such file or directory"), std::string::npos) << out;
    EXPECT_EQ(bytesOf(job), before) << "the job file is as it was";
}

TEST_F(HostPrintForms, DamagedFormsAreRefusedWithTheirReasons)
{
    int status = -1;
    std::string out = print("--pages 1 --form-create Good", &status);
    ASSERT_EQ(status, 0) << out;
    const auto found = formFiles("good.frm");
    ASSERT_EQ(found.size(), 1u);
    const std::string good = bytesOf(found[0]);
    ASSERT_GT(good.size(), 40u);
    const std::filesystem::path bad = found[0].parent_path() / "Bad.frm";
    struct Case {
        const char *what;
        std::string bytes;
        const char *message;
    } const cases[] = {
        {"empty", "", "it is empty"},
        {"not a stream", "plain text, not a form\n", "it is damaged: "},
        {"cut inside its last operator's attributes", good.substr(0, good.size() - 1), "it is damaged: "},
        {"cut in half", good.substr(0, good.size() / 2), "it is damaged: "},
        {"an escape in the stream", good + "\x1b%-12345X@PJL\n", "it is damaged: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(bad, std::ios::binary | std::ios::trunc) << c.bytes;
        out = print("--pages 1 --form Bad", &status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("the form 'Bad' (" + bad.string() + ") cannot be printed: "), std::string::npos) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    /* a form on a network path can neither be made nor read: the machine has no shares */
    for (const char *option : {"--form-create", "--form"}) {
        out = print(std::string("--pages 1 ") + option + " '\\\\server\\share\\f'", &status);
        EXPECT_EQ(status, 2) << out;
        EXPECT_NE(out.find("the machine has no network shares"), std::string::npos) << out;
    }
}

TEST_F(HostPrintForms, BadValuesAreRefused)
{
    const std::string refused[] = {"--form",           "--form ''",         "--form-create ''",
                                   "--form a --form-create b", "--form a --form b", "--form " + std::string(300, 'x')};
    for (const std::string &options : refused) {
        int status = -1;
        std::string out = print(options, &status);
        EXPECT_EQ(status, 2) << options;
        EXPECT_NE(out.find("tarvel print:"), std::string::npos) << options << "\n" << out;
    }
}

} // namespace
