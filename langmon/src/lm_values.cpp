/*
 * The "LM_" values: one process-wide table naming the parts of a port's
 * device information block, bound to the port whose status block was read
 * last and stamped with the tick of that binding.  The table remembers the
 * port it points into: a port that is freed unbinds it, and a request on
 * another port finds it stale, so no answer comes from a freed block or
 * from another port's device.  A lock guards the table.
 */
#include "status.h"

#include <plat/clock.h>

#include <cstddef>
#include <cstring>
#include <mutex>

namespace {

constexpr DWORD kUnbound = 0xFFFFFFFF;
constexpr DWORD kFreshMs = 1000;

struct LmValueRow {
    const char *name;
    size_t offset; /* into DeviceInfoBlock; "GetTime" points at the stamp instead */
    DWORD size;
};

struct LmTable {
    std::mutex m;
    const MonitorPort *port = nullptr;
    DeviceInfoBlock *info = nullptr;
    DWORD stamp = 0;
    DWORD stampSize = kUnbound;
    DWORD traySize = 164;
};

/* A plain static (nothing on the heap), so unloading the library leaves nothing behind. */
LmTable g_table;

LmTable &table() { return g_table; }

const LmValueRow kRows[] = {
    {"GetTime", 0, 0},
    {"LM_SysName", offsetof(DeviceInfoBlock, systemName), 32},
    {"LM_MemorySizeInKByte", offsetof(DeviceInfoBlock, memoryKB), 4},
    {"LM_MemorySizeInMByte", offsetof(DeviceInfoBlock, memoryMB), 4},
    {"LM_HardDisk", offsetof(DeviceInfoBlock, hardDisk), 2},
    {"LM_RamDisk", offsetof(DeviceInfoBlock, ramDisk), 2},
    {"LM_DuplexModule", offsetof(DeviceInfoBlock, duplexUnit), 2},
    {"LM_InputTray", offsetof(DeviceInfoBlock, trayCount), 164},
};

} // namespace

void LMS_BindLmValues(MonitorPort *port)
{
    if (!port)
        return;
    LmTable &t = table();
    std::lock_guard<std::mutex> g(t.m);
    t.port = port;
    t.info = &port->deviceInfo;
    const DWORD trays = port->deviceInfo.trayCount <= 5 ? port->deviceInfo.trayCount : 5;
    t.traySize = 4 + 32 * trays;
    t.stamp = GetTickCount();
    t.stampSize = 4;
}

void LMS_UnbindLmValues(MonitorPort *port)
{
    LmTable &t = table();
    std::lock_guard<std::mutex> g(t.m);
    if (t.port != port)
        return;
    t.port = nullptr;
    t.info = nullptr;
    t.stampSize = kUnbound;
    t.traySize = 164;
}

bool LMP_LmValuesStale(const MonitorPort *port)
{
    LmTable &t = table();
    std::lock_guard<std::mutex> g(t.m);
    if (t.stampSize == kUnbound || !t.port || t.port != port)
        return true;
    const DWORD age = GetTickCount() - t.stamp;
    /* an age past half the tick range is a stamp in the future */
    return age >= kFreshMs;
}

int LMP_AnswerLmValue(const WCHAR *name, void *out, DWORD size, DWORD *valueSize)
{
    if (valueSize)
        *valueSize = 0;
    if (!name)
        return 0;
    char narrow[256] = {};
    for (size_t i = 0; i < sizeof narrow - 1 && name[i]; ++i)
        narrow[i] = name[i] < 0x80 ? char(name[i]) : '?';
    LmTable &t = table();
    std::lock_guard<std::mutex> g(t.m);
    for (const LmValueRow &row : kRows) {
        if (std::strcmp(row.name, narrow) != 0)
            continue;
        const bool stamp = std::strcmp(row.name, "GetTime") == 0;
        const bool trays = std::strcmp(row.name, "LM_InputTray") == 0;
        const DWORD rowSize = stamp ? t.stampSize : trays ? t.traySize : row.size;
        if (rowSize == kUnbound || (!stamp && !t.info))
            return 0;
        const BYTE *value = stamp ? reinterpret_cast<const BYTE *>(&t.stamp)
                                  : reinterpret_cast<const BYTE *>(t.info) + row.offset;
        if (size == 0) {
            if (valueSize)
                *valueSize = rowSize;
            return 1;
        }
        if (!out)
            return 0;
        const DWORD n = size < rowSize ? size : rowSize;
        std::memcpy(out, value, n);
        if (valueSize)
            *valueSize = n;
        return 1;
    }
    return 0;
}
