// LZ78: the packet format's byte examples, the segment boundary at 65535 phrases, round trips,
// and damaged streams that must be refused without reading or writing out of bounds.
#include "crypto/lz78.h"

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

std::string Compress(std::string_view in) {
  std::string out;
  EXPECT_EQ(LZ78_Compress(in, out), in.empty() ? kLz78EmptyInput : kLz78Ok);
  return out;
}

int Decompress(std::string_view stream, std::string& out) { return LZ78_Decompress(stream, out); }

std::string RoundTrip(std::string_view in) {
  std::string out;
  EXPECT_EQ(LZ78_Decompress(Compress(in), out), kLz78Ok);
  return out;
}

std::string MixedText(std::mt19937& rng, size_t n) {
  static const char* kWords[] = {"the ",    "packet ", "key ",  "Lockquill ", "encrypted ",
                                 "\r\n",    "of ",     "a ",    "signature ", "2004 ",
                                 "record ", "and ",    "data ", "to ",        "recipient "};
  std::string s;
  while (s.size() < n) {
    s += kWords[rng() % 15];
    if (rng() % 9 == 0) s.push_back(static_cast<char>(rng()));
  }
  s.resize(n);
  return s;
}

TEST(Lz78, FormatExamples) {
  // The byte examples of the packet format.
  EXPECT_EQ(Compress("a"), H("01000000 0100 FFFF 0100 61 20"));
  EXPECT_EQ(Compress("abababab"), H("08000000 0500 FFFF FFFF 0000 0200 0100 0400 61626261"));
  EXPECT_EQ(Compress("aaaa"), H("04000000 0300 FFFF 0000 0000 0200 6161"));
  for (const char* s : {"a", "abababab", "aaaa"}) EXPECT_EQ(RoundTrip(s), s);
}

TEST(Lz78, LongRunOfOneValue) {
  // Phrases of 1..631 bytes plus a pending match of 604: 4 + 2 + 2*632 + 2 + 631 + filler.
  const std::string run(200000, 'x');
  const std::string z = Compress(run);
  EXPECT_EQ(z.size(), 1904u);
  EXPECT_EQ(z.back(), ' ');
  EXPECT_EQ(RoundTrip(run), run);
}

TEST(Lz78, EmptyInputAndStream) {
  std::string out = "stale";
  EXPECT_EQ(LZ78_Compress("", out), kLz78EmptyInput);
  EXPECT_TRUE(out.empty());
  out = "stale";
  EXPECT_EQ(LZ78_Decompress("", out), kLz78Ok);
  EXPECT_TRUE(out.empty());
}

// Reads the segment headers of a stream: (M, N) pairs, and the first code of each segment.
struct SegmentInfo {
  uint32_t m, n, first_code;
};
std::vector<SegmentInfo> Segments(const std::string& z) {
  std::vector<SegmentInfo> result;
  auto le16 = [&](size_t p) { return uint32_t(uint8_t(z[p])) | uint32_t(uint8_t(z[p + 1])) << 8; };
  for (size_t pos = 4; pos < z.size();) {
    SegmentInfo s;
    s.m = le16(pos);
    s.first_code = le16(pos + 2);
    pos += 2 + 2 * s.m;
    s.n = le16(pos);
    pos += 2 + s.n + (s.n & 1);
    result.push_back(s);
  }
  return result;
}

TEST(Lz78, SegmentClosesAtExactly65535Phrases) {
  std::mt19937 rng(7);
  std::string data(400000, '\0');
  for (auto& c : data) c = static_cast<char>(rng() % 7 + 'a');
  const std::string z = Compress(data);
  const auto segs = Segments(z);
  ASSERT_GE(segs.size(), 2u);
  EXPECT_EQ(segs[0].n, 65535u);
  EXPECT_EQ(segs[0].m, 65535u);            // closed right after creating a phrase: nothing pending
  EXPECT_EQ(segs[1].first_code, 0xFFFFu);  // the new segment starts with an empty dictionary

  // The first segment covers exactly the bytes up to the one that made phrase 65535: that
  // prefix compresses to a single segment, and one byte more opens a second.
  std::vector<size_t> len(65535);
  size_t covered = 0;
  for (size_t j = 0; j < 65535; ++j) {
    const uint32_t code = uint8_t(z[6 + 2 * j]) | uint32_t(uint8_t(z[7 + 2 * j])) << 8;
    len[j] = code == 0xFFFF ? 1 : len[code] + 1;
    covered += len[j];
  }
  ASSERT_GT(covered, 0u);
  const std::string one = Compress(data.substr(0, covered));
  EXPECT_EQ(Segments(one).size(), 1u);
  const std::string two = Compress(data.substr(0, covered + 1));
  const auto two_segs = Segments(two);
  ASSERT_EQ(two_segs.size(), 2u);
  EXPECT_EQ(two_segs[1].m, 1u);
  EXPECT_EQ(two_segs[1].n, 1u);
  EXPECT_EQ(two.substr(two.size() - 8), H("0100 FFFF 0100") + data[covered] + " ");
  // Only the first segment carries the length field.
  EXPECT_EQ(two.substr(0, one.size()).substr(4), one.substr(4));
  EXPECT_EQ(RoundTrip(data), data);
}

TEST(Lz78, RoundTrips) {
  std::mt19937 rng(11);
  for (size_t len : {1, 2, 3, 17, 255, 256, 1000, 65535, 65536, 131071}) {
    std::string random(len, '\0');
    for (auto& c : random) c = static_cast<char>(rng());
    ASSERT_EQ(RoundTrip(random), random) << len;
    const std::string text = MixedText(rng, len);
    ASSERT_EQ(RoundTrip(text), text) << len;
  }
  // Several segments of text, of random data, and every single byte value.
  const std::string big = MixedText(rng, 3 << 20);
  EXPECT_EQ(RoundTrip(big), big);
  std::string noise(1 << 20, '\0');
  for (auto& c : noise) c = static_cast<char>(rng());
  const std::string z = Compress(noise);
  EXPECT_GT(z.size(), noise.size());  // random data grows: the caller falls back to "None"
  EXPECT_EQ(RoundTrip(noise), noise);
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(RoundTrip(one), one);
  }
}

TEST(Lz78, RefusesDamagedStreams) {
  std::string out;
  // Shorter than the length field.
  EXPECT_EQ(Decompress(H("010000"), out), kLz78Damaged);
  // A length field and no segment: nothing for a stated byte, but a zero length is fine.
  EXPECT_EQ(Decompress(H("01000000"), out), kLz78Damaged);
  EXPECT_EQ(Decompress(H("00000000"), out), kLz78Ok);
  // Code naming a phrase not yet made (phrase 0 naming itself, phrase 1 naming phrase 5).
  EXPECT_EQ(Decompress(H("01000000 0100 0000 0100 61 20"), out), kLz78Damaged);
  EXPECT_EQ(Decompress(H("02000000 0200 FFFF 0500 0200 6162"), out), kLz78Damaged);
  // Pending match naming a phrase beyond the segment.
  EXPECT_EQ(Decompress(H("02000000 0200 FFFF 0100 0100 61 20"), out), kLz78Damaged);
  // More codes than phrases + 1, and fewer codes than phrases.
  EXPECT_EQ(Decompress(H("03000000 0300 FFFF 0000 0000 0100 61 20"), out), kLz78Damaged);
  EXPECT_EQ(Decompress(H("02000000 0100 FFFF 0200 6162"), out), kLz78Damaged);
  // Stated length too small, too large, and a forged 4 GiB.
  EXPECT_EQ(Decompress(H("07000000 0500 FFFF FFFF 0000 0200 0100 0400 61626261"), out),
            kLz78Damaged);
  EXPECT_EQ(Decompress(H("09000000 0500 FFFF FFFF 0000 0200 0100 0400 61626261"), out),
            kLz78Damaged);
  EXPECT_EQ(Decompress(H("FFFFFFFF 0100 FFFF 0100 61 20"), out), kLz78Damaged);
  EXPECT_TRUE(out.empty());
  // A missing filler byte is a segment running past the end.
  EXPECT_EQ(Decompress(H("01000000 0100 FFFF 0100 61"), out), kLz78Damaged);
  // The intact stream for comparison.
  EXPECT_EQ(Decompress(H("08000000 0500 FFFF FFFF 0000 0200 0100 0400 61626261"), out), kLz78Ok);
  EXPECT_EQ(out, "abababab");
}

TEST(Lz78, EveryTruncationAndAnyCorruptionIsSafe) {
  std::mt19937 rng(5);
  const std::string data = MixedText(rng, 3000);
  const std::string z = Compress(data);
  std::string out;
  for (size_t cut = 1; cut < z.size(); ++cut) {
    ASSERT_EQ(Decompress(z.substr(0, cut), out), kLz78Damaged) << cut;
    ASSERT_TRUE(out.empty());
  }
  // Flipped bytes either are refused or decode to exactly the stated length.
  for (int round = 0; round < 3000; ++round) {
    std::string bad = z;
    for (int k = 0; k <= round % 3; ++k) bad[4 + rng() % (bad.size() - 4)] ^= 1 + rng() % 255;
    const int status = Decompress(bad, out);
    if (status == kLz78Ok) {
      ASSERT_EQ(out.size(), data.size());
    } else {
      ASSERT_EQ(status, kLz78Damaged);
      ASSERT_TRUE(out.empty());
    }
  }
  // Arbitrary bytes.
  for (int round = 0; round < 3000; ++round) {
    std::string junk(rng() % 80, '\0');
    for (auto& c : junk) c = static_cast<char>(rng() % 4 ? rng() % 4 : rng());
    const int status = Decompress(junk, out);
    ASSERT_TRUE(status == kLz78Ok || status == kLz78Damaged);
  }
}

TEST(Lz78, OutputMayAliasInput) {
  std::string s = Compress("abababab");
  ASSERT_EQ(LZ78_Decompress(s, s), kLz78Ok);
  EXPECT_EQ(s, "abababab");
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

TEST(Lz78, StatedLengthAboveTheLimitIsRefusedBeforeReading) {
  const Bytes input(5000, 'r');
  Bytes z;
  ASSERT_EQ(LZ78_Compress(input, z), kLz78Ok);
  EXPECT_EQ(LZ78_StatedLength(z), 5000u);
  Bytes out = "old";
  EXPECT_EQ(LZ78_Decompress(z, out, 4999), kLz78OverLimit);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(LZ78_Decompress(z, out, 5000), kLz78Ok);
  EXPECT_EQ(out, input);
  // A stream stating 4 GiB - 1 with nothing behind it: refused by the limit, not read.
  const Bytes huge("\xFF\xFF\xFF\xFF\x00\x00", 6);
  EXPECT_EQ(LZ78_StatedLength(huge), 0xFFFFFFFFu);
  EXPECT_EQ(LZ78_Decompress(huge, out, uint64_t{1} << 30), kLz78OverLimit);
  EXPECT_EQ(LZ78_Decompress(huge, out), kLz78Damaged);  // no limit: the structure fails
  EXPECT_EQ(LZ78_StatedLength("abc"), 0u);
}

}  // namespace
}  // namespace lq
