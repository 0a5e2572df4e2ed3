/*
 * The PJL job header and trailer: the text that opens a print job (universal
 * exit, the model's job mode line, the string code set, the DATE / TIME /
 * DNAME comments, the patchable IWASIDE2START, HCPN and booklet slots, then
 * one line for every job-language record of the model data that applies to
 * the job's settings) and the text that closes it (universal exit and the
 * end-of-job line).  The user-interface library builds one header per copy
 * set; the rendering library builds and writes its own in direct mode and
 * patches the slots.
 *
 * Every writer works in a caller's byte buffer of a given capacity and
 * answers the number of bytes written, or a negative PJL_ERR_ code.  No
 * writer ever writes past the capacity: an append that does not fit (with
 * the zero byte the writers leave after the last line) fails the whole text
 * with PJL_ERR_OVERFLOW.  Partial text may then stand in the buffer; the
 * caller discards it.
 *
 * Text mode: one process-wide value.  1 writes every text in UTF-8; any
 * other value writes wide texts in the ANSI code page and copies ANSI texts.
 * PJL_BuildJobHeader switches to UTF-8 unless the system is of the Windows 95
 * class (0x101); nothing switches it back.
 */
#ifndef TARVEL_PJL_HEADER_H
#define TARVEL_PJL_HEADER_H

#include <plat/types.h>
#include <tarvel/model_data/model_file.h>

/* ---- Results (PjlErrorCode): 0 or more is a byte count ------------------ */

inline constexpr LONG PJL_ERR_ARRAY = -1;            /* a condition's value array cannot be resolved */
inline constexpr LONG PJL_ERR_RECORD = -110;         /* a model record cannot be read or freed */
inline constexpr LONG PJL_ERR_NO_COMMAND = -120;     /* a job-language record has no command text */
inline constexpr LONG PJL_ERR_NO_VALUE = -130;       /* a record has neither a setting nor a fixed value */
inline constexpr LONG PJL_ERR_NO_ENTRY = -140;       /* a header entry needed for sizing is missing or zero */
inline constexpr LONG PJL_ERR_OPERATOR = -160;       /* comparison operator not defined */
inline constexpr LONG PJL_ERR_VALUE_TYPE = -170;     /* value type not supported */
inline constexpr LONG PJL_ERR_EQUALITY_ONLY = -175;  /* only equal / not equal on a flag or string */
inline constexpr LONG PJL_ERR_READ = -210;           /* data manager or setting missing */
inline constexpr LONG PJL_ERR_FORMAT_TYPE = -220;    /* setting type cannot be formatted */
inline constexpr LONG PJL_ERR_SIZE = -230;           /* setting size does not match its type */
inline constexpr LONG PJL_ERR_NULL_BUFFER = -310;    /* null output buffer */
inline constexpr LONG PJL_ERR_OVERFLOW = -320;       /* the text does not fit the buffer, or its bound overflows */
inline constexpr LONG PJL_ERR_CONVERSION = -340;     /* text conversion failed */
inline constexpr LONG PJL_ERR_RANGE = -410;          /* setting identifier outside every group */
inline constexpr LONG PJL_ERR_TYPE_MISMATCH = -420;  /* condition value type differs from the setting's */
inline constexpr LONG PJL_ERR_NULL_ARGUMENT = -440;  /* null argument */
inline constexpr LONG PJL_ERR_CONNECTOR = -450;      /* condition connector not 1-6 */
inline constexpr LONG PJL_ERR_LIBRARY = -510;        /* job-language library, entry point or answer missing */
inline constexpr LONG PJL_ERR_NOT_FOUND = -610;      /* job mode record, fax destination or paper not found */
inline constexpr LONG PJL_ERR_NAME_SOURCE = -620;    /* setting 335 neither 0 nor 1 */

/* ---- Model header entry 26: the job-language flags ----------------------- */

inline constexpr DWORD PJL_F26_DBCS_NAME = 0x2;          /* double-byte document names, up to 24 bytes */
inline constexpr DWORD PJL_F26_NUP = 0x4;                /* N-up attribute insert */
inline constexpr DWORD PJL_F26_HOST_ADDRESS = 0x8;       /* host address insert */
inline constexpr DWORD PJL_F26_OUTPUT_FROM_SOURCE = 0x10; /* owner output code from setting 13 first */
inline constexpr DWORD PJL_F26_HCPN = 0x10000;           /* HCPN slot allowed */
inline constexpr DWORD PJL_F26_COPIES_ONE = 0x20000;     /* device-collated copies write COPIES 1 */
inline constexpr DWORD PJL_F26_JOBATTR = 0x40000;        /* the JOBATTR form, "@PJL EOJ" */
inline constexpr DWORD PJL_F26_HOST_NAME = 0x200000;     /* host name insert */
inline constexpr DWORD PJL_F26_OWNER_TEXT = 0x2000000;   /* owner from the user-text settings */
inline constexpr DWORD PJL_F26_BOOKLET = 0x4000000;      /* booklet slot allowed */
inline constexpr DWORD PJL_F26_FAX_KIND2 = 0x40000000;   /* fax destinations as "@FAEN=" */

/* Text modes. */
inline constexpr WORD PJL_TEXT_ANSI = 0;
inline constexpr WORD PJL_TEXT_UTF8 = 1;

/* ---- Records ------------------------------------------------------------- */

/*
 * An output buffer: `capacity` bytes at `data`, `length` of them written.
 * Every append keeps a zero byte right after the last byte written, so
 * length + 1 never exceeds capacity.
 */
struct PjlBuffer {
    LPSTR data;
    DWORD capacity;
    DWORD length;
};

/*
 * The fax destinations of a header: entries first..last of a FaxSendList
 * block of `listBytes` bytes (the block is only read).
 */
struct PjlFaxCursor {
    WORD first;
    WORD last;
    const BYTE *list;
    DWORD listBytes;
};

/* Characters of the job owner name and bytes of the job identifier text. */
inline constexpr int PJL_OWNER_CHARS = 64;
inline constexpr int PJL_JOB_ID_BYTES = 64;

/*
 * The caller's record of one header build.  The writer reads the inputs,
 * writes the three slot positions (byte offsets from the start of the
 * buffer to the first byte of the slot's line; 0 = no slot to patch) and,
 * where the settings say so, changes the settings image: setting 329 is
 * emptied once written, setting 1799 takes the text of 375.
 */
struct JobHeaderParams {
    void *settings;                   /* settings image (devmode with its extension block) */
    void *printerData;                /* printer-data record */
    DWORD jobIdPresent;               /* 1: jobId holds the job identifier (setting 8201) */
    char jobId[PJL_JOB_ID_BYTES];     /* ANSI, zero-terminated within its 64 bytes or cut there */
    WCHAR ownerName[PJL_OWNER_CHARS]; /* filled by the rendering library; not read here */
    LPCWSTR documentName;             /* may be null */
    DWORD insertFlag;                 /* 1: write the generated inserts at a marker record */
    const PjlFaxCursor *faxCursor;    /* null: no fax destinations */
    HANDLE printer;                   /* for form look-ups */
    WORD bookletValue;                /* the "@BKTP=" value; 0 = not decided, a blank placeholder is written */
    WORD hcpnValue;
    DWORD bookletPosition;            /* out */
    SHORT iwaSide2StartValue;
    DWORD iwaSide2StartPosition;      /* out */
    DWORD hcpnPosition;               /* out */
    /* Who makes the copies, as the rendering library decided it: 0 not told
       (the copies line follows the model's rule), PJL_COPIES_DRIVER (the
       driver repeats the pages for each copy, so the printer is asked for
       one), PJL_COPIES_PRINTER (the printer makes them: the setting's value). */
    DWORD copiesBy;
};

inline constexpr DWORD PJL_COPIES_DRIVER = 1;
inline constexpr DWORD PJL_COPIES_PRINTER = 2;

/* ---- Header and trailer -------------------------------------------------- */

/*
 * An upper bound of the header's bytes for the model `main`/`companion` and
 * the document name of `params` (may be null): model header entry 2 (the
 * size base of the model's records, must be positive), the fixed lines, the
 * generated inserts, the fax allowance of entries 24 x 25 (fax models), a
 * fax address file of 9,600 bytes, the DNAME comment's name, and room for
 * every text that arrives in the ANSI code page to grow threefold in UTF-8.
 * Computed in 64 bits.  Returns the bound, PJL_ERR_NO_ENTRY for a missing
 * or zero entry (2, or 24/25 on a fax model), PJL_ERR_OVERFLOW when the
 * bound exceeds 0x7FFFFFFF, PJL_ERR_NULL_ARGUMENT for a null reader.
 */
LONG PJL_GetHeaderSize(ModelFileReader *main, ModelFileReader *companion, const JobHeaderParams *params);

/*
 * Builds the job header into `buffer` of `capacity` bytes and fills the
 * slot positions of `params` (set them to 0 first).  The job-language
 * library (model text 3) is loaded while the header is built when an insert
 * needs it and freed before returning.  Returns the bytes written (the
 * buffer ends in a zero byte after them) or a PJL_ERR_ code.
 */
LONG PJL_BuildJobHeader(ModelFileReader *main, ModelFileReader *companion, JobHeaderParams *params, LPSTR buffer,
                        DWORD capacity);

/* Bound of the trailer: 1 + 9 + the end-of-job text's length + 5. */
LONG PJL_GetTrailerSize(ModelFileReader *main, ModelFileReader *companion);

/* Universal exit, the end-of-job text ("@PJL EOJ" in the JOBATTR form, else "@EOJO") and a line feed. */
LONG PJL_WriteTrailer(ModelFileReader *main, ModelFileReader *companion, LPSTR buffer, DWORD capacity);

/* Room for the universal exit: 14. */
LONG PJL_GetUelSize(void);

/* The universal exit alone (ESC "%-12345X", 9 bytes, no line end). */
LONG PJL_WriteUel(LPSTR buffer, DWORD capacity);

/* Room for the end-of-job line: 1 + the end-of-job text's length + 5. */
LONG PJL_GetEojSize(ModelFileReader *main, ModelFileReader *companion);

/* The end-of-job text and a line feed, without the universal exit. */
LONG PJL_WriteEojLine(ModelFileReader *main, ModelFileReader *companion, LPSTR buffer, DWORD capacity);

/* ---- Text mode and appenders -------------------------------------------- */

/* Sets the process-wide text mode. */
void PJL_SetTextMode(WORD mode);

/* The text mode; the initial 0xFFFF reads as 0 and is stored back as 0. */
WORD PJL_GetTextMode(void);

/* Test-only: puts the text mode back to its initial 0xFFFF. */
void pjl_ResetTextModeForTest(void);

/* Copies the line end, the one-character text "\n", into `buffer` of `capacity` characters; returns 1 (0 when it does not fit). */
int PJL_GetLineEnd(LPWSTR buffer, int capacity);

/*
 * Appends `text` converted to the text mode (UTF-8 in mode 1, else the ANSI
 * code page) at out->length, keeps a zero byte after it and advances
 * out->length.  Returns the bytes appended (without the zero byte);
 * PJL_ERR_NULL_BUFFER for a null buffer, PJL_ERR_NULL_ARGUMENT for a null
 * text, PJL_ERR_CONVERSION when the conversion fails, PJL_ERR_OVERFLOW
 * (nothing written) when the bytes and the zero byte do not fit.
 */
LONG PJL_AppendText(LPCWSTR text, PjlBuffer *out);

/* PJL_AppendText for an ANSI text: copied in the ANSI mode, converted to UTF-8 in mode 1. */
LONG PJL_AppendAnsiText(LPCSTR text, PjlBuffer *out);

/* `key` then `value`; the sum of both lengths, or the first error. */
LONG PJL_AppendKeyValue(LPCWSTR key, LPCWSTR value, PjlBuffer *out);

#endif /* TARVEL_PJL_HEADER_H */
