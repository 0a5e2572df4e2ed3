/*
 * Internal operations of the data manager's single-setting access: value
 * sizes, the lookup of a setting's item and address, flag masks and the
 * mappings behind the derived settings.  Private to the data manager (and
 * its tests); none of these names is exported.
 */
#ifndef TARVEL_DATAMGR_SETTING_ACCESS_H
#define TARVEL_DATAMGR_SETTING_ACCESS_H

#include "plat/types.h"
#include "tarvel/setting_layout.h"

/*
 * dma_TypeSize: the size in bytes of a value of `type` as it is handed over:
 * 4 for 1, 4, 5 and 10; 2 for 2 and 3; 1 for 8; the width of a record offset
 * (8, or 4 in a 32-bit process) for 6 and 9.  Returns 0 for any other code.
 */
LONG dma_TypeSize(WORD type);

/*
 * dma_LookupItem: finds setting `id` and its address in the caller's
 * records.  *kind (when not null) receives the group's record kind as soon as
 * the group is known.  Returns 0 with *item and *address set; 1 when the
 * identifier lies in no group; 16 when it is not listed, its record pointer
 * is null or its stored type has no size.
 */
WORD dma_LookupItem(WORD id, void *devmode, void *printerData, const IdLayoutItem **item, BYTE **address,
                    WORD *kind);

/*
 * dma_GetFlagMask: the bit of flag `id` in its 32-bit flag word, from the
 * mask table of its flag range.  Returns TRUE with *mask set, FALSE when the
 * identifier has no mask.
 */
BOOL dma_GetFlagMask(WORD id, DWORD *mask);

/*
 * dma_MapSideValue: maps a value of setting 267 to the value of setting 325.
 * Returns TRUE with *mapped set, FALSE for a value without a mapping.
 */
BOOL dma_MapSideValue(WORD value, WORD *mapped);

/* Columns of dma_MapStaplePunchPosition. */
inline constexpr WORD DMA_COLUMN_STAPLE = 0; /* setting 320 -> 326 */
inline constexpr WORD DMA_COLUMN_PUNCH = 1;  /* setting 341 -> 344 */

/*
 * dma_MapStaplePunchPosition: maps a staple (320) or punch (341) position
 * code to the value of 326 or 344, given dmOrientation (1 portrait,
 * 2 landscape) and setting 295.  Returns TRUE with *mapped set, FALSE when
 * the code has no mapping for that orientation and 295.
 */
BOOL dma_MapStaplePunchPosition(WORD code, WORD column, SHORT orientation, WORD side, WORD *mapped);

/* DllMain: the module entry; does nothing and returns TRUE for every reason. */
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

#endif /* TARVEL_DATAMGR_SETTING_ACCESS_H */
