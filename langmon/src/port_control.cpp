/*
 * Data the monitor itself sends and reads on a port: control data (PJL
 * header, trailer, queries) with its pending output and retries, the two
 * job-data writers of bidirectional ports, and the read loops that collect
 * what the device has queued.
 */
#include "monitor.h"

#include <plat/clock.h>
#include <plat/error.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kWriteTries = 50;
constexpr DWORD kTryPauseMs = 1000;
constexpr DWORD kJobChunk = 4096;
constexpr DWORD kTailBytes = 80;
constexpr DWORD kGrowBytes = 4096;
/* Bounds of the read loops: a device that keeps failing, or never stops talking. */
constexpr unsigned kMaxEmptyFailures = 8;
constexpr DWORD kMaxReadBytes = 1u << 20;

struct TryResult {
    BOOL ok;
    DWORD moved;
    DWORD error;
};

/* Up to 50 writes of the whole data, 1000 ms apart, until one moves at least a byte. */
TryResult write_with_retries(MonitorPort *port, LPBYTE data, DWORD length)
{
    TryResult r{FALSE, 0, 0};
    for (unsigned attempt = 0; attempt < kWriteTries; ++attempt) {
        if (attempt)
            Sleep(kTryPauseMs);
        r.ok = LMP_PortWrite(port, data, length, &r.moved);
        r.error = GetLastError();
        if (r.moved)
            break;
    }
    if (r.moved == 1)
        port->stallTick = GetTickCount();
    return r;
}

/* Keeps the last 80 bytes of data[0, length) in heldTail, terminated. */
void hold_tail(MonitorPort *port, const BYTE *data, DWORD length)
{
    const DWORD n = std::min(length, kTailBytes);
    if (n)
        std::memcpy(port->heldTail, data + length - n, n);
    port->heldTail[n] = 0;
}

/*
 * Opens the port monitor's port with the status document unless it is open;
 * `opened` says whether this call opened it.  A USB port that cannot be
 * opened is taken as gone when `markUnreachable`.
 */
bool open_if_closed(MonitorPort *port, bool &opened, bool markUnreachable)
{
    opened = false;
    if (LMP_TestState(port, ST_PORT_OPEN))
        return true;
    if (!LMP_OpenStatusDoc(port)) {
        if (markUnreachable && (port->portKind & KIND_USB)) {
            LMP_SetState(port, ST_UNREACHABLE);
            port->portMode = 0;
        }
        return false;
    }
    LMP_SetState(port, ST_PORT_OPEN);
    opened = true;
    return true;
}

void close_if_opened(MonitorPort *port, bool opened)
{
    if (!opened)
        return;
    const DWORD error = GetLastError();
    LMP_PortEndDoc(port);
    LMP_ClearState(port, ST_PORT_OPEN);
    SetLastError(error);
}

/* Keeps bytes as pending output; FALSE when the heap refuses. */
BOOL keep_pending(MonitorPort *port, const BYTE *data, DWORD length)
{
    return LMU_AppendBytes(&port->pendingOutput, &port->pendingLength, data, length);
}

/*
 * Reads one chunk into buffer; `failed` tells a chunk the USB failure rule
 * made up (nothing came from the device).
 */
DWORD read_chunk(MonitorPort *port, BYTE *buffer, DWORD size, bool &failed)
{
    DWORD got = 0;
    SetLastError(0);
    const BOOL ok = port->portMonitor.pfnReadPort ? LMP_PortRead(port, buffer, size, &got) : FALSE;
    failed = ok && got && GetLastError() == ERROR_GEN_FAILURE;
    return ok ? got : 0;
}

DWORD chunk_size(const MonitorPort *port) { return (port->portKind & KIND_USB) ? 1024 : 1023; }

} // namespace

BOOL LMP_SendControlData(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written, BOOL keepOnFailure,
                         BOOL onlyIfIdentified)
{
    DWORD moved = 0;
    if (!written)
        written = &moved;
    if (!LMP_CheckIo(port, data, length, written))
        return FALSE;
    if (onlyIfIdentified && (!(port->portKind & KIND_BIDI) || !LMP_TestState(port, ST_IDENTIFIED)))
        return FALSE;
    bool opened = false;
    if (!open_if_closed(port, opened, false))
        return FALSE;

    const bool usb = port->portKind & KIND_USB;
    BOOL result = TRUE;
    bool pendingDone = true;
    if (port->pendingOutput && port->pendingLength) {
        if (port->writeBlocked == 1) {
            pendingDone = false;
        } else {
            const TryResult r = write_with_retries(port, port->pendingOutput, port->pendingLength);
            if (r.moved >= port->pendingLength) {
                LMU_DropFront(&port->pendingOutput, &port->pendingLength, port->pendingLength);
            } else {
                pendingDone = false;
                /* bytes the port monitor took are never sent twice, even from a failed USB write */
                LMU_DropFront(&port->pendingOutput, &port->pendingLength, r.moved);
                SetLastError(r.moved == 0 || (usb && !r.ok) ? r.error : 0);
            }
        }
        if (!pendingDone) {
            result = FALSE;
            const DWORD error = GetLastError();
            if (keepOnFailure && length)
                keep_pending(port, data, length);
            SetLastError(error);
        }
    }

    if (pendingDone && length) {
        if (port->writeBlocked == 1) {
            if (keepOnFailure)
                keep_pending(port, data, length);
            result = FALSE;
        } else {
            const TryResult r = write_with_retries(port, data, length);
            *written = r.moved;
            if (r.moved >= length) {
                result = TRUE;
            } else if (r.moved && (!usb || r.ok)) {
                /* the rest goes out first with the next control data */
                keep_pending(port, data + r.moved, length - r.moved);
                result = TRUE;
            } else {
                /* a failed USB write may have moved a part: only the rest is kept */
                if (keepOnFailure)
                    keep_pending(port, data + r.moved, length - r.moved);
                SetLastError(r.error);
                result = FALSE;
            }
        }
    }

    close_if_opened(port, opened);
    if (result && (port->portMode & 0x2))
        LMP_LowerFreeBytes(port, *written);
    return result;
}

BOOL LMP_WriteJobDataDirect(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written)
{
    DWORD moved = 0;
    if (!written)
        written = &moved;
    if (!LMP_CheckIo(port, data, length, written))
        return FALSE;
    const BOOL ok = LMP_PortWrite(port, data, length, written);
    const DWORD error = GetLastError();
    hold_tail(port, data, std::min(length, kJobChunk));
    if (!ok && error == ERROR_TIMEOUT)
        port->lastWriteError = error;
    if (!ok && (error == WSAECONNRESET || error == ERROR_PRINT_CANCELLED)) {
        port->lastWriteError = error;
        SetLastError(error);
        return FALSE;
    }
    SetLastError(error);
    return TRUE;
}

BOOL LMP_WriteJobDataPaced(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written)
{
    DWORD moved = 0;
    if (!written)
        written = &moved;
    if (!LMP_CheckIo(port, data, length, written))
        return FALSE;
    const DWORD offered = std::min(length, kJobChunk);
    const BOOL ok = LMP_PortWrite(port, data, offered, written);
    const DWORD error = GetLastError();
    if (!ok && error == ERROR_TIMEOUT)
        port->lastWriteError = error;
    hold_tail(port, data, offered);
    LMP_LowerFreeBytes(port, *written);
    SetLastError(error);
    return 1;
}

BOOL LMP_ReadAll(MonitorPort *port, BYTE **buffer, DWORD *capacity, DWORD *length)
{
    if (!port || !buffer || !capacity || !length || (!*buffer && *capacity) || *length > *capacity) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(port->portKind & KIND_BIDI))
        return TRUE;
    bool opened = false;
    if (!open_if_closed(port, opened, true))
        return FALSE;
    const DWORD chunk = chunk_size(port);
    BOOL result = TRUE;
    unsigned failures = 0;
    while (*length <= kMaxReadBytes) {
        if (*capacity - *length < chunk) {
            BYTE *grown = static_cast<BYTE *>(LMU_Alloc(SIZE_T(*capacity) + kGrowBytes));
            if (!grown) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                result = FALSE;
                break;
            }
            if (*length)
                std::memcpy(grown, *buffer, *length);
            LMU_Free(*buffer);
            *buffer = grown;
            *capacity += kGrowBytes;
            continue;
        }
        bool failed = false;
        const DWORD got = read_chunk(port, *buffer + *length, chunk, failed);
        if (!got)
            break;
        *length += got;
        failures = failed ? failures + 1 : 0;
        if (failures >= kMaxEmptyFailures)
            break;
    }
    close_if_opened(port, opened);
    return result;
}

BOOL LMS_ReadFromPort(MonitorPort *port, BOOL notify)
{
    if (!port) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(port->portKind & KIND_BIDI))
        return 1;
    bool opened = false;
    if (!open_if_closed(port, opened, true))
        return FALSE;
    DWORD flags = 0;
    if (LMP_TestState(port, LM_ST_REPLY_PENDING))
        flags |= 0x4;
    if (port->replyCarry)
        flags |= 0x40;
    const DWORD chunk = chunk_size(port);
    BYTE *raw = static_cast<BYTE *>(LMU_Alloc(chunk + 1));
    unsigned failures = 0;
    DWORD total = 0;
    while (raw && total <= kMaxReadBytes) {
        bool failed = false;
        const DWORD got = read_chunk(port, raw, chunk, failed);
        if (!got)
            break;
        failures = failed ? failures + 1 : 0;
        total += got;
        raw[got] = 0;
        /* the text is what was held back from the last read followed by this chunk */
        char *text = port->partialReply;
        port->partialReply = nullptr;
        if (!LMU_AppendString(&text, reinterpret_cast<const char *>(raw))) {
            port->partialReply = text;
            break;
        }
        const char *cursor = text;
        int answer = 0;
        while (*cursor) {
            const char *before = cursor;
            answer = LMS_FeedReply(text, &cursor, port, notify, &flags);
            if (answer != 1 && answer != 2 && cursor == before)
                answer = 2; /* a parser that consumes nothing would loop for ever */
            if (answer == 1) {
                port->partialReply = LMU_DupNarrow(cursor);
                break;
            }
            if (answer == 2)
                break;
        }
        LMU_Free(text);
        if (failures >= kMaxEmptyFailures)
            break;
        if (port->partialReply && std::strlen(port->partialReply) > kMaxReadBytes) {
            /* a reply that never ends is dropped rather than held for ever */
            LMU_Free(port->partialReply);
            port->partialReply = nullptr;
        }
    }
    LMU_Free(raw);
    close_if_opened(port, opened);
    if (flags & 0x4)
        LMP_SetState(port, LM_ST_REPLY_PENDING);
    else
        LMP_ClearState(port, LM_ST_REPLY_PENDING);
    if (flags & 0x1) {
        if (!LMP_TestState(port, LM_ST_REPLY_PENDING)) {
            LMP_SetState(port, LM_ST_REPLY_DONE);
            LMP_ClearState(port, LM_ST_REPLY_WAIT);
        }
        LMP_ClearState(port, LM_ST_REPLY_PENDING);
    }
    if (flags & 0x80000000u)
        LMP_ClearState(port, LM_ST_REPLY_QUERY);
    port->replyCarry = (flags & 0x40) ? 1 : 0;
    return 1;
}
