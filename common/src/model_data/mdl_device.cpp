/*
 * The model's device class (printer, fax, printer and fax) and its
 * capability words, read from the main file's header entries 23, 26 and 39.
 */
#include "mdl_internal.h"
#include "mdl_hooks.h"

namespace {

constexpr WORD kEntryDeviceClass = 23;
constexpr WORD kEntryCapabilities = 26;
constexpr WORD kEntryMoreCapabilities = 39;
constexpr DWORD kCodeBitBase = 0xFFFF0000u;
constexpr DWORD kCodeBits = 96;

} // namespace

WORD MDL_GetDeviceClass(ModelFileReader *main)
{
    BYTE stored = 0;
    if (!ddd_IsLoaded(main) || DDD_ReadHeaderEntry(main, kEntryDeviceClass, 1, 0, &stored) != DDD_OK)
        return MDL_CLASS_NONE;
    return stored <= 3 ? static_cast<WORD>(stored + 1) : MDL_CLASS_NONE;
}

BOOL MDL_IsDeviceClass3Or4(ModelFileReader *main)
{
    WORD c = MDL_GetDeviceClass(main);
    return c == MDL_CLASS_3 || c == MDL_CLASS_PRINTER_FAX;
}

BOOL MDL_IsFaxJob(ModelFileReader *main, void *devmode)
{
    switch (MDL_GetDeviceClass(main)) {
    case MDL_CLASS_FAX:
        return TRUE;
    case MDL_CLASS_PRINTER_FAX: {
        WORD jobType = 0;
        return devmode && mdl_ReadDevmodeWord(devmode, MDL_ID_JOB_TYPE, &jobType) && jobType == MDL_JOB_TYPE_FAX;
    }
    default:
        return FALSE;
    }
}

BOOL MDL_GetCapabilityBits(ModelFileReader *main, ModelCapabilityBits *bits)
{
    if (!bits)
        return FALSE;
    *bits = ModelCapabilityBits{};
    if (!ddd_IsLoaded(main))
        return FALSE;
    bits->words[0] = DDD_GetHeaderEntryValue(main, kEntryCapabilities, 4, 0);
    if (main->formatVersion >= DDD_GATE_0x1600) {
        /* Items past the entry's count are not read and stay 0. */
        for (WORD item = 0; item < 2; ++item) {
            DWORD word = 0;
            if (DDD_ReadHeaderEntry(main, kEntryMoreCapabilities, 4, item, &word) != DDD_OK)
                break;
            bits->words[1 + item] = word;
        }
    }
    return TRUE;
}

BOOL MDL_TestCapabilityBit(const ModelCapabilityBits *bits, DWORD code)
{
    if (!bits)
        return FALSE;
    if (code < kCodeBitBase)
        return (bits->words[0] & code) != 0;
    DWORD n = code - kCodeBitBase;
    if (n >= kCodeBits)
        return FALSE;
    return (bits->words[n / 32] >> (n % 32)) & 1u;
}

BOOL MDL_HasCapability(ModelFileReader *main, DWORD code)
{
    ModelCapabilityBits bits{};
    MDL_GetCapabilityBits(main, &bits);
    return MDL_TestCapabilityBit(&bits, code);
}

BOOL UTL_IsAtLeast(DWORD a, DWORD b)
{
    return a >= b;
}
