/*
 * The row coders: run-length (PackBits) and delta row, the raw row copy
 * and the pixel helpers.  Every write goes through a small cursor that
 * knows the end of the caller's buffer, so a buffer that is too small stops
 * the coder instead of being overrun.
 */
#include "cmp_raster.h"

#include <plat/error.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

/* Most bytes a literal or repeat run holds here (a literal that ends the row may hold one more). */
constexpr DWORD kMaxRun = 127;

/* Most replacement bytes of one delta-row command. */
constexpr DWORD kMaxReplace = 8;

/* An offset of this or more continues in the bytes after the command byte. */
constexpr DWORD kOffsetEscape = 31;

/* Largest command byte count the 16-bit delta-row count holds. */
constexpr DWORD kMaxDeltaCount = 0xFFFF;

/* Output cursor: counts every byte, stores them while they fit; `out` null only counts. */
struct Sink {
    BYTE *out;
    DWORD size;
    DWORD used;

    bool fits(DWORD n) const { return out == nullptr || size - used >= n; }
    /* false (nothing written) when the n bytes do not fit */
    bool put(const BYTE *bytes, DWORD n)
    {
        if (!fits(n))
            return false;
        if (out != nullptr && n != 0)
            std::memcpy(out + used, bytes, n);
        used += n;
        return true;
    }
    bool put(BYTE b) { return put(&b, 1); }
};

LONG fail(DWORD error)
{
    SetLastError(error);
    return -1;
}

/* Adds `n` to `*total`; false (total unchanged, ERROR_INVALID_PARAMETER) when it would pass 32 bits. */
bool addTotal(DWORD *total, DWORD n)
{
    if (*total > 0xFFFFFFFFu - n) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *total += n;
    return true;
}

/* The runs of `row` into `sink`; false when the sink is full. */
bool rleRuns(Sink &sink, const BYTE *row, DWORD n)
{
    if (n == 1)
        return sink.put(BYTE(0)) && sink.put(row[0]);
    DWORD j = 0;
    while (j < n) {
        if (row[j] == row[j + 1]) {
            DWORD count = 2;
            while (count < kMaxRun && j + count < n && row[j + count] == row[j])
                count++;
            if (!sink.put(BYTE(1 - int(count))) || !sink.put(row[j]))
                return false;
            j += count;
            if (n - j == 1)
                return sink.put(BYTE(0)) && sink.put(row[j]);
            continue;
        }
        /* A literal stops before a pair of equal bytes; a lone last byte joins it. */
        DWORD end = j;
        while (end < n && end - j < kMaxRun && (end + 1 == n || row[end] != row[end + 1]))
            end++;
        if (n - end == 1)
            end = n;
        if (!sink.put(BYTE(end - j - 1)) || !sink.put(row + j, end - j))
            return false;
        j = end;
    }
    return true;
}

/* One command: its byte, the offset's continuation bytes, the replacement bytes; false when the sink is full. */
bool putCommand(Sink &sink, const BYTE *bytes, DWORD offset, DWORD count)
{
    const BYTE command = BYTE((count - 1) << 5);
    if (offset < kOffsetEscape)
        return sink.put(BYTE(command | offset)) && sink.put(bytes, count);
    if (!sink.put(BYTE(command | kOffsetEscape)))
        return false;
    for (offset -= kOffsetEscape; offset >= 255; offset -= 255)
        if (!sink.put(BYTE(255)))
            return false;
    return sink.put(BYTE(offset)) && sink.put(bytes, count);
}

/* The delta-row commands of `row` against `seed` into `sink`; false when the sink is full. */
bool deltaCommands(Sink &sink, const BYTE *row, const BYTE *seed, DWORD n)
{
    DWORD last = 0; /* end of the previous command */
    DWORD pos = 0;
    while (pos < n) {
        if (row[pos] == seed[pos]) {
            pos++;
            continue;
        }
        const DWORD start = pos;
        while (pos < n && pos - start < kMaxReplace && row[pos] != seed[pos])
            pos++;
        if (!putCommand(sink, row + start, start - last, pos - start))
            return false;
        last = pos;
    }
    return true;
}

/* Where the first differing byte of two unequal 8-byte words lies, in bytes from the lower address. */
DWORD firstDifference(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t x = a ^ b;
    if constexpr (std::endian::native == std::endian::little)
        return DWORD(std::countr_zero(x)) / 8;
    else
        return DWORD(std::countl_zero(x)) / 8;
}

/*
 * The same commands as deltaCommands, written straight into `out`, which
 * holds at least the bound of an n-byte row less its count: no room check
 * per byte, and equal stretches skipped eight bytes at a time.  Answers the
 * bytes written.
 */
DWORD deltaCommandsUnchecked(BYTE *out, const BYTE *row, const BYTE *seed, DWORD n)
{
    BYTE *o = out;
    DWORD last = 0;
    DWORD pos = 0;
    while (pos < n) {
        for (; pos + 8 <= n; pos += 8) {
            std::uint64_t a, b;
            std::memcpy(&a, row + pos, 8);
            std::memcpy(&b, seed + pos, 8);
            if (a != b) {
                pos += firstDifference(a, b);
                break;
            }
        }
        while (pos < n && row[pos] == seed[pos])
            pos++;
        if (pos == n)
            break;
        const DWORD start = pos;
        const DWORD stop = n - start < kMaxReplace ? n : start + kMaxReplace;
        for (pos++; pos < stop && row[pos] != seed[pos]; pos++) {
        }
        const DWORD count = pos - start;
        DWORD offset = start - last;
        const BYTE command = BYTE((count - 1) << 5);
        if (offset < kOffsetEscape) {
            *o++ = BYTE(command | offset);
        } else {
            *o++ = BYTE(command | kOffsetEscape);
            for (offset -= kOffsetEscape; offset >= 255; offset -= 255)
                *o++ = 255;
            *o++ = BYTE(offset);
        }
        for (DWORD i = 0; i < count; i++)
            o[i] = row[start + i];
        o += count;
        last = pos;
    }
    return DWORD(o - out);
}

} // namespace

LONG CMP_RleEncode(BYTE *out, DWORD outSize, const BYTE *row, DWORD n)
{
    if (n == 0)
        return 0;
    if (row == nullptr || n > CMP_MAX_ROW_BYTES)
        return fail(ERROR_INVALID_PARAMETER);
    Sink sink{out, outSize, 0};
    if (!rleRuns(sink, row, n))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    return LONG(sink.used);
}

BYTE *CMP_RleEncodeRow(BYTE *out, DWORD outSize, const BYTE *row, DWORD n, const BYTE *tail, DWORD tailLength,
                       DWORD *total)
{
    if (out == nullptr || total == nullptr || (tail == nullptr && tailLength != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG coded = CMP_RleEncode(out, outSize, row, n);
    if (coded < 0)
        return nullptr;
    BYTE *end = CMP_AppendRaw(out + coded, outSize - DWORD(coded), tail, tailLength, nullptr, 0);
    if (end == nullptr || !addTotal(total, DWORD(end - out)))
        return nullptr;
    return end;
}

BYTE *CMP_AppendRaw(BYTE *out, DWORD outSize, const BYTE *row, DWORD length, const BYTE *tail, DWORD tailLength)
{
    if (out == nullptr || (row == nullptr && length != 0) || (tail == nullptr && tailLength != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (length > outSize || tailLength > outSize - length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    Sink sink{out, outSize, 0};
    sink.put(row, length);
    sink.put(tail, tailLength);
    return out + sink.used;
}

LONG CMP_DeltaRowCommand(BYTE *out, DWORD outSize, const BYTE *bytes, DWORD offset, DWORD count)
{
    if (out == nullptr || bytes == nullptr || count < 1 || count > kMaxReplace)
        return fail(ERROR_INVALID_PARAMETER);
    Sink sink{out, outSize, 0};
    const bool ok = putCommand(sink, bytes, offset, count);
    if (!ok)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    return LONG(sink.used);
}

LONG CMP_DeltaRowEncode(BYTE *out, DWORD outSize, const BYTE *row, const BYTE *seed, DWORD seedSize, DWORD n)
{
    if (out == nullptr || (n != 0 && (row == nullptr || seed == nullptr)) || n > seedSize || n > CMP_MAX_ROW_BYTES)
        return fail(ERROR_INVALID_PARAMETER);
    if (outSize < 2)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    if (outSize >= CMP_DeltaRowBound(n)) {
        /* Room for the worst case: one pass, the count checked after. */
        const DWORD used = deltaCommandsUnchecked(out + 2, row, seed, n);
        if (used > kMaxDeltaCount)
            return fail(ERROR_BAD_LENGTH);
        out[0] = BYTE(used & 0xFF);
        out[1] = BYTE(used >> 8);
        return LONG(2 + used);
    }
    /* Count first: a row whose commands pass the 16-bit count must go another way, untouched. */
    Sink counter{nullptr, 0, 0};
    deltaCommands(counter, row, seed, n);
    if (counter.used > kMaxDeltaCount)
        return fail(ERROR_BAD_LENGTH);
    if (counter.used > outSize - 2)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    out[0] = BYTE(counter.used & 0xFF);
    out[1] = BYTE(counter.used >> 8);
    Sink sink{out + 2, outSize - 2, 0};
    deltaCommands(sink, row, seed, n);
    return LONG(2 + sink.used);
}

BYTE *CMP_DeltaRowEncodeRow(BYTE *out, DWORD outSize, const BYTE *row, BYTE *seed, DWORD seedSize, DWORD n,
                            DWORD *total)
{
    if (total == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG coded = CMP_DeltaRowEncode(out, outSize, row, seed, seedSize, n);
    if (coded < 0 || !addTotal(total, DWORD(coded)))
        return nullptr;
    if (n != 0)
        std::memmove(seed, row, n);
    return out + coded;
}

LONG CMP_PackFirstChannel(BYTE *out, DWORD outSize, const BYTE *pixels, DWORD width, DWORD rows)
{
    const ULONGLONG count = ULONGLONG(width) * rows;
    if ((count != 0 && (out == nullptr || pixels == nullptr)) || count * 3 > 0xFFFFFFFFull)
        return fail(ERROR_INVALID_PARAMETER);
    if (count > outSize)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    for (ULONGLONG i = 0; i < count; i++)
        out[i] = pixels[i * 3];
    return LONG(count);
}

int CMP_SwapRgb(BYTE *pixels, DWORD width, DWORD rows)
{
    const ULONGLONG count = ULONGLONG(width) * rows;
    if ((count != 0 && pixels == nullptr) || count * 3 > 0xFFFFFFFFull)
        return fail(ERROR_INVALID_PARAMETER);
    for (ULONGLONG i = 0; i < count; i++) {
        BYTE *p = pixels + i * 3;
        const BYTE first = p[0];
        p[0] = p[2];
        p[2] = first;
    }
    return 0;
}
