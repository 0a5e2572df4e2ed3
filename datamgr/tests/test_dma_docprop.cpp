/*
 * The document-property file: writing the three blocks and the one-time
 * fax list, reading a file back into the caller's buffers, and files that
 * are short, malformed or claim sizes near 2^32.
 */
#include "dma_test_context.h"

#include "plat/fault.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

using dmtest::DmaTest;

constexpr size_t DM_374 = 930, DM_375 = 1188;

/* Blocks laid out by hand: tag, then the numbers little-endian. */
std::vector<BYTE> Tagged(const char *tag, size_t total)
{
    std::vector<BYTE> b(total, 0);
    for (size_t i = 0; i < 7; ++i)
        b[2 * i] = static_cast<BYTE>(tag[i]);
    return b;
}
std::vector<BYTE> ExtensionBlock(DWORD length, DWORD version = 21048)
{
    std::vector<BYTE> b = Tagged("NDEV001", 24 + length);
    plat::store<DWORD>(b.data() + 16, version);
    plat::store<DWORD>(b.data() + 20, length);
    for (DWORD i = 0; i < length; ++i)
        b[24 + i] = static_cast<BYTE>(i * 7);
    return b;
}
std::vector<BYTE> JobBlock(DWORD length)
{
    std::vector<BYTE> b = Tagged("TMBINFO", 20 + length);
    plat::store<DWORD>(b.data() + 16, length);
    for (DWORD i = 0; i < length; ++i)
        b[20 + i] = static_cast<BYTE>(0xA0 + i);
    return b;
}
std::vector<BYTE> FaxBlock(WORD count)
{
    std::vector<BYTE> b = Tagged("DFAX001", 1442 + 742 * size_t(count));
    plat::store<WORD>(b.data() + 16, count);
    for (size_t i = 1442; i < b.size(); ++i)
        b[i] = static_cast<BYTE>(i);
    return b;
}
std::vector<BYTE> Join(std::initializer_list<const std::vector<BYTE> *> parts)
{
    std::vector<BYTE> all;
    for (const std::vector<BYTE> *p : parts)
        all.insert(all.end(), p->begin(), p->end());
    return all;
}

class DmaDocProp : public DmaTest {
protected:
    void SetUp() override
    {
        DmaTest::SetUp();
        ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/c/work'").c_str()), 0);
    }
    void setFile(size_t offset, const std::u16string &name) { PutWide(rec.dm() + offset, name); }

    std::vector<BYTE> fileBytes(const std::u16string &winPath)
    {
        std::ifstream in(realPath(winPath), std::ios::binary);
        return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void writeFile(const std::u16string &winPath, const std::vector<BYTE> &bytes)
    {
        std::ofstream out(realPath(winPath), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(DmaDocProp, ExtractWritesTheBlocksAndReplaceReadsThemBack)
{
    std::vector<BYTE> ext = ExtensionBlock(4292), job = JobBlock(30), faxList = FaxBlock(2);
    setFile(DM_374, u"C:\\work\\doc.dat");
    const DmaDocPropBuffers out = {{ext.data(), DWORD(ext.size())},
                                   {job.data(), DWORD(job.size())},
                                   {faxList.data(), DWORD(faxList.size())}};
    ASSERT_EQ(DMA_ExtractDocProp(&ctx, &out), DMAR_DONE);
    EXPECT_EQ(fileBytes(u"C:\\work\\doc.dat"), Join({&ext, &job, &faxList}));

    /* Too small: -5, the three sizes written back, nothing copied. */
    std::vector<BYTE> e(ext.size(), 0xEE), j(job.size() - 1, 0xEE), f(faxList.size(), 0xEE);
    DmaDocPropBuffers in = {{e.data(), DWORD(e.size())}, {j.data(), DWORD(j.size())}, {f.data(), DWORD(f.size())}};
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &in), DMAR_BUFFER);
    EXPECT_EQ(in.extension.size, 24u + 4292);
    EXPECT_EQ(in.jobInfo.size, 50u);
    EXPECT_EQ(in.faxList.size, 1442u + 2 * 742);
    EXPECT_EQ(e[0], 0xEE);

    j.resize(job.size());
    in.jobInfo.data = j.data();
    ASSERT_EQ(DMA_ReplaceDocProp(&ctx, &in), DMAR_DONE);
    EXPECT_EQ(e, ext);
    EXPECT_EQ(j, job);
    EXPECT_EQ(f, faxList);
}

TEST_F(DmaDocProp, OneTimeFileHoldsTheFaxListOnly)
{
    std::vector<BYTE> faxList = FaxBlock(1);
    setFile(DM_375, u"C:\\work\\once.dat");
    DmaDocPropBuffers out = {{nullptr, 0}, {nullptr, 0}, {faxList.data(), DWORD(faxList.size())}};
    ASSERT_EQ(DMA_ExtractOneTime(&ctx, &out), DMAR_DONE);
    EXPECT_EQ(fileBytes(u"C:\\work\\once.dat"), faxList);
    out.faxList.data = nullptr;
    EXPECT_EQ(DMA_ExtractOneTime(&ctx, &out), DMAR_FAIL);
    EXPECT_EQ(DMA_ExtractOneTime(nullptr, &out), DMAR_FAIL);

    setFile(DM_375, u"C:\\missing\\once.dat");
    out.faxList.data = faxList.data();
    EXPECT_EQ(DMA_ExtractOneTime(&ctx, &out), DMAR_CREATE_ONE_TIME);
    setFile(DM_375, u"");
    EXPECT_EQ(DMA_ExtractOneTime(&ctx, &out), DMAR_DONE);
}

TEST_F(DmaDocProp, FailedWritesAndAllocationsAreReported)
{
    std::vector<BYTE> ext = ExtensionBlock(10), job = JobBlock(4), faxList = FaxBlock(0);
    const DmaDocPropBuffers bufs = {{ext.data(), DWORD(ext.size())},
                                    {job.data(), DWORD(job.size())},
                                    {faxList.data(), DWORD(faxList.size())}};
    setFile(DM_374, u"C:\\work\\doc.dat");
    setFile(DM_375, u"C:\\work\\once.dat");
    plat::fault_fail_write_after(2); /* the job block */
    EXPECT_EQ(DMA_ExtractDocProp(&ctx, &bufs), DMAR_WRITE);
    plat::fault_short_write_after(3, 100); /* the fax list, cut short */
    EXPECT_EQ(DMA_ExtractDocProp(&ctx, &bufs), DMAR_WRITE);
    plat::fault_disk_full(true);
    EXPECT_EQ(DMA_ExtractOneTime(&ctx, &bufs), DMAR_WRITE_ONE_TIME);
    plat::fault_disk_full(false);

    ASSERT_EQ(DMA_ExtractDocProp(&ctx, &bufs), DMAR_DONE);
    std::vector<BYTE> e(ext.size()), j(job.size()), f(faxList.size());
    DmaDocPropBuffers in = {{e.data(), DWORD(e.size())}, {j.data(), DWORD(j.size())}, {f.data(), DWORD(f.size())}};
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &in), DMAR_READ);
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &in), DMAR_DONE);
    EXPECT_EQ(f, faxList);
}

TEST_F(DmaDocProp, EmptyNamesMissingFilesAndArguments)
{
    std::vector<BYTE> a(10, 0x11), b(10, 0x22), c(10, 0x33);
    DmaDocPropBuffers bufs = {{a.data(), 10}, {b.data(), 10}, {c.data(), 10}};
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_DONE); /* 374 empty: nothing read */
    EXPECT_EQ(a, std::vector<BYTE>(10, 0x11));
    EXPECT_EQ(DMA_ExtractDocProp(&ctx, &bufs), DMAR_DONE);

    setFile(DM_374, u"C:\\work\\none.dat");
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_CREATE);
    setFile(DM_374, u"C:\\missing\\doc.dat");
    EXPECT_EQ(DMA_ExtractDocProp(&ctx, &bufs), DMAR_CREATE);

    DmaDocPropBuffers noJob = bufs;
    noJob.jobInfo.data = nullptr;
    EXPECT_EQ(DMA_ExtractDocProp(&ctx, &noJob), DMAR_FAIL);
    EXPECT_EQ(DMA_ExtractDocProp(nullptr, &bufs), DMAR_FAIL);
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, nullptr), DMAR_FAIL);
    ctx.settingsImage = nullptr; /* 374 cannot be read */
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_FAIL);
}

TEST_F(DmaDocProp, SplittingImagesOfEveryShape)
{
    const std::vector<BYTE> ext = ExtensionBlock(100), job = JobBlock(5), fax2 = FaxBlock(2);
    const std::vector<BYTE> untagged(1442, 0);
    struct Case {
        const char *name;
        std::vector<BYTE> image;
        DMARESULT result;
        DWORD extSize, jobSize, faxSize; /* block sizes (for -5: the sizes written back) */
    };
    std::vector<Case> cases = {
        {"ten bytes: no block", std::vector<BYTE>(10, 0), DMAR_DONE, 0, 0, 0},
        {"extension only", ext, DMAR_DONE, 124, 0, 0},
        {"extension and job", Join({&ext, &job}), DMAR_DONE, 124, 25, 0},
        {"all three", Join({&ext, &job, &fax2}), DMAR_DONE, 124, 25, 1442 + 1484},
        {"trailing bytes below a fax header", Join({&ext, &job, &ext}), DMAR_DONE, 124, 25, 0},
        {"extension version", ExtensionBlock(100, 21047), DMAR_MALFORMED, 0, 0, 0},
        {"extension tag", Tagged("NDEV002", 40), DMAR_MALFORMED, 0, 0, 0},
        {"job tag", Join({&ext, &ext}), DMAR_MALFORMED, 0, 0, 0},
        {"fax tag", Join({&ext, &job, &untagged}), DMAR_MALFORMED, 0, 0, 0},
    };
    /* Lengths that do not fit the image, up to 2^32 - 1. */
    for (DWORD length : {101u, 0x7FFFFFFFu, 0xFFFFFFE8u, 0xFFFFFFFFu}) {
        std::vector<BYTE> e = ext;
        plat::store<DWORD>(e.data() + 20, length);
        cases.push_back({"extension length", e, DMAR_MALFORMED, 0, 0, 0});
        std::vector<BYTE> j = job;
        plat::store<DWORD>(j.data() + 16, length);
        cases.push_back({"job length", Join({&ext, &j}), DMAR_MALFORMED, 0, 0, 0});
    }
    std::vector<BYTE> fax3 = fax2;
    plat::store<WORD>(fax3.data() + 16, 3);
    cases.push_back({"fax count past the image", Join({&ext, &job, &fax3}), DMAR_MALFORMED, 0, 0, 0});
    plat::store<WORD>(fax3.data() + 16, 0xFFFF);
    cases.push_back({"fax count 65535", Join({&ext, &job, &fax3}), DMAR_MALFORMED, 0, 0, 0});

    for (const Case &c : cases) {
        std::vector<BYTE> e(200, 0xEE), j(200, 0xEE), f(4000, 0xEE);
        DmaDocPropBuffers bufs = {{e.data(), 200}, {j.data(), 200}, {f.data(), 4000}};
        EXPECT_EQ(dma_SplitDocPropImage(c.image.data(), c.image.size(), &bufs), c.result) << c.name;
        if (c.result == DMAR_DONE) {
            EXPECT_EQ(std::memcmp(e.data(), c.image.data(), c.extSize), 0) << c.name;
            EXPECT_EQ(std::memcmp(j.data(), c.image.data() + c.extSize, c.jobSize), 0) << c.name;
            EXPECT_EQ(std::memcmp(f.data(), c.image.data() + c.extSize + c.jobSize, c.faxSize), 0) << c.name;
            EXPECT_EQ(e[c.extSize], 0xEE) << c.name;
        } else {
            EXPECT_EQ(e, std::vector<BYTE>(200, 0xEE)) << c.name; /* a malformed image changes nothing */
            EXPECT_EQ(bufs.extension.size, 200u) << c.name;
        }
    }
}

TEST_F(DmaDocProp, MissingBuffersAskForTheSizes)
{
    const std::vector<BYTE> ext = ExtensionBlock(100), job = JobBlock(5);
    const std::vector<BYTE> image = Join({&ext, &job});
    std::vector<BYTE> e(124), j(25);
    /* No fax list in the image: its buffer may be missing. */
    DmaDocPropBuffers bufs = {{e.data(), 124}, {j.data(), 25}, {nullptr, 0}};
    EXPECT_EQ(dma_SplitDocPropImage(image.data(), image.size(), &bufs), DMAR_DONE);
    bufs.extension.data = nullptr;
    EXPECT_EQ(dma_SplitDocPropImage(image.data(), image.size(), &bufs), DMAR_BUFFER);
    EXPECT_EQ(bufs.extension.size, 124u);
    EXPECT_EQ(bufs.jobInfo.size, 25u);
    EXPECT_EQ(bufs.faxList.size, 0u);
}

TEST_F(DmaDocProp, AFileOfMalformedBytesLeavesTheBuffersAlone)
{
    setFile(DM_374, u"C:\\work\\bad.dat");
    std::vector<BYTE> bad = ExtensionBlock(50);
    plat::store<DWORD>(bad.data() + 20, 0xFFFFFFF0u);
    writeFile(u"C:\\work\\bad.dat", bad);
    std::vector<BYTE> e(100, 0xEE), j(100, 0xEE), f(100, 0xEE);
    DmaDocPropBuffers bufs = {{e.data(), 100}, {j.data(), 100}, {f.data(), 100}};
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_MALFORMED);
    EXPECT_EQ(e, std::vector<BYTE>(100, 0xEE));

    writeFile(u"C:\\work\\bad.dat", std::vector<BYTE>(10, 0));
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_DONE);
    writeFile(u"C:\\work\\bad.dat", {});
    EXPECT_EQ(DMA_ReplaceDocProp(&ctx, &bufs), DMAR_DONE);
}

} // namespace
