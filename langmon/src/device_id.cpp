/*
 * The IEEE 1284 device ID: "KEY:value;" fields, keys compared at the start
 * of a field and case-sensitively, a last field without its ';' ending at
 * the end of the text.  The supported model's ID gives the manufacturer,
 * model, command languages and the status block; another device's only its
 * manufacturer and model.  The text comes from the device: every value is
 * cut at its buffer, unknown keys are skipped.
 */
#include "status.h"

#include <algorithm>
#include <cstring>

namespace {

/* Length of a field's value: up to ';' or the end. */
size_t value_length(const char *text)
{
    size_t n = 0;
    while (text[n] && text[n] != ';')
        ++n;
    return n;
}

/* Copies at most max characters of the value into out (zero-filled, out holds max + 1). */
void copy_value(char *out, size_t max, const char *text)
{
    const size_t n = value_length(text);
    std::memcpy(out, text, n < max ? n : max);
}

bool store_text(MonitorPort *port, const char *name, const char *text, size_t bytes)
{
    StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE);
    if (!row || LMS_VariableSize(row) != LONG(bytes) || !LMS_StoreValue(row, text))
        return false;
    row->changed = 1;
    return true;
}

/* "PrinterModel": a 64-byte value; the bare model name of the supported model gets its maker's name. */
bool store_model(MonitorPort *port, const char *model)
{
    char value[64] = {};
    if (std::strcmp(model, "Lumaset K4100") == 0)
        std::strcpy(value, "OSTREL Lumaset K4100");
    else
        std::strncpy(value, model, sizeof value - 1);
    return store_text(port, "PrinterModel", value, sizeof value);
}

/* Command languages of other printer families the status program tells apart (code, keyword). */
struct CommandSetRow {
    DWORD code;
    const char *keyword;
};
constexpr CommandSetRow kCommandSets[] = {{0, "LIPS"}, {5, "ESCPAGE"}};
constexpr DWORD kMaxCommandSets = 8;

/* Calls `take(key, value)` for every field of the text. */
template <class Take> void walk_fields(const char *text, Take take)
{
    while (text && *text) {
        take(text);
        const size_t n = value_length(text);
        if (!text[n])
            break;
        text += n + 1;
    }
}

bool starts(const char *field, const char *key) { return std::strncmp(field, key, std::strlen(key)) == 0; }

} // namespace

bool LMS_SetManufacturer(const char *text, MonitorPort *port)
{
    if (!text || !port)
        return false;
    /* the row delivers 32 bytes: at most 31 characters and the terminator */
    char value[32] = {};
    copy_value(value, sizeof value - 1, text);
    LMP_Lock(port);
    const bool changed = store_text(port, "PrinterManufacturer", value, sizeof value);
    LMP_Unlock(port);
    return changed;
}

bool LMS_ParseModel(const char *text, MonitorPort *port)
{
    if (!text || !port)
        return false;
    char model[64] = {};
    copy_value(model, sizeof model - 1, text);
    LMP_Lock(port);
    /* the system name holds 31 characters and its terminator; a longer model is cut there */
    std::memset(port->deviceInfo.systemName, 0, sizeof port->deviceInfo.systemName);
    std::memcpy(port->deviceInfo.systemName, model,
                std::min(std::strlen(model), sizeof port->deviceInfo.systemName - 1));
    const bool changed = store_model(port, model);
    LMP_Unlock(port);
    return changed;
}

bool LMS_ParseCommandSet(const char *text, MonitorPort *port)
{
    if (!text || !port)
        return false;
    const size_t n = value_length(text);
    DWORD codes[kMaxCommandSets];
    DWORD count = 0;
    for (size_t at = 0; at < n;) {
        if (text[at] == ',') {
            ++at;
            continue;
        }
        const CommandSetRow *match = nullptr;
        for (const CommandSetRow &row : kCommandSets) {
            const size_t k = std::strlen(row.keyword);
            if (at + k <= n && std::strncmp(text + at, row.keyword, k) == 0) {
                match = &row;
                break;
            }
        }
        if (!match) {
            ++at;
            continue;
        }
        at += std::strlen(match->keyword);
        bool known = false;
        for (DWORD i = 0; i < count; ++i)
            known = known || codes[i] == match->code;
        if (known || count == kMaxCommandSets)
            continue;
        /* kept in ascending order */
        DWORD i = count;
        while (i && codes[i - 1] > match->code) {
            codes[i] = codes[i - 1];
            --i;
        }
        codes[i] = match->code;
        ++count;
    }
    BYTE value[4 + kMaxCommandSets * 4];
    std::memcpy(value, &count, 4);
    std::memcpy(value + 4, codes, SIZE_T(count) * 4);
    LMP_Lock(port);
    bool changed = false;
    if (StatusVariable *row = LMS_LookupVariable("EmulationInfo", port)) {
        changed = LMS_StoreValue(row, value);
        if (changed)
            row->changed = 1;
    }
    LMP_Unlock(port);
    return changed;
}

void LMS_ParseDeviceId(const char *text, MonitorPort *port)
{
    if (!text || !port)
        return;
    walk_fields(text, [&](const char *field) {
        if (starts(field, "MANUFACTURER:"))
            LMS_SetManufacturer(field + 13, port);
        else if (starts(field, "MFG:"))
            LMS_SetManufacturer(field + 4, port);
        else if (starts(field, "MDL:"))
            LMS_ParseModel(field + 4, port);
        else if (starts(field, "CMD:"))
            LMS_ParseCommandSet(field + 4, port);
        else if (starts(field, "STS:")) {
            DeviceStatusBlock block;
            if (LMS_DecodeStatusField(field + 4, &block) && LMS_ApplyStatusBlock(&block, port)) {
                LMS_NotifyChanged(port);
                LMS_PublishPrinterStatus(port);
            }
        }
    });
}

void LMS_ParseForeignDeviceId(const char *text, MonitorPort *port)
{
    if (!text || !port)
        return;
    bool changed = false;
    walk_fields(text, [&](const char *field) {
        if (starts(field, "MANUFACTURER:"))
            changed |= LMS_SetManufacturer(field + 13, port);
        else if (starts(field, "MFG:"))
            changed |= LMS_SetManufacturer(field + 4, port);
        else if (starts(field, "MDL:") || starts(field, "MODEL:")) {
            char model[64] = {};
            const char *value = field + (field[1] == 'D' ? 4 : 6);
            copy_value(model, sizeof model - 1, value);
            LMP_Lock(port);
            changed |= store_model(port, model);
            LMP_Unlock(port);
        }
    });
    if (changed)
        LMS_NotifyChanged(port);
}
