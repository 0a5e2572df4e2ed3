/*
 * How the job-header writer reads the job's settings: raw values through
 * the data-manager binding in the width a rule asks for, aligned copies of
 * string settings (a string field may sit at an odd offset in its record),
 * effective values, and the few composite tests several writers share: the
 * fax device, the booklet exclusion and the gates of the generated inserts.
 */
#include "pjl_private.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/memory.h>

#include <cstring>

namespace {

/* Settings the shared tests read. */
constexpr WORD kJobType = MDL_ID_JOB_TYPE; /* 334 */
constexpr WORD kHardDisk = 4125;
constexpr WORD kOwnerSwitch = 5203;
constexpr WORD kHostOff = 1333;
constexpr DWORD kCapBookletExclusion = MDL_CAP_BIT(42);

LONG readStatus(WORD status)
{
    if (status == DMA_OK)
        return 0;
    return status == DMA_ERR_RANGE ? PJL_ERR_RANGE : PJL_ERR_READ;
}

} // namespace

void pjl_InitContext(JobHeaderContext *ctx, JobHeaderParams *params, ModelFileReader *main,
                     ModelFileReader *companion)
{
    *ctx = JobHeaderContext{};
    ctx->params = params;
    ctx->main = main;
    ctx->companion = companion;
    MDL_GetCapabilityBits(main, &ctx->caps);
    ctx->flags26 = ctx->caps.words[0];
    ctx->deviceClass = MDL_GetDeviceClass(main);
}

LONG pjl_ReadRaw(const JobHeaderParams *params, WORD id, PjlSettingValue *value)
{
    if (!params || !value)
        return PJL_ERR_NULL_ARGUMENT;
    *value = PjlSettingValue{};
    return readStatus(DMB_GetValue(id, params->settings, params->printerData, &value->type, &value->size,
                                   value->slot));
}

LONG PJL_ReadSetting(const JobHeaderParams *params, WORD id, WORD type, DWORD *value)
{
    PjlSettingValue raw{};
    LONG r = pjl_ReadRaw(params, id, &raw);
    if (r < 0)
        return r;
    DWORD v = plat::load<DWORD>(raw.slot);
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        break;
    case SVT_INT16:
    case SVT_UINT16:
        v &= 0xFFFF;
        break;
    case SVT_BYTE:
        v &= 0xFF;
        break;
    default:
        return PJL_ERR_READ;
    }
    *value = v;
    return 0;
}

LONG pjl_ReadText(const JobHeaderParams *params, WORD id, LPWSTR *text)
{
    if (!text)
        return PJL_ERR_NULL_ARGUMENT;
    *text = nullptr;
    PjlSettingValue raw{};
    LONG r = pjl_ReadRaw(params, id, &raw);
    if (r < 0)
        return r;
    return pjl_CopySettingText(&raw, text);
}

LONG pjl_CopySettingText(const PjlSettingValue *value, LPWSTR *text)
{
    *text = nullptr;
    if (value->type != SVT_WSTRING)
        return PJL_ERR_VALUE_TYPE;
    const BYTE *field = plat::load<const BYTE *>(value->slot);
    /* The size counts the terminator and never passes the field; the copy gets its own terminator. */
    DWORD bytes = value->size > 0 ? DWORD(value->size) : 0;
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes + sizeof(WCHAR)));
    if (!copy)
        return PJL_ERR_NO_MEMORY;
    if (field && bytes)
        std::memcpy(copy, field, bytes - bytes % sizeof(WCHAR));
    *text = copy;
    return 0;
}

DWORD PjlReader::operator()(WORD id, WORD type)
{
    DWORD v = 0;
    if (status >= 0) {
        LONG r = PJL_ReadSetting(params, id, type, &v);
        if (r < 0)
            status = r;
    }
    return v;
}

LONG PJL_SettingDiffers(const JobHeaderParams *params, WORD id, WORD type, DWORD value)
{
    DWORD v = 0;
    LONG r = PJL_ReadSetting(params, id, type, &v);
    return r < 0 ? r : (v != value ? 1 : 0);
}

DWORD pjl_Effective(const JobHeaderParams *params, WORD id)
{
    return DWORD(DMB_GetEffectiveValue(params->settings, params->printerData, id, 0));
}

LONG pjl_IsFaxDevice(const JobHeaderContext *ctx)
{
    if (ctx->deviceClass == MDL_CLASS_FAX)
        return 1;
    if (ctx->deviceClass != MDL_CLASS_PRINTER_FAX)
        return 0;
    LONG differs = PJL_SettingDiffers(ctx->params, kJobType, SVT_UINT16, MDL_JOB_TYPE_FAX);
    return differs < 0 ? differs : !differs;
}

LONG pjl_BookletExcluded(const JobHeaderContext *ctx)
{
    if (!MDL_TestCapabilityBit(&ctx->caps, kCapBookletExclusion))
        return 0;
    DWORD jobType = 0;
    LONG r = PJL_ReadSetting(ctx->params, kJobType, SVT_UINT16, &jobType);
    return r < 0 ? r : ((jobType & 0xFF) == 3);
}

LONG pjl_OwnerGate(const JobHeaderParams *params)
{
    LONG differs = PJL_SettingDiffers(params, kOwnerSwitch, SVT_FLAG, 1);
    return differs < 0 ? differs : !differs;
}

LONG pjl_HostGate(const JobHeaderParams *params)
{
    LONG owner = pjl_OwnerGate(params);
    if (owner != 0)
        return owner;
    return PJL_SettingDiffers(params, kHostOff, SVT_FLAG, 1);
}

LONG pjl_FaxGate(const JobHeaderParams *params)
{
    PjlReader read{params};
    const bool open = read(kJobType, SVT_UINT16) == MDL_JOB_TYPE_FAX && read(kHardDisk, SVT_FLAG) != 0;
    return read.status < 0 ? read.status : open;
}
