/*
 * Font files and faces for the engine's fonts (see engine_fonts_private.h):
 * the file mapped read-only, its table directory checked against the file's
 * size before FreeType sees it, the face opened with FreeType, and the
 * face's IFIMETRICS filled from its own head, hhea, OS/2, post and name
 * tables.
 */
#include "engine_fonts_private.h"

#include <plat/error.h>

#include FT_TRUETYPE_TABLES_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

namespace plat::fonts {

namespace {

/* Identity of a file on disk: a file replaced or rewritten since it was mapped is mapped again. */
using FileKey = std::tuple<std::string, dev_t, ino_t, off_t, long, long>;

struct Cache {
    FT_Library library = nullptr;
    ULONG_PTR next = 1;
    std::map<FileKey, std::weak_ptr<MappedFile>> files;
    std::map<std::pair<FileKey, ULONG>, std::shared_ptr<Face>> faces; /* kept for the process */
};

Cache &cache()
{
    static auto *c = new Cache; /* never destroyed: fonts may be freed after static destructors */
    return *c;
}

ULONG be32(const BYTE *p) { return ULONG(p[0]) << 24 | ULONG(p[1]) << 16 | ULONG(p[2]) << 8 | p[3]; }
USHORT be16(const BYTE *p) { return USHORT(p[0] << 8 | p[1]); }

constexpr ULONG TAG_TTCF = 0x74746366u; /* "ttcf" */

/* The offsets of the faces' table directories: one for a single font, each member's for a collection. */
bool face_offsets(const BYTE *p, size_t size, std::vector<size_t> &out)
{
    out.clear();
    if (size < 12)
        return false;
    if (be32(p) != TAG_TTCF) {
        out.push_back(0);
        return true;
    }
    const ULONG n = be32(p + 8);
    if (n == 0 || n > (size - 12) / 4)
        return false;
    for (ULONG i = 0; i < n; i++)
        out.push_back(be32(p + 12 + 4 * size_t(i)));
    return true;
}

/* A face's directory lies within the file, every table lies within the file, and head, hhea and maxp are there. */
bool directory_sound(const BYTE *p, size_t size, size_t at)
{
    const ULONG version = at + 12 <= size ? be32(p + at) : 0;
    if (version != 0x00010000u && version != 0x74727565u /* true */ && version != 0x4F54544Fu /* OTTO */)
        return false;
    const size_t tables = be16(p + at + 4);
    if (tables == 0 || at + 12 + 16 * tables > size)
        return false;
    int required = 0;
    for (size_t i = 0; i < tables; i++) {
        const BYTE *entry = p + at + 12 + 16 * i;
        const ULONG tag = be32(entry);
        const uint64_t offset = be32(entry + 8), length = be32(entry + 12);
        if (offset + length > size)
            return false;
        if (tag == 0x68656164u || tag == 0x68686561u || tag == 0x6D617870u) /* head hhea maxp */
            required++;
    }
    return required == 3;
}

std::shared_ptr<MappedFile> map_file(const std::string &path, FileKey &key)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 12 || uint64_t(st.st_size) > 0xFFFFFFFFu) {
        ::close(fd);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    key = FileKey{path, st.st_dev, st.st_ino, st.st_size, long(st.st_mtim.tv_sec), st.st_mtim.tv_nsec};
    Cache &c = cache();
    auto it = c.files.find(key);
    if (it != c.files.end())
        if (auto live = it->second.lock()) {
            ::close(fd);
            return live;
        }
    void *bytes = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (bytes == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    /* The file at this path changed: its old faces stay alive only as long as fonts made from them. */
    std::erase_if(c.faces, [&](const auto &entry) { return std::get<0>(entry.first.first) == path; });
    std::erase_if(c.files, [&](const auto &entry) { return entry.second.expired(); });
    auto file = std::make_shared<MappedFile>();
    file->path = path;
    file->bytes = static_cast<const BYTE *>(bytes);
    file->size = size_t(st.st_size);
    file->id = c.next++;
    c.files[key] = file;
    return file;
}

/* A name of the face: Windows Unicode in US English first, then any Windows Unicode, then Macintosh Roman. */
std::u16string sfnt_name(FT_Face face, FT_UShort nameId)
{
    int best = 0;
    std::u16string text;
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; i++) {
        FT_SfntName n{};
        if (FT_Get_Sfnt_Name(face, i, &n) != 0 || n.name_id != nameId)
            continue;
        int rank = 0;
        if (n.platform_id == TT_PLATFORM_MICROSOFT && (n.encoding_id == TT_MS_ID_UNICODE_CS ||
                                                       n.encoding_id == TT_MS_ID_SYMBOL_CS))
            rank = n.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES ? 3 : 2;
        else if (n.platform_id == TT_PLATFORM_MACINTOSH && n.encoding_id == TT_MAC_ID_ROMAN)
            rank = 1;
        if (rank <= best)
            continue;
        best = rank;
        text.clear();
        if (rank >= 2)
            for (FT_UInt b = 0; b + 1 < n.string_len; b += 2)
                text.push_back(char16_t(n.string[b] << 8 | n.string[b + 1]));
        else
            for (FT_UInt b = 0; b < n.string_len; b++)
                text.push_back(char16_t(n.string[b]));
    }
    return text;
}

/* The family of the pitch and family byte, from the face's panose classification. */
BYTE family_of(const BYTE panose[10], bool fixed)
{
    if (fixed)
        return FF_MODERN;
    switch (panose[0]) {
    case 2: /* Latin text: sans serif styles 11-13 */
        return panose[1] >= 11 && panose[1] <= 13 ? FF_SWISS : FF_ROMAN;
    case 3:
        return FF_SCRIPT;
    case 4:
        return FF_DECORATIVE;
    default:
        return FF_DONTCARE;
    }
}

FWORD fw(long v) { return FWORD(std::clamp<long>(v, -32768, 32767)); }

/* Fills the face's IFIMETRICS and its four names; `cff` for PostScript outlines ("OTTO"). */
bool build_metrics(Face &f, bool cff)
{
    FT_Face face = f.ft;
    auto *head = static_cast<TT_Header *>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    auto *hhea = static_cast<TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    auto *post = static_cast<TT_Postscript *>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    if (!head || !hhea || head->Units_Per_EM == 0)
        return false;

    f.family = sfnt_name(face, TT_NAME_ID_FONT_FAMILY);
    f.style = sfnt_name(face, TT_NAME_ID_FONT_SUBFAMILY);
    f.fullName = sfnt_name(face, TT_NAME_ID_FULL_NAME);
    std::u16string unique = sfnt_name(face, TT_NAME_ID_UNIQUE_ID);
    if (f.family.empty())
        return false;
    if (f.fullName.empty())
        f.fullName = f.family;
    f.glyphCount = ULONG(face->num_glyphs);
    f.fixedPitch = post && post->isFixedPitch != 0;
    f.weight = os2 && os2->usWeightClass ? os2->usWeightClass : (head->Mac_Style & 1) ? 700 : 400;
    f.italic = (os2 && (os2->fsSelection & FM_SEL_ITALIC)) || (head->Mac_Style & 2);

    const std::u16string *names[4] = {&f.family, &f.style, &f.fullName, &unique};
    size_t total = sizeof(IFIMETRICS);
    for (const auto *n : names)
        total += (n->size() + 1) * sizeof(char16_t);
    total = (total + 7) & ~size_t(7);
    f.ifi.assign(total, 0);
    IFIMETRICS &m = *f.metrics();
    m.cjThis = ULONG(total);
    PTRDIFF *offsets[4] = {&m.dpwszFamilyName, &m.dpwszStyleName, &m.dpwszFaceName, &m.dpwszUniqueName};
    size_t at = sizeof(IFIMETRICS);
    for (int i = 0; i < 4; i++) {
        *offsets[i] = PTRDIFF(at);
        std::memcpy(f.ifi.data() + at, names[i]->data(), names[i]->size() * sizeof(char16_t));
        at += (names[i]->size() + 1) * sizeof(char16_t);
    }

    const bool symbol = face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
    BYTE panose[10] = {};
    if (os2)
        std::memcpy(panose, os2->panose, 10);
    m.lItalicAngle = post ? LONG(std::lround(double(post->italicAngle) / 65536.0 * 10.0)) : 0;
    m.jWinCharSet = symbol ? SYMBOL_CHARSET : ANSI_CHARSET;
    m.jWinPitchAndFamily = BYTE((f.fixedPitch ? FIXED_PITCH : VARIABLE_PITCH) | family_of(panose, f.fixedPitch));
    m.usWinWeight = USHORT(f.weight);
    m.flInfo = FM_INFO_ARB_XFORMS | FM_INFO_1BPP | FM_INFO_RETURNS_BITMAPS |
               (cff ? FM_INFO_TECH_OUTLINE_NOT_TRUETYPE : FM_INFO_TECH_TRUETYPE) |
               (f.fixedPitch ? FM_INFO_OPTICALLY_FIXED_PITCH : 0u);
    m.fwdUnitsPerEm = fw(head->Units_Per_EM);
    m.fwdLowestPPEm = fw(head->Lowest_Rec_PPEM);
    m.fwdMacAscender = fw(hhea->Ascender);
    m.fwdMacDescender = fw(hhea->Descender);
    m.fwdMacLineGap = fw(hhea->Line_Gap);
    m.fwdMaxCharInc = fw(hhea->advance_Width_Max);
    if (os2) {
        m.fsSelection = USHORT(os2->fsSelection);
        m.fsType = USHORT(os2->fsType);
        m.fwdWinAscender = fw(os2->usWinAscent);
        m.fwdWinDescender = fw(os2->usWinDescent);
        m.fwdTypoAscender = fw(os2->sTypoAscender);
        m.fwdTypoDescender = fw(os2->sTypoDescender);
        m.fwdTypoLineGap = fw(os2->sTypoLineGap);
        m.fwdAveCharWidth = fw(os2->xAvgCharWidth);
        m.fwdCapHeight = os2->version >= 2 ? fw(os2->sCapHeight) : 0;
        m.fwdXHeight = os2->version >= 2 ? fw(os2->sxHeight) : 0;
        m.fwdSubscriptXSize = fw(os2->ySubscriptXSize);
        m.fwdSubscriptYSize = fw(os2->ySubscriptYSize);
        m.fwdSubscriptXOffset = fw(os2->ySubscriptXOffset);
        m.fwdSubscriptYOffset = fw(os2->ySubscriptYOffset);
        m.fwdSuperscriptXSize = fw(os2->ySuperscriptXSize);
        m.fwdSuperscriptYSize = fw(os2->ySuperscriptYSize);
        m.fwdSuperscriptXOffset = fw(os2->ySuperscriptXOffset);
        m.fwdSuperscriptYOffset = fw(os2->ySuperscriptYOffset);
        m.fwdStrikeoutSize = fw(os2->yStrikeoutSize);
        m.fwdStrikeoutPosition = fw(os2->yStrikeoutPosition);
        m.wcFirstChar = os2->usFirstCharIndex;
        m.wcLastChar = os2->usLastCharIndex;
        m.wcDefaultChar = os2->version >= 2 ? os2->usDefaultChar : 0;
        m.wcBreakChar = os2->version >= 2 ? os2->usBreakChar : 0x20;
        std::memcpy(m.achVendId, os2->achVendID, 4);
    } else {
        m.fwdWinAscender = fw(hhea->Ascender);
        m.fwdWinDescender = fw(-hhea->Descender);
        m.fwdTypoAscender = fw(hhea->Ascender);
        m.fwdTypoDescender = fw(hhea->Descender);
        m.fwdTypoLineGap = fw(hhea->Line_Gap);
        m.fwdAveCharWidth = fw(hhea->advance_Width_Max / 2);
        m.wcFirstChar = 0x20;
        m.wcLastChar = 0xFF;
        m.wcBreakChar = 0x20;
    }
    if (post) {
        m.fwdUnderscoreSize = fw(post->underlineThickness);
        m.fwdUnderscorePosition = fw(post->underlinePosition);
    }
    m.chFirstChar = BYTE(std::min<unsigned>(m.wcFirstChar, 0xFF));
    m.chLastChar = BYTE(std::min<unsigned>(m.wcLastChar, 0xFF));
    m.chDefaultChar = BYTE(std::min<unsigned>(m.wcDefaultChar, 0xFF));
    m.chBreakChar = BYTE(std::min<unsigned>(m.wcBreakChar, 0xFF));
    m.ptlBaseline = {1, 0};
    m.ptlAspect = {1, 1};
    m.ptlCaret = {hhea->caret_Slope_Run, hhea->caret_Slope_Rise};
    m.rclFontBox = {head->xMin, head->yMax, head->xMax, head->yMin};
    std::memcpy(&m.panose, panose, 10);
    return true;
}

} // namespace

MappedFile::~MappedFile()
{
    if (bytes)
        ::munmap(const_cast<BYTE *>(bytes), size);
}

Face::~Face()
{
    if (ft)
        FT_Done_Face(ft);
}

std::recursive_mutex &face_lock()
{
    static auto *lock = new std::recursive_mutex;
    return *lock;
}

ULONG face_count(const std::string &path)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    FileKey key;
    auto file = map_file(path, key);
    if (!file)
        return 0;
    std::vector<size_t> offsets;
    if (!face_offsets(file->bytes, file->size, offsets)) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    return ULONG(offsets.size());
}

std::shared_ptr<Face> open_face(const std::string &path, ULONG index)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    FileKey key;
    auto file = map_file(path, key);
    if (!file)
        return nullptr;
    Cache &c = cache();
    auto it = c.faces.find({key, index});
    if (it != c.faces.end())
        return it->second;

    std::vector<size_t> offsets;
    if (!face_offsets(file->bytes, file->size, offsets) || index >= offsets.size() ||
        !directory_sound(file->bytes, file->size, offsets[index])) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if (!c.library && FT_Init_FreeType(&c.library) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto face = std::make_shared<Face>();
    face->file = file;
    face->index = index;
    if (FT_New_Memory_Face(c.library, file->bytes, FT_Long(file->size), FT_Long(index), &face->ft) != 0 ||
        !FT_IS_SFNT(face->ft) || !FT_IS_SCALABLE(face->ft) || face->ft->num_glyphs <= 0 ||
        !build_metrics(*face, be32(file->bytes + offsets[index]) == 0x4F54544Fu)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    face->id = c.next++;
    c.faces[{key, index}] = face;
    return face;
}

std::u16string ifi_name(const IFIMETRICS *ifi, PTRDIFF dp)
{
    std::u16string text;
    if (!ifi || dp < PTRDIFF(sizeof(IFIMETRICS)) || ULONG(dp) >= ifi->cjThis)
        return text;
    const BYTE *base = reinterpret_cast<const BYTE *>(ifi);
    for (ULONG at = ULONG(dp); at + 1 < ifi->cjThis; at += 2) {
        char16_t ch;
        std::memcpy(&ch, base + at, 2);
        if (ch == 0)
            break;
        text.push_back(ch);
    }
    return text;
}

bool same_name(const std::u16string &a, const std::u16string &b)
{
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

double em_pixels(LONG height, const IFIMETRICS &ifi, LONG resolutionY)
{
    if (height < 0)
        return -double(height);
    if (height == 0) /* 12 points */
        return 12.0 * double(resolutionY > 0 ? resolutionY : 600) / 72.0;
    const double cell = double(ifi.fwdWinAscender) + double(ifi.fwdWinDescender);
    return cell > 0 ? double(height) * double(ifi.fwdUnitsPerEm) / cell : double(height);
}

} // namespace plat::fonts
