/*
 * Growable tables of the output channel's page records (see output_table.h).
 * Growth allocates the larger block first and copies into it, so a failed
 * growth leaves the table exactly as it was.
 */
#include "output_table.h"

#include <plat/memory.h>

#include <cstring>

namespace {

/* The address of slot `index`, or null when the slot does not exist. */
BYTE *gt_Slot(const GrowTable *table, DWORD index)
{
    if (!table || !table->elements || index >= table->capacity)
        return nullptr;
    return table->elements + SIZE_T(index) * table->elementSize;
}

} // namespace

int GT_Create(GrowTable *table, WORD elementSize, WORD initialCapacity)
{
    if (!table)
        return -1;
    *table = GrowTable{};
    if (elementSize == 0 || initialCapacity == 0)
        return -1;
    auto *elements = static_cast<BYTE *>(GlobalAlloc(GPTR, SIZE_T(elementSize) * initialCapacity));
    if (!elements)
        return -1;
    table->capacity = initialCapacity;
    table->elementSize = elementSize;
    table->step = initialCapacity;
    table->elements = elements;
    return 0;
}

int GT_Grow(GrowTable *table)
{
    if (!table || !table->elements || table->capacity >= GT_MAX_CAPACITY)
        return -1;
    /* Counted in 32 bits and capped, so the 16-bit capacity never wraps. */
    DWORD capacity = DWORD(table->capacity) + table->step;
    if (capacity > GT_MAX_CAPACITY)
        capacity = GT_MAX_CAPACITY;
    auto *elements = static_cast<BYTE *>(GlobalAlloc(GPTR, SIZE_T(table->elementSize) * capacity));
    if (!elements)
        return -1;
    std::memcpy(elements, table->elements, SIZE_T(table->elementSize) * table->capacity);
    GlobalFree(table->elements);
    table->elements = elements;
    table->capacity = WORD(capacity);
    return 0;
}

int GT_Put(GrowTable *table, DWORD index, const void *element)
{
    BYTE *slot = gt_Slot(table, index);
    if (!slot || !element)
        return -1;
    std::memcpy(slot, element, table->elementSize);
    return 0;
}

int GT_Get(const GrowTable *table, DWORD index, void *element)
{
    const BYTE *slot = gt_Slot(table, index);
    if (!slot || !element)
        return -1;
    std::memcpy(element, slot, table->elementSize);
    return 0;
}

int GT_Clear(GrowTable *table, DWORD index)
{
    BYTE *slot = gt_Slot(table, index);
    if (!slot)
        return -1;
    std::memset(slot, 0, table->elementSize);
    return 0;
}

void GT_Free(GrowTable *table)
{
    if (!table)
        return;
    if (table->elements)
        GlobalFree(table->elements);
    *table = GrowTable{};
}
