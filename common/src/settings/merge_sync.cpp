/*
 * The single synchronisation steps of the devmode merge (resolution,
 * TrueType option, colour, scale and custom-size flags, paper source, ICM
 * method, the 273 mask, the mapping description's colour and media rules)
 * and the setting helpers the merge's sources share.
 */
#include "tarvel/settings/fid_merge.h"

#include "merge_internal.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/dme_mapping.h"
#include "tarvel/settings/fid_defaults.h"
#include "tarvel/settings/fid_value.h"

#include <algorithm>
#include <span>
#include <cstring>

namespace merge {

bool read(WORD id, void *devmode, void *printerData, Value &value)
{
    value = Value{};
    return DMB_GetValue(id, devmode, printerData, &value.type, &value.size, &value.slot) == DMA_OK;
}

bool read_uint(WORD id, void *devmode, void *printerData, DWORD &out)
{
    Value v;
    if (!read(id, devmode, printerData, v))
        return false;
    out = FID_ReadValueAsUInt(&v.slot, v.type);
    return true;
}

bool read_int(WORD id, void *devmode, void *printerData, LONG &out)
{
    Value v;
    if (!read(id, devmode, printerData, v))
        return false;
    out = FID_ReadValueAsInt(&v.slot, v.type);
    return true;
}

bool write(WORD id, void *devmode, void *printerData, const Value &value)
{
    return DMB_SetValue(id, devmode, printerData, value.type, value.size, &value.slot) == DMA_OK;
}

bool write_number(WORD id, void *devmode, void *printerData, DWORD number)
{
    Value v;
    if (!read(id, devmode, printerData, v) || !FID_CopyValue(v.type, &v.slot, &number))
        return false;
    return write(id, devmode, printerData, v);
}

bool write_u16(WORD id, void *devmode, void *printerData, WORD number)
{
    return DMB_SetValue(id, devmode, printerData, SVT_UINT16, sizeof number, &number) == DMA_OK;
}

bool write_i16(WORD id, void *devmode, void *printerData, SHORT number)
{
    return DMB_SetValue(id, devmode, printerData, SVT_INT16, sizeof number, &number) == DMA_OK;
}

bool read_fields(void *devmode, DWORD &fields)
{
    return read_uint(ID_DM_FIELDS, devmode, nullptr, fields);
}

bool write_fields(void *devmode, DWORD fields)
{
    return DMB_SetValue(ID_DM_FIELDS, devmode, nullptr, SVT_UINT32, sizeof fields, &fields) == DMA_OK;
}

/* Offsets of dmSize and dmDriverExtra, and the bytes every devmode holds (through dmDriverExtra and dmFields). */
constexpr size_t kDmSizeOffset = 68;
constexpr size_t kDmDriverExtraOffset = 70;
constexpr DWORD kDevmodeHead = 72;

void safe_copy(const void *devmode, SafeDevmode &copy)
{
    std::memset(copy.bytes, 0, sizeof copy.bytes);
    copy.dmSize = plat::load_u16(devmode, kDmSizeOffset);
    const DWORD extra = plat::load_u16(devmode, kDmDriverExtraOffset);
    copy.available = std::max<DWORD>(copy.dmSize + extra, kDevmodeHead);
    std::memcpy(copy.bytes, devmode, std::min<DWORD>(copy.available, sizeof copy.bytes));
}

void safe_write_back(const SafeDevmode &copy, void *devmode)
{
    std::memcpy(devmode, copy.bytes, std::min<DWORD>(copy.available, sizeof copy.bytes));
}

} // namespace merge

using namespace merge;

BOOL FID_MergeResolution(ModelContext *context, void *output, void *input, void *printerData, WORD operation)
{
    if (operation == FID_OP_CHECK_MODEL) {
        Value v;
        if (!read(ID_RESOLUTION, input, printerData, v))
            return FALSE;
        if (context != nullptr && MDL_HasValue(context, ID_RESOLUTION, &v.slot) &&
            !write(ID_RESOLUTION, output, printerData, v))
            return FALSE;
    } else if (operation == FID_OP_CHECK) {
        LONG quality = 0;
        if (!read_int(ID_PRINT_QUALITY, input, printerData, quality))
            return FALSE;
        if (quality > 0 && (!write_i16(ID_PRINT_QUALITY, output, printerData, static_cast<SHORT>(quality)) ||
                            !write_i16(ID_Y_RESOLUTION, output, printerData, static_cast<SHORT>(quality))))
            return FALSE;
    }
    DWORD fields = 0;
    return read_fields(output, fields) && write_fields(output, fields | FID_DM_RESOLUTION_BITS);
}

BOOL FID_SyncTrueTypeOption(void *devmode, void *printerData, WORD direction)
{
    DWORD substitution = 0;
    if (!read_uint(ID_FONT_SUBSTITUTION, devmode, printerData, substitution))
        return FALSE;
    if (direction == ID_TT_OPTION) {
        LONG option = 0;
        if (!read_int(ID_TT_OPTION, devmode, printerData, option))
            return FALSE;
        const WORD value = option == 1 ? 1 : (substitution != 0 ? 2 : 0);
        return write_u16(ID_FONT_SUBSTITUTION, devmode, printerData, value);
    }
    return write_i16(ID_TT_OPTION, devmode, printerData, substitution == 1 ? 1 : 3);
}

BOOL FID_SyncColorField(void *devmode, void *printerData)
{
    DWORD forceMono = 0, colourMode = 0;
    if (!read_uint(ID_FORCE_MONO, devmode, printerData, forceMono) ||
        !read_uint(ID_COLOUR_MODE, devmode, printerData, colourMode))
        return FALSE;
    if (forceMono == 1 && colourMode != 1) {
        if (!write_u16(ID_COLOUR_MODE, devmode, printerData, 1))
            return FALSE;
    }
    Value v270, v345;
    if (!read(ID_COLOUR_MODE, devmode, printerData, v270) || !read(ID_ECONOMY, devmode, printerData, v345))
        return FALSE;
    SHORT color = 0;
    DWORD fields = 0;
    return FID_DeriveColor(v345.type, v270.type, &v345.slot, &v270.slot, &color) &&
           write_i16(ID_COLOR, devmode, printerData, color) && read_fields(devmode, fields) &&
           write_fields(devmode, fields | FID_DM_COLOR);
}

namespace {

/* Sets or clears `bits` of dmFields as flag `flagId` is 1 or not. */
BOOL fields_follow_flag(void *devmode, WORD flagId, DWORD bits)
{
    DWORD flag = 0, fields = 0;
    if (!read_uint(flagId, devmode, nullptr, flag) || !read_fields(devmode, fields))
        return FALSE;
    return write_fields(devmode, flag == 1 ? (fields | bits) : (fields & ~bits));
}

} // namespace

BOOL FID_SyncScaleFlag(void *devmode)
{
    return fields_follow_flag(devmode, ID_SCALE_FLAG, FID_DM_SCALE);
}

BOOL FID_SyncCustomSizeFlags(void *devmode)
{
    return fields_follow_flag(devmode, ID_CUSTOM_SIZE_FLAG, FID_DM_SIZE_BITS);
}

BOOL FID_SyncPaperSource(void *devmode, void *printerData, SHORT value, WORD source, WORD target)
{
    DWORD trayMode = 0;
    LONG current = 0;
    if (!read_uint(ID_TRAY_MODE, devmode, printerData, trayMode))
        return FALSE;
    if (trayMode == 0 || trayMode == 2)
        return TRUE;
    if (!read_int(source, devmode, printerData, current))
        return FALSE;
    if (current == value)
        return TRUE;
    return write_number(target, devmode, printerData, static_cast<DWORD>(current));
}

BOOL FID_SyncDefaultSourceFromTray(void *devmode, void *printerData)
{
    return FID_SyncPaperSource(devmode, printerData, 258, ID_COVER_SOURCE, ID_DEFAULT_SOURCE);
}

BOOL FID_SyncIcmMethod(void *devmode, void *printerData)
{
    DWORD gloss = 0, fields = 0;
    if (!read_uint(ID_GLOSS, devmode, printerData, gloss))
        return FALSE;
    const DWORD method = gloss == 3 ? 2 : 1; /* DMICMMETHOD_SYSTEM or DMICMMETHOD_NONE */
    return DMB_SetValue(ID_ICM_METHOD, devmode, printerData, SVT_UINT32, sizeof method, &method) == DMA_OK &&
           read_fields(devmode, fields) && write_fields(devmode, fields | FID_DM_ICMMETHOD);
}

BOOL FID_SyncId273Mask(void *devmode, void *printerData)
{
    struct Group {
        WORD ids[3];
        DWORD bit;
    };
    static constexpr Group kSplit[] = {{{275, 279, 283}, 1}, {{276, 280, 284}, 2}, {{277, 281, 285}, 4}};
    static constexpr Group kWhole[] = {{{274, 278, 282}, 7}};
    DWORD split = 0;
    if (!read_uint(1314, devmode, printerData, split))
        return FALSE;
    DWORD mask = 0;
    for (const Group &g : split == 1 ? std::span<const Group>(kSplit) : std::span<const Group>(kWhole)) {
        for (WORD id : g.ids) {
            DWORD v = 0;
            if (!read_uint(id, devmode, printerData, v))
                return FALSE;
            if (v != 0) {
                mask |= g.bit;
                break;
            }
        }
    }
    return DMB_SetValue(273, devmode, printerData, SVT_UINT32, sizeof mask, &mask) == DMA_OK;
}

BOOL FID_ApplyMappedColour(ModelContext *context, void *output, void *input, void *printerData)
{
    SHORT mode = 0;
    if (context == nullptr || DME_GetMode(context->dme, DME_ITEM_COLOR, &mode) != 1)
        return FALSE;
    if (mode == 0)
        return TRUE;
    LONG color = 0;
    if (!read_int(ID_COLOR, input, printerData, color))
        return FALSE;
    const WORD colourMode = color != 2 ? 1 : (mode == 2 ? 0 : 2);
    return write_u16(ID_COLOUR_MODE, output, printerData, colourMode);
}

BOOL FID_ApplyMappedMedia(ModelContext *context, void *output, void *printerData)
{
    SHORT merge = 0;
    if (context == nullptr || DME_GetMerge(context->dme, DME_ITEM_MEDIA, &merge) != 1)
        return FALSE;
    if (merge == 0)
        return TRUE;
    DWORD media = 0;
    if (!read_uint(ID_MEDIA_TYPE, output, printerData, media))
        return FALSE;
    return write_u16(ID_SCALING, output, printerData, static_cast<WORD>(media)) &&
           write_u16(ID_IMAGE_QUALITY, output, printerData, static_cast<WORD>(media));
}
