/*
 * The standard models as the build writes them into the driver directory:
 * every pair opens through the file path, every record of every kind parses
 * in both modes, and the content the later Parts rely on is there (header
 * entries, option identifiers equal to their record numbers, paper sizes,
 * reference texts that fall back to their English text while no string
 * module exists).
 */
#include "test_model_support.h"
#include "test_model_walk.h"

#include <standard_models.h>

#include <fstream>
#include <iterator>

using namespace model_test;

namespace {

class StandardModels : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        const char *dir = std::getenv("TARVEL_DRIVER_DIR");
        ASSERT_NE(dir, nullptr) << "TARVEL_DRIVER_DIR is not set";
        driverDir_ = dir;
        plat::machine_mount(u"C:\\TARVEL\\DRIVER", driverDir_);
    }
    static std::u16string path(const std::string &name)
    {
        return u"C:\\TARVEL\\DRIVER\\" + plat::utf8_to_utf16(name);
    }
    std::string driverDir_;
};

TEST_F(StandardModels, EveryPairOpensFromTheDriverDirectoryAndParsesWhole)
{
    for (const mw::Model &m : tarvel_models::standardModels()) {
        SCOPED_TRACE(m.fileName);
        /* The files on disk are what the writer lays out for the description. */
        mw::Bytes mainFile, companion;
        std::string error;
        ASSERT_TRUE(mw::build(m, mainFile, companion, error)) << error;
        std::ifstream disk(driverDir_ + "/" + m.fileName, std::ios::binary);
        mw::Bytes onDisk((std::istreambuf_iterator<char>(disk)), std::istreambuf_iterator<char>());
        EXPECT_EQ(onDisk, mainFile);

        ReaderPair p;
        ASSERT_EQ(DDD_OpenModelFile(path(m.fileName).c_str(), &p.main, &p.companion), DDD_OK);
        EXPECT_NE(p.companion.loaded, nullptr);
        EXPECT_EQ(DDD_GetLastFormatVersion(), m.formatVersion);
        for (int mode : {DDD_PARSE_PARTIAL, DDD_PARSE_FULL}) {
            model_walk::WalkCount c = model_walk::walk(mode, &p.main, &p.companion);
            EXPECT_EQ(c.failed, 0u);
            EXPECT_EQ(c.parsed, m.records.size());
        }
        EXPECT_EQ(DDD_CountRecords(&p.main, DDD_KIND_FLAG_RECORD), m.formatVersion >= 512 ? 2 : 0);
    }
}

TEST_F(StandardModels, LowerCasePathAndMissingFiles)
{
    ReaderPair p;
    EXPECT_EQ(DDD_OpenModelFile(u"C:\\TARVEL\\DRIVER\\tarvel1.ddd", &p.main, &p.companion), DDD_OK);
    DDD_CloseFiles(&p.main, &p.companion);
    EXPECT_EQ(DDD_OpenModelFile(u"C:\\TARVEL\\DRIVER\\NOSUCH.DDD", &p.main, &p.companion), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_MapFile(u"", &p.main, nullptr), DDD_ERR_FAIL);
    EXPECT_EQ(p.main.cache, nullptr);
}

TEST_F(StandardModels, HeaderEntriesOfTheColourPrinterAndItsFaxSibling)
{
    struct Case {
        const char *file;
        DWORD deviceClass;
        const char *key;
        DWORD faxFlag;
    } cases[] = {{"TARVEL1.DDD", 0, "Software\\Tarvel\\CX1500", 0},
                 {"TARVEL2.DDD", 3, "Software\\Tarvel\\CX1500F", 0x40000000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        ReaderPair p;
        ASSERT_EQ(DDD_OpenModelFile(path(c.file).c_str(), &p.main, &p.companion), DDD_OK);
        EXPECT_GT(DDD_GetHeaderEntryValue(&p.main, 2, 4, 0), 0u);
        EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 4, 2, 0), 999u);
        EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 5, 1, 0), 2u);
        EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 23, 1, 0), c.deviceClass);
        EXPECT_EQ(DDD_GetHeaderEntryValue(&p.main, 26, 4, 0) & 0x40000000u, c.faxFlag);
        EXPECT_GE(DDD_GetHeaderEntryValue(&p.main, 41, 2, 0), DDD_CountRecords(&p.main, DDD_KIND_PAPER));
        EXPECT_NE(DDD_GetHeaderEntryValue(&p.main, 39, 4, 0), 0u);
        LPWSTR s = nullptr;
        ASSERT_EQ(DDD_GetRegistryKeyText(&p.main, 1, &s), DDD_OK);
        EXPECT_EQ(u8(s), c.key);
        DDD_FreeRecord(&s, 0);
        ASSERT_EQ(DDD_GetModelText(&p.main, 2, &s), DDD_OK);
        EXPECT_EQ(u8(s), "tarvelgr.dll");
        DDD_FreeRecord(&s, 0);
        ASSERT_EQ(DDD_GetModelText(&p.main, 24, &s), DDD_OK);
        EXPECT_EQ(u8(s), "tarveljc.exe");
        DDD_FreeRecord(&s, 0);
        EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4103), 0);
        EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4105), 1);
        WORD a = 0, b = 0;
        DWORD size = 0;
        BYTE *logo = DDD_GetHeaderImage(&p.main, &p.companion, 40, &a, &b, &size);
        ASSERT_NE(logo, nullptr);
        EXPECT_EQ(size, 44u);
        EXPECT_EQ(plat::load<DWORD>(logo), 40u); /* a BITMAPINFOHEADER */
        DDD_FreeRecord(&logo, 0);
    }
}

TEST_F(StandardModels, OptionIdentifiersEqualTheirRecordNumbers)
{
    ReaderPair p;
    ASSERT_EQ(DDD_OpenModelFile(path("TARVEL1.DDD").c_str(), &p.main, &p.companion), DDD_OK);
    for (WORD kind : {DDD_KIND_DEVICE_OPTION, DDD_KIND_DOCUMENT_OPTION, DDD_KIND_RULE, DDD_KIND_REVERSE_RULE}) {
        WORD n = DDD_CountRecords(&p.main, kind);
        EXPECT_GT(n, 0) << kind;
        for (WORD i = 1; i <= n; ++i) {
            ModelRecord *rec = nullptr;
            ASSERT_EQ(DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, &p.main, &p.companion, kind, i, &rec), DDD_OK);
            EXPECT_EQ(rec->id, i) << kind;
            DDD_FreeRecord(&rec, -1);
        }
    }
}

TEST_F(StandardModels, PaperFeatureDefaultIsA4AndNamesFallBackWhileModulesAreMissing)
{
    ReaderPair p;
    ASSERT_EQ(DDD_OpenModelFile(path("TARVEL1.DDD").c_str(), &p.main, &p.companion), DDD_OK);
    ModelRecord *feature = nullptr, *option = nullptr, *paper = nullptr;
    WORD kind = 0;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DOCUMENT_FEATURE, 8, 0, &feature),
              DDD_OK);
    EXPECT_EQ(u8(DDD_GetRecordName(feature)), "Paper Size");
    ASSERT_EQ(DDD_GetFeatureOption(DDD_PARSE_FULL, TRUE, &p.main, &p.companion, feature, 0, &kind, &option), DDD_OK);
    EXPECT_EQ(u8(DDD_GetRecordName(option)), "A4");
    ASSERT_EQ(DDD_GetOptionTarget(DDD_PARSE_FULL, &p.main, &p.companion, option, &kind, &paper), DDD_OK);
    EXPECT_EQ(kind, DDD_KIND_PAPER);
    EXPECT_EQ(paper->id, 9);
    EXPECT_EQ(DDD_PaperSize(paper)->first, 2100);
    EXPECT_EQ(DDD_PaperSize(paper)->second, 2970);
    DDD_FreeRecord(&paper, -1);
    DDD_FreeRecord(&option, -1);
    DDD_FreeRecord(&feature, -1);
    EXPECT_EQ(p.main.cache->referencesEnabled, 0u); /* the selector-1 module is not there yet */

    /* A selector-2 reference in the companion file. */
    ModelRecord *font = nullptr;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_DEVICE_FONT, 1, 0, &font), DDD_OK);
    EXPECT_EQ(font->fileSelector, DDD_SEL_COMPANION);
    EXPECT_EQ(u8(DDD_GetRecordName(font)), "Courier");
    DDD_FreeRecord(&font, -1);

    /* The custom paper: extents give the custom range, the fourth dimension record its pairs. */
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_PAPER, 262, 0, &paper), DDD_OK);
    EXPECT_EQ(DDD_PaperMinExtent(paper)->first, 900);
    EXPECT_EQ(DDD_PaperMaxExtent(paper)->second, 4318);
    BYTE value = 0;
    DddPair a{}, b{};
    ASSERT_EQ(DDD_PaperSizePairs(paper, &value, &a, &b), DDD_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(b.first, 200);
    DDD_FreeRecord(&paper, -1);
}

} // namespace
