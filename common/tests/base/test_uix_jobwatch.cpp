/*
 * Tests of the document-monitor glue: where the library is found (the
 * platform, the registry's default value naming an existing file, "JwmApi"),
 * the use count (two initialisations and two releases unload only after the
 * second; a refused initialisation leaves the count as it was), libraries
 * missing each required entry point in turn (-996, unloaded, every wrapper
 * 0 afterwards) with and without the extended entry, the identifiers, and
 * the hand-over of the blocks to a newer monitor and, in the older layout
 * (checked byte by byte), to one without "JwmSetJwmDataEx".
 */
#include <tarvel/base/uix_jobwatch.h>

#include <docmon/docmon_record.h>

#include "test_model_support.h"

#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/version.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

/* ---- A fake monitor whose export set each test chooses ----------------- */

struct FakeMonitor {
    LONG inits = 0;
    LONG uninits = 0;
    LONG setData = 0;
    LONG setDataEx = 0;
    std::vector<BYTE> oldBlock;
    LONGLONG firstOffset = 0;
    bool refuse = false;
};
FakeMonitor g_fake;

HANDLE fakeInit(DWORD)
{
    ++g_fake.inits;
    return g_fake.refuse ? nullptr : reinterpret_cast<HANDLE>(uintptr_t(0x77));
}
BOOL fakeUninit(HANDLE) { return ++g_fake.uninits, TRUE; }
BOOL fakeOther(HANDLE) { return TRUE; }
BOOL fakeSetDataEx(HANDLE, const JwmHeadBlock *) { return ++g_fake.setDataEx, TRUE; }
BOOL fakeSetData(HANDLE, const BYTE *block)
{
    ++g_fake.setData;
    const DWORD count = plat::load_u32(block, 0);
    g_fake.oldBlock.assign(block, block + JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE * count);
    const BYTE *first = nullptr;
    std::memcpy(&first, block + JWM_OLD_OFF_FIRST, sizeof first);
    g_fake.firstOffset = first - block;
    return TRUE;
}

FARPROC procFor(const char *name)
{
    const std::string n = name;
    if (n == "JwmInitializeJobwatch")
        return plat::to_farproc(&fakeInit);
    if (n == "JwmUnInitializeJobwatch")
        return plat::to_farproc(&fakeUninit);
    if (n == "JwmSetJwmData")
        return plat::to_farproc(&fakeSetData);
    if (n == "JwmSetJwmDataEx")
        return plat::to_farproc(&fakeSetDataEx);
    return plat::to_farproc(&fakeOther);
}

/* Registers "jwmfake.dll" exporting every entry point but `missing` (null: all), optionally without the extended one. */
void registerFake(const char *missing, bool extended)
{
    std::vector<plat::FakeExport> exports;
    for (const char *name : UIX_JOBWATCH_REQUIRED)
        if (!missing || std::strcmp(name, missing) != 0)
            exports.push_back({name, procFor(name)});
    for (const char *name : UIX_JOBWATCH_OPTIONAL)
        if (extended || std::strcmp(name, "JwmSetJwmDataEx") != 0)
            exports.push_back({name, procFor(name)});
    plat::loader_unregister_fake(u"jwmfake.dll");
    ASSERT_TRUE(plat::loader_register_fake(u"jwmfake.dll", nullptr, exports));
}

class UixJobwatch : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        model_test::ModelTest::SetUp();
        UIX_ResetJobwatchForTest();
        g_fake = FakeMonitor{};
    }
    void TearDown() override
    {
        UIX_ResetJobwatchForTest();
        model_test::ModelTest::TearDown();
    }
    static void installStandIn(const char16_t *name = u"tarveljwm.dll")
    {
        ASSERT_TRUE(DocmonInstall(plat::driver_dir_win() + u"\\" + name));
    }
    static DWORD loads(const char16_t *name = u"tarveljwm.dll") { return plat::loader_load_count(name); }
    static const DocmonRecord *record(const char16_t *name = u"tarveljwm.dll") { return DocmonRecordOf(name); }
    static void configure(const DocmonConfig &config) { ASSERT_TRUE(DocmonConfigureModule(u"tarveljwm.dll", config)); }
};

/* A job's blocks with recognisable texts, the details behind the head as the builder lays them out. */
struct Blocks {
    JwmHeadBlock head{};
    JwmDetailBlock detail[2]{};
    explicit Blocks(DWORD count = 1)
    {
        head.size = 608;
        head.count = count;
        head.kind = 3;
        head.version = 11;
        std::strcpy(head.portName, "IP_10.0.0.7");
        std::strcpy(head.printerName, "Tarvel Colour");
        std::strcpy(head.userName, "alice");
        head.detail = detail;
        for (DWORD i = 0; i < 2; i++) {
            JwmDetailBlock &d = detail[i];
            d.size = 812;
            d.jobType = i == 0 ? 1 : 6;
            d.jobTime = 0x01020304 + i;
            std::strcpy(d.portName, "IP_10.0.0.7");
            std::strcpy(d.jobId, i == 0 ? "JOB-1" : "JOB-2");
            std::strcpy(d.documentName, "Report.pdf");
            std::memset(d.faxText1, 'S', sizeof d.faxText1); /* no terminator: cut at its 32 bytes */
            std::strcpy(d.faxText2, "Subject");
            d.flag = 7;
            d.delaySeconds = 99;
            std::strcpy(d.jobText, "Not in the old layout");
        }
    }
};

TEST_F(UixJobwatch, NotInstalledEveryCallAnswersZero)
{
    CHAR id[UIX_ID_SIZE] = {};
    Blocks b;
    int status = 5;
    EXPECT_EQ(UIX_InitJobwatchEx(0, &status), nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(UIX_UninitJobwatch(reinterpret_cast<HANDLE>(1)));
    EXPECT_FALSE(UIX_ExecJobwatch(reinterpret_cast<HANDLE>(1)));
    EXPECT_FALSE(UIX_CreateJobId(reinterpret_cast<HANDLE>(1), id));
    EXPECT_FALSE(UIX_CreateClientId(reinterpret_cast<HANDLE>(1), id));
    EXPECT_FALSE(UIX_SetJwmData(reinterpret_cast<HANDLE>(1), &b.head));
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
}

TEST_F(UixJobwatch, WhereTheLibraryIsLooked)
{
    /* Platform kinds. */
    EXPECT_EQ(UIX_GetPlatformKind(), UIX_PLATFORM_NT);
    plat::version_set(4, 10, 2222, 0, 0, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(UIX_GetPlatformKind(), UIX_PLATFORM_9X);
    plat::version_set(3, 10, 0, 0, 0, VER_PLATFORM_WIN32s);
    EXPECT_EQ(UIX_GetPlatformKind(), 0);
    plat::version_fail(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(UIX_GetPlatformKind(), 0);
    plat::version_fail(0);

    /* No key, a default value naming a missing file, no "JwmApi": not found. */
    EXPECT_EQ(UIX_LocateJobwatch(UIX_PLATFORM_NT), 0);
    ASSERT_TRUE(DocmonInstall(plat::driver_dir_win() + u"\\tarveljwm.dll", false));
    EXPECT_EQ(UIX_FindJobwatchLibrary(), 0) << "the default value names no existing file";
    installStandIn();
    EXPECT_EQ(UIX_FindJobwatchLibrary(), 1);
    for (int kind : {0, 1, 4})
        EXPECT_EQ(UIX_LocateJobwatch(kind), 0) << kind;
    EXPECT_EQ(UIX_LocateJobwatch(UIX_PLATFORM_9X), 2);
    EXPECT_EQ(UIX_LocateJobwatch(UIX_PLATFORM_NT), 2);

    /* On another platform nothing is loaded. */
    plat::version_set(3, 10, 0, 0, 0, VER_PLATFORM_WIN32s);
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(loads(), 0u);
    plat::version_set(4, 10, 2222, 0, 0, VER_PLATFORM_WIN32_WINDOWS);
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr) << "the 9x platform looks too";
    EXPECT_TRUE(UIX_UninitJobwatch(h));

    ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, UIX_JOBWATCH_VALUE, u""));
    EXPECT_EQ(UIX_FindJobwatchLibrary(), 0) << "an empty \"JwmApi\"";
}

TEST_F(UixJobwatch, TwoInitsAndOneReleaseKeepTheLibrary)
{
    installStandIn();
    HANDLE a = UIX_InitJobwatch(0x10);
    HANDLE b = UIX_InitJobwatch(0x20);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 2);
    EXPECT_EQ(loads(), 1u) << "loaded once";
    EXPECT_EQ(record()->inits, 2);
    EXPECT_EQ(record()->lastFlags, 0x20u);
    EXPECT_TRUE(UIX_UninitJobwatch(a));
    EXPECT_EQ(loads(), 1u) << "one reference is left";
    EXPECT_TRUE(UIX_UninitJobwatch(b));
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
    EXPECT_EQ(loads(), 0u) << "the last release unloads";
    EXPECT_FALSE(UIX_UninitJobwatch(b)) << "nothing bound any more";
}

TEST_F(UixJobwatch, ARefusedInitLeavesTheCountAsItWas)
{
    installStandIn();
    HANDLE held = UIX_InitJobwatch(0);
    ASSERT_NE(held, nullptr);
    DocmonConfig refuse{};
    refuse.refuseInit = TRUE;
    configure(refuse);
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 1);
    EXPECT_EQ(loads(), 1u);
    configure(DocmonConfig{});
    EXPECT_TRUE(UIX_UninitJobwatch(held));
    EXPECT_EQ(loads(), 0u);

}

TEST_F(UixJobwatch, ARefusedFirstInitUnloadsTheLibraryAgain)
{
    ASSERT_TRUE(DocmonInstall(u"C:\\Program Files\\Varnel\\jwmfake.dll"));
    registerFake(nullptr, true);
    g_fake.refuse = true;
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(g_fake.inits, 1);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
    EXPECT_EQ(plat::loader_load_count(u"jwmfake.dll"), 0u);
}

TEST_F(UixJobwatch, ALibraryMissingARequiredEntryPointIsUnloadedWithMinus996)
{
    ASSERT_TRUE(DocmonInstall(u"C:\\Program Files\\Varnel\\jwmfake.dll"));
    for (bool extended : {true, false}) {
        for (const char *missing : UIX_JOBWATCH_REQUIRED) {
            SCOPED_TRACE(testing::Message() << missing << (extended ? " with" : " without") << " the extended entry");
            registerFake(missing, extended);
            int status = 0;
            EXPECT_EQ(UIX_InitJobwatchEx(0, &status), nullptr);
            EXPECT_EQ(status, UIX_JOBWATCH_INCOMPLETE);
            EXPECT_EQ(plat::loader_load_count(u"jwmfake.dll"), 0u) << "unloaded at once";
            EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
            CHAR id[UIX_ID_SIZE] = {};
            Blocks b;
            HANDLE any = reinterpret_cast<HANDLE>(uintptr_t(0x77));
            EXPECT_FALSE(UIX_ExecJobwatch(any));
            EXPECT_FALSE(UIX_CreateJobId(any, id));
            EXPECT_FALSE(UIX_CreateClientId(any, id));
            EXPECT_FALSE(UIX_SetJwmData(any, &b.head));
            EXPECT_FALSE(UIX_UninitJobwatch(any));
        }
        EXPECT_EQ(g_fake.inits, 0) << "never initialised";

        /* Complete: bound, and the blocks go the way the extended entry says. */
        registerFake(nullptr, extended);
        int status = 5;
        HANDLE h = UIX_InitJobwatchEx(0, &status);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(status, 0);
        Blocks b;
        EXPECT_TRUE(UIX_SetJwmData(h, &b.head));
        EXPECT_EQ(g_fake.setDataEx, extended ? 1 : 0);
        EXPECT_EQ(g_fake.setData, extended ? 0 : 1);
        EXPECT_TRUE(UIX_UninitJobwatch(h));
        EXPECT_EQ(plat::loader_load_count(u"jwmfake.dll"), 0u);
        g_fake = FakeMonitor{};
    }
}

TEST_F(UixJobwatch, IdentifiersAndExec)
{
    installStandIn();
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    CHAR client[UIX_ID_SIZE] = {}, job[UIX_ID_SIZE] = {};
    EXPECT_TRUE(UIX_CreateClientId(h, client));
    EXPECT_TRUE(UIX_CreateJobId(h, job));
    EXPECT_STREQ(client, "CLIENT-1");
    EXPECT_STREQ(job, "JOB-1");
    EXPECT_FALSE(UIX_CreateJobId(h, nullptr));
    EXPECT_TRUE(UIX_ExecJobwatch(h));
    EXPECT_EQ(record()->execs, 1);
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

TEST_F(UixJobwatch, NewerMonitorGetsTheBlocksAsTheyAre)
{
    installStandIn();
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    Blocks b;
    EXPECT_TRUE(UIX_SetJwmData(h, &b.head));
    EXPECT_EQ(record()->setDataExCalls, 1);
    EXPECT_EQ(record()->setDataCalls, 0);
    EXPECT_STREQ(record()->head.userName, "alice");
    EXPECT_STREQ(record()->details[0].jobText, "Not in the old layout");
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

/* The older layout of Blocks(2), written out by hand from the layout's description. */
std::vector<BYTE> expectedOldLayout(const Blocks &b)
{
    std::vector<BYTE> e(1856, 0);
    auto u32 = [&](size_t at, DWORD v) { plat::store_u32(e.data(), at, v); };
    auto text = [&](size_t at, const char *t, size_t size) { std::memcpy(e.data() + at, t, strnlen(t, size)); };
    u32(0, 2);  /* count */
    u32(4, 2);  /* kind 3 gives the flag 2 */
    u32(8, 11); /* version */
    text(12, "IP_10.0.0.7", 260);
    text(272, "Tarvel Colour", 256);
    /* bytes 528-535: the pointer to byte 536, checked separately */
    for (size_t i = 0; i < 2; i++) {
        const size_t at = 536 + 660 * i;
        u32(at, 660);
        u32(at + 4, i == 0 ? 0 : 1); /* job type 6 gives the flag 1 */
        u32(at + 8, 0x01020304 + DWORD(i));
        text(at + 12, "IP_10.0.0.7", 260);
        text(at + 272, i == 0 ? "JOB-1" : "JOB-2", 64);
        text(at + 336, "Report.pdf", 260);
        std::memset(e.data() + at + 596, 'S', 32);
        text(at + 628, "Subject", 32);
    }
    (void)b;
    return e;
}

TEST_F(UixJobwatch, OlderMonitorGetsTheOlderLayoutByteForByte)
{
    installStandIn(u"tarveljwm1.dll");
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    Blocks b(2);
    EXPECT_TRUE(UIX_SetJwmData(h, &b.head));
    const DocmonRecord *r = record(u"tarveljwm1.dll");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->setDataCalls, 1);
    EXPECT_EQ(r->oldSize, 1856u);
    EXPECT_EQ(r->oldFirstOffset, 536) << "the entry pointer points behind the head";
    std::vector<BYTE> got(r->oldBlock, r->oldBlock + 1856);
    std::memset(got.data() + 528, 0, 8);
    EXPECT_EQ(got, expectedOldLayout(b));

    /* A count outside 1 to 86 is refused before anything is allocated or called. */
    for (DWORD count : {0u, 87u, 0xFFFFFFFFu}) {
        b.head.count = count;
        EXPECT_FALSE(UIX_SetJwmData(h, &b.head)) << count;
    }
    EXPECT_EQ(r->setDataCalls, 1);
    b.head.count = 1;
    b.head.detail = nullptr;
    EXPECT_FALSE(UIX_SetJwmData(h, &b.head));
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

TEST_F(UixJobwatch, TheConverterFollowsTheHeadsPointer)
{
    /* The builder's blocks: the details right behind the head, the pointer set to them. */
    JwmJobBlocks blocks{};
    blocks.head.count = 1;
    blocks.head.kind = 1;
    blocks.head.detail = &blocks.detail;
    blocks.detail.jobType = 4;
    std::strcpy(blocks.detail.documentName, "Inline");
    std::vector<BYTE> old(JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE, 0);
    ASSERT_TRUE(UIX_ConvertJwmData(&blocks.head, old.data()));
    EXPECT_EQ(plat::load_u32(old.data(), 4), 0u) << "kind 1 gives the flag 0";
    EXPECT_EQ(plat::load_u32(old.data(), 536 + 4), 0u) << "job type 4 gives the flag 0";
    EXPECT_STREQ(reinterpret_cast<const char *>(old.data() + 536 + 336), "Inline");
    EXPECT_FALSE(UIX_ConvertJwmData(nullptr, old.data()));
}

} // namespace
