/*
 * Device capabilities: the answers to the DC_ queries of
 * DrvDeviceCapabilities, worked out by DCAP_Dispatch from the sources the
 * entry point prepared (the model context, the settings image and the
 * printer-data record, as the sources word says).  A handler answers -1
 * when a source it needs is missing, unless its query has a fallback.
 *
 * Outputs follow the Windows conventions of each index: WORD arrays
 * (DC_PAPERS, DC_BINS), POINT pairs of LONG (DC_PAPERSIZE), names of 64
 * characters (DC_PAPERNAMES, DC_MEDIAREADY) or 24 (DC_BINNAMES), LONG pairs
 * (DC_ENUMRESOLUTIONS: X then Y; a resolution value holds X in its high 16
 * bits and Y in its low 16 bits, as setting 14 does).  A null output asks
 * for the count only; a given output must hold the count's entries.
 */
#ifndef TARVEL_DCAP_CAPS_H
#define TARVEL_DCAP_CAPS_H

#include <plat/types.h>

struct ModelContext;

/* Bits of the sources word. */
inline constexpr WORD DCAP_SRC_MODEL = 0x1;
inline constexpr WORD DCAP_SRC_DEVMODE = 0x2;
inline constexpr WORD DCAP_SRC_PRINTERDATA = 0x4;
inline constexpr WORD DCAP_SRC_ALL = 0x7;

/* The DC_ indexes. */
inline constexpr WORD DC_FIELDS = 1;
inline constexpr WORD DC_PAPERS = 2;
inline constexpr WORD DC_PAPERSIZE = 3;
inline constexpr WORD DC_MINEXTENT = 4;
inline constexpr WORD DC_MAXEXTENT = 5;
inline constexpr WORD DC_BINS = 6;
inline constexpr WORD DC_DUPLEX = 7;
inline constexpr WORD DC_SIZE = 8;
inline constexpr WORD DC_EXTRA = 9;
inline constexpr WORD DC_VERSION = 10;
inline constexpr WORD DC_DRIVER = 11;
inline constexpr WORD DC_BINNAMES = 12;
inline constexpr WORD DC_ENUMRESOLUTIONS = 13;
inline constexpr WORD DC_FILEDEPENDENCIES = 14;
inline constexpr WORD DC_TRUETYPE = 15;
inline constexpr WORD DC_PAPERNAMES = 16;
inline constexpr WORD DC_ORIENTATION = 17;
inline constexpr WORD DC_COPIES = 18;
inline constexpr WORD DC_COLLATE = 22;
inline constexpr WORD DC_PRINTRATE = 26;
inline constexpr WORD DC_PRINTRATEUNIT = 27;
inline constexpr WORD DC_MEDIAREADY = 29;
inline constexpr WORD DC_STAPLE = 30;
inline constexpr WORD DC_PRINTRATEPPM = 31;
inline constexpr WORD DC_COLORDEVICE = 32;
inline constexpr WORD DC_NUP = 33;

inline constexpr LONG DCTT_DOWNLOAD = 2;
inline constexpr LONG DCTT_SUBDEV = 4;
inline constexpr LONG PRINTRATEUNIT_PPM = 1;

/* Characters of the name slots. */
inline constexpr int DCAP_PAPER_NAME_CHARS = 64;
inline constexpr int DCAP_BIN_NAME_CHARS = 24;

/* One paper of the paper table (140 bytes): code, name, size in tenths of a millimetre. */
struct DcapPaperEntry {
    SHORT code;
    WCHAR name[DCAP_PAPER_NAME_CHARS];
    DWORD width;
    DWORD length;
};
static_assert(sizeof(DcapPaperEntry) == 140, "DcapPaperEntry is 140 bytes");

/* A handler of one or more DC_ indexes. */
typedef LONG (*DcapHandler)(HANDLE printer, WORD index, void *output, WORD sources, void *devmode,
                            void *printerData, ModelContext *context);

/*
 * DCAP_Dispatch: the answer of the first DeviceCapsTable row whose index
 * equals `index`, or -1 for an index in no row.
 */
LONG DCAP_Dispatch(HANDLE printer, WORD index, void *output, WORD sources, void *devmode, void *printerData,
                   ModelContext *context);

/*
 * DCAP_BuildPaperTable: the papers of the paper-size feature (setting 8),
 * without the user-defined size (256) unless `includeUser`; with `table`
 * (room for the count a call without it answered) each entry is filled from
 * the model and the printer's spooler forms (custom slots by the form of
 * their name, else code -1; names of custom slots are their stored names
 * with the size).  The number of entries; 0 when the model cannot be read
 * or a slot name cannot; with a table whose forms cannot be listed, the
 * count with nothing filled in.
 */
LONG DCAP_BuildPaperTable(HANDLE printer, void *devmode, void *printerData, ModelContext *context,
                          DcapPaperEntry *table, BOOL includeUser);

#endif /* TARVEL_DCAP_CAPS_H */
