/*
 * The framework's small services: units and decimals, capability tests,
 * resource strings and message boxes, display-name and text helpers, ANSI
 * conversions and window helpers.  Unit conversions work on 64-bit
 * magnitudes, so no stored value wraps.
 */
#include "pgf_utils.h"

#include <tarvel/base/res_format.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>
#include <tarvel/base/util_codepage.h>

#include <plat/codepage.h>
#include <plat/file.h>
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/text.h>
#include <plat/window.h>
#include <plat/memory.h>
#include <plat/prsht.h>
#include <plat/resource.h>

#include <cstdarg>
#include <cstring>
#include <string>

namespace {

/* The frame's Apply button. */
constexpr int kApplyButton = 12321;
/* The one-character suffix that kind 1 of the display-name trim removes. */
constexpr UINT kTrimSuffixString = 2009;

size_t wideLength(LPCWSTR text) { return std::char_traits<char16_t>::length(text); }

bool inRange(WORD id, WORD first, WORD last) { return id >= first && id <= last; }

} // namespace

/* ---- Units and capabilities -------------------------------------------- */

LONG PGF_ToTenthMillimetre(LONG value)
{
    const LONGLONG magnitude = value < 0 ? -LONGLONG(value) : LONGLONG(value);
    LONGLONG result = (magnitude * 254 / 10 + 5) / 10;
    if (value < 0)
        result = -result;
    if (result > LONG(0x7FFFFFFF))
        return LONG(0x7FFFFFFF);
    if (result < -LONGLONG(0x80000000))
        return LONG(-LONGLONG(0x80000000));
    return LONG(result);
}

BOOL PGF_GetUnitDecimals(WORD ddmid, SHORT unit, LONG *decimals)
{
    if (!decimals)
        return FALSE;
    const bool inch = unit == 1;
    if (ddmid == 268 || ddmid == 269 || ddmid == 324) {
        *decimals = inch ? 1 : 0;
        return TRUE;
    }
    if (ddmid == 460 || ddmid == 461 || inRange(ddmid, 1825, 1828) || ddmid == 1863 || ddmid == 1864 ||
        inRange(ddmid, 5889, 5928)) {
        *decimals = inch ? 2 : 1;
        return TRUE;
    }
    return FALSE;
}

BOOL PGF_TestDeviceFlag(const SheetState *state, DWORD code)
{
    if (!state)
        return FALSE;
    if (code >= 0xFFFF0000u) {
        const DWORD bit = code - 0xFFFF0000u;
        return bit < 96 && (state->modelCaps[bit / 32] >> (bit % 32) & 1) ? TRUE : FALSE;
    }
    return (state->modelCaps[0] & code) ? TRUE : FALSE;
}

BOOL PGF_GetCapabilityTier(const SheetState *state, WORD *tier)
{
    if (!state || !tier)
        return FALSE;
    if (!PGF_TestDeviceFlag(state, 0xFFFF0000u + 27))
        *tier = 0;
    else
        *tier = PGF_TestDeviceFlag(state, 0xFFFF0000u + 38) ? 2 : 1;
    return TRUE;
}

/* ---- Resource strings and messages -------------------------------------- */

BOOL PGF_LoadStringFormatted(LPWSTR *text, int chars, UINT id, ...)
{
    if (!text)
        return FALSE;
    *text = nullptr;
    if (chars < 1)
        chars = 256;
    std::u16string format(size_t(chars) + 1, u'\0');
    const int loaded = LoadStringW(RES_GetResourceModule(), id, format.data(), chars);
    if (loaded <= 0)
        return FALSE;
    auto *out = static_cast<LPWSTR>(GlobalAlloc(GPTR, size_t(chars) * sizeof(WCHAR)));
    if (!out)
        return FALSE;
    va_list args;
    va_start(args, id);
    const int length = RES_FormatMessageV(out, chars, format.c_str(), args);
    va_end(args);
    /* The result must leave room for its terminator and one more character. */
    if (length < 0 || length + 2 > chars) {
        GlobalFree(out);
        return FALSE;
    }
    *text = out;
    return TRUE;
}

int PGF_ShowResourceMessage(HWND owner, LONG captionId, UINT style, LONG textId, LPCWSTR text)
{
    WCHAR caption[128] = {};
    HMODULE resources = RES_GetResourceModule();
    if (captionId != PGF_NONE && LoadStringW(resources, UINT(captionId), caption, 128) <= 0)
        return -1;
    WCHAR loaded[256] = {};
    if (textId != PGF_NONE) {
        if (LoadStringW(resources, UINT(textId), loaded, 256) <= 0)
            return -1;
        text = loaded;
    }
    if (!text)
        return -1;
    return RES_MessageBox(owner, text, captionId == PGF_NONE ? nullptr : caption, style);
}

/* ---- Text helpers ------------------------------------------------------- */

void PGF_TrimDisplayName(LPWSTR text, int kind)
{
    if (!text)
        return;
    std::u16string_view view(text);
    if (kind == 0 || kind == 1) {
        bool cut = false;
        for (char16_t mark : {u'(', u'['}) {
            const size_t at = std::u16string_view(text).rfind(mark);
            if (at != std::u16string_view::npos) {
                text[at] = 0;
                cut = true;
            }
        }
        if (kind == 1 && cut) {
            WCHAR suffix[4] = {};
            const size_t length = wideLength(text);
            if (LoadStringW(RES_GetResourceModule(), kTrimSuffixString, suffix, 4) == 1 && length &&
                text[length - 1] == suffix[0])
                text[length - 1] = 0;
        }
        return;
    }
    if (kind == 2) {
        const size_t open = view.rfind(u'(');
        if (open == std::u16string_view::npos)
            return;
        const size_t close = view.find(u')', open);
        if (close == std::u16string_view::npos)
            return;
        const size_t rest = view.size() - close - 1;
        std::memmove(text + open, text + close + 1, (rest + 1) * sizeof(WCHAR));
    }
}

void PGF_AppendTruncated(LPWSTR buffer, LPCWSTR text, int chars)
{
    if (!buffer || !text || chars < 1)
        return;
    size_t used = 0;
    while (used < size_t(chars) && buffer[used])
        ++used;
    if (used >= size_t(chars)) {
        buffer[chars - 1] = 0;
        return;
    }
    size_t room = size_t(chars) - 1 - used;
    size_t take = std::min(room, wideLength(text));
    /* Never split a surrogate pair. */
    if (take && take < wideLength(text) && text[take - 1] >= 0xD800 && text[take - 1] <= 0xDBFF)
        --take;
    std::memcpy(buffer + used, text, take * sizeof(WCHAR));
    buffer[used + take] = 0;
}

LPCWSTR PGF_FileNamePart(LPCWSTR path)
{
    if (!path)
        return nullptr;
    const size_t at = std::u16string_view(path).rfind(u'\\');
    return at == std::u16string_view::npos ? path : path + at + 1;
}

BOOL PGF_SplitDelimited(LPWSTR *out, int *length, LPCWSTR text, WCHAR first, WCHAR second)
{
    if (!out || !length || !text)
        return FALSE;
    const std::u16string_view view(text);
    if (view.size() <= 1)
        return FALSE;
    const size_t open = view.find(first);
    if (open == std::u16string_view::npos)
        return FALSE;
    size_t begin = open + 1;
    size_t end;
    if (begin + 1 == view.size() && view[begin] == second) {
        end = begin; /* "<first><second>" at the end: empty */
    } else {
        end = view.rfind(second);
        if (end == std::u16string_view::npos || end < begin)
            return FALSE;
    }
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (end - begin + 1) * sizeof(WCHAR)));
    if (!copy)
        return FALSE;
    std::memcpy(copy, text + begin, (end - begin) * sizeof(WCHAR));
    *out = copy;
    *length = int(end - begin);
    return TRUE;
}

/* ---- ANSI conversions ---------------------------------------------------- */

BOOL PGF_ToAnsi(LPCWSTR text, LPSTR *bytes, DWORD *length)
{
    return UTL_WideToMultiByteAlloc(text, bytes, length, CP_ACP);
}

BOOL PGF_FromAnsi(LPCSTR bytes, LPWSTR *text, DWORD *count) { return UTL_MultiByteToWideAlloc(bytes, text, count, CP_ACP); }

BOOL PGF_ToAnsiStrict(LPCWSTR text, LPSTR *bytes, DWORD *length)
{
    if (!text || !bytes || !length)
        return FALSE;
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return FALSE;
    auto *out = static_cast<LPSTR>(GlobalAlloc(GPTR, size_t(size)));
    if (!out)
        return FALSE;
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, size, nullptr, &usedDefault);
    if (written != size || usedDefault) {
        GlobalFree(out);
        return FALSE;
    }
    *bytes = out;
    *length = DWORD(size - 1);
    return TRUE;
}

/* ---- Windows ------------------------------------------------------------ */

int PGF_ScaleToDpi(HDC dc, int length, int index)
{
    const int dpi = GetDeviceCaps(dc, index == LOGPIXELSX ? LOGPIXELSX : LOGPIXELSY);
    /* MulDiv: rounded half away from zero. */
    const LONGLONG product = LONGLONG(length) * dpi;
    const LONGLONG half = product < 0 ? -48 : 48;
    return int((product + half) / 96);
}

BOOL PGF_DirectoryExists(LPCWSTR path)
{
    if (!path || !path[0])
        return FALSE;
    WCHAR previous[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, previous);
    if (n == 0 || n > MAX_PATH)
        return FALSE;
    if (!SetCurrentDirectoryW(path))
        return FALSE;
    SetCurrentDirectoryW(previous);
    return TRUE;
}

BOOL PGF_CreateDirectoryPath(LPCWSTR path)
{
    if (!path || !path[0])
        return FALSE;
    const std::u16string whole(path);
    if (whole.size() > MAX_PATH)
        return FALSE;
    /* Prefixes before the second and every later backslash, then the whole path. */
    size_t at = whole.find(u'\\');
    while (at != std::u16string::npos) {
        at = whole.find(u'\\', at + 1);
        if (at == std::u16string::npos)
            break;
        CreateDirectoryW(whole.substr(0, at).c_str(), nullptr);
    }
    return CreateDirectoryW(whole.c_str(), nullptr);
}

BOOL PGF_CanWriteMachineKey(void)
{
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_WRITE, &root) != ERROR_SUCCESS)
        return FALSE;
    const DWORD one = 1;
    const bool set = RegSetValueExW(root, u"WriteCheck", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                                    sizeof one) == ERROR_SUCCESS;
    if (set)
        RegDeleteValueW(root, u"WriteCheck");
    RegCloseKey(root);
    return set ? TRUE : FALSE;
}

void PGF_MirrorSheetForRtl(HWND page)
{
    constexpr LONG_PTR kMirror = WS_EX_LAYOUTRTL | WS_EX_NOINHERITLAYOUT;
    HWND frame = page ? GetParent(page) : nullptr;
    const LONG_PTR exStyle = frame ? GetWindowLongPtrW(frame, GWL_EXSTYLE) : 0;
    if (exStyle == 0)
        return;
    SetWindowLongPtrW(frame, GWL_EXSTYLE, exStyle | kMirror);
    for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        WCHAR name[32];
        if (GetClassNameW(child, name, 32) && lstrcmpiW(name, u"SysTabControl32") == 0)
            SetWindowLongPtrW(child, GWL_EXSTYLE, GetWindowLongPtrW(child, GWL_EXSTYLE) | kMirror);
    }
}

void PGF_MarkSheetChanged(HWND page)
{
    HWND frame = page ? GetParent(page) : nullptr;
    HWND apply = frame ? GetDlgItem(frame, kApplyButton) : nullptr;
    if (apply && IsWindowVisible(apply))
        SendMessageW(frame, PSM_CHANGED, WPARAM(page), 0);
}

BOOL PGF_SetRect4(LONG *record, int index, const LONG *values)
{
    if (!record || !values || index < 0 || index > 4)
        return FALSE;
    if (index == 4)
        std::memcpy(record, values, 4 * sizeof(LONG));
    else
        record[index] = values[0];
    return TRUE;
}

BOOL PGF_GetRect4(const LONG *record, int index, LONG *values)
{
    if (!record || !values || index < 0 || index > 4)
        return FALSE;
    if (index == 4)
        std::memcpy(values, record, 4 * sizeof(LONG));
    else
        values[0] = record[index];
    return TRUE;
}
