/*
 * Tests of the trace log with a fixed clock and fixed process and thread
 * ids: the switch file's flag word, the entry and exit lines, the debugger
 * output, the file under C:\DEBUG_LOG\WIN2000, the line limit, the devmode
 * and settings dumps byte for byte, and lines written from several threads.
 */
#include "test_dmb_support.h"

#include <plat/fault.h>
#include <plat/file.h>

#include <thread>

using namespace dmb_test;

namespace {

const std::string kStamp = "03-07-2024 09:05:01 P[00001234] T[00005678] ";

class Trace : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        fixClockAndIds();
        libraryInOwnDir();
    }
};

/* Trace tests that read settings through the real data manager. */
class TraceDump : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        fixClockAndIds();
        bindRealDataManagerInOwnDir();
    }
};

/* A devmode with the public fields of a typical job (built byte by byte). */
std::vector<BYTE> sampleDevmode()
{
    std::vector<BYTE> dm(SETTINGS_IMAGE_SIZE, 0);
    BYTE *p = dm.data();
    const std::u16string name = u"Tarvel CX 1500";
    std::memcpy(p, name.data(), name.size() * 2);
    plat::store<WORD>(p + 64, 0x401);
    plat::store<WORD>(p + 66, 0x5238);
    plat::store<WORD>(p + 68, 220);
    plat::store<WORD>(p + 70, 1384);
    plat::store<DWORD>(p + 72, 0x1FF13);
    const SHORT shorts[] = {1, 9, 2970, 2100, 100, 1, 7, 600, 2, 1, 600, 3, 1}; /* 76 .. 100 */
    for (size_t i = 0; i < sizeof shorts / sizeof shorts[0]; ++i)
        plat::store<SHORT>(p + 76 + 2 * i, shorts[i]);
    std::memcpy(p + 102, u"A4", 4);
    plat::store<DWORD>(p + 172, 0xFFFFFFFF); /* dmPelsWidth, shown signed */
    plat::store<DWORD>(p + 188, 1);          /* dmICMMethod */
    return dm;
}

std::string lines(std::initializer_list<const char *> list)
{
    std::string s;
    for (const char *l : list)
        s += std::string(l) + "\r\n";
    return s;
}

} // namespace

TEST_F(Trace, FlagWordFromTheSwitchFile)
{
    struct Case {
        const char *file;
        DWORD flags;
    } cases[] = {
        {"[LOG]\r\nLog=3\r\n", 3},
        {"[LOG]\r\nLog=0x80000003\r\n", 0x80000003},
        {"[log]\r\nlog=0X1f\r\n", 0x1F},
        {"[LOG]\r\nLog=4294967295\r\n", 0xFFFFFFFF},
        {"[LOG]\r\nLog=0x00000001\r\n", 1},   /* 10 characters */
        {"[LOG]\r\nLog=0x000000001\r\n", 0},  /* 11 characters: tracing off */
        {"[LOG]\r\nLog=abc\r\n", 0},
        {"[LOG]\r\nLog=-1\r\n", 0},
        {"[LOG]\r\nLog=\r\n", 0},
        {"[LOG]\r\nLog=0x\r\n", 0},
        {"[LOG]\r\nOther=3\r\n", 0},
        {"[OTHER]\r\nLog=3\r\n", 0},
        {nullptr, 0},
    };
    for (const Case &c : cases) {
        LOG_ResetForTest();
        DeleteFileW(u"C:\\Tarvel\\tarvel.cfg");
        if (c.file != nullptr)
            writeSwitch(c.file);
        EXPECT_EQ(LOG_GetFlags(), c.flags) << (c.file ? c.file : "no file");
        EXPECT_EQ(LOG_IsEnabled(), c.flags & 1);
    }
}

TEST_F(Trace, EntryAndExitLinesGoToTheFileWithAnEmptyLineAfterEachExit)
{
    writeSwitch("[LOG]\r\nLog=3\r\n");
    EXPECT_EQ(LOG_TraceIn(u"DrvEnablePDEV"), 1);
    EXPECT_EQ(LOG_TraceOut(u"DrvEnablePDEV RetValue = 0x%08X", 0x1A), 1);
    EXPECT_EQ(readFile(traceFile()), kStamp + "IN <<DrvEnablePDEV\r\n" + kStamp +
                                         "OUT>>DrvEnablePDEV RetValue = 0x0000001A\r\n\r\n");
    EXPECT_EQ(debugText(), "");
}

TEST_F(Trace, SignBitSendsTheLinesToTheDebuggerOnly)
{
    writeSwitch("[LOG]\r\nLog=0x80000003\r\n");
    EXPECT_EQ(LOG_Open(), 0) << "no file while the lines go to the debugger";
    EXPECT_EQ(LOG_TraceIn(u"DrvStartDoc"), 1);
    EXPECT_EQ(LOG_TraceOut(u"DrvStartDoc RetValue = 0x%08X", 1), 1);
    EXPECT_EQ(debugText(), kStamp + "IN <<DrvStartDoc\r\n" + kStamp + "OUT>>DrvStartDoc RetValue = 0x00000001\r\n\r\n");
    EXPECT_EQ(readFile(traceFile()), "<missing>");
    EXPECT_EQ(GetFileAttributesW(u"C:\\DEBUG_LOG"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Trace, FlagOneWritesOnlyPlainLines)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    auto dm = sampleDevmode();
    EXPECT_EQ(LOG_TraceIn(u"DrvEnablePDEV"), 1);
    EXPECT_EQ(LOG_TraceOut(u"DrvEnablePDEV RetValue = 0x%08X", 0), 1);
    EXPECT_EQ(LOG_DumpPublicDevmode(nullptr, dm.data()), 1);
    EXPECT_EQ(LOG_DumpFields(nullptr, dm.data()), 1);
    EXPECT_EQ(LOG_DumpSettings(0, u"<INPUT  DEVMODE>", dm.data(), nullptr), 1);
    EXPECT_EQ(LOG_Printf(u"copies %d of %s", 2, u"job"), 1);
    EXPECT_EQ(readFile(traceFile()), "copies 2 of job\r\n");
}

TEST_F(Trace, NothingIsWrittenWithoutTheSwitch)
{
    EXPECT_EQ(LOG_Printf(u"line"), 1);
    EXPECT_EQ(LOG_TraceIn(u"DrvEnablePDEV"), 1);
    EXPECT_EQ(LOG_Open(), 0);
    EXPECT_EQ(readFile(traceFile()), "<missing>");
    EXPECT_EQ(GetFileAttributesW(u"C:\\DEBUG_LOG"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Trace, LinesOf514CharactersOrMoreAreDropped)
{
    writeSwitch("[LOG]\r\nLog=3\r\n");
    const std::u16string fits(513, u'x'), tooLong(514, u'y');
    EXPECT_EQ(LOG_Printf(u"%s", tooLong.c_str()), 0);
    EXPECT_EQ(LOG_Printf(u"%s", fits.c_str()), 1);
    EXPECT_EQ(LOG_WriteLine(tooLong.c_str()), 0);
    /* An entry line that its stamp makes too long. */
    const std::u16string name(514 - kStamp.size() - 5, u'n');
    EXPECT_EQ(LOG_TraceIn(name.c_str()), 0);
    EXPECT_EQ(LOG_TraceIn(name.substr(1).c_str()), 1);
    /* An exit text that is too long on its own is not written at all. */
    EXPECT_EQ(LOG_TraceOut(u"%s", tooLong.c_str()), 0);
    EXPECT_EQ(readFile(traceFile()), std::string(513, 'x') + "\r\n" + kStamp + "IN <<" +
                                         std::string(514 - kStamp.size() - 6, 'n') + "\r\n");
}

TEST_F(Trace, OpenFileCollectsLinesUntilItsLastRelease)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    EXPECT_EQ(LOG_Open(), 1);
    EXPECT_EQ(LOG_Open(), 1);
    LOG_Printf(u"one");
    LOG_Release();
    LOG_Printf(u"two");
    LOG_Release();
    LOG_Release(); /* one too many: nothing */
    LOG_Printf(u"three");
    EXPECT_EQ(readFile(traceFile()), "one\r\ntwo\r\nthree\r\n");
    /* A second process start appends. */
    LOG_ResetForTest();
    LOG_Printf(u"four");
    EXPECT_EQ(readFile(traceFile()), "one\r\ntwo\r\nthree\r\nfour\r\n");
}

TEST_F(Trace, LinesInTheAnsiCodePage)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    LOG_Printf(u"caf\u00e9");
    EXPECT_EQ(readFile(traceFile()), "caf\xE9\r\n");
}

TEST_F(Trace, LinesFromSeveralThreadsStayWhole)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                LOG_Open();
                LOG_Printf(u"thread %d line %02d", t, i);
                LOG_Release();
                LOG_Printf(u"thread %d line %02d", t, i + 50);
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    const std::string text = readFile(traceFile());
    size_t count = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++count;
    EXPECT_EQ(count, 400u);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 100; ++i) {
            char line[32];
            std::snprintf(line, sizeof line, "thread %d line %02d\r\n", t, i);
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }
}

TEST_F(Trace, LogFolderThatCannotBeMadeLosesTheLineOnly)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    writeFile(u"C:\\DEBUG_LOG", "a file where the folder should be");
    EXPECT_EQ(LOG_Printf(u"lost"), 0);
    EXPECT_EQ(LOG_Open(), 0);
    EXPECT_EQ(readFile(u"C:\\DEBUG_LOG"), "a file where the folder should be");
}

TEST_F(Trace, FailedWriteLosesTheLineOnly)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    LOG_Printf(u"first");
    plat::fault_fail_write_after(1);
    EXPECT_EQ(LOG_Printf(u"lost"), 0);
    plat::fault_short_write_after(1, 3);
    EXPECT_EQ(LOG_Printf(u"short"), 0);
    EXPECT_EQ(LOG_Printf(u"last"), 1);
    EXPECT_EQ(readFile(traceFile()), "first\r\nsholast\r\n") << "a short write keeps what it wrote";
}

TEST_F(Trace, SwitchIsReadOnceUntilReloaded)
{
    writeSwitch("[LOG]\r\nLog=1\r\n");
    EXPECT_EQ(LOG_GetFlags(), 1u);
    writeSwitch("[LOG]\r\nLog=0x80000001\r\n");
    EXPECT_EQ(LOG_GetFlags(), 1u);
    LOG_ReloadSwitch();
    EXPECT_EQ(LOG_GetFlags(), 0x80000001u);
}

TEST_F(Trace, ExtraSettingsListedOnceInFileOrder)
{
    writeSwitch("[LOG]\r\nLog=0x31\r\nLOGOUT.DDMID=4101\r\nLOGOUT.DDMID=0x111\r\nlogout.ddmid=4101\r\n"
                "LOGOUT.DDMID=abc\r\nLOGOUT.DDMID=70000\r\nLOGOUT.DDMID=7\r\n");
    ASSERT_EQ(LOG_ReadSwitch(), 1);
    WORD ids[8] = {};
    ASSERT_EQ(LOG_GetExtraIds(ids, 8), 3);
    EXPECT_EQ(ids[0], 4101);
    EXPECT_EQ(ids[1], 0x111);
    EXPECT_EQ(ids[2], 7);
}

TEST_F(Trace, AtMost256ExtraSettingsAreRead)
{
    std::string body = "[LOG]\r\nLog=1\r\n";
    for (int i = 1; i <= 300; ++i)
        body += "LOGOUT.DDMID=" + std::to_string(i) + "\r\n";
    writeSwitch(body);
    ASSERT_EQ(LOG_ReadSwitch(), 1);
    WORD ids[LOG_MAX_EXTRA_IDS + 1] = {};
    ASSERT_EQ(LOG_GetExtraIds(ids, LOG_MAX_EXTRA_IDS + 1), 256);
    EXPECT_EQ(ids[255], 256);
}

TEST_F(Trace, DumpsOfADevmodeByteForByte)
{
    writeSwitch("[LOG]\r\nLog=0x8000000D\r\n");
    auto dm = sampleDevmode();
    EXPECT_EQ(LOG_DumpPublicDevmode(nullptr, dm.data()), 1);
    EXPECT_EQ(debugText(), "\r\n<PublicDevmode>\r\n" + lines({
                               "dmDeviceName       =Tarvel CX 1500", "dmSpecVersion      =1025",
                               "dmDriverVersion    =21048",          "dmSize             =220",
                               "dmDriverExtra      =1384",           "dmFields           =1FF13",
                               "dmOrientation      =1",              "dmPaperSize        =9",
                               "dmPaperLength      =2970",           "dmPaperWidth       =2100",
                               "dmScale            =100",            "dmCopies           =1",
                               "dmDefaultSource    =7",              "dmPrintQuality     =600",
                               "dmColor            =2",              "dmDuplex           =1",
                               "dmYResolution      =600",            "dmTTOption         =3",
                               "dmCollate          =1",              "dmFormName         =A4",
                               "dmLogPixels        =0",              "dmBitsPerPel       =0",
                               "dmPelsWidth        =-1",             "dmPelsHeight       =0",
                               "dmDisplayFlags     =0",              "dmDisplayFrequency =0",
                               "dmICMMethod        =1",              "dmICMIntent        =0",
                               "dmMediaType        =0",              "dmDitherType       =0",
                               "dmReserved1        =0",              "dmReserved2        =0",
                               "dmPanningWidth     =0",              "dmPanningHeight    =0",
                           }));
    plat::debug_clear();
    EXPECT_EQ(LOG_DumpFields(u"<fields>", dm.data()), 1);
    EXPECT_EQ(debugText(), lines({
                               "<fields>",
                               "dmOrientation = ON",     "dmPaperSize = ON",       "dmPaperLength = OFF",
                               "dmPaperWidth = OFF",     "dmScale = ON",           "dmPosition = OFF",
                               "dmNup = OFF",            "dmCopies = ON",          "dmDefaultSource = ON",
                               "dmPrintQuality = ON",    "dmColor = ON",           "dmDuplex = ON",
                               "dmYResolution = ON",     "dmTTOption = ON",        "dmCollate = ON",
                               "dmFormName = ON",        "dmLogPixels = OFF",      "dmBitsPerPel = OFF",
                               "dmPelsWidth = OFF",      "dmPelsheight = OFF",     "dmDisplayFlags = OFF",
                               "dmDisplayFrequen = OFF", "dmICMMetHod = OFF",      "dmICMintent = OFF",
                               "dmMediaType = OFF",      "dmDitherType = OFF",     "dmPanningWidth = OFF",
                               "dmPanningHeight = OFF",
                           }));
    plat::debug_clear();
    EXPECT_EQ(LOG_DumpPublicDevmode(nullptr, nullptr), 0);
    EXPECT_EQ(LOG_DumpFields(nullptr, nullptr), 0);
    EXPECT_EQ(LOG_DumpPrivateSetting(nullptr, nullptr, 270), 0);
    EXPECT_EQ(debugText(), "lpdevmode = NULL\r\nlpDevmode = NULL\r\nlpdevmode = NULL\r\n");
}

TEST_F(TraceDump, SettingsDumpOfThePublicFields)
{
    writeSwitch("[LOG]\r\nLog=0x80000011\r\n");
    auto dm = sampleDevmode();
    EXPECT_EQ(LOG_DumpSettings(LOG_CATEGORY_DOCEVENT_MERGE, u"<INPUT  DEVMODE>", dm.data(), nullptr), 1);
    const std::string dashes(69, '-');
    EXPECT_EQ(debugText(), "<INPUT  DEVMODE>\r\n" + dashes + "\r\n" + lines({
                               "[0x0001] = [Tarvel CX 1500]", "[0x0002] = [0x401]",  "[0x0003] = [0x5238]",
                               "[0x0004] = [0xdc]",           "[0x0005] = [0x568]",  "[0x0006] = [0x1ff13]",
                               "[0x0007] = [1]",              "[0x0008] = [9]",      "[0x0009] = [2970]",
                               "[0x000a] = [2100]",           "[0x000b] = [100]",    "[0x000c] = [1]",
                               "[0x000d] = [7]",              "[0x000e] = [0x2580258]", "[0x000f] = [2]",
                               "[0x0010] = [1]",              "[0x0011] = [3]",      "[0x0012] = [1]",
                               "[0x0013] = [A4]",             "[0x0014] = [600]",    "[0x0015] = [600]",
                               "[0x0016] = [0x0001]",         "[0x0017] = [0x0000]", "[0x0018] = [0x0000]",
                               "[0x0019] = [0x0000]",
                           }) + dashes + "\r\n");
}

TEST_F(TraceDump, SettingLinesByValueType)
{
    writeSwitch("[LOG]\r\nLog=0x80000001\r\n");
    Records r;
    ASSERT_EQ(writeNumber(1281, r.dm(), r.pd(), 1), DMA_OK);
    ASSERT_EQ(writeNumber(7, r.dm(), r.pd(), static_cast<DWORD>(-3)), DMA_OK);
    ASSERT_EQ(writeNumber(270, r.dm(), r.pd(), 2), DMA_OK);
    ASSERT_EQ(writeNumber(1825, r.dm(), r.pd(), static_cast<DWORD>(-5)), DMA_OK);
    ASSERT_EQ(writeNumber(273, r.dm(), r.pd(), 0xABC), DMA_OK);
    ASSERT_EQ(writeNumber(346, r.dm(), r.pd(), 0xAB), DMA_OK);
    ASSERT_EQ(writeNumber(306, r.dm(), r.pd(), static_cast<DWORD>(-12)), DMA_OK);
    ASSERT_EQ(writeNumber(4099, r.dm(), r.pd(), 1), DMA_OK);
    const WCHAR *form = u"A4";
    ASSERT_EQ(DMB_SetValue(19, r.dm(), r.pd(), SVT_WSTRING, 64, &form), DMA_OK);
    /* A string field of 18 bytes filled without its NUL: the line stops at the field's end. */
    for (int i = 0; i < 9; ++i)
        plat::store<WCHAR>(r.image.data() + 752 + 2 * i, u'Z');
    for (WORD id : {1281, 7, 270, 1825, 273, 19, 346, 304, 306, 338, 4099, 0, 600})
        LOG_DumpSetting(id, r.dm(), r.pd());
    EXPECT_EQ(debugText(), lines({
                               "[0x0501] = [1]",
                               "[0x0007] = [-3]",
                               "[0x010e] = [0x02]",
                               "[0x0721] = [-5]",
                               "[0x0111] = [0x0abc]",
                               "[0x0013] = [A4]",
                               "[0x015a] = [0xab]",
                               "???",
                               "[0x0132] = [-12]",
                               "[0x0152] = [ZZZZZZZZZ]",
                               "[0x1003] = [1]",
                           }));

    plat::debug_clear();
    writeSwitch("[LOG]\r\nLog=0x80000005\r\n");
    LOG_ReloadSwitch();
    const WCHAR *model = u"Tarvel CX 1500";
    ASSERT_EQ(DMB_SetValue(259, r.dm(), r.pd(), SVT_WSTRING, 64, &model), DMA_OK);
    EXPECT_EQ(LOG_DumpPrivateSetting(nullptr, r.dm(), 259), 1);
    EXPECT_EQ(LOG_DumpPrivateSetting(u"<one>", r.dm(), 270), 1);
    EXPECT_EQ(LOG_DumpPrivateSetting(u"<none>", r.dm(), 289), 1);
    EXPECT_EQ(debugText(), lines({"\r\n<PrivateDevmode>", "FunctionID:259(0x103)       = Tarvel CX 1500", "<one>",
                                  "FunctionID:270(0x10E)       = 2", "<none>"}));
}

TEST_F(TraceDump, SettingsDumpSelectionAndCategories)
{
    Records r;
    struct Case {
        const char *file;
        DWORD category;
        bool written;
        size_t settingLines;
    } cases[] = {
        /* 1-25, 257-483 (202 listed settings; the font blocks 304 and 357 write "???") and 4101 once. */
        {"[LOG]\r\nLog=0x80000031\r\nLOGOUT.DDMID=4101\r\nLOGOUT.DDMID=4101\r\n", 0, true, 25 + 200 + 1},
        {"[LOG]\r\nLog=0x80000001\r\nLOGOUT.DDMID=4101\r\n", 0, true, 1},
        {"[LOG]\r\nLog=0x80000001\r\n", 0, false, 0},
        {"[LOG]\r\nLog=0x80020011\r\n", 0x30000, true, 25},
        {"[LOG]\r\nLog=0x80020011\r\n", 0x40000, false, 0},
        {"[LOG]\r\nLog=0x80000011\r\n", 0x40000, true, 25},
        {"[LOG]\r\nLog=0x00000010\r\n", 0, false, 0},
    };
    for (const Case &c : cases) {
        writeSwitch(c.file);
        LOG_ReloadSwitch();
        plat::debug_clear();
        EXPECT_EQ(LOG_DumpSettings(c.category, u"<OUTPUT DEVMODE>", r.dm(), r.pd()), 1);
        const std::string text = debugText();
        if (!c.written) {
            EXPECT_EQ(text, "") << c.file;
            continue;
        }
        size_t count = 0;
        for (size_t at = 0; (at = text.find("\r\n[0x", at)) != std::string::npos; at += 2)
            ++count;
        EXPECT_EQ(count, c.settingLines) << c.file;
        EXPECT_EQ(text.find("[0x1005]"), text.rfind("[0x1005]")) << "4101 at most once";
        EXPECT_EQ(text.rfind("<OUTPUT DEVMODE>\r\n", 0), 0u);
    }
    EXPECT_EQ(LOG_DumpSettings(0, nullptr, nullptr, nullptr), 1);
}
