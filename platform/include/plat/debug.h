/*
 * Debugger output.  OutputDebugStringW/A text is kept in an in-memory log
 * that tests read and clear; with TARVEL_DEBUG_ECHO set in the environment
 * each text is also written to stderr (as UTF-8) as it arrives.
 *
 * The log never holds more than 4 Mi characters: past that, the oldest text
 * is dropped (keeping at least the newest 3 Mi), so that a chatty process
 * cannot grow it without bound.  machine_reset clears it.
 */
#ifndef PLAT_DEBUG_H
#define PLAT_DEBUG_H

#include <plat/types.h>

#include <string>

/* Appends a wide text to the debugger output; a null text is ignored. */
void OutputDebugStringW(LPCWSTR text);

/*
 * Appends a narrow text to the debugger output; a null text is ignored.
 * Bytes are taken as Latin-1 (the ASCII range is exact).
 */
void OutputDebugStringA(LPCSTR text);

namespace plat {

/* Everything written to the debugger output since the last clear. */
std::u16string debug_output();

/* Empties the debugger output log. */
void debug_clear();

} // namespace plat

#endif /* PLAT_DEBUG_H */
