/*
 * Access to the header and the entries of a checked fax send list block.
 * Depends only on plat/types.h, so that the data manager can compile the
 * same source.
 */
#include "tarvel/fax_layout.h"

static_assert(FAX_E_ATTR6_TEXT + FAX_E_ATTR56_SIZE == FAX_ENTRY_SIZE, "the last field ends the entry");
static_assert(FAX_OFF_HEADER_TEXT2 + FAX_HEADER_TEXT2_SIZE == FAX_HEADER_SIZE, "the second text ends the header");

BOOL FAX_GetListHeader(const BYTE *block, BYTE *header)
{
    if (!block || !header)
        return FALSE;
    std::memcpy(header, block, FAX_HEADER_SIZE);
    return TRUE;
}

BOOL FAX_GetListEntry(const BYTE *block, DWORD index, BYTE *entry)
{
    if (!block || !entry)
        return FALSE;
    const WORD count = plat::load_u16(block, FAX_OFF_COUNT);
    if (index >= count || index >= FAX_MAX_ENTRIES)
        return FALSE;
    std::memcpy(entry, block + FAX_HEADER_SIZE + size_t(index) * FAX_ENTRY_SIZE, FAX_ENTRY_SIZE);
    return TRUE;
}
