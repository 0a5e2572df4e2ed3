/*
 * The built-in stamp definitions and the routines that turn them into stamp
 * records and fonts with the texts and numbers of the resource module.
 */
#include "tarvel/stores/stp_builtin.h"

#include "tarvel/base/res_module.h"

#include <plat/resource.h>
#include <plat/text.h>

#include <array>
#include <cstring>

namespace {

/* Resource strings shared by every built-in font. */
constexpr UINT kCharSetId = 1790;

/* A text whose resource string is missing or empty. */
constexpr const WCHAR *kUndefined = u"Undefined";

/* Numbers are read from at most 11 characters. */
constexpr int kNumberChars = 11;

constexpr BYTE kQuality = 2;
constexpr DWORD kStampColor = 0x33FF;
constexpr WORD kStampNumber = 1000;

constexpr StampFontDefinition font(UINT height, UINT escapement, UINT orientation, LONG weight, UINT face)
{
    return StampFontDefinition{height, 0, escapement, orientation, weight, 0, 0, 0, kCharSetId, 0, 0, kQuality, 0, face};
}

} // namespace

const StampDefinition StpDefaultStamp = {1791, 1792, kStampColor, 1, 1, 0, 0x0202, 0,
                                         font(5149, 5158, 5159, 700, 1793), kStampNumber};

const StampDefinition StpBuiltInStamps[STP_BUILTIN_COUNT] = {
    {1794, 1795, kStampColor, 1, 1, 2, 0x0202, 0, font(5150, 5160, 5161, 0, 1796), kStampNumber},
    {1797, 1798, kStampColor, 1, 0, 1, 0x0301, 0, font(5151, 5162, 5163, 700, 1799), kStampNumber},
    {1800, 1801, kStampColor, 1, 0, 1, 0x0301, 0, font(5152, 5164, 5165, 700, 1802), kStampNumber},
    {1803, 1804, kStampColor, 1, 0, 1, 0x0301, 0, font(5153, 5166, 5167, 700, 1805), kStampNumber},
    {1806, 1807, kStampColor, 1, 1, 0, 0x0202, 0, font(5154, 5168, 5169, 0, 1808), kStampNumber},
    {1809, 1810, kStampColor, 1, 1, 0, 0x0202, 0, font(5155, 5170, 5171, 0, 1811), kStampNumber},
};

const StampFontDefinition StpDefaultFont = font(5156, 5172, 5173, 400, 1812);

namespace {

/*
 * Resource string `id` into `out` of `chars` characters with the NUL;
 * "Undefined" (cut to fit) when it is missing or empty.
 */
void load_text(UINT id, LPWSTR out, int chars)
{
    HMODULE module = RES_GetResourceModule();
    if (module == nullptr || LoadStringW(module, id, out, chars) <= 0)
        lstrcpynW(out, kUndefined, chars);
}

/* The number held in resource string `id` (0 when it is missing). */
LONG load_number(UINT id)
{
    std::array<WCHAR, kNumberChars + 1> text{};
    HMODULE module = RES_GetResourceModule();
    if (module == nullptr || LoadStringW(module, id, text.data(), static_cast<int>(text.size())) <= 0)
        return 0;
    return _wtoi(text.data());
}

} // namespace

BOOL STP_LoadFont(BYTE *out, const StampFontDefinition *definition)
{
    if (out == nullptr || definition == nullptr)
        return FALSE;
    std::memset(out, 0, STP_FONT_SIZE);
    plat::store<LONG>(out + STP_LF_HEIGHT, load_number(definition->heightId));
    plat::store<LONG>(out + STP_LF_WIDTH, definition->width);
    plat::store<LONG>(out + STP_LF_ESCAPEMENT, load_number(definition->escapementId));
    plat::store<LONG>(out + STP_LF_ORIENTATION, load_number(definition->orientationId));
    plat::store<LONG>(out + STP_LF_WEIGHT, definition->weight);
    out[STP_LF_ITALIC] = definition->italic;
    out[STP_LF_UNDERLINE] = definition->underline;
    out[STP_LF_STRIKEOUT] = definition->strikeOut;
    out[STP_LF_CHARSET] = static_cast<BYTE>(load_number(definition->charSetId));
    out[STP_LF_OUTPRECISION] = definition->outPrecision;
    out[STP_LF_CLIPPRECISION] = definition->clipPrecision;
    out[STP_LF_QUALITY] = definition->quality;
    out[STP_LF_PITCHANDFAMILY] = definition->pitchAndFamily;
    std::array<WCHAR, STP_LF_FACE_CHARS> face{};
    load_text(definition->faceId, face.data(), static_cast<int>(face.size()));
    std::memcpy(out + STP_LF_FACENAME, face.data(), sizeof face);
    return TRUE;
}

BOOL STP_GetDefaultFont(BYTE *out)
{
    return STP_LoadFont(out, &StpDefaultFont);
}

BOOL STP_LoadBuiltInStamp(BYTE *record, const StampDefinition *definition)
{
    if (record == nullptr || definition == nullptr)
        return FALSE;
    std::memset(record, 0, STP_RECORD_SIZE);
    std::array<WCHAR, STP_NAME_CHARS + 1> name{};
    load_text(definition->nameId, name.data(), static_cast<int>(name.size()));
    std::memcpy(record + STP_OFF_NAME, name.data(), sizeof name);
    std::array<WCHAR, STP_TEXT_CHARS + 1> text{};
    load_text(definition->textId, text.data(), static_cast<int>(text.size()));
    std::memcpy(record + STP_OFF_TEXT, text.data(), sizeof text);
    plat::store<DWORD>(record + STP_OFF_COLOR, definition->color);
    plat::store<DWORD>(record + STP_OFF_300, definition->value300);
    plat::store<DWORD>(record + STP_OFF_1287, definition->flag1287);
    plat::store<WORD>(record + STP_OFF_302, definition->value302);
    plat::store<WORD>(record + STP_OFF_303, definition->value303);
    plat::store<DWORD>(record + STP_OFF_1288, definition->flag1288);
    STP_LoadFont(record + STP_OFF_FONT, &definition->font);
    plat::store<WORD>(record + STP_OFF_NUMBER, definition->number);
    return TRUE;
}

BOOL STP_GetBuiltInName(int index, LPWSTR name)
{
    if (name == nullptr || index < 0 || index >= STP_BUILTIN_COUNT)
        return FALSE;
    load_text(StpBuiltInStamps[index].nameId, name, STP_NAME_CHARS + 1);
    return TRUE;
}

BOOL STP_IsBuiltInName(LPCWSTR name)
{
    if (name == nullptr)
        return FALSE;
    std::array<WCHAR, STP_NAME_CHARS + 1> builtIn{};
    for (int i = 0; i < STP_BUILTIN_COUNT; ++i) {
        STP_GetBuiltInName(i, builtIn.data());
        if (lstrcmpW(builtIn.data(), name) == 0)
            return TRUE;
    }
    return FALSE;
}

int STP_ListBuiltInNames(LPWSTR buffer, DWORD *count, DWORD *size)
{
    if (size == nullptr)
        return STP_BAD_ARGUMENT;
    std::array<std::array<WCHAR, STP_NAME_CHARS + 1>, STP_BUILTIN_COUNT> names{};
    DWORD needed = sizeof(WCHAR); /* the closing NUL */
    for (int i = 0; i < STP_BUILTIN_COUNT; ++i) {
        STP_GetBuiltInName(i, names[i].data());
        needed += static_cast<DWORD>((plat::wlen(names[i].data()) + 1) * sizeof(WCHAR));
    }
    const DWORD given = *size;
    *size = needed;
    if (buffer == nullptr && count == nullptr)
        return STP_OK;
    if (buffer == nullptr || given < needed)
        return STP_BUFFER_TOO_SMALL;
    LPWSTR at = buffer;
    for (const auto &n : names) {
        const size_t chars = plat::wlen(n.data()) + 1;
        std::memcpy(at, n.data(), chars * sizeof(WCHAR));
        at += chars;
    }
    *at = 0;
    if (count != nullptr)
        *count = STP_BUILTIN_COUNT;
    return STP_OK;
}
