/*
 * Helpers shared by the model data reader's tests: a reader pair that
 * closes itself, opening a pair from memory or from writer models, a fresh
 * machine folder per test, and small conversions for assertions.
 */
#ifndef TARVEL_TEST_MODEL_SUPPORT_H
#define TARVEL_TEST_MODEL_SUPPORT_H

#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

#include <modelwriter/model_writer.h>
#include <plat/machine.h>
#include <plat/text.h>

#include "model_internal.h"

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace model_test {

/* Two zero-filled readers, closed when the test ends. */
struct ReaderPair {
    ModelFileReader main{};
    ModelFileReader companion{};
    ~ReaderPair() { DDD_CloseFiles(&main, &companion); }
};

/* Main path used by in-memory opens. */
inline const char16_t *kMemoryPath = u"C:\\DRIVER\\MODEL.DDD";

inline WORD openBytes(ReaderPair &p, const std::vector<BYTE> &mainFile, const std::vector<BYTE> *companion)
{
    return ddd_OpenModelMemory(kMemoryPath, mainFile.data(), mainFile.size(),
                               companion ? companion->data() : nullptr, companion ? companion->size() : 0,
                               &p.main, &p.companion);
}

/* Builds a model with the writer (checked) and opens it from memory. */
inline WORD openModel(ReaderPair &p, const mw::Model &m, mw::Bytes *mainOut = nullptr, mw::Bytes *compOut = nullptr)
{
    mw::Bytes mainFile, companion;
    std::string error;
    EXPECT_TRUE(mw::build(m, mainFile, companion, error)) << error;
    WORD r = openBytes(p, mainFile, m.companionName.empty() ? nullptr : &companion);
    if (mainOut)
        *mainOut = mainFile;
    if (compOut)
        *compOut = companion;
    return r;
}

inline std::string u8(LPCWSTR s)
{
    if (!s)
        return "<null>";
    return plat::utf16_to_utf8(std::u16string_view(s, plat::wlen(s)));
}

/* A fresh machine folder and the process-wide state the reader keeps. */
class ModelTest : public plat_test::FreshMachineTest {
protected:
    ModelTest() : FreshMachineTest("tarvel-model") {}

    void SetUp() override
    {
        FreshMachineTest::SetUp();
        root_ = root.string();
        ddd_ResetLastFormatVersionForTest();
        mdl_FailAllocation(0);
        liveAtStart_ = mdl_LiveBlocks();
    }
    void TearDown() override
    {
        mdl_FailAllocation(0);
        FreshMachineTest::TearDown();
    }
    std::string root_;
    long liveAtStart_ = 0;
};

/* A minimal but complete set of header entries 1-41 for writer models. */
inline void fillEntries(mw::FileHead &h)
{
    for (WORD id = 1; id < DDD_ENTRY_COUNT; ++id) {
        const DddHeaderEntryRow &row = kDddHeaderEntries[id];
        if (row.count == 0)
            h.entries[id] = mw::Entry{};
        else if (row.itemSize == 0)
            h.entries[id] = mw::eText(mw::noText());
        else
            h.entries[id] = mw::Entry{{mw::Bytes(row.itemSize, 0)}};
    }
    h.entries[2] = mw::eU32(1);
    h.entries[33] = mw::eText(mw::stored("Software\\Test"));
    h.entries[41] = mw::eU16(100);
}

/* An empty model with valid headers at a format version. */
inline mw::Model emptyModel(DWORD version, bool companion = true)
{
    mw::Model m;
    m.fileName = "MODEL.DDD";
    m.companionName = companion ? "MODEL.DDC" : "";
    m.formatVersion = version;
    m.main.title = "Test";
    m.main.versionText = "Test:1.0.0";
    m.main.modelName = "Test Model";
    fillEntries(m.main);
    m.companion = m.main;
    return m;
}

} // namespace model_test

#endif /* TARVEL_TEST_MODEL_SUPPORT_H */
