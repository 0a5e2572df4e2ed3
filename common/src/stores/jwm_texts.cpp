/*
 * The texts of a monitored job: its user, printer and port names, the job
 * texts of the job types, the hand-over file of a fax job, and the ANSI
 * conversions they go through.
 */
#include "jwm_private.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/util_codepage.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/pdt_info.h>

#include <plat/clock.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <atomic>
#include <cstring>

namespace {

constexpr WORD kUserSource = 5127;
constexpr WORD kUserText = 5121;
constexpr WORD kUserText2 = 5150;
constexpr WORD kKindSetting = 266;
constexpr WORD kStoredName = 435;
constexpr DWORD kUserNameChars = 65;
constexpr int kUserNameRetries = 3;
constexpr DWORD kSeparatorChars = 64;
constexpr DWORD kHandOverSize = 64;
/* A setting's text is read no further than the longest text field of a record. */
constexpr LONG kMaxSettingChars = 1024;

std::atomic<UINT> g_separatorId{5144};

bool isSystem(LPCWSTR name) { return lstrcmpiW(name, u"SYSTEM") == 0; }

/* A setting's slot; false when it cannot be read. */
bool readSetting(const JwmJobContext *job, WORD id, WORD *type, BYTE (&slot)[FID_SLOT_SIZE], LONG *size)
{
    std::memset(slot, 0, sizeof slot);
    return job && job->devmode && DMB_GetValue(id, job->devmode, job->printerData, type, size, slot) == 0;
}

} // namespace

DWORD jwm_Number(const JwmJobContext *job, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE];
    return readSetting(job, id, &type, slot, &size) ? FID_ReadValueAsUInt(slot, type) : 0;
}

bool jwm_Text(const JwmJobContext *job, WORD id, std::u16string &out)
{
    out.clear();
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE];
    if (!readSetting(job, id, &type, slot, &size) || type != 6)
        return false;
    LPCWSTR text = FID_SlotString(slot);
    const LONG chars = size > 0 && size / 2 < kMaxSettingChars ? size / 2 : kMaxSettingChars;
    for (LONG i = 0; text && i < chars && text[i]; ++i)
        out.push_back(text[i]);
    return true;
}

void jwm_ToAnsi(const std::u16string &text, LPSTR out, DWORD size)
{
    if (!out || size == 0)
        return;
    out[0] = 0;
    if (!text.empty())
        UTL_WideToCodePage(0, text.c_str(), out, int(size));
}

std::string jwm_ToAnsi(LPCWSTR text)
{
    if (!text || !*text)
        return {};
    LPSTR ansi = UTL_WideToCodePageAlloc(0, text);
    std::string s = ansi ? ansi : "";
    GlobalFree(ansi);
    return s;
}

void JWM_SetSeparatorStringId(UINT id) { g_separatorId = id; }

BOOL JWM_GetUserName(const JwmJobContext *job, LPSTR out)
{
    if (!out || !job)
        return FALSE;
    std::u16string name;
    const DWORD source = jwm_Number(job, kUserSource);
    if (source == 1 || source == 4) {
        jwm_Text(job, kUserText, name);
    } else if (source == 5 || source == 6) {
        jwm_Text(job, kUserText2, name);
    } else if (job->userName) {
        name = job->userName;
    } else {
        WCHAR buffer[kUserNameChars] = {};
        DWORD size = kUserNameChars;
        BOOL ok = GetUserNameW(buffer, &size);
        for (int retry = 0; ok && isSystem(buffer) && retry < kUserNameRetries; ++retry) {
            Sleep(1);
            size = kUserNameChars;
            ok = GetUserNameW(buffer, &size);
        }
        name = ok && !isSystem(buffer) ? buffer : u"UnknownUser";
    }
    jwm_ToAnsi(name, out, JWM_USER_SIZE);
    return TRUE;
}

BOOL JWM_GetPrinterAndPort(const JwmJobContext *job, LPSTR printer, LPSTR port)
{
    if (!job || !printer || !port)
        return FALSE;
    printer[0] = port[0] = 0;
    LPCWSTR printerName = job->printerName, portName = job->portName;
    BYTE *info = nullptr;
    if (!printerName || !portName) {
        info = PDT_GetPrinterInfo(job->printer, 2);
        if (!info)
            return FALSE;
        const auto *p2 = reinterpret_cast<const PRINTER_INFO_2W *>(info);
        if (!printerName)
            printerName = p2->pPrinterName;
        if (!portName)
            portName = p2->pPortName;
    }
    jwm_ToAnsi(printerName ? printerName : u"", printer, JWM_PRINTER_SIZE);
    jwm_ToAnsi(portName ? portName : u"", port, JWM_PORT_SIZE);
    GlobalFree(info);
    return TRUE;
}

BOOL JWM_GetJobKindText(const JwmJobContext *job, LPSTR out)
{
    if (!out)
        return FALSE;
    out[0] = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE];
    if (!job || !job->context || !job->context->main || !readSetting(job, kKindSetting, &type, slot, &size))
        return FALSE;
    LPWSTR name = nullptr;
    if (DDD_GetNameById(job->context->main, job->context->companion, kKindSetting, slot, &name) != DDD_OK || !name)
        return FALSE;
    std::u16string text(name);
    DDD_FreeRecord(&name, 0);
    const size_t cr = text.find(u'\r');
    if (cr != std::u16string::npos)
        text.resize(cr);
    jwm_ToAnsi(text, out, JWM_TEXT_SIZE);
    return TRUE;
}

BOOL JWM_GetStoredJobText(const JwmJobContext *job, LPSTR out)
{
    if (!out)
        return FALSE;
    out[0] = 0;
    std::u16string value;
    if (!job || !jwm_Text(job, kStoredName, value))
        return FALSE;
    std::u16string text;
    ModelRecord *feature = nullptr;
    LPCWSTR featureName = nullptr;
    if (job->context && MDL_GetFeatureInfo(job->context, kStoredName, &feature, nullptr, nullptr, &featureName, nullptr) &&
        featureName)
        text = featureName;
    MDL_FreeRecord(feature);
    WCHAR separator[kSeparatorChars] = {};
    HMODULE module = RES_GetResourceModule();
    if (module)
        LoadStringW(module, g_separatorId, separator, int(kSeparatorChars));
    text += separator;
    text += value;
    jwm_ToAnsi(text, out, JWM_TEXT_SIZE);
    return TRUE;
}

BOOL JWM_ReadHandOverFile(LPCWSTR path, LPSTR first, LPSTR second)
{
    if (!path || !first || !second)
        return FALSE;
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_SYSTEM, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BYTE data[kHandOverSize] = {};
    DWORD read = 0;
    const BOOL readable = ReadFile(file, data, kHandOverSize, &read, nullptr);
    BOOL ok = readable && read == kHandOverSize;
    CloseHandle(file);
    /* The file is read only once: it goes once read, whatever it held; a failed read leaves it for another try. */
    if (readable)
        DeleteFileW(path);
    const BYTE *texts[2] = {data, data + JWM_FAX_TEXT_SIZE};
    for (const BYTE *text : texts)
        ok = ok && std::memchr(text, 0, JWM_FAX_TEXT_SIZE) != nullptr;
    if (!ok)
        return FALSE;
    std::memcpy(first, texts[0], JWM_FAX_TEXT_SIZE);
    std::memcpy(second, texts[1], JWM_FAX_TEXT_SIZE);
    return TRUE;
}
