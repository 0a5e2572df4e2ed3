/*
 * The exports that answer without a window (see ui_exports.h and
 * uix_no_window.h): device capabilities, the colour profile, devmode
 * conversion and query-print, the document properties merged without a
 * sheet, and the directory-service printer data.  The settings engine of the
 * common library does the real work; these functions prepare its records.
 */
#include "ui_exports.h"
#include "uix_no_window.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/util_text.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dcap_caps.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/dms_settings.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>
#include <plat/winddiui.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

/* Sources of the capability handlers: the model context, and the merged image with the printer data. */
constexpr WORD kCapModel = 0x1;
constexpr WORD kCapImageAndData = 0x6;

/* The merge mode of the capability query (without the model's checks) and of the document properties. */
constexpr WORD kMergeWithoutModel = 16;
constexpr WORD kMergeWithModel = 2;

/* The check of a devmode field against its own rules. */
constexpr WORD kValidateOwnRules = 2;

/* Model header entry holding the colour profile's file name. */
constexpr WORD kProfileEntry = 13;

enum : WORD {
    S_SPEC_VERSION = 2,
    S_DM_SIZE = 4,
    S_PAPER_SIZE = 8,
    S_PAPER_LENGTH = 9,
    S_PAPER_WIDTH = 10,
    S_OUTPUT_SIZE_RULE = 1341, /* the output block's own size limits the copy */
    S_DUPLEX = 4103,
    S_STAPLER_UNIT = 4101,
    S_STAPLER_FINISHER = 4116,
    S_STAPLE_KIND = 4359,
    S_STAPLE_MODEL = 5134,
};

/* The public fields up to dmDriverExtra must be there before any of them is read. */
constexpr size_t kDevmodeHead = offsetof(DEVMODEW, dmDriverExtra) + sizeof(WORD);

/* Setting `id` as a number into *value; false when it cannot be read. */
bool readNumber(void *image, void *printerData, WORD id, LONGLONG *value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(id, image, printerData, &type, &size, slot) != 0)
        return false;
    LONGLONG v = 0;
    switch (size) {
    case 1: v = slot[0]; break;
    case 2: v = SHORT(plat::load_u16(slot, 0)); break;
    case 4: v = LONG(plat::load_u32(slot, 0)); break;
    default: return false;
    }
    *value = v;
    return true;
}

bool isOn(void *image, void *printerData, WORD id)
{
    LONGLONG v = 0;
    return readNumber(image, printerData, id, &v) && v != 0;
}

/* The bytes of a caller's devmode a copy may take: dmSize + dmDriverExtra, at most one driver devmode. */
size_t devmodeBytes(const DEVMODEW *dm)
{
    const size_t n = size_t(dm->dmSize) + dm->dmDriverExtra;
    return n < size_t(SHT_DEVMODE_SIZE) ? n : size_t(SHT_DEVMODE_SIZE);
}

/* A zero-filled settings image holding the caller's devmode as far as it reaches (for dumps and checks). */
std::vector<BYTE> boundedImage(const DEVMODEW *dm)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0);
    if (dm && dm->dmSize >= kDevmodeHead)
        std::memcpy(image.data(), dm, devmodeBytes(dm));
    return image;
}

void dumpDocumentProperties(const DOCUMENTPROPERTYHEADER *header, void *printerData)
{
    if (!(LOG_GetFlags() & LOG_FLAG_ON))
        return;
    std::vector<BYTE> in = boundedImage(header->pdmIn), out = boundedImage(header->pdmOut);
    LOG_DumpSettings(LOG_CATEGORY_DOCPROPS, u"<INPUT  DEVMODE>", header->pdmIn ? in.data() : nullptr, printerData);
    LOG_DumpSettings(LOG_CATEGORY_DOCPROPS, u"<OUTPUT DEVMODE>", header->pdmOut ? out.data() : nullptr,
                     printerData);
}

/* The model context of the printer named `name`, opened through a handle closed again at once. */
ModelContext *openModelByName(LPWSTR name)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name, &printer, nullptr))
        return nullptr;
    ModelContext *context = MDL_Open(printer);
    ClosePrinter(printer);
    return context;
}

/* Keeps the last error across a trace line. */
template <typename... A>
void traceOut(LPCWSTR format, A... args)
{
    const DWORD error = GetLastError();
    LOG_TraceOut(format, args...);
    SetLastError(error);
}

} // namespace

DWORD DrvDeviceCapabilities(HANDLE hPrinter, LPWSTR, WORD iDevCap, PVOID pvOutput, DEVMODEW *pDevmode)
{
    LOG_TraceIn(u"DrvDeviceCapabilities");
    WORD sources = 0;
    ModelContext *context = MDL_Open(hPrinter);
    if (context)
        sources |= kCapModel;
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    LONG size = SHT_DEVMODE_SIZE;
    int filled = 0;
    PRINTER_INFO_2W *info = DMS_GetPrinterDevmode(hPrinter, context, image.data(), &size, &filled);
    if (info)
        GlobalFree(info);
    if (filled && UPG_LoadPrinterData(hPrinter, printerData.data(), context) &&
        (!pDevmode || FID_MergeDevmode(context, image.data(), pDevmode, printerData.data(), hPrinter,
                                       kMergeWithoutModel)))
        sources |= kCapImageAndData;
    if (pDevmode && pDevmode->dmSize >= offsetof(DEVMODEW, dmPaperWidth) + sizeof(SHORT)) {
        /* The caller's paper is taken as it is, whatever the merge decided (a custom size stays custom). */
        auto *dm = reinterpret_cast<DEVMODEW *>(image.data());
        dm->dmPaperWidth = pDevmode->dmPaperWidth;
        dm->dmPaperLength = pDevmode->dmPaperLength;
        dm->dmPaperSize = pDevmode->dmPaperSize;
    }
    const LONG answer = DCAP_Dispatch(hPrinter, iDevCap, pvOutput, sources, image.data(), printerData.data(), context);
    if (context)
        MDL_Close(context);
    traceOut(u"DrvDeviceCapabilities RetValue = 0x%08lX", answer);
    return DWORD(answer);
}

BOOL DrvQueryColorProfile(HANDLE hPrinter, DEVMODEW *pdevmode, ULONG ulQueryMode, PVOID pvProfileData,
                          ULONG *pcbProfileData, FLONG *pflProfileData)
{
    LOG_TraceIn(u"DrvQueryColorProfile");
    BOOL result = FALSE;
    if (hPrinter && pdevmode && pvProfileData && pcbProfileData && pflProfileData &&
        ulQueryMode == QCP_DEVICEPROFILE) {
        ModelContext *context = MDL_Open(hPrinter);
        LPWSTR name = nullptr;
        if (context && DDD_ReadHeaderString(context->main, kProfileEntry, 0, &name) == 0 && name) {
            const ULONG needed = ULONG(2 * plat::wlen(name) + 2);
            if (*pcbProfileData < needed) {
                *pcbProfileData = needed;
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
            } else {
                std::memcpy(pvProfileData, name, needed);
                *pflProfileData = QCP_PROFILEDISK;
                result = TRUE;
            }
        }
        if (name)
            DDD_FreeRecord(reinterpret_cast<void **>(&name), 0);
        if (context)
            MDL_Close(context);
    }
    traceOut(u"DrvQueryColorProfile RetValue = %d", result);
    return result;
}

BOOL DrvConvertDevMode(LPWSTR pPrinterName, DEVMODEW *pdmIn, DEVMODEW *pdmOut, LONG *pcbNeeded, DWORD fMode)
{
    LOG_TraceIn(u"DrvConvertDevMode");
    BOOL result = FALSE;
    if (!pPrinterName || !pcbNeeded) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (*pcbNeeded < SHT_DEVMODE_SIZE) {
        *pcbNeeded = SHT_DEVMODE_SIZE;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    } else if (ModelContext *context = openModelByName(pPrinterName)) {
        const int r = DMS_ConvertDevMode(pPrinterName, context, pdmIn, pdmOut, pcbNeeded, fMode);
        result = r != -1 && r != -2;
        const DWORD error = GetLastError();
        MDL_Close(context);
        SetLastError(error);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
    }
    traceOut(u"DrvConvertDevMode RetValue = %d", result);
    return result;
}

BOOL DevQueryPrintEx(PVOID pDQPInfo)
{
    LOG_TraceIn(u"DevQueryPrintEx");
    auto *info = static_cast<DEVQUERYPRINT_INFO *>(pDQPInfo);
    BOOL result = TRUE;
    if (!info) {
        result = FALSE;
    } else if (info->pDevMode && !DMS_DevQueryPrintCheck(info->pDevMode)) {
        SHT_FormatDevmodeError(nullptr, info->pszErrorStr, info->cchErrorStr, &info->cchNeeded,
                               SHT_DEVMODE_ERROR_TEXT);
        result = FALSE;
    }
    traceOut(u"DevQueryPrintEx RetValue = %d", result);
    return result;
}

DWORD SHT_FormatDevmodeError(HMODULE, LPWSTR buffer, DWORD capacity, DWORD *needed, LPCWSTR text)
{
    const size_t length = text ? plat::wlen(text) : 0;
    if (needed)
        *needed = DWORD(length + 1);
    if (!buffer || capacity == 0)
        return 0;
    const size_t n = length < capacity - 1 ? length : capacity - 1;
    if (n)
        std::memcpy(buffer, text, n * sizeof(WCHAR));
    buffer[n] = 0;
    return DWORD(n);
}

LONG SHT_DocumentPropertiesNoUI(DOCUMENTPROPERTYHEADER *header)
{
    if (!header)
        return -1;
    header->cbOut = DWORD(SHT_DEVMODE_SIZE);
    if (header->fMode == 0 || !header->pdmOut)
        return SHT_DEVMODE_SIZE;
    if (!(header->fMode & (DM_UPDATE | DM_COPY))) {
        dumpDocumentProperties(header, nullptr);
        return 1;
    }
    ModelContext *context = MDL_Open(header->hPrinter);
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    LONG size = SHT_DEVMODE_SIZE;
    int filled = 0;
    PRINTER_INFO_2W *info = context ? DMS_GetPrinterDevmode(header->hPrinter, context, image.data(), &size, &filled)
                                    : nullptr;
    if (info)
        GlobalFree(info);
    LONG result = -1;
    if (filled && UPG_LoadPrinterData(header->hPrinter, printerData.data(), context)) {
        result = 1;
        DEVMODEW *in = header->pdmIn;
        /* The input's own fields are checked on a bounded copy: a short devmode is never read past its end. */
        std::vector<BYTE> inCopy = boundedImage(in);
        const bool inputSizeValid =
            in && in->dmSize >= kDevmodeHead &&
            FID_ValidateValue(context, S_DM_SIZE, inCopy.data(), printerData.data(), kValidateOwnRules);
        if (in && !(header->fMode & DM_USER_DEFAULT) && inputSizeValid &&
            !FID_MergeDevmode(context, image.data(), in, printerData.data(), header->hPrinter, kMergeWithModel))
            result = -1;
        if (result == 1) {
            const SIZE_T blockSize = isOn(image.data(), printerData.data(), S_OUTPUT_SIZE_RULE)
                                         ? UTL_GetGlobalSize(header->pdmOut)
                                         : 0;
            bool publicOnly = false;
            if (blockSize == 0)
                publicOnly = inputSizeValid &&
                             FID_ValidateValue(context, S_SPEC_VERSION, inCopy.data(), printerData.data(),
                                               kValidateOwnRules) &&
                             in->dmDriverExtra == 0;
            else
                publicOnly = blockSize < SIZE_T(SHT_DEVMODE_SIZE);
            std::memcpy(header->pdmOut, image.data(), publicOnly ? SHT_PUBLIC_DEVMODE_SIZE : SHT_DEVMODE_SIZE);
            if (publicOnly)
                header->pdmOut->dmDriverExtra = 0;
        }
    }
    dumpDocumentProperties(header, printerData.data());
    if (context)
        MDL_Close(context);
    return result;
}

BOOL SHT_WriteDsDriverData(HANDLE printer, void *printerData)
{
    const BYTE duplex = isOn(nullptr, printerData, S_DUPLEX) ? 1 : 0;
    const bool firstWritten = SetPrinterDataExW(printer, u"DsDriver", u"printDuplexSupported", REG_BINARY, &duplex,
                                                1) == ERROR_SUCCESS;
    LONGLONG stapleKind = 0;
    if (!readNumber(nullptr, printerData, S_STAPLE_KIND, &stapleKind))
        return 0;
    LONGLONG model = 0;
    const bool stapling = readNumber(nullptr, printerData, S_STAPLE_MODEL, &model) && model == 1 &&
                          (isOn(nullptr, printerData, S_STAPLER_UNIT) ||
                           isOn(nullptr, printerData, S_STAPLER_FINISHER) || stapleKind != 0);
    const BYTE staple = stapling ? 1 : 0;
    const bool secondWritten = SetPrinterDataExW(printer, u"DsDriver", u"printStaplingSupported", REG_BINARY,
                                                 &staple, 1) == ERROR_SUCCESS;
    return firstWritten && secondWritten ? 1 : 0;
}
