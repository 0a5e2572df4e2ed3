/*
 * The job's colour object: every colour that reaches the page goes through
 * it (adjustment matrices, gain and offset, the built-in monitor model, ICC
 * transforms, the outside colour-matching engine).  One per job, made when
 * the job opens from the job's settings and freed when it ends.  Pixels are
 * three bytes in the order blue, green, red (or one grey byte after the
 * grey pass).
 */
#ifndef TARVELGR_CLR_COLOR_OBJECT_H
#define TARVELGR_CLR_COLOR_OBJECT_H

#include "icc_transform.h"
#include "qce_engine.h"

#include <tarvel/base/color_adjust.h>

#include <plat/types.h>

#include <cstddef>

struct PdevContext;
struct PendingImageList;

/* Set-up flags: the pieces in use. */
enum : WORD {
    CLR_SETUP_MATRIX1 = 0x1,
    CLR_SETUP_GAIN1 = 0x2,
    CLR_SETUP_MATRIX2 = 0x4,
    CLR_SETUP_GAIN2 = 0x8,
    CLR_SETUP_MATRIX3 = 0x10,
    CLR_SETUP_MATRIX_ALL = 0x20,
    CLR_SETUP_GAIN_ALL = 0x40,
    CLR_SETUP_BUILTIN = 0x80,
    CLR_SETUP_PROFILE1 = 0x100,
    CLR_SETUP_PROFILE2 = 0x200,
    CLR_SETUP_ENGINE = 0x400,
};

/* Passes of a solid colour, in the order they run. */
enum : WORD {
    CLR_PASS_GREY = 0x1,
    CLR_PASS_GAIN = 0x4,
    CLR_PASS_BUILTIN = 0x8,
    CLR_PASS_PROFILE1 = 0x10,
    CLR_PASS_MATRIX = 0x2,
    CLR_PASS_BLACK_WHITE = 0x20,
};

/* Working flags of the current image. */
enum : WORD {
    CLR_IMAGE_MATRIX3 = 0x2,
    CLR_IMAGE_BUILTIN = 0x8,
    CLR_IMAGE_PROFILE2 = 0x10,
    CLR_IMAGE_GREY = 0x20,
    CLR_IMAGE_ENGINE = 0x100,
};

/* Kinds of solid colour. */
enum : LONG {
    CLR_KIND_TEXT = 0,
    CLR_KIND_GRAPHICS = 1,
};

/* Answers of the conversions. */
enum : int {
    CLR_RESULT_COLOR = 1,   /* three bytes a pixel */
    CLR_RESULT_GREY = 2,    /* one byte a pixel */
    CLR_ERR_ARGS = -1,
    CLR_ERR_SIZE = -5,      /* more than 65,535 pixels in a row or rows */
};

/* Image formats of CLR_ConvertImageRows. */
enum : LONG {
    CLR_FORMAT_RGB = 4,
    CLR_FORMAT_PALETTE = 11,
};

/* A gain and an offset in 16.16 fixed point. */
struct GainOffset {
    LONG gain;
    LONG offset;
};

struct ColorObject {
    WORD setup;                     /* CLR_SETUP_ */
    WORD textPasses;                /* CLR_PASS_ of the last text colour */
    WORD graphicsPasses;            /* CLR_PASS_ of the last brush, pen or fill colour */
    WORD imageFlags;                /* CLR_IMAGE_ of the current image */
    ColorTransform *builtin;
    ColorTransform *profile1;
    ColorTransform *profile2;       /* profile1 when both are one profile */
    AdjustMatrix *matrix1;          /* text */
    AdjustMatrix *matrix2;          /* graphics */
    AdjustMatrix *matrix3;          /* images */
    GainOffset *gain1;              /* text */
    GainOffset *gain2;              /* graphics */
    DWORD engineHandle;             /* 0: no engine */
    ColorTransform storageA;        /* the built-in model or profile 1 */
    ColorTransform storageB;        /* profile 2 */
    AdjustMatrix matrixStorage[3];
    GainOffset gainStorage[2];
    HMODULE engineModule;
    QceEngineProcs engine;
    WORD engineMode;                /* setting 291 */
};

/*
 * Makes the job's colour object from the settings image `settings` into
 * *object.  A profile that cannot be used is reported with a message box
 * (the text is string 1 of `resourceModule` with the profile's path); OK
 * goes on without it.  `printer` names the model that names the outside
 * engine.  0; -1 bad arguments; -2 no memory; -3 (profile 1) or -4
 * (profile 2) when the user chose Cancel, *object then null.
 */
int CLR_CreateColorObject(ColorObject **object, void *settings, HMODULE resourceModule, HANDLE printer);

/* Invalidates the transforms, releases the outside engine and frees the object; null is ignored. */
void CLR_FreeColorObject(ColorObject *object);

/* 4 while the outside engine converts the current image, 3 otherwise, -1 without an object. */
int CLR_GetMode(const ColorObject *object);

/*
 * Converts a solid colour (or a few pixels) of `kind` (CLR_KIND_) from
 * `src` to `dst` (room for three bytes a pixel).  `scanState` is the colour
 * scan state (1 colour, 2 exact grey, 3 near grey, 4 not tested), null when
 * there is none; `trustScan` lets a colour result of it stand.  The pixels
 * are `paletteCount` when that is above 0, else width x height.  `pdev` (may
 * be null) tells whether decoration is being drawn.  CLR_RESULT_COLOR or
 * CLR_RESULT_GREY; CLR_ERR_ARGS for bad arguments or a setting that cannot
 * be read; CLR_ERR_SIZE for a size above 65,535.
 */
int CLR_ConvertColor(ColorObject *object, const LONG *scanState, const PdevContext *pdev, void *settings,
                     const BYTE *src, BYTE *dst, LONG width, LONG height, LONG paletteCount, LONG kind,
                     BOOL trustScan);

/*
 * Converts image rows with the current image's working flags: format
 * CLR_FORMAT_RGB at 24 bits converts width x height pixels from `rows` to
 * `dst`; CLR_FORMAT_PALETTE at 1, 4 or 8 bits converts the `paletteCount`
 * colours of `palette` to `paletteDst`, where `blackWhite` adds the grey
 * pass.
 * CLR_RESULT_COLOR, or CLR_RESULT_GREY after the grey pass (one byte a
 * pixel); CLR_ERR_ARGS for a format it does not handle; CLR_ERR_SIZE for a
 * size above 65,535.
 */
int CLR_ConvertImageRows(ColorObject *object, const BYTE *rows, BYTE *dst, LONG width, LONG height,
                         const BYTE *palette, BYTE *paletteDst, LONG paletteCount, LONG format, LONG bitsPerPixel,
                         BOOL blackWhite, LONG reserved);

/*
 * Sets the working flags of the image a blt is about to draw (settings 270
 * and 291 of `settings`).  0, or -1 when a setting cannot be read or the
 * outside engine's picture matching failed.
 */
int CLR_PrepareImage(ColorObject *object, PendingImageList *list, void *settings, PdevContext *pdev,
                     const void *bits, LONG width, LONG height, LONG bitsPerPixel, LONG ropMode, LONG rop3,
                     LONG code);

/*
 * Whether a blt continues the picture the outside engine sees (7), starts a
 * new one (6) or is not for the engine (8).  Waits for the pending-image
 * list: -1 meanwhile.
 */
int CLR_MatchImageBand(PendingImageList *list, LONG width, LONG height, LONG bitsPerPixel, LONG ropMode,
                       LONG rop3, LONG code);

/* Converts the held images (through the outside engine when it sees them).  0, -1, -2 or -6. */
int CLR_ConvertPendingImages(ColorObject *object, PendingImageList *list, BOOL release);

/* ---- Pieces of the above, for the tests ------------------------------------------ */

/* Longest profile path taken from the settings, in characters (with the terminator). */
inline constexpr size_t CLR_PROFILE_PATH_CHARS = 260;

/* What the colour settings say, read once when the object is made. */
struct ColorSetup {
    SHORT group[4][3];      /* groups 1-3 and all groups: brightness, saturation, contrast steps */
    WORD whitePoint;
    WORD gammaCode;
    WCHAR profile1[CLR_PROFILE_PATH_CHARS];
    WCHAR profile2[CLR_PROFILE_PATH_CHARS];
    WORD sameProfile;       /* setting 1305 */
};

/* The set-up flags (CLR_SETUP_) from the settings into *setup; 0 when a setting every decision needs cannot be read. */
WORD CLR_ReadColorSettings(void *settings, ColorSetup *setup);

/*
 * Loads every piece the object's set-up flags ask for, each failing alone;
 * `printer` names the model that names the outside engine.  0; -1 without
 * an object; -3 / -4 when profile 1 / 2 is unusable.
 */
int CLR_LoadTransforms(ColorObject *object, const ColorSetup &setup, HANDLE printer);

/* The settings a solid colour's passes depend on. */
struct SolidColorSettings {
    LONG colorMode;     /* setting 270; 1: monochrome */
    LONG greyHandling;  /* setting 455; 1 text, 2 graphics, 3 both */
    LONG blackWhite;    /* setting 454; 1 text, 2 graphics, 3 both */
};

/*
 * The passes (CLR_PASS_) a solid colour of `kind` takes: `src` holds its
 * `count` pixels for the grey test, `scanState` and `trustScan` as in
 * CLR_ConvertColor.  None while `pdev` draws decoration.
 */
WORD CLR_PlanPasses(const ColorObject *object, const SolidColorSettings &settings, const LONG *scanState,
                    const PdevContext *pdev, const BYTE *src, LONG count, LONG kind, BOOL trustScan);

/*
 * Runs `passes` over `count` pixels of `kind` from `src` to `dst` (room for
 * three bytes a pixel; may be `src`) in their order.  CLR_RESULT_COLOR, or
 * CLR_RESULT_GREY after the grey pass; CLR_ERR_ARGS for bad arguments.
 */
int CLR_ApplyPasses(const ColorObject *object, WORD passes, LONG kind, const BYTE *src, BYTE *dst, LONG count);

/* Pure white (all `bytes` of a pixel 255) stays white, any other pixel becomes black; `bytes` is 1 or 3. */
void CLR_BlackOrWhite(BYTE *pixels, LONG count, int bytes);

/* Gain 1 + 0.003 c and offset 0.5 a + (1 - gain) x 255 (a, c clamped to -100..100), 16.16 truncated. */
void CLR_BuildGainOffset(GainOffset *pair, SHORT brightness, SHORT contrast);

/* Each of `count` grey bytes x gain + the offset's integer part, clamped to 0..255. */
void CLR_ApplyGainOffset(const GainOffset *pair, BYTE *grey, LONG count);

#endif /* TARVELGR_CLR_COLOR_OBJECT_H */
