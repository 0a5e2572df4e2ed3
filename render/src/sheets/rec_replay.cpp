/*
 * The replay of one recorded page: its bytes are copied from the spool file
 * to the output channel, and at each side record the replay acts (a new
 * BeginPage, an EndPage, the page transform placed in its cell).
 */
#include "page_recording_replay.h"

#include "job_settings.h"
#include "form_overlay.h"
#include "output_channel.h"
#include "page_geometry.h"
#include "page_recording_direct.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <cstring>

namespace {

enum : WORD {
    ID_FORM_MODE = 339,
};

/* Bytes copied from the spool file to the channel at a time. */
constexpr DWORD REPLAY_PIECE = 1024;

DWORD rpl_FormMode(PdevContext *pdev)
{
    DWORD v = 0;
    PDEV_GetSetting32(pdev, ID_FORM_MODE, &v);
    return v;
}

/* Copies page bytes to the channel up to the next stop.  0, or -1. */
int rpl_CopyToStop(OutputChannel *channel, BYTE *piece)
{
    for (;;) {
        LONG n = SEG_ReadData(&channel->recorder, &channel->spoolFile, piece, REPLAY_PIECE);
        if (n < 0)
            return -1;
        if (n > 0 && OUT_Write(channel, DWORD(n), piece) != n)
            return -1;
        if (DWORD(n) < REPLAY_PIECE)
            return 0;
    }
}

/* Acts on one side record (its header just read).  0, or -1. */
int rpl_Act(PdevContext *pdev, const SideHeader &header, DWORD actions, BYTE colorCode,
            const PageTransform *cellTransform, SHORT mediaSource)
{
    switch (header.type) {
    case SEG_PAGE_START:
        return (actions & REC_REPLAY_PAGE_START) ? REC_ReplayPageStart(pdev, colorCode, mediaSource) : 0;
    case SEG_END_OF_PAGE:
        return (actions & REC_REPLAY_PAGE_END) ? XL_EndPage(pdev, 0) : 0;
    case SEG_SHEET_MARK:
        return 0;
    case SEG_PAGE_TRANSFORM:
        return REC_ReplayTransform(pdev, (actions & REC_REPLAY_IN_CELL) ? cellTransform : nullptr);
    default:
        return -1;
    }
}

} // namespace

int REC_ReplayPageStart(PdevContext *pdev, BYTE colorCode, SHORT mediaSource)
{
    if (!pdev || !pdev->channel)
        return -1;
    OutputChannel *channel = pdev->channel;
    DWORD mode = rpl_FormMode(pdev);
    BYTE payload[REC_PAGE_START_SIZE];
    if (SEG_ReadPayload(&channel->recorder, &channel->spoolFile, payload, sizeof payload) != 0)
        return -1;
    if (SheetPipelineState *sheet = JOB_SheetState(pdev)) {
        std::memcpy(&sheet->paper, payload + REC_PS_PAPER, sizeof sheet->paper);
        sheet->tray = WORD(payload[REC_PS_TRAY] | payload[REC_PS_TRAY + 1] << 8);
    }
    BYTE code = colorCode ? colorCode : payload[REC_PS_COLOR];
    /* a form's page starts with its header comments instead of a BeginPage */
    if (mode == 1)
        return OVL_WriteFormInfo(pdev, code);
    /* 0xFF is the recorded "none known" (-1). */
    BYTE stored = payload[REC_PS_SOURCE];
    SHORT source = mediaSource >= 0 ? mediaSource : stored == 0xFF ? SHORT(-1) : SHORT(stored);
    SHORT size = payload[REC_PS_SIZE] == REC_CUSTOM_SIZE ? SHORT(-1) : SHORT(payload[REC_PS_SIZE]);
    FLOAT width = 0, height = 0;
    std::memcpy(&width, payload + REC_PS_CUSTOM, 4);
    std::memcpy(&height, payload + REC_PS_CUSTOM + 4, 4);
    if (REC_WritePageStart(pdev, OVL_PageColorCode(pdev, code), source, size, width, height) != 0)
        return -1;
    return mode == 2 ? OVL_RunAtPageStart(pdev, TRUE) : 0;
}

int REC_ReplayTransform(PdevContext *pdev, const PageTransform *cellTransform)
{
    if (!pdev || !pdev->channel)
        return -1;
    PageTransform t{};
    if (SEG_ReadPayload(&pdev->channel->recorder, &pdev->channel->spoolFile, &t, sizeof t) != 0)
        return -1;
    if (cellTransform)
        LAY_Multiply(&t, cellTransform);
    return XL_ApplyCtm(pdev->ctmTracker, &t);
}

int REC_ReplayPage(PdevContext *pdev, DWORD pageIndex, DWORD actions, BYTE colorCode,
                   const PageTransform *cellTransform, SHORT mediaSource)
{
    if (!pdev || !pdev->channel || pdev->channel->mode == OUT_MODE_RECORD ||
        ((actions & REC_REPLAY_IN_CELL) && !cellTransform))
        return -1;
    OutputChannel *channel = pdev->channel;
    if (OUT_GetPagePosition(channel, pageIndex) != 0)
        return -1;
    /* Every recorded transform is sent again, whatever the tracker last sent. */
    LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    BYTE piece[REPLAY_PIECE];
    int rc = 0;
    for (;;) {
        if (rpl_CopyToStop(channel, piece) != 0) {
            rc = -1;
            break;
        }
        SideHeader header{};
        int r = SEG_ReadSideHeader(&channel->recorder, &channel->spoolFile, &header);
        if (r == SEG_READ_PAGE_END)
            break;
        if (r != SEG_READ_RECORD || rpl_Act(pdev, header, actions, colorCode, cellTransform, mediaSource) != 0) {
            rc = -1;
            break;
        }
    }
    XL_SetCtmValid(pdev->ctmTracker, valid);
    SEG_EndRead(&channel->recorder);
    return rc;
}
