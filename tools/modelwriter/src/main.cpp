/*
 * The `modelwriter` command: writes every standard model (models/) as a
 * model data file and its companion into a folder, normally the driver
 * directory.  With --seeds it writes fuzz seeds instead: one file per
 * model, the main file's length (32-bit little-endian), the main file, then
 * the companion file.
 *
 * Usage: modelwriter [--seeds] <folder>
 */
#include <modelwriter/model_writer.h>
#include <standard_models.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    bool seeds = argc == 3 && std::strcmp(argv[1], "--seeds") == 0;
    if (argc != 2 && !seeds) {
        std::fprintf(stderr, "usage: modelwriter [--seeds] <folder>\n");
        return 2;
    }
    std::string dir = argv[argc - 1];
    for (const mw::Model &m : tarvel_models::standardModels()) {
        std::string error;
        if (!seeds) {
            if (!mw::writeFiles(m, dir, error)) {
                std::fprintf(stderr, "modelwriter: %s: %s\n", m.fileName.c_str(), error.c_str());
                return 1;
            }
            continue;
        }
        mw::Bytes mainFile, companion, seed;
        if (!mw::build(m, mainFile, companion, error)) {
            std::fprintf(stderr, "modelwriter: %s: %s\n", m.fileName.c_str(), error.c_str());
            return 1;
        }
        mw::putU32(seed, static_cast<DWORD>(mainFile.size()));
        seed.insert(seed.end(), mainFile.begin(), mainFile.end());
        seed.insert(seed.end(), companion.begin(), companion.end());
        std::string path = dir + "/" + m.fileName + ".seed";
        FILE *f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(seed.data(), 1, seed.size(), f) != seed.size()) {
            std::fprintf(stderr, "modelwriter: cannot write %s\n", path.c_str());
            if (f)
                std::fclose(f);
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}
