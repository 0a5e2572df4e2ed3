/*
 * The document-monitor stand-in: the monitor's entry points as the driver's
 * glue binds them, answering from a configuration a test sets and keeping a
 * record of what it was given.  Built twice: with and without
 * "JwmSetJwmDataEx" (DOCMON_WITHOUT_EX), as a newer and an older monitor.
 * The entry points the driver binds but never calls only count their calls.
 */
#include <docmon/docmon_record.h>

#include <plat/loader.h>

#include <cstdio>
#include <cstring>

#define DOCMON_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

DocmonRecord g_record;
DocmonConfig g_config;
LONG g_nextHandle = 0;

constexpr uintptr_t kHandleBase = 0x4A570000;

bool known(HANDLE monitor)
{
    const uintptr_t v = reinterpret_cast<uintptr_t>(monitor);
    return v > kHandleBase && v <= kHandleBase + uintptr_t(g_nextHandle);
}

/* Writes `text` into the 64-byte `buffer` as far as it holds; terminated only when it fits. */
BOOL writeId(const char *configured, const char *prefix, LONG n, LPSTR buffer)
{
    const size_t size = UIX_ID_SIZE;
    if (!buffer)
        return FALSE;
    char own[32];
    const char *text = configured;
    if (!*configured) {
        std::snprintf(own, sizeof own, "%s-%ld", prefix, long(n));
        text = own;
    }
    const size_t length = std::strlen(text);
    std::memcpy(buffer, text, length < size ? length + 1 : size);
    return TRUE;
}

BOOL entry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_record = DocmonRecord{};
        g_config = DocmonConfig{};
        g_nextHandle = 0;
    }
    return TRUE;
}

} // namespace

PLAT_MODULE_ENTRY(entry)

DOCMON_EXPORT const DocmonRecord *DocmonGetRecord(void) { return &g_record; }

DOCMON_EXPORT void DocmonConfigure(const DocmonConfig *config) { g_config = config ? *config : DocmonConfig{}; }

DOCMON_EXPORT HANDLE JwmInitializeJobwatch(DWORD flags)
{
    ++g_record.inits;
    g_record.lastFlags = flags;
    if (g_config.refuseInit)
        return nullptr;
    ++g_record.openHandles;
    return reinterpret_cast<HANDLE>(kHandleBase + uintptr_t(++g_nextHandle));
}

DOCMON_EXPORT BOOL JwmUnInitializeJobwatch(HANDLE monitor)
{
    ++g_record.uninits;
    if (!known(monitor) || g_config.failUninit)
        return FALSE;
    --g_record.openHandles;
    return TRUE;
}

DOCMON_EXPORT BOOL JwmExecJobwatch(HANDLE monitor)
{
    ++g_record.execs;
    return known(monitor) && !g_config.failExec;
}

DOCMON_EXPORT BOOL JwmCreateClientId(HANDLE monitor, LPSTR buffer)
{
    if (!known(monitor) || g_config.failClientId)
        return FALSE;
    return writeId(g_config.clientId, "CLIENT", g_nextHandle, buffer);
}

DOCMON_EXPORT BOOL JwmCreateJobId(HANDLE monitor, LPSTR buffer)
{
    if (!known(monitor) || g_config.failJobId)
        return FALSE;
    return writeId(g_config.jobId, "JOB", g_record.inits, buffer);
}

/* Bound by the driver, never called by it. */
#define DOCMON_COUNTED(name)                                                                                     \
    DOCMON_EXPORT BOOL name(HANDLE, ULONG_PTR)                                                                   \
    {                                                                                                            \
        ++g_record.otherCalls;                                                                                   \
        return TRUE;                                                                                             \
    }
DOCMON_COUNTED(JwmSetGroupStyle)
DOCMON_COUNTED(JwmSetJobId)
DOCMON_COUNTED(JwmSetDestinationCount)
DOCMON_COUNTED(JwmSetPortName)
DOCMON_COUNTED(JwmSetFriendlyName)
DOCMON_COUNTED(JwmSetParamStyle)
DOCMON_COUNTED(JwmExecJobwatchPreferences)
DOCMON_COUNTED(JwmSetJobDestinations)
DOCMON_COUNTED(JwmExecJobwatchWithStatus)
DOCMON_COUNTED(JwmExecJobwatchPreferencesWithStatus)

#ifndef DOCMON_WITHOUT_EX
DOCMON_EXPORT BOOL JwmSetJwmDataEx(HANDLE monitor, const JwmHeadBlock *head)
{
    ++g_record.setDataExCalls;
    if (!known(monitor) || !head || g_config.failSetData)
        return FALSE;
    g_record.head = *head;
    g_record.head.detail = nullptr;
    g_record.detailCount = head->count;
    for (DWORD i = 0; i < head->count && i < DOCMON_MAX_DETAILS && head->detail; ++i)
        g_record.details[i] = head->detail[i];
    return TRUE;
}
#endif

DOCMON_EXPORT BOOL JwmSetJwmData(HANDLE monitor, const BYTE *block)
{
    ++g_record.setDataCalls;
    if (!known(monitor) || !block || g_config.failSetData)
        return FALSE;
    const DWORD count = plat::load_u32(block, 0);
    if (count < 1 || count > JWM_MAX_DETAILS)
        return FALSE;
    const DWORD size = JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE * count;
    g_record.oldSize = size;
    std::memcpy(g_record.oldBlock, block, size < sizeof g_record.oldBlock ? size : sizeof g_record.oldBlock);
    const BYTE *first = nullptr;
    std::memcpy(&first, block + JWM_OLD_OFF_FIRST, sizeof first);
    g_record.oldFirstOffset = LONGLONG(first - block);
    return TRUE;
}
