/*
 * The printer's driver files as the settings code names them: the
 * printer-data value "SPLUserModePrinterDriver" (the user-mode driver file,
 * model text 2), the driver's directory from its driver path, helper
 * programs in it, and the first-use hooks of the property sheets.
 */
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/stores/pdt_info.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD kUserModeDriverText = 2;

/* Model text `n` of the printer's model as a new GlobalAlloc string, or null. */
LPWSTR modelText(HANDLE printer, WORD n)
{
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return nullptr;
    LPWSTR text = nullptr, copy = nullptr;
    if (DDD_GetModelText(context->main, n, &text) == 0 && text) {
        const size_t bytes = (size_t(lstrlenW(text)) + 1) * sizeof(WCHAR);
        copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
        if (copy)
            std::memcpy(copy, text, bytes);
    }
    DDD_FreeRecord(&text, 0);
    MDL_Close(context);
    return copy;
}

/* 1 when the four characters at `p` are ".DLL", case ignored. */
bool isDllSuffix(const WCHAR *p)
{
    static constexpr WCHAR kSuffix[] = u".dll";
    for (int i = 0; i < 4; ++i) {
        WCHAR c = p[i];
        if (c >= u'A' && c <= u'Z')
            c = WCHAR(c - u'A' + u'a');
        if (c != kSuffix[i])
            return false;
    }
    return true;
}

} // namespace

BOOL UPG_WriteUserModeDriverName(HANDLE printer)
{
    BYTE *info = PDT_GetPrinterInfo(printer, 2);
    if (!info)
        return FALSE;
    LPWSTR text = modelText(printer, kUserModeDriverText);
    HANDLE full = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    LPCWSTR name = reinterpret_cast<PRINTER_INFO_2W *>(info)->pPrinterName;
    BOOL ok = FALSE;
    if (text && name && OpenPrinterW(name, &full, &defaults)) {
        const DWORD bytes = DWORD((lstrlenW(text) + 1) * sizeof(WCHAR));
        ok = SetPrinterDataW(full, UPG_USER_MODE_DRIVER_VALUE, REG_SZ, reinterpret_cast<const BYTE *>(text), bytes) ==
             ERROR_SUCCESS;
        ClosePrinter(full);
    }
    GlobalFree(text);
    GlobalFree(info);
    return ok;
}

LPWSTR UPG_GetDriverDirectory(HANDLE printer)
{
    BYTE *info = PDT_GetDriverInfo(printer, 2);
    if (!info)
        return nullptr;
    LPCWSTR path = reinterpret_cast<DRIVER_INFO_2W *>(info)->pDriverPath;
    LPWSTR directory = nullptr;
    const int length = path ? lstrlenW(path) : 0;
    int dll = -1;
    for (int i = 0; i + 4 <= length && dll < 0; ++i)
        if (isDllSuffix(path + i))
            dll = i;
    int slash = -1;
    for (int i = dll - 1; i >= 0 && slash < 0; --i)
        if (path[i] == u'\\')
            slash = i;
    if (slash >= 0) {
        directory = static_cast<LPWSTR>(GlobalAlloc(GPTR, (size_t(slash) + 2) * sizeof(WCHAR)));
        if (directory)
            std::memcpy(directory, path, (size_t(slash) + 1) * sizeof(WCHAR));
    }
    GlobalFree(info);
    return directory;
}

LPWSTR UPG_GetHelperProgramPath(HANDLE printer, WORD text)
{
    LPWSTR directory = UPG_GetDriverDirectory(printer);
    LPWSTR name = directory ? modelText(printer, text) : nullptr;
    LPWSTR path = nullptr;
    if (name) {
        const size_t a = size_t(lstrlenW(directory)), b = size_t(lstrlenW(name));
        path = static_cast<LPWSTR>(GlobalAlloc(GPTR, (a + b + 1) * sizeof(WCHAR)));
        if (path) {
            std::memcpy(path, directory, a * sizeof(WCHAR));
            std::memcpy(path + a, name, b * sizeof(WCHAR));
        }
    }
    GlobalFree(name);
    GlobalFree(directory);
    return path;
}

int UPG_StubFirstUseHook(void) { return 0; }

int UPG_StubReturnOne(void) { return 1; }
