// The check of a page's records against its dialog template in the
// resource module: every control, label, greyed and help-pair id the records
// name exists in the template, and each control's class and style fit its
// kind.  Each page's tests run it on their page; it answers the problems
// found, one line each, so that a failure names every one of them.
#ifndef UI_RESOURCE_CHECK_H
#define UI_RESOURCE_CHECK_H

#include "pgf_records.h"

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <string>
#include <vector>

namespace ui_test {

/* The problems of `info` (control, label, greyed and help ids) against template `templateId` of `module`. */
inline std::vector<std::string> checkPageResources(HMODULE module, WORD templateId, const PageInfo &info)
{
    std::vector<std::string> problems;
    const std::string where = "template " + std::to_string(templateId) + ": ";
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL data = found ? LoadResource(module, found) : nullptr;
    plat::DialogTemplate t;
    if (!data || !plat::dialog_template_parse(
                     {static_cast<const BYTE *>(LockResource(data)), size_t(SizeofResource(module, found))}, t)) {
        problems.push_back(where + "missing or unreadable");
        return problems;
    }
    auto item = [&](LONG id) -> const plat::DialogItem * {
        for (const plat::DialogItem &it : t.items)
            if (LONG(it.id) == id)
                return &it;
        return nullptr;
    };
    auto need = [&](LONG id, const std::string &what) {
        if (id != PGF_NONE && id != PGF_NO_CONTROL && !item(id))
            problems.push_back(where + what + " " + std::to_string(id) + " is not in the template");
    };
    for (WORD k = 0; k < info.controlCount; ++k) {
        const ControlDescriptor &c = info.controls[k];
        need(c.labelId, "label");
        if (c.controlId == PGF_NO_CONTROL)
            continue;
        const plat::DialogItem *it = item(c.controlId);
        if (!it) {
            need(c.controlId, "control");
            continue;
        }
        std::u16string cls;
        for (char16_t ch : it->className)
            cls.push_back(plat::wupper(ch));
        const DWORD s = it->style;
        const DWORD button = s & 0x0F, stat = s & SS_TYPEMASK;
        bool fits = true;
        switch (c.kind) {
        case CTL_KIND_OPTION_COMBO:
            fits = cls == u"COMBOBOX" && (s & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE));
            break;
        case CTL_KIND_OPTION_LIST:
            fits = cls == u"LISTBOX" && (s & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) &&
                   (s & LBS_WANTKEYBOARDINPUT);
            break;
        case CTL_KIND_NUMBER_EDIT:
            fits = cls == u"EDIT" || (cls == u"COMBOBOX" && (s & 0x3) == CBS_DROPDOWN);
            break;
        case CTL_KIND_RADIO_GROUP:
            fits = cls == u"BUTTON" && (button == BS_RADIOBUTTON || button == BS_AUTORADIOBUTTON);
            break;
        case CTL_KIND_BUTTON:
            fits = cls == u"BUTTON" && (button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON);
            break;
        case CTL_KIND_CHECK_BOX:
            fits = cls == u"BUTTON" && (button == BS_CHECKBOX || button == BS_AUTOCHECKBOX ||
                                        button == BS_3STATE || button == BS_AUTO3STATE);
            break;
        case CTL_KIND_SCROLL_BAR: fits = cls == u"SCROLLBAR"; break;
        case CTL_KIND_SPIN: fits = cls == u"MSCTLS_UPDOWN32"; break;
        case CTL_KIND_VALUE_TEXT:
        case CTL_KIND_FILE_NAME: fits = cls == u"STATIC" && stat <= SS_RIGHT; break;
        case CTL_KIND_SLIDER: fits = cls == u"MSCTLS_TRACKBAR32"; break;
        case CTL_KIND_PICTURE_PANEL:
        case CTL_KIND_PICTURE:
            fits = cls == u"STATIC" && (stat == SS_BITMAP || stat == SS_ICON || stat == SS_OWNERDRAW);
            break;
        default: break; /* kinds 0, 3 and 15: any window */
        }
        if (!fits)
            problems.push_back(where + "control " + std::to_string(c.controlId) + " of kind " +
                               std::to_string(c.kind) + " is a " + plat::utf16_to_utf8(it->className) +
                               " that does not fit its kind");
    }
    if (info.greyIds)
        for (const LONG *g = info.greyIds; *g != PGF_NONE; ++g)
            need(*g, "greyed id");
    if (info.helpIds)
        for (const HelpIdPair *h = info.helpIds; h->controlId != 0; ++h)
            need(h->controlId, "help-pair control");
    return problems;
}

} // namespace ui_test

#endif // UI_RESOURCE_CHECK_H
