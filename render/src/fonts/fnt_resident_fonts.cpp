/*
 * The printer's resident fonts and what they cover: the table of the 80
 * resident fonts by printer font name with the Unicode ranges each holds,
 * and the check of a text run against the device font chosen for it (the
 * resident font's ranges, or for a Shift-JIS font its width table), which
 * sends the run to a download road when a character is missing.
 */
#include "draw_font.h"
#include "fnt_device_records.h"
#include "pdev_context.h"

#include <plat/codepage.h>
#include <plat/engine_fonts.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Range {
    WORD first;
    WORD count;
};
using Ranges = std::vector<Range>;

/* The common range set shared by most resident fonts. */
const Ranges kCommon = {
    {0x0020, 95}, {0x00A0, 104}, {0x010C, 8}, {0x0116, 6},  {0x011E, 2},  {0x0122, 2},  {0x0128, 4},  {0x012E, 6},
    {0x0136, 24}, {0x0150, 12},  {0x015E, 14}, {0x016E, 6}, {0x0178, 7},  {0x0192, 1},  {0x02C6, 2},  {0x02C9, 1},
    {0x02D8, 6},  {0x2002, 2},   {0x2009, 1},  {0x2013, 2}, {0x2018, 3},  {0x201C, 3},  {0x2020, 3},  {0x2026, 1},
    {0x2030, 1},  {0x2032, 2},   {0x2039, 2},  {0x2070, 1}, {0x2074, 6},  {0x207F, 1},  {0x20A7, 1},  {0x20AC, 1},
    {0x2105, 1},  {0x2113, 1},   {0x2122, 1},  {0x2212, 1}, {0x2215, 1},  {0x2219, 1},  {0xEFED, 13}, {0xF001, 2},
    {0xF151, 1},  {0xF170, 2},   {0xFB00, 5},
};

/* The common set with its two Latin ranges replaced by `latin`, 0x2020 holding 2 and without `dropped`. */
Ranges common_with(const Ranges &latin, std::initializer_list<WORD> dropped, const Ranges &extra = {})
{
    Ranges out = latin;
    for (size_t i = 2; i < kCommon.size(); ++i) {
        Range r = kCommon[i];
        if (std::find(dropped.begin(), dropped.end(), r.first) != dropped.end())
            continue;
        if (r.first == 0x2020)
            r.count = 2;
        out.push_back(r);
    }
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

Ranges plus(Ranges set, const Ranges &extra)
{
    set.insert(set.end(), extra.begin(), extra.end());
    return set;
}

/* L(a, b): the narrower Latin ranges of the Intellifont faces; `narrowA` gives 0x00AA+2 0x00AD+1. */
Ranges latin_l(WORD a, WORD b, bool narrowA = false)
{
    Ranges latin = {{0x0020, 28}, {0x003D, 1}, {0x003F, a}};
    if (a == 1)
        latin.push_back({0x0041, 29});
    latin.push_back({0x0060, b});
    for (Range r : {Range{0x00A0, 4}, Range{0x00A5, 1}, Range{0x00A7, 2}})
        latin.push_back(r);
    if (narrowA) {
        latin.push_back({0x00AA, 2});
        latin.push_back({0x00AD, 1});
    } else
        latin.push_back({0x00AA, 4});
    latin.insert(latin.end(), {{0x00B0, 5}, {0x00B7, 81}});
    return common_with(latin, {0x2113, 0x2122});
}

struct ResidentFont {
    const char *name; /* 16 characters */
    const Ranges *ranges;
};

const std::vector<ResidentFont> &resident_fonts()
{
    static const Ranges courierPs = plus(kCommon, {{0x2310, 1}});
    static const Ranges arial = plus(kCommon, {{0x20A3, 1}, {0xF232, 1}});
    static const Ranges franc = plus(kCommon, {{0x20A3, 1}});
    static const Ranges albertusMd = common_with({{0x0020, 32}, {0x0041, 29}, {0x0060, 27}, {0x00A0, 4}, {0x00A5, 1},
                                                  {0x00A7, 2}, {0x00AA, 4}, {0x00B0, 5}, {0x00B7, 81}},
                                                 {0x2113, 0x2122});
    static const Ranges l1_27 = latin_l(1, 27);
    static const Ranges l31_27 = latin_l(31, 27);
    static const Ranges l31_27f = plus(latin_l(31, 27), {{0xF219, 1}});
    static const Ranges omega = plus(latin_l(31, 28), {{0x007D, 1}});
    static const Ranges courier = plus(latin_l(1, 28, true), {{0x007D, 1}});
    static const Ranges garamond = latin_l(1, 27, true);
    static const Ranges coronet = common_with({{0x0020, 28}, {0x003D, 1}, {0x003F, 32}, {0x0060, 30}, {0x00A0, 6},
                                               {0x00A7, 2}, {0x00AA, 4}, {0x00B0, 5}, {0x00B6, 82}},
                                              {0x2122}, {{0x203C, 1}, {0x20A3, 1}, {0x221F, 1}, {0x2310, 1}});
    static const Ranges marigold = common_with({{0x0020, 28}, {0x003D, 1}, {0x003F, 31}, {0x0060, 28}, {0x007D, 1},
                                                {0x00A0, 6}, {0x00A7, 8}, {0x00B0, 5}, {0x00B6, 82}},
                                               {}, {{0x203C, 1}, {0x20A3, 1}, {0x221F, 1}, {0x2310, 1}});
    static const Ranges symbol = {{0x0020, 1}, {0x00A0, 1}, {0x2002, 2}, {0x2009, 1},
                                  {0xF000, 1}, {0xF021, 95}, {0xF0A0, 95}};
    static const Ranges symbolPs = {{0x0020, 1}, {0x00A0, 1}, {0x2002, 2}, {0x2009, 1},
                                    {0xF000, 1}, {0xF021, 94}, {0xF0A0, 80}, {0xF0F1, 14}};
    static const Ranges dingbats = {{0x0020, 1}, {0x00A0, 1}, {0x2002, 2}, {0x2009, 1},
                                    {0xF021, 94}, {0xF080, 14}, {0xF0A1, 79}, {0xF0F1, 14}};
    static const Ranges wingdings = {{0x0020, 1}, {0x00A0, 1}, {0x2002, 2}, {0x2009, 1},
                                     {0xF021, 94}, {0xF080, 128}, {0xF228, 8}};
    static const std::vector<ResidentFont> table = {
        {"Albertus      Md", &albertusMd}, {"Albertus      Xb", &l1_27},    {"AntiqOlive      ", &l1_27},
        {"AntiqOlive    It", &l1_27},      {"AntiqOlive    Bd", &l1_27},    {"Arial           ", &arial},
        {"Arial         It", &arial},      {"Arial         Bd", &franc},    {"Arial       BdIt", &franc},
        {"Clarendon   CdBd", &garamond},   {"Coronet         ", &coronet},  {"Courier         ", &courier},
        {"Courier       It", &courier},    {"Courier       Bd", &courier},  {"Courier     BdIt", &courier},
        {"Garamond Antiqua", &garamond},   {"Garamond    Krsv", &garamond}, {"Garamond     Hlb", &garamond},
        {"Garamond KrsvHlb", &garamond},   {"LetterGothic    ", &courier},  {"LetterGothic  It", &courier},
        {"LetterGothic  Bd", &courier},    {"Marigold        ", &marigold}, {"CG Omega        ", &omega},
        {"CG Omega      It", &omega},      {"CG Omega      Bd", &omega},    {"CG Omega    BdIt", &omega},
        {"Symbol          ", &symbol},     {"CG Times        ", &l1_27},    {"CG Times      It", &l1_27},
        {"CG Times      Bd", &l1_27},      {"CG Times    BdIt", &l1_27},    {"TimesNewRmn     ", &franc},
        {"TimesNewRmn   It", &franc},      {"TimesNewRmn   Bd", &franc},    {"TimesNewRmn BdIt", &franc},
        {"Univers       Md", &l1_27},      {"Univers     MdIt", &l1_27},    {"Univers       Bd", &l1_27},
        {"Univers     BdIt", &l1_27},      {"Univers     CdMd", &l31_27f},  {"Univers   CdMdIt", &l31_27f},
        {"Univers     CdBd", &l31_27},     {"Univers   CdBdIt", &l31_27},   {"ITCAvantGard  Bk", &kCommon},
        {"ITCAvantGardBkOb", &kCommon},    {"ITCAvantGard  Db", &kCommon},  {"ITCAvantGardDbOb", &kCommon},
        {"ITCBookman    Lt", &kCommon},    {"ITCBookman  LtIt", &kCommon},  {"Bookman       Db", &kCommon},
        {"Bookman     DbIt", &kCommon},    {"CourierPS       ", &courierPs}, {"CourierPS     Ob", &courierPs},
        {"CourierPS     Bd", &courierPs},  {"CourierPS   BdOb", &courierPs}, {"Helvetica       ", &kCommon},
        {"Helvetica     Ob", &kCommon},    {"Helvetica     Bd", &kCommon},  {"Helvetica   BdOb", &kCommon},
        {"Helvetica     Nr", &kCommon},    {"Helvetica   NrOb", &kCommon},  {"Helvetica   NrBd", &kCommon},
        {"Helvetica NrBdOb", &kCommon},    {"NwCentSchlbk Rmn", &kCommon},  {"NwCentSchlbk  It", &kCommon},
        {"NwCentSchlbk  Bd", &kCommon},    {"NwCentSchlbkBdIt", &kCommon},  {"Palatino     Rmn", &kCommon},
        {"Palatino      It", &kCommon},    {"Palatino      Bd", &kCommon},  {"Palatino    BdIt", &kCommon},
        {"SymbolPS        ", &symbolPs},   {"Times        Rmn", &kCommon},  {"Times         It", &kCommon},
        {"Times         Bd", &kCommon},    {"Times       BdIt", &kCommon},  {"ZapfChanceryMdIt", &kCommon},
        {"ZapfDingbats    ", &dingbats},   {"Wingdings       ", &wingdings},
    };
    return table;
}

/* The road of a run its device font cannot print. */
FontPath download_path(PdevContext *pdev, FONTOBJ *pfo)
{
    DWORD bitmapsOnly = 0;
    PDEV_GetSetting32(pdev, 1335, &bitmapsOnly);
    return (pfo->flFontType & FO_TYPE_TRUETYPE) && !bitmapsOnly ? FONT_PATH_OUTLINE : FONT_PATH_BITMAP;
}

/* The Shift-JIS check: each code converted to code page 932 must have a width in the font's tables. */
void check_shift_jis(PdevContext *pdev, FONTOBJ *pfo, ULONG count, FontPath *path, const WCHAR *codes,
                     const BYTE *metrics, DWORD size)
{
    DeviceFontRecord *record =
        FNT_BuildDeviceFontRecord(pdev, 0, reinterpret_cast<const DeviceFontMetrics *>(metrics), size);
    if (!record)
        return;
    for (ULONG i = 0; i < count; ++i) {
        char bytes[4] = {};
        int n = WideCharToMultiByte(932, 0, &codes[i], 1, bytes, sizeof bytes, nullptr, nullptr);
        if (n == 1 && bytes[0] == '?' && codes[i] != u'?') {
            *path = download_path(pdev, pfo);
            continue;
        }
        WORD code = n == 2 ? WORD(BYTE(bytes[0]) << 8 | BYTE(bytes[1])) : BYTE(bytes[0]);
        LONG width = n == 1 || n == 2 ? FNT_GetCharWidth(&record->cursor, code) : -1;
        if (width == 0 || width == -1) {
            *path = download_path(pdev, pfo);
            break;
        }
    }
    FNT_FreeDeviceFontRecord(pdev, record);
}

} // namespace

int FNT_ResidentFontCovers(const char *name, WCHAR code)
{
    if (!name)
        return 0;
    for (const ResidentFont &font : resident_fonts()) {
        if (std::memcmp(font.name, name, 16) != 0)
            continue;
        for (const Range &r : *font.ranges)
            if (code >= r.first && DWORD(code) < DWORD(r.first) + r.count)
                return 1;
        return 0;
    }
    return 0;
}

int FNT_CheckDeviceFontCoverage(PdevContext *pdev, FONTOBJ *pfo, ULONG glyphCount, FontPath *path, WCHAR *codes,
                                WORD deviceFont)
{
    if (!PDEV_IsValid(pdev) || !pfo || !path || (!codes && glyphCount) || deviceFont >= pdev->fontEntryCount)
        return -1;
    const DeviceFontEntry *entry = pdev->fontEntries[deviceFont];
    for (ULONG i = 0; i < glyphCount; ++i) {
        if (entry->charSet == SHIFTJIS_CHARSET) {
            if (codes[i] == 0x00A0)
                codes[i] = 0x0020;
            else if (codes[i] == 0x00A5)
                codes[i] = 0x005C;
        } else if (entry->charSet == SYMBOL_CHARSET && codes[i] >= 0xF000 && codes[i] <= 0xF0FF) {
            codes[i] = WCHAR(codes[i] + 0x1000);
        }
    }
    if (pfo->flFontType & FO_TYPE_DEVICE)
        return 0;

    DeviceFontMetrics *metrics = nullptr;
    DWORD size = 0;
    char name[17];
    std::memcpy(name, entry->printerName, sizeof name);
    WORD symbolSet = entry->symbolSet;
    if (!FNT_LoadDeviceFontMetrics(pdev, &metrics, &size, deviceFont + 1, name, &symbolSet))
        return 0;
    if (entry->charSet == SHIFTJIS_CHARSET) {
        check_shift_jis(pdev, pfo, glyphCount, path, codes, reinterpret_cast<const BYTE *>(metrics), size);
    } else {
        for (ULONG i = 0; i < glyphCount; ++i)
            if (!FNT_ResidentFontCovers(name, codes[i])) {
                *path = download_path(pdev, pfo);
                break;
            }
    }
    FNT_FreeDeviceFontMetrics(metrics);
    return 0;
}
