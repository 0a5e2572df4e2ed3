/*
 * Tests of the data-manager binding against fake data managers registered
 * in-process (absent, without dma_SetValue, failing inside dma_GetValue,
 * handing out record offsets) and, once, against the real libtarveldm.so
 * found beside the calling library: the local identifiers, the guard and its
 * trace line, the use count, and the conversion of offsets into pointers.
 */
#include "test_dmb_support.h"

#include <stdexcept>
#include <thread>

using namespace dmb_test;

namespace {

/* What the fakes saw and answer. */
struct FakeState {
    int getCalls = 0;
    int setCalls = 0;
    WORD answerType = SVT_UINT16;
    WORD answerKind = SRK_DEVMODE;
    ULONGLONG answerSlot = 7;
};
FakeState g_fake;

WORD fake_get(WORD, void *, void *, WORD *type, LONG *size, void *slot, WORD *kind)
{
    ++g_fake.getCalls;
    *kind = g_fake.answerKind;
    *type = g_fake.answerType;
    *size = g_fake.answerType == SVT_UINT16 ? 2 : 8;
    plat::store<ULONGLONG>(slot, g_fake.answerSlot);
    return DMA_OK;
}

/* A second implementation, to tell a rebound entry point from a stale one. */
WORD fake_get_other(WORD, void *, void *, WORD *type, LONG *size, void *slot, WORD *kind)
{
    *kind = SRK_DEVMODE;
    *type = SVT_UINT16;
    *size = 2;
    plat::store<ULONGLONG>(slot, 99);
    return DMA_OK;
}

/* A data manager that fails inside the call: the failure leaves it as an exception. */
WORD fake_get_throws(WORD, void *, void *, WORD *, LONG *, void *, WORD *kind)
{
    *kind = SRK_DEVMODE;
    throw std::runtime_error("access violation inside the data manager");
}

WORD fake_set(WORD, void *, void *, WORD, LONG, const void *)
{
    ++g_fake.setCalls;
    return DMA_OK;
}

void registerFake(std::initializer_list<plat::FakeExport> exports)
{
    ASSERT_TRUE(plat::loader_register_fake(u"tarveldm.dll", nullptr,
                                           std::span<const plat::FakeExport>(exports.begin(), exports.size())));
}

DWORD loadCount()
{
    return plat::loader_load_count(u"tarveldm.dll");
}

class Binding : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        g_fake = FakeState{};
        libraryInOwnDir();
    }
    HMODULE self() { return RES_GetOwnModule(); }
};

} // namespace

TEST_F(Binding, LocalIdentifiersAnswerWithoutTheDataManager)
{
    Read flag = read(DMB_ID_LOCAL_FLAG, nullptr, nullptr);
    EXPECT_EQ(flag.status, DMA_OK);
    EXPECT_EQ(flag.type, SVT_FLAG);
    EXPECT_EQ(flag.size, 4);
    EXPECT_EQ(flag.value(), 1u);

    Read word = read(DMB_ID_LOCAL_UINT16, nullptr, nullptr);
    EXPECT_EQ(word.status, DMA_OK);
    EXPECT_EQ(word.type, SVT_UINT16);
    EXPECT_EQ(word.size, 2);
    EXPECT_EQ(word.value(), 4u);

    WORD type = 0;
    BYTE slot[8] = {};
    EXPECT_EQ(DMB_GetValue(DMB_ID_LOCAL_FLAG, nullptr, nullptr, &type, nullptr, slot), DMA_ERR_FAIL);
    LONG size = 0;
    EXPECT_EQ(DMB_GetValue(DMB_ID_LOCAL_UINT16, nullptr, nullptr, nullptr, &size, slot), DMA_ERR_FAIL);
    EXPECT_EQ(DMB_GetValue(DMB_ID_LOCAL_UINT16, nullptr, nullptr, &type, &size, nullptr), DMA_ERR_FAIL);
}

TEST_F(Binding, AbsentDataManagerAnswers16AndTracesNothing)
{
    writeSwitch("[LOG]\r\nLog=0x80000003\r\n");
    EXPECT_EQ(DMB_Load(self()), 0);
    EXPECT_EQ(DMB_GetUseCount(), 1);
    Records r;
    EXPECT_EQ(read(270, r.dm(), r.pd()).status, DMA_ERR_FAIL);
    const WORD value = 1;
    EXPECT_EQ(DMB_SetValue(270, r.dm(), r.pd(), SVT_UINT16, 2, &value), DMA_ERR_FAIL);
    EXPECT_EQ(read(DMB_ID_LOCAL_FLAG, r.dm(), r.pd()).status, DMA_OK);
    EXPECT_EQ(debugText(), "");
    DMB_Unload();
    EXPECT_EQ(DMB_GetUseCount(), 0);
}

TEST_F(Binding, DataManagerWithoutSetValueReadsButRefusesWrites)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    writeSwitch("[LOG]\r\nLog=0x80000003\r\n");
    ASSERT_EQ(DMB_Load(self()), 1);
    Records r;
    Read got = read(270, r.dm(), r.pd());
    EXPECT_EQ(got.status, DMA_OK);
    EXPECT_EQ(got.value(), 7u);
    const WORD value = 1;
    EXPECT_EQ(DMB_SetValue(270, r.dm(), r.pd(), SVT_UINT16, 2, &value), DMA_ERR_FAIL);
    EXPECT_EQ(DMB_SetValue(270, r.dm(), r.pd(), SVT_UINT16, 2, &value), DMA_ERR_FAIL);
    EXPECT_EQ(debugText(), "");
    DMB_Unload();
}

TEST_F(Binding, FailureInsideGetValueIsCaughtTracedAndAnswered16WithType1)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get_throws)}, {"dma_SetValue", plat::to_farproc(&fake_set)}});
    writeSwitch("[LOG]\r\nLog=1\r\n");
    ASSERT_EQ(DMB_Load(self()), 1);
    Records r;
    WORD type = 5;
    LONG size = 77;
    BYTE slot[8] = {};
    EXPECT_EQ(DMB_GetValue(0x110, r.dm(), r.pd(), &type, &size, slot), DMA_ERR_FAIL);
    EXPECT_EQ(type, SVT_FLAG);
    EXPECT_EQ(readFile(traceFile()), "An exception occurred in dma_GetValue. wFuncID[0x0110]\r\n");

    /* Writes are not guarded, and a later read is guarded again. */
    const WORD value = 3;
    EXPECT_EQ(DMB_SetValue(0x110, r.dm(), r.pd(), SVT_UINT16, 2, &value), DMA_OK);
    EXPECT_EQ(DMB_GetValue(0x9001, r.dm(), r.pd(), &type, &size, slot), DMA_ERR_FAIL);
    EXPECT_EQ(readFile(traceFile()), "An exception occurred in dma_GetValue. wFuncID[0x0110]\r\n"
                                     "An exception occurred in dma_GetValue. wFuncID[0x9001]\r\n");
    DMB_Unload();
}

TEST_F(Binding, OnlyTheFirstLoadLoadsAndTheLastUnloadForgetsTheEntryPoints)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}, {"dma_SetValue", plat::to_farproc(&fake_set)}});
    Records r;
    ASSERT_EQ(DMB_Load(self()), 1);
    ASSERT_EQ(DMB_Load(self()), 1);
    EXPECT_EQ(DMB_GetUseCount(), 2);
    EXPECT_EQ(loadCount(), 1u);
    EXPECT_EQ(read(270, r.dm(), r.pd()).value(), 7u);

    DMB_Unload();
    EXPECT_EQ(loadCount(), 1u);
    EXPECT_EQ(read(270, r.dm(), r.pd()).value(), 7u);
    DMB_Unload();
    EXPECT_EQ(loadCount(), 0u);
    EXPECT_EQ(read(270, r.dm(), r.pd()).status, DMA_ERR_FAIL);
    DMB_Unload(); /* below 0: nothing */
    EXPECT_EQ(DMB_GetUseCount(), 0);

    /* A new load binds again: the cached address of the first module is gone. */
    plat::loader_unregister_fake(u"tarveldm.dll");
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get_other)}});
    ASSERT_EQ(DMB_Load(self()), 1);
    EXPECT_EQ(read(270, r.dm(), r.pd()).value(), 99u);
    DMB_Unload();
}

TEST_F(Binding, FailedLoadCountsAndLaterLoadsDoNotRetryUntilTheCountReturnsTo0)
{
    EXPECT_EQ(DMB_Load(self()), 0);
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    EXPECT_EQ(DMB_Load(self()), 0) << "nothing is loaded, so the second user is told so";
    EXPECT_EQ(DMB_GetUseCount(), 2);
    EXPECT_EQ(loadCount(), 0u);
    Records r;
    EXPECT_EQ(read(270, r.dm(), r.pd()).status, DMA_ERR_FAIL);
    DMB_Unload();
    DMB_Unload();
    EXPECT_EQ(DMB_Load(self()), 1);
    EXPECT_EQ(loadCount(), 1u);
    DMB_Unload();
}

TEST_F(Binding, WithoutTheLibrarysFolderNothingIsLoaded)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    HMODULE module = self();
    RES_ResetForTest(); /* the module paths were never recorded */
    EXPECT_EQ(DMB_Load(module), 0);
    EXPECT_EQ(loadCount(), 0u);
    DMB_Unload();
}

TEST_F(Binding, NullModuleHandleFailsButCounts)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    EXPECT_EQ(DMB_Load(nullptr), 0);
    EXPECT_EQ(DMB_GetUseCount(), 1);
    EXPECT_EQ(loadCount(), 0u);
    DMB_Unload();
}

TEST_F(Binding, StringAndBlockOffsetsBecomePointersIntoTheirRecord)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    ASSERT_EQ(DMB_Load(self()), 1);
    Records r;
    struct Case {
        WORD kind;
        WORD type;
        ULONGLONG offset;
        BYTE *expected;
    } cases[] = {
        {SRK_DEVMODE, SVT_WSTRING, 224, r.image.data() + 224},
        {SRK_EXTENSION, SVT_WSTRING, 264, r.image.data() + 1604 + 264},
        {SRK_PRINTERDATA, SVT_WSTRING, 18, r.printerData.data() + 18},
        {SRK_DEVMODE, SVT_LOGFONT, 588, r.image.data() + 588},
        {SRK_DEVMODE, SVT_WSTRING, 1604, nullptr},      /* past the devmode */
        {SRK_EXTENSION, SVT_WSTRING, 4292, nullptr},    /* past the extension block */
        {SRK_PRINTERDATA, SVT_WSTRING, 6148, nullptr},  /* past the printer data */
    };
    for (const Case &c : cases) {
        g_fake.answerKind = c.kind;
        g_fake.answerType = c.type;
        g_fake.answerSlot = c.offset;
        Read got = read(1, r.dm(), r.pd());
        if (c.expected == nullptr) {
            EXPECT_EQ(got.status, DMA_ERR_FAIL) << c.offset;
            continue;
        }
        EXPECT_EQ(got.status, DMA_OK);
        EXPECT_EQ(reinterpret_cast<const BYTE *>(FID_SlotString(got.slot)), c.expected) << c.kind << " " << c.offset;
    }
    /* A record the caller did not pass: no pointer can be made. */
    g_fake.answerKind = SRK_PRINTERDATA;
    g_fake.answerSlot = 18;
    EXPECT_EQ(read(1, r.dm(), nullptr).status, DMA_ERR_FAIL);
    DMB_Unload();
}

TEST_F(Binding, LoadsAndUnloadsFromManyThreadsKeepOneCount)
{
    registerFake({{"dma_GetValue", plat::to_farproc(&fake_get)}});
    ASSERT_EQ(DMB_Load(self()), 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this] {
            Records r;
            for (int i = 0; i < 200; ++i) {
                EXPECT_EQ(DMB_Load(self()), 1);
                EXPECT_EQ(read(270, r.dm(), r.pd()).status, DMA_OK);
                DMB_Unload();
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(DMB_GetUseCount(), 1);
    EXPECT_EQ(loadCount(), 1u);
    DMB_Unload();
    EXPECT_EQ(loadCount(), 0u);
}

/* The real data manager, found beside the calling library by its name in string 32766. */
class RealDataManager : public MachineTest {};

TEST_F(RealDataManager, FoundBesideTheCallingLibraryAndReadAndWritten)
{
    bindRealDataManager();
    EXPECT_EQ(loadCount(), 1u);
    Records r;
    EXPECT_EQ(writeNumber(270, r.dm(), r.pd(), 2), DMA_OK);
    EXPECT_EQ(r.image[316], 2) << "270 is the byte at devmode offset 316";
    Read colour = read(270, r.dm(), r.pd());
    EXPECT_EQ(colour.status, DMA_OK);
    EXPECT_EQ(colour.type, SVT_UINT16);
    EXPECT_EQ(colour.value(), 2u);

    /* A string of the extension block comes back as a pointer into the image. */
    const WCHAR *text = u"Tarvel";
    ASSERT_EQ(DMB_SetValue(1797, r.dm(), r.pd(), SVT_WSTRING, 82, &text), DMA_OK);
    Read s = read(1797, r.dm(), r.pd());
    ASSERT_EQ(s.status, DMA_OK);
    EXPECT_EQ(s.type, SVT_WSTRING);
    EXPECT_EQ(s.size, 14);
    EXPECT_EQ(reinterpret_cast<const BYTE *>(FID_SlotString(s.slot)), r.image.data() + 1604 + 264);
    EXPECT_EQ(std::u16string(FID_SlotString(s.slot)), u"Tarvel");

    /* A printer-data string points into the printer-data record. */
    const WCHAR *name = u"Office";
    ASSERT_EQ(DMB_SetValue(5121, r.dm(), r.pd(), SVT_WSTRING, 66, &name), DMA_OK);
    EXPECT_EQ(reinterpret_cast<const BYTE *>(FID_SlotString(read(5121, r.dm(), r.pd()).slot)),
              r.printerData.data() + 18);
    DMB_Unload();
    EXPECT_EQ(loadCount(), 0u);
}
