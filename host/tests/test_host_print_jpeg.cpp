// `tarvel print FILE.jpg`: a photograph made with libjpeg printed on one
// page, through the driver's JPEG escape (the file's bytes unchanged in
// the job) and decoded as an image; both fitted to the printable area with
// their proportions, and every bad file or option refused with a message.
#include "host_job_test.h"
#include "jpeg_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using jpeg_test::JpegSpec;

class HostPrintJpeg : public HostJobTest {
protected:
    HostPrintJpeg() : HostJobTest("tarvel-jpeg-") {}

    std::string write(const std::string &name, const std::vector<uint8_t> &bytes)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return path;
    }
    static std::vector<const pxllist::Record *> ops(const pxllist::Listing &l, uint8_t op)
    {
        std::vector<const pxllist::Record *> found;
        for (const auto &r : l.records)
            if (r.kind == pxllist::RecordKind::kOperator && r.op == op)
                found.push_back(&r);
        return found;
    }
    /* The destination size of every BeginImage. */
    static std::vector<std::pair<double, double>> sizes(const pxllist::Listing &l)
    {
        std::vector<std::pair<double, double>> s;
        for (const pxllist::Record *r : ops(l, pxllist::op::kBeginImage))
            if (const pxllist::Attribute *a = pxllist::FindAttribute(*r, pxllist::attr::kDestinationSize);
                a && a->values.size() == 2)
                s.emplace_back(a->values[0], a->values[1]);
        return s;
    }
};

TEST_F(HostPrintJpeg, ThePassThroughCarriesTheFileUnchanged)
{
    for (const JpegSpec &spec : {JpegSpec{371, 230, 3, true, 1, 85, false}, JpegSpec{120, 301, 1, false, 0, 85, false}}) {
        const auto file = jpeg_test::makeJpeg(spec);
        const std::string path = write("photo.jpg", file);
        int status = -1;
        const std::string out = print("--paper A4 --pass-through " + path, &status);
        ASSERT_EQ(status, 0) << out;
        EXPECT_NE(out.find("undecoded"), std::string::npos) << out;
        const pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok);
        EXPECT_EQ(ops(l, pxllist::op::kBeginPage).size(), 1u);
        auto reads = ops(l, pxllist::op::kReadImage);
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0]->data, file);
        auto s = sizes(l);
        ASSERT_EQ(s.size(), 1u);
        /* fitted: the proportions kept, one side filling the printable area of A4 at 600 dpi (4.2 mm margins) */
        EXPECT_NEAR(s[0].first / s[0].second, double(spec.width) / spec.height, 0.01);
        const double fill = std::max(s[0].first / 4762, s[0].second / 6817);
        EXPECT_GT(fill, 0.995) << s[0].first << " x " << s[0].second;
        EXPECT_LT(fill, 1.005) << s[0].first << " x " << s[0].second;
    }
}

TEST_F(HostPrintJpeg, WithoutThePassThroughThePhotoIsDecoded)
{
    const JpegSpec spec{371, 230, 3, false, 0, 85, false};
    const std::string path = write("photo.jpg", jpeg_test::makeJpeg(spec));
    int status = -1;
    const std::string out = print(path, &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("decoded, as an image"), std::string::npos) << out;
    const pxllist::Listing l = listed();
    ASSERT_TRUE(l.ok);
    ASSERT_FALSE(ops(l, pxllist::op::kBeginImage).empty());
    for (const auto &s : sizes(l))
        EXPECT_NEAR(s.first / s.second, double(spec.width) / spec.height, 0.05);
}

TEST_F(HostPrintJpeg, BadFilesAndOptionsAreRefused)
{
    const auto good = jpeg_test::makeJpeg(JpegSpec{});
    const std::string photo = write("photo.jpg", good);
    const std::string cut = write("cut.jpg", std::vector<uint8_t>(good.begin(), good.end() - 30));
    const std::string text = write("notes.jpg", {'h', 'e', 'l', 'l', 'o'});
    const std::string empty = write("empty.jpg", {});
    /* the scan ends early (an end-of-image marker in its middle) and a scan garbled: the headers read well */
    size_t sos = 0;
    while (sos + 3 < good.size() && !(good[sos] == 0xFF && good[sos + 1] == 0xDA))
        sos++;
    ASSERT_LT(sos + 3, good.size());
    const size_t scan = sos + 2 + size_t(good[sos + 2] << 8 | good[sos + 3]);
    const size_t middle = scan + (good.size() - 2 - scan) / 2;
    auto ended = std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(middle));
    ended.push_back(0xFF);
    ended.push_back(0xD9);
    const std::string endedEarly = write("ended.jpg", ended);
    auto garbled = good;
    for (size_t i = middle; i < middle + 16 && i + 2 < garbled.size(); i++)
        garbled[i] = uint8_t(0xD0 + i % 8); /* restart markers' numbers where no marker may be */
    for (size_t i = middle; i < middle + 16 && i + 2 < garbled.size(); i += 2)
        garbled[i] = 0xFF;
    const std::string garbledScan = write("garbled.jpg", garbled);
    struct Row {
        std::string options;
        int status;
        const char *message;
    } rows[] = {
        {(dir / "missing.jpg").string(), 1, "cannot open"},
        {text, 1, "not a JPEG file"},
        {empty, 1, "is empty"},
        {cut, 1, "cannot be decoded"},
        {"--pass-through " + cut, 1, "cannot be sent undecoded: the JPEG file is damaged: "},
        {"--pass-through " + endedEarly, 1, "cannot be sent undecoded: the JPEG file is damaged: "},
        {"--pass-through " + garbledScan, 1, "cannot be sent undecoded: the JPEG file is damaged: "},
        {endedEarly, 1, "cannot be decoded"},
        {"--pass-through", 2, "needs a JPEG file"},
        {photo + " " + photo, 2, "one JPEG file"},
        {"--pages 2 " + photo, 2, "one page"},
    };
    for (const Row &r : rows) {
        int status = -1;
        const std::string out = print(r.options, &status);
        EXPECT_EQ(status, r.status) << r.options << "\n" << out;
        EXPECT_NE(out.find(r.message), std::string::npos) << r.options << "\n" << out;
    }
}

} // namespace
