/*
 * Internal forms of the configuration files' INI routines for the loaders
 * (per-model configuration, devmode mapping section, trace switch): they
 * tell a failed allocation apart from a missing section, so that a loader
 * fails instead of handing out a record that silently lacks configured
 * values, and they search a section's lines without copying.
 */
#ifndef TARVEL_CFG_PRIVATE_H
#define TARVEL_CFG_PRIVATE_H

#include <plat/types.h>

/* CFG_SectionExists; `noMemory` is set when the answer could not be made. */
int cfg_SectionExists(LPCWSTR path, LPCWSTR section, bool &noMemory);

/* CFG_ReadSection; a null answer with `noMemory` set means memory ran out, else no such section (or an empty one). */
LPWSTR cfg_ReadSection(LPCWSTR path, LPCWSTR section, bool &noMemory);

/*
 * CFG_FindNthKeyValue without the copy: *value (when given) points at the
 * value inside the section text (null when nothing is found).
 */
int cfg_FindNthLine(int startLine, int takeLast, LPCWSTR sectionText, LPCWSTR keyPrefix, LPCWSTR *value);

#endif /* TARVEL_CFG_PRIVATE_H */
