/*
 * Helpers shared by the devmode merge's sources (private to the common
 * library): reading and writing one setting as a number through the
 * binding, dmFields, and the bounded copy of an application's devmode.
 */
#ifndef TARVEL_MERGE_INTERNAL_H
#define TARVEL_MERGE_INTERNAL_H

#include "tarvel/setting_layout.h"

#include <plat/types.h>

namespace merge {

inline constexpr WORD ID_DM_SIZE = 4;
inline constexpr WORD ID_DM_DRIVER_EXTRA = 5;
inline constexpr WORD ID_DM_FIELDS = 6;
inline constexpr WORD ID_PAPER_SIZE = 8;
inline constexpr WORD ID_PAPER_LENGTH = 9;
inline constexpr WORD ID_PAPER_WIDTH = 10;
inline constexpr WORD ID_DEFAULT_SOURCE = 13;
inline constexpr WORD ID_RESOLUTION = 14;
inline constexpr WORD ID_COLOR = 15;
inline constexpr WORD ID_TT_OPTION = 17;
inline constexpr WORD ID_COLLATE = 18;
inline constexpr WORD ID_FORM_NAME = 19;
inline constexpr WORD ID_PRINT_QUALITY = 20;
inline constexpr WORD ID_Y_RESOLUTION = 21;
inline constexpr WORD ID_ICM_METHOD = 22;
inline constexpr WORD ID_MEDIA_TYPE = 24;
inline constexpr WORD ID_COVER_SOURCE = 265;
inline constexpr WORD ID_COLOUR_MODE = 270;
inline constexpr WORD ID_FONT_SUBSTITUTION = 292;
inline constexpr WORD ID_GLOSS = 293;
inline constexpr WORD ID_ECONOMY = 345;
inline constexpr WORD ID_SCALING = 388;
inline constexpr WORD ID_IMAGE_QUALITY = 453;
inline constexpr WORD ID_TRAY_MODE = 457;
inline constexpr WORD ID_SCALE_FLAG = 1324;
inline constexpr WORD ID_CUSTOM_SIZE_FLAG = 1331;
inline constexpr WORD ID_CUSTOM_SIZE_FLAG2 = 1353;
inline constexpr WORD ID_FORMS_MERGE = 5201;
inline constexpr WORD ID_FORCE_MONO = 5202;

/* One setting as read: its type, size and 8-byte slot. */
struct Value {
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
};

/* Reads setting `id`; false when the read fails. */
bool read(WORD id, void *devmode, void *printerData, Value &value);

/* Reads setting `id` as a number (FID_ReadValueAsUInt / AsInt); false when the read fails. */
bool read_uint(WORD id, void *devmode, void *printerData, DWORD &out);
bool read_int(WORD id, void *devmode, void *printerData, LONG &out);

/* Writes a value as read from another setting or record, with its own type and size. */
bool write(WORD id, void *devmode, void *printerData, const Value &value);

/*
 * Writes the number `number` into setting `id` with the setting's own type
 * and size (asked of the binding first).
 */
bool write_number(WORD id, void *devmode, void *printerData, DWORD number);

/* Writes a 16-bit value with type 3 or 2 and size 2. */
bool write_u16(WORD id, void *devmode, void *printerData, WORD number);
bool write_i16(WORD id, void *devmode, void *printerData, SHORT number);

/* dmFields of a devmode. */
bool read_fields(void *devmode, DWORD &fields);
bool write_fields(void *devmode, DWORD fields);

/*
 * A bounded copy of an application's devmode: the first min(dmSize +
 * dmDriverExtra, 1,604) bytes of `devmode` (at least the 72 bytes up to
 * dmFields), the rest of the 1,604-byte copy zero.  `available` is the
 * number of bytes the devmode declares (dmSize + dmDriverExtra, at least
 * 72); `dmSize` its dmSize.
 */
struct SafeDevmode {
    BYTE bytes[SETTINGS_DEVMODE_SIZE];
    DWORD available;
    DWORD dmSize;
};
void safe_copy(const void *devmode, SafeDevmode &copy);

/*
 * The custom paper slot whose name (stored in 5929 + slot, or the default
 * name, as FID_IsCustomPaperName's mode says) begins `text`; -1 when none.
 */
int custom_slot_of_name(void *devmode, void *printerData, LPCWSTR text, int mode);

/* Writes the first min(available, 1,604) bytes of a copy back over the devmode it came from. */
void safe_write_back(const SafeDevmode &copy, void *devmode);

} // namespace merge

#endif /* TARVEL_MERGE_INTERNAL_H */
