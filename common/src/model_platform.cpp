/*
 * The platform services the model data reader uses, each behind one
 * function so that the reader itself stays free of handles and code pages:
 * - mdl_Alloc / mdl_Free: GlobalAlloc(GPTR) / GlobalFree, with a test hook
 *   that fails the n-th allocation and counts the blocks still live;
 * - ddd_ReadWholeFile: CreateFileW + ReadFile into one block;
 * - ddd_LoadModuleString: LoadLibraryExW of the module in the driver
 *   directory + LoadStringW (until the resource module's paths exist every
 *   module is "not found");
 * - ddd_AnsiToWideAlloc: MultiByteToWideChar in the ANSI code page.
 */
#include "model_platform.h"

#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>

#include <atomic>

namespace {

std::atomic<unsigned> g_failAt{0};
std::atomic<unsigned> g_allocCount{0};
std::atomic<long> g_liveBlocks{0};

} // namespace

void *mdl_Alloc(size_t size)
{
    unsigned n = ++g_allocCount;
    if (g_failAt != 0 && n == g_failAt)
        return nullptr;
    void *p = GlobalAlloc(GPTR, size ? size : 1);
    if (p)
        ++g_liveBlocks;
    return p;
}

void mdl_Free(void *p)
{
    if (!p)
        return;
    --g_liveBlocks;
    GlobalFree(p);
}

void mdl_FailAllocation(unsigned n)
{
    g_allocCount = 0;
    g_failAt = n;
}

unsigned mdl_AllocCount(void) { return g_allocCount; }

long mdl_LiveBlocks(void) { return g_liveBlocks; }

WORD ddd_ReadWholeFile(LPCWSTR path, BYTE **data, DWORD *size)
{
    *data = nullptr;
    *size = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD length = GetFileSize(file, &high);
    if ((length == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) {
        CloseHandle(file);
        SetLastError(ERROR_READ_FAULT);
        return 1;
    }
    BYTE *block = static_cast<BYTE *>(mdl_Alloc(length));
    if (!block) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 4;
    }
    DWORD done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(file, block + done, length - done, &got, nullptr) || got == 0) {
            CloseHandle(file);
            mdl_Free(block);
            SetLastError(ERROR_READ_FAULT);
            return 1;
        }
        done += got;
    }
    CloseHandle(file);
    *data = block;
    *size = length;
    return 0;
}

int ddd_LoadModuleString(LPCWSTR moduleName, HMODULE *module, UINT id, LPWSTR buffer, int capacity)
{
    (void)moduleName;
    (void)id;
    if (buffer && capacity > 0)
        buffer[0] = 0;
    if (!*module) {
        /* No string-module container yet: every module is missing. */
        SetLastError(ERROR_MOD_NOT_FOUND);
        return -1;
    }
    return 0;
}

void ddd_FreeStringModule(HMODULE module)
{
    (void)module;
}

LPWSTR ddd_AnsiToWideAlloc(const BYTE *text, size_t size, DWORD *chars)
{
    size_t n = 0;
    while (n < size && text[n])
        ++n;
    if (n > 0x7FFFFFFE)
        return nullptr;
    int wide = n ? MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text), int(n), nullptr, 0) : 0;
    if (n && wide <= 0)
        return nullptr;
    LPWSTR out = static_cast<LPWSTR>(mdl_Alloc((size_t(wide) + 1) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    if (n)
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text), int(n), out, wide);
    out[wide] = 0;
    if (chars)
        *chars = static_cast<DWORD>(wide);
    return out;
}
