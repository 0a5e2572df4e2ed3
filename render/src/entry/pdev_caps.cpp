/*
 * The capability records a device context hands the engine (see
 * pdev_lifecycle.h): GDIINFO from the job form's printable area at the
 * job's resolution and scale, and DEVINFO with the drawing capabilities,
 * the device fonts and a default palette.
 */
#include "fnt_device_fonts.h"
#include "pdev_lifecycle.h"

#include <plat/gdi.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>

namespace {

/* Bytes of GDIINFO and DEVINFO the library fills. */
constexpr ULONG kGdiInfoBytes = 320;
constexpr ULONG kDevInfoBytes = 312;

constexpr ULONG kGdiInfoVersion = 0x400;
constexpr ULONG kTextCaps = 0x19F7;
constexpr ULONG kAllColours = 0xFFFFFF;
constexpr ULONG kBasicColours = 16;
constexpr ULONG kMonoColours = 2;
constexpr FLONG kGraphicsCaps = GCAPS_BEZIERS | GCAPS_GEOMETRICWIDE | GCAPS_ALTERNATEFILL | GCAPS_WINDINGFILL |
                                GCAPS_HALFTONE | GCAPS_OPAQUERECT; /* 0x11F */

/* The device's colours for the engine's halftoning (chromaticities and luminance in 1/10,000). */
constexpr COLORINFO kDeviceColours = {
    {6380, 3350, 0},  /* red */
    {2345, 6075, 0},  /* green */
    {1410, 932, 0},   /* blue */
    {2000, 2450, 0},  /* cyan */
    {5210, 2100, 0},  /* magenta */
    {4750, 5100, 0},  /* yellow */
    {3127, 3290, 0},  /* alignment white */
    12500, 12500, 12500, /* gammas */
    585, 120, 0, 0, 0, 10000, /* dyes */
};

/* A length in millimetres x 100 / scale, from tenths of a millimetre, rounded half up. */
ULONG scaled_millimetres(LONG tenths, LONG scale)
{
    LONGLONG n = 2LL * tenths * 10 + scale;
    LONGLONG q = n / (2LL * scale);
    return ULONG(std::max<LONGLONG>(q, 0));
}

bool setting_is(PdevContext *pdev, WORD id, DWORD value)
{
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, id, &v) == 0 && v == value;
}

bool setting_on(PdevContext *pdev, WORD id)
{
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, id, &v) == 0 && v != 0;
}

void set_face(LOGFONTW *font, LPCWSTR face)
{
    std::memset(font->lfFaceName, 0, sizeof font->lfFaceName);
    lstrcpynW(font->lfFaceName, face, LF_FACESIZE);
}

} // namespace

int PDEV_FillGdiInfo(PdevContext *pdev, ULONG cjCaps, void *caps)
{
    GdiPrintableArea area{};
    DWORD resolution = 0, scale = 0;
    if (!FORM_GdiPrintableArea(pdev, &area) || PDEV_GetSetting32(pdev, ID_RESOLUTION, &resolution) != 0 ||
        PDEV_GetSetting32(pdev, ID_SCALE, &scale) != 0 || LONG(resolution) <= 0 || LONG(scale) <= 0)
        return 0;
    const LONG dpi = LONG(resolution);
    const bool colour = setting_is(pdev, ID_COLOR, DMCOLOR_COLOR);

    GDIINFO gi{};
    gi.ulVersion = kGdiInfoVersion;
    gi.ulTechnology = DT_RASPRINTER;
    gi.ulHorzSize = scaled_millimetres(area.printableWidth, LONG(scale));
    gi.ulVertSize = scaled_millimetres(area.printableLength, LONG(scale));
    gi.ulHorzRes = ULONG(FORM_TenthsToPixels(area.printableWidth, dpi));
    gi.ulVertRes = ULONG(FORM_TenthsToPixels(area.printableLength, dpi));
    gi.cBitsPixel = colour ? 24 : 1;
    gi.cPlanes = 1;
    gi.ulNumColors = colour ? (setting_is(pdev, ID_FULL_COLOUR, 1) ? kAllColours : kBasicColours) : kMonoColours;
    gi.flRaster = 0;
    gi.ulLogPixelsX = ULONG(pdev->logicalResolution);
    gi.ulLogPixelsY = ULONG(pdev->logicalResolution);
    gi.flTextCaps = kTextCaps;
    gi.ulAspectX = ULONG(dpi);
    gi.ulAspectY = ULONG(dpi);
    gi.ulAspectXY = ULONG(LONGLONG(dpi) * 1414 / 1000);
    gi.xStyleStep = 1;
    gi.yStyleStep = 1;
    gi.denStyleStep = dpi / 25;
    gi.ptlPhysOffset = POINTL{FORM_TenthsToPixels(area.offsetX, dpi), FORM_TenthsToPixels(area.offsetY, dpi)};
    gi.szlPhysSize = SIZEL{FORM_TenthsToPixels(area.paperWidth, dpi), FORM_TenthsToPixels(area.paperLength, dpi)};
    gi.ciDevice = kDeviceColours;
    gi.ulDevicePelsDPI = 0;
    gi.ulPrimaryOrder = PRIMARY_ORDER_ABC;
    gi.ulHTPatternSize = PDEV_HalftoneSize(dpi, dpi, FALSE);
    gi.ulHTOutputFormat = (colour && !setting_is(pdev, ID_COLOUR_MODE, 1)) ? HT_FORMAT_4BPP : HT_FORMAT_1BPP;
    gi.flHTFlags = HT_FLAG_HAS_BLACK_DYE;
    std::memcpy(caps, &gi, std::min<ULONG>(cjCaps, kGdiInfoBytes));
    return 1;
}

int PDEV_FillDevInfo(PdevContext *pdev, ULONG cjDevInfo, DEVINFO *devinfo)
{
    DEVINFO di{};
    di.flGraphicsCaps = kGraphicsCaps | (setting_on(pdev, ID_S1333) ? 0 : GCAPS_DONTJOURNAL);
    if (pdev->deviceFontCount && FNT_GetDefaultDeviceFont(pdev, &di)) {
        di.lfAnsiVarFont = di.lfDefaultFont;
        set_face(&di.lfAnsiVarFont, u"Helvetica");
        di.lfAnsiVarFont.lfPitchAndFamily = 0x22;
        di.lfAnsiVarFont.lfCharSet = 0;
        di.lfAnsiFixFont = di.lfDefaultFont;
        set_face(&di.lfAnsiFixFont, u"Courier");
        di.lfAnsiFixFont.lfPitchAndFamily = 0x31;
        di.lfAnsiFixFont.lfCharSet = 0;
    }
    di.cFonts = (setting_is(pdev, ID_S292, 1) || setting_on(pdev, ID_S1343)) ? 0 : pdev->deviceFontCount;
    di.iDitherFormat = BMF_24BPP;
    di.cxDither = 0;
    di.cyDither = 0;
    HPALETTE palette = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    if (!palette)
        return 0;
    if (pdev->palette)
        EngDeletePalette(pdev->palette);
    pdev->palette = palette;
    di.hpalDefault = palette;
    std::memcpy(devinfo, &di, std::min<ULONG>(cjDevInfo, kDevInfoBytes));
    return 1;
}
