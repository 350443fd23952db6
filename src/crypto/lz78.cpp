// LZ78 codec of packet contents. The compressor finds children through a hash table instead of
// sibling lists (same dictionary, same output, faster on wide nodes); the decompressor checks a
// whole stream before it allocates, then copies each phrase from where it was first written.
#include "crypto/lz78.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace lq {
namespace {

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

void AppendLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

uint32_t LoadLe16(const unsigned char* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }

// One segment as read from a stream: where its codes and phrase bytes lie.
struct Segment {
  const unsigned char* codes;
  const unsigned char* bytes;
  uint32_t m, n;
};

// Reads the segment header at `pos` and advances past the segment; false when it is malformed
// or runs past the end.
bool ReadSegment(const unsigned char* in, size_t size, size_t& pos, Segment& seg) {
  if (size - pos < 2) return false;
  seg.m = LoadLe16(in + pos);
  pos += 2;
  if ((size - pos) / 2 < seg.m) return false;
  seg.codes = in + pos;
  pos += 2 * size_t{seg.m};
  if (size - pos < 2) return false;
  seg.n = LoadLe16(in + pos);
  pos += 2;
  // Every phrase needs a code, and only one pending match may follow them.
  if (seg.m != seg.n && seg.m != seg.n + 1) return false;
  const size_t body = seg.n + (seg.n & 1);
  if (size - pos < body) return false;
  seg.bytes = in + pos;
  pos += body;
  return true;
}

// Phrase lengths of a segment; false when a code names a phrase not yet made. `emitted`
// receives the bytes the segment produces.
bool PhraseLengths(const Segment& seg, uint32_t* length, uint64_t& emitted) {
  uint64_t total = 0;
  for (uint32_t j = 0; j < seg.n; ++j) {
    const uint32_t code = LoadLe16(seg.codes + 2 * size_t{j});
    if (code == kNone) {
      length[j] = 1;
    } else if (code < j) {
      length[j] = length[code] + 1;
    } else {
      return false;
    }
    total += length[j];
  }
  if (seg.m > seg.n) {
    const uint32_t code = LoadLe16(seg.codes + 2 * size_t{seg.n});
    if (code != kNone) {
      if (code >= seg.n) return false;
      total += length[code];
    }
  }
  emitted = total;
  return true;
}

}  // namespace

int LZ78_Compress(std::string_view input, Bytes& output) {
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

uint64_t LZ78_StatedLength(std::string_view stream) {
  if (stream.size() < 4) return 0;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  return LoadLe16(in) | static_cast<uint64_t>(LoadLe16(in + 2)) << 16;
}

int LZ78_Decompress(std::string_view stream, Bytes& output, uint64_t limit) {
  if (stream.empty()) {
    output.clear();
    return kLz78Ok;
  }
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  const size_t size = stream.size();
  if (size < 4) {
    output.clear();
    return kLz78Damaged;
  }
  const uint32_t stated = LoadLe16(in) | LoadLe16(in + 2) << 16;
  if (stated > limit) {
    output.clear();
    return kLz78OverLimit;
  }

  Bytes out;
  try {
    std::vector<uint32_t> length;

    // First pass: the structure and the exact output size, before anything is allocated.
    uint64_t total = 0;
    for (size_t pos = 4; pos < size;) {
      Segment seg;
      uint64_t emitted = 0;
      if (!ReadSegment(in, size, pos, seg)) {
        output.clear();
        return kLz78Damaged;
      }
      if (length.size() < seg.n + size_t{1}) length.resize(seg.n + size_t{1});
      if (!PhraseLengths(seg, length.data(), emitted)) {
        output.clear();
        return kLz78Damaged;
      }
      total += emitted;
      if (total > stated) {
        output.clear();
        return kLz78Damaged;
      }
    }
    if (total != stated) {
      output.clear();
      return kLz78Damaged;
    }

    // Second pass: phrase j's bytes are where phrase j was written, so each phrase is a copy
    // of its parent's bytes plus its own last byte.
    std::vector<uint32_t> start(length.size());
    out.resize(stated);
    unsigned char* o = reinterpret_cast<unsigned char*>(out.data());
    size_t w = 0;
    for (size_t pos = 4; pos < size;) {
      Segment seg;
      ReadSegment(in, size, pos, seg);
      const size_t base = w;
      for (uint32_t j = 0; j < seg.n; ++j) {
        const uint32_t code = LoadLe16(seg.codes + 2 * size_t{j});
        start[j] = static_cast<uint32_t>(w - base);
        if (code == kNone) {
          length[j] = 1;
        } else {
          const uint32_t len = length[code];
          std::memcpy(o + w, o + base + start[code], len);
          w += len;
          length[j] = len + 1;
        }
        o[w++] = seg.bytes[j];
      }
      if (seg.m > seg.n) {
        const uint32_t code = LoadLe16(seg.codes + 2 * size_t{seg.n});
        if (code != kNone) {
          std::memcpy(o + w, o + base + start[code], length[code]);
          w += length[code];
        }
      }
    }
  } catch (const std::bad_alloc&) {
    output.clear();
    return kLz78TooLarge;
  } catch (const std::length_error&) {
    output.clear();
    return kLz78TooLarge;
  }
  output = std::move(out);
  return kLz78Ok;
}

}  // namespace lq
