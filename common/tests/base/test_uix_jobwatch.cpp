/*
 * Tests of the document-monitor glue with the stand-in modules of
 * outside/docmon: not installed, an older platform, a missing file, the use
 * count (two initialisations and two releases unload only after the
 * second), an initialisation without a handle, the identifiers, and the
 * hand-over of the blocks to a newer monitor and, in the older layout
 * (checked byte by byte), to a monitor without "JwmSetJwmDataEx".
 */
#include <tarvel/uix_jobwatch.h>

#include <docmon/docmon_record.h>

#include "test_model_support.h"

#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/version.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class UixJobwatch : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        model_test::ModelTest::SetUp();
        UIX_ResetJobwatchForTest();
    }
    void TearDown() override
    {
        UIX_ResetJobwatchForTest();
        model_test::ModelTest::TearDown();
    }
    /* Names the monitor library `file` in the registry. */
    static void install(const std::u16string &file)
    {
        ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, UIX_JOBWATCH_VALUE, file));
    }
    static void installStandIn(const char16_t *name = u"tarveljwm.dll")
    {
        install(plat::driver_dir_win() + u"\\" + name);
    }
    static DWORD loads(const char16_t *name = u"tarveljwm.dll") { return plat::loader_load_count(name); }
    static const DocmonRecord *record(const char16_t *name = u"tarveljwm.dll") { return DocmonRecordOf(name); }
    static void configure(const DocmonConfig &config) { ASSERT_TRUE(DocmonConfigureModule(u"tarveljwm.dll", config)); }
};

/* A job's blocks with recognisable texts. */
struct Blocks {
    JwmHeadBlock head{};
    JwmDetailBlock detail{};
    Blocks()
    {
        head.size = 608;
        head.count = 1;
        head.kind = 3;
        head.version = 11;
        std::strcpy(head.portName, "IP_10.0.0.7");
        std::strcpy(head.printerName, "Tarvel Colour");
        std::strcpy(head.userName, "alice");
        head.detail = &detail;
        detail.size = 812;
        detail.jobType = 1;
        detail.jobTime = 0x01020304;
        std::strcpy(detail.portName, "IP_10.0.0.7");
        std::strcpy(detail.jobId, "JOB-1");
        std::strcpy(detail.documentName, "Report.pdf");
        std::strcpy(detail.faxText1, "Sender");
        std::strcpy(detail.faxText2, "Subject");
        detail.flag = 7;
        detail.delaySeconds = 99;
        std::strcpy(detail.jobText, "Not in the old layout");
    }
};

TEST_F(UixJobwatch, NotInstalledEveryCallAnswersZero)
{
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    HANDLE h = reinterpret_cast<HANDLE>(0x4A570001);
    char id[UIX_ID_SIZE] = {};
    Blocks b;
    EXPECT_FALSE(UIX_UninitJobwatch(h));
    EXPECT_FALSE(UIX_ExecJobwatch(h));
    EXPECT_FALSE(UIX_CreateJobId(h, id));
    EXPECT_FALSE(UIX_CreateClientId(h, id));
    EXPECT_FALSE(UIX_SetJwmData(h, &b.head));
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);

    install(u"C:\\Program Files\\Tarvel\\nosuch.dll");
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr) << "a library that cannot be loaded";
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
}

TEST_F(UixJobwatch, OlderPlatformsLoadNothing)
{
    installStandIn();
    plat::version_set(5, 1, 2600, 3, VER_NT_WORKSTATION);
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(loads(), 0u);
    plat::version_set(6, 0, 6002, 2, VER_NT_WORKSTATION);
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr) << "6.0 is enough";
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

TEST_F(UixJobwatch, TwoInitsAndTwoReleasesUnloadOnlyAfterTheSecond)
{
    installStandIn();
    HANDLE a = UIX_InitJobwatch(0x21);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(loads(), 1u);
    HANDLE b = UIX_InitJobwatch(0);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 2);
    EXPECT_EQ(loads(), 1u) << "one library load, two references of the glue";
    ASSERT_NE(record(), nullptr);
    EXPECT_EQ(record()->inits, 2);
    EXPECT_EQ(record()->lastFlags, 0u);

    EXPECT_TRUE(UIX_UninitJobwatch(a));
    EXPECT_EQ(loads(), 1u) << "still loaded after the first release";
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 1);
    EXPECT_TRUE(UIX_UninitJobwatch(b));
    EXPECT_EQ(loads(), 0u) << "unloaded after the second";
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
    EXPECT_FALSE(UIX_UninitJobwatch(b)) << "nothing bound any more";

    /* The release reports the monitor's answer and still drops the reference. */
    HANDLE c = UIX_InitJobwatch(0);
    ASSERT_NE(c, nullptr);
    DocmonConfig failing{};
    failing.failUninit = TRUE;
    configure(failing);
    EXPECT_FALSE(UIX_UninitJobwatch(c));
    EXPECT_EQ(loads(), 0u);
}

TEST_F(UixJobwatch, AnInitWithoutAHandleDropsItsReference)
{
    installStandIn();
    HANDLE a = UIX_InitJobwatch(0);
    ASSERT_NE(a, nullptr);
    DocmonConfig refusing{};
    refusing.refuseInit = TRUE;
    configure(refusing);
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 1);
    EXPECT_EQ(record()->inits, 2);
    EXPECT_TRUE(UIX_UninitJobwatch(a));
    EXPECT_EQ(loads(), 0u);
}

/* An in-process monitor that never gives a handle: the only reference goes with the refusal. */
HANDLE refuse(DWORD) { return nullptr; }
BOOL succeed(HANDLE) { return TRUE; }

TEST_F(UixJobwatch, ARefusedFirstInitUnloadsTheLibrary)
{
    const plat::FakeExport exports[] = {{"JwmInitializeJobwatch", plat::to_farproc(&refuse)},
                                        {"JwmUnInitializeJobwatch", plat::to_farproc(&succeed)}};
    ASSERT_TRUE(plat::loader_register_fake(u"refusing.dll", nullptr, exports));
    install(u"refusing.dll");
    EXPECT_EQ(UIX_InitJobwatch(0), nullptr);
    EXPECT_EQ(loads(u"refusing.dll"), 0u);
    EXPECT_EQ(UIX_GetJobwatchUseCount(), 0);
}

TEST_F(UixJobwatch, IdentifiersAndExec)
{
    installStandIn();
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    char id[UIX_ID_SIZE] = {};
    ASSERT_TRUE(UIX_CreateClientId(h, id));
    EXPECT_STREQ(id, "CLIENT-1");
    ASSERT_TRUE(UIX_CreateJobId(h, id));
    EXPECT_STREQ(id, "JOB-1");
    EXPECT_FALSE(UIX_CreateJobId(h, nullptr));
    EXPECT_TRUE(UIX_ExecJobwatch(h));
    EXPECT_EQ(record()->execs, 1);
    DocmonConfig failing{};
    failing.failExec = TRUE;
    failing.failJobId = TRUE;
    configure(failing);
    EXPECT_FALSE(UIX_ExecJobwatch(h));
    EXPECT_FALSE(UIX_CreateJobId(h, id));
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

TEST_F(UixJobwatch, NewerMonitorGetsTheBlocksAsTheyAre)
{
    installStandIn();
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    Blocks b;
    ASSERT_TRUE(UIX_SetJwmData(h, &b.head));
    const DocmonRecord *r = record();
    EXPECT_EQ(r->setDataExCalls, 1);
    EXPECT_EQ(r->setDataCalls, 0);
    EXPECT_STREQ(r->head.userName, "alice");
    EXPECT_EQ(r->detailCount, 1u);
    EXPECT_EQ(std::memcmp(&r->details[0], &b.detail, sizeof b.detail), 0);
    EXPECT_FALSE(UIX_SetJwmData(h, nullptr));
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

TEST_F(UixJobwatch, OlderMonitorGetsTheOlderLayout)
{
    installStandIn(u"tarveljwm1.dll");
    HANDLE h = UIX_InitJobwatch(0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(GetProcAddress(GetModuleHandleW(u"tarveljwm1.dll"), "JwmSetJwmDataEx"), nullptr);
    Blocks b;
    ASSERT_TRUE(UIX_SetJwmData(h, &b.head));
    const DocmonRecord *r = record(u"tarveljwm1.dll");
    ASSERT_EQ(r->setDataCalls, 1);
    ASSERT_EQ(r->oldSize, 536u + 660u);

    /* Expected bytes written out from the layout: head, then the one destination record. */
    std::vector<BYTE> expected(536 + 660, 0);
    auto put32 = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i)
            expected[at + size_t(i)] = BYTE(v >> (8 * i));
    };
    auto putText = [&](size_t at, const char *text) { std::memcpy(expected.data() + at, text, std::strlen(text)); };
    put32(0, 1196);
    put32(4, 1);
    put32(8, 3);
    put32(12, 11);
    putText(16, "IP_10.0.0.7");
    putText(276, "Tarvel Colour");
    put32(536 + 0, 660);
    put32(536 + 4, 1);
    put32(536 + 8, 0x01020304);
    putText(536 + 12, "IP_10.0.0.7");
    putText(536 + 272, "JOB-1");
    putText(536 + 336, "Report.pdf");
    putText(536 + 596, "Sender");
    putText(536 + 628, "Subject");
    EXPECT_EQ(std::vector<BYTE>(r->oldBlock, r->oldBlock + r->oldSize), expected);

    /* Counts outside 1..86 cannot be converted. */
    b.head.count = 0;
    EXPECT_FALSE(UIX_SetJwmData(h, &b.head));
    b.head.count = 87;
    EXPECT_FALSE(UIX_SetJwmData(h, &b.head));
    EXPECT_EQ(record(u"tarveljwm1.dll")->setDataCalls, 1);
    EXPECT_TRUE(UIX_UninitJobwatch(h));
}

} // namespace
