#pragma once

// SHA-256's round and schedule functions on single words, for the portable backend and for the
// nonce-free work the other backends do once per call before their own kernels take over.
//
// Everything here has internal linkage: the wide-vector kernels include this for compile-time
// constants, and an inline function with external linkage compiled there could be the copy the
// linker hands to baseline code.

#include <cstdint>

namespace corvanta::sha256::scalar {
namespace {

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}
constexpr std::uint32_t smallSigma0(std::uint32_t x) {
    return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3);
}
constexpr std::uint32_t smallSigma1(std::uint32_t x) {
    return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10);
}
constexpr std::uint32_t bigSigma0(std::uint32_t x) {
    return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22);
}
constexpr std::uint32_t bigSigma1(std::uint32_t x) {
    return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25);
}
constexpr std::uint32_t choose(std::uint32_t e, std::uint32_t f, std::uint32_t g) {
    return (e & f) ^ (~e & g);
}
constexpr std::uint32_t majority(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return (a & b) ^ (a & c) ^ (b & c);
}

// The working variables between two rounds.
struct Working {
    std::uint32_t a, b, c, d, e, f, g, h;
};

constexpr Working working(const std::uint32_t state[8]) {
    return {state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7]};
}

// `kw` is the round constant plus the message word: callers fold constant message words in.
constexpr void round(Working& v, std::uint32_t kw) {
    const std::uint32_t t1 = v.h + bigSigma1(v.e) + choose(v.e, v.f, v.g) + kw;
    const std::uint32_t t2 = bigSigma0(v.a) + majority(v.a, v.b, v.c);
    v = {t1 + t2, v.a, v.b, v.c, v.d + t1, v.e, v.f, v.g};
}

}  // namespace
}  // namespace corvanta::sha256::scalar
