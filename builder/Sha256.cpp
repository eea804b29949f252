#include "builder/Sha256.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define FOLIVEX_SHA_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace folivex {

namespace {

constexpr std::array<uint32_t, 8> kInitialState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void BlocksPortable(uint32_t* state, const uint8_t* data, size_t count) {
    uint32_t w[64];
    for (; count > 0; --count, data += 64) {
        for (size_t t = 0; t < 16; ++t) w[t] = Be32(data + 4 * t);
        for (int t = 16; t < 64; ++t) {
            const uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) +
                                ((e & f) ^ (~e & g)) + kRoundConstants[t] + w[t];
            const uint32_t t2 =
                (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a, state[1] += b, state[2] += c, state[3] += d;
        state[4] += e, state[5] += f, state[6] += g, state[7] += h;
    }
}

#ifdef FOLIVEX_SHA_X86
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"

bool DetectShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The SHA extensions keep the state as the pairs ABEF and CDGH and do two
// rounds per instruction; the message schedule runs four words at a time.
__attribute__((target("sha,sse4.1,ssse3"))) void BlocksShaNi(uint32_t* state, const uint8_t* data,
                                                             size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i cdgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    tmp = _mm_shuffle_epi32(tmp, 0xB1);
    cdgh = _mm_shuffle_epi32(cdgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(tmp, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, tmp, 0xF0);

    for (; count > 0; --count, data += 64) {
        const __m128i savedAbef = abef, savedCdgh = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + size_t{16} * i)), byteSwap);
        for (int g = 0; g < 16; ++g) {
            __m128i msg = _mm_add_epi32(
                w[g & 3],
                _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + size_t{4} * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, msg);
            msg = _mm_shuffle_epi32(msg, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, msg);
            if (g < 12) {
                // W[g+4] from W[g], W[g+1], W[g+2] and W[g+3], four words each.
                __m128i next = _mm_sha256msg1_epu32(w[g & 3], w[(g + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(w[(g + 3) & 3], w[(g + 2) & 3], 4));
                w[g & 3] = _mm_sha256msg2_epu32(next, w[(g + 3) & 3]);
            }
        }
        abef = _mm_add_epi32(abef, savedAbef);
        cdgh = _mm_add_epi32(cdgh, savedCdgh);
    }

    tmp = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    abef = _mm_blend_epi16(tmp, cdgh, 0xF0);
    cdgh = _mm_alignr_epi8(cdgh, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abef);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), cdgh);
}

#pragma GCC diagnostic pop
#endif

}  // namespace

bool Sha256::HasShaInstructions() {
#ifdef FOLIVEX_SHA_X86
    static const bool has = DetectShaInstructions();
    return has;
#else
    return false;
#endif
}

Sha256::Sha256() : m_state(kInitialState) {}

void Sha256::Blocks(const uint8_t* data, size_t count) {
#ifdef FOLIVEX_SHA_X86
    if (!m_portable && HasShaInstructions()) {
        BlocksShaNi(m_state.data(), data, count);
        return;
    }
#endif
    BlocksPortable(m_state.data(), data, count);
}

void Sha256::Update(std::span<const uint8_t> data) {
    const uint8_t* p = data.data();
    size_t n = data.size();
    m_totalBytes += n;
    if (m_pendingSize > 0) {
        const size_t take = std::min(n, 64 - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, p, take);
        m_pendingSize += take;
        p += take;
        n -= take;
        if (m_pendingSize < 64) return;
        Blocks(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    if (n >= 64) {
        Blocks(p, n / 64);
        p += n / 64 * 64;
        n %= 64;
    }
    if (n > 0) std::memcpy(m_pending.data(), p, n);
    m_pendingSize = n;
}

Sha256Digest Sha256::Final() {
    const uint64_t bits = m_totalBytes * 8;
    uint8_t tail[128] = {0x80};
    const size_t padding = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i)
        tail[padding + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(std::span<const uint8_t>(tail, padding + 8));
    Sha256Digest digest;
    for (size_t i = 0; i < 8; ++i)
        for (size_t k = 0; k < 4; ++k)
            digest[4 * i + k] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * k));
    return digest;
}

Sha256Digest Sha256Of(std::span<const uint8_t> data) {
    Sha256 sha;
    sha.Update(data);
    return sha.Final();
}

std::string ToHex(const Sha256Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(64);
    for (uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

}  // namespace folivex
