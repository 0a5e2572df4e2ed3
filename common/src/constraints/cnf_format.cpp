/*
 * Display texts of setting values: names, option names, numbers with the
 * locale's decimal separator, paper sizes in millimetres or inches and the
 * custom-size ranges of trays; and message texts formatted from resource
 * strings.
 */
#include "cnf_internal.h"
#include "cnf_messages.h"

#include <tarvel/base/pgf_services.h>
#include <tarvel/base/res_format.h>
#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/ppr_paper.h>

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstdarg>
#include <string>

namespace {

constexpr WORD kSameAsOutputPaper = 267;

bool loadFrom(HMODULE module, UINT id, std::u16string *out) { return cnf_LoadFrom(module, id, out); }

std::u16string decimal(unsigned long long v)
{
    std::u16string s;
    do {
        s.insert(s.begin(), char16_t(u'0' + v % 10));
        v /= 10;
    } while (v);
    return s;
}

/* Copies a text into a buffer of `chars` characters, cut to fit. */
void copyOut(LPWSTR out, int chars, const std::u16string &text)
{
    const size_t n = text.size() < size_t(chars - 1) ? text.size() : size_t(chars - 1);
    text.copy(out, n);
    out[n] = 0;
}

/* "%s"-style resource string formatted with up to four texts. */
bool formatInto(HMODULE module, UINT id, std::u16string *out, LPCWSTR a, LPCWSTR b = nullptr, LPCWSTR c = nullptr,
                LPCWSTR d = nullptr)
{
    std::u16string format;
    if (!loadFrom(module, id, &format))
        return false;
    WCHAR buffer[CNF_MESSAGE_CHARS];
    RES_FormatMessage(buffer, CNF_MESSAGE_CHARS, format.c_str(), a, b, c, d);
    out->assign(buffer);
    return true;
}

/* A length in tenths of a millimetre: whole millimetres, or inches with two decimals (one with option [1]). */
bool lengthText(LONG tenths, bool inches, bool oneDecimal, std::u16string *out)
{
    WCHAR buffer[CNF_VALUE_TEXT_CHARS];
    LONG value = tenths / 10;
    WORD divisor = 1;
    if (inches) {
        value = PGF_ToHundredthInch(tenths, 0);
        divisor = 100;
        if (oneDecimal) {
            value /= 10;
            divisor = 10;
        }
    }
    if (!CNF_FormatNumber(0, buffer, divisor, SVT_INT32, &value))
        return false;
    out->assign(buffer);
    return true;
}

bool isPaper(WORD id) { return id == 8 || id == 262; }
bool isTray(WORD id) { return id == 13 || id == 265 || id == 266 || id == 389; }

/* The text of a paper value: a custom paper's name and size, or the option name. */
bool paperText(HMODULE module, const SettingsRef *ref, WORD id, LONG code, const DWORD unitOptions[2],
               std::u16string *out)
{
    if (id == 262 && code == kSameAsOutputPaper && !cnf_ReadNumber(ref, 8, &code))
        return false;
    if (!FID_IsCustomPaperCode(code)) {
        /* A model that takes its papers from the form database names them by the paper list. */
        ULONGLONG listed = 0;
        if (PPR_IsFormsMergeEnabled(ref->context, ref->printerData) && PPR_HasPaperList(ref->context) &&
            PPR_FindPaper(ref->context, PPR_BY_CODE, ULONG_PTR(code), PPR_GIVE_NAME, &listed) == PPR_OK && listed) {
            out->assign(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(listed)));
            return true;
        }
        const SHORT key = SHORT(code);
        return cnf_NameOf(ref, 8, &key, out);
    }
    const WORD slot = FID_CustomPaperCodeToSlot(code);
    CnfSetting name;
    if (cnf_Read(ref, WORD(FID_CUSTOM_NAME_SETTING + slot), &name) != DMA_OK || name.type != SVT_WSTRING)
        return false;
    LONG width = 0, length = 0;
    if (CNF_GetPaperExtent(ref, WORD(code), &width, &length) != 0)
        return false;
    const bool inches = unitOptions && unitOptions[0] != 0;
    std::u16string w, l, size;
    if (!lengthText(width, inches, unitOptions && unitOptions[1], &w) ||
        !lengthText(length, inches, unitOptions && unitOptions[1], &l) ||
        !formatInto(module, inches ? 9247 : 703, &size, w.c_str(), l.c_str()))
        return false;
    *out = cnf_Text(name.data()) + u" " + size;
    return true;
}

/* The text of a tray value: its option name and, asked for, its custom-size range. */
bool trayText(BOOL withRange, HMODULE module, const SettingsRef *ref, WORD id, LONG tray, std::u16string *out)
{
    const WORD key = WORD(tray);
    if (!cnf_NameOf(ref, id, &key, out))
        return false;
    if (!withRange || (id == 13 && tray == 15) || (id == 265 && tray == 258))
        return true;
    DddPair min{}, max{};
    bool found = false;
    if (!cnf_GetTrayRange(ref, id == 266 ? DDD_KIND_TRAY2 : DDD_KIND_TRAY, key, &min, &max, &found) || !found)
        return true;
    std::u16string range;
    std::u16string a = decimal(min.first / 10), b = decimal(min.second / 10), c = decimal(max.first / 10),
                   d = decimal(max.second / 10);
    if (!formatInto(module, 704, &range, a.c_str(), b.c_str(), c.c_str(), d.c_str()))
        return false;
    *out += u" " + range;
    return true;
}

} // namespace

BOOL CNF_FormatNumber(LONG integerDisplay, LPWSTR out, WORD divisor, WORD type, const void *value)
{
    if (!out || !value || divisor == 0)
        return FALSE;
    long long v = 0;
    switch (type) {
    case SVT_INT16: v = plat::load<SHORT>(value); break;
    case SVT_UINT16: v = plat::load<WORD>(value); break;
    case SVT_INT32:
    case SVT_LOGFONT_MEMBER: v = plat::load<LONG>(value); break;
    case SVT_UINT32: v = plat::load<DWORD>(value); break;
    case SVT_BYTE: v = *static_cast<const BYTE *>(value); break;
    case SVT_WSTRING: copyOut(out, CNF_VALUE_TEXT_CHARS, cnf_Text(value)); return TRUE;
    default: return FALSE;
    }
    const bool negative = v < 0;
    const unsigned long long magnitude = negative ? static_cast<unsigned long long>(-v) : static_cast<unsigned long long>(v);
    std::u16string text;
    if (divisor == 1) {
        text = decimal(magnitude);
    } else if (integerDisplay) {
        text = decimal(magnitude / divisor);
        if (magnitude / divisor == 0)
            text = u"0";
        if (negative && magnitude / divisor != 0)
            text.insert(text.begin(), u'-');
        copyOut(out, CNF_VALUE_TEXT_CHARS, text);
        return TRUE;
    } else {
        std::u16string separator;
        if (!cnf_LoadString(9241, &separator))
            return FALSE;
        separator.resize(1);
        int zeros = 0;
        for (WORD d = divisor; d % 10 == 0 && d > 1; d /= 10)
            ++zeros;
        std::u16string fraction = decimal(magnitude % divisor);
        while (int(fraction.size()) < zeros)
            fraction.insert(fraction.begin(), u'0');
        text = decimal(magnitude / divisor) + separator + fraction;
    }
    if (negative)
        text.insert(text.begin(), u'-');
    copyOut(out, CNF_VALUE_TEXT_CHARS, text);
    return TRUE;
}

BOOL CNF_LoadFormatString(HMODULE module, LPWSTR *out, int capacity, UINT id, ...)
{
    if (!out)
        return FALSE;
    *out = nullptr;
    if (capacity < 1)
        capacity = CNF_MESSAGE_CHARS;
    std::u16string format;
    if (!loadFrom(module, id, &format))
        return FALSE;
    auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, size_t(capacity) * sizeof(WCHAR)));
    if (!text)
        return FALSE;
    va_list args;
    va_start(args, id);
    RES_FormatMessageV(text, capacity, format.c_str(), args);
    va_end(args);
    *out = text;
    return TRUE;
}

bool cnf_ValueText(BOOL withRange, HMODULE module, const SettingsRef *ref, WORD id, const void *value,
                   const DWORD unitOptions[2], std::u16string *out)
{
    out->clear();
    if (id >= 1296 && id <= 1301) {
        const UINT which = !value ? 2001 : (cnf_ValueNumber(SVT_FLAG, value) == 1 ? 2002 : 2003);
        return loadFrom(module, which, out);
    }
    if (id == 286 && !value)
        return loadFrom(module, 2004, out);
    if (id == 298) {
        if (!value)
            return loadFrom(module, 302, out);
        *out = cnf_Text(cnf_ValueData(SVT_WSTRING, value));
        return true;
    }
    if (id == 5129 && value) {
        *out = cnf_Text(cnf_ValueData(SVT_WSTRING, value));
        return !out->empty() || loadFrom(module, 306, out);
    }
    if (!value) {
        if (!cnf_NameOf(ref, id, nullptr, out))
            return false;
        std::u16string suffix;
        if ((id == 327 || id == 328) && loadFrom(module, 305, &suffix))
            *out += suffix;
        return true;
    }
    CnfSetting s;
    if (cnf_Read(ref, id, &s) != DMA_OK)
        return false;
    const LONG number = cnf_ValueNumber(s.type, value);
    if (id == 12 || id == 263 || (id >= 274 && id <= 285) || id == 323) {
        WCHAR buffer[CNF_VALUE_TEXT_CHARS];
        if (!CNF_FormatNumber(0, buffer, 1, s.type, value))
            return false;
        out->assign(buffer);
        return true;
    }
    if (id == 268 || id == 269) {
        const LONG magnitude = number < 0 ? -number : number;
        *out = (number < 0 ? u"-" : u"") + decimal(ULONG(magnitude) / 10) + u"." + decimal(ULONG(magnitude) % 10);
        return true;
    }
    if (isPaper(id))
        return paperText(module, ref, id, number, unitOptions, out);
    if (isTray(id))
        return trayText(withRange, module, ref, id, number, out);
    return cnf_NameOf(ref, id, cnf_ValueData(s.type, value), out);
}

BOOL CNF_FormatValueText(BOOL withRange, HMODULE module, const SettingsRef *ref, LPWSTR out, WORD id,
                         const void *value, const DWORD unitOptions[2])
{
    if (!ref || !ref->context || !out)
        return FALSE;
    std::u16string text;
    if (!cnf_ValueText(withRange, module, ref, id, value, unitOptions, &text))
        return FALSE;
    copyOut(out, CNF_VALUE_TEXT_CHARS, text);
    return TRUE;
}
