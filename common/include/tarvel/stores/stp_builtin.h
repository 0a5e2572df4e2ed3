/*
 * The built-in stamps: six stamps a new stamp store starts with, a default
 * stamp for a request without a name, and the font a new stamp starts with.
 * Their names, texts, face names and font numbers are resource strings of
 * the resource module (RES_GetResourceModule), so they can be localised; a
 * name, text or face name whose string is missing or empty is "Undefined",
 * a missing number is 0.
 *
 * A stamp is an 832-byte StampRecord and a font a 92-byte LOGFONTW, both
 * kept as byte records (the stamp record is also the stored format of the
 * stamps store); the offsets are below.
 */
#ifndef TARVEL_STP_BUILTIN_H
#define TARVEL_STP_BUILTIN_H

#include <plat/types.h>

/* The StampRecord: 832 bytes. */
inline constexpr DWORD STP_RECORD_SIZE = 832;
inline constexpr DWORD STP_OFF_NAME = 0;        /* 66 bytes: up to 32 characters and a NUL (setting 297) */
inline constexpr DWORD STP_OFF_TEXT = 66;       /* 130 bytes: up to 64 characters and a NUL (setting 299) */
inline constexpr DWORD STP_OFF_COLOR = 196;     /* 32-bit RGB colour (setting 301) */
inline constexpr DWORD STP_OFF_300 = 200;       /* 32 bits (setting 300) */
inline constexpr DWORD STP_OFF_1287 = 204;      /* 32-bit flag (setting 1287) */
inline constexpr DWORD STP_OFF_302 = 208;       /* 16 bits (setting 302) */
inline constexpr DWORD STP_OFF_303 = 210;       /* 16 bits (setting 303) */
inline constexpr DWORD STP_OFF_1288 = 212;      /* 32-bit flag (setting 1288) */
inline constexpr DWORD STP_OFF_FONT = 216;      /* 92-byte LOGFONTW (setting 304) */
inline constexpr DWORD STP_OFF_NUMBER = 308;    /* 16 bits (1000 in every built-in stamp) */
inline constexpr DWORD STP_OFF_USER_FLAG = 310; /* 16-bit flag, 0 for built-in stamps */
inline constexpr DWORD STP_NAME_CHARS = 32;
inline constexpr DWORD STP_TEXT_CHARS = 64;

/* The LOGFONTW record: 92 bytes. */
inline constexpr DWORD STP_FONT_SIZE = 92;
inline constexpr DWORD STP_LF_HEIGHT = 0;
inline constexpr DWORD STP_LF_WIDTH = 4;
inline constexpr DWORD STP_LF_ESCAPEMENT = 8;
inline constexpr DWORD STP_LF_ORIENTATION = 12;
inline constexpr DWORD STP_LF_WEIGHT = 16;
inline constexpr DWORD STP_LF_ITALIC = 20;
inline constexpr DWORD STP_LF_UNDERLINE = 21;
inline constexpr DWORD STP_LF_STRIKEOUT = 22;
inline constexpr DWORD STP_LF_CHARSET = 23;
inline constexpr DWORD STP_LF_OUTPRECISION = 24;
inline constexpr DWORD STP_LF_CLIPPRECISION = 25;
inline constexpr DWORD STP_LF_QUALITY = 26;
inline constexpr DWORD STP_LF_PITCHANDFAMILY = 27;
inline constexpr DWORD STP_LF_FACENAME = 28;    /* 32 characters with the NUL */
inline constexpr DWORD STP_LF_FACE_CHARS = 32;

/* Result codes used here (those of the stamps store). */
inline constexpr int STP_OK = 1;
inline constexpr int STP_BUFFER_TOO_SMALL = 12;
inline constexpr int STP_BAD_ARGUMENT = 99;

/* The number of built-in stamps. */
inline constexpr int STP_BUILTIN_COUNT = 6;

/* A font definition: numbers behind string ids are resource strings read with _wtoi. */
struct StampFontDefinition {
    UINT heightId;
    LONG width;
    UINT escapementId;
    UINT orientationId;
    LONG weight;
    BYTE italic;
    BYTE underline;
    BYTE strikeOut;
    UINT charSetId;
    BYTE outPrecision;
    BYTE clipPrecision;
    BYTE quality;
    BYTE pitchAndFamily;
    UINT faceId;
};

/* A stamp definition: name and text string ids, the record's values, the font. */
struct StampDefinition {
    UINT nameId;
    UINT textId;
    DWORD color;     /* at 196 */
    DWORD value300;  /* at 200 */
    DWORD flag1287;  /* at 204 */
    WORD value302;   /* at 208 */
    WORD value303;   /* at 210 */
    DWORD flag1288;  /* at 212 */
    StampFontDefinition font;
    WORD number;     /* at 308 */
};

/* The six built-in stamps, the default stamp and the new stamps' font. */
extern const StampDefinition StpBuiltInStamps[STP_BUILTIN_COUNT];
extern const StampDefinition StpDefaultStamp;
extern const StampFontDefinition StpDefaultFont;

/*
 * STP_LoadFont: fills the 92-byte `font` from `definition` (zero-filled
 * first).  Returns 1, 0 for a null argument.
 */
BOOL STP_LoadFont(BYTE *font, const StampFontDefinition *definition);

/* STP_GetDefaultFont: STP_LoadFont with the new stamps' font.  Returns 1, 0 for a null font. */
BOOL STP_GetDefaultFont(BYTE *font);

/*
 * STP_LoadBuiltInStamp: fills the 832-byte `record` from `definition`
 * (zero-filled first).  Returns 1, 0 for a null argument.
 */
BOOL STP_LoadBuiltInStamp(BYTE *record, const StampDefinition *definition);

/*
 * STP_GetBuiltInName: the name of built-in stamp `index` (0-5) into `name`
 * of STP_NAME_CHARS + 1 characters ("Undefined" when its string is missing).
 * Returns 1, 0 for a bad index or a null buffer.
 */
BOOL STP_GetBuiltInName(int index, LPWSTR name);

/* STP_IsBuiltInName: 1 when `name` equals one of the six built-in names exactly. */
BOOL STP_IsBuiltInName(LPCWSTR name);

/*
 * STP_ListBuiltInNames: the six names as a multi-string (each name with its
 * NUL, then one more NUL).  *size (bytes, in: the buffer's size) always
 * receives the size needed.  Returns 1 with the names and *count = 6; 1 with
 * only the size when neither buffer nor count is given; STP_BUFFER_TOO_SMALL
 * when the buffer is null or smaller than needed; STP_BAD_ARGUMENT for a
 * null size.
 */
int STP_ListBuiltInNames(LPWSTR buffer, DWORD *count, DWORD *size);

#endif /* TARVEL_STP_BUILTIN_H */
