/*
 * A port's table of named status values: the template every port copies,
 * the lookups (by exact name, only rows that apply to the device), a row's
 * byte size, storing a value, and freeing the table.
 */
#include "status.h"

#include <cstring>

namespace {

constexpr ULONGLONG kNotK4100 = 0xFFFFFFF0FFFFFFFFull;

/* name, applicability, size, element size, type, group, flags */
struct TemplateRow {
    const char *name;
    ULONGLONG applicability;
    LONG size;
    LONG elementSize;
    LONG type;
    LONG group;
    DWORD flags;
};

constexpr TemplateRow kTemplate[LM_STATUS_ROWS] = {
    {"ErrPeriodicChange", SV_ALL_MODELS, 4, 0, 1, 0, 3},
    {"TonerRemain", SV_ALL_MODELS, 4, 0, 1, 1, 3},
    {"CRURemain", SV_ALL_MODELS, 4, 0, 1, 1, 3},
    {"ErrBinError", SV_ALL_MODELS, 4, 0, 1, 0, 3},
    {"ErrHWError", SV_ALL_MODELS, 4, 0, 1, 2, 3},
    {"ErrHWErrorDetail", SV_ALL_MODELS, 4, 0, 1, 2, 3},
    {"ErrSupplies", SV_ALL_MODELS, 4, 0, 1, 0, 3},
    {"ErrPaperJam", SV_ALL_MODELS, 4, 0, 1, 0, 3},
    {"ErrPaperSizeError", SV_ALL_MODELS, 4, 0, 1, 0, 3},
    {"ErrNoPaper2", SV_ALL_MODELS, 8, 0, 1, 0, 3},
    {"ErrCoverOpen", SV_ALL_MODELS, 4, 0, 1, 1, 3},
    {"PowerSaveEnd", SV_ALL_MODELS, 4, 0, 1, 2, 3},
    {"CurrentFeeder", SV_ALL_MODELS, 4, 0, 1, 2, 3},
    {"PrinterBinConfig", SV_ALL_MODELS, -1, 12, 1, 2, 3},
    {"PrinterExtConfig", SV_ALL_MODELS, 4, 0, 1, 1, 3},
    {"PrinterStatus", SV_ALL_MODELS, 12, 0, 8, 1, 3},
    {"FWStatus", SV_ALL_MODELS, 4, 0, 8, 1, 3},
    {"PrinterDisplay2", SV_ALL_MODELS, 260, 0, 1, 8, 3},
    {"PrinterDisplay", SV_ALL_MODELS, 132, 0, 1, 8, 3},
    {"ServiceTag", SV_ALL_MODELS, 32, 0, 9, 16, 3},
    {"DisplayLang", SV_ALL_MODELS, 4, 0, 9, 32, 3},
    {"PrinterExtStatus", SV_ALL_MODELS, 4, 0, 1, 1, 3},
    {"PrinterManufacturer", SV_ALL_MODELS, 32, 0, 1, 2, 3},
    {"PrinterModel", SV_ALL_MODELS, 64, 0, 1, 2, 3},
    {"JobStatus", SV_ALL_MODELS, 4, 0, 6, 0, 3},
    {"SendingJobInfo", SV_ALL_MODELS, 292, 0, 2, 0, 0},
    {"PrintingJobInfo2", SV_ALL_MODELS, 320, 0, 2, 0, 0},
    {"PrinterQueue", SV_ALL_MODELS, 4, 0, 5, 0, 0},
    {"PrinterOptConfig", SV_ALL_MODELS, -1, 8, 9, 2, 3},
    {"PrinterMemory", SV_ALL_MODELS, 4, 0, 9, 2, 3},
    {"EmulationInfo", SV_ALL_MODELS, -1, 4, 9, 2, 3},
    {"PageCount", SV_ALL_MODELS, 4, 0, 9, 0, 3},
    {"PrinterName", SV_ALL_MODELS, 0, 0, 0, 0, 0},
    {"Port", SV_ALL_MODELS, 0, 0, 0, 0, 0},
    {"OppPowerSaveTime", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPowerSaveTime2", kNotK4100, 4, 0, 9, 4, 3},
    {"OppPaperType", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperType1", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperType2", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperType3", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperType4", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperType5", kNotK4100, 4, 0, 9, 4, 3},
    {"OppIntrayMTDir", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppPaperSort", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"OppOuttray", SV_ALL_MODELS, 4, 0, 9, 4, 3},
    {"SpooledFileInfo", SV_ALL_MODELS, 300, 0, 6, 0, 3},
    {"CurrentStatus", SV_ALL_MODELS, 0, 0, 0, 1, 0},
    {"PrinterStatusEx", SV_ALL_MODELS, 0, 0, 0, 1, 0},
    {"PortEx", SV_ALL_MODELS, 0, 0, 0, 1, 0},
    {"IconState", SV_ALL_MODELS, 4, 0, 1, 2, 3},
};

StatusVariable *find_row(const char *name, StatusVariable *table, ULONGLONG modelMask)
{
    if (!name || !table)
        return nullptr;
    for (StatusVariable *row = table; row->name; ++row) {
        if (std::strcmp(row->name, name) != 0)
            continue;
        if (row->applicability == SV_ALL_MODELS || LMU_MaskIntersects(row->applicability, modelMask))
            return row;
    }
    return nullptr;
}

} // namespace

StatusVariable *LMS_NewStatusTable()
{
    auto *table = static_cast<StatusVariable *>(LMU_Alloc(sizeof(StatusVariable) * (LM_STATUS_ROWS + 1)));
    if (!table)
        return nullptr;
    for (int i = 0; i < LM_STATUS_ROWS; ++i) {
        const TemplateRow &t = kTemplate[i];
        table[i] = StatusVariable{t.name, t.applicability, nullptr, t.size, t.elementSize, t.type, 0, t.group, t.flags};
    }
    return table;
}

StatusVariable *LMS_FindVariable(const char *name, StatusVariable *table, const MonitorPort *port, BOOL allocate)
{
    if (!port)
        return nullptr;
    StatusVariable *row = find_row(name, table, port->modelMask);
    if (!row || !allocate || row->value)
        return row;
    if (row->size <= 0)
        return nullptr;
    row->value = static_cast<BYTE *>(LMU_Alloc(SIZE_T(row->size)));
    return row->value ? row : nullptr;
}

StatusVariable *LMS_LookupVariable(const char *name, MonitorPort *port)
{
    return port ? LMS_FindVariable(name, port->statusVariables, port, FALSE) : nullptr;
}

StatusVariable *LMS_LookupVariableFor(const char *name, MonitorPort *port, const ServedPrinter *printer)
{
    if (!port || !printer)
        return nullptr;
    return find_row(name, port->statusVariables, printer->modelMask);
}

LONG LMS_VariableSize(const StatusVariable *row)
{
    if (!row)
        return -1;
    if (row->size != -1)
        return row->size;
    if (!row->value)
        return -1;
    DWORD count;
    std::memcpy(&count, row->value, 4);
    const ULONGLONG bytes = ULONGLONG(count) * ULONGLONG(row->elementSize) + 4;
    return bytes > 0x7FFFFFFF ? -1 : LONG(bytes);
}

BOOL LMS_StoreValue(StatusVariable *row, const void *source)
{
    if (!row || !source)
        return FALSE;
    /* A counted list's size comes from the source's own count. */
    LONG size = row->size;
    if (size == -1) {
        DWORD count;
        std::memcpy(&count, source, 4);
        const ULONGLONG bytes = ULONGLONG(count) * ULONGLONG(row->elementSize) + 4;
        if (bytes > 0x7FFFFFFF)
            return FALSE;
        size = LONG(bytes);
    }
    if (size <= 0)
        return FALSE;
    const LONG current = row->value ? LMS_VariableSize(row) : -1;
    if (current == size) {
        if (std::memcmp(row->value, source, SIZE_T(size)) == 0)
            return FALSE;
        std::memcpy(row->value, source, SIZE_T(size));
        return TRUE;
    }
    auto *fresh = static_cast<BYTE *>(LMU_Alloc(SIZE_T(size)));
    if (!fresh)
        return FALSE;
    std::memcpy(fresh, source, SIZE_T(size));
    LMU_Free(row->value);
    row->value = fresh;
    return TRUE;
}

void LMS_MarkAllChanged(StatusVariable *table)
{
    if (!table)
        return;
    for (StatusVariable *row = table; row->name; ++row) {
        const LONG t = row->type;
        if (row->value && (t == 1 || t == 3 || t == 5 || t == 7 || t == 8 || t == 9))
            row->changed = 1;
    }
}

void LMS_FreeValue(StatusVariable *row)
{
    if (!row)
        return;
    LMU_Free(row->value);
    row->value = nullptr;
}

void LMS_ClearJobRecordQueue(MonitorPort *port)
{
    if (!port || !port->jobRecordQueue)
        return;
    auto *e = static_cast<JobRecordEntry *>(port->jobRecordQueue->first);
    while (e) {
        JobRecordEntry *next = e->next;
        LMU_Free(e->record);
        LMU_Free(e);
        e = next;
    }
    port->jobRecordQueue->first = nullptr;
    port->jobRecordQueue->count = 0;
}

void LMS_FreeStatusVariables(MonitorPort *port)
{
    if (!port)
        return;
    LMS_ClearJobRecordQueue(port);
    if (!port->statusVariables)
        return;
    for (StatusVariable *row = port->statusVariables; row->name; ++row)
        LMS_FreeValue(row);
    LMU_Free(port->statusVariables);
    port->statusVariables = nullptr;
}

bool LMS_ReadPrinterStatus(MonitorPort *port, DWORD words[3])
{
    words[0] = words[1] = words[2] = 0;
    StatusVariable *row = LMS_LookupVariable("PrinterStatus", port);
    if (!row || !row->value)
        return false;
    std::memcpy(words, row->value, 12);
    return true;
}

DWORD LMS_CountBins(MonitorPort *port)
{
    LMP_Lock(port);
    StatusVariable *row = LMS_LookupVariable("PrinterBinConfig", port);
    DWORD bins = 0;
    if (row && row->value) {
        DWORD count;
        std::memcpy(&count, row->value, 4);
        for (DWORD i = 0; i < count; ++i) {
            WORD tray;
            std::memcpy(&tray, row->value + 4 + SIZE_T(i) * 12, 2);
            if (tray < 1000)
                ++bins;
        }
    }
    LMP_Unlock(port);
    return bins;
}
