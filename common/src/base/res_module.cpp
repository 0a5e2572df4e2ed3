/*
 * The library's own module and the resource module: one process-wide record
 * per library (the common library is linked with hidden visibility, so every
 * library that carries it has its own) holding the use count, the module
 * handle, path and directory, the resource module's path and handle.
 */
#include <tarvel/base/res_module.h>

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <array>

namespace {

/* Paths hold MAX_PATH characters and the terminator: the limits below cut them at 259 or 260. */
using PathBuffer = std::array<WCHAR, MAX_PATH + 1>;

struct ModuleState {
    LONG useCount = 0;
    HMODULE module = nullptr;
    PathBuffer modulePath{};
    PathBuffer moduleDir{};
    PathBuffer resourcePath{};
    HMODULE resourceModule = nullptr;
    UINT languageId = RES_ID_LANGUAGE_UI;
    bool pathOverridden = false;
    PathBuffer pathOverride{};
};

ModuleState g_state;

/* GetModuleFileNameW size: one more than a Windows path, so that a cut path is seen as cut. */
constexpr DWORD kModuleNameChars = MAX_PATH + 1;

/* The module that holds this code: the library this copy of the common library is linked into. */
HMODULE ownCodeModule()
{
    return plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths));
}

/*
 * Directory followed by string 32767 of `module` into `out` (MAX_PATH + 1
 * characters) when the string loads and its length plus `limitLength` is at
 * most MAX_PATH; false (out emptied) otherwise.
 */
bool buildResourcePath(HMODULE module, const WCHAR *dir, int limitLength, PathBuffer &out)
{
    out[0] = 0;
    if (!module || !dir[0])
        return false;
    PathBuffer name{};
    int n = LoadStringW(module, RES_ID_RESOURCE_MODULE_NAME, name.data(), int(name.size()));
    if (n <= 0 || n + limitLength > MAX_PATH)
        return false;
    int dirLength = lstrlenW(dir);
    if (dirLength + n > MAX_PATH)
        return false;
    lstrcpynW(out.data(), dir, int(out.size()));
    lstrcpynW(out.data() + dirLength, name.data(), int(out.size()) - dirLength);
    return true;
}

/* The directory of `path`: up to and including its last "\" (empty without one). */
void directoryOf(const WCHAR *path, PathBuffer &dir)
{
    dir[0] = 0;
    const WCHAR *slash = wcsrchr(path, u'\\');
    if (!slash)
        return;
    int n = int(slash - path) + 1;
    lstrcpynW(dir.data(), path, n + 1);
}

} // namespace

void RES_InitModulePaths(HMODULE module, LPCWSTR path)
{
    ModuleState &s = g_state;
    if (s.useCount == 0) {
        s.module = module ? module : ownCodeModule();
        if (s.moduleDir[0] == 0) {
            PathBuffer found{};
            DWORD n = 0;
            if (s.pathOverridden)
                lstrcpynW(found.data(), s.pathOverride.data(), int(found.size()));
            else if (s.module)
                n = GetModuleFileNameW(s.module, found.data(), kModuleNameChars);
            const WCHAR *source = found.data();
            if (!s.pathOverridden && n == 0)
                source = path ? path : u"";
            lstrcpynW(s.modulePath.data(), source, MAX_PATH);
            directoryOf(s.modulePath.data(), s.moduleDir);
            buildResourcePath(s.module, s.moduleDir.data(), lstrlenW(s.modulePath.data()), s.resourcePath);
        }
    }
    ++s.useCount;
}

void RES_FreeResourceModule(void)
{
    ModuleState &s = g_state;
    if (s.useCount == 1) {
        s.module = nullptr;
        if (s.resourceModule) {
            FreeLibrary(s.resourceModule);
            s.resourceModule = nullptr;
        }
    }
    if (s.useCount > 0)
        --s.useCount;
}

void RES_ReleaseAll(void)
{
    if (g_state.useCount > 0) {
        g_state.useCount = 1;
        RES_FreeResourceModule();
    }
}

HMODULE RES_GetOwnModule(void) { return g_state.module; }

BOOL RES_GetDriverDirectory(LPWSTR buffer, DWORD size)
{
    if (!buffer || size < RES_DRIVER_DIR_BYTES)
        return FALSE;
    DWORD chars = size / 2 - 1;
    if (chars > MAX_PATH)
        chars = MAX_PATH;
    lstrcpynW(buffer, g_state.moduleDir.data(), int(chars) + 1);
    return TRUE;
}

LONG RES_GetUseCount(void) { return g_state.useCount; }

BOOL RES_AttachOwnStrings(HMODULE module)
{
    static const plat::RsrcString table[] = {
        {RES_ID_DATA_MANAGER_NAME, u"tarveldm.dll"},
        {RES_ID_RESOURCE_MODULE_NAME, u"tarvelrs.xrs"},
    };
    if (!module || plat::rsrc_is_data_module(module))
        return FALSE;
    return plat::rsrc_attach_strings(module, table) ? TRUE : FALSE;
}

HMODULE RES_LoadResourceModule(void)
{
    ModuleState &s = g_state;
    if (s.resourceModule)
        return s.resourceModule;
    if (s.useCount == 0)
        return nullptr;
    PathBuffer path{};
    if (s.resourcePath[0])
        path = s.resourcePath;
    else if (!buildResourcePath(s.module, s.moduleDir.data(), lstrlenW(s.moduleDir.data()), path))
        return nullptr;
    /* The library's activation context would be active around this load; ours do nothing. */
    s.resourceModule = LoadLibraryExW(path.data(), nullptr, DONT_RESOLVE_DLL_REFERENCES | LOAD_WITH_ALTERED_SEARCH_PATH);
    return s.resourceModule;
}

HMODULE RES_GetResourceModule(void) { return RES_LoadResourceModule(); }

void RES_SetLanguageStringId(UINT id) { g_state.languageId = id; }

UINT RES_GetLanguageStringId(void) { return g_state.languageId; }

void RES_ResetForTest(void) { g_state = ModuleState{}; }

void RES_SetModulePathForTest(LPCWSTR path)
{
    g_state.pathOverridden = path != nullptr;
    g_state.pathOverride[0] = 0;
    if (path)
        lstrcpynW(g_state.pathOverride.data(), path, MAX_PATH + 1);
}
