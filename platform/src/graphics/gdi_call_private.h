/*
 * What the engine's drawing calls on a printer device context (paths,
 * images, text) share: the library's function for the call, typed, and
 * the context's surface locked for the call.
 */
#ifndef PLAT_GDI_CALL_PRIVATE_H
#define PLAT_GDI_CALL_PRIVATE_H

#include <plat/engine.h>
#include <plat/error.h>
#include <plat/gdi.h>

namespace plat::gdi {

/* A table entry as the function it is (through the generic function type, which any function converts to). */
template <typename F> F as(PFN p) { return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(p)); }

/*
 * The library's function `index` for a drawing call on `hdc`, with the
 * context's `info`.  Null with the last error ERROR_INVALID_HANDLE for a
 * dead context, ERROR_INVALID_DRIVER when the library has no such function.
 */
inline PFN drawing_function(HDC hdc, ULONG index, GdiDcInfo *info)
{
    if (!gdi_dc_info(hdc, info)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    PFN fn = gdi_driver_function(hdc, index);
    if (!fn)
        SetLastError(ERROR_INVALID_DRIVER);
    return fn;
}

/* The context's surface locked for one call (EngUnlockSurface after it); null with ERROR_INVALID_HANDLE. */
inline SURFOBJ *lock_surface(const GdiDcInfo &info)
{
    SURFOBJ *pso = EngLockSurface(info.hsurf);
    if (!pso)
        SetLastError(ERROR_INVALID_HANDLE);
    return pso;
}

} // namespace plat::gdi

#endif /* PLAT_GDI_CALL_PRIVATE_H */
