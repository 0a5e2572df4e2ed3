/*
 * The device context of the rendering library (private): one per printer
 * device context the graphics engine creates, in a private heap of its own
 * that is destroyed whole with it.  It holds the job's settings, the
 * printer-wide settings record, the open model data, the paper forms, the
 * engine's handles and, once a document starts, every piece of job state.
 * Two magics, the first and the last field, mark a live context.
 *
 * Fields of the later parts of a job (the job settings snapshot, the page
 * layout, the colour object, pending images, ...) are pointers to records of
 * the parts that fill them, allocated on the context's heap; they stay null
 * until those parts run.
 */
#ifndef TARVELGR_PDEV_CONTEXT_H
#define TARVELGR_PDEV_CONTEXT_H

#include "job_state.h"
#include "paper_form.h"
#include "page_colors.h"
#include "pclxl_ops.h"
#include "pclxl_transform.h"
#include "pth_path_state.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>

#include <plat/engine.h>
#include <plat/types.h>

struct OutputChannel;
struct JobSettings;
struct PageLayout;
struct JobInfoRecord;
struct DeviceFontRecord;
struct DeviceFontEntry;
struct DownloadedFont;
struct TrueTypeFontInfo;
struct ColorObject;
struct ImageSpool;
struct PendingImageList;

/* The magic of a live context: the letters "KRLD" read as a number, most significant first. */
inline constexpr DWORD PDEV_MAGIC = 0x4B524C44u;

/* Byte size of the job devmode and the offsets of its tail. */
inline constexpr DWORD PDEV_JOB_DEVMODE_SIZE = 5920;
inline constexpr WORD PDEV_JOB_DEVMODE_EXTRA = 5700;   /* dmDriverExtra of a job devmode */
inline constexpr WORD PDEV_PUBLIC_DEVMODE_SIZE = 220;  /* dmSize */
inline constexpr WORD PDEV_JOB_DEVMODE_MARKER = 24;
inline constexpr DWORD PDEV_TAIL_MARKER = 5896;        /* unsigned 16-bit marker */
inline constexpr DWORD PDEV_TAIL_PAPER = 5898;         /* 12 bytes of job-form paper */
inline constexpr DWORD PDEV_TAIL_EXTRA0 = 5912;        /* user-paper flag */
inline constexpr DWORD PDEV_TAIL_EXTRA1 = 5916;

/* Settings (DDMIDs) the device context reads. */
enum : WORD {
    ID_DEVMODE_SIZE = 4,      /* dmSize */
    ID_DRIVER_EXTRA = 5,      /* dmDriverExtra */
    ID_DM_FIELDS = 6,
    ID_ORIENTATION = 7,       /* 1 portrait, 2 landscape */
    ID_PAPER_SIZE = 8,        /* paper number */
    ID_PAPER_LENGTH = 9,      /* tenths of a millimetre */
    ID_PAPER_WIDTH = 10,
    ID_SCALE = 11,            /* percent */
    ID_COPIES = 12,
    ID_COLOR = 15,            /* 2 colour */
    ID_FORM_NAME = 19,
    ID_RESOLUTION = 20,       /* horizontal dpi */
    ID_OUTPUT_PAPER = 262,    /* 267: the job's own paper */
    ID_COLOUR_MODE = 270,     /* 1 monochrome */
    ID_S292 = 292,            /* 1: no device fonts for the engine */
    ID_BORDERLESS = 383,      /* 1: no margins */
    ID_USER_MARGINS = 387,    /* 1: the job devmode's margins */
    ID_FULL_COLOUR = 464,     /* 1: 24-bit colour reported */
    ID_S1332 = 1332,          /* the extension's protocol class is reported */
    ID_S1333 = 1333,          /* on: the engine may journal */
    ID_S1343 = 1343,          /* on: no device fonts for the engine */
    ID_DUPLEX_UNIT = 4103,    /* printer data: duplex unit installed */
    ID_PROTOCOL_CLASS = 8205, /* printer data: PCL XL protocol class */
};

/* PdevFlags. */
enum : DWORD {
    PDEV_STARTDOC_SEEN = 0x4,
    PDEV_FAILED = 0x8,
    PDEV_PAGE_STARTED = 0x4000,
    PDEV_PAGE_IN_PROGRESS = 0x8000,
    PDEV_RESET_IN_DOC = 0x100000,
};

/* Sheet rotation codes kept by the sheet pipeline (anything else counts as none). */
enum : LONG {
    SHEET_ROTATE_NONE = 1,
    SHEET_ROTATE_180 = 2,
    SHEET_ROTATE_90 = 3,
    SHEET_ROTATE_270 = 4,
};

/* A page's paper index and margins (tenths of a millimetre), as the escapes carry them (10 bytes). */
struct StartPagePaperInfo {
    WORD paperIndex;
    WORD left;
    WORD right;
    WORD top;
    WORD bottom;
};

/* The job devmode's paper: its paper number, then the paper information (12 bytes). */
struct JobFormPaper {
    WORD paperSize;
    StartPagePaperInfo info;
};
static_assert(sizeof(JobFormPaper) == 12, "job-form paper layout");

/* Overrides of the application-escape extension, in this order. */
enum : int {
    EXT_OVERRIDE_PAGES_PER_SHEET = 0, /* setting 295 */
    EXT_OVERRIDE_NUP_ORDER = 1,       /* 264 */
    EXT_OVERRIDE_NUP_ORIENTATION = 2, /* 294 */
    EXT_OVERRIDE_321 = 3,
    EXT_OVERRIDE_296 = 4,
    EXT_OVERRIDE_DUPLEX = 5,          /* 16 */
    EXT_OVERRIDE_COUNT = 6,
};

/* "No override" and "no colour mode" of the extension record. */
inline constexpr WORD EXT_NONE = 0xFFFF;

/* The application-escape extension of a device context. */
struct ExtEscapeRecord {
    DWORD mode;                        /* 0 off, 1 on */
    DWORD protocolClass;
    DWORD duplexAllowed;
    DWORD colourDevice;
    WORD lastSequenceId;
    WORD currentSequenceId;
    DWORD sequenceLength;
    DWORD received;
    WORD overrides[EXT_OVERRIDE_COUNT]; /* EXT_NONE: no override */
    WORD colourMode;                    /* 0 automatic, 1 monochrome, 2 colour; EXT_NONE initially */
    DWORD colourOverride;
    DWORD saved;
    WORD savedValues[7];               /* 295, 264, 294, 321, 296, 16, 270 */
    void *image;                       /* the JPEG of the sequence in progress, collected until its last piece */
};

/* The spooler job and document-monitor registration of a job. */
struct JobOwnerRecord {
    DWORD jobId;
    void *registration;
};

/* Bytes of the job identity block (computer, document, user and printer names). */
inline constexpr DWORD PDEV_JOB_IDENTITY_SIZE = 2112;

struct PdevContext {
    DWORD headMagic;                      /* PDEV_MAGIC while live */
    BYTE settings[SETTINGS_IMAGE_SIZE];   /* the settings image every settings read goes to */
    BYTE *printerData;                    /* the PrinterData record (6,148 bytes, on the heap) */
    HANDLE heap;                          /* the private heap of this context */
    HANDLE printer;                       /* the spooler handle given to DrvEnablePDEV */
    LONG logicalResolution;               /* setting 20 x setting 11 / 100 */
    LONG copyCount;                       /* setting 12 */
    HDEV engineDevice;
    HSURF surface;                        /* of DrvEnableSurface */
    HPALETTE palette;                     /* DEVINFO's default palette */
    DWORD flags;                          /* PdevFlags */
    PaperForm jobForm;
    PaperForm feedForm;
    PaperForm sheetForm;                  /* kept by the sheet pipeline */
    ModelContext *model;
    ModelFileReader *mainReader;          /* the model context's two readers */
    ModelFileReader *companionReader;

    /* Device fonts of the model. */
    DWORD deviceFontCount;                /* fonts shown to the engine */
    DeviceFontRecord **deviceFonts;
    DWORD fontEntryCount;                 /* all device fonts */
    DeviceFontEntry **fontEntries;
    LPWSTR fontSubTable;                  /* the printer's FontSubTable, fetched on first use */
    DownloadedFont *downloadedFonts;      /* fonts downloaded on this page, most recently used first */
    DWORD downloadedFontCount;
    TrueTypeFontInfo *runFontInfo;        /* the TrueType data of the run a caller gave no record for */

    OutputChannel *channel;               /* the job's output channel; null outside a job */
    JobSettings *jobSettings;
    PageLayout *pageLayout;

    /* Job and page state. */
    DWORD jobState;
    DWORD jobAbortError;                  /* last error of the failure that aborted the job; 0 when none */
    DWORD recordFlags;
    JobCounters jobCounters;              /* sheet counters of the job, cleared with jobState */
    LONG pageColorMode;
    PageColorSet pageColors;              /* colours of the current page, reset when the channel opens */
    LONG sheetRotation;                   /* SHEET_ROTATE_...: the base angle of page transforms */
    BOOL watermarkBracket;
    BOOL annotationBracket;

    JobFormPaper jobFormPaper;            /* from the job devmode's tail */
    DWORD jobFormExtras[2];               /* the two values at its end; [0] != 0: a user paper */
    void *annotation;
    void *copySetData;
    LONG copySetMode;                     /* 1 when the model's device class is 2 */
    LONG formFound;                       /* form-overlay jobs: the form streams are defined in this output */
    LONG formColorMode;                   /* the form's "ColorMode=" (2: a colour form) */
    LONG startDocNotice;
    ExtEscapeRecord ext;
    JobInfoRecord *jobInfo;
    CtmTracker *ctmTracker;               /* the job's CTM tracker */
    ColorObject *colorObject;
    LONG *colorScanState;                 /* result of the last colour classification (1-4); null outside a job */
    ImageSpool *imageSpool;
    PendingImageList *pendingImages;      /* made with the image spool */
    JobOwnerRecord owner;
    void *copySetHeaders;
    BYTE settingsCopy[SETTINGS_IMAGE_SIZE]; /* the settings when the first sheet was set up */
    BYTE jobIdentity[PDEV_JOB_IDENTITY_SIZE];
    DWORD auxBlockSize;                   /* escape data blocks */
    void *auxBlock;
    DWORD extDataSize;
    void *extData;
    DWORD copySetRecordsSize;             /* bytes of the copy-set record block (rows of 68 bytes) */
    void *copySetRecords;
    StartPagePaperInfo pagePaperInfo;     /* the next page's paper and margins, from the page-info escape */
    LONG pagePaperInfoSet;                /* 1 once the page-info escape gave them */
    GraphicsStateCache xlCache;           /* the PCL XL graphics-state cache */
    PathClipState pathClip;               /* the page's clip as the path work last set it */
    DWORD tailMagic;                      /* PDEV_MAGIC while live */
};

/* True when `pdev` is set and both magics hold. */
bool PDEV_IsValid(const PdevContext *pdev);

/* The context behind the engine's handle of it (no check). */
inline PdevContext *PDEV_FromHandle(DHPDEV dhpdev) { return reinterpret_cast<PdevContext *>(dhpdev); }

/* The context of a surface object (its dhpdev), or null without one (no check). */
inline PdevContext *PDEV_FromSurface(const SURFOBJ *pso) { return pso ? PDEV_FromHandle(pso->dhpdev) : nullptr; }

/* The context of a surface object when it passes PDEV_IsValid, else null with ERROR_INVALID_PARAMETER. */
PdevContext *PDEV_CheckedFromSurface(const SURFOBJ *pso);

/*
 * Settings of the context, read through the data-manager binding from its
 * settings image and printer data.  Numbers are widened to 32 bits (signed
 * types sign-extended).  0, or -1 when the setting cannot be read (then
 * *value is 0).
 */
int PDEV_GetSetting32(PdevContext *pdev, WORD id, DWORD *value);
int PDEV_GetSetting16(PdevContext *pdev, WORD id, WORD *value);

/* PDEV_GetSetting32 on a settings image and printer-data record of the caller's. */
int PDEV_ReadSetting32(void *settings, void *printerData, WORD id, DWORD *value);

/*
 * A string setting: a pointer into the settings, or null when it cannot be
 * read.  Some fields lie at odd offsets, so read the text through
 * PDEV_CopySettingString (or memcpy) rather than as WCHARs in place.
 */
LPCWSTR PDEV_GetSettingString(PdevContext *pdev, WORD id);

/*
 * Copies a string setting into `buffer` of `chars` characters (at most
 * chars - 1 and a terminator).  0, or -1 when it cannot be read (then the
 * buffer holds an empty text).
 */
int PDEV_CopySettingString(PdevContext *pdev, WORD id, LPWSTR buffer, size_t chars);

/*
 * Copies the UTF-16 text field `text` of `size` bytes (possibly at an odd
 * address) into `buffer` of `chars` characters: up to its terminator, never
 * past the field or the buffer, always terminated.
 */
void PDEV_CopyWideField(const BYTE *text, LONG size, LPWSTR buffer, size_t chars);

/* Writes a number setting of up to 16 bits in its own type.  0, or -1. */
int PDEV_SetSetting16(PdevContext *pdev, WORD id, WORD value);

/*
 * The engine's halftone pattern size for resolutions a and b: by the
 * smaller one, 15 at 2,400 dpi and above, 13 from 1,800, 11 from 1,200, 9
 * from 900, 7 from 400, 5 from 180, 3 below; 2 less with `smaller`.
 */
ULONG PDEV_HalftoneSize(LONG a, LONG b, BOOL smaller);

#endif /* TARVELGR_PDEV_CONTEXT_H */
