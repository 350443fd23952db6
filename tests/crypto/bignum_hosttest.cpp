// Differential tests of the big-integer kernel against GMP, for both limb widths (the 32-bit
// one is what the i686 build runs), over random operands of many sizes and shapes.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/bignum_kernel.h"
#include "crypto/primes.h"
#include "crypto/random.h"
#include "support/scripted_random.h"

namespace lq {
namespace {

class Mpz {
 public:
  Mpz() { mpz_init(z_); }
  explicit Mpz(const std::string& bytes) {
    mpz_init(z_);
    if (!bytes.empty()) mpz_import(z_, bytes.size(), -1, 1, 0, 0, bytes.data());
  }
  ~Mpz() { mpz_clear(z_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() { return z_; }
  mpz_srcptr get() const { return z_; }
  // The normalised BigNum form: fewest 32-bit words, at least one.
  std::string Bytes() const {
    size_t count = 0;
    std::string out((mpz_sizeinbase(z_, 2) + 7) / 8 + 4, '\0');
    mpz_export(out.data(), &count, -1, 1, 0, 0, z_);
    out.resize(std::max<size_t>(4, (count + 3) / 4 * 4));
    return out;
  }

 private:
  mpz_t z_;
};

// Operands of many shapes: random words, runs of all-ones and zero words, single bits, and
// ragged high zero words that must not change the value.
class OperandMaker {
 public:
  explicit OperandMaker(uint64_t seed) : rng_(seed) {}

  std::string Make(size_t max_words) {
    size_t words = Below(max_words + 1);
    std::string out;
    const int shape = static_cast<int>(Below(8));
    for (size_t i = 0; i < words; ++i) {
      uint32_t w;
      switch (shape) {
        case 0:
          w = 0xFFFFFFFFu;
          break;
        case 1:
          w = Below(4) == 0 ? 0 : Word();
          break;
        case 2:
          w = Below(3) == 0 ? 0xFFFFFFFFu : (Below(2) ? 0x80000000u : Word());
          break;
        case 3:
          w = i + 1 == words ? 1u << Below(32) : 0;  // a power of two
          break;
        default:
          w = Word();
      }
      AppendLe32(out, w);
    }
    if (Below(5) == 0) out.append(4 * (1 + Below(3)), '\0');  // high zero words
    return out;
  }

  uint64_t Below(uint64_t n) { return n == 0 ? 0 : rng_() % n; }
  uint32_t Word() { return static_cast<uint32_t>(rng_()); }

 private:
  std::mt19937_64 rng_;
};

template <typename Ops>
class BigOpsVsGmp : public testing::Test {};

// 32-bit limbs (the i686 build), 64-bit limbs in portable code, and 64-bit limbs with the
// MULX/ADX loop where this CPU has it.
using LimbWidths =
    testing::Types<bignum_detail::BigOps<uint32_t>, bignum_detail::BigOps<uint64_t, false>,
                   bignum_detail::BigOps<uint64_t, true>>;
TYPED_TEST_SUITE(BigOpsVsGmp, LimbWidths);

std::string Hex(const std::string& b) { return HexText(b); }

TYPED_TEST(BigOpsVsGmp, AddSubtractMultiplyCompare) {
  using Ops = TypeParam;
  OperandMaker maker(1);
  for (int i = 0; i < 3000; ++i) {
    // Mostly small, some across the Karatsuba thresholds (up to three recursion levels).
    const size_t max_words = i % 30 == 0 ? 700 : (i % 3 == 0 ? 160 : 12);
    const std::string a = maker.Make(max_words), b = maker.Make(max_words);
    Mpz za(a), zb(b), r;
    SCOPED_TRACE("a=" + Hex(a) + " b=" + Hex(b));
    mpz_add(r.get(), za.get(), zb.get());
    ASSERT_EQ(Ops::Add(a, b), r.Bytes());
    mpz_mul(r.get(), za.get(), zb.get());
    ASSERT_EQ(Ops::Multiply(a, b), r.Bytes());
    ASSERT_EQ(Ops::Multiply(a, a), Ops::Multiply(a, std::string(a) + std::string(4, '\0')));
    mpz_mul(r.get(), za.get(), za.get());
    ASSERT_EQ(Ops::Multiply(a, a), r.Bytes());  // the squaring path
    const int cmp = mpz_cmp(za.get(), zb.get());
    ASSERT_EQ(Ops::Compare(a, b), cmp < 0 ? -1 : (cmp > 0 ? 1 : 0));
    if (cmp >= 0) {
      mpz_sub(r.get(), za.get(), zb.get());
      ASSERT_EQ(Ops::Subtract(a, b), r.Bytes());
    } else {
      ASSERT_EQ(Ops::Subtract(a, b), std::string(4, '\0'));
    }
    ASSERT_EQ(Ops::BitLength(a),
              static_cast<int>(mpz_sgn(za.get()) ? mpz_sizeinbase(za.get(), 2) : 0));
  }
}

TYPED_TEST(BigOpsVsGmp, UnbalancedAndThresholdMultiply) {
  using Ops = TypeParam;
  OperandMaker maker(2);
  // Every length pair around the thresholds, then long-by-short products.
  for (size_t n = 1; n <= 420; n += (n < 100 ? 1 : 7)) {
    std::string a, b;
    for (size_t i = 0; i < n; ++i) AppendLe32(a, maker.Word());
    for (size_t i = 0; i < n; ++i) AppendLe32(b, maker.Below(2) ? 0xFFFFFFFFu : maker.Word());
    Mpz za(a), zb(b), r;
    mpz_mul(r.get(), za.get(), zb.get());
    ASSERT_EQ(Ops::Multiply(a, b), r.Bytes()) << n;
    mpz_mul(r.get(), zb.get(), zb.get());
    ASSERT_EQ(Ops::Multiply(b, b), r.Bytes()) << n;
  }
  for (int i = 0; i < 200; ++i) {
    const std::string a = maker.Make(1200), b = maker.Make(300);
    Mpz za(a), zb(b), r;
    mpz_mul(r.get(), za.get(), zb.get());
    ASSERT_EQ(Ops::Multiply(a, b), r.Bytes());
  }
}

TYPED_TEST(BigOpsVsGmp, DivideAndRemainder) {
  using Ops = TypeParam;
  OperandMaker maker(3);
  for (int i = 0; i < 6000; ++i) {
    const size_t max_words = i % 10 == 0 ? 300 : 16;
    std::string a = maker.Make(max_words), m = maker.Make(i % 4 == 0 ? max_words : max_words / 2);
    if (i % 7 == 0) m = maker.Make(max_words + 10);  // divisor often longer than dividend
    Mpz za(a), zm(m), q, r;
    SCOPED_TRACE("a=" + Hex(a) + " m=" + Hex(m));
    std::string qq, rr;
    Ops::Divide(a, m, qq, rr);
    if (mpz_sgn(zm.get()) == 0) {
      ASSERT_EQ(qq, std::string(4, '\0'));
      ASSERT_EQ(rr, za.Bytes());
      ASSERT_EQ(Ops::Mod(a, m), za.Bytes());
      continue;
    }
    mpz_tdiv_qr(q.get(), r.get(), za.get(), zm.get());
    ASSERT_EQ(qq, q.Bytes());
    ASSERT_EQ(rr, r.Bytes());
    ASSERT_EQ(Ops::Mod(a, m), r.Bytes());
  }
}

TYPED_TEST(BigOpsVsGmp, DivisionCorrectionSteps) {
  using Ops = TypeParam;
  // Operands that need the rare "add back" step of Knuth's algorithm (Hacker's Delight, divmnu
  // test cases, scaled to both limb widths), and quotient digits of all ones.
  std::vector<std::pair<std::vector<uint32_t>, std::vector<uint32_t>>> cases = {
      {{3, 0, 0x80000000}, {1, 0, 0x20000000}},
      {{3, 0, 0, 0, 0, 0x80000000}, {1, 0, 0, 0, 0, 0x20000000}},
      {{0, 0, 0x8000, 0x7FFF}, {1, 0, 0x8000}},
      {{0, 0xFFFE, 0x8000}, {0xFFFF, 0x8000}},
      {{0, 0, 0, 0x80000000, 0x7FFFFFFF}, {1, 0, 0x80000000}},
      {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFFFFFFFF, 1}},
      {{0, 0, 0, 0, 0xFFFFFFFE, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
  };
  for (const auto& [uw, vw] : cases) {
    std::string u, v;
    for (uint32_t w : uw) AppendLe32(u, w);
    for (uint32_t w : vw) AppendLe32(v, w);
    Mpz zu(u), zv(v), q, r;
    mpz_tdiv_qr(q.get(), r.get(), zu.get(), zv.get());
    std::string qq, rr;
    Ops::Divide(u, v, qq, rr);
    EXPECT_EQ(qq, q.Bytes()) << Hex(u) << " / " << Hex(v);
    EXPECT_EQ(rr, r.Bytes()) << Hex(u) << " / " << Hex(v);
  }
}

TYPED_TEST(BigOpsVsGmp, ShiftsDecimalAndText) {
  using Ops = TypeParam;
  OperandMaker maker(4);
  for (int i = 0; i < 3000; ++i) {
    const std::string a = maker.Make(i % 10 == 0 ? 100 : 10);
    Mpz za(a), r;
    mpz_tdiv_q_2exp(r.get(), za.get(), 1);
    ASSERT_EQ(Ops::ShiftRight1(a), r.Bytes());
    mpz_mul_2exp(r.get(), za.get(), 1);
    ASSERT_EQ(Ops::Double(a), r.Bytes());
    char* text = mpz_get_str(nullptr, 10, za.get());
    ASSERT_EQ(Ops::ToDecimal(a), text);
    ASSERT_EQ(Ops::FromDecimal(text), za.Bytes());
    void (*freefunc)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freefunc);
    freefunc(text, strlen(text) + 1);
  }
}

TYPED_TEST(BigOpsVsGmp, GcdAndInverse) {
  using Ops = TypeParam;
  OperandMaker maker(5);
  for (int i = 0; i < 2000; ++i) {
    const size_t max_words = i % 40 == 0 ? 80 : 8;
    std::string a = maker.Make(max_words), b = maker.Make(max_words);
    if (i % 5 == 0) b = Ops::Multiply(b, maker.Make(3));  // shared factors
    if (i % 9 == 0) b = Ops::Word(maker.Word());          // one-word operand
    Mpz za(a), zb(b), r;
    SCOPED_TRACE("a=" + Hex(a) + " b=" + Hex(b));
    mpz_gcd(r.get(), za.get(), zb.get());
    ASSERT_EQ(Ops::Gcd(a, b), r.Bytes());
    bool exists = true;
    const std::string d = Ops::ModInverse(a, b, exists);
    if (mpz_sgn(zb.get()) == 0) {
      ASSERT_FALSE(exists);
      continue;
    }
    if (mpz_cmp_ui(zb.get(), 1) == 0) {
      ASSERT_TRUE(exists);
      ASSERT_EQ(d, std::string(4, '\0'));
      continue;
    }
    const bool gmp_exists = mpz_invert(r.get(), za.get(), zb.get()) != 0;
    ASSERT_EQ(exists, gmp_exists);
    if (exists) {
      ASSERT_EQ(d, r.Bytes());
    } else {
      ASSERT_EQ(d, std::string(4, '\0'));
    }
  }
}

TYPED_TEST(BigOpsVsGmp, PowerModulo) {
  using Ops = TypeParam;
  OperandMaker maker(6);
  for (int i = 0; i < 1500; ++i) {
    const size_t max_words = i % 100 == 0 ? 100 : (i % 10 == 0 ? 40 : 6);
    std::string base = maker.Make(max_words + 2), e = maker.Make(i % 3 == 0 ? max_words : 2),
                m = maker.Make(max_words);
    if (i % 2 == 0 && !m.empty()) m[0] |= 1;  // mostly odd moduli (the Montgomery path)
    Mpz zb(base), ze(e), zm(m), r;
    SCOPED_TRACE("b=" + Hex(base) + " e=" + Hex(e) + " m=" + Hex(m));
    const std::string got = Ops::PowMod(base, e, m);
    if (mpz_sgn(ze.get()) == 0) {
      ASSERT_EQ(got, Ops::Word(1));
    } else if (mpz_cmp_ui(zm.get(), 1) <= 0) {
      ASSERT_EQ(got, Ops::Word(0));
    } else {
      mpz_powm(r.get(), zb.get(), ze.get(), zm.get());
      ASSERT_EQ(got, r.Bytes());
    }
  }
}

TYPED_TEST(BigOpsVsGmp, PowerModuloLargeModuli) {
  using Ops = TypeParam;
  OperandMaker maker(7);
  // Full-size exponents at key sizes, odd and even moduli; 4096 bits crosses the thresholds.
  for (int words : {32, 48, 64, 96, 128}) {
    for (int odd = 0; odd < 2; ++odd) {
      std::string m, base, e;
      for (int i = 0; i < words; ++i)
        AppendLe32(m, maker.Word() | (i + 1 == words ? 0x80000000u : 0));
      for (int i = 0; i < words + 1; ++i) AppendLe32(base, maker.Word());
      for (int i = 0; i < (words > 64 ? 4 : words); ++i) AppendLe32(e, maker.Word());
      m[0] = static_cast<char>(odd ? (m[0] | 1) : (m[0] & ~1));
      Mpz zb(base), ze(e), zm(m), r;
      mpz_powm(r.get(), zb.get(), ze.get(), zm.get());
      EXPECT_EQ(Ops::PowMod(base, e, m), r.Bytes()) << words << " odd=" << odd;
    }
  }
}

// Montgomery products and squares of every size past the Karatsuba cross-overs against
// a b R^-1 mod m from GMP: whole 4-limb rows (the assembly loops) and ragged ones, and
// operands near all ones, whose carries run the length of a row.
TYPED_TEST(BigOpsVsGmp, MontgomeryProductsEverySize) {
  using K = typename TypeParam::K;
  using Vec = typename TypeParam::Vec;
  constexpr size_t kWordsPerLimb = sizeof(typename Vec::value_type) / 4;
  OperandMaker maker(9);
  for (size_t n = 1; n <= 140; ++n) {
    std::string m, a, b;
    for (size_t i = 0; i < n * kWordsPerLimb; ++i) {
      AppendLe32(m, maker.Word() | (i + 1 == n * kWordsPerLimb ? 0x80000000u : 0) | (i == 0));
      AppendLe32(a, n % 3 == 0 ? 0xFFFFFFFFu : maker.Word());
      AppendLe32(b, maker.Word());
    }
    Mpz zm(m), za(a), zb(b), rinv, want;
    mpz_mod(za.get(), za.get(), zm.get());
    mpz_mod(zb.get(), zb.get(), zm.get());
    mpz_setbit(rinv.get(), 32 * n * kWordsPerLimb);
    ASSERT_NE(mpz_invert(rinv.get(), rinv.get(), zm.get()), 0);
    auto limbs = [n](const Mpz& z) {
      Vec v = K::FromBytes(z.Bytes());
      v.resize(n, 0);
      return v;
    };
    const Vec vm = limbs(zm), va = limbs(za), vb = limbs(zb);
    typename K::Montgomery mont(vm);
    Vec out(n);
    mont.MulMont(out.data(), va.data(), vb.data());
    mpz_mul(want.get(), za.get(), zb.get());
    mpz_mul(want.get(), want.get(), rinv.get());
    mpz_mod(want.get(), want.get(), zm.get());
    ASSERT_EQ(K::ToBytes(out), want.Bytes()) << "product, " << n << " limbs";
    mont.SqrMont(out.data(), va.data());
    mpz_mul(want.get(), za.get(), za.get());
    mpz_mul(want.get(), want.get(), rinv.get());
    mpz_mod(want.get(), want.get(), zm.get());
    ASSERT_EQ(K::ToBytes(out), want.Bytes()) << "square, " << n << " limbs";
  }
}

// The public functions are the native width of the kernel; a sample confirms the wiring.
TEST(BigNumVsGmp, PublicInterface) {
  OperandMaker maker(8);
  for (int i = 0; i < 500; ++i) {
    const std::string a = maker.Make(20), b = maker.Make(12);
    Mpz za(a), zb(b), r, q;
    mpz_add(r.get(), za.get(), zb.get());
    ASSERT_EQ(BigAdd(a, b), r.Bytes());
    mpz_mul(r.get(), za.get(), zb.get());
    ASSERT_EQ(BigMultiply(a, b), r.Bytes());
    if (mpz_sgn(zb.get())) {
      mpz_tdiv_qr(q.get(), r.get(), za.get(), zb.get());
      BigNum qq, rr;
      BigDivide(a, b, qq, rr);
      ASSERT_EQ(qq, q.Bytes());
      ASSERT_EQ(rr, r.Bytes());
      ASSERT_EQ(BigMod(a, b), r.Bytes());
    }
    mpz_gcd(r.get(), za.get(), zb.get());
    ASSERT_EQ(BigGcd(a, b), r.Bytes());
    ASSERT_EQ(BigCoprime(a, b), mpz_cmp_ui(r.get(), 1) == 0);
    ASSERT_EQ(BigLessThan(a, b), mpz_cmp(za.get(), zb.get()) < 0);
    ASSERT_EQ(BigIsZero(a), mpz_sgn(za.get()) == 0);
    ASSERT_EQ(BigIsOdd(a), mpz_odd_p(za.get()) != 0);
    if (mpz_cmp_ui(zb.get(), 1) > 0 && mpz_sgn(za.get())) {
      mpz_powm(r.get(), za.get(), za.get(), zb.get());
      ASSERT_EQ(BigPowMod(a, a, b), r.Bytes());
    }
  }
}

// GMP's 25-round test as the oracle for ours on random odd numbers of many sizes.
TEST(BigNumVsGmp, ProbablePrimeAgreesWithGmp) {
  RandomContext ctx;
  OperandMaker maker(9);
  for (int i = 0; i < 3000; ++i) {
    std::string c = maker.Make(i % 10 == 0 ? 16 : 2);
    if (!c.empty()) c[0] |= 1;
    Mpz zc(c);
    const bool gmp = mpz_probab_prime_p(zc.get(), 25) != 0;
    ASSERT_EQ(IsProbablePrime(ctx, c, 10), gmp) << HexText(c);
    if (gmp && BigBitLength(c) > 14) {
      ASSERT_TRUE(TrialDivision(c)) << HexText(c);
    }
  }
}

using test::SeededSource;

// The search returns the first successor of its draw that passes trial division and is prime:
// replaying the same draw and walking the successors with TrialDivision and GMP must land on the
// same number (this checks the search's running residues against trial division).
TEST(BigNumVsGmp, RandomPrimeIsFirstPassingSuccessor) {
  for (int bits : {15, 20, 33, 64, 160, 300, 512}) {
    SeededSource source_a(bits), source_b(bits);
    RandomContext a(source_a), b(source_b);
    const BigNum p = RandomPrime(a, bits, 5);
    ASSERT_FALSE(p.empty()) << bits;
    EXPECT_EQ(BigBitLength(p), bits);
    BigNum c = BigSetBit(BigSetBit(RandomBits(b, bits), bits - 1), 0);
    const size_t length = 4 * ((static_cast<size_t>(bits) + 31) / 32);
    while (true) {
      c = BigAdd(c, BigFromWord(2));
      ASSERT_LE(BigBitLength(c), bits) << "walked past the top; redraw not replayed";
      BigNum padded = c;
      padded.resize(length, '\0');
      Mpz zc(c);
      if (TrialDivision(padded) && mpz_probab_prime_p(zc.get(), 25)) break;
    }
    EXPECT_EQ(p, c) << bits;
  }
}

}  // namespace
}  // namespace lq
