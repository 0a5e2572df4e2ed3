/*
 * The tables the device status block is read through: status code to status
 * class, status class to icon state and "PrinterStatus" words, the device's
 * paper and media codes of a tray, and the "PrinterOptConfig" list editing.
 */
#include "status.h"
#include "status_tables.h"

#include <cstring>

namespace {

/* Status codes 0-211 to their class, as ranges {first code, last code, class}. */
struct CodeRange {
    BYTE first, last, statusClass;
};

constexpr CodeRange kCodeRanges[] = {
    {0, 68, 7},      {69, 69, 4},     {70, 82, 9},     {83, 91, 34},    {92, 109, 18},   {110, 114, 12},
    {115, 116, 40},  {117, 120, 19},  {121, 124, 21},  {125, 125, 20},  {126, 130, 13},  {131, 131, 15},
    {132, 135, 19},  {136, 136, 24},  {137, 138, 20},  {139, 139, 12},  {140, 141, 10},  {142, 142, 11},
    {143, 143, 32},  {144, 144, 23},  {145, 145, 22},  {146, 146, 32},  {147, 149, 39},  {150, 151, 18},
    {152, 152, 26},  {153, 153, 27},  {154, 155, 28},  {156, 158, 29},  {159, 159, 27},  {160, 174, 0},
    {175, 176, 34},  {177, 178, 37},  {179, 179, 4},   {180, 184, 39},  {185, 186, 47},  {187, 190, 43},
    {191, 193, 44},  {194, 194, 52},  {195, 195, 51},  {196, 200, 49},  {201, 201, 37},  {202, 210, 49},
    {211, 211, 0},
};

constexpr DWORD kStatusCodes = 212;

/* The three selectable maps are equal, so one table serves them all. */
struct ClassMap {
    BYTE classOf[kStatusCodes];
    constexpr ClassMap() : classOf{}
    {
        for (const CodeRange &r : kCodeRanges)
            for (unsigned c = r.first; c <= r.last; ++c)
                classOf[c] = r.statusClass;
    }
};
constexpr ClassMap kClassMap;

struct ClassRow {
    DWORD statusClass, icon, w1, w2, w3;
};

constexpr ClassRow kClassRows[] = {
    {7, 1, 0, 0x80, 0},        {9, 1, 0, 0, 0x8000000},   {10, 1, 0, 0, 0x8000},     {11, 1, 0x200, 0, 0x1},
    {48, 2, 0x200, 0, 0x1},    {12, 1, 0, 0, 0x2000},     {13, 1, 0x8000, 0, 0},     {14, 1, 0, 0x80000000, 0},
    {15, 1, 0x4000, 0, 0},     {16, 1, 0, 0x4, 0},        {17, 1, 0, 0x8, 0},        {18, 1, 0, 0, 0x10000},
    {19, 1, 0, 0, 0x4000},     {20, 1, 0, 0, 0x4000},     {22, 1, 0, 0, 0x4000000},  {23, 1, 0, 0, 0x40000},
    {51, 2, 0x100, 0, 0x1},    {24, 1, 0x20, 0, 0},       {26, 1, 0, 0, 0x200000},   {27, 1, 0x1000, 0, 0},
    {28, 1, 0x2000, 0, 0},     {29, 1, 0x40, 0, 0},       {30, 1, 0x40000, 0, 0},    {21, 1, 0, 0x200000, 0},
    {31, 1, 0, 0, 0x1000000},  {32, 1, 0, 0, 0x40000000}, {33, 1, 0, 0, 0x800000},   {34, 1, 0, 0, 0x1000},
    {36, 2, 0, 0, 0x201},      {37, 0, 0, 0, 0x11},       {38, 0, 0, 0, 0x11},       {39, 0, 0, 0, 0x9},
    {42, 2, 0, 0, 0x801},      {43, 2, 0, 0, 0x3},        {44, 2, 0, 0, 0x3},        {45, 2, 0, 0, 0x20001},
    {46, 0, 0, 0, 0x1},        {40, 1, 0, 0, 0x20000000}, {52, 0, 0, 0, 0x80},       {47, 0, 0, 0, 0x41},
    {49, 0, 0, 0, 0x1},
};
static_assert(sizeof kClassRows / sizeof kClassRows[0] == 41, "status class rows");

constexpr TrayPaper kTrayPapers[] = {
    {1, 8, 24, 4200, 2970, 3},
    {2, 9, 25, 2970, 2100, 3},
    {3, 11, 26, 2100, 1480, 3},
    {4, 12, 45, 3640, 2570, 3},
    {5, 13, 46, 2570, 1820, 3},
    {6, 1, 1, 2794, 2159, 3},
    {7, 4, 10001, 4318, 2794, 3},
    {8, 41, 10002, 3302, 2159, 3},
    {9, 5, 2, 3556, 2159, 3},
    {10, 1234, 10012, 4530, 3280, 3},
    {11, 58, 10009, 4572, 3048, 3},
    {12, 1236, 10011, 4572, 3200, 3},
    {13, 7, 10014, 1842, 2667, 3},
    {14, 6, 10, 2159, 1397, 3},
    {15, 43, 10003, 1480, 1000, 3},
    {16, 69, 10015, 2000, 1480, 3},
    {17, 20, 5, 2413, 1048, 3},
    {18, 37, 12, 1905, 984, 3},
    {19, 28, 66, 2290, 1620, 3},
    {20, 27, 70, 2200, 1100, 3},
    {21, 31, 10015, 1620, 1140, 3},
    {22, 1237, 10015, 1480, 980, 3},
    {23, 91, 10015, 2350, 1050, 3},
    {24, 1239, 10015, 2350, 1200, 3},
    {25, 256, 10004, 0xFFFFFFFF, 0xFFFFFFFF, 1},
    {26, 1238, 10015, 0xFFFFFFFF, 0xFFFFFFFF, 1},
    {27, 73, 10015, 2350, 1200, 3},
    {28, 9, 25, 2100, 2970, 2},
    {29, 4, 10001, 2794, 4318, 3},
    {30, 37, 12, 984, 1905, 2},
    {31, 27, 70, 1100, 2200, 2},
    {32, 31, 10015, 1140, 1620, 2},
    {33, 1237, 10015, 980, 1480, 2},
};
constexpr TrayPaper kDefaultPaper = {0, 0xFFFF, 10000, 0xFFFFFFFF, 0xFFFFFFFF, 3};

/* Device media codes 1-31 to {bin media code, tray media code}. */
constexpr TrayMedia kTrayMedia[31] = {
    {0, 1},   {42, 32}, {6, 3},   {1, 4},   {39, 5},  {4, 6},   {5, 7},   {23, 8},  {10, 9},  {13, 10}, {12, 11},
    {24, 12}, {19, 13}, {3, 14},  {7, 15},  {19, 16}, {29, 17}, {19, 18}, {19, 19}, {33, 20}, {19, 21}, {31, 22},
    {35, 23}, {32, 24}, {41, 25}, {34, 26}, {36, 27}, {37, 28}, {45, 29}, {3, 30},  {40, 31},
};
constexpr TrayMedia kDefaultMedia = {15, 0};

/* One element of "PrinterOptConfig". */
struct OptionElement {
    WORD code;
    WORD key;
    DWORD value;
};
static_assert(sizeof(OptionElement) == 8, "PrinterOptConfig element");

/* The current list's elements (none when there is no value). */
DWORD read_options(const StatusVariable *row, OptionElement *out, DWORD max)
{
    if (!row || !row->value)
        return 0;
    const LONG size = LMS_VariableSize(row);
    if (size < 4)
        return 0;
    DWORD count;
    std::memcpy(&count, row->value, 4);
    if (count > max)
        count = max;
    std::memcpy(out, row->value + 4, SIZE_T(count) * sizeof(OptionElement));
    return count;
}

/* Stores a rebuilt list when it differs from the row's; true when it did. */
bool store_options(StatusVariable *row, const OptionElement *elems, DWORD count)
{
    BYTE buffer[4 + kMaxOptions * sizeof(OptionElement)];
    std::memcpy(buffer, &count, 4);
    std::memcpy(buffer + 4, elems, SIZE_T(count) * sizeof(OptionElement));
    if (!LMS_StoreValue(row, buffer))
        return false;
    row->changed = 1;
    return true;
}

} // namespace

DWORD LMS_StatusClass(DWORD code, DWORD selector)
{
    if (code >= kStatusCodes || selector > 2)
        return 0;
    return kClassMap.classOf[code];
}

bool LMS_StatusClassWords(DWORD statusClass, DWORD *icon, DWORD words[3])
{
    *icon = 0;
    words[0] = words[1] = words[2] = 0;
    for (const ClassRow &r : kClassRows) {
        if (r.statusClass != statusClass)
            continue;
        *icon = r.icon;
        words[0] = r.w1;
        words[1] = r.w2;
        words[2] = r.w3;
        return true;
    }
    return false;
}

const TrayPaper &LMS_TrayPaper(DWORD deviceCode)
{
    for (const TrayPaper &p : kTrayPapers)
        if (p.deviceCode == deviceCode)
            return p;
    return kDefaultPaper;
}

const TrayMedia &LMS_TrayMedia(DWORD deviceCode)
{
    if (deviceCode >= 1 && deviceCode <= 31)
        return kTrayMedia[deviceCode - 1];
    return kDefaultMedia;
}

bool LMS_AddOption(WORD code, WORD key, DWORD value, MonitorPort *port)
{
    if (!port)
        return false;
    LMP_Lock(port);
    bool changed = false;
    StatusVariable *row = LMS_LookupVariable("PrinterOptConfig", port);
    if (row) {
        OptionElement elems[kMaxOptions + 1];
        DWORD n = read_options(row, elems, kMaxOptions);
        bool present = false;
        for (DWORD i = 0; i < n; ++i)
            present = present || (elems[i].code == code && elems[i].key == key);
        if (!present && n < kMaxOptions) {
            /* after the first element not below the new code whose successor is below it; else at the end */
            DWORD at = n;
            for (DWORD i = 0; i + 1 < n; ++i) {
                if (elems[i].code >= code && elems[i + 1].code < code) {
                    at = i + 1;
                    break;
                }
            }
            std::memmove(elems + at + 1, elems + at, SIZE_T(n - at) * sizeof(OptionElement));
            elems[at] = OptionElement{code, key, value};
            changed = store_options(row, elems, n + 1);
        }
    }
    LMP_Unlock(port);
    return changed;
}

bool LMS_RemoveOption(WORD code, WORD key, MonitorPort *port)
{
    if (!port)
        return false;
    LMP_Lock(port);
    bool changed = false;
    StatusVariable *row = LMS_LookupVariable("PrinterOptConfig", port);
    if (row) {
        OptionElement elems[kMaxOptions];
        const DWORD n = read_options(row, elems, kMaxOptions);
        DWORD kept = 0;
        for (DWORD i = 0; i < n; ++i)
            if (!(elems[i].code == code && elems[i].key == key))
                elems[kept++] = elems[i];
        /* an absent list becomes an empty one */
        if (!row->value || kept != n)
            changed = store_options(row, elems, kept);
    }
    LMP_Unlock(port);
    return changed;
}
