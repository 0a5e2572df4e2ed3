/*
 * Line texts of the job-information block: the vocabulary of every item, the
 * text of each of the 25 items and of a page's "PAGEINFO=" line.  A value
 * outside its item's table gives an empty text (the writer still writes the
 * line's prefix and line end), never an error.  Numbers use 32-bit
 * conversions throughout: the counts are DWORD-sized on every platform.
 */
#include <tarvel/job_language/job_info.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <span>

namespace {

using Words = std::span<const char *const>;

constexpr const char *kPdlWords[] = {"UNKNOWN", "TRAMX", "POSTSCRIPT", "PCLXL", "WBDL"};
constexpr const char *kJobTypeWords[] = {"PRINT", "DIRECTFAX", "INTERNETFAX", "FORMREGISTRATION"};
constexpr const char *kStoredJobTypeWords[] = {"IMMEDIATE", "SECURITY", "PROOF", "DELAY", "QUICKCOPY", "PERSONALBOX"};
constexpr const char *kDuplexWords[] = {"SIMPLEX", "DUPLEX", "TUMBLE"};
constexpr const char *kBookletWords[] = {"NOBOOKLET", "NONEDIVIDE", "AUTODIVIDE", "MANUALDIVIDE"};
constexpr const char *kOutTrayWords[] = {"MAINTRAY", "SIDETRAY", "OUTBIN", "BOOKLETTRAY", "FOLDERTRAY"};
constexpr const char *kPageOrderWords[] = {"1TON", "NTO1"};
constexpr const char *kStapleWords[] = {"NOSTAPLE",    "TOPLEFT",    "TOPDUAL",    "TOPRIGHT", "RIGHTDUAL",
                                        "BOTTOMRIGHT", "BOTTOMDUAL", "BOTTOMLEFT", "LEFTDUAL", "SADDLE"};
constexpr const char *kPunchHoleWords[] = {"NOPUNCH", "UNKNOWN", "TWO", "THREE", "FOUR"};
constexpr const char *kPunchPositionWords[] = {"TOP", "LEFT", "RIGHT", "BOTTOM"};
constexpr const char *kFoldWords[] = {"NOFOLD",         "BIFOLDINSIDE",    "BIFOLDOUTSIDE",
                                      "ZFOLDLEFT",      "ZFOLDRIGHT",      "TRIZFOLDINSIDE",
                                      "TRIZFOLDOUTSIDE", "TRICFOLDINSIDE", "TRICFOLDOUTSIDE"};
constexpr const char *kSlipSheetWords[] = {"NOSLIPSHEET", "EMPTY", "COPY"};
constexpr const char *kTonerSaveWords[] = {"OFF", "ON"};
constexpr const char *kModeWords[] = {"UNKNOWN", "COLOR", "MONOCHROME", "EMPTY"};
constexpr const char *kOrientationWords[] = {"UNKNOWN", "PORTRAIT", "LANDSCAPE", "REVPORTRAIT", "REVLANDSCAPE"};

constexpr const char kFormatVersion[] = "1.1.0";
constexpr LONG kBookletAutoDivide = 2;
constexpr LONG kOutTrayBin = 2;
constexpr LONG kModeColor = 1;

/* The word of `value` in `words`, or null outside the table. */
const char *Word(Words words, LONG value)
{
    return value >= 0 && size_t(value) < words.size() ? words[size_t(value)] : nullptr;
}

/* A bounded single-byte text being built; `len` stops at the capacity. */
struct Text {
    char *buf;
    size_t cap; /* bytes, terminator included */
    size_t len;

    void Add(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        if (len + 1 >= cap)
            return;
        va_list args;
        va_start(args, format);
        int n = vsnprintf(buf + len, cap - len, format, args);
        va_end(args);
        if (n > 0)
            len = len + size_t(n) < cap ? len + size_t(n) : cap - 1;
    }
};

/* How an item's text is made. */
enum class Kind { Fixed, Word, Positive, Count, Pdl, Booklet, OutTray, Punch, Page };

struct ItemFormat {
    Kind kind;
    const char *key;            /* text before the value (whole text for Fixed) */
    LONG JobInfoRecord::*value; /* the item's value (first value for pairs) */
    Words words;
};

/* Indexed by item number; entry 0 unused. */
const ItemFormat kItems[JIF_ITEM_END + 1] = {
    {Kind::Fixed, "", nullptr, {}},
    {Kind::Fixed, "VERSION=", nullptr, {}},
    {Kind::Fixed, "BEGIN", nullptr, {}},
    {Kind::Pdl, "PDLTYPE=", &JobInfoRecord::pdlCode, kPdlWords},
    {Kind::Word, "JOBTYPE=", &JobInfoRecord::jobType, kJobTypeWords},
    {Kind::Word, "STOREDJOBTYPE=", &JobInfoRecord::storedJobType, kStoredJobTypeWords},
    {Kind::Positive, "JOBCOPIES=", &JobInfoRecord::jobCopies, {}},
    {Kind::Positive, "PAGECOPIES=", &JobInfoRecord::pageCopies, {}},
    {Kind::Word, "DUPLEXTYPE=", &JobInfoRecord::duplexType, kDuplexWords},
    {Kind::Positive, "NUP=", &JobInfoRecord::nup, {}},
    {Kind::Positive, "POSTER=", &JobInfoRecord::poster, {}},
    {Kind::Booklet, "BOOKLETTYPE=", &JobInfoRecord::bookletType, kBookletWords},
    {Kind::OutTray, "OUTTRAY=", &JobInfoRecord::outTrayCode, kOutTrayWords},
    {Kind::Word, "PAGEORDER=", &JobInfoRecord::pageOrder, kPageOrderWords},
    {Kind::Word, "STAPLE=", &JobInfoRecord::staple, kStapleWords},
    {Kind::Punch, "PUNCH=", &JobInfoRecord::punchHoles, kPunchHoleWords},
    {Kind::Word, "FOLD=", &JobInfoRecord::fold, kFoldWords},
    {Kind::Word, "SLIPSHEET=", &JobInfoRecord::slipSheet, kSlipSheetWords},
    {Kind::Word, "TONERSAVE=", &JobInfoRecord::tonerSave, kTonerSaveWords},
    {Kind::Count, "PHYSICALPAGES=", &JobInfoRecord::physicalPages, {}},
    {Kind::Count, "LOGICALPAGES=", &JobInfoRecord::logicalPages, {}},
    {Kind::Count, "ESTIMATEDSHEETS=", &JobInfoRecord::estimatedSheets, {}},
    {Kind::Fixed, "PAGEINFOBEGIN", nullptr, {}},
    {Kind::Page, "PAGEINFO=", nullptr, {}},
    {Kind::Fixed, "PAGEINFOEND", nullptr, {}},
    {Kind::Fixed, "END", nullptr, {}},
};

/* Writes the text of item n (not PAGEINFO) into t; nothing for a value
 * outside its table. */
void FormatValue(const JobInfoRecord *r, int n, Text &t)
{
    const ItemFormat &f = kItems[n];
    LONG v = f.value ? r->*f.value : 0;
    const char *word = Word(f.words, v);
    switch (f.kind) {
    case Kind::Fixed:
        t.Add("%s%s", f.key, n == JIF_ITEM_VERSION ? kFormatVersion : "");
        break;
    case Kind::Word:
        if (word)
            t.Add("%s%s", f.key, word);
        break;
    case Kind::Positive:
        if (v > 0)
            t.Add("%s%" PRId32, f.key, v);
        break;
    case Kind::Count:
        t.Add("%s%" PRIu32, f.key, DWORD(v));
        break;
    case Kind::Pdl:
        if (word)
            t.Add("%sPDL[%s]:VERSION[%s]", f.key, word, r->pdlVersion);
        break;
    case Kind::Booklet:
        if (!word)
            break;
        if (v < kBookletAutoDivide)
            t.Add("%sTYPE[%s]", f.key, word);
        else if (r->bookletThreshold > 0)
            t.Add("%sTYPE[%s]:THRESHOLD[%" PRId32 "]", f.key, word, r->bookletThreshold);
        break;
    case Kind::OutTray:
        if (!word)
            break;
        if (v != kOutTrayBin)
            t.Add("%s%s", f.key, word);
        else if (r->outTrayBin > 0)
            t.Add("%s%s%" PRId32, f.key, word, r->outTrayBin);
        break;
    case Kind::Punch:
        if (!word)
            break;
        if (v == 0)
            t.Add("%sHOLES[%s]", f.key, word);
        else if (const char *pos = Word(kPunchPositionWords, r->punchPosition))
            t.Add("%sHOLES[%s]:POSITION[%s]", f.key, word, pos);
        break;
    case Kind::Page:
        break;
    }
}

} // namespace

int JIF_WritePageEntry(JobInfoRecord *record, char *buffer, int capacity, LONG page, BOOL *sizeWritten)
{
    if (!record || !record->pages || !buffer || !sizeWritten || capacity < JIF_LINE_BUFFER_SIZE)
        return -1;
    *sizeWritten = FALSE;
    buffer[0] = '\0';

    /* Copy the entry, leaving the list's cursor where it was. */
    JobInfoPageList *list = record->pages;
    LONG previous = JIF_ListCurrent(list);
    if (!JIF_ListSelect(list, page))
        return 0;
    JobInfoPage p;
    JIF_ListCopyCurrent(list, &p);
    JIF_ListSelect(list, previous);
    p.size[JIF_PAGE_SIZE_MAX] = '\0';

    Text t{buffer, size_t(capacity), 0};
    t.Add("PAGEINFO=");
    const DWORD *flags = record->setFlags;

    /* A ":" goes before every field after the first one attempted: SIZE
     * counts only when written, every later field as soon as its flag is
     * set, even when its value is outside its table and gives no text. */
    bool attempted = false;
    auto begin = [&](int flag) {
        if (!flags[flag])
            return false;
        if (attempted)
            t.Add(":");
        attempted = true;
        return true;
    };

    if (flags[JIF_FLAG_SIZE] && p.size[0] != '\0') {
        t.Add("SIZE[%s]", p.size);
        attempted = true;
        *sizeWritten = TRUE;
    }
    if (begin(JIF_FLAG_MODE))
        if (const char *w = Word(kModeWords, p.mode))
            t.Add("MODE[%s]", w);
    if (begin(JIF_FLAG_COLORS) && p.mode == kModeColor && p.colors >= 0)
        t.Add("COLORS[%" PRId32 "]", p.colors);
    if (begin(JIF_FLAG_INTRAY))
        t.Add("INTRAY[%" PRIu32 "]", p.inTray);
    if (begin(JIF_FLAG_DUPLEX))
        if (const char *w = Word(kDuplexWords, p.duplex))
            t.Add("DUPLEX[%s]", w);
    if (begin(JIF_FLAG_ORIENTATION))
        if (const char *w = Word(kOrientationWords, p.orientation))
            t.Add("ORIENTATION[%s]", w);
    if (begin(JIF_FLAG_POS))
        t.Add("POS[%" PRIu32 "]", p.pos);
    return int(t.len);
}

int JIF_FormatItem(JobInfoRecord *record, char *line, int capacity, int n, LONG page, BOOL *sizeWritten)
{
    if (!record || !line || !sizeWritten || n < JIF_ITEM_VERSION || n > JIF_ITEM_END ||
        capacity < JIF_LINE_BUFFER_SIZE)
        return -1;
    *sizeWritten = FALSE;
    line[0] = '\0';

    int len = 0;
    if (n == JIF_ITEM_PAGEINFO) {
        len = JIF_WritePageEntry(record, line, capacity, page, sizeWritten);
        if (len < 0)
            return -1;
    } else {
        Text t{line, size_t(capacity), 0};
        FormatValue(record, n, t);
        len = int(t.len);
    }

    /* The texts stay below JIF_MAX_TEXT_LENGTH, so the line end always fits. */
    DWORD endLength = record->lineEndLength <= 2 ? record->lineEndLength : 2;
    memcpy(line + len, record->lineEnd, endLength);
    len += int(endLength);
    line[len] = '\0';
    return len;
}
