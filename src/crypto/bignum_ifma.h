// Constant-time modular exponentiation with the AVX-512 52-bit multiply-add instructions
// (vpmadd52luq / vpmadd52huq) for the two halves of a CRT private operation, both run in
// lockstep so that the serial step of one (the Montgomery quotient digit) overlaps the vector
// work of the other.
//
// Numbers are held in radix 2^52: N digits, each in the low 52 bits of a 64-bit lane, padded with
// zero lanes to whole 512-bit vectors. A product is an almost-Montgomery one: for a, b < 2m and
// 4m < R = 2^(52 N) it gives (a b + q m) / R < a b / R + m < 2m, congruent to a b R^-1, without
// a final subtraction, so its result feeds the next product directly. Inside the product the
// lanes collect unnormalised sums (at most 4 N terms of 52 bits, well below 2^64); the carries
// are settled once at its end.
//
// Constant time by construction: every loop runs over digit, vector and window counts only;
// the exponent's bits pick a table entry solely through vector compares and masked ORs over a
// full read of every entry (no branch and no address depends on them); the quotient digits
// and carries are data in registers; the final subtraction is a borrow chain and a mask select.
// Compiled with a target attribute, so the rest of the build needs no AVX-512; callers check
// CpuHasIfma first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
// (Not for Windows: its 64-bit ABI does not keep the 64-byte stack alignment that spilled
// 512-bit registers need with the mingw compiler.)
#define LQ_BIGNUM_IFMA 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace lq::bignum_detail::ifma {

constexpr int kDigitBits = 52;
constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;

// Digits for a modulus of `limbs` 64-bit limbs: the fewest with 4m < 2^(52 N), for the sizes
// served (halves of 1024- to 4096-bit keys and of 8192- and 16384-bit ones); 0 for any other
// size.
constexpr int DigitsFor(size_t limbs) {
  const bool served = limbs == 8 || limbs == 12 || limbs == 16 || limbs == 24 || limbs == 32 ||
                      limbs == 64 || limbs == 128;
  return served ? static_cast<int>((64 * limbs + 2 + kDigitBits - 1) / kDigitBits) : 0;
}

// Digits of x (xn 64-bit limbs) into out[0..digits); bits beyond are dropped.
inline void ToDigits(uint64_t* out, int digits, const uint64_t* x, size_t xn) {
  for (int i = 0; i < digits; ++i) {
    const size_t bit = static_cast<size_t>(i) * kDigitBits;
    const size_t limb = bit / 64, off = bit % 64;
    uint64_t v = 0;
    if (limb < xn) v = x[limb] >> off;
    if (off > 64 - kDigitBits && limb + 1 < xn) v |= x[limb + 1] << (64 - off);
    out[i] = v & kDigitMask;
  }
}

// The 64-bit limbs out[0..n) of canonical digits d[0..digits).
inline void FromDigits(uint64_t* out, size_t n, const uint64_t* d, int digits) {
  for (size_t i = 0; i < n; ++i) out[i] = 0;
  for (int i = 0; i < digits; ++i) {
    const size_t bit = static_cast<size_t>(i) * kDigitBits;
    const size_t limb = bit / 64, off = bit % 64;
    if (limb < n) out[limb] |= d[i] << off;
    if (off > 64 - kDigitBits && limb + 1 < n) out[limb + 1] |= d[i] >> (64 - off);
  }
}

// -m^-1 mod 2^52 for odd m0.
inline uint64_t NegInverse52(uint64_t m0) {
  uint64_t x = m0;
  for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
  return (0 - x) & kDigitMask;
}

// Zeroes n words so that the compiler keeps the stores.
inline void WipeWords(uint64_t* p, size_t n) {
  std::memset(static_cast<void*>(p), 0, n * sizeof(uint64_t));
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

#if defined(LQ_BIGNUM_IFMA)

// True when the CPU has AVX-512F, AVX-512VL and AVX-512 IFMA and the OS saves the opmask and
// full ZMM state (XCR0 bits 1-2 and 5-7); read once.
inline bool CpuHasIfma() {
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 27))) return false;  // OSXSAVE
    unsigned lo = 0, hi = 0;
    __asm__ __volatile__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 0xE6u) != 0xE6u) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 16)) && (b & (1u << 21)) && (b & (1u << 31));
  }();
  return has;
}

#define LQ_IFMA_TARGET __attribute__((target("avx512f,avx512ifma,avx512vl")))

// Two independent moduli worked on together. Pointers are to 64-byte aligned digit arrays of
// 8 V words.
template <int N>
struct Pair {
  static constexpr int V = (N + 7) / 8;
  static constexpr int W = 8 * V;  // words per number

  // Carries of x settled: every lane below 2^52. x's value is below 2^(52 N), so nothing
  // passes the top digit. One round moves each lane's excess up a lane; what is left is at most
  // one carry per lane, which ripples only through lanes equal to 2^52 - 1: with one bit per
  // lane for "has a carry" (g) and "passes one on" (p), the lanes that take a carry are those
  // that change in p + 2g (an integer add on the bit masks).
  LQ_IFMA_TARGET static inline void Normalize(__m512i* x) {
    const __m512i mask = _mm512_set1_epi64(static_cast<long long>(kDigitMask));
    const __m512i zero = _mm512_setzero_si512();
    __m512i c[V];
    for (int v = 0; v < V; ++v) {
      c[v] = _mm512_maskz_srli_epi64(0xFF, x[v], kDigitBits);
      x[v] = _mm512_and_si512(x[v], mask);
    }
    for (int v = 0; v < V; ++v) {
      x[v] = _mm512_add_epi64(x[v], _mm512_maskz_alignr_epi64(0xFF, c[v], v ? c[v - 1] : zero, 7));
    }
    // One bit per lane, eight lanes a vector, in as many 64-bit words as that takes.
    constexpr int kWords = (V + 7) / 8;
    uint64_t g[kWords] = {}, p[kWords] = {}, take[kWords];
    for (int v = 0; v < V; ++v) {
      g[v / 8] |= static_cast<uint64_t>(_mm512_cmpgt_epu64_mask(x[v], mask)) << (8 * (v % 8));
      p[v / 8] |= static_cast<uint64_t>(_mm512_cmpeq_epu64_mask(x[v], mask)) << (8 * (v % 8));
    }
    uint64_t shifted_in = 0, carry = 0;
    for (int w = 0; w < kWords; ++w) {
      const uint64_t g2 = (g[w] << 1) | shifted_in;
      shifted_in = g[w] >> 63;
      uint64_t sum = 0, sum2 = 0;
      const bool c1 = __builtin_add_overflow(g2, p[w], &sum);
      const bool c2 = __builtin_add_overflow(sum, carry, &sum2);
      carry = static_cast<uint64_t>(c1) | static_cast<uint64_t>(c2);
      take[w] = sum2 ^ p[w];
    }
    const __m512i one = _mm512_set1_epi64(1);
    for (int v = 0; v < V; ++v) {
      const __mmask8 k = static_cast<__mmask8>(take[v / 8] >> (8 * (v % 8)));
      x[v] = _mm512_and_si512(_mm512_mask_add_epi64(x[v], k, x[v], one), mask);
    }
  }

  // r_j = a_j b_j R^-1 (mod m_j), below 2 m_j, canonical digits, for j = 0, 1; a_j, b_j below
  // 2 m_j. r may be a or b.
  LQ_IFMA_TARGET static inline void Mul(uint64_t* const r[2], const uint64_t* const a[2],
                                        const uint64_t* const b[2], const uint64_t* const m[2],
                                        const uint64_t k0[2]) {
    const __m512i zero = _mm512_setzero_si512();
    __m512i x[2][V], av[2][V], mv[2][V];
    for (int j = 0; j < 2; ++j) {
      for (int v = 0; v < V; ++v) {
        x[j][v] = zero;
        av[j][v] = _mm512_load_si512(a[j] + 8 * v);
        mv[j][v] = _mm512_load_si512(m[j] + 8 * v);
      }
    }
    for (int i = 0; i < N; ++i) {
      for (int j = 0; j < 2; ++j) {
        const __m512i bi = _mm512_set1_epi64(static_cast<long long>(b[j][i]));
        for (int v = 0; v < V; ++v) x[j][v] = _mm512_madd52lo_epu64(x[j][v], av[j][v], bi);
        // The quotient digit that clears the lowest digit.
        const uint64_t x0 = static_cast<uint64_t>(
            _mm_cvtsi128_si64(_mm512_maskz_extracti32x4_epi32(0xF, x[j][0], 0)));
        const __m512i y = _mm512_set1_epi64(static_cast<long long>((x0 * k0[j]) & kDigitMask));
        for (int v = 0; v < V; ++v) x[j][v] = _mm512_madd52lo_epu64(x[j][v], mv[j][v], y);
        // Drop the cleared digit: one lane down, its carry into the new lowest lane.
        const __m512i carry = _mm512_maskz_srli_epi64(1, x[j][0], kDigitBits);
        for (int v = 0; v + 1 < V; ++v)
          x[j][v] = _mm512_maskz_alignr_epi64(0xFF, x[j][v + 1], x[j][v], 1);
        x[j][V - 1] = _mm512_maskz_alignr_epi64(0xFF, zero, x[j][V - 1], 1);
        x[j][0] = _mm512_add_epi64(x[j][0], carry);
        // High halves belong one digit up, which is where they now land.
        for (int v = 0; v < V; ++v) {
          x[j][v] = _mm512_madd52hi_epu64(x[j][v], av[j][v], bi);
          x[j][v] = _mm512_madd52hi_epu64(x[j][v], mv[j][v], y);
        }
      }
    }
    for (int j = 0; j < 2; ++j) {
      Normalize(x[j]);
      for (int v = 0; v < V; ++v) _mm512_store_si512(r[j] + 8 * v, x[j][v]);
    }
  }

  // r = table[index] for both, of `count` entries of W words each; every entry is read, and
  // the index only decides, through a compare, which of them the masked OR keeps.
  LQ_IFMA_TARGET static inline void Lookup(uint64_t* const r[2], const uint64_t* const table[2],
                                           size_t count, const uint64_t index[2]) {
    for (int j = 0; j < 2; ++j) {
      const __m512i want = _mm512_set1_epi64(static_cast<long long>(index[j]));
      __m512i acc[V];
      for (int v = 0; v < V; ++v) acc[v] = _mm512_setzero_si512();
      for (size_t e = 0; e < count; ++e) {
        const __mmask8 hit =
            _mm512_cmpeq_epu64_mask(_mm512_set1_epi64(static_cast<long long>(e)), want);
        const uint64_t* entry = table[j] + e * W;
        for (int v = 0; v < V; ++v) {
          acc[v] = _mm512_mask_or_epi64(acc[v], hit, acc[v], _mm512_load_si512(entry + 8 * v));
        }
      }
      for (int v = 0; v < V; ++v) _mm512_store_si512(r[j] + 8 * v, acc[v]);
    }
  }

  // r - m kept when it does not borrow, else r, on canonical digits below 2m.
  static void FinalSubtract(uint64_t* r, const uint64_t* m) {
    uint64_t diff[N];
    uint64_t borrow = 0;
    for (int i = 0; i < N; ++i) {
      const uint64_t t = r[i] - m[i] - borrow;
      borrow = t >> 63;
      diff[i] = t & kDigitMask;
    }
    const uint64_t keep_r = 0 - borrow;
    for (int i = 0; i < N; ++i) r[i] = (r[i] & keep_r) | (diff[i] & ~keep_r);
    WipeWords(diff, N);
  }
};

// Sizes of the work space PowMod2 takes, in 64-bit words (64-byte alignment is made inside).
inline size_t PowScratchWords(int digits, int window_bits) {
  const size_t w = 8 * static_cast<size_t>((digits + 7) / 8);
  return 2 * ((size_t{1} << window_bits) + 5) * w + 8;
}

// The `take` bits of e (en limbs) from bit `pos` up.
inline uint64_t ExponentBits(const uint64_t* e, size_t en, size_t pos, int take) {
  const size_t limb = pos / 64, off = pos % 64;
  uint64_t v = e[limb] >> off;
  if (off + static_cast<size_t>(take) > 64 && limb + 1 < en) v |= e[limb + 1] << (64 - off);
  return v & ((uint64_t{1} << take) - 1);
}

// out_j = x_j ^ e_j mod m_j for j = 0, 1: moduli odd, of n limbs each (DigitsFor(n) = N),
// x_j below m_j, exponents of en limbs each; rr_j = R^2 mod m_j for R = 2^(52 N), n limbs.
// Fixed windows of `window_bits` over all en * 64 bits from the top: the first window is a
// table read, every further one `window_bits` squarings, a table read and a product.
// `scratch` holds PowScratchWords words and is wiped before the return.
template <int N>
LQ_IFMA_TARGET void PowMod2(uint64_t* const out[2], const uint64_t* const x[2],
                            const uint64_t* const e[2], size_t en, const uint64_t* const m[2],
                            const uint64_t* const rr[2], size_t n, int window_bits,
                            uint64_t* scratch, size_t scratch_words) {
  using P = Pair<N>;
  constexpr int W = P::W;
  const size_t count = size_t{1} << window_bits;
  uint64_t* base = scratch;
  while (reinterpret_cast<uintptr_t>(base) % 64 != 0) ++base;
  // Per modulus: the table, then m, R^2, the base (and later the window's entry), the
  // accumulator and the digit one.
  uint64_t *table[2], *md[2], *rrd[2], *xd[2], *acc[2], *one[2];
  for (int j = 0; j < 2; ++j) {
    uint64_t* s = base + static_cast<size_t>(j) * (count + 5) * W;
    table[j] = s;
    md[j] = s + count * W;
    rrd[j] = md[j] + W;
    xd[j] = rrd[j] + W;
    acc[j] = xd[j] + W;
    one[j] = acc[j] + W;
    for (int i = 0; i < 5 * W; ++i) md[j][i] = 0;
    ToDigits(md[j], N, m[j], n);
    ToDigits(rrd[j], N, rr[j], n);
    ToDigits(xd[j], N, x[j], n);
    one[j][0] = 1;
  }
  const uint64_t k0[2] = {NegInverse52(m[0][0]), NegInverse52(m[1][0])};
  const uint64_t* const mc[2] = {md[0], md[1]};
  {
    // table[i] = x^i R mod m (Montgomery form): R, x R, then one product per entry.
    const uint64_t* const rrc[2] = {rrd[0], rrd[1]};
    const uint64_t* const onec[2] = {one[0], one[1]};
    const uint64_t* const xc[2] = {xd[0], xd[1]};
    uint64_t* const t0[2] = {table[0], table[1]};
    uint64_t* const t1[2] = {table[0] + W, table[1] + W};
    P::Mul(t0, rrc, onec, mc, k0);
    P::Mul(t1, xc, rrc, mc, k0);
    const uint64_t* const t1c[2] = {t1[0], t1[1]};
    for (size_t i = 2; i < count; ++i) {
      uint64_t* const ti[2] = {table[0] + i * W, table[1] + i * W};
      const uint64_t* const prev[2] = {ti[0] - W, ti[1] - W};
      P::Mul(ti, prev, t1c, mc, k0);
    }
  }
  const size_t total = en * 64;
  size_t take = total % static_cast<size_t>(window_bits);
  if (take == 0) take = static_cast<size_t>(window_bits);
  size_t pos = total - take;
  uint64_t* const accp[2] = {acc[0], acc[1]};
  uint64_t* const xp[2] = {xd[0], xd[1]};
  const uint64_t* const accc[2] = {acc[0], acc[1]};
  const uint64_t* const xcc[2] = {xd[0], xd[1]};
  const uint64_t* const tc[2] = {table[0], table[1]};
  uint64_t index[2] = {ExponentBits(e[0], en, pos, static_cast<int>(take)),
                       ExponentBits(e[1], en, pos, static_cast<int>(take))};
  P::Lookup(accp, tc, count, index);
  while (pos > 0) {
    pos -= static_cast<size_t>(window_bits);
    for (int s = 0; s < window_bits; ++s) P::Mul(accp, accc, accc, mc, k0);
    index[0] = ExponentBits(e[0], en, pos, window_bits);
    index[1] = ExponentBits(e[1], en, pos, window_bits);
    P::Lookup(xp, tc, count, index);
    P::Mul(accp, accc, xcc, mc, k0);
  }
  index[0] = index[1] = 0;
  __asm__ __volatile__("" : : "r"(index) : "memory");
  // Out of Montgomery form: a R R^-1 with 1, which lands in [0, m]; then the last subtraction.
  const uint64_t* const onec[2] = {one[0], one[1]};
  P::Mul(accp, accc, onec, mc, k0);
  for (int j = 0; j < 2; ++j) {
    P::FinalSubtract(acc[j], md[j]);
    FromDigits(out[j], n, acc[j], N);
  }
  WipeWords(scratch, scratch_words);
}

#undef LQ_IFMA_TARGET

// PowMod2 at the digit count for n limbs (DigitsFor); false, and nothing done, for a size it
// does not serve.
inline bool PowMod2Limbs(uint64_t* const out[2], const uint64_t* const x[2],
                         const uint64_t* const e[2], size_t en, const uint64_t* const m[2],
                         const uint64_t* const rr[2], size_t n, int window_bits, uint64_t* scratch,
                         size_t scratch_words) {
  switch (DigitsFor(n)) {
#define LQ_IFMA_CASE(N)                                                       \
  case N:                                                                     \
    PowMod2<N>(out, x, e, en, m, rr, n, window_bits, scratch, scratch_words); \
    return true;
    LQ_IFMA_CASE(10)
    LQ_IFMA_CASE(15)
    LQ_IFMA_CASE(20)
    LQ_IFMA_CASE(30)
    LQ_IFMA_CASE(40)
    LQ_IFMA_CASE(79)
    LQ_IFMA_CASE(158)
#undef LQ_IFMA_CASE
    default:
      return false;
  }
}

#else

inline bool CpuHasIfma() { return false; }

#endif  // LQ_BIGNUM_IFMA

}  // namespace lq::bignum_detail::ifma
