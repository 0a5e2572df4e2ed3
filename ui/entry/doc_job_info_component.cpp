/*
 * The job-information component (see doc_job_info_component.h): its texts,
 * the calls of its set-field and run methods, and the bounded walk of its
 * reply into the job's printer data.
 */
#include "doc_job_info_component.h"

#include <tarvel/base/job_info_component.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/scramble_wide.h>
#include <tarvel/base/util_codepage.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

/* Settings the reply's three values go to, in reply order. */
constexpr WORD kReplySettings[3] = {5174, 5176, 5175};

/* The model capability that stores the third value scrambled. */
constexpr DWORD kCapScrambleAccount = MDL_CAP_BIT(30);

/* The character ranges of the fields: single-byte and double-byte resource lists (zero-terminated). */
constexpr UINT kNameSingle[] = {9235, 9220, 9221, 0};
constexpr UINT kNameDouble[] = {9222, 0};
constexpr UINT kOtherSingle[] = {9235, 9220, 0};
constexpr UINT kOtherDouble[] = {9233, 0};

/* Longest resource string taken, in characters. */
constexpr int kStringChars = 255;

LPSTR globalCopy(const std::string &text)
{
    auto *copy = static_cast<LPSTR>(GlobalAlloc(GPTR, text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

/* Frees GlobalAlloc texts (nulls allowed). */
void freeAll(std::initializer_list<LPSTR> texts)
{
    for (LPSTR t : texts)
        if (t)
            GlobalFree(t);
}

/* One range "lo-hi" or a single value, as the list keeps it; empty when it is dropped. */
std::string keptRange(const std::string &range)
{
    const size_t dash = range.find('-');
    if (dash == std::string::npos)
        return range;
    const std::string lo = range.substr(0, dash), hi = range.substr(dash + 1);
    const unsigned long low = std::strtoul(lo.c_str(), nullptr, 16), high = std::strtoul(hi.c_str(), nullptr, 16);
    if (high < low)
        return std::string();
    return high == low ? lo : range;
}

} // namespace

LPSTR DOC_LoadAnsiString(HMODULE module, UINT id)
{
    WCHAR text[kStringChars + 1] = {};
    if (LoadStringW(module, id, text, kStringChars + 1) <= 0)
        return nullptr;
    LPSTR ansi = nullptr;
    DWORD length = 0;
    return DOC_WideToAnsiAlloc(text, &ansi, &length, 0) ? ansi : nullptr;
}

int DOC_WideToAnsiAlloc(LPCWSTR text, LPSTR *out, DWORD *length, UINT codePage)
{
    if (!out || !length)
        return 0;
    *out = nullptr;
    *length = 0;
    DWORD bytes = 0;
    if (!text || !UTL_WideToMultiByteAlloc(text, out, &bytes, UTL_ValidCodePage(codePage)))
        return 0;
    *length = bytes + 1;
    return 1;
}

LPSTR DOC_JoinAnsi3(LPSTR *out, LPCSTR a, LPCSTR b, LPCSTR c)
{
    if (!out)
        return nullptr;
    *out = nullptr;
    if (!a || !b || !c)
        return nullptr;
    const size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
    auto *block = static_cast<LPSTR>(GlobalAlloc(GPTR, la + lb + lc + 4));
    if (!block)
        return nullptr;
    std::memcpy(block, a, la);
    std::memcpy(block + la + 1, b, lb);
    std::memcpy(block + la + lb + 2, c, lc);
    *out = block;
    return block;
}

std::string DOC_RangeListOf(const std::string &joined, bool pairMerge)
{
    std::string merged;
    int comma = 0;
    for (size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] == ',' && pairMerge && (comma++ % 2) == 0) {
            i += 2; /* the comma and the two characters after it */
            continue;
        }
        merged += joined[i];
    }
    comma = 0;
    for (char &c : merged)
        if (c == ',' && (comma++ % 2) == 0)
            c = '-';
    std::string result;
    size_t start = 0;
    while (start <= merged.size() && !merged.empty()) {
        size_t end = merged.find(',', start);
        if (end == std::string::npos)
            end = merged.size();
        const std::string kept = keptRange(merged.substr(start, end - start));
        if (!kept.empty()) {
            if (!result.empty())
                result += ',';
            result += kept;
        }
        start = end + 1;
    }
    return result;
}

int DOC_BuildRangeList(LPSTR *out, const UINT *ids, BOOL pairMerge)
{
    if (!out || !ids)
        return 0;
    *out = nullptr;
    std::string joined;
    for (const UINT *id = ids; *id; ++id) {
        LPSTR s = DOC_LoadAnsiString(RES_GetResourceModule(), *id);
        if (!s)
            return 0;
        if (!joined.empty())
            joined += ',';
        joined += s;
        GlobalFree(s);
    }
    const std::string result = DOC_RangeListOf(joined, pairMerge);
    *out = globalCopy(result);
    return *out ? 1 : 0;
}

int DOC_BuildRuleText(LPSTR *out, const UINT *singleByteIds, const UINT *doubleByteIds)
{
    if (!out)
        return 0;
    *out = nullptr;
    LPSTR opening = DOC_LoadAnsiString(RES_GetResourceModule(), DOC_ID_RULE_OPENING);
    LPSTR single = nullptr, dbcs = nullptr;
    int result = 0;
    if (opening && DOC_BuildRangeList(&single, singleByteIds, FALSE) && DOC_BuildRangeList(&dbcs, doubleByteIds, TRUE)) {
        std::string text = opening;
        text += single;
        if (*single && *dbcs)
            text += ',';
        text += dbcs;
        *out = globalCopy(text);
        result = *out ? 1 : 0;
    }
    freeAll({opening, single, dbcs});
    return result;
}

int DOC_ParseComponentReply(LPCSTR reply, void *image, void *printerData, ModelContext *context)
{
    if (!reply)
        return 0;
    int stored = 0;
    size_t at = 0;
    while (stored < 3 && at < JOB_INFO_REPLY_BYTES) {
        const char *s = reply + at;
        const void *end = std::memchr(s, 0, JOB_INFO_REPLY_BYTES - at);
        if (!end || end == s)
            break; /* no terminator within the reply, or the list's end */
        const size_t length = size_t(static_cast<const char *>(end) - s);
        const char *equals = static_cast<const char *>(std::memchr(s, '=', length));
        if (!equals)
            break;
        LPWSTR value = nullptr;
        DWORD count = 0;
        if (!UTL_MultiByteToWideAlloc(equals + 1, &value, &count, UTL_ValidCodePage(0)))
            break;
        LPWSTR toStore = value;
        LPWSTR scrambled = nullptr;
        if (stored == 2 && context && MDL_HasCapability(context->main, kCapScrambleAccount) &&
            UTL_ScrambleWide(1, value, &scrambled))
            toStore = scrambled;
        const LONG size = LONG(2 * plat::wlen(toStore) + 2);
        const WORD status = DMB_SetValue(kReplySettings[stored], image, printerData, SVT_WSTRING, size, &toStore);
        if (scrambled)
            GlobalFree(scrambled);
        GlobalFree(value);
        if (status != 0)
            break;
        ++stored;
        at += length + 1;
    }
    return stored == 3 ? 1 : 0;
}

int DOC_RunJobInfoComponent(HWND owner, void *image, void *printerData, ModelContext *context)
{
    const HRESULT init = CoInitialize(nullptr);
    JobInfoComponent *component = nullptr;
    int result = -1;
    LPSTR names[3] = {}, labels[3] = {}, prompts[3] = {}, rules[3] = {}, descriptors[3] = {}, fieldNames = nullptr;
    std::vector<char> reply(JOB_INFO_REPLY_BYTES, 0);
    if (SUCCEEDED(CoCreateInstance(CLSID_JobInfoComponent, nullptr, JOB_INFO_COMPONENT_CONTEXT,
                                   IID_JobInfoComponent, reinterpret_cast<void **>(&component))) &&
        component) {
        HMODULE module = RES_GetResourceModule();
        bool ok = true;
        for (int i = 0; i < 3 && ok; i++) {
            names[i] = DOC_LoadAnsiString(module, DOC_ID_FIELD_NAMES[i]);
            labels[i] = DOC_LoadAnsiString(module, DOC_ID_FIELD_LABELS[i]);
            prompts[i] = DOC_LoadAnsiString(module, DOC_ID_FIELD_PROMPTS[i]);
            ok = names[i] && labels[i] && prompts[i];
        }
        for (int i = 0; i < 3 && ok; i++)
            ok = DOC_BuildRuleText(&rules[i], i == 0 ? kNameSingle : kOtherSingle,
                                   i == 0 ? kNameDouble : kOtherDouble) &&
                 DOC_JoinAnsi3(&descriptors[i], rules[i], labels[i], prompts[i]);
        ok = ok && DOC_JoinAnsi3(&fieldNames, names[0], names[1], names[2]);
        if (ok) {
            for (int i = 0; i < 3; i++)
                component->vtbl->SetField(component, names[i], descriptors[i]); /* its answer is not looked at */
            const HRESULT ran =
                component->vtbl->Run(component, owner, fieldNames, reply.data(), JOB_INFO_REPLY_BYTES);
            if (SUCCEEDED(ran) && DOC_ParseComponentReply(reply.data(), image, printerData, context))
                result = 1;
        }
    }
    if (component)
        component->vtbl->Release(component);
    if (SUCCEEDED(init))
        CoUninitialize();
    for (int i = 0; i < 3; i++)
        freeAll({names[i], labels[i], prompts[i], rules[i], descriptors[i]});
    freeAll({fieldNames});
    return result;
}
