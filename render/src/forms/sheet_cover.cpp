/*
 * The fax cover page of a copy-set job (see sheet_cover.h): layout tables,
 * wrapping, placing, and the record stream.
 */
#include "sheet_cover.h"

#include "draw_font.h"

#include <tarvel/base/util_codepage.h>
#include <tarvel/fax_layout.h>

#include <plat/codepage.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr CoverRow kEnd = {COVER_KIND_END, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

constexpr CoverRow kTitle1[] = {{1, 1774, 1, 1, 0, 100, 1750, 518, 0, 1, 0}, {0, 0, 1, 1, 0, 100, 1397, 518, 0, 1, 0}, kEnd};
constexpr CoverRow kTitle2[] = {{1, 1775, 1, 1, 0, 100, 1750, 518, 0, 1, 0}, {0, 0, 1, 1, 0, 100, 1715, 518, 0, 1, 0}, kEnd};

constexpr CoverRow kRecipient1[] = {
    {1, 1776, 1, 0, 0, 110, 350, 680, 0, 1, 0}, {2, 0, 1, 0, 0, 145, 680, 669, 40, 1, 0},
    {3, 0, 1, 0, 0, 120, 1708, 676, 0, 1, 0},   {4, 0, 1, 0, 0, 90, 680, 762, 40, 2, 40},
    {5, 0, 1, 1, 0, 90, 1750, 762, 0, 1, 0},    {7, 1778, 1, 0, 0, 90, 350, 870, 0, 1, 0},
    {8, 0, 1, 0, 0, 120, 680, 864, 100, 1, 0},  kEnd};
constexpr CoverRow kRecipient2[] = {
    {1, 1777, 1, 0, 0, 110, 350, 680, 0, 1, 0}, {2, 0, 1, 0, 0, 145, 680, 669, 40, 1, 0},
    {4, 0, 1, 0, 0, 90, 680, 762, 40, 2, 40},   {7, 1779, 1, 0, 0, 90, 350, 870, 0, 1, 0},
    {8, 0, 1, 0, 0, 120, 680, 864, 100, 1, 0},  kEnd};

#define SENDER_ROWS(a, b, c)                                                                                           \
    {1, a, 1, 0, 0, 110, 350, 1021, 0, 1, 0}, {2, 0, 1, 0, 0, 145, 680, 1010, 40, 1, 0},                               \
        {4, 0, 1, 0, 0, 90, 680, 1101, 40, 5, 40}, {1, b, 1, 0, 0, 90, 350, 1335, 0, 1, 0},                            \
        {6, 0, 1, 0, 0, 140, 680, 1323, 30, 1, 0}, {1, c, 1, 0, 0, 90, 350, 1418, 0, 1, 0},                            \
        {8, 0, 1, 0, 0, 140, 680, 1406, 30, 1, 0}, kEnd
constexpr CoverRow kSender1[] = {SENDER_ROWS(1780, 1782, 1784)};
constexpr CoverRow kSender2[] = {SENDER_ROWS(1781, 1783, 1785)};
#undef SENDER_ROWS

#define MESSAGE_ROWS(a, b)                                                                                             \
    {1, a, 1, 0, 0, 100, 350, 1650, 0, 1, 0}, {9, 0, 1, 0, 0, 130, 680, 1640, 40, 1, 0},                               \
        {1, b, 1, 0, 0, 90, 350, 1744, 0, 1, 0}, {10, 0, 1, 0, 0, 110, 680, 1744, 40, 16, 49}, kEnd
constexpr CoverRow kMessage1[] = {MESSAGE_ROWS(1786, 1788)};
constexpr CoverRow kMessage2[] = {MESSAGE_ROWS(1787, 1789)};
#undef MESSAGE_ROWS

constexpr const CoverRow *kTables[COVER_TABLE_COUNT][2] = {
    {kTitle1, kTitle2}, {kRecipient1, kRecipient2}, {kSender1, kSender2}, {kMessage1, kMessage2}};

constexpr double kMmPerPoint = 25.4 / 72;

/* The ANSI bytes of a wide text (without terminator); false when it cannot be converted. */
bool to_ansi(const char16_t *text, int units, char *out, int capacity, int *bytes)
{
    *bytes = 0;
    if (units == 0)
        return true;
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), units, out, capacity, nullptr, nullptr);
    if (n <= 0)
        return false;
    *bytes = n;
    return true;
}

/* One line of ANSI bytes into the next item; false when the page is full or the line cannot be converted. */
bool add_line(const CoverRow &row, const char *line, int bytes, int index, CoverItems *items)
{
    if (items->count >= COVER_MAX_ITEMS)
        return false;
    /* a line keeps at most 127 bytes, never half a double-byte character */
    const int kept = UTL_AnsiPrefixLength(line, bytes, COVER_LINE_BYTES);
    CoverItem &item = items->item[items->count];
    std::memset(&item, 0, sizeof item);
    if (kept > 0 &&
        MultiByteToWideChar(CP_ACP, 0, line, kept, reinterpret_cast<LPWSTR>(item.text), COVER_TEXT_CHARS - 1) <= 0)
        return false;
    const double em = row.size / 10.0 * kMmPerPoint; /* millimetres */
    LONG x = row.x;
    if (row.rightAligned == 1)
        x -= LONG(std::floor(em * (kept * 0.5) * 10));
    LONG y = row.y + index * row.spacing;
    if (row.baselineMode == 2)
        y -= LONG(std::floor(em * 860 / 1000 * 10));
    LONG size = row.size;
    /* a long address is set small enough to fit 107 mm */
    if (row.kind == 8 && kept >= 52)
        size = LONG(std::floor(107.0 / kept * 2 / kMmPerPoint * 10));
    item.x = SHORT(x);
    item.y = SHORT(y);
    item.size = SHORT(size);
    item.font = row.font;
    items->count++;
    return true;
}

void put16(BYTE *&p, WORD v)
{
    *p++ = BYTE(v >> 8);
    *p++ = BYTE(v);
}

void put_float(BYTE *&p, float f)
{
    DWORD v;
    std::memcpy(&v, &f, 4);
    put16(p, WORD(v >> 16));
    put16(p, WORD(v));
}

void put_tag(BYTE *&p, const char *tag)
{
    *p++ = BYTE(tag[0]);
    *p++ = BYTE(tag[1]);
}

} // namespace

const CoverRow *SDB_CoverTable(int table, LONG variant)
{
    if (table < 0 || table >= COVER_TABLE_COUNT)
        return nullptr;
    return kTables[table][variant == 0 ? 0 : 1];
}

int SDB_PlaceItem(const CoverRow &row, const char16_t *text, CoverItems *items)
{
    if (!text || !items)
        return -1;
    int units = 0;
    while (text[units])
        units++;
    if (units == 0)
        return 0;
    const int capacity = units * 2 + 1;
    char *ansi = new (std::nothrow) char[capacity];
    if (!ansi)
        return -1;
    int bytes = 0;
    bool ok = to_ansi(text, units, ansi, capacity, &bytes);
    if (ok && row.maxLines < 2) {
        ok = add_line(row, ansi, bytes, 0, items);
    } else if (ok) {
        /* a CR LF ends a line; so does a character that would pass the row's width */
        int start = 0, at = 0, lines = 0;
        while (ok && lines < row.maxLines && start < bytes) {
            if (at + 1 < bytes && ansi[at] == '\r' && ansi[at + 1] == '\n') {
                ok = add_line(row, ansi + start, at - start, lines++, items);
                start = at = at + 2;
                continue;
            }
            int step = IsDBCSLeadByte(BYTE(ansi[at])) && at + 1 < bytes ? 2 : 1;
            if (row.maxBytes > 0 && at - start + step > row.maxBytes && at > start) {
                ok = add_line(row, ansi + start, at - start, lines++, items);
                start = at;
                continue;
            }
            at += step;
            if (at >= bytes)
                ok = add_line(row, ansi + start, at - start, lines++, items), start = at;
        }
    }
    delete[] ansi;
    return ok ? 0 : -1;
}

namespace {

/* A wide text of at most `units` characters stored little-endian at `at`. */
std::u16string stored_text(const BYTE *at, DWORD units)
{
    std::u16string text;
    for (DWORD i = 0; i < units; i++) {
        char16_t c = char16_t(at[2 * i] | at[2 * i + 1] << 8);
        if (!c)
            break;
        text += c;
    }
    return text;
}

WORD stored_word(const BYTE *at) { return WORD(at[0] | at[1] << 8); }

std::u16string resource_text(CoverStringLoader load, void *context, UINT id)
{
    char16_t text[50] = {};
    if (!load || !load(context, id, text, 50))
        return {};
    text[49] = 0;
    return text;
}

} // namespace

int SDB_BuildItems(const BYTE *destination, const CoverSettings &s, const CoverDialling &dialling,
                   CoverStringLoader loadString, void *loaderContext, CoverItems *items)
{
    if (!destination || !items)
        return -1;
    items->count = 0;
    const BYTE *header1 = destination + FAX_ENTRY_SIZE;
    const BYTE *header2 = header1 + FAX_HEADER_TEXT1_SIZE;
    const bool same = s.sameForAll == 1;
    const bool quoted = stored_word(destination + FAX_E_ADDRESS_KIND) == 1;
    for (int table = 0; table < COVER_TABLE_COUNT; table++) {
        for (const CoverRow *row = SDB_CoverTable(table, s.variant); row->kind != COVER_KIND_END; row++) {
            std::u16string text;
            if (row->kind == 1) {
                text = resource_text(loadString, loaderContext, UINT(row->stringId));
            } else if (table == COVER_TITLE) {
                text = s.title;
            } else if (table == COVER_RECIPIENT) {
                switch (row->kind) {
                case 2:
                    text = same ? std::u16string(s.recipient) : stored_text(destination + FAX_E_TEXT_1797, 40);
                    break;
                case 3:
                case 5: {
                    LONG mark = row->kind == 3 ? s.recipientMark : s.attentionMark;
                    UINT base = row->kind == 3 ? 1770 : 1772;
                    if (!same && (mark == 1 || mark == 2))
                        text = resource_text(loadString, loaderContext, base + UINT(mark - 1));
                    break;
                }
                case 4:
                    if (!same)
                        text = stored_text(destination + FAX_E_TEXT_1798, 82);
                    break;
                case 7:
                    if (!same && !quoted)
                        text = resource_text(loadString, loaderContext, UINT(row->stringId));
                    break;
                case 8:
                    if (!same && !quoted) {
                        WORD select = stored_word(destination + FAX_E_PREFIX_SELECT);
                        if (s.dialPrefix == 1 && select == 2)
                            text = dialling.prefix1;
                        else if (s.dialPrefix == 1 && select == 1)
                            text = dialling.prefix2;
                        text += stored_text(destination + FAX_E_ADDRESS, 128);
                    }
                    break;
                }
            } else if (table == COVER_SENDER) {
                text = row->kind == 2 ? s.sender : row->kind == 4 ? s.senderText : row->kind == 6 ? s.phone : s.fax;
            } else {
                text = row->kind == 9 ? stored_text(header1, 40) : stored_text(header2, 670);
            }
            if (SDB_PlaceItem(*row, text.c_str(), items) != 0)
                return -1;
        }
    }
    return 0;
}

DWORD SDB_CoverSize(const CoverItems &items)
{
    DWORD size = 19;
    SHORT font = 0, pointSize = 0;
    for (int i = 0; i < items.count; i++) {
        const CoverItem &item = items.item[i];
        if (i == 0 || item.font != font)
            size += 4;
        if (item.size != pointSize)
            size += 26;
        int units = 0;
        while (units < COVER_TEXT_CHARS && item.text[units])
            units++;
        int bytes = units ? WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(item.text), units, nullptr, 0,
                                                nullptr, nullptr)
                          : 0;
        size += 5 * DWORD(bytes > 0 ? bytes : units * 2) + 15;
        font = item.font;
        pointSize = item.size;
    }
    return size;
}

LONG SDB_BuildCover(const CoverItems &items, const CoverFont fonts[2], LONG dpiX, LONG dpiY, BYTE *out,
                    DWORD capacity)
{
    if (!fonts || !out || dpiX <= 0 || dpiY <= 0 || capacity < SDB_CoverSize(items))
        return -1;
    BYTE *p = out;
    static const BYTE kHead[19] = {'A', 'R', 'A', 'K', 2, 'A', 'L', 1, 0, 0, 0, 0x0D, 'A', 'M', 2, 4, 0, 0, 0};
    std::memcpy(p, kHead, sizeof kHead);
    p += sizeof kHead;
    SHORT font = 0, pointSize = 0;
    char ansi[COVER_TEXT_CHARS * 2];
    for (int i = 0; i < items.count; i++) {
        const CoverItem &item = items.item[i];
        if (item.font != 1 && item.font != 2)
            return -1;
        const CoverFont &f = fonts[item.font - 1];
        if (!f.metrics)
            return -1;
        int units = 0;
        while (units < COVER_TEXT_CHARS && item.text[units])
            units++;
        int bytes = 0;
        if (units == COVER_TEXT_CHARS || !to_ansi(item.text, units, ansi, sizeof ansi, &bytes))
            return -1;
        float widths[COVER_TEXT_CHARS * 2];
        int count = 0;
        for (int at = 0; at < bytes;) {
            WORD code = BYTE(ansi[at]);
            if (IsDBCSLeadByte(BYTE(ansi[at])) && at + 1 < bytes)
                code = WORD(code << 8 | BYTE(ansi[at + 1])), at += 2;
            else
                at += 1;
            LONG width = FNT_GetCharWidth(f.metrics, code);
            if (width < 0)
                return -1;
            widths[count++] = float(double(width) * item.size / 1000 * dpiX / 72 / 10);
        }
        if (i == 0 || item.font != font) {
            put_tag(p, "DA");
            put16(p, WORD(f.recordId | 0x0002));
        }
        if (item.size != pointSize) {
            put_tag(p, "Db");
            put_float(p, float(double(dpiX) * item.size / 720));
            put_float(p, 0);
            put_float(p, 0);
            put_float(p, float(-double(dpiY) * item.size / 720));
            put_float(p, 0);
            put_float(p, 0);
        }
        put_tag(p, "Dd");
        put_float(p, float(double(item.x) * dpiX / 254));
        put_float(p, float(double(item.y) * dpiY / 254));
        *p++ = 2;
        put16(p, WORD(count));
        for (int k = 0; k < count; k++)
            put_float(p, widths[k]);
        put16(p, WORD(bytes));
        std::memcpy(p, ansi, size_t(bytes));
        p += bytes;
        font = item.font;
        pointSize = item.size;
    }
    return LONG(p - out);
}

LONG SDB_BuildFormNameRecord(const char16_t *path, BYTE *out, DWORD capacity)
{
    if (!path || !out)
        return -1;
    int end = 0, start = 0;
    while (path[end]) {
        if (path[end] == u'\\' || path[end] == u'/' || path[end] == u':')
            start = end + 1;
        end++;
    }
    int stop = end;
    for (int i = end - 1; i >= start; i--)
        if (path[i] == u'.') {
            stop = i;
            break;
        }
    if (stop <= start)
        return 0;
    char name[255 * 2 + 2];
    int units = stop - start;
    if (units > 255)
        units = 255;
    int bytes = 0;
    if (!to_ansi(path + start, units, name, sizeof name, &bytes))
        return -1;
    /* at most 255 bytes, never half a double-byte character */
    const int kept = UTL_AnsiPrefixLength(name, bytes, 255);
    if (DWORD(kept) + 29 > capacity)
        return -1;
    BYTE *p = out;
    put_tag(p, "Eg");
    put16(p, WORD(kept));
    std::memcpy(p, name, size_t(kept));
    p += kept;
    const float matrix[6] = {1, 0, 0, 1, 0, 0};
    for (float v : matrix)
        put_float(p, v);
    *p++ = 0;
    return LONG(p - out);
}
