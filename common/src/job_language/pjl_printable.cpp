/*
 * Whether a text can go to the device as it stands: the document name of
 * the DNAME comment and of the document-name values is checked in the ANSI
 * code page against ranges of single bytes and of double-byte codes, and a
 * name of blanks only is refused.  Also the cut of an ANSI text to whole
 * characters, so that a double-byte character is never split.
 */
#include "pjl_private.h"

#include <tarvel/base/util_codepage.h>

#include <plat/codepage.h>
#include <plat/memory.h>


namespace {

constexpr WORD kDoubleByteSpace = 0x8140;

bool inRanges(WORD value, std::span<const PjlRange> ranges)
{
    for (const PjlRange &r : ranges)
        if (value >= r.low && value <= r.high)
            return true;
    return false;
}

template <typename T>
bool listed(T value, std::span<const T> list)
{
    for (T v : list)
        if (v == value)
            return true;
    return false;
}

bool isWhiteSpace(BYTE b) { return b == ' ' || (b >= 0x09 && b <= 0x0D); }

} // namespace

BOOL PJL_IsPrintableText(LPCWSTR text, std::span<const PjlRange> singles, std::span<const PjlRange> doubles,
                         std::span<const BYTE> forbiddenSingles, std::span<const WORD> forbiddenDoubles)
{
    if (!text || text[0] == 0)
        return FALSE;
    LPSTR ansi = nullptr;
    DWORD length = 0;
    if (!UTL_WideToMultiByteAlloc(text, &ansi, &length, CP_ACP))
        return FALSE;
    const auto *bytes = reinterpret_cast<const BYTE *>(ansi);
    DWORD blanks = 0;
    bool printable = length > 0;
    for (DWORD i = 0; printable && i < length;) {
        const BYTE b = bytes[i];
        if (IsDBCSLeadByte(b)) {
            if (i + 1 >= length) {
                printable = false; /* a lead byte without its trail byte */
                break;
            }
            const WORD code = WORD((b << 8) | bytes[i + 1]);
            printable = inRanges(code, doubles) && !listed(code, forbiddenDoubles);
            if (code == kDoubleByteSpace)
                blanks += 2;
            i += 2;
            continue;
        }
        printable = inRanges(b, singles) && !listed(b, forbiddenSingles);
        if (isWhiteSpace(b))
            ++blanks;
        ++i;
    }
    GlobalFree(ansi);
    return printable && blanks != length;
}

