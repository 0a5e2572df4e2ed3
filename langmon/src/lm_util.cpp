/*
 * Small helpers of the language monitor: blocks and string copies from its
 * private heap, bounded name lengths, and the atomic access to a port's
 * state bits.
 */
#include "monitor.h"

#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <atomic>

void *LMU_Alloc(SIZE_T bytes)
{
    if (!g_lm.heap)
        return nullptr;
    return HeapAlloc(g_lm.heap, HEAP_ZERO_MEMORY, bytes);
}

void LMU_Free(void *p)
{
    if (p && g_lm.heap)
        HeapFree(g_lm.heap, 0, p);
}

char *LMU_DupNarrow(const char *s)
{
    if (!s)
        return nullptr;
    const size_t n = std::strlen(s) + 1;
    char *copy = static_cast<char *>(LMU_Alloc(n));
    if (copy)
        std::memcpy(copy, s, n);
    return copy;
}

WCHAR *LMU_DupWide(const WCHAR *s)
{
    if (!s)
        return nullptr;
    const size_t n = static_cast<size_t>(lstrlenW(s)) + 1;
    WCHAR *copy = static_cast<WCHAR *>(LMU_Alloc(n * sizeof(WCHAR)));
    if (copy)
        std::memcpy(copy, s, n * sizeof(WCHAR));
    return copy;
}

char *LMU_WideToAnsi(const WCHAR *s)
{
    if (!s)
        return nullptr;
    const int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return nullptr;
    char *out = static_cast<char *>(LMU_Alloc(static_cast<SIZE_T>(n)));
    if (out && WideCharToMultiByte(CP_ACP, 0, s, -1, out, n, nullptr, nullptr) != n) {
        LMU_Free(out);
        return nullptr;
    }
    return out;
}

int LMU_BoundedLength(const WCHAR *name, int max)
{
    if (!name)
        return -1;
    for (int i = 0; i <= max; ++i)
        if (name[i] == 0)
            return i;
    return -1;
}

void LMP_SetState(MonitorPort *port, DWORD bits) { std::atomic_ref<DWORD>(port->stateFlags).fetch_or(bits); }

void LMP_ClearState(MonitorPort *port, DWORD bits) { std::atomic_ref<DWORD>(port->stateFlags).fetch_and(~bits); }

DWORD LMP_State(const MonitorPort *port)
{
    return std::atomic_ref<DWORD>(const_cast<MonitorPort *>(port)->stateFlags).load();
}

bool LMP_TestState(const MonitorPort *port, DWORD bits) { return (LMP_State(port) & bits) != 0; }

WCHAR *LMU_Utf8ToWide(const char *s)
{
    if (!s)
        return nullptr;
    const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    if (n <= 0)
        return nullptr;
    auto *out = static_cast<WCHAR *>(LMU_Alloc(SIZE_T(n) * sizeof(WCHAR)));
    if (out && MultiByteToWideChar(CP_UTF8, 0, s, -1, out, n) != n) {
        LMU_Free(out);
        return nullptr;
    }
    return out;
}

BOOL LMU_AppendBytes(BYTE **buf, DWORD *len, const void *bytes, DWORD n)
{
    if (!buf || !len || (n && !bytes) || (!*buf && *len) || *len > 0xFFFFFFFFu - n)
        return FALSE;
    const SIZE_T total = SIZE_T(*len) + n;
    auto *joined = static_cast<BYTE *>(LMU_Alloc(total ? total : 1));
    if (!joined)
        return FALSE;
    if (*len)
        std::memcpy(joined, *buf, *len);
    if (n)
        std::memcpy(joined + *len, bytes, n);
    LMU_Free(*buf);
    *buf = joined;
    *len += n;
    return TRUE;
}

void LMU_DropFront(BYTE **buf, DWORD *len, DWORD n)
{
    if (!buf || !len || !*buf)
        return;
    if (n >= *len) {
        LMU_Free(*buf);
        *buf = nullptr;
        *len = 0;
        return;
    }
    std::memmove(*buf, *buf + n, *len - n);
    *len -= n;
}

BOOL LMU_AppendString(char **s, const char *tail)
{
    if (!s || !tail)
        return FALSE;
    const size_t head = *s ? std::strlen(*s) : 0, more = std::strlen(tail);
    auto *joined = static_cast<char *>(LMU_Alloc(head + more + 1));
    if (!joined)
        return FALSE;
    if (head)
        std::memcpy(joined, *s, head);
    std::memcpy(joined + head, tail, more + 1);
    LMU_Free(*s);
    *s = joined;
    return TRUE;
}

const char *LMU_FindChar(const char *s, char c)
{
    if (!s)
        return nullptr;
    for (; *s; ++s)
        if (*s == c)
            return s;
    return nullptr;
}

int LMU_CompareBytes(const void *a, const void *b, DWORD n)
{
    const auto *x = static_cast<const BYTE *>(a), *y = static_cast<const BYTE *>(b);
    for (DWORD i = 0; i < n; ++i)
        if (x[i] != y[i])
            return int(x[i]) - int(y[i]);
    return 0;
}

bool LMU_MaskIntersects(ULONGLONG a, ULONGLONG b)
{
    return ((DWORD(a) & DWORD(b)) | (DWORD(a >> 32) & DWORD(b >> 32))) != 0;
}

bool LMU_MaskDiffers(ULONGLONG a, ULONGLONG b) { return DWORD(a) != DWORD(b) || DWORD(a >> 32) != DWORD(b >> 32); }

void LMU_SetMask(ULONGLONG *dst, ULONGLONG src)
{
    if (dst)
        *dst = src;
}
