/*
 * Job attribute values that look things up outside the setting itself: the
 * device's paper names (custom sizes measured from the printer's spooler
 * form), the feed edge, the user name with its fallbacks and the device's
 * character rules, and the scheduled print time (tomorrow when the time of
 * day has passed).  The scheduled time is computed in locals only, so two
 * headers built at once on two threads cannot mix their times.
 */
#include "pjl_private.h"

#include <tarvel/base/res_text.h>
#include <tarvel/base/util_codepage.h>
#include <tarvel/base/util_system.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>

#include <plat/clock.h>
#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <array>
#include <cstring>

namespace {

struct PaperName {
    WORD code;
    const char16_t *name;
};

constexpr PaperName kPaperNames[] = {
    {8, u"A3"},         {9, u"A4"},          {11, u"A5"},         {70, u"A6"},          {12, u"B4"},
    {13, u"B5"},        {1, u"INCH85_11"},   {14, u"INCH85_13"},  {5, u"INCH85_14"},    {3, u"INCH11_17"},
    {6, u"INCH55_85"},  {259, u"INCH8_10"},  {260, u"INCH12_18"}, {261, u"SRA3"},       {257, u"8KAI"},
    {258, u"16KAI"},    {43, u"HAGAKI"},
};

/* Settings of the paper and feed-edge rules. */
constexpr WORD kSourceA = 404, kSourceB = 405, kSourceC = 406;
constexpr WORD kTrayA = 407, kTrayB = 408, kTrayC = 409;
constexpr WORD kFeedEdge = 412;
constexpr WORD kFeedEdgeAlt = 413;
constexpr WORD kFeedEdge2 = 438;
constexpr WORD kScheduledHour = 451;
constexpr WORD kScheduledMinute = 452;

constexpr DWORD kTrayBypass = 4;
constexpr DWORD kTrayLarge = 264;
constexpr DWORD kShortEdge = 2;

/* Custom form names are short: the default slot names of the resource module. */
constexpr int kFormNameChars = 64;

/* The user name: a buffer of 256 characters, at most 255 bytes kept, the key cut to 289 characters. */
constexpr DWORD kUserChars = UNLEN + 1;
constexpr int kUserBytes = 255;
constexpr int kUserKeyChars = 289;

constexpr ULONGLONG kFileTimeDay = 24ULL * 60 * 60 * 10000000ULL;

/* The size of the spooler form `name` in thousandths of a millimetre. */
bool formSize(HANDLE printer, LPCWSTR name, LONG *width, LONG *length)
{
    DWORD needed = 0;
    GetFormW(printer, name, 1, nullptr, 0, &needed);
    if (needed < sizeof(FORM_INFO_1W))
        return false;
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    if (!block)
        return false;
    bool ok = GetFormW(printer, name, 1, block, needed, &needed) != FALSE;
    if (ok) {
        FORM_INFO_1W form{};
        std::memcpy(&form, block, sizeof form);
        *width = form.Size.cx;
        *length = form.Size.cy;
    }
    GlobalFree(block);
    return ok;
}

/* Thousandths of a millimetre to whole millimetres, rounded through tenths. */
LONG wholeMillimetres(LONG thousandths) { return ((thousandths + 50) / 100 + 5) / 10; }

/* "UNFIXED:" with the custom paper's size; 0 when written, else PJL_ERR_NOT_FOUND or a read error. */
LONG customPaper(LPCWSTR key, WORD code, const JobHeaderParams *params, PjlBuffer *out)
{
    WCHAR name[kFormNameChars] = {};
    LONG width = 0, length = 0;
    if (!RES_MakeCustomPaperName(FID_CustomPaperCodeToSlot(code), name, kFormNameChars) ||
        !formSize(params->printer, name, &width, &length))
        return PJL_ERR_NOT_FOUND;
    DWORD tray = 0, feed = 0;
    LONG r = PJL_ReadSetting(params, kTrayC, SVT_UINT16, &tray);
    if (r < 0)
        return r;
    if (tray != kTrayBypass && tray != kTrayLarge)
        return PJL_ERR_NOT_FOUND;
    r = PJL_ReadSetting(params, tray == kTrayBypass ? kFeedEdge : kFeedEdgeAlt, SVT_UINT16, &feed);
    if (r < 0)
        return r;
    const WORD w = WORD(wholeMillimetres(width)), l = WORD(wholeMillimetres(length));
    WCHAR text[48] = {};
    wsprintfW(text, u"UNFIXED:%hu:%hu", unsigned(feed == kShortEdge ? w : l), unsigned(feed == kShortEdge ? l : w));
    return PJL_AppendKeyValue(key, text, out);
}

/* Whether the byte string is a name the device shows: device characters only and not blanks only. */
bool deviceCharacters(const BYTE *name, int length)
{
    int blanks = 0;
    for (int i = 0; i < length;) {
        const BYTE b = name[i];
        if (IsDBCSLeadByte(b) && i + 1 < length) {
            const BYTE t = name[i + 1];
            if (b < 0x81 || b > 0xFC || t < 0x40 || t > 0xFC)
                return false;
            if (b == 0x81 && t == 0x40)
                blanks += 2;
            i += 2;
            continue;
        }
        if (!((b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF)))
            return false;
        if (b == 0x20)
            ++blanks;
        ++i;
    }
    return blanks != length;
}

} // namespace

LPCWSTR pjl_PaperName(WORD code)
{
    for (const PaperName &p : kPaperNames)
        if (p.code == code)
            return p.name;
    return nullptr;
}

LONG pjl_FormatPaperName(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out)
{
    DWORD code = 0;
    LONG r = PJL_ReadSetting(params, id, SVT_UINT16, &code);
    if (r < 0)
        return r;
    if (FID_IsCustomPaperCode(int(code)))
        return customPaper(key, WORD(code), params, out);
    LPCWSTR name = pjl_PaperName(WORD(code));
    return name ? PJL_AppendKeyValue(key, name, out) : PJL_ERR_NOT_FOUND;
}

LONG pjl_FormatFeedEdge(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out)
{
    PjlReader read{params};
    WORD edgeSetting = kFeedEdge2;
    WORD edgeType = SVT_BYTE;
    if (id == kFeedEdge) {
        const bool own = (read(kSourceA, SVT_UINT16) == 1 && read(kTrayA, SVT_UINT16) == kTrayBypass) ||
                         (read(kSourceB, SVT_UINT16) == 1 && read(kTrayB, SVT_UINT16) == kTrayBypass) ||
                         (read(kSourceC, SVT_UINT16) == 1 && read(kTrayC, SVT_UINT16) == kTrayBypass);
        if (own) {
            edgeSetting = kFeedEdge;
            edgeType = SVT_UINT16;
        }
    }
    const DWORD edge = read(edgeSetting, edgeType);
    if (read.status < 0)
        return read.status;
    return PJL_AppendKeyValue(key, edge == kShortEdge ? u"SEF" : u"LEF", out);
}

void pjl_DeviceUserName(char *name, int capacity)
{
    const char *unknown = "UnknownUser";
    std::array<WCHAR, kUserChars> wide{};
    DWORD chars = kUserChars;
    LPSTR ansi = nullptr;
    DWORD length = 0;
    if (!name || capacity <= kUserBytes) {
        if (name && capacity > 0)
            name[0] = 0;
        return;
    }
    lstrcpynA(name, unknown, capacity);
    if (!UTL_GetUserName(wide.data(), &chars) || wide[0] == 0 ||
        !UTL_WideToMultiByteAlloc(wide.data(), &ansi, &length, CP_ACP))
        return;
    const int keep = UTL_AnsiPrefixLength(ansi, int(length), kUserBytes);
    if (deviceCharacters(reinterpret_cast<const BYTE *>(ansi), keep)) {
        std::memcpy(name, ansi, size_t(keep));
        name[keep] = 0;
    }
    GlobalFree(ansi);
}

LONG pjl_FormatUserName(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out)
{
    LONG gate = pjl_HostGate(params);
    if (gate <= 0)
        return gate;
    char name[kUserBytes + 1] = {};
    pjl_DeviceUserName(name, int(sizeof name));
    WCHAR cutKey[kUserKeyChars + 1] = {};
    lstrcpynW(cutKey, key, kUserKeyChars + 1);
    LONG k = PJL_AppendText(cutKey, out);
    if (k < 0)
        return k;
    LONG v = PJL_AppendAnsiText(name, out);
    return v < 0 ? v : k + v;
}

LONG pjl_FormatScheduledTime(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out)
{
    PjlReader read{params};
    const DWORD hour = read(kScheduledHour, SVT_BYTE);
    const DWORD minute = read(kScheduledMinute, SVT_BYTE);
    if (read.status < 0)
        return read.status;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    SYSTEMTIME when = now;
    when.wHour = WORD(hour);
    when.wMinute = WORD(minute);
    when.wSecond = 0;
    when.wMilliseconds = 0;
    FILETIME t{};
    /* An hour or minute out of range makes no time at all: nothing is written. */
    if (!SystemTimeToFileTime(&when, &t))
        return 0;
    if (hour * 100 + minute < DWORD(now.wHour) * 100 + now.wMinute) {
        ULONGLONG v = (ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) + kFileTimeDay;
        t.dwLowDateTime = DWORD(v);
        t.dwHighDateTime = DWORD(v >> 32);
        if (!FileTimeToSystemTime(&t, &when))
            return 0;
    }
    WCHAR text[32] = {};
    wsprintfW(text, u"%04d:%02d:%02d:%02d:%02d", when.wYear, when.wMonth, when.wDay, when.wHour, when.wMinute);
    return PJL_AppendKeyValue(key, text, out);
}
