// The 52-bit vector exponentiation against GMP at every size it serves (edge bases and
// exponents included), the private operation on it against the limb path forced on the same
// key, and a 2048-bit round trip that runs on it where the CPU has it.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/bignum_ifma.h"
#include "crypto/bignum_kernel.h"
#include "crypto/rsa.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using Ct = bignum_detail::CtRsa<uint64_t, true>;
using Vec = Ct::Vec;

Vec FromMpz(mpz_srcptr z, size_t limbs) {
  Vec v(limbs + mpz_size(z), 0);
  size_t count = 0;
  mpz_export(v.data(), &count, -1, sizeof(uint64_t), 0, 0, z);
  v.resize(limbs);
  return v;
}

void ToMpz(mpz_ptr z, const Vec& v) { mpz_import(z, v.size(), -1, sizeof(uint64_t), 0, 0, v.data()); }

#if defined(LQ_BIGNUM_IFMA)

// x_j^e_j mod m_j through PowMod2, for both j at once.
void Pow2(const Vec (&x)[2], const Vec (&e)[2], const Vec (&m)[2], Vec (&out)[2]) {
  const size_t n = m[0].size();
  const int digits = bignum_detail::ifma::DigitsFor(n);
  const int w = Ct::K::CtWindowBits(e[0].size() * 64);
  Vec rr[2];
  for (int j = 0; j < 2; ++j) {
    typename Ct::Modulus mod;
    mod.Set(m[j]);
    rr[j] = Ct::Rr52(mod);
    out[j].assign(n, 0);
  }
  Vec scratch(bignum_detail::ifma::PowScratchWords(digits, w));
  uint64_t* const o[2] = {out[0].data(), out[1].data()};
  const uint64_t* const xs[2] = {x[0].data(), x[1].data()};
  const uint64_t* const es[2] = {e[0].data(), e[1].data()};
  const uint64_t* const ms[2] = {m[0].data(), m[1].data()};
  const uint64_t* const rs[2] = {rr[0].data(), rr[1].data()};
  const size_t en = e[0].size();
  using namespace bignum_detail::ifma;
  switch (digits) {
    case 10: PowMod2<10>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 15: PowMod2<15>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 20: PowMod2<20>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 30: PowMod2<30>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 40: PowMod2<40>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 79: PowMod2<79>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    case 158: PowMod2<158>(o, xs, es, en, ms, rs, n, w, scratch.data(), scratch.size()); break;
    default: FAIL() << n;
  }
}

TEST(IfmaPow, MatchesGmpAtEverySizeWithEdgeValues) {
  if (!bignum_detail::ifma::CpuHasIfma()) GTEST_SKIP() << "no AVX-512 IFMA on this CPU";
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 52);
  mpz_t m, x, e, r, t;
  mpz_inits(m, x, e, r, t, nullptr);
  for (size_t limbs : {8, 12, 16, 24, 32, 64, 128}) {
    const size_t bits = 64 * limbs;
    // The two largest (8192- and 16384-bit keys' halves) only with the full values: slow in
    // the debug build.
    for (int round = 0; round < (limbs < 64 ? 6 : 1); ++round) {
      Vec mv[2], xv[2], ev[2], out[2];
      std::vector<std::string> what;
      for (int j = 0; j < 2; ++j) {
        // Odd moduli with the top bit set; the second of round 0 is 2^bits - 1 (every digit full)
        // and of round 1 2^(bits-1) + 1.
        mpz_urandomb(m, state, bits);
        mpz_setbit(m, bits - 1);
        mpz_setbit(m, 0);
        if (round == 0 && j == 1) {
          mpz_set_ui(m, 0);
          mpz_setbit(m, bits);
          mpz_sub_ui(m, m, 1);
        }
        if (round == 1 && j == 1) {
          mpz_set_ui(m, 1);
          mpz_setbit(m, bits - 1);
        }
        // Bases 0, 1, m - 1, else random below m; exponents all ones, 0, 1, else random.
        mpz_urandomm(x, state, m);
        if (round == 2) mpz_set_ui(x, j);
        if (round == 3) mpz_sub_ui(x, m, 1);
        mpz_urandomb(e, state, bits);
        if (round == 0) {
          mpz_set_ui(e, 0);
          mpz_setbit(e, bits);
          mpz_sub_ui(e, e, 1);
        }
        if (round == 4) mpz_set_ui(e, j);
        if (round == 5) mpz_tdiv_q_2exp(e, e, bits / 2);  // leading zero windows
        mv[j] = FromMpz(m, limbs);
        xv[j] = FromMpz(x, limbs);
        ev[j] = FromMpz(e, limbs);
      }
      Pow2(xv, ev, mv, out);
      for (int j = 0; j < 2; ++j) {
        ToMpz(m, mv[j]);
        ToMpz(x, xv[j]);
        ToMpz(e, ev[j]);
        mpz_powm(r, x, e, m);
        ToMpz(t, out[j]);
        EXPECT_EQ(mpz_cmp(r, t), 0) << "limbs " << limbs << " round " << round << " half " << j;
      }
    }
  }
  mpz_clears(m, x, e, r, t, nullptr);
  gmp_randclear(state);
}

#endif  // LQ_BIGNUM_IFMA

// A 2048-bit key made with GMP: n, e, d as limbs.
struct Key2048 {
  Vec n, e, d;
};

Key2048 MakeKey(unsigned long seed, int bits) {
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, seed);
  mpz_t p, q, n, phi, e, d;
  mpz_inits(p, q, n, phi, e, d, nullptr);
  for (mpz_ptr z : {p, q}) {
    mpz_urandomb(z, state, bits / 2);
    mpz_setbit(z, bits / 2 - 1);
    mpz_setbit(z, bits / 2 - 2);
    mpz_nextprime(z, z);
  }
  mpz_mul(n, p, q);
  mpz_sub_ui(p, p, 1);
  mpz_sub_ui(q, q, 1);
  mpz_mul(phi, p, q);
  mpz_set_ui(e, 0x10001);
  while (mpz_invert(d, e, phi) == 0) mpz_add_ui(e, e, 2);
  const size_t limbs = static_cast<size_t>(bits) / 64;
  Key2048 key{FromMpz(n, limbs), FromMpz(e, 1), FromMpz(d, limbs)};
  mpz_clears(p, q, n, phi, e, d, nullptr);
  gmp_randclear(state);
  return key;
}

// The private operation on the vector path equals the limb path forced on the same key (the
// override a CPU without it takes), for 2048- and 4096-bit keys and edge inputs.
TEST(IfmaPow, PrivateOperationEqualsTheLimbPath) {
  for (int bits : {2048, 4096}) {
    const Key2048 key = MakeKey(static_cast<unsigned long>(bits), bits);
    Ct::Key vec, limb;
    Vec seed(key.n);
    seed[0] ^= 0x2545F491;
    ASSERT_TRUE(Ct::Prepare(vec, key.n, key.d, key.e, seed));
    ASSERT_TRUE(Ct::Prepare(limb, key.n, key.d, key.e, seed));
    ASSERT_TRUE(vec.crt && vec.blinded);
    EXPECT_EQ(vec.ifma, bignum_detail::ifma::CpuHasIfma()) << bits;
    limb.ifma = false;
    std::mt19937_64 rng(bits);
    Vec n1(key.n);
    n1[0] -= 1;
    std::vector<Vec> inputs = {Vec(key.n.size(), 0), Vec{1}, n1};
    for (int i = 0; i < 4; ++i) {
      Vec c(key.n.size());
      for (auto& l : c) l = rng();
      c.back() >>= 2;
      inputs.push_back(c);
    }
    for (const Vec& c : inputs) {
      Vec a = Ct::Apply(vec, c), b = Ct::Apply(limb, c);
      Ct::K::Trim(a);
      Ct::K::Trim(b);
      EXPECT_EQ(a, b) << bits;
    }
  }
}

// Encrypt and decrypt at 2048 bits through the prepared key, which takes the vector path on a
// CPU that has it.
TEST(IfmaPow, RoundTripAt2048Bits) {
  const Key2048 k = MakeKey(7, 2048);
  auto bytes = [](const Vec& v) { return Ct::K::ToBytes(v); };
  const RsaKey pub{2048, bytes(k.n), bytes(k.e)}, priv{2048, bytes(k.n), bytes(k.d)};
  RandomContext ctx;
  test::RecordingUi ui;
  RsaPrivateKey prepared;
  ASSERT_TRUE(prepared.Prepare(ctx, priv, bytes(k.e)));
  EXPECT_TRUE(prepared.UsesCrt());
  EXPECT_EQ(prepared.UsesVectorPath(), bignum_detail::ifma::CpuHasIfma());
  const std::string payload(32, '\x5c');
  for (int i = 0; i < 3; ++i) {
    const BigNum c = RsaEncrypt(ctx, ui, payload, pub);
    EXPECT_EQ(RsaDecrypt(c, priv, prepared), payload);
  }
}

}  // namespace
}  // namespace lq
