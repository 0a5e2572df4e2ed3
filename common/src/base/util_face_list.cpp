/*
 * The machine's TrueType full names for the font-substitution dialog:
 * EnumFontFamiliesW over the families, and for each TrueType family over
 * its fonts, each full name kept once in enumeration order.
 */
#include <tarvel/base/font_sub_work.h>
#include <tarvel/base/util_ui_services.h>

#include <plat/engine_fonts.h>
#include <plat/memory.h>

#include <cstring>

namespace {

DWORD length(LPCWSTR s)
{
    DWORD n = 0;
    while (s[n])
        n++;
    return n;
}

bool same(LPCWSTR a, LPCWSTR b)
{
    while (*a && *a == *b)
        a++, b++;
    return *a == *b;
}

/* The full-name callback in the enumeration's own signature. */
int collect(const LOGFONTW *font, const TEXTMETRICW *metrics, DWORD fontType, LPARAM data)
{
    return UTL_CollectFullNameProc(font, metrics, fontType, data);
}

} // namespace

int UTL_EnumFamilyFontsProc(const void *logFont, const void *, DWORD fontType, LPARAM data)
{
    auto *work = reinterpret_cast<FontSubWork *>(data);
    if (!work || !logFont)
        return 0;
    if (!(fontType & TRUETYPE_FONTTYPE))
        return 1;
    const auto *font = static_cast<const ENUMLOGFONTW *>(logFont);
    return EnumFontFamiliesW(work->desktopDc, font->elfLogFont.lfFaceName, collect, data);
}

int UTL_CollectFullNameProc(const void *logFont, const void *, DWORD fontType, LPARAM data)
{
    auto *work = reinterpret_cast<FontSubWork *>(data);
    if (!work || !logFont)
        return 0;
    if (!(fontType & TRUETYPE_FONTTYPE))
        return 1;
    const WCHAR *name = static_cast<const ENUMLOGFONTW *>(logFont)->elfFullName;
    WCHAR bounded[LF_FULLFACESIZE + 1] = {};
    std::memcpy(bounded, name, sizeof(WCHAR) * LF_FULLFACESIZE); /* the field need not end in a terminator */
    FaceNameNode **tail = &work->faces;
    for (; *tail; tail = &(*tail)->next)
        if (same((*tail)->face, bounded))
            return 1;
    const DWORD bytes = (length(bounded) + 1) * sizeof(WCHAR);
    auto *node = static_cast<FaceNameNode *>(GlobalAlloc(GPTR, sizeof(FaceNameNode)));
    auto *face = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
    if (!node || !face) {
        if (node)
            GlobalFree(node);
        if (face)
            GlobalFree(face);
        work->allWentWell = FALSE;
        return 0;
    }
    std::memcpy(face, bounded, bytes);
    node->face = face;
    *tail = node;
    work->faceCount++;
    work->faceBytes += bytes;
    return 1;
}

void UTL_FreeFaceNameList(FontSubWork *work)
{
    if (!work)
        return;
    while (FaceNameNode *node = work->faces) {
        work->faces = node->next;
        GlobalFree(node->face);
        GlobalFree(node);
    }
    if (work->table)
        GlobalFree(work->table);
    if (work->deviceFontNames)
        GlobalFree(work->deviceFontNames);
    GlobalFree(work);
}
