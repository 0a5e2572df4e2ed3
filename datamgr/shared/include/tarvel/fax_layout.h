/*
 * Byte layout of the fax send list (FaxSendList): a 1,442-byte header (tag
 * "DFAX001", 16-bit entry count, two header texts), then one 742-byte
 * FaxSendEntry per destination, oldest first.  Numbers are little-endian,
 * texts UTF-16 with a terminator inside their field.  The block's tag and
 * its size check are in tarvel/pdt_docprop_layout.h.
 *
 * This header and fax_layout.cpp depend only on plat/types.h: the data
 * manager compiles them as well as the common library.
 */
#ifndef TARVEL_FAX_LAYOUT_H
#define TARVEL_FAX_LAYOUT_H

#include "plat/types.h"
#include "tarvel/pdt_docprop_layout.h"

/* The header. */
inline constexpr DWORD FAX_HEADER_SIZE = DPF_FAX_HEADER_SIZE;     /* 1,442 */
inline constexpr DWORD FAX_OFF_COUNT = DPF_FAX_OFFSET_COUNT;      /* 16-bit entry count */
inline constexpr DWORD FAX_OFF_HEADER_TEXT1 = 18;                 /* 82 bytes: 40 characters (public 0xA001) */
inline constexpr DWORD FAX_HEADER_TEXT1_SIZE = 82;
inline constexpr DWORD FAX_OFF_HEADER_TEXT2 = 100;                /* 1,342 bytes: 670 characters (public 0xA002) */
inline constexpr DWORD FAX_HEADER_TEXT2_SIZE = 1342;
inline constexpr WORD FAX_MAX_ENTRIES = DPF_FAX_MAX_ENTRIES;      /* 86: the byte count stays 16-bit */

/* One destination: each field holds the value of the extension setting named. */
inline constexpr DWORD FAX_ENTRY_SIZE = DPF_FAX_ENTRY_SIZE;       /* 742 */
inline constexpr DWORD FAX_E_ADDRESS_KIND = 0;     /* 1794, 16-bit: 1 = the address is sent as written, quoted */
inline constexpr DWORD FAX_E_ADDRESS = 2;          /* 1795, 258 bytes: 128 characters */
inline constexpr DWORD FAX_E_ADDRESS_SIZE = 258;
inline constexpr DWORD FAX_E_PREFIX_SELECT = 260;  /* 1796, 16-bit: 2 first prefix, 1 second, else none */
inline constexpr DWORD FAX_E_TEXT_1797 = 262;      /* 82 bytes: 40 characters */
inline constexpr DWORD FAX_E_TEXT_1798 = 344;      /* 166 bytes: 82 characters; 426-509 stay zero */
inline constexpr DWORD FAX_E_ATTR3 = 510;          /* 1810, 16-bit: 0, 1 or 2 */
inline constexpr DWORD FAX_E_ATTR_SELECT = 512;    /* 1811, 16-bit: 1 attribute 4, 2 attribute 1 */
inline constexpr DWORD FAX_E_ATTR4_NUMBER = 514;   /* 1812, 16-bit, four digits */
inline constexpr DWORD FAX_E_ATTR4_TEXT = 516;     /* 1813, 18 bytes: 8 characters */
inline constexpr DWORD FAX_E_ATTR4_TEXT_SIZE = 18;
inline constexpr DWORD FAX_E_ATTR1_NUMBER = 534;   /* 1814, 16-bit, four digits */
inline constexpr DWORD FAX_E_ATTR1_FLAG = 536;     /* 1815, 16-bit: 1 = on */
inline constexpr DWORD FAX_E_ATTR1_LIST = 538;     /* 1816, 120 bytes: 59 characters, comma-separated */
inline constexpr DWORD FAX_E_ATTR1_LIST_SIZE = 120;
inline constexpr DWORD FAX_E_ATTR5_TEXT = 658;     /* 1817, 42 bytes: 20 characters */
inline constexpr DWORD FAX_E_ATTR6_TEXT = 700;     /* 1818, 42 bytes: 20 characters */
inline constexpr DWORD FAX_E_ATTR56_SIZE = 42;

/* The field of each entry setting 1794-1818, in entry order: {setting, offset, size}. */
struct FaxEntryField {
    WORD setting;
    WORD offset;
    WORD size;
};
inline constexpr FaxEntryField FaxEntryFields[] = {
    {1794, 0, 2},    {1795, 2, 258},  {1796, 260, 2},  {1797, 262, 82},  {1798, 344, 166},
    {1810, 510, 2},  {1811, 512, 2},  {1812, 514, 2},  {1813, 516, 18},  {1814, 534, 2},
    {1815, 536, 2},  {1816, 538, 120}, {1817, 658, 42}, {1818, 700, 42},
};

/*
 * FAX_GetListHeader: copies the 1,442-byte header of `block` into `header`.
 * Returns 1; 0 for a null argument.  `block` must have passed
 * DPF_CheckFaxList.
 */
BOOL FAX_GetListHeader(const BYTE *block, BYTE *header);

/*
 * FAX_GetListEntry: copies entry `index` (0-based) of `block` into `entry`
 * (742 bytes).  Returns 1; 0 for a null argument or an index not below the
 * block's count (or above 86).  `block` must have passed DPF_CheckFaxList.
 */
BOOL FAX_GetListEntry(const BYTE *block, DWORD index, BYTE *entry);

#endif /* TARVEL_FAX_LAYOUT_H */
