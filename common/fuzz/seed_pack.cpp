/*
 * Builds the seeds of the model data fuzz targets from the model files the
 * build writes: for each model named, "<out>/<MODEL>.seed" holds the main
 * file's length (32-bit little-endian), the main file and its companion,
 * the input layout those targets read.
 *
 * Usage: seed_pack OUT_DIR DRIVER_DIR MODEL...   (MODEL without extension)
 */
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool read_file(const std::string &path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: seed_pack OUT_DIR DRIVER_DIR MODEL...\n");
        return 2;
    }
    const std::string out = argv[1], drivers = argv[2];
    for (int i = 3; i < argc; i++) {
        std::string main, companion;
        const std::string base = drivers + "/" + argv[i];
        if (!read_file(base + ".DDD", main) || !read_file(base + ".DDC", companion)) {
            std::fprintf(stderr, "seed_pack: %s.DDD or .DDC cannot be read\n", base.c_str());
            return 1;
        }
        const uint32_t n = uint32_t(main.size());
        const char length[4] = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF), char(n >> 24)};
        std::ofstream seed(out + "/" + argv[i] + ".seed", std::ios::binary | std::ios::trunc);
        seed.write(length, 4);
        seed << main << companion;
        if (!seed) {
            std::fprintf(stderr, "seed_pack: %s/%s.seed cannot be written\n", out.c_str(), argv[i]);
            return 1;
        }
    }
    return 0;
}
