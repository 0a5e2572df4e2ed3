/*
 * Typed values of settings: the small operations that size, read, copy and
 * compare a value held in an 8-byte value slot under its value type (the
 * SVT_ types of tarvel/setting_layout.h).  Numbers sit in the slot
 * little-endian; for type 6 the slot holds a pointer to a wide string and for
 * type 9 a pointer to a 92-byte LOGFONTW.  Nothing here allocates.
 */
#ifndef TARVEL_FID_VALUE_H
#define TARVEL_FID_VALUE_H

#include <plat/types.h>

/* Size of a value slot in bytes. */
inline constexpr size_t FID_SLOT_SIZE = 8;

/*
 * FID_ValueSize: the size in bytes of a value of `type`: 4 for types 1, 4, 5
 * and 10; 2 for 2 and 3; 1 for 8; 92 for 9.  For type 6 `length` when it is
 * not -1, else 2 x (characters before the NUL) + 2 of the string the slot
 * points to (0 for a null slot or a null string pointer).  0 for any other
 * type (it has no size).
 */
LONG FID_ValueSize(const void *slot, WORD type, LONG length);

/*
 * FID_ReadValueAsUInt / AsShort / AsInt: the number held at `value` under
 * `type` (1, 4, 5, 10: 32 bits; 2: signed 16 bits; 3: unsigned 16 bits; 8:
 * a byte), converted to the result type.  0 for a null pointer or a type
 * without a number (6, 9 and codes outside the table).
 */
DWORD FID_ReadValueAsUInt(const void *value, WORD type);
SHORT FID_ReadValueAsShort(const void *value, WORD type);
INT FID_ReadValueAsInt(const void *value, WORD type);

/*
 * FID_CopyValue: puts a value of `type` into `slot`: clears the slot's low
 * 32 bits, then copies 4 (types 1, 4, 5, 10), 2 (types 2, 3) or 1 (type 8)
 * bytes from `source`; for type 6 stores `source` itself as the string
 * pointer (all 8 bytes).  Returns 1, or 0 for a null slot or source or any
 * other type (the slot is then untouched).
 */
int FID_CopyValue(WORD type, void *slot, const void *source);

/*
 * FID_CompareValues: compares the values at `a` and `b` under `type`: 0
 * equal, 1 a > b, -1 a < b.  Types 1, 4 and 10 compare as signed 32-bit, 2
 * as signed 16-bit, 3 as unsigned 16-bit, 5 as unsigned 32-bit, 8 as an
 * unsigned byte; for type 6 `a` and `b` are slots holding string pointers,
 * compared unit by unit as unsigned 16-bit values up to the first difference
 * or the common NUL.  2 when a pointer (or a string pointer) is null or the
 * type is not 1-6, 8 or 10.  Callers look only at the low 16 bits.
 */
int FID_CompareValues(WORD type, const void *a, const void *b);

/* The string pointer held in a type-6 slot (null for a null slot). */
LPCWSTR FID_SlotString(const void *slot);

/* Stores a pointer in all 8 bytes of a slot (null slot: nothing). */
void FID_SetSlotPointer(void *slot, const void *pointer);

#endif /* TARVEL_FID_VALUE_H */
