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

    /* a form that does not exist: the pages print without it */
    out = print("--pages 1 --form 'C:\\NoSuchFolder\\Nothing'", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string plain = bytesOf(job);
    ASSERT_TRUE(pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(plain.data()), plain.size()),
                                 {}, &l));
    EXPECT_EQ(count(l, pxllist::op::kExecStream), 0);
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
