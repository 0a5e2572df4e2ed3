/*
 * A library for the loader tests that behaves like the driver libraries: at
 * attach it finds its own folder from its module file name and loads its
 * companion (plattestmod.dll) from there; at detach it frees it.  It also
 * exports a function under a decorated name and an ordinal.
 */
#include <plat/debug.h>
#include <plat/loader.h>

#include <string>

namespace {

HMODULE g_self = nullptr;
HMODULE g_companion = nullptr;

BOOL entry(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        OutputDebugStringW(u"plattestmod2 attach begin\n");
        g_self = self;
        WCHAR path[MAX_PATH + 1];
        const DWORD n = GetModuleFileNameW(self, path, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH)
            return FALSE;
        std::u16string dir(path, n);
        dir.resize(dir.rfind(u'\\') + 1);
        g_companion = LoadLibraryW((dir + u"plattestmod.dll").c_str());
        OutputDebugStringW(u"plattestmod2 attach end\n");
        return g_companion != nullptr;
    }
    if (reason == DLL_PROCESS_DETACH) {
        OutputDebugStringW(u"plattestmod2 detach begin\n");
        FreeLibrary(g_companion);
        g_companion = nullptr;
        OutputDebugStringW(u"plattestmod2 detach end\n");
    }
    return TRUE;
}

} // namespace

extern "C" {

/* The handle the loader passed to the entry function. */
HMODULE plattestmod2_attach_handle() { return g_self; }

/* The handle the library finds for itself from an address inside it. */
HMODULE plattestmod2_self() { return plat::module_of_address(reinterpret_cast<const void *>(&plattestmod2_self)); }

int plattestmod2_answer() { return 42; }
}

PLAT_MODULE_ENTRY(entry)
PLAT_EXPORT_ALIAS("?answer@@YAHXZ", plattestmod2_answer)
PLAT_EXPORT_ALIAS("#7", plattestmod2_answer)
