/*
 * Byte layouts of the device-settings blobs: the stored extension block
 * "N_Dev" (tag "NDEV001"), the job information block "TMBInfo" (tag
 * "TMBINFO"), the fax send list block (tag "DFAX001") and the
 * document-property file that carries all three.  Tags are 8 UTF-16 code
 * units including the terminating zero; numbers are little-endian.
 *
 * This header and pdt_docprop_layout.cpp depend only on plat/types.h: the
 * data manager compiles them as well as the common library.
 */
#ifndef TARVEL_PDT_DOCPROP_LAYOUT_H
#define TARVEL_PDT_DOCPROP_LAYOUT_H

#include "plat/types.h"

/* Bytes of a tag: 8 UTF-16 code units with the terminator. */
inline constexpr DWORD DPF_TAG_SIZE = 16;

/* N_Dev header: tag, 32-bit version, 32-bit extension length L; L bytes follow. */
inline constexpr DWORD DPF_NDEV_HEADER_SIZE = 24;
inline constexpr DWORD DPF_NDEV_VERSION = 21048;        /* written, and the newest accepted */
inline constexpr DWORD DPF_EXTENSION_SIZE = 4292;       /* the DevmodeExtension */
inline constexpr DWORD DPF_NDEV_OFFSET_VERSION = 16;
inline constexpr DWORD DPF_NDEV_OFFSET_LENGTH = 20;

/* TMBInfo header: tag, 32-bit data length D; D bytes follow. */
inline constexpr DWORD DPF_TMB_HEADER_SIZE = 20;
inline constexpr DWORD DPF_TMB_OFFSET_LENGTH = 16;
/* TMBInfo data travels with 16-bit lengths, so longer data is refused. */
inline constexpr DWORD DPF_TMB_MAX_DATA = 0xFFFF;

/* Fax send list: a 1,442-byte header (16-bit entry count at byte 16), then 742 bytes per entry. */
inline constexpr DWORD DPF_FAX_HEADER_SIZE = 1442;
inline constexpr DWORD DPF_FAX_ENTRY_SIZE = 742;
inline constexpr DWORD DPF_FAX_OFFSET_COUNT = 16;
/* The list's byte count travels as a 16-bit number: 1,442 + 742 x 86 = 65,254 is the most that fits. */
inline constexpr WORD DPF_FAX_MAX_ENTRIES = 86;

/* The largest document-property file: every block at its largest. */
inline constexpr DWORD DPF_MAX_FILE_SIZE = DPF_NDEV_HEADER_SIZE + DPF_EXTENSION_SIZE + DPF_TMB_HEADER_SIZE +
                                           DPF_TMB_MAX_DATA + DPF_FAX_HEADER_SIZE +
                                           DPF_FAX_ENTRY_SIZE * DPF_FAX_MAX_ENTRIES;

/* The three tags. */
extern const WCHAR DPF_TAG_NDEV[8]; /* "NDEV001" */
extern const WCHAR DPF_TAG_TMB[8];  /* "TMBINFO" */
extern const WCHAR DPF_TAG_FAX[8];  /* "DFAX001" */

/* 1 when the 16 bytes at `bytes` hold `tag` with its terminator, else 0. */
BOOL DPF_HasTag(const BYTE *bytes, const WCHAR tag[8]);

/* Writes `tag` as 16 bytes at `bytes`. */
void DPF_PutTag(BYTE *bytes, const WCHAR tag[8]);

/* Writes an N_Dev header (tag, version, extension length) into 24 bytes at `out`. */
void DPF_PutNDevHeader(BYTE *out, DWORD version, DWORD length);

/* Writes a TMBInfo header (tag, data length) into 20 bytes at `out`. */
void DPF_PutTmbHeader(BYTE *out, DWORD length);

/* Bytes of a fax send list of `count` entries: 1,442 + 742 x count. */
DWORD DPF_FaxListSize(DWORD count);

/*
 * Checks the fax send list block header at `block` (`available` bytes from
 * there): at least the 1,442-byte header, tag "DFAX001", an entry count of
 * at most 86 and a block of 1,442 + 742 x count bytes within `available`.
 * Returns 1 and the block's byte count in *blockSize (optional); 0 otherwise.
 */
BOOL DPF_CheckFaxList(const BYTE *block, DWORD available, DWORD *blockSize);

#endif /* TARVEL_PDT_DOCPROP_LAYOUT_H */
