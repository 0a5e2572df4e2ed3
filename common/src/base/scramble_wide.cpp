/*
 * The UTF-16 entry of the text scrambler: UTF-16 text to the ANSI code page,
 * scrambled and written as Base64, and back.  Kept apart from base64.cpp so
 * that the byte routines stay free of platform services (the data manager
 * compiles those alone).
 */
#include <tarvel/base/scramble_wide.h>

#include <tarvel/base64.h>

#include <plat/memory.h> /* GlobalAlloc, GlobalFree */
#include <plat/codepage.h> /* WideCharToMultiByte, MultiByteToWideChar, CP_ACP */

#include <cstdlib>

namespace {

/* ANSI form of a terminated UTF-16 text in a new malloc block (terminated);
 * *bytes is its length without the terminator.  Null on failure. */
char *to_ansi(const WCHAR *text, int *bytes)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return nullptr;
    char *buf = static_cast<char *>(std::calloc(size_t(size), 1));
    if (!buf)
        return nullptr;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, buf, size, nullptr, nullptr) != size) {
        std::free(buf);
        return nullptr;
    }
    *bytes = size - 1;
    return buf;
}

/* UTF-16 form of n ANSI bytes in a new zero-filled GlobalAlloc block with a
 * terminator.  Null on failure. */
WCHAR *to_wide(const char *bytes, int n)
{
    int count = MultiByteToWideChar(CP_ACP, 0, bytes, n, nullptr, 0);
    if (count <= 0)
        return nullptr;
    WCHAR *w = static_cast<WCHAR *>(GlobalAlloc(GPTR, (size_t(count) + 1) * sizeof(WCHAR)));
    if (!w)
        return nullptr;
    if (MultiByteToWideChar(CP_ACP, 0, bytes, n, w, count) != count) {
        GlobalFree(w);
        return nullptr;
    }
    return w;
}

} // namespace

BOOL UTL_ScrambleWide(int mode, const WCHAR *text, WCHAR **result)
{
    if (result)
        *result = nullptr;
    if (!text || !*text || !result)
        return FALSE;
    int n = 0;
    char *ansi = to_ansi(text, &n);
    if (!ansi)
        return FALSE;
    /* Mode 1 writes Base64 (with room for a terminator); decoding gives at
     * most three bytes for four characters and one for a final three. */
    int capacity = mode == 1 ? UTL_Base64EncodedSize(n) : n / 4 * 3 + 1;
    BYTE *buf = capacity > 0 ? static_cast<BYTE *>(std::calloc(size_t(capacity), 1)) : nullptr;
    int count = 0;
    int rc = UTL_B64_NO_MEMORY;
    if (buf)
        rc = mode == 1 ? UTL_EncodeBytes(reinterpret_cast<const BYTE *>(ansi), n, reinterpret_cast<char *>(buf), &count,
                                         capacity)
                       : UTL_DecodeBytes(ansi, n, buf, &count, capacity);
    WCHAR *wide = rc == UTL_B64_OK ? to_wide(reinterpret_cast<const char *>(buf), count) : nullptr;
    std::free(buf);
    std::free(ansi);
    if (!wide)
        return FALSE;
    *result = wide;
    return TRUE;
}
