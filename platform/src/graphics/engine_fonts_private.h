/*
 * The engine's font faces (private to the engine's sources): each font
 * file is mapped once per process and each face of it opened once with
 * FreeType; a face keeps its IFIMETRICS (which does not depend on the size)
 * and the facts the fonts, strings and catalogue need.  Every FreeType call
 * is made with the face lock held (FreeType objects are not thread-safe).
 */
#ifndef PLAT_ENGINE_FONTS_PRIVATE_H
#define PLAT_ENGINE_FONTS_PRIVATE_H

#include <plat/engine_fonts.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat::fonts {

/* A font file mapped read-only. */
struct MappedFile {
    std::string path;
    const BYTE *bytes = nullptr;
    size_t size = 0;
    ULONG_PTR id = 0;   /* nonzero, unique in the process: the FONTOBJ's iFile */
    ~MappedFile();
};

/* One face of a font file, opened with FreeType. */
struct Face {
    std::shared_ptr<MappedFile> file;
    ULONG index = 0;
    ULONG_PTR id = 0;        /* nonzero, unique in the process: the FONTOBJ's iTTUniq */
    FT_Face ft = nullptr;
    std::vector<BYTE> ifi;   /* IFIMETRICS and its names, 8-byte aligned storage */
    ULONG glyphCount = 0;
    bool fixedPitch = false;
    LONG weight = 400;       /* OS/2 usWeightClass */
    bool italic = false;     /* fsSelection italic or head.macStyle italic */
    std::u16string family, style, fullName;
    ~Face();

    IFIMETRICS *metrics() { return reinterpret_cast<IFIMETRICS *>(ifi.data()); }
};

/* The lock around every FreeType call and the face cache. */
std::recursive_mutex &face_lock();

/*
 * The face `index` of `path`, opened once per process (a file changed on
 * disk since is opened again).  Null with the error set: ERROR_FILE_NOT_FOUND,
 * ERROR_INVALID_DATA (not a font, tables past the end of the file, no such
 * member), ERROR_NOT_ENOUGH_MEMORY.
 */
std::shared_ptr<Face> open_face(const std::string &path, ULONG index);

/* The number of faces in `path` (1 for a single font, the member count of a collection); 0 with the error set. */
ULONG face_count(const std::string &path);

/* Text of a NUL-terminated name inside an IFIMETRICS at byte offset `dp`, read no further than cjThis. */
std::u16string ifi_name(const IFIMETRICS *ifi, PTRDIFF dp);

/* ASCII case-insensitive equality of two names. */
bool same_name(const std::u16string &a, const std::u16string &b);

/* The em in device pixels of a request of `height` (< 0 em, > 0 cell, 0 default) for a font of these metrics. */
double em_pixels(LONG height, const IFIMETRICS &ifi, LONG resolutionY);

/* A string laid out in a font: glyph handles and advances along the escapement. */
struct TextLayout {
    std::vector<HGLYPH> handles;
    std::vector<double> advances; /* device pixels along the baseline */
    double total = 0;             /* sum of the advances */
    double ascent = 0;            /* device pixels above and below the baseline */
    double descent = 0;
    double dirX = 1, dirY = 0;    /* unit vector of the escapement in device space */
};

/*
 * Lays out `count` units of `text` in an engine font (advances from `dx`
 * when given).  False with ERROR_INVALID_PARAMETER for an unknown font, a
 * null text or a count of 0 or above 65,535.
 */
bool text_layout(FONTOBJ *font, LPCWSTR text, ULONG count, const INT *dx, TextLayout &out);

} // namespace plat::fonts

#endif /* PLAT_ENGINE_FONTS_PRIVATE_H */
