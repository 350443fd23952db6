// LZSS: the launcher's decoding rules (blank window, slack, read-before-append, ignored flag
// bits), the compressor's failure rules, round trips, and damaged streams.
#include "crypto/lzss.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "crypto/hex.h"

namespace lq {
namespace {

std::string H(std::string_view hex) {
  std::string compact(hex);
  std::erase(compact, ' ');
  return Hex_ToBytes(compact);
}

std::string Le32(uint32_t v) {
  std::string s;
  for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
  return s;
}

std::string Match(unsigned pos, unsigned len) {
  const unsigned v = (len - 3) << 12 | pos;
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

int Decode(std::string_view stream, std::string& out) { return LZSS_Decompress(stream, out); }

// Something like a program file: code-like repeats, tables, zero runs and some noise.
std::string ExeLike(std::mt19937& rng, size_t n) {
  std::string s;
  std::string block;
  while (s.size() < n) {
    switch (rng() % 4) {
      case 0:
        s.append(rng() % 300, '\0');
        break;
      case 1:
        for (int k = rng() % 64; k > 0; --k) s.push_back(static_cast<char>(rng()));
        break;
      default:
        if (block.empty() || rng() % 5 == 0) {
          block.clear();
          for (int k = 8 + rng() % 40; k > 0; --k) block.push_back(static_cast<char>(rng() % 16));
        }
        s += block;
    }
  }
  s.resize(n);
  return s;
}

TEST(Lzss, DecoderRules) {
  std::string out = "stale";
  // Length 0: nothing to decode.
  EXPECT_EQ(Decode(H("00000000"), out), kLzssOk);
  EXPECT_TRUE(out.empty());
  // Three literals; the five unused flag bits are ignored.
  EXPECT_EQ(Decode(H("03000000 FF 616263"), out), kLzssOk);
  EXPECT_EQ(out, "abc");
  // A match at the very start reads the blank window.
  EXPECT_EQ(Decode(H("03000000 00 0000"), out), kLzssOk);
  EXPECT_EQ(out, "   ");
  // Read before append: a match over the write position sees the old window, not a run.
  EXPECT_EQ(Decode(Le32(5) +
                       "\x01"
                       "a" +
                       Match(0, 4),
                   out),
            kLzssOk);
  EXPECT_EQ(out, "aa   ");
  // The match reads straight on into the slack, which stays blank after the window wraps.
  std::string stream = Le32(4096 + 18);
  for (int group = 0; group < 512; ++group)
    stream +=
        "\xFF"
        "xxxxxxxx";
  stream += std::string(1, '\0') + Match(4090, 18);
  ASSERT_EQ(Decode(stream, out), kLzssOk);
  EXPECT_EQ(out.substr(4096), "xxxxxx" + std::string(12, ' '));
  // After the window wrapped, index 0 holds the newest byte.
  stream = Le32(4097 + 3);
  for (int group = 0; group < 512; ++group)
    stream +=
        "\xFF"
        "xxxxxxxx";
  stream += std::string(
                "\x01"
                "y",
                2) +
            Match(0, 3);
  ASSERT_EQ(Decode(stream, out), kLzssOk);
  EXPECT_EQ(out.substr(4096), "yyxx");
}

TEST(Lzss, DecoderRefusesDamage) {
  std::string out;
  EXPECT_EQ(Decode("", out), kLzssFailed);
  EXPECT_EQ(Decode(H("030000"), out), kLzssFailed);
  // Items past the stated length (literal, then a match).
  EXPECT_EQ(Decode(H("02000000 FF 616263"), out), kLzssFailed);
  EXPECT_EQ(Decode(H("02000000 00 0000"), out), kLzssFailed);
  // Stated length not reached.
  EXPECT_EQ(Decode(H("04000000 FF 616263"), out), kLzssFailed);
  // A match cut after its first byte.
  EXPECT_EQ(Decode(H("04000000 01 61 00"), out), kLzssFailed);
  // A forged length far beyond what the stream could expand to.
  EXPECT_EQ(Decode(H("FFFFFFFF 00 0000"), out), kLzssFailed);
  EXPECT_TRUE(out.empty());
  // The most a stream can expand: eight longest matches per 17 bytes.
  std::string full = Le32(8 * 18) + std::string(1, '\0');
  for (int k = 0; k < 8; ++k) full += Match(100, 18);
  EXPECT_EQ(Decode(full, out), kLzssOk);
  EXPECT_EQ(out, std::string(144, ' '));
}

TEST(Lzss, CompressorFailureRules) {
  std::string out = "stale";
  EXPECT_EQ(LZSS_Compress("ab", out), kLzssFailed);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(LZSS_Compress("", out), kLzssFailed);
  // Fewer than 17 bytes of room before the first group.
  EXPECT_EQ(LZSS_Compress(std::string(16, 'a'), out), kLzssFailed);
  EXPECT_EQ(LZSS_Compress(std::string(17, 'a'), out), kLzssOk);
  // Random data does not fit in its own size.
  std::mt19937 rng(1);
  std::string noise(10000, '\0');
  for (auto& c : noise) c = static_cast<char>(rng());
  EXPECT_EQ(LZSS_Compress(noise, out), kLzssFailed);
  EXPECT_TRUE(out.empty());
}

TEST(Lzss, RoundTripsAndCompresses) {
  std::mt19937 rng(2);
  std::vector<std::string> inputs = {
      std::string(17, 'a'), std::string(5000, ' '), std::string(100000, '\0'), ExeLike(rng, 4095),
      ExeLike(rng, 4096),   ExeLike(rng, 4097),     ExeLike(rng, 300000)};
  // Text with many blanks, so that matches meet the blank start of the window and the slack.
  std::string blanks;
  while (blanks.size() < 50000)
    blanks += std::string(rng() % 40, ' ') + "ab" + char('a' + rng() % 26);
  inputs.push_back(blanks);
  for (const std::string& in : inputs) {
    std::string z, back;
    ASSERT_EQ(LZSS_Compress(in, z), kLzssOk) << in.size();
    ASSERT_LE(z.size(), in.size() + 4);
    ASSERT_EQ(z.substr(0, 4), Le32(static_cast<uint32_t>(in.size())));
    ASSERT_EQ(LZSS_Decompress(z, back), kLzssOk);
    ASSERT_EQ(back, in) << in.size();
  }
  std::string z;
  ASSERT_EQ(LZSS_Compress(std::string(100000, '\0'), z), kLzssOk);
  EXPECT_LT(z.size(), 100000u / 8);
}

TEST(Lzss, DamagedStreamsNeverOverrun) {
  std::mt19937 rng(3);
  const std::string data = ExeLike(rng, 20000);
  std::string z, out;
  ASSERT_EQ(LZSS_Compress(data, z), kLzssOk);
  for (size_t cut = 0; cut < z.size(); cut += 1 + cut / 64) {
    ASSERT_EQ(Decode(z.substr(0, cut), out), kLzssFailed) << cut;
    ASSERT_TRUE(out.empty());
  }
  for (int round = 0; round < 2000; ++round) {
    std::string bad = z;
    bad[rng() % bad.size()] ^= 1 + rng() % 255;
    const int status = Decode(bad, out);
    if (status == kLzssOk) {
      ASSERT_EQ(out.size(), LoadLe32(bad.data()));
    }
  }
  for (int round = 0; round < 3000; ++round) {
    std::string junk(rng() % 64, '\0');
    for (auto& c : junk) c = static_cast<char>(rng());
    if (junk.size() >= 4) junk[3] = junk[2] = 0;
    Decode(junk, out);
  }
}

TEST(Lzss, OutputMayAliasInput) {
  std::string s;
  ASSERT_EQ(LZSS_Compress(std::string(40, 'q'), s), kLzssOk);
  ASSERT_EQ(LZSS_Decompress(s, s), kLzssOk);
  EXPECT_EQ(s, std::string(40, 'q'));
}

}  // namespace
}  // namespace lq
