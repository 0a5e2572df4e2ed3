/*
 * Engine surfaces: device surfaces the library draws itself, engine bitmaps
 * with bits, their association with a device, locking and deletion (see
 * plat/engine.h).  A surface's SURFOBJ is kept at a fixed address for its
 * whole life, so a locker's pointer stays good until it unlocks, even when
 * the surface is deleted meanwhile.
 */
#include "engine_private.h"

#include <plat/error.h>
#include <plat/fault.h>

#include <new>

using namespace plat::engine;

namespace {

/* Bits per pixel of the formats a bitmap may have; 0 for the others. */
ULONG bits_per_pixel(ULONG format)
{
    switch (format) {
    case BMF_1BPP:
        return 1;
    case BMF_4BPP:
        return 4;
    case BMF_8BPP:
        return 8;
    case BMF_16BPP:
        return 16;
    case BMF_24BPP:
        return 24;
    case BMF_32BPP:
        return 32;
    default:
        return 0;
    }
}

/* The largest bitmap the engine makes: larger sizes come from bad input, never from a page. */
constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 31;

HSURF add_surface(std::unique_ptr<Surface> s)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t id = next_id(t);
    s->so.hsurf = handle<HSURF>(id);
    s->so.iUniq = 1;
    t.surfaces.emplace(id, std::move(s));
    return handle<HSURF>(id);
}

/* The live (not deleted) surface of a handle; call with the lock held. */
Surface *live_surface(Table &t, HSURF hsurf)
{
    auto it = t.surfaces.find(key(hsurf));
    if (it == t.surfaces.end() || it->second->deleted)
        return nullptr;
    return it->second.get();
}

/* A null handle with `error` as the last error. */
HSURF refuse(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

/* A new surface record of `type` and `format` and `sizl` pixels; null when memory is short. */
std::unique_ptr<Surface> new_surface(USHORT type, ULONG format, SIZEL sizl)
{
    if (!plat::fault_alloc_allowed())
        return nullptr;
    std::unique_ptr<Surface> s(new (std::nothrow) Surface);
    if (s) {
        s->so.iType = type;
        s->so.iBitmapFormat = format;
        s->so.sizlBitmap = sizl;
    }
    return s;
}

} // namespace

HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat)
{
    if (sizl.cx <= 0 || sizl.cy <= 0 || iFormatCompat < BMF_1BPP || iFormatCompat > BMF_PNG)
        return refuse(ERROR_INVALID_PARAMETER);
    std::unique_ptr<Surface> s = new_surface(STYPE_DEVICE, iFormatCompat, sizl);
    if (!s)
        return refuse(ERROR_NOT_ENOUGH_MEMORY);
    s->so.dhsurf = dhsurf;
    return add_surface(std::move(s));
}

HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits)
{
    ULONG bpp = bits_per_pixel(iFormat);
    if (sizl.cx <= 0 || sizl.cy <= 0 || bpp == 0 || lWidth <= 0)
        return refuse(ERROR_INVALID_PARAMETER);
    uint64_t rowBytes = (uint64_t(sizl.cx) * bpp + 7) / 8;
    uint64_t total = uint64_t(lWidth) * uint64_t(sizl.cy);
    if (uint64_t(lWidth) < rowBytes || total > kMaxBitmapBytes)
        return refuse(ERROR_INVALID_PARAMETER);
    std::unique_ptr<Surface> s = new_surface(STYPE_BITMAP, iFormat, sizl);
    if (!s)
        return refuse(ERROR_NOT_ENOUGH_MEMORY);
    BYTE *bits = static_cast<BYTE *>(pvBits);
    if (!bits) {
        if (!plat::fault_alloc_allowed())
            return refuse(ERROR_NOT_ENOUGH_MEMORY);
        try {
            s->bits.assign(size_t(total), 0);
        } catch (const std::bad_alloc &) {
            return refuse(ERROR_NOT_ENOUGH_MEMORY);
        }
        bits = s->bits.data();
    }
    SURFOBJ &so = s->so;
    so.cjBits = ULONG(total);
    so.pvBits = bits;
    if (fl & BMF_TOPDOWN) {
        so.pvScan0 = bits;
        so.lDelta = lWidth;
    } else {
        so.pvScan0 = bits + size_t(total) - size_t(lWidth);
        so.lDelta = -lWidth;
    }
    so.fjBitmap = USHORT(fl & BMF_TOPDOWN);
    return add_surface(std::move(s));
}

BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks)
{
    if (flHooks & ~HOOK_FLAGS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Surface *s = live_surface(t, hsurf);
    auto dev = t.devices.find(key(hdev));
    if (!s || dev == t.devices.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    s->so.hdev = hdev;
    s->so.dhpdev = dev->second.dhpdev;
    s->hooks = flHooks;
    return TRUE;
}

BOOL EngDeleteSurface(HSURF hsurf)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.surfaces.find(key(hsurf));
    if (it == t.surfaces.end() || it->second->deleted)
        return FALSE;
    if (it->second->locks)
        it->second->deleted = true;
    else
        t.surfaces.erase(it);
    return TRUE;
}

SURFOBJ *EngLockSurface(HSURF hsurf)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Surface *s = live_surface(t, hsurf);
    if (!s)
        return nullptr;
    s->locks++;
    return &s->so;
}

void EngUnlockSurface(SURFOBJ *pso)
{
    if (!pso)
        return;
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    for (auto it = t.surfaces.begin(); it != t.surfaces.end(); ++it) {
        Surface *s = it->second.get();
        if (&s->so != pso || s->locks == 0)
            continue;
        if (--s->locks == 0 && s->deleted)
            t.surfaces.erase(it);
        return;
    }
}

namespace plat {

bool engine_surface_info(HSURF hsurf, EngineSurfaceInfo *info)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Surface *s = live_surface(t, hsurf);
    if (!s || !info)
        return false;
    info->type = s->so.iType;
    info->format = s->so.iBitmapFormat;
    info->size = s->so.sizlBitmap;
    info->hooks = s->hooks;
    info->hdev = s->so.hdev;
    info->dhsurf = s->so.dhsurf;
    info->locks = s->locks;
    return true;
}

size_t engine_surface_count()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    size_t n = 0;
    for (const auto &entry : t.surfaces)
        n += entry.second->deleted ? 0 : 1;
    return n;
}

} // namespace plat
