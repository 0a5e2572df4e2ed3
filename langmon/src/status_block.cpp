/*
 * The device status block: the Base64 "STS:" field of the device ID decoded
 * into 66 bytes, and spread over the port's status values, its device
 * information block (the "LM_" values) and its flow-control figures.  The
 * block's multi-byte fields are big-endian.
 */
#include "status.h"
#include "status_tables.h"

#include <plat/clock.h>

#include <atomic>
#include <cstring>

namespace {

/* Base64 value of a character; '=' counts as 0; -1 outside the alphabet (the common library's decoder
   counts such characters as 0, but the status field skips them, so it must tell them apart). */
int b64(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    if (c == '=')
        return 0;
    return -1;
}

/* Big-endian reads of the block. */
DWORD be16(const DeviceStatusBlock *b, size_t at) { return DWORD(b->bytes[at]) << 8 | b->bytes[at + 1]; }
DWORD be32(const DeviceStatusBlock *b, size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

/* Offsets of the block's fields. */
constexpr size_t kStatusCode = 0, kHwErrorHigh = 4, kHwErrorLow = 6, kHwDetail = 8, kSelector = 12, kJobState = 13,
                 kMemory = 14, kCover = 15, kSupplies = 17, kDrums = 25, kTrays = 36, kTrayStride = 6, kFeed = 54,
                 kFedPaper = 55, kOptions = 56, kJam = 58, kBlockKB = 62, kFreeBlocks = 63;

constexpr WORD kTrayIds[3] = {2001, 1, 2};
constexpr WORD kFeederIds[8] = {2001, 1, 2, 3, 4, 0, 0, 0};

/* Stores a fixed-size value (allocating its row) and marks it changed when it differs. */
bool store(MonitorPort *port, const char *name, const void *value)
{
    StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE);
    if (!row || !LMS_StoreValue(row, value))
        return false;
    row->changed = 1;
    return true;
}

bool store_word(MonitorPort *port, const char *name, DWORD v) { return store(port, name, &v); }

/* Remaining level of a supply or drum word: bits 0-6 of its high byte, 0x77 (none) as 254. */
BYTE level_of(DWORD word)
{
    const BYTE level = BYTE((word >> 8) & 0x7F);
    return level == 0x77 ? 254 : level;
}

BYTE supply_error(DWORD w)
{
    static constexpr BYTE kStart[4] = {1, 10, 255, 0};
    BYTE v = kStart[w & 3];
    if ((w & 0x4) && v != 10 && v != 2)
        v = 3;
    else if (w & 0x8)
        v = 11;
    else if (w & 0x10)
        v = 12;
    else if (w & 0x20)
        v = 18;
    else if (w & 0x40)
        v = 7;
    else if (w & 0x80)
        v = 8;
    else if (w & 0x8000)
        v = 9;
    if ((w & 0x7F03) == 0x7703)
        v = 6;
    else if ((w & 0x7F03) == 0x7701)
        v = 17;
    return v;
}

constexpr BYTE kDrumStart[4] = {1, 2, 255, 0};

/* The trays: "PrinterBinConfig", the tray rows, the feeder.  Answers the status class, turned into paper out. */
DWORD apply_trays(const DeviceStatusBlock *b, MonitorPort *port, DWORD statusClass)
{
    BYTE list[40] = {};
    DWORD count = 0;
    DeviceInfoBlock &info = port->deviceInfo;
    for (DWORD i = 0; i < 3; ++i) {
        DWORD word = be16(b, kTrays + i * kTrayStride);
        const DWORD state = word >> 14;
        if (!state)
            continue;
        if (state == 1)
            word |= 1u << 13;
        static constexpr WORD kStateCodes[4] = {0, 2001, 1, 3};
        static constexpr BYTE kLevels[4] = {253, 253, 0, 254};
        const TrayPaper &paper = LMS_TrayPaper(word & 0x1F);
        const TrayMedia &media = LMS_TrayMedia((word >> 8) & 0x1F);
        BYTE *e = list + 4 + count * 12;
        const WORD id = kTrayIds[i], stateCode = kStateCodes[state], size = WORD(paper.sizeCode);
        std::memcpy(e, &id, 2);
        std::memcpy(e + 2, &stateCode, 2);
        std::memcpy(e + 4, &size, 2);
        e[6] = kLevels[(word >> 12) & 3];
        e[7] = BYTE(media.binCode);
        ++count;
        DeviceTrayRow &row = info.trays[i];
        row = DeviceTrayRow{i + 1, 3, i + 1, media.trayCode, paper.trayCode & 0xFFFF, paper.shortEdge,
                            paper.longEdge, paper.feedFlags & 0xFFFF};
    }
    info.trays[0].kind = 5;
    info.trays[0].number = 1;
    info.trayCount = count;
    std::memcpy(list, &count, 4);
    if (StatusVariable *row = LMS_LookupVariable("PrinterBinConfig", port))
        if (LMS_StoreValue(row, list))
            row->changed = 1;

    const BYTE feed = b->bytes[kFeed];
    const WORD feeder = kFeederIds[feed >> 5];
    DWORD position = 0;
    for (DWORD i = 0; i < count; ++i) {
        WORD id;
        std::memcpy(&id, list + 4 + i * 12, 2);
        if (id == feeder) {
            position = i;
            break;
        }
    }
    const bool queued = port->jobQueueHead != nullptr;
    if (queued)
        store_word(port, "CurrentFeeder", feeder);

    BYTE noPaper[8] = {};
    const WORD fedSize = WORD(LMS_TrayPaper(b->bytes[kFedPaper]).sizeCode);
    std::memcpy(noPaper, &feeder, 2);
    std::memcpy(noPaper + 2, &fedSize, 2);
    noPaper[4] = BYTE(LMS_TrayMedia(feed & 0x1F).binCode);
    /* a paper problem at an empty feeding tray while jobs wait is shown as paper out */
    if (queued && statusClass == 22 && count && list[4 + position * 12 + 6] == 0)
        statusClass = 33;
    store(port, "ErrNoPaper2", noPaper);
    return statusClass;
}

void apply_options(const DeviceStatusBlock *b, MonitorPort *port)
{
    const DWORD options = be16(b, kOptions);
    DeviceInfoBlock &info = port->deviceInfo;
    if (options & 0x1) {
        LMS_AddOption(1, 1, 0, port);
        info.duplexUnit = 1;
    } else {
        LMS_RemoveOption(1, 1, port);
        info.duplexUnit = 0;
    }
    if (options & 0x2) {
        LMS_AddOption(7001, 7001, 1, port);
        info.hardDisk = 1;
    } else {
        LMS_RemoveOption(7001, 7001, port);
        info.hardDisk = 0;
    }
    if (options & 0x4)
        LMS_AddOption(3001, 3001, 1, port);
    else
        LMS_RemoveOption(3001, 3001, port);
    info.ramDisk = (options >> 14) & 1;
}

void apply_errors(const DeviceStatusBlock *b, MonitorPort *port)
{
    store_word(port, "ErrHWError", be16(b, kHwErrorHigh) * 65536u + be16(b, kHwErrorLow));
    store_word(port, "ErrHWErrorDetail", be32(b, kHwDetail));
    BYTE supplies[4];
    for (int i = 0; i < 4; ++i)
        supplies[i] = supply_error(be16(b, kSupplies + 2 * i));
    store(port, "ErrSupplies", supplies);

    /* Bytes 1 and 3 are left as the supply codes of supplies 1 and 3: the status program
       has always been given them that way, as the two values share one work area. */
    BYTE periodic[4] = {0, supplies[1], 0, supplies[3]};
    const DWORD drum29 = be16(b, kDrums + 4), drum27 = be16(b, kDrums + 2);
    periodic[0] = kDrumStart[drum29 & 3];
    if (periodic[0] == 255) {
        if (drum29 & 0x4)
            periodic[0] = 3;
        else if (drum29 & 0x40)
            periodic[0] = 7;
        else if (drum29 & 0x80)
            periodic[0] = 5;
    }
    periodic[2] = kDrumStart[drum27 & 3];
    if (periodic[2] == 255 && (drum27 & 0x4))
        periodic[2] = 3;
    store(port, "ErrPeriodicChange", periodic);

    port->deviceBlockKB = b->bytes[kBlockKB];
    LMS_SetFreeBlocks(port, static_cast<signed char>(b->bytes[kFreeBlocks]));
    port->deviceFreeBytes = DWORD(b->bytes[kBlockKB]) * b->bytes[kFreeBlocks] * 1024u;
}

bool is_idle_class(DWORD c) { return c == 43 || c == 46 || c == 47 || c == 49; }

void apply_status_class(const DeviceStatusBlock *b, MonitorPort *port, DWORD statusClass)
{
    LMS_BindLmValues(port);
    const bool queued = port->jobQueueHead != nullptr;
    const bool jobOpen = LMP_TestState(port, ST_JOB_OPEN);
    if (is_idle_class(statusClass) && (!jobOpen || LMP_TestState(port, ST_END_SENT))) {
        LMP_StoreWord(port->jobEndSeen, 1);
        if (port->releaseOnIdle) {
            if (!port->idleSkip || !std::atomic_ref<HANDLE>(port->threadEvent).load()) {
                LMS_ReleaseAllJobs(port);
                port->releaseOnIdle = 0;
                port->idleSkip = 1;
            } else {
                port->idleSkip = 0;
            }
        }
        if (!port->jobQueueHead || jobOpen) {
            port->jobEndCount = 0;
        } else if (port->jobEndCount >= 2) {
            /* the third idle block in a row with jobs still queued: the device has finished them */
            LMS_FinishJobs(port, TRUE);
            port->jobEndCount = 0;
        } else {
            ++port->jobEndCount;
        }
    } else {
        port->jobEndCount = 0;
    }
    if (statusClass == 7 || (b->bytes[kJobState] == 2 && statusClass != 39 && !queued))
        LMP_StoreWord(port->jobEndSeen, 1);
    if (statusClass == 4)
        LMS_UpdateJobStatusBits(port, 0x4, TRUE);
    else if (!LMP_TestState(port, ST_END_SENT))
        LMS_UpdateJobStatusBits(port, 0x4, FALSE);

    DWORD icon = 0, words[3];
    LMS_StatusClassWords(statusClass, &icon, words);
    store(port, "PrinterStatus", words);
    store_word(port, "IconState", icon);
}

} // namespace

bool LMS_DecodeStatusField(const char *text, DeviceStatusBlock *block)
{
    if (!text || !block)
        return false;
    size_t length = 0;
    while (text[length] && text[length] != ';' && length <= LM_STATUS_FIELD_CHARS)
        ++length;
    if (length != LM_STATUS_FIELD_CHARS)
        return false;
    DeviceStatusBlock out{};
    size_t filled = 0;
    for (size_t at = 0; at < LM_STATUS_FIELD_CHARS;) {
        if (b64(BYTE(text[at])) < 0) {
            ++at;
            continue;
        }
        if (at + 4 > LM_STATUS_FIELD_CHARS)
            return false;
        DWORD group = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int v = b64(BYTE(text[at + k]));
            if (v < 0)
                return false;
            group = group << 6 | DWORD(v);
        }
        at += 4;
        if (filled + 3 > LM_STATUS_BLOCK_FILLED)
            return false; /* cannot happen within 90 characters; kept as the block's bound */
        out.bytes[filled++] = BYTE(group >> 16);
        out.bytes[filled++] = BYTE(group >> 8);
        out.bytes[filled++] = BYTE(group);
    }
    *block = out;
    return true;
}

int LMS_ApplyStatusBlock(const DeviceStatusBlock *b, MonitorPort *port)
{
    if (!b || !port)
        return 0;
    LMP_Lock(port);
    const DWORD code = be32(b, kStatusCode);
    if (StatusVariable *row = LMS_FindVariable("FWStatus", port->statusVariables, port, TRUE)) {
        LMS_StoreValue(row, &code);
        row->changed = 1;
    }
    DWORD jam = be32(b, kJam);
    if (code == 150)
        jam |= 0x20000000;
    else if (code == 151)
        jam |= 0x40000000;
    DWORD statusClass = LMS_StatusClass(code, b->bytes[kSelector]);
    port->devicePrinting = (statusClass == 19 || statusClass == 43) ? 1 : 0;

    DeviceInfoBlock &info = port->deviceInfo;
    const BYTE memory = b->bytes[kMemory];
    info.memoryMB = DWORD(memory) * 32;
    info.memoryKB = info.memoryMB * 1024;
    if (memory)
        store_word(port, "PrinterMemory", info.memoryKB);

    store_word(port, "ErrCoverOpen", be16(b, kCover) ^ 7);

    BYTE toner[4], drums[4] = {};
    for (int i = 0; i < 4; ++i)
        toner[i] = level_of(be16(b, kSupplies + 2 * i));
    drums[0] = level_of(be16(b, kDrums + 4));
    drums[1] = level_of(be16(b, kDrums + 2));
    drums[2] = level_of(be16(b, kDrums));
    store(port, "TonerRemain", toner);
    store(port, "CRURemain", drums);
    store_word(port, "ErrPaperJam", jam);

    statusClass = apply_trays(b, port, statusClass);
    apply_options(b, port);
    apply_errors(b, port);
    apply_status_class(b, port, statusClass);
    LMP_Unlock(port);
    return 1;
}
