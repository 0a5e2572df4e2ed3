/*
 * Texts of the constraint engine's fixes and messages: resource strings,
 * formatted message texts and setting and option names of the model.
 */
#include "cnf_internal.h"

#include <tarvel/base/res_format.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_lookup.h>

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>

namespace {
constexpr int kTextChars = 1024;
} // namespace

bool cnf_LoadString(UINT id, std::u16string *out) { return cnf_LoadFrom(nullptr, id, out); }

bool cnf_LoadFrom(HMODULE module, UINT id, std::u16string *out)
{
    out->clear();
    if (!module)
        module = RES_LoadResourceModule();
    if (!module)
        return false;
    const WCHAR *p = nullptr;
    const int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p)
        return false;
    out->assign(p, size_t(n));
    return true;
}

LPWSTR cnf_FormatString(UINT id, LPCWSTR a, LPCWSTR b, LPCWSTR c, LPCWSTR d)
{
    std::u16string format;
    if (!cnf_LoadString(id, &format))
        return nullptr;
    auto *out = static_cast<LPWSTR>(GlobalAlloc(GPTR, kTextChars * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    RES_FormatMessage(out, kTextChars, format.c_str(), a, b, c, d);
    return out;
}

std::u16string cnf_Text(const void *text)
{
    std::u16string s;
    for (size_t i = 0; text; ++i) {
        const WCHAR c = plat::load<WCHAR>(static_cast<const BYTE *>(text) + i * 2);
        if (c == 0)
            break;
        s.push_back(c);
    }
    return s;
}

bool cnf_NameOf(const SettingsRef *ref, WORD id, const void *value, std::u16string *out)
{
    out->clear();
    LPWSTR name = nullptr;
    if (DDD_GetNameById(ref->context->main, ref->context->companion, id, value, &name) != DDD_OK || !name)
        return false;
    out->assign(name);
    GlobalFree(name);
    /* Names end at their first line break. */
    const size_t cut = out->find_first_of(u"\r\n");
    if (cut != std::u16string::npos)
        out->resize(cut);
    return true;
}
