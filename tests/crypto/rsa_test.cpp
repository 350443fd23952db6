// RSA on explicit keys: block layout, generation (steps, progress, time limit, the exponent
// draw), round trips at every offered length up to 4096 bits, the warnings and edge cases.
#include "crypto/rsa.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/sha256.h"
#include "support/recording_ui.h"
#include "support/scripted_random.h"

namespace lq {
namespace {

// Reproducible draws, so the generated keys (and the running time) are the same in every run.
using SeededSource = test::SeededSource64;

// One pair per length, generated on first use and kept for every test that needs it.
struct GeneratedPair {
  RsaKeyPair pair;
  RsaPrimes primes;
};

const GeneratedPair& PairOf(int bits) {
  static std::map<int, std::unique_ptr<GeneratedPair>> cache;
  auto& slot = cache[bits];
  if (!slot) {
    SeededSource source(static_cast<uint64_t>(bits) * 7919u);
    RandomContext ctx(source);
    slot = std::make_unique<GeneratedPair>();
    EXPECT_TRUE(RsaGenerateKeyPair(ctx, NullTrace(), bits, kRsaKeyRounds, slot->pair, {}, {},
                                   &slot->primes))
        << bits;
  }
  return *slot;
}

RsaKey PublicHalf(const RsaKeyPair& p) { return RsaKey{p.bits, p.n, p.e}; }
RsaKey PrivateHalf(const RsaKeyPair& p) { return RsaKey{p.bits, p.n, p.d}; }

Bytes Pattern(size_t n, unsigned char start) {
  Bytes out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(start + 37 * i);
  return out;
}

size_t WordBytes(const BigNum& n) { return 4 * ((BigBitLength(n) + 31) / 32); }

class RsaTest : public ::testing::Test {
 protected:
  SeededSource source{12345};
  RandomContext ctx{source};
  test::RecordingUi ui;
};

TEST_F(RsaTest, BlockLayout) {
  const Bytes payload = Pattern(32, 1);
  // B = 288: k = 36, the payload, three filler bytes and a zero top byte.
  const Bytes block = RsaBlock(ctx, payload, 288);
  ASSERT_EQ(block.size(), 36u);
  EXPECT_EQ(block.substr(0, 32), payload);
  EXPECT_EQ(block[35], '\0');
  // The filler is random: a second block differs there and only there.
  const Bytes again = RsaBlock(ctx, payload, 288);
  EXPECT_EQ(again.substr(0, 32), payload);
  EXPECT_NE(again.substr(32, 3), block.substr(32, 3));
  // k = payload length: the payload alone; one more byte: payload and the zero byte.
  EXPECT_EQ(RsaBlock(ctx, payload, 256), payload);
  EXPECT_EQ(RsaBlock(ctx, payload, 264), payload + std::string(1, '\0'));
  // A modulus length that is not whole bytes counts its whole bytes only (k = B / 8).
  EXPECT_EQ(RsaBlock(ctx, payload, 2047).size(), 255u);
  const Bytes big = RsaBlock(ctx, payload, 4096);
  ASSERT_EQ(big.size(), 512u);
  EXPECT_EQ(big.substr(0, 32), payload);
  EXPECT_EQ(big.back(), '\0');
}

// Every length the key manager offers up to 4096 bits: one generated pair each.
class RsaLengths : public RsaTest, public ::testing::WithParamInterface<int> {};

TEST_P(RsaLengths, GeneratedPairRoundTrips) {
  const int bits = GetParam();
  const GeneratedPair& g = PairOf(bits);
  const RsaKeyPair& pair = g.pair;
  ASSERT_EQ(pair.bits, bits);
  // p and q have bit B/2 - 1 set, so n has B - 1 or B bits.
  const int n_bits = BigBitLength(pair.n);
  EXPECT_TRUE(n_bits == bits || n_bits == bits - 1) << n_bits;
  EXPECT_EQ(BigBitLength(g.primes.p), bits / 2);
  EXPECT_EQ(BigBitLength(g.primes.q), bits / 2);
  EXPECT_EQ(BigMultiply(g.primes.p, g.primes.q), pair.n);
  // e: a random odd number from 3 to 2^24 - 1, stored as one word.
  EXPECT_EQ(pair.e.size(), 4u);
  EXPECT_TRUE(BigIsOdd(pair.e));
  EXPECT_GE(BigToU64(pair.e), 3u);
  EXPECT_LT(BigToU64(pair.e), 1u << 24);

  const Bytes session_key = Pattern(32, static_cast<unsigned char>(bits));
  const BigNum c = RsaEncrypt(ctx, ui, session_key, PublicHalf(pair));
  EXPECT_EQ(c.size(), WordBytes(pair.n));
  EXPECT_EQ(RsaDecrypt(c, PrivateHalf(pair)), session_key);
  // The same key encrypted twice: different ciphertexts (random filler), same recovery.
  const BigNum c2 = RsaEncrypt(ctx, ui, session_key, PublicHalf(pair));
  EXPECT_NE(c, c2);
  EXPECT_EQ(RsaDecrypt(c2, PrivateHalf(pair)), session_key);

  const Bytes data = "signed text of a " + std::to_string(bits) + "-bit key";
  const BigNum s1 = RsaSign(ctx, ui, data, PrivateHalf(pair));
  const BigNum s2 = RsaSign(ctx, ui, data, PrivateHalf(pair));
  EXPECT_EQ(s1.size(), WordBytes(pair.n));
  EXPECT_NE(s1, s2);
  EXPECT_TRUE(RsaVerify(data, s1, PublicHalf(pair)));
  EXPECT_TRUE(RsaVerify(data, s2, PublicHalf(pair)));
  EXPECT_FALSE(RsaVerify(data + ".", s1, PublicHalf(pair)));
  BigNum tampered = s1;
  tampered[0] ^= 1;
  EXPECT_FALSE(RsaVerify(data, tampered, PublicHalf(pair)));
  // A signature of one key does not verify under another.
  const RsaKeyPair& other = PairOf(bits == 288 ? 512 : 288).pair;
  EXPECT_FALSE(RsaVerify(data, s1, PublicHalf(other)));
  EXPECT_TRUE(ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Offered, RsaLengths,
                         ::testing::Values(288, 512, 768, 1024, 1536, 2048, 4096));

TEST_F(RsaTest, CiphertextNotBelowModulusIsRefusedSilently) {
  const RsaKeyPair& pair = PairOf(512).pair;
  EXPECT_EQ(RsaDecrypt(BigAdd(pair.n, BigFromWord(1)), PrivateHalf(pair)), "");
  EXPECT_EQ(RsaDecrypt(pair.n, PrivateHalf(pair)), "");  // n itself would recover zeros
  EXPECT_EQ(RsaDecrypt(pair.n + std::string(8, '\0'), PrivateHalf(pair)), "");
  EXPECT_EQ(RsaDecrypt(BigFromWord(5), RsaKey{512, "", pair.d}), "");  // no modulus
  // The largest value below n still decrypts to 32 bytes.
  EXPECT_EQ(RsaDecrypt(BigSubtract(pair.n, BigFromWord(1)), PrivateHalf(pair)).size(), 32u);
  EXPECT_TRUE(ui.calls.empty());
}

TEST_F(RsaTest, VerificationIgnoresFillerAndTopByte) {
  const RsaKeyPair& pair = PairOf(512).pair;
  const Bytes data = "filler is not checked";
  const Bytes digest = SHA256_Hash(data);
  for (char filler : {'\0', '\x5A', '\x7F'}) {
    Bytes block = digest + std::string(64 - 33, filler) + std::string(1, '\0');
    const BigNum s = BigPowMod(block, pair.d, pair.n);
    EXPECT_TRUE(RsaVerify(data, s, PublicHalf(pair))) << int(filler);
    block[0] ^= 0x01;  // the digest itself is checked
    EXPECT_FALSE(RsaVerify(data, BigPowMod(block, pair.d, pair.n), PublicHalf(pair)));
  }
  // s + n recovers the same block but is no reduced signature.
  const BigNum s = RsaSign(ctx, ui, data, PrivateHalf(pair));
  EXPECT_TRUE(RsaVerify(data, s, PublicHalf(pair)));
  EXPECT_FALSE(RsaVerify(data, BigAdd(s, pair.n), PublicHalf(pair)));
}

TEST_F(RsaTest, ExponentOneWouldLeaveBlocksInTheClear) {
  // With e = 1 the "signature" of a digest is its block, which anyone can write down: such a key
  // neither verifies nor is encrypted to.
  const RsaKeyPair& pair = PairOf(512).pair;
  const Bytes data = "forged";
  const Bytes block = SHA256_Hash(data) + std::string(31, '\x11') + std::string(1, '\0');
  EXPECT_FALSE(RsaVerify(data, block, RsaKey{512, pair.n, BigFromWord(1)}));
  EXPECT_EQ(RsaEncrypt(ctx, ui, Pattern(32, 9), RsaKey{512, pair.n, BigFromWord(1)}), "");
  EXPECT_EQ(RsaEncrypt(ctx, ui, Pattern(32, 9), RsaKey{512, pair.n, ""}), "");
}

TEST_F(RsaTest, ExponentDrawSkipsOneAndNonCoprimeValues) {
  // phi = 2 * 3 * 5 * 7: 1 was acceptable to the plain gcd rule; 0, 2, 9, 15 and 21 share a factor.
  const BigNum phi = BigFromWord(210);
  std::vector<uint32_t> draws = {1, 0, 2, 9, 15, 21, 11, 13};
  size_t next = 0;
  const BigNum e = RsaPickExponent(phi, [&] { return BigFromWord(draws.at(next++)); });
  EXPECT_EQ(BigToU64(e), 11u);
  EXPECT_EQ(next, 7u);
  // A draw of RandomBits(24) comes with its full word; the result is the normalised value.
  next = 0;
  draws = {1, 13};
  EXPECT_EQ(
      RsaPickExponent(phi, [&] { return BigFromWord(draws.at(next++)) + std::string(4, '\0'); }),
      BigFromWord(13));
}

TEST_F(RsaTest, WarningsKeepTheirTextsAndGoOn) {
  // A record that claims 288 bits for a 64-bit modulus: the payload does not fit below n.
  const RsaKeyPair& small = PairOf(64).pair;
  ASSERT_EQ(small.bits, 64);
  const RsaKey pub{288, small.n, small.e};
  const BigNum c = RsaEncrypt(ctx, ui, Pattern(32, 3), pub);
  EXPECT_FALSE(c.empty());
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "Lockquill V1.0");
  EXPECT_EQ(ui.boxes[0].key, "");
  EXPECT_EQ(ui.boxes[0].text,
            "1 - PublicKey_Encrypt_PKCS1_V15: Public key encrypted plaintext is too large for\r\n"
            "this modulus!! This is likely to cause a decryption error...\r\n"
            "Increase public key bitlength to avoid this error.\r\n");

  const BigNum s = RsaSign(ctx, ui, "data", RsaKey{288, small.n, small.d});
  EXPECT_FALSE(s.empty());
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].caption, "Lockquill V1.0");
  EXPECT_EQ(ui.boxes[1].text,
            "3 - PublicKey_GenerateSignature_PKCS1_V15: Signature is too large for\r\n"
            "this modulus!! This is likely to cause a decryption error...\r\n"
            "Increase public key bitlength to avoid this error.\r\n");

  // A payload that is not 32 bytes is reported and still encrypted.
  const RsaKeyPair& pair = PairOf(512).pair;
  const BigNum c31 = RsaEncrypt(ctx, ui, Pattern(31, 4), PublicHalf(pair));
  ASSERT_EQ(ui.boxes.size(), 3u);
  EXPECT_EQ(ui.boxes[2].text, "length of data to public key encrypt is not equal to 32");
  EXPECT_EQ(ui.boxes[2].caption, "Lockquill V1.0");
  // The recovered 32 bytes are the 31 payload bytes and the first filler byte.
  EXPECT_EQ(RsaDecrypt(c31, PrivateHalf(pair)).substr(0, 31), Pattern(31, 4));
}

TEST_F(RsaTest, GenerationReportsFiveStepsAndEveryCandidate) {
  std::vector<int> steps;
  std::map<int, long> candidates;  // steps done -> candidate reports seen
  RsaKeyPair pair;
  ASSERT_TRUE(RsaGenerateKeyPair(ctx, ui, 512, kRsaKeyRounds, pair, [&](int done, long count) {
    if (count == 0) {
      steps.push_back(done);
    } else {
      EXPECT_EQ(count, candidates[done] + 1);  // a running count per search
      candidates[done] = count;
    }
  }));
  EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5}));
  // Both prime searches report their candidates; the later steps test none.
  EXPECT_GE(candidates[0], 1);
  EXPECT_GE(candidates[1], 1);
  EXPECT_EQ(candidates.count(2) + candidates.count(3) + candidates.count(4), 0u);
  EXPECT_TRUE(ui.traces.empty());
}

TEST_F(RsaTest, RefusedLengths) {
  RsaKeyPair pair;
  for (int bits : {0, 32, 100, 300, -64}) {
    EXPECT_FALSE(RsaGenerateKeyPair(ctx, ui, bits, kRsaKeyRounds, pair)) << bits;
    EXPECT_TRUE(pair.n.empty());
  }
}

TEST_F(RsaTest, SearchPastTheTimeLimitFailsWithoutAKey) {
  // The clock runs fast once the first prime is found: the second search gives up,
  // nothing is returned and the reason goes to the trace.
  bool late = false;
  double t = 0;
  PrimeSearchLimit limit;
  limit.seconds = 18000;
  limit.clock = [&] { return late ? (t += 10000) : 0.0; };
  limit.ui = &ui;
  RsaKeyPair pair;
  pair.n = "stale";
  RsaPrimes primes;
  const bool made = RsaGenerateKeyPair(
      ctx, ui, 512, kRsaKeyRounds, pair,
      [&](int done, long) {
        if (done == 1) late = true;
      },
      limit, &primes);
  EXPECT_FALSE(made);
  EXPECT_TRUE(pair.n.empty() && pair.e.empty() && pair.d.empty());
  EXPECT_TRUE(primes.p.empty());
  ASSERT_EQ(ui.traces.size(), 1u);
  EXPECT_EQ(ui.traces[0], "Key generation: the prime search passed its time limit");
  EXPECT_TRUE(ui.boxes.empty());  // telling the user is the caller's part

  // Past the limit from the start: the first search gives up at once.
  late = true;
  EXPECT_FALSE(RsaGenerateKeyPair(ctx, ui, 512, kRsaKeyRounds, pair, {}, limit));
}

TEST_F(RsaTest, Length512GivesModulusOf511Or512Bits) {
  // p and q of 256 bits with their top bit set: 2^510 <= n < 2^512.
  std::vector<uint64_t> seen;
  for (int i = 0; i < 3; ++i) {
    RsaKeyPair pair;
    RsaPrimes primes;
    ASSERT_TRUE(RsaGenerateKeyPair(ctx, ui, 512, kRsaKeyRounds, pair, {}, {}, &primes));
    EXPECT_TRUE(BigTestBit(primes.p, 255) && BigTestBit(primes.q, 255));
    EXPECT_NE(primes.p, primes.q);
    const int n_bits = BigBitLength(pair.n);
    EXPECT_TRUE(n_bits == 511 || n_bits == 512) << n_bits;
    seen.push_back(BigToU64(pair.e));
  }
  // Different for every key.
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
}

}  // namespace
}  // namespace lq
