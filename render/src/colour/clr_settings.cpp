/*
 * Effective setting values for the colour object, read through the
 * data-manager binding from the job's settings image.
 */
#include "clr_settings.h"

#include "pdev_context.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <cstring>

namespace {

bool read_raw(void *settings, WORD id, WORD *type, LONG *size, BYTE (&slot)[8])
{
    return settings && DMB_GetValueChecked(id, settings, nullptr, type, size, slot) == 0;
}

} // namespace

int CLR_ReadSetting(void *settings, WORD id, LONG *value)
{
    if (!value)
        return -1;
    *value = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (!read_raw(settings, id, &type, &size, slot))
        return -1;
    switch (type) {
    case SVT_INT16: {
        SHORT v;
        std::memcpy(&v, slot, sizeof v);
        *value = v;
        return 0;
    }
    case SVT_UINT16: {
        WORD v;
        std::memcpy(&v, slot, sizeof v);
        *value = v;
        return 0;
    }
    case SVT_BYTE:
        *value = slot[0];
        return 0;
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        std::memcpy(value, slot, sizeof *value);
        return 0;
    default:
        return -1;
    }
}

int CLR_ReadSettingText(void *settings, WORD id, LPWSTR buffer, size_t chars)
{
    if (!buffer || chars == 0)
        return -1;
    buffer[0] = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (!read_raw(settings, id, &type, &size, slot) || type != SVT_WSTRING)
        return -1;
    const BYTE *text = nullptr;
    std::memcpy(&text, slot, sizeof text);
    PDEV_CopyWideField(text, size, buffer, chars); /* switched off (no text): empty */
    return 0;
}
