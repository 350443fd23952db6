// Known answers and properties of the digest, keyed digest and iterated digest; runs on both
// builds, and checks the SHA-extension path against the portable one where the CPU has it.
#include "crypto/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "crypto/sha256_internal.h"

namespace lq {
namespace {

namespace si = sha256_internal;

std::string Words(std::string_view message) { return DigestWordText(SHA256_Hash(message)); }

std::string PseudoRandomBytes(size_t n, uint32_t seed) {
  std::string out(n, '\0');
  for (char& c : out) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

std::string HashWith(si::CompressFn compress, std::string_view message) {
  std::string out(kSha256Size, '\0');
  si::HashWith(compress, message.data(), message.size(),
               reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

// The padding written out by hand: 0x80, Z = 64 - ((L + 9) mod 64) zero bytes, the 64-bit
// big-endian bit length; then every block through the portable compression function.
std::string HashByRule(std::string_view message) {
  std::string padded(message);
  padded += '\x80';
  padded.append(64 - (message.size() + 9) % 64, '\0');
  const uint64_t bits = uint64_t{message.size()} * 8;
  for (int i = 7; i >= 0; --i) padded += static_cast<char>(bits >> (8 * i));
  EXPECT_EQ(padded.size() % 64, 0u);
  uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  si::CompressPortable(state, reinterpret_cast<const unsigned char*>(padded.data()),
                       padded.size() / 64);
  std::string out;
  for (uint32_t word : state) AppendLe32(out, word);
  return out;
}

// FIPS 180-2 Appendix B.1, B.2, B.3 and the 112-byte message of Appendix C.2; the empty
// message is the well-known SHA-256 of nothing. None of these lengths is 55 mod 64.
TEST(Sha256Test, FipsKnownAnswers) {
  EXPECT_EQ(Words("abc"),
            "BA7816BF 8F01CFEA 414140DE 5DAE2223 B00361A3 96177A9C B410FF61 F20015AD");
  EXPECT_EQ(Words("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248D6A61 D20638B8 E5C02693 0C3E6039 A33CE459 64FF2167 F6ECEDD4 19DB06C1");
  EXPECT_EQ(Words("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhij"
                  "klmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
            "CF5B16A7 78AF8380 036CE59E 7B049237 0B249B11 E8F07A51 AFAC4503 7AFEE9D1");
  EXPECT_EQ(Words(std::string(1000000, 'a')),
            "CDC76E5C 9914FB92 81A1C7E2 84D73E67 F1809A48 A497200E 046D39CC C7112CD0");
  EXPECT_EQ(Words(""), "E3B0C442 98FC1C14 9AFBF4C8 996FB924 27AE41E4 649B934C A495991B 7852B855");
  EXPECT_EQ(Words("a"), "CA978112 CA1BBDCA FAC231B3 9A23DC4D A786EFF8 147C4E72 B9807785 AFEE48BB");
}

// Our format's own examples: a remainder of 55 bytes takes an extra block of padding.
TEST(Sha256Test, FiftyFiveRemainderTakesExtraBlock) {
  EXPECT_EQ(Words(std::string(55, 'a')),
            "8DAE2213 BE498438 15E7CED6 7D8CBE7D A18847DC A23ED21B 3AD06470 12178096");
  EXPECT_EQ(Words(std::string(56, 'a')),
            "B35439A4 AC6F0948 B6D6F9E3 C6AF0F5F 590CE20F 1BDE7090 EF797068 6EC6738A");
  EXPECT_EQ(Words(std::string(119, 'a')),
            "817558BE C6B5B0D8 FF6E3C87 829F98E4 D590C3A2 5D68A10E 6E7EF6F8 C9D31D41");
  // FIPS 180-2 would give 9F4390F8 D30C2DD9 ... for 55 bytes "a": ours must differ.
  EXPECT_NE(Words(std::string(55, 'a')).substr(0, 8), "9F4390F8");

  // The 55-byte case written out: the message, 0x80, 8 zero bytes; then 56 zero bytes and 440.
  std::string blocks = std::string(55, 'a') + '\x80' + std::string(8, '\0');
  blocks += std::string(56, '\0') + std::string("\0\0\0\0\0\0\x01\xB8", 8);
  uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  si::CompressPortable(state, reinterpret_cast<const unsigned char*>(blocks.data()), 2);
  std::string by_hand;
  for (uint32_t word : state) AppendLe32(by_hand, word);
  EXPECT_EQ(SHA256_Hash(std::string(55, 'a')), by_hand);
}

TEST(Sha256Test, PaddingRuleForEveryRemainder) {
  // Covers 0, 54..56, 63, 64, 65, 119, 127, 128 and everything between.
  for (size_t length = 0; length <= 200; ++length) {
    const std::string message = PseudoRandomBytes(length, static_cast<uint32_t>(length));
    EXPECT_EQ(SHA256_Hash(message), HashByRule(message)) << "length " << length;
  }
}

TEST(Sha256Test, DigestBytesAreWordsLeastSignificantFirst) {
  const std::string abc = SHA256_Hash("abc");
  ASSERT_EQ(abc.size(), 32u);
  EXPECT_EQ(HexText(abc.substr(0, 4)), "BF1678BA");
  const std::string empty = SHA256_Hash("");
  EXPECT_EQ(HexText(empty.substr(0, 8)), "42C4B0E3141CFC98");

  unsigned char out[kSha256Size] = {};
  SHA256_Hash("abc", 3, out);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out), abc);
  SHA256_Hash(nullptr, 0, out);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out), empty);
}

TEST(Sha256Test, WordTextForm) {
  std::string digest;
  for (uint32_t w = 0; w < 8; ++w) AppendLe32(digest, 0x01234567u * w + 0x89ABCDEFu);
  EXPECT_EQ(DigestWordText(digest),
            "89ABCDEF 8ACF1356 8BF258BD 8D159E24 8E38E38B 8F5C28F2 907F6E59 91A2B3C0");
  // Short input is not read past its end.
  EXPECT_EQ(DigestWordText(digest.substr(0, 9)), "89ABCDEF 8ACF1356");
  EXPECT_EQ(DigestWordText(""), "");
}

TEST(Sha256Test, StreamingEqualsOneShotAtEverySplit) {
  const std::string message = PseudoRandomBytes(300, 7);
  for (size_t length : {0u, 1u, 55u, 63u, 64u, 65u, 119u, 128u, 200u, 300u}) {
    const std::string m = message.substr(0, length);
    const std::string expected = SHA256_Hash(m);
    for (size_t split = 0; split <= length; ++split) {
      Sha256 ctx;
      ctx.Update(m.substr(0, split));
      ctx.Update(m.substr(split));
      EXPECT_EQ(ctx.Final(), expected) << "length " << length << " split " << split;
    }
    for (size_t split = 0; split + 70 <= length; ++split) {
      Sha256 ctx;  // three pieces, the middle one longer than a block
      ctx.Update(m.substr(0, split));
      ctx.Update(m.substr(split, 70));
      ctx.Update(m.substr(split + 70));
      EXPECT_EQ(ctx.Final(), expected) << "length " << length << " split " << split;
    }
    Sha256 bytewise;
    for (char c : m) bytewise.Update(&c, 1);
    unsigned char out[kSha256Size];
    bytewise.Final(out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out), expected);
  }
}

// RFC 2104 with its zero-padded 64-byte key block, over this digest.
std::string Rfc2104(std::string key, std::string_view message) {
  key.resize(64, '\0');
  std::string inner_pad = key, outer_pad = key;
  for (char& c : inner_pad) c = static_cast<char>(c ^ 0x36);
  for (char& c : outer_pad) c = static_cast<char>(c ^ 0x5C);
  return SHA256_Hash(outer_pad + SHA256_Hash(inner_pad + std::string(message)));
}

std::string UnpaddedByHand(std::string_view key, std::string_view message) {
  std::string inner_pad(key), outer_pad(key);
  for (char& c : inner_pad) c = static_cast<char>(c ^ 0x36);
  for (char& c : outer_pad) c = static_cast<char>(c ^ 0x5C);
  return SHA256_Hash(outer_pad + SHA256_Hash(inner_pad + std::string(message)));
}

TEST(Sha256Test, HmacKeepsTheKeyAtItsOwnLength) {
  const std::string message = "The quick brown fox jumps over the lazy dog";
  const std::string key10 = PseudoRandomBytes(10, 1);
  const std::string key64 = PseudoRandomBytes(64, 2);
  const std::string key100 = PseudoRandomBytes(100, 3);

  EXPECT_EQ(HMAC_SHA256(key10, message), UnpaddedByHand(key10, message));
  EXPECT_NE(HMAC_SHA256(key10, message), Rfc2104(key10, message));
  // A 64-byte key needs no padding, so both constructions meet.
  EXPECT_EQ(HMAC_SHA256(key64, message), Rfc2104(key64, message));
  // A long key is not hashed down first.
  EXPECT_EQ(HMAC_SHA256(key100, message), UnpaddedByHand(key100, message));
  EXPECT_EQ(HMAC_SHA256("", message), SHA256_Hash(SHA256_Hash(message)));
  EXPECT_EQ(HMAC_SHA256("", ""), SHA256_Hash(SHA256_Hash("")));
  EXPECT_EQ(HMAC_SHA256(key10, "").size(), 32u);

  // A message much longer than a block goes through the streaming path.
  const std::string long_message = PseudoRandomBytes(5000, 4);
  EXPECT_EQ(HMAC_SHA256(key64, long_message), Rfc2104(key64, long_message));
  EXPECT_NE(HMAC_SHA256(key64, long_message), HMAC_SHA256(key64, long_message.substr(1)));
}

TEST(Sha256Test, IteratedDigest) {
  const std::string a = "correct horse battery staple";
  const std::string b = PseudoRandomBytes(32, 9);
  EXPECT_EQ(SHA256_Iterated(a, b, 0), SHA256_Hash(a + b));
  EXPECT_EQ(SHA256_Iterated(a, b, -5), SHA256_Hash(a + b));
  EXPECT_EQ(SHA256_Iterated(a, b, 1), SHA256_Hash(SHA256_Hash(a + b)));
  EXPECT_EQ(SHA256_Iterated(a, b, 2), SHA256_Hash(SHA256_Hash(SHA256_Hash(a + b))));
  EXPECT_EQ(SHA256_Iterated("", "", 0), SHA256_Hash(""));

  std::string h = SHA256_Hash(a + b);
  for (int i = 0; i < 8000; ++i) h = SHA256_Hash(h);
  EXPECT_EQ(SHA256_Iterated(a, b, 8000), h);
}

TEST(Sha256Test, CompressionPathsAgree) {
  if (!si::CpuHasShaNi()) GTEST_SKIP() << "no SHA extensions on this processor";
#if defined(LQ_SHA256_HAVE_SHANI)
  EXPECT_EQ(si::SelectedCompress(), &si::CompressShaNi);
  const std::string data = PseudoRandomBytes(64 * 100, 11);
  for (size_t blocks : {1u, 2u, 3u, 17u, 100u}) {
    uint32_t portable[8], shani[8];
    for (int i = 0; i < 8; ++i) portable[i] = shani[i] = 0x9E3779B9u * (i + 1);
    si::CompressPortable(portable, reinterpret_cast<const unsigned char*>(data.data()), blocks);
    si::CompressShaNi(shani, reinterpret_cast<const unsigned char*>(data.data()), blocks);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(portable[i], shani[i]) << blocks << " blocks";
  }
  // Unaligned input.
  for (size_t length : {0u, 55u, 64u, 119u, 1000u, 6399u}) {
    const std::string_view m = std::string_view(data).substr(1, length);
    EXPECT_EQ(HashWith(si::CompressShaNi, m), HashWith(si::CompressPortable, m)) << length;
  }
#endif
}

class RecordingTrace : public TraceSink {
 public:
  std::vector<std::string> texts;
  void Trace(std::string_view text) override { texts.emplace_back(text); }
};

TEST(Sha256Test, SelfTestTracesNoErrors) {
  RecordingTrace trace;
  SHA256_SelfTest(trace);
  ASSERT_EQ(trace.texts.size(), 1u);
  EXPECT_EQ(trace.texts[0], "Checking SHA-256 proper functioning: 0 errors");
}

}  // namespace
}  // namespace lq
