// The AES-instruction engine (x86 and x86-64), chosen at run time when the processor reports
// the instructions, so one build serves old and new machines. CBC decryption and ECB work on
// several blocks at once to keep the pipelined AES unit busy.
#include "base/bytes.h"
#include "crypto/aes_internal.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

#define LQ_AES_TARGET __attribute__((target("aes,sse2")))
// 32-bit Windows guarantees only 4-byte stack alignment; the engine's entry points realign so
// that spilled vectors and the key array are 16-byte aligned.
#if defined(__i386__)
#define LQ_REALIGN __attribute__((force_align_arg_pointer))
#else
#define LQ_REALIGN
#endif

namespace lq::aes_internal {
namespace {

#if defined(__x86_64__)
constexpr size_t kLanes = 8;  // sixteen vector registers: eight blocks and the round keys
#else
constexpr size_t kLanes = 4;  // eight vector registers on 32-bit x86
#endif

// Round keys as vectors, byte order as the instructions expect; wiped when dropped.
struct alignas(16) VectorKeys {
  __m128i k[15];
  VectorKeys(const uint32_t* words, int rounds) {
    for (int r = 0; r <= rounds; ++r) {
      unsigned char bytes[16];
      for (int j = 0; j < 4; ++j) {
        const uint32_t w = words[4 * r + j];
        bytes[4 * j] = static_cast<unsigned char>(w >> 24);
        bytes[4 * j + 1] = static_cast<unsigned char>(w >> 16);
        bytes[4 * j + 2] = static_cast<unsigned char>(w >> 8);
        bytes[4 * j + 3] = static_cast<unsigned char>(w);
      }
      StoreKey(r, bytes);
      WipeMemory(bytes, sizeof bytes);
    }
  }
  ~VectorKeys() { WipeMemory(k, sizeof k); }
  LQ_AES_TARGET void StoreKey(int r, const unsigned char* bytes) {
    k[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  }
};

LQ_AES_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
LQ_AES_TARGET inline void Store(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <int kRounds>
LQ_AES_TARGET inline __m128i EncryptOne(const __m128i* k, __m128i x) {
  x = _mm_xor_si128(x, k[0]);
  for (int r = 1; r < kRounds; ++r) x = _mm_aesenc_si128(x, k[r]);
  return _mm_aesenclast_si128(x, k[kRounds]);
}

template <int kRounds>
LQ_AES_TARGET inline __m128i DecryptOne(const __m128i* k, __m128i x) {
  x = _mm_xor_si128(x, k[0]);
  for (int r = 1; r < kRounds; ++r) x = _mm_aesdec_si128(x, k[r]);
  return _mm_aesdeclast_si128(x, k[kRounds]);
}

// kLanes blocks through the same rounds, interleaved.
template <int kRounds, bool kDecrypt>
LQ_AES_TARGET inline void CipherLanes(const __m128i* k, __m128i* x) {
  for (size_t i = 0; i < kLanes; ++i) x[i] = _mm_xor_si128(x[i], k[0]);
  for (int r = 1; r < kRounds; ++r) {
    const __m128i rk = k[r];
    for (size_t i = 0; i < kLanes; ++i) {
      x[i] = kDecrypt ? _mm_aesdec_si128(x[i], rk) : _mm_aesenc_si128(x[i], rk);
    }
  }
  const __m128i last = k[kRounds];
  for (size_t i = 0; i < kLanes; ++i) {
    x[i] = kDecrypt ? _mm_aesdeclast_si128(x[i], last) : _mm_aesenclast_si128(x[i], last);
  }
}

template <int kRounds, bool kDecrypt>
LQ_AES_TARGET void Ecb(const __m128i* k, const unsigned char* in, unsigned char* out,
                       size_t blocks) {
  size_t b = 0;
  for (; b + kLanes <= blocks; b += kLanes) {
    __m128i x[kLanes];
    for (size_t i = 0; i < kLanes; ++i) x[i] = Load(in + 16 * (b + i));
    CipherLanes<kRounds, kDecrypt>(k, x);
    for (size_t i = 0; i < kLanes; ++i) Store(out + 16 * (b + i), x[i]);
  }
  for (; b < blocks; ++b) {
    const __m128i x = Load(in + 16 * b);
    Store(out + 16 * b, kDecrypt ? DecryptOne<kRounds>(k, x) : EncryptOne<kRounds>(k, x));
  }
}

template <int kRounds>
LQ_AES_TARGET void CbcEncrypt(const __m128i* k, unsigned char iv[16], const unsigned char* in,
                              unsigned char* out, size_t blocks) {
  __m128i v = Load(iv);
  for (size_t b = 0; b < blocks; ++b) {
    v = EncryptOne<kRounds>(k, _mm_xor_si128(Load(in + 16 * b), v));
    Store(out + 16 * b, v);
  }
  Store(iv, v);
}

template <int kRounds>
LQ_AES_TARGET void CbcDecrypt(const __m128i* k, unsigned char iv[16], const unsigned char* in,
                              unsigned char* out, size_t blocks) {
  __m128i v = Load(iv);
  size_t b = 0;
  for (; b + kLanes <= blocks; b += kLanes) {
    __m128i c[kLanes], x[kLanes];
    for (size_t i = 0; i < kLanes; ++i) x[i] = c[i] = Load(in + 16 * (b + i));
    CipherLanes<kRounds, true>(k, x);
    Store(out + 16 * b, _mm_xor_si128(x[0], v));
    for (size_t i = 1; i < kLanes; ++i) Store(out + 16 * (b + i), _mm_xor_si128(x[i], c[i - 1]));
    v = c[kLanes - 1];
  }
  for (; b < blocks; ++b) {
    const __m128i c = Load(in + 16 * b);
    Store(out + 16 * b, _mm_xor_si128(DecryptOne<kRounds>(k, c), v));
    v = c;
  }
  Store(iv, v);
}

// Dispatch on the key size once per call, so the round loops are fully unrolled.
template <template <int> class Op, typename... Args>
void ByRounds(int rounds, Args... args) {
  switch (rounds) {
    case 10:
      Op<10>::Run(args...);
      break;
    case 12:
      Op<12>::Run(args...);
      break;
    default:
      Op<14>::Run(args...);
      break;
  }
}

template <int R>
struct EcbEncryptOp {
  static void Run(const __m128i* k, const unsigned char* in, unsigned char* out, size_t n) {
    Ecb<R, false>(k, in, out, n);
  }
};
template <int R>
struct EcbDecryptOp {
  static void Run(const __m128i* k, const unsigned char* in, unsigned char* out, size_t n) {
    Ecb<R, true>(k, in, out, n);
  }
};
template <int R>
struct CbcEncryptOp {
  static void Run(const __m128i* k, unsigned char* iv, const unsigned char* in, unsigned char* out,
                  size_t n) {
    CbcEncrypt<R>(k, iv, in, out, n);
  }
};
template <int R>
struct CbcDecryptOp {
  static void Run(const __m128i* k, unsigned char* iv, const unsigned char* in, unsigned char* out,
                  size_t n) {
    CbcDecrypt<R>(k, iv, in, out, n);
  }
};

LQ_REALIGN void NiEncryptEcb(const Schedule& ks, const unsigned char* in, unsigned char* out,
                             size_t n) {
  VectorKeys keys(ks.enc, ks.rounds);
  ByRounds<EcbEncryptOp>(ks.rounds, static_cast<const __m128i*>(keys.k), in, out, n);
}
LQ_REALIGN void NiDecryptEcb(const Schedule& ks, const unsigned char* in, unsigned char* out,
                             size_t n) {
  VectorKeys keys(ks.dec, ks.rounds);
  ByRounds<EcbDecryptOp>(ks.rounds, static_cast<const __m128i*>(keys.k), in, out, n);
}
LQ_REALIGN void NiEncryptCbc(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                             unsigned char* out, size_t n) {
  VectorKeys keys(ks.enc, ks.rounds);
  ByRounds<CbcEncryptOp>(ks.rounds, static_cast<const __m128i*>(keys.k), iv, in, out, n);
}
LQ_REALIGN void NiDecryptCbc(const Schedule& ks, unsigned char iv[16], const unsigned char* in,
                             unsigned char* out, size_t n) {
  VectorKeys keys(ks.dec, ks.rounds);
  ByRounds<CbcDecryptOp>(ks.rounds, static_cast<const __m128i*>(keys.k), iv, in, out, n);
}

bool CpuHasAes() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  return (c & bit_AES) != 0 && (d & bit_SSE2) != 0;
}

}  // namespace

const Engine* InstructionEngine() {
  static const Engine kEngine = {"aes-ni", NiEncryptEcb, NiDecryptEcb, NiEncryptCbc, NiDecryptCbc};
  static const bool kPresent = CpuHasAes();
  return kPresent ? &kEngine : nullptr;
}

}  // namespace lq::aes_internal

#else

namespace lq::aes_internal {
const Engine* InstructionEngine() { return nullptr; }
}  // namespace lq::aes_internal

#endif

namespace lq::aes_internal {

const Engine& ActiveEngine() {
  static const Engine& kEngine = InstructionEngine() ? *InstructionEngine() : TableEngine();
  return kEngine;
}

}  // namespace lq::aes_internal
