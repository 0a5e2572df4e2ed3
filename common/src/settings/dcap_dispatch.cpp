/*
 * Device capabilities: the DeviceCapsTable and the handlers that answer
 * from a setting, the model header or a fixed value.  Papers, extents and
 * trays are in dcap_papers.cpp and dcap_bins.cpp.
 */
#include "dcap_internal.h"

#include "tarvel/base/util_system.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/model_data/model_file.h"
#include "tarvel/settings/fid_defaults.h"
#include "tarvel/settings/fid_value.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

struct DeviceCapsRow {
    ULONGLONG index;
    DcapHandler handler;
};

/* The rows; the first whose index matches answers.  A row with a null handler ends the table. */
constexpr DeviceCapsRow DeviceCapsTable[] = {
    {DC_FIELDS, DCAP_Fields},
    {DC_PAPERS, DCAP_Papers},
    {DC_PAPERSIZE, DCAP_Papers},
    {DC_MINEXTENT, DCAP_Extent},
    {DC_MAXEXTENT, DCAP_Extent},
    {DC_BINS, DCAP_Bins},
    {DC_DUPLEX, DCAP_Duplex},
    {DC_SIZE, DCAP_Size},
    {DC_EXTRA, DCAP_Extra},
    {DC_VERSION, DCAP_Version},
    {DC_DRIVER, DCAP_Driver},
    {DC_BINNAMES, DCAP_Bins},
    {DC_ENUMRESOLUTIONS, DCAP_Resolutions},
    {DC_FILEDEPENDENCIES, DCAP_FileDependencies},
    {DC_TRUETYPE, DCAP_TrueType},
    {DC_PAPERNAMES, DCAP_Papers},
    {DC_ORIENTATION, DCAP_Orientation},
    {DC_COPIES, DCAP_Copies},
    {DC_COLLATE, DCAP_Collate},
    {DC_PRINTRATE, DCAP_PrintRate},
    {DC_PRINTRATEUNIT, DCAP_PrintRate},
    {DC_MEDIAREADY, DCAP_MediaReady},
    {DC_STAPLE, DCAP_Staple},
    {DC_PRINTRATEPPM, DCAP_PrintRate},
    {DC_COLORDEVICE, DCAP_ColorDevice},
    {0, nullptr},
};
static_assert(std::size(DeviceCapsTable) == 26, "25 rows and the end row");

constexpr WORD kIdFields = 6;
constexpr WORD kIdSize = 4;
constexpr WORD kIdDriverExtra = 5;
constexpr WORD kIdSpecVersion = 2;
constexpr WORD kIdPrivateVersion = 258;
constexpr WORD kIdPaperSize = 8;
constexpr WORD kIdResolution = 14;
constexpr WORD kIdDuplexUnit = 4103;
constexpr WORD kIdFinisher = 4101;
constexpr WORD kIdStapler = 5134;

constexpr LONG kFieldsWithoutModel = 0x1FF13;
constexpr LONG kDriverDevmodeSize = 1604;
constexpr LONG kSpecVersionFallback = 0x500;
constexpr LONG kMaxCopiesFallback = 999;

/* The setting when a devmode is given, else the fallback. */
LONG devmode_or(WORD sources, WORD id, void *devmode, void *printerData, LONG fallback)
{
    if (!dcap_has(sources, DCAP_SRC_DEVMODE))
        return fallback;
    LONG value = 0;
    return dcap_read(id, devmode, printerData, &value) ? value : -1;
}

} // namespace

bool dcap_OptionCount(ModelContext *context, WORD id, WORD *count)
{
    ModelRecord *record = nullptr;
    WORD kind = 0, reason = 0;
    if (!MDL_GetFeatureInfo(context, id, &record, &kind, count, nullptr, &reason))
        return false;
    MDL_FreeRecord(record);
    return true;
}

LONG DCAP_Dispatch(HANDLE printer, WORD index, void *output, WORD sources, void *devmode, void *printerData,
                   ModelContext *context)
{
    for (const DeviceCapsRow &row : DeviceCapsTable) {
        if (row.handler == nullptr)
            break;
        if (row.index == index)
            return row.handler(printer, index, output, sources, devmode, printerData, context);
    }
    return -1;
}

DCAP_HANDLER(DCAP_Fields)
{
    (void)printer, (void)index, (void)output;
    if (dcap_has(sources, DCAP_SRC_DEVMODE))
        return devmode_or(sources, kIdFields, devmode, printerData, -1);
    if (!dcap_has(sources, DCAP_SRC_MODEL))
        return kFieldsWithoutModel;
    DWORD mask = 0;
    return FID_GetSupportedDmFields(context, &mask, FID_USAGE_ACCEPT) ? LONG(mask) : -1;
}

DCAP_HANDLER(DCAP_Duplex)
{
    (void)printer, (void)index, (void)output, (void)context;
    LONG value = 0;
    if (!dcap_has(sources, DCAP_SRC_DEVMODE | DCAP_SRC_PRINTERDATA) ||
        !dcap_read(kIdDuplexUnit, devmode, printerData, &value))
        return -1;
    return value != 0 ? 1 : 0;
}

DCAP_HANDLER(DCAP_Size)
{
    (void)printer, (void)index, (void)output, (void)context;
    return devmode_or(sources, kIdSize, devmode, printerData, FID_DM_SIZE);
}

DCAP_HANDLER(DCAP_Extra)
{
    (void)printer, (void)index, (void)output, (void)context;
    return devmode_or(sources, kIdDriverExtra, devmode, printerData, kDriverDevmodeSize - FID_DM_SIZE);
}

DCAP_HANDLER(DCAP_Version)
{
    (void)printer, (void)index, (void)output, (void)context;
    return devmode_or(sources, kIdSpecVersion, devmode, printerData, kSpecVersionFallback);
}

DCAP_HANDLER(DCAP_Driver)
{
    (void)printer, (void)index, (void)output, (void)context;
    return devmode_or(sources, kIdPrivateVersion, devmode, printerData, FID_PRIVATE_VERSION);
}

/* Each resolution option as the pair (X, Y): X from the high 16 bits of the value, Y from the low. */
DCAP_HANDLER(DCAP_Resolutions)
{
    (void)printer, (void)index, (void)devmode, (void)printerData;
    WORD count = 0;
    if (!dcap_has(sources, DCAP_SRC_MODEL) || !dcap_OptionCount(context, kIdResolution, &count) || count == 0)
        return -1;
    for (WORD n = 1; output != nullptr && n <= count; ++n) {
        DddOptionDetails *details = nullptr;
        WORD reason = 0;
        const void *value = nullptr;
        WORD type = 0;
        if (!MDL_GetOption(context, kIdResolution, n, &details, &reason))
            return -1;
        const bool ok = MDL_GetOptionFields(details, &value, nullptr, &type, nullptr) && value != nullptr;
        const DWORD packed = ok ? FID_ReadValueAsUInt(value, type) : 0;
        MDL_FreeOption(details);
        if (!ok)
            return -1;
        const LONG pair[2] = {LONG(packed >> 16), LONG(packed & 0xFFFF)};
        std::memcpy(static_cast<BYTE *>(output) + (n - 1) * sizeof pair, pair, sizeof pair);
    }
    return count;
}

DCAP_HANDLER(DCAP_FileDependencies)
{
    (void)printer, (void)index, (void)sources, (void)devmode, (void)printerData, (void)context;
    if (output != nullptr)
        std::memset(output, 0, sizeof(WCHAR));
    return 0;
}

DCAP_HANDLER(DCAP_TrueType)
{
    (void)printer, (void)index, (void)output, (void)sources, (void)devmode, (void)printerData, (void)context;
    return DCTT_DOWNLOAD | DCTT_SUBDEV;
}

DCAP_HANDLER(DCAP_Orientation)
{
    (void)printer, (void)index, (void)output, (void)sources, (void)devmode, (void)printerData, (void)context;
    return 90;
}

DCAP_HANDLER(DCAP_Copies)
{
    (void)printer, (void)index, (void)output, (void)devmode, (void)printerData;
    return dcap_has(sources, DCAP_SRC_MODEL) ? LONG(MDL_GetMaxCopies(context)) : kMaxCopiesFallback;
}

DCAP_HANDLER(DCAP_Collate)
{
    (void)printer, (void)index, (void)output, (void)sources, (void)devmode, (void)printerData, (void)context;
    return UTL_IsXpOrLater() ? 1 : -1;
}

DCAP_HANDLER(DCAP_PrintRate)
{
    (void)printer, (void)output, (void)devmode, (void)printerData;
    if (index == DC_PRINTRATEUNIT)
        return PRINTRATEUNIT_PPM;
    WORD rate = 0;
    if (!dcap_has(sources, DCAP_SRC_MODEL) || context == nullptr ||
        DDD_ReadHeaderEntry(context->main, 16, 2, 0, &rate) != DDD_OK)
        return -1;
    return rate;
}

/* The names of all paper-size options, 64 characters each. */
DCAP_HANDLER(DCAP_MediaReady)
{
    (void)printer, (void)index, (void)devmode, (void)printerData;
    WORD count = 0;
    if (!dcap_has(sources, DCAP_SRC_MODEL) || !dcap_OptionCount(context, kIdPaperSize, &count))
        return -1;
    for (WORD n = 1; output != nullptr && n <= count; ++n) {
        DddOptionDetails *details = nullptr;
        WORD reason = 0;
        LPCWSTR name = nullptr;
        if (!MDL_GetOption(context, kIdPaperSize, n, &details, &reason))
            return -1;
        auto *slot = static_cast<WCHAR *>(output) + size_t(n - 1) * DCAP_PAPER_NAME_CHARS;
        std::memset(slot, 0, DCAP_PAPER_NAME_CHARS * sizeof(WCHAR));
        if (MDL_GetOptionFields(details, nullptr, &name, nullptr, nullptr) && name != nullptr)
            lstrcpynW(slot, name, DCAP_PAPER_NAME_CHARS);
        MDL_FreeOption(details);
    }
    return count;
}

DCAP_HANDLER(DCAP_Staple)
{
    (void)printer, (void)index, (void)output, (void)context;
    LONG finisher = 0, stapler = 0;
    if (!dcap_has(sources, DCAP_SRC_MODEL | DCAP_SRC_PRINTERDATA))
        return -1;
    if (!dcap_read(kIdFinisher, devmode, printerData, &finisher) || !dcap_read(kIdStapler, devmode, printerData, &stapler))
        return -1;
    return finisher == 1 && stapler == 1 ? 1 : 0;
}

DCAP_HANDLER(DCAP_ColorDevice)
{
    (void)printer, (void)index, (void)output, (void)devmode, (void)printerData;
    BYTE colour = 0;
    if (!dcap_has(sources, DCAP_SRC_MODEL) || context == nullptr ||
        DDD_ReadHeaderEntry(context->main, 5, 1, 0, &colour) != DDD_OK)
        return -1;
    switch (colour) {
    case 1: return 0;
    case 2:
    case 18: return 1;
    default: return -1;
    }
}
