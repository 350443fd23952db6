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
#include <string>
#include <vector>

namespace lq::bignum_detail {

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
  using Vec = std::vector<L>;
  static constexpr int kBits = sizeof(L) * 8;

  // True when AddMul1 runs the MULX/ADX loop.
  static bool AsmActive() {
#if defined(LQ_BIGNUM_MULX_ADX)
    if constexpr (kUseAsm && kBits == 64) return CpuHasMulxAdx();
#endif
    return false;
  }
  // The fast schoolbook loop moves the Karatsuba cross-over up: 64/96 limbs with MULX/ADX,
  // 32/48 limbs in portable code (both widths).
  static size_t MulThreshold() {
    if (LQ_KARATSUBA_MUL_LIMBS) return LQ_KARATSUBA_MUL_LIMBS;
    return AsmActive() ? 64 : 32;
  }
  static size_t SqrThreshold() {
    if (LQ_KARATSUBA_SQR_LIMBS) return LQ_KARATSUBA_SQR_LIMBS;
    return AsmActive() ? 96 : 48;
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

  // r[0..n) = |a - b| for a of n limbs and b of m <= n limbs; returns true when a < b.
  static bool SubAbs(L* r, const L* a, size_t n, const L* b, size_t m) {
    bool a_smaller;
    if (n > m && Normalized(a + m, n - m) != 0) {
      a_smaller = false;
    } else {
      a_smaller = CompareN(a, b, m) < 0;
    }
    if (a_smaller) {
      // b is at most m limbs and a's high part is zero.
      SubN(r, b, a, m);
      std::fill(r + m, r + n, L{0});
    } else {
      Sub(r, a, n, b, m);
    }
    return a_smaller;
  }

  // Scratch limbs the Karatsuba routines need for n-limb operands.
  static size_t ScratchFor(size_t n) { return 8 * n + 8 * kBits; }

  // r[0..2n) = a * b, both n limbs; scratch of ScratchFor(n) limbs.
  static void MulN(L* r, const L* a, const L* b, size_t n, L* scratch) {
    if (n < MulThreshold()) {
      MulBasecase(r, a, n, b, n);
      return;
    }
    const size_t l = (n + 1) / 2, h = n / 2;
    L* da = scratch;
    L* db = da + l;
    L* prod = db + l;
    L* next = prod + 2 * l;
    const bool neg_a = SubAbs(da, a, l, a + l, h);
    const bool neg_b = SubAbs(db, b, l, b + l, h);
    MulN(prod, da, db, l, next);
    MulN(r, a, b, l, next);
    MulN(r + 2 * l, a + l, b + l, h, next);
    Combine(r, prod, l, h, neg_a != neg_b, next);
  }

  // r[0..2n) = a^2; scratch of ScratchFor(n) limbs.
  static void SqrN(L* r, const L* a, size_t n, L* scratch) {
    if (n < SqrThreshold()) {
      SqrBasecase(r, a, n);
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
    Combine(r, prod, l, h, false, next);
  }

  // With z0 = r[0..2l) and z2 = r[2l..2l+2h), adds (z0 + z2 +/- prod) B^l into r.
  // prod = |(a0 - a1)(b0 - b1)|; `add_prod` is true when that product is negative.
  static void Combine(L* r, const L* prod, size_t l, size_t h, bool add_prod, L* t) {
    const size_t n2 = 2 * l;
    // t = z0 + z2 (2l + 1 limbs)
    L c = Add(t, r, n2, r + n2, 2 * h);
    t[n2] = c;
    if (add_prod) {
      t[n2] += AddN(t, t, prod, n2);
    } else {
      t[n2] -= SubN(t, t, prod, n2);
    }
    // r[l..] += t; the total fits in 2(l + h) limbs.
    const size_t rest = 2 * (l + h) - l;
    const size_t tn = std::min(n2 + 1, rest);
    L carry = Add(r + l, r + l, rest, t, tn);
    (void)carry;
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
      for (size_t i = 0; i < n; ++i) {
        L q = tp[i] * minv;
        tp[i] = AddMul1(tp + i, m, n, q);
      }
      L carry = AddN(r, tp + n, tp, n);
      if (carry || CompareN(r, m, n) >= 0) SubN(r, r, m, n);
    }
    void MulMont(L* r, const L* a, const L* b) {
      if (n < MulThreshold()) {
        MulBasecase(t.data(), a, n, b, n);
      } else {
        MulN(t.data(), a, b, n, scratch.data());
      }
      Redc(r);
    }
    void SqrMont(L* r, const L* a) {
      if (n < SqrThreshold()) {
        SqrBasecase(t.data(), a, n);
      } else {
        SqrN(t.data(), a, n, scratch.data());
      }
      Redc(r);
    }
  };

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
