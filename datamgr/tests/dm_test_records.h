/*
 * Test helpers of the data manager: zero-filled settings records allocated
 * at their exact sizes (so AddressSanitizer sees any access past a record),
 * exact-size value buffers, and small typed read and write wrappers.
 */
#ifndef TARVEL_DATAMGR_TEST_RECORDS_H
#define TARVEL_DATAMGR_TEST_RECORDS_H

#include "plat/types.h"
#include "setting_access.h"
#include "tarvel/datamgr.h"
#include "tarvel/setting_layout.h"

#include <cstring>
#include <memory>
#include <vector>

namespace dmtest {

/* A settings image (devmode + extension block) and a printer-data record. */
struct Records {
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printer = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);

    BYTE *dm() { return image.data(); }
    BYTE *ext() { return image.data() + SETTINGS_DEVMODE_SIZE; }
    BYTE *pd() { return printer.data(); }
    /* The record a kind names (kind 1: the extension block). */
    BYTE *base(WORD kind) { return kind == SRK_DEVMODE ? dm() : kind == SRK_EXTENSION ? ext() : pd(); }
};

/* A zero-filled heap buffer holding exactly the bytes given (at least one byte). */
inline std::unique_ptr<BYTE[]> ExactBytes(const void *bytes, size_t n)
{
    std::unique_ptr<BYTE[]> p(new BYTE[n > 0 ? n : 1]());
    if (n > 0)
        std::memcpy(p.get(), bytes, n);
    return p;
}

/* Result of one read: status, type, size, the whole slot and the kind. */
struct Read {
    WORD status;
    WORD type;
    LONG size;
    BYTE slot[8];
    WORD kind;

    ULONGLONG value() const
    {
        ULONGLONG v;
        std::memcpy(&v, slot, sizeof v);
        return v;
    }
};

/* Reads with a slot, type, size and kind pre-filled with patterns. */
inline Read Get(WORD id, void *devmode, void *printerData)
{
    Read r{};
    r.type = 0xBEEF;
    r.size = 0x5A5A5A5A;
    std::memset(r.slot, 0xA5, sizeof r.slot);
    r.kind = 0x7777;
    r.status = dma_GetValue(id, devmode, printerData, &r.type, &r.size, r.slot, &r.kind);
    return r;
}

inline Read Get(WORD id, Records &rec) { return Get(id, rec.dm(), rec.pd()); }

/*
 * Writes a number from a buffer of exactly `size` bytes: the value's
 * little-endian bytes, zero beyond the eighth.
 */
inline WORD SetNumber(WORD id, Records &rec, WORD type, LONG size, ULONGLONG value)
{
    std::vector<BYTE> bytes(size > 0 ? static_cast<size_t>(size) : 0, 0);
    if (!bytes.empty())
        std::memcpy(bytes.data(), &value, bytes.size() < sizeof value ? bytes.size() : sizeof value);
    auto buf = ExactBytes(bytes.data(), bytes.size());
    return dma_SetValue(id, rec.dm(), rec.pd(), type, size, buf.get());
}

/* Writes a wide string handed over as a pointer to its pointer. */
inline WORD SetString(WORD id, Records &rec, const WCHAR *text, LONG size)
{
    const WCHAR *p = text;
    return dma_SetValue(id, rec.dm(), rec.pd(), SVT_WSTRING, size, &p);
}

} // namespace dmtest

#endif /* TARVEL_DATAMGR_TEST_RECORDS_H */
