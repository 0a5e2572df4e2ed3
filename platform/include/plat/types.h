/*
 * Fixed-width Windows types and constants used throughout the driver.
 *
 * The driver code is written against the Windows names its design uses;
 * this header gives those names their Windows widths on Linux: LONG, ULONG
 * and DWORD are 32-bit (never `long`), WCHAR is a UTF-16 code unit
 * (char16_t, never the C library's wide character), and pointers and handles keep the native width,
 * so the same header serves the 64-bit tree and the -m32 tree.
 *
 * This header is self-contained and header-only: the data manager, which
 * links no platform library in its 32-bit build, includes it alone.
 */
#ifndef PLAT_TYPES_H
#define PLAT_TYPES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uint64_t DWORD64;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef char16_t WCHAR;
typedef float FLOAT;

typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef LONG_PTR SSIZE_T;

typedef void *PVOID;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef BYTE *PBYTE;
typedef BYTE *LPBYTE;
typedef WORD *PWORD;
typedef DWORD *PDWORD;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef BOOL *PBOOL;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef WCHAR *LPWSTR;
typedef WCHAR *PWSTR;
typedef const WCHAR *LPCWSTR;
typedef const WCHAR *PCWSTR;

typedef void *HANDLE;
typedef HANDLE *PHANDLE;
typedef struct plat_module *HMODULE;
typedef HMODULE HINSTANCE;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef HANDLE HRSRC;
typedef struct plat_key *HKEY;
typedef HKEY *PHKEY;
typedef struct plat_window *HWND;

typedef LONG HRESULT;
typedef LONG_PTR LRESULT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;

typedef int (*FARPROC)(void);

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define MAX_PATH 260

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))

/* Error codes (GetLastError values) the driver tests for. */
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_INVALID_ADDRESS 487L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_INVALID_PRINTER_NAME 1801L
#define ERROR_INVALID_DATATYPE 1804L
#define ERROR_INVALID_PRINTER_COMMAND 1803L
#define ERROR_UNKNOWN_PRINTER_DRIVER 1797L
#define ERROR_INVALID_FORM_NAME 1902L
#define ERROR_CANCELLED 1223L
#define ERROR_BAD_LENGTH 24L
#define ERROR_NOT_FOUND 1168L

#define S_OK ((HRESULT)0L)
#define S_FALSE ((HRESULT)1L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* Plain geometry records (same layout on every Windows target). */
struct POINT {
    LONG x;
    LONG y;
};
struct POINTL {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
typedef SIZE SIZEL;
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT RECTL;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4, "LONG and DWORD are 32-bit");
static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME layout");
static_assert(sizeof(RECT) == 16, "RECT layout");

/*
 * Unaligned little-endian access to byte-offset records.  Settings records
 * are byte buffers addressed by offset; never cast a misaligned pointer.
 */
namespace plat {

template <typename T>
inline T load(const void *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
inline void store(void *p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

inline uint16_t load_u16(const void *base, size_t off) { return load<uint16_t>(static_cast<const BYTE *>(base) + off); }
inline uint32_t load_u32(const void *base, size_t off) { return load<uint32_t>(static_cast<const BYTE *>(base) + off); }
inline int16_t load_i16(const void *base, size_t off) { return load<int16_t>(static_cast<const BYTE *>(base) + off); }
inline int32_t load_i32(const void *base, size_t off) { return load<int32_t>(static_cast<const BYTE *>(base) + off); }
inline void store_u16(void *base, size_t off, uint16_t v) { store(static_cast<BYTE *>(base) + off, v); }
inline void store_u32(void *base, size_t off, uint32_t v) { store(static_cast<BYTE *>(base) + off, v); }

} // namespace plat

#endif /* PLAT_TYPES_H */
