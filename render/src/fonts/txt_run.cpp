/*
 * One text run: the road of its font (a device font, downloaded outlines
 * or downloaded bitmaps), the character transform taken apart into size,
 * scale, shear and angle with simulated bold and italic, the font name the
 * printer knows the run's font by, and the text commands with their
 * spacing arrays.
 */
#include "draw_font.h"
#include "draw_font_download.h"
#include "draw_maths.h"
#include "draw_text.h"
#include "fnt_device_records.h"
#include "pdev_context.h"

#include <plat/engine_draw.h>
#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/text.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr FLONG kGlyphIndexText = 0x00000100u; /* SO_GLYPHINDEX_TEXTOUT: the text is glyph indices */
constexpr WORD kSettingTrueTypeOption = 17;    /* 3: TrueType fonts are replaced by device fonts */
constexpr WORD kSettingBitmapsOnly = 1335;     /* 1: TrueType fonts are sent as bitmaps */
constexpr float kDegree = 0.017453289f;
constexpr float kItalicShear = 0.3162f;
constexpr float kBoldValue = 0.015f;
constexpr WORD kOutlineSymbolSet = 590; /* 18N, Unicode */
constexpr WORD kBitmapSymbolSet = 309;  /* 9U */

DWORD setting(PdevContext *pdev, WORD id)
{
    DWORD value = 0;
    PDEV_GetSetting32(pdev, id, &value);
    return value;
}

/* The face name of a font's metrics. */
LPCWSTR face_name(const IFIMETRICS *pifi)
{
    return reinterpret_cast<LPCWSTR>(reinterpret_cast<const BYTE *>(pifi) + pifi->dpwszFaceName);
}

bool vertical_face(const IFIMETRICS *pifi) { return face_name(pifi)[0] == u'@'; }

DWORD float_bits(FLOAT f)
{
    DWORD bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

/* The spacing array of positions p0 .. pn-1: differences to the next position, the last 0. */
void differences(const LONG *positions, ULONG count, std::vector<SHORT> &out)
{
    out.assign(count, 0);
    for (ULONG i = 0; i + 1 < count; ++i)
        out[i] = SHORT(positions[i + 1] - positions[i]);
}

} // namespace

int FNT_ChooseFontPath(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, FontPath *path, WORD *deviceFont,
                       BOOL *glyphIndex)
{
    if (deviceFont)
        *deviceFont = 0xFFFF;
    if (!PDEV_IsValid(pdev) || !pfo || !pstro || !path || !deviceFont || !glyphIndex)
        return -1;
    *path = FONT_PATH_OUTLINE;
    *glyphIndex = FALSE;
    DWORD bitmapsOnly = setting(pdev, kSettingBitmapsOnly);
    if (pstro->flAccel & kGlyphIndexText) {
        *glyphIndex = TRUE;
    } else if (pfo->flFontType & FO_TYPE_DEVICE) {
        if (pfo->iFace < 1 || pfo->iFace > pdev->deviceFontCount || !pdev->deviceFonts)
            return -1;
        int index = FNT_FindDeviceFontById(pdev, pdev->deviceFonts[pfo->iFace - 1]->id);
        if (index < 0)
            return -1;
        *deviceFont = WORD(index);
        *path = FONT_PATH_DEVICE;
        return 0;
    } else if (setting(pdev, kSettingTrueTypeOption) == 3) {
        WORD index = 0xFFFF;
        if (FNT_SubstituteDeviceFont(pdev, pfo, &index) == -1)
            return -1;
        if (index != 0xFFFF) {
            *deviceFont = index;
            *path = FONT_PATH_DEVICE;
            return 0;
        }
    }
    *path = (pfo->flFontType & FO_TYPE_TRUETYPE) && !bitmapsOnly ? FONT_PATH_OUTLINE : FONT_PATH_BITMAP;
    return 0;
}

int FNT_DecomposeTextMatrix(const float matrix[4], TextRunState *run)
{
    if (!matrix || !run)
        return -1;
    const float m11 = matrix[0], m12 = matrix[1], m21 = matrix[2], m22 = matrix[3];
    float scaleX = MTH_Hypot(m11, m12);
    float second = MTH_Hypot(m21, m22);
    LONG a1 = MTH_AngleDegrees(m11, -m12);
    LONG a2 = MTH_AngleDegrees(m21, -m22);
    run->charAngle = WORD(a1);
    run->shearY = 0.0f;
    LONG d = ((a1 - a2) % 360 + 360) % 360;
    /* Each column's angle is rounded to whole degrees on its own, so the two need not differ by
       exactly 90 for a turned upright font: perpendicular columns are 90 or 270 whatever their angles. */
    const float dot = m11 * m21 + m12 * m22, cross = m11 * m22 - m12 * m21;
    if (scaleX != 0.0f && second != 0.0f && std::fabs(dot) <= 1e-5f * scaleX * second)
        d = cross > 0.0f ? 90 : 270;
    if (d == 0 || d == 180) {
        run->shearX = 0.0f;
        run->scaleY = 0.0f;
    } else if (d == 90) {
        run->shearX = 0.0f;
        run->scaleY = second;
    } else if (d == 270) {
        run->shearX = 0.0f;
        run->scaleY = -second;
    } else {
        float radians = float(d) * kDegree;
        run->shearX = scaleX != 0.0f ? -MTH_Cos(radians) * second / scaleX : 0.0f;
        run->scaleY = MTH_Sin(radians) * second;
    }
    run->scaleX = scaleX;
    return 0;
}

int FNT_MakeRunFontName(PdevContext *pdev, FONTOBJ *pfo, FontPath path, WORD deviceFont, const IFIMETRICS *pifi,
                        TextRunState *run)
{
    if (!pdev || !pfo || !pifi || !run)
        return -1;
    if (path == FONT_PATH_DEVICE) {
        if (deviceFont >= pdev->fontEntryCount || !pdev->fontEntries)
            return -1;
        const DeviceFontEntry *entry = pdev->fontEntries[deviceFont];
        std::memcpy(run->fontName, entry->printerName, 16);
        run->fontName[16] = 0;
        run->symbolSet = entry->symbolSet;
        return 0;
    }
    LPCWSTR face = face_name(pifi);
    ULONG written = 0;
    EngUnicodeToMultiByteN(run->fontName, 94, &written, face, ULONG(lstrlenW(face) * sizeof(WCHAR)));
    char *end = run->fontName + written;
    size_t room = sizeof run->fontName - written;
    if (path == FONT_PATH_OUTLINE) {
        std::snprintf(end, room, ":OL%s%s", (pifi->fsSelection & FM_SEL_BOLD) ? ":B" : "",
                      (pifi->fsSelection & FM_SEL_ITALIC) ? ":I" : "");
        run->symbolSet = kOutlineSymbolSet;
        return 0;
    }
    std::snprintf(end, room, ":%08X:%04X:%08X:BM%s%s", unsigned(float_bits(run->charSize)), unsigned(run->charAngle),
                  unsigned(float_bits(run->scaleX)), (pfo->flFontType & FO_SIM_BOLD) ? ":B" : "",
                  (pfo->flFontType & FO_SIM_ITALIC) ? ":I" : "");
    run->charAngle = 0;
    run->scaleX = 1.0f;
    run->symbolSet = kBitmapSymbolSet;
    return 0;
}

int FNT_PrepareRun(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, FontPath *path, WORD deviceFont,
                   TextRunState *run, TrueTypeFontInfo *info)
{
    if (!pdev || !pfo || !pstro || !path || !run)
        return -1;
    *run = {};
    IFIMETRICS *pifi = FONTOBJ_pifi(pfo);
    XFORMOBJ *pxo = FONTOBJ_pxoGetXform(pfo);
    XFORML xform{};
    if (!pifi || !pxo || XFORMOBJ_iGetXform(pxo, &xform) == DDI_ERROR)
        return -1;
    const float matrix[4] = {xform.eM11, xform.eM12, xform.eM21, xform.eM22};
    FNT_DecomposeTextMatrix(matrix, run);
    run->charSize = FLOAT(pifi->fwdUnitsPerEm);
    if (run->scaleY != 0.0f) {
        float k = run->scaleY < 0.0f ? -run->scaleY : run->scaleY;
        run->charSize = FLOAT(pifi->fwdUnitsPerEm) * k;
        run->scaleY /= k;
        run->scaleX /= k;
    }
    bool vertical = vertical_face(pifi);
    if (*path == FONT_PATH_OUTLINE && (vertical || FNT_LoadTrueTypeInfo(pdev, pfo, face_name(pifi), info) == -1))
        *path = FONT_PATH_BITMAP;
    FNT_MakeRunFontName(pdev, pfo, *path, deviceFont, pifi, run);
    run->subMode = run->writingMode = vertical ? 1 : 0;
    if (*path == FONT_PATH_BITMAP) {
        run->shearX = run->shearY = 0.0f;
        run->boldValue = 0.0f;
    } else {
        if (pfo->flFontType & FO_SIM_ITALIC)
            run->shearX += kItalicShear;
        run->boldValue = (pfo->flFontType & FO_SIM_BOLD) ? kBoldValue : 0.0f;
    }
    return 0;
}

int TXT_WriteText(PdevContext *pdev, FONTOBJ *, STROBJ *pstro, ULONG glyphCount, GLYPHPOS *pgp, const WORD *codes,
                  TextRunState *run, LPCWSTR)
{
    if (!pdev || !pstro || !pgp || !codes || !run || glyphCount == 0 || glyphCount > TXT_MAX_RUN_GLYPHS)
        return -1;
    std::vector<SHORT> xs, ys;
    bool sendX = false, sendY = false;
    if (glyphCount == 1) {
        xs.assign(1, 0);
        sendX = true;
    } else if (pstro->ulCharInc != 0) {
        SHORT step = SHORT(pstro->flAccel & SO_REVERSED ? -LONG(pstro->ulCharInc) : LONG(pstro->ulCharInc));
        std::vector<SHORT> &a = (pstro->flAccel & SO_HORIZONTAL) ? xs : ys;
        a.assign(glyphCount, step);
        a.back() = 0;
        ((pstro->flAccel & SO_HORIZONTAL) ? sendX : sendY) = true;
    } else {
        std::vector<LONG> px(glyphCount), py(glyphCount);
        for (ULONG i = 0; i < glyphCount; ++i) {
            px[i] = pgp[i].ptl.x;
            py[i] = pgp[i].ptl.y;
        }
        for (ULONG i = 1; i < glyphCount; ++i) {
            sendX = sendX || px[i] != px[0];
            sendY = sendY || py[i] != py[0];
        }
        if (sendX)
            differences(px.data(), glyphCount, xs);
        if (sendY)
            differences(py.data(), glyphCount, ys);
    }
    if (XL_SetCharBoldValue(pdev, run->boldValue) != 0 || XL_SetCharShear(pdev, run->shearX, run->shearY) != 0 ||
        XL_SetCharScale(pdev, run->scaleX, run->scaleY) != 0 || XL_SetCharSubMode(pdev, run->subMode) != 0 ||
        XL_SetCharAttributes(pdev, run->writingMode) != 0 ||
        XL_SetFont(pdev, run->fontName, run->charSize, run->symbolSet) != 0 ||
        XL_SetCursor(pdev, pgp[0].ptl.x, pgp[0].ptl.y) != 0 || XL_SetCharAngle(pdev, SHORT(run->charAngle)) != 0 ||
        XL_Text(pdev, glyphCount, codes, sendX, sendY, sendX ? xs.data() : nullptr, sendY ? ys.data() : nullptr) != 0)
        return -1;
    return 0;
}
