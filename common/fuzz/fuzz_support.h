/*
 * What the common library's fuzz targets share: a private machine folder
 * made once per run (removed at exit), this program playing the rendering
 * library in the driver directory, and the model pair input layout (the
 * main file's length, 32-bit little-endian, the main file, then the
 * companion) opened from memory.
 */
#ifndef TARVEL_FUZZ_SUPPORT_H
#define TARVEL_FUZZ_SUPPORT_H

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/model_file.h>

#include <plat/loader.h>
#include <plat/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fuzz_support {

/* Makes a machine in a new folder from `pattern` (ending in XXXXXX, kept by the caller for the run). */
inline void private_machine(char *pattern)
{
    static char *folder = nullptr;
    if (mkdtemp(pattern) == nullptr)
        std::abort();
    folder = pattern;
    plat::machine_reset(folder);
    std::atexit([] { std::filesystem::remove_all(folder); });
}

/* Lets this program play the rendering library in the driver directory (its module path and own strings). */
inline void play_rendering_library()
{
    RES_SetModulePathForTest((plat::driver_dir_win() + u"\\tarvelgr.dll").c_str());
    RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
    RES_InitModulePaths(nullptr, nullptr);
}

/*
 * Opens the model pair an input holds; DDD_OK or the open's error (then
 * nothing is open).  The length's top bit is not part of the length (no
 * input comes near 2 GB): a target may use it as a choice of its own.
 */
inline WORD open_model_pair(const uint8_t *data, size_t size, ModelFileReader *main, ModelFileReader *companion)
{
    if (size < 4)
        return DDD_ERR_FAIL;
    size_t mainSize = static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8) |
                      (static_cast<size_t>(data[2]) << 16) | (static_cast<size_t>(data[3] & 0x7F) << 24);
    data += 4;
    size -= 4;
    if (mainSize > size)
        mainSize = size;
    const uint8_t *second = mainSize < size ? data + mainSize : nullptr;
    return ddd_OpenModelMemory(u"C:\\DRIVER\\FUZZ.DDD", data, mainSize, second, size - mainSize, main, companion);
}

} // namespace fuzz_support

#endif /* TARVEL_FUZZ_SUPPORT_H */
