/*
 * The colour-engine stand-in: the seven functions of the outside
 * colour-matching engine as the colour object binds them, answering from a
 * configuration a test sets and recording every call in order.  Its
 * "conversion" is recognisable rather than colorimetric (each byte becomes
 * 255 minus itself).  Built twice: complete, and without
 * "QCE_ColorConvert32" (QCE_WITHOUT_CONVERT), as an engine the driver must
 * not use.
 */
#include <qce/qce_record.h>

#include <iterator>

#define QCE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

QceRecord g_record;
QceConfig g_config;
DWORD g_loads = 0;

constexpr DWORD kHandleBase = 0x51430000;

void note(QceCall call)
{
    if (g_record.callCount < QCE_MAX_CALLS)
        g_record.calls[g_record.callCount] = call;
    ++g_record.callCount;
}

/* Records the call; false (and a mismatch) when `handle` is not the one given. */
bool check(QceCall call, DWORD handle)
{
    note(call);
    if (handle == 0 || handle != g_record.handle) {
        ++g_record.handleMismatches;
        return false;
    }
    return true;
}

BOOL entry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_record = QceRecord{};
        g_config = QceConfig{};
        g_loads = 0;
    }
    return TRUE;
}

} // namespace

PLAT_MODULE_ENTRY(entry)

QCE_EXPORT const QceRecord *QceGetRecord(void) { return &g_record; }

QCE_EXPORT void QceConfigure(const QceConfig *config) { g_config = config ? *config : QceConfig{}; }

QCE_EXPORT DWORD QCE_LoadQCE32(LPCWSTR dataPath)
{
    note(QCE_CALL_LOAD);
    size_t n = 0;
    for (; dataPath && dataPath[n] && n + 1 < std::size(g_record.dataPath); n++)
        g_record.dataPath[n] = dataPath[n];
    g_record.dataPath[n] = 0;
    g_record.handle = g_config.refuseLoad ? 0 : kHandleBase + ++g_loads;
    return g_record.handle;
}

QCE_EXPORT LONG QCE_FreeQCE32(DWORD handle) { return check(QCE_CALL_FREE, handle) ? 0 : -1; }

QCE_EXPORT LONG QCE_CreateParam_Begin32(DWORD handle, BYTE)
{
    return check(QCE_CALL_BEGIN, handle) ? g_config.beginAnswer : -1;
}

QCE_EXPORT LONG QCE_CreateParam32(DWORD handle, const BYTE *pixels, LONG width, LONG height)
{
    return check(QCE_CALL_PARAM, handle) && pixels && width > 0 && height > 0 ? g_config.paramAnswer : -1;
}

QCE_EXPORT LONG QCE_CreateParam_End32(DWORD handle) { return check(QCE_CALL_END, handle) ? g_config.endAnswer : -1; }

QCE_EXPORT LONG QCE_DeleteParam32(DWORD handle) { return check(QCE_CALL_DELETE, handle) ? 0 : -1; }

#ifndef QCE_WITHOUT_CONVERT
QCE_EXPORT LONG QCE_ColorConvert32(DWORD handle, const BYTE *src, BYTE *dst, LONG width, LONG height)
{
    if (!check(QCE_CALL_CONVERT, handle) || !src || !dst || width <= 0 || height <= 0)
        return -1;
    if (g_config.convertAnswer != 0)
        return g_config.convertAnswer;
    const size_t bytes = size_t(width) * size_t(height) * 3;
    for (size_t i = 0; i < bytes; i++)
        dst[i] = QceConvertByte(src[i]);
    return 0;
}
#endif
