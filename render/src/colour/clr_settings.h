/*
 * The colour object's reads of the job's settings image: effective values,
 * so that a setting its governing setting switches off reads as 0 (or an
 * empty text).
 */
#ifndef TARVELGR_CLR_SETTINGS_H
#define TARVELGR_CLR_SETTINGS_H

#include <plat/types.h>

#include <cstddef>

/* Number setting `id` widened to 32 bits (signed types sign-extended).  0, or -1 (then *value is 0). */
int CLR_ReadSetting(void *settings, WORD id, LONG *value);

/* Text setting `id` into `buffer` of `chars` characters, cut to fit and terminated.  0, or -1 (empty text). */
int CLR_ReadSettingText(void *settings, WORD id, LPWSTR buffer, size_t chars);

#endif /* TARVELGR_CLR_SETTINGS_H */
