/*
 * The application-escape extension record of a new device context and the
 * protocol classes it reports (see job_ext.h and job_settings.h).
 */
#include "job_ext.h"
#include "job_settings.h"
#include "pdev_context.h"

#include <tarvel/model_data/model_file.h>
#include <tarvel/settings/dmb_binding.h>

#include <cstring>

/* Colour-support byte of model header entry 5 that marks a colour device, and the one that is refused. */
static constexpr DWORD kColourDevice = 2;
static constexpr DWORD kColourUnknown = 0xFF;

DWORD JOB_GetProtocolClass(PdevContext *pdev, void *settings, void *printerData)
{
    if (!pdev || !settings || !printerData)
        return JOB_PROTOCOL_2_0;
    LONGLONG value = DMB_GetEffectiveValue(settings, printerData, ID_PROTOCOL_CLASS, SVT_UINT32);
    if (value < 0)
        return JOB_PROTOCOL_2_0;
    DWORD v = DWORD(value);
    if (v > JOB_PROTOCOL_2_1)
        return JOB_PROTOCOL_2_1;
    if (v < JOB_PROTOCOL_2_0)
        return JOB_PROTOCOL_2_0;
    return v;
}

DWORD JOB_ExtProtocolClass(DWORD protocolClass, void *settings, void *printerData)
{
    if (protocolClass < JOB_PROTOCOL_2_0 || protocolClass > JOB_PROTOCOL_2_1 || !settings)
        return JOB_PROTOCOL_2_0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(ID_S1332, settings, printerData, &type, &size, slot) != DMA_OK)
        return JOB_PROTOCOL_2_0;
    DWORD v = 0;
    std::memcpy(&v, slot, size > 0 && size < 4 ? size : 4);
    return v != 0 ? protocolClass : JOB_PROTOCOL_2_0;
}

int JOB_InitExtState(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    ExtEscapeRecord &ext = pdev->ext;
    std::memset(&ext, 0, sizeof ext);
    for (WORD &o : ext.overrides)
        o = EXT_NONE;
    ext.colourMode = EXT_NONE;

    ext.protocolClass =
        JOB_ExtProtocolClass(JOB_GetProtocolClass(pdev, pdev->settings, pdev->printerData), pdev->settings,
                             pdev->printerData);
    DWORD duplex = 0;
    ext.duplexAllowed = (PDEV_GetSetting32(pdev, ID_DUPLEX_UNIT, &duplex) == 0 && duplex) ? 1 : 0;
    /* Without the model's colour byte the record stays unusable: no protocol class, so the extension stays off. */
    BYTE colour = 0;
    if (!pdev->mainReader || DDD_ReadHeaderEntry(pdev->mainReader, 5, 1, 0, &colour) != 0 ||
        colour == kColourUnknown) {
        ext.protocolClass = 0;
        return -1;
    }
    ext.colourDevice = colour == kColourDevice ? 1 : 0;
    return 0;
}
