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
