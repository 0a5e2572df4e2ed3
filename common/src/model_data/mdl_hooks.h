/*
 * The model context's links to other parts of the common library, each
 * behind one function (mdl_hooks.cpp): the per-model configuration values
 * and the devmode mapping description attached when a context is opened,
 * and a setting of the job's devmode read through the data-manager binding.
 */
#ifndef TARVEL_MDL_HOOKS_H
#define TARVEL_MDL_HOOKS_H

#include <tarvel/model_data/mdl_context.h>

/*
 * Attaches the model's configuration values (CFG_LoadSpecials) and devmode
 * mapping description (DME_Load, section 1) to a context whose files are
 * open; both stay null when the model has no configuration file.  Neither
 * failure fails the open.
 */
void mdl_AttachConfiguration(ModelContext *context);

/* Frees and clears the context's configuration values and mapping description. */
void mdl_DetachConfiguration(ModelContext *context);

/* 1 with the value of the 16-bit setting `id` of `devmode` (through the data-manager binding); 0 on failure. */
BOOL mdl_ReadDevmodeWord(void *devmode, WORD id, WORD *value);

#endif /* TARVEL_MDL_HOOKS_H */
