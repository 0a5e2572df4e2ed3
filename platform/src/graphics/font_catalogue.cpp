/*
 * The catalogue of the machine's TrueType fonts (see plat/engine_fonts.h):
 * the font folders read once with FreeType (every member of a collection),
 * GDI's choice of a face for a requested name, weight and slant, and
 * EnumFontFamiliesW over the catalogue and a printer library's device fonts.
 */
#include "engine_fonts_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

using plat::CatalogueFont;
using plat::fonts::same_name;

const std::vector<std::string> DEFAULT_FOLDERS = {"/usr/share/fonts/truetype", "/usr/share/fonts/opentype"};

/* The face every unknown name falls back to, and its file when the catalogue lacks it. */
const std::u16string FALLBACK_FAMILY = u"DejaVu Sans";
const char *const FALLBACK_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

/* Font files read from one folder tree at most: a folder of more is cut short rather than read for minutes. */
constexpr size_t MAX_FONT_FILES = 20000;

struct Catalogue {
    std::mutex lock;
    std::vector<std::string> folders = DEFAULT_FOLDERS;
    bool injected = false;
    bool read = false;
    std::vector<CatalogueFont> fonts;
};

Catalogue &catalogue()
{
    static auto *c = new Catalogue;
    return *c;
}

void reset_catalogue()
{
    Catalogue &c = catalogue();
    std::lock_guard<std::mutex> g(c.lock);
    c.folders = DEFAULT_FOLDERS;
    c.injected = false;
    c.read = false;
    c.fonts.clear();
}

const bool registered = (plat::machine_on_reset(reset_catalogue), true);

bool font_file_name(const std::filesystem::path &p)
{
    std::string ext = p.extension().string();
    for (char &ch : ext)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".ttf" || ext == ".ttc" || ext == ".otf";
}

void sort_fonts(std::vector<CatalogueFont> &fonts)
{
    std::stable_sort(fonts.begin(), fonts.end(), [](const CatalogueFont &a, const CatalogueFont &b) {
        return std::tie(a.family, a.weight, a.italic, a.fullName) < std::tie(b.family, b.weight, b.italic, b.fullName);
    });
}

/* Reads the folders; call with the catalogue's lock held. */
void read_folders(Catalogue &c)
{
    std::vector<std::string> files;
    for (const std::string &folder : c.folders) {
        std::error_code ec;
        std::filesystem::recursive_directory_iterator it(
            folder, std::filesystem::directory_options::skip_permission_denied, ec);
        for (; !ec && it != std::filesystem::recursive_directory_iterator() && files.size() < MAX_FONT_FILES;
             it.increment(ec))
            if (it->is_regular_file(ec) && font_file_name(it->path()))
                files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    c.fonts.clear();
    for (const std::string &file : files) {
        const ULONG faces = plat::fonts::face_count(file);
        for (ULONG i = 0; i < faces; i++) {
            auto face = plat::fonts::open_face(file, i);
            if (face)
                c.fonts.push_back(CatalogueFont{face->family, face->fullName, face->style, face->weight,
                                                face->italic, file, i});
        }
    }
    sort_fonts(c.fonts);
    c.read = true;
}

void copy_name(WCHAR *dst, size_t capacity, const std::u16string &src)
{
    const size_t n = std::min(src.size(), capacity - 1);
    std::memcpy(dst, src.data(), n * sizeof(WCHAR));
    dst[n] = 0;
}

/* The enumeration records of a font of metrics `ifi` (in its notional units) and these names. */
void describe(const IFIMETRICS &ifi, const std::u16string &family, const std::u16string &full,
              const std::u16string &style, DWORD type, LONG weight, bool italic, ENUMLOGFONTW &elf,
              NEWTEXTMETRICW &ntm)
{
    elf = ENUMLOGFONTW{};
    ntm = NEWTEXTMETRICW{};
    TEXTMETRICW &tm = ntm.tm;
    tm.tmAscent = ifi.fwdWinAscender;
    tm.tmDescent = ifi.fwdWinDescender;
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(tm.tmHeight - ifi.fwdUnitsPerEm, 0);
    tm.tmExternalLeading =
        std::max<LONG>(ifi.fwdMacLineGap - (tm.tmHeight - (ifi.fwdMacAscender - ifi.fwdMacDescender)), 0);
    tm.tmAveCharWidth = ifi.fwdAveCharWidth;
    tm.tmMaxCharWidth = ifi.fwdMaxCharInc;
    tm.tmWeight = weight;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = ifi.wcFirstChar;
    tm.tmLastChar = ifi.wcLastChar;
    tm.tmDefaultChar = ifi.wcDefaultChar;
    tm.tmBreakChar = ifi.wcBreakChar;
    tm.tmItalic = italic ? 255 : 0;
    const bool fixed = (ifi.jWinPitchAndFamily & 3) == FIXED_PITCH;
    tm.tmPitchAndFamily = BYTE((ifi.jWinPitchAndFamily & 0xF0) | (fixed ? 0 : TMPF_FIXED_PITCH) |
                               (type == TRUETYPE_FONTTYPE ? TMPF_VECTOR | TMPF_TRUETYPE : TMPF_DEVICE));
    tm.tmCharSet = ifi.jWinCharSet;
    ntm.ntmFlags = (italic ? NTM_ITALIC : 0) | ((ifi.fsSelection & FM_SEL_BOLD) || weight >= 700 ? NTM_BOLD : 0);
    if (!(ntm.ntmFlags & (NTM_ITALIC | NTM_BOLD)))
        ntm.ntmFlags |= NTM_REGULAR;
    ntm.ntmSizeEM = UINT(std::max<LONG>(ifi.fwdUnitsPerEm, 0));
    ntm.ntmCellHeight = UINT(std::max<LONG>(tm.tmHeight, 0));
    ntm.ntmAvgWidth = UINT(std::max<LONG>(tm.tmAveCharWidth, 0));

    LOGFONTW &lf = elf.elfLogFont;
    lf.lfHeight = tm.tmHeight;
    lf.lfWidth = tm.tmAveCharWidth;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = ifi.jWinCharSet;
    lf.lfOutPrecision = type == TRUETYPE_FONTTYPE ? 3 /* OUT_STROKE_PRECIS */ : 5 /* OUT_DEVICE_PRECIS */;
    lf.lfClipPrecision = 2; /* CLIP_STROKE_PRECIS */
    lf.lfQuality = 1;       /* DRAFT_QUALITY */
    lf.lfPitchAndFamily = ifi.jWinPitchAndFamily;
    copy_name(lf.lfFaceName, LF_FACESIZE, family);
    copy_name(elf.elfFullName, LF_FULLFACESIZE, full);
    copy_name(elf.elfStyle, LF_FACESIZE, style);
}

/* The index of the font that stands for each family when families are listed: nearest to a regular upright face. */
std::map<std::u16string, size_t> family_faces(const std::vector<CatalogueFont> &fonts)
{
    auto score = [](const CatalogueFont &f) { return std::abs(f.weight - 400) + (f.italic ? 1000 : 0); };
    std::map<std::u16string, size_t> best;
    for (size_t i = 0; i < fonts.size(); i++) {
        auto [it, added] = best.emplace(fonts[i].family, i);
        if (!added && score(fonts[i]) < score(fonts[it->second]))
            it->second = i;
    }
    return best;
}

} // namespace

namespace plat {

std::vector<CatalogueFont> font_catalogue()
{
    Catalogue &c = catalogue();
    std::lock_guard<std::mutex> g(c.lock);
    if (!c.read)
        read_folders(c);
    return c.fonts;
}

void font_catalogue_set_folders(const std::vector<std::string> &folders)
{
    Catalogue &c = catalogue();
    std::lock_guard<std::mutex> g(c.lock);
    c.folders = folders;
    c.injected = false;
    c.read = false;
    c.fonts.clear();
}

void font_catalogue_set_fonts(const std::vector<CatalogueFont> &fonts)
{
    Catalogue &c = catalogue();
    std::lock_guard<std::mutex> g(c.lock);
    c.fonts = fonts;
    sort_fonts(c.fonts);
    c.injected = true;
    c.read = true;
}

bool font_catalogue_match(const std::u16string &faceName, LONG weight, bool italic, CatalogueFont *out)
{
    const std::vector<CatalogueFont> fonts = font_catalogue();
    const LONG wanted = weight > 0 ? weight : 400;
    for (const std::u16string &name : {faceName, FALLBACK_FAMILY}) {
        if (name.empty())
            continue;
        const CatalogueFont *best = nullptr;
        long bestScore = 0;
        for (const CatalogueFont &f : fonts) {
            long score;
            if (same_name(f.fullName, name) && !same_name(f.family, name))
                score = -1; /* a face asked for by its full name */
            else if (same_name(f.family, name))
                score = std::abs(f.weight - wanted) + (f.italic != italic ? 1000 : 0);
            else
                continue;
            if (!best || score < bestScore)
                best = &f, bestScore = score;
        }
        if (best) {
            if (out)
                *out = *best;
            return true;
        }
    }
    auto face = fonts::open_face(FALLBACK_FILE, 0);
    if (!face)
        return false;
    if (out)
        *out = CatalogueFont{face->family, face->fullName, face->style, face->weight, face->italic, FALLBACK_FILE, 0};
    return true;
}

} // namespace plat

int EnumFontFamiliesW(HDC hdc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string wanted;
    if (family)
        for (const WCHAR *p = family; *p && wanted.size() < LF_FACESIZE; p++)
            wanted.push_back(*p);
    int answer = 1;
    ENUMLOGFONTW elf;
    NEWTEXTMETRICW ntm;

    /* The library's device fonts first, on a printer device context. */
    plat::GdiDcInfo info{};
    auto queryFont = hdc && plat::gdi_dc_info(hdc, &info)
                         ? reinterpret_cast<PFN_DrvQueryFont>(
                               reinterpret_cast<void (*)(void)>(plat::gdi_driver_function(hdc, INDEX_DrvQueryFont)))
                         : nullptr;
    if (queryFont) {
        std::vector<std::u16string> listed;
        for (ULONG face = 1; face <= std::min<ULONG>(info.devInfo.cFonts, 0xFFFF); face++) {
            ULONG_PTR id = 0;
            const IFIMETRICS *ifi = queryFont(info.dhpdev, 0, face, &id);
            if (!ifi || ifi->cjThis < sizeof(IFIMETRICS))
                continue;
            const std::u16string fam = plat::fonts::ifi_name(ifi, ifi->dpwszFamilyName);
            const std::u16string full = plat::fonts::ifi_name(ifi, ifi->dpwszFaceName);
            if (fam.empty())
                continue;
            if (family ? !same_name(fam, wanted) && !same_name(full, wanted)
                       : std::any_of(listed.begin(), listed.end(), [&](const auto &n) { return same_name(n, fam); }))
                continue;
            listed.push_back(fam);
            describe(*ifi, fam, full.empty() ? fam : full, plat::fonts::ifi_name(ifi, ifi->dpwszStyleName),
                     DEVICE_FONTTYPE, ifi->usWinWeight, ifi->fsSelection & FM_SEL_ITALIC, elf, ntm);
            answer = proc(&elf.elfLogFont, &ntm.tm, DEVICE_FONTTYPE, lParam);
            if (answer == 0)
                return 0;
        }
    }

    const std::vector<CatalogueFont> fonts = plat::font_catalogue();
    const std::map<std::u16string, size_t> standing = family ? std::map<std::u16string, size_t>{} : family_faces(fonts);
    for (size_t i = 0; i < fonts.size(); i++) {
        const CatalogueFont &f = fonts[i];
        if (family ? !same_name(f.family, wanted) : standing.at(f.family) != i)
            continue;
        IFIMETRICS blank{};
        auto face = plat::fonts::open_face(f.file, f.faceIndex);
        describe(face ? *face->metrics() : blank, f.family, f.fullName, f.style, TRUETYPE_FONTTYPE, f.weight,
                 f.italic, elf, ntm);
        answer = proc(&elf.elfLogFont, &ntm.tm, TRUETYPE_FONTTYPE, lParam);
        if (answer == 0)
            return 0;
    }
    return answer;
}
