/*
 * The Pollvane status program's registration (see uix_pollvane.h): the id
 * in printer data, the values of the user's registration key, the reference
 * counter and the start of the program.
 */
#include "pgf_sheet.h"
#include "pgf_utils.h"
#include "ui_setting_text.h"
#include "uix_pollvane.h"

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/prn_store.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/registry.h>
#include <plat/commdlg.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

enum : WORD {
    S_COMMUNITY = 8212,
    S_DEVICE_ADDRESS = 8213,
    S_SNMP_VERSION = 8214,
    S_POLLVANE_ON = 5199,
};

/* Model texts of the registration, and the model capability that keeps the program away. */
constexpr WORD kTextDataFile = 20;
constexpr WORD kTextDriftonFile = 8;
constexpr DWORD kCapNoPollvane = MDL_CAP_BIT(50);

/* The longest resource texts taken: value and key names, the interval, the program name. */
constexpr int kNameChars = 33;
constexpr int kIntervalChars = 12;
constexpr int kProgramChars = 261;

/* A resource string of the resource module, cut to `chars` - 1 characters; empty when missing. */
std::u16string resourceString(UINT id, int chars)
{
    std::vector<WCHAR> text(size_t(chars), 0);
    const int n = LoadStringW(RES_GetResourceModule(), id, text.data(), chars);
    return n > 0 ? std::u16string(text.data(), size_t(n)) : std::u16string();
}

/* A spooler record of `level` (printer or driver information) as bytes; empty when it cannot be read. */
template <typename Get>
std::vector<BYTE> spoolerRecord(Get get)
{
    DWORD needed = 0;
    get(nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<BYTE> record(needed);
    if (!get(record.data(), needed, &needed))
        return {};
    return record;
}

LPWSTR globalCopy(const std::u16string &text)
{
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (text.size() + 1) * sizeof(WCHAR)));
    if (copy)
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return copy;
}

/* The printer's PRNID, read or made and stored; false when there is none. */
bool printerId(HANDLE printer, BYTE (&id)[PRN_ID_SIZE])
{
    if (REG_ReadPrnId(printer, id))
        return true;
    return REG_MakePrnId(printer, id) && REG_WritePrnId(printer, id);
}

/* The registration key of the printer, opened or created; writes the id first when it has none. */
HKEY openRegistrationKey(HANDLE printer, ModelContext *context)
{
    WCHAR id[UIX_POLLVANE_ID_CHARS] = {};
    if (!UIX_ReadPollvaneId(printer, id) && !UIX_WritePollvaneId(printer, context, id))
        return nullptr;
    WCHAR path[UIX_POLLVANE_ID_CHARS] = {};
    if (!UIX_BuildPollvaneKey(id, path))
        return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        return key;
    return nullptr;
}

/* The counter of the registration key; false when it cannot be read. */
bool readCounter(HANDLE printer, DWORD *counter)
{
    BYTE *data = nullptr;
    DWORD size = 0;
    const bool read = UIX_GetPollvaneValue(printer, &data, &size, u"ReferenceCounter") == UIX_VALUE_READ &&
                      size == sizeof(DWORD);
    if (read)
        *counter = plat::load_u32(data, 0);
    GlobalFree(data);
    return read;
}

bool writeText(HANDLE printer, ModelContext *context, LPCWSTR name, LPCWSTR text)
{
    const LPCWSTR t = text ? text : u"";
    return UIX_WritePollvaneValue(printer, context, t, DWORD((plat::wlen(t) + 1) * sizeof(WCHAR)), REG_SZ, name);
}

bool writeNumber(HANDLE printer, ModelContext *context, LPCWSTR name, DWORD value)
{
    return UIX_WritePollvaneValue(printer, context, &value, sizeof value, REG_DWORD, name);
}

/* Setting 5199 of the records is on (any non-zero value). */
bool pollvaneSettingOn(void *image, void *printerData)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    return DMB_GetValue(S_POLLVANE_ON, image, printerData, &type, &size, slot) == 0 &&
           (slot[0] | slot[1] | slot[2] | slot[3]) != 0;
}

} // namespace

int UIX_ReadPollvaneId(HANDLE printer, LPWSTR buffer)
{
    if (!buffer)
        return 0;
    std::memset(buffer, 0, UIX_POLLVANE_ID_CHARS * sizeof(WCHAR));
    const std::u16string name = resourceString(UIX_ID_POLLVANE_VALUE, kNameChars);
    DWORD type = 0, size = 0;
    if (name.empty() ||
        GetPrinterDataW(printer, name.c_str(), &type, reinterpret_cast<BYTE *>(buffer),
                        (UIX_POLLVANE_ID_CHARS - 1) * sizeof(WCHAR), &size) != ERROR_SUCCESS) {
        buffer[0] = 0;
        return 0;
    }
    return 1;
}

int UIX_FormatPrnIdHex(HANDLE printer, LPWSTR out)
{
    BYTE id[PRN_ID_SIZE] = {};
    if (!out || !printerId(printer, id))
        return 0;
    static const char digits[] = "0123456789ABCDEF";
    for (DWORD i = 0; i < PRN_ID_SIZE; i++) {
        out[2 * i] = WCHAR(digits[id[i] >> 4]);
        out[2 * i + 1] = WCHAR(digits[id[i] & 0xF]);
    }
    out[2 * PRN_ID_SIZE] = 0;
    return 1;
}

int UIX_WritePollvaneId(HANDLE printer, ModelContext *context, LPWSTR id)
{
    if (!id || !context)
        return 0;
    id[0] = 0;
    std::vector<BYTE> info = spoolerRecord(
        [&](BYTE *b, DWORD n, DWORD *need) { return GetPrinterW(printer, 5, b, n, need); });
    if (info.empty())
        return 0;
    HANDLE own = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(reinterpret_cast<PRINTER_INFO_5W *>(info.data())->pPrinterName, &own, &defaults))
        return 0;
    int result = 0;
    LPWSTR base = nullptr;
    BYTE prnId[PRN_ID_SIZE] = {};
    const std::u16string name = resourceString(UIX_ID_POLLVANE_VALUE, kNameChars);
    if (!name.empty() && DDD_GetRegistryKeyText(context->main, 1, &base) == 0 && base && printerId(own, prnId) &&
        REG_MakePrinterKeyName(base, prnId, nullptr, id, UIX_POLLVANE_ID_CHARS))
        result = SetPrinterDataW(own, name.c_str(), REG_SZ, reinterpret_cast<const BYTE *>(id),
                                 DWORD((plat::wlen(id) + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
    if (!result)
        id[0] = 0;
    if (base)
        DDD_FreeRecord(&base, 0);
    ClosePrinter(own);
    return result;
}

int UIX_BuildPollvaneKey(LPCWSTR id, LPWSTR out)
{
    if (!id || !out)
        return 0;
    const std::u16string path = std::u16string(id) + u"\\" + resourceString(UIX_ID_POLLVANE_SUBKEY, kNameChars);
    if (path.size() >= size_t(UIX_POLLVANE_ID_CHARS)) {
        out[0] = 0;
        return 0;
    }
    std::memcpy(out, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return 1;
}

int UIX_ReadRegistryValue(LPCWSTR keyPath, LPCWSTR name, BYTE **data, DWORD *size)
{
    *data = nullptr;
    *size = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return UIX_VALUE_MISSING;
    DWORD type = 0, needed = 0;
    int result = UIX_VALUE_MISSING;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &needed) == ERROR_SUCCESS) {
        auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, needed + sizeof(WCHAR))); /* a text always ends */
        if (!block) {
            result = 0;
        } else if (RegQueryValueExW(key, name, nullptr, &type, block, &needed) == ERROR_SUCCESS) {
            *data = block;
            *size = needed;
            result = UIX_VALUE_READ;
        } else {
            GlobalFree(block);
        }
    }
    RegCloseKey(key);
    return result;
}

int UIX_GetPollvaneValue(HANDLE printer, BYTE **data, DWORD *size, LPCWSTR name)
{
    if (!data || !size || !name)
        return 0;
    *data = nullptr;
    *size = 0;
    WCHAR id[UIX_POLLVANE_ID_CHARS];
    if (!UIX_ReadPollvaneId(printer, id))
        return UIX_VALUE_NO_ID;
    WCHAR path[UIX_POLLVANE_ID_CHARS];
    if (!UIX_BuildPollvaneKey(id, path))
        return 0;
    return UIX_ReadRegistryValue(path, name, data, size);
}

LPWSTR UIX_BuildHelpFileId(HANDLE printer)
{
    std::vector<BYTE> info = spoolerRecord(
        [&](BYTE *b, DWORD n, DWORD *need) { return GetPrinterDriverW(printer, nullptr, 3, b, n, need); });
    if (info.empty())
        return nullptr;
    LPCWSTR help = reinterpret_cast<DRIVER_INFO_3W *>(info.data())->pHelpFile;
    if (!help || !help[0])
        return nullptr;
    std::u16string file(help);
    const size_t slash = file.find_last_of(u'\\');
    if (slash != std::u16string::npos)
        file.erase(0, slash + 1);
    WCHAR number[16];
    wsprintfW(number, u"%d", UIX_POLLVANE_HELP_CONTEXT);
    return globalCopy(file + u"," + number);
}

int UIX_BuildMonitorRegistration(HANDLE printer, ModelContext *context, void *image, void *printerData,
                                 PollvaneRegistration *out)
{
    if (!out || !context)
        return 0;
    *out = PollvaneRegistration{};
    DWORD counter = 0;
    if (readCounter(printer, &counter))
        out->referenceCounter = counter & 0xFFFF;
    out->deviceAddress = globalCopy(UI_SettingText(image, printerData, S_DEVICE_ADDRESS));
    out->communityName = globalCopy(UI_SettingText(image, printerData, S_COMMUNITY));
    out->snmpVersion = DWORD(DMB_GetTypedValue(image, printerData, S_SNMP_VERSION, SVT_BYTE) & 0xFF);
    LPWSTR text = nullptr;
    if (DDD_GetModelText(context->main, kTextDataFile, &text) == 0 && text) {
        out->dataFileName = globalCopy(text);
        DDD_FreeRecord(&text, 0);
    }
    if (DDD_GetModelText(context->main, kTextDriftonFile, &text) == 0 && text) {
        out->driftonFileName = globalCopy(text);
        DDD_FreeRecord(&text, 0);
    }
    const std::u16string interval = resourceString(UIX_ID_POLLVANE_INTERVAL, kIntervalChars);
    DWORD value = 0;
    for (char16_t c : interval) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + DWORD(c - u'0');
    }
    out->pollingInterval = value;
    out->helpFileId = UIX_BuildHelpFileId(printer);
    if (!out->deviceAddress || !out->communityName || !out->dataFileName || !out->driftonFileName) {
        UIX_FreeMonitorRegistration(out);
        return 0;
    }
    return 1;
}

void UIX_FreeMonitorRegistration(PollvaneRegistration *registration)
{
    if (!registration)
        return;
    for (LPWSTR s : {registration->deviceAddress, registration->communityName, registration->dataFileName,
                     registration->driftonFileName, registration->helpFileId})
        if (s)
            GlobalFree(s);
    *registration = PollvaneRegistration{};
}

int UIX_WritePollvaneValue(HANDLE printer, ModelContext *context, const void *data, DWORD size, DWORD type,
                           LPCWSTR name)
{
    HKEY key = openRegistrationKey(printer, context);
    if (!key)
        return 0;
    const bool written = RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written ? 1 : 0;
}

int UIX_WritePollvaneRegistration(HANDLE printer, ModelContext *context, const PollvaneRegistration *r)
{
    if (!r)
        return 0;
    return writeText(printer, context, u"DeviceAddress", r->deviceAddress) &&
                   writeText(printer, context, u"SNMPCNString", r->communityName) &&
                   writeText(printer, context, u"DataFileName", r->dataFileName) &&
                   writeText(printer, context, u"DriftonFileName", r->driftonFileName) &&
                   (!r->helpFileId || writeText(printer, context, u"HelpFileID", r->helpFileId)) &&
                   writeNumber(printer, context, u"PollingInterval", r->pollingInterval) &&
                   writeNumber(printer, context, u"ReferenceCounter", r->referenceCounter) &&
                   writeNumber(printer, context, u"SNMPVersion", r->snmpVersion)
               ? 1
               : 0;
}

int UIX_ReleasePollvaneRegistration(HANDLE printer, ModelContext *context)
{
    DWORD counter = 0;
    if (!readCounter(printer, &counter))
        counter = 0;
    return writeNumber(printer, context, u"ReferenceCounter", counter < 2 ? 0 : counter - 1) ? 1 : 0;
}

int UIX_StartPollvane(HANDLE printer, HWND owner, BOOL update)
{
    std::vector<BYTE> info = spoolerRecord(
        [&](BYTE *b, DWORD n, DWORD *need) { return GetPrinterW(printer, 2, b, n, need); });
    const std::u16string program = resourceString(UIX_ID_POLLVANE_PROGRAM, kProgramChars);
    WCHAR directory[MAX_PATH] = {};
    if (!info.empty() && RES_GetDriverDirectory(directory, sizeof directory)) {
        const LPCWSTR printerName = reinterpret_cast<PRINTER_INFO_2W *>(info.data())->pPrinterName;
        const std::u16string path = std::u16string(directory) + u"\\" + program;
        std::u16string parameters = u"\"" + std::u16string(printerName ? printerName : u"") + u"\"";
        if (update)
            parameters += u" -u";
        HINSTANCE started = ShellExecuteW(nullptr, nullptr, path.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
        if (uintptr_t(started) > 32)
            return 1;
    }
    const std::u16string format = resourceString(UIX_ID_POLLVANE_FAILED, 256);
    const std::u16string caption = resourceString(UIX_ID_MESSAGE_CAPTION, 256);
    const std::u16string name = program + u".exe";
    std::vector<WCHAR> text(1024, 0);
    wsprintfW(text.data(), format.c_str(), name.c_str());
    MessageBoxW(owner, text.data(), caption.c_str(), MB_OK | MB_ICONWARNING);
    return 0;
}

bool UIX_PollvaneEnabledFor(ModelContext *context, void *image, void *printerData)
{
    return pollvaneSettingOn(image, printerData) && context && !MDL_HasCapability(context->main, kCapNoPollvane);
}

bool UIX_IsPollvaneEnabled(HWND page)
{
    /* The sheet's copy of the model's capability masks answers for the model. */
    const SheetState *state = PGF_GetSheetState(page);
    BYTE *settings = nullptr;
    BYTE *printerData = nullptr;
    return state && PGF_GetWorkingSettings(page, &settings, &printerData) &&
           pollvaneSettingOn(settings, printerData) && !PGF_TestDeviceFlag(state, kCapNoPollvane);
}
