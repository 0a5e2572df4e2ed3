/*
 * The public identifier map: outside tools name settings by a public
 * identifier (DMAID) rather than by the internal DDMID.  Fifteen ranges of
 * {public, internal} pairs; a range's bounds say which public identifiers it
 * may hold, its pair list which of them exist.  The map is not one to one:
 * some settings have two public identifiers, and an internal identifier maps
 * back to the first public identifier paired with it (in range order, then
 * pair order).
 *
 * The last range (0x9001-0x900A) names ten string settings once more; the
 * data manager stores values written under those names scrambled.  The
 * common library carries only the first 14 ranges.
 *
 * This header and public_id_map.cpp depend only on plat/types.h: the data
 * manager compiles them as well as the common library.
 */
#ifndef TARVEL_PUBLIC_ID_MAP_H
#define TARVEL_PUBLIC_ID_MAP_H

#include "plat/types.h"

/* One pair.  A range's pair list ends with a pair whose public identifier is 0. */
struct PublicIdPair {
    WORD publicId; /* DMAID */
    WORD internalId; /* DDMID */
};

/* One range.  The map ends with a range whose pair list is null. */
struct PublicIdRange {
    const PublicIdPair *pairs;
    WORD low;  /* lowest public identifier of the range */
    WORD high; /* highest public identifier of the range */
};

inline constexpr WORD PUBLIC_ID_RANGE_COUNT = 15;
inline constexpr WORD PUBLIC_ID_COMMON_RANGE_COUNT = 14; /* the ranges the common library uses */
inline constexpr WORD PUBLIC_ID_PAIR_COUNT = 1123;

/* The write-only scrambled names: the identifiers of the last range. */
inline constexpr WORD PUBLIC_ID_SCRAMBLED_FIRST = 0x9001;
inline constexpr WORD PUBLIC_ID_SCRAMBLED_LAST = 0x900A;

/* The 15 ranges in search order, then the end range. */
extern const PublicIdRange PublicIdMap[PUBLIC_ID_RANGE_COUNT + 1];

/*
 * PID_ToInternal: the internal identifier of `publicId`, searching the first
 * `rangeCount` ranges: the first range whose bounds hold the identifier
 * decides, by its pairs.  Returns 0 when none pairs it.
 */
WORD PID_ToInternal(WORD publicId, WORD rangeCount);

/*
 * PID_ToPublic: the first public identifier paired with `internalId` in the
 * pairs of the first `rangeCount` ranges, in order (the bounds are not
 * consulted).  Returns 0 when none is.
 */
WORD PID_ToPublic(WORD internalId, WORD rangeCount);

#endif /* TARVEL_PUBLIC_ID_MAP_H */
