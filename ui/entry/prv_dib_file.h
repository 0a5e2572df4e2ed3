/*
 * The bitmap file reader of bitmap watermarks: a Windows bitmap file
 * (".bmp") read into a packed device-independent bitmap (DIB) in global
 * memory: a 40-byte info header (a 12-byte core header is converted), the
 * colour table in 4-byte entries, the three colour masks of a BI_BITFIELDS
 * image, then the pixel rows.  biSizeImage and biClrUsed are always filled
 * in.  Every size comes from the file and is checked against the file
 * before anything is read or allocated; the pixel area is zero-filled and
 * as large as the larger of the stated and the computed size, so a reader
 * of |height| rows never reads past it.
 */
#ifndef TARVELUI_PRV_DIB_FILE_H
#define TARVELUI_PRV_DIB_FILE_H

#include <plat/gdi_objects.h>
#include <plat/raster.h>
#include <plat/types.h>

/* Resource strings of the reader's messages. */
inline constexpr UINT PRV_MSG_BAD_BITMAP = 9363;  /* a header that cannot be read or used */
inline constexpr UINT PRV_MSG_NO_BITMAP = 9364;   /* a file that cannot be opened or is no bitmap */
inline constexpr UINT PRV_MSG_CAPTION = 9365;

/* Largest pixel area and largest file accepted, in bytes; largest width or height in pixels. */
inline constexpr ULONGLONG PRV_MAX_DIB_PIXELS = 256ull << 20;
inline constexpr ULONGLONG PRV_MAX_DIB_FILE = PRV_MAX_DIB_PIXELS + (1u << 16);
inline constexpr LONG PRV_MAX_DIB_SIDE = 32768;

/*
 * Reads bitmap file `path` (shown messages owned by `owner`, may be null):
 * the packed DIB (GlobalAlloc; the caller frees it), or null after message
 * 9364 (the file cannot be opened, or does not start with "BM") or 9363
 * (anything else the reader refuses), each shown only when the path
 * differs from the last path that failed.
 */
BYTE *PRV_LoadDibFile(LPCWSTR path, HWND owner);

/*
 * The packed DIB of a bitmap file's bytes: *dib (GlobalAlloc; the caller
 * frees it) and 0, or null and the message the file earns (9364 or 9363).
 */
UINT PRV_ParseDib(const BYTE *file, size_t size, BYTE **dib);

/* Copies a packed DIB's header, biSizeImage filled in when 0.  1, or 0 for a null DIB or header. */
int PRV_ReadDibHeader(const BYTE *dib, BITMAPINFOHEADER *header);

/* The colour count of a header: biClrUsed when set, else 2, 16 or 256 for 1, 4 or 8 bits a pixel, else 0. */
DWORD PRV_DibColourCount(const BITMAPINFOHEADER *header);

/* The colour table's bytes in a packed DIB: 4 a colour, and 12 for the masks of BI_BITFIELDS. */
DWORD PRV_GetDibColorTableSize(const BITMAPINFOHEADER *header);

/* The bytes of the pixel rows of a header: ((bits x width + 31) / 32) x 4 x |height|, in 64 bits. */
ULONGLONG PRV_DibRowBytes(const BITMAPINFOHEADER *header);

/* Forgets the last failing path (tests). */
void PRV_ResetLastFailureForTest();

#endif /* TARVELUI_PRV_DIB_FILE_H */
