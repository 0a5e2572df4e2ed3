/*
 * Opening and closing model contexts from printers installed on the
 * machine: the standard models open whole; a model without a companion
 * opens and closes with 0; a driver without a data file, a data file that is
 * not a model data file, a missing companion and damaged files give no
 * context and leave nothing behind, also when memory runs out at any
 * allocation of the open.
 */
#include "test_mdl_support.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/settings/dme_mapping.h>

#include <plat/fault.h>

#include <filesystem>
#include <fstream>

using namespace mdl_test;

namespace {

class MdlOpen : public MdlTest {};

TEST_F(MdlOpen, StandardModelOpensWithBothFilesAndNoConfigurationWithoutTheLibrarysFolder)
{
    ASSERT_TRUE(installStandard("TARVEL1.DDD", "TARVEL1.DDC"));
    Printer printer(printerFor("TARVEL1.DDD"));
    LPWSTR path = MDL_GetDriverDataFile(printer.handle);
    EXPECT_EQ(model_test::u8(path), "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\TARVEL1.DDD");
    mdl_Free(path);

    ModelContext *ctx = MDL_Open(printer.handle);
    ASSERT_NE(ctx, nullptr);
    EXPECT_NE(ctx->main->loaded, nullptr);
    EXPECT_NE(ctx->companion->loaded, nullptr);
    EXPECT_EQ(ctx->main->role, DDD_ROLE_MAIN);
    /* No module path: the library's folder, where the configuration file lies, is not known. */
    EXPECT_EQ(ctx->specials, nullptr);
    EXPECT_EQ(ctx->dme, nullptr);
    EXPECT_EQ(ctx->paperList, nullptr);
    EXPECT_EQ(DDD_GetLastFormatVersion(), 0x1600u);
    EXPECT_EQ(MDL_Close(ctx), TRUE);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(MdlOpen, StandardModelOpensWithItsConfigurationFile)
{
    initModule(); /* the library beside the model files and their configuration files */
    ASSERT_TRUE(installStandard("TARVEL2.DDD", "TARVEL2.DDC"));
    Printer printer(printerFor("TARVEL2.DDD"));
    ModelContext *ctx = MDL_Open(printer.handle);
    ASSERT_NE(ctx, nullptr);
    LPWSTR path = CFG_GetModelCfgPath(ctx);
    EXPECT_EQ(model_test::u8(path), "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\TARVEL2.cfg");
    GlobalFree(path);
    ASSERT_NE(ctx->specials, nullptr);
    EXPECT_EQ(ctx->specials->featureCount, 0);
    ASSERT_NE(ctx->dme, nullptr);
    EXPECT_EQ(DME_IsConfigured(ctx->dme), 1u);
    EXPECT_EQ(DME_IsFormsMergeMode(ctx->dme), 1);
    EXPECT_EQ(MDL_Close(ctx), TRUE);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(MdlOpen, ConfigurationFileOfTheModelsSectionAndItsDevmodeMapping)
{
    initModuleAt(u"C:\\TestDrv\\tarvelgr.dll");
    std::string real;
    ASSERT_TRUE(plat::map_path(u"C:\\TestDrv\\CFGTEST.cfg", real));
    std::filesystem::create_directories(std::filesystem::path(real).parent_path());
    std::ofstream(real) << "[default]\r\nduplex.enforced=0\r\n[Test_Model]\r\nduplex.enforced=2\r\n"
                           "staple.display=hide\r\n[DME,1]\r\nbin.WindowsValue=1\r\n";
    mw::Model m = model_test::emptyModel(0x1600);
    m.fileName = "CFGTEST.DDD";
    m.companionName = "CFGTEST.DDC";
    ModelContext *ctx = openWritten(m);
    ASSERT_NE(ctx, nullptr);
    ASSERT_NE(ctx->specials, nullptr);
    EXPECT_EQ(CFG_IsEnforced(16, ctx->specials), 1);
    BYTE slot[8] = {};
    ASSERT_EQ(CFG_GetSpecialValue(16, ctx->specials, slot, 2), 1);
    EXPECT_EQ(slot[0], 3) << "the model's own section, not \"default\"";
    WORD flags = 0;
    EXPECT_EQ(CFG_GetSpecialFlags(320, ctx->specials, &flags), 1);
    EXPECT_EQ(flags, CFG_FLAG_HIDE);
    ASSERT_NE(ctx->dme, nullptr);
    EXPECT_EQ(ctx->dme->items[DME_ITEM_BIN].pairCount, 26);
    EXPECT_EQ(MDL_Close(ctx), TRUE);

    /* A model whose companion has no configuration file beside the library. */
    mw::Model other = model_test::emptyModel(0x1600);
    other.fileName = "NOCFG.DDD";
    other.companionName = "NOCFG.DDC";
    ctx = openWritten(other);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ctx->specials, nullptr);
    EXPECT_EQ(ctx->dme, nullptr);
    EXPECT_EQ(MDL_Close(ctx), TRUE);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(MdlOpen, ModelWithoutCompanionOpensAndClosesWithZero)
{
    mw::Model m = model_test::emptyModel(0x1600, false);
    m.fileName = "SOLO.DDD";
    ModelContext *ctx = openWritten(m);
    ASSERT_NE(ctx, nullptr);
    EXPECT_NE(ctx->main->loaded, nullptr);
    EXPECT_EQ(ctx->companion->loaded, nullptr);
    /* The companion reader had nothing to close: the close says so, and still frees everything. */
    EXPECT_EQ(MDL_Close(ctx), FALSE);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

TEST_F(MdlOpen, BadDriversAndFilesGiveNoContext)
{
    const std::string dir = root_ + "/bad";
    std::filesystem::create_directories(dir);
    const std::string model = driverDir() + "/TARVEL1.DDD";
    const std::string companion = driverDir() + "/TARVEL1.DDC";
    std::filesystem::copy_file(model, dir + "/TARVEL1.DAT");
    /* A copy cut inside its file header. */
    std::filesystem::copy_file(model, dir + "/CUT.DDD");
    std::filesystem::resize_file(dir + "/CUT.DDD", 100);
    std::filesystem::copy_file(companion, dir + "/CUT.DDC");
    /* A main file whose companion is not there. */
    mw::Model lonely = model_test::emptyModel(0x1600);
    lonely.fileName = "LONELY.DDD";
    lonely.companionName = "GONE.DDC";
    const std::string lonelyMain = writeModel(lonely)[0];
    /* A main file whose companion names a damaged file. */
    std::filesystem::copy_file(model, dir + "/TARVEL1.DDD");
    std::ofstream(dir + "/TARVEL1.DDC") << "not a model data file";

    struct Case {
        const char *what;
        std::string dataFile;
        std::vector<std::string> files;
    } cases[] = {
        {"no data file", "", {}},
        {"data file not installed", "NOSUCH.DDD", {}},
        {"wrong extension", "TARVEL1.DAT", {dir + "/TARVEL1.DAT", companion}},
        {"missing companion", "LONELY.DDD", {lonelyMain}},
        {"truncated main file", "CUT.DDD", {dir + "/CUT.DDD", dir + "/CUT.DDC"}},
        {"damaged companion", "TARVEL1.DDD", {dir + "/TARVEL1.DDD", dir + "/TARVEL1.DDC"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        plat::SpoolDriver d;
        d.name = u"Bad " + std::u16string(1, char16_t(u'A' + n));
        d.driver_file = u"tarvelgr.dll";
        d.data_file = plat::utf8_to_utf16(c.dataFile);
        d.link_files = c.files;
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = u"Bad printer " + std::u16string(1, char16_t(u'A' + n));
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        Printer printer(p.name);
        ASSERT_NE(printer.handle, nullptr);
        Context ctx(MDL_Open(printer.handle));
        EXPECT_EQ(ctx.ctx, nullptr);
        if (!ctx.ctx) {
            EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
        }
        ++n;
    }
    EXPECT_EQ(MDL_Open(nullptr), nullptr);
}

TEST_F(MdlOpen, ModelCutBehindItsHeaderOpensAndItsQueriesFailCleanly)
{
    /* The open checks the headers; the rest of a damaged file shows in the queries. */
    const std::string dir = root_ + "/cut";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(driverDir() + "/TARVEL1.DDD", dir + "/HALF.DDD");
    std::filesystem::resize_file(dir + "/HALF.DDD", 400);
    std::filesystem::copy_file(driverDir() + "/TARVEL1.DDC", dir + "/TARVEL1.DDC");
    /* The header names TARVEL1.DDC as the companion. */
    ASSERT_TRUE(installPrinter("HALF.DDD", {dir + "/HALF.DDD", dir + "/TARVEL1.DDC"}));
    Printer printer(printerFor("HALF.DDD"));
    Context ctx(MDL_Open(printer.handle));
    ASSERT_NE(ctx.ctx, nullptr);
    ULONG_PTR value = 7;
    WORD type = 7, reason = 0;
    EXPECT_FALSE(MDL_GetDefaultValue(ctx.ctx, 8, &value, &type, &reason));
    EXPECT_EQ(reason, MDL_REASON_FAIL);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(type, 0);
    ModelRecord *rec = nullptr;
    EXPECT_FALSE(MDL_GetFeatureInfo(ctx.ctx, 8, &rec, nullptr, nullptr, nullptr, &reason));
    EXPECT_EQ(rec, nullptr);
    EXPECT_FALSE(MDL_HasValue(ctx.ctx, 8, &value));
}

TEST_F(MdlOpen, SpoolerRefusingTheDriverInformationGivesNoContext)
{
    ASSERT_TRUE(installStandard("TARVEL1.DDD", "TARVEL1.DDC"));
    Printer printer(printerFor("TARVEL1.DDD"));
    plat::spool_fail_after(plat::SpoolCall::GetPrinterDriver, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(MDL_Open(printer.handle), nullptr);
    Context ctx(MDL_Open(printer.handle));
    EXPECT_NE(ctx.ctx, nullptr) << "the next open works again";
}

TEST_F(MdlOpen, NoMemoryAtAnyAllocationOfTheOpenLeavesNothing)
{
    ASSERT_TRUE(installStandard("TARVEL1.DDD", "TARVEL1.DDC"));
    Printer printer(printerFor("TARVEL1.DDD"));
    /* Fail each allocation of the open in turn until the open needs no more. */
    bool opened = false;
    for (unsigned n = 1; n < 200 && !opened; ++n) {
        SCOPED_TRACE(n);
        plat::fault_fail_alloc_after(n);
        ModelContext *ctx = MDL_Open(printer.handle);
        plat::fault_fail_alloc_after(0);
        if (ctx) {
            opened = true;
            EXPECT_EQ(MDL_Close(ctx), TRUE);
        }
        EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
    }
    EXPECT_TRUE(opened);
}

TEST_F(MdlOpen, ContextHelpersOnEmptyAndNullContexts)
{
    ModelContext *ctx = MDL_AllocContext();
    ASSERT_NE(ctx, nullptr);
    ASSERT_NE(ctx->main, nullptr);
    ASSERT_NE(ctx->companion, nullptr);
    EXPECT_EQ(ctx->main->loaded, nullptr);
    EXPECT_EQ(ctx->main->data, nullptr);
    /* Closing a context with nothing loaded: both readers report it. */
    EXPECT_EQ(MDL_Close(ctx), FALSE);
    EXPECT_EQ(MDL_Close(nullptr), FALSE);
    MDL_FreeContext(nullptr);
    EXPECT_EQ(MDL_GetDriverDataFile(nullptr), nullptr);
    EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
}

} // namespace
