/*
 * Device-font records from the model's metrics blocks: the check of a
 * block, the descriptor of each font, and the record shown to the engine
 * (widths, IFIMETRICS with names and simulations, kerning pairs, a copy of
 * the block and the width cursor over it).
 */
#include "fnt_device_records.h"

#include "draw_not_built.h"
#include "pdev_context.h"

#include <tarvel/model_data/model_format.h>
#include <tarvel/model_data/model_records.h>

#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kRecordVersion = 0x10000;
constexpr DWORD kIfiFixedSize = sizeof(IFIMETRICS);                      /* 192: the names follow */
constexpr DWORD kFontSimSize = sizeof(FONTSIM) + 3 * sizeof(FONTDIFF);   /* 72 */
constexpr DWORD kEtmSize = sizeof(EXTTEXTMETRIC);
constexpr DWORD kHeaderSize = (sizeof(DeviceFontRecord) + 7) & ~DWORD(7);

/* A checked block's fields, read with the metric cursor's origin (byte 6). */
struct Block {
    FontMetricCursor c;
    BYTE byte(DWORD at) { return FNT_CursorByte(&c, at); }
    WORD word(DWORD at) { return FNT_CursorWord(&c, at); }
    SHORT sword(DWORD at) { return SHORT(FNT_CursorWord(&c, at)); }
    DWORD dword(DWORD at) { return FNT_CursorDword(&c, at); }
};

bool open_block(Block &b, const BYTE *metrics, DWORD size)
{
    return metrics && size >= FNT_MET_ORIGIN + FNT_MET_HEADER_SIZE &&
           FNT_OpenMetricTable(metrics + FNT_MET_ORIGIN, &b.c, size - FNT_MET_ORIGIN) == 0 && b.c.ok;
}

/* True when `count` bytes at `at` (an offset from byte 6) lie inside the block. */
bool inside(const Block &b, DWORD at, unsigned long long count) { return at + count <= b.c.limit; }

/* The ANSI face or family text at `at` as UTF-16, at most 32 characters; its length. */
DWORD wide_name(const Block &b, DWORD at, WCHAR out[FNT_MAX_FACE_CHARS + 1])
{
    out[0] = 0;
    if (!at)
        return 0;
    LONG length = FNT_CursorTextLength(&b.c, at, 0x10000);
    if (length <= 0)
        return 0;
    int n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(b.c.block + at), length, out,
                                int(FNT_MAX_FACE_CHARS));
    if (n <= 0) /* longer than 32 characters: convert the first 32 bytes' worth */
        n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(b.c.block + at),
                                std::min<LONG>(length, LONG(FNT_MAX_FACE_CHARS)), out, int(FNT_MAX_FACE_CHARS));
    n = std::max(n, 0);
    out[n] = 0;
    return DWORD(n);
}

/* A byte of code page `codePage` as UTF-16 (U+FFFD when it has no character). */
WCHAR byte_to_wide(UINT codePage, BYTE b)
{
    WCHAR w = 0xFFFD;
    char c = char(b);
    if (MultiByteToWideChar(codePage, 0, &c, 1, &w, 1) != 1)
        w = 0xFFFD;
    return w;
}

/* Smallest and largest Unicode value of the 256 bytes of code page 1252. */
void code_page_range(WCHAR *first, WCHAR *last)
{
    char bytes[256];
    WCHAR wide[256];
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    int n = MultiByteToWideChar(1252, 0, bytes, 256, wide, 256);
    *first = 0xFFFF;
    *last = 0;
    for (int i = 0; i < n; ++i) {
        *first = std::min(*first, wide[i]);
        *last = std::max(*last, wide[i]);
    }
    if (n <= 0)
        *first = 0;
}

/* Bytes of a name of `chars` characters with its terminator, rounded up to 4. */
DWORD name_bytes(DWORD chars) { return (2 * chars + 5) & ~DWORD(3); }

void put_diff(BYTE *at, const FONTDIFF &d) { std::memcpy(at, &d, sizeof d); }

} // namespace

UINT FNT_CharsetCodePage(BYTE charSet)
{
    static const struct {
        BYTE charSet;
        UINT codePage;
    } table[] = {{0, 1252},   {128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253}, {162, 1254},
                 {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}};
    for (const auto &row : table)
        if (row.charSet == charSet)
            return row.codePage;
    return 1252;
}

DWORD FNT_IfiMetricsSize(DWORD faceChars, DWORD familyChars)
{
    faceChars = std::min(faceChars, FNT_MAX_FACE_CHARS);
    familyChars = std::min(familyChars, FNT_MAX_FACE_CHARS);
    return kIfiFixedSize + kFontSimSize + name_bytes(faceChars) + name_bytes(familyChars);
}

bool FNT_CheckMetricsBlock(const BYTE *metrics, DWORD size)
{
    Block b;
    if (!open_block(b, metrics, size))
        return false;
    DWORD face = b.dword(FNT_MET_FACE);
    if (face && (!b.c.faceName || !b.c.familyName))
        return false;
    DWORD etm = b.dword(FNT_MET_EXT_METRICS);
    if (etm && !inside(b, etm, kEtmSize))
        return false;
    BYTE first = b.c.firstChar, last = b.c.lastChar;
    if (b.c.extentTable && last >= first && !inside(b, b.c.extentTable, 2ull * (last - first + 1)))
        return false;
    DWORD kern = b.dword(FNT_MET_PAIR_KERN);
    if (kern && (!inside(b, kern, 2) || !inside(b, kern + 2ull, 4ull * b.word(kern))))
        return false;
    return b.c.ok;
}

void FNT_FillDeviceFontEntry(DeviceFontEntry *entry, const BYTE *metrics, DWORD size, const char name[17],
                             WORD symbolSet)
{
    *entry = {};
    Block b;
    open_block(b, metrics, size);
    wide_name(b, b.c.faceName, entry->faceName);
    std::memcpy(entry->printerName, name, 16);
    entry->printerName[16] = 0;
    entry->symbolSet = symbolSet;
    entry->id = b.c.id;
    entry->pitchAndFamily = b.byte(FNT_MET_PITCH_FAMILY);
    entry->charSet = b.byte(FNT_MET_CHARSET);
    entry->weight = b.word(FNT_MET_WEIGHT);
    entry->italic = b.byte(FNT_MET_ITALIC);
}

DeviceFontRecord *FNT_BuildDeviceFontRecord(PdevContext *pdev, DWORD, const DeviceFontMetrics *metricsBlock,
                                            DWORD metricsSize)
{
    const auto *metrics = reinterpret_cast<const BYTE *>(metricsBlock);
    if (!pdev || !pdev->heap || !FNT_CheckMetricsBlock(metrics, metricsSize)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    Block b;
    open_block(b, metrics, metricsSize);

    WCHAR face[FNT_MAX_FACE_CHARS + 1], family[FNT_MAX_FACE_CHARS + 1];
    DWORD faceChars = wide_name(b, b.c.faceName, face);
    DWORD familyChars = wide_name(b, b.c.familyName, family);
    DWORD ifiSize = FNT_IfiMetricsSize(faceChars, familyChars);
    DWORD kernTable = b.dword(FNT_MET_PAIR_KERN);
    DWORD kernCount = kernTable ? b.word(kernTable) : 0;
    DWORD kernSize = kernTable ? kernCount * sizeof(FD_KERNINGPAIR) + sizeof(FD_KERNINGPAIR) : 0;
    DWORD total = kHeaderSize + ifiSize + kernSize + metricsSize;

    auto *bytes = static_cast<BYTE *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, total));
    if (!bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto *r = reinterpret_cast<DeviceFontRecord *>(bytes);
    r->version = kRecordVersion;
    r->totalSize = total;
    r->ifiOffset = kHeaderSize;
    r->kernPairCount = kernCount;
    r->kernPairOffset = kernTable ? kHeaderSize + ifiSize : 0;
    r->metricsSize = metricsSize;
    r->metricsOffset = metricsSize ? kHeaderSize + ifiSize + kernSize : 0;
    r->id = b.c.id;
    if (DWORD etm = b.dword(FNT_MET_EXT_METRICS))
        FNT_CursorRead(&b.c, etm, &r->etm, kEtmSize);

    /* Widths by single-byte code. */
    BYTE charSet = b.byte(FNT_MET_CHARSET);
    BYTE pitch = b.byte(FNT_MET_PITCH_FAMILY);
    BYTE first = b.c.firstChar, last = b.c.lastChar;
    WORD avg = b.c.avgWidth;
    if (b.c.extentTable) {
        auto width = [&](DWORD index) -> WORD {
            SHORT w = SHORT(b.word(b.c.extentTable + 2 * index));
            return w < 0 ? 0 : WORD(w);
        };
        BYTE defaultIndex = b.byte(FNT_MET_DEFAULT_CHAR);
        WORD fallback = last >= first && defaultIndex <= last - first ? width(defaultIndex) : 0;
        std::fill(std::begin(r->widths), std::end(r->widths), fallback);
        for (DWORD c = first; c <= last && last >= first; ++c)
            r->widths[c] = width(c - first);
    } else {
        WORD w = FNT_IsDoubleByteCharset(charSet) ? WORD(avg / 2) : avg;
        std::fill(std::begin(r->widths), std::end(r->widths), w);
    }

    /* The IFIMETRICS. */
    IFIMETRICS ifi = {};
    const EXTTEXTMETRIC &etm = r->etm;
    bool fixedPitch = (pitch & 0x0F) == 0;
    ifi.cjThis = ifiSize;
    ifi.dpwszFaceName = PTRDIFF(kIfiFixedSize);
    ifi.dpwszFamilyName = PTRDIFF(kIfiFixedSize + name_bytes(faceChars));
    ifi.dpwszStyleName = ifi.dpwszUniqueName = ifi.dpwszFamilyName + PTRDIFF(2 * familyChars);
    ifi.dpFontSim = PTRDIFF(kIfiFixedSize + name_bytes(faceChars) + name_bytes(familyChars));
    ifi.lItalicAngle = etm.etmSlant;
    ifi.jWinCharSet = charSet;
    ifi.jWinPitchAndFamily = BYTE((pitch & 0xF0) | ((pitch & 0x0F) ? VARIABLE_PITCH : FIXED_PITCH));
    WORD weight = b.word(FNT_MET_WEIGHT);
    ifi.usWinWeight = weight == 0 || weight > 1000 ? 400 : weight;
    ifi.flInfo = FNT_INFO_ARB_XFORMS | FNT_INFO_NOT_CONTIGUOUS | FNT_INFO_RIGHT_HANDED;
    if (fixedPitch)
        ifi.flInfo |= FNT_IsDoubleByteCharset(charSet) ? FNT_INFO_DBCS_FIXED_PITCH | FM_INFO_OPTICALLY_FIXED_PITCH
                                                       : FNT_INFO_CONSTANT_WIDTH | FM_INFO_OPTICALLY_FIXED_PITCH;
    ifi.fsSelection = USHORT((b.byte(FNT_MET_STRIKEOUT) ? FM_SEL_STRIKEOUT : 0) |
                             (b.byte(FNT_MET_UNDERLINE) ? FM_SEL_UNDERSCORE : 0));
    ifi.fsType = 2;
    ifi.fwdUnitsPerEm = 1000;
    ifi.fwdLowestPPEm = etm.etmMinScale;
    SHORT ascent = b.sword(FNT_MET_ASCENT), internal = b.sword(FNT_MET_INT_LEADING);
    SHORT external = b.sword(FNT_MET_EXT_LEADING);
    ifi.fwdWinAscender = ifi.fwdMacAscender = ifi.fwdTypoAscender = ascent;
    FWORD descent = FWORD(1000 + internal - ascent);
    ifi.fwdWinDescender = descent;
    ifi.fwdMacDescender = ifi.fwdTypoDescender = FWORD(-descent);
    ifi.fwdMacLineGap = ifi.fwdTypoLineGap = FWORD(std::max(0, external - internal));
    FWORD average = FWORD(avg);
    if (!average && last >= first) { /* the mean of the range's widths; an empty range keeps 0 */
        DWORD sum = 0, n = DWORD(last - first + 1);
        for (DWORD c = first; c <= last; ++c)
            sum += r->widths[c];
        average = FWORD((sum + n / 2) / n);
    }
    ifi.fwdAveCharWidth = average;
    ifi.fwdMaxCharInc = std::max<FWORD>(FWORD(b.word(FNT_MET_MAX_WIDTH)), average);
    ifi.fwdCapHeight = etm.etmCapHeight;
    ifi.fwdXHeight = etm.etmXHeight;
    ifi.fwdSubscriptYSize = etm.etmSubScriptSize;
    ifi.fwdSubscriptYOffset = etm.etmSubScript;
    ifi.fwdSuperscriptYSize = etm.etmSuperScriptSize;
    ifi.fwdSuperscriptYOffset = etm.etmSuperScript;
    ifi.fwdUnderscoreSize = etm.etmUnderlineWidth;
    ifi.fwdUnderscorePosition = FWORD(-(etm.etmUnderlineWidth / 2));
    ifi.fwdStrikeoutSize = etm.etmStrikeOutWidth;
    ifi.fwdStrikeoutPosition = FWORD(etm.etmLowerCaseAscent > 880 ? etm.etmLowerCaseAscent / 4
                                                                   : etm.etmLowerCaseAscent / 2);
    ifi.chFirstChar = first;
    ifi.chLastChar = last;
    if (charSet == SHIFTJIS_CHARSET) {
        ifi.chDefaultChar = 0xA5;
        ifi.chBreakChar = 0x20;
        ifi.wcDefaultChar = 0xFF65;
        ifi.wcBreakChar = 0x0020;
        ifi.wcFirstChar = 0;
        ifi.wcLastChar = 0xFFE5;
    } else {
        ifi.chDefaultChar = BYTE(first + b.byte(FNT_MET_DEFAULT_CHAR));
        ifi.chBreakChar = BYTE(first + b.byte(FNT_MET_BREAK_CHAR));
        ifi.wcDefaultChar = byte_to_wide(1252, ifi.chDefaultChar);
        ifi.wcBreakChar = byte_to_wide(1252, ifi.chBreakChar);
        code_page_range(&ifi.wcFirstChar, &ifi.wcLastChar);
    }
    ifi.ptlBaseline = {1, 0};
    ifi.ptlAspect = {LONG(b.word(FNT_MET_HORIZ_RES)), LONG(b.word(FNT_MET_VERT_RES))};
    ifi.ptlCaret = etm.etmSlant ? POINTL{1, 2} : POINTL{0, 1};
    ifi.rclFontBox = {0, ifi.fwdTypoAscender, ifi.fwdMaxCharInc, ifi.fwdTypoDescender};
    std::memcpy(ifi.achVendId, "Unkn", 4);
    ifi.cKerningPairs = kernCount;
    ifi.panose.bWeight = BYTE(ifi.usWinWeight / 100 + 1);
    ifi.panose.bProportion = fixedPitch ? 9 : 0;
    /* The family type and serif style tell only "no family" (0) from the rest (1). */
    ifi.panose.bFamilyType = ifi.panose.bSerifStyle = (pitch & 0xF0) ? 1 : 0;

    BYTE *at = bytes + kHeaderSize;
    std::memcpy(at, &ifi, sizeof ifi);
    std::memcpy(at + ifi.dpwszFaceName, face, 2 * (faceChars + 1));
    std::memcpy(at + ifi.dpwszFamilyName, family, 2 * (familyChars + 1));

    /* The simulations: bold, italic, bold italic. */
    FONTSIM sim = {12, 32, 52};
    BYTE *simAt = at + ifi.dpFontSim;
    std::memcpy(simAt, &sim, sizeof sim);
    FONTDIFF base = {};
    base.bWeight = ifi.panose.bWeight;
    base.usWinWeight = ifi.usWinWeight;
    base.fsSelection = ifi.fsSelection;
    base.fwdAveCharWidth = ifi.fwdAveCharWidth;
    base.fwdMaxCharInc = ifi.fwdMaxCharInc;
    base.ptlCaret = ifi.ptlCaret;
    FONTDIFF bold = base, italic = base;
    bold.usWinWeight = USHORT(bold.usWinWeight + 300);
    bold.bWeight = BYTE(bold.bWeight + 1);
    bold.fsSelection |= FM_SEL_BOLD;
    bold.fwdAveCharWidth = FWORD(bold.fwdAveCharWidth + 1);
    bold.fwdMaxCharInc = FWORD(bold.fwdMaxCharInc + 1);
    italic.fsSelection |= FM_SEL_ITALIC;
    italic.ptlCaret = {1, 2};
    FONTDIFF boldItalic = bold;
    boldItalic.fsSelection |= FM_SEL_ITALIC;
    boldItalic.ptlCaret = {1, 2};
    put_diff(simAt + sim.dpBold, bold);
    put_diff(simAt + sim.dpItalic, italic);
    put_diff(simAt + sim.dpBoldItalic, boldItalic);

    /* Kerning pairs in Unicode of the font's code page, then a zero pair. */
    if (kernTable) {
        UINT codePage = charSet == SYMBOL_CHARSET || charSet == 1 ? 1252 : FNT_CharsetCodePage(charSet);
        BYTE *pairs = bytes + r->kernPairOffset;
        for (DWORD i = 0; i < kernCount; ++i) {
            DWORD entry = kernTable + 2 + 4 * i;
            FD_KERNINGPAIR pair = {byte_to_wide(codePage, b.byte(entry)), byte_to_wide(codePage, b.byte(entry + 1)),
                                   b.sword(entry + 2)};
            std::memcpy(pairs + 6 * i, &pair, sizeof pair);
        }
    }

    /* The metrics copy and the width cursor over it. */
    std::memcpy(bytes + r->metricsOffset, metrics, metricsSize);
    r->cursorOpen = FNT_OpenMetricTable(bytes + r->metricsOffset + FNT_MET_ORIGIN, &r->cursor,
                                        metricsSize - FNT_MET_ORIGIN) == 0;

    if (r->metricsOffset + r->metricsSize != total || !b.c.ok) {
        HeapFree(pdev->heap, 0, bytes);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return r;
}

void FNT_FreeDeviceFontRecord(PdevContext *pdev, DeviceFontRecord *record)
{
    if (pdev && pdev->heap && record)
        HeapFree(pdev->heap, 0, record);
}

int FNT_LoadDeviceFontMetrics(PdevContext *pdev, DeviceFontMetrics **metrics, DWORD *size, DWORD record,
                              char name[17], WORD *symbolSet)
{
    if (metrics)
        *metrics = nullptr;
    if (size)
        *size = 0;
    if (!pdev || !pdev->heap || !metrics || !size || !name || !symbolSet || !record || record > 0xFFFF)
        return 0;
    ModelRecord *font = nullptr;
    if (DDD_GetRecordByIndex(DDD_PARSE_FULL, pdev->mainReader, pdev->companionReader, DDD_KIND_DEVICE_FONT,
                             WORD(record), &font) != DDD_OK)
        return 0;
    const BYTE *blob = DDD_DeviceFontGetMetrics(font);
    DWORD blobSize = DDD_DeviceFontGetMetricsSize(font);
    auto *copy = blob && blobSize ? static_cast<BYTE *>(EngAllocMem(FL_ZERO_MEMORY, blobSize, 0)) : nullptr;
    if (copy)
        std::memcpy(copy, blob, blobSize);
    WORD count = 0;
    if (copy && DDD_GetItemCount(font, &count) == DDD_OK && count > 1) {
        DWORD length = 0;
        WORD type = 0;
        const void *value = nullptr;
        if (DDD_GetItem(font, 1, &length, &type, &value) == DDD_OK && type == DDD_VT_STRING && value) {
            /* The name is 16 characters; a shorter one is padded with blanks. */
            auto text = static_cast<LPCWSTR>(value);
            ULONG written = 0;
            char converted[16];
            EngUnicodeToMultiByteN(converted, 16, &written, text, ULONG(std::min<size_t>(16, lstrlenW(text)) * 2));
            std::memset(name, ' ', 16);
            std::memcpy(name, converted, written);
            name[16] = 0;
        }
        if (DDD_GetItem(font, 2, &length, &type, &value) == DDD_OK && type == DDD_VT_USHORT && value) {
            WORD set;
            std::memcpy(&set, value, sizeof set);
            *symbolSet = set ? set : FNT_DEFAULT_SYMBOL_SET;
        } else {
            *symbolSet = FNT_DEFAULT_SYMBOL_SET;
        }
    }
    if (DDD_FreeRecord(&font, -1) != 0 || !copy) {
        EngFreeMem(copy);
        return 0;
    }
    *metrics = reinterpret_cast<DeviceFontMetrics *>(copy);
    *size = blobSize;
    return 1;
}

void FNT_FreeDeviceFontMetrics(DeviceFontMetrics *metrics) { EngFreeMem(metrics); }
