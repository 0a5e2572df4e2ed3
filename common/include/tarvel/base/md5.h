/*
 * MD5 message digest (RFC 1321), used to make the printer identifier.
 *
 * Every digest is computed in a context that the caller owns (on its own
 * stack), so two threads digesting at the same time never share state.
 */
#ifndef TARVEL_MD5_H
#define TARVEL_MD5_H

#include <plat/types.h>

constexpr DWORD MD5_DIGEST_SIZE = 16;
constexpr DWORD MD5_BLOCK_SIZE = 64;

/* State of one digest in progress. */
struct Md5Context {
    DWORD state[4];              /* A, B, C, D */
    ULONGLONG bitCount;          /* message length so far, in bits */
    BYTE buffer[MD5_BLOCK_SIZE]; /* bytes of the block not yet transformed */
};

/* Starts a digest: sets the RFC 1321 initial state and an empty message. */
void MD5_Init(Md5Context *context);

/* Adds `count` bytes at `bytes` to the message (bytes may be null when count is 0). */
void MD5_Update(Md5Context *context, const void *bytes, size_t count);

/*
 * Pads the message, writes the 16-byte digest to `digest` and wipes the
 * context (start again with MD5_Init to reuse it).
 */
void MD5_Final(BYTE digest[MD5_DIGEST_SIZE], Md5Context *context);

/* Applies the MD5 compression function of one 64-byte block to `state`. */
void MD5_Transform(DWORD state[4], const BYTE block[MD5_BLOCK_SIZE]);

/* Convenience: the digest of `count` bytes in one call, with a context of its own. */
void MD5_Digest(const void *bytes, size_t count, BYTE digest[MD5_DIGEST_SIZE]);

#endif /* TARVEL_MD5_H */
