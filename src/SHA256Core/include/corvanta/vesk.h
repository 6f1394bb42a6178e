/* The two lowest routines of the miner: SHA-256 compression and the nonce search.
 * Flat C interface: fixed-width integers, raw pointers, no allocation, no error reporting.
 * Both are reentrant; the backend (portable, SHA-NI, AVX2, AVX-512, ARMv8) is chosen once at
 * first use, or forced with the CORVANTA_HASH_BACKEND environment variable. */
#ifndef CORVANTA_VESK_H
#define CORVANTA_VESK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The FIPS 180-4 initial hash value h0..h7. */
extern const uint32_t VESK_SHA256_IV[8];

/* Compresses `block_count` consecutive 64-byte blocks into `state` (8 native words), in place.
 * No padding: the caller supplies complete blocks. A block count of 0 leaves the state as is. */
void vesk_sha256_compress(uint32_t state[8], const uint8_t* data, uint64_t block_count);

/* Double-SHA-256 hashes `count` block headers whose first 64 bytes are summarised by
 * `midstate` and whose last 16 bytes are `tail`, the nonce (tail bytes 12..15, little-endian)
 * running from `start_nonce` (modulo 2^32). A nonce is a hit when its digest, read as a
 * little-endian number, is <= `target` (32 bytes, big-endian). The first `hit_capacity` hits
 * are stored in nonce order; the lowest digest is written big-endian to `best_digest_out`
 * (all 0xFF when count is 0) and its nonce to `best_nonce_out` when not null (untouched when
 * count is 0; ties keep the earlier nonce). Returns min(hits found, hit_capacity). */
uint64_t vesk_search_chunk(const uint32_t midstate[8], const uint8_t tail[16], uint32_t start_nonce,
                           uint64_t count, const uint8_t target[32], uint32_t* hits,
                           uint64_t hit_capacity, uint8_t best_digest_out[32],
                           uint32_t* best_nonce_out);

#ifdef __cplusplus
}
#endif

#endif
