// The LZ78 compressor against the reference copy of its earlier self: the same stream byte for
// byte on inputs that reach every path (text, noise, runs, every byte value, segment boundaries,
// a pending match at the end, tiny inputs), and each stream decompresses to its input.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/lz78.h"
#include "crypto/lz78_internal.h"
#include "crypto/lz78_reference.h"

namespace lq {
namespace {

void ExpectSameAsReference(std::string_view in) {
  Bytes want, got, back;
  const int want_rc = lz78_reference::Compress(in, want);
  ASSERT_EQ(LZ78_Compress(in, got), want_rc) << in.size();
  ASSERT_EQ(got, want) << "input of " << in.size() << " bytes";
  ASSERT_EQ(LZ78_Decompress(got, back), kLz78Ok);
  ASSERT_EQ(back, in);
  if (in.empty()) return;
  // With a limit: the same stream when it fits, kLz78NoGain and nothing when it does not.
  for (size_t limit : {want.size() - 1, want.size(), want.size() + 1, in.size()}) {
    const int rc = LZ78_Compress(in, got, limit);
    if (want.size() > limit) {
      ASSERT_EQ(rc, kLz78NoGain) << in.size() << " limit " << limit;
      ASSERT_TRUE(got.empty());
    } else {
      ASSERT_EQ(rc, kLz78Ok) << in.size() << " limit " << limit;
      ASSERT_EQ(got, want);
    }
  }
}

std::string Noise(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

std::string Text(std::mt19937& rng, size_t n) {
  static const char* kWords[] = {"the ", "key ", "Lockquill ", "packet ", "\r\n> ",  "of ",
                                 "a ",   "and ", "recipient ", "2004 ",   "signed ", "to "};
  std::string s;
  while (s.size() < n) {
    s += kWords[rng() % 12];
    if (rng() % 11 == 0) s.push_back(static_cast<char>(rng()));
  }
  s.resize(n);
  return s;
}

// Input lengths at which the reference closes each segment (after its 65535th phrase).
std::vector<size_t> SegmentEnds(std::string_view in) {
  Bytes z;
  lz78_reference::Compress(in, z);
  auto le16 = [&](size_t p) { return uint32_t(uint8_t(z[p])) | uint32_t(uint8_t(z[p + 1])) << 8; };
  std::vector<size_t> ends, len;
  size_t covered = 0;
  for (size_t pos = 4; pos < z.size();) {
    const uint32_t m = le16(pos);
    const size_t codes = pos + 2;
    const uint32_t n = le16(codes + 2 * m);
    len.assign(n, 0);
    for (uint32_t j = 0; j < m; ++j) {
      const uint32_t code = le16(codes + 2 * j);
      const size_t l = code == 0xFFFF ? 0 : len[code];
      if (j < n) len[j] = l + 1;
      covered += j < n ? l + 1 : l;
    }
    ends.push_back(covered);
    pos = codes + 2 * m + 2 + n + (n & 1);
  }
  return ends;
}

TEST(Lz78Differential, TinyInputs) {
  for (int a = 0; a < 256; ++a) ExpectSameAsReference(std::string(1, static_cast<char>(a)));
  const char alphabet[] = {'\0', 'a', 'b', '\xFF'};
  for (char a : alphabet) {
    for (char b : alphabet) {
      ExpectSameAsReference(std::string{a, b});
      for (char c : alphabet) ExpectSameAsReference(std::string{a, b, c});
    }
  }
  ExpectSameAsReference("");
}

TEST(Lz78Differential, TextNoiseRunsAndEveryByteValue) {
  std::mt19937 rng(78);
  // Prefixes of text end with and without a pending match.
  const std::string text = Text(rng, 1 << 20);
  for (size_t n = 1; n < 600; n += 7) ExpectSameAsReference(text.substr(0, n));
  ExpectSameAsReference(text);
  ExpectSameAsReference(Noise(rng, 300000));
  std::string runs;
  while (runs.size() < 200000) runs.append(rng() % 300 + 1, static_cast<char>(rng() % 4));
  ExpectSameAsReference(runs);
  ExpectSameAsReference(std::string(200000, 'x'));
  for (size_t n = 1; n < 40; ++n) ExpectSameAsReference(std::string(n, 'x'));
  std::string cycle;
  for (int i = 0; i < 300 * 256; ++i) cycle.push_back(static_cast<char>(i));
  ExpectSameAsReference(cycle);
}

TEST(Lz78Differential, AroundSegmentBoundaries) {
  std::mt19937 rng(65535);
  for (const std::string& data : {Noise(rng, 400000), Text(rng, 1200000)}) {
    const std::vector<size_t> ends = SegmentEnds(data);
    ASSERT_GE(ends.size(), 2u);
    for (size_t k = 0; k + 1 < ends.size() && k < 2; ++k) {
      for (size_t n = ends[k] - 1; n <= ends[k] + 1; ++n) {
        ExpectSameAsReference(std::string_view(data).substr(0, n));
      }
    }
  }
}

TEST(Lz78Differential, EveryTableSize) {
  // The dictionary grows with the input: lengths either side of each step, crowded to the end
  // of the table and full of probe runs, with and without the side table.
  std::mt19937 rng(17);
  for (size_t n = 64; n <= 65536; n *= 2) {
    for (const std::string& data : {Noise(rng, n + 1), Text(rng, n + 1)}) {
      ExpectSameAsReference(std::string_view(data).substr(0, n - 1));
      ExpectSameAsReference(data);
      Bytes want, got;
      lz78_reference::Compress(data, want);
      ASSERT_EQ(lz78_internal::CompressWithProbeLimit(data, got, 1), kLz78Ok);
      ASSERT_EQ(got, want) << n;
    }
  }
}

TEST(Lz78Differential, KeysInTheSideTable) {
  // Real data never fills the side table; with short probe runs allowed it takes most keys.
  std::mt19937 rng(126);
  const std::string text = Text(rng, 300000), noise = Noise(rng, 150000);
  for (uint32_t distance : {0u, 1u, 2u, 3u, 4u}) {
    for (const std::string* in : {&text, &noise}) {
      Bytes want, got;
      lz78_reference::Compress(*in, want);
      ASSERT_EQ(lz78_internal::CompressWithProbeLimit(*in, got, distance), kLz78Ok);
      ASSERT_EQ(got, want) << distance;
    }
  }
}

}  // namespace
}  // namespace lq
