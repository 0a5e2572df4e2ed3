/*
 * The settings overrides of the application-escape extension: applied to
 * the job's settings when its first sheet is set up, and taken back at the
 * end of the job.  The job's own values are kept in the extension record
 * meanwhile.  With the extension off nothing is applied, so the settings
 * stay exactly as the document set them.
 */
#include "job_ext.h"

#include "pdev_context.h"

namespace {

/* The overridden settings, in the order of the record's saved values. */
constexpr WORD kSaved[7] = {295, 264, 294, 321, 296, 16, 270};
enum : int { SAVED_DUPLEX = 5, SAVED_COLOUR = 6 };

/* Override slot of each of the first six saved settings. */
constexpr int kOverrideOf[6] = {EXT_OVERRIDE_PAGES_PER_SHEET, EXT_OVERRIDE_NUP_ORDER, EXT_OVERRIDE_NUP_ORIENTATION,
                                EXT_OVERRIDE_321, EXT_OVERRIDE_296, EXT_OVERRIDE_DUPLEX};

} // namespace

int ESC_SaveSettings(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    ExtEscapeRecord &ext = pdev->ext;
    if (ext.mode != 1)
        return 0;
    if (ext.saved && ESC_RestoreSettings(pdev) != 0)
        return -1;
    int result = 0;
    /* Each setting is saved before its override is written: 16 first, then 295, 264, 294, 321, 296 and 270. */
    const int order[7] = {SAVED_DUPLEX, 0, 1, 2, 3, 4, SAVED_COLOUR};
    for (int i = 0; i < 7; i++) {
        int slot = order[i];
        WORD value = 0;
        if (PDEV_GetSetting16(pdev, kSaved[slot], &value) != 0)
            result = -1;
        ext.savedValues[slot] = value;
        if (slot == SAVED_COLOUR) {
            /* With the colour in the application's hands, the colour is decided page by page. */
            if (ext.colourOverride && PDEV_SetSetting16(pdev, kSaved[slot], 0) != 0)
                result = -1;
            continue;
        }
        WORD override = ext.overrides[kOverrideOf[slot]];
        if (override != EXT_NONE && PDEV_SetSetting16(pdev, kSaved[slot], override) != 0)
            result = -1;
    }
    ext.saved = 1;
    return result;
}

int ESC_RestoreSettings(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    ExtEscapeRecord &ext = pdev->ext;
    if (!ext.saved)
        return 0;
    int result = 0;
    for (int slot = 0; slot < 7; slot++)
        if (PDEV_SetSetting16(pdev, kSaved[slot], ext.savedValues[slot]) != 0)
            result = -1;
    ext.saved = 0;
    return result;
}
