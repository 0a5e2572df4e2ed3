/*
 * Text output of the job header and trailer: the process-wide text mode,
 * the appenders that every PJL writer goes through (each checks the room
 * left, including the zero byte kept after the last line), and the fixed
 * texts of the trailer: universal exit and end-of-job line.
 */
#include "pjl_private.h"

#include <tarvel/base/util_codepage.h>

#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <atomic>
#include <cstring>

namespace {

/* Initial value of the text mode: reads as ANSI and is stored back as such on the first read. */
constexpr WORD kModeUnset = 0xFFFF;

/* Written by every header build; builds on several threads store the same value. */
std::atomic<WORD> g_textMode{kModeUnset};

constexpr DWORD kUelBytes = sizeof PJL_UEL - 1;
constexpr LONG kUelRoom = 14;

constexpr char16_t kEojAttr[] = u"@PJL EOJ";
constexpr char16_t kEojPlain[] = u"@EOJO";

/* Appends `n` bytes and the zero byte after them, when they fit. */
LONG appendBytes(PjlBuffer *out, const char *bytes, DWORD n)
{
    if (out->length >= out->capacity || n > out->capacity - out->length - 1)
        return PJL_ERR_OVERFLOW;
    std::memcpy(out->data + out->length, bytes, n);
    out->length += n;
    out->data[out->length] = 0;
    return LONG(n);
}

/* Converts wide text into the code page straight into the buffer, after measuring it. */
LONG appendWide(PjlBuffer *out, LPCWSTR text, UINT codePage)
{
    if (text[0] == 0)
        return appendBytes(out, "", 0);
    int needed = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return PJL_ERR_CONVERSION;
    /* `needed` counts the terminator, which takes the place of the kept zero byte. */
    if (out->length >= out->capacity || DWORD(needed) > out->capacity - out->length)
        return PJL_ERR_OVERFLOW;
    int written = WideCharToMultiByte(codePage, 0, text, -1, out->data + out->length, needed, nullptr, nullptr);
    if (written != needed) {
        out->data[out->length] = 0;
        return PJL_ERR_CONVERSION;
    }
    out->length += DWORD(written - 1);
    return written - 1;
}

const char16_t *eojText(ModelFileReader *main, ModelFileReader *companion)
{
    (void)companion;
    ModelCapabilityBits bits{};
    MDL_GetCapabilityBits(main, &bits);
    return (bits.words[0] & PJL_F26_JOBATTR) ? kEojAttr : kEojPlain;
}

/* An output over the caller's buffer, or PJL_ERR_NULL_BUFFER / PJL_ERR_OVERFLOW when there is none to use. */
LONG openOutput(LPSTR buffer, DWORD capacity, PjlBuffer *out)
{
    if (!buffer)
        return PJL_ERR_NULL_BUFFER;
    if (capacity == 0)
        return PJL_ERR_OVERFLOW;
    *out = PjlBuffer{buffer, capacity, 0};
    buffer[0] = 0;
    return 0;
}

} // namespace

void PJL_SetTextMode(WORD mode) { g_textMode.store(mode); }

WORD PJL_GetTextMode(void)
{
    WORD expected = kModeUnset;
    g_textMode.compare_exchange_strong(expected, PJL_TEXT_ANSI);
    return g_textMode.load();
}

void pjl_ResetTextModeForTest(void) { g_textMode.store(kModeUnset); }

int PJL_GetLineEnd(LPWSTR buffer, int capacity)
{
    if (!buffer || capacity < 2)
        return 0;
    lstrcpynW(buffer, PJL_TEXT_LF, 2);
    return 1;
}

LONG PJL_AppendText(LPCWSTR text, PjlBuffer *out)
{
    if (!out || !out->data)
        return PJL_ERR_NULL_BUFFER;
    if (!text)
        return PJL_ERR_NULL_ARGUMENT;
    return appendWide(out, text, PJL_GetTextMode() == PJL_TEXT_UTF8 ? CP_UTF8 : CP_ACP);
}

LONG PJL_AppendAnsiText(LPCSTR text, PjlBuffer *out)
{
    if (!out || !out->data)
        return PJL_ERR_NULL_BUFFER;
    if (!text)
        return PJL_ERR_NULL_ARGUMENT;
    if (PJL_GetTextMode() != PJL_TEXT_UTF8)
        return appendBytes(out, text, DWORD(std::strlen(text)));
    if (text[0] == 0)
        return appendBytes(out, "", 0);
    LPWSTR wide = UTL_CodePageToWideAlloc(CP_ACP, text, nullptr);
    if (!wide)
        return PJL_ERR_CONVERSION;
    LONG r = appendWide(out, wide, CP_UTF8);
    GlobalFree(wide);
    return r;
}

LONG PJL_AppendKeyValue(LPCWSTR key, LPCWSTR value, PjlBuffer *out)
{
    return pjl_AppendAll(out, {key, value});
}

LONG pjl_AppendAll(PjlBuffer *out, std::initializer_list<LPCWSTR> texts)
{
    LONG total = 0;
    for (LPCWSTR text : texts) {
        LONG r = PJL_AppendText(text, out);
        if (r < 0)
            return r;
        total += r;
    }
    return total;
}

LONG pjl_AppendJobAttrLine(PjlBuffer *out, LPCWSTR attribute, LPCWSTR word)
{
    return pjl_AppendAll(out, {PJL_TEXT_JOBATTR, PJL_TEXT_QUOTE, attribute, word, PJL_TEXT_QUOTE, PJL_TEXT_LF});
}

void pjl_Rewind(PjlBuffer *out, DWORD length)
{
    if (out && out->data && length < out->capacity && length <= out->length) {
        out->length = length;
        out->data[length] = 0;
    }
}

LONG PJL_GetUelSize(void) { return kUelRoom; }

LONG PJL_WriteUel(LPSTR buffer, DWORD capacity)
{
    PjlBuffer out{};
    LONG r = openOutput(buffer, capacity, &out);
    return r < 0 ? r : PJL_AppendAnsiText(PJL_UEL, &out);
}

LONG PJL_GetEojSize(ModelFileReader *main, ModelFileReader *companion)
{
    return 1 + lstrlenW(eojText(main, companion)) + 5;
}

LONG PJL_WriteEojLine(ModelFileReader *main, ModelFileReader *companion, LPSTR buffer, DWORD capacity)
{
    PjlBuffer out{};
    LONG r = openOutput(buffer, capacity, &out);
    return r < 0 ? r : pjl_AppendAll(&out, {eojText(main, companion), PJL_TEXT_LF});
}

LONG PJL_GetTrailerSize(ModelFileReader *main, ModelFileReader *companion)
{
    return 1 + LONG(kUelBytes) + lstrlenW(eojText(main, companion)) + 5;
}

LONG PJL_WriteTrailer(ModelFileReader *main, ModelFileReader *companion, LPSTR buffer, DWORD capacity)
{
    PjlBuffer out{};
    LONG r = openOutput(buffer, capacity, &out);
    if (r < 0)
        return r;
    LONG uel = PJL_AppendAnsiText(PJL_UEL, &out);
    if (uel < 0)
        return uel;
    LONG eoj = pjl_AppendAll(&out, {eojText(main, companion), PJL_TEXT_LF});
    return eoj < 0 ? eoj : uel + eoj;
}
