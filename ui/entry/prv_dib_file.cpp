/*
 * The bitmap file reader (see prv_dib_file.h): the whole file is read into
 * memory (up to a bound), checked, and unpacked into a packed DIB.
 */
#include "prv_dib_file.h"

#include <tarvel/base/res_module.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr WORD kBitmapType = 0x4D42; /* "BM" */
constexpr size_t kFileHeader = 14;
constexpr DWORD kCoreHeader = 12, kInfoHeader = 40;
constexpr DWORD kBiRle8 = 1, kBiRle4 = 2;
constexpr DWORD kMaxColours = 256;

/* The path that failed last: a message is shown only for another one. */
struct LastFailure {
    std::mutex lock;
    std::u16string path;
};

LastFailure &last_failure()
{
    static LastFailure *f = new LastFailure;
    return *f;
}

void report(LPCWSTR path, HWND owner, UINT message)
{
    LastFailure &f = last_failure();
    {
        std::lock_guard<std::mutex> g(f.lock);
        std::u16string p = path ? path : u"";
        if (p == f.path)
            return;
        f.path = p;
    }
    WCHAR text[512] = {}, caption[256] = {};
    LoadStringW(RES_GetResourceModule(), message, text, 512);
    LoadStringW(RES_GetResourceModule(), PRV_MSG_CAPTION, caption, 256);
    MessageBoxW(owner, text, caption, MB_ICONEXCLAMATION | MB_OK);
}

bool valid_bit_count(WORD bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

/* The info header of the file at `at` (12 or 40 bytes there), converted to 40 bytes; false when unusable. */
bool read_header(const BYTE *file, size_t size, BITMAPINFOHEADER *h, DWORD *fileHeaderSize)
{
    if (size < kFileHeader + 4)
        return false;
    const DWORD headerSize = plat::load_u32(file, kFileHeader);
    if ((headerSize != kCoreHeader && headerSize != kInfoHeader) || size < kFileHeader + headerSize)
        return false;
    *fileHeaderSize = headerSize;
    std::memset(h, 0, sizeof *h);
    h->biSize = kInfoHeader;
    if (headerSize == kCoreHeader) {
        h->biWidth = plat::load_u16(file, kFileHeader + 4);
        h->biHeight = plat::load_u16(file, kFileHeader + 6);
        h->biPlanes = plat::load_u16(file, kFileHeader + 8);
        h->biBitCount = plat::load_u16(file, kFileHeader + 10);
    } else {
        std::memcpy(h, file + kFileHeader, kInfoHeader);
        h->biSize = kInfoHeader;
    }
    return true;
}

/* The header's sizes checked: a bit count and compression that go together, sides within bounds. */
bool sound_header(const BITMAPINFOHEADER &h, DWORD fileHeaderSize)
{
    if (!valid_bit_count(h.biBitCount))
        return false;
    const LONGLONG height = h.biHeight < 0 ? -LONGLONG(h.biHeight) : LONGLONG(h.biHeight);
    if (h.biWidth <= 0 || height == 0 || h.biWidth > PRV_MAX_DIB_SIDE || height > PRV_MAX_DIB_SIDE)
        return false;
    switch (h.biCompression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (fileHeaderSize != kInfoHeader || (h.biBitCount != 16 && h.biBitCount != 32))
            return false;
        break;
    case kBiRle8:
    case kBiRle4:
        /* A compressed image needs its stated size, and is stored bottom-up. */
        if (h.biSizeImage == 0 || h.biHeight < 0 || h.biBitCount != (h.biCompression == kBiRle8 ? 8 : 4))
            return false;
        break;
    default:
        return false;
    }
    if (h.biClrUsed > kMaxColours)
        return false;
    return PRV_DibRowBytes(&h) <= PRV_MAX_DIB_PIXELS && h.biSizeImage <= PRV_MAX_DIB_PIXELS;
}

} // namespace

ULONGLONG PRV_DibRowBytes(const BITMAPINFOHEADER *h)
{
    if (!h || h->biWidth <= 0)
        return 0;
    const ULONGLONG height = h->biHeight < 0 ? ULONGLONG(-LONGLONG(h->biHeight)) : ULONGLONG(h->biHeight);
    return (ULONGLONG(h->biBitCount) * ULONGLONG(h->biWidth) + 31) / 32 * 4 * height;
}

DWORD PRV_DibColourCount(const BITMAPINFOHEADER *h)
{
    if (!h)
        return 0;
    if (h->biSize != kCoreHeader && h->biClrUsed)
        return h->biClrUsed;
    switch (h->biBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

DWORD PRV_GetDibColorTableSize(const BITMAPINFOHEADER *h)
{
    if (!h)
        return 0;
    if (h->biSize == kCoreHeader)
        return PRV_DibColourCount(h) * 3;
    return PRV_DibColourCount(h) * 4 + (h->biCompression == BI_BITFIELDS ? 12 : 0);
}

int PRV_ReadDibHeader(const BYTE *dib, BITMAPINFOHEADER *header)
{
    if (!dib || !header)
        return 0;
    std::memcpy(header, dib, sizeof *header);
    if (header->biSize != kCoreHeader && header->biSizeImage == 0)
        header->biSizeImage = DWORD(PRV_DibRowBytes(header));
    return 1;
}

UINT PRV_ParseDib(const BYTE *file, size_t size, BYTE **dib)
{
    if (!dib)
        return PRV_MSG_BAD_BITMAP;
    *dib = nullptr;
    if (!file || size < kFileHeader)
        return PRV_MSG_BAD_BITMAP;
    if (plat::load_u16(file, 0) != kBitmapType)
        return PRV_MSG_NO_BITMAP;
    BITMAPINFOHEADER h{};
    DWORD fileHeaderSize = 0;
    if (!read_header(file, size, &h, &fileHeaderSize) || !sound_header(h, fileHeaderSize))
        return PRV_MSG_BAD_BITMAP;

    const ULONGLONG computed = PRV_DibRowBytes(&h);
    const DWORD stated = h.biSizeImage;
    if (h.biSizeImage == 0)
        h.biSizeImage = DWORD(computed);
    if (h.biClrUsed == 0)
        h.biClrUsed = PRV_DibColourCount(&h);
    const DWORD colours = h.biClrUsed;
    const bool masks = h.biCompression == BI_BITFIELDS;

    /* The colour table and masks must lie in the file, right behind the header. */
    const size_t tableAt = kFileHeader + fileHeaderSize;
    const ULONGLONG entryBytes = fileHeaderSize == kCoreHeader ? 3 : 4;
    const ULONGLONG tableBytes = ULONGLONG(colours) * entryBytes + (masks ? 12 : 0);
    if (tableAt + tableBytes > size)
        return PRV_MSG_BAD_BITMAP;

    /* The pixels: from the stated offset (or behind the table); the stated size must lie in the file. */
    const DWORD offset = plat::load_u32(file, 10);
    const ULONGLONG pixelsAt = offset ? offset : tableAt + tableBytes;
    if (pixelsAt > size || ULONGLONG(stated) > size - pixelsAt)
        return PRV_MSG_BAD_BITMAP; /* a stated size past the end of the file */

    const ULONGLONG area = ULONGLONG(h.biSizeImage) > computed ? h.biSizeImage : computed;
    const ULONGLONG head = sizeof h + ULONGLONG(colours) * 4 + (masks ? 12 : 0);
    BYTE *out = static_cast<BYTE *>(GlobalAlloc(GPTR, size_t(head + area)));
    if (!out)
        return PRV_MSG_BAD_BITMAP;
    std::memcpy(out, &h, sizeof h);
    BYTE *table = out + sizeof h;
    for (DWORD i = 0; i < colours; i++)
        std::memcpy(table + 4 * size_t(i), file + tableAt + entryBytes * i, size_t(entryBytes));
    if (masks)
        std::memcpy(table + 4 * size_t(colours), file + tableAt + 4 * size_t(colours), 12);
    /* A file that ends early leaves the rest of its rows zero. */
    const ULONGLONG available = size - pixelsAt;
    const ULONGLONG take = ULONGLONG(h.biSizeImage) < available ? h.biSizeImage : available;
    std::memcpy(out + head, file + pixelsAt, size_t(take));
    *dib = out;
    return 0;
}

BYTE *PRV_LoadDibFile(LPCWSTR path, HWND owner)
{
    HANDLE f = path ? CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                    : INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE) {
        report(path, owner, PRV_MSG_NO_BITMAP);
        return nullptr;
    }
    LARGE_INTEGER size{};
    std::vector<BYTE> bytes;
    UINT failure = 0;
    if (!GetFileSizeEx(f, &size) || size.QuadPart < 0 || ULONGLONG(size.QuadPart) > PRV_MAX_DIB_FILE) {
        failure = PRV_MSG_BAD_BITMAP;
    } else {
        bytes.resize(size_t(size.QuadPart));
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD piece = DWORD(bytes.size() - done < 32768 ? bytes.size() - done : 32768);
            DWORD got = 0;
            if (!ReadFile(f, bytes.data() + done, piece, &got, nullptr) || got == 0)
                break;
            done += got;
        }
        bytes.resize(done);
    }
    CloseHandle(f);
    BYTE *dib = nullptr;
    if (!failure)
        failure = PRV_ParseDib(bytes.data(), bytes.size(), &dib);
    if (failure) {
        report(path, owner, failure);
        return nullptr;
    }
    return dib;
}

void PRV_ResetLastFailureForTest()
{
    LastFailure &f = last_failure();
    std::lock_guard<std::mutex> g(f.lock);
    f.path.clear();
}
