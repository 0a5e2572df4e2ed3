/*
 * The display device context (gdi_objects.cpp) as the printer device
 * context functions (gdi_job.cpp) reach it: CreateDCW, DeleteDC and
 * GetDeviceCaps hand a display context over to these.  The raster GDI
 * (platform/src/raster/) keeps its bitmaps, brushes, pens, fonts and memory
 * contexts in the same object table through the rest of this interface.
 */
#ifndef PLAT_GDI_DISPLAY_H
#define PLAT_GDI_DISPLAY_H

#include <plat/gdi_objects.h>

#include <memory>
#include <vector>

namespace plat::gdi {

/* True when `driver` names the display ("DISPLAY", ignoring case). */
bool is_display_driver(LPCWSTR driver);

/* A new display context. */
HDC create_display_dc();

/* Deletes `hdc` when it is a display context (true), else false and nothing is done. */
bool delete_display_dc(HDC hdc);

/* The display's answer to GetDeviceCaps `index` when `hdc` is a display or raster context (true), else false. */
bool display_caps(HDC hdc, int index, int *answer);

/* A bitmap's pixels: 32 bits a pixel (BGRX), top-down, no padding. */
struct BitmapData {
    LONG width = 0;
    LONG height = 0;
    std::vector<BYTE> bits;
    WORD bitsPixel = 32;   /* 1: monochrome (pixels only black or white) */
    bool internal = false; /* a window surface: not counted as an object of the code */
    /* A DIB section keeps its rows in its own format as well; the raster GDI keeps both in step. */
    bool dib = false;
    BITMAPINFOHEADER dibHeader{};
    std::vector<DWORD> dibColours; /* BGRX */
    DWORD dibMasks[3] = {0, 0, 0};
    std::vector<BYTE> dibBits;
};

/* The raster GDI's own objects (brushes, pens, fonts, memory and window contexts). */
struct RasterObject {
    virtual ~RasterObject() = default;
    virtual DWORD objectType() const = 0;
    bool stock = false;      /* stock objects: never deleted, never counted */
    uintptr_t palette = 0;   /* contexts: the selected palette */
};

/*
 * A fresh handle number from the object table's counter, entered in no
 * table: for printer device contexts, which gdi_job.cpp keeps, so that no
 * context or object of this table ever has the same value.
 */
uintptr_t reserve_handle();

/* The bitmap of `h`, or null.  The window system runs on one thread, so the record stays put while used. */
BitmapData *bitmap_data(HBITMAP h);
HBITMAP add_bitmap(BitmapData &&bitmap);
bool remove_bitmap(HBITMAP h);

HGDIOBJ add_raster(std::shared_ptr<RasterObject> object);
std::shared_ptr<RasterObject> raster_object(HGDIOBJ h);
bool remove_raster(HGDIOBJ h);

/* The palette entries of a live palette, or null. */
const std::vector<PALETTEENTRY> *palette_data(HPALETTE h);

/* A display context (CreateDCW "DISPLAY"), as opposed to a raster one. */
bool is_display_dc(HDC hdc);

/* GetDeviceCaps of a raster context; false when `hdc` is none (defined by the raster GDI). */
bool raster_caps(HDC hdc, int index, int *answer);
/* Deletes a raster memory context (DeleteDC); false when `hdc` is none (defined by the raster GDI). */
bool raster_delete_dc(HDC hdc);
/* RealizePalette on a raster context (defined by the raster GDI). */
UINT raster_realize(HDC hdc);

/* Window surfaces for the window manager. */
HBITMAP surface_create(int cx, int cy);
bool surface_matches(HBITMAP surface, int cx, int cy);
void surface_delete(HBITMAP surface);

} // namespace plat::gdi

#endif /* PLAT_GDI_DISPLAY_H */
