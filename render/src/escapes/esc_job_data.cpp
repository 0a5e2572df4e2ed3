/*
 * The escapes that hand the job's data blocks to the device context:
 * annotation texts, the per-copy-set job headers, the copy-set records and
 * the auxiliary and extension-data blocks; and their release at the end of
 * the job.  Every payload is checked against its size before it is read,
 * and a table of headers is checked whole before it is kept, so the header
 * writer can trust every length and position in it.
 */
#include "esc_job_data.h"

#include "job_header.h"
#include "job_settings.h"
#include "pdev_context.h"

#include <tarvel/model_data/mdl_context.h>

#include <plat/memory.h>

#include <cstring>

namespace {

/* The annotation texts received, each allocated when first received. */
struct AnnotationHolder {
    WCHAR *userName;
    WCHAR *userHost;
    WCHAR *documentName;
    WCHAR *date;
    WCHAR *time;
};

/* One text part of AnnotationInfo: where it lies, how many bytes, and which annotation item shows it. */
struct AnnotationPart {
    WCHAR *AnnotationHolder::*slot;
    ULONG offset;
    ULONG bytes;
    int item;
};

constexpr AnnotationPart kParts[] = {
    {&AnnotationHolder::userName, ANN_USER, 128, 0},
    {&AnnotationHolder::userHost, ANN_USER_HOST, 64, 1},
    {&AnnotationHolder::documentName, ANN_DOCUMENT, 522, 2},
    {&AnnotationHolder::date, ANN_DATE, 22, 4},
    {&AnnotationHolder::time, ANN_TIME, 12, 5},
};

/* Model capability flag (header entry 26) of the owner-tool rules for the user-and-host text. */
constexpr DWORD kCapOwnerTool = 0x2000000;

/*
 * The job data live in the process heap, not in the context's own: a reset
 * hands them to the new context of the job, and the old context's heap
 * goes with the old context.
 */
void *heap_alloc(PdevContext *, size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }

template <typename T>
void heap_free(PdevContext *, T *&block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
    block = nullptr;
}

DWORD setting(PdevContext *pdev, WORD id)
{
    DWORD value = 0;
    PDEV_GetSetting32(pdev, id, &value);
    return value;
}

/*
 * The printer-data setting whose text replaces the user-and-host part, or
 * 0 when the payload's text stands.
 */
WORD user_host_source(PdevContext *pdev)
{
    DWORD s5163 = setting(pdev, 5163);
    if (!MDL_HasCapability(pdev->mainReader, kCapOwnerTool)) {
        if (s5163 == 0 && setting(pdev, 5127) == 7)
            return 5121;
        if (s5163 == 1 && setting(pdev, 5178) == 7)
            return 5150;
        return 0;
    }
    if (s5163 != 0) {
        if (setting(pdev, 5165) == 1)
            return 5174;
        return setting(pdev, 5178) == 7 ? 5150 : 0;
    }
    if (setting(pdev, 5164) == 1)
        return 5174;
    return setting(pdev, 5127) == 7 ? 5121 : 0;
}

/* Stores `bytes` bytes of text into a part of the holder, terminated in its last character. */
bool store_part(PdevContext *pdev, WCHAR *&slot, const BYTE *text, ULONG bytes)
{
    if (!slot)
        slot = static_cast<WCHAR *>(heap_alloc(pdev, bytes));
    if (!slot)
        return false;
    std::memcpy(slot, text, bytes);
    slot[bytes / 2 - 1] = 0;
    return true;
}

/* The annotation holder of the context, created when absent; null when memory is short. */
AnnotationHolder *holder_of(PdevContext *pdev)
{
    if (!pdev->annotation)
        pdev->annotation = heap_alloc(pdev, sizeof(AnnotationHolder));
    return static_cast<AnnotationHolder *>(pdev->annotation);
}

/*
 * A header table is sound when the input holds the head, n slots of s
 * bytes and three arrays of n positions at the offsets the head names;
 * every slot holds its length word and a text that fits; every position is
 * 0 (no line) or inside its text.
 */
bool header_set_is_sound(const BYTE *in, ULONG size, DWORD n, DWORD s, const DWORD offsets[4])
{
    if (s < 4)
        return false;
    const unsigned long long slots = (unsigned long long)n * s;
    const unsigned long long arrays = 4ull * n;
    if (ESC_HEADER_SET_HEAD + slots + 3 * arrays > size)
        return false;
    if (offsets[0] != ESC_HEADER_SET_HEAD)
        return false;
    for (int a = 1; a < 4; a++)
        if (offsets[a] < ESC_HEADER_SET_HEAD + slots || offsets[a] + arrays > size)
            return false;
    for (DWORD i = 0; i < n; i++) {
        DWORD length = plat::load_u32(in, ESC_HEADER_SET_HEAD + size_t(i) * s);
        if (length > s - 4)
            return false;
        for (int a = 1; a < 4; a++) {
            DWORD position = plat::load_u32(in, offsets[a] + size_t(i) * 4);
            if (position != 0 && position >= length)
                return false;
        }
    }
    return true;
}

} // namespace

bool ESC_SettingsLocked(const PdevContext *pdev)
{
    return pdev->jobSettings && (pdev->jobSettings->jobDataFlags & JOB_DATA_SETTINGS_LOCKED);
}

ULONG ESC_GetAnnotation(PdevContext *pdev, ULONG cjOut, PVOID pvOut)
{
    if (!pvOut || cjOut != ESC_ANNOTATION_SIZE)
        return ESC_REFUSED;
    BYTE *out = static_cast<BYTE *>(pvOut);
    std::memset(out, 0, ESC_ANNOTATION_SIZE);
    const JobSettings *js = pdev->jobSettings;
    const auto *holder = static_cast<const AnnotationHolder *>(pdev->annotation);
    DWORD sheets = pdev->jobCounters.sheets;
    if (!holder || !js) {
        plat::store_u16(out, ANN_SHEET, WORD(sheets));
        return ESC_REFUSED;
    }
    plat::store_u32(out, ANN_FLAG, js->annotation ? 1 : 0);
    for (int i = 0; i < JOB_ANNOTATION_ITEMS; i++)
        plat::store_u16(out, ANN_POSITIONS + 2 * i, WORD(js->annotationPos[i]));
    for (const AnnotationPart &part : kParts) {
        if (js->annotationPos[part.item] == -1)
            continue;
        /* The document name is the job's own, as the document-name escape set it. */
        const WCHAR *text = part.slot == &AnnotationHolder::documentName ? js->documentName : holder->*part.slot;
        if (text) {
            std::memcpy(out + part.offset, text, part.bytes - 2);
            plat::store_u16(out, part.offset + part.bytes - 2, 0);
        }
    }
    plat::store_u16(out, ANN_SHEET, WORD(sheets + 1));
    return ESC_DONE;
}

ULONG ESC_SetAnnotation(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (ESC_SettingsLocked(pdev))
        return ESC_DONE;
    if (!pvIn || cjIn != ESC_ANNOTATION_SIZE)
        return ESC_REFUSED;
    AnnotationHolder *holder = holder_of(pdev);
    if (!holder)
        return ESC_REFUSED;
    const BYTE *in = static_cast<const BYTE *>(pvIn);
    ULONG result = ESC_DONE;
    for (const AnnotationPart &part : kParts) {
        const BYTE *text = in + part.offset;
        /* The owner tool's printer-data text, cut to the field, may stand for the user and host. */
        WCHAR replacement[32];
        if (part.slot == &AnnotationHolder::userHost) {
            WORD source = user_host_source(pdev);
            if (source && PDEV_CopySettingString(pdev, source, replacement, 32) == 0 && replacement[0]) {
                BYTE field[64] = {};
                std::memcpy(field, replacement, sizeof replacement);
                if (!store_part(pdev, holder->*part.slot, field, part.bytes))
                    result = ESC_REFUSED;
                continue;
            }
        }
        if (plat::load_u16(text, 0) == 0)
            continue;
        if (!store_part(pdev, holder->*part.slot, text, part.bytes))
            result = ESC_REFUSED;
    }
    return result;
}

ULONG ESC_SetCopySetHeaders(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (ESC_SettingsLocked(pdev))
        return ESC_DONE;
    if (!pvIn || cjIn < ESC_HEADER_SET_HEAD)
        return ESC_REFUSED;
    const BYTE *in = static_cast<const BYTE *>(pvIn);
    DWORD n = plat::load_u32(in, 0);
    DWORD s = plat::load_u32(in, 4);
    DWORD offsets[4] = {plat::load_u32(in, 8), plat::load_u32(in, 12), plat::load_u32(in, 16),
                        plat::load_u32(in, 20)};
    if (!header_set_is_sound(in, cjIn, n, s, offsets))
        return ESC_REFUSED;

    /* One block: the head, the slots, then the three position arrays, aligned for their words. */
    const size_t slots = size_t(n) * s;
    const size_t arraysAt = (slots + 3) & ~size_t(3);
    const size_t arrays = size_t(n) * 4;
    auto *table =
        static_cast<CopySetHeaderTable *>(heap_alloc(pdev, sizeof(CopySetHeaderTable) + arraysAt + 3 * arrays));
    if (!table)
        return ESC_REFUSED;
    BYTE *body = reinterpret_cast<BYTE *>(table + 1);
    table->count = n;
    table->slotSize = s;
    table->slots = body;
    std::memcpy(body, in + offsets[0], slots);
    DWORD **positions[3] = {&table->bookletPositions, &table->iwaSide2StartPositions, &table->hcpnPositions};
    for (int a = 0; a < 3; a++) {
        BYTE *array = body + arraysAt + a * arrays;
        std::memcpy(array, in + offsets[a + 1], arrays);
        *positions[a] = reinterpret_cast<DWORD *>(array);
    }
    heap_free(pdev, pdev->copySetHeaders);
    pdev->copySetHeaders = table;
    return ESC_DONE;
}

ULONG ESC_SetDataBlock(PdevContext *pdev, ULONG escape, ULONG cjIn, const void *pvIn)
{
    if (ESC_SettingsLocked(pdev))
        return ESC_REFUSED;
    void **block = &pdev->auxBlock;
    DWORD *size = &pdev->auxBlockSize;
    if (escape == ESC_SET_EXT_DATA) {
        block = &pdev->extData;
        size = &pdev->extDataSize;
    } else if (escape == ESC_SET_COPYSET_RECORDS) {
        block = &pdev->copySetRecords;
        size = &pdev->copySetRecordsSize;
    }
    if (!pvIn && cjIn)
        return ESC_REFUSED;
    heap_free(pdev, *block);
    *size = 0;
    /* A block of 0 bytes still counts as received; it is never read past its size. */
    *block = heap_alloc(pdev, cjIn ? cjIn : 1);
    if (!*block)
        return ESC_REFUSED;
    if (cjIn)
        std::memcpy(*block, pvIn, cjIn);
    *size = cjIn;
    return ESC_DONE;
}

ULONG ESC_GetExtData(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (!pvIn || cjIn < 2 || !pvOut)
        return ESC_REFUSED;
    WORD code = plat::load_u16(pvIn, 0);
    if (code == 0 && cjOut == 4) {
        plat::store_u32(pvOut, 0, pdev->extDataSize);
        return ESC_DONE;
    }
    if (code == 1 && pdev->extData && cjOut == pdev->extDataSize) {
        std::memcpy(pvOut, pdev->extData, cjOut);
        return ESC_DONE;
    }
    return ESC_REFUSED;
}

int ESC_FreeJobData(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (auto *holder = static_cast<AnnotationHolder *>(pdev->annotation)) {
        for (const AnnotationPart &part : kParts)
            heap_free(pdev, holder->*part.slot);
        heap_free(pdev, holder);
        pdev->annotation = nullptr;
    }
    heap_free(pdev, pdev->copySetHeaders);
    heap_free(pdev, pdev->copySetRecords);
    pdev->copySetRecordsSize = 0;
    heap_free(pdev, pdev->auxBlock);
    pdev->auxBlockSize = 0;
    return 0;
}

void ESC_FreeContextData(PdevContext *pdev)
{
    if (!pdev)
        return;
    ESC_FreeJobData(pdev);
    heap_free(pdev, pdev->extData);
    pdev->extDataSize = 0;
}
