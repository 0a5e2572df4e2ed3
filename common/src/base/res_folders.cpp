/*
 * Paths of the driver's folders below the shared documents folder, built
 * from resource strings, and the browser protected-mode check.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>
#include <tarvel/base/util_system.h>

#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/sysdir.h>
#include <plat/text.h>

#include <array>

BOOL RES_AppendStringToPath(UINT id, LPWSTR path, int *remaining)
{
    if (id == 0 || !path || !remaining)
        return FALSE;
    HMODULE module = RES_LoadResourceModule();
    if (!module)
        return FALSE;
    std::array<WCHAR, RES_PATH_CHARS> text{};
    int n = LoadStringW(module, id, text.data(), int(text.size()));
    /* "\" and the string, and the terminator after them, must fit. */
    if (n <= 0 || n + 1 >= *remaining)
        return FALSE;
    int end = lstrlenW(path);
    path[end] = u'\\';
    lstrcpynW(path + end + 1, text.data(), n + 1);
    *remaining -= n + 1;
    return TRUE;
}

BOOL RES_GetCommonDocumentsPath(int kind, LPWSTR out, int capacity)
{
    static const UINT kindStrings[] = {0, RES_ID_WORK_FOLDER, RES_ID_SETTINGS_FOLDER, RES_ID_FAX_FOLDER};
    if (kind < RES_DOCS_DRIVER || kind > RES_DOCS_FAX || !out || capacity <= 0)
        return FALSE;
    std::array<WCHAR, RES_PATH_CHARS> path{};
    if (SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, path.data()) != S_OK ||
        !path[0])
        lstrcpynW(path.data(), u"C:", int(path.size()));
    int remaining = RES_PATH_CHARS - lstrlenW(path.data());
    if (!RES_AppendStringToPath(RES_ID_DOCUMENTS_FOLDER, path.data(), &remaining))
        return FALSE;
    if (kind != RES_DOCS_DRIVER && !RES_AppendStringToPath(kindStrings[kind], path.data(), &remaining))
        return FALSE;
    int length = lstrlenW(path.data());
    if (length >= capacity)
        return FALSE;
    lstrcpynW(out, path.data(), length + 1);
    return TRUE;
}

LPWSTR RES_AllocWorkFolderPath(void)
{
    std::array<WCHAR, RES_PATH_CHARS> path{};
    if (!RES_GetCommonDocumentsPath(RES_DOCS_WORK, path.data(), int(path.size())))
        return nullptr;
    int length = lstrlenW(path.data());
    LPWSTR out = static_cast<LPWSTR>(GlobalAlloc(GPTR, SIZE_T(length + 2) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    lstrcpynW(out, path.data(), length + 1);
    out[length] = u'\\';
    out[length + 1] = 0;
    return out;
}

namespace {

/* IEIsProtectedModeProcess: HRESULT (BOOL *protectedMode). */
typedef HRESULT (*IsProtectedModeFn)(BOOL *);

} // namespace

BOOL UTL_IsIEProtectedMode(void)
{
    if (!UTL_IsVistaOrLater())
        return FALSE;
    /* Within the library's activation context on Windows; ours do nothing. */
    HMODULE ieframe = LoadLibraryExW(u"ieframe.dll", nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!ieframe)
        return FALSE;
    BOOL protectedMode = FALSE;
    FARPROC proc = GetProcAddress(ieframe, "IEIsProtectedModeProcess");
    if (proc) {
        BOOL flag = FALSE;
        if (SUCCEEDED(plat::proc_cast<IsProtectedModeFn>(proc)(&flag)))
            protectedMode = flag ? TRUE : FALSE;
    }
    FreeLibrary(ieframe);
    return protectedMode;
}

void UTL_FreeGlobal(HGLOBAL block)
{
    if (block)
        GlobalFree(block);
}
