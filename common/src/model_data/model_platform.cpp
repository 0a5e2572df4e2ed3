/*
 * The platform services the model data reader uses, each behind one
 * function so that the reader itself stays free of handles and code pages:
 * - mdl_Alloc / mdl_Free: GlobalAlloc(GPTR) / GlobalFree, with a test hook
 *   that fails the n-th allocation and counts the blocks still live;
 * - ddd_ReadWholeFile: CreateFileW + ReadFile into one block;
 * - ddd_LoadModuleString: LoadLibraryExW of the string module (a data file)
 *   in the driver directory (RES_GetDriverDirectory) + LoadStringW;
 * - ddd_AnsiToWideAlloc: MultiByteToWideChar in the ANSI code page.
 */
#include "model_platform.h"

#include <tarvel/base/res_module.h>

#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <atomic>
#include <cstring>

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
    if (buffer && capacity > 0)
        buffer[0] = 0;
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!*module) {
        /* The module is a data file in this library's directory; the path must stay under MAX_PATH. */
        WCHAR path[MAX_PATH + 1] = {};
        if (!moduleName || !moduleName[0] || !RES_GetDriverDirectory(path, sizeof(path))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        int dirLength = lstrlenW(path);
        if (dirLength == 0) {
            /* The module paths were never recorded: there is no directory to look in. */
            SetLastError(ERROR_MOD_NOT_FOUND);
            return -1;
        }
        int nameLength = lstrlenW(moduleName);
        if (dirLength + nameLength >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return -1;
        }
        lstrcpynW(path + dirLength, moduleName, nameLength + 1);
        /* Within the library's activation context on Windows; ours do nothing. */
        HMODULE loaded = LoadLibraryExW(path, nullptr, DONT_RESOLVE_DLL_REFERENCES | LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!loaded)
            return -1;
        *module = loaded;
    }
    if (id == 0 || !buffer || capacity <= 0)
        return 0;
    int n = LoadStringW(*module, id, buffer, capacity);
    return n > 0 ? n : 0;
}

void ddd_FreeStringModule(HMODULE module)
{
    if (module)
        FreeLibrary(module);
}

LPWSTR ddd_AnsiToWideAlloc(const BYTE *text, size_t size, DWORD *chars)
{
    size_t n = 0;
    while (n < size && text[n])
        ++n;
    if (n > 0x7FFFFFFE)
        return nullptr;
    /* ASCII text is the same in every code page: widened directly, without the conversion's two passes. */
    size_t ascii = 0;
    for (ULONGLONG word = 0; n - ascii >= 8; ascii += 8) {
        std::memcpy(&word, text + ascii, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (ascii < n && text[ascii] < 0x80)
        ++ascii;
    if (ascii == n) {
        LPWSTR out = static_cast<LPWSTR>(mdl_Alloc((n + 1) * sizeof(WCHAR)));
        if (!out)
            return nullptr;
        for (size_t i = 0; i < n; ++i)
            out[i] = text[i];
        out[n] = 0;
        if (chars)
            *chars = static_cast<DWORD>(n);
        return out;
    }
    /* No code page makes more UTF-16 units than bytes: one pass into a block of n + 1 units. */
    LPWSTR out = static_cast<LPWSTR>(mdl_Alloc((n + 1) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    int wide = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text), int(n), out, int(n));
    if (wide <= 0) {
        mdl_Free(out);
        return nullptr;
    }
    out[wide] = 0;
    if (chars)
        *chars = static_cast<DWORD>(wide);
    return out;
}
