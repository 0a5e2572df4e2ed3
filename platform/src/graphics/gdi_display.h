/*
 * The display device context (gdi_objects.cpp) as the printer device
 * context functions (gdi_job.cpp) reach it: CreateDCW, DeleteDC and
 * GetDeviceCaps hand a display context over to these.
 */
#ifndef PLAT_GDI_DISPLAY_H
#define PLAT_GDI_DISPLAY_H

#include <plat/gdi.h>

namespace plat::gdi {

/* True when `driver` names the display ("DISPLAY", ignoring case). */
bool is_display_driver(LPCWSTR driver);

/* A new display context. */
HDC create_display_dc();

/* Deletes `hdc` when it is a display context (true), else false and nothing is done. */
bool delete_display_dc(HDC hdc);

/* The display's answer to GetDeviceCaps `index` when `hdc` is a display context (true), else false. */
bool display_caps(HDC hdc, int index, int *answer);

} // namespace plat::gdi

#endif /* PLAT_GDI_DISPLAY_H */
