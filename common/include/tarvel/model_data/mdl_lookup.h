/*
 * Lookups by setting identifier on a pair of model data file readers: which
 * record describes a setting (DDD_MapIdToKind), the record or option found by
 * identifier, option position or option value, display names, the model
 * default of a setting with its locale rules, and option details.  The model
 * context's queries (tarvel/model_data/mdl_context.h) are built on these.
 *
 * Results are the reader's codes (DDD_OK, DDD_ERR_FAIL, DDD_ERR_NOT_FOUND,
 * DDD_ERR_NO_MEMORY).  Records are freed with DDD_FreeRecord; strings and
 * value blocks with DDD_FreeRecord(&p, 0) or GlobalFree.
 *
 * Values given to a lookup point at the value's bytes as the option's value
 * type reads them: 4 bytes for types 1, 4, 5, 7 and 10, 2 bytes for types 2
 * and 3, 1 byte for type 8, the terminated characters for type 6.  A caller
 * that does not know the option's type passes an 8-byte value slot.  For the
 * identifiers 0x8001-0x800B the value's first 16 bits are the record
 * identifier.
 */
#ifndef TARVEL_MDL_LOOKUP_H
#define TARVEL_MDL_LOOKUP_H

#include <plat/types.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

/* Identifiers that name a record kind and take the record identifier from the query's value. */
constexpr WORD DDD_ID_PAPER = 0x8001;      /* kind 10 */
constexpr WORD DDD_ID_TRAY = 0x8002;       /* kind 5 */
constexpr WORD DDD_ID_TRAY2 = 0x8003;      /* kind 6 */
constexpr WORD DDD_ID_FLAG_RECORD = 0x800B; /* kind 19 */

/*
 * The kind of record that describes setting `id` and that record's
 * identifier: 1 and 259 the header (kind 1), 274-285 the document features
 * 274, 278 and 282, the printer-data identifiers 4097-4128, 4130-4362 and
 * 4366-4371 device features (kind 3), 0x8001, 0x8002, 0x8003 and 0x800B
 * papers, trays, second trays and flag records (the record identifier is
 * `value`), every other identifier a document feature (kind 4).
 */
void DDD_MapIdToKind(WORD id, WORD value, WORD *kind, WORD *recordId);

/*
 * The record of setting `id`, or with a value the option of its feature
 * whose value equals it (kinds 3 and 4), with its kind in *kind.
 * Identifiers 1 and 259 give a new string with the model name (kind 1) in
 * *record instead of a record.
 */
WORD DDD_LookupById(int mode, ModelFileReader *main, ModelFileReader *companion, WORD id, const void *value,
                    WORD *kind, void **record);

/*
 * Option n (1-based) of setting `id`'s feature (kind 13 or 14 reported), or
 * record number n of the papers and trays (kinds 10, 5, 6); other kinds 2,
 * n = 0 gives 1.
 */
WORD DDD_GetOptionByIndex(int mode, ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n, WORD *kind,
                          ModelRecord **record);

/*
 * The option of a feature whose value equals `value`: the feature's option
 * list entries are taken as record numbers in the kind 13 (device feature)
 * or 14 table, and an option matches when its value equals `value` compared
 * by the option's value type (1, 4, 5, 10 as 32-bit numbers, 2 and 3 as
 * 16-bit numbers, 6 as strings, exact, 7 as floats, 8 as bytes; other types
 * never match).  No match or no options: 2.
 */
WORD DDD_FindOptionByValue(int mode, ModelFileReader *main, ModelFileReader *companion, const ModelRecord *feature,
                           const void *value, WORD *kind, ModelRecord **option);

/* A new copy of the display name of what DDD_LookupById finds; records without names give 1. */
WORD DDD_GetNameById(ModelFileReader *main, ModelFileReader *companion, WORD id, const void *value, LPWSTR *name);

/*
 * The value of the default option of setting `id` (features of kinds 3 and
 * 4 only, else 1), read in place: a new block of at least 4 bytes holding
 * the raw value (zero-filled behind it), or the decoded value (a string for
 * type 6, a 32-bit number for types 1 and 10); null when the option has no
 * value.  A record identifier of 0 gives 2; a default option number outside
 * the option list gives 1.
 */
WORD DDD_ReadFeatureDefault(ModelFileReader *main, ModelFileReader *companion, WORD id, void **value, WORD *type);

/*
 * DDD_ReadFeatureDefault, then the locale rules: the paper settings 8, 327,
 * 1824 and 1883 in paper region 1 (capability bit 22), the country values
 * of 4356 and 4358 (capability bits 32 and 33), the work folder of 1829 and
 * the layout variant of 1804 by the resource language.
 */
WORD DDD_GetDefaultById(ModelFileReader *main, ModelFileReader *companion, WORD id, void **value, WORD *type);

/*
 * A new option-details record (item kind 523; free with DDD_FreeRecord):
 * for n above 0 from option n (DDD_GetOptionByIndex), for n = 0 from the
 * setting's own record.  It holds a copy of the display name, a copy of the
 * value (at least 4 bytes, zero-filled behind it) and its type (an option's
 * typed value; a paper's or tray's own identifier as type 3; nothing, type
 * 0, for a feature) and, for features and options, the option image (none
 * is not an error).
 */
WORD DDD_GetOptionDetails(ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n,
                          DddOptionDetails **details);

/* The name and value copies and the type of DDD_GetOptionDetails without the record (free both). */
WORD DDD_GetOptionValue(ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n, LPWSTR *name,
                        void **value, WORD *type);

#endif /* TARVEL_MDL_LOOKUP_H */
