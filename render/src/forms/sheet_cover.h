/*
 * The fax cover page of a copy-set job: the layout tables that place its
 * texts, the wrapping of long texts into lines, and the record stream the
 * printer builds the page from (texts measured through the device font's
 * metrics), with the form-name record that may precede it.
 */
#ifndef TARVELGR_SHEET_COVER_H
#define TARVELGR_SHEET_COVER_H

#include "fnt_metric_cursor.h"

#include <plat/types.h>

/* One row of a layout table; kind COVER_KIND_END ends a table. */
struct CoverRow {
    SHORT kind;
    SHORT stringId;     /* resource string of a kind-1 row */
    SHORT font;         /* 1 or 2 */
    SHORT rightAligned; /* 1: x is the right edge */
    SHORT baselineMode; /* 2: y is the baseline */
    SHORT size;         /* tenths of a point */
    SHORT x;            /* tenths of a millimetre */
    SHORT y;
    SHORT maxBytes;     /* per line */
    SHORT maxLines;
    SHORT spacing;      /* tenths of a millimetre between lines */
};

constexpr SHORT COVER_KIND_END = 11;

enum CoverTable : int { COVER_TITLE = 0, COVER_RECIPIENT, COVER_SENDER, COVER_MESSAGE, COVER_TABLE_COUNT };

/* The table `table` in the variant setting 1804 chooses (0 first, anything else second); null for an unknown table. */
const CoverRow *SDB_CoverTable(int table, LONG variant);

constexpr int COVER_MAX_ITEMS = 40;
constexpr int COVER_TEXT_CHARS = 129;
constexpr int COVER_LINE_BYTES = 127;

/* One positioned text of a cover page. */
struct CoverItem {
    SHORT x;    /* tenths of a millimetre */
    SHORT y;
    SHORT size; /* tenths of a point */
    SHORT font; /* 1 or 2 */
    char16_t text[COVER_TEXT_CHARS];
};

struct CoverItems {
    CoverItem item[COVER_MAX_ITEMS];
    int count;
};

/*
 * Places `text` (NUL-terminated) by `row`: wrapped into lines when the row
 * has two lines or more, one item per line.  An empty text places nothing.
 * 0, or -1 when the text cannot be converted or the page has no room left.
 */
int SDB_PlaceItem(const CoverRow &row, const char16_t *text, CoverItems *items);

/* The cover settings of one cover page (texts NUL-terminated, cut to their settings' lengths). */
struct CoverSettings {
    LONG variant;          /* 1804 */
    char16_t title[7];     /* 1805 */
    LONG sameForAll;       /* 379 (0 with fewer than 2 copy sets) */
    char16_t recipient[30]; /* 1806 */
    LONG recipientMark;    /* 1807 */
    LONG attentionMark;    /* 1808 */
    LONG dialPrefix;       /* 1809 */
    char16_t sender[42];   /* 1820 */
    char16_t senderText[210]; /* 1821 */
    char16_t phone[32];    /* 1822 */
    char16_t fax[32];      /* 1823 */
};

/* The dialling prefixes of the printer data. */
struct CoverDialling {
    char16_t prefix1[32];
    char16_t prefix2[32];
};

/* Loads resource string `id` into `out` (`capacity` characters with the terminator); false when it has none. */
using CoverStringLoader = bool (*)(void *context, UINT id, char16_t *out, int capacity);

/*
 * The items of a cover page for `destination` (its 742-byte send-list
 * entry, then the two header texts): every row of the four tables in the
 * chosen variant, each with its text.  0, or -1 when a text cannot be
 * placed.
 */
int SDB_BuildItems(const BYTE *destination, const CoverSettings &settings, const CoverDialling &dialling,
                   CoverStringLoader loadString, void *loaderContext, CoverItems *items);

/* The bytes SDB_BuildCover may need for `items` (an upper bound: a double-byte character has one width). */
DWORD SDB_CoverSize(const CoverItems &items);

/* The device fonts of a cover page: font 1 and font 2, each its record id and its metrics. */
struct CoverFont {
    WORD recordId;
    FontMetricCursor *metrics;
};

/*
 * Builds the record stream of the cover page into `out` (`capacity`
 * bytes, SDB_CoverSize of the items suffices), positions and widths in
 * pixels at `dpiX` by `dpiY`.  The bytes written, or -1 when a font or a
 * character's width is missing or the buffer is too small.
 */
LONG SDB_BuildCover(const CoverItems &items, const CoverFont fonts[2], LONG dpiX, LONG dpiY, BYTE *out,
                    DWORD capacity);

/*
 * The form-name record of the form file `path`: its name without folder
 * and extension in the ANSI code page (at most 255 bytes).  The bytes
 * written into `out`, 0 when the path has no file-name part, -1 when it
 * cannot be converted or does not fit.
 */
LONG SDB_BuildFormNameRecord(const char16_t *path, BYTE *out, DWORD capacity);

#endif /* TARVELGR_SHEET_COVER_H */
