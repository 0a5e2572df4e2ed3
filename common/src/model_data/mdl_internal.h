/*
 * Private helpers shared by the model context's source files.
 */
#ifndef TARVEL_MDL_INTERNAL_H
#define TARVEL_MDL_INTERNAL_H

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/mdl_lookup.h>

#include "model_internal.h"

/*
 * Reads the typed value of the option record at the reader's position
 * without parsing the rest of the record (the position ends after the
 * value).  Free the value with ddd_FreeValue.
 */
WORD ddd_ReadOptionValueInPlace(ModelFileReader *reader, DddValue *value);

/*
 * A value handed out on its own: an owned value is taken over (the
 * DddValue is cleared), a raw one is copied into a new zero-filled block of
 * at least 4 bytes.  Null (and 0) for a value without data; 4 when out of
 * memory.
 */
WORD ddd_TakeValue(DddValue *value, void **out);

/* A copy of a value, as ddd_TakeValue gives it, leaving `value` alone. */
WORD ddd_CopyValue(const DddValue *value, void **out);

/* True when the context's main file is loaded. */
bool mdl_IsOpen(const ModelContext *context);

#endif /* TARVEL_MDL_INTERNAL_H */
