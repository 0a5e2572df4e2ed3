/*
 * The fonts downloaded on the current page: one record per font, most
 * recently used first, with the glyph of every character code given out
 * (codes 0, 1, 2, ... in order of first use).  A run makes its font
 * present (header written once) and downloads only the glyphs the font
 * does not have yet; every page end removes all fonts from the printer,
 * least recently used first.
 */
#include "draw_font_download.h"
#include "fnt_download.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>

namespace {

constexpr DWORD kNormalCodeLimit = 1023; /* a normal font takes a run while its codes stay within this */

WORD *glyph_table(DownloadedFont *font) { return font->large ? font->largeGlyphs : font->glyphs; }

void free_font(DownloadedFont *font)
{
    if (font->largeGlyphs)
        HeapFree(GetProcessHeap(), 0, font->largeGlyphs);
    HeapFree(GetProcessHeap(), 0, font);
}

/* The first font of `name`, or null. */
DownloadedFont *find_font(PdevContext *pdev, const char *name)
{
    for (DownloadedFont *font = pdev->downloadedFonts; font; font = font->next)
        if (std::strcmp(font->name, name) == 0)
            return font;
    return nullptr;
}

/* Takes `font` out of the list without telling the printer. */
void unlink_font(PdevContext *pdev, DownloadedFont *font)
{
    for (DownloadedFont **link = &pdev->downloadedFonts; *link; link = &(*link)->next) {
        if (*link == font) {
            *link = font->next;
            font->next = nullptr;
            if (pdev->downloadedFontCount)
                pdev->downloadedFontCount--;
            return;
        }
    }
}

/* Frees every record without telling the printer. */
void free_all(PdevContext *pdev)
{
    while (DownloadedFont *font = pdev->downloadedFonts) {
        pdev->downloadedFonts = font->next;
        free_font(font);
    }
    pdev->downloadedFontCount = 0;
}

} // namespace

DownloadedFont *FNT_FindOrAddDownloadedFont(PdevContext *pdev, const char *name, BOOL *added)
{
    if (added)
        *added = FALSE;
    if (!pdev || !name || std::strlen(name) >= FNT_FONT_NAME_SIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (DownloadedFont *font = find_font(pdev, name)) {
        if (pdev->downloadedFonts != font) {
            unlink_font(pdev, font);
            font->next = pdev->downloadedFonts;
            pdev->downloadedFonts = font;
            pdev->downloadedFontCount++;
        }
        return font;
    }
    auto *font = static_cast<DownloadedFont *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DownloadedFont)));
    if (!font) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::strcpy(font->name, name);
    font->capacity = FNT_NORMAL_CAPACITY;
    font->next = pdev->downloadedFonts;
    pdev->downloadedFonts = font;
    pdev->downloadedFontCount++;
    if (added)
        *added = TRUE;
    return font;
}

int FNT_RemoveDownloadedFont(PdevContext *pdev, DownloadedFont *font)
{
    if (!pdev || !font)
        return -1;
    unlink_font(pdev, font);
    const int rc = XL_RemoveFont(pdev, font->name);
    free_font(font);
    return rc == 0 ? 0 : -1;
}

int FNT_RemoveOldestFont(PdevContext *pdev)
{
    if (!pdev || !pdev->downloadedFonts)
        return -1;
    DownloadedFont *oldest = pdev->downloadedFonts;
    while (oldest->next)
        oldest = oldest->next;
    const int rc = FNT_RemoveDownloadedFont(pdev, oldest);
    if (!pdev->downloadedFonts)
        XL_ResetFontState(pdev); /* the next text selects its font again */
    return rc;
}

bool FNT_FontWouldOverflow(const DownloadedFont *font, ULONG glyphCount)
{
    if (!font)
        return true;
    const unsigned long long codes = (unsigned long long)font->codeCount + glyphCount;
    /* a large font holds only its capacity: a run that could need more takes a new font */
    return font->large ? codes > font->capacity : codes > kNormalCodeLimit;
}

LONG FNT_FindGlyphCode(DownloadedFont *font, HGLYPH glyph, BOOL *added)
{
    if (added)
        *added = FALSE;
    if (!font)
        return -1;
    WORD *glyphs = glyph_table(font);
    const WORD id = WORD(glyph & 0xFFFF);
    for (WORD code = 0; code < font->codeCount; code++)
        if (glyphs[code] == id)
            return code;
    if (font->codeCount >= font->capacity)
        return -1; /* never past the font's codes */
    glyphs[font->codeCount] = id;
    if (added)
        *added = TRUE;
    return font->codeCount++;
}

int FNT_EnsureFont(PdevContext *pdev, const char *name, WORD symbolSet, ULONG glyphCount, FontPath path,
                   TrueTypeFontInfo *info)
{
    if (!pdev || !name || (path == FONT_PATH_OUTLINE && !info) ||
        (path != FONT_PATH_OUTLINE && path != FONT_PATH_BITMAP)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (DownloadedFont *font = find_font(pdev, name); font && FNT_FontWouldOverflow(font, glyphCount)) {
        if (FNT_RemoveDownloadedFont(pdev, font) != 0)
            return -1;
        XL_ResetFontState(pdev);
    }

    DWORD large = 0, capacity = FNT_NORMAL_CAPACITY;
    if (glyphCount >= FNT_NORMAL_CAPACITY) {
        large = 1;
        capacity = path == FONT_PATH_OUTLINE ? info->numGlyphs : glyphCount;
        if (capacity > 0xFFFF || capacity < 1) {
            SetLastError(ERROR_INVALID_PARAMETER); /* more codes than a font can have */
            return -1;
        }
    }
    BOOL added = FALSE;
    DownloadedFont *font = FNT_FindOrAddDownloadedFont(pdev, name, &added);
    if (!font)
        return -1;
    if (!added)
        return 0;
    font->type = path;
    font->large = large;
    font->capacity = WORD(capacity);
    if (large) {
        font->largeGlyphs = static_cast<WORD *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WORD) * capacity));
        if (!font->largeGlyphs) {
            unlink_font(pdev, font);
            free_font(font);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return -1;
        }
    }
    const WORD characters = WORD(capacity);
    const int rc = path == FONT_PATH_OUTLINE ? FNT_WriteTrueTypeHeader(pdev, name, symbolSet, characters, info)
                                             : FNT_WriteBitmapHeader(pdev, name, symbolSet, characters);
    if (rc != 0) {
        /* the printer has no complete font of this name: forget it */
        unlink_font(pdev, font);
        free_font(font);
        return -1;
    }
    return 0;
}

int FNT_DownloadRunGlyphs(PdevContext *pdev, FONTOBJ *pfo, const char *name, ULONG glyphCount, GLYPHPOS *pgp,
                          FontPath path, TrueTypeFontInfo *info, WORD *codes, FLOAT charSize)
{
    if (!pdev || !name || !codes || (path == FONT_PATH_OUTLINE && !info) || (path == FONT_PATH_BITMAP && !pgp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DownloadedFont *font = find_font(pdev, name);
    if (!font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    bool begun = false;
    int rc = 0;
    for (ULONG i = 0; i < glyphCount && rc == 0; i++) {
        const WORD glyph = codes[i];
        BOOL added = FALSE;
        const LONG code = FNT_FindGlyphCode(font, glyph, &added);
        if (code < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            rc = -1;
            break;
        }
        if (added) {
            if (!begun && XL_BeginChar(pdev, name) != 0) {
                rc = -1;
                break;
            }
            begun = true;
            rc = path == FONT_PATH_OUTLINE ? FNT_WriteTrueTypeGlyph(pdev, info, glyph, WORD(code))
                                           : FNT_WriteBitmapGlyph(pdev, pfo, &pgp[i], WORD(code), charSize);
            if (rc != 0)
                font->codeCount--; /* the printer does not have it: the code is given out again */
        }
        codes[i] = WORD(code);
    }
    if (begun && XL_EndChar(pdev) != 0)
        rc = -1;
    return rc;
}

int FNT_ResetDownloadState(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    free_all(pdev);
    return 0;
}

int FNT_RemoveAllDownloadedFonts(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    while (pdev->downloadedFontCount && pdev->downloadedFonts) {
        if (FNT_RemoveOldestFont(pdev) != 0) {
            /* the printer is not answering: forget the rest, the next page downloads again */
            free_all(pdev);
            XL_ResetFontState(pdev);
            return -1;
        }
    }
    free_all(pdev);
    return 0;
}

void FNT_FreeDownloadedFonts(PdevContext *pdev)
{
    if (!pdev)
        return;
    free_all(pdev);
    if (pdev->runFontInfo) {
        HeapFree(GetProcessHeap(), 0, pdev->runFontInfo);
        pdev->runFontInfo = nullptr;
    }
}

void FNT_MoveDownloadedFonts(PdevContext *oldPdev, PdevContext *newPdev)
{
    if (!oldPdev || !newPdev || oldPdev == newPdev)
        return;
    free_all(newPdev);
    newPdev->downloadedFonts = oldPdev->downloadedFonts;
    newPdev->downloadedFontCount = oldPdev->downloadedFontCount;
    oldPdev->downloadedFonts = nullptr;
    oldPdev->downloadedFontCount = 0;
}
