/*
 * Inside the job-header writer: the working record of one header build
 * (JobHeaderContext with its keyword memo), the setting readers, the record
 * steps (skipping, conditions, the record line, slots, fax destinations), the
 * value formatters and marker inserts, and the binding of the outside
 * job-language library.  Shared by the pjl_*.cpp and job_attr_*.cpp sources
 * and their tests; nothing outside the common library includes it.
 *
 * Every writer appends to a PjlBuffer and answers the bytes it wrote, 0 when
 * it had nothing to write, or a negative PJL_ERR_ code.
 */
#ifndef TARVEL_PJL_PRIVATE_H
#define TARVEL_PJL_PRIVATE_H

#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>

#include <initializer_list>
#include <span>

/* ---- Fixed texts ---------------------------------------------------------- */

inline constexpr char PJL_UEL[] = "\x1B%-12345X"; /* universal exit language, no line end */
inline constexpr char16_t PJL_TEXT_JOBATTR[] = u"@PJL SET JOBATTR=";
inline constexpr char16_t PJL_TEXT_JOB_MODE[] = u"@PJL JOB MODE=";
inline constexpr char16_t PJL_TEXT_LF[] = u"\n";
inline constexpr char16_t PJL_TEXT_QUOTE[] = u"\"";
inline constexpr char16_t PJL_TEXT_UNKNOWN_USER[] = u"UnknownUser";

/* ---- The keyword memo and the working record ----------------------------- */

/* Characters a memo text holds, terminator included; longer texts are not kept. */
inline constexpr int PJL_MEMO_CHARS = 128;

/* Memo flag bit 0: setting 336 was 1 when the header started. */
inline constexpr WORD PJL_MEMO_ATTRIBUTE_GATE = 0x1;

/*
 * What the header remembers of the records it has passed, so that a later
 * record of the same keyword or attribute is skipped.  An empty text never
 * matches (a text too long for its field is remembered as empty).
 */
struct PjlKeywordMemo {
    DWORD remembered;
    WCHAR lastKeyword[PJL_MEMO_CHARS];
    WCHAR lastAttribute[PJL_MEMO_CHARS];
    WORD flags;
};

/* The working record of one header build, on the builder's stack. */
struct JobHeaderContext {
    JobHeaderParams *params;
    ModelFileReader *main;
    ModelFileReader *companion;
    HMODULE library;          /* the job-language library; null until first needed */
    DWORD flags26;            /* model header entry 26 */
    ModelCapabilityBits caps; /* word 0 is entry 26 */
    WORD deviceClass;         /* MDL_CLASS_ */
    PjlKeywordMemo memo;
};

/* Fills a context for `params` and the model pair (library not loaded, memo clear). */
void pjl_InitContext(JobHeaderContext *ctx, JobHeaderParams *params, ModelFileReader *main,
                     ModelFileReader *companion);

/* 1 when the model writes the JOBATTR form. */
inline bool pjl_IsJobAttrForm(const JobHeaderContext *ctx) { return (ctx->flags26 & PJL_F26_JOBATTR) != 0; }

/* 1 when the job is a fax job: device class 2, or class 4 with job type 5. Negative: a read error. */
LONG pjl_IsFaxDevice(const JobHeaderContext *ctx);

/* ---- Appending ------------------------------------------------------------ */

/* Puts the buffer back to `length` bytes (and its zero byte): what a writer that gave up had appended goes. */
void pjl_Rewind(PjlBuffer *out, DWORD length);

/* Appends the texts in order; the sum of their lengths or the first error. */
LONG pjl_AppendAll(PjlBuffer *out, std::initializer_list<LPCWSTR> texts);

/* "@PJL SET JOBATTR=" + '"' + word + '"' + LF (the fax option lines). */
LONG pjl_AppendJobAttrLine(PjlBuffer *out, LPCWSTR attribute, LPCWSTR word);

/* Memory for a working text that cannot be had counts as a failed conversion: the table has no code of its own for it. */
inline constexpr LONG PJL_ERR_NO_MEMORY = PJL_ERR_CONVERSION;

/* 1 for the errors of the output itself, which no writer swallows. */
inline bool pjl_IsOutputError(LONG r)
{
    return r == PJL_ERR_NULL_BUFFER || r == PJL_ERR_OVERFLOW || r == PJL_ERR_CONVERSION;
}

/* ---- Reading settings ------------------------------------------------------ */

/*
 * Reads setting `id` raw through the data-manager binding and hands the
 * value out in the width `type` asks for: 32 bits for types 1, 4, 5 and 10,
 * 16 bits for 2 and 3, 8 bits for 8.  Returns 0, PJL_ERR_RANGE (status 1)
 * or PJL_ERR_READ (any other failure, or a string type).
 */
LONG PJL_ReadSetting(const JobHeaderParams *params, WORD id, WORD type, DWORD *value);

/* Reads a setting as it stands: its reported type, its size and its 8-byte slot. */
struct PjlSettingValue {
    WORD type;
    LONG size;
    BYTE slot[8];
};
LONG pjl_ReadRaw(const JobHeaderParams *params, WORD id, PjlSettingValue *value);

/*
 * A new, aligned copy of the string setting `id` (zero-filled GlobalAlloc
 * block; free with GlobalFree).  Returns 0, or PJL_ERR_RANGE / PJL_ERR_READ,
 * PJL_ERR_VALUE_TYPE for a setting that is not a string.
 */
LONG pjl_ReadText(const JobHeaderParams *params, WORD id, LPWSTR *text);

/*
 * Reads settings one after the other in the width `type` asks for (see
 * PJL_ReadSetting) and keeps the first error in `status`; once a read has
 * failed, every later read answers 0 without reading.
 */
struct PjlReader {
    const JobHeaderParams *params;
    LONG status = 0;
    DWORD operator()(WORD id, WORD type);
};

/* A new, aligned copy of the string that a raw read of a string setting points to (free with GlobalFree). */
LONG pjl_CopySettingText(const PjlSettingValue *value, LPWSTR *text);

/* 1 when setting `id` read in `type` differs from `value`, 0 when equal, or the read error. */
LONG PJL_SettingDiffers(const JobHeaderParams *params, WORD id, WORD type, DWORD value);

/* The effective value of `id` (DMB_GetEffectiveValue) as 32 bits; -1 read as 0xFFFFFFFF when it fails. */
DWORD pjl_Effective(const JobHeaderParams *params, WORD id);

/* The booklet exclusion: capability bit 42 and the low byte of the job type (334) is 3.  Negative: a read error. */
LONG pjl_BookletExcluded(const JobHeaderContext *ctx);

/* ---- Records ---------------------------------------------------------------- */

/* 1 when the record is skipped (and maybe remembered), 0 when it is written. */
int PJL_SkipRecord(JobHeaderContext *ctx, const DddJobLineRecord *record);

/* Remembers a record in the memo (see PJL_SkipRecord for what is kept). */
void pjl_RememberRecord(JobHeaderContext *ctx, const DddJobLineRecord *record);

/* 1 when the record's conditions hold, 0 when not, or a PJL_ERR_ code. */
LONG PJL_EvalRecordConditions(JobHeaderContext *ctx, DddJobLineRecord *record);

/*
 * Compares the setting value `setting` (read raw) with element `index` of
 * the condition's values under its operator: 1 true, 0 false, or an error.
 */
LONG PJL_CompareConditionValue(const DddSettingItem *condition, DWORD index, const PjlSettingValue *setting);

/* The record's line (command and value), without line end; 0 when the record writes nothing. */
LONG PJL_WriteRecordLine(JobHeaderContext *ctx, const DddJobLineRecord *record, PjlBuffer *out);

/* The booklet slot at a marker record (placeholder, known value, position), with its line end. */
LONG PJL_WriteBookletSlot(JobHeaderContext *ctx, PjlBuffer *out);

/* The fax destination lines of the parameters' cursor (nothing without one). */
LONG PJL_WriteFaxAttributes(JobHeaderContext *ctx, PjlBuffer *out);

/* ---- Printable texts ----------------------------------------------------------- */

/* A range of single bytes, or of double-byte codes (lead byte << 8 | trail byte). */
struct PjlRange {
    WORD low;
    WORD high;
};

/*
 * 1 when `text`, converted to the ANSI code page, is printable: not empty;
 * every single byte within `singles`, every double-byte character (a lead
 * byte of the code page and its trail byte) within `doubles`; none of the
 * `forbiddenSingles` / `forbiddenDoubles`; and not made of blanks only
 * (blanks: white space and the double-byte space 0x8140).  0 otherwise.
 */
BOOL PJL_IsPrintableText(LPCWSTR text, std::span<const PjlRange> singles, std::span<const PjlRange> doubles,
                         std::span<const BYTE> forbiddenSingles = {}, std::span<const WORD> forbiddenDoubles = {});

/* ---- Values (job attributes) ---------------------------------------------------- */

/* The value dispatch by the record's setting `id`: key + value, or 0 when there is nothing to write. */
LONG PJL_FormatValue(ModelFileReader *main, ModelFileReader *companion, LPCWSTR key, WORD id,
                     JobHeaderParams *params, JobHeaderContext *ctx, PjlBuffer *out);

/* Key + the setting formatted by its reported type. */
LONG PJL_FormatPlainValue(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out);

/* The fax device's own values (1800 send time, 1865 scrambled text); 0 when it has none for `id`. */
LONG PJL_FormatFaxValue(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out);

/* The value formatters with their own rules (key + value, or 0). */
LONG pjl_FormatCopies(LPCWSTR key, JobHeaderContext *ctx, PjlBuffer *out);
LONG pjl_FormatOneTimeText(LPCWSTR key, JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatPaperName(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatFeedEdge(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatWithoutLeadingZeros(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatDocumentName(LPCWSTR key, const JobHeaderContext *ctx, PjlBuffer *out);
LONG pjl_FormatNumberList(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatUserName(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatJobId(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out);
LONG pjl_FormatScheduledTime(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out);

/* The paper name of a paper code ("A4", ...), or null for a code without one (custom codes: null too). */
LPCWSTR pjl_PaperName(WORD code);

/*
 * The user name for setting 8193 in the ANSI code page into `name` (256
 * bytes): the system's name with its fallbacks, kept only when every
 * character is one the device shows (cut to 255 bytes), else "UnknownUser".
 */
void pjl_DeviceUserName(char *name, int capacity);

/* The two gates of the inserts: 1 when open, 0 when shut, or a read error. */
LONG pjl_OwnerGate(const JobHeaderParams *params);
LONG pjl_HostGate(const JobHeaderParams *params);
LONG pjl_FaxGate(const JobHeaderParams *params);

/* ---- Marker inserts --------------------------------------------------------------- */

/* The inserts written at a marker record, in order, each with `lineEnd` after it when it wrote text. */
LONG PJL_WriteMarkerInserts(JobHeaderContext *ctx, PjlBuffer *out, LPCWSTR lineEnd);

LONG PJL_WriteNupString(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteHostAddress(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteHostName(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteJobOwner(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteFaxResolution(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteFareAttribute(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteTrreAttribute(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteTxheAttribute(JobHeaderContext *ctx, PjlBuffer *out);
LONG PJL_WriteFaxAddressFile(JobHeaderContext *ctx, PjlBuffer *out);

/* Largest fax address file the header takes, in bytes. */
inline constexpr DWORD PJL_FAX_FILE_BYTES = 9600;

/* ---- The outside job-language library ------------------------------------------------- */

/* Entry points, with their arguments in the order the library takes them; non-zero answers success. */
typedef int (*PjlNupFn)(WORD layoutCode, LPSTR buffer, WORD *size, DWORD *out);
typedef int (*PjlHostAddressFn)(LPSTR buffer, WORD *size, DWORD *out);
typedef int (*PjlHostNameFn)(DWORD what, LPSTR buffer, WORD *size, void *reserved, DWORD *out);
typedef int (*PjlOwnerFromHostFn)(WORD ownerKind, WORD layout, WORD outputCode, LPSTR buffer, WORD *size,
                                  DWORD *out);
typedef int (*PjlOwnerFromInputFn)(WORD ownerKind, LPCSTR user, WORD layout, WORD outputCode, LPSTR buffer,
                                   WORD *size, DWORD *out);

inline constexpr char PJL_ENTRY_NUP[] = "DHGetKJCLStringOfNup";
inline constexpr char PJL_ENTRY_HOST_ADDRESS[] = "DHGetKJCLStringOfHostAddress";
inline constexpr char PJL_ENTRY_HOST_NAME[] = "DHGetKJCLStringOfHostNameEx";
inline constexpr char PJL_ENTRY_OWNER_FROM_HOST[] = "DHGetKJCLStringOfJobOwnerStringFromUserHostName";
inline constexpr char PJL_ENTRY_OWNER_FROM_INPUT[] = "DHGetKJCLStringOfJobOwnerFromInputA";

/* Buffer sizes the library is told (its answers are cut there). */
inline constexpr WORD PJL_NUP_BYTES = 18;
inline constexpr WORD PJL_HOST_ADDRESS_BYTES = 48;
inline constexpr WORD PJL_OWNER_BYTES = 47;

/*
 * Loads the library on first use (model text 3 in the driver directory) and
 * finds `name`.  Returns 1 with *entry, or 0 (library or entry missing).
 */
int PJL_GetLibraryEntry(JobHeaderContext *ctx, const char *name, FARPROC *entry);

/* Frees the library of a header build (nothing when it was never loaded). */
void pjl_FreeLibrary(JobHeaderContext *ctx);

/*
 * Appends a library answer: the first `size` bytes of `answer` at most (the
 * library need not terminate it), as the text alone or, in the JOBATTR
 * form, as a "@PJL SET JOBATTR=" line with the text in double quotes.  An
 * empty answer writes nothing.
 */
LONG pjl_AppendLibraryAnswer(const JobHeaderContext *ctx, const char *answer, WORD size, PjlBuffer *out);

#endif /* TARVEL_PJL_PRIVATE_H */
