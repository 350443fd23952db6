// Base64 encoder and decoder of the armor text. Both work on raw buffers sized in advance
// (the length formula, a counting pass) so each makes a single allocation.
#include "crypto/base64.h"

#include <array>
#include <cstring>

namespace lq {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters per 12 input bits: one table lookup writes half a group.
constexpr std::array<char, 8192> MakePairTable() {
  std::array<char, 8192> t{};
  for (int v = 0; v < 4096; ++v) {
    t[2 * v] = kAlphabet[v >> 6];
    t[2 * v + 1] = kAlphabet[v & 63];
  }
  return t;
}
constexpr std::array<char, 8192> kPairs = MakePairTable();

// Character classes of the decoder: 0..63 values, then the pad mark, skipped line-break
// characters, and everything that ends decoding.
constexpr uint8_t kPad = 64;
constexpr uint8_t kSkip = 65;
constexpr uint8_t kStop = 66;

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kStop;
  for (int i = 0; i < 64; ++i)
    t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  t['='] = kPad;
  t['\r'] = kSkip;
  t['\n'] = kSkip;
  return t;
}
constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

inline void EncodeGroup(const unsigned char* in, char* out) {
  const uint32_t v = uint32_t{in[0]} << 16 | uint32_t{in[1]} << 8 | in[2];
  std::memcpy(out, &kPairs[2 * (v >> 12)], 2);
  std::memcpy(out + 2, &kPairs[2 * (v & 4095)], 2);
}

// One walk of the decoder. The counting pass (kWrite false) returns the exact output size in
// `produced`; the writing pass fills `out`, which has that size. Returns the characters consumed.
template <bool kWrite>
size_t Walk(const unsigned char* text, size_t length, unsigned char* out, size_t& produced) {
  size_t i = 0;
  size_t n = 0;
  for (;;) {
    // Fast path: four alphabet characters in a row make a whole group.
    while (length - i >= 4) {
      const uint8_t a = kDecode[text[i]], b = kDecode[text[i + 1]], c = kDecode[text[i + 2]],
                    d = kDecode[text[i + 3]];
      if ((a | b | c | d) >= 64) break;
      if constexpr (kWrite) {
        out[n] = static_cast<unsigned char>(a << 2 | b >> 4);
        out[n + 1] = static_cast<unsigned char>(b << 4 | c >> 2);
        out[n + 2] = static_cast<unsigned char>(c << 6 | d);
      }
      n += 3;
      i += 4;
    }
    // Slow path: one group character by character, skipping line breaks.
    uint8_t v[4];
    int have = 0;
    while (have < 4 && i < length) {
      const uint8_t x = kDecode[text[i]];
      if (x == kStop) break;
      ++i;
      if (x == kSkip) continue;
      v[have++] = x;
    }
    if (have < 4) {
      // End of text or a stopping character: the incomplete group is dropped. Characters
      // that were read for it still count as consumed, trailing line breaks included.
      produced = n;
      return i;
    }
    if (v[0] == kPad || v[1] == kPad) {
      produced = n;
      return i;
    }
    if constexpr (kWrite) out[n] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
    ++n;
    if (v[2] == kPad) break;
    if constexpr (kWrite) out[n] = static_cast<unsigned char>(v[1] << 4 | v[2] >> 2);
    ++n;
    if (v[3] == kPad) break;
    if constexpr (kWrite) out[n] = static_cast<unsigned char>(v[2] << 6 | v[3]);
    ++n;
  }
  produced = n;
  return i;
}

}  // namespace

uint64_t Base64EncodedLength(uint64_t length, int32_t groups_per_line) {
  uint64_t chars = 4 * ((length + 2) / 3);
  if (groups_per_line >= 1) chars += 2 * (length / (3 * static_cast<uint64_t>(groups_per_line)));
  return chars;
}

void Base64_Encode(std::string_view input, int32_t groups_per_line, Bytes& output) {
  const uint64_t total = Base64EncodedLength(input.size(), groups_per_line);
  output.clear();
  if (total == 0) return;
  if (total > output.max_size()) return;  // cannot be represented on this platform
  output.resize(static_cast<size_t>(total));

  const unsigned char* in = reinterpret_cast<const unsigned char*>(input.data());
  char* out = output.data();
  size_t left = input.size();
  // In 64 bits: 3 * G need not fit a 32-bit size_t, and then no line is ever full.
  const uint64_t line_bytes =
      groups_per_line >= 1 ? 3 * static_cast<uint64_t>(groups_per_line) : UINT64_MAX;

  while (left >= 3) {
    const size_t chunk = left < line_bytes ? left - left % 3 : static_cast<size_t>(line_bytes);
    const bool full_line = chunk == line_bytes;
    for (size_t k = 0; k < chunk; k += 3) {
      EncodeGroup(in, out);
      in += 3;
      out += 4;
    }
    left -= chunk;
    if (full_line) {
      *out++ = '\r';
      *out++ = '\n';
    }
  }
  if (left > 0) {
    const uint32_t v = uint32_t{in[0]} << 16 | (left == 2 ? uint32_t{in[1]} << 8 : 0u);
    out[0] = kAlphabet[v >> 18];
    out[1] = kAlphabet[(v >> 12) & 63];
    out[2] = left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out[3] = '=';
  }
}

size_t Base64_Decode(std::string_view text, Bytes& output) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t size = 0;
  Walk<false>(p, text.size(), nullptr, size);
  output.assign(size, '\0');
  size_t written = 0;
  return Walk<true>(p, text.size(), reinterpret_cast<unsigned char*>(output.data()), written);
}

size_t Base64_DecodeInPlace(char* text, size_t length, size_t& produced) {
  // Walk reads a group's characters before it writes the group's bytes, and the bytes of the
  // first k groups never reach past 3 k: writing over the text is safe.
  unsigned char* p = reinterpret_cast<unsigned char*>(text);
  return Walk<true>(p, length, p, produced);
}

}  // namespace lq
