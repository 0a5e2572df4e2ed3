/*
 * Reading a form file: the tag table, the double-buffered reader and the
 * token-by-token converter that carries a form from the resolution it was
 * made at to the job's (page origins and scales), turns it for the back
 * faces of two-pass duplex jobs, and reads its header comments.  Nothing
 * here knows of a device context but OVL_ReplayFormFile at the end.
 */
#include "form_overlay.h"

#include "output_channel.h"
#include "pclxl_encoder.h"
#include "pclxl_tags.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <plat/file.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::array<FormTag, 256> build_tag_table()
{
    std::array<FormTag, 256> t{}; /* everything not listed is refused */
    auto set = [&t](int from, int to, BYTE kind, BYTE size, BYTE count) {
        for (int i = from; i <= to; i++)
            t[size_t(i)] = FormTag{kind, size, count};
    };
    set(0x27, 0x29, FORM_TAG_LINE, 0, 0);
    set(0x41, 0xB9, FORM_TAG_SINGLE, 0, 0);
    set(0xFF, 0xFF, FORM_TAG_SINGLE, 0, 0);
    set(0xC0, 0xC0, FORM_TAG_VALUE, 1, 1);
    set(0xC1, 0xC1, FORM_TAG_VALUE, 2, 1);
    set(0xC3, 0xC3, FORM_TAG_VALUE, 2, 1);
    set(0xC2, 0xC2, FORM_TAG_VALUE, 4, 1);
    set(0xC4, 0xC5, FORM_TAG_VALUE, 4, 1);
    set(0xC6, 0xC7, FORM_TAG_VALUE, 0, 0);
    set(0xCE, 0xCF, FORM_TAG_VALUE, 0, 0);
    set(0xD6, 0xDF, FORM_TAG_VALUE, 0, 0);
    set(0xE6, 0xEF, FORM_TAG_VALUE, 0, 0);
    set(0xC8, 0xC8, FORM_TAG_ARRAY, 1, 1);
    set(0xC9, 0xC9, FORM_TAG_ARRAY, 2, 1);
    set(0xCB, 0xCB, FORM_TAG_ARRAY, 2, 1);
    set(0xCA, 0xCA, FORM_TAG_ARRAY, 4, 1);
    set(0xCC, 0xCD, FORM_TAG_ARRAY, 4, 1);
    set(0xD0, 0xD0, FORM_TAG_VALUE, 1, 2);
    set(0xD1, 0xD1, FORM_TAG_VALUE, 2, 2);
    set(0xD3, 0xD3, FORM_TAG_VALUE, 2, 2);
    set(0xD2, 0xD2, FORM_TAG_VALUE, 4, 2);
    set(0xD4, 0xD5, FORM_TAG_VALUE, 4, 2);
    set(0xE0, 0xE0, FORM_TAG_VALUE, 1, 4);
    set(0xE1, 0xE1, FORM_TAG_VALUE, 2, 4);
    set(0xE3, 0xE3, FORM_TAG_VALUE, 2, 4);
    set(0xE2, 0xE2, FORM_TAG_VALUE, 4, 4);
    set(0xE4, 0xE5, FORM_TAG_VALUE, 4, 4);
    set(0xF8, 0xF8, FORM_TAG_ATTRIBUTE, 1, 1);
    set(0xF9, 0xF9, FORM_TAG_ATTRIBUTE, 2, 1);
    set(0xFA, 0xFA, FORM_TAG_EMBEDDED, 4, 1);
    set(0xFB, 0xFB, FORM_TAG_EMBEDDED, 1, 1);
    return t;
}

/* Value tags the converter reads; any other type of the same attribute is copied unchanged. */
constexpr BYTE kTagUByte = 0xC0, kTagUInt16 = 0xC1, kTagSInt16 = 0xC3, kTagUByteArray = 0xC8;
constexpr BYTE kTagSInt16XY = 0xD3, kTagReal32XY = 0xD5, kTagAttrUByte = 0xF8;

/* Comments longer than this are copied without being examined. */
constexpr DWORD kCommentExamined = 32;

/* Pieces in which long arrays, embedded data and lines are copied. */
constexpr DWORD kCopyPiece = 512;

/* The next byte of the form; false at the end of the source or when it fails. */
bool rd_Next(FormReader *r, BYTE *b)
{
    if (r->position >= r->fill[r->current]) {
        if (r->endOfFile || r->failed) {
            r->done = !r->failed;
            return false;
        }
        const int next = r->current ^ 1;
        DWORD got = 0;
        if (!r->source(r->context, r->buffer[next], FORM_READ_BLOCK, &got) || got > FORM_READ_BLOCK) {
            r->failed = TRUE;
            return false;
        }
        r->current = next;
        r->fill[next] = got;
        r->position = 0;
        r->totalRead += got;
        if (got < FORM_READ_BLOCK)
            r->endOfFile = TRUE;
        if (got == 0) {
            r->done = TRUE;
            return false;
        }
    }
    *b = r->buffer[r->current][r->position++];
    r->consumed++;
    if (r->endOfFile && r->position >= r->fill[r->current])
        r->done = TRUE;
    return true;
}

bool rd_Bytes(FormReader *r, BYTE *out, DWORD n)
{
    for (DWORD i = 0; i < n; i++)
        if (!rd_Next(r, out + i))
            return false;
    return true;
}

/* One conversion run: the reader, the sink, what the form said so far. */
struct Converter {
    FormReader *reader;
    const FormConversion *conv;
    FormScan *scan;
    FormSink sink;
    void *sinkContext;
    WORD previousAttribute;
    bool attributesOpen = false; /* values read that no operator has taken yet */
};

bool cv_Put(Converter &c, const void *bytes, DWORD n)
{
    return !c.sink || n == 0 || c.sink(c.sinkContext, bytes, n) == 0;
}

/* Reads and copies `n` bytes in pieces, keeping the first `keepMax` of them in `keep`. */
bool cv_CopyBytes(Converter &c, ULONGLONG n, BYTE *keep = nullptr, DWORD keepMax = 0)
{
    BYTE piece[kCopyPiece];
    ULONGLONG done = 0;
    while (done < n) {
        DWORD k = DWORD(n - done < kCopyPiece ? n - done : kCopyPiece);
        if (!rd_Bytes(c.reader, piece, k))
            return false;
        if (keep && done < keepMax)
            std::memcpy(keep + done, piece, size_t(k < keepMax - done ? k : keepMax - done));
        if (!cv_Put(c, piece, k))
            return false;
        done += k;
    }
    return true;
}

/* The decimal number after `key` at the start of `text`, when there is one. */
bool cv_Number(const char *text, DWORD length, const char *key, LONG *value)
{
    const DWORD keyLength = DWORD(std::strlen(key));
    if (length <= keyLength || std::memcmp(text, key, keyLength) != 0)
        return false;
    LONG v = 0;
    DWORD i = keyLength;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; i++) {
        if (v > (std::numeric_limits<LONG>::max() - 9) / 10)
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (i == keyLength)
        return false;
    *value = v;
    return true;
}

void cv_ReadComment(Converter &c, const BYTE *text, DWORD length)
{
    const char *s = reinterpret_cast<const char *>(text);
    LONG v = 0;
    if (cv_Number(s, length, "FormResoX=", &v))
        c.scan->formResX = v;
    else if (cv_Number(s, length, "FormResoY=", &v))
        c.scan->formResY = v;
    else if (cv_Number(s, length, "ColorMode=", &v))
        c.scan->colorMode = v;
}

SHORT cv_ClampShort(LONGLONG v)
{
    if (v < std::numeric_limits<SHORT>::min())
        return std::numeric_limits<SHORT>::min();
    if (v > std::numeric_limits<SHORT>::max())
        return std::numeric_limits<SHORT>::max();
    return SHORT(v);
}

SHORT cv_Short(const BYTE *p) { return SHORT(WORD(p[0] | p[1] << 8)); }

void cv_PutShort(BYTE *p, SHORT v)
{
    p[0] = BYTE(WORD(v));
    p[1] = BYTE(WORD(v) >> 8);
}

/* Converts a value (tag and payload in `value`) for the attribute `id`. */
void cv_Convert(Converter &c, BYTE *value, WORD id)
{
    const FormConversion &k = *c.conv;
    const FormScan &s = *c.scan;
    const BYTE tag = value[0];
    BYTE *p = value + 1;
    if (id == XLATTR_PageAngle && tag == kTagSInt16) {
        if (k.turned && c.previousAttribute == XLATTR_PageScale)
            cv_PutShort(p, SHORT(((LONG(cv_Short(p)) + 180) % 360 + 360) % 360));
    } else if (id == XLATTR_PageOrigin && tag == kTagSInt16XY) {
        LONGLONG x = cv_Short(p), y = cv_Short(p + 2);
        if (k.jobResX > 0 && s.formResX > 0)
            x = OVL_MulDiv(LONG(x), k.jobResX, s.formResX);
        if (k.jobResY > 0 && s.formResY > 0)
            y = OVL_MulDiv(LONG(y), k.jobResY, s.formResY);
        if (k.turned) {
            x = k.pageWidth - x;
            y = k.pageHeight - y;
        }
        cv_PutShort(p, cv_ClampShort(x));
        cv_PutShort(p + 2, cv_ClampShort(y));
    } else if (id == XLATTR_PageScale && tag == kTagReal32XY) {
        FLOAT x, y;
        std::memcpy(&x, p, 4);
        std::memcpy(&y, p + 4, 4);
        if (k.jobResX > 0 && s.formResX > 0)
            x = FLOAT(double(x) * k.jobResX / s.formResX);
        if (k.jobResY > 0 && s.formResY > 0)
            y = FLOAT(double(y) * k.jobResY / s.formResY);
        std::memcpy(p, &x, 4);
        std::memcpy(p + 4, &y, 4);
    }
}

/* The attribute that must follow a value: 0xF8 and its identifier. */
bool cv_Attribute(Converter &c, BYTE attribute[2])
{
    return rd_Bytes(c.reader, attribute, 2) && attribute[0] == kTagAttrUByte;
}

bool cv_Value(Converter &c, BYTE tag, const FormTag &t)
{
    BYTE value[1 + 4 * 4] = {tag};
    const DWORD n = DWORD(t.size) * t.count;
    BYTE attribute[2];
    if (!rd_Bytes(c.reader, value + 1, n) || !cv_Attribute(c, attribute))
        return false;
    cv_Convert(c, value, attribute[1]);
    c.previousAttribute = attribute[1];
    return cv_Put(c, value, 1 + n) && cv_Put(c, attribute, 2);
}

bool cv_Array(Converter &c, BYTE tag, const FormTag &t)
{
    /* the length: a ubyte or uint16 value */
    BYTE head[4] = {tag};
    if (!rd_Next(c.reader, &head[1]) || (head[1] != kTagUByte && head[1] != kTagUInt16))
        return false;
    const DWORD lengthBytes = head[1] == kTagUByte ? 1 : 2;
    if (!rd_Bytes(c.reader, head + 2, lengthBytes) || !cv_Put(c, head, 2 + lengthBytes))
        return false;
    const DWORD length = lengthBytes == 1 ? head[2] : DWORD(head[2] | head[3] << 8);
    const ULONGLONG bytes = ULONGLONG(length) * t.size;
    BYTE comment[kCommentExamined];
    if (!cv_CopyBytes(c, bytes, comment, kCommentExamined))
        return false;
    BYTE attribute[2];
    if (!cv_Attribute(c, attribute))
        return false;
    if (attribute[1] == XLATTR_CommentData && tag == kTagUByteArray && bytes <= kCommentExamined)
        cv_ReadComment(c, comment, DWORD(bytes));
    c.previousAttribute = attribute[1];
    return cv_Put(c, attribute, 2);
}

bool cv_Embedded(Converter &c, BYTE tag, const FormTag &t)
{
    BYTE head[5] = {tag};
    if (!rd_Bytes(c.reader, head + 1, t.size))
        return false;
    ULONGLONG length = 0;
    for (int i = t.size; i >= 1; i--)
        length = length << 8 | head[i];
    return cv_Put(c, head, 1u + t.size) && cv_CopyBytes(c, length);
}

bool cv_Line(Converter &c, BYTE tag)
{
    BYTE piece[kCopyPiece];
    DWORD n = 0;
    piece[n++] = tag;
    BYTE b = tag;
    while (b != '\n') {
        if (!rd_Next(c.reader, &b))
            return false;
        piece[n++] = b;
        if (n == kCopyPiece) {
            if (!cv_Put(c, piece, n))
                return false;
            n = 0;
        }
    }
    return cv_Put(c, piece, n);
}

} // namespace

const std::array<FormTag, 256> FormTagTable = build_tag_table();

LONG OVL_MulDiv(LONG a, LONG b, LONG c)
{
    if (c == 0)
        return -1;
    const LONGLONG product = LONGLONG(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const ULONGLONG magnitude = ULONGLONG(product < 0 ? -product : product);
    const ULONGLONG divisor = ULONGLONG(c < 0 ? -LONGLONG(c) : LONGLONG(c));
    /* rounded half away from zero, as the platform's MulDiv does */
    const ULONGLONG q = (magnitude + divisor / 2) / divisor;
    if (q > ULONGLONG(std::numeric_limits<LONG>::max()) + (negative ? 1 : 0))
        return -1;
    return negative ? LONG(-LONGLONG(q)) : LONG(q);
}

void OVL_InitFormReader(FormReader *reader, FormSource source, void *context)
{
    std::memset(reader, 0, sizeof *reader);
    reader->source = source;
    reader->context = context;
    reader->current = 1; /* the first fill goes into buffer 0 */
}

int OVL_ConvertForm(FormReader *reader, const FormConversion *conversion, FormScan *scan, FormSink sink,
                    void *sinkContext)
{
    if (!reader || !reader->source || !conversion || !scan)
        return 0;
    *scan = FormScan{};
    Converter c{reader, conversion, scan, sink, sinkContext, 0};
    for (;;) {
        BYTE tag = 0;
        if (!rd_Next(reader, &tag))
            break;
        const FormTag &t = FormTagTable[tag];
        bool ok = false;
        switch (t.kind) {
        case FORM_TAG_SINGLE:
            ok = cv_Put(c, &tag, 1);
            c.attributesOpen = false; /* the operator takes the attribute list */
            break;
        case FORM_TAG_VALUE:
            ok = cv_Value(c, tag, t);
            c.attributesOpen = true;
            break;
        case FORM_TAG_ARRAY:
            ok = cv_Array(c, tag, t);
            c.attributesOpen = true;
            break;
        case FORM_TAG_EMBEDDED:
            /* data belongs to the operator before it, never to an open attribute list */
            ok = !c.attributesOpen && cv_Embedded(c, tag, t);
            break;
        case FORM_TAG_LINE:
            ok = !c.attributesOpen && cv_Line(c, tag);
            break;
        default: /* not allowed, or an attribute without its value */
            break;
        }
        if (!ok)
            return 0;
    }
    /* a form that ends inside an attribute list would leave the job's stream without its operator */
    if (reader->failed || !reader->done || c.attributesOpen)
        return 0;
    scan->size = reader->consumed;
    return 1;
}

namespace {

BOOL file_Source(void *context, void *buffer, DWORD n, DWORD *got)
{
    return OUT_FileRead(*static_cast<HANDLE *>(context), buffer, n, got) == 0;
}

int pdev_Sink(void *context, const void *bytes, DWORD n)
{
    return XL_PutRaw(static_cast<PdevContext *>(context), bytes, n);
}

} // namespace

int OVL_ReplayFormFile(PdevContext *pdev, LPCWSTR path, FormScan *scan, LONG jobResX, LONG jobResY, BOOL turned)
{
    if (!path || !scan)
        return 0;
    *scan = FormScan{};
    FormConversion conv{jobResX, jobResY, turned, 0, 0};
    if (pdev && turned) {
        const SheetPipelineState *sheet = JOB_SheetState(pdev);
        if (!sheet)
            return 0;
        /* the paper in 1/254 inch, in device pixels */
        conv.pageWidth = OVL_MulDiv(sheet->paper.width, jobResX, 254);
        conv.pageHeight = OVL_MulDiv(sheet->paper.length, jobResY, 254);
    }
    HANDLE file = OUT_FileOpen(path, OUT_FILE_READ_ONLY);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    auto *reader = new (std::nothrow) FormReader;
    int rc = 0;
    if (reader) {
        OVL_InitFormReader(reader, file_Source, &file);
        rc = OVL_ConvertForm(reader, &conv, scan, pdev ? pdev_Sink : nullptr, pdev);
        delete reader;
    }
    OUT_FileClose(file);
    return rc;
}
