/*
 * What the colour object does to colours during the job: solid colours of
 * text and graphics pass by pass (grey, gain and offset, the lookup grids,
 * the adjustment matrix, black and white), image rows and palettes with the
 * current image's working flags, and the working flags themselves when a
 * blt draws an image.
 */
#include "clr_color_object.h"

#include "blt_image_spool.h"
#include "clr_settings.h"
#include "job_state.h"
#include "not_built.h"

#include <algorithm>
#include <cstring>

namespace {

/* Largest width or height a conversion takes. */
constexpr LONG kMaxSide = 65535;

/* Grey weights of image pixels (out of 256). */
constexpr LONG kGreyRed = 77, kGreyGreen = 151, kGreyBlue = 28;

/* Scan-state answers the planning looks at. */
constexpr LONG kScanColor = 1;
constexpr LONG kScanExactGrey = 2;

bool all_grey(const BYTE *p, LONG count)
{
    for (LONG i = 0; i < count; i++, p += 3)
        if (p[0] != p[1] || p[1] != p[2])
            return false;
    return true;
}

/* One grey byte a pixel with the image weights. */
void image_grey(const BYTE *src, BYTE *dst, LONG count)
{
    for (LONG i = 0; i < count; i++, src += 3)
        dst[i] = BYTE((kGreyRed * src[2] + kGreyGreen * src[1] + kGreyBlue * src[0]) >> 8);
}

/* Pixels the grey pass converts at a time through a buffer of its own. */
constexpr LONG kGreyChunk = 256;

/*
 * The image passes over `count` pixels from `src` to `dst` (which may be
 * `src`); true when they ended in grey (one byte a pixel in `dst`, which
 * then need hold only `count` bytes).
 */
bool image_passes(const ColorObject *o, WORD flags, const BYTE *src, BYTE *dst, LONG count)
{
    auto colour_passes = [o, flags](BYTE *p, LONG n) {
        if ((flags & CLR_IMAGE_BUILTIN) && o->builtin)
            ICC_ApplyGridLut(o->builtin, p, p, n);
        if ((flags & CLR_IMAGE_PROFILE2) && o->profile2)
            ICC_ApplyGridLut(o->profile2, p, p, n);
        if ((flags & CLR_IMAGE_MATRIX3) && o->matrix3)
            CLU_ApplyAdjustMatrix(o->matrix3, p, p, n);
    };
    if (!(flags & CLR_IMAGE_GREY)) {
        if (src != dst)
            std::memmove(dst, src, size_t(count) * 3);
        colour_passes(dst, count);
        return false;
    }
    /* The colour passes run in a chunk buffer, so that `dst` is never written past its grey bytes. */
    BYTE chunk[kGreyChunk * 3];
    for (LONG done = 0; done < count; done += kGreyChunk) {
        const LONG n = std::min(kGreyChunk, count - done);
        std::memcpy(chunk, src + size_t(done) * 3, size_t(n) * 3);
        colour_passes(chunk, n);
        image_grey(chunk, dst + done, n);
    }
    return true;
}

} // namespace

void CLR_BlackOrWhite(BYTE *pixels, LONG count, int bytes)
{
    if (!pixels || (bytes != 1 && bytes != 3))
        return;
    BYTE *p = pixels;
    for (LONG i = 0; i < count; i++, p += bytes) {
        bool white = p[0] == 255 && (bytes == 1 || (p[1] == 255 && p[2] == 255));
        std::memset(p, white ? 255 : 0, size_t(bytes));
    }
}

void CLR_BuildGainOffset(GainOffset *pair, SHORT brightness, SHORT contrast)
{
    if (!pair)
        return;
    /* In thousandths, so that the 16.16 forms are the exact values truncated toward zero. */
    const LONGLONG a = std::clamp<int>(brightness, -100, 100), c = std::clamp<int>(contrast, -100, 100);
    const LONGLONG gain = 1000 + 3 * c;           /* 1 + 0.003 c */
    const LONGLONG offset = 500 * a - 765 * c;    /* 0.5 a + (1 - gain) x 255 */
    pair->gain = LONG(gain * 65536 / 1000);
    pair->offset = LONG(offset * 65536 / 1000);
}

void CLR_ApplyGainOffset(const GainOffset *pair, BYTE *grey, LONG count)
{
    if (!pair || !grey)
        return;
    const LONG add = pair->offset >> 16; /* the offset's integer part: its upper 16 bits */
    for (LONG i = 0; i < count; i++) {
        LONGLONG v = ((LONGLONG(grey[i]) * pair->gain) >> 16) + add;
        grey[i] = BYTE(std::clamp<LONGLONG>(v, 0, 255));
    }
}

int CLR_ConvertColor(ColorObject *object, const LONG *scanState, const PdevContext *pdev, void *settings,
                     const BYTE *src, BYTE *dst, LONG width, LONG height, LONG paletteCount, LONG kind,
                     BOOL trustScan)
{
    if (!object || !src || !dst || (kind != CLR_KIND_TEXT && kind != CLR_KIND_GRAPHICS))
        return CLR_ERR_ARGS;
    if (width > kMaxSide || height > kMaxSide)
        return CLR_ERR_SIZE;
    const LONGLONG pixels = paletteCount > 0 ? paletteCount : (width > 0 && height > 0 ? LONGLONG(width) * height : 0);
    if (pixels <= 0)
        return CLR_ERR_ARGS;
    if (pixels > 0x7FFFFFFF / 3) /* the byte count of the pixels must fit */
        return CLR_ERR_SIZE;
    const LONG count = LONG(pixels);
    LONG colorMode = 0, greyHandling = 0, blackWhiteMode = 0;
    if (CLR_ReadSetting(settings, 270, &colorMode) != 0 || CLR_ReadSetting(settings, 455, &greyHandling) != 0 ||
        CLR_ReadSetting(settings, 454, &blackWhiteMode) != 0)
        return CLR_ERR_ARGS;

    const SolidColorSettings options{colorMode, greyHandling, blackWhiteMode};
    const WORD passes = CLR_PlanPasses(object, options, scanState, pdev, src, count, kind, trustScan);
    (kind == CLR_KIND_TEXT ? object->textPasses : object->graphicsPasses) = passes;
    return CLR_ApplyPasses(object, passes, kind, src, dst, count);
}

WORD CLR_PlanPasses(const ColorObject *object, const SolidColorSettings &settings, const LONG *scanState,
                    const PdevContext *pdev, const BYTE *src, LONG count, LONG kind, BOOL trustScan)
{
    if (!object || (pdev && JOB_IsDecorationDrawing(pdev)))
        return 0;
    const bool text = kind == CLR_KIND_TEXT;
    const bool mono = settings.colorMode == 1;
    const bool grey = !mono && (settings.greyHandling == 3 || settings.greyHandling == (text ? 1 : 2));
    const bool blackWhite = settings.blackWhite == 3 || settings.blackWhite == (text ? 1 : 2);
    WORD passes = 0;
    bool isGrey = false;
    if (grey) {
        const LONG scan = scanState ? *scanState : 0;
        if (scan == kScanExactGrey)
            isGrey = true;
        else if (!(scan == kScanColor && trustScan))
            isGrey = src && all_grey(src, count);
        if (isGrey)
            passes |= CLR_PASS_GREY | ((text ? object->gain1 : object->gain2) ? CLR_PASS_GAIN : 0);
    }
    if ((mono && !blackWhite) || (!mono && !(grey && isGrey))) {
        if (text ? object->matrix1 : object->matrix2)
            passes |= CLR_PASS_MATRIX;
        if (object->builtin)
            passes |= CLR_PASS_BUILTIN;
        if (object->profile1)
            passes |= CLR_PASS_PROFILE1;
    }
    if (blackWhite)
        passes |= CLR_PASS_BLACK_WHITE;
    return passes;
}

int CLR_ApplyPasses(const ColorObject *object, WORD passes, LONG kind, const BYTE *src, BYTE *dst, LONG count)
{
    if (!object || !src || !dst || count < 0)
        return CLR_ERR_ARGS;
    const bool text = kind == CLR_KIND_TEXT;
    int result = CLR_RESULT_COLOR;
    if (passes & CLR_PASS_GREY) {
        CLU_RgbToGrey(src, dst, count, 1);
        result = CLR_RESULT_GREY;
        if (passes & CLR_PASS_GAIN)
            CLR_ApplyGainOffset(text ? object->gain1 : object->gain2, dst, count);
    } else {
        std::memmove(dst, src, size_t(count) * 3);
        if (passes & CLR_PASS_BUILTIN)
            ICC_ApplyGridLut(object->builtin, dst, dst, count);
        if (passes & CLR_PASS_PROFILE1)
            ICC_ApplyGridLut(object->profile1, dst, dst, count);
        if (passes & CLR_PASS_MATRIX)
            CLU_ApplyAdjustMatrix(text ? object->matrix1 : object->matrix2, dst, dst, count);
    }
    if (passes & CLR_PASS_BLACK_WHITE)
        CLR_BlackOrWhite(dst, count, result == CLR_RESULT_GREY ? 1 : 3);
    return result;
}

int CLR_ConvertImageRows(ColorObject *object, const BYTE *rows, BYTE *dst, LONG width, LONG height,
                         const BYTE *palette, BYTE *paletteDst, LONG paletteCount, LONG format, LONG bitsPerPixel,
                         BOOL blackWhite, LONG)
{
    if (!object)
        return CLR_ERR_ARGS;
    if (width > kMaxSide || height > kMaxSide)
        return CLR_ERR_SIZE;
    if (format == CLR_FORMAT_RGB && bitsPerPixel == 24) {
        const WORD flags = object->imageFlags;
        if (!rows || !dst || width <= 0 || height <= 0)
            return CLR_ERR_ARGS;
        bool greyOut = false;
        /* Row by row: width x height may pass LONG's range, a row never does. */
        for (LONG y = 0; y < height; y++) {
            const size_t row = size_t(y) * size_t(width);
            greyOut = image_passes(object, flags, rows + row * 3, dst + row * (flags & CLR_IMAGE_GREY ? 1 : 3), width);
        }
        return greyOut ? CLR_RESULT_GREY : CLR_RESULT_COLOR;
    }
    if (format == CLR_FORMAT_PALETTE && (bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8)) {
        if (!palette || !paletteDst || paletteCount <= 0 || paletteCount > (1 << bitsPerPixel))
            return CLR_ERR_ARGS;
        const WORD flags = WORD(object->imageFlags | (blackWhite ? CLR_IMAGE_GREY : 0));
        return image_passes(object, flags, palette, paletteDst, paletteCount) ? CLR_RESULT_GREY : CLR_RESULT_COLOR;
    }
    return CLR_ERR_ARGS;
}

int CLR_PrepareImage(ColorObject *object, PendingImageList *list, void *settings, PdevContext *pdev, const void *,
                     LONG width, LONG height, LONG bitsPerPixel, LONG ropMode, LONG rop3, LONG code)
{
    if (!object)
        return -1;
    LONG colorMode = 0, engineMode = 0;
    if (CLR_ReadSetting(settings, 270, &colorMode) != 0 || CLR_ReadSetting(settings, 291, &engineMode) != 0)
        return -1;
    object->engineMode = WORD(engineMode);
    WORD flags = WORD(object->imageFlags & CLR_IMAGE_ENGINE);
    if (object->matrix3)
        flags |= CLR_IMAGE_MATRIX3;
    if (object->builtin)
        flags |= CLR_IMAGE_BUILTIN;
    if (object->profile2)
        flags |= CLR_IMAGE_PROFILE2;
    int result = 0;
    if (object->engineMode && object->engineHandle) {
        switch (CLR_MatchImageBand(list, width, height, bitsPerPixel, ropMode, rop3, code)) {
        case 8:
            if (BLT_FlushPendingImages(pdev, TRUE) != 0)
                result = -1;
            flags &= WORD(~CLR_IMAGE_ENGINE);
            break;
        case 6:
            if (BLT_FlushPendingImages(pdev, TRUE) != 0)
                result = -1;
            flags |= CLR_IMAGE_ENGINE;
            break;
        case 7:
            flags |= CLR_IMAGE_ENGINE;
            break;
        default: /* the picture matching failed: this image goes without the engine */
            flags &= WORD(~CLR_IMAGE_ENGINE);
            result = -1;
            break;
        }
    }
    if (colorMode == 1)
        flags |= CLR_IMAGE_GREY;
    object->imageFlags = flags;
    return result;
}
