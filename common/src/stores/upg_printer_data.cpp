/*
 * The printer's PrinterData record: loaded from the stored chunked blob and
 * brought up to the current layout (copied, updated field by field from
 * driver versions 20480 up, lifted first from older ones), or the defaults;
 * the user's own fields moved between the record and the user's key; the
 * printer-wide copy stored without them; and the exported question for the
 * record.
 */
#include "upg_private.h"
#include "usi_store.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/pdt_info.h>
#include <tarvel/stores/prn_store.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kRecordSize = SETTINGS_PRINTERDATA_SIZE;

/* Version items of a PrinterData record. */
constexpr WORD kSizeId = 8202;
constexpr WORD kVersionId = 8203;
constexpr WORD kDriverId = 8204;
constexpr WORD kKindId = 5137;
constexpr WORD kFlag5163Id = 5163;

/* Driver versions that mark the layouts. */
constexpr DWORD kFirstUpdatable = 20480; /* records from here are updated in place, older ones lifted first */
constexpr DWORD kLastWithoutPrnId = 16388; /* records up to here were printer-wide for every user */

/* Single models that the rules name. */
constexpr WORD kKind55 = 55;
constexpr WORD kKind115 = 115;

/* Where records of drivers 16390-20479 keep ten custom papers: 34 bytes each from byte 1,608. */
constexpr DWORD kLiftHeadBytes = 1608;
constexpr DWORD kPaperEntrySize = 34;
constexpr DWORD kPaperNameBytes = 30;

/* The custom paper settings: width 5889 + i, length 5909 + i, name 5929 + i. */
constexpr WORD kPaperWidthId = 5889;
constexpr WORD kPaperLengthId = 5909;
constexpr WORD kPaperNameId = 5929;

struct RecordVersions {
    DWORD size = 0, version = 0, driver = 0, kind = 0;
};

bool readVersions(void *record, RecordVersions &v)
{
    return upg_GetNumber(kVersionId, nullptr, record, &v.version) &&
           upg_GetNumber(kDriverId, nullptr, record, &v.driver) && upg_GetNumber(kSizeId, nullptr, record, &v.size) &&
           upg_GetNumber(kKindId, nullptr, record, &v.kind);
}

bool flagSet(void *record, WORD id, bool *set)
{
    DWORD v = 0;
    if (!upg_GetNumber(id, nullptr, record, &v))
        return false;
    *set = v != 0;
    return true;
}

/* A 16-bit value of the stored record, when it lies within the bytes really stored. */
bool storedWord(const BYTE *stored, DWORD available, DWORD offset, DWORD *value)
{
    if (offset + 2 > available)
        return false;
    *value = plat::load_u16(stored, offset);
    return true;
}

/* Custom paper `i` from the stored record's old place into the record; a paper not stored keeps its default. */
bool liftPaper(void *record, const BYTE *stored, DWORD available, int i, DWORD widthAt, DWORD lengthAt,
               DWORD nameAt)
{
    DWORD width = 0, length = 0;
    if (storedWord(stored, available, widthAt, &width) && !upg_SetNumber(WORD(kPaperWidthId + i), nullptr, record, width))
        return false;
    if (storedWord(stored, available, lengthAt, &length) &&
        !upg_SetNumber(WORD(kPaperLengthId + i), nullptr, record, length))
        return false;
    if (nameAt + kPaperNameBytes <= available &&
        !upg_SetString(WORD(kPaperNameId + i), nullptr, record, stored + nameAt, kPaperNameBytes))
        return false;
    return true;
}

/* The value of option n of setting 4355 in the model; 0 when there is no such option. */
DWORD optionValue(ModelContext *context, WORD id, WORD n)
{
    DddOptionDetails *details = nullptr;
    WORD reason = 0;
    if (!MDL_GetOption(context, id, n, &details, &reason))
        return 0;
    const void *value = nullptr;
    WORD type = 0;
    DWORD result = 0;
    if (MDL_GetOptionFields(details, &value, nullptr, &type, nullptr))
        result = FID_ReadValueAsUInt(value, type);
    MDL_FreeOption(details);
    return result;
}

/* The value 4359 takes for a model family when 4101 is set; false for a family without one. */
bool family4359(WORD family, DWORD *value)
{
    switch (family) {
    case 0x20:
        *value = 4;
        return true;
    case 0x30:
    case 0x40:
    case 0xA0:
    case 0x110:
        *value = 1;
        return true;
    case 0x190:
        *value = 2;
        return true;
    default:
        return false;
    }
}

/* The rules that bring a record of driver version v to the current meaning of its fields. */
bool applyPrinterDataRules(ModelContext *context, void *record, DWORD v, WORD kind)
{
    const WORD family = upg_Family(kind);
    DWORD value = 0;
    bool set = false, set2 = false;
    if (v == 20482) {
        if (!upg_GetNumber(4364, nullptr, record, &value) || (value == 0 && !upg_Reset(context, nullptr, record, 4364)))
            return false;
    }
    if (v < 20497) {
        if (!flagSet(record, 4101, &set))
            return false;
        if (set && (!family4359(family, &value) || !upg_SetNumber(4359, nullptr, record, value)))
            return false;
    }
    if (v <= 20484) {
        if (!flagSet(record, 4104, &set) || !flagSet(record, 4117, &set2))
            return false;
        const WORD n = WORD((set ? (kind == kKind55 ? 1 : 2) : 1) + (set2 ? 1 : 0));
        if (!upg_SetNumber(4355, nullptr, record, optionValue(context, 4355, n)))
            return false;
    }
    if (v <= 20495 && family == 0x30) {
        bool s105 = false, s106 = false, s107 = false;
        if (!flagSet(record, 4105, &s105) || !flagSet(record, 4106, &s106) || !flagSet(record, 4107, &s107))
            return false;
        value = kind == kKind55 ? 2 : s107 ? 3 : s106 ? 2 : s105 ? 1 : 0;
        if (!upg_SetNumber(4357, nullptr, record, value))
            return false;
    }
    if (v <= 20495) {
        DWORD mode = 0;
        if (!upg_GetNumber(5127, nullptr, record, &mode) ||
            !upg_SetNumber(kFlag5163Id, nullptr, record, mode == 5 || mode == 6 ? 1 : 0))
            return false;
        if (mode == 1 && !upg_SetNumber(5127, nullptr, record, 7))
            return false;
        if (mode == 5 && (!upg_Reset(context, nullptr, record, 5127) || !upg_SetNumber(5178, nullptr, record, 7)))
            return false;
    }
    if (!upg_Reset(context, nullptr, record, 4129) || !upg_Reset(context, nullptr, record, 5153))
        return false;
    if (v <= 20543) {
        if (!flagSet(record, 4097, &set) || !upg_SetNumber(4362, nullptr, record, set ? 1 : 0))
            return false;
    }
    if (v <= 20799) {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE] = {};
        if (DMB_GetValue(8209, nullptr, record, &type, &size, slot) != 0 || type != SVT_WSTRING ||
            !FID_SlotString(slot) || size <= 0)
            return false;
        if (!upg_SetString(8213, nullptr, record, reinterpret_cast<const BYTE *>(FID_SlotString(slot)), DWORD(size)))
            return false;
    }
    return true;
}

/* The rules of the lift from records older than driver version 20480. */
bool applyLiftRules(ModelContext *context, void *record, const BYTE *stored, DWORD available, DWORD v, WORD kind)
{
    if (v == 256 && DDD_TestOptionMaskBit(context->main, context->companion, 4103) == 0 &&
        !upg_SetNumber(4103, nullptr, record, 1))
        return false;
    if ((v == 16385 || v == 16386 || (v == 16389 && kind == kKind115)) && !upg_SetNumber(kKindId, nullptr, record, kind))
        return false;
    if (v <= 12288 && upg_Family(kind) == 0x10) {
        DWORD duplex = 0;
        if (!upg_GetNumber(4365, nullptr, record, &duplex))
            return false;
        if (duplex == 0 && !upg_SetNumber(8205, nullptr, record, 0x01010501))
            return false;
        if (duplex == 1 && !upg_SetNumber(8205, nullptr, record, 0x01010702))
            return false;
    }
    if (v <= kLastWithoutPrnId && !upg_Reset(context, nullptr, record, 8206))
        return false;
    if (v < 16390) {
        for (int i = 0; i < 5; ++i)
            if (!liftPaper(record, stored, available, i, 896 + 2 * i, 906 + 2 * i, 916 + 30 * i))
                return false;
    }
    return true;
}

/*
 * Update from driver versions 20480 up: the defaults with the stored bytes
 * over them and the current version items; the rules run only when the
 * whole stored record fitted.
 */
bool updateRecord(ModelContext *context, const BYTE *stored, DWORD available, const BYTE *defaults,
                  const RecordVersions &d, void *out)
{
    RecordVersions s;
    if (!readVersions(const_cast<BYTE *>(stored), s))
        return false;
    std::memcpy(out, defaults, kRecordSize);
    const DWORD copied = std::min({s.size, d.size, available, kRecordSize});
    std::memcpy(out, stored, copied);
    if (!upg_SetNumber(kVersionId, nullptr, out, d.version) || !upg_SetNumber(kDriverId, nullptr, out, d.driver) ||
        !upg_SetNumber(kSizeId, nullptr, out, d.size) || !upg_SetNumber(kKindId, nullptr, out, d.kind))
        return false;
    if (copied != s.size)
        return false;
    return applyPrinterDataRules(context, out, s.driver, WORD(d.kind));
}

/* Lift of a record older than driver version 20480 into an intermediate record, then its update. */
bool liftRecord(ModelContext *context, const BYTE *stored, DWORD available, const BYTE *defaults,
                const RecordVersions &s, const RecordVersions &d, void *out)
{
    UpgBlock inter(kRecordSize);
    if (!inter.p)
        return false;
    std::memcpy(inter.p, defaults, kRecordSize);
    if (s.driver > 16389) {
        std::memcpy(inter.p, stored, std::min(kLiftHeadBytes, available));
        for (int i = 0; i < 10; ++i) {
            const DWORD at = kLiftHeadBytes + kPaperEntrySize * i;
            if (!liftPaper(inter.p, stored, available, i, at, at + 2, at + 4))
                return false;
        }
    } else {
        std::memcpy(inter.p, stored, std::min({s.size, available, kRecordSize}));
    }
    if (!upg_SetNumber(kSizeId, nullptr, inter.p, d.size) ||
        !applyLiftRules(context, inter.p, stored, available, s.driver, WORD(d.kind)) ||
        !upg_SetNumber(kDriverId, nullptr, inter.p, kFirstUpdatable))
        return false;
    return updateRecord(context, inter.p, kRecordSize, defaults, d, out);
}

/*
 * The conversion of a stored record of which `available` bytes were really
 * stored (reads never go past them).
 */
int convertPrinterData(const void *storedRecord, DWORD available, void *out, ModelContext *context)
{
    UpgBlock defaults(kRecordSize), stored(kRecordSize);
    RecordVersions d, s;
    if (!defaults.p || !stored.p || !upg_DefaultPrinterData(context, defaults.p) || !readVersions(defaults.p, d))
        return UPG_FAILED;
    available = std::min(available, kRecordSize);
    std::memcpy(stored.p, storedRecord, available);
    bool done = false;
    int result = UPG_DEFAULTS;
    if (readVersions(stored.p, s)) {
        if (s.driver < 16387 || (s.driver == 16389 && d.kind == kKind115) ||
            (s.driver == 0x5100 && upg_Family(WORD(d.kind)) == 0x350))
            s.kind = d.kind;
        if (s.kind != d.kind || d.version < s.version) {
            /* another model, or a newer layout: the defaults */
        } else if (d.version == s.version) {
            if (d.driver == s.driver) {
                std::memcpy(out, stored.p, kRecordSize);
                return UPG_COPIED;
            }
        } else if (s.driver < kFirstUpdatable) {
            done = liftRecord(context, stored.p, available, defaults.p, s, d, out);
            result = UPG_CONVERTED;
        } else {
            done = updateRecord(context, stored.p, available, defaults.p, d, out);
            result = UPG_CONVERTED;
        }
    }
    if (!done) {
        std::memcpy(out, defaults.p, kRecordSize);
        return UPG_DEFAULTS;
    }
    return result;
}

/* The printer's name (PRINTER_INFO_2) opened again with full access; null when refused, *denied telling why. */
HANDLE reopenWithFullAccess(HANDLE printer, bool *denied)
{
    *denied = false;
    BYTE *info = PDT_GetPrinterInfo(printer, 2);
    if (!info)
        return nullptr;
    HANDLE full = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    LPCWSTR name = reinterpret_cast<PRINTER_INFO_2W *>(info)->pPrinterName;
    if (!name || !OpenPrinterW(name, &full, &defaults)) {
        *denied = name && GetLastError() == ERROR_ACCESS_DENIED;
        full = nullptr;
    }
    GlobalFree(info);
    return full;
}

/*
 * Moves the user's own fields between the stored record and the user's key
 * by the driver version that wrote the record: a current record takes the
 * current user's UserSettingInfo; an old printer-wide one (16,388 or older)
 * gives its fields to the user's key once, unless the user has his own
 * (or the key cannot be named yet).
 */
bool exchangeUserSettings(HANDLE printer, ModelContext *context, BYTE *stored, DWORD driver)
{
    bool denied = false;
    HANDLE full = reopenWithFullAccess(printer, &denied);
    HANDLE h = full ? full : printer;
    BOOL flag5163 = FALSE;
    DWORD value = 0;
    if (driver == UPG_DRIVER_VERSION && upg_GetNumber(kFlag5163Id, nullptr, stored, &value))
        flag5163 = value == 1;
    BYTE record[USI_RECORD_SIZE] = {};
    BYTE id[PRN_ID_SIZE] = {};
    const bool hasId = REG_ReadPrnId(h, id) != FALSE;
    bool ok;
    if (driver > kLastWithoutPrnId) {
        if (!hasId && !denied && REG_MakePrnId(h, id))
            REG_WritePrnId(h, id);
        ok = USI_Load(h, context, record, USI_STORE_USER, flag5163) && USI_WriteToSettings(stored, record, 0);
    } else if (hasId && REG_HasUserSettingInfo(h, context)) {
        ok = USI_Load(h, context, record, USI_STORE_USER, flag5163) && USI_WriteToSettings(stored, record, 0);
    } else if (!hasId && denied) {
        /* The user's key is named by the identifier, which an ordinary user may not store: the record keeps
           its user fields until a load that can move them. */
        ok = true;
    } else {
        ok = USI_ReadFromSettings(h, context, stored, record) && USI_Store(h, context, record, USI_STORE_USER);
    }
    if (full)
        ClosePrinter(full);
    return ok;
}

/* The stored record brought up to date into `out`; false when there is none or it cannot be used. */
bool loadStored(HANDLE printer, ModelContext *context, void *out)
{
    DWORD size = 0;
    if (!PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, nullptr, &size) || size == 0)
        return false;
    UpgBlock stored(std::max(size, kRecordSize));
    if (!stored.p || !PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, stored.p, &size))
        return false;
    DWORD driver = 0, version = 0;
    if (!upg_GetNumber(kDriverId, nullptr, stored.p, &driver))
        return false;
    if (!exchangeUserSettings(printer, context, stored.p, driver))
        return false;
    if (!upg_GetNumber(kVersionId, nullptr, stored.p, &version))
        return false;
    if (version == UPG_LAYOUT_VERSION) {
        std::memcpy(out, stored.p, kRecordSize);
        return true;
    }
    return convertPrinterData(stored.p, size, out, context) != UPG_FAILED;
}

} // namespace

int UPG_ConvertPrinterData(const void *stored, void *printerData, ModelContext *context)
{
    if (!stored || !printerData || !context)
        return UPG_FAILED;
    return convertPrinterData(stored, kRecordSize, printerData, context);
}

BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context)
{
    if (!printer || !printerData || !context)
        return FALSE;
    if (!loadStored(printer, context, printerData) && !upg_DefaultPrinterData(context, printerData))
        return FALSE;
    CFG_ApplySpecials(context->specials, nullptr, printerData, CFG_APPLY_ENFORCED);
    return TRUE;
}

BOOL GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size)
{
    if (!size)
        return FALSE;
    if (!buffer) {
        if (*size != 0)
            return FALSE;
        *size = kRecordSize;
        return TRUE;
    }
    if (*size < kRecordSize)
        return FALSE;
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return FALSE;
    const BOOL loaded = UPG_LoadPrinterData(printer, buffer, context);
    MDL_Close(context);
    return loaded;
}

BOOL UPG_SaveSharedPrinterData(HANDLE printer, void *printerData, ModelContext *context, BOOL flag)
{
    UPG_WriteUserModeDriverName(printer);
    if (!flag)
        return FALSE;
    if (!printerData || !context)
        return FALSE;
    BYTE own[USI_RECORD_SIZE] = {}, defaults[USI_RECORD_SIZE] = {};
    /* Without the user's fields in hand they could not be put back: store nothing. */
    if (!USI_ReadFromSettings(printer, context, printerData, own))
        return FALSE;
    USI_SetDefaults(context->main && MDL_HasCapability(context->main, USI_CAP_EMPTY_DEFAULT_NAME), defaults);
    const bool shared = USI_WriteToSettings(printerData, defaults, 0) &&
                        PDT_WriteNamedBlob(printer, static_cast<const BYTE *>(printerData), kRecordSize,
                                           PDT_BLOB_PRINTERDATA);
    const BOOL restored = USI_WriteToSettings(printerData, own, 0);
    return shared && restored;
}
