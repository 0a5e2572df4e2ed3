/*
 * Single-setting access: dma_GetValue and dma_SetValue read and write one
 * setting, found through the layout table, inside the caller's devmode,
 * extension block and printer-data record.  They check the caller's type,
 * size and length, form the few values that are not plain bytes (setting 14,
 * the byte lanes, flags) and keep the derived settings 325, 326, 344 and the
 * LOGFONTW orientations in step.  No state, no allocation; every record is a
 * byte buffer read and written through memcpy.
 */
#include "setting_access.h"

#include "tarvel/datamgr.h"

#include <bit>
#include <iterator>

static_assert(std::endian::native == std::endian::little, "values are handed over little-endian");

namespace {

/* Settings with their own rules. */
constexpr WORD ID_PRINT_QUALITY_Y = 14; /* dmPrintQuality (high half) and dmYResolution (low half) */
constexpr WORD ID_ORIENTATION = 7;      /* dmOrientation */
constexpr WORD ID_SIDE = 267;           /* drives 325 */
constexpr WORD ID_SIDE_DERIVED = 325;
constexpr WORD ID_SIDE_POSITION = 295;  /* read by the staple and punch mapping */
constexpr WORD ID_FONT1_ESCAPEMENT = 311;
constexpr WORD ID_FONT2_ESCAPEMENT = 364;
constexpr WORD ID_STAPLE = 320;
constexpr WORD ID_STAPLE_DERIVED = 326;
constexpr WORD ID_PUNCH = 341;
constexpr WORD ID_PUNCH_DERIVED = 344;
constexpr WORD ID_INVERTED_FLAG = 1284; /* reads 1 when its bit is clear */
constexpr WORD ID_LANE_FIRST = 392;
constexpr WORD ID_LANE_LAST = 403;

/* Devmode offsets the special reads and writes use. */
constexpr size_t OFF_PRINT_QUALITY = 90;
constexpr size_t OFF_Y_RESOLUTION = 96;
constexpr size_t OFF_FONT1_ESCAPEMENT = 596;
constexpr size_t OFF_FONT1_ORIENTATION = 600;
constexpr size_t OFF_FONT2_ORIENTATION = 828;

constexpr size_t SLOT_SIZE = 8;
static_assert(sizeof(void *) <= SLOT_SIZE, "a record offset fits the slot");

bool IsLane(WORD id) { return id >= ID_LANE_FIRST && id <= ID_LANE_LAST; }

/*
 * Whether a setting lies in one of the four flag ranges.  Every identifier
 * of those ranges is a type-1 item, so other types are settled without a
 * range search.
 */
bool IsRangeFlag(const IdLayoutItem &item)
{
    return item.storedType == SVT_FLAG && LAYOUT_FindFlagTable(item.id) != nullptr;
}

/* Bits 0-7, 8-15 or 16-23 of a lane word, for lanes 1, 2, 3 of each word. */
DWORD LaneMask(WORD id) { return DWORD{0xFF} << (8 * ((id - ID_LANE_FIRST) % 3)); }

/*
 * Number of characters before the first NUL of a wide string, counting at
 * most `limit` characters.  Reads code units through memcpy: strings in the
 * records and the caller's strings need not be aligned.
 */
ULONG CountChars(const BYTE *text, ULONGLONG limit)
{
    ULONG n = 0;
    while (n < limit && plat::load<WCHAR>(text + 2 * static_cast<size_t>(n)) != 0)
        ++n;
    return n;
}

/* A 16-bit view of the caller's value: a 1-byte value is zero-extended. */
WORD LoadSmallValue(const void *value, LONG size)
{
    return size >= 2 ? plat::load<WORD>(value) : *static_cast<const BYTE *>(value);
}

WORD ReadValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot8, WORD *kind);
WORD WriteValue(WORD id, void *devmode, void *printerData, WORD type, LONG size, const void *value);

/* Reads a setting as a 16-bit number (numeric types of at most 2 bytes). */
WORD ReadSmall(WORD id, void *devmode, void *printerData, WORD *out)
{
    WORD type = 0;
    LONG size = 0;
    WORD kind = 0;
    BYTE slot[SLOT_SIZE] = {};
    WORD status = ReadValue(id, devmode, printerData, &type, &size, slot, &kind);
    if (status == DMA_OK)
        *out = plat::load<WORD>(slot);
    return status;
}

WORD ReadValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot8, WORD *kind)
{
    if (type == nullptr || size == nullptr || slot8 == nullptr)
        return DMA_ERR_FAIL;

    const IdLayoutItem *item = nullptr;
    BYTE *address = nullptr;
    WORD status = dma_LookupItem(id, devmode, printerData, &item, &address, kind);
    if (status != DMA_OK)
        return status;

    /* 311 names the escapement only while the orientation equals it. */
    if (id == ID_FONT1_ESCAPEMENT &&
        plat::load_u32(devmode, OFF_FONT1_ORIENTATION) != plat::load_u32(devmode, OFF_FONT1_ESCAPEMENT))
        return DMA_ERR_FAIL;

    /* Form the value: either 4 formed bytes or the stored bytes. */
    DWORD formed = 0;
    bool isFormed = true;
    if (id == ID_PRINT_QUALITY_Y) {
        /* Signed halves combined in unsigned arithmetic: wraps, never overflows. */
        DWORD quality = static_cast<DWORD>(static_cast<LONG>(plat::load_i16(devmode, OFF_PRINT_QUALITY)));
        DWORD yres = static_cast<DWORD>(static_cast<LONG>(plat::load_i16(devmode, OFF_Y_RESOLUTION)));
        formed = (quality << 16) + yres;
    } else if (IsLane(id)) {
        formed = plat::load<DWORD>(address) & LaneMask(id);
    } else if (IsRangeFlag(*item)) {
        DWORD mask = 0;
        if (!dma_GetFlagMask(id, &mask))
            return DMA_ERR_FAIL;
        bool set = (plat::load<DWORD>(address) & mask) != 0;
        formed = (id == ID_INVERTED_FLAG) ? !set : set;
    } else {
        isFormed = false;
    }

    const WORD outType = item->reportedType != 0 ? item->reportedType : item->storedType;
    LONG outSize = dma_TypeSize(outType);
    const LONG storedSize = dma_TypeSize(item->storedType);

    /*
     * The value, zero-extended to 64 bits, and how many of its bytes go to
     * the slot: the output size zero-filled, then the formed 4 bytes or the
     * stored type's size, whichever is wider.
     */
    ULONGLONG value = 0;
    LONG copy = storedSize;
    if (isFormed) {
        value = formed;
        copy = sizeof formed;
    } else if (item->storedType == SVT_WSTRING || item->storedType == SVT_LOGFONT) {
        value = item->offset; /* strings and blocks travel as their offset, pointer-wide */
    } else if (storedSize == 1) {
        value = *address;
    } else if (storedSize == 2) {
        value = plat::load<WORD>(address);
    } else {
        value = plat::load<DWORD>(address);
    }
    if (outSize > copy)
        copy = outSize;

    if (item->storedType == SVT_WSTRING) {
        /*
         * Length with the NUL, counting at most capacity / 2 characters.  A
         * field without a NUL reports the whole characters of the field and
         * never more than the field.
         */
        ULONGLONG whole = item->capacity - item->capacity % 2;
        ULONGLONG length = 2 * ULONGLONG{CountChars(address, item->capacity / 2)} + 2;
        outSize = static_cast<LONG>(length < whole ? length : whole);
    } else if (item->storedType == SVT_LOGFONT) {
        outSize = static_cast<LONG>(SETTINGS_LOGFONT_SIZE);
    }

    /* Nothing of the caller's has changed before this point. */
    switch (copy) {
    case 1:
        plat::store(slot8, static_cast<BYTE>(value));
        break;
    case 2:
        plat::store(slot8, static_cast<WORD>(value));
        break;
    case 4:
        plat::store(slot8, static_cast<DWORD>(value));
        break;
    default:
        plat::store(slot8, value);
        break;
    }
    *type = outType;
    *size = outSize;
    return DMA_OK;
}

WORD WriteValue(WORD id, void *devmode, void *printerData, WORD type, LONG size, const void *value)
{
    if (value == nullptr)
        return DMA_ERR_FAIL;

    const IdLayoutItem *item = nullptr;
    BYTE *address = nullptr;
    WORD status = dma_LookupItem(id, devmode, printerData, &item, &address, nullptr);
    if (status != DMA_OK)
        return status;

    /* Flags without a reported type take their size from the type alone. */
    const bool isFlag = IsRangeFlag(*item);
    const LONG effective = (isFlag && item->reportedType == 0) ? 4 : size;

    LONG named = 0;
    if (type == item->storedType) {
        named = dma_TypeSize(item->storedType);
    } else if (type == item->reportedType) {
        named = dma_TypeSize(type);
        if (named == 0)
            return DMA_ERR_FAIL; /* caller's type 0 on an item without a reported type */
    } else {
        return DMA_ERR_TYPE;
    }

    /*
     * Checks by the caller's type.  Strings and blocks are never reported as
     * another type (the layout table guarantees it), so a caller's type 6 or
     * 9 always names a stored string or block.
     */
    const BYTE *source = static_cast<const BYTE *>(value);
    size_t writeLength = 0;
    if (type == SVT_WSTRING) {
        source = plat::load<const BYTE *>(value);
        if (source == nullptr)
            return DMA_ERR_FAIL;
        if (effective > 0 && static_cast<ULONGLONG>(effective) > item->capacity)
            return DMA_ERR_LENGTH;
        /*
         * Count within the caller's size as well as the field: a string whose
         * NUL lies beyond the caller's size fails below either way, and the
         * count never reads past what the caller handed over.
         */
        ULONGLONG limit = item->capacity / 2;
        ULONGLONG callerChars = effective > 0 ? static_cast<ULONGLONG>(effective) / 2 : 0;
        ULONGLONG length = 2 * ULONGLONG{CountChars(source, callerChars < limit ? callerChars : limit)} + 2;
        if (length > item->capacity || static_cast<LONGLONG>(length) > effective)
            return DMA_ERR_LENGTH;
        writeLength = static_cast<size_t>(length);
    } else if (type == SVT_LOGFONT) {
        source = plat::load<const BYTE *>(value);
        if (source == nullptr)
            return DMA_ERR_FAIL;
        if (effective > 0 && static_cast<ULONGLONG>(effective) > item->capacity)
            return DMA_ERR_LENGTH;
        writeLength = static_cast<size_t>(item->capacity); /* the whole LOGFONTW */
    } else {
        if (effective != named)
            return DMA_ERR_SIZE;
        writeLength = static_cast<size_t>(dma_TypeSize(item->storedType));
    }

    DWORD flagMask = 0;
    if (isFlag && !dma_GetFlagMask(id, &flagMask))
        return DMA_ERR_FAIL;

    /* The derived steps read the value as it was handed over, before any store. */
    const WORD small = (id == ID_SIDE || id == ID_STAPLE || id == ID_PUNCH) ? LoadSmallValue(value, size) : 0;
    BYTE sameFour[4] = {};
    if (id == ID_FONT1_ESCAPEMENT || id == ID_FONT2_ESCAPEMENT)
        std::memcpy(sameFour, value, sizeof sameFour);

    /* Main write. */
    if (id == ID_PRINT_QUALITY_Y) {
        DWORD v = plat::load<DWORD>(value);
        plat::store_u16(devmode, OFF_PRINT_QUALITY, static_cast<WORD>(v >> 16));
        plat::store_u16(devmode, OFF_Y_RESOLUTION, static_cast<WORD>(v & 0xFFFF));
    } else if (IsLane(id)) {
        DWORD mask = LaneMask(id);
        DWORD word = plat::load<DWORD>(address);
        plat::store<DWORD>(address, (word & ~mask) | (plat::load<DWORD>(value) & mask));
    } else if (isFlag) {
        BYTE first = *static_cast<const BYTE *>(value);
        bool set = (id == ID_INVERTED_FLAG) ? (first & 1) == 0 : first != 0;
        DWORD word = plat::load<DWORD>(address);
        plat::store<DWORD>(address, set ? (word | flagMask) : (word & ~flagMask));
    } else if (type == SVT_WSTRING || type == SVT_LOGFONT) {
        /* memmove: a caller may hand over a string that sits in the same record. */
        std::memmove(address, source, writeLength);
    } else if (writeLength == 1) {
        *address = *source; /* a byte written as type 3 receives the low byte */
    } else if (writeLength == 2) {
        plat::store(address, plat::load<WORD>(source));
    } else {
        plat::store(address, plat::load<DWORD>(source));
    }

    /* Derived writes. */
    switch (id) {
    case ID_FONT1_ESCAPEMENT:
        std::memcpy(static_cast<BYTE *>(devmode) + OFF_FONT1_ORIENTATION, sameFour, sizeof sameFour);
        return DMA_OK;
    case ID_FONT2_ESCAPEMENT:
        std::memcpy(static_cast<BYTE *>(devmode) + OFF_FONT2_ORIENTATION, sameFour, sizeof sameFour);
        return DMA_OK;
    case ID_SIDE: {
        WORD mapped = 0;
        if (!dma_MapSideValue(small, &mapped))
            return DMA_ERR_FAIL;
        return WriteValue(ID_SIDE_DERIVED, devmode, printerData, SVT_UINT16, 2, &mapped);
    }
    case ID_STAPLE:
    case ID_PUNCH: {
        WORD side = 0;
        if (ReadSmall(ID_SIDE_POSITION, devmode, printerData, &side) != DMA_OK)
            return DMA_ERR_FAIL;
        WORD orientation = 0;
        status = ReadSmall(ID_ORIENTATION, devmode, printerData, &orientation);
        if (status != DMA_OK)
            return status;
        WORD column = (id == ID_STAPLE) ? DMA_COLUMN_STAPLE : DMA_COLUMN_PUNCH;
        WORD mapped = 0;
        if (!dma_MapStaplePunchPosition(small, column, static_cast<SHORT>(orientation), side, &mapped))
            return DMA_ERR_FAIL;
        WORD target = (id == ID_STAPLE) ? ID_STAPLE_DERIVED : ID_PUNCH_DERIVED;
        return WriteValue(target, devmode, printerData, SVT_UINT16, 2, &mapped);
    }
    default:
        return DMA_OK;
    }
}

/*
 * One row of the staple and punch mapping: the result when orientation and
 * 295 are on the same side, when they cross, and whether the row maps
 * whatever the pair is.
 */
struct PositionRow {
    WORD code;
    WORD same;
    WORD cross;
    bool anyPair;
};

constexpr PositionRow kStapleRows[] = {
    {0, 0x0000, 0x0000, true},   {3, 0x0101, 0x0303, false}, {5, 0x0404, 0x0101, false},
    {7, 0x0202, 0x0404, false},  {1, 0x0303, 0x0202, false}, {4, 0x0104, 0x0103, false},
    {2, 0x0103, 0x0203, false},  {6, 0x0204, 0x0104, false}, {8, 0x0203, 0x0204, false},
    {9, 0x0606, 0x0606, true},   {10, 0x0707, 0x0707, true}, {11, 0x0808, 0x0808, true},
};

constexpr PositionRow kPunchRows[] = {
    {0, 0x0000, 0x0000, true},  {2, 0x0101, 0x0303, false}, {3, 0x0404, 0x0101, false},
    {4, 0x0202, 0x0404, false}, {1, 0x0303, 0x0202, false}, {5, 0x0606, 0x0606, true},
};

} // namespace

LONG dma_TypeSize(WORD type)
{
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        return 4;
    case SVT_INT16:
    case SVT_UINT16:
        return 2;
    case SVT_WSTRING:
    case SVT_LOGFONT:
        return static_cast<LONG>(sizeof(void *)); /* a record offset */
    case SVT_BYTE:
        return 1;
    default:
        return 0;
    }
}

WORD dma_LookupItem(WORD id, void *devmode, void *printerData, const IdLayoutItem **item, BYTE **address,
                    WORD *kind)
{
    WORD groupKind = 0;
    const IdLayoutItem *found = nullptr;
    WORD status = LAYOUT_FindItem(id, &groupKind, &found);
    if (status == DMA_ERR_RANGE)
        return status;
    if (kind != nullptr)
        *kind = groupKind;
    if (status != DMA_OK)
        return status;

    BYTE *base = static_cast<BYTE *>(groupKind == SRK_PRINTERDATA ? printerData : devmode);
    if (base == nullptr || dma_TypeSize(found->storedType) == 0)
        return DMA_ERR_FAIL;
    if (groupKind == SRK_EXTENSION)
        base += SETTINGS_DEVMODE_SIZE;
    *item = found;
    *address = base + found->offset;
    return DMA_OK;
}

BOOL dma_GetFlagMask(WORD id, DWORD *mask)
{
    const FlagMaskTable *table = LAYOUT_FindFlagTable(id);
    if (table == nullptr)
        return FALSE;
    /* Rows run in identifier order from the table's first identifier. */
    const FlagMaskRow &row = table->rows[id - table->first];
    if (row.id != id)
        return FALSE;
    *mask = row.mask;
    return TRUE;
}

BOOL dma_MapSideValue(WORD value, WORD *mapped)
{
    static constexpr WORD kSide[] = {0, 3, 4, 3, 2, 1, 1, 4, 2}; /* values 0-8 */
    if (value >= sizeof kSide / sizeof kSide[0])
        return FALSE;
    *mapped = kSide[value];
    return TRUE;
}

BOOL dma_MapStaplePunchPosition(WORD code, WORD column, SHORT orientation, WORD side, WORD *mapped)
{
    const bool portraitSide = side == 1 || side == 4 || side == 16;
    const bool landscapeSide = side == 2 || side == 8 || side == 32;
    const bool same = (orientation == 1 && portraitSide) || (orientation == 2 && landscapeSide);
    const bool cross = (orientation == 1 && landscapeSide) || (orientation == 2 && portraitSide);

    const PositionRow *rows = column == DMA_COLUMN_PUNCH ? kPunchRows : kStapleRows;
    const size_t count = column == DMA_COLUMN_PUNCH ? std::size(kPunchRows) : std::size(kStapleRows);
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].code != code)
            continue;
        if (rows[i].anyPair) {
            *mapped = rows[i].same;
            return TRUE;
        }
        if (!same && !cross)
            return FALSE;
        *mapped = same ? rows[i].same : rows[i].cross;
        return TRUE;
    }
    return FALSE;
}

WORD dma_GetValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot8, WORD *kind)
{
    return ReadValue(id, devmode, printerData, type, size, slot8, kind);
}

WORD dma_SetValue(WORD id, void *devmode, void *printerData, WORD type, LONG size, const void *value)
{
    return WriteValue(id, devmode, printerData, type, size, value);
}
