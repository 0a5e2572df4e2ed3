// Engine palettes, devices, device surfaces and bitmaps: creation, association
// with a device, locking, deletion while locked, and the failures that
// bad arguments and a short memory give.
#include "test_file_fixture.h"

#include <plat/engine.h>
#include <plat/fault.h>

using EngineObjects = MachineTest;

TEST_F(EngineObjects, PalettesOfEachModeAndTheirDeletion)
{
    ULONG colors[2] = {0x000000, 0xFFFFFF};
    HPALETTE bgr = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    HPALETTE indexed = EngCreatePalette(PAL_INDEXED, 2, colors, 0, 0, 0);
    HPALETTE fields = EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xFF0000, 0xFF00, 0xFF);
    ASSERT_NE(bgr, nullptr);
    ASSERT_NE(indexed, nullptr);
    ASSERT_NE(fields, nullptr);
    EXPECT_NE(bgr, indexed);
    EXPECT_EQ(plat::engine_palette_mode(bgr), PAL_BGR);
    EXPECT_EQ(plat::engine_palette_mode(indexed), PAL_INDEXED);
    EXPECT_EQ(plat::engine_palette_count(), 3u);

    EXPECT_TRUE(EngDeletePalette(bgr));
    EXPECT_FALSE(EngDeletePalette(bgr)) << "a palette is deleted once";
    EXPECT_EQ(plat::engine_palette_mode(bgr), 0u);
    EXPECT_TRUE(EngDeletePalette(indexed));
    EXPECT_TRUE(EngDeletePalette(fields));
    EXPECT_EQ(plat::engine_palette_count(), 0u);
    EXPECT_FALSE(EngDeletePalette(nullptr));
}

TEST_F(EngineObjects, PaletteRefusals)
{
    struct Case {
        ULONG mode, count;
        bool colors;
    } cases[] = {{0, 0, false}, {3, 0, false}, {16, 0, false}, {PAL_INDEXED, 0, true}, {PAL_INDEXED, 2, false}};
    ULONG colors[2] = {1, 2};
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(EngCreatePalette(c.mode, c.count, c.colors ? colors : nullptr, 0, 0, 0), nullptr) << c.mode;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(plat::engine_palette_count(), 0u);
}

TEST_F(EngineObjects, DeviceSurfaceAssociatedWithADevice)
{
    auto dhsurf = reinterpret_cast<DHSURF>(0x1234);
    auto dhpdev = reinterpret_cast<DHPDEV>(0x5678);
    HSURF hsurf = EngCreateDeviceSurface(dhsurf, SIZEL{4961, 7016}, BMF_24BPP);
    ASSERT_NE(hsurf, nullptr);
    plat::EngineSurfaceInfo info{};
    ASSERT_TRUE(plat::engine_surface_info(hsurf, &info));
    EXPECT_EQ(info.type, STYPE_DEVICE);
    EXPECT_EQ(info.format, BMF_24BPP);
    EXPECT_EQ(info.size.cx, 4961);
    EXPECT_EQ(info.size.cy, 7016);
    EXPECT_EQ(info.hdev, nullptr);
    EXPECT_EQ(info.hooks, 0u);

    HDEV hdev = plat::engine_create_device();
    ASSERT_TRUE(plat::engine_set_device_pdev(hdev, dhpdev));
    SetLastError(0);
    EXPECT_FALSE(EngAssociateSurface(hsurf, reinterpret_cast<HDEV>(0x777777), HOOK_BITBLT));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(EngAssociateSurface(hsurf, hdev, 0x80000000u)) << "unknown hook bits";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(EngAssociateSurface(hsurf, hdev, 0xA4EB));

    SURFOBJ *so = EngLockSurface(hsurf);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->dhsurf, dhsurf);
    EXPECT_EQ(so->hsurf, hsurf);
    EXPECT_EQ(so->dhpdev, dhpdev);
    EXPECT_EQ(so->hdev, hdev);
    EXPECT_EQ(so->sizlBitmap.cx, 4961);
    EXPECT_EQ(so->iType, STYPE_DEVICE);
    EXPECT_EQ(so->iBitmapFormat, BMF_24BPP);
    EXPECT_EQ(so->pvBits, nullptr);
    ASSERT_TRUE(plat::engine_surface_info(hsurf, &info));
    EXPECT_EQ(info.hooks, 0xA4EBu);
    EXPECT_EQ(info.locks, 1u);
    EngUnlockSurface(so);

    EXPECT_TRUE(EngDeleteSurface(hsurf));
    EXPECT_FALSE(EngDeleteSurface(hsurf));
    EXPECT_TRUE(plat::engine_delete_device(hdev));
    EXPECT_FALSE(plat::engine_delete_device(hdev));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
}

TEST_F(EngineObjects, DeviceSurfaceRefusals)
{
    EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{0, 10}, BMF_24BPP), nullptr);
    EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{10, -1}, BMF_24BPP), nullptr);
    EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{10, 10}, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{10, 10}, BMF_24BPP), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
}

TEST_F(EngineObjects, DeletedWhileLockedStaysValidUntilUnlocked)
{
    HSURF hsurf = EngCreateDeviceSurface(nullptr, SIZEL{8, 8}, BMF_24BPP);
    SURFOBJ *first = EngLockSurface(hsurf);
    SURFOBJ *second = EngLockSurface(hsurf);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(EngDeleteSurface(hsurf));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    EXPECT_EQ(EngLockSurface(hsurf), nullptr) << "a deleted surface cannot be locked again";
    EngUnlockSurface(second);
    EXPECT_EQ(first->sizlBitmap.cx, 8) << "still readable while one lock remains";
    EngUnlockSurface(first);
    EngUnlockSurface(first); /* ignored: the surface is gone */
}

TEST_F(EngineObjects, BitmapRowsAndMemory)
{
    /* 3 x 2 pixels of 24 bits: 9 bytes a row, 12 with the row width asked for. */
    HBITMAP bottomUp = EngCreateBitmap(SIZEL{3, 2}, 12, BMF_24BPP, 0, nullptr);
    ASSERT_NE(bottomUp, nullptr);
    SURFOBJ *so = EngLockSurface(bottomUp);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->iType, STYPE_BITMAP);
    EXPECT_EQ(so->cjBits, 24u);
    EXPECT_EQ(so->lDelta, -12);
    EXPECT_EQ(static_cast<BYTE *>(so->pvScan0), static_cast<BYTE *>(so->pvBits) + 12);
    static_cast<BYTE *>(so->pvBits)[23] = 0x5A; /* the last byte is the bitmap's */
    EngUnlockSurface(so);
    EXPECT_TRUE(EngDeleteSurface(bottomUp));

    BYTE mine[16] = {};
    HBITMAP topDown = EngCreateBitmap(SIZEL{8, 2}, 8, BMF_8BPP, BMF_TOPDOWN, mine);
    so = EngLockSurface(topDown);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->pvBits, mine);
    EXPECT_EQ(so->pvScan0, mine);
    EXPECT_EQ(so->lDelta, 8);
    EXPECT_EQ(so->fjBitmap, BMF_TOPDOWN);
    EngUnlockSurface(so);
    EXPECT_TRUE(EngDeleteSurface(topDown));
}

TEST_F(EngineObjects, BitmapRefusals)
{
    struct Case {
        LONG cx, cy, width;
        ULONG format;
    } cases[] = {
        {3, 2, 8, BMF_24BPP},     /* row narrower than its pixels */
        {0, 2, 12, BMF_24BPP},    /* empty */
        {3, 2, 12, BMF_4RLE},     /* not a plain format */
        {65536, 65536, 196608, BMF_24BPP}, /* larger than any page */
        {3, 2, -12, BMF_24BPP},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(EngCreateBitmap(SIZEL{c.cx, c.cy}, c.width, c.format, 0, nullptr), nullptr) << c.cx << "x" << c.cy;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    plat::fault_fail_alloc_after(2); /* the bits */
    EXPECT_EQ(EngCreateBitmap(SIZEL{3, 2}, 12, BMF_24BPP, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(plat::engine_surface_count(), 0u);
}

TEST_F(EngineObjects, MachineResetForgetsEveryObject)
{
    EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    EngCreateDeviceSurface(nullptr, SIZEL{1, 1}, BMF_24BPP);
    HDEV hdev = plat::engine_create_device();
    plat::machine_reset(root.string());
    EXPECT_EQ(plat::engine_palette_count(), 0u);
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    EXPECT_EQ(plat::engine_device_count(), 0u);
    EXPECT_FALSE(plat::engine_set_device_pdev(hdev, nullptr));
}
