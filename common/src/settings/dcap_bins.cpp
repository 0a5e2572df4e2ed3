/*
 * Device capabilities of trays (DC_BINS, DC_BINNAMES): the options of the
 * paper source (setting 13) that the constraint engine lets through for the
 * current settings.  A source that is also a cover source (setting 265) is
 * tried as that setting's value.
 */
#include "dcap_internal.h"

#include "tarvel/constraints/cnf_engine.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/settings/fid_value.h"

#include <plat/text.h>

#include <cstring>
#include <vector>

namespace {

constexpr WORD kIdPaperSource = 13;
constexpr WORD kIdCoverSource = 265;

struct Bin {
    WORD value = 0;
    WORD type = 0;
    ULONGLONG slot = 0; /* the value as the engine takes it under `type` */
    WCHAR name[DCAP_BIN_NAME_CHARS] = {};
    bool marked = false;
};

/*
 * The options of a feature (16-bit value, name cut to 23 characters); false
 * when one cannot be read or its value is not a number.
 */
bool read_options(ModelContext *context, WORD id, std::vector<Bin> *bins)
{
    WORD count = 0, reason = 0;
    if (!dcap_OptionCount(context, id, &count))
        return false;
    for (WORD n = 1; n <= count; ++n) {
        DddOptionDetails *details = nullptr;
        const void *value = nullptr;
        LPCWSTR name = nullptr;
        WORD type = 0;
        if (!MDL_GetOption(context, id, n, &details, &reason))
            return false;
        bool ok = MDL_GetOptionFields(details, &value, &name, &type, nullptr) && value != nullptr;
        const LONG size = ok ? FID_ValueSize(nullptr, type, -1) : 0;
        ok = ok && (size == 1 || size == 2 || size == 4);
        Bin bin;
        if (ok) {
            bin.value = WORD(FID_ReadValueAsUInt(value, type));
            bin.type = type;
            FID_CopyValue(type, &bin.slot, value);
            if (name != nullptr)
                lstrcpynW(bin.name, name, DCAP_BIN_NAME_CHARS);
        }
        MDL_FreeOption(details);
        if (!ok)
            return false;
        bins->push_back(bin);
    }
    return true;
}

} // namespace

DCAP_HANDLER(DCAP_Bins)
{
    std::vector<Bin> bins, covers;
    if (!dcap_has(sources, DCAP_SRC_ALL) || !read_options(context, kIdPaperSource, &bins) ||
        !read_options(context, kIdCoverSource, &covers))
        return -1;
    for (Bin &b : bins) {
        for (const Bin &c : covers) {
            if (!b.marked && c.value == b.value) {
                b.marked = true;
                b.type = c.type;
                b.slot = c.slot;
            }
        }
    }
    ChangeList *list = CNF_NewChangeList();
    if (list == nullptr)
        return -1;
    LONG offered = 0;
    bool ok = true;
    for (const Bin &b : bins) {
        CNF_ResetChangeList(list);
        if (CNF_Evaluate(CNF_MODE_TEST, printer, context, devmode, printerData, nullptr,
                         b.marked ? kIdCoverSource : kIdPaperSource, b.type, &b.slot, list, nullptr, 0) != CNF_OK) {
            ok = false;
            break;
        }
        if (list->outcome == 1 || list->outcome == 6)
            continue;
        if (output != nullptr && index == DC_BINS)
            std::memcpy(static_cast<BYTE *>(output) + size_t(offered) * sizeof(WORD), &b.value, sizeof(WORD));
        else if (output != nullptr)
            std::memcpy(static_cast<WCHAR *>(output) + size_t(offered) * DCAP_BIN_NAME_CHARS, b.name, sizeof b.name);
        ++offered;
    }
    CNF_FreeChangeList(list);
    return ok ? offered : -1;
}
