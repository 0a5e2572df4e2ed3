/*
 * A string setting of a job's or printer's records as text.  The field may
 * lie at an odd offset, so it is read unit by unit, never as WCHARs in
 * place; at most `maxChars` characters are taken.
 */
#ifndef TARVELUI_UI_SETTING_TEXT_H
#define TARVELUI_UI_SETTING_TEXT_H

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <cstring>
#include <string>

inline std::u16string UI_SettingText(void *image, void *printerData, WORD id, size_t maxChars = 260)
{
    auto *p = reinterpret_cast<const BYTE *>(uintptr_t(DMB_GetTypedValue(image, printerData, id, SVT_WSTRING)));
    std::u16string text;
    for (size_t i = 0; p && text.size() < maxChars; i += 2) {
        WCHAR c = 0;
        std::memcpy(&c, p + i, sizeof c);
        if (!c)
            break;
        text += c;
    }
    return text;
}

#endif /* TARVELUI_UI_SETTING_TEXT_H */
