/*
 * Text commands of the PCL XL writer: the cached text state (font, char
 * angle, scale, shear, bold value, sub-mode, writing mode), the Text command
 * that makes that state valid, and the font-download commands.  While the
 * text state is invalid (after XL_ResetFontState) every text-state command
 * is sent even when its value is unchanged.
 */
#include "pclxl_ops.h"

#include "pclxl_ops_private.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <cstring>

namespace {

/* True when the text state is valid and the cached value equals the new one. */
template <typename T>
bool xl_TextSkip(const GraphicsStateCache &c, const T &cached, const T &value)
{
    return c.textInvalid == 0 && cached == value;
}

/* The recorded char angle again, as sent after a change of scale or shear. */
int xl_RepeatCharAngle(PdevContext *pdev)
{
    if (pdev->xlCache.textInvalid != 0)
        return 0;
    if (xl_UInt16Attr(pdev, WORD(pdev->xlCache.charAngle), XLATTR_CharAngle) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_SetCharAngle);
}

/* A font-download command whose only attribute is the font name. */
int xl_FontNameCommand(PdevContext *pdev, const char *name, BYTE op)
{
    if (xl_TextAttr(pdev, name, XLATTR_FontName) != 0)
        return -1;
    return XL_PutOperator(pdev, op);
}

} // namespace

void XL_ResetFontState(PdevContext *pdev)
{
    if (!pdev)
        return;
    GraphicsStateCache &c = pdev->xlCache;
    c.textInvalid = 1;
    c.charScaleX = 1.0f;
    c.charScaleY = 1.0f;
    c.charAngle = 0;
    c.charShearX = 0.0f;
    c.charShearY = 0.0f;
    c.charBoldValue = 0.0f;
    c.charSubMode = 0;
    c.writingMode = 0;
    c.charSize = 0.0f;
    c.symbolSet = 0;
    std::memset(c.fontName, 0, sizeof c.fontName);
    std::memcpy(c.fontName, "No Font", sizeof "No Font");
}

int XL_SetFont(PdevContext *pdev, const char *name, FLOAT charSize, WORD symbolSet)
{
    if (!pdev || !name)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    /* The cached name is always terminated, so the comparison stops inside it. */
    if (c.textInvalid == 0 && c.charSize == charSize && c.symbolSet == SHORT(symbolSet) &&
        std::strcmp(c.fontName, name) == 0)
        return 0;
    size_t length = strnlen(name, XL_FONT_NAME_CAPACITY);
    if (length >= XL_FONT_NAME_CAPACITY)
        return -1;
    if (XL_UByteArray(pdev, reinterpret_cast<const BYTE *>(name), DWORD(length)) != 0 ||
        XL_PutAttr(pdev, XLATTR_FontName) != 0 || xl_Real32Attr(pdev, charSize, XLATTR_CharSize) != 0 ||
        xl_UInt16Attr(pdev, symbolSet, XLATTR_SymbolSet) != 0 || XL_PutOperator(pdev, XLOP_SetFont) != 0)
        return -1;
    std::memcpy(c.fontName, name, length + 1);
    c.charSize = charSize;
    c.symbolSet = SHORT(symbolSet);
    return 0;
}

int XL_SetCharAngle(PdevContext *pdev, SHORT angle)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (xl_TextSkip(c, c.charAngle, angle))
        return 0;
    if (xl_UInt16Attr(pdev, WORD(angle), XLATTR_CharAngle) != 0 || XL_PutOperator(pdev, XLOP_SetCharAngle) != 0)
        return -1;
    c.charAngle = angle;
    return 0;
}

int XL_SetCharScale(PdevContext *pdev, FLOAT x, FLOAT y)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (c.textInvalid == 0 && c.charScaleX == x && c.charScaleY == y)
        return 0;
    if (xl_Real32XYAttr(pdev, x, y, XLATTR_CharScale) != 0 || XL_PutOperator(pdev, XLOP_SetCharScale) != 0 ||
        xl_RepeatCharAngle(pdev) != 0)
        return -1;
    c.charScaleX = x;
    c.charScaleY = y;
    return 0;
}

int XL_SetCharShear(PdevContext *pdev, FLOAT x, FLOAT y)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (c.textInvalid == 0 && c.charShearX == x && c.charShearY == y)
        return 0;
    if (xl_Real32XYAttr(pdev, x, y, XLATTR_CharShear) != 0 || XL_PutOperator(pdev, XLOP_SetCharShear) != 0 ||
        xl_RepeatCharAngle(pdev) != 0)
        return -1;
    c.charShearX = x;
    c.charShearY = y;
    return 0;
}

int XL_SetCharBoldValue(PdevContext *pdev, FLOAT boldValue)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (xl_TextSkip(c, c.charBoldValue, boldValue))
        return 0;
    if (xl_Real32Attr(pdev, boldValue, XLATTR_CharBoldValue) != 0 ||
        XL_PutOperator(pdev, XLOP_SetCharBoldValue) != 0)
        return -1;
    c.charBoldValue = boldValue;
    return 0;
}

int XL_SetCharSubMode(PdevContext *pdev, BYTE subMode)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (xl_TextSkip(c, c.charSubMode, subMode))
        return 0;
    if (XL_UByteArray(pdev, &subMode, 1) != 0 || XL_PutAttr(pdev, XLATTR_CharSubModeArray) != 0 ||
        XL_PutOperator(pdev, XLOP_SetCharSubMode) != 0)
        return -1;
    c.charSubMode = subMode;
    return 0;
}

int XL_SetCharAttributes(PdevContext *pdev, BYTE writingMode)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (xl_TextSkip(c, c.writingMode, writingMode))
        return 0;
    if (xl_UByteAttr(pdev, writingMode, XLATTR_WritingMode) != 0 ||
        XL_PutOperator(pdev, XLOP_SetCharAttributes) != 0)
        return -1;
    c.writingMode = writingMode;
    return 0;
}

int XL_Text(PdevContext *pdev, DWORD count, const WORD *codes, BOOL sendX, BOOL sendY, const SHORT *xSpacing,
            const SHORT *ySpacing)
{
    if (!pdev || (count != 0 && (!codes || (sendX && !xSpacing) || (sendY && !ySpacing))))
        return -1;
    if (XL_UInt16Array(pdev, codes, count) != 0 || XL_PutAttr(pdev, XLATTR_TextData) != 0)
        return -1;
    if (sendX && (XL_SInt16Array(pdev, xSpacing, count) != 0 || XL_PutAttr(pdev, XLATTR_XSpacingData) != 0))
        return -1;
    if (sendY && (XL_SInt16Array(pdev, ySpacing, count) != 0 || XL_PutAttr(pdev, XLATTR_YSpacingData) != 0))
        return -1;
    if (XL_PutOperator(pdev, XLOP_Text) != 0)
        return -1;
    pdev->xlCache.textInvalid = 0;
    return 0;
}

int XL_BeginFontHeader(PdevContext *pdev, const char *name)
{
    if (xl_TextAttr(pdev, name, XLATTR_FontName) != 0 || xl_UByteAttr(pdev, 0, XLATTR_FontFormat) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_BeginFontHeader);
}

int XL_ReadFontHeader(PdevContext *pdev, const BYTE *data, DWORD length)
{
    if (length > 0xFFFF || (length != 0 && !data))
        return -1;
    if (xl_UInt16Attr(pdev, WORD(length), XLATTR_FontHeaderLength) != 0 ||
        XL_PutOperator(pdev, XLOP_ReadFontHeader) != 0)
        return -1;
    return XL_EmbeddedData(pdev, data, length);
}

int XL_EndFontHeader(PdevContext *pdev)
{
    return XL_PutOperator(pdev, XLOP_EndFontHeader);
}

int XL_BeginChar(PdevContext *pdev, const char *name)
{
    return xl_FontNameCommand(pdev, name, XLOP_BeginChar);
}

int XL_ReadChar(PdevContext *pdev, WORD charCode, const BYTE *data, DWORD length)
{
    if (length != 0 && !data)
        return -1;
    if (xl_UInt16Attr(pdev, charCode, XLATTR_CharCode) != 0 || XL_UInt32(pdev, length) != 0 ||
        XL_PutAttr(pdev, XLATTR_CharDataSize) != 0 || XL_PutOperator(pdev, XLOP_ReadChar) != 0)
        return -1;
    return XL_EmbeddedData(pdev, data, length);
}

int XL_EndChar(PdevContext *pdev)
{
    return XL_PutOperator(pdev, XLOP_EndChar);
}

int XL_RemoveFont(PdevContext *pdev, const char *name)
{
    return xl_FontNameCommand(pdev, name, XLOP_RemoveFont);
}
