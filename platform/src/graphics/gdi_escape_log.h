/*
 * The record and script of ExtEscape calls (see plat/gdi.h) as ExtEscape
 * (gdi_job.cpp) uses them.
 */
#ifndef PLAT_GDI_ESCAPE_LOG_H
#define PLAT_GDI_ESCAPE_LOG_H

#include <plat/gdi.h>
#include <plat/types.h>

namespace plat {

/*
 * True when the script answers escape `code` now: its answer in *answer and
 * its output written into `out` (at most `cbOut` bytes); that use is spent.
 */
bool gdi_escape_scripted(int code, int *answer, int cbOut, LPSTR out);

/* Records one escape call and its answer. */
void gdi_escape_record(HDC hdc, int code, int cbIn, LPCSTR in, int cbOut, int answer, bool scripted);

} // namespace plat

#endif /* PLAT_GDI_ESCAPE_LOG_H */
