/*
 * The JPEG pass-through of the extension: an application hands a JPEG file
 * over in pieces of at most 65,280 bytes, and the bytes go to the printer
 * as the data of one ReadImage block without being decoded.  The file is
 * outside input: every offset and length of the call is checked against
 * the escape's input before it is read, and a piece that cannot be taken
 * is refused before any state changes.  The pieces are collected until the
 * last one and the image is written whole, after a bounded walk over the
 * file's markers; an unfinished or unreadable file writes nothing, so the
 * stream never holds an image short of its data.
 */
#include "esc_ext.h"

#include "blt_image_spool.h"
#include "blt_records.h"
#include "draw_path.h"
#include "draw_xl_values.h"
#include "job_state.h"
#include "paper_form.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/engine_draw.h>
#include <plat/memory.h>
#include <plat/raster.h>

#include <cstring>

namespace {

constexpr WORD kLastSequenceId = 0x3FFF;
constexpr BYTE kGray = 1;   /* eGray */
constexpr BYTE kSrgb = 6;   /* eSRGB */
constexpr DWORD kBitmapHeaderSize = 40;
constexpr DWORD kClipSize = 16;

/* Result of the marker scan. */
enum class Scan { Found, Invalid, Short };

/* One image escape's call, read out of its payload. */
struct ImageCall {
    DWORD total;          /* bytes of the whole JPEG */
    DWORD pieceOffset;
    DWORD pieceLength;
    SHORT sequenceId;
    WORD rotation;
    bool hasClip;
    RECTL clip;
    SHORT x, y;
    WORD destWidth, destHeight;
    WORD srcWidth, srcHeight;
    BYTE rop3;
    const BYTE *piece;
};

/* A sequence in progress: its first call (without its piece) and the bytes so far. */
struct JpegSequence {
    ImageCall call;
    BYTE *data;
    DWORD size;
    DWORD capacity;
};

/* `length` bytes at `offset` lie within the payload of `size` bytes. */
bool within(ULONG size, DWORD offset, DWORD length) { return offset <= size && length <= size - offset; }

bool is_frame_marker(BYTE m)
{
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

/* The frame header's component count and size, as the marker walk finds it. */
struct Frame {
    int components;
    DWORD width;
    DWORD height;
};

Scan scan_frame(const BYTE *data, DWORD length, Frame *frame)
{
    *frame = Frame{};
    if (!data || length == 0)
        return Scan::Short;
    if (data[0] != 0xFF || (length >= 2 && data[1] != 0xD8))
        return Scan::Invalid;
    if (length < 2)
        return Scan::Short;
    DWORD pos = 2;
    for (;;) {
        LONG at = ESC_FindMarker(data, length, pos);
        if (at < 0)
            return Scan::Short;
        const DWORD m = DWORD(at);
        const BYTE code = data[m + 1];
        if (code == 0xD8 || code == 0xD9)
            return Scan::Invalid; /* a second SOI, or EOI before any frame header */
        if (code >= 0xD0 && code <= 0xD7) {
            pos = m + 2;
            continue;
        }
        if (is_frame_marker(code)) {
            if (m + 9 >= length)
                return Scan::Short;
            frame->height = DWORD(data[m + 5]) << 8 | data[m + 6];
            frame->width = DWORD(data[m + 7]) << 8 | data[m + 8];
            frame->components = data[m + 9];
            return frame->components > 0 ? Scan::Found : Scan::Invalid;
        }
        if (m + 3 >= length)
            return Scan::Short;
        const DWORD segment = DWORD(data[m + 2]) << 8 | data[m + 3];
        if (segment < 2)
            return Scan::Invalid;
        pos = m + 2 + segment;
        if (pos >= length)
            return Scan::Short;
    }
}

/* The file ends with EOI (trailing zero padding allowed). */
bool ends_with_eoi(const BYTE *data, DWORD length)
{
    while (length > 0 && data[length - 1] == 0x00)
        length--;
    return length >= 2 && data[length - 2] == 0xFF && data[length - 1] == 0xD9;
}

/* Reads and checks the call; EXT_DONE, or the answer that refuses it (nothing changed). */
LONG read_call(ULONG cjIn, const void *pvIn, ImageCall *call)
{
    const BYTE *p = static_cast<const BYTE *>(pvIn);
    if (!p || cjIn < EXT_IMAGE_CALL_SIZE)
        return EXT_BAD_SIZE;
    const DWORD size = plat::load_u32(p, 0);
    if (size != 0 && size < 4)
        return EXT_BAD_SIZE;
    const DWORD descriptor = plat::load_u32(p, 4);
    if (!within(cjIn, descriptor, EXT_IMAGE_DESCRIPTOR_SIZE))
        return EXT_BAD_VALUE;
    const BYTE *d = p + descriptor;
    if (plat::load_u32(d, 24) != SRCCOPY)
        return EXT_OFF;
    call->total = plat::load_u32(p, 8);
    call->pieceOffset = plat::load_u32(p, 12);
    call->pieceLength = plat::load_u32(p, 16);
    call->sequenceId = SHORT(plat::load_u16(p, 20));
    call->rotation = plat::load_u16(p, 22);
    const DWORD clip = plat::load_u32(p, 32);
    const DWORD jpeg = plat::load_u32(d, 16);
    if (call->pieceLength > EXT_MAX_JPEG_PIECE || !within(cjIn, jpeg, call->pieceLength))
        return EXT_BAD_SIZE;
    if (call->pieceOffset > call->total || call->pieceLength > call->total - call->pieceOffset)
        return EXT_BAD_SIZE;
    call->piece = p + jpeg;

    call->x = SHORT(plat::load_u16(d, 0));
    call->y = SHORT(plat::load_u16(d, 2));
    call->destWidth = plat::load_u16(d, 4);
    call->destHeight = plat::load_u16(d, 6);
    call->srcWidth = plat::load_u16(d, 12);
    call->srcHeight = plat::load_u16(d, 14);
    call->rop3 = BYTE(SRCCOPY >> 16);
    const DWORD header = plat::load_u32(d, 20);
    if (plat::load_u16(d, 8) != 0 || plat::load_u16(d, 10) != 0 || !within(cjIn, header, kBitmapHeaderSize))
        return EXT_BAD_VALUE;
    BITMAPINFOHEADER bmih;
    std::memcpy(&bmih, p + header, sizeof bmih);
    const LONGLONG height = bmih.biHeight < 0 ? -LONGLONG(bmih.biHeight) : LONGLONG(bmih.biHeight);
    if (bmih.biWidth != LONG(call->srcWidth) || height != LONGLONG(call->srcHeight))
        return EXT_BAD_VALUE;
    if (bmih.biCompression != EXT_BI_JPEG)
        return EXT_FAILED;
    if (call->rotation % 90 != 0 || call->rotation > 270)
        return EXT_BAD_VALUE;
    /* An image of no pixels cannot be begun. */
    if (!call->srcWidth || !call->srcHeight || !call->destWidth || !call->destHeight)
        return EXT_BAD_VALUE;
    call->hasClip = clip != 0;
    if (call->hasClip) {
        if (!within(cjIn, clip, kClipSize))
            return EXT_BAD_VALUE;
        call->clip = RECTL{LONG(plat::load_u32(p, clip)), LONG(plat::load_u32(p, clip + 4)),
                           LONG(plat::load_u32(p, clip + 8)), LONG(plat::load_u32(p, clip + 12))};
    }
    return EXT_DONE;
}

/* The destination origin of an image turned by `rotation`, in the turned page's coordinates. */
POINTL rotated_origin(const ImageCall &c)
{
    const LONG x = c.x, y = c.y, w = c.destWidth, h = c.destHeight;
    switch (c.rotation) {
    case 90: return POINTL{y, -x - h};
    case 180: return POINTL{-x - w, -y - h};
    case 270: return POINTL{-y - w, x};
    default: return POINTL{x, y};
    }
}

/* The given clip, or the page's printable box with its width and height one pixel more. */
bool set_clip(PdevContext *pdev, const ImageCall &c)
{
    CLIPOBJ clip{};
    clip.iDComplexity = DC_RECT;
    if (c.hasClip) {
        clip.rclBounds = c.clip;
    } else {
        GdiPrintableArea area{};
        DWORD dpi = 0;
        if (!FORM_GdiPrintableArea(pdev, &area) || PDEV_GetSetting32(pdev, ID_RESOLUTION, &dpi) != 0)
            return false;
        clip.rclBounds = RECTL{0, 0, FORM_TenthsToPixels(area.printableWidth, LONG(dpi)) + 1,
                               FORM_TenthsToPixels(area.printableLength, LONG(dpi)) + 1};
    }
    return PTH_SetClipRegion(pdev, &clip, nullptr) == 1;
}

/* The commands that open the image: clip, painting state, colour space, rotation, BeginImage and ReadImage. */
bool open_image(PdevContext *pdev, const ImageCall &c, BYTE colorSpace)
{
    const POINTL origin = rotated_origin(c);
    if (!set_clip(pdev, c) || XL_SetFillMode(pdev, XLV_eEvenOdd) != 0 ||
        XL_SetSourceTxMode(pdev, XLV_eOpaque) != 0 || XL_SetPatternTxMode(pdev, XLV_eOpaque) != 0 ||
        XL_SetRop(pdev, c.rop3) != 0 || XL_SetColorSpace(pdev, colorSpace) != 0)
        return false;
    if (c.rotation != 0 && XL_SetPageRotation(pdev, 360 - LONG(c.rotation)) != 0)
        return false;
    return XL_SetCursor(pdev, origin.x, origin.y) == 0 &&
           XL_BeginImage(pdev, XLV_eDirectPixel, XLV_e8Bit, c.srcWidth, c.srcHeight, c.destWidth, c.destHeight) ==
               0 &&
           XL_ReadImageHeader(pdev, 0, c.srcHeight, XLE_JPEGCompression, 0, c.total) == 0;
}

/* The whole image: its opening commands, the file's bytes, EndImage and the page turned back. */
bool write_image(PdevContext *pdev, const ImageCall &c, BYTE colorSpace, const BYTE *data, DWORD length)
{
    return open_image(pdev, c, colorSpace) && XL_WriteData(pdev, data, length) == 0 && XL_EndImage(pdev) == 0 &&
           (c.rotation == 0 || XL_SetPageRotation(pdev, c.rotation) == 0);
}

/* Adds a piece to the sequence's bytes, growing them up to the announced total.  False without memory. */
bool append(JpegSequence *seq, DWORD total, const BYTE *piece, DWORD length)
{
    if (length == 0)
        return true;
    if (seq->size + length > seq->capacity) {
        DWORD want = seq->capacity > total / 2 ? total : seq->capacity * 2;
        if (want < seq->size + length)
            want = seq->size + length;
        void *grown = seq->data ? HeapReAlloc(GetProcessHeap(), 0, seq->data, want)
                                : HeapAlloc(GetProcessHeap(), 0, want);
        if (!grown)
            return false;
        seq->data = static_cast<BYTE *>(grown);
        seq->capacity = want;
    }
    std::memcpy(seq->data + seq->size, piece, length);
    seq->size += length;
    return true;
}

/* Checks the collected file against its call: EXT_DONE with the colour space, or the refusal. */
LONG check_file(const JpegSequence &seq, BYTE *colorSpace)
{
    Frame frame{};
    if (scan_frame(seq.data, seq.size, &frame) != Scan::Found || !ends_with_eoi(seq.data, seq.size))
        return EXT_FAILED;
    if ((frame.components != 1 && frame.components != 3) || frame.width != seq.call.srcWidth ||
        frame.height != seq.call.srcHeight)
        return EXT_BAD_VALUE;
    *colorSpace = frame.components == 1 ? kGray : kSrgb;
    return EXT_DONE;
}

} // namespace

LONG ESC_FindMarker(const BYTE *data, DWORD length, DWORD from)
{
    if (!data)
        return -1;
    for (DWORD i = from; i + 1 < length && i < 0x7FFFFFFF; i++)
        if (data[i] == 0xFF && data[i + 1] != 0x00 && data[i + 1] != 0xFF)
            return LONG(i);
    return -1;
}

int ESC_JpegComponents(const BYTE *data, DWORD length)
{
    Frame frame{};
    return scan_frame(data, length, &frame) == Scan::Found ? frame.components : -1;
}

int ESC_JpegIsColour(const BYTE *data, DWORD length)
{
    const int count = ESC_JpegComponents(data, length);
    return count < 0 ? -1 : count > 1 ? 1 : 0;
}

void ESC_ExtDropSequence(PdevContext *pdev)
{
    if (!pdev)
        return;
    ExtEscapeRecord &ext = pdev->ext;
    if (auto *seq = static_cast<JpegSequence *>(ext.image)) {
        if (seq->data)
            HeapFree(GetProcessHeap(), 0, seq->data);
        HeapFree(GetProcessHeap(), 0, seq);
    }
    ext.image = nullptr;
    ext.currentSequenceId = 0;
    ext.sequenceLength = 0;
    ext.received = 0;
}

LONG ESC_ExtDrawImage(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    ExtFeatureRow row{};
    if (pdev->ext.mode != 1 || ESC_ExtFeature(pdev, EXT_FEATURE_JPEG, &row) != 0)
        return EXT_OFF;
    ImageCall call{};
    if (LONG answer = read_call(cjIn, pvIn, &call); answer != EXT_DONE)
        return answer;

    /* The sequence: a first piece starts one, a later piece must carry its id and continue where it stopped. */
    ExtEscapeRecord &ext = pdev->ext;
    auto *seq = static_cast<JpegSequence *>(ext.image);
    if (!seq || ext.currentSequenceId == 0) {
        if (call.pieceOffset != 0 || call.sequenceId != 0)
            return EXT_BAD_SIZE;
        /* What the first piece already shows of the file: not a JPEG at all, or one without a frame. */
        Frame frame{};
        const Scan scan = scan_frame(call.piece, call.pieceLength, &frame);
        if (scan == Scan::Invalid || (scan == Scan::Short && call.pieceLength == call.total))
            return EXT_FAILED;
    } else {
        if (call.sequenceId != SHORT(ext.currentSequenceId)) {
            /* Another sequence breaks this one: it is dropped and the caller starts again. */
            ESC_ExtDropSequence(pdev);
            return EXT_BAD_SIZE;
        }
        if (call.pieceOffset != ext.received || call.total != ext.sequenceLength)
            return EXT_BAD_SIZE;
    }
    if (JOB_PrepareDraw(pdev) != 0)
        return EXT_FAILED;

    if (!seq) {
        seq = static_cast<JpegSequence *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(JpegSequence)));
        if (!seq)
            return EXT_FAILED;
        seq->call = call;
        seq->call.piece = nullptr;
        ext.image = seq;
        ext.lastSequenceId = ext.lastSequenceId >= kLastSequenceId ? 1 : WORD(ext.lastSequenceId + 1);
        ext.currentSequenceId = ext.lastSequenceId;
        ext.sequenceLength = call.total;
        ext.received = 0;
    }
    const WORD id = ext.currentSequenceId;
    if (!append(seq, call.total, call.piece, call.pieceLength)) {
        ESC_ExtDropSequence(pdev);
        return EXT_FAILED;
    }
    ext.received += call.pieceLength;
    if (ext.received < ext.sequenceLength)
        return LONG(id);

    /* The last piece: the whole file is checked, then written as one image. */
    BYTE colorSpace = kSrgb;
    LONG answer = check_file(*seq, &colorSpace);
    if (answer == EXT_DONE && (BLT_FlushPendingImages(pdev, TRUE) != 0 ||
                               !write_image(pdev, seq->call, colorSpace, seq->data, seq->size)))
        answer = EXT_FAILED;
    ESC_ExtDropSequence(pdev);
    if (answer != EXT_DONE)
        return answer;
    if (!JOB_IsPageColorKnown(pdev))
        JOB_MarkPageColor(pdev);
    PCS_Deactivate(&pdev->pageColors);
    return LONG(id);
}
