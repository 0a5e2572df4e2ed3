/*
 * Exports of the settings data manager (libtarveldm.so, and libtarveldm32.so
 * in 32-bit processes): read or write one driver setting, addressed by its
 * DDMID, inside settings records the caller owns.  The libraries that use it
 * load it at run time and bind these names; they include this header for the
 * status codes and the entry-point types.  Depends only on plat/types.h.
 */
#ifndef TARVEL_DATAMGR_H
#define TARVEL_DATAMGR_H

#include "plat/types.h"

/* Setting access status (a 16-bit value; bits may be tested singly). */
inline constexpr WORD DMA_OK = 0;          /* done */
inline constexpr WORD DMA_ERR_RANGE = 1;   /* identifier in no group of the layout table */
inline constexpr WORD DMA_ERR_TYPE = 2;    /* caller's type is neither the stored nor the reported type */
inline constexpr WORD DMA_ERR_LENGTH = 4;  /* string or block too long for its field or the caller's size */
inline constexpr WORD DMA_ERR_SIZE = 8;    /* caller's size does not match a numeric type */
inline constexpr WORD DMA_ERR_FAIL = 16;   /* not a setting, record or pointer missing, derived step failed */

#define TARVELDM_API extern "C" __attribute__((visibility("default")))

/*
 * dma_GetValue: reads setting `id`.
 *   devmode      in: the driver devmode; for extension-block settings the
 *                    whole settings image (may be null for other settings)
 *   printerData  in: the printer-data record (may be null for other settings)
 *   type         out: the type the value is handed out as
 *   size         out: its size in bytes; for strings the length in bytes
 *                     with the terminating NUL (never more than the field),
 *                     for LOGFONTW blocks 92
 *   slot8        out: 8-byte value slot, little-endian, zero-extended over
 *                     the size; for strings and blocks the field's byte
 *                     offset in its record (pointer-sized), not a pointer
 *   kind         out: record kind (0 devmode, 1 extension block, 2 printer
 *                     data), written as soon as the identifier's group is
 *                     known, also when the call then fails
 * Returns a DMA_ status.  On failure type, size and slot are left as they
 * were.  Nothing is allocated.
 */
TARVELDM_API WORD dma_GetValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size,
                               void *slot8, WORD *kind);

/*
 * dma_SetValue: writes setting `id` and the settings derived from it.
 *   type, size   in: the caller's value type (the stored or the reported
 *                    type) and the value's size in bytes
 *   value        in: the number (`size` bytes), or for strings and LOGFONTW
 *                    blocks a pointer to the string or block pointer
 * Returns a DMA_ status.  A failed check leaves the records unchanged; when
 * a derived setting cannot follow, the main write stays and the status says
 * why.  Nothing is allocated; the caller keeps its value.
 */
TARVELDM_API WORD dma_SetValue(WORD id, void *devmode, void *printerData, WORD type, LONG size,
                               const void *value);

/* Entry-point types, for binding the exports by name. */
typedef WORD (*DmaGetValueFn)(WORD, void *, void *, WORD *, LONG *, void *, WORD *);
typedef WORD (*DmaSetValueFn)(WORD, void *, void *, WORD, LONG, const void *);

#endif /* TARVEL_DATAMGR_H */
