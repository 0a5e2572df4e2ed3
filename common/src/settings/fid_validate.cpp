/*
 * Value checks of the settings engine: a setting's current value against
 * its descriptor or the model, the checks a public field passes before a
 * merge takes it, the header check that recognises this driver's own
 * devmode, and the derived dmColor.  The conflict check of the defaults is
 * in opt_conflicts.cpp.
 */
#include "tarvel/settings/fid_defaults.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_value.h"


namespace {

/* Smallest dmSize that holds the ICM, media and dither fields. */
constexpr DWORD kDmSizeWithIcm = 212;

/* The public fields a merge validates, in this order. */
constexpr WORD kValidatedPublicFields[] = {12, 13, 16, 7, 17, 22, 15, 11, 18, 23};

/* The header settings that recognise this driver's own devmode for this model. */
constexpr WORD kHeaderIds[] = {2, 4, 5, 258, 259};

} // namespace

BOOL FID_ValidateValue(ModelContext *context, WORD id, void *devmode, void *printerData, WORD operation)
{
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(id, devmode, printerData, &type, &size, &slot) != DMA_OK)
        return FALSE;
    const SettingDescriptorRow *row = FID_FindDescriptor(id);
    if (row == nullptr)
        return FALSE;
    const SettingDescriptor *d = row->descriptor;
    if (d == nullptr || (operation == FID_OP_CHECK_MODEL && (d->flags & FID_DESC_CHECK_MODEL) == 0))
        return context != nullptr && MDL_HasValue(context, id, &slot) ? TRUE : FALSE;
    if (d->handler == nullptr)
        return FALSE;
    FidCheckArgs args{&slot, devmode, printerData};
    return d->handler(context, operation, id, &args) ? TRUE : FALSE;
}

BOOL FID_ValidatePublicField(ModelContext *context, void *devmode, void *printerData, WORD id, WORD operation)
{
    if (id >= 22 && id <= 25) {
        WORD type = 0;
        LONG size = 0;
        ULONGLONG slot = 0;
        if (DMB_GetValue(4, devmode, printerData, &type, &size, &slot) != DMA_OK ||
            FID_ReadValueAsUInt(&slot, type) < kDmSizeWithIcm)
            return FALSE;
    }
    for (WORD validated : kValidatedPublicFields) {
        if (validated == id)
            return FID_ValidateValue(context, id, devmode, printerData, operation);
    }
    return TRUE;
}

BOOL FID_ValidateHeaderIds(ModelContext *context, void *devmode, void *printerData)
{
    if (devmode == nullptr)
        return FALSE;
    for (WORD id : kHeaderIds) {
        if (!FID_ValidateValue(context, id, devmode, printerData, FID_OP_CHECK_MODEL))
            return FALSE;
    }
    return TRUE;
}

BOOL FID_DeriveColor(WORD type345, WORD type270, const void *value345, const void *value270, SHORT *out)
{
    if (value345 == nullptr || value270 == nullptr || out == nullptr)
        return FALSE;
    const bool mono = FID_ReadValueAsUInt(value270, type270) == 1 && FID_ReadValueAsUInt(value345, type345) == 1;
    *out = mono ? 1 : 2;
    return TRUE;
}
