// The LZ78 compressor as it was before its dictionary was reworked for speed, kept verbatim as
// the reference the differential tests and the codec benchmark compare the product code with.
// Test-only: nothing in src/ includes it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "crypto/lz78.h"

namespace lq::lz78_reference {

constexpr uint16_t kNone = 0xFFFF;       // the empty phrase, and "no child"
constexpr uint32_t kMaxPhrases = 65535;  // per segment
constexpr unsigned kMaxHashBits = 17;    // twice the phrases of a segment: short probes

// The dictionary of one segment: children of the empty phrase in a direct table, all others
// through an open-addressing table of phrase numbers keyed by (parent, byte). The table holds
// only 2-byte phrase numbers and each phrase keeps its key once, so the whole dictionary stays
// small enough for the processor's second-level cache: one lookup per input byte is what the
// compressor's speed depends on.
class Dictionary {
 public:
  // Sized for the phrases `input_length` bytes can make, so short texts stay cheap.
  explicit Dictionary(size_t input_length) {
    const size_t phrases = input_length < kMaxPhrases ? input_length : kMaxPhrases;
    bits_ = 8;
    while (bits_ < kMaxHashBits && (size_t{1} << bits_) < 2 * phrases) ++bits_;
    mask_ = (1u << bits_) - 1;
    slots_.resize(size_t{1} << bits_);
    keys_.resize(phrases);
    Clear();
  }

  void Clear() {
    std::memset(root_, 0xFF, sizeof root_);
    std::memset(slots_.data(), 0xFF, slots_.size() * sizeof(uint16_t));
  }

  // The child of `parent` with byte c; when there is none, `phrase` becomes that child (in the
  // slot the search ended on) and kNone is returned.
  uint16_t FindOrAdd(uint16_t parent, unsigned char c, uint16_t phrase) {
    if (parent == kNone) {
      const uint16_t child = root_[c];
      if (child == kNone) root_[c] = phrase;
      return child;
    }
    const uint32_t key = uint32_t{parent} << 8 | c;
    for (uint32_t h = Hash(key);; h = (h + 1) & mask_) {
      const uint16_t child = slots_[h];
      if (child == kNone) {
        slots_[h] = phrase;
        keys_[phrase] = key;
        return kNone;
      }
      if (keys_[child] == key) return child;
    }
  }

 private:
  uint32_t Hash(uint32_t key) const { return (key * 0x9E3779B1u) >> (32 - bits_); }

  uint16_t root_[256];
  unsigned bits_;
  uint32_t mask_;
  std::vector<uint16_t> slots_;
  std::vector<uint32_t> keys_;
};

inline void AppendLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

inline int Compress(std::string_view input, Bytes& output) {
  output.clear();
  if (input.empty()) return kLz78EmptyInput;
  // The length field has 32 bits (a shift that stays quiet where size_t has only 32).
  if (((input.size() >> 16) >> 16) != 0) return kLz78TooLarge;

  Bytes out;
  try {
    Dictionary dict(input.size());
    const size_t most = std::min<size_t>(input.size(), kMaxPhrases) + 1;
    std::vector<uint16_t> codes(most);
    std::vector<unsigned char> bytes(most);
    out.reserve(input.size() / 2 + 64);
    AppendLe16(out, static_cast<uint32_t>(input.size() & 0xFFFF));
    AppendLe16(out, static_cast<uint32_t>(input.size() >> 16));

    const unsigned char* in = reinterpret_cast<const unsigned char*>(input.data());
    const size_t length = input.size();
    uint16_t current = kNone;
    uint32_t n = 0;
    for (size_t i = 0; i < length; ++i) {
      const unsigned char c = in[i];
      const uint16_t child = dict.FindOrAdd(current, c, static_cast<uint16_t>(n));
      if (child != kNone) {
        current = child;
      } else {
        codes[n] = current;
        bytes[n] = c;
        ++n;
        current = kNone;
      }
      if (n == kMaxPhrases || i + 1 == length) {
        uint32_t m = n;
        if (current != kNone) codes[m++] = current;  // the pending match
        const size_t start = out.size();
        out.resize(start + 2 + 2 * size_t{m} + 2 + n + (n & 1));
        unsigned char* o = reinterpret_cast<unsigned char*>(out.data()) + start;
        *o++ = static_cast<unsigned char>(m);
        *o++ = static_cast<unsigned char>(m >> 8);
        for (uint32_t j = 0; j < m; ++j) {
          *o++ = static_cast<unsigned char>(codes[j]);
          *o++ = static_cast<unsigned char>(codes[j] >> 8);
        }
        *o++ = static_cast<unsigned char>(n);
        *o++ = static_cast<unsigned char>(n >> 8);
        std::memcpy(o, bytes.data(), n);
        if (n & 1) o[n] = 0x20;
        if (i + 1 < length) dict.Clear();
        n = 0;
        current = kNone;
      }
    }
  } catch (const std::bad_alloc&) {
    return kLz78TooLarge;
  } catch (const std::length_error&) {
    return kLz78TooLarge;
  }
  output = std::move(out);
  return kLz78Ok;
}

}  // namespace lq::lz78_reference
