/*
 * Form overlays: a form-creation job (setting 339 = 1) writes its first
 * page into a form file instead of the printer; a form-overlay job (339 = 2)
 * sends that file once per job output as the user-defined streams "MACRO"
 * (and "ROTBK", turned, for two-pass duplex back faces), converted from the
 * resolution the form was made at, and runs it under every page.
 *
 * A form file is outside input: it is read token by token against
 * FormTagTable, and a token the table does not allow, or that ends before
 * its bytes, makes the whole form unaccepted (no stream is defined).
 */
#ifndef TARVELGR_FORM_OVERLAY_H
#define TARVELGR_FORM_OVERLAY_H

#include <plat/types.h>

#include <array>

struct PdevContext;

/* ---- The tag table ---------------------------------------------------------- */

/* Token kinds of a form file's tag bytes. */
enum : BYTE {
    FORM_TAG_REFUSED = 0,   /* not allowed in a form */
    FORM_TAG_SINGLE = 1,    /* one byte (operators) */
    FORM_TAG_VALUE = 2,     /* element size x count bytes follow */
    FORM_TAG_ARRAY = 3,     /* a ubyte or uint16 length value, then length x element size bytes */
    FORM_TAG_ATTRIBUTE = 4, /* an attribute identifier of element size bytes (only after a value) */
    FORM_TAG_EMBEDDED = 5,  /* a length of element size bytes (little-endian), then the data */
    FORM_TAG_LINE = 6,      /* a text line up to and including its line feed (the stream header) */
};

struct FormTag {
    BYTE kind;
    BYTE size;  /* bytes per element */
    BYTE count; /* elements of a value */
};

/* The kind, element size and element count of every tag byte. */
extern const std::array<FormTag, 256> FormTagTable;

/* ---- Reading and converting ---------------------------------------------------- */

/* Bytes of each of the reader's two buffers. */
inline constexpr DWORD FORM_READ_BLOCK = 4096;

/*
 * Where the reader's bytes come from: fills `buffer` with up to `n` bytes
 * and stores the count in `*got`; FALSE on a read error.  A count below `n`
 * means the end of the source.
 */
typedef BOOL (*FormSource)(void *context, void *buffer, DWORD n, DWORD *got);

/* Where the converted bytes go: 0, or -1 to stop reading. */
typedef int (*FormSink)(void *context, const void *bytes, DWORD n);

/*
 * The reader over a form: two buffers used alternately, so that a token
 * may run from one into the next.  All fields are the reader's own.
 */
struct FormReader {
    FormSource source;
    void *context;
    BYTE buffer[2][FORM_READ_BLOCK + 1]; /* each with one spare byte */
    DWORD fill[2];
    DWORD position;       /* in the current buffer */
    int current;          /* 0 or 1 */
    ULONGLONG totalRead;  /* bytes read from the source */
    ULONGLONG consumed;   /* bytes handed out */
    BOOL endOfFile;       /* a read came back short */
    BOOL done;            /* everything consumed after the end of the source */
    BOOL failed;          /* the source failed */
};

/* What a form says of itself, and the conversion asked of it. */
struct FormScan {
    ULONGLONG size;  /* bytes of the form */
    LONG colorMode;  /* "ColorMode=": 1 monochrome, 2 colour, 0 unknown */
    LONG formResX;   /* "FormResoX=", 0 when the form does not say */
    LONG formResY;
};

struct FormConversion {
    LONG jobResX; /* the job's resolution; 0 leaves positions and scales alone */
    LONG jobResY;
    BOOL turned;     /* the turned copy: origins mirrored, angles after a scale turned by 180 */
    LONG pageWidth;  /* the page in device pixels (for the turned copy) */
    LONG pageHeight;
};

/* Starts `reader` on `source`.  Nothing is read yet. */
void OVL_InitFormReader(FormReader *reader, FormSource source, void *context);

/*
 * Reads the form from `reader` token by token, converting page origins,
 * page scales and (turned) page angles as `conversion` asks and reading the
 * three header comments into `scan`; every token goes to `sink` (may be
 * null: only scan) right after its conversion.  Returns 1 when the whole
 * form was read and accepted; 0 when a token is not allowed here, a value
 * is not followed by its attribute, a token ends early, the source fails or
 * the sink refuses.
 */
int OVL_ConvertForm(FormReader *reader, const FormConversion *conversion, FormScan *scan, FormSink sink,
                    void *sinkContext);

/*
 * The form file at `path` read as OVL_ConvertForm reads it: with a device
 * context every byte is written to its output (XL_PutRaw), and a turned copy
 * takes the page size from the current paper; without one the file is only
 * scanned.  `scan` receives the size, colour mode and form resolutions.
 * 1 when the whole file was read and accepted, else 0.
 */
int OVL_ReplayFormFile(PdevContext *pdev, LPCWSTR path, FormScan *scan, LONG jobResX, LONG jobResY, BOOL turned);

/* Rounded a x b / c in 64 bits; -1 when c is 0 or the result does not fit a LONG. */
LONG OVL_MulDiv(LONG a, LONG b, LONG c);

/* ---- Paths and folders --------------------------------------------------------- */

/* Characters of a form path buffer, terminator included. */
inline constexpr int OVL_PATH_CHARS = 260;

/*
 * `path` made absolute into `out` (OVL_PATH_CHARS): a network path (two
 * backslashes in a row) or a drive path (its first backslash after a ":")
 * as it stands, any other path under the work folder.  0, or -1 when the
 * work folder is unknown or the result does not fit.
 */
int OVL_AbsolutePath(LPCWSTR path, LPWSTR out);

/*
 * The form file of the job: the folder path of setting 1829, "." and the
 * form extension (resource string 451, at most 3 characters), made
 * absolute.  0, or -1 when the setting is empty or the path does not fit.
 */
int OVL_FormPath(PdevContext *pdev, LPWSTR out);

/*
 * Creates each missing folder level of the folder part of `path` (the last
 * part is the file); separators "\", "/" and the yen sign.  A drive and,
 * for a network path, the server and share are not created; a level that
 * exists is fine.  When a level cannot be made, the warning box (resource
 * strings 2 and 6, OK and Cancel) asks: 0 all made, 1 OK (go on without the
 * form file), -1 Cancel.
 */
int OVL_CreateFolders(PdevContext *pdev, LPCWSTR path);

/* ---- The job ------------------------------------------------------------------- */

/*
 * Form creation: makes the form file's folders and the form file the
 * output target (OUT_BeginFormFile).  0 when the form file is the target,
 * 1 when the user chose to go on without it (the output stays where it
 * is), -1 on failure or Cancel.
 */
int OVL_OpenFormOutput(PdevContext *pdev);

/* The three header comments of a form for a page colour code: resolution x and y, colour mode.  0, or -1. */
int OVL_WriteFormInfo(PdevContext *pdev, BYTE colorCode);

/*
 * End of a form-creation job: the first recorded page goes into the form
 * file (or stays on the output, see OVL_OpenFormOutput) after the stream
 * header and the header comments, closed with a PopGS for the PushGS its
 * page start holds; then the end of the job output and the form file is
 * closed.  0, or -1.
 */
int OVL_CloseFormOutput(PdevContext *pdev);

/*
 * Form-overlay jobs: scans the form file for its size and colour mode
 * (into `size` and `colorMode`, both may be null) and, with `define` and an
 * accepted form of more than 0 bytes, defines "MACRO" and, with
 * `turnedCopy`, "ROTBK".  1 when streams were defined, 0 when there is no
 * form to define (or `define` is off), -1 when writing failed.
 */
int OVL_DefineFormStreams(PdevContext *pdev, BOOL define, ULONGLONG *size, LONG *colorMode, BOOL turnedCopy);

/*
 * At the first sheet of every job: whether the job runs a form (form mode
 * 2 and an accepted form of more than 0 bytes) and the form's colour mode,
 * kept in the device context for the whole job (cleared for other jobs).
 * 0, or -1.
 */
int OVL_FindJobForm(PdevContext *pdev);

/*
 * Defines the form streams of a form-overlay job's output once, after its
 * session began ("ROTBK" too for two-pass duplex jobs).  0 (also when the
 * job runs no form), or -1 when writing failed or the form found at the
 * first sheet is gone.
 */
int OVL_BeginFormOverlay(PdevContext *pdev);

/* PushGS, ExecStream of "ROTBK" on back faces that need the turned copy, else "MACRO", PopGS.  0, or -1. */
int OVL_ExecFormMacro(PdevContext *pdev);

/*
 * The form overlay at a page start of a form-overlay job: runs it when the
 * form was found, not on inserted sheets; booklets run it at their replayed
 * page starts (`replayed`) only, other jobs at the page start itself.
 * 0, or -1.
 */
int OVL_RunAtPageStart(PdevContext *pdev, BOOL replayed);

/* The page colour code with the form's colour: a monochrome code (low nibble 1) becomes colour for a colour form. */
BYTE OVL_PageColorCode(const PdevContext *pdev, BYTE colorCode);

#endif /* TARVELGR_FORM_OVERLAY_H */
