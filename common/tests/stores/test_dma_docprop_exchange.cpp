/*
 * The document-property file between the common library and the data
 * manager: a file the common library writes is read by the data manager's
 * DMA_ReplaceDocProp, and a file DMA_ExtractDocProp writes is read by the
 * common library.  The real data manager is loaded from the driver folder.
 */
#include "test_model_support.h"

#include <tarvel/datamgr.h>
#include <tarvel/pdt_docprop_layout.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/pdt_blob.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr size_t DM_374 = 930; /* the document-property file's name */
constexpr const char16_t *kFile = u"C:\\work\\doc.dat";

typedef DMARESULT (*ReplaceFn)(DmaContext *, DmaDocPropBuffers *);
typedef DMARESULT (*ExtractFn)(DmaContext *, const DmaDocPropBuffers *);

class DocPropExchange : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        model_test::ModelTest::SetUp();
        dm_ = LoadLibraryW(u"tarveldm.dll");
        ASSERT_NE(dm_, nullptr);
        replace_ = plat::proc_cast<ReplaceFn>(GetProcAddress(dm_, "DMA_ReplaceDocProp"));
        extract_ = plat::proc_cast<ExtractFn>(GetProcAddress(dm_, "DMA_ExtractDocProp"));
        ASSERT_NE(replace_, nullptr);
        ASSERT_NE(extract_, nullptr);
        ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/c/work'").c_str()), 0);
        std::memcpy(image_.data() + DM_374, kFile, 2 * (std::char_traits<char16_t>::length(kFile) + 1));
        ctx_.settingsImage = image_.data();
        for (size_t i = 0; i < extension_.size(); ++i)
            extension_[i] = static_cast<BYTE>(i * 3);
        for (size_t i = 0; i < tmb_.size(); ++i)
            tmb_[i] = static_cast<BYTE>(0x40 + i);
        DPF_PutTag(fax_.data(), DPF_TAG_FAX);
        plat::store_u16(fax_.data(), DPF_FAX_OFFSET_COUNT, 2);
        for (size_t i = DPF_FAX_HEADER_SIZE; i < fax_.size(); ++i)
            fax_[i] = static_cast<BYTE>(i);
    }
    void TearDown() override
    {
        if (dm_ != nullptr)
            FreeLibrary(dm_);
        model_test::ModelTest::TearDown();
    }

    HMODULE dm_ = nullptr;
    ReplaceFn replace_ = nullptr;
    ExtractFn extract_ = nullptr;
    std::vector<BYTE> image_ = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    DmaContext ctx_{};
    std::vector<BYTE> extension_ = std::vector<BYTE>(DPF_EXTENSION_SIZE);
    std::vector<BYTE> tmb_ = std::vector<BYTE>(40);
    std::vector<BYTE> fax_ = std::vector<BYTE>(DPF_FAX_HEADER_SIZE + 2 * DPF_FAX_ENTRY_SIZE, 0);
};

TEST_F(DocPropExchange, TheDataManagerReadsWhatTheCommonLibraryWrites)
{
    HANDLE file = CreateFileW(kFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    ASSERT_TRUE(PDT_WriteDeviceFile(kFile, extension_.data(), tmb_.data(), DWORD(tmb_.size()), fax_.data(),
                                    DWORD(fax_.size())));

    std::vector<BYTE> ext(24 + 4292), job(20 + 40), fax(fax_.size());
    DmaDocPropBuffers bufs = {{ext.data(), DWORD(ext.size())},
                              {job.data(), DWORD(job.size())},
                              {fax.data(), DWORD(fax.size())}};
    ASSERT_EQ(replace_(&ctx_, &bufs), DMAR_DONE);
    EXPECT_TRUE(DPF_HasTag(ext.data(), DPF_TAG_NDEV));
    EXPECT_EQ(plat::load_u32(ext.data(), 16), 21048u);
    EXPECT_EQ(plat::load_u32(ext.data(), 20), 4292u);
    EXPECT_TRUE(std::equal(extension_.begin(), extension_.end(), ext.begin() + 24));
    EXPECT_TRUE(DPF_HasTag(job.data(), DPF_TAG_TMB));
    EXPECT_EQ(plat::load_u32(job.data(), 16), 40u);
    EXPECT_TRUE(std::equal(tmb_.begin(), tmb_.end(), job.begin() + 20));
    EXPECT_EQ(fax, fax_);
}

TEST_F(DocPropExchange, TheCommonLibraryReadsWhatTheDataManagerWrites)
{
    std::vector<BYTE> ext(24 + 4292), job(20 + 40);
    DPF_PutNDevHeader(ext.data(), DPF_NDEV_VERSION, DPF_EXTENSION_SIZE);
    std::copy(extension_.begin(), extension_.end(), ext.begin() + 24);
    DPF_PutTmbHeader(job.data(), DWORD(tmb_.size()));
    std::copy(tmb_.begin(), tmb_.end(), job.begin() + 20);
    const DmaDocPropBuffers bufs = {{ext.data(), DWORD(ext.size())},
                                    {job.data(), DWORD(job.size())},
                                    {fax_.data(), DWORD(fax_.size())}};
    ASSERT_EQ(extract_(&ctx_, &bufs), DMAR_DONE);

    BYTE *image = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(PDT_ReadDeviceFile(kFile, &image, &size));
    const BYTE *position = image;
    DWORD left = size;
    std::vector<BYTE> extension(DPF_EXTENSION_SIZE);
    ASSERT_TRUE(PDT_ParseNDevHeader(&position, &left, extension.data(), nullptr));
    /* The reader stamps the version into the extension's first word. */
    EXPECT_EQ(plat::load_u16(extension.data(), 0), 21048);
    EXPECT_TRUE(std::equal(extension.begin() + 2, extension.end(), extension_.begin() + 2));
    BYTE *data = nullptr;
    DWORD length = 0;
    ASSERT_TRUE(PDT_ParseTmbInfo(&position, &left, &data, &length));
    ASSERT_EQ(length, tmb_.size());
    EXPECT_TRUE(std::equal(tmb_.begin(), tmb_.end(), data));
    BYTE *list = nullptr;
    DWORD listSize = 0;
    ASSERT_TRUE(PDT_ParseFaxSendList(position, left, &list, &listSize));
    ASSERT_EQ(listSize, fax_.size());
    EXPECT_TRUE(std::equal(fax_.begin(), fax_.end(), list));
    GlobalFree(list);
    GlobalFree(data);
    GlobalFree(image);
}

} // namespace
