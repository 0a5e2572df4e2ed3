/*
 * Tests of the model data reader's string modules over the resource layer:
 * a text reference resolves from the module in the library's directory
 * (selector 1 kept loaded for the pair, a higher selector loaded for one
 * string), an identifier the module lacks and a module that is missing fall
 * back to the stored text, and the standard models read the same with their
 * compiled string modules as with their fallbacks.
 */
#include "test_res_support.h"

#include <standard_models.h>

#include <plat/resource.h>

#include <vector>

namespace {

using model_test::ReaderPair;
using model_test::u8;

class ResModelStrings : public res_test::MachineTest {
protected:
    /* The library's module in `dir` (a Windows folder ending in "\"). */
    void initModuleIn(const std::u16string &dir) { initModuleAt(dir + u"tarvelui.dll"); }
};

/* A model whose main file names test1s.xrs and whose companion also names test1c.xrs. */
mw::Model referenceModel()
{
    mw::Model m = model_test::emptyModel(DDD_GATE_0x1600);
    m.main.entries[35] = mw::eTexts({mw::stored("test1s.xrs")});
    m.main.entries[13] = mw::eText(mw::reference(1, 5, "Fallback five"));
    m.main.entries[37] = mw::eText(mw::reference(1, 99, "No such id"));
    /* The field of the edge case: 41 01 00 05 00 00 (selector 1, string 5). */
    m.main.entries[38] = mw::eText(mw::rawText({0x41, 0x01, 0x00, 0x05, 0x00, 0x00}));
    m.companion.entries[35] = mw::eTexts({mw::stored("test1s.xrs"), mw::stored("test1c.xrs")});
    m.companion.entries[13] = mw::eText(mw::reference(2, 7, "Companion seven"));
    return m;
}

std::string headerString(ModelFileReader *reader, WORD entry)
{
    LPWSTR s = DDD_GetHeaderString(reader, entry, 0);
    std::string text = u8(s);
    if (s)
        DDD_FreeRecord(&s, 0);
    return text;
}

TEST_F(ResModelStrings, ReferencesResolveFromTheModulesInTheDriverDirectory)
{
    ASSERT_TRUE(res_test::writeResourceModule(u"C:\\TestDrv\\test1s.xrs", "STRING 5 \"Module five\""));
    ASSERT_TRUE(res_test::writeResourceModule(u"C:\\TestDrv\\test1c.xrs", "STRING 7 \"Module seven\""));
    initModuleIn(u"C:\\TestDrv\\");

    ReaderPair p;
    ASSERT_EQ(model_test::openModel(p, referenceModel()), DDD_OK);
    EXPECT_EQ(headerString(&p.main, 13), "Module five");
    EXPECT_EQ(headerString(&p.main, 38), "Module five");
    EXPECT_EQ(plat::loader_load_count(u"test1s.xrs"), 1u) << "selector 1 stays loaded for the pair";
    /* An identifier the module lacks: the stored text, and references stay on. */
    EXPECT_EQ(headerString(&p.main, 37), "No such id");
    EXPECT_EQ(p.main.cache->referencesEnabled, 1u);
    EXPECT_EQ(headerString(&p.main, 13), "Module five");
    /* Selector 2 in the companion: item 1 of its entry 35, loaded for the one string. */
    EXPECT_EQ(headerString(&p.companion, 13), "Module seven");
    EXPECT_EQ(plat::loader_load_count(u"test1c.xrs"), 0u);
    EXPECT_EQ(plat::loader_load_count(u"test1s.xrs"), 1u);

    DDD_CloseFiles(&p.main, &p.companion);
    EXPECT_EQ(plat::loader_load_count(u"test1s.xrs"), 0u) << "freed when the pair closes";
}

TEST_F(ResModelStrings, MissingModulesFallBackToTheStoredText)
{
    initModuleIn(u"C:\\TestDrv\\");
    ReaderPair p;
    ASSERT_EQ(model_test::openModel(p, referenceModel()), DDD_OK);
    EXPECT_EQ(headerString(&p.main, 13), "Fallback five");
    EXPECT_EQ(p.main.cache->referencesEnabled, 0u) << "the pair decodes stored text from now on";
    EXPECT_EQ(headerString(&p.companion, 13), "Companion seven");
    /* The raw edge-case field has no fallback: its six bytes inverted. */
    LPWSTR raw = DDD_GetHeaderString(&p.main, 38, 0);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::u16string(raw), u"\u00BE\u00FE\u00FF\u00FA\u00FF\u00FF");
    DDD_FreeRecord(&raw, 0);
}

TEST_F(ResModelStrings, WithoutModulePathsNoModuleIsSearchedFor)
{
    /* The module paths were never recorded: a bare name is not searched for. */
    ASSERT_TRUE(res_test::writeResourceModule(u"C:\\test1s.xrs", "STRING 5 \"Module five\""));
    ReaderPair p;
    ASSERT_EQ(model_test::openModel(p, referenceModel()), DDD_OK);
    EXPECT_EQ(headerString(&p.main, 13), "Fallback five");
}

TEST_F(ResModelStrings, ModulePathMustStayUnderMaxPath)
{
    std::u16string dir = u"C:\\";
    while (dir.size() < 250)
        dir += u"d\\";
    initModuleIn(dir);
    std::array<WCHAR, MAX_PATH> path{};
    ASSERT_TRUE(RES_GetDriverDirectory(path.data(), sizeof(path)));
    ASSERT_EQ(std::u16string(path.data()), dir);
    ReaderPair p;
    ASSERT_EQ(model_test::openModel(p, referenceModel()), DDD_OK);
    /* 250 + "test1s.xrs" (10) reaches 260: refused without a load. */
    EXPECT_EQ(headerString(&p.main, 13), "Fallback five");
}

/* Every name and header text of a pair, in walk order. */
std::vector<std::string> everyText(ModelFileReader *main, ModelFileReader *companion)
{
    std::vector<std::string> texts;
    for (WORD kind = DDD_KIND_DEVICE_FEATURE; kind <= DDD_KIND_TRIPLE_TABLE; ++kind) {
        WORD count = DDD_CountRecords(main, kind);
        for (WORD n = 1; n <= count; ++n) {
            ModelRecord *rec = nullptr;
            if (DDD_GetRecordByIndex(DDD_PARSE_FULL, main, companion, kind, n, &rec) != DDD_OK)
                continue;
            if (LPCWSTR name = DDD_GetRecordName(rec))
                texts.push_back(u8(name));
            DDD_FreeRecord(&rec, -1);
        }
    }
    for (ModelFileReader *reader : {main, companion})
        for (WORD entry : {13, 17, 18, 19, 20, 21, 22, 29, 30, 31, 32, 33, 37, 38})
            texts.push_back(headerString(reader, entry));
    return texts;
}

TEST_F(ResModelStrings, StandardModelsReadTheSameWithTheirStringModules)
{
    const std::u16string driverDir = plat::driver_dir_win() + u"\\";
    for (const char *file : {"TARVEL1.DDD", "TARVEL2.DDD", "T1_00FF.DDD"}) {
        SCOPED_TRACE(file);
        std::u16string path = driverDir + plat::utf8_to_utf16(file);

        RES_ResetForTest();
        initModuleIn(u"C:\\NoModules\\");
        ReaderPair fallback;
        ASSERT_EQ(DDD_OpenModelFile(path.c_str(), &fallback.main, &fallback.companion), DDD_OK);
        std::vector<std::string> expected = everyText(&fallback.main, &fallback.companion);
        EXPECT_EQ(fallback.main.cache->referencesEnabled, 0u);
        DDD_CloseFiles(&fallback.main, &fallback.companion);

        RES_ResetForTest();
        initModuleIn(driverDir);
        ReaderPair present;
        ASSERT_EQ(DDD_OpenModelFile(path.c_str(), &present.main, &present.companion), DDD_OK);
        std::vector<std::string> resolved = everyText(&present.main, &present.companion);
        EXPECT_EQ(present.main.cache->referencesEnabled, 1u) << "the selector-1 module was found";
        EXPECT_EQ(plat::loader_load_count(u"tarvel1s.xrs"), 1u);
        EXPECT_GT(resolved.size(), 200u);
        EXPECT_EQ(resolved, expected);
    }
}

} // namespace
