/*
 * The segment recorder of the output channel (see output_segment.h).  Its
 * idle state is complete; writing and reading side records wait for page
 * recording and fail visibly until then.
 */
#include "output_segment.h"

#include <plat/debug.h>
#include <plat/error.h>

namespace {

/* The answer of a recorder call that is not built yet: a debugger line naming it and the last error. */
void seg_NotBuilt(LPCWSTR line)
{
    OutputDebugStringW(line);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace

void SEG_Init(SegmentRecorder *recorder)
{
    if (!recorder)
        return;
    *recorder = SegmentRecorder{};
    recorder->state = SEG_STATE_IDLE;
    recorder->firstSide = -1;
    recorder->lastSide = -1;
}

int SEG_BeginWrite(SegmentRecorder *recorder, SpoolFile *file)
{
    (void)recorder;
    (void)file;
    seg_NotBuilt(u"SEG_BeginWrite: not built yet\n");
    return -1;
}

int SEG_AddSideRecord(SegmentRecorder *recorder, SpoolFile *file, WORD type, WORD length, const void *payload)
{
    (void)recorder;
    (void)file;
    (void)type;
    (void)length;
    (void)payload;
    seg_NotBuilt(u"SEG_AddSideRecord: not built yet\n");
    return -1;
}

LONG SEG_EndWrite(SegmentRecorder *recorder)
{
    (void)recorder;
    seg_NotBuilt(u"SEG_EndWrite: not built yet\n");
    return -1;
}

int SEG_BeginRead(SegmentRecorder *recorder, SpoolFile *file, const PagePosition *page)
{
    (void)recorder;
    (void)file;
    (void)page;
    seg_NotBuilt(u"SEG_BeginRead: not built yet\n");
    return -1;
}
