/*
 * The UserSettingInfo code's reads and writes of single settings of the
 * printer-data record, each behind one function so that wiring the
 * data-manager binding (DMB_GetValue, DMB_SetValue) touches one place
 * (usi_pending.cpp).
 */
#ifndef TARVEL_USI_PENDING_H
#define TARVEL_USI_PENDING_H

#include <plat/types.h>

/*
 * Reads setting `id` of the printer-data record: its type, size and 8-byte
 * value slot (a string's pointer for type 6).  Returns the setting access
 * status (0 done).
 */
WORD usi_ReadSetting(WORD id, void *printerData, WORD *type, LONG *size, void *slot);

/*
 * Writes setting `id` of the printer-data record with the data manager's
 * value conventions (for type 6, `value` points to the string pointer).
 * Returns the setting access status (0 done).
 */
WORD usi_WriteSetting(WORD id, void *printerData, WORD type, LONG size, const void *value);

#endif /* TARVEL_USI_PENDING_H */
