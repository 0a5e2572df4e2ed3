// Image calls on a printer device context: an image the engine cannot draw
// (null bits, no size, rows short of their buffer, a missing or oversized
// palette, a source rectangle outside the image, a turned plain blt) is
// refused with a clear error before the context is looked at, so no bit is
// ever read; a sound image reaches the context check.
#include "test_file_fixture.h"

#include <plat/error.h>
#include <plat/gdi.h>

#include <functional>
#include <memory>

namespace {

using GdiImageCalls = MachineTest;

/* A 10 x 3 eight-bit image with a two-colour palette: rows of 12 bytes, 36 in all. */
plat::GdiImageDraw sound(const BYTE *bits, size_t size)
{
    plat::GdiImageDraw d;
    d.image.format = BMF_8BPP;
    d.image.width = 10;
    d.image.height = 3;
    d.image.bits = bits;
    d.image.size = size;
    d.image.palette = {0x000000, 0xFFFFFF};
    d.dest = RECTL{0, 0, 20, 6};
    d.src = RECTL{0, 0, 10, 3};
    return d;
}

TEST_F(GdiImageCalls, BadImagesAreRefusedBeforeAnyBitIsRead)
{
    /* Exactly the bytes each case says it has, so a read past them trips the address checker. */
    auto bits = std::make_unique<BYTE[]>(36);
    struct Case {
        const char *what;
        std::function<void(plat::GdiImageDraw &)> spoil;
        DWORD error;
    } cases[] = {
        {"null bits", [](plat::GdiImageDraw &d) { d.image.bits = nullptr; }, ERROR_INVALID_PARAMETER},
        {"no width", [](plat::GdiImageDraw &d) { d.image.width = 0; }, ERROR_INVALID_PARAMETER},
        {"no height", [](plat::GdiImageDraw &d) { d.image.height = 0; }, ERROR_INVALID_PARAMETER},
        {"negative width", [](plat::GdiImageDraw &d) { d.image.width = -10; }, ERROR_INVALID_PARAMETER},
        {"unknown format", [](plat::GdiImageDraw &d) { d.image.format = BMF_JPEG; }, ERROR_INVALID_PARAMETER},
        {"no palette", [](plat::GdiImageDraw &d) { d.image.palette.clear(); }, ERROR_INVALID_PARAMETER},
        {"palette past 2^bits",
         [](plat::GdiImageDraw &d) {
             d.image.format = BMF_1BPP;
             d.image.palette = {0, 1, 2};
         },
         ERROR_INVALID_PARAMETER},
        {"palette on a deep image", [](plat::GdiImageDraw &d) { d.image.format = BMF_24BPP; },
         ERROR_INVALID_PARAMETER},
        {"one byte short", [](plat::GdiImageDraw &d) { d.image.size = 35; }, ERROR_INSUFFICIENT_BUFFER},
        {"rows without padding", [](plat::GdiImageDraw &d) { d.image.size = 30; }, ERROR_INSUFFICIENT_BUFFER},
        {"24 bits in 8 bits' rows",
         [](plat::GdiImageDraw &d) {
             d.image.format = BMF_24BPP;
             d.image.palette.clear();
         },
         ERROR_INSUFFICIENT_BUFFER},
        {"rows past 4 GB",
         [](plat::GdiImageDraw &d) {
             d.image.width = 0x7FFFFFFF;
             d.image.height = 0x7FFFFFFF;
             d.image.size = ~size_t(0);
         },
         ERROR_INVALID_PARAMETER},
        {"source past the right edge", [](plat::GdiImageDraw &d) { d.src.right = 11; }, ERROR_INVALID_PARAMETER},
        {"source above the image", [](plat::GdiImageDraw &d) { d.src.top = -1; }, ERROR_INVALID_PARAMETER},
        {"empty source", [](plat::GdiImageDraw &d) { d.src.right = 0; }, ERROR_INVALID_PARAMETER},
        {"empty destination", [](plat::GdiImageDraw &d) { d.dest.right = 0; }, ERROR_INVALID_PARAMETER},
        {"plain blt larger than the image",
         [](plat::GdiImageDraw &d) { d.call = plat::GdiImageDraw::Bit; }, ERROR_INVALID_PARAMETER},
        {"turned plain blt",
         [](plat::GdiImageDraw &d) {
             d.call = plat::GdiImageDraw::Bit;
             d.dest = RECTL{10, 0, 0, 3};
         },
         ERROR_INVALID_PARAMETER},
        {"turned transparent blt",
         [](plat::GdiImageDraw &d) {
             d.call = plat::GdiImageDraw::Transparent;
             d.dest = RECTL{0, 6, 20, 0};
         },
         ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        plat::GdiImageDraw d = sound(bits.get(), 36);
        c.spoil(d);
        SetLastError(0);
        EXPECT_FALSE(plat::gdi_draw_image(nullptr, d)) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

TEST_F(GdiImageCalls, ASoundImageReachesTheContextCheck)
{
    auto bits = std::make_unique<BYTE[]>(36);
    plat::GdiImageDraw stretched = sound(bits.get(), 36);
    stretched.dest = RECTL{20, 6, 0, 0}; /* turned over both ways */
    plat::GdiImageDraw plain = sound(bits.get(), 36);
    plain.call = plat::GdiImageDraw::Bit;
    plain.dest = RECTL{5, 5, 15, 8};
    plat::GdiImageDraw clear = sound(bits.get(), 36);
    clear.call = plat::GdiImageDraw::Transparent;
    for (const plat::GdiImageDraw &d : {stretched, plain, clear}) {
        SetLastError(0);
        EXPECT_FALSE(plat::gdi_draw_image(nullptr, d));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
}

} // namespace
