/*
 * MD5 message digest as RFC 1321 defines it: 64-byte blocks, four rounds of
 * sixteen steps, little-endian words, and the length padding at the end.
 * The context is always the caller's; nothing here is process-wide.
 */
#include <tarvel/base/md5.h>

#include <cstring>

namespace {

/* Per-step left rotations, by round (RFC 1321 section 3.4). */
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

/* T[i] = floor(2^32 * abs(sin(i + 1))), written out as the RFC lists them. */
constexpr DWORD kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

inline DWORD rotateLeft(DWORD x, int n) { return (x << n) | (x >> (32 - n)); }

} // namespace

void MD5_Transform(DWORD state[4], const BYTE block[MD5_BLOCK_SIZE])
{
    DWORD x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = plat::load_u32(block, size_t(i) * 4);

    DWORD a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        int round = i / 16;
        DWORD f;
        int k;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            k = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            k = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            k = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            k = (7 * i) % 16;
            break;
        }
        DWORD next = b + rotateLeft(a + f + kSine[i] + x[k], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void MD5_Init(Md5Context *context)
{
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->bitCount = 0;
    std::memset(context->buffer, 0, sizeof context->buffer);
}

void MD5_Update(Md5Context *context, const void *bytes, size_t count)
{
    const BYTE *in = static_cast<const BYTE *>(bytes);
    size_t used = size_t(context->bitCount / 8 % MD5_BLOCK_SIZE);
    context->bitCount += ULONGLONG(count) * 8;

    if (used > 0) {
        size_t take = MD5_BLOCK_SIZE - used;
        if (count < take) {
            std::memcpy(context->buffer + used, in, count);
            return;
        }
        std::memcpy(context->buffer + used, in, take);
        MD5_Transform(context->state, context->buffer);
        in += take;
        count -= take;
    }
    while (count >= MD5_BLOCK_SIZE) {
        MD5_Transform(context->state, in);
        in += MD5_BLOCK_SIZE;
        count -= MD5_BLOCK_SIZE;
    }
    if (count > 0)
        std::memcpy(context->buffer, in, count);
}

void MD5_Final(BYTE digest[MD5_DIGEST_SIZE], Md5Context *context)
{
    /* Padding: one 1 bit, zeros up to 56 bytes of the block, then the bit length. */
    BYTE length[8];
    plat::store<ULONGLONG>(length, context->bitCount);
    size_t used = size_t(context->bitCount / 8 % MD5_BLOCK_SIZE);
    size_t padding = used < 56 ? 56 - used : 120 - used;
    static const BYTE kPadding[MD5_BLOCK_SIZE] = {0x80};
    MD5_Update(context, kPadding, padding);
    MD5_Update(context, length, sizeof length);

    for (int i = 0; i < 4; ++i)
        plat::store_u32(digest, size_t(i) * 4, context->state[i]);
    std::memset(context, 0, sizeof *context);
}

void MD5_Digest(const void *bytes, size_t count, BYTE digest[MD5_DIGEST_SIZE])
{
    Md5Context context;
    MD5_Init(&context);
    MD5_Update(&context, bytes, count);
    MD5_Final(digest, &context);
}
