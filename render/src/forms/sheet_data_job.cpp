/*
 * The content of a sheet-data page written into the job (see sheet_data.h):
 * the fax cover of one copy set, read from the job's settings, printer
 * data, resource strings, model paper and device fonts; and the data file
 * of the driver directory copied as it is.
 */
#include "sheet_data.h"

#include "draw_font.h"
#include "fnt_device_records.h"
#include "job_channel.h"
#include "job_settings.h"
#include "paper_form.h"
#include "pdev_context.h"
#include "sheet_cover.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/resource.h>

#include <cstring>
#include <new>

namespace {

enum : WORD {
    ID_RESOLUTION_X = 20,
    ID_RESOLUTION_Y = 21,
    ID_SAME_FOR_ALL = 379,
    ID_DATA_SETS = 380,
    ID_VARIANT = 1804,
    ID_TITLE = 1805,
    ID_RECIPIENT = 1806,
    ID_RECIPIENT_MARK = 1807,
    ID_ATTENTION_MARK = 1808,
    ID_DIAL_PREFIX = 1809,
    ID_SENDER = 1820,
    ID_SENDER_TEXT = 1821,
    ID_PHONE = 1822,
    ID_FAX = 1823,
    ID_PREFIX1 = 5141,
    ID_PREFIX2 = 5143,
};

/* Model header entries: the cover's two device fonts, and the data file's name. */
constexpr WORD kEntryCoverFonts = 27;
constexpr WORD kEntryDataFile = 28;

/* The model paper the cover page is laid out on. */
constexpr WORD kCoverPaper = 9;

/* The data file is read in small pieces and written into the job in large blocks. */
constexpr DWORD kReadPiece = 512;
constexpr DWORD kWriteBlock = 16384;

LONG number(PdevContext *pdev, WORD id, bool *ok)
{
    DWORD v = 0;
    if (PDEV_GetSetting32(pdev, id, &v) != 0)
        *ok = false;
    return LONG(v);
}

template <size_t N> void text(PdevContext *pdev, WORD id, char16_t (&out)[N], bool *ok)
{
    if (PDEV_CopySettingString(pdev, id, reinterpret_cast<LPWSTR>(out), N) != 0)
        *ok = false;
}

/* The cover settings of the job; setting 379 only counts with two copy sets or more. */
bool read_cover_settings(PdevContext *pdev, CoverSettings *s, CoverDialling *d)
{
    bool ok = true;
    s->variant = number(pdev, ID_VARIANT, &ok);
    text(pdev, ID_TITLE, s->title, &ok);
    s->sameForAll = number(pdev, ID_DATA_SETS, &ok) >= 2 ? number(pdev, ID_SAME_FOR_ALL, &ok) : 0;
    text(pdev, ID_RECIPIENT, s->recipient, &ok);
    s->recipientMark = number(pdev, ID_RECIPIENT_MARK, &ok);
    s->attentionMark = number(pdev, ID_ATTENTION_MARK, &ok);
    s->dialPrefix = number(pdev, ID_DIAL_PREFIX, &ok);
    text(pdev, ID_SENDER, s->sender, &ok);
    text(pdev, ID_SENDER_TEXT, s->senderText, &ok);
    text(pdev, ID_PHONE, s->phone, &ok);
    text(pdev, ID_FAX, s->fax, &ok);
    text(pdev, ID_PREFIX1, d->prefix1, &ok);
    text(pdev, ID_PREFIX2, d->prefix2, &ok);
    return ok;
}

bool load_resource_string(void *, UINT id, char16_t *out, int capacity)
{
    return LoadStringW(RES_GetResourceModule(), id, reinterpret_cast<LPWSTR>(out), capacity) > 0;
}

/* One device font of the cover: its metrics copy and the width cursor over it. */
struct LoadedFont {
    DeviceFontMetrics *metrics = nullptr;
    FontMetricCursor cursor{};
    ~LoadedFont() { FNT_FreeDeviceFontMetrics(metrics); }
};

/* Font `which` (0 or 1) of the cover: the device font whose identifier model header entry 27 names. */
bool load_cover_font(PdevContext *pdev, WORD which, LoadedFont *font, CoverFont *out)
{
    WORD id = 0;
    if (!pdev->mainReader || DDD_ReadHeaderEntry(pdev->mainReader, kEntryCoverFonts, 2, which, &id) != DDD_OK)
        return false;
    int index = FNT_FindDeviceFontById(pdev, id);
    if (index < 0)
        return false;
    DWORD size = 0;
    char name[17] = {};
    WORD symbolSet = 0;
    if (!FNT_LoadDeviceFontMetrics(pdev, &font->metrics, &size, DWORD(index) + 1, name, &symbolSet))
        return false;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(font->metrics);
    if (!FNT_CheckMetricsBlock(bytes, size) ||
        FNT_OpenMetricTable(bytes + FNT_MET_ORIGIN, &font->cursor, size - FNT_MET_ORIGIN) != 0)
        return false;
    out->recordId = id;
    out->metrics = &font->cursor;
    return true;
}

/* A trace line naming what the cover missed, the last error, and -1. */
int cover_failed(const char16_t *what, DWORD error = ERROR_INVALID_DATA)
{
    LOG_Printf(u"SDB_WriteCover: %s", what);
    SetLastError(error);
    return -1;
}

} // namespace

int SDB_CoverPaper(PdevContext *pdev, SheetDataPaper *paper)
{
    if (!pdev || !paper)
        return -1;
    ModelRecord *record = nullptr;
    if (FORM_FindModelPaperById(pdev, kCoverPaper, &record) != FORM_FOUND || !record)
        return -1;
    const DddPair *size = DDD_PaperSize(record);
    JobPaper jp{};
    jp.paperCode = kCoverPaper;
    jp.width = size ? size->first : 0;
    jp.length = size ? size->second : 0;
    WORD code = 0, width = 0, length = 0;
    int rc = size ? JOB_PaperMediaSize(&jp, record, &code, &width, &length) : -1;
    DDD_FreeRecord(&record, -1);
    if (rc != 0)
        return -1;
    paper->bySize = code == JOB_MEDIA_BY_SIZE ? 1 : 0;
    paper->mediaSize = paper->bySize ? SHORT(-1) : SHORT(code);
    paper->width = paper->bySize ? FLOAT(width) / 10.0f : 0.0f;
    paper->height = paper->bySize ? FLOAT(length) / 10.0f : 0.0f;
    return 0;
}

int SDB_WriteCover(PdevContext *pdev, const CoverDestination *destination)
{
    if (!pdev || !destination)
        return -1;
    CoverSettings settings{};
    CoverDialling dialling{};
    if (!read_cover_settings(pdev, &settings, &dialling))
        return cover_failed(u"the cover settings cannot be read");
    SheetDataPaper paper{};
    if (SDB_CoverPaper(pdev, &paper) != 0)
        return cover_failed(u"the model has no cover paper");
    LoadedFont loaded[2];
    CoverFont fonts[2] = {};
    if (!load_cover_font(pdev, 0, &loaded[0], &fonts[0]))
        return cover_failed(u"the model has no cover font");
    /* The second font is only needed by rows that name it; a missing one fails those when they are built. */
    load_cover_font(pdev, 1, &loaded[1], &fonts[1]);

    auto *items = new (std::nothrow) CoverItems{};
    if (!items)
        return cover_failed(u"no memory", ERROR_NOT_ENOUGH_MEMORY);
    int rc = SDB_BuildItems(reinterpret_cast<const BYTE *>(destination), settings, dialling, load_resource_string,
                            nullptr, items);
    BYTE *stream = nullptr;
    LONG length = -1;
    if (rc == 0) {
        DWORD size = SDB_CoverSize(*items);
        stream = new (std::nothrow) BYTE[size];
        DWORD x = 0, y = 0;
        PDEV_GetSetting32(pdev, ID_RESOLUTION_X, &x);
        PDEV_GetSetting32(pdev, ID_RESOLUTION_Y, &y);
        const LONG dpiX = LONG(x) > 0 ? LONG(x) : 600, dpiY = LONG(y) > 0 ? LONG(y) : dpiX;
        if (stream)
            length = SDB_BuildCover(*items, fonts, dpiX, dpiY, stream, size);
    }
    delete items;
    if (rc == 0 && length > 0)
        rc = OUT_WriteJob(pdev, DWORD(length), stream);
    else if (rc == 0)
        rc = cover_failed(u"a text of the cover cannot be measured with the cover fonts");
    else
        rc = cover_failed(u"a text of the cover cannot be placed");
    delete[] stream;
    return rc;
}

int SDB_CopyDataFile(PdevContext *pdev)
{
    if (!pdev || !pdev->mainReader)
        return -1;
    HANDLE printer = pdev->jobSettings && pdev->jobSettings->printer ? pdev->jobSettings->printer : pdev->printer;
    LPWSTR folder = UPG_GetDriverDirectory(printer);
    LPWSTR name = DDD_GetHeaderString(pdev->mainReader, kEntryDataFile, 0);
    std::u16string path;
    if (folder && name && name[0])
        path = std::u16string(reinterpret_cast<const char16_t *>(folder)) + reinterpret_cast<const char16_t *>(name);
    GlobalFree(folder);
    DDD_FreeRecord(&name, 0);
    if (path.empty()) {
        LOG_Printf(u"SDB_CopyDataFile: the model names no data file");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return -1;
    }
    HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        LOG_Printf(u"SDB_CopyDataFile: %s cannot be opened", path.c_str());
        SetLastError(error);
        return -1;
    }
    BYTE *block = new (std::nothrow) BYTE[kWriteBlock];
    int rc = block ? 0 : -1;
    DWORD fill = 0;
    while (rc == 0) {
        DWORD got = 0;
        const DWORD piece = kWriteBlock - fill < kReadPiece ? kWriteBlock - fill : kReadPiece;
        if (!ReadFile(file, block + fill, piece, &got, nullptr)) {
            rc = -1;
            break;
        }
        fill += got;
        if (fill == kWriteBlock || (got == 0 && fill > 0)) {
            rc = OUT_WriteJob(pdev, fill, block);
            fill = 0;
        }
        if (got == 0)
            break;
    }
    delete[] block;
    CloseHandle(file);
    return rc;
}
