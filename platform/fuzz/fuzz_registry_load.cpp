/*
 * Fuzz target of the registry file loader: any bytes either load, and then
 * write back an image that loads again to the very same image, or are
 * refused and leave an empty registry.  Never a crash, an overrun or a hang.
 */
#include <plat/machine.h>
#include <plat/registry.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        plat::machine_reset("/tmp/tarvel-fuzz-registry"); /* nothing is saved there */
        return true;
    }();
    (void)ready;
    if (plat::registry_load_bytes(data, size)) {
        std::string image = plat::registry_image();
        if (!plat::registry_load_bytes(image.data(), image.size()) || plat::registry_image() != image)
            __builtin_trap();
    }
    return 0;
}
