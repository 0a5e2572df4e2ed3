/*
 * Stand-ins for the platform services the model data reader needs before
 * the platform layer offers them.  Each function names the service it
 * stands for; when that service exists the body changes, not the callers:
 * - mdl_Alloc / mdl_Free: GlobalAlloc(GMEM_ZEROINIT) / GlobalFree (now
 *   calloc/free, with a test hook that fails the n-th allocation);
 * - ddd_ReadWholeFile: CreateFileW + ReadFile (now plat::map_path + POSIX);
 * - ddd_LoadModuleString: LoadLibraryExW of the module in the driver
 *   directory + LoadStringW (the string-module container comes later; until
 *   then every module is "not found");
 * - ddd_AnsiToWideAlloc: UTL_CodePageToWideAlloc with code page 0 (now
 *   Windows-1252, the default ANSI code page of the machine).
 */
#include "model_platform.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    void *p = std::calloc(size ? size : 1, 1);
    if (p)
        ++g_liveBlocks;
    return p;
}

void mdl_Free(void *p)
{
    if (!p)
        return;
    --g_liveBlocks;
    std::free(p);
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
    std::string real;
    size_t n = 0;
    while (path[n])
        ++n;
    if (!plat::map_path(std::u16string_view(path, n), real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 1;
    }
    int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > 0xFFFFFFFFull) {
        ::close(fd);
        SetLastError(ERROR_READ_FAULT);
        return 1;
    }
    DWORD length = static_cast<DWORD>(st.st_size);
    BYTE *block = static_cast<BYTE *>(mdl_Alloc(length));
    if (!block) {
        ::close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 4;
    }
    DWORD done = 0;
    while (done < length) {
        ssize_t got = ::read(fd, block + done, length - done);
        if (got <= 0) {
            ::close(fd);
            mdl_Free(block);
            SetLastError(ERROR_READ_FAULT);
            return 1;
        }
        done += static_cast<DWORD>(got);
    }
    ::close(fd);
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

namespace {

/* Windows-1252 bytes 0x80-0x9F; the other bytes are their own code points. */
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

LPWSTR ddd_AnsiToWideAlloc(const BYTE *text, size_t size, DWORD *chars)
{
    size_t n = 0;
    while (n < size && text[n])
        ++n;
    LPWSTR out = static_cast<LPWSTR>(mdl_Alloc((n + 1) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    for (size_t i = 0; i < n; ++i) {
        BYTE b = text[i];
        out[i] = (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    out[n] = 0;
    if (chars)
        *chars = static_cast<DWORD>(n);
    return out;
}
