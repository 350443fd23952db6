// Generated keys and RSA results checked against GMP (primality, e d = 1 mod phi, power modulo)
// and OpenSSL's SHA-256, independently of our own big-integer code.
#include <gmp.h>
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <random>
#include <string>

#include "crypto/bignum.h"
#include "crypto/rsa.h"
#include "support/recording_ui.h"
#include "support/scripted_random.h"

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
  // Little-endian bytes, zero-extended to `length`.
  std::string Bytes(size_t length) const {
    std::string out(std::max(length, (mpz_sizeinbase(z_, 2) + 7) / 8 + 1), '\0');
    size_t count = 0;
    mpz_export(out.data(), &count, -1, 1, 0, 0, z_);
    out.resize(std::max(length, count));
    return out;
  }

 private:
  mpz_t z_;
};

using SeededSource = test::SeededSource64;

// The system's digest from OpenSSL's: the same state words, each written least significant
// byte first (valid for inputs whose length mod 64 is not 55, where the padding differs).
std::string SystemDigestByOpenSsl(const std::string& data) {
  unsigned char out[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), out);
  std::string digest(reinterpret_cast<char*>(out), sizeof out);
  for (size_t i = 0; i < digest.size(); i += 4)
    std::reverse(digest.begin() + i, digest.begin() + i + 4);
  return digest;
}

// Checks one generated pair with GMP alone.
void CheckPair(const RsaKeyPair& pair, const RsaPrimes& primes, int bits) {
  Z p(primes.p), q(primes.q), n(pair.n), e(pair.e), d(pair.d);
  EXPECT_EQ(mpz_probab_prime_p(p.get(), 40), 1);  // 1: probably prime (0 would be composite)
  EXPECT_EQ(mpz_probab_prime_p(q.get(), 40), 1);
  EXPECT_EQ(mpz_sizeinbase(p.get(), 2), static_cast<size_t>(bits / 2));
  EXPECT_EQ(mpz_sizeinbase(q.get(), 2), static_cast<size_t>(bits / 2));
  EXPECT_NE(mpz_cmp(p.get(), q.get()), 0);
  Z product;
  mpz_mul(product.get(), p.get(), q.get());
  EXPECT_EQ(mpz_cmp(product.get(), n.get()), 0);
  Z p1, q1, phi, g, ed;
  mpz_sub_ui(p1.get(), p.get(), 1);
  mpz_sub_ui(q1.get(), q.get(), 1);
  mpz_mul(phi.get(), p1.get(), q1.get());
  mpz_gcd(g.get(), e.get(), phi.get());
  EXPECT_EQ(mpz_cmp_ui(g.get(), 1), 0);
  EXPECT_GE(mpz_cmp_ui(e.get(), 3), 0);
  EXPECT_LT(mpz_cmp_ui(e.get(), 1u << 24), 0);
  EXPECT_LT(mpz_cmp(d.get(), phi.get()), 0);
  mpz_mul(ed.get(), e.get(), d.get());
  mpz_mod(ed.get(), ed.get(), phi.get());
  EXPECT_EQ(mpz_cmp_ui(ed.get(), 1), 0);
}

TEST(RsaVsGmp, GeneratedKeysAreSound) {
  for (int bits : {288, 512, 768, 1024}) {
    for (uint64_t seed = 1; seed <= 3; ++seed) {
      SeededSource source(seed * 1000 + static_cast<uint64_t>(bits));
      RandomContext ctx(source);
      RsaKeyPair pair;
      RsaPrimes primes;
      ASSERT_TRUE(RsaGenerateKeyPair(ctx, NullTrace(), bits, kRsaKeyRounds, pair, {}, {}, &primes));
      SCOPED_TRACE(testing::Message() << bits << " bits, seed " << seed);
      CheckPair(pair, primes, bits);
    }
  }
}

TEST(RsaVsGmp, BlocksAndPowersAgree) {
  SeededSource source(77);
  RandomContext ctx(source);
  test::RecordingUi ui;
  for (int bits : {288, 1024}) {
    RsaKeyPair pair;
    ASSERT_TRUE(RsaGenerateKeyPair(ctx, NullTrace(), bits, kRsaKeyRounds, pair));
    const RsaKey pub{bits, pair.n, pair.e}, priv{bits, pair.n, pair.d};
    Z n(pair.n), e(pair.e), d(pair.d);
    const size_t k = static_cast<size_t>(bits) / 8;

    // Our ciphertext opened with GMP: the block is payload, filler, zero top byte.
    std::string payload(32, '\0');
    for (size_t i = 0; i < 32; ++i) payload[i] = static_cast<char>(0xF0 ^ (i * 11));
    Z c(RsaEncrypt(ctx, ui, payload, pub)), m;
    mpz_powm(m.get(), c.get(), d.get(), n.get());
    const std::string block = m.Bytes(k);
    ASSERT_EQ(block.size(), k);
    EXPECT_EQ(block.substr(0, 32), payload);
    EXPECT_EQ(block[k - 1], '\0');

    // A block made and encrypted by GMP opened with ours.
    std::string theirs = payload;
    theirs[0] ^= 0x55;
    theirs += std::string(k - 33, '\xA5') + std::string(1, '\0');
    Z tm(theirs), tc;
    mpz_powm(tc.get(), tm.get(), e.get(), n.get());
    EXPECT_EQ(RsaDecrypt(tc.Bytes(0), priv), theirs.substr(0, 32));

    // Our signature checked with GMP and OpenSSL's digest; GMP's signature checked with ours.
    const std::string data = "the quick brown fox";
    Z s(RsaSign(ctx, ui, data, priv)), sm;
    mpz_powm(sm.get(), s.get(), e.get(), n.get());
    EXPECT_EQ(sm.Bytes(k).substr(0, 32), SystemDigestByOpenSsl(data));
    std::string sig_block =
        SystemDigestByOpenSsl(data) + std::string(k - 33, '\x01') + std::string(1, '\0');
    Z gm(sig_block), gs;
    mpz_powm(gs.get(), gm.get(), d.get(), n.get());
    EXPECT_TRUE(RsaVerify(data, gs.Bytes(0), pub));
    EXPECT_FALSE(RsaVerify(data + "!", gs.Bytes(0), pub));
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace lq
