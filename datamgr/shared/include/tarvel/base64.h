/*
 * Base64 and the byte scrambler: texts that travel in job attributes and
 * settings (fax numbers and names, user and account fields) are XOR-scrambled
 * with a fixed 4-byte key and then written as standard Base64 (RFC 4648
 * alphabet, "=" fill, no line breaks).  The scrambling is an obfuscation, not
 * encryption: the same routine with the same key undoes it.
 *
 * This header and base64.cpp depend on plat/types.h alone: the data manager,
 * which never links the common library, compiles the same source.
 *
 * Result codes of the byte routines:
 *    0  success
 *   -1  a missing pointer
 *   -2  a length or capacity of 0 or less
 *   -3  the output capacity is too small
 *  -10  a negative length (size rule), a size too large to count, or no memory
 */
#ifndef TARVEL_BASE64_H
#define TARVEL_BASE64_H

#include <plat/types.h>

/*
 * The scrambling key.  Byte i of the data is XORed with key byte (i mod 4).
 * Every program that reads scrambled texts (the device among them) uses these
 * same four bytes, so they are a fixed constant of the deployment.
 */
inline constexpr BYTE UTL_SCRAMBLE_KEY[4] = {0xA7, 0xC5, 0x9E, 0xB3};

/* Result codes of the byte routines (see above). */
enum : int {
    UTL_B64_OK = 0,
    UTL_B64_NO_POINTER = -1,
    UTL_B64_BAD_LENGTH = -2,
    UTL_B64_TOO_SMALL = -3,
    UTL_B64_NO_MEMORY = -10,
};

/*
 * Scrambles (or unscrambles: the operation is its own inverse) n bytes of
 * `in` into `out`: out[i] = in[i] XOR key[i mod 4].  `in` and `out` may be
 * the same buffer.  Whole groups of four bytes are written first, then the
 * 1-3 remaining bytes as one group; a group that does not fit `capacity`
 * stops the call with -3, and *outCount then holds the bytes written before
 * it.  Returns a result code; *outCount is the number of bytes written.
 */
int UTL_Scramble(const BYTE *in, int n, BYTE *out, int *outCount, int capacity);

/*
 * Writes n bytes of `in` as Base64 text into `out`: 4 characters for every 3
 * bytes, the last group filled up with "=".  No terminator is written; the
 * capacity must nevertheless be at least UTL_Base64EncodedSize(n) (the text
 * plus one byte), else -3 and nothing is written.  *outCount is
 * 4 * ceil(n / 3) on success.
 */
int UTL_Base64Encode(const BYTE *in, int n, char *out, int *outCount, int capacity);

/*
 * Decodes the first n characters of the Base64 text `text` into `out`.
 * White space (UTL_IsBase64Space) is skipped; "=", a NUL character or the
 * end of the n characters ends the decoding; no character at or beyond
 * text[n] is ever read.  A final group of two characters without "=" gives no
 * byte, of three characters one byte.  Characters outside the alphabet are
 * not rejected; they count as the value 0.  The capacity must be at least
 * ceil(n / 4) * 3, else -3.  *outCount is the number of bytes written.
 */
int UTL_Base64Decode(const char *text, int n, BYTE *out, int *outCount, int capacity);

/* True for the white space the decoder skips: characters 9 to 13 and 32. */
bool UTL_IsBase64Space(int c);

/*
 * Size of the buffer for the Base64 form of n bytes, with a terminator:
 * (n + 2) / 3 * 4 + 1.  Returns -10 for a negative n or a size beyond INT_MAX.
 */
int UTL_Base64EncodedSize(int n);

/*
 * Scrambles n bytes and writes them as Base64 text into `out` (capacity as
 * for UTL_Base64Encode).  The scrambled copy lives in a temporary buffer that
 * is freed before returning.  Returns a result code; *outCount is the number
 * of characters written.
 */
int UTL_EncodeBytes(const BYTE *in, int n, char *out, int *outCount, int capacity);

/*
 * Decodes n characters of Base64 text and unscrambles the bytes into `out`.
 * The decoded bytes live in a temporary buffer that is freed before
 * returning.  Text that decodes to no byte answers -2 (nothing to
 * unscramble).  Returns a result code; *outCount is the number of bytes
 * written.
 */
int UTL_DecodeBytes(const char *text, int n, BYTE *out, int *outCount, int capacity);

#endif /* TARVEL_BASE64_H */
