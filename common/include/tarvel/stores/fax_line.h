/*
 * The destination line of a fax job: one PJL line per FaxSendEntry that the
 * job header writes, "@FANU=" (a fax number) or "@FAEN=" (the form whose
 * attribute texts are scrambled), optionally wrapped as
 * "@PJL SET JOBATTR="...", with the address and the attribute pieces in
 * braces.  Text is single-byte ANSI (the machine's ANSI code page).
 */
#ifndef TARVEL_FAX_LINE_H
#define TARVEL_FAX_LINE_H

#include <plat/types.h>

/* The dialling record, filled by the caller from the PrinterData. */
struct FaxDialling {
    DWORD setting4111;      /* setting 4111 (not used by the line) */
    WCHAR firstPrefix[6];   /* 5141, at most 5 characters */
    WORD firstFlag;         /* 5142 */
    WCHAR secondPrefix[6];  /* 5143, at most 5 characters */
    WORD secondFlag;        /* 5144 */
    WORD thirdFlag;         /* 5145 */
};

/* Destination kinds. */
inline constexpr int FAX_DEST_NUMBER = 1;    /* "@FANU=" */
inline constexpr int FAX_DEST_SCRAMBLED = 2; /* "@FAEN=": texts of 1813 and 1818 scrambled */

/* Limits of the counted lengths: N (address and pieces 1-4) and T (pieces 5 and 6). */
inline constexpr LONG FAX_MAX_NUMBER_LENGTH = 128;
inline constexpr LONG FAX_MAX_TEXT_LENGTH = 46;
/* The capacity the job header gives one line. */
inline constexpr DWORD FAX_LINE_CAPACITY = 512;

/*
 * FAX_WriteFaxEntryAttrs: the line of the 742-byte `entry` with the prefix
 * and flag that its field 1796 selects from `dialling`: first the address
 * ("'%s'" with the address for address kind 1, else the prefix and the
 * address), then in braces the attribute pieces: 1 or 4 (by field 1811), 2
 * and 3 always, 5 and 6 when their texts are not empty; in the JOBATTR form
 * wrapped as "@PJL SET JOBATTR=" and double quotes; CR LF last.
 *
 * `out` null: *outLength = N (the address and pieces 1-4 with their braces,
 * scrambled texts at their plain length) and 1.  Otherwise the line goes
 * into `out` (`capacity` bytes; terminated when a byte is left) and
 * *outLength is its length without a terminator.
 *
 * Returns 1; 0 on failure with *outLength -1 when a limit is exceeded (N
 * above 128, T above 46, a field of the 1816 list longer than two
 * characters or empty before the last, a list above 80 characters), 0 when
 * the line does not fit `capacity`, and 0 for a field 1810 other than 0, 1
 * and 2, a failed conversion or scrambling, or a null argument.  `reserved`
 * is 0.
 */
BOOL FAX_WriteFaxEntryAttrs(int destinationKind, const BYTE *entry, const FaxDialling *dialling, DWORD capacity,
                            BOOL jobAttrForm, int reserved, LPSTR out, LONG *outLength);

/*
 * FAX_ConvertAttr1List: the comma-separated fields of setting 1816, each of
 * one or two characters, left-padded with zeros to four ("7" -> "0007") and
 * joined; an empty last field (a trailing comma) is ignored.  Returns 1 with
 * the result in `out` (81 characters of room); 0 for an empty field before
 * the last, a field of three or more characters, or a result above 80
 * characters.
 */
BOOL FAX_ConvertAttr1List(LPCWSTR list, LPWSTR out);

#endif /* TARVEL_FAX_LINE_H */
