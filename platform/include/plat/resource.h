/*
 * Resource containers and the Windows resource functions over them.
 *
 * The driver's resource module ("tarvelrs.xrs") and the string modules that
 * model data names are data files in a container format of our own, written
 * by the resource compiler (tools/rc) and read here.  A container is opened
 * either as an in-memory image (rsrc_open_image) or as a module handle
 * (rsrc_open_file, which the loader calls for data-file loads); LoadStringW,
 * FindResourceW, LoadResource, LockResource and SizeofResource answer on
 * such handles.  A code module (a driver library) can register its own small
 * string table on its handle (rsrc_attach_strings) so that LoadStringW on the
 * library's handle answers its strings 32766 and 32767.
 *
 * Container format, version 1 (all numbers little-endian):
 *
 *   header, 32 bytes:
 *     0  magic "TXRS"
 *     4  u16 version (1)
 *     6  u16 header size (32)
 *     8  u32 entry count
 *    12  u32 directory offset (a multiple of 4, at or after the header)
 *    16  u32 name pool offset
 *    20  u32 name pool size in bytes
 *    24  u32 file size (the whole container; nothing may follow it)
 *    28  u32 reserved, 0
 *   directory: entry count entries of 16 bytes:
 *     0  u32 type key
 *     4  u32 id key
 *     8  u32 data offset (a multiple of 4)
 *    12  u32 data size
 *     A key below 0x80000000 is a number (1..65535); a key with bit 31 set
 *     names a string in the name pool at (key & 0x7FFFFFFF).  The directory
 *     is strictly ascending by (type, id): numbers before names, numbers by
 *     value, names by their upper-cased UTF-16 units (then by length), so a
 *     key occurs once and lookups are binary searches.
 *   name pool: names of u16 length n (1..255) followed by n UTF-16 units,
 *     none of them 0 and the first not "#" (the Windows functions read
 *     "#123" as a number); names are matched ignoring case (the platform's
 *     simple case mapping), as Windows matches resource names.
 *   data: each entry's bytes lie wholly inside the file.
 *
 *   Resource types: 2 bitmap (a DIB: BITMAPINFOHEADER, colour table, bits;
 *   the .bmp file without its 14-byte file header), 3 icon (one image: a
 *   40-byte BITMAPINFOHEADER whose height is twice the icon's, BI_RGB of 1,
 *   4, 8, 24 or 32 bits, its colour table, the colour rows, then the 1-bit
 *   mask rows (set = transparent); rows bottom-up, each padded to 4 bytes;
 *   1 to 256 pixels a side), 5 dialog template
 *   (reserved), 6 string block, 10 raw data; any other number or name is an
 *   application type (the glyph set is type 260).
 *
 *   String block (type 6): strings are kept in blocks of 16 as Windows keeps
 *   them; block b (id b, 1..4096) holds strings 16 (b - 1) to 16 (b - 1) + 15.
 *   The data is exactly 16 records {u16 length n, n UTF-16 units, u16 0}:
 *   every string is terminated inside its block, so a pointer into it is a
 *   valid C string.  Length 0 means the string is absent (Windows cannot tell
 *   an empty string from a missing one either).
 *
 * Every offset, length and count is checked when a container is opened
 * (inside the file, no overflow, counts that fit, names and strings inside
 * their blocks, ascending keys); a container that fails any check is refused
 * with a status saying which, and nothing of it is used.
 */
#ifndef PLAT_RESOURCE_H
#define PLAT_RESOURCE_H

#include <plat/gdi_objects.h>
#include <plat/types.h>

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

/* Resource error codes (GetLastError values). */
#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11L
#endif
#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#endif
#ifndef ERROR_RESOURCE_TYPE_NOT_FOUND
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#endif
#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

/* A number passed where a resource name or type is expected. */
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)(WORD)(i))
#define MAKEINTRESOURCE MAKEINTRESOURCEW

#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)

/*
 * Copies string `id` of module `instance` into buf, at most cch - 1 units,
 * and terminates it; returns the number of units copied.  With cch 0, buf is
 * taken as a `const WCHAR **`: it receives a read-only pointer to the string
 * inside the module (terminated, valid while the module stays loaded), and
 * the string's full length is returned.  A missing or empty string returns 0
 * with last error ERROR_RESOURCE_NAME_NOT_FOUND (buf gets an empty string,
 * or a null pointer with cch 0); a handle without resources returns 0 with
 * ERROR_RESOURCE_DATA_NOT_FOUND; a null buf or a negative cch returns 0 with
 * ERROR_INVALID_PARAMETER.
 */
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buf, int cch);

/*
 * Finds resource `name` of type `type` in a container module.  Each of the
 * two is a number (MAKEINTRESOURCEW, or a "#123" text) or a name (matched
 * ignoring case).  Returns a handle for LoadResource and SizeofResource,
 * valid while the module stays loaded, or null with last error
 * ERROR_RESOURCE_DATA_NOT_FOUND (no container), ERROR_RESOURCE_TYPE_NOT_FOUND
 * or ERROR_RESOURCE_NAME_NOT_FOUND.
 */
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);

/*
 * The resource's data as a handle for LockResource (nothing is allocated);
 * null with ERROR_INVALID_HANDLE when info does not belong to module.
 */
HGLOBAL LoadResource(HMODULE module, HRSRC info);

/* A read-only pointer to the resource's bytes (the handle itself). */
LPVOID LockResource(HGLOBAL data);

/* The resource's size in bytes; 0 with ERROR_INVALID_HANDLE for a bad pair. */
DWORD SizeofResource(HMODULE module, HRSRC info);

/* Nothing to free: resources live as long as their module.  Returns FALSE. */
BOOL FreeResource(HGLOBAL data);

/* LoadImageW flags. */
#define LR_DEFAULTCOLOR 0x0000u
#define LR_MONOCHROME 0x0001u
#define LR_LOADFROMFILE 0x0010u
#define LR_DEFAULTSIZE 0x0040u
#define LR_SHARED 0x8000u

/*
 * Images of a resource module.  LoadImageW loads bitmap (IMAGE_BITMAP, type
 * 2) or icon (IMAGE_ICON, type 3) `name` of `instance`: a bitmap as a
 * 32-bit bitmap of the display's format, an icon as an HICON of its colour
 * and mask.  cx and cy give the size, each 0 meaning the stored size (with
 * LR_DEFAULTSIZE, SM_CXICON and SM_CYICON for icons); a different size is
 * stretched, nearest pixel.  LR_MONOCHROME keeps black and white only.
 * Every image loaded here belongs to the caller (DeleteObject for a
 * bitmap, DestroyIcon for an icon), LR_SHARED included: nothing is shared.
 * Fails with null and ERROR_RESOURCE_* (not found), ERROR_BAD_FORMAT (the
 * stored picture is malformed: every size, count and offset is checked
 * against the resource's bytes), ERROR_INVALID_PARAMETER (another image
 * type, a negative or larger than 256 size for an icon, more than 4,096
 * pixels a side for a bitmap) or ERROR_CALL_NOT_IMPLEMENTED (LR_LOADFROMFILE,
 * or a null instance: the system's own pictures are not offered).
 */
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);

/* LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE). */
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);

/* LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, 0). */
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);

namespace plat {

/* Why a container was refused. */
enum class RsrcStatus {
    ok = 0,
    too_small,              /* shorter than the header */
    bad_magic,              /* not a container */
    bad_version,            /* a version or header size this reader does not know */
    bad_header,             /* reserved field set, or bytes after the size the header gives */
    truncated,              /* shorter than the size the header gives */
    directory_out_of_range, /* directory misaligned, overlapping the header, or past the end */
    names_out_of_range,     /* name pool past the end */
    entry_out_of_range,     /* an entry's data misaligned or past the end */
    bad_key,                /* a number out of range or a name outside the pool */
    unsorted,               /* keys not strictly ascending (also: a key twice) */
    bad_string_block,       /* a string block with a wrong id or wrong size */
    string_not_terminated,  /* a string without its terminator inside its block */
    too_large,              /* larger than the reader accepts */
    no_memory,
};

/* A short English text for a status ("bad magic", ...), never null. */
const char *rsrc_status_text(RsrcStatus status);

/* An opened container image: the checked bytes and their directory. */
struct RsrcImage;
struct RsrcImageDeleter {
    void operator()(RsrcImage *image) const;
};
using RsrcImagePtr = std::unique_ptr<RsrcImage, RsrcImageDeleter>;

/* Largest container accepted (the format itself allows 4 GiB). */
constexpr size_t RSRC_MAX_SIZE = size_t(256) << 20;

/*
 * Checks `bytes` as a container and, when it is sound, sets `out` to an
 * image holding its own copy of the bytes.  Returns the status; on any
 * refusal `out` is left empty.
 */
RsrcStatus rsrc_open_image(std::span<const BYTE> bytes, RsrcImagePtr &out);

/* A resource type or id: a number, or a name matched ignoring case. */
struct RsrcKey {
    bool named = false;
    WORD number = 0;
    std::u16string_view name;
};

/* The key of a number, and of a name (viewed, not copied). */
inline RsrcKey rsrc_number(WORD number)
{
    RsrcKey k;
    k.number = number;
    return k;
}
inline RsrcKey rsrc_name(std::u16string_view name)
{
    RsrcKey k;
    k.named = true;
    k.name = name;
    return k;
}

/*
 * The key that a Windows argument denotes: a number made by MAKEINTRESOURCEW,
 * a "#123" text (a number), or a name.  False for null, an empty name or a
 * "#" text that is not a number up to 65535.
 */
bool rsrc_key_from(LPCWSTR arg, RsrcKey &key);

/*
 * The bytes of resource (type, id) inside the image, valid while the image
 * lives; false when there is none.
 */
bool rsrc_find(const RsrcImage &image, const RsrcKey &type, const RsrcKey &id, std::span<const BYTE> &data);

/*
 * String `id` of the image: a view of its units, followed in memory by a
 * terminating 0, valid while the image lives.  False when absent or empty.
 */
bool rsrc_string(const RsrcImage &image, UINT id, std::u16string_view &text);

/* One directory entry, for listing a container (tools, tests, fuzzing). */
struct RsrcEntryInfo {
    RsrcKey type;
    RsrcKey id;
    std::span<const BYTE> data;
};

/* Number of directory entries. */
size_t rsrc_entry_count(const RsrcImage &image);

/* Entry `index` (below rsrc_entry_count) in directory order; false otherwise. */
bool rsrc_entry(const RsrcImage &image, size_t index, RsrcEntryInfo &info);

/* ---- Module handles (the loader's hooks) --------------------------------- */

/*
 * Opens the container at Windows path `path` as a data-file module: the
 * loader calls this from LoadLibraryExW for LOAD_LIBRARY_AS_DATAFILE and
 * DONT_RESOLVE_DLL_REFERENCES loads, and for every file that is not a
 * driver library.  Opening the same file again while it is open returns the
 * same handle with one more reference.  Returns the handle, or null with
 * last error ERROR_MOD_NOT_FOUND (no such file, or a path the machine cannot
 * map), ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER (null path),
 * ERROR_BAD_FORMAT (not a sound container: a status is not reported here;
 * rsrc_open_image gives it) or ERROR_NOT_ENOUGH_MEMORY.  Each successful
 * call is matched by one rsrc_close.
 */
HMODULE rsrc_open_file(LPCWSTR path);

/*
 * A data-file module over a copy of `bytes` (tests, and modules a test
 * registers in-process).  Null with ERROR_BAD_FORMAT when the bytes are not
 * a sound container.  Closed with rsrc_close.
 */
HMODULE rsrc_open_bytes(std::span<const BYTE> bytes);

/*
 * Drops one reference on a data-file module, freeing it at the last; the
 * loader's FreeLibrary calls this first.  Returns true when `module` was a
 * data-file module of this table, false (nothing done, last error untouched)
 * for any other handle.
 */
bool rsrc_close(HMODULE module);

/* True when `module` is an open data-file module of this table. */
bool rsrc_is_data_module(HMODULE module);

/* The container behind a data-file module (null for other handles); valid
 * until the module is closed. */
const RsrcImage *rsrc_module_image(HMODULE module);

/* One string of a code module's own table. */
struct RsrcString {
    UINT id;
    const WCHAR *text;
};

/*
 * Registers the string table of a code module (a driver library, or a fake
 * a test registers) on its handle, so that LoadStringW(module, id, ...)
 * answers these strings.  The texts are copied; a second call replaces the
 * table.  False with ERROR_INVALID_PARAMETER for a null handle, a null text
 * or an id above 65535, with ERROR_INVALID_HANDLE for a data-file module.
 */
bool rsrc_attach_strings(HMODULE code_module, std::span<const RsrcString> table);

/* Forgets the string table of a code module (the loader calls this when the
 * module is unloaded); nothing happens for a handle without one. */
void rsrc_detach_strings(HMODULE code_module);

} // namespace plat

#endif /* PLAT_RESOURCE_H */
