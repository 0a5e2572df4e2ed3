/*
 * The devmode mapping description: how an application's public DEVMODEW
 * values are taken over (merged) for six devmode items, which driver value
 * stands for which Windows value, which dmFields bits the driver reports,
 * and whether spooler forms are merged into the paper list.  A built-in
 * description exists whenever the per-model configuration file does; the
 * file's section "DME,1" can override it:
 *   <item>.merge= .mode= .default= .WindowsValue=   numbers (decimal or 0x)
 *   <item>.<VALUE NAME>=n                           a pair of values
 *   formdb.mode=n                                   forms merge mode
 * for the items "fields", "collate", "resolution", "bin", "media", "color".
 *
 * The description is built when a model context is opened and freed with
 * it; it is never written back.  Free it with DME_Free.
 */
#ifndef TARVEL_DME_MAPPING_H
#define TARVEL_DME_MAPPING_H

#include <plat/types.h>

/* Item indexes. */
inline constexpr int DME_ITEM_FIELDS = 0;
inline constexpr int DME_ITEM_COLLATE = 1;
inline constexpr int DME_ITEM_RESOLUTION = 2;
inline constexpr int DME_ITEM_BIN = 3;
inline constexpr int DME_ITEM_MEDIA = 4;
inline constexpr int DME_ITEM_COLOR = 5;
inline constexpr WORD DME_ITEM_COUNT = 6;

/* The value of merge, default, mode and WindowsValue that means "not set". */
inline constexpr SHORT DME_NOT_SET = -1;

/* dmFields bits the description works with. */
inline constexpr DWORD DME_DM_COLLATE = 0x8000;
inline constexpr DWORD DME_DM_RESOLUTION = 0x2400; /* DM_PRINTQUALITY | DM_YRESOLUTION */
inline constexpr DWORD DME_DM_DEFAULTSOURCE = 0x200;
inline constexpr DWORD DME_DM_MEDIATYPE = 0x2000000;

/* One pair of a driver value and the Windows value it stands for. */
struct DmePair {
    LONG driverValue;
    LONG windowsValue;
    BYTE differs; /* 1 when the two differ (searched first) */
};

/* One devmode item. */
struct DmeItem {
    DWORD devmodeItem; /* DDMID of the public devmode field */
    DWORD changed;     /* 1 when the configuration file changed anything of the item */
    SHORT merge;
    SHORT defaultValue;
    SHORT mode;
    SHORT windowsValue;
    WORD pairCount;
    DmePair *pairs;
};

/* The description. */
struct DmeDescription {
    DWORD sectionFound; /* 1 when the file has the section */
    BYTE formdbMode;
    WORD itemCount;     /* always DME_ITEM_COUNT */
    DmeItem *items;
};

/*
 * DME_Load: the description for the configuration file `path`: the built-in
 * one, overridden by the file's section "DME,<sectionNumber>" when it has
 * one (the model context passes 1).  Null when the file does not exist or
 * memory runs out.
 */
DmeDescription *DME_Load(LPCWSTR path, int sectionNumber);

/*
 * DME_BuildBuiltIn / DME_ApplySection: the two steps of DME_Load: the
 * built-in description (null when memory runs out), and the overrides of a
 * section's text (NUL-terminated "key=value" lines, then one more NUL) into
 * it (1, or 0 when memory runs out).  Also the memory entry of the fuzz
 * target.
 */
DmeDescription *DME_BuildBuiltIn(void);
int DME_ApplySection(DmeDescription *description, LPCWSTR sectionText);

/* DME_Free: frees every item's pairs, the items and the head; 1, or -1 for null. */
int DME_Free(DmeDescription *description);

/* DME_IsConfigured: the description's section-found value (0 for null). */
DWORD DME_IsConfigured(const DmeDescription *description);

/* DME_IsFormsMergeMode: 1 when the formdb mode is 1. */
int DME_IsFormsMergeMode(const DmeDescription *description);

/*
 * DME_MapToDriverValue: the driver value for a Windows value: the pairs
 * whose values differ are searched first, then all pairs; without a match
 * the item's default when it is set and not 0, else the Windows value
 * itself.  1, or -1 without item or output.
 */
int DME_MapToDriverValue(const DmeItem *item, LONG windowsValue, LONG *driverValue);

/* DME_GetMerge: the merge value of item 1-4; 1, -2 for another index, -1 without description or output. */
int DME_GetMerge(const DmeDescription *description, int index, SHORT *merge);

/* DME_GetMode: the mode value of item 2 or 5; 1, -2 for another index, -1 without description or output. */
int DME_GetMode(const DmeDescription *description, int index, SHORT *mode);

/*
 * DME_ApplyToDevmode: maps the devmode's collate, paper source and media
 * type (DDMIDs 18, 13, 24) from Windows to driver values in place, through
 * the data-manager binding.  1 done, -5 when a setting cannot be read or
 * written, -1 without arguments.
 */
int DME_ApplyToDevmode(const DmeDescription *description, void *devmode);

/*
 * DME_AdjustFields: `fields` with the fields item's actions applied (a pair
 * whose Windows value is 1 clears its bit, 2 sets it).  1, -1 without
 * description or output.
 */
int DME_AdjustFields(const DmeDescription *description, DWORD fields, DWORD *out);

/*
 * DME_ComputeFields: DME_AdjustFields, then the bits of collate, resolution,
 * paper source and media type by their items' merge values (collate merge 2
 * sets DM_COLLATE when `collate` maps to driver value 0).  1, or the failure
 * of a step.
 */
int DME_ComputeFields(const DmeDescription *description, DWORD fields, LONG collate, DWORD *out);

#endif /* TARVEL_DME_MAPPING_H */
