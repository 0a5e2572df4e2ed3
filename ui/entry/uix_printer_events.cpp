/*
 * Printer events and upgrade (see ui_exports.h and uix_no_window.h): what
 * the spooler's installation, connection and driver upgrade leave in the
 * printer's stored data, and the spooler forms of the model's papers.
 */
#include "ui_exports.h"
#include "uix_no_window.h"
#include "uix_pollvane.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_text.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/pdt_docprop_layout.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/ppr_paper.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_fontsub.h>
#include <tarvel/stores/prn_store.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/winddiui.h>

#include <vector>

namespace {

/* The model capability that lets jobs use the job-information component. */
constexpr DWORD kCapJobOwnerTool = MDL_CAP_BIT(43);

/* Paper code of the user-defined size, which gets no form. */
constexpr WORD kUserDefinedPaper = 256;

/* Size of the forms of the custom paper slots, micrometres. */
constexpr LONG kCustomSlotWidth = 210000;
constexpr LONG kCustomSlotLength = 297000;

/* A printer opened by name with full access and its model context, closed in that order. */
struct OpenPrinter {
    HANDLE handle = nullptr;
    ModelContext *model = nullptr;
    explicit OpenPrinter(LPWSTR name)
    {
        PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (name && OpenPrinterW(name, &handle, &d))
            model = MDL_Open(handle);
    }
    ~OpenPrinter()
    {
        if (model)
            MDL_Close(model);
        if (handle)
            ClosePrinter(handle);
    }
    OpenPrinter(const OpenPrinter &) = delete;
    OpenPrinter &operator=(const OpenPrinter &) = delete;
};

/* Gives the printer an identifier unless it has one; silent on failure. */
void ensurePrinterId(HANDLE printer)
{
    BYTE id[PRN_ID_SIZE] = {};
    if (!REG_ReadPrnId(printer, id) && REG_MakePrnId(printer, id))
        REG_WritePrnId(printer, id);
}

/*
 * The fax list's length as its entry count gives it, never more than was
 * loaded: a damaged count cannot make the save read past the block.
 */
DWORD faxListLength(const BYTE *fax, DWORD loaded)
{
    if (!fax || loaded < DPF_FAX_HEADER_SIZE)
        return 0;
    const DWORD length = DPF_FAX_HEADER_SIZE + DPF_FAX_ENTRY_SIZE * DWORD(plat::load_u16(fax, DPF_FAX_OFFSET_COUNT));
    return length < loaded ? length : loaded;
}

} // namespace

int UIX_RefreshPrinterSettings(HANDLE printer, ModelContext *context, BOOL full)
{
    if (!full)
        return PDT_InitFontSubTable(printer, context), 1;
    std::vector<BYTE> printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    if (!UPG_LoadPrinterData(printer, printerData.data(), context) ||
        !UPG_SaveSharedPrinterData(printer, printerData.data(), context, TRUE))
        return 0;
    std::vector<BYTE> extension(SETTINGS_EXTENSION_SIZE, 0);
    BYTE *fax = nullptr, *tmb = nullptr;
    DWORD faxSize = 0, tmbLength = 0;
    if (!PDT_LoadDeviceBlobs(printer, context, nullptr, PDT_STORE_PRINTER, &fax, &faxSize, extension.data(), &tmb,
                             &tmbLength) &&
        !PDT_BuildDefaultExtension(printer, extension.data()))
        return 0;
    const BOOL saved = PDT_SaveDeviceBlobs(printer, context, nullptr, PDT_STORE_PRINTER, fax,
                                           faxListLength(fax, faxSize), extension.data(), tmb, tmbLength);
    GlobalFree(fax);
    GlobalFree(tmb);
    if (!saved)
        return 0;
    const DWORD ownerTool = context && MDL_HasCapability(context->main, kCapJobOwnerTool) ? 1 : 0;
    if (SetPrinterDataW(printer, u"SupportJobOwnerTool", REG_DWORD, reinterpret_cast<const BYTE *>(&ownerTool),
                        sizeof ownerTool) != ERROR_SUCCESS)
        return 0;
    PDT_InitFontSubTable(printer, context);
    return 1;
}

BOOL SHT_AddForm(HANDLE printer, const ModelRecord *paper, LPCWSTR name)
{
    if (!paper || !name)
        return FALSE;
    FORM_INFO_1W form{};
    if (FID_IsCustomPaperCode(paper->id)) {
        form.Size = SIZEL{kCustomSlotWidth, kCustomSlotLength};
    } else {
        const DddPair *size = DDD_PaperSize(paper);
        if (!size)
            return FALSE;
        form.Size = SIZEL{LONG(size->first) * 100, LONG(size->second) * 100};
    }
    DddPair first{}, second{};
    DDD_PaperMargins(paper, &first, &second);
    /* first pair: left and bottom margins; second pair: right and top margins */
    form.ImageableArea = RECTL{LONG(first.first) * 100, LONG(second.second) * 100,
                               form.Size.cx - LONG(second.first) * 100, form.Size.cy - LONG(first.second) * 100};
    form.Flags = FORM_PRINTER;
    form.pName = const_cast<LPWSTR>(name);
    return AddFormW(printer, 1, reinterpret_cast<const BYTE *>(&form));
}

BOOL SHT_AddMissingForms(HANDLE printer, ModelContext *context, int *added)
{
    if (added)
        *added = 0;
    if (!context)
        return FALSE;
    BOOL result = TRUE;
    for (WORD n = 1;; n++) {
        ModelRecord *paper = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_FULL, context->main, context->companion, DDD_KIND_PAPER, n, &paper) != 0)
            break;
        const WORD code = paper->id;
        if (code != kUserDefinedPaper && !PPR_IsBuiltinForm(printer, code)) {
            WCHAR slotName[64] = {};
            LPCWSTR name = nullptr;
            if (FID_IsCustomPaperCode(code))
                name = RES_MakeCustomPaperName(FID_CustomPaperCodeToSlot(code), slotName, 64) ? slotName : nullptr;
            else
                name = DDD_GetRecordName(paper);
            DWORD needed = 0;
            if (!name) {
                result = FALSE;
            } else if (!GetFormW(printer, name, 1, nullptr, 0, &needed) &&
                       GetLastError() == ERROR_INVALID_FORM_NAME) {
                if (SHT_AddForm(printer, paper, name)) {
                    if (added)
                        ++*added;
                } else {
                    result = FALSE;
                }
            }
        }
        DDD_FreeRecord(&paper, -1);
    }
    return result;
}

BOOL DrvPrinterEvent(LPWSTR pPrinterName, int DriverEvent, DWORD, LPARAM)
{
    LOG_TraceIn(u"DrvPrinterEvent");
    if (DriverEvent == PRINTER_EVENT_ADD_CONNECTION) {
        OpenPrinter p(pPrinterName);
        if (p.handle)
            UPG_WriteUserModeDriverName(p.handle);
    } else if (DriverEvent == PRINTER_EVENT_INITIALIZE) {
        OpenPrinter p(pPrinterName);
        if (p.handle) {
            WCHAR id[UIX_POLLVANE_ID_CHARS];
            UIX_WritePollvaneId(p.handle, p.model, id);
            UPG_WriteUserModeDriverName(p.handle);
            ensurePrinterId(p.handle);
            UIX_RefreshPrinterSettings(p.handle, p.model, TRUE);
            SHT_AddMissingForms(p.handle, p.model, nullptr);
        }
    }
    LOG_TraceOut(u"DrvPrinterEvent");
    return TRUE;
}

BOOL DrvUpgradePrinter(DWORD Level, LPBYTE pDriverUpgradeInfo)
{
    LOG_TraceIn(u"DrvUpgradePrinter");
    BOOL result = FALSE;
    const auto *info = reinterpret_cast<const DRIVER_UPGRADE_INFO_1 *>(pDriverUpgradeInfo);
    if (Level != 1 || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        OpenPrinter p(info->pPrinterName);
        if (!p.handle) {
            SetLastError(ERROR_INVALID_PARAMETER);
        } else {
            ensurePrinterId(p.handle);
            SHT_AddMissingForms(p.handle, p.model, nullptr);
            result = UIX_RefreshPrinterSettings(p.handle, p.model, TRUE) == 1;
        }
    }
    const DWORD error = GetLastError();
    LOG_TraceOut(u"DrvUpgradePrinter RetValue = %d", result);
    SetLastError(error);
    return result;
}
