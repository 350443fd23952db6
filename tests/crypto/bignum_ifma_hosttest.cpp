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
  ASSERT_TRUE(bignum_detail::ifma::PowMod2Limbs(o, xs, es, e[0].size(), ms, rs, n, w,
                                                scratch.data(), scratch.size()));
}

TEST(IfmaPow, MatchesGmpAtEverySizeWithEdgeValues) {
  if (!bignum_detail::ifma::CpuHasIfma()) GTEST_SKIP() << "no AVX-512 IFMA on this CPU";
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 52);
  mpz_t m[2], x[2], e[2], r;
  for (int j = 0; j < 2; ++j) mpz_inits(m[j], x[j], e[j], nullptr);
  mpz_init(r);
  auto all_ones = [](mpz_ptr z, size_t bits) {
    mpz_set_ui(z, 1);
    mpz_mul_2exp(z, z, bits);
    mpz_sub_ui(z, z, 1);
  };
  for (size_t limbs : {8, 12, 16, 24, 32, 64, 128}) {
    const size_t bits = 64 * limbs;
    // The two largest (8192- and 16384-bit keys' halves) once, the largest with a short
    // exponent: slow in the debug build.
    const size_t ebits = limbs < 128 ? bits : 128;
    for (int round = 0; round < (limbs < 64 ? 6 : 1); ++round) {
      Vec mv[2], xv[2], ev[2], out[2];
      for (int j = 0; j < 2; ++j) {
        // Odd moduli with the top bit set, in round 0 2^bits - 1 (every digit full), in round 1
        // 2^(bits-1) + 1; bases random, 0 and 1, m - 1; exponents random, all ones, 0 and 1,
        // half length (leading zero windows).
        mpz_urandomb(m[j], state, bits);
        mpz_setbit(m[j], bits - 1);
        mpz_setbit(m[j], 0);
        if (round == 0 && j == 1) all_ones(m[j], bits);
        if (round == 1 && j == 1) mpz_set_ui(m[j], 1), mpz_setbit(m[j], bits - 1);
        mpz_urandomm(x[j], state, m[j]);
        if (round == 2) mpz_set_ui(x[j], j);
        if (round == 3) mpz_sub_ui(x[j], m[j], 1);
        mpz_urandomb(e[j], state, ebits);
        if (round == 0) all_ones(e[j], ebits);
        if (round == 4) mpz_set_ui(e[j], j);
        if (round == 5) mpz_tdiv_q_2exp(e[j], e[j], ebits / 2);
        mv[j] = FromMpz(m[j], limbs);
        xv[j] = FromMpz(x[j], limbs);
        ev[j] = FromMpz(e[j], ebits / 64);
      }
      Pow2(xv, ev, mv, out);
      for (int j = 0; j < 2; ++j) {
        mpz_powm(r, x[j], e[j], m[j]);
        EXPECT_EQ(out[j], FromMpz(r, limbs)) << "limbs " << limbs << " round " << round;
      }
    }
  }
  for (int j = 0; j < 2; ++j) mpz_clears(m[j], x[j], e[j], nullptr);
  mpz_clear(r);
  gmp_randclear(state);
}

#endif  // LQ_BIGNUM_IFMA

// On one 2048-bit key made with GMP: the private operation on the vector path equals the limb
// path forced on the same key (the override a CPU without it takes), edge inputs included; and
// encryption and decryption through the prepared key, on the vector path where the CPU has it.
TEST(IfmaPow, PrivateOperationAt2048BitsEqualsTheLimbPathAndRoundTrips) {
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 2048);
  mpz_t p, q, z, phi;
  mpz_inits(p, q, z, phi, nullptr);
  for (mpz_ptr f : {p, q}) {
    mpz_urandomb(f, state, 1024);
    mpz_setbit(f, 1023);
    mpz_setbit(f, 1022);
    mpz_nextprime(f, f);
  }
  mpz_mul(z, p, q);
  const Vec n = FromMpz(z, 32), e{0x10001};
  mpz_sub_ui(p, p, 1);
  mpz_sub_ui(q, q, 1);
  mpz_mul(phi, p, q);
  mpz_set_ui(z, e[0]);
  ASSERT_NE(mpz_invert(z, z, phi), 0);
  const Vec d = FromMpz(z, 32);
  mpz_clears(p, q, z, phi, nullptr);
  gmp_randclear(state);

  Ct::Key vec, limb;
  Vec seed(n);
  seed[0] ^= 0x2545F491;
  ASSERT_TRUE(Ct::Prepare(vec, n, d, e, seed));
  ASSERT_TRUE(Ct::Prepare(limb, n, d, e, seed));
  ASSERT_TRUE(vec.crt && vec.blinded);
  EXPECT_EQ(vec.ifma, bignum_detail::ifma::CpuHasIfma());
  limb.ifma = false;
  std::mt19937_64 rng(5);
  Vec n1(n);
  n1[0] -= 1;
  std::vector<Vec> inputs = {Vec(n.size(), 0), Vec{1}, n1};
  for (int i = 0; i < 4; ++i) {
    Vec c(n.size());
    for (auto& l : c) l = rng();
    c.back() >>= 2;
    inputs.push_back(c);
  }
  for (const Vec& c : inputs) {
    Vec a = Ct::Apply(vec, c), b = Ct::Apply(limb, c);
    Ct::K::Trim(a);
    Ct::K::Trim(b);
    EXPECT_EQ(a, b);
  }

  const RsaKey pub{2048, Ct::K::ToBytes(n), Ct::K::ToBytes(e)};
  const RsaKey priv{2048, pub.modulus, Ct::K::ToBytes(d)};
  RandomContext ctx;
  test::RecordingUi ui;
  RsaPrivateKey prepared;
  ASSERT_TRUE(prepared.Prepare(ctx, priv, pub.exponent));
  EXPECT_EQ(prepared.UsesVectorPath(), bignum_detail::ifma::CpuHasIfma());
  const std::string payload(32, '\x5c');
  EXPECT_EQ(RsaDecrypt(RsaEncrypt(ctx, ui, payload, pub), priv, prepared), payload);
}

}  // namespace
}  // namespace lq
