/*
 * Tests of the built library itself: it shows exactly its exports (read
 * from the dynamic symbol table of the file), they are reachable by name
 * with C linkage and work through the bound pointers, and the module entry
 * does nothing but answer TRUE.
 */
#include "dm_test_records.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <type_traits>

namespace {

constexpr bool k64 = sizeof(void *) == 8;
using Ehdr = std::conditional_t<k64, Elf64_Ehdr, Elf32_Ehdr>;
using Shdr = std::conditional_t<k64, Elf64_Shdr, Elf32_Shdr>;
using Sym = std::conditional_t<k64, Elf64_Sym, Elf32_Sym>;

/*
 * Names of the defined, global or weak, default-visibility symbols in the
 * dynamic symbol table of an ELF file of this process's class.
 */
std::set<std::string> ExportedNames(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Ehdr))
        return names;
    const Ehdr eh = plat::load<Ehdr>(file.data());
    if (eh.e_shoff == 0 || eh.e_shentsize != sizeof(Shdr) || eh.e_shoff + eh.e_shnum * sizeof(Shdr) > file.size())
        return names;
    for (size_t s = 0; s < eh.e_shnum; ++s) {
        const Shdr sh = plat::load<Shdr>(file.data() + eh.e_shoff + s * sizeof(Shdr));
        if (sh.sh_type != SHT_DYNSYM || sh.sh_link >= eh.e_shnum)
            continue;
        const Shdr str = plat::load<Shdr>(file.data() + eh.e_shoff + sh.sh_link * sizeof(Shdr));
        if (sh.sh_offset + sh.sh_size > file.size() || str.sh_offset + str.sh_size > file.size())
            return names;
        for (size_t i = 0; i < sh.sh_size / sizeof(Sym); ++i) {
            const Sym sym = plat::load<Sym>(file.data() + sh.sh_offset + i * sizeof(Sym));
            const unsigned bind = sym.st_info >> 4;
            const unsigned visibility = sym.st_other & 3;
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
                visibility != STV_DEFAULT || sym.st_name >= str.sh_size)
                continue;
            names.insert(std::string(file.c_str() + str.sh_offset + sym.st_name));
        }
    }
    return names;
}

TEST(Exports, ExactlyTheAccessorsAndThePublicFunctionsAreVisible)
{
    const std::set<std::string> expected = {
        "dma_GetValue",         "dma_SetValue",
        "DMA_GetValue",         "DMA_SetValue",
        "DMA_GetStringData",    "DMA_SetStringData",
        "DMA_GetStringData_StrLength", "DMA_SetStringData_StrLength",
        "DMA_GetLogFontData",   "DMA_SetLogFontData",
        "DMA_GetFaxAddressNum", "DMA_SetFaxAddressNum",
        "DMA_QueryStructSize",  "DMA_EnumDMAID_ByTargetInfo",
        "DMA_GetUserSettingInfo", "DMA_SetUserSettingInfo",
        "DMA_AccessibleData",   "DMA_DeleteData",
        "DMA_ApplyData",        "DMA_GetNameFromInfo",
        "DMA_ExtractDocProp",   "DMA_ExtractOneTime",
        "DMA_ReplaceDocProp",
    };
    EXPECT_EQ(expected.size(), 23u);
    EXPECT_EQ(ExportedNames(TARVELDM_LIBRARY_PATH), expected);
}

TEST(Exports, BoundByNameTheyReadAndWrite)
{
    void *module = dlopen(TARVELDM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto get = reinterpret_cast<DmaGetValueFn>(dlsym(module, "dma_GetValue"));
    auto set = reinterpret_cast<DmaSetValueFn>(dlsym(module, "dma_SetValue"));
    ASSERT_NE(get, nullptr);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(dlsym(module, "DllMain"), nullptr);
    EXPECT_EQ(dlsym(module, "IdLayoutTable"), nullptr);

    dmtest::Records rec;
    plat::store<SHORT>(rec.dm() + 76, 2); /* landscape */
    rec.dm()[379] = 8;                    /* 295 */
    WORD code = 3;
    EXPECT_EQ(set(320, rec.dm(), rec.pd(), 3, 2, &code), 0);
    WORD type = 0, kind = 9;
    LONG size = 0;
    BYTE slot[8] = {};
    EXPECT_EQ(get(326, rec.dm(), rec.pd(), &type, &size, slot, &kind), 0);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(plat::load<WORD>(slot), 257);
    EXPECT_EQ(get(289, rec.dm(), rec.pd(), &type, &size, slot, &kind), 16);
    EXPECT_EQ(dlclose(module), 0);
}

TEST(Exports, DllMainAnswersTrueForEveryReason)
{
    for (DWORD reason : {0u, 1u, 2u, 3u, 99u})
        EXPECT_EQ(DllMain(nullptr, reason, nullptr), TRUE) << reason;
}

} // namespace
