/*
 * The work record of the font-substitution dialog: the machine's TrueType
 * full names (collected by EnumFontFamiliesW through the callbacks of
 * util_ui_services.h), the working substitution table and the model's
 * device-font names.  GlobalAlloc memory throughout, freed with
 * UTL_FreeFaceNameList.
 */
#ifndef TARVEL_FONT_SUB_WORK_H
#define TARVEL_FONT_SUB_WORK_H

#include <plat/gdi.h>
#include <plat/types.h>

/* One TrueType full name of the list. */
struct FaceNameNode {
    FaceNameNode *next;
    LPWSTR face;       /* NUL-terminated */
    DWORD deviceFont;  /* the dialog's device-font entry for the face (0: none) */
};

/* Characters of a device-font name, with its terminator. */
inline constexpr DWORD FONT_SUB_NAME_CHARS = 33;

struct FontSubWork {
    FaceNameNode *faces;      /* in enumeration order */
    DWORD faceCount;
    DWORD faceBytes;          /* the names' bytes with their terminators */
    HDC desktopDc;            /* the device context enumerated, during the enumeration */
    LPWSTR table;             /* the working FontSubTable */
    DWORD deviceFontCount;
    WCHAR (*deviceFontNames)[FONT_SUB_NAME_CHARS];
    BOOL allWentWell;         /* cleared when a name could not be kept */
};

#endif /* TARVEL_FONT_SUB_WORK_H */
