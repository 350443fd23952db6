// The limb-level arithmetic behind BigNum, written once for 32-bit limbs (64-bit products) and
// 64-bit limbs (128-bit products). bignum.cpp instantiates the native width; the tests instantiate
// both so the 32-bit path of the Windows build is also checked against GMP on the host.
#pragma once

#include <algorithm>
#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "crypto/bignum_ifma.h"

namespace lq::bignum_detail {

// Limb storage that is zeroed before it is given back, so keys, powers, products and the
// residues of prime candidates never linger in freed memory.
template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) {}
  T* allocate(size_t n) { return std::allocator<T>{}.allocate(n); }
  void deallocate(T* p, size_t n) {
    if (n != 0) {
      std::memset(static_cast<void*>(p), 0, n * sizeof(T));
      // The asm that may read the memory keeps the compiler from dropping the memset.
      __asm__ __volatile__("" : : "r"(p) : "memory");
    }
    std::allocator<T>{}.deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const {
    return true;
  }
};

template <typename L>
struct LimbTraits;

template <>
struct LimbTraits<uint32_t> {
  using Wide = uint64_t;
};

#if defined(__SIZEOF_INT128__)
template <>
struct LimbTraits<uint64_t> {
  using Wide = unsigned __int128;
};
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define LQ_BIGNUM_MULX_ADX 1
// True when the CPU has MULX (BMI2) and ADCX/ADOX (ADX); read once, never changes afterwards.
inline bool CpuHasMulxAdx() {
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 8)) != 0 && (b & (1u << 19)) != 0;
  }();
  return has;
}

// r[0..4 blocks) += a * b; returns the carry limb. Two independent carry chains (CF for the
// product's high halves, OF for r) let the multiplications overlap. blocks >= 1.
inline uint64_t AddMul1MulxAdx(uint64_t* r, const uint64_t* a, size_t blocks, uint64_t b) {
  uint64_t carry = 0, t0, t1;
  __asm__ volatile(
      "xorl %k[t0], %k[t0]\n\t"  // clears CF and OF
      "1:\n\t"
      "mulx 0(%[a]), %[t0], %[t1]\n\t"
      "adcx %[c], %[t0]\n\t"
      "adox 0(%[r]), %[t0]\n\t"
      "movq %[t0], 0(%[r])\n\t"
      "mulx 8(%[a]), %[t0], %[c]\n\t"
      "adcx %[t1], %[t0]\n\t"
      "adox 8(%[r]), %[t0]\n\t"
      "movq %[t0], 8(%[r])\n\t"
      "mulx 16(%[a]), %[t0], %[t1]\n\t"
      "adcx %[c], %[t0]\n\t"
      "adox 16(%[r]), %[t0]\n\t"
      "movq %[t0], 16(%[r])\n\t"
      "mulx 24(%[a]), %[t0], %[c]\n\t"
      "adcx %[t1], %[t0]\n\t"
      "adox 24(%[r]), %[t0]\n\t"
      "movq %[t0], 24(%[r])\n\t"
      "leaq 32(%[a]), %[a]\n\t"  // lea and jrcxz leave both carry chains alone
      "leaq 32(%[r]), %[r]\n\t"
      "leaq -1(%[n]), %[n]\n\t"
      "jrcxz 2f\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "movl $0, %k[t0]\n\t"
      "adcx %[t0], %[c]\n\t"
      "adox %[t0], %[c]\n\t"
      : [c] "+&r"(carry), [t0] "=&r"(t0), [t1] "=&r"(t1), [a] "+&r"(a), [r] "+&r"(r),
        [n] "+&c"(blocks), "+d"(b)
      :
      : "cc", "memory");
  return carry;
}

// The 4-limb step the row loops below share: r[0..4) += a[0..4) * rdx with the high half
// carried in c (CF chain) and r's old value added on the OF chain; a and r move on.
#define LQ_MULX_ADX_STEP            \
  "mulx 0(%[a]), %[t0], %[t1]\n\t" \
  "adcx %[c], %[t0]\n\t"           \
  "adox 0(%[r]), %[t0]\n\t"        \
  "movq %[t0], 0(%[r])\n\t"        \
  "mulx 8(%[a]), %[t0], %[c]\n\t"  \
  "adcx %[t1], %[t0]\n\t"          \
  "adox 8(%[r]), %[t0]\n\t"        \
  "movq %[t0], 8(%[r])\n\t"        \
  "mulx 16(%[a]), %[t0], %[t1]\n\t" \
  "adcx %[c], %[t0]\n\t"           \
  "adox 16(%[r]), %[t0]\n\t"       \
  "movq %[t0], 16(%[r])\n\t"       \
  "mulx 24(%[a]), %[t0], %[c]\n\t" \
  "adcx %[t1], %[t0]\n\t"          \
  "adox 24(%[r]), %[t0]\n\t"       \
  "movq %[t0], 24(%[r])\n\t"       \
  "leaq 32(%[a]), %[a]\n\t"        \
  "leaq 32(%[r]), %[r]\n\t"

// One row: `body` (one or two steps) rcx times, then both carry chains folded into c. lea and
// jrcxz leave the chains alone.
#define LQ_MULX_ADX_ROW(body)   \
  "1:\n\t" body               \
  "leaq -1(%%rcx), %%rcx\n\t" \
  "jrcxz 2f\n\t"              \
  "jmp 1b\n\t"                \
  "2:\n\t"                    \
  "movl $0, %k[t0]\n\t"       \
  "adcx %[t0], %[c]\n\t"      \
  "adox %[t0], %[c]\n\t"
#define LQ_MULX_ADX_BLOCK LQ_MULX_ADX_ROW(LQ_MULX_ADX_STEP)

// r[0..4 blocks + rows) = a * b for a of 4 blocks limbs and b of `rows` >= 1 limbs, all rows in
// one loop (no call per row). r[0..4 blocks) must be zero on entry; the rest is written.
inline void MulRowsMulxAdx(uint64_t* r, const uint64_t* a, size_t blocks, const uint64_t* b,
                           size_t rows) {
  uint64_t c, t0, t1, q;
  const uint64_t* ap;
  uint64_t* rp;
  size_t count;
  __asm__ volatile(
      "3:\n\t"
      "movq (%[b]), %%rdx\n\t"
      "xorl %k[c], %k[c]\n\t"  // c = 0 and clears CF and OF
      "movq %[a0], %[a]\n\t"
      "movq %[r0], %[r]\n\t"
      "movq %[nb], %%rcx\n\t"
      LQ_MULX_ADX_BLOCK
      "movq %[c], (%[r])\n\t"  // r now points at r0 + 4 blocks: the row's top limb
      "leaq 8(%[r0]), %[r0]\n\t"
      "leaq 8(%[b]), %[b]\n\t"
      "decq %[rows]\n\t"
      "jnz 3b\n\t"
      : [c] "=&r"(c), [t0] "=&r"(t0), [t1] "=&r"(t1), [a] "=&r"(ap), [r] "=&r"(rp),
        "=&c"(count), "=&d"(q), [r0] "+&r"(r), [b] "+&r"(b), [rows] "+&r"(rows)
      : [a0] "r"(a), [nb] "rm"(blocks)
      : "cc", "memory");
}

// Montgomery reduction rows of t (2n limbs, n = 4 blocks): for each i, q = t[i] minv makes
// t[i] zero when m q is added at i; the row's carry, which belongs at i + n, is kept in t[i].
// An even number of blocks runs two steps per turn of the loop.
#define LQ_REDC_ROWS(body, turns)                                                            \
  uint64_t c, t0, t1, q;                                                                     \
  const uint64_t* ap;                                                                        \
  uint64_t* rp;                                                                              \
  size_t count;                                                                              \
  size_t rows = 4 * blocks;                                                                  \
  const size_t nturns = turns;                                                               \
  __asm__ volatile("3:\n\t"                                                                  \
                   "movq (%[t]), %%rdx\n\t"                                                  \
                   "imulq %[minv], %%rdx\n\t"                                                \
                   "xorl %k[c], %k[c]\n\t"                                                   \
                   "movq %[m], %[a]\n\t"                                                     \
                   "movq %[t], %[r]\n\t"                                                     \
                   "movq %[nb], %%rcx\n\t" LQ_MULX_ADX_ROW(body) "movq %[c], (%[t])\n\t"      \
                   "leaq 8(%[t]), %[t]\n\t"                                                  \
                   "decq %[rows]\n\t"                                                        \
                   "jnz 3b\n\t"                                                              \
                   : [c] "=&r"(c), [t0] "=&r"(t0), [t1] "=&r"(t1), [a] "=&r"(ap),             \
                     [r] "=&r"(rp), "=&c"(count), "=&d"(q), [t] "+&r"(t), [rows] "+&r"(rows) \
                   : [m] "r"(m), [nb] "rm"(nturns), [minv] "rm"(minv)                         \
                   : "cc", "memory")

inline void RedcRowsMulxAdx(uint64_t* t, const uint64_t* m, size_t blocks, uint64_t minv) {
  if (blocks % 2 == 0) {
    LQ_REDC_ROWS(LQ_MULX_ADX_STEP LQ_MULX_ADX_STEP, blocks / 2);
  } else {
    LQ_REDC_ROWS(LQ_MULX_ADX_STEP, blocks);
  }
}
#undef LQ_REDC_ROWS

// r[0..2n) = 2 r + a_i^2 at 2i for every i; a doubling chain (CF) and the squares (OF).
inline void AddDoubledSquaresMulxAdx(uint64_t* r, const uint64_t* a, size_t n) {
  uint64_t lo, hi, x0, x1, sq;
  size_t count = n;
  __asm__ volatile(
      "xorl %k[lo], %k[lo]\n\t"
      "1:\n\t"
      "movq (%[a]), %%rdx\n\t"
      "mulx %%rdx, %[lo], %[hi]\n\t"
      "movq 0(%[r]), %[x0]\n\t"
      "movq 8(%[r]), %[x1]\n\t"
      "adcx %[x0], %[x0]\n\t"
      "adcx %[x1], %[x1]\n\t"
      "adox %[lo], %[x0]\n\t"
      "adox %[hi], %[x1]\n\t"
      "movq %[x0], 0(%[r])\n\t"
      "movq %[x1], 8(%[r])\n\t"
      "leaq 8(%[a]), %[a]\n\t"
      "leaq 16(%[r]), %[r]\n\t"
      "leaq -1(%%rcx), %%rcx\n\t"
      "jrcxz 2f\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      : [lo] "=&r"(lo), [hi] "=&r"(hi), [x0] "=&r"(x0), [x1] "=&r"(x1), "=&d"(sq),
        [a] "+&r"(a), [r] "+&r"(r), "+&c"(count)
      :
      : "cc", "memory");
}
#undef LQ_MULX_ADX_BLOCK
#undef LQ_MULX_ADX_ROW
#undef LQ_MULX_ADX_STEP
#endif

// Limb counts from which Karatsuba beats the schoolbook method, measured with the power-modulo
// benchmark (bench/bignum_bench.cpp). Defining these overrides the measured values.
#ifndef LQ_KARATSUBA_MUL_LIMBS
#define LQ_KARATSUBA_MUL_LIMBS 0
#endif
#ifndef LQ_KARATSUBA_SQR_LIMBS
#define LQ_KARATSUBA_SQR_LIMBS 0
#endif

// kUseAsm: take the MULX/ADX loop where the CPU has it (tests turn it off to check the C path).
template <typename L, bool kUseAsm = true>
struct Mpn {
  using W = typename LimbTraits<L>::Wide;
  using Vec = std::vector<L, WipingAllocator<L>>;
  static constexpr int kBits = sizeof(L) * 8;

  // True when AddMul1 runs the MULX/ADX loop.
  static bool AsmActive() {
#if defined(LQ_BIGNUM_MULX_ADX)
    if constexpr (kUseAsm && kBits == 64) return CpuHasMulxAdx();
#endif
    return false;
  }
  // The fast schoolbook loop moves the Karatsuba cross-over up: 64/128 limbs with MULX/ADX,
  // 32/48 limbs in portable code (both widths).
  static size_t MulThreshold() {
    if (LQ_KARATSUBA_MUL_LIMBS) return LQ_KARATSUBA_MUL_LIMBS;
    return AsmActive() ? 64 : 32;
  }
  static size_t SqrThreshold() {
    if (LQ_KARATSUBA_SQR_LIMBS) return LQ_KARATSUBA_SQR_LIMBS;
    return AsmActive() ? 128 : 48;
  }

  // ---- Conversion between the 32-bit little-endian byte form and limbs ----

  static Vec FromBytes(const std::string& bytes) {
    const size_t limb_bytes = sizeof(L);
    Vec v((bytes.size() + limb_bytes - 1) / limb_bytes, 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
      v[i / limb_bytes] |= static_cast<L>(static_cast<unsigned char>(bytes[i]))
                           << (8 * (i % limb_bytes));
    }
    Trim(v);
    return v;
  }

  // Fewest 32-bit words, at least one.
  static std::string ToBytes(const L* v, size_t n) {
    while (n > 0 && v[n - 1] == 0) --n;
    size_t bytes = n * sizeof(L);
    while (bytes > 4 && GetByte(v, bytes - 1) == 0 && GetByte(v, bytes - 2) == 0 &&
           GetByte(v, bytes - 3) == 0 && GetByte(v, bytes - 4) == 0) {
      bytes -= 4;
    }
    if (bytes == 0) bytes = 4;
    std::string out(bytes, '\0');
    for (size_t i = 0; i < bytes && i < n * sizeof(L); ++i) {
      out[i] = static_cast<char>(GetByte(v, i));
    }
    return out;
  }
  static std::string ToBytes(const Vec& v) { return ToBytes(v.data(), v.size()); }

  static unsigned GetByte(const L* v, size_t i) {
    return static_cast<unsigned>((v[i / sizeof(L)] >> (8 * (i % sizeof(L)))) & 0xFF);
  }

  static void Trim(Vec& v) {
    while (!v.empty() && v.back() == 0) v.pop_back();
  }
  static size_t Normalized(const L* v, size_t n) {
    while (n > 0 && v[n - 1] == 0) --n;
    return n;
  }

  static int Compare(const L* a, size_t an, const L* b, size_t bn) {
    an = Normalized(a, an);
    bn = Normalized(b, bn);
    if (an != bn) return an < bn ? -1 : 1;
    return CompareN(a, b, an);
  }
  static int CompareN(const L* a, const L* b, size_t n) {
    for (size_t i = n; i-- > 0;) {
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
  }

  static int CountLeadingZeros(L x) {
    if constexpr (kBits == 64) {
      return __builtin_clzll(x);
    } else {
      return __builtin_clz(x);
    }
  }
  static int CountTrailingZeros(L x) {
    if constexpr (kBits == 64) {
      return __builtin_ctzll(x);
    } else {
      return __builtin_ctz(x);
    }
  }

  static size_t BitLength(const L* a, size_t n) {
    n = Normalized(a, n);
    if (n == 0) return 0;
    return n * kBits - static_cast<size_t>(CountLeadingZeros(a[n - 1]));
  }

  // ---- Linear operations ----

  // r = a + b over n limbs; returns the carry.
  static L AddN(L* r, const L* a, const L* b, size_t n) {
    L carry = 0;
    for (size_t i = 0; i < n; ++i) {
      W s = static_cast<W>(a[i]) + b[i] + carry;
      r[i] = static_cast<L>(s);
      carry = static_cast<L>(s >> kBits);
    }
    return carry;
  }
  // r = a - b over n limbs; returns the borrow.
  static L SubN(L* r, const L* a, const L* b, size_t n) {
    L borrow = 0;
    for (size_t i = 0; i < n; ++i) {
      W d = static_cast<W>(a[i]) - b[i] - borrow;
      r[i] = static_cast<L>(d);
      borrow = static_cast<L>(d >> (2 * kBits - 1));
    }
    return borrow;
  }
  // r[0..n) = a[0..n) + c; returns the carry.
  static L Add1(L* r, const L* a, size_t n, L c) {
    for (size_t i = 0; i < n; ++i) {
      L s = a[i] + c;
      c = s < c;
      r[i] = s;
    }
    return c;
  }
  static L Sub1(L* r, const L* a, size_t n, L b) {
    for (size_t i = 0; i < n; ++i) {
      L x = a[i];
      r[i] = x - b;
      b = x < b;
    }
    return b;
  }
  // r[0..an) = a + b with an >= bn; returns the carry.
  static L Add(L* r, const L* a, size_t an, const L* b, size_t bn) {
    L c = AddN(r, a, b, bn);
    return Add1(r + bn, a + bn, an - bn, c);
  }
  // r[0..an) = a - b with an >= bn; returns the borrow.
  static L Sub(L* r, const L* a, size_t an, const L* b, size_t bn) {
    L c = SubN(r, a, b, bn);
    return Sub1(r + bn, a + bn, an - bn, c);
  }

  // One limb step of the product loops: (hi:lo) = x * y + add1 + add2 never overflows. The
  // carries are collected with limb compares, which compilers turn into add-with-carry better
  // than a double-width addition.
  static inline L MulAddAdd(L x, L y, L add1, L add2, L& hi) {
    W p = static_cast<W>(x) * y;
    L lo = static_cast<L>(p);
    L h = static_cast<L>(p >> kBits);
    lo += add1;
    h += lo < add1;
    lo += add2;
    h += lo < add2;
    hi = h;
    return lo;
  }

  // r = a * b for n limbs of a; returns the high limb.
  static L Mul1(L* r, const L* a, size_t n, L b) {
    L carry = 0;
    for (size_t i = 0; i < n; ++i) {
      W p = static_cast<W>(a[i]) * b;
      L lo = static_cast<L>(p) + carry;
      carry = static_cast<L>(p >> kBits) + (lo < carry);
      r[i] = lo;
    }
    return carry;
  }
  // r += a * b over n limbs; returns the carry limb.
  static L AddMul1(L* r, const L* a, size_t n, L b) {
    L carry = 0;
    size_t i = 0;
#if defined(LQ_BIGNUM_MULX_ADX)
    if constexpr (kUseAsm && kBits == 64) {
      if (n >= 4 && CpuHasMulxAdx()) {
        i = n & ~size_t{3};
        carry = AddMul1MulxAdx(r, a, i / 4, b);
      }
    }
#endif
    for (; i + 4 <= n; i += 4) {
      r[i] = MulAddAdd(a[i], b, carry, r[i], carry);
      r[i + 1] = MulAddAdd(a[i + 1], b, carry, r[i + 1], carry);
      r[i + 2] = MulAddAdd(a[i + 2], b, carry, r[i + 2], carry);
      r[i + 3] = MulAddAdd(a[i + 3], b, carry, r[i + 3], carry);
    }
    for (; i < n; ++i) r[i] = MulAddAdd(a[i], b, carry, r[i], carry);
    return carry;
  }
  // r -= a * b over n limbs; returns the borrow limb.
  static L SubMul1(L* r, const L* a, size_t n, L b) {
    L carry = 0;
    for (size_t i = 0; i < n; ++i) {
      W p = static_cast<W>(a[i]) * b;
      L lo = static_cast<L>(p) + carry;
      carry = static_cast<L>(p >> kBits) + (lo < carry);
      L x = r[i];
      r[i] = x - lo;
      carry += x < lo;
    }
    return carry;
  }

  // r = a << s (0 <= s < kBits) over n limbs; returns the bits shifted out.
  static L LShift(L* r, const L* a, size_t n, int s) {
    if (s == 0) {
      std::copy(a, a + n, r);
      return 0;
    }
    L out = 0;
    for (size_t i = 0; i < n; ++i) {
      L x = a[i];
      r[i] = (x << s) | out;
      out = x >> (kBits - s);
    }
    return out;
  }
  // r = a >> s (0 <= s < kBits) over n limbs.
  static void RShift(L* r, const L* a, size_t n, int s) {
    if (s == 0) {
      std::copy(a, a + n, r);
      return;
    }
    for (size_t i = 0; i < n; ++i) {
      L hi = i + 1 < n ? a[i + 1] : 0;
      r[i] = (a[i] >> s) | (hi << (kBits - s));
    }
  }

  // ---- Multiplication ----

  // r[0..an+bn) = a * b; r must not overlap the inputs; an, bn >= 1.
  static void MulBasecase(L* r, const L* a, size_t an, const L* b, size_t bn) {
    r[an] = Mul1(r, a, an, b[0]);
    for (size_t j = 1; j < bn; ++j) r[an + j] = AddMul1(r + j, a, an, b[j]);
  }

  // True when n-limb schoolbook rows run whole in the MULX/ADX loops (n a multiple of 4).
  static bool RowsInAsm(size_t n) { return n % 4 == 0 && n >= 4 && AsmActive(); }

  // r[0..2n) = a * b, both n limbs, schoolbook; the row loop in assembly where it can be.
  static void MulSchoolbook(L* r, const L* a, const L* b, size_t n) {
    if (RowsInAsm(n)) {
#if defined(LQ_BIGNUM_MULX_ADX)
      if constexpr (kBits == 64) {
        std::fill(r, r + n, L{0});
        MulRowsMulxAdx(r, a, n / 4, b, n);
        return;
      }
#endif
    }
    MulBasecase(r, a, n, b, n);
  }

  // r[0..2n) = a^2; r must not overlap a; n >= 1.
  static void SqrBasecase(L* r, const L* a, size_t n) {
    if (n == 1) {
      W p = static_cast<W>(a[0]) * a[0];
      r[0] = static_cast<L>(p);
      r[1] = static_cast<L>(p >> kBits);
      return;
    }
    // Products a_i a_j with i < j, then doubled, then the squares on the diagonal.
    r[0] = 0;
    r[n] = Mul1(r + 1, a + 1, n - 1, a[0]);
    for (size_t i = 1; i + 1 < n; ++i) {
      r[n + i] = AddMul1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    }
    r[2 * n - 1] = 0;
    AddDoubledSquares(r, a, n);
  }

  // r[0..2n) = 2 r + the squares a_i^2 on the diagonal; r holds the products a_i a_j, i < j.
  static void AddDoubledSquares(L* r, const L* a, size_t n) {
#if defined(LQ_BIGNUM_MULX_ADX)
    if constexpr (kUseAsm && kBits == 64) {
      if (CpuHasMulxAdx()) {
        AddDoubledSquaresMulxAdx(r, a, n);
        return;
      }
    }
#endif
    L shift_in = 0;
    L carry = 0;
    for (size_t i = 0; i < n; ++i) {
      W sq = static_cast<W>(a[i]) * a[i];
      L lo = r[2 * i], hi = r[2 * i + 1];
      L lo2 = (lo << 1) | shift_in;
      L hi2 = (hi << 1) | (lo >> (kBits - 1));
      shift_in = hi >> (kBits - 1);
      W s = static_cast<W>(lo2) + static_cast<L>(sq) + carry;
      r[2 * i] = static_cast<L>(s);
      s = static_cast<W>(hi2) + static_cast<L>(sq >> kBits) + static_cast<L>(s >> kBits);
      r[2 * i + 1] = static_cast<L>(s);
      carry = static_cast<L>(s >> kBits);
    }
  }

  // Scratch limbs SqrSchoolbook needs.
  static size_t SqrSchoolbookScratch(size_t n) { return n + 4; }

  // r[0..2n) = a^2 as SqrBasecase, with the triangle's rows in the MULX/ADX loop where it can
  // be: row i (a_i times a_i+1..) is widened at its low end to whole 4-limb blocks by reading a
  // copy of a whose limbs up to i are zero, so the added products are zero.
  static void SqrSchoolbook(L* r, const L* a, size_t n, L* scratch) {
#if defined(LQ_BIGNUM_MULX_ADX)
    if constexpr (kBits == 64) {
      if (RowsInAsm(n)) {
        L* z = scratch + 3;  // z[-3..0) zero, z[j] = a_j until row j
        scratch[0] = scratch[1] = scratch[2] = 0;
        std::copy(a, a + n, z);
        std::fill(r, r + n, L{0});
        for (size_t i = 0; i + 1 < n; ++i) {
          z[i] = 0;
          const size_t len = n - 1 - i, pad = (i + 1) % 4;
          r[n + i] = AddMul1MulxAdx(r + 2 * i + 1 - pad, z + i + 1 - pad, (len + pad) / 4, a[i]);
        }
        r[2 * n - 1] = 0;
        std::fill(z, z + n, L{0});
        AddDoubledSquares(r, a, n);
        return;
      }
    }
#endif
    (void)scratch;
    SqrBasecase(r, a, n);
  }

  // ---- Branch-free helpers (the private-key path runs through everything below) ----

  // All ones when x is not zero, else zero.
  static L MaskNonZero(L x) {
    return static_cast<L>(0) - ((x | (static_cast<L>(0) - x)) >> (kBits - 1));
  }
  // r = a where mask is all ones, r unchanged where it is zero.
  static void Select(L* r, const L* a, size_t n, L mask) {
    for (size_t i = 0; i < n; ++i) r[i] = (a[i] & mask) | (r[i] & ~mask);
  }
  // r = -r (two's complement over n limbs) when mask is all ones.
  static void CondNegate(L* r, size_t n, L mask) {
    L carry = mask & 1;
    for (size_t i = 0; i < n; ++i) {
      L x = (r[i] ^ mask) + carry;
      carry = x < carry;
      r[i] = x;
    }
  }
  // r += a over n limbs where mask is all ones; returns the carry.
  static L CondAdd(L* r, const L* a, size_t n, L mask) {
    L carry = 0;
    for (size_t i = 0; i < n; ++i) {
      W s = static_cast<W>(r[i]) + (a[i] & mask) + carry;
      r[i] = static_cast<L>(s);
      carry = static_cast<L>(s >> kBits);
    }
    return carry;
  }

  // r[0..n) = |a - b| for a of n limbs and b of m <= n limbs; returns all ones when a < b, else
  // zero. Both differences are formed the same way whatever the values (no comparison first),
  // as Karatsuba runs on the operands of private-key operations.
  static L SubAbs(L* r, const L* a, size_t n, const L* b, size_t m) {
    const L mask = static_cast<L>(0) - Sub(r, a, n, b, m);
    CondNegate(r, n, mask);
    return mask;
  }

  // Scratch limbs the Karatsuba routines need for n-limb operands.
  static size_t ScratchFor(size_t n) { return 8 * n + 8 * kBits; }

  // r[0..2n) = a * b, both n limbs; scratch of ScratchFor(n) limbs.
  static void MulN(L* r, const L* a, const L* b, size_t n, L* scratch) {
    if (n < MulThreshold()) {
      MulSchoolbook(r, a, b, n);
      return;
    }
    const size_t l = (n + 1) / 2, h = n / 2;
    L* da = scratch;
    L* db = da + l;
    L* prod = db + l;
    L* next = prod + 2 * l;
    const L negative = SubAbs(da, a, l, a + l, h) ^ SubAbs(db, b, l, b + l, h);
    MulN(prod, da, db, l, next);
    MulN(r, a, b, l, next);
    MulN(r + 2 * l, a + l, b + l, h, next);
    Combine(r, prod, l, h, negative, next);
  }

  // r[0..2n) = a^2; scratch of ScratchFor(n) limbs.
  static void SqrN(L* r, const L* a, size_t n, L* scratch) {
    if (n < SqrThreshold()) {
      SqrSchoolbook(r, a, n, scratch);
      return;
    }
    const size_t l = (n + 1) / 2, h = n / 2;
    L* da = scratch;
    L* prod = da + l;
    L* next = prod + 2 * l;
    SubAbs(da, a, l, a + l, h);
    SqrN(prod, da, l, next);
    SqrN(r, a, l, next);
    SqrN(r + 2 * l, a + l, h, next);
    Combine(r, prod, l, h, 0, next);
  }

  // With z0 = r[0..2l) and z2 = r[2l..2l+2h), adds (z0 + z2 +/- prod) B^l into r.
  // prod = |(a0 - a1)(b0 - b1)|; `add_mask` is all ones when that product is negative (it is
  // then added), zero when it is subtracted. Both cases run the same instructions.
  static void Combine(L* r, const L* prod, size_t l, size_t h, L add_mask, L* t) {
    const size_t n2 = 2 * l;
    // t = z0 + z2 (2l + 1 limbs)
    L c = Add(t, r, n2, r + n2, 2 * h);
    t[n2] = c;
    // t + prod, or t + ~prod + 1 = t - prod + B^n2 (the B^n2 taken off the top limb).
    const L sub = ~add_mask;
    L carry = sub & 1;
    for (size_t i = 0; i < n2; ++i) {
      W s = static_cast<W>(t[i]) + (prod[i] ^ sub) + carry;
      t[i] = static_cast<L>(s);
      carry = static_cast<L>(s >> kBits);
    }
    t[n2] += carry + sub;
    // r[l..] += t; the total fits in 2(l + h) limbs.
    const size_t rest = 2 * (l + h) - l;
    const size_t tn = std::min(n2 + 1, rest);
    L carry_out = Add(r + l, r + l, rest, t, tn);
    (void)carry_out;
  }

  // r[0..an+bn) = a * b for any sizes (an, bn >= 1); r must not overlap the inputs.
  static void Mul(L* r, const L* a, size_t an, const L* b, size_t bn) {
    if (an < bn) {
      std::swap(a, b);
      std::swap(an, bn);
    }
    if (bn < MulThreshold()) {
      MulBasecase(r, a, an, b, bn);
      return;
    }
    Vec scratch(ScratchFor(bn));
    if (an == bn) {
      MulN(r, a, b, bn, scratch.data());
      return;
    }
    // Unbalanced: multiply bn-limb slices of a and add them up.
    Vec part(2 * bn);
    std::fill(r, r + an + bn, L{0});
    size_t done = 0;
    while (done < an) {
      size_t len = std::min(bn, an - done);
      if (len == bn) {
        MulN(part.data(), a + done, b, bn, scratch.data());
      } else {
        MulBasecase(part.data(), b, bn, a + done, len);
      }
      L c = AddN(r + done, r + done, part.data(), len + bn);
      if (done + len + bn < an + bn)
        Add1(r + done + len + bn, r + done + len + bn, an + bn - done - len - bn, c);
      done += len;
    }
  }

  static void Sqr(L* r, const L* a, size_t n) {
    if (n < SqrThreshold()) {
      SqrBasecase(r, a, n);
      return;
    }
    Vec scratch(ScratchFor(n));
    SqrN(r, a, n, scratch.data());
  }

  // ---- Division ----

  // (hi:lo) / d with hi < d; returns the quotient limb and sets rem.
  static L Div2by1(L hi, L lo, L d, L& rem) {
#if defined(__x86_64__) || defined(__i386__)
    L q, r;
    if constexpr (kBits == 64 && sizeof(void*) == 8) {
      __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
      rem = r;
      return q;
    } else if constexpr (kBits == 32) {
      __asm__("divl %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
      rem = r;
      return q;
    }
#endif
    W num = (static_cast<W>(hi) << kBits) | lo;
    rem = static_cast<L>(num % d);
    return static_cast<L>(num / d);
  }

  // q[0..n) = a / d for one limb d > 0; returns the remainder. q may equal a.
  static L DivRem1(L* q, const L* a, size_t n, L d) {
    L rem = 0;
    for (size_t i = n; i-- > 0;) {
      L quotient = Div2by1(rem, a[i], d, rem);
      if (q) q[i] = quotient;
    }
    return rem;
  }

  // Knuth's Algorithm D (TAOCP 4.3.1). q[0..un-vn+1) and r[0..vn) for u of un limbs and v of vn
  // limbs with un >= vn >= 2 and v's top limb non-zero. q may be null.
  static void DivRem(L* q, L* r, const L* u, size_t un, const L* v, size_t vn) {
    const int s = CountLeadingZeros(v[vn - 1]);
    Vec vs(vn), us(un + 1);
    LShift(vs.data(), v, vn, s);
    us[un] = LShift(us.data(), u, un, s);
    const L v1 = vs[vn - 1], v2 = vs[vn - 2];
    for (size_t j = un - vn + 1; j-- > 0;) {
      L* uj = us.data() + j;
      L top = uj[vn], next = uj[vn - 1];
      L qhat, rhat;
      bool rhat_overflow = false;
      if (top >= v1) {
        // top == v1: the quotient digit is at most B - 1.
        qhat = ~L{0};
        W rh = static_cast<W>(next) + v1;  // (top:next) - (B-1) v1 = next + v1
        rhat = static_cast<L>(rh);
        rhat_overflow = (rh >> kBits) != 0;
      } else {
        qhat = Div2by1(top, next, v1, rhat);
      }
      while (!rhat_overflow) {
        W lhs = static_cast<W>(qhat) * v2;
        W rhs = (static_cast<W>(rhat) << kBits) | uj[vn - 2];
        if (lhs <= rhs) break;
        --qhat;
        L old = rhat;
        rhat += v1;
        rhat_overflow = rhat < old;
      }
      L borrow = SubMul1(uj, vs.data(), vn, qhat);
      L old_top = uj[vn];
      uj[vn] = old_top - borrow;
      if (old_top < borrow) {
        // qhat was one too large: add v back.
        --qhat;
        L c = AddN(uj, uj, vs.data(), vn);
        uj[vn] += c;
      }
      if (q) q[j] = qhat;
    }
    RShift(r, us.data(), vn, s);
  }

  // Vector forms: quotient and remainder, trimmed. d must be non-zero.
  static void DivMod(const Vec& a, const Vec& d, Vec* q, Vec* r) {
    const size_t an = a.size(), dn = d.size();
    if (an < dn || Compare(a.data(), an, d.data(), dn) < 0) {
      if (q) q->clear();
      if (r) *r = a;
      return;
    }
    if (dn == 1) {
      Vec qq(an);
      L rem = DivRem1(qq.data(), a.data(), an, d[0]);
      Trim(qq);
      if (q) *q = std::move(qq);
      if (r) {
        r->assign(1, rem);
        Trim(*r);
      }
      return;
    }
    Vec qq(an - dn + 1), rr(dn);
    DivRem(q ? qq.data() : nullptr, rr.data(), a.data(), an, d.data(), dn);
    Trim(qq);
    Trim(rr);
    if (q) *q = std::move(qq);
    if (r) *r = std::move(rr);
  }

  static Vec MulVec(const Vec& a, const Vec& b) {
    if (a.empty() || b.empty()) return {};
    Vec r(a.size() + b.size());
    if (&a == &b || (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin()))) {
      Sqr(r.data(), a.data(), a.size());
    } else {
      Mul(r.data(), a.data(), a.size(), b.data(), b.size());
    }
    Trim(r);
    return r;
  }

  static Vec AddVec(const Vec& a, const Vec& b) {
    const Vec& big = a.size() >= b.size() ? a : b;
    const Vec& small = a.size() >= b.size() ? b : a;
    Vec r(big.size() + 1);
    r[big.size()] = Add(r.data(), big.data(), big.size(), small.data(), small.size());
    Trim(r);
    return r;
  }

  // a - b for a >= b.
  static Vec SubVec(const Vec& a, const Vec& b) {
    Vec r(a.size());
    Sub(r.data(), a.data(), a.size(), b.data(), b.size());
    Trim(r);
    return r;
  }

  static Vec Mod(const Vec& a, const Vec& m) {
    Vec r;
    DivMod(a, m, nullptr, &r);
    return r;
  }

  // ---- Greatest common divisor and inverse (Euclid with Knuth division) ----

  static L Gcd1(L a, L b) {
    while (b != 0) {
      L t = a % b;
      a = b;
      b = t;
    }
    return a;
  }

  static Vec Gcd(Vec a, Vec b) {
    Trim(a);
    Trim(b);
    while (!b.empty()) {
      if (a.size() == 1 && b.size() == 1) return Vec{Gcd1(a[0], b[0])};
      if (b.size() == 1) return Vec{Gcd1(b[0], DivRem1(nullptr, a.data(), a.size(), b[0]))};
      Vec r = Mod(a, b);
      a = std::move(b);
      b = std::move(r);
    }
    return a;
  }

  // Extended Euclid keeping only the magnitudes of e's cofactors, whose signs alternate.
  static bool Inverse(const Vec& e, const Vec& m, Vec& out) {
    out.clear();
    if (m.empty()) return false;
    if (m.size() == 1 && m[0] == 1) return true;  // everything is 0 mod 1
    Vec r0 = m, r1 = Mod(e, m);
    Vec t0, t1{1};
    size_t index = 1;  // t_i has sign (-1)^(i+1)
    while (!r1.empty()) {
      Vec q, r2;
      DivMod(r0, r1, &q, &r2);
      Vec t2 = AddVec(t0, MulVec(q, t1));
      r0 = std::move(r1);
      r1 = std::move(r2);
      t0 = std::move(t1);
      t1 = std::move(t2);
      ++index;
    }
    // r0 = gcd, t0 = its cofactor with index - 1.
    if (!(r0.size() == 1 && r0[0] == 1)) return false;
    Vec t = Mod(t0, m);
    if (((index - 1) & 1) == 0 && !t.empty()) t = SubVec(m, t);
    out = std::move(t);
    return true;
  }

  // ---- Montgomery arithmetic and power modulo ----

  // -m^-1 mod B for odd m0 (Newton iteration; each step doubles the correct bits).
  static L NegInverse(L m0) {
    L x = m0;  // correct to 3 bits for odd m0
    for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
    return static_cast<L>(0) - x;
  }

  struct Montgomery {
    const L* m;
    size_t n;
    L minv;
    Vec t;        // 2n + 1 limbs of product space
    Vec scratch;  // Karatsuba scratch

    Montgomery(const Vec& modulus)
        : m(modulus.data()),
          n(modulus.size()),
          minv(NegInverse(modulus[0])),
          t(2 * modulus.size() + 1),
          scratch(ScratchFor(modulus.size())) {}

    // r = t[0..2n) R^-1 mod m, fully reduced; t < m R.
    void Redc(L* r) {
      L* tp = t.data();
      if (RowsInAsm(n)) {
#if defined(LQ_BIGNUM_MULX_ADX)
        if constexpr (kBits == 64) RedcRowsMulxAdx(tp, m, n / 4, minv);
#endif
      } else {
        for (size_t i = 0; i < n; ++i) {
          L q = tp[i] * minv;
          tp[i] = AddMul1(tp + i, m, n, q);
        }
      }
      L carry = AddN(r, tp + n, tp, n);
      // r (with `carry` above it) is below 2m: take r - m unless that borrows, without a branch
      // (t's low half is free for the difference).
      const L borrow = SubN(tp, r, m, n);
      Select(r, tp, n, (static_cast<L>(0) - carry) | (borrow - 1));
    }
    void MulMont(L* r, const L* a, const L* b) {
      if (n < MulThreshold()) {
        MulSchoolbook(t.data(), a, b, n);
      } else {
        MulN(t.data(), a, b, n, scratch.data());
      }
      Redc(r);
    }
    void SqrMont(L* r, const L* a) {
      if (n < SqrThreshold()) {
        SqrSchoolbook(t.data(), a, n, scratch.data());
      } else {
        SqrN(t.data(), a, n, scratch.data());
      }
      Redc(r);
    }
  };

  // ---- Constant-time exponentiation for private keys ----
  // Nothing below branches on, or indexes memory by, the value of a secret: loops run over limb
  // counts and bit positions only, table entries are read in full under masks, and the final
  // subtraction of every Montgomery product is branch-free.

  // r[0..mn) = x mod m for x of xn limbs and any m > 0 of mn limbs: every bit of x, from the top,
  // is shifted in and m is taken off whenever the value reaches it. xn * kBits passes over m,
  // so it serves set-up and one reduction per operation, not the exponentiation itself.
  // scratch: mn limbs.
  static void CtMod(L* r, const L* x, size_t xn, const L* m, size_t mn, L* scratch) {
    std::fill(r, r + mn, L{0});
    for (size_t i = xn * kBits; i-- > 0;) {
      const L top = LShift(r, r, mn, 1);
      r[0] |= (x[i / kBits] >> (i % kBits)) & 1;
      const L borrow = SubN(scratch, r, m, mn);
      Select(r, scratch, mn, (static_cast<L>(0) - top) | (borrow - 1));
    }
  }

  // Fixed window width for an exponent of `bits` bits.
  static constexpr int kMaxCtWindowBits = 6;
  static int CtWindowBits(size_t bits) {
    if (bits <= 256) return 3;
    if (bits <= 768) return 4;
    if (bits <= 2048) return 5;
    return kMaxCtWindowBits;
  }

  // The `take` bits of e (en limbs) from bit `pos` up.
  static L Bits(const L* e, size_t en, size_t pos, int take) {
    const size_t limb = pos / kBits, off = pos % kBits;
    L v = e[limb] >> off;
    if (off + static_cast<size_t>(take) > static_cast<size_t>(kBits) && limb + 1 < en)
      v |= e[limb + 1] << (kBits - off);
    return v & ((L{1} << take) - 1);
  }

  // r = table[index] of `count` (at most 2^kMaxCtWindowBits) entries of n limbs, every entry
  // read. Eight limbs at a time are gathered across all entries, so they stay in registers.
  static void CtLookup(L* r, const L* table, size_t count, size_t n, L index) {
    L masks[size_t{1} << kMaxCtWindowBits];
    for (size_t j = 0; j < count; ++j) masks[j] = ~MaskNonZero(static_cast<L>(j) ^ index);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      L acc[8] = {};
      for (size_t j = 0; j < count; ++j) {
        const L* entry = table + j * n + i;
        for (int k = 0; k < 8; ++k) acc[k] |= entry[k] & masks[j];
      }
      std::copy(acc, acc + 8, r + i);
    }
    for (; i < n; ++i) {
      L acc = 0;
      for (size_t j = 0; j < count; ++j) acc |= table[j * n + i] & masks[j];
      r[i] = acc;
    }
    // The masks say which entry was taken: gone before the frame is reused.
    std::fill(masks, masks + count, L{0});
    __asm__ __volatile__("" : : "r"(masks) : "memory");
  }

  // out = base^e in Montgomery form (base and one in Montgomery form too), over all en * kBits
  // bits of e from the top in fixed windows: w squarings and one product per window whatever
  // the bits are, the zero window multiplying by one from the table.
  static void CtPowMont(Montgomery& mont, L* out, const L* base, const L* e, size_t en,
                        const L* one) {
    const size_t n = mont.n;
    const size_t total = en * kBits;
    const int w = CtWindowBits(total);
    const size_t count = size_t{1} << w;
    Vec table(count * n);
    std::copy(one, one + n, table.data());
    std::copy(base, base + n, table.data() + n);
    for (size_t i = 2; i < count; ++i) {
      mont.MulMont(table.data() + i * n, table.data() + (i - 1) * n, base);
    }
    Vec acc(one, one + n), entry(n);
    size_t pos = total;
    size_t take = total % static_cast<size_t>(w);
    if (take == 0) take = static_cast<size_t>(w);
    while (pos > 0) {
      pos -= take;
      for (size_t j = 0; j < take; ++j) mont.SqrMont(acc.data(), acc.data());
      CtLookup(entry.data(), table.data(), count, n, Bits(e, en, pos, static_cast<int>(take)));
      mont.MulMont(acc.data(), acc.data(), entry.data());
      take = static_cast<size_t>(w);
    }
    std::copy(acc.begin(), acc.end(), out);
  }

  // Window width for an exponent of `bits` bits: minimises 2^(k-1) precomputed odd powers plus
  // about bits / (k + 1) window multiplications.
  static int WindowBits(size_t bits) {
    int best = 1;
    double best_cost = static_cast<double>(bits);
    for (int k = 2; k <= 7; ++k) {
      double cost = static_cast<double>(size_t{1} << (k - 1)) + static_cast<double>(bits) / (k + 1);
      if (cost < best_cost) {
        best_cost = cost;
        best = k;
      }
    }
    return best;
  }

  static bool Bit(const Vec& e, size_t i) { return (e[i / kBits] >> (i % kBits)) & 1; }

  // Sliding-window exponentiation over a multiply and a square callback on n-limb values.
  template <typename MulFn, typename SqrFn>
  static Vec SlidingWindow(const Vec& base, const Vec& e, size_t n, const Vec& one, MulFn mul,
                           SqrFn sqr) {
    const size_t bits = BitLength(e.data(), e.size());
    const int k = WindowBits(bits);
    const size_t count = size_t{1} << (k - 1);
    std::vector<Vec> powers(count, Vec(n));
    powers[0] = base;
    if (count > 1) {
      Vec b2(n);
      sqr(b2.data(), base.data());
      for (size_t i = 1; i < count; ++i) mul(powers[i].data(), powers[i - 1].data(), b2.data());
    }
    Vec acc = one;
    Vec tmp(n);
    bool started = false;
    size_t i = bits;
    while (i > 0) {
      if (!Bit(e, i - 1)) {
        if (started) {
          sqr(tmp.data(), acc.data());
          acc.swap(tmp);
        }
        --i;
        continue;
      }
      // The longest window of at most k bits that starts at bit i-1 and ends in a one bit.
      size_t low = i >= static_cast<size_t>(k) ? i - k : 0;
      while (!Bit(e, low)) ++low;
      size_t value = 0;
      for (size_t j = i; j-- > low;) value = (value << 1) | (Bit(e, j) ? 1 : 0);
      if (started) {
        for (size_t j = low; j < i; ++j) {
          sqr(tmp.data(), acc.data());
          acc.swap(tmp);
        }
        mul(tmp.data(), acc.data(), powers[value >> 1].data());
        acc.swap(tmp);
      } else {
        acc = powers[value >> 1];
        started = true;
      }
      i = low;
    }
    return acc;
  }

  // base^e mod m for m > 1 and e > 0.
  static Vec PowMod(const Vec& base_in, const Vec& e, const Vec& m) {
    const size_t n = m.size();
    Vec base = Mod(base_in, m);
    base.resize(n, 0);
    if (m[0] & 1) {
      Montgomery mont(m);
      // R^2 mod m converts into Montgomery form, one Montgomery product converts back.
      Vec r2(2 * n + 1, 0);
      r2[2 * n] = 1;
      r2 = Mod(r2, m);
      r2.resize(n, 0);
      Vec one_mont(n + 1, 0);
      one_mont[n] = 1;
      one_mont = Mod(one_mont, m);
      one_mont.resize(n, 0);
      Vec bm(n);
      mont.MulMont(bm.data(), base.data(), r2.data());
      Vec acc = SlidingWindow(
          bm, e, n, one_mont, [&](L* r, const L* a, const L* b) { mont.MulMont(r, a, b); },
          [&](L* r, const L* a) { mont.SqrMont(r, a); });
      Vec one(n, 0);
      one[0] = 1;
      Vec out(n);
      mont.MulMont(out.data(), acc.data(), one.data());
      Trim(out);
      return out;
    }
    // Even modulus: plain products reduced by division.
    Vec prod(2 * n);
    auto reduce = [&](L* r) {
      Vec rem(n);
      size_t pn = Normalized(prod.data(), prod.size());
      if (pn < n || (pn == n && CompareN(prod.data(), m.data(), n) < 0)) {
        std::copy(prod.begin(), prod.begin() + n, r);
        return;
      }
      if (n == 1) {
        r[0] = DivRem1(nullptr, prod.data(), pn, m[0]);
        return;
      }
      DivRem(nullptr, rem.data(), prod.data(), pn, m.data(), n);
      std::copy(rem.begin(), rem.end(), r);
    };
    auto mul = [&](L* r, const L* a, const L* b) {
      Mul(prod.data(), a, n, b, n);
      reduce(r);
    };
    auto sqr = [&](L* r, const L* a) {
      Sqr(prod.data(), a, n);
      reduce(r);
    };
    Vec one(n, 0);
    one[0] = 1;
    Vec out = SlidingWindow(base, e, n, one, mul, sqr);
    Trim(out);
    return out;
  }
};

// The RSA private operation in constant time: M = C^d mod n by the Chinese remainder theorem
// with primes recovered from n, e and d, the input blinded with r^e and the result unblinded
// with r^-1 (a fresh pair each time, by squaring), or without e the plain fixed-window power.
// Prepare runs once per key; its prime recovery is the one part whose time depends on the key
// (it has to try bases until one splits n), everything Apply does is branch-free in the secrets.
// On a CPU with AVX-512 IFMA (and an OS that saves its state) the two CRT powers of the usual
// key sizes run together in radix 2^52 (bignum_ifma.h), equally branch-free; the CPU, not the
// key, decides that, and Key::ifma cleared sends them through the limb path instead.
template <typename L, bool kUseAsm = true>
struct CtRsa {
  using K = Mpn<L, kUseAsm>;
  using Vec = typename K::Vec;
  using Mont = typename K::Montgomery;
  static constexpr int kBits = K::kBits;

  // A modulus with R^2 mod m and one (R mod m), the Montgomery constants, made without a branch
  // on m's value.
  struct Modulus {
    Vec m, r2, one;
    size_t n = 0;
    void Set(const Vec& value) {
      m = value;
      n = m.size();
      Vec scratch(n), x(2 * n + 1, 0);
      x[2 * n] = 1;
      r2.assign(n, 0);
      K::CtMod(r2.data(), x.data(), x.size(), m.data(), n, scratch.data());
      std::fill(x.begin(), x.end(), L{0});
      x[n] = 1;
      one.assign(n, 0);
      K::CtMod(one.data(), x.data(), n + 1, m.data(), n, scratch.data());
    }
  };

  struct Key {
    Modulus n;
    Vec d;  // at least as many limbs as n
    bool crt = false;
    Modulus p, q;
    Vec dp, dq;     // d mod (p - 1) and d mod (q - 1), as many limbs as p and q
    Vec qinv_mont;  // q^-1 mod p in p's Montgomery form
    bool blinded = false;
    Vec blind_mont;    // r^e mod n in n's Montgomery form
    Vec unblind_mont;  // r^-1 mod n in n's Montgomery form
    // The halves run together on the 52-bit vector path (bignum_ifma.h), set by Prepare when
    // the CPU has it and the primes have a size it serves; clearing it forces the limb path.
    bool ifma = false;
    Vec p_rr52, q_rr52;  // R^2 mod p and mod q for that path's R = 2^(52 digits)
  };

  // x mod m into m.n limbs.
  static Vec Reduce(const L* x, size_t xn, const Modulus& m) {
    Vec r(m.n), scratch(m.n);
    K::CtMod(r.data(), x, xn, m.m.data(), m.n, scratch.data());
    return r;
  }

  // x mod m for x below m R (at most 2 m.n limbs): REDC(x) = x R^-1, then a product with R^2
  // mod m puts the R back. Two Montgomery steps instead of Reduce's pass per bit.
  static Vec ReduceMont(const L* x, size_t xn, const Modulus& m) {
    Mont mont(m.m);
    std::fill(mont.t.begin(), mont.t.end(), L{0});
    std::copy(x, x + xn, mont.t.begin());
    Vec r(m.n);
    mont.Redc(r.data());
    mont.MulMont(r.data(), r.data(), m.r2.data());
    return r;
  }

  // x^e mod m for x below m (m.n limbs), e of en limbs; normal form in and out.
  static Vec Pow(const Modulus& m, const L* x, const L* e, size_t en) {
    Mont mont(m.m);
    Vec xm(m.n), out(m.n), one(m.n, 0);
    mont.MulMont(xm.data(), x, m.r2.data());
    K::CtPowMont(mont, out.data(), xm.data(), e, en, m.one.data());
    one[0] = 1;
    mont.MulMont(out.data(), out.data(), one.data());
    return out;
  }

  // The value below n with residues m1 mod p and m2 mod q (Garner): m2 + q ((m1 - m2) q^-1 mod p).
  static Vec Combine(const Key& k, const Vec& m1, const Vec& m2) {
    const size_t np = k.p.n, nq = k.q.n, nn = k.n.n;
    // m2 < q: below p R when q has no more limbs than p.
    Vec diff = nq <= np ? ReduceMont(m2.data(), nq, k.p) : Reduce(m2.data(), nq, k.p);
    const L borrow = K::SubN(diff.data(), m1.data(), diff.data(), np);
    K::CondAdd(diff.data(), k.p.m.data(), np, static_cast<L>(0) - borrow);
    Mont mont(k.p.m);
    Vec h(np);
    mont.MulMont(h.data(), diff.data(), k.qinv_mont.data());
    Vec out(std::max(np + nq, nn) + 1, 0);
    K::MulBasecase(out.data(), k.q.m.data(), nq, h.data(), np);
    K::Add(out.data(), out.data(), out.size(), m2.data(), nq);
    out.resize(nn);
    return out;
  }

  // True when the vector path serves halves of np and nq limbs on this CPU.
  static bool IfmaServes(size_t np, size_t nq) {
    if constexpr (kBits == 64 && kUseAsm) {
      return np == nq && ifma::DigitsFor(np) != 0 && ifma::CpuHasIfma();
    } else {
      return false;
    }
  }

  // R^2 mod m for the vector path's R = 2^(52 digits).
  static Vec Rr52(const Modulus& m) {
    const size_t bit = 2 * ifma::kDigitBits * static_cast<size_t>(ifma::DigitsFor(m.n));
    Vec x(bit / kBits + 1, 0);
    x[bit / kBits] = L{1} << (bit % kBits);
    return Reduce(x.data(), x.size(), m);
  }

  // m1 = cp^dp mod p and m2 = cq^dq mod q together on the vector path (k.ifma set).
  static void PowHalvesIfma(const Key& k, const Vec& cp, const Vec& cq, Vec& m1, Vec& m2) {
    if constexpr (kBits == 64 && kUseAsm) {
#if defined(LQ_BIGNUM_IFMA)
      const size_t n = k.p.n, en = k.dp.size();
      const int digits = ifma::DigitsFor(n);
      const int w = K::CtWindowBits(en * kBits);
      Vec scratch(ifma::PowScratchWords(digits, w));
      m1.assign(n, 0);
      m2.assign(n, 0);
      uint64_t* const out[2] = {m1.data(), m2.data()};
      const uint64_t* const x[2] = {cp.data(), cq.data()};
      const uint64_t* const e[2] = {k.dp.data(), k.dq.data()};
      const uint64_t* const m[2] = {k.p.m.data(), k.q.m.data()};
      const uint64_t* const rr[2] = {k.p_rr52.data(), k.q_rr52.data()};
      if (ifma::PowMod2Limbs(out, x, e, en, m, rr, n, w, scratch.data(), scratch.size())) return;
#endif
    }
    m1 = Pow(k.p, cp.data(), k.dp.data(), k.dp.size());
    m2 = Pow(k.q, cq.data(), k.dq.data(), k.dq.size());
  }

  // c^d mod n for c below n (n.n limbs): the whole private operation.
  static Vec Apply(Key& k, const Vec& c) {
    const size_t nn = k.n.n;
    Mont mont(k.n.m);
    Vec x(c);
    x.resize(nn, 0);
    if (k.blinded) mont.MulMont(x.data(), x.data(), k.blind_mont.data());
    Vec m;
    if (k.crt) {
      // x < p q is below p R when q has no more limbs than p, and below q R the other way.
      const size_t np = k.p.n, nq = k.q.n;
      const Vec cp = nq <= np ? ReduceMont(x.data(), nn, k.p) : Reduce(x.data(), nn, k.p);
      const Vec cq = np <= nq ? ReduceMont(x.data(), nn, k.q) : Reduce(x.data(), nn, k.q);
      Vec m1, m2;
      if (k.ifma) {
        PowHalvesIfma(k, cp, cq, m1, m2);
      } else {
        m1 = Pow(k.p, cp.data(), k.dp.data(), k.dp.size());
        m2 = Pow(k.q, cq.data(), k.dq.data(), k.dq.size());
      }
      m = Combine(k, m1, m2);
    } else {
      m = Pow(k.n, x.data(), k.d.data(), k.d.size());
    }
    if (k.blinded) {
      mont.MulMont(m.data(), m.data(), k.unblind_mont.data());
      // The next operation's pair: (r^2)^e and (r^2)^-1.
      mont.SqrMont(k.blind_mont.data(), k.blind_mont.data());
      mont.SqrMont(k.unblind_mont.data(), k.unblind_mont.data());
    }
    return m;
  }

  static bool Equal(const Vec& a, const Vec& b) {
    return K::Compare(a.data(), a.size(), b.data(), b.size()) == 0;
  }

  // Integer square root (Newton's method from above); variable time, public set-up only.
  static Vec ISqrt(const Vec& a) {
    if (a.empty()) return {};
    const size_t bits = K::BitLength(a.data(), a.size());
    Vec x((bits / 2 + 1) / kBits + 1, 0);
    x[(bits / 2 + 1) / kBits] = L{1} << ((bits / 2 + 1) % kBits);  // 2^(bits/2 + 1) > sqrt(a)
    K::Trim(x);
    while (true) {
      Vec q, r;
      K::DivMod(a, x, &q, &r);
      Vec y = K::AddVec(x, q);
      K::RShift(y.data(), y.data(), y.size(), 1);
      K::Trim(y);
      if (K::Compare(y.data(), y.size(), x.data(), x.size()) >= 0) return x;
      x = std::move(y);
    }
  }

  // The quick way for a key whose d was taken modulo phi (ours): e d - 1 = k phi with k below
  // e, and phi = n - (p + q) + 1 just below n, so k is (e d - 1) / n rounded up; then p + q and
  // (p - q)^2 = (p + q)^2 - 4 n give both primes. False when the numbers do not fit that.
  static bool PrimesFromPhi(const Vec& n, const Vec& ed1, Vec& p, Vec& q) {
    Vec k, rem;
    K::DivMod(ed1, n, &k, &rem);
    k = K::AddVec(k, Vec{1});
    Vec phi;
    K::DivMod(ed1, k, &phi, &rem);
    if (!rem.empty() || K::Compare(phi.data(), phi.size(), n.data(), n.size()) >= 0) return false;
    // s = n - phi + 1 = p + q
    Vec s = K::AddVec(K::SubVec(n, phi), Vec{1});
    Vec s2 = K::MulVec(s, s);
    Vec n4 = K::MulVec(n, Vec{4});
    if (K::Compare(s2.data(), s2.size(), n4.data(), n4.size()) < 0) return false;
    const Vec disc = K::SubVec(s2, n4);
    const Vec r = ISqrt(disc);
    if (!Equal(K::MulVec(r, r), disc)) return false;
    p = K::AddVec(s, r);
    K::RShift(p.data(), p.data(), p.size(), 1);
    K::Trim(p);
    q = K::SubVec(s, r);
    K::RShift(q.data(), q.data(), q.size(), 1);
    K::Trim(q);
    return !q.empty() && !(q.size() == 1 && q[0] == 1) && Equal(K::MulVec(p, q), n);
  }

  // Finds p and q with n = p q from e d - 1 = 2^t r: for a base g, g^r squared up to t times
  // reaches 1, and the value just before it, when it is not -1, is a square root of 1 that
  // shares a factor with n. Half the bases or more succeed for a true key. False when none of
  // the first bases does (not a two-prime key, or e and d do not belong together).
  static bool RecoverPrimes(const Key& k, const Vec& e, Vec& p, Vec& q) {
    const Vec& n = k.n.m;
    Vec ed = K::MulVec(e, k.d);
    if (ed.empty()) return false;
    K::Sub1(ed.data(), ed.data(), ed.size(), 1);
    K::Trim(ed);
    if (ed.empty() || (ed[0] & 1)) return false;
    if (PrimesFromPhi(n, ed, p, q)) return true;
    size_t t = 0;
    while (((ed[t / kBits] >> (t % kBits)) & 1) == 0) ++t;
    Vec r(ed.size());
    const size_t shift_limbs = t / kBits;
    K::RShift(r.data(), ed.data() + shift_limbs, ed.size() - shift_limbs,
              static_cast<int>(t % kBits));
    K::Trim(r);
    Vec one(1, 1), n1(n);
    K::Sub1(n1.data(), n1.data(), n1.size(), 1);
    static const L kBases[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31,  37,  41,  43,  47,
                               53, 59, 61, 67, 71, 73, 79, 83, 89, 97, 101, 103, 107, 109, 113};
    for (L g : kBases) {
      Vec base(k.n.n, 0);
      base[0] = g;
      Vec y = Pow(k.n, base.data(), r.data(), r.size());
      K::Trim(y);
      if (Equal(y, one) || Equal(y, n1)) continue;
      for (size_t i = 0; i < t; ++i) {
        Vec x = K::Mod(K::MulVec(y, y), n);
        if (Equal(x, one)) {
          K::Sub1(y.data(), y.data(), y.size(), 1);
          K::Trim(y);
          p = K::Gcd(y, n);
          Vec rem;
          K::DivMod(n, p, &q, &rem);
          K::Trim(p);
          K::Trim(q);
          return !rem.empty()
                     ? false
                     : !(p.size() == 1 && p[0] == 1) && !q.empty() && !(q.size() == 1 && q[0] == 1);
        }
        if (Equal(x, n1)) break;
        y = std::move(x);
      }
    }
    return false;
  }

  // Sets up the CRT half of a key from its primes; false when they do not multiply to n.
  static bool SetPrimes(Key& k, const Vec& p, const Vec& q) {
    if (!Equal(K::MulVec(p, q), k.n.m)) return false;
    if (!(p[0] & 1) || !(q[0] & 1)) return false;
    k.p.Set(p);
    k.q.Set(q);
    Vec p1(p), q1(q);
    K::Sub1(p1.data(), p1.data(), p1.size(), 1);
    K::Sub1(q1.data(), q1.data(), q1.size(), 1);
    k.dp = Reduce(k.d.data(), k.d.size(), Modulus{p1, {}, {}, p1.size()});
    k.dq = Reduce(k.d.data(), k.d.size(), Modulus{q1, {}, {}, q1.size()});
    // q^-1 = q^(p-2) mod p, p being prime; kept in Montgomery form.
    Vec p2(p);
    K::Sub1(p2.data(), p2.data(), p2.size(), 2);
    const Vec qp = Reduce(q.data(), q.size(), k.p);
    Vec inv = Pow(k.p, qp.data(), p2.data(), p2.size());
    Mont mont(k.p.m);
    k.qinv_mont.assign(k.p.n, 0);
    mont.MulMont(k.qinv_mont.data(), inv.data(), k.p.r2.data());
    k.crt = true;
    if (IfmaServes(k.p.n, k.q.n) && k.dp.size() == k.dq.size()) {
      k.p_rr52 = Rr52(k.p);
      k.q_rr52 = Rr52(k.q);
      k.ifma = true;
    }
    return true;
  }

  // The blinding pair from a random r below n: r^e and r^-1 (by Fermat on each prime, then
  // Garner), both in n's Montgomery form. Needs the primes. False when r shares a factor with n.
  static bool SetBlinding(Key& k, const Vec& e, const Vec& random) {
    const size_t nn = k.n.n;
    Vec r = Reduce(random.data(), random.size(), k.n);
    Mont mont(k.n.m);
    Vec re = Pow(k.n, r.data(), e.data(), e.size());
    Vec p2(k.p.m), q2(k.q.m);
    K::Sub1(p2.data(), p2.data(), p2.size(), 2);
    K::Sub1(q2.data(), q2.data(), q2.size(), 2);
    const Vec rp = Reduce(r.data(), nn, k.p), rq = Reduce(r.data(), nn, k.q);
    const Vec ip = Pow(k.p, rp.data(), p2.data(), p2.size());
    const Vec iq = Pow(k.q, rq.data(), q2.data(), q2.size());
    Vec inv = Combine(k, ip, iq);
    // r inv = 1 unless r is 0 or shares a prime with n.
    Vec check(nn), one(nn, 0);
    one[0] = 1;
    Vec r_mont(nn);
    mont.MulMont(r_mont.data(), r.data(), k.n.r2.data());
    mont.MulMont(check.data(), r_mont.data(), inv.data());
    if (!Equal(check, one)) return false;
    k.blind_mont.assign(nn, 0);
    k.unblind_mont.assign(nn, 0);
    mont.MulMont(k.blind_mont.data(), re.data(), k.n.r2.data());
    mont.MulMont(k.unblind_mont.data(), inv.data(), k.n.r2.data());
    k.blinded = true;
    return true;
  }

  // One round trip with a fixed value: (v^e)^d = v.
  static bool RoundTrip(Key& k, const Vec& e) {
    Vec v(k.n.n, 0);
    v[0] = 0x5A17;
    if (k.n.n > 1) v[1] = 3;
    v = Reduce(v.data(), v.size(), k.n);
    const Vec c = K::PowMod(v, e, k.n.m);
    Vec back = Apply(k, c);
    return Equal(back, v);
  }

  // Makes k ready for n (odd, above 1), d and e (empty when unknown). `random` (any limbs,
  // at least as many as n) seeds the blinding. With e, the primes are recovered and checked
  // (p q = n, a round trip); any failure leaves the plain path.
  static bool Prepare(Key& k, const Vec& n, const Vec& d, const Vec& e, const Vec& random) {
    k = Key{};
    if (n.empty() || !(n[0] & 1) || (n.size() == 1 && n[0] == 1)) return false;
    k.n.Set(n);
    k.d = d;
    if (k.d.size() < k.n.n) k.d.resize(k.n.n, 0);
    if (e.empty()) return true;
    Vec p, q;
    if (!RecoverPrimes(k, e, p, q) || !SetPrimes(k, p, q) || !RoundTrip(k, e)) {
      Key plain;
      plain.n = k.n;
      plain.d = k.d;
      k = std::move(plain);
      return true;
    }
    if (SetBlinding(k, e, random) && !RoundTrip(k, e)) k.blinded = false;
    return true;
  }
};

// The BigNum operations on one limb width: byte strings in, normalised byte strings out.
template <typename L, bool kUseAsm = true>
struct BigOps {
  using K = Mpn<L, kUseAsm>;
  using Vec = typename K::Vec;

  static Vec In(const std::string& a) { return K::FromBytes(a); }
  static std::string Out(const Vec& v) { return K::ToBytes(v); }
  static std::string Word(uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
    return out;
  }

  static std::string Add(const std::string& a, const std::string& b) {
    return Out(K::AddVec(In(a), In(b)));
  }
  static std::string Subtract(const std::string& a, const std::string& b) {
    Vec va = In(a), vb = In(b);
    if (K::Compare(va.data(), va.size(), vb.data(), vb.size()) < 0) return Word(0);
    return Out(K::SubVec(va, vb));
  }
  static std::string Multiply(const std::string& a, const std::string& b) {
    return Out(K::MulVec(In(a), In(b)));
  }
  static void Divide(const std::string& a, const std::string& m, std::string& quotient,
                     std::string& remainder) {
    Vec va = In(a), vm = In(m);
    if (vm.empty()) {
      quotient = Word(0);
      remainder = Out(va);
      return;
    }
    Vec q, r;
    K::DivMod(va, vm, &q, &r);
    quotient = Out(q);
    remainder = Out(r);
  }
  static std::string Mod(const std::string& a, const std::string& m) {
    Vec va = In(a), vm = In(m);
    if (vm.empty()) return Out(va);
    return Out(K::Mod(va, vm));
  }
  static std::string ShiftRight1(const std::string& a) {
    Vec v = In(a);
    K::RShift(v.data(), v.data(), v.size(), 1);
    return Out(v);
  }
  static std::string Double(const std::string& a) {
    Vec v = In(a);
    v.push_back(0);
    v.back() = K::LShift(v.data(), v.data(), v.size() - 1, 1);
    return Out(v);
  }
  static int Compare(const std::string& a, const std::string& b) {
    Vec va = In(a), vb = In(b);
    return K::Compare(va.data(), va.size(), vb.data(), vb.size());
  }
  static int BitLength(const std::string& a) {
    Vec v = In(a);
    return static_cast<int>(K::BitLength(v.data(), v.size()));
  }
  static std::string Gcd(const std::string& a, const std::string& b) {
    return Out(K::Gcd(In(a), In(b)));
  }
  static std::string ModInverse(const std::string& e, const std::string& m, bool& exists) {
    Vec d;
    exists = K::Inverse(In(e), In(m), d);
    return Out(d);
  }
  static std::string PowMod(const std::string& base, const std::string& exponent,
                            const std::string& modulus) {
    Vec e = In(exponent);
    if (e.empty()) return Word(1);
    Vec m = In(modulus);
    if (m.empty() || (m.size() == 1 && m[0] == 1)) return Word(0);
    return Out(K::PowMod(In(base), e, m));
  }
  static std::string ToDecimal(const std::string& a) {
    Vec v = In(a);
    if (v.empty()) return "0";
    std::string digits;  // nine digits per division, least significant first
    while (!v.empty()) {
      L rem = K::DivRem1(v.data(), v.data(), v.size(), 1000000000);
      K::Trim(v);
      for (int i = 0; i < 9; ++i) {
        digits.push_back(static_cast<char>('0' + rem % 10));
        rem /= 10;
      }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::reverse(digits.begin(), digits.end());
    return digits;
  }
  static std::string FromDecimal(const std::string& text) {
    Vec v;
    for (char c : text) {
      if (c < '0' || c > '9') break;
      v.push_back(0);
      v.back() = K::Mul1(v.data(), v.data(), v.size() - 1, 10);
      L carry = K::Add1(v.data(), v.data(), v.size(), static_cast<L>(c - '0'));
      if (carry) v.push_back(carry);
      K::Trim(v);
    }
    return Out(v);
  }
};

}  // namespace lq::bignum_detail
