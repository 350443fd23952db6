// The three random sources: start-up seed text, the runtime generator (ChaCha20 known answers,
// OS keying), the shift-register byte source from scripted runtime draws, RandomBits, and the
// Blum-Blum-Shub generator with its set-up from a stored modulus or afresh.
#include "crypto/random.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "base/records.h"
#include "crypto/bignum.h"
#include "crypto/primes.h"
#include "support/recording_ui.h"
#include "support/scripted_random.h"

namespace lq {
namespace {

constexpr char kWaitText[] =
    "Initializing the random number generator.\r\n"
    "This is only necessary when creating a new keyfile.\r\n"
    "Just a moment please...";

using test::ScriptedSource;

using test::SeededSource;

int CountCalls(const test::RecordingUi& ui, const std::string& what) {
  int n = 0;
  for (const auto& call : ui.calls) n += call.what == what;
  return n;
}

BigNum Words(std::initializer_list<uint32_t> words) {
  BigNum out;
  for (uint32_t w : words) AppendLe32(out, w);
  return out;
}

TEST(RuntimeSeed, TextOfDateTimeSecondsAndMouse) {
  SeedMoment m;
  m.time = LocalTime{2004, 3, 7, 9, 5, 3};
  m.mouse_x = 100;
  m.mouse_y = 200;
  // 9 h 5 min 3 s = 32703 s since midnight.
  EXPECT_EQ(RuntimeSeedText(m), "03-07-200409:05:03 32703 100 200");
  m.time = LocalTime{1999, 12, 31, 0, 0, 0};
  m.mouse_x = -5;  // left of the primary monitor
  m.mouse_y = 0;
  EXPECT_EQ(RuntimeSeedText(m), "12-31-199900:00:00 0-5 0");
}

TEST(RuntimeSeed, FirstDigestBytesAsFloat) {
  // The digest of "abc" begins with the word BA7816BF (FIPS 180-2, B.1), stored least
  // significant byte first; those four bytes read back as the float with that bit pattern.
  const float seed = RuntimeSeedValue("abc");
  uint32_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  EXPECT_EQ(bits, 0xBA7816BFu);
}

TEST(RuntimeGenerator, ChaCha20KeystreamWithKeyErasure) {
  // RFC 7539, Appendix A.1, test vectors 1 and 2 (zero key and nonce, block counters 0 and 1).
  // The first 32 bytes of each batch become the next key and are never handed out, so output
  // starts at byte 32 of block 0 and runs on into block 1.
  const unsigned char zero_key[32] = {};
  RuntimeGenerator g;
  g.SetKeyForTest(zero_key);
  const uint32_t block0_tail[8] = {0x7C5941DA, 0x8D485751, 0x3FE02477, 0x374AD8B8,
                                   0xF4B8436A, 0x1CA11815, 0x69B687C3, 0x8665EEB2};
  const uint32_t block1_head[4] = {0xBEE7079F, 0x7A385155, 0x7C97BA98, 0x0D082D73};
  for (uint32_t w : block0_tail) EXPECT_EQ(g.NextWord(), w);
  for (uint32_t w : block1_head) EXPECT_EQ(g.NextWord(), w);
}

TEST(RuntimeGenerator, SameSeedTextStillGivesDifferentStreams) {
  // The start-up seed is guessable (date, time, mouse); OS entropy keeps the streams apart.
  SeedMoment m;
  m.time = LocalTime{2004, 3, 7, 9, 5, 3};
  RandomContext a, b;
  SeedRuntimeRandom(a, m);
  SeedRuntimeRandom(b, m);
  std::vector<uint32_t> sa, sb;
  for (int i = 0; i < 8; ++i) {
    sa.push_back(RuntimeRandom(a, 0, 0xFFFFFFFF));
    sb.push_back(RuntimeRandom(b, 0, 0xFFFFFFFF));
  }
  EXPECT_NE(sa, sb);
}

TEST(RuntimeGenerator, UniformCoversTheWholeRangeInclusive) {
  RandomContext ctx;
  EXPECT_EQ(RuntimeRandom(ctx, 5, 5), 5u);
  int counts[3] = {};
  for (int i = 0; i < 3000; ++i) {
    const uint32_t v = RuntimeRandom(ctx, 10, 12);
    ASSERT_GE(v, 10u);
    ASSERT_LE(v, 12u);
    ++counts[v - 10];
  }
  for (int c : counts) {
    EXPECT_GT(c, 850);  // 1000 expected; 850 is more than 5 standard deviations away
    EXPECT_LT(c, 1150);
  }
  std::set<uint32_t> seen;
  for (int i = 0; i < 6000; ++i) seen.insert(RuntimeRandom(ctx, 0, 255));  // misses one: 2e-8
  EXPECT_EQ(seen.size(), 256u);
  EXPECT_LE(RuntimeRandom(ctx, 12, 10), 12u);  // swapped bounds are taken in order
}

TEST(RandomByte, ShiftRegisterFromScriptedDraws) {
  ScriptedSource source;
  // Seed 0x12345678, then the (high, low) 16-bit draws of three bytes.
  source.answers = {0x12345678, 0, 0, 0x1234, 0x00FF, 0, 0};
  RandomContext ctx(source);
  // Step 1: s = 0x12345678, c = 0.  out bit 0.
  //   s >> 1 = 0x091A2B3C; ^ (s << 12 = 0x45678000) = 0x4C7DAB3C; ^ (>> 20 = 0x4C7) = 0x4C7DAFFB.
  //   v = 0, byte 0xFB.
  EXPECT_EQ(RandomByte(ctx), 0xFB);
  EXPECT_EQ(ctx.mix_s, 0x4C7DAFFBu);
  EXPECT_EQ(ctx.mix_c, 0u);
  // Step 2: out bit 1.  s >> 1 = 0x263ED7FD; ^ 0xDAFFB000 = 0xFCC167FD; ^ 0xFCC = 0xFCC16831.
  //   v = 0x1234 * 65536 + 0x00FF = 0x123400FF, byte 0x31 ^ 0xFF = 0xCE.
  EXPECT_EQ(RandomByte(ctx), 0xCE);
  EXPECT_EQ(ctx.mix_s, 0xFCC16831u);
  EXPECT_EQ(ctx.mix_c, 1u);
  // Step 3: the carry enters bit 31: 0x80000000 | 0x7E60B418 = 0xFE60B418; ^ 0x16831000 =
  //   0xE8E3A418; ^ 0xE8E = 0xE8E3AA96.  v = 0, byte 0x96.
  EXPECT_EQ(RandomByte(ctx), 0x96);
  EXPECT_EQ(ctx.mix_s, 0xE8E3AA96u);
  EXPECT_EQ(ctx.mix_c, 1u);
  // One seed draw, then two 16-bit draws per byte and never the seed again.
  ASSERT_EQ(source.ranges.size(), 7u);
  EXPECT_EQ(source.ranges[0], std::make_pair(0u, 2147483647u));
  for (size_t i = 1; i < source.ranges.size(); ++i) {
    EXPECT_EQ(source.ranges[i], std::make_pair(0u, 65535u));
  }
}

TEST(RandomByte, ZeroSeedIsDrawnAgain) {
  ScriptedSource source;
  source.answers = {0, 0, 0, 7};  // seed 0 leaves s at 0, so the next byte asks again
  RandomContext ctx(source);
  RandomByte(ctx);
  EXPECT_EQ(ctx.mix_s, 0u);
  RandomByte(ctx);
  EXPECT_EQ(source.ranges[3], std::make_pair(0u, 2147483647u));
  EXPECT_NE(ctx.mix_s, 0u);
}

TEST(RandomBits, WholeWordsWithHighBitsCleared) {
  ScriptedSource source;
  source.answers = {1};  // register seed; every later draw is 0
  RandomContext scripted(source);
  // 24 bits: one word, four RandomByte values drawn, the last byte cleared.
  const Bytes b24 = RandomBits(scripted, 24);
  ASSERT_EQ(b24.size(), 4u);
  EXPECT_EQ(b24[3], '\0');
  EXPECT_EQ(source.ranges.size(), 1u + 4 * 2);
  EXPECT_TRUE(RandomBits(scripted, 0).empty());
  RandomContext ctx;
  bool top_seen = false;
  for (int i = 0; i < 200; ++i) {
    const Bytes b = RandomBits(ctx, 33);
    ASSERT_EQ(b.size(), 8u);
    ASSERT_EQ(static_cast<unsigned char>(b[4]) & 0xFE, 0);
    ASSERT_EQ(b.substr(5), std::string(3, '\0'));
    top_seen |= (b[4] & 1) != 0;
  }
  EXPECT_TRUE(top_seen);  // bit 32 is random, not forced either way
}

TEST(BbsRandomBytes, BitsPerSquaringAndOrder) {
  // N = 209 = 11 * 19, x = 3. First x = 9, then each squaring gives floor(log2 L) bits of x
  // (L its bit length), lowest first:
  //   81 (L 7, 2 bits) 1 0 | 82 0 1 | 36 0 0 | 42 0 1          -> byte 0x89
  //   92 0 0 | 104 0 0 | 157 (L 8, 3 bits) 1 0 1 | 196 0 0 1    -> byte 0x50, then 0 1 ...
  //   169 1 0 0 | 137 1 0 0 | 168 0 0 0 | 9 (L 4) 1 0 | 81 1 0 | 82 0 1 (dropped past 32)
  test::RecordingUi ui;
  RandomContext ctx;
  Bytes x = Words({3}), n = Words({209});
  const Bytes out = BBS_RandomBytes(ctx, ui, x, n, 4);
  EXPECT_EQ(HexText(out), "89502628");
  EXPECT_EQ(x, Words({82}));  // the last value squared
  EXPECT_TRUE(ui.calls.empty());
}

TEST(BbsRandomBytes, CountRoundedUpToFour) {
  test::RecordingUi ui;
  RandomContext ctx;
  for (auto [asked, got] : {std::pair<size_t, size_t>{32, 32}, {7, 8}, {40, 40}, {1, 4}, {0, 0}}) {
    Bytes x = Words({3}), n = Words({209});
    EXPECT_EQ(BBS_RandomBytes(ctx, ui, x, n, asked).size(), got) << asked;
  }
}

TEST(BbsRandomBytes, StuckValueIsReplaced) {
  // x = 1 squares to 1 forever and would yield no bits; a fresh x takes over.
  test::RecordingUi ui;
  RandomContext ctx;
  Bytes x = Words({1}), n = Words({209});
  EXPECT_EQ(BBS_RandomBytes(ctx, ui, x, n, 8).size(), 8u);
  EXPECT_NE(BigCompare(x, Words({1})), 0);
}

TEST(BbsSetup, BlumPrimesAndCoprimeStart) {
  // Replays the set-up with an identical source: N is the product of the next two Blum primes
  // and x the first draw of bits/2 bits coprime to N.
  SeededSource source_a(7), source_b(7);
  RandomContext a(source_a), b(source_b);
  Bytes n, x;
  BBS_Setup(a, n, x, 128, 5);
  const BigNum p = BlumPrime(b, 64, 5), q = BlumPrime(b, 64, 5);
  EXPECT_EQ(BigToU64(p) & 3, 3u);
  EXPECT_EQ(BigToU64(q) & 3, 3u);
  EXPECT_TRUE(IsProbablePrime(b, p, 10));
  EXPECT_TRUE(IsProbablePrime(b, q, 10));
  EXPECT_EQ(n, BigMultiply(p, q));
  EXPECT_TRUE(BigCoprime(x, n));
  EXPECT_LE(BigBitLength(x), 64);
}

TEST(InitRandomGenerator, NoStoredStateShowsWaitScreenOnce) {
  test::RecordingUi ui;
  RandomContext ctx;
  const Bytes first = BBS_RandomBytes(ctx, ui, 32);
  const Bytes second = BBS_RandomBytes(ctx, ui, 32);
  EXPECT_EQ(first.size(), 32u);
  EXPECT_NE(first, second);  // the state advanced
  ASSERT_EQ(CountCalls(ui, "ShowWaitScreen"), 1);
  EXPECT_EQ(CountCalls(ui, "HideWaitScreen"), 1);
  EXPECT_EQ(ctx.setups_shown, 1);
  EXPECT_EQ(ui.calls[0].text, kWaitText);
  EXPECT_GE(BigBitLength(ctx.bbs_n), 500);
  EXPECT_LE(BigBitLength(ctx.bbs_n), 512);
  EXPECT_EQ(BigToU64(ctx.bbs_n) & 3, 1u);  // (4a + 3)(4b + 3) = 1 mod 4
}

TEST(InitRandomGenerator, StoredModulusGetsAFreshValue) {
  // A stored state from an earlier set-up: N is reused, the stored x is not.
  test::RecordingUi setup_ui;
  RandomContext earlier;
  BBS_Setup(earlier, earlier.bbs_n, earlier.bbs_x, 512, 5);
  Bytes record = "015001";
  AppendField(earlier.bbs_n, record);
  AppendField(earlier.bbs_x, record);

  test::RecordingUi ui;
  RandomContext ctx;
  int lookups = 0;
  ctx.stored_state = [&] {
    ++lookups;
    return record;
  };
  Bytes x, n;  // empty: the process-wide state is used and filled
  const Bytes bytes = BBS_RandomBytes(ctx, ui, x, n, 16);
  EXPECT_EQ(bytes.size(), 16u);
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(ctx.bbs_n, earlier.bbs_n);
  EXPECT_NE(ctx.bbs_x, earlier.bbs_x);
  EXPECT_TRUE(BigCoprime(ctx.bbs_x, ctx.bbs_n));
  EXPECT_EQ(n, ctx.bbs_n);
  EXPECT_EQ(x, ctx.bbs_x);
  EXPECT_EQ(CountCalls(ui, "ShowWaitScreen"), 0);
}

TEST(InitRandomGenerator, UnusableStoredStateMeansNewSetup) {
  const Bytes good_n = Words({0xFFFFFFFF, 1, 2, 3, 4, 5, 6, 7, 8});  // odd, 260 bits
  std::vector<Bytes> records;
  Bytes r = "015002";  // unknown format
  AppendField(good_n, r);
  records.push_back(r);
  r = "015001";  // modulus 1 would make every output byte zero
  AppendField(Words({1}), r);
  records.push_back(r);
  r = "015001";  // even modulus
  AppendField(Words({0, 0, 0, 0, 0, 0, 0, 0, 0x80000000}), r);
  records.push_back(r);
  r = "015001";  // field longer than the record
  AppendField(good_n, r);
  r.resize(r.size() - 3);
  records.push_back(r);
  for (const Bytes& record : records) {
    test::RecordingUi ui;
    RandomContext ctx;
    ctx.stored_state = [&] { return record; };
    InitRandomGenerator(ctx, ui);
    EXPECT_GE(BigBitLength(ctx.bbs_n), 500) << HexText(record);
    EXPECT_TRUE(BigCoprime(ctx.bbs_x, ctx.bbs_n));
    EXPECT_EQ(CountCalls(ui, "ShowWaitScreen"), 1);
  }
  // The good modulus itself is taken as it is.
  test::RecordingUi ui;
  RandomContext ctx;
  r = "015001";
  AppendField(good_n, r);
  ctx.stored_state = [&] { return r; };
  InitRandomGenerator(ctx, ui);
  EXPECT_EQ(ctx.bbs_n, good_n);
  EXPECT_LE(BigBitLength(ctx.bbs_x), 4 * 36);
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

bool FailingSource(void*, size_t) { return false; }
bool HalfThenFail(void* out, size_t length) {
  std::memset(out, 0xAB, length / 2);
  return false;
}
bool FortyTwoSource(void* out, size_t length) {
  std::memset(out, 42, length);
  return true;
}

TEST(Entropy, TheNextSourceIsTriedAndNoneLeavesNothing) {
  unsigned char buf[16];
  const EntropySource second_works[] = {HalfThenFail, FortyTwoSource};
  EXPECT_TRUE(EntropyFrom(second_works, 2, buf, sizeof buf));
  EXPECT_EQ(buf[0], 42);
  EXPECT_EQ(buf[15], 42);
  const EntropySource none[] = {HalfThenFail, FailingSource};
  EXPECT_FALSE(EntropyFrom(none, 2, buf, sizeof buf));
  EXPECT_EQ(buf[0], 0);  // the half-filled bytes are wiped
  EXPECT_TRUE(OsEntropy(buf, sizeof buf));
}

TEST(Entropy, AGeneratorWithoutOsEntropyRunsButRefusesKeysAndPackets) {
  const EntropySource none[] = {FailingSource, FailingSource};
  RuntimeGenerator weak(none, 2);
  EXPECT_FALSE(weak.Keyed());
  EXPECT_NE(weak.NextWord() | weak.NextWord(), 0u);  // still a stream, from clocks
  const EntropySource good[] = {FortyTwoSource};
  RuntimeGenerator fine(good, 1);
  EXPECT_TRUE(fine.Keyed());
  fine.Seed(1.5f, "seed");
  EXPECT_TRUE(fine.Keyed());
  RandomContext own;
  EXPECT_TRUE(own.HasEntropy());
  test::RecordingUi ui;
  EXPECT_TRUE(CheckEntropy(own, ui));
  EXPECT_TRUE(ui.boxes.empty());
  RuntimeGenerator outside(good, 1);
  RandomContext ctx(outside);
  ctx.outside_entropy = false;
  EXPECT_FALSE(CheckEntropy(ctx, ui));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"Random_NoEntropy"});
}

}  // namespace
}  // namespace lq
