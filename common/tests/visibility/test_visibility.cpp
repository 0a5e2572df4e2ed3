/*
 * The hidden-visibility proof: two shared libraries that both link the
 * common library show none of its names, and each keeps its own data-manager
 * binding and use count, its own trace switch (read from its own folder) and
 * its own trace file.
 */
#include "vis_api.h"

#include <plat/debug.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

extern "C" const VisApi *tarvel_vis_a(void);
extern "C" const VisApi *tarvel_vis_b(void);

namespace {

namespace fs = std::filesystem;

WORD fake_get(WORD, void *, void *, WORD *type, LONG *size, void *slot, WORD *kind)
{
    *kind = 0;
    *type = 3;
    *size = 2;
    std::memset(slot, 0, 8);
    return 0;
}

class Visibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("tarvel-vis-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        plat::machine_reset(root_.string());
        a->init(u"C:\\VisA\\tarvelui.dll");
        b->init(u"C:\\VisB\\tarvelgr.dll");
        const plat::FakeExport exports[] = {{"dma_GetValue", plat::to_farproc(&fake_get)}};
        ASSERT_TRUE(plat::loader_register_fake(u"tarveldm.dll", nullptr, exports));
    }
    void TearDown() override
    {
        a->release();
        b->release();
        plat::machine_reset(root_.string());
        fs::remove_all(root_);
    }
    std::string real(const std::u16string &win)
    {
        std::string r;
        EXPECT_TRUE(plat::map_path(win, r));
        return r;
    }
    void writeFile(const std::u16string &win, const std::string &text)
    {
        const std::string path = real(win);
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string readFile(const std::u16string &win)
    {
        std::ifstream in(real(win), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    const VisApi *a = tarvel_vis_a();
    const VisApi *b = tarvel_vis_b();
    fs::path root_;
};

} // namespace

TEST_F(Visibility, NoNameOfTheCommonLibraryIsExported)
{
    for (const char *library : {"libtarvelvis_a.so", "libtarvelvis_b.so"}) {
        void *handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr) << library;
        EXPECT_NE(dlsym(handle, library[13] == 'a' ? "tarvel_vis_a" : "tarvel_vis_b"), nullptr);
        for (const char *name : {"_Z8DMB_LoadP11plat_module", "_Z10DMB_Unloadv", "_Z12LOG_GetFlagsv",
                                 "_Z10LOG_PrintfPKDsz", "IdLayoutTable", "_Z15LOG_LibraryKindv",
                                 "_Z22RES_GetDriverDirectoryPDsj"})
            EXPECT_EQ(dlsym(handle, name), nullptr) << library << " shows " << name;
        dlclose(handle);
    }
}

TEST_F(Visibility, EachLibraryKeepsItsOwnBindingAndUseCount)
{
    EXPECT_EQ(a->load(), 1);
    EXPECT_EQ(a->useCount(), 1);
    EXPECT_EQ(b->useCount(), 0);
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 1u);
    EXPECT_EQ(a->read(270), 0);
    EXPECT_EQ(b->read(270), 16) << "b has not loaded the data manager";

    EXPECT_EQ(b->load(), 1);
    EXPECT_EQ(b->load(), 1);
    EXPECT_EQ(b->useCount(), 2);
    EXPECT_EQ(a->useCount(), 1);
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 2u) << "one reference per library";

    a->unload();
    EXPECT_EQ(a->useCount(), 0);
    EXPECT_EQ(a->read(270), 16);
    EXPECT_EQ(b->read(270), 0) << "b's binding outlives a's unload";
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 1u);
    b->unload();
    b->unload();
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 0u);
}

TEST_F(Visibility, EachLibraryKeepsItsOwnTraceSwitchAndFile)
{
    writeFile(u"C:\\VisA\\tarvel.cfg", "[LOG]\r\nLog=1\r\n");
    writeFile(u"C:\\VisB\\tarvel.cfg", "[LOG]\r\nLog=0x80000001\r\n");
    EXPECT_EQ(a->traceFlags(), 1u);
    EXPECT_EQ(b->traceFlags(), 0x80000001u);

    EXPECT_EQ(a->trace(u"from the user-interface library"), 1);
    EXPECT_EQ(b->trace(u"from the rendering library"), 1);
    EXPECT_EQ(readFile(u"C:\\DEBUG_LOG\\WIN2000\\DDI_PRNUI_TRACE_LOG.txt"), "from the user-interface library\r\n");
    EXPECT_EQ(plat::utf16_to_utf8(plat::debug_output()), "from the rendering library\r\n");

    /* b reads its switch again; a keeps what it read. */
    writeFile(u"C:\\VisB\\tarvel.cfg", "[LOG]\r\nLog=1\r\n");
    writeFile(u"C:\\VisA\\tarvel.cfg", "[LOG]\r\nLog=0\r\n");
    b->reloadSwitch();
    EXPECT_EQ(b->traceFlags(), 1u);
    EXPECT_EQ(a->traceFlags(), 1u);
    EXPECT_EQ(b->trace(u"rendering, to its file"), 1);
    EXPECT_EQ(readFile(u"C:\\DEBUG_LOG\\WIN2000\\DDI_UM_TRACE_LOG.txt"), "rendering, to its file\r\n");
}
