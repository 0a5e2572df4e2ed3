/*
 * The model context's calls into services that other parts of the common
 * library provide, each behind one function so that wiring one touches one
 * place (mdl_pending.cpp):
 * - the per-model configuration values and the devmode mapping description
 *   (CFG_GetModelCfgPath, CFG_LoadSpecials, DME_Load and their frees);
 * - the work folder path (RES_AllocWorkFolderPath);
 * - the resource module's user-interface language (RES_GetResourceLanguage);
 * - a setting of the job's devmode through the data-manager binding
 *   (DMB_GetValue).
 */
#ifndef TARVEL_MDL_PENDING_H
#define TARVEL_MDL_PENDING_H

#include <tarvel/mdl_context.h>

/*
 * Attaches the model's configuration values and devmode mapping description
 * to a context whose files are open.  Either may stay null; neither failure
 * fails the open.
 */
void mdl_AttachConfiguration(ModelContext *context);

/* Frees and clears the context's configuration values and mapping description. */
void mdl_DetachConfiguration(ModelContext *context);

/* A new string (GlobalAlloc) with the work folder path and a trailing "\", or null. */
LPWSTR mdl_AllocWorkFolderPath(void);

/* 1 with the resource module's language number (resource string 5146); 0 when it cannot be read. */
BOOL mdl_GetResourceLanguage(DWORD *language);

/* 1 with the value of the 16-bit setting `id` of `devmode` (through the data-manager binding); 0 on failure. */
BOOL mdl_ReadDevmodeWord(void *devmode, WORD id, WORD *value);

#endif /* TARVEL_MDL_PENDING_H */
