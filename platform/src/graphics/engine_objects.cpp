/*
 * The graphics engine's object table, palettes and devices (see
 * plat/engine.h).  Surfaces are in engine_surface.cpp, glyph sets and text
 * conversions in engine_text.cpp.
 */
#include "engine_private.h"

#include <plat/error.h>
#include <plat/fault.h>
#include <plat/machine.h>

#include <new>

namespace plat::engine {

Table &table()
{
    static Table *t = new Table;
    return *t;
}

namespace {

/*
 * A reset forgets every object.  Bits of a surface still locked by a caller
 * would dangle, so surfaces are kept (and lose their handles) only while
 * locked; everything else is freed.
 */
void reset_engine()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.palettes.clear();
    t.devices.clear();
    for (auto it = t.surfaces.begin(); it != t.surfaces.end();) {
        if (it->second->locks) {
            it->second->deleted = true;
            ++it;
        } else {
            it = t.surfaces.erase(it);
        }
    }
}

const bool registered = (machine_on_reset(reset_engine), true);

} // namespace

} // namespace plat::engine

using namespace plat::engine;

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen, FLONG flBlue)
{
    Palette pal;
    pal.mode = iMode;
    switch (iMode) {
    case PAL_INDEXED:
        if (cColors == 0 || !pulColors || cColors > 65536) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        break;
    case PAL_BITFIELDS:
        pal.masks[0] = flRed;
        pal.masks[1] = flGreen;
        pal.masks[2] = flBlue;
        break;
    case PAL_RGB:
    case PAL_BGR:
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!plat::fault_alloc_allowed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (iMode == PAL_INDEXED)
        pal.colors.assign(pulColors, pulColors + cColors);
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t id = next_id(t);
    t.palettes.emplace(id, std::move(pal));
    return handle<HPALETTE>(id);
}

BOOL EngDeletePalette(HPALETTE hpal)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.palettes.erase(key(hpal)) ? TRUE : FALSE;
}

namespace plat {

HDEV engine_create_device()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t id = next_id(t);
    t.devices.emplace(id, Device{});
    return handle<HDEV>(id);
}

bool engine_set_device_pdev(HDEV hdev, DHPDEV dhpdev)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.devices.find(key(hdev));
    if (it == t.devices.end())
        return false;
    it->second.dhpdev = dhpdev;
    return true;
}

bool engine_delete_device(HDEV hdev)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.devices.erase(key(hdev)) != 0;
}

ULONG engine_palette_mode(HPALETTE hpal)
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.palettes.find(key(hpal));
    return it == t.palettes.end() ? 0 : it->second.mode;
}

size_t engine_palette_count()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.palettes.size();
}

size_t engine_device_count()
{
    Table &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.devices.size();
}

} // namespace plat
