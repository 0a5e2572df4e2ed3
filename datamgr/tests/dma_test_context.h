/*
 * Test helpers of the DMA_ functions: a fresh machine folder per test (the
 * document-property tests write files; the code page is 1252 unless a test
 * picks another), and a DmaContext over exact-size records and a fax block.
 */
#ifndef TARVEL_DATAMGR_DMA_TEST_CONTEXT_H
#define TARVEL_DATAMGR_DMA_TEST_CONTEXT_H

#include "dm_test_records.h"
#include "dma_internal.h"

#include "plat/codepage.h"
#include "plat/machine.h"

#include "tarvel/pdt_docprop_layout.h"

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace dmtest {

class DmaTest : public plat_test::FreshMachineTest {
protected:
    DmaTest() : FreshMachineTest("tarvel-dma") {}

    void SetUp() override
    {
        FreshMachineTest::SetUp();
        root_ = root.string();
        ASSERT_TRUE(plat::set_ansi_code_page(1252));
        ctx.settingsImage = rec.dm();
        ctx.printerData = rec.pd();
        ctx.faxBlock = fax.data();
    }
    void TearDown() override
    {
        plat::set_ansi_code_page(1252);
        FreshMachineTest::TearDown();
    }

    /* The real path of a file of this test's machine. */
    std::string realPath(const std::u16string &winPath)
    {
        std::string real;
        EXPECT_TRUE(plat::map_path(winPath, real));
        return real;
    }

    /* Writes a wide string straight into a record field. */
    static void PutWide(BYTE *field, const std::u16string &text)
    {
        std::memcpy(field, text.c_str(), 2 * (text.size() + 1));
    }

    Records rec;
    std::vector<BYTE> fax = std::vector<BYTE>(1442 + 742 * 4, 0);
    DmaContext ctx{};
    std::string root_;
};

} // namespace dmtest

#endif /* TARVEL_DATAMGR_DMA_TEST_CONTEXT_H */
