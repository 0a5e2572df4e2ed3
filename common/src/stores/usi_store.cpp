/*
 * UserSettingInfo stores: filling the record from the printer-data record
 * and writing it back through the data-manager binding, its defaults, and
 * keeping it under the user's per-printer key or in the printer-wide blob.
 */
#include "usi_store.h"

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD T_FLAG = 1, T_U16 = 3, T_WSTR = 6, T_BYTE = 8;

/* Longest default name taken from the resource string, in characters. */
constexpr int kDefaultNameChars = 32;

/* Copies a string into a record field, cut to leave room for its terminator. */
void putString(BYTE *record, const UsiMapRow &row, const WCHAR *text)
{
    std::memset(record + row.offset, 0, row.size);
    size_t maxUnits = row.size / 2 - 1;
    for (size_t i = 0; text && i < maxUnits && text[i]; ++i)
        plat::store_u16(record, row.offset + i * 2, uint16_t(text[i]));
}

bool readMap(const UsiMap &map, void *printerData, BYTE *record)
{
    for (WORD i = 0; i < map.count; ++i) {
        const UsiMapRow &row = map.rows[i];
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        if (DMB_GetValue(row.id, nullptr, printerData, &type, &size, slot) != 0)
            return false;
        switch (row.type) {
        case T_FLAG:
        case T_U16:
        case T_BYTE:
            std::memcpy(record + row.offset, slot, row.size);
            break;
        case T_WSTR:
            putString(record, row, plat::load<const WCHAR *>(slot));
            break;
        default:
            return false;
        }
    }
    return true;
}

bool writeMap(const UsiMap &map, void *printerData, const BYTE *record)
{
    for (WORD i = 0; i < map.count; ++i) {
        const UsiMapRow &row = map.rows[i];
        WORD status;
        if (row.type == T_WSTR) {
            /* A terminated copy: a damaged record's field may lack its terminator. */
            WCHAR copy[USI_RECORD_SIZE / 2 + 1] = {};
            for (WORD unit = 0; unit + 1 < row.size / 2; ++unit)
                copy[unit] = WCHAR(plat::load_u16(record, row.offset + size_t(unit) * 2));
            const WCHAR *text = copy;
            status = DMB_SetValue(row.id, nullptr, printerData, row.type, row.size, &text);
        } else {
            status = DMB_SetValue(row.id, nullptr, printerData, row.type, row.size, record + row.offset);
        }
        if (status != 0)
            return false;
    }
    return true;
}

bool emptyNameFor(ModelContext *context)
{
    return context && context->main && MDL_HasCapability(context->main, USI_CAP_EMPTY_DEFAULT_NAME);
}

} // namespace

BOOL USI_ReadFromSettings(HANDLE /*printer*/, ModelContext *context, void *printerData, BYTE *record)
{
    if (!context || !printerData || !record)
        return FALSE;
    std::memset(record, 0, USI_RECORD_SIZE);
    plat::store_u16(record, USI_OFFSET_VERSION, USI_VERSION);
    plat::store_u16(record, USI_OFFSET_SIZE_A, USI_SECTION_A_SIZE);
    plat::store_u16(record, USI_OFFSET_SIZE_B, USI_SECTION_B_SIZE);
    if (!readMap(USI_HEADER_MAP, printerData, record) || !readMap(USI_MAP_A, printerData, record) ||
        !readMap(USI_MAP_B, printerData, record))
        return FALSE;

    LPWSTR name = nullptr;
    WORD reason = 0;
    if (!MDL_GetModelName(context, &name, &reason) || !name)
        return FALSE;
    const UsiMapRow modelName = {0, T_WSTR, WORD(USI_OFFSET_MODEL_NAME), WORD(USI_MODEL_NAME_SIZE)};
    putString(record, modelName, name);
    GlobalFree(name);
    return TRUE;
}

BOOL USI_WriteToSettings(void *printerData, const BYTE *record, int selector)
{
    if (!printerData || !record)
        return FALSE;
    bool writeA = selector != 1;
    bool writeB = selector != 2 && selector != 3;
    if (writeA && !writeMap(USI_MAP_A, printerData, record))
        return FALSE;
    if (writeB && !writeMap(USI_MAP_B, printerData, record))
        return FALSE;
    return TRUE;
}

void USI_SetDefaults(BOOL emptyName, BYTE *record)
{
    if (!record)
        return;
    WCHAR name[kDefaultNameChars + 1] = {};
    if (!emptyName) {
        HMODULE module = RES_LoadResourceModule();
        if (!module || LoadStringW(module, USI_ID_DEFAULT_NAME_STRING, name, kDefaultNameChars + 1) <= 0)
            name[0] = 0;
    }
    USI_FillDefaults(record, name);
}

BOOL USI_Store(HANDLE printer, ModelContext *context, BYTE *record, int kind)
{
    if (!printer || !record)
        return FALSE;
    if (kind == USI_STORE_PRINTER)
        return PDT_WriteNamedBlob(printer, record, USI_RECORD_SIZE, PDT_BLOB_USERSETTINGINFO);

    if (kind != USI_STORE_USER) {
        BYTE *stored = nullptr;
        DWORD storedSize = 0;
        int rc = REG_ReadValue(printer, context, &stored, &storedSize, nullptr, nullptr, USI_VALUE_NAME);
        if (rc == REG_READ_FAILED)
            return FALSE;
        if (rc == REG_READ_OK) {
            bool keepA = kind == USI_STORE_USER_KEEP_A;
            DWORD offset = keepA ? USI_OFFSET_SECTION_A : USI_OFFSET_SECTION_B;
            DWORD capacity = keepA ? USI_SECTION_A_SIZE : USI_SECTION_B_SIZE;
            /* The record's own section size, never beyond the section. */
            DWORD length = plat::load_u16(record, keepA ? USI_OFFSET_SIZE_A : USI_OFFSET_SIZE_B);
            if (length > capacity)
                length = capacity;
            if (storedSize >= offset + length)
                std::memcpy(record + offset, stored + offset, length);
            GlobalFree(stored);
        }
    }
    return REG_WriteValue(printer, context, record, USI_RECORD_SIZE, REG_BINARY, nullptr, USI_VALUE_NAME);
}

BOOL USI_Load(HANDLE printer, ModelContext *context, BYTE *record, int kind, BOOL flag5163)
{
    if (!printer || !record)
        return FALSE;
    BYTE *stored = nullptr;
    DWORD storedSize = 0;
    bool fromPrinter = false;
    if (kind != USI_STORE_PRINTER) {
        int rc = REG_ReadValue(printer, context, &stored, &storedSize, nullptr, nullptr, USI_VALUE_NAME);
        if (rc == REG_READ_FAILED)
            return FALSE;
    }
    if (!stored) {
        const PdtNamedBlob *blob = PDT_GetNamedBlob(PDT_BLOB_USERSETTINGINFO);
        fromPrinter = PDT_ReadChunked(printer, &stored, &storedSize, blob->baseName, blob->sizeName);
    }

    BOOL emptyName = emptyNameFor(context);
    USI_SetDefaults(emptyName, record);
    if (stored)
        USI_MergeStored(stored, storedSize, record, flag5163); /* a failed merge leaves the defaults */
    GlobalFree(stored);

    if (fromPrinter) {
        /* The printer-wide copy never supplies a user's own section B. */
        BYTE defaults[USI_RECORD_SIZE];
        USI_SetDefaults(emptyName, defaults);
        std::memcpy(record + USI_OFFSET_SECTION_B, defaults + USI_OFFSET_SECTION_B, USI_SECTION_B_SIZE);
    }
    return TRUE;
}

BOOL USI_DeleteUserSettingInfo(HANDLE printer, ModelContext *context)
{
    HKEY key = nullptr;
    if (REG_OpenExistingPrinterKey(printer, context, nullptr, KEY_SET_VALUE, &key) != REG_READ_OK)
        return FALSE;
    LONG err = RegDeleteValueW(key, USI_VALUE_NAME);
    RegCloseKey(key);
    return err == ERROR_SUCCESS;
}
