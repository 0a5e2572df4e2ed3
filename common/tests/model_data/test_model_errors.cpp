/*
 * The model data reader on bad input: missing or damaged companion files,
 * paths that cannot name a companion, truncated files, offsets, counts and
 * text lengths past the data, refused metrics sizes and image formats, and
 * allocation failures at every allocation in turn.  Every case answers the
 * reader's failure status, reads nothing outside the loaded copy (ASan)
 * and leaks nothing.
 */
#include "test_model_support.h"
#include "test_model_walk.h"

#include <standard_models.h>

using namespace model_test;
using namespace mw;

namespace {

class ModelErrors : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        std::string error;
        ASSERT_TRUE(build(tarvel_models::colourPrinter(0x1600), main_, companion_, error)) << error;
    }
    /* The offset of a record in the main file, from its table row. */
    DWORD recordOffset(WORD kind, WORD id)
    {
        ReaderPair p;
        EXPECT_EQ(openBytes(p, main_, &companion_), DDD_OK);
        EXPECT_EQ(DDD_FindRecordEntryById(&p.main, kind, id), DDD_OK);
        return plat::load<DWORD>(p.main.data + p.main.position + 3);
    }
    DWORD rowOffset(WORD kind, WORD id)
    {
        ReaderPair p;
        EXPECT_EQ(openBytes(p, main_, &companion_), DDD_OK);
        EXPECT_EQ(DDD_FindRecordEntryById(&p.main, kind, id), DDD_OK);
        return p.main.position;
    }
    WORD fetch(const Bytes &mainFile, WORD kind, WORD id, int mode = DDD_PARSE_FULL)
    {
        ReaderPair p;
        EXPECT_EQ(openBytes(p, mainFile, &companion_), DDD_OK);
        ModelRecord *rec = nullptr;
        WORD r = DDD_FetchRecord(mode, &p.main, &p.companion, kind, id, 0, &rec);
        if (rec) {
            DDD_FreeRecord(&rec, -1);
        }
        return r;
    }
    Bytes main_, companion_;
};

TEST_F(ModelErrors, MissingCompanionFailsTheWholeOpen)
{
    ReaderPair p;
    EXPECT_EQ(openBytes(p, main_, nullptr), DDD_ERR_FAIL);
    EXPECT_EQ(p.main.loaded, nullptr);
    EXPECT_EQ(p.companion.loaded, nullptr);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(ModelErrors, DamagedCompanionHeaderFailsTheOpen)
{
    Bytes bad = companion_;
    std::fill(bad.begin() + 64, bad.begin() + 88, 0); /* no version text */
    ReaderPair p;
    EXPECT_EQ(openBytes(p, main_, &bad), DDD_ERR_FAIL);
    EXPECT_EQ(p.main.loaded, nullptr);
    Bytes shortFile(companion_.begin(), companion_.begin() + 100);
    EXPECT_EQ(openBytes(p, main_, &shortFile), DDD_ERR_FAIL);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(ModelErrors, CompanionPathNeedsAFolderAndRoom)
{
    ReaderPair p;
    EXPECT_EQ(ddd_OpenModelMemory(u"MODEL.DDD", main_.data(), main_.size(), companion_.data(), companion_.size(),
                                  &p.main, &p.companion),
              DDD_ERR_FAIL);
    std::u16string longPath = u"C:\\" + std::u16string(250, u'd') + u"\\MODEL.DDD"; /* + "TARVEL1.DDC": 265 */
    EXPECT_EQ(ddd_OpenModelMemory(longPath.c_str(), main_.data(), main_.size(), companion_.data(),
                                  companion_.size(), &p.main, &p.companion),
              DDD_ERR_FAIL);
    std::u16string fits = u"C:\\" + std::u16string(244, u'd') + u"\\MODEL.DDD"; /* 259 characters */
    EXPECT_EQ(ddd_OpenModelMemory(fits.c_str(), main_.data(), main_.size(), companion_.data(), companion_.size(),
                                  &p.main, &p.companion),
              DDD_OK);
    DDD_CloseFiles(&p.main, &p.companion);
    EXPECT_EQ(ddd_OpenModelMemory(fits.c_str(), main_.data(), main_.size(), companion_.data(), companion_.size(),
                                  &p.main, &p.companion),
              DDD_OK);
    /* Readers that still hold a pair are refused rather than overwritten. */
    EXPECT_EQ(ddd_OpenModelMemory(fits.c_str(), main_.data(), main_.size(), companion_.data(), companion_.size(),
                                  &p.main, &p.companion),
              DDD_ERR_FAIL);
    DDD_CloseFiles(&p.main, &p.companion);

    /* Without a companion name no folder is needed. */
    Bytes alone = main_;
    std::fill(alone.begin() + 160, alone.begin() + 224, 0);
    EXPECT_EQ(ddd_OpenModelMemory(u"MODEL.DDD", alone.data(), alone.size(), nullptr, 0, &p.main, &p.companion),
              DDD_OK);
}

TEST_F(ModelErrors, WithoutACompanionItsRecordsFail)
{
    Bytes alone = main_;
    std::fill(alone.begin() + 160, alone.begin() + 224, 0);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, alone, nullptr), DDD_OK);
    EXPECT_EQ(p.companion.loaded, nullptr);
    ModelRecord *rec = nullptr;
    EXPECT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DEVICE_FONT, 1, 0, &rec),
              DDD_ERR_FAIL);
    EXPECT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_PAPER, 9, 0, &rec), DDD_OK);
    DDD_FreeRecord(&rec, -1);
    EXPECT_EQ(DDD_CloseFiles(&p.main, &p.companion), DDD_ERR_FAIL); /* the companion had nothing loaded */
}

TEST_F(ModelErrors, TruncatedFilesNeverReadOutside)
{
    for (size_t n = 0; n < main_.size(); n += (n < 400 ? 1 : 97)) {
        Bytes cut(main_.begin(), main_.begin() + static_cast<long>(n));
        ReaderPair p;
        WORD r = openBytes(p, cut, &companion_);
        if (n < 224) {
            EXPECT_EQ(r, DDD_ERR_FAIL) << n;
            continue;
        }
        ASSERT_EQ(r, DDD_OK) << n;
        model_walk::WalkCount c = model_walk::walk(DDD_PARSE_FULL, &p.main, &p.companion, 8);
        if (n + 6 < main_.size()) {
            EXPECT_GT(c.failed + (c.parsed == 0 ? 1u : 0u), 0u) << n;
        }
    }
    for (size_t n = 224; n < companion_.size(); n += 53) {
        Bytes cut(companion_.begin(), companion_.begin() + static_cast<long>(n));
        ReaderPair p;
        ASSERT_EQ(openBytes(p, main_, &cut), DDD_OK);
        model_walk::walk(DDD_PARSE_PARTIAL, &p.main, &p.companion);
    }
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(ModelErrors, OffsetPastTheEnd)
{
    Bytes bad = main_;
    plat::store<DWORD>(bad.data() + rowOffset(DDD_KIND_PAPER, 9) + 3, 0xFFFFFF00u);
    EXPECT_EQ(fetch(bad, DDD_KIND_PAPER, 9), DDD_ERR_FAIL);
    EXPECT_EQ(fetch(bad, DDD_KIND_PAPER, 1), DDD_OK);

    /* A kind table beyond the file. */
    ReaderPair p;
    ASSERT_EQ(openBytes(p, main_, &companion_), DDD_OK);
    ASSERT_EQ(DDD_SeekDirectory(&p.main), DDD_OK);
    Bytes badDir = main_;
    plat::store<DWORD>(badDir.data() + p.main.position + 6 + 3, 0x7FFFFFFFu); /* kind 3's table */
    EXPECT_EQ(fetch(badDir, DDD_KIND_DEVICE_FEATURE, 4103), DDD_ERR_FAIL);

    /* A directory beyond the file (entry 0 too large). */
    Bytes badLength = main_;
    plat::store<DWORD>(badLength.data() + 224, 0xFFFFFFF0u);
    EXPECT_EQ(fetch(badLength, DDD_KIND_PAPER, 9), DDD_ERR_FAIL);
}

TEST_F(ModelErrors, CountPastTheData)
{
    /* The option list count of feature 16: head, name, kind, default, value, list length. */
    DWORD at = recordOffset(DDD_KIND_DOCUMENT_FEATURE, 16);
    WORD nameLength = plat::load<WORD>(main_.data() + at + 6);
    DWORD countAt = at + 6 + 2 + nameLength + 1 + 2 + 2 + 4;
    ASSERT_EQ(plat::load<WORD>(main_.data() + countAt), 3);
    Bytes bad = main_;
    plat::store<WORD>(bad.data() + countAt, 0xFFFF);
    EXPECT_EQ(fetch(bad, DDD_KIND_DOCUMENT_FEATURE, 16), DDD_ERR_FAIL);
    ReaderPair p;
    ASSERT_EQ(openBytes(p, bad, &companion_), DDD_OK);
    WORD selector = 0;
    EXPECT_EQ(DDD_SeekRecordOrOption(&p.main, &p.companion, DDD_SEL_MAIN, DDD_KIND_DOCUMENT_FEATURE, 16, 9000,
                                     &selector),
              DDD_ERR_FAIL);

    /* A record count past the table. */
    Bytes badTable = main_;
    ASSERT_EQ(DDD_SeekKindTable(&p.main, DDD_KIND_PAPER, 4), DDD_OK);
    plat::store<WORD>(badTable.data() + p.main.position, 0xFFFF);
    ReaderPair q;
    ASSERT_EQ(openBytes(q, badTable, &companion_), DDD_OK);
    ModelRecord *rec = nullptr;
    EXPECT_EQ(DDD_GetRecordByIndex(DDD_PARSE_FULL, &q.main, &q.companion, DDD_KIND_PAPER, 0xFFFF, &rec),
              DDD_ERR_FAIL);
    EXPECT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &q.main, &q.companion, DDD_KIND_PAPER, 4444, 0, &rec), DDD_ERR_FAIL);
}

TEST_F(ModelErrors, TextLengthPastTheRecord)
{
    ReaderPair p;
    ASSERT_EQ(openBytes(p, main_, &companion_), DDD_OK);
    /* The second option of the presets (36888): its record number is its identifier. */
    ModelRecord *presets = nullptr;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 36888, 0, &presets),
              DDD_OK);
    WORD second = reinterpret_cast<DddFeatureRecord *>(presets)->options.items[1].value;
    DDD_FreeRecord(&presets, -1);
    ASSERT_EQ(DDD_FindRecordEntryByIndex(&p.main, DDD_KIND_DOCUMENT_OPTION, second), DDD_OK);
    WORD id = plat::load<WORD>(p.main.data + p.main.position + 1);
    DWORD at = plat::load<DWORD>(p.main.data + p.main.position + 3);
    Bytes bad = main_;
    plat::store<WORD>(bad.data() + at + 6, 0xFFFF);
    EXPECT_EQ(fetch(bad, DDD_KIND_DOCUMENT_OPTION, id), DDD_ERR_FAIL);
    EXPECT_EQ(fetch(bad, DDD_KIND_DOCUMENT_OPTION, id, DDD_PARSE_PARTIAL), DDD_ERR_FAIL);
    ReaderPair q;
    ASSERT_EQ(openBytes(q, bad, &companion_), DDD_OK);
    LPWSTR name = nullptr;
    EXPECT_EQ(DDD_GetRecordOrOptionName(&q.main, &q.companion, DDD_KIND_DOCUMENT_FEATURE, 36888, 2, &name),
              DDD_ERR_FAIL);
    EXPECT_EQ(name, nullptr);
}

TEST_F(ModelErrors, MetricsLargerThan65535AreRefused)
{
    Model m = emptyModel(0x1600);
    DeviceFont small, big;
    small.id = 1;
    small.metrics = Bytes(65535, 0x5A);
    big.id = 2;
    big.metrics = Bytes(65536, 0x5A);
    m.add(encode(small, m.formatVersion));
    m.add(encode(big, m.formatVersion));
    ReaderPair p;
    ASSERT_EQ(openModel(p, m), DDD_OK);
    for (int mode : {DDD_PARSE_FULL, DDD_PARSE_PARTIAL}) {
        ModelRecord *rec = nullptr;
        ASSERT_EQ(DDD_FetchRecord(mode, &p.main, &p.companion, DDD_KIND_DEVICE_FONT, 1, 0, &rec), DDD_OK);
        EXPECT_EQ(DDD_DeviceFontGetMetricsSize(rec), mode == DDD_PARSE_FULL ? 65535u : 0u);
        DDD_FreeRecord(&rec, -1);
        EXPECT_EQ(DDD_FetchRecord(mode, &p.main, &p.companion, DDD_KIND_DEVICE_FONT, 2, 0, &rec), DDD_ERR_FAIL);
        EXPECT_EQ(rec, nullptr);
    }
}

TEST_F(ModelErrors, ImageFormatMustBeOneOrTwoWhenItsDataIsRead)
{
    Model m = emptyModel(0x1600);
    m.add(encode(Image{1, 3, 0, 0, {}, {1, 2, 3}}, m.formatVersion));
    m.add(encode(Image{2, 1, 0, 0, {}, {}}, m.formatVersion));
    ReaderPair p;
    ASSERT_EQ(openModel(p, m), DDD_OK);
    ModelRecord *rec = nullptr;
    EXPECT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_IMAGE, 1, 0, &rec), DDD_ERR_FAIL);
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_PARTIAL, &p.main, &p.companion, DDD_KIND_IMAGE, 1, 0, &rec), DDD_OK);
    DDD_FreeRecord(&rec, -1);
    /* An image without picture data gives no header image. */
    m.main.entries[1] = eU16(2);
    ReaderPair q;
    ASSERT_EQ(openModel(q, m), DDD_OK);
    WORD a = 0, b = 0;
    EXPECT_EQ(DDD_GetHeaderImage(&q.main, &q.companion, 1, &a, &b, nullptr), nullptr);
}

TEST_F(ModelErrors, FeatureEdgeCases)
{
    Model m = emptyModel(0x1600);
    m.add(encode(DDD_KIND_DOCUMENT_FEATURE, Feature{7, stored("Empty"), 1, 1, 0, {}, {}, {}, 0, noText()}, 0x1600));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, Feature{8, stored(""), 1, 3, 0, {}, {}, {}, 0, noText()},
                 {Option{0, stored("One"), 0, 0, 0, {}, {}, vShort(1), 0}});
    ReaderPair p;
    ASSERT_EQ(openModel(p, m), DDD_OK);
    ModelRecord *feature = nullptr, *opt = nullptr;
    WORD kind = 0;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 7, 0, &feature),
              DDD_OK);
    EXPECT_EQ(DDD_GetFeatureOption(DDD_PARSE_FULL, FALSE, &p.main, &p.companion, feature, 1, &kind, &opt),
              DDD_ERR_NOT_FOUND);
    DDD_FreeRecord(&feature, -1);
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 8, 0, &feature),
              DDD_OK);
    /* The default option number 3 lies outside the one-option list. */
    EXPECT_EQ(DDD_GetFeatureOption(DDD_PARSE_FULL, TRUE, &p.main, &p.companion, feature, 0, &kind, &opt),
              DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_GetFeatureOption(DDD_PARSE_FULL, FALSE, &p.main, &p.companion, feature, 0, &kind, &opt),
              DDD_ERR_FAIL);
    DDD_FreeRecord(&feature, -1);
    LPWSTR name = nullptr;
    EXPECT_EQ(DDD_GetRecordOrOptionName(&p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 8, 0, &name),
              DDD_ERR_NOT_FOUND); /* an empty name */
    EXPECT_EQ(DDD_GetRecordOrOptionName(&p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 8, 2, &name),
              DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_GetRecordOrOptionName(&p.main, &p.companion, DDD_KIND_JOB_LINE, 1, 0, &name), DDD_ERR_FAIL);
    WORD selector = 0;
    EXPECT_EQ(DDD_SeekRecordOrOption(&p.main, &p.companion, DDD_SEL_MAIN, DDD_KIND_PAPER, 1, 1, &selector),
              DDD_ERR_FAIL);
    EXPECT_EQ(DDD_GetRecordByIndex(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_OPTION, 0, &opt),
              DDD_ERR_FAIL);
    EXPECT_EQ(DDD_GetRecordByIndex(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_OPTION, 2, &opt),
              DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, 2, 1, 0, &opt), DDD_ERR_NOT_FOUND);
}

TEST_F(ModelErrors, EveryAllocationFailureIsReportedAndLeaksNothing)
{
    unsigned n = 1;
    for (;; ++n) {
        ASSERT_LT(n, 5000u);
        ReaderPair p;
        mdl_FailAllocation(n);
        WORD r = openBytes(p, main_, &companion_);
        WORD walked = DDD_OK;
        ModelRecord *rec = nullptr;
        if (r == DDD_OK) {
            for (WORD kind : kDddDirectoryKinds) {
                walked = DDD_GetRecordByIndex(DDD_PARSE_FULL, &p.main, &p.companion, kind, 1, &rec);
                if (walked != DDD_OK)
                    break;
                DDD_FreeRecord(&rec, -1);
            }
        }
        bool failedSomewhere = mdl_AllocCount() >= n;
        mdl_FailAllocation(0);
        DDD_CloseFiles(&p.main, &p.companion);
        EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_) << "allocation " << n;
        if (!failedSomewhere) {
            EXPECT_EQ(r, DDD_OK);
            EXPECT_EQ(walked, DDD_OK);
            break;
        }
        EXPECT_TRUE(r != DDD_OK || walked == DDD_ERR_NO_MEMORY) << "allocation " << n;
        if (r != DDD_OK) {
            EXPECT_TRUE(r == DDD_ERR_FAIL || r == DDD_ERR_NO_MEMORY) << "allocation " << n;
        }
    }
    EXPECT_GT(n, 20u);
}

TEST_F(ModelErrors, AllocationFailureLoadingEachFile)
{
    /* Allocation 1 is the cache, 2 the main file's copy: the main file's load answers 1. */
    for (unsigned n : {1u, 2u}) {
        ReaderPair p;
        mdl_FailAllocation(n);
        EXPECT_EQ(openBytes(p, main_, &companion_), DDD_ERR_FAIL) << n;
        mdl_FailAllocation(0);
    }
    /* After the main header (cache, copy, four header texts, version text, record) and the companion name comes the companion's copy: 4. */
    ReaderPair p;
    mdl_FailAllocation(9);
    EXPECT_EQ(openBytes(p, main_, &companion_), DDD_ERR_NO_MEMORY);
    mdl_FailAllocation(0);
    EXPECT_EQ(p.main.loaded, nullptr);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

} // namespace
