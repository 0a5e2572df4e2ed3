/*
 * The devmode merge: an application's devmode taken over into a settings
 * image that already holds valid settings, the linked settings brought into
 * step afterwards, the enforced configuration values applied last; and the
 * traced variant with the devmode mapping description.
 *
 * The input is only ever read through a bounded copy (merge::SafeDevmode):
 * fields it does not hold read as zero, and its private part is copied only
 * as far as the input reaches.
 */
#include "tarvel/settings/fid_merge.h"

#include "merge_internal.h"

#include "tarvel/base/log_trace.h"
#include "tarvel/model_data/cfg_model.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/dme_mapping.h"
#include "tarvel/settings/fid_defaults.h"

#include <algorithm>
#include <cstring>

using namespace merge;

namespace {

/* The public fields the merge takes one by one, in this order. */
struct PublicField {
    DWORD dmBit;
    WORD id;
};
constexpr PublicField kPublicFields[] = {
    {0x1, 7},       {0x10, 11},       {0x100, 12},       {0x200, 13},       {0x1000, 16},
    {0x4000, 17},   {0x8000, 18},     {0x1000000, 23},   {0x2000000, 24},   {0x4000000, 25},
};

/* The private part: bytes 220 to 1,603 of a driver devmode. */
constexpr DWORD kPrivateStart = 220;
constexpr DWORD kPrivateSize = SETTINGS_DEVMODE_SIZE - kPrivateStart;

/* The enforced configuration values, applied after every merge. */
void apply_enforced(ModelContext *context, void *output, void *printerData)
{
    if (context != nullptr)
        CFG_ApplySpecials(context->specials, output, printerData, CFG_APPLY_ENFORCED);
}

/* The mapping description came from the configuration file and forms merging (5201) is on. */
bool mapping_configured(ModelContext *context, void *printerData)
{
    DWORD formsMerge = 0;
    return context != nullptr && DME_IsConfigured(context->dme) != 0 &&
           read_uint(ID_FORMS_MERGE, nullptr, printerData, formsMerge) && formsMerge != 0;
}

void dump_devmode(const char16_t *publicTitle, const char16_t *fieldsTitle, const char16_t *privateTitle,
                  const char16_t *privateTitle2, void *devmode)
{
    LOG_DumpPublicDevmode(publicTitle, devmode);
    LOG_DumpFields(fieldsTitle, devmode);
    LOG_DumpPrivateSetting(privateTitle, devmode, ID_COLOUR_MODE);
    LOG_DumpPrivateSetting(privateTitle2, devmode, ID_SCALING);
    LOG_DumpPrivateSetting(privateTitle2, devmode, ID_IMAGE_QUALITY);
}

} // namespace

BOOL FID_MergeDevmode(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                      WORD operation)
{
    return FID_MergeDevmodeCore(context, output, input, printerData, printer, operation, FALSE);
}

BOOL FID_MergeDevmodeCore(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                          WORD operation, BOOL mapping)
{
    if (output == nullptr || printerData == nullptr)
        return FALSE;
    if (input == nullptr)
        return TRUE;

    SafeDevmode in;
    safe_copy(input, in);
    if (in.dmSize < FID_MIN_MERGE_DMSIZE) {
        apply_enforced(context, output, printerData);
        return TRUE;
    }

    /* The private part is taken only from this driver's own devmode, and only as far as it reaches. */
    const BOOL own = FID_ValidateHeaderIds(context, in.bytes, printerData);
    if (own && in.available > kPrivateStart) {
        const DWORD bytes = std::min(kPrivateSize, in.available - kPrivateStart);
        std::memcpy(static_cast<BYTE *>(output) + kPrivateStart, in.bytes + kPrivateStart, bytes);
    }

    DWORD inputFields = 0, outputFields = 0;
    if (!read_fields(in.bytes, inputFields) || !read_fields(output, outputFields))
        return FALSE;
    if (mapping) {
        LONG collate = 0;
        if (context == nullptr || !read_int(ID_COLLATE, in.bytes, printerData, collate) ||
            DME_ComputeFields(context->dme, inputFields, collate, &inputFields) != 1)
            return FALSE;
    }

    DWORD supported = 0;
    if (!FID_GetSupportedDmFields(context, &supported, FID_USAGE_ACCEPT))
        return FALSE;
    if (own) {
        DWORD scaleFlag = 0;
        if (!read_uint(ID_SCALE_FLAG, in.bytes, printerData, scaleFlag))
            return FALSE;
        if (scaleFlag == 0)
            supported &= ~FID_DM_SCALE;
    }

    for (const PublicField &f : kPublicFields) {
        if ((f.dmBit & supported & inputFields) == 0 ||
            !FID_ValidatePublicField(context, in.bytes, printerData, f.id, operation))
            continue;
        Value v;
        if (!read(f.id, in.bytes, printerData, v) || !write(f.id, output, printerData, v))
            return FALSE;
        outputFields |= f.dmBit;
    }
    if (!write_fields(output, outputFields))
        return FALSE;

    const BOOL result = FID_SyncLinkedFields(context, output, in.bytes, printerData, printer, supported, inputFields,
                                             operation, mapping);
    apply_enforced(context, output, printerData);
    return result;
}

BOOL FID_MergeDevmodeTraced(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                            WORD operation)
{
    SafeDevmode in;
    void *view = nullptr;
    if (input != nullptr) {
        safe_copy(input, in);
        view = in.bytes;
    }
    dump_devmode(u"\nInput DEVMODE(Public)", u"\nInput DEVMODE(dmFields)", u"\nInput DEVMODE(Private)",
                 u"Input DEVMODE(Private)", view);

    const BOOL mapping = mapping_configured(context, printerData);
    if (mapping && input != nullptr) {
        if (DME_ApplyToDevmode(context->dme, in.bytes) != 1)
            return FALSE;
        safe_write_back(in, input);
    }
    const BOOL result = FID_MergeDevmodeCore(context, output, input, printerData, printer, operation, mapping);

    dump_devmode(u"\nOutput DEVMODE(Public)", u"\nOutput DEVMODE(dmFields)", u"\nOutput DEVMODE(Private)",
                 u"Output DEVMODE(Private)", output);
    return result;
}

BOOL FID_SyncLinkedFields(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                          DWORD supported, DWORD inputFields, WORD operation, BOOL mapping)
{
    const DWORD asked = supported & inputFields;
    if ((asked & FID_DM_PAPER_BITS) != 0 &&
        !FID_MergePaper(context, output, input, printerData, printer, inputFields))
        return FALSE;
    if ((asked & FID_DM_RESOLUTION_BITS) != 0) {
        SHORT merge = 0, mode = 0;
        WORD resolutionOperation = operation;
        if (context != nullptr && DME_GetMerge(context->dme, DME_ITEM_RESOLUTION, &merge) == 1 && merge == 1 &&
            DME_GetMode(context->dme, DME_ITEM_RESOLUTION, &mode) == 1 && mode == 1)
            resolutionOperation = FID_OP_CHECK;
        if (!FID_MergeResolution(context, output, input, printerData, resolutionOperation))
            return FALSE;
    }
    if (!FID_SyncTrueTypeOption(output, printerData, ID_TT_OPTION))
        return FALSE;
    if (mapping && !FID_ApplyMappedColour(context, output, input, printerData))
        return FALSE;
    if (!FID_SyncColorField(output, printerData) || !FID_SyncScaleFlag(output))
        return FALSE;
    if (!FID_SyncPaperSource(output, printerData, FID_DMBIN_FORMSOURCE, ID_DEFAULT_SOURCE, ID_COVER_SOURCE) ||
        !FID_SyncIcmMethod(output, printerData))
        return FALSE;
    if (mapping && (asked & FID_DM_MEDIATYPE) != 0)
        return FID_ApplyMappedMedia(context, output, printerData);
    return TRUE;
}
