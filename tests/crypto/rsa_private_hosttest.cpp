// The constant-time private operation against GMP: CRT with recovered primes, blinding, the
// plain path without e, refused or inconsistent keys, on every limb width the builds use.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "crypto/bignum.h"
#include "crypto/bignum_kernel.h"
#include "crypto/rsa.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

class Z {
 public:
  Z() { mpz_init(z_); }
  explicit Z(const std::string& bytes) {
    mpz_init(z_);
    if (!bytes.empty()) mpz_import(z_, bytes.size(), -1, 1, 0, 0, bytes.data());
  }
  ~Z() { mpz_clear(z_); }
  Z(const Z&) = delete;
  Z& operator=(const Z&) = delete;
  mpz_ptr get() { return z_; }
  mpz_srcptr get() const { return z_; }
  // Little-endian bytes, whole 32-bit words, at least one (the BigNum form).
  std::string Bytes() const {
    std::string out((mpz_sizeinbase(z_, 2) + 7) / 8 + 8, '\0');
    size_t count = 0;
    mpz_export(out.data(), &count, -1, 1, 0, 0, z_);
    count = (count + 3) / 4 * 4;
    out.resize(count == 0 ? 4 : count);
    return out;
  }

 private:
  mpz_t z_;
};

// A key made by GMP: primes of `pbits` and `qbits` bits, a random odd e below 2^24, d from phi
// or, with `lambda`, from lcm(p - 1, q - 1) (both are keys: e d = 1 mod lambda).
struct GmpKey {
  std::string n, e, d, p, q;
};

GmpKey MakeKey(std::mt19937_64& rng, int pbits, int qbits, bool lambda = false) {
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, rng());
  Z p, q, n, phi, p1, q1, e, d;
  auto prime = [&](Z& out, int bits) {
    mpz_urandomb(out.get(), state, bits);
    mpz_setbit(out.get(), bits - 1);
    mpz_nextprime(out.get(), out.get());
  };
  do {
    prime(p, pbits);
    prime(q, qbits);
  } while (mpz_cmp(p.get(), q.get()) == 0);
  mpz_mul(n.get(), p.get(), q.get());
  mpz_sub_ui(p1.get(), p.get(), 1);
  mpz_sub_ui(q1.get(), q.get(), 1);
  if (lambda) {
    mpz_lcm(phi.get(), p1.get(), q1.get());
  } else {
    mpz_mul(phi.get(), p1.get(), q1.get());
  }
  do {
    mpz_set_ui(e.get(), (rng() & 0xFFFFFF) | 3);
  } while (mpz_invert(d.get(), e.get(), phi.get()) == 0);
  gmp_randclear(state);
  return {n.Bytes(), e.Bytes(), d.Bytes(), p.Bytes(), q.Bytes()};
}

std::string PowGmp(const std::string& c, const std::string& d, const std::string& n) {
  Z zc(c), zd(d), zn(n), r;
  mpz_powm(r.get(), zc.get(), zd.get(), zn.get());
  return r.Bytes();
}

std::string RandomBelow(std::mt19937_64& rng, const std::string& n) {
  Z zn(n), r;
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, rng());
  mpz_urandomm(r.get(), state, zn.get());
  gmp_randclear(state);
  return r.Bytes();
}

template <typename Ops>
class CtRsaVsGmp : public testing::Test {};

template <typename L, bool kAsm>
struct Width {
  using Ct = bignum_detail::CtRsa<L, kAsm>;
  using B = bignum_detail::BigOps<L, kAsm>;
};
using Widths = testing::Types<Width<uint32_t, true>, Width<uint64_t, false>, Width<uint64_t, true>>;
TYPED_TEST_SUITE(CtRsaVsGmp, Widths);

TYPED_TEST(CtRsaVsGmp, CrtWithBlindingMatchesThePlainPower) {
  using Ct = typename TypeParam::Ct;
  using B = typename TypeParam::B;
  std::mt19937_64 rng(19);
  struct Size {
    int p, q;
    bool lambda;
  };
  // Equal primes, primes of different limb counts (q shorter and longer), d from lambda, and a
  // size past the Karatsuba cross-over for products mod n.
  for (const Size sz : {Size{144, 144, false}, Size{256, 256, true}, Size{320, 200, false},
                        Size{200, 330, false}, Size{1040, 1030, false}, Size{2100, 2080, true}}) {
    const GmpKey key = MakeKey(rng, sz.p, sz.q, sz.lambda);
    typename Ct::Key k;
    typename Ct::Vec seed = B::In(RandomBelow(rng, key.n + key.n));
    ASSERT_TRUE(Ct::Prepare(k, B::In(key.n), B::In(key.d), B::In(key.e), seed));
    EXPECT_TRUE(k.crt) << sz.p;
    EXPECT_TRUE(k.blinded) << sz.p;
    const std::string p = B::Out(k.p.m), q = B::Out(k.q.m);
    EXPECT_TRUE((p == key.p && q == key.q) || (p == key.q && q == key.p)) << sz.p;
    std::vector<std::string> inputs = {std::string(4, '\0'), B::Word(1), B::Word(2)};
    Z n1(key.n);
    mpz_sub_ui(n1.get(), n1.get(), 1);
    inputs.push_back(n1.Bytes());
    for (int i = 0; i < 6; ++i) inputs.push_back(RandomBelow(rng, key.n));
    for (const std::string& c : inputs) {
      EXPECT_EQ(B::Out(Ct::Apply(k, B::In(c))), PowGmp(c, key.d, key.n)) << sz.p;
    }
  }
}

TYPED_TEST(CtRsaVsGmp, PlainPathWithoutOrWithAWrongExponent) {
  using Ct = typename TypeParam::Ct;
  using B = typename TypeParam::B;
  std::mt19937_64 rng(20);
  const GmpKey key = MakeKey(rng, 300, 300);
  Z wrong(key.e);
  mpz_add_ui(wrong.get(), wrong.get(), 2);
  for (const std::string& e : {std::string(), wrong.Bytes()}) {
    typename Ct::Key k;
    ASSERT_TRUE(Ct::Prepare(k, B::In(key.n), B::In(key.d), B::In(e), B::In(key.n)));
    EXPECT_FALSE(k.crt);
    EXPECT_FALSE(k.blinded);
    for (int i = 0; i < 4; ++i) {
      const std::string c = RandomBelow(rng, key.n);
      EXPECT_EQ(B::Out(Ct::Apply(k, B::In(c))), PowGmp(c, key.d, key.n));
    }
  }
  // Even moduli and one are refused; the caller takes the plain route.
  typename Ct::Key k;
  EXPECT_FALSE(Ct::Prepare(k, B::In(B::Word(1000)), B::In(key.d), {}, {}));
  EXPECT_FALSE(Ct::Prepare(k, B::In(B::Word(1)), B::In(key.d), {}, {}));
  EXPECT_FALSE(Ct::Prepare(k, {}, B::In(key.d), {}, {}));
}

TYPED_TEST(CtRsaVsGmp, ThreePrimeModulusIsNotSplitWrongly) {
  using Ct = typename TypeParam::Ct;
  using B = typename TypeParam::B;
  // n = p q r with e d = 1 mod phi: recovery finds a factor, but p q != n or the round trip
  // fails, so the plain path is kept and answers are still right.
  Z p, q, r, n, phi, t, e, d;
  mpz_set_str(p.get(), "340282366920938463463374607431768211507", 10);
  mpz_set_str(q.get(), "340282366920938463463374607431768211537", 10);
  mpz_set_str(r.get(), "340282366920938463463374607431768211621", 10);
  mpz_mul(n.get(), p.get(), q.get());
  mpz_mul(n.get(), n.get(), r.get());
  mpz_sub_ui(phi.get(), p.get(), 1);
  mpz_sub_ui(t.get(), q.get(), 1);
  mpz_mul(phi.get(), phi.get(), t.get());
  mpz_sub_ui(t.get(), r.get(), 1);
  mpz_mul(phi.get(), phi.get(), t.get());
  mpz_set_ui(e.get(), 65537);
  ASSERT_NE(mpz_invert(d.get(), e.get(), phi.get()), 0);
  typename Ct::Key k;
  ASSERT_TRUE(
      Ct::Prepare(k, B::In(n.Bytes()), B::In(d.Bytes()), B::In(e.Bytes()), B::In(n.Bytes())));
  std::mt19937_64 rng(21);
  for (int i = 0; i < 4; ++i) {
    const std::string c = RandomBelow(rng, n.Bytes());
    EXPECT_EQ(B::Out(Ct::Apply(k, B::In(c))), PowGmp(c, d.Bytes(), n.Bytes()));
  }
}

// The product's prepared key: CRT and blinding from the public exponent, primes as generated,
// results equal to the plain power, and a changed key no longer matches.
TEST(RsaPrivateKey, PreparedFromGeneratedKeys) {
  RandomContext ctx;
  test::RecordingUi ui;
  for (int bits : {288, 512, 1024}) {
    RsaKeyPair pair;
    RsaPrimes primes;
    ASSERT_TRUE(RsaGenerateKeyPair(ctx, ui, bits, 5, pair, {}, {}, &primes));
    const RsaKey priv{bits, pair.n, pair.d}, pub{bits, pair.n, pair.e};
    RsaPrivateKey prepared;
    ASSERT_TRUE(prepared.Prepare(ctx, priv, pair.e));
    EXPECT_TRUE(prepared.UsesCrt());
    EXPECT_TRUE(prepared.Blinded());
    const RsaPrimes found = prepared.Primes();
    EXPECT_TRUE((found.p == primes.p && found.q == primes.q) ||
                (found.p == primes.q && found.q == primes.p));
    EXPECT_TRUE(prepared.Matches(priv, pair.e));
    EXPECT_FALSE(prepared.Matches(priv, BigAdd(pair.e, BigFromWord(2))));
    EXPECT_FALSE(prepared.Matches(RsaKey{bits, pair.n, BigAdd(pair.d, BigFromWord(1))}, pair.e));
    size_t secrets = 0;
    prepared.ForEachSecret([&](void*, size_t bytes) { secrets += bytes; });
    EXPECT_GE(secrets, static_cast<size_t>(bits / 8) * 3);
    const Bytes session_key(32, '\x33');
    for (int i = 0; i < 3; ++i) {
      const BigNum c = RsaEncrypt(ctx, ui, session_key, pub);
      EXPECT_EQ(RsaDecrypt(c, priv, prepared), session_key) << bits;
      EXPECT_EQ(RsaDecrypt(c, priv), session_key) << bits;
      EXPECT_EQ(prepared.Apply(c), BigPowMod(c, pair.d, pair.n));
      const BigNum sig = RsaSign(ctx, ui, "signed data", priv, prepared);
      EXPECT_TRUE(RsaVerify("signed data", sig, pub)) << bits;
      EXPECT_FALSE(RsaVerify("other data", sig, pub)) << bits;
    }
    RsaPrivateKey plain;
    ASSERT_TRUE(plain.Prepare(priv));
    EXPECT_FALSE(plain.UsesCrt());
    EXPECT_FALSE(plain.Blinded());
    EXPECT_TRUE(plain.Primes().p.empty());
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

TYPED_TEST(CtRsaVsGmp, PrimesComeStraightFromPhiForKeysLikeOurs) {
  using Ct = typename TypeParam::Ct;
  using B = typename TypeParam::B;
  using K = typename Ct::K;
  std::mt19937_64 rng(22);
  for (int bits : {128, 260, 512}) {
    const GmpKey key = MakeKey(rng, bits, bits);
    typename Ct::Vec ed = K::MulVec(B::In(key.e), B::In(key.d)), p, q;
    K::Sub1(ed.data(), ed.data(), ed.size(), 1);
    K::Trim(ed);
    ASSERT_TRUE(Ct::PrimesFromPhi(B::In(key.n), ed, p, q)) << bits;
    EXPECT_TRUE((B::Out(p) == key.p && B::Out(q) == key.q) ||
                (B::Out(p) == key.q && B::Out(q) == key.p));
    // A wrong e d - 1 is no phi multiple: refused, never a wrong split.
    K::Sub1(ed.data(), ed.data(), ed.size(), 2);
    EXPECT_FALSE(Ct::PrimesFromPhi(B::In(key.n), ed, p, q)) << bits;
  }
}

}  // namespace
}  // namespace lq
