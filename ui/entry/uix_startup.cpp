/*
 * The library entry and the host window test (see ui_entry.h).  The entry
 * starts the common library's module state at process attach (the module's
 * paths and the data manager) and ends it at detach; the loader runs it
 * through PLAT_MODULE_ENTRY, and it is exported under its own name too.
 */
#include "ui_entry.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/util_system.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/resource.h>
#include <plat/sysdir.h>
#include <plat/text.h>
#include <plat/window_queries.h>

#include <string_view>

LOG_TRACE_FILE_OF_LIBRARY(LOG_LIBRARY_USER_INTERFACE);

namespace {

/* The built-in "Printing Preferences" titles (the 26th opens with two right-to-left marks). */
const WCHAR *const kBuiltinTitles[] = {
    u"印刷設定",
    u"Printing Preferences",
    u"打印首选项",
    u"列印喜好設定",
    u"인쇄 기본 설정",
    u"Voorkeursinstellingen",
    u"Options d'impression",
    u"Druckeinstellungen",
    u"Preferenze stampa",
    u"Preferências de impressão",
    u"Preferencias de impresión",
    u"utskriftsinställningar",
    u"Utskriftsinnstillinger",
    u"Udskriftsindstillinger",
    u"Tulostusmääritykset",
    u"Настройка печати",
    u"Preferencje drukowania",
    u"nyomtatási beállításai",
    u"Preferinţe imprimare",
    u"Předvolby tisku",
    u"Προτιμήσεις εκτύπωσης",
    u"Yazdırma Tercihleri",
    u"تفضيلات الطباعة",
    u"העדפות הדפסה",
    u"Nyomtatási beállítások",
    u"\u200F\u200Fانخفاض مسحوق الحبر",
    u"Préférences de l'impression",
    u"Utskriftsinställningar för",
    u"utskriftsinnstillinger",
    u"Настройки друку",
};
static_assert(std::size(kBuiltinTitles) == 30, "30 built-in titles");

/* The module that must own the top-level window on systems before 5.1 (compared with case). */
constexpr std::u16string_view kShellModule = u"SHELL32";

/* Where the user's interface language is kept, and the most bytes of it read. */
constexpr const WCHAR *kDesktopKey = u"Control Panel\\Desktop";
constexpr const WCHAR *kLanguageValue = u"MultiUILanguageID";
constexpr DWORD kLanguageBytes = 520;

/* Text buffers: a title or path and its terminator. */
constexpr int kTextChars = UIX_TITLE_CHARS + 1;

/* True when the module owning top-level window `top` is exactly "SHELL32". */
bool owned_by_shell(HWND top)
{
    auto instance = reinterpret_cast<HMODULE>(GetWindowLongPtrW(top, GWLP_HINSTANCE));
    WCHAR path[kTextChars] = {};
    if (!instance || GetModuleFileNameW(instance, path, kTextChars) == 0)
        return false;
    WCHAR base[kTextChars] = {};
    if (_wsplitpath_s(path, nullptr, 0, nullptr, 0, base, kTextChars, nullptr, 0) != 0)
        return false;
    return std::u16string_view(base) == kShellModule;
}

/* The user's interface language from the registry, or false when it is not set. */
bool user_language(unsigned *language)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    WCHAR text[kLanguageBytes / 2 + 1] = {};
    DWORD size = kLanguageBytes;
    DWORD type = 0;
    LONG r = RegQueryValueExW(key, kLanguageValue, nullptr, &type, reinterpret_cast<BYTE *>(text), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return false;
    text[kLanguageBytes / 2] = 0;
    unsigned value = 0;
    for (const WCHAR *p = text; *p; p++) {
        int digit = *p >= u'0' && *p <= u'9' ? *p - u'0'
                    : *p >= u'a' && *p <= u'f' ? *p - u'a' + 10
                    : *p >= u'A' && *p <= u'F' ? *p - u'A' + 10
                                               : -1;
        if (digit < 0)
            break;
        value = (value << 4) | unsigned(digit);
    }
    *language = value;
    return true;
}

} // namespace

BOOL DllInitialize(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        RES_AttachOwnStrings(module);
        RES_InitModulePaths(module, nullptr);
        LOG_TraceIn(u"DllInitialize_ATTACH");
        DMB_Load(module); /* a missing data manager leaves every setting access at status 16 */
        LOG_TraceOut(u"DllInitialize_ATTACH");
    } else if (reason == DLL_PROCESS_DETACH) {
        LOG_TraceIn(u"DllInitialize_DETACH");
        RES_ReleaseAll();
        DMB_Unload();
        LOG_TraceOut(u"DllInitialize_DETACH");
    }
    return TRUE;
}

PLAT_MODULE_ENTRY(DllInitialize)

const WCHAR *const *UIX_BuiltinTitles(int *count)
{
    if (count)
        *count = int(std::size(kBuiltinTitles));
    return kBuiltinTitles;
}

int UIX_TitleContains(LPCWSTR title, LPCWSTR pattern, LPCWSTR printerName)
{
    if (!title || !pattern)
        return 0;
    std::u16string_view t(title), p(pattern);
    size_t first = t.find(p);
    if (first == std::u16string_view::npos)
        return 0;
    /* The printer's name shown in the title could account for the match: it must come twice. */
    if (printerName && std::u16string_view(printerName).find(p) != std::u16string_view::npos)
        return t.find(p, first + p.size()) != std::u16string_view::npos ? 1 : 0;
    return 1;
}

int UIX_ReadPrintUiTitle(LPWSTR buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return 0;
    WCHAR path[kTextChars] = {};
    unsigned language = 0;
    if (user_language(&language)) {
        WCHAR windows[kTextChars] = {};
        GetWindowsDirectoryW(windows, kTextChars);
        WCHAR folder[kTextChars] = {};
        wsprintfW(folder, u"%s\\MUI\\Fallback\\%04x\\", windows, language);
        WCHAR file[kTextChars] = {};
        wsprintfW(file, u"%s.mui", u"printui.dll");
        if (lstrlenW(folder) + lstrlenW(file) >= kTextChars)
            return 0;
        lstrcpyW(path, folder);
        lstrcatW(path, file);
    } else {
        UINT n = GetSystemDirectoryW(path, kTextChars);
        if (n == 0 || n + 13 >= UINT(kTextChars))
            return 0;
        lstrcatW(path, u"\\printui.dll");
    }
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return 0;
    WCHAR text[kTextChars] = {};
    int length = LoadStringW(module, UIX_ID_PRINT_UI_TITLE, text, kTextChars);
    FreeLibrary(module);
    if (length <= 0)
        return 0; /* a file without the string has no title to match */
    lstrcpynW(buffer, text, capacity);
    return 1;
}

WORD UIX_GetHostWindowKind(HWND window, LPCWSTR printerName, DWORD flags)
{
    /* The title of the highest window that still has a parent or owner; the climb ends at the top. */
    WCHAR title[kTextChars] = {};
    HWND top = window;
    for (HWND parent = window ? GetParent(window) : nullptr; parent; parent = GetParent(top)) {
        GetWindowTextW(top, title, kTextChars);
        top = parent;
    }
    if (UTL_IsXpOrLater()) {
        if (!(flags & UIX_FLAG_COMPARE_TITLE))
            return UIX_HOST_NOT_COMPARED;
    } else if (!top || !owned_by_shell(top)) {
        return UIX_HOST_NOT_COMPARED;
    }
    WCHAR pattern[kTextChars] = {};
    LoadStringW(RES_GetResourceModule(), UIX_ID_SHEET_TITLE, pattern, kTextChars);
    if (UIX_TitleContains(title, pattern, printerName))
        return UIX_HOST_DRIVER_TITLE;
    for (const WCHAR *builtin : kBuiltinTitles)
        if (UIX_TitleContains(title, builtin, printerName))
            return UIX_HOST_PREFERENCES;
    WCHAR printUi[kTextChars] = {};
    if (UIX_ReadPrintUiTitle(printUi, kTextChars) && UIX_TitleContains(title, printUi, printerName))
        return UIX_HOST_PRINT_UI;
    return UIX_HOST_OTHER;
}
