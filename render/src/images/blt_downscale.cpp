/*
 * Area-average downscaling of high-resolution source images: whether an
 * image is reduced (from the device and target resolutions), the per-axis
 * tables of source pixels and weights, and the row-by-row reduction of
 * 24-bit rows with at most 16 source rows held.
 */
#include "blt_records.h"
#include "clr_settings.h"
#include "draw_blt.h"

#include <cstring>
#include <new>

namespace {

enum : WORD {
    ID_RESOLUTION_X = 20,
    ID_RESOLUTION_Y = 21,
    ID_TARGET_RESOLUTION = 350,
    ID_DOWNSCALE_ON = 1302,
};

/* The reduced size of one axis: the destination at the target resolution, capped at 14:1. */
LONG reduced_side(LONG source, LONG destination, LONG target, LONG resolution)
{
    LONGLONG w = LONGLONG(destination) * target / resolution;
    if (w < 1)
        w = 1;
    if (source / w > BLT_DOWNSCALE_MAX_RATIO)
        w = source / BLT_DOWNSCALE_MAX_RATIO + 1;
    return LONG(w < source ? w : source);
}

/* The weighted average of one colour byte over source pixels first..last (stride `step` bytes). */
inline BYTE average(const BYTE *p, const AxisEntry &e, size_t step)
{
    DWORD sum = DWORD(p[e.first * step]) * e.firstWeight;
    DWORD total = e.firstWeight;
    for (DWORD k = DWORD(e.first) + 1; k < e.last; k++) {
        sum += DWORD(p[k * step]) * 256;
        total += 256;
    }
    if (e.last != e.first) {
        sum += DWORD(p[size_t(e.last) * step]) * e.lastWeight;
        total += e.lastWeight;
    }
    return BYTE((sum + total / 2) / total);
}

void free_rows(BYTE **rows)
{
    for (int i = 0; i < BLT_DOWNSCALE_ROWS; i++) {
        delete[] rows[i];
        rows[i] = nullptr;
    }
}

} // namespace

DownscaleState *BLT_NewDownscale() { return new (std::nothrow) DownscaleState{}; }

bool BLT_PlanDownscale(void *settings, DownscaleState *downscale, SURFOBJ *psoSrc, const SIZEL *size,
                       const RECTL *prclDest, LONG ropMode, BYTE rop3)
{
    if (!downscale || !psoSrc || !size || !prclDest || ropMode != 2 || rop3 != 0xCC)
        return false;
    const ULONG bits = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    if (bits != 16 && bits != 24 && bits != 32)
        return false;
    LONG on = 0, target = 0, resX = 0, resY = 0;
    if (CLR_ReadSetting(settings, ID_DOWNSCALE_ON, &on) != 0 || CLR_ReadSetting(settings, ID_TARGET_RESOLUTION, &target) != 0 ||
        (on & 0xFF) == 0 || (target & 0xFFFF) == 0)
        return false;
    if (CLR_ReadSetting(settings, ID_RESOLUTION_X, &resX) != 0 || CLR_ReadSetting(settings, ID_RESOLUTION_Y, &resY) != 0 ||
        resX <= 0 || resY <= 0 || resX > 0xFFFF || resY > 0xFFFF)
        return false;
    target &= 0xFFFF;
    if (size->cx <= 0 || size->cy <= 0 || size->cx > BLT_MAX_SIDE || size->cy > BLT_MAX_SIDE)
        return false;
    const LONGLONG dw = LONGLONG(prclDest->right) - prclDest->left, dh = LONGLONG(prclDest->bottom) - prclDest->top;
    const LONGLONG adw = dw < 0 ? -dw : dw, adh = dh < 0 ? -dh : dh;
    if (adw == 0 || adh == 0 || adw > BLT_MAX_SIDE || adh > BLT_MAX_SIDE)
        return false;
    downscale->mode = 1;
    downscale->resolutionX = WORD(resX);
    downscale->resolutionY = WORD(resY);
    downscale->target = WORD(target);
    downscale->srcWidth = WORD(size->cx);
    downscale->srcHeight = WORD(size->cy);
    const LONG wx = reduced_side(size->cx, LONG(adw), target, resX);
    const LONG wy = reduced_side(size->cy, LONG(adh), target, resY);
    downscale->dstWidth = WORD(wx);
    downscale->dstHeight = WORD(wy);
    return wx < size->cx || wy < size->cy;
}

bool BLT_BuildAxisTable(DownscaleState *state, LONG source, LONG destination, bool vertical)
{
    if (!state || source <= 0 || destination <= 0 || destination > source)
        return false;
    auto *table = new (std::nothrow) AxisEntry[size_t(destination)];
    if (!table)
        return false;
    for (LONG i = 0; i < destination; i++) {
        const LONGLONG at = LONGLONG(i) * source;
        const LONGLONG first = at / destination;
        const LONGLONG r = at - first * destination;
        table[i].first = WORD(first);
        table[i].firstWeight = WORD(256 - r * 256 / destination);
    }
    for (LONG i = 0; i + 1 < destination; i++) {
        const AxisEntry &next = table[i + 1];
        if (next.firstWeight == 256) {
            table[i].last = WORD(next.first - 1);
            table[i].lastWeight = 256;
        } else {
            table[i].last = next.first;
            table[i].lastWeight = WORD(256 - next.firstWeight);
        }
    }
    table[destination - 1].last = WORD(source - 1);
    table[destination - 1].lastWeight = 256;
    AxisEntry *&slot = vertical ? state->vertical : state->horizontal;
    delete[] slot;
    slot = table;
    return true;
}

bool BLT_InitDownscale(DownscaleState *state, LONG srcWidth, LONG srcHeight, LONG dstWidth, LONG dstHeight)
{
    if (!state || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0 || srcWidth > BLT_MAX_SIDE ||
        srcHeight > BLT_MAX_SIDE || srcWidth < dstWidth || srcHeight < dstHeight ||
        srcWidth / dstWidth > BLT_DOWNSCALE_MAX_RATIO || srcHeight / dstHeight > BLT_DOWNSCALE_MAX_RATIO)
        return false;
    if (!BLT_BuildAxisTable(state, srcWidth, dstWidth, false) || !BLT_BuildAxisTable(state, srcHeight, dstHeight, true))
        return false;
    state->mode = 1;
    state->srcWidth = WORD(srcWidth);
    state->srcHeight = WORD(srcHeight);
    state->dstWidth = WORD(dstWidth);
    state->dstHeight = WORD(dstHeight);
    state->buffered = 0;
    state->outputRow = 0;
    state->taken = 0;
    free_rows(state->rows);
    free_rows(state->reduced);
    delete[] state->output;
    state->output = new (std::nothrow) BYTE[size_t(dstWidth) * 3]();
    bool ok = state->output != nullptr;
    for (int i = 0; ok && i < BLT_DOWNSCALE_ROWS; i++) {
        state->rows[i] = new (std::nothrow) BYTE[size_t(srcWidth) * 3]();
        state->reduced[i] = new (std::nothrow) BYTE[size_t(dstWidth) * 3]();
        ok = state->rows[i] && state->reduced[i];
    }
    if (!ok)
        state->mode = 0; /* not usable: the image goes unreduced */
    return ok;
}

LONG BLT_DownscaleRows(DownscaleState *state, const BYTE *row, ULONG rowBytes, LONG pixels, LONG bitsPerPixel)
{
    if (!state || state->mode != 1 || !state->horizontal || !state->vertical || !state->output || !row ||
        bitsPerPixel != 24 || pixels != state->srcWidth || rowBytes < ULONG(pixels) * 3 ||
        state->buffered >= BLT_DOWNSCALE_ROWS || state->outputRow >= state->dstHeight)
        return -1;
    const size_t srcBytes = size_t(state->srcWidth) * 3, dstBytes = size_t(state->dstWidth) * 3;
    std::memcpy(state->rows[state->buffered], row, srcBytes);
    state->buffered++;
    state->taken++;
    const AxisEntry &v = state->vertical[state->outputRow];
    if (state->taken < DWORD(v.last) + 1)
        return 0;

    for (WORD k = 0; k < state->buffered; k++) {
        if (state->dstWidth < state->srcWidth) {
            for (WORD i = 0; i < state->dstWidth; i++)
                for (int c = 0; c < 3; c++)
                    state->reduced[k][i * 3 + c] = average(state->rows[k] + c, state->horizontal[i], 3);
        } else {
            std::memcpy(state->reduced[k], state->rows[k], dstBytes);
        }
    }
    if (state->dstHeight < state->srcHeight) {
        /* The buffered rows are source rows v.first .. v.last. */
        if (DWORD(v.last) - v.first + 1 != state->buffered)
            return -1;
        const AxisEntry local{0, v.firstWeight, WORD(v.last - v.first), v.lastWeight};
        BYTE column[BLT_DOWNSCALE_ROWS];
        for (size_t b = 0; b < dstBytes; b++) {
            for (WORD k = 0; k < state->buffered; k++)
                column[k] = state->reduced[k][b];
            state->output[b] = average(column, local, 1);
        }
        if (v.lastWeight != 256) {
            std::memcpy(state->rows[0], state->rows[state->buffered - 1], srcBytes);
            state->buffered = 1;
        } else {
            state->buffered = 0;
        }
    } else {
        std::memcpy(state->output, state->reduced[0], dstBytes);
        state->buffered = 0;
    }
    state->outputRow++;
    return LONG(dstBytes);
}

ULONG BLT_GetScaledRow(DownscaleState *state, BYTE *buffer, ULONG length)
{
    if (!state || !state->output || !buffer)
        return 0;
    const ULONG bytes = ULONG(state->dstWidth) * 3;
    const ULONG n = length < bytes ? length : bytes;
    std::memcpy(buffer, state->output, n);
    return n;
}

void BLT_FreeDownscale(DownscaleState *state)
{
    if (!state)
        return;
    free_rows(state->rows);
    free_rows(state->reduced);
    delete[] state->output;
    delete[] state->horizontal;
    delete[] state->vertical;
    delete state;
}
