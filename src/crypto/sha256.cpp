// The system's digest, keyed digest and iterated passphrase digest, with a compression function
// on the x86 SHA extensions where the processor has them and a plain C++ one everywhere else.
#include "crypto/sha256.h"

#include <bit>
#include <cstring>

#include "base/bytes.h"
#include "crypto/sha256_internal.h"

#if defined(LQ_SHA256_HAVE_SHANI)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace lq {

namespace {

using sha256_internal::CompressFn;

alignas(16) constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t LoadBe(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// The digest writes each state word least significant byte first.
inline void StoreLe(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// Nested rotates: the same rotates and XORs with fewer register copies on two-operand machines;
// measured faster than the textbook form on x86.
inline uint32_t BigSigma0(uint32_t x) {
  return std::rotr(std::rotr(std::rotr(x, 9) ^ x, 11) ^ x, 2);
}
inline uint32_t BigSigma1(uint32_t x) {
  return std::rotr(std::rotr(std::rotr(x, 14) ^ x, 5) ^ x, 6);
}
inline uint32_t SmallSigma0(uint32_t x) { return std::rotr(std::rotr(x, 11) ^ x, 7) ^ (x >> 3); }
inline uint32_t SmallSigma1(uint32_t x) { return std::rotr(std::rotr(x, 2) ^ x, 17) ^ (x >> 10); }

// Padding: 0x80, zeros, the 64-bit big-endian bit length. A remainder of 55 bytes, which would
// leave no zero byte, gets a whole extra block of zeros; stored files depend on that.
void FinishTail(CompressFn compress, uint32_t state[8], const unsigned char* rest, size_t r,
                uint64_t total, unsigned char out[kSha256Size]) {
  unsigned char tail[128];
  const size_t tail_length = r < 55 ? 64 : 128;
  if (r) std::memcpy(tail, rest, r);
  tail[r] = 0x80;
  std::memset(tail + r + 1, 0, tail_length - 8 - (r + 1));
  const uint64_t bits = total * 8;
  for (int i = 0; i < 8; ++i)
    tail[tail_length - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  compress(state, tail, tail_length / 64);
  for (int i = 0; i < 8; ++i) StoreLe(out + 4 * i, state[i]);
  WipeMemory(tail, sizeof tail);
  WipeMemory(state, 8 * sizeof(uint32_t));
}

}  // namespace

namespace sha256_internal {

// One round with the working words named in rotation, so no words are moved between rounds.
// Rounds 0..15 load the message word; later rounds expand the schedule in a ring of 16 words.
#define LQ_SHA_W(i)                                  \
  ((i) < 16 ? (w[(i)&15] = LoadBe(p + 4 * ((i)&15))) \
            : (w[(i)&15] +=                          \
               SmallSigma1(w[((i)-2) & 15]) + w[((i)-7) & 15] + SmallSigma0(w[((i)-15) & 15])))
#define LQ_SHA_ROUND(a, b, c, d, e, f, g, h, i)                                     \
  do {                                                                              \
    uint32_t t1 = h + BigSigma1(e) + (g ^ (e & (f ^ g))) + kRound[i] + LQ_SHA_W(i); \
    d += t1;                                                                        \
    const uint32_t ab = a ^ b;                                                      \
    h = t1 + BigSigma0(a) + (b ^ (ab & bc));                                        \
    bc = ab;                                                                        \
  } while (0)
#define LQ_SHA_ROUNDS8(i)                        \
  LQ_SHA_ROUND(a, b, c, d, e, f, g, h, (i) + 0); \
  LQ_SHA_ROUND(h, a, b, c, d, e, f, g, (i) + 1); \
  LQ_SHA_ROUND(g, h, a, b, c, d, e, f, (i) + 2); \
  LQ_SHA_ROUND(f, g, h, a, b, c, d, e, (i) + 3); \
  LQ_SHA_ROUND(e, f, g, h, a, b, c, d, (i) + 4); \
  LQ_SHA_ROUND(d, e, f, g, h, a, b, c, (i) + 5); \
  LQ_SHA_ROUND(c, d, e, f, g, h, a, b, (i) + 6); \
  LQ_SHA_ROUND(b, c, d, e, f, g, h, a, (i) + 7)

void CompressPortable(uint32_t state[8], const unsigned char* blocks, size_t count) {
  uint32_t w[16];
  for (const unsigned char* p = blocks; count > 0; --count, p += 64) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    uint32_t bc = b ^ c;  // Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)); a ^ b is the next b ^ c
    LQ_SHA_ROUNDS8(0);
    LQ_SHA_ROUNDS8(8);
    LQ_SHA_ROUNDS8(16);
    LQ_SHA_ROUNDS8(24);
    LQ_SHA_ROUNDS8(32);
    LQ_SHA_ROUNDS8(40);
    LQ_SHA_ROUNDS8(48);
    LQ_SHA_ROUNDS8(56);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
  // The schedule holds message words; word-sized volatile stores keep this cheap per block.
  volatile uint32_t* schedule = w;
  for (int i = 0; i < 16; ++i) schedule[i] = 0;
}

#undef LQ_SHA_ROUNDS8
#undef LQ_SHA_ROUND
#undef LQ_SHA_W

#if defined(LQ_SHA256_HAVE_SHANI)

// The SHA extensions keep the working words as ABEF and CDGH; each sha256rnds2 does two rounds.
#define LQ_SHANI_ROUNDS4(msg, group)                                                  \
  do {                                                                                \
    __m128i m = _mm_add_epi32(                                                        \
        msg, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * (group)))); \
    state1 = _mm_sha256rnds2_epu32(state1, state0, m);                                \
    state0 = _mm_sha256rnds2_epu32(state0, state1, _mm_shuffle_epi32(m, 0x0E));       \
  } while (0)
// w0..w3 hold schedule groups g-4..g-1; w0 becomes group g.
#define LQ_SHANI_SCHEDULE(w0, w1, w2, w3) \
  w0 = _mm_sha256msg2_epu32(              \
      _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4)), w3)
#define LQ_SHANI_GROUPS4(g)          \
  LQ_SHANI_SCHEDULE(w0, w1, w2, w3); \
  LQ_SHANI_ROUNDS4(w0, (g) + 0);     \
  LQ_SHANI_SCHEDULE(w1, w2, w3, w0); \
  LQ_SHANI_ROUNDS4(w1, (g) + 1);     \
  LQ_SHANI_SCHEDULE(w2, w3, w0, w1); \
  LQ_SHANI_ROUNDS4(w2, (g) + 2);     \
  LQ_SHANI_SCHEDULE(w3, w0, w1, w2); \
  LQ_SHANI_ROUNDS4(w3, (g) + 3)

__attribute__((target("sha,sse4.1,ssse3"))) void CompressShaNi(uint32_t state[8],
                                                               const unsigned char* blocks,
                                                               size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  abcd = _mm_shuffle_epi32(abcd, 0xB1);                // CDAB
  efgh = _mm_shuffle_epi32(efgh, 0x1B);                // EFGH
  __m128i state0 = _mm_alignr_epi8(abcd, efgh, 8);     // ABEF
  __m128i state1 = _mm_blend_epi16(efgh, abcd, 0xF0);  // CDGH

  for (const unsigned char* p = blocks; count > 0; --count, p += 64) {
    const __m128i save0 = state0;
    const __m128i save1 = state1;
    const __m128i* in = reinterpret_cast<const __m128i*>(p);
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(in + 0), byte_swap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byte_swap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byte_swap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byte_swap);
    LQ_SHANI_ROUNDS4(w0, 0);
    LQ_SHANI_ROUNDS4(w1, 1);
    LQ_SHANI_ROUNDS4(w2, 2);
    LQ_SHANI_ROUNDS4(w3, 3);
    LQ_SHANI_GROUPS4(4);
    LQ_SHANI_GROUPS4(8);
    LQ_SHANI_GROUPS4(12);
    state0 = _mm_add_epi32(state0, save0);
    state1 = _mm_add_epi32(state1, save1);
  }

  const __m128i feba = _mm_shuffle_epi32(state0, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(state1, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#undef LQ_SHANI_GROUPS4
#undef LQ_SHANI_SCHEDULE
#undef LQ_SHANI_ROUNDS4

bool CpuHasShaNi() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

CompressFn SelectedCompress() {
  static const CompressFn chosen = CpuHasShaNi() ? CompressShaNi : CompressPortable;
  return chosen;
}

#else

bool CpuHasShaNi() { return false; }

CompressFn SelectedCompress() { return CompressPortable; }

#endif

void HashWith(CompressFn compress, const void* data, size_t length,
              unsigned char out[kSha256Size]) {
  uint32_t state[8];
  std::memcpy(state, kInitial, sizeof state);
  const unsigned char* p = static_cast<const unsigned char*>(data);
  const size_t whole = length / 64;
  // Whole blocks straight from the caller's buffer; only the tail is copied.
  if (whole) compress(state, p, whole);
  FinishTail(compress, state, p + whole * 64, length % 64, length, out);
}

}  // namespace sha256_internal

Sha256::Sha256() { std::memcpy(state_, kInitial, sizeof state_); }

Sha256::~Sha256() {
  WipeMemory(state_, sizeof state_);
  WipeMemory(buffer_, sizeof buffer_);
}

void Sha256::Update(const void* data, size_t length) {
  if (length == 0) return;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  const CompressFn compress = sha256_internal::SelectedCompress();
  total_ += length;
  if (buffered_) {
    const size_t take = length < 64 - buffered_ ? length : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    length -= take;
    if (buffered_ < 64) return;
    compress(state_, buffer_, 1);
    buffered_ = 0;
  }
  const size_t whole = length / 64;
  if (whole) {
    compress(state_, p, whole);
    p += whole * 64;
    length -= whole * 64;
  }
  if (length) {
    std::memcpy(buffer_, p, length);
    buffered_ = length;
  }
}

void Sha256::Final(unsigned char out[kSha256Size]) {
  FinishTail(sha256_internal::SelectedCompress(), state_, buffer_, buffered_, total_, out);
  WipeMemory(buffer_, sizeof buffer_);
  buffered_ = 0;
}

std::string Sha256::Final() {
  std::string out(kSha256Size, '\0');
  Final(reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

void SHA256_Hash(const void* data, size_t length, unsigned char out[kSha256Size]) {
  sha256_internal::HashWith(sha256_internal::SelectedCompress(), data, length, out);
}

std::string SHA256_Hash(std::string_view data) {
  std::string out(kSha256Size, '\0');
  SHA256_Hash(data.data(), data.size(), reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

std::string DigestWordText(std::string_view digest) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  const size_t words = digest.size() / 4 < 8 ? digest.size() / 4 : 8;
  for (size_t i = 0; i < words; ++i) {
    if (i) text += ' ';
    const uint32_t word = LoadLe32(digest.data() + 4 * i);
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(word >> shift) & 15];
  }
  return text;
}

std::string HMAC_SHA256(std::string_view key, std::string_view message) {
  std::string pad(key);
  for (char& c : pad) c = static_cast<char>(c ^ 0x36);
  unsigned char inner[kSha256Size];
  {
    Sha256 ctx;
    ctx.Update(pad);
    ctx.Update(message);
    ctx.Final(inner);
  }
  for (size_t i = 0; i < pad.size(); ++i) pad[i] = static_cast<char>(key[i] ^ 0x5C);
  Sha256 ctx;
  ctx.Update(pad);
  ctx.Update(inner, sizeof inner);
  std::string result = ctx.Final();
  Wipe(pad);
  WipeMemory(inner, sizeof inner);
  return result;
}

std::string SHA256_Iterated(std::string_view first, std::string_view second, int32_t n) {
  // The block holds the running digest in its first half; a 32-byte message always pads to
  // one block, so the second half (0x80, zeros, bit length 256) is written once.
  unsigned char block[64];
  {
    Sha256 ctx;
    ctx.Update(first);
    ctx.Update(second);
    ctx.Final(block);
  }
  if (n > 0) {
    std::memset(block + 32, 0, 32);
    block[32] = 0x80;
    block[62] = 0x01;
    const CompressFn compress = sha256_internal::SelectedCompress();
    uint32_t state[8];
    for (int32_t round = 0; round < n; ++round) {
      std::memcpy(state, kInitial, sizeof state);
      compress(state, block, 1);
      for (int i = 0; i < 8; ++i) StoreLe(block + 4 * i, state[i]);
    }
    WipeMemory(state, sizeof state);
  }
  std::string result(reinterpret_cast<const char*>(block), kSha256Size);
  WipeMemory(block, sizeof block);
  return result;
}

void SHA256_SelfTest(TraceSink& trace) {
  // FIPS 180-2 Appendix B: one-block, two-block and long messages, plus the 112-byte message of
  // its SHA-512 examples; all four lengths pad the same way as FIPS 180-2.
  struct Case {
    std::string_view message;
    size_t repeat;
    const char* expected;
  };
  const std::string thousand_a(1000, 'a');
  const Case cases[] = {
      {"abc", 1, "BA7816BF 8F01CFEA 414140DE 5DAE2223 B00361A3 96177A9C B410FF61 F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "248D6A61 D20638B8 E5C02693 0C3E6039 A33CE459 64FF2167 F6ECEDD4 19DB06C1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhij"
       "klmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       1, "CF5B16A7 78AF8380 036CE59E 7B049237 0B249B11 E8F07A51 AFAC4503 7AFEE9D1"},
      {thousand_a, 1000, "CDC76E5C 9914FB92 81A1C7E2 84D73E67 F1809A48 A497200E 046D39CC C7112CD0"},
  };
  int errors = 0;
  for (const Case& c : cases) {
    Sha256 ctx;
    for (size_t i = 0; i < c.repeat; ++i) ctx.Update(c.message);
    if (DigestWordText(ctx.Final()) != c.expected) {
      trace.Trace("SHA-256 error!!");
      ++errors;
    }
  }
  trace.Trace("Checking SHA-256 proper functioning:" + NumText(errors) + " errors");
}

}  // namespace lq
