/*
 * A small library for the loader tests: it counts its attach and detach
 * calls in exported counters, reports each to the debugger output, and
 * exports one function.
 */
#include <plat/debug.h>
#include <plat/loader.h>

extern "C" {
LONG plattestmod_attaches = 0;
LONG plattestmod_detaches = 0;

int plattestmod_add(int a, int b) { return a + b; }
}

namespace {

BOOL entry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        plattestmod_attaches++;
        OutputDebugStringW(u"plattestmod attach\n");
    } else if (reason == DLL_PROCESS_DETACH) {
        plattestmod_detaches++;
        OutputDebugStringW(u"plattestmod detach\n");
    }
    return TRUE;
}

} // namespace

PLAT_MODULE_ENTRY(entry)
