/*
 * The decoration options of `tarvel print` (see host_print_decorations.h).
 */
#include "host_print_decorations.h"
#include "host_read_file.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_blob.h>

#include <plat/engine.h>
#include <plat/file_replace.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

enum : WORD {
    S_WATERMARK_NAME = 297,
    S_WATERMARK_TEXT = 299,
    S_WATERMARK_FRAME = 302,
    S_WATERMARK_POSITION = 303,
    S_WATERMARK_FONT = 304,
    S_ANNOTATION_POSITION = 351, /* .. 356 */
    S_ANNOTATION_ITEM = 1296,    /* .. 1301 */
    S_SHEET_WATERMARK = 1288,
    S_STAMP = 1333,              /* on, a bitmap watermark without a text is dropped */
    S_BLOCK_STORE = 439,         /* 1: the device blocks live in the user's key, else in the printer data */
    S_WATERMARK_SCALE = 1856,
    S_WATERMARK_BITMAP = 1857,
};

/* The largest watermark bitmap read. */
constexpr size_t kLargestBitmap = size_t(64) << 20;

/* Where a bitmap watermark is copied in the machine. */
constexpr char16_t kBitmapPath[] = u"C:\\ProgramData\\Tarvel\\watermark.bmp";

/* The watermark's name in the devmode (a watermark without one is not printed). */
constexpr char16_t kWatermarkName[] = u"tarvel print";

struct Named {
    const char *name;
    int value;
};

constexpr Named kPositions[] = {
    {"tiled", 0},          {"top-left", 0x0101},    {"top", 0x0201},     {"top-right", 0x0301},
    {"left", 0x0102},      {"centre", 0x0202},      {"center", 0x0202},  {"right", 0x0302},
    {"bottom-left", 0x0103}, {"bottom", 0x0203},    {"bottom-right", 0x0303},
};

constexpr Named kFrames[] = {{"none", 0}, {"rectangle", 1}, {"ellipse", 2}};

constexpr Named kItems[] = {{"user", 0}, {"host", 1}, {"document", 2}, {"page", 3}, {"date", 4}, {"time", 5}};

template <size_t N>
bool find(const Named (&table)[N], const std::string &name, int &out)
{
    for (const Named &n : table)
        if (name == n.name) {
            out = n.value;
            return true;
        }
    return false;
}

bool number(const char *text, int low, int high, int &out)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < low || v > high)
        return false;
    out = int(v);
    return true;
}

bool set_number(std::vector<BYTE> &dm, WORD id, int value, std::string &error)
{
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) != 0 ||
        DMB_SetValueArgs(dm.data(), nullptr, id, item->reportedType ? item->reportedType : item->storedType, value) !=
            DMA_OK) {
        error = "setting " + std::to_string(id) + " cannot be written";
        return false;
    }
    return true;
}

bool set_text(std::vector<BYTE> &dm, WORD id, const std::u16string &text, std::string &error)
{
    const WCHAR *p = text.c_str();
    if (DMB_SetValue(id, dm.data(), nullptr, SVT_WSTRING, LONG((text.size() + 1) * 2), &p) != DMA_OK) {
        error = "setting " + std::to_string(id) + " cannot be written";
        return false;
    }
    return true;
}

/* The printer's watermark font with the request's size and angle. */
bool set_font(const DecorationRequest &r, std::vector<BYTE> &dm, std::string &error)
{
    LOGFONTW lf{};
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    const BYTE *p = nullptr;
    if (DMB_GetValue(S_WATERMARK_FONT, dm.data(), nullptr, &type, &size, slot) == DMA_OK && type == SVT_LOGFONT &&
        size >= LONG(sizeof lf))
        std::memcpy(&p, slot, sizeof p);
    if (p)
        std::memcpy(&lf, p, sizeof lf);
    if (r.fontSize) {
        lf.lfHeight = r.fontSize;
        lf.lfWidth = 0;
    }
    if (r.angleGiven)
        lf.lfEscapement = lf.lfOrientation = r.angle * 10;
    if (lf.lfHeight == 0)
        lf.lfHeight = 72;
    if (lf.lfFaceName[0] == 0)
        std::memcpy(lf.lfFaceName, u"Arial", sizeof u"Arial");
    const LOGFONTW *font = &lf;
    if (DMB_SetValue(S_WATERMARK_FONT, dm.data(), nullptr, SVT_LOGFONT, LONG(sizeof lf), &font) != DMA_OK) {
        error = "the watermark font cannot be written";
        return false;
    }
    return true;
}

/*
 * The job devmode of `devmode` (the whole settings image and its tail), as
 * the printer's user-interface library makes it at create-DC time: the
 * decoration settings live beyond an application's devmode.  GDI hands such
 * a job devmode back to the library unchanged.
 */
bool to_job_devmode(const std::u16string &printer, std::vector<BYTE> &devmode, std::string &error)
{
    error = "the printer's user-interface library cannot make the job's settings";
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.c_str(), &handle, nullptr))
        return false;
    DWORD needed = 0;
    GetPrinterDriverW(handle, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    HMODULE ui = nullptr;
    if (GetPrinterDriverW(handle, nullptr, 2, info.data(), needed, &needed))
        ui = LoadLibraryW(reinterpret_cast<const DRIVER_INFO_2W *>(info.data())->pConfigFile);
    auto event = ui ? plat::proc_cast<PFN_DrvDocumentEvent>(GetProcAddress(ui, "DrvDocumentEvent")) : nullptr;
    bool ok = false;
    if (event) {
        DOCEVENT_CREATEDCPRE pre{nullptr, const_cast<LPWSTR>(printer.c_str()),
                                 reinterpret_cast<DEVMODEW *>(devmode.data()), FALSE};
        DEVMODEW *job = nullptr;
        if (event(handle, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof pre, &pre, sizeof job, &job) > 0 && job) {
            const BYTE *p = reinterpret_cast<const BYTE *>(job);
            devmode.assign(p, p + size_t(job->dmSize) + job->dmDriverExtra);
            GlobalFree(job);
            ok = devmode.size() >= SETTINGS_IMAGE_SIZE;
        }
        /* No context follows: the library's job record of the pre event (and the
         * reference to itself it holds) goes as it would with the context. */
        event(handle, nullptr, DOCUMENTEVENT_DELETEDC, 0, nullptr, 0, nullptr);
    }
    if (ui)
        FreeLibrary(ui);
    ClosePrinter(handle);
    if (ok)
        error.clear();
    return ok;
}

/*
 * The extension block of `dm` (where the bitmap's file name lives) saved as
 * the printer's device blocks.  At start of document the user-interface
 * library reloads a job's extension block from that store, as the
 * printer's settings pages save it, so a bitmap named only in the job's
 * devmode would be lost there.  The stored fax send list and TMBInfo stay.
 */
bool store_device_blocks(const std::u16string &printer, const std::vector<BYTE> &dm, std::string &error)
{
    error = "the printer's device settings cannot be saved";
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(printer.c_str(), &handle, &access))
        return false;
    ModelContext *context = MDL_Open(handle);
    bool ok = false;
    if (context) {
        const IdLayoutItem *item = nullptr;
        const bool user = LAYOUT_FindItem(S_BLOCK_STORE, nullptr, &item) == 0 && item &&
                          DMB_GetTypedValue(const_cast<BYTE *>(dm.data()), nullptr, S_BLOCK_STORE,
                                            item->reportedType ? item->reportedType : item->storedType) == 1;
        const int store = user ? PDT_STORE_USER : PDT_STORE_PRINTER;
        std::vector<BYTE> scratch(SETTINGS_EXTENSION_SIZE);
        BYTE *fax = nullptr, *tmb = nullptr;
        DWORD faxSize = 0, tmbLength = 0;
        if (!PDT_LoadDeviceBlobs(handle, context, nullptr, store, &fax, &faxSize, scratch.data(), &tmb, &tmbLength))
            fax = tmb = nullptr;
        ok = PDT_SaveDeviceBlobs(handle, context, nullptr, store, fax, faxSize, dm.data() + SETTINGS_DEVMODE_SIZE,
                                 tmbLength ? tmb : nullptr, tmbLength);
        GlobalFree(fax);
        GlobalFree(tmb);
        MDL_Close(context);
    }
    ClosePrinter(handle);
    if (ok)
        error.clear();
    return ok;
}

/*
 * Makes the folders of `real` below the machine folder, refusing any
 * component that is a symbolic link (a link planted there would carry the
 * file out of the machine folder).  False with a message.
 */
bool machine_folders_without_links(const std::string &real, std::string &error)
{
    const std::string root = plat::machine_root();
    const std::string parent = real.substr(0, real.find_last_of('/'));
    if (parent.compare(0, root.size(), root) != 0) {
        error = "'" + real + "' is not inside the machine folder";
        return false;
    }
    std::string at = root;
    size_t from = root.size();
    while (from < parent.size()) {
        const size_t slash = parent.find('/', from + 1);
        at = parent.substr(0, slash);
        from = slash == std::string::npos ? parent.size() : slash;
        if (at.size() <= root.size())
            continue;
        struct stat sb;
        if (::lstat(at.c_str(), &sb) != 0) {
            if (errno != ENOENT || (::mkdir(at.c_str(), 0755) != 0 && errno != EEXIST)) {
                error = "the folder " + at + " cannot be made: " + std::strerror(errno);
                return false;
            }
        } else if (!S_ISDIR(sb.st_mode)) {
            error = "the folder " + at + (S_ISLNK(sb.st_mode) ? " is a symbolic link" : " is not a folder");
            return false;
        }
    }
    return true;
}

/* Copies the bitmap into the machine (a new file renamed over the old, never through a link).  False with a message. */
bool copy_bitmap_in(const std::string &bitmap, std::string &error)
{
    std::vector<BYTE> bytes;
    if (!host_read_file(bitmap, kLargestBitmap, "64 MiB", bytes, error)) {
        error = "the watermark bitmap: " + error;
        return false;
    }
    std::string message;
    if (!host_check_bitmap(bytes, message)) {
        error = "the watermark bitmap '" + bitmap + "' cannot be printed: " + message;
        return false;
    }
    std::string real;
    if (!plat::map_path(kBitmapPath, real)) {
        error = "the machine has no place for the watermark bitmap";
        return false;
    }
    if (!machine_folders_without_links(real, error)) {
        error = "the watermark bitmap cannot be copied into the machine: " + error;
        return false;
    }
    if (const int e = plat::file_replace(real, bytes.data(), bytes.size())) {
        error = "the watermark bitmap cannot be copied to " + real + ": " + plat::file_error_text(e);
        return false;
    }
    return true;
}

} // namespace

int host_decoration_option(const std::string &option, const char *value, DecorationRequest &r, std::string &error)
{
    if (option == "--watermark-sheet") {
        r.sheet = true;
        return 1;
    }
    static const char *const kValued[] = {"--watermark",       "--watermark-bitmap", "--watermark-size",
                                          "--watermark-angle", "--watermark-position", "--watermark-frame",
                                          "--watermark-scale", "--annotate"};
    bool known = false;
    for (const char *o : kValued)
        known = known || option == o;
    if (!known)
        return 0;
    if (!value) {
        error = "option '" + option + "' needs a value";
        return -1;
    }
    const std::string v = value;
    bool ok = true;
    if (option == "--watermark") {
        r.text = plat::utf8_to_utf16(v);
        ok = !r.text.empty() && r.text.size() <= 63;
        error = "a watermark text has 1 to 63 characters";
    } else if (option == "--watermark-bitmap") {
        r.bitmap = v;
        size_t size = 0;
        ok = host_check_input(v, kLargestBitmap, "64 MiB", size, error);
        if (!ok)
            error = "the watermark bitmap: " + error;
    } else if (option == "--watermark-size") {
        ok = number(value, 1, 500, r.fontSize);
        error = "--watermark-size takes 1 to 500 points";
    } else if (option == "--watermark-angle") {
        ok = r.angleGiven = number(value, -90, 90, r.angle);
        error = "--watermark-angle takes -90 to 90 degrees";
    } else if (option == "--watermark-position") {
        ok = find(kPositions, v, r.position);
        error = "--watermark-position takes tiled, centre, top, bottom, left, right, top-left, top-right, "
                "bottom-left or bottom-right";
    } else if (option == "--watermark-frame") {
        ok = find(kFrames, v, r.frame);
        error = "--watermark-frame takes none, rectangle or ellipse";
    } else if (option == "--watermark-scale") {
        ok = number(value, 1, 400, r.scale);
        error = "--watermark-scale takes 1 to 400 percent";
    } else {
        /* ITEM:POSITION[,ITEM:POSITION...] */
        error = "--annotate takes ITEM:POSITION[,...] with items user, host, document, page, date, time and "
                "positions as --watermark-position but tiled";
        size_t start = 0;
        while (ok && start <= v.size()) {
            const size_t end = v.find(',', start);
            const std::string one = v.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const size_t colon = one.find(':');
            int item = 0, position = 0;
            ok = colon != std::string::npos && find(kItems, one.substr(0, colon), item) &&
                 find(kPositions, one.substr(colon + 1), position) && position != 0;
            if (ok)
                r.annotation.emplace_back(item, position);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    if (!ok)
        return -1;
    error.clear();
    return 2;
}

void host_decoration_usage(FILE *to)
{
    std::fprintf(to, "  --watermark TEXT      a text watermark on each page\n"
                     "  --watermark-bitmap FILE\n"
                     "                        a bitmap (.bmp) watermark on each page\n"
                     "  --watermark-size N    its font size in points\n"
                     "  --watermark-angle N   its angle, -90 to 90 degrees\n"
                     "  --watermark-position tiled|centre|top|bottom|left|right|top-left|...\n"
                     "  --watermark-frame none|rectangle|ellipse\n"
                     "  --watermark-scale N   a bitmap's size in percent\n"
                     "  --watermark-sheet     tile the watermark over each sheet instead\n"
                     "  --annotate ITEM:POSITION[,...]\n"
                     "                        print user, host, document, page, date or time\n"
                     "                        on each sheet (items at one position share a line)\n");
}

bool host_check_bitmap(const std::vector<BYTE> &file, std::string &why)
{
    auto u16 = [&](size_t at) { return DWORD(file[at] | file[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    constexpr size_t kFileHeader = 14;
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
        why = "it is not a .bmp file (no \"BM\" header)";
        return false;
    }
    if (file.size() < kFileHeader + 12) {
        why = "it ends inside its headers";
        return false;
    }
    const DWORD header = u32(kFileHeader);
    if (header != 12 && header != 40 && header != 52 && header != 56 && header != 108 && header != 124) {
        why = "its information header has an unknown size (" + std::to_string(header) + " bytes)";
        return false;
    }
    if (file.size() < kFileHeader + header) {
        why = "it ends inside its information header";
        return false;
    }
    const bool core = header == 12;
    const LONG width = core ? LONG(u16(kFileHeader + 4)) : LONG(u32(kFileHeader + 4));
    const LONG height = core ? LONG(int16_t(u16(kFileHeader + 6))) : LONG(u32(kFileHeader + 8));
    const DWORD planes = u16(kFileHeader + (core ? 8 : 12));
    const DWORD bits = u16(kFileHeader + (core ? 10 : 14));
    const DWORD compression = core ? 0 : u32(kFileHeader + 16);
    if (width <= 0 || height == 0 || height == LONG(0x80000000u) || planes != 1) {
        why = "its size (" + std::to_string(width) + " x " + std::to_string(height) + ") or plane count is not valid";
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        why = "it has " + std::to_string(bits) + " bits a pixel";
        return false;
    }
    if (compression > 3) {
        why = "its compression (" + std::to_string(compression) + ") is not one a watermark prints";
        return false;
    }
    if (u32(10) >= file.size()) {
        why = "its pixels would start past its end";
        return false;
    }
    return true;
}

bool host_apply_decorations(const DecorationRequest &r, const std::u16string &printer, std::vector<BYTE> &dm,
                            std::string &error)
{
    if (!r.watermark() && r.annotation.empty())
        return true;
    if (dm.size() < SETTINGS_IMAGE_SIZE && !to_job_devmode(printer, dm, error))
        return false;
    if (r.watermark()) {
        if (!set_text(dm, S_WATERMARK_NAME, kWatermarkName, error) || !set_text(dm, S_WATERMARK_TEXT, r.text, error) ||
            !set_font(r, dm, error) || !set_number(dm, S_SHEET_WATERMARK, r.sheet ? 1 : 0, error))
            return false;
        if (r.position >= 0 && !set_number(dm, S_WATERMARK_POSITION, r.position, error))
            return false;
        if (r.frame >= 0 && !set_number(dm, S_WATERMARK_FRAME, r.frame, error))
            return false;
        /* In tenths of a percent; a bitmap without a scale prints at its own size. */
        const int scale = r.scale ? r.scale : r.bitmap.empty() ? 0 : 100;
        if (scale && !set_number(dm, S_WATERMARK_SCALE, scale * 10, error))
            return false;
        std::u16string bitmap;
        if (!r.bitmap.empty()) {
            if (!copy_bitmap_in(r.bitmap, error))
                return false;
            bitmap = kBitmapPath;
            if (r.text.empty() && !set_number(dm, S_STAMP, 0, error))
                return false;
        }
        if (!set_text(dm, S_WATERMARK_BITMAP, bitmap, error) || !store_device_blocks(printer, dm, error))
            return false;
    }
    for (const auto &[item, position] : r.annotation)
        if (!set_number(dm, WORD(S_ANNOTATION_ITEM + item), 1, error) ||
            !set_number(dm, WORD(S_ANNOTATION_POSITION + item), position, error))
            return false;
    return true;
}

} // namespace host
