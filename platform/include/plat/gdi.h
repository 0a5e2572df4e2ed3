/*
 * The GDI side of printing: the public devmode record and printer device
 * contexts with their documents and pages, as an application (or the host)
 * uses them.  Each device context is the engine's side of one job on a
 * printer: it loads the printer's graphics library (the printer driver's
 * file, GetPrinterDriverW level 2), enables it once per load
 * (DrvEnableDriver), and drives the library through its DRVFN table:
 *
 *   CreateDCW   OpenPrinterW, DrvEnablePDEV, DrvCompletePDEV, DrvEnableSurface
 *   StartDocW   StartDocPrinterW, DrvStartDoc (with the spooler's job id)
 *   StartPage   StartPagePrinter, DrvStartPage
 *   EndPage     DrvSendPage, EndPagePrinter
 *   EndDoc      DrvEndDoc, EndDocPrinter
 *   ResetDCW    DrvEnablePDEV, DrvCompletePDEV, DrvResetPDEV, DrvEnableSurface,
 *               DrvDisableSurface and DrvDisablePDEV of the old context
 *               (and DrvStartDoc inside a document)
 *   AbortDoc    DrvEndDoc(ED_ABORTDOC), AbortPrinter
 *   DeleteDC    (AbortDoc), DrvDisableSurface, DrvDisablePDEV, ClosePrinter,
 *               and DrvDisableDriver and the unload with the last context
 *
 * Document events.  A printer whose driver names a user-interface library
 * (DRIVER_INFO_2 pConfigFile) exporting DrvDocumentEvent gets that library
 * loaded for each device context, and GDI calls it around every step, with
 * the context's printer handle, before the graphics library sees the step:
 *
 *   CreateDCW   CREATEDCPRE {driver, device, devmode, FALSE} -> the job
 *               devmode (out), ... the context is made ..., CREATEDCPOST
 *               with &that devmode (also when the context cannot be made,
 *               with a null context, followed by DELETEDC then)
 *   StartDocW   STARTDOC with &DOCINFOW*, ... DrvStartDoc ..., STARTDOCPOST
 *               with &job id (-1 from it abandons the document)
 *   StartPage   STARTPAGE;  EndPage  ENDPAGE;  EndDoc  ENDDOC ... ENDDOCPOST
 *   AbortDoc    ABORTDOC;   DeleteDC  DELETEDC;  ExtEscape  ESCAPE
 *   ResetDCW    RESETDCPRE with &new devmode -> job devmode (out), ...,
 *               RESETDCPOST with &that devmode (whether the reset worked)
 *
 * An event answering -1 (DOCUMENTEVENT_FAILURE) fails the call before the
 * graphics library sees it (ERROR_CANCELLED unless the library set an
 * error); 0 (not handled) and 1 go on.  The devmode handed to DrvEnablePDEV
 * is the one CREATEDCPRE / RESETDCPRE gave, else the caller's, else the
 * printer's own; GDI never changes it.  A printer without such a library
 * gets no events.
 *
 * A device context is used by one thread at a time; different contexts may
 * be used on different threads.
 */
#ifndef PLAT_GDI_H
#define PLAT_GDI_H

#include <plat/engine.h>
#include <plat/types.h>

#include <vector>

/* ---- The public devmode (220 bytes) ------------------------------------- */

#define CCHDEVICENAME 32
#define CCHFORMNAME 32

/* A printer devmode's public part; the driver's private bytes (dmDriverExtra) follow it. */
struct DEVMODEW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    SHORT dmOrientation;
    SHORT dmPaperSize;
    SHORT dmPaperLength;
    SHORT dmPaperWidth;
    SHORT dmScale;
    SHORT dmCopies;
    SHORT dmDefaultSource;
    SHORT dmPrintQuality;
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmNup;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
typedef DEVMODEW *PDEVMODEW;
typedef DEVMODEW *LPDEVMODEW;
static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmFields) == 72 && offsetof(DEVMODEW, dmOrientation) == 76, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmFormName) == 102 && offsetof(DEVMODEW, dmICMMethod) == 188, "DEVMODEW layout");

/* dmFields bits. */
#define DM_ORIENTATION 0x00000001u
#define DM_PAPERSIZE 0x00000002u
#define DM_PAPERLENGTH 0x00000004u
#define DM_PAPERWIDTH 0x00000008u
#define DM_SCALE 0x00000010u
#define DM_POSITION 0x00000020u
#define DM_NUP 0x00000040u
#define DM_COPIES 0x00000100u
#define DM_DEFAULTSOURCE 0x00000200u
#define DM_PRINTQUALITY 0x00000400u
#define DM_COLOR 0x00000800u
#define DM_DUPLEX 0x00001000u
#define DM_YRESOLUTION 0x00002000u
#define DM_TTOPTION 0x00004000u
#define DM_COLLATE 0x00008000u
#define DM_FORMNAME 0x00010000u
#define DM_LOGPIXELS 0x00020000u
#define DM_BITSPERPEL 0x00040000u
#define DM_PELSWIDTH 0x00080000u
#define DM_PELSHEIGHT 0x00100000u
#define DM_DISPLAYFLAGS 0x00200000u
#define DM_DISPLAYFREQUENCY 0x00400000u
#define DM_ICMMETHOD 0x00800000u
#define DM_ICMINTENT 0x01000000u
#define DM_MEDIATYPE 0x02000000u
#define DM_DITHERTYPE 0x04000000u
#define DM_PANNINGWIDTH 0x08000000u
#define DM_PANNINGHEIGHT 0x10000000u

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2
#define DMCOLOR_MONOCHROME 1
#define DMCOLOR_COLOR 2
#define DMPAPER_LETTER 1
#define DMPAPER_LEGAL 5
#define DMPAPER_A3 8
#define DMPAPER_A4 9
#define DMPAPER_A5 11
#define DMPAPER_B5 13
#define DMPAPER_USER 256

/* ---- Printer device contexts ------------------------------------------- */

typedef struct plat_dc *HDC;

/* A document's name and output file (null: the spooler keeps the job). */
struct DOCINFOW {
    int cbSize;
    LPCWSTR lpszDocName;
    LPCWSTR lpszOutput;
    LPCWSTR lpszDatatype;
    DWORD fwType;
};

/* GetDeviceCaps indexes answered for printer contexts. */
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define ASPECTX 40
#define ASPECTY 42
#define ASPECTXY 44
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113

/* Last errors of device contexts not listed in plat/types.h. */
#ifndef ERROR_INVALID_DRIVER
#define ERROR_INVALID_DRIVER 2001L
#endif

/*
 * A device context on the printer `pwszDevice` (`pszPort` is not used and
 * `pwszDriver` only for "DISPLAY", which gives a display context, see
 * plat/gdi_objects.h; the printer names its driver).  `pdm` is the
 * devmode for the driver (null: the printer's own; it must be readable for
 * its dmSize + dmDriverExtra bytes, and dmSize must cover the fields up to
 * dmFields, else ERROR_INVALID_PARAMETER).  Returns the context (delete it
 * with DeleteDC), or null with the last error: ERROR_INVALID_PRINTER_NAME or the
 * spooler's error when the printer cannot be opened, ERROR_MOD_NOT_FOUND
 * when its library cannot be loaded, ERROR_INVALID_DRIVER when the library
 * lacks DrvEnableDriver or refuses to be enabled or lacks a function the
 * engine needs, or the library's own error when DrvEnablePDEV or
 * DrvEnableSurface fail (nothing is left open then).
 */
HDC CreateDCW(LPCWSTR pwszDriver, LPCWSTR pwszDevice, LPCWSTR pszPort, const DEVMODEW *pdm);

/*
 * Starts a document: a spooler job on the context's printer, then
 * DrvStartDoc with its id.  Returns the job id (above 0), or SP_ERROR (-1)
 * with the last error (the spooler job is deleted again when the library
 * refuses).  A document already started is an error (ERROR_INVALID_PARAMETER).
 */
int StartDocW(HDC hdc, const DOCINFOW *lpdi);

/* Starts a page (StartPagePrinter, DrvStartPage): above 0, or SP_ERROR (also outside a document). */
int StartPage(HDC hdc);

/* Ends a page (DrvSendPage, EndPagePrinter): above 0, or SP_ERROR (also outside a document). */
int EndPage(HDC hdc);

/* Ends the document (DrvEndDoc, EndDocPrinter): above 0, or SP_ERROR. */
int EndDoc(HDC hdc);

/* Abandons the document (DrvEndDoc with ED_ABORTDOC, AbortPrinter): above 0, or SP_ERROR. */
int AbortDoc(HDC hdc);

/*
 * Gives the context a new devmode (between pages, also inside a document):
 * a new DrvEnablePDEV and DrvCompletePDEV, DrvResetPDEV from the old
 * library context to the new one, the new surface, then the old surface
 * and context disabled; inside a document DrvStartDoc on the new context
 * continues the job.  Returns `hdc`, or null with the last error (the old
 * context stays when the new one cannot be made or the library refuses the
 * reset); ERROR_INVALID_PARAMETER while a page is open or for a devmode
 * without its fields.
 */
HDC ResetDCW(HDC hdc, const DEVMODEW *pdm);

/* Deletes a device context (abandoning an unfinished document).  FALSE for anything else. */
BOOL DeleteDC(HDC hdc);

/* A capability of the context's device, from its GDIINFO; 0 for an unknown index or context. */
int GetDeviceCaps(HDC hdc, int index);

/*
 * Sends escape `code` to the context's graphics library (the ESCAPE
 * document event first, then DrvEscape with the caller's buffers): the
 * library's answer; 0 when it has no DrvEscape, -1 with
 * ERROR_INVALID_HANDLE for a bad context or with ERROR_INVALID_PARAMETER
 * for a negative size or a size without its buffer.
 */
int ExtEscape(HDC hdc, int code, int cbIn, LPCSTR in, int cbOut, LPSTR out);

/* ---- Document events of the user-interface library ------------------------ */

#define DOCUMENTEVENT_CREATEDCPRE 1
#define DOCUMENTEVENT_CREATEDCPOST 2
#define DOCUMENTEVENT_RESETDCPRE 3
#define DOCUMENTEVENT_RESETDCPOST 4
#define DOCUMENTEVENT_STARTDOC 5
#define DOCUMENTEVENT_STARTPAGE 6
#define DOCUMENTEVENT_ENDPAGE 7
#define DOCUMENTEVENT_ENDDOC 8
#define DOCUMENTEVENT_ABORTDOC 9
#define DOCUMENTEVENT_DELETEDC 10
#define DOCUMENTEVENT_ESCAPE 11
#define DOCUMENTEVENT_ENDDOCPOST 12
#define DOCUMENTEVENT_STARTDOCPOST 13

#define DOCUMENTEVENT_SUCCESS 1
#define DOCUMENTEVENT_UNSUPPORTED 0
#define DOCUMENTEVENT_FAILURE (-1)

/* The input of CREATEDCPRE. */
struct DOCEVENT_CREATEDCPRE {
    LPWSTR pszDriver;
    LPWSTR pszDevice;
    DEVMODEW *pdm;
    BOOL bIC;
};

/* The input of ESCAPE. */
struct DOCEVENT_ESCAPE {
    int iEscape;
    int cjInput;
    PVOID pvInData;
};

typedef int (*PFN_DrvDocumentEvent)(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                                    PVOID pvOut);

#define SP_ERROR (-1)

namespace plat {

/* What a test can see of a device context. */
struct GdiDcInfo {
    DHPDEV dhpdev;   /* the library's device context */
    HDEV hdev;       /* the engine's device */
    HSURF hsurf;     /* the surface DrvEnableSurface returned */
    HANDLE printer;  /* the spooler handle given to DrvEnablePDEV */
    GDIINFO gdiInfo; /* as DrvEnablePDEV filled it (zeros beyond what it wrote) */
    DEVINFO devInfo;
    DWORD jobId;     /* the document's spooler job; 0 outside a document */
};

/* Fills `info` for a live device context; false otherwise. */
bool gdi_dc_info(HDC hdc, GdiDcInfo *info);

/*
 * The devmode the context's graphics library was last enabled with
 * (CreateDCW, or the latest ResetDCW that worked): the job devmode the
 * user-interface library made at CREATEDCPRE or RESETDCPRE, else the
 * caller's, else the printer's own; its bytes as they were handed to
 * DrvEnablePDEV.  An application prints with these settings, so it may
 * show them.  False for anything but a live printer context.
 */
bool gdi_dc_devmode(HDC hdc, std::vector<BYTE> &devmode);

/*
 * The table entry of function index `index` of the library loaded for the
 * context, or null when the table has none: how the engine reaches a
 * function the library does not export.
 */
PFN gdi_driver_function(HDC hdc, ULONG index);

/* Live device contexts; tests use it to find leaks. */
size_t gdi_dc_count();

/* ---- Drawing paths on a printer device context ----------------------------- */

/* A brush as the application chose it; colours are 0x00RRGGBB (the device palette: blue lowest). */
struct GdiBrush {
    enum Kind { Solid, Hatch, Pattern } kind = Solid;
    ULONG color = 0;              /* solid colour; a hatch's lines */
    ULONG background = 0xFFFFFF;  /* a hatch's background */
    ULONG hatch = 0;              /* HS_ style 0-5 */
    ULONG format = 0;             /* pattern: BMF_ */
    LONG width = 0, height = 0;   /* pattern size */
    std::vector<BYTE> rows;       /* pattern rows, each padded to 4 bytes, top row first */
    std::vector<ULONG> palette;   /* pattern palette (1, 4 and 8 bits) */
};

/* One path drawing call as the engine makes it. */
struct GdiPathDraw {
    int mode = 2;                         /* 1 stroke (DrvStrokePath), 2 fill (DrvFillPath), 3 both */
    std::vector<PathFigure> figures;      /* 28.4 points */
    FLONG pathFlags = 0;                  /* PO_ELLIPSE */
    std::vector<RECTL> clip;              /* none: no clip; one: a rectangle; more: a region */
    GdiBrush fill;
    GdiBrush pen;
    LINEATTRS line{};                     /* pstyle is taken from `style` */
    std::vector<FLOAT_LONG> style;
    XFORML xform{1, 0, 0, 1, 0, 0};       /* the geometric pen's transform */
    MIX mix = 0x0D0D;
    FLONG fillMode = FP_ALTERNATEMODE;
};

/*
 * Draws `draw` on the context's surface: the engine builds the path, clip,
 * brushes (realised through the library's DrvRealizeBrush when the library
 * asks for them) and transform, calls the library's DrvStrokePath,
 * DrvFillPath or DrvStrokeAndFillPath and frees them.  The library's
 * answer; FALSE with ERROR_INVALID_HANDLE for a dead context or surface,
 * ERROR_INVALID_DRIVER when the library lacks the function.
 */
BOOL gdi_draw_path(HDC hdc, const GdiPathDraw &draw);

/* ---- Drawing images on a printer device context ------------------------------- */

/* A device-independent bitmap as the application hands it; the caller keeps the bits alive for the call. */
struct GdiImage {
    ULONG format = BMF_24BPP;     /* BMF_1BPP, BMF_4BPP, BMF_8BPP, BMF_24BPP (blue, green, red) or BMF_32BPP */
    LONG width = 0, height = 0;
    const BYTE *bits = nullptr;   /* rows, each padded to 4 bytes, top row first */
    size_t size = 0;              /* bytes at `bits` */
    std::vector<ULONG> palette;   /* 1, 4 and 8 bits: 0x00RRGGBB per index, at most 2^bits */
};

/* One image call as the engine makes it for StretchDIBits, BitBlt or TransparentBlt. */
struct GdiImageDraw {
    enum Call { Stretch, Bit, Transparent } call = Stretch;
    GdiImage image;
    RECTL dest{};                 /* Stretch: left > right or top > bottom mirrors; Bit: the size is the source's */
    RECTL src{};                  /* the source rectangle inside the image (Bit: its top left is used) */
    std::vector<RECTL> clip;      /* none: no clip; one: a rectangle; more: a region */
    ROP4 rop4 = 0xCCCC;           /* Bit */
    ULONG transparent = 0;        /* Transparent: the source value (index, or 0x00RRGGBB) left out */
};

/*
 * Draws `draw` on the context's surface: the engine makes the source
 * surface of the image, the translation from its palette (or its colour
 * layout) and the clip, calls the library's DrvStretchBlt, DrvBitBlt or
 * DrvTransparentBlt and frees them.  The library's answer; FALSE with
 * ERROR_INVALID_PARAMETER for null bits, an empty or unknown image, a
 * palette an indexed image lacks or overfills, or a source rectangle
 * outside the image, ERROR_INSUFFICIENT_BUFFER when `size` is short of
 * the rows, ERROR_INVALID_HANDLE for a dead context or surface,
 * ERROR_INVALID_DRIVER when the library lacks the function.  The image is
 * checked before anything else.
 */
BOOL gdi_draw_image(HDC hdc, const GdiImageDraw &draw);

/* One ExtEscape call on a device context, as it was answered. */
struct GdiEscapeRecord {
    HDC hdc;
    int code;
    std::vector<BYTE> input; /* a copy of the input */
    int outputSize;
    int answer;
    bool scripted;           /* answered by the script, not by the library */
};

/* Every ExtEscape on a live context since the last clear, oldest first (the first 4,096). */
std::vector<GdiEscapeRecord> gdi_escape_log();

/*
 * Makes the next `times` escapes `code` answer `answer` without reaching
 * the library (recorded as scripted), writing `output` (at most the
 * caller's output size) into the caller's output.  machine_reset and
 * gdi_escape_clear empty the record and the script.
 */
void gdi_escape_script(int code, int answer, unsigned times = 1, std::vector<BYTE> output = {});
void gdi_escape_clear();

} // namespace plat

#endif /* PLAT_GDI_H */
