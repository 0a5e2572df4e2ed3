/*
 * The graphics engine's object table (private to the engine's sources):
 * palettes, surfaces and devices under one lock, keyed by their handle
 * numbers, which count up from 1 and are never reused within a process.
 */
#ifndef PLAT_ENGINE_PRIVATE_H
#define PLAT_ENGINE_PRIVATE_H

#include <plat/engine.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat::engine {

struct Palette {
    ULONG mode = 0;
    std::vector<ULONG> colors; /* PAL_INDEXED */
    FLONG masks[3] = {};       /* PAL_BITFIELDS */
};

struct Surface {
    SURFOBJ so{};           /* the record lockers see; its address never changes */
    FLONG hooks = 0;
    unsigned locks = 0;
    bool deleted = false;   /* deleted while locked: freed at the last unlock */
    std::vector<BYTE> bits; /* engine-owned bits of a bitmap */
};

struct Device {
    DHPDEV dhpdev = nullptr;
};

struct Table {
    std::mutex lock;
    uintptr_t next = 1;
    std::map<uintptr_t, Palette> palettes;
    std::map<uintptr_t, std::unique_ptr<Surface>> surfaces; /* live and deleted-but-locked */
    std::map<uintptr_t, Device> devices;
};

/* The process-wide table (never destroyed: blocks of it may outlive static destructors). */
Table &table();

/* A fresh handle number; call with the table's lock held. */
inline uintptr_t next_id(Table &t) { return t.next++; }

template <typename H>
inline uintptr_t key(H h)
{
    return reinterpret_cast<uintptr_t>(h);
}

template <typename H>
inline H handle(uintptr_t id)
{
    return reinterpret_cast<H>(id);
}

/*
 * Strings of text (engine_draw_objects.cpp, for engine_make_text): `text`
 * is kept in the engine-made string's own record and its pwszOrg points at
 * it, so the text goes with the string, whichever call frees it.  False for
 * a string the engine did not make.
 */
bool string_keep_text(STROBJ *pstro, std::u16string text);

/* Frees an engine-made string that keeps a text; false (nothing freed) for any other. */
bool free_text_string(STROBJ *pstro);

} // namespace plat::engine

#endif /* PLAT_ENGINE_PRIVATE_H */
