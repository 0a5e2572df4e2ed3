/*
 * Engine memory, glyph sets and the engine's Unicode conversions (see
 * plat/engine.h).  Engine memory is the platform's process heap, so the
 * allocation fault injection reaches every service here.
 */
#include <plat/codepage.h>
#include <plat/engine.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <algorithm>
#include <string>
#include <vector>

/* Handles of a glyph set made from single-byte codes (the codes themselves). */
#define GS_8BIT_HANDLES 0x00000002u

PVOID EngAllocMem(ULONG fl, ULONG cj, ULONG tag)
{
    (void)fl; /* every block is zero-filled */
    (void)tag;
    if (cj == 0)
        return nullptr;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cj);
}

void EngFreeMem(PVOID pv)
{
    if (pv)
        HeapFree(GetProcessHeap(), 0, pv);
}

FD_GLYPHSET *EngComputeGlyphSet(INT nCodePage, INT nFirstChar, INT cChars)
{
    UINT cp = nCodePage == 0 ? GetACP() : UINT(nCodePage);
    if (cChars <= 0 || nFirstChar < 0 || nFirstChar + cChars > 256 || !IsValidCodePage(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    /* The codes that stand for one character each, by Unicode value (lowest code first on a tie). */
    struct Glyph {
        WCHAR wc;
        BYTE code;
    };
    std::vector<Glyph> glyphs;
    for (INT c = nFirstChar; c < nFirstChar + cChars; c++) {
        CHAR byte = CHAR(c);
        WCHAR wc = 0;
        if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, &byte, 1, &wc, 1) == 1)
            glyphs.push_back(Glyph{wc, BYTE(c)});
    }
    std::stable_sort(glyphs.begin(), glyphs.end(), [](const Glyph &a, const Glyph &b) { return a.wc < b.wc; });
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end(), [](const Glyph &a, const Glyph &b) { return a.wc == b.wc; }),
                 glyphs.end());
    if (glyphs.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    size_t runs = 1;
    for (size_t i = 1; i < glyphs.size(); i++)
        if (glyphs[i].wc != glyphs[i - 1].wc + 1)
            runs++;
    size_t head = offsetof(FD_GLYPHSET, awcrun) + runs * sizeof(WCRUN);
    size_t total = head + glyphs.size() * sizeof(HGLYPH);
    BYTE *block = static_cast<BYTE *>(EngAllocMem(FL_ZERO_MEMORY, ULONG(total), 0));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    FD_GLYPHSET *gs = reinterpret_cast<FD_GLYPHSET *>(block);
    gs->cjThis = ULONG(total);
    gs->flAccel = GS_8BIT_HANDLES;
    gs->cGlyphsSupported = ULONG(glyphs.size());
    gs->cRuns = ULONG(runs);
    HGLYPH *handles = reinterpret_cast<HGLYPH *>(block + head);
    WCRUN *run = gs->awcrun;
    for (size_t i = 0; i < glyphs.size(); i++) {
        if (i == 0 || glyphs[i].wc != glyphs[i - 1].wc + 1) {
            if (i)
                run++;
            run->wcLow = glyphs[i].wc;
            run->phg = handles + i;
        }
        run->cGlyphs++;
        handles[i] = glyphs[i].code;
    }
    return gs;
}

void EngUnicodeToMultiByteN(LPSTR pMultiByte, ULONG cbMultiByte, ULONG *pcbWritten, LPCWSTR pUnicode,
                            ULONG cbUnicode)
{
    ULONG written = 0;
    ULONG units = pUnicode ? cbUnicode / sizeof(WCHAR) : 0;
    for (ULONG i = 0; i < units && pMultiByte; i++) {
        CHAR bytes[4];
        int n = WideCharToMultiByte(CP_ACP, 0, pUnicode + i, 1, bytes, int(sizeof bytes), nullptr, nullptr);
        if (n <= 0 || written + ULONG(n) > cbMultiByte)
            break;
        std::copy(bytes, bytes + n, pMultiByte + written);
        written += ULONG(n);
    }
    if (pcbWritten)
        *pcbWritten = written;
}

void EngMultiByteToUnicodeN(LPWSTR pUnicode, ULONG cbUnicode, ULONG *pcbWritten, LPCSTR pMultiByte,
                            ULONG cbMultiByte)
{
    ULONG written = 0;
    if (pUnicode && pMultiByte && cbMultiByte > 0 && cbMultiByte <= 0x7FFFFFFFu) {
        std::u16string wide(cbMultiByte, u'\0');
        int n = MultiByteToWideChar(CP_ACP, 0, pMultiByte, int(cbMultiByte), wide.data(), int(wide.size()));
        ULONG fit = std::min<ULONG>(n > 0 ? ULONG(n) : 0, cbUnicode / sizeof(WCHAR));
        std::copy(wide.begin(), wide.begin() + fit, pUnicode);
        written = fit * sizeof(WCHAR);
    }
    if (pcbWritten)
        *pcbWritten = written;
}
