/*
 * The public devmode fields this driver supports, by system class: which
 * DM_ bits a default devmode sets and which fields an application's devmode
 * may set.  The ICM fields need both the model (header entry 7) and a system
 * that knows them.
 */
#include "tarvel/settings/fid_defaults.h"

#include "tarvel/base/util_system.h"
#include "tarvel/model_data/mdl_context.h"

namespace {

/* One public field: its DM_ bit, its DDMID and its usage word per system class. */
struct SupportedField {
    DWORD dmBit;
    WORD id;
    WORD usage[4]; /* classes 0x101, 0x102, 0x201, 0x202 */
    WORD zero;
};

constexpr SupportedField kSupportedFields[] = {
    {0x1, 7, {3, 3, 3, 3}, 0},          /* DM_ORIENTATION */
    {0x2, 8, {3, 3, 3, 3}, 0},          /* DM_PAPERSIZE */
    {0x10, 11, {3, 3, 3, 3}, 0},        /* DM_SCALE */
    {0x100, 12, {3, 3, 3, 3}, 0},       /* DM_COPIES */
    {0x200, 13, {3, 3, 3, 3}, 0},       /* DM_DEFAULTSOURCE */
    {0x400, 20, {3, 3, 3, 3}, 0},       /* DM_PRINTQUALITY */
    {0x800, 15, {3, 3, 3, 3}, 0},       /* DM_COLOR */
    {0x1000, 16, {3, 3, 3, 3}, 0},      /* DM_DUPLEX */
    {0x2000, 21, {3, 3, 3, 3}, 0},      /* DM_YRESOLUTION */
    {0x4000, 17, {3, 3, 3, 3}, 0},      /* DM_TTOPTION */
    {0x8000, 18, {3, 3, 3, 3}, 0},      /* DM_COLLATE */
    {0x10000, 19, {0, 0, 3, 3}, 0},     /* DM_FORMNAME */
    {0x800000, 22, {7, 7, 7, 7}, 0},    /* DM_ICMMETHOD */
    {0x1000000, 23, {7, 7, 7, 7}, 0},   /* DM_ICMINTENT */
    {0x2000000, 24, {7, 7, 7, 7}, 0},   /* DM_MEDIATYPE */
    {0x4000000, 25, {7, 7, 7, 7}, 0},   /* DM_DITHERTYPE */
    {0, 0, {0, 0, 0, 0}, 0},
};

/* The column of a system class, or -1 for a class of none of the four. */
int class_column(int osClass)
{
    switch (osClass) {
    case UTL_OS_9X_40: return 0;
    case UTL_OS_9X_LATER: return 1;
    case UTL_OS_NT_4: return 2;
    case UTL_OS_NT_5: return 3;
    default: return -1;
    }
}

} // namespace

BOOL FID_GetSupportedDmFields(ModelContext *context, DWORD *mask, WORD usage)
{
    if (mask == nullptr)
        return FALSE;
    *mask = 0;
    int osClass = 0;
    if (UTL_GetOsVersionClass(&osClass) != 1)
        return FALSE;
    const int column = class_column(osClass);
    if (column < 0)
        return FALSE;

    /* The ICM condition is asked once, when a field needs it. */
    int icm = -1; /* -1 not asked yet, 0 no, 1 yes */
    for (const SupportedField *f = kSupportedFields; f->dmBit != 0; ++f) {
        const WORD word = f->usage[column];
        if ((word & usage) == 0)
            continue;
        if ((word & FID_USAGE_ICM) != 0) {
            if (icm < 0) {
                int fieldValue = 0;
                const int osIcm = UTL_GetOsFieldClass(&fieldValue);
                if (osIcm < 0)
                    return FALSE;
                const int entry7 = context != nullptr ? MDL_GetEntry7(context) : -1;
                icm = (osIcm == 1 && entry7 != 0 && entry7 != -1) ? 1 : 0;
            }
            if (icm == 0)
                continue;
        }
        *mask |= f->dmBit;
    }
    return TRUE;
}
