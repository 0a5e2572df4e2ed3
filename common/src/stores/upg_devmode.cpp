/*
 * Devmodes of older private layouts turned into the current devmode: a
 * devmode of this layout is copied, one of private version 20483 or later
 * is updated in place (the defaults with its bytes over them), an older one
 * is first lifted field by field through the older-layout tables into an
 * intermediate devmode of version 20483.  Anything else becomes the
 * defaults.
 *
 * The input is only ever read through a zero-filled copy of the bytes it
 * holds (dmSize + dmDriverExtra, and never more than the caller says it
 * has): a field of an older layout that lies past its end keeps its
 * default, and the rules read zeros there.
 */
#include "upg_private.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_info.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr DWORD kDevmodeSize = SETTINGS_DEVMODE_SIZE;
constexpr DWORD kImageSize = SETTINGS_IMAGE_SIZE;
constexpr DWORD kExtensionSize = SETTINGS_EXTENSION_SIZE;

/* Version items of a devmode. */
constexpr WORD kSpecVersionId = 2;
constexpr WORD kDriverVersionId = 3;
constexpr WORD kSizeId = 4;
constexpr WORD kDriverExtraId = 5;
constexpr WORD kPrivateVersionId = 257;
constexpr WORD kLayoutVersionId = 258;
constexpr WORD kModelNameId = 259;
constexpr WORD kExtensionVersionId = 1793;
constexpr WORD kModelKindId = 5137;

/* Where dmSize and dmDriverExtra sit in every devmode. */
constexpr DWORD kDmSizeOffset = 68;
constexpr DWORD kDmDriverExtraOffset = 70;
constexpr DWORD kDmHeadBytes = 72;

/* A private part shorter than this is not this driver's. */
constexpr DWORD kMinDriverExtra = 69;
/* Private versions from here are updated in place; older ones are lifted to it first. */
constexpr DWORD kFirstUpdatable = 20483;
constexpr DWORD kModelNameChars = 32;

/*
 * The devmode being converted: a zero-filled copy of at least a settings
 * image's size, of which the first `extent` bytes came from the input.
 */
struct Source {
    BYTE *bytes = nullptr;
    DWORD extent = 0;
    ~Source() { GlobalFree(bytes); }

    /* A byte, 16-bit or 32-bit value at an offset of the old devmode; zero past its end. */
    DWORD byte(DWORD offset) const { return offset < extent ? bytes[offset] : 0; }
    DWORD word(DWORD offset) const { return offset + 2 <= extent ? plat::load_u16(bytes, offset) : 0; }
    DWORD dword(DWORD offset) const { return offset + 4 <= extent ? plat::load_u32(bytes, offset) : 0; }
};

/* Copies the input: dmSize + dmDriverExtra bytes, at most `limit`.  False when it is too short to say or no memory. */
bool takeSource(const void *devmode, DWORD limit, Source &s)
{
    if (limit < kDmHeadBytes)
        return false;
    const BYTE *in = static_cast<const BYTE *>(devmode);
    const DWORD declared = DWORD(plat::load_u16(in, kDmSizeOffset)) + plat::load_u16(in, kDmDriverExtraOffset);
    s.extent = std::min(declared, limit);
    s.bytes = static_cast<BYTE *>(GlobalAlloc(GPTR, std::max(s.extent, kImageSize)));
    if (!s.bytes)
        return false;
    std::memcpy(s.bytes, in, s.extent);
    return true;
}

struct Versions {
    DWORD spec = 0, driver = 0, size = 0, extra = 0, priv = 0, layout = 0;
    WCHAR name[kModelNameChars + 1] = {};
};

bool readVersions(BYTE *devmode, Versions &v)
{
    if (!upg_GetNumber(kSpecVersionId, devmode, nullptr, &v.spec) ||
        !upg_GetNumber(kDriverVersionId, devmode, nullptr, &v.driver) ||
        !upg_GetNumber(kSizeId, devmode, nullptr, &v.size) || !upg_GetNumber(kDriverExtraId, devmode, nullptr, &v.extra) ||
        !upg_GetNumber(kPrivateVersionId, devmode, nullptr, &v.priv) ||
        !upg_GetNumber(kLayoutVersionId, devmode, nullptr, &v.layout))
        return false;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(kModelNameId, devmode, nullptr, &type, &size, slot) != 0 || type != SVT_WSTRING)
        return false;
    LPCWSTR name = nullptr;
    std::memcpy(&name, slot, sizeof name);
    for (DWORD i = 0; name && i < kModelNameChars && name[i]; ++i)
        v.name[i] = name[i];
    return true;
}

/* The defaults of the printer name: a settings image and the printer-data record they were made with. */
struct Defaults {
    UpgBlock image{kImageSize};
    UpgBlock printerData{SETTINGS_PRINTERDATA_SIZE};
    Versions v;
    WORD kind = 0;
    bool make(ModelContext *context, LPCWSTR printerName)
    {
        DWORD kind32 = 0;
        if (!image.p || !printerData.p ||
            !FID_InitDefaults(context, image.p, printerData.p, printerName ? printerName : FID_DUMMY_PRINTER_NAME) ||
            !readVersions(image.p, v) || !upg_GetNumber(kModelKindId, nullptr, printerData.p, &kind32))
            return false;
        kind = WORD(kind32);
        return true;
    }
};

/* Puts the current version items of the defaults into a devmode. */
bool putVersions(BYTE *devmode, const Versions &d, DWORD privateVersion)
{
    return upg_SetNumber(kDriverVersionId, devmode, nullptr, d.driver) &&
           upg_SetNumber(kSizeId, devmode, nullptr, d.size) && upg_SetNumber(kDriverExtraId, devmode, nullptr, d.extra) &&
           upg_SetNumber(kPrivateVersionId, devmode, nullptr, privateVersion) &&
           upg_SetNumber(kLayoutVersionId, devmode, nullptr, d.layout);
}

/* The printer opened by name with full access, with its current PrinterData and its stored fax send list. */
struct PrinterStores {
    HANDLE printer = nullptr;
    UpgBlock printerData{SETTINGS_PRINTERDATA_SIZE};
    BYTE *fax = nullptr;
    DWORD faxSize = 0;
    ~PrinterStores()
    {
        GlobalFree(fax);
        if (printer)
            ClosePrinter(printer);
    }
    bool open(LPCWSTR name, ModelContext *context)
    {
        PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        return name && printerData.p && OpenPrinterW(name, &printer, &access) &&
               UPG_LoadPrinterData(printer, printerData.p, context);
    }
    /* The stored extension (N_Dev) into the image when there is one; it keeps its defaults otherwise. */
    void loadExtension(ModelContext *context, BYTE *image)
    {
        BYTE extension[kExtensionSize];
        if (PDT_ReadNDev(printer, context, PDT_STORE_PRINTER, extension, &fax, &faxSize))
            std::memcpy(image + kDevmodeSize, extension, kExtensionSize);
    }
    /* The image's extension stored back as N_Dev, with the fax send list and an empty TMBInfo. */
    bool storeExtension(ModelContext *context, const BYTE *image)
    {
        return PDT_SaveDeviceBlobs(printer, context, nullptr, PDT_STORE_PRINTER, fax, faxSize, image + kDevmodeSize,
                                   nullptr, 0) != FALSE;
    }
    /* A number of the PrinterData record into a setting of the image. */
    bool copy(WORD from, BYTE *image, WORD to)
    {
        DWORD value = 0;
        return upg_GetNumber(from, nullptr, printerData.p, &value) && upg_SetNumber(to, image, nullptr, value);
    }
};

bool isSet(BYTE *devmode, WORD id, bool *set)
{
    DWORD v = 0;
    if (!upg_GetNumber(id, devmode, nullptr, &v))
        return false;
    *set = v != 0;
    return true;
}

/* 3 when both flags are set, 1 only the first, 2 only the second, 0 neither. */
bool pairOf(BYTE *devmode, WORD first, WORD second, WORD to)
{
    bool a = false, b = false;
    return isSet(devmode, first, &a) && isSet(devmode, second, &b) &&
           upg_SetNumber(to, devmode, nullptr, (a ? 1 : 0) | (b ? 2 : 0));
}

/*
 * The rules of the update (v = the source's private version; `source` the
 * devmode in hand or the intermediate of a lift).
 */
bool applyDevmodeRules(ModelContext *context, BYTE *work, BYTE *source, DWORD v, WORD kind, LPCWSTR printerName)
{
    DWORD value = 0;
    if (upg_Family(kind) == 0x20 && !upg_Reset(context, work, nullptr, 271))
        return false;
    if (!upg_GetNumber(350, source, nullptr, &value) || (value == 0 && !upg_Reset(context, work, nullptr, 350)))
        return false;
    if (v <= 20484 && (!pairOf(work, 1308, 1311, 454) || !pairOf(work, 1306, 1309, 455)))
        return false;
    if (v < 20544 && MDL_HasCapability(context->main, MDL_CAP_BIT(45))) {
        DWORD binding = 0;
        bool set = false;
        if (!upg_GetNumber(321, source, nullptr, &binding) || !isSet(work, 1328, &set))
            return false;
        if (binding != 2 && !upg_SetNumber(1328, work, nullptr, 0))
            return false;
        if (binding == 2 && set &&
            (!upg_SetNumber(1328, work, nullptr, 0) || !upg_SetNumber(320, work, nullptr, 11) ||
             !upg_SetNumber(448, work, nullptr, 5) || !upg_SetNumber(465, work, nullptr, 2)))
            return false;
    }
    if (v <= 20484) {
        PrinterStores stores;
        if (!stores.open(printerName, context))
            return false;
        stores.loadExtension(context, work);
        static constexpr WORD kFrom[] = {5651, 5652, 5649, 5648, 5650, 5653, 5654};
        static constexpr WORD kTo[] = {456, 457, 1332, 1333, 1334, 1859, 1860};
        for (size_t i = 0; i < std::size(kFrom); ++i)
            if (!stores.copy(kFrom[i], work, kTo[i]))
                return false;
        if (!stores.storeExtension(context, work))
            return false;
    }
    return true;
}

/*
 * Update (private versions from 20483): the defaults with the source's
 * public and private parts over them; the rules run only when all of the
 * source fitted.  The result is in `work` (a whole image).
 */
bool update(ModelContext *context, BYTE *source, DWORD extent, const Defaults &d, LPCWSTR printerName, BYTE *work)
{
    Versions s;
    if (!readVersions(source, s))
        return false;
    std::memcpy(work, d.image.p, kImageSize);
    const DWORD publicBytes = std::min({s.size, d.v.size, extent});
    std::memcpy(work, source, publicBytes);
    DWORD privateBytes = 0;
    if (extent > s.size) {
        privateBytes = std::min({s.extra, d.v.extra, extent - s.size, kDevmodeSize - d.v.size});
        std::memcpy(work + d.v.size, source + s.size, privateBytes);
    }
    if (!putVersions(work, d.v, d.v.priv))
        return false;
    if (publicBytes + privateBytes != s.size + s.extra)
        return false;
    return applyDevmodeRules(context, work, source, s.priv, d.kind, printerName);
}

/* Reads row `row` of an older layout from the source into the image; a field past the source's end keeps its default. */
bool liftRow(const UpgLayoutRow &row, const Source &s, BYTE *image)
{
    /* 4 bytes for types 1, 4, 5 and 10, 2 for 2 and 3, 1 for 8, the row's size for 6 and 9 */
    const LONG size = FID_ValueSize(nullptr, row.type, row.size);
    if (size <= 0)
        return false;
    const DWORD bytes = DWORD(size);
    if (DWORD(row.offset) + bytes > s.extent)
        return true;
    const BYTE *at = s.bytes + row.offset;
    if (row.type == SVT_WSTRING)
        return upg_SetString(row.id, image, nullptr, at, bytes);
    if (row.type == SVT_LOGFONT) {
        BYTE block[SETTINGS_LOGFONT_SIZE] = {};
        std::memcpy(block, at, std::min<DWORD>(bytes, sizeof block));
        const BYTE *p = block;
        return DMB_SetValue(row.id, image, nullptr, row.type, LONG(sizeof block), &p) == 0;
    }
    BYTE value[4] = {};
    std::memcpy(value, at, bytes);
    return DMB_SetValue(row.id, image, nullptr, row.type, LONG(bytes), value) == 0;
}

/* Rounds to the nearest 10. */
DWORD round10(DWORD x) { return (x + 5) / 10 * 10; }

/* The value 444 takes for an old value; 0 for a value that leaves it alone. */
DWORD map444(DWORD old)
{
    static constexpr WORD kMap[][2] = {{2, 3},  {3, 4},   {4, 5},   {5, 6},   {6, 7},   {7, 8},  {8, 9},  {9, 10},
                                       {10, 11}, {11, 12}, {12, 15}, {13, 16}, {15, 2}, {18, 17}, {19, 1}};
    for (const auto &m : kMap)
        if (m[0] == old)
            return m[1];
    return 0;
}

/* The rules of the lift (b = 1 for the band 256-16391, 2 for 20480-20482; offsets are the old devmode's). */
bool applyOldDevmodeRules(ModelContext *context, BYTE *image, const Source &s, DWORD v, int b, WORD kind,
                          PrinterStores &stores)
{
    auto set = [&](WORD id, DWORD value) { return upg_SetNumber(id, image, nullptr, value); };
    auto reset = [&](WORD id) { return upg_Reset(context, image, nullptr, id); };
    if (v == 256) {
        const DWORD x = s.word(308);
        if (!set(295, x == 0 || x > 6 ? 1 : x <= 2 ? 2 : 4))
            return false;
        if (s.word(342) == 2 && !set(270, 0))
            return false;
    }
    if (v == 8192) {
        const DWORD x = s.word(1014);
        if (!(x != 0 ? set(296, x) && set(321, 1) : set(296, 514) && set(321, 0)))
            return false;
    }
    if (v <= 12290) {
        if (!set(268, round10(s.word(324))) || !set(269, round10(s.word(326))))
            return false;
        if (v >= 12288 && !set(324, round10(s.word(1364))))
            return false;
        const DWORD colour = s.word(346);
        if (!set(331, s.dword(316) != 0 ? 1 : 0) || !set(291, 0) || !set(390, colour == 3 || colour == 5 ? 0 : colour))
            return false;
        const DWORD resolution = s.word(344);
        if (resolution != 1 && resolution != 8)
            return false;
        if (!set(348, resolution == 1 ? 150 : 200))
            return false;
    }
    if (v >= 16384 && v <= 16387 && s.word(88) == 263 && !set(13, 15))
        return false;
    if (v <= 16388 && !set(18, s.dword(304) != 0 ? 1 : 0))
        return false;
    if (v >= 16384 && v <= 16386) {
        const DWORD mode = s.word(342);
        if (!set(270, mode == 3 ? 0 : mode) || !set(1289, 0))
            return false;
    }
    if (v < 16391 && (v != 16388 || s.word(222) < 6154) && !reset(1324))
        return false;
    if (v < 16384 || v == 16387) {
        if (!reset(13) || (s.word(310) == 258 && !reset(265)))
            return false;
    }
    if (upg_Family(kind) == 0x10 && !reset(1302))
        return false;
    if (upg_Family(kind) == 0x30 && s.word(344) == 257 && !set(271, 1))
        return false;
    if (!stores.copy(5135, image, 440) || !stores.copy(5132, image, 438))
        return false;
    if (v <= 20480 && !set(kDriverVersionId, kFirstUpdatable))
        return false;
    if (v < 20482) {
        const bool on = b == 1 ? s.dword(1348) != 0 : (s.dword(288) & 0x200) != 0;
        if (!set(446, on ? 2 : 0))
            return false;
    }
    if (v <= 20481) {
        /* 323 is 16-bit in the first band, one byte in the second (324 follows at 1,204) */
        if ((b == 1 ? s.word(1352) : s.byte(1203)) > 20 && !set(323, 20))
            return false;
        const DWORD mapped = map444(b == 1 ? s.word(312) : s.word(304));
        if (mapped != 0 && !set(444, mapped))
            return false;
    }
    return stores.storeExtension(context, image);
}

/* Lift (private versions below 20483) into an intermediate image of version 20483, then its update. */
bool lift(ModelContext *context, const Source &s, const Versions &sv, const Defaults &d, LPCWSTR printerName,
          BYTE *work)
{
    const UpgBand *band = upg_FindBand(WORD(sv.priv));
    if (!band)
        return false;
    UpgBlock inter(kImageSize);
    if (!inter.p)
        return false;
    std::memcpy(inter.p, d.image.p, kImageSize);
    for (WORD t = 0; t < band->count && band->tables[t].firstVersion <= sv.priv; ++t)
        for (WORD r = 0; r < band->tables[t].count; ++r)
            if (!liftRow(band->tables[t].rows[r], s, inter.p))
                return false;
    if (!upg_SetNumber(kSpecVersionId, inter.p, nullptr, d.v.spec) || !putVersions(inter.p, d.v, kFirstUpdatable))
        return false;
    PrinterStores stores;
    if (!stores.open(printerName, context))
        return false;
    BYTE extension[kExtensionSize];
    PDT_ReadNDev(stores.printer, context, PDT_STORE_PRINTER, extension, &stores.fax, &stores.faxSize);
    const int b = band == &UpgOldLayoutBands[0] ? 1 : 2;
    if (!applyOldDevmodeRules(context, inter.p, s, sv.priv, b, d.kind, stores))
        return false;
    return update(context, inter.p, kImageSize, d, printerName, work);
}

/* True when the two model names are equal over their 32 characters, case ignored. */
bool sameModel(const Versions &a, const Versions &b) { return _wcsnicmp(a.name, b.name, kModelNameChars) == 0; }

} // namespace

int upg_ConvertDevmodeBounded(const void *devmode, DWORD limit, void *out, LPCWSTR printerName,
                              ModelContext *context)
{
    if (!devmode || !out || !context)
        return UPG_FAILED;
    Defaults d;
    UpgBlock work(kImageSize);
    if (!work.p || !d.make(context, printerName))
        return UPG_FAILED;
    Source s;
    Versions sv;
    int result = UPG_DEFAULTS;
    bool done = false;
    if (takeSource(devmode, limit, s) && upg_GetNumber(kDriverExtraId, s.bytes, nullptr, &sv.extra) &&
        sv.extra >= kMinDriverExtra && readVersions(s.bytes, sv)) {
        if (sv.size != d.v.size || sv.spec != d.v.spec || !sameModel(sv, d.v) || d.v.layout < sv.layout) {
            /* another devmode, or a newer layout: the defaults */
        } else if (d.v.layout == sv.layout) {
            /* a copy needs the whole devmode part: a cut one is no devmode of this layout */
            if (sv.priv == d.v.priv && s.extent >= kDevmodeSize) {
                std::memcpy(work.p, s.bytes, kDevmodeSize);
                result = UPG_COPIED;
                done = true;
            }
        } else if (sv.priv < kFirstUpdatable) {
            done = lift(context, s, sv, d, printerName, work.p);
            result = UPG_CONVERTED;
        } else {
            done = update(context, s.bytes, s.extent, d, printerName, work.p);
            result = UPG_CONVERTED;
        }
    }
    if (!done) {
        std::memcpy(work.p, d.image.p, kImageSize);
        result = UPG_DEFAULTS;
    }
    std::memcpy(out, work.p, kDevmodeSize);
    return result;
}

int UPG_ConvertDevmode(const void *devmode, void *image, LPCWSTR printerName, ModelContext *context)
{
    return upg_ConvertDevmodeBounded(devmode, 0xFFFFFFFFu, image, printerName, context);
}

int UPG_ConvertDevmodeForPrinter(HANDLE printer, const void *devmode, DWORD totalSize, void *image)
{
    if (!printer || !devmode || !image)
        return UPG_FAILED;
    BYTE *info = PDT_GetPrinterInfo(printer, 1);
    if (!info)
        return UPG_FAILED;
    ModelContext *context = MDL_Open(printer);
    LPCWSTR name = reinterpret_cast<PRINTER_INFO_1W *>(info)->pName;
    Defaults d;
    int result = UPG_FAILED;
    if (context && d.make(context, name))
        result = upg_ConvertDevmodeBounded(devmode, totalSize, image, name, context);
    if (result != UPG_FAILED) {
        BYTE *extension = static_cast<BYTE *>(image) + kDevmodeSize;
        std::memcpy(extension, d.image.p + kDevmodeSize, kExtensionSize);
        const BYTE *in = static_cast<const BYTE *>(devmode);
        DWORD behind = 0;
        if (totalSize >= kDmHeadBytes)
            behind = DWORD(plat::load_u16(in, kDmSizeOffset)) + plat::load_u16(in, kDmDriverExtraOffset);
        if ((result == UPG_COPIED || result == UPG_CONVERTED) && totalSize > behind)
            std::memcpy(extension, in + behind, std::min(totalSize - behind, kExtensionSize));
        if (result == UPG_CONVERTED && !upg_Reset(context, image, nullptr, kExtensionVersionId)) {
            std::memcpy(image, d.image.p, kImageSize);
            result = UPG_DEFAULTS;
        }
    }
    if (context)
        MDL_Close(context);
    GlobalFree(info);
    return result;
}
