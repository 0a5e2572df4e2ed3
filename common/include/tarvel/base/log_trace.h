/*
 * The trace log that field engineers switch on with the file "tarvel.cfg"
 * beside the driver: entry and exit lines of the exported entry points with
 * time stamp, process and thread, free-form lines, and dumps of devmodes and
 * settings.  Lines go to "c:\DEBUG_LOG\WIN2000\" + the library's trace file
 * (mapped below the machine's root), or to the debugger output when the
 * flag word's sign bit is set.  Nothing is written unless the switch file
 * says so.
 *
 * Switch file: section "LOG", key "Log" = the flag word (decimal, or
 * hexadecimal after "0x"/"0X", at most 10 characters; default 0), and any
 * number of "LOGOUT.DDMID=" lines naming up to 256 more settings for the
 * settings dumps.  The switch is read on first use and again whenever a
 * per-model configuration file is loaded.
 *
 * Each library that links the common library keeps its own switch, list,
 * path and file (hidden visibility).  The open file handle and its use count
 * are guarded by a lock, and every line is one WriteFile call made under it,
 * so no thread can close the file under another's write.
 *
 * The functions answer 1 when the line was written or tracing is off, 0 when
 * it was too long or could not be written; no caller needs to act on it.
 */
#ifndef TARVEL_LOG_TRACE_H
#define TARVEL_LOG_TRACE_H

#include <plat/types.h>

/* LogFlags bits. */
inline constexpr DWORD LOG_FLAG_ON = 0x1;             /* tracing on: nothing is written without it */
inline constexpr DWORD LOG_FLAG_ENTRY_EXIT = 0x2;     /* "IN <<" and "OUT>>" lines */
inline constexpr DWORD LOG_FLAG_DEVMODE = 0x4;        /* public devmode dumps and single private settings */
inline constexpr DWORD LOG_FLAG_FIELDS = 0x8;         /* dmFields dumps */
inline constexpr DWORD LOG_FLAG_PUBLIC_IDS = 0x10;    /* settings dumps list DDMIDs 1-25 */
inline constexpr DWORD LOG_FLAG_PRIVATE_IDS = 0x20;   /* settings dumps list DDMIDs 257-483 */
inline constexpr DWORD LOG_CATEGORY_MASK = 0x1F0000;  /* when set: dumps only of a shared category */
inline constexpr DWORD LOG_FLAG_DEBUGGER = 0x80000000; /* OutputDebugStringW instead of the file */

/* A line must stay below this many characters; longer text is not written. */
inline constexpr int LOG_LINE_LIMIT = 514;
/* Most extra settings the "LOGOUT.DDMID=" lines can name. */
inline constexpr int LOG_MAX_EXTRA_IDS = 256;
/* Longest "Log" value accepted, in characters. */
inline constexpr int LOG_MAX_FLAG_TEXT = 10;

/* Settings-dump categories used by the document-event merge and DrvDocumentProperties. */
inline constexpr DWORD LOG_CATEGORY_DOCEVENT_MERGE = 0x30000;
inline constexpr DWORD LOG_CATEGORY_DOCPROPS = 0x40000;

/*
 * Which trace file a library writes: the user-interface library
 * "DDI_PRNUI_TRACE_LOG.txt", the rendering library "DDI_UM_TRACE_LOG.txt".
 * A library chooses at build time by writing, once in one of its sources,
 *     LOG_TRACE_FILE_OF_LIBRARY(LOG_LIBRARY_USER_INTERFACE);
 * without it (the rendering library, tests) the rendering library's file is
 * used.  LOG_LibraryKind answers the choice: the common library's own
 * definition is a weak function, which the macro's definition replaces at
 * link time (a function, since a compiler may fold a constant's value).
 */
enum : int { LOG_LIBRARY_RENDERING = 0, LOG_LIBRARY_USER_INTERFACE = 1 };
int LOG_LibraryKind(void);
#define LOG_TRACE_FILE_OF_LIBRARY(kind)                                                                          \
    int LOG_LibraryKind(void)                                                                                    \
    {                                                                                                            \
        return (kind);                                                                                           \
    }                                                                                                            \
    static_assert(true, "the macro is followed by a semicolon")

/* ---- The switch ---------------------------------------------------------- */

/*
 * LOG_ReadSwitch: reads "tarvel.cfg" in the library's directory: the flag
 * word and the extra-setting list.  Returns 1 when the flags were read and
 * the list built, else 0: with the flags 0 for no directory or a "Log"
 * value longer than 10 characters or not a number, with the flags read and
 * an empty list when memory runs out.  Marks the switch as read.
 */
int LOG_ReadSwitch(void);

/* LOG_ReloadSwitch: reads the switch again (after a per-model configuration file is loaded). */
void LOG_ReloadSwitch(void);

/* LOG_IsEnabled: the flags' bit 0x1, reading the switch on first use. */
DWORD LOG_IsEnabled(void);

/* LOG_GetFlags: the whole flag word, reading the switch on first use. */
DWORD LOG_GetFlags(void);

/*
 * LOG_GetExtraIds: copies up to `capacity` of the extra settings into `ids`
 * (file order, duplicates dropped) and returns how many there are.
 */
int LOG_GetExtraIds(WORD *ids, int capacity);

/* ---- Lines ---------------------------------------------------------------- */

/* LOG_Printf: formats with wvsprintfW and writes the line (tracing on, 0x1). */
int LOG_Printf(LPCWSTR format, ...);

/*
 * LOG_TraceIn: the entry line of an exported entry point (flags 0x1 and
 * 0x2): "%m-%d-%Y %H:%M:%S " of the local time, "P[%08x] T[%08x] " with the
 * process and thread ids, "IN <<" and the function name.
 */
int LOG_TraceIn(LPCWSTR functionName);

/*
 * LOG_TraceOut: the exit line (flags 0x1 and 0x2): the caller's text is
 * formatted first (nothing when it reaches 514 characters), then written
 * after the same stamp and "OUT>>", with a CR LF of its own, so an empty
 * line follows every exit line in the file.
 */
int LOG_TraceOut(LPCWSTR format, ...);

/* ---- Dumps ----------------------------------------------------------------- */

/*
 * LOG_DumpPublicDevmode (flag 0x4): the title (null: "\r\n<PublicDevmode>")
 * and one line per DEVMODEW field.  A null devmode writes "lpdevmode = NULL"
 * and answers 0.
 */
int LOG_DumpPublicDevmode(LPCWSTR title, const void *devmode);

/*
 * LOG_DumpPrivateSetting (flag 0x4): the title (null: "\r\n<PrivateDevmode>")
 * and "FunctionID:%d(0x%X)       = " with the setting's value (read through
 * the data manager); nothing after the title when the read fails.  A null
 * image writes "lpdevmode = NULL" and answers 0.
 */
int LOG_DumpPrivateSetting(LPCWSTR title, void *image, WORD id);

/*
 * LOG_DumpFields (flag 0x8): the title (null: "\r\n<dmFields>") and one
 * "name = ON" / "name = OFF" line per dmFields bit.  A null devmode writes
 * "lpDevmode = NULL" and answers 0.
 */
int LOG_DumpFields(LPCWSTR title, const void *devmode);

/*
 * LOG_DumpSettings: the title (when given), a line of 69 "-", the settings
 * 1-25 (flag 0x10), 257-483 (flag 0x20) and the extra settings, and the
 * dashed line again.  Nothing when both records are null, tracing is off, no
 * setting is selected, or the category mask is in use and `category` shares
 * no bit with the flags.
 */
int LOG_DumpSettings(DWORD category, LPCWSTR title, void *image, void *printerData);

/*
 * LOG_DumpSetting: one "[0x%04x] = [...]" line for setting `id`, formatted
 * by its value type; nothing for id 0 or a failed read.
 */
int LOG_DumpSetting(WORD id, void *image, void *printerData);

/* ---- The file ---------------------------------------------------------------- */

/*
 * LOG_Open: keeps the trace file open for a run of lines (tracing on and
 * not to the debugger): opens it at its end, or counts one more user of the
 * open file.  Returns 1 when the file is open.  Pair with LOG_Release.
 */
int LOG_Open(void);

/* LOG_Release: counts one user less and closes the file at the last one. */
void LOG_Release(void);

/*
 * LOG_WriteLine: writes one line (below 514 characters) with CR LF: to the
 * debugger output when the sign bit is set, else in the ANSI code page at
 * the end of the file (opened for this line alone when it is not open).
 */
int LOG_WriteLine(LPCWSTR text);

/*
 * Test-only: forgets the switch, the list and the path, and closes the file
 * (call after plat::machine_reset).
 */
void LOG_ResetForTest(void);

#endif /* TARVEL_LOG_TRACE_H */
