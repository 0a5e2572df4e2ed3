/*
 * The job's colour object: every colour that reaches the page goes through
 * it (adjustment matrices, gain and offset, ICC transforms, the outside
 * colour-matching engine).  One per job, made when the job opens.
 */
#ifndef TARVELGR_CLR_COLOR_OBJECT_H
#define TARVELGR_CLR_COLOR_OBJECT_H

#include <plat/types.h>

struct ColorObject;

/*
 * Makes the job's colour object from `settings` into *object.  0; -1 bad
 * arguments; -2 no memory; -3 or -4 when a profile was unusable and the
 * user chose Cancel (*object is then null).
 */
int CLR_CreateColorObject(ColorObject **object, void *settings, HMODULE resourceModule, HANDLE printer);

/* Frees a colour object; null is ignored. */
void CLR_FreeColorObject(ColorObject *object);

#endif /* TARVELGR_CLR_COLOR_OBJECT_H */
