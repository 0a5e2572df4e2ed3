/*
 * Tests of the standard models' configuration files as the build installs
 * them beside the model data: each is found by its model's companion name,
 * has a section of the model's own, configures nothing, and has a devmode
 * mapping section that merges spooler forms into the paper list.
 */
#include "test_dmb_support.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/settings/dme_mapping.h>

#include <plat/memory.h>

#include <standard_models.h>

using namespace dmb_test;

namespace {

class StandardConfig : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        libraryInDriverDir();
    }
};


} // namespace

TEST_F(StandardConfig, EachStandardModelHasItsConfigurationBesideItsModelData)
{
    for (bool fax : {false, true}) {
        const mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600, fax);
        SCOPED_TRACE(m.companionName);
        const std::u16string model = plat::utf8_to_utf16(m.main.modelName);
        const std::u16string companion = plat::utf8_to_utf16(m.companionName);
        const std::u16string path = takeText(CFG_MakeModelCfgPath(companion.c_str()));
        ASSERT_EQ(path, plat::driver_dir_win() + u"\\" + companion.substr(0, companion.rfind(u'.')) + u".cfg");

        const DWORD size = CFG_GetFileSize(path.c_str());
        ASSERT_GT(size, 0u);
        std::u16string section = model;
        for (char16_t &c : section)
            if (c == u' ')
                c = u'_';
        EXPECT_EQ(takeText(CFG_ChooseSection(path.c_str(), size, model.c_str())), section);
        EXPECT_EQ(takeText(CFG_GetComment(model.c_str(), path.c_str())), model + u" standard configuration");

        ModelSpecials *specials = CFG_LoadSpecials(model.c_str(), path.c_str());
        ASSERT_NE(specials, nullptr);
        EXPECT_EQ(specials->featureCount, 0);
        EXPECT_EQ(specials->switchCount, 0);
        CFG_FreeSpecials(specials);

        DmeDescription *dme = DME_Load(path.c_str(), 1);
        ASSERT_NE(dme, nullptr);
        EXPECT_EQ(DME_IsConfigured(dme), 1u);
        EXPECT_EQ(DME_IsFormsMergeMode(dme), 1);
        for (WORD i = 0; i < dme->itemCount; ++i)
            EXPECT_EQ(dme->items[i].changed, 0u) << i;
        DME_Free(dme);
    }
}
