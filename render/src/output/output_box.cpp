/*
 * The OK/Cancel box that asks the user whether to write again after a
 * failed write, shared by the channel's file targets and the spool file.
 * Its strings come from the resource module; when one is missing the box
 * still says what happened, with built-in texts.  A box that cannot be
 * shown, or whose strings cannot be allocated, counts as Cancel: the write
 * fails rather than being tried again without the user.
 */
#include "output_channel.h"

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>
#include <plat/window_min.h>

namespace {

/* Longest box text, in characters. */
constexpr int kTextMax = 255;

/* Caption when the resource module has none. */
constexpr WCHAR kDefaultCaption[] = u"Error";

/* Text when the resource module has none: a format with %c for the drive letter. */
constexpr WCHAR kDefaultText[] = u"Unable to write to print file. \nCheck that you have sufficient disk space on %c "
                                 u"drive. \n\nClick \"OK\" to try again or \n\"Cancel\" to stop printing.";

/*
 * Copies `format` into `out` (room for `cch` characters) with "%c" replaced
 * by `drive` and "%%" by "%"; every other character, "%" included, is copied
 * as it stands, so a text from the resource module can never make this read
 * an argument that is not there.
 */
void box_FormatDrive(LPCWSTR format, WCHAR drive, LPWSTR out, int cch)
{
    int n = 0;
    for (const WCHAR *p = format; *p && n < cch - 1; p++) {
        if (p[0] == u'%' && (p[1] == u'c' || p[1] == u'%')) {
            out[n++] = p[1] == u'c' ? drive : u'%';
            p++;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

} // namespace

WCHAR OUT_DriveLetter(LPCWSTR path)
{
    if (!path || !path[0] || path[1] != u':')
        return u' ';
    WCHAR c = path[0];
    if (c >= u'a' && c <= u'z')
        c = WCHAR(c - u'a' + u'A');
    return c;
}

int OUT_ShowRetryBox(HMODULE module, int captionMax, UINT textId, WCHAR drive)
{
    if (captionMax < 1)
        captionMax = 1;
    auto *caption = static_cast<LPWSTR>(GlobalAlloc(GPTR, (SIZE_T(captionMax) + 1) * sizeof(WCHAR)));
    auto *format = static_cast<LPWSTR>(GlobalAlloc(GPTR, (kTextMax + 1) * sizeof(WCHAR)));
    auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, (kTextMax + 1) * sizeof(WCHAR)));
    int answer = IDCANCEL;
    if (caption && format && text) {
        if (LoadStringW(module, OUT_IDS_ERROR_CAPTION, caption, captionMax + 1) <= 0)
            lstrcpynW(caption, kDefaultCaption, captionMax + 1);
        if (LoadStringW(module, textId, format, kTextMax + 1) <= 0)
            lstrcpynW(format, kDefaultText, kTextMax + 1);
        box_FormatDrive(format, drive, text, kTextMax + 1);
        if (MessageBoxW(GetActiveWindow(), text, caption, MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND) ==
            IDOK)
            answer = IDOK;
    }
    GlobalFree(text);
    GlobalFree(format);
    GlobalFree(caption);
    return answer;
}

int OUT_AskFileRetry(const OutputChannel *channel)
{
    if (!channel)
        return IDCANCEL;
    return OUT_ShowRetryBox(channel->resourceModule, 15, channel->errorMessageId, channel->fileDrive);
}
