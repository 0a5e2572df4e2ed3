/*
 * Device capabilities of papers: the paper table built from the model and
 * the printer's spooler forms, DC_PAPERS, DC_PAPERSIZE and DC_PAPERNAMES
 * (from the context's paper list when it merges the spooler's forms, else
 * from the paper table), and the smallest and largest paper.
 */
#include "dcap_internal.h"

#include "tarvel/base/res_module.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/model_data/paper_rules.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_merge.h"
#include "tarvel/settings/fid_value.h"
#include "tarvel/settings/ppr_paper.h"

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr WORD kIdPaperSize = 8;
constexpr WORD kIdPaperWidth = 10;
constexpr WORD kIdPaperLength = 9;
constexpr WORD kIdOfferUserSize = 5200;
constexpr SHORT kCodeUser = 256;
constexpr UINT kStrSlotWithSize = 5174;

struct Point {
    LONG x;
    LONG y;
};

/* The spooler's forms, listed once for a table. */
struct Forms {
    FORM_INFO_1W *forms = nullptr;
    DWORD count = 0;
    ~Forms()
    {
        if (forms != nullptr)
            GlobalFree(forms);
    }
    /* The 1-based position of the form named `name`, or 0. */
    DWORD find(LPCWSTR name) const
    {
        for (DWORD i = 0; name != nullptr && i < count; ++i)
            if (forms[i].pName != nullptr && lstrcmpW(forms[i].pName, name) == 0)
                return i + 1;
        return 0;
    }
};

/* One paper-size option: its paper code, its paper record's name (a copy) and size. */
struct ModelPaper {
    SHORT code = 0;
    std::vector<WCHAR> optionName;
    std::vector<WCHAR> paperName;
    WORD width = 0;
    WORD length = 0;
};

std::vector<WCHAR> copy_of(LPCWSTR s)
{
    std::vector<WCHAR> v;
    if (s != nullptr)
        v.assign(s, s + plat::wlen(s));
    v.push_back(0);
    return v;
}

bool read_option(ModelContext *context, WORD n, ModelPaper *paper)
{
    DddOptionDetails *details = nullptr;
    WORD reason = 0, type = 0, kind = 0;
    const void *value = nullptr;
    LPCWSTR name = nullptr;
    if (!MDL_GetOption(context, kIdPaperSize, n, &details, &reason))
        return false;
    bool ok = MDL_GetOptionFields(details, &value, &name, &type, nullptr) && value != nullptr;
    ULONGLONG slot = 0;
    if (ok) {
        FID_CopyValue(type, &slot, value);
        paper->optionName = copy_of(name);
    }
    MDL_FreeOption(details);
    ModelRecord *record = nullptr;
    ok = ok && MDL_GetValueTarget(context, kIdPaperSize, &slot, &record, &kind, &reason) && kind == DDD_KIND_PAPER;
    if (ok) {
        paper->code = SHORT(record->id);
        paper->paperName = copy_of(DDD_GetRecordName(record));
        ok = MDL_GetPaperSizeById(context, kIdPaperSize, &slot, &paper->width, &paper->length, nullptr, nullptr,
                                  &reason);
    }
    MDL_FreeRecord(record);
    return ok;
}

/* A custom slot's entry: the form of its paper's name gives code and size; the name is the slot's. */
bool fill_custom(const Forms &forms, const ModelPaper &paper, void *devmode, void *printerData,
                 DcapPaperEntry *entry)
{
    const DWORD form = forms.find(paper.paperName.data());
    entry->code = form != 0 ? SHORT(form) : SHORT(-1);
    entry->width = form != 0 ? DWORD(forms.forms[form - 1].Size.cx / 100) : paper.width;
    entry->length = form != 0 ? DWORD(forms.forms[form - 1].Size.cy / 100) : paper.length;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    const WORD nameId = WORD(FID_CUSTOM_NAME_SETTING + FID_CustomPaperCodeToSlot(paper.code));
    if (DMB_GetValue(nameId, devmode, printerData, &type, &size, &slot) != DMA_OK || type != SVT_WSTRING)
        return false;
    WCHAR name[DCAP_PAPER_NAME_CHARS] = {};
    lstrcpynW(name, FID_SlotString(&slot), DCAP_PAPER_NAME_CHARS);
    WCHAR format[128] = {};
    WCHAR text[1024] = {};
    if (LoadStringW(RES_GetResourceModule(), kStrSlotWithSize, format, 128) > 0 &&
        wsprintfW(text, format, name, int(entry->width / 10), int(entry->length / 10)) > 0)
        lstrcpynW(entry->name, text, DCAP_PAPER_NAME_CHARS);
    else
        lstrcpynW(entry->name, name, DCAP_PAPER_NAME_CHARS);
    return true;
}

void fill_model_paper(HANDLE printer, ModelContext *context, const Forms &forms, const ModelPaper &paper,
                      DcapPaperEntry *entry)
{
    entry->width = paper.width;
    entry->length = paper.length;
    WORD width = 0, length = 0;
    if (paper.code == kCodeUser && MDL_GetDefaultPaperSize(context, kIdPaperSize, &width, &length)) {
        entry->width = width;
        entry->length = length;
    }
    lstrcpynW(entry->name, paper.optionName.data(), DCAP_PAPER_NAME_CHARS);
    if (paper.code == kCodeUser)
        entry->code = kCodeUser;
    else if (paper.code > 0 && PPR_IsBuiltinForm(printer, WORD(paper.code)))
        entry->code = paper.code;
    else
        entry->code = SHORT(forms.find(paper.paperName.data()));
}

/* The devmode's own size stands for the user size when it lies within the model's custom range. */
bool user_size_of_devmode(void *devmode, void *printerData, ModelContext *context, Point *size)
{
    LONG paper = 0, width = 0, length = 0;
    FidPaperLimits limits{};
    if (!dcap_read(kIdPaperSize, devmode, printerData, &paper) || SHORT(paper) != kCodeUser ||
        !dcap_read(kIdPaperWidth, devmode, printerData, &width) ||
        !dcap_read(kIdPaperLength, devmode, printerData, &length) || !FID_CustomPaperLimits(context, &limits))
        return false;
    width = SHORT(width);
    length = SHORT(length);
    if (width < limits.minWidth || width > limits.maxWidth || length < limits.minLength || length > limits.maxLength)
        return false;
    *size = {width, length};
    return true;
}

/* DC_PAPERS, DC_PAPERSIZE, DC_PAPERNAMES from the context's paper list. */
LONG papers_from_list(WORD index, void *output, void *devmode, void *printerData, ModelContext *context, bool user)
{
    WORD count = 0;
    if (PPR_GetPaperCount(context, &count, user ? PPR_ALL_PAPERS : PPR_ALL_BUT_CUSTOM) != PPR_OK || count == 0)
        return -1;
    if (output == nullptr)
        return count;
    const int which = index == DC_PAPERS ? PPR_ARRAY_CODES : index == DC_PAPERSIZE ? PPR_ARRAY_SIZES : PPR_ARRAY_NAMES;
    void *array = nullptr, *custom = nullptr;
    DWORD bytes = 0;
    if (PPR_GetPaperArrays(context, which, &array, &bytes, user, &custom) != PPR_OK)
        return -1;
    const size_t entry = index == DC_PAPERS ? sizeof(WORD) : index == DC_PAPERSIZE ? sizeof(PprPair)
                                                                                    : PPR_NAME_CHARS * sizeof(WCHAR);
    const size_t n = std::min<size_t>(count, bytes / entry);
    if (index == DC_PAPERS && custom != nullptr) {
        const WORD user256 = WORD(kCodeUser);
        std::memcpy(custom, &user256, sizeof user256);
    }
    Point devmodeSize{};
    const bool replace = index == DC_PAPERSIZE && custom != nullptr &&
                         user_size_of_devmode(devmode, printerData, context, &devmodeSize);
    if (replace) {
        const PprPair pair{devmodeSize.x, devmodeSize.y};
        std::memcpy(custom, &pair, sizeof pair);
    }
    if (index == DC_PAPERSIZE) {
        for (size_t i = 0; i < n; ++i) {
            PprPair pair{};
            std::memcpy(&pair, static_cast<BYTE *>(array) + i * sizeof pair, sizeof pair);
            const Point p{pair.first, pair.second};
            std::memcpy(static_cast<BYTE *>(output) + i * sizeof p, &p, sizeof p);
        }
    } else {
        std::memcpy(output, array, n * entry);
    }
    GlobalFree(array);
    return count;
}

/* The paper table, counted and filled; empty on failure. */
bool paper_table(HANDLE printer, void *devmode, void *printerData, ModelContext *context, bool user,
                 std::vector<DcapPaperEntry> *table)
{
    const LONG count = DCAP_BuildPaperTable(printer, devmode, printerData, context, nullptr, user);
    if (count <= 0)
        return false;
    table->assign(size_t(count), DcapPaperEntry{});
    return DCAP_BuildPaperTable(printer, devmode, printerData, context, table->data(), user) == count;
}

} // namespace

LONG DCAP_BuildPaperTable(HANDLE printer, void *devmode, void *printerData, ModelContext *context,
                          DcapPaperEntry *table, BOOL includeUser)
{
    WORD count = 0;
    if (!dcap_OptionCount(context, kIdPaperSize, &count))
        return 0;
    Forms forms;
    DWORD needed = 0;
    const bool fill = table != nullptr && PPR_EnumForms(printer, &forms.forms, &needed, &forms.count) == PPR_FORM_OK;
    LONG entries = 0;
    for (WORD n = 1; n <= count; ++n) {
        ModelPaper paper;
        if (!read_option(context, n, &paper))
            return 0;
        if (!includeUser && paper.code == kCodeUser)
            continue;
        if (fill) {
            DcapPaperEntry &entry = table[entries];
            entry = DcapPaperEntry{};
            if (FID_IsCustomPaperCode(paper.code)) {
                if (!fill_custom(forms, paper, devmode, printerData, &entry))
                    return 0;
            } else {
                fill_model_paper(printer, context, forms, paper, &entry);
            }
        }
        ++entries;
    }
    return entries;
}

DCAP_HANDLER(DCAP_Papers)
{
    LONG offer = 0;
    if (!dcap_has(sources, DCAP_SRC_ALL) || !dcap_read(kIdOfferUserSize, devmode, printerData, &offer) ||
        PPR_BuildPaperList(printer, context, printerData) != PPR_OK)
        return -1;
    if (PPR_HasPaperList(context))
        return papers_from_list(index, output, devmode, printerData, context, offer != 0);
    std::vector<DcapPaperEntry> table;
    if (!paper_table(printer, devmode, printerData, context, offer != 0, &table))
        return -1;
    Point devmodeSize{};
    const bool replace = index == DC_PAPERSIZE && user_size_of_devmode(devmode, printerData, context, &devmodeSize);
    for (size_t i = 0; output != nullptr && i < table.size(); ++i) {
        const DcapPaperEntry &e = table[i];
        auto *out = static_cast<BYTE *>(output);
        if (index == DC_PAPERS) {
            const WORD code = WORD(e.code);
            std::memcpy(out + i * sizeof code, &code, sizeof code);
        } else if (index == DC_PAPERSIZE) {
            const Point p = (replace && e.code == kCodeUser) ? devmodeSize : Point{LONG(e.width), LONG(e.length)};
            std::memcpy(out + i * sizeof p, &p, sizeof p);
        } else {
            std::memcpy(out + i * sizeof e.name, e.name, sizeof e.name);
        }
    }
    return LONG(table.size());
}

/* The smallest (DC_MINEXTENT) or largest width in the low 16 bits and length in the high 16 bits. */
DCAP_HANDLER(DCAP_Extent)
{
    (void)output;
    std::vector<DcapPaperEntry> table;
    if (!dcap_has(sources, DCAP_SRC_ALL) || !paper_table(printer, devmode, printerData, context, false, &table))
        return -1;
    DWORD width = table[0].width, length = table[0].length;
    for (const DcapPaperEntry &e : table) {
        width = index == DC_MINEXTENT ? std::min(width, e.width) : std::max(width, e.width);
        length = index == DC_MINEXTENT ? std::min(length, e.length) : std::max(length, e.length);
    }
    return LONG((width & 0xFFFF) | ((length & 0xFFFF) << 16));
}
