/*
 * Session, page, stream and comment commands of the PCL XL writer, and the
 * four page-transform commands.  None is cached, but every page-transform
 * command unsets a clip other than the page, because the printer's clip
 * rectangle no longer lines up with the new page coordinates.
 */
#include "pclxl_ops.h"

#include "pclxl_ops_private.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <cstdio>
#include <cstring>

namespace {

/* Media sources that go out by name instead of by code. */
struct MediaSourceName {
    SHORT code;
    const char *name;
};
constexpr MediaSourceName kMediaSourceNames[] = {{0xF0, "TRAY5"}};

/* After a page-transform command: a clip other than the page is no longer known. */
void xl_UnsetClip(PdevContext *pdev)
{
    if (pdev->xlCache.clipState != XL_CLIP_PAGE)
        pdev->xlCache.clipState = XL_CLIP_UNSET;
}

/* StreamName: a ubyte_array whose length is always written as a uint16 value. */
int xl_StreamNameCommand(PdevContext *pdev, const char *name, BYTE op)
{
    if (!name)
        return -1;
    size_t length = std::strlen(name);
    if (length > XL_MAX_ARRAY_COUNT)
        return -1;
    if (XL_PutByte(pdev, XLTAG_ubyte_array) != 0 || XL_UInt16(pdev, WORD(length)) != 0 ||
        XL_PutRaw(pdev, name, DWORD(length)) != 0 || XL_PutAttr(pdev, XLATTR_StreamName) != 0)
        return -1;
    return XL_PutOperator(pdev, op);
}

int xl_CommentNumber(PdevContext *pdev, const char *prefix, int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d", prefix, value);
    return XL_Comment(pdev, text);
}

/* An angle folded into -360..360: 400 -> 40, 720 -> 360, -400 -> -40. */
LONG xl_FoldAngle(LONG angle)
{
    LONGLONG a = angle;
    if (a > 360)
        return LONG((a - 361) % 360 + 1);
    if (a < -360)
        return LONG(-((-a - 361) % 360 + 1));
    return angle;
}

} // namespace

/* --- Session --- */

int XL_BeginSession(PdevContext *pdev, WORD unitsX, WORD unitsY, BYTE measure, BYTE errorReport)
{
    if (XL_UInt16XY(pdev, unitsX, unitsY) != 0 || XL_PutAttr(pdev, XLATTR_UnitsPerMeasure) != 0 ||
        xl_UByteAttr(pdev, measure, XLATTR_Measure) != 0 || xl_UByteAttr(pdev, errorReport, XLATTR_ErrorReport) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_BeginSession);
}

int XL_EndSession(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_EndSession); }

int XL_OpenDataSource(PdevContext *pdev, BYTE sourceType, BYTE dataOrg)
{
    if (xl_UByteAttr(pdev, sourceType, XLATTR_SourceType) != 0 || xl_UByteAttr(pdev, dataOrg, XLATTR_DataOrg) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_OpenDataSource);
}

int XL_CloseDataSource(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_CloseDataSource); }

/* --- Pages --- */

int XL_BeginPage(PdevContext *pdev, const XlPageStart *page)
{
    if (!pdev || !page)
        return -1;
    if (xl_UByteAttr(pdev, page->orientation, XLATTR_Orientation) != 0)
        return -1;
    if (page->mediaSource >= 0) {
        const char *name = nullptr;
        for (const auto &row : kMediaSourceNames)
            if (row.code == page->mediaSource)
                name = row.name;
        int rc = name ? xl_TextAttr(pdev, name, XLATTR_MediaSource)
                      : xl_UByteAttr(pdev, BYTE(page->mediaSource), XLATTR_MediaSource);
        if (rc != 0)
            return -1;
    }
    if (page->mediaSize < 0) {
        if (XL_Real32XY(pdev, page->customWidth, page->customHeight) != 0 ||
            XL_PutAttr(pdev, XLATTR_CustomMediaSize) != 0 ||
            xl_UByteAttr(pdev, page->customUnits, XLATTR_CustomMediaSizeUnits) != 0)
            return -1;
    } else if (xl_UByteAttr(pdev, BYTE(page->mediaSize), XLATTR_MediaSize) != 0) {
        return -1;
    }
    if (page->mediaType && page->mediaType[0] != '\0' && xl_TextAttr(pdev, page->mediaType, XLATTR_MediaType) != 0)
        return -1;
    if (page->mediaDestination >= 0 &&
        xl_UByteAttr(pdev, BYTE(page->mediaDestination), XLATTR_MediaDestination) != 0)
        return -1;
    if (page->simplexMode >= 0 && xl_UByteAttr(pdev, BYTE(page->simplexMode), XLATTR_SimplexPageMode) != 0)
        return -1;
    if (page->duplexMode >= 0) {
        if (xl_UByteAttr(pdev, BYTE(page->duplexMode), XLATTR_DuplexPageMode) != 0)
            return -1;
        if (page->duplexSide >= 0 && xl_UByteAttr(pdev, BYTE(page->duplexSide), XLATTR_DuplexPageSide) != 0)
            return -1;
    }
    return XL_PutOperator(pdev, XLOP_BeginPage);
}

int XL_EndPage(PdevContext *pdev, WORD copies)
{
    if (copies != 0 && xl_UInt16Attr(pdev, copies, XLATTR_PageCopies) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_EndPage);
}

int XL_PushGS(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_PushGS); }
int XL_PopGS(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_PopGS); }

/* --- Streams --- */

int XL_BeginStream(PdevContext *pdev, const char *name)
{
    return xl_StreamNameCommand(pdev, name, XLOP_BeginStream);
}

int XL_ReadStream(PdevContext *pdev, DWORD length)
{
    if (XL_UInt32(pdev, length) != 0 || XL_PutAttr(pdev, XLATTR_StreamDataLength) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_ReadStream);
}

int XL_EndStream(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_EndStream); }

int XL_ExecStream(PdevContext *pdev, const char *name)
{
    return xl_StreamNameCommand(pdev, name, XLOP_ExecStream);
}

/* --- Comments --- */

int XL_Comment(PdevContext *pdev, const char *text)
{
    if (xl_TextAttr(pdev, text, XLATTR_CommentData) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_Comment);
}

int XL_CommentPc(PdevContext *pdev, int value)
{
    if (value < 0 || value > 255)
        return -1;
    return xl_CommentNumber(pdev, "QZPC=", value);
}

int XL_CommentSr(PdevContext *pdev, int a, int b)
{
    return xl_CommentNumber(pdev, "QZSR=", (a ? 1 : 0) + 4 * (b ? 1 : 0));
}

int XL_CommentCc(PdevContext *pdev)
{
    return XL_Comment(pdev, "QZCC=00");
}

/* --- Page transforms --- */

int XL_SetPageDefaultCtm(PdevContext *pdev)
{
    if (XL_PutOperator(pdev, XLOP_SetPageDefaultCTM) != 0)
        return -1;
    xl_UnsetClip(pdev);
    return 0;
}

int XL_SetPageOrigin(PdevContext *pdev, SHORT x, SHORT y)
{
    if (XL_SInt16XY(pdev, x, y) != 0 || XL_PutAttr(pdev, XLATTR_PageOrigin) != 0 ||
        XL_PutOperator(pdev, XLOP_SetPageOrigin) != 0)
        return -1;
    xl_UnsetClip(pdev);
    return 0;
}

int XL_SetPageRotation(PdevContext *pdev, LONG angle)
{
    if (XL_SInt16(pdev, SHORT(xl_FoldAngle(angle))) != 0 || XL_PutAttr(pdev, XLATTR_PageAngle) != 0 ||
        XL_PutOperator(pdev, XLOP_SetPageRotation) != 0)
        return -1;
    xl_UnsetClip(pdev);
    return 0;
}

int XL_SetPageScale(PdevContext *pdev, FLOAT x, FLOAT y)
{
    if (xl_Real32XYAttr(pdev, x, y, XLATTR_PageScale) != 0 || XL_PutOperator(pdev, XLOP_SetPageScale) != 0)
        return -1;
    xl_UnsetClip(pdev);
    return 0;
}
