/*
 * Fuzz target of the option pictures: an icon image as the model file
 * holds it (header, colour table, colour rows, mask rows) becomes an icon
 * and, for 256 colours, a palette; the palette builder also reads the input
 * on its own.  The input is copied into a block of exactly its length, so a
 * read past the image is caught; every object made is released again.
 */
#include <tarvel/settings/opt_list.h>

#include <plat/gdi_objects.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<BYTE[]> image(new BYTE[size == 0 ? 1 : size]);
    if (size != 0)
        std::memcpy(image.get(), data, size);
    HICON icon = nullptr;
    HPALETTE palette = nullptr;
    if (FID_CreateIconFromImage(nullptr, image.get(), size, &icon, &palette)) {
        plat::GdiIconInfo info;
        if (!plat::gdi_icon_info(icon, &info) || info.width < 1 || info.height < 1)
            std::abort();
        DestroyIcon(icon);
        if (palette != nullptr)
            DeleteObject(palette);
    } else if (icon != nullptr || palette != nullptr) {
        std::abort();
    }
    if (HPALETTE own = FID_CreatePalette(image.get(), size); own != nullptr)
        DeleteObject(own);
    if (plat::gdi_object_count() != 0)
        std::abort();
    return 0;
}
