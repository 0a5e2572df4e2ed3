/*
 * The device-capability handlers (private to the common library): each
 * answers one or more DC_ indexes for DCAP_Dispatch.
 */
#ifndef TARVEL_DCAP_INTERNAL_H
#define TARVEL_DCAP_INTERNAL_H

#include "opt_internal.h"
#include "tarvel/settings/dcap_caps.h"

#define DCAP_HANDLER(name)                                                                                       \
    LONG name(HANDLE printer, WORD index, void *output, WORD sources, void *devmode, void *printerData,        \
              ModelContext *context)

DCAP_HANDLER(DCAP_Fields);
DCAP_HANDLER(DCAP_Papers);
DCAP_HANDLER(DCAP_Extent);
DCAP_HANDLER(DCAP_Bins);
DCAP_HANDLER(DCAP_Duplex);
DCAP_HANDLER(DCAP_Size);
DCAP_HANDLER(DCAP_Extra);
DCAP_HANDLER(DCAP_Version);
DCAP_HANDLER(DCAP_Driver);
DCAP_HANDLER(DCAP_Resolutions);
DCAP_HANDLER(DCAP_FileDependencies);
DCAP_HANDLER(DCAP_TrueType);
DCAP_HANDLER(DCAP_Orientation);
DCAP_HANDLER(DCAP_Copies);
DCAP_HANDLER(DCAP_Collate);
DCAP_HANDLER(DCAP_PrintRate);
DCAP_HANDLER(DCAP_MediaReady);
DCAP_HANDLER(DCAP_Staple);
DCAP_HANDLER(DCAP_ColorDevice);

/* True when every bit of `needed` is in `sources`. */
inline bool dcap_has(WORD sources, WORD needed)
{
    return (sources & needed) == needed;
}

/* A setting read through the binding as a number; false when it cannot be read. */
inline bool dcap_read(WORD id, void *devmode, void *printerData, LONG *value)
{
    return opt_ReadNumber(id, devmode, printerData, value);
}

/* The option count of setting `id`'s feature in the model; false when it cannot be read. */
bool dcap_OptionCount(ModelContext *context, WORD id, WORD *count);

#endif /* TARVEL_DCAP_INTERNAL_H */
