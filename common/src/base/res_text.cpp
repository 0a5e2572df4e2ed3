/*
 * The user-interface language with the right-to-left message boxes, and the
 * default names of the custom paper slots, read from the resource module.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>

#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <array>

namespace {

/* Language numbers whose user interface reads right to left: Arabic and Hebrew. */
constexpr int kLanguageArabic = 1025;
constexpr int kLanguageHebrew = 1037;

/* The language string is read as at most this many characters. */
constexpr int kLanguageChars = 4;

/* Resource string 16 is read as at most this many characters. */
constexpr int kPaperBaseChars = 31;

} // namespace

BOOL RES_GetResourceLanguage(int *language)
{
    if (!language)
        return FALSE;
    HMODULE module = RES_LoadResourceModule();
    if (!module)
        return FALSE;
    std::array<WCHAR, kLanguageChars + 1> text{};
    if (LoadStringW(module, RES_GetLanguageStringId(), text.data(), int(text.size())) <= 0)
        return FALSE;
    *language = _wtoi(text.data());
    return TRUE;
}

BOOL RES_IsRightToLeftUi(void)
{
    int language = 0;
    if (!RES_GetResourceLanguage(&language))
        return FALSE;
    return language == kLanguageArabic || language == kLanguageHebrew;
}

int RES_MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    if (RES_IsRightToLeftUi())
        style |= RES_RTL_BOX_STYLE;
    return MessageBoxW(owner, text, caption, style);
}

BOOL RES_MakeCustomPaperName(int slot, LPWSTR name, int capacity)
{
    if (!name || capacity <= 0)
        return FALSE;
    std::array<WCHAR, kPaperBaseChars + 1> base{};
    HMODULE module = RES_LoadResourceModule();
    if (!module || LoadStringW(module, RES_ID_CUSTOM_PAPER, base.data(), int(base.size())) <= 0)
        lstrcpynW(base.data(), u"Custom", int(base.size()));
    int length = lstrlenW(base.data());
    while (length > 0 && base[length - 1] >= u'0' && base[length - 1] <= u'9')
        --length;

    std::array<WCHAR, 16> number{};
    StringCchPrintfW(number.data(), number.size(), u"%d", slot + 1);
    int digits = lstrlenW(number.data());
    if (digits + 1 > capacity)
        return FALSE;
    if (length + digits + 1 > capacity)
        length = capacity - 1 - digits;
    lstrcpynW(name, base.data(), length + 1);
    lstrcpynW(name + length, number.data(), digits + 1);
    return TRUE;
}
