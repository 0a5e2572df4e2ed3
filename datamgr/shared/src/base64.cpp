/*
 * Base64 and the byte scrambler of the common library.  The data manager
 * compiles this file too (it never links the common library), so it depends
 * on plat/types.h and the C library alone: no platform service, no
 * allocation through the platform layer.
 */
#include <tarvel/base64.h>

#include <climits>
#include <cstdlib>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/* Value of a Base64 character; characters outside the alphabet count as 0. */
unsigned b64_value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

/* Sets *outCount to 0 and checks the pointers and sizes every routine shares. */
int check_args(const void *in, int n, const void *out, int *outCount, int capacity)
{
    if (outCount)
        *outCount = 0;
    if (!in || !out || !outCount)
        return UTL_B64_NO_POINTER;
    if (n <= 0 || capacity <= 0)
        return UTL_B64_BAD_LENGTH;
    return UTL_B64_OK;
}

} // namespace

int UTL_Scramble(const BYTE *in, int n, BYTE *out, int *outCount, int capacity)
{
    int rc = check_args(in, n, out, outCount, capacity);
    if (rc != UTL_B64_OK)
        return rc;
    int written = 0;
    while (written < n) {
        /* Whole groups of four, then the 1-3 remaining bytes as one group. */
        int group = n - written >= 4 ? 4 : n - written;
        if (group > capacity - written) {
            *outCount = written;
            return UTL_B64_TOO_SMALL;
        }
        for (int i = 0; i < group; i++)
            out[written + i] = BYTE(in[written + i] ^ UTL_SCRAMBLE_KEY[i]);
        written += group;
    }
    *outCount = written;
    return UTL_B64_OK;
}

int UTL_Base64EncodedSize(int n)
{
    if (n < 0)
        return UTL_B64_NO_MEMORY;
    int64_t size = (int64_t(n) + 2) / 3 * 4 + 1;
    return size > INT_MAX ? UTL_B64_NO_MEMORY : int(size);
}

int UTL_Base64Encode(const BYTE *in, int n, char *out, int *outCount, int capacity)
{
    int rc = check_args(in, n, out, outCount, capacity);
    if (rc != UTL_B64_OK)
        return rc;
    /* 4 * ceil(n / 3) characters are written; one byte more is asked for so
     * that a caller's zero-filled buffer of UTL_Base64EncodedSize stays a
     * terminated string.  Counted in 64 bits: n may be close to INT_MAX. */
    if (int64_t(capacity) < (int64_t(n) + 2) / 3 * 4 + 1)
        return UTL_B64_TOO_SMALL;
    int w = 0;
    int i = 0;
    for (; n - i >= 3; i += 3) {
        uint32_t v = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
        out[w++] = kAlphabet[v >> 18];
        out[w++] = kAlphabet[(v >> 12) & 63];
        out[w++] = kAlphabet[(v >> 6) & 63];
        out[w++] = kAlphabet[v & 63];
    }
    if (n - i > 0) {
        bool two = n - i == 2;
        uint32_t v = uint32_t(in[i]) << 16 | (two ? uint32_t(in[i + 1]) << 8 : 0);
        out[w++] = kAlphabet[v >> 18];
        out[w++] = kAlphabet[(v >> 12) & 63];
        out[w++] = two ? kAlphabet[(v >> 6) & 63] : '=';
        out[w++] = '=';
    }
    *outCount = w;
    return UTL_B64_OK;
}

bool UTL_IsBase64Space(int c)
{
    return (c >= 9 && c <= 13) || c == 32;
}

int UTL_Base64Decode(const char *text, int n, BYTE *out, int *outCount, int capacity)
{
    int rc = check_args(text, n, out, outCount, capacity);
    if (rc != UTL_B64_OK)
        return rc;
    if (int64_t(capacity) < (int64_t(n) + 3) / 4 * 3)
        return UTL_B64_TOO_SMALL;

    int pos = 0;
    int w = 0;
    bool end = false;
    while (!end) {
        /* Read one group of up to four characters.  White space is skipped
         * before each; "=", NUL or the end of the n characters ends the
         * decoding (a "=" still counts as a character of its group). */
        unsigned char c[4] = {0, 0, 0, 0};
        int got = 0;
        while (got < 4) {
            while (pos < n && UTL_IsBase64Space(static_cast<unsigned char>(text[pos])))
                pos++;
            if (pos >= n || text[pos] == 0) {
                end = true;
                break;
            }
            c[got++] = static_cast<unsigned char>(text[pos++]);
            if (c[got - 1] == '=') {
                end = true;
                break;
            }
        }
        /* A "=" stops the reading, so with got >= 3 the first two characters
         * are data characters; c[2] and c[3] may be "=". */
        if (got >= 3)
            out[w++] = BYTE(b64_value(c[0]) << 2 | b64_value(c[1]) >> 4);
        if (got == 4 && c[2] != '=')
            out[w++] = BYTE(b64_value(c[1]) << 4 | b64_value(c[2]) >> 2);
        if (got == 4 && c[3] != '=')
            out[w++] = BYTE(b64_value(c[2]) << 6 | b64_value(c[3]));
    }
    *outCount = w;
    return UTL_B64_OK;
}

int UTL_EncodeBytes(const BYTE *in, int n, char *out, int *outCount, int capacity)
{
    int rc = check_args(in, n, out, outCount, capacity);
    if (rc != UTL_B64_OK)
        return rc;
    BYTE *tmp = static_cast<BYTE *>(std::malloc(size_t(n) + 1));
    if (!tmp)
        return UTL_B64_NO_MEMORY;
    int scrambled = 0;
    rc = UTL_Scramble(in, n, tmp, &scrambled, n);
    if (rc == UTL_B64_OK)
        rc = UTL_Base64Encode(tmp, scrambled, out, outCount, capacity);
    std::free(tmp);
    return rc;
}

int UTL_DecodeBytes(const char *text, int n, BYTE *out, int *outCount, int capacity)
{
    int rc = check_args(text, n, out, outCount, capacity);
    if (rc != UTL_B64_OK)
        return rc;
    /* The temporary buffer takes what the decoder may write at most,
     * ceil(n / 4) * 3 bytes (below INT_MAX for every int n). */
    int tmpSize = int((int64_t(n) + 3) / 4 * 3);
    BYTE *tmp = static_cast<BYTE *>(std::malloc(size_t(tmpSize)));
    if (!tmp)
        return UTL_B64_NO_MEMORY;
    int decoded = 0;
    rc = UTL_Base64Decode(text, n, tmp, &decoded, tmpSize);
    if (rc == UTL_B64_OK)
        rc = UTL_Scramble(tmp, decoded, out, outCount, capacity);
    std::free(tmp);
    return rc;
}
