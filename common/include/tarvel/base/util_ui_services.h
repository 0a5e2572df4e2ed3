/*
 * Utilities that only the user-interface library's pages and document
 * events call: the administrator check, the availability of the job-prompt
 * component, the TrueType full-name list of the font-substitution dialog,
 * and the stub interface of the fax destination service (an outside
 * service this system does not contain).
 *
 * The TrueType list needs a service that is not built yet (GDI font
 * enumeration).  Until it is, each of its functions
 * answers its failure value with last error ERROR_CALL_NOT_IMPLEMENTED and
 * writes one debugger line naming itself ("<name>: not built yet"), so a
 * caller fails visibly instead of seeing success for work not done.  The
 * stub interface answers exactly its fixed values; its open, query and
 * request also leave ERROR_CALL_NOT_IMPLEMENTED as the last error.
 */
#ifndef TARVEL_UTIL_UI_SERVICES_H
#define TARVEL_UTIL_UI_SERVICES_H

#include <plat/types.h>

struct ModelContext;
struct FontSubWork;

/*
 * 1 when the process token's groups hold the Administrators alias
 * (S-1-5-32-544), whatever the group's attributes; else 0 (also when the
 * token cannot be read).
 */
BOOL UTL_IsUserAdmin(void);

/*
 * Sets *available to 0, then to 1 when the model has capability bit 43 and
 * the job-information component can be created (tarvel/base/job_info_component.h;
 * it is released at once, and COM initialised around it).  Returns 1, or 0
 * for a missing argument.
 */
BOOL UTL_IsComComponentAvailable(ModelContext *model, BOOL *available);

/*
 * EnumFontFamiliesW callbacks of the TrueType full-name list: the first,
 * over families, enumerates each TrueType family's fonts with the second,
 * which adds each font's full name to the list in the work record `data`.
 * Arguments as GDI passes them (ENUMLOGFONTW, NEWTEXTMETRICW, font type,
 * the caller's value; `data` is the FontSubWork of tarvel/base/font_sub_work.h,
 * whose desktopDc is enumerated).  A name already in the list is not added
 * again (exact comparison).  1 to go on; 0 when a name could not be kept
 * (the list is then incomplete: allWentWell cleared) or `data` is null.
 */
int UTL_EnumFamilyFontsProc(const void *logFont, const void *textMetric, DWORD fontType, LPARAM data);
int UTL_CollectFullNameProc(const void *logFont, const void *textMetric, DWORD fontType, LPARAM data);

/* Frees the name list of the font-substitution dialog's work record, its table and device-font names, and the record. */
void UTL_FreeFaceNameList(FontSubWork *work);

/* ---- Stub interface of the fax destination service ----------------------- */

/* Answers of the stub interface (callers treat anything but 1 as "unavailable"). */
#define STB_ERR_NULL_ARGUMENT (-1)
#define STB_ERR_NO_MEMORY (-5)
#define STB_ERR_UNAVAILABLE (-100)
#define STB_ERR_NO_QUERY (-101)

/* A reply of the service: a GlobalAlloc record whose buffer (when set) is a GlobalAlloc block too. */
struct StbReply {
    LPVOID buffer;
    DWORD size;
};

/* Opens the service for a printer: always STB_ERR_UNAVAILABLE (-100). */
int STB_Open(LPCWSTR printerName);

/* Asks the service: always STB_ERR_NO_QUERY (-101). */
int STB_Query(HANDLE service, LPCVOID query);

/*
 * Sends a request: -1 when one of the four pointers is null; -5 when the
 * 16-byte request block cannot be allocated (it is freed again at once when
 * it can); else -100.  Nothing is kept and *reply is never set.
 */
int STB_Request(HANDLE service, LPCVOID request, StbReply **reply, LPVOID context);

/* Frees a reply's buffer (when set) and the reply.  1, or -1 for null. */
int STB_FreeReply(StbReply *reply);

#endif /* TARVEL_UTIL_UI_SERVICES_H */
