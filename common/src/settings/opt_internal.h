/*
 * Pieces of the option lists shared by their sources (private to the
 * common library; the tests reach the descriptor paths through them).
 */
#ifndef TARVEL_OPT_INTERNAL_H
#define TARVEL_OPT_INTERNAL_H

#include "tarvel/settings/opt_list.h"

/* A GlobalAlloc copy of `text` (null stays null; an allocation failure gives null). */
LPWSTR opt_CopyText(LPCWSTR text);

/* The header of `list` from descriptor `d` of setting `id` (constant list or operation 4); 1 or 0. */
BOOL opt_HeaderFromDescriptor(HMODULE resources, ModelContext *context, WORD id, const SettingDescriptor *d,
                              OptionList *list, void *callerData, FidListCallerRecord *callerRecord);

/*
 * Item `index` of a descriptor list (constant list or operation 8) into
 * `args` (text, value and type); 1 or 0.
 */
BOOL opt_ItemFromDescriptor(ModelContext *context, WORD id, const SettingDescriptor *d, const OptionList *list,
                            FidListFillArgs *args);

/* The paper texts of a filled list (user size, custom slots, tray paper) by the list's setting; 1 or 0. */
BOOL opt_AddPaperTexts(HMODULE resources, ModelContext *context, OptionList *list, void *devmode, void *printerData,
                       WORD unitFlags);

/* A setting read through the binding as a number (by its type); false when it cannot be read. */
bool opt_ReadNumber(WORD id, void *devmode, void *printerData, LONG *value);

/* Replaces the text of `item` (the old text is freed); 1, or 0 for a null text. */
BOOL opt_ReplaceText(OptionListItem *item, LPWSTR text);

#endif /* TARVEL_OPT_INTERNAL_H */
