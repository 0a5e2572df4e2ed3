/*
 * The trace switch: the flag word and the extra-setting list read from
 * "tarvel.cfg" in the library's directory, on first use and whenever a
 * per-model configuration file is loaded.
 */
#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/util_text.h>

#include "cfg_private.h"
#include "log_private.h"

#include <plat/ini.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <atomic>
#include <mutex>

namespace {

struct Switch {
    std::atomic<DWORD> flags{0};
    std::atomic<bool> read{false};
    std::mutex lock; /* guards the list */
    WORD ids[LOG_MAX_EXTRA_IDS] = {};
    int count = 0;
};

Switch &state()
{
    static Switch s;
    return s;
}

/* Buffer of the "Log" value: a path's worth, as the switch file is an ordinary profile. */
constexpr DWORD kValueChars = MAX_PATH + 1;

} // namespace

int LOG_GetConfigPath(LPWSTR buffer, size_t chars)
{
    static const WCHAR kName[] = u"tarvel.cfg";
    WCHAR directory[MAX_PATH + 1] = {};
    if (buffer == nullptr || !RES_GetDriverDirectory(directory, RES_DRIVER_DIR_BYTES) || directory[0] == 0)
        return 0;
    const size_t dirLength = plat::wlen(directory);
    const size_t nameLength = sizeof kName / sizeof kName[0] - 1;
    if (dirLength + nameLength >= chars)
        return 0;
    std::memcpy(buffer, directory, dirLength * sizeof(WCHAR));
    std::memcpy(buffer + dirLength, kName, (nameLength + 1) * sizeof(WCHAR));
    return 1;
}

int LOG_ReadIdList(LPCWSTR path)
{
    Switch &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.count = 0;
    bool noMemory = false;
    LPWSTR text = cfg_ReadSection(path, u"LOG", noMemory);
    if (text == nullptr)
        return noMemory ? -1 : 0;
    const CfgSectionIndex section(text);
    int line = 0;
    LPCWSTR value = nullptr;
    for (int lines = 0; lines < LOG_MAX_EXTRA_IDS; ++lines) {
        line = section.findNthLine(line + 1, 0, u"LOGOUT.DDMID=", &value);
        if (line == 0)
            break;
        DWORD id = 0;
        if (!UTL_ParseNumber(value, &id) || id > 0xFFFF)
            continue;
        bool present = false;
        for (int i = 0; i < s.count && !present; ++i)
            present = s.ids[i] == id;
        if (!present)
            s.ids[s.count++] = static_cast<WORD>(id);
    }
    GlobalFree(text);
    return s.count;
}

int LOG_ReadSwitch(void)
{
    Switch &s = state();
    WCHAR path[MAX_PATH + 1];
    WCHAR value[kValueChars] = {};
    DWORD flags = 0;
    int ok = 0;
    if (LOG_GetConfigPath(path, MAX_PATH + 1)) {
        const DWORD length = GetPrivateProfileStringW(u"LOG", u"Log", u"0", value, kValueChars, path);
        if (length <= static_cast<DWORD>(LOG_MAX_FLAG_TEXT) && UTL_ParseNumber(value, &flags)) {
            ok = LOG_ReadIdList(path) >= 0 ? 1 : 0;
        } else {
            flags = 0;
        }
    }
    if (!ok) {
        std::lock_guard<std::mutex> guard(s.lock);
        s.count = 0;
    }
    s.flags.store(flags);
    s.read.store(true);
    return ok;
}

void LOG_ReloadSwitch(void)
{
    LOG_ReadSwitch();
}

DWORD LOG_GetFlags(void)
{
    Switch &s = state();
    if (!s.read.load())
        LOG_ReadSwitch();
    return s.flags.load();
}

DWORD LOG_IsEnabled(void)
{
    return LOG_GetFlags() & LOG_FLAG_ON;
}

int LOG_GetExtraIds(WORD *ids, int capacity)
{
    Switch &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (int i = 0; ids != nullptr && i < s.count && i < capacity; ++i)
        ids[i] = s.ids[i];
    return s.count;
}

void log_ResetSwitchForTest(void)
{
    Switch &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.count = 0;
    s.flags.store(0);
    s.read.store(false);
}
