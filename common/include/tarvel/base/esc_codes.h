/*
 * The private escapes between the user-interface library and the rendering
 * library: their numbers, the sizes of their payloads and the layout of the
 * annotation record.  The user-interface library sends them with ExtEscape
 * on the application's device context; the rendering library answers them
 * in DrvEscape.
 */
#ifndef TARVEL_ESC_CODES_H
#define TARVEL_ESC_CODES_H

#include <plat/types.h>

/* Escape numbers (matched on their low 16 bits). */
enum : ULONG {
    ESC_QUERYESCSUPPORT = 8,
    ESC_SETCOPYCOUNT = 17,
    ESC_GETTECHNOLOGY = 20,
    ESC_APP_FIRST = 0x1071,           /* the application escapes 0x1071 .. 0x1074 and 0x1078 */
    ESC_APP_LAST = 0x1074,
    ESC_APP_JPEG = 0x1078,
    ESC_QUERY_DECORATIONS = 0x5001,
    ESC_GET_SETTINGS = 0x5002,
    ESC_WATERMARK_MODE = 0x5003,
    ESC_WATERMARK_PLACEMENT = 0x5004,
    ESC_SET_SETTINGS = 0x5005,
    ESC_GET_ANNOTATION = 0x5006,
    ESC_SET_ANNOTATION = 0x5007,
    ESC_ANNOTATION_MODE = 0x5008,
    ESC_QUERY_COPYSET_MODE = 0x5009,
    ESC_QUERY_SHEET_COUNT = 0x500A,
    ESC_SET_PRINTERDATA = 0x500B,
    ESC_SET_PAGE_INFO = 0x5010,
    ESC_STARTDOC_NOTICE = 0x5020,
    ESC_JOBDATA_BRACKET = 0x5021,
    ESC_SET_DOCUMENT_NAME = 0x5023,
    ESC_SET_COPYSET_DATA = 0x5024,
    ESC_SET_COPYSET_HEADERS = 0x5025,
    ESC_GET_EXT_STATE = 0x5028,
    ESC_SET_EXT_STATE = 0x5029,
    ESC_QUERY_JOB_STATE = 0x502A,
    ESC_SET_JOB_FLAG = 0x502B,
    ESC_SET_JOB_EXTRA = 0x502C,
    ESC_SET_AUX_BLOCK = 0x502D,
    ESC_GET_EXT_DATA = 0x502E,
    ESC_SET_COPYSET_RECORDS = 0x502F,
    ESC_SET_AUX_PAIR = 0x5030,
    ESC_SET_EXT_DATA = 0x5031,
    ESC_SET_REGION_CODE = 0x5100,
};

/* Payload sizes. */
inline constexpr ULONG ESC_SETTINGS_SIZE = 5896;
inline constexpr ULONG ESC_PRINTERDATA_SIZE = 6148;
inline constexpr ULONG ESC_ANNOTATION_SIZE = 768;
inline constexpr ULONG ESC_DECORATION_QUERY_SIZE = 44;
inline constexpr ULONG ESC_PAGE_INFO_SIZE = 10;
inline constexpr ULONG ESC_EXT_STATE_SIZE = 12;
inline constexpr ULONG ESC_JOB_IDENTITY_SIZE = 2112;
inline constexpr ULONG ESC_HEADER_SET_HEAD = 24;
inline constexpr ULONG ESC_COPYSET_ROW_SIZE = 68;

/* AnnotationInfo: byte offsets and sizes of its fields. */
enum : ULONG {
    ANN_FLAG = 0,
    ANN_POSITIONS = 4,       /* six signed 16-bit values */
    ANN_USER = 16,           /* 128 bytes */
    ANN_USER_HOST = 144,     /* 64 bytes */
    ANN_DOCUMENT = 208,      /* 522 bytes */
    ANN_SHEET = 730,         /* unsigned 16-bit */
    ANN_DATE = 732,          /* 22 bytes */
    ANN_TIME = 754,          /* 12 bytes */
};

/* Escape answers. */
inline constexpr ULONG ESC_DONE = 1;
inline constexpr ULONG ESC_REFUSED = ULONG(-1);
inline constexpr ULONG ESC_UNKNOWN = 0;

#endif /* TARVEL_ESC_CODES_H */
