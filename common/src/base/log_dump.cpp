/*
 * Trace dumps: the public devmode field by field, one private setting, the
 * dmFields bits, and settings dumps of chosen identifier ranges and the
 * extra settings of the switch file.  Settings are read through the
 * data-manager binding; strings are copied out of their fields bounded by
 * the size the data manager reports, so a field without its NUL is never
 * read past.
 */
#include <tarvel/base/log_trace.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include "log_private.h"

namespace {

/* How a public devmode field is read. */
enum class Field { text32, word, shortint, hex32, dword };

struct PublicField {
    LPCWSTR format;
    size_t offset;
    Field kind;
};

/* The DEVMODEW fields in order, with their byte offsets. */
constexpr PublicField kPublicFields[] = {
    {u"dmDeviceName       =%s", 0, Field::text32},    {u"dmSpecVersion      =%d", 64, Field::word},
    {u"dmDriverVersion    =%d", 66, Field::word},     {u"dmSize             =%d", 68, Field::word},
    {u"dmDriverExtra      =%d", 70, Field::word},     {u"dmFields           =%X", 72, Field::hex32},
    {u"dmOrientation      =%d", 76, Field::shortint}, {u"dmPaperSize        =%d", 78, Field::shortint},
    {u"dmPaperLength      =%d", 80, Field::shortint}, {u"dmPaperWidth       =%d", 82, Field::shortint},
    {u"dmScale            =%d", 84, Field::shortint}, {u"dmCopies           =%d", 86, Field::shortint},
    {u"dmDefaultSource    =%d", 88, Field::shortint}, {u"dmPrintQuality     =%d", 90, Field::shortint},
    {u"dmColor            =%d", 92, Field::shortint}, {u"dmDuplex           =%d", 94, Field::shortint},
    {u"dmYResolution      =%d", 96, Field::shortint}, {u"dmTTOption         =%d", 98, Field::shortint},
    {u"dmCollate          =%d", 100, Field::shortint}, {u"dmFormName         =%s", 102, Field::text32},
    {u"dmLogPixels        =%d", 166, Field::word},    {u"dmBitsPerPel       =%d", 168, Field::dword},
    {u"dmPelsWidth        =%d", 172, Field::dword},   {u"dmPelsHeight       =%d", 176, Field::dword},
    {u"dmDisplayFlags     =%d", 180, Field::dword},   {u"dmDisplayFrequency =%d", 184, Field::dword},
    {u"dmICMMethod        =%d", 188, Field::dword},   {u"dmICMIntent        =%d", 192, Field::dword},
    {u"dmMediaType        =%d", 196, Field::dword},   {u"dmDitherType       =%d", 200, Field::dword},
    {u"dmReserved1        =%d", 204, Field::dword},   {u"dmReserved2        =%d", 208, Field::dword},
    {u"dmPanningWidth     =%d", 212, Field::dword},   {u"dmPanningHeight    =%d", 216, Field::dword},
};

/* The dmFields bits in dump order. */
constexpr struct {
    LPCWSTR name;
    DWORD bit;
} kFieldBits[] = {
    {u"dmOrientation", 0x1},         {u"dmPaperSize", 0x2},         {u"dmPaperLength", 0x4},
    {u"dmPaperWidth", 0x8},          {u"dmScale", 0x10},            {u"dmPosition", 0x20},
    {u"dmNup", 0x40},                {u"dmCopies", 0x100},          {u"dmDefaultSource", 0x200},
    {u"dmPrintQuality", 0x400},      {u"dmColor", 0x800},           {u"dmDuplex", 0x1000},
    {u"dmYResolution", 0x2000},      {u"dmTTOption", 0x4000},       {u"dmCollate", 0x8000},
    {u"dmFormName", 0x10000},        {u"dmLogPixels", 0x20000},     {u"dmBitsPerPel", 0x40000},
    {u"dmPelsWidth", 0x80000},       {u"dmPelsheight", 0x100000},   {u"dmDisplayFlags", 0x200000},
    {u"dmDisplayFrequen", 0x400000}, {u"dmICMMetHod", 0x800000},    {u"dmICMintent", 0x1000000},
    {u"dmMediaType", 0x2000000},     {u"dmDitherType", 0x4000000},  {u"dmPanningWidth", 0x8000000},
    {u"dmPanningHeight", 0x10000000},
};

constexpr WCHAR kDashes[] = u"---------------------------------------------------------------------";
static_assert(sizeof kDashes / sizeof kDashes[0] == 70, "69 dashes");

/* Longest string value copied into a dump line (a line stays below 514 characters anyway). */
constexpr size_t kTextChars = LOG_LINE_LIMIT;

/* What begin_dump answers when the dump goes on (1 and 0 are the dump's own answers). */
constexpr int kDumpGoOn = -1;

/*
 * The start every devmode dump shares: 1 (nothing to do) unless tracing and
 * the dump's flag are on; for a null record the `nullText` line and 0;
 * otherwise the title (`defaultTitle` when none is given) and kDumpGoOn.
 */
int begin_dump(DWORD flag, const void *record, LPCWSTR nullText, LPCWSTR title, LPCWSTR defaultTitle)
{
    if ((LOG_GetFlags() & (LOG_FLAG_ON | flag)) != (LOG_FLAG_ON | flag))
        return 1;
    if (record == nullptr) {
        LOG_Printf(u"%s", nullText);
        return 0;
    }
    LOG_Printf(u"%s", title != nullptr ? title : defaultTitle);
    return kDumpGoOn;
}

/* A devmode name field of 32 characters, terminated even when the field is not. */
void copy_name32(const void *devmode, size_t offset, WCHAR (&out)[33])
{
    std::memcpy(out, static_cast<const BYTE *>(devmode) + offset, 32 * sizeof(WCHAR));
    out[32] = 0;
}

/*
 * A string value of a settings read, terminated: its characters up to the
 * NUL, never more than size / 2 (the size covers the NUL, or the whole field
 * when the field holds none).
 */
void copy_value_text(const void *slot, LONG size, WCHAR (&out)[kTextChars])
{
    out[0] = 0;
    LPCWSTR text = FID_SlotString(slot);
    if (text == nullptr || size < 2)
        return;
    size_t n = static_cast<size_t>(size) / 2;
    if (n >= kTextChars)
        n = kTextChars - 1;
    const BYTE *units = reinterpret_cast<const BYTE *>(text); /* fields may sit at odd offsets */
    size_t i = 0;
    for (; i < n; ++i) {
        const WCHAR c = plat::load<WCHAR>(units + i * sizeof(WCHAR));
        if (c == 0)
            break;
        out[i] = c;
    }
    out[i] = 0;
}

bool read_setting(WORD id, void *image, void *printerData, WORD &type, LONG &size, BYTE (&slot)[FID_SLOT_SIZE])
{
    std::memset(slot, 0, sizeof slot);
    return DMB_GetValue(id, image, printerData, &type, &size, slot) == DMA_OK;
}

} // namespace

int LOG_DumpPublicDevmode(LPCWSTR title, const void *devmode)
{
    const int begun = begin_dump(LOG_FLAG_DEVMODE, devmode, u"lpdevmode = NULL", title, u"\r\n<PublicDevmode>");
    if (begun != kDumpGoOn)
        return begun;
    for (const PublicField &field : kPublicFields) {
        const BYTE *at = static_cast<const BYTE *>(devmode) + field.offset;
        WCHAR name[33];
        switch (field.kind) {
        case Field::text32:
            copy_name32(devmode, field.offset, name);
            LOG_Printf(field.format, name);
            break;
        case Field::word:
            LOG_Printf(field.format, static_cast<int>(plat::load<WORD>(at)));
            break;
        case Field::shortint:
            LOG_Printf(field.format, static_cast<int>(plat::load<SHORT>(at)));
            break;
        case Field::hex32:
        case Field::dword:
            LOG_Printf(field.format, plat::load<DWORD>(at));
            break;
        }
    }
    return 1;
}

int LOG_DumpPrivateSetting(LPCWSTR title, void *image, WORD id)
{
    const int begun = begin_dump(LOG_FLAG_DEVMODE, image, u"lpdevmode = NULL", title, u"\r\n<PrivateDevmode>");
    if (begun != kDumpGoOn)
        return begun;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE];
    if (!read_setting(id, image, nullptr, type, size, slot))
        return 1;
    if (type == SVT_WSTRING) {
        WCHAR text[kTextChars];
        copy_value_text(slot, size, text);
        return LOG_Printf(u"FunctionID:%d(0x%X)       = %s", static_cast<int>(id), static_cast<int>(id), text);
    }
    return LOG_Printf(u"FunctionID:%d(0x%X)       = %d", static_cast<int>(id), static_cast<int>(id),
                      FID_ReadValueAsInt(slot, type));
}

int LOG_DumpFields(LPCWSTR title, const void *devmode)
{
    const int begun = begin_dump(LOG_FLAG_FIELDS, devmode, u"lpDevmode = NULL", title, u"\r\n<dmFields>");
    if (begun != kDumpGoOn)
        return begun;
    const DWORD fields = plat::load<DWORD>(static_cast<const BYTE *>(devmode) + 72);
    for (const auto &f : kFieldBits)
        LOG_Printf(u"%s = %s", f.name, (fields & f.bit) != 0 ? u"ON" : u"OFF");
    return 1;
}

int LOG_DumpSetting(WORD id, void *image, void *printerData)
{
    if (id == 0 || (LOG_GetFlags() & LOG_FLAG_ON) == 0)
        return 1;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE];
    if (!read_setting(id, image, printerData, type, size, slot))
        return 1;
    const int n = id;
    const INT value = FID_ReadValueAsInt(slot, type);
    switch (type) {
    case SVT_FLAG:
    case SVT_LOGFONT_MEMBER:
    case SVT_INT16:
        return LOG_Printf(u"[0x%04x] = [%d]", n, value);
    case SVT_UINT16:
        return LOG_Printf(u"[0x%04x] = [0x%02x]", n, value);
    case SVT_INT32:
        return LOG_Printf(u"[0x%04x] = [%ld]", n, value);
    case SVT_UINT32:
        return LOG_Printf(u"[0x%04x] = [0x%04x]", n, value);
    case SVT_WSTRING: {
        WCHAR text[kTextChars];
        copy_value_text(slot, size, text);
        return LOG_Printf(u"[0x%04x] = [%s]", n, text);
    }
    case SVT_BYTE:
        return LOG_Printf(u"[0x%04x] = [0x%x]", n, value);
    default:
        return LOG_Printf(u"???");
    }
}

int LOG_DumpSettings(DWORD category, LPCWSTR title, void *image, void *printerData)
{
    if (image == nullptr && printerData == nullptr)
        return 1;
    const DWORD flags = LOG_GetFlags();
    if ((flags & LOG_FLAG_ON) == 0)
        return 1;
    WORD extras[LOG_MAX_EXTRA_IDS];
    const int extraCount = LOG_GetExtraIds(extras, LOG_MAX_EXTRA_IDS);
    if ((flags & (LOG_FLAG_PUBLIC_IDS | LOG_FLAG_PRIVATE_IDS)) == 0 && extraCount == 0)
        return 1;
    if ((flags & LOG_CATEGORY_MASK) != 0 && (category & flags & LOG_CATEGORY_MASK) == 0)
        return 1;
    if (title != nullptr)
        LOG_Printf(u"%s", title);
    LOG_Printf(u"%s", kDashes);
    if ((flags & LOG_FLAG_PUBLIC_IDS) != 0)
        for (WORD id = 1; id <= 25; ++id)
            LOG_DumpSetting(id, image, printerData);
    if ((flags & LOG_FLAG_PRIVATE_IDS) != 0)
        for (WORD id = 257; id <= 483; ++id)
            LOG_DumpSetting(id, image, printerData);
    for (int i = 0; i < extraCount && i < LOG_MAX_EXTRA_IDS; ++i)
        LOG_DumpSetting(extras[i], image, printerData);
    return LOG_Printf(u"%s", kDashes);
}
