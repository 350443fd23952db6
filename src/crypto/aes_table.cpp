// The AES key schedule and the table engine (four 1 KiB round tables per direction, built at
// compile time), used where the processor has no AES instructions.
#include <array>
#include <bit>
#include <cstring>

#include "base/bytes.h"
#include "crypto/aes_internal.h"

namespace lq::aes_internal {
namespace {

constexpr uint8_t Xtime(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = Xtime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n) { return static_cast<uint8_t>(x << n | x >> (8 - n)); }

constexpr std::array<uint8_t, 256> MakeSbox() {
  std::array<uint8_t, 256> s{};
  for (int x = 0; x < 256; ++x) {
    // x^254 is the multiplicative inverse (0 for 0).
    uint8_t inv = 1, base = static_cast<uint8_t>(x);
    for (int e = 254; e; e >>= 1) {
      if (e & 1) inv = GfMul(inv, base);
      base = GfMul(base, base);
    }
    if (x == 0) inv = 0;
    s[x] = static_cast<uint8_t>(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^
                                Rotl8(inv, 4) ^ 0x63);
  }
  return s;
}

constexpr std::array<uint8_t, 256> kSbox = MakeSbox();

constexpr std::array<uint8_t, 256> MakeInvSbox() {
  std::array<uint8_t, 256> s{};
  for (int x = 0; x < 256; ++x) s[kSbox[x]] = static_cast<uint8_t>(x);
  return s;
}

constexpr std::array<uint8_t, 256> kInvSbox = MakeInvSbox();

constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return uint32_t{b0} << 24 | uint32_t{b1} << 16 | uint32_t{b2} << 8 | b3;
}

#define LQ_INLINE_FN [[gnu::always_inline]] inline

constexpr uint32_t Ror(uint32_t w, int n) { return n == 0 ? w : (w >> n | w << (32 - n)); }

// Round tables: the column contribution of SubBytes + MixColumns (encryption) and of
// InvSubBytes + InvMixColumns (decryption) for a byte in the first row.
using Table = std::array<uint32_t, 256>;

constexpr Table MakeTe() {
  Table t{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kSbox[x];
    t[x] = Word(GfMul(s, 2), s, s, GfMul(s, 3));
  }
  return t;
}

constexpr Table MakeTd() {
  Table t{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kInvSbox[x];
    t[x] = Word(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
  }
  return t;
}

// Each round-table entry twice in a row (little-endian): a 4-byte read at offset k of entry x
// is the entry rotated right by 8k bits, i.e. the k-th rotated table, so one 2 KiB table and
// one base register serve all four rows (the layout fast table code on x86 has long used).
using DoubledTable = std::array<uint64_t, 256>;
constexpr DoubledTable Double(const Table& t) {
  DoubledTable d{};
  for (int x = 0; x < 256; ++x) d[x] = uint64_t{t[x]} << 32 | t[x];
  return d;
}
alignas(64) constexpr DoubledTable kTe = Double(MakeTe());
alignas(64) constexpr DoubledTable kTd = Double(MakeTd());

// Row k (0..3) of a doubled table.
template <int kRow>
LQ_INLINE_FN uint32_t Lookup(const DoubledTable& t, size_t x) {
  if constexpr (std::endian::native == std::endian::little) {
    // A pointer-sized index lets the compiler fold the scaling into the load.
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(t.data() + x) + kRow, 4);
    return v;
  } else {
    return Ror(static_cast<uint32_t>(t[x]), 8 * kRow);
  }
}

inline uint32_t LoadBe32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

inline void StoreBe32(unsigned char* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

inline uint32_t SubWord(uint32_t w) {
  return Word(kSbox[w >> 24], kSbox[(w >> 16) & 255], kSbox[(w >> 8) & 255], kSbox[w & 255]);
}

// InvMixColumns of one round-key column, through the decryption tables (which include the
// inverse S-box, cancelled here by the forward one).
inline uint32_t InvMixColumn(uint32_t w) {
  return Lookup<0>(kTd, kSbox[w >> 24]) ^ Lookup<1>(kTd, kSbox[(w >> 16) & 255]) ^
         Lookup<2>(kTd, kSbox[(w >> 8) & 255]) ^ Lookup<3>(kTd, kSbox[w & 255]);
}

// One inner round of each direction on the state s0..s3 with round key rk.
#define LQ_ENC_ROUND(t, s, rk)                                                       \
  do {                                                                               \
    t##0 = Lookup<0>(kTe, s##0 >> 24) ^ Lookup<1>(kTe, (s##1 >> 16) & 255) ^         \
           Lookup<2>(kTe, (s##2 >> 8) & 255) ^ Lookup<3>(kTe, s##3 & 255) ^ (rk)[0]; \
    t##1 = Lookup<0>(kTe, s##1 >> 24) ^ Lookup<1>(kTe, (s##2 >> 16) & 255) ^         \
           Lookup<2>(kTe, (s##3 >> 8) & 255) ^ Lookup<3>(kTe, s##0 & 255) ^ (rk)[1]; \
    t##2 = Lookup<0>(kTe, s##2 >> 24) ^ Lookup<1>(kTe, (s##3 >> 16) & 255) ^         \
           Lookup<2>(kTe, (s##0 >> 8) & 255) ^ Lookup<3>(kTe, s##1 & 255) ^ (rk)[2]; \
    t##3 = Lookup<0>(kTe, s##3 >> 24) ^ Lookup<1>(kTe, (s##0 >> 16) & 255) ^         \
           Lookup<2>(kTe, (s##1 >> 8) & 255) ^ Lookup<3>(kTe, s##2 & 255) ^ (rk)[3]; \
  } while (0)

#define LQ_DEC_ROUND(t, s, rk)                                                       \
  do {                                                                               \
    t##0 = Lookup<0>(kTd, s##0 >> 24) ^ Lookup<1>(kTd, (s##3 >> 16) & 255) ^         \
           Lookup<2>(kTd, (s##2 >> 8) & 255) ^ Lookup<3>(kTd, s##1 & 255) ^ (rk)[0]; \
    t##1 = Lookup<0>(kTd, s##1 >> 24) ^ Lookup<1>(kTd, (s##0 >> 16) & 255) ^         \
           Lookup<2>(kTd, (s##3 >> 8) & 255) ^ Lookup<3>(kTd, s##2 & 255) ^ (rk)[1]; \
    t##2 = Lookup<0>(kTd, s##2 >> 24) ^ Lookup<1>(kTd, (s##1 >> 16) & 255) ^         \
           Lookup<2>(kTd, (s##0 >> 8) & 255) ^ Lookup<3>(kTd, s##3 & 255) ^ (rk)[2]; \
    t##3 = Lookup<0>(kTd, s##3 >> 24) ^ Lookup<1>(kTd, (s##2 >> 16) & 255) ^         \
           Lookup<2>(kTd, (s##1 >> 8) & 255) ^ Lookup<3>(kTd, s##0 & 255) ^ (rk)[3]; \
  } while (0)

// The last round has no MixColumns: each output byte is a plain S-box value, which sits
// unmultiplied in a known byte of one of the rotated rows.
inline uint32_t EncLast(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
  return (Lookup<2>(kTe, a >> 24) & 0xFF000000u) ^ (Lookup<3>(kTe, (b >> 16) & 255) & 0x00FF0000u) ^
         (Lookup<0>(kTe, (c >> 8) & 255) & 0x0000FF00u) ^ (Lookup<1>(kTe, d & 255) & 0x000000FFu) ^
         k;
}
inline uint32_t DecLast(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
  return Word(kInvSbox[a >> 24], kInvSbox[(b >> 16) & 255], kInvSbox[(c >> 8) & 255],
              kInvSbox[d & 255]) ^
         k;
}

#define LQ_INLINE [[gnu::always_inline]] inline

// Runs the rounds on the state s0..s3, which holds the input XORed with the first round key.
template <int kRounds>
LQ_INLINE void EncryptState(const uint32_t* rk, uint32_t& s0, uint32_t& s1, uint32_t& s2,
                            uint32_t& s3) {
  uint32_t t0, t1, t2, t3;
  // Two rounds per step, so the state never needs copying between rounds.
  for (int r = 1; r + 1 < kRounds; r += 2) {
    LQ_ENC_ROUND(t, s, rk + 4 * r);
    LQ_ENC_ROUND(s, t, rk + 4 * (r + 1));
  }
  LQ_ENC_ROUND(t, s, rk + 4 * (kRounds - 1));
  rk += 4 * kRounds;
  s0 = EncLast(t0, t1, t2, t3, rk[0]);
  s1 = EncLast(t1, t2, t3, t0, rk[1]);
  s2 = EncLast(t2, t3, t0, t1, rk[2]);
  s3 = EncLast(t3, t0, t1, t2, rk[3]);
}

template <int kRounds>
LQ_INLINE void DecryptState(const uint32_t* rk, uint32_t& s0, uint32_t& s1, uint32_t& s2,
                            uint32_t& s3) {
  uint32_t t0, t1, t2, t3;
  for (int r = 1; r + 1 < kRounds; r += 2) {
    LQ_DEC_ROUND(t, s, rk + 4 * r);
    LQ_DEC_ROUND(s, t, rk + 4 * (r + 1));
  }
  LQ_DEC_ROUND(t, s, rk + 4 * (kRounds - 1));
  rk += 4 * kRounds;
  s0 = DecLast(t0, t3, t2, t1, rk[0]);
  s1 = DecLast(t1, t0, t3, t2, rk[1]);
  s2 = DecLast(t2, t1, t0, t3, rk[2]);
  s3 = DecLast(t3, t2, t1, t0, rk[3]);
}

// Two independent blocks at once, so their table reads overlap in the processor.
template <int kRounds>
LQ_INLINE void DecryptState2(const uint32_t* rk, uint32_t& s0, uint32_t& s1, uint32_t& s2,
                             uint32_t& s3, uint32_t& u0, uint32_t& u1, uint32_t& u2, uint32_t& u3) {
  uint32_t t0, t1, t2, t3, v0, v1, v2, v3;
  for (int r = 1; r + 1 < kRounds; r += 2) {
    LQ_DEC_ROUND(t, s, rk + 4 * r);
    LQ_DEC_ROUND(v, u, rk + 4 * r);
    LQ_DEC_ROUND(s, t, rk + 4 * (r + 1));
    LQ_DEC_ROUND(u, v, rk + 4 * (r + 1));
  }
  LQ_DEC_ROUND(t, s, rk + 4 * (kRounds - 1));
  LQ_DEC_ROUND(v, u, rk + 4 * (kRounds - 1));
  rk += 4 * kRounds;
  s0 = DecLast(t0, t3, t2, t1, rk[0]);
  s1 = DecLast(t1, t0, t3, t2, rk[1]);
  s2 = DecLast(t2, t1, t0, t3, rk[2]);
  s3 = DecLast(t3, t2, t1, t0, rk[3]);
  u0 = DecLast(v0, v3, v2, v1, rk[0]);
  u1 = DecLast(v1, v0, v3, v2, rk[1]);
  u2 = DecLast(v2, v1, v0, v3, rk[2]);
  u3 = DecLast(v3, v2, v1, v0, rk[3]);
}

template <int kRounds>
void EncryptEcbR(const Schedule& ks, const unsigned char* in, unsigned char* out, size_t blocks) {
  const uint32_t* rk = ks.enc;
  for (size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    uint32_t s0 = LoadBe32(in) ^ rk[0], s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2], s3 = LoadBe32(in + 12) ^ rk[3];
    EncryptState<kRounds>(rk, s0, s1, s2, s3);
    StoreBe32(out, s0);
    StoreBe32(out + 4, s1);
    StoreBe32(out + 8, s2);
    StoreBe32(out + 12, s3);
  }
}

template <int kRounds>
void DecryptEcbR(const Schedule& ks, const unsigned char* in, unsigned char* out, size_t blocks) {
  const uint32_t* rk = ks.dec;
  for (size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    uint32_t s0 = LoadBe32(in) ^ rk[0], s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2], s3 = LoadBe32(in + 12) ^ rk[3];
    DecryptState<kRounds>(rk, s0, s1, s2, s3);
    StoreBe32(out, s0);
    StoreBe32(out + 4, s1);
    StoreBe32(out + 8, s2);
    StoreBe32(out + 12, s3);
  }
}

template <int kRounds>
void EncryptCbcR(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                 unsigned char* out, size_t blocks) {
  const uint32_t* rk = ks.enc;
  uint32_t s0 = LoadBe32(iv), s1 = LoadBe32(iv + 4), s2 = LoadBe32(iv + 8), s3 = LoadBe32(iv + 12);
  for (size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    s0 ^= LoadBe32(in) ^ rk[0];
    s1 ^= LoadBe32(in + 4) ^ rk[1];
    s2 ^= LoadBe32(in + 8) ^ rk[2];
    s3 ^= LoadBe32(in + 12) ^ rk[3];
    EncryptState<kRounds>(rk, s0, s1, s2, s3);
    StoreBe32(out, s0);
    StoreBe32(out + 4, s1);
    StoreBe32(out + 8, s2);
    StoreBe32(out + 12, s3);
  }
  StoreBe32(iv, s0);
  StoreBe32(iv + 4, s1);
  StoreBe32(iv + 8, s2);
  StoreBe32(iv + 12, s3);
}

template <int kRounds>
void DecryptCbcR(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                 unsigned char* out, size_t blocks) {
  const uint32_t* rk = ks.dec;
  uint32_t v0 = LoadBe32(iv), v1 = LoadBe32(iv + 4), v2 = LoadBe32(iv + 8), v3 = LoadBe32(iv + 12);
  size_t b = 0;
  for (; b + 2 <= blocks; b += 2, in += 32, out += 32) {
    // Read the ciphertext before writing: the output may be the input.
    uint32_t s0 = LoadBe32(in) ^ rk[0], s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2], s3 = LoadBe32(in + 12) ^ rk[3];
    uint32_t u0 = LoadBe32(in + 16) ^ rk[0], u1 = LoadBe32(in + 20) ^ rk[1];
    uint32_t u2 = LoadBe32(in + 24) ^ rk[2], u3 = LoadBe32(in + 28) ^ rk[3];
    DecryptState2<kRounds>(rk, s0, s1, s2, s3, u0, u1, u2, u3);
    const uint32_t c0 = LoadBe32(in), c1 = LoadBe32(in + 4), c2 = LoadBe32(in + 8),
                   c3 = LoadBe32(in + 12);
    const uint32_t d0 = LoadBe32(in + 16), d1 = LoadBe32(in + 20), d2 = LoadBe32(in + 24),
                   d3 = LoadBe32(in + 28);
    StoreBe32(out, s0 ^ v0);
    StoreBe32(out + 4, s1 ^ v1);
    StoreBe32(out + 8, s2 ^ v2);
    StoreBe32(out + 12, s3 ^ v3);
    StoreBe32(out + 16, u0 ^ c0);
    StoreBe32(out + 20, u1 ^ c1);
    StoreBe32(out + 24, u2 ^ c2);
    StoreBe32(out + 28, u3 ^ c3);
    v0 = d0;
    v1 = d1;
    v2 = d2;
    v3 = d3;
  }
  for (; b < blocks; ++b, in += 16, out += 16) {
    // Read the ciphertext before writing: the output may be the input.
    const uint32_t c0 = LoadBe32(in), c1 = LoadBe32(in + 4), c2 = LoadBe32(in + 8),
                   c3 = LoadBe32(in + 12);
    uint32_t s0 = c0 ^ rk[0], s1 = c1 ^ rk[1], s2 = c2 ^ rk[2], s3 = c3 ^ rk[3];
    DecryptState<kRounds>(rk, s0, s1, s2, s3);
    StoreBe32(out, s0 ^ v0);
    StoreBe32(out + 4, s1 ^ v1);
    StoreBe32(out + 8, s2 ^ v2);
    StoreBe32(out + 12, s3 ^ v3);
    v0 = c0;
    v1 = c1;
    v2 = c2;
    v3 = c3;
  }
  StoreBe32(iv, v0);
  StoreBe32(iv + 4, v1);
  StoreBe32(iv + 8, v2);
  StoreBe32(iv + 12, v3);
}

// The key size picks a fully unrolled round sequence once per call.
#define LQ_BY_ROUNDS(fn, ks, ...)       \
  switch ((ks).rounds) {                \
    case 10:                            \
      return fn<10>((ks), __VA_ARGS__); \
    case 12:                            \
      return fn<12>((ks), __VA_ARGS__); \
    default:                            \
      return fn<14>((ks), __VA_ARGS__); \
  }

void TableEncryptEcb(const Schedule& ks, const unsigned char* in, unsigned char* out,
                     size_t blocks) {
  LQ_BY_ROUNDS(EncryptEcbR, ks, in, out, blocks);
}
void TableDecryptEcb(const Schedule& ks, const unsigned char* in, unsigned char* out,
                     size_t blocks) {
  LQ_BY_ROUNDS(DecryptEcbR, ks, in, out, blocks);
}
void TableEncryptCbc(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                     unsigned char* out, size_t blocks) {
  LQ_BY_ROUNDS(EncryptCbcR, ks, iv, in, out, blocks);
}
void TableDecryptCbc(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                     unsigned char* out, size_t blocks) {
  LQ_BY_ROUNDS(DecryptCbcR, ks, iv, in, out, blocks);
}

}  // namespace

Schedule::~Schedule() {
  WipeMemory(enc, sizeof enc);
  WipeMemory(dec, sizeof dec);
}

bool ExpandKey(std::string_view key, Schedule& ks) {
  const size_t nk = key.size() / 4;
  if (key.size() != 16 && key.size() != 24 && key.size() != 32) return false;
  const int rounds = static_cast<int>(nk) + 6;
  const size_t total = 4 * (static_cast<size_t>(rounds) + 1);
  const unsigned char* k = reinterpret_cast<const unsigned char*>(key.data());
  uint32_t* w = ks.enc;
  for (size_t i = 0; i < nk; ++i) w[i] = LoadBe32(k + 4 * i);
  uint8_t rcon = 1;
  for (size_t i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord(temp << 8 | temp >> 24) ^ uint32_t { rcon } << 24;
      rcon = Xtime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  // Equivalent inverse cipher: round keys in reverse order, the inner ones InvMixColumns'd.
  for (int r = 0; r <= rounds; ++r) {
    for (int j = 0; j < 4; ++j) {
      const uint32_t word = w[4 * (rounds - r) + j];
      ks.dec[4 * r + j] = (r == 0 || r == rounds) ? word : InvMixColumn(word);
    }
  }
  ks.rounds = rounds;
  return true;
}

const Engine& TableEngine() {
  static const Engine kEngine = {"tables", TableEncryptEcb, TableDecryptEcb, TableEncryptCbc,
                                 TableDecryptCbc};
  return kEngine;
}

}  // namespace lq::aes_internal
