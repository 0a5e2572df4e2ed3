/*
 * The devmode mapping description: the built-in items with their value
 * names and standard Windows-value tables, the overrides of the
 * configuration file's "DME,1" section, the mapping of Windows values to
 * driver values, and the dmFields computation.
 */
#include <tarvel/base/util_text.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/dme_mapping.h>
#include <tarvel/settings/fid_value.h>

#include "cfg_private.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>
#include <new>
#include <span>
#include <vector>

namespace {

struct ValueName {
    LPCWSTR name;
    LONG value;
};

constexpr ValueName kFieldNames[] = {
    {u"ORIENTATION", 1},       {u"PAPERSIZE", 2},        {u"PAPERLENGTH", 4},      {u"PAPERWIDTH", 8},
    {u"SCALE", 16},            {u"COPIES", 256},         {u"DEFAULTSOURCE", 512},  {u"PRINTQUALITY", 1024},
    {u"COLOR", 2048},          {u"DUPLEX", 4096},        {u"YRESOLUTION", 8192},   {u"TTOPTION", 16384},
    {u"COLLATE", 32768},       {u"FORMNAME", 65536},     {u"ICMMETHOD", 8388608},  {u"ICMINTENT", 16777216},
    {u"MEDIATYPE", 33554432},  {u"DITHERTYPE", 67108864},
};

constexpr ValueName kCollateNames[] = {{u"COLLATE_TRUE", 1}, {u"COLLATE_FALSE", 0}};

constexpr ValueName kBinNames[] = {
    {u"AUTO", 7},             {u"TRAY1", 1},           {u"TRAY2", 3},            {u"TRAY3", 2},
    {u"TRAY4", 257},          {u"PRINTER", 259},       {u"MANUAL", 4},           {u"MANUAL_CONFIRM", 260},
    {u"LARGECAPACITY", 11},   {u"LARGECAPACITY2", 268}, {u"TRAY3_LARGE", 261},   {u"TRAY4_LARGE", 262},
    {u"INTERPORSER", 264},    {u"TRAY2-1", 265},       {u"TRAY2-2", 266},        {u"TRAY2-3", 267},
    {u"TRAY1_LCASSETTE", 269}, {u"TRAY2_LCASSETTE", 270}, {u"TRAY1_LARGE", 272}, {u"TRAY2_LARGE", 271},
};

constexpr ValueName kMediaNames[] = {
    {u"PAPER_NORMAL", 0},   {u"PAPER_THICK", 1},    {u"PAPER_SUPERTHICK", 2},
    {u"PAPER_OHP", 3},      {u"PAPER_DEFINE1", 13}, {u"PAPER_DEFINE2", 14},
    {u"PAPER_DEFINE3", 15}, {u"PAPER_DEFINE4", 16}, {u"PAPER_DEFINE5", 17},
};

/* {driver value, Windows value} rows of the standard tables that WindowsValue=1 selects. */
constexpr LONG kStandardBin[][2] = {
    {7, 7},     {1, 14},    {1, 8},     {1, 9},     {3, 3},     {2, 2},     {257, 257}, {259, 259}, {4, 4},
    {4, 5},     {4, 6},     {4, 11},    {4, 10},    {260, 260}, {11, 11},   {268, 268}, {261, 261}, {262, 262},
    {264, 264}, {265, 265}, {266, 266}, {267, 267}, {269, 269}, {270, 270}, {272, 272}, {271, 271},
};
constexpr LONG kStandardMedia[][2] = {{0, 1}, {1, 3}, {2, 2}, {3, 2}, {13, 13}, {14, 14}, {15, 15}, {16, 16}, {17, 17}};

/* Keywords an item accepts. */
enum : unsigned { KW_MERGE = 1, KW_MODE = 2, KW_DEFAULT = 4, KW_WINDOWS_VALUE = 8 };

/* How value-name lines change the pairs. */
enum class NameRule {
    none,
    by_driver,  /* the last line names the pair by its driver value and gives its Windows value */
    by_windows, /* every line names a Windows value that the driver value stands for */
};

/* How the built-in pairs are made from the value names. */
enum class BuiltIn { none, name_and_zero, name_and_name };

struct ItemSpec {
    LPCWSTR name;
    DWORD ddmid;
    SHORT merge, defaultValue, mode, windowsValue;
    unsigned keywords;
    std::span<const ValueName> names;
    BuiltIn builtIn;
    NameRule rule;
    std::span<const LONG[2]> standard;
};

/* The six items in their fixed order (index 0-5). */
const ItemSpec kItems[DME_ITEM_COUNT] = {
    {u"fields", 6, -1, -1, -1, -1, 0, kFieldNames, BuiltIn::name_and_zero, NameRule::by_driver, {}},
    {u"collate", 18, 1, 0, -1, -1, KW_MERGE | KW_DEFAULT, kCollateNames, BuiltIn::none, NameRule::by_driver, {}},
    {u"resolution", 14, 1, 0, 0, -1, KW_MERGE | KW_MODE | KW_DEFAULT, {}, BuiltIn::none, NameRule::none, {}},
    {u"bin", 13, 1, 0, -1, 0, KW_MERGE | KW_DEFAULT | KW_WINDOWS_VALUE, kBinNames, BuiltIn::name_and_name,
     NameRule::by_windows, kStandardBin},
    {u"media", 24, 0, 0, -1, 0, KW_MERGE | KW_DEFAULT | KW_WINDOWS_VALUE, kMediaNames, BuiltIn::name_and_name,
     NameRule::by_windows, kStandardMedia},
    {u"color", 15, -1, -1, 0, -1, KW_MODE, {}, BuiltIn::none, NameRule::none, {}},
};

/* The built-in collate pairs (the collate names are not in pair order). */
constexpr DmePair kCollatePairs[] = {{0, 0, 0}, {1, 1, 0}};

/* Room for "item.VALUE_NAME=" and "%s,%d" section names. */
constexpr int kKeyChars = 64;

/* Replaces an item's pairs with a copy of `pairs`; false when memory runs out. */
bool set_pairs(DmeItem &item, const std::vector<DmePair> &pairs)
{
    DmePair *block = nullptr;
    const size_t count = pairs.size() > 0xFFFF ? 0xFFFF : pairs.size();
    if (count != 0) {
        block = static_cast<DmePair *>(GlobalAlloc(GPTR, count * sizeof(DmePair)));
        if (block == nullptr)
            return false;
        std::memcpy(block, pairs.data(), count * sizeof(DmePair));
    }
    if (item.pairs != nullptr)
        GlobalFree(item.pairs);
    item.pairs = block;
    item.pairCount = static_cast<WORD>(count);
    return true;
}

std::vector<DmePair> built_in_pairs(const ItemSpec &spec)
{
    std::vector<DmePair> pairs;
    if (spec.names.data() == kCollateNames)
        return {std::begin(kCollatePairs), std::end(kCollatePairs)};
    for (const ValueName &v : spec.names) {
        if (spec.builtIn == BuiltIn::name_and_zero)
            pairs.push_back({v.value, 0, 0});
        else if (spec.builtIn == BuiltIn::name_and_name)
            pairs.push_back({v.value, v.value, 0});
    }
    return pairs;
}

/* "item.key=" into `prefix`; false when it does not fit. */
bool item_prefix(LPCWSTR item, LPCWSTR key, WCHAR (&prefix)[kKeyChars])
{
    const size_t a = plat::wlen(item), b = plat::wlen(key);
    if (a + b + 3 > static_cast<size_t>(kKeyChars))
        return false;
    std::memcpy(prefix, item, a * sizeof(WCHAR));
    prefix[a] = u'.';
    std::memcpy(prefix + a + 1, key, b * sizeof(WCHAR));
    prefix[a + 1 + b] = u'=';
    prefix[a + 2 + b] = 0;
    return true;
}

/* The number of the last line "item.key=" of the section; false when there is none or it is no number. */
bool last_number(const CfgSectionIndex &sectionText, LPCWSTR item, LPCWSTR key, DWORD &number)
{
    WCHAR prefix[kKeyChars];
    if (!item_prefix(item, key, prefix))
        return false;
    LPCWSTR value = nullptr;
    return sectionText.findNthLine(1, 1, prefix, &value) != 0 && UTL_ParseNumber(value, &number);
}

/* The keyword overrides of one item (step a) and the standard table (step b). */
bool apply_keywords(const ItemSpec &spec, DmeItem &item, const CfgSectionIndex &sectionText,
                    std::vector<DmePair> &pairs)
{
    struct Keyword {
        unsigned bit;
        LPCWSTR name;
        SHORT DmeItem::*field;
    };
    static constexpr Keyword kKeywords[] = {
        {KW_MERGE, u"merge", &DmeItem::merge},
        {KW_MODE, u"mode", &DmeItem::mode},
        {KW_DEFAULT, u"default", &DmeItem::defaultValue},
        {KW_WINDOWS_VALUE, u"WindowsValue", &DmeItem::windowsValue},
    };
    for (const Keyword &kw : kKeywords) {
        DWORD number = 0;
        if ((spec.keywords & kw.bit) == 0 || !last_number(sectionText, spec.name, kw.name, number))
            continue;
        item.*kw.field = static_cast<SHORT>(static_cast<WORD>(number));
        item.changed = 1;
    }
    if (item.windowsValue == 1 && !spec.standard.empty()) {
        pairs.clear();
        for (const auto &row : spec.standard)
            pairs.push_back({row[0], row[1], static_cast<BYTE>(row[0] != row[1])});
    }
    return true;
}

/* The value-name lines of one item (step c). */
void apply_value_names(const ItemSpec &spec, DmeItem &item, const CfgSectionIndex &sectionText,
                       std::vector<DmePair> &pairs)
{
    for (const ValueName &v : spec.names) {
        if (spec.rule == NameRule::by_driver) {
            DWORD n = 0;
            if (!last_number(sectionText, spec.name, v.name, n))
                continue;
            for (DmePair &pair : pairs) {
                if (pair.driverValue == v.value) {
                    pair.windowsValue = static_cast<LONG>(n);
                    break;
                }
            }
            item.changed = 1;
            continue;
        }
        WCHAR prefix[kKeyChars];
        if (!item_prefix(spec.name, v.name, prefix))
            continue;
        int line = 0;
        LPCWSTR value = nullptr;
        while ((line = sectionText.findNthLine(line + 1, 0, prefix, &value)) != 0) {
            DWORD number = 0;
            if (!UTL_ParseNumber(value, &number))
                continue;
            const LONG windows = static_cast<LONG>(number);
            bool found = false;
            for (DmePair &pair : pairs) {
                if (pair.windowsValue == windows) {
                    pair.driverValue = v.value;
                    pair.differs = static_cast<BYTE>(pair.driverValue != pair.windowsValue);
                    found = true;
                    break;
                }
            }
            if (!found && pairs.size() < 0xFFFF)
                pairs.push_back({v.value, windows, static_cast<BYTE>(v.value != windows)});
            item.changed = 1;
        }
    }
}

bool is_set_and_nonzero(SHORT v)
{
    return v != 0 && v != DME_NOT_SET;
}

} // namespace

DmeDescription *DME_BuildBuiltIn(void)
{
    auto *description = static_cast<DmeDescription *>(GlobalAlloc(GPTR, sizeof(DmeDescription)));
    if (description == nullptr)
        return nullptr;
    description->items = static_cast<DmeItem *>(GlobalAlloc(GPTR, DME_ITEM_COUNT * sizeof(DmeItem)));
    if (description->items == nullptr) {
        GlobalFree(description);
        return nullptr;
    }
    description->itemCount = DME_ITEM_COUNT;
    for (WORD i = 0; i < DME_ITEM_COUNT; ++i) {
        const ItemSpec &spec = kItems[i];
        DmeItem &item = description->items[i];
        item.devmodeItem = spec.ddmid;
        item.merge = spec.merge;
        item.defaultValue = spec.defaultValue;
        item.mode = spec.mode;
        item.windowsValue = spec.windowsValue;
        if (!set_pairs(item, built_in_pairs(spec))) {
            DME_Free(description);
            return nullptr;
        }
    }
    return description;
}

int DME_ApplySection(DmeDescription *description, LPCWSTR sectionText)
{
    if (description == nullptr || description->items == nullptr)
        return 0;
    if (sectionText == nullptr)
        return 1;
    const CfgSectionIndex section(sectionText);
    try {
        for (WORD i = 0; i < DME_ITEM_COUNT && i < description->itemCount; ++i) {
            const ItemSpec &spec = kItems[i];
            DmeItem &item = description->items[i];
            std::vector<DmePair> pairs(item.pairs, item.pairs + item.pairCount);
            apply_keywords(spec, item, section, pairs);
            apply_value_names(spec, item, section, pairs);
            if (!set_pairs(item, pairs))
                return 0;
        }
    } catch (const std::bad_alloc &) {
        return 0; /* the pair lists are kept in a vector while they change */
    }
    DWORD mode = 0;
    if (last_number(section, u"formdb", u"mode", mode))
        description->formdbMode = static_cast<BYTE>(mode & 0xFF);
    return 1;
}

DmeDescription *DME_Load(LPCWSTR path, int sectionNumber)
{
    if (!CFG_FileExists(path))
        return nullptr;
    DmeDescription *description = DME_BuildBuiltIn();
    if (description == nullptr)
        return nullptr;
    WCHAR section[kKeyChars];
    wsprintfW(section, u"%s,%d", u"DME", sectionNumber);
    bool noMemory = false;
    description->sectionFound = static_cast<DWORD>(cfg_SectionExists(path, section, noMemory));
    LPWSTR text = description->sectionFound != 0 ? cfg_ReadSection(path, section, noMemory) : nullptr;
    const int ok = !noMemory && DME_ApplySection(description, text);
    if (text != nullptr)
        GlobalFree(text);
    if (!ok) {
        DME_Free(description);
        return nullptr;
    }
    return description;
}

int DME_Free(DmeDescription *description)
{
    if (description == nullptr)
        return -1;
    if (description->items != nullptr) {
        for (WORD i = 0; i < description->itemCount; ++i)
            if (description->items[i].pairs != nullptr)
                GlobalFree(description->items[i].pairs);
        GlobalFree(description->items);
    }
    GlobalFree(description);
    return 1;
}

DWORD DME_IsConfigured(const DmeDescription *description)
{
    return description != nullptr ? description->sectionFound : 0;
}

int DME_IsFormsMergeMode(const DmeDescription *description)
{
    return description != nullptr && description->formdbMode == 1 ? 1 : 0;
}

int DME_MapToDriverValue(const DmeItem *item, LONG windowsValue, LONG *driverValue)
{
    if (item == nullptr || driverValue == nullptr)
        return -1;
    for (int pass = 0; pass < 2; ++pass) {
        for (WORD i = 0; i < item->pairCount; ++i) {
            const DmePair &pair = item->pairs[i];
            if ((pass == 1 || pair.differs == 1) && pair.windowsValue == windowsValue) {
                *driverValue = pair.driverValue;
                return 1;
            }
        }
    }
    *driverValue = is_set_and_nonzero(item->defaultValue) ? item->defaultValue : windowsValue;
    return 1;
}

int DME_GetMerge(const DmeDescription *description, int index, SHORT *merge)
{
    if (description == nullptr || description->items == nullptr || merge == nullptr)
        return -1;
    if (index < DME_ITEM_COLLATE || index > DME_ITEM_MEDIA)
        return -2;
    *merge = description->items[index].merge;
    return 1;
}

int DME_GetMode(const DmeDescription *description, int index, SHORT *mode)
{
    if (description == nullptr || description->items == nullptr || mode == nullptr)
        return -1;
    if (index != DME_ITEM_RESOLUTION && index != DME_ITEM_COLOR)
        return -2;
    *mode = description->items[index].mode;
    return 1;
}

int DME_ApplyToDevmode(const DmeDescription *description, void *devmode)
{
    if (description == nullptr || description->items == nullptr || devmode == nullptr)
        return -1;
    static constexpr int kMapped[] = {DME_ITEM_COLLATE, DME_ITEM_BIN, DME_ITEM_MEDIA};
    for (int index : kMapped) {
        const DmeItem &item = description->items[index];
        const WORD id = static_cast<WORD>(item.devmodeItem);
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE] = {};
        if (DMB_GetValue(id, devmode, nullptr, &type, &size, slot) != DMA_OK)
            return -5;
        LONG driver = 0;
        DME_MapToDriverValue(&item, FID_ReadValueAsInt(slot, type), &driver);
        BYTE value[FID_SLOT_SIZE] = {};
        plat::store<LONG>(value, driver);
        if (DMB_SetValue(id, devmode, nullptr, type, size, value) != DMA_OK)
            return -5;
    }
    return 1;
}

int DME_AdjustFields(const DmeDescription *description, DWORD fields, DWORD *out)
{
    if (description == nullptr || description->items == nullptr || out == nullptr)
        return -1;
    const DmeItem &item = description->items[DME_ITEM_FIELDS];
    for (WORD i = 0; i < item.pairCount; ++i) {
        const DWORD bit = static_cast<DWORD>(item.pairs[i].driverValue);
        if (item.pairs[i].windowsValue == 1)
            fields &= ~bit;
        else if (item.pairs[i].windowsValue == 2)
            fields |= bit;
    }
    *out = fields;
    return 1;
}

int DME_ComputeFields(const DmeDescription *description, DWORD fields, LONG collate, DWORD *out)
{
    DWORD result = 0;
    const int adjusted = DME_AdjustFields(description, fields, &result);
    if (adjusted != 1)
        return adjusted;
    const DmeItem *items = description->items;
    switch (items[DME_ITEM_COLLATE].merge) {
    case 1:
        result |= DME_DM_COLLATE;
        break;
    case 0:
        result &= ~DME_DM_COLLATE;
        break;
    case 2: {
        LONG driver = 0;
        const int mapped = DME_MapToDriverValue(&items[DME_ITEM_COLLATE], collate, &driver);
        if (mapped != 1)
            return mapped;
        if (driver == 0)
            result |= DME_DM_COLLATE;
        else
            result &= ~DME_DM_COLLATE;
        break;
    }
    default:
        break;
    }
    static constexpr struct {
        int index;
        DWORD bits;
    } kMergeBits[] = {
        {DME_ITEM_RESOLUTION, DME_DM_RESOLUTION},
        {DME_ITEM_BIN, DME_DM_DEFAULTSOURCE},
        {DME_ITEM_MEDIA, DME_DM_MEDIATYPE},
    };
    for (const auto &m : kMergeBits) {
        if (items[m.index].merge == 1)
            result |= m.bits;
        else
            result &= ~m.bits;
    }
    *out = result;
    return 1;
}
