/*
 * Tests of the per-model configuration file: the file's name and section,
 * the INI routines, reading values (words, numbers, malformed values, the
 * 31-character cut), the switches and their bundles, and applying and
 * answering configured values through the real data manager.
 */
#include "test_dmb_support.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/settings/dme_mapping.h>

#include "cfg_private.h"

#include <plat/fault.h>
#include <plat/memory.h>

using namespace dmb_test;

namespace {

const char16_t *kCfg = u"C:\\Tarvel\\TARVEL1.cfg";

class Config : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        libraryInOwnDir();
    }
    void TearDown() override
    {
        CFG_FreeSpecials(specials);
        MachineTest::TearDown();
    }
    /* Writes the configuration file and loads `model`'s specials from it. */
    ModelSpecials *load(const std::string &body, const char16_t *model = u"Tarvel CX 1500")
    {
        writeFile(kCfg, body);
        CFG_FreeSpecials(specials);
        specials = CFG_LoadSpecials(model, kCfg);
        return specials;
    }
    /* The configured value of `id` read as a 32-bit number, or -1 when none converts. */
    LONGLONG value(WORD id, WORD type = SVT_UINT32)
    {
        BYTE slot[FID_SLOT_SIZE] = {};
        if (!CFG_GetSpecialValue(id, specials, slot, type))
            return -1;
        return plat::load<DWORD>(slot);
    }
    WORD flags(WORD id)
    {
        WORD f = 0;
        return CFG_GetSpecialFlags(id, specials, &f) ? f : 0xFFFF;
    }
    ModelSpecials *specials = nullptr;
};

class ConfigApply : public Config {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        bindRealDataManagerInOwnDir();
    }
    Records r;
};


} // namespace

TEST_F(Config, FileNameComesFromTheCompanionName)
{
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"TARVEL1.DDC")), u"C:\\Tarvel\\TARVEL1.cfg");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"a.b.DDC")), u"C:\\Tarvel\\a.b.cfg");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"NOEXT")), u"<null>");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"")), u"<null>");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(nullptr)), u"<null>");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"..\\x.DDC")), u"<null>");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(u"C:x.DDC")), u"<null>");
    EXPECT_EQ(takeText(CFG_MakeModelCfgPath(std::u16string(300, u'a').append(u".DDC").c_str())), u"<null>");
}

TEST_F(Config, SectionFromTheModelNameElseDefault)
{
    writeFile(kCfg, "[default]\r\nduplex.default=2\r\n[model_x_1_2]\r\nduplex.default=1\r\n");
    const DWORD size = CFG_GetFileSize(kCfg);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(takeText(CFG_ChooseSection(kCfg, size, u"Model-X 1/2")), u"Model_X_1_2");
    EXPECT_EQ(takeText(CFG_ChooseSection(kCfg, size, u"Model Y")), u"default");
    EXPECT_EQ(takeText(CFG_ChooseSection(kCfg, size, nullptr)), u"default");
    ASSERT_NE(load("[default]\r\nduplex.default=2\r\n[model_x_1_2]\r\nduplex.default=1\r\n", u"Model-X 1/2"), nullptr);
    EXPECT_EQ(value(16), 2) << "configuration 1 is duplex value 2";
    ASSERT_NE(load("[default]\r\nduplex.default=2\r\n", u"Model-X 1/2"), nullptr);
    EXPECT_EQ(value(16), 3);
}

TEST_F(Config, MissingFileOrSectionConfiguresNothing)
{
    EXPECT_EQ(CFG_LoadSpecials(u"Tarvel CX 1500", kCfg), nullptr);
    EXPECT_EQ(CFG_GetSpecialValue(16, nullptr, nullptr, SVT_INT16), 0);
    EXPECT_EQ(CFG_IsEnforced(270, nullptr), 0);
    EXPECT_EQ(CFG_ApplySpecials(nullptr, nullptr, nullptr, CFG_APPLY_ALL), 0);
    EXPECT_EQ(CFG_GetComment(u"Tarvel CX 1500", kCfg), nullptr);

    ModelSpecials *s = load("[Other]\r\nduplex.default=1\r\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->featureCount, 0);
    EXPECT_EQ(s->switchCount, 0);
    s = load("");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->featureCount, 0);
}

TEST_F(Config, ValueWordsNumbersAndMalformedValues)
{
    struct Case {
        std::string line;
        WORD id;
        LONGLONG value;  /* internal value, -1 when none converts */
        WORD flags;      /* 0xFFFF: not configured */
    } cases[] = {
        {"duplex.default=0", 16, 1, CFG_FLAG_DEFAULT},
        {"duplex.default=5", 16, -1, CFG_FLAG_DEFAULT},          /* no conversion pair */
        {"duplex.default=abc", 16, 1, CFG_FLAG_DEFAULT},         /* neither word nor number: 0 */
        {"duplex.default=-1", 16, 1, CFG_FLAG_DEFAULT},
        {"duplex.default=", 16, -1, 0xFFFF},                     /* an empty value does not count */
        {"DUPLEX.DEFAULT=2", 16, 3, CFG_FLAG_DEFAULT},           /* keys ignore case */
        {"ColorMode.default=GRAY", 270, 1, CFG_FLAG_DEFAULT},    /* words ignore case */
        {"ColorMode.enforced=auto_color", 270, 0, CFG_FLAG_ENFORCED},
        {"staple.display=dimout", 320, -1, CFG_FLAG_DIMOUT},
        {"staple.display=show", 320, -1, CFG_FLAG_SHOW},
        {"staple.display=0", 320, -1, CFG_FLAG_HIDE},
        {"staple.display=xyz", 320, -1, CFG_FLAG_HIDE},          /* counts as 0 */
        {"staple.display=7", 320, -1, 0xFFFF},
        {"staple.default=9", 320, 10, CFG_FLAG_DEFAULT},
        {"font_subst.default=0", 292, 2, CFG_FLAG_DEFAULT},
        {"Option_Finisher.enforced=FinisherA", 4359, 10, CFG_FLAG_ENFORCED},
        {"Option_Finisher.enforced=FinisherB", 4359, 2, CFG_FLAG_ENFORCED},
        {"Paper_Setting.default=inch_series", 4356, 4, CFG_FLAG_DEFAULT},
        {"Option_MemorySelect.default=option9", 4355, 9, CFG_FLAG_DEFAULT},
        {"Option_HardDisk.default=true", 4099, 1, CFG_FLAG_DEFAULT},
        {"Special1.enforced=2", 5153, -1, CFG_FLAG_ENFORCED},
        {"unknown.default=1", 16, -1, 0xFFFF},
        /* 33 characters or more are cut to 31: 32 zeros and a 1 read as 0, so duplex 1. */
        {"duplex.default=" + std::string(32, '0') + "1", 16, 1, CFG_FLAG_DEFAULT},
        /* 32 characters stay whole: 31 zeros and a 1 read as 1, so duplex 2. */
        {"duplex.default=" + std::string(31, '0') + "1", 16, 2, CFG_FLAG_DEFAULT},
    };
    for (const Case &c : cases) {
        ASSERT_NE(load("[Tarvel_CX_1500]\r\n" + c.line + "\r\n"), nullptr);
        EXPECT_EQ(value(c.id), c.value) << c.line;
        EXPECT_EQ(flags(c.id), c.flags) << c.line;
    }
}

TEST_F(Config, EnforcedWinsOverDefaultAndDisplayAddsItsFlag)
{
    load("[default]\r\nColorMode.default=color\r\nColorMode.enforced=gray\r\nColorMode.display=dimout\r\n"
         "duplex.enforced=\r\nduplex.default=1\r\n");
    EXPECT_EQ(value(270), 1);
    EXPECT_EQ(flags(270), CFG_FLAG_ENFORCED | CFG_FLAG_DIMOUT);
    EXPECT_EQ(CFG_IsEnforced(270, specials), 1);
    EXPECT_EQ(value(16), 2) << "an empty enforced line does not count, the default does";
    EXPECT_EQ(CFG_IsEnforced(16, specials), 0);
}

TEST_F(Config, EntriesKeepTheReverseOrderOfDiscovery)
{
    ModelSpecials *s = load("[default]\r\nstaple.default=1\r\nduplex.default=1\r\nSECURE_PRINT=0\r\n"
                            "MONOCOLOR_PRINT=on\r\nLOG=1\r\n");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->featureCount, 2);
    EXPECT_EQ(s->features[0].id, 320) << "staple comes after duplex in the feature table";
    EXPECT_EQ(s->features[1].id, 16);
    ASSERT_EQ(s->switchCount, 3);
    EXPECT_EQ(s->switches[0].number, CFG_SWITCH_LOG);
    EXPECT_EQ(s->switches[1].number, CFG_SWITCH_SECURE_PRINT);
    EXPECT_EQ(s->switches[1].value, 0u);
    EXPECT_EQ(s->switches[2].number, CFG_SWITCH_MONOCOLOR_PRINT);
}

TEST_F(Config, SwitchBundlesAreFoundFirst)
{
    load("[default]\r\nColorMode.enforced=color\r\nMONOCOLOR_PRINT=on\r\n");
    EXPECT_EQ(value(270), 1);
    EXPECT_EQ(flags(270), CFG_FLAG_ENFORCED | CFG_FLAG_DIMOUT);
    EXPECT_EQ(value(4129), 0);
    EXPECT_EQ(flags(4129), CFG_FLAG_ENFORCED);

    load("[default]\r\nSECURE_PRINT=1\r\nUSE_SPECIAL1=true\r\n");
    EXPECT_EQ(value(334), 1);
    EXPECT_EQ(value(4099), 1);
    EXPECT_EQ(value(5153), 1);
    EXPECT_EQ(flags(5153), CFG_FLAG_ENFORCED | CFG_FLAG_SHOW);

    load("[default]\r\nSECURE_PRINT=yes\r\nMONOCOLOR_PRINT=2\r\nLOG=1\r\n");
    EXPECT_EQ(specials->switchCount, 2) << "a switch value that is no word or number is dropped";
    EXPECT_EQ(flags(334), 0xFFFF);
    EXPECT_EQ(flags(270), 0xFFFF) << "only a switch value of 1 brings its bundle";
}

TEST_F(Config, SpecialValueInTheCallersType)
{
    load("[default]\r\nduplex.default=1\r\nOption_HardDisk.enforced=on\r\n");
    BYTE slot[FID_SLOT_SIZE];
    std::memset(slot, 0xAA, sizeof slot);
    ASSERT_EQ(CFG_GetSpecialValue(16, specials, slot, SVT_INT16), 1);
    EXPECT_EQ(plat::load<ULONGLONG>(slot), 0xAAAAAAAA00000002ull);
    ASSERT_EQ(CFG_GetSpecialValue(4099, specials, slot, SVT_BYTE), 1);
    EXPECT_EQ(plat::load<ULONGLONG>(slot), 0xAAAAAAAA00000001ull);
    EXPECT_EQ(CFG_GetSpecialValue(16, specials, slot, SVT_WSTRING), 0);
    EXPECT_EQ(CFG_GetSpecialValue(16, specials, slot, SVT_LOGFONT), 0);
    EXPECT_EQ(CFG_GetSpecialValue(16, specials, nullptr, SVT_INT16), 0);
}

TEST_F(Config, CommentOfTheModelsSection)
{
    writeFile(kCfg, "[default]\r\nCOMMENT=fallback\r\n[Tarvel_CX_1500]\r\ncomment=Office floor 3\r\n[Empty]\r\nCOMMENT=\r\n");
    EXPECT_EQ(takeText(CFG_GetComment(u"Tarvel CX 1500", kCfg)), u"Office floor 3");
    EXPECT_EQ(takeText(CFG_GetComment(u"Other", kCfg)), u"fallback");
    EXPECT_EQ(takeText(CFG_GetComment(u"Empty", kCfg)), u"<null>");
}

TEST_F(Config, AllocationFailuresAtEveryStepLoseNothing)
{
    writeFile(kCfg, "[Tarvel_CX_1500]\r\nduplex.default=1\r\nMONOCOLOR_PRINT=on\r\nCOMMENT=c\r\n"
                    "[DME,1]\r\nbin.WindowsValue=1\r\nbin.TRAY1=15\r\nformdb.mode=1\r\n");
    for (unsigned n = 1; n <= 80; ++n) {
        plat::fault_fail_alloc_after(n);
        ModelSpecials *s = CFG_LoadSpecials(u"Tarvel CX 1500", kCfg);
        DmeDescription *dme = DME_Load(kCfg, 1);
        LPWSTR comment = CFG_GetComment(u"Tarvel CX 1500", kCfg);
        plat::fault_fail_alloc_after(0);
        if (s != nullptr) {
            EXPECT_EQ(s->switchCount, 1) << n;
            CFG_FreeSpecials(s);
        }
        if (dme != nullptr) {
            EXPECT_EQ(dme->items[DME_ITEM_BIN].pairCount, 27) << n;
            DME_Free(dme);
        }
        if (comment != nullptr) {
            EXPECT_EQ(std::u16string(comment), u"c") << n;
            GlobalFree(comment);
        }
    }
}

TEST_F(Config, LoadingReadsTheTraceSwitchAgain)
{
    writeSwitch("[LOG]\r\nLog=0\r\n");
    EXPECT_EQ(LOG_GetFlags(), 0u);
    writeSwitch("[LOG]\r\nLog=0x80000001\r\n");
    EXPECT_EQ(LOG_GetFlags(), 0u);
    load("[default]\r\n");
    EXPECT_EQ(LOG_GetFlags(), 0x80000001u);
}

TEST_F(Config, KeySearchInASectionText)
{
    const char16_t section[] = u"a=1\0B.x=2\0b.X=3\0c=\0long=" "0123456789012345678901234567890123456789\0";
    WCHAR v[CFG_VALUE_CHARS];
    EXPECT_EQ(CFG_FindKeyValue(section, u"b.x=", v), 1);
    EXPECT_EQ(std::u16string(v), u"2");
    EXPECT_EQ(CFG_FindKeyValue(section, u"c=", v), 0) << "an empty value does not count";
    EXPECT_EQ(CFG_FindKeyValue(section, u"long=", v), 1);
    EXPECT_EQ(std::u16string(v), u"0123456789012345678901234567890");
    EXPECT_EQ(CFG_FindKeyValue(section, u"z=", v), 0);
    EXPECT_EQ(CFG_FindKeyValue(nullptr, u"a=", v), 0);
    const std::u16string key46 = std::u16string(45, u'k') + u"=", key47 = std::u16string(46, u'k') + u"=";
    const std::u16string keys = key46 + u"1" + std::u16string(1, u'\0') + key47 + u"2" + std::u16string(1, u'\0');
    EXPECT_EQ(CFG_FindKeyValue(keys.c_str(), key46.c_str(), v), 1);
    EXPECT_EQ(std::u16string(v), u"1");
    EXPECT_EQ(CFG_FindKeyValue(keys.c_str(), key47.c_str(), v), 0) << "47 characters are never searched";
    EXPECT_EQ(CFG_FindNthKeyValue(1, 0, keys.c_str(), key47.c_str(), nullptr), 0);

    LPWSTR copy = nullptr;
    EXPECT_EQ(CFG_FindNthKeyValue(1, 0, section, u"b.x=", &copy), 2);
    EXPECT_EQ(takeText(copy), u"2");
    EXPECT_EQ(CFG_FindNthKeyValue(3, 0, section, u"b.x=", &copy), 3);
    EXPECT_EQ(takeText(copy), u"3");
    EXPECT_EQ(CFG_FindNthKeyValue(1, 1, section, u"b.x=", &copy), 3);
    EXPECT_EQ(takeText(copy), u"3");
    EXPECT_EQ(CFG_FindNthKeyValue(4, 0, section, u"b.x=", &copy), 0);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(CFG_FindNthKeyValue(1, 0, section, u"c=", &copy), 4);
    EXPECT_EQ(takeText(copy), u"");
    EXPECT_EQ(CFG_FindNthKeyValue(1, 0, section, u"long=", &copy), 5);
    EXPECT_EQ(takeText(copy), u"0123456789012345678901234567890123456789") << "no cut here";
}

TEST_F(Config, TheSectionIndexAnswersAsTheLineByLineSearches)
{
    /* Sections as NUL-terminated lines: repeats, case in several scripts, lines without "=", "=" first, empty values. */
    auto lines = [](const auto &literal) { return std::u16string(literal, sizeof literal / sizeof literal[0] - 1); };
    const std::u16string sections[] = {
        lines(u"a=1\0B.x=2\0b.X=3\0c=\0noeq\0=v\0b.x=\0b.x=4\0"),
        lines(u"\u03A9=greek\0\u03C9=small\0\u0416.k=cyr\0\u0436.K=c2\0\uFF21=fw\0\uFF41=fw2\0"),
        lines(u"x==y\0x=\0x=z\0 x=sp\0X=up\0"),
        lines(u""),
    };
    const char16_t *prefixes[] = {u"b.x=", u"B.X=", u"a=", u"c=", u"z=", u"b.x", u"b=x=", u"=", u"noeq",
                                  u"\u03C9=", u"\u03A9=", u"\u0436.k=", u"\uFF41=", u"x=", u"x==", u" x=", u""};
    for (const std::u16string &text : sections) {
        const CfgSectionIndex index(text.c_str());
        for (const char16_t *prefix : prefixes) {
            SCOPED_TRACE(std::string(plat::utf16_to_utf8(prefix)) + " in section of " + std::to_string(text.size()));
            WCHAR a[CFG_VALUE_CHARS] = {}, b[CFG_VALUE_CHARS] = {};
            EXPECT_EQ(index.findKeyValue(prefix, a), CFG_FindKeyValue(text.c_str(), prefix, b));
            EXPECT_EQ(std::u16string(a), std::u16string(b));
            for (int start = -1; start <= 10; ++start)
                for (int last : {0, 1}) {
                    LPCWSTR va = nullptr, vb = nullptr;
                    EXPECT_EQ(index.findNthLine(start, last, prefix, &va),
                              cfg_FindNthLine(start, last, text.c_str(), prefix, &vb))
                        << start << " " << last;
                    EXPECT_EQ(va, vb) << start << " " << last;
                }
        }
    }
    const CfgSectionIndex none(nullptr);
    WCHAR v[CFG_VALUE_CHARS];
    LPCWSTR value = u"x";
    EXPECT_EQ(none.findKeyValue(u"a=", v), 0);
    EXPECT_EQ(none.findNthLine(1, 0, u"a=", &value), 0);
    EXPECT_EQ(value, nullptr);
}

TEST_F(Config, ValueWords)
{
    struct Case {
        const char16_t *text;
        int ok;
        DWORD value;
    } cases[] = {
        {u"on", 1, 1},           {u"OFF", 1, 0},           {u"Dimout", 1, 1},
        {u"finishera", 1, 10},   {u"delay_print", 1, 4},   {u"ab13in14in_series", 1, 3},
        {u"0", 1, 0},            {u"4294967295", 1, 4294967295u},
        {u"4294967296", 0, 0},   {u"-1", 0, 0},            {u"+1", 0, 0},
        {u"0x10", 0, 0},         {u"1 ", 0, 0},            {u"", 0, 0},
        {u"option10", 0, 0},
    };
    for (const Case &c : cases) {
        DWORD v = 12345;
        EXPECT_EQ(CFG_ParseValueWord(CfgValueWords, c.text, &v), c.ok) << plat::utf16_to_utf8(c.text);
        EXPECT_EQ(v, c.ok ? c.value : 12345u) << plat::utf16_to_utf8(c.text);
    }
}

TEST_F(ConfigApply, DefaultModeAppliesDefaultsAndEnforcedValues)
{
    load("[default]\r\nduplex.default=1\r\nColorMode.enforced=gray\r\nbanner.default=1\r\n"
         "Option_HardDisk.default=on\r\nSpecial1.enforced=on\r\nstaple.display=hide\r\nstaple.default=99\r\n");
    ASSERT_EQ(CFG_ApplySpecials(specials, r.dm(), r.pd(), CFG_APPLY_ALL), 1);
    EXPECT_EQ(read(16, r.dm(), r.pd()).value(), 2u);
    EXPECT_EQ(read(270, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(332, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(4099, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(5153, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(320, r.dm(), r.pd()).value(), 0u) << "99 has no conversion";
}

TEST_F(ConfigApply, EnforcedModeSkipsDefaults)
{
    load("[default]\r\nbanner.default=1\r\nduplex.enforced=2\r\n");
    ASSERT_EQ(CFG_ApplySpecials(specials, r.dm(), r.pd(), CFG_APPLY_ENFORCED), 1);
    EXPECT_EQ(read(332, r.dm(), r.pd()).value(), 0u);
    EXPECT_EQ(read(16, r.dm(), r.pd()).value(), 3u);
    load("[default]\r\nbanner.enforced=1\r\n");
    ASSERT_EQ(CFG_ApplySpecials(specials, r.dm(), r.pd(), CFG_APPLY_ENFORCED), 1);
    EXPECT_EQ(read(332, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(CFG_ApplySpecials(specials, r.dm(), r.pd(), 2), 1) << "other modes apply nothing";
}

TEST_F(ConfigApply, MonocolourSwitchWinsOverAnEnforcedColourMode)
{
    load("[default]\r\nColorMode.enforced=color\r\nMONOCOLOR_PRINT=on\r\n");
    ASSERT_EQ(writeNumber(4129, r.dm(), r.pd(), 1), DMA_OK);
    ASSERT_EQ(CFG_ApplySpecials(specials, r.dm(), r.pd(), CFG_APPLY_ENFORCED), 1);
    EXPECT_EQ(read(270, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(4129, r.dm(), r.pd()).value(), 0u);
}

TEST_F(ConfigApply, OneSettingThatCannotBeWrittenDoesNotStopTheOthers)
{
    load("[default]\r\nOption_HardDisk.default=on\r\nduplex.default=2\r\nSECURE_PRINT=1\r\n");
    ASSERT_EQ(CFG_ApplySpecials(specials, r.dm(), nullptr, CFG_APPLY_ALL), 1);
    EXPECT_EQ(read(16, r.dm(), r.pd()).value(), 3u);
    EXPECT_EQ(read(334, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(4099, r.dm(), r.pd()).value(), 0u) << "no printer data was given";
}
