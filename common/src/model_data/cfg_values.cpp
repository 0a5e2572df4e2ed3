/*
 * The per-model configuration record (ModelSpecials): the feature and switch
 * tables, reading the model's section into the record, converting configured
 * values into the settings' internal values, and applying and answering
 * them.
 */
#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include "cfg_private.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <span>

const CfgValueWord CfgValueWords[] = {
    {u"on", 1},
    {u"off", 0},
    {u"true", 1},
    {u"false", 0},
    {u"auto_color", 0},
    {u"gray", 1},
    {u"color", 2},
    {u"hide", 0},
    {u"dimout", 1},
    {u"show", 2},
    {u"normal_print", 0},
    {u"secure_print", 1},
    {u"sample_print", 2},
    {u"box_print", 3},
    {u"delay_print", 4},
    {u"hole2", 0},
    {u"hole3", 1},
    {u"ab13in_series", 0},
    {u"ab_series", 1},
    {u"ab8k16k_series", 2},
    {u"ab13in14in_series", 3},
    {u"inch_series", 4},
    {u"trad", 0},
    {u"simp", 1},
    {u"option0", 0},
    {u"option1", 1},
    {u"option2", 2},
    {u"option3", 3},
    {u"option4", 4},
    {u"option5", 5},
    {u"option6", 6},
    {u"option7", 7},
    {u"option8", 8},
    {u"option9", 9},
    {u"LightFinisher", 1},
    {u"FinisherA", 10},
    {u"FinisherB", 2},
    {u"FinisherC", 3},
    {u"FinisherD", 4},
    {nullptr, 0},
};

namespace {

struct Feature {
    LPCWSTR name;
    WORD id;
};

/* The features a section can configure, in the order they are looked for. */
constexpr Feature kFeatures[] = {
    {u"Special1", 5153},
    {u"ColorMode", 270},
    {u"JobType", 334},
    {u"duplex", 16},
    {u"banner", 332},
    {u"staple", 320},
    {u"punch", 341},
    {u"fonttype", 1335},
    {u"font_subst", 292},
    {u"AccountMode", 5163},
    {u"popup_admin", 5164},
    {u"popup_user", 5165},
    {u"Option_HiCapacityTray", 4097},
    {u"Option_SideTray", 4108},
    {u"Option_FoldedPaperTray", 4121},
    {u"Option_BookletTray", 4122},
    {u"Option_Interposer", 4110},
    {u"Punch_Hole", 4363},
    {u"Option_Duplex", 4103},
    {u"Option_OCT", 4098},
    {u"Option_HardDisk", 4099},
    {u"Option_MemorySelect", 4355},
    {u"Option_FaxKit", 4125},
    {u"Paper_Setting", 4356},
    {u"Paper_Switch_8K16K", 4358},
    {u"Option_Glossy", 4127},
    {u"Option_Exit2", 4126},
    {u"Option_PBExp", 4113},
    {u"Option_InTray", 4357},
    {u"Option_Finisher", 4359},
};

/* One setting a switch enforces. */
struct BundleItem {
    WORD id;
    DWORD value;
    WORD flags;
};

constexpr BundleItem kSpecial1Bundle[] = {{5153, 1, CFG_FLAG_ENFORCED | CFG_FLAG_SHOW}};
constexpr BundleItem kMonoBundle[] = {{270, 1, CFG_FLAG_ENFORCED | CFG_FLAG_DIMOUT}, {4129, 0, CFG_FLAG_ENFORCED}};
constexpr BundleItem kSecureBundle[] = {{334, 1, CFG_FLAG_ENFORCED}, {4099, 1, CFG_FLAG_ENFORCED}};

struct Switch {
    LPCWSTR key;
    WORD number;
    std::span<const BundleItem> bundle;
};

/* The switch keys in the order they are looked for. */
const Switch kSwitches[] = {
    {u"USE_SPECIAL1", CFG_SWITCH_USE_SPECIAL1, kSpecial1Bundle},
    {u"MONOCOLOR_PRINT", CFG_SWITCH_MONOCOLOR_PRINT, kMonoBundle},
    {u"SECURE_PRINT", CFG_SWITCH_SECURE_PRINT, kSecureBundle},
    {u"LOG", CFG_SWITCH_LOG, {}},
};

/* A configuration value and the internal value it stands for. */
struct Pair {
    DWORD config;
    DWORD internal;
};

constexpr Pair kOnOff[] = {{1, 1}, {0, 0}};
constexpr Pair kZeroOne[] = {{0, 0}, {1, 1}};
constexpr Pair kSame[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}};
constexpr Pair kColourMode[] = {{0, 0}, {2, 2}, {1, 1}};
constexpr Pair kDuplex[] = {{0, 1}, {1, 2}, {2, 3}};
constexpr Pair kStaple[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4},  {5, 5},
                            {6, 6}, {7, 7}, {8, 8}, {9, 10}, {10, 9}, {11, 11}};
constexpr Pair kFontSubst[] = {{0, 2}, {1, 1}, {2, 0}};
constexpr Pair kFinisher[] = {{0, 0}, {1, 1}, {10, 10}, {2, 2}, {3, 3}, {4, 4}};

struct Conversion {
    WORD id;
    std::span<const Pair> pairs;
};

/* The internal value of each configuration value, per setting (a value without a pair is not applied). */
constexpr Conversion kConversions[] = {
    {5153, kOnOff},
    {4129, kOnOff},
    {1335, kOnOff},
    {4097, kOnOff},
    {4108, kOnOff},
    {4121, kOnOff},
    {4122, kOnOff},
    {4110, kOnOff},
    {4103, kOnOff},
    {4099, kOnOff},
    {4125, kOnOff},
    {4098, kOnOff},
    {4127, kOnOff},
    {4126, kOnOff},
    {4113, kOnOff},
    {270, kColourMode},
    {334, std::span<const Pair>(kSame, 5)},
    {16, kDuplex},
    {332, std::span<const Pair>(kSame, 3)},
    {320, kStaple},
    {341, std::span<const Pair>(kSame, 6)},
    {292, kFontSubst},
    {5163, kZeroOne},
    {5164, kZeroOne},
    {5165, kZeroOne},
    {4358, kZeroOne},
    {4363, std::span<const Pair>(kSame, 4)},
    {4356, std::span<const Pair>(kSame, 5)},
    {4355, std::span<const Pair>(kSame, 10)},
    {4357, std::span<const Pair>(kSame, 6)},
    {4359, kFinisher},
};

/* Longest key prefix built here ("Option_FoldedPaperTray.enforced=" and its kin), with room to spare. */
constexpr int kPrefixChars = 64;

/* The internal value of a configured value; false when the mode does not take it or it has no pair. */
bool convert(int mode, WORD id, WORD flags, DWORD value, DWORD &internal)
{
    if (mode == CFG_APPLY_ALL) {
        if ((flags & (CFG_FLAG_DEFAULT | CFG_FLAG_ENFORCED)) == 0)
            return false;
    } else if (mode == CFG_APPLY_ENFORCED) {
        if ((flags & CFG_FLAG_ENFORCED) == 0)
            return false;
    } else {
        return false;
    }
    for (const Conversion &row : kConversions) {
        if (row.id != id)
            continue;
        for (const Pair &pair : row.pairs) {
            if (pair.config == value) {
                internal = pair.internal;
                return true;
            }
        }
        return false;
    }
    return false;
}

/* Writes a 32-bit value with the type and size the setting has in the records; skips strings and blocks. */
void write_value(WORD id, void *devmode, void *printerData, DWORD value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(id, devmode, printerData, &type, &size, slot) != DMA_OK)
        return;
    if (type == SVT_WSTRING || type == SVT_LOGFONT)
        return;
    BYTE bytes[FID_SLOT_SIZE] = {};
    plat::store<DWORD>(bytes, value);
    DMB_SetValue(id, devmode, printerData, type, size, bytes);
}

const Switch *find_switch(WORD number)
{
    for (const Switch &s : kSwitches)
        if (s.number == number)
            return &s;
    return nullptr;
}

/* The first entry for `id`: the bundles of the switches set to 1, then the features. */
bool find_entry(WORD id, const ModelSpecials *specials, DWORD &value, WORD &flags)
{
    if (specials == nullptr)
        return false;
    for (WORD i = 0; i < specials->switchCount; ++i) {
        const CfgSwitchEntry &entry = specials->switches[i];
        const Switch *sw = entry.value == 1 ? find_switch(entry.number) : nullptr;
        if (sw == nullptr)
            continue;
        for (const BundleItem &item : sw->bundle) {
            if (item.id == id) {
                value = item.value;
                flags = item.flags;
                return true;
            }
        }
    }
    for (WORD i = 0; i < specials->featureCount; ++i) {
        if (specials->features[i].id == id) {
            value = specials->features[i].value;
            flags = specials->features[i].flags;
            return true;
        }
    }
    return false;
}

/* "name.suffix=" or "name=" into `prefix` (cut at kPrefixChars - 1 characters). */
void join_prefix(LPCWSTR name, LPCWSTR suffix, WCHAR (&prefix)[kPrefixChars])
{
    int n = 0;
    auto put = [&](LPCWSTR text) {
        for (; text != nullptr && *text != 0 && n + 1 < kPrefixChars; ++text)
            prefix[n++] = *text;
    };
    put(name);
    if (suffix != nullptr) {
        put(u".");
        put(suffix);
    }
    put(u"=");
    prefix[n] = 0;
}

/* Reads the key `prefix` of the section: 1 with its value (0 when it is no word or number), else 0. */
int read_key(const CfgSectionIndex &section, LPCWSTR prefix, DWORD &value, bool &isNumber)
{
    WCHAR text[CFG_VALUE_CHARS];
    if (!section.findKeyValue(prefix, text))
        return 0;
    value = 0;
    isNumber = CFG_ParseValueWord(CfgValueWords, text, &value) != 0;
    if (!isNumber)
        value = 0;
    return 1;
}

/* Most entries a section can give: one per feature, one per switch key. */
constexpr size_t kMaxFeatures = sizeof kFeatures / sizeof kFeatures[0];
constexpr size_t kMaxSwitches = sizeof kSwitches / sizeof kSwitches[0];

/* The keys every section is asked for, joined once: each parse asks for all of them. */
struct KeyPrefixes {
    WCHAR enforced[kMaxFeatures][kPrefixChars];
    WCHAR defaults[kMaxFeatures][kPrefixChars];
    WCHAR display[kMaxFeatures][kPrefixChars];
    WCHAR switches[kMaxSwitches][kPrefixChars];
};

const KeyPrefixes &key_prefixes()
{
    static const KeyPrefixes prefixes = [] {
        KeyPrefixes p{};
        for (size_t i = 0; i < kMaxFeatures; ++i) {
            join_prefix(kFeatures[i].name, u"enforced", p.enforced[i]);
            join_prefix(kFeatures[i].name, u"default", p.defaults[i]);
            join_prefix(kFeatures[i].name, u"display", p.display[i]);
        }
        for (size_t i = 0; i < kMaxSwitches; ++i)
            join_prefix(kSwitches[i].key, nullptr, p.switches[i]);
        return p;
    }();
    return prefixes;
}

/* Packs the two lists (in reverse order of discovery) into one block. */
ModelSpecials *build_record(const CfgFeatureEntry *features, size_t featureCount, const CfgSwitchEntry *switches,
                            size_t switchCount)
{
    const size_t head = sizeof(ModelSpecials);
    const size_t featureBytes = featureCount * sizeof(CfgFeatureEntry);
    const size_t switchBytes = switchCount * sizeof(CfgSwitchEntry);
    static_assert(sizeof(ModelSpecials) % alignof(CfgFeatureEntry) == 0 &&
                      sizeof(CfgFeatureEntry) % alignof(CfgSwitchEntry) == 0,
                  "entry arrays follow the head without padding");
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, head + featureBytes + switchBytes));
    if (block == nullptr)
        return nullptr;
    auto *record = reinterpret_cast<ModelSpecials *>(block);
    record->featureCount = static_cast<WORD>(featureCount);
    record->switchCount = static_cast<WORD>(switchCount);
    record->features = reinterpret_cast<CfgFeatureEntry *>(block + head);
    record->switches = reinterpret_cast<CfgSwitchEntry *>(block + head + featureBytes);
    for (size_t i = 0; i < featureCount; ++i)
        record->features[i] = features[featureCount - 1 - i];
    for (size_t i = 0; i < switchCount; ++i)
        record->switches[i] = switches[switchCount - 1 - i];
    return record;
}

} // namespace

LPWSTR CFG_MakeModelCfgPath(LPCWSTR companionName)
{
    const size_t n = plat::wlen(companionName);
    if (n == 0)
        return nullptr;
    size_t dot = n;
    for (size_t i = 0; i < n; ++i) {
        const WCHAR c = companionName[i];
        if (c == u'\\' || c == u'/' || c == u':')
            return nullptr; /* a name, never a path: the file stays in the driver directory */
        if (c == u'.')
            dot = i;
    }
    if (dot == n)
        return nullptr;
    WCHAR directory[MAX_PATH + 1] = {};
    if (!RES_GetDriverDirectory(directory, RES_DRIVER_DIR_BYTES) || directory[0] == 0)
        return nullptr;
    const size_t dirLength = plat::wlen(directory);
    const size_t total = dirLength + dot + 4; /* ".cfg" */
    if (total >= MAX_PATH)
        return nullptr;
    auto *path = static_cast<LPWSTR>(GlobalAlloc(GPTR, (total + 1) * sizeof(WCHAR)));
    if (path == nullptr)
        return nullptr;
    std::memcpy(path, directory, dirLength * sizeof(WCHAR));
    std::memcpy(path + dirLength, companionName, dot * sizeof(WCHAR));
    std::memcpy(path + dirLength + dot, u".cfg", 4 * sizeof(WCHAR));
    return path;
}

LPWSTR CFG_GetModelCfgPath(ModelContext *context)
{
    if (context == nullptr || context->main == nullptr)
        return nullptr;
    ModelRecord *record = nullptr;
    if (DDD_ReadHeaderInfo(context->main, &record) != DDD_OK)
        return nullptr;
    LPWSTR path = CFG_MakeModelCfgPath(reinterpret_cast<DddHeaderInfo *>(record)->companionName);
    DDD_FreeRecord(&record, DDD_KIND_HEADER);
    return path;
}

ModelSpecials *CFG_ParseSpecials(LPCWSTR text)
{
    const CfgSectionIndex sectionText(text);
    CfgFeatureEntry features[kMaxFeatures];
    CfgSwitchEntry switches[kMaxSwitches];
    size_t featureCount = 0, switchCount = 0;
    const KeyPrefixes &keys = key_prefixes();
    for (size_t i = 0; i < kMaxFeatures; ++i) {
        DWORD value = 0, display = 0;
        WORD flags = 0;
        bool isNumber = false;
        if (read_key(sectionText, keys.enforced[i], value, isNumber))
            flags |= CFG_FLAG_ENFORCED;
        else if (read_key(sectionText, keys.defaults[i], value, isNumber))
            flags |= CFG_FLAG_DEFAULT;
        if (read_key(sectionText, keys.display[i], display, isNumber)) {
            if (display == 0)
                flags |= CFG_FLAG_HIDE;
            else if (display == 1)
                flags |= CFG_FLAG_DIMOUT;
            else if (display == 2)
                flags |= CFG_FLAG_SHOW;
        }
        if (flags != 0)
            features[featureCount++] = {kFeatures[i].id, (flags & (CFG_FLAG_DEFAULT | CFG_FLAG_ENFORCED)) ? value : 0,
                                        flags};
    }
    for (size_t i = 0; i < kMaxSwitches; ++i) {
        DWORD value = 0;
        bool isNumber = false;
        if (read_key(sectionText, keys.switches[i], value, isNumber) && isNumber)
            switches[switchCount++] = {kSwitches[i].number, value};
    }
    return build_record(features, featureCount, switches, switchCount);
}

ModelSpecials *CFG_LoadSpecials(LPCWSTR modelName, LPCWSTR path)
{
    if (!CFG_FileExists(path))
        return nullptr;
    const DWORD size = CFG_GetFileSize(path);
    LPWSTR text = nullptr;
    bool noMemory = false;
    if (size != 0) {
        LPWSTR section = CFG_ChooseSection(path, size, modelName);
        noMemory = section == nullptr;
        if (section != nullptr) {
            text = cfg_ReadSection(path, section, noMemory);
            GlobalFree(section);
        }
    }
    ModelSpecials *specials = noMemory ? nullptr : CFG_ParseSpecials(text);
    if (text != nullptr)
        GlobalFree(text);
    LOG_ReloadSwitch();
    return specials;
}

int CFG_FreeSpecials(ModelSpecials *specials)
{
    if (specials != nullptr)
        GlobalFree(specials);
    return 1;
}

int CFG_ApplySpecials(const ModelSpecials *specials, void *devmode, void *printerData, int mode)
{
    if (specials == nullptr)
        return 0;
    DWORD internal = 0;
    for (WORD i = 0; i < specials->featureCount; ++i) {
        const CfgFeatureEntry &entry = specials->features[i];
        if (convert(mode, entry.id, entry.flags, entry.value, internal))
            write_value(entry.id, devmode, printerData, internal);
    }
    for (WORD i = 0; i < specials->switchCount; ++i) {
        const Switch *sw = specials->switches[i].value == 1 ? find_switch(specials->switches[i].number) : nullptr;
        if (sw == nullptr)
            continue;
        for (const BundleItem &item : sw->bundle)
            if (convert(mode, item.id, item.flags, item.value, internal))
                write_value(item.id, devmode, printerData, internal);
    }
    return 1;
}

int CFG_GetSpecialValue(WORD id, const ModelSpecials *specials, void *slot, WORD type)
{
    DWORD value = 0, internal = 0;
    WORD flags = 0;
    if (slot == nullptr || type == SVT_WSTRING || !find_entry(id, specials, value, flags))
        return 0;
    if (!convert(CFG_APPLY_ALL, id, flags, value, internal))
        return 0;
    BYTE bytes[4];
    plat::store<DWORD>(bytes, internal);
    return FID_CopyValue(type, slot, bytes);
}

int CFG_GetSpecialFlags(WORD id, const ModelSpecials *specials, WORD *flags)
{
    DWORD value = 0;
    WORD found = 0;
    if (flags == nullptr || !find_entry(id, specials, value, found))
        return 0;
    *flags = found;
    return 1;
}

int CFG_IsEnforced(WORD id, const ModelSpecials *specials)
{
    WORD flags = 0;
    return CFG_GetSpecialFlags(id, specials, &flags) && (flags & CFG_FLAG_ENFORCED) ? 1 : 0;
}

LPWSTR CFG_GetComment(LPCWSTR modelName, LPCWSTR path)
{
    const DWORD size = CFG_GetFileSize(path);
    if (size == 0)
        return nullptr;
    LPWSTR section = CFG_ChooseSection(path, size, modelName);
    if (section == nullptr)
        return nullptr;
    LPWSTR text = CFG_ReadSection(path, section);
    GlobalFree(section);
    LPWSTR comment = nullptr;
    CFG_FindNthKeyValue(1, 0, text, u"COMMENT=", &comment);
    if (text != nullptr)
        GlobalFree(text);
    if (comment != nullptr && comment[0] == 0) {
        GlobalFree(comment);
        comment = nullptr;
    }
    return comment;
}
