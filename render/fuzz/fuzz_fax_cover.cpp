// Fuzzes the fax cover of copy-set jobs: the input is a send list as the
// copy-set escape hands it over.  The cover of each of its first
// destinations is laid out from the destination's texts and built into its
// record stream with a small device font, in the double-byte code page 932;
// the stream must fit the size the builder asked for.  The list's first
// header text is also taken as a form path for the form-name record.
#include "fnt_metric_cursor.h"
#include "pdev_context.h"
#include "sheet_cover.h"
#include "sheet_data.h"

#include "../tests/fonts/font_test_support.h"

#include <plat/codepage.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

/* Destinations whose cover is built: enough to reach every variant and mark. */
constexpr DWORD kCoversPerInput = 4;

/* A device font with widths for every byte from 0x20 and for the double-byte codes 0x8140 to 0xFCFC. */
font_test::MetricsBuilder make_font()
{
    font_test::MetricsBuilder b;
    b.u8(30, 0x21); /* variable pitch */
    b.u16(31, 500);
    b.u8(35, 0x20);
    b.u8(36, 0xFF);
    b.u32(79, b.text("100"));
    std::vector<BYTE> widths;
    for (int c = 0x20; c <= 0xFF; c++) {
        widths.push_back(BYTE(400 + c));
        widths.push_back(BYTE((400 + c) >> 8));
    }
    b.u32(63, b.append(widths));
    DWORD t1 = b.words({1, 0x8140, 0xFCFC, 1000});
    DWORD t2 = b.words({0, 0, 0});
    DWORD t3 = b.words({0});
    DWORD e = b.append(std::vector<BYTE>(18));
    b.u32(6 + e + 6, t1);
    b.u32(6 + e + 10, t2);
    b.u32(6 + e + 14, t3);
    b.u32(83, e);
    return b;
}

/* The resource strings of the cover's labels: a double-byte word and the id. */
bool load_string(void *, UINT id, char16_t *out, int capacity)
{
    const std::u16string text = u"\u5B9B\u5148" + std::u16string(1, char16_t(u'0' + id % 10));
    if (capacity < int(text.size()) + 1)
        return false;
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    return true;
}

template <size_t N> void set_text(char16_t (&field)[N], const std::u16string &text)
{
    text.copy(field, N - 1);
    field[std::min(text.size(), N - 1)] = 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    plat::set_ansi_code_page(932);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static font_test::MetricsBuilder font = make_font();
    static FontMetricCursor cursor{};
    static const bool fontOpen = FNT_OpenMetricTable(font.from6(), &cursor, font.limit()) == 0;
    if (!fontOpen)
        std::abort();

    auto pdev = std::make_unique<PdevContext>();
    std::memset(pdev.get(), 0, sizeof(PdevContext));
    if (SDB_LoadCopySetData(pdev.get(), DWORD(size), data) != 0)
        return 0;
    const WORD count = SDB_CopySetCount(pdev.get());
    if (count == 0 || DWORD(size) != FAX_HEADER_SIZE + FAX_ENTRY_SIZE * count)
        std::abort();

    auto destination = std::make_unique<CoverDestination>();
    auto items = std::make_unique<CoverItems>();
    const CoverFont fonts[2] = {{0x0100, &cursor}, {0x0200, &cursor}};
    for (DWORD i = 0; i < count && i < kCoversPerInput; i++) {
        if (SDB_GetDestination(pdev.get(), i, destination.get()) != 0)
            std::abort();
        CoverSettings s{};
        s.variant = LONG(i & 1);
        s.sameForAll = LONG(i == 3);
        s.recipientMark = LONG(1 + (i & 1));
        s.attentionMark = LONG(2 - (i & 1));
        s.dialPrefix = 1;
        set_text(s.title, u"\u81F3\u6025");
        set_text(s.recipient, u"Sales \u55B6\u696D");
        set_text(s.sender, std::u16string(50, u'\u3042'));
        set_text(s.senderText, u"line one\r\nline two \u3001\u3002");
        const CoverDialling dialling = {u"9,", u"0,"};
        if (SDB_BuildItems(reinterpret_cast<const BYTE *>(destination.get()), s, dialling, load_string, nullptr,
                           items.get()) != 0)
            continue;
        if (items->count < 0 || items->count > COVER_MAX_ITEMS)
            std::abort();
        const DWORD capacity = SDB_CoverSize(*items);
        std::vector<BYTE> out(capacity);
        const LONG written = SDB_BuildCover(*items, fonts, 600, 1200, out.data(), capacity);
        if (written > LONG(capacity))
            std::abort();
    }

    /* The first header text as a form file's path. */
    char16_t path[FAX_HEADER_TEXT1_SIZE / 2 + 1] = {};
    std::memcpy(path, destination->headerText1, FAX_HEADER_TEXT1_SIZE);
    path[FAX_HEADER_TEXT1_SIZE / 2] = 0;
    BYTE record[255 + 29];
    if (SDB_BuildFormNameRecord(path, record, sizeof record) > LONG(sizeof record))
        std::abort();

    SDB_FreeCopySetData(pdev.get());
    return 0;
}
